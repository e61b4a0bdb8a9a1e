#include "toolkit/qt_prompts.h"

#include <QFile>
#include <QFileDialog>
#include <QLabel>
#include <QMessageBox>
#include <QStringList>

#include "toolkit/file_filter.h"

namespace toolkit {

void QtPrompts::ShowMessage(QWidget* parent, const QString& text, const QString& caption,
                            const QString& detail) {
  QMessageBox box(QMessageBox::NoIcon, caption, text, QMessageBox::Ok, parent);
  // Texts carry names and paths the user chose; markup in them is shown, never interpreted.
  box.setTextFormat(Qt::PlainText);
  if (!detail.isEmpty()) {
    box.setInformativeText(detail);
    // The informative label guesses its format; a reason may quote the file's own '<'.
    if (auto* label = box.findChild<QLabel*>(QStringLiteral("qt_msgbox_informativelabel"))) {
      label->setTextFormat(Qt::PlainText);
    }
  }
  box.exec();
}

bool QtPrompts::ShowQuestion(QWidget* parent, const QString& text, const QString& caption) {
  QMessageBox box(QMessageBox::Question, caption, text, QMessageBox::Yes | QMessageBox::No, parent);
  box.setTextFormat(Qt::PlainText);
  box.setDefaultButton(QMessageBox::Yes);
  return box.exec() == QMessageBox::Yes;
}

bool QtPrompts::ShowFileDialog(QWidget* parent, const FileDialogRequest& request,
                               std::string& path) {
  // Paths go to and from Qt in Qt's own file-name encoding, so that the file the dialog showed is
  // the file the program opens whatever the locale's code page for texts.
  QFileDialog dialog(parent, QString::fromUtf8(request.title),
                     QFile::decodeName(request.folder.c_str()));
  dialog.setAcceptMode(request.kind == FileDialogKind::kSave ? QFileDialog::AcceptSave
                                                             : QFileDialog::AcceptOpen);
  dialog.setFileMode(request.mustExist ? QFileDialog::ExistingFile : QFileDialog::AnyFile);
  dialog.setOption(QFileDialog::DontConfirmOverwrite, !request.askReplace);
  dialog.setNameFilters(ToQtNameFilters(request.filter));
  dialog.setDefaultSuffix(QString::fromUtf8(request.defaultExt));
  if (!request.fileName.empty()) dialog.selectFile(QFile::decodeName(request.fileName.c_str()));
  if (dialog.exec() != QDialog::Accepted) return false;
  const QStringList files = dialog.selectedFiles();
  if (files.isEmpty()) return false;
  const QByteArray name = QFile::encodeName(files.first());
  path.assign(name.constData(), static_cast<size_t>(name.size()));
  return true;
}

}  // namespace toolkit
