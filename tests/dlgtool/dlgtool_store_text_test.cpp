// The stored text form (`git-install --store-text`): dlgtool git-filter on its own, byte for byte
// over every kind of content the writer writes, and a real git storing, diffing, merging and
// cloning dialogue files as text.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <functional>
#include <string>

#include "git_repo.h"
#include "model/dlg_file.h"
#include "support/document_builder.h"
#include "support/temp_dir.h"

namespace {

using dlgtooltest::GitRepo;
using dlgtooltest::RunProgram;
using dlgtooltest::ToolRun;

bool Contains(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

// `dlgtool git-filter MODE` with `in` on stdin; the output in `out`.
ToolRun Filter(const TempDir& dir, const char* mode, const std::string& in, std::string& out) {
  WriteFileBytes(dir.File("filter.in"), in);
  const ToolRun run = RunProgram(dir.path(), "sh",
                                 {"-c", std::string("'" DLGTOOL_PATH "' git-filter ") + mode +
                                            " game.dlg < filter.in > filter.out"});
  out = ReadFileBytes(dir.File("filter.out"));
  return run;
}

// Every byte value in texts and names, CR LF, TABs, backslashes as Big5 and GBK trail bytes, a
// 5000-byte text (past the writer's 4095-byte warning), holes in the IDs, an empty plot, plots
// without a range or with one bound, options on, a 31-byte game name.
void SaveEveryKind(const std::string& path) {
  CDlgFile doc;
  doc.SetGameName("Game \"31\" bytes\\ long name ...");
  doc.SetColumns(1, 1, 1);
  doc.SetMultiLine(1);
  PlotPos intro = doc.AddPlot("Intro \"one\"\t\\", 0, 100);
  PlotPos empty = doc.AddPlot("", 100, 200);
  PlotPos open = doc.AddPlot("\xb3\x5c\xb3\x5c", -1, -1);
  PlotPos low = doc.AddPlot("low", 300, -1);
  (void)empty;
  std::string all;
  for (int byte = 1; byte < 256; ++byte) all += static_cast<char>(byte);
  AddTestLine(doc, intro, 0, all.c_str(), "Ann");
  AddTestLine(doc, intro, 7, "x\r\ny\tz\\", "\x01\x7f", "\xa5\x5c", "s.wav");
  AddTestLine(doc, intro, 3, std::string(5000, 'L').c_str(), "");
  AddTestLine(doc, open, 250, "\xa6\x5c\xa6\x7c Big5", "");
  AddTestLine(doc, open, 251, "\x81\x5c\x81\x7e GBK", "");
  AddTestLine(doc, low, 1000, "", "");
  ASSERT_EQ(doc.Save(path.c_str()), 1);
}

TEST(DlgtoolGitFilter, CleanAndSmudgeGiveEveryByteBack) {
  TempDir dir;
  SaveEveryKind(dir.File("every.dlg"));
  const std::string dlg = ReadFileBytes(dir.File("every.dlg"));
  std::string text, back;
  ToolRun run = Filter(dir, "clean", dlg, text);
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(text.rfind("# dialogue file stored as text by dlgtool's git filter", 0), 0u) << text;
  EXPECT_TRUE(Contains(text, "\nplot \"\\xB3\\\\\\xB3\\\\\"\nrange [-1, -1)\n") ||
              Contains(text, "\nplot \"\xb3\\\\\xb3\\\\\"\nrange [-1, -1)\n"))
      << text;
  EXPECT_TRUE(Contains(text, "\n7\t\\x01\\x7F\t\xa5\\\\\ts.wav\tx\\r\\ny\\tz\\\\\n")) << text;
  EXPECT_EQ(text.find('\0'), std::string::npos);  // git sees text
  run = Filter(dir, "smudge", text, back);
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(back, dlg);
  // textconv shows a stored text as it is (attributes naming both the filter and textconv).
  WriteFileBytes(dir.File("stored.dlg"), text);
  EXPECT_EQ(dlgtooltest::RunDlgtool(dir.path(), {"textconv", "stored.dlg"}).out, text);
  // The stored text passes clean unchanged (a work tree checked out without the filter).
  std::string again;
  EXPECT_EQ(Filter(dir, "clean", text, again).status, 0);
  EXPECT_EQ(again, text);
  // A .dlg committed before the filter comes out of smudge as it is; an empty file stays empty.
  EXPECT_EQ(Filter(dir, "smudge", dlg, again).status, 0);
  EXPECT_EQ(again, dlg);
  EXPECT_EQ(Filter(dir, "clean", "", again).status, 0);
  EXPECT_EQ(again, "");
}

// The demo document and every file the other suites' builder writes round-trip as well.
TEST(DlgtoolGitFilter, ExampleFileRoundTrips) {
  TempDir dir;
  const std::string dlg = ReadFileBytes(std::string(PARLATRIX_SOURCE_DIR) + "/examples/demo.dlg");
  ASSERT_FALSE(dlg.empty());
  std::string text, back;
  ASSERT_EQ(Filter(dir, "clean", dlg, text).status, 0);
  ASSERT_EQ(Filter(dir, "smudge", text, back).status, 0);
  EXPECT_EQ(back, dlg);
}

TEST(DlgtoolGitFilter, RefusesWhatItCannotStoreWhole) {
  TempDir dir;
  SaveEveryKind(dir.File("every.dlg"));
  const std::string dlg = ReadFileBytes(dir.File("every.dlg"));
  std::string out;
  // A cut file: only what loads would be stored.
  ToolRun run = Filter(dir, "clean", dlg.substr(0, dlg.size() - 10), out);
  EXPECT_EQ(run.status, 2);
  EXPECT_EQ(out, "");
  EXPECT_TRUE(Contains(run.err, "game.dlg: the file is damaged (")) << run.err;
  EXPECT_TRUE(Contains(run.err, "not stored")) << run.err;
  // A byte the writer would not write (a zero in the reserved header bytes).
  std::string odd = dlg;
  odd[100] = 'x';
  run = Filter(dir, "clean", odd, out);
  EXPECT_EQ(run.status, 2);
  EXPECT_TRUE(
      Contains(run.err, "would not come back byte for byte (first difference at offset 100)"))
      << run.err;
  EXPECT_EQ(out, "");
  // A line in no plot: its record is written, but no plot lists it (the structural check names
  // such a record), so the text cannot carry it.
  CDlgFile loose;
  AddTestLine(loose, loose.AddPlot("P", 0, 10), 0, "kept", "");
  AddTestLine(loose, nullptr, 5, "loose", "");
  ASSERT_EQ(loose.Save(dir.File("loose.dlg").c_str()), 1);
  run = Filter(dir, "clean", ReadFileBytes(dir.File("loose.dlg")), out);
  EXPECT_EQ(run.status, 2);
  EXPECT_TRUE(Contains(run.err, "game.dlg: ")) << run.err;
  EXPECT_TRUE(Contains(run.err, "not stored")) << run.err;
  EXPECT_EQ(out, "");
  // Not a dialogue file at all.
  run = Filter(dir, "clean", "hello\n", out);
  EXPECT_EQ(run.status, 2);
  EXPECT_TRUE(Contains(run.err, "no dialogue file header")) << run.err;
  // A damaged stored text: smudge writes nothing, naming the line.
  std::string text;
  ASSERT_EQ(Filter(dir, "clean", dlg, text).status, 0);
  const std::string broken = text.substr(0, text.find("\nrange")) + "\nrange [0 100)\n";
  run = Filter(dir, "smudge", broken, out);
  EXPECT_EQ(run.status, 2);
  EXPECT_EQ(out, "");
  EXPECT_TRUE(Contains(run.err, "line 9: expected `range [LOW, HIGH)`")) << run.err;
}

// Intro [0, 100) with lines 0..29, Tea [100, 200) with line 100.
void SaveScript(const std::string& path) {
  CDlgFile doc;
  doc.SetGameName("Inn");
  PlotPos intro = doc.AddPlot("Intro", 0, 100);
  PlotPos tea = doc.AddPlot("Tea", 100, 200);
  for (int id = 0; id < 30; ++id) {
    AddTestLine(doc, intro, id, ("Line " + std::to_string(id)).c_str(), "Ann");
  }
  AddTestLine(doc, tea, 100, "Tea?", "Bo");
  ASSERT_EQ(doc.Save(path.c_str()), 1);
}

void SetText(CDlgFile& doc, int id, const char* text) {
  LinePos pos = doc.FindItem(id);
  ASSERT_NE(pos, nullptr);
  doc.GetItem(pos).SetText(text);
}

class DlgtoolStoreText : public ::testing::Test {
 protected:
  void SetUp() override {
    // --global: a clone below gets the filter too.
    const ToolRun install = repo_.Dlgtool({"git-install", "--global", "--store-text"});
    ASSERT_EQ(install.status, 0) << install.err;
    ASSERT_EQ(repo_.Dlgtool({"git-install", "--store-text"}).status, 0);
    SaveScript(repo_.File("game.dlg"));
    repo_.CommitAll("base");
  }
  GitRepo repo_;
};

TEST_F(DlgtoolStoreText, GitStoresTextAndChecksOutTheExactFile) {
  EXPECT_EQ(ReadFileBytes(repo_.File(".gitattributes")),
            "*.dlg filter=parlatrix diff=parlatrix-text merge=parlatrix\n");
  const std::string v1 = ReadFileBytes(repo_.File("game.dlg"));
  const ToolRun blob = repo_.Git({"cat-file", "-p", "HEAD:game.dlg"});
  EXPECT_EQ(blob.out.rfind("# dialogue file stored as text", 0), 0u) << blob.out;
  EXPECT_TRUE(Contains(blob.out, "\n29\tAnn\t\t\tLine 29\n")) << blob.out;
  EXPECT_EQ(repo_.Git({"status", "--porcelain"}).out, "");

  EditSavedDocument(repo_.File("game.dlg"), [](CDlgFile& doc) { SetText(doc, 0, "Hello"); });
  const std::string v2 = ReadFileBytes(repo_.File("game.dlg"));
  // git's own diff, --stat and grep work on the text; hunk headers name the plot.
  const ToolRun diff = repo_.Git({"diff"});
  EXPECT_TRUE(Contains(diff.out, "@@ plot \"Intro\"\n")) << diff.out;
  EXPECT_TRUE(Contains(diff.out, "\n-0\tAnn\t\t\tLine 0\n+0\tAnn\t\t\tHello\n")) << diff.out;
  EXPECT_EQ(repo_.Git({"diff", "--numstat"}).out, "1\t1\tgame.dlg\n");
  repo_.CommitAll("hello");
  // git grep reads committed text (the work tree holds the .dlg).
  EXPECT_TRUE(
      Contains(repo_.Git({"grep", "Hello", "HEAD"}).out, "HEAD:game.dlg:0\tAnn\t\t\tHello"));
  EXPECT_TRUE(Contains(repo_.Git({"log", "-p", "-1"}).out, "+0\tAnn\t\t\tHello\n"));

  // Checking out either commit gives that commit's exact bytes.
  ASSERT_EQ(repo_.Git({"checkout", "-q", "HEAD~1"}).status, 0);
  EXPECT_EQ(ReadFileBytes(repo_.File("game.dlg")), v1);
  ASSERT_EQ(repo_.Git({"checkout", "-q", "main"}).status, 0);
  EXPECT_EQ(ReadFileBytes(repo_.File("game.dlg")), v2);

  // A clone with the filter (here the user's configuration) has the exact file.
  TempDir elsewhere;
  const std::string clone = elsewhere.File("clone");
  ASSERT_EQ(RunProgram(elsewhere.path(), "git", {"clone", "-q", repo_.path(), clone}).status, 0);
  EXPECT_EQ(ReadFileBytes(clone + "/game.dlg"), v2);
  // One without it gets the text, whose first lines say what to run; dlgtool says so as well.
  const std::string bare = elsewhere.File("bare");
  ASSERT_EQ(RunProgram(elsewhere.path(), "sh",
                       {"-c", "GIT_CONFIG_GLOBAL=/dev/null git clone -q '" + repo_.path() + "' '" +
                                  bare + "'"})
                .status,
            0);
  const std::string text = ReadFileBytes(bare + "/game.dlg");
  EXPECT_TRUE(Contains(text,
                       "\n# To get the .dlg: dlgtool git-install --store-text, then git "
                       "checkout -- FILE"))
      << text;
  const ToolRun info = dlgtooltest::RunDlgtool(bare, {"info", "game.dlg"});
  EXPECT_NE(info.status, 0);
  EXPECT_TRUE(Contains(info.err, "stored as text")) << info.err;
}

// Staging part of a change: `git add -p` works on the stored text, and what it stages is a
// text the filter writes back as a whole .dlg. --stat counts lines of text, and grep finds the
// staged text.
TEST_F(DlgtoolStoreText, PartialStagingStatAndGrepWorkOnTheText) {
  EditSavedDocument(repo_.File("game.dlg"), [](CDlgFile& doc) {
    SetText(doc, 0, "Hello");
    SetText(doc, 100, "Green tea?");
  });
  const std::string edited = ReadFileBytes(repo_.File("game.dlg"));
  EXPECT_EQ(repo_.Git({"diff", "--stat"}).out,
            " game.dlg | 4 ++--\n 1 file changed, 2 insertions(+), 2 deletions(-)\n");
  // Two hunks (the plots lie apart): stage the first, leave the second.
  const ToolRun add = RunProgram(repo_.path(), "sh", {"-c", "printf 'y\\nn\\n' | git add -p"});
  ASSERT_EQ(add.status, 0) << add.out << add.err;
  const ToolRun staged = repo_.Git({"diff", "--cached"});
  EXPECT_TRUE(Contains(staged.out, "+0\tAnn\t\t\tHello\n")) << staged.out;
  EXPECT_FALSE(Contains(staged.out, "Green tea?")) << staged.out;
  EXPECT_TRUE(Contains(repo_.Git({"diff"}).out, "+100\tBo\t\t\tGreen tea?\n"));
  EXPECT_EQ(repo_.Git({"grep", "--cached", "-c", "Hello"}).out, "game.dlg:1\n");
  ASSERT_EQ(repo_.Git({"commit", "-qm", "hello only"}).status, 0);
  // The work tree keeps both changes; the commit holds the first, and checks out as a .dlg.
  EXPECT_EQ(ReadFileBytes(repo_.File("game.dlg")), edited);
  EXPECT_EQ(repo_.Git({"status", "--porcelain"}).out, " M game.dlg\n");
  ASSERT_EQ(repo_.Git({"stash", "-q"}).status, 0);
  CDlgFile doc;
  ASSERT_EQ(doc.Load(repo_.File("game.dlg").c_str()), 1);
  EXPECT_STREQ(doc.GetItem(doc.FindItem(0)).GetText().c_str(), "Hello");
  EXPECT_STREQ(doc.GetItem(doc.FindItem(100)).GetText().c_str(), "Tea?");
  ASSERT_EQ(repo_.Git({"stash", "pop", "-q"}).status, 0);
  EXPECT_EQ(ReadFileBytes(repo_.File("game.dlg")), edited);
}

TEST_F(DlgtoolStoreText, AddOfADamagedFileStopsWithTheReason) {
  const std::string dlg = ReadFileBytes(repo_.File("game.dlg"));
  WriteFileBytes(repo_.File("game.dlg"), dlg.substr(0, 300));
  const ToolRun add = repo_.Git({"add", "game.dlg"});
  EXPECT_NE(add.status, 0);
  EXPECT_TRUE(Contains(add.err, "game.dlg: the file is damaged (")) << add.err;
  // Nothing was staged: the index still holds the committed text.
  EXPECT_EQ(repo_.Git({"diff", "--cached", "--name-only"}).out, "");
}

TEST_F(DlgtoolStoreText, MergesRunOnTheTextByIdAndConflictsAreReported) {
  ASSERT_EQ(repo_.Git({"checkout", "-q", "-b", "theirs"}).status, 0);
  EditSavedDocument(repo_.File("game.dlg"), [](CDlgFile& doc) {
    SetText(doc, 1, "Theirs one");
    SetText(doc, 2, "Theirs two");
  });
  repo_.CommitAll("theirs");
  ASSERT_EQ(repo_.Git({"checkout", "-q", "main"}).status, 0);
  EditSavedDocument(repo_.File("game.dlg"), [](CDlgFile& doc) {
    SetText(doc, 1, "Ours one");
    SetText(doc, 28, "Ours 28");
    CDlgItem line;
    line.SetText("Ours new");
    EXPECT_NE(doc.AddItem(line, doc.FindPlot("Tea"), nullptr), nullptr);
  });
  repo_.CommitAll("ours");
  const ToolRun merge = repo_.Git({"merge", "--no-edit", "theirs"});
  EXPECT_EQ(merge.status, 1) << merge.out << merge.err;
  EXPECT_TRUE(Contains(merge.out, "conflict 1: line 1 in plot \"Intro\": text")) << merge.out;
  // The work tree holds the merged .dlg (ours where both changed line 1).
  CDlgFile doc;
  ASSERT_EQ(doc.Load(repo_.File("game.dlg").c_str()), 1);
  EXPECT_STREQ(doc.GetItem(doc.FindItem(1)).GetText().c_str(), "Ours one");
  EXPECT_STREQ(doc.GetItem(doc.FindItem(2)).GetText().c_str(), "Theirs two");
  EXPECT_STREQ(doc.GetItem(doc.FindItem(28)).GetText().c_str(), "Ours 28");
  EXPECT_STREQ(doc.GetItem(doc.FindItem(101)).GetText().c_str(), "Ours new");
  // Resolved as is: the commit stores the text of exactly that file.
  const std::string merged = ReadFileBytes(repo_.File("game.dlg"));
  unlink(repo_.File("game.dlg.conflicts.txt").c_str());
  repo_.CommitAll("merged");
  ASSERT_EQ(repo_.Git({"checkout", "-q", "HEAD~1"}).status, 0);
  ASSERT_EQ(repo_.Git({"checkout", "-q", "main"}).status, 0);
  EXPECT_EQ(ReadFileBytes(repo_.File("game.dlg")), merged);
  EXPECT_TRUE(Contains(repo_.Git({"show", "HEAD:game.dlg"}).out, "\n2\tAnn\t\t\tTheirs two\n"));
}

}  // namespace
