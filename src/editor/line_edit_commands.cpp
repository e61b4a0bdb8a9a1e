// CLineEditDlg's commands: Add, Modify, Delete, OK and Cancel, with the pending additions and
// deletions of the session.
//
// Add changes the document at once and records the line as a pending addition; Modify changes
// the line at once; Delete only records lines as pending deletions and removes their rows. OK
// applies the deletions and keeps the additions; Cancel takes the additions out again and drops
// the deletions. A line in both lists is removed from the document once, by whichever runs.
// A command whose pending-list entry cannot be stored stores nothing at all.
#include <QComboBox>
#include <QSignalBlocker>
#include <QTreeWidget>
#include <algorithm>

#include "editor/line_edit_dlg.h"
#include "platform/line_breaks.h"
#include "toolkit/prompts.h"
#include "toolkit/text_bytes.h"

namespace {

constexpr char kModifyOneOnly[] = "不能同时修改多段对话！";
constexpr char kNoIdLeft[] = "在指定范围内已经没有剩余的ID！";
constexpr char kLeaveQuestion[] = "内容被修改了，退出吗？";
constexpr char kLeaveCaption[] = "警告";

void RemoveLineBreaks(std::string& text) {
  text = platform::ReplaceCrLf(text, "");
}

std::string Selection(const QComboBox* list) {
  return toolkit::ComboEntryBytes(list, list->currentIndex());
}

bool Contains(const CQHList<LinePos>& list, LinePos line) {
  for (auto* pos = list.GetHeadPosition(); pos != nullptr;) {
    if (list.GetNext(pos) == line) return true;
  }
  return false;
}

}  // namespace

// Add ("추가") --------------------------------------------------------------------------------

void CLineEditDlg::OnAdd() {
  // A field that fails its check keeps its earlier value, and Add goes on with the values.
  (void)UpdateData(true);
  CDlgItem record;
  if (!FillRecord(record)) return;
  CDlgFile& document = session_.document;
  // The range is stored before the ID is allocated and stays whatever follows.
  document.GetPlot(plot_).SetRange(rangeLow, rangeHigh);
  const int first = FirstSelectedRow();
  LinePos line = document.AddItem(record, plot_, first >= 0 ? RowLine(first) : nullptr);
  if (line == nullptr) {
    // An allocated ID with no line means memory ran out (reported on the debug output), not
    // that the range is exhausted.
    if (record.GetID() < 0) prompts().Message(this, QString::fromUtf8(kNoIdLeft));
    return;
  }
  if (!RecordAddition(line)) return;
  changed = true;
}

bool CLineEditDlg::FillRecord(CDlgItem& record) {
  bool stored = true;
  if (useSpeaker_ && speakerList()->currentIndex() >= 0) {
    stored = record.speaker.Assign(Selection(speakerList()).c_str());
  }
  if (useExpression_ && expressionList()->currentIndex() >= 0) {
    stored = record.expression.Assign(Selection(expressionList()).c_str()) && stored;
  }
  if (useSound_) stored = record.sound.Assign(sound.c_str()) && stored;
  if (!multiLine) RemoveLineBreaks(text);
  return record.text.Assign(text.c_str()) && stored;
}

bool CLineEditDlg::RecordAddition(LinePos line) {
  CQHList<LinePos>& additions = session_.pendingAdditions;
  auto* entry = additions.AddTail(line);
  if (entry != nullptr && AddRow(session_.document.GetItem(line))) return true;
  if (entry != nullptr) additions.RemoveAt(entry);
  session_.document.DeleteItem(line, plot_);
  return false;
}

// Modify ("수정") -----------------------------------------------------------------------------

void CLineEditDlg::OnModify() {
  if (SelectedRowCount() != 1) {
    prompts().Message(this, QString::fromUtf8(kModifyOneOnly));
    return;
  }
  (void)UpdateData(true);
  const int row = FirstSelectedRow();
  std::string newSpeaker, newExpression;
  if (useSpeaker_) {
    newSpeaker = speakerList()->currentIndex() >= 0 ? Selection(speakerList()) : rememberedSpeaker;
  }
  // An expression list without a selection leaves the line's expression as it is.
  const bool keepExpression = useExpression_ && expressionList()->currentIndex() < 0;
  if (useExpression_ && !keepExpression) newExpression = Selection(expressionList());

  // The new texts are built before anything changes, so that running out of memory changes
  // neither the line nor its row.
  LinePos line = RowLine(row);
  CPlainString speakerText, expressionText, soundText, lineText;
  if (line != nullptr &&
      !(speakerText.Assign(newSpeaker.c_str()) && expressionText.Assign(newExpression.c_str()) &&
        soundText.Assign(sound.c_str()) && lineText.Assign(text.c_str()))) {
    return;
  }

  QTreeWidgetItem* item = rowList()->topLevelItem(row);
  if (useSpeaker_) SetCell(item, columns_.speaker, newSpeaker);
  if (useExpression_ && !keepExpression) SetCell(item, columns_.expression, newExpression);
  if (useSound_) SetCell(item, columns_.sound, sound);
  SetCell(item, columns_.text, text);
  if (line != nullptr) {
    CDlgItem& target = session_.document.GetItem(line);
    target.speaker.Swap(speakerText);
    if (!keepExpression) target.expression.Swap(expressionText);
    target.sound.Swap(soundText);
    target.text.Swap(lineText);
  }
  changed = true;
}

// Delete ("삭제") -----------------------------------------------------------------------------

void CLineEditDlg::OnDelete() {
  const int first = FirstSelectedRow();
  if (first < 0) return;
  std::vector<int> rows;
  for (const QModelIndex& index : rowList()->selectionModel()->selectedRows()) {
    rows.push_back(index.row());
  }
  std::sort(rows.begin(), rows.end());
  if (!RecordDeletions(rows)) return;

  QTreeWidget* list = rowList();
  {
    // The rows go without loading each other into the fields on the way.
    QSignalBlocker quiet(list);
    for (auto it = rows.rbegin(); it != rows.rend(); ++it) delete list->takeTopLevelItem(*it);
  }
  const int count = list->topLevelItemCount();
  if (count > 0) {
    SelectRow(std::min(first, count - 1), true);
  } else {
    OnRowStateChanged();
  }
  changed = true;
}

bool CLineEditDlg::RecordDeletions(const std::vector<int>& rows) {
  CQHList<LinePos>& deletions = session_.pendingDeletions;
  auto* before = deletions.GetTailPosition();
  for (int row : rows) {
    LinePos line = RowLine(row);
    // Two rows of one ID name one line, which must be removed only once.
    if (line == nullptr || Contains(deletions, line)) continue;
    if (deletions.AddTail(line) != nullptr) continue;
    // Nothing of this Delete stays recorded.
    while (deletions.GetTailPosition() != before) deletions.RemoveAt(deletions.GetTailPosition());
    return false;
  }
  return true;
}

// OK ("확인") and Cancel ("취소") -----------------------------------------------------------

void CLineEditDlg::OnConfirm() {
  session_.pendingAdditions.RemoveAll();
  ApplyDeletions();
  (void)UpdateData(true);
  int low = -1, high = -1;
  CDlgPlot& plot = session_.document.GetPlot(plot_);
  plot.GetRange(low, high);
  if (plot.GetName() != plotName.c_str() || low != rangeLow || high != rangeHigh) changed = true;
  StoreNameAndRange();
  // A field that fails now keeps the dialog open, with the pending changes already applied.
  if (!UpdateData(true)) return;
  TakeDocumentName();
  EndDialog(toolkit::kIdOk);
}

void CLineEditDlg::DeleteListedLines(CQHList<LinePos>& listed) {
  for (auto* pos = listed.GetHeadPosition(); pos != nullptr;) {
    session_.document.DeleteItem(listed.GetNext(pos), plot_);
  }
  listed.RemoveAll();
}

void CLineEditDlg::ApplyDeletions() {
  DeleteListedLines(session_.pendingDeletions);
}

void CLineEditDlg::StoreNameAndRange() {
  CDlgPlot& plot = session_.document.GetPlot(plot_);
  CPlainString name;
  // Out of memory the plot keeps its name rather than losing it.
  if (name.Assign(plotName.c_str())) plot.name.Swap(name);
  plot.SetRange(rangeLow, rangeHigh);
}

void CLineEditDlg::OnCancel() {
  if (changed && !prompts().AskYesNo(this, QString::fromUtf8(kLeaveQuestion),
                                     QString::fromUtf8(kLeaveCaption))) {
    return;
  }
  CancelPending();
  TakeDocumentName();
  EndDialog(toolkit::kIdCancel);
}

void CLineEditDlg::RemoveAdditions() {
  DeleteListedLines(session_.pendingAdditions);
}

void CLineEditDlg::CancelPending() {
  RemoveAdditions();
  // Deleted rows' lines were never taken out of the document.
  session_.pendingDeletions.RemoveAll();
}

void CLineEditDlg::TakeDocumentName() {
  if (plot_ != nullptr) plotName = session_.document.GetPlot(plot_).GetName().c_str();
}
