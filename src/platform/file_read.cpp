#include "platform/file_read.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace platform {

std::FILE* OpenRegularFileForReading(const char* path) {
  if (path == nullptr) return nullptr;
  const int fd = open(path, O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return nullptr;
  struct stat info = {};
  const int flags = fcntl(fd, F_GETFL);
  if (fstat(fd, &info) != 0 || !S_ISREG(info.st_mode) || flags < 0 ||
      fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) != 0) {
    // errno names the reason for the caller's message: no regular file, or the failing call.
    const int reason = info.st_mode != 0 && !S_ISREG(info.st_mode)
                           ? (S_ISDIR(info.st_mode) ? EISDIR : EINVAL)
                           : errno;
    close(fd);
    errno = reason;
    return nullptr;
  }
  std::FILE* file = fdopen(fd, "rb");
  if (file == nullptr) close(fd);
  return file;
}

int OpenForReadingAt(const char* path) {
  if (path == nullptr) return -1;
  return open(path, O_RDONLY | O_NONBLOCK | O_CLOEXEC);
}

int64_t ReadAt(int fd, void* into, size_t size, int64_t offset) {
  if (ReadShouldFail()) return -1;
  size_t done = 0;
  while (done < size) {
    const ssize_t got = pread(fd, static_cast<char*>(into) + done, size - done,
                              static_cast<off_t>(offset + static_cast<int64_t>(done)));
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) return -1;
    if (got == 0) break;
    done += static_cast<size_t>(got);
  }
  return static_cast<int64_t>(done);
}

int64_t ReadStream(std::FILE* file, void* into, size_t size) {
  if (ReadShouldFail()) return -1;
  const size_t got = size == 0 ? 0 : std::fread(into, 1, size, file);
  if (got < size && std::ferror(file) != 0) {
    if (errno == 0) errno = EIO;
    return -1;
  }
  return static_cast<int64_t>(got);
}

}  // namespace platform
