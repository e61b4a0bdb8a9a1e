// Parsing of one .dlg line record from memory, shared by CDlgItem::Read (a record read from an open
// file), CDlgFile::Load (a record inside the file's image) and so CDlgFile::ReadItem.
//
// A record is a plain 4-byte body length L followed by L body bytes. The parser never looks
// beyond the bytes it is given: a length that is negative or exceeds what is available rejects
// the record, and inside the body every field is taken only if it lies wholly before the body's
// end (a field that does not fit is left as it was).
#pragma once

#include <cstddef>
#include <cstdint>

#include "model/dlg_file.h"

// Parses a body of `length` bytes into `line`. False when the record is rejected: a field count
// outside 0..7 (the line is then unchanged) or no memory for a text.
[[nodiscard]] bool ParseDlgRecordBody(const uint8_t* body, int length, CDlgItem& line);

// Parses the record at `data`, of which `available` bytes exist. Returns L + 4, or -1 when the
// record is rejected.
[[nodiscard]] int ParseDlgRecord(const uint8_t* data, size_t available, CDlgItem& line);
