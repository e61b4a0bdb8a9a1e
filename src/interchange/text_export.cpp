// CDlgFile::Export: the texts of every plot's lines as a text file with CR LF line ends.
//
// Translation form (singleLine false), per plot:
//   *************            13 asterisks
//   <id>                     "%d", for each member line in plot order
//   <text line 1>            the text, each CR LF inside it ending one file line
//   ...
//   <empty line>
// Recording form (singleLine true), per member line: <id> TAB <text, each CR LF as TAB>. No
// separators, no empty lines. Every LF is stored as CR LF (text_stream.h); any other byte of a
// text, a lone CR included, is written as the document holds it.
//
// The export is written through platform::ReplaceFile, so a killed export or a full disk leaves the
// old file. It never replaces a dialogue file: neither the document's own file nor any file that
// starts with the dialogue file header (two names swapped on a command line would otherwise empty
// the .dlg).
#include <cerrno>
#include <charconv>
#include <cstdio>
#include <cstring>

#include "dlgfile/dlg_format.h"
#include "interchange/text_stream.h"
#include "model/dlg_file.h"
#include "platform/debug_output.h"
#include "platform/file_io.h"
#include "platform/file_read.h"
#include "platform/line_breaks.h"

namespace {

constexpr char kSeparatorLine[] = "*************\n";

// Writes `text` with every CR LF pair, scanning from the start, replaced by `lineBreak`.
void WriteTextReplacingBreaks(interchange::TextFileWriter& out, const CPlainString& text,
                              char lineBreak) {
  const std::string_view bytes(text.c_str(), static_cast<size_t>(text.GetLength()));
  platform::ReplaceCrLf(bytes, std::string_view(&lineBreak, 1),
                        [&out](const char* data, size_t size) { out.Write(data, size); });
}

// True when the file at `path` begins with the section tag and signature of a dialogue file.
bool HoldsDialogueHeader(const char* path) {
  std::FILE* file = platform::OpenRegularFileForReading(path);
  if (file == nullptr) return false;
  char head[kDlgSignatureOffset + kDlgSignatureSize] = {};
  const size_t got = std::fread(head, 1, sizeof head, file);
  std::fclose(file);
  return got == sizeof head && std::memcmp(head, kDlgSectionTag, sizeof kDlgSectionTag) == 0 &&
         std::memcmp(head + kDlgSignatureOffset, kDlgSignature, sizeof kDlgSignature) == 0;
}

}  // namespace

bool CDlgFile::Export(const char* path, bool singleLine) {
  platform::Status status;
  return Export(path, singleLine, status);
}

// Every failure is reported twice: the described debug lines, and `status` in this layer's words
// (the file is the caller's to name). errno is taken before the debug line, which may change it.
bool CDlgFile::Export(const char* path, bool singleLine, platform::Status& status) {
  status = platform::Status::Ok();
  if (platform::SameFile(platform::IdentifyFile(path), loadedFile) || HoldsDialogueHeader(path)) {
    status = platform::Status::Failure("it is a dialogue file; not replaced by an export");
    platform::DebugOutput("CDlgFile::Export() : %s is a dialogue file; it is not replaced.\n",
                          path);
    platform::DebugOutput("CDlgFile::Export() Error (0) : Create export file failed(%s).\n", path);
    return false;
  }
  interchange::TextFileWriter out;
  const platform::ReplaceResult result = platform::ReplaceFile(path, [&](std::FILE* file) {
    out.Attach(file);
    const char lineBreak = singleLine ? '\t' : '\n';
    const char* const lineEnd = singleLine ? "\n" : "\n\n";
    for (PlotPos plotPos = plots.GetHeadPosition(); plotPos != nullptr; plotPos = plotPos->next) {
      if (!singleLine) out.Write(kSeparatorLine);
      const CQHList<LinePos>& members = plotPos->value.members;
      for (auto* member = members.GetHeadPosition(); member != nullptr; member = member->next) {
        const CDlgItem& line = member->value->value;
        // The ID in decimal as "%d" writes it, then the break.
        char id[16];
        char* idEnd = std::to_chars(id, id + sizeof(id) - 1, line.id).ptr;
        *idEnd++ = lineBreak;
        out.Write(id, static_cast<size_t>(idEnd - id));
        WriteTextReplacingBreaks(out, line.text, lineBreak);
        out.Write(lineEnd);
      }
    }
    return out.Detach();
  });
  if (result == platform::ReplaceResult::kCreateFailed) {
    status = platform::Status::SystemFailure("cannot create the file");
    platform::DebugOutput("CDlgFile::Export() Error (0) : Create export file failed(%s).\n", path);
    errno = status.systemError;
    return false;
  }
  // A full disk or a failing device must not pass for a complete export.
  if (result != platform::ReplaceResult::kReplaced) {
    status = platform::Status::SystemFailure("cannot write the file");
    platform::DebugOutput("CDlgFile::Export() Error (1) : Write export file failed(%s).\n", path);
    errno = status.systemError;
    return false;
  }
  return true;
}
