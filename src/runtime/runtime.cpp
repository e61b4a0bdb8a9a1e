// The C interface of the runtime. Every function catches what the C++ inside may throw (only
// std::bad_alloc, while opening) and turns it into a status: nothing unwinds into a C caller.
#include "parlatrix/runtime.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>
#include <new>

#include "runtime/runtime_file.h"

struct prx_file {
  parlatrix_runtime::DialogueFile dialogue;
};

namespace {

#define PRX_STRINGIFY2(x) #x
#define PRX_STRINGIFY(x) PRX_STRINGIFY2(x)
constexpr char kVersionString[] = PRX_STRINGIFY(PRX_VERSION_MAJOR) "." PRX_STRINGIFY(
    PRX_VERSION_MINOR) "." PRX_STRINGIFY(PRX_VERSION_PATCH);

// Offsets in the format are signed 32-bit: a larger file is no dialogue file.
constexpr int64_t kMaxFileSize = INT32_MAX;

prx_status Fail(prx_error* error, prx_status code, const char* what, const char* detail) {
  if (error != nullptr) {
    error->code = code;
    std::snprintf(error->message, sizeof error->message, "%s: %s", what, detail);
  }
  return code;
}

// Reads the whole regular file at `path`. Opened without blocking, so that a FIFO is refused
// instead of waiting for a writer.
prx_status ReadWholeFile(const char* path, std::unique_ptr<uint8_t[]>& bytes, size_t& size,
                         prx_error* error) {
  const int fd = open(path, O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
  if (fd < 0) return Fail(error, PRX_ERROR_OPEN, path, std::strerror(errno));
  struct stat info;
  if (fstat(fd, &info) != 0) {
    const int code = errno;
    close(fd);
    return Fail(error, PRX_ERROR_OPEN, path, std::strerror(code));
  }
  if (!S_ISREG(info.st_mode)) {
    close(fd);
    return Fail(error, PRX_ERROR_OPEN, path, "not a regular file");
  }
  if (info.st_size > kMaxFileSize) {
    close(fd);
    return Fail(error, PRX_ERROR_DAMAGED, path, "larger than 2 GiB, no dialogue file");
  }
  size = static_cast<size_t>(info.st_size);
  bytes.reset(new (std::nothrow) uint8_t[size > 0 ? size : 1]);
  if (bytes == nullptr) {
    close(fd);
    return Fail(error, PRX_ERROR_NO_MEMORY, path, "not enough memory for the file");
  }
  size_t got = 0;
  while (got < size) {
    const ssize_t n = read(fd, bytes.get() + got, size - got);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      const int code = errno;
      close(fd);
      return Fail(error, PRX_ERROR_READ, path, std::strerror(code));
    }
    if (n == 0) break;  // the file shrank meanwhile: what is there is checked as it is
    got += static_cast<size_t>(n);
  }
  close(fd);
  size = got;
  return PRX_OK;
}

prx_status OpenBytes(std::unique_ptr<uint8_t[]> bytes, size_t size, const char* name,
                     prx_file** file, prx_error* error) {
  std::unique_ptr<prx_file> handle(new (std::nothrow) prx_file);
  if (handle == nullptr) return Fail(error, PRX_ERROR_NO_MEMORY, name, "not enough memory");
  std::string why;
  prx_status status = PRX_OK;
  try {
    status = handle->dialogue.Open(std::move(bytes), size, why);
  } catch (const std::bad_alloc&) {
    return Fail(error, PRX_ERROR_NO_MEMORY, name, "not enough memory for the file's tables");
  }
  if (status != PRX_OK) return Fail(error, status, name, why.c_str());
  *file = handle.release();
  if (error != nullptr) {
    error->code = PRX_OK;
    error->message[0] = '\0';
  }
  return PRX_OK;
}

}  // namespace

extern "C" {

uint32_t prx_version(void) {
  return PRX_VERSION;
}

const char* prx_version_string(void) {
  return kVersionString;
}

const char* prx_status_message(prx_status status) {
  switch (status) {
    case PRX_OK:
      return "success";
    case PRX_ERROR_ARGUMENT:
      return "invalid argument";
    case PRX_ERROR_OPEN:
      return "cannot open the file";
    case PRX_ERROR_READ:
      return "cannot read the file";
    case PRX_ERROR_NO_MEMORY:
      return "not enough memory";
    case PRX_ERROR_DAMAGED:
      return "damaged or no dialogue file";
    case PRX_ERROR_NOT_FOUND:
      return "no such line or plot";
    case PRX_ERROR_BUFFER:
      return "buffer too small";
  }
  return "unknown status";
}

prx_status prx_open(const char* path, prx_file** file, prx_error* error) {
  if (file != nullptr) *file = nullptr;
  if (path == nullptr || file == nullptr) {
    return Fail(error, PRX_ERROR_ARGUMENT, "prx_open", "path and file must not be NULL");
  }
  std::unique_ptr<uint8_t[]> bytes;
  size_t size = 0;
  const prx_status read = ReadWholeFile(path, bytes, size, error);
  if (read != PRX_OK) return read;
  return OpenBytes(std::move(bytes), size, path, file, error);
}

prx_status prx_open_memory(const void* data, size_t size, prx_file** file, prx_error* error) {
  if (file != nullptr) *file = nullptr;
  if ((data == nullptr && size > 0) || file == nullptr) {
    return Fail(error, PRX_ERROR_ARGUMENT, "prx_open_memory", "data and file must not be NULL");
  }
  if (size > static_cast<size_t>(kMaxFileSize)) {
    return Fail(error, PRX_ERROR_DAMAGED, "memory", "larger than 2 GiB, no dialogue file");
  }
  std::unique_ptr<uint8_t[]> bytes(new (std::nothrow) uint8_t[size > 0 ? size : 1]);
  if (bytes == nullptr) return Fail(error, PRX_ERROR_NO_MEMORY, "memory", "not enough memory");
  if (size > 0) std::memcpy(bytes.get(), data, size);
  return OpenBytes(std::move(bytes), size, "memory", file, error);
}

void prx_close(prx_file* file) {
  delete file;
}

int32_t prx_line_count(const prx_file* file) {
  return file != nullptr ? file->dialogue.LineCount() : 0;
}

int32_t prx_highest_id(const prx_file* file) {
  return file != nullptr ? file->dialogue.HighestId() : -1;
}

prx_text prx_game_name(const prx_file* file) {
  return file != nullptr ? file->dialogue.GameName() : prx_text{"", 0};
}

prx_status prx_get_line(const prx_file* file, int32_t id, prx_line* line) {
  if (file == nullptr || line == nullptr) return PRX_ERROR_ARGUMENT;
  return file->dialogue.GetLine(id, *line) ? PRX_OK : PRX_ERROR_NOT_FOUND;
}

prx_status prx_copy_field(const prx_file* file, int32_t id, prx_field field, char* buffer,
                          size_t capacity, size_t* needed) {
  if (needed != nullptr) *needed = 0;
  if (file == nullptr || field < PRX_FIELD_SPEAKER || field > PRX_FIELD_TEXT ||
      (buffer == nullptr && capacity > 0)) {
    return PRX_ERROR_ARGUMENT;
  }
  prx_line line;
  if (!file->dialogue.GetLine(id, line)) return PRX_ERROR_NOT_FOUND;
  const prx_text texts[] = {line.speaker, line.expression, line.sound, line.text};
  const prx_text& text = texts[field];
  if (needed != nullptr) *needed = text.size + 1;
  if (capacity < text.size + 1) return PRX_ERROR_BUFFER;
  std::memcpy(buffer, text.data, text.size + 1);
  return PRX_OK;
}

int32_t prx_plot_count(const prx_file* file) {
  return file != nullptr ? file->dialogue.PlotCount() : 0;
}

prx_status prx_get_plot(const prx_file* file, int32_t index, prx_plot* plot) {
  if (file == nullptr || plot == nullptr) return PRX_ERROR_ARGUMENT;
  return file->dialogue.GetPlot(index, *plot) ? PRX_OK : PRX_ERROR_NOT_FOUND;
}

}  // extern "C"
