// dlgtool's git commands as git runs them: one process per call. `textconv` of a generated script
// (its output to a file in /dev/shm), and the three-way `merge` of a base with two versions that
// each changed one line in fifty and added ten lines to a plot of their own. 1k, 10k and 100k
// lines; real time, since the work happens in the child process.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "bench_env.h"

namespace {

// Runs dlgtool with stdout to `out`; its exit status, or -1.
int RunDlgtool(const std::vector<std::string>& args, const std::string& out) {
  std::vector<char*> argv;
  argv.push_back(const_cast<char*>(DLGTOOL_PATH));
  for (const std::string& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
  argv.push_back(nullptr);
  const pid_t child = fork();
  if (child == 0) {
    const int fd = open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    if (fd < 0 || dup2(fd, 1) < 0) _exit(127);
    execv(DLGTOOL_PATH, argv.data());
    _exit(127);
  }
  int status = 0;
  if (child < 0 || waitpid(child, &status, 0) != child || !WIFEXITED(status)) return -1;
  return WEXITSTATUS(status);
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
  b->RangeMultiplier(10)->Range(1000, 100000)->Unit(benchmark::kMillisecond)->UseRealTime();
}

void BM_DlgtoolTextconv(benchmark::State& state) {
  const bench::Fixture& fixture = bench::FixtureFor(static_cast<int>(state.range(0)));
  const std::string out = bench::ShmFile("textconv.txt");
  for (auto _ : state) {
    if (RunDlgtool({"textconv", fixture.dlgPath}, out) != 0) state.SkipWithError("textconv");
  }
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
  for (auto _ : state) {
    if (RunDlgtool({"merge", fixture.dlgPath, ours, theirs, "-o", merged}, out) != 0) {
      state.SkipWithError("merge did not merge cleanly");
    }
  }
}
BENCHMARK(BM_DlgtoolMerge)->Apply(Sizes);

}  // namespace
