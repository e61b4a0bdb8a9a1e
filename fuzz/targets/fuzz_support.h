// What the fuzz targets share: the scratch folder, checks that abort, and the properties of a
// document that must hold after any load or import.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "model/dlg_file.h"

namespace fuzz {

// A folder of this process's own, created on first use under $TMPDIR, else /dev/shm (where fsync
// costs nothing), else /tmp; removed with its contents when the process exits normally.
const std::string& ScratchDir();
// Makes `dir` the scratch folder from now on (the caller owns and removes it); an empty path goes
// back to a folder of the process's own. The test suite gives each replay its own temporary folder.
void SetScratchDir(const std::string& dir);
// ScratchDir()/name.
std::string ScratchFile(const char* name);

// Replaces the file at `path` by `size` bytes of `data`. Aborts when that fails: a target that
// cannot set up its input would test nothing.
void WriteScratchFile(const std::string& path, const uint8_t* data, size_t size);
std::string ReadScratchFile(const std::string& path);

// Aborts with `what` and the source position when `holds` is false.
void Check(bool holds, const char* what, const char* file, int line);
#define FUZZ_CHECK(condition) ::fuzz::Check((condition), #condition, __FILE__, __LINE__)

// Checks the document's structure: every plot member names a node of the document's lines, no
// node is named twice, and the list counts match their chains.
void CheckDocumentConsistent(const CDlgFile& doc);

// Silences the debug output for its lifetime; damaged input makes the reader report a lot.
class QuietDebugOutput {
 public:
  QuietDebugOutput();
  ~QuietDebugOutput();
  QuietDebugOutput(const QuietDebugOutput&) = delete;
  QuietDebugOutput& operator=(const QuietDebugOutput&) = delete;
};

// Moves the current directory into the scratch folder for its lifetime (Import writes
// Parlatrix.log to the current directory).
class InScratchDir {
 public:
  InScratchDir();
  ~InScratchDir();
  InScratchDir(const InScratchDir&) = delete;
  InScratchDir& operator=(const InScratchDir&) = delete;

 private:
  std::string previous_;
};

// Disarms both fault seams when it goes out of scope, so that a target leaves no fault armed.
struct FaultSeamsReset {
  ~FaultSeamsReset();
};

// A number from the input's bytes, for choosing a fault position that the fuzzer can steer.
uint32_t InputHash(const uint8_t* data, size_t size);

}  // namespace fuzz
