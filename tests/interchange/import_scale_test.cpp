// Import of many entries (the entry store grows many times over) and the one-pass joining of lines
// in a single-line document.
#include <gtest/gtest.h>

#include <string>

#include "model/dlg_file.h"
#include "support/temp_dir.h"

namespace {

class ImportScale : public ::testing::Test {
 protected:
  TempDir dir_;
  ScopedCurrentDir cwd_{dir_.path()};
  CDlgFile doc_;
};

TEST_F(ImportScale, ThousandsOfEntriesLandInTheirLinesAndTheLastOfAnIdWins) {
  PlotPos plot = doc_.AddPlot("p", -1, -1);
  doc_.SetMultiLine(1);
  std::string file;
  for (int id = 0; id < 3000; ++id) {
    CDlgItem line;
    line.SetID(id);
    ASSERT_NE(doc_.AddItem(line, plot, nullptr), nullptr);
    file += std::to_string(id) + "\r\ntext " + std::to_string(id) + "\r\n\r\n";
  }
  file += "7\r\nagain\r\n\r\n";
  WriteFileBytes("in.txt", file);
  ASSERT_TRUE(doc_.Import("in.txt"));
  EXPECT_EQ(std::string(doc_.GetItem(doc_.FindItem(0)).GetText()), "text 0");
  EXPECT_EQ(std::string(doc_.GetItem(doc_.FindItem(2999)).GetText()), "text 2999");
  EXPECT_EQ(std::string(doc_.GetItem(doc_.FindItem(7)).GetText()), "again");
}

TEST_F(ImportScale, SingleLineJoinDropsACrOnlyWhenTheNextByteBesidesTabsIsLf) {
  PlotPos plot = doc_.AddPlot("p", -1, -1);
  CDlgItem line;
  line.SetID(1);
  ASSERT_NE(doc_.AddItem(line, plot, nullptr), nullptr);
  // Gathered: "x\r\t" CR LF "\ty\r" CR LF "z": TABs go first, which turns "\r\t\r\n" into
  // "\r\r\n"; then the joining pairs and the LFs go, and the CRs of the texts stay.
  WriteFileBytes("in.txt", "1\r\nx\r\t\r\n\ty\r\r\nz\r\n\r\n");
  ASSERT_TRUE(doc_.Import("in.txt"));
  EXPECT_EQ(std::string(doc_.GetItem(doc_.FindItem(1)).GetText()), "x\ry\rz");
}

}  // namespace
