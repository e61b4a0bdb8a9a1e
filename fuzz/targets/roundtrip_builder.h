// Builds a document from fuzz input, through the same operations the editor uses: plots added and
// deleted, lines added (with allocated or given IDs, after a chosen member), changed and deleted.
//
// Input layout: the game name (a string), three column options and the multi-line option (one
// byte each), then operations until the input ends. A string is a length byte and that many bytes;
// a length byte of 255 is followed by a 2-byte length for longer texts. Each operation is a byte
// whose value modulo 6 selects it:
//   0 add plot: name, range low, range high (a byte each; 255 means no bound)
//   1 add line to a plot: plot, ID (0xFFFF: allocate), after-member, four strings
//   2 add line to no plot: the same without plot and after-member
//   3 change a line: line, field, string
//   4 delete a line: line
//   5 delete a plot: plot
// Numbers that choose a plot, line or member are taken modulo the count. Given IDs stay below
// 4096 and unique (a taken one is allocated instead), so that entry k of the index is line k.
#pragma once

#include <cstddef>
#include <cstdint>

#include "model/dlg_file.h"

namespace fuzz {

struct BuildResult {
  bool orphans = false;  // some line belongs to no plot (it is saved but not loaded)
  int highestId = -1;
};

BuildResult BuildDocument(const uint8_t* data, size_t size, CDlgFile& doc);

}  // namespace fuzz
