#include "exchange/word_count.h"

#include <algorithm>
#include <array>

namespace exchange {
namespace {

struct ClassRange {
  char32_t first;
  char32_t last;
  uint8_t charClass;
};

constexpr ClassRange kRanges[] = {
#include "exchange/word_classes.inc"
};

// The Basic Multilingual Plane, where nearly every text lives, is looked up in one table of 64 Ki
// entries built once from the ranges; the planes above are searched.
const std::array<uint8_t, 0x10000>& BmpClasses() {
  static const std::array<uint8_t, 0x10000> table = [] {
    std::array<uint8_t, 0x10000> t{};
    for (const ClassRange& range : kRanges) {
      if (range.first > 0xFFFF) break;
      const char32_t last = std::min<char32_t>(range.last, 0xFFFF);
      for (char32_t c = range.first; c <= last; ++c) t[c] = range.charClass;
    }
    return t;
  }();
  return table;
}

bool IsJoiner(char32_t c) {
  return c == U'\'' || c == U'\u2019' || c == U'-' || c == U'\u2010' || c == U'\u2011';
}

// Decodes one code point at `text[i]`, advancing `i`; a byte that starts no valid sequence is
// taken alone and decodes as U+FFFD. Overlongs, surrogates and values over U+10FFFF are invalid.
char32_t Decode(std::string_view text, size_t& i) {
  const auto byte = [&](size_t k) { return static_cast<unsigned char>(text[k]); };
  const unsigned char b0 = byte(i);
  if (b0 < 0x80) {
    ++i;
    return b0;
  }
  int length = 0;
  char32_t c = 0;
  char32_t minimum = 0;
  if (b0 >= 0xC2 && b0 <= 0xDF) {
    length = 2, c = b0 & 0x1F, minimum = 0x80;
  } else if (b0 >= 0xE0 && b0 <= 0xEF) {
    length = 3, c = b0 & 0x0F, minimum = 0x800;
  } else if (b0 >= 0xF0 && b0 <= 0xF4) {
    length = 4, c = b0 & 0x07, minimum = 0x10000;
  }
  if (length == 0 || i + length > text.size()) {
    ++i;
    return 0xFFFD;
  }
  for (int k = 1; k < length; ++k) {
    const unsigned char b = byte(i + k);
    if ((b & 0xC0) != 0x80) {
      ++i;
      return 0xFFFD;
    }
    c = (c << 6) | (b & 0x3F);
  }
  if (c < minimum || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) {
    ++i;
    return 0xFFFD;
  }
  i += length;
  return c;
}

}  // namespace

CharClass ClassOf(char32_t codePoint) {
  if (codePoint <= 0xFFFF) return static_cast<CharClass>(BmpClasses()[codePoint]);
  const auto* end = std::end(kRanges);
  const auto* found = std::upper_bound(
      std::begin(kRanges), end, codePoint,
      [](char32_t c, const ClassRange& range) { return c < range.first; });
  if (found == std::begin(kRanges)) return CharClass::kOther;
  return static_cast<CharClass>((found - 1)->charClass);
}

void CountUtf8(std::string_view utf8, TextCounts& counts) {
  const std::array<uint8_t, 0x10000>& bmp = BmpClasses();
  bool inWord = false;
  bool afterJoiner = false;  // inside a word, one joiner seen: the next word character continues it
  size_t i = 0;
  while (i < utf8.size()) {
    const char32_t c = Decode(utf8, i);
    const CharClass kind =
        c <= 0xFFFF ? static_cast<CharClass>(bmp[c]) : ClassOf(c);
    if (kind != CharClass::kControl) ++counts.charactersWithSpaces;
    if (kind != CharClass::kControl && kind != CharClass::kSpace) ++counts.characters;
    switch (kind) {
      case CharClass::kWord:
        if (!inWord) ++counts.words;
        inWord = true;
        afterJoiner = false;
        break;
      case CharClass::kIdeographic:
        ++counts.words;
        ++counts.ideographic;
        inWord = false;
        afterJoiner = false;
        break;
      default:
        if (inWord && !afterJoiner && IsJoiner(c)) {
          afterJoiner = true;
        } else {
          inWord = false;
          afterJoiner = false;
        }
        break;
    }
  }
}

long long TextLength(std::string_view utf8, size_t codePageBytes, LengthUnit unit) {
  if (unit == LengthUnit::kBytes) return static_cast<long long>(codePageBytes);
  long long length = 0;
  size_t i = 0;
  while (i < utf8.size()) {
    const char32_t c = Decode(utf8, i);
    length += (unit == LengthUnit::kUtf16 && c > 0xFFFF) ? 2 : 1;
  }
  return length;
}

}  // namespace exchange
