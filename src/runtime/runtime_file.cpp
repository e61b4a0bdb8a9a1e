#include "runtime/runtime_file.h"

#include <cstring>

#include "dlgfile/dlg_format.h"
#include "dlgfile/dlg_record_view.h"
#include "dlgfile/dlg_verify.h"

namespace parlatrix_runtime {

namespace {

// Findings kept while checking: enough to meet the first damage behind a few notices.
constexpr size_t kFindingsKept = 64;

uint32_t NameLength(const uint8_t* field, size_t size) {
  const void* zero = std::memchr(field, 0, size);
  return static_cast<uint32_t>(zero != nullptr ? static_cast<const uint8_t*>(zero) - field : size);
}

std::string FirstDamage(const DlgVerifyResult& result) {
  for (const DlgFinding& finding : result.findings) {
    if (finding.damage) {
      return "damaged at byte " + std::to_string(finding.offset) + ": " + finding.message;
    }
  }
  return "damaged (" + std::to_string(result.damageCount) + " findings)";
}

}  // namespace

prx_status DialogueFile::Open(std::unique_ptr<uint8_t[]> bytes, size_t size, std::string& why) {
  bytes_ = std::move(bytes);
  size_ = size;
  const DlgVerifyResult result = VerifyDlgBytes(bytes_.get(), size_, kFindingsKept);
  if (result.Damaged()) {
    why = FirstDamage(result);
    return PRX_ERROR_DAMAGED;
  }
  // From here on every count, offset and length has been checked against the bytes.
  if (!DecodeRecords(result.indexOffset, result.indexCount)) {
    why = "a record does not decode";
    return PRX_ERROR_DAMAGED;
  }
  DecodePlots(result.version, result.plotCount);
  gameNameAt_ = kDlgGameNameOffset;
  gameNameLength_ = NameLength(bytes_.get() + kDlgGameNameOffset, kDlgGameNameSize);
  return PRX_OK;
}

bool DialogueFile::DecodeRecords(int64_t indexOffset, int32_t indexCount) {
  slotOfId_.assign(static_cast<size_t>(indexCount), -1);
  uint8_t* const base = bytes_.get();
  size_t records = 0;
  for (int32_t k = 0; k < indexCount; ++k) {
    records += LoadLE32(base + indexOffset + int64_t{kDlgIndexEntrySize} * k) >= 0 ? 1 : 0;
  }
  lines_.reserve(records);
  for (int32_t k = 0; k < indexCount; ++k) {
    const uint8_t* entry = base + indexOffset + static_cast<int64_t>(kDlgIndexEntrySize) * k;
    if (LoadLE32(entry) < 0) continue;
    const int32_t at = LoadLE32(entry + 4);
    DlgRecordView view;
    if (!DecodeDlgRecordInPlace(base + at, size_ - static_cast<size_t>(at), view)) return false;
    Line line{view.id, view.plotIndex, {}, {}};
    for (int t = 0; t < DlgRecordView::kTextCount; ++t) {
      line.textAt[t] = view.textLength[t] > 0 ? static_cast<uint32_t>(at + view.textAt[t]) : 0;
      line.textLength[t] = static_cast<uint32_t>(view.textLength[t]);
    }
    slotOfId_[static_cast<size_t>(k)] = static_cast<int32_t>(lines_.size());
    lines_.push_back(line);
  }
  return true;
}

void DialogueFile::DecodePlots(int32_t version, int32_t plotCount) {
  const uint8_t* const base = bytes_.get();
  const int64_t fixedSize = DlgPlotEntrySize(version);
  int64_t offset = kDlgPlotTableOffset;
  plots_.reserve(static_cast<size_t>(plotCount));
  for (int32_t p = 0; p < plotCount; ++p) {
    Plot plot{static_cast<uint32_t>(offset),
              NameLength(base + offset, kDlgPlotNameSize),
              -1,
              -1,
              members_.size(),
              0};
    if (version >= kDlgVersionRanges) {
      plot.rangeLow = LoadLE32(base + offset + kDlgPlotNameSize);
      plot.rangeHigh = LoadLE32(base + offset + kDlgPlotNameSize + 4);
    }
    offset += fixedSize;
    if (version >= kDlgVersionMembers) {
      plot.memberCount = static_cast<size_t>(LoadLE32(base + offset - 4));
      for (size_t m = 0; m < plot.memberCount; ++m, offset += 4) {
        members_.push_back(LoadLE32(base + offset));
      }
    }
    plots_.push_back(plot);
  }
  if (version < kDlgVersionMembers) GroupLinesByPlot();
}

void DialogueFile::GroupLinesByPlot() {
  // Before version 104 a plot's lines are those whose records name it, in ascending ID order
  // (the check made sure every record names a plot of the table).
  for (const Line& line : lines_) ++plots_[static_cast<size_t>(line.plotIndex)].memberCount;
  size_t first = 0;
  for (Plot& plot : plots_) {
    plot.firstMember = first;
    first += plot.memberCount;
  }
  members_.resize(first);
  std::vector<size_t> filled(plots_.size(), 0);
  for (const Line& line : lines_) {
    const size_t p = static_cast<size_t>(line.plotIndex);
    members_[plots_[p].firstMember + filled[p]++] = line.id;
  }
}

prx_text DialogueFile::Text(uint32_t at, uint32_t length) const {
  if (length == 0) return prx_text{"", 0};
  return prx_text{reinterpret_cast<const char*>(bytes_.get() + at), length};
}

bool DialogueFile::GetLine(int32_t id, prx_line& out) const {
  if (id < 0 || static_cast<size_t>(id) >= slotOfId_.size() || slotOfId_[id] < 0) {
    out = prx_line{-1, -1, {"", 0}, {"", 0}, {"", 0}, {"", 0}};
    return false;
  }
  const Line& line = lines_[static_cast<size_t>(slotOfId_[id])];
  out.id = line.id;
  out.plot_index = line.plotIndex;
  out.speaker = Text(line.textAt[0], line.textLength[0]);
  out.expression = Text(line.textAt[1], line.textLength[1]);
  out.sound = Text(line.textAt[2], line.textLength[2]);
  out.text = Text(line.textAt[3], line.textLength[3]);
  return true;
}

bool DialogueFile::GetPlot(int32_t index, prx_plot& out) const {
  if (index < 0 || static_cast<size_t>(index) >= plots_.size()) return false;
  const Plot& plot = plots_[static_cast<size_t>(index)];
  out.name = Text(plot.nameAt, plot.nameLength);
  out.range_low = plot.rangeLow;
  out.range_high = plot.rangeHigh;
  out.members = plot.memberCount > 0 ? members_.data() + plot.firstMember : nullptr;
  out.member_count = plot.memberCount;
  return true;
}

}  // namespace parlatrix_runtime
