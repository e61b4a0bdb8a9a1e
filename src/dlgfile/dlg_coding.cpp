// The byte-level primitives of the .dlg format: little-endian integers and scrambling. They live
// apart from the buffer helpers of dlg_format.cpp so that a reader without the editor's document
// model (the game-side runtime) links them alone.
#include "dlgfile/dlg_format.h"

void StoreLE32(uint8_t* at, int32_t value) {
  const uint32_t bits = static_cast<uint32_t>(value);
  at[0] = static_cast<uint8_t>(bits);
  at[1] = static_cast<uint8_t>(bits >> 8);
  at[2] = static_cast<uint8_t>(bits >> 16);
  at[3] = static_cast<uint8_t>(bits >> 24);
}

int32_t LoadLE32(const uint8_t* at) {
  const uint32_t bits = static_cast<uint32_t>(at[0]) | static_cast<uint32_t>(at[1]) << 8 |
                        static_cast<uint32_t>(at[2]) << 16 | static_cast<uint32_t>(at[3]) << 24;
  return static_cast<int32_t>(bits);
}

void ScrambleBlock(uint8_t* block, size_t length) {
  // Only the low byte of (len - i - K) matters, so unsigned wrap-around gives the mod 256.
  for (size_t i = 0; i < length; ++i) {
    block[i] ^= static_cast<uint8_t>(length - i - kDlgScrambleKey);
  }
}
