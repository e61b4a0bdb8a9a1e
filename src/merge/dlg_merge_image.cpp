// The merge's reader of a dialogue file (dlg_merge_image.h). The layout is in docs/dlg-format.md;
// every count, length and offset is checked against the image before it is used, as the loader
// does, and the decisions are the loader's (src/dlgfile/dlg_reader.cpp,
// src/dlgfile/dlg_record.cpp).
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

namespace {

constexpr int64_t kPlotEntrySize = kDlgPlotNameSize + 12;  // name, range, member count (104)

// A fixed-size text field up to its first zero byte.
std::string_view FieldText(const uint8_t* at, size_t size) {
  const char* text = reinterpret_cast<const char*>(at);
  return std::string_view(text, strnlen(text, size));
}

// An encoded string at the cursor, unscrambled in place; as readStr, nothing is taken (and the
// field stays empty) when its length cannot be taken, is negative or exceeds the room.
void TakeString(uint8_t*& cursor, int room, std::string_view& text) {
  if (room < 4) return;
  const int32_t n = LoadScrambledLE32(cursor);
  if (n < 0 || n > room - 4) return;
  uint8_t* block = cursor + 4;
  const size_t length = UnscrambleText(block, static_cast<size_t>(n));
  text = std::string_view(reinterpret_cast<const char*>(block), length);
  cursor = block + n;
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

int32_t MergeImage::version() const {
  DlgHeader header = NewDlgHeader();
  OverlayDlgHeader(header, image_.data(), size_);
  return header.version;
}

bool MergeImage::DecodeRecord(int64_t offset, MergeLine& line) {
  if (!Has(offset, 4)) return false;
  const int32_t length = LoadLE32(image_.data() + offset);
  if (length < 0 || !Has(offset + 4, length)) return false;
  uint8_t* body = image_.data() + offset + 4;
  uint8_t* cursor = body;
  auto room = [&] { return length - static_cast<int>(cursor - body); };
  auto takeInt = [&](int32_t& value) {
    if (room() < 4) return;
    value = LoadScrambledLE32(cursor);
    cursor += 4;
  };
  int32_t fieldCount = 0;
  int32_t plotIndex = -1;
  takeInt(fieldCount);
  if (fieldCount < 0 || fieldCount > kDlgMaxFieldCount) return false;
  for (int32_t field = 0; field < fieldCount; ++field) {
    int32_t tag = 0;
    takeInt(tag);
    switch (tag) {
      case kDlgTagId:
        takeInt(line.id);
        break;
      case kDlgTagPlotIndex:
        takeInt(plotIndex);
        break;
      case kDlgTagSpeaker:
        TakeString(cursor, room(), line.speaker);
        break;
      case kDlgTagExpression:
        TakeString(cursor, room(), line.expression);
        break;
      case kDlgTagSound:
        TakeString(cursor, room(), line.sound);
        break;
      case kDlgTagText:
        TakeString(cursor, room(), line.text);
        break;
      default:
        break;  // an unknown tag carries no value
    }
  }
  return plotIndex >= 0 && line.id >= 0;
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
  for (int32_t i = 0; i < plotCount && Has(offset, kPlotEntrySize); ++i) {
    MergePlot& plot = out.plots.emplace_back();
    plot.name = FieldText(image + offset, kDlgPlotNameSize);
    plot.rangeLow = LoadLE32(image + offset + kDlgPlotNameSize);
    plot.rangeHigh = LoadLE32(image + offset + kDlgPlotNameSize + 4);
    const int32_t members = LoadLE32(image + offset + kDlgPlotNameSize + 8);
    offset += kPlotEntrySize;
    if (!names.insert(plot.name).second) {
      return platform::Status::Failure("two plots are named \"" + std::string(plot.name) + "\"");
    }
    plot.lines.reserve(static_cast<size_t>(
        std::clamp<int64_t>(members, 0, (static_cast<int64_t>(size_) - offset) / 4)));
    for (int32_t k = 0; k < members && Has(offset + 4 * int64_t{k}, 4); ++k) {
      const int32_t id = LoadLE32(image + offset + 4 * int64_t{k});
      const int64_t entry = header.indexOffset + int64_t{id} * kDlgIndexEntrySize;
      if (id < 0 || id >= header.indexCount || !Has(entry, kDlgIndexEntrySize)) continue;
      // A record listed twice is decoded twice; its strings then read as garbage, but its ID,
      // which is not unscrambled in place, repeats and refuses the file below.
      MergeLine line;
      if (!DecodeRecord(LoadLE32(image + entry + 4), line)) continue;
      ids.push_back(line.id);
      plot.lines.push_back(line);
    }
    offset += 4 * int64_t{std::max(members, 0)};
  }
  return RefuseRepeatedIds(out, ids);
}
