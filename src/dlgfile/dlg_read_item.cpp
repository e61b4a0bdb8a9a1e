// Random access to one line of a saved .dlg file through its index (docs/dlg-format.md): one open,
// then the header, the index entry and the record, each read at its offset, and a close, whatever
// the size of the file (a record longer than 2 KiB costs two reads more). The reads go straight to
// the descriptor: a buffered stream would read 4 KiB for each of them and add seeks and status
// calls, which on a warm cache cost as much as the reads themselves.
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <memory>
#include <new>

#include "dlgfile/dlg_format.h"
#include "dlgfile/dlg_record.h"
#include "model/dlg_file.h"
#include "platform/debug_output.h"
#include "platform/fault_injection.h"
#include "platform/file_read.h"

namespace {

// Bytes read at a record's offset at once: enough for the length word and the body of nearly
// every record, so that one read takes it whole. A longer record costs two reads more.
constexpr int64_t kRecordProbe = 2048;

// Reads the index entry of `id`; false when the file does not hold all 8 bytes of it.
bool ReadIndexEntry(int fd, const DlgHeader& header, int id, int32_t& storedId,
                    int32_t& recordOffset, int& readError) {
  const int64_t at =
      static_cast<int64_t>(header.indexOffset) + static_cast<int64_t>(id) * kDlgIndexEntrySize;
  uint8_t entry[kDlgIndexEntrySize];
  if (at < 0) return false;
  const int64_t got = platform::ReadAt(fd, entry, sizeof entry, at);
  if (got < 0) readError = errno;
  if (got != static_cast<int64_t>(sizeof entry)) return false;
  storedId = LoadLE32(entry);
  recordOffset = LoadLE32(entry + 4);
  return true;
}

// Reads and parses the record at `offset` with ParseDlgRecord, as CDlgItem::Read does: a length
// that is negative or reaches beyond the end of the file rejects the record.
bool ReadRecord(int fd, int64_t offset, CDlgItem& line, int& readError) {
  uint8_t probe[kRecordProbe];
  const int64_t got = platform::ReadAt(fd, probe, sizeof probe, offset);
  if (got < 0) readError = errno;
  if (got < 4) return false;
  const int32_t length = LoadLE32(probe);
  if (length < 0) return false;
  if (length <= got - 4) {
    return ParseDlgRecord(probe, static_cast<size_t>(got), line) == DlgRecordResult::kAccepted;
  }
  // A long record. A probe cut short by the end of the file cannot hold it; otherwise the file
  // must hold the record's last byte before anything is allocated for it.
  uint8_t last = 0;
  const int64_t end = offset + 4 + length;
  if (got < kRecordProbe) return false;
  const int64_t gotLast = platform::ReadAt(fd, &last, 1, end - 1);
  if (gotLast < 0) readError = errno;
  if (gotLast != 1) return false;
  const size_t size = 4 + static_cast<size_t>(length);
  std::unique_ptr<uint8_t[]> record(platform::NewArray<uint8_t>(size));
  if (record == nullptr) {
    readError = ENOMEM;
    return false;
  }
  std::copy(probe, probe + got, record.get());
  const size_t rest = size - static_cast<size_t>(got);
  const int64_t gotRest = platform::ReadAt(fd, record.get() + got, rest, offset + got);
  if (gotRest < 0) readError = errno;
  if (gotRest != static_cast<int64_t>(rest)) return false;
  return ParseDlgRecord(record.get(), size, line) == DlgRecordResult::kAccepted;
}

}  // namespace

bool CDlgFile::ReadItem(const char* path, int id, CDlgItem& line) {
  platform::Status ignored;
  return ReadItem(path, id, line, ignored);
}

bool CDlgFile::ReadItem(const char* path, int id, CDlgItem& line, platform::Status& status) {
  status = platform::Status::Ok();
  const int fd = platform::OpenForReadingAt(path);
  // A FIFO, a terminal or a folder opens, but fails the first read: it is no file to read from.
  uint8_t block[kDlgHeaderSize];
  const int64_t got = fd >= 0 ? platform::ReadAt(fd, block, sizeof block, 0) : -1;
  if (got < 0) {
    status =
        platform::Status::SystemFailure(fd >= 0 ? "cannot read the file" : "cannot open the file");
    if (fd >= 0) close(fd);
    platform::DebugOutput("CDlgFile::ReadItem() Error (0) : File not found(%s)!\n", path);
    return false;
  }
  // A short file leaves the defaults of a new header in place: an index of no entries.
  DlgHeader header = NewDlgHeader();
  OverlayDlgHeader(header, block, static_cast<size_t>(got));
  if (id < 0 || id >= header.indexCount) {
    close(fd);
    platform::DebugOutput("CDlgFile::ReadItem() Error (1) : Index is invalid or overflow(%d)!\n",
                          id);
    return false;
  }
  // An entry that the file does not hold, or one that points before the start of the file, is
  // as unusable as the entry of a hole.
  int32_t storedId = -1;
  int32_t recordOffset = -1;
  int readError = 0;
  if (!ReadIndexEntry(fd, header, id, storedId, recordOffset, readError) || storedId < 0 ||
      recordOffset < 0) {
    if (readError != 0) status = platform::Status::Failure("cannot read the file", readError);
    line.SetID(-1);
    close(fd);
    platform::DebugOutput("CDlgFile::ReadItem() Error (2) : Index is invalid (%d)!\n", id);
    return false;
  }
  // The record's own ID is not compared with `id`: entry N belongs to ID N.
  const bool read = ReadRecord(fd, recordOffset, line, readError);
  close(fd);
  if (!read) {
    if (readError != 0) status = platform::Status::Failure("cannot read the file", readError);
    line.SetID(-1);
    platform::DebugOutput("CDlgFile::ReadItem() Error (3) : Record is damaged(%d)!\n", id);
  }
  return read;
}
