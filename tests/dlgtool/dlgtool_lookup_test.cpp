// dlgtool as a user runs it: usage, help, info and get.
#include <gtest/gtest.h>

#include <string>

#include "model/dlg_file.h"
#include "support/document_builder.h"
#include "support/temp_dir.h"
#include "tool_run.h"

namespace {

using dlgtooltest::RunDlgtool;
using dlgtooltest::ToolRun;

class DlgtoolLookup : public ::testing::Test {
 protected:
  void SetUp() override {
    CDlgFile doc;
    doc.SetGameName("Starlight Inn");
    doc.SetColumns(1, 0, 1);
    doc.SetMultiLine(1);
    PlotPos prologue = doc.AddPlot("Prologue", 0, 50);
    AddTestLine(doc, prologue, 0, "Welcome.", "Minjun", "smile", "m0.wav");
    AddTestLine(doc, prologue, 7, "one\r\ntwo\tthree\\four\r\n", "Seoyeon", "", "s7.wav");
    PlotPos second = doc.AddPlot("서장", -1, -1);
    AddTestLine(doc, second, 120, "茶馆");
    doc.AddPlot("Open", 100, -1);
    ASSERT_EQ(doc.Save(dir_.File("inn.dlg").c_str()), 1);
  }

  ToolRun Run(const std::vector<std::string>& args) { return RunDlgtool(dir_.path(), args); }

  TempDir dir_;
};

TEST_F(DlgtoolLookup, NoSubcommandIsAUsageError) {
  const ToolRun run = Run({});
  EXPECT_EQ(run.status, 2);
  EXPECT_NE(run.err.find("subcommand"), std::string::npos) << run.err;
}

TEST_F(DlgtoolLookup, UnknownOptionIsAUsageError) {
  EXPECT_EQ(Run({"info", "--bogus", "inn.dlg"}).status, 2);
  EXPECT_EQ(Run({"frobnicate", "inn.dlg"}).status, 2);
}

TEST_F(DlgtoolLookup, EverySubcommandHasHelp) {
  for (const char* command : {"info", "get", "export", "import", "check"}) {
    const ToolRun run = Run({command, "--help"});
    EXPECT_EQ(run.status, 0) << command;
    EXPECT_NE(run.out.find(std::string("Usage: dlgtool ") + command), std::string::npos) << run.out;
  }
}

TEST_F(DlgtoolLookup, InfoPrintsHeaderOptionsAndEveryPlot) {
  const ToolRun run = Run({"info", "inn.dlg"});
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out,
            "version: 104\n"
            "game name: \"Starlight Inn\"\n"
            "columns: speaker 1, expression 0, sound 1\n"
            "multi-line: 1\n"
            "lines: 3\n"
            "index entries: 121\n"
            "plots: 3\n"
            "plot 0 \"Prologue\": range [0, 50), 2 lines\n"
            "plot 1 \"서장\": range none, 1 line\n"
            "plot 2 \"Open\": range [100, *), 0 lines\n");
  EXPECT_EQ(run.err, "");
}

TEST_F(DlgtoolLookup, MissingFileIsAnIoError) {
  const ToolRun run = Run({"info", "absent.dlg"});
  EXPECT_EQ(run.status, 2);
  EXPECT_EQ(run.out, "");
  EXPECT_EQ(run.err, "dlgtool: absent.dlg: cannot open the dialogue file: No such file or directory\n");
}

TEST_F(DlgtoolLookup, FolderIsNotADialogueFile) {
  EXPECT_EQ(Run({"info", "."}).status, 2);
  EXPECT_EQ(Run({"get", ".", "0"}).status, 2);
}

TEST_F(DlgtoolLookup, ForeignFileIsReadAfterAWarning) {
  WriteFileBytes(dir_.File("notes.txt"), "just some notes, not a dialogue file\n");
  const ToolRun run = Run({"info", "notes.txt"});
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.err,
            "dlgtool: notes.txt: warning: no dialogue file header (DLGTEXT, QUILLHAVEN@); read "
            "anyway\n");
}

TEST_F(DlgtoolLookup, GetPrintsFieldsSeparatedByTabsWithTextsEscaped) {
  const ToolRun run = Run({"get", "inn.dlg", "7", "0"});
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out,
            "7\tSeoyeon\t\ts7.wav\tone\\r\\ntwo\\tthree\\\\four\\r\\n\n"
            "0\tMinjun\tsmile\tm0.wav\tWelcome.\n");
}

TEST_F(DlgtoolLookup, GetTextOnlyPrintsTheLookupToolsForm) {
  const ToolRun run = Run({"get", "--text-only", "inn.dlg", "7", "120"});
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out, "one\ntwo\tthree\\four\n茶馆\n");
}

TEST_F(DlgtoolLookup, GetReportsEachMissingIdAndStillPrintsTheOthers) {
  // 3 is a hole below the highest ID, 121 lies past the index, -1 is never an ID.
  const ToolRun run = Run({"get", "inn.dlg", "3", "0", "121", "-1"});
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.out, "0\tMinjun\tsmile\tm0.wav\tWelcome.\n");
  EXPECT_EQ(run.err,
            "dlgtool: inn.dlg: no line with ID 3\n"
            "dlgtool: inn.dlg: no line with ID 121\n"
            "dlgtool: inn.dlg: no line with ID -1\n");
}

TEST_F(DlgtoolLookup, GetVerboseShowsTheReadersOwnDiagnostic) {
  const ToolRun run = Run({"get", "inn.dlg", "3", "--verbose"});
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.err,
            "dlgtool: CDlgFile::ReadItem() Error (2) : Index is invalid (3)!\n"
            "dlgtool: inn.dlg: no line with ID 3\n");
}

TEST_F(DlgtoolLookup, GetRefusesAnIdThatIsNotAWholeNumber) {
  for (const char* id : {"7x", "", "+", "99999999999", "1.5"}) {
    const ToolRun run = Run({"get", "inn.dlg", "0", id});
    EXPECT_EQ(run.status, 2) << id;
    EXPECT_EQ(run.out, "") << id;
    EXPECT_EQ(run.err, std::string("dlgtool: not a line ID: ") + id + "\n");
  }
}

TEST_F(DlgtoolLookup, GetOnAMissingFileIsAnIoError) {
  const ToolRun run = Run({"get", "absent.dlg", "0"});
  EXPECT_EQ(run.status, 2);
  EXPECT_EQ(run.err, "dlgtool: absent.dlg: cannot open the dialogue file: No such file or directory\n");
}

}  // namespace
