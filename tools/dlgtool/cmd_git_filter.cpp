// dlgtool git-filter clean|smudge [PATH]: git's clean/smudge filter of the stored text form
// (`git-install --store-text`, docs/git.md). Both read stdin and write stdout, as git wants.
//
// clean (work tree to repository): a .dlg file becomes its stored text form, and only when that
// text gives the very same bytes back: the text is parsed and written as a .dlg again, and the
// two files compared. A damaged file, an older version, anything the form cannot carry is
// refused (exit 2, nothing on stdout), so that git stops the `git add` instead of storing less
// than the file. Text already in the stored form (a work tree checked out without the filter)
// passes after it parses.
//
// smudge (repository to work tree): the stored text becomes the .dlg file. A blob committed
// before the filter was set up (a .dlg itself) passes unchanged.
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "commands.h"
#include "dlgfile/dlg_format.h"
#include "dlgfile/dlg_verify.h"
#include "document_io.h"
#include "merge/dlg_merge_image.h"
#include "merge/dlg_merge_write.h"
#include "merge/dlg_stored_text.h"
#include "output.h"
#include "platform/page_buffer.h"
#include "structure_notes.h"

namespace dlgtool {

namespace {

// The filter's input read whole from stdin into one block. The block grows by realloc, which
// for a block of this size moves the pages instead of copying them, and git's pipe fills it
// straight: a 20 MB file costs no copy in this process, and few page faults (huge pages).
class Input {
 public:
  Input() = default;
  Input(const Input&) = delete;
  Input& operator=(const Input&) = delete;
  ~Input() { std::free(data_); }

  bool Read(int fd) {
    struct stat info;
    size_t capacity = fstat(fd, &info) == 0 && S_ISREG(info.st_mode) && info.st_size > 0
                          ? static_cast<size_t>(info.st_size) + 1
                          : size_t{64} << 20;  // address space; pages come as they fill
    for (;;) {
      if (size_ == capacity_ && !Grow(capacity)) return false;
      const ssize_t got = read(fd, data_ + size_, capacity_ - size_);
      if (got == 0) return true;
      if (got < 0) {
        if (errno == EINTR) continue;
        return false;
      }
      size_ += static_cast<size_t>(got);
      capacity = 2 * capacity_;
    }
  }
  std::string_view bytes() const { return std::string_view(data_, size_); }

 private:
  bool Grow(size_t capacity) {
    char* grown = static_cast<char*>(std::realloc(data_, capacity));
    if (grown == nullptr) {
      errno = ENOMEM;
      return false;
    }
    data_ = grown;
    capacity_ = capacity;
    platform::PreferHugePages(data_ + size_, capacity_ - size_);
    return true;
  }

  char* data_ = nullptr;
  size_t size_ = 0;
  size_t capacity_ = 0;
};

// A private folder for the filter's files, removed with what is in it.
class ScratchFolder {
 public:
  ScratchFolder() {
    const char* base = std::getenv("TMPDIR");
    std::string pattern =
        std::string(base != nullptr && *base != 0 ? base : "/tmp") + "/dlgtool-filter.XXXXXX";
    if (mkdtemp(pattern.data()) != nullptr) path_ = pattern;
  }
  ~ScratchFolder() {
    if (path_.empty()) return;
    unlink((path_ + "/back.dlg").c_str());
    rmdir(path_.c_str());
  }
  bool ok() const { return !path_.empty(); }
  std::string File(const char* name) const { return path_ + "/" + name; }

 private:
  std::string path_;
};

bool ReadWhole(const std::string& path, std::string& bytes) {
  std::FILE* file = std::fopen(path.c_str(), "rb");
  if (file == nullptr) return false;
  char chunk[1 << 16];
  size_t got = 0;
  while ((got = std::fread(chunk, 1, sizeof chunk, file)) > 0) bytes.append(chunk, got);
  const bool read = std::ferror(file) == 0;
  std::fclose(file);
  return read;
}

// A stream that compares what is written to it with `expected`, byte for byte, as it comes: the
// check of clean needs no second copy of a file of hundreds of megabytes.
struct Comparison {
  std::string_view expected;
  size_t at = 0;           // bytes compared so far
  size_t firstDiffer = 0;  // where the first difference is, when `differs`
  bool differs = false;
};

extern "C" ssize_t CompareWrite(void* cookie, const char* data, size_t size) {
  Comparison& c = *static_cast<Comparison*>(cookie);
  if (!c.differs) {
    const std::string_view want = c.expected;
    for (size_t k = 0; k < size; ++k) {
      if (c.at + k >= want.size() || want[c.at + k] != data[k]) {
        c.differs = true;
        c.firstDiffer = c.at + k;
        break;
      }
    }
  }
  c.at += size;
  return static_cast<ssize_t>(size);
}

// 1 when `doc` written as a .dlg gives exactly `bytes`, 0 when it does not (`at`: the first
// offset that differs), -1 when the direct writer does not take `doc` (only Save writes it).
int WritesExactly(const MergeDocument& doc, std::string_view bytes, size_t& at) {
  Comparison comparison;
  comparison.expected = bytes;
  cookie_io_functions_t functions{};
  functions.write = CompareWrite;
  std::FILE* stream = fopencookie(&comparison, "w", functions);
  if (stream == nullptr) return -1;
  const MergedWrite written = WriteMergedDocument(doc, stream);
  const bool closed = std::fclose(stream) == 0;
  if (written != MergedWrite::kWritten || !closed) return -1;
  if (!comparison.differs && comparison.at != bytes.size()) {
    comparison.differs = true;
    comparison.firstDiffer = std::min(comparison.at, bytes.size());
  }
  at = comparison.firstDiffer;
  return comparison.differs ? 0 : 1;
}

// The .dlg bytes `doc` stands for, as the merge (and Save) writes them, through a scratch file.
bool DlgBytes(const MergeDocument& doc, const ScratchFolder& scratch, std::string& bytes,
              std::string& why) {
  const std::string back = scratch.File("back.dlg");
  const platform::Status saved = SaveMergedDocument(doc, back.c_str());
  if (!saved) {
    why = ReasonOf(saved);
    return false;
  }
  if (!ReadWhole(back, bytes)) {
    why = Reason();
    return false;
  }
  return true;
}

int Clean(const std::string& shown, std::string_view bytes, const ScratchFolder& scratch) {
  if (bytes.empty()) return kExitSuccess;
  if (IsStoredText(bytes)) {
    MergeDocument doc;
    std::string storage;
    const platform::Status parsed = ParseStoredText(bytes, doc, storage);
    if (!parsed) {
      Message("%s: the stored text form is damaged (%s); not stored", shown.c_str(),
              parsed.message.c_str());
      return kExitFailure;
    }
    PrintResult(bytes);
    return kExitSuccess;
  }
  DlgHeader header = NewDlgHeader();
  OverlayDlgHeader(header, reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
  if (!HasDialogueSignature(header)) {
    Message("%s: no dialogue file header (DLGTEXT, QUILLHAVEN@); not stored", shown.c_str());
    return kExitFailure;
  }
  const DlgVerifyResult verified =
      VerifyDlgBytes(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size(), 1);
  if (!verified.findings.empty()) {
    Message(
        "%s: the file is damaged (%s); not stored, since the text form would keep only what "
        "loads. dlgtool check lists every problem",
        shown.c_str(), FormatStructureFinding(verified.findings[0]).c_str());
    return kExitFailure;
  }
  // The image is unscrambled in place by the snapshot; `bytes` stays as git gave it, for the
  // comparison below.
  MergeImage image;
  MergeDocument doc;
  platform::Status taken = image.Copy(bytes);
  if (taken && image.version() < kDlgVersionMembers) {
    taken = platform::Status::Failure("version " + std::to_string(image.version()) +
                                      "; save it once with the editor or dlgtool (version " +
                                      std::to_string(kDlgVersionMembers) + ") and add it again");
  } else if (taken) {
    taken = image.Snapshot(doc);
  }
  if (!taken) {
    Message("%s: cannot be stored as text: %s; not stored", shown.c_str(), ReasonOf(taken).c_str());
    return kExitFailure;
  }
  const std::string text = RenderStoredText(doc);
  // Never a lossy store: the text must give these very bytes back.
  MergeDocument reread;
  std::string storage, back, why;
  const platform::Status parsed = ParseStoredText(text, reread, storage);
  size_t at = 0;
  int exact = parsed ? WritesExactly(reread, bytes, at) : 0;
  if (parsed && exact < 0) {
    if (!DlgBytes(reread, scratch, back, why)) {
      exact = 0;
    } else {
      exact = back == bytes ? 1 : 0;
      while (at < back.size() && at < bytes.size() && back[at] == bytes[at]) ++at;
    }
  }
  if (exact != 1) {
    Message(
        "%s: stored as text it would not come back byte for byte (%s); not stored. The text "
        "form holds what the editor loads and writes (docs/git.md)",
        shown.c_str(),
        !parsed        ? parsed.message.c_str()
        : !why.empty() ? why.c_str()
                       : ("first difference at offset " + std::to_string(at)).c_str());
    return kExitFailure;
  }
  PrintResult(text);
  return kExitSuccess;
}

int Smudge(const std::string& shown, std::string_view bytes, const ScratchFolder& scratch) {
  if (!IsStoredText(bytes)) {
    PrintResult(bytes);  // committed before the filter was set up: the .dlg itself
    return kExitSuccess;
  }
  MergeDocument doc;
  std::string storage, dlg, why;
  const platform::Status parsed = ParseStoredText(bytes, doc, storage);
  if (!parsed) {
    Message("%s: the stored text form is damaged (%s); the file is not written", shown.c_str(),
            parsed.message.c_str());
    return kExitFailure;
  }
  // Straight to git's pipe; what only Save writes goes through a scratch file.
  FlushOutput();
  const MergedWrite written = WriteMergedDocument(doc, stdout);
  if (written == MergedWrite::kWritten) return kExitSuccess;
  if (written == MergedWrite::kFailed) {
    Message("%s: cannot write the dialogue file: %s", shown.c_str(), Reason());
    return kExitFailure;
  }
  if (!DlgBytes(doc, scratch, dlg, why)) {
    Message("%s: cannot write the dialogue file: %s", shown.c_str(), why.c_str());
    return kExitFailure;
  }
  PrintResult(dlg);
  return kExitSuccess;
}

}  // namespace

int RunGitFilter(const std::string& mode, const std::string& path) {
  const std::string shown = path.empty() ? "(stdin)" : path;
  Input input;
  if (!input.Read(STDIN_FILENO)) {
    Message("%s: cannot read the file from git: %s", shown.c_str(), Reason());
    return kExitFailure;
  }
  ScratchFolder scratch;
  if (!scratch.ok()) {
    Message("cannot make a scratch folder: %s", Reason());
    return kExitFailure;
  }
  QuietDiagnostics quiet;
  return mode == "clean" ? Clean(shown, input.bytes(), scratch)
                         : Smudge(shown, input.bytes(), scratch);
}

}  // namespace dlgtool
