#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "model/dlg_file.h"
#include "platform/fault_injection.h"
#include "support/debug_capture.h"
#include "support/document_builder.h"
#include "support/temp_dir.h"

namespace {

// Every test runs in a fresh folder, where the import writes Parlatrix.log.
class TextImport : public ::testing::Test {
 protected:
  // Multi-line unless a test says otherwise, so that texts keep their line breaks.
  TextImport() {
    plot_ = doc_.AddPlot("p", -1, -1);
    doc_.SetMultiLine(1);
  }

  void AddLine(int id, const char* text) { AddTestLine(doc_, plot_, id, text); }
  std::string Text(int id) { return doc_.GetItem(doc_.FindItem(id)).GetText().c_str(); }
  // Writes the import file and imports it; the result of Import.
  bool Import(const std::string& bytes) {
    WriteFileBytes("in.txt", bytes);
    return doc_.Import("in.txt");
  }
  std::string Log() { return ReadFileBytes("Parlatrix.log"); }

  TempDir dir_;
  ScopedCurrentDir cwd_{dir_.path()};
  CDlgFile doc_;
  PlotPos plot_;
};

TEST_F(TextImport, WhatCountsAsAnIdASeparatorOrText) {
  AddLine(7, "old");
  AddLine(1, "old");
  ASSERT_TRUE(Import("007\r\nnew\r\n\r\n"));  // leading zeros address line 7
  EXPECT_EQ(Text(7), "new");
  ASSERT_TRUE(Import("1\r\n+7\r\n-7\r\n 7\r\n7 \r\n\r\n"));  // signs or spaces: text
  EXPECT_EQ(Text(1), "+7\r\n-7\r\n 7\r\n7 ");
  ASSERT_TRUE(Import("1\r\n**************\r\n************* \r\n\r\n"));
  EXPECT_EQ(Text(1), "**************\r\n************* ");
  // A separator is ignored wherever it stands.
  ASSERT_TRUE(Import("*************\r\n1\r\na\r\n*************\r\nb\r\n\r\n"));
  EXPECT_EQ(Text(1), "a\r\nb");
}

TEST_F(TextImport, TextBeforeTheFirstIdIsDroppedAndNotLogged) {
  AddLine(1, "old");
  WriteFileBytes("Parlatrix.log", "stale\r\n");
  ASSERT_TRUE(Import("stray\r\nlines\r\n1\r\nnew\r\n\r\n"));
  EXPECT_EQ(Text(1), "new");
  EXPECT_EQ(Log(), "");
}

TEST_F(TextImport, EntryTexts) {
  AddLine(1, "old");
  AddLine(2, "old");
  ASSERT_TRUE(Import("1\r\nfirst\r\n\r\n1\r\nsecond\r\n\r\n"));
  EXPECT_EQ(Text(1), "second");  // the last entry of an ID wins
  ASSERT_TRUE(Import("1\r\n2\r\nb\r\n\r\n"));
  EXPECT_EQ(Text(1), "");  // an ID followed directly by an ID
  EXPECT_EQ(Text(2), "b");
  ASSERT_TRUE(Import("1\r\nfirst\r\n\r\nthird\r\n\r\n2\r\nx\r\n\r\n"));
  EXPECT_EQ(Text(1), "first\r\n\r\nthird");  // a middle empty line of a non-last entry stays
  ASSERT_TRUE(Import("1\r\n\r\n\r\ntext\r\n\r\n"));
  EXPECT_EQ(Text(1), "text");  // leading empty lines of an entry vanish
}

TEST_F(TextImport, LastEntryLosesTheBreaksThatExportAdds) {
  AddLine(1, "old");
  ASSERT_TRUE(Import("1\r\nhello\r\n\r\n"));
  EXPECT_EQ(Text(1), "hello");
  ASSERT_TRUE(Import("1\r\nhello\r\n"));
  EXPECT_EQ(Text(1), "hello");
  ASSERT_TRUE(Import("1\r\nhello"));
  EXPECT_EQ(Text(1), "hello");
  ASSERT_TRUE(Import("1\r\nhello\r\n\r\n\r\n"));  // a text that ended with a break keeps it
  EXPECT_EQ(Text(1), "hello\r\n");
}

TEST_F(TextImport, UnmatchedEntriesGoToTheLogWithCrLfOnDisk) {
  AddLine(1, "old");
  ASSERT_TRUE(Import("5\r\na\r\nb\r\n\r\n1\r\nnew\r\n\r\n6\r\n\r\n"));
  EXPECT_EQ(Text(1), "new");
  EXPECT_EQ(Log(), "5\r\n a\r\r\nb\r\n6\r\n \r\n");
}

TEST_F(TextImport, NoMatchingIdChangesNothingAndLogsEveryText) {
  AddLine(1, "old");
  ASSERT_TRUE(Import("8\r\neight\r\n\r\n9\r\nnine\r\n\r\n"));
  EXPECT_EQ(Text(1), "old");
  EXPECT_EQ(Log(), "8\r\n eight\r\n9\r\n nine\r\n");
}

TEST_F(TextImport, LogIsEmptiedAtTheStartAndLeftEmptyWhenAllMatch) {
  AddLine(1, "old");
  WriteFileBytes("Parlatrix.log", "9\r\n stale\r\n");
  ASSERT_TRUE(Import("1\r\nnew\r\n\r\n"));
  ASSERT_TRUE(FileExists("Parlatrix.log"));
  EXPECT_EQ(Log(), "");
}

TEST_F(TextImport, MissingLogIsNotCreatedWhenAllMatch) {
  AddLine(1, "old");
  ASSERT_TRUE(Import("1\r\nnew\r\n\r\n"));
  EXPECT_FALSE(FileExists("Parlatrix.log"));
}

TEST_F(TextImport, UnopenableFileIsReportedTwiceFailsAndStillEmptiesTheLog) {
  AddLine(1, "old");
  WriteFileBytes("Parlatrix.log", "9\r\n stale\r\n");
  DebugCapture capture;
  EXPECT_FALSE(doc_.Import("missing.txt"));
  EXPECT_EQ(capture.lines(),
            (std::vector<std::string>{
                "FileGetLineCount() Error (0) : Cannot Open File named <missing.txt>\n",
                "CDlgFile::Import() Error (0) : File not found(missing.txt).\n"}));
  EXPECT_EQ(Log(), "");
  EXPECT_EQ(Text(1), "old");
}

TEST_F(TextImport, FolderIsNoImportFile) {
  DebugCapture capture;
  EXPECT_FALSE(doc_.Import(dir_.path().c_str()));
  ASSERT_EQ(capture.lines().size(), 2u);
  EXPECT_EQ(capture.lines()[1],
            "CDlgFile::Import() Error (0) : File not found(" + dir_.path() + ").\n");
}

TEST_F(TextImport, SingleLineDocumentJoinsLinesAndDropsTabs) {
  doc_.SetMultiLine(0);
  AddLine(1, "old");
  AddLine(2, "old");
  ASSERT_TRUE(Import("1\r\nab\tc\r\nd\r\n\r\n2\r\nx\r\r\ny\r\n\r\n"));
  EXPECT_EQ(Text(1), "abcd");
  EXPECT_EQ(Text(2), "x\ry");  // a CR of the text itself stays; only the joining CR LF goes
}

TEST_F(TextImport, SingleLineDocumentLogsUnmatchedTextsAsGathered) {
  doc_.SetMultiLine(0);
  ASSERT_TRUE(Import("3\r\na\tb\r\nc\r\n\r\n"));
  EXPECT_EQ(Log(), "3\r\n a\tb\r\r\nc\r\n");
}

TEST_F(TextImport, EmptyFileOrOnlySeparatorsChangesNothing) {
  AddLine(1, "old");
  EXPECT_TRUE(Import(""));
  EXPECT_TRUE(Import("*************\r\n*************\r\n"));
  EXPECT_EQ(Text(1), "old");
}

TEST_F(TextImport, IdBeyondIntMatchesNoLineAndIsLoggedAsWritten) {
  // 99999999999 wrapped to 32 bits would be 1215752191.
  AddLine(1215752191, "old");
  AddLine(2147483647, "old");
  ASSERT_TRUE(Import("99999999999\r\nx\r\n\r\n2147483647\r\nmax\r\n\r\n"));
  EXPECT_EQ(Text(1215752191), "old");
  EXPECT_EQ(Text(2147483647), "max");
  EXPECT_EQ(Log(), "99999999999\r\n x\r\n");
}

TEST_F(TextImport, NulByteEndsTheTextOfItsLine) {
  AddLine(1, "old");
  const char bytes[] = "1\r\nab\0cd\r\nef\r\n\r\n";
  ASSERT_TRUE(Import(std::string(bytes, sizeof(bytes) - 1)));
  EXPECT_EQ(Text(1), "ab\r\nef");
}

TEST_F(TextImport, LfOnlyLineEndsAreReadToo) {
  AddLine(1, "old");
  ASSERT_TRUE(Import("1\nnew\n\n"));
  EXPECT_EQ(Text(1), "new");
}

TEST_F(TextImport, HugeLineIsReadWhole) {
  AddLine(1, "old");
  const std::string big(3 * 1000 * 1000, 'x');
  ASSERT_TRUE(Import("1\r\n" + big));
  EXPECT_EQ(Text(1), big);
}

TEST_F(TextImport, ManyTextLinesInOneEntryAreJoined) {
  AddLine(1, "old");
  std::string file = "1\r\n";
  std::string expected;
  for (int i = 0; i < 20000; ++i) {
    file += "ab\r\n";
    expected += i == 0 ? "ab" : "\r\nab";
  }
  ASSERT_TRUE(Import(file));
  EXPECT_EQ(Text(1), expected);
}

TEST_F(TextImport, OtherFieldsAndPlotMembershipStay) {
  CDlgItem line;
  line.SetID(4);
  line.SetSpeaker("spk");
  line.SetExpression("exp");
  line.SetSound("snd");
  line.SetPlotIndex(0);
  ASSERT_NE(doc_.AddItem(line, plot_, nullptr), nullptr);
  ASSERT_TRUE(Import("4\r\nnew\r\n\r\n"));
  const CDlgItem& item = doc_.GetItem(doc_.FindItem(4));
  EXPECT_STREQ(item.GetSpeaker(), "spk");
  EXPECT_STREQ(item.GetExpression(), "exp");
  EXPECT_STREQ(item.GetSound(), "snd");
  EXPECT_EQ(item.GetPlotIndex(), 0);
  EXPECT_EQ(doc_.GetPlot(plot_).members.GetCount(), 1);
  EXPECT_EQ(doc_.GetLines().GetCount(), 1);
}

TEST_F(TextImport, OutOfMemoryAtAnyAllocationFailsAndLeavesTheDocumentUnchanged) {
  AddLine(1, "one");
  AddLine(2, "two");
  WriteFileBytes("in.txt",
                 "1\r\nnew one\r\nsecond\r\n\r\n2\r\nnew two\r\n\r\n99999999999\r\nx\r\n");
  DebugCapture capture;
  bool succeeded = false;
  int failures = 0;
  for (int n = 1; n < 200 && !succeeded; ++n) {
    platform::FailAllocationAfter(n);
    succeeded = doc_.Import("in.txt");
    platform::ResetAllocationFaults();
    if (!succeeded) {
      ++failures;
      EXPECT_EQ(Text(1), "one") << "allocation " << n;
      EXPECT_EQ(Text(2), "two") << "allocation " << n;
    }
  }
  ASSERT_TRUE(succeeded);
  EXPECT_GE(failures, 5);  // reader buffer, text buffers, entry nodes, entry texts, oversize ID
  EXPECT_EQ(Text(1), "new one\r\nsecond");
  EXPECT_EQ(Text(2), "new two");
}

// A realistic document: Korean and Chinese in UTF-8 and in CP949/GBK bytes, empty texts, empty
// lines inside texts, a trailing break, a lone CR and a TAB.
TEST(TextRoundTrip, ExportThenImportLeavesEveryTextUnchanged) {
  TempDir dir;
  ScopedCurrentDir cwd(dir.path());
  const std::vector<std::string> texts = {
      "\xEC\x95\x88\xEB\x85\x95\xED\x95\x98\xEC\x84\xB8\xEC\x9A\x94",  // UTF-8 Korean
      "\xE4\xBD\xA0\xE5\xA5\xBD\r\n\xE4\xB8\x96\xE7\x95\x8C",          // UTF-8 Chinese, two lines
      "\xBE\xC8\xB3\xE7\xC7\xCF\xBC\xBC\xBF\xE4",                      // CP949 Korean
      "\xC4\xE3\xBA\xC3\r\n\r\n\x81\x40\xFE\x7E",                      // GBK with an empty line
      "",
      "first\r\n\r\n\r\nfourth",
      "ends with a break\r\n",
      "lone\rcarriage return",
      "tab\there",
      "\xEA\xB0\x80\r\n\xEB\x82\x98\r\n\xEB\x8B\xA4",
  };
  CDlgFile doc;
  doc.SetMultiLine(1);
  int id = 100;
  for (int p = 0; p < 3; ++p) {
    PlotPos plot = doc.AddPlot(("plot" + std::to_string(p)).c_str(), -1, -1);
    for (const std::string& text : texts) {
      CDlgItem line;
      line.SetID(id++);
      line.SetText(text.c_str());
      ASSERT_NE(doc.AddItem(line, plot, nullptr), nullptr);
    }
  }
  ASSERT_TRUE(doc.Export("export.txt", false));
  for (auto* pos = doc.GetLines().GetHeadPosition(); pos != nullptr; pos = pos->next) {
    doc.GetItem(pos).SetText("replaced");
  }
  ASSERT_TRUE(doc.Import("export.txt"));
  id = 100;
  for (int p = 0; p < 3; ++p) {
    for (const std::string& text : texts) {
      EXPECT_EQ(doc.GetItem(doc.FindItem(id)).GetText().c_str(), text) << "ID " << id;
      ++id;
    }
  }
  EXPECT_FALSE(FileExists("Parlatrix.log"));
}

}  // namespace
