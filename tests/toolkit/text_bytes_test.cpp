#include "toolkit/text_bytes.h"

#include <gtest/gtest.h>

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QTreeWidget>

namespace {

using namespace toolkit;

TEST(WidgetBytes, UneditedFieldGivesBackBytesTheCodePageCannotDecode) {
  QLineEdit edit;
  const std::string bytes = "name\xFF\x80";
  SetWidgetBytes(&edit, bytes);
  EXPECT_EQ(edit.text(), QString::fromUtf8("name\xEF\xBF\xBD\xEF\xBF\xBD"));
  EXPECT_EQ(GetWidgetBytes(&edit), bytes);
}

TEST(WidgetBytes, EditedFieldIsEncodedAfresh) {
  QLineEdit edit;
  SetWidgetBytes(&edit, "name\xFF");
  edit.setText(QString::fromUtf8("게임"));
  EXPECT_EQ(GetWidgetBytes(&edit), "게임");
}

TEST(WidgetBytes, FieldNeverShownThroughBytesIsEncoded) {
  QLabel label(QString::fromUtf8("버전 :"));
  EXPECT_EQ(GetWidgetBytes(&label), "버전 :");
}

TEST(WidgetLines, CrLfIsALineBreakInTheFieldAndComesBackAsCrLf) {
  QPlainTextEdit edit;
  SetWidgetLines(&edit, "one\r\ntwo");
  EXPECT_EQ(edit.toPlainText(), QStringLiteral("one\ntwo"));
  edit.setPlainText(QStringLiteral("one\ntwo\nthree"));
  EXPECT_EQ(GetWidgetLines(&edit), "one\r\ntwo\r\nthree");
}

TEST(WidgetLines, UneditedTextKeepsItsOwnLineEnds) {
  QPlainTextEdit edit;
  SetWidgetLines(&edit, "lone\rcr\xFF");
  EXPECT_EQ(GetWidgetLines(&edit), "lone\rcr\xFF");
}

TEST(ListEntries, EntryKeepsItsBytes) {
  QListWidget list;
  AddListEntry(&list, "plot\xFF");
  AddListEntry(&list, "情节");
  ASSERT_EQ(list.count(), 2);
  EXPECT_EQ(ListEntryBytes(list.item(0)), "plot\xFF");
  EXPECT_EQ(list.item(1)->text(), QString::fromUtf8("情节"));
  EXPECT_EQ(ListEntryBytes(list.item(1)), "情节");
}

TEST(ReportCells, CellKeepsItsBytesUntilItsTextChanges) {
  QTreeWidgetItem item;
  SetCellBytes(&item, 1, "a\r\nb\xFF");
  EXPECT_EQ(CellBytes(&item, 1), "a\r\nb\xFF");
  item.setText(1, QStringLiteral("new"));
  EXPECT_EQ(CellBytes(&item, 1), "new");
}

TEST(ComboPrefix, FirstEntryBeginningWithTheTextWithoutRegardToCase) {
  QComboBox combo;
  AddComboEntry(&combo, "TOMMY");
  AddComboEntry(&combo, "Tom");
  EXPECT_EQ(FindComboPrefix(&combo, "Tom"), 0);
  EXPECT_EQ(FindComboPrefix(&combo, "tommy"), 0);
  EXPECT_EQ(FindComboPrefix(&combo, "Tim"), -1);
  EXPECT_EQ(ComboEntryBytes(&combo, 1), "Tom");
  EXPECT_EQ(ComboEntryBytes(&combo, 2), "");
}

TEST(ComboPrefix, EmptyTextMatchesNoEntry) {
  QComboBox combo;
  AddComboEntry(&combo, "A");
  EXPECT_EQ(FindComboPrefix(&combo, ""), -1);
}

}  // namespace
