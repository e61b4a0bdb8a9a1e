// The rules every exchange format shares on import: line ends compared as one break, a
// translation's breaks written as the current source writes them, placeholders kept.
#include <algorithm>
#include <array>
#include <bit>
#include <cstdint>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "exchange/exchange_units.h"

namespace exchange {
namespace {

// The first byte at or after `from` for which `hit` holds, or npos. Every import classifies each
// entry's source and translation with these scans, and almost every byte of a text is none of the
// bytes they look for, so the SSE2 form tests 16 at a time (`wide` builds the block's mask).
template <typename Wide, typename Hit>
size_t FindByte(std::string_view text, size_t from, [[maybe_unused]] Wide wide, Hit hit) {
  size_t i = from;
#if defined(__SSE2__)
  const char* p = text.data();
  for (; i + 16 <= text.size(); i += 16) {
    const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + i));
    const unsigned mask = static_cast<unsigned>(_mm_movemask_epi8(wide(v)));
    if (mask != 0) return i + static_cast<size_t>(std::countr_zero(mask));
  }
#endif
  for (; i < text.size(); ++i) {
    if (hit(static_cast<unsigned char>(text[i]))) return i;
  }
  return std::string_view::npos;
}

// The next byte that may start a placeholder: a C0 control (TAB, LF and CR included, sorted out by
// PlaceholderAt), a backslash, or 0xEF (the lead byte of U+FFFE and U+FFFF).
size_t NextPlaceholderByte(std::string_view text, size_t from) {
#if defined(__SSE2__)
  const auto wide = [](__m128i v) {
    const __m128i c1f = _mm_set1_epi8(0x1F);
    const __m128i control = _mm_cmpeq_epi8(_mm_max_epu8(v, c1f), c1f);  // v <= 0x1F
    const __m128i backslash = _mm_cmpeq_epi8(v, _mm_set1_epi8('\\'));
    const __m128i ef = _mm_cmpeq_epi8(v, _mm_set1_epi8(static_cast<char>(0xEF)));
    return _mm_or_si128(control, _mm_or_si128(backslash, ef));
  };
#else
  const auto wide = 0;
#endif
  return FindByte(text, from, wide,
                  [](unsigned char c) { return c < 0x20 || c == '\\' || c == 0xEF; });
}

// The length of the line break at text[i] (CR LF: 2; CR or LF: 1), 0 when there is none.
size_t BreakAt(std::string_view text, size_t i) {
  if (text[i] == '\n') return 1;
  if (text[i] != '\r') return 0;
  return i + 1 < text.size() && text[i + 1] == '\n' ? 2 : 1;
}

size_t NextBreak(std::string_view text, size_t from) {
  return FindLineBreak(text, from);
}

// The placeholder character starting at text[i] as an index into a count table: 0..31 for C0
// bytes, 32 for U+FFFE, 33 for U+FFFF; -1 for any other character.
int PlaceholderAt(std::string_view text, size_t i) {
  const unsigned char c = static_cast<unsigned char>(text[i]);
  if (c < 0x20) return c == '\t' || c == '\n' || c == '\r' ? -1 : c;
  if (c == 0xEF && i + 2 < text.size() && static_cast<unsigned char>(text[i + 1]) == 0xBF) {
    const unsigned char last = static_cast<unsigned char>(text[i + 2]);
    if (last == 0xBE) return 32;
    if (last == 0xBF) return 33;
  }
  return -1;
}

}  // namespace

size_t FindLineBreak(std::string_view text, size_t from) {
#if defined(__SSE2__)
  const auto wide = [](__m128i v) {
    return _mm_or_si128(_mm_cmpeq_epi8(v, _mm_set1_epi8('\n')),
                        _mm_cmpeq_epi8(v, _mm_set1_epi8('\r')));
  };
#else
  const auto wide = 0;
#endif
  return FindByte(text, from, wide, [](unsigned char c) { return c == '\n' || c == '\r'; });
}

bool SameText(std::string_view a, std::string_view b) {
  if (a == b) return true;
  size_t i = 0;
  size_t j = 0;
  while (true) {
    const size_t na = NextBreak(a, i);
    const size_t nb = NextBreak(b, j);
    const size_t ea = na == std::string_view::npos ? a.size() : na;
    const size_t eb = nb == std::string_view::npos ? b.size() : nb;
    if (a.substr(i, ea - i) != b.substr(j, eb - j)) return false;
    if ((na == std::string_view::npos) != (nb == std::string_view::npos)) return false;
    if (na == std::string_view::npos) return true;
    i = na + BreakAt(a, na);
    j = nb + BreakAt(b, nb);
  }
}

void MatchLineBreaks(std::string& translation, std::string_view source, std::string_view fileSource,
                     std::string_view fallback) {
  // Most translations are one line: nothing to rewrite, and the source need not be looked at.
  if (NextBreak(translation, 0) == std::string::npos) return;
  std::vector<std::string_view> forms;  // the form of each break of `source`, in order
  bool mixed = false;
  for (size_t at = NextBreak(source, 0); at != std::string_view::npos;) {
    const size_t len = BreakAt(source, at);
    forms.push_back(source.substr(at, len));
    mixed = mixed || forms.back() != forms.front();
    at = NextBreak(source, at + len);
  }
  if (mixed && fileSource == source) return;
  std::vector<std::string_view> want;
  if (forms.empty()) {
    if (fallback.empty()) return;
    want.push_back(fallback);
  } else if (!mixed) {
    want.push_back(forms.front());
  } else {
    size_t count = 0;
    for (size_t at = NextBreak(translation, 0); at != std::string::npos;
         at = NextBreak(translation, at + BreakAt(translation, at))) {
      ++count;
    }
    want = count == forms.size() ? forms : std::vector<std::string_view>{forms.front()};
  }
  std::string out;
  out.reserve(translation.size() + translation.size() / 8);
  size_t from = 0;
  size_t k = 0;
  for (size_t at = NextBreak(translation, 0); at != std::string::npos;) {
    out.append(translation, from, at - from);
    out.append(want.size() == 1 ? want.front() : want[k]);
    ++k;
    from = at + BreakAt(translation, at);
    at = NextBreak(translation, from);
  }
  out.append(translation, from, std::string::npos);
  translation.swap(out);
}

bool SamePlaceholders(std::string_view source, std::string_view target) {
  // 0..33: the characters of PlaceholderAt; 34 + n: a run of n backslashes (n from 1; runs of
  // kLongRun or more share the last slot).
  static constexpr size_t kLongRun = 16;
  std::array<int, 34 + kLongRun> counts{};
  const auto count = [&counts](std::string_view text, int step) {
    bool ok = true;
    // Most bytes are none of C0, a backslash or the lead byte of U+FFFE/U+FFFF.
    for (size_t i = NextPlaceholderByte(text, 0); i < text.size();
         i = NextPlaceholderByte(text, i + 1)) {
      int k = PlaceholderAt(text, i);
      if (text[i] == '\\') {
        size_t run = 1;
        while (i + run < text.size() && text[i + run] == '\\') ++run;
        i += run - 1;
        k = static_cast<int>(34 + std::min(run, kLongRun) - 1);
      }
      if (k < 0) continue;
      counts[k] += step;
      ok = ok && counts[k] >= 0;
    }
    return ok;
  };
  count(source, 1);
  if (!count(target, -1)) return false;
  for (const int left : counts) {
    if (left != 0) return false;
  }
  return true;
}

}  // namespace exchange
