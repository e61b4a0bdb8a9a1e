// Replacing found text: every occurrence, left to right, by the matching rules of find; the
// chosen fields only; a result that does not fit its field refuses the whole replace.
#include <gtest/gtest.h>

#include <string>

#include "search/line_search.h"
#include "support/document_builder.h"

namespace {

std::string Replaced(std::string text, const char* needle, const char* replacement,
                     bool paired = false, size_t* count = nullptr) {
  const size_t n = ReplaceBytes(text, needle, replacement, paired);
  if (count != nullptr) *count = n;
  return text;
}

TEST(LineReplace, EveryOccurrenceLeftToRightWithoutRescanningTheReplacement) {
  size_t count = 0;
  EXPECT_EQ(Replaced("aaa", "a", "aa", false, &count), "aaaaaa");
  EXPECT_EQ(count, 3u);
  EXPECT_EQ(Replaced("aaaa", "aa", "b", false, &count), "bb");
  EXPECT_EQ(count, 2u);
  EXPECT_EQ(Replaced("Hello HELLO", "hello", "bye"), "bye bye");
  EXPECT_EQ(Replaced("none", "x", "y", false, &count), "none");
  EXPECT_EQ(count, 0u);
  EXPECT_EQ(Replaced("cut", "cut", ""), "");
  EXPECT_EQ(Replaced("abc", "", "x"), "abc");
}

TEST(LineReplace, PairedBytesMatchOnlyAtCharacterBoundaries) {
  // GBK "\xB0\x41" ends in 'A': replacing "A" must not split the pair.
  const std::string text =
      "\xB0\x41"
      "A";
  size_t count = 0;
  EXPECT_EQ(Replaced(text, "A", "b", true, &count),
            "\xB0\x41"
            "b");
  EXPECT_EQ(count, 1u);
}

TEST(LineReplace, APlanTouchesTheChosenFieldsAndRefusesWhatDoesNotFit) {
  CDlgFile document;
  AddTestPlot(document, "A", 0, 10,
              {{"Tom", "", "tom.wav", "Tom says tom"}, {"Ann", "", "", "nothing"}});
  SearchOptions options;
  options.fields = kSearchText | kSearchSound;
  const std::vector<SearchHit> hits = FindLines(document, "tom", options);
  ReplacePlan plan = PlanReplace(hits, "tom", "Bo", options, {100, 100, 100});
  ASSERT_EQ(plan.edits.size(), 1u);
  EXPECT_EQ(plan.occurrences, 3u);
  EXPECT_EQ(plan.edits[0].after.text, "Bo says Bo");
  EXPECT_EQ(plan.edits[0].after.sound, "Bo.wav");
  EXPECT_EQ(plan.edits[0].after.speaker, "Tom");  // not chosen
  EXPECT_EQ(plan.edits[0].before.text, "Tom says tom");

  plan = PlanReplace(hits, "tom", "a long name", options, {100, 100, 10});
  EXPECT_TRUE(plan.edits.empty());
  EXPECT_EQ(plan.refusedId, 0);
  EXPECT_EQ(plan.refusedField, "sound");

  // Found only by ID: nothing to replace.
  options.fields = kSearchId;
  plan = PlanReplace(FindLines(document, "1", options), "1", "2", options, {100, 100, 100});
  EXPECT_TRUE(plan.edits.empty());
  EXPECT_EQ(plan.occurrences, 0u);
}

}  // namespace
