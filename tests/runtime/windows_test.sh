#!/usr/bin/env bash
# The runtime for Windows: src/runtime built on its own with MinGW-w64 (DLL, import libraries for
# MinGW and MSVC, .def file, static library), its exports checked (only prx_ functions), then the
# behaviour test (static and DLL builds) and the C example run under Wine. Wine runs in a private
# prefix below the build folder, without a display (console programs need none).
# Exits 77 (skipped) with a line saying why when MinGW-w64 or Wine is missing.
#
#   windows_test.sh BUILD_DIR SOURCE_DIR CMAKE
set -euo pipefail
build=$1
source=$2
cmake=$3
fail() { echo "windows_test: $*" >&2; exit 1; }
cc=x86_64-w64-mingw32-gcc
if ! command -v $cc >/dev/null; then
  echo "windows_test: SKIPPED: $cc not installed (scripts/install-deps.sh --heavy installs it)"
  exit 77
fi
out=$build/runtime-windows
"$cmake" -S "$source/src/runtime" -B "$out" -G Ninja -DCMAKE_SYSTEM_NAME=Windows \
  -DCMAKE_C_COMPILER=$cc -DCMAKE_BUILD_TYPE=Release >/dev/null
"$cmake" --build "$out" >/dev/null || fail "the MinGW-w64 build failed"
for f in libparlatrix_runtime.dll libparlatrix_runtime.dll.a libparlatrix_runtime.a \
         parlatrix_runtime.lib parlatrix_runtime_behaviour.exe print_line.exe; do
  [ -f "$out/$f" ] || fail "missing $f"
done
exports=$(x86_64-w64-mingw32-objdump -p "$out/libparlatrix_runtime.dll" |
  awk '/\[Ordinal\/Name Pointer\] Table/ {table = 1; next} table && /^[ \t]*\[/ {print $NF} table && /^$/ {table = 0}')
[ -n "$exports" ] || fail "the DLL exports nothing"
bad=$(echo "$exports" | grep -v '^prx_[a-z]' || true)
[ -z "$bad" ] || fail "the DLL exports $bad"
expected=$(grep -o '^  prx_[a-z_]*' "$source/src/runtime/parlatrix_runtime.def" | tr -d ' ' | sort)
[ "$(echo "$exports" | sort)" = "$expected" ] || fail "the DLL's exports differ from the .def file"
if x86_64-w64-mingw32-objdump -p "$out/libparlatrix_runtime.dll" | grep -i 'DLL Name' |
   grep -Eiq 'stdc\+\+|libgcc'; then
  fail "the DLL needs the C++ or GCC runtime"
fi
wine=$(command -v wine64 || command -v wine || true)
if [ -z "$wine" ]; then
  echo "windows_test: built; SKIPPED running: wine not installed (scripts/install-deps.sh --heavy)"
  exit 77
fi
export WINEPREFIX=$build/wineprefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" WINEARCH=win64
mkdir -p "$WINEPREFIX"
unset DISPLAY WAYLAND_DISPLAY
cd "$out"
cp "$source/examples/demo.dlg" demo.dlg
# The behaviour test linked statically, then with the DLL beside it.
"$wine" parlatrix_runtime_behaviour.exe demo.dlg | tr -d '\r' || fail "behaviour test failed under Wine"
"$wine" parlatrix_runtime_behaviour_shared.exe demo.dlg | tr -d '\r' ||
  fail "behaviour test (DLL) failed under Wine"
got=$("$wine" print_line.exe demo.dlg 200 | tr -d '\r') || fail "print_line failed under Wine"
gcc -std=c99 -I"$source/src/runtime" "$source"/src/runtime/*.c "$source/examples/runtime/print_line.c" \
  -o print_line_native
want=$(./print_line_native demo.dlg 200 | tr -d '\r')
[ -n "$got" ] && [ "$got" = "$want" ] || fail "print_line printed '$got', not '$want'"
echo "windows_test: ok (MinGW-w64 DLL and static library, exports prx_ only, run under Wine)"
