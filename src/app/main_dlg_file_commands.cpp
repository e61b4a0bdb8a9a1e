// The file commands of the main window: New, Open, Save, Save As, Import, Export.
//
// New and Open ask the close request's question before they discard unsaved changes. A failure
// shows the command's message with the reason under it. The dialogue folder (Open, Save As) and the
// text folder (Import, Export) are kept apart: each follows only the file dialogs of its own
// commands. A file dialog closed without a choice ends its command with nothing changed.
#include <QListWidget>
#include <QString>
#include <QUndoStack>
#include <new>
#include <string>
#include <utility>
#include <vector>

#include "app/code_page_dlg.h"
#include "app/exchange_commands.h"
#include "app/file_code_pages.h"
#include "app/main_dlg.h"
#include "app/new_file_dlg.h"
#include "app/strings.h"
#include "dlgfile/dlg_damage.h"
#include "dlgfile/dlg_save_over.h"
#include "interchange/text_import.h"
#include "platform/file_io.h"
#include "platform/path.h"
#include "platform/status.h"
#include "toolkit/code_page.h"
#include "toolkit/file_filter.h"
#include "toolkit/prompts.h"
#include "toolkit/wait_cursor.h"

namespace {

QString WithPath(const QString& text, const std::string& path) {
  return text.arg(toolkit::ToQString(path));
}

// A reason for the window: the core's words are bytes of the locale's code page (a path inside
// them may be Korean), the system's are too.
QString ReasonText(const platform::Status& status) {
  return toolkit::ToQString(status.Text());
}

}  // namespace

bool CMainDlg::ConfirmDiscard() {
  // As the close request does: a game name or a multi-line box changed in its field is a change.
  TakeFieldsQuietly();
  const CDlgFile& document = context_.document;
  if (multiLine_ != (document.GetMultiLine() != 0) || document.GetGameName() != gameName_.c_str()) {
    SetModified(true);
    RefreshTitle();
  }
  return !modified_ ||
         prompts().AskYesNo(this, Tr(strings::kQuitQuestion), Tr(strings::kQuitCaption));
}

void CMainDlg::OnNew() {
  if (!ConfirmDiscard()) return;
  CNewFileDlg dialog(prompts(), this);
  dialog.expression = true;
  dialog.speaker = true;
  dialog.sound = false;
  dialog.gameName = toolkit::FromQString(Tr(strings::kNewGameName));
  if (dialog.DoModal() != toolkit::kIdOk) return;
  CDlgFile& document = context_.document;
  document.Clear();
  // A new document is in the code page the window opened with, whatever the last file's was.
  toolkit::SetSystemCodeset(defaultCodeset_);
  document.SetColumns(dialog.speaker, dialog.expression, dialog.sound);
  document.SetGameName(dialog.gameName.c_str());
  document.SetMultiLine(0);
  plotList()->clear();
  gameName_ = dialog.gameName;
  multiLine_ = false;
  UpdateData(false);
  currentPath_.clear();
  SetModified(false);
  RefreshTitle();
  ResetHistory();
  RefreshButtons();
}

bool CMainDlg::ChooseFileIn(const toolkit::FileDialogRequest& request, std::string& folder,
                            std::string& chosen) {
  if (!prompts().ChooseFile(this, request, chosen)) return false;
  folder = platform::FolderOf(chosen);
  return true;
}

void CMainDlg::OnOpen() {
  if (!ConfirmDiscard()) return;
  std::string chosen;
  if (!ChooseFileIn(
          toolkit::OpenRequest(Tr(strings::kOpenTitle).toStdString(), toolkit::kDialogFilesFilter,
                               strings::kDialogueExt, currentPath_, dialogueFolder_),
          dialogueFolder_, chosen)) {
    return;
  }
  // A failed load has shown its message and left the window on the previous file.
  damagedPath_.clear();
  if (!LoadFile(chosen)) return;
  AnnounceDamage();
}

void CMainDlg::OnOpenInCodePage() {
  if (!ConfirmDiscard()) return;
  CCodePageDlg page(prompts(), this);
  page.codeset = toolkit::SystemCodePage().codeset();
  if (page.DoModal() != toolkit::kIdOk) return;
  std::string chosen;
  if (!ChooseFileIn(toolkit::OpenRequest(strings::kOpenTitle, toolkit::kDialogFilesFilter,
                                         strings::kDialogueExt, currentPath_, dialogueFolder_),
                    dialogueFolder_, chosen)) {
    return;
  }
  damagedPath_.clear();
  if (!LoadFile(chosen, page.codeset)) return;
  app::RememberCodeset(currentPath_, page.codeset);
  AnnounceDamage();
}

void CMainDlg::AnnounceDamage() {
  const std::vector<std::string> damage = DescribeDlgDamage(currentPath_.c_str());
  if (damage.empty()) return;
  damagedPath_ = currentPath_;
  std::string lost;
  for (const std::string& line : damage) lost += line + "\n";
  prompts().Message(this, Tr(strings::kDamagedOpened)
                              .arg(toolkit::ToQString(currentPath_), toolkit::ToQString(lost),
                                   toolkit::ToQString(currentPath_ + strings::kDamagedSuffix)));
}

bool CMainDlg::KeepDamagedOriginal() {
  if (damagedPath_.empty() || damagedPath_ != currentPath_) return true;
  // Never overwritten: a copy kept by an earlier session is the older, and so the better, one.
  const std::string kept = currentPath_ + strings::kDamagedSuffix;
  if (!platform::IdentifyFile(kept.c_str()).exists &&
      !platform::CopyFileDurably(currentPath_.c_str(), kept.c_str())) {
    const platform::Status status = platform::Status::SystemFailure("cannot keep " + kept);
    prompts().MessageWithDetail(this, WithPath(Tr(strings::kSaveError), currentPath_),
                                ReasonText(status));
    return false;
  }
  damagedPath_.clear();
  return true;
}

void CMainDlg::OnSave() {
  if (currentPath_.empty()) {
    OnSaveAs();
    return;
  }
  (void)SaveFile();
}

void CMainDlg::OnSaveAs() {
  std::string chosen;
  if (!ChooseFileIn(
          toolkit::SaveRequest(Tr(strings::kSaveAsTitle).toStdString(), toolkit::kDialogFilesFilter,
                               strings::kDialogueExt, currentPath_, dialogueFolder_),
          dialogueFolder_, chosen)) {
    return;
  }
  // The chosen file becomes the current one only once it holds the document.
  std::string previous = std::move(currentPath_);
  currentPath_ = std::move(chosen);
  if (!SaveFile()) {
    currentPath_ = std::move(previous);
    RefreshTitle();
  }
}

bool CMainDlg::SaveFile() {
  // A field that fails its check has shown its prompt and holds the focus; nothing is written
  // until the user has mended it.
  if (!UpdateData(true)) return false;
  CDlgFile& document = context_.document;
  document.SetGameName(gameName_.c_str());
  document.SetMultiLine(multiLine_ ? 1 : 0);
  // Another program may have written or replaced the file since it was read (dlgtool, git
  // checkout, an editor that saves by rename); overwriting that is the user's choice, not a silent
  // loss. The policy is the core's, shared with dlgtool (dlgfile/dlg_save_over.h). The backup is
  // found before this save writes: a backup it makes itself is gone again when it succeeds.
  const SaveOverState state = InspectSaveOver(document, currentPath_.c_str(), false);
  platform::FileIdentity expected = document.LoadedFile();
  if (state.changedOnDisk) {
    if (!prompts().AskYesNo(this, WithPath(Tr(strings::kChangedOnDisk), currentPath_),
                            Tr(strings::kQuitCaption))) {
      return false;
    }
    expected = platform::IdentifyFileForReading(currentPath_.c_str());  // what the user accepted
  }
  if (!KeepDamagedOriginal()) return false;
  const std::string& keptBackup = state.keptBackup;
  int saved = 0;
  platform::Status status;
  {
    toolkit::WaitCursor wait;
    // Checked again right before the rename: a change made while saving is not lost either.
    saved = SaveOver(document, currentPath_.c_str(), expected, status);
  }
  if (!keptBackup.empty()) {
    prompts().Message(this,
                      Tr(strings::kSaveBackupKept)
                          .arg(toolkit::ToQString(currentPath_), toolkit::ToQString(keptBackup)));
  }
  // The writer replaces the file only once the new one is complete: on failure the previous file
  // is intact, and the modified flag stays as it was so that the close request still asks.
  if (!saved) {
    prompts().MessageWithDetail(this, WithPath(Tr(strings::kSaveError), currentPath_),
                                ReasonText(status));
    return false;
  }
  versionNumber_ = document.GetVersion();
  RecordTypedGameName();  // the name saved is part of the saved state
  undoStack()->setClean();
  SetModified(false);
  RefreshTitle();
  return true;
}

void CMainDlg::OnImport() {
  if (!ChooseFileIn(
          toolkit::OpenRequest(Tr(strings::kImportTitle).toStdString(), app::kExchangeTextFilter,
                               strings::kTextExt, importPath_, textFolder_),
          textFolder_, importPath_)) {
    return;
  }
  (void)ImportText();
}

bool CMainDlg::ImportText() {
  CDlgFile& document = context_.document;
  if (document.GetLines().IsEmpty()) {
    prompts().Message(this, Tr(strings::kImportIntoEmpty));
    return false;
  }
  // A file without a single entry (another form, UTF-16) is a failure, not "imported".
  ImportCounts counts;
  bool imported = false;
  // The texts as they were, to record what the import changed as one step of the history.
  FieldsSnapshot before;
  try {
    before = TakeFieldsSnapshot(document);
  } catch (const std::bad_alloc&) {
    // Nothing imported: an import that could not be undone is not started.
    ShowOutOfMemoryTolerant([&] {
      prompts().MessageWithDetail(
          this, WithPath(Tr(strings::kImportError), importPath_),
          ReasonText(platform::Status::Failure("out of memory; the texts are as they were")));
    });
    return false;
  }
  platform::Status status;
  bool outOfMemory = false;
  {
    toolkit::WaitCursor wait;  // a big script takes longer than a click should
    try {
      if (app::IsExchangeFile(importPath_)) {
        imported = app::ImportExchangeFile(document, importPath_, status);
      } else {
        imported = ::ImportText(document, importPath_.c_str(), counts, status);
        if (imported && counts.matched + counts.logged == 0) {
          imported = false;
          status = platform::Status::Failure("the file holds no entry of the text form");
        }
      }
    } catch (const std::bad_alloc&) {
      imported = false;
      outOfMemory = true;
      status = platform::Status::Failure("out of memory; the texts are as they were");
    }
  }
  if (!imported) {
    // Whatever a failed import changed is one step that can be undone; out of memory it is put
    // back at once, as the message says.
    if (outOfMemory) {
      // In place, from the snapshot: a list of edits is more memory that may not be there.
      (void)RestoreFieldsSnapshot(document, before);
    } else {
      try {
        PushLineEdits(EditsSince(document, before));
      } catch (const std::bad_alloc&) {
        ClearHistoryKeepingModified();
      }
    }
    ShowOutOfMemoryTolerant([&] {
      prompts().MessageWithDetail(this, WithPath(Tr(strings::kImportError), importPath_),
                                  ReasonText(status));
    });
    return false;
  }
  // Marked first: whatever runs out of memory below, closing the window still asks.
  SetModified(true);
  try {
    PushLineEdits(EditsSince(document, before));
  } catch (const std::bad_alloc&) {
    ClearHistoryKeepingModified();  // the import stays; the history before it cannot be kept
  }
  ShowOutOfMemoryTolerant([&] {
    RefreshTitle();
    prompts().Message(this, Tr(strings::kImported));
  });
  return true;
}

void CMainDlg::ClearHistoryKeepingModified() {
  // Clearing makes the history clean, which would clear the modified mark of a changed document.
  const bool modified = modified_;
  try {
    undoStack()->clear();
  } catch (const std::bad_alloc&) {
  }
  SetModified(modified);
}

void CMainDlg::ShowOutOfMemoryTolerant(const std::function<void()>& show) {
  try {
    show();
  } catch (const std::bad_alloc&) {
    // The command is done (or undone) and the document consistent; only what it would have
    // shown did not fit in memory.
  }
}

void CMainDlg::OnExport() {
  if (!ChooseFileIn(
          toolkit::SaveRequest(Tr(strings::kExportTitle).toStdString(), app::kExchangeTextFilter,
                               strings::kTextExt, exportPath_, textFolder_),
          textFolder_, exportPath_)) {
    return;
  }
  (void)ExportText();
}

bool CMainDlg::ExportText() {
  // PO, XLIFF and CSV are translation formats: the question of the plain text forms is not asked.
  const bool exchangeFile = app::IsExchangeFile(exportPath_);
  const bool recording = !exchangeFile && !prompts().AskYesNo(this, Tr(strings::kExportQuestion),
                                                              Tr(strings::kExportCaption));
  bool exported = false;
  platform::Status status;
  {
    toolkit::WaitCursor
        wait;  // after the question: the cursor waits only while the file is written
    const long replaced = platform::ReplacedFileCount();
    try {
      exported = exchangeFile ? app::ExportExchangeFile(context_.document, exportPath_,
                                                        currentPath_, status)
                              : context_.document.Export(exportPath_.c_str(), recording, status);
    } catch (const std::bad_alloc&) {
      exported = false;
      // Files are replaced whole or not at all: say which, as the file may already be there.
      status = platform::Status::Failure(
          platform::ReplacedFileCount() != replaced
              ? "out of memory after the file was written (whole); the rest was not done"
              : "out of memory; the file was not written");
    }
  }
  if (!exported) {
    ShowOutOfMemoryTolerant([&] {
      prompts().MessageWithDetail(this, WithPath(Tr(strings::kExportError), exportPath_),
                                  ReasonText(status));
    });
    return false;
  }
  ShowOutOfMemoryTolerant([&] { prompts().Message(this, Tr(strings::kExported)); });
  return true;
}
