// The plot commands of the main window: Add, Edit (button and double-click), Delete.
//
// The list entry is the window's only handle on a plot: every command takes the entry's text and
// asks the document for the first plot of that name.
#include <QListWidget>

#include "app/main_dlg.h"
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
  if (document.AddPlot(name.c_str(), -1, -1) == nullptr) return -1;
  toolkit::AddListEntry(plotList(), name);
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

  LineEditSession session = context_.LineEditing();
  session.configPaths = SpeakerConfigPaths();
  CLineEditDlg editor(session, this);
  editor.plotName = name;
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
  if (editor.changed && (result == toolkit::kIdOk || editor.committed)) SetModified(true);
  RefreshTitle();
  RefreshButtons();
  list->setFocus(Qt::OtherFocusReason);
}

void CMainDlg::OnFind() {
  CFindDlg dialog(context_.document, prompts(), this);
  if (dialog.DoModal() != toolkit::kIdOk) return;
  // The entry of the found line's plot: the first entry of that name, as every plot command
  // takes it.
  QListWidget* list = plotList();
  for (int index = 0; index < list->count(); ++index) {
    if (toolkit::ListEntryBytes(list->item(index)) != dialog.chosenPlot) continue;
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
  DeletePlotAt(index);
  RefreshButtons();
  plotList()->setFocus(Qt::OtherFocusReason);
}

void CMainDlg::DeletePlotAt(int index) {
  QListWidget* list = plotList();
  QListWidgetItem* entry = list->item(index);
  if (entry == nullptr) return;
  CDlgFile& document = context_.document;
  (void)document.DeletePlot(document.FindPlot(toolkit::ListEntryBytes(entry).c_str()));
  delete list->takeItem(index);
  // Qt moves the selection to a neighbour; after a deletion no entry is selected.
  list->clearSelection();
  list->setCurrentRow(-1);
  SetModified(true);
  RefreshTitle();
}
