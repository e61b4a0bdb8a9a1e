// parlatrix-screenshots DIR: writes the README's screenshots into DIR (make screenshots), on the
// offscreen platform unless the caller chose another.
#include <QApplication>
#include <clocale>
#include <cstdio>
#include <cstdlib>

#include "screenshots/screenshots.h"

int main(int argc, char** argv) {
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  std::setlocale(LC_ALL, "");
  QApplication app(argc, argv);
  if (argc != 2) {
    std::fprintf(stderr, "usage: parlatrix-screenshots DIR\n");
    return 2;
  }
  return WriteScreenshots(argv[1]);
}
