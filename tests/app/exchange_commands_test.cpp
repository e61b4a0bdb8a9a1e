// Export and Import of the main window with PO, XLIFF and CSV files, driven through its buttons
// with scripted prompts.
#include <gtest/gtest.h>

#include <QPushButton>
#include <filesystem>

#include "app/main_dlg.h"
#include "support/debug_capture.h"
#include "support/document_builder.h"
#include "support/temp_dir.h"
#include "support/ui/main_window_test.h"
#include "toolkit/scoped_codeset.h"

namespace {

using Kind = toolkit::ScriptedPrompts::Kind;
using Texts = std::vector<std::string>;

class ExchangeCommandsTest : public MainWindowTest {
 protected:
  ExchangeCommandsTest() : codeset_("UTF-8") {
    std::filesystem::create_directories(folder_);
  }

  // The demo document: plot "장면" with lines 0 and 1, plot "第二幕" with line 100.
  CMainDlg& OpenDemo() {
    const std::string path = temp_.File("demo.dlg");
    SaveTestDocument(
        path, "데모",
        {{"장면", 0, 100, {{"민수", "웃음", "a.wav", "안녕"}, {"", "", "", "one\r\ntwo"}}},
         {"第二幕", 100, 200, {{"李", "", "", "你好"}}}},
        1);
    return Open(path);
  }

  void Click(int id) { dialog_->ControlAs<QPushButton>(id)->click(); }
  std::string Text(int id) {
    return app_.document.GetItem(app_.document.FindItem(id)).GetText().c_str();
  }

  ScopedCodeset codeset_;
  const std::string folder_ = temp_.File("texts");
};

TEST_F(ExchangeCommandsTest, ExportToAnExchangeFileAsksNoQuestion) {
  CMainDlg& dialog = OpenDemo();
  const struct {
    const char* name;
    const char* start;
  } files[] = {{"/ko.po", "msgid \"\"\nmsgstr \"\"\n\"Project-Id-Version: 데모\\n\""},
               {"/ko.xlf", "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<xliff version=\"1.2\""},
               {"/ko.XLIFF", "<?xml"},
               {"/ko.csv", "\xEF\xBB\xBFlocation,source,target,ID,"}};
  for (const auto& file : files) {
    const size_t before = app_.prompts.records().size();
    app_.prompts.QueueFile(folder_ + file.name);
    Click(CMainDlg::kExport);
    ASSERT_EQ(app_.prompts.records().size(), before + 2) << file.name;
    EXPECT_EQ(app_.prompts.records()[before + 1].kind, Kind::kMessage);
    EXPECT_EQ(app_.prompts.records()[before + 1].text, "文件导出成功！");
    EXPECT_EQ(ReadFileBytes(folder_ + file.name).rfind(file.start, 0), 0u) << file.name;
  }
  EXPECT_NE(ReadFileBytes(folder_ + "/ko.po").find("#: demo.dlg:1\nmsgctxt \"1\"\n"),
            std::string::npos);
  EXPECT_EQ(dialog.textFolder(), folder_);
  EXPECT_FALSE(dialog.modified());
}

TEST_F(ExchangeCommandsTest, ExportThatCannotWriteNamesTheFile) {
  OpenDemo();
  const std::string path = temp_.File("no/such/folder/ko.po");
  app_.prompts.QueueFile(path);
  Click(CMainDlg::kExport);
  EXPECT_EQ(app_.prompts.Texts(), Texts{"导出文本文件错误(" + path + ")!"});
}

TEST_F(ExchangeCommandsTest, ImportAppliesCurrentTranslationsAndLogsTheRestBesideTheFile) {
  CMainDlg& dialog = OpenDemo();
  const std::string csv = folder_ + "/ko.csv";
  WriteFileBytes(csv,
                 "ID,source,target,fuzzy\r\n"
                 "0,안녕,반가워,\r\n"
                 "1,\"one\r\nold\",stale text,\r\n"
                 "100,你好,您好,True\r\n"
                 "999,x,유령,\r\n");
  app_.prompts.QueueFile(csv);
  Click(CMainDlg::kImport);
  EXPECT_EQ(app_.prompts.Texts(), Texts{"文件导入成功！"});
  EXPECT_EQ(Text(0), "반가워");
  EXPECT_EQ(Text(1), "one\r\ntwo");
  EXPECT_EQ(Text(100), "你好");
  EXPECT_TRUE(dialog.modified());
  EXPECT_EQ(ReadFileBytes(folder_ + "/Parlatrix.log"),
            "1\r\n stale: stale text\r\n100\r\n fuzzy: 您好\r\n999\r\n unknown: 유령\r\n");

  // A clean import empties the log.
  WriteFileBytes(csv, "ID,source,target\r\n0,반가워,안녕\r\n");
  app_.prompts.QueueFile(csv);
  Click(CMainDlg::kImport);
  EXPECT_EQ(Text(0), "안녕");
  EXPECT_EQ(ReadFileBytes(folder_ + "/Parlatrix.log"), "");
}

TEST_F(ExchangeCommandsTest, MalformedImportAppliesNothingAndNamesTheFile) {
  CMainDlg& dialog = OpenDemo();
  const std::string po = folder_ + "/ko.po";
  WriteFileBytes(
      po,
      "msgctxt \"0\"\nmsgid \"안녕\"\nmsgstr \"반가워\"\n\nmsgctxt \"0\"\nmsgid \"안녕\"\n"
      "msgstr \"again\"\n");
  app_.prompts.QueueFile(po);
  DebugCapture debug;
  Click(CMainDlg::kImport);
  EXPECT_EQ(app_.prompts.Texts(), Texts{"导入文本文件错误(" + po + ")!"});
  EXPECT_EQ(debug.lines(), std::vector<std::string>{"ImportExchangeFile() Error (0) : " + po +
                                                    ":5: ID 0 appears more than once\n"});
  EXPECT_EQ(Text(0), "안녕");
  EXPECT_FALSE(dialog.modified());
}

}  // namespace
