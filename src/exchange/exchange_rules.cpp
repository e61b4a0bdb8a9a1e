// The rules every exchange format shares on import: line ends compared as one break, a
// translation's breaks written as the current source writes them, placeholders kept.
#include <algorithm>
#include <array>
#include <cstring>

#include "exchange/exchange_units.h"

namespace exchange {
namespace {

// The length of the line break at text[i] (CR LF: 2; CR or LF: 1), 0 when there is none.
size_t BreakAt(std::string_view text, size_t i) {
  if (text[i] == '\n') return 1;
  if (text[i] != '\r') return 0;
  return i + 1 < text.size() && text[i + 1] == '\n' ? 2 : 1;
}

size_t NextBreak(std::string_view text, size_t from) {
  for (size_t i = from; i < text.size(); ++i) {
    const char c = text[i];
    if (c == '\n' || c == '\r') return i;
  }
  return std::string_view::npos;
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
  std::vector<std::string_view> forms;  // the form of each break of `source`, in order
  bool mixed = false;
  for (size_t at = NextBreak(source, 0); at != std::string_view::npos;) {
    const size_t len = BreakAt(source, at);
    forms.push_back(source.substr(at, len));
    mixed = mixed || forms.back() != forms.front();
    at = NextBreak(source, at + len);
  }
  if (NextBreak(translation, 0) == std::string::npos) return;
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
    for (size_t i = 0; i < text.size(); ++i) {
      // Most bytes are none of C0, a backslash or the lead byte of U+FFFE/U+FFFF.
      const unsigned char c = static_cast<unsigned char>(text[i]);
      if (c >= 0x20 && c != '\\' && c != 0xEF) continue;
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
