#include "toolkit/prompts.h"

#include <unistd.h>

#include <QString>
#include <cerrno>
#include <vector>

namespace toolkit {

void Prompts::Message(QWidget* parent, const QString& text, const QString& caption) {
  ShowMessage(parent, text, caption.isEmpty() ? QString::fromUtf8(kAppName) : caption);
}

void Prompts::Message(QWidget* parent, const QString& text) {
  Message(parent, text, QString());
}

bool Prompts::AskYesNo(QWidget* parent, const QString& text, const QString& caption) {
  return ShowQuestion(parent, text, caption.isEmpty() ? QString::fromUtf8(kAppName) : caption);
}

bool Prompts::ChooseFile(QWidget* parent, const FileDialogRequest& request, std::string& path) {
  std::string chosen;
  if (!ShowFileDialog(parent, request, chosen) || chosen.empty()) return false;
  if (chosen[0] != '/') {
    std::string base = request.folder.empty() ? CurrentDirectory() : request.folder;
    if (!base.empty() && base.back() != '/') base += '/';
    chosen = base + chosen;
  }
  chosen = WithDefaultExtension(chosen, request.defaultExt);
  // A folder that cannot be entered leaves the current directory where it was; the path still
  // names the chosen file.
  if (chdir(FolderOf(chosen).c_str()) != 0) errno = 0;
  path = chosen;
  return true;
}

std::string WithDefaultExtension(const std::string& name, const std::string& ext) {
  if (ext.empty()) return name;
  size_t slash = name.find_last_of('/');
  size_t start = slash == std::string::npos ? 0 : slash + 1;
  if (name.find('.', start) != std::string::npos || start == name.size()) return name;
  return name + "." + ext;
}

std::string FolderOf(const std::string& path) {
  size_t slash = path.find_last_of('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return path.substr(0, slash);
}

std::string CurrentDirectory() {
  std::vector<char> buffer(256);
  while (getcwd(buffer.data(), buffer.size()) == nullptr) {
    if (errno != ERANGE) return std::string();
    buffer.resize(buffer.size() * 2);
  }
  return std::string(buffer.data());
}

}  // namespace toolkit
