#include "dlgfile/dlg_file_image.h"

#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "platform/fault_injection.h"
#include "platform/file_read.h"

DlgFileImage::~DlgFileImage() {
  if (file_ != nullptr) std::fclose(file_);
}

DlgFileImage::OpenResult DlgFileImage::Open(const char* path, int64_t limit) {
  file_ = platform::OpenRegularFileForReading(path);
  struct stat info;
  if (file_ == nullptr || fstat(fileno(file_), &info) != 0) return OpenResult::kCannotOpen;
  size_ = std::min<int64_t>(info.st_size, limit);
  if (size_ == 0) return OpenResult::kOpened;
  windowCount_ = ((size_ - 1) >> kWindowShift) + 1;
  lastUse_.reset(platform::NewZeroedArray<uint64_t>(static_cast<size_t>(windowCount_)));
  if (lastUse_ == nullptr || !bytes_.Reserve(static_cast<size_t>(size_))) {
    size_ = 0;
    windowCount_ = 0;
    return OpenResult::kNoMemory;
  }
  return OpenResult::kOpened;
}

bool DlgFileImage::ReadWindow(int64_t window) {
  const int64_t start = window << kWindowShift;
  const int64_t length = std::min<int64_t>(int64_t{1} << kWindowShift, size_ - start);
  const int64_t full = int64_t{1} << kWindowShift;
  bool placed = false;
  if (spare_ >= 0 && length == full) {
    placed = spare_ == window || bytes_.Move(static_cast<size_t>(spare_ << kWindowShift),
                                             static_cast<size_t>(start), full);
    if (!placed) bytes_.Discard(static_cast<size_t>(spare_ << kWindowShift), full);
    spare_ = -1;
  }
  if (!placed && !bytes_.Populate(static_cast<size_t>(start), static_cast<size_t>(length))) {
    return false;
  }
  // A file that shrank leaves the rest of the window zero (moved pages still hold another
  // window's bytes). A read error is no short file: the bytes exist and could not be had, and
  // taking zeros for them would load a document without them.
  const int64_t got =
      platform::ReadAt(fileno(file_), bytes_.data() + start, static_cast<size_t>(length), start);
  if (got < 0) {
    readError_ = errno != 0 ? errno : EIO;
    bytes_.Discard(static_cast<size_t>(start), static_cast<size_t>(length));
    return false;
  }
  const int64_t kept = got;
  if (kept < length) {
    std::memset(bytes_.data() + start + kept, 0, static_cast<size_t>(length - kept));
  }
  lastUse_[window] = ++clock_;
  ++held_;
  if (++reads_ > 2 * windowCount_ + kKeptWindows) keepAll_ = true;
  return true;
}

void DlgFileImage::DropLeastRecent(int64_t keepFirst, int64_t keepLast) {
  int64_t oldest = -1;
  for (int64_t w = 0; w < windowCount_; ++w) {
    if (lastUse_[w] == 0 || (w >= keepFirst && w <= keepLast)) continue;
    if (oldest < 0 || lastUse_[w] < lastUse_[oldest]) oldest = w;
  }
  if (oldest < 0) return;
  const int64_t start = oldest << kWindowShift;
  const int64_t length = std::min<int64_t>(int64_t{1} << kWindowShift, size_ - start);
  if (spare_ < 0 && length == int64_t{1} << kWindowShift) {
    spare_ = oldest;
  } else {
    bytes_.Discard(static_cast<size_t>(start), static_cast<size_t>(length));
  }
  lastUse_[oldest] = 0;
  --held_;
}

bool DlgFileImage::ReachWindows(int64_t offset, int64_t count) {
  const int64_t first = offset >> kWindowShift;
  const int64_t last = (offset + count - 1) >> kWindowShift;
  for (int64_t w = first; w <= last; ++w) {
    if (lastUse_[w] != 0) {
      lastUse_[w] = ++clock_;
    } else if (!ReadWindow(w)) {
      return false;
    }
  }
  // Windows of this access stay, however many: a record longer than the kept windows is read
  // whole.
  while (!keepAll_ && held_ > kKeptWindows) {
    const int64_t before = held_;
    DropLeastRecent(first, last);
    if (held_ == before) break;
  }
  return true;
}
