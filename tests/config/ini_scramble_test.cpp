#include "config/ini_scramble.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <climits>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "config/speaker_config.h"
#include "support/temp_dir.h"

namespace {

const std::string kExamplePath = PARLATRIX_SOURCE_DIR "/examples/Parlatrix.ini";

TEST(IniScramble, WritesMarkerThenEveryByteXorKeyWithCrLfAsLf) {
  std::string scrambled;
  std::string error;
  ASSERT_TRUE(ScrambleIniText("A=1\r\n", scrambled, error));
  EXPECT_EQ(scrambled, "\x80\xBE\xC2\xCE\xF5");
}

TEST(IniScramble, RefusesWhatCannotBeScrambledFaithfully) {
  std::string scrambled = "kept";
  std::string error;
  EXPECT_FALSE(ScrambleIniText("\x80[A]", scrambled, error));
  EXPECT_NE(error.find("0x80"), std::string::npos);
  EXPECT_FALSE(ScrambleIniText(std::string("A=\0", 3), scrambled, error));
  EXPECT_NE(error.find("offset 2"), std::string::npos);
  EXPECT_FALSE(ScrambleIniText("A=\xFF", scrambled, error));
  EXPECT_NE(error.find("0xFF"), std::string::npos);
  EXPECT_EQ(scrambled, "kept");
}

TEST(IniUnscramble, GivesTheContentUpToAStoredFF) {
  std::string plain;
  std::string error;
  ASSERT_TRUE(UnscrambleIniText("\x80\xBE\xC2\xCE\xF5\xFF\xBE", plain, error));
  EXPECT_EQ(plain, "A=1\n");
  EXPECT_FALSE(UnscrambleIniText("A=1", plain, error));
  EXPECT_FALSE(UnscrambleIniText("", plain, error));
}

TEST(IniScramble, ExampleRoundTrips) {
  const std::string example = ReadFileBytes(kExamplePath);
  std::string scrambled;
  std::string plain;
  std::string error;
  ASSERT_TRUE(ScrambleIniText(example, scrambled, error)) << error;
  ASSERT_TRUE(UnscrambleIniText(scrambled, plain, error)) << error;
  EXPECT_EQ(plain, example);
}

// The command, built beside the test binary: <build>/tools/parlatrix-ini-scramble.
std::string ToolPath() {
  char self[PATH_MAX] = {};
  const ssize_t length = readlink("/proc/self/exe", self, sizeof(self) - 1);
  if (length <= 0) return "";
  const auto build = std::filesystem::path(std::string(self, length)).parent_path().parent_path();
  return (build / "tools" / "parlatrix-ini-scramble").string();
}

int RunTool(const std::string& arguments) {
  const std::string command = "'" + ToolPath() + "' " + arguments + " 2>/dev/null";
  const int status = std::system(command.c_str());
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

class IniScrambleCommand : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!FileExists(ToolPath())) GTEST_SKIP() << "parlatrix-ini-scramble is not built";
  }
  TempDir dir_;
};

TEST_F(IniScrambleCommand, ScrambledExampleLoadsTheSameSpeakers) {
  const std::string out = dir_.File("Parlatrix.ini");
  ASSERT_EQ(RunTool("'" + kExamplePath + "' '" + out + "'"), 0);
  EXPECT_EQ(ReadFileBytes(out)[0], '\x80');
  CQHList<SpeakerEntry> scrambled;
  CQHList<SpeakerEntry> plain;
  ASSERT_TRUE(LoadSpeakerConfigFrom(out.c_str(), scrambled));
  ASSERT_TRUE(LoadSpeakerConfigFrom(kExamplePath.c_str(), plain));
  ASSERT_EQ(scrambled.GetCount(), 2);
  auto* a = scrambled.GetHeadPosition();
  auto* b = plain.GetHeadPosition();
  while (a != nullptr && b != nullptr) {
    EXPECT_EQ(scrambled.GetNext(a).name, plain.GetNext(b).name);
  }
}

TEST_F(IniScrambleCommand, UnscrambleGivesThePlainFileBack) {
  const std::string scrambled = dir_.File("s.ini");
  const std::string plain = dir_.File("p.ini");
  ASSERT_EQ(RunTool("'" + kExamplePath + "' '" + scrambled + "'"), 0);
  ASSERT_EQ(RunTool("--unscramble '" + scrambled + "' '" + plain + "'"), 0);
  EXPECT_EQ(ReadFileBytes(plain), ReadFileBytes(kExamplePath));
}

TEST_F(IniScrambleCommand, FailuresHaveTheirExitStatus) {
  EXPECT_EQ(RunTool(""), 2);
  EXPECT_EQ(RunTool("a b c"), 2);
  EXPECT_EQ(RunTool("'" + dir_.File("none.ini") + "' '" + dir_.File("out.ini") + "'"), 1);
  EXPECT_EQ(RunTool("--unscramble '" + kExamplePath + "' '" + dir_.File("out.ini") + "'"), 1);
  EXPECT_FALSE(FileExists(dir_.File("out.ini")));
}

}  // namespace
