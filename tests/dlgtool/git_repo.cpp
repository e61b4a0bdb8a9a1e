#include "git_repo.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>

namespace dlgtooltest {

namespace {

constexpr const char* kIsolated[] = {"GIT_CONFIG_GLOBAL", "GIT_CONFIG_NOSYSTEM", "HOME",
                                     "GIT_DIR", "GIT_WORK_TREE"};

}  // namespace

GitRepo::GitRepo() {
  for (const char* name : kIsolated) {
    const char* value = std::getenv(name);
    savedEnvironment_.emplace_back(name, value != nullptr ? value : std::string("\x01unset"));
  }
  setenv("GIT_CONFIG_GLOBAL", GlobalConfig().c_str(), 1);
  setenv("GIT_CONFIG_NOSYSTEM", "1", 1);
  setenv("HOME", home_.path().c_str(), 1);
  unsetenv("GIT_DIR");
  unsetenv("GIT_WORK_TREE");
  repo_ = home_.File("repo");
  mkdir(repo_.c_str(), 0700);
  EXPECT_EQ(Git({"init", "-q", "-b", "main"}).status, 0);
  EXPECT_EQ(Git({"config", "user.name", "Writer"}).status, 0);
  EXPECT_EQ(Git({"config", "user.email", "writer@parlatrix.invalid"}).status, 0);
}

GitRepo::~GitRepo() {
  for (const auto& [name, value] : savedEnvironment_) {
    if (value == "\x01unset") {
      unsetenv(name.c_str());
    } else {
      setenv(name.c_str(), value.c_str(), 1);
    }
  }
}

ToolRun GitRepo::Git(const std::vector<std::string>& args) const {
  return RunProgram(repo_, "git", args);
}

ToolRun GitRepo::Dlgtool(const std::vector<std::string>& args) const {
  return RunDlgtool(repo_, args);
}

void GitRepo::CommitAll(const std::string& message) const {
  ASSERT_EQ(Git({"add", "-A"}).status, 0);
  const ToolRun commit = Git({"commit", "-q", "-m", message});
  ASSERT_EQ(commit.status, 0) << commit.out << commit.err;
}

}  // namespace dlgtooltest
