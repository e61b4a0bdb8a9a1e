// Translation exchange on the generated scripts: export of every line to PO, XLIFF 1.2, CSV, XLSX
// and XLIFF 2.0 (the `format` argument 0 to 4), and import of a file in which every line is
// translated (parse, check, convert, apply), for 10k and 100k lines, files in /dev/shm. Texts are
// UTF-8, the code page of most Linux desktops. Before each timed import the document is loaded
// afresh (untimed), so every entry is applied, none stale. BM_ExchangeReadXlsx times the XLSX
// reader alone.
#include <benchmark/benchmark.h>
#include <sys/stat.h>

#include <fstream>
#include <iterator>
#include <memory>

#include "bench_env.h"
#include "exchange/exchange.h"
#include "exchange/xlsx.h"
#include "heap_meter.h"

namespace {

using bench::Fixture;
using bench::FixtureFor;
using exchange::Format;

// A case's format argument: the values of exchange::Format, and 4 for XLIFF 2.0.
struct Case {
  Format format;
  int xliffVersion;  // 2 for XLIFF 2.0, else 0
};
Case CaseOf(const benchmark::State& state) {
  if (state.range(1) == 4) return Case{Format::kXliff, 2};
  return Case{static_cast<Format>(state.range(1)), 0};
}

exchange::ExportOptions Options(int xliffVersion) {
  exchange::ExportOptions options;
  options.codeset = "UTF-8";
  options.original = "script.dlg";
  options.xliffVersion = xliffVersion;
  return options;
}

const char* Extension(Format format, int xliffVersion) {
  switch (format) {
    case Format::kPo:
      return ".po";
    case Format::kXliff:
      return xliffVersion == 2 ? "2.xlf" : ".xlf";
    case Format::kCsv:
      return ".csv";
    case Format::kXlsx:
      return ".xlsx";
  }
  return "";
}

void BM_ExchangeExport(benchmark::State& state) {
  const Case c = CaseOf(state);
  Fixture& fixture = FixtureFor(static_cast<int>(state.range(0)));
  CDlgFile doc;
  if (doc.Load(fixture.dlgPath.c_str()) != 1) state.SkipWithError("Load failed");
  const std::string path =
      bench::ShmFile(std::string("export") + Extension(c.format, c.xliffVersion));
  std::string error;
  for (auto _ : state) {
    if (!exchange::ExportDocument(doc, path, c.format, Options(c.xliffVersion), error)) {
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
std::string TranslatedFile(Fixture& fixture, Format format, benchmark::State& state,
                           int xliffVersion = 0) {
  CDlgFile translated;
  if (translated.Load(fixture.dlgPath.c_str()) != 1) state.SkipWithError("Load failed");
  const bench::Translation translation = bench::TranslateAll(translated, 7);
  for (size_t k = 0; k < translation.ids.size(); ++k) {
    translated.GetItem(translated.FindItem(translation.ids[k]))
        .SetText(translation.texts[k].c_str());
  }
  CDlgFile doc;
  if (doc.Load(fixture.dlgPath.c_str()) != 1) state.SkipWithError("Load failed");
  exchange::ExportOptions options = Options(xliffVersion);
  options.translation = &translated;
  const std::string path =
      bench::ShmFile(std::string("translated") + Extension(format, xliffVersion));
  std::string error;
  if (!exchange::ExportDocument(doc, path, format, options, error)) {
    state.SkipWithError(error.c_str());
  }
  return path;
}

void BM_ExchangeImport(benchmark::State& state) {
  const Case c = CaseOf(state);
  const Format format = c.format;
  Fixture& fixture = FixtureFor(static_cast<int>(state.range(0)));
  const std::string path = TranslatedFile(fixture, format, state, c.xliffVersion);
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

// The XLSX reader alone, over the file BM_ExchangeImport imports (unzip, checks, rows, entries
// handed to a sink that drops them): its part of the import, without the classification and the
// apply. rows:0 reads the rows without a tree where they are plain (what the import does), rows:1
// through pugixml's tree only, as the reader did before.
void BM_ExchangeReadXlsx(benchmark::State& state) {
  Fixture& fixture = FixtureFor(static_cast<int>(state.range(0)));
  const std::string path = TranslatedFile(fixture, Format::kXlsx, state);
  std::ifstream in(path, std::ios::binary);
  const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  const exchange::XlsxRows rows =
      state.range(1) == 0 ? exchange::XlsxRows::kPlainOrTree : exchange::XlsxRows::kTree;
  size_t entries = 0;
  const exchange::UnitSink sink = [&entries](exchange::ImportUnit&) {
    ++entries;
    return true;
  };
  for (auto _ : state) {
    entries = 0;
    std::vector<exchange::ImportUnit> units;
    exchange::ParseFailure failure;
    if (!exchange::ReadXlsx(bytes, units, failure, &sink, rows)) {
      state.SkipWithError(failure.message.c_str());
    }
  }
  if (entries != static_cast<size_t>(state.range(0))) state.SkipWithError("entries missing");
}
BENCHMARK(BM_ExchangeReadXlsx)
    ->ArgNames({"lines", "rows"})
    ->Args({100000, 0})
    ->Args({100000, 1})
    ->Unit(benchmark::kMillisecond);

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
