#include "dialogs/lookup_dlg.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPushButton>

#include "support/document_builder.h"
#include "support/temp_dir.h"
#include "support/ui/test_app_context.h"
#include "toolkit/text_bytes.h"

namespace {

QString Utf8(const char* text) {
  return QString::fromUtf8(text);
}

class LookupDlgTest : public testing::Test {
 protected:
  void SetUp() override {
    path_ = temp_.File("lookup.dlg");
    // IDs: 0 (full line), 1 (text only), 2 (two lines); 3 to 9 unused; 10 (one line).
    SaveTestDocument(path_, "g",
                     {{"a",
                       0,
                       3,
                       {{"민수", "웃음", "hello.wav", "안녕하세요"},
                        {"", "", "", "只有文字"},
                        {"李", "怒", "", "第一行\r\n第二行\r\n"}}},
                      {"b", 10, 20, {{"x", "y", "z", "ten"}}}});
  }

  CLookupDlg& Open() {
    dialog_ = std::make_unique<CLookupDlg>(app_.reader, app_.prompts);
    dialog_->fileName = path_;
    EXPECT_TRUE(dialog_->InitDialog());
    return *dialog_;
  }

  QLineEdit* Field(int id) const { return dialog_->ControlAs<QLineEdit>(id); }
  void Query(const char* id) {
    Field(CLookupDlg::kIdField)->setText(QString::fromUtf8(id));
    dialog_->ControlAs<QPushButton>(CLookupDlg::kQuery)->click();
  }
  QStringList Results() const {
    return {Field(CLookupDlg::kSpeaker)->text(), Field(CLookupDlg::kExpression)->text(),
            Field(CLookupDlg::kSound)->text(), Field(CLookupDlg::kText)->text()};
  }

  TempDir temp_;
  std::string path_;
  TestAppContext app_;
  std::unique_ptr<CLookupDlg> dialog_;
};

TEST_F(LookupDlgTest, CaptionLabelsAndLayoutAreExact) {
  CLookupDlg& dialog = Open();
  EXPECT_EQ(dialog.windowTitle(), QStringLiteral("Test"));
  EXPECT_EQ(toolkit::WidgetText(dialog.Control(CLookupDlg::kIdLabel)), QStringLiteral("ID:"));
  EXPECT_EQ(toolkit::WidgetText(dialog.Control(CLookupDlg::kQuery)), Utf8("조회"));
  EXPECT_EQ(toolkit::WidgetText(dialog.Control(CLookupDlg::kClose)), Utf8("닫기"));
  EXPECT_TRUE(dialog.ControlAs<QPushButton>(CLookupDlg::kQuery)->isDefault());
  for (int id :
       {CLookupDlg::kSpeaker, CLookupDlg::kExpression, CLookupDlg::kSound, CLookupDlg::kText}) {
    EXPECT_FALSE(dialog.Control(id)->isEnabled()) << id;
  }
  for (const toolkit::ControlTemplate& row : CLookupDlg::Template().controls) {
    EXPECT_EQ(dialog.Control(row.id)->geometry(), toolkit::ControlRect(dialog.baseUnits(), row))
        << row.id;
  }
  EXPECT_EQ(dialog.size(), toolkit::DialogSizeToPixels(dialog.baseUnits(), 186, 72));
}

TEST_F(LookupDlgTest, OpensWithIdZeroAndHandsTheFileToTheReader) {
  Open();
  EXPECT_EQ(Field(CLookupDlg::kIdField)->text(), QStringLiteral("0"));
  EXPECT_STREQ(app_.reader.GetFileName(), path_.c_str());
}

TEST_F(LookupDlgTest, QueryAtOnceLooksUpIdZero) {
  Open();
  dialog_->ControlAs<QPushButton>(CLookupDlg::kQuery)->click();
  EXPECT_EQ(Results(), QStringList({Utf8("민수"), Utf8("웃음"), "hello.wav", Utf8("안녕하세요")}));
  EXPECT_TRUE(app_.prompts.records().empty());
}

TEST_F(LookupDlgTest, LineWithoutSpeakerExpressionAndSoundShowsOnlyTheText) {
  Open();
  Query("1");
  EXPECT_EQ(Results(), QStringList({"", "", "", Utf8("只有文字")}));
}

TEST_F(LookupDlgTest, TextOfSeveralLinesIsJoinedBySingleLineFeeds) {
  Open();
  Query(" 2 ");
  EXPECT_EQ(Field(CLookupDlg::kText)->text(), Utf8("第一行\n第二行"));
  EXPECT_EQ(dialog_->text, "第一行\n第二行");
  EXPECT_EQ(dialog_->id, 2);
}

TEST_F(LookupDlgTest, UnusedIdShowsTheMessageBeforeTheFieldsEmpty) {
  Open();
  Query("0");
  QStringList atMessage;
  app_.prompts.onPrompt = [&](const toolkit::ScriptedPrompts::Record&) { atMessage = Results(); };
  Query("5");
  ASSERT_EQ(app_.prompts.records().size(), 1u);
  EXPECT_EQ(app_.prompts.records()[0].text, "没有找到该ID所代表的文字，查找失败！");
  EXPECT_EQ(app_.prompts.records()[0].caption, "Parlatrix");
  EXPECT_EQ(atMessage, QStringList({Utf8("민수"), Utf8("웃음"), "hello.wav", Utf8("안녕하세요")}));
  EXPECT_EQ(Results(), QStringList({"", "", "", ""}));
}

TEST_F(LookupDlgTest, IdsBeyondTheIndexAndNegativeIdsAreNotFound) {
  Open();
  for (const char* id : {"11", "-1", "10"}) Query(id);
  EXPECT_EQ(app_.prompts.Texts().size(), 2u);
  EXPECT_EQ(Field(CLookupDlg::kText)->text(), QStringLiteral("ten"));
}

TEST_F(LookupDlgTest, MissingFileIsNotFound) {
  Open();
  dialog_->fileName = temp_.File("gone.dlg");
  app_.reader.SetFileName(dialog_->fileName.c_str());
  Query("0");
  EXPECT_EQ(app_.prompts.Texts(), std::vector<std::string>{"没有找到该ID所代表的文字，查找失败！"});
}

TEST_F(LookupDlgTest, UnsavedLineOfTheOpenDocumentIsNotFound) {
  PlotPos plot = app_.document.AddPlot("open", 5, 6);
  CDlgItem line;
  line.SetText("unsaved");
  ASSERT_NE(app_.document.AddItem(line, plot, nullptr), nullptr);
  Open();
  Query("5");
  EXPECT_EQ(app_.prompts.Texts().size(), 1u);
  EXPECT_EQ(app_.document.GetLines().GetCount(), 1);
}

TEST_F(LookupDlgTest, IdThatIsNotANumberPromptsAndTheQueryStops) {
  Open();
  Query("0");
  Query("zwei");
  EXPECT_EQ(app_.prompts.Texts(), std::vector<std::string>{"请键入一个整数。"});
  EXPECT_EQ(dialog_->id, 0);
  EXPECT_EQ(Field(CLookupDlg::kText)->text(), Utf8("안녕하세요"));
  EXPECT_EQ(Field(CLookupDlg::kIdField)->selectedText(), QStringLiteral("zwei"));
}

TEST_F(LookupDlgTest, EnterQueriesAndEscapeCloses) {
  CLookupDlg& dialog = Open();
  dialog.show();
  Field(CLookupDlg::kIdField)->setText(QStringLiteral("10"));
  QKeyEvent enter(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
  QApplication::sendEvent(Field(CLookupDlg::kIdField), &enter);
  EXPECT_EQ(Field(CLookupDlg::kText)->text(), QStringLiteral("ten"));
  QKeyEvent escape(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
  QApplication::sendEvent(Field(CLookupDlg::kIdField), &escape);
  EXPECT_FALSE(dialog.isVisible());
  EXPECT_EQ(dialog.result(), toolkit::kIdCancel);
}

}  // namespace
