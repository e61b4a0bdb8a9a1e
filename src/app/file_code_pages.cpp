#include "app/file_code_pages.h"

#include <QByteArray>
#include <QFile>
#include <QFileInfo>
#include <QSettings>
#include <QString>

namespace app {
namespace {

// The absolute path (a file named relative on the command line and chosen in a dialog later is
// one file), percent-encoded: a path holds '/', which QSettings takes for a group separator.
QString Key(const std::string& path) {
  const QString name =
      QFile::decodeName(QByteArray(path.data(), static_cast<qsizetype>(path.size())));
  const QByteArray bytes = QFile::encodeName(QFileInfo(name).absoluteFilePath());
  return QStringLiteral("codePages/") + QString::fromLatin1(bytes.toPercentEncoding());
}

}  // namespace

std::string RememberedCodeset(const std::string& path) {
  if (path.empty()) return std::string();
  const QSettings settings;
  return settings.value(Key(path)).toString().toStdString();
}

void RememberCodeset(const std::string& path, const std::string& codeset) {
  if (path.empty()) return;
  QSettings settings;
  if (codeset.empty()) {
    settings.remove(Key(path));
  } else {
    settings.setValue(Key(path), QString::fromStdString(codeset));
  }
}

}  // namespace app
