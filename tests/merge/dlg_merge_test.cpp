// The three-way merge by line ID and plot name, on snapshots.
#include "merge/dlg_merge.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdio>
#include <string>
#include <vector>

#include "dlgfile/dlg_format.h"
#include "dlgfile/dlg_verify.h"
#include "merge/dlg_merge_image.h"
#include "merge/dlg_merge_order.h"
#include "merge/dlg_merge_write.h"
#include "support/debug_capture.h"
#include "support/temp_dir.h"

namespace {

// "Intro" [0, 100): 0 Hello, 1 Welcome, 2 Bye; "Tea" [100, 200): 100 Tea?
MergeDocument Base() {
  MergeDocument doc;
  doc.gameName = "Inn";
  doc.plots.push_back(
      {"Intro",
       0,
       100,
       {{0, "Ann", "", "", "Hello"}, {1, "Bo", "", "", "Welcome"}, {2, "Ann", "", "", "Bye"}}});
  doc.plots.push_back({"Tea", 100, 200, {{100, "Bo", "", "", "Tea?"}}});
  return doc;
}

MergePlot* Plot(MergeDocument& doc, std::string_view name) {
  for (MergePlot& plot : doc.plots) {
    if (plot.name == name) return &plot;
  }
  return nullptr;
}

MergeLine* Line(MergeDocument& doc, int32_t id) {
  for (MergePlot& plot : doc.plots) {
    for (MergeLine& line : plot.lines) {
      if (line.id == id) return &line;
    }
  }
  return nullptr;
}

// "Intro: 0 Hello, 1 Welcome | Tea: 100 Tea?"
std::string Shape(const MergeDocument& doc) {
  std::string out;
  for (const MergePlot& plot : doc.plots) {
    out += (out.empty() ? "" : " | ") + std::string(plot.name) + ":";
    for (size_t k = 0; k < plot.lines.size(); ++k) {
      out += (k == 0 ? " " : ", ") + std::to_string(plot.lines[k].id) + " " +
             std::string(plot.lines[k].text);
    }
  }
  return out;
}

std::string Subjects(const MergeResult& result) {
  std::string out;
  for (const MergeConflict& conflict : result.conflicts) {
    out += (out.empty() ? "" : "; ") + conflict.subject;
  }
  return out;
}

TEST(DlgMerge, FieldChangesAreTakenOnceAndDifferentChangesKeepOurs) {
  MergeDocument ours = Base(), theirs = Base();
  Line(ours, 0)->text = "Hello there";  // ours only
  Line(theirs, 0)->sound = "a.wav";     // theirs only, same line
  Line(ours, 1)->text = "Hi";           // both, alike
  Line(theirs, 1)->text = "Hi";
  Line(ours, 2)->speaker = "Cy";  // both, differently
  Line(theirs, 2)->speaker = "Di";
  theirs.gameName = "Inn 2";
  ours.multiLine = 1;
  theirs.multiLine = 1;
  ours.useSound = 1;
  theirs.useSound = 0;  // unchanged in theirs
  const MergeResult result = MergeDocuments(Base(), ours, theirs);
  MergeDocument merged = result.merged;
  EXPECT_EQ(Shape(merged), "Intro: 0 Hello there, 1 Hi, 2 Bye | Tea: 100 Tea?");
  EXPECT_EQ(Line(merged, 0)->sound, "a.wav");
  EXPECT_EQ(Line(merged, 2)->speaker, "Cy");
  EXPECT_EQ(merged.gameName, "Inn 2");
  EXPECT_EQ(merged.multiLine, 1);
  EXPECT_EQ(merged.useSound, 1);
  ASSERT_EQ(result.conflicts.size(), 1u);
  const MergeConflict& conflict = result.conflicts[0];
  EXPECT_EQ(conflict.subject, "line 2 in plot \"Intro\": speaker");
  EXPECT_EQ(conflict.base, "\"Ann\"");
  EXPECT_EQ(conflict.ours, "\"Cy\"");
  EXPECT_EQ(conflict.theirs, "\"Di\"");
  EXPECT_EQ(conflict.outcome, "kept ours");
}

TEST(DlgMerge, DeletionsAreTakenUnlessTheOtherSideChangedTheLine) {
  MergeDocument ours = Base(), theirs = Base();
  Plot(ours, "Intro")->lines.erase(Plot(ours, "Intro")->lines.begin());  // 0, unchanged in theirs
  Plot(ours, "Intro")->lines.pop_back();                                 // 2, changed in theirs
  Line(theirs, 2)->text = "Bye now";
  Plot(theirs, "Tea")->lines.clear();  // 100, changed in ours
  Line(ours, 100)->text = "Coffee?";
  const MergeResult result = MergeDocuments(Base(), ours, theirs);
  EXPECT_EQ(Shape(result.merged), "Intro: 1 Welcome, 2 Bye now | Tea: 100 Coffee?");
  EXPECT_EQ(Subjects(result), "line 100 in plot \"Tea\"; line 2 in plot \"Intro\"");
  EXPECT_EQ(result.conflicts[1].ours, "(none)");
  EXPECT_EQ(result.conflicts[1].outcome,
            "deleted in ours but changed in the other: kept the changed line");
}

TEST(DlgMerge, TwoNewLinesWithOneIdKeepBothTheirsMovesToTheNextFreeId) {
  MergeDocument ours = Base(), theirs = Base();
  Plot(ours, "Intro")->lines.push_back({3, "", "", "", "ours 3"});
  Plot(ours, "Intro")->lines.push_back({4, "", "", "", "ours 4"});
  Plot(theirs, "Intro")->lines.push_back({3, "", "", "", "theirs 3"});
  Plot(theirs, "Intro")->lines.push_back({4, "", "", "", "ours 4"});  // alike: taken once
  Plot(theirs, "Intro")->lines.push_back({5, "", "", "", "theirs 5"});
  MergeResult result = MergeDocuments(Base(), ours, theirs);
  // 4 and 5 are in use, so theirs' 3 becomes 6; both new lines stay in their plot, ours first,
  // and theirs' 5 follows the 4 both added.
  EXPECT_EQ(Shape(result.merged),
            "Intro: 0 Hello, 1 Welcome, 2 Bye, 3 ours 3, 4 ours 4, 5 theirs 5, 6 theirs 3 | "
            "Tea: 100 Tea?");
  ASSERT_EQ(result.conflicts.size(), 1u);
  EXPECT_EQ(result.conflicts[0].outcome, "kept both: ours keeps ID 3, theirs' line is now ID 6");

  // A full range wraps to its start, and past that the line still stays, outside the range.
  MergeDocument small = Base();
  Plot(small, "Tea")->rangeHigh = 102;
  MergeDocument a = small, b = small;
  Plot(a, "Tea")->lines.push_back({101, "", "", "", "a"});
  Plot(b, "Tea")->lines.push_back({101, "", "", "", "b"});
  result = MergeDocuments(small, a, b);
  EXPECT_EQ(Shape(result.merged), "Intro: 0 Hello, 1 Welcome, 2 Bye | Tea: 100 Tea?, 101 a, 102 b");
  EXPECT_EQ(result.conflicts[0].outcome,
            "kept both: ours keeps ID 101, theirs' line is now ID 102, outside its plot's range "
            "[100, 102), which has no free ID left");
}

TEST(DlgMerge, OrderAndMembershipMergeByPosition) {
  MergeDocument ours = Base(), theirs = Base();
  auto& mine = Plot(ours, "Intro")->lines;
  mine.insert(mine.begin() + 1, {3, "", "", "", "inserted"});  // after 0
  auto& other = Plot(theirs, "Intro")->lines;
  std::swap(other[0], other[2]);  // theirs reorders: 2, 1, 0
  // Theirs moves line 1 to Tea, at its start.
  MergeLine moved = other[1];
  other.erase(other.begin() + 1);
  Plot(theirs, "Tea")->lines.insert(Plot(theirs, "Tea")->lines.begin(), moved);
  MergeResult result = MergeDocuments(Base(), ours, theirs);
  EXPECT_EQ(Shape(result.merged), "Intro: 2 Bye, 0 Hello, 3 inserted | Tea: 1 Welcome, 100 Tea?");
  EXPECT_TRUE(result.conflicts.empty()) << Subjects(result);

  // Both reorder differently: ours' order stays, reported with the shared IDs of each version.
  MergeDocument a = Base(), b = Base();
  std::swap(Plot(a, "Intro")->lines[0], Plot(a, "Intro")->lines[1]);  // 1 0 2
  std::swap(Plot(b, "Intro")->lines[1], Plot(b, "Intro")->lines[2]);  // 0 2 1
  result = MergeDocuments(Base(), a, b);
  EXPECT_EQ(Shape(result.merged), "Intro: 1 Welcome, 0 Hello, 2 Bye | Tea: 100 Tea?");
  ASSERT_EQ(result.conflicts.size(), 1u);
  EXPECT_EQ(result.conflicts[0].subject,
            "plot \"Intro\": order of its lines (IDs both sides still have)");
  EXPECT_EQ(result.conflicts[0].base, "0 1 2");
  EXPECT_EQ(result.conflicts[0].ours, "1 0 2");
  EXPECT_EQ(result.conflicts[0].theirs, "0 2 1");
}

// IDs of a saved file run from 0 to about its line count; a merge must treat IDs far apart or
// negative (which a snapshot may hold) exactly alike.
TEST(DlgMerge, FarApartAndNegativeIdsMergeAsCloseOnes) {
  auto shift = [](MergeDocument doc, int32_t by) {
    for (MergePlot& plot : doc.plots) {
      plot.rangeLow += by;
      plot.rangeHigh += by;
      for (MergeLine& line : plot.lines) line.id += by;
    }
    return doc;
  };
  MergeDocument ours = Base(), theirs = Base();
  Plot(ours, "Intro")->lines.push_back({3, "", "", "", "ours 3"});
  Plot(theirs, "Intro")->lines.push_back({3, "", "", "", "theirs 3"});
  std::swap(Plot(theirs, "Intro")->lines[0], Plot(theirs, "Intro")->lines[1]);
  Plot(theirs, "Intro")->lines.erase(Plot(theirs, "Intro")->lines.begin() + 2);
  Line(ours, 100)->text = "Coffee?";
  Line(theirs, 100)->text = "Milk?";
  const MergeResult near = MergeDocuments(Base(), ours, theirs);
  EXPECT_EQ(Shape(near.merged),
            "Intro: 1 Welcome, 3 ours 3, 0 Hello, 4 theirs 3 | Tea: 100 Coffee?");
  for (int32_t by : {2000000000, -1000}) {
    const MergeResult far = MergeDocuments(shift(Base(), by), shift(ours, by), shift(theirs, by));
    EXPECT_EQ(Shape(far.merged), Shape(shift(near.merged, by))) << by;
    EXPECT_EQ(far.conflicts.size(), near.conflicts.size()) << by;
  }
}

TEST(DlgMerge, PlotsMergeByNameWithTheirRangesAndOrder) {
  MergeDocument ours = Base(), theirs = Base();
  Plot(ours, "Tea")->rangeHigh = 150;                                   // range changed on one side
  ours.plots.push_back({"Outro", 300, 400, {}});                        // added by ours
  theirs.plots.insert(theirs.plots.begin(), {"Prologue", -1, -1, {}});  // added by theirs, first
  Plot(theirs, "Intro")->name = "Opening";  // renamed by theirs, members and all
  MergeResult result = MergeDocuments(Base(), ours, theirs);
  EXPECT_EQ(Shape(result.merged),
            "Prologue: | Opening: 0 Hello, 1 Welcome, 2 Bye | Tea: 100 Tea? | Outro:");
  EXPECT_EQ(Plot(result.merged, "Tea")->rangeHigh, 150);
  EXPECT_TRUE(result.conflicts.empty()) << Subjects(result);

  // A plot deleted on one side stays while the other side adds a line to it or changes its range.
  MergeDocument gone = Base(), grown = Base();
  gone.plots.pop_back();
  Plot(grown, "Tea")->lines.push_back({101, "", "", "", "Milk?"});
  result = MergeDocuments(Base(), gone, grown);
  EXPECT_EQ(Shape(result.merged), "Intro: 0 Hello, 1 Welcome, 2 Bye | Tea: 101 Milk?");
  EXPECT_EQ(Subjects(result), "plot \"Tea\"");
  // Different ranges for a plot both sides added are a conflict.
  MergeDocument a = Base(), b = Base();
  a.plots.push_back({"New", 0, 10, {}});
  b.plots.push_back({"New", 0, 20, {}});
  result = MergeDocuments(Base(), a, b);
  EXPECT_EQ(Subjects(result), "plot \"New\": range");
  EXPECT_EQ(result.conflicts[0].ours, "[0, 10)");
  EXPECT_EQ(result.conflicts[0].theirs, "[0, 20)");
}

TEST(DlgMerge, SnapshotRefusesWhatAMergeByIdCannotTellApart) {
  CDlgFile doc;
  PlotPos a = doc.AddPlot("A", -1, -1);
  CDlgItem line;
  line.SetID(7);
  line.SetText("x\r\ny");
  ASSERT_NE(doc.AddItem(line, a, nullptr), nullptr);
  MergeDocument snapshot;
  ASSERT_TRUE(SnapshotDocument(doc, snapshot));
  CDlgFile rebuilt;
  ASSERT_TRUE(BuildDocument(snapshot, rebuilt));
  EXPECT_STREQ(rebuilt.GetItem(rebuilt.FindItem(7)).GetText().c_str(), "x\r\ny");

  PlotPos b = doc.AddPlot("B", -1, -1);
  ASSERT_NE(doc.AddItem(line, b, nullptr), nullptr);
  platform::Status refused = SnapshotDocument(doc, snapshot);
  EXPECT_FALSE(refused);
  EXPECT_EQ(refused.Text(), "ID 7 is listed twice");
  doc.DeletePlot(b);
  doc.AddPlot("A", -1, -1);
  refused = SnapshotDocument(doc, snapshot);
  EXPECT_FALSE(refused);
  EXPECT_EQ(refused.Text(), "two plots are named \"A\"");
  EXPECT_EQ(QuoteMergeText("a\"b\\c\td\x01"), "\"a\\\"b\\\\c\\td\\x01\"");
}

// Every value of a snapshot, for comparing two of them.
std::string Describe(const MergeDocument& doc) {
  std::string out = QuoteMergeText(doc.gameName) + " " + std::to_string(doc.useSpeaker) +
                    std::to_string(doc.useExpression) + std::to_string(doc.useSound) +
                    std::to_string(doc.multiLine);
  for (const MergePlot& plot : doc.plots) {
    out += "\n" + QuoteMergeText(plot.name) + " " + std::to_string(plot.rangeLow) + " " +
           std::to_string(plot.rangeHigh);
    for (const MergeLine& line : plot.lines) {
      out += "\n  " + std::to_string(line.id) + QuoteMergeText(line.speaker) +
             QuoteMergeText(line.expression) + QuoteMergeText(line.sound) +
             QuoteMergeText(line.text);
    }
  }
  return out;
}

// The merge reads files of version 104 itself; it must see what the loader sees in every file it
// accepts, that is every file the structural check passes: the saved one, and each change of one
// byte that keeps it whole (texts, names, options). Cut and damaged files are read within bounds.
TEST(DlgMerge, ImageSnapshotSeesWhatTheLoaderSees) {
  TempDir dir;
  const std::string path = dir.File("game.dlg");
  {
    CDlgFile doc;
    doc.SetGameName(std::string(31, 'G').c_str());
    doc.SetColumns(1, 0, 1);
    doc.SetMultiLine(1);
    PlotPos a = doc.AddPlot(std::string(63, 'P').c_str(), 0, 10);
    PlotPos b = doc.AddPlot("B", -1, -1);
    const char* texts[] = {"", "x\r\ny", "\xea\xb0\x80", "long text that is not short at all"};
    for (int k = 0; k < 6; ++k) {
      CDlgItem line;
      line.SetID(k * 2);
      line.SetText(texts[k % 4]);
      line.SetSpeaker(texts[(k + 1) % 4]);
      line.SetSound(texts[(k + 3) % 4]);
      ASSERT_NE(doc.AddItem(line, k % 2 == 0 ? a : b, nullptr), nullptr);
    }
    ASSERT_EQ(doc.Save(path.c_str()), 1);
  }
  const std::string bytes = ReadFileBytes(path);
  int compared = 0;
  auto compare = [&](const std::string& variant, const std::string& what) {
    WriteFileBytes(path, variant);
    MergeImage image;
    ASSERT_TRUE(image.Read(path.c_str()));
    const bool whole = VerifyDlgBytes(image.bytes(), image.size(), 1).findings.empty();
    if (image.version() < kDlgVersionMembers) return;  // older versions go through the loader
    MergeDocument expected, seen;
    platform::Status loadedStatus;
    const platform::Status imageStatus = image.Snapshot(seen);
    const bool imageOk = imageStatus.ok;
    if (!whole) return;
    ++compared;
    CDlgFile loaded;
    bool loadedOk = false;
    {
      DebugCapture quiet;
      loadedOk =
          loaded.Load(path.c_str()) == 1 && (loadedStatus = SnapshotDocument(loaded, expected)).ok;
    }
    ASSERT_EQ(imageOk, loadedOk) << what << ": " << loadedStatus.Text() << " / "
                                 << imageStatus.Text();
    if (loadedOk) {
      EXPECT_EQ(Describe(seen), Describe(expected)) << what;
    }
    EXPECT_EQ(imageStatus.message, loadedOk ? std::string() : loadedStatus.message) << what;
  };
  compare(bytes, "the saved file");
  for (size_t length = 0; length < bytes.size(); ++length) {
    compare(bytes.substr(0, length), "prefix " + std::to_string(length));
  }
  for (size_t position = 0; position < bytes.size(); ++position) {
    std::string changed = bytes;
    changed[position] = static_cast<char>(changed[position] ^ 0x01);
    compare(changed, "byte " + std::to_string(position));
  }
  EXPECT_GT(compared, 100);  // the saved file and the changes of bytes in texts, names, options
}

// The merge writes its result itself; the file must be byte for byte the one Save writes for the
// document built from the result, with the same diagnostics, and that includes the results it
// hands to Save: repeated and negative IDs, a text Save warns about.
TEST(DlgMerge, MergedFileIsWhatSaveWrites) {
  TempDir dir;
  const std::string direct = dir.File("direct.dlg"), saved = dir.File("saved.dlg");
  // `whole`: a document the structural check passes once saved.
  auto expectSame = [&](const MergeDocument& doc, const std::string& what, bool whole = true) {
    std::vector<std::string> directLines, savedLines;
    {
      DebugCapture capture;
      ASSERT_TRUE(SaveMergedDocument(doc, direct.c_str())) << what;
      directLines = capture.lines();
    }
    {
      DebugCapture capture;
      CDlgFile built;
      ASSERT_TRUE(BuildDocument(doc, built)) << what;
      ASSERT_EQ(built.Save(saved.c_str()), 1) << what;
      savedLines = capture.lines();
    }
    const std::string bytes = ReadFileBytes(direct);
    EXPECT_EQ(bytes, ReadFileBytes(saved)) << what;
    EXPECT_EQ(directLines, savedLines) << what;
    EXPECT_EQ(VerifyDlgBytes(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size(), 1)
                  .findings.empty(),
              whole)
        << what;
  };
  MergeDocument ours = Base(), theirs = Base();
  Plot(ours, "Intro")->lines.push_back({3, "", "", "", "ours 3"});
  Plot(theirs, "Intro")->lines.push_back({3, "", "", "", "theirs 3"});  // moves to 4
  Plot(theirs, "Tea")->lines.insert(Plot(theirs, "Tea")->lines.begin(), {150, "", "", "", "x"});
  Line(ours, 2)->text = "Bye now";
  Line(theirs, 2)->text = "So long";
  theirs.plots.insert(theirs.plots.begin(), {"Empty", -1, 7, {}});
  const MergeResult result = MergeDocuments(Base(), ours, theirs);
  ASSERT_EQ(result.conflicts.size(), 2u);
  expectSame(result.merged, "a merge with conflicts, holes and IDs out of plot order");
  expectSame(MergeDocument(), "an empty document");

  MergeDocument edges = Base();
  const std::string longName(40, 'G'), longPlot(70, 'P'), nul("a\0b", 3);
  edges.gameName = longName;
  edges.plots[0].name = longPlot;
  edges.useSpeaker = 1, edges.useSound = 1, edges.multiLine = 1;
  Line(edges, 1)->sound = nul;
  Line(edges, 2)->text = "x\r\ny\t\xea\xb0\x80";
  expectSame(edges, "names cut to their fields, a text with a zero byte");

  const std::string longText(kDlgTextMaxBytes + 1, 't');
  MergeDocument handed = Base();
  Line(handed, 0)->text = longText;
  expectSame(handed, "a text Save warns about");
  handed = Base();
  handed.plots[1].lines.push_back({1, "", "", "", "again"});
  expectSame(handed, "a repeated ID", false);
  handed.plots[1].lines.push_back({-3, "", "", "", "negative"});
  expectSame(handed, "a repeated and a negative ID", false);

  // To a stream: the same bytes, or nothing at all for what would be reported on the way.
  const auto streamed = [](const MergeDocument& doc, MergedWrite expected) {
    std::FILE* stream = std::tmpfile();
    EXPECT_NE(stream, nullptr);
    DebugCapture capture;
    EXPECT_EQ(WriteMergedDocument(doc, stream), expected);
    EXPECT_TRUE(capture.lines().empty());
    std::string bytes(static_cast<size_t>(std::ftell(stream)), '\0');
    std::rewind(stream);
    EXPECT_EQ(std::fread(bytes.data(), 1, bytes.size(), stream), bytes.size());
    std::fclose(stream);
    return bytes;
  };
  ASSERT_TRUE(SaveMergedDocument(edges, direct.c_str()));
  EXPECT_EQ(streamed(edges, MergedWrite::kWritten), ReadFileBytes(direct));
  MergeDocument repeated = Base();
  repeated.plots[1].lines.push_back({1, "", "", "", "again"});
  MergeDocument negative = Base();
  negative.plots[0].lines.push_back({-1, "", "", "", "no ID yet"});
  MergeDocument warned = Base();
  Line(warned, 0)->text = longText;
  for (const MergeDocument* refused : {&repeated, &negative, &warned}) {
    EXPECT_EQ(streamed(*refused, MergedWrite::kNotTaken), "");
  }

  DebugCapture capture;
  const platform::Status failed = SaveMergedDocument(Base(), dir.File("missing/out.dlg").c_str());
  EXPECT_FALSE(failed);
  EXPECT_EQ(failed.systemError, ENOENT);  // the reason, as a value, beside the debug line
  ASSERT_EQ(capture.lines().size(), 1u);
  EXPECT_NE(capture.lines()[0].find("Create save file failed"), std::string::npos);
}

}  // namespace

namespace {

// A text edit is the same line; a text that shares little with the old one is another line.
TEST(DlgMergeMoves, DifferentTextTellsAReplacementFromAnEdit) {
  EXPECT_FALSE(DifferentText("Hello", "Hello there"));
  EXPECT_FALSE(DifferentText("Welcome", "Welcome back!"));
  EXPECT_FALSE(DifferentText("", "Anything"));         // a placeholder filled in
  EXPECT_FALSE(DifferentText("a", "completely new"));  // too short to tell
  EXPECT_TRUE(DifferentText("Tea?", "Milk, please"));
  EXPECT_TRUE(DifferentText("Bye", "Brand new line"));
  EXPECT_TRUE(DifferentText("\xea\xb0\x80\xeb\x82\x98", "\xe4\xbd\xa0\xe5\xa5\xbd"));
}

// Ours holds theirs' old line 3 as line 4 (an earlier merge moved it) and its own line under 3.
// Theirs' changes to its line 3 belong to line 4; a line theirs deleted is deleted there.
TEST(DlgMergeMoves, ChangesOfTheOtherSideFollowAMovedLine) {
  MergeDocument base = Base(), ours = Base(), theirs = Base();
  Plot(base, "Intro")->lines.push_back({3, "", "", "", "B says"});
  Plot(theirs, "Intro")->lines.push_back({3, "Bo", "", "", "B says"});
  Plot(ours, "Intro")->lines.push_back({3, "", "", "", "A speaks first"});
  Plot(ours, "Intro")->lines.push_back({4, "", "", "", "B says"});
  MergeResult result = MergeDocuments(base, ours, theirs);
  EXPECT_EQ(Shape(result.merged),
            "Intro: 0 Hello, 1 Welcome, 2 Bye, 3 A speaks first, 4 B says | Tea: 100 Tea?");
  EXPECT_EQ(Line(result.merged, 4)->speaker, "Bo");
  EXPECT_EQ(Line(result.merged, 3)->speaker, "");
  EXPECT_TRUE(result.conflicts.empty()) << Subjects(result);
  ASSERT_EQ(result.followed.size(), 1u);
  EXPECT_EQ(result.followed[0].from, 3);
  EXPECT_EQ(result.followed[0].to, 4);

  // The sides swapped: the same lines.
  result = MergeDocuments(base, theirs, ours);
  EXPECT_EQ(Line(result.merged, 4)->speaker, "Bo");
  EXPECT_EQ(Line(result.merged, 3)->text, "A speaks first");

  // Theirs deleted its line: gone from ID 4, A's line stays.
  Plot(theirs, "Intro")->lines.pop_back();
  result = MergeDocuments(base, ours, theirs);
  EXPECT_EQ(Shape(result.merged),
            "Intro: 0 Hello, 1 Welcome, 2 Bye, 3 A speaks first | Tea: 100 Tea?");
  EXPECT_TRUE(result.conflicts.empty()) << Subjects(result);
}

// The moved line was edited since the move: only the record of the move tells it apart; without
// the record, the replacement under ID 3 is reported, never merged silently.
TEST(DlgMergeMoves, RecordedMoveIsFollowedAfterAnEditAndNeverGuessedSilently) {
  MergeDocument base = Base(), ours = Base(), theirs = Base();
  Plot(base, "Intro")->lines.push_back({3, "", "", "", "B says"});
  Plot(theirs, "Intro")->lines.push_back({3, "Bo", "", "", "B says"});
  Plot(ours, "Intro")->lines.push_back({3, "", "", "", "A says hi"});
  Plot(ours, "Intro")->lines.push_back({4, "", "", "", "B says so"});
  MergeResult result = MergeDocuments(base, ours, theirs, {{3, 4}});
  EXPECT_EQ(Line(result.merged, 4)->speaker, "Bo");
  EXPECT_EQ(Line(result.merged, 4)->text, "B says so");
  EXPECT_EQ(Line(result.merged, 3)->speaker, "");
  EXPECT_TRUE(result.conflicts.empty()) << Subjects(result);

  result = MergeDocuments(base, ours, theirs);
  EXPECT_EQ(Line(result.merged, 3)->text, "A says hi");
  ASSERT_EQ(result.conflicts.size(), 1u) << Subjects(result);
  EXPECT_EQ(result.conflicts[0].subject,
            "line 3 in plot \"Intro\": ours has a new line 4 like it and another text under its "
            "ID");
}

// A renumbering is handed back, so that the caller can record it.
TEST(DlgMergeMoves, RenumberedLinesAreHandedBack) {
  MergeDocument ours = Base(), theirs = Base();
  Plot(ours, "Intro")->lines.push_back({3, "", "", "", "ours 3"});
  Plot(theirs, "Intro")->lines.push_back({3, "", "", "", "theirs 3"});
  const MergeResult result = MergeDocuments(Base(), ours, theirs);
  ASSERT_EQ(result.renumbered.size(), 1u);
  EXPECT_EQ(result.renumbered[0].from, 3);
  EXPECT_EQ(result.renumbered[0].to, 4);
}

}  // namespace
