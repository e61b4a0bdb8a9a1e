#include "platform/debug_output.h"

#include <gtest/gtest.h>

#include "support/debug_capture.h"

namespace {

TEST(DebugOutput, SinkReceivesTheFormattedTextExactly) {
  DebugCapture capture;
  platform::DebugOutput("CDlgFile::ReadItem() Error (1) : Index is invalid or overflow(%d)!\n", -1);
  platform::DebugOutput("no line break");
  platform::DebugOutput("%s", std::string(5000, 'x').c_str());
  ASSERT_EQ(capture.lines().size(), 3u);
  EXPECT_EQ(capture.lines()[0],
            "CDlgFile::ReadItem() Error (1) : Index is invalid or overflow(-1)!\n");
  EXPECT_EQ(capture.lines()[1], "no line break");
  EXPECT_EQ(capture.lines()[2].size(), 5000u);
}

TEST(DebugOutput, CaptureRestoresThePreviousSink) {
  DebugCapture outer;
  {
    DebugCapture inner;
    platform::DebugOutput("inner");
    EXPECT_EQ(inner.lines().size(), 1u);
  }
  platform::DebugOutput("outer");
  ASSERT_EQ(outer.lines().size(), 1u);
  EXPECT_EQ(outer.lines()[0], "outer");
}

}  // namespace
