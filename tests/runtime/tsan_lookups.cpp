// Eight threads look lines up in one handle at once, and each also opens and closes a handle of
// its own, under ThreadSanitizer. A second shared handle is fresh when the threads start, so that
// they race to decode the same records first (and to decide the text encoding): the slots are
// published with atomics, so there must be no report and every thread must read what one thread
// alone reads. Built only with PARLATRIX_RUNTIME_TSAN
// (`make test-tsan`), from the runtime's sources and this file alone.
#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

#include "parlatrix/runtime.h"

namespace {

constexpr int kThreads = 8;
constexpr int kRounds = 2000;

// Everything a lookup of `id` returns, as one string.
std::string Lookup(const prx_file* file, int32_t id) {
  prx_line line;
  if (prx_get_line(file, id, &line) != PRX_OK) return "-";
  char copy[512];
  size_t needed = 0;
  const prx_status copied = prx_copy_field(file, id, PRX_FIELD_TEXT, copy, sizeof copy, &needed);
  return std::to_string(line.plot_index) + std::string(line.speaker.data, line.speaker.size) +
         std::string(line.expression.data) + std::string(line.sound.data) +
         std::string(line.text.data, line.text.size) + (copied == PRX_OK ? copy : "?");
}

}  // namespace

int main() {
  const std::string path = PARLATRIX_SOURCE_DIR "/examples/demo.dlg";
  std::ifstream in(path, std::ios::binary);
  const std::string bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  prx_file* shared = nullptr;
  prx_error error;
  if (prx_open(path.c_str(), &shared, &error) != PRX_OK) {
    std::fprintf(stderr, "%s\n", error.message);
    return 1;
  }
  const int32_t highest = prx_highest_id(shared);
  std::vector<std::string> expected;
  for (int32_t id = -1; id <= highest + 1; ++id) expected.push_back(Lookup(shared, id));

  const prx_encoding encoding = prx_text_encoding(shared);
  prx_file* fresh = nullptr;
  if (prx_open(path.c_str(), &fresh, &error) != PRX_OK) return 1;

  std::vector<int> mismatches(kThreads, 0);
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&, t] {
      // All threads at once on records nobody has read yet, half of them from the top down.
      for (int32_t k = -1; k <= highest + 1; ++k) {
        const int32_t id = t % 2 == 0 ? k : highest - k;
        if (Lookup(fresh, id) != expected[static_cast<size_t>(id + 1)]) ++mismatches[t];
        if (k == highest / 2 && prx_text_encoding(fresh) != encoding) ++mismatches[t];
      }
      prx_file* own = nullptr;
      if (prx_open_memory(bytes.data(), bytes.size(), &own, nullptr) != PRX_OK) ++mismatches[t];
      for (int round = 0; round < kRounds; ++round) {
        for (int32_t id = -1; id <= highest + 1; ++id) {
          const prx_file* file = round % 4 == t % 4 && own != nullptr ? own : shared;
          if (Lookup(file, id) != expected[static_cast<size_t>(id + 1)]) ++mismatches[t];
        }
        prx_plot plot;
        if (prx_get_plot(shared, round % (prx_plot_count(shared) + 1), &plot) == PRX_OK &&
            plot.member_count > 0 && plot.members[0] < 0) {
          ++mismatches[t];
        }
      }
      prx_close(own);
    });
  }
  for (std::thread& thread : threads) thread.join();
  prx_close(fresh);
  prx_close(shared);
  int total = 0;
  for (int count : mismatches) total += count;
  std::printf("%d threads x %d rounds over IDs -1..%d: %d mismatches\n", kThreads, kRounds,
              highest + 1, total);
  return total == 0 ? 0 : 1;
}
