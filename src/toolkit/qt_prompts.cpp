#include "toolkit/qt_prompts.h"

#include <QFileDialog>
#include <QMessageBox>
#include <QStringList>

#include "toolkit/code_page.h"
#include "toolkit/file_filter.h"

namespace toolkit {

void QtPrompts::ShowMessage(QWidget* parent, const QString& text, const QString& caption) {
  QMessageBox box(QMessageBox::NoIcon, caption, text, QMessageBox::Ok, parent);
  box.exec();
}

bool QtPrompts::ShowQuestion(QWidget* parent, const QString& text, const QString& caption) {
  QMessageBox box(QMessageBox::Question, caption, text, QMessageBox::Yes | QMessageBox::No, parent);
  box.setDefaultButton(QMessageBox::Yes);
  return box.exec() == QMessageBox::Yes;
}

bool QtPrompts::ShowFileDialog(QWidget* parent, const FileDialogRequest& request,
                               std::string& path) {
  QFileDialog dialog(parent, QString::fromUtf8(request.title), ToQString(request.folder));
  dialog.setAcceptMode(request.save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
  dialog.setFileMode(request.mustExist ? QFileDialog::ExistingFile : QFileDialog::AnyFile);
  dialog.setOption(QFileDialog::DontConfirmOverwrite, !request.askReplace);
  dialog.setNameFilters(ToQtNameFilters(request.filter));
  dialog.setDefaultSuffix(QString::fromUtf8(request.defaultExt));
  if (!request.fileName.empty()) dialog.selectFile(ToQString(request.fileName));
  if (dialog.exec() != QDialog::Accepted) return false;
  const QStringList files = dialog.selectedFiles();
  if (files.isEmpty()) return false;
  path = FromQString(files.first());
  return true;
}

}  // namespace toolkit
