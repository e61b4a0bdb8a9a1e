// dlgtool with a real git: after git-install, git diff and git log -p show dialogue lines as text,
// and git merge merges dialogue files by line ID through dlgtool's merge driver.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <functional>
#include <string>

#include "git_repo.h"
#include "model/dlg_file.h"
#include "support/debug_capture.h"
#include "support/document_builder.h"

namespace {

using dlgtooltest::GitRepo;
using dlgtooltest::RunProgram;
using dlgtooltest::ToolRun;

bool Contains(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

// Two plots: "Intro" [0, 100) with IDs 0, 1, 2 and "Tea" [100, 200) with ID 100.
void SaveBase(const std::string& path) {
  CDlgFile doc;
  doc.SetGameName("Inn");
  doc.SetColumns(1, 0, 1);
  PlotPos intro = doc.AddPlot("Intro", 0, 100);
  PlotPos tea = doc.AddPlot("Tea", 100, 200);
  AddTestLine(doc, intro, 0, "Hello", "Ann");
  AddTestLine(doc, intro, 1, "Welcome", "Bo");
  AddTestLine(doc, intro, 2, "Bye", "Ann");
  AddTestLine(doc, tea, 100, "Tea?", "Bo");
  ASSERT_EQ(doc.Save(path.c_str()), 1);
}

CDlgItem& Line(CDlgFile& doc, int id) {
  LinePos pos = doc.FindItem(id);
  EXPECT_NE(pos, nullptr) << "no line " << id;
  return doc.GetItem(pos);
}

// Adds a line as the line editor does: the next free ID of the plot's range.
int Append(CDlgFile& doc, const char* plot, const char* text) {
  CDlgItem line;
  line.SetText(text);
  EXPECT_NE(doc.AddItem(line, doc.FindPlot(plot), nullptr), nullptr);
  return line.GetID();
}

// The IDs of a plot's members, in order, and the text of each: "0:Hello 1:Welcome".
std::string Members(CDlgFile& doc, const char* plot) {
  std::string out;
  PlotPos pos = doc.FindPlot(plot);
  if (pos == nullptr) return "(no plot)";
  for (auto* m = doc.GetPlot(pos).members.GetHeadPosition(); m != nullptr; m = m->next) {
    const CDlgItem& line = m->value->value;
    out += (out.empty() ? "" : " ") + std::to_string(line.GetID()) + ":" + line.GetText().c_str();
  }
  return out;
}

class DlgtoolGit : public ::testing::Test {
 protected:
  void SetUp() override {
    SaveBase(repo_.File("game.dlg"));
    const ToolRun install = repo_.Dlgtool({"git-install"});
    ASSERT_EQ(install.status, 0) << install.err;
    repo_.CommitAll("base");
  }

  // Commits `theirs` on a branch and `ours` on main, then merges the branch into main.
  ToolRun MergeBranches(const std::function<void(CDlgFile&)>& ours,
                        const std::function<void(CDlgFile&)>& theirs) {
    EXPECT_EQ(repo_.Git({"checkout", "-q", "-b", "theirs"}).status, 0);
    EditSavedDocument(repo_.File("game.dlg"), theirs);
    repo_.CommitAll("theirs");
    EXPECT_EQ(repo_.Git({"checkout", "-q", "main"}).status, 0);
    EditSavedDocument(repo_.File("game.dlg"), ours);
    repo_.CommitAll("ours");
    return repo_.Git({"merge", "--no-edit", "theirs"});
  }

  GitRepo repo_;
};

TEST_F(DlgtoolGit, InstallIsIdempotentAndConfiguresDiffAndMerge) {
  const ToolRun again = repo_.Dlgtool({"git-install"});
  EXPECT_EQ(again.status, 0) << again.err;
  EXPECT_EQ(ReadFileBytes(repo_.File(".gitattributes")), "*.dlg diff=parlatrix merge=parlatrix\n");
  EXPECT_EQ(ReadFileBytes(repo_.File(".gitignore")), "*.dlg.conflicts.txt\n..merge_file_*.tmp\n");
  EXPECT_EQ(repo_.Git({"config", "merge.parlatrix.recursive"}).out, "binary\n");
  EXPECT_TRUE(Contains(repo_.Git({"config", "diff.parlatrix.textconv"}).out, "' textconv\n"));
  EXPECT_TRUE(
      Contains(repo_.Git({"config", "merge.parlatrix.driver"}).out,
               "' merge %O %A %B --path %P --base-name %S --ours-name %X --theirs-name %Y\n"));
  EXPECT_EQ(repo_.Git({"check-attr", "merge", "game.dlg"}).out, "game.dlg: merge: parlatrix\n");

  // --global goes to the user's file (here the fixture's), never to the repository's.
  EXPECT_EQ(repo_.Dlgtool({"git-install", "--global"}).status, 0);
  EXPECT_TRUE(Contains(ReadFileBytes(repo_.GlobalConfig()), "[merge \"parlatrix\"]"));
  // Outside a repository only --global makes sense.
  TempDir elsewhere;
  EXPECT_EQ(dlgtooltest::RunDlgtool(elsewhere.path(), {"git-install"}).status, 2);
}

TEST_F(DlgtoolGit, DiffAndLogShowChangedLinesAsText) {
  EditSavedDocument(repo_.File("game.dlg"), [](CDlgFile& doc) {
    Line(doc, 1).SetText("Welcome back");
    EXPECT_EQ(Append(doc, "Tea", "Milk?\r\nOr lemon?"), 101);
  });
  const ToolRun diff = repo_.Git({"diff"});
  EXPECT_EQ(diff.status, 0) << diff.err;
  EXPECT_FALSE(Contains(diff.out, "Binary files")) << diff.out;
  EXPECT_TRUE(Contains(diff.out, "\n-1\tBo\t\t\tWelcome\n+1\tBo\t\t\tWelcome back\n")) << diff.out;
  EXPECT_TRUE(Contains(diff.out, "\n+101\t\t\t\tMilk?\\r\\nOr lemon?\n")) << diff.out;
  EXPECT_TRUE(Contains(diff.out, "-lines 4, index entries 101, plots 2\n")) << diff.out;
  // Hunk headers name the plot (diff.parlatrix.xfuncname).
  const ToolRun tight = repo_.Git({"diff", "-U0"});
  EXPECT_TRUE(Contains(tight.out, "@@ plot \"Tea\"\n+101\t")) << tight.out;

  // git's --stat never runs textconv ("Bin"); git apply counts the lines of the text diff.
  EXPECT_TRUE(Contains(repo_.Git({"diff", "--numstat"}).out, "-\t-\tgame.dlg\n"));
  const ToolRun numstat = RunProgram(repo_.path(), "sh", {"-c", "git diff | git apply --numstat"});
  EXPECT_EQ(numstat.out, "3\t2\tgame.dlg\n") << numstat.err;
  const ToolRun stat = RunProgram(repo_.path(), "sh", {"-c", "git diff | git apply --stat"});
  EXPECT_TRUE(Contains(stat.out, " game.dlg |    5 +++--\n")) << stat.out;

  repo_.CommitAll("edit");
  const ToolRun log = repo_.Git({"log", "-p", "-1"});
  EXPECT_TRUE(Contains(log.out, "+1\tBo\t\t\tWelcome back\n")) << log.out;
  EXPECT_TRUE(Contains(log.out, "+101\t\t\t\tMilk?\\r\\nOr lemon?\n")) << log.out;
}

// The hunk headers git prints for `git args...`, joined by ";": "plot \"Middle\"", or "" for a
// hunk git found no heading for.
std::string HunkHeadings(const GitRepo& repo, const std::vector<std::string>& args) {
  const ToolRun diff = repo.Git(args);
  EXPECT_EQ(diff.status, 0) << diff.err;
  std::string headings;
  bool first = true;
  for (size_t at = diff.out.find("\n@@ "); at != std::string::npos;
       at = diff.out.find("\n@@ ", at + 1)) {
    const size_t close = diff.out.find(" @@", at + 4);
    const size_t end = diff.out.find('\n', at + 1);
    if (close == std::string::npos || end == std::string::npos) return "(bad hunk)";
    headings +=
        (first ? "" : ";") + (close + 4 <= end ? diff.out.substr(close + 4, end - close - 4) : "");
    first = false;
  }
  return headings;
}

// Three plots of 12 lines each, IDs 0-11, 100-111 and 200-211, and an empty plot at the end.
void SaveThreePlots(const std::string& path) {
  CDlgFile doc;
  doc.SetGameName("Inn");
  const char* names[] = {"First", "Middle", "Last"};
  for (int plot = 0; plot < 3; ++plot) {
    PlotPos pos = doc.AddPlot(names[plot], plot * 100, plot * 100 + 100);
    for (int i = 0; i < 12; ++i) {
      const std::string text = std::string(names[plot]) + " line " + std::to_string(i);
      AddTestLine(doc, pos, plot * 100 + i, text.c_str(), "Ann");
    }
  }
  doc.AddPlot("Empty", 300, 400);
  ASSERT_EQ(doc.Save(path.c_str()), 1);
}

// git names the plot a change is in, at its first, a middle and its last line, in the first, a
// middle and the last plot, with git's default context and with -U0 to -U3; in git diff and in
// git log -p alike. A longer context reaches above the plot's heading for a change in its first
// lines (docs/git.md says which), and the heading then named is the plot above.
TEST_F(DlgtoolGit, HunkHeadersNameThePlotTheChangeIsIn) {
  SaveThreePlots(repo_.File("game.dlg"));
  repo_.CommitAll("three plots");
  const char* names[] = {"First", "Middle", "Last"};
  for (int plot = 0; plot < 3; ++plot) {
    for (int index : {0, 5, 11}) {
      const int id = plot * 100 + index;
      SCOPED_TRACE("line " + std::to_string(id));
      EditSavedDocument(repo_.File("game.dlg"),
                        [id](CDlgFile& doc) { Line(doc, id).SetText("changed"); });
      const std::string right = std::string("plot \"") + names[plot] + "\"";
      for (const char* context : {"-U0", "-U1", "-U3"}) {
        EXPECT_EQ(HunkHeadings(repo_, {"diff", context}), right) << context;
      }
      EXPECT_EQ(HunkHeadings(repo_, {"diff"}), right);
      // -U10: right from the plot's eighth line on (10 - 3 heading lines above it).
      const std::string above = plot == 0 ? "" : std::string("plot \"") + names[plot - 1] + "\"";
      EXPECT_EQ(HunkHeadings(repo_, {"diff", "-U10"}), index >= 7 ? right : above);
      repo_.CommitAll("edit " + std::to_string(id));
      EXPECT_EQ(HunkHeadings(repo_, {"log", "-p", "-1", "--format="}), right);
      EXPECT_EQ(HunkHeadings(repo_, {"log", "-p", "-1", "--format=", "-U0"}), right);
    }
  }
  // A line added after a plot's last line, and the first line of an empty plot.
  EditSavedDocument(repo_.File("game.dlg"),
                    [](CDlgFile& doc) { EXPECT_EQ(Append(doc, "Middle", "new"), 112); });
  // The first hunk is the header's line count, above every plot.
  EXPECT_EQ(HunkHeadings(repo_, {"diff", "-U0"}), ";plot \"Middle\"");
  EXPECT_EQ(HunkHeadings(repo_, {"diff"}), ";plot \"Middle\"");
  repo_.CommitAll("added");
  EditSavedDocument(repo_.File("game.dlg"),
                    [](CDlgFile& doc) { EXPECT_EQ(Append(doc, "Empty", "one"), 300); });
  EXPECT_EQ(HunkHeadings(repo_, {"diff"}), ";plot \"Empty\"");
  EXPECT_TRUE(Contains(repo_.Git({"diff"}).out, "\n+300\t\t\t\tone\n"));
}

TEST_F(DlgtoolGit, ChangesToDifferentPlotsLinesAndFieldsMergeCleanly) {
  const ToolRun merge = MergeBranches(
      [](CDlgFile& doc) {
        Line(doc, 0).SetText("Hello there");  // same line as theirs, another field
        Line(doc, 1).SetText("Welcome back");
        EXPECT_EQ(Append(doc, "Intro", "Sit down"), 3);
        doc.SetGameName("Inn 2");
      },
      [](CDlgFile& doc) {
        Line(doc, 0).SetSound("ann0.wav");
        Line(doc, 2).SetText("Goodbye");
        EXPECT_EQ(Append(doc, "Tea", "Green tea"), 101);
        doc.AddPlot("Outro", 200, 300);
      });
  ASSERT_EQ(merge.status, 0) << merge.out << merge.err;

  CDlgFile merged;
  ASSERT_EQ(merged.Load(repo_.File("game.dlg").c_str()), 1);
  EXPECT_STREQ(merged.GetGameName().c_str(), "Inn 2");
  EXPECT_EQ(Members(merged, "Intro"), "0:Hello there 1:Welcome back 2:Goodbye 3:Sit down");
  EXPECT_EQ(Members(merged, "Tea"), "100:Tea? 101:Green tea");
  EXPECT_EQ(Members(merged, "Outro"), "");
  EXPECT_STREQ(Line(merged, 0).GetSound().c_str(), "ann0.wav");
  EXPECT_STREQ(Line(merged, 0).GetSpeaker().c_str(), "Ann");
  EXPECT_FALSE(FileExists(repo_.File("game.dlg.conflicts.txt")));
  EXPECT_EQ(repo_.Dlgtool({"check", "game.dlg"}).status, 0);
  EXPECT_EQ(repo_.Git({"status", "--porcelain"}).out, "");
}

TEST_F(DlgtoolGit, ConflictsStopTheMergeWithAReportAndLoseNothing) {
  const ToolRun merge = MergeBranches(
      [](CDlgFile& doc) {
        Line(doc, 0).SetText("Hey!");
        EXPECT_EQ(Append(doc, "Intro", "Ours new"), 3);
      },
      [](CDlgFile& doc) {
        Line(doc, 0).SetText("Hi!");
        EXPECT_EQ(Append(doc, "Intro", "Theirs new"), 3);
      });
  EXPECT_NE(merge.status, 0);
  EXPECT_TRUE(Contains(merge.out, "CONFLICT (content): Merge conflict in game.dlg")) << merge.out;
  EXPECT_TRUE(Contains(merge.out, "conflict 1: line 0 in plot \"Intro\": text")) << merge.out;

  const std::string report = ReadFileBytes(repo_.File("game.dlg.conflicts.txt"));
  EXPECT_TRUE(Contains(report,
                       "conflict 1: line 0 in plot \"Intro\": text\n"
                       "  base:   \"Hello\"\n  ours:   \"Hey!\"\n  theirs: \"Hi!\"\n"
                       "  result: kept ours\n"))
      << report;
  EXPECT_TRUE(Contains(report, "ours keeps ID 3, theirs' line is now ID 4")) << report;
  EXPECT_TRUE(Contains(repo_.Git({"status", "--porcelain"}).out, "UU game.dlg"));

  // The file in the work tree holds ours, plus theirs' new line under its new ID; theirs' text of
  // line 0 is in the report and in the branch.
  CDlgFile merged;
  ASSERT_EQ(merged.Load(repo_.File("game.dlg").c_str()), 1);
  EXPECT_EQ(Members(merged, "Intro"), "0:Hey! 1:Welcome 2:Bye 3:Ours new 4:Theirs new");
  EXPECT_EQ(repo_.Dlgtool({"check", "game.dlg"}).status, 0);
}

TEST_F(DlgtoolGit, FileAddedOnBothBranchesMergesWithoutABase) {
  ASSERT_EQ(repo_.Git({"checkout", "-q", "-b", "theirs"}).status, 0);
  SaveBase(repo_.File("new.dlg"));
  EditSavedDocument(repo_.File("new.dlg"), [](CDlgFile& doc) { Line(doc, 2).SetText("Later"); });
  repo_.CommitAll("theirs adds new.dlg");
  ASSERT_EQ(repo_.Git({"checkout", "-q", "main"}).status, 0);
  SaveBase(repo_.File("new.dlg"));
  EditSavedDocument(repo_.File("new.dlg"), [](CDlgFile& doc) { Append(doc, "Tea", "Cake?"); });
  repo_.CommitAll("ours adds new.dlg");
  const ToolRun merge = repo_.Git({"merge", "--no-edit", "theirs"});
  // git passes an empty base. What both sides have alike is kept once; a line with one ID but
  // different texts is two new lines with one ID: both stay.
  EXPECT_NE(merge.status, 0);
  CDlgFile merged;
  ASSERT_EQ(merged.Load(repo_.File("new.dlg").c_str()), 1);
  EXPECT_EQ(Members(merged, "Intro"), "0:Hello 1:Welcome 2:Bye 3:Later");
  EXPECT_EQ(Members(merged, "Tea"), "100:Tea? 101:Cake?");
  const std::string report = ReadFileBytes(repo_.File("new.dlg.conflicts.txt"));
  EXPECT_TRUE(Contains(report,
                       "  base:   (none)\n  ours:   plot \"Intro\", speaker \"Ann\", expression "
                       "\"\", sound \"\", text \"Bye\"\n"))
      << report;
  EXPECT_TRUE(Contains(report, "theirs' line is now ID 3")) << report;
}

// Writer A (main) and writer B (branch "b") both add a line to "Intro": both take ID 3. Later B
// gives their own line a speaker. However git brings B's second commit over the first merge, it
// must land on B's line, which the first merge moved to ID 4, and never on A's line 3.
class DlgtoolGitMoves : public DlgtoolGit {
 protected:
  void TwoWritersAddOneId() {
    ASSERT_EQ(repo_.Git({"checkout", "-q", "-b", "b"}).status, 0);
    EditSavedDocument(repo_.File("game.dlg"),
                      [](CDlgFile& doc) { EXPECT_EQ(Append(doc, "Intro", "B says"), 3); });
    repo_.CommitAll("B adds a line");
    ASSERT_EQ(repo_.Git({"checkout", "-q", "main"}).status, 0);
    EditSavedDocument(repo_.File("game.dlg"),
                      [](CDlgFile& doc) { EXPECT_EQ(Append(doc, "Intro", "A says"), 3); });
    repo_.CommitAll("A adds a line");
  }
  void BGivesTheirLineASpeaker() {
    ASSERT_EQ(repo_.Git({"checkout", "-q", "b"}).status, 0);
    EditSavedDocument(repo_.File("game.dlg"), [](CDlgFile& doc) { Line(doc, 3).SetSpeaker("Bo"); });
    repo_.CommitAll("my line is spoken by Bo");
  }
  // Line 3 is A's, untouched; line 4 is B's, spoken by Bo.
  void ExpectBothLinesRight() {
    CDlgFile merged;
    ASSERT_EQ(merged.Load(repo_.File("game.dlg").c_str()), 1);
    EXPECT_EQ(Members(merged, "Intro"), "0:Hello 1:Welcome 2:Bye 3:A says 4:B says");
    EXPECT_STREQ(Line(merged, 3).GetSpeaker().c_str(), "");
    EXPECT_STREQ(Line(merged, 4).GetSpeaker().c_str(), "Bo");
  }
  // The first merge stops with the renumbering as a conflict; the writer accepts it.
  void AcceptAndContinue(const std::vector<std::string>& command) {
    EXPECT_EQ(repo_.Git({"add", "game.dlg"}).status, 0);
    const ToolRun next = repo_.Git(command);
    EXPECT_EQ(next.status, 0) << next.out << next.err;
  }
};

TEST_F(DlgtoolGitMoves, RebaseAfterARenumberingFollowsTheMovedLine) {
  TwoWritersAddOneId();
  BGivesTheirLineASpeaker();
  // B rebases onto main: the first commit collides on ID 3, the second must follow the move.
  const ToolRun rebase = repo_.Git({"rebase", "main"});
  ASSERT_NE(rebase.status, 0);
  EXPECT_TRUE(Contains(rebase.out, "ours:   upstream (the branch rebased onto)")) << rebase.out;
  EXPECT_TRUE(Contains(rebase.out, "theirs: your commit being replayed")) << rebase.out;
  AcceptAndContinue({"-c", "core.editor=true", "rebase", "--continue"});
  ExpectBothLinesRight();
  EXPECT_EQ(repo_.Git({"status", "--porcelain"}).out, "");
}

TEST_F(DlgtoolGitMoves, SecondMergeOfALongLivedBranchFollowsTheMovedLine) {
  TwoWritersAddOneId();
  ASSERT_NE(repo_.Git({"merge", "--no-edit", "b"}).status, 0);
  AcceptAndContinue({"commit", "-q", "--no-edit"});
  BGivesTheirLineASpeaker();
  ASSERT_EQ(repo_.Git({"checkout", "-q", "main"}).status, 0);
  const ToolRun again = repo_.Git({"merge", "--no-edit", "b"});
  EXPECT_EQ(again.status, 0) << again.out << again.err;
  ExpectBothLinesRight();
  // B's side, merging main: the same, with the sides swapped.
  ASSERT_EQ(repo_.Git({"checkout", "-q", "b"}).status, 0);
  ASSERT_EQ(repo_.Git({"reset", "-q", "--hard", "HEAD"}).status, 0);
  const ToolRun back = repo_.Git({"merge", "--no-edit", "main"});
  EXPECT_EQ(back.status, 0) << back.out << back.err;
  ExpectBothLinesRight();
}

TEST_F(DlgtoolGitMoves, MovedLineEditedSinceIsFollowedThroughTheRecord) {
  TwoWritersAddOneId();
  ASSERT_NE(repo_.Git({"merge", "--no-edit", "b"}).status, 0);
  AcceptAndContinue({"commit", "-q", "--no-edit"});
  EditSavedDocument(repo_.File("game.dlg"),
                    [](CDlgFile& doc) { Line(doc, 4).SetText("B says so"); });
  repo_.CommitAll("A fixes B's line");
  BGivesTheirLineASpeaker();
  ASSERT_EQ(repo_.Git({"checkout", "-q", "main"}).status, 0);
  const ToolRun again = repo_.Git({"merge", "--no-edit", "b"});
  EXPECT_EQ(again.status, 0) << again.out << again.err;
  CDlgFile merged;
  ASSERT_EQ(merged.Load(repo_.File("game.dlg").c_str()), 1);
  EXPECT_EQ(Members(merged, "Intro"), "0:Hello 1:Welcome 2:Bye 3:A says 4:B says so");
  EXPECT_STREQ(Line(merged, 3).GetSpeaker().c_str(), "");
  EXPECT_STREQ(Line(merged, 4).GetSpeaker().c_str(), "Bo");
}

TEST_F(DlgtoolGit, LineDeletedAndAnotherAddedUnderItsIdConflictsWithAnEditOfTheOldOne) {
  const ToolRun merge = MergeBranches(
      [](CDlgFile& doc) {  // ours deletes line 2, and the next new line takes the free ID 2
        doc.DeleteItem(doc.FindItem(2), doc.FindPlot("Intro"));
        CDlgItem line;
        line.SetID(2);
        line.SetText("Brand new line");
        ASSERT_NE(doc.AddItem(line, doc.FindPlot("Intro"), doc.FindItem(1)), nullptr);
      },
      [](CDlgFile& doc) { Line(doc, 2).SetSpeaker("Bo"); });
  EXPECT_NE(merge.status, 0);
  EXPECT_TRUE(Contains(merge.out, "ours deleted it and added a different line under its ID"))
      << merge.out;
  CDlgFile merged;
  ASSERT_EQ(merged.Load(repo_.File("game.dlg").c_str()), 1);
  EXPECT_EQ(Members(merged, "Intro"), "0:Hello 1:Welcome 2:Brand new line 3:Bye");
  EXPECT_STREQ(Line(merged, 2).GetSpeaker().c_str(), "");
  EXPECT_STREQ(Line(merged, 3).GetSpeaker().c_str(), "Bo");
}

// Two merge bases: git's inner merge of the bases must not hide a conflict in them.
TEST_F(DlgtoolGit, CrissCrossMergeWithConflictingBasesIsAConflict) {
  EXPECT_EQ(repo_.Git({"config", "merge.parlatrix.recursive"}).out, "binary\n");
  ASSERT_EQ(repo_.Git({"checkout", "-q", "-b", "b"}).status, 0);
  EditSavedDocument(repo_.File("game.dlg"), [](CDlgFile& doc) { Line(doc, 0).SetText("B0"); });
  repo_.CommitAll("b1");
  ASSERT_EQ(repo_.Git({"checkout", "-q", "main"}).status, 0);
  EditSavedDocument(repo_.File("game.dlg"), [](CDlgFile& doc) { Line(doc, 0).SetText("A0"); });
  repo_.CommitAll("a1");
  // Each side merges the other's first commit, keeping its own text (a resolved conflict).
  ASSERT_EQ(repo_.Git({"tag", "a1"}).status, 0);
  ASSERT_NE(repo_.Git({"merge", "--no-edit", "b"}).status, 0);
  repo_.CommitAll("a2 keeps A0");
  ASSERT_EQ(repo_.Git({"checkout", "-q", "b"}).status, 0);
  ASSERT_NE(repo_.Git({"merge", "--no-edit", "a1"}).status, 0);
  EditSavedDocument(repo_.File("game.dlg"), [](CDlgFile& doc) { Line(doc, 0).SetText("B0"); });
  repo_.CommitAll("b2 keeps B0");
  ASSERT_EQ(repo_.Git({"checkout", "-q", "main"}).status, 0);
  unlink(repo_.File("game.dlg.conflicts.txt").c_str());
  const ToolRun merge = repo_.Git({"merge", "--no-edit", "b"});
  EXPECT_NE(merge.status, 0) << merge.out;
  EXPECT_TRUE(Contains(repo_.Git({"status", "--porcelain"}).out, "game.dlg")) << merge.out;
}

// The report is the work tree's: git merge-tree writes none and leaves a pending one; git add -A
// leaves it out; a symbolic link under its name is never written through.
TEST_F(DlgtoolGit, ReportsStayOutOfCommitsAndOtherMerges) {
  const ToolRun merge = MergeBranches([](CDlgFile& doc) { Line(doc, 0).SetText("Hey!"); },
                                      [](CDlgFile& doc) { Line(doc, 0).SetText("Hi!"); });
  ASSERT_NE(merge.status, 0);
  const std::string report = ReadFileBytes(repo_.File("game.dlg.conflicts.txt"));
  EXPECT_TRUE(Contains(report, "ours:   HEAD (your branch)\ntheirs: theirs\n")) << report;
  // merge-tree merges in objects only: the pending report stays as it is.
  const ToolRun tree = repo_.Git({"merge-tree", "--write-tree", "HEAD", "theirs"});
  EXPECT_EQ(tree.status, 1) << tree.out << tree.err;
  EXPECT_EQ(ReadFileBytes(repo_.File("game.dlg.conflicts.txt")), report);
  ASSERT_EQ(repo_.Git({"merge", "--abort"}).status, 0);
  ASSERT_EQ(repo_.Git({"add", "-A"}).status, 0);
  EXPECT_EQ(repo_.Git({"status", "--porcelain"}).out, "");
  // A link under the report's name, committed, points outside the repository.
  TempDir outside;
  const std::string victim = outside.File("victim");
  WriteFileBytes(victim, "keep");
  unlink(repo_.File("game.dlg.conflicts.txt").c_str());
  ASSERT_EQ(symlink(victim.c_str(), repo_.File("game.dlg.conflicts.txt").c_str()), 0);
  ASSERT_EQ(repo_.Git({"add", "-f", "game.dlg.conflicts.txt"}).status, 0);
  repo_.CommitAll("a link");
  ASSERT_EQ(repo_.Git({"checkout", "-q", "-b", "later"}).status, 0);
  EditSavedDocument(repo_.File("game.dlg"), [](CDlgFile& doc) { Line(doc, 1).SetText("W1"); });
  repo_.CommitAll("later");
  ASSERT_EQ(repo_.Git({"checkout", "-q", "main"}).status, 0);
  EditSavedDocument(repo_.File("game.dlg"), [](CDlgFile& doc) { Line(doc, 1).SetText("W2"); });
  repo_.CommitAll("main");
  const ToolRun again = repo_.Git({"merge", "--no-edit", "later"});
  EXPECT_NE(again.status, 0);
  EXPECT_TRUE(Contains(again.err, "is a symbolic link; the conflict report is not written"))
      << again.err;
  EXPECT_EQ(ReadFileBytes(victim), "keep");
}

TEST_F(DlgtoolGit, OctopusMergeOfConflictingDialogueFilesIsRefused) {
  ASSERT_EQ(repo_.Git({"checkout", "-q", "-b", "x"}).status, 0);
  EditSavedDocument(repo_.File("game.dlg"), [](CDlgFile& doc) { Line(doc, 0).SetText("X"); });
  repo_.CommitAll("x");
  ASSERT_EQ(repo_.Git({"checkout", "-q", "-b", "y", "main"}).status, 0);
  EditSavedDocument(repo_.File("game.dlg"), [](CDlgFile& doc) { Line(doc, 1).SetText("Y"); });
  repo_.CommitAll("y");
  ASSERT_EQ(repo_.Git({"checkout", "-q", "main"}).status, 0);
  const std::string before = ReadFileBytes(repo_.File("game.dlg"));
  const ToolRun octopus = repo_.Git({"merge", "--no-edit", "x", "y"});
  EXPECT_NE(octopus.status, 0);
  // git's octopus strategy runs no merge driver; it refuses the binary file and commits nothing.
  EXPECT_TRUE(Contains(octopus.err, "Cannot merge binary files")) << octopus.err;
  EXPECT_EQ(repo_.Git({"rev-list", "--count", "HEAD"}).out, "1\n");
  EXPECT_EQ(repo_.Git({"merge", "--abort"}).status, 0);
  EXPECT_EQ(ReadFileBytes(repo_.File("game.dlg")), before);
}

TEST_F(DlgtoolGit, InstallRefusesAttributesItCannotReadAndKeepsThem) {
  const std::string attributes = repo_.File(".gitattributes");
  WriteFileBytes(attributes, "*.png binary\n");
  chmod(attributes.c_str(), 0200);
  if (access(attributes.c_str(), R_OK) != 0) {  // root reads anything
    const ToolRun unreadable = repo_.Dlgtool({"git-install"});
    EXPECT_EQ(unreadable.status, 2);
    EXPECT_TRUE(Contains(unreadable.err, ".gitattributes: cannot read")) << unreadable.err;
  }
  chmod(attributes.c_str(), 0644);
  EXPECT_EQ(ReadFileBytes(attributes), "*.png binary\n");
  unlink(attributes.c_str());
  ASSERT_EQ(mkfifo(attributes.c_str(), 0644), 0);
  const ToolRun fifo = repo_.Dlgtool({"git-install"});  // must not block
  EXPECT_EQ(fifo.status, 2);
  EXPECT_TRUE(Contains(fifo.err, ".gitattributes: not a regular file")) << fifo.err;
}

// stash pop and checkout -m: git's "ours" is the commit checked out, "theirs" the writer's own
// uncommitted change; the report says so, and the result keeps the commit's text.
TEST_F(DlgtoolGit, StashPopAndCheckoutMergeKeepTheCheckedOutSideAndSaySo) {
  EditSavedDocument(repo_.File("game.dlg"), [](CDlgFile& doc) { Line(doc, 0).SetText("Mine"); });
  ASSERT_EQ(repo_.Git({"stash", "-q"}).status, 0);
  EditSavedDocument(repo_.File("game.dlg"),
                    [](CDlgFile& doc) { Line(doc, 0).SetText("Upstream"); });
  repo_.CommitAll("upstream");
  const ToolRun pop = repo_.Git({"stash", "pop"});
  EXPECT_NE(pop.status, 0);
  std::string report = ReadFileBytes(repo_.File("game.dlg.conflicts.txt"));
  EXPECT_TRUE(Contains(report, "ours:   HEAD (the commit checked out)\ntheirs: your changes"))
      << report;
  EXPECT_TRUE(Contains(report, "  ours:   \"Upstream\"\n  theirs: \"Mine\"\n")) << report;
  CDlgFile merged;
  ASSERT_EQ(merged.Load(repo_.File("game.dlg").c_str()), 1);
  EXPECT_STREQ(Line(merged, 0).GetText().c_str(), "Upstream");

  ASSERT_EQ(repo_.Git({"reset", "-q", "--hard"}).status, 0);
  ASSERT_EQ(repo_.Git({"branch", "b", "HEAD~1"}).status, 0);
  EditSavedDocument(repo_.File("game.dlg"), [](CDlgFile& doc) { Line(doc, 0).SetText("Local"); });
  const ToolRun checkout = repo_.Git({"checkout", "-m", "b"});
  (void)checkout;  // git checkout -m exits 0 even when it leaves conflicts
  EXPECT_EQ(repo_.Git({"rev-parse", "--abbrev-ref", "HEAD"}).out, "b\n");
  report = ReadFileBytes(repo_.File("game.dlg.conflicts.txt"));
  EXPECT_TRUE(Contains(report, "  ours:   \"Hello\"\n  theirs: \"Local\"\n")) << report;
}

// A dlgtool found on PATH is configured by its name, so a new install keeps working.
TEST_F(DlgtoolGit, InstallNamesTheCommandWhenPathFindsIt) {
  TempDir bin;
  ASSERT_EQ(symlink(DLGTOOL_PATH, bin.File("dlgtool").c_str()), 0);
  const std::string saved = std::getenv("PATH") != nullptr ? std::getenv("PATH") : "";
  setenv("PATH", (bin.path() + ":" + saved).c_str(), 1);
  const ToolRun install = dlgtooltest::RunProgram(repo_.path(), "dlgtool", {"git-install"});
  setenv("PATH", saved.c_str(), 1);
  EXPECT_EQ(install.status, 0) << install.err;
  EXPECT_EQ(repo_.Git({"config", "diff.parlatrix.textconv"}).out, "dlgtool textconv\n");
  EXPECT_TRUE(Contains(repo_.Git({"config", "merge.parlatrix.driver"}).out, "dlgtool merge %O"));
}

// A work tree whose folder name ends in a line break is not its neighbour without one.
TEST(DlgtoolGitInstall, FolderNameEndingInALineBreakIsNotTheNeighbour) {
  GitRepo neighbour;  // HOME/repo
  const std::string odd = neighbour.path() + "\n";
  ASSERT_EQ(mkdir(odd.c_str(), 0700), 0);
  ASSERT_EQ(dlgtooltest::RunProgram(odd, "git", {"init", "-q"}).status, 0);
  const ToolRun install = dlgtooltest::RunDlgtool(odd, {"git-install"});
  EXPECT_EQ(install.status, 0) << install.err;
  EXPECT_TRUE(FileExists(odd + "/.gitattributes"));
  EXPECT_FALSE(FileExists(neighbour.File(".gitattributes")));
}

// Big5 texts: git diff shows them as UTF-8 with git-install --encoding, and without it keeps the
// 0x5C trail bytes of 許功蓋 whole only when told the code page; both through real git.
TEST_F(DlgtoolGit, LegacyCodePageTextsShowAsUtf8InGitDiff) {
  const std::string big5 = "\xB3\x5C\xA5\x5C\xBB\x5C";  // 許功蓋
  EditSavedDocument(repo_.File("game.dlg"),
                    [&](CDlgFile& doc) { Line(doc, 1).SetText(big5.c_str()); });
  const ToolRun raw = repo_.Git({"diff", "-U0"});
  EXPECT_TRUE(Contains(raw.out, "+1\tBo\t\t\t\xB3\\\\\xA5\\\\\xBB\\\\\n")) << raw.out;
  const ToolRun install = repo_.Dlgtool({"git-install", "--encoding", "BIG5"});
  ASSERT_EQ(install.status, 0) << install.err;
  EXPECT_TRUE(Contains(repo_.Git({"config", "diff.parlatrix.textconv"}).out,
                       "' textconv --encoding 'BIG5'\n"));
  const ToolRun diff = repo_.Git({"diff", "-U0"});
  EXPECT_TRUE(Contains(diff.out, "+1\tBo\t\t\t\xE8\xA8\xB1\xE5\x8A\x9F\xE8\x93\x8B\n")) << diff.out;
  const ToolRun kept = repo_.Dlgtool({"textconv", "game.dlg", "--encoding", "GBK"});
  EXPECT_EQ(kept.status, 0);
  EXPECT_EQ(repo_.Dlgtool({"textconv", "game.dlg", "--encoding", "NO-SUCH"}).status, 2);
  EXPECT_EQ(repo_.Dlgtool({"git-install", "--encoding", "NO-SUCH"}).status, 2);
}

}  // namespace

// The merge driver killed while it writes its result, for real: git runs a wrapper that starts
// dlgtool's driver and sends it a signal as soon as a temporary file of the result holds bytes.
class DlgtoolGitKilledDriver : public DlgtoolGit {
 protected:
  // 4 000 lines of 4 000 bytes (16 MB), so that writing the result takes a while.
  void SetUp() override {
    DlgtoolGit::SetUp();
    EditSavedDocument(repo_.File("game.dlg"), [](CDlgFile& doc) {
      PlotPos big = doc.AddPlot("Big", 1000, 5000);
      for (int id = 1000; id < 5000; ++id) {
        AddTestLine(doc, big, id, std::string(4000, static_cast<char>('a' + id % 26)).c_str());
      }
    });
    repo_.CommitAll("big");
    folder_ = repo_.path() + "/.git/parlatrix/tmp";
  }

  // Sets the wrapper as the driver; it sends `signal` once the driver's own temporary file holds
  // bytes, and writes "hit" to Mark().
  void KillWith(const std::string& signal) {
    const std::string script = repo_.File("../killer.sh");
    WriteFileBytes(script,
                   "#!/bin/sh\n"
                   "'" DLGTOOL_PATH
                   "' merge \"$@\" & pid=$!\n"
                   "while read -r state < /proc/$pid/stat; do\n"
                   "  case $state in *') Z '*) break ;; esac\n"
                   "  for f in '" +
                       folder_ +
                       "'/.*.parlatrix-save.$pid-*.tmp; do\n"
                       "    if [ -s \"$f\" ]; then kill -" +
                       signal + " $pid; echo hit > '" + Mark() +
                       "'; wait $pid; exit $?; fi\n"
                       "  done\n"
                       "done\n"
                       "wait $pid\n");
    chmod(script.c_str(), 0700);
    EXPECT_EQ(
        repo_.Git({"config", "merge.parlatrix.driver", script + " %O %A %B --path %P"}).status, 0);
  }

  std::string Mark() const { return repo_.File("../hit"); }

  // Files in the temporary folder.
  int Leftovers() const {
    const ToolRun list = RunProgram(repo_.path(), "sh", {"-c", "ls -A '" + folder_ + "' | wc -l"});
    return std::atoi(list.out.c_str());
  }

  std::string folder_;
};

TEST_F(DlgtoolGitKilledDriver, NothingItLeavesCanBeCommittedOrTakenForAResult) {
  // Two branches that merge cleanly when the driver runs to its end.
  ASSERT_EQ(repo_.Git({"checkout", "-q", "-b", "theirs"}).status, 0);
  EditSavedDocument(repo_.File("game.dlg"), [](CDlgFile& doc) { Line(doc, 1).SetText("Theirs"); });
  repo_.CommitAll("theirs");
  ASSERT_EQ(repo_.Git({"checkout", "-q", "main"}).status, 0);
  EditSavedDocument(repo_.File("game.dlg"), [](CDlgFile& doc) { Line(doc, 0).SetText("Ours"); });
  repo_.CommitAll("ours");
  const std::string ours = ReadFileBytes(repo_.File("game.dlg"));
  // Without the .gitignore lines git-install writes: nothing may rely on them.
  ASSERT_EQ(unlink(repo_.File(".gitignore").c_str()), 0);
  repo_.CommitAll("no ignore file");

  for (const char* signal : {"KILL", "TERM"}) {
    SCOPED_TRACE(signal);
    bool hit = false;
    for (int attempt = 0; attempt < 5 && !hit; ++attempt) {
      unlink(Mark().c_str());
      KillWith(signal);
      const ToolRun merge = repo_.Git({"merge", "--no-edit", "theirs"});
      hit = FileExists(Mark());
      if (!hit) {  // the driver finished first: undo the merge and try again
        ASSERT_EQ(repo_.Git({"reset", "-q", "--hard", "HEAD~1"}).status, 0) << merge.out;
        continue;
      }
      EXPECT_NE(merge.status, 0);
      // git marks the file conflicted and keeps ours, whole, in the work tree.
      EXPECT_EQ(repo_.Git({"status", "--porcelain", "--ignored", "--untracked-files=all"}).out,
                "UU game.dlg\n");
      EXPECT_EQ(ReadFileBytes(repo_.File("game.dlg")), ours);
      // SIGTERM takes the half-written file with it; SIGKILL leaves it in the git directory.
      const int left = Leftovers();
      if (std::string(signal) == "TERM") EXPECT_EQ(left, 0);
      ASSERT_EQ(repo_.Git({"merge", "--abort"}).status, 0);
      EXPECT_EQ(repo_.Git({"status", "--porcelain", "--ignored", "--untracked-files=all"}).out, "");
    }
    EXPECT_TRUE(hit) << "the driver always finished before the signal";
  }
  // The next merge, run to its end, merges and removes what a killed one left.
  ASSERT_EQ(repo_.Dlgtool({"git-install"}).status, 0);
  unlink(repo_.File(".gitignore").c_str());
  const ToolRun merge = repo_.Git({"merge", "--no-edit", "theirs"});
  EXPECT_EQ(merge.status, 0) << merge.out << merge.err;
  EXPECT_EQ(Leftovers(), 0);
  CDlgFile doc;
  ASSERT_EQ(doc.Load(repo_.File("game.dlg").c_str()), 1);
  EXPECT_EQ(std::string(Line(doc, 0).GetText().c_str()) + Line(doc, 1).GetText().c_str(),
            "OursTheirs");
}
