#include "dlgfile/dlg_record.h"

#include <sys/stat.h>

#include <climits>
#include <cstring>
#include <memory>
#include <new>

#include "dlgfile/dlg_format.h"
#include "platform/fault_injection.h"
#include "runtime/prx_dlg.h"

namespace {

// A stream whose size cannot be known (a pipe) may still hold a record of up to this many bytes.
constexpr int64_t kUnknownStreamLimit = 64 * 1024 * 1024;

// Bytes left between the stream's position and its end.
int64_t RemainingBytes(std::FILE* file) {
  struct stat info;
  const int fd = fileno(file);
  const long position = std::ftell(file);
  if (fd < 0 || position < 0 || fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
    return kUnknownStreamLimit;
  }
  return info.st_size > position ? info.st_size - position : 0;
}

}  // namespace

DlgRecordResult ParseDlgRecord(const uint8_t* data, size_t available, CDlgItem& line,
                               TextArena* arena) {
  prx__record record;
  if (!prx__walk_record(data, available, 0, -1, &record, nullptr, nullptr)) {
    return DlgRecordResult::kRejected;
  }
  static_assert(kDlgTagPlotIndex == kDlgTagId + 1 && kDlgTagSpeaker == kDlgTagId + 2 &&
                kDlgTagExpression == kDlgTagSpeaker + 1 && kDlgTagSound == kDlgTagSpeaker + 2 &&
                kDlgTagText == kDlgTagSpeaker + 3);
  if (record.taken & 1) line.id = record.id;
  if (record.taken & 2) line.plotIndex = record.plot_index;
  CPlainString* const texts[] = {&line.speaker, &line.expression, &line.sound, &line.text};
  for (int t = 0; t < 4; ++t) {
    if ((record.taken & (4 << t)) == 0) continue;
    if (!DecodeDlgString(data + record.text_at[t], record.text_n[t], *texts[t], arena)) {
      return DlgRecordResult::kOutOfMemory;
    }
  }
  return DlgRecordResult::kAccepted;
}

int CDlgItem::Read(std::FILE* file) {
  uint8_t word[4];
  if (std::fread(word, 1, sizeof word, file) != sizeof word) return -1;
  const int32_t length = LoadLE32(word);
  // The result, length + 4, must stay representable.
  if (length < 0 || length > INT32_MAX - 4 || length > RemainingBytes(file)) return -1;
  // The record whole, its length word first, as ParseDlgRecord reads it from a file's image.
  const size_t size = 4 + static_cast<size_t>(length);
  std::unique_ptr<uint8_t[]> record(platform::NewZeroedArray<uint8_t>(size));
  if (record == nullptr) return -1;
  std::memcpy(record.get(), word, sizeof word);
  if (std::fread(record.get() + 4, 1, static_cast<size_t>(length), file) !=
      static_cast<size_t>(length)) {
    return -1;
  }
  return ParseDlgRecord(record.get(), size, *this) == DlgRecordResult::kAccepted ? length + 4 : -1;
}
