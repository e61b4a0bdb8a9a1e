#include "git_context.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

#include "output.h"

namespace dlgtool {

GitRun RunGit(const std::vector<std::string>& args, bool quiet) {
  GitRun run;
  int pipeEnds[2];
  if (pipe(pipeEnds) != 0) return run;
  std::vector<char*> argv;
  argv.push_back(const_cast<char*>("git"));
  for (const std::string& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
  argv.push_back(nullptr);
  FlushOutput();
  const pid_t child = fork();
  if (child == 0) {
    dup2(pipeEnds[1], 1);
    const int null = quiet ? open("/dev/null", O_WRONLY) : -1;
    if (null >= 0) dup2(null, 2);
    close(pipeEnds[0]);
    close(pipeEnds[1]);
    execvp("git", argv.data());
    _exit(127);
  }
  close(pipeEnds[1]);
  char buffer[4096];
  ssize_t got = 0;
  while ((got = read(pipeEnds[0], buffer, sizeof buffer)) > 0 || (got < 0 && errno == EINTR)) {
    if (got > 0) run.out.append(buffer, static_cast<size_t>(got));
  }
  close(pipeEnds[0]);
  int status = 0;
  if (child > 0 && waitpid(child, &status, 0) == child && WIFEXITED(status)) {
    run.status = WEXITSTATUS(status);
  }
  return run;
}

namespace {

bool Exists(const std::string& path) {
  struct stat info;
  return lstat(path.c_str(), &info) == 0;
}

// A value git substituted; an older git passes an unknown placeholder such as "%X" as it is.
bool Given(const std::string& value) {
  return !value.empty() && !(value.size() == 2 && value[0] == '%');
}

}  // namespace

GitContext DetectGitContext() {
  GitContext git;
  const GitRun run = RunGit({"rev-parse", "--git-dir", "--git-common-dir"}, true);
  if (run.status != 0) return git;
  const size_t split = run.out.find('\n');
  if (split == std::string::npos) return git;
  git.gitDir = run.out.substr(0, split);
  git.commonDir = run.out.substr(split + 1);
  while (!git.commonDir.empty() && git.commonDir.back() == '\n') git.commonDir.pop_back();
  if (git.gitDir.empty() || git.commonDir.empty()) return git;
  git.inRepository = true;
  const char* index = std::getenv("GIT_INDEX_FILE");
  const std::string indexFile =
      index != nullptr && *index != '\0' ? std::string(index) : git.gitDir + "/index";
  git.workTreeMerge = Exists(indexFile + ".lock");
  if (Exists(git.gitDir + "/rebase-merge") || Exists(git.gitDir + "/rebase-apply")) {
    git.operation = "rebase";
  } else if (Exists(git.gitDir + "/CHERRY_PICK_HEAD")) {
    git.operation = "cherry-pick";
  } else if (Exists(git.gitDir + "/REVERT_HEAD")) {
    git.operation = "revert";
  } else if (const char* action = std::getenv("GIT_REFLOG_ACTION");
             action != nullptr && std::string(action).rfind("merge ", 0) == 0) {
    git.operation = "merge";
    git.mergedName = std::string(action).substr(6);
  }
  return git;
}

SideNames NameSides(const GitContext& git, const std::string& base, const std::string& ours,
                    const std::string& theirs) {
  SideNames names;
  if (git.operation == "rebase") {
    names = {"the replayed commit's parent", "upstream (the branch rebased onto)",
             "your commit being replayed"};
  } else if (git.operation == "merge") {
    names = {"the merge base", "HEAD (your branch)",
             git.mergedName.empty() ? "the merged branch" : git.mergedName};
  } else if (git.operation == "cherry-pick") {
    names = {"the picked commit's parent", "HEAD (your branch)", "the picked commit"};
  } else if (git.operation == "revert") {
    names = {"the reverted commit", "HEAD (your branch)", "the reverted commit's parent"};
  } else if (git.inRepository) {
    names = {"the common version", "HEAD (the commit checked out)",
             "your changes (the stash, or the work tree's changes of checkout -m)"};
  }
  if (Given(base)) names.base = base;
  if (Given(ours)) names.ours = ours;
  if (Given(theirs)) names.theirs = theirs;
  // Outside git, with no names given, the files' own roles say it all: no lines for them.
  if (!names.ours.empty() || !names.theirs.empty() || !names.base.empty()) {
    if (names.base.empty()) names.base = "BASE";
    if (names.ours.empty()) names.ours = "OURS";
    if (names.theirs.empty()) names.theirs = "THEIRS";
  }
  return names;
}

}  // namespace dlgtool
