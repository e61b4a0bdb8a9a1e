// The PO, XLIFF and CSV writers hand a file to its sink in pieces: the pieces must make exactly
// the bytes of the whole-string form, break only between entries, and stop at a failing sink.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "exchange/exchange_units.h"

namespace {

using exchange::ChunkedOutput;
using exchange::ExportSet;
using exchange::ExportUnit;

// Some 4 MiB of entries, each with a text, a translation, notes and a previous source, so that
// every format passes several chunks; entries of both plots and of both fuzzy states.
ExportSet LargeSet(int xliffVersion) {
  ExportSet set;
  set.original = "game.dlg";
  set.plots = {"첫 장", "Tea"};
  set.xliffVersion = xliffVersion;
  set.obsolete = "#~ msgctxt \"9\"\n#~ msgid \"gone\"\n#~ msgstr \"weg\"\n\n";
  for (int id = 0; id < 5000; ++id) {
    ExportUnit unit;
    unit.id = id;
    unit.plot = id < 2500 ? 0 : 1;
    unit.text = std::string(400, static_cast<char>('a' + id % 26)) + "\r\n\"q\" <&> 한";
    unit.hasTarget = id % 3 != 0;
    unit.target = std::string(300, 'T') + "\t" + std::to_string(id);
    unit.notes = "speaker: 민준\nsound: v" + std::to_string(id) + ".wav";
    unit.fuzzy = id % 5 == 0 && unit.hasTarget;
    unit.hasPrevious = unit.fuzzy;
    unit.previous = "old " + std::to_string(id);
    set.units.push_back(std::move(unit));
  }
  return set;
}

TEST(ChunkedWriters, PiecesMakeTheWholeFileAndAFailingSinkStopsTheWriter) {
  struct Case {
    const char* name;
    ExportSet set;
    std::string (*whole)(const ExportSet&);
    bool (*pieces)(const ExportSet&, const exchange::ChunkSink&);
  };
  std::vector<Case> cases;
  cases.push_back({"po", LargeSet(1), exchange::WritePo, exchange::WritePo});
  cases.push_back({"xliff 1.2", LargeSet(1), exchange::WriteXliff, exchange::WriteXliff});
  cases.push_back({"xliff 2.0", LargeSet(2), exchange::WriteXliff, exchange::WriteXliff});
  cases.push_back({"csv", LargeSet(1), exchange::WriteCsv, exchange::WriteCsv});
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string whole = c.whole(c.set);
    std::vector<std::string> pieces;
    ASSERT_TRUE(c.pieces(c.set, [&pieces](std::string_view bytes) {
      pieces.emplace_back(bytes);
      return true;
    }));
    ASSERT_GE(pieces.size(), 3u);
    std::string joined;
    for (const std::string& piece : pieces) {
      // A piece is at least a chunk (but the last), and at most a chunk and one entry.
      if (&piece != &pieces.back()) {
        EXPECT_GE(piece.size(), ChunkedOutput::kChunkBytes);
      }
      EXPECT_LT(piece.size(), ChunkedOutput::kChunkBytes + 4096);
      joined += piece;
    }
    EXPECT_TRUE(joined == whole) << joined.size() << " bytes against " << whole.size();

    int calls = 0;
    EXPECT_FALSE(c.pieces(c.set, [&calls](std::string_view) { return ++calls < 2; }));
    EXPECT_EQ(calls, 2);
  }
}

}  // namespace
