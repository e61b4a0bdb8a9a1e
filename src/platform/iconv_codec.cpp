#include "platform/iconv_codec.h"

#include <iconv.h>
#include <langinfo.h>
#include <strings.h>

#include <algorithm>
#include <cerrno>
#include <utility>

namespace platform {
namespace {

iconv_t Handle(void* cd) {
  return static_cast<iconv_t>(cd);
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

bool IsUtf8Codeset(const std::string& name) {
  return strcasecmp(name.c_str(), "UTF-8") == 0 || strcasecmp(name.c_str(), "UTF8") == 0;
}

IconvCodec::IconvCodec(const std::string& to, const std::string& from) {
  iconv_t cd = iconv_open(to.c_str(), from.c_str());
  if (cd != reinterpret_cast<iconv_t>(-1)) cd_ = cd;
}

IconvCodec::~IconvCodec() {
  if (cd_ != nullptr) iconv_close(Handle(cd_));
}

IconvCodec::IconvCodec(IconvCodec&& other) noexcept : cd_(std::exchange(other.cd_, nullptr)) {}

IconvCodec& IconvCodec::operator=(IconvCodec&& other) noexcept {
  if (this != &other) {
    if (cd_ != nullptr) iconv_close(Handle(cd_));
    cd_ = std::exchange(other.cd_, nullptr);
  }
  return *this;
}

bool IconvCodec::Convert(std::string_view input, std::string& out) const {
  out.clear();
  if (cd_ == nullptr) return false;
  iconv_t cd = Handle(cd_);
  iconv(cd, nullptr, nullptr, nullptr, nullptr);
  char* in = const_cast<char*>(input.data());
  size_t inLeft = input.size();
  char buffer[4096];
  while (true) {
    char* outPtr = buffer;
    size_t outLeft = sizeof(buffer);
    // The last round (no input left) flushes a stateful target's closing shift sequence.
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

std::string IconvCodec::ConvertReplacing(std::string_view input, std::string_view substitute,
                                         size_t (*skip)(unsigned char)) const {
  if (cd_ == nullptr) return std::string(input);
  iconv_t cd = Handle(cd_);
  iconv(cd, nullptr, nullptr, nullptr, nullptr);
  std::string out;
  char* in = const_cast<char*>(input.data());
  size_t inLeft = input.size();
  char buffer[256];
  while (inLeft > 0) {
    char* outPtr = buffer;
    size_t outLeft = sizeof(buffer);
    size_t result = iconv(cd, &in, &inLeft, &outPtr, &outLeft);
    out.append(buffer, outPtr - buffer);
    if (result != static_cast<size_t>(-1) || errno == E2BIG) continue;
    out.append(substitute);
    const size_t n = std::min(inLeft, std::max<size_t>(1, skip(static_cast<unsigned char>(*in))));
    in += n;
    inLeft -= n;
    iconv(cd, nullptr, nullptr, nullptr, nullptr);
  }
  char* outPtr = buffer;
  size_t outLeft = sizeof(buffer);
  iconv(cd, nullptr, nullptr, &outPtr, &outLeft);
  out.append(buffer, outPtr - buffer);
  return out;
}

size_t Utf8SequenceLength(unsigned char lead) {
  if (lead >= 0xF0) return 4;
  if (lead >= 0xE0) return 3;
  if (lead >= 0xC0) return 2;
  return 1;
}

size_t OneByte(unsigned char) {
  return 1;
}

}  // namespace platform
