#include "toolkit/file_filter.h"

#include <gtest/gtest.h>

#include <QStringList>

namespace {

using toolkit::ParseFilter;

TEST(FileFilter, PairsOfDescriptionAndPatternInOrder) {
  auto pairs = ParseFilter(toolkit::kDialogFilesFilter);
  ASSERT_EQ(pairs.size(), 2u);
  EXPECT_EQ(pairs[0].description, "Dialog Files (*.dlg)");
  EXPECT_EQ(pairs[0].patterns, "*.dlg");
  EXPECT_EQ(pairs[1].description, "All Files (*.*)");
  EXPECT_EQ(pairs[1].patterns, "*.*");
}

TEST(FileFilter, DescriptionWithoutPatternIsDropped) {
  auto pairs = ParseFilter("Text Files (*.txt)|*.txt|Broken");
  ASSERT_EQ(pairs.size(), 1u);
  EXPECT_EQ(pairs[0].patterns, "*.txt");
  EXPECT_TRUE(ParseFilter("").empty());
  EXPECT_TRUE(ParseFilter("||").empty());
}

TEST(FileFilter, QtFiltersMatchEveryFileForStarDotStar) {
  EXPECT_EQ(toolkit::ToQtNameFilters(toolkit::kTextFilesFilter),
            QStringList({"Text Files (*.txt)", "All Files (*)"}));
}

TEST(FileFilter, SeveralPatternsBecomeBlankSeparated) {
  EXPECT_EQ(toolkit::ToQtNameFilters("Texts|*.txt;*.log||"), QStringList({"Texts (*.txt *.log)"}));
}

}  // namespace
