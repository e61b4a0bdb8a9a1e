// Writer of a merge result (dlg_merge_write.h). The layout is in docs/dlg-format.md; every choice
// (records in ascending ID order, holes pointing at the next record, plot numbers in list order,
// names cut to their fields, texts up to their first zero byte) is the one
// src/dlgfile/dlg_writer.cpp makes for a document, and the header, plot entries and records are
// encoded by the writer's own encoders (EncodeDlgFixedPart, EncodeDlgPlotEntry, EncodeDlgRecord
// in dlg_format.h), so the bytes are the same.
#include "merge/dlg_merge_write.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstring>
#include <memory>
#include <string_view>
#include <vector>

#include "dlgfile/dlg_format.h"
#include "platform/debug_output.h"
#include "platform/fault_injection.h"
#include "platform/file_io.h"
#include "platform/page_buffer.h"

namespace {

// A text as a document stores it: up to its first zero byte.
std::string_view Stored(std::string_view text) {
  if (text.empty()) return text;
  const void* nul = std::memchr(text.data(), 0, text.size());
  return nul == nullptr
             ? text
             : text.substr(0, static_cast<size_t>(static_cast<const char*>(nul) - text.data()));
}

void PutPlain(uint8_t*& at, int32_t value) {
  StoreLE32(at, value);
  at += 4;
}

// One line in file order, with its texts as stored.
struct Record {
  int32_t id;
  int32_t plot;               // its plot's number in the plot table: the record's plot index
  std::string_view texts[4];  // speaker, expression, sound, text
  int64_t Size() const { return DlgRecordSize(texts); }
};

// Hands out room in a buffer of fixed size and writes it out when full, so that the file is not
// built whole in memory. After the first failed write nothing more is written.
class ChunkOut {
 public:
  static constexpr size_t kSize = size_t{1} << 20;  // more than the largest record the plan takes

  explicit ChunkOut(std::FILE* file) : file_(file), buffer_(platform::NewArray<uint8_t>(kSize)) {}
  bool ready() const { return buffer_ != nullptr; }
  // Room for `count` bytes (at most kSize), to be filled before the next call.
  uint8_t* Take(size_t count) {
    if (used_ + count > kSize) Flush();
    uint8_t* at = buffer_.get() + used_;
    used_ += count;
    return at;
  }
  bool Flush() {
    if (ok_ && used_ > 0) ok_ = platform::WriteBytes(file_, buffer_.get(), used_);
    used_ = 0;
    return ok_;
  }

 private:
  std::FILE* file_;
  std::unique_ptr<uint8_t[]> buffer_;
  size_t used_ = 0;
  bool ok_ = true;
};

class MergedFile {
 public:
  explicit MergedFile(const MergeDocument& doc) : doc_(doc) {}

  // Orders the lines and sizes the file. False when the document is one the direct writer leaves
  // to Save: a negative or repeated ID, a text Save warns about, a file past 2 GiB.
  bool Plan();
  // Writes the whole file; false when a write fails.
  bool Write(ChunkOut& out) const;

 private:
  void EncodeHeader(uint8_t* at) const;
  void EncodePlots(ChunkOut& out) const;
  void EncodeIndex(ChunkOut& out) const;

  const MergeDocument& doc_;
  std::vector<Record> records_;  // ascending ID
  int64_t indexOffset_ = kDlgPlotTableOffset;
  int64_t indexCount_ = 0;
  int64_t recordsSize_ = 0;
};

bool MergedFile::Plan() {
  size_t count = 0;
  for (const MergePlot& plot : doc_.plots) count += plot.lines.size();
  if (count > INT32_MAX || doc_.plots.size() > INT32_MAX) return false;
  records_.reserve(count);
  platform::PreferHugePages(records_.data(), count * sizeof(Record));
  int32_t number = 0;
  for (const MergePlot& plot : doc_.plots) {
    indexOffset_ += DlgPlotEntrySize(kDlgVersion) + 4 * static_cast<int64_t>(plot.lines.size());
    for (const MergeLine& line : plot.lines) {
      Record& record = records_.emplace_back();
      record.id = line.id;
      record.plot = number;
      const std::string_view texts[4] = {line.speaker, line.expression, line.sound, line.text};
      for (int k = 0; k < 4; ++k) {
        record.texts[k] = Stored(texts[k]);
        if (record.texts[k].size() + 1 > static_cast<size_t>(kDlgStringWarnLength)) return false;
      }
      recordsSize_ += record.Size();
    }
    ++number;
  }
  auto byId = [](const Record& a, const Record& b) { return a.id < b.id; };
  if (!std::is_sorted(records_.begin(), records_.end(), byId)) {
    std::sort(records_.begin(), records_.end(), byId);
  }
  for (size_t k = 0; k < records_.size(); ++k) {
    if (records_[k].id < 0 || (k > 0 && records_[k].id == records_[k - 1].id)) return false;
  }
  indexCount_ = records_.empty() ? 0 : int64_t{records_.back().id} + 1;
  return indexOffset_ + indexCount_ * kDlgIndexEntrySize + recordsSize_ + 4 <= INT32_MAX;
}

// The header block, the column options and the plot count: kDlgPlotTableOffset bytes.
void MergedFile::EncodeHeader(uint8_t* at) const {
  DlgHeader header = NewDlgHeader();
  EncodeDlgTextField(reinterpret_cast<uint8_t*>(header.gameName), Stored(doc_.gameName),
                     kDlgGameNameSize);
  header.lineCount = static_cast<int32_t>(records_.size());
  header.indexOffset = static_cast<int32_t>(indexOffset_);
  header.multiLine = doc_.multiLine;
  header.indexCount = static_cast<int32_t>(indexCount_);
  const int32_t columns[3] = {doc_.useSpeaker, doc_.useExpression, doc_.useSound};
  EncodeDlgFixedPart(header, columns, static_cast<int32_t>(doc_.plots.size()), at);
}

void MergedFile::EncodePlots(ChunkOut& out) const {
  for (const MergePlot& plot : doc_.plots) {
    EncodeDlgPlotEntry(out.Take(DlgPlotEntrySize(kDlgVersion)), Stored(plot.name), plot.rangeLow,
                       plot.rangeHigh, static_cast<int32_t>(plot.lines.size()));
    for (const MergeLine& line : plot.lines) {
      uint8_t* at = out.Take(4);
      PutPlain(at, line.id);
    }
  }
}

// Entry j describes ID j; a hole holds -1 and the offset of the record that follows it.
void MergedFile::EncodeIndex(ChunkOut& out) const {
  int64_t offset = indexOffset_ + indexCount_ * kDlgIndexEntrySize;
  int64_t j = 0;
  for (const Record& record : records_) {
    for (; j <= record.id; ++j) {
      uint8_t* at = out.Take(kDlgIndexEntrySize);
      PutPlain(at, j == record.id ? record.id : -1);
      PutPlain(at, static_cast<int32_t>(offset));
    }
    offset += record.Size();
  }
}

bool MergedFile::Write(ChunkOut& out) const {
  EncodeHeader(out.Take(kDlgPlotTableOffset));
  EncodePlots(out);
  EncodeIndex(out);
  for (const Record& record : records_) {
    const int size = static_cast<int>(record.Size());
    EncodeDlgRecord(out.Take(static_cast<size_t>(size)), size, record.id, record.plot,
                    record.texts[0], record.texts[1], record.texts[2], record.texts[3]);
  }
  uint8_t* at = out.Take(4);
  PutPlain(at, static_cast<int32_t>(recordsSize_));
  return out.Flush();
}

}  // namespace

MergedWrite WriteMergedDocument(const MergeDocument& merged, std::FILE* stream) {
  MergedFile file(merged);
  if (!file.Plan()) return MergedWrite::kNotTaken;
  ChunkOut out(stream);
  return out.ready() && file.Write(out) ? MergedWrite::kWritten : MergedWrite::kFailed;
}

platform::Status SaveMergedDocument(const MergeDocument& merged, const char* path) {
  MergedFile file(merged);
  if (!file.Plan()) {
    CDlgFile doc;
    if (!BuildDocument(merged, doc)) return platform::Status::Failure("not enough memory", ENOMEM);
    platform::Status status;
    if (doc.Save(path, status) != 1 && status.ok) status = platform::Status::Failure("cannot save");
    return status;
  }
  bool ready = true;
  const platform::ReplaceResult result = platform::ReplaceFile(path, [&](std::FILE* stream) {
    ChunkOut out(stream);
    ready = out.ready();
    return ready && file.Write(out);
  });
  // Save's own diagnostics, so that a failed merge reads the same whichever writer ran.
  switch (result) {
    case platform::ReplaceResult::kReplaced:
      return platform::Status::Ok();
    case platform::ReplaceResult::kCreateFailed: {
      platform::Status status = platform::Status::SystemFailure("cannot create the temporary file");
      platform::DebugOutput("CDlgFile::Save() Error (2) : Create save file failed(%s).\n", path);
      return status;
    }
    case platform::ReplaceResult::kWriteFailed:
      break;
  }
  if (!ready) {
    errno = ENOMEM;  // the caller names the reason, as it does after Save
    platform::DebugOutput("CDlgFile::Save() Error (1) : Not enough memory(%s).\n", path);
    return platform::Status::Failure("not enough memory", ENOMEM);
  }
  platform::Status status = platform::Status::SystemFailure("cannot write the file");
  platform::DebugOutput("CDlgFile::Save() Error (4) : Write save file failed(%s).\n", path);
  return status;
}
