#include "platform/debug_output.h"

#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <utility>
#include <vector>

namespace platform {
namespace {

void WriteToStderr(const std::string& line) {
  std::fwrite(line.data(), 1, line.size(), stderr);
  if (line.empty() || line.back() != '\n') std::fputc('\n', stderr);
}

DebugSink& CurrentSink() {
  static DebugSink sink = WriteToStderr;
  return sink;
}

}  // namespace

// errno is kept: callers report a failed system call on this channel and then name its reason to
// the user.
void DebugOutput(const char* format, ...) {
  const int reason = errno;
  va_list args;
  va_start(args, format);
  va_list again;
  va_copy(again, args);
  const int needed = std::vsnprintf(nullptr, 0, format, args);
  va_end(args);
  std::string line;
  if (needed > 0) {
    std::vector<char> buffer(static_cast<size_t>(needed) + 1);
    std::vsnprintf(buffer.data(), buffer.size(), format, again);
    line.assign(buffer.data(), static_cast<size_t>(needed));
  }
  va_end(again);
  CurrentSink()(line);
  errno = reason;
}

DebugSink SetDebugSink(DebugSink sink) {
  DebugSink previous = std::move(CurrentSink());
  CurrentSink() = sink ? std::move(sink) : DebugSink(WriteToStderr);
  return previous;
}

}  // namespace platform
