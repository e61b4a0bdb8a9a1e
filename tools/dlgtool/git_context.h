// What dlgtool learns from git when it runs as git's merge driver: the repository's folders,
// whether the merge is one in the work tree (git merge, rebase, cherry-pick, stash, checkout -m)
// or one that only writes objects (git merge-tree), and which operation runs, to name the sides.
#pragma once

#include <string>
#include <vector>

namespace dlgtool {

struct GitRun {
  int status = -1;  // git's exit status; 127 when git cannot be run, -1 when it did not exit
  std::string out;
};

// Runs git with `args`, collecting its stdout; its stderr goes to ours unless `quiet`.
GitRun RunGit(const std::vector<std::string>& args, bool quiet = false);

struct GitContext {
  bool inRepository = false;
  std::string gitDir;     // this work tree's git directory (index, MERGE_HEAD, rebase-merge/)
  std::string commonDir;  // the repository's shared git directory
  // True while git holds the index lock of this work tree: every command that merges into the
  // work tree does, `git merge-tree` does not.
  bool workTreeMerge = false;
  // "merge", "rebase", "cherry-pick", "revert" or "" (stash, checkout -m and the rest).
  std::string operation;
  std::string mergedName;  // the branch `git merge` merges, when git says
};

// Asks git about the current folder. Not in a repository (or no git): inRepository false.
GitContext DetectGitContext();

// Names of the sides for the report, from what git passed (%S, %X, %Y; an unexpanded "%X" of an
// older git counts as nothing) or else from the operation.
struct SideNames {
  std::string base, ours, theirs;
};
SideNames NameSides(const GitContext& git, const std::string& base, const std::string& ours,
                    const std::string& theirs);

}  // namespace dlgtool
