#include "toolkit/code_page.h"

#include <gtest/gtest.h>

#include <QString>
#include <clocale>
#include <string>

#include "toolkit/scoped_codeset.h"

namespace {

using toolkit::CodePage;

QString Utf8(const char* text) {
  return QString::fromUtf8(text);
}

TEST(CodePage, Utf8KoreanAndChineseRoundTrip) {
  CodePage page("UTF-8");
  const std::string bytes = "대사 편집기 情节";
  EXPECT_EQ(page.ToQString(bytes), Utf8("대사 편집기 情节"));
  EXPECT_EQ(page.FromQString(page.ToQString(bytes)), bytes);
}

TEST(CodePage, EucKrHangulTakesTwoBytes) {
  CodePage page("EUC-KR");
  EXPECT_EQ(page.ToQString("\xC7\xD1\xB1\xDB"), Utf8("한글"));
  EXPECT_EQ(page.FromQString(Utf8("한글")), "\xC7\xD1\xB1\xDB");
}

TEST(CodePage, GbkChineseTakesTwoBytes) {
  CodePage page("GBK");
  EXPECT_EQ(page.ToQString("\xD6\xD0\xCE\xC4"), Utf8("中文"));
  EXPECT_EQ(page.FromQString(Utf8("情节")), "\xC7\xE9\xBD\xDA");
}

TEST(CodePage, EachUndecodableByteShowsAsOneReplacementMark) {
  EXPECT_EQ(CodePage("UTF-8").ToQString("a\xFF\xFE"
                                        "b"),
            Utf8("a\xEF\xBF\xBD\xEF\xBF\xBD"
                 "b"));
  // A lead byte at the very end has no trail byte.
  EXPECT_EQ(CodePage("EUC-KR").ToQString("A\xC7"), Utf8("A\xEF\xBF\xBD"));
}

TEST(CodePage, DecodingGoesOnAfterABadByte) {
  // 0xC7 needs a trail byte from 0xA1 up; "A" is not one, so 0xC7 alone is undecodable.
  EXPECT_EQ(CodePage("EUC-KR").ToQString("\xC7"
                                         "A\xC7\xD1"),
            Utf8("\xEF\xBF\xBD"
                 "A한"));
}

TEST(CodePage, CharacterOutsideTheCodePageBecomesQuestionMark) {
  EXPECT_EQ(CodePage("EUC-KR").FromQString(Utf8("x😀y한")), "x?y\xC7\xD1");
}

TEST(CodePage, UnknownCodesetBehavesAsUtf8) {
  CodePage page("NO-SUCH-CODESET");
  EXPECT_EQ(page.ToQString("한"), Utf8("한"));
  EXPECT_EQ(page.FromQString(Utf8("한")), "한");
}

TEST(CodePage, PlainCLocaleMeansUtf8) {
  std::string saved = std::setlocale(LC_CTYPE, nullptr);
  std::setlocale(LC_CTYPE, "C");
  EXPECT_EQ(toolkit::LocaleCodeset(), "UTF-8");
  std::setlocale(LC_CTYPE, saved.c_str());
}

TEST(CodePage, ByteLengthCountsBytesOfTheSystemCodePage) {
  ScopedCodeset codeset("UTF-8");
  EXPECT_EQ(toolkit::ByteLength(Utf8("한a")), 4);
  toolkit::SetSystemCodeset("EUC-KR");
  EXPECT_EQ(toolkit::ByteLength(Utf8("한a")), 3);
}

}  // namespace
