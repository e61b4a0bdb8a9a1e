// Text-mode file streams with the line ends of the Windows C runtime.
//
// The text files this program exchanges (exports, the import log, plain Parlatrix.ini) are stored
// with CR LF line ends, as a Windows text-mode stream writes them. Linux has no text mode, so the
// translation is done here, over binary streams:
//  - writing: every LF (10) is stored as CR LF (13 10); every other byte, a lone CR included, is
//    stored unchanged;
//  - reading: each CR LF pair arrives as one LF; every other byte, a lone CR included, arrives
//    unchanged. CR CR LF arrives as CR LF.
// Both sides buffer, so a file is read or written with a few large system calls.
#pragma once

#include <cstddef>
#include <cstdio>

namespace interchange {

class TextFileWriter {
 public:
  TextFileWriter() = default;
  ~TextFileWriter();
  TextFileWriter(const TextFileWriter&) = delete;
  TextFileWriter& operator=(const TextFileWriter&) = delete;

  // Creates (or empties) the file, or appends to it, creating it when missing.
  [[nodiscard]] bool Open(const char* path, bool append);
  // Writes into a stream that someone else opened and closes (platform::ReplaceFile's temporary
  // file); Detach flushes and returns false when any byte could not be written since Attach.
  void Attach(std::FILE* file);
  [[nodiscard]] bool Detach();
  // Queues `size` bytes, translating LF to CR LF.
  void Write(const char* data, size_t size);
  void Write(const char* text);
  // Flushes and closes; false when any byte could not be written since Open.
  [[nodiscard]] bool Close();

 private:
  void Flush();
  void PutRun(const char* data, size_t size);
  void Put(char byte) {
    if (used_ == sizeof(buffer_)) Flush();
    buffer_[used_++] = byte;
  }

  std::FILE* file_ = nullptr;
  bool failed_ = false;
  size_t used_ = 0;
  char buffer_[1 << 16];
};

// Reads a file line by line in one buffered pass. A line is the text between two LFs (the LF is
// not part of it); the line after the file's last LF is read as one more line, empty when the
// file ends with LF, so a file with k LFs has k + 1 lines, as FileGetLineCount counts them.
class TextLineReader {
 public:
  TextLineReader() = default;
  ~TextLineReader();
  TextLineReader(const TextLineReader&) = delete;
  TextLineReader& operator=(const TextLineReader&) = delete;

  [[nodiscard]] bool Open(const char* path);
  void Close();

  enum class Result { kLine, kOutOfMemory, kReadError };
  // The next line, translated, in data[0, length); valid until the next call. At the end of the
  // file every call gives an empty line. The buffer grows to the longest line, never beyond it.
  [[nodiscard]] Result NextLine(const char*& data, size_t& length);

 private:
  [[nodiscard]] bool Refill(Result& failure);

  std::FILE* file_ = nullptr;
  char* buffer_ = nullptr;
  size_t capacity_ = 0;
  size_t start_ = 0;    // first byte not yet returned
  size_t end_ = 0;      // one past the last byte read from the file
  size_t scanned_ = 0;  // bytes from start_ already known to hold no LF
  bool eof_ = false;
};

}  // namespace interchange
