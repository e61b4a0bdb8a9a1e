// dlgtool merge BASE OURS THEIRS [-o OUT] [--path NAME]: the three-way merge by line ID and plot
// name (merge/dlg_merge.h), usable as git's merge driver `dlgtool merge %O %A %B --path %P`,
// which writes the result into %A.
//
// An input that cannot be merged safely stops everything before any file is written: one that
// cannot be opened, that is no dialogue file, that is damaged (the structural check finds
// something), or that lists one ID twice or names two plots alike. An empty file is an empty
// document: git passes one as BASE when both branches added the file.
#include <unistd.h>

#include <cerrno>
#include <string>

#include "commands.h"
#include "document_io.h"
#include "dlgfile/dlg_verify.h"
#include "merge/dlg_merge.h"
#include "merge/dlg_merge_image.h"
#include "merge/dlg_merge_write.h"
#include "output.h"
#include "platform/file_io.h"
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
};

// Reads and verifies one input and takes its snapshot; false, with a message, when it cannot be
// merged.
bool ReadInput(const std::string& path, Input& input) {
  if (!input.image.Read(path.c_str())) {
    Message("%s: cannot open the dialogue file: %s", path.c_str(), Reason());
    return false;
  }
  if (input.image.size() == 0) return true;  // an empty document
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
  std::string problem;
  bool taken = false;
  if (input.image.version() >= kDlgVersionMembers) {
    taken = input.image.Snapshot(input.snapshot, problem);
  } else {
    QuietDiagnostics quiet;
    problem = "cannot load the dialogue file";
    taken = input.doc.Load(path.c_str()) != 0 &&
            SnapshotDocument(input.doc, input.snapshot, problem);
  }
  if (!taken) Message("%s: %s; not merged", path.c_str(), problem.c_str());
  return taken;
}

std::string ReportText(const std::vector<MergeConflict>& conflicts, const std::string& name) {
  std::string out = std::to_string(conflicts.size()) +
                    (conflicts.size() == 1 ? " conflict" : " conflicts") + " in " + name +
                    "; the result keeps ours where both sides changed one thing. Resolve each "
                    "in the editor.\n";
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

bool WriteReport(const std::string& path, const std::string& text) {
  return platform::ReplaceFile(path.c_str(), [&text](std::FILE* file) {
           return platform::WriteBytes(file, text.data(), text.size());
         }) == platform::ReplaceResult::kReplaced;
}

}  // namespace

int RunMerge(const std::string& base, const std::string& ours, const std::string& theirs,
             const std::string& output, const std::string& name) {
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
  const MergeResult result =
      MergeDocuments(inputs[0].snapshot, inputs[1].snapshot, inputs[2].snapshot);

  const std::string& target = written;
  bool saved = false;
  {
    const platform::ReplaceCheckScope recheck = guard.RecheckBeforeReplace();
    errno = 0;
    saved = SaveMergedDocument(result.merged, target.c_str());
  }
  if (!saved) {
    guard.SayWhyNotSaved(target, "the merged dialogue file");
    return kExitFailure;
  }
  const std::string shown = name.empty() ? target : name;
  const std::string reportPath = shown + kReportSuffix;
  if (result.conflicts.empty()) {
    // A report left from an earlier merge of this file would describe conflicts that are gone.
    if (unlink(reportPath.c_str()) != 0 && errno != ENOENT) {
      Message("%s: cannot remove the old report: %s", reportPath.c_str(), Reason());
    }
    return kExitSuccess;
  }
  const std::string report = ReportText(result.conflicts, shown);
  PrintResult(report);
  if (!WriteReport(reportPath, report)) {
    Message("%s: cannot write the conflict report: %s; it is only above", reportPath.c_str(),
            Reason());
  } else {
    Message("%s: %zu conflict%s, listed in %s", shown.c_str(), result.conflicts.size(),
            result.conflicts.size() == 1 ? "" : "s", reportPath.c_str());
  }
  return kExitFinding;
}

}  // namespace dlgtool
