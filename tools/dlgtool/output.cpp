#include "output.h"

#include <cstdarg>

namespace dlgtool {

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

}  // namespace

void AppendEscaped(std::string& out, std::string_view text) {
  for (char c : text) AppendByte(out, static_cast<unsigned char>(c), false);
}

void AppendQuoted(std::string& out, std::string_view text) {
  out += '"';
  for (char c : text) AppendByte(out, static_cast<unsigned char>(c), true);
  out += '"';
}

std::string RangeText(int low, int high) {
  if (low < 0 && high < 0) return "none";
  const std::string from = low >= 0 ? std::to_string(low) : "*";
  const std::string to = high >= 0 ? std::to_string(high) : "*";
  return "[" + from + ", " + to + ")";
}

void PrintResult(const std::string& text) {
  std::fwrite(text.data(), 1, text.size(), stdout);
}

void Message(const char* format, ...) {
  std::fflush(stdout);
  std::fprintf(stderr, "%s: ", kProgram);
  va_list args;
  va_start(args, format);
  std::vfprintf(stderr, format, args);
  va_end(args);
  std::fputc('\n', stderr);
}

}  // namespace dlgtool
