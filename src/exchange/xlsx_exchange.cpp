// XLSX as an exchange format.
//
// Writing: xlsx_writer.cpp.
//
// Reading: libzip over the bytes in memory, pugixml over the parts. Before a part is parsed:
//  - its size as the zip's directory states it is checked against kMaxXlsxPartBytes (and the
//    parts together against kMaxXlsxTotalBytes), and no more than that is ever inflated;
//  - it must be UTF-8, hold no DOCTYPE (so no entity is ever declared or loaded) and refer to no
//    entity but XML's five and character references;
//  - its tags are counted, and a part with more elements and attributes than pugixml could hold
//    in eight times the part's size is refused (a tree parser allocates per node).
// The first sheet is the one workbook.xml lists first, found through its relationship; cells come
// from the shared string table (t="s"), inline strings (t="inlineStr", what our writer writes)
// or are refused as not text where a text is read.
#include <zip.h>

#include <algorithm>
#include <cctype>
#include <cstring>
#include <functional>
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

  // Looks the part `name` up and checks its unpacked size against the limits before anything is
  // unpacked; `present` false (and true returned) when it is not there.
  bool StatPart(const std::string& name, zip_stat_t& stat, bool& present) {
    zip_stat_init(&stat);
    present = zip_stat(zip_.get(), name.c_str(), 0, &stat) == 0;
    if (!present) return true;
    if ((stat.valid & ZIP_STAT_SIZE) == 0) return Fail(name, 0, "a part of unknown size");
    if (stat.size > kMaxXlsxPartBytes || total_ + stat.size > kMaxXlsxTotalBytes) {
      return Fail(name, 0,
                  "unpacks to " + std::to_string(stat.size) +
                      " bytes, more than a workbook of translations holds; not read");
    }
    return true;
  }

  // Unpacks the part `name`; `present` false (and true returned) when it is not there.
  bool Part(const std::string& name, std::string& out, bool& present) {
    out.clear();
    zip_stat_t stat;
    if (!StatPart(name, stat, present)) return false;
    if (!present) return true;
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
    Budget budget;
    budget.limit = 8 * bytes.size() + (size_t{1} << 20);
    const std::string_view view(bytes);
    return ParseSpan(name, bytes.data(), bytes.size(), doc, false, budget,
                     [view](size_t offset, long& line, long& column) {
                       LineAndColumn(view, offset, line, column);
                     });
  }

  // What pugixml may take for the tags of a part (64 bytes an element, 40 an attribute, besides
  // the text it parses in place), counted over all of it when it is parsed a slice at a time.
  struct Budget {
    size_t elements = 0;
    size_t attributes = 0;
    size_t limit = 0;
  };
  using Locate = std::function<void(size_t offset, long& line, long& column)>;

  // The checks and the parse of `size` bytes at `text` (a whole part, or with `fragment` a slice
  // of whole elements of one, which must hold no comment, CDATA section, declaration or
  // processing instruction: false with no failure for one); `locate` turns an offset into the
  // part's line and column.
  bool ParseSpan(const std::string& name, char* text, size_t size, pugi::xml_document& doc,
                 bool fragment, Budget& budget, const Locate& locate) {
    const auto failAt = [&](size_t offset, const std::string& message) {
      locate(offset, failure_.line, failure_.column);
      failure_.message = name + ": " + message;
      return false;
    };
    const std::string_view view(text, size);
    size_t start = 0;
    if (!fragment && view.compare(0, 3, "\xEF\xBB\xBF") == 0) start = 3;
    const size_t valid = ValidUtf8Prefix(view);
    if (valid != size) return failAt(valid, "invalid UTF-8");
    if (!fragment && view.compare(start, 5, "<?xml") == 0) {
      const size_t end = view.find("?>", start);
      const std::string_view decl = view.substr(start, end == std::string_view::npos ? 0 : end);
      const size_t enc = decl.find("encoding=");
      if (enc != std::string_view::npos && enc + 10 < decl.size()) {
        std::string name8(decl.substr(enc + 10, 5));
        for (char& c : name8) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        if (name8 != "UTF-8" && name8.compare(0, 4, "UTF8") != 0) {
          return failAt(start + enc, "an XML encoding other than UTF-8");
        }
      }
    }
    bool inTag = false;
    for (size_t i = start; i < view.size(); ++i) {
      const char c = view[i];
      if (c == '<') {
        // A slice holds elements and text only (see StreamSheet); the caller reads whole a part
        // whose slice holds anything else.
        if (fragment && i + 1 < view.size() && (view[i + 1] == '!' || view[i + 1] == '?')) {
          return false;
        }
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
          return failAt(i, "a DOCTYPE or other declaration; not read");
        }
        if (i + 1 < view.size() && view[i + 1] != '/' && view[i + 1] != '?') ++budget.elements;
        inTag = true;
      } else if (c == '>') {
        inTag = false;
      } else if (c == '=' && inTag) {
        ++budget.attributes;
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
        if (!known) return failAt(i, "an entity XML does not define; not read");
      }
    }
    if (budget.elements * 64 + budget.attributes * 40 > budget.limit) {
      return Fail(name, 0, "more tags than a part of its size can hold; not read");
    }
    const unsigned options =
        pugi::parse_default | pugi::parse_ws_pcdata_single | (fragment ? pugi::parse_fragment : 0u);
    const pugi::xml_parse_result result =
        doc.load_buffer_inplace(text + start, size - start, options, pugi::encoding_utf8);
    if (!result) {
      return failAt(start + static_cast<size_t>(result.offset),
                    std::string("malformed XML: ") + result.description());
    }
    return true;
  }

  // The sheet part `name`, read a slice of whole rows at a time so that neither the unpacked part
  // nor its tree is ever held whole: a workbook of 100 000 lines unpacks to some 80 MB, whose
  // tree would take four times that. Each slice (the bytes up to the last "</row>" read so far,
  // 4 MiB at a time) gets the checks of a whole part, is parsed as a fragment and handed to
  // `rows`, then dropped. The frame (what comes before the rows and after the last "</row>") is
  // parsed last, as a document whose <sheetData> holds what followed that "</row>" (a last
  // empty <row/>, say), and handed to `rows` too. The budget of tags is the whole part's.
  // A part this cannot slice safely, one whose frame or slices hold a comment, a CDATA section,
  // a declaration or a processing instruction (a "</row>" could hide in them) or with no plain
  // <sheetData>, and one whose slice or frame fails a check or the parse, is left to the caller
  // to read whole (false with `whole` set and no failure): what it then refuses, it refuses with
  // the same message and position as before. Only a fault `rows` finds in a cell is final.
  bool StreamSheet(const std::string& name, bool& present, bool& whole,
                   const std::function<bool(pugi::xml_node parent)>& rows) {
    whole = false;
    zip_stat_t stat;
    if (!StatPart(name, stat, present)) return false;
    if (!present) return true;
    std::unique_ptr<zip_file_t, ZipFileCloser> file(zip_fopen(zip_.get(), name.c_str(), 0));
    if (file == nullptr) return Fail(name, 0, "the part cannot be unpacked");
    Budget budget;
    budget.limit = 8 * static_cast<size_t>(stat.size) + (size_t{1} << 20);
    constexpr size_t kRead = size_t{4} << 20;
    std::string buffer;
    std::string head;  // the frame up to and with the <sheetData> start tag
    zip_uint64_t got = 0;
    bool end = false;
    const auto readMore = [&]() {
      const size_t at = buffer.size();
      const size_t want =
          static_cast<size_t>(std::min<zip_uint64_t>(kRead, stat.size > got ? stat.size - got : 1));
      buffer.resize(at + want);
      const zip_int64_t n = zip_fread(file.get(), buffer.data() + at, want);
      buffer.resize(at + static_cast<size_t>(n > 0 ? n : 0));
      if (n < 0) return Fail(name, 0, "the part cannot be unpacked (damaged archive)");
      got += static_cast<zip_uint64_t>(n > 0 ? n : 0);
      if (got > stat.size) return Fail(name, 0, "the part is longer than the archive says");
      if (n == 0) {
        if (got < stat.size) return Fail(name, 0, "the part cannot be unpacked (damaged archive)");
        end = true;
      }
      return true;
    };
    const auto readWhole = [&]() {
      failure_ = ParseFailure();
      whole = true;
      return false;
    };
    const Locate nowhere = [](size_t, long&, long&) {};
    const auto unsafe = [](std::string_view bytes, size_t from) {
      return bytes.find("<!", from) != std::string_view::npos ||
             bytes.find("<?", from) != std::string_view::npos;
    };
    // The frame's start: up to the end of the <sheetData> start tag.
    size_t open = std::string::npos;
    while (true) {
      if (!readMore()) return false;
      open = buffer.find("<sheetData");
      if (open != std::string::npos) {
        const size_t close = buffer.find('>', open);
        const char after = open + 10 < buffer.size() ? buffer[open + 10] : '\0';
        if (close != std::string::npos &&
            (after == '>' || after == ' ' || after == '\t' || after == '\n' || after == '\r')) {
          if (buffer[close - 1] == '/') return readWhole();  // no rows at all: a small part
          head.assign(buffer, 0, close + 1);
          break;
        }
        if (close != std::string::npos || end) return readWhole();
      }
      if (end || buffer.size() > kRead * 4) return readWhole();
    }
    size_t declEnd = 0;
    if (head.compare(0, 3, "\xEF\xBB\xBF") == 0) declEnd = 3;
    if (head.compare(declEnd, 5, "<?xml") == 0) {
      const size_t q = head.find("?>", declEnd);
      declEnd = q == std::string::npos ? head.size() : q + 2;
    }
    if (unsafe(head, declEnd)) return readWhole();
    buffer.erase(0, head.size());
    // The slices of rows.
    while (true) {
      const size_t last = buffer.rfind("</row>");
      if (last != std::string::npos) {
        const size_t cut = last + 6;
        pugi::xml_document slice;
        if (!ParseSpan(name, buffer.data(), cut, slice, true, budget, nowhere)) return readWhole();
        if (!rows(slice)) return false;
        slice.reset();
        buffer.erase(0, cut);
      }
      if (end) break;
      if (!readMore()) return false;
    }
    // The frame's end, parsed with its start.
    if (unsafe(buffer, 0)) return readWhole();
    head += buffer;
    buffer = std::string();
    pugi::xml_document frame;
    if (!ParseSpan(name, head.data(), head.size(), frame, false, budget, nowhere)) {
      return readWhole();
    }
    total_ += stat.size;
    return rows(frame.child("worksheet").child("sheetData"));
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

bool ReadXlsx(std::string_view data, std::vector<ImportUnit>& units, ParseFailure& failure,
              const UnitSink* sink) {
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
  bytes = std::string();

  TableColumns columns;
  bool named = false;
  size_t count = 0;
  std::vector<std::string> fields;
  std::string decoded;
  long rowNumber = 0;
  // Entries handed to the sink; a sheet read whole after some slices were taken hands on only
  // those after them (both reads give the same entries in the same order).
  size_t delivered = 0;
  size_t taken = 0;
  bool stopped = false;
  const auto takeRows = [&](const pugi::xml_node parent) {
    for (const pugi::xml_node row : parent.children("row")) {
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
      if (sink == nullptr) {
        units.push_back(std::move(unit));
      } else if (taken++ >= delivered) {
        ++delivered;
        if (!(*sink)(unit)) {
          stopped = true;
          return false;
        }
      }
    }
    return true;
  };
  // The sheet a slice of rows at a time; read whole where it cannot be sliced safely.
  bool whole = false;
  if (!book.StreamSheet(sheetPart, present, whole, takeRows)) {
    if (!whole) return false;
    if (stopped) return false;  // the sink's choice, no fault of the file
    units.clear();
    taken = 0;
    columns = TableColumns();
    named = false;
    count = 0;
    rowNumber = 0;
    pugi::xml_document sheet;
    if (!book.Part(sheetPart, bytes, present)) return false;
    if (!book.Parse(sheetPart, bytes, sheet)) return false;
    if (!takeRows(sheet.child("worksheet").child("sheetData"))) return false;
  }
  if (!present) return book.Fail("", 0, "not an XLSX workbook (no " + sheetPart + ")");
  if (!named) return book.Fail("", 0, "the first sheet has no header row");
  return true;
}

}  // namespace exchange
