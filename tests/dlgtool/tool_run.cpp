#include "tool_run.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include "support/temp_dir.h"

namespace dlgtooltest {

ToolRun RunProgram(const std::string& cwd, const std::string& program,
                   const std::vector<std::string>& args) {
  // Output goes to files rather than pipes so that neither stream can fill up and block.
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

ToolRun RunDlgtool(const std::string& cwd, const std::vector<std::string>& args) {
  return RunProgram(cwd, DLGTOOL_PATH, args);
}

}  // namespace dlgtooltest
