// Reader of the .dlg dialogue file (docs/dlg-format.md): CDlgFile::Load.
//
// The file is read through a DlgFileImage, which holds a few windows of it at a time, and
// everything is parsed from that image. Nothing in it is trusted: every count, length and offset
// is checked against the image before it is used, so a damaged file loads whatever is intact and
// never makes the reader allocate or loop beyond what the file's size allows.
#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstring>
#include <memory>
#include <new>

#include "dlgfile/dlg_file_image.h"
#include "dlgfile/dlg_format.h"
#include "dlgfile/dlg_record.h"
#include "model/dlg_file.h"
#include "platform/debug_output.h"
#include "platform/fault_injection.h"
#include "runtime/prx_dlg.h"

namespace {

// Every offset in the format is a signed 32-bit value; bytes beyond this are unreachable.
constexpr int64_t kMaxImageSize = INT32_MAX;

// The memory a loaded line costs beyond its record bytes (nodes, strings, index), as charged
// against the load's budget.
constexpr int64_t kLineOverhead = 64;
// A file may list a line under several plots (or index one record several times), and each
// listing loads a separate line. The lines loaded may together cost at most this many times the
// file's size (plus a constant), which admits every line listed twice but keeps a small file from
// claiming gigabytes by listing one large record millions of times.
constexpr int64_t kBudgetPerFileByte = 4;
constexpr int64_t kBudgetConstant = 1 << 20;

// Places the lines of a file into the document; owns the table of plot positions.
class DocumentReader {
 public:
  // The image must have reached the header and the plot count.
  DocumentReader(CDlgFile& doc, DlgFileImage& image, int32_t version, const char* path)
      : doc_(doc), image_(image), version_(version), path_(path) {
    budget_ = kBudgetPerFileByte * image.size() + kBudgetConstant;
    // The plot count is 0 when the file does not reach it.
    plotCount_ = image.Has(kDlgPlotCountOffset, 4) ? image.IntAt(kDlgPlotCountOffset) : 0;
  }

  // Allocates the table for the plots the file claims, as far as the file can hold them. False
  // when out of memory.
  bool PrepareTable();
  // Reads the plot table; returns the offset after the last entry read.
  int64_t ReadPlots();
  // Version 104 and later: each plot's listed IDs, through the index.
  void PlaceByMembers(int64_t indexOffset, int32_t indexCount);
  // Older versions: the index entries from `offset` on, each line to the plot its record names.
  void PlaceByIndex(int64_t offset, int32_t indexCount);
  // True when memory ran out: the document then lacks part of the file, and reading has stopped.
  bool OutOfMemory() const { return outOfMemory_; }

 private:
  // Reads the record at `offset` into a fresh line. False when nothing usable is there or the
  // budget is spent (no more lines are read then).
  bool ReadLine(int64_t offset, CDlgItem& line);
  void ReadStoredIds(CDlgPlot& plot, int64_t offset, int32_t count);
  void Place(CDlgItem& line, PlotPos plot) {
    if (doc_.AddLoadedItem(line, plot) == nullptr) outOfMemory_ = true;
  }
  bool Stopped() const { return budgetSpent_ || outOfMemory_; }
  // Reach on the image; a window that cannot be had stops the load as out of memory.
  bool Reach(int64_t offset, int64_t count) {
    if (!image_.Reach(offset, count)) outOfMemory_ = true;
    return !outOfMemory_;
  }

  CDlgFile& doc_;
  DlgFileImage& image_;
  int32_t version_;
  int32_t plotCount_;
  const char* path_;
  std::unique_ptr<PlotPos[]> table_;
  int tableSize_ = 0;  // plots created; entries are nullptr for a plot that could not be added
  int64_t budget_;
  bool budgetSpent_ = false;
  bool outOfMemory_ = false;
};

bool DocumentReader::PrepareTable() {
  const int64_t fits =
      std::max<int64_t>(0, image_.size() - kDlgPlotTableOffset) / DlgPlotEntrySize(version_);
  const int64_t count = std::min<int64_t>(std::max(plotCount_, 0), fits);
  if (count == 0) return true;
  table_.reset(platform::NewZeroedArray<PlotPos>(static_cast<size_t>(count)));
  return table_ != nullptr;
}

int64_t DocumentReader::ReadPlots() {
  const int64_t entrySize = DlgPlotEntrySize(version_);
  int64_t offset = kDlgPlotTableOffset;
  // PrepareTable sized the table for the complete entries that the image holds; a cut entry ends
  // the table. Each entry is reached before the plot table walk reads its fixed part.
  for (int32_t i = 0; i < plotCount_ && image_.Has(offset, entrySize) && !outOfMemory_; ++i) {
    if (!Reach(offset, entrySize)) break;
    prx__plot_entry entry;
    if (prx__walk_plot(image_.At(offset), image_.size() - offset, version_, 0, &entry) !=
        PRX__PLOT_TAKEN) {
      break;
    }
    CPlainString name;
    if (!name.Assign(reinterpret_cast<const char*>(image_.At(offset)), kDlgPlotNameSize)) {
      outOfMemory_ = true;
      break;
    }
    PlotPos plot = doc_.AddPlot(name, entry.range_low, entry.range_high);
    if (plot == nullptr) {
      outOfMemory_ = true;
      break;
    }
    table_[tableSize_++] = plot;
    if (entry.members_at >= 0) {
      ReadStoredIds(doc_.GetPlot(plot), offset + entry.members_at, entry.members_listed);
    }
    offset += entry.size;
  }
  return offset;
}

// `count` IDs lie at `offset` inside the image.
void DocumentReader::ReadStoredIds(CDlgPlot& plot, int64_t offset, int32_t count) {
  if (!Reach(offset, 4 * static_cast<int64_t>(count))) return;
  // Each listed ID makes one stored ID and at most one member.
  plot.storedIds.Reserve(count);
  plot.members.Reserve(count);
  for (int32_t k = 0; k < count; ++k, offset += 4) {
    auto* node = plot.storedIds.AddTail();
    if (node == nullptr) {
      outOfMemory_ = true;
      return;
    }
    node->value = image_.IntAt(offset);
  }
}

bool DocumentReader::ReadLine(int64_t offset, CDlgItem& line) {
  if (budgetSpent_ || !image_.Has(offset, 4) || !Reach(offset, 4)) return false;
  // Charged before parsing, whatever the outcome, so that time as well as memory stays bounded. A
  // length beyond the file costs only what is there: the parser rejects it without reading on.
  const int64_t body = std::clamp<int64_t>(image_.IntAt(offset), 0, image_.size() - offset - 4);
  const int64_t cost = body + 4 + kLineOverhead;
  if (cost > budget_) {
    budgetSpent_ = true;
    platform::DebugOutput(
        "CDlgFile::Load() Error (2) : Lines repeated beyond the file size, rest not loaded(%s)!\n",
        path_);
    return false;
  }
  budget_ -= cost;
  if (!Reach(offset, 4 + body)) return false;
  switch (ParseDlgRecord(image_.At(offset), static_cast<size_t>(image_.size() - offset), line,
                         &doc_.GetTextArena())) {
    case DlgRecordResult::kAccepted:
      break;
    case DlgRecordResult::kRejected:
      return false;
    case DlgRecordResult::kOutOfMemory:
      outOfMemory_ = true;
      return false;
  }
  // A record without a plot is dropped. So is one without an ID: the writer never stores one, and
  // giving it a fresh ID would silently renumber a damaged line.
  return line.GetPlotIndex() >= 0 && line.GetID() >= 0;
}

void DocumentReader::PlaceByMembers(int64_t indexOffset, int32_t indexCount) {
  for (int i = 0; i < tableSize_ && !Stopped(); ++i) {
    if (table_[i] == nullptr) continue;
    const CQHList<int32_t>& ids = doc_.GetPlot(table_[i]).storedIds;
    for (auto* pos = ids.GetHeadPosition(); pos != nullptr && !Stopped(); pos = pos->next) {
      const int32_t id = pos->value;
      const int64_t entry = indexOffset + static_cast<int64_t>(id) * kDlgIndexEntrySize;
      if (id < 0 || id >= indexCount || !image_.Has(entry, kDlgIndexEntrySize)) continue;
      if (!Reach(entry, kDlgIndexEntrySize)) return;
      CDlgItem line;
      if (ReadLine(image_.IntAt(entry + 4), line)) Place(line, table_[i]);
    }
  }
}

void DocumentReader::PlaceByIndex(int64_t offset, int32_t indexCount) {
  for (int32_t k = 0; k < indexCount && !Stopped(); ++k, offset += kDlgIndexEntrySize) {
    if (!image_.Has(offset, kDlgIndexEntrySize) || !Reach(offset, kDlgIndexEntrySize)) return;
    if (image_.IntAt(offset) < 0) continue;
    CDlgItem line;
    if (!ReadLine(image_.IntAt(offset + 4), line)) continue;
    // A plot index that names no plot of the file drops the line, as a negative one does.
    if (line.GetPlotIndex() < tableSize_ && table_[line.GetPlotIndex()] != nullptr) {
      Place(line, table_[line.GetPlotIndex()]);
    }
  }
}

// Says why reading stopped: a read that failed (errno stays its reason, for the caller's
// message), else memory.
void ReportStop(const DlgFileImage& image, const char* path) {
  if (image.ReadError() != 0) {
    errno = image.ReadError();
    platform::DebugOutput("CDlgFile::Load() Error (3) : Read file failed(%s)!\n", path);
    return;
  }
  errno = ENOMEM;
  platform::DebugOutput("CDlgFile::Load() Error (1) : Not enough memory(%s)!\n", path);
}

}  // namespace

int CDlgFile::Load(const char* path) {
  platform::Status status;
  return Load(path, status);
}

// Every failure is reported twice: the described debug line, and `status` in this layer's words
// (the file is the caller's to name). errno is taken before the debug line, which may change it.
int CDlgFile::Load(const char* path, platform::Status& status) {
  status = platform::Status::Ok();
  const auto noMemory = [&] {
    status = platform::Status::Failure("not enough memory", ENOMEM);
    platform::DebugOutput("CDlgFile::Load() Error (1) : Not enough memory(%s)!\n", path);
    return 0;
  };
  // Reading stopped: a read that failed (its errno), else memory.
  const auto stopped = [&](const DlgFileImage& image) {
    status = image.ReadError() != 0
                 ? platform::Status::Failure("cannot read the file", image.ReadError())
                 : platform::Status::Failure("not enough memory", ENOMEM);
    ReportStop(image, path);
    errno = status.systemError;
    return 0;
  };
  // Taken before the read: a change made while reading shows as a different mtime at the save.
  const platform::FileIdentity identity = platform::IdentifyFileForReading(path);
  DlgFileImage image;
  switch (image.Open(path, kMaxImageSize)) {
    case DlgFileImage::OpenResult::kOpened:
      break;
    case DlgFileImage::OpenResult::kCannotOpen:
      status = platform::Status::SystemFailure("cannot open the file");
      platform::DebugOutput("CDlgFile::Load() Error (0) : Open file failed(%s)!\n", path);
      return 0;
    case DlgFileImage::OpenResult::kNoMemory:
      return noMemory();
  }
  // The header, the column options and the plot count, all before the plot table.
  if (!image.Reach(0, std::min<int64_t>(image.size(), kDlgPlotTableOffset))) return stopped(image);
  DlgHeader header = NewDlgHeader();
  OverlayDlgHeader(header, image.At(0), static_cast<size_t>(image.size()));
  DocumentReader reader(*this, image, header.version, path);
  // The allocations that depend on the file alone come before the document is emptied, so that
  // their failure leaves the document as it was.
  CPlainString name;
  if (!reader.PrepareTable() || !name.Assign(header.gameName, kDlgGameNameSize)) return noMemory();

  RemoveContent();
  gameName.Swap(name);
  multiLine = header.multiLine;
  version = header.version;
  int32_t* columns[] = {&useSpeaker, &useExpression, &useSound};
  for (int k = 0; k < 3; ++k) {
    if (image.Has(kDlgColumnsOffset + 4 * k, 4))
      *columns[k] = image.IntAt(kDlgColumnsOffset + 4 * k);
  }

  const int64_t tableEnd = reader.ReadPlots();
  if (version >= kDlgVersionMembers) {
    reader.PlaceByMembers(header.indexOffset, header.indexCount);
  } else {
    // Files before version 102 have no index count of their own: it equals the line count.
    reader.PlaceByIndex(tableEnd,
                        version < kDlgVersionIndexCount ? header.lineCount : header.indexCount);
  }
  // A document that silently lacks part of its file would overwrite the whole file at the next
  // save. It is emptied instead, as the failed load leaves it, and the load reports failure.
  // The same for a read that failed: the bytes are there and could not be had.
  if (reader.OutOfMemory()) {
    RemoveContent();
    return stopped(image);
  }
  loadedFile = identity;
  return 1;
}
