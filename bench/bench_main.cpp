// The benchmark binary: files in a fresh folder in /dev/shm, removed at the end.
#include <benchmark/benchmark.h>

#include "bench_env.h"

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  if (!bench::SetUpFolders()) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  bench::RemoveFolders();
  return 0;
}
