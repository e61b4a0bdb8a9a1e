// The XLSX reader takes a sheet of many megabytes a slice of rows at a time, and reads whole the
// sheets it cannot slice safely. Both ways must give the same entries, and a fault the same
// message, line and column. A slice of rows in the plain shape is read without a tree, the rest
// through pugixml's tree: again the same entries and refusals either way.
#include <gtest/gtest.h>
#include <zip.h>

#include <string>
#include <vector>

#include "exchange/xlsx.h"

namespace {

using exchange::ImportUnit;
using exchange::ParseFailure;

// A deflated workbook of the given sheet, with the workbook part and relationships a minimal one
// has; empty when libzip fails.
std::string Workbook(const std::string& sheet) {
  const std::vector<std::pair<std::string, std::string>> parts = {
      {"xl/workbook.xml",
       "<workbook xmlns:r=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships\">"
       "<sheets><sheet name=\"S\" sheetId=\"1\" r:id=\"rId1\"/></sheets></workbook>"},
      {"xl/_rels/workbook.xml.rels",
       "<Relationships><Relationship Id=\"rId1\" Target=\"worksheets/sheet1.xml\" "
       "Type=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships/worksheet\"/>"
       "</Relationships>"},
      {"xl/worksheets/sheet1.xml", sheet}};
  zip_error_t error;
  zip_error_init(&error);
  zip_source_t* buffer = zip_source_buffer_create(nullptr, 0, 0, &error);
  zip_t* archive = buffer != nullptr ? zip_open_from_source(buffer, ZIP_TRUNCATE, &error) : nullptr;
  if (archive == nullptr) return std::string();
  zip_source_keep(buffer);
  for (const auto& [name, bytes] : parts) {
    zip_source_t* part = zip_source_buffer(archive, bytes.data(), bytes.size(), 0);
    if (part == nullptr || zip_file_add(archive, name.c_str(), part, ZIP_FL_OVERWRITE) < 0) {
      zip_discard(archive);
      zip_source_free(buffer);
      return std::string();
    }
  }
  std::string out;
  if (zip_close(archive) == 0 && zip_source_open(buffer) == 0) {
    zip_stat_t stat;
    if (zip_source_stat(buffer, &stat) == 0) {
      out.resize(stat.size);
      if (zip_source_read(buffer, out.data(), stat.size) != static_cast<zip_int64_t>(stat.size)) {
        out.clear();
      }
    }
    zip_source_close(buffer);
  }
  zip_source_free(buffer);
  return out;
}

// `p` is the prefix of the elements ("x:" as the Open XML SDK writes them), empty for none.
std::string InlineCell(const std::string& ref, const std::string& text, const std::string& p = "") {
  return "<" + p + "c r=\"" + ref + "\" t=\"inlineStr\"><" + p + "is><" + p + "t>" + text + "</" +
         p + "t></" + p + "is></" + p + "c>";
}

// A sheet of `rows` entries below the header, one row a line (see Sheet), each some
// 300 bytes of Hangul, so that 40 000 rows are about 14 MB: four slices.
std::vector<std::string> SheetRows(int rows, const std::string& p = "") {
  std::vector<std::string> lines;
  lines.push_back("<" + p + "row r=\"1\">" + InlineCell("A1", "ID", p) +
                  InlineCell("B1", "source", p) + InlineCell("C1", "target", p) + "</" + p +
                  "row>");
  for (int k = 1; k <= rows; ++k) {
    const std::string r = std::to_string(k + 1);
    std::string text;
    for (int w = 0; w < 10; ++w) text += "대사 &amp; 줄 " + std::to_string(k * 10 + w) + " ";
    lines.push_back("<" + p + "row r=\"" + r + "\">" + InlineCell("A" + r, std::to_string(k), p) +
                    InlineCell("B" + r, text, p) + InlineCell("C" + r, "번역 " + text, p) + "</" +
                    p + "row>");
  }
  return lines;
}

// The part: the declaration, the <sheetData> start tag on line 2, then rows[i] on line i + 3.
// With a prefix `p` ("x:"), the elements are named with it and the root binds it to `ns`.
std::string Sheet(
    const std::vector<std::string>& rows, const std::string& afterRows = "",
    const std::string& p = "",
    const std::string& ns = "http://schemas.openxmlformats.org/spreadsheetml/2006/main") {
  const std::string xmlns = p.empty() ? "xmlns" : "xmlns:" + p.substr(0, p.size() - 1);
  std::string sheet = "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n<" + p +
                      "worksheet " + xmlns + "=\"" + ns + "\"><" + p + "sheetData>\n";
  for (const std::string& row : rows) sheet += row + "\n";
  return sheet + afterRows + "</" + p + "sheetData></" + p + "worksheet>\n";
}

struct Read {
  bool accepted = false;
  std::vector<ImportUnit> units;
  ParseFailure failure;
};

// With `sink`, the entries as a sink takes them (as the import reads), else as collected.
Read ReadSheet(const std::string& sheet, bool sink = false,
               exchange::XlsxRows rows = exchange::XlsxRows::kPlainOrTree) {
  Read read;
  const std::string book = Workbook(sheet);
  EXPECT_FALSE(book.empty());
  const exchange::UnitSink take = [&read](ImportUnit& unit) {
    read.units.push_back(unit);
    return true;
  };
  std::vector<ImportUnit> collected;
  read.accepted = sink ? exchange::ReadXlsx(book, collected, read.failure, &take, rows)
                       : exchange::ReadXlsx(book, read.units, read.failure, nullptr, rows);
  EXPECT_TRUE(collected.empty());
  return read;
}

// The sheet read as the import reads it and through the tree alone: the same outcome, entries
// and failure (message, line, column). Returns the first.
Read ReadBothWays(const std::string& sheet) {
  const Read plain = ReadSheet(sheet, true);
  const Read tree = ReadSheet(sheet, true, exchange::XlsxRows::kTree);
  EXPECT_EQ(plain.accepted, tree.accepted)
      << plain.failure.message << " / " << tree.failure.message;
  EXPECT_EQ(plain.failure.message, tree.failure.message);
  EXPECT_EQ(plain.failure.line, tree.failure.line);
  EXPECT_EQ(plain.failure.column, tree.failure.column);
  EXPECT_EQ(plain.units.size(), tree.units.size());
  for (size_t k = 0; k < plain.units.size() && k < tree.units.size(); ++k) {
    EXPECT_EQ(plain.units[k].id, tree.units[k].id);
    EXPECT_EQ(plain.units[k].line, tree.units[k].line);
    EXPECT_EQ(plain.units[k].source, tree.units[k].source);
    EXPECT_EQ(plain.units[k].target, tree.units[k].target);
    EXPECT_EQ(plain.units[k].fuzzy, tree.units[k].fuzzy);
    EXPECT_EQ(plain.units[k].comments, tree.units[k].comments);
  }
  return plain;
}

TEST(XlsxSlices, ASlicedSheetReadsAsTheSameSheetReadWhole) {
  constexpr int kRows = 40000;
  const std::vector<std::string> rows = SheetRows(kRows);
  // Sliced: the plain sheet, and one whose last row is an empty <row/> after the last </row>.
  const Read sliced = ReadSheet(Sheet(rows, "<row r=\"40002\"/>\n"));
  // Whole: a comment among the rows (a "</row>" could hide in one) stops the slicing. Taken by
  // a sink, the slices before the comment are not handed on twice.
  std::vector<std::string> commented = rows;
  commented[kRows * 3 / 4] += "<!-- </row> -->";
  const Read whole = ReadSheet(Sheet(commented));
  for (const Read& streamed : {ReadSheet(Sheet(rows), true), ReadSheet(Sheet(commented), true)}) {
    ASSERT_TRUE(streamed.accepted) << streamed.failure.message;
    ASSERT_EQ(streamed.units.size(), static_cast<size_t>(kRows));
    for (size_t k = 0; k < streamed.units.size(); ++k) {
      ASSERT_EQ(streamed.units[k].id, static_cast<int>(k + 1));
    }
  }
  ASSERT_TRUE(sliced.accepted) << sliced.failure.message;
  ASSERT_TRUE(whole.accepted) << whole.failure.message;
  ASSERT_EQ(sliced.units.size(), static_cast<size_t>(kRows));
  ASSERT_EQ(whole.units.size(), sliced.units.size());
  for (size_t k = 0; k < sliced.units.size(); ++k) {
    const ImportUnit& a = sliced.units[k];
    const ImportUnit& b = whole.units[k];
    ASSERT_EQ(a.id, static_cast<int>(k + 1));
    ASSERT_EQ(a.line, static_cast<long>(k + 2));
    ASSERT_EQ(b.id, a.id);
    ASSERT_EQ(b.line, a.line);
    ASSERT_EQ(b.source, a.source);
    ASSERT_EQ(b.target, a.target);
    ASSERT_EQ(a.target, "번역 " + a.source);
    ASSERT_NE(a.source.find(" & 줄 "), std::string::npos);
  }
}

// The Open XML SDK's prefixed elements, in the transitional and the Strict namespace: the slices
// end at "</x:row>" (rows fall across every 4 MiB edge), and the last empty <x:row/> comes in
// the frame. A comment among the rows makes the same sheet read whole.
TEST(XlsxSlices, PrefixedRowsReadAsUnprefixedOnesSlicedOrWhole) {
  constexpr int kRows = 40000;
  const Read plain = ReadSheet(Sheet(SheetRows(kRows)));
  ASSERT_TRUE(plain.accepted) << plain.failure.message;
  std::vector<std::string> rows = SheetRows(kRows, "x:");
  const Read sdk = ReadSheet(Sheet(rows, "<x:row r=\"40002\"/>\n", "x:"), true);
  const Read strict =
      ReadSheet(Sheet(rows, "", "x:", "http://purl.oclc.org/ooxml/spreadsheetml/main"));
  rows[kRows / 2] += "<!-- </x:row> -->";
  const Read whole = ReadSheet(Sheet(rows, "", "x:"));
  for (const Read* read : {&sdk, &strict, &whole}) {
    ASSERT_TRUE(read->accepted) << read->failure.message;
    ASSERT_EQ(read->units.size(), plain.units.size());
    for (size_t k = 0; k < plain.units.size(); ++k) {
      ASSERT_EQ(read->units[k].id, plain.units[k].id);
      ASSERT_EQ(read->units[k].line, plain.units[k].line);
      ASSERT_EQ(read->units[k].source, plain.units[k].source);
      ASSERT_EQ(read->units[k].target, plain.units[k].target);
    }
  }
  // A prefix bound to another namespace names no SpreadsheetML element: as before, no rows.
  const Read other = ReadSheet(Sheet(SheetRows(10, "y:"), "", "y:", "urn:other"));
  EXPECT_FALSE(other.accepted);
  EXPECT_EQ(other.failure.message, "the first sheet has no header row");
}

TEST(XlsxSlices, AFaultDeepInTheSheetIsReportedAsWhenTheSheetWasReadWhole) {
  constexpr int kRows = 30000;
  std::vector<std::string> rows = SheetRows(kRows);
  // A tag that does not close, in the third slice: the slice fails its parse and the sheet is
  // read whole, which names the line and the column of the end tag's name.
  const int bad = 25000;
  rows[bad] = "<row r=\"" + std::to_string(bad + 1) + "\"><c r=\"A1\"></row>";
  Read read = ReadSheet(Sheet(rows));
  EXPECT_FALSE(read.accepted);
  EXPECT_TRUE(read.units.empty());
  EXPECT_EQ(read.failure.line, bad + 3) << read.failure.message;
  EXPECT_EQ(read.failure.column, static_cast<long>(rows[bad].find("</row>")) + 3);
  EXPECT_EQ(read.failure.message.rfind("xl/worksheets/sheet1.xml: malformed XML: ", 0), 0u)
      << read.failure.message;

  // An entity XML does not define, and a number where the target is read, in the last slice.
  rows = SheetRows(kRows);
  rows[kRows - 1] =
      "<row r=\"" + std::to_string(kRows) + "\">" + InlineCell("A1", "&nbsp;") + "</row>";
  read = ReadSheet(Sheet(rows));
  EXPECT_FALSE(read.accepted);
  EXPECT_EQ(read.failure.line, kRows + 2);
  EXPECT_EQ(read.failure.message,
            "xl/worksheets/sheet1.xml: an entity XML does not define; not read");
  rows = SheetRows(kRows);
  const std::string r = std::to_string(kRows);
  rows[kRows - 1] = "<row r=\"" + r + "\">" + InlineCell("A" + r, "7") + InlineCell("B" + r, "a") +
                    "<c r=\"C" + r + "\"><v>12</v></c></row>";
  read = ReadSheet(Sheet(rows));
  EXPECT_FALSE(read.accepted);
  EXPECT_EQ(read.failure.line, kRows);
  EXPECT_EQ(read.failure.message.rfind("cell C" + r + ": holds a number (12), not text", 0), 0u)
      << read.failure.message;
}

// Row shapes the reader takes without a tree (entities, line ends, white space between the
// elements, quotes, repeated and unknown attributes, empty cells and texts, shared strings,
// prefixes) and shapes that must go to the tree (a formula, rich text, a character reference,
// text between the elements, '>' in an attribute value, a comment): each read both ways.
TEST(XlsxSlices, PlainRowsReadAsTheTreeReadsThem) {
  const std::string header = "<row r=\"1\">" + InlineCell("A1", "ID") + InlineCell("B1", "source") +
                             InlineCell("C1", "target") + InlineCell("D1", "translator_comments") +
                             "</row>";
  const auto sheetOf = [&header](const std::string& row, const std::string& p = "") {
    return Sheet({header, row}, "", p);
  };
  struct Case {
    const char* what;
    std::string row;
    std::string source;  // what the tree reads, for the accepted cases
    std::string target;
  };
  const std::vector<Case> accepted = {
      {"entities and line ends",
       "<row r=\"2\">" + InlineCell("A2", "5") +
           InlineCell("B2", "a &amp; b &lt;c&gt; &quot;d&quot; &apos;e&apos;\r\nf\rg\nh") +
           InlineCell("C2", "&amp;&amp;") + "</row>",
       "a & b <c> \"d\" 'e'\nf\ng\nh", "&&"},
      {"white space between the elements, single quotes, spaces around '='",
       "<row r = '2' spans='1:3'>\n  <c r='A2' t='inlineStr'>\n   <is>\n    <t>5</t>\n   </is>\n  "
       "</c >\r\n  <c r=\"B2\" s=\"3\" t=\"inlineStr\"><is><t xml:space=\"preserve\">  two  "
       "</t></is></c>\t<c r=\"C2\" t=\"inlineStr\"><is><t> </t></is></c></row >",
       "  two  ", " "},
      {"repeated attributes (the first counts) and unknown ones",
       "<row r=\"2\" r=\"9\" x14ac:dyDescent=\"0.25\"><c r=\"A2\" r=\"Z9\" t=\"inlineStr\" "
       "t=\"n\"><is><t>5</t></is></c>" +
           InlineCell("B2", "s=a=b") + InlineCell("C2", "t") + "</row>",
       "s=a=b", "t"},
      {"empty cells, values and texts",
       "<row r=\"2\"><c r=\"A2\"><v>5</v></c><c r=\"B2\" t=\"inlineStr\"><is><t/></is></c>"
       "<c r=\"C2\" t=\"inlineStr\"><is/></c><c r=\"D2\" t=\"inlineStr\"><is> </is></c></row>",
       "", ""},
      {"cells without references, an ID as a number with an empty <f/>-less value",
       "<row><c><v>5</v></c><c t=\"inlineStr\"><is><t>s</t></is></c><c/>"
       "<c t=\"inlineStr\"><is><t>c</t></is></c></row>",
       "s", ""},
  };
  for (const Case& c : accepted) {
    SCOPED_TRACE(c.what);
    const Read read = ReadBothWays(sheetOf(c.row));
    ASSERT_TRUE(read.accepted) << read.failure.message;
    ASSERT_EQ(read.units.size(), 1u);
    EXPECT_EQ(read.units[0].id, 5);
    EXPECT_EQ(read.units[0].source, c.source);
    EXPECT_EQ(read.units[0].target, c.target);
  }
  // The Open XML SDK's prefix; and an unprefixed cell among <x:c> ones, which the tree skips (it
  // takes the siblings named as the first cell): read without a tree, it must be skipped too.
  const std::string xHeader = "<x:row r=\"1\">" + InlineCell("A1", "ID", "x:") +
                              InlineCell("B1", "source", "x:") + InlineCell("C1", "target", "x:") +
                              "</x:row>";
  for (const std::string& row :
       {"<x:row r=\"2\">" + InlineCell("A2", "5", "x:") + InlineCell("B2", "s &amp;", "x:") +
            InlineCell("C2", "t\r\n", "x:") + "</x:row>",
        "<x:row r=\"2\">" + InlineCell("A2", "5", "x:") + InlineCell("B2", "s &amp;") +
            InlineCell("C2", "t\r\n", "x:") + "</x:row>"}) {
    const Read read = ReadBothWays(Sheet({xHeader, row}, "", "x:"));
    ASSERT_TRUE(read.accepted) << read.failure.message;
    ASSERT_EQ(read.units.size(), 1u);
    EXPECT_EQ(read.units[0].source, row.find("<c ") == std::string::npos ? "s &" : "");
    EXPECT_EQ(read.units[0].target, "t\n");
  }
  // Shapes for the tree, and faults: whatever either way reads or refuses, the other does too.
  const std::vector<std::string> others = {
      "<row r=\"2\">" + InlineCell("A2", "5") +
          "<c r=\"B2\" t=\"inlineStr\"><is><r><t>ri</t></r><r><t>ch</t></r></is></c>"
          "<c r=\"C2\" t=\"str\"><f>1+1</f><v>2</v></c></row>",
      "<row r=\"2\">" + InlineCell("A2", "5") + InlineCell("B2", "cr&#13;lf&#x0A;") +
          InlineCell("C2", "t") + "</row>",
      "<row r=\"2\">" + InlineCell("A2", "5") + InlineCell("B2", "&nbsp;") + "</row>",
      "<row r=\"2\">text" + InlineCell("A2", "5") + InlineCell("B2", "s") + "</row>",
      "<row r=\"2\" spans=\"a>b\">" + InlineCell("A2", "5") + InlineCell("B2", "s") + "</row>",
      "<row r=\"2\"><!-- c -->" + InlineCell("A2", "5") + InlineCell("B2", "s") + "</row>",
      "<row r=\"2\">" + InlineCell("A2", "5") + "<c r=\"B2\"><v>12</v></c></row>",
      "<row r=\"1\">" + InlineCell("A1", "5") + "</row>",
      "<row r=\"2\">" + InlineCell("B2", "5") + InlineCell("A2", "s") + "</row>",
      "<row r=\"2\">" + InlineCell("A2", "5") + "<c r=\"B2\" t=\"s\"><v>0</v></c></row>",
      "<row r=\"2\">" + InlineCell("A2", "5") + InlineCell("B2", "_xD800_") + "</row>",
      "<row r=\"2\">" + InlineCell("A2", "5") + "<c r=\"B2\"><is><t>s</t></c></row>",
      "<row r=\"2\">" + InlineCell("A2", "5") + "<c r=\"B2\"a=\"1\"/></row>",
      "<row r=\"2\">" + InlineCell("A2", "5") + InlineCell("B2", std::string("n\0ul", 4)) +
          "</row>",
      "<row r=\"2\">" + InlineCell("A2", "5") + InlineCell("B2", "\xC3(") + "</row>",
  };
  for (const std::string& row : others) {
    SCOPED_TRACE(row);
    ReadBothWays(sheetOf(row));
  }
  // A big sheet whose third slice holds a formula cell and rich text (that slice to the tree, the
  // others not), and one whose last row is a character reference and then a cell fault.
  std::vector<std::string> rows = SheetRows(40000);
  rows[25000] = "<row r=\"25001\">" + InlineCell("A25001", "25000") +
                "<c r=\"B25001\" t=\"inlineStr\"><is><r><t>ri</t></r><r><t>ch</t></r></is></c>"
                "<c r=\"C25001\" t=\"str\"><f>\"a\"</f><v>a</v></c></row>";
  const Read mixed = ReadBothWays(Sheet(rows));
  EXPECT_FALSE(mixed.accepted);
  EXPECT_EQ(mixed.failure.message.rfind("cell C25001: holds a formula (a), not text", 0), 0u)
      << mixed.failure.message;
  rows[25000] = "<row r=\"25001\">" + InlineCell("A25001", "25000") +
                "<c r=\"B25001\" t=\"inlineStr\"><is><r><t>ri</t></r><r><t>ch</t></r></is></c>"
                "</row>";
  rows[40000] = "<row r=\"40001\">" + InlineCell("A40001", "40000") +
                InlineCell("B40001", "&#x41;") + "<c r=\"C40001\"><v>1</v></c></row>";
  const Read late = ReadBothWays(Sheet(rows));
  EXPECT_FALSE(late.accepted);
  EXPECT_EQ(late.failure.line, 40001);
  rows[40000] = "<row r=\"40001\">" + InlineCell("A40001", "40000") +
                InlineCell("B40001", "&#x41;") + InlineCell("C40001", "t") + "</row>";
  const Read whole = ReadBothWays(Sheet(rows));
  ASSERT_TRUE(whole.accepted) << whole.failure.message;
  ASSERT_EQ(whole.units.size(), 40000u);
  EXPECT_EQ(whole.units[24999].source, "rich");
  EXPECT_EQ(whole.units[39999].source, "A");

  // Too many tags for the part's size: the count over the slices read without a tree is the
  // tree's, and the refusal the same.
  std::string many = "<row r=\"2\">" + InlineCell("A2", "5");
  for (int k = 0; k < 100000; ++k) many += "<c/>";
  const Read crowded = ReadBothWays(sheetOf(many + "</row>"));
  EXPECT_FALSE(crowded.accepted);
  EXPECT_EQ(crowded.failure.message,
            "xl/worksheets/sheet1.xml: more tags than a part of its size can hold; not read");
}

}  // namespace
