// The one escaper of the text forms.
#include "platform/text_escape.h"

#include <gtest/gtest.h>

#include <string>

namespace {

std::string Escaped(std::string_view text, platform::EscapeBytes bytes) {
  std::string out;
  platform::AppendEscapedText(out, text, bytes);
  return out;
}

TEST(TextEscape, ControlBytesBackslashAndQuotesAreEscapedOnce) {
  std::string out;
  platform::AppendQuotedText(out, std::string("a\\b\t\r\n\"\x01\x7F\xea\xb0\x80", 12));
  EXPECT_EQ(out, "\"a\\\\b\\t\\r\\n\\\"\\x01\\x7F\xea\xb0\x80\"");
  EXPECT_EQ(Escaped("say \"hi\"", platform::EscapeBytes::kSingle), "say \"hi\"");
}

// Big5 "許功蓋" and GBK "乗" end in a 0x5C byte: in their code page it is part of the character,
// and a backslash put after it would show as a stray one (and change the character's bytes).
TEST(TextEscape, DoubleByteCodePagesKeepTrailBytesWhole) {
  const std::string big5 = "\xB3\x5C\xA5\x5C\xBB\x5C";
  EXPECT_EQ(Escaped(big5, platform::EscapeBytes::kDoubleByte), big5);
  EXPECT_EQ(Escaped(big5, platform::EscapeBytes::kSingle), "\xB3\\\\\xA5\\\\\xBB\\\\");
  EXPECT_EQ(Escaped("\x81\x5C\\", platform::EscapeBytes::kDoubleByte), "\x81\x5C\\\\");
  // A lead byte before a control byte, or at the end, is not a character: escaped as before.
  EXPECT_EQ(Escaped("\xB3\n", platform::EscapeBytes::kDoubleByte), "\xB3\\n");
  EXPECT_EQ(Escaped("\\\xB3", platform::EscapeBytes::kDoubleByte), "\\\\\xB3");
  EXPECT_EQ(platform::EscapeBytesFor("big5"), platform::EscapeBytes::kDoubleByte);
  EXPECT_EQ(platform::EscapeBytesFor("GBK"), platform::EscapeBytes::kDoubleByte);
  EXPECT_EQ(platform::EscapeBytesFor("EUC-KR"), platform::EscapeBytes::kDoubleByte);
  EXPECT_EQ(platform::EscapeBytesFor("UTF-8"), platform::EscapeBytes::kSingle);
}

}  // namespace
