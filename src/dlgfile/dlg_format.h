// The .dlg dialogue file: constants, the 132-byte header block, scrambling, and the buffer helpers
// that build and parse line records. docs/dlg-format.md describes the whole format.
//
// Every integer on disk is a signed 32-bit little-endian value, stored and read byte by byte so
// that the layout does not depend on the host. Inside a line record integers and strings are
// scrambled; everything else is plain.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "model/plain_string.h"

inline constexpr char kDlgSectionTag[] = "DLGTEXT";
inline constexpr char kDlgSignature[] = "QUILLHAVEN@";
inline constexpr int32_t kDlgVersion = 104;  // the version the writer writes

// Versions from which plot table fields exist: ranges from 101, a separate index count from 102,
// member lists (and placement of lines by plot) from 104.
inline constexpr int32_t kDlgVersionRanges = 101;
inline constexpr int32_t kDlgVersionIndexCount = 102;
inline constexpr int32_t kDlgVersionMembers = 104;

// Header block, bytes 0..131.
inline constexpr int kDlgHeaderSize = 132;
inline constexpr int kDlgTagSize = 8;
inline constexpr int kDlgSignatureSize = 32;
inline constexpr int kDlgGameNameSize = 32;
inline constexpr int kDlgReservedSize = 40;
inline constexpr int kDlgSignatureOffset = 8;
inline constexpr int kDlgVersionOffset = 40;
inline constexpr int kDlgLineCountOffset = 44;
inline constexpr int kDlgGameNameOffset = 48;
inline constexpr int kDlgIndexOffsetOffset = 80;
inline constexpr int kDlgMultiLineOffset = 84;
inline constexpr int kDlgIndexCountOffset = 88;
inline constexpr int kDlgReservedOffset = 92;

// After the header: three column options, the plot count, then the plot table.
inline constexpr int kDlgColumnsOffset = 132;
inline constexpr int kDlgPlotCountOffset = 144;
inline constexpr int kDlgPlotTableOffset = 148;
inline constexpr int kDlgPlotNameSize = 64;

// Size of a plot table entry without its member IDs: the name only before version 101, name and
// range up to 103, name, range and member count from 104 on (then 4 bytes per member follow).
inline int DlgPlotEntrySize(int32_t version) {
  if (version < kDlgVersionRanges) return kDlgPlotNameSize;
  if (version < kDlgVersionMembers) return kDlgPlotNameSize + 8;
  return kDlgPlotNameSize + 12;
}

inline constexpr int kDlgIndexEntrySize = 8;  // ID, record offset

// Line record body: field count, then a tag before each field, then the body length again.
inline constexpr int32_t kDlgFieldCount = 6;
inline constexpr int32_t kDlgMaxFieldCount = 7;  // readers reject a record that claims more
inline constexpr int32_t kDlgTagId = 100;
inline constexpr int32_t kDlgTagPlotIndex = 101;
inline constexpr int32_t kDlgTagSpeaker = 102;
inline constexpr int32_t kDlgTagExpression = 103;
inline constexpr int32_t kDlgTagSound = 104;
inline constexpr int32_t kDlgTagText = 105;
// Ten ints (field count, six tags, ID, plot index, trailing length) and four string lengths.
inline constexpr int kDlgBodyFixedSize = 56;

// saveStr warns (and still stores the text) when a string's n = length + 1 exceeds this.
inline constexpr int kDlgStringWarnLength = 4096;

// Limits derived from the fields above, for the windows, `dlgtool check` and the fuzz targets.
// A text field keeps its terminating zero byte, so a longer name is cut in the file.
inline constexpr int kDlgGameNameMaxBytes = kDlgGameNameSize - 1;  // 31
inline constexpr int kDlgPlotNameMaxBytes = kDlgPlotNameSize - 1;  // 63
// The longest text saveStr stores without its warning.
inline constexpr int kDlgTextMaxBytes = kDlgStringWarnLength - 1;  // 4095
// The line editor's sound-name field takes this many bytes; the record itself has no such limit.
inline constexpr int kDlgSoundNameMaxBytes = 250;

// The scrambling constant K: byte i of a block of len bytes is XORed with (len - i - K) mod 256.
inline constexpr uint8_t kDlgScrambleKey = 0x9D;

// The header block as fields. Texts are fixed-size byte fields, zero-padded, not necessarily
// zero-terminated when read from a file.
struct DlgHeader {
  char tag[kDlgTagSize];
  char signature[kDlgSignatureSize];
  int32_t version;
  int32_t lineCount;
  char gameName[kDlgGameNameSize];
  int32_t indexOffset;
  int32_t multiLine;
  int32_t indexCount;
  uint8_t reserved[kDlgReservedSize];
};

// The header a writer gives an empty document: tag, signature, version 104, all else zero.
DlgHeader NewDlgHeader();
void EncodeDlgHeader(const DlgHeader& header, uint8_t out[kDlgHeaderSize]);
// Lays the first `available` bytes of `bytes` (at most 132 are used) over `header`; fields that
// those bytes do not reach keep their values, so a short file leaves the defaults in place.
void OverlayDlgHeader(DlgHeader& header, const uint8_t* bytes, size_t available);

// Defined here so that readers which walk every integer of a file (the structural check, the
// runtime's open) pay no call for each.
inline void StoreLE32(uint8_t* at, int32_t value) {
  const uint32_t bits = static_cast<uint32_t>(value);
  at[0] = static_cast<uint8_t>(bits);
  at[1] = static_cast<uint8_t>(bits >> 8);
  at[2] = static_cast<uint8_t>(bits >> 16);
  at[3] = static_cast<uint8_t>(bits >> 24);
}
inline int32_t LoadLE32(const uint8_t* at) {
  const uint32_t bits = static_cast<uint32_t>(at[0]) | static_cast<uint32_t>(at[1]) << 8 |
                        static_cast<uint32_t>(at[2]) << 16 | static_cast<uint32_t>(at[3]) << 24;
  return static_cast<int32_t>(bits);
}
// A scrambled 4-byte integer, unscrambled. The key of a 4-byte block is always the same four
// bytes, (4 - i - K) mod 256 for byte i, so the whole block is one XOR.
inline constexpr uint32_t kDlgIntKey =
    static_cast<uint8_t>(4 - kDlgScrambleKey) |
    static_cast<uint32_t>(static_cast<uint8_t>(3 - kDlgScrambleKey)) << 8 |
    static_cast<uint32_t>(static_cast<uint8_t>(2 - kDlgScrambleKey)) << 16 |
    static_cast<uint32_t>(static_cast<uint8_t>(1 - kDlgScrambleKey)) << 24;
inline int32_t LoadScrambledLE32(const uint8_t* at) {
  return static_cast<int32_t>(static_cast<uint32_t>(LoadLE32(at)) ^ kDlgIntKey);
}
inline void StoreScrambledLE32(uint8_t* at, int32_t value) {
  StoreLE32(at, static_cast<int32_t>(static_cast<uint32_t>(value) ^ kDlgIntKey));
}

// Scrambles a block in place; applying it twice gives the block back.
void ScrambleBlock(uint8_t* block, size_t length);
// Unscrambles a string's block in place and returns the length of its text: the bytes before the
// first zero byte, or `length` when there is none. One pass over the block.
size_t UnscrambleText(uint8_t* block, size_t length);
// Writes the scrambled form of `length` bytes at `in` to `out` (which may be `in`).
void ScrambleCopy(uint8_t* out, const uint8_t* in, size_t length);
// ScrambleCopy of a string's block that also returns the length of its text (as UnscrambleText).
size_t UnscrambleCopyText(uint8_t* out, const uint8_t* in, size_t length);

// Buffer helpers. Each checks `room` (bytes left at the cursor), advances the cursor past what it
// stored or took, and returns that many bytes; 0 when the room is too small (nothing is done).

// Stores a scrambled 4-byte integer. 0 or 4. Inline: a record holds ten integers and four string
// lengths, and Load and Save take them for every line.
inline int putInt(uint8_t*& cursor, int room, int32_t value) {
  if (room < 4) return 0;
  StoreScrambledLE32(cursor, value);
  cursor += 4;
  return 4;
}
// Takes and unscrambles a 4-byte integer. 0 or 4.
inline int getInt(const uint8_t*& cursor, int room, int32_t& value) {
  if (room < 4) return 0;
  value = LoadScrambledLE32(cursor);
  cursor += 4;
  return 4;
}
// Size of an encoded string: 4 + byte length + 1; 4 for no text at all (nullptr).
int strSize(const char* text);
// Stores an encoded string: scrambled n = length + 1 (0 for nullptr), then the text and its zero
// byte scrambled as one block. Warns on the debug output when n exceeds 4096 but stores the text
// whole. Returns 4 + n, or 0 (nothing stored) when room < strSize(text).
int saveStr(uint8_t*& cursor, int room, const char* text);
// The same for a document text, whose length is known (it holds no NUL byte).
int saveStr(uint8_t*& cursor, int room, const CPlainString& text);
// The same for the bytes of a view (which must hold no NUL byte): its zero byte is added.
int saveStr(uint8_t*& cursor, int room, std::string_view text);
// Takes an encoded string and yields its text up to the first zero byte (all n bytes if none;
// empty when n is 0). Returns 4 + n; 0 when n cannot be taken, is negative or exceeds what is
// left (nothing taken, `text` unchanged); -1 when the text cannot be stored (out of memory).
// With an arena the text is stored there (CPlainString::AssignIn) instead of in a heap block.
int readStr(const uint8_t*& cursor, int room, CPlainString& text, TextArena* arena = nullptr);
// The text of a string's scrambled block of n bytes (the bytes after its length word): up to the
// first zero byte, all n bytes if none. False when the text cannot be stored (out of memory).
// With an arena the text is stored there (CPlainString::AssignIn) instead of in a heap block.
bool DecodeDlgString(const uint8_t* block, int32_t n, CPlainString& text,
                     TextArena* arena = nullptr);

// The one encoder of the layout's written parts, for CDlgFile::Save and the merge's direct writer
// (src/merge/dlg_merge_write.cpp), so that the two write the same bytes for the same lines.

// The header block, the column options and the plot count: kDlgPlotTableOffset bytes.
void EncodeDlgFixedPart(const DlgHeader& header, const int32_t columns[3], int32_t plotCount,
                        uint8_t out[kDlgPlotTableOffset]);
// A text in a zero-padded field of `size` bytes: at most size - 1 bytes of it.
void EncodeDlgTextField(uint8_t* out, std::string_view text, size_t size);
// The fixed part of a plot table entry as the writer's version has it (name, range, member
// count): DlgPlotEntrySize(kDlgVersion) bytes. The member IDs follow it, plain.
void EncodeDlgPlotEntry(uint8_t* out, std::string_view name, int32_t rangeLow, int32_t rangeHigh,
                        int32_t memberCount);
// Size of the record of a line with these texts (speaker, expression, sound, text; each without
// NUL bytes): 4 + 56 + each text and its zero byte.
int64_t DlgRecordSize(const std::string_view texts[4]);
// The whole record of `size` bytes (DlgRecordSize, CDlgItem::GetWriteSize): the plain body
// length, the six fields in tag order, the trailing length. A text over 4095 bytes is written
// whole after saveStr's warning. Text is CPlainString (Save) or std::string_view (the merge).
template <class Text>
void EncodeDlgRecord(uint8_t* out, int size, int32_t id, int32_t plotIndex, const Text& speaker,
                     const Text& expression, const Text& sound, const Text& text) {
  StoreLE32(out, size - 4);
  uint8_t* const body = out + 4;
  uint8_t* cursor = body;
  const auto room = [&] { return size - 4 - static_cast<int>(cursor - body); };
  putInt(cursor, room(), kDlgFieldCount);
  putInt(cursor, room(), kDlgTagId);
  putInt(cursor, room(), id);
  putInt(cursor, room(), kDlgTagPlotIndex);
  putInt(cursor, room(), plotIndex);
  const Text* const texts[4] = {&speaker, &expression, &sound, &text};
  for (int k = 0; k < 4; ++k) {
    putInt(cursor, room(), kDlgTagSpeaker + k);  // 102 to 105 in this order
    saveStr(cursor, room(), *texts[k]);
  }
  putInt(cursor, room(), static_cast<int32_t>(cursor - body) + 4);
}
