// The plot commands of the main window: Add, Edit (button and double-click), Delete.
//
// Each list entry carries the plot it shows (kPlotRole): two plots may share a name (a file can
// hold them), and every command acts on the plot of the entry the user chose, not on the first
// of its name. Delete asks first, naming the plot and its number of lines.
#include <QLineEdit>
#include <QListWidget>
#include <QUndoStack>
#include <new>

#include "app/main_dlg.h"
#include "app/main_undo.h"
#include "app/name_input_dlg.h"
#include "app/strings.h"
#include "config/speaker_config.h"
#include "dialogs/find_dlg.h"
#include "dialogs/stats_dlg.h"
#include "editor/line_edit_dlg.h"
#include "platform/path.h"
#include "toolkit/code_page.h"
#include "toolkit/prompts.h"
#include "toolkit/text_bytes.h"

namespace {

// Index of the list's selected entry; -1 when none is selected.
int SelectedIndex(const QListWidget* list) {
  const QList<QListWidgetItem*> selected = list->selectedItems();
  return selected.isEmpty() ? -1 : list->row(selected.first());
}

}  // namespace

void CMainDlg::OnAddPlot() {
  CNameInputDlg dialog(prompts(), this);
  // The name is taken as typed: not trimmed, and a name of blanks is a name.
  if (dialog.DoModal() != toolkit::kIdOk || dialog.name.empty()) return;
  const int index = AddPlotByName(dialog.name);
  if (index == -1) return;
  plotList()->setCurrentRow(index);
  RefreshButtons();
  plotList()->setFocus(Qt::OtherFocusReason);
}

int CMainDlg::AddPlotByName(const std::string& name) {
  CDlgFile& document = context_.document;
  if (document.FindPlot(name.c_str()) != nullptr) {
    prompts().Message(this, Tr(strings::kDuplicatePlot).arg(toolkit::ToQString(name)));
    return -1;
  }
  // Out of memory no plot is added, and no entry may then stand for one.
  const PlotPos plot = document.AddPlot(name.c_str(), -1, -1);
  if (plot == nullptr) return -1;
  QListWidgetItem* entry = toolkit::AddListEntry(plotList(), name);
  SetEntryPlot(entry, plot);
  PushStep(new app::AddPlotCommand(*this, PlotIndexOf(plot), name));
  // The new plot is selected next: a filter that would hide it is cleared.
  if (auto* filter = ControlAs<QLineEdit>(kPlotFilter);
      filter != nullptr && !entry->text().contains(filter->text(), Qt::CaseInsensitive)) {
    filter->clear();
  }
  SetModified(true);
  RefreshTitle();
  return plotList()->count() - 1;
}

void CMainDlg::OnEditPlot() {
  // The multi-line flag handed over is the check box's current state. A game-name field that
  // fails its check has shown its prompt; the edit goes on all the same.
  (void)UpdateData(true);
  const int index = SelectedIndex(plotList());
  if (index < 0) return;
  EditPlotAt(index, -1);
}

void CMainDlg::EditPlotAt(int index, int selectRow) {
  QListWidget* list = plotList();
  const std::string name = toolkit::ListEntryBytes(list->item(index));

  // The plot as it was, to record what the line editor changes as one step of the history.
  const PlotPos edited = EntryPlot(index);
  std::unique_ptr<PlotSnapshot> before;
  try {
    if (edited != nullptr) before = std::make_unique<PlotSnapshot>(TakePlotSnapshot(edited->value));
  } catch (const std::bad_alloc&) {
    before.reset();
  }
  LineEditSession session = context_.LineEditing();
  session.configPaths = SpeakerConfigPaths();
  CLineEditDlg editor(session, this);
  editor.plotName = name;
  editor.plotPos = EntryPlot(index);
  editor.multiLine = multiLine_;
  editor.selectRow = selectRow;
  const int result = editor.DoModal();
  // The editor hands back the plot's name as the document holds it.
  if (editor.plotName != name) {
    toolkit::SetListEntryBytes(list->item(index), editor.plotName);
    list->clearSelection();
    list->setCurrentRow(-1);
  }
  // Cancel has put the document back as it was; only changes OK kept count.
  if (editor.changed && (result == toolkit::kIdOk || editor.committed)) {
    try {
      if (before != nullptr) {
        PushStep(new app::EditPlotCommand(*this, PlotIndexOf(edited), std::move(*before),
                                          TakePlotSnapshot(edited->value)));
      } else {
        undoStack()->clear();  // out of memory: no step, and no older step over a changed plot
      }
    } catch (const std::bad_alloc&) {
      undoStack()->clear();
    }
    SetModified(true);
  }
  RefreshTitle();
  RefreshButtons();
  list->setFocus(Qt::OtherFocusReason);
}

PlotPos CMainDlg::EntryPlot(int index) const {
  const QListWidgetItem* entry = plotList()->item(index);
  if (entry == nullptr) return nullptr;
  return reinterpret_cast<PlotPos>(entry->data(kPlotRole).value<quintptr>());
}

void CMainDlg::SetEntryPlot(QListWidgetItem* entry, PlotPos plot) {
  if (entry != nullptr)
    entry->setData(kPlotRole, QVariant::fromValue(reinterpret_cast<quintptr>(plot)));
}

void CMainDlg::OnFind() {
  CFindDlg dialog(context_.document, prompts(), this);
  // Each replace is one step of the history.
  dialog.recordEdits = [this](std::vector<LineEdit> edits) { PushLineEdits(std::move(edits)); };
  if (dialog.DoModal() != toolkit::kIdOk) return;
  // The entry of the found line's plot.
  QListWidget* list = plotList();
  for (int index = 0; index < list->count(); ++index) {
    if (EntryPlot(index) != dialog.chosenPlotPos) continue;
    list->setCurrentRow(index);
    RefreshButtons();
    (void)UpdateData(true);
    EditPlotAt(index, dialog.chosenRow);
    return;
  }
}

void CMainDlg::OnStats() {
  CStatsDlg dialog(context_.document, toolkit::SystemCodePage().codeset(), prompts(), this);
  dialog.DoModal();
}

std::vector<std::string> CMainDlg::SpeakerConfigPaths() const {
  // A file dialog moves the current directory; a program started from a file manager starts
  // elsewhere than the dialogue files. The current directory still comes first.
  std::vector<std::string> paths{kSpeakerConfigName};
  if (!currentPath_.empty()) {
    paths.push_back(platform::FolderOf(currentPath_) + '/' + kSpeakerConfigName);
  }
  if (!context_.startFolder.empty()) {
    paths.push_back(context_.startFolder + '/' + kSpeakerConfigName);
  }
  return paths;
}

void CMainDlg::OnDeletePlot() {
  const int index = SelectedIndex(plotList());
  if (index < 0) return;
  if (const PlotPos plot = EntryPlot(index)) {
    const QString question = Tr(strings::kDeletePlotQuestion)
                                 .arg(toolkit::ToQString(plot->value.GetName().c_str()),
                                      QString::number(plot->value.members.GetCount()));
    if (!prompts().AskYesNo(this, question, Tr(strings::kQuitCaption))) return;
  }
  DeletePlotAt(index);
  RefreshButtons();
  plotList()->setFocus(Qt::OtherFocusReason);
}

void CMainDlg::DeletePlotAt(int index) {
  QListWidget* list = plotList();
  QListWidgetItem* entry = list->item(index);
  if (entry == nullptr) return;
  const PlotPos plot = EntryPlot(index);
  std::unique_ptr<app::DeletePlotCommand> step;
  try {
    if (plot != nullptr) {
      step = std::make_unique<app::DeletePlotCommand>(*this, PlotIndexOf(plot),
                                                      TakePlotSnapshot(plot->value));
    }
  } catch (const std::bad_alloc&) {
    step.reset();
    undoStack()->clear();  // the deletion cannot be undone; older steps would not fit after it
  }
  (void)context_.document.DeletePlot(plot);
  if (step != nullptr) PushStep(step.release());
  delete list->takeItem(index);
  // Qt moves the selection to a neighbour; after a deletion no entry is selected.
  list->clearSelection();
  list->setCurrentRow(-1);
  SetModified(true);
  RefreshTitle();
}
