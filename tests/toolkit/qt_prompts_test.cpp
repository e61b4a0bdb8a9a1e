// The prompts of the running program, driven through the real Qt dialogs.
#include "toolkit/qt_prompts.h"

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QFileDialog>
#include <QCoreApplication>
#include <QLocale>
#include <QMessageBox>
#include <QTranslator>
#include <vector>
#include <QTimer>
#include <functional>

#include "platform/path.h"
#include "support/temp_dir.h"
#include "support/ui/modal_dialogs.h"
#include "toolkit/file_filter.h"
#include "toolkit/qt_translations.h"

namespace {

TEST(QtPrompts, MessageHasTheAppNameAsCaptionAndOneOkButton) {
  toolkit::QtPrompts prompts;
  QString text, caption;
  QMessageBox::StandardButtons buttons;
  QMessageBox::Icon icon = QMessageBox::Critical;
  OnNextDialog<QMessageBox>([&](QMessageBox& box) {
    text = box.text();
    caption = box.windowTitle();
    buttons = box.standardButtons();
    icon = box.icon();
    box.button(QMessageBox::Ok)->click();
  });
  prompts.Message(nullptr, QString::fromUtf8("文件导入成功！"));
  EXPECT_EQ(text, QString::fromUtf8("文件导入成功！"));
  EXPECT_EQ(caption, QStringLiteral("Parlatrix"));
  EXPECT_EQ(buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
  EXPECT_EQ(icon, QMessageBox::NoIcon);
}

TEST(QtPrompts, QuestionHasAQuestionIconYesAndNo) {
  toolkit::QtPrompts prompts;
  QMessageBox::StandardButtons buttons;
  QMessageBox::Icon icon = QMessageBox::NoIcon;
  QString caption;
  OnNextDialog<QMessageBox>([&](QMessageBox& box) {
    buttons = box.standardButtons();
    icon = box.icon();
    caption = box.windowTitle();
    box.button(QMessageBox::No)->click();
  });
  EXPECT_FALSE(prompts.AskYesNo(nullptr, QStringLiteral("?"), QString::fromUtf8("警告")));
  EXPECT_EQ(buttons, QMessageBox::Yes | QMessageBox::No);
  EXPECT_EQ(icon, QMessageBox::Question);
  EXPECT_EQ(caption, QString::fromUtf8("警告"));
  OnNextDialog<QMessageBox>([](QMessageBox& box) { box.button(QMessageBox::Yes)->click(); });
  EXPECT_TRUE(prompts.AskYesNo(nullptr, QStringLiteral("?"), QString::fromUtf8("警告")));
}

TEST(QtPrompts, OpenDialogIsSetUpFromTheRequestAndMovesTheCurrentDirectory) {
  TempDir temp;
  ScopedCurrentDir cd("/");
  const std::string file = temp.File("game.dlg");
  WriteFileBytes(file, "x");
  toolkit::FileDialogRequest request;
  request.title = "대화 파일 열기";
  request.filter = toolkit::kDialogFilesFilter;
  request.defaultExt = "dlg";
  request.folder = temp.path();
  request.mustExist = true;
  QString title, directory, suffix;
  QStringList filters;
  QFileDialog::FileMode mode = QFileDialog::AnyFile;
  QFileDialog::AcceptMode accept = QFileDialog::AcceptSave;
  OnNextDialog<QFileDialog>([&](QFileDialog& dialog) {
    title = dialog.windowTitle();
    directory = dialog.directory().absolutePath();
    suffix = dialog.defaultSuffix();
    filters = dialog.nameFilters();
    mode = dialog.fileMode();
    accept = dialog.acceptMode();
    dialog.selectFile(QString::fromStdString(file));
    static_cast<QDialog&>(dialog).accept();  // QFileDialog narrows accept() to protected
  });
  toolkit::QtPrompts prompts;
  std::string chosen;
  ASSERT_TRUE(prompts.ChooseFile(nullptr, request, chosen));
  EXPECT_EQ(chosen, file);
  EXPECT_EQ(title, QString::fromUtf8("대화 파일 열기"));
  EXPECT_EQ(directory, QString::fromStdString(temp.path()));
  EXPECT_EQ(suffix, QStringLiteral("dlg"));
  EXPECT_EQ(filters, QStringList({"Dialog Files (*.dlg)", "All Files (*)"}));
  EXPECT_EQ(mode, QFileDialog::ExistingFile);
  EXPECT_EQ(accept, QFileDialog::AcceptOpen);
  EXPECT_EQ(platform::CurrentDirectory(), temp.path());
}

TEST(QtPrompts, SaveDialogAsksBeforeReplacingOnlyWhenTold) {
  TempDir temp;
  ScopedCurrentDir cd(temp.path());
  toolkit::FileDialogRequest request;
  request.kind = toolkit::FileDialogKind::kSave;
  request.askReplace = true;
  request.fileName = temp.File("out.txt");
  bool confirms = false;
  OnNextDialog<QFileDialog>([&](QFileDialog& dialog) {
    confirms = !dialog.testOption(QFileDialog::DontConfirmOverwrite);
    dialog.reject();
  });
  toolkit::QtPrompts prompts;
  std::string chosen;
  EXPECT_FALSE(prompts.ChooseFile(nullptr, request, chosen));
  EXPECT_TRUE(confirms);
}

TEST(QtPrompts, MessagesAndQuestionsShowNamesAsPlainText) {
  toolkit::QtPrompts prompts;
  std::vector<Qt::TextFormat> formats;
  std::vector<QString> texts;
  auto answer = [&](QMessageBox& box) {
    formats.push_back(box.textFormat());
    texts.push_back(box.text());
    box.button(box.standardButtons() & QMessageBox::Ok ? QMessageBox::Ok : QMessageBox::No)
        ->click();
  };
  OnNextDialog<QMessageBox>(answer);
  prompts.Message(nullptr, QStringLiteral("<b>x</b>"));
  OnNextDialog<QMessageBox>(answer);
  (void)prompts.AskYesNo(nullptr, QStringLiteral("<i>/tmp/a&amp;b</i>"), QStringLiteral("c"));
  EXPECT_EQ(formats, (std::vector<Qt::TextFormat>{Qt::PlainText, Qt::PlainText}));
  EXPECT_EQ(texts, (std::vector<QString>{QStringLiteral("<b>x</b>"),
                                         QStringLiteral("<i>/tmp/a&amp;b</i>")}));
}

TEST(QtTranslations, QtsOwnTextsFollowTheLocale) {
  QCoreApplication& app = *QCoreApplication::instance();
  ASSERT_TRUE(toolkit::InstallQtTranslations(app, QLocale(QLocale::Korean, QLocale::SouthKorea)));
  // The standard buttons' texts, as QMessageBox and QDialogButtonBox take them.
  EXPECT_EQ(QCoreApplication::translate("QPlatformTheme", "Cancel"), QString::fromUtf8("취소"));
  EXPECT_FALSE(toolkit::InstallQtTranslations(app, QLocale(QLocale::Esperanto)));
  for (QTranslator* translator : app.findChildren<QTranslator*>()) {
    QCoreApplication::removeTranslator(translator);
    delete translator;
  }
  EXPECT_EQ(QCoreApplication::translate("QPlatformTheme", "Cancel"), QStringLiteral("Cancel"));
}

}  // namespace
