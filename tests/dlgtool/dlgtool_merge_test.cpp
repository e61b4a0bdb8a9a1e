// dlgtool merge, textconv and check on their own, as processes: what they refuse, where they write,
// and that check proves a file whole.
#include <gtest/gtest.h>

#include <string>

#include "dlgfile/dlg_format.h"
#include "model/dlg_file.h"
#include "structure_notes.h"
#include "support/document_builder.h"
#include "support/debug_capture.h"
#include "support/temp_dir.h"
#include "tool_run.h"

namespace {

using dlgtooltest::RunDlgtool;
using dlgtooltest::ToolRun;

bool Contains(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

class DlgtoolMerge : public ::testing::Test {
 protected:
  // One plot "Intro" [0, 10) with lines 0 and 2 (a hole at 1); `text` is line 0's text.
  void SaveDoc(const std::string& name, const char* text) {
    CDlgFile doc;
    doc.SetGameName("Demo");
    doc.SetColumns(1, 0, 0);
    PlotPos intro = doc.AddPlot("Intro", 0, 10);
    AddTestLine(doc, intro, 0, text, "Ann");
    AddTestLine(doc, intro, 2, "Yo\r\n\tand\\so", "Bo", "smile", "b.wav");
    ASSERT_EQ(doc.Save(dir_.File(name).c_str()), 1);
  }
  ToolRun Run(const std::vector<std::string>& args) { return RunDlgtool(dir_.path(), args); }

  TempDir dir_;
};

TEST_F(DlgtoolMerge, InputsThatCannotBeMergedStopItBeforeAnythingIsWritten) {
  SaveDoc("base.dlg", "Hi");
  SaveDoc("ours.dlg", "Hey");
  SaveDoc("theirs.dlg", "Hello");
  const std::string ours = ReadFileBytes(dir_.File("ours.dlg"));
  WriteFileBytes(dir_.File("text.dlg"), "not a dialogue file\n");
  WriteFileBytes(dir_.File("cut.dlg"), ReadFileBytes(dir_.File("theirs.dlg")).substr(0, 200));
  {
    CDlgFile twice;  // one ID under two plots: which of the two would a merge by ID mean?
    PlotPos a = twice.AddPlot("A", -1, -1);
    PlotPos b = twice.AddPlot("B", -1, -1);
    AddTestLine(twice, a, 0, "a");
    AddTestLine(twice, b, 0, "b");
    DebugCapture quiet;
    ASSERT_EQ(twice.Save(dir_.File("twice.dlg").c_str()), 1);
  }
  const struct {
    const char* theirs;
    const char* message;
  } cases[] = {
      {"missing.dlg", "missing.dlg: cannot open the dialogue file"},
      {"text.dlg", "text.dlg: no dialogue file header"},
      {"cut.dlg", "cut.dlg: structural problem (offset "},
      {"twice.dlg",
       "twice.dlg: structural problem (offset 304, entry 0, ID 0: ID 0 is listed under plots 0 "
       "and 1); not merged."},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.theirs);
    const ToolRun run = Run({"merge", "base.dlg", "ours.dlg", c.theirs});
    EXPECT_EQ(run.status, 2);
    EXPECT_TRUE(Contains(run.err, c.message)) << run.err;
    EXPECT_EQ(ReadFileBytes(dir_.File("ours.dlg")), ours);
    EXPECT_FALSE(FileExists(dir_.File("ours.dlg.conflicts.txt")));
  }
}

TEST_F(DlgtoolMerge, ResultAndReportGoWhereTheOptionsSay) {
  SaveDoc("base.dlg", "Hi");
  SaveDoc("ours.dlg", "Hey");
  SaveDoc("theirs.dlg", "Hello");
  const std::string ours = ReadFileBytes(dir_.File("ours.dlg"));
  ToolRun run = Run({"merge", "base.dlg", "ours.dlg", "theirs.dlg", "-o", "out.dlg"});
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(ReadFileBytes(dir_.File("ours.dlg")), ours);
  EXPECT_EQ(ReadFileBytes(dir_.File("out.dlg")), ours);  // the conflict keeps ours
  const std::string report = ReadFileBytes(dir_.File("out.dlg.conflicts.txt"));
  EXPECT_EQ(run.out, report);
  EXPECT_EQ(report,
            "1 conflict in out.dlg; the result keeps ours where both sides changed one thing. "
            "Resolve each in the editor.\n\n"
            "conflict 1: line 0 in plot \"Intro\": text\n"
            "  base:   \"Hi\"\n  ours:   \"Hey\"\n  theirs: \"Hello\"\n  result: kept ours\n");
  EXPECT_EQ(run.err, "dlgtool: out.dlg: 1 conflict, listed in out.dlg.conflicts.txt\n");

  // --path names the file as the repository knows it; a clean merge removes an old report.
  run = Run({"merge", "base.dlg", "ours.dlg", "theirs.dlg", "--path", "scenes/a.dlg", "-o",
             "out.dlg"});
  EXPECT_EQ(run.status, 1);
  EXPECT_TRUE(Contains(run.out, "1 conflict in scenes/a.dlg;")) << run.out;
  // There is no folder scenes/ here, so the report is only on stdout.
  EXPECT_TRUE(Contains(run.err, "scenes/a.dlg.conflicts.txt: cannot write the conflict report"))
      << run.err;
  run = Run({"merge", "base.dlg", "ours.dlg", "ours.dlg", "-o", "out.dlg"});
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_FALSE(FileExists(dir_.File("out.dlg.conflicts.txt")));
  // Without -o the result replaces OURS, as git's driver wants it.
  run = Run({"merge", "base.dlg", "ours.dlg", "base.dlg"});
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(ReadFileBytes(dir_.File("ours.dlg")), ours);
}

TEST_F(DlgtoolMerge, TextconvShowsStoredValuesAndGoesOnOverDamage) {
  SaveDoc("game.dlg", "Hi");
  ToolRun run = Run({"textconv", "game.dlg"});
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.out,
            "# dialogue file (dlgtool textconv)\n"
            "version 104\ngame \"Demo\"\ncolumns speaker 1, expression 0, sound 0\n"
            "multi-line 0\nlines 2, index entries 3, plots 1\n\n"
            "plot \"Intro\"\nrange [0, 10)\n"
            "ID\tspeaker\texpression\tsound\ttext\n"
            "--\t-------\t----------\t-----\t----\n"
            "0\tAnn\t\t\tHi\n"
            "2\tBo\tsmile\tb.wav\tYo\\r\\n\\tand\\\\so\n");
  EXPECT_EQ(run.err, "");

  // The file of the issue: cut at 200 bytes. git must go on, so the status stays 0.
  WriteFileBytes(dir_.File("cut.dlg"), ReadFileBytes(dir_.File("game.dlg")).substr(0, 200));
  run = Run({"textconv", "cut.dlg"});
  EXPECT_EQ(run.status, 0);
  EXPECT_TRUE(Contains(run.out, "game \"Demo\"\n")) << run.out;
  EXPECT_TRUE(Contains(run.out, "\n# note: the file is damaged; shown is what loads.")) << run.out;
  EXPECT_TRUE(Contains(run.out, "\n# note: offset ")) << run.out;
  EXPECT_EQ(Run({"textconv", "missing.dlg"}).status, 2);
}

TEST_F(DlgtoolMerge, CheckReportsEveryPrefixAndDamagedByteWithItsOffset) {
  SaveDoc("game.dlg", "Hi");
  const std::string bytes = ReadFileBytes(dir_.File("game.dlg"));
  EXPECT_EQ(Run({"check", "game.dlg"}).status, 0);
  EXPECT_TRUE(dlgtool::VerifyStructure(dir_.File("game.dlg"), 10).findings.empty());

  // Every prefix in process, a few through the command.
  const std::string cut = dir_.File("cut.dlg");
  for (size_t length = 0; length < bytes.size(); ++length) {
    WriteFileBytes(cut, bytes.substr(0, length));
    const dlgtool::StructureReport report = dlgtool::VerifyStructure(cut, 10);
    ASSERT_FALSE(report.findings.empty()) << "prefix of " << length << " bytes passes";
    EXPECT_TRUE(Contains(report.findings[0], "offset ")) << report.findings[0];
    if (length % 97 == 0 || length == 200) {
      const ToolRun run = Run({"check", "cut.dlg"});
      EXPECT_EQ(run.status, 1) << length;
      EXPECT_TRUE(Contains(run.out, "cut.dlg: offset ")) << run.out;
    }
  }

  // Every byte of the index, and the length, field count, tag, ID and string length words and
  // the trailing length of each record: one changed byte is found.
  const uint8_t* raw = reinterpret_cast<const uint8_t*>(bytes.data());
  const int32_t index = LoadLE32(raw + kDlgIndexOffsetOffset);
  const int32_t count = LoadLE32(raw + kDlgIndexCountOffset);
  std::vector<size_t> positions;
  for (int32_t k = 0; k < count * kDlgIndexEntrySize; ++k) positions.push_back(index + k);
  for (int32_t entry = 0; entry < count; ++entry) {
    if (LoadLE32(raw + index + entry * kDlgIndexEntrySize) < 0) continue;  // a hole
    const size_t record = LoadLE32(raw + index + entry * kDlgIndexEntrySize + 4);
    const size_t body = LoadLE32(raw + record);
    for (size_t word : {size_t{0}, size_t{4}, size_t{8}, size_t{12}, size_t{16}, size_t{24},
                        size_t{28}, body}) {
      for (size_t k = 0; k < 4; ++k) positions.push_back(record + word + k);
    }
  }
  for (size_t position : positions) {
    std::string changed = bytes;
    changed[position] = static_cast<char>(changed[position] ^ 0x10);
    WriteFileBytes(cut, changed);
    EXPECT_FALSE(dlgtool::VerifyStructure(cut, 10).findings.empty())
        << "a change at byte " << position << " passes";
  }
}

}  // namespace
