// Scrambling of the .dlg format's record blocks: the editor's names for the one implementation
// that every reader of the format shares, the runtime's C decoding layer (src/runtime/prx_dlg.h),
// so that a change of the layout or of the key is made in one place. Sixteen bytes a step: texts
// are most of a file's bytes, and Load and Save scramble all of them.
#include "dlgfile/dlg_format.h"
#include "runtime/prx_dlg.h"

static_assert(kDlgScrambleKey == PRX__SCRAMBLE_KEY && kDlgIntKey == PRX__INT_KEY);

void ScrambleBlock(uint8_t* block, size_t length) {
  prx__scramble_copy(block, block, length);
}

void ScrambleCopy(uint8_t* out, const uint8_t* in, size_t length) {
  prx__scramble_copy(out, in, length);
}

size_t UnscrambleText(uint8_t* block, size_t length) {
  return prx__unscramble_text(block, block, length);
}

size_t UnscrambleCopyText(uint8_t* out, const uint8_t* in, size_t length) {
  return prx__unscramble_text(out, in, length);
}
