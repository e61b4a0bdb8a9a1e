#include "dlgfile/dlg_format.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <new>

#include "model/text_arena.h"
#include "platform/debug_output.h"
#include "platform/fault_injection.h"

namespace {

// Most strings of a script are short; they are unscrambled on the stack.
constexpr int kStackStringSize = 256;

void CopyField(uint8_t* out, const char* field, size_t size) {
  std::memcpy(out, field, size);
}

}  // namespace

DlgHeader NewDlgHeader() {
  DlgHeader header;
  std::memset(&header, 0, sizeof header);
  std::memcpy(header.tag, kDlgSectionTag, sizeof kDlgSectionTag);
  std::memcpy(header.signature, kDlgSignature, sizeof kDlgSignature);
  header.version = kDlgVersion;
  return header;
}

void EncodeDlgHeader(const DlgHeader& header, uint8_t out[kDlgHeaderSize]) {
  CopyField(out, header.tag, kDlgTagSize);
  CopyField(out + kDlgSignatureOffset, header.signature, kDlgSignatureSize);
  StoreLE32(out + kDlgVersionOffset, header.version);
  StoreLE32(out + kDlgLineCountOffset, header.lineCount);
  CopyField(out + kDlgGameNameOffset, header.gameName, kDlgGameNameSize);
  StoreLE32(out + kDlgIndexOffsetOffset, header.indexOffset);
  StoreLE32(out + kDlgMultiLineOffset, header.multiLine);
  StoreLE32(out + kDlgIndexCountOffset, header.indexCount);
  std::memcpy(out + kDlgReservedOffset, header.reserved, kDlgReservedSize);
}

void OverlayDlgHeader(DlgHeader& header, const uint8_t* bytes, size_t available) {
  uint8_t block[kDlgHeaderSize];
  EncodeDlgHeader(header, block);
  if (available > sizeof block) available = sizeof block;
  if (available > 0) std::memcpy(block, bytes, available);
  std::memcpy(header.tag, block, kDlgTagSize);
  std::memcpy(header.signature, block + kDlgSignatureOffset, kDlgSignatureSize);
  header.version = LoadLE32(block + kDlgVersionOffset);
  header.lineCount = LoadLE32(block + kDlgLineCountOffset);
  std::memcpy(header.gameName, block + kDlgGameNameOffset, kDlgGameNameSize);
  header.indexOffset = LoadLE32(block + kDlgIndexOffsetOffset);
  header.multiLine = LoadLE32(block + kDlgMultiLineOffset);
  header.indexCount = LoadLE32(block + kDlgIndexCountOffset);
  std::memcpy(header.reserved, block + kDlgReservedOffset, kDlgReservedSize);
}

int strSize(const char* text) {
  return text == nullptr ? 4 : 4 + static_cast<int>(std::strlen(text)) + 1;
}

namespace {
// Bytes of an over-long text that its warning repeats.
constexpr size_t kDlgWarnedTextShown = 64;

// The described warning, with its format as described; the text it repeats is cut to its first
// 64 bytes (a few long lines would otherwise flood the output with megabytes), and nothing marks
// the cut, so the line is the described one for the text's start.
void WarnLongString(const char* text) {
  char shown[kDlgWarnedTextShown + 1];
  const size_t n = strnlen(text, kDlgWarnedTextShown);
  std::memcpy(shown, text, n);
  shown[n] = '\0';
  platform::DebugOutput("saveStr() 警告 : 字符串长度太长了<%d>。<%s>!\n", kDlgStringWarnLength,
                        shown);
}
}  // namespace

int saveStr(uint8_t*& cursor, int room, const char* text) {
  const int size = strSize(text);
  if (room < size) return 0;
  const int n = size - 4;
  if (n > kDlgStringWarnLength) WarnLongString(text);
  putInt(cursor, room, n);
  if (n > 0) {
    // Scrambled in its place in the record: the same bytes as scrambling a copy, without one.
    ScrambleCopy(cursor, reinterpret_cast<const uint8_t*>(text), static_cast<size_t>(n));
    cursor += n;
  }
  return size;
}

int saveStr(uint8_t*& cursor, int room, const CPlainString& text) {
  return saveStr(cursor, room,
                 std::string_view(text.c_str(), static_cast<size_t>(text.GetLength())));
}

int saveStr(uint8_t*& cursor, int room, std::string_view text) {
  const int64_t n = static_cast<int64_t>(text.size()) + 1;
  if (room < 4 + n) return 0;
  // The warning shows the text's first bytes; a text this long holds far more than it shows.
  if (n > kDlgStringWarnLength) WarnLongString(text.data());
  putInt(cursor, room, static_cast<int32_t>(n));
  // The view need not end in a zero byte: the block is assembled, then scrambled as one.
  if (!text.empty()) std::memcpy(cursor, text.data(), text.size());
  cursor[text.size()] = 0;
  ScrambleBlock(cursor, static_cast<size_t>(n));
  cursor += n;
  return static_cast<int>(4 + n);
}

int readStr(const uint8_t*& cursor, int room, CPlainString& text, TextArena* arena) {
  const uint8_t* at = cursor;
  int32_t n = 0;
  if (getInt(at, room, n) == 0 || n < 0 || n > room - 4) return 0;
  if (!DecodeDlgString(at, n, text, arena)) return -1;
  cursor = at + n;
  return 4 + n;
}

bool DecodeDlgString(const uint8_t* block, int32_t n, CPlainString& text, TextArena* arena) {
  // Decoded straight into the arena's free tail when it has room for the bytes and a closing NUL.
  char* tail = arena != nullptr ? arena->Tail(static_cast<size_t>(n) + 1) : nullptr;
  if (tail != nullptr) {
    const size_t length =
        UnscrambleCopyText(reinterpret_cast<uint8_t*>(tail), block, static_cast<size_t>(n));
    tail[length] = 0;
    return text.ClaimIn(*arena, static_cast<int>(length));
  }
  uint8_t small[kStackStringSize];  // only the n bytes unscrambled into it are read
  std::unique_ptr<uint8_t[]> large;
  uint8_t* bytes = small;
  if (n > kStackStringSize) {
    large.reset(platform::NewArray<uint8_t>(static_cast<size_t>(n)));
    if (large == nullptr) return false;
    bytes = large.get();
  }
  ScrambleCopy(bytes, block, static_cast<size_t>(n));
  const char* chars = reinterpret_cast<const char*>(bytes);
  return arena != nullptr ? text.AssignIn(*arena, chars, n) : text.Assign(chars, n);
}

void EncodeDlgFixedPart(const DlgHeader& header, const int32_t columns[3], int32_t plotCount,
                        uint8_t out[kDlgPlotTableOffset]) {
  EncodeDlgHeader(header, out);
  for (int k = 0; k < 3; ++k) StoreLE32(out + kDlgColumnsOffset + 4 * k, columns[k]);
  StoreLE32(out + kDlgPlotCountOffset, plotCount);
}

void EncodeDlgTextField(uint8_t* out, std::string_view text, size_t size) {
  std::memset(out, 0, size);
  if (!text.empty()) std::memcpy(out, text.data(), std::min(text.size(), size - 1));
}

void EncodeDlgPlotEntry(uint8_t* out, std::string_view name, int32_t rangeLow, int32_t rangeHigh,
                        int32_t memberCount) {
  static_assert(kDlgVersion >= kDlgVersionMembers);  // name, range and member count
  EncodeDlgTextField(out, name, kDlgPlotNameSize);
  StoreLE32(out + kDlgPlotNameSize, rangeLow);
  StoreLE32(out + kDlgPlotNameSize + 4, rangeHigh);
  StoreLE32(out + kDlgPlotNameSize + 8, memberCount);
}

int64_t DlgRecordSize(const std::string_view texts[4]) {
  int64_t size = 4 + kDlgBodyFixedSize;
  for (int k = 0; k < 4; ++k) size += static_cast<int64_t>(texts[k].size()) + 1;
  return size;
}
