// Conversion between the document's byte strings and the QString that Qt widgets show.
//
// The document keeps every text as bytes of the system's multibyte code page, which on Linux is the
// codeset of the locale (nl_langinfo(CODESET) after setlocale(LC_ALL, "")). The plain C/POSIX
// locale reports ASCII; there, as in Qt itself, UTF-8 is used instead.
//
// Decoding never fails: a byte that does not start a valid sequence of the code page becomes one
// U+FFFD replacement mark and decoding goes on with the next byte. Encoding never fails either: a
// character that the code page cannot represent becomes '?'. Because decoding loses the bytes
// behind a replacement mark, the widget helpers in text_bytes.h keep the original bytes beside the
// shown text and hand them back unchanged while the user has not edited that text.
#pragma once

#include <string>
#include <string_view>

class QString;

namespace toolkit {

class CodePage {
 public:
  // `codeset` is a name iconv knows ("UTF-8", "EUC-KR", "GBK"). An unknown name behaves as UTF-8.
  explicit CodePage(std::string codeset);

  const std::string& codeset() const { return codeset_; }

  QString ToQString(std::string_view bytes) const;
  std::string FromQString(const QString& text) const;
  // The characters of `text` that this code page cannot represent (each once, in the order of
  // their first appearance); empty when FromQString would write every one of them as it is.
  QString Unencodable(const QString& text) const;

 private:
  std::string codeset_;
};

// platform::LocaleCodeset(): the locale's codeset as iconv names it, ASCII (C/POSIX) as "UTF-8".
std::string LocaleCodeset();

// The code page of this process: the locale's codeset, unless SetSystemCodeset replaced it.
const CodePage& SystemCodePage();

// Whether iconv converts between `codeset` and UTF-8 both ways.
bool IsKnownCodeset(const std::string& codeset);

// Replaces the process's code page (tests that run under another codeset than the machine's).
// An empty name goes back to the locale's codeset.
void SetSystemCodeset(const std::string& codeset);

// Shorthands through SystemCodePage().
QString ToQString(std::string_view bytes);
std::string FromQString(const QString& text);

// Bytes `text` takes in the system code page (what a byte limit counts).
int ByteLength(const QString& text);

// SystemCodePage().Unencodable(text).
QString Unencodable(const QString& text);

}  // namespace toolkit
