#include "platform/text_escape.h"

#include <algorithm>
#include <cctype>
#include <cstdio>

namespace platform {

namespace {

void AppendByte(std::string& out, unsigned char byte, bool quoted) {
  switch (byte) {
    case '\\':
      out += "\\\\";
      return;
    case '\t':
      out += "\\t";
      return;
    case '\r':
      out += "\\r";
      return;
    case '\n':
      out += "\\n";
      return;
    case '"':
      out += quoted ? "\\\"" : "\"";
      return;
    default:
      break;
  }
  if (byte < 0x20 || byte == 0x7F) {
    char hex[8];
    std::snprintf(hex, sizeof hex, "\\x%02X", byte);
    out += hex;
    return;
  }
  out += static_cast<char>(byte);
}

void AppendBytes(std::string& out, std::string_view text, EscapeBytes bytes, bool quoted) {
  for (size_t k = 0; k < text.size(); ++k) {
    const auto byte = static_cast<unsigned char>(text[k]);
    // A trail byte is at least 0x40 in every one of these code pages; anything lower (a control
    // byte, a cut character at the end) is escaped on its own.
    if (bytes == EscapeBytes::kDoubleByte && byte >= 0x81 && byte <= 0xFE && k + 1 < text.size() &&
        static_cast<unsigned char>(text[k + 1]) >= 0x40 &&
        static_cast<unsigned char>(text[k + 1]) != 0x7F) {
      out += text[k];
      out += text[++k];
      continue;
    }
    AppendByte(out, byte, quoted);
  }
}

}  // namespace

EscapeBytes EscapeBytesFor(std::string_view codePage) {
  std::string name;
  for (char c : codePage) {
    if (c != '-' && c != '_')
      name += static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  }
  static const char* const kDouble[] = {"BIG5",  "BIG5HKSCS",  "GBK",       "GB2312", "GB18030",
                                        "CP936", "CP949",      "CP950",     "EUCKR",  "UHC",
                                        "SJIS",  "SHIFTJIS",   "CP932",     "EUCCN",  "WINDOWS936",
                                        "MS936", "WINDOWS949", "WINDOWS950"};
  return std::find(std::begin(kDouble), std::end(kDouble), name) != std::end(kDouble)
             ? EscapeBytes::kDoubleByte
             : EscapeBytes::kSingle;
}

void AppendEscapedText(std::string& out, std::string_view text, EscapeBytes bytes) {
  AppendBytes(out, text, bytes, false);
}

void AppendQuotedText(std::string& out, std::string_view text, EscapeBytes bytes) {
  out += '"';
  AppendBytes(out, text, bytes, true);
  out += '"';
}

}  // namespace platform
