#include "dlgfile/dlg_format.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "dlg_bytes.h"
#include "support/debug_capture.h"

namespace {

std::string Hex(const uint8_t* bytes, size_t size) {
  static const char kDigits[] = "0123456789abcdef";
  std::string out;
  for (size_t i = 0; i < size; ++i) {
    if (i > 0) out += ' ';
    out += kDigits[bytes[i] >> 4];
    out += kDigits[bytes[i] & 15];
  }
  return out;
}

TEST(Scrambling, UsesTheFixedKeyOnEachBytePosition) {
  // K = 0x9D: a 4-byte block XORs with (4 - i - 0x9D) mod 256 = 67 66 65 64.
  uint8_t block[4] = {0, 0, 0, 0};
  ScrambleBlock(block, 4);
  EXPECT_EQ(Hex(block, 4), "67 66 65 64");
  EXPECT_EQ(kDlgScrambleKey, dlgtest::kScrambleKey);
}

TEST(Scrambling, IsItsOwnInverse) {
  std::vector<uint8_t> block(300);
  for (size_t i = 0; i < block.size(); ++i) block[i] = static_cast<uint8_t>(i * 7);
  const std::vector<uint8_t> original = block;
  ScrambleBlock(block.data(), block.size());
  EXPECT_NE(block, original);
  ScrambleBlock(block.data(), block.size());
  EXPECT_EQ(block, original);
}

TEST(BufferHelpers, PutIntStoresScrambledLittleEndianAndAdvances) {
  uint8_t buffer[8] = {};
  uint8_t* cursor = buffer;
  EXPECT_EQ(putInt(cursor, 8, 6), 4);
  EXPECT_EQ(putInt(cursor, 4, -1), 4);
  EXPECT_EQ(cursor, buffer + 8);
  EXPECT_EQ(Hex(buffer, 8), "61 66 65 64 98 99 9a 9b");
}

TEST(BufferHelpers, PutIntAndGetIntRefuseLessThanFourBytesOfRoom) {
  uint8_t buffer[4] = {1, 2, 3, 4};
  uint8_t* out = buffer;
  EXPECT_EQ(putInt(out, 3, 7), 0);
  EXPECT_EQ(out, buffer);
  const uint8_t* in = buffer;
  int32_t value = 99;
  EXPECT_EQ(getInt(in, 3, value), 0);
  EXPECT_EQ(in, buffer);
  EXPECT_EQ(value, 99);
}

TEST(BufferHelpers, StrSizeCountsLengthWordTextAndZeroByte) {
  EXPECT_EQ(strSize(""), 5);
  EXPECT_EQ(strSize("ab"), 7);
  EXPECT_EQ(strSize(nullptr), 4);
}

TEST(BufferHelpers, SaveStrEncodesLengthThenScrambledTextWithZero) {
  uint8_t buffer[16] = {};
  uint8_t* cursor = buffer;
  EXPECT_EQ(saveStr(cursor, 16, "ab"), 7);
  EXPECT_EQ(cursor, buffer + 7);
  // n = 3 scrambled as an int, then "ab\0" scrambled with keys 66 65 64.
  EXPECT_EQ(Hex(buffer, 7), "64 66 65 64 07 07 64");
}

TEST(BufferHelpers, SaveStrOfEmptyTextIsOneScrambledZeroByte) {
  uint8_t buffer[5];
  uint8_t* cursor = buffer;
  EXPECT_EQ(saveStr(cursor, 5, ""), 5);
  EXPECT_EQ(Hex(buffer, 5), "66 66 65 64 64");
}

TEST(BufferHelpers, SaveStrOfNoTextStoresLengthZeroOnly) {
  uint8_t buffer[4];
  uint8_t* cursor = buffer;
  EXPECT_EQ(saveStr(cursor, 4, nullptr), 4);
  EXPECT_EQ(Hex(buffer, 4), "67 66 65 64");
}

TEST(BufferHelpers, SaveStrStoresNothingWithoutRoom) {
  uint8_t buffer[6] = {};
  uint8_t* cursor = buffer;
  EXPECT_EQ(saveStr(cursor, 6, "ab"), 0);
  EXPECT_EQ(cursor, buffer);
  EXPECT_EQ(Hex(buffer, 6), "00 00 00 00 00 00");
}

TEST(BufferHelpers, SaveStrWarnsAboveFourThousandNinetySixButStoresWhole) {
  const std::string fits(4095, 'x');  // n = 4096: no warning
  const std::string over(4096, 'y');  // n = 4097
  std::vector<uint8_t> buffer(8192);
  DebugCapture capture;
  uint8_t* cursor = buffer.data();
  EXPECT_EQ(saveStr(cursor, 8192, fits.c_str()), 4100);
  EXPECT_TRUE(capture.lines().empty());
  cursor = buffer.data();
  EXPECT_EQ(saveStr(cursor, 8192, over.c_str()), 4101);
  ASSERT_EQ(capture.lines().size(), 1u);
  // The described line, with only the first 64 bytes of the text repeated in its place.
  EXPECT_EQ(capture.lines()[0],
            "saveStr() 警告 : 字符串长度太长了<4096>。<" + over.substr(0, 64) + ">!\n");
  const uint8_t* in = buffer.data();
  CPlainString back;
  EXPECT_EQ(readStr(in, 8192, back), 4101);
  EXPECT_EQ(std::string(back.c_str()), over);
  // The overload that Save uses warns the same way.
  cursor = buffer.data();
  EXPECT_EQ(saveStr(cursor, 8192, back), 4101);
  ASSERT_EQ(capture.lines().size(), 2u);
  EXPECT_EQ(capture.lines()[1], capture.lines()[0]);
}

TEST(BufferHelpers, ReadStrYieldsTextUpToFirstZeroAndConsumesAllN) {
  const std::string bytes = dlgtest::ScrambledInt(5) + dlgtest::Scramble(std::string("ab\0cd", 5));
  const uint8_t* in = reinterpret_cast<const uint8_t*>(bytes.data());
  CPlainString text;
  EXPECT_EQ(readStr(in, 9, text), 9);
  EXPECT_STREQ(text.c_str(), "ab");
  EXPECT_EQ(in, reinterpret_cast<const uint8_t*>(bytes.data()) + 9);
}

TEST(BufferHelpers, ReadStrWithoutZeroByteTakesAllNBytes) {
  const std::string bytes = dlgtest::ScrambledInt(3) + dlgtest::Scramble("xyz");
  const uint8_t* in = reinterpret_cast<const uint8_t*>(bytes.data());
  CPlainString text;
  EXPECT_EQ(readStr(in, 7, text), 7);
  EXPECT_STREQ(text.c_str(), "xyz");
}

TEST(BufferHelpers, ReadStrOfLengthZeroIsEmpty) {
  const std::string bytes = dlgtest::ScrambledInt(0);
  const uint8_t* in = reinterpret_cast<const uint8_t*>(bytes.data());
  CPlainString text("old");
  EXPECT_EQ(readStr(in, 4, text), 4);
  EXPECT_TRUE(text.IsEmpty());
}

TEST(BufferHelpers, ReadStrTakesNothingWhenLengthExceedsRoomOrIsNegative) {
  for (int32_t n : {6, -1, INT32_MIN}) {
    const std::string bytes = dlgtest::ScrambledInt(n) + dlgtest::Scramble("abcd\0");
    const uint8_t* start = reinterpret_cast<const uint8_t*>(bytes.data());
    const uint8_t* in = start;
    CPlainString text("kept");
    EXPECT_EQ(readStr(in, 9, text), 0) << n;
    EXPECT_EQ(in, start);
    EXPECT_STREQ(text.c_str(), "kept");
  }
  const uint8_t* in = reinterpret_cast<const uint8_t*>("abc");
  CPlainString text;
  EXPECT_EQ(readStr(in, 3, text), 0);
}

TEST(HeaderBlock, OverlayOfShortBytesKeepsDefaultsBeyondThem) {
  DlgHeader header = NewDlgHeader();
  std::string bytes = dlgtest::Field("XXXXXXX", 8) + dlgtest::Field("OTHER", 32) +
                      dlgtest::Le32(101) + dlgtest::Le32(7) + dlgtest::Field("game", 32) +
                      dlgtest::Le32(500);
  bytes.resize(82);  // cuts the index offset after two bytes
  OverlayDlgHeader(header, reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
  EXPECT_EQ(header.version, 101);
  EXPECT_EQ(header.lineCount, 7);
  EXPECT_STREQ(header.gameName, "game");
  EXPECT_EQ(header.indexOffset, 500);  // 0xF4 0x01 from the file, zeros kept above
  EXPECT_EQ(header.indexCount, 0);
  EXPECT_EQ(std::string(header.tag, 7), "XXXXXXX");
}

}  // namespace
