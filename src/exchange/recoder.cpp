#include "exchange/recoder.h"

#include <iconv.h>
#include <langinfo.h>
#include <strings.h>

#include <cerrno>
#include <cstdint>
#include <cstring>

namespace exchange {
namespace {

iconv_t Handle(void* cd) {
  return static_cast<iconv_t>(cd);
}

void* Open(const std::string& to, const std::string& from) {
  iconv_t cd = iconv_open(to.c_str(), from.c_str());
  return cd == reinterpret_cast<iconv_t>(-1) ? nullptr : cd;
}

bool IsUtf8Name(const std::string& name) {
  return strcasecmp(name.c_str(), "UTF-8") == 0 || strcasecmp(name.c_str(), "UTF8") == 0;
}

// Runs all of `input` through `cd`; false on any sequence the converter rejects or cannot map.
bool Run(iconv_t cd, std::string_view input, std::string& out) {
  out.clear();
  iconv(cd, nullptr, nullptr, nullptr, nullptr);
  char* in = const_cast<char*>(input.data());
  size_t inLeft = input.size();
  char buffer[4096];
  while (true) {
    char* outPtr = buffer;
    size_t outLeft = sizeof(buffer);
    const size_t result = inLeft > 0 ? iconv(cd, &in, &inLeft, &outPtr, &outLeft)
                                     : iconv(cd, nullptr, nullptr, &outPtr, &outLeft);
    out.append(buffer, outPtr - buffer);
    if (result == static_cast<size_t>(-1)) {
      if (errno == E2BIG) continue;
      return false;
    }
    // glibc counts characters it replaced by a fallback as irreversible conversions: refuse them.
    if (result != 0) return false;
    if (inLeft == 0 && outPtr == buffer) return true;
  }
}

}  // namespace

std::string LocaleCodeset() {
  std::string codeset = nl_langinfo(CODESET);
  if (codeset.empty() || codeset == "ANSI_X3.4-1968" || codeset == "ASCII" ||
      codeset == "US-ASCII") {
    return "UTF-8";
  }
  return codeset;
}

Recoder::Recoder(const std::string& codeset)
    : codeset_(codeset.empty() ? LocaleCodeset() : codeset) {
  identity_ = IsUtf8Name(codeset_);
  toUtf8_ = Open("UTF-8", codeset_);
  fromUtf8_ = Open(codeset_, "UTF-8");
}

Recoder::~Recoder() {
  if (toUtf8_ != nullptr) iconv_close(Handle(toUtf8_));
  if (fromUtf8_ != nullptr) iconv_close(Handle(fromUtf8_));
}

bool Recoder::ToUtf8(std::string_view bytes, std::string& out) const {
  if (identity_) {
    if (ValidUtf8Prefix(bytes) != bytes.size()) return false;
    out.assign(bytes);
    return true;
  }
  return Run(Handle(toUtf8_), bytes, out);
}

bool Recoder::FromUtf8(std::string_view utf8, std::string& out) const {
  if (ValidUtf8Prefix(utf8) != utf8.size()) return false;
  return FromValidUtf8(utf8, out);
}

bool Recoder::FromValidUtf8(std::string_view utf8, std::string& out) const {
  if (identity_) {
    out.assign(utf8);
    return true;
  }
  return Run(Handle(fromUtf8_), utf8, out);
}

size_t ValidUtf8Prefix(std::string_view text) {
  const auto* p = reinterpret_cast<const unsigned char*>(text.data());
  const size_t n = text.size();
  size_t i = 0;
  // The well-formed sequences, by lead byte (the Unicode standard's table 3-7): the second byte's
  // range is narrowed after E0 (overlong), ED (surrogates), F0 (overlong) and F4 (above U+10FFFF);
  // every other continuation byte is 80..BF. Returns the offset of the first sequence outside it.
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

void LineAndColumn(std::string_view text, size_t offset, long& line, long& column) {
  line = 1;
  size_t lineStart = 0;
  for (size_t i = 0; i < offset && i < text.size(); ++i) {
    if (text[i] == '\n') {
      ++line;
      lineStart = i + 1;
    }
  }
  column = static_cast<long>(offset - lineStart) + 1;
}

}  // namespace exchange
