#include "platform/status.h"

#include <cerrno>
#include <cstring>
#include <utility>


namespace platform {

Status Status::Failure(std::string message, int systemError) {
  Status status;
  status.ok = false;
  status.message = std::move(message);
  status.systemError = systemError;
  return status;
}

Status Status::SystemFailure(std::string message) {
  return Failure(std::move(message), errno);
}

Status& Status::AtOffset(int64_t byteOffset) {
  offset = byteOffset;
  return *this;
}

Status& Status::AtLine(int lineNumber, int columnNumber) {
  line = lineNumber;
  column = columnNumber;
  return *this;
}

std::string Status::Reason() const {
  return systemError != 0 ? std::string(std::strerror(systemError)) : std::string();
}

std::string Status::Text() const {
  if (ok) return std::string();
  std::string text = message;
  if (systemError != 0) text += (text.empty() ? "" : ": ") + Reason();
  std::string where;
  if (line > 0) {
    where = "line " + std::to_string(line);
    if (column > 0) where += ", column " + std::to_string(column);
  } else if (offset >= 0) {
    where = "at byte " + std::to_string(offset);
  }
  if (!where.empty()) text += (text.empty() ? "(" : " (") + where + ")";
  return text;
}

}  // namespace platform
