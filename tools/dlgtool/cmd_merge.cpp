// dlgtool merge BASE OURS THEIRS [-o OUT] [--path NAME]: the three-way merge by line ID and plot
// name (merge/dlg_merge.h), usable as git's merge driver `dlgtool merge %O %A %B --path %P`,
// which writes the result into %A.
//
// An input that cannot be merged safely stops everything before any file is written: one that
// cannot be opened, that is no dialogue file, that is damaged (the structural check finds
// something), or that lists one ID twice or names two plots alike. An empty file is an empty
// document: git passes one as BASE when both branches added the file.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <string>

#include "commands.h"
#include "dlgfile/dlg_verify.h"
#include "document_io.h"
#include "git_context.h"
#include "merge/dlg_merge.h"
#include "merge/dlg_merge_image.h"
#include "merge/dlg_merge_write.h"
#include "merge/dlg_stored_text.h"
#include "output.h"
#include "platform/file_io.h"
#include "platform/text_escape.h"
#include "structure_notes.h"
#include "write_rules.h"

namespace dlgtool {

namespace {

constexpr char kReportSuffix[] = ".conflicts.txt";

// One version: its bytes, the document for versions the image does not read, and the snapshot,
// which views one of them. Kept until the end: freeing a hundred thousand lines between the large
// allocations of the next read costs glibc's allocator more than the whole merge.
struct Input {
  MergeImage image;
  CDlgFile doc;
  MergeDocument snapshot;
  bool storedText = false;  // the stored text form of `git-install --store-text`
  std::string textStorage;  // its unescaped values, which the snapshot views
};

// Reads and verifies one input and takes its snapshot; false, with a message, when it cannot be
// merged.
bool ReadInput(const std::string& path, Input& input) {
  const platform::Status read = input.image.Read(path.c_str());
  if (!read) {
    Message("%s: %s", path.c_str(), read.Text().c_str());
    return false;
  }
  if (input.image.size() == 0) return true;  // an empty document
  const std::string_view bytes(reinterpret_cast<const char*>(input.image.bytes()),
                               input.image.size());
  if (IsStoredText(bytes)) {
    input.storedText = true;
    const platform::Status parsed = ParseStoredText(bytes, input.snapshot, input.textStorage);
    if (!parsed) {
      Message("%s: the stored text form is damaged (%s); not merged", path.c_str(),
              parsed.message.c_str());
    }
    return static_cast<bool>(parsed);
  }
  DlgHeader header = NewDlgHeader();
  OverlayDlgHeader(header, input.image.bytes(), input.image.size());
  if (!HasDialogueSignature(header)) {
    Message("%s: no dialogue file header (DLGTEXT, QUILLHAVEN@); not merged", path.c_str());
    return false;
  }
  const DlgVerifyResult verified = VerifyDlgBytes(input.image.bytes(), input.image.size(), 1);
  if (!verified.findings.empty()) {
    Message("%s: structural problem (%s); not merged. dlgtool check lists every problem",
            path.c_str(), FormatStructureFinding(verified.findings[0]).c_str());
    return false;
  }
  platform::Status taken;
  if (input.image.version() >= kDlgVersionMembers) {
    taken = input.image.Snapshot(input.snapshot);
  } else {
    QuietDiagnostics quiet;
    taken = input.doc.Load(path.c_str()) != 0
                ? SnapshotDocument(input.doc, input.snapshot)
                : platform::Status::Failure("cannot load the dialogue file");
  }
  if (!taken) Message("%s: %s; not merged", path.c_str(), taken.message.c_str());
  return static_cast<bool>(taken);
}

std::string ReportText(const std::vector<MergeConflict>& conflicts, const std::string& name,
                       const SideNames& sides) {
  std::string out = std::to_string(conflicts.size()) +
                    (conflicts.size() == 1 ? " conflict" : " conflicts") + " in " + name +
                    "; the result keeps ours where both sides changed one thing. Resolve each "
                    "in the editor.\n";
  if (!sides.ours.empty()) {
    out += "ours:   " + sides.ours + "\ntheirs: " + sides.theirs + "\nbase:   " + sides.base + "\n";
  }
  int number = 0;
  for (const MergeConflict& conflict : conflicts) {
    out += "\nconflict " + std::to_string(++number) + ": " + conflict.subject + "\n";
    out += "  base:   " + conflict.base + "\n";
    out += "  ours:   " + conflict.ours + "\n";
    out += "  theirs: " + conflict.theirs + "\n";
    out += "  result: " + conflict.outcome + "\n";
  }
  return out;
}

// The first component of `path` (each folder on the way, and the report itself) that is a
// symbolic link, or "" when none is. A report is never written through a link: a link committed
// under the report's name would otherwise make the next conflicting merge write wherever it points.
std::string LinkOnTheWay(const std::string& path) {
  for (size_t end = path.find('/', 1);; end = path.find('/', end + 1)) {
    const std::string part = end == std::string::npos ? path : path.substr(0, end);
    struct stat info;
    if (lstat(part.c_str(), &info) == 0 && S_ISLNK(info.st_mode)) return part;
    if (end == std::string::npos) return "";
  }
}

bool WriteReport(const std::string& path, const std::string& text) {
  return platform::ReplaceFile(path.c_str(), [&text](std::FILE* file) {
           return platform::WriteBytes(file, text.data(), text.size());
         }) == platform::ReplaceResult::kReplaced;
}

// The record of moved lines: `<git-common-dir>/parlatrix/moves`, one line per move,
// `FROM TAB TO TAB "PATH"` (the path quoted and escaped as in the text form), appended by each
// merge that renumbered a line. It is the repository's own, never committed, and read by every
// later merge of the same path.
std::string MovesFile(const GitContext& git) {
  return git.commonDir + "/parlatrix/moves";
}

std::vector<MergeMove> ReadMoves(const GitContext& git, const std::string& path) {
  std::vector<MergeMove> moves;
  const int fd = open(MovesFile(git).c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return moves;
  struct stat info;
  std::string text;
  if (fstat(fd, &info) == 0 && S_ISREG(info.st_mode)) {
    char buffer[8192];
    ssize_t got = 0;
    while ((got = read(fd, buffer, sizeof buffer)) > 0)
      text.append(buffer, static_cast<size_t>(got));
  }
  close(fd);
  std::string quoted;
  platform::AppendQuotedText(quoted, path);
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    const std::string line = text.substr(start, end - start);
    start = end + 1;
    char* rest = nullptr;
    const long from = std::strtol(line.c_str(), &rest, 10);
    if (rest == line.c_str() || *rest != '\t') continue;
    const char* second = rest + 1;
    const long to = std::strtol(second, &rest, 10);
    if (rest == second || *rest != '\t' || std::string(rest + 1) != quoted) continue;
    if (from < 0 || to < 0 || from > INT32_MAX || to > INT32_MAX) continue;
    moves.push_back({static_cast<int32_t>(from), static_cast<int32_t>(to)});
  }
  return moves;
}

platform::Status SaveStoredText(const MergeDocument& merged, const char* path) {
  const std::string text = RenderStoredText(merged);
  const platform::ReplaceResult result = platform::ReplaceFile(path, [&text](std::FILE* file) {
    return platform::WriteBytes(file, text.data(), text.size());
  });
  return result == platform::ReplaceResult::kReplaced
             ? platform::Status::Ok()
             : platform::Status::SystemFailure("cannot write the merged file");
}

// `<git-common-dir>/parlatrix/tmp`, made when missing; "" when it cannot be made.
std::string TemporaryFolder(const GitContext& git) {
  const std::string parent = git.commonDir + "/parlatrix";
  const std::string folder = parent + "/tmp";
  mkdir(parent.c_str(), 0777);
  mkdir(folder.c_str(), 0777);
  struct stat info;
  return lstat(folder.c_str(), &info) == 0 && S_ISDIR(info.st_mode) ? folder : std::string();
}

void RecordMoves(const GitContext& git, const std::string& path,
                 const std::vector<MergeMove>& moves) {
  const std::string folder = git.commonDir + "/parlatrix";
  mkdir(folder.c_str(), 0777);
  const int fd = open(MovesFile(git).c_str(),
                      O_WRONLY | O_APPEND | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, 0666);
  std::string text;
  for (const MergeMove& move : moves) {
    text += std::to_string(move.from) + "\t" + std::to_string(move.to) + "\t";
    platform::AppendQuotedText(text, path);
    text += "\n";
  }
  struct stat info;
  const bool written = fd >= 0 && fstat(fd, &info) == 0 && S_ISREG(info.st_mode) &&
                       write(fd, text.data(), text.size()) == static_cast<ssize_t>(text.size());
  if (!written) {
    Message("%s: cannot record the moved lines: %s; a later merge may not recognise them",
            MovesFile(git).c_str(), Reason());
  }
  if (fd >= 0) close(fd);
}

// Writes (or, without conflicts, removes) the report file beside the merged file. Only for a
// merge into the work tree: git merge-tree and an inner merge of a criss-cross merge must leave
// the work tree, and the report of a merge still pending there, alone.
void FileReport(const std::string& reportPath, const std::string& report, size_t count,
                const std::string& shown) {
  const std::string link = LinkOnTheWay(reportPath);
  if (!link.empty()) {
    Message("%s: is a symbolic link; the conflict report is not written through it%s", link.c_str(),
            report.empty() ? "" : " (it is only above)");
    return;
  }
  if (report.empty()) {
    // A report left from an earlier merge of this file would describe conflicts that are gone.
    if (unlink(reportPath.c_str()) != 0 && errno != ENOENT) {
      Message("%s: cannot remove the old report: %s", reportPath.c_str(), Reason());
    }
    return;
  }
  if (!WriteReport(reportPath, report)) {
    Message("%s: cannot write the conflict report: %s; it is only above", reportPath.c_str(),
            Reason());
  } else {
    Message("%s: %zu conflict%s, listed in %s", shown.c_str(), count, count == 1 ? "" : "s",
            reportPath.c_str());
  }
}

}  // namespace

int RunMerge(const std::string& base, const std::string& ours, const std::string& theirs,
             const std::string& output, const MergeLabels& labels) {
  const std::string& written = output.empty() ? ours : output;
  if (!output.empty() &&
      RefuseTarget(output, TargetKind::kDialogue, {base, theirs}, "the merged file")) {
    return kExitFailure;
  }
  // Writing over OURS: locked for the whole read-merge-write, and OURS as read is checked again
  // right before the merged file replaces it (write_rules.h).
  InPlaceGuard guard;
  if (!guard.Take(written)) return kExitFailure;
  Input inputs[3];
  const std::string* paths[3] = {&base, &ours, &theirs};
  for (int k = 0; k < 3; ++k) {
    if (!ReadInput(*paths[k], inputs[k])) return kExitFailure;
  }
  // As git's driver (a path given), the repository keeps what earlier merges moved.
  const GitContext git = labels.path.empty() ? GitContext() : DetectGitContext();
  const std::vector<MergeMove> earlier =
      git.inRepository ? ReadMoves(git, labels.path) : std::vector<MergeMove>();
  const MergeResult result =
      MergeDocuments(inputs[0].snapshot, inputs[1].snapshot, inputs[2].snapshot, earlier);

  const std::string& target = written;
  platform::Status saved;
  {
    const platform::ReplaceCheckScope recheck = guard.RecheckBeforeReplace();
    // Run by git, the result replaces git's `.merge_file_XXXXXX` at the top of the work tree.
    // The half-written file of a driver killed there would show in `git status` and could be
    // committed or taken for a result; in the git directory it cannot.
    const platform::TemporaryFolderScope hidden(git.inRepository ? TemporaryFolder(git) : "");
    errno = 0;
    // With the stored text form git hands the driver text and stores what it leaves: text.
    saved = inputs[1].storedText ? SaveStoredText(result.merged, target.c_str())
                                 : SaveMergedDocument(result.merged, target.c_str());
  }
  if (!saved) {
    errno = saved.systemError;
    guard.SayWhyNotSaved(target, "the merged dialogue file");
    return kExitFailure;
  }
  const std::string shown = labels.path.empty() ? target : labels.path;
  if (git.inRepository && !result.renumbered.empty())
    RecordMoves(git, labels.path, result.renumbered);
  for (const MergeMove& move : result.followed) {
    Message("%s: line %d was moved to ID %d by an earlier merge; changes to it went there",
            shown.c_str(), move.from, move.to);
  }
  const bool fileReport = !git.inRepository || git.workTreeMerge;
  const std::string reportPath = shown + kReportSuffix;
  if (result.conflicts.empty()) {
    if (fileReport) FileReport(reportPath, "", 0, shown);
    return kExitSuccess;
  }
  const SideNames sides = NameSides(git, labels.base, labels.ours, labels.theirs);
  const std::string report = ReportText(result.conflicts, shown, sides);
  PrintResult(report);
  if (fileReport) FileReport(reportPath, report, result.conflicts.size(), shown);
  return kExitFinding;
}

}  // namespace dlgtool
