// The prompts of the running program: QMessageBox and QFileDialog.
#pragma once

#include "toolkit/prompts.h"

namespace toolkit {

class QtPrompts : public Prompts {
 protected:
  void ShowMessage(QWidget* parent, const QString& text, const QString& caption,
                   const QString& detail) override;
  bool ShowQuestion(QWidget* parent, const QString& text, const QString& caption) override;
  bool ShowFileDialog(QWidget* parent, const FileDialogRequest& request,
                      std::string& path) override;
};

}  // namespace toolkit
