// Where the benchmarks keep their files, and the scripts they share.
//
// Files go to a fresh folder in /dev/shm, so that the figures measure the program, not the disk;
// one benchmark saves to a folder on the real disk instead (beside the current directory). Both
// folders are removed when the run ends.
#pragma once

#include <cstddef>
#include <string>

#include "script_generator.h"

namespace bench {

// Creates both folders and makes the /dev/shm one the current directory (Import writes
// Parlatrix.log there). False, with a message, when a folder cannot be created.
bool SetUpFolders();
void RemoveFolders();

std::string ShmFile(const std::string& name);
// Size of a file in bytes; 0 when it cannot be read.
size_t FileSize(const std::string& path);
std::string DiskFile(const std::string& name);

// A generated script of `lines` lines, saved once as a .dlg and, translated, as a text file in the
// translation form. Made on first use and kept for the whole run.
struct Fixture {
  Script script;
  std::string dlgPath;
  std::string translationPath;
};
Fixture& FixtureFor(int lines);

}  // namespace bench
