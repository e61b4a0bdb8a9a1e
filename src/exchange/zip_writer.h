// A zip archive written front to back into an open file, for the packages of the workbooks we
// write (an OOXML package is a zip of XML parts). Each entry is deflated (method 8) with ISA-L's
// igzip at level 1, a chunk at a time, so that a part of any size passes through a fixed buffer;
// its CRC-32 and sizes are patched into its local header once the entry is closed (the file must
// be seekable: the temporary file of the atomic replace is). No ZIP64: an entry or an archive of
// 4 GiB or more, and more than 65 535 entries, are refused with a message, never written wrong.
//
// Layout (all integers little-endian; docs/architecture.md, "The workbook writer"):
//   per entry:  local header (30 bytes + name), deflated data
//   at the end: one central directory record per entry (46 bytes + name), then the end record
//               (22 bytes, no comment)
// Every header carries the same fixed time stamp (1980-01-01 00:00), so that the same content
// gives the same bytes.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/status.h"

namespace exchange {

class ZipWriter {
 public:
  // Entries go to `file` from its current position, which must be the start of the archive.
  explicit ZipWriter(std::FILE* file);
  ~ZipWriter();
  ZipWriter(const ZipWriter&) = delete;
  ZipWriter& operator=(const ZipWriter&) = delete;

  // Starts the entry `name` (a relative path with '/' separators, ASCII). The previous entry must
  // be closed.
  [[nodiscard]] bool Open(std::string_view name);
  // Adds bytes to the open entry.
  [[nodiscard]] bool Write(std::string_view bytes);
  // Finishes the open entry: the rest of the deflate stream, then its header's CRC and sizes.
  [[nodiscard]] bool Close();
  // Writes the central directory and the end record; the archive is complete after it.
  [[nodiscard]] bool Finish();

  // The whole entry `name` holding `bytes`: Open, Write, Close.
  [[nodiscard]] bool Add(std::string_view name, std::string_view bytes);

  // Why the last call failed: a refusal (an entry too big) has no system error; a failed write
  // or seek has its errno, which is also left in errno.
  [[nodiscard]] const platform::Status& status() const { return status_; }

 private:
  struct Entry {
    std::string name;
    uint64_t offset = 0;  // of its local header
    uint32_t crc = 0;
    uint64_t packed = 0;
    uint64_t size = 0;
  };
  struct Deflater;

  bool Deflate(const char* data, size_t size, bool last);
  bool Put(const void* data, size_t size);
  bool Fail(const std::string& message);
  bool FailSystem(const std::string& message);

  std::FILE* file_;
  off_t base_ = 0;        // the file position of the archive's first byte
  uint64_t written_ = 0;  // bytes of the archive so far
  std::vector<Entry> entries_;
  bool open_ = false;
  std::unique_ptr<Deflater> deflater_;
  platform::Status status_;
};

}  // namespace exchange
