// dlgtool's git commands as git runs them: one process per call. `textconv` of a generated script
// (its output to a file in /dev/shm), and the three-way `merge` of a base with two versions that
// each changed one line in fifty and added ten lines to a plot of their own. The filter of
// `git-install --store-text`: `git-filter clean` (the .dlg on stdin, its stored text out),
// `git-filter smudge` (the other way), and the merge driver on the three versions' stored texts,
// what a `git merge` runs besides git itself. 1k, 10k and 100k lines. The time is the child's CPU
// time (user and system, from wait4), since the work happens in the child and the machine the
// figures come from is shared; the wall-clock time is the counter real_ms.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

#include "bench_env.h"
#include "merge/dlg_merge.h"
#include "merge/dlg_merge_write.h"

namespace {

struct ChildRun {
  int status = -1;    // exit status, or -1
  double cpu = 0;     // seconds of user and system time
  double real = 0;    // seconds of wall-clock time
};

// Runs dlgtool with stdout to `out` and, when `in` is not empty, stdin from `in`.
ChildRun RunDlgtool(const std::vector<std::string>& args, const std::string& out,
                    const std::string& in = "") {
  ChildRun run;
  const auto start = std::chrono::steady_clock::now();
  std::vector<char*> argv;
  argv.push_back(const_cast<char*>(DLGTOOL_PATH));
  for (const std::string& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
  argv.push_back(nullptr);
  const pid_t child = fork();
  if (child == 0) {
    const int fd = open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    if (fd < 0 || dup2(fd, 1) < 0) _exit(127);
    if (!in.empty()) {
      const int input = open(in.c_str(), O_RDONLY);
      if (input < 0 || dup2(input, 0) < 0) _exit(127);
    }
    execv(DLGTOOL_PATH, argv.data());
    _exit(127);
  }
  int status = 0;
  struct rusage usage {};
  if (child < 0 || wait4(child, &status, 0, &usage) != child || !WIFEXITED(status)) return run;
  run.real = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  run.cpu = static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
            static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
  run.status = WEXITSTATUS(status);
  return run;
}

// Times one run; false when dlgtool did not exit with status 0.
bool Timed(benchmark::State& state, const std::vector<std::string>& args, const std::string& out,
           double& real, const std::string& in = "") {
  const ChildRun run = RunDlgtool(args, out, in);
  state.SetIterationTime(run.cpu);
  real += run.real;
  return run.status == 0;
}

// Changes the text of every 50th line, starting at `first`, and adds ten lines to the plot at
// `plotNumber`; saves to `path`.
bool SaveVersion(const std::string& base, int first, int plotNumber, const std::string& path) {
  CDlgFile doc;
  if (doc.Load(base.c_str()) != 1) return false;
  int k = 0;
  for (auto* pos = doc.GetLines().GetHeadPosition(); pos != nullptr; pos = pos->next, ++k) {
    if (k % 50 == first) doc.GetItem(pos).SetText("changed on a branch");
  }
  PlotPos plot = doc.GetFirstPlot();
  for (int n = 0; n < plotNumber && plot != nullptr; ++n) plot = plot->next;
  for (int n = 0; n < 10 && plot != nullptr; ++n) {
    CDlgItem line;
    line.SetText("added on a branch");
    if (doc.AddItem(line, plot, nullptr) == nullptr) return false;
  }
  return doc.Save(path.c_str()) == 1;
}

void Sizes(benchmark::internal::Benchmark* b) {
  b->RangeMultiplier(10)->Range(1000, 100000)->Unit(benchmark::kMillisecond)->UseManualTime();
}

void BM_DlgtoolTextconv(benchmark::State& state) {
  const bench::Fixture& fixture = bench::FixtureFor(static_cast<int>(state.range(0)));
  const std::string out = bench::ShmFile("textconv.txt");
  double real = 0;
  for (auto _ : state) {
    if (!Timed(state, {"textconv", fixture.dlgPath}, out, real)) state.SkipWithError("textconv");
  }
  state.counters["real_ms"] = 1000 * real / static_cast<double>(state.iterations());
}
BENCHMARK(BM_DlgtoolTextconv)->Apply(Sizes);

void BM_DlgtoolMerge(benchmark::State& state) {
  const bench::Fixture& fixture = bench::FixtureFor(static_cast<int>(state.range(0)));
  const std::string ours = bench::ShmFile("ours.dlg");
  const std::string theirs = bench::ShmFile("theirs.dlg");
  const std::string merged = bench::ShmFile("merged.dlg");
  if (!SaveVersion(fixture.dlgPath, 3, 0, ours) || !SaveVersion(fixture.dlgPath, 7, 1, theirs)) {
    state.SkipWithError("cannot write the versions");
    return;
  }
  const std::string out = bench::ShmFile("merge.txt");
  double real = 0;
  for (auto _ : state) {
    if (!Timed(state, {"merge", fixture.dlgPath, ours, theirs, "-o", merged}, out, real)) {
      state.SkipWithError("merge did not merge cleanly");
    }
  }
  state.counters["real_ms"] = 1000 * real / static_cast<double>(state.iterations());
}
BENCHMARK(BM_DlgtoolMerge)->Apply(Sizes);

// The stored text of `dlg` (git-filter clean) in `text`.
bool StoreAsText(const std::string& dlg, const std::string& text) {
  return RunDlgtool({"git-filter", "clean", "game.dlg"}, text, dlg).status == 0;
}

void BM_GitFilterClean(benchmark::State& state) {
  const bench::Fixture& fixture = bench::FixtureFor(static_cast<int>(state.range(0)));
  const std::string out = bench::ShmFile("clean.txt");
  double real = 0;
  for (auto _ : state) {
    if (!Timed(state, {"git-filter", "clean", "game.dlg"}, out, real, fixture.dlgPath)) {
      state.SkipWithError("clean");
    }
  }
  state.counters["real_ms"] = 1000 * real / static_cast<double>(state.iterations());
}
BENCHMARK(BM_GitFilterClean)->Apply(Sizes);

void BM_GitFilterSmudge(benchmark::State& state) {
  const bench::Fixture& fixture = bench::FixtureFor(static_cast<int>(state.range(0)));
  const std::string text = bench::ShmFile("stored.txt");
  if (!StoreAsText(fixture.dlgPath, text)) {
    state.SkipWithError("cannot store the script as text");
    return;
  }
  const std::string out = bench::ShmFile("smudged.dlg");
  double real = 0;
  for (auto _ : state) {
    if (!Timed(state, {"git-filter", "smudge", "game.dlg"}, out, real, text)) {
      state.SkipWithError("smudge");
    }
  }
  state.counters["real_ms"] = 1000 * real / static_cast<double>(state.iterations());
}
BENCHMARK(BM_GitFilterSmudge)->Apply(Sizes);

// The driver as git runs it with --store-text: three stored texts, the result written over ours.
void BM_DlgtoolMergeStoredText(benchmark::State& state) {
  const bench::Fixture& fixture = bench::FixtureFor(static_cast<int>(state.range(0)));
  const std::string versions[2] = {bench::ShmFile("ours.dlg"), bench::ShmFile("theirs.dlg")};
  const std::string base = bench::ShmFile("base.txt"), ours = bench::ShmFile("ours.txt"),
                    theirs = bench::ShmFile("theirs.txt"), merged = bench::ShmFile("merged.txt");
  if (!SaveVersion(fixture.dlgPath, 3, 0, versions[0]) ||
      !SaveVersion(fixture.dlgPath, 7, 1, versions[1]) || !StoreAsText(fixture.dlgPath, base) ||
      !StoreAsText(versions[0], ours) || !StoreAsText(versions[1], theirs)) {
    state.SkipWithError("cannot write the versions");
    return;
  }
  const std::string out = bench::ShmFile("merge.txt");
  double real = 0;
  for (auto _ : state) {
    // git hands the driver a fresh copy of ours each time (not timed: the child's time is).
    std::error_code copied;
    std::filesystem::copy_file(ours, merged, std::filesystem::copy_options::overwrite_existing,
                               copied);
    if (copied || !Timed(state, {"merge", base, merged, theirs}, out, real)) {
      state.SkipWithError("merge did not merge cleanly");
    }
  }
  state.counters["real_ms"] = 1000 * real / static_cast<double>(state.iterations());
}
BENCHMARK(BM_DlgtoolMergeStoredText)->Apply(Sizes);

// What the merge adds to reading the three versions, in process: the snapshots of documents
// loaded beforehand, the merge itself and writing the merged file.
void BM_MergeAfterLoading(benchmark::State& state) {
  const bench::Fixture& fixture = bench::FixtureFor(static_cast<int>(state.range(0)));
  const std::string paths[3] = {fixture.dlgPath, bench::ShmFile("ours.dlg"),
                                bench::ShmFile("theirs.dlg")};
  if (!SaveVersion(fixture.dlgPath, 3, 0, paths[1]) ||
      !SaveVersion(fixture.dlgPath, 7, 1, paths[2])) {
    state.SkipWithError("cannot write the versions");
    return;
  }
  CDlgFile docs[3];
  for (int k = 0; k < 3; ++k) {
    if (docs[k].Load(paths[k].c_str()) != 1) state.SkipWithError("Load failed");
  }
  const std::string merged = bench::ShmFile("merged.dlg");
  for (auto _ : state) {
    MergeDocument versions[3];
    for (int k = 0; k < 3; ++k) {
      if (!SnapshotDocument(docs[k], versions[k])) state.SkipWithError("snapshot");
    }
    const MergeResult result = MergeDocuments(versions[0], versions[1], versions[2]);
    if (!result.conflicts.empty() || !SaveMergedDocument(result.merged, merged.c_str())) {
      state.SkipWithError("merge failed");
    }
  }
}
BENCHMARK(BM_MergeAfterLoading)->RangeMultiplier(10)->Range(1000, 100000)->Unit(
    benchmark::kMillisecond);

}  // namespace
