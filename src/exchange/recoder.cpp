#include "exchange/recoder.h"

#include "platform/utf8.h"

namespace exchange {

std::string LocaleCodeset() {
  return platform::LocaleCodeset();
}

Recoder::Recoder(const std::string& codeset)
    : codeset_(codeset.empty() ? platform::LocaleCodeset() : codeset),
      identity_(platform::IsUtf8Codeset(codeset_)),
      toUtf8_("UTF-8", codeset_),
      fromUtf8_(codeset_, "UTF-8") {}

bool Recoder::ToUtf8(std::string_view bytes, std::string& out) const {
  if (identity_) {
    if (!platform::IsValidUtf8(bytes)) return false;
    out.assign(bytes);
    return true;
  }
  return toUtf8_.Convert(bytes, out);
}

bool Recoder::FromUtf8(std::string_view utf8, std::string& out) const {
  if (!platform::IsValidUtf8(utf8)) return false;
  return FromValidUtf8(utf8, out);
}

bool Recoder::FromValidUtf8(std::string_view utf8, std::string& out) const {
  if (identity_) {
    out.assign(utf8);
    return true;
  }
  return fromUtf8_.Convert(utf8, out);
}

size_t ValidUtf8Prefix(std::string_view text) {
  return platform::ValidUtf8Prefix(text);
}

void LineAndColumn(std::string_view text, size_t offset, long& line, long& column) {
  line = 1;
  size_t lineStart = 0;
  for (size_t i = 0; i < offset && i < text.size(); ++i) {
    if (text[i] == '\n') {
      ++line;
      lineStart = i + 1;
    }
  }
  column = static_cast<long>(offset - lineStart) + 1;
}

}  // namespace exchange
