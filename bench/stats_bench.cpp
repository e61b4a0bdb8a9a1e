// Script statistics on the generated scripts (Korean and Chinese texts, UTF-8): counting every
// line by plot and speaker at 100k and 1M lines, and the analysis of a version against the one
// before it (every tenth line rewritten) at 100k lines. Loading is not timed.
#include <benchmark/benchmark.h>

#include "bench_env.h"
#include "exchange/stats.h"

namespace {

exchange::StatsOptions Options() {
  exchange::StatsOptions options;
  options.codeset = "UTF-8";
  options.by = exchange::StatsGrouping::kPlotSpeaker;
  return options;
}

void BM_Stats(benchmark::State& state) {
  CDlgFile doc;
  if (doc.Load(bench::FixtureFor(static_cast<int>(state.range(0))).dlgPath.c_str()) != 1) {
    state.SkipWithError("Load failed");
  }
  exchange::StatsReport report;
  platform::Status status;
  for (auto _ : state) {
    if (!exchange::CollectStats(doc, Options(), report, status)) state.SkipWithError("stats");
    benchmark::DoNotOptimize(report.total.counts.words);
  }
  state.SetComplexityN(state.range(0));
}
BENCHMARK(BM_Stats)->ArgName("lines")->Arg(100000)->Arg(1000000)->Unit(benchmark::kMillisecond);

void BM_StatsSince(benchmark::State& state) {
  const bench::Fixture& fixture = bench::FixtureFor(static_cast<int>(state.range(0)));
  CDlgFile before;
  CDlgFile now;
  if (before.Load(fixture.dlgPath.c_str()) != 1 || now.Load(fixture.dlgPath.c_str()) != 1) {
    state.SkipWithError("Load failed");
  }
  int k = 0;
  for (auto* pos = now.GetLines().GetHeadPosition(); pos != nullptr; pos = pos->next, ++k) {
    if (k % 10 == 0) now.GetItem(pos).SetText("A rewritten line for the next round.");
  }
  exchange::SinceReport report;
  platform::Status status;
  for (auto _ : state) {
    if (!exchange::CompareVersions(now, before, Options(), report, status)) {
      state.SkipWithError("since");
    }
    benchmark::DoNotOptimize(report.total.columns.size());
  }
}
BENCHMARK(BM_StatsSince)->ArgName("lines")->Arg(100000)->Unit(benchmark::kMillisecond);

}  // namespace
