// The one main() of the UI test binary: one QApplication for every test.
//
// CTest's test discovery runs this binary too, outside any display, so the offscreen platform is
// forced unless the caller chose another.
#include <gtest/gtest.h>

#include <QApplication>
#include <QSettings>
#include <QTemporaryDir>
#include <clocale>
#include <cstdlib>

int main(int argc, char** argv) {
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  std::setlocale(LC_ALL, "");
  QApplication app(argc, argv);
  // What the program remembers (the code page of each file) goes to a folder of this run's own.
  QTemporaryDir settings;
  QSettings::setDefaultFormat(QSettings::IniFormat);
  QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, settings.path());
  app.setOrganizationName(QStringLiteral("ParlatrixTests"));
  testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
