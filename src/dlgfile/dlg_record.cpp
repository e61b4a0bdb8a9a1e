#include "dlgfile/dlg_record.h"

#include <sys/stat.h>

#include <climits>
#include <memory>
#include <new>

#include "dlgfile/dlg_format.h"
#include "platform/fault_injection.h"

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

// The text a string tag (102 to 105) names; nullptr for any other tag.
CPlainString* TextField(CDlgItem& line, int32_t tag) {
  CPlainString* const fields[] = {&line.speaker, &line.expression, &line.sound, &line.text};
  static_assert(kDlgTagExpression == kDlgTagSpeaker + 1 && kDlgTagSound == kDlgTagSpeaker + 2 &&
                kDlgTagText == kDlgTagSpeaker + 3);
  return tag >= kDlgTagSpeaker && tag <= kDlgTagText ? fields[tag - kDlgTagSpeaker] : nullptr;
}

}  // namespace

DlgRecordResult ParseDlgRecordBody(const uint8_t* body, int length, CDlgItem& line,
                                   TextArena* arena) {
  const uint8_t* cursor = body;
  auto room = [&] { return length - static_cast<int>(cursor - body); };
  int32_t fieldCount = 0;
  getInt(cursor, room(), fieldCount);
  if (fieldCount < 0 || fieldCount > kDlgMaxFieldCount) return DlgRecordResult::kRejected;
  for (int32_t field = 0; field < fieldCount; ++field) {
    int32_t tag = 0;
    getInt(cursor, room(), tag);
    if (tag == kDlgTagId || tag == kDlgTagPlotIndex) {
      getInt(cursor, room(), tag == kDlgTagId ? line.id : line.plotIndex);
      continue;
    }
    // An unknown tag carries no value; the next 4 bytes are the next tag.
    CPlainString* text = TextField(line, tag);
    if (text != nullptr && readStr(cursor, room(), *text, arena) < 0) {
      return DlgRecordResult::kOutOfMemory;
    }
  }
  int32_t trailingLength = 0;
  getInt(cursor, room(), trailingLength);
  return DlgRecordResult::kAccepted;
}

DlgRecordResult ParseDlgRecord(const uint8_t* data, size_t available, CDlgItem& line,
                               TextArena* arena) {
  if (available < 4) return DlgRecordResult::kRejected;
  const int32_t length = LoadLE32(data);
  if (length < 0 || static_cast<size_t>(length) > available - 4) return DlgRecordResult::kRejected;
  return ParseDlgRecordBody(data + 4, length, line, arena);
}

int CDlgItem::Read(std::FILE* file) {
  uint8_t word[4];
  if (std::fread(word, 1, sizeof word, file) != sizeof word) return -1;
  const int32_t length = LoadLE32(word);
  // The result, length + 4, must stay representable.
  if (length < 0 || length > INT32_MAX - 4 || length > RemainingBytes(file)) return -1;
  std::unique_ptr<uint8_t[]> body(
      platform::NewZeroedArray<uint8_t>(static_cast<size_t>(length) + 1));
  if (body == nullptr) return -1;
  if (std::fread(body.get(), 1, static_cast<size_t>(length), file) != static_cast<size_t>(length)) {
    return -1;
  }
  return ParseDlgRecordBody(body.get(), length, *this) == DlgRecordResult::kAccepted ? length + 4
                                                                                     : -1;
}
