// Prompts for tests: every prompt is recorded, and answers come from a queue.
//
// A question takes the next queued Yes or No; a file dialog takes the next queued file or Cancel.
// When the queue is empty or its head does not fit the prompt, the prompt is answered with No or
// Cancel and a line is added to errors(), which a test checks to be empty. The `onPrompt` hook runs
// while a prompt is "on screen", before it is answered, so a test can look at the window then.
#pragma once

#include <deque>
#include <functional>
#include <ostream>
#include <string>
#include <vector>

#include "toolkit/prompts.h"

namespace toolkit {

class ScriptedPrompts : public Prompts {
 public:
  enum class Kind { kMessage, kQuestion, kFileDialog };

  struct Record {
    Kind kind;
    std::string text;        // UTF-8; message and question
    std::string caption;     // UTF-8; message and question
    FileDialogRequest file;  // file dialog
    std::string detail = {};  // UTF-8; the text under a message (a failure's reason)
  };

  void QueueYes();
  void QueueNo();
  // `path` is the name the user would choose (full, or relative to the starting folder).
  void QueueFile(const std::string& path);
  void QueueCancel();

  const std::vector<Record>& records() const { return records_; }
  const std::vector<std::string>& errors() const { return errors_; }
  bool QueueEmpty() const { return answers_.empty(); }
  // The texts of all messages and questions, in order.
  std::vector<std::string> Texts() const;
  void Clear();

  std::function<void(const Record&)> onPrompt;

 protected:
  void ShowMessage(QWidget* parent, const QString& text, const QString& caption,
                   const QString& detail) override;
  bool ShowQuestion(QWidget* parent, const QString& text, const QString& caption) override;
  bool ShowFileDialog(QWidget* parent, const FileDialogRequest& request,
                      std::string& path) override;

 private:
  enum class AnswerKind { kYes, kNo, kFile, kCancel };
  struct Answer {
    AnswerKind kind;
    std::string path;
  };

  const Record& Add(Record record);
  bool Take(bool file, Answer& answer);

  std::deque<Answer> answers_;
  std::vector<Record> records_;
  std::vector<std::string> errors_;
};

// How gtest shows a request when a whole-request comparison fails.
void PrintTo(const FileDialogRequest& request, std::ostream* out);

}  // namespace toolkit
