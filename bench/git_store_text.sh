#!/bin/sh
# The history and the merges of a 100 000-line script in git, three ways side by side in one run
# (docs/git.md, "Storing the text form", and docs/performance.md):
#
#   dlg    the .dlg file as it is (git-install: textconv and the merge driver)
#   store  git-install --store-text: git keeps the stored text form, the work tree the .dlg
#   text   the same stored text committed as a plain text file, git's own diff and merge
#
# History: a commit of the script, then 20 commits of 10 changed texts each; the size of the
# packed repository after `git gc` (the objects only), and what one small commit adds.
# Merge: two branches changing 5 000 texts each (one line in 20, different lines), `git merge`
# wall time,
# median of ROUNDS runs (each on a fresh copy of the repository).
#
#   bench/git_store_text.sh BUILD_DIR [LINES] [ROUNDS] [PARTS]     (make bench-git)
#   PARTS: "history merge" (both, the default), or one of them
set -eu
build=$(cd "$1" && pwd)
lines=${2:-100000}
rounds=${3:-3}
parts=${4:-"history merge"}
dlgtool="$build/tools/dlgtool"
[ -x "$dlgtool" ] || { echo "no dlgtool under $build" >&2; exit 2; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export GIT_CONFIG_GLOBAL="$work/gitconfig" GIT_CONFIG_NOSYSTEM=1
git config --global user.name Bench
git config --global user.email bench@parlatrix.invalid
git config --global init.defaultBranch main

# The script as a stored text: plots of 100 lines, speaker and sound on every line, texts of 20 to
# 200 bytes, like the benchmark scripts of docs/performance.md. edit.py changes texts in place.
cat > "$work/gen.py" <<'PY'
import random, sys
lines = int(sys.argv[1]); out = sys.argv[2]
random.seed(7)
words = "the a inn road tea night cold king fire ask door old wolf rain morning bell".split()
def text(n):
    t = []
    while sum(len(w) + 1 for w in t) < n: t.append(random.choice(words))
    return " ".join(t)
rows = ["# dialogue file stored as text by dlgtool's git filter; not a .dlg file without it.",
        "# To get the .dlg: dlgtool git-install --store-text, then git checkout -- FILE (docs/git.md)",
        "version 104", 'game "Bench"', "columns speaker 1, expression 1, sound 1", "multi-line 0"]
for p in range(lines // 100):
    rows += ["", 'plot "Plot %d"' % p, "range [%d, %d)" % (p * 100, p * 100 + 100),
             "ID\tspeaker\texpression\tsound\ttext", "--\t-------\t----------\t-----\t----"]
    for i in range(100):
        id = p * 100 + i
        rows.append("%d\tSpeaker%d\tsmile\tv%06d.wav\t%s" % (id, id % 7, id, text(20 + id % 181)))
open(out, "w").write("\n".join(rows) + "\n")
PY
cat > "$work/edit.py" <<'PY'
import sys
path, start, count, step, tag = sys.argv[1], int(sys.argv[2]), int(sys.argv[3]), int(sys.argv[4]), sys.argv[5]
rows = open(path).read().split("\n")
nids = sum(1 for r in rows if r.split("\t", 1)[0].isdigit())
want = set((start + k * step) % nids for k in range(count))
for k, row in enumerate(rows):
    head = row.split("\t", 1)[0]
    if head.isdigit() and int(head) in want:
        f = row.split("\t"); f[4] = f[4] + " " + tag; rows[k] = "\t".join(f)
open(path, "w").write("\n".join(rows))
PY
python3 "$work/gen.py" "$lines" "$work/base.txt"

# Writes the version (stored text $1) into the repository's file as its mode keeps it.
put() {
  case $mode in
    text) cp "$1" game.txt ;;
    *) "$dlgtool" git-filter smudge < "$1" > game.dlg ;;
  esac
}

setup() {  # $1: mode; leaves a repository with the base commit in $work/$1
  mode=$1
  rm -rf "$work/$mode" && mkdir "$work/$mode" && cd "$work/$mode"
  git init -q
  case $mode in
    dlg) "$dlgtool" git-install >/dev/null ;;
    store) "$dlgtool" git-install --store-text >/dev/null ;;
  esac
  put "$work/base.txt"
  git add -A && git commit -qm base
}

size_kib() { du -sk .git/objects | cut -f1; }

case " $parts " in *" history "*) history_modes="dlg store text" ;; *) history_modes="" ;; esac
case " $parts " in *" merge "*) merge_modes="dlg store text" ;; *) merge_modes="" ;; esac

[ -n "$history_modes" ] && echo "history: $lines lines, 20 commits of 10 changed texts"
for mode in $history_modes; do
  setup $mode
  cp "$work/base.txt" "$work/cur.txt"
  git gc -q
  first=$(size_kib)
  n=1
  while [ $n -le 20 ]; do
    python3 "$work/edit.py" "$work/cur.txt" $((n * 997 % lines)) 10 $((lines / 10)) "c$n"
    put "$work/cur.txt"
    git add -A && git commit -qm "c$n"
    n=$((n + 1))
  done
  git gc -q
  total=$(size_kib)
  printf '  %-6s packed %6d KiB (base commit %6d KiB, %6d bytes per small commit)\n' \
    $mode "$total" "$first" $(((total - first) * 1024 / 20))
done

[ -n "$merge_modes" ] && echo "merge: $lines lines, $((lines / 20)) changed texts on each branch, median of $rounds"
for mode in $merge_modes; do
  setup $mode
  cp "$work/base.txt" "$work/ours.txt"
  cp "$work/base.txt" "$work/theirs.txt"
  # Lines apart from each other (git's own merge calls neighbouring changes a conflict).
  python3 "$work/edit.py" "$work/theirs.txt" 10 $((lines / 20)) 20 theirs
  python3 "$work/edit.py" "$work/ours.txt" 0 $((lines / 20)) 20 ours
  git checkout -qb theirs && put "$work/theirs.txt" && git commit -qam theirs
  git checkout -q main && put "$work/ours.txt" && git commit -qam ours
  cd "$work" && rm -rf "$mode.seed" && mv "$mode" "$mode.seed"
  times=""
  r=0
  while [ $r -lt "$rounds" ]; do
    rm -rf "$work/$mode" && cp -a "$work/$mode.seed" "$work/$mode" && cd "$work/$mode"
    start=$(date +%s.%N)
    git merge -q --no-edit theirs >/dev/null 2>&1 || { echo "  $mode: merge failed" >&2; exit 1; }
    end=$(date +%s.%N)
    times="$times $(echo "$end - $start" | bc)"
    r=$((r + 1))
  done
  median=$(echo $times | tr ' ' '\n' | sort -n | sed -n "$(((rounds + 1) / 2))p")
  printf '  %-6s git merge %.2f s   (runs:%s)\n' $mode "$median" "$times"
done
