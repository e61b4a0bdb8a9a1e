// Writing a merge result. The merged file is written straight from the snapshot, without building
// a CDlgFile line by line first: for a script of 100 000 lines that build and its release cost
// more than the merge itself.
//
// The bytes are exactly those CDlgFile::Save writes for the document BuildDocument makes of the
// snapshot, and the file is replaced the same way (temporary file, sync, rename). A snapshot that
// the direct writer does not take (a negative or repeated ID, a text over 4095 bytes, which Save
// warns about, or a file past 2 GiB) goes through BuildDocument and Save instead, so even their
// diagnostics stay the same.
#pragma once

#include <cstdio>

#include "merge/dlg_merge.h"
#include "platform/status.h"

// Ok when the file was written; on failure (the reason as Save gives it) the old file, if any, is
// unchanged.
[[nodiscard]] platform::Status SaveMergedDocument(const MergeDocument& merged, const char* path);

// The same bytes written to an open stream (no file, no sync), for a pipe or a memory stream.
// kNotTaken, with nothing written, for a snapshot that only Save writes (see above): write it
// with SaveMergedDocument instead. kFailed when the stream failed or memory ran out on the way.
enum class MergedWrite { kWritten, kNotTaken, kFailed };
[[nodiscard]] MergedWrite WriteMergedDocument(const MergeDocument& merged, std::FILE* stream);
