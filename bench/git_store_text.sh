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
# wall time, median of ROUNDS runs, each on a fresh copy of the repository; the modes take turns
# within each round, so that a change of the machine's load falls on all of them alike. Two
# states of the work tree's index are timed:
#   fresh  git has seen the work tree since it last changed (`git update-index --refresh`, which
#          any `git status` does), as in a repository someone works in;
#   stale  right after the copy: the files' inode and change time no longer match the index, so
#          git reads each file again to compare it (through the clean filter with --store-text).
# The CPU time of git and its children (user and system) is shown beside the wall time.
#
#   bench/git_store_text.sh BUILD_DIR [LINES] [ROUNDS] [PARTS]     (make bench-git)
#   PARTS: "history merge" (both, the default), or one of them; GIT_BENCH_MODES="store text"
#   times only those merges
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
# timed.py COMMAND...: runs it (its output dropped) and prints "WALL CPU" in seconds, CPU being
# the user and system time of the command and all its children.
cat > "$work/timed.py" <<'PY'
import resource, subprocess, sys, time
start = time.monotonic()
code = subprocess.call(sys.argv[1:], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
wall = time.monotonic() - start
usage = resource.getrusage(resource.RUSAGE_CHILDREN)
print("%.2f %.2f" % (wall, usage.ru_utime + usage.ru_stime))
sys.exit(code)
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
case " $parts " in *" merge "*) merge_modes=${GIT_BENCH_MODES:-"dlg store text"} ;; *) merge_modes="" ;; esac

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

[ -n "$merge_modes" ] || exit 0
echo "merge: $lines lines, $((lines / 20)) changed texts on each branch, median of $rounds, load before: $(cut -d' ' -f1-3 /proc/loadavg)"
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
done

# One timed merge of $1 with the index $2 (fresh or stale): appends "WALL CPU" to $work/$1.$2.
merge_once() {
  rm -rf "$work/$1" && cp -a "$work/$1.seed" "$work/$1" && cd "$work/$1"
  [ "$2" = fresh ] && git update-index -q --refresh >/dev/null 2>&1
  python3 "$work/timed.py" git merge -q --no-edit theirs >> "$work/$1.$2" ||
    { echo "  $1: merge failed" >&2; exit 1; }
  cd "$work"
}

median() { sort -n | sed -n "$(((rounds + 1) / 2))p"; }

for state in fresh stale; do
  for mode in $merge_modes; do rm -f "$work/$mode.$state"; done
  r=0
  while [ $r -lt "$rounds" ]; do
    for mode in $merge_modes; do merge_once $mode $state; done
    r=$((r + 1))
  done
  echo "  index $state:"
  for mode in $merge_modes; do
    wall=$(cut -d' ' -f1 "$work/$mode.$state" | median)
    cpu=$(cut -d' ' -f2 "$work/$mode.$state" | median)
    printf '    %-6s git merge %5.2f s, CPU %5.2f s   (wall of each run: %s)\n' $mode "$wall" "$cpu" \
      "$(cut -d' ' -f1 "$work/$mode.$state" | tr '\n' ' ')"
  done
  case " $merge_modes " in *" store "*) case " $merge_modes " in *" text "*)
    printf '    store/text: wall %.2fx (of the runs pair by pair: %s), CPU %.2fx\n' \
      "$(echo "$(cut -d' ' -f1 "$work/store.$state" | median) / $(cut -d' ' -f1 "$work/text.$state" | median)" | bc -l)" \
      "$(paste -d' ' "$work/store.$state" "$work/text.$state" | awk '{printf "%.2f ", $1 / $3}')" \
      "$(echo "$(cut -d' ' -f2 "$work/store.$state" | median) / $(cut -d' ' -f2 "$work/text.$state" | median)" | bc -l)" ;;
  esac ;; esac
done
echo "load after: $(cut -d' ' -f1-3 /proc/loadavg)"
