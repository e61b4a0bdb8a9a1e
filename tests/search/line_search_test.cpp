// Finding lines: fields, document order, ASCII case folding only, byte-exact matching in
// single-byte-safe and paired-byte code pages.
#include "search/line_search.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "support/document_builder.h"

namespace {

// (plot index, row, ID) of each hit.
std::vector<std::vector<int>> Found(const CDlgFile& document, const std::string& needle,
                                    unsigned fields) {
  SearchOptions options;
  options.fields = fields;
  std::vector<std::vector<int>> found;
  for (const SearchHit& hit : FindLines(document, needle, options)) {
    found.push_back({hit.plotIndex, hit.row, hit.line->value.GetID()});
  }
  return found;
}

TEST(LineSearch, FindsInTheChosenFieldsInDocumentOrder) {
  CDlgFile document;
  PlotPos first =
      AddTestPlot(document, "one", 0, 100,
                  {{"Tom", "", "tom.wav", "Hello there"}, {"민준", "", "", "안녕 hello"}});
  AddTestPlot(document, "two", 100, 200, {{"TOMMY", "", "", "bye"}, {"Who", "", "", "HELLO!"}});
  // A line added after the others but placed first in plot one is found first in that plot.
  CDlgItem early;
  early.SetText("hello first");
  ASSERT_NE(document.AddItem(early, first, nullptr), nullptr);
  CQHList<LinePos>& members = document.GetPlot(first).members;
  const LinePos moved = members.GetTailPosition()->value;
  members.RemoveAt(members.GetTailPosition());
  members.InsertBefore(members.GetHeadPosition(), moved);

  EXPECT_EQ(Found(document, "hello", kSearchText),
            (std::vector<std::vector<int>>{{0, 0, 2}, {0, 1, 0}, {0, 2, 1}, {1, 1, 101}}));
  EXPECT_EQ(Found(document, "tom", kSearchSpeaker),
            (std::vector<std::vector<int>>{{0, 1, 0}, {1, 0, 100}}));
  EXPECT_EQ(Found(document, "TOM.W", kSearchSound), (std::vector<std::vector<int>>{{0, 1, 0}}));
  EXPECT_EQ(Found(document, "10", kSearchId),
            (std::vector<std::vector<int>>{{1, 0, 100}, {1, 1, 101}}));
  EXPECT_EQ(Found(document, "민준", kSearchText | kSearchSound), (std::vector<std::vector<int>>{}));
  EXPECT_EQ(Found(document, "민준", kSearchSpeaker), (std::vector<std::vector<int>>{{0, 2, 1}}));
  // Nothing to find with no text or no field; a line in two fields is listed once.
  EXPECT_TRUE(Found(document, "", kSearchText).empty());
  EXPECT_TRUE(Found(document, "hello", 0).empty());
  EXPECT_EQ(Found(document, "tom", kSearchSpeaker | kSearchSound).size(), 2u);
}

TEST(LineSearch, FoldsOnlyAsciiLettersAndRespectsPairedBytes) {
  // UTF-8 / EUC-KR: bytes from 0x80 up match only themselves.
  EXPECT_TRUE(ContainsBytes("ABC xyz", "c X", false));
  EXPECT_FALSE(ContainsBytes("\xC3\xA9", "\xC3\x89", false));  // é is not folded to É
  EXPECT_TRUE(ContainsBytes("[a]", "[A]", false));
  EXPECT_FALSE(ContainsBytes("@", "`", false));  // 0x40 and 0x60 differ by the case bit only
  EXPECT_FALSE(ContainsBytes("ab", "abc", false));
  // GBK: "中" is D6 D0; "乙" is D2 D2; "丂" is 81 40 ('@' as its second byte); "亞" in Big5 is
  // A8 C8. A match starts only at a character boundary, and a second byte is never folded.
  const std::string gbk = "\xD6\xD0\x81\x40" "a\xD2\xD2";
  EXPECT_TRUE(ContainsBytes(gbk, "\x81\x40", true));
  EXPECT_FALSE(ContainsBytes(gbk, "\x40", true));          // a second byte, not a character
  EXPECT_TRUE(ContainsBytes(gbk, "\x40", false));          // byte-wise it is there
  EXPECT_FALSE(ContainsBytes(gbk, "\xD0\x81", true));      // straddles two characters
  EXPECT_TRUE(ContainsBytes(gbk, "A\xD2\xD2", true));      // ASCII 'a' folds, as a character
  EXPECT_FALSE(ContainsBytes("\x81\x61", "\x81\x41", true));  // second byte 'a' is not 'A'
  EXPECT_TRUE(ContainsBytes("\x81\x61", "\x81\x61", true));
  EXPECT_TRUE(IsPairedByteCodeset("GBK"));
  EXPECT_TRUE(IsPairedByteCodeset("big5-hkscs"));
  EXPECT_TRUE(IsPairedByteCodeset("Shift_JIS"));
  EXPECT_FALSE(IsPairedByteCodeset("EUC-KR"));
  EXPECT_FALSE(IsPairedByteCodeset("UTF-8"));
}

}  // namespace
