// Import by ID: what is applied and what is reported for stale, fuzzy, untranslated and unknown
// entries, in each format; and that a malformed file, a repeated ID or a bad encoding applies
// nothing at all.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <string>
#include <vector>

#include "exchange/exchange.h"
#include "model/dlg_file.h"
#include "support/temp_dir.h"

namespace {

using exchange::Format;
using exchange::ImportReport;
using exchange::Outcome;

class ExchangeImport : public ::testing::Test {
 protected:
  void SetUp() override {
    PlotPos plot = doc_.AddPlot("P", -1, -1);
    for (int id = 1; id <= 5; ++id) {
      CDlgItem line;
      line.SetID(id);
      line.SetText(("old " + std::to_string(id)).c_str());
      ASSERT_NE(doc_.AddItem(line, plot, nullptr), nullptr);
    }
  }

  std::string Text(int id) { return doc_.GetItem(doc_.FindItem(id)).text.c_str(); }
  std::vector<std::string> Texts() {
    std::vector<std::string> texts;
    for (int id = 1; id <= 5; ++id) texts.push_back(Text(id));
    return texts;
  }

  bool Import(const std::string& data, Format format, ImportReport& report,
              const std::string& codeset = "UTF-8") {
    return exchange::ImportBytes(doc_, data, "in", format, codeset, report);
  }

  // Every format's file for the same five entries: 1 good, 2 stale, 3 fuzzy, 4 untranslated,
  // 99 unknown.
  void ExpectOutcomes(const std::string& data, Format format) {
    ImportReport report;
    ASSERT_TRUE(Import(data, format, report)) << report.error;
    EXPECT_EQ(exchange::SummaryLine(report),
              "applied: 1, untranslated: 1, fuzzy: 1, stale: 1, unknown: 1");
    EXPECT_EQ(Texts(), (std::vector<std::string>{"새 1", "old 2", "old 3", "old 4", "old 5"}));
    ASSERT_EQ(report.notes.size(), 3u);
    EXPECT_EQ(report.notes[0].id, 2);
    EXPECT_EQ(report.notes[0].outcome, Outcome::kStale);
    EXPECT_EQ(report.notes[1].id, 3);
    EXPECT_EQ(report.notes[1].outcome, Outcome::kFuzzy);
    EXPECT_EQ(report.notes[2].id, 99);
    EXPECT_EQ(report.notes[2].outcome, Outcome::kUnknown);
    EXPECT_EQ(report.notes[2].target, "유령");
    EXPECT_FALSE(report.clean());
  }

  void ExpectRefused(const std::string& data, Format format, const std::string& error) {
    ImportReport report;
    EXPECT_FALSE(Import(data, format, report)) << data;
    EXPECT_EQ(report.error, error) << data;
    EXPECT_EQ(Texts(), (std::vector<std::string>{"old 1", "old 2", "old 3", "old 4", "old 5"}))
        << data;
  }

  CDlgFile doc_;
};

TEST_F(ExchangeImport, PoAppliesOnlyCurrentTranslatedEntries) {
  ExpectOutcomes(
      "msgid \"\"\nmsgstr \"Content-Type: text/plain; charset=UTF-8\\n\"\n\n"
      "msgctxt \"1\"\nmsgid \"old 1\"\nmsgstr \"새 1\"\n\n"
      "msgctxt \"2\"\nmsgid \"older 2\"\nmsgstr \"새 2\"\n\n"
      "#, fuzzy, c-format\nmsgctxt \"3\"\nmsgid \"old 3\"\nmsgstr \"새 3\"\n\n"
      "msgctxt \"4\"\nmsgid \"old 4\"\nmsgstr \"\"\n\n"
      "msgctxt \"99\"\nmsgid \"x\"\nmsgstr \"\"\n\"유령\"\n\n"
      "#~ msgctxt \"5\"\n#~ msgid \"old 5\"\n#~ msgstr \"obsolete\"\n",
      Format::kPo);
}

TEST_F(ExchangeImport, XliffStatesNewAndNeedsAreFuzzy) {
  ExpectOutcomes(
      "<?xml version=\"1.0\"?>\n<xliff version=\"1.2\" "
      "xmlns=\"urn:oasis:names:tc:xliff:document:1.2\"><file original=\"d\" "
      "source-language=\"und\" datatype=\"plaintext\"><body>\n"
      "<trans-unit id=\"1\"><source>old 1</source><target state=\"final\">새 1</target>"
      "<alt-trans><source>old 1</source><target>suggestion</target></alt-trans></trans-unit>\n"
      "<trans-unit id=\"x\" resname=\"2\"><source>older 2</source><target>새 2</target>"
      "</trans-unit>\n"
      "<trans-unit id=\"3\"><source>old 3</source><target state=\"needs-review-translation\">"
      "새 3</target></trans-unit>\n"
      "<trans-unit id=\"4\"><source>old 4</source></trans-unit>\n"
      "<trans-unit id=\"99\"><source>x</source><target state=\"translated\">유령</target>"
      "</trans-unit>\n</body></file></xliff>\n",
      Format::kXliff);
  ImportReport report;
  ASSERT_TRUE(
      Import("<xliff><file><body><trans-unit id=\"5\"><source>old 5</source>"
             "<target state=\"new\">n</target></trans-unit></body></file></xliff>",
             Format::kXliff, report));
  EXPECT_EQ(report.fuzzy, 1);
}

TEST_F(ExchangeImport, CsvFuzzyColumnAndAnyColumnOrder) {
  ExpectOutcomes(
      "\xEF\xBB\xBF"
      "ID,Fuzzy,Target,Source\r\n"
      "1,,새 1,old 1\r\n2,False,새 2,older 2\r\n3,True,새 3,old 3\r\n4,0,,old 4\r\n"
      "99,no,유령,x\r\n",
      Format::kCsv);
}

TEST_F(ExchangeImport, MalformedFilesApplyNothingAndNameLineAndColumn) {
  const std::string good = "msgctxt \"1\"\nmsgid \"old 1\"\nmsgstr \"새 1\"\n\n";
  ExpectRefused(good + "msgctxt \"2\"\nmsgid \"old 2\nmsgstr \"\"\n", Format::kPo,
                "in:6:7: unterminated string");
  ExpectRefused(good + "msgctxt \"2\"\nmsgid \"old 2\"\n", Format::kPo,
                "in:6:1: the file ends inside an entry");
  ExpectRefused(good + "msgctxt \"2\"\nmsgid \"a\"\nmsgid_plural \"b\"\nmsgstr[0] \"\"\n",
                Format::kPo, "in:7:1: plural forms are not supported");
  ExpectRefused(good + "msgctxt \"two\"\nmsgid \"a\"\nmsgstr \"b\"\n", Format::kPo,
                "in:5:1: msgctxt is not a line ID");
  ExpectRefused(good + "msgctxt \"2\"\nmsgid \"\\q\"\nmsgstr \"b\"\n", Format::kPo,
                "in:6:8: unknown escape sequence");
  ExpectRefused(good + "msgctxt \"1\"\nmsgid \"old 1\"\nmsgstr \"again\"\n", Format::kPo,
                "in:5: ID 1 appears more than once");
  ExpectRefused(good + "msgctxt \"2\"\nmsgid \"\xC0\xAF\"\nmsgstr \"b\"\n", Format::kPo,
                "in:6:8: invalid UTF-8");
  ExpectRefused("msgid \"\"\nmsgstr \"Content-Type: text/plain; charset=EUC-KR\\n\"\n\n" + good,
                Format::kPo,
                "in:1:1: the file is not valid EUC-KR text, the charset its header names; convert "
                "it to UTF-8 with msgconv --to-code=UTF-8");

  const std::string unit =
      "<trans-unit id=\"1\"><source>old 1</source><target>새</target>"
      "</trans-unit>";
  ExpectRefused("<xliff><file><body>" + unit + "</body></file>", Format::kXliff,
                "in:1:107: an end tag that does not match its start tag, or an element never closed");
  ExpectRefused(
      "<?xml version=\"1.0\"?>\n<!DOCTYPE xliff [<!ENTITY a \"aaaa\">]>\n"
      "<xliff><file><body>" +
          unit + "</body></file></xliff>",
      Format::kXliff, "in:2:1: a DOCTYPE is not accepted");
  ExpectRefused("<!DOCTYPE xliff SYSTEM \"file:///etc/passwd\"><xliff/>", Format::kXliff,
                "in:1:1: a DOCTYPE is not accepted");
  ExpectRefused("<xliff><file><body>" + unit + unit + "</body></file></xliff>", Format::kXliff,
                "in:1: ID 1 appears more than once");
  ExpectRefused(
      "<xliff><file><body><trans-unit id=\"1\"><source>old 1</source><target>a<ph "
      "id=\"1\">{x}</ph></target></trans-unit></body></file></xliff>",
      Format::kXliff, "in:1:70: an inline <ph> this program cannot turn back into text");

  ExpectRefused("ID,source,target\r\n1,old 1,\"새\"x\r\n", Format::kCsv,
                "in:2:14: text after the closing quote of a field");
  ExpectRefused("ID,source,target\r\n1,old 1,\"새\r\n", Format::kCsv,
                "in:2:9: a quoted field that is never closed");
  ExpectRefused("ID,source,target\r\n1,old 1\r\n", Format::kCsv,
                "in:2:1: a record with 2 fields where the header has 3");
  ExpectRefused("ID,source,target\r\n1,ol\"d,x\r\n", Format::kCsv,
                "in:2:5: a quote inside a field that is not quoted");
  ExpectRefused("ID,source\r\n1,old 1\r\n", Format::kCsv,
                "in:1:1: the header lacks source, target or an ID, context or location column");
  ExpectRefused("ID,source,target\r\n1,old 1,a\r\n1,old 1,b\r\n", Format::kCsv,
                "in:3: ID 1 appears more than once");
  ExpectRefused("ID,source,target\r\n1,old 1,\xFF\r\n", Format::kCsv, "in:2:9: invalid UTF-8");
}

// Lines 1 to 4 hold CR LF, LF, no break and a lone CR; the file's copies came through tools that
// turned every break into LF (lxml, LibreOffice) or CR LF. Each comes back applied, with the
// translation's breaks in the form the line's text uses (line 3, without one, takes the form of
// the document's first break); line 5's target lost its placeholder and is not applied.
TEST_F(ExchangeImport, LineEndsCompareAsOneBreakAndPlaceholdersMustMatch) {
  struct Case {
    Format format;
    std::string data;
  };
  const std::vector<Case> cases = {
      {Format::kPo,
       "msgctxt \"1\"\nmsgid \"a\\nb\"\nmsgstr \"x\\ny\\n\"\n\n"
       "msgctxt \"2\"\nmsgid \"c\\r\\nd\"\nmsgstr \"z\\r\\nw\\rv\"\n\n"
       "msgctxt \"3\"\nmsgid \"old 3\"\nmsgstr \"p\\nq\"\n\n"
       "msgctxt \"4\"\nmsgid \"m\\r\\nn\"\nmsgstr \"o\\np\"\n\n"
       "msgctxt \"5\"\nmsgid \"old\\a 5\"\nmsgstr \"new 5\"\n"},
      {Format::kXliff,
       "<xliff version=\"1.2\"><file><body>"
       "<trans-unit id=\"1\"><source>a\r\nb</source><target>x\ny\n</target></trans-unit>"
       "<trans-unit id=\"2\"><source>c&#13;\nd</source><target>z\nw&#13;v</target></trans-unit>"
       "<trans-unit id=\"3\"><source>old 3</source><target>p\nq</target></trans-unit>"
       "<trans-unit id=\"4\"><source>m\rn</source><target>o\r\np</target></trans-unit>"
       "<trans-unit id=\"5\"><source>old<x id=\"c1\" ctype=\"x-char-0007\"/> 5</source>"
       "<target>new 5</target></trans-unit></body></file></xliff>"},
      {Format::kCsv,
       "ID,source,target\r\n1,\"a\nb\",\"x\ny\n\"\r\n2,\"c\r\nd\",\"z\r\nw\nv\"\r\n"
       "3,old 3,\"p\nq\"\r\n4,\"m\nn\",\"o\np\"\r\n5,old\a 5,new 5\r\n"},
  };
  for (const Case& c : cases) {
    doc_.Clear();
    SetUp();
    doc_.GetItem(doc_.FindItem(1)).SetText("a\r\nb");
    doc_.GetItem(doc_.FindItem(2)).SetText("c\nd");
    doc_.GetItem(doc_.FindItem(4)).SetText("m\rn");
    doc_.GetItem(doc_.FindItem(5)).SetText("old\a 5");
    ImportReport report;
    ASSERT_TRUE(Import(c.data, c.format, report)) << report.error;
    EXPECT_EQ(exchange::SummaryLine(report),
              "applied: 4, untranslated: 0, fuzzy: 0, stale: 0, unknown: 0, placeholders: 1");
    EXPECT_EQ(Texts(), (std::vector<std::string>{"x\r\ny\r\n", "z\nw\nv", "p\r\nq", "o\rp",
                                                 "old\a 5"}))
        << c.data;
    ASSERT_EQ(report.notes.size(), 1u);
    EXPECT_EQ(report.notes[0].id, 5);
    EXPECT_STREQ(exchange::OutcomeName(report.notes[0].outcome), "placeholders");
    EXPECT_FALSE(report.clean());
  }
  doc_.Clear();
  SetUp();
  // A target that adds a control byte, or moves one, is judged by count, not by place.
  ImportReport report;
  ASSERT_TRUE(Import("msgctxt \"1\"\nmsgid \"old 1\"\nmsgstr \"new\\b 1\"\n", Format::kPo, report));
  EXPECT_EQ(report.placeholders, 1);
  doc_.GetItem(doc_.FindItem(2)).SetText("\x1F" "a\x01");
  ASSERT_TRUE(Import("msgctxt \"2\"\nmsgid \"\\037a\\001\"\nmsgstr \"\\001b\\037\"\n", Format::kPo,
                     report));
  EXPECT_EQ(report.applied, 1);
  EXPECT_EQ(Text(2), "\x01" "b\x1F");
}

TEST_F(ExchangeImport, AFileWithoutEntriesIsAnErrorInEveryFormat) {
  const std::string none = "in: the file holds no entry";
  ExpectRefused("", Format::kPo, none);
  ExpectRefused("msgid \"\"\nmsgstr \"Content-Type: text/plain; charset=UTF-8\\n\"\n", Format::kPo,
                none);
  ExpectRefused("# only a comment\n\n#~ msgctxt \"1\"\n#~ msgid \"a\"\n#~ msgstr \"b\"\n",
                Format::kPo, none);
  ExpectRefused("<?xml version=\"1.0\"?>\n<xliff version=\"1.2\"><file><body/></file></xliff>",
                Format::kXliff, none);
  ExpectRefused("\xEF\xBB\xBFlocation,source,target\r\n", Format::kCsv, none);
}

TEST_F(ExchangeImport, XmlOfAnotherXliffVersionIsRefusedNamingIt) {
  ExpectRefused(
      "<?xml version=\"1.0\"?>\n<xliff version=\"3.0\" "
      "xmlns=\"urn:oasis:names:tc:xliff:document:3.0\" srcLang=\"ko\">\n<file id=\"f\"><unit "
      "id=\"1\"><segment><source>old 1</source><target>새</target></segment></unit></file>"
      "</xliff>",
      Format::kXliff, "in:2:1: XLIFF version 3.0 is not read (only 1.0, 1.1, 1.2, 2.0 and 2.1)");
}

TEST_F(ExchangeImport, TextsConvertToTheDocumentCodePageOrNothingIsApplied) {
  // The document stores EUC-KR, as a Korean Windows game does; the file carries UTF-8.
  doc_.GetItem(doc_.FindItem(1)).SetText("\xC7\xD1");  // 한 in EUC-KR
  ImportReport report;
  ASSERT_TRUE(Import("msgctxt \"1\"\nmsgid \"한\"\nmsgstr \"글\"\n", Format::kPo, report, "EUC-KR"))
      << report.error;
  EXPECT_EQ(report.applied, 1);
  EXPECT_EQ(Text(1), "\xB1\xDB");  // 글 in EUC-KR

  // Simplified Chinese that EUC-KR cannot hold (its hanja 新 it can): refused, naming the ID,
  // and the good entry before it is not applied either.
  ASSERT_FALSE(
      Import("msgctxt \"2\"\nmsgid \"old 2\"\nmsgstr \"新\"\n\n"
             "msgctxt \"3\"\nmsgid \"old 3\"\nmsgstr \"这个\"\n",
             Format::kPo, report, "EUC-KR"));
  EXPECT_EQ(report.error, "in:5: ID 3: the translation cannot be written in EUC-KR");
  EXPECT_EQ(Text(2), "old 2");
  EXPECT_EQ(Text(3), "old 3");
  EXPECT_FALSE(Import("", Format::kPo, report, "NO-SUCH-CODESET"));
  EXPECT_EQ(report.error, "unknown encoding NO-SUCH-CODESET");
}

TEST_F(ExchangeImport, FilesOverOneGibibyteAreRefusedUnread) {
  TempDir dir;
  const std::string path = dir.File("huge.po");
  std::FILE* file = std::fopen(path.c_str(), "wb");
  ASSERT_NE(file, nullptr);
  ASSERT_EQ(ftruncate(fileno(file), exchange::kMaxImportBytes + 1), 0);  // sparse: no disk used
  std::fclose(file);
  ImportReport report;
  EXPECT_FALSE(exchange::ImportDocument(doc_, path, Format::kPo, "UTF-8", report));
  EXPECT_EQ(report.error, path + ": larger than 1 GiB; not read");
  EXPECT_FALSE(
      exchange::ImportDocument(doc_, dir.File("missing.po"), Format::kPo, "UTF-8", report));
  EXPECT_EQ(report.error, dir.File("missing.po") + ": cannot open the file: No such file or directory");
}

TEST(ExchangeExport, ATextInvalidInTheCodePageNamesItsIdAndWritesNothing) {
  TempDir dir;
  CDlgFile doc;
  PlotPos plot = doc.AddPlot("P", -1, -1);
  CDlgItem line;
  line.SetID(7);
  line.SetText("\xC7\xD1");  // valid EUC-KR, invalid UTF-8
  ASSERT_NE(doc.AddItem(line, plot, nullptr), nullptr);
  exchange::ExportOptions options;
  options.codeset = "UTF-8";
  std::string error;
  for (const Format format : {Format::kPo, Format::kXliff, Format::kCsv}) {
    EXPECT_FALSE(exchange::ExportDocument(doc, dir.File("out"), format, options, error));
    EXPECT_EQ(error, "ID 7: text is not valid UTF-8 text");
    EXPECT_FALSE(FileExists(dir.File("out")));
  }
  options.codeset = "EUC-KR";
  ASSERT_TRUE(exchange::ExportDocument(doc, dir.File("out.po"), Format::kPo, options, error));
  EXPECT_NE(ReadFileBytes(dir.File("out.po")).find("msgctxt \"7\"\nmsgid \"한\"\n"),
            std::string::npos);
}

}  // namespace
