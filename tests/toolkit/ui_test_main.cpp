// The one main() of the UI test binary: one QApplication for every test.
//
// CTest's test discovery runs this binary too, outside any display, so the offscreen platform is
// forced unless the caller chose another. With --screenshots=DIR the binary writes the README's
// screenshots into DIR instead of running tests.
#include <gtest/gtest.h>

#include <QApplication>
#include <clocale>
#include <cstdlib>
#include <cstring>
#include <string>

#include "app/screenshots.h"

int main(int argc, char** argv) {
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  std::setlocale(LC_ALL, "");
  QApplication app(argc, argv);
  constexpr char kScreenshots[] = "--screenshots=";
  for (int i = 1; i < argc; ++i) {
    if (std::strncmp(argv[i], kScreenshots, sizeof(kScreenshots) - 1) == 0) {
      return WriteScreenshots(argv[i] + sizeof(kScreenshots) - 1);
    }
  }
  testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
