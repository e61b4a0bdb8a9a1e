// Decoding of one .dlg line record in place, for readers that keep the file's bytes in memory and
// hand out texts as pointers into them (the game-side runtime). It needs nothing of the editor's
// document model: the layout rules are those of CDlgItem::Read (docs/dlg-format.md), applied to a
// buffer the caller owns and may change.
//
// A record is a plain 4-byte body length L and L body bytes: a field count (0 to 7), then per
// field a tag, and for tags 100/101 an int, for 102-105 an encoded string; an unknown tag carries
// no value; a field that does not lie wholly inside the body is not taken. Each string's block is
// unscrambled where it lies, so its text can be used in place; a text ends at its first zero byte
// or after its n bytes.
#pragma once

#include <cstddef>
#include <cstdint>

struct DlgRecordView {
  enum Text { kSpeaker, kExpression, kSound, kText, kTextCount };
  int32_t id = -1;
  int32_t plotIndex = -1;
  // Offsets from the start of the record and byte lengths; a field the record lacks is empty
  // (offset -1).
  int64_t textAt[kTextCount] = {-1, -1, -1, -1};
  int32_t textLength[kTextCount] = {0, 0, 0, 0};
};

// Decodes the record at `record`, of which `available` bytes exist, unscrambling its strings in
// place (so a record must be decoded only once). False when the length is negative or exceeds
// what is available or the field count is outside 0 to 7; nothing is changed then.
[[nodiscard]] bool DecodeDlgRecordInPlace(uint8_t* record, size_t available, DlgRecordView& view);
