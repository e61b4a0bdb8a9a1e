// The one UTF-8 validity check of the program: the exchange readers, the recoder, the code-page
// probe behind dlgtool's warnings and the recode command all ask it.
//
// Well-formed means the Unicode standard's table 3-7: no overlong forms, no surrogates
// (U+D800..U+DFFF), nothing above U+10FFFF, no stray continuation byte, no sequence cut short.
// On x86-64 processors with SSSE3 the check runs 16 bytes a step (a vector lookup of the byte
// pairs' classes, so text that is not ASCII goes at vector speed too) after a 64-byte ASCII fast
// path; elsewhere a portable loop checks ASCII eight bytes at a time and the rest byte by byte.
// Both give the same answer for every input (tests compare them on random and mutated texts).
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace platform {

// Length of the valid UTF-8 prefix of `text`: text.size() when all of it is valid, else the offset
// of the first byte of the first ill-formed sequence.
size_t ValidUtf8Prefix(std::string_view text);

inline bool IsValidUtf8(std::string_view text) {
  return ValidUtf8Prefix(text) == text.size();
}

// The portable loop alone (what ValidUtf8Prefix runs without vector instructions); for tests and
// the benchmark, which compare the two.
size_t ValidUtf8PrefixScalar(std::string_view text);

// Appends the UTF-8 form of code point `cp` (at most U+10FFFF; the caller has checked it).
inline void AppendUtf8(std::string& out, unsigned int cp) {
  if (cp < 0x80) {
    out += static_cast<char>(cp);
  } else if (cp < 0x800) {
    out += static_cast<char>(0xC0 | (cp >> 6));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else if (cp < 0x10000) {
    out += static_cast<char>(0xE0 | (cp >> 12));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (cp >> 18));
    out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  }
}

}  // namespace platform
