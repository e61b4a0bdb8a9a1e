// CLineEditDlg's commands: Add, Modify, Delete, OK and Cancel, with the pending additions and
// deletions of the session.
//
// Add changes the document at once and records the line as a pending addition; Modify changes
// the line at once; Delete only records lines as pending deletions and removes their rows. OK
// applies the deletions and keeps the additions; Cancel takes the additions out again and drops
// the deletions. A line in both lists is removed from the document once, by whichever runs.
// A command whose pending-list entry cannot be stored stores nothing at all. Modify remembers a
// line's texts before its first change so that Cancel can put them back.
#include <QComboBox>
#include <QSignalBlocker>
#include <QTreeWidget>
#include <QUndoStack>
#include <QWidget>
#include <QtGlobal>
#include <algorithm>
#include <memory>
#include <new>
#include <unordered_set>

#include "editor/line_edit_dlg.h"
#include "platform/line_breaks.h"
#include "toolkit/code_page.h"
#include "toolkit/data_exchange.h"
#include "toolkit/prompts.h"
#include "toolkit/text_bytes.h"
#include "toolkit/undo_step.h"
#include "toolkit/wait_cursor.h"

namespace {

constexpr char kModifyOneOnly[] = QT_TRANSLATE_NOOP("CLineEditDlg", "不能同时修改多段对话！");
constexpr char kNoIdLeft[] = QT_TRANSLATE_NOOP("CLineEditDlg", "在指定范围内已经没有剩余的ID！");
constexpr char kLeaveQuestion[] = QT_TRANSLATE_NOOP("CLineEditDlg", "内容被修改了，退出吗？");
constexpr char kLeaveCaption[] = QT_TRANSLATE_NOOP("CLineEditDlg", "警告");
// The main window's Add plot message (the line editor sits below the app and keeps its own copy).
constexpr char kDuplicatePlot[] =
    QT_TRANSLATE_NOOP("CLineEditDlg", "情节名字重复(%1)！添加情节失败！");

// Whether a plot other than `self` is named `name`.
bool NameTakenByOther(const CDlgFile& document, PlotPos self, const std::string& name) {
  for (PlotPos pos = document.GetFirstPlot(); pos != nullptr; pos = pos->next) {
    if (pos != self && pos->value.name.Equals(name.c_str())) return true;
  }
  return false;
}

void RemoveLineBreaks(std::string& text) {
  text = platform::ReplaceCrLf(text, "");
}

std::string Selection(const QComboBox* list) {
  return toolkit::ComboEntryBytes(list, list->currentIndex());
}

std::unordered_set<LinePos> Members(const CQHList<LinePos>& list) {
  std::unordered_set<LinePos> set;
  set.reserve(static_cast<size_t>(list.GetCount()));
  for (auto* pos = list.GetHeadPosition(); pos != nullptr;) set.insert(list.GetNext(pos));
  return set;
}

}  // namespace

// Add ("추가") --------------------------------------------------------------------------------

void CLineEditDlg::OnAdd() {
  // A text the document's code page cannot write is refused, never stored with substitutes.
  if (!toolkit::FieldsWritable(*this, {kText, kSound})) return;
  // A field that fails its check keeps its earlier value, and Add goes on with the values.
  (void)UpdateData(true);
  CDlgItem record;
  if (!FillRecord(record)) return;
  CDlgFile& document = session_.document;
  // The range is stored before the ID is allocated and stays whatever follows.
  document.GetPlot(plot_).SetRange(rangeLow, rangeHigh);
  const int first = FirstSelectedRow();
  const int afterId = first >= 0 ? RowId(first) : -1;
  LinePos line = document.AddItem(record, plot_, first >= 0 ? RowLine(first) : nullptr);
  if (line == nullptr) {
    // An allocated ID with no line means memory ran out (reported on the debug output), not
    // that the range is exhausted.
    if (record.GetID() < 0) prompts().Message(this, Tr(kNoIdLeft));
    return;
  }
  if (!RecordAddition(line)) return;
  changed = true;
  const int id = document.GetItem(line).GetID();
  const auto added = std::make_shared<CDlgItem>(document.GetItem(line));
  undoStack_->push(new toolkit::UndoStep(
      [this, id] { UndoAdd(id); }, [this, id, afterId, added] { RedoAdd(id, afterId, *added); }));
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
  const int id = session_.document.GetItem(line).GetID();
  auto* entry = additions.AddTail(line);
  try {
    if (entry != nullptr) {
      added_.insert(line);
      memberById_.emplace(id, line);
      if (AddRow(session_.document.GetItem(line))) return true;
    }
  } catch (const std::bad_alloc&) {
  }
  if (memberById_.count(id) != 0 && memberById_[id] == line) memberById_.erase(id);
  added_.erase(line);
  if (entry != nullptr) additions.RemoveAt(entry);
  session_.document.DeleteItem(line, plot_);
  return false;
}

// Modify ("수정") -----------------------------------------------------------------------------

void CLineEditDlg::OnModify() {
  if (SelectedRowCount() != 1) {
    prompts().Message(this, Tr(kModifyOneOnly));
    return;
  }
  if (!toolkit::FieldsWritable(*this, {kText, kSound})) return;
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
        soundText.Assign(sound.c_str()) && lineText.Assign(text.c_str()) &&
        RememberOriginal(line))) {
    return;
  }

  std::shared_ptr<CDlgItem> before;
  if (line != nullptr) before = std::make_shared<CDlgItem>(session_.document.GetItem(line));
  QTreeWidgetItem* item = rowList()->topLevelItem(row);
  if (useSpeaker_) SetCell(item, columns_.speaker, newSpeaker);
  if (useExpression_ && !keepExpression) SetCell(item, columns_.expression, newExpression);
  if (useSound_) SetCell(item, columns_.sound, sound);
  SetCell(item, columns_.text, text);
  if (line != nullptr) {
    // A field whose column is switched off is not shown, so it is not the user's to change.
    CDlgItem& target = session_.document.GetItem(line);
    if (useSpeaker_) target.speaker.Swap(speakerText);
    if (useExpression_ && !keepExpression) target.expression.Swap(expressionText);
    if (useSound_) target.sound.Swap(soundText);
    target.text.Swap(lineText);
    const int id = target.GetID();
    const auto after = std::make_shared<CDlgItem>(target);
    undoStack_->push(new toolkit::UndoStep([this, id, before] { SetLineFields(id, *before); },
                                           [this, id, after] { SetLineFields(id, *after); }));
  }
  changed = true;
}

bool CLineEditDlg::RememberOriginal(LinePos line) {
  // The editor's own additions go away whole on Cancel; a line already remembered keeps its
  // first state.
  if (added_.count(line) != 0 || originals_.count(line) != 0) return true;
  const CDlgItem& item = session_.document.GetItem(line);
  OriginalTexts original;
  if (!(original.speaker.Assign(item.GetSpeaker().c_str()) &&
        original.expression.Assign(item.GetExpression().c_str()) &&
        original.sound.Assign(item.GetSound().c_str()) &&
        original.text.Assign(item.GetText().c_str()))) {
    return false;
  }
  try {
    OriginalTexts& kept = originals_[line];
    kept.speaker.Swap(original.speaker);
    kept.expression.Swap(original.expression);
    kept.sound.Swap(original.sound);
    kept.text.Swap(original.text);
  } catch (const std::bad_alloc&) {
    return false;
  }
  return true;
}

void CLineEditDlg::RestoreOriginals() {
  for (auto& [line, original] : originals_) {
    CDlgItem& item = session_.document.GetItem(line);
    item.speaker.Swap(original.speaker);
    item.expression.Swap(original.expression);
    item.sound.Swap(original.sound);
    item.text.Swap(original.text);
  }
  originals_.clear();
  if (plot_ != nullptr && !committed)
    session_.document.GetPlot(plot_).SetRange(openRangeLow_, openRangeHigh_);
}

// Delete ("삭제") -----------------------------------------------------------------------------

void CLineEditDlg::OnDelete() {
  const int first = FirstSelectedRow();
  if (first < 0) return;
  std::vector<int> rows;
  // A row the filter hides is not the user's to delete, even if a select-all reached it.
  for (const QModelIndex& index : rowList()->selectionModel()->selectedRows()) {
    if (RowShown(index.row())) rows.push_back(index.row());
  }
  std::sort(rows.begin(), rows.end());
  toolkit::WaitCursor wait;
  if (!RecordDeletions(rows)) return;
  std::vector<int> ids;
  ids.reserve(rows.size());
  for (int row : rows) ids.push_back(RowId(row));

  QTreeWidget* list = rowList();
  {
    // The rows go without loading each other into the fields on the way. All rows are taken out
    // and the kept ones put back in one batch: taking rows out one by one costs a move of the
    // rows behind each, quadratic for a large selection.
    QSignalBlocker quiet(list);
    const QList<QTreeWidgetItem*> all = list->invisibleRootItem()->takeChildren();
    QList<QTreeWidgetItem*> kept;
    kept.reserve(all.size() - static_cast<qsizetype>(rows.size()));
    size_t next = 0;
    for (int i = 0; i < all.size(); ++i) {
      if (next < rows.size() && rows[next] == i) {
        delete all[i];
        ++next;
      } else {
        kept.append(all[i]);
      }
    }
    for (QTreeWidgetItem* row : kept) row->setSelected(false);
    list->addTopLevelItems(kept);
    ApplyFilter();
  }
  const int count = list->topLevelItemCount();
  if (count > 0) {
    SelectRow(std::min(first, count - 1), true);
  } else {
    OnRowStateChanged();
  }
  list->setFocus(Qt::OtherFocusReason);
  changed = true;
  const auto deleted = std::make_shared<std::vector<int>>(std::move(ids));
  undoStack_->push(new toolkit::UndoStep([this, deleted] { MarkDeleted(*deleted, false); },
                                         [this, deleted] { MarkDeleted(*deleted, true); }));
}

bool CLineEditDlg::RecordDeletions(const std::vector<int>& rows) {
  CQHList<LinePos>& deletions = session_.pendingDeletions;
  auto* before = deletions.GetTailPosition();
  std::unordered_set<LinePos> listed;
  try {
    listed = Members(deletions);
  } catch (const std::bad_alloc&) {
    return false;
  }
  for (int row : rows) {
    LinePos line = RowLine(row);
    // Two rows of one ID name one line, which must be removed only once.
    if (line == nullptr || !listed.insert(line).second) continue;
    if (deletions.AddTail(line) != nullptr) continue;
    // Nothing of this Delete stays recorded.
    while (deletions.GetTailPosition() != before) deletions.RemoveAt(deletions.GetTailPosition());
    return false;
  }
  return true;
}

// OK ("확인") and Cancel ("취소") -----------------------------------------------------------

void CLineEditDlg::OnConfirm() {
  // A name another plot has is refused before anything is applied: the dialog stays open with
  // its pending changes, as after Add plot's message the main window does.
  // Only the name field is looked at here, so the fields' own prompts come as often as before.
  const std::string typed = toolkit::GetWidgetBytes(Control(kName));
  if (typed != session_.document.GetPlot(plot_).GetName().c_str() &&
      NameTakenByOther(session_.document, plot_, typed)) {
    prompts().Message(this, Tr(kDuplicatePlot).arg(toolkit::ToQString(typed)));
    Control(kName)->setFocus(Qt::OtherFocusReason);
    return;
  }
  // From here on the changes stay, whichever way the dialog then closes.
  committed = true;
  session_.pendingAdditions.RemoveAll();
  added_.clear();
  originals_.clear();
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
  if (listed.IsEmpty()) return;
  toolkit::WaitCursor wait;
  CDlgFile& document = session_.document;
  std::unordered_set<LinePos> doomed;
  try {
    doomed = Members(listed);
  } catch (const std::bad_alloc&) {
    // Out of memory: one member scan per line, slower but needing nothing.
    for (auto* pos = listed.GetHeadPosition(); pos != nullptr;) {
      document.DeleteItem(listed.GetNext(pos), plot_);
    }
    listed.RemoveAll();
    return;
  }
  // Each listed line leaves the plot once (its first member naming it) and then the document.
  CQHList<LinePos>& members = document.GetPlot(plot_).members;
  std::unordered_set<LinePos> unlinked;
  for (auto* member = members.GetHeadPosition(); member != nullptr;) {
    auto* node = member;
    member = member->next;
    if (doomed.count(node->value) != 0 && unlinked.insert(node->value).second) {
      members.RemoveAt(node);
    }
  }
  for (LinePos line : doomed) {
    const auto mapped = memberById_.find(document.GetItem(line).GetID());
    if (mapped != memberById_.end() && mapped->second == line) memberById_.erase(mapped);
    document.DeleteItem(line, nullptr);
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
  if (changed && !prompts().AskYesNo(this, Tr(kLeaveQuestion), Tr(kLeaveCaption))) {
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
  // Modified lines first: an addition may have been modified, and is remembered nowhere.
  RestoreOriginals();
  RemoveAdditions();
  added_.clear();
  // Deleted rows' lines were never taken out of the document.
  session_.pendingDeletions.RemoveAll();
}

void CLineEditDlg::TakeDocumentName() {
  if (plot_ != nullptr) plotName = session_.document.GetPlot(plot_).GetName().c_str();
}

// Undo and redo ------------------------------------------------------------------------------

void CLineEditDlg::OnUndo() {
  if (undoStack_->canUndo()) undoStack_->undo();
}

void CLineEditDlg::OnRedo() {
  if (undoStack_->canRedo()) undoStack_->redo();
}

void CLineEditDlg::OnSysCommand(int command) {
  if (command == kUndoCommand) OnUndo();
  if (command == kRedoCommand) OnRedo();
}

void CLineEditDlg::UndoAdd(int id) {
  const LinePos line = MemberWithId(id);
  if (line == nullptr) return;
  for (CQHList<LinePos>* list : {&session_.pendingAdditions, &session_.pendingDeletions}) {
    for (auto* node = list->GetHeadPosition(); node != nullptr; node = node->next) {
      if (node->value == line) {
        list->RemoveAt(node);
        break;
      }
    }
  }
  added_.erase(line);
  originals_.erase(line);
  memberById_.erase(id);
  session_.document.DeleteItem(line, plot_);
  ShowRowsAgain(-1);
}

void CLineEditDlg::RedoAdd(int id, int afterId, const CDlgItem& record) {
  CDlgItem copy = record;
  copy.id = id;
  const LinePos line = session_.document.AddItem(copy, plot_, MemberWithId(afterId));
  if (line == nullptr) return;  // out of memory, reported on the debug output
  if (session_.pendingAdditions.AddTail(line) == nullptr) {
    session_.document.DeleteItem(line, plot_);
    return;
  }
  try {
    added_.insert(line);
  } catch (const std::bad_alloc&) {
  }
  ShowRowsAgain(id);
}

void CLineEditDlg::SetLineFields(int id, const CDlgItem& fields) {
  const LinePos line = MemberWithId(id);
  if (line == nullptr || !RememberOriginal(line)) return;
  CPlainString speakerText, expressionText, soundText, lineText;
  if (!(speakerText.Assign(fields.GetSpeaker().c_str()) &&
        expressionText.Assign(fields.GetExpression().c_str()) &&
        soundText.Assign(fields.GetSound().c_str()) && lineText.Assign(fields.GetText().c_str()))) {
    return;
  }
  CDlgItem& target = session_.document.GetItem(line);
  target.speaker.Swap(speakerText);
  target.expression.Swap(expressionText);
  target.sound.Swap(soundText);
  target.text.Swap(lineText);
  ShowRowsAgain(id);
}

void CLineEditDlg::MarkDeleted(const std::vector<int>& ids, bool deleted) {
  CQHList<LinePos>& deletions = session_.pendingDeletions;
  std::unordered_set<LinePos> lines;
  try {
    for (int id : ids) {
      if (const LinePos line = MemberWithId(id)) lines.insert(line);
    }
    if (deleted) {
      const std::unordered_set<LinePos> listed = Members(deletions);
      for (int id : ids) {
        const LinePos line = MemberWithId(id);
        if (line != nullptr && listed.count(line) == 0 && lines.erase(line) != 0) {
          if (deletions.AddTail(line) == nullptr) break;
        }
      }
    } else {
      for (auto* node = deletions.GetHeadPosition(); node != nullptr;) {
        auto* next = node->next;
        if (lines.count(node->value) != 0) deletions.RemoveAt(node);
        node = next;
      }
    }
  } catch (const std::bad_alloc&) {
  }
  ShowRowsAgain(deleted || ids.empty() ? -1 : ids.front());
}

void CLineEditDlg::ShowRowsAgain(int selectId) {
  toolkit::WaitCursor wait;
  CDlgFile& document = session_.document;
  CDlgPlot& plot = document.GetPlot(plot_);
  std::unordered_set<LinePos> deleted;
  QList<QTreeWidgetItem*> rows;
  try {
    deleted = Members(session_.pendingDeletions);
    memberById_.clear();
    for (auto* member = plot.members.GetHeadPosition(); member != nullptr;) {
      const LinePos line = plot.members.GetNext(member);
      const CDlgItem& item = document.GetItem(line);
      memberById_.emplace(item.GetID(), line);
      if (deleted.count(line) != 0) continue;
      if (QTreeWidgetItem* row = NewRow(item)) rows.append(row);
    }
  } catch (const std::bad_alloc&) {
    // The rows shown so far stay; the document is as the step left it.
  }
  QTreeWidget* list = rowList();
  {
    QSignalBlocker quiet(list);
    list->clear();
    list->addTopLevelItems(rows);
    if (sortColumn_ >= 0) {
      list->sortItems(sortColumn_, sortDescending_ ? Qt::DescendingOrder : Qt::AscendingOrder);
    }
    ApplyFilter();
  }
  int select = -1;
  for (int i = 0; selectId >= 0 && i < list->topLevelItemCount(); ++i) {
    if (RowId(i) == selectId && RowShown(i)) {
      select = i;
      break;
    }
  }
  if (select >= 0) {
    SelectRow(select, true);
  } else {
    OnRowStateChanged();
  }
  changed = true;
}
