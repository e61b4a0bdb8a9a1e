// Text output of dlgtool. Results go to stdout, messages to stderr. Texts of the document are
// bytes in the user's code page and pass through unchanged, except the bytes that would break the
// one-line-per-item layout, which are escaped.
#pragma once

#include <cstdio>
#include <string>
#include <string_view>

namespace dlgtool {

inline constexpr char kProgram[] = "dlgtool";

// Appends `text` escaped by the one rule of the text forms (platform/text_escape.h): backslash,
// TAB, CR and LF as \\ \t \r \n, every other byte below 0x20 (and 0x7F) as \xHH.
void AppendEscaped(std::string& out, std::string_view text);
// The same between double quotes, with a double quote written as \".
void AppendQuoted(std::string& out, std::string_view text);

// A plot's ID range, upper end exclusive: "[0, 50)", "[100, *)" or "[*, 50)" for one missing
// bound (negative), "none" for two.
std::string RangeText(int low, int high);

// Writes `text` to stdout as it is.
void PrintResult(std::string_view text);
// Flushes stdout before a message on stderr, so that the two keep their order; a failure is
// remembered for FinishOutput.
void FlushOutput();
// The reason a system call just failed (strerror of errno), for messages.
const char* Reason();

// Flushes stdout at exit. A result that did not reach its reader (a full disk, a closed pipe, a
// /dev/full) is a failure like a file that cannot be written: a message, and exit status 2 in
// place of `status`.
[[nodiscard]] int FinishOutput(int status);

// "dlgtool: <text>\n" on stderr.
void Message(const char* format, ...) __attribute__((format(printf, 1, 2)));

}  // namespace dlgtool
