// Every command under the same rules, one table per fault group: a read error is exit 2 with the
// system's reason, a damaged input is named and refused unless accepted, and no command writes
// over one of its own inputs or over a dialogue file that is not its output. Each case checks the
// exit status, the message and the bytes of every file in the folder.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "model/dlg_file.h"
#include "support/document_builder.h"
#include "support/temp_dir.h"
#include "tool_run.h"

namespace {

using dlgtooltest::RunDlgtool;
using dlgtooltest::RunProgram;
using dlgtooltest::ToolRun;

using Files = std::map<std::string, std::string>;

Files Snapshot(const std::string& dir) {
  Files files;
  for (const std::string& name : FolderEntries(dir)) {
    struct stat info;
    const std::string path = dir + "/" + name;
    if (lstat(path.c_str(), &info) != 0) continue;
    files[name] = S_ISLNK(info.st_mode) ? "-> link" : ReadFileBytes(path);
  }
  return files;
}

struct Case {
  std::vector<std::string> args;
  int status;
  std::string message;  // a part of stderr
};

class DlgtoolRefusals : public ::testing::Test {
 protected:
  void SetUp() override {
    CDlgFile doc;
    PlotPos plot = doc.AddPlot("P", -1, -1);
    AddTestLine(doc, plot, 3, "hello");
    AddTestLine(doc, plot, 4, "world");
    ASSERT_EQ(doc.Save(dir_.File("doc.dlg").c_str()), 1);
    std::string cut = ReadFileBytes(dir_.File("doc.dlg"));
    cut.resize(cut.size() - 6);  // the last record cut short
    WriteFileBytes(dir_.File("cut.dlg"), cut);
    WriteFileBytes(dir_.File("in.txt"), "*************\r\n3\r\nbonjour\r\n\r\n");
    ASSERT_EQ(Run({"export", "doc.dlg", "ko.po"}).status, 0);
    ASSERT_EQ(Run({"export", "doc.dlg", "ko.csv"}).status, 0);
  }

  ToolRun Run(const std::vector<std::string>& args) { return RunDlgtool(dir_.path(), args); }

  // Runs every case and checks that it changed no file and created none.
  void ExpectRefused(const std::vector<Case>& cases,
                     const std::function<ToolRun(const std::vector<std::string>&)>& run) {
    for (const Case& c : cases) {
      std::string line;
      for (const std::string& arg : c.args) line += arg + " ";
      SCOPED_TRACE(line);
      const Files before = Snapshot(dir_.path());
      const ToolRun result = run(c.args);
      EXPECT_EQ(result.status, c.status) << result.err;
      EXPECT_NE(result.err.find(c.message), std::string::npos) << result.err;
      EXPECT_EQ(Snapshot(dir_.path()), before);
    }
  }

  TempDir dir_;
};

TEST_F(DlgtoolRefusals, AReadErrorIsNeverAnEmptyDocument) {
#if defined(__SANITIZE_ADDRESS__)
  // AddressSanitizer reserves terabytes of address space, keeps descriptors of its own and reads
  // through its own calls: the limits and injected faults below measure it, not dlgtool.
  GTEST_SKIP() << "not under AddressSanitizer";
#endif
  // Every pread of the process fails, as past a bad sector: Load reads the document through it.
  if (std::system("strace -V >/dev/null 2>&1") != 0) GTEST_SKIP() << "strace is not installed";
  if (RunProgram(dir_.path(), "strace", {"-qq", "-o", "/dev/null", "true"}).status != 0) {
    GTEST_SKIP() << "strace cannot trace here (no ptrace permission)";
  }
  const std::string eio = "doc.dlg: cannot load the dialogue file: Input/output error";
  const std::vector<Case> cases = {
      {{"import", "doc.dlg", "in.txt"}, 2, eio},
      {{"import", "doc.dlg", "in.txt", "-o", "new.dlg"}, 2, eio},
      {{"import", "doc.dlg", "ko.po"}, 2, eio},
      {{"export", "doc.dlg", "out.txt"}, 2, eio},
      {{"export", "doc.dlg", "out.po"}, 2, eio},
      {{"export", "doc.dlg", "out.xlf"}, 2, eio},
      {{"export", "doc.dlg", "ko.po", "--update"}, 2, eio},
      {{"export", "doc.dlg", "ko.csv", "--update"}, 2, eio},
      {{"recode", "doc.dlg", "--from", "UTF-8", "--to", "UTF-8"}, 2, eio},
      {{"voscript", "doc.dlg", "out.csv"}, 2, eio},
      {{"status", "doc.dlg", "ko.po"}, 2, eio},
      {{"info", "doc.dlg"}, 2, eio},
      {{"stats", "doc.dlg"}, 2, eio},
      {{"check", "doc.dlg"}, 2, eio},
      // git must see the textconv fail, not diff an empty document; a lookup is no missing line.
      {{"textconv", "doc.dlg"}, 2, eio},
      {{"get", "doc.dlg", "3"}, 2, "doc.dlg: cannot read the dialogue file: Input/output error"},
  };
  ExpectRefused(cases, [this](const std::vector<std::string>& args) {
    // Only the reads of doc.dlg (-P): the loader's reads of the libraries must succeed.
    std::vector<std::string> line = {"-f", "-qq", "-o", "/dev/null", "-P", dir_.File("doc.dlg"),
                                     "-e", "trace=pread64", "-e", "inject=pread64:error=EIO",
                                     DLGTOOL_PATH};
    line.insert(line.end(), args.begin(), args.end());
    return RunProgram(dir_.path(), "strace", line);
  });
}

TEST_F(DlgtoolRefusals, ADamagedInputIsNamedAndItsOutputsRefused) {
  const std::string refused = "would lack the lines that could not be read; nothing written";
  const std::string inPlace = "cut.dlg: damaged (1 problems above); not replaced";
  const std::vector<Case> cases = {
      {{"export", "cut.dlg", "out.txt"}, 2, refused},
      {{"export", "cut.dlg", "out.po"}, 2, refused},
      {{"export", "cut.dlg", "out.csv"}, 2, refused},
      {{"export", "doc.dlg", "out.po", "--translation", "cut.dlg"}, 2, refused},
      {{"voscript", "cut.dlg", "out.csv"}, 2, refused},
      {{"recode", "cut.dlg", "--from", "UTF-8", "--to", "UTF-8", "-o", "new.dlg"}, 2, refused},
      {{"import", "cut.dlg", "in.txt", "-o", "new.dlg"}, 2, refused},
      {{"import", "cut.dlg", "ko.po", "-o", "new.dlg"}, 2, refused},
      // In place, and through -o naming the file itself, even when accepted.
      {{"recode", "cut.dlg", "--from", "UTF-8", "--to", "UTF-8"}, 2, inPlace},
      {{"import", "cut.dlg", "in.txt", "-o", "./cut.dlg"}, 2, inPlace},
      {{"import", "cut.dlg", "in.txt", "--accept-damage"}, 2, inPlace},
      {{"import", "cut.dlg", "ko.po", "-o", "./cut.dlg", "--accept-damage"}, 2, inPlace},
      // An update would drop or obsolete the unread lines' entries: refused, accepted or not.
      {{"export", "cut.dlg", "ko.po", "--update"}, 2, "ko.po: not updated"},
      {{"export", "cut.dlg", "ko.csv", "--update", "--accept-damage"}, 2, "ko.csv: not updated"},
      // Reports say so and are findings.
      {{"status", "cut.dlg", "ko.po"}, 1, "cut.dlg: damaged (1 problems above)"},
      {{"info", "cut.dlg"}, 1, "cut.dlg: damaged (1 problems above)"},
  };
  ExpectRefused(cases, [this](const std::vector<std::string>& args) { return Run(args); });

  // Asked for, an output elsewhere is written, and the damage is still named.
  const ToolRun run = Run({"export", "cut.dlg", "out.txt", "--accept-damage"});
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_NE(run.err.find("cut.dlg: damaged: "), std::string::npos) << run.err;
  EXPECT_EQ(ReadFileBytes(dir_.File("out.txt")), "*************\r\n3\r\nhello\r\n\r\n");
}

TEST_F(DlgtoolRefusals, NoCommandWritesOverItsInputsOrADialogueFile) {
  ASSERT_EQ(symlink("doc.dlg", dir_.File("link.xlf").c_str()), 0);
  ASSERT_EQ(symlink("doc.dlg", dir_.File("link.csv").c_str()), 0);
  const std::string swapped = "is a dialogue file; not replaced by";
  const std::vector<Case> cases = {
      {{"export", "doc.dlg", "doc.dlg", "--format", "po"}, 2, swapped},
      {{"export", "ko.csv", "doc.dlg", "--format", "csv"}, 2, swapped},
      {{"export", "doc.dlg", "link.xlf"}, 2, swapped},
      {{"export", "doc.dlg", "link.xlf", "--update"}, 2, swapped},
      {{"export", "doc.dlg", "cut.dlg"}, 2, swapped},
      {{"export", "doc.dlg", "ko.po", "--translation", "ko.po", "--format", "po"}, 2,
       "ko.po: is an input of this command"},
      {{"voscript", "doc.dlg", "link.csv"}, 2, swapped},
      {{"import", "doc.dlg", "in.txt", "--log", "doc.dlg"}, 2, swapped},
      {{"import", "doc.dlg", "in.txt", "--log", "cut.dlg"}, 2, swapped},
      {{"import", "doc.dlg", "in.txt", "--log", "in.txt"}, 2, "in.txt: is an input"},
      {{"import", "doc.dlg", "in.txt", "-o", "new.dlg", "--log", "new.dlg"}, 2,
       "new.dlg: is the output of this command"},
      {{"import", "doc.dlg", "in.txt", "-o", "in.txt"}, 2, "in.txt: is an input"},
      {{"import", "doc.dlg", "ko.po", "-o", "ko.po"}, 2, "ko.po: is an input"},
  };
  ExpectRefused(cases, [this](const std::vector<std::string>& args) { return Run(args); });
  // A log nobody keeps is accepted: unmatched texts go nowhere, the import applies.
  WriteFileBytes(dir_.File("more.txt"), "*************\r\n3\r\nsalut\r\n\r\n77\r\nstray\r\n\r\n");
  const ToolRun run = Run({"import", "doc.dlg", "more.txt", "--log", "/dev/null"});
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out, "matched: 1\nlogged: 1 (/dev/null)\n");
  EXPECT_EQ(Run({"get", "doc.dlg", "3", "--text-only"}).out, "salut\n");
}

TEST_F(DlgtoolRefusals, AWrongFileEmptiesNothingInPlace) {
  WriteFileBytes(dir_.File("wrong.po"), "msgid \"\"\nmsgstr \"\"\n\nmsgctxt \"99\"\nmsgid \"x\"\n"
                                        "msgstr \"y\"\n");
  const std::vector<Case> cases = {
      {{"import", "doc.dlg", "wrong.po", "--fallback", "empty"}, 2,
       "wrong.po: no translation applied; --fallback empty would empty every text of doc.dlg"},
  };
  ExpectRefused(cases, [this](const std::vector<std::string>& args) { return Run(args); });
  // To another file it is what was asked for.
  const ToolRun run = Run({"import", "doc.dlg", "wrong.po", "--fallback", "empty", "-o", "e.dlg"});
  EXPECT_EQ(run.status, 1) << run.err;
  EXPECT_EQ(Run({"get", "e.dlg", "3", "--text-only"}).out, "\n");
}

}  // namespace
