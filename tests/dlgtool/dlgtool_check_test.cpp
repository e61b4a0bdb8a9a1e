// dlgtool check: every kind of problem, as a user sees it, and the check function itself.
#include <gtest/gtest.h>

#include <string>

#include "check.h"
#include "dlgfile/dlg_bytes.h"
#include "model/dlg_file.h"
#include "support/debug_capture.h"
#include "support/document_builder.h"
#include "support/temp_dir.h"
#include "tool_run.h"

namespace {

using dlgtooltest::RunDlgtool;
using dlgtooltest::ToolRun;

constexpr char kConfig[] =
    "[PARLATRIX]\r\nHEADCOUNT=2\r\n[FACE]\r\nFACECOUNT=2\r\nFACE=smile\r\nFACE=frown\r\n"
    "[FACE000]\r\nNAME=Minjun\r\nCOUNT=1\r\nFACE=0\r\n"
    "[FACE001]\r\nNAME=Seoyeon\r\nCOUNT=2\r\nFACE=0\r\nFACE=1\r\n";

// Offsets of the bytes that end the game name and the third plot's name in the file below.
constexpr size_t kGameNameLastByte = 48 + 31;
constexpr size_t kThirdPlotNameLastByte = 148 + (76 + 4 * 6) + (76 + 4 * 1) + 63;

class DlgtoolCheck : public ::testing::Test {
 protected:
  ToolRun Run(const std::vector<std::string>& args) { return RunDlgtool(dir_.path(), args); }

  void Save(CDlgFile& doc, const char* name) {
    DebugCapture quiet;  // the long text and the duplicate ID are reported while saving
    ASSERT_EQ(doc.Save(dir_.File(name).c_str()), 1);
  }

  // A document with one problem of each kind. The game name and the third plot name fill their
  // fields without a zero byte once the file is patched, as a damaged or foreign file would.
  void SaveFlawedDocument() {
    CDlgFile doc;
    doc.SetGameName(std::string(31, 'G').c_str());
    PlotPos intro = doc.AddPlot("Intro", 0, 10);
    AddTestLine(doc, intro, 0, "fine", "Minjun", "smile");
    AddTestLine(doc, intro, 20, "outside");
    AddTestLine(doc, intro, 1, std::string(4096, 't').c_str());
    AddTestLine(doc, intro, 2, "", "", "", std::string(251, 's').c_str());
    AddTestLine(doc, intro, 3, "", "Ghost");
    AddTestLine(doc, intro, 4, "", "Minjun", "frown");
    PlotPos again = doc.AddPlot("Intro", -1, -1);
    AddTestLine(doc, again, 0, "same ID");
    PlotPos longName = doc.AddPlot(std::string(63, 'P').c_str(), -1, -1);
    AddTestLine(doc, longName, 5, "", "Seoyeon", "frown");
    Save(doc, "game.dlg");
    std::string bytes = ReadFileBytes(dir_.File("game.dlg"));
    ASSERT_EQ(bytes[kGameNameLastByte], 0);
    ASSERT_EQ(bytes[kThirdPlotNameLastByte], 0);
    bytes[kGameNameLastByte] = 'G';
    bytes[kThirdPlotNameLastByte] = 'P';
    WriteFileBytes(dir_.File("game.dlg"), bytes);
    WriteFileBytes(dir_.File("Parlatrix.ini"), kConfig);
  }

  TempDir dir_;
};

TEST_F(DlgtoolCheck, ReportsEveryProblemWithItsPlotAndId) {
  SaveFlawedDocument();
  const ToolRun run = Run({"check", "game.dlg", "--ini", "Parlatrix.ini"});
  EXPECT_EQ(run.status, 1);
  const std::string g32(32, 'G');
  const std::string p64(64, 'P');
  // The file's own structure comes first, with byte offsets, then the document's problems.
  EXPECT_EQ(run.out,
            "game.dlg: offset 48: game name has no terminating zero byte\n"
            "game.dlg: offset 328: plot 2 name has no terminating zero byte\n"
            "game.dlg: offset 324, entry 0, ID 0: ID 0 is listed under plots 0 and 1\n"
            "game.dlg: game name \"" + g32 +
                "\" is 32 bytes, over the 31 its field holds\n"
                "game.dlg: plot 0 \"Intro\", ID 20: ID outside the plot's range [0, 10)\n"
                "game.dlg: plot 0 \"Intro\", ID 1: text is 4096 bytes, over 4095\n"
                "game.dlg: plot 0 \"Intro\", ID 2: sound name is 251 bytes, over the 250 the line "
                "editor accepts\n"
                "game.dlg: plot 0 \"Intro\", ID 3: speaker \"Ghost\" is not in Parlatrix.ini\n"
                "game.dlg: plot 0 \"Intro\", ID 4: expression \"frown\" is not one of speaker "
                "\"Minjun\"'s expressions\n"
                "game.dlg: plot 1 \"Intro\": plot name repeats plot 0\n"
                "game.dlg: plot 1 \"Intro\", ID 0: duplicate ID, also in plot 0 \"Intro\"\n"
                "game.dlg: plot 2 \"" +
                p64 +
                "\": plot name is 64 bytes, over the 63 its field "
                "holds\n");
  EXPECT_EQ(run.err, "dlgtool: game.dlg: 12 problems\n");
}

TEST_F(DlgtoolCheck, WithoutAConfigurationSpeakersAreNotChecked) {
  SaveFlawedDocument();
  const ToolRun run = Run({"check", "game.dlg"});
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.out.find("speaker"), std::string::npos) << run.out;
  EXPECT_EQ(run.err, "dlgtool: game.dlg: 10 problems\n");
}

TEST_F(DlgtoolCheck, SoundDocumentPassesSilently) {
  CDlgFile doc;
  PlotPos plot = doc.AddPlot("Intro", 0, 10);
  AddTestLine(doc, plot, 0, std::string(4095, 't').c_str(), "Seoyeon", "frown",
              std::string(250, 's').c_str());
  AddTestLine(doc, plot, 9, "last of the range", "Minjun");
  Save(doc, "good.dlg");
  WriteFileBytes(dir_.File("Parlatrix.ini"), kConfig);
  const ToolRun run = Run({"check", "good.dlg", "--ini", "Parlatrix.ini"});
  EXPECT_EQ(run.status, 0) << run.out << run.err;
  EXPECT_EQ(run.out, "");
  EXPECT_EQ(run.err, "");
}

// A build pipeline that insists on UTF-8: a legacy (CP949) file fails, the same file recoded
// passes; the answer is the runtime's, so it is what a game would be told.
TEST_F(DlgtoolCheck, RequireUtf8FailsALegacyFileUntilRecoded) {
  CDlgFile doc;
  PlotPos plot = doc.AddPlot("\xC0\xE5\xB8\xE9", -1, -1);  // "장면" in CP949
  AddTestLine(doc, plot, 0, "\xB4\xEB\xBB\xE7", "Minjun");   // "대사"
  Save(doc, "legacy.dlg");
  ToolRun run = Run({"check", "legacy.dlg", "--encoding", "CP949"});
  EXPECT_EQ(run.status, 0) << run.out << run.err;
  run = Run({"check", "legacy.dlg", "--encoding", "CP949", "--require-utf8"});
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.out,
            "legacy.dlg: names or texts are not valid UTF-8 (--require-utf8); dlgtool recode "
            "converts the file\n");
  run = Run({"recode", "legacy.dlg", "--from", "CP949", "--to", "UTF-8", "-o", "utf8.dlg"});
  ASSERT_EQ(run.status, 0) << run.err;
  run = Run({"check", "utf8.dlg", "--encoding", "UTF-8", "--require-utf8"});
  EXPECT_EQ(run.status, 0) << run.out << run.err;
  EXPECT_EQ(run.out, "");
}

TEST_F(DlgtoolCheck, OlderVersionsWithTheUnusedIndexOffsetLeftZeroPass) {
  for (int32_t version : {100, 101}) {
    dlgtest::FileSpec layout;
    layout.version = version;
    layout.plots = {{"a", 0, 10, {}}};
    layout.records = {{0, 0, "", "", "", "zero"}, {2, 0, "", "", "", "two"}};
    layout.index = {{0, 0}, {-1, 1}, {2, 1}};
    std::string bytes = dlgtest::BuildFile(layout);
    bytes.replace(80, 4, dlgtest::Le32(0));  // as the writers of these versions left it
    WriteFileBytes(dir_.File("old.dlg"), bytes);
    const ToolRun run = Run({"check", "old.dlg"});
    EXPECT_EQ(run.status, 0) << version << "\n" << run.out << run.err;
    EXPECT_EQ(run.out, "") << version;
  }
}

TEST_F(DlgtoolCheck, MissingConfigurationIsAnIoError) {
  CDlgFile doc;
  Save(doc, "empty.dlg");
  const ToolRun run = Run({"check", "empty.dlg", "--ini", "absent.ini"});
  EXPECT_EQ(run.status, 2);
  EXPECT_EQ(run.err, "dlgtool: absent.ini: cannot open the configuration: No such file or directory\n");
}

TEST_F(DlgtoolCheck, IncompleteConfigurationIsAProblem) {
  CDlgFile doc;
  Save(doc, "empty.dlg");
  // HEADCOUNT promises a second speaker whose section is missing: the editor offers none.
  WriteFileBytes(dir_.File("short.ini"),
                 "[PARLATRIX]\nHEADCOUNT=2\n[FACE]\nFACECOUNT=0\n[FACE000]\nNAME=A\nCOUNT=0\n");
  const ToolRun run = Run({"check", "empty.dlg", "--ini", "short.ini"});
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.out,
            "empty.dlg: configuration short.ini is incomplete (HEADCOUNT, FACECOUNT or a speaker "
            "section is missing): the editor offers none of its speakers\n");
}

TEST(CheckDocument, ReportsEachLaterCopyOfAnIdOnceAndNamesTheFirst) {
  CDlgFile doc;
  PlotPos a = doc.AddPlot("A", -1, -1);
  PlotPos b = doc.AddPlot("B", -1, -1);
  AddTestLine(doc, a, 7, "");
  AddTestLine(doc, b, 7, "");
  AddTestLine(doc, b, 7, "");
  const std::vector<dlgtool::Finding> findings = dlgtool::CheckDocument(doc, nullptr);
  ASSERT_EQ(findings.size(), 2u);
  for (const dlgtool::Finding& finding : findings) {
    EXPECT_EQ(finding.plot, 1);
    EXPECT_EQ(finding.id, 7);
    EXPECT_EQ(dlgtool::FormatFinding(finding),
              "plot 1 \"B\", ID 7: duplicate ID, also in plot 0 \"A\"");
  }
}

TEST(CheckDocument, RangeWithOneBoundChecksThatBoundOnly) {
  CDlgFile doc;
  PlotPos low = doc.AddPlot("from 100", 100, -1);
  AddTestLine(doc, low, 99, "");
  AddTestLine(doc, low, 5000, "");
  PlotPos high = doc.AddPlot("below 10", -1, 10);
  AddTestLine(doc, high, 10, "");
  AddTestLine(doc, high, 0, "");
  const std::vector<dlgtool::Finding> findings = dlgtool::CheckDocument(doc, nullptr);
  ASSERT_EQ(findings.size(), 2u);
  EXPECT_EQ(dlgtool::FormatFinding(findings[0]),
            "plot 0 \"from 100\", ID 99: ID outside the plot's range [100, *)");
  EXPECT_EQ(dlgtool::FormatFinding(findings[1]),
            "plot 1 \"below 10\", ID 10: ID outside the plot's range [*, 10)");
}

}  // namespace
