#include "config/ini_file.h"

#include <sys/stat.h>

#include <climits>
#include <cstdlib>
#include <cstring>

#include "platform/debug_output.h"
#include "platform/file_read.h"
#include "platform/line_breaks.h"

namespace {

// Longest section name or key that is compared; further bytes are read and dropped.
constexpr int kNameLimit = 1024;
// ReadInt reads its value into a buffer of this size.
constexpr int kIntValueBuffer = 1024;

char FoldAscii(char c) {
  return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}

// True when the collected bytes equal `name` ignoring the case of ASCII letters (only those: in a
// multibyte code page a byte of 128 or above is never a letter of its own).
bool NameMatches(const char* collected, int length, const char* name) {
  if (name == nullptr || *name == 0) return true;
  if (std::strlen(name) != static_cast<size_t>(length)) return false;
  for (int i = 0; i < length; ++i) {
    if (FoldAscii(collected[i]) != FoldAscii(name[i])) return false;
  }
  return true;
}

}  // namespace

int FileIsScrambled(const char* path) {
  std::FILE* file = platform::OpenRegularFileForReading(path);
  if (file == nullptr) return -1;
  const int first = std::getc(file);
  std::fclose(file);
  return first == kIniScrambleMarker ? 1 : 0;
}

bool CIniFile::OpenFileRead(const char* path) {
  Close();
  // One handle decides the form and reads the content, so the form cannot change in between.
  // Regular files only: /dev/zero or a FIFO would be read without end, or block.
  file = path != nullptr ? platform::OpenRegularFileForReading(path) : nullptr;
  if (file == nullptr) {
    platform::DebugOutput(
        "CIniFile::OpenFileRead() Error (0) : Could not open file for read : <%s>\n",
        path != nullptr ? path : "");
    return false;
  }
  const int first = std::getc(file);
  scrambled = first == kIniScrambleMarker ? 1 : 0;
  if (scrambled == 0 && first != EOF) std::ungetc(first, file);
  state = 1;
  atEnd = false;
  return true;
}

void CIniFile::Close() {
  if (file != nullptr) std::fclose(file);
  file = nullptr;
  state = -1;
  scrambled = 0;
  atEnd = false;
}

int CIniFile::ReadByte() {
  if (file == nullptr || atEnd) return -1;
  const int c = std::getc(file);
  if (c == EOF) {
    atEnd = true;
    return -1;
  }
  if (c == kIniEndOfFileByte) return -1;
  if (scrambled != 0) return c ^ kIniScrambleKey;
  // The plain form is a text-mode file: a CR LF pair is read as LF.
  return platform::CompleteTextModeChar(file, c);
}

bool CIniFile::ReadSection(const char* name) {
  if (file == nullptr) return false;
  char collected[kNameLimit];
  int length = 0;
  bool collecting = false;
  // Brackets count wherever they stand, inside values and across line ends too.
  for (int c = ReadByte(); c >= 0; c = ReadByte()) {
    if (c == '[') {
      collecting = true;
    } else if (c == ']') {
      const bool matches = NameMatches(collected, length, name);
      length = 0;
      collecting = false;
      if (matches) return true;
    } else if (collecting && length < kNameLimit) {
      collected[length++] = static_cast<char>(c);
    }
  }
  platform::DebugOutput(
      "CIniFile::ReadSection() Error(0) : Reach the end of the file in reading section <%s>\n",
      name == nullptr ? "" : name);
  return false;
}

bool CIniFile::ReadLine(const char* key, char* buffer, int size) {
  if (file == nullptr) return false;
  char collected[kNameLimit];
  int length = 0;
  bool found = false;
  while (!found) {
    const int c = ReadByte();
    if (c < 0) {
      platform::DebugOutput(
          "CIniFile::ReadLine() Error(0) : Reach the end of the file in reading named <%s>\n",
          key == nullptr ? "" : key);
      return false;
    }
    // After a key that is not sought, the rest of its line is collected as a key of its own, up
    // to its LF or its next "=".
    if (c == '=') {
      found = NameMatches(collected, length, key);
      length = 0;
    } else if (c == '\n') {
      length = 0;
    } else if (length < kNameLimit) {
      collected[length++] = static_cast<char>(c);
    }
  }
  const int room = buffer != nullptr ? size : 0;
  int stored = 0;
  for (int c = ReadByte(); c >= 0 && c != '\n'; c = ReadByte()) {
    if (stored < room - 1) buffer[stored++] = static_cast<char>(c);
  }
  if (room > 0) buffer[stored] = 0;
  return true;
}

bool CIniFile::ReadInt(const char* key, int& result) {
  char value[kIntValueBuffer];
  if (!ReadLine(key, value, sizeof(value))) return false;
  const long number = std::strtol(value, nullptr, 10);
  if (number > INT_MAX) {
    result = INT_MAX;
  } else if (number < INT_MIN) {
    result = INT_MIN;
  } else {
    result = static_cast<int>(number);
  }
  return true;
}
