#include "interchange/text_stream.h"

#include "platform/file_read.h"

#include <sys/stat.h>

#include <algorithm>
#include <cstring>
#include <new>

#include "platform/fault_injection.h"

namespace interchange {

TextFileWriter::~TextFileWriter() {
  if (file_ != nullptr) (void)Close();
}

bool TextFileWriter::Open(const char* path, bool append) {
  if (file_ != nullptr) (void)Close();
  file_ = std::fopen(path, append ? "ab" : "wb");
  failed_ = false;
  used_ = 0;
  return file_ != nullptr;
}

void TextFileWriter::Attach(std::FILE* file) {
  if (file_ != nullptr) (void)Close();
  file_ = file;
  failed_ = false;
  used_ = 0;
}

bool TextFileWriter::Detach() {
  if (file_ == nullptr) return false;
  Flush();
  file_ = nullptr;
  return !failed_;
}

void TextFileWriter::Write(const char* data, size_t size) {
  if (file_ == nullptr) return;
  // The bytes between two LFs are copied as one run; each LF goes out as CR LF.
  const char* const end = data + size;
  while (data < end) {
    const auto* lf =
        static_cast<const char*>(std::memchr(data, '\n', static_cast<size_t>(end - data)));
    PutRun(data, static_cast<size_t>((lf != nullptr ? lf : end) - data));
    if (lf == nullptr) break;
    Put('\r');
    Put('\n');
    data = lf + 1;
  }
}

void TextFileWriter::PutRun(const char* data, size_t size) {
  while (size > 0) {
    if (used_ == sizeof(buffer_)) Flush();
    const size_t room = std::min(size, sizeof(buffer_) - used_);
    std::memcpy(buffer_ + used_, data, room);
    used_ += room;
    data += room;
    size -= room;
  }
}

void TextFileWriter::Write(const char* text) {
  Write(text, std::strlen(text));
}

void TextFileWriter::Flush() {
  if (used_ > 0 && std::fwrite(buffer_, 1, used_, file_) != used_) failed_ = true;
  used_ = 0;
}

bool TextFileWriter::Close() {
  if (file_ == nullptr) return false;
  Flush();
  if (std::fclose(file_) != 0) failed_ = true;
  file_ = nullptr;
  return !failed_;
}

TextLineReader::~TextLineReader() {
  Close();
  delete[] buffer_;
}

bool TextLineReader::Open(const char* path) {
  Close();
  file_ = std::fopen(path, "rb");
  start_ = end_ = scanned_ = 0;
  eof_ = false;
  if (file_ == nullptr) return false;
  // A folder opens for reading on Linux but yields no lines; it is no text file.
  struct stat info;
  if (fstat(fileno(file_), &info) != 0 || S_ISDIR(info.st_mode)) {
    Close();
    return false;
  }
  return true;
}

void TextLineReader::Close() {
  if (file_ != nullptr) std::fclose(file_);
  file_ = nullptr;
}

TextLineReader::Result TextLineReader::NextLine(const char*& data, size_t& length) {
  for (;;) {
    char* from = buffer_ + start_;
    const size_t pending = end_ - start_;
    const void* lf =
        pending > scanned_ ? std::memchr(from + scanned_, '\n', pending - scanned_) : nullptr;
    if (lf != nullptr || eof_ || file_ == nullptr) {
      length = lf != nullptr ? static_cast<size_t>(static_cast<const char*>(lf) - from) : pending;
      start_ += lf != nullptr ? length + 1 : length;
      scanned_ = 0;
      // Only the CR right before the LF belongs to the line end; a CR at the very end of the file
      // has no LF after it and stays.
      if (lf != nullptr && length > 0 && from[length - 1] == '\r') --length;
      data = length > 0 ? from : "";
      return Result::kLine;
    }
    scanned_ = pending;
    Result failure = Result::kLine;
    if (!Refill(failure)) return failure;
  }
}

bool TextLineReader::Refill(Result& failure) {
  const size_t pending = end_ - start_;
  if (start_ > 0) {
    std::memmove(buffer_, buffer_ + start_, pending);
    start_ = 0;
    end_ = pending;
  }
  // Grow while the unfinished line fills more than half the buffer, so that every refill reads at
  // least half a buffer and a long line costs linear time.
  if (capacity_ - end_ < capacity_ / 2 || capacity_ == 0) {
    const size_t grown = capacity_ == 0 ? size_t{1} << 16 : capacity_ * 2;
    char* bigger = platform::NewArray<char>(grown);
    if (bigger == nullptr) {
      failure = Result::kOutOfMemory;
      return false;
    }
    if (end_ > 0) std::memcpy(bigger, buffer_, end_);
    delete[] buffer_;
    buffer_ = bigger;
    capacity_ = grown;
  }
  const int64_t got = platform::ReadStream(file_, buffer_ + end_, capacity_ - end_);
  if (got < 0) {
    failure = Result::kReadError;
    return false;
  }
  end_ += static_cast<size_t>(got);
  if (got == 0) eof_ = true;
  return true;
}

}  // namespace interchange
