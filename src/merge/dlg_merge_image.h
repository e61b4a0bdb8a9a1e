// A dialogue file read for the merge without building a CDlgFile: the file's bytes in one block,
// the line records' strings unscrambled in place, and a snapshot (dlg_merge.h) whose texts view
// that block. Loading three versions of a script of 100 000 lines through CDlgFile allocates every
// line and text one by one, which costs more than the merge itself.
//
// For a file of version 104 that passes the structural check (VerifyDlgBytes finds nothing), which
// is what the merge accepts, the snapshot holds what CDlgFile::Load followed by SnapshotDocument
// gives: the game name, options and plots up to the first zero byte of their fields, each plot's
// listed IDs read through the index, a record without an ID or a plot dropped, fields taken only
// when they lie inside the record's body. On other bytes every read stays inside the image, but as
// records are unscrambled in place, bytes that two parts of a damaged file share may read
// differently than the loader reads them. Older versions are not read here.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "merge/dlg_merge.h"
#include "platform/page_buffer.h"
#include "platform/status.h"

class MergeImage {
 public:
  // Reads the whole file. A failure, with the system's reason, when it cannot be opened as a
  // regular file or read.
  [[nodiscard]] platform::Status Read(const char* path);
  // Takes a copy of bytes that are not in a file (a filter's input) as the image. A failure when
  // there is no memory for it.
  [[nodiscard]] platform::Status Copy(std::string_view bytes);

  const uint8_t* bytes() const { return image_.data(); }
  size_t size() const { return size_; }
  // The version in the header (104 for what the writer writes).
  int32_t version() const;

  // Takes the snapshot, unscrambling the records in place: call it once, after anything that
  // reads the bytes as they are in the file. A failure, with the reason as its message, for a
  // version before 104, and when one ID is listed twice or two plots share a name. The snapshot
  // views this image and is valid while it lives.
  [[nodiscard]] platform::Status Snapshot(MergeDocument& out);

 private:
  bool Has(int64_t offset, int64_t count) const {
    return offset >= 0 && count >= 0 && offset <= static_cast<int64_t>(size_) &&
           count <= static_cast<int64_t>(size_) - offset;
  }
  // Decodes the record at `offset` into `line`; false when there is none, or it has no ID or no
  // plot (the loader drops such a record).
  bool DecodeRecord(int64_t offset, MergeLine& line);

  // Mapped pages rather than a heap block: the pages come filled in one call, and the allocator
  // has no block of the file's size to carve or consolidate.
  platform::PageBuffer image_;
  size_t size_ = 0;
};
