#include "output.h"

#include <cerrno>
#include <cstdarg>
#include <cstring>
#include <iostream>

#include "commands.h"
#include "platform/text_escape.h"

namespace dlgtool {

void AppendEscaped(std::string& out, std::string_view text) {
  platform::AppendEscapedText(out, text);
}

void AppendQuoted(std::string& out, std::string_view text) {
  platform::AppendQuotedText(out, text);
}

std::string RangeText(int low, int high) {
  if (low < 0 && high < 0) return "none";
  const std::string from = low >= 0 ? std::to_string(low) : "*";
  const std::string to = high >= 0 ? std::to_string(high) : "*";
  return "[" + from + ", " + to + ")";
}

namespace {

int firstOutputError = 0;  // errno of the first failed write or flush of stdout

void NoteOutputError(int error) {
  if (firstOutputError == 0) firstOutputError = error != 0 ? error : EIO;
}

}  // namespace

void PrintResult(std::string_view text) {
  if (std::fwrite(text.data(), 1, text.size(), stdout) != text.size()) NoteOutputError(errno);
}

void FlushOutput() {
  errno = 0;
  if (std::fflush(stdout) != 0) NoteOutputError(errno);
}

const char* Reason() {
  return std::strerror(errno);
}

int FinishOutput(int status) {
  // CLI11's help and usage texts go through std::cout, which writes into stdout's buffer.
  errno = 0;
  std::cout.flush();
  if (std::cout.bad()) NoteOutputError(errno);
  FlushOutput();
  if (std::ferror(stdout) == 0 && !std::cout.bad()) return status;
  const int reason = firstOutputError != 0 ? firstOutputError : EIO;
  std::fprintf(stderr, "%s: cannot write the output: %s\n", kProgram, std::strerror(reason));
  return kExitFailure;
}

void Message(const char* format, ...) {
  FlushOutput();
  std::fprintf(stderr, "%s: ", kProgram);
  va_list args;
  va_start(args, format);
  std::vfprintf(stderr, format, args);
  va_end(args);
  std::fputc('\n', stderr);
}

}  // namespace dlgtool
