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
  while (i < n) {
    // Runs of ASCII (markup, IDs, Latin texts) are checked eight bytes at a time.
    while (i + 8 <= n) {
      uint64_t word;
      std::memcpy(&word, p + i, 8);
      if ((word & 0x8080808080808080ULL) != 0) break;
      i += 8;
    }
    if (i >= n) break;
    const unsigned char c = p[i];
    if (c < 0x80) {
      ++i;
      continue;
    }
    size_t len;
    unsigned int cp;
    if (c >= 0xC2 && c <= 0xDF) {
      len = 2;
      cp = c & 0x1F;
    } else if (c >= 0xE0 && c <= 0xEF) {
      len = 3;
      cp = c & 0x0F;
    } else if (c >= 0xF0 && c <= 0xF4) {
      len = 4;
      cp = c & 0x07;
    } else {
      return i;
    }
    if (n - i < len) return i;
    for (size_t k = 1; k < len; ++k) {
      if ((p[i + k] & 0xC0) != 0x80) return i;
      cp = (cp << 6) | (p[i + k] & 0x3F);
    }
    if ((len == 3 && cp < 0x800) || (len == 4 && (cp < 0x10000 || cp > 0x10FFFF)) ||
        (cp >= 0xD800 && cp <= 0xDFFF)) {
      return i;
    }
    i += len;
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
