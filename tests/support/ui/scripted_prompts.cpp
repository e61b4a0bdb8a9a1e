#include "support/ui/scripted_prompts.h"

#include <QString>

namespace toolkit {

void ScriptedPrompts::QueueYes() {
  answers_.push_back({AnswerKind::kYes, {}});
}
void ScriptedPrompts::QueueNo() {
  answers_.push_back({AnswerKind::kNo, {}});
}
void ScriptedPrompts::QueueFile(const std::string& path) {
  answers_.push_back({AnswerKind::kFile, path});
}
void ScriptedPrompts::QueueCancel() {
  answers_.push_back({AnswerKind::kCancel, {}});
}

std::vector<std::string> ScriptedPrompts::Texts() const {
  std::vector<std::string> texts;
  for (const Record& r : records_) {
    if (r.kind != Kind::kFileDialog) texts.push_back(r.text);
  }
  return texts;
}

void ScriptedPrompts::Clear() {
  answers_.clear();
  records_.clear();
  errors_.clear();
}

const ScriptedPrompts::Record& ScriptedPrompts::Add(Record record) {
  records_.push_back(std::move(record));
  // The hook may open further prompts; hand it a copy that stays valid.
  Record shown = records_.back();
  if (onPrompt) onPrompt(shown);
  return records_.back();
}

bool ScriptedPrompts::Take(bool file, Answer& answer) {
  if (answers_.empty()) {
    errors_.push_back("no answer queued for: " + records_.back().text + records_.back().file.title);
    return false;
  }
  answer = answers_.front();
  bool fileAnswer = answer.kind == AnswerKind::kFile || answer.kind == AnswerKind::kCancel;
  if (fileAnswer != file) {
    errors_.push_back("queued answer does not fit: " + records_.back().text +
                      records_.back().file.title);
    return false;
  }
  answers_.pop_front();
  return true;
}

void ScriptedPrompts::ShowMessage(QWidget*, const QString& text, const QString& caption,
                                  const QString& detail) {
  Add({Kind::kMessage, text.toStdString(), caption.toStdString(), {}, detail.toStdString()});
}

bool ScriptedPrompts::ShowQuestion(QWidget*, const QString& text, const QString& caption) {
  Add({Kind::kQuestion, text.toStdString(), caption.toStdString(), {}});
  Answer answer;
  return Take(false, answer) && answer.kind == AnswerKind::kYes;
}

bool ScriptedPrompts::ShowFileDialog(QWidget*, const FileDialogRequest& request,
                                     std::string& path) {
  Add({Kind::kFileDialog, {}, {}, request});
  Answer answer;
  if (!Take(true, answer) || answer.kind != AnswerKind::kFile) return false;
  path = answer.path;
  return true;
}

void PrintTo(const FileDialogRequest& request, std::ostream* out) {
  *out << (request.kind == FileDialogKind::kSave ? "save" : "open") << " \"" << request.title
       << "\" filter \"" << request.filter << "\" ext \"" << request.defaultExt << "\" name \""
       << request.fileName << "\" folder \"" << request.folder << "\" mustExist "
       << request.mustExist << " askReplace " << request.askReplace << " hideReadOnly "
       << request.hideReadOnly;
}

}  // namespace toolkit
