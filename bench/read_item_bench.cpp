// ReadItem on a warm cache against its floor: the least a reader of the format must do for one
// line, done with bare system calls (one open, a read of the header, of the index entry and of the
// record, one close). Both read the same random IDs of the same file in /dev/shm.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <random>
#include <vector>

#include "bench_env.h"
#include "dlgfile/dlg_format.h"

namespace {

constexpr size_t kIdCount = 1024;  // a power of two: IDs are taken round robin

// IDs of existing lines, in random order.
std::vector<int> PickIds(const CDlgFile& doc) {
  std::vector<int> all;
  for (auto* pos = doc.GetLines().GetHeadPosition(); pos != nullptr; pos = pos->next) {
    all.push_back(pos->value.GetID());
  }
  std::mt19937 rng(99);
  std::vector<int> ids(kIdCount);
  for (int& id : ids) id = all[std::uniform_int_distribution<size_t>(0, all.size() - 1)(rng)];
  return ids;
}

struct ReadItemSetup {
  explicit ReadItemSetup(int lines) : path(bench::FixtureFor(lines).dlgPath) {
    CDlgFile doc;
    if (doc.Load(path.c_str()) == 1) ids = PickIds(doc);
  }
  std::string path;
  std::vector<int> ids;
};

// The floor: open, three reads, close. Records of these scripts are far below 4 KiB, so one read
// at the record's offset takes the whole record; a longer one would cost a second read.
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

void BM_ReadItem(benchmark::State& state) {
  const ReadItemSetup setup(static_cast<int>(state.range(0)));
  CDlgFile reader;
  CDlgItem line;
  size_t k = 0;
  for (auto _ : state) {
    line.Reset();
    if (!reader.ReadItem(setup.path.c_str(), setup.ids[k++ & (kIdCount - 1)], line)) {
      state.SkipWithError("ReadItem failed");
    }
  }
  state.SetComplexityN(state.range(0));
}
BENCHMARK(BM_ReadItem)->RangeMultiplier(10)->Range(1000, 100000)->Complexity();

void BM_ReadItemFloor(benchmark::State& state) {
  const ReadItemSetup setup(static_cast<int>(state.range(0)));
  uint8_t buffer[4096];
  size_t k = 0;
  for (auto _ : state) {
    if (!FloorRead(setup.path.c_str(), setup.ids[k++ & (kIdCount - 1)], buffer, sizeof buffer)) {
      state.SkipWithError("read failed");
    }
  }
  state.SetComplexityN(state.range(0));
}
BENCHMARK(BM_ReadItemFloor)->RangeMultiplier(10)->Range(1000, 100000)->Complexity();

// Both in one loop, alternating in batches, so that they share every condition of the run.
void BM_ReadItemOverFloor(benchmark::State& state) {
  using Clock = std::chrono::steady_clock;
  constexpr int kBatch = 64;
  const ReadItemSetup setup(static_cast<int>(state.range(0)));
  CDlgFile reader;
  CDlgItem line;
  uint8_t buffer[4096];
  Clock::duration readItem{};
  Clock::duration floor{};
  size_t k = 0;
  for (auto _ : state) {
    const Clock::time_point start = Clock::now();
    for (int b = 0; b < kBatch; ++b) {
      line.Reset();
      benchmark::DoNotOptimize(
          reader.ReadItem(setup.path.c_str(), setup.ids[(k + b) & 1023], line));
    }
    const Clock::time_point middle = Clock::now();
    for (int b = 0; b < kBatch; ++b) {
      benchmark::DoNotOptimize(
          FloorRead(setup.path.c_str(), setup.ids[(k + b) & 1023], buffer, sizeof buffer));
    }
    floor += Clock::now() - middle;
    readItem += middle - start;
    k += kBatch;
  }
  const double calls = static_cast<double>(state.iterations()) * kBatch;
  state.counters["ReadItem_ns"] =
      std::chrono::duration<double, std::nano>(readItem).count() / calls;
  state.counters["floor_ns"] = std::chrono::duration<double, std::nano>(floor).count() / calls;
  state.counters["ratio"] = std::chrono::duration<double>(readItem).count() /
                            std::chrono::duration<double>(floor).count();
}
BENCHMARK(BM_ReadItemOverFloor)->RangeMultiplier(10)->Range(1000, 100000);

}  // namespace
