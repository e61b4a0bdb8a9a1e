// A line editor on a document of the test's own, with a real Parlatrix.ini in a fresh current
// directory, and helpers that drive it through its widgets.
#pragma once

#include <gtest/gtest.h>

#include <QComboBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTreeWidget>
#include <memory>
#include <string>
#include <vector>

#include "editor/line_edit_dlg.h"
#include "support/document_builder.h"
#include "support/temp_dir.h"
#include "support/ui/test_app_context.h"
#include "toolkit/code_page.h"
#include "toolkit/text_bytes.h"

// Four speakers: TOMMY is listed before Tom, and 서연 has no expressions.
inline constexpr char kTestIni[] =
    "[PARLATRIX]\nHEADCOUNT=4\n"
    "[FACE]\nFACECOUNT=4\nFACE=기본\nFACE=웃음\nFACE=화남\nFACE=놀람\n"
    "[FACE000]\nNAME=TOMMY\nCOUNT=2\nFACE=0\nFACE=1\n"
    "[FACE001]\nNAME=Tom\nCOUNT=1\nFACE=2\n"
    "[FACE002]\nNAME=민준\nCOUNT=3\nFACE=0\nFACE=1\nFACE=3\n"
    "[FACE003]\nNAME=서연\nCOUNT=0\n";

inline QString Utf8(const char* text) {
  return QString::fromUtf8(text);
}

class LineEditorTest : public testing::Test {
 protected:
  LineEditorTest() : cd_(temp_.path()) {
    WriteFileBytes("Parlatrix.ini", kTestIni);
    app_.document.SetColumns(1, 1, 1);
  }

  // Opens the editor on `plotName` as the main window does, without a modal loop.
  CLineEditDlg& Open(const std::string& plotName, bool multiLine = false) {
    dialog_ = std::make_unique<CLineEditDlg>(app_.context.LineEditing());
    dialog_->plotName = plotName;
    dialog_->multiLine = multiLine;
    opened_ = dialog_->InitDialog();
    return *dialog_;
  }

  void Click(int id) { dialog_->ControlAs<QPushButton>(id)->click(); }
  QLineEdit* Field(int id) const { return dialog_->ControlAs<QLineEdit>(id); }
  QTreeWidget* Rows() const { return dialog_->rowList(); }
  int RowCount() const { return Rows()->topLevelItemCount(); }

  // The rows' attached IDs, in list order.
  std::vector<int> RowIds() const {
    std::vector<int> ids;
    for (int i = 0; i < RowCount(); ++i) ids.push_back(dialog_->RowId(i));
    return ids;
  }
  std::vector<int> SelectedRows() const {
    std::vector<int> rows;
    for (int i = 0; i < RowCount(); ++i) {
      if (Rows()->topLevelItem(i)->isSelected()) rows.push_back(i);
    }
    return rows;
  }
  // Exactly these rows selected, as a user's clicks would leave them.
  void SelectOnly(const std::vector<int>& rows) {
    Rows()->clearSelection();
    for (int row : rows) Rows()->topLevelItem(row)->setSelected(true);
  }
  std::string Cell(int row, int column) const {
    return toolkit::CellBytes(Rows()->topLevelItem(row), column);
  }
  std::string TextField() const { return toolkit::GetWidgetLines(dialog_->textField()); }
  void SetTextField(const char* utf8) { dialog_->textField()->setPlainText(Utf8(utf8)); }
  std::string FieldBytes(int id) const { return toolkit::GetWidgetBytes(Field(id)); }
  void SetField(int id, const char* utf8) { Field(id)->setText(Utf8(utf8)); }
  // A speaker as the user picks it from the drop-down list.
  void ChooseSpeaker(int index) {
    QComboBox* list = dialog_->speakerList();
    list->setCurrentIndex(index);
    emit list->activated(index);
  }
  std::vector<std::string> Entries(QComboBox* list) const {
    std::vector<std::string> entries;
    for (int i = 0; i < list->count(); ++i) entries.push_back(toolkit::ComboEntryBytes(list, i));
    return entries;
  }
  std::string Selected(QComboBox* list) const {
    return toolkit::ComboEntryBytes(list, list->currentIndex());
  }
  const CDlgItem& Line(int id) { return app_.document.GetItem(app_.document.FindItem(id)); }

  TempDir temp_;
  ScopedCurrentDir cd_;
  TestAppContext app_;
  std::unique_ptr<CLineEditDlg> dialog_;
  bool opened_ = false;
};
