#include "write_rules.h"

#include <sys/stat.h>

#include <cerrno>
#include <climits>
#include <cstdlib>

#include "dlgfile/dlg_damage.h"
#include "document_io.h"
#include "output.h"
#include "platform/file_io.h"
#include "platform/path.h"

namespace dlgtool {

namespace {

bool acceptDamage = false;

// The path with its folder resolved, for telling two names of a file that does not exist yet.
std::string SpelledPath(const std::string& path) {
  const std::string folder = platform::FolderOf(path);
  char* real = realpath(folder.c_str(), nullptr);
  const std::string resolved = (real != nullptr ? std::string(real) : folder) + "/" +
                               platform::BaseNameOf(path);
  std::free(real);
  return resolved;
}

// Names each problem of the damage list; the core's own lines are quiet unless verbose.
std::vector<std::string> NameDamage(const std::string& path) {
  std::vector<std::string> damage;
  {
    QuietDiagnostics quiet;
    damage = DescribeDlgDamage(path.c_str());
  }
  const bool noMemory = damage.size() == 1 && damage[0].rfind("not enough memory", 0) == 0;
  if (!noMemory) {
    for (const std::string& line : damage) Message("%s: damaged: %s", path.c_str(), line.c_str());
  }
  return damage;
}

}  // namespace

void SetAcceptDamage(bool accept) { acceptDamage = accept; }
bool AcceptDamage() { return acceptDamage; }

bool CheckRanOutOfMemory(const std::string& path, const std::vector<std::string>& damage,
                         bool writes) {
  if (damage.size() != 1 || damage[0].rfind("not enough memory", 0) != 0) return false;
  Message("%s: out of memory while checking the file for damage%s", path.c_str(),
          writes ? "; nothing written" : "");
  return true;
}

bool RefuseDamagedInput(const std::string& path, const char* output) {
  const std::vector<std::string> damage = NameDamage(path);
  if (damage.empty()) return false;
  if (CheckRanOutOfMemory(path, damage, true)) return true;
  if (acceptDamage) {
    Message("%s: damaged (%zu problems above); %s lacks the lines that could not be read "
            "(--accept-damage)",
            path.c_str(), damage.size(), output);
    return false;
  }
  Message("%s: damaged (%zu problems above); %s would lack the lines that could not be read; "
          "nothing written (--accept-damage writes it all the same)",
          path.c_str(), damage.size(), output);
  return true;
}

DamageReport ReportDamage(const std::string& path) {
  const std::vector<std::string> damage = NameDamage(path);
  if (damage.empty()) return DamageReport::kIntact;
  if (CheckRanOutOfMemory(path, damage, false)) return DamageReport::kNotChecked;
  Message("%s: damaged (%zu problems above); what follows covers only the lines that loaded",
          path.c_str(), damage.size());
  return DamageReport::kDamaged;
}

bool RefuseTarget(const std::string& target, TargetKind kind,
                  const std::vector<std::string>& inputs, const char* what) {
  const platform::FileIdentity there = platform::IdentifyFile(target.c_str());
  // A file not made yet is one of the others by name only (the log and -o one new file).
  if (!there.exists) {
    for (const std::string& input : inputs) {
      if (input.empty() || SpelledPath(input) != SpelledPath(target)) continue;
      Message("%s: is the output of this command; not replaced by %s", target.c_str(), what);
      return true;
    }
    return false;
  }
  for (const std::string& input : inputs) {
    if (input.empty() || !platform::SameFile(there, platform::IdentifyFile(input.c_str()))) {
      continue;
    }
    DlgHeader header;
    if (kind == TargetKind::kOther && ReadHeader(target.c_str(), header) &&
        HasDialogueSignature(header)) {
      break;  // said below in the words for a dialogue file
    }
    Message("%s: is %s of this command; not replaced by %s", target.c_str(),
            input == inputs.front() ? "the input" : "an input", what);
    return true;
  }
  if (kind == TargetKind::kDialogue) return false;
  DlgHeader header;
  bool dialogue = there.exists && ReadHeader(target.c_str(), header) && HasDialogueSignature(header);
  // The document's own file, even without the signature (a file the editor read anyway).
  if (!dialogue && !inputs.empty() && !inputs.front().empty()) {
    dialogue = platform::SameFile(there, platform::IdentifyFile(inputs.front().c_str()));
  }
  if (dialogue) {
    Message("%s: is a dialogue file; not replaced by %s (are the names swapped?)", target.c_str(),
            what);
    return true;
  }
  return false;
}

std::string OutputOrInPlace(const std::string& file, const std::string& output) {
  if (output.empty()) return output;
  return platform::SameFile(platform::IdentifyFile(output.c_str()),
                            platform::IdentifyFile(file.c_str()))
             ? std::string()
             : output;
}

bool RefuseCutFileWithBackup(const std::string& path) {
  const std::string kept = platform::LeftSaveBackup(path.c_str());
  if (kept.empty()) return false;
  struct stat file;
  struct stat backup;
  const bool cut = stat(path.c_str(), &file) == 0 && stat(kept.c_str(), &backup) == 0 &&
                   (file.st_size == 0 || file.st_size < backup.st_size);
  if (!cut) {
    Message("%s: an earlier save of this file was interrupted; its contents before that save are "
            "kept in %s",
            path.c_str(), kept.c_str());
    return false;
  }
  Message("%s: %s than the backup %s that an interrupted save left; not read. Put the backup "
          "back (or remove it if %s is whole) and run the command again",
          path.c_str(), file.st_size == 0 ? "empty, and shorter" : "shorter", kept.c_str(),
          path.c_str());
  return true;
}

bool InPlaceGuard::Take(const std::string& path) {
  path_ = path;
  if (platform::IdentifyFile(path.c_str()).exists && !lock_.Lock(path.c_str())) {
    Message("%s: cannot lock the file: %s", path.c_str(), Reason());
    return false;
  }
  read_ = platform::IdentifyFileForReading(path.c_str());
  return true;
}

platform::ReplaceCheckScope InPlaceGuard::RecheckBeforeReplace() const {
  return platform::ReplaceCheckScope(
      [this] { return !platform::ChangedSince(read_, path_.c_str()); });
}

void InPlaceGuard::SayWhyNotSaved(const std::string& path, const char* what) const {
  if (errno == ESTALE) {
    Message("%s: changed on disk while this command ran; not replaced; run the command again",
            path.c_str());
  } else {
    Message("%s: cannot write %s: %s; it is unchanged", path.c_str(), what, Reason());
  }
}

}  // namespace dlgtool
