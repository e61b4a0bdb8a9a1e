#include "dlgfile/dlg_verify.h"

#include <climits>
#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "dlgfile/dlg_format.h"
#include "runtime/prx_dlg.h"

namespace {

constexpr int32_t kOldestVersion = 100;
// Every offset in the format is a signed 32-bit value: no byte beyond this can be reached.
constexpr int64_t kMaxFileSize = INT32_MAX;
// The column options and the plot count follow the header block; together 148 bytes.
constexpr int64_t kFixedPartSize = kDlgPlotTableOffset;

enum class EntryKind : uint8_t { kHole, kRecord, kBadRecord };

// What the index pass learns about entry k, for the check of the member lists after it.
struct EntryState {
  int32_t plotIndex = -1;
  int32_t plotIndexAt = -1;  // offset of the record's plot index value
  int32_t firstLister = -1;  // first plot that lists the ID
  EntryKind kind = EntryKind::kHole;
  bool listedByItsPlot = false;  // the plot the record names lists it
};

struct MemberList {
  int64_t offset;  // of the first member ID
  int32_t count;
  int32_t plot;
};

class Verifier {
 public:
  Verifier(const uint8_t* data, size_t size, size_t maxFindings)
      : data_(data), size_(static_cast<int64_t>(size)), maxFindings_(maxFindings) {}

  DlgVerifyResult Run() {
    if (CheckHeader() && CheckPlotTable() && CheckIndexSize()) {
      CheckIndexAndRecords();
      if (version_ >= kDlgVersionMembers) {
        CheckMemberLists();
      } else {
        CheckPlotIndexes();
      }
    }
    return std::move(result_);
  }

 private:
  bool Has(int64_t offset, int64_t count) const {
    return offset >= 0 && count >= 0 && offset <= size_ && count <= size_ - offset;
  }
  int32_t Plain(int64_t offset) const { return LoadLE32(data_ + offset); }

  void Add(bool damage, int64_t offset, int32_t entry, int32_t id, const char* format, ...)
      __attribute__((format(printf, 6, 7)));

  bool CheckHeader();
  bool CheckPlotTable();
  bool CheckIndexSize();
  void CheckIndexAndRecords();
  // Checks the record of entry k at `at`; its size, or -1 when its length word is unusable.
  int64_t CheckRecord(int32_t k, int64_t at);
  // What the strict record walk reports a flaw of: the verifier, the entry and its record's offset.
  struct RecordCheck {
    Verifier* verifier;
    int32_t entry;
    int64_t at;
  };
  static void ReportFlaw(void* context, int flaw, int32_t at, int64_t a, int64_t b);
  void CheckMemberLists();
  void CheckPlotIndexes();

  const uint8_t* data_;
  int64_t size_;
  size_t maxFindings_;
  DlgVerifyResult result_;
  int32_t version_ = kDlgVersion;  // as interpreted: clamped to the versions that exist
  int32_t indexCount_ = 0;
  int64_t countAt_ = kDlgIndexCountOffset;  // where the index count was taken from
  int64_t indexStart_ = 0;
  int64_t recordsEnd_ = 0;  // = offset of the records size word
  std::vector<MemberList> members_;
  std::vector<EntryState> entries_;
};

void Verifier::Add(bool damage, int64_t offset, int32_t entry, int32_t id, const char* format,
                   ...) {
  (damage ? result_.damageCount : result_.noticeCount) += 1;
  if (result_.findings.size() >= maxFindings_) {
    result_.truncated_findings = true;
    return;
  }
  char text[160];
  va_list args;
  va_start(args, format);
  std::vsnprintf(text, sizeof text, format, args);
  va_end(args);
  result_.findings.push_back(DlgFinding{offset, entry, id, text, damage});
}

bool Verifier::CheckHeader() {
  if (size_ > kMaxFileSize) {
    Add(true, kMaxFileSize, -1, -1, "file is larger than 2 GiB");
    return false;
  }
  if (size_ < kFixedPartSize + 4) {
    if (Has(kDlgVersionOffset, 4)) result_.version = Plain(kDlgVersionOffset);
    Add(true, size_, -1, -1, "file of %lld bytes is shorter than the header and records size",
        static_cast<long long>(size_));
    return false;
  }
  recordsEnd_ = size_ - 4;
  result_.recordsEnd = recordsEnd_;
  if (std::memcmp(data_, kDlgSectionTag, sizeof kDlgSectionTag) != 0) {
    Add(false, 0, -1, -1, "section tag is not DLGTEXT");
  }
  if (std::memcmp(data_ + kDlgSignatureOffset, kDlgSignature, sizeof kDlgSignature) != 0) {
    Add(false, kDlgSignatureOffset, -1, -1, "signature is not QUILLHAVEN@");
  }
  const int32_t version = Plain(kDlgVersionOffset);
  result_.version = version;
  if (version < kOldestVersion || version > kDlgVersion) {
    Add(true, kDlgVersionOffset, -1, -1, "unknown version %d", version);
    version_ = version < kOldestVersion ? kOldestVersion : kDlgVersion;
  } else {
    version_ = version;
  }
  result_.lineCount = Plain(kDlgLineCountOffset);
  if (result_.lineCount < 0) {
    Add(true, kDlgLineCountOffset, -1, -1, "line count %d is negative", result_.lineCount);
  }
  if (std::memchr(data_ + kDlgGameNameOffset, 0, kDlgGameNameSize) == nullptr) {
    Add(true, kDlgGameNameOffset, -1, -1, "game name has no terminating zero byte");
  }
  // Files before version 102 have no index count of their own: the line count serves.
  countAt_ = version_ < kDlgVersionIndexCount ? kDlgLineCountOffset : kDlgIndexCountOffset;
  indexCount_ = Plain(countAt_);
  result_.indexCount = indexCount_;
  result_.plotCount = Plain(kDlgPlotCountOffset);
  if (indexCount_ < 0) {
    Add(true, countAt_, -1, -1, "index count %d is negative", indexCount_);
    return false;
  }
  if (result_.plotCount < 0) {
    Add(true, kDlgPlotCountOffset, -1, -1, "plot count %d is negative", result_.plotCount);
    return false;
  }
  return true;
}

bool Verifier::CheckPlotTable() {
  int64_t offset = kDlgPlotTableOffset;
  // Each entry takes at least 64 bytes or ends the check, so the loop is bounded by the size.
  for (int32_t p = 0; p < result_.plotCount; ++p) {
    prx__plot_entry entry;
    const int walked = prx__walk_plot(data_ + offset, recordsEnd_ - offset, version_, 1, &entry);
    if (walked == PRX__PLOT_CUT) {
      Add(true, offset, -1, -1, "plot %d of %d is cut off by the end of the file", p,
          result_.plotCount);
      return false;
    }
    if (!entry.name_ends) {
      Add(true, offset, -1, -1, "plot %d name has no terminating zero byte", p);
    }
    if (walked == PRX__PLOT_BAD_COUNT) {
      Add(true, offset + entry.members_at - 4, -1, -1,
          "plot %d member count %d does not fit the file", p, entry.member_count);
      return false;
    }
    if (entry.members_at >= 0) {
      members_.push_back(MemberList{offset + entry.members_at, entry.member_count, p});
    }
    offset += entry.size;
  }
  indexStart_ = offset;
  result_.indexOffset = offset;
  const int32_t stated = Plain(kDlgIndexOffsetOffset);
  // Before version 104 the field is unused (loaders take the index from the end of the plot
  // table) and the writers of those versions left it 0: nothing to say. Any other value that
  // misses the index would mislead a reader by ID, which takes this field whatever the version,
  // so it is noted; from version 104 on it is damage.
  const bool unused = version_ < kDlgVersionMembers && stated == 0;
  if (stated != offset && !unused) {
    Add(version_ >= kDlgVersionMembers, kDlgIndexOffsetOffset, -1, -1,
        "index offset %d, but the plot table ends at %lld", stated, static_cast<long long>(offset));
  }
  return true;
}

bool Verifier::CheckIndexSize() {
  if (indexCount_ > (recordsEnd_ - indexStart_) / kDlgIndexEntrySize) {
    Add(true, countAt_, -1, -1, "index of %d entries runs past the end of the file", indexCount_);
    return false;
  }
  // Bounded by the size: every entry takes 8 bytes of the file.
  entries_.resize(static_cast<size_t>(indexCount_));
  return true;
}

void Verifier::CheckIndexAndRecords() {
  const int64_t recordsStart = indexStart_ + kDlgIndexEntrySize * static_cast<int64_t>(indexCount_);
  int64_t cursor = recordsStart;  // where the next record must start
  bool lost = false;              // a record's length was unusable: take the next entry's word
  for (int32_t k = 0; k < indexCount_; ++k) {
    const int64_t at = indexStart_ + kDlgIndexEntrySize * static_cast<int64_t>(k);
    const int32_t id = Plain(at);
    const int32_t offset = Plain(at + 4);
    if (id != k && id != -1) Add(true, at, k, k, "entry %d holds ID %d", k, id);
    if (lost && offset >= recordsStart && offset <= recordsEnd_) {
      cursor = offset;
      lost = false;
    }
    if (id < 0) {
      // A hole has no record; its offset is that of the next record in the file.
      entries_[k].kind = EntryKind::kHole;
      if (!lost && offset != cursor) {
        Add(true, at + 4, k, k, "hole's record offset %d is not the next record's %lld", offset,
            static_cast<long long>(cursor));
      }
      if (k == indexCount_ - 1) Add(true, at, k, k, "index ends in a hole");
      continue;
    }
    if (lost) {
      Add(true, at + 4, k, k, "record offset %d is outside the records", offset);
      entries_[k].kind = EntryKind::kBadRecord;
      continue;
    }
    if (offset != cursor) {
      Add(true, at + 4, k, k, "record offset %d, but the record follows at %lld", offset,
          static_cast<long long>(cursor));
    }
    const int64_t size = CheckRecord(k, cursor);
    if (size < 0) {
      lost = true;
    } else {
      cursor += size;
    }
  }
  if (lost) return;
  if (cursor != recordsEnd_) {
    Add(true, cursor, -1, -1, "%lld bytes after the last record belong to no entry",
        static_cast<long long>(recordsEnd_ - cursor));
  }
  const int32_t stated = Plain(recordsEnd_);
  if (stated != cursor - recordsStart) {
    Add(true, recordsEnd_, -1, -1, "records size %d, but the records take %lld bytes", stated,
        static_cast<long long>(cursor - recordsStart));
  }
}

// The check's words for each flaw of the strict record walk, in the order of enum prx__flaw; the
// values the walk reports (a, then b) fill them in.
constexpr const char* kFlawWords[] = {
    "record of ID %lld would start after the records",
    "record length %lld does not fit the %lld bytes of records left",
    "record length %lld leaves no room for the field count",
    "record field count %lld, not %lld",
    "record length %lld ends inside field %lld",
    "unknown field tag %lld",
    "field tag %lld repeated",
    "record length %lld ends inside field tag %lld",
    "record of entry %lld holds ID %lld",
    "string length %lld does not fit the %lld bytes left",
    "string of field tag %lld has no terminating zero byte",
    "record lacks field tag %lld",
    "record length %lld leaves no room for the trailing length",
    "trailing body length %lld, not %lld",
    "%lld stray bytes after the trailing body length",
};
static_assert(sizeof kFlawWords / sizeof kFlawWords[0] == PRX__FLAW_STRAY + 1);

// A flaw of the strict record walk in the check's words, at its offset in the file.
void Verifier::ReportFlaw(void* context, int flaw, int32_t at, int64_t a, int64_t b) {
  RecordCheck& check = *static_cast<RecordCheck*>(context);
  const int32_t k = check.entry;
  // The walk reports no value with this one; the check names the entry's ID.
  if (flaw == PRX__FLAW_NO_LENGTH) a = k;
  // A message with one value leaves the second argument unused, which printf allows.
  check.verifier->Add(true, check.at + at, k, k, kFlawWords[flaw], static_cast<long long>(a),
                      static_cast<long long>(b));
}

int64_t Verifier::CheckRecord(int32_t k, int64_t at) {
  EntryState& entry = entries_[k];
  entry.kind = EntryKind::kBadRecord;
  RecordCheck check{this, k, at};
  prx__record record;
  const bool clean = prx__walk_record(data_ + at, static_cast<size_t>(recordsEnd_ - at), 1, k,
                                      &record, &Verifier::ReportFlaw, &check) != 0;
  if (record.length < 0) return -1;  // its length word is unusable
  entry.plotIndex = record.plot_index;
  entry.plotIndexAt =
      record.plot_index_at < 0 ? -1 : static_cast<int32_t>(at + record.plot_index_at);
  if (clean) entry.kind = EntryKind::kRecord;
  return 4 + static_cast<int64_t>(record.length);
}

void Verifier::CheckMemberLists() {
  for (const MemberList& list : members_) {
    for (int32_t m = 0; m < list.count; ++m) {
      const int64_t at = list.offset + 4 * static_cast<int64_t>(m);
      const int32_t id = Plain(at);
      if (id < 0) {
        Add(false, at, -1, id, "plot %d lists negative ID %d", list.plot, id);
        continue;
      }
      if (id >= indexCount_ || entries_[id].kind == EntryKind::kHole) {
        Add(true, at, id < indexCount_ ? id : -1, id, "plot %d lists ID %d, which has no record",
            list.plot, id);
        continue;
      }
      EntryState& entry = entries_[id];
      if (entry.firstLister == list.plot) {
        Add(false, at, id, id, "plot %d lists ID %d twice", list.plot, id);
      } else if (entry.firstLister >= 0) {
        Add(false, at, id, id, "ID %d is listed under plots %d and %d", id, entry.firstLister,
            list.plot);
      } else {
        entry.firstLister = list.plot;
      }
      if (entry.plotIndex == list.plot) entry.listedByItsPlot = true;
    }
  }
  for (int32_t k = 0; k < indexCount_; ++k) {
    const EntryState& entry = entries_[k];
    if (entry.kind != EntryKind::kRecord) continue;
    if (entry.firstLister < 0) {
      Add(false, Plain(indexStart_ + kDlgIndexEntrySize * static_cast<int64_t>(k) + 4), k, k,
          "record of ID %d is in no plot", k);
    } else if (!entry.listedByItsPlot) {
      Add(true, entry.plotIndexAt, k, k, "record of ID %d names plot %d, but plot %d lists it", k,
          entry.plotIndex, entry.firstLister);
    }
  }
}

void Verifier::CheckPlotIndexes() {
  // Before version 104 a line goes to the plot its record names; one naming no plot is lost.
  for (int32_t k = 0; k < indexCount_; ++k) {
    const EntryState& entry = entries_[k];
    if (entry.kind != EntryKind::kRecord) continue;
    if (entry.plotIndex < 0 || entry.plotIndex >= result_.plotCount) {
      Add(true, entry.plotIndexAt, k, k, "record of ID %d names plot %d, of %d plots", k,
          entry.plotIndex, result_.plotCount);
    }
  }
}

}  // namespace

DlgVerifyResult VerifyDlgBytes(const uint8_t* data, size_t size, size_t maxFindings) {
  static const uint8_t kNothing = 0;
  return Verifier(data == nullptr ? &kNothing : data, data == nullptr ? 0 : size, maxFindings)
      .Run();
}
