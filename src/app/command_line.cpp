#include "app/command_line.h"

#include <QCommandLineParser>
#include <algorithm>

#include "toolkit/code_page.h"

namespace app {

namespace {

// The usage is built without an application object: --help must work where no window can open.
QString Usage(const QCommandLineParser&) {
  return QStringLiteral(
      "Usage: parlatrix [options] [FILE]\n"
      "The dialogue editor: opens FILE (a .dlg file) when one is given.\n"
      "\n"
      "Options:\n"
      "  -h, --help               Displays this help and exits.\n"
      "  -v, --version            Displays the version and exits.\n"
      "  --encoding <CODEPAGE>    Reads and writes the texts of FILE in CODEPAGE (CP949, GBK,\n"
      "                           UTF-8, ...) whatever the locale; remembered for the file.\n"
      "  --language <en|original> The interface language of this run: en for English,\n"
      "                           original for the original texts (remembered otherwise).\n"
      "  --                       Ends the options (for a FILE that begins with a dash).\n"
      "\n"
      "Arguments:\n"
      "  FILE                     The file to open; words the shell split are joined with\n"
      "                           single blanks, so an unquoted path with blanks is one path.\n");
}

// The options QApplication takes out of the command line itself (QGuiApplication's and
// QApplication's, as Qt documents them).
bool IsQtOption(const QString& name) {
  static const QStringList kQtOptions = {
      QStringLiteral("platform"),      QStringLiteral("platformpluginpath"),
      QStringLiteral("platformtheme"), QStringLiteral("plugin"),
      QStringLiteral("qmljsdebugger"), QStringLiteral("qwindowgeometry"),
      QStringLiteral("qwindowicon"),   QStringLiteral("qwindowtitle"),
      QStringLiteral("reverse"),       QStringLiteral("session"),
      QStringLiteral("style"),         QStringLiteral("stylesheet"),
      QStringLiteral("widgetcount"),   QStringLiteral("display"),
      QStringLiteral("geometry"),      QStringLiteral("title"),
      QStringLiteral("name"),          QStringLiteral("visual"),
      QStringLiteral("ncols"),         QStringLiteral("cmap"),
      QStringLiteral("nograb"),        QStringLiteral("dograb"),
      QStringLiteral("sync"),          QStringLiteral("fn"),
      QStringLiteral("font"),          QStringLiteral("bg"),
      QStringLiteral("background"),    QStringLiteral("fg"),
      QStringLiteral("foreground"),    QStringLiteral("btn"),
      QStringLiteral("button"),        QStringLiteral("im"),
      QStringLiteral("inputstyle"),    QStringLiteral("testability"),
  };
  return kQtOptions.contains(name);
}

std::string Bytes(const QString& latin1) {
  const QByteArray bytes = latin1.toLatin1();
  return std::string(bytes.constData(), static_cast<size_t>(bytes.size()));
}

}  // namespace

QStringList ArgumentsOf(int argc, char** argv) {
  QStringList arguments;
  for (int i = 0; i < argc; ++i) arguments << QString::fromLatin1(argv[i]);
  return arguments;
}

CommandLine ParseCommandLine(const QStringList& arguments) {
  QCommandLineParser parser;
  parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
  const QCommandLineOption help({QStringLiteral("h"), QStringLiteral("help")},
                                QStringLiteral("Displays this help and exits."));
  const QCommandLineOption version({QStringLiteral("v"), QStringLiteral("version")},
                                   QStringLiteral("Displays the version and exits."));
  const QCommandLineOption encoding(QStringLiteral("encoding"),
                                    QStringLiteral("The code page of FILE's texts."),
                                    QStringLiteral("CODEPAGE"));
  parser.addOption(help);
  parser.addOption(version);
  parser.addOption(encoding);
  parser.addPositionalArgument(QStringLiteral("FILE"), QStringLiteral("The file to open."));

  CommandLine line;
  if (!parser.parse(arguments)) {
    line.action = CommandLine::Action::kError;
    const QStringList unknown = parser.unknownOptionNames();
    line.onlyQtOptions =
        !unknown.isEmpty() && std::all_of(unknown.begin(), unknown.end(), IsQtOption);
    line.output = parser.errorText() + QStringLiteral("\n\n") + Usage(parser);
    return line;
  }
  if (parser.isSet(help)) {
    line.action = CommandLine::Action::kHelp;
    line.output = Usage(parser);
    return line;
  }
  if (parser.isSet(version)) {
    line.action = CommandLine::Action::kVersion;
    line.output = QStringLiteral("parlatrix %1\n").arg(QString::fromLatin1(kEditorVersion));
    return line;
  }
  const QStringList words = parser.positionalArguments();
  line.path = Bytes(words.join(QLatin1Char(' ')));
  if (parser.isSet(encoding)) {
    line.encoding = Bytes(parser.value(encoding));
    if (!toolkit::IsKnownCodeset(line.encoding)) {
      line.action = CommandLine::Action::kError;
      line.output = QStringLiteral("Unknown code page: %1\n\n")
                        .arg(QString::fromLatin1(line.encoding.c_str())) +
                    Usage(parser);
      return line;
    }
    if (line.path.empty()) {
      line.action = CommandLine::Action::kError;
      line.output = QStringLiteral("--encoding names the code page of a FILE; none is given\n\n") +
                    Usage(parser);
      return line;
    }
  }
  return line;
}

}  // namespace app
