// The small helpers explain themselves: --help prints the usage on stdout with status 0, and an
// option is never taken for a file name.
#include <gtest/gtest.h>

#include <filesystem>

#include "dlgtool/tool_run.h"
#include "support/temp_dir.h"

namespace {

using dlgtooltest::RunProgram;

TEST(ToolsHelp, IniScrambleHelpIsUsageOnStdout) {
  TempDir temp;
  const auto run = RunProgram(temp.path(), INI_SCRAMBLE_PATH, {"--help"});
  EXPECT_EQ(run.status, 0);
  EXPECT_NE(run.out.find("usage: parlatrix-ini-scramble IN OUT"), std::string::npos) << run.out;
  EXPECT_EQ(run.err, "");
  // Wrong arguments still give the usage on stderr and status 2.
  const auto wrong = RunProgram(temp.path(), INI_SCRAMBLE_PATH, {"only-one"});
  EXPECT_EQ(wrong.status, 2);
  EXPECT_EQ(wrong.out, "");
  EXPECT_NE(wrong.err.find("usage:"), std::string::npos);
}

TEST(ToolsHelp, MakeDemoHelpWritesNoFile) {
  TempDir temp;
  const auto run = RunProgram(temp.path(), MAKE_DEMO_PATH, {"--help"});
  EXPECT_EQ(run.status, 0);
  EXPECT_NE(run.out.find("usage: parlatrix-make-demo [--english] OUT.dlg"), std::string::npos)
      << run.out;
  const auto typo = RunProgram(temp.path(), MAKE_DEMO_PATH, {"--hlep"});
  EXPECT_EQ(typo.status, 2);
  EXPECT_TRUE(std::filesystem::is_empty(temp.path()));
  const auto made = RunProgram(temp.path(), MAKE_DEMO_PATH, {"demo.dlg"});
  EXPECT_EQ(made.status, 0) << made.err;
  EXPECT_TRUE(std::filesystem::exists(temp.File("demo.dlg")));
}

}  // namespace
