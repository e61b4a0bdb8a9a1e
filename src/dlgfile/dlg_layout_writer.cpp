// The one writer of the .dlg layout (dlg_layout_writer.h); the layout is in docs/dlg-format.md.
#include "dlgfile/dlg_layout_writer.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <memory>

#include "dlgfile/dlg_format.h"
#include "platform/debug_output.h"
#include "platform/fault_injection.h"
#include "platform/page_buffer.h"

namespace {

// Hands out room in one buffer and writes it out when full, so that the file is never built
// whole in memory. After the first failed write nothing more is written.
class ChunkOut {
 public:
  ChunkOut(std::FILE* file, uint8_t* buffer, size_t size)
      : file_(file), buffer_(buffer), size_(size) {}
  // Room for `count` bytes (at most the buffer's size), to be filled before the next call.
  uint8_t* Take(size_t count) {
    if (used_ + count > size_) Flush();
    uint8_t* at = buffer_ + used_;
    used_ += count;
    return at;
  }
  void PutInt(int32_t value) { StoreLE32(Take(4), value); }
  bool Flush() {
    if (ok_ && used_ > 0) ok_ = platform::WriteBytes(file_, buffer_, used_);
    used_ = 0;
    return ok_;
  }
  // A block written on its own, after what is buffered.
  bool WriteWhole(const uint8_t* bytes, size_t count) {
    if (Flush()) ok_ = platform::WriteBytes(file_, bytes, count);
    return ok_;
  }
  size_t size() const { return size_; }

 private:
  std::FILE* file_;
  uint8_t* buffer_;
  size_t size_;
  size_t used_ = 0;
  bool ok_ = true;
};

class PlotTableOut final : public DlgPlotTableOut {
 public:
  explicit PlotTableOut(ChunkOut& out) : out_(out) {}
  void Entry(std::string_view name, int32_t rangeLow, int32_t rangeHigh,
             int32_t memberCount) override {
    EncodeDlgPlotEntry(out_.Take(DlgPlotEntrySize(kDlgVersion)), name, rangeLow, rangeHigh,
                       memberCount);
  }
  void Member(int32_t id) override { out_.PutInt(id); }

 private:
  ChunkOut& out_;
};

constexpr size_t kChunkSize = size_t{1} << 20;

enum class LeftOut { kReport, kRefuse };
enum class Planned { kPlanned, kNoMemory, kTooLarge, kLeftOut };

class LayoutWriter {
 public:
  explicit LayoutWriter(const DlgLayoutSource& source) : source_(source) {}

  // Orders the lines, leaves out (and with kReport reports) the unwritable ones, sizes the file
  // and takes the buffer. Nothing is written yet.
  Planned Plan(LeftOut leftOut);
  // The whole file; false when a write failed or memory ran out (outOfMemory()).
  bool Write(std::FILE* file);
  bool outOfMemory() const { return outOfMemory_; }

 private:
  bool Order();
  Planned MarkWritable(LeftOut leftOut);
  void WriteIndex(ChunkOut& out) const;
  bool WriteRecords(ChunkOut& out);

  const DlgLayoutSource& source_;
  DlgLayoutHead head_;
  std::unique_ptr<DlgLayoutLine[]> lines_;
  int64_t count_ = 0;
  int64_t indexOffset_ = 0;
  int64_t indexCount_ = 0;
  int64_t recordsSize_ = 0;
  std::unique_ptr<uint8_t[]> buffer_;
  size_t bufferSize_ = 0;
  bool outOfMemory_ = false;
};

bool LayoutWriter::Order() {
  if (head_.lineCount == 0) return true;
  lines_.reset(platform::NewArray<DlgLayoutLine>(static_cast<size_t>(head_.lineCount)));
  if (lines_ == nullptr) return false;
  // A line table of 100 000 lines is megabytes: fewer page faults in huge pages (a hint only).
  platform::PreferHugePages(lines_.get(),
                            static_cast<size_t>(head_.lineCount) * sizeof(DlgLayoutLine));
  count_ = source_.ListLines(lines_.get(), head_.lineCount);
  auto fileOrder = [](const DlgLayoutLine& a, const DlgLayoutLine& b) {
    return a.id != b.id ? a.id < b.id : a.order < b.order;
  };
  // A document loaded from a file or merged by ID is mostly in order already.
  if (!std::is_sorted(lines_.get(), lines_.get() + count_, fileOrder)) {
    std::sort(lines_.get(), lines_.get() + count_, fileOrder);
  }
  return true;
}

Planned LayoutWriter::MarkWritable(LeftOut leftOut) {
  int64_t nextFree = 0;  // lowest ID that no written line has taken yet
  for (int64_t k = 0; k < count_; ++k) {
    DlgLayoutLine& line = lines_[k];
    if (line.id < nextFree) {
      if (leftOut == LeftOut::kRefuse) return Planned::kLeftOut;
      platform::DebugOutput(
          "CDlgFile::Save() Error (3) : ID is negative or duplicated(%d), line not written!\n",
          line.id);
      line.size = -1;
      continue;
    }
    if (line.size < 0) return Planned::kTooLarge;
    recordsSize_ += line.size;
    nextFree = static_cast<int64_t>(line.id) + 1;
  }
  indexCount_ = nextFree;
  return Planned::kPlanned;
}

Planned LayoutWriter::Plan(LeftOut leftOut) {
  head_ = source_.Head();
  // Every count and offset in the file is a signed 32-bit value.
  if (head_.lineCount > INT32_MAX || head_.plotCount > INT32_MAX) return Planned::kTooLarge;
  if (!Order()) return Planned::kNoMemory;
  const Planned marked = MarkWritable(leftOut);
  if (marked != Planned::kPlanned) return marked;
  indexOffset_ =
      kDlgPlotTableOffset + head_.plotCount * DlgPlotEntrySize(kDlgVersion) + 4 * head_.memberCount;
  const int64_t fileSize = indexOffset_ + indexCount_ * kDlgIndexEntrySize + recordsSize_ + 4;
  if (fileSize > INT32_MAX) return Planned::kTooLarge;
  bufferSize_ = std::min(kChunkSize, static_cast<size_t>(fileSize));
  buffer_.reset(platform::NewArray<uint8_t>(bufferSize_));
  return buffer_ != nullptr ? Planned::kPlanned : Planned::kNoMemory;
}

// Entry j describes ID j; holes are produced on the fly, so memory does not grow with the
// highest ID.
void LayoutWriter::WriteIndex(ChunkOut& out) const {
  // Plan has checked that the whole file, and so every offset, fits a signed 32-bit value.
  int64_t offset = indexOffset_ + indexCount_ * kDlgIndexEntrySize;
  int64_t j = 0;
  for (int64_t k = 0; k < count_; ++k) {
    const DlgLayoutLine& line = lines_[k];
    if (line.size < 0) continue;
    for (; j < line.id; ++j) {
      out.PutInt(-1);
      out.PutInt(static_cast<int32_t>(offset));
    }
    out.PutInt(line.id);
    out.PutInt(static_cast<int32_t>(offset));
    offset += line.size;
    j = static_cast<int64_t>(line.id) + 1;
  }
}

bool LayoutWriter::WriteRecords(ChunkOut& out) {
  std::string_view texts[4];
  for (int64_t k = 0; k < count_; ++k) {
    const DlgLayoutLine& line = lines_[k];
    if (line.size < 0) continue;
    source_.Texts(line, texts);
    const size_t size = static_cast<size_t>(line.size);
    if (size <= out.size()) {
      EncodeDlgRecord(out.Take(size), line.size, line.id, line.plotIndex, texts[0], texts[1],
                      texts[2], texts[3]);
      continue;
    }
    std::unique_ptr<uint8_t[]> block(platform::NewArray<uint8_t>(size));
    if (block == nullptr) {
      outOfMemory_ = true;
      return false;
    }
    EncodeDlgRecord(block.get(), line.size, line.id, line.plotIndex, texts[0], texts[1], texts[2],
                    texts[3]);
    if (!out.WriteWhole(block.get(), size)) return false;
  }
  out.PutInt(static_cast<int32_t>(recordsSize_));
  return true;
}

bool LayoutWriter::Write(std::FILE* file) {
  ChunkOut out(file, buffer_.get(), bufferSize_);
  DlgHeader header = NewDlgHeader();
  EncodeDlgTextField(reinterpret_cast<uint8_t*>(header.gameName), head_.gameName, kDlgGameNameSize);
  header.lineCount = static_cast<int32_t>(head_.lineCount);
  header.indexOffset = static_cast<int32_t>(indexOffset_);
  header.multiLine = head_.multiLine;
  header.indexCount = static_cast<int32_t>(indexCount_);
  EncodeDlgFixedPart(header, head_.columns, static_cast<int32_t>(head_.plotCount),
                     out.Take(kDlgPlotTableOffset));
  PlotTableOut plots(out);
  source_.PutPlots(plots);
  WriteIndex(out);
  return WriteRecords(out) && out.Flush();
}

platform::Status NoMemory(const char* path) {
  errno = ENOMEM;
  platform::Status status = platform::Status::Failure("not enough memory", ENOMEM);
  platform::DebugOutput("CDlgFile::Save() Error (1) : Not enough memory(%s).\n", path);
  errno = status.systemError;
  return status;
}

}  // namespace

// Every failure is reported twice: the described debug line, and the status in this layer's
// words (the file is the caller's to name). errno is taken before the debug line, which may
// change it.
platform::Status SaveDlgLayout(const DlgLayoutSource& source, const char* path,
                               const platform::BeforeReplace& beforeReplace) {
  LayoutWriter writer(source);
  switch (writer.Plan(LeftOut::kReport)) {
    case Planned::kPlanned:
    case Planned::kLeftOut:
      break;
    case Planned::kNoMemory:
      return NoMemory(path);
    case Planned::kTooLarge: {
      errno = EFBIG;
      platform::Status status =
          platform::Status::Failure("the file would reach 2 GiB, the format's limit", EFBIG);
      platform::DebugOutput("CDlgFile::Save() Error (5) : File too large(%s).\n", path);
      errno = status.systemError;
      return status;
    }
  }
  platform::Status status;
  switch (platform::ReplaceFile(
      path, [&](std::FILE* file) { return writer.Write(file); }, beforeReplace)) {
    case platform::ReplaceResult::kReplaced:
      return platform::Status::Ok();
    case platform::ReplaceResult::kCreateFailed:
      status = platform::Status::SystemFailure("cannot create the file");
      platform::DebugOutput("CDlgFile::Save() Error (2) : Create save file failed(%s).\n", path);
      errno = status.systemError;
      return status;
    case platform::ReplaceResult::kWriteFailed:
      break;
  }
  if (writer.outOfMemory()) return NoMemory(path);
  status = platform::Status::SystemFailure("cannot write the file");
  platform::DebugOutput("CDlgFile::Save() Error (4) : Write save file failed(%s).\n", path);
  errno = status.systemError;
  return status;
}

DlgStreamWrite WriteDlgLayout(const DlgLayoutSource& source, std::FILE* stream) {
  LayoutWriter writer(source);
  switch (writer.Plan(LeftOut::kRefuse)) {
    case Planned::kPlanned:
      break;
    case Planned::kLeftOut:
    case Planned::kTooLarge:
      return DlgStreamWrite::kNotTaken;
    case Planned::kNoMemory:
      errno = ENOMEM;
      return DlgStreamWrite::kFailed;
  }
  if (writer.Write(stream)) return DlgStreamWrite::kWritten;
  if (writer.outOfMemory()) errno = ENOMEM;
  return DlgStreamWrite::kFailed;
}
