// The peak memory of `dlgtool check` and `dlgtool info` (which loads the whole document) as
// processes, against the size of the file they read: the child's peak resident set (wait4's
// ru_maxrss) less that of `dlgtool --version`, which is the program itself with nothing read.
// This counts what the heap meter cannot see: mapped file images, the allocator's slack, pages
// freed but not returned, and the C libraries' own malloc (pugixml's tree, libzip).
// 10k and 100k lines.
//
// Besides check and info: the exchange export of each format, voscript and status (which read the
// document twice, once more for the damage check), and the exchange import. For the import the
// reader's share is the peak less that of `info` on the same document (the load they share),
// against the size of the exchange file it reads.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "bench_env.h"
#include "exchange/exchange.h"

namespace {

// A child's ru_maxrss counts the pages it inherited at fork, so a dlgtool forked from this
// process (which holds the fixtures, hundreds of MiB) would report this process's size. dlgtool
// is therefore started by a spawner forked during static initialisation, while this process is
// still small; the spawner's own few MiB cancel out against `dlgtool --version`.
// Request on the pipe: a 32-bit byte count, then the arguments, each ended by a zero byte.
// Answer: the exit code (or -1) and the child's ru_maxrss in KiB, as two longs.
class Spawner {
 public:
  Spawner() {
    int request[2];
    int answer[2];
    if (pipe(request) != 0 || pipe(answer) != 0) return;
    const pid_t pid = fork();
    if (pid < 0) return;
    if (pid == 0) {
      close(request[1]);
      close(answer[0]);
      Serve(request[0], answer[1]);
      _exit(0);
    }
    close(request[0]);
    close(answer[1]);
    to_ = request[1];
    from_ = answer[0];
  }
  ~Spawner() {
    if (to_ >= 0) close(to_);  // the spawner ends at the end of its input
    if (from_ >= 0) close(from_);
  }

  // Peak resident set of one dlgtool run in KiB, its stdout discarded; -1 when it did not exit
  // with one of `okStatus` or 0.
  long PeakKiB(const std::vector<std::string>& args, int okStatus = 0) {
    if (to_ < 0) return -1;
    std::string bytes;
    for (const std::string& arg : args) bytes.append(arg.c_str(), arg.size() + 1);
    const uint32_t size = static_cast<uint32_t>(bytes.size());
    long reply[2] = {-1, -1};
    if (!WriteAll(to_, &size, sizeof size) || !WriteAll(to_, bytes.data(), bytes.size()) ||
        !ReadAll(from_, reply, sizeof reply)) {
      return -1;
    }
    return reply[0] == 0 || reply[0] == okStatus ? reply[1] : -1;
  }

 private:
  static bool WriteAll(int fd, const void* data, size_t size) {
    const char* p = static_cast<const char*>(data);
    while (size > 0) {
      const ssize_t n = write(fd, p, size);
      if (n <= 0) return false;
      p += n;
      size -= static_cast<size_t>(n);
    }
    return true;
  }
  static bool ReadAll(int fd, void* data, size_t size) {
    char* p = static_cast<char*>(data);
    while (size > 0) {
      const ssize_t n = read(fd, p, size);
      if (n <= 0) return false;
      p += n;
      size -= static_cast<size_t>(n);
    }
    return true;
  }
  static void Serve(int in, int out) {
    uint32_t size = 0;
    while (ReadAll(in, &size, sizeof size)) {
      std::string bytes(size, '\0');
      if (!ReadAll(in, bytes.data(), size)) return;
      std::vector<char*> argv{const_cast<char*>(DLGTOOL_PATH)};
      for (size_t k = 0; k < bytes.size(); k += std::strlen(bytes.data() + k) + 1) {
        argv.push_back(bytes.data() + k);
      }
      argv.push_back(nullptr);
      long reply[2] = {-1, -1};
      const pid_t child = fork();
      if (child == 0) {
        const int fd = open("/dev/null", O_WRONLY);
        if (fd < 0 || dup2(fd, 1) < 0) _exit(127);
        execv(DLGTOOL_PATH, argv.data());
        _exit(127);
      }
      int status = 0;
      struct rusage usage {};
      if (child > 0 && wait4(child, &status, 0, &usage) == child && WIFEXITED(status)) {
        reply[0] = WEXITSTATUS(status);
        reply[1] = usage.ru_maxrss;
      }
      if (!WriteAll(out, reply, sizeof reply)) return;
    }
  }

  int to_ = -1;
  int from_ = -1;
};

Spawner spawner;

long PeakKiB(const std::vector<std::string>& args, int okStatus = 0) {
  return spawner.PeakKiB(args, okStatus);
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

const char* const kExtensions[] = {".po", ".xlf", ".csv", ".xlsx"};

// Peak of `dlgtool args...` less that of `dlgtool --version`, set as counters against `inputPath`'s
// size; false (the benchmark skipped) when dlgtool failed.
bool MeasureCommand(benchmark::State& state, const std::vector<std::string>& args,
                    const std::string& inputPath, int okStatus = 0) {
  const long base = PeakKiB({"--version"});
  long peak = 0;
  for (auto _ : state) peak = PeakKiB(args, okStatus);
  if (base < 0 || peak < 0) {
    state.SkipWithError("dlgtool failed");
    return false;
  }
  const double fileKiB = static_cast<double>(bench::FileSize(inputPath)) / 1024;
  state.counters["peak_KiB"] = static_cast<double>(peak - base);
  state.counters["file_KiB"] = fileKiB;
  state.counters["peak_per_file_byte"] = static_cast<double>(peak - base) / fileKiB;
  return true;
}

// A file of `format` in which every line has a translation, made once per size and format.
std::string TranslatedExchangeFile(int lines, exchange::Format format) {
  const bench::Fixture& fixture = bench::FixtureFor(lines);
  const std::string path = bench::ShmFile("peak-translated-" + std::to_string(lines) +
                                          kExtensions[static_cast<int>(format)]);
  if (bench::FileSize(path) > 0) return path;
  CDlgFile translated;
  CDlgFile doc;
  if (translated.Load(fixture.dlgPath.c_str()) != 1 || doc.Load(fixture.dlgPath.c_str()) != 1) {
    return std::string();
  }
  const bench::Translation translation = bench::TranslateAll(translated, 7);
  for (size_t k = 0; k < translation.ids.size(); ++k) {
    translated.GetItem(translated.FindItem(translation.ids[k]))
        .SetText(translation.texts[k].c_str());
  }
  exchange::ExportOptions options;
  options.codeset = "UTF-8";
  options.original = "script.dlg";
  options.translation = &translated;
  std::string error;
  if (!exchange::ExportDocument(doc, path, format, options, error)) return std::string();
  return path;
}

void BM_DlgtoolExportPeak(benchmark::State& state) {
  const bench::Fixture& fixture = bench::FixtureFor(static_cast<int>(state.range(0)));
  const std::string out =
      bench::ShmFile(std::string("peak-export") + kExtensions[state.range(1)]);
  MeasureCommand(state, {"export", fixture.dlgPath, out, "--encoding", "UTF-8"}, fixture.dlgPath);
}

void BM_DlgtoolVoscriptPeak(benchmark::State& state) {
  const bench::Fixture& fixture = bench::FixtureFor(static_cast<int>(state.range(0)));
  MeasureCommand(state,
                 {"voscript", fixture.dlgPath, bench::ShmFile("peak-script.xlsx"), "--encoding",
                  "UTF-8"},
                 fixture.dlgPath);
}

void BM_DlgtoolStatusPeak(benchmark::State& state) {
  const bench::Fixture& fixture = bench::FixtureFor(static_cast<int>(state.range(0)));
  const std::string po =
      TranslatedExchangeFile(static_cast<int>(state.range(0)), exchange::Format::kPo);
  if (po.empty()) {
    state.SkipWithError("cannot write the PO file");
    return;
  }
  MeasureCommand(state, {"status", fixture.dlgPath, po, "--encoding", "UTF-8"}, fixture.dlgPath,
                 1);
}

// The import of a translated file as a process; reader_KiB is its peak less info's.
void BM_DlgtoolImportPeak(benchmark::State& state) {
  const int lines = static_cast<int>(state.range(0));
  const bench::Fixture& fixture = bench::FixtureFor(lines);
  const std::string in = TranslatedExchangeFile(lines, static_cast<exchange::Format>(state.range(1)));
  if (in.empty()) {
    state.SkipWithError("cannot write the exchange file");
    return;
  }
  const long base = PeakKiB({"--version"});
  const long info = PeakKiB({"info", fixture.dlgPath}, 1);
  if (!MeasureCommand(state,
                      {"import", fixture.dlgPath, in, "-o", bench::ShmFile("peak-imported.dlg"),
                       "--encoding", "UTF-8"},
                      in)) {
    return;
  }
  const double readerKiB = state.counters["peak_KiB"] - static_cast<double>(info - base);
  state.counters["reader_KiB"] = readerKiB;
  state.counters["reader_per_file_byte"] = readerKiB / state.counters["file_KiB"];
}

void Formats(benchmark::internal::Benchmark* b) {
  b->ArgNames({"lines", "format"})->Unit(benchmark::kMillisecond)->Iterations(3);
  for (int format = 0; format < 4; ++format) {
    b->Args({10000, format});
    b->Args({100000, format});
  }
}
BENCHMARK(BM_DlgtoolExportPeak)->Apply(Formats);
BENCHMARK(BM_DlgtoolImportPeak)->Apply(Formats);

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
BENCHMARK(BM_DlgtoolVoscriptPeak)->Apply(Sizes);
BENCHMARK(BM_DlgtoolStatusPeak)->Apply(Sizes);

}  // namespace
