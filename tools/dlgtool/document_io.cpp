#include "document_io.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>

#include "dlgfile/dlg_damage.h"
#include "dlgfile/dlg_save_over.h"
#include "merge/dlg_stored_text.h"
#include "output.h"
#include "platform/debug_output.h"
#include "platform/file_read.h"
#include "write_rules.h"

namespace dlgtool {

namespace {

bool verboseDiagnostics = false;
int quietDepth = 0;

void ForwardDiagnostic(const std::string& line) {
  if (quietDepth > 0 && !verboseDiagnostics) return;
  std::string text = std::string(kProgram) + ": " + line;
  if (text.empty() || text.back() != '\n') text += '\n';
  FlushOutput();
  std::fwrite(text.data(), 1, text.size(), stderr);
}

}  // namespace

void InstallDiagnostics(bool verbose) {
  verboseDiagnostics = verbose;
  platform::SetDebugSink(ForwardDiagnostic);
}

QuietDiagnostics::QuietDiagnostics() {
  ++quietDepth;
}
QuietDiagnostics::~QuietDiagnostics() {
  --quietDepth;
}

std::string ReasonOf(const platform::Status& status) {
  platform::Status shown = status;
  if (shown.systemError != 0) shown.message.clear();
  return shown.Text();
}

bool ReadHeader(const char* path, DlgHeader& header) {
  std::FILE* file = platform::OpenRegularFileForReading(path);
  if (file == nullptr) return false;
  uint8_t block[kDlgHeaderSize];
  const int64_t got = platform::ReadStream(file, block, sizeof block);
  const int reason = errno;
  std::fclose(file);
  errno = reason;
  if (got < 0) return false;
  header = NewDlgHeader();
  OverlayDlgHeader(header, block, static_cast<size_t>(got));
  return true;
}

bool HasDialogueSignature(const DlgHeader& header) {
  const DlgHeader expected = NewDlgHeader();
  return std::memcmp(header.tag, expected.tag, sizeof header.tag) == 0 &&
         std::memcmp(header.signature, expected.signature, sizeof header.signature) == 0;
}

bool RefuseDialogueTarget(const std::string& out, const CDlgFile& doc, const char* what) {
  if (platform::SameFile(platform::IdentifyFile(out.c_str()), doc.LoadedFile())) {
    Message("%s: is a dialogue file; not replaced by %s (are the names swapped?)", out.c_str(),
            what);
    return true;
  }
  return RefuseTarget(out, TargetKind::kOther, {}, what);
}

namespace {

bool IsStoredTextFile(const char* path) {
  std::FILE* file = std::fopen(path, "rb");
  if (file == nullptr) return false;
  char start[kStoredTextMagic.size()];
  const size_t got = std::fread(start, 1, sizeof start, file);
  std::fclose(file);
  return IsStoredText(std::string_view(start, got));
}

}  // namespace

bool LoadDocument(const char* path, CDlgFile& doc, DlgHeader& header) {
  if (RefuseCutFileWithBackup(path)) return false;
  if (!ReadHeader(path, header)) {
    Message("%s: cannot open the dialogue file: %s", path, Reason());
    return false;
  }
  if (!HasDialogueSignature(header)) {
    if (IsStoredTextFile(path)) {
      // Checked out by a git without dlgtool's filter: loading it would make an empty document.
      Message(
          "%s: a dialogue file stored as text by git (git-install --store-text), checked out "
          "without dlgtool's filter: run `dlgtool git-install --store-text`, then `git "
          "checkout -- %s`",
          path, path);
      return false;
    }
    Message("%s: warning: no dialogue file header (DLGTEXT, QUILLHAVEN@); read anyway", path);
  }
  // Load's own diagnostics stay visible: a damaged file may load only in part.
  platform::Status status;
  if (doc.Load(path, status) == 0) {
    Message("%s: cannot load the dialogue file: %s", path, ReasonOf(status).c_str());
    return false;
  }
  return true;
}

bool LoadForInPlaceWrite(const char* path, CDlgFile& doc, DlgHeader& header,
                         platform::FileLock& lock) {
  if (!lock.Lock(path)) {
    Message("%s: cannot lock the dialogue file: %s", path, Reason());
    return false;
  }
  if (!LoadDocument(path, doc, header)) return false;
  // Two names swapped on the command line would otherwise replace a text file by a .dlg.
  if (!HasDialogueSignature(header)) {
    Message("%s: not replaced, as it is no dialogue file; use -o to save elsewhere", path);
    return false;
  }
  const std::vector<std::string> damage = InspectSaveOver(doc, path, true).damage;
  if (CheckRanOutOfMemory(path, damage, true)) return false;
  if (!damage.empty()) {
    // Even with --accept-damage: the file is the only place the unread lines still are.
    Message("%s: damaged (%zu problems above); not replaced by the part that loaded; use -o to "
            "save elsewhere (with --accept-damage)",
            path, damage.size());
    return false;
  }
  return true;
}

bool SaveInPlace(const char* path, CDlgFile& doc) {
  const SaveOverState state = InspectSaveOver(doc, path, false);
  if (state.changedOnDisk) {
    Message("%s: changed on disk since it was read; not replaced; run the command again", path);
    return false;
  }
  // Checked once more right before the rename: a writer that ignores the lock (the editor, git)
  // may have replaced the file while this one wrote.
  const bool saved = SaveOver(doc, path, doc.LoadedFile()) != 0;
  if (!saved && errno == ESTALE) {
    Message("%s: changed on disk while it was saved; not replaced; run the command again", path);
  } else if (!saved) {
    Message("%s: cannot save the dialogue file: %s; it is unchanged", path, Reason());
  }
  // A backup an interrupted save left was named when the file was read (LoadDocument).
  return saved;
}

bool SaveAs(const char* path, CDlgFile& doc) {
  const std::string kept = platform::LeftSaveBackup(path);
  platform::Status status;
  const bool saved = doc.Save(path, status) != 0;
  if (!saved) {
    Message("%s: cannot save the dialogue file: %s; it is unchanged", path,
            ReasonOf(status).c_str());
  }
  if (!kept.empty()) {
    Message("%s: an earlier save of this file was interrupted; its contents before that save are "
            "kept in %s",
            path, kept.c_str());
  }
  return saved;
}

}  // namespace dlgtool
