#include "dlgfile/dlg_save_over.h"

#include <cerrno>

#include "dlgfile/dlg_damage.h"
#include "platform/debug_output.h"

SaveOverState InspectSaveOver(const CDlgFile& doc, const char* path, bool checkDamage) {
  SaveOverState state;
  state.changedOnDisk = platform::ChangedSince(doc.LoadedFile(), path);
  state.keptBackup = platform::LeftSaveBackup(path);
  if (checkDamage) state.damage = DescribeDlgDamage(path);
  return state;
}

int SaveOver(CDlgFile& doc, const char* path, const platform::FileIdentity& expected) {
  platform::Status status;
  return SaveOver(doc, path, expected, status);
}

int SaveOver(CDlgFile& doc, const char* path, const platform::FileIdentity& expected,
             platform::Status& status) {
  const int saved = doc.Save(
      path, [&expected, path] { return !platform::ChangedSince(expected, path); }, status);
  if (saved == 0 && errno == ESTALE) {
    platform::DebugOutput("CDlgFile::Save() Error (6) : File changed on disk while saving(%s).\n",
                          path);
    status = platform::Status::Failure("the file changed on disk while it was saved; not replaced");
    errno = ESTALE;
  }
  return saved;
}
