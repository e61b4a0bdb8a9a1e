// Scrambling of the .dlg format's record blocks. It lives apart from the buffer helpers of
// dlg_format.cpp so that a reader without the editor's document model (the game-side runtime)
// links it alone. Eight bytes at a time: texts are most of a file's bytes, and opening a file in
// the runtime unscrambles all of them.
#include <cstring>

#include "dlgfile/dlg_format.h"

namespace {

// Sixteen bytes as one value; GCC and Clang compile operations on it to vector instructions where
// the machine has them, and to plain ones elsewhere.
typedef uint8_t Bytes16 __attribute__((vector_size(16)));
constexpr size_t kStep = sizeof(Bytes16);

// The key bytes in the order they follow each other: byte i of a block of len bytes is XORed with
// (len - i - K) mod 256, which falls by one from byte to byte and wraps at 0. One period and a
// step more, so that a step of key bytes can be taken from any starting point at once.
struct DescendingBytes {
  uint8_t bytes[256 + kStep];
  constexpr DescendingBytes() : bytes() {
    for (size_t i = 0; i < sizeof bytes; ++i) bytes[i] = static_cast<uint8_t>(255 - i);
  }
};
constexpr DescendingBytes kDescending;

// kDescending.bytes[j] = 255 - j (mod 256), so the key of byte 0, (len - K) mod 256, sits at
// j = KeyStart(len); the key of byte i at KeyStart(len) + i (mod 256).
size_t KeyStart(size_t length) {
  return static_cast<uint8_t>(255 - static_cast<uint8_t>(length - kDlgScrambleKey));
}

// Unscrambles (or scrambles) bytes [i, i + kStep) of `in` into `out` (which may be `in`), the
// key of byte i being at `key`; returns the bytes written.
Bytes16 ScrambleStep(uint8_t* out, const uint8_t* in, size_t i, size_t key) {
  Bytes16 word;
  Bytes16 mask;
  std::memcpy(&word, in + i, kStep);
  std::memcpy(&mask, kDescending.bytes + key, kStep);
  word ^= mask;
  std::memcpy(out + i, &word, kStep);
  return word;
}

}  // namespace

void ScrambleBlock(uint8_t* block, size_t length) {
  size_t key = KeyStart(length);
  size_t i = 0;
  for (; i + kStep <= length; i += kStep, key = (key + kStep) & 255)
    ScrambleStep(block, block, i, key);
  for (; i < length; ++i, ++key) block[i] ^= kDescending.bytes[key];
}

void ScrambleCopy(uint8_t* out, const uint8_t* in, size_t length) {
  // One pass: the reader takes texts from the file image into the document's storage this way.
  size_t key = KeyStart(length);
  size_t i = 0;
  for (; i + kStep <= length; i += kStep, key = (key + kStep) & 255) ScrambleStep(out, in, i, key);
  for (; i < length; ++i, ++key) out[i] = static_cast<uint8_t>(in[i] ^ kDescending.bytes[key]);
}

namespace {

// The text length of a block unscrambled into `out` (which may be `in`): the offset of the first
// zero byte, found within the same pass, or `length` when there is none.
size_t UnscrambleMeasured(uint8_t* out, const uint8_t* in, size_t length) {
  size_t key = KeyStart(length);
  size_t text = length;
  size_t i = 0;
  for (; i + kStep <= length; i += kStep, key = (key + kStep) & 255) {
    const Bytes16 word = ScrambleStep(out, in, i, key);
    if (text != length) continue;
    const Bytes16 zeros = word == 0;  // 0xFF where a byte is zero
    uint64_t halves[2];
    std::memcpy(halves, &zeros, sizeof halves);
    if ((halves[0] | halves[1]) == 0) continue;
    for (size_t j = i; text == length; ++j) {
      if (out[j] == 0) text = j;
    }
  }
  for (; i < length; ++i, ++key) {
    out[i] = static_cast<uint8_t>(in[i] ^ kDescending.bytes[key]);
    if (out[i] == 0 && text == length) text = i;
  }
  return text;
}

}  // namespace

size_t UnscrambleText(uint8_t* block, size_t length) {
  return UnscrambleMeasured(block, block, length);
}

size_t UnscrambleCopyText(uint8_t* out, const uint8_t* in, size_t length) {
  return UnscrambleMeasured(out, in, length);
}
