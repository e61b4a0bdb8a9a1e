// What dlgtool and the scrambler must never do to a user's files: replace a dialogue file by an
// export, write into a FIFO or over a file the user may not write, or apply an import whose log
// is lost.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <string>

#include "model/dlg_file.h"
#include "support/document_builder.h"
#include "support/temp_dir.h"
#include "tool_run.h"

namespace {

using dlgtooltest::RunDlgtool;
using dlgtooltest::ToolRun;

class DlgtoolSafety : public ::testing::Test {
 protected:
  void SetUp() override {
    CDlgFile doc;
    AddTestLine(doc, doc.AddPlot("P", -1, -1), 3, "hello");
    ASSERT_EQ(doc.Save(dir_.File("doc.dlg").c_str()), 1);
    original_ = ReadFileBytes(dir_.File("doc.dlg"));
  }

  ToolRun Run(const std::vector<std::string>& args) { return RunDlgtool(dir_.path(), args); }

  // Runs a shell command in the test folder as an ordinary user: as root through setpriv as
  // nobody, otherwise as ourselves. The exit status, or -1 when that is impossible here.
  int RunAsUser(const std::string& command) {
    std::string line = "cd '" + dir_.path() + "' && ";
    if (geteuid() == 0) {
      if (chmod(dir_.path().c_str(), 0777) != 0) return -1;
      if (std::system("setpriv --reuid=65534 --regid=65534 --clear-groups true 2>/dev/null") != 0) {
        return -1;
      }
      line += "setpriv --reuid=65534 --regid=65534 --clear-groups ";
    }
    const int status = std::system((line + command + " >/dev/null 2>&1").c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }

  TempDir dir_;
  std::string original_;
};

TEST_F(DlgtoolSafety, ExportNeverReplacesADialogueFile) {
  WriteFileBytes(dir_.File("fr.txt"), "*************\r\n3\r\nbonjour\r\n\r\n");
  // Names swapped: the "document" is the text file, the target the dialogue file.
  ToolRun run = Run({"export", "fr.txt", "doc.dlg"});
  EXPECT_EQ(run.status, 2);
  EXPECT_EQ(ReadFileBytes(dir_.File("doc.dlg")), original_);
  run = Run({"export", "doc.dlg", "doc.dlg"});
  EXPECT_EQ(run.status, 2);
  EXPECT_EQ(ReadFileBytes(dir_.File("doc.dlg")), original_);
  // The same file under another name (a hard link) is the document's own file as well.
  ASSERT_EQ(link(dir_.File("doc.dlg").c_str(), dir_.File("alias.txt").c_str()), 0);
  run = Run({"export", "doc.dlg", "alias.txt"});
  EXPECT_EQ(run.status, 2);
  EXPECT_EQ(ReadFileBytes(dir_.File("doc.dlg")), original_);
  // An ordinary text target is still replaced, through a temporary file that does not stay.
  run = Run({"export", "doc.dlg", "fr.txt"});
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(ReadFileBytes(dir_.File("fr.txt")), "*************\r\n3\r\nhello\r\n\r\n");
  EXPECT_EQ(std::system(("test -z \"$(ls -A '" + dir_.path() + "' | grep tmp)\"").c_str()), 0);
}

TEST_F(DlgtoolSafety, SaveRefusesTargetsThatAreNoWritableRegularFile) {
  WriteFileBytes(dir_.File("in.txt"), "*************\r\n3\r\nnew\r\n\r\n");
  ASSERT_EQ(mkfifo(dir_.File("fifo").c_str(), 0666), 0);
  ToolRun run = Run({"import", "doc.dlg", "in.txt", "-o", "fifo"});
  EXPECT_EQ(run.status, 2);
  struct stat info;
  ASSERT_EQ(lstat(dir_.File("fifo").c_str(), &info), 0);
  EXPECT_TRUE(S_ISFIFO(info.st_mode));
  run = Run({"import", "doc.dlg", "in.txt", "-o", "."});
  EXPECT_EQ(run.status, 2);

  // A write-protected file in a writable folder: renaming over it would succeed, writing into it
  // would not, and the save must fail as the write would.
  ASSERT_EQ(chmod(dir_.File("doc.dlg").c_str(), 0444), 0);
  const int status = RunAsUser(std::string("'") + DLGTOOL_PATH + "' import doc.dlg in.txt");
  if (status < 0) GTEST_SKIP() << "cannot run as an unprivileged user here";
  EXPECT_EQ(status, 2);
  EXPECT_EQ(ReadFileBytes(dir_.File("doc.dlg")), original_);
}

TEST_F(DlgtoolSafety, AnImportWhoseLogCannotBeWrittenAppliesNothing) {
  WriteFileBytes(dir_.File("in.txt"), "*************\r\n3\r\nnew\r\n\r\n99\r\nghost\r\n\r\n");
  ASSERT_EQ(mkdir(dir_.File("Parlatrix.log").c_str(), 0777), 0);
  ToolRun run = Run({"import", "doc.dlg", "in.txt"});
  EXPECT_EQ(run.status, 2);
  EXPECT_EQ(ReadFileBytes(dir_.File("doc.dlg")), original_);
  ASSERT_EQ(rmdir(dir_.File("Parlatrix.log").c_str()), 0);
  run = Run({"import", "doc.dlg", "in.txt"});
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(ReadFileBytes(dir_.File("Parlatrix.log")), "99\r\n ghost\r\n");
}

TEST_F(DlgtoolSafety, ScramblerReadsOnlyRegularFilesAndReplacesItsOutputWhole) {
  // /dev/zero never ends: both readers of the configuration stop at once with an error.
  const ToolRun check = Run({"check", "doc.dlg", "--ini", "/dev/zero"});
  EXPECT_EQ(check.status, 2);
  EXPECT_NE(check.err.find("cannot open the configuration"), std::string::npos) << check.err;
  const std::string tool = std::string("'") + INI_SCRAMBLE_PATH + "' ";
  EXPECT_EQ(RunAsUser(tool + "/dev/zero out.ini"), 1);
  EXPECT_NE(access(dir_.File("out.ini").c_str(), F_OK), 0);
  WriteFileBytes(dir_.File("p.ini"), "[PARLATRIX]\r\nHEADCOUNT=0\r\n");
  ASSERT_EQ(chmod(dir_.File("p.ini").c_str(), 0666), 0);
  // IN and OUT one file: read whole first, then replaced whole.
  EXPECT_EQ(RunAsUser(tool + "p.ini p.ini"), 0);
  EXPECT_EQ(RunAsUser(tool + "--unscramble p.ini p.ini"), 0);
  // The plain form comes back with the unscrambler's LF line ends.
  EXPECT_EQ(ReadFileBytes(dir_.File("p.ini")), "[PARLATRIX]\nHEADCOUNT=0\n");
}

TEST_F(DlgtoolSafety, InPlaceWritesRefuseDamagedAndChangedFiles) {
  WriteFileBytes(dir_.File("in.txt"), "*************\r\n3\r\nnew\r\n\r\n");
  std::string damaged = original_;
  damaged.resize(damaged.size() - 6);  // the last record cut short
  WriteFileBytes(dir_.File("doc.dlg"), damaged);
  ToolRun run = Run({"import", "doc.dlg", "in.txt"});
  EXPECT_EQ(run.status, 2);
  EXPECT_NE(run.err.find("damaged"), std::string::npos) << run.err;
  EXPECT_NE(run.err.find("use -o"), std::string::npos) << run.err;
  EXPECT_EQ(ReadFileBytes(dir_.File("doc.dlg")), damaged);
  // Elsewhere only when asked for: what loaded goes to the new file.
  run = Run({"import", "doc.dlg", "in.txt", "-o", "mended.dlg"});
  EXPECT_EQ(run.status, 2);
  EXPECT_FALSE(FileExists(dir_.File("mended.dlg")));
  run = Run({"import", "doc.dlg", "in.txt", "-o", "mended.dlg", "--accept-damage"});
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(ReadFileBytes(dir_.File("doc.dlg")), damaged);

  // Two in-place imports at once: the lock makes the second wait for the first; both apply.
  WriteFileBytes(dir_.File("doc.dlg"), original_);
  WriteFileBytes(dir_.File("a.txt"), "*************\r\n3\r\nfrom a\r\n\r\n");
  const std::string tool = std::string("'") + DLGTOOL_PATH + "' import doc.dlg ";
  const std::string both = "cd '" + dir_.path() + "' && (" + tool + "a.txt & " + tool +
                           "a.txt & wait) >/dev/null 2>&1";
  EXPECT_EQ(std::system(both.c_str()), 0);
  run = Run({"get", "doc.dlg", "3", "--text-only"});
  EXPECT_EQ(run.out, "from a\n");
}

TEST_F(DlgtoolSafety, LeftoversOfKilledSavesGoAndAnEmptyOutputNameIsAUsageError) {
  // A temporary file of a process that no longer runs (pid far above any pid_max in use), one of
  // a live process (ours), and users' files that merely look alike: without the marker only this
  // program puts into its names, and one with it in another folder.
  const std::string dead = dir_.File(".doc.dlg.parlatrix-save.4194000-1.tmp");
  const std::string live =
      dir_.File(".doc.dlg.parlatrix-save." + std::to_string(getpid()) + "-1.tmp");
  const std::string user = dir_.File(".notes.tmp");
  const std::string alike = dir_.File(".notes.4194000-1.tmp");
  ASSERT_EQ(mkdir(dir_.File("sub").c_str(), 0777), 0);
  const std::string elsewhere = dir_.File("sub/.x.parlatrix-save.4194000-1.tmp");
  for (const std::string& path : {dead, live, user, alike, elsewhere}) WriteFileBytes(path, "x");
  WriteFileBytes(dir_.File("in.txt"), "*************\r\n3\r\nnew\r\n\r\n");
  ToolRun run = Run({"import", "doc.dlg", "in.txt"});
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_NE(access(dead.c_str(), F_OK), 0);
  EXPECT_EQ(access(live.c_str(), F_OK), 0);
  EXPECT_EQ(access(user.c_str(), F_OK), 0);
  EXPECT_EQ(access(alike.c_str(), F_OK), 0);
  EXPECT_EQ(access(elsewhere.c_str(), F_OK), 0);

  const std::string before = ReadFileBytes(dir_.File("doc.dlg"));
  run = Run({"import", "doc.dlg", "in.txt", "-o", ""});
  EXPECT_EQ(run.status, 2);
  EXPECT_EQ(ReadFileBytes(dir_.File("doc.dlg")), before);
}

TEST_F(DlgtoolSafety, ImportTellsTheTruthAboutItsInput) {
  // A byte-order mark is no part of the first ID; --log puts unmatched texts where asked.
  WriteFileBytes(dir_.File("bom.txt"), "\xEF\xBB\xBF" "3\r\nbom\r\n\r\n77\r\nstray\r\n\r\n");
  ToolRun run = Run({"import", "doc.dlg", "bom.txt", "--log", "stray.log"});
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out, "matched: 1\nlogged: 1 (stray.log)\n");
  EXPECT_EQ(ReadFileBytes(dir_.File("stray.log")), "77\r\n stray\r\n");
  EXPECT_NE(access(dir_.File("Parlatrix.log").c_str(), F_OK), 0);
  const std::string saved = ReadFileBytes(dir_.File("doc.dlg"));

  // UTF-16 and a file without any entry are findings, and nothing is saved.
  WriteFileBytes(dir_.File("u16.txt"), std::string("\xFF\xFE" "3\0\r\0\n\0", 8));
  run = Run({"import", "doc.dlg", "u16.txt"});
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.err.find("UTF-16"), std::string::npos) << run.err;
  WriteFileBytes(dir_.File("none.txt"), "just some notes\r\n");
  run = Run({"import", "doc.dlg", "none.txt"});
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.err.find("no entry"), std::string::npos) << run.err;
  // A pipe cannot be read twice: refused clearly, not taken for an empty file.
  ASSERT_EQ(mkfifo(dir_.File("pipe").c_str(), 0666), 0);
  run = Run({"import", "doc.dlg", "pipe"});
  EXPECT_EQ(run.status, 2);
  EXPECT_NE(run.err.find("no regular file"), std::string::npos) << run.err;
  // The exchange import refuses it too, instead of blocking in the open until a writer comes.
  run = Run({"import", "doc.dlg", "pipe", "--format", "po"});
  EXPECT_EQ(run.status, 2);
  EXPECT_NE(run.err.find("pipe: cannot open the file: Invalid argument"), std::string::npos)
      << run.err;
  EXPECT_EQ(ReadFileBytes(dir_.File("doc.dlg")), saved);

  // Texts the plain form cannot carry back are named on export, with the way out.
  CDlgFile odd;
  PlotPos plot = odd.AddPlot("P", -1, -1);
  AddTestLine(odd, plot, 3, "fine");
  AddTestLine(odd, plot, 4, "12345");
  AddTestLine(odd, plot, 5, "a\r\n*************\r\nb");
  AddTestLine(odd, plot, 6, "ends\r\n");
  ASSERT_EQ(odd.Save(dir_.File("odd.dlg").c_str()), 1);
  run = Run({"export", "odd.dlg", "out.txt"});
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_NE(run.err.find("IDs 4 5 6;"), std::string::npos) << run.err;
  EXPECT_NE(run.err.find("PO or XLIFF"), std::string::npos) << run.err;
}

TEST_F(DlgtoolSafety, ResultsThatCannotBeWrittenAndFailedCallsAreNamed) {
  // /dev/full takes no byte: whatever a command prints, the loss is exit status 2 with the reason,
  // never a silent 0. A large result fails while printing, a small one only at the final flush.
  const std::string tool = std::string("'") + DLGTOOL_PATH + "' ";
  CDlgFile big;
  PlotPos plot = big.AddPlot("P", -1, -1);
  const std::string text(100, 'x');
  for (int id = 0; id < 3000; ++id) AddTestLine(big, plot, id, text.c_str());
  ASSERT_EQ(big.Save(dir_.File("big.dlg").c_str()), 1);
  for (const char* command : {"info doc.dlg", "get doc.dlg 3", "textconv doc.dlg",
                              "textconv big.dlg", "--help"}) {
    const std::string line = "cd '" + dir_.path() + "' && " + tool + command +
                             " >/dev/full 2>err.txt";
    const int status = std::system(line.c_str());
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 2) << command;
    EXPECT_EQ(ReadFileBytes(dir_.File("err.txt")),
              "dlgtool: cannot write the output: No space left on device\n")
        << command;
  }
  // A save that fails names its reason.
  WriteFileBytes(dir_.File("in.txt"), "*************\r\n3\r\nnew\r\n\r\n");
  ToolRun run = Run({"import", "doc.dlg", "in.txt", "-o", "doc.dlg/x.dlg"});
  EXPECT_EQ(run.status, 2);
  EXPECT_NE(run.err.find("doc.dlg/x.dlg: cannot save the dialogue file: Not a directory; it is "
                         "unchanged"),
            std::string::npos)
      << run.err;
}

TEST_F(DlgtoolSafety, AnotherUsersFileIsWrittenInPlaceAndKeepsItsOwner) {
  if (geteuid() != 0) GTEST_SKIP() << "needs root, to run dlgtool as another user (setpriv)";
  const std::string path = dir_.File("doc.dlg");
  ASSERT_EQ(chmod(path.c_str(), 0666), 0);
  struct stat before;
  ASSERT_EQ(stat(path.c_str(), &before), 0);
  WriteFileBytes(dir_.File("in.txt"), "*************\r\n3\r\nfrom nobody\r\n\r\n");
  const int status = RunAsUser(std::string("'") + DLGTOOL_PATH + "' import doc.dlg in.txt");
  if (status < 0) GTEST_SKIP() << "setpriv cannot run a command as nobody here";
  EXPECT_EQ(status, 0);
  struct stat after;
  ASSERT_EQ(stat(path.c_str(), &after), 0);
  EXPECT_EQ(after.st_uid, 0u);
  EXPECT_EQ(after.st_gid, before.st_gid);
  EXPECT_EQ(after.st_ino, before.st_ino);
  EXPECT_EQ(after.st_mode, before.st_mode);
  EXPECT_EQ(Run({"get", "doc.dlg", "3", "--text-only"}).out, "from nobody\n");
  EXPECT_EQ(FolderEntries(dir_.path()),
            (std::vector<std::string>{"doc.dlg", "in.txt"}));
}

}  // namespace
