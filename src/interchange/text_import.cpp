#include "interchange/text_import.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstring>
#include <string_view>

#include "interchange/import_parser.h"
#include "interchange/text_stream.h"
#include "model/dlg_file.h"
#include "platform/debug_output.h"
#include "platform/file_io.h"
#include "platform/file_read.h"
#include "platform/line_breaks.h"

namespace {

// Empties an existing log at the start of every import; a missing log is not created.
void EmptyImportLog(const char* logPath) {
  struct stat info;
  if (stat(logPath, &info) != 0 || !S_ISREG(info.st_mode)) return;
  if (truncate(logPath, 0) != 0) {
    // The log written at the end replaces it anyway, or fails the import.
  }
}

// Writes every unmatched entry as "<id>\n <text>\n" (text mode) into a new log that replaces the
// old one; `logged` counts them. True when there was nothing to write or the log is in place.
bool WriteWholeImportLog(interchange::ImportEntries& entries, long& logged, const char* logPath) {
  logged = 0;
  for (size_t k = 0; k < entries.Count(); ++k) {
    if (entries[k].target == nullptr) ++logged;
  }
  if (logged == 0 && !platform::IdentifyFile(logPath).exists) return true;
  // The null device takes the log away on purpose (--log /dev/null): nothing to replace there.
  if (platform::IsNullDevice(logPath)) return true;
  interchange::TextFileWriter log;
  return platform::ReplaceFile(logPath, [&](std::FILE* file) {
           log.Attach(file);
           for (size_t k = 0; k < entries.Count(); ++k) {
             const interchange::ImportEntry& entry = entries[k];
             if (entry.target != nullptr) continue;
             if (entry.id >= 0) {
               char digits[16];
               std::snprintf(digits, sizeof(digits), "%d", entry.id);
               log.Write(digits);
             } else {
               log.Write(entry.oversizeId.c_str());
             }
             log.Write("\n ");
             log.Write(entry.text.c_str());
             log.Write("\n");
           }
           return log.Detach();
         }) == platform::ReplaceResult::kReplaced;
}

enum class ParseResult { kDone, kOutOfMemory, kReadError };

// Reads exactly `lineCount` lines (the count taken before the file was opened) into entries.
// `at` is set to the 1-based line at which reading stopped.
ParseResult ParseImportFile(interchange::TextLineReader& reader, int lineCount,
                            const CDlgFile& document, interchange::ImportEntries& entries,
                            int& at) {
  interchange::ImportParser parser(document, entries);
  for (int i = 0; i < lineCount; ++i) {
    at = i + 1;
    const char* line = nullptr;
    size_t length = 0;
    switch (reader.NextLine(line, length)) {
      case interchange::TextLineReader::Result::kLine:
        break;
      case interchange::TextLineReader::Result::kOutOfMemory:
        return ParseResult::kOutOfMemory;
      case interchange::TextLineReader::Result::kReadError:
        return ParseResult::kReadError;
    }
    // A UTF-8 byte-order mark (as Windows editors write it) is no part of the first ID.
    if (i == 0 && length >= 3 && std::memcmp(line, "\xEF\xBB\xBF", 3) == 0) {
      line += 3;
      length -= 3;
    }
    // The empty line after the file's final LF is no text: it is the end of the file, and the
    // last entry ends as every other one does, with the empty line that export adds after it.
    if (i == lineCount - 1 && length == 0) break;
    if (!parser.TakeLine(line, length)) return ParseResult::kOutOfMemory;
  }
  return parser.Finish() ? ParseResult::kDone : ParseResult::kOutOfMemory;
}

}  // namespace

int FileGetLineCount(const char* path) {
  std::FILE* file = std::fopen(path, "rb");
  long long count = 1;
  bool readable = file != nullptr;
  if (readable) {
    char chunk[1 << 16];
    int64_t got = 0;
    while ((got = platform::ReadStream(file, chunk, sizeof(chunk))) > 0) {
      count += std::count(chunk, chunk + got, '\n');
    }
    readable = got == 0;
    const int reason = errno;
    std::fclose(file);
    errno = reason;
  }
  if (!readable) {
    platform::DebugOutput("FileGetLineCount() Error (0) : Cannot Open File named <%s>\n", path);
    return -1;
  }
  return count > INT_MAX ? INT_MAX : static_cast<int>(count);
}

int FileGetLineLength(std::FILE* file) {
  std::fpos_t start;
  if (std::fgetpos(file, &start) != 0) return 0;
  int length = 0;
  for (int c = platform::GetTextModeChar(file); c != EOF && c != '\n';
       c = platform::GetTextModeChar(file)) {
    if (length < INT_MAX) ++length;
  }
  std::clearerr(file);
  std::fsetpos(file, &start);
  return length;
}

void FileReadLine(std::FILE* file, char* buffer, int size) {
  const int room = buffer != nullptr ? size : 0;
  int stored = 0;
  for (int c = platform::GetTextModeChar(file); c != EOF && c != '\n';
       c = platform::GetTextModeChar(file)) {
    if (stored < room - 1) buffer[stored++] = static_cast<char>(c);
  }
  if (room > 0) buffer[stored] = 0;
}

bool IsAllDigits(const char* text) {
  if (text == nullptr || *text == 0) return false;
  for (; *text != 0; ++text) {
    if (*text < '0' || *text > '9') return false;
  }
  return true;
}

void WriteImportLog(const char* idDigits, const char* text) {
  interchange::TextFileWriter log;
  if (!log.Open(kImportLogName, true)) return;
  log.Write(idDigits);
  log.Write("\n ");
  log.Write(text);
  log.Write("\n");
  (void)log.Close();
}

void WriteImportLog(int id, const char* text) {
  char digits[16];
  std::snprintf(digits, sizeof(digits), "%d", id);
  WriteImportLog(digits, text);
}

bool CDlgFile::Import(const char* path) {
  ImportCounts counts;
  return ImportText(*this, path, counts);
}

ImportFileKind ProbeImportFile(const char* path) {
  std::FILE* file = platform::OpenRegularFileForReading(path);
  if (file == nullptr) {
    // A folder is reported as the missing file it is taken for; a pipe or device is named.
    struct stat info;
    const bool special = stat(path, &info) == 0 && !S_ISREG(info.st_mode) && !S_ISDIR(info.st_mode);
    return special ? ImportFileKind::kNoRegularFile : ImportFileKind::kUnreadable;
  }
  unsigned char head[2] = {};
  const size_t got = std::fread(head, 1, sizeof head, file);
  std::fclose(file);
  const bool utf16 =
      got == 2 && ((head[0] == 0xFF && head[1] == 0xFE) || (head[0] == 0xFE && head[1] == 0xFF));
  return utf16 ? ImportFileKind::kUtf16 : ImportFileKind::kText;
}

std::vector<int> LinesThePlainFormAlters(const CDlgFile& document) {
  std::vector<int> ids;
  for (auto* pos = document.GetLines().GetHeadPosition(); pos != nullptr; pos = pos->next) {
    const CDlgItem& line = pos->value;
    const std::string_view text(line.GetText().c_str(),
                                static_cast<size_t>(line.GetText().GetLength()));
    bool alters = !text.empty() && text.back() == '\n';
    for (size_t start = 0; !alters && start <= text.size();) {
      size_t end = text.find('\n', start);
      if (end == std::string_view::npos) end = text.size();
      std::string_view piece = text.substr(start, end - start);
      if (!piece.empty() && piece.back() == '\r') piece.remove_suffix(1);
      alters = piece == "*************" ||
               (!piece.empty() && piece.find_first_not_of("0123456789") == std::string_view::npos);
      start = end + 1;
    }
    if (alters) ids.push_back(line.GetID());
  }
  return ids;
}

bool ImportText(CDlgFile& document, const char* path, ImportCounts& counts, const char* logPath) {
  platform::Status status;
  return ImportText(document, path, counts, status, logPath);
}

// Every failure is reported twice: the described debug line (where there is one), and `status` in
// this layer's words (the file is the caller's to name). errno is taken before the debug line.
bool ImportText(CDlgFile& document, const char* path, ImportCounts& counts,
                platform::Status& status, const char* logPath) {
  status = platform::Status::Ok();
  switch (ProbeImportFile(path)) {
    case ImportFileKind::kUtf16:
      status = platform::Status::Failure("it is UTF-16 text; save it as UTF-8");
      platform::DebugOutput("CDlgFile::Import() : %s is UTF-16 text; save it as UTF-8.\n", path);
      return false;
    case ImportFileKind::kNoRegularFile:
      // A pipe could be read only once, and the import reads its file twice.
      status = platform::Status::Failure("it is no regular file (it is read twice)");
      platform::DebugOutput("CDlgFile::Import() : %s is no regular file.\n", path);
      return false;
    case ImportFileKind::kText:
    case ImportFileKind::kUnreadable:
      break;
  }
  // A regular file whose lines could not be counted had a read error: never an empty file. (One
  // that cannot be opened, or a folder, goes on to be reported as not found, as always.)
  const int lineCount = FileGetLineCount(path);
  struct stat info;
  if (lineCount < 0 && stat(path, &info) == 0 && S_ISREG(info.st_mode) && access(path, R_OK) == 0) {
    const int reason = errno;
    platform::DebugOutput("CDlgFile::Import() Error (1) : Read import file failed(%s).\n", path);
    errno = reason;
    return false;
  }
  EmptyImportLog(logPath);
  interchange::TextLineReader reader;
  if (!reader.Open(path)) {
    status = platform::Status::SystemFailure("cannot open the file");
    platform::DebugOutput("CDlgFile::Import() Error (0) : File not found(%s).\n", path);
    errno = status.systemError;
    return false;
  }
  // Parsing changes nothing; only when the whole file has been read are the texts put in place.
  interchange::ImportEntries entries;
  int at = 0;
  const ParseResult parsed = ParseImportFile(reader, lineCount, document, entries, at);
  const int readError = errno;
  reader.Close();
  if (parsed == ParseResult::kReadError) {
    status = platform::Status::Failure("cannot read the file", readError).AtLine(at);
    platform::DebugOutput("CDlgFile::Import() Error (1) : Read import file failed(%s).\n", path);
    errno = readError;
    return false;
  }
  if (parsed == ParseResult::kOutOfMemory) {
    status = platform::Status::Failure("not enough memory", ENOMEM).AtLine(at);
    platform::DebugOutput("CDlgFile::Import() Error (3) : Not enough memory(%s).\n", path);
    errno = ENOMEM;
    return false;
  }

  // The log is written before any text is put in place: a translation whose ID matches no line
  // exists only in the log, so when the log cannot be written the import fails and applies
  // nothing. It replaces the previous import's log (through a temporary file, so a killed import
  // leaves the old log whole); with nothing to log, an existing log is emptied and a missing one
  // is not created.
  ImportCounts applied;
  if (!WriteWholeImportLog(entries, applied.logged, logPath)) {
    status = platform::Status::SystemFailure(kImportLogFailure);
    platform::DebugOutput("CDlgFile::Import() Error (2) : Write import log failed(%s): %s.\n",
                          logPath, std::strerror(status.systemError));
    errno = status.systemError;
    return false;
  }
  // Swapping texts cannot fail, so the document takes every entry or none. When an ID occurs
  // more than once, its entries are applied in file order and the last one wins.
  for (size_t k = 0; k < entries.Count(); ++k) {
    interchange::ImportEntry& entry = entries[k];
    if (entry.target == nullptr) continue;
    entry.target->value.text.Swap(entry.text);
    ++applied.matched;
  }
  counts = applied;
  return true;
}

bool CDlgFile::Import(const char* path, platform::Status& status) {
  ImportCounts counts;
  return ImportText(*this, path, counts, status);
}
