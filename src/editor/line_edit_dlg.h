// CLineEditDlg: the modal dialog that edits the lines of one plot of the open document.
//
// The caller sets `plotName` and `multiLine`, runs the dialog, and afterwards, whatever the result,
// reads `plotName` and `changed` back. On closing, `plotName` holds the plot's name as the document
// holds it, so a caller that shows it never shows a name that no plot has. OK refuses a name that
// another plot has (the main window's Add plot message), so that no two plots come to share one.
//
// Each row of the row list carries its line's ID (kRowIdRole of column 0); the cells are only a
// display. A row's line is the first member of the plot with that ID.
//
// Values and controls are two copies (see toolkit/data_exchange.h), exchanged only at these
// points: shown at the start and end of initialisation, after a row is loaded, after a speaker is
// chosen, by Clear; read by Add, Modify, a speaker choice, and twice by OK. The drop-down lists
// are never exchanged: their state is their own selection, and text typed into their edit parts
// is never read.
//
// Pending changes: Add puts its line into the document at once and records it in the session's
// pending additions; Modify changes the line at once and keeps its texts as they were when the
// editor opened; Delete only records lines in the pending deletions and removes their rows.
// OK applies the deletions; Cancel removes the additions, puts modified lines' texts and the
// plot's range back, and so leaves the document as it was when the editor opened. Both lists are
// empty whenever no line editor is open, whichever way it closed (the destructor cancels what is
// left).
//
// Cost: every command and every selection change is linear in the rows at worst. A row's line is
// found through an ID -> member map built once when the editor opens (first member of each ID),
// and the pending lists are applied in one pass over the plot's members.
#pragma once

#include <QString>

#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "editor/line_columns.h"
#include "editor/line_edit_session.h"
#include "model/speaker_entry.h"
#include "toolkit/dialog.h"

class QComboBox;
class QUndoStack;
class QLabel;
class QPlainTextEdit;
class QTreeWidget;
class QTreeWidgetItem;

class CLineEditDlg : public toolkit::CDialog {
  Q_OBJECT

 public:
  enum ControlId {
    kRowList = 1,
    kFrame,
    kText,
    kSpeakerList,
    kExpressionList,
    kSound,
    kClear,
    kAdd,
    kModify,
    kDelete,
    kName,
    kRangeLow,
    kRangeHigh,
    kOk,
    kCancel,
    kFilter,  // shows only the rows with the typed text in a cell (not a described control)
  };
  // The context-menu commands that undo and redo the last Add, Modify or Delete of this session
  // (also Ctrl+Z, Ctrl+Shift+Z and Ctrl+Y outside the text field, which keeps its own).
  static constexpr int kUndoCommand = 0x10;
  static constexpr int kRedoCommand = 0x20;
  // Row data role of column 0 that holds the row's line ID.
  static constexpr int kRowIdRole = Qt::UserRole + 1;

  explicit CLineEditDlg(const LineEditSession& session, QWidget* parent = nullptr);
  ~CLineEditDlg() override;

  static const toolkit::DialogTemplate& Template();

  QTreeWidget* rowList() const;
  QComboBox* speakerList() const;
  QComboBox* expressionList() const;
  QPlainTextEdit* textField() const;
  // What the length display beside the text field shows.
  QString textLengthText() const;
  QLabel* textLengthLabel() const { return textLength_; }

  // Values, in the order of the dialog's description.
  std::string plotName;  // set by the caller; the name field
  // Set by the caller: the plot to edit, which two plots of one name cannot confuse; nullptr: the
  // first plot named `plotName`.
  PlotPos plotPos = nullptr;
  std::string text;      // the text field; line breaks are CR LF
  std::string sound;     // the sound field
  int rangeLow = 0;
  int rangeHigh = 0;
  bool changed = false;           // the open dialog has changed the document
  // OK has applied the changes. Until then Cancel leaves the document as it was when the editor
  // opened; after it (a field failed its check and the user then cancelled) they stay.
  bool committed = false;
  bool multiLine = false;         // set by the caller: Add keeps line breaks
  // Set by the caller: the row selected (alone, and scrolled to) once the rows are built; -1 or a
  // row outside the list: the last row, as the build leaves it.
  int selectRow = -1;
  std::string rememberedSpeaker;  // speaker of the last row shown whose speaker was not listed

  PlotPos plot() const { return plot_; }
  // This session's history: Add, Modify and Delete. It ends with the dialog; Cancel still puts the
  // document back as it was when the editor opened, whatever was undone or redone.
  QUndoStack* undoStack() const { return undoStack_; }
  const LineColumns& columns() const { return columns_; }
  const CQHList<SpeakerEntry>& speakerEntries() const { return speakerEntries_; }

  // Builds one row per member of the plot in one batch; the end state is that of AddRow called for
  // each member in order: the rows in member order, the last one selected and scrolled to.
  void BuildRows();
  // Row building: inserts the line's row just after the first selected row (or at the end) and
  // selects it in place of that row. False, with the list unchanged, when memory runs out.
  [[nodiscard]] bool AddRow(const CDlgItem& line);
  // Sets or clears one row's selected state; a selected row is scrolled into view. An index
  // outside the list does nothing.
  void SelectRow(int index, bool select);
  // The selected row with the lowest index; -1 when none is selected.
  int FirstSelectedRow() const;
  int SelectedRowCount() const;
  // The ID a row carries; -1 for an index outside the list.
  int RowId(int row) const;
  // The line behind a row: the first member of the plot with the row's ID; nullptr if none.
  LinePos RowLine(int row) const;

 public slots:
  void OnAdd();
  void OnModify();
  void OnDelete();
  // The OK button ("확인"). Enter elsewhere (OnOK) does nothing.
  void OnConfirm();
  void OnClear();
  void OnRowStateChanged();
  void OnSpeakerChosen(int index);
  // A click on a column header: sorted by it ascending, then descending, then the plot's order
  // again. The order is the list's only: the plot's line order never changes by it.
  void OnSortColumn(int column);
  // Hides the rows that hold `text` in none of their cells (letters in either case); hidden rows
  // lose their selection and no command acts on them.
  void OnFilter(const QString& text);
  void OnUndo();
  void OnRedo();

 protected:
  void DoDataExchange(toolkit::CDataExchange& dx) override;
  bool OnInitDialog() override;
  // The dialog's default confirm action: none. The dialog closes only through OK or Cancel.
  void OnOK() override;
  // Cancel, Escape outside the text field and the close box.
  void OnCancel() override;
  // While the text field has the focus it takes every key but Tab and Shift+Tab, which move the
  // focus; the dialog's own keys (Enter, Escape) do not apply there.
  void keyPressEvent(QKeyEvent* event) override;
  // Ctrl+Tab in the text field types a tab.
  bool eventFilter(QObject* watched, QEvent* event) override;
  // The length display, outside the template, keeps to the bottom edge with the fields.
  void resizeEvent(QResizeEvent* event) override;
  void OnSysCommand(int command) override;

 private:
  QLabel* textLength_ = nullptr;  // owned by the dialog
  QUndoStack* undoStack_ = nullptr;  // owned by the dialog
  // The rows again from the plot's members that are not marked for deletion, in the plot's order
  // (sorted again when a sort is chosen, filtered), the row of `selectId` selected.
  void ShowRowsAgain(int selectId);
  // The steps of the history (line_edit_commands.cpp). Lines are found by ID among the members:
  // an undone and redone Add makes a new line of the same ID.
  void UndoAdd(int id);
  void RedoAdd(int id, int afterId, const CDlgItem& record);
  void SetLineFields(int id, const CDlgItem& fields);
  void MarkDeleted(const std::vector<int>& ids, bool deleted);
  void ConnectControls();
  void InsertColumns();
  void LoadSpeakers();
  // Fills the expression list with the expressions of the speaker list's entry at `index`.
  void RefillExpressions(int index);
  // Selects the first entry beginning with `name` (case-insensitive); false when none does.
  bool SelectByPrefix(QComboBox* list, const std::string& name);
  QTreeWidgetItem* NewRow(const CDlgItem& line) const;
  // Rows of the plot's members again in the plot's order.
  void RestorePlotOrder();
  // Whether a row is shown (not hidden by the filter).
  bool RowShown(int row) const;
  // Hides the rows the filter field's text does not match (rows taken out and put back lose it).
  void ApplyFilter();
  void SetCell(QTreeWidgetItem* row, int column, const std::string& bytes);
  LinePos MemberWithId(int id) const;

  // Commands' steps (line_edit_commands.cpp).
  [[nodiscard]] bool FillRecord(CDlgItem& record);
  [[nodiscard]] bool RecordAddition(LinePos line);
  [[nodiscard]] bool RecordDeletions(const std::vector<int>& rows);
  void ApplyDeletions();
  void RemoveAdditions();
  // Deletes each listed line from the document and the plot, then empties the list.
  // One pass over the plot's members, then one removal per line from the document.
  void DeleteListedLines(CQHList<LinePos>& listed);
  // Keeps the texts of `line` as they were when the editor opened, before its first Modify.
  [[nodiscard]] bool RememberOriginal(LinePos line);
  // Puts the remembered texts and the plot's range back.
  void RestoreOriginals();
  void StoreNameAndRange();
  // Both pending lists emptied; the pending additions first taken out of the document.
  void CancelPending();
  // `plotName` takes the plot's name as the document holds it.
  void TakeDocumentName();

  LineEditSession session_;
  PlotPos plot_ = nullptr;
  bool useSpeaker_ = false;
  bool useExpression_ = false;
  bool useSound_ = false;
  LineColumns columns_;
  CQHList<SpeakerEntry> speakerEntries_;
  // The first member of the plot with each ID; lines added by this editor join it.
  std::unordered_map<int, LinePos> memberById_;
  struct OriginalTexts {
    CPlainString speaker, expression, sound, text;
  };
  // Lines modified since the editor opened (not counting its own additions), as they were then.
  std::unordered_map<LinePos, OriginalTexts> originals_;
  std::unordered_set<LinePos> added_;
  int openRangeLow_ = -1;
  int openRangeHigh_ = -1;
  int sortColumn_ = -1;  // -1: the plot's order
  bool sortDescending_ = false;
};
