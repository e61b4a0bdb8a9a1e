// The game-side runtime (parlatrix/runtime.h) beside ReadItem and the floor of a reader that goes
// to the file for each line (open, three preads, close): the cost of opening a script once, and of
// a lookup after that, on the same random IDs of the same generated scripts in /dev/shm (texts of
// 20 to 200 bytes).
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "bench_env.h"
#include "dlgfile/dlg_format.h"
#include "parlatrix/runtime.h"

namespace {

constexpr size_t kIdCount = 1024;  // a power of two: IDs are taken round robin

struct Setup {
  explicit Setup(int lines) : path(bench::FixtureFor(lines).dlgPath) {
    if (prx_open(path.c_str(), &file, nullptr) != PRX_OK) return;
    std::vector<int32_t> all;
    for (int32_t id = 0; id <= prx_highest_id(file); ++id) {
      prx_line line;
      if (prx_get_line(file, id, &line) == PRX_OK) all.push_back(id);
    }
    std::mt19937 rng(99);
    ids.resize(kIdCount);
    for (int32_t& id : ids) id = all[std::uniform_int_distribution<size_t>(0, all.size() - 1)(rng)];
  }
  ~Setup() { prx_close(file); }
  std::string path;
  prx_file* file = nullptr;
  std::vector<int32_t> ids;
};

// As in read_item_bench.cpp: what any reader that goes to the file for one line must do.
bool FloorRead(const char* path, int id, uint8_t* buffer, size_t size) {
  const int fd = open(path, O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  uint8_t header[kDlgHeaderSize];
  uint8_t entry[kDlgIndexEntrySize];
  bool ok = pread(fd, header, sizeof header, 0) == static_cast<ssize_t>(sizeof header);
  const int64_t at = LoadLE32(header + kDlgIndexOffsetOffset) + int64_t{id} * kDlgIndexEntrySize;
  ok = ok && pread(fd, entry, sizeof entry, at) == static_cast<ssize_t>(sizeof entry);
  ok = ok && pread(fd, buffer, size, LoadLE32(entry + 4)) > 4;
  close(fd);
  return ok;
}

void BM_RuntimeOpen(benchmark::State& state) {
  const std::string path = bench::FixtureFor(static_cast<int>(state.range(0))).dlgPath;
  for (auto _ : state) {
    prx_file* file = nullptr;
    if (prx_open(path.c_str(), &file, nullptr) != PRX_OK) state.SkipWithError("open failed");
    prx_close(file);
  }
  state.SetComplexityN(state.range(0));
}
BENCHMARK(BM_RuntimeOpen)
    ->RangeMultiplier(10)
    ->Range(1000, 100000)
    ->Unit(benchmark::kMillisecond)
    ->Complexity();

void BM_RuntimeLookup(benchmark::State& state) {
  const Setup setup(static_cast<int>(state.range(0)));
  size_t k = 0;
  for (auto _ : state) {
    prx_line line;
    benchmark::DoNotOptimize(prx_get_line(setup.file, setup.ids[k++ & (kIdCount - 1)], &line));
    benchmark::DoNotOptimize(line.text.data[0]);
  }
}
BENCHMARK(BM_RuntimeLookup)->RangeMultiplier(10)->Range(1000, 100000);

// Lookup, lookup with a copy of the text into a caller's buffer, ReadItem and the floor in one
// loop, alternating batches, so that they share every condition of the run.
void BM_RuntimeOverReadItem(benchmark::State& state) {
  using Clock = std::chrono::steady_clock;
  constexpr int kBatch = 64;
  constexpr int kLookups = 64 * kBatch;  // lookups are short: more of them per clock reading
  const Setup setup(static_cast<int>(state.range(0)));
  CDlgFile reader;
  CDlgItem item;
  uint8_t buffer[4096];
  char text[4096];
  Clock::duration lookup{}, copy{}, readItem{}, floor{};
  size_t k = 0;
  for (auto _ : state) {
    Clock::time_point start = Clock::now();
    for (int b = 0; b < kLookups; ++b) {
      prx_line line;
      benchmark::DoNotOptimize(prx_get_line(setup.file, setup.ids[(k + b) & 1023], &line));
      benchmark::DoNotOptimize(line.text.data[0]);
    }
    Clock::time_point end = Clock::now();
    lookup += end - start;
    start = end;
    for (int b = 0; b < kLookups; ++b) {
      size_t needed = 0;
      benchmark::DoNotOptimize(prx_copy_field(setup.file, setup.ids[(k + b) & 1023], PRX_FIELD_TEXT,
                                              text, sizeof text, &needed));
    }
    end = Clock::now();
    copy += end - start;
    start = end;
    for (int b = 0; b < kBatch; ++b) {
      item.Reset();
      benchmark::DoNotOptimize(
          reader.ReadItem(setup.path.c_str(), setup.ids[(k + b) & 1023], item));
    }
    end = Clock::now();
    readItem += end - start;
    start = end;
    for (int b = 0; b < kBatch; ++b) {
      benchmark::DoNotOptimize(
          FloorRead(setup.path.c_str(), setup.ids[(k + b) & 1023], buffer, sizeof buffer));
    }
    floor += Clock::now() - start;
    k += kBatch;
  }
  const double lookups = static_cast<double>(state.iterations()) * kLookups;
  const double reads = static_cast<double>(state.iterations()) * kBatch;
  auto per = [](Clock::duration total, double count) {
    return std::chrono::duration<double, std::nano>(total).count() / count;
  };
  state.counters["lookup_ns"] = per(lookup, lookups);
  state.counters["copy_ns"] = per(copy, lookups);
  state.counters["ReadItem_ns"] = per(readItem, reads);
  state.counters["floor_ns"] = per(floor, reads);
  state.counters["ReadItem_over_lookup"] = per(readItem, reads) / per(lookup, lookups);
}
BENCHMARK(BM_RuntimeOverReadItem)->RangeMultiplier(10)->Range(1000, 100000);

}  // namespace
