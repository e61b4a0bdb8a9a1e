#!/usr/bin/env bash
# The format check of CI and `make format-check`: clang-format (the style of .clang-format) in
# --dry-run -Werror mode on the C and C++ files changed against a base, limited to the lines that
# changed, so that a change is held to the style without reformatting the code around it.
#
#   scripts/format-check.sh [BASE]      BASE: a commit; default $FORMAT_BASE, else the merge base
#                                       with main (nothing to check on main itself)
#   FORMAT_WHOLE=1 scripts/format-check.sh BASE    every line of each changed file
#
# Changes not yet committed count as well. Exit 0 when clean, 1 with clang-format's findings on
# stderr, 2 when the base cannot be found or clang-format is missing.
set -euo pipefail
cd "$(dirname "$0")/.."

clang_format=${CLANG_FORMAT:-$(command -v clang-format || command -v clang-format-14 || true)}
if [ -z "$clang_format" ]; then
  echo "format-check: clang-format not found (apt-get install clang-format)" >&2
  exit 2
fi

base=${1:-${FORMAT_BASE:-}}
if [ -z "$base" ]; then
  if ! base=$(git merge-base HEAD main 2>/dev/null); then
    echo "format-check: no base given and no branch main to compare with" >&2
    exit 2
  fi
fi
if ! git rev-parse --verify --quiet "$base^{commit}" >/dev/null; then
  echo "format-check: unknown base $base" >&2
  exit 2
fi

mapfile -t files < <(git diff --name-only --diff-filter=ACMR "$base" -- \
  '*.c' '*.cc' '*.cpp' '*.h' '*.hpp' | sort -u)
status=0
checked=0
for file in "${files[@]}"; do
  [ -f "$file" ] || continue
  args=()
  if [ -z "${FORMAT_WHOLE:-}" ]; then
    # The changed ranges of the new side, from the hunk headers "@@ -a,b +c,d @@" (d 0: a pure
    # deletion, nothing to check).
    while read -r range; do
      start=${range%%,*}
      count=1
      [ "$range" != "$start" ] && count=${range#*,}
      [ "$count" -eq 0 ] && continue
      args+=("--lines=$start:$((start + count - 1))")
    done < <(git diff -U0 "$base" -- "$file" | sed -n 's/^@@ -[0-9,]* +\([0-9,]*\) @@.*/\1/p')
    [ ${#args[@]} -eq 0 ] && continue
  fi
  checked=$((checked + 1))
  "$clang_format" --dry-run -Werror "${args[@]}" "$file" || status=1
done
if [ $status -ne 0 ]; then
  echo "format-check: run clang-format -i on the files above (or make format), then commit" >&2
else
  echo "format-check: $checked changed files in the style of .clang-format"
fi
exit $status
