// parlatrix-bench-peer DIR LINES: writes the files of the msgfmt comparison into DIR:
//   script.dlg       a generated script of LINES lines
//   translation.txt  every line translated, in the translation form that dlgtool import reads
//   messages.po      the same originals and translations as a gettext catalogue
#include <cstdio>
#include <cstdlib>
#include <string>

#include "script_generator.h"

int main(int argc, char** argv) {
  if (argc != 3 || std::atoi(argv[2]) <= 0) {
    std::fprintf(stderr, "usage: parlatrix-bench-peer DIR LINES\n");
    return 2;
  }
  const std::string dir = argv[1];
  bench::Script script = bench::GenerateScript(std::atoi(argv[2]), 20240601u);
  CDlgFile doc;
  if (!bench::BuildDocument(script, doc) || doc.Save((dir + "/script.dlg").c_str()) != 1) {
    std::fprintf(stderr, "parlatrix-bench-peer: cannot write %s/script.dlg\n", dir.c_str());
    return 1;
  }
  const bench::Translation translation = bench::TranslateAll(doc, 7u);
  if (!bench::WriteTranslationFile(doc, translation, dir + "/translation.txt") ||
      !bench::WritePoFile(doc, translation, dir + "/messages.po")) {
    std::fprintf(stderr, "parlatrix-bench-peer: cannot write into %s\n", dir.c_str());
    return 1;
  }
  return 0;
}
