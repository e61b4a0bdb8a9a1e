// The UTF-8 check (platform/utf8.h) in its vector and portable forms, in bytes per second, on
// 4 MiB of three kinds of text: ASCII only; ASCII-heavy (the English lines, IDs and markup of an
// export, with an accented letter, a dash or a Hangul word in one line of four); Hangul only.
#include <benchmark/benchmark.h>

#include <random>
#include <string>

#include "platform/utf8.h"

namespace {

constexpr size_t kBytes = 4 << 20;

std::string Text(int kind) {
  std::mt19937 random(7);
  const char* ascii[] = {"msgid \"",
                         "The captain looks at the map. ",
                         "\"\n",
                         "#: 1042 ",
                         "Where were you last night? ",
                         "<b>",
                         "</b>",
                         "I told you, twice!\n"};
  const char* other[] = {"caf\xC3\xA9 ", "\xE2\x80\x94", "\xEC\x95\x88\xEB\x85\x95 "};
  std::string text;
  while (text.size() < kBytes) {
    if (kind == 2) {
      text += "\xEC\x95\x88\xEB\x85\x95\xED\x95\x98\xEC\x84\xB8\xEC\x9A\x94";
    } else if (kind == 1 && random() % 24 == 0) {
      text += other[random() % 3];
    } else {
      text += ascii[random() % 8];
    }
  }
  text.resize(kBytes);
  while (!platform::IsValidUtf8(text)) text.pop_back();  // never end inside a sequence
  return text;
}

template <size_t (*Check)(std::string_view)>
void BM_Utf8Check(benchmark::State& state) {
  const std::string text = Text(static_cast<int>(state.range(0)));
  for (auto _ : state) benchmark::DoNotOptimize(Check(text));
  if (Check(text) != text.size()) state.SkipWithError("text not valid");
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) *
                          static_cast<int64_t>(text.size()));
  state.SetLabel(state.range(0) == 0 ? "ascii" : state.range(0) == 1 ? "ascii-heavy" : "hangul");
}

BENCHMARK_TEMPLATE(BM_Utf8Check, platform::ValidUtf8Prefix)->DenseRange(0, 2);
BENCHMARK_TEMPLATE(BM_Utf8Check, platform::ValidUtf8PrefixScalar)->DenseRange(0, 2);

}  // namespace
