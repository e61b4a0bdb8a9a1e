// The stream helpers and the log of text import: line counting, measuring and reading with
// text-mode line ends, the digit test and the log format.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "interchange/text_import.h"
#include "support/debug_capture.h"
#include "support/temp_dir.h"

namespace {

TEST(IsAllDigits, AcceptsOnlyNonEmptyAsciiDigits) {
  EXPECT_TRUE(IsAllDigits("0"));
  EXPECT_TRUE(IsAllDigits("0123456789"));
  EXPECT_FALSE(IsAllDigits(""));
  EXPECT_FALSE(IsAllDigits(nullptr));
  EXPECT_FALSE(IsAllDigits("-1"));
  EXPECT_FALSE(IsAllDigits("+1"));
  EXPECT_FALSE(IsAllDigits(" 1"));
  EXPECT_FALSE(IsAllDigits("1 "));
  EXPECT_FALSE(IsAllDigits("1\r"));
  EXPECT_FALSE(IsAllDigits("\xEF\xBC\x91"));  // full-width one in UTF-8
  EXPECT_FALSE(IsAllDigits("\xB1"));          // a high byte is no digit whatever the locale
}

TEST(FileGetLineCount, CountsLfsPlusOne) {
  TempDir dir;
  const std::string path = dir.File("t.txt");
  WriteFileBytes(path, "");
  EXPECT_EQ(FileGetLineCount(path.c_str()), 1);
  WriteFileBytes(path, "a\r\nb");
  EXPECT_EQ(FileGetLineCount(path.c_str()), 2);
  WriteFileBytes(path, "a\nb\n");
  EXPECT_EQ(FileGetLineCount(path.c_str()), 3);
  WriteFileBytes(path, "a\rb\r");  // lone CRs end no line
  EXPECT_EQ(FileGetLineCount(path.c_str()), 1);
}

TEST(FileGetLineCount, MissingFileIsReportedAsMinusOne) {
  TempDir dir;
  const std::string path = dir.File("none.txt");
  DebugCapture capture;
  EXPECT_EQ(FileGetLineCount(path.c_str()), -1);
  ASSERT_EQ(capture.lines().size(), 1u);
  EXPECT_EQ(capture.lines()[0],
            "FileGetLineCount() Error (0) : Cannot Open File named <" + path + ">\n");
}

class LineStream : public ::testing::Test {
 protected:
  void Open(const std::string& bytes) {
    path_ = dir_.File("lines.txt");
    WriteFileBytes(path_, bytes);
    file_ = std::fopen(path_.c_str(), "rb");
    ASSERT_NE(file_, nullptr);
  }
  void TearDown() override {
    if (file_ != nullptr) std::fclose(file_);
  }
  std::string Read(int size) {
    char buffer[64];
    FileReadLine(file_, buffer, size);
    return buffer;
  }

  TempDir dir_;
  std::string path_;
  std::FILE* file_ = nullptr;
};

TEST_F(LineStream, LengthCountsTextModeCharactersAndKeepsThePosition) {
  Open("ab\r\ncd\re\nlast");
  EXPECT_EQ(FileGetLineLength(file_), 2);
  EXPECT_EQ(std::ftell(file_), 0);
  EXPECT_EQ(Read(64), "ab");
  EXPECT_EQ(FileGetLineLength(file_), 4);  // the lone CR is a character of the line
  EXPECT_EQ(Read(64), "cd\re");
  EXPECT_EQ(FileGetLineLength(file_), 4);
  EXPECT_EQ(Read(64), "last");
  EXPECT_EQ(FileGetLineLength(file_), 0);
  EXPECT_EQ(Read(64), "");
}

TEST_F(LineStream, ReadStoresAtMostSizeMinusOneAndDropsTheRestOfTheLine) {
  Open("abcdef\r\nnext\n");
  EXPECT_EQ(Read(4), "abc");
  EXPECT_EQ(Read(64), "next");
  EXPECT_EQ(Read(64), "");
}

TEST_F(LineStream, CrCrLfReadsAsCrThenLineEnd) {
  Open("x\r\r\ny");
  EXPECT_EQ(FileGetLineLength(file_), 2);
  EXPECT_EQ(Read(64), "x\r");
  EXPECT_EQ(Read(64), "y");
}

class ImportLog : public ::testing::Test {
 protected:
  TempDir dir_;
  ScopedCurrentDir cwd_{dir_.path()};
};

TEST_F(ImportLog, EntryIsIdSpaceTextWithCrLfLineEnds) {
  WriteImportLog(7, "text");
  WriteImportLog(-3, "");
  EXPECT_EQ(ReadFileBytes("Parlatrix.log"), "7\r\n text\r\n-3\r\n \r\n");
}

TEST_F(ImportLog, EveryLfOfATextIsStoredAsCrLf) {
  WriteImportLog(12, "a\r\nb");
  EXPECT_EQ(ReadFileBytes("Parlatrix.log"), "12\r\n a\r\r\nb\r\n");
}

TEST_F(ImportLog, AppendsToAnExistingLog) {
  WriteFileBytes("Parlatrix.log", "old\r\n");
  WriteImportLog(1, "x");
  EXPECT_EQ(ReadFileBytes("Parlatrix.log"), "old\r\n1\r\n x\r\n");
}

TEST_F(ImportLog, OversizeIdIsWrittenAsGiven) {
  WriteImportLog("99999999999", "x");
  EXPECT_EQ(ReadFileBytes("Parlatrix.log"), "99999999999\r\n x\r\n");
}

}  // namespace
