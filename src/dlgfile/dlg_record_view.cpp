#include "dlgfile/dlg_record_view.h"

#include "dlgfile/dlg_format.h"

bool DecodeDlgRecordInPlace(uint8_t* record, size_t available, DlgRecordView& view) {
  if (available < 4) return false;
  const int32_t length = LoadLE32(record);
  if (length < 0 || static_cast<size_t>(length) > available - 4) return false;
  uint8_t* const body = record + 4;
  int64_t cursor = 0;
  // As the buffer helpers do: a value is taken only when it lies wholly before the body's end.
  auto takeInt = [&](int32_t& value) {
    if (length - cursor < 4) return false;
    value = LoadScrambledLE32(body + cursor);
    cursor += 4;
    return true;
  };
  int32_t fieldCount = 0;
  takeInt(fieldCount);
  if (fieldCount < 0 || fieldCount > kDlgMaxFieldCount) return false;
  DlgRecordView decoded;
  for (int32_t field = 0; field < fieldCount; ++field) {
    int32_t tag = 0;
    takeInt(tag);
    if (tag == kDlgTagId) {
      takeInt(decoded.id);
    } else if (tag == kDlgTagPlotIndex) {
      takeInt(decoded.plotIndex);
    } else if (tag >= kDlgTagSpeaker && tag <= kDlgTagText) {
      const int64_t lengthAt = cursor;
      int32_t n = 0;
      if (!takeInt(n)) continue;
      if (n < 0 || n > length - cursor) {
        cursor = lengthAt;  // the string is not taken; its field keeps its value
        continue;
      }
      const int slot = tag - kDlgTagSpeaker;
      decoded.textAt[slot] = 4 + cursor;
      decoded.textLength[slot] =
          static_cast<int32_t>(UnscrambleText(body + cursor, static_cast<size_t>(n)));
      cursor += n;
    }
  }
  view = decoded;
  return true;
}
