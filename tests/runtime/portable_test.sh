#!/usr/bin/env bash
# The runtime as portable C on Linux, outside the editor's build:
#  - the behaviour test and the runtime's sources with gcc and with clang at -std=c99
#    -pedantic-errors -Wall -Wextra -Werror, and the amalgamated parlatrix_runtime.c alone;
#  - `cmake -S src/runtime` on its own, and src/runtime as add_subdirectory of a game's tree;
#  - symbol hygiene of the libraries the editor's build made: the shared one exports only prx_
#    functions under the version node PARLATRIX_RUNTIME_1 and needs no libstdc++; it loads,
#    unloads and loads again with dlopen; the static one defines nothing but prx_ names, so that a
#    C++ program with its own ScrambleBlock links with it.
#
#   portable_test.sh BUILD_DIR SOURCE_DIR CMAKE
set -euo pipefail
build=$1
source=$2
cmake=$3
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "portable_test: $*" >&2; exit 1; }
runtime=$source/src/runtime
demo=$source/examples/demo.dlg
strict=(-std=c99 -pedantic-errors -Wall -Wextra -Werror -O1)
cd "$work"

for cc in gcc clang; do
  command -v $cc >/dev/null || fail "$cc is missing (scripts/install-deps.sh installs it)"
  $cc "${strict[@]}" -I"$runtime" "$runtime"/*.c "$source/tests/runtime/runtime_behaviour.c" \
    -o "behaviour_$cc" || fail "$cc -std=c99 build failed"
  "./behaviour_$cc" "$demo" >/dev/null || fail "behaviour test built by $cc failed"
done

# The amalgamation the build generated: compiled alone, then linked with the behaviour test.
amalgamation=$build/src/runtime/amalgamation
[ -f "$amalgamation/parlatrix_runtime.c" ] || fail "no amalgamation in $amalgamation"
gcc "${strict[@]}" -I"$amalgamation" -c "$amalgamation/parlatrix_runtime.c" -o amalgamation.o ||
  fail "the amalgamation does not compile alone"
gcc "${strict[@]}" -I"$amalgamation" "$source/tests/runtime/runtime_behaviour.c" amalgamation.o \
  -o behaviour_amalgamation
./behaviour_amalgamation "$demo" >/dev/null || fail "behaviour test on the amalgamation failed"

# The runtime's own project, alone and inside a game's tree.
"$cmake" -S "$runtime" -B standalone -G Ninja -DCMAKE_C_COMPILER=gcc >/dev/null
"$cmake" --build standalone >/dev/null || fail "cmake -S src/runtime did not build"
grep -Eiq 'expat|xlsxwriter|cli11|gtest|Qt6' standalone/CMakeCache.txt &&
  fail "the runtime's own build looked for the editor's dependencies"
./standalone/parlatrix_runtime_behaviour "$demo" >/dev/null || fail "standalone behaviour test failed"
mkdir game
cat >game/CMakeLists.txt <<GAME
cmake_minimum_required(VERSION 3.16)
project(game C)
add_subdirectory("$runtime" parlatrix_runtime)
add_executable(game game.c)
target_link_libraries(game PRIVATE ParlatrixRuntime::runtime_static)
GAME
cat >game/game.c <<'GAME'
#include <parlatrix/runtime.h>
#include <stdio.h>
int main(int argc, char** argv) {
  prx_file* file = NULL;
  prx_line line;
  if (argc < 2 || prx_open(argv[1], &file, NULL) != PRX_OK) return 2;
  if (prx_get_line(file, 200, &line) != PRX_OK) return 1;
  printf("%s\n", line.text.data);
  prx_close(file);
  return 0;
}
GAME
"$cmake" -S game -B game-build -G Ninja -DCMAKE_C_COMPILER=gcc >/dev/null
"$cmake" --build game-build >/dev/null || fail "add_subdirectory(src/runtime) did not build"
./game-build/game "$demo" >/dev/null || fail "the game built with add_subdirectory failed"

# Symbols of the libraries of the editor's build.
shared=$build/src/runtime/libparlatrix_runtime.so.1
static=$build/src/runtime/libparlatrix_runtime.a
[ -f "$shared" ] && [ -f "$static" ] || fail "libraries missing in $build/src/runtime"
bad=$(nm -D --defined-only "$shared" | awk '$3 !~ /^prx_[a-z]/ && $3 != "PARLATRIX_RUNTIME_1" {print $3}')
[ -z "$bad" ] || fail "the shared library exports $bad"
exported=$(nm -D --defined-only "$shared" | awk '$3 ~ /^prx_/' | wc -l)
versioned=$(objdump -T "$shared" | grep -c ' PARLATRIX_RUNTIME_1 *prx_' || true)
[ "$exported" -ge 16 ] && [ "$versioned" -eq "$exported" ] ||
  fail "$exported prx_ exports, $versioned of them under PARLATRIX_RUNTIME_1"
if readelf -d "$shared" | grep NEEDED | grep -Eq 'stdc\+\+|libgcc_s|libm\.'; then
  fail "the shared library needs $(readelf -d "$shared" | grep NEEDED)"
fi
ldd "$shared" | grep -q 'libstdc++' && fail "ldd shows libstdc++"
# The glibc baseline built on Debian 12: fstat (2.33) is the newest symbol it needs; a build in
# an older toolchain's container (the Steam Runtime's SDK) needs only that glibc (docs/runtime.md).
newest=$(objdump -T "$shared" | grep -o 'GLIBC_[0-9.]*' | sed 's/GLIBC_//' | sort -V | tail -1)
[ "$(printf '%s\n2.33\n' "$newest" | sort -V | tail -1)" = 2.33 ] ||
  fail "the shared library needs glibc $newest, more than 2.33"
bad=$(nm --defined-only -g "$static" | awk 'NF == 3 && $2 ~ /[A-Z]/ && $3 !~ /^prx_/ {print $3}')
[ -z "$bad" ] || fail "the static library defines $bad"
cat >unload.c <<'UNLOAD'
#include <dlfcn.h>
#include <stdio.h>
#include <string.h>
typedef const char* (*version_fn)(void);
int main(int argc, char** argv) {
  int round;
  for (round = 0; round < 2; ++round) {
    void* library = dlopen(argv[1], RTLD_NOW | RTLD_LOCAL);
    version_fn version;
    if (library == NULL) { fprintf(stderr, "%s\n", dlerror()); return 1; }
    *(void**)(&version) = dlsym(library, "prx_version_string");
    if (version == NULL || strcmp(version(), "1.1.0") != 0) return 1;
    if (dlclose(library) != 0) return 1;
  }
  (void)argc;
  return 0;
}
UNLOAD
gcc -std=c99 -Wall unload.c -o unload -ldl
./unload "$shared" || fail "dlopen, dlclose, dlopen failed"
cat >collide.cpp <<'COLLIDE'
// A game of its own with names the editor's C++ code uses: they must not meet the library's.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <parlatrix/runtime.h>
void ScrambleBlock(uint8_t* block, size_t length) { for (size_t i = 0; i < length; ++i) block[i] = 0; }
int32_t LoadLE32(const uint8_t*) { return 7; }
bool VerifyDlgBytes() { return true; }
int main(int argc, char** argv) {
  uint8_t bytes[4] = {1, 2, 3, 4};
  ScrambleBlock(bytes, 4);
  prx_file* file = nullptr;
  if (argc < 2 || prx_open(argv[1], &file, nullptr) != PRX_OK) return 2;
  prx_line line;
  const bool ok = prx_get_line(file, 200, &line) == PRX_OK && bytes[0] == 0 && LoadLE32(bytes) == 7;
  prx_close(file);
  return ok ? 0 : 1;
}
COLLIDE
g++ -std=c++17 -Wall -Werror -I"$runtime" collide.cpp "$static" -o collide ||
  fail "a C++ program defining ScrambleBlock does not link with the static library"
./collide "$demo" || fail "the C++ program with its own ScrambleBlock failed"
echo "portable_test: ok (gcc and clang -std=c99, amalgamation, standalone, add_subdirectory, symbols)"
