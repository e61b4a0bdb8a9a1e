// The editor's command line: --help and --version answer and exit 0 without a window (the built
// program, run as a process), the rest of the line is the file, --encoding opens a legacy file.
#include "app/command_line.h"

#include <gtest/gtest.h>

#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <cstdio>
#include <string>

#include "app/code_page_dlg.h"
#include "app/main_dlg.h"
#include "app/new_file_dlg.h"
#include "support/document_builder.h"
#include "support/ui/main_window_test.h"
#include "support/ui/modal_dialogs.h"
#include "toolkit/code_page.h"
#include "toolkit/scoped_codeset.h"

namespace {

using Action = app::CommandLine::Action;

app::CommandLine Parse(std::initializer_list<const char*> words) {
  QStringList arguments{QStringLiteral("parlatrix")};
  for (const char* word : words) arguments << QString::fromLatin1(word);
  return app::ParseCommandLine(arguments);
}

// Runs the built editor with `arguments` and no display; its standard output and exit status.
std::string RunEditor(const std::string& arguments, int& status) {
  const std::string command =
      "env -u DISPLAY -u WAYLAND_DISPLAY QT_QPA_PLATFORM=xcb '" PARLATRIX_PATH "' " + arguments +
      " 2>&1";
  std::FILE* pipe = popen(command.c_str(), "r");
  std::string out;
  char buffer[512];
  size_t n = 0;
  while ((n = std::fread(buffer, 1, sizeof(buffer), pipe)) > 0) out.append(buffer, n);
  status = pclose(pipe);
  return out;
}

TEST(CommandLine, HelpAndVersionPrintAndExitWithoutAWindow) {
  int status = -1;
  const std::string help = RunEditor("--help", status);
  EXPECT_EQ(status, 0) << help;
  EXPECT_NE(help.find("Usage: parlatrix [options] [FILE]"), std::string::npos) << help;
  EXPECT_NE(help.find("--encoding <CODEPAGE>"), std::string::npos);
  const std::string version = RunEditor("--version", status);
  EXPECT_EQ(status, 0);
  EXPECT_EQ(version, "parlatrix 1.0\n");
  EXPECT_EQ(RunEditor("-h", status), help);
}

TEST(CommandLine, TheRestOfTheLineIsTheFileAndOptionsMayFollowIt) {
  app::CommandLine line = Parse({"/tmp/my", "dialogue", "file.dlg"});
  EXPECT_EQ(line.action, Action::kRun);
  EXPECT_EQ(line.path, "/tmp/my dialogue file.dlg");
  EXPECT_EQ(Parse({}).path, "");
  line = Parse({"old.dlg", "--encoding", "CP949"});
  EXPECT_EQ(line.path, "old.dlg");
  EXPECT_EQ(line.encoding, "CP949");
  // Quotation marks stay part of the name, as ever; `--` lets a name begin with a dash.
  EXPECT_EQ(Parse({"\"a b.dlg\""}).path, "\"a b.dlg\"");
  EXPECT_EQ(Parse({"--", "--help"}).path, "--help");
  // Bytes of a legacy code page pass unchanged.
  EXPECT_EQ(Parse({"\xb4\xeb\xc8\xad.dlg"}).path, "\xb4\xeb\xc8\xad.dlg");
}

TEST(CommandLine, FaultsAreSaidWithTheUsage) {
  for (const app::CommandLine& line :
       {Parse({"--bogus"}), Parse({"a.dlg", "--encoding"}),
        Parse({"a.dlg", "--encoding", "NOPE-1"}), Parse({"--encoding", "CP949"})}) {
    EXPECT_EQ(line.action, Action::kError);
    EXPECT_TRUE(line.output.contains(QStringLiteral("Usage: parlatrix")))
        << line.output.toStdString();
  }
  int status = -1;
  const std::string out = RunEditor("--bogus", status);
  EXPECT_NE(status, 0);
  EXPECT_NE(out.find("Unknown option 'bogus'"), std::string::npos) << out;
}

class CommandLineWindow : public MainWindowTest {};

TEST_F(CommandLineWindow, EncodingOpensALegacyFileWhateverTheLocaleAndIsRemembered) {
  ScopedCodeset utf8("UTF-8");
  const std::string path = temp_.File("legacy.dlg");
  {
    // Texts of a Korean Windows machine: CP949 bytes ("대화", "똠").
    ScopedCodeset cp949("CP949");
    SaveTestDocument(path, "game", {{"\xb4\xeb\xc8\xad", 0, 9, {{"", "", "", "\x8c\x63"}}}});
  }
  app_.context.commandLineCodeset = "CP949";
  CMainDlg& dialog = Open(path);
  EXPECT_TRUE(app_.prompts.records().empty()) << app_.prompts.Texts().front();
  EXPECT_EQ(toolkit::SystemCodePage().codeset(), "CP949");
  ASSERT_EQ(dialog.plotList()->count(), 1);
  EXPECT_EQ(dialog.plotList()->item(0)->text(), QString::fromUtf8("대화"));
  // Opened again without the option, it is read in the code page it was given.
  toolkit::SetSystemCodeset("UTF-8");
  dialog_.reset();
  app_.context.commandLineCodeset.clear();
  CMainDlg& again = Open(path);
  EXPECT_TRUE(app_.prompts.records().empty());
  EXPECT_EQ(again.plotList()->item(0)->text(), QString::fromUtf8("대화"));
}

TEST_F(CommandLineWindow, AFileNotValidInTheCodePageSaysSoAndOpenInCodePageReadsIt) {
  ScopedCodeset utf8("UTF-8");
  const std::string path = temp_.File("korean.dlg");
  SaveTestDocument(path, "game", {{"\xb4\xeb\xc8\xad", 0, 9, {{"", "", "", "\x8c\x63"}}}});
  CMainDlg& dialog = Open(path);
  ASSERT_EQ(app_.prompts.records().size(), 1u);
  const auto& warning = app_.prompts.records()[0];
  EXPECT_EQ(warning.text,
            "文件(" + path +
                ")中的文字不是代码页UTF-8的有效文字，可能是CP949编码。请用“코드 페이지로 "
                "열기”选择CP949重新打开。");
  EXPECT_NE(warning.detail.find("--encoding CP949"), std::string::npos) << warning.detail;

  // The context menu's item: the code page, then the file.
  app_.prompts.Clear();
  app_.prompts.QueueFile(path);
  OnNextDialog<CCodePageDlg>([](CCodePageDlg& page) {
    EXPECT_EQ(page.ControlAs<QLineEdit>(CCodePageDlg::kCodeset)->text(), QStringLiteral("UTF-8"));
    page.ControlAs<QLineEdit>(CCodePageDlg::kCodeset)->setText(QStringLiteral("CP949"));
    page.ControlAs<QPushButton>(CCodePageDlg::kOk)->click();
  });
  dialog.RunSystemCommand(CMainDlg::kOpenInCodePageCommand);
  EXPECT_EQ(app_.prompts.records().size(), 1u);  // the file dialog, no warning
  EXPECT_EQ(toolkit::SystemCodePage().codeset(), "CP949");
  EXPECT_EQ(dialog.plotList()->item(0)->text(), QString::fromUtf8("대화"));
  // New goes back to the code page the window opened with.
  OnNextDialog<CNewFileDlg>(
      [](CNewFileDlg& d) { d.ControlAs<QPushButton>(CNewFileDlg::kOk)->click(); });
  dialog.OnNew();
  EXPECT_EQ(toolkit::SystemCodePage().codeset(), "UTF-8");
}

TEST_F(CommandLineWindow, ACp949FileOpenedUnderEucKrNamesCp949) {
  ScopedCodeset eucKr("EUC-KR");
  const std::string path = temp_.File("cp949.dlg");
  SaveTestDocument(path, "game", {{"p", 0, 9, {{"", "", "", "\xb0\xa1\x8c\x63"}}}});
  Open(path);
  ASSERT_EQ(app_.prompts.records().size(), 1u);
  EXPECT_NE(app_.prompts.records()[0].text.find("可能是CP949编码"), std::string::npos);
  EXPECT_NE(app_.prompts.records()[0].detail.find("ID 0"), std::string::npos)
      << app_.prompts.records()[0].detail;
}

TEST_F(CommandLineWindow, AnUnknownCodePageIsRefusedInTheDialog) {
  CMainDlg& dialog = Open();
  OnNextDialog<CCodePageDlg>([this](CCodePageDlg& page) {
    page.ControlAs<QLineEdit>(CCodePageDlg::kCodeset)->setText(QStringLiteral("NO-SUCH-PAGE"));
    page.ControlAs<QPushButton>(CCodePageDlg::kOk)->click();
    EXPECT_TRUE(page.isVisible());
    EXPECT_EQ(app_.prompts.Texts(), std::vector<std::string>{"未知的代码页(NO-SUCH-PAGE)！"});
    page.reject();
  });
  dialog.RunSystemCommand(CMainDlg::kOpenInCodePageCommand);
  EXPECT_EQ(app_.prompts.records().size(), 1u);  // no file dialog after the cancel
}

}  // namespace
