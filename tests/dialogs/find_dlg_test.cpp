// The find dialog through its widgets, and the main window's Find opening the line editor on the
// row found.
#include "dialogs/find_dlg.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPushButton>
#include <QShortcut>
#include <QTreeWidget>

#include "app/main_dlg.h"
#include "editor/line_edit_dlg.h"
#include "support/document_builder.h"
#include "support/ui/main_window_test.h"
#include "support/ui/modal_dialogs.h"
#include "toolkit/text_bytes.h"

namespace {

class FindTest : public MainWindowTest {
 protected:
  // Plots "A" (IDs 0-2) and "B" (IDs 10-11) in a saved file, open in the window.
  CMainDlg& OpenFile() {
    const std::string path = temp_.File("find.dlg");
    SaveTestDocument(path, "game",
                     {{"A", 0, 10,
                       {{"Tom", "", "door.wav", "Open the door"},
                        {"민준", "", "", "문을 열어"},
                        {"Tom", "", "", "<b>closed</b>"}}},
                      {"B", 10, 20, {{"DOOR", "", "", "knock"}, {"Who", "", "", "the DOOR again"}}}});
    CMainDlg& dialog = Open();
    EXPECT_TRUE(dialog.LoadFile(path));
    return dialog;
  }
  static std::vector<std::vector<std::string>> Results(const CFindDlg& find) {
    std::vector<std::vector<std::string>> rows;
    QTreeWidget* list = find.resultList();
    for (int i = 0; i < list->topLevelItemCount(); ++i) {
      std::vector<std::string> cells;
      for (int c = 0; c < 4; ++c) cells.push_back(toolkit::CellBytes(list->topLevelItem(i), c));
      rows.push_back(cells);
    }
    return rows;
  }
  static void Press(QWidget* target, int key) {
    QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier);
    QApplication::sendEvent(target, &press);
  }
};

TEST_F(FindTest, DialogInTheProgramsStyleListsResultsInDocumentOrder) {
  OpenFile();
  CFindDlg find(app_.document, app_.prompts);
  ASSERT_TRUE(find.InitDialog());
  EXPECT_EQ(find.windowTitle(), Utf8("찾기"));
  EXPECT_EQ(find.size(), toolkit::DialogSizeToPixels(find.baseUnits(), 310, 244));
  for (const toolkit::ControlTemplate& row : CFindDlg::Template().controls) {
    EXPECT_EQ(find.Control(row.id)->geometry(), toolkit::ControlRect(find.baseUnits(), row));
  }
  EXPECT_EQ(find.resultList()->headerItem()->text(0), Utf8("장면"));
  EXPECT_TRUE(find.ControlAs<QCheckBox>(CFindDlg::kInText)->isChecked());
  EXPECT_FALSE(find.ControlAs<QCheckBox>(CFindDlg::kInSpeaker)->isChecked());

  find.ControlAs<QLineEdit>(CFindDlg::kText)->setText(QStringLiteral("door"));
  find.ControlAs<QPushButton>(CFindDlg::kSearch)->click();
  EXPECT_EQ(Results(find), (std::vector<std::vector<std::string>>{
                               {"A", "0", "Tom", "Open the door"},
                               {"B", "11", "Who", "the DOOR again"}}));
  EXPECT_EQ(find.ControlAs<QLabel>(CFindDlg::kCount)->text(), Utf8("2개 찾음"));
  // Speakers and sound names too; each line once.
  find.ControlAs<QCheckBox>(CFindDlg::kInSpeaker)->setChecked(true);
  find.ControlAs<QCheckBox>(CFindDlg::kInSound)->setChecked(true);
  find.ControlAs<QPushButton>(CFindDlg::kSearch)->click();
  EXPECT_EQ(Results(find).size(), 3u);
  EXPECT_EQ(Results(find)[1][0] + Results(find)[1][1], "B10");
  // IDs alone; Korean text.
  find.ControlAs<QCheckBox>(CFindDlg::kInText)->setChecked(false);
  find.ControlAs<QCheckBox>(CFindDlg::kInSpeaker)->setChecked(false);
  find.ControlAs<QCheckBox>(CFindDlg::kInSound)->setChecked(false);
  find.ControlAs<QCheckBox>(CFindDlg::kInId)->setChecked(true);
  find.ControlAs<QLineEdit>(CFindDlg::kText)->setText(QStringLiteral("1"));
  find.ControlAs<QPushButton>(CFindDlg::kSearch)->click();
  EXPECT_EQ(Results(find).size(), 3u);  // 1, 10, 11
  find.ControlAs<QCheckBox>(CFindDlg::kInText)->setChecked(true);
  find.ControlAs<QLineEdit>(CFindDlg::kText)->setText(Utf8("열어"));
  find.ControlAs<QPushButton>(CFindDlg::kSearch)->click();
  EXPECT_EQ(Results(find), (std::vector<std::vector<std::string>>{{"A", "1", "민준", "문을 열어"}}));
}

TEST_F(FindTest, CtrlFAndTheContextMenuOpenFindAndEnterOpensTheEditorOnTheRow) {
  CMainDlg& dialog = OpenFile();
  int selected = -1, rows = -1;
  bool visible = false;
  std::string plot;
  auto inEditor = [&](CLineEditDlg& editor) {
    plot = editor.plotName;
    rows = editor.rowList()->topLevelItemCount();
    const QList<QTreeWidgetItem*> chosen = editor.rowList()->selectedItems();
    selected = chosen.size() == 1 ? editor.rowList()->indexOfTopLevelItem(chosen[0]) : -2;
    visible = editor.rowList()->viewport()->rect().intersects(
        editor.rowList()->visualItemRect(editor.rowList()->topLevelItem(selected < 0 ? 0 : selected)));
    editor.reject();
  };
  // Ctrl+F, a search by Enter in the text field, Enter on the second result.
  OnNextDialog<CFindDlg>([&](CFindDlg& find) {
    find.ControlAs<QLineEdit>(CFindDlg::kText)->setText(QStringLiteral("DOOR"));
    Press(find.Control(CFindDlg::kText), Qt::Key_Return);
    ASSERT_EQ(find.hits().size(), 2u);
    EXPECT_EQ(find.focusWidget(), find.resultList());
    find.resultList()->setCurrentItem(find.resultList()->topLevelItem(1));
    OnNextDialog<CLineEditDlg>(inEditor);
    Press(find.resultList(), Qt::Key_Return);
  });
  dialog.show();
  dialog.activateWindow();
  bool opened = false;
  for (QShortcut* shortcut : dialog.findChildren<QShortcut*>()) {
    if (shortcut->key() == QKeySequence::Find) {
      emit shortcut->activated();
      opened = true;
    }
  }
  EXPECT_TRUE(opened);
  EXPECT_EQ(plot, "B");
  EXPECT_EQ(rows, 2);
  EXPECT_EQ(selected, 1);
  EXPECT_TRUE(visible);
  EXPECT_EQ(toolkit::ListEntryBytes(dialog.plotList()->currentItem()), "B");

  // The context menu's item beside the about item; a double-click opens the first result.
  std::unique_ptr<QMenu> menu(dialog.CreateSystemMenu(&dialog));
  QAction* findItem = nullptr;
  const QList<QAction*> actions = menu->actions();
  for (int i = 0; i + 1 < actions.size(); ++i) {
    if (actions[i]->text() == Utf8("Parlatrix 정보(&A)...")) findItem = actions[i + 1];
  }
  ASSERT_NE(findItem, nullptr);
  EXPECT_EQ(findItem->text(), Utf8("찾기(&F)..."));
  OnNextDialog<CFindDlg>([&](CFindDlg& find) {
    find.ControlAs<QLineEdit>(CFindDlg::kText)->setText(QStringLiteral("<b>"));
    find.ControlAs<QPushButton>(CFindDlg::kSearch)->click();
    OnNextDialog<CLineEditDlg>(inEditor);
    emit find.resultList()->itemDoubleClicked(find.resultList()->topLevelItem(0), 0);
  });
  findItem->trigger();
  EXPECT_EQ(plot, "A");
  EXPECT_EQ(selected, 2);
}

}  // namespace
