// Load into a document that already holds another one (Open after Open): the old lines and the
// text storage behind them go, the new document is the same as one loaded into an empty document,
// and lines copied out of the old one stay whole.
#include <gtest/gtest.h>

#include <string>

#include "document_checks.h"
#include "model/dlg_file.h"
#include "platform/fault_injection.h"
#include "support/debug_capture.h"
#include "support/temp_dir.h"

namespace {

TEST(DlgLoadOverFull, GivesWhatAFreshLoadGivesAndCopiesOfOldLinesSurvive) {
  TempDir dir;
  const std::string first = dir.File("first.dlg");
  const std::string second = dir.File("second.dlg");
  {
    CDlgFile a;
    dlgtest::BuildLargeDocument(a, "first");
    ASSERT_EQ(a.Save(first.c_str()), 1);
    CDlgFile b;
    dlgtest::BuildLargeDocument(b, "second");
    ASSERT_EQ(b.Save(second.c_str()), 1);
  }
  CDlgFile fresh;
  ASSERT_EQ(fresh.Load(second.c_str()), 1);

  CDlgFile doc;
  ASSERT_EQ(doc.Load(first.c_str()), 1);
  const CDlgItem copied = doc.GetItem(doc.GetLines().GetHeadPosition());
  const std::string copiedText = copied.GetText().c_str();
  ASSERT_FALSE(copiedText.empty());
  ASSERT_EQ(doc.Load(second.c_str()), 1);
  EXPECT_TRUE(dlgtest::IsConsistent(doc));
  EXPECT_EQ(dlgtest::Describe(doc), dlgtest::Describe(fresh));
  EXPECT_EQ(copied.GetText().c_str(), copiedText);

  // Edited after the load, saved, loaded over itself: still the same bytes.
  CDlgItem& line = doc.GetItem(doc.GetLines().GetTailPosition());
  line.SetText("edited after the load");
  const std::string saved = dir.File("saved.dlg");
  ASSERT_EQ(doc.Save(saved.c_str()), 1);
  ASSERT_EQ(doc.Load(saved.c_str()), 1);
  EXPECT_STREQ(doc.GetItem(doc.GetLines().GetTailPosition()).GetText(), "edited after the load");
  const std::string again = dir.File("again.dlg");
  ASSERT_EQ(doc.Save(again.c_str()), 1);
  EXPECT_EQ(ReadFileBytes(again), ReadFileBytes(saved));

  // Running out of memory halfway through a load over a full document leaves it empty, with the
  // text storage released, and a later load works.
  DebugCapture capture;
  platform::FailAllocationAfter(200, true);
  EXPECT_EQ(doc.Load(first.c_str()), 0);
  platform::ResetAllocationFaults();
  EXPECT_EQ(doc.GetLines().GetCount(), 0);
  EXPECT_EQ(doc.GetPlots().GetCount(), 0);
  EXPECT_EQ(doc.GetTextArena().BytesHeld(), 0u);
  ASSERT_EQ(doc.Load(second.c_str()), 1);
  EXPECT_EQ(dlgtest::Describe(doc), dlgtest::Describe(fresh));
}

}  // namespace
