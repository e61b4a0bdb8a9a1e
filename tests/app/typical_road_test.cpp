// The typical road from an empty window to a line that a game reads, driven through the real
// widgets: New, Add plot, Edit, a range and lines in the line editor, OK, Save, then the lookup
// tool (through the about box) reads a line of the saved file by its ID.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QKeyEvent>
#include <QListWidget>

#include "app/main_dlg.h"
#include "app/name_input_dlg.h"
#include "app/new_file_dlg.h"
#include "editor/line_editor_fixture.h"
#include "support/ui/modal_dialogs.h"
#include "support/ui/test_app_context.h"
#include "dialogs/about_box.h"
#include "dialogs/lookup_dlg.h"

namespace {

void Type(QWidget* widget, const char* utf8) {
  QKeyEvent key(QEvent::KeyPress, 0, Qt::NoModifier, Utf8(utf8));
  QApplication::sendEvent(widget, &key);
}

void PressEnter(QWidget* widget) {
  QKeyEvent key(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier, QStringLiteral("\r"));
  QApplication::sendEvent(widget, &key);
}

void SetText(toolkit::CDialog& dialog, int id, const char* utf8) {
  auto* field = dialog.ControlAs<QLineEdit>(id);
  field->setFocus();
  field->selectAll();
  Type(field, utf8);
}

void Press(toolkit::CDialog& dialog, int id) {
  dialog.ControlAs<QPushButton>(id)->click();
}

// One line typed into the editor's text field, with the speaker chosen from the drop-down list.
void TypeLine(CLineEditDlg& editor, int speaker, const char* first, const char* second) {
  QComboBox* speakers = editor.speakerList();
  speakers->setCurrentIndex(speaker);
  emit speakers->activated(speaker);
  QPlainTextEdit* text = editor.textField();
  text->setFocus();
  text->selectAll();
  Type(text, first);
  if (second != nullptr) {
    PressEnter(text);
    Type(text, second);
  }
  Press(editor, CLineEditDlg::kAdd);
}

class TypicalRoad : public testing::Test {
 protected:
  TypicalRoad() : cd_(temp_.path()) { WriteFileBytes("Parlatrix.ini", kTestIni); }

  TempDir temp_;
  ScopedCurrentDir cd_;
  TestAppContext app_;
};

TEST_F(TypicalRoad, NewAddPlotEditLinesSaveAndLookUpALineById) {
  CMainDlg window(app_.context);
  ASSERT_TRUE(window.InitDialog());
  window.show();

  // 1. New: game name and the three columns, sound included.
  OnNextDialog<CNewFileDlg>([](CNewFileDlg& dialog) {
    SetText(dialog, CNewFileDlg::kGameName, "별빛 여관");
    dialog.ControlAs<QCheckBox>(CNewFileDlg::kSound)->setChecked(true);
    Press(dialog, CNewFileDlg::kOk);
  });
  Press(window, CMainDlg::kNew);
  EXPECT_EQ(window.windowTitle(), Utf8("대사 편집기[별빛 여관]"));

  // 2. Add plot.
  OnNextDialog<CNameInputDlg>([](CNameInputDlg& dialog) {
    SetText(dialog, CNameInputDlg::kName, "1장 첫 만남");
    PressEnter(dialog.Control(CNameInputDlg::kName));
  });
  Press(window, CMainDlg::kAddPlot);
  ASSERT_EQ(window.plotList()->count(), 1);

  // 3-4. Edit: the range, then two lines; the multi-line box is on, so the break stays.
  window.ControlAs<QCheckBox>(CMainDlg::kMultiLine)->setChecked(true);
  OnNextDialog<CLineEditDlg>([](CLineEditDlg& editor) {
    EXPECT_EQ(editor.rowList()->topLevelItemCount(), 0);
    SetText(editor, CLineEditDlg::kRangeLow, "100");
    SetText(editor, CLineEditDlg::kRangeHigh, "200");
    TypeLine(editor, 2, "어서 오세요.", nullptr);
    SetText(editor, CLineEditDlg::kSound, "s0101.wav");
    TypeLine(editor, 3, "这里的茶很香。", "다음에 또 올게요.");
    EXPECT_EQ(editor.rowList()->topLevelItemCount(), 2);
    Press(editor, CLineEditDlg::kOk);
    EXPECT_EQ(editor.result(), toolkit::kIdOk);
  });
  Press(window, CMainDlg::kEditPlot);
  EXPECT_EQ(window.windowTitle(), Utf8("대사 편집기[별빛 여관] *"));
  EXPECT_TRUE(app_.pendingAdditions.IsEmpty());
  ASSERT_NE(app_.document.FindItem(101), nullptr);
  EXPECT_STREQ(app_.document.GetItem(app_.document.FindItem(101)).GetText(),
               "这里的茶很香。\r\n다음에 또 올게요.");

  // 5. Save: no file yet, so Save asks for one.
  const std::string path = temp_.File("inn.dlg");
  app_.prompts.QueueFile(path);
  Press(window, CMainDlg::kSave);
  EXPECT_EQ(window.windowTitle(), QString::fromUtf8("대사 편집기[별빛 여관] - " + path));
  EXPECT_EQ(toolkit::WidgetText(window.Control(CMainDlg::kVersionNumber)), QStringLiteral("0104"));

  CDlgItem saved;
  ASSERT_TRUE(CDlgFile().ReadItem(path.c_str(), 101, saved));
  EXPECT_STREQ(saved.GetText(), "这里的茶很香。\r\n다음에 또 올게요.");
  // 6. The lookup tool reads line 101 from the saved file.
  std::string speaker, expression, sound, text;
  OnNextDialog<CAboutBox>([&](CAboutBox& about) {
    app_.prompts.QueueFile(path);
    OnNextDialog<CLookupDlg>([&](CLookupDlg& lookup) {
      SetText(lookup, CLookupDlg::kIdField, "101");
      Press(lookup, CLookupDlg::kQuery);
      speaker = toolkit::GetWidgetBytes(lookup.Control(CLookupDlg::kSpeaker));
      expression = toolkit::GetWidgetBytes(lookup.Control(CLookupDlg::kExpression));
      sound = toolkit::GetWidgetBytes(lookup.Control(CLookupDlg::kSound));
      text = toolkit::GetWidgetBytes(lookup.Control(CLookupDlg::kText));
    });
    Press(about, CAboutBox::kTest);
  });
  Press(window, CMainDlg::kAbout);
  EXPECT_EQ(speaker, "서연");
  EXPECT_EQ(expression, "");  // 서연 has no expressions configured
  EXPECT_EQ(sound, "s0101.wav");
  // The file holds CR LF; the text as a game reads it has the carriage returns removed.
  EXPECT_EQ(text, "这里的茶很香。\n다음에 또 올게요.");
  EXPECT_TRUE(app_.prompts.Texts().empty());
  EXPECT_TRUE(app_.prompts.errors().empty());
}

}  // namespace
