// A read that fails is an error, never fewer bytes: every read of Load, the text import and the
// exchange import is failed in turn through the read seam, and each run either succeeds with the
// same result as an undisturbed one or fails and changes nothing.
#include <gtest/gtest.h>

#include <cerrno>
#include <functional>
#include <string>

#include "dlgfile/dlg_damage.h"
#include "exchange/exchange.h"
#include "interchange/text_import.h"
#include "model/dlg_file.h"
#include "platform/file_read.h"
#include "platform/status.h"
#include "support/document_builder.h"
#include "support/temp_dir.h"

namespace {

class ReadFaults : public ::testing::Test {
 protected:
  void SetUp() override {
    // Big texts: the file spans three of the reader's 1 MiB windows, so that a failure can hit a
    // window past the first, as a bad sector in the middle of a file does.
    CDlgFile doc;
    PlotPos plot = doc.AddPlot("P", -1, -1);
    const std::string big(900 * 1024, 'x');
    for (int id = 1; id <= 3; ++id) AddTestLine(doc, plot, id, (big + std::to_string(id)).c_str());
    AddTestLine(doc, plot, 4, "short");
    ASSERT_EQ(doc.Save(path_.c_str()), 1);
  }
  void TearDown() override { platform::ResetReadFaults(); }

  // Runs `operation` once undisturbed to count its reads, then once per read with that read
  // failing. `check(ok)` judges each run.
  void EveryRead(const std::function<bool()>& operation, const std::function<void(bool)>& check) {
    platform::ResetReadFaults();
    ASSERT_TRUE(operation());
    const long reads = platform::ReadCount();
    ASSERT_GT(reads, 0);
    for (long n = 1; n <= reads; ++n) {
      SCOPED_TRACE("read " + std::to_string(n) + " of " + std::to_string(reads));
      platform::FailReadAfter(static_cast<int>(n));
      const bool ok = operation();
      platform::ResetReadFaults();
      check(ok);
    }
  }

  TempDir dir_;
  std::string path_ = dir_.File("doc.dlg");
};

TEST_F(ReadFaults, LoadFailsWithTheSystemsReasonOrLoadsEverything) {
  CDlgFile reference;
  ASSERT_EQ(reference.Load(path_.c_str()), 1);
  const std::string expected = DocumentDump(reference);
  CDlgFile doc;
  platform::Status status;
  int failures = 0;
  EveryRead([&] { return doc.Load(path_.c_str(), status) != 0; },
            [&](bool ok) {
              if (ok) {
                EXPECT_EQ(DocumentDump(doc), expected);
                return;
              }
              ++failures;
              EXPECT_EQ(status.systemError, EIO) << status.Text();
              EXPECT_EQ(status.message, "cannot read the file") << status.Text();
              // Emptied, or as it was when the read failed before anything was replaced.
              EXPECT_TRUE(doc.GetLines().IsEmpty() || DocumentDump(doc) == expected);
            });
  EXPECT_GE(failures, 3);  // one per window at least
}

TEST_F(ReadFaults, DamageDetectionThatCannotReadSaysSo) {
  platform::FailReadAfter(1);
  const std::vector<std::string> damage = DescribeDlgDamage(path_.c_str());
  platform::ResetReadFaults();
  ASSERT_EQ(damage.size(), 1u);
  EXPECT_EQ(damage[0], "cannot read the file to check it: Input/output error");
  EXPECT_TRUE(DescribeDlgDamage(path_.c_str()).empty());
}

TEST_F(ReadFaults, ImportsApplyAllOrNothing) {
  CDlgFile base;
  ASSERT_EQ(base.Load(path_.c_str()), 1);
  const std::string before = DocumentDump(base);
  struct Case {
    const char* name;
    std::string bytes;
    std::function<bool(CDlgFile&, const std::string&)> import;
  };
  const auto exchangeImport = [](exchange::Format format) {
    return [format](CDlgFile& doc, const std::string& path) {
      exchange::ImportReport report;
      return exchange::ImportDocument(doc, path, format, "UTF-8", report);
    };
  };
  // Long enough that the text import's reader refills its buffer.
  const std::string filler(200 * 1024, 'f');
  const Case cases[] = {
      {"in.txt", "*************\r\n4\r\nkurz\r\n\r\n99\r\n" + filler + "\r\n\r\n",
       [this](CDlgFile& doc, const std::string& path) {
         ImportCounts counts;
         return ImportText(doc, path.c_str(), counts, dir_.File("import.log").c_str());
       }},
      {"in.po",
       "msgid \"\"\nmsgstr \"Content-Type: text/plain; charset=UTF-8\\n\"\n\nmsgctxt \"4\"\n"
       "msgid \"short\"\nmsgstr \"kurz\"\n\n#. " + filler + "\nmsgctxt \"99\"\nmsgid \"a\"\n"
       "msgstr \"b\"\n",
       exchangeImport(exchange::Format::kPo)},
      {"in.csv", "\xEF\xBB\xBFid,source,target\r\n4,short,kurz\r\n99," + filler + ",b\r\n",
       exchangeImport(exchange::Format::kCsv)},
      {"in.xlf",
       "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<xliff version=\"1.2\" "
       "xmlns=\"urn:oasis:names:tc:xliff:document:1.2\"><file original=\"d\" "
       "source-language=\"und\" target-language=\"und\" datatype=\"plaintext\"><body>"
       "<trans-unit id=\"4\"><source>short</source><target>kurz</target></trans-unit>"
       "<trans-unit id=\"99\"><source>" + filler + "</source><target>b</target></trans-unit>"
       "</body></file></xliff>\n",
       exchangeImport(exchange::Format::kXliff)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string path = dir_.File(c.name);
    WriteFileBytes(path, c.bytes);
    CDlgFile doc;
    std::string applied;
    {
      ASSERT_EQ(doc.Load(path_.c_str()), 1);
      ASSERT_TRUE(c.import(doc, path));
      applied = DocumentDump(doc);
      ASSERT_NE(applied, before);
    }
    // Each of the import's own reads fails in turn.
    ASSERT_EQ(doc.Load(path_.c_str()), 1);
    platform::ResetReadFaults();
    ASSERT_TRUE(c.import(doc, path));
    const long reads = platform::ReadCount();
    ASSERT_GT(reads, 0);
    for (long n = 1; n <= reads; ++n) {
      SCOPED_TRACE("import read " + std::to_string(n));
      ASSERT_EQ(doc.Load(path_.c_str()), 1);
      platform::FailReadAfter(static_cast<int>(n));
      const bool ok = c.import(doc, path);
      platform::ResetReadFaults();
      EXPECT_EQ(DocumentDump(doc), ok ? applied : before);
    }
  }
}

}  // namespace
