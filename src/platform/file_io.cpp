#include "platform/file_io.h"

#include <errno.h>
#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>
#include <string>

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

// Temporary files are named ".<target name>.<pid>-<serial>.tmp". One whose process no longer runs
// was left by a killed save; the next save in that folder removes it. A live process's file is
// left alone: it may be a save in progress.
bool IsOrphanedTemporary(const char* name) {
  const size_t length = std::strlen(name);
  if (name[0] != '.' || length < 8 || std::strcmp(name + length - 4, ".tmp") != 0) return false;
  const char* end = name + length - 4;
  const char* dash = end;
  while (dash > name && std::isdigit(static_cast<unsigned char>(dash[-1]))) --dash;
  if (dash == end || dash <= name + 1 || dash[-1] != '-') return false;
  const char* digits = dash - 1;
  while (digits > name && std::isdigit(static_cast<unsigned char>(digits[-1]))) --digits;
  if (digits == dash - 1 || digits <= name + 1 || digits[-1] != '.') return false;
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
int CreateTemporary(const std::string& target, std::string& temporary) {
  static unsigned long serial = 0;
  const std::string stem =
      FolderOf(target) + "/." + BaseNameOf(target).substr(0, kMaxNameStem) + ".";
  for (int attempt = 0; attempt < 100; ++attempt) {
    temporary = stem + std::to_string(getpid()) + "-" + std::to_string(++serial) + ".tmp";
    const int fd = open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd >= 0 || errno != EEXIST) return fd;
  }
  return -1;
}

// Gives the new file the permission bits of the file it replaces. Owner and group are carried
// over where the process may change them; elsewhere the new file belongs to the saving user.
bool CopyPermissions(int fd, const std::string& target) {
  struct stat info;
  if (stat(target.c_str(), &info) != 0) return true;  // no file to replace
  struct stat own;
  if (fstat(fd, &own) == 0 && (own.st_uid != info.st_uid || own.st_gid != info.st_gid)) {
    if (fchown(fd, info.st_uid, info.st_gid) != 0) {
      // Not permitted for an ordinary user; the bits below are what matters.
    }
  }
  return fchmod(fd, info.st_mode & 07777) == 0;
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
  const int fd = open(FolderOf(target).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return;
  if (!FileOperationShouldFail()) {
    if (fsync(fd) != 0) {
      // See above: the save has succeeded; only its durability across a crash is uncertain.
    }
  }
  close(fd);
}

// Writes the contents into the open temporary file and closes it; true when every step held.
bool WriteAndClose(std::FILE* file, const ContentWriter& writer) {
  std::unique_ptr<char[]> buffer(NewArray<char>(kStreamBufferSize));
  if (buffer != nullptr) std::setvbuf(file, buffer.get(), _IOFBF, kStreamBufferSize);
  const bool written = writer(file) && Flush(file) && Sync(file);
  const bool closed = Close(file);
  return written && closed;
}

}  // namespace

ReplaceResult ReplaceFile(const char* path, const ContentWriter& writer) {
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
  std::string temporary;
  const int fd = FileOperationShouldFail() ? -1 : CreateTemporary(target, temporary);
  if (fd < 0) return ReplaceResult::kCreateFailed;
  std::FILE* file = CopyPermissions(fd, target) ? fdopen(fd, "wb") : nullptr;
  if (file == nullptr) {
    close(fd);
    unlink(temporary.c_str());
    return ReplaceResult::kCreateFailed;
  }
  if (!WriteAndClose(file, writer) || !Rename(temporary, target)) {
    unlink(temporary.c_str());
    return ReplaceResult::kWriteFailed;
  }
  SyncFolder(target);
  return ReplaceResult::kReplaced;
}

FileIdentity IdentifyFile(const char* path) {
  FileIdentity identity;
  struct stat info;
  if (path == nullptr || stat(path, &info) != 0) return identity;
  identity.exists = true;
  identity.device = static_cast<uint64_t>(info.st_dev);
  identity.inode = static_cast<uint64_t>(info.st_ino);
  identity.size = static_cast<int64_t>(info.st_size);
  identity.modifiedSeconds = static_cast<int64_t>(info.st_mtim.tv_sec);
  identity.modifiedNanoseconds = static_cast<int64_t>(info.st_mtim.tv_nsec);
  return identity;
}

bool SameFile(const FileIdentity& a, const FileIdentity& b) {
  return a.exists && b.exists && a.device == b.device && a.inode == b.inode;
}

bool SameContents(const FileIdentity& a, const FileIdentity& b) {
  return SameFile(a, b) && a.size == b.size && a.modifiedSeconds == b.modifiedSeconds &&
         a.modifiedNanoseconds == b.modifiedNanoseconds;
}

bool CopyFileDurably(const char* from, const char* to) {
  std::FILE* in = OpenRegularFileForReading(from);
  if (in == nullptr) return false;
  const ReplaceResult result = ReplaceFile(to, [in](std::FILE* out) {
    char chunk[1 << 16];
    size_t got = 0;
    while ((got = std::fread(chunk, 1, sizeof chunk, in)) > 0) {
      if (!WriteBytes(out, chunk, got)) return false;
    }
    return std::ferror(in) == 0;
  });
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
