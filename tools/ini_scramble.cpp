// parlatrix-ini-scramble: writes the scrambled form of a plain Parlatrix.ini, or the plain form
// of a scrambled one with --unscramble. See docs/config-format.md.
//
// Exit status: 0 done, 1 the input cannot be read or converted or the output cannot be written,
// 2 wrong arguments.
#include "config/ini_scramble.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>

#include "platform/file_io.h"
#include "platform/file_read.h"

namespace {

constexpr char kProgram[] = "parlatrix-ini-scramble";

// On stdout with status 0 when asked for (--help), on stderr with status 2 after wrong arguments.
int Usage(std::FILE* out, int status) {
  std::fprintf(out,
               "usage: %s IN OUT\n"
               "       %s --unscramble IN OUT\n"
               "Writes the scrambled form of the plain Parlatrix.ini IN to OUT, or with\n"
               "--unscramble the plain form of the scrambled file IN.\n",
               kProgram, kProgram);
  return status;
}

// Only regular files: /dev/zero or a FIFO would never end (or block) and fill memory.
bool ReadWhole(const char* path, std::string& bytes) {
  std::FILE* file = platform::OpenRegularFileForReading(path);
  if (file == nullptr) {
    if (errno == 0) errno = EINVAL;
    return false;
  }
  char chunk[1 << 16];
  size_t got = 0;
  while ((got = std::fread(chunk, 1, sizeof(chunk), file)) > 0) bytes.append(chunk, got);
  const bool ok = std::ferror(file) == 0;
  std::fclose(file);
  return ok;
}

// Through a temporary file: IN and OUT may be one file, and a kill or a full disk must leave it
// whole.
bool WriteWhole(const char* path, const std::string& bytes) {
  return platform::ReplaceFile(path, [&bytes](std::FILE* file) {
           return platform::WriteBytes(file, bytes.data(), bytes.size());
         }) == platform::ReplaceResult::kReplaced;
}

int Fail(const char* what, const char* path) {
  std::fprintf(stderr, "%s: %s: %s\n", kProgram, path, what);
  return 1;
}

int FailWithReason(const char* what, const char* path) {
  const std::string text = std::string(what) + " (" + std::strerror(errno) + ")";
  return Fail(text.c_str(), path);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 2 && (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0)) {
    return Usage(stdout, 0);
  }
  bool unscramble = false;
  int first = 1;
  if (argc > 1 && std::strcmp(argv[1], "--unscramble") == 0) {
    unscramble = true;
    first = 2;
  }
  if (argc - first != 2) return Usage(stderr, 2);
  const char* in = argv[first];
  const char* out = argv[first + 1];

  std::string input;
  errno = 0;
  if (!ReadWhole(in, input)) return FailWithReason("cannot read the file", in);
  std::string output;
  std::string error;
  const bool converted =
      unscramble ? UnscrambleIniText(input, output, error) : ScrambleIniText(input, output, error);
  if (!converted) return Fail(error.c_str(), in);
  if (!WriteWhole(out, output)) return FailWithReason("cannot write the file", out);
  return 0;
}
