// CIniFile: the forward-only reader of Parlatrix.ini, plain or scrambled.
//
// The reader moves from the start of the file to its end, never back: ReadSection skips to just
// after the next matching "[name]", ReadLine to the next matching "key=" wherever it stands, also
// in later sections. Names and keys are compared ignoring the case of ASCII letters, on their
// first 1024 bytes; nothing is trimmed. The forms, the key and the end-of-file rules are described
// in docs/config-format.md.
#pragma once

#include <cstdio>

// First byte of a scrambled file; it is not part of the content.
inline constexpr int kIniScrambleMarker = 0x80;
// Every content byte of a scrambled file is stored XOR this key. With 0xFF the only content byte
// that cannot be stored is NUL (it would be stored as 0xFF, the end of the file), and NUL never
// belongs in a text file.
inline constexpr int kIniScrambleKey = 0xFF;
// A stored byte of this value ends the read in progress (the section or key search, or the value)
// as the end of the file would, in both forms, before any unscrambling. The next read goes on
// after it: only the real end of the file ends every later read.
inline constexpr int kIniEndOfFileByte = 0xFF;

// 1 when the file's first byte is the marker 0x80, 0 when it is not (an empty file included),
// -1 when the file cannot be opened.
[[nodiscard]] int FileIsScrambled(const char* path);

class CIniFile {
 public:
  CIniFile() = default;
  ~CIniFile() { Close(); }
  CIniFile(const CIniFile&) = delete;
  CIniFile& operator=(const CIniFile&) = delete;

  // Opens the file and decides its form from its first byte. A reader that was open is closed
  // first. False (reported) when the file cannot be opened or is a folder.
  [[nodiscard]] bool OpenFileRead(const char* path);
  // Skips to just after the next "[name]"; an empty name accepts any section. False (reported) at
  // the end of the file.
  [[nodiscard]] bool ReadSection(const char* name);
  // Skips to the next "key=" and copies at most size - 1 bytes of its value, up to the LF, into
  // the buffer, then a zero byte; an empty key accepts any key. False (reported) at the end of the
  // file. The rest of a value too long for the buffer is read and dropped.
  [[nodiscard]] bool ReadLine(const char* key, char* buffer, int size);
  // ReadLine into a 1024-byte buffer, then the value as a decimal number: leading white space
  // skipped, an optional sign, digits up to the first other byte, 0 without digits; values beyond
  // the int range are clamped to it. On failure `result` keeps its value.
  [[nodiscard]] bool ReadInt(const char* key, int& result);
  void Close();

  bool IsOpen() const { return state == 1; }
  bool IsScrambled() const { return scrambled != 0; }

 private:
  // The next content byte (0-255), or -1 at the end of the file or at a stored 0xFF. Once the
  // real end is met, every later read is the end too.
  int ReadByte();

  std::FILE* file = nullptr;
  int state = -1;     // 1 while open, -1 when closed
  int scrambled = 0;  // 0 for a plain file
  bool atEnd = false;
};
