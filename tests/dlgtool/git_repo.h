// A real git repository in a temporary folder, for the tests of dlgtool's git support. The
// process's git configuration is isolated for the fixture's lifetime (no system file, a global
// file inside the folder), so that neither the tests nor the dlgtool processes they start read or
// write the user's own configuration.
#pragma once

#include <string>
#include <vector>

#include "support/temp_dir.h"
#include "tool_run.h"

namespace dlgtooltest {

class GitRepo {
 public:
  GitRepo();
  ~GitRepo();
  GitRepo(const GitRepo&) = delete;
  GitRepo& operator=(const GitRepo&) = delete;

  const std::string& path() const { return repo_; }
  std::string File(const std::string& name) const { return repo_ + "/" + name; }
  std::string GlobalConfig() const { return home_.File("gitconfig"); }

  // `git args...` in the repository.
  ToolRun Git(const std::vector<std::string>& args) const;
  // `dlgtool args...` in the repository.
  ToolRun Dlgtool(const std::vector<std::string>& args) const;
  // Adds every change and commits it; fails the test when git does.
  void CommitAll(const std::string& message) const;

 private:
  TempDir home_;
  std::string repo_;
  std::vector<std::pair<std::string, std::string>> savedEnvironment_;
};

}  // namespace dlgtooltest
