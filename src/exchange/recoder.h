// Strict conversion between the document's code page and UTF-8, the encoding of every exchange
// file. Unlike the editor's display conversion, nothing is replaced: a byte sequence the source
// encoding rejects, or a character the target cannot hold, fails the whole conversion, so that an
// export or an import never writes a text that differs from the one it read.
#pragma once

#include <string>
#include <string_view>

#include "platform/iconv_codec.h"

namespace exchange {

// platform::LocaleCodeset(), under the name the exchange code uses.
std::string LocaleCodeset();

class Recoder {
 public:
  // `codeset` empty: LocaleCodeset(). Check ok() before use: an unknown name opens nothing.
  explicit Recoder(const std::string& codeset);
  Recoder(const Recoder&) = delete;
  Recoder& operator=(const Recoder&) = delete;

  bool ok() const { return toUtf8_.ok() && fromUtf8_.ok(); }
  const std::string& codeset() const { return codeset_; }
  // True when the document's code page is UTF-8 itself (conversion is then a validity check).
  bool identity() const { return identity_; }

  // False when `bytes` is not valid in the code page (resp. in UTF-8, or not representable).
  [[nodiscard]] bool ToUtf8(std::string_view bytes, std::string& out) const;
  [[nodiscard]] bool FromUtf8(std::string_view utf8, std::string& out) const;
  // The same for text already known to be valid UTF-8 (what the readers return).
  [[nodiscard]] bool FromValidUtf8(std::string_view utf8, std::string& out) const;

 private:
  std::string codeset_;
  bool identity_ = false;
  platform::IconvCodec toUtf8_;
  platform::IconvCodec fromUtf8_;
};

// platform::ValidUtf8Prefix (the one validator), under the name the exchange readers use.
size_t ValidUtf8Prefix(std::string_view text);

// 1-based line and column (in bytes) of `offset` in `text`; lines end at LF.
void LineAndColumn(std::string_view text, size_t offset, long& line, long& column);

}  // namespace exchange
