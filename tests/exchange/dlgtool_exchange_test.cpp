// dlgtool export and import in the exchange formats: the exit status a pipeline acts on, and that
// a failed import leaves the dialogue file as it was.
#include <gtest/gtest.h>

#include "model/dlg_file.h"
#include "peer_run.h"
#include "support/temp_dir.h"

namespace {

using exchangetest::Dlgtool;
using exchangetest::PeerRun;

class DlgtoolExchange : public ::testing::Test {
 protected:
  void SetUp() override {
    CDlgFile doc;
    PlotPos plot = doc.AddPlot("P", -1, -1);
    for (int id : {1, 2}) {
      CDlgItem line;
      line.SetID(id);
      line.SetText(("text " + std::to_string(id)).c_str());
      ASSERT_NE(doc.AddItem(line, plot, nullptr), nullptr);
    }
    ASSERT_EQ(doc.Save(dir_.File("doc.dlg").c_str()), 1);
    original_ = ReadFileBytes(dir_.File("doc.dlg"));
  }

  PeerRun Run(const std::string& args) {
    return exchangetest::RunIn(dir_.path(), Dlgtool() + " " + args);
  }

  TempDir dir_;
  std::string original_;
};

TEST_F(DlgtoolExchange, ImportExitStatusTellsWhetherEverythingWasApplied) {
  WriteFileBytes(dir_.File("all.csv"), "ID,source,target\r\n1,text 1,하나\r\n2,text 2,\r\n");
  PeerRun run = Run("import doc.dlg all.csv -o out.dlg --encoding UTF-8");
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out, "applied: 1, untranslated: 1, fuzzy: 0, stale: 0, unknown: 0\n");
  EXPECT_EQ(ReadFileBytes(dir_.File("doc.dlg")), original_);

  WriteFileBytes(dir_.File("some.po"),
                 "msgctxt \"1\"\nmsgid \"text 1\"\nmsgstr \"하나\"\n\n"
                 "msgctxt \"2\"\nmsgid \"changed\"\nmsgstr \"둘\"\n\n"
                 "msgctxt \"3\"\nmsgid \"x\"\nmsgstr \"셋\"\n");
  run = Run("import doc.dlg some.po --encoding UTF-8");
  EXPECT_EQ(run.status, 1) << run.err;
  EXPECT_EQ(run.out,
            "2: stale\n3: unknown\n"
            "applied: 1, untranslated: 0, fuzzy: 0, stale: 1, unknown: 1\n");
  CDlgFile doc;
  ASSERT_EQ(doc.Load(dir_.File("doc.dlg").c_str()), 1);
  EXPECT_STREQ(doc.GetItem(doc.FindItem(1)).text.c_str(), "하나");
  EXPECT_STREQ(doc.GetItem(doc.FindItem(2)).text.c_str(), "text 2");
}

TEST_F(DlgtoolExchange, FaultsExitWithTwoAndChangeNothing) {
  WriteFileBytes(dir_.File("bad.xlf"), "<xliff><file><body><trans-unit id=\"1\">");
  PeerRun run = Run("import doc.dlg bad.xlf");
  EXPECT_EQ(run.status, 2);
  EXPECT_EQ(run.err, "dlgtool: bad.xlf:1:38: an end tag that does not match its start tag, or an element never "
            "closed; nothing applied\n");
  EXPECT_EQ(ReadFileBytes(dir_.File("doc.dlg")), original_);

  run = Run("export doc.dlg out.po --recording");
  EXPECT_EQ(run.status, 2);
  EXPECT_EQ(run.err, "dlgtool: --recording is a form of the plain text export only\n");
  run = Run("export doc.dlg out.txt --format json");
  EXPECT_EQ(run.status, 2);
  EXPECT_EQ(run.err, "dlgtool: json: unknown format; use po, xliff, csv or xlsx\n");
  run = Run("export doc.dlg no/such/dir/out.po");
  EXPECT_EQ(run.status, 2);
  EXPECT_EQ(run.err, "dlgtool: no/such/dir/out.po: cannot write the file: No such file or directory; nothing written\n");
  run = Run("export doc.dlg out.po --encoding NO-SUCH");
  EXPECT_EQ(run.status, 2);
  EXPECT_EQ(run.err, "dlgtool: unknown encoding NO-SUCH; nothing written\n");
  EXPECT_FALSE(FileExists(dir_.File("out.po")));
}

TEST_F(DlgtoolExchange, FormatComesFromTheNameUnlessForced) {
  ASSERT_EQ(Run("export doc.dlg OUT.XLIFF").status, 0);
  EXPECT_EQ(ReadFileBytes(dir_.File("OUT.XLIFF")).substr(0, 5), "<?xml");
  ASSERT_EQ(Run("export doc.dlg strings.txt --format csv").status, 0);
  EXPECT_EQ(ReadFileBytes(dir_.File("strings.txt")).substr(0, 11), "\xEF\xBB\xBFlocation");
  ASSERT_EQ(Run("export doc.dlg plain.txt").status, 0);
  EXPECT_EQ(ReadFileBytes(dir_.File("plain.txt")),
            "*************\r\n1\r\ntext 1\r\n\r\n2\r\ntext 2\r\n\r\n");
}

}  // namespace

namespace {

// --log writes the entries the import did not apply, for every exchange format, in the text
// import's shape; a log that cannot be written applies nothing.
TEST_F(DlgtoolExchange, ImportLogGoesWhereLogSays) {
  WriteFileBytes(dir_.File("in.po"),
                 "msgctxt \"1\"\nmsgid \"text 1\"\nmsgstr \"하나\"\n\n"
                 "msgctxt \"2\"\nmsgid \"changed\"\nmsgstr \"둘\"\n");
  WriteFileBytes(dir_.File("in.csv"), "ID,source,target\r\n1,text 1,하나\r\n9,x,아홉\r\n");
  PeerRun run = Run("import doc.dlg in.po -o out.dlg --encoding UTF-8 --log po.log");
  EXPECT_EQ(run.status, 1) << run.err;
  EXPECT_EQ(ReadFileBytes(dir_.File("po.log")), "2\r\n stale: 둘\r\n");
  run = Run("import doc.dlg in.csv -o out.dlg --encoding UTF-8 --log csv.log");
  EXPECT_EQ(run.status, 1) << run.err;
  EXPECT_EQ(ReadFileBytes(dir_.File("csv.log")), "9\r\n unknown: 아홉\r\n");

  run = Run("import doc.dlg in.po --encoding UTF-8 --log no/such/dir/x.log");
  EXPECT_EQ(run.status, 2);
  EXPECT_NE(run.err.find("no/such/dir/x.log: cannot write the import log"), std::string::npos)
      << run.err;
  EXPECT_EQ(ReadFileBytes(dir_.File("doc.dlg")), original_);
}

TEST_F(DlgtoolExchange, ExchangeOptionsOnAPlainTextExportAreUsageErrors) {
  for (const char* option : {"--translation doc.dlg", "--source-lang ko", "--target-lang en"}) {
    const PeerRun run = Run(std::string("export doc.dlg out.txt ") + option);
    EXPECT_EQ(run.status, 2) << option;
    EXPECT_NE(run.err.find("work with .po, .xlf, .xliff, .csv and .xlsx files only"), std::string::npos)
        << run.err;
    EXPECT_FALSE(FileExists(dir_.File("out.txt"))) << option;
  }
}

// A document in CP949 imported where the locale is UTF-8: one message naming the code page, not
// every Korean line called stale.
TEST_F(DlgtoolExchange, ALegacyCodePageDocumentIsNamedNotCalledStale) {
  CDlgFile doc;
  PlotPos plot = doc.AddPlot("P", -1, -1);
  CDlgItem line;
  line.SetID(1);
  line.SetText("\xC7\xD1\xB1\xDB");  // 한글 in CP949
  ASSERT_NE(doc.AddItem(line, plot, nullptr), nullptr);
  ASSERT_EQ(doc.Save(dir_.File("ko.dlg").c_str()), 1);
  WriteFileBytes(dir_.File("ko.po"), "msgctxt \"1\"\nmsgid \"한글\"\nmsgstr \"Hangul\"\n");
  const std::string before = ReadFileBytes(dir_.File("ko.dlg"));
  PeerRun run = exchangetest::RunIn(dir_.path(), "LC_ALL=C.UTF-8 " + Dlgtool() +
                                                     " import ko.dlg ko.po");
  EXPECT_EQ(run.status, 2);
  EXPECT_NE(run.err.find("ID 1: text is not valid UTF-8 text; the names and texts decode as "
                         "CP949 (--encoding CP949)"),
            std::string::npos)
      << run.err;
  EXPECT_EQ(ReadFileBytes(dir_.File("ko.dlg")), before);
  run = Run("import ko.dlg ko.po --encoding CP949");
  EXPECT_EQ(run.status, 0) << run.err;
}

}  // namespace
