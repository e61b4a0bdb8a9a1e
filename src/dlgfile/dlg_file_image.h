// DlgFileImage: the bytes of a .dlg file as the reader sees them, held in windows.
//
// Offsets are those of the file and the bytes lie at their offsets in one reserved range of
// address space, so a record is always one contiguous run whatever windows it crosses. Only the
// windows the reader has reached recently have memory behind them: a window is read from the file
// the first time an access reaches it, and once more than kKeptWindows are held, the one reached
// least recently gives up its place (and is read again if it is reached again): its pages move to
// the next window read, so that the kernel need not clear fresh ones. The reader
// walks the records nearly in file order, so a file is read about once, and Load holds a few
// windows of it instead of all of it beside the document it builds. A file whose accesses jump
// about so that windows are read again and again more than twice over is kept whole from then on.
//
// Reach(offset, count) must precede the use of At and IntAt on those bytes; the pointers stay
// valid until the next Reach. A file that shrinks while it is read reads as zero bytes past its
// new end, which the reader's checks treat as any damaged bytes.
#pragma once

#include <cstdint>
#include <cstdio>
#include <memory>

#include "dlgfile/dlg_format.h"
#include "platform/page_buffer.h"

class DlgFileImage {
 public:
  enum class OpenResult { kOpened, kCannotOpen, kNoMemory };

  DlgFileImage() = default;
  DlgFileImage(const DlgFileImage&) = delete;
  DlgFileImage& operator=(const DlgFileImage&) = delete;
  ~DlgFileImage();

  // Opens a regular file and reserves room for at most `limit` of its bytes; no byte is read yet.
  [[nodiscard]] OpenResult Open(const char* path, int64_t limit);

  int64_t size() const { return size_; }
  // True when the `count` bytes from `offset` lie inside the image.
  bool Has(int64_t offset, int64_t count) const {
    return offset >= 0 && count >= 0 && offset <= size_ && count <= size_ - offset;
  }
  // Makes the bytes [offset, offset + count), which Has must accept, readable. False when the
  // memory for a window cannot be had, or when reading it failed (ReadError then says why).
  [[nodiscard]] bool Reach(int64_t offset, int64_t count) {
    if (count <= 0) return true;
    const int64_t first = offset >> kWindowShift;
    if (first == (offset + count - 1) >> kWindowShift && lastUse_[first] != 0) {
      lastUse_[first] = ++clock_;
      return true;
    }
    return ReachWindows(offset, count);
  }
  const uint8_t* At(int64_t offset) const { return bytes_.data() + offset; }
  int32_t IntAt(int64_t offset) const { return LoadLE32(At(offset)); }

  // The errno of the first read that failed, 0 when none did.
  int ReadError() const { return readError_; }

  static constexpr int kWindowShift = 20;  // 1 MiB windows
  static constexpr int64_t kKeptWindows = 4;

 private:
  bool ReachWindows(int64_t offset, int64_t count);
  bool ReadWindow(int64_t window);
  void DropLeastRecent(int64_t keepFirst, int64_t keepLast);

  std::FILE* file_ = nullptr;
  platform::PageBuffer bytes_;
  int64_t size_ = 0;
  int64_t windowCount_ = 0;
  std::unique_ptr<uint64_t[]> lastUse_;  // per window: 0 when it holds no memory
  uint64_t clock_ = 0;
  int64_t held_ = 0;       // windows that hold memory
  int64_t reads_ = 0;      // windows read so far, rereads included
  bool keepAll_ = false;   // set once rereading passes twice the file
  int64_t spare_ = -1;
  int readError_ = 0;     // a full window given up whose pages are still there, or -1
};
