// parlatrix: the dialogue editor. `parlatrix [--encoding CODEPAGE] [--language en|original]
// [FILE]`,
// `--help`, `--version` (app/command_line.h).
#include <clocale>
#include <cstdio>
#include <string>

#include "app/command_line.h"
#include "app/editor_app.h"
#include "app/language_setting.h"

namespace {

int Print(std::FILE* stream, const QString& text, int code) {
  std::fputs(text.toLocal8Bit().constData(), stream);
  return code;
}

}  // namespace

int main(int argc, char** argv) {
  // Texts are bytes of the locale's code page; the locale must be in force before any is shown.
  std::setlocale(LC_ALL, "");
  // --language is taken out first: it chooses the language of the run, not a file.
  std::string language;
  std::string error;
  if (!app::TakeLanguageOption(argc, argv, language, error)) {
    std::fprintf(stderr, "parlatrix: %s\n", error.c_str());
    return 2;
  }
  using Action = app::CommandLine::Action;
  // --help and --version answer before a window system is asked for: they work without a display.
  // So are faults, unless they are Qt's own options, which the application object takes out.
  const app::CommandLine early = app::ParseCommandLine(app::ArgumentsOf(argc, argv));
  if (early.action == Action::kHelp || early.action == Action::kVersion) {
    return Print(stdout, early.output, 0);
  }
  if (early.action == Action::kError && !early.onlyQtOptions) return Print(stderr, early.output, 2);
  CEditorApp app(argc, argv);
  const app::CommandLine line = app::ParseCommandLine(app::ArgumentsOf(argc, argv));
  if (line.action == Action::kHelp || line.action == Action::kVersion) {
    return Print(stdout, line.output, 0);
  }
  if (line.action == Action::kError) return Print(stderr, line.output, 2);
  app.context().commandLine = line.path;
  app.context().commandLineCodeset = line.encoding;
  app.ChooseLanguage(language);
  app.InitInstance();
  return 0;
}
