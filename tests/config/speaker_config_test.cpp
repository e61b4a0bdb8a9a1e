#include "config/speaker_config.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "config/ini_file.h"
#include "support/debug_capture.h"
#include "support/temp_dir.h"

namespace {

struct Speaker {
  std::string name;
  std::vector<std::string> expressions;
  bool operator==(const Speaker& other) const {
    return name == other.name && expressions == other.expressions;
  }
};

std::vector<Speaker> Flatten(const CQHList<SpeakerEntry>& entries) {
  std::vector<Speaker> out;
  for (auto* pos = entries.GetHeadPosition(); pos != nullptr;) {
    const SpeakerEntry& entry = entries.GetNext(pos);
    Speaker speaker{entry.name, {}};
    for (auto* e = entry.expressions.GetHeadPosition(); e != nullptr;) {
      speaker.expressions.push_back(entry.expressions.GetNext(e));
    }
    out.push_back(speaker);
  }
  return out;
}

// The speakers of examples/Parlatrix.ini (UTF-8).
const std::vector<Speaker> kExampleSpeakers = {
    {"\xEB\xAF\xBC\xEC\xA4\x80",  // 민준
     {"\xEA\xB8\xB0\xEB\xB3\xB8", "\xEC\x9B\x83\xEC\x9D\x8C", "\xEB\x86\x80\xEB\x9E\x8C"}},
    {"\xEC\x84\x9C\xEC\x97\xB0",  // 서연
     {"\xEA\xB8\xB0\xEB\xB3\xB8", "\xEC\x9B\x83\xEC\x9D\x8C", "\xED\x99\x94\xEB\x82\xA8",
      "\xEC\x8A\xAC\xED\x94\x94"}},
};

class SpeakerConfig : public ::testing::Test {
 protected:
  // Writes Parlatrix.ini into the current (temporary) folder and loads it from there.
  bool Load(const std::string& bytes) {
    WriteFileBytes(kSpeakerConfigName, bytes);
    return LoadSpeakerConfig(entries_);
  }
  std::vector<Speaker> Speakers() const { return Flatten(entries_); }

  TempDir dir_;
  ScopedCurrentDir cwd_{dir_.path()};
  CQHList<SpeakerEntry> entries_;
  DebugCapture capture_;
};

// A file with the given header, face table and speaker sections.
std::string Config(const std::string& headCount, const std::string& faces,
                   const std::string& speakers) {
  return "[PARLATRIX]\nHEADCOUNT=" + headCount + "\n[FACE]\n" + faces + speakers;
}

TEST_F(SpeakerConfig, ExampleFileLoadsBothSpeakersWithTheirExpressions) {
  ASSERT_TRUE(Load(ReadFileBytes(PARLATRIX_SOURCE_DIR "/examples/Parlatrix.ini")));
  EXPECT_EQ(Speakers(), kExampleSpeakers);
  EXPECT_TRUE(capture_.lines().empty());
}

TEST_F(SpeakerConfig, LooksInTheCurrentDirectoryOnly) {
  EXPECT_FALSE(LoadSpeakerConfig(entries_));
  EXPECT_EQ(entries_.GetCount(), 0);
  ASSERT_EQ(capture_.lines().size(), 1u);
  EXPECT_EQ(
      capture_.lines()[0],
      "CIniFile::OpenFileRead() Error (0) : Could not open file for read : <Parlatrix.ini>\n");
}

TEST_F(SpeakerConfig, MissingHeadCountOrFaceCountLoadsNothing) {
  EXPECT_FALSE(Load("[PARLATRIX]\n[FACE]\nFACECOUNT=0\n[FACE000]\nNAME=A\nCOUNT=0\n"));
  EXPECT_FALSE(Load(Config("1", "FACE=x\n", "[FACE000]\nNAME=A\nCOUNT=0\n")));
  EXPECT_EQ(entries_.GetCount(), 0);
}

TEST_F(SpeakerConfig, HeadCountWithSpaceBeforeEqualsIsNotFound) {
  EXPECT_FALSE(Load("[PARLATRIX]\nHEADCOUNT =1\n[FACE]\nFACECOUNT=0\n[FACE000]\nNAME=A\n"));
  EXPECT_EQ(entries_.GetCount(), 0);
}

TEST_F(SpeakerConfig, LowerCaseKeysAndSectionsMatch) {
  ASSERT_TRUE(
      Load("[parlatrix]\nheadcount=1\n[face]\nfacecount=1\nface=smile\n"
           "[face000]\nname=A\ncount=1\nface=0\n"));
  EXPECT_EQ(Speakers(), (std::vector<Speaker>{{"A", {"smile"}}}));
}

TEST_F(SpeakerConfig, FaceCountBeforeItsSectionIsNotFound) {
  EXPECT_FALSE(
      Load("[PARLATRIX]\nFACECOUNT=1\nHEADCOUNT=1\n[FACE]\nFACE=x\n"
           "[FACE000]\nNAME=A\nCOUNT=0\n"));
  EXPECT_EQ(entries_.GetCount(), 0);
}

TEST_F(SpeakerConfig, MissingSpeakerSectionKeepsEarlierSpeakersButStops) {
  EXPECT_FALSE(Load(Config("3", "FACECOUNT=1\nFACE=smile\n",
                           "[FACE000]\nNAME=A\nCOUNT=1\nFACE=0\n"
                           "[FACE001]\nNAME=B\nCOUNT=0\n"
                           "[FACE003]\nNAME=D\nCOUNT=0\n")));
  EXPECT_EQ(Speakers(), (std::vector<Speaker>{{"A", {"smile"}}, {"B", {}}}));
  EXPECT_EQ(capture_.lines().back(),
            "CIniFile::ReadSection() Error(0) : Reach the end of the file in reading section "
            "<FACE002>\n");
}

TEST_F(SpeakerConfig, TooFewFaceLinesRunOnIntoSpeakerSections) {
  // The table takes FACE000's "FACE=0" as its second name, so FACE000 has been passed.
  EXPECT_FALSE(
      Load(Config("1", "FACECOUNT=2\nFACE=smile\n", "[FACE000]\nNAME=A\nCOUNT=1\nFACE=0\n")));
  EXPECT_EQ(entries_.GetCount(), 0);
  // With the speaker section repeated, the second name shows up as an expression.
  entries_.RemoveAll();
  ASSERT_TRUE(Load(Config("1", "FACECOUNT=2\nFACE=smile\n",
                          "[FACE000]\nFACE=zero\n[FACE000]\nNAME=A\nCOUNT=2\nFACE=1\nFACE=0\n")));
  EXPECT_EQ(Speakers(), (std::vector<Speaker>{{"A", {"zero", "smile"}}}));
}

TEST_F(SpeakerConfig, NameIsCutTo255Bytes) {
  ASSERT_TRUE(Load(Config("1", "FACECOUNT=1\nFACE=" + std::string(300, 'f') + "\n",
                          "[FACE000]\nNAME=" + std::string(300, 'n') + "\nCOUNT=1\nFACE=0\n")));
  EXPECT_EQ(Speakers(), (std::vector<Speaker>{{std::string(255, 'n'), {std::string(255, 'f')}}}));
}

TEST_F(SpeakerConfig, ScrambledFileWithCrLfLeavesACrInEveryName) {
  std::string scrambled(1, '\x80');
  for (char c : Config("1", "FACECOUNT=1\r\nFACE=smile\r\n",
                       "[FACE000]\r\nNAME=A\r\nCOUNT=1\r\nFACE=0\r\n")) {
    scrambled.push_back(static_cast<char>(c ^ kIniScrambleKey));
  }
  ASSERT_TRUE(Load(scrambled));
  EXPECT_EQ(Speakers(), (std::vector<Speaker>{{"A\r", {"smile\r"}}}));
}

TEST_F(SpeakerConfig, PlainFileWithCrLfGivesCleanNames) {
  ASSERT_TRUE(Load(Config("1", "FACECOUNT=1\r\nFACE=smile\r\n",
                          "[FACE000]\r\nNAME=A\r\nCOUNT=1\r\nFACE=0\r\n")));
  EXPECT_EQ(Speakers(), (std::vector<Speaker>{{"A", {"smile"}}}));
}

TEST_F(SpeakerConfig, FirstByte0x80MakesAPlainFileUnreadable) {
  EXPECT_FALSE(Load("\x80" + Config("1", "FACECOUNT=0\n", "[FACE000]\nNAME=A\nCOUNT=0\n")));
  EXPECT_EQ(entries_.GetCount(), 0);
}

TEST_F(SpeakerConfig, RepeatedIndicesAndCountZero) {
  ASSERT_TRUE(Load(Config("2", "FACECOUNT=2\nFACE=a\nFACE=b\n",
                          "[FACE000]\nNAME=X\nCOUNT=3\nFACE=1\nFACE=1\nFACE=0\n"
                          "[FACE001]\nNAME=Y\nCOUNT=0\n")));
  EXPECT_EQ(Speakers(), (std::vector<Speaker>{{"X", {"b", "b", "a"}}, {"Y", {}}}));
}

TEST_F(SpeakerConfig, KeptNamesShareTheTableAndA0xFFCostsOnlyTheItemBeingRead) {
  // Memory follows the FACE lines, not the names' lengths: every use of a name is the table's
  // one copy. (A 21 MB file of short FACE lines naming 255-byte names once cost 800 MiB.)
  const std::string longName(255, 'n');
  std::string speakers;
  for (int s = 0; s < 2; ++s) {
    speakers += "[FACE00" + std::to_string(s) + "]\nNAME=S\nCOUNT=1000\n";
    for (int j = 0; j < 1000; ++j) speakers += "FACE=0\n";
  }
  ASSERT_TRUE(Load(Config("2", "FACECOUNT=1\nFACE=" + longName + "\n", speakers)));
  ASSERT_EQ(entries_.GetCount(), 2);
  const SpeakerEntry& first = entries_.GetHeadPosition()->value;
  const std::string* shared = &first.expressions.GetHeadPosition()->value.str();
  EXPECT_EQ(*shared, longName);
  for (auto* s = entries_.GetHeadPosition(); s != nullptr; s = s->next) {
    ASSERT_EQ(s->value.expressions.GetCount(), 1000);
    for (auto* e = s->value.expressions.GetHeadPosition(); e != nullptr; e = e->next) {
      ASSERT_EQ(&e->value.str(), shared);
    }
  }
  // A stray 0xFF in the second name costs that name (cut there) and nothing after it.
  entries_.RemoveAll();
  ASSERT_TRUE(Load(Config("2", "FACECOUNT=2\nFACE=a\nFACE=b\xFF" "c\n",
                          "[FACE000]\nNAME=X\nCOUNT=1\nFACE=1\n"
                          "[FACE001]\nNAME=Y\nCOUNT=1\nFACE=0\n")));
  EXPECT_EQ(Speakers(), (std::vector<Speaker>{{"X", {"b"}}, {"Y", {"a"}}}));
}

TEST_F(SpeakerConfig, IndicesOutsideTheTableOrBeyondFaceCountGiveEmptyNames) {
  ASSERT_TRUE(
      Load(Config("1", "FACECOUNT=1\nFACE=a\n",
                  "[FACE000]\nNAME=X\nCOUNT=5\nFACE=0\nFACE=5\nFACE=99\nFACE=100\nFACE=-1\n")));
  EXPECT_EQ(Speakers(), (std::vector<Speaker>{{"X", {"a", "", "", "", ""}}}));
}

TEST_F(SpeakerConfig, FaceCountAbove100ReadsOnly100Names) {
  std::string faces = "FACECOUNT=150\n";
  for (int i = 0; i < 150; ++i) faces += "FACE=f" + std::to_string(i) + "\n";
  ASSERT_TRUE(Load(Config("1", faces, "[FACE000]\nNAME=X\nCOUNT=2\nFACE=99\nFACE=100\n")));
  EXPECT_EQ(Speakers(), (std::vector<Speaker>{{"X", {"f99", ""}}}));
}

TEST_F(SpeakerConfig, NameMissingAtTheEndGivesAnEmptyName) {
  ASSERT_TRUE(Load(Config("1", "FACECOUNT=0\n", "[FACE000]\n")));
  EXPECT_EQ(Speakers(), (std::vector<Speaker>{{"", {}}}));
}

TEST_F(SpeakerConfig, FaceLinesMissingAtTheEndEndTheTableWithOneReport) {
  EXPECT_FALSE(Load(Config("1", "FACECOUNT=3\nFACE=a\n", "")));
  // One report for the table, one for the missing speaker section: no report per missing name.
  EXPECT_EQ(capture_.lines().size(), 2u);
}

TEST_F(SpeakerConfig, HugeHeadCountStopsAtTheEndOfTheFile) {
  EXPECT_FALSE(Load(Config("2000000000", "FACECOUNT=0\n", "[FACE000]\nNAME=A\nCOUNT=0\n")));
  EXPECT_EQ(Speakers(), (std::vector<Speaker>{{"A", {}}}));
  EXPECT_EQ(capture_.lines().size(), 1u);
}

TEST_F(SpeakerConfig, HugeCountStopsAtTheEndOfTheFile) {
  ASSERT_TRUE(
      Load(Config("1", "FACECOUNT=1\nFACE=a\n", "[FACE000]\nNAME=A\nCOUNT=2000000000\nFACE=0\n")));
  EXPECT_EQ(Speakers(), (std::vector<Speaker>{{"A", {"a"}}}));
}

TEST_F(SpeakerConfig, AppendsToTheGivenEntries) {
  entries_.AddTail()->value.name = "earlier";
  ASSERT_TRUE(Load(Config("1", "FACECOUNT=0\n", "[FACE000]\nNAME=A\nCOUNT=0\n")));
  EXPECT_EQ(Speakers(), (std::vector<Speaker>{{"earlier", {}}, {"A", {}}}));
}

TEST(SpeakerConfigPath, LoadsFromAGivenPath) {
  CQHList<SpeakerEntry> entries;
  ASSERT_TRUE(LoadSpeakerConfigFrom(PARLATRIX_SOURCE_DIR "/examples/Parlatrix.ini", entries));
  EXPECT_EQ(Flatten(entries), kExampleSpeakers);
}

}  // namespace
