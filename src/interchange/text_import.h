// Text import helpers: line counting and reading of text files, and the import log.
//
// The import file and the log are text files with CR LF line ends. The stream functions here read
// a FILE* opened in binary mode and translate as a Windows text-mode stream would: a CR LF pair is
// one LF, every other byte (a lone CR included) is itself. CDlgFile::Import (text_import.cpp)
// reads its file with one buffered pass per line (text_stream.h) and gets the same lines.
#pragma once

#include <cstdio>
#include <vector>

#include "platform/status.h"

class CDlgFile;

// The log of imported texts whose ID matched no line, in the current directory.
inline constexpr char kImportLogName[] = "Parlatrix.log";

// The number of LFs in the file, plus one; -1 when the file cannot be opened or read (reported on
// the debug output). Files with more lines than an int holds count as INT_MAX.
[[nodiscard]] int FileGetLineCount(const char* path);

// The number of characters before the next LF or the end of the file, as text mode reads them
// (a CR LF pair ending the line is not counted). The read position is left where it was.
[[nodiscard]] int FileGetLineLength(std::FILE* file);

// Reads up to and including the next LF, or to the end of the file, and stores at most size - 1
// characters of the line, without the LF, followed by a zero byte. Characters beyond the buffer
// are read and dropped. With size < 1 nothing is stored.
void FileReadLine(std::FILE* file, char* buffer, int size);

// True when the text is not empty and every byte is an ASCII digit 0 to 9.
[[nodiscard]] bool IsAllDigits(const char* text);

// Appends "<id>\n <text>\n" to the log (text mode: every LF stored as CR LF), creating it when
// missing. When the log cannot be written the entry is dropped silently.
void WriteImportLog(int id, const char* text);
// The same, with the ID as written in the import file (an ID too large for an int).
void WriteImportLog(const char* idDigits, const char* text);

// What one import did: entries whose text went into a line, and entries written to the log.
struct ImportCounts {
  long matched = 0;
  long logged = 0;
};

// CDlgFile::Import, also counting where the entries went. The counts are set only on success.
// `logPath` is where unmatched entries go (kImportLogName, in the current folder, by default).
// A UTF-8 byte-order mark at the start is skipped; a UTF-16 file and a file that is no regular
// file (a pipe would be read twice) are refused with a debug line.
[[nodiscard]] bool ImportText(CDlgFile& document, const char* path, ImportCounts& counts,
                              const char* logPath = kImportLogName);
// The same, with the reason of a failure in `status` (a read error names its line). A failure to
// write the log carries kImportLogFailure as its message: the file at fault is then the log.
[[nodiscard]] bool ImportText(CDlgFile& document, const char* path, ImportCounts& counts,
                              platform::Status& status, const char* logPath = kImportLogName);
inline constexpr char kImportLogFailure[] = "cannot write the log of unmatched texts";

// What an import file is, before it is read: the callers name the reason in their own words.
enum class ImportFileKind { kText, kUtf16, kNoRegularFile, kUnreadable };
[[nodiscard]] ImportFileKind ProbeImportFile(const char* path);

// Texts the plain translation form cannot carry back as they are: an inner line of digits only
// (read back as a new ID), a line of 13 asterisks (a plot separator), a trailing line break (taken
// for the empty line that ends an entry). The IDs of such lines, in document order.
[[nodiscard]] std::vector<int> LinesThePlainFormAlters(const CDlgFile& document);
