#include "config/ini_scramble.h"

#include "config/ini_file.h"

namespace {

std::string OffsetMessage(const char* what, size_t offset, const char* why) {
  return std::string(what) + " at byte offset " + std::to_string(offset) + ": " + why;
}

}  // namespace

bool ScrambleIniText(const std::string& plain, std::string& scrambled, std::string& error) {
  if (!plain.empty() && static_cast<unsigned char>(plain[0]) == kIniScrambleMarker) {
    error = "the file starts with byte 0x80, so it is already read as scrambled";
    return false;
  }
  std::string out;
  out.reserve(plain.size() + 1);
  out.push_back(static_cast<char>(kIniScrambleMarker));
  for (size_t i = 0; i < plain.size(); ++i) {
    const unsigned char byte = static_cast<unsigned char>(plain[i]);
    if (byte == 0) {
      error = OffsetMessage("NUL byte", i, "it cannot be stored in the scrambled form");
      return false;
    }
    if (byte == kIniEndOfFileByte) {
      error = OffsetMessage("byte 0xFF", i, "the reader takes it as the end of the file");
      return false;
    }
    if (byte == '\r' && i + 1 < plain.size() && plain[i + 1] == '\n') continue;
    out.push_back(static_cast<char>(byte ^ kIniScrambleKey));
  }
  scrambled.swap(out);
  return true;
}

bool UnscrambleIniText(const std::string& scrambled, std::string& plain, std::string& error) {
  if (scrambled.empty() || static_cast<unsigned char>(scrambled[0]) != kIniScrambleMarker) {
    error = "the file does not start with byte 0x80, so it is not scrambled";
    return false;
  }
  std::string out;
  out.reserve(scrambled.size());
  for (size_t i = 1; i < scrambled.size(); ++i) {
    const unsigned char stored = static_cast<unsigned char>(scrambled[i]);
    if (stored == kIniEndOfFileByte) break;
    out.push_back(static_cast<char>(stored ^ kIniScrambleKey));
  }
  plain.swap(out);
  return true;
}
