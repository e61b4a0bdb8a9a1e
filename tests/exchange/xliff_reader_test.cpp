// The XLIFF reader against hostile and malformed input: one row per refusal it can give, each
// with the position it names; files that would make a tree parser allocate without bound; the
// encodings and XML corners a well-formed file may use; and the reasons the entry points hand
// back as a Status.
#include <gtest/gtest.h>

#include <cerrno>
#include <string>
#include <vector>

#include "exchange/exchange.h"
#include "exchange/exchange_units.h"
#include "exchange/rounds.h"
#include "support/temp_dir.h"

namespace {

using exchange::ImportUnit;
using exchange::ParseFailure;

std::string Refusal(const std::string& data) {
  std::vector<ImportUnit> units;
  ParseFailure failure;
  if (exchange::ReadXliff(data, units, failure)) return "accepted";
  EXPECT_TRUE(units.empty());
  return std::to_string(failure.line) + ":" + std::to_string(failure.column) + ": " +
         failure.message;
}

const std::string k12 = "<xliff version=\"1.2\"><file><body>";
const std::string k12End = "</body></file></xliff>";
const std::string k20 = "<xliff version=\"2.0\" srcLang=\"ko\"><file id=\"f\">";
const std::string k20End = "</file></xliff>";

std::string Unit(const std::string& inner, const std::string& attributes = " id=\"1\"") {
  return k12 + "<trans-unit" + attributes + ">" + inner + "</trans-unit>" + k12End;
}

TEST(XliffReader, EveryRefusalNamesItsReasonAndPosition) {
  struct Row {
    std::string input;
    std::string refusal;
  };
  const std::vector<Row> rows = {
      // Encodings and bytes.
      {"\xFF\xFE<\0x\0", "1:1: the file is UTF-16; only UTF-8 and ISO-8859-1 are read"},
      {"<?xml version=\"1.0\" encoding=\"windows-1252\"?><xliff/>",
       "1:1: the file is encoded in windows-1252; only UTF-8 and ISO-8859-1 are read"},
      {"<?xml version=\"1.0\" encoding=\"US-ASCII\"?>\n<xliff>\xC3\xA9</xliff>",
       "2:8: a byte that is not US-ASCII, which the file declares"},
      {"<xliff>\n<file>\xC0\xAF</file></xliff>", "2:7: invalid UTF-8"},
      {"<xliff>\n<a>\x01</a></xliff>", "2:4: a character XML does not allow"},
      {"<xliff>\xEF\xBF\xBE</xliff>", "1:8: a character XML does not allow"},
      {std::string("<xliff>\0</xliff>", 16), "1:8: a character XML does not allow"},
      // References.
      {Unit("<source>a & b</source>"), "1:61: a '&' that starts no reference"},
      {Unit("<source>&#1;</source>"), "1:61: a reference to a character XML does not allow"},
      {Unit("<source>&#xD800;</source>"), "1:61: a reference to a character XML does not allow"},
      {Unit("<source>&#1114112;</source>"), "1:61: a reference to a character XML does not allow"},
      {Unit("<source>&nbsp;</source>"), "1:61: an undeclared entity &nbsp;"},
      {Unit("<source>x</source>", " id=\"&lol;\""), "1:50: an undeclared entity &lol;"},
      // What pugixml finds.
      {"<?xml version=\"1.0\"?>\n<!DOCTYPE xliff [<!ENTITY a \"aaaa\">]>\n<xliff/>",
       "2:1: a DOCTYPE is not accepted"},
      {"<!DOCTYPE xliff SYSTEM \"file:///etc/passwd\"><xliff/>", "1:1: a DOCTYPE is not accepted"},
      {k12 + "<trans-unit id=\"1\"><source>a</source>",
       "1:70: an end tag that does not match "
       "its start tag, or an element never "
       "closed"},
      {k12 + "</body></fil></xliff>",
       "1:43: an end tag that does not match its start tag, or "
       "an element never closed"},
      {"<xliff><!-- a </xliff>", "1:22: a malformed comment"},
      {"<xliff><![CDATA[ x </xliff>", "1:17: a malformed CDATA section"},
      {"<xliff><?pi x</xliff>", "1:21: a malformed XML declaration or processing instruction"},
      {"<xliff><a b=c/></xliff>", "1:13: a malformed attribute"},
      {"<xliff><1/></xliff>", "1:9: a tag that is not well-formed"},
      {"<xliff></xliff a>", "1:16: a malformed end tag"},
      {"", "1:1: no <xliff> root element"},
      {"   \n", "1:4: no <xliff> root element"},
      // What the checks after the parse find.
      {"<xliff/><xliff/>", "1:9: a second root element"},
      {"<xliff a=\"<\"/>", "1:11: a '<' in an attribute value"},
      {"<xliff a=\"1\" a=\"2\"/>", "1:1: an attribute given twice"},
      {"<xliff a=\"\" b=\"\" c=\"\" d=\"\" e=\"\" f=\"\" g=\"\" h=\"\" i=\"\" j=\"\" b=\"\"/>",
       "1:1: an attribute given twice"},
      {"<xliff a=\"&amp;&lt;\" b=\"x&amp;<\"/>", "1:25: a '<' in an attribute value"},
      {"<xlf/>", "1:1: the root element is not <xliff>"},
      {"<xliff version=\"3.0\"/>",
       "1:1: XLIFF version 3.0 is not read (only 1.0, 1.1, 1.2, 2.0 and 2.1)"},
      // XLIFF 1.2 units.
      {Unit("<source>a</source>", " id=\"x\""),
       "1:34: a <trans-unit> whose resname and id are no line ID"},
      {Unit("<source>a</source><trans-unit id=\"2\"><source>b</source></trans-unit>"),
       "1:71: a <trans-unit> inside a <trans-unit>"},
      {Unit("<source>a</source><source>b</source>"), "1:71: a second <source>"},
      {Unit("<source>a</source><target>b</target><target>c</target>"), "1:89: a second <target>"},
      {Unit("<target>b</target>"), "1:34: a <trans-unit> without <source>"},
      {Unit("<source>a<ph id=\"1\">{x}</ph></source>"),
       "1:62: an inline <ph> this program cannot turn back into text"},
      {Unit("<source>a<x id=\"1\" ctype=\"x-char-0000\"/></source>"),
       "1:62: an inline <x> this program cannot turn back into text"},
      {Unit("<source>a</source><note>n<b/></note>"),
       "1:78: an inline <b> this program cannot turn back into text"},
      // XLIFF 2.0 units.
      {k20 + "<unit id=\"u\"><segment><source>a</source></segment></unit>" + k20End,
       "1:48: a <unit> whose name and id are no line ID"},
      {k20 + "<unit id=\"1\"/>" + k20End, "1:48: a <unit> without <segment>"},
      {k20 + "<unit id=\"1\"><segment><target>a</target></segment></unit>" + k20End,
       "1:61: a <segment> without <source>"},
      {k20 + "<unit id=\"1\"><segment><source>a</source><source>b</source></segment></unit>" +
           k20End,
       "1:88: a second <source>"},
      {k20 + "<unit id=\"1\"><segment><source>a<ph id=\"p\"/></source></segment></unit>" + k20End,
       "1:79: an inline <ph> this program cannot turn back into text"},
      {k20 + "<unit id=\"1\"><segment><source>a<cp hex=\"zz\"/></source></segment></unit>" + k20End,
       "1:79: an inline <cp> this program cannot turn back into text"},
  };
  for (const Row& row : rows) {
    EXPECT_EQ(Refusal(row.input), row.refusal) << testing::PrintToString(row.input);
  }
}

// A tree parser allocates per tag. The byte scan refuses before parsing a file whose tags would
// take more than the budget: 20 million nested elements (a 140 MB file that took 2.9 GB with the
// streaming reader) are refused here on a smaller scale, as are empty attributes by the million.
TEST(XliffReader, FilesOfImplausiblyManyTagsAreRefusedBeforeParsing) {
  const size_t n = 2'000'000;
  std::string nested = "<xliff>";
  nested.reserve(n * 7 + 20);
  for (size_t i = 0; i < n; ++i) nested += "<a>";
  for (size_t i = 0; i < n; ++i) nested += "</a>";
  nested += "</xliff>";
  EXPECT_EQ(Refusal(nested), "1:1: the file holds too many tags for its size (4000002 tags in " +
                                 std::to_string(nested.size()) + " bytes); not read");
  std::string unclosed = "<xliff>";
  for (size_t i = 0; i < n; ++i) unclosed += "<a>";
  EXPECT_EQ(Refusal(unclosed).substr(0, 44), "1:1: the file holds too many tags for its si");
  std::string attributes = "<xliff";
  for (size_t i = 0; i < n; ++i) attributes += " a" + std::to_string(i % 10) + "=''";
  attributes += "/>";
  EXPECT_EQ(Refusal(attributes).substr(0, 44), "1:1: the file holds too many tags for its si");

  // Nesting within the budget is read by loops, not recursion: no stack is used per level.
  std::string deep = "<xliff>";
  for (size_t i = 0; i < 100'000; ++i) deep += "<group id=\"g\">" + std::string(60, ' ');
  deep += "<trans-unit id=\"1\"><source>a</source></trans-unit>";
  for (size_t i = 0; i < 100'000; ++i) deep += "</group>";
  deep += "</xliff>";
  std::vector<ImportUnit> units;
  ParseFailure failure;
  ASSERT_TRUE(exchange::ReadXliff(deep, units, failure)) << failure.message;
  ASSERT_EQ(units.size(), 1u);
  EXPECT_EQ(units[0].source, "a");
}

TEST(XliffReader, ReadsLatin1ReferencesCdataAndPrefixedElements) {
  std::vector<ImportUnit> units;
  ParseFailure failure;
  // ISO-8859-1: "é" is the byte 0xE9.
  ASSERT_TRUE(exchange::ReadXliff("<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>\n" +
                                      Unit("<source>caf\xE9</source><target>\xE0</target>"),
                                  units, failure))
      << failure.message;
  EXPECT_EQ(units[0].source, "caf\xC3\xA9");
  EXPECT_EQ(units[0].target, "\xC3\xA0");
  // Every predefined entity, decimal and hexadecimal references, CDATA, a BOM, and elements of
  // XLIFF under a prefix; an element of another namespace named like ours is not a source.
  ASSERT_TRUE(exchange::ReadXliff(
      "\xEF\xBB\xBF<x:xliff xmlns:x=\"urn:oasis:names:tc:xliff:document:1.2\" version=\"1.2\" "
      "xmlns:o=\"urn:other\"><x:file><x:body><x:trans-unit id=\"4\">"
      "<x:source>&amp;&lt;&gt;&quot;&apos;&#65;&#x1F600;<![CDATA[<&>]]></x:source>"
      "<o:source>not this</o:source><x:target state=\"needs-l10n\">t</x:target>"
      "</x:trans-unit></x:body></x:file></x:xliff>",
      units, failure))
      << failure.message;
  ASSERT_EQ(units.size(), 1u);
  EXPECT_EQ(units[0].source, "&<>\"'A\xF0\x9F\x98\x80<&>");
  EXPECT_TRUE(units[0].fuzzy);
  // XLIFF 2: segments and ignorables make one text; a segment in state initial (or without a
  // state) makes the entry fuzzy.
  ASSERT_TRUE(exchange::ReadXliff(
      k20 +
          "<unit id=\"u1\" name=\"9\"><segment state=\"final\"><source>a.</source>"
          "<target>A.</target></segment><ignorable><source> </source><target> </target>"
          "</ignorable><segment state=\"translated\"><source>b<cp hex=\"0007\"/></source>"
          "<target>B<cp hex=\"0007\"/></target></segment></unit>"
          "<unit id=\"10\"><segment><source>c</source><target>C</target></segment></unit>" +
          k20End,
      units, failure))
      << failure.message;
  ASSERT_EQ(units.size(), 2u);
  EXPECT_EQ(units[0].id, 9);
  EXPECT_EQ(units[0].source, "a. b\a");
  EXPECT_EQ(units[0].target, "A. B\a");
  EXPECT_FALSE(units[0].fuzzy);
  EXPECT_EQ(units[1].id, 10);
  EXPECT_TRUE(units[1].fuzzy);
}

// The reader decodes a text node only when the byte scan saw an '&' before the '<' that ends it;
// the texts here start and end on every side of the scan's 64-byte words, follow inline codes,
// comments and CDATA sections that hold an '&' of their own, and carry CR LF before a reference.
TEST(XliffReader, ReferencesAreDecodedWhereverTheirTextStands) {
  for (size_t pad = 0; pad < 140; ++pad) {
    const std::string spaces(pad, ' ');
    std::vector<ImportUnit> units;
    ParseFailure failure;
    ASSERT_TRUE(exchange::ReadXliff(
        Unit(spaces + "<source>a\r\n&amp;b<x ctype=\"x-char-0007\"/>" + spaces +
             "&lt;c<!-- & --> d&#x41;<![CDATA[&amp;]]>e&apos;" + spaces + "</source><target>" +
             spaces + "</target><note>&quot;" + spaces + "</note>"),
        units, failure))
        << pad << ": " << failure.message;
    ASSERT_EQ(units.size(), 1u);
    EXPECT_EQ(units[0].source, "a\n&b\a" + spaces + "<c dA&amp;e'" + spaces) << pad;
    EXPECT_EQ(units[0].target, spaces) << pad;
    // A bad reference is found wherever it stands; the position is where its text starts.
    EXPECT_EQ(Refusal(Unit(spaces + "<source>x<x ctype=\"x-char-0007\"/>y&bad;</source>")),
              "1:" + std::to_string(86 + pad) + ": an undeclared entity &bad;")
        << pad;
  }
}

// How CAT tools split a unit: white space kept out of the segments as an <ignorable> without a
// target stands in the target as its source; a unit with some segments translated and others not
// is fuzzy (never a part applied as the whole); a target's order places it among the parts.
TEST(XliffReader, SegmentedUnitsMakeOneTargetOrAFuzzyEntry) {
  const auto read = [](const std::string& units) {
    std::vector<ImportUnit> out;
    ParseFailure failure;
    EXPECT_TRUE(exchange::ReadXliff(k20 + units + k20End, out, failure)) << failure.message;
    return out;
  };
  const std::string twoSentences =
      "<segment state=\"translated\"><source>One.</source><target>Un.</target></segment>"
      "<ignorable><source>\n</source></ignorable>";
  std::vector<ImportUnit> units =
      read("<unit id=\"1\">" + twoSentences +
           "<segment state=\"translated\"><source>Two.</source><target>Deux.</target></segment>"
           "</unit>");
  ASSERT_EQ(units.size(), 1u);
  EXPECT_EQ(units[0].source, "One.\nTwo.");
  EXPECT_EQ(units[0].target, "Un.\nDeux.");
  EXPECT_FALSE(units[0].fuzzy);

  units =
      read("<unit id=\"1\">" + twoSentences + "<segment><source>Two.</source></segment></unit>");
  ASSERT_EQ(units.size(), 1u);
  EXPECT_TRUE(units[0].fuzzy);

  units = read(
      "<unit id=\"1\"><segment state=\"final\"><source>A</source><target order=\"3\">c</target>"
      "</segment><ignorable><source> </source></ignorable><segment state=\"final\"><source>B"
      "</source><target order=\"1\">a</target></segment></unit>");
  ASSERT_EQ(units.size(), 1u);
  EXPECT_EQ(units[0].target, "a c");

  std::vector<ImportUnit> none;
  ParseFailure failure;
  EXPECT_FALSE(exchange::ReadXliff(
      k20 +
          "<unit id=\"1\"><segment state=\"final\"><source>A</source><target order=\"2\">a"
          "</target></segment><segment state=\"final\"><source>B</source><target>b</target>"
          "</segment></unit>" +
          k20End,
      none, failure));
  EXPECT_NE(failure.message.find("order"), std::string::npos) << failure.message;
}

}  // namespace

namespace {

// Import, export and update hand the reason back as a Status, with the position of the fault in
// the file, so the editor and dlgtool can show it.
TEST(XliffEntryPoints, FailuresComeBackAsStatusWithTheirPosition) {
  TempDir dir;
  CDlgFile doc;
  PlotPos plot = doc.AddPlot("P", -1, -1);
  CDlgItem line;
  line.SetID(1);
  line.SetText("a");
  ASSERT_NE(doc.AddItem(line, plot, nullptr), nullptr);
  const std::string path = dir.File("in.xlf");
  WriteFileBytes(path,
                 "<xliff version=\"1.2\">\n<file><body><trans-unit id=\"1\"><source>&x;"
                 "</source></trans-unit></body></file></xliff>");
  exchange::ImportReport report;
  platform::Status status;
  EXPECT_FALSE(
      exchange::ImportDocument(doc, path, exchange::Format::kXliff, "UTF-8", report, status));
  EXPECT_EQ(status.Text(), path + ": an undeclared entity &x; (line 2, column 40)");
  EXPECT_FALSE(exchange::ImportDocument(doc, dir.File("none.xlf"), exchange::Format::kXliff,
                                        "UTF-8", report, status));
  EXPECT_EQ(status.systemError, ENOENT);

  exchange::ExportOptions options;
  options.codeset = "UTF-8";
  EXPECT_FALSE(exchange::ExportDocument(doc, dir.File("no/such/out.xlf"), exchange::Format::kXliff,
                                        options, status));
  EXPECT_EQ(status.systemError, ENOENT);
  ASSERT_TRUE(exchange::ExportDocument(doc, dir.File("out.xlf"), exchange::Format::kXliff, options,
                                       status));
  EXPECT_TRUE(status.ok);

  exchange::UpdateReport update;
  EXPECT_FALSE(
      exchange::UpdateExchangeFile(doc, path, exchange::Format::kXliff, options, update, status));
  EXPECT_EQ(status.line, 2);
  EXPECT_EQ(status.column, 40);
  EXPECT_TRUE(exchange::UpdateExchangeFile(doc, dir.File("out.xlf"), exchange::Format::kXliff,
                                           options, update, status));
}

}  // namespace
