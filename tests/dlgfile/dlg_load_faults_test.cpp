// Load with every allocation failing in turn, once and from the Nth on, over files of the current
// and of older versions. Whenever an allocation fails the load reports it and returns 0, and the
// document is consistent: as it was, or emptied of plots and lines. Never a document that silently
// lacks part of its file, which the next save would write over the whole file.
#include <gtest/gtest.h>

#include <string>

#include "dlg_bytes.h"
#include "document_checks.h"
#include "model/dlg_file.h"
#include "platform/fault_injection.h"
#include "support/debug_capture.h"
#include "support/temp_dir.h"

namespace {

void Prefill(CDlgFile& doc) {
  doc.SetGameName("open document");
  PlotPos plot = doc.AddPlot("before", 0, 10);
  CDlgItem line;
  line.SetText("unsaved work");
  ASSERT_NE(doc.AddItem(line, plot, nullptr), nullptr);
}

std::string OldVersionFile() {
  dlgtest::FileSpec layout;
  layout.version = 103;
  layout.gameName = "old";
  layout.plots = {{"a", 0, 10, {}}, {"b", 10, 20, {}}};
  layout.records = {{0, 0, "s", "e", "o", std::string(300, 'z')},  // a text beyond the stack block
                    {4, 1, "", "", "", "four"},
                    {5, 0, "", "", "", "five"}};
  layout.index = {{0, 0}, {-1, 1}, {-1, 1}, {-1, 1}, {4, 1}, {5, 2}};
  return dlgtest::BuildFile(layout);
}

// A version 104 file listing one ID under two plots, and IDs that lead nowhere.
std::string SharedIdFile() {
  dlgtest::FileSpec layout;
  layout.plots = {{"a", -1, -1, {0, 1}}, {"b", -1, -1, {0, 77, -1}}};
  layout.records = {{0, 0, "", "", "", "shared"}, {1, 0, "x", "y", "z", "one"}};
  layout.index = {{0, 0}, {1, 1}};
  return dlgtest::BuildFile(layout);
}

class LoadFaults : public ::testing::TestWithParam<bool> {
 protected:
  void TearDown() override { platform::ResetAllocationFaults(); }

  // Loads `bytes` with the Nth allocation failing, N = 1, 2, ... until N lies beyond the
  // allocations of a load; returns the number of failed loads.
  int LoadWithEachFault(const std::string& bytes) {
    const std::string path = dir_.File("f.dlg");
    WriteFileBytes(path, bytes);
    std::string loaded;
    {
      CDlgFile doc;
      EXPECT_EQ(doc.Load(path.c_str()), 1);
      loaded = dlgtest::Describe(doc);
    }
    CDlgFile original;
    Prefill(original);
    const std::string before = dlgtest::Describe(original);
    const std::string message = "CDlgFile::Load() Error (1) : Not enough memory(" + path + ")!\n";

    int failures = 0;
    for (int n = 1; n < 10000; ++n) {
      CDlgFile doc;
      Prefill(doc);
      DebugCapture capture;
      platform::FailAllocationAfter(n, GetParam());
      const int result = doc.Load(path.c_str());
      const bool fired = n <= platform::AllocationCount();
      platform::ResetAllocationFaults();
      EXPECT_TRUE(dlgtest::IsConsistent(doc)) << "fault " << n;
      if (!fired) {
        EXPECT_EQ(result, 1);
        EXPECT_EQ(dlgtest::Describe(doc), loaded);
        break;
      }
      ++failures;
      EXPECT_EQ(result, 0) << "fault " << n;
      EXPECT_EQ(capture.lines().empty() ? "" : capture.lines().back(), message) << "fault " << n;
      const bool unchanged = dlgtest::Describe(doc) == before;
      const bool emptied = doc.GetPlots().GetCount() == 0 && doc.GetLines().GetCount() == 0;
      EXPECT_TRUE(unchanged || emptied) << "fault " << n << "\n" << dlgtest::Describe(doc);
    }
    return failures;
  }

  TempDir dir_;
};

TEST_P(LoadFaults, LargeCurrentVersionFile) {
  CDlgFile doc;
  dlgtest::BuildLargeDocument(doc, "big");
  const std::string path = dir_.File("big.dlg");
  ASSERT_EQ(doc.Save(path.c_str()), 1);
  // Image, table, game name, three plots with names and member lists, the lines with their
  // texts and plot members.
  EXPECT_GT(LoadWithEachFault(ReadFileBytes(path)), 5 * dlgtest::kLargeDocumentLines);
}

TEST_P(LoadFaults, OlderVersionFilePlacedByPlotIndex) {
  EXPECT_GT(LoadWithEachFault(OldVersionFile()), 10);
}

TEST_P(LoadFaults, IdListedUnderTwoPlots) {
  EXPECT_GT(LoadWithEachFault(SharedIdFile()), 5);
}

INSTANTIATE_TEST_SUITE_P(OnceAndFromNOn, LoadFaults, ::testing::Values(false, true),
                         [](const ::testing::TestParamInfo<bool>& info) {
                           return info.param ? "FromNOn" : "Once";
                         });

}  // namespace
