#include "toolkit/prompts.h"

#include <unistd.h>

#include <QString>
#include <cerrno>
#include <utility>

#include "platform/path.h"

namespace toolkit {

void Prompts::Message(QWidget* parent, const QString& text, const QString& caption) {
  ShowMessage(parent, text, caption.isEmpty() ? QString::fromUtf8(kAppName) : caption, QString());
}

void Prompts::MessageWithDetail(QWidget* parent, const QString& text, const QString& detail) {
  ShowMessage(parent, text, QString::fromUtf8(kAppName), detail);
}

void Prompts::Message(QWidget* parent, const QString& text) {
  Message(parent, text, QString());
}

bool Prompts::AskYesNo(QWidget* parent, const QString& text, const QString& caption) {
  return ShowQuestion(parent, text, caption.isEmpty() ? QString::fromUtf8(kAppName) : caption);
}

namespace {

FileDialogRequest Request(FileDialogKind kind, std::string title, std::string filter,
                          std::string defaultExt, std::string fileName, std::string folder) {
  FileDialogRequest request;
  request.kind = kind;
  request.title = std::move(title);
  request.filter = std::move(filter);
  request.defaultExt = std::move(defaultExt);
  request.fileName = std::move(fileName);
  request.folder = std::move(folder);
  request.mustExist = kind == FileDialogKind::kOpen;
  request.askReplace = kind == FileDialogKind::kSave;
  request.hideReadOnly = true;
  return request;
}

}  // namespace

FileDialogRequest OpenRequest(std::string title, std::string filter, std::string defaultExt,
                              std::string fileName, std::string folder) {
  return Request(FileDialogKind::kOpen, std::move(title), std::move(filter), std::move(defaultExt),
                 std::move(fileName), std::move(folder));
}

FileDialogRequest SaveRequest(std::string title, std::string filter, std::string defaultExt,
                              std::string fileName, std::string folder) {
  return Request(FileDialogKind::kSave, std::move(title), std::move(filter), std::move(defaultExt),
                 std::move(fileName), std::move(folder));
}

bool Prompts::ChooseFile(QWidget* parent, const FileDialogRequest& request, std::string& path) {
  std::string chosen;
  if (!ShowFileDialog(parent, request, chosen) || chosen.empty()) return false;
  if (chosen[0] != '/') {
    std::string base = request.folder.empty() ? platform::CurrentDirectory() : request.folder;
    if (!base.empty() && base.back() != '/') base += '/';
    chosen = base + chosen;
  }
  chosen = platform::WithDefaultExtension(chosen, request.defaultExt);
  // A folder that cannot be entered leaves the current directory where it was; the path still
  // names the chosen file.
  if (chdir(platform::FolderOf(chosen).c_str()) != 0) errno = 0;
  path = chosen;
  return true;
}

}  // namespace toolkit
