// The workbook writer: the fixed parts of an OOXML package around one sheet, through ZipWriter.
//
// Parts, in the archive's order:
//   [Content_Types].xml, _rels/.rels, docProps/core.xml, docProps/app.xml, xl/workbook.xml,
//   xl/_rels/workbook.xml.rels, xl/styles.xml, xl/worksheets/sheet1.xml
// Styles: cell format 0, the default of every cell without an `s` attribute, is wrapped text
// aligned to the top, so the data cells carry no style; format 1 is the bold header. Each cell is
// `<c r="B7" t="inlineStr"><is><t>TEXT</t></is></c>` (`xml:space="preserve"` on <t> when the text
// starts or ends with white space or holds a line break, which a reader would otherwise trim);
// an empty text has no cell. Rows and cells keep their `r` references: some readers need them.
#include "exchange/xlsx_writer.h"

#include <charconv>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "exchange/voscript.h"
#include "exchange/zip_writer.h"

namespace exchange {
namespace {

constexpr char kXmlDeclaration[] =
    "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n";
constexpr char kMainNs[] = "http://schemas.openxmlformats.org/spreadsheetml/2006/main";
constexpr char kRelNs[] = "http://schemas.openxmlformats.org/officeDocument/2006/relationships";
constexpr char kPackageRelNs[] = "http://schemas.openxmlformats.org/package/2006/relationships";

// The sheet goes to the compressor in pieces of about this size.
constexpr size_t kChunkBytes = size_t{256} << 10;

// What one byte of a cell's text needs: 0 none, else a look (see AppendCellText).
enum : unsigned char { kPlain = 0, kEscapeXml, kControl, kUnderscore, kMaybeNonCharacter };

struct ByteClasses {
  unsigned char of[256] = {};
  constexpr ByteClasses() {
    for (int c = 0; c < 0x20; ++c) of[c] = kControl;
    of['\t'] = kPlain;
    of['\n'] = kPlain;
    of['&'] = kEscapeXml;
    of['<'] = kEscapeXml;
    of['>'] = kEscapeXml;
    of['_'] = kUnderscore;
    of[0xEF] = kMaybeNonCharacter;
  }
};
constexpr ByteClasses kClasses;

bool IsHexDigit(char c) {
  return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

// True when the underscore at `i` starts `_xHHHH` and what comes next is written starting with
// an underscore: a `_` of the text, or a character written as an escape of its own (a control
// character other than TAB and LF, U+FFFE, U+FFFF). A reader would then decode `_xHHHH_`, taking
// the escape's first underscore as the end of this one.
bool EscapeAt(std::string_view text, size_t i) {
  if (i + 6 >= text.size() || text[i + 1] != 'x' || !IsHexDigit(text[i + 2]) ||
      !IsHexDigit(text[i + 3]) || !IsHexDigit(text[i + 4]) || !IsHexDigit(text[i + 5])) {
    return false;
  }
  const unsigned char next = static_cast<unsigned char>(text[i + 6]);
  if (next == '_') return true;
  if (next < 0x20) return next != '\t' && next != '\n';
  return text.compare(i + 6, 3, "\xEF\xBF\xBE") == 0 || text.compare(i + 6, 3, "\xEF\xBF\xBF") == 0;
}

// The first position from `i` whose byte is not kPlain (text.size() when none): 16 bytes at a
// time where SSE2 is there, since nearly every byte of a text needs nothing.
size_t NextLook(std::string_view text, size_t i) {
#if defined(__SSE2__)
  const __m128i flip = _mm_set1_epi8(static_cast<char>(0x80));
  const __m128i below20 = _mm_set1_epi8(static_cast<char>(0x20 ^ 0x80));
  const __m128i tab = _mm_set1_epi8('\t');
  const __m128i lf = _mm_set1_epi8('\n');
  const __m128i amp = _mm_set1_epi8('&');
  const __m128i lt = _mm_set1_epi8('<');
  const __m128i gt = _mm_set1_epi8('>');
  const __m128i underscore = _mm_set1_epi8('_');
  const __m128i ef = _mm_set1_epi8(static_cast<char>(0xEF));
  for (; i + 16 <= text.size(); i += 16) {
    const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(text.data() + i));
    // Unsigned byte < 0x20 as a signed compare of both sides with their top bit flipped.
    __m128i hit = _mm_cmplt_epi8(_mm_xor_si128(v, flip), below20);
    hit = _mm_andnot_si128(_mm_or_si128(_mm_cmpeq_epi8(v, tab), _mm_cmpeq_epi8(v, lf)), hit);
    hit = _mm_or_si128(hit, _mm_or_si128(_mm_cmpeq_epi8(v, amp), _mm_cmpeq_epi8(v, lt)));
    hit = _mm_or_si128(hit, _mm_or_si128(_mm_cmpeq_epi8(v, gt), _mm_cmpeq_epi8(v, underscore)));
    hit = _mm_or_si128(hit, _mm_cmpeq_epi8(v, ef));
    const int mask = _mm_movemask_epi8(hit);
    if (mask != 0) return i + static_cast<size_t>(__builtin_ctz(static_cast<unsigned>(mask)));
  }
#endif
  for (; i < text.size(); ++i) {
    if (kClasses.of[static_cast<unsigned char>(text[i])] != kPlain) return i;
  }
  return text.size();
}

// Appends `text` as a cell's XML content, in the escape spreadsheets decode (`_xHHHH_` for U+HHHH):
// control characters other than TAB and LF, which XML cannot carry or would turn into LF, as
// `_xHHHH_` (`_x000D_` for CR); a `_xHHHH_` in the text itself with its underscore as `_x005F_`,
// and so a `_xHHHH` right before a character written as an escape;
// U+FFFE and U+FFFF, which XML cannot hold, as their escapes; & < > as XML's entities. One pass;
// runs of plain bytes are copied whole.
void AppendCellText(std::string& out, std::string_view text) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  size_t run = 0;
  for (size_t i = NextLook(text, 0); i < text.size(); i = NextLook(text, i + 1)) {
    const unsigned char c = static_cast<unsigned char>(text[i]);
    const unsigned char kind = kClasses.of[c];
    const char* replacement = nullptr;
    size_t skip = 1;
    char control[8];
    switch (kind) {
      case kEscapeXml:
        replacement = c == '&' ? "&amp;" : c == '<' ? "&lt;" : "&gt;";
        break;
      case kControl:
        std::memcpy(control, "_x00", 4);
        control[4] = kHex[c >> 4];
        control[5] = kHex[c & 0xF];
        control[6] = '_';
        control[7] = '\0';
        replacement = control;
        break;
      case kUnderscore:
        if (EscapeAt(text, i)) replacement = "_x005F_";
        break;
      case kMaybeNonCharacter:
        if (text.compare(i, 3, "\xEF\xBF\xBE") == 0) {
          replacement = "_xFFFE_";
          skip = 3;
        } else if (text.compare(i, 3, "\xEF\xBF\xBF") == 0) {
          replacement = "_xFFFF_";
          skip = 3;
        }
        break;
    }
    if (replacement == nullptr) continue;
    out.append(text, run, i - run).append(replacement);
    i += skip - 1;
    run = i + 1;
  }
  out.append(text, run, std::string_view::npos);
}

bool NeedsPreserve(std::string_view text) {
  const auto space = [](char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; };
  // Two vectorised searches: find_first_of would look up the pair for every byte.
  return space(text.front()) || space(text.back()) ||
         std::memchr(text.data(), '\n', text.size()) != nullptr ||
         std::memchr(text.data(), '\r', text.size()) != nullptr;
}

// The column letters of a 0-based column ("A", ..., "Z", "AA", ...).
std::string ColumnName(size_t column) {
  std::string name;
  for (size_t n = column + 1; n > 0; n = (n - 1) / 26) {
    name.insert(name.begin(), static_cast<char>('A' + (n - 1) % 26));
  }
  return name;
}

void AppendNumber(std::string& out, size_t value) {
  char digits[24];
  const auto end = std::to_chars(digits, digits + sizeof digits, value).ptr;
  out.append(digits, end);
}

// Our own names (the sheet's, the title) as XML text or a quoted value: escaped, and the control
// characters XML cannot hold left out.
std::string XmlValue(std::string_view text) {
  std::string out;
  for (const char c : text) {
    if (static_cast<unsigned char>(c) < 0x20 && c != '\t' && c != '\n') continue;
    switch (c) {
      case '&':
        out += "&amp;";
        break;
      case '<':
        out += "&lt;";
        break;
      case '>':
        out += "&gt;";
        break;
      case '"':
        out += "&quot;";
        break;
      default:
        out += c;
    }
  }
  return out;
}

std::string ContentTypes() {
  std::string out = kXmlDeclaration;
  out +=
      "<Types xmlns=\"http://schemas.openxmlformats.org/package/2006/content-types\">"
      "<Default Extension=\"rels\" "
      "ContentType=\"application/vnd.openxmlformats-package.relationships+xml\"/>"
      "<Default Extension=\"xml\" ContentType=\"application/xml\"/>"
      "<Override PartName=\"/docProps/app.xml\" "
      "ContentType=\"application/vnd.openxmlformats-officedocument.extended-properties+xml\"/>"
      "<Override PartName=\"/docProps/core.xml\" "
      "ContentType=\"application/vnd.openxmlformats-package.core-properties+xml\"/>"
      "<Override PartName=\"/xl/styles.xml\" "
      "ContentType=\"application/vnd.openxmlformats-officedocument.spreadsheetml.styles+xml\"/>"
      "<Override PartName=\"/xl/workbook.xml\" "
      "ContentType=\"application/"
      "vnd.openxmlformats-officedocument.spreadsheetml.sheet.main+xml\"/>"
      "<Override PartName=\"/xl/worksheets/sheet1.xml\" "
      "ContentType=\"application/"
      "vnd.openxmlformats-officedocument.spreadsheetml.worksheet+xml\"/>"
      "</Types>";
  return out;
}

std::string PackageRels() {
  std::string out = kXmlDeclaration;
  out += std::string("<Relationships xmlns=\"") + kPackageRelNs +
         "\"><Relationship Id=\"rId1\" Type=\"" + kRelNs +
         "/officeDocument\" Target=\"xl/workbook.xml\"/>"
         "<Relationship Id=\"rId2\" "
         "Type=\"http://schemas.openxmlformats.org/package/2006/relationships/metadata/"
         "core-properties\" Target=\"docProps/core.xml\"/>"
         "<Relationship Id=\"rId3\" Type=\"" +
         kRelNs + "/extended-properties\" Target=\"docProps/app.xml\"/></Relationships>";
  return out;
}

// No creation time: the same rows give the same bytes.
std::string CoreProperties(const std::string& title) {
  std::string out = kXmlDeclaration;
  out +=
      "<cp:coreProperties "
      "xmlns:cp=\"http://schemas.openxmlformats.org/package/2006/metadata/core-properties\" "
      "xmlns:dc=\"http://purl.org/dc/elements/1.1/\">";
  if (!title.empty()) {
    out += "<dc:title>" + XmlValue(title) + "</dc:title>";
  }
  out += "</cp:coreProperties>";
  return out;
}

std::string AppProperties() {
  std::string out = kXmlDeclaration;
  out +=
      "<Properties "
      "xmlns=\"http://schemas.openxmlformats.org/officeDocument/2006/extended-properties\">"
      "<Application>Parlatrix</Application></Properties>";
  return out;
}

std::string Workbook(const std::string& sheet) {
  std::string out = kXmlDeclaration;
  out += std::string("<workbook xmlns=\"") + kMainNs + "\" xmlns:r=\"" + kRelNs +
         "\"><bookViews><workbookView/></bookViews><sheets><sheet name=\"" + XmlValue(sheet) +
         "\" sheetId=\"1\" r:id=\"rId1\"/></sheets></workbook>";
  return out;
}

std::string WorkbookRels() {
  std::string out = kXmlDeclaration;
  out += std::string("<Relationships xmlns=\"") + kPackageRelNs +
         "\"><Relationship Id=\"rId1\" Type=\"" + kRelNs +
         "/worksheet\" Target=\"worksheets/sheet1.xml\"/><Relationship Id=\"rId2\" Type=\"" +
         kRelNs + "/styles\" Target=\"styles.xml\"/></Relationships>";
  return out;
}

std::string Styles() {
  std::string out = kXmlDeclaration;
  out += std::string("<styleSheet xmlns=\"") + kMainNs +
         "\"><fonts count=\"2\">"
         "<font><sz val=\"11\"/><name val=\"Calibri\"/><family val=\"2\"/></font>"
         "<font><b/><sz val=\"11\"/><name val=\"Calibri\"/><family val=\"2\"/></font></fonts>"
         "<fills count=\"2\"><fill><patternFill patternType=\"none\"/></fill>"
         "<fill><patternFill patternType=\"gray125\"/></fill></fills>"
         "<borders count=\"1\"><border><left/><right/><top/><bottom/><diagonal/></border>"
         "</borders>"
         "<cellStyleXfs count=\"1\"><xf numFmtId=\"0\" fontId=\"0\" fillId=\"0\" borderId=\"0\"/>"
         "</cellStyleXfs>"
         "<cellXfs count=\"2\">"
         "<xf numFmtId=\"0\" fontId=\"0\" fillId=\"0\" borderId=\"0\" xfId=\"0\" "
         "applyAlignment=\"1\"><alignment vertical=\"top\" wrapText=\"1\"/></xf>"
         "<xf numFmtId=\"0\" fontId=\"1\" fillId=\"0\" borderId=\"0\" xfId=\"0\" applyFont=\"1\"/>"
         "</cellXfs>"
         "<cellStyles count=\"1\"><cellStyle name=\"Normal\" xfId=\"0\" builtinId=\"0\"/>"
         "</cellStyles></styleSheet>";
  return out;
}

// A column's stored width: the characters asked for plus the cell's padding, as spreadsheet
// programs store a width typed in characters of the default font (Calibri 11: 5 pixels of
// padding over 7-pixel digits, in 256ths).
std::string ColumnWidth(double characters) {
  const double stored = characters + 182.0 / 256.0;
  char text[32];
  const auto end = std::to_chars(text, text + sizeof text, stored).ptr;
  return std::string(text, end);
}

// Everything in the sheet before its first row.
std::string SheetStart(const SheetLayout& layout, size_t count) {
  std::string out = kXmlDeclaration;
  out += std::string("<worksheet xmlns=\"") + kMainNs + "\" xmlns:r=\"" + kRelNs +
         "\"><dimension ref=\"A1:" + ColumnName(layout.header.size() - 1) +
         std::to_string(count + 1) +
         "\"/><sheetViews><sheetView tabSelected=\"1\" workbookViewId=\"0\">"
         "<pane ySplit=\"1\" topLeftCell=\"A2\" activePane=\"bottomLeft\" state=\"frozen\"/>"
         "<selection pane=\"bottomLeft\"/></sheetView></sheetViews>"
         "<sheetFormatPr defaultRowHeight=\"15\"/><cols>";
  for (size_t c = 0; c < layout.header.size(); ++c) {
    const std::string n = std::to_string(c + 1);
    const double width = c < layout.widths.size() ? layout.widths[c] : 8.43;
    out += "<col min=\"" + n + "\" max=\"" + n + "\" width=\"" + ColumnWidth(width) +
           "\" customWidth=\"1\"/>";
  }
  out += "</cols><sheetData>";
  return out;
}

class SheetStream {
 public:
  SheetStream(ZipWriter& zip, size_t columns) : zip_(zip) {
    for (size_t c = 0; c < columns; ++c) names_.push_back(ColumnName(c));
    buffer_.reserve(kChunkBytes + (size_t{1} << 16));
  }

  std::string& buffer() { return buffer_; }

  // Row `number` (1-based); `style` is " s=\"1\"" for the header, "" otherwise.
  bool Row(size_t number, const std::vector<std::string_view>& cells, const char* style) {
    std::string reference;
    AppendNumber(reference, number);
    buffer_ += "<row r=\"";
    buffer_ += reference;
    buffer_ += "\">";
    for (size_t c = 0; c < cells.size(); ++c) {
      const std::string_view text = cells[c];
      if (text.empty()) continue;
      buffer_ += "<c r=\"";
      buffer_ += names_[c];
      buffer_ += reference;
      buffer_ += '"';
      buffer_ += style;
      buffer_ += NeedsPreserve(text) ? " t=\"inlineStr\"><is><t xml:space=\"preserve\">"
                                     : " t=\"inlineStr\"><is><t>";
      AppendCellText(buffer_, text);
      buffer_ += "</t></is></c>";
      // A row of long texts is handed on cell by cell, so the buffer stays near its size.
      if (buffer_.size() >= kChunkBytes && !Flush()) return false;
    }
    buffer_ += "</row>";
    return buffer_.size() < kChunkBytes || Flush();
  }

  bool Flush() {
    const bool ok = zip_.Write(buffer_);
    buffer_.clear();
    return ok;
  }

 private:
  ZipWriter& zip_;
  std::vector<std::string> names_;
  std::string buffer_;
};

bool WriteSheet(ZipWriter& zip, const SheetLayout& layout, size_t count, const SheetRows& rows) {
  if (!zip.Open("xl/worksheets/sheet1.xml")) return false;
  SheetStream sheet(zip, layout.header.size());
  sheet.buffer() = SheetStart(layout, count);
  if (!sheet.Row(1, layout.header, " s=\"1\"")) return false;
  std::vector<std::string_view> cells;
  for (size_t index = 0; index < count; ++index) {
    cells.assign(layout.header.size(), std::string_view());
    rows(index, cells);
    if (!sheet.Row(index + 2, cells, "")) return false;
  }
  sheet.buffer() += "</sheetData></worksheet>";
  return sheet.Flush() && zip.Close();
}

constexpr const char* kExchangeColumns[] = {"location",
                                            "source",
                                            "target",
                                            "ID",
                                            "fuzzy",
                                            "context",
                                            "translator_comments",
                                            "developer_comments",
                                            "previous_source"};
constexpr double kExchangeWidths[] = {16, 50, 50, 8, 8, 8, 30, 40, 50};

}  // namespace

bool WriteSheetWorkbook(std::FILE* file, const SheetLayout& layout, size_t count,
                        const SheetRows& rows, platform::Status& status) {
  if (layout.header.empty()) {
    status = platform::Status::Failure("a sheet without columns");
    return false;
  }
  std::string error;
  if (!RowsFitSheet(count, error)) {
    status = platform::Status::Failure(error);
    return false;
  }
  ZipWriter zip(file);
  const bool ok =
      zip.Add("[Content_Types].xml", ContentTypes()) && zip.Add("_rels/.rels", PackageRels()) &&
      zip.Add("docProps/core.xml", CoreProperties(layout.title)) &&
      zip.Add("docProps/app.xml", AppProperties()) &&
      zip.Add("xl/workbook.xml", Workbook(layout.name)) &&
      zip.Add("xl/_rels/workbook.xml.rels", WorkbookRels()) && zip.Add("xl/styles.xml", Styles()) &&
      WriteSheet(zip, layout, count, rows) && zip.Finish();
  if (ok) {
    status = platform::Status::Ok();
    return true;
  }
  status = zip.status();
  if (status.systemError != 0) errno = status.systemError;
  return false;
}

bool RowsFitSheet(size_t count, std::string& error) {
  if (count + 1 <= kMaxSheetRows) return true;
  error = std::to_string(count) + " lines do not fit one sheet (at most " +
          std::to_string(kMaxSheetRows - 1) + " below the header)";
  return false;
}

bool TextFitsCell(int id, const char* column, std::string_view text, std::string& error) {
  // A character takes at least as many bytes as UTF-16 units (1-3 bytes: one unit; 4: two), so
  // only a text of more bytes than a cell's units needs counting.
  if (text.size() <= kMaxCellUnits) return true;
  const size_t units = Utf16Units(text);
  if (units <= kMaxCellUnits) return true;
  error = "ID " + std::to_string(id) + ": " + column + " is " + std::to_string(units) +
          " characters, more than the " + std::to_string(kMaxCellUnits) +
          " a spreadsheet cell holds";
  return false;
}

bool CheckXlsxWorkbook(const ExportSet& set, std::string& error) {
  if (!RowsFitSheet(set.units.size(), error)) return false;
  for (const ExportUnit& unit : set.units) {
    if (!TextFitsCell(unit.id, "source", unit.text, error) ||
        !TextFitsCell(unit.id, "target", unit.target, error) ||
        !TextFitsCell(unit.id, "developer_comments", unit.notes, error) ||
        !TextFitsCell(unit.id, "translator_comments", unit.comments, error) ||
        !TextFitsCell(unit.id, "previous_source", unit.previous, error)) {
      return false;
    }
  }
  return true;
}

bool WriteXlsxWorkbook(const ExportSet& set, std::FILE* file, platform::Status& status) {
  std::string error;
  if (!CheckXlsxWorkbook(set, error)) {
    status = platform::Status::Failure(error);
    return false;
  }
  const size_t columns = set.previousColumn ? 9 : 8;
  SheetLayout layout;
  layout.name = "translation";
  layout.header.assign(kExchangeColumns, kExchangeColumns + columns);
  layout.widths.assign(kExchangeWidths, kExchangeWidths + columns);
  // The row's own texts (its ID and location) live here until the next row.
  std::string id;
  std::string location = set.original + ":";
  const size_t prefix = location.size();
  const SheetRows rows = [&](size_t index, std::vector<std::string_view>& cells) {
    const ExportUnit& unit = set.units[index];
    id = std::to_string(unit.id);
    location.resize(prefix);
    location += id;
    cells[0] = location;
    cells[1] = unit.text;
    if (unit.hasTarget) cells[2] = unit.target;
    cells[3] = id;
    cells[4] = unit.fuzzy ? "True" : "False";
    cells[5] = id;
    cells[6] = unit.comments;
    cells[7] = unit.notes;
    if (columns > 8 && unit.fuzzy && unit.hasPrevious) cells[8] = unit.previous;
  };
  return WriteSheetWorkbook(file, layout, set.units.size(), rows, status);
}

}  // namespace exchange
