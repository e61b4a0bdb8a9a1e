// The one escaper of the text forms: dlgtool's textconv and listings, the merge's conflict report,
// and the record of moved lines all write bytes of names and texts through it, so that a byte
// reads the same in each.
//
// Backslash, TAB, CR and LF become \\ \t \r \n, every other byte below 0x20 (and 0x7F) \xHH; in a
// quoted value a double quote becomes \". Bytes from 0x80 up pass unchanged, so CJK texts stay
// readable. In a double-byte code page (Big5, GBK, CP949 and the like) the second byte of a
// character may be 0x5C or 0x7C..0x7E: given the code page, a byte that follows a lead byte
// (0x81..0xFE) is part of that character and passes unchanged, so no stray backslash splits it.
#pragma once

#include <string>
#include <string_view>

namespace platform {

enum class EscapeBytes {
  kSingle,      // every byte on its own (UTF-8, ASCII, single-byte code pages)
  kDoubleByte,  // a lead byte 0x81..0xFE takes the next byte into its character
};

// The byte rule for a code page name as iconv spells it: kDoubleByte for Big5, GBK, GB2312,
// GB18030, CP936, CP949, CP950, EUC-KR, UHC, Shift_JIS, CP932; kSingle otherwise.
EscapeBytes EscapeBytesFor(std::string_view codePage);

void AppendEscapedText(std::string& out, std::string_view text,
                       EscapeBytes bytes = EscapeBytes::kSingle);
// Between double quotes, with \" for a double quote.
void AppendQuotedText(std::string& out, std::string_view text,
                      EscapeBytes bytes = EscapeBytes::kSingle);

}  // namespace platform
