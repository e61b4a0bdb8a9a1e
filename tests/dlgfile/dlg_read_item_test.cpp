#include <gtest/gtest.h>

#include <string>

#include "dlg_bytes.h"
#include "dlgfile/dlg_item_reader.h"
#include "model/dlg_file.h"
#include "support/debug_capture.h"
#include "support/document_builder.h"
#include "support/temp_dir.h"

namespace {

using dlgtest::FileSpec;
using dlgtest::Le32;

class ReadItemTest : public ::testing::Test {
 protected:
  void SetUp() override {
    CDlgFile doc;
    PlotPos plot = doc.AddPlot("scene", -1, -1);
    AddTestLine(doc, plot, 0, "zero", "Mina", "smile", "0.wav");
    AddTestLine(doc, plot, 41, "first\r\nsecond\r\n", "Joon", "frown", "41.wav");
    AddTestLine(doc, plot, 7, "ends twice\r\n\r\n", "", "", "");
    path_ = dir_.File("lines.dlg");
    ASSERT_EQ(doc.Save(path_.c_str()), 1);
    reader_.SetFileName(path_.c_str());
  }

  TempDir dir_;
  std::string path_;
  CDlgItemReader reader_;
  CDlgFile any_;
};

TEST_F(ReadItemTest, HighestIdIsFoundWithAllFields) {
  CDlgItem line;
  ASSERT_TRUE(any_.ReadItem(path_.c_str(), 41, line));
  EXPECT_EQ(line.GetID(), 41);
  EXPECT_EQ(line.GetPlotIndex(), 0);
  EXPECT_STREQ(line.GetSpeaker().c_str(), "Joon");
  EXPECT_STREQ(line.GetExpression().c_str(), "frown");
  EXPECT_STREQ(line.GetSound().c_str(), "41.wav");
  EXPECT_STREQ(line.GetText().c_str(), "first\r\nsecond\r\n");
}

TEST_F(ReadItemTest, OnePastTheHighestAndNegativeIdsAreError1) {
  DebugCapture capture;
  CDlgItem line;
  EXPECT_FALSE(any_.ReadItem(path_.c_str(), 42, line));
  EXPECT_FALSE(any_.ReadItem(path_.c_str(), -1, line));
  ASSERT_EQ(capture.lines().size(), 2u);
  EXPECT_EQ(capture.lines()[0],
            "CDlgFile::ReadItem() Error (1) : Index is invalid or overflow(42)!\n");
  EXPECT_EQ(capture.lines()[1],
            "CDlgFile::ReadItem() Error (1) : Index is invalid or overflow(-1)!\n");
}

TEST_F(ReadItemTest, HoleIsError2AndSetsTheIdToMinusOneOnly) {
  DebugCapture capture;
  CDlgItem line;
  line.SetID(5);
  line.SetText("caller's");
  EXPECT_FALSE(any_.ReadItem(path_.c_str(), 3, line));
  EXPECT_EQ(line.GetID(), -1);
  EXPECT_STREQ(line.GetText().c_str(), "caller's");
  ASSERT_EQ(capture.lines().size(), 1u);
  EXPECT_EQ(capture.lines()[0], "CDlgFile::ReadItem() Error (2) : Index is invalid (3)!\n");
}

TEST_F(ReadItemTest, MissingFileIsError0) {
  DebugCapture capture;
  CDlgItem line;
  const std::string missing = dir_.File("missing.dlg");
  EXPECT_FALSE(any_.ReadItem(missing.c_str(), 0, line));
  ASSERT_EQ(capture.lines().size(), 1u);
  EXPECT_EQ(capture.lines()[0],
            "CDlgFile::ReadItem() Error (0) : File not found(" + missing + ")!\n");
}

TEST_F(ReadItemTest, EmptyDocumentHasNoEntriesSoEveryIdIsError1) {
  CDlgFile empty;
  const std::string path = dir_.File("empty.dlg");
  ASSERT_EQ(empty.Save(path.c_str()), 1);
  DebugCapture capture;
  CDlgItem line;
  EXPECT_FALSE(any_.ReadItem(path.c_str(), 0, line));
  ASSERT_EQ(capture.lines().size(), 1u);
  EXPECT_EQ(capture.lines()[0],
            "CDlgFile::ReadItem() Error (1) : Index is invalid or overflow(0)!\n");
}

TEST_F(ReadItemTest, FileOf88BytesOrFewerReadsAsAnIndexOfNoEntries) {
  std::string bytes = ReadFileBytes(path_);
  bytes.resize(88);
  WriteFileBytes(path_, bytes);
  DebugCapture capture;
  CDlgItem line;
  EXPECT_FALSE(any_.ReadItem(path_.c_str(), 0, line));
  EXPECT_EQ(capture.lines().at(0).find("Error (1)") != std::string::npos, true);
}

TEST_F(ReadItemTest, ForeignFileIsNotRejectedByItsSignature) {
  std::string bytes = ReadFileBytes(path_);
  bytes.replace(0, 40, std::string(40, 'Z'));
  WriteFileBytes(path_, bytes);
  CDlgItem line;
  EXPECT_TRUE(any_.ReadItem(path_.c_str(), 7, line));
}

TEST_F(ReadItemTest, RecordLengthBeyondTheFileIsReportedAsDamaged) {
  std::string bytes = ReadFileBytes(path_);
  const int32_t index = dlgtest::ReadLe32(bytes, 80);
  bytes.replace(dlgtest::ReadLe32(bytes, index + 4), 4, Le32(0x7FFFFFF0));
  WriteFileBytes(path_, bytes);
  DebugCapture capture;
  CDlgItem line;
  EXPECT_FALSE(any_.ReadItem(path_.c_str(), 0, line));
  EXPECT_EQ(line.GetID(), -1);
  ASSERT_EQ(capture.lines().size(), 1u);
  EXPECT_EQ(capture.lines()[0], "CDlgFile::ReadItem() Error (3) : Record is damaged(0)!\n");
}

TEST_F(ReadItemTest, EntryCutOffOrPointingBeforeTheFileIsError2) {
  std::string bytes = ReadFileBytes(path_);
  const int32_t index = dlgtest::ReadLe32(bytes, 80);
  bytes.replace(index + 4, 4, Le32(-100));
  WriteFileBytes(path_, bytes);
  DebugCapture capture;
  CDlgItem line;
  EXPECT_FALSE(any_.ReadItem(path_.c_str(), 0, line));
  bytes.replace(80, 4, Le32(static_cast<int32_t>(bytes.size()) - 4));  // entry 41 past the end
  WriteFileBytes(path_, bytes);
  EXPECT_FALSE(any_.ReadItem(path_.c_str(), 41, line));
  ASSERT_EQ(capture.lines().size(), 2u);
  EXPECT_EQ(capture.lines()[0], "CDlgFile::ReadItem() Error (2) : Index is invalid (0)!\n");
  EXPECT_EQ(capture.lines()[1], "CDlgFile::ReadItem() Error (2) : Index is invalid (41)!\n");
}

TEST_F(ReadItemTest, ReaderCleansTextForOneDisplayField) {
  std::string text;
  ASSERT_TRUE(reader_.GetItemText(41, text));
  EXPECT_EQ(text, "first\nsecond");
  ASSERT_TRUE(reader_.GetItemText(7, text));
  EXPECT_EQ(text, "ends twice\n");
  EXPECT_EQ(reader_.GetItemTextOrEmpty(0), "zero");
}

TEST_F(ReadItemTest, ReaderGivesFieldsAsStoredInParameterOrder) {
  std::string text, sound, speaker, expression;
  ASSERT_TRUE(reader_.GetItemFields(41, text, sound, speaker, expression));
  EXPECT_EQ(text, "first\r\nsecond\r\n");
  EXPECT_EQ(sound, "41.wav");
  EXPECT_EQ(speaker, "Joon");
  EXPECT_EQ(expression, "frown");
}

TEST_F(ReadItemTest, ReaderFailuresLeaveEveryOutputEmpty) {
  DebugCapture capture;
  std::string text = "x", sound = "x", speaker = "x", expression = "x";
  ASSERT_TRUE(reader_.GetItemText(0, text));
  EXPECT_FALSE(reader_.GetItemText(3, text));
  EXPECT_EQ(text, "");
  EXPECT_FALSE(reader_.GetItemFields(42, text, sound, speaker, expression));
  EXPECT_EQ(text + sound + speaker + expression, "");
  EXPECT_EQ(reader_.GetItemTextOrEmpty(0), "zero");
  EXPECT_EQ(reader_.GetItemTextOrEmpty(-1), "");
  const CDlgItem& line = reader_.FetchItem(5);
  EXPECT_EQ(line.GetID(), -1);
  EXPECT_TRUE(line.GetText().IsEmpty());
  EXPECT_TRUE(line.GetSpeaker().IsEmpty());
}

TEST_F(ReadItemTest, ReaderReadsTheFileAgainOnEveryCall) {
  EXPECT_EQ(reader_.GetItemTextOrEmpty(0), "zero");
  CDlgFile doc;
  PlotPos plot = doc.AddPlot("scene", -1, -1);
  AddTestLine(doc, plot, 0, "changed", "", "", "");
  ASSERT_EQ(doc.Save(path_.c_str()), 1);
  EXPECT_EQ(reader_.GetItemTextOrEmpty(0), "changed");
}

}  // namespace
