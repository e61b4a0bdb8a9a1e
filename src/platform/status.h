// Why an operation failed, as a value.
//
// The core keeps reporting every failure on the debug output channel exactly as it always has
// (tests compare those lines byte for byte). Beside that, the entry points that a window or a
// command calls (Load, Save, Import, Export, the exchange and the merge) also hand the reason back
// as a Status, so that the caller can show it under its own message without capturing the
// channel. A Status holds:
//  - message: the failure in the words of the layer that found it, without a trailing line break
//    ("cannot write the temporary file", "unknown escape");
//  - systemError: the errno of the failed system call, 0 when none failed;
//  - position: where in the input the fault is, when it is in the input's bytes: a byte offset,
//    or a line and column of a text file (1-based; 0 when not known).
// Text() joins them into one line for people: "message: strerror (line 18, column 16)".
#pragma once

#include <cstdint>
#include <string>

namespace platform {

struct Status {
  bool ok = true;
  std::string message;
  int systemError = 0;
  int64_t offset = -1;  // byte offset in the file; -1 when none
  int line = 0;         // line of a text file, from 1; 0 when none
  int column = 0;       // column (byte) on that line, from 1; 0 when none

  [[nodiscard]] static Status Ok() { return Status(); }
  // A failure in the layer's words; `systemError` is errno when a system call failed.
  [[nodiscard]] static Status Failure(std::string message, int systemError = 0);
  // The same failure with errno as it is now as its system error.
  [[nodiscard]] static Status SystemFailure(std::string message);

  Status& AtOffset(int64_t byteOffset);
  Status& AtLine(int lineNumber, int columnNumber = 0);

  explicit operator bool() const { return ok; }

  // One line for people: the message, then ": " and the system's reason, then the position in
  // brackets. "" when ok.
  [[nodiscard]] std::string Text() const;
  // The system's reason alone (strerror of systemError), "" when there is none.
  [[nodiscard]] std::string Reason() const;
};

}  // namespace platform
