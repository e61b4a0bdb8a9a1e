#include "dlg_bytes.h"

namespace dlgtest {

std::string Le32(int32_t value) {
  const uint32_t v = static_cast<uint32_t>(value);
  return std::string{static_cast<char>(v & 0xFF), static_cast<char>((v >> 8) & 0xFF),
                     static_cast<char>((v >> 16) & 0xFF), static_cast<char>((v >> 24) & 0xFF)};
}

int32_t ReadLe32(const std::string& bytes, size_t offset) {
  uint32_t v = 0;
  for (int i = 3; i >= 0; --i) v = (v << 8) | static_cast<uint8_t>(bytes.at(offset + i));
  return static_cast<int32_t>(v);
}

std::string Scramble(std::string block) {
  const int len = static_cast<int>(block.size());
  for (int i = 0; i < len; ++i) {
    block[i] =
        static_cast<char>(static_cast<uint8_t>(block[i]) ^ ((len - i - kScrambleKey) & 0xFF));
  }
  return block;
}

std::string ScrambledInt(int32_t value) {
  return Scramble(Le32(value));
}

std::string EncodedString(const std::string& text) {
  return ScrambledInt(static_cast<int32_t>(text.size() + 1)) +
         Scramble(text + std::string(1, '\0'));
}

std::string Field(const std::string& text, size_t size) {
  std::string field = text.substr(0, size);
  field.resize(size, '\0');
  return field;
}

std::string Record(const LineSpec& line) {
  std::string body = ScrambledInt(6) + ScrambledInt(100) + ScrambledInt(line.id) +
                     ScrambledInt(101) + ScrambledInt(line.plotIndex) + ScrambledInt(102) +
                     EncodedString(line.speaker) + ScrambledInt(103) +
                     EncodedString(line.expression) + ScrambledInt(104) +
                     EncodedString(line.sound) + ScrambledInt(105) + EncodedString(line.text);
  const int32_t length = static_cast<int32_t>(body.size() + 4);
  return Le32(length) + body + ScrambledInt(length);
}

namespace {

std::string PlotTable(const FileSpec& layout) {
  std::string table;
  for (const PlotSpec& plot : layout.plots) {
    table += Field(plot.name, 64);
    if (layout.version >= 101) table += Le32(plot.rangeLow) + Le32(plot.rangeHigh);
    if (layout.version >= 104) {
      table += Le32(static_cast<int32_t>(plot.members.size()));
      for (int32_t id : plot.members) table += Le32(id);
    }
  }
  return table;
}

}  // namespace

int32_t RecordOffset(const FileSpec& layout, int k) {
  size_t offset = 148 + PlotTable(layout).size() + 8 * layout.index.size();
  for (int i = 0; i < k; ++i) offset += Record(layout.records[i]).size();
  return static_cast<int32_t>(offset);
}

std::string BuildFile(const FileSpec& layout) {
  const std::string table = PlotTable(layout);
  const int32_t indexCount = static_cast<int32_t>(layout.index.size());
  std::string header = Field("DLGTEXT", 8) + Field("QUILLHAVEN@", 32) + Le32(layout.version) +
                       Le32(layout.lineCount >= 0 ? layout.lineCount : indexCount) +
                       Field(layout.gameName, 32) + Le32(static_cast<int32_t>(148 + table.size())) +
                       Le32(layout.multiLine) + Le32(layout.version >= 102 ? indexCount : 0) +
                       std::string(40, '\0');
  header += Le32(layout.columns[0]) + Le32(layout.columns[1]) + Le32(layout.columns[2]) +
            Le32(static_cast<int32_t>(layout.plots.size()));
  std::string index;
  for (const IndexSpec& entry : layout.index) {
    index += Le32(entry.id) + Le32(RecordOffset(layout, entry.record));
  }
  std::string records;
  for (const LineSpec& line : layout.records) records += Record(line);
  return header + table + index + records + Le32(static_cast<int32_t>(records.size()));
}

}  // namespace dlgtest
