// Faults the fuzzers found, each pinned down by the behaviour that is right. The inputs that found
// them are in fuzz/corpus/ and are replayed as well.
#include <gtest/gtest.h>

#include <string>

#include "dlgfile/dlg_bytes.h"
#include "dlgfile/dlg_item_reader.h"
#include "model/dlg_file.h"
#include "platform/fault_injection.h"
#include "support/debug_capture.h"
#include "support/temp_dir.h"

namespace {

// Found by the load target (its second load, with an allocation failing): the load returned 1
// with the line whose node could not be allocated missing from the document.
TEST(FuzzRegression, LoadThatRunsOutOfMemoryFailsInsteadOfDroppingALine) {
  TempDir dir;
  dlgtest::FileSpec layout;
  layout.version = 100;
  layout.plots = {{"a", 0, 0, {}}, {"b", 0, 0, {}}};
  layout.records = {{0, 0, "", "", "", "zero"}, {1, 1, "", "", "", "one"}};
  layout.index = {{0, 0}, {1, 1}};
  const std::string path = dir.File("old.dlg");
  WriteFileBytes(path, dlgtest::BuildFile(layout));
  long allocations = 0;
  {
    CDlgFile doc;
    platform::ResetAllocationFaults();
    ASSERT_EQ(doc.Load(path.c_str()), 1);
    allocations = platform::AllocationCount();
    ASSERT_EQ(doc.GetLines().GetCount(), 2);
  }
  CDlgFile doc;
  DebugCapture capture;
  platform::FailAllocationAfter(static_cast<int>(allocations));  // the last member node
  EXPECT_EQ(doc.Load(path.c_str()), 0);
  platform::ResetAllocationFaults();
  EXPECT_EQ(doc.GetPlots().GetCount(), 0);
  EXPECT_EQ(doc.GetLines().GetCount(), 0);
  ASSERT_EQ(capture.lines().size(), 2u);
  EXPECT_EQ(capture.lines()[0], "CQHList::NewNode() Error(0) : Not enough memory!");
  EXPECT_EQ(capture.lines()[1], "CDlgFile::Load() Error (1) : Not enough memory(" + path + ")!\n");
}

// Found by the read-item target: a record whose ID is negative made the reader answer false, as
// for no line, while still handing out the record's texts.
TEST(FuzzRegression, ReaderGivesNothingOfARecordWithoutAnIdOfItsOwn) {
  TempDir dir;
  dlgtest::FileSpec layout;
  layout.plots = {{"a", -1, -1, {0}}};
  layout.records = {{-5, 0, "speaker", "face", "v.wav", "text"}};
  layout.index = {{0, 0}};
  const std::string path = dir.File("bad.dlg");
  WriteFileBytes(path, dlgtest::BuildFile(layout));

  CDlgItemReader reader;
  reader.SetFileName(path.c_str());
  std::string text = "x", sound = "x", speaker = "x", expression = "x";
  EXPECT_FALSE(reader.GetItemFields(0, text, sound, speaker, expression));
  EXPECT_EQ(text + sound + speaker + expression, "");
  EXPECT_FALSE(reader.GetItemText(0, text));
  EXPECT_EQ(text, "");
  EXPECT_EQ(reader.FetchItem(0).GetID(), -1);
  EXPECT_EQ(reader.FetchItem(0).GetText().GetLength(), 0);
}

}  // namespace
