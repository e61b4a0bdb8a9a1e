// The rules every dlgtool command follows before it writes a file (docs/safety.md):
//  - a damaged dialogue input is named, and a command whose output would lack its unread lines
//    refuses unless the user asked for it with --accept-damage; in place it always refuses;
//  - every file a command writes (its output, a log) goes through one target check: it is never
//    one of the command's inputs, and never a dialogue file unless dialogue files are what the
//    command writes;
//  - a file that an interrupted in-place save left a backup of is named before it is read.
#pragma once

#include <string>
#include <vector>

#include "model/dlg_file.h"
#include "platform/file_io.h"

namespace dlgtool {

// Set from the command line (--accept-damage): write outputs from damaged inputs after naming
// the damage, instead of refusing.
void SetAcceptDamage(bool accept);
bool AcceptDamage();

// Names the damage of the loaded dialogue file `path` (one message per problem, as check words
// it). Returns true when the command must stop: the file is damaged and damage was not accepted.
// `output` names what would lack the unread lines ("the export", "the script").
[[nodiscard]] bool RefuseDamagedInput(const std::string& path, const char* output);

// What the damage check of a command that only reports found: kNotChecked when memory ran out
// before the check could say (after a message): the command then fails (exit 2), since the file
// is neither known intact nor known damaged.
enum class DamageReport { kIntact, kDamaged, kNotChecked };
// Names the damage of `path`, if any; for commands that only report.
[[nodiscard]] DamageReport ReportDamage(const std::string& path);

// True, after a message, when the damage check of `path` gave `damage` = only its out-of-memory
// line: the check did not run, which is the command's failure, never damage. `writes`: the
// message adds that nothing was written.
[[nodiscard]] bool CheckRanOutOfMemory(const std::string& path,
                                       const std::vector<std::string>& damage, bool writes);

enum class TargetKind {
  kDialogue,  // the command writes a dialogue file (import -o, recode -o, merge -o)
  kOther,     // an export, a script, a log: a dialogue file there is a mistake
};

// The one target check. True, after a message, when `target` must not be written: it is the same
// file as one of `inputs` (followed through links and hard links), or, for kOther, it holds a
// dialogue file. `what` names the output in the message ("an export", "the log").
[[nodiscard]] bool RefuseTarget(const std::string& target, TargetKind kind,
                                const std::vector<std::string>& inputs, const char* what);

// The output of a command that writes FILE or -o OUT: "" (in place) when OUT names FILE itself,
// so that writing there follows the in-place rules (lock, damage, change check).
[[nodiscard]] std::string OutputOrInPlace(const std::string& file, const std::string& output);

// Names a backup that an interrupted in-place save of `path` left beside it, and refuses (true)
// when `path` itself is empty or shorter than that backup: then the file is what the interrupted
// save cut, and the backup holds the truth.
[[nodiscard]] bool RefuseCutFileWithBackup(const std::string& path);

// For a command that reads a file and writes it again (merge over OURS, export --update): the
// advisory lock for the whole read-modify-write, and the check right before the new file replaces
// the old one that nobody changed it meanwhile (a writer that ignores the lock: the editor, git).
class InPlaceGuard {
 public:
  // Locks `path` if it exists and notes what it is, before the command reads it. False, after a
  // message, when the lock cannot be had.
  [[nodiscard]] bool Take(const std::string& path);
  // While the returned scope lives, every save re-checks the file right before replacing it.
  [[nodiscard]] platform::ReplaceCheckScope RecheckBeforeReplace() const;
  // The message after a failed save of `path`: changed meanwhile, or the system's reason.
  // `what` names the file ("the merged dialogue file").
  void SayWhyNotSaved(const std::string& path, const char* what) const;

 private:
  platform::FileLock lock_;
  platform::FileIdentity read_;
  std::string path_;
};

}  // namespace dlgtool
