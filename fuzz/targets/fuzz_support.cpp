#include "fuzz_support.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <unordered_set>

#include "platform/debug_output.h"
#include "platform/fault_injection.h"
#include "platform/file_io.h"

namespace fuzz {
namespace {

std::string* g_scratch = nullptr;  // the process's own folder, created on first use
std::string* g_given = nullptr;    // a folder set by SetScratchDir
platform::DebugSink* g_previousSink = nullptr;
int g_quietDepth = 0;

bool IsWritableFolder(const char* path) {
  struct stat info;
  return path != nullptr && *path != 0 && stat(path, &info) == 0 && S_ISDIR(info.st_mode) &&
         access(path, W_OK | X_OK) == 0;
}

std::string ScratchBase() {
  const char* tmpdir = std::getenv("TMPDIR");
  if (IsWritableFolder(tmpdir)) return tmpdir;
  if (IsWritableFolder("/dev/shm")) return "/dev/shm";
  return "/tmp";
}

void RemoveScratch() {
  if (g_scratch == nullptr) return;
  std::error_code ignored;
  std::filesystem::remove_all(*g_scratch, ignored);
}

// Checks the chain of a list: head and tail at the ends, prev mirroring next, the count matching.
template <typename T>
void CheckChain(const CQHList<T>& list) {
  int count = 0;
  const typename CQHList<T>::Node* previous = nullptr;
  for (auto* node = list.GetHeadPosition(); node != nullptr; node = node->next) {
    FUZZ_CHECK(node->prev == previous);
    previous = node;
    FUZZ_CHECK(++count <= list.GetCount());
  }
  FUZZ_CHECK(list.GetTailPosition() == previous);
  FUZZ_CHECK(count == list.GetCount());
}

}  // namespace

void SetScratchDir(const std::string& dir) {
  delete g_given;
  g_given = dir.empty() ? nullptr : new std::string(dir);
}

const std::string& ScratchDir() {
  if (g_given != nullptr) return *g_given;
  if (g_scratch == nullptr) {
    std::string pattern = ScratchBase() + "/parlatrix-fuzz-XXXXXX";
    FUZZ_CHECK(mkdtemp(pattern.data()) != nullptr);
    g_scratch = new std::string(pattern);
    std::atexit(RemoveScratch);
  }
  return *g_scratch;
}

std::string ScratchFile(const char* name) {
  return ScratchDir() + "/" + name;
}

void WriteScratchFile(const std::string& path, const uint8_t* data, size_t size) {
  std::FILE* file = std::fopen(path.c_str(), "wb");
  FUZZ_CHECK(file != nullptr);
  const bool written = size == 0 || std::fwrite(data, 1, size, file) == size;
  FUZZ_CHECK(std::fclose(file) == 0 && written);
}

std::string ReadScratchFile(const std::string& path) {
  std::string bytes;
  std::FILE* file = std::fopen(path.c_str(), "rb");
  if (file == nullptr) return bytes;
  char chunk[4096];
  for (size_t got; (got = std::fread(chunk, 1, sizeof chunk, file)) > 0;) bytes.append(chunk, got);
  std::fclose(file);
  return bytes;
}

void Check(bool holds, const char* what, const char* file, int line) {
  if (holds) return;
  std::fprintf(stderr, "%s:%d: check failed: %s\n", file, line, what);
  std::fflush(stderr);
  std::abort();
}

void CheckDocumentConsistent(const CDlgFile& doc) {
  CheckChain(doc.GetLines());
  CheckChain(doc.GetPlots());
  std::unordered_set<const void*> lines;
  for (auto* pos = doc.GetLines().GetHeadPosition(); pos != nullptr; pos = pos->next) {
    lines.insert(pos);
    // FindItem answers the first line of an ID in document order.
    LinePos found = doc.FindItem(pos->value.GetID());
    FUZZ_CHECK(found != nullptr && found->value.GetID() == pos->value.GetID());
    if (found != pos) FUZZ_CHECK(lines.count(found) == 1);
  }
  std::unordered_set<const void*> members;
  for (auto* plot = doc.GetPlots().GetHeadPosition(); plot != nullptr; plot = plot->next) {
    CheckChain(plot->value.members);
    CheckChain(plot->value.storedIds);
    for (auto* m = plot->value.members.GetHeadPosition(); m != nullptr; m = m->next) {
      FUZZ_CHECK(lines.count(m->value) == 1);       // names a line of this document
      FUZZ_CHECK(members.insert(m->value).second);  // and no other member names it
    }
  }
}

QuietDebugOutput::QuietDebugOutput() {
  if (g_quietDepth++ == 0) {
    g_previousSink = new platform::DebugSink(platform::SetDebugSink([](const std::string&) {}));
  }
}

QuietDebugOutput::~QuietDebugOutput() {
  if (--g_quietDepth == 0) {
    platform::SetDebugSink(std::move(*g_previousSink));
    delete g_previousSink;
    g_previousSink = nullptr;
  }
}

InScratchDir::InScratchDir() {
  char cwd[4096];
  FUZZ_CHECK(getcwd(cwd, sizeof cwd) != nullptr);
  previous_ = cwd;
  FUZZ_CHECK(chdir(ScratchDir().c_str()) == 0);
}

InScratchDir::~InScratchDir() {
  if (chdir(previous_.c_str()) != 0) Check(false, "chdir back", __FILE__, __LINE__);
}

FaultSeamsReset::~FaultSeamsReset() {
  platform::ResetAllocationFaults();
  platform::ResetFileOperationFaults();
}

uint32_t InputHash(const uint8_t* data, size_t size) {
  uint32_t hash = 2166136261u;  // FNV-1a
  for (size_t i = 0; i < size; ++i) hash = (hash ^ data[i]) * 16777619u;
  return hash;
}

}  // namespace fuzz
