// The one JSON string writer of the exchange reports (statistics, translation rounds): the text
// in double quotes, `"` and `\` escaped with a backslash, control bytes below 0x20 as \u00XX,
// every other byte as it is (the callers hand over UTF-8).
#pragma once

#include <cstdio>
#include <string>
#include <string_view>

namespace exchange {

inline std::string JsonString(std::string_view utf8) {
  std::string out = "\"";
  for (const char c : utf8) {
    const unsigned char u = static_cast<unsigned char>(c);
    if (c == '"' || c == '\\') {
      out += '\\';
      out += c;
    } else if (u < 0x20) {
      char buffer[8];
      std::snprintf(buffer, sizeof buffer, "\\u%04x", u);
      out += buffer;
    } else {
      out += c;
    }
  }
  return out + "\"";
}

}  // namespace exchange
