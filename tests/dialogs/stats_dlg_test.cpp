// The Statistics window through its widgets: opened from the main window's context menu, its
// tables hold the counts dlgtool stats prints, the chart has a bar per speaker, and 복사 copies
// tab-separated rows; the line editor shows the length of the text being typed.
#include "dialogs/stats_dlg.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QClipboard>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <memory>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTreeWidget>
#include <QtCharts/QChartView>

#include "app/main_dlg.h"
#include "editor/line_edit_dlg.h"
#include "support/document_builder.h"
#include "support/ui/main_window_test.h"
#include "support/ui/modal_dialogs.h"

namespace {

class StatsWindowTest : public MainWindowTest {
 protected:
  CMainDlg& OpenFile() {
    const std::string path = temp_.File("stats.dlg");
    SaveTestDocument(path, "game",
                     {{"A", 0, 10,
                       {{"Tom", "", "a.wav", "Open the door now"}, {"민준", "", "", "문을 열어"}}},
                      {"B", 10, 20, {{"Tom", "", "b.wav", "Knock"}}}});
    CMainDlg& dialog = Open();
    EXPECT_TRUE(dialog.LoadFile(path));
    return dialog;
  }
  static QStringList Row(QTreeWidget* table, int row) {
    QStringList cells;
    for (int c = 0; c < table->columnCount(); ++c) cells << table->topLevelItem(row)->text(c);
    return cells;
  }
};

TEST_F(StatsWindowTest, ContextMenuOpensTablesChartAndCopy) {
  CMainDlg& window = OpenFile();
  bool opened = false;
  OnNextDialog<CStatsDlg>([&](CStatsDlg& stats) {
    opened = true;
    EXPECT_EQ(stats.windowTitle(), QString::fromUtf8("통계"));
    QTreeWidget* plots = stats.plotTable();
    ASSERT_EQ(plots->topLevelItemCount(), 3);  // A, B, total
    EXPECT_EQ(Row(plots, 0), (QStringList{"A", "2", "6", "18", "22", "0", "1", "0.04"}));
    EXPECT_EQ(Row(plots, 1), (QStringList{"B", "1", "1", "5", "5", "0", "0", "0.01"}));
    EXPECT_EQ(Row(plots, 2).mid(0, 3), (QStringList{QString::fromUtf8("합계"), "3", "7"}));
    QTreeWidget* speakers = stats.speakerTable();
    ASSERT_EQ(speakers->topLevelItemCount(), 3);  // Tom, 민준, total
    EXPECT_EQ(Row(speakers, 0).mid(0, 3), (QStringList{"Tom", "2", "5"}));
    EXPECT_EQ(Row(speakers, 1).mid(0, 3), (QStringList{QString::fromUtf8("민준"), "1", "2"}));
    EXPECT_NE(qobject_cast<QChartView*>(stats.chart()), nullptr);

    for (QPushButton* button : stats.findChildren<QPushButton*>()) {
      if (button->text() == QString::fromUtf8("복사")) button->click();
    }
    const QString copied = QApplication::clipboard()->text();
    EXPECT_TRUE(copied.startsWith(QString::fromUtf8("장면\t대사 수\t단어\t")));
    EXPECT_TRUE(copied.contains(QStringLiteral("\nA\t2\t6\t18\t22\t0\t1\t0.04\n"))) << copied.toStdString();
    EXPECT_TRUE(copied.contains(QString::fromUtf8("\n민준\t1\t2\t")));
    stats.done(toolkit::kIdCancel);
  });
  std::unique_ptr<QMenu> menu(window.CreateSystemMenu(&window));
  for (QAction* action : menu->actions()) {
    if (action->text() == QString::fromUtf8("통계(&S)...")) action->trigger();
  }
  EXPECT_TRUE(opened);
}

TEST_F(StatsWindowTest, LineEditorShowsTheLengthBeingTyped) {
  CMainDlg& window = OpenFile();
  bool checked = false;
  OnNextDialog<CLineEditDlg>([&](CLineEditDlg& editor) {
    checked = true;
    editor.textField()->setPlainText(QString::fromUtf8("가a\xF0\x9F\x98\x80"));
    EXPECT_EQ(editor.textLengthText(), QString::fromUtf8("3자"));
    // A line break is stored as CR LF: two characters, as check --max-length counts them.
    editor.textField()->setPlainText(QStringLiteral("ab\ncd"));
    EXPECT_EQ(editor.textLengthText(), QString::fromUtf8("6자"));
    EXPECT_EQ(editor.textLengthLabel()->text(), QString::fromUtf8("6자"));
    EXPECT_TRUE(editor.textLengthLabel()->isVisibleTo(&editor));
    editor.done(toolkit::kIdCancel);
  });
  window.plotList()->setCurrentRow(0);
  window.OnEditPlot();
  EXPECT_TRUE(checked);
}

}  // namespace
