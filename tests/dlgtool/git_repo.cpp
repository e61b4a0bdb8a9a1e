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

ToolRun RunProgram(const std::string& cwd, const std::string& program,
                   const std::vector<std::string>& args) {
  TempDir capture;
  const std::string outPath = capture.File("stdout");
  const std::string errPath = capture.File("stderr");
  std::vector<char*> argv;
  argv.push_back(const_cast<char*>(program.c_str()));
  for (const std::string& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
  argv.push_back(nullptr);
  const pid_t child = fork();
  if (child == 0) {
    const int out = open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    const int err = open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    const int in = open("/dev/null", O_RDONLY);
    if (out < 0 || err < 0 || in < 0 || chdir(cwd.c_str()) != 0 || dup2(out, 1) < 0 ||
        dup2(err, 2) < 0 || dup2(in, 0) < 0) {
      _exit(127);
    }
    execvp(program.c_str(), argv.data());
    _exit(127);
  }
  ToolRun run;
  int status = 0;
  if (child < 0 || waitpid(child, &status, 0) != child) {
    ADD_FAILURE() << "cannot run " << program;
    return run;
  }
  run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  run.out = ReadFileBytes(outPath);
  run.err = ReadFileBytes(errPath);
  return run;
}

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
