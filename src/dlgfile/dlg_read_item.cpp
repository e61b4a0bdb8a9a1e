// Random access to one line of a saved .dlg file through its index (docs/dlg-format.md): one open,
// two seeks and three reads (header, index entry, record), whatever the size of the file.
#include <cstdint>
#include <cstdio>

#include "dlgfile/dlg_format.h"
#include "dlgfile/dlg_open.h"
#include "model/dlg_file.h"
#include "platform/debug_output.h"

namespace {

// Reads the index entry of `id`; false when the file does not hold all 8 bytes of it.
bool ReadIndexEntry(std::FILE* file, const DlgHeader& header, int id, int32_t& storedId,
                    int32_t& recordOffset) {
  const int64_t at =
      static_cast<int64_t>(header.indexOffset) + static_cast<int64_t>(id) * kDlgIndexEntrySize;
  uint8_t entry[kDlgIndexEntrySize];
  if (at < 0 || std::fseek(file, static_cast<long>(at), SEEK_SET) != 0 ||
      std::fread(entry, 1, sizeof entry, file) != sizeof entry) {
    return false;
  }
  storedId = LoadLE32(entry);
  recordOffset = LoadLE32(entry + 4);
  return true;
}

}  // namespace

bool CDlgFile::ReadItem(const char* path, int id, CDlgItem& line) {
  std::FILE* file = OpenRegularFileForReading(path);
  if (file == nullptr) {
    platform::DebugOutput("CDlgFile::ReadItem() Error (0) : File not found(%s)!\n", path);
    return false;
  }
  // A short file leaves the defaults of a new header in place: an index of no entries.
  DlgHeader header = NewDlgHeader();
  uint8_t block[kDlgHeaderSize];
  OverlayDlgHeader(header, block, std::fread(block, 1, sizeof block, file));
  if (id < 0 || id >= header.indexCount) {
    std::fclose(file);
    platform::DebugOutput("CDlgFile::ReadItem() Error (1) : Index is invalid or overflow(%d)!\n",
                          id);
    return false;
  }
  // An entry that the file does not hold, or one that points before the start of the file, is
  // as unusable as the entry of a hole.
  int32_t storedId = -1;
  int32_t recordOffset = -1;
  if (!ReadIndexEntry(file, header, id, storedId, recordOffset) || storedId < 0 ||
      recordOffset < 0) {
    line.SetID(-1);
    std::fclose(file);
    platform::DebugOutput("CDlgFile::ReadItem() Error (2) : Index is invalid (%d)!\n", id);
    return false;
  }
  // The record's own ID is not compared with `id`: entry N belongs to ID N.
  const bool read = std::fseek(file, recordOffset, SEEK_SET) == 0 && line.Read(file) >= 0;
  std::fclose(file);
  if (!read) {
    line.SetID(-1);
    platform::DebugOutput("CDlgFile::ReadItem() Error (3) : Record is damaged(%d)!\n", id);
  }
  return read;
}
