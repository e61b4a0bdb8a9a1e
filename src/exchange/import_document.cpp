// Import by ID. Three passes, so that nothing is changed unless all of the file is good:
//  1. parse the whole file (a malformed file stops here, with its line and column);
//  2. check that no ID repeats, classify every entry and build each new text in the document's
//     code page (a translation the code page cannot hold stops here, naming the ID);
//  3. swap the built texts into their lines, which cannot fail.
#include <strings.h>
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <deque>
#include <memory>
#include <utility>

#include "exchange/codeset_probe.h"
#include "exchange/exchange.h"
#include "exchange/recoder.h"
#include "exchange/xlsx.h"
#include "platform/file_read.h"
#include "platform/page_buffer.h"

namespace exchange {
namespace {

bool EndsWith(const std::string& path, const char* suffix) {
  const size_t n = std::strlen(suffix);
  return path.size() > n && strcasecmp(path.c_str() + path.size() - n, suffix) == 0 &&
         path[path.size() - n - 1] != '/';
}

struct FileCloser {
  void operator()(std::FILE* file) const { std::fclose(file); }
};

// Reads the whole file into the memory `allocate` gives for its size (null: none to be had).
template <typename Allocate>
bool ReadWholeFileInto(const std::string& path, std::string& error, int* systemError,
                       Allocate allocate) {
  if (systemError != nullptr) *systemError = 0;
  // A FIFO or device is refused before it is opened for good: reading it could block or not end.
  std::unique_ptr<std::FILE, FileCloser> file(platform::OpenRegularFileForReading(path.c_str()));
  struct stat info;
  if (file == nullptr || fstat(fileno(file.get()), &info) != 0) {
    if (systemError != nullptr) *systemError = errno;
    error = path + ": cannot open the file: " + std::strerror(errno);
    return false;
  }
  if (info.st_size > kMaxImportBytes) {
    error = path + ": larger than 1 GiB; not read";
    return false;
  }
  const size_t size = static_cast<size_t>(info.st_size);
  char* data = allocate(size);
  if (data == nullptr && size > 0) {
    if (systemError != nullptr) *systemError = ENOMEM;
    error = path + ": out of memory";
    return false;
  }
  // A read error is never taken for a shorter (or empty) file.
  const int64_t got = platform::ReadStream(file.get(), data, size);
  if (got < 0) {
    if (systemError != nullptr) *systemError = errno;
    error = path + ": cannot read the file: " + std::strerror(errno);
    return false;
  }
  char more = 0;
  if (static_cast<size_t>(got) != size || platform::ReadStream(file.get(), &more, 1) != 0) {
    if (systemError != nullptr && std::ferror(file.get()) != 0) *systemError = errno;
    error = path + ": the file changed or could not be read while reading it" +
            (std::ferror(file.get()) != 0 ? std::string(": ") + std::strerror(errno) : "");
    return false;
  }
  return true;
}

bool ReadWholeFile(const std::string& path, std::string& data, std::string& error) {
  return ReadWholeFileInto(path, error, nullptr, [&data](size_t size) {
    data.resize(size);
    return data.data();
  });
}

// The file in pages of its own: a file of tens of megabytes gets huge pages (see
// platform::PageBuffer::AllocateHuge), and the buffer goes back to the system whole.
bool ReadWholeFile(const std::string& path, platform::PageBuffer& pages, std::string& error,
                   int* systemError) {
  constexpr size_t kHugeFrom = 8u << 20;
  return ReadWholeFileInto(path, error, systemError, [&pages](size_t size) -> char* {
    const bool given = size >= kHugeFrom ? pages.AllocateHuge(size) : pages.Allocate(size);
    return given ? reinterpret_cast<char*>(pages.data()) : nullptr;
  });
}

}  // namespace

bool FormatFromPath(const std::string& path, Format& format) {
  if (EndsWith(path, ".po")) {
    format = Format::kPo;
  } else if (EndsWith(path, ".xlf") || EndsWith(path, ".xliff")) {
    format = Format::kXliff;
  } else if (EndsWith(path, ".csv")) {
    format = Format::kCsv;
  } else if (EndsWith(path, ".xlsx")) {
    format = Format::kXlsx;
  } else {
    return false;
  }
  return true;
}

bool FormatFromName(const std::string& name, Format& format) {
  if (strcasecmp(name.c_str(), "po") == 0) {
    format = Format::kPo;
  } else if (strcasecmp(name.c_str(), "xliff") == 0 || strcasecmp(name.c_str(), "xlf") == 0) {
    format = Format::kXliff;
  } else if (strcasecmp(name.c_str(), "csv") == 0) {
    format = Format::kCsv;
  } else if (strcasecmp(name.c_str(), "xlsx") == 0) {
    format = Format::kXlsx;
  } else {
    return false;
  }
  return true;
}

const char* OutcomeName(Outcome outcome) {
  switch (outcome) {
    case Outcome::kApplied:
      return "applied";
    case Outcome::kUntranslated:
      return "untranslated";
    case Outcome::kFuzzy:
      return "fuzzy";
    case Outcome::kStale:
      return "stale";
    case Outcome::kUnknown:
      return "unknown";
    case Outcome::kPlaceholders:
      return "placeholders";
  }
  return "";
}

std::string SummaryLine(const ImportReport& report) {
  return "applied: " + std::to_string(report.applied) +
         ", untranslated: " + std::to_string(report.untranslated) +
         ", fuzzy: " + std::to_string(report.fuzzy) + ", stale: " + std::to_string(report.stale) +
         ", unknown: " + std::to_string(report.unknown) +
         (report.placeholders != 0 ? ", placeholders: " + std::to_string(report.placeholders)
                                   : std::string());
}

namespace {

// The form of the first line break among the document's texts ("\r\n", "\r", "\n"), for a
// translation that brings breaks to a line that has none; empty when no text has one. Looked for
// only when such a translation comes, once.
std::string DocumentLineBreak(CDlgFile& doc) {
  for (auto p = doc.GetLines().GetHeadPosition(); p != nullptr;) {
    const CPlainString& text = doc.GetLines().GetNext(p).text;
    const std::string_view bytes(text.c_str(), text.GetLength());
    const size_t at = FindLineBreak(bytes);
    if (at == std::string_view::npos) continue;
    if (bytes[at] == '\n') return "\n";
    return at + 1 < bytes.size() && bytes[at + 1] == '\n' ? "\r\n" : "\r";
  }
  return std::string();
}

}  // namespace

namespace {
// `owned`: the bytes of `data` when the reader may change them (parse in place), else null.
bool ImportParsed(CDlgFile& doc, std::string_view data, char* owned, const std::string& name,
                  Format format, const std::string& codeset, ImportReport& report);

bool ImportOwnedOrNot(CDlgFile& doc, std::string_view data, char* owned, const std::string& name,
                      Format format, const std::string& codeset, ImportReport& report) {
  report = ImportReport();
  const bool applied = ImportParsed(doc, data, owned, name, format, codeset, report);
  // A failure without a position of its own has the message alone.
  if (!applied && report.status.ok) report.status = platform::Status::Failure(report.error);
  return applied;
}
}  // namespace

bool ImportBytes(CDlgFile& doc, std::string_view data, const std::string& name, Format format,
                 const std::string& codeset, ImportReport& report) {
  return ImportOwnedOrNot(doc, data, nullptr, name, format, codeset, report);
}

namespace {

bool ImportParsed(CDlgFile& doc, std::string_view data, char* owned, const std::string& name,
                  Format format, const std::string& codeset, ImportReport& report) {
  Recoder recoder(codeset);
  if (!recoder.ok()) {
    report.error = "unknown encoding " + recoder.codeset();
    report.status = platform::Status::Failure(report.error);
    return false;
  }

  struct Change {
    LinePos line;
    CPlainString text;
  };
  // A deque: a built text is never copied or moved as more come.
  std::deque<Change> changes;
  // IDs with the line of their entry; repeats are looked for once the whole file is read.
  std::vector<std::pair<int, long>> ids;
  std::string bytes;
  std::string failed;        // the reason an entry stopped the import
  std::string failedStatus;  // the same without the line, which the Status carries apart
  long failedLine = 0;
  size_t entries = 0;
  std::string current;  // the line's text in UTF-8, when the code page is not UTF-8
  bool haveDocumentBreak = false;
  std::string documentBreak;
  // Each entry is classified as the reader hands it over and then dropped, so that the file's
  // entries are never all held at once; the document changes only after the whole file is read.
  const auto classify = [&](ImportUnit& unit) {
    ++entries;
    // An entry stands for its ID and, in a PO folded by msguniq, for the other IDs it references:
    // each is classified on its own, so a line whose text differs is reported, never skipped.
    for (size_t k = 0; k <= unit.moreIds.size(); ++k) {
      const int id = k == 0 ? unit.id : unit.moreIds[k - 1];
      const auto where = [&name, &unit, id] {
        return name + ":" + std::to_string(unit.line) + ": ID " + std::to_string(id);
      };
      ids.emplace_back(id, unit.line);
      const LinePos line = doc.FindItem(id);
      Outcome outcome = Outcome::kApplied;
      if (line == nullptr) {
        outcome = Outcome::kUnknown;
      } else if (unit.target.empty()) {
        outcome = Outcome::kUntranslated;
      } else if (unit.fuzzy) {
        outcome = Outcome::kFuzzy;
      } else {
        // Compared in the document's code page, line ends taken as one break.
        const CPlainString& text = doc.GetItem(line).text;
        const std::string_view now(text.c_str(), text.GetLength());
        if (recoder.identity()
                ? !SameText(now, unit.source)
                : !recoder.FromValidUtf8(unit.source, bytes) || !SameText(now, bytes)) {
          outcome = Outcome::kStale;
        } else if (!SamePlaceholders(unit.source, unit.target)) {
          outcome = Outcome::kPlaceholders;
        }
      }
      switch (outcome) {
        case Outcome::kApplied:
          ++report.applied;
          break;
        case Outcome::kUntranslated:
          ++report.untranslated;
          break;
        case Outcome::kFuzzy:
          ++report.fuzzy;
          break;
        case Outcome::kStale:
          ++report.stale;
          break;
        case Outcome::kUnknown:
          ++report.unknown;
          break;
        case Outcome::kPlaceholders:
          ++report.placeholders;
          break;
      }
      if (outcome == Outcome::kApplied) {
        report.appliedIds.push_back(id);
        if (!recoder.FromValidUtf8(unit.target, bytes)) {
          failed = where() + ": the translation cannot be written in " + recoder.codeset();
          failedStatus = name + ": ID " + std::to_string(id) +
                         ": the translation cannot be written in " + recoder.codeset();
          failedLine = unit.line;
          return false;
        }
        // The translation's line breaks as the line's text writes them now (in the code page,
        // where the file's source compares against the line's bytes).
        const CPlainString& text = doc.GetItem(line).text;
        const std::string_view now(text.c_str(), text.GetLength());
        std::string_view fileSource = unit.source;
        if (!recoder.identity()) {
          (void)recoder.FromValidUtf8(unit.source, current);  // converted above already
          fileSource = current;
        }
        if (!haveDocumentBreak && FindLineBreak(bytes) != std::string::npos &&
            FindLineBreak(now) == std::string_view::npos) {
          documentBreak = DocumentLineBreak(doc);
          haveDocumentBreak = true;
        }
        MatchLineBreaks(bytes, now, fileSource, documentBreak);
        changes.push_back(Change{line, CPlainString()});
        if (!changes.back().text.Assign(bytes.c_str(), static_cast<int>(bytes.size()))) {
          failed = "out of memory";
          return false;
        }
      } else if (outcome != Outcome::kUntranslated) {
        ImportReport::Note note{id, outcome, std::string()};
        if (!recoder.FromValidUtf8(unit.target, note.target)) note.target = unit.target;
        report.notes.push_back(std::move(note));
      }
    }
    return true;
  };
  const UnitSink sink = classify;
  std::vector<ImportUnit> units;
  ParseFailure failure;
  bool parsed = false;
  switch (format) {
    case Format::kPo:
      parsed = ReadPo(data, units, failure, nullptr, Keep::kTexts, &sink);
      break;
    case Format::kXliff:
      parsed = owned != nullptr ? ReadXliffInPlace(owned, data.size(), units, failure, nullptr,
                                                   Keep::kTexts, &sink)
                                : ReadXliff(data, units, failure, nullptr, Keep::kTexts, &sink);
      break;
    case Format::kCsv:
      parsed = ReadCsv(data, units, failure, &sink);
      break;
    case Format::kXlsx:
      parsed = ReadXlsx(data, units, failure, &sink);
      break;
  }
  for (ImportUnit& unit : units) {  // the readers that hand over all entries at once
    if (!parsed || !classify(unit)) break;
    unit = ImportUnit();  // release the texts as they are used
  }
  if (!failed.empty()) {
    const std::string error = failed;
    report = ImportReport();
    report.error = error;
    report.status =
        failedStatus.empty()
            ? platform::Status::Failure(error)
            : platform::Status::Failure(failedStatus).AtLine(static_cast<int>(failedLine));
    return false;
  }
  if (!parsed) {
    report = ImportReport();
    report.error = name + ":" + std::to_string(failure.line) + ":" +
                   std::to_string(failure.column) + ": " + failure.message;
    report.status = platform::Status::Failure(name + ": " + failure.message)
                        .AtLine(static_cast<int>(failure.line), static_cast<int>(failure.column));
    return false;
  }
  // One rule for every format: a file without a single entry is not a translation of anything
  // (an empty or truncated download, a header alone), never a successful import of nothing.
  if (entries == 0) {
    report = ImportReport();
    report.error = name + ": the file holds no entry";
    report.status = platform::Status::Failure(report.error);
    return false;
  }
  // An ID twice: the later entry is named.
  std::sort(ids.begin(), ids.end());
  for (size_t i = 1; i < ids.size(); ++i) {
    if (ids[i].first != ids[i - 1].first) continue;
    const std::string error = name + ":" + std::to_string(ids[i].second) + ": ID " +
                              std::to_string(ids[i].first) + " appears more than once";
    report = ImportReport();
    report.error = error;
    report.status = platform::Status::Failure(name + ": ID " + std::to_string(ids[i].first) +
                                              " appears more than once")
                        .AtLine(static_cast<int>(ids[i].second));
    return false;
  }
  ids = std::vector<std::pair<int, long>>();
  // A document in a legacy code page opened without --encoding makes every non-ASCII line look
  // stale; say which code page its texts are in rather than report them one by one.
  if (report.stale > 0 && codeset.empty()) {
    const CodesetProbe probe = ProbeCodeset(doc, codeset);
    if (!probe.valid) {
      report = ImportReport();
      report.error = name + ": the document's " + CodesetWarning(probe, codeset) +
                     "; its texts cannot be compared with the file's sources";
      report.status = platform::Status::Failure(report.error);
      return false;
    }
  }
  for (Change& change : changes) doc.GetItem(change.line).text.Swap(change.text);
  return true;
}

}  // namespace

bool ReadExchangeFile(const std::string& path, std::string& data, std::string& error) {
  return ReadWholeFile(path, data, error);
}

bool ImportDocument(CDlgFile& doc, const std::string& path, Format format,
                    const std::string& codeset, ImportReport& report) {
  report = ImportReport();
  platform::PageBuffer pages;
  int systemError = 0;
  if (!ReadWholeFile(path, pages, report.error, &systemError)) {
    report.status = platform::Status::Failure(report.error, systemError);
    return false;
  }
  // The file's bytes are this call's own: a reader may parse them in place.
  char* bytes = reinterpret_cast<char*>(pages.data());
  return ImportOwnedOrNot(doc, std::string_view(bytes, pages.size()), bytes, path, format, codeset,
                          report);
}

bool ImportDocument(CDlgFile& doc, const std::string& path, Format format,
                    const std::string& codeset, ImportReport& report, platform::Status& status) {
  const bool applied = ImportDocument(doc, path, format, codeset, report);
  status = applied ? platform::Status::Ok() : report.status;
  return applied;
}

}  // namespace exchange
