#include "platform/file_io.h"

#include <errno.h>
#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <cctype>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <exception>
#include <memory>
#include <new>
#include <string>
#include <utility>

#include "platform/fault_injection.h"
#include "platform/file_read.h"
#include "platform/path.h"

namespace platform {
namespace {

// Links in a chain longer than this are taken for a loop, as the kernel does (ELOOP).
constexpr int kMaxLinkHops = 40;
constexpr size_t kStreamBufferSize = 256 * 1024;
// The temporary file's name repeats at most this much of the target's name, so that it stays
// within the file system's limit of 255 bytes even for the longest target names.
constexpr size_t kMaxNameStem = 200;

// Follows symbolic links from `path` to the file they finally name, which need not exist yet (a
// dangling link is saved through as well). False for a loop or an unreadable link.
bool ResolveLinks(const char* path, std::string& resolved) {
  if (path == nullptr || *path == 0) return false;
  resolved = path;
  for (int hop = 0; hop < kMaxLinkHops; ++hop) {
    struct stat info;
    if (lstat(resolved.c_str(), &info) != 0 || !S_ISLNK(info.st_mode)) return true;
    std::string target(static_cast<size_t>(info.st_size > 0 ? info.st_size : PATH_MAX) + 1, '\0');
    const ssize_t length = readlink(resolved.c_str(), target.data(), target.size());
    if (length <= 0 || static_cast<size_t>(length) >= target.size()) return false;
    target.resize(static_cast<size_t>(length));
    resolved = target[0] == '/' ? target : FolderOf(resolved) + "/" + target;
  }
  return false;
}

// Refuses, before a temporary file exists, a target that writing in place could not take either.
// The probe opens the file without truncating it and without blocking, so it changes nothing.
bool TargetTakesWrites(const std::string& target) {
  struct stat info;
  if (stat(target.c_str(), &info) != 0) return errno == ENOENT;
  if (!S_ISREG(info.st_mode)) {
    errno = S_ISDIR(info.st_mode) ? EISDIR : EINVAL;
    return false;
  }
  const int fd = open(target.c_str(), O_WRONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
  if (fd < 0) return false;
  close(fd);
  return true;
}

// Temporary files are named ".<target name>.parlatrix-save.<pid>-<serial>.tmp": the marker makes
// the name one only this program creates, so that a user's ".notes.99999-1.tmp" is never taken
// for one. One whose process no longer runs was left by a killed save; the next save in that
// folder (and only there) removes it. A live process's file is left alone: it may be a save in
// progress.
constexpr char kTemporaryMarker[] = ".parlatrix-save.";

bool IsOrphanedTemporary(const char* name) {
  const size_t length = std::strlen(name);
  if (name[0] != '.' || length < 8 || std::strcmp(name + length - 4, ".tmp") != 0) return false;
  const char* end = name + length - 4;
  const char* dash = end;
  while (dash > name && std::isdigit(static_cast<unsigned char>(dash[-1]))) --dash;
  if (dash == end || dash <= name + 1 || dash[-1] != '-') return false;
  const char* digits = dash - 1;
  while (digits > name && std::isdigit(static_cast<unsigned char>(digits[-1]))) --digits;
  const size_t markerLength = sizeof kTemporaryMarker - 1;
  if (digits == dash - 1 || digits < name + 1 + markerLength ||
      std::memcmp(digits - markerLength, kTemporaryMarker, markerLength) != 0) {
    return false;
  }
  const long pid = std::strtol(digits, nullptr, 10);
  if (pid <= 0 || pid == static_cast<long>(getpid())) return false;
  return kill(static_cast<pid_t>(pid), 0) != 0 && errno == ESRCH;
}

void RemoveOrphanedTemporaries(const std::string& folder) {
  DIR* dir = opendir(folder.c_str());
  if (dir == nullptr) return;
  while (const dirent* entry = readdir(dir)) {
    if (!IsOrphanedTemporary(entry->d_name)) continue;
    struct stat info;
    const std::string path = folder + "/" + entry->d_name;
    if (lstat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode)) unlink(path.c_str());
  }
  closedir(dir);
}

// Creates a new, empty temporary file beside `target`; its mode is 0666 less the umask. -1 when
// no file can be created there.
int CreateTemporary(const std::string& target, std::string& temporary, const std::string& folder) {
  static unsigned long serial = 0;
  const std::string stem =
      folder + "/." + BaseNameOf(target).substr(0, kMaxNameStem) + kTemporaryMarker;
  for (int attempt = 0; attempt < 100; ++attempt) {
    temporary = stem + std::to_string(getpid()) + "-" + std::to_string(++serial) + ".tmp";
    const int fd = open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd >= 0 || errno != EEXIST) return fd;
  }
  return -1;
}

int CreateTemporary(const std::string& target, std::string& temporary) {
  return CreateTemporary(target, temporary, FolderOf(target));
}

// The temporary file of the save in progress, for the signal handler that removes it (see
// RemoveTemporaryFileOnSignals). A plain buffer and a flag: all a handler may read.
char signalTemporaryPath[PATH_MAX];
volatile sig_atomic_t signalTemporarySet = 0;

// Names `path` to the handler while it lives.
class TemporaryOnRecord {
 public:
  explicit TemporaryOnRecord(const std::string& path) {
    if (path.size() >= sizeof signalTemporaryPath) return;
    signalTemporarySet = 0;
    std::memcpy(signalTemporaryPath, path.c_str(), path.size() + 1);
    signalTemporarySet = 1;
  }
  ~TemporaryOnRecord() { signalTemporarySet = 0; }
  TemporaryOnRecord(const TemporaryOnRecord&) = delete;
  TemporaryOnRecord& operator=(const TemporaryOnRecord&) = delete;
};

extern "C" void RemoveTemporaryAndEnd(int signalNumber) {
  const int saved = errno;
  if (signalTemporarySet) unlink(signalTemporaryPath);
  errno = saved;
  // The handler was installed with SA_RESETHAND: the signal, blocked until this returns, now
  // ends the process as it would have without the handler (exit status, core file).
  raise(signalNumber);
}

// Where this thread's saves create their temporary files (TemporaryFolderScope), or empty.
thread_local const std::string* temporaryFolder = nullptr;

// The folder for the temporary file of `target`: the scope's folder when it lies on the target's
// file system (a rename cannot cross file systems), else the target's own folder.
std::string TemporaryFolderFor(const std::string& target) {
  const std::string own = FolderOf(target);
  if (temporaryFolder == nullptr || temporaryFolder->empty()) return own;
  struct stat mine, theirs;
  if (stat(temporaryFolder->c_str(), &mine) != 0 || !S_ISDIR(mine.st_mode) ||
      stat(own.c_str(), &theirs) != 0 || mine.st_dev != theirs.st_dev) {
    return own;
  }
  return *temporaryFolder;
}

constexpr char kBackupSuffix[] = ".save-backup";
// Numbered alternatives NAME.save-backup.2 ... when a kept backup holds the plain name.
constexpr int kBackupNames = 100;
constexpr char kAccessAcl[] = "system.posix_acl_access";

std::string BackupName(const std::string& target, int number) {
  return target + kBackupSuffix + (number > 1 ? "." + std::to_string(number) : std::string());
}

// Attributes that the file system or the process cannot carry are skipped: a file system
// without them (ENOTSUP), a namespace reserved to the kernel or root (EPERM, or EACCES from a
// security module refusing a label), one removed meanwhile (ENODATA).
bool SkippableAttributeError() {
  return errno == ENOTSUP || errno == EPERM || errno == EACCES || errno == ENODATA;
}

// Copies every extended attribute of the file `from` names onto `to`; the access ACL is one of
// them (system.posix_acl_access), so no ACL library is needed. Read by path: a file that may be
// written but not read still lists its attributes.
bool CopyExtendedAttributes(const std::string& from, int to) {
  ssize_t size = listxattr(from.c_str(), nullptr, 0);
  if (size < 0) return SkippableAttributeError();
  std::string names(static_cast<size_t>(size), '\0');
  size = size > 0 ? listxattr(from.c_str(), names.data(), names.size()) : 0;
  if (size < 0) return SkippableAttributeError();
  names.resize(static_cast<size_t>(size));
  bool hasAccessAcl = false;
  for (size_t at = 0; at < names.size(); at += std::strlen(names.c_str() + at) + 1) {
    const char* name = names.c_str() + at;
    if (*name == 0) continue;
    hasAccessAcl = hasAccessAcl || std::strcmp(name, kAccessAcl) == 0;
    ssize_t length = getxattr(from.c_str(), name, nullptr, 0);
    std::string value(length > 0 ? static_cast<size_t>(length) : 0, '\0');
    if (length > 0) length = getxattr(from.c_str(), name, value.data(), value.size());
    if (length < 0) {
      if (SkippableAttributeError()) continue;
      return false;
    }
    if (fsetxattr(to, name, value.data(), static_cast<size_t>(length), 0) != 0 &&
        !SkippableAttributeError()) {
      return false;
    }
  }
  // A default ACL of the folder gives a new file an access ACL that the old file did not have.
  if (!hasAccessAcl) (void)fremovexattr(to, kAccessAcl);
  return true;
}

enum class Identity { kKept, kNotKept, kFailed };

// Gives the new file the owner, group, permission bits and extended attributes of the file it
// replaces. kNotKept when the process may not give the file to that owner or group.
Identity CopyIdentity(int fd, const std::string& target, const struct stat& info) {
  struct stat own;
  if (fstat(fd, &own) != 0) return Identity::kFailed;
  if ((own.st_uid != info.st_uid || own.st_gid != info.st_gid) &&
      fchown(fd, info.st_uid, info.st_gid) != 0) {
    return errno == EPERM ? Identity::kNotKept : Identity::kFailed;
  }
  // After the owner: changing the owner clears the set-user-ID and set-group-ID bits.
  if (fchmod(fd, info.st_mode & 07777) != 0) return Identity::kFailed;
  return CopyExtendedAttributes(target, fd) ? Identity::kKept : Identity::kFailed;
}

bool Flush(std::FILE* file) {
  return !FileOperationShouldFail() && std::fflush(file) == 0;
}

bool Sync(std::FILE* file) {
  return !FileOperationShouldFail() && fsync(fileno(file)) == 0;
}

// Closes the stream in every case; false when the close (or the seam) reports a failure.
bool Close(std::FILE* file) {
  const bool injected = FileOperationShouldFail();
  return std::fclose(file) == 0 && !injected;
}

bool Rename(const std::string& from, const std::string& to) {
  return !FileOperationShouldFail() && std::rename(from.c_str(), to.c_str()) == 0;
}

// Makes the rename durable. The new contents are already in place when this runs, so a failure
// here (some file systems cannot sync a folder at all) does not turn the save into a failure.
void SyncFolder(const std::string& target) {
  if (FileOperationShouldFail()) return;
  // After the rename the save has happened: memory running out for the folder's name must not
  // make it look failed (nor leave the process's count of replaced files behind).
  int fd = -1;
  try {
    fd = open(FolderOf(target).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  } catch (const std::bad_alloc&) {
    return;
  }
  if (fd < 0) return;
  if (!FileOperationShouldFail()) {
    if (fsync(fd) != 0) {
      // See above: the save has succeeded; only its durability across a crash is uncertain.
    }
  }
  close(fd);
}

// An exception thrown by a writer (std::bad_alloc from a container) is held here while the
// temporary file is removed or the old contents are put back, and then thrown on to the caller.
thread_local std::exception_ptr writerException;
// The check a save makes right before it replaces its target (ReplaceFile's overload).
thread_local const BeforeReplace* beforeReplaceCheck = nullptr;

// False, with errno ESTALE, when the caller's check says the target must not be replaced now.
bool StillReplaceable() {
  if (beforeReplaceCheck == nullptr || *beforeReplaceCheck == nullptr) return true;
  if ((*beforeReplaceCheck)()) return true;
  errno = ESTALE;
  return false;
}

// Writes the contents into the open temporary file and closes it; true when every step held.
bool WriteAndClose(std::FILE* file, const ContentWriter& writer) {
  std::unique_ptr<char[]> buffer(NewArray<char>(kStreamBufferSize));
  if (buffer != nullptr) std::setvbuf(file, buffer.get(), _IOFBF, kStreamBufferSize);
  bool written = false;
  try {
    written = writer(file) && Flush(file) && Sync(file);
  } catch (...) {
    if (!writerException) writerException = std::current_exception();
    errno = ENOMEM;
  }
  const bool closed = Close(file);
  return written && closed;
}

// Writes the bytes of the open file `in` to `out`.
bool CopyStream(std::FILE* in, std::FILE* out) {
  char chunk[1 << 16];
  size_t got = 0;
  while ((got = std::fread(chunk, 1, sizeof chunk, in)) > 0) {
    if (!WriteBytes(out, chunk, got)) return false;
  }
  return std::ferror(in) == 0;
}

// Copies the contents of `source` through `writer`; false (errno set) when it cannot be read.
bool WithContents(const std::string& source, const std::function<bool(std::FILE*)>& use) {
  std::FILE* in = OpenRegularFileForReading(source.c_str());
  if (in == nullptr) return false;
  const bool done = use(in);
  const int reason = errno;
  std::fclose(in);
  errno = reason;
  return done;
}

// Copies `target` to a backup beside it that no file holds yet, durably: written to a temporary
// file and synced first, so that a file under a backup name is always a whole copy. link() never
// replaces an existing name, so a backup kept from an earlier crash is never written over.
bool MakeBackup(const std::string& target, const struct stat& info, std::string& backup) {
  std::string temporary;
  const int fd = FileOperationShouldFail() ? -1 : CreateTemporary(target, temporary);
  if (fd < 0) return false;
  const TemporaryOnRecord onRecord(temporary);
  std::FILE* file = fchmod(fd, info.st_mode & 0777) == 0 ? fdopen(fd, "wb") : nullptr;
  if (file == nullptr) close(fd);
  bool made = file != nullptr && WriteAndClose(file, [&target](std::FILE* out) {
                return WithContents(target, [out](std::FILE* in) { return CopyStream(in, out); });
              });
  for (int number = 1; made && number <= kBackupNames; ++number) {
    backup = BackupName(target, number);
    if (!FileOperationShouldFail() && link(temporary.c_str(), backup.c_str()) == 0) break;
    if (errno != EEXIST || number == kBackupNames) made = false;
  }
  const int reason = errno;
  unlink(temporary.c_str());
  errno = reason;
  if (made) SyncFolder(target);
  return made;
}

// Truncates the existing file `target` and writes it anew through `writer`, synced.
bool WriteInto(const std::string& target, const ContentWriter& writer) {
  if (FileOperationShouldFail()) return false;
  const int fd = open(target.c_str(), O_WRONLY | O_NOCTTY | O_CLOEXEC);
  if (fd < 0) return false;
  std::FILE* file = ftruncate(fd, 0) == 0 ? fdopen(fd, "wb") : nullptr;
  if (file == nullptr) {
    const int reason = errno;
    close(fd);
    errno = reason;
    return false;
  }
  return WriteAndClose(file, writer);
}

// The in-place path (see file_io.h): the file keeps its inode, so its links, owner, group, mode
// and attributes stay whatever they are. A failed write puts the backup's bytes back; only when
// that succeeds is the backup removed.
ReplaceResult WriteInPlace(const std::string& target, const ContentWriter& writer,
                           const struct stat& info) {
  std::string backup;
  if (!MakeBackup(target, info, backup)) return ReplaceResult::kCreateFailed;
  if (!StillReplaceable()) {
    const int reason = errno;
    if (unlink(backup.c_str()) == 0) SyncFolder(target);
    errno = reason;
    return ReplaceResult::kWriteFailed;
  }
  if (!WriteInto(target, writer)) {
    const int reason = errno;
    const bool restored = WriteInto(target, [&backup](std::FILE* out) {
      return WithContents(backup, [out](std::FILE* in) { return CopyStream(in, out); });
    });
    if (restored && unlink(backup.c_str()) == 0) SyncFolder(target);
    errno = reason;
    return ReplaceResult::kWriteFailed;
  }
  if (unlink(backup.c_str()) == 0) SyncFolder(target);
  return ReplaceResult::kReplaced;
}

// True when both files hold the same bytes.
bool SameBytes(const std::string& a, const std::string& b) {
  return WithContents(a, [&b](std::FILE* left) {
    return WithContents(b, [left](std::FILE* right) {
      char one[1 << 14];
      char two[1 << 14];
      for (;;) {
        const size_t got = std::fread(one, 1, sizeof one, left);
        if (std::fread(two, 1, sizeof two, right) != got || std::memcmp(one, two, got) != 0) {
          return false;
        }
        if (got < sizeof one) return std::ferror(left) == 0 && std::ferror(right) == 0;
      }
    });
  });
}

ReplaceResult ReplaceFileOnce(const char* path, const ContentWriter& writer);

}  // namespace

std::string SaveBackupPath(const char* path) {
  std::string target;
  if (!ResolveLinks(path, target)) return std::string();
  return BackupName(target, 1);
}

std::string LeftSaveBackup(const char* path) {
  const int saved = errno;
  std::string target;
  std::string kept;
  if (ResolveLinks(path, target)) {
    for (int number = 1; number <= kBackupNames; ++number) {
      const std::string backup = BackupName(target, number);
      struct stat info;
      if (lstat(backup.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) continue;
      if (SameBytes(backup, target)) {
        unlink(backup.c_str());
      } else if (kept.empty()) {
        kept = backup;
      }
    }
  }
  errno = saved;
  return kept;
}

ReplaceCheckScope::ReplaceCheckScope(BeforeReplace check)
    : check_(std::move(check)), outer_(beforeReplaceCheck) {
  beforeReplaceCheck = &check_;
}

ReplaceCheckScope::~ReplaceCheckScope() { beforeReplaceCheck = outer_; }

TemporaryFolderScope::TemporaryFolderScope(std::string folder)
    : folder_(std::move(folder)), outer_(temporaryFolder) {
  temporaryFolder = &folder_;
}

TemporaryFolderScope::~TemporaryFolderScope() {
  temporaryFolder = outer_;
}

void RemoveTemporaryFileOnSignals() {
  for (const int signalNumber : {SIGTERM, SIGINT, SIGHUP, SIGQUIT}) {
    struct sigaction current;
    // A signal the caller ignores (nohup) stays ignored.
    if (sigaction(signalNumber, nullptr, &current) != 0 || current.sa_handler == SIG_IGN) continue;
    struct sigaction action;
    std::memset(&action, 0, sizeof action);
    action.sa_handler = RemoveTemporaryAndEnd;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESETHAND;
    (void)sigaction(signalNumber, &action, nullptr);
  }
}

ReplaceResult ReplaceFile(const char* path, const ContentWriter& writer,
                          const BeforeReplace& beforeReplace) {
  // No check of the caller's own leaves the one of an enclosing scope (a command's re-check
  // before the rename) in force instead of switching it off.
  if (!beforeReplace) return ReplaceFile(path, writer);
  const ReplaceCheckScope scope(beforeReplace);
  return ReplaceFile(path, writer);
}

namespace {

// What ReplacedFileCount and LastReplacedPath report; fixed storage, so that recording a write
// cannot fail.
long replacedFiles = 0;
char lastReplaced[4096];

void NoteReplaced(const char* path) {
  ++replacedFiles;
  std::snprintf(lastReplaced, sizeof lastReplaced, "%s", path);
}

}  // namespace

long ReplacedFileCount() { return replacedFiles; }
const char* LastReplacedPath() { return lastReplaced; }

ReplaceResult ReplaceFile(const char* path, const ContentWriter& writer) {
  writerException = nullptr;
  const ReplaceResult result = ReplaceFileOnce(path, writer);
  if (result == ReplaceResult::kReplaced) NoteReplaced(path);
  if (writerException) {
    std::exception_ptr thrown = writerException;
    writerException = nullptr;
    std::rethrow_exception(thrown);
  }
  return result;
}

namespace {

ReplaceResult ReplaceFileOnce(const char* path, const ContentWriter& writer) {
  std::string target;
  if (!ResolveLinks(path, target)) {
    errno = ELOOP;
    return ReplaceResult::kCreateFailed;
  }
  if (!TargetTakesWrites(target)) return ReplaceResult::kCreateFailed;
  {
    const int saved = errno;
    RemoveOrphanedTemporaries(FolderOf(target));
    errno = saved;
  }
  const std::string folder = TemporaryFolderFor(target);
  if (folder != FolderOf(target)) {
    const int saved = errno;
    RemoveOrphanedTemporaries(folder);
    errno = saved;
  }
  struct stat info;
  const bool exists = stat(target.c_str(), &info) == 0;
  // A rename would give the other names of the file the old contents.
  if (exists && info.st_nlink > 1) return WriteInPlace(target, writer, info);
  std::string temporary;
  const int fd = FileOperationShouldFail() ? -1 : CreateTemporary(target, temporary, folder);
  if (fd < 0) return ReplaceResult::kCreateFailed;
  const TemporaryOnRecord onRecord(temporary);
  const Identity identity = exists ? CopyIdentity(fd, target, info) : Identity::kKept;
  std::FILE* file = identity == Identity::kKept ? fdopen(fd, "wb") : nullptr;
  if (file == nullptr) {
    const int reason = errno;
    close(fd);
    unlink(temporary.c_str());
    if (identity == Identity::kNotKept) return WriteInPlace(target, writer, info);
    errno = reason;
    return ReplaceResult::kCreateFailed;
  }
  if (!WriteAndClose(file, writer) || !StillReplaceable() || !Rename(temporary, target)) {
    const int reason = errno;
    unlink(temporary.c_str());
    errno = reason;
    return ReplaceResult::kWriteFailed;
  }
  SyncFolder(target);
  return ReplaceResult::kReplaced;
}

}  // namespace

FileIdentity IdentifyFile(const char* path) {
  FileIdentity identity;
  struct stat info;
  if (path != nullptr) identity.path = path;
  if (path == nullptr || stat(path, &info) != 0) return identity;
  identity.exists = true;
  identity.device = static_cast<uint64_t>(info.st_dev);
  identity.inode = static_cast<uint64_t>(info.st_ino);
  identity.size = static_cast<int64_t>(info.st_size);
  identity.modifiedSeconds = static_cast<int64_t>(info.st_mtim.tv_sec);
  identity.modifiedNanoseconds = static_cast<int64_t>(info.st_mtim.tv_nsec);
  return identity;
}

namespace {

// A hash of the whole file, 8 bytes at a time (multiply and fold); false when it cannot be read.
bool HashContents(const char* path, uint64_t& hash) {
  std::FILE* file = OpenRegularFileForReading(path);
  if (file == nullptr) return false;
  hash = 0x9E3779B97F4A7C15ull;
  unsigned char chunk[1 << 16];
  size_t got = 0;
  while ((got = std::fread(chunk, 1, sizeof chunk, file)) > 0) {
    size_t at = 0;
    for (; at + 8 <= got; at += 8) {
      uint64_t word;
      std::memcpy(&word, chunk + at, 8);
      hash = (hash ^ word) * 0xFF51AFD7ED558CCDull;
      hash ^= hash >> 32;
    }
    for (; at < got; ++at) hash = (hash ^ chunk[at]) * 0x100000001B3ull;
    hash ^= got;
  }
  const bool read = std::ferror(file) == 0;
  std::fclose(file);
  return read;
}

// A change within this long after the last one may keep the modification time: the tick of the
// file system's clock (whole seconds on some) and of the kernel's cached time.
constexpr int64_t kDoubtNanoseconds = 2'000'000'000;

}  // namespace

FileIdentity IdentifyFileForReading(const char* path) {
  const int saved = errno;
  FileIdentity identity = IdentifyFile(path);
  struct timespec now;
  if (identity.exists && clock_gettime(CLOCK_REALTIME, &now) == 0) {
    const int64_t age = (static_cast<int64_t>(now.tv_sec) - identity.modifiedSeconds) *
                            1'000'000'000 +
                        (static_cast<int64_t>(now.tv_nsec) - identity.modifiedNanoseconds);
    if (age < kDoubtNanoseconds) identity.hashed = HashContents(path, identity.contentHash);
  }
  errno = saved;
  return identity;
}

bool ChangedSince(const FileIdentity& then, const char* path) {
  if (!then.exists) return false;
  const int saved = errno;
  const FileIdentity now = IdentifyFile(path);
  if (path == nullptr || (then.path != path && !SameFile(then, now))) {
    errno = saved;
    return false;
  }
  bool changed = !SameContents(then, now);
  uint64_t hash = 0;
  if (!changed && then.hashed) changed = !HashContents(path, hash) || hash != then.contentHash;
  errno = saved;
  return changed;
}

bool SameFile(const FileIdentity& a, const FileIdentity& b) {
  return a.exists && b.exists && a.device == b.device && a.inode == b.inode;
}

bool SameContents(const FileIdentity& a, const FileIdentity& b) {
  return SameFile(a, b) && a.size == b.size && a.modifiedSeconds == b.modifiedSeconds &&
         a.modifiedNanoseconds == b.modifiedNanoseconds;
}

bool IsNullDevice(const char* path) {
  struct stat info;
  struct stat null;
  return path != nullptr && stat(path, &info) == 0 && S_ISCHR(info.st_mode) &&
         stat("/dev/null", &null) == 0 && info.st_rdev == null.st_rdev;
}

bool CopyFileDurably(const char* from, const char* to) {
  std::FILE* in = OpenRegularFileForReading(from);
  if (in == nullptr) return false;
  const ReplaceResult result =
      ReplaceFile(to, [in](std::FILE* out) { return CopyStream(in, out); });
  std::fclose(in);
  return result == ReplaceResult::kReplaced;
}

FileLock::~FileLock() {
  if (fd_ >= 0) close(fd_);  // closing the last descriptor releases the lock
}

bool FileLock::Lock(const char* path) {
  for (int attempt = 0; attempt < 100; ++attempt) {
    if (fd_ >= 0) close(fd_);
    fd_ = open(path, O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd_ < 0) return false;
    int locked;
    do {
      locked = flock(fd_, LOCK_EX);
    } while (locked != 0 && errno == EINTR);
    if (locked != 0) return false;
    struct stat held;
    struct stat named;
    if (fstat(fd_, &held) == 0 && stat(path, &named) == 0 && held.st_dev == named.st_dev &&
        held.st_ino == named.st_ino) {
      return true;
    }
  }
  errno = EAGAIN;
  return false;
}

bool WriteBytes(std::FILE* file, const void* data, size_t size) {
  if (FileOperationShouldFail()) return false;
  return size == 0 || std::fwrite(data, 1, size, file) == size;
}

}  // namespace platform
