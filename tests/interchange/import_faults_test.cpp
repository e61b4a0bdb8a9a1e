// Import with every allocation failing in turn, once and from the Nth on: the import returns false,
// every line keeps its text, the document stays consistent, and the log holds nothing of the
// failed import. When no fault is reached the texts are those of a clean import.
#include <gtest/gtest.h>

#include <string>

#include "dlgfile/document_checks.h"
#include "model/dlg_file.h"
#include "platform/fault_injection.h"
#include "support/debug_capture.h"
#include "support/temp_dir.h"

namespace {

// Texts for lines of both plots and for the line in no plot, an entry of many lines, an unmatched
// ID, one beyond int and a line longer than the reader's first buffer.
std::string ImportFile() {
  std::string file = "*************\r\n";
  for (int id : {0, 60, 120, 180, 5}) {
    file += std::to_string(id) + "\r\ntranslated " + std::to_string(id) + "\r\n";
    if (id == 60) file += "second\r\n\tthird\r\n";
    file += "\r\n";
  }
  file += "424242\r\nnobody has it\r\n\r\n99999999999\r\ntoo big\r\n\r\n";
  file += "240\r\n" + std::string(100000, 'x') + "\r\n\r\n";
  return file;
}

class ImportFaults : public ::testing::TestWithParam<bool> {
 protected:
  void TearDown() override { platform::ResetAllocationFaults(); }

  int ImportWithEachFault(int multiLine) {
    WriteFileBytes("in.txt", ImportFile());
    std::string imported;
    std::string log;
    {
      CDlgFile doc;
      dlgtest::BuildLargeDocument(doc, "t");
      doc.SetMultiLine(multiLine);
      EXPECT_TRUE(doc.Import("in.txt"));
      imported = dlgtest::Describe(doc);
      log = ReadFileBytes("Parlatrix.log");
    }
    int failures = 0;
    for (int n = 1; n < 10000; ++n) {
      CDlgFile doc;
      dlgtest::BuildLargeDocument(doc, "t");
      doc.SetMultiLine(multiLine);
      const std::string before = dlgtest::Describe(doc);
      WriteFileBytes("Parlatrix.log", "stale entry\r\n");
      DebugCapture capture;
      platform::FailAllocationAfter(n, GetParam());
      const bool result = doc.Import("in.txt");
      const long allocations = platform::AllocationCount();
      const bool fired = n <= allocations;
      platform::ResetAllocationFaults();
      EXPECT_TRUE(dlgtest::IsConsistent(doc)) << "fault " << n;
      if (!fired) {
        EXPECT_TRUE(result);
        EXPECT_EQ(dlgtest::Describe(doc), imported);
        EXPECT_EQ(ReadFileBytes("Parlatrix.log"), log);
        break;
      }
      // The log's stream buffer, the last allocation, may fail: the stream falls back to its own.
      if (result) {
        EXPECT_EQ(n, allocations) << "fault " << n;
        EXPECT_EQ(dlgtest::Describe(doc), imported);
        EXPECT_EQ(ReadFileBytes("Parlatrix.log"), log);
        continue;
      }
      ++failures;
      EXPECT_FALSE(result) << "fault " << n;
      EXPECT_EQ(dlgtest::Describe(doc), before) << "fault " << n;
      EXPECT_EQ(ReadFileBytes("Parlatrix.log"), "") << "fault " << n;
    }
    return failures;
  }

  TempDir dir_;
  ScopedCurrentDir cwd_{dir_.path()};
};

TEST_P(ImportFaults, MultiLineDocument) {
  // The line buffer and its growth, the gathered texts, the entries and their texts.
  EXPECT_GT(ImportWithEachFault(1), 10);
}

TEST_P(ImportFaults, SingleLineDocument) {
  EXPECT_GT(ImportWithEachFault(0), 10);
}

INSTANTIATE_TEST_SUITE_P(OnceAndFromNOn, ImportFaults, ::testing::Values(false, true),
                         [](const ::testing::TestParamInfo<bool>& info) {
                           return info.param ? "FromNOn" : "Once";
                         });

}  // namespace
