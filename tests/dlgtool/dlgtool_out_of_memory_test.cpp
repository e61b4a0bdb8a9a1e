// Memory running out at any allocation of a dlgtool command: with the allocation seam of
// tests/preload/fail_new.cpp loaded, the Nth operator new of the process fails (std::bad_alloc,
// or nullptr from a nothrow new). Whatever N is, the command either finishes exactly as without
// the fault, or says it ran out of memory and exits 2 with every file of its folder as it was
// (no target replaced, no temporary file, no backup, no log): never an abort, never a half
// result reported as success.
//
// Each command is first run without a fault, which gives its result and the number of
// allocations it makes; the fault is then put on the first allocations one by one, on a spread
// over the whole run, and on the last ones (where the writers finish and replace their targets).
#include <gtest/gtest.h>
#include <zip.h>

#include <map>
#include <set>
#include <string>
#include <vector>

#include "model/dlg_file.h"
#include "support/document_builder.h"
#include "support/temp_dir.h"
#include "tool_run.h"

#ifdef FAIL_NEW_PRELOAD_PATH

namespace {

using Folder = std::map<std::string, std::string>;  // file name -> bytes

// A workbook's parts but docProps/core.xml, which holds the time it was written.
Folder XlsxParts(const std::string& bytes) {
  Folder parts;
  zip_error_t error;
  zip_error_init(&error);
  zip_source_t* source = zip_source_buffer_create(bytes.data(), bytes.size(), 0, &error);
  zip_t* archive = source != nullptr ? zip_open_from_source(source, ZIP_RDONLY, &error) : nullptr;
  if (archive == nullptr) {
    if (source != nullptr) zip_source_free(source);
    parts["(not a zip archive)"] = bytes;
    return parts;
  }
  for (zip_int64_t k = 0; k < zip_get_num_entries(archive, 0); ++k) {
    const std::string name = zip_get_name(archive, static_cast<zip_uint64_t>(k), 0);
    if (name == "docProps/core.xml") continue;
    zip_stat_t stat;
    zip_file_t* file = zip_fopen_index(archive, static_cast<zip_uint64_t>(k), 0);
    if (file == nullptr || zip_stat_index(archive, static_cast<zip_uint64_t>(k), 0, &stat) != 0) {
      parts[name] = "(unreadable)";
      if (file != nullptr) zip_fclose(file);
      continue;
    }
    std::string content(stat.size, '\0');
    if (zip_fread(file, content.data(), stat.size) != static_cast<zip_int64_t>(stat.size)) {
      content = "(cut)";
    }
    zip_fclose(file);
    parts[name] = content;
  }
  zip_discard(archive);
  return parts;
}

// Two results are the same when every file has the same bytes, workbooks but for the time they
// were written.
bool SameResult(const Folder& a, const Folder& b) {
  if (a.size() != b.size()) return false;
  for (auto x = a.begin(), y = b.begin(); x != a.end(); ++x, ++y) {
    if (x->first != y->first) return false;
    const bool workbook = x->first.size() > 5 && x->first.compare(x->first.size() - 5, 5, ".xlsx") == 0;
    if (workbook ? XlsxParts(x->second) != XlsxParts(y->second) : x->second != y->second) {
      return false;
    }
  }
  return true;
}

Folder ReadFolder(const std::string& dir) {
  Folder folder;
  for (const std::string& name : FolderEntries(dir)) folder[name] = ReadFileBytes(dir + "/" + name);
  return folder;
}

void ResetFolder(const TempDir& dir, const Folder& folder) {
  for (const std::string& name : FolderEntries(dir.path())) {
    std::remove(dir.File(name).c_str());
  }
  for (const auto& [name, bytes] : folder) WriteFileBytes(dir.File(name), bytes);
}

// dlgtool `args` in `dir` with the seam loaded; fails the `failAt`th allocation (0: none). When
// `count` is given, the number of allocations made is stored there.
dlgtooltest::ToolRun RunWithSeam(const TempDir& dir, const std::vector<std::string>& args,
                                 long failAt, long* count = nullptr) {
  TempDir side;
  std::vector<std::string> envArgs = {std::string("LD_PRELOAD=") + FAIL_NEW_PRELOAD_PATH,
                                      "PARLATRIX_TEST_FAIL_NEW=" + std::to_string(failAt),
                                      "PARLATRIX_TEST_NEW_COUNT=" + side.File("count"),
                                      DLGTOOL_PATH};
  envArgs.insert(envArgs.end(), args.begin(), args.end());
  dlgtooltest::ToolRun run = dlgtooltest::RunProgram(dir.path(), "env", envArgs);
  if (count != nullptr) {
    *count = FileExists(side.File("count")) ? std::stol(ReadFileBytes(side.File("count"))) : -1;
  }
  return run;
}

// The folder every command starts from: a document of two plots whose texts have line breaks,
// Korean and an empty text, and a translated file of each exchange format made from it.
Folder StartingFolder() {
  TempDir dir;
  CDlgFile doc;
  PlotPos first = doc.AddPlot("first", -1, -1);
  PlotPos second = doc.AddPlot("second", -1, -1);
  AddTestLine(doc, first, 1, "Hello\r\nthere", "Ann", "smile", "a1.wav");
  AddTestLine(doc, first, 2, "", "Ann");
  AddTestLine(doc, first, 3, "안녕하세요", "Bo", "", "a3.wav");
  for (int id = 10; id < 20; ++id) {
    AddTestLine(doc, second, id, ("line " + std::to_string(id)).c_str(), "Cy");
  }
  EXPECT_EQ(doc.Save(dir.File("doc.dlg").c_str()), 1);
  CDlgFile translated;
  EXPECT_EQ(translated.Load(dir.File("doc.dlg").c_str()), 1);
  for (LinePos pos = translated.GetLines().GetHeadPosition(); pos != nullptr; pos = pos->next) {
    pos->value.SetText((std::string("번역 ") + pos->value.GetText().c_str()).c_str());
  }
  EXPECT_EQ(translated.Save(dir.File("ko.dlg").c_str()), 1);
  for (const char* name : {"ko.po", "ko.xlf", "ko.csv", "ko.xlsx"}) {
    EXPECT_EQ(dlgtooltest::RunDlgtool(dir.path(), {"export", "doc.dlg", name, "--translation",
                                                   "ko.dlg"})
                  .status,
              0)
        << name;
  }
  EXPECT_EQ(dlgtooltest::RunDlgtool(dir.path(), {"export", "ko.dlg", "tr.txt"}).status, 0);
  std::remove(dir.File("ko.dlg").c_str());
  // The document moves on after the files went out: a changed text and a new line, so that an
  // update has something to do and an import something to report.
  doc.GetItem(doc.FindItem(10)).SetText("line 10, changed");
  AddTestLine(doc, second, 20, "line 20", "Cy");
  EXPECT_EQ(doc.Save(dir.File("doc.dlg").c_str()), 1);
  Folder folder = ReadFolder(dir.path());
  // Targets that exist already, so that "untouched" means something.
  for (const char* name : {"out.po", "out.xlf", "out.csv", "out.xlsx", "out.txt", "script.xlsx"}) {
    folder[name] = "old\n";
  }
  return folder;
}

struct Case {
  const char* name;
  std::vector<std::string> args;
};

// Which allocations to fail out of `total`: the first 30, about 100 spread over the run, and the
// last 30.
std::set<long> FaultPositions(long total) {
  std::set<long> at;
  for (long n = 1; n <= total && n <= 30; ++n) at.insert(n);
  const long step = total / 100 > 1 ? total / 100 : 1;
  for (long n = 1; n <= total; n += step) at.insert(n);
  for (long n = total > 30 ? total - 29 : 1; n <= total; ++n) at.insert(n);
  return at;
}

// The folder every command starts from, in `dir`, and the command's run there without a fault;
// `total` is the number of allocations it made.
void RunClean(const TempDir& dir, const Case& command, const Folder& start,
              dlgtooltest::ToolRun& clean, long& total) {
  ResetFolder(dir, start);
  clean = RunWithSeam(dir, command.args, 0, &total);
  // 1: the command reports findings (a stale entry), which the runs below must report alike.
  ASSERT_TRUE(clean.status == 0 || clean.status == 1) << clean.err;
  ASSERT_GT(total, 0) << "the allocation seam was not loaded";
}

// A failed run: exit 2, with dlgtool's words, the reader's (a damage check that could not run) or
// the system's reason; and since the document is whole, never a word of damage.
void ExpectOutOfMemory(const dlgtooltest::ToolRun& run) {
  ASSERT_EQ(run.status, 2) << run.err;
  EXPECT_TRUE(run.err.find("out of memory") != std::string::npos ||
              run.err.find("ot enough memory") != std::string::npos ||
              run.err.find("Cannot allocate memory") != std::string::npos)
      << run.err;
  EXPECT_EQ(run.err.find("damaged"), std::string::npos) << run.err;
}

class DlgtoolOutOfMemory : public ::testing::TestWithParam<Case> {};

TEST_P(DlgtoolOutOfMemory, EitherTheWholeResultOrNothingWritten) {
  static const Folder start = StartingFolder();
  TempDir dir;
  dlgtooltest::ToolRun clean;
  long total = 0;
  ASSERT_NO_FATAL_FAILURE(RunClean(dir, GetParam(), start, clean, total));
  const Case& command = GetParam();
  const Folder result = ReadFolder(dir.path());
  ASSERT_FALSE(SameResult(result, start)) << "the command changed nothing";
  int refused = 0;
  for (long n : FaultPositions(total)) {
    SCOPED_TRACE("allocation " + std::to_string(n) + " of " + std::to_string(total));
    ResetFolder(dir, start);
    const dlgtooltest::ToolRun run = RunWithSeam(dir, command.args, n);
    const Folder after = ReadFolder(dir.path());
    if (run.status == clean.status) {
      // A failure the command could go round (a cache it does without): the same result.
      EXPECT_TRUE(SameResult(after, result)) << run.err;
      continue;
    }
    ++refused;
    ASSERT_NO_FATAL_FAILURE(ExpectOutOfMemory(run));
    // Every file as it was, or, when the message says it was written, whole as without the
    // fault; none half written, none added that the result lacks.
    std::vector<std::string> changed;
    for (const auto& [name, bytes] : after) {
      auto was = start.find(name);
      if (was == start.end() || was->second != bytes) changed.push_back(name);
    }
    for (const auto& [name, bytes] : start) {
      if (after.count(name) == 0) changed.push_back(name + " (removed)");
    }
    for (const std::string& name : changed) {
      const auto whole = result.find(name);
      const auto now = after.find(name);
      EXPECT_TRUE(run.err.find("was written") != std::string::npos ||
                  run.err.find("were written") != std::string::npos)
          << run.err << "changed: " << name;
      EXPECT_TRUE(whole != result.end() && now != after.end() &&
                  SameResult({*whole}, {*now}))
          << run.err << "changed: " << name;
    }
    if (changed.size() == 1) EXPECT_NE(run.err.find(changed[0]), std::string::npos) << run.err;
  }
  EXPECT_GT(refused, 0);
}

INSTANTIATE_TEST_SUITE_P(
    Commands, DlgtoolOutOfMemory,
    ::testing::Values(
        Case{"ExportPo", {"export", "doc.dlg", "out.po"}},
        Case{"ExportXliff", {"export", "doc.dlg", "out.xlf"}},
        Case{"ExportXliff2", {"export", "doc.dlg", "out.xlf", "--xliff-version", "2.0"}},
        Case{"ExportCsv", {"export", "doc.dlg", "out.csv"}},
        Case{"ExportXlsx", {"export", "doc.dlg", "out.xlsx"}},
        Case{"ExportText", {"export", "doc.dlg", "out.txt"}},
        Case{"UpdatePo", {"export", "doc.dlg", "ko.po", "--update"}},
        Case{"UpdateXliff", {"export", "doc.dlg", "ko.xlf", "--update"}},
        Case{"UpdateCsv", {"export", "doc.dlg", "ko.csv", "--update"}},
        Case{"UpdateXlsx", {"export", "doc.dlg", "ko.xlsx", "--update"}},
        // In place: the document's own save.
        Case{"ImportPoInPlace", {"import", "doc.dlg", "ko.po"}},
        Case{"ImportXliffInPlace", {"import", "doc.dlg", "ko.xlf"}},
        Case{"ImportCsv", {"import", "doc.dlg", "ko.csv", "-o", "new.dlg"}},
        Case{"ImportXlsx", {"import", "doc.dlg", "ko.xlsx", "-o", "new.dlg"}},
        Case{"ImportXliffLog", {"import", "doc.dlg", "ko.xlf", "-o", "new.dlg", "--log", "l.txt"}},
        Case{"ImportTextInPlace", {"import", "doc.dlg", "tr.txt"}},
        Case{"RecodeInPlace", {"recode", "doc.dlg", "--from", "UTF-8", "--to", "CP949"}},
        Case{"Voscript", {"voscript", "doc.dlg", "script.xlsx"}}),
    [](const ::testing::TestParamInfo<Case>& info) { return std::string(info.param.name); });

// Commands that only report, each with a damage check of the whole file: under any fault the
// same report and exit status, or exit 2 saying memory ran out; never a sound file called damaged
// (exit 1) because its check could not run.
class DlgtoolOutOfMemoryReport : public ::testing::TestWithParam<Case> {};

TEST_P(DlgtoolOutOfMemoryReport, EitherTheSameReportOrOutOfMemory) {
  static const Folder start = StartingFolder();
  TempDir dir;
  dlgtooltest::ToolRun clean;
  long total = 0;
  ASSERT_NO_FATAL_FAILURE(RunClean(dir, GetParam(), start, clean, total));
  int refused = 0;
  for (long n : FaultPositions(total)) {
    SCOPED_TRACE("allocation " + std::to_string(n) + " of " + std::to_string(total));
    const dlgtooltest::ToolRun run = RunWithSeam(dir, GetParam().args, n);
    EXPECT_TRUE(SameResult(ReadFolder(dir.path()), start));
    if (run.status == clean.status) {
      EXPECT_EQ(run.out, clean.out) << run.err;
      continue;
    }
    ++refused;
    ASSERT_NO_FATAL_FAILURE(ExpectOutOfMemory(run));
  }
  EXPECT_GT(refused, 0);
}

INSTANTIATE_TEST_SUITE_P(Commands, DlgtoolOutOfMemoryReport,
                         ::testing::Values(Case{"Info", {"info", "doc.dlg"}},
                                           Case{"Stats", {"stats", "doc.dlg"}},
                                           Case{"StatusPo", {"status", "doc.dlg", "ko.po"}}),
                         [](const ::testing::TestParamInfo<Case>& info) {
                           return std::string(info.param.name);
                         });

}  // namespace

#endif  // FAIL_NEW_PRELOAD_PATH
