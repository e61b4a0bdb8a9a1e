// The PO and CSV readers on what other programs write: every refusal with its position and
// words, one row each; gettext's escapes; multi-reference entries; other charsets; the separators,
// UTF-16 and translate-toolkit's dialect of CSV.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "exchange/exchange_units.h"

namespace {

using exchange::ImportUnit;
using exchange::ParseFailure;

struct Refusal {
  const char* name;
  std::string input;
  long line;
  long column;
  const char* message;  // the whole message
};

constexpr char kPoHead[] = "msgid \"\"\nmsgstr \"Content-Type: text/plain; charset=UTF-8\\n\"\n\n";

std::string Po(const std::string& body) {
  return kPoHead + body;
}

TEST(PoReaderRefusals, EachNamesItsLineColumnAndReason) {
  const std::vector<Refusal> rows = {
      {"invalid UTF-8", Po("msgctxt \"1\"\nmsgid \"a\xFF\"\nmsgstr \"\"\n"), 5, 9, "invalid UTF-8"},
      {"continued string first", Po("# c\n\"x\"\n"), 5, 1, "a continued string without a keyword"},
      {"msgctxt after msgid", Po("msgid \"a\"\nmsgctxt \"1\"\n"), 5, 1, "an entry without msgstr"},
      {"msgctxt after msgstr's keyword", Po("msgctxt \"1\"\nmsgctxt \"2\"\n"), 5, 1,
       "msgctxt out of place"},
      {"msgid twice", Po("msgctxt \"1\"\nmsgid \"a\"\nmsgid \"b\"\n"), 6, 1,
       "msgid without msgstr"},
      {"msgstr first", Po("msgstr \"a\"\n"), 4, 1, "msgstr without msgid"},
      {"plural", Po("msgctxt \"1\"\nmsgid \"a\"\nmsgid_plural \"b\"\n"), 6, 1,
       "plural forms are not supported"},
      {"indexed msgstr", Po("msgctxt \"1\"\nmsgid \"a\"\nmsgstr[0] \"b\"\n"), 6, 1,
       "plural forms are not supported"},
      {"unknown keyword", Po("msgtext \"a\"\n"), 4, 1, "unknown keyword"},
      {"no quote", Po("msgctxt 1\n"), 4, 9, "a quoted string expected"},
      {"unterminated", Po("msgctxt \"1\"\nmsgid \"a\n"), 5, 7, "unterminated string"},
      {"backslash at the end", Po("msgctxt \"1\"\nmsgid \"a\\"), 5, 9, "unterminated string"},
      {"unknown escape", Po("msgctxt \"1\"\nmsgid \"\\q\"\nmsgstr \"\"\n"), 5, 8,
       "unknown escape sequence"},
      {"long hex escape", Po("msgctxt \"1\"\nmsgid \"\\x414\"\nmsgstr \"\"\n"), 5, 12,
       "hexadecimal escape out of range"},
      {"NUL escape", Po("msgctxt \"1\"\nmsgid \"\\0\"\nmsgstr \"\"\n"), 5, 9,
       "escape of a NUL or out of range"},
      {"escaped invalid UTF-8", Po("msgctxt \"1\"\nmsgid \"\\377\"\nmsgstr \"\"\n"), 5, 7,
       "escapes that form invalid UTF-8"},
      {"text after the quote", Po("msgctxt \"1\" x\n"), 4, 13, "text after the closing quote"},
      {"obsolete inside", Po("msgctxt \"1\"\n#~ msgid \"a\"\n"), 5, 1,
       "an obsolete line inside an entry"},
      {"comment inside", Po("msgctxt \"1\"\n# note\n"), 5, 1, "a comment inside an entry"},
      {"no msgstr", Po("msgctxt \"1\"\nmsgid \"a\"\n\nmsgctxt \"2\"\n"), 7, 1,
       "an entry without msgstr"},
      {"msgid twice in a row", Po("msgid \"a\"\nmsgid \"b\"\n"), 5, 1, "msgid without msgstr"},
      {"ends inside", Po("msgctxt \"1\"\nmsgid \"a\"\n"), 5, 1, "the file ends inside an entry"},
      {"context not an ID", Po("msgctxt \"one\"\nmsgid \"a\"\nmsgstr \"\"\n"), 4, 1,
       "msgctxt is not a line ID"},
      {"no ID at all", Po("#: a.dlg\nmsgid \"a\"\nmsgstr \"\"\n"), 4, 1,
       "an entry without msgctxt or a FILE:ID reference"},
      {"unknown charset",
       "msgid \"\"\nmsgstr \"Content-Type: text/plain; charset=X-NOSUCH\\n\"\n\n", 1, 1,
       "the header names charset X-NOSUCH, which this system cannot convert; convert the file to "
       "UTF-8 first (msgconv --to-code=UTF-8)"},
      {"not the named charset",
       "msgid \"\"\nmsgstr \"Content-Type: text/plain; charset=EUC-KR\\n\"\n\nmsgctxt \"1\"\n"
       "msgid \"\xFF\xFF\"\nmsgstr \"\"\n",
       1, 1,
       "the file is not valid EUC-KR text, the charset its header names; convert it to UTF-8 "
       "with msgconv --to-code=UTF-8"},
  };
  for (const Refusal& row : rows) {
    std::vector<ImportUnit> units;
    ParseFailure failure;
    EXPECT_FALSE(exchange::ReadPo(row.input, units, failure)) << row.name;
    EXPECT_EQ(failure.message, row.message) << row.name;
    EXPECT_EQ(failure.line, row.line) << row.name;
    EXPECT_EQ(failure.column, row.column) << row.name;
  }
}

constexpr char kCsvHead[] = "location,source,target,ID\r\n";

TEST(CsvReaderRefusals, EachNamesItsLineColumnAndReason) {
  const std::vector<Refusal> rows = {
      {"invalid UTF-8", std::string(kCsvHead) + "a:1,\xC3,b,1\r\n", 2, 5, "invalid UTF-8"},
      {"empty file", "", 1, 1, "no header record"},
      {"header without source", "location,text,target\r\n", 1, 1,
       "the header lacks source, target or an ID, context or location column"},
      {"header without an ID", "source,target\r\n", 1, 1,
       "the header lacks source, target or an ID, context or location column"},
      {"column twice", "source,target,ID,Source\r\n", 1, 1, "column source named twice"},
      {"quote in a bare field", std::string(kCsvHead) + "a:1,x\"y,b,1\r\n", 2, 6,
       "a quote inside a field that is not quoted"},
      {"lone CR", std::string(kCsvHead) + "a:1,x,b,1\rz\r\n", 2, 10,
       "a CR that does not end a record"},
      {"never closed", std::string(kCsvHead) + "a:1,\"x,b,1\r\n", 2, 5,
       "a quoted field that is never closed"},
      {"text after a quote", std::string(kCsvHead) + "a:1,\"x\"y,b,1\r\n", 2, 8,
       "text after the closing quote of a field"},
      {"too few fields", std::string(kCsvHead) + "a:1,x,b\r\n", 2, 1,
       "a record with 3 fields where the header has 4"},
      {"too many fields", std::string(kCsvHead) + "a:1,x,b,1,\r\n", 2, 11,
       "a record with more than 4 fields, the header's count"},
      {"too many columns", std::string(5000, ',') + "\r\n", 1, 4097,
       "a record with more than 4096 fields"},
      {"no ID", std::string(kCsvHead) + "a:x,x,b,\r\n", 2, 1, "a record without a line ID"},
      {"fuzzy neither", "source,target,ID,fuzzy\r\nx,y,1,maybe\r\n", 2, 1,
       "a fuzzy value that is neither true nor false"},
      {"NUL", std::string(kCsvHead) + "a:1,x" + std::string(1, '\0') + ",b,1\r\n", 2, 1,
       "a NUL byte in a text"},
      {"UTF-16 without a mark", std::string("s\0o\0u\0r\0", 8), 1, 1,
       "UTF-16 text without a byte order mark; save the file as CSV in UTF-8"},
      {"broken UTF-16", std::string("\xFF\xFE\x00\xD8\x41\x00", 6), 1, 1,
       "UTF-16 text (Excel's \"Unicode text\") that is not valid UTF-16"},
      {"toolkit lone backslash", "\"location\",\"source\",\"target\"\r\n\"a:1\",\"x\\n\",\"y\"\r\n",
       2, 1,
       "a backslash that is not doubled, in the CSV dialect of translate-toolkit's po2csv (every "
       "field quoted, every backslash doubled)"},
  };
  for (const Refusal& row : rows) {
    std::vector<ImportUnit> units;
    ParseFailure failure;
    EXPECT_FALSE(exchange::ReadCsv(row.input, units, failure)) << row.name;
    EXPECT_EQ(failure.message, row.message) << row.name;
    EXPECT_EQ(failure.line, row.line) << row.name;
    EXPECT_EQ(failure.column, row.column) << row.name;
  }
}

TEST(PoReader, ReadsEveryEscapeGettextDefines) {
  std::vector<ImportUnit> units;
  ParseFailure failure;
  ASSERT_TRUE(
      exchange::ReadPo(Po("msgctxt \"1\"\nmsgid "
                          "\"\\a\\b\\t\\n\\v\\f\\r\\\\\\\"\\'\\?\\101\\x42\\7\"\nmsgstr \"\"\n"),
                       units, failure))
      << failure.message;
  ASSERT_EQ(units.size(), 1u);
  EXPECT_EQ(units[0].source, "\a\b\t\n\v\f\r\\\"'?AB\a");
}

TEST(PoReader, AnEntryWithoutContextStandsForEveryReferencedId) {
  std::vector<ImportUnit> units;
  ParseFailure failure;
  ASSERT_TRUE(exchange::ReadPo(
      Po("#: a.dlg:3 a.dlg:7\n#: b.dlg:3 9 a.dlg:x\nmsgid \"Yes\"\nmsgstr \"Oui\"\n"), units,
      failure))
      << failure.message;
  ASSERT_EQ(units.size(), 1u);
  EXPECT_EQ(units[0].id, 3);
  EXPECT_EQ(units[0].moreIds, (std::vector<int>{7, 9}));
  // With msgctxt the context is the key and the references say nothing.
  ASSERT_TRUE(exchange::ReadPo(Po("#: a.dlg:3 a.dlg:7\nmsgctxt \"5\"\nmsgid \"Y\"\nmsgstr \"\"\n"),
                               units, failure));
  EXPECT_EQ(units[0].id, 5);
  EXPECT_TRUE(units[0].moreIds.empty());
}

TEST(PoReader, ConvertsAFileInTheCharsetItsHeaderNames) {
  // "가" in EUC-KR is B0 A1; Big5's 0x5C trail byte must not end the string: 功 is A5 5C.
  std::vector<ImportUnit> units;
  ParseFailure failure;
  exchange::FileExtras extras;
  ASSERT_TRUE(exchange::ReadPo(
      "# Credits\nmsgid \"\"\nmsgstr \"Content-Type: text/plain; charset=EUC-KR\\n\"\n\n"
      "msgctxt \"1\"\nmsgid \"\xB0\xA1\"\nmsgstr \"\xB0\xA1!\"\n",
      units, failure, &extras))
      << failure.message;
  ASSERT_EQ(units.size(), 1u);
  EXPECT_EQ(units[0].source, "\xEA\xB0\x80");
  EXPECT_EQ(units[0].target, "\xEA\xB0\x80!");
  EXPECT_EQ(extras.header, "Content-Type: text/plain; charset=UTF-8\n");
  EXPECT_EQ(extras.headerComments, "# Credits\n");
  ASSERT_TRUE(
      exchange::ReadPo("msgid \"\"\nmsgstr \"Content-Type: text/plain; charset=BIG5\\n\"\n\n"
                       "msgctxt \"1\"\nmsgid \"\xA5\x5C\"\nmsgstr \"\"\n",
                       units, failure))
      << failure.message;
  EXPECT_EQ(units[0].source, "\xE5\x8A\x9F");
}

TEST(CsvReader, SniffsTheSeparatorFromTheHeader) {
  for (const char* csv :
       {"source;target;ID\r\n\"a;b\";c,d;4\r\n", "source\ttarget\tID\na;b\tc,d\t4\n",
        "source,target,ID\r\na;b,\"c,d\",4\r\n"}) {
    std::vector<ImportUnit> units;
    ParseFailure failure;
    ASSERT_TRUE(exchange::ReadCsv(csv, units, failure)) << csv << failure.message;
    ASSERT_EQ(units.size(), 1u);
    EXPECT_EQ(units[0].id, 4);
    EXPECT_EQ(units[0].source, "a;b");
    EXPECT_EQ(units[0].target, "c,d");
  }
}

TEST(CsvReader, ReadsUtf16WithAByteOrderMark) {
  const std::u16string text = u"source\ttarget\tID\r\n\"가\r\nb\"\t中😀\t7\r\n";
  for (const bool little : {true, false}) {
    std::string bytes = little ? "\xFF\xFE" : "\xFE\xFF";
    for (const char16_t c : text) {
      const char lo = static_cast<char>(c & 0xFF);
      const char hi = static_cast<char>(c >> 8);
      bytes += little ? lo : hi;
      bytes += little ? hi : lo;
    }
    std::vector<ImportUnit> units;
    ParseFailure failure;
    ASSERT_TRUE(exchange::ReadCsv(bytes, units, failure)) << failure.message;
    ASSERT_EQ(units.size(), 1u);
    EXPECT_EQ(units[0].source, "\xEA\xB0\x80\r\nb");
    EXPECT_EQ(units[0].target, "\xE4\xB8\xAD\xF0\x9F\x98\x80");
  }
}

TEST(CsvReader, UndoesTranslateToolkitsDoubledBackslashes) {
  std::vector<ImportUnit> units;
  ParseFailure failure;
  ASSERT_TRUE(exchange::ReadCsv(
      "\"location\",\"source\",\"target\"\r\n\"a.dlg:3\",\"a\\\\b\",\"\"\"x\"\"\\\\\\\\\"\r\n",
      units, failure))
      << failure.message;
  ASSERT_EQ(units.size(), 1u);
  EXPECT_EQ(units[0].id, 3);
  EXPECT_EQ(units[0].source, "a\\b");
  EXPECT_EQ(units[0].target, "\"x\"\\\\");
  // Our own header is bare: backslashes there are what they are.
  ASSERT_TRUE(
      exchange::ReadCsv("location,source,target\r\na.dlg:3,a\\\\b,\\n\r\n", units, failure));
  EXPECT_EQ(units[0].source, "a\\\\b");
  EXPECT_EQ(units[0].target, "\\n");
}

}  // namespace
