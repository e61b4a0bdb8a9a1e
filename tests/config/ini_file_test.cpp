#include "config/ini_file.h"

#include <gtest/gtest.h>

#include <climits>
#include <string>

#include "support/debug_capture.h"
#include "support/temp_dir.h"

namespace {

// The scrambled form of `content`: the marker, then every byte XOR the key.
std::string Scrambled(const std::string& content) {
  std::string out(1, static_cast<char>(kIniScrambleMarker));
  for (char c : content) out.push_back(static_cast<char>(c ^ kIniScrambleKey));
  return out;
}

class IniReader : public ::testing::Test {
 protected:
  void Open(const std::string& bytes) {
    path_ = dir_.File("Parlatrix.ini");
    WriteFileBytes(path_, bytes);
    ASSERT_TRUE(ini_.OpenFileRead(path_.c_str()));
  }
  std::string Value(const char* key, int size = 256) {
    char buffer[1024] = "untouched";
    if (!ini_.ReadLine(key, buffer, size)) return "<none>";
    return buffer;
  }

  TempDir dir_;
  std::string path_;
  CIniFile ini_;
  DebugCapture capture_;
};

TEST(FileIsScrambled, TellsByTheFirstByte) {
  TempDir dir;
  const std::string path = dir.File("x.ini");
  EXPECT_EQ(FileIsScrambled(path.c_str()), -1);
  WriteFileBytes(path, "");
  EXPECT_EQ(FileIsScrambled(path.c_str()), 0);
  WriteFileBytes(path, "[A]");
  EXPECT_EQ(FileIsScrambled(path.c_str()), 0);
  WriteFileBytes(path, "\x80");
  EXPECT_EQ(FileIsScrambled(path.c_str()), 1);
}

TEST(IniOpen, MissingFileIsReported) {
  TempDir dir;
  const std::string path = dir.File("none.ini");
  DebugCapture capture;
  CIniFile ini;
  EXPECT_FALSE(ini.OpenFileRead(path.c_str()));
  EXPECT_FALSE(ini.IsOpen());
  ASSERT_EQ(capture.lines().size(), 1u);
  EXPECT_EQ(capture.lines()[0],
            "CIniFile::OpenFileRead() Error (0) : Could not open file for read : <" + path + ">\n");
}

TEST_F(IniReader, SectionsAndKeysIgnoreAsciiCase) {
  Open("[parlatrix]\nheadcount=3\n");
  EXPECT_TRUE(ini_.ReadSection("PARLATRIX"));
  EXPECT_EQ(Value("HeadCount"), "3");
}

TEST_F(IniReader, NothingIsTrimmed) {
  Open("HEADCOUNT =1\nHEADCOUNT= 2 \n");
  EXPECT_EQ(Value("HEADCOUNT"), " 2 ");
}

TEST_F(IniReader, KeyWithSpaceBeforeEqualsDoesNotMatch) {
  Open("[PARLATRIX]\nHEADCOUNT =1\n");
  ASSERT_TRUE(ini_.ReadSection("PARLATRIX"));
  EXPECT_EQ(Value("HEADCOUNT"), "<none>");
  ASSERT_EQ(capture_.lines().size(), 1u);
  EXPECT_EQ(
      capture_.lines()[0],
      "CIniFile::ReadLine() Error(0) : Reach the end of the file in reading named <HEADCOUNT>\n");
}

TEST_F(IniReader, KeyPassedBeforeItIsSoughtIsNotFound) {
  Open("[FACE]\nB=2\nA=1\n");
  EXPECT_EQ(Value("A"), "1");
  EXPECT_EQ(Value("B"), "<none>");
}

TEST_F(IniReader, SectionPassedBeforeItIsSoughtIsNotFound) {
  Open("[A]\n[B]\n");
  EXPECT_TRUE(ini_.ReadSection("B"));
  EXPECT_FALSE(ini_.ReadSection("A"));
  ASSERT_EQ(capture_.lines().size(), 1u);
  EXPECT_EQ(
      capture_.lines()[0],
      "CIniFile::ReadSection() Error(0) : Reach the end of the file in reading section <A>\n");
}

TEST_F(IniReader, KeySearchRunsOnIntoLaterSections) {
  Open("[FACE]\nFACECOUNT=2\nFACE=smile\n[FACE000]\nNAME=A\nFACE=0\n");
  EXPECT_EQ(Value("FACE"), "smile");
  EXPECT_EQ(Value("FACE"), "0");
}

TEST_F(IniReader, EmptyNameAcceptsAnySectionAndEmptyKeyAnyKey) {
  Open("junk\n[Whatever]\nsome=thing\n");
  EXPECT_TRUE(ini_.ReadSection(""));
  EXPECT_EQ(Value(""), "thing");
}

TEST_F(IniReader, BracketsCountAnywhereEvenInsideValues) {
  Open("NAME=[FACE001] x\nCOUNT=1\n");
  EXPECT_TRUE(ini_.ReadSection("face001"));
  EXPECT_EQ(Value("COUNT"), "1");
}

TEST_F(IniReader, RestOfALineAfterAnUnsoughtKeyIsAKeyOfItsOwn) {
  Open("X=NAME=value\n");
  EXPECT_EQ(Value("NAME"), "value");
}

TEST_F(IniReader, ValueIsCutToTheBufferAndTheRestDropped) {
  Open("NAME=" + std::string(300, 'n') + "\nNEXT=1\n");
  EXPECT_EQ(Value("NAME", 256), std::string(255, 'n'));
  EXPECT_EQ(Value("NEXT"), "1");
}

TEST_F(IniReader, KeysAreComparedOnTheirFirst1024Bytes) {
  const std::string key(1024, 'k');
  Open(key + "extra=v\n");
  EXPECT_EQ(Value(key.c_str()), "v");
}

TEST_F(IniReader, LastValueWithoutLineEndIsRead) {
  Open("A=1\nB=last");
  EXPECT_EQ(Value("B"), "last");
}

TEST_F(IniReader, PlainFormReadsCrLfAsLf) {
  Open("[A]\r\nNAME=x\r\nFACE=y\r\r\n");
  EXPECT_TRUE(ini_.ReadSection("A"));
  EXPECT_EQ(Value("NAME"), "x");
  EXPECT_EQ(Value("FACE"), "y\r");
}

TEST_F(IniReader, ScrambledFormWithCrLfLeavesACrInEveryValue) {
  Open(Scrambled("[A]\r\nNAME=x\r\nFACE=y\r\n"));
  EXPECT_TRUE(ini_.IsScrambled());
  EXPECT_TRUE(ini_.ReadSection("A"));
  EXPECT_EQ(Value("NAME"), "x\r");
  EXPECT_EQ(Value("FACE"), "y\r");
}

TEST_F(IniReader, FirstByte0x80MakesAPlainFileScrambled) {
  Open("\x80[A]\nNAME=x\n");
  EXPECT_TRUE(ini_.IsScrambled());
  EXPECT_FALSE(ini_.ReadSection("A"));
}

TEST_F(IniReader, StoredFFEndsOnlyTheReadInProgress) {
  // Each 0xFF fails the search it meets (reported like the end of the file); the next search
  // starts after it and finds what follows.
  Open(
      "A=1\n\xFF"
      "B=2\n[S\xFF"
      "\nT=3\nC=ab\xFF"
      "cd=4\n");
  EXPECT_EQ(Value("A"), "1");
  EXPECT_EQ(Value("B"), "<none>");
  EXPECT_EQ(Value("B"), "2");
  EXPECT_FALSE(ini_.ReadSection("S"));
  EXPECT_EQ(Value("T"), "3");
  EXPECT_EQ(Value("C"), "ab");  // the value ends at the 0xFF; "cd" is read as a key
  EXPECT_EQ(Value("CD"), "4");
  EXPECT_EQ(Value("X"), "<none>");
  EXPECT_EQ(capture_.lines().size(), 3u);
  // Scrambled: content byte 0x00 is stored as 0xFF and tested before unscrambling.
  ini_.Close();
  Open(Scrambled(std::string("A=1\n\0B=2\n", 9)));
  EXPECT_EQ(Value("A"), "1");
  EXPECT_EQ(Value("B"), "<none>");
  EXPECT_EQ(Value("B"), "2");
}

TEST_F(IniReader, ReadIntParsesLikeAtoi) {
  Open("A= -12abc\nB=abc\nC=+7\nD=99999999999\nE=-99999999999\n");
  int value = 1;
  EXPECT_TRUE(ini_.ReadInt("A", value));
  EXPECT_EQ(value, -12);
  EXPECT_TRUE(ini_.ReadInt("B", value));
  EXPECT_EQ(value, 0);
  EXPECT_TRUE(ini_.ReadInt("C", value));
  EXPECT_EQ(value, 7);
  EXPECT_TRUE(ini_.ReadInt("D", value));
  EXPECT_EQ(value, INT_MAX);
  EXPECT_TRUE(ini_.ReadInt("E", value));
  EXPECT_EQ(value, INT_MIN);
}

TEST_F(IniReader, ReadIntFailureKeepsTheResult) {
  Open("A=1\n");
  int value = 42;
  EXPECT_FALSE(ini_.ReadInt("B", value));
  EXPECT_EQ(value, 42);
}

TEST_F(IniReader, EveryPrefixOfAFileEndsCleanly) {
  const std::string full = "[PARLATRIX]\r\nHEADCOUNT=1\r\n[FACE000]\r\nNAME=x\r\n";
  for (size_t cut = 0; cut <= full.size(); ++cut) {
    Open(full.substr(0, cut));
    (void)ini_.ReadSection("PARLATRIX");
    (void)Value("HEADCOUNT");
    (void)ini_.ReadSection("FACE000");
    (void)Value("NAME");
    ini_.Close();
  }
  Open(full);
  EXPECT_TRUE(ini_.ReadSection("PARLATRIX"));
  EXPECT_EQ(Value("NAME"), "x");
}

}  // namespace
