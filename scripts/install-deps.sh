#!/usr/bin/env bash
# Installs every Debian 12 package that building, running and testing Parlatrix needs.
# Idempotent and silent when everything is already present.
set -euo pipefail

packages=(
  g++ cmake ninja-build make pkg-config
  libgtest-dev libgmock-dev libbenchmark-dev
  qt6-base-dev qt6-svg-dev libqt6svg6 libgl-dev qt6-charts-dev libqt6opengl6-dev
  fonts-noto-cjk
  libcli11-dev gettext
  clang libclang-rt-14-dev clang-format
  xvfb xauth imagemagick
  qt6-translations-l10n qt6-l10n-tools qt6-tools-dev qt6-tools-dev-tools
  libpugixml-dev
  libxml2-utils git python3 python3-polib python3-openpyxl translate-toolkit
  python3-lxml
  acl util-linux strace
  libzip-dev libisal-dev
)

# Optional peers the suite checks against when they are there, and skips (saying so) when not:
# installed with --optional (.ci/run does).
optional=(
  libreoffice-calc-nogui
)

# Heavy optional group, only with --heavy (or PARLATRIX_HEAVY_DEPS=1); `.ci/run` installs it.
# Without it the tests that need these skip with a line saying so.
#   runtime: MinGW-w64 and Wine build and run the Windows DLL and its tests, Emscripten and node
#   the web build (node-acorn: Emscripten's optimizer).
heavy_packages=(
  gcc-mingw-w64-x86-64 binutils-mingw-w64-x86-64 wine wine64
  emscripten nodejs node-acorn
)

want_optional=0
want_heavy=0
[ "${PARLATRIX_HEAVY_DEPS:-0}" = 1 ] && want_heavy=1
for arg in "$@"; do
  case "$arg" in
    --optional) want_optional=1 ;;
    --heavy) want_heavy=1 ;;
  esac
done
if [ "$want_optional" = 1 ]; then
  packages+=("${optional[@]}")
fi
if [ "$want_heavy" = 1 ]; then
  packages+=("${heavy_packages[@]}")
fi

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "install-deps: installing ${missing[*]}" >&2
sudo_cmd=()
[ "$(id -u)" -ne 0 ] && sudo_cmd=(sudo)
export DEBIAN_FRONTEND=noninteractive
"${sudo_cmd[@]}" apt-get update -qq
"${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
