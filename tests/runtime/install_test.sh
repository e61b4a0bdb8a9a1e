#!/usr/bin/env bash
# The runtime as a user gets it: installed from the build tree into a temporary prefix, the C
# example built against the installed header and libraries alone, once with pkg-config and once
# with CMake's find_package, with gcc -std=c11 -Wall -Werror; the C++ and Python ctypes examples of
# docs/runtime.md built and run against the same tree. All must print the same line.
#
#   install_test.sh BUILD_DIR SOURCE_DIR CMAKE
set -euo pipefail
build=$1
source=$2
cmake=$3

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
prefix=$work/prefix
fail() { echo "install_test: $*" >&2; exit 1; }

"$cmake" --install "$build" --component runtime --prefix "$prefix" >/dev/null
libdir=$(dirname "$(find "$prefix" -name 'libparlatrix_runtime.so.1' | head -1)")
[ -n "$libdir" ] || fail "no libparlatrix_runtime.so.1 installed"
for f in "$prefix/include/parlatrix/runtime.h" "$libdir/libparlatrix_runtime.a" \
         "$libdir/libparlatrix_runtime.so" "$libdir/pkgconfig/parlatrix-runtime.pc" \
         "$libdir/cmake/ParlatrixRuntime/ParlatrixRuntimeConfig.cmake" \
         "$prefix/share/parlatrix-runtime/amalgamation/parlatrix_runtime.c" \
         "$prefix/share/parlatrix-runtime/amalgamation/parlatrix/runtime.h"; do
  [ -e "$f" ] || fail "missing $f"
done
[ "$(objdump -p "$libdir/libparlatrix_runtime.so.1" | awk '/SONAME/ {print $2}')" = \
  libparlatrix_runtime.so.1 ] || fail "wrong SONAME"

# Only the installed tree: the source's include folders are not on any path below.
dlg=$source/examples/demo.dlg
id=200  # a line of two lines: CR LF inside the text
export PKG_CONFIG_PATH=$libdir/pkgconfig
gcc -std=c11 -Wall -Wextra -Werror -pedantic -fsyntax-only -x c "$prefix/include/parlatrix/runtime.h"
# shellcheck disable=SC2046
gcc -std=c11 -Wall -Werror "$source/examples/runtime/print_line.c" \
  $(pkg-config --cflags --libs parlatrix-runtime) -Wl,-rpath,"$libdir" -o "$work/print_line_pc"
# The static library alone: nothing of the shared one may be needed at run time.
# shellcheck disable=SC2046
gcc -std=c11 -Wall -Werror "$source/examples/runtime/print_line.c" \
  $(pkg-config --cflags parlatrix-runtime) "$libdir/libparlatrix_runtime.a" \
  $(pkg-config --static --libs-only-l parlatrix-runtime | sed 's/-lparlatrix_runtime//') \
  -o "$work/print_line_static"
if ldd "$work/print_line_static" | grep -q parlatrix; then fail "static build needs the .so"; fi

"$cmake" -S "$source/examples/runtime" -B "$work/cmake-build" -G Ninja \
  -DCMAKE_PREFIX_PATH="$prefix" -DCMAKE_C_COMPILER=gcc >/dev/null
"$cmake" --build "$work/cmake-build" >/dev/null
"$cmake" -S "$source/examples/runtime" -B "$work/cmake-static" -G Ninja \
  -DCMAKE_PREFIX_PATH="$prefix" -DCMAKE_C_COMPILER=gcc -DPRINT_LINE_STATIC=ON >/dev/null
"$cmake" --build "$work/cmake-static" >/dev/null
if ldd "$work/cmake-static/print_line" | grep -q parlatrix; then fail "CMake static build needs the .so"; fi
grep -q -- '-std=c11' "$work/cmake-build/compile_commands.json" 2>/dev/null ||
  grep -rq 'std=c11' "$work/cmake-build/build.ninja" || fail "CMake build not in C11"

# The documentation's examples, extracted from the block after their marker.
block() {
  awk -v marker="runtime-example: $1" '
    index($0, marker) { found = 1; next }
    found && /^```/ { if (inside) exit; inside = 1; next }
    inside { print }' "$source/docs/runtime.md"
}
block cpp >"$work/example.cpp"
block python >"$work/example.py"
[ -s "$work/example.cpp" ] && [ -s "$work/example.py" ] || fail "examples not found in docs/runtime.md"
# shellcheck disable=SC2046
g++ -std=c++17 -Wall -Werror "$work/example.cpp" $(pkg-config --cflags --libs parlatrix-runtime) \
  -Wl,-rpath,"$libdir" -o "$work/example_cpp"

expected=$("$work/print_line_pc" "$dlg" "$id")
[ -n "$expected" ] || fail "print_line printed nothing"
for run in "$work/print_line_static $dlg $id" "$work/cmake-build/print_line $dlg $id" \
           "$work/cmake-static/print_line $dlg $id" \
           "$work/example_cpp $dlg $id" \
           "/usr/bin/python3 $work/example.py $libdir/libparlatrix_runtime.so.1 $dlg $id"; do
  got=$(LD_LIBRARY_PATH=$libdir $run) || fail "$run failed"
  [ "$got" = "$expected" ] || fail "$run printed '$got', not '$expected'"
done

# The shell block of docs/runtime.md as printed, but for its first two lines (the build folder and
# the prefix), in a folder of its own that sees the source's examples.
block sh >"$work/doc.sh"
[ "$(sed -n 1p "$work/doc.sh" | cut -d= -f1)" = build ] &&
  [ "$(sed -n 2p "$work/doc.sh" | cut -d= -f1)" = prefix ] || fail "docs' shell block changed its first lines"
mkdir "$work/doc"
ln -s "$source/examples" "$work/doc/examples"
{ echo "build='$(realpath "$build")'"; echo "prefix='$work/doc-prefix'"; sed 1,2d "$work/doc.sh"; } \
  >"$work/doc/run.sh"
got=$(cd "$work/doc" && env -u PKG_CONFIG_PATH -u LD_LIBRARY_PATH bash -e run.sh) ||
  fail "the shell example of docs/runtime.md failed"
[ "$got" = "$(printf '%s\n%s\n%s' "$expected" "$expected" "$expected")" ] ||
  fail "the shell example of docs/runtime.md printed '$got'"

# Failures: an unused ID exits 1, a missing file 2 with the system's reason.
status=0
"$work/print_line_pc" "$dlg" 99999 2>/dev/null || status=$?
[ $status -eq 1 ] || fail "unknown ID exit status $status"
status=0
message=$("$work/print_line_pc" "$work/none.dlg" 0 2>&1) || status=$?
[ $status -eq 2 ] && [[ $message == *"No such file"* ]] || fail "missing file: $status $message"
echo "install_test: ok ($expected)"
