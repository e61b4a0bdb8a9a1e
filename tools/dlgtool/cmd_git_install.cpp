// dlgtool git-install [--global] [--store-text]: lets git diff and merge dialogue files through
// dlgtool.
//
// Writes to git's configuration (the repository's, or the user's with --global):
//   diff.parlatrix.textconv   = <dlgtool> textconv [--encoding CODESET]
//   diff.parlatrix.xfuncname  = ^plot .*$        (hunk headers name the plot)
//   merge.parlatrix.name      = Parlatrix dialogue merge by line ID
//   merge.parlatrix.driver    = <dlgtool> merge %O %A %B --path %P --base-name %S ...
//   merge.parlatrix.recursive = binary           (criss-cross merges: a conflict, never hidden)
// and with --store-text also filter.parlatrix.clean/smudge (<dlgtool> git-filter clean|smudge %f),
// filter.parlatrix.required = true and diff.parlatrix-text.xfuncname;
// where <dlgtool> is the command name when PATH finds this dlgtool, else its quoted absolute path;
// and adds `*.dlg diff=parlatrix merge=parlatrix` to the repository's .gitattributes and
// `*.dlg.conflicts.txt` to its .gitignore when no line says so yet. Running it again changes
// nothing. git's configuration is not shared by cloning, so every writer runs it once; the
// .gitattributes line is committed and so shared.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "commands.h"
#include "git_context.h"
#include "output.h"
#include "platform/file_io.h"
#include "platform/iconv_codec.h"

namespace dlgtool {

namespace {

constexpr char kAttributesLine[] = "*.dlg diff=parlatrix merge=parlatrix";
// --store-text: git keeps the text form (the filter), diffs that text as it is (no textconv; the
// driver parlatrix-text only names plots in hunk headers) and merges it by ID (the merge reads
// and writes the text form). A later line overrides an earlier one for the same pattern.
constexpr char kStoreTextAttributesLine[] =
    "*.dlg filter=parlatrix diff=parlatrix-text merge=parlatrix";
constexpr char kIgnoreLine[] = "*.dlg.conflicts.txt";
// The temporary file the merge driver writes its result to beside git's `.merge_file_XXXXXX`
// (".<name>.<pid>-<n>.tmp"): one left by a driver killed mid-write is removed by the next save
// in that folder, and until then stays out of `git add -A`.
constexpr char kIgnoreTemporaries[] = "..merge_file_*.tmp";

// `text` single-quoted for the shell through which git runs drivers.
std::string ShellQuoted(const std::string& text) {
  std::string out = "'";
  for (char c : text) out += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return out + "'";
}

// How git's configuration names this dlgtool: the bare command name when the `dlgtool` that PATH
// finds is this very file (a new install elsewhere on PATH then keeps working), else the absolute
// path of this executable, quoted.
std::string SelfCommand() {
  struct stat self;
  if (stat("/proc/self/exe", &self) == 0) {
    const char* path = std::getenv("PATH");
    std::string dirs = path != nullptr ? path : "";
    size_t start = 0;
    while (start <= dirs.size()) {
      size_t end = dirs.find(':', start);
      if (end == std::string::npos) end = dirs.size();
      const std::string dir = end > start ? dirs.substr(start, end - start) : ".";
      start = end + 1;
      struct stat found;
      const std::string candidate = dir + "/" + kProgram;
      if (stat(candidate.c_str(), &found) != 0 || access(candidate.c_str(), X_OK) != 0) continue;
      // The first one on PATH is the one a shell runs.
      if (found.st_dev == self.st_dev && found.st_ino == self.st_ino) return kProgram;
      break;
    }
  }
  char path[PATH_MAX];
  const ssize_t length = readlink("/proc/self/exe", path, sizeof path - 1);
  return ShellQuoted(length > 0 ? std::string(path, static_cast<size_t>(length)) : kProgram);
}

bool HasLine(const std::string& text, const std::string& wanted) {
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(start, end - start);
    while (!line.empty() && (line.back() == '\r' || line.back() == ' ' || line.back() == '\t')) {
      line.pop_back();
    }
    if (line == wanted) return true;
    start = end + 1;
  }
  return false;
}

// Reads a file of the work tree's top that git-install extends. Not there: empty and true.
// False, with a message, for anything else that is not a readable regular file (a FIFO would
// block, an unreadable file would have its rules replaced by ours alone).
bool ReadRules(const std::string& path, std::string& text) {
  text.clear();
  const int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_NOFOLLOW | O_CLOEXEC);
  if (fd < 0) {
    if (errno == ENOENT) return true;
    if (errno == ELOOP) {
      Message("%s: is a symbolic link (git does not read one); nothing changed", path.c_str());
      return false;
    }
    Message("%s: cannot read: %s; nothing changed", path.c_str(), Reason());
    return false;
  }
  struct stat info;
  if (fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
    Message("%s: not a regular file; nothing changed", path.c_str());
    close(fd);
    return false;
  }
  char buffer[4096];
  ssize_t got = 0;
  while ((got = read(fd, buffer, sizeof buffer)) > 0 || (got < 0 && errno == EINTR)) {
    if (got > 0) text.append(buffer, static_cast<size_t>(got));
  }
  const int error = errno;
  close(fd);
  if (got < 0) {
    errno = error;
    Message("%s: cannot read: %s; nothing changed", path.c_str(), Reason());
    return false;
  }
  return true;
}

// Adds `line` to `top`/`name` unless it is there. False, with a message, on a read or write error.
bool AddLine(const std::string& top, const char* name, const char* line, const char* why) {
  const std::string path = top + "/" + name;
  std::string text;
  if (!ReadRules(path, text)) return false;
  if (HasLine(text, line)) {
    PrintResult(path + ": already has " + line + "\n");
    return true;
  }
  if (!text.empty() && text.back() != '\n') text += '\n';
  text += std::string(line) + "\n";
  const bool written = platform::ReplaceFile(path.c_str(), [&text](std::FILE* file) {
                         return platform::WriteBytes(file, text.data(), text.size());
                       }) == platform::ReplaceResult::kReplaced;
  if (!written) {
    Message("%s: cannot write: %s", path.c_str(), Reason());
    return false;
  }
  PrintResult(path + ": added " + line + " (" + why + "; commit it to share it)\n");
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

int RunGitInstall(const GitInstallOptions& options) {
  const GitRun top = RunGit({"rev-parse", "--show-toplevel"}, true);
  if (top.status == 127 || top.status < 0) {
    Message("cannot run git; is it installed?");
    return kExitFailure;
  }
  const bool inRepository = top.status == 0 && !top.out.empty();
  if (!options.global && !inRepository) {
    Message("not inside a git repository; run it there, or use --global for every repository");
    return kExitFailure;
  }
  if (!options.encoding.empty() && !platform::IconvCodec("UTF-8", options.encoding).ok()) {
    Message("%s: unknown code page; see `iconv -l`", options.encoding.c_str());
    return kExitFailure;
  }
  const std::string scope = options.global ? "--global" : "--local";
  const std::string self = SelfCommand();
  std::string textconv = self + " textconv";
  if (!options.encoding.empty()) textconv += " --encoding " + ShellQuoted(options.encoding);
  if (!SetConfig(scope, "diff.parlatrix.textconv", textconv) ||
      !SetConfig(scope, "diff.parlatrix.xfuncname", "^plot .*$") ||
      !SetConfig(scope, "merge.parlatrix.name", "Parlatrix dialogue merge by line ID") ||
      !SetConfig(scope, "merge.parlatrix.driver",
                 self + " merge %O %A %B --path %P --base-name %S --ours-name %X "
                        "--theirs-name %Y") ||
      // The inner merge of a criss-cross merge (two merge bases) must not hide a conflict:
      // git then keeps one side and marks the file conflicted instead of calling the driver.
      !SetConfig(scope, "merge.parlatrix.recursive", "binary")) {
    return kExitFailure;
  }
  // The filter is required: a failed clean (a damaged file) stops `git add` instead of letting
  // git store the file as it is, and a clone without dlgtool says so instead of checking out text.
  if (options.storeText &&
      (!SetConfig(scope, "filter.parlatrix.clean", self + " git-filter clean %f") ||
       !SetConfig(scope, "filter.parlatrix.smudge", self + " git-filter smudge %f") ||
       !SetConfig(scope, "filter.parlatrix.required", "true") ||
       !SetConfig(scope, "diff.parlatrix-text.xfuncname", "^plot .*$"))) {
    return kExitFailure;
  }
  PrintResult(std::string("git configuration (") + (options.global ? "global" : "this repository") +
              "): diff.parlatrix and merge.parlatrix set to " + self + "\n");
  if (!inRepository) return kExitSuccess;
  // git ends the path with one line break; a folder's name may end in one too.
  std::string dir = top.out;
  if (!dir.empty() && dir.back() == '\n') dir.pop_back();
  const bool attributes =
      options.storeText
          ? AddLine(dir, ".gitattributes", kStoreTextAttributesLine,
                    "dialogue files stored as text, merged by ID")
          : AddLine(dir, ".gitattributes", kAttributesLine, "dialogue files diff and merge by ID");
  return attributes &&
                 AddLine(dir, ".gitignore", kIgnoreLine,
                         "merge conflict reports stay out of commits") &&
                 AddLine(dir, ".gitignore", kIgnoreTemporaries,
                         "a killed merge's temporary file stays out of commits")
             ? kExitSuccess
             : kExitFailure;
}

}  // namespace dlgtool
