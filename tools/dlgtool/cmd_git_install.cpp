// dlgtool git-install [--global]: lets git diff and merge dialogue files through dlgtool.
//
// Writes to git's configuration (the repository's, or the user's with --global):
//   diff.parlatrix.textconv   = '<this dlgtool>' textconv
//   diff.parlatrix.xfuncname  = ^plot .*$        (hunk headers name the plot)
//   merge.parlatrix.name      = Parlatrix dialogue merge by line ID
//   merge.parlatrix.driver    = '<this dlgtool>' merge %O %A %B --path %P
// and adds `*.dlg diff=parlatrix merge=parlatrix` to the repository's .gitattributes when no line
// says so yet. Running it again changes nothing. git's configuration is not shared by cloning, so
// every writer runs it once; the .gitattributes line is committed and so shared.
#include <sys/wait.h>
#include <unistd.h>

#include <fcntl.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <string>
#include <vector>

#include "commands.h"
#include "output.h"
#include "platform/file_io.h"

namespace dlgtool {

namespace {

constexpr char kAttributesLine[] = "*.dlg diff=parlatrix merge=parlatrix";

struct GitRun {
  int status = -1;
  std::string out;
};

// Runs git with `args`, collecting its stdout; its stderr goes to ours unless `quiet`.
GitRun RunGit(const std::vector<std::string>& args, bool quiet = false) {
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

// The path of this executable, single-quoted for the shell through which git runs drivers.
std::string QuotedSelf() {
  char path[PATH_MAX];
  const ssize_t length = readlink("/proc/self/exe", path, sizeof path - 1);
  const std::string self = length > 0 ? std::string(path, static_cast<size_t>(length)) : kProgram;
  std::string out = "'";
  for (char c : self) out += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return out + "'";
}

bool HasAttributesLine(const std::string& text) {
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(start, end - start);
    while (!line.empty() && (line.back() == '\r' || line.back() == ' ' || line.back() == '\t')) {
      line.pop_back();
    }
    if (line == kAttributesLine) return true;
    start = end + 1;
  }
  return false;
}

std::string ReadText(const std::string& path) {
  std::string text;
  std::FILE* file = std::fopen(path.c_str(), "rb");
  if (file == nullptr) return text;
  char buffer[4096];
  size_t got = 0;
  while ((got = std::fread(buffer, 1, sizeof buffer, file)) > 0) text.append(buffer, got);
  std::fclose(file);
  return text;
}

// Adds the attributes line to `top`/.gitattributes unless it is there. False on a write error.
bool AddAttributes(const std::string& top) {
  const std::string path = top + "/.gitattributes";
  std::string text = ReadText(path);
  if (HasAttributesLine(text)) {
    PrintResult(path + ": already has " + kAttributesLine + "\n");
    return true;
  }
  if (!text.empty() && text.back() != '\n') text += '\n';
  text += std::string(kAttributesLine) + "\n";
  const bool written = platform::ReplaceFile(path.c_str(), [&text](std::FILE* file) {
                         return platform::WriteBytes(file, text.data(), text.size());
                       }) == platform::ReplaceResult::kReplaced;
  if (!written) {
    Message("%s: cannot write: %s", path.c_str(), Reason());
    return false;
  }
  PrintResult(path + ": added " + kAttributesLine + " (commit it to share it)\n");
  return true;
}

bool SetConfig(const std::string& scope, const std::string& key, const std::string& value) {
  if (RunGit({"config", scope, key, value}).status != 0) {
    Message("git config %s %s failed", scope.c_str(), key.c_str());
    return false;
  }
  return true;
}

}  // namespace

int RunGitInstall(bool global) {
  const GitRun top = RunGit({"rev-parse", "--show-toplevel"}, true);
  if (top.status == 127 || top.status < 0) {
    Message("cannot run git; is it installed?");
    return kExitFailure;
  }
  const bool inRepository = top.status == 0 && !top.out.empty();
  if (!global && !inRepository) {
    Message("not inside a git repository; run it there, or use --global for every repository");
    return kExitFailure;
  }
  const std::string scope = global ? "--global" : "--local";
  const std::string self = QuotedSelf();
  if (!SetConfig(scope, "diff.parlatrix.textconv", self + " textconv") ||
      !SetConfig(scope, "diff.parlatrix.xfuncname", "^plot .*$") ||
      !SetConfig(scope, "merge.parlatrix.name", "Parlatrix dialogue merge by line ID") ||
      !SetConfig(scope, "merge.parlatrix.driver", self + " merge %O %A %B --path %P")) {
    return kExitFailure;
  }
  PrintResult(std::string("git configuration (") + (global ? "global" : "this repository") +
              "): diff.parlatrix and merge.parlatrix set to " + self + "\n");
  if (!inRepository) return kExitSuccess;
  std::string dir = top.out;
  while (!dir.empty() && dir.back() == '\n') dir.pop_back();
  return AddAttributes(dir) ? kExitSuccess : kExitFailure;
}

}  // namespace dlgtool
