// The UTF-8 check against glibc's iconv, with every kind of sequence placed at every offset of the
// vector steps (the step edges, the 64-byte ASCII path, a sequence opened in the last bytes of a
// step), and the vector check against the portable loop on mutated texts.
#include "platform/utf8.h"

#include <gtest/gtest.h>
#include <iconv.h>

#include <random>
#include <string>
#include <vector>

namespace {

// Length of the prefix glibc's iconv converts from UTF-8 (the check's reference).
size_t IconvPrefix(const std::string& text) {
  static iconv_t cd = iconv_open("UTF-32LE", "UTF-8");
  std::vector<char> out(text.size() * 4 + 16);
  iconv(cd, nullptr, nullptr, nullptr, nullptr);
  char* in = const_cast<char*>(text.data());
  size_t inLeft = text.size();
  char* outPtr = out.data();
  size_t outLeft = out.size();
  iconv(cd, &in, &inLeft, &outPtr, &outLeft);
  return text.size() - inLeft;
}

void ExpectAgrees(const std::string& text) {
  const size_t expected = IconvPrefix(text);
  ASSERT_EQ(platform::ValidUtf8Prefix(text), expected) << testing::PrintToString(text);
  ASSERT_EQ(platform::ValidUtf8PrefixScalar(text), expected) << testing::PrintToString(text);
  ASSERT_EQ(platform::IsValidUtf8(text), expected == text.size());
}

TEST(Utf8Check, EverySequenceKindAtEveryOffsetOfTheVectorSteps) {
  const std::vector<std::string> pieces = {"\xC3\xA9",
                                           "\xEA\xB0\x80",
                                           "\xF0\x9F\x98\x80",
                                           "\xF4\x8F\xBF\xBF",
                                           "\xE0\xA0\x80",
                                           "\xED\x9F\xBF",
                                           "\xEE\x80\x80",
                                           "\xC0\xAF",
                                           "\xC1\xBF",
                                           "\xE0\x9F\xBF",
                                           "\xED\xA0\x80",
                                           "\xF0\x8F\xBF\xBF",
                                           "\xF4\x90\x80\x80",
                                           "\xF5\x80\x80\x80",
                                           "\xFF",
                                           "\x80",
                                           "\xBF\xBF",
                                           "\xC3",
                                           "\xEA\xB0",
                                           "\xF0\x9F\x98",
                                           "\xEA\x41\x80",
                                           "\xC3\xC3\xA9",
                                           "\xF0\x9F\x98\x80\x80"};
  const std::string ascii(80, 'a');
  std::string hangul;
  while (hangul.size() < 80) hangul += "\xEA\xB0\x80";
  for (const std::string& background : {ascii, hangul}) {
    for (const std::string& piece : pieces) {
      for (size_t at = 0; at <= 70; ++at) {
        ExpectAgrees(background.substr(0, at) + piece + background);
        ExpectAgrees(background.substr(0, at) + piece);  // cut at the end, in the scalar tail
      }
    }
  }
}

TEST(Utf8Check, VectorAndPortableLoopAgreeOnMutatedTexts) {
  std::mt19937 random(24);
  const std::vector<std::string> words = {"Hello ",           "\xEC\x95\x88\xEB\x85\x95 ",
                                          "\xE4\xBD\xA0 ",    "caf\xC3\xA9 ",
                                          "\xF0\x9F\x98\x80", "\n"};
  for (int round = 0; round < 3000; ++round) {
    std::string text;
    const int count = static_cast<int>(random() % 60);
    for (int k = 0; k < count; ++k) text += words[random() % words.size()];
    if (!text.empty() && round % 3 != 0) {
      for (int flips = 1 + static_cast<int>(random() % 2); flips > 0; --flips) {
        text[random() % text.size()] = static_cast<char>(random() & 0xFF);
      }
    }
    ExpectAgrees(text);
  }
}

}  // namespace
