// ReadItem takes a short record in one read and a long one in two: both must give the same line,
// and a long record that the file cuts short, or whose buffer cannot be had, is damaged.
#include <gtest/gtest.h>

#include <string>

#include "model/dlg_file.h"
#include "platform/fault_injection.h"
#include "support/debug_capture.h"
#include "support/temp_dir.h"

namespace {

class ReadItemRecordSize : public ::testing::Test {
 protected:
  void SetUp() override {
    CDlgFile doc;
    PlotPos plot = doc.AddPlot("p", -1, -1);
    Add(doc, plot, 0, std::string(100, 'a'));
    Add(doc, plot, 1, std::string(20000, 'b') + "\r\nend");
    path_ = dir_.File("sizes.dlg");
    DebugCapture quiet;  // the long text draws the length warning
    ASSERT_EQ(doc.Save(path_.c_str()), 1);
  }
  static void Add(CDlgFile& doc, PlotPos plot, int id, const std::string& text) {
    CDlgItem line;
    line.SetID(id);
    line.SetSpeaker("Mina");
    line.SetText(text.c_str());
    ASSERT_NE(doc.AddItem(line, plot, nullptr), nullptr);
  }

  TempDir dir_;
  std::string path_;
  CDlgFile reader_;
};

TEST_F(ReadItemRecordSize, ShortAndLongRecordsComeBackWhole) {
  CDlgItem line;
  ASSERT_TRUE(reader_.ReadItem(path_.c_str(), 0, line));
  EXPECT_EQ(std::string(line.GetText()), std::string(100, 'a'));
  ASSERT_TRUE(reader_.ReadItem(path_.c_str(), 1, line));
  EXPECT_EQ(line.GetID(), 1);
  EXPECT_STREQ(line.GetSpeaker().c_str(), "Mina");
  EXPECT_EQ(std::string(line.GetText()), std::string(20000, 'b') + "\r\nend");
}

TEST_F(ReadItemRecordSize, LongRecordCutByTheEndOfTheFileIsDamaged) {
  std::string bytes = ReadFileBytes(path_);
  bytes.resize(bytes.size() - 100);
  WriteFileBytes(path_, bytes);
  DebugCapture capture;
  CDlgItem line;
  EXPECT_FALSE(reader_.ReadItem(path_.c_str(), 1, line));
  EXPECT_EQ(line.GetID(), -1);
  ASSERT_EQ(capture.lines().size(), 1u);
  EXPECT_EQ(capture.lines()[0], "CDlgFile::ReadItem() Error (3) : Record is damaged(1)!\n");
}

TEST_F(ReadItemRecordSize, LongRecordWithoutMemoryForItIsDamaged) {
  DebugCapture capture;
  CDlgItem line;
  platform::FailAllocationAfter(1);
  const bool read = reader_.ReadItem(path_.c_str(), 1, line);
  platform::ResetAllocationFaults();
  EXPECT_FALSE(read);
  EXPECT_EQ(line.GetID(), -1);
}

TEST(ReadItemOpen, FolderOpensButIsNoFileToReadFrom) {
  TempDir dir;
  DebugCapture capture;
  CDlgFile reader;
  CDlgItem line;
  EXPECT_FALSE(reader.ReadItem(dir.path().c_str(), 0, line));
  ASSERT_EQ(capture.lines().size(), 1u);
  EXPECT_EQ(capture.lines()[0],
            "CDlgFile::ReadItem() Error (0) : File not found(" + dir.path() + ")!\n");
}

}  // namespace
