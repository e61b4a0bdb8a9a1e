// dlgtool voscript, the sound checks and the code-page warning, read back by the tools a studio
// uses: openpyxl for the workbook, Python's csv module for the CSV.
#include "exchange/voscript.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "peer_run.h"
#include "platform/file_io.h"
#include "support/debug_capture.h"
#include "support/document_builder.h"
#include "support/temp_dir.h"

namespace {

using exchangetest::Dlgtool;
using exchangetest::Hex;
using exchangetest::PeerRun;
using exchangetest::RunPython;

// Texts that a spreadsheet or its writer could change: CR LF, quotes, a formula, leading spaces,
// a control byte, a literal cell escape, and every start a spreadsheet runs as a formula.
const std::vector<TestLine> kScene = {
    {"민준", "기본", "m1.wav", "어서 오세요,\r\n\"별빛\" 여관입니다."},
    {"小明", "", "x1.wav", "=1+1"},
    {"", "웃음", "", "  前面有空格"},
    {"서연", "", "s1.wav", "ctl\x1f _x0041_ end"},
    {"", "", "", "+1"},
    {"", "", "", "-1"},
    {"", "", "", "@SUM(A1)"},
    {"", "", "", "\ttab"},
    {"", "", "", "\rcr"},
};

class VoiceScript : public ::testing::Test {
 protected:
  void SetUp() override {
    SaveTestDocument(dir_.File("doc.dlg"), "별빛",
                     {{"1장 \"첫\"", 0, 100, kScene}, {"二", 100, 200, {{"", "", "", "other"}}}});
  }

  PeerRun Run(const std::string& args) {
    return exchangetest::RunIn(dir_.path(), Dlgtool() + " " + args);
  }

  // What a row should hold after its ID: sound, plot, speaker, direction, text, previous line.
  static std::string ExpectedRow(size_t k) {
    const TestLine& line = kScene[k];
    std::string previous;
    if (k > 0) {
      const TestLine& before = kScene[k - 1];
      previous = *before.speaker ? std::string(before.speaker) + ": " + before.text : before.text;
    }
    return std::to_string(k) + "|" + Hex(line.sound) + "|" + Hex("1장 \"첫\"") + "|" +
           Hex(line.speaker) + "|" + Hex(line.expression) + "|" + Hex(line.text) + "|" +
           Hex(previous) + "\n";
  }

  TempDir dir_;
};

TEST_F(VoiceScript, OpenpyxlReadsEveryCellAsTextWithBoldFrozenHeader) {
  const PeerRun run = Run("voscript doc.dlg script.xlsx --plot '1장 \"첫\"' --encoding UTF-8");
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.err, "");
  // openpyxl 3.0 leaves the cell escapes (_xHHHH_) of inline strings as they are; they are
  // decoded here as Excel and LibreOffice decode them.
  const PeerRun read = RunPython(dir_.path(), R"(
import openpyxl, re, sys
book = openpyxl.load_workbook(sys.argv[1])
ws = book.active
rows = list(ws.iter_rows())
print(','.join(c.value for c in rows[0]), ws.max_row, ws.max_column, ws.freeze_panes,
      all(c.font.b for c in rows[0]), any(c.font.b for c in rows[1]))
print(book.properties.title, ws.title, [ws.column_dimensions[c].width for c in 'ABCDEFGHIJ'],
      ws['F2'].alignment.wrap_text, ws['F2'].alignment.vertical)
print(sorted({c.data_type for r in rows for c in r if c.value is not None}))
def text(v):
    v = re.sub('_x([0-9A-Fa-f]{4})_', lambda m: chr(int(m.group(1), 16)), v or '')
    return v.encode('utf-8').hex()
for r in rows[1:]:
    print(r[0].value, '|'.join(text(c.value) for c in r[1:7]), sep='|')
    assert all(c.value is None for c in r[7:])
)",
                                 "script.xlsx");
  ASSERT_EQ(read.status, 0) << read.err;
  std::string expected =
      "ID,sound,plot,speaker,direction,text,previous_line,notes,take,status 10 10 A2 True False\n"
      "별빛 script [8.7109375, 16.7109375, 16.7109375, 12.7109375, 12.7109375, 60.7109375, "
      "40.7109375, 30.7109375, 8.7109375, 10.7109375] True top\n"
      "['s']\n";
  for (size_t k = 0; k < kScene.size(); ++k) expected += ExpectedRow(k);
  EXPECT_EQ(read.out, expected);
}

TEST_F(VoiceScript, CsvNeutralisesFormulaStartsAndKeepsEveryByte) {
  const PeerRun run = Run("voscript doc.dlg script.csv --encoding UTF-8");
  ASSERT_EQ(run.status, 0) << run.err;
  const PeerRun read = RunPython(dir_.path(), R"(
import csv, sys
with open(sys.argv[1], newline='', encoding='utf-8-sig') as f:
    rows = list(csv.reader(f, strict=True))
print(','.join(rows[0]), len(rows))
for r in rows[1:]:
    print(len(r), r[0], r[5].encode('utf-8').hex(), r[6].encode('utf-8').hex())
)",
                                 "script.csv");
  ASSERT_EQ(read.status, 0) << read.err;
  std::string expected =
      "ID,sound,plot,speaker,direction,text,previous_line,notes,take,status 11\n";
  const auto shown = [](const std::string& text) {
    return std::string("=+-@\t\r").find(text[0]) != std::string::npos ? "'" + text : text;
  };
  for (size_t k = 0; k < kScene.size(); ++k) {
    const std::string previous = k == 0 ? "" : kScene[k - 1].text;
    const bool spoken = k > 0 && *kScene[k - 1].speaker != '\0';
    expected += "10 " + std::to_string(k) + " " + Hex(shown(kScene[k].text)) + " " +
                Hex(spoken   ? std::string(kScene[k - 1].speaker) + ": " + previous
                    : k == 0 ? ""
                             : shown(previous)) +
                "\n";
  }
  expected += "10 100 " + Hex("other") + " \n";
  EXPECT_EQ(read.out, expected);
  const std::string bytes = ReadFileBytes(dir_.File("script.csv"));
  EXPECT_EQ(bytes.substr(0, 3), "\xEF\xBB\xBF");
  EXPECT_EQ(bytes.substr(bytes.size() - 5), ",,,\r\n");
}

TEST_F(VoiceScript, RefusalsWriteNothing) {
  WriteFileBytes(dir_.File("old.xlsx"), "old");
  SaveTestDocument(dir_.File("long.dlg"), "g",
                   {{"p", 0, 10, {{"", "", "", "ok"}, {"", "", "", ""}}}});
  DebugCapture quiet;  // the writer warns about the long text
  CDlgFile doc;
  ASSERT_EQ(doc.Load(dir_.File("long.dlg").c_str()), 1);
  // 32 767 UTF-16 units fit a cell; one character beyond U+FFFF takes two.
  doc.GetItem(doc.FindItem(1)).SetText((std::string(32766, 'a') + "\xF0\x9F\x8E\xA4").c_str());
  ASSERT_EQ(doc.Save(dir_.File("long.dlg").c_str()), 1);
  PeerRun run = Run("voscript long.dlg old.xlsx --encoding UTF-8");
  EXPECT_EQ(run.status, 2);
  EXPECT_EQ(
      run.err,
      "dlgtool: ID 1: text is 32768 characters, more than the 32767 a spreadsheet cell holds; "
      "nothing written\n");
  EXPECT_EQ(ReadFileBytes(dir_.File("old.xlsx")), "old");
  EXPECT_EQ(Run("voscript long.dlg long.csv --encoding UTF-8").status, 0);

  run = Run("voscript doc.dlg old.xlsx --plot 三");
  EXPECT_EQ(run.status, 2);
  EXPECT_EQ(run.err, "dlgtool: no plot is named \"三\"; nothing written\n");
  run = Run("voscript doc.dlg script.ods");
  EXPECT_EQ(run.status, 2);
  EXPECT_EQ(run.err, "dlgtool: script.ods: the script is written as .xlsx or .csv only\n");
  EXPECT_EQ(ReadFileBytes(dir_.File("old.xlsx")), "old");
  EXPECT_EQ(FolderEntries(dir_.path()),
            (std::vector<std::string>{".peer-err", ".peer-out", "doc.dlg", "long.csv", "long.dlg",
                                      "old.xlsx"}));
}

// The workbook is packed into the temporary file of the atomic replace.
TEST(VoiceScriptFile, WorkbookReplacesTheOldFileWholeOrNotAtAll) {
  TempDir dir;
  const std::string path = dir.File("vo.xlsx");
  exchange::ScriptSet set;
  set.rows.push_back({7, "m.wav", "p", "민준", "", "text", ""});
  std::string error;
  for (int n = 1; n <= 5; ++n) {  // create, flush, sync, close, rename
    WriteFileBytes(path, "old");
    platform::FailFileOperationAfter(n);
    EXPECT_FALSE(exchange::WriteScriptFile(set, path, exchange::ScriptFormat::kXlsx, error));
    platform::ResetFileOperationFaults();
    EXPECT_EQ(ReadFileBytes(path), "old") << n;
    EXPECT_EQ(FolderEntries(dir.path()), std::vector<std::string>{"vo.xlsx"}) << n;
  }
  ASSERT_TRUE(exchange::WriteScriptFile(set, path, exchange::ScriptFormat::kXlsx, error)) << error;
  EXPECT_EQ(ReadFileBytes(path).substr(0, 4), "PK\x03\x04");
  EXPECT_EQ(FolderEntries(dir.path()), std::vector<std::string>{"vo.xlsx"});
}

TEST_F(VoiceScript, SoundChecksNameEachFinding) {
  SaveTestDocument(dir_.File("snd.dlg"), "g",
                   {{"p",
                     0,
                     10,
                     {{"", "", "m1.wav", "a"},
                      {"", "", "", "b"},
                      {"", "", "voice\\m2", "c"},
                      {"", "", "gone.wav", "d"},
                      {"", "", "m1.wav", "e"}}}});
  std::filesystem::create_directories(dir_.File("sounds/voice"));
  for (const char* file : {"m1.wav", "voice/m2.ogg", "voice/extra.wav", ".hidden.wav"}) {
    WriteFileBytes(dir_.File("sounds/") + file, "");
  }
  const std::string findings =
      "plot 0 \"p\", ID 1: no sound file name\n"
      "plot 0 \"p\", ID 3: sound \"gone.wav\" has no file in sounds\n"
      "sound \"m1.wav\" is named by 2 lines: IDs 0, 4\n"
      "file \"voice/extra.wav\" in sounds is named by no line\n";
  PeerRun run = Run("check snd.dlg --sounds sounds --encoding UTF-8");
  EXPECT_EQ(run.status, 1);
  std::string expected;
  for (size_t start = 0, end; (end = findings.find('\n', start)) != std::string::npos;
       start = end + 1) {
    expected += "snd.dlg: " + findings.substr(start, end - start + 1);
  }
  EXPECT_EQ(run.out, expected);
  EXPECT_EQ(run.err, "dlgtool: snd.dlg: 4 problems\n");

  run = Run("voscript snd.dlg snd.xlsx --sounds sounds --encoding UTF-8");
  EXPECT_EQ(run.status, 1);
  std::string messages;
  for (size_t start = 0, end; (end = expected.find('\n', start)) != std::string::npos;
       start = end + 1) {
    messages += "dlgtool: " + expected.substr(start, end - start + 1);
  }
  EXPECT_EQ(run.err, messages);
  EXPECT_TRUE(FileExists(dir_.File("snd.xlsx")));
  EXPECT_EQ(Run("check snd.dlg --sounds nowhere").err,
            "dlgtool: nowhere: no folder of sound files\n");
}

TEST_F(VoiceScript, LegacyCodePageIsNamed) {
  // 안녕 세상 and 대사 in CP949.
  SaveTestDocument(
      dir_.File("ko.dlg"), "g",
      {{"p", 0, 10, {{"\xB4\xEB\xBB\xE7", "", "", "\xBE\xC8\xB3\xE7 \xBC\xBC\xBB\xF3"}}}});
  PeerRun run = Run("info ko.dlg --encoding UTF-8");
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.err,
            "dlgtool: ko.dlg: warning: ID 0: speaker is not valid UTF-8 text; the names and texts "
            "decode as CP949 (--encoding CP949)\n");
  run = Run("check ko.dlg --encoding UTF-8");
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.out,
            "ko.dlg: ID 0: speaker is not valid UTF-8 text; the names and texts decode as CP949 "
            "(--encoding CP949)\n");
  run = Run("check ko.dlg --encoding CP949");
  EXPECT_EQ(run.status, 0) << run.out;
  run = Run("info doc.dlg --encoding UTF-8");
  EXPECT_EQ(run.err, "");
  run = Run("check doc.dlg --encoding NO-SUCH");
  EXPECT_EQ(run.status, 2);
  EXPECT_EQ(run.err, "dlgtool: unknown encoding NO-SUCH\n");
}

}  // namespace
