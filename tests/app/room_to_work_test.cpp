// Room to work: the main window and the line editor open at their template sizes and grow; the
// lists and the text field take the room; range fields show any ID; Ctrl+S saves; Enter on a
// selected plot opens it.
#include <gtest/gtest.h>

#include <QApplication>
#include <QFontMetrics>
#include <QKeyEvent>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QShortcut>
#include <QTreeWidget>

#include "app/main_dlg.h"
#include "editor/line_edit_dlg.h"
#include "editor/line_editor_fixture.h"
#include "support/document_builder.h"
#include "support/ui/main_window_test.h"
#include "support/ui/modal_dialogs.h"
#include "toolkit/scoped_codeset.h"

namespace {

class RoomToWork : public MainWindowTest {
 protected:
  RoomToWork() { WriteFileBytes("Parlatrix.ini", kTestIni); }
  CMainDlg& OpenFile() {
    path_ = temp_.File("room.dlg");
    SaveTestDocument(path_, "game",
                     {{"A", 0, 9, {{"Tom", "", "", "a0"}}}, {"B", 2147483000, 2147483647, {}}});
    return Open(path_);
  }
  ScopedCodeset codeset_{"UTF-8"};
  std::string path_;
};

TEST_F(RoomToWork, TheMainWindowOpensAtItsSizeAndItsPlotListGrowsWithIt) {
  CMainDlg& dialog = OpenFile();
  const QSize opened = dialog.size();
  EXPECT_EQ(opened, toolkit::DialogSizeToPixels(dialog.baseUnits(), 240, 244));
  EXPECT_EQ(dialog.minimumSize(), opened);
  EXPECT_GT(dialog.maximumSize().width(), opened.width());
  EXPECT_GT(dialog.maximumSize().height(), opened.height());
  EXPECT_TRUE(dialog.windowFlags().testFlag(Qt::WindowMaximizeButtonHint));
  const QRect list = dialog.plotList()->geometry();
  const QRect save = dialog.Control(CMainDlg::kSave)->geometry();
  const QRect add = dialog.Control(CMainDlg::kAddPlot)->geometry();
  dialog.show();
  dialog.resize(opened + QSize(300, 200));
  QApplication::processEvents();
  EXPECT_EQ(dialog.plotList()->geometry().size(), list.size() + QSize(300, 200));
  EXPECT_EQ(dialog.Control(CMainDlg::kSave)->geometry(), save.translated(300, 0));
  EXPECT_EQ(dialog.Control(CMainDlg::kAddPlot)->geometry(), add.translated(0, 200));
  // Back to the template size, everything sits at its template row again.
  dialog.resize(opened);
  QApplication::processEvents();
  for (const toolkit::ControlTemplate& row : CMainDlg::Template().controls) {
    EXPECT_EQ(dialog.Control(row.id)->geometry(), toolkit::ControlRect(dialog.baseUnits(), row));
  }
}

TEST_F(RoomToWork, TheLineEditorGrowsItsRowsAndTextAndShowsTheWholeRange) {
  CMainDlg& dialog = OpenFile();
  dialog.plotList()->setCurrentRow(1);
  bool checked = false;
  OnNextDialog<CLineEditDlg>([&checked](CLineEditDlg& editor) {
    const QSize opened = editor.size();
    EXPECT_EQ(opened, toolkit::DialogSizeToPixels(editor.baseUnits(), 360, 254));
    EXPECT_TRUE(editor.windowFlags().testFlag(Qt::WindowMaximizeButtonHint));
    for (int id : {CLineEditDlg::kRangeLow, CLineEditDlg::kRangeHigh}) {
      auto* field = editor.ControlAs<QLineEdit>(id);
      EXPECT_EQ(field->text(), id == CLineEditDlg::kRangeLow ? QStringLiteral("2147483000")
                                                             : QStringLiteral("2147483647"));
      // The text and the field's own margins (frame and inner padding) fit.
      const int needed = field->fontMetrics().horizontalAdvance(QStringLiteral("2147483647")) + 8;
      EXPECT_GE(field->width(), needed) << id;
    }
    const QSize rows = editor.rowList()->size();
    const QSize text = editor.textField()->size();
    const QRect ok = editor.Control(CLineEditDlg::kOk)->geometry();
    editor.resize(opened + QSize(200, 150));
    QApplication::processEvents();
    EXPECT_EQ(editor.rowList()->size(), rows + QSize(200, 150));
    EXPECT_EQ(editor.textField()->width(), text.width() + 200);
    EXPECT_EQ(editor.Control(CLineEditDlg::kOk)->geometry(), ok.translated(200, 150));
    checked = true;
    editor.reject();
  });
  QKeyEvent enter(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
  dialog.show();
  dialog.plotList()->setFocus();
  // Enter on the selected plot opens it, as a double-click does.
  QApplication::sendEvent(dialog.plotList(), &enter);
  EXPECT_TRUE(checked);
}

TEST_F(RoomToWork, CtrlSSaves) {
  CMainDlg& dialog = OpenFile();
  dialog.SetModified(true);
  dialog.RefreshTitle();
  QShortcut* save = nullptr;
  for (QShortcut* shortcut : dialog.findChildren<QShortcut*>()) {
    if (shortcut->key() == QKeySequence(QKeySequence::Save)) save = shortcut;
  }
  ASSERT_NE(save, nullptr);
  EXPECT_EQ(save->key(), QKeySequence(QStringLiteral("Ctrl+S")));
  emit save->activated();
  EXPECT_FALSE(dialog.modified());
  EXPECT_TRUE(app_.prompts.records().empty());
}

}  // namespace
