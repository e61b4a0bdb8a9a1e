// The one wrapper of glibc's iconv: the locale's codeset, and a converter between two code pages
// in its two manners. Strict (Convert) refuses the whole text at the first sequence the source
// code page rejects or the target cannot hold: exchange files and recode never write a text that
// differs from the one they read. Lenient (ConvertReplacing) puts a substitute in place of each
// such sequence and goes on: the editor's display, which must show something for every byte.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace platform {

// The locale's codeset as iconv names it (nl_langinfo(CODESET) of the current LC_CTYPE), with the
// plain C/POSIX locale's ASCII taken as UTF-8, as Qt does.
std::string LocaleCodeset();

// True for the names iconv gives UTF-8 ("UTF-8", "utf8"), whatever the case.
bool IsUtf8Codeset(const std::string& name);

class IconvCodec {
 public:
  // Converts from `from` to `to`. ok() is false when iconv knows either name not.
  IconvCodec(const std::string& to, const std::string& from);
  ~IconvCodec();
  IconvCodec(IconvCodec&& other) noexcept;
  IconvCodec& operator=(IconvCodec&& other) noexcept;
  IconvCodec(const IconvCodec&) = delete;
  IconvCodec& operator=(const IconvCodec&) = delete;

  bool ok() const { return cd_ != nullptr; }

  // Strict: all of `input` into `out`; false (out unspecified) on a sequence the source rejects,
  // a character the target cannot map, or one glibc would replace by a fallback.
  [[nodiscard]] bool Convert(std::string_view input, std::string& out) const;

  // Lenient: a rejected or unmappable sequence becomes `substitute`; `skip(lead byte)` gives how
  // many input bytes it takes (at least 1, clipped to what is left).
  std::string ConvertReplacing(std::string_view input, std::string_view substitute,
                               size_t (*skip)(unsigned char)) const;

 private:
  void* cd_ = nullptr;
};

// Bytes a UTF-8 sequence that starts with `lead` claims (1 for ASCII or a stray continuation);
// ConvertReplacing's skip for UTF-8 input. OneByte skips one byte (any other code page).
size_t Utf8SequenceLength(unsigned char lead);
size_t OneByte(unsigned char lead);

}  // namespace platform
