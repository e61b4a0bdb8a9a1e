#include "toolkit/code_page.h"

#include <QString>

#include "platform/iconv_codec.h"

namespace toolkit {
namespace {

constexpr char kReplacementUtf8[] = "\xEF\xBF\xBD";

std::string& OverrideCodeset() {
  static std::string codeset;
  return codeset;
}

}  // namespace

CodePage::CodePage(std::string codeset) : codeset_(std::move(codeset)) {}

QString CodePage::ToQString(std::string_view bytes) const {
  platform::IconvCodec cd("UTF-8", codeset_);
  if (!cd.ok()) cd = platform::IconvCodec("UTF-8", "UTF-8");
  if (!cd.ok()) return QString::fromUtf8(bytes.data(), static_cast<qsizetype>(bytes.size()));
  std::string utf8 = cd.ConvertReplacing(bytes, kReplacementUtf8, platform::OneByte);
  return QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()));
}

std::string CodePage::FromQString(const QString& text) const {
  QByteArray utf8 = text.toUtf8();
  const platform::IconvCodec cd(codeset_, "UTF-8");
  if (!cd.ok()) return std::string(utf8.constData(), utf8.size());
  return cd.ConvertReplacing(std::string_view(utf8.constData(), utf8.size()), "?",
                             platform::Utf8SequenceLength);
}

QString CodePage::Unencodable(const QString& text) const {
  QString found;
  // A replacement mark stands for bytes the code page could not decode when the text was shown:
  // writing the mark would lose them, in any code page.
  if (text.contains(QChar::ReplacementCharacter)) found += QChar::ReplacementCharacter;
  const platform::IconvCodec cd(codeset_, "UTF-8");
  if (!cd.ok()) return found;
  const QByteArray utf8 = text.toUtf8();
  std::string out;
  if (cd.Convert(std::string_view(utf8.constData(), static_cast<size_t>(utf8.size())), out)) {
    return found;
  }
  // Character by character, to name them (strict: a glibc fallback counts as not writable).
  for (qsizetype i = 0; i < text.size();) {
    const qsizetype n = text[i].isHighSurrogate() && i + 1 < text.size() ? 2 : 1;
    const QString character = text.mid(i, n);
    i += n;
    if (found.contains(character)) continue;
    const QByteArray bytes = character.toUtf8();
    if (!cd.Convert(std::string_view(bytes.constData(), static_cast<size_t>(bytes.size())), out)) {
      found += character;
    }
  }
  return found;
}

bool IsKnownCodeset(const std::string& codeset) {
  return !codeset.empty() && platform::IconvCodec(codeset, "UTF-8").ok() &&
         platform::IconvCodec("UTF-8", codeset).ok();
}

std::string LocaleCodeset() {
  return platform::LocaleCodeset();
}

const CodePage& SystemCodePage() {
  static CodePage page(LocaleCodeset());
  static std::string builtFor = page.codeset();
  const std::string wanted = OverrideCodeset().empty() ? LocaleCodeset() : OverrideCodeset();
  if (wanted != builtFor) {
    page = CodePage(wanted);
    builtFor = wanted;
  }
  return page;
}

void SetSystemCodeset(const std::string& codeset) {
  OverrideCodeset() = codeset;
}

QString ToQString(std::string_view bytes) {
  return SystemCodePage().ToQString(bytes);
}

std::string FromQString(const QString& text) {
  return SystemCodePage().FromQString(text);
}

int ByteLength(const QString& text) {
  return static_cast<int>(FromQString(text).size());
}

QString Unencodable(const QString& text) {
  return SystemCodePage().Unencodable(text);
}

}  // namespace toolkit
