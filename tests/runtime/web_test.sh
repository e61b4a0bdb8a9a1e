#!/usr/bin/env bash
# The runtime for the web: src/runtime built on its own with Emscripten, the behaviour test run
# under node (with node's file system, so that it reads the demo and writes its files).
# Exits 77 (skipped) with a line saying why when emcc or node is missing.
#
#   web_test.sh BUILD_DIR SOURCE_DIR CMAKE
set -euo pipefail
build=$1
source=$2
cmake=$3
fail() { echo "web_test: $*" >&2; exit 1; }
for tool in emcmake emcc node; do
  if ! command -v $tool >/dev/null; then
    echo "web_test: SKIPPED: $tool not installed (scripts/install-deps.sh --heavy installs it)"
    exit 77
  fi
done
out=$build/runtime-web
# Emscripten's optimizer needs node's acorn module; Debian keeps it in /usr/share/nodejs, where a
# node not from Debian does not look.
[ -d /usr/share/nodejs ] && export NODE_PATH=${NODE_PATH:+$NODE_PATH:}/usr/share/nodejs
# SINGLE_FILE: the WebAssembly inside the .js, which newer node versions load without fetch().
emcmake "$cmake" -S "$source/src/runtime" -B "$out" -G Ninja -DCMAKE_BUILD_TYPE=Release \
  -DCMAKE_EXE_LINKER_FLAGS="-s SINGLE_FILE=1" >/dev/null
"$cmake" --build "$out" >/dev/null || fail "the Emscripten build failed"
cd "$out"
cp "$source/examples/demo.dlg" demo.dlg
node parlatrix_runtime_behaviour.js demo.dlg || fail "behaviour test failed under node"
got=$(node print_line.js demo.dlg 200) || fail "print_line failed under node"
[ -n "$got" ] || fail "print_line printed nothing"
echo "web_test: ok (Emscripten build, behaviour test under node)"
