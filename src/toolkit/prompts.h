// Prompts: message boxes and the standard open and save file dialogs, behind one interface.
//
// The running program uses QtPrompts; tests install ScriptedPrompts, which records every prompt and
// answers from a queue. What the platform's dialogs do around the answer is done here, for both:
// a chosen name without an extension gets the default extension, and the process's current
// directory moves to the chosen file's folder (the program looks for Parlatrix.ini and writes
// Parlatrix.log there).
#pragma once

#include <string>

class QString;
class QWidget;

namespace toolkit {

// The caption of message boxes that have no caption of their own.
inline constexpr char kAppName[] = "Parlatrix";

enum class FileDialogKind { kOpen, kSave };

struct FileDialogRequest {
  FileDialogKind kind = FileDialogKind::kOpen;
  std::string title;          // UTF-8
  std::string filter;         // "Description|pattern|Description|pattern||"
  std::string defaultExt;     // without the dot; appended to a chosen name that has no extension
  std::string fileName;       // pre-filled name, bytes of the code page (may hold a folder)
  std::string folder;         // starting folder, bytes; empty: the platform's default
  bool mustExist = false;     // the chosen file must exist
  bool askReplace = false;    // ask before choosing an existing file
  bool hideReadOnly = false;  // no read-only check box

  bool operator==(const FileDialogRequest&) const = default;
};

// The program's two kinds of file dialog, neither with a read-only check box: an open dialog
// takes only an existing file; a save dialog asks before choosing one that exists.
FileDialogRequest OpenRequest(std::string title, std::string filter, std::string defaultExt,
                              std::string fileName, std::string folder);
FileDialogRequest SaveRequest(std::string title, std::string filter, std::string defaultExt,
                              std::string fileName, std::string folder);

class Prompts {
 public:
  virtual ~Prompts() = default;

  // A message with an OK button; `caption` empty means kAppName.
  void Message(QWidget* parent, const QString& text, const QString& caption);
  void Message(QWidget* parent, const QString& text);
  // The same message with `detail` under it (the reason a failure had, in the system's words);
  // an empty detail shows the message alone.
  void MessageWithDetail(QWidget* parent, const QString& text, const QString& detail);

  // A question with a question icon and the buttons Yes and No; true for Yes.
  [[nodiscard]] bool AskYesNo(QWidget* parent, const QString& text, const QString& caption);

  // Shows the file dialog; on a choice, fills `path` with the chosen file's full path (bytes),
  // moves the current directory to its folder and returns true. Cancel returns false.
  [[nodiscard]] bool ChooseFile(QWidget* parent, const FileDialogRequest& request,
                                std::string& path);

 protected:
  // `detail` goes under the text (a message box's informative text); empty: none.
  virtual void ShowMessage(QWidget* parent, const QString& text, const QString& caption,
                           const QString& detail) = 0;
  virtual bool ShowQuestion(QWidget* parent, const QString& text, const QString& caption) = 0;
  // Fills `path` with the name as chosen (full or relative to the starting folder).
  virtual bool ShowFileDialog(QWidget* parent, const FileDialogRequest& request,
                              std::string& path) = 0;
};

}  // namespace toolkit
