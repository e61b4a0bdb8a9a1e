// Writing a merge result. The merged file is written straight from the snapshot, without building
// a CDlgFile line by line first: for a script of 100 000 lines that build and its release cost
// more than the merge itself.
//
// The snapshot goes to the one writer of the layout (dlgfile/dlg_layout_writer.h), the one
// CDlgFile::Save uses, so the bytes, the replacement of the file (temporary file, sync, rename)
// and the diagnostics are exactly those of Save for the document BuildDocument makes of the
// snapshot. Only a snapshot with a line without an ID (negative), to which BuildDocument gives a
// new one, is built into a document and saved.
#pragma once

#include <cstdio>

#include "merge/dlg_merge.h"
#include "platform/status.h"

// Ok when the file was written; on failure (the reason as Save gives it) the old file, if any, is
// unchanged.
[[nodiscard]] platform::Status SaveMergedDocument(const MergeDocument& merged, const char* path);

// The same bytes written to an open stream (no file, no sync), for a pipe or a memory stream.
// kNotTaken, with nothing written, for a snapshot whose save reports something on the way (a
// negative or repeated ID, a text over 4095 bytes, a file past 2 GiB): write it with
// SaveMergedDocument instead. kFailed when the stream failed or memory ran out on the way.
enum class MergedWrite { kWritten, kNotTaken, kFailed };
[[nodiscard]] MergedWrite WriteMergedDocument(const MergeDocument& merged, std::FILE* stream);
