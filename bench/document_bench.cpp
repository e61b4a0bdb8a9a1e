// Whole-document operations on generated scripts of 1k, 10k, 100k and 1M lines: Save, Load into
// an empty document and into a full one, Clear, Export, Import (every line translated) and building
// by AddItem with allocated IDs, with the peak heap of one Load, Export and Import against the
// file's size; files in /dev/shm. The 1M size shows that the cost per line stays flat once a script
// no longer fits in the caches, which 10k does and 100k does not. Beside them: one Save to the real
// disk (its fsyncs included) and a Save of a document whose highest ID is 10 000 000, with the peak
// heap of Save.
#include <benchmark/benchmark.h>

#include <memory>

#include "bench_env.h"
#include "heap_meter.h"
#include "interchange/text_import.h"
#include "platform/page_buffer.h"

namespace {

using bench::Fixture;
using bench::FixtureFor;

void Sizes(benchmark::internal::Benchmark* b) {
  b->RangeMultiplier(10)->Range(1000, 1000000)->Unit(benchmark::kMillisecond)->Complexity();
}

void Build(Fixture& fixture, CDlgFile& doc, benchmark::State& state) {
  if (!bench::BuildDocument(fixture.script, doc)) state.SkipWithError("AddItem failed");
}

// The peak heap of one Save, measured apart from the timed ones.
void MeterOneSave(CDlgFile& doc, const std::string& path, benchmark::State& state) {
  bench::HeapMeter heap;
  if (doc.Save(path.c_str()) != 1) state.SkipWithError("Save failed");
  state.counters["heap_peak_KiB"] = static_cast<double>(heap.Peak()) / 1024;
}

void BM_Save(benchmark::State& state) {
  Fixture& fixture = FixtureFor(static_cast<int>(state.range(0)));
  CDlgFile doc;
  Build(fixture, doc, state);
  const std::string path = bench::ShmFile("save.dlg");
  MeterOneSave(doc, path, state);
  for (auto _ : state) {
    if (doc.Save(path.c_str()) != 1) state.SkipWithError("Save failed");
  }
  state.SetComplexityN(state.range(0));
}
BENCHMARK(BM_Save)->Apply(Sizes);

// The peak memory of one operation, measured apart from the timed ones, beside the size of the
// file it reads or writes: the heap's peak plus the peak of the mapped pages (Load's windows of
// the file image), which the heap meter does not see. The two peaks are added even where they
// fall at different moments, so the figure is an upper bound.
template <typename Operation>
void MeterOnce(benchmark::State& state, size_t fileBytes, Operation operation) {
  size_t peak = 0;
  {
    platform::PageBuffer::ResetPeakResidentBytes();
    const size_t mappedBefore = platform::PageBuffer::PeakResidentBytes();
    bench::HeapMeter heap;
    if (!operation()) state.SkipWithError("operation failed");
    peak = heap.Peak() + platform::PageBuffer::PeakResidentBytes() - mappedBefore;
  }
  state.counters["peak_KiB"] = static_cast<double>(peak) / 1024;
  state.counters["file_KiB"] = static_cast<double>(fileBytes) / 1024;
  state.counters["peak_per_file_byte"] = static_cast<double>(peak) / static_cast<double>(fileBytes);
}

// Load into an empty document, as the first Open of a session.
void BM_Load(benchmark::State& state) {
  Fixture& fixture = FixtureFor(static_cast<int>(state.range(0)));
  const size_t fileBytes = bench::FileSize(fixture.dlgPath);
  CDlgFile doc;
  MeterOnce(state, fileBytes, [&] { return doc.Load(fixture.dlgPath.c_str()) == 1; });
  for (auto _ : state) {
    state.PauseTiming();
    doc.Clear();
    state.ResumeTiming();
    if (doc.Load(fixture.dlgPath.c_str()) != 1) state.SkipWithError("Load failed");
  }
  if (doc.GetLines().GetCount() != state.range(0)) state.SkipWithError("lines missing");
  state.SetComplexityN(state.range(0));
}
BENCHMARK(BM_Load)->Apply(Sizes);

// Load into a document that already holds the same script, as Open after Open: the old lines are
// freed inside the timed Load.
void BM_LoadOverFull(benchmark::State& state) {
  Fixture& fixture = FixtureFor(static_cast<int>(state.range(0)));
  CDlgFile doc;
  if (doc.Load(fixture.dlgPath.c_str()) != 1) state.SkipWithError("Load failed");
  for (auto _ : state) {
    if (doc.Load(fixture.dlgPath.c_str()) != 1) state.SkipWithError("Load failed");
  }
  if (doc.GetLines().GetCount() != state.range(0)) state.SkipWithError("lines missing");
  state.SetComplexityN(state.range(0));
}
BENCHMARK(BM_LoadOverFull)->Apply(Sizes);

// Clear of a loaded document alone (New, or closing the window).
void BM_Clear(benchmark::State& state) {
  Fixture& fixture = FixtureFor(static_cast<int>(state.range(0)));
  CDlgFile doc;
  for (auto _ : state) {
    state.PauseTiming();
    if (doc.Load(fixture.dlgPath.c_str()) != 1) state.SkipWithError("Load failed");
    state.ResumeTiming();
    doc.Clear();
  }
  state.SetComplexityN(state.range(0));
}
BENCHMARK(BM_Clear)->Apply(Sizes);

void BM_Export(benchmark::State& state) {
  Fixture& fixture = FixtureFor(static_cast<int>(state.range(0)));
  CDlgFile doc;
  Build(fixture, doc, state);
  const std::string path = bench::ShmFile("export.txt");
  MeterOnce(state, bench::FileSize(fixture.translationPath),
            [&] { return doc.Export(path.c_str(), false); });
  for (auto _ : state) {
    if (!doc.Export(path.c_str(), false)) state.SkipWithError("Export failed");
  }
  state.SetComplexityN(state.range(0));
}
BENCHMARK(BM_Export)->Apply(Sizes);

void BM_Import(benchmark::State& state) {
  Fixture& fixture = FixtureFor(static_cast<int>(state.range(0)));
  CDlgFile doc;
  if (doc.Load(fixture.dlgPath.c_str()) != 1) state.SkipWithError("Load failed");
  ImportCounts counts;
  MeterOnce(state, bench::FileSize(fixture.translationPath),
            [&] { return ImportText(doc, fixture.translationPath.c_str(), counts); });
  for (auto _ : state) {
    if (!ImportText(doc, fixture.translationPath.c_str(), counts)) {
      state.SkipWithError("Import failed");
    }
  }
  if (counts.matched != state.range(0) || counts.logged != 0) {
    state.SkipWithError("not every line was translated");
  }
  state.SetComplexityN(state.range(0));
}
BENCHMARK(BM_Import)->Apply(Sizes);

void BM_BuildByAddItem(benchmark::State& state) {
  Fixture& fixture = FixtureFor(static_cast<int>(state.range(0)));
  for (auto _ : state) {
    state.PauseTiming();
    auto doc = std::make_unique<CDlgFile>();
    state.ResumeTiming();
    Build(fixture, *doc, state);
    state.PauseTiming();
    doc.reset();
    state.ResumeTiming();
  }
  state.SetComplexityN(state.range(0));
}
BENCHMARK(BM_BuildByAddItem)->Apply(Sizes);

// The same Save of 100 000 lines to the real disk: the temporary file and the folder are synced.
void BM_SaveToDisk(benchmark::State& state) {
  Fixture& fixture = FixtureFor(static_cast<int>(state.range(0)));
  CDlgFile doc;
  Build(fixture, doc, state);
  const std::string path = bench::DiskFile("save.dlg");
  for (auto _ : state) {
    if (doc.Save(path.c_str()) != 1) state.SkipWithError("Save failed");
  }
}
BENCHMARK(BM_SaveToDisk)->Arg(100000)->Unit(benchmark::kMillisecond)->UseRealTime();

// state.range(0) lines whose IDs are spread evenly up to 10 000 000: the index has 10 000 000
// entries (80 MB), while the heap used by Save must follow the lines only.
void BM_SaveSparse(benchmark::State& state) {
  constexpr int kHighestId = 10000000;
  const int count = static_cast<int>(state.range(0));
  CDlgFile doc;
  PlotPos plot = doc.AddPlot("sparse", -1, -1);
  for (int k = 0; k < count; ++k) {
    CDlgItem line;
    line.SetID(static_cast<int>(static_cast<int64_t>(kHighestId) * (k + 1) / count));
    line.SetText("드문드문 놓인 대사입니다.");
    if (doc.AddItem(line, plot, nullptr) == nullptr) state.SkipWithError("AddItem failed");
  }
  const std::string path = bench::ShmFile("sparse.dlg");
  MeterOneSave(doc, path, state);
  for (auto _ : state) {
    if (doc.Save(path.c_str()) != 1) state.SkipWithError("Save failed");
  }
}
BENCHMARK(BM_SaveSparse)->Arg(1000)->Arg(100000)->Unit(benchmark::kMillisecond);

}  // namespace
