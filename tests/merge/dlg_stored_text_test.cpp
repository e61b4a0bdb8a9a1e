// The stored text form's parser on its own: what it takes, and for what it refuses, which line it
// names and why, in the order the checks of a member line run.
#include "merge/dlg_stored_text.h"

#include <gtest/gtest.h>

#include <climits>
#include <string>
#include <vector>

namespace {

const std::string kHead =
    "# dialogue file stored as text by dlgtool's git filter; not a .dlg file without it.\n"
    "# To get the .dlg: dlgtool git-install --store-text, then git checkout -- FILE "
    "(docs/git.md)\n"
    "version 104\n"
    "game \"Inn\"\n"
    "columns speaker 1, expression 0, sound 0\n"
    "multi-line 0\n";

std::string Plot(const std::string& name, const std::string& members) {
  return "\nplot \"" + name +
         "\"\nrange [0, 10)\n"
         "ID\tspeaker\texpression\tsound\ttext\n"
         "--\t-------\t----------\t-----\t----\n" +
         members;
}

std::string ParseFailure(const std::string& text) {
  MergeDocument doc;
  std::string storage;
  const platform::Status status = ParseStoredText(text, doc, storage);
  return status ? "ok" : status.message;
}

TEST(StoredTextParse, TakesPlainAndEscapedValuesAlike) {
  const std::string text =
      kHead + Plot("Intro", "0\tAnn\t\t\tHi there\n2\tB\\\\o\tsm\\tile\tb.wav\tYo\\r\\n\\x01\"\n") +
      Plot("Empty", "");
  MergeDocument doc;
  std::string storage;
  ASSERT_TRUE(ParseStoredText(text, doc, storage).ok);
  ASSERT_EQ(doc.plots.size(), 2u);
  const std::vector<MergeLine>& lines = doc.plots[0].lines;
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[0].speaker, "Ann");
  EXPECT_EQ(lines[0].expression, "");
  EXPECT_EQ(lines[0].text, "Hi there");
  EXPECT_EQ(lines[1].id, 2);
  EXPECT_EQ(lines[1].speaker, "B\\o");
  EXPECT_EQ(lines[1].expression, "sm\tile");
  EXPECT_EQ(lines[1].sound, "b.wav");
  EXPECT_EQ(lines[1].text, "Yo\r\n\x01\"");
  EXPECT_TRUE(doc.plots[1].lines.empty());
  // What it parsed renders to the same text: nothing was taken from the wrong place.
  EXPECT_EQ(RenderStoredText(doc), text);
}

// Line 12 is the first member line of the first plot.
TEST(StoredTextParse, NamesTheLineAndTheFault) {
  const struct {
    std::string members;
    std::string failure;
  } cases[] = {
      {"0\tAnn\t\t\n", "line 12: expected five fields separated by TABs"},
      {"0\tAnn\t\t\tHi\tmore\n", "line 12: more than five fields"},
      {"0\tAnn\t\t\tend \\\tmore\n", "line 12: more than five fields"},
      {"01\tAnn\t\t\tHi\n", "line 12: expected the line's ID"},
      {"\x01"
       "1\tAnn\t\t\tHi\n",
       "line 12: expected the line's ID"},
      {"1\tAnn\t\t\tHi\n2\tBo\t\t\tYo\n1\tCy\t\t\tOh\n", "line 14: a second line with this ID"},
      {"1\tAnn\t\t\tH\x01i\n", "line 12: a field has a bad escape"},
      {"1\tAnn\t\t\tH\x7fi\n", "line 12: a field has a bad escape"},
      {"1\tAnn\t\t\tH\\qi\n", "line 12: a field has a bad escape"},
      {"1\tAnn\t\t\tHi\\\n", "line 12: a field has a bad escape"},
      {"1\tAnn\t\t\tHi\\x4\n", "line 12: a field has a bad escape"},
      {"1\tA\\\x01nn\t\t\tHi\n", "line 12: a field has a bad escape"},
      // A repeated ID is named before a fault later in the same line, as the field count before
      // either.
      {"1\tAnn\t\t\tHi\n1\tBo\t\t\tY\x01o\n", "line 13: a second line with this ID"},
      {"1\tAnn\t\t\tHi\n1\tBo\t\tY\x01o\n", "line 13: expected five fields separated by TABs"},
      {"1\tAnn\t\t\tHi", "line 12: the text ends without a line break"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ParseFailure(kHead + Plot("Intro", c.members)), c.failure) << c.members;
  }
  EXPECT_EQ(ParseFailure(kHead + Plot("A", "1\tAnn\t\t\tHi\n") + Plot("B", "1\tBo\t\t\tYo\n")),
            "line 18: a second line with this ID");
  EXPECT_EQ(ParseFailure(kHead + Plot("A", "") + Plot("A", "")),
            "line 13: a second plot of this name");
}

// Many more lines than the ID table is first sized for (short lines), IDs at both ends of the
// range, and a repeat found only after the table has grown several times.
TEST(StoredTextParse, RepeatedIdFoundAmongManyShortLines) {
  std::string members;
  for (int id = 0; id < 20000; ++id) members += std::to_string(id * 7 - 70000) + "\t\t\t\t\n";
  members += std::to_string(INT32_MIN) + "\t\t\t\t\n" + std::to_string(INT32_MAX) + "\t\t\t\t\n";
  MergeDocument doc;
  std::string storage;
  const std::string text = kHead + Plot("Many", members);  // the lines view it
  ASSERT_TRUE(ParseStoredText(text, doc, storage).ok);
  ASSERT_EQ(doc.plots[0].lines.size(), 20002u);
  EXPECT_EQ(doc.plots[0].lines[19999].id, 19999 * 7 - 70000);
  EXPECT_EQ(doc.plots[0].lines[20001].id, INT32_MAX);

  const std::string repeated = members + std::to_string(12345 * 7 - 70000) + "\t\t\t\tagain\n";
  EXPECT_EQ(ParseFailure(kHead + Plot("Many", repeated)),
            "line " + std::to_string(11 + 20003) + ": a second line with this ID");
}

}  // namespace
