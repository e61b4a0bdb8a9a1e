// Saving a document over the file it was read from: one policy for the editor and dlgtool.
//
// Three things stand in the way of such a save, and each front end answers them in its own way
// (the editor asks or keeps a copy, dlgtool refuses):
//  - the file changed on disk since it was read: another program (dlgtool, git checkout, an editor
//    that saves by rename) wrote it, which the save would silently undo. Compared are the inode,
//    size and modification time with nanoseconds, and a hash of the contents when the time was
//    too recent to tell (platform::ChangedSince);
//  - a backup that an interrupted in-place save left beside it, which holds older contents;
//  - damage in the file: the loaded document lacks lines that only the file still has.
// SaveOver then checks the first once more right before the new file replaces the old one, so
// that a change made while the save was writing is not lost either.
#pragma once

#include <string>
#include <vector>

#include "model/dlg_file.h"
#include "platform/file_io.h"

struct SaveOverState {
  bool changedOnDisk = false;
  std::string keptBackup;           // "" when there is none
  std::vector<std::string> damage;  // DescribeDlgDamage's lines; only when asked for
};

// What stands in the way of saving `doc` over `path`, the file it was loaded from.
[[nodiscard]] SaveOverState InspectSaveOver(const CDlgFile& doc, const char* path,
                                            bool checkDamage);

// Saves `doc` over `path` unless, right before the new file replaces the old one, `path` no
// longer names what `expected` describes (doc.LoadedFile(), or what the user agreed to
// overwrite): then nothing is replaced, 0 is returned, errno is ESTALE and a diagnostic says so.
[[nodiscard]] int SaveOver(CDlgFile& doc, const char* path, const platform::FileIdentity& expected);
// The same, with the reason of a failure in `status` (a change on disk says so in its message).
[[nodiscard]] int SaveOver(CDlgFile& doc, const char* path, const platform::FileIdentity& expected,
                           platform::Status& status);
