// What the exchange writers and readers hand around. Every text here is UTF-8; the conversion from
// and to the document's code page happens once, in export_document.cpp and import_document.cpp.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace exchange {

enum class Format { kPo, kXliff, kCsv };

// One line of the document as a translator sees it.
struct ExportUnit {
  int id = -1;
  int plot = 0;            // index into ExportSet::plots
  std::string text;        // the source
  bool hasTarget = false;  // a translation was given (it may be empty)
  std::string target;
  // Context items, each "label: value" on a line of its own, joined by LF (docs/exchange.md).
  // One string rather than one per item: an export of 100 000 lines allocates a lot less.
  std::string notes;
};

struct ExportSet {
  std::string original;  // the document's file name, as PO references and XLIFF name it
  std::string gameName;
  std::string sourceLang = "und";
  std::string targetLang = "und";
  std::vector<std::string> plots;  // plot names, in document order
  std::vector<ExportUnit> units;   // plot order, then member order; each ID once
};

// One entry read back from a file.
struct ImportUnit {
  int id = -1;
  std::string source;
  std::string target;
  bool fuzzy = false;
  long line = 0;  // where the entry starts in the file, for messages
};

// Where and why a file was rejected. Line and column are 1-based (column in bytes); 0 when the
// fault belongs to no position (e.g. a repeated ID names the second entry's line).
struct ParseFailure {
  long line = 0;
  long column = 0;
  std::string message;
};

// The bytes of a whole file in each format.
std::string WritePo(const ExportSet& set);
std::string WriteXliff(const ExportSet& set);
std::string WriteCsv(const ExportSet& set);

// Strict readers: false, with `failure` filled, when the input is not a well-formed file of the
// format (invalid UTF-8 included). Entries come in file order; IDs are not checked for repeats
// here. Each reader keeps no more than the input's bytes in entries.
[[nodiscard]] bool ReadPo(std::string_view data, std::vector<ImportUnit>& units,
                          ParseFailure& failure);
[[nodiscard]] bool ReadXliff(std::string_view data, std::vector<ImportUnit>& units,
                             ParseFailure& failure);
[[nodiscard]] bool ReadCsv(std::string_view data, std::vector<ImportUnit>& units,
                           ParseFailure& failure);

// Parses a line ID written as decimal digits only (no sign, no spaces) that fits a non-negative
// 32-bit ID.
[[nodiscard]] bool ParseId(std::string_view text, int& id);

}  // namespace exchange
