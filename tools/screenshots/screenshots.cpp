#include "screenshots/screenshots.h"

#include <QApplication>
#include <QCheckBox>
#include <QFont>
#include <QFontMetrics>
#include <QIcon>
#include <QImage>
#include <QLineEdit>
#include <QPainter>
#include <QPixmap>
#include <QTreeWidget>
#include <cstdio>

#include "app/language_dlg.h"
#include "app/main_dlg.h"
#include "dialogs/about_box.h"
#include "dialogs/find_dlg.h"
#include "dialogs/lookup_dlg.h"
#include "screenshots/line_editor.h"
#include "support/temp_dir.h"
#include "support/ui/test_app_context.h"
#include "toolkit/icons.h"
#include "toolkit/qt_translations.h"

namespace {

QImage WithCaption(QWidget* window) {
  window->show();
  QApplication::processEvents();
  const QPixmap client = window->grab();
  QFont font = window->font();
  font.setBold(true);
  const int bar = QFontMetrics(font).height() + 12;
  QImage image(client.width() + 2, client.height() + bar + 1, QImage::Format_ARGB32);
  image.fill(QColor(0x3b, 0x4a, 0x5e));
  QPainter painter(&image);
  const int iconSize = bar - 8;
  painter.drawPixmap(6, 4, window->windowIcon().pixmap(iconSize, iconSize));
  painter.setFont(font);
  painter.setPen(Qt::white);
  painter.drawText(QRect(iconSize + 12, 0, image.width() - iconSize - 16, bar),
                   Qt::AlignVCenter | Qt::AlignLeft, window->windowTitle());
  painter.drawPixmap(1, bar, client);
  painter.end();
  return image;
}

}  // namespace

bool SaveScreenshot(QWidget* window, const std::string& dir, const char* name) {
  const std::string path = dir + "/" + name;
  if (WithCaption(window).save(QString::fromStdString(path))) return true;
  std::fprintf(stderr, "screenshots: cannot write %s\n", path.c_str());
  return false;
}

std::string ExamplesFolder(bool english) {
  return std::string(PARLATRIX_SOURCE_DIR) + (english ? "/examples/en" : "/examples");
}

int WriteScreenshots(const std::string& dir, bool english) {
  // From the examples folder, as `make run` starts the editor, so the title shows no build path.
  ScopedCurrentDir examples(ExamplesFolder(english));
  const std::string demo = "demo.dlg";
  TestAppContext app;
  app.context.commandLine = demo;
  CMainDlg main(app.context);
  main.InitDialog();
  bool ok = SaveScreenshot(&main, dir, "main-window.png");

  CAboutBox about(app.reader, app.prompts, &main);
  about.setWindowIcon(toolkit::MainIcon());
  about.InitDialog();
  ok = SaveScreenshot(&about, dir, "about.png") && ok;

  CLookupDlg lookup(app.reader, app.prompts, &about);
  lookup.setWindowIcon(toolkit::MainIcon());
  lookup.fileName = demo;
  lookup.InitDialog();
  lookup.ControlAs<QLineEdit>(CLookupDlg::kIdField)->setText(QStringLiteral("101"));
  lookup.OnQuery();
  ok = SaveScreenshot(&lookup, dir, "lookup.png") && ok;

  CFindDlg find(app.document, app.prompts, &main);
  find.setWindowIcon(toolkit::MainIcon());
  find.InitDialog();
  find.ControlAs<QLineEdit>(CFindDlg::kText)
      ->setText(QString::fromUtf8(english ? "Minjun" : "민준"));
  find.ControlAs<QLineEdit>(CFindDlg::kReplaceText)
      ->setText(QString::fromUtf8(english ? "Joon" : "준"));
  find.ControlAs<QCheckBox>(CFindDlg::kInSpeaker)->setChecked(true);
  find.OnSearch();
  find.resultList()->setCurrentItem(find.resultList()->topLevelItem(1));
  ok = SaveScreenshot(&find, dir, "find.png") && ok;
  CLanguageDlg language(app.prompts, &main);
  language.setWindowIcon(toolkit::MainIcon());
  language.language = toolkit::CurrentUiLanguage();
  language.InitDialog();
  ok = SaveScreenshot(&language, dir, "language.png") && ok;
  ok = WriteFileCommandScreenshots(dir) && ok;
  ok = WriteLineEditorScreenshot(dir, english) && ok;

  if (!app.prompts.records().empty()) {
    std::fprintf(stderr, "screenshots: unexpected message: %s\n",
                 app.prompts.records()[0].text.c_str());
    ok = false;
  }
  return ok ? 0 : 1;
}
