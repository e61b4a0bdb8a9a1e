// dlgtool export and import as a user runs them.
#include <gtest/gtest.h>

#include <string>

#include "model/dlg_file.h"
#include "support/document_builder.h"
#include "support/temp_dir.h"
#include "tool_run.h"

namespace {

using dlgtooltest::RunDlgtool;
using dlgtooltest::ToolRun;

class DlgtoolInterchange : public ::testing::Test {
 protected:
  void SetUp() override {
    CDlgFile doc;
    doc.SetMultiLine(1);
    PlotPos p = doc.AddPlot("P", -1, -1);
    AddTestLine(doc, p, 3, "a\r\nb");
    AddTestLine(doc, p, 4, "");
    doc.AddPlot("Q", -1, -1);
    ASSERT_EQ(doc.Save(dir_.File("doc.dlg").c_str()), 1);
    original_ = ReadFileBytes(dir_.File("doc.dlg"));
  }

  ToolRun Run(const std::vector<std::string>& args) { return RunDlgtool(dir_.path(), args); }

  TempDir dir_;
  std::string original_;
};

TEST_F(DlgtoolInterchange, ExportWritesTheTranslationForm) {
  const ToolRun run = Run({"export", "doc.dlg", "out.txt"});
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out, "");
  EXPECT_EQ(ReadFileBytes(dir_.File("out.txt")),
            "*************\r\n3\r\na\r\nb\r\n\r\n4\r\n\r\n\r\n*************\r\n");
}

TEST_F(DlgtoolInterchange, ExportRecordingWritesOneLinePerDialogueLine) {
  const ToolRun run = Run({"export", "doc.dlg", "out.txt", "--recording"});
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(ReadFileBytes(dir_.File("out.txt")), "3\ta\tb\r\n4\t\r\n");
}

TEST_F(DlgtoolInterchange, ExportToAnUnwritablePlaceIsAnIoError) {
  const ToolRun run = Run({"export", "doc.dlg", "no/such/folder/out.txt"});
  EXPECT_EQ(run.status, 2);
  EXPECT_EQ(run.err, "dlgtool: no/such/folder/out.txt: cannot write the export file: No such file or "
            "directory\n");
}

TEST_F(DlgtoolInterchange, ImportSavesInPlaceAndCountsMatchedAndLoggedTexts) {
  WriteFileBytes(dir_.File("in.txt"),
                 "*************\r\n3\r\n새 텍스트\r\n둘째 줄\r\n\r\n99\r\nghost\r\n\r\n");
  const ToolRun run = Run({"import", "doc.dlg", "in.txt"});
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out, "matched: 1\nlogged: 1 (Parlatrix.log)\n");
  EXPECT_EQ(ReadFileBytes(dir_.File("Parlatrix.log")), "99\r\n ghost\r\n");

  const ToolRun get = Run({"get", "doc.dlg", "3", "4"});
  EXPECT_EQ(get.out, "3\t\t\t\t새 텍스트\\r\\n둘째 줄\n4\t\t\t\t\n");
}

TEST_F(DlgtoolInterchange, ImportWithOutputLeavesTheOriginalUntouched) {
  WriteFileBytes(dir_.File("in.txt"), "4\r\nfour\r\n\r\n");
  const ToolRun run = Run({"import", "doc.dlg", "in.txt", "-o", "new.dlg"});
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out, "matched: 1\nlogged: 0 (Parlatrix.log)\n");
  EXPECT_EQ(ReadFileBytes(dir_.File("doc.dlg")), original_);
  EXPECT_EQ(Run({"get", "--text-only", "new.dlg", "4"}).out, "four\n");
}

TEST_F(DlgtoolInterchange, ExportedTextImportsBackToTheSameBytes) {
  ASSERT_EQ(Run({"export", "doc.dlg", "out.txt"}).status, 0);
  const ToolRun run = Run({"import", "doc.dlg", "out.txt", "-o", "again.dlg"});
  EXPECT_EQ(run.out, "matched: 2\nlogged: 0 (Parlatrix.log)\n");
  EXPECT_EQ(ReadFileBytes(dir_.File("again.dlg")), original_);
}

TEST_F(DlgtoolInterchange, ImportNeverReplacesAFileThatIsNoDialogueFile) {
  WriteFileBytes(dir_.File("in.txt"), "4\r\nfour\r\n\r\n");
  const ToolRun run = Run({"import", "in.txt", "doc.dlg"});  // the two names swapped
  EXPECT_EQ(run.status, 2);
  EXPECT_EQ(run.out, "");
  EXPECT_NE(run.err.find("dlgtool: in.txt: not replaced, as it is no dialogue file; use -o to "
                         "save elsewhere\n"),
            std::string::npos)
      << run.err;
  EXPECT_EQ(ReadFileBytes(dir_.File("in.txt")), "4\r\nfour\r\n\r\n");
  EXPECT_EQ(ReadFileBytes(dir_.File("doc.dlg")), original_);
}

TEST_F(DlgtoolInterchange, MissingImportFileIsAnIoErrorAndSavesNothing) {
  const ToolRun run = Run({"import", "doc.dlg", "absent.txt"});
  EXPECT_EQ(run.status, 2);
  EXPECT_EQ(run.out, "");
  EXPECT_EQ(run.err, "dlgtool: absent.txt: cannot read the import file: No such file or directory\n");
  EXPECT_EQ(ReadFileBytes(dir_.File("doc.dlg")), original_);
}

TEST_F(DlgtoolInterchange, UnwritableTargetIsAnIoError) {
  WriteFileBytes(dir_.File("in.txt"), "4\r\nfour\r\n\r\n");
  const ToolRun run = Run({"import", "doc.dlg", "in.txt", "-o", "no/such/folder/x.dlg"});
  EXPECT_EQ(run.status, 2);
  EXPECT_NE(run.err.find("dlgtool: no/such/folder/x.dlg: cannot save the dialogue file: No such "
                         "file or directory; it is unchanged\n"),
            std::string::npos)
      << run.err;
}

}  // namespace
