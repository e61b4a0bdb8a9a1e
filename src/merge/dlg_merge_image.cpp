// The merge's reader of a dialogue file (dlg_merge_image.h). The layout is in docs/dlg-format.md;
// the record and plot table walks are the loader's (the lenient walks of src/runtime/prx_dlg.h),
// and so are the decisions on what they find (src/dlgfile/dlg_reader.cpp).
#include "merge/dlg_merge_image.h"

#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>
#include <string_view>
#include <unordered_set>
#include <vector>

#include "dlgfile/dlg_format.h"
#include "platform/file_read.h"
#include "runtime/prx_dlg.h"

namespace {

// A fixed-size text field up to its first zero byte.
std::string_view FieldText(const uint8_t* at, size_t size) {
  const char* text = reinterpret_cast<const char*>(at);
  return std::string_view(text, strnlen(text, size));
}

// True when no ID repeats; otherwise false, naming the first repeat in plot and member order.
platform::Status RefuseRepeatedIds(const MergeDocument& doc, std::vector<int32_t>& ids) {
  std::sort(ids.begin(), ids.end());
  if (std::adjacent_find(ids.begin(), ids.end()) == ids.end()) return platform::Status::Ok();
  std::unordered_set<int32_t> seen;
  for (const MergePlot& plot : doc.plots) {
    for (const MergeLine& line : plot.lines) {
      if (!seen.insert(line.id).second) {
        return platform::Status::Failure("ID " + std::to_string(line.id) + " is listed twice");
      }
    }
  }
  return platform::Status::Failure("an ID is listed twice");
}

}  // namespace

platform::Status MergeImage::Read(const char* path) {
  std::FILE* file = platform::OpenRegularFileForReading(path);
  if (file == nullptr) return platform::Status::SystemFailure("cannot open the dialogue file");
  struct stat info;
  if (fstat(fileno(file), &info) != 0) {
    platform::Status status = platform::Status::SystemFailure("cannot open the dialogue file");
    std::fclose(file);
    return status;
  }
  if (info.st_size > INT32_MAX) {
    std::fclose(file);
    return platform::Status::Failure("cannot open the dialogue file", EFBIG);
  }
  size_ = static_cast<size_t>(info.st_size);
  if (!image_.Allocate(size_ > 0 ? size_ : 1)) {  // never without a block, even for no bytes
    std::fclose(file);
    return platform::Status::Failure("cannot open the dialogue file", ENOMEM);
  }
  size_ = std::fread(image_.data(), 1, size_, file);  // a file that shrank is simply shorter
  if (std::ferror(file) != 0) {
    platform::Status status = platform::Status::SystemFailure("cannot read the dialogue file");
    if (status.systemError == 0) status.systemError = EIO;
    std::fclose(file);
    return status;
  }
  std::fclose(file);
  return platform::Status::Ok();
}

platform::Status MergeImage::Copy(std::string_view bytes) {
  if (bytes.size() > INT32_MAX) return platform::Status::Failure("the file is too large", EFBIG);
  size_ = bytes.size();
  if (!image_.Allocate(size_ > 0 ? size_ : 1)) {
    return platform::Status::Failure("not enough memory", ENOMEM);
  }
  std::memcpy(image_.data(), bytes.data(), size_);
  return platform::Status::Ok();
}

int32_t MergeImage::version() const {
  DlgHeader header = NewDlgHeader();
  OverlayDlgHeader(header, image_.data(), size_);
  return header.version;
}

bool MergeImage::DecodeRecord(int64_t offset, MergeLine& line) {
  if (!Has(offset, 0)) return false;
  prx__record record;
  uint8_t* const at = image_.data() + offset;
  if (!prx__walk_record(at, size_ - static_cast<size_t>(offset), 0, -1, &record, nullptr,
                        nullptr)) {
    return false;
  }
  if (record.taken & 1) line.id = record.id;
  std::string_view* const texts[] = {&line.speaker, &line.expression, &line.sound, &line.text};
  for (int t = 0; t < 4; ++t) {
    if ((record.taken & (4 << t)) == 0) continue;
    // Unscrambled in place: the snapshot views the image.
    char* const block = reinterpret_cast<char*>(at + record.text_at[t]);
    const size_t n = static_cast<size_t>(record.text_n[t]);
    *texts[t] = std::string_view(block, UnscrambleText(reinterpret_cast<uint8_t*>(block), n));
  }
  return record.plot_index >= 0 && line.id >= 0;
}

platform::Status MergeImage::Snapshot(MergeDocument& out) {
  out = MergeDocument();
  DlgHeader header = NewDlgHeader();
  OverlayDlgHeader(header, image_.data(), size_);
  if (header.version < kDlgVersionMembers) {
    return platform::Status::Failure("version " + std::to_string(header.version) +
                                     " is read through CDlgFile::Load");
  }
  const uint8_t* image = image_.data();
  // A file that ends inside the game name field has the bytes it has (the rest reads as zeros).
  if (size_ > kDlgGameNameOffset) {
    out.gameName = FieldText(image + kDlgGameNameOffset,
                             std::min<size_t>(kDlgGameNameSize, size_ - kDlgGameNameOffset));
  }
  out.multiLine = header.multiLine;
  int32_t* columns[] = {&out.useSpeaker, &out.useExpression, &out.useSound};
  for (int k = 0; k < 3; ++k) {
    if (Has(kDlgColumnsOffset + 4 * k, 4))
      *columns[k] = LoadLE32(image + kDlgColumnsOffset + 4 * k);
  }
  const int32_t plotCount = Has(kDlgPlotCountOffset, 4) ? LoadLE32(image + kDlgPlotCountOffset) : 0;
  std::unordered_set<std::string_view> names;
  std::vector<int32_t> ids;  // every placed ID, checked for repeats at the end
  int64_t offset = kDlgPlotTableOffset;
  prx__plot_entry entry;
  for (int32_t i = 0; i < plotCount && Has(offset, 0) &&
                      prx__walk_plot(image + offset, static_cast<int64_t>(size_) - offset,
                                     header.version, 0, &entry) == PRX__PLOT_TAKEN;
       ++i) {
    MergePlot& plot = out.plots.emplace_back();
    plot.name = FieldText(image + offset, kDlgPlotNameSize);
    plot.rangeLow = entry.range_low;
    plot.rangeHigh = entry.range_high;
    const int64_t members = offset + entry.members_at;
    offset += entry.size;
    if (!names.insert(plot.name).second) {
      return platform::Status::Failure("two plots are named \"" + std::string(plot.name) + "\"");
    }
    plot.lines.reserve(static_cast<size_t>(entry.members_listed));
    for (int32_t k = 0; k < entry.members_listed; ++k) {
      const int32_t id = LoadLE32(image + members + 4 * int64_t{k});
      const int64_t entry = header.indexOffset + int64_t{id} * kDlgIndexEntrySize;
      if (id < 0 || id >= header.indexCount || !Has(entry, kDlgIndexEntrySize)) continue;
      // A record listed twice is decoded twice; its strings then read as garbage, but its ID,
      // which is not unscrambled in place, repeats and refuses the file below.
      MergeLine line;
      if (!DecodeRecord(LoadLE32(image + entry + 4), line)) continue;
      ids.push_back(line.id);
      plot.lines.push_back(line);
    }
  }
  return RefuseRepeatedIds(out, ids);
}
