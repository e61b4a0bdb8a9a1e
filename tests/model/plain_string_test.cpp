#include "model/plain_string.h"

#include <gtest/gtest.h>

#include <cstring>

#include "platform/fault_injection.h"

namespace {

TEST(PlainStringEmpty, EveryEmptyValueSharesTheStaticText) {
  CPlainString fresh;
  CPlainString assigned("x");
  assigned.Assign("");
  CPlainString fromNull(nullptr);
  CPlainString copied(fresh);
  for (const CPlainString* s : {&fresh, &assigned, &fromNull, &copied}) {
    EXPECT_TRUE(s->IsEmpty());
    EXPECT_EQ(s->c_str(), CPlainString::SharedEmpty());
    EXPECT_EQ(s->GetLength(), 0);
  }
  EXPECT_TRUE(fresh.Equals(""));
  EXPECT_EQ(CPlainString::SharedEmpty()[0], 0);
}

TEST(PlainStringEmpty, ReplacingEverythingFallsBackToTheSharedText) {
  CPlainString s("\r\n\r\n");
  EXPECT_EQ(s.Replace("\r\n", ""), 2);
  EXPECT_TRUE(s.IsEmpty());
  EXPECT_EQ(s.c_str(), CPlainString::SharedEmpty());
}

TEST(PlainString, OneByteTextGetsItsOwnBlock) {
  CPlainString s("a");
  EXPECT_FALSE(s.IsEmpty());
  EXPECT_NE(s.c_str(), CPlainString::SharedEmpty());
  EXPECT_EQ(s.GetLength(), 1);
  EXPECT_STREQ(s.c_str(), "a");
}

TEST(PlainString, MultibyteBytesPassThroughAndCountInBytes) {
  const char* korean = "\xEB\x8C\x80\xEC\x82\xAC";  // 대사 in UTF-8
  const char* cp949 = "\xB4\xEB\xBB\xE7";           // 대사 in CP949
  CPlainString a(korean), b(cp949);
  EXPECT_EQ(a.GetLength(), 6);
  EXPECT_EQ(b.GetLength(), 4);
  EXPECT_EQ(std::memcmp(b.c_str(), cp949, 5), 0);
}

TEST(PlainStringEquals, ByteExactAndCaseSensitive) {
  CPlainString s("Tom");
  EXPECT_TRUE(s.Equals("Tom"));
  EXPECT_FALSE(s.Equals("tom"));
  EXPECT_FALSE(s.Equals("Tom "));
  EXPECT_FALSE(s.Equals("To"));
  EXPECT_TRUE(s != "TOM");
  EXPECT_FALSE(s.Equals(""));
}

TEST(PlainStringReplace, CountsNonOverlappingMatchesFromTheStart) {
  CPlainString a("aaa");
  EXPECT_EQ(a.Replace("aa", "b"), 1);
  EXPECT_STREQ(a.c_str(), "ba");

  CPlainString crlf("one\r\ntwo\r\nthree");
  EXPECT_EQ(crlf.Replace("\r\n", ""), 2);
  EXPECT_STREQ(crlf.c_str(), "onetwothree");

  CPlainString grow("a-b-c");
  EXPECT_EQ(grow.Replace("-", "\r\n"), 2);
  EXPECT_STREQ(grow.c_str(), "a\r\nb\r\nc");
}

TEST(PlainStringReplace, EmptyOrMissingOldTextChangesNothing) {
  CPlainString s("abc");
  const char* before = s.c_str();
  EXPECT_EQ(s.Replace("", "x"), 0);
  EXPECT_EQ(s.Replace("zz", "x"), 0);
  EXPECT_EQ(s.c_str(), before);
  CPlainString empty;
  EXPECT_EQ(empty.Replace("a", "b"), 0);
  EXPECT_TRUE(empty.IsEmpty());
}

TEST(PlainStringAliasing, AssignAndAppendFromOwnTextGiveTheRightText) {
  CPlainString s("hello");
  s = s;
  EXPECT_STREQ(s.c_str(), "hello");
  s.Assign(s.c_str());
  EXPECT_STREQ(s.c_str(), "hello");
  s.Assign(s.c_str() + 2);
  EXPECT_STREQ(s.c_str(), "llo");
  s.Append(s.c_str());
  EXPECT_STREQ(s.c_str(), "llollo");
  s = s.c_str() + 3;
  EXPECT_STREQ(s.c_str(), "llo");
  CPlainString r("xax");
  EXPECT_EQ(r.Replace("a", r.c_str()), 1);
  EXPECT_STREQ(r.c_str(), "xxaxx");
}

TEST(PlainStringAllocationFailure, AppendAndReplaceKeepTheTextAssignEmpties) {
  CPlainString s("keep");
  platform::FailAllocationAfter(1);
  EXPECT_FALSE(s.Append("more"));
  EXPECT_STREQ(s.c_str(), "keep");
  platform::FailAllocationAfter(1);
  EXPECT_EQ(s.Replace("ee", "EE"), 0);
  EXPECT_STREQ(s.c_str(), "keep");
  platform::FailAllocationAfter(1);
  EXPECT_FALSE(s.Assign("new"));
  EXPECT_TRUE(s.IsEmpty());
  platform::ResetAllocationFaults();
}

TEST(PlainString, AssignWithLengthStopsAtFirstNul) {
  CPlainString s;
  s.Assign("ab\0cd", 5);
  EXPECT_STREQ(s.c_str(), "ab");
  s.Assign("xyz", 2);
  EXPECT_STREQ(s.c_str(), "xy");
  EXPECT_EQ(s.GetLength(), 2);
}

}  // namespace
