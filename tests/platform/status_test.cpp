#include "platform/status.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <string>
#include <vector>


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

}  // namespace
