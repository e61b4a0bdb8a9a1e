// One .dlg line record into a CDlgItem: the record walk of the runtime's C decoding layer
// (src/runtime/prx_dlg.h, prx__walk_record, lenient) and the texts decoded into the line. The one
// reader of a record for CDlgItem::Read (a record read from an open file), CDlgFile::Load (a
// record inside the file's image) and CDlgFile::ReadItem.
//
// A record is a plain 4-byte body length L followed by L body bytes. The parser never looks
// beyond the bytes it is given: a length that is negative or exceeds what is available rejects
// the record, and inside the body every field is taken only if it lies wholly before the body's
// end (a field that does not fit is left as it was).
#pragma once

#include <cstddef>
#include <cstdint>

#include "model/dlg_file.h"

enum class DlgRecordResult {
  kAccepted,
  kRejected,     // a length or field count that no record has; the line is unchanged
  kOutOfMemory,  // a text could not be stored; some fields may have been filled
};

// Parses the record at `data`, of which `available` bytes exist: the body length L, then L bytes.
// With an arena, the texts are stored there.
[[nodiscard]] DlgRecordResult ParseDlgRecord(const uint8_t* data, size_t available,
                                             CDlgItem& line, TextArena* arena = nullptr);
