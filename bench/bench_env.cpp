#include "bench_env.h"

#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <map>
#include <memory>

namespace bench {

namespace {

std::string shmDir;
std::string diskDir;

bool MakeFolder(const std::string& pattern, std::string& dir) {
  std::string name = pattern;
  if (mkdtemp(name.data()) == nullptr) {
    std::fprintf(stderr, "cannot create a folder like %s\n", pattern.c_str());
    return false;
  }
  dir = name;
  return true;
}

}  // namespace

bool SetUpFolders() {
  const std::string here = std::filesystem::current_path().string();
  return MakeFolder("/dev/shm/parlatrix-bench-XXXXXX", shmDir) &&
         MakeFolder(here + "/parlatrix-bench-disk-XXXXXX", diskDir) && chdir(shmDir.c_str()) == 0;
}

void RemoveFolders() {
  std::error_code ignored;
  if (!shmDir.empty()) std::filesystem::remove_all(shmDir, ignored);
  if (!diskDir.empty()) std::filesystem::remove_all(diskDir, ignored);
}

std::string ShmFile(const std::string& name) {
  return shmDir + "/" + name;
}
std::string DiskFile(const std::string& name) {
  return diskDir + "/" + name;
}

Fixture& FixtureFor(int lines) {
  static std::map<int, std::unique_ptr<Fixture>> fixtures;
  std::unique_ptr<Fixture>& slot = fixtures[lines];
  if (slot != nullptr) return *slot;
  slot = std::make_unique<Fixture>();
  slot->script = GenerateScript(lines, 20240601u + static_cast<uint32_t>(lines));
  slot->dlgPath = ShmFile("script-" + std::to_string(lines) + ".dlg");
  slot->translationPath = ShmFile("translation-" + std::to_string(lines) + ".txt");
  CDlgFile doc;
  const bool made = BuildDocument(slot->script, doc) && doc.Save(slot->dlgPath.c_str()) == 1 &&
                    WriteTranslationFile(doc, TranslateAll(doc, 7u), slot->translationPath);
  if (!made) {
    std::fprintf(stderr, "cannot prepare the script of %d lines\n", lines);
    std::abort();
  }
  return *slot;
}

size_t FileSize(const std::string& path) {
  struct stat info;
  return stat(path.c_str(), &info) == 0 ? static_cast<size_t>(info.st_size) : 0;
}

}  // namespace bench
