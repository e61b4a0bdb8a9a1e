// Builds .dlg bytes by hand for tests, independently of the writer: its own little-endian and
// scrambling code, with the scrambling constant written out, so that a change to the format's
// encoding shows up as a difference instead of being mirrored.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace dlgtest {

inline constexpr int kScrambleKey = 0x9D;

// Little-endian 4 bytes.
std::string Le32(int32_t value);
int32_t ReadLe32(const std::string& bytes, size_t offset);
// A block scrambled as the format does: byte i ^= (len - i - K) mod 256.
std::string Scramble(std::string block);
std::string ScrambledInt(int32_t value);
// Scrambled n = length + 1, then the text and its zero byte scrambled as one block.
std::string EncodedString(const std::string& text);
// `text` in a zero-padded field of `size` bytes.
std::string Field(const std::string& text, size_t size);

struct LineSpec {
  int32_t id;
  int32_t plotIndex;
  std::string speaker, expression, sound, text;
};
// A whole record: plain body length, then the six-field body.
std::string Record(const LineSpec& line);

struct PlotSpec {
  std::string name;
  int32_t rangeLow = -1;
  int32_t rangeHigh = -1;
  std::vector<int32_t> members;  // written only for version 104 and later
};

struct IndexSpec {
  int32_t id;
  int record;  // number of the record in `records` it points to (records.size(): the end)
};

// A complete file of any version, laid out as the format describes: header, columns, plot count,
// plot table (entries as the version has them), index, records, records size. The index entries
// point at records by number, so that tests can describe holes and duplicates freely.
struct FileSpec {
  int32_t version = 104;
  std::string gameName;
  int32_t multiLine = 0;
  int32_t columns[3] = {0, 0, 0};
  std::vector<PlotSpec> plots;
  std::vector<IndexSpec> index;
  std::vector<LineSpec> records;
  // For versions below 102 the line count field doubles as the index count.
  int32_t lineCount = -1;  // -1: the number of index entries
};
std::string BuildFile(const FileSpec& layout);

// The byte offset at which record k starts in BuildFile(layout).
int32_t RecordOffset(const FileSpec& layout, int k);

}  // namespace dlgtest
