#include "platform/status.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <string>
#include <vector>

#include "platform/debug_output.h"

namespace {

TEST(Status, TextJoinsMessageReasonAndPosition) {
  EXPECT_EQ(platform::Status::Ok().Text(), "");
  EXPECT_EQ(platform::Status::Failure("cannot write", ENOSPC).Text(),
            "cannot write: No space left on device");
  EXPECT_EQ(platform::Status::Failure("unknown escape").AtLine(18, 16).Text(),
            "unknown escape (line 18, column 16)");
  EXPECT_EQ(platform::Status::Failure("bad record").AtOffset(152).Text(),
            "bad record (at byte 152)");
  EXPECT_EQ(platform::Status::Failure("", EACCES).Text(), "Permission denied");
}

TEST(Status, LastDiagnosticKeepsTheLineAndItsErrnoAndPassesEveryLineOn) {
  std::vector<std::string> seen;
  const platform::DebugSink outer =
      platform::SetDebugSink([&seen](const std::string& line) { seen.push_back(line); });
  platform::Status status;
  {
    platform::LastDiagnostic last;
    errno = EIO;
    platform::DebugOutput("first\n");
    errno = ENOSPC;
    platform::DebugOutput("X::Y() Error (2) : %s\n", "full");
    errno = 0;
    status = last.ToStatus("fallback");
  }
  platform::DebugOutput("after\n");
  platform::SetDebugSink(outer);
  EXPECT_EQ(status.message, "X::Y() Error (2) : full");
  EXPECT_EQ(status.systemError, ENOSPC);
  EXPECT_EQ(seen, (std::vector<std::string>{"first\n", "X::Y() Error (2) : full\n", "after\n"}));
}

}  // namespace
