// Runs the built dlgtool as a separate process, as a build pipeline does, and collects what it
// printed and its exit status.
#pragma once

#include <string>
#include <vector>

namespace dlgtooltest {

struct ToolRun {
  int status = -1;  // exit status; -1 when the process did not exit normally
  std::string out;
  std::string err;
};

// Runs `program args...` (a path, or a name found on PATH) with `cwd` as its current directory.
ToolRun RunProgram(const std::string& cwd, const std::string& program,
                   const std::vector<std::string>& args);

// Runs `dlgtool args...` with `cwd` as its current directory.
ToolRun RunDlgtool(const std::string& cwd, const std::vector<std::string>& args);

}  // namespace dlgtooltest
