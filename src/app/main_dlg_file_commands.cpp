// The file commands of the main window: New, Open, Save, Save As, Import, Export.
//
// None of them asks about unsaved changes. The dialogue folder (Open, Save As) and the text folder
// (Import, Export) are kept apart: each follows only the file dialogs of its own commands. A file
// dialog closed without a choice ends its command with nothing changed.
#include <QListWidget>
#include <QString>

#include "app/exchange_commands.h"
#include "app/main_dlg.h"
#include "app/new_file_dlg.h"
#include "toolkit/code_page.h"
#include "toolkit/file_filter.h"
#include "toolkit/prompts.h"

namespace {

constexpr char kNewGameName[] = "새 게임";

constexpr char kOpenTitle[] = "대화 파일 열기";
constexpr char kSaveAsTitle[] = "대화 파일 저장";
constexpr char kImportTitle[] = "텍스트 파일 열기";
constexpr char kExportTitle[] = "텍스트 파일 저장";
constexpr char kDialogueExt[] = "dlg";
constexpr char kTextExt[] = "txt";

constexpr char kSaveError[] = "(%1) 대화 파일 저장 오류!";
constexpr char kImportIntoEmpty[] = "数据不能导入到空文件中！";
constexpr char kImported[] = "文件导入成功！";
constexpr char kImportError[] = "导入文本文件错误(%1)!";
constexpr char kExportQuestion[] =
    "是否用于翻译？如果选择是，则导出多行文本，否则导出单行文本，用于录音。";
constexpr char kExportCaption[] = "导出";
constexpr char kExported[] = "文件导出成功！";
constexpr char kExportError[] = "导出文本文件错误(%1)!";

// Open dialogs accept only existing files; save dialogs ask before replacing one.
toolkit::FileDialogRequest FileRequest(bool save, const char* title, const char* filter,
                                       const char* defaultExt, const std::string& fileName,
                                       const std::string& folder) {
  toolkit::FileDialogRequest request;
  request.save = save;
  request.title = title;
  request.filter = filter;
  request.defaultExt = defaultExt;
  request.fileName = fileName;
  request.folder = folder;
  request.mustExist = !save;
  request.askReplace = save;
  request.hideReadOnly = true;
  return request;
}

QString WithPath(const char* text, const std::string& path) {
  return QString::fromUtf8(text).arg(toolkit::ToQString(path));
}

}  // namespace

void CMainDlg::OnNew() {
  CNewFileDlg dialog(prompts(), this);
  dialog.expression = true;
  dialog.speaker = true;
  dialog.sound = false;
  dialog.gameName = kNewGameName;
  if (dialog.DoModal() != toolkit::kIdOk) return;
  CDlgFile& document = context_.document;
  document.Clear();
  document.SetColumns(dialog.speaker, dialog.expression, dialog.sound);
  document.SetGameName(dialog.gameName.c_str());
  document.SetMultiLine(0);
  plotList()->clear();
  gameName = dialog.gameName;
  multiLine = false;
  UpdateData(false);
  currentPath.clear();
  SetModified(false);
  RefreshTitle();
  RefreshButtons();
}

void CMainDlg::OnOpen() {
  const toolkit::FileDialogRequest request = FileRequest(
      false, kOpenTitle, toolkit::kDialogFilesFilter, kDialogueExt, currentPath, dialogueFolder);
  std::string chosen;
  if (!prompts().ChooseFile(this, request, chosen)) return;
  // A failed load has shown its message and left the window on the previous file.
  (void)LoadFile(chosen);
  dialogueFolder = toolkit::FolderOf(chosen);
}

void CMainDlg::OnSave() {
  if (currentPath.empty()) {
    OnSaveAs();
    return;
  }
  (void)SaveFile();
}

void CMainDlg::OnSaveAs() {
  const toolkit::FileDialogRequest request = FileRequest(
      true, kSaveAsTitle, toolkit::kDialogFilesFilter, kDialogueExt, currentPath, dialogueFolder);
  std::string chosen;
  if (!prompts().ChooseFile(this, request, chosen)) return;
  currentPath = chosen;
  (void)SaveFile();
  dialogueFolder = toolkit::FolderOf(chosen);
}

bool CMainDlg::SaveFile() {
  // A field that fails its check has shown its prompt and holds the focus; nothing is written
  // until the user has mended it.
  if (!UpdateData(true)) return false;
  CDlgFile& document = context_.document;
  document.SetGameName(gameName.c_str());
  document.SetMultiLine(multiLine ? 1 : 0);
  // The writer replaces the file only once the new one is complete: on failure the previous file
  // is intact, and the modified flag stays as it was so that the close request still asks.
  if (!document.Save(currentPath.c_str())) {
    prompts().Message(this, WithPath(kSaveError, currentPath));
    return false;
  }
  versionNumber = document.GetVersion();
  SetModified(false);
  RefreshTitle();
  return true;
}

void CMainDlg::OnImport() {
  const toolkit::FileDialogRequest request =
      FileRequest(false, kImportTitle, app::kExchangeTextFilter, kTextExt, importPath, textFolder);
  std::string chosen;
  if (!prompts().ChooseFile(this, request, chosen)) return;
  importPath = chosen;
  (void)ImportText();
  textFolder = toolkit::FolderOf(chosen);
}

bool CMainDlg::ImportText() {
  CDlgFile& document = context_.document;
  if (document.GetLines().IsEmpty()) {
    prompts().Message(this, QString::fromUtf8(kImportIntoEmpty));
    return false;
  }
  const bool imported = app::IsExchangeFile(importPath)
                            ? app::ImportExchangeFile(document, importPath)
                            : document.Import(importPath.c_str());
  if (!imported) {
    prompts().Message(this, WithPath(kImportError, importPath));
    return false;
  }
  prompts().Message(this, QString::fromUtf8(kImported));
  SetModified(true);
  RefreshTitle();
  return true;
}

void CMainDlg::OnExport() {
  const toolkit::FileDialogRequest request =
      FileRequest(true, kExportTitle, app::kExchangeTextFilter, kTextExt, exportPath, textFolder);
  std::string chosen;
  if (!prompts().ChooseFile(this, request, chosen)) return;
  exportPath = chosen;
  (void)ExportText();
  textFolder = toolkit::FolderOf(chosen);
}

bool CMainDlg::ExportText() {
  // PO, XLIFF and CSV are translation formats: the question of the plain text forms is not asked.
  const bool exchangeFile = app::IsExchangeFile(exportPath);
  const bool exported =
      exchangeFile
          ? app::ExportExchangeFile(context_.document, exportPath, currentPath)
          : context_.document.Export(exportPath.c_str(),
                                     !prompts().AskYesNo(this, QString::fromUtf8(kExportQuestion),
                                                         QString::fromUtf8(kExportCaption)));
  if (!exported) {
    prompts().Message(this, WithPath(kExportError, exportPath));
    return false;
  }
  prompts().Message(this, QString::fromUtf8(kExported));
  return true;
}
