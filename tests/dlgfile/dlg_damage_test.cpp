// Damaged files made from good ones: every prefix of a saved file, and random bytes overwritten.
// None may crash, hang, or take memory beyond a small multiple of the file's size.
#include <gtest/gtest.h>

#include <cstdio>
#include <random>
#include <string>

#include "dlg_bytes.h"
#include "memory_meter.h"
#include "model/dlg_file.h"
#include "support/debug_capture.h"
#include "support/temp_dir.h"

namespace {

// The file's image, the document built from it and one record being parsed stay below four times
// the file's size; the constant covers the stdio stream of the open file. Twice that is the bound.
constexpr size_t kMemoryPerFileByte = 8;
constexpr size_t kMemoryConstant = 16 * 1024;

std::string SavedMultiPlotFile() {
  CDlgFile doc;
  doc.SetGameName("damage");
  PlotPos plots[3] = {doc.AddPlot("one", 0, 100), doc.AddPlot("two", 100, 200),
                      doc.AddPlot("three", -1, -1)};
  const char* texts[] = {"", "hello", "두 줄\r\n입니다", "a longer line of text for the record"};
  for (int k = 0; k < 12; ++k) {
    CDlgItem line;
    line.SetID(k * 3 + (k % 2) * 100);
    line.SetSpeaker(k % 2 ? "Mina" : "");
    line.SetExpression(k % 3 ? "smile" : "");
    line.SetSound(k % 4 ? "v.wav" : "");
    line.SetText(texts[k % 4]);
    doc.AddItem(line, plots[k % 3], nullptr);
  }
  TempDir dir;
  EXPECT_EQ(doc.Save(dir.File("good.dlg").c_str()), 1);
  return ReadFileBytes(dir.File("good.dlg"));
}

std::string OldVersionFile() {
  dlgtest::FileSpec layout;
  layout.version = 101;
  layout.plots = {{"a", 0, 10, {}}, {"b", 10, 20, {}}};
  layout.records = {
      {0, 0, "s", "e", "o", "zero"}, {4, 1, "", "", "", "four"}, {5, 0, "", "", "", "five"}};
  layout.index = {{0, 0}, {-1, 1}, {-1, 1}, {-1, 1}, {4, 1}, {5, 2}};
  return dlgtest::BuildFile(layout);
}

// Loads the bytes and reads a few IDs straight from the file, checking the memory taken.
void LoadAndReadWithinBounds(const std::string& bytes, const std::string& path,
                             const std::string& label) {
  // A new file each time: rewriting a truncated one makes some file systems flush it to disk.
  std::remove(path.c_str());
  WriteFileBytes(path, bytes);
  size_t used = 0;
  {
    MemoryMeter meter;
    CDlgFile doc;
    EXPECT_EQ(doc.Load(path.c_str()), 1) << label;
    used = meter.Used();
  }
  EXPECT_LE(used, kMemoryPerFileByte * bytes.size() + kMemoryConstant) << label;
  CDlgFile any;
  for (int id : {-1, 0, 3, 100, 103, 136, 1000}) {
    CDlgItem line;
    if (any.ReadItem(path.c_str(), id, line)) {
      EXPECT_GE(line.GetText().GetLength(), 0);
    }
  }
}

TEST(DlgDamage, EveryPrefixOfASavedMultiPlotFileLoads) {
  const std::string good = SavedMultiPlotFile();
  ASSERT_GT(good.size(), 1000u);
  TempDir dir;
  DebugCapture quiet;
  for (size_t length = 0; length <= good.size(); ++length) {
    LoadAndReadWithinBounds(good.substr(0, length), dir.File("cut.dlg"),
                            "prefix " + std::to_string(length));
  }
}

TEST(DlgDamage, PrefixKeepsEveryPlotWhoseEntryIsComplete) {
  const std::string good = SavedMultiPlotFile();
  TempDir dir;
  const int32_t indexOffset = dlgtest::ReadLe32(good, 80);
  WriteFileBytes(dir.File("cut.dlg"), good.substr(0, indexOffset));
  CDlgFile doc;
  ASSERT_EQ(doc.Load(dir.File("cut.dlg").c_str()), 1);
  EXPECT_EQ(doc.GetPlots().GetCount(), 3);
  EXPECT_EQ(doc.GetLines().GetCount(), 0);
  EXPECT_STREQ(doc.GetGameName().c_str(), "damage");
}

TEST(DlgDamage, EveryPrefixOfAnOldVersionFileLoads) {
  const std::string good = OldVersionFile();
  TempDir dir;
  DebugCapture quiet;
  for (size_t length = 0; length <= good.size(); ++length) {
    LoadAndReadWithinBounds(good.substr(0, length), dir.File("cut.dlg"),
                            "old prefix " + std::to_string(length));
  }
}

TEST(DlgDamage, RandomlyOverwrittenBytesNeverBreakTheReader) {
  const std::string sources[] = {SavedMultiPlotFile(), OldVersionFile()};
  std::mt19937 random(20240611);
  TempDir dir;
  DebugCapture quiet;
  for (int round = 0; round < 1500; ++round) {
    std::string bytes = sources[round % 2];
    const int changes = 1 + static_cast<int>(random() % 8);
    for (int c = 0; c < changes; ++c) {
      const size_t at = random() % bytes.size();
      // Mostly single bytes; sometimes a whole int of an extreme value.
      if (random() % 4 == 0 && at + 4 <= bytes.size()) {
        const int32_t extremes[] = {-1, INT32_MIN, INT32_MAX, 0x7FFFFFF0, 8};
        bytes.replace(at, 4, dlgtest::Le32(extremes[random() % 5]));
      } else {
        bytes[at] = static_cast<char>(random());
      }
    }
    LoadAndReadWithinBounds(bytes, dir.File("flip.dlg"), "round " + std::to_string(round));
  }
}

TEST(DlgDamage, CleanFileStaysWithinTheSameMemoryBound) {
  // The bound must also admit an intact file; otherwise it would be measuring nothing.
  const std::string good = SavedMultiPlotFile();
  TempDir dir;
  DebugCapture quiet;
  LoadAndReadWithinBounds(good, dir.File("good.dlg"), "intact");
}

}  // namespace
