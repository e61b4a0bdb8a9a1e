// parlatrix-ini-scramble: writes the scrambled form of a plain Parlatrix.ini, or the plain form
// of a scrambled one with --unscramble. See docs/config-format.md.
//
// Exit status: 0 done, 1 the input cannot be read or converted or the output cannot be written,
// 2 wrong arguments.
#include "interchange/ini_scramble.h"

#include <cstdio>
#include <cstring>
#include <string>

namespace {

constexpr char kProgram[] = "parlatrix-ini-scramble";

int Usage() {
  std::fprintf(stderr,
               "usage: %s IN OUT\n"
               "       %s --unscramble IN OUT\n"
               "Writes the scrambled form of the plain Parlatrix.ini IN to OUT, or with\n"
               "--unscramble the plain form of the scrambled file IN.\n",
               kProgram, kProgram);
  return 2;
}

bool ReadWhole(const char* path, std::string& bytes) {
  std::FILE* file = std::fopen(path, "rb");
  if (file == nullptr) return false;
  char chunk[1 << 16];
  size_t got = 0;
  while ((got = std::fread(chunk, 1, sizeof(chunk), file)) > 0) bytes.append(chunk, got);
  const bool ok = std::ferror(file) == 0;
  std::fclose(file);
  return ok;
}

bool WriteWhole(const char* path, const std::string& bytes) {
  std::FILE* file = std::fopen(path, "wb");
  if (file == nullptr) return false;
  const bool written = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
  return (std::fclose(file) == 0) && written;
}

int Fail(const char* what, const char* path) {
  std::fprintf(stderr, "%s: %s: %s\n", kProgram, path, what);
  return 1;
}

}  // namespace

int main(int argc, char** argv) {
  bool unscramble = false;
  int first = 1;
  if (argc > 1 && std::strcmp(argv[1], "--unscramble") == 0) {
    unscramble = true;
    first = 2;
  }
  if (argc - first != 2) return Usage();
  const char* in = argv[first];
  const char* out = argv[first + 1];

  std::string input;
  if (!ReadWhole(in, input)) return Fail("cannot read the file", in);
  std::string output;
  std::string error;
  const bool converted =
      unscramble ? UnscrambleIniText(input, output, error) : ScrambleIniText(input, output, error);
  if (!converted) return Fail(error.c_str(), in);
  if (!WriteWhole(out, output)) return Fail("cannot write the file", out);
  return 0;
}
