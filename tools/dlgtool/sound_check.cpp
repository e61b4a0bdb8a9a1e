#include "sound_check.h"

#include <algorithm>
#include <filesystem>
#include <unordered_map>
#include <unordered_set>

#include "exchange/recoder.h"
#include "exchange/voscript.h"
#include "output.h"

namespace dlgtool {
namespace {

namespace fs = std::filesystem;

class SoundMatcher {
 public:
  SoundMatcher(const SoundFolder& folder, const std::string& codeset)
      : recoder_(codeset), used_(folder.files.size(), false) {
    for (size_t k = 0; k < folder.files.size(); ++k) {
      const std::string& file = folder.files[k];
      exact_.emplace(file, k);
      const size_t slash = file.find_last_of('/');
      const size_t dot = file.find_last_of('.');
      const size_t start = slash == std::string::npos ? 0 : slash + 1;
      if (dot != std::string::npos && dot > start) stems_[file.substr(0, dot)].push_back(k);
    }
  }

  // The name as compared with file paths.
  std::string Key(const CPlainString& sound) const {
    std::string key(sound.c_str(), static_cast<size_t>(sound.GetLength()));
    std::string utf8;
    if (recoder_.ok() && recoder_.ToUtf8(key, utf8)) key = std::move(utf8);
    std::replace(key.begin(), key.end(), '\\', '/');
    while (key.compare(0, 2, "./") == 0) key.erase(0, 2);
    return key;
  }

  // Marks the files `key` names; false when there are none.
  bool Match(const std::string& key) {
    if (const auto found = exact_.find(key); found != exact_.end()) {
      used_[found->second] = true;
      return true;
    }
    const size_t slash = key.find_last_of('/');
    if (key.find('.', slash == std::string::npos ? 0 : slash + 1) != std::string::npos) {
      return false;
    }
    const auto stem = stems_.find(key);
    if (stem == stems_.end()) return false;
    for (const size_t k : stem->second) used_[k] = true;
    return true;
  }

  const std::vector<bool>& used() const { return used_; }

 private:
  exchange::Recoder recoder_;
  std::unordered_map<std::string, size_t> exact_;
  std::unordered_map<std::string, std::vector<size_t>> stems_;
  std::vector<bool> used_;
};

Finding LineFinding(int number, const CDlgPlot& plot, const CDlgItem& line, std::string problem) {
  Finding finding;
  finding.plot = number;
  finding.plotName = plot.GetName().c_str();
  finding.hasId = true;
  finding.id = line.GetID();
  finding.problem = std::move(problem);
  return finding;
}

Finding DocumentFinding(std::string problem) {
  Finding finding;
  finding.problem = std::move(problem);
  return finding;
}

std::string Quoted(std::string_view text) {
  std::string out;
  AppendQuoted(out, text);
  return out;
}

}  // namespace

bool ListSoundFolder(const std::string& dir, SoundFolder& folder, std::string& error) {
  folder.dir = dir;
  folder.files.clear();
  std::error_code code;
  if (!fs::is_directory(dir, code)) {
    error = dir + ": no folder of sound files";
    return false;
  }
  fs::recursive_directory_iterator it(dir, fs::directory_options::skip_permission_denied, code);
  for (; !code && it != fs::recursive_directory_iterator(); it.increment(code)) {
    const fs::path& path = it->path();
    if (path.filename().native().front() == '.') {
      if (it->is_directory(code)) it.disable_recursion_pending();
      continue;
    }
    if (it->is_regular_file(code)) {
      folder.files.push_back(path.lexically_relative(dir).generic_string());
    }
  }
  if (code) {
    error = dir + ": cannot read the folder of sound files (" + code.message() + ")";
    return false;
  }
  std::sort(folder.files.begin(), folder.files.end());
  return true;
}

std::vector<Finding> CheckSounds(const CDlgFile& doc, const SoundFolder& folder,
                                 const std::string& plot, const std::string& codeset) {
  SoundMatcher matcher(folder, codeset);
  const exchange::Recoder recoder(codeset);
  std::vector<Finding> findings;
  // Names in first-use order, each with the IDs of the lines that name it.
  std::vector<std::pair<std::string, std::vector<int>>> names;
  std::unordered_map<std::string, size_t> nameIndex;
  std::unordered_set<int> seen;
  int number = 0;
  for (PlotPos p = doc.GetFirstPlot(); p != nullptr; p = p->next, ++number) {
    const CDlgPlot& owner = p->value;
    const bool checked = plot.empty() || exchange::PlotNameMatches(owner.name, plot, recoder);
    for (auto* m = owner.members.GetHeadPosition(); m != nullptr; m = m->next) {
      const CDlgItem& line = m->value->value;
      if (!seen.insert(line.GetID()).second) continue;  // a line listed by two plots
      const std::string key = matcher.Key(line.GetSound());
      const bool found = !key.empty() && matcher.Match(key);
      if (!checked) continue;
      if (key.empty()) {
        findings.push_back(LineFinding(number, owner, line, "no sound file name"));
        continue;
      }
      if (!found) {
        findings.push_back(LineFinding(number, owner, line,
                                       "sound " + Quoted(key) + " has no file in " + folder.dir));
      }
      const auto [at, added] = nameIndex.emplace(key, names.size());
      if (added) names.emplace_back(key, std::vector<int>());
      names[at->second].second.push_back(line.GetID());
    }
  }
  for (const auto& [name, ids] : names) {
    if (ids.size() < 2) continue;
    std::string list;
    for (const int id : ids) list += (list.empty() ? "" : ", ") + std::to_string(id);
    findings.push_back(DocumentFinding("sound " + Quoted(name) + " is named by " +
                                       std::to_string(ids.size()) + " lines: IDs " + list));
  }
  for (size_t k = 0; k < folder.files.size(); ++k) {
    if (matcher.used()[k]) continue;
    findings.push_back(DocumentFinding("file " + Quoted(folder.files[k]) + " in " + folder.dir +
                                       " is named by no line"));
  }
  return findings;
}

}  // namespace dlgtool
