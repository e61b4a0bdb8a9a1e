// XLSX as an exchange format.
//
// Writing: libxlsxwriter, one sheet "translation", the CSV's columns in the CSV's order, every
// cell written by worksheet_write_string (a string cell, never a number or a formula); an empty
// text is a blank cell.
//
// Reading: libzip over the bytes in memory, pugixml over the parts. Before a part is parsed:
//  - its size as the zip's directory states it is checked against kMaxXlsxPartBytes (and the
//    parts together against kMaxXlsxTotalBytes), and no more than that is ever inflated;
//  - it must be UTF-8, hold no DOCTYPE (so no entity is ever declared or loaded) and refer to no
//    entity but XML's five and character references;
//  - its tags are counted, and a part with more elements and attributes than pugixml could hold
//    in eight times the part's size is refused (a tree parser allocates per node).
// The first sheet is the one workbook.xml lists first, found through its relationship; cells come
// from the shared string table (t="s"), inline strings (t="inlineStr", what libxlsxwriter writes)
// or are refused as not text where a text is read.
#include <xlsxwriter.h>
#include <zip.h>

#include <cctype>
#include <cstring>
#include <memory>
#include <pugixml.hpp>

#include "exchange/recoder.h"
#include "exchange/table_columns.h"
#include "exchange/voscript.h"
#include "exchange/xlsx.h"
#include "platform/utf8.h"

namespace exchange {
namespace {

bool IsHex(char c) {
  return std::isxdigit(static_cast<unsigned char>(c)) != 0;
}

int HexValue(char c) {
  return c <= '9' ? c - '0' : (c | 0x20) - 'a' + 10;
}

// Decodes `_xHHHH_` (a UTF-16 unit; a surrogate pair as two escapes). False on a lone surrogate
// or an escaped NUL.
bool DecodeSheetText(std::string_view text, std::string& out) {
  out.clear();
  out.reserve(text.size());
  size_t i = 0;
  while (i < text.size()) {
    const size_t at = text.find("_x", i);
    if (at == std::string_view::npos) break;
    out.append(text, i, at - i);
    const auto unit = [&text](size_t p, unsigned& value) {
      if (p + 7 > text.size() || text[p] != '_' || text[p + 1] != 'x' || text[p + 6] != '_')
        return false;
      value = 0;
      for (size_t k = p + 2; k < p + 6; ++k) {
        if (!IsHex(text[k])) return false;
        value = value * 16 + static_cast<unsigned>(HexValue(text[k]));
      }
      return true;
    };
    unsigned value;
    if (!unit(at, value)) {
      out.append(text, at, 2);
      i = at + 2;
      continue;
    }
    size_t next = at + 7;
    if (value >= 0xD800 && value <= 0xDBFF) {
      unsigned low;
      if (!unit(next, low) || low < 0xDC00 || low > 0xDFFF) return false;
      value = 0x10000 + ((value - 0xD800) << 10) + (low - 0xDC00);
      next += 7;
    } else if ((value >= 0xDC00 && value <= 0xDFFF) || value == 0) {
      return false;
    }
    platform::AppendUtf8(out, value);
    i = next;
  }
  out.append(text, i, std::string_view::npos);
  return true;
}

constexpr const char* kColumns[] = {"location",
                                    "source",
                                    "target",
                                    "ID",
                                    "fuzzy",
                                    "context",
                                    "translator_comments",
                                    "developer_comments",
                                    "previous_source"};

const char* CellName(int column, std::string& buffer) {
  buffer.clear();
  int n = column + 1;
  while (n > 0) {
    buffer.insert(buffer.begin(), static_cast<char>('A' + (n - 1) % 26));
    n = (n - 1) / 26;
  }
  return buffer.c_str();
}

struct ZipCloser {
  void operator()(zip_t* zip) const { zip_discard(zip); }
};
struct ZipFileCloser {
  void operator()(zip_file_t* file) const { zip_fclose(file); }
};

class Workbook {
 public:
  Workbook(std::string_view data, ParseFailure& failure) : data_(data), failure_(failure) {}

  bool Open() {
    zip_error_t error;
    zip_error_init(&error);
    zip_source_t* source = zip_source_buffer_create(data_.data(), data_.size(), 0, &error);
    if (source != nullptr) {
      zip_.reset(zip_open_from_source(source, ZIP_RDONLY, &error));
      if (zip_ == nullptr) zip_source_free(source);
    }
    zip_error_fini(&error);
    if (zip_ == nullptr) return Fail("", 0, "not an XLSX workbook (not a zip archive)");
    return true;
  }

  // Unpacks the part `name`; `present` false (and true returned) when it is not there.
  bool Part(const std::string& name, std::string& out, bool& present) {
    out.clear();
    zip_stat_t stat;
    zip_stat_init(&stat);
    present = zip_stat(zip_.get(), name.c_str(), 0, &stat) == 0;
    if (!present) return true;
    if ((stat.valid & ZIP_STAT_SIZE) == 0) return Fail(name, 0, "a part of unknown size");
    if (stat.size > kMaxXlsxPartBytes || total_ + stat.size > kMaxXlsxTotalBytes) {
      return Fail(name, 0,
                  "unpacks to " + std::to_string(stat.size) +
                      " bytes, more than a workbook of translations holds; not read");
    }
    total_ += stat.size;
    std::unique_ptr<zip_file_t, ZipFileCloser> file(zip_fopen(zip_.get(), name.c_str(), 0));
    if (file == nullptr) return Fail(name, 0, "the part cannot be unpacked");
    out.resize(stat.size);
    zip_uint64_t got = 0;
    while (got < stat.size) {
      const zip_int64_t n = zip_fread(file.get(), out.data() + got, stat.size - got);
      if (n <= 0) return Fail(name, 0, "the part cannot be unpacked (damaged archive)");
      got += static_cast<zip_uint64_t>(n);
    }
    char extra;
    if (zip_fread(file.get(), &extra, 1) != 0) {
      return Fail(name, 0, "the part is longer than the archive says");
    }
    return true;
  }

  // The checks before parsing (see the top of the file), then the parse, in place.
  bool Parse(const std::string& name, std::string& bytes, pugi::xml_document& doc) {
    size_t start = 0;
    if (bytes.compare(0, 3, "\xEF\xBB\xBF") == 0) start = 3;
    const std::string_view view(bytes);
    const size_t valid = ValidUtf8Prefix(view);
    if (valid != bytes.size()) return FailAt(name, view, valid, "invalid UTF-8");
    if (view.compare(start, 5, "<?xml") == 0) {
      const size_t end = view.find("?>", start);
      const std::string_view decl = view.substr(start, end == std::string_view::npos ? 0 : end);
      const size_t enc = decl.find("encoding=");
      if (enc != std::string_view::npos && enc + 10 < decl.size()) {
        std::string name8(decl.substr(enc + 10, 5));
        for (char& c : name8) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        if (name8 != "UTF-8" && name8.compare(0, 4, "UTF8") != 0) {
          return FailAt(name, view, start + enc, "an XML encoding other than UTF-8");
        }
      }
    }
    size_t elements = 0;
    size_t attributes = 0;
    bool inTag = false;
    for (size_t i = start; i < view.size(); ++i) {
      const char c = view[i];
      if (c == '<') {
        if (view.compare(i, 4, "<!--") == 0) {
          const size_t end = view.find("-->", i + 4);
          if (end == std::string_view::npos) break;  // the parser reports it
          i = end + 2;
          continue;
        }
        if (view.compare(i, 9, "<![CDATA[") == 0) {
          const size_t end = view.find("]]>", i + 9);
          if (end == std::string_view::npos) break;
          i = end + 2;
          continue;
        }
        if (i + 1 < view.size() && view[i + 1] == '!') {
          return FailAt(name, view, i, "a DOCTYPE or other declaration; not read");
        }
        if (i + 1 < view.size() && view[i + 1] != '/' && view[i + 1] != '?') ++elements;
        inTag = true;
      } else if (c == '>') {
        inTag = false;
      } else if (c == '=' && inTag) {
        ++attributes;
      } else if (c == '&') {
        static constexpr const char* kNamed[] = {"&amp;", "&lt;", "&gt;", "&quot;", "&apos;"};
        bool known = false;
        for (const char* entity : kNamed) {
          if (view.compare(i, std::strlen(entity), entity) == 0) known = true;
        }
        if (!known && i + 2 < view.size() && view[i + 1] == '#') {
          size_t k = i + 2;
          const bool hex = view[k] == 'x';
          if (hex) ++k;
          const size_t digits = k;
          while (k < view.size() &&
                 (hex ? IsHex(view[k]) : std::isdigit(static_cast<unsigned char>(view[k])) != 0))
            ++k;
          known = k > digits && k < view.size() && view[k] == ';';
        }
        if (!known) return FailAt(name, view, i, "an entity XML does not define; not read");
      }
    }
    // pugixml takes 64 bytes per element and 40 per attribute besides the text it parses in place.
    if (elements * 64 + attributes * 40 > 8 * view.size() + (size_t{1} << 20)) {
      return Fail(name, 0, "more tags than a part of its size can hold; not read");
    }
    const pugi::xml_parse_result result = doc.load_buffer_inplace(
        bytes.data() + start, bytes.size() - start,
        pugi::parse_default | pugi::parse_ws_pcdata_single, pugi::encoding_utf8);
    if (!result) {
      return FailAt(name, view, start + static_cast<size_t>(result.offset),
                    std::string("malformed XML: ") + result.description());
    }
    return true;
  }

  bool Fail(const std::string& part, long line, const std::string& message) {
    failure_.line = line;
    failure_.column = line > 0 ? 1 : 0;
    failure_.message = part.empty() ? message : part + ": " + message;
    return false;
  }
  bool FailAt(const std::string& part, std::string_view bytes, size_t offset,
              const std::string& message) {
    LineAndColumn(bytes, offset, failure_.line, failure_.column);
    failure_.message = part + ": " + message;
    return false;
  }
  bool FailCell(long row, int column, const std::string& message) {
    std::string buffer;
    failure_.line = row;
    failure_.column = column + 1;
    failure_.message =
        std::string("cell ") + CellName(column, buffer) + std::to_string(row) + ": " + message;
    return false;
  }

 private:
  std::string_view data_;
  ParseFailure& failure_;
  std::unique_ptr<zip_t, ZipCloser> zip_;
  size_t total_ = 0;
};

// The target of the relationship `id` (or of the first of type ending in `type`) in a .rels part,
// as a path inside the archive; empty when there is none.
std::string RelationTarget(const pugi::xml_document& rels, const char* id, const char* type,
                           const std::string& base) {
  for (const pugi::xml_node rel : rels.child("Relationships").children("Relationship")) {
    const std::string_view relType = rel.attribute("Type").value();
    const bool match = id != nullptr
                           ? std::strcmp(rel.attribute("Id").value(), id) == 0
                           : relType.size() >= std::strlen(type) &&
                                 relType.substr(relType.size() - std::strlen(type)) == type;
    if (!match) continue;
    const std::string target = rel.attribute("Target").value();
    if (target.empty()) return std::string();
    if (target[0] == '/') return target.substr(1);
    return base + target;
  }
  return std::string();
}

// The text of a string item (<si> or <is>): its <t>, or the <t> of each rich text run; phonetic
// runs (<rPh>) are readings, not text.
std::string ItemText(const pugi::xml_node item) {
  std::string out;
  for (const pugi::xml_node child : item.children()) {
    if (std::strcmp(child.name(), "t") == 0) {
      out += child.text().get();
    } else if (std::strcmp(child.name(), "r") == 0) {
      out += child.child("t").text().get();
    }
  }
  return out;
}

// Column index from a cell reference ("AB12" -> 27); -1 when it has no letters.
int ColumnOf(const char* ref) {
  int column = 0;
  int letters = 0;
  for (; *ref >= 'A' && *ref <= 'Z' && letters < 4; ++ref, ++letters) {
    column = column * 26 + (*ref - 'A' + 1);
  }
  return letters == 0 ? -1 : column - 1;
}

long RowOf(const char* ref) {
  while (*ref >= 'A' && *ref <= 'Z') ++ref;
  long row = 0;
  for (; *ref >= '0' && *ref <= '9' && row < 10000000; ++ref) row = row * 10 + (*ref - '0');
  return row;
}

}  // namespace

std::string SheetText(const std::string& text) {
  std::string out;
  size_t copied = 0;
  for (size_t i = 0; i < text.size(); ++i) {
    const char* escape = nullptr;
    size_t skip = 0;
    if (text[i] == '_' && i + 6 < text.size() && text[i + 1] == 'x' && IsHex(text[i + 2]) &&
        IsHex(text[i + 3]) && IsHex(text[i + 4]) && IsHex(text[i + 5]) && text[i + 6] == '_') {
      escape = "_x005F_";
      skip = 1;
    } else if (text.compare(i, 3, "\xEF\xBF\xBE") == 0) {
      escape = "_xFFFE_";
      skip = 3;
    } else if (text.compare(i, 3, "\xEF\xBF\xBF") == 0) {
      escape = "_xFFFF_";
      skip = 3;
    }
    if (escape == nullptr) continue;
    out.append(text, copied, i - copied).append(escape);
    copied = i + skip;
    i += skip - 1;
  }
  if (copied == 0) return text;
  return out.append(text, copied, std::string::npos);
}

bool WriteXlsxWorkbook(const ExportSet& set, const std::string& target, std::string& error) {
  if (set.units.size() + 1 > kMaxSheetRows) {
    error = std::to_string(set.units.size()) + " lines do not fit one sheet (at most " +
            std::to_string(kMaxSheetRows - 1) + " below the header)";
    return false;
  }
  for (const ExportUnit& unit : set.units) {
    const struct {
      const char* name;
      const std::string& text;
    } cells[] = {{"source", unit.text},
                 {"target", unit.target},
                 {"developer_comments", unit.notes},
                 {"translator_comments", unit.comments},
                 {"previous_source", unit.previous}};
    for (const auto& cell : cells) {
      const size_t units = Utf16Units(cell.text);
      if (units <= kMaxCellUnits) continue;
      error = "ID " + std::to_string(unit.id) + ": " + cell.name + " is " + std::to_string(units) +
              " characters, more than the " + std::to_string(kMaxCellUnits) +
              " a spreadsheet cell holds";
      return false;
    }
  }
  lxw_workbook_options options = {};
  options.constant_memory = LXW_TRUE;
  lxw_workbook* book = workbook_new_opt(target.c_str(), &options);
  if (book == nullptr) {
    error = "the workbook cannot be created";
    return false;
  }
  lxw_worksheet* sheet = workbook_add_worksheet(book, "translation");
  lxw_format* header = workbook_add_format(book);
  lxw_format* wrapped = workbook_add_format(book);
  bool ok = sheet != nullptr && header != nullptr && wrapped != nullptr;
  const int columns = set.previousColumn ? 9 : 8;
  if (ok) {
    format_set_bold(header);
    format_set_text_wrap(wrapped);
    format_set_align(wrapped, LXW_ALIGN_VERTICAL_TOP);
    static constexpr double kWidths[] = {16, 50, 50, 8, 8, 8, 30, 40, 50};
    for (int c = 0; ok && c < columns; ++c) {
      ok = worksheet_set_column(sheet, static_cast<lxw_col_t>(c), static_cast<lxw_col_t>(c),
                                kWidths[c], wrapped) == LXW_NO_ERROR &&
           worksheet_write_string(sheet, 0, static_cast<lxw_col_t>(c), kColumns[c], header) ==
               LXW_NO_ERROR;
    }
    worksheet_freeze_panes(sheet, 1, 0);
  }
  lxw_row_t r = 1;
  for (auto unit = set.units.begin(); ok && unit != set.units.end(); ++unit, ++r) {
    const std::string id = std::to_string(unit->id);
    const std::string location = set.original + ":" + id;
    const std::string empty;
    const std::string* cells[] = {&location,
                                  &unit->text,
                                  unit->hasTarget ? &unit->target : &empty,
                                  &id,
                                  nullptr,
                                  &id,
                                  &unit->comments,
                                  &unit->notes,
                                  unit->fuzzy && unit->hasPrevious ? &unit->previous : &empty};
    for (int c = 0; ok && c < columns; ++c) {
      const lxw_col_t col = static_cast<lxw_col_t>(c);
      if (cells[c] == nullptr) {
        ok = worksheet_write_string(sheet, r, col, unit->fuzzy ? "True" : "False", wrapped) ==
             LXW_NO_ERROR;
      } else if (!cells[c]->empty()) {
        ok = worksheet_write_string(sheet, r, col, SheetText(*cells[c]).c_str(), wrapped) ==
             LXW_NO_ERROR;
      }
    }
  }
  const bool closed = workbook_close(book) == LXW_NO_ERROR;
  if (!ok || !closed) {
    error = "the workbook cannot be written";
    return false;
  }
  return true;
}

bool ReadXlsx(std::string_view data, std::vector<ImportUnit>& units, ParseFailure& failure) {
  units.clear();
  failure = ParseFailure();
  Workbook book(data, failure);
  if (!book.Open()) return false;
  std::string bytes;
  bool present = false;
  // The first sheet: workbook.xml lists the sheets, its relationships name their parts.
  std::string sheetPart = "xl/worksheets/sheet1.xml";
  std::string sharedPart;
  {
    pugi::xml_document workbook;
    pugi::xml_document rels;
    std::string relBytes;
    bool relPresent = false;
    if (!book.Part("xl/workbook.xml", bytes, present)) return false;
    if (!present) return book.Fail("", 0, "not an XLSX workbook (no xl/workbook.xml)");
    if (!book.Parse("xl/workbook.xml", bytes, workbook)) return false;
    if (!book.Part("xl/_rels/workbook.xml.rels", relBytes, relPresent)) return false;
    if (relPresent) {
      if (!book.Parse("xl/_rels/workbook.xml.rels", relBytes, rels)) return false;
      const pugi::xml_node first = workbook.child("workbook").child("sheets").child("sheet");
      const char* id = first.attribute("r:id").value();
      if (*id != '\0') {
        const std::string target = RelationTarget(rels, id, nullptr, "xl/");
        if (!target.empty()) sheetPart = target;
      }
      sharedPart = RelationTarget(rels, nullptr, "/sharedStrings", "xl/");
    }
  }
  std::vector<std::string> shared;
  if (!sharedPart.empty()) {
    pugi::xml_document sst;
    if (!book.Part(sharedPart, bytes, present)) return false;
    if (present) {
      if (!book.Parse(sharedPart, bytes, sst)) return false;
      for (const pugi::xml_node si : sst.child("sst").children("si")) {
        shared.push_back(ItemText(si));
      }
    }
  }
  pugi::xml_document sheet;
  if (!book.Part(sheetPart, bytes, present)) return false;
  if (!present) return book.Fail("", 0, "not an XLSX workbook (no " + sheetPart + ")");
  if (!book.Parse(sheetPart, bytes, sheet)) return false;

  TableColumns columns;
  bool named = false;
  size_t count = 0;
  std::vector<std::string> fields;
  std::string decoded;
  long rowNumber = 0;
  for (const pugi::xml_node row : sheet.child("worksheet").child("sheetData").children("row")) {
    const char* r = row.attribute("r").value();
    const long number = *r != '\0' ? std::strtol(r, nullptr, 10) : rowNumber + 1;
    if (number <= rowNumber) return book.FailCell(number, 0, "rows out of order");
    rowNumber = number;
    fields.assign(named ? count : 0, std::string());
    bool any = false;
    int column = -1;
    for (const pugi::xml_node cell : row.children("c")) {
      const char* ref = cell.attribute("r").value();
      const int at = *ref != '\0' ? ColumnOf(ref) : column + 1;
      if (at <= column || (*ref != '\0' && RowOf(ref) != number)) {
        return book.FailCell(number, at < 0 ? 0 : at, "a cell out of place");
      }
      column = at;
      if (!named && static_cast<size_t>(at) >= 4096) {
        return book.FailCell(number, at, "more than 4096 columns");
      }
      if (named && static_cast<size_t>(at) >= count) continue;  // beyond the named columns
      if (!named && fields.size() <= static_cast<size_t>(at)) fields.resize(at + 1);
      const std::string_view type = cell.attribute("t").value();
      std::string raw;
      const char* kind = nullptr;  // what the cell holds when it is not text
      if (type == "s") {
        const char* v = cell.child("v").text().get();
        char* end = nullptr;
        const unsigned long index = std::strtoul(v, &end, 10);
        if (*v == '\0' || *end != '\0' || index >= shared.size()) {
          return book.FailCell(number, at, "a shared string that does not exist");
        }
        raw = shared[index];
      } else if (type == "inlineStr") {
        raw = ItemText(cell.child("is"));
      } else if (cell.child("v") || cell.child("f")) {
        raw = cell.child("v").text().get();
        kind = type == "str"     ? "a formula"
               : type == "b"     ? "a boolean"
               : type == "e"     ? "an error value"
               : type == "d"     ? "a date"
               : cell.child("f") ? "a formula"
                                 : "a number";
      }
      if (kind != nullptr && named) {
        const bool text = at == columns.source || at == columns.target;
        const bool whole = (at == columns.id || at == columns.context) && !raw.empty() &&
                           raw.find_first_not_of("0123456789") == std::string::npos;
        if (text || ((at == columns.id || at == columns.context) && !whole)) {
          return book.FailCell(number, at,
                               std::string("holds ") + kind + " (" + raw.substr(0, 40) +
                                   "), not text; type it as text (or format the column as Text) "
                                   "and import again");
        }
      }
      if (!DecodeSheetText(raw, decoded)) {
        return book.FailCell(number, at, "an escape (_xHHHH_) of a lone surrogate or a NUL");
      }
      if (!decoded.empty()) any = true;
      fields[at].swap(decoded);
    }
    if (!any) continue;  // an empty row
    if (!named) {
      std::string error;
      if (!columns.Name(fields, error)) return book.FailCell(number, 0, error);
      if (!columns.complete()) {
        return book.FailCell(
            number, 0, "the header lacks source, target or an ID, context or location column");
      }
      named = true;
      count = fields.size();
      continue;
    }
    ImportUnit unit;
    unit.line = number;
    std::string error;
    if (!columns.ToUnit(fields, unit, error)) return book.FailCell(number, 0, error);
    units.push_back(std::move(unit));
  }
  if (!named) return book.Fail("", 0, "the first sheet has no header row");
  return true;
}

}  // namespace exchange
