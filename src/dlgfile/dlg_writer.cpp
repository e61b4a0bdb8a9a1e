// Writer of the .dlg dialogue file: line records and the whole document. The format, byte by byte,
// with a worked example, is described in docs/dlg-format.md.
#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstring>
#include <memory>
#include <new>

#include "dlgfile/dlg_format.h"
#include "model/dlg_file.h"
#include "platform/debug_output.h"
#include "platform/fault_injection.h"
#include "platform/file_io.h"

namespace {

// One line of the document in the order of the file: ascending ID, and among equal IDs document
// order (what inserting each line before the first element with a greater ID gives).
struct SortedLine {
  int32_t id;
  int order;
  const CDlgItem* line;
  int size;  // record size; -1 when the line gets no entry and no record (or is too large)
};

class SortedLines {
 public:
  // Copies references to every line and sorts them. False when out of memory.
  bool Build(const CQHList<CDlgItem>& lines);
  // Leaves out every line whose ID is negative or was already taken by an earlier line (each is
  // reported), so that entry k of the index is always the line with ID k. False when a record
  // cannot be represented in the format.
  bool MarkWritable();

  int Count() const { return count_; }
  const SortedLine& At(int k) const { return entries_[k]; }
  int64_t IndexCount() const { return indexCount_; }
  int64_t RecordsSize() const { return recordsSize_; }

 private:
  std::unique_ptr<SortedLine[]> entries_;
  int count_ = 0;
  int64_t indexCount_ = 0;
  int64_t recordsSize_ = 0;
};

bool SortedLines::Build(const CQHList<CDlgItem>& lines) {
  count_ = lines.GetCount();
  if (count_ == 0) return true;
  entries_.reset(platform::NewArray<SortedLine>(count_));
  if (entries_ == nullptr) return false;
  int k = 0;
  for (auto* pos = lines.GetHeadPosition(); pos != nullptr && k < count_; pos = pos->next, ++k) {
    // The size is taken here, in document order, where the lines lie close together in memory;
    // later passes go in ID order and touch each line once more only to write it.
    entries_[k] = SortedLine{pos->value.GetID(), k, &pos->value, pos->value.GetWriteSize()};
  }
  count_ = k;
  std::sort(entries_.get(), entries_.get() + count_, [](const SortedLine& a, const SortedLine& b) {
    return a.id != b.id ? a.id < b.id : a.order < b.order;
  });
  return true;
}

bool SortedLines::MarkWritable() {
  int64_t nextFree = 0;  // lowest ID that no written line has taken yet
  for (int k = 0; k < count_; ++k) {
    SortedLine& entry = entries_[k];
    if (entry.id < nextFree) {
      platform::DebugOutput(
          "CDlgFile::Save() Error (3) : ID is negative or duplicated(%d), line not written!\n",
          entry.id);
      entry.size = -1;
      continue;
    }
    if (entry.size < 0) return false;
    recordsSize_ += entry.size;
    nextFree = static_cast<int64_t>(entry.id) + 1;
  }
  indexCount_ = nextFree;
  return true;
}

// Collects small values into large writes. After the first failed write nothing more is written
// and ok() stays false.
class ChunkWriter {
 public:
  explicit ChunkWriter(std::FILE* file) : file_(file) {}

  void PutInt(int32_t value) {
    if (used_ + 4 > sizeof buffer_) Flush();
    StoreLE32(buffer_ + used_, value);
    used_ += 4;
  }
  // `size` must not exceed the buffer; the callers put fixed-size blocks of at most 148 bytes.
  void PutBytes(const uint8_t* bytes, size_t size) {
    if (used_ + size > sizeof buffer_) Flush();
    std::memcpy(buffer_ + used_, bytes, size);
    used_ += size;
  }
  bool Flush() {
    if (ok_ && used_ > 0) ok_ = platform::WriteBytes(file_, buffer_, used_);
    used_ = 0;
    return ok_;
  }
  bool ok() const { return ok_; }

 private:
  std::FILE* file_;
  bool ok_ = true;
  size_t used_ = 0;
  uint8_t buffer_[64 * 1024];
};

// Numbers the plots from 0 in list order and stamps each member line with its plot's number.
void RefreshPlotIndexes(CDlgFile& doc) {
  int number = 0;
  for (auto* plot = doc.GetPlots().GetHeadPosition(); plot != nullptr; plot = plot->next) {
    for (auto* m = plot->value.members.GetHeadPosition(); m != nullptr; m = m->next) {
      doc.GetItem(m->value).SetPlotIndex(number);
    }
    ++number;
  }
}

int64_t PlotTableEnd(const CDlgFile& doc) {
  int64_t end = kDlgPlotTableOffset;
  for (auto* plot = doc.GetPlots().GetHeadPosition(); plot != nullptr; plot = plot->next) {
    end += DlgPlotEntrySize(kDlgVersion) + 4 * static_cast<int64_t>(plot->value.members.GetCount());
  }
  return end;
}

void EncodeRecord(const CDlgItem& line, uint8_t* record, int size);

class DocumentWriter {
 public:
  DocumentWriter(CDlgFile& doc, const SortedLines& sorted, int32_t indexOffset)
      : doc_(doc), sorted_(sorted), indexOffset_(indexOffset) {}

  bool Write(std::FILE* file) {
    ChunkWriter out(file);
    WriteHeader(out);
    WritePlots(out);
    WriteIndex(out);
    return out.Flush() && WriteRecords(file);
  }

 private:
  void WriteHeader(ChunkWriter& out) {
    DlgHeader header = NewDlgHeader();
    const CPlainString& name = doc_.GetGameName();
    EncodeDlgTextField(reinterpret_cast<uint8_t*>(header.gameName),
                       std::string_view(name.c_str(), static_cast<size_t>(name.GetLength())),
                       kDlgGameNameSize);
    header.lineCount = doc_.GetLines().GetCount();
    header.indexOffset = indexOffset_;
    header.multiLine = doc_.GetMultiLine();
    header.indexCount = static_cast<int32_t>(sorted_.IndexCount());
    int columns[3] = {0, 0, 0};
    doc_.GetColumns(columns[0], columns[1], columns[2]);
    const int32_t options[3] = {columns[0], columns[1], columns[2]};
    uint8_t block[kDlgPlotTableOffset];
    EncodeDlgFixedPart(header, options, doc_.GetPlots().GetCount(), block);
    out.PutBytes(block, sizeof block);
  }

  void WritePlots(ChunkWriter& out) {
    for (auto* pos = doc_.GetPlots().GetHeadPosition(); pos != nullptr; pos = pos->next) {
      const CDlgPlot& plot = pos->value;
      const CPlainString& name = plot.GetName();
      uint8_t entry[kDlgPlotNameSize + 12];
      EncodeDlgPlotEntry(entry,
                         std::string_view(name.c_str(), static_cast<size_t>(name.GetLength())),
                         plot.rangeLow, plot.rangeHigh, plot.members.GetCount());
      out.PutBytes(entry, sizeof entry);
      for (auto* m = plot.members.GetHeadPosition(); m != nullptr; m = m->next) {
        out.PutInt(doc_.GetItem(m->value).GetID());
      }
    }
  }

  // Entry j describes ID j. A hole (no line with that ID) holds ID -1 and the offset of the record
  // that follows it, which is the record of the next written line: holes are produced here on the
  // fly, so memory does not grow with the highest ID.
  void WriteIndex(ChunkWriter& out) {
    // Save has checked that the whole file, and so every offset, fits a signed 32-bit value.
    int32_t offset = static_cast<int32_t>(indexOffset_ + sorted_.IndexCount() * kDlgIndexEntrySize);
    int64_t j = 0;
    for (int k = 0; k < sorted_.Count(); ++k) {
      const SortedLine& entry = sorted_.At(k);
      if (entry.size < 0) continue;
      for (; j < entry.id; ++j) {
        out.PutInt(-1);
        out.PutInt(offset);
      }
      out.PutInt(entry.id);
      out.PutInt(offset);
      offset += entry.size;
      j = static_cast<int64_t>(entry.id) + 1;
    }
  }

  // Every record is encoded into one block sized for the largest and written by its own call
  // into the stream's buffer. Each record still asks the allocation seam once, as a block of its
  // own did, so the fault loops meet one allocation and one write per record.
  bool WriteRecords(std::FILE* file) {
    int largest = 0;
    for (int k = 0; k < sorted_.Count(); ++k) largest = std::max(largest, sorted_.At(k).size);
    std::unique_ptr<uint8_t[]> record;
    if (largest > 0) {
      record.reset(platform::NewArray<uint8_t>(static_cast<size_t>(largest)));
      if (record == nullptr) return false;
    }
    for (int k = 0; k < sorted_.Count(); ++k) {
      const SortedLine& entry = sorted_.At(k);
      if (entry.size < 0) continue;
      if (platform::AllocationShouldFail()) {
        errno = ENOMEM;
        return false;
      }
      EncodeRecord(*entry.line, record.get(), entry.size);
      if (!platform::WriteBytes(file, record.get(), static_cast<size_t>(entry.size))) return false;
    }
    uint8_t total[4];
    StoreLE32(total, static_cast<int32_t>(sorted_.RecordsSize()));
    return platform::WriteBytes(file, total, sizeof total);
  }

  CDlgFile& doc_;
  const SortedLines& sorted_;
  int32_t indexOffset_;
};

// The whole record of `size` bytes (GetWriteSize): the plain body length, then the body.
void EncodeRecord(const CDlgItem& line, uint8_t* record, int size) {
  EncodeDlgRecord(record, size, line.GetID(), line.GetPlotIndex(), line.GetSpeaker(),
                  line.GetExpression(), line.GetSound(), line.GetText());
}

}  // namespace

int CDlgItem::GetWriteSize() const {
  const int64_t size = 4 + kDlgBodyFixedSize + static_cast<int64_t>(speaker.GetLength()) + 1 +
                       expression.GetLength() + 1 + sound.GetLength() + 1 + text.GetLength() + 1;
  return size <= INT32_MAX ? static_cast<int>(size) : -1;
}

int CDlgItem::Write(std::FILE* file) const {
  const int size = GetWriteSize();
  if (size < 0) return -1;
  std::unique_ptr<uint8_t[]> record(platform::NewArray<uint8_t>(size));
  if (record == nullptr) return -1;
  EncodeRecord(*this, record.get(), size);
  return platform::WriteBytes(file, record.get(), static_cast<size_t>(size)) ? size : -1;
}

int CDlgFile::Save(const char* path) {
  platform::Status status;
  return Save(path, platform::BeforeReplace(), status);
}

int CDlgFile::Save(const char* path, platform::Status& status) {
  return Save(path, platform::BeforeReplace(), status);
}

int CDlgFile::Save(const char* path, const platform::BeforeReplace& beforeReplace) {
  platform::Status status;
  return Save(path, beforeReplace, status);
}

// Every failure is reported twice: the described debug line, and `status` in this layer's words
// (the file is the caller's to name). errno is taken before the debug line, which may change it.
int CDlgFile::Save(const char* path, const platform::BeforeReplace& beforeReplace,
                   platform::Status& status) {
  status = platform::Status::Ok();
  RefreshPlotIndexes(*this);
  SortedLines sorted;
  if (!sorted.Build(lines)) {
    errno = ENOMEM;
    status = platform::Status::Failure("not enough memory", ENOMEM);
    platform::DebugOutput("CDlgFile::Save() Error (1) : Not enough memory(%s).\n", path);
    return 0;
  }
  const int64_t indexOffset = PlotTableEnd(*this);
  // Every offset in the file is a signed 32-bit value, so the whole file must stay below 2 GiB.
  if (!sorted.MarkWritable() ||
      indexOffset + sorted.IndexCount() * kDlgIndexEntrySize + sorted.RecordsSize() + 4 >
          INT32_MAX) {
    errno = EFBIG;
    status = platform::Status::Failure("the file would reach 2 GiB, the format's limit", EFBIG);
    platform::DebugOutput("CDlgFile::Save() Error (5) : File too large(%s).\n", path);
    return 0;
  }
  DocumentWriter writer(*this, sorted, static_cast<int32_t>(indexOffset));
  switch (platform::ReplaceFile(
      path, [&](std::FILE* file) { return writer.Write(file); }, beforeReplace)) {
    case platform::ReplaceResult::kReplaced:
      version = kDlgVersion;
      // The next save over this file compares against what this one left there.
      loadedFile = platform::IdentifyFileForReading(path);
      return 1;
    case platform::ReplaceResult::kCreateFailed:
      status = platform::Status::SystemFailure("cannot create the file");
      platform::DebugOutput("CDlgFile::Save() Error (2) : Create save file failed(%s).\n", path);
      errno = status.systemError;
      return 0;
    case platform::ReplaceResult::kWriteFailed:
      break;
  }
  status = platform::Status::SystemFailure("cannot write the file");
  platform::DebugOutput("CDlgFile::Save() Error (4) : Write save file failed(%s).\n", path);
  errno = status.systemError;
  return 0;
}
