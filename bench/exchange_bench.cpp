// Translation exchange on the generated scripts: export of every line to PO, XLIFF 1.2, CSV, XLSX
// and XLIFF 2.0 (the `format` argument 0 to 4), and
// import of a file in which every line is translated (parse, check, convert, apply), for 10k and
// 100k lines, files in /dev/shm. Texts are UTF-8, the code page of most Linux desktops. Before each
// timed import the document is loaded afresh (untimed), so every entry is applied, none stale.
#include <benchmark/benchmark.h>
#include <sys/stat.h>

#include <memory>

#include "bench_env.h"
#include "exchange/exchange.h"
#include "heap_meter.h"

namespace {

using bench::Fixture;
using bench::FixtureFor;
using exchange::Format;

// The case's format; 4 is XLIFF 2.0, the rest the values of exchange::Format.
Format FormatOf(const benchmark::State& state) {
  return state.range(1) == 4 ? Format::kXliff : static_cast<Format>(state.range(1));
}

exchange::ExportOptions Options(const benchmark::State& state) {
  exchange::ExportOptions options;
  options.codeset = "UTF-8";
  options.original = "script.dlg";
  if (state.range(1) == 4) options.xliffVersion = 2;
  return options;
}

const char* Extension(const benchmark::State& state) {
  if (state.range(1) == 4) return "2.xlf";
  switch (FormatOf(state)) {
    case Format::kPo:
      return ".po";
    case Format::kXliff:
      return ".xlf";
    case Format::kCsv:
      return ".csv";
    case Format::kXlsx:
      return ".xlsx";
  }
  return "";
}

void BM_ExchangeExport(benchmark::State& state) {
  const Format format = FormatOf(state);
  Fixture& fixture = FixtureFor(static_cast<int>(state.range(0)));
  CDlgFile doc;
  if (doc.Load(fixture.dlgPath.c_str()) != 1) state.SkipWithError("Load failed");
  const std::string path = bench::ShmFile(std::string("export") + Extension(state));
  std::string error;
  for (auto _ : state) {
    if (!exchange::ExportDocument(doc, path, format, Options(state), error)) {
      state.SkipWithError(error.c_str());
    }
  }
  // The size of what was written, for the figures of each format.
  struct stat written;
  if (stat(path.c_str(), &written) == 0) {
    state.counters["file_KiB"] = static_cast<double>(written.st_size) / 1024.0;
  }
  state.SetComplexityN(state.range(0));
}

// The file to import: every line with its source and a translation.
std::string TranslatedFile(Fixture& fixture, benchmark::State& state) {
  const Format format = FormatOf(state);
  CDlgFile translated;
  if (translated.Load(fixture.dlgPath.c_str()) != 1) state.SkipWithError("Load failed");
  const bench::Translation translation = bench::TranslateAll(translated, 7);
  for (size_t k = 0; k < translation.ids.size(); ++k) {
    translated.GetItem(translated.FindItem(translation.ids[k]))
        .SetText(translation.texts[k].c_str());
  }
  CDlgFile doc;
  if (doc.Load(fixture.dlgPath.c_str()) != 1) state.SkipWithError("Load failed");
  exchange::ExportOptions options = Options(state);
  options.translation = &translated;
  const std::string path = bench::ShmFile(std::string("translated") + Extension(state));
  std::string error;
  if (!exchange::ExportDocument(doc, path, format, options, error)) {
    state.SkipWithError(error.c_str());
  }
  return path;
}

void BM_ExchangeImport(benchmark::State& state) {
  const Format format = FormatOf(state);
  Fixture& fixture = FixtureFor(static_cast<int>(state.range(0)));
  const std::string path = TranslatedFile(fixture, state);
  exchange::ImportReport report;
  {
    CDlgFile doc;
    if (doc.Load(fixture.dlgPath.c_str()) != 1) state.SkipWithError("Load failed");
    bench::HeapMeter heap;
    if (!exchange::ImportDocument(doc, path, format, "UTF-8", report)) {
      state.SkipWithError(report.error.c_str());
    }
    state.counters["heap_peak_KiB"] = static_cast<double>(heap.Peak()) / 1024;
  }
  for (auto _ : state) {
    state.PauseTiming();
    auto doc = std::make_unique<CDlgFile>();
    if (doc->Load(fixture.dlgPath.c_str()) != 1) state.SkipWithError("Load failed");
    state.ResumeTiming();
    if (!exchange::ImportDocument(*doc, path, format, "UTF-8", report)) {
      state.SkipWithError(report.error.c_str());
    }
    state.PauseTiming();
    doc.reset();
    state.ResumeTiming();
  }
  if (report.applied != state.range(0)) state.SkipWithError("not every line was applied");
  state.SetComplexityN(state.range(0));
}

void Cases(benchmark::internal::Benchmark* b) {
  b->ArgNames({"lines", "format"})->Unit(benchmark::kMillisecond);
  for (int format = 0; format < 5; ++format) {
    b->Args({10000, format});
    b->Args({100000, format});
  }
}
BENCHMARK(BM_ExchangeExport)->Apply(Cases);
BENCHMARK(BM_ExchangeImport)->Apply(Cases);

}  // namespace
