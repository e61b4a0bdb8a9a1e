#include "toolkit/code_page.h"

#include <iconv.h>
#include <langinfo.h>

#include <QString>
#include <algorithm>
#include <cerrno>
#include <memory>

namespace toolkit {
namespace {

constexpr char kReplacementUtf8[] = "\xEF\xBF\xBD";

struct IconvCloser {
  void operator()(void* cd) const { iconv_close(static_cast<iconv_t>(cd)); }
};
using IconvHandle = std::unique_ptr<void, IconvCloser>;

IconvHandle OpenIconv(const std::string& to, const std::string& from) {
  iconv_t cd = iconv_open(to.c_str(), from.c_str());
  if (cd == reinterpret_cast<iconv_t>(-1)) return nullptr;
  return IconvHandle(cd);
}

// Length of the UTF-8 sequence that `lead` starts; 1 for a stray continuation byte.
size_t Utf8SequenceLength(unsigned char lead) {
  if (lead >= 0xF0) return 4;
  if (lead >= 0xE0) return 3;
  if (lead >= 0xC0) return 2;
  return 1;
}

// Runs the whole input through `cd`. On a sequence the source code page rejects, appends
// `substitute`, skips `skip(byte)` input bytes and resets the converter's shift state.
template <typename Skip>
std::string Convert(iconv_t cd, std::string_view input, std::string_view substitute, Skip skip) {
  std::string out;
  char* in = const_cast<char*>(input.data());
  size_t inLeft = input.size();
  char buffer[256];
  while (inLeft > 0) {
    char* outPtr = buffer;
    size_t outLeft = sizeof(buffer);
    size_t result = iconv(cd, &in, &inLeft, &outPtr, &outLeft);
    out.append(buffer, outPtr - buffer);
    if (result != static_cast<size_t>(-1) || errno == E2BIG) continue;
    out.append(substitute);
    size_t n = std::min(inLeft, skip(static_cast<unsigned char>(*in)));
    in += n;
    inLeft -= n;
    iconv(cd, nullptr, nullptr, nullptr, nullptr);
  }
  char* outPtr = buffer;
  size_t outLeft = sizeof(buffer);
  iconv(cd, nullptr, nullptr, &outPtr, &outLeft);
  out.append(buffer, outPtr - buffer);
  return out;
}

std::string& OverrideCodeset() {
  static std::string codeset;
  return codeset;
}

}  // namespace

CodePage::CodePage(std::string codeset) : codeset_(std::move(codeset)) {}

QString CodePage::ToQString(std::string_view bytes) const {
  IconvHandle cd = OpenIconv("UTF-8", codeset_);
  if (cd == nullptr) cd = OpenIconv("UTF-8", "UTF-8");
  if (cd == nullptr) return QString::fromUtf8(bytes.data(), static_cast<qsizetype>(bytes.size()));
  std::string utf8 = Convert(static_cast<iconv_t>(cd.get()), bytes, kReplacementUtf8,
                             [](unsigned char) { return size_t{1}; });
  return QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()));
}

std::string CodePage::FromQString(const QString& text) const {
  QByteArray utf8 = text.toUtf8();
  IconvHandle cd = OpenIconv(codeset_, "UTF-8");
  if (cd == nullptr) return std::string(utf8.constData(), utf8.size());
  return Convert(static_cast<iconv_t>(cd.get()), std::string_view(utf8.constData(), utf8.size()),
                 "?", Utf8SequenceLength);
}

QString CodePage::Unencodable(const QString& text) const {
  QString found;
  // A replacement mark stands for bytes the code page could not decode when the text was shown:
  // writing the mark would lose them, in any code page.
  if (text.contains(QChar::ReplacementCharacter)) found += QChar::ReplacementCharacter;
  IconvHandle cd = OpenIconv(codeset_, "UTF-8");
  if (cd == nullptr) return found;
  QByteArray utf8 = text.toUtf8();
  char* in = utf8.data();
  size_t inLeft = static_cast<size_t>(utf8.size());
  char buffer[256];
  while (inLeft > 0) {
    char* outPtr = buffer;
    size_t outLeft = sizeof(buffer);
    const size_t result = iconv(static_cast<iconv_t>(cd.get()), &in, &inLeft, &outPtr, &outLeft);
    if (result != static_cast<size_t>(-1) || errno == E2BIG) continue;
    const size_t n = std::min(inLeft, Utf8SequenceLength(static_cast<unsigned char>(*in)));
    const QString character = QString::fromUtf8(in, static_cast<qsizetype>(n));
    if (!found.contains(character)) found += character;
    in += n;
    inLeft -= n;
    iconv(static_cast<iconv_t>(cd.get()), nullptr, nullptr, nullptr, nullptr);
  }
  return found;
}

bool IsKnownCodeset(const std::string& codeset) {
  return !codeset.empty() && OpenIconv(codeset, "UTF-8") != nullptr &&
         OpenIconv("UTF-8", codeset) != nullptr;
}

std::string LocaleCodeset() {
  std::string codeset = nl_langinfo(CODESET);
  if (codeset.empty() || codeset == "ANSI_X3.4-1968" || codeset == "ASCII" ||
      codeset == "US-ASCII") {
    return "UTF-8";
  }
  return codeset;
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
