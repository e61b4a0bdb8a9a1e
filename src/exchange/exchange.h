// Translation exchange: a document to and from gettext PO, XLIFF 1.2 and CSV, matched by line ID.
// docs/exchange.md maps every field of every format.
//
// Export converts every text from the document's code page to UTF-8 and writes the file through
// the safe replace routine; a text the code page rejects names its ID and nothing is written.
// Import reads the whole file, checks all of it and converts every text before it changes the
// first line, so a malformed file, a repeated ID or an invalid encoding applies nothing.
#pragma once

#include <string>
#include <vector>

#include "exchange/exchange_units.h"
#include "model/dlg_file.h"
#include "platform/status.h"

namespace exchange {

// Files larger than this are refused before they are read.
inline constexpr long long kMaxImportBytes = 1LL << 30;

// .po, .xlf/.xliff, .csv, .xlsx (any letter case); false for other names.
[[nodiscard]] bool FormatFromPath(const std::string& path, Format& format);
// "po", "xliff"/"xlf", "csv", "xlsx"; false for other names.
[[nodiscard]] bool FormatFromName(const std::string& name, Format& format);

struct ExportOptions {
  std::string codeset;   // the document's code page; empty: the locale's
  std::string original;  // the .dlg file's path; its name goes into the file
  std::string sourceLang = "und";
  std::string targetLang = "und";
  const CDlgFile* translation = nullptr;  // fills the targets, matched by ID
  int xliffVersion = 0;  // XLIFF: 2 writes XLIFF 2.0; 1 or 0 (not chosen) writes 1.2
};

// Writes `doc` to `path` in `format`. False with `error` set (and `path` untouched) when a text is
// not valid in the code page, the code page is unknown, or the file cannot be written.
[[nodiscard]] bool ExportDocument(CDlgFile& doc, const std::string& path, Format format,
                                  const ExportOptions& options, std::string& error);
// The same with the reason as a Status (the errno of a failed write as its system error).
[[nodiscard]] bool ExportDocument(CDlgFile& doc, const std::string& path, Format format,
                                  const ExportOptions& options, platform::Status& status);

// Builds what the writers take; false with `error` as above. Exposed for the benchmarks.
// Writes `set` in `format` to `path` through the atomic replace (the old file stays on failure);
// `set` is released once its bytes are built. False with `error` set when the file cannot be written.
[[nodiscard]] bool WriteExchangeFile(ExportSet& set, const std::string& path, Format format,
                                     std::string& error);
// errno of this thread's last failed WriteExchangeFile (0 when it did not fail on a write).
int LastExchangeWriteErrno();
[[nodiscard]] bool CollectUnits(CDlgFile& doc, const ExportOptions& options, ExportSet& set,
                                std::string& error);

enum class Outcome { kApplied, kUntranslated, kFuzzy, kStale, kUnknown, kPlaceholders };

// Words used in reports and the import log: "applied", "untranslated", "fuzzy", "stale", "unknown",
// "placeholders".
const char* OutcomeName(Outcome outcome);

struct ImportReport {
  int applied = 0;
  int untranslated = 0;
  int fuzzy = 0;
  int stale = 0;
  int unknown = 0;
  int placeholders = 0;  // the target lacks or adds a placeholder of its source
  struct Note {
    int id;
    Outcome outcome;
    std::string target;  // the entry's translation in the document's code page (UTF-8 if not
                         // representable), for the log
  };
  std::vector<Note> notes;  // fuzzy, stale, unknown and placeholders entries, in file order
  std::vector<int> appliedIds;
  std::string error;        // set when nothing was applied because of a fault
  // The same fault as a value: the message names the file; line and column of a malformed file
  // or the line of the entry at fault; the errno of a failed read.
  platform::Status status;

  bool clean() const { return fuzzy == 0 && stale == 0 && unknown == 0 && placeholders == 0; }
};

// Applies the file's translations to `doc` by ID (see above). False, with report.error naming the
// file and, for a malformed file, its line and column, when nothing was applied.
[[nodiscard]] bool ImportDocument(CDlgFile& doc, const std::string& path, Format format,
                                  const std::string& codeset, ImportReport& report);

// The same, the reason also handed back as `status` (report.status), for the editor and dlgtool.
[[nodiscard]] bool ImportDocument(CDlgFile& doc, const std::string& path, Format format,
                                  const std::string& codeset, ImportReport& report,
                                  platform::Status& status);

// Same on bytes already read; `name` only appears in messages.
[[nodiscard]] bool ImportBytes(CDlgFile& doc, std::string_view data, const std::string& name,
                               Format format, const std::string& codeset, ImportReport& report);

// Reads a whole exchange file (files over kMaxImportBytes are refused unread).
[[nodiscard]] bool ReadExchangeFile(const std::string& path, std::string& data,
                                    std::string& error);

// The one-line summary: "applied: A, untranslated: U, fuzzy: F, stale: S, unknown: N", followed
// by ", placeholders: P" when P is not 0 (the line pipelines already parse stays as it was).
std::string SummaryLine(const ImportReport& report);

}  // namespace exchange
