// Opening documents for dlgtool, and where the core's diagnostics go.
#pragma once

#include <string>

#include "dlgfile/dlg_format.h"
#include "model/dlg_file.h"
#include "platform/file_io.h"

namespace dlgtool {

// The core reports on its debug output channel; dlgtool passes those lines to stderr, prefixed
// with its name. Inside a QuietDiagnostics scope they are dropped (unless verbose), because
// dlgtool reports those failures itself in its own words.
void InstallDiagnostics(bool verbose);

class QuietDiagnostics {
 public:
  QuietDiagnostics();
  ~QuietDiagnostics();
  QuietDiagnostics(const QuietDiagnostics&) = delete;
  QuietDiagnostics& operator=(const QuietDiagnostics&) = delete;
};

// A core failure's reason as dlgtool words it after its own message: the system's reason when a
// system call failed ("No space left on device"), else the core's message; the position in the
// input follows in brackets when there is one.
[[nodiscard]] std::string ReasonOf(const platform::Status& status);

// Reads the 132-byte header block over the defaults of a new header, as the reader does, so that
// a short file leaves defaults in place. False when the file cannot be opened as a regular file.
[[nodiscard]] bool ReadHeader(const char* path, DlgHeader& header);

// True when the tag and the signature are those the writer writes.
[[nodiscard]] bool HasDialogueSignature(const DlgHeader& header);

// True, after a message, when `out` holds a dialogue file or is `doc`'s own file: writing an export
// or a script there would destroy a dialogue file (names swapped on the command line). `what` names
// the output in the message ("an export", "a script").
[[nodiscard]] bool RefuseDialogueTarget(const std::string& out, const CDlgFile& doc,
                                        const char* what);

// Reads the header and loads the document. A file that does not carry the dialogue file's tag
// and signature is loaded all the same (the editor accepts it too) after a warning. False, with a
// message, when the file cannot be opened.
[[nodiscard]] bool LoadDocument(const char* path, CDlgFile& doc, DlgHeader& header);

// For commands that write over the file they read. Takes the advisory lock for the whole
// read-modify-write, loads, and refuses a damaged file: saving it would write back only the part
// that loaded. False, with a message, in every case where the command must stop (exit 2).
[[nodiscard]] bool LoadForInPlaceWrite(const char* path, CDlgFile& doc, DlgHeader& header,
                                       platform::FileLock& lock);

// Saves `doc` over the file it was loaded from, unless that file has changed since the load (a
// writer outside the lock, the editor). False, with a message, when nothing was saved.
[[nodiscard]] bool SaveInPlace(const char* path, CDlgFile& doc);

// Saves `doc` to `path`. A backup that an interrupted in-place save of that file left is kept and
// named in a message. False, with a message, when nothing was saved.
[[nodiscard]] bool SaveAs(const char* path, CDlgFile& doc);

}  // namespace dlgtool
