// The one main() of the UI test binary: one QApplication for every test.
//
// CTest's test discovery runs this binary too, outside any display, so the offscreen platform is
// forced unless the caller chose another.
#include <gtest/gtest.h>

#include <QApplication>
#include <clocale>
#include <cstdlib>

int main(int argc, char** argv) {
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  // The user's settings (the remembered interface language) go to a folder of this run, never
  // into the home folder.
  char settings[] = "/tmp/parlatrix-ui-tests-XXXXXX";
  if (mkdtemp(settings) != nullptr) setenv("XDG_CONFIG_HOME", settings, 1);
  std::setlocale(LC_ALL, "");
  QApplication app(argc, argv);
  // What the program remembers (the code page of each file) goes to that folder too.
  app.setOrganizationName(QStringLiteral("ParlatrixTests"));
  testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
