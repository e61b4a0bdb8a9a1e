// The peak memory of `dlgtool check` and `dlgtool info` (which loads the whole document) as
// processes, against the size of the file they read: the child's peak resident set (wait4's
// ru_maxrss) less that of `dlgtool --version`, which is the program itself with nothing read.
// This counts what the heap meter cannot see: mapped file images, the allocator's slack, pages
// freed but not returned. 10k and 100k lines.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "bench_env.h"

namespace {

// Peak resident set of one dlgtool run in KiB, its stdout discarded; -1 when it did not exit
// with one of `okStatus` or 0.
long PeakKiB(const std::vector<std::string>& args, int okStatus = 0) {
  std::vector<char*> argv;
  argv.push_back(const_cast<char*>(DLGTOOL_PATH));
  for (const std::string& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
  argv.push_back(nullptr);
  const pid_t child = fork();
  if (child == 0) {
    const int fd = open("/dev/null", O_WRONLY);
    if (fd < 0 || dup2(fd, 1) < 0) _exit(127);
    execv(DLGTOOL_PATH, argv.data());
    _exit(127);
  }
  int status = 0;
  struct rusage usage {};
  if (child < 0 || wait4(child, &status, 0, &usage) != child || !WIFEXITED(status)) return -1;
  const int code = WEXITSTATUS(status);
  return code == 0 || code == okStatus ? usage.ru_maxrss : -1;
}

void Measure(benchmark::State& state, const char* command) {
  const bench::Fixture& fixture = bench::FixtureFor(static_cast<int>(state.range(0)));
  const long base = PeakKiB({"--version"});
  long peak = 0;
  for (auto _ : state) peak = PeakKiB({command, fixture.dlgPath}, 1);
  if (base < 0 || peak < 0) {
    state.SkipWithError("dlgtool failed");
    return;
  }
  const double fileKiB = static_cast<double>(bench::FileSize(fixture.dlgPath)) / 1024;
  state.counters["peak_KiB"] = static_cast<double>(peak - base);
  state.counters["file_KiB"] = fileKiB;
  state.counters["peak_per_file_byte"] = static_cast<double>(peak - base) / fileKiB;
}

void BM_DlgtoolCheckPeak(benchmark::State& state) {
  Measure(state, "check");
}
void BM_DlgtoolInfoPeak(benchmark::State& state) {
  Measure(state, "info");
}

void Sizes(benchmark::internal::Benchmark* b) {
  b->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond)->Iterations(3);
}
BENCHMARK(BM_DlgtoolCheckPeak)->Apply(Sizes);
BENCHMARK(BM_DlgtoolInfoPeak)->Apply(Sizes);

}  // namespace
