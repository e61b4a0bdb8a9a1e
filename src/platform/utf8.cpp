#include "platform/utf8.h"

#include <cstdint>
#include <cstring>

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#define PARLATRIX_UTF8_SSSE3 1
#endif

namespace platform {
namespace {

// The scalar check from `i`, which must be the start of a sequence. The well-formed sequences, by
// lead byte (table 3-7): the second byte's range is narrowed after E0 (overlong), ED
// (surrogates), F0 (overlong) and F4 (above U+10FFFF); every other continuation byte is 80..BF.
size_t ScalarFrom(const unsigned char* p, size_t n, size_t i) {
  while (i < n) {
    const unsigned int c = p[i];
    if (c < 0x80) {
      ++i;
      // Runs of ASCII (markup, IDs, Latin texts) are checked eight bytes at a time; only after an
      // ASCII byte, so that a run of Hangul does not pay for a failed try at every character.
      while (i + 8 <= n) {
        uint64_t word;
        std::memcpy(&word, p + i, 8);
        if ((word & 0x8080808080808080ULL) != 0) break;
        i += 8;
      }
    } else if (c >= 0xE0 && c <= 0xEF) {
      // Hangul and CJK, the bulk of a script's texts, are all three-byte sequences.
      if (n - i < 3) return i;
      const unsigned int b1 = p[i + 1];
      const unsigned int low = c == 0xE0 ? 0xA0 : 0x80;
      const unsigned int high = c == 0xED ? 0x9F : 0xBF;
      if (b1 < low || b1 > high || (p[i + 2] & 0xC0) != 0x80) return i;
      i += 3;
    } else if (c >= 0xC2 && c <= 0xDF) {
      if (n - i < 2 || (p[i + 1] & 0xC0) != 0x80) return i;
      i += 2;
    } else if (c >= 0xF0 && c <= 0xF4) {
      if (n - i < 4) return i;
      const unsigned int b1 = p[i + 1];
      const unsigned int low = c == 0xF0 ? 0x90 : 0x80;
      const unsigned int high = c == 0xF4 ? 0x8F : 0xBF;
      if (b1 < low || b1 > high || (p[i + 2] & 0xC0) != 0x80 || (p[i + 3] & 0xC0) != 0x80) {
        return i;
      }
      i += 4;
    } else {
      return i;
    }
  }
  return n;
}

#ifdef PARLATRIX_UTF8_SSSE3

// The vector check classifies every byte pair (previous byte, byte) by three 16-entry lookups
// (high nibble of the previous byte, its low nibble, high nibble of the byte); each entry is a set
// of error bits, and a pair is ill-formed when the three sets share a bit. Third and fourth bytes
// of a sequence are found by looking two and three bytes back: they must be continuations, and no
// other continuation may appear (the "must be 2nd/3rd continuation" bit cancels TWO_CONTS).
constexpr uint8_t kTooShort = 1 << 0;   // lead followed by a lead or ASCII
constexpr uint8_t kTooLong = 1 << 1;    // ASCII followed by a continuation
constexpr uint8_t kOverlong3 = 1 << 2;  // E0 80..9F
constexpr uint8_t kTooLarge = 1 << 3;   // F4 90..BF, F5..FF
constexpr uint8_t kSurrogate = 1 << 4;  // ED A0..BF
constexpr uint8_t kOverlong2 = 1 << 5;  // C0, C1
constexpr uint8_t kTooLarge1000 = 1 << 6;
constexpr uint8_t kOverlong4 = 1 << 6;  // F0 80..8F
constexpr uint8_t kTwoConts = 1 << 7;   // continuation after continuation (unless 3rd/4th byte)
constexpr uint8_t kCarry = kTooShort | kTooLong | kTwoConts;

#define PX_TARGET __attribute__((target("ssse3")))

PX_TARGET inline __m128i Nibbles(__m128i v, int high) {
  const __m128i mask = _mm_set1_epi8(0x0F);
  return high ? _mm_and_si128(_mm_srli_epi16(v, 4), mask) : _mm_and_si128(v, mask);
}

PX_TARGET inline __m128i Table(uint8_t a0, uint8_t a1, uint8_t a2, uint8_t a3, uint8_t a4,
                               uint8_t a5, uint8_t a6, uint8_t a7, uint8_t a8, uint8_t a9,
                               uint8_t a10, uint8_t a11, uint8_t a12, uint8_t a13, uint8_t a14,
                               uint8_t a15) {
  return _mm_setr_epi8(static_cast<char>(a0), static_cast<char>(a1), static_cast<char>(a2),
                       static_cast<char>(a3), static_cast<char>(a4), static_cast<char>(a5),
                       static_cast<char>(a6), static_cast<char>(a7), static_cast<char>(a8),
                       static_cast<char>(a9), static_cast<char>(a10), static_cast<char>(a11),
                       static_cast<char>(a12), static_cast<char>(a13), static_cast<char>(a14),
                       static_cast<char>(a15));
}

struct Tables {
  __m128i byte1High, byte1Low, byte2High;
};

PX_TARGET Tables MakeTables() {
  constexpr uint8_t L = kTooLong, C = kTwoConts;
  constexpr uint8_t S = kTooShort;
  constexpr uint8_t T = kCarry | kTooLarge | kTooLarge1000;
  constexpr uint8_t K = kTooLong | kOverlong2 | kTwoConts;
  Tables t;
  t.byte1High = Table(L, L, L, L, L, L, L, L, C, C, C, C, S | kOverlong2, S,
                      S | kOverlong3 | kSurrogate, S | kTooLarge | kTooLarge1000 | kOverlong4);
  t.byte1Low = Table(kCarry | kOverlong3 | kOverlong2 | kOverlong4, kCarry | kOverlong2, kCarry,
                     kCarry, kCarry | kTooLarge, T, T, T, T, T, T, T, T, T | kSurrogate, T, T);
  t.byte2High = Table(S, S, S, S, S, S, S, S, K | kOverlong3 | kTooLarge1000 | kOverlong4,
                      K | kOverlong3 | kTooLarge, K | kSurrogate | kTooLarge,
                      K | kSurrogate | kTooLarge, S, S, S, S);
  return t;
}

// Nonzero bytes where the 16 bytes `in`, with the 16 before them in `prev`, are ill-formed.
PX_TARGET inline __m128i Errors(const Tables& t, __m128i in, __m128i prev) {
  const __m128i prev1 = _mm_alignr_epi8(in, prev, 15);
  const __m128i special =
      _mm_and_si128(_mm_and_si128(_mm_shuffle_epi8(t.byte1High, Nibbles(prev1, 1)),
                                  _mm_shuffle_epi8(t.byte1Low, Nibbles(prev1, 0))),
                    _mm_shuffle_epi8(t.byte2High, Nibbles(in, 1)));
  const __m128i prev2 = _mm_alignr_epi8(in, prev, 14);
  const __m128i prev3 = _mm_alignr_epi8(in, prev, 13);
  // Bit 7 set where two bytes back is E0..FF or three bytes back is F0..FF.
  const __m128i must23 = _mm_or_si128(_mm_subs_epu8(prev2, _mm_set1_epi8(0xE0 - 0x80)),
                                      _mm_subs_epu8(prev3, _mm_set1_epi8(0xF0 - 0x80)));
  return _mm_xor_si128(_mm_and_si128(must23, _mm_set1_epi8(static_cast<char>(0x80))), special);
}

// Where the sequence that holds byte `i` starts, when everything before `i` is well-formed: `i`
// itself, or the lead byte of a sequence opened in the three bytes before it.
inline size_t SequenceStart(const unsigned char* p, size_t i) {
  if (i >= 1 && p[i - 1] >= 0xC0) return i - 1;
  if (i >= 2 && p[i - 2] >= 0xE0) return i - 2;
  if (i >= 3 && p[i - 3] >= 0xF0) return i - 3;
  return i;
}

PX_TARGET inline bool AnyNonZero(__m128i v) {
  return _mm_movemask_epi8(_mm_cmpeq_epi8(v, _mm_setzero_si128())) != 0xFFFF;
}

// Blocks of 64 bytes: all ASCII costs one test; otherwise the four steps' findings are gathered
// and tested once. Everything before `i` is well-formed but for a sequence opened in its last
// three bytes, which the next block's pairs check. On a finding, or for the last bytes, the
// scalar loop takes over from the start of the sequence that holds `i` and names the offset.
PX_TARGET size_t Ssse3Prefix(const unsigned char* p, size_t n) {
  const Tables t = MakeTables();
  __m128i prev = _mm_setzero_si128();
  bool prevAscii = true;
  size_t i = 0;
  for (; i + 64 <= n; i += 64) {
    const auto* at = reinterpret_cast<const __m128i*>(p + i);
    const __m128i v0 = _mm_loadu_si128(at), v1 = _mm_loadu_si128(at + 1);
    const __m128i v2 = _mm_loadu_si128(at + 2), v3 = _mm_loadu_si128(at + 3);
    if (_mm_movemask_epi8(_mm_or_si128(_mm_or_si128(v0, v1), _mm_or_si128(v2, v3))) == 0) {
      // ASCII after a sequence left open is a sequence cut short.
      if (!prevAscii && SequenceStart(p, i) != i) break;
      prevAscii = true;
      prev = v3;
      continue;
    }
    const __m128i err = _mm_or_si128(_mm_or_si128(Errors(t, v0, prev), Errors(t, v1, v0)),
                                     _mm_or_si128(Errors(t, v2, v1), Errors(t, v3, v2)));
    if (AnyNonZero(err)) break;
    prevAscii = false;
    prev = v3;
  }
  for (; i + 16 <= n; i += 16) {
    const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + i));
    if (AnyNonZero(Errors(t, v, prev))) break;
    prev = v;
  }
  return ScalarFrom(p, n, SequenceStart(p, i));
}

bool HasSsse3() {
  static const bool has = __builtin_cpu_supports("ssse3");
  return has;
}

#endif

}  // namespace

size_t ValidUtf8PrefixScalar(std::string_view text) {
  return ScalarFrom(reinterpret_cast<const unsigned char*>(text.data()), text.size(), 0);
}

size_t ValidUtf8Prefix(std::string_view text) {
  const auto* p = reinterpret_cast<const unsigned char*>(text.data());
#ifdef PARLATRIX_UTF8_SSSE3
  if (text.size() >= 16 && HasSsse3()) return Ssse3Prefix(p, text.size());
#endif
  return ScalarFrom(p, text.size(), 0);
}

}  // namespace platform
