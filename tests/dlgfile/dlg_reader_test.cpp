#include <gtest/gtest.h>
#include <sys/stat.h>

#include <string>
#include <vector>

#include "dlg_bytes.h"
#include "model/dlg_file.h"
#include "platform/fault_injection.h"
#include "support/debug_capture.h"
#include "support/document_builder.h"
#include "support/temp_dir.h"

namespace {

using dlgtest::FileSpec;
using dlgtest::Le32;
using dlgtest::LineSpec;

struct LineView {
  int id;
  int plotIndex;
  std::string speaker, expression, sound, text;
  bool operator==(const LineView&) const = default;
};

struct PlotView {
  std::string name;
  int low, high;
  std::vector<LineView> members;
  std::vector<int> storedIds;
  bool operator==(const PlotView&) const = default;
};

std::vector<PlotView> Plots(CDlgFile& doc) {
  std::vector<PlotView> plots;
  for (PlotPos pos = doc.GetFirstPlot(); pos != nullptr;) {
    CDlgPlot& plot = doc.GetNextPlot(pos);
    PlotView view{plot.GetName().c_str(), plot.rangeLow, plot.rangeHigh, {}, {}};
    for (auto* m = plot.members.GetHeadPosition(); m != nullptr; m = m->next) {
      const CDlgItem& line = doc.GetItem(m->value);
      view.members.push_back({line.GetID(), line.GetPlotIndex(), line.GetSpeaker().c_str(),
                              line.GetExpression().c_str(), line.GetSound().c_str(),
                              line.GetText().c_str()});
    }
    for (auto* s = plot.storedIds.GetHeadPosition(); s != nullptr; s = s->next) {
      view.storedIds.push_back(s->value);
    }
    plots.push_back(view);
  }
  return plots;
}

// Loads `bytes` written to a fresh file into a document that first held something else.
int LoadBytes(CDlgFile& doc, const std::string& bytes) {
  TempDir dir;
  WriteFileBytes(dir.File("f.dlg"), bytes);
  doc.Clear();
  return doc.Load(dir.File("f.dlg").c_str());
}

TEST(DlgRoundTrip, SaveThenLoadGivesBackEverything) {
  TempDir dir;
  CDlgFile doc;
  doc.SetGameName("게임 이름");
  doc.SetColumns(1, 0, 1);
  doc.SetMultiLine(1);
  PlotPos a = doc.AddPlot("첫째", 0, 100);
  PlotPos b = doc.AddPlot("second", 100, -1);
  doc.AddPlot("empty", -1, -1);
  CDlgItem full;
  full.SetID(7);
  full.SetSpeaker("Mina");
  full.SetExpression("smile");
  full.SetSound("v7.wav");
  full.SetText("line one\r\nline two");
  doc.AddItem(full, a, nullptr);
  AddTestLine(doc, b, 100, "b first");
  AddTestLine(doc, a, 2, "a second");
  AddTestLine(doc, b, 150, "");
  ASSERT_EQ(doc.Save(dir.File("r.dlg").c_str()), 1);
  const std::vector<PlotView> saved = Plots(doc);

  CDlgFile loaded;
  loaded.SetMultiLine(0);
  ASSERT_EQ(loaded.Load(dir.File("r.dlg").c_str()), 1);
  std::vector<PlotView> back = Plots(loaded);
  for (PlotView& plot : back) plot.storedIds.clear();  // only the reader fills them
  EXPECT_EQ(back, saved);
  EXPECT_STREQ(loaded.GetGameName().c_str(), "게임 이름");
  int speaker = -1, expression = -1, sound = -1;
  loaded.GetColumns(speaker, expression, sound);
  EXPECT_EQ(speaker, 1);
  EXPECT_EQ(expression, 0);
  EXPECT_EQ(sound, 1);
  EXPECT_EQ(loaded.GetMultiLine(), 1);
  EXPECT_EQ(loaded.GetVersion(), 104);
  EXPECT_EQ(Plots(loaded)[0].storedIds, (std::vector<int>{7, 2}));
  // Lines come back plot by plot, in member order.
  std::vector<int> order;
  for (auto* p = loaded.GetLines().GetHeadPosition(); p != nullptr; p = p->next) {
    order.push_back(p->value.GetID());
  }
  EXPECT_EQ(order, (std::vector<int>{7, 2, 100, 150}));
  EXPECT_EQ(loaded.GetNextId(), 0);
}

TEST(DlgReader, LineInNoPlotIsInTheFileButNotLoaded) {
  TempDir dir;
  CDlgFile doc;
  AddTestLine(doc, doc.AddPlot("a", -1, -1), 0, "kept");
  AddTestLine(doc, nullptr, 1, "loose");
  ASSERT_EQ(doc.Save(dir.File("l.dlg").c_str()), 1);
  CDlgFile loaded;
  ASSERT_EQ(loaded.Load(dir.File("l.dlg").c_str()), 1);
  EXPECT_EQ(loaded.GetLines().GetCount(), 1);
}

TEST(DlgReader, MissingFileReturnsZeroAndLeavesTheDocument) {
  TempDir dir;
  CDlgFile doc;
  doc.AddPlot("stays", -1, -1);
  DebugCapture capture;
  const std::string path = dir.File("none.dlg");
  EXPECT_EQ(doc.Load(path.c_str()), 0);
  EXPECT_EQ(doc.GetPlots().GetCount(), 1);
  ASSERT_EQ(capture.lines().size(), 1u);
  EXPECT_EQ(capture.lines()[0], "CDlgFile::Load() Error (0) : Open file failed(" + path + ")!\n");
  EXPECT_EQ(doc.Load(dir.path().c_str()), 0);  // a folder is not a file
}

TEST(DlgReader, FifoIsRefusedWithoutWaitingForAWriter) {
  TempDir dir;
  const std::string path = dir.File("pipe.dlg");
  ASSERT_EQ(mkfifo(path.c_str(), 0600), 0);
  CDlgFile doc;
  DebugCapture capture;
  EXPECT_EQ(doc.Load(path.c_str()), 0);
  CDlgItem line;
  EXPECT_FALSE(doc.ReadItem(path.c_str(), 0, line));
  ASSERT_EQ(capture.lines().size(), 2u);
  EXPECT_EQ(capture.lines()[1], "CDlgFile::ReadItem() Error (0) : File not found(" + path + ")!\n");
}

TEST(DlgReader, EmptyFileLoadsNothingAndSetsVersion104) {
  CDlgFile doc;
  doc.AddPlot("old", -1, -1);
  ASSERT_EQ(LoadBytes(doc, ""), 1);
  EXPECT_EQ(doc.GetPlots().GetCount(), 0);
  EXPECT_EQ(doc.GetLines().GetCount(), 0);
  EXPECT_EQ(doc.GetVersion(), 104);
}

TEST(DlgReader, WrongTagAndSignatureLoadExactlyLikeRightOnes) {
  FileSpec layout;
  layout.plots = {{"p", -1, -1, {0}}};
  layout.records = {{0, 0, "", "", "", "text"}};
  layout.index = {{0, 0}};
  std::string bytes = dlgtest::BuildFile(layout);
  bytes.replace(0, 8, "NOTADLG!");
  bytes.replace(8, 11, "SOMETHINGEL");
  CDlgFile doc;
  ASSERT_EQ(LoadBytes(doc, bytes), 1);
  ASSERT_EQ(Plots(doc).size(), 1u);
  EXPECT_EQ(Plots(doc)[0].members.at(0).text, "text");
}

TEST(DlgReader, IdListedUnderTwoPlotsLoadsTwoSeparateLines) {
  FileSpec layout;
  layout.plots = {{"a", -1, -1, {0, 1}}, {"b", -1, -1, {1}}};
  layout.records = {{0, 0, "", "", "", "zero"}, {1, 0, "", "", "", "one"}};
  layout.index = {{0, 0}, {1, 1}};
  CDlgFile doc;
  ASSERT_EQ(LoadBytes(doc, dlgtest::BuildFile(layout)), 1);
  const auto plots = Plots(doc);
  ASSERT_EQ(plots[1].members.size(), 1u);
  EXPECT_EQ(plots[1].members[0].id, 1);
  EXPECT_EQ(plots[0].members[1].id, 1);
  EXPECT_EQ(doc.GetLines().GetCount(), 3);
}

TEST(DlgReader, PlotsWithTheSameNameBothLoad) {
  FileSpec layout;
  layout.plots = {{"twin", 0, 10, {}}, {"twin", 10, 20, {}}};
  CDlgFile doc;
  ASSERT_EQ(LoadBytes(doc, dlgtest::BuildFile(layout)), 1);
  ASSERT_EQ(doc.GetPlots().GetCount(), 2);
  EXPECT_EQ(doc.GetPlot(doc.FindPlot("twin")).rangeLow, 0);
}

TEST(DlgReader, ListedIdsOutsideTheIndexOrWithNegativeOffsetAreSkipped) {
  FileSpec layout;
  layout.plots = {{"a", -1, -1, {-1, 5, 0, 1}}};
  layout.records = {{0, 0, "", "", "", "zero"}};
  layout.index = {{0, 0}, {-1, 1}};
  std::string bytes = dlgtest::BuildFile(layout);
  const int32_t index = dlgtest::ReadLe32(bytes, 80);
  bytes.replace(index + 12, 4, Le32(-20));  // entry 1 points before the file
  CDlgFile doc;
  ASSERT_EQ(LoadBytes(doc, bytes), 1);
  ASSERT_EQ(Plots(doc)[0].members.size(), 1u);
  EXPECT_EQ(Plots(doc)[0].members[0].text, "zero");
}

// Old versions: the plot table has no member lists, lines go to the plot their record names.
FileSpec OldFile(int32_t version) {
  FileSpec layout;
  layout.version = version;
  layout.gameName = "old game";
  layout.multiLine = 1;
  layout.plots = {{"first", 5, 50, {}}, {"second", 60, 70, {}}};
  layout.records = {{3, 1, "S", "E", "s.wav", "three"},
                    {0, 0, "", "", "", "zero"},
                    {4, -1, "", "", "", "no plot"},
                    {6, 2, "", "", "", "plot out of range"},
                    {1, 1, "", "", "", "one"}};
  layout.index = {{3, 0}, {-1, 1}, {0, 1}, {4, 2}, {6, 3}, {1, 4}};
  return layout;
}

TEST(DlgReaderOldVersions, Version100HasNoRangesAndTakesIndexCountFromLineCount) {
  CDlgFile doc;
  ASSERT_EQ(LoadBytes(doc, dlgtest::BuildFile(OldFile(100))), 1);
  EXPECT_EQ(doc.GetVersion(), 100);
  EXPECT_STREQ(doc.GetGameName().c_str(), "old game");
  EXPECT_EQ(doc.GetMultiLine(), 1);
  const auto plots = Plots(doc);
  ASSERT_EQ(plots.size(), 2u);
  EXPECT_EQ(plots[0].low, -1);
  EXPECT_EQ(plots[0].high, -1);
  ASSERT_EQ(plots[0].members.size(), 1u);
  EXPECT_EQ(plots[0].members[0].text, "zero");
  ASSERT_EQ(plots[1].members.size(), 2u);
  EXPECT_EQ(plots[1].members[0], (LineView{3, 1, "S", "E", "s.wav", "three"}));
  EXPECT_EQ(plots[1].members[1].text, "one");
  EXPECT_EQ(doc.GetLines().GetCount(), 3);  // no plot, and a plot index past the table: dropped
}

TEST(DlgReaderOldVersions, Version100ReadsOnlyAsManyEntriesAsTheLineCountSays) {
  FileSpec layout = OldFile(100);
  layout.lineCount = 3;  // entries 3 (ID 4) and later are not read
  CDlgFile doc;
  ASSERT_EQ(LoadBytes(doc, dlgtest::BuildFile(layout)), 1);
  EXPECT_EQ(doc.GetLines().GetCount(), 2);
}

TEST(DlgReaderOldVersions, Version101ReadsRangesButStillCountsByLineCount) {
  FileSpec layout = OldFile(101);
  CDlgFile doc;
  ASSERT_EQ(LoadBytes(doc, dlgtest::BuildFile(layout)), 1);
  const auto plots = Plots(doc);
  EXPECT_EQ(plots[0].low, 5);
  EXPECT_EQ(plots[1].high, 70);
  EXPECT_EQ(doc.GetLines().GetCount(), 3);
}

TEST(DlgReaderOldVersions, Versions102And103UseTheirOwnIndexCountAndPlaceByPlotIndex) {
  for (int32_t version : {102, 103}) {
    FileSpec layout = OldFile(version);
    layout.lineCount = 0;  // ignored from 102 on
    CDlgFile doc;
    ASSERT_EQ(LoadBytes(doc, dlgtest::BuildFile(layout)), 1) << version;
    EXPECT_EQ(doc.GetVersion(), version);
    const auto plots = Plots(doc);
    EXPECT_EQ(plots[1].low, 60);
    EXPECT_EQ(plots[0].members.size(), 1u);
    EXPECT_EQ(plots[1].members.size(), 2u);
    EXPECT_TRUE(plots[1].storedIds.empty());
  }
}

TEST(DlgReaderOldVersions, TwoRecordsOfOneIdBothLoad) {
  FileSpec layout;
  layout.version = 103;
  layout.plots = {{"a", -1, -1, {}}};
  layout.records = {{2, 0, "", "", "", "first"}, {2, 0, "", "", "", "again"}};
  layout.index = {{2, 0}, {2, 1}};
  CDlgFile doc;
  ASSERT_EQ(LoadBytes(doc, dlgtest::BuildFile(layout)), 1);
  const auto plots = Plots(doc);
  ASSERT_EQ(plots[0].members.size(), 2u);
  EXPECT_EQ(plots[0].members[1].text, "again");
}

TEST(DlgReaderOldVersions, SavingAnOldFileWithRepeatedIdsKeepsEveryOtherIdReadable) {
  FileSpec layout;
  layout.version = 103;
  layout.plots = {{"a", -1, -1, {}}};
  layout.records = {
      {1, 0, "", "", "", "first one"}, {1, 0, "", "", "", "second one"}, {2, 0, "", "", "", "two"}};
  layout.index = {{1, 0}, {1, 1}, {2, 2}};
  CDlgFile doc;
  ASSERT_EQ(LoadBytes(doc, dlgtest::BuildFile(layout)), 1);
  TempDir dir;
  DebugCapture capture;
  ASSERT_EQ(doc.Save(dir.File("s.dlg").c_str()), 1);
  EXPECT_EQ(capture.lines().size(), 1u);
  CDlgItem line;
  ASSERT_TRUE(doc.ReadItem(dir.File("s.dlg").c_str(), 2, line));
  EXPECT_STREQ(line.GetText().c_str(), "two");
  ASSERT_TRUE(doc.ReadItem(dir.File("s.dlg").c_str(), 1, line));
  EXPECT_STREQ(line.GetText().c_str(), "first one");
}

// Damaged input: every count, length and offset is checked against the file.

std::string GoodFile() {
  FileSpec layout;
  layout.gameName = "damaged";
  layout.plots = {{"a", 0, 10, {0, 2}}, {"b", 10, 20, {1}}};
  layout.records = {
      {0, 0, "sp", "ex", "so", "zero"}, {1, 1, "", "", "", "one"}, {2, 0, "", "", "", "two"}};
  layout.index = {{0, 0}, {1, 1}, {2, 2}};
  return dlgtest::BuildFile(layout);
}

TEST(DlgReaderDamage, BodyLengthNegativeOrBeyondTheFileRejectsOnlyThatRecord) {
  for (int32_t length : {-1, INT32_MIN, 100000, INT32_MAX}) {
    std::string bytes = GoodFile();
    const int32_t index = dlgtest::ReadLe32(bytes, 80);
    bytes.replace(dlgtest::ReadLe32(bytes, index + 4), 4, Le32(length));  // record of ID 0
    CDlgFile doc;
    ASSERT_EQ(LoadBytes(doc, bytes), 1);
    EXPECT_EQ(doc.GetLines().GetCount(), 2) << length;
    EXPECT_EQ(doc.FindItem(0), nullptr);
  }
}

TEST(DlgReaderDamage, FieldCountAboveSevenRejectsTheRecord) {
  std::string bytes = GoodFile();
  const int32_t index = dlgtest::ReadLe32(bytes, 80);
  bytes.replace(dlgtest::ReadLe32(bytes, index + 8 + 4) + 4, 4, dlgtest::ScrambledInt(8));
  CDlgFile doc;
  ASSERT_EQ(LoadBytes(doc, bytes), 1);
  EXPECT_EQ(doc.FindItem(1), nullptr);
  EXPECT_NE(doc.FindItem(2), nullptr);
}

TEST(DlgReaderDamage, HugeCountsStopWhereTheFileEnds) {
  struct Patch {
    size_t offset;
    int32_t value;
  };
  const Patch patches[] = {
      {144, INT32_MAX},       // plot count
      {148 + 72, INT32_MAX},  // member count of the first plot
      {88, INT32_MAX},        // index count
      {80, INT32_MAX},        // index offset
      {80, -8},               // index offset before the file
  };
  for (const Patch& patch : patches) {
    std::string bytes = GoodFile();
    bytes.replace(patch.offset, 4, Le32(patch.value));
    CDlgFile doc;
    EXPECT_EQ(LoadBytes(doc, bytes), 1) << patch.offset;
    EXPECT_LE(doc.GetPlots().GetCount(), 3);
  }
}

TEST(DlgReaderDamage, OldVersionWithHugeLineCountReadsOnlyTheEntriesPresent) {
  FileSpec layout = OldFile(100);
  layout.lineCount = INT32_MAX;
  CDlgFile doc;
  ASSERT_EQ(LoadBytes(doc, dlgtest::BuildFile(layout)), 1);
  EXPECT_EQ(doc.GetLines().GetCount(), 3);
}

TEST(DlgReaderDamage, RecordWithoutIdIsDroppedInsteadOfRenumbered) {
  FileSpec layout;
  layout.plots = {{"a", 50, 60, {0}}};
  layout.records = {{-1, 0, "", "", "", "no id"}};
  layout.index = {{0, 0}};
  CDlgFile doc;
  ASSERT_EQ(LoadBytes(doc, dlgtest::BuildFile(layout)), 1);
  EXPECT_EQ(doc.GetLines().GetCount(), 0);
}

TEST(DlgReaderDamage, OneRecordListedMillionsOfTimesStopsAtTheMemoryBound) {
  // 8 MB of member IDs, all naming one record of 64 KB: loading every listing would take 128 GB.
  FileSpec layout;
  const int32_t listings = 2 * 1000 * 1000;
  layout.plots = {{"a", -1, -1, std::vector<int32_t>(listings, 0)}};
  layout.records = {{0, 0, "", "", "", std::string(64 * 1024, 'x')}};
  layout.index = {{0, 0}};
  const std::string bytes = dlgtest::BuildFile(layout);
  CDlgFile doc;
  DebugCapture capture;
  ASSERT_EQ(LoadBytes(doc, bytes), 1);
  const int64_t loaded = doc.GetLines().GetCount();
  EXPECT_GE(loaded, 2);
  EXPECT_LE(loaded * (64 * 1024), 5 * static_cast<int64_t>(bytes.size()) + (1 << 20));
  ASSERT_FALSE(capture.lines().empty());
  EXPECT_EQ(capture.lines().back().rfind("CDlgFile::Load() Error (2) : ", 0), 0u);
}

TEST(DlgReaderDamage, OutOfMemoryForTheFileImageLeavesTheDocument) {
  TempDir dir;
  WriteFileBytes(dir.File("f.dlg"), GoodFile());
  CDlgFile doc;
  doc.AddPlot("stays", -1, -1);
  DebugCapture capture;
  platform::FailAllocationAfter(1);
  EXPECT_EQ(doc.Load(dir.File("f.dlg").c_str()), 0);
  platform::ResetAllocationFaults();
  EXPECT_EQ(doc.GetPlots().GetCount(), 1);
  ASSERT_EQ(capture.lines().size(), 1u);
  EXPECT_EQ(capture.lines()[0],
            "CDlgFile::Load() Error (1) : Not enough memory(" + dir.File("f.dlg") + ")!\n");
}

TEST(DlgReaderDamage, EveryFailingAllocationLeavesAConsistentDocument) {
  TempDir dir;
  WriteFileBytes(dir.File("f.dlg"), GoodFile());
  for (int n = 1; n < 200; ++n) {
    CDlgFile doc;
    DebugCapture capture;
    platform::FailAllocationAfter(n);
    const int result = doc.Load(dir.File("f.dlg").c_str());
    const long count = platform::AllocationCount();
    platform::ResetAllocationFaults();
    EXPECT_TRUE(result == 0 || result == 1);
    for (PlotPos pos = doc.GetFirstPlot(); pos != nullptr;) {
      CDlgPlot& plot = doc.GetNextPlot(pos);
      for (auto* m = plot.members.GetHeadPosition(); m != nullptr; m = m->next) {
        EXPECT_GE(doc.GetItem(m->value).GetID(), 0);
      }
    }
    if (count < n) break;  // the load finished before the fault
  }
}

}  // namespace
