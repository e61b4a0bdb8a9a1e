// Script statistics: the counting rule against hand counts and against independent counters
// (Python's unicodedata, wc -w), the analysis since an earlier version, and check --max-length.
#include "exchange/stats.h"

#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <vector>

#include "../dlgtool/tool_run.h"
#include "exchange/word_count.h"
#include "peer_run.h"
#include "support/document_builder.h"
#include "support/temp_dir.h"

namespace {

using dlgtooltest::RunDlgtool;

exchange::TextCounts Count(const std::string& utf8) {
  exchange::TextCounts counts;
  exchange::CountUtf8(utf8, counts);
  return counts;
}

TEST(WordCount, TheDocumentedExamples) {
  struct Case {
    const char* text;
    long long words, ideographic, characters, withSpaces;
  };
  const Case cases[] = {
      {"", 0, 0, 0, 0},
      {"Hello, world!", 2, 0, 12, 13},
      {"don't stop", 2, 0, 9, 10},
      {"a well-known fact", 3, 0, 15, 17},
      {"a--b 'quoted' end-", 4, 0, 16, 18},    // a, b, quoted, end
      {"Line one\r\nline two", 4, 0, 14, 16},  // CR LF: white space, not characters
      {"\xEC\x95\x88\xEB\x85\x95 \xEC\x84\xB8\xEC\x83\x81", 2, 0, 4, 5},  // 안녕 세상
      {"\xE4\xBD\xA0\xE5\xA5\xBD\xEF\xBC\x81", 2, 2, 3, 3},               // 你好！
      {"\xE3\x81\x93\xE3\x82\x8C\xE3\x81\xAF\xE3\x83\x9A\xE3\x83\xB3", 5, 5, 5, 5},  // これはペン
      {"ok \xF0\x9F\x98\x80 3.5", 3, 0, 6, 8},  // emoji is a symbol; 3.5 is two numbers
      {"caf\x65\xCC\x81 x", 2, 0, 6, 7},        // a combining accent stays in its word
      {"\xFF\xFE", 0, 0, 2, 2},                 // invalid bytes: characters, no words
      {"tab\there\x01", 2, 0, 7, 7},
  };
  for (const Case& c : cases) {
    const exchange::TextCounts counts = Count(c.text);
    EXPECT_EQ(counts.words, c.words) << c.text;
    EXPECT_EQ(counts.ideographic, c.ideographic) << c.text;
    EXPECT_EQ(counts.characters, c.characters) << c.text;
    EXPECT_EQ(counts.charactersWithSpaces, c.withSpaces) << c.text;
  }
}

TEST(WordCount, LengthUnits) {
  const std::string text = "a\xF0\x9F\x98\x80\r\n\xEA\xB0\x80";  // a, emoji, CR LF, 가
  EXPECT_EQ(exchange::TextLength(text, 9, exchange::LengthUnit::kCharacters), 5);
  EXPECT_EQ(exchange::TextLength(text, 9, exchange::LengthUnit::kUtf16), 6);
  EXPECT_EQ(exchange::TextLength(text, 9, exchange::LengthUnit::kBytes), 9);
}

// The same rule written again in Python over unicodedata, blind to our tables and decoder.
constexpr char kPythonCounter[] = R"PY(
import json, sys, unicodedata
def kind(ch):
    cat = unicodedata.category(ch)
    if cat == "Cc": return "control"
    if ch.isspace(): return "space"
    name = unicodedata.name(ch, "")
    if name.startswith(("CJK UNIFIED IDEOGRAPH", "CJK COMPATIBILITY IDEOGRAPH", "HIRAGANA")) \
            or "KATAKANA" in name:
        return "ideo"
    if cat[0] in "LMN" or cat == "Pc": return "word"
    return "other"
JOINERS = "'\u2019-\u2010\u2011"
words = chars = spaced = 0
for text in open(sys.argv[1], "rb").read().split(b"\0")[:-1]:
    s = text.decode("utf-8")
    kinds = [kind(c) for c in s]
    for i, (c, k) in enumerate(zip(s, kinds)):
        if k != "control": spaced += 1
        if k not in ("control", "space"): chars += 1
        if k == "ideo": words += 1
        if k == "word":
            prev = kinds[i - 1] if i > 0 else None
            joined = (i >= 2 and s[i - 1] in JOINERS and kinds[i - 2] == "word"
                      and not (i >= 3 and s[i - 2] in JOINERS))
            if prev != "word" and not joined: words += 1
print(json.dumps({"words": words, "characters": chars, "characters_with_spaces": spaced}))
)PY";

std::string JsonField(const std::string& json, const std::string& name) {
  const size_t at = json.find("\"" + name + "\": ");
  if (at == std::string::npos) return "?";
  const size_t start = at + name.size() + 4;
  return json.substr(start, json.find_first_of(",}", start) - start);
}

TEST(StatsPeers, TotalsMatchPythonUnicodedataOverMixedScripts) {
  TempDir dir;
  const std::vector<std::string> texts = {
      "Hello there, traveller. Don't go north-east tonight!",
      "\xEC\x95\x88\xEB\x85\x95\xED\x95\x98\xEC\x84\xB8\xEC\x9A\x94, \xEB\xAF\xBC\xEC\xA4\x80 "
      "\xEC\x94\xA8.\r\n\xEB\x8B\xA4\xEC\x9D\x8C\xEC\x97\x90 \xEB\xB4\x90\xEC\x9A\x94.",
      "\xE4\xBD\xA0\xE5\xA5\xBD\xEF\xBC\x8C\xE6\xAC\xA2\xE8\xBF\x8E\xE6\x9D\xA5\xE5\x88\xB0"
      "\xE8\x8C\xB6\xE9\xA6\x86\xE3\x80\x82",
      "\xE3\x81\x8A\xE8\x8C\xB6\xE3\x82\x92\xE3\x81\xA9\xE3\x81\x86\xE3\x81\x9E\xE3\x80\x82"
      "\xE3\x82\xB3\xE3\x83\xBC\xE3\x83\x92\xE3\x83\xBC",
      "Mixed \xE4\xB8\xAD\xE6\x96\x87 and \xED\x95\x9C\xEA\xB5\xAD\xEC\x96\xB4 "
      "\xF0\x9F\x8E\x89 v2.0_beta",
      "",
      "\t  \r\n",
      "na\xC3\xAF"
      "ve r\xC3\xA9sum\xC3\xA9 \xE2\x80\x94 it\xE2\x80\x99s fine",
  };
  CDlgFile doc;
  const PlotPos plot = AddTestPlot(doc, "p", 0, 100, {});
  std::string joined;
  for (const std::string& text : texts) {
    AddTestLine(doc, plot, -1, text.c_str());
    joined += text + '\0';
  }
  ASSERT_NE(doc.Save((dir.path() + "/s.dlg").c_str()), 0);
  std::ofstream(dir.path() + "/texts.bin", std::ios::binary) << joined;

  const exchangetest::PeerRun python =
      exchangetest::RunPython(dir.path(), kPythonCounter, "texts.bin");
  ASSERT_EQ(python.status, 0) << python.err;
  const dlgtooltest::ToolRun ours = RunDlgtool(
      dir.path(), {"stats", "s.dlg", "--by", "total", "--format", "json", "--encoding", "UTF-8"});
  ASSERT_EQ(ours.status, 0) << ours.err;
  for (const char* field : {"words", "characters", "characters_with_spaces"}) {
    EXPECT_EQ(JsonField(ours.out, field), JsonField(python.out, field)) << field;
  }
}

TEST(StatsPeers, LatinWordsMatchWcOnTheRecordingExport) {
  TempDir dir;
  CDlgFile doc;
  const PlotPos plot = AddTestPlot(doc, "p", 0, 100, {});
  for (const char* text : {"The quick brown fox", "jumps over the lazy dog.", "Seven  spaces  here",
                           "Tabs\tand\tmore", "One"}) {
    AddTestLine(doc, plot, -1, text);
  }
  ASSERT_NE(doc.Save((dir.path() + "/s.dlg").c_str()), 0);
  // The recording form is "ID TAB text" per line: wc counts every ID as one word more.
  ASSERT_EQ(RunDlgtool(dir.path(), {"export", "s.dlg", "r.txt", "--recording"}).status, 0);
  const exchangetest::PeerRun wc = exchangetest::RunIn(dir.path(), "wc -w < r.txt");
  ASSERT_EQ(wc.status, 0);
  const dlgtooltest::ToolRun ours =
      RunDlgtool(dir.path(), {"stats", "s.dlg", "--by", "total", "--format", "json"});
  ASSERT_EQ(ours.status, 0) << ours.err;
  EXPECT_EQ(std::stol(JsonField(ours.out, "words")) + 5, std::stol(wc.out));
}

TEST(StatsCommand, GroupsFormatsAndEstimates) {
  TempDir dir;
  SaveTestDocument(dir.path() + "/s.dlg", "g",
                   {{"One", 0, 10, {{"Ann", "", "a.wav", "one two three"}, {"Bo", "", "", ""}}},
                    {"Two", 10, 20, {{"Ann", "", "b.wav", "\xE4\xBD\xA0\xE5\xA5\xBD"}}}});
  const dlgtooltest::ToolRun json =
      RunDlgtool(dir.path(), {"stats", "s.dlg", "--by", "plot-speaker", "--format", "json", "--wpm",
                              "60", "--cpm", "120", "--encoding", "UTF-8"});
  ASSERT_EQ(json.status, 0) << json.err;
  // 3 words at 60 a minute and 2 characters at 120 a minute.
  EXPECT_EQ(
      json.out,
      "{\"total\": {\"lines\": 3, \"words\": 5, \"characters\": 13, "
      "\"characters_with_spaces\": 15, \"empty\": 1, \"no_sound\": 1, \"minutes\": 0.07}, "
      "\"groups\": ["
      "{\"plot\": \"One\", \"speaker\": \"Ann\", \"lines\": 1, \"words\": 3, \"characters\": "
      "11, \"characters_with_spaces\": 13, \"empty\": 0, \"no_sound\": 0, \"minutes\": 0.05}, "
      "{\"plot\": \"One\", \"speaker\": \"Bo\", \"lines\": 1, \"words\": 0, \"characters\": 0, "
      "\"characters_with_spaces\": 0, \"empty\": 1, \"no_sound\": 1, \"minutes\": 0.00}, "
      "{\"plot\": \"Two\", \"speaker\": \"Ann\", \"lines\": 1, \"words\": 2, \"characters\": "
      "2, \"characters_with_spaces\": 2, \"empty\": 0, \"no_sound\": 0, \"minutes\": 0.02}]}\n");
  const dlgtooltest::ToolRun csv =
      RunDlgtool(dir.path(), {"stats", "s.dlg", "--by", "speaker", "--format", "csv"});
  EXPECT_EQ(csv.out.substr(0, csv.out.find("\r\n")),
            "speaker,lines,words,characters,characters_with_spaces,empty,no_sound,minutes");
  EXPECT_NE(csv.out.find("\r\nAnn,2,5,13,15,0,0,"), std::string::npos) << csv.out;
  const dlgtooltest::ToolRun html = RunDlgtool(dir.path(), {"stats", "s.dlg", "--format", "html"});
  EXPECT_NE(html.out.find("<svg"), std::string::npos);
  EXPECT_EQ(html.out.find("<script"), std::string::npos);
  EXPECT_EQ(RunDlgtool(dir.path(), {"stats", "s.dlg", "--by", "scene"}).status, 2);
  EXPECT_EQ(RunDlgtool(dir.path(), {"stats", "s.dlg", "--wpm", "0"}).status, 2);
  EXPECT_EQ(RunDlgtool(dir.path(), {"stats", "missing.dlg"}).status, 2);
}

// Names go out through the exchange CSV's quoting and the reports' JSON string: quotes doubled
// or escaped, a cell a spreadsheet would run as a formula with an apostrophe, control bytes as
// \u00XX. Numbers are never quoted.
TEST(StatsFormats, NamesAreQuotedAndEscapedNumbersAreNot) {
  exchange::StatsReport report;
  report.by = exchange::StatsGrouping::kSpeaker;
  for (const char* name :
       {"=SUM(A1)", "Ann, \"the\" one", "-1,5", "\tTab", "\r\nx", "a\"b\\c\x01"}) {
    exchange::StatsRow row;
    row.speaker = name;
    row.lines = 2;
    report.groups.push_back(row);
  }
  const std::string csv = exchange::FormatStats(report, exchange::StatsFormat::kCsv);
  for (const char* cells :
       {"\r\n'=SUM(A1),2,", "\r\n\"Ann, \"\"the\"\" one\",2,", "\r\n\"'-1,5\",2,", "\r\n'\tTab,2,",
        "\r\n\"'\r\nx\",2,", "\r\n\"a\"\"b\\c\x01\",2,"}) {
    EXPECT_NE(csv.find(cells), std::string::npos) << cells << "\n" << csv;
  }
  const std::string json = exchange::FormatStats(report, exchange::StatsFormat::kJson);
  EXPECT_NE(json.find("\"speaker\": \"a\\\"b\\\\c\\u0001\""), std::string::npos) << json;
  EXPECT_NE(json.find("\"speaker\": \"\\u000d\\u000ax\""), std::string::npos) << json;
}

// Three versions of one script; the counts below are done by hand.
TEST(StatsSince, NewChangedUnchangedAndDeletedByIdAcrossVersions) {
  TempDir dir;
  SaveTestDocument(
      dir.path() + "/v1.dlg", "g",
      {{"A",
        0,
        10,
        {{"", "", "", "keep me"}, {"", "", "", "change me"}, {"", "", "", "delete me now"}}}});
  // v2: ID 1 rewritten, ID 2 deleted, ID 3 added in A, ID 10 in a new plot B.
  CDlgFile v2;
  const PlotPos a = AddTestPlot(v2, "A", 0, 10, {});
  AddTestLine(v2, a, 0, "keep me");
  AddTestLine(v2, a, 1, "changed text here");
  AddTestLine(v2, a, 3, "brand new");
  const PlotPos b = AddTestPlot(v2, "B", 10, 20, {});
  AddTestLine(v2, b, 10, "\xE6\x96\xB0\xE7\x9A\x84");  // 新的: 2 words
  ASSERT_NE(v2.Save((dir.path() + "/v2.dlg").c_str()), 0);

  const dlgtooltest::ToolRun since = RunDlgtool(
      dir.path(),
      {"stats", "v2.dlg", "--since", "v1.dlg", "--format", "json", "--encoding", "UTF-8"});
  ASSERT_EQ(since.status, 0) << since.err;
  EXPECT_EQ(since.out,
            "{\"total\": {\"new\": {\"lines\": 2, \"words\": 4, \"characters\": 10}, "
            "\"changed\": {\"lines\": 1, \"words\": 3, \"characters\": 15}, "
            "\"unchanged\": {\"lines\": 1, \"words\": 2, \"characters\": 6}, "
            "\"deleted\": {\"lines\": 1, \"words\": 3, \"characters\": 11}}, \"plots\": ["
            "{\"plot\": \"A\", \"new\": {\"lines\": 1, \"words\": 2, \"characters\": 8}, "
            "\"changed\": {\"lines\": 1, \"words\": 3, \"characters\": 15}, "
            "\"unchanged\": {\"lines\": 1, \"words\": 2, \"characters\": 6}, "
            "\"deleted\": {\"lines\": 1, \"words\": 3, \"characters\": 11}}, "
            "{\"plot\": \"B\", \"new\": {\"lines\": 1, \"words\": 2, \"characters\": 2}, "
            "\"changed\": {\"lines\": 0, \"words\": 0, \"characters\": 0}, "
            "\"unchanged\": {\"lines\": 0, \"words\": 0, \"characters\": 0}, "
            "\"deleted\": {\"lines\": 0, \"words\": 0, \"characters\": 0}}]}\n");
  // v3 against v2: ID 3 deleted, ID 10 rewritten, the rest unchanged.
  CDlgFile v3;
  ASSERT_NE(v3.Load((dir.path() + "/v2.dlg").c_str()), 0);
  v3.DeleteItem(v3.FindItem(3), v3.GetFirstPlot());
  v3.GetItem(v3.FindItem(10)).SetText("new words");
  ASSERT_NE(v3.Save((dir.path() + "/v3.dlg").c_str()), 0);
  const dlgtooltest::ToolRun third =
      RunDlgtool(dir.path(), {"stats", "v3.dlg", "--since", "v2.dlg", "--format", "csv"});
  ASSERT_EQ(third.status, 0) << third.err;
  EXPECT_NE(third.out.find("\r\ntotal,0,0,0,1,2,8,2,5,21,1,2,8\r\n"), std::string::npos)
      << third.out;
}

TEST(StatsSince, TranslationFileCountsUntranslatedFuzzyAndStaleWords) {
  TempDir dir;
  SaveTestDocument(
      dir.path() + "/s.dlg", "g",
      {{"A",
        0,
        10,
        {{"", "", "", "one"}, {"", "", "", "two words"}, {"", "", "", "three more words"}}}});
  ASSERT_EQ(RunDlgtool(dir.path(), {"export", "s.dlg", "zh.csv"}).status, 0);
  // Translate ID 0 and mark nothing else: 1 translated line, 2 untranslated.
  const exchangetest::PeerRun edit = exchangetest::RunPython(
      dir.path(),
      "import csv,sys\n"
      "rows=list(csv.reader(open('zh.csv',newline='',encoding='utf-8')))\n"
      "h=rows[0]; rows[1][h.index('target')]='yi'\n"
      "csv.writer(open('zh.csv','w',newline='',encoding='utf-8')).writerows(rows)\n",
      "");
  ASSERT_EQ(edit.status, 0) << edit.err;
  const dlgtooltest::ToolRun since =
      RunDlgtool(dir.path(), {"stats", "s.dlg", "--since", "zh.csv", "--format", "csv"});
  ASSERT_EQ(since.status, 0) << since.err;
  EXPECT_NE(since.out.find("\r\ntotal,1,1,3,0,0,0,0,0,0,2,5,22\r\n"), std::string::npos)
      << since.out;
}

TEST(CheckMaxLength, ListsTextsOverTheLimitInEachUnit) {
  TempDir dir;
  SaveTestDocument(dir.path() + "/s.dlg", "g",
                   {{"A",
                     0,
                     10,
                     {{"", "", "", "short"},
                      {"", "", "", "\xEA\xB0\x80\xEA\xB0\x80\xEA\xB0\x80"},  // 가가가
                      {"", "", "", "\xF0\x9F\x98\x80\xF0\x9F\x98\x80"}}}});  // 2 emoji
  const dlgtooltest::ToolRun chars =
      RunDlgtool(dir.path(), {"check", "s.dlg", "--max-length", "4", "--encoding", "UTF-8"});
  EXPECT_EQ(chars.status, 1);
  EXPECT_NE(chars.out.find("ID 0: text is 5 characters long, over the limit of 4"),
            std::string::npos)
      << chars.out;
  EXPECT_EQ(chars.out.find("ID 1:"), std::string::npos);
  const dlgtooltest::ToolRun utf16 =
      RunDlgtool(dir.path(), {"check", "s.dlg", "--max-length", "3:utf16", "--encoding", "UTF-8"});
  EXPECT_NE(utf16.out.find("ID 2: text is 4 UTF-16 units long"), std::string::npos) << utf16.out;
  const dlgtooltest::ToolRun bytes =
      RunDlgtool(dir.path(), {"check", "s.dlg", "--max-length", "8:bytes", "--encoding", "UTF-8"});
  EXPECT_NE(bytes.out.find("ID 1: text is 9 bytes long"), std::string::npos) << bytes.out;
  EXPECT_EQ(RunDlgtool(dir.path(), {"check", "s.dlg", "--max-length", "0"}).status, 2);
  EXPECT_EQ(RunDlgtool(dir.path(), {"check", "s.dlg", "--max-length", "5:words"}).status, 2);
  EXPECT_EQ(RunDlgtool(dir.path(), {"check", "s.dlg", "--max-length", "9"}).status, 0);
}

}  // namespace
