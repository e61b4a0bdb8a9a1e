// CDlgFile::ReadItem and CDlgItemReader on any bytes, at IDs taken from the input and at the edges
// of the index the file claims. An ID outside the index fails without touching the caller's line;
// any other failure leaves the line's ID at -1; the reader's outputs are empty after a failure and
// agree with each other after a success; CDlgItem::Read at the entry's record reads the same line.
#include <climits>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "dlgfile/dlg_format.h"
#include "dlgfile/dlg_item_reader.h"
#include "fuzz_support.h"
#include "fuzz_targets.h"

namespace {

constexpr int kMaxInputIds = 4;

// What GetItemText must make of a stored text: one last CR or LF dropped, then every CR.
std::string CleanedForDisplay(std::string text) {
  if (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
  std::string cleaned;
  for (char c : text) {
    if (c != '\r') cleaned.push_back(c);
  }
  return cleaned;
}

// An ID outside the index fails at the header, before any other read, and leaves the caller's
// line exactly as it was.
void CheckOutsideIndex(const std::string& path, int id) {
  CDlgFile any;
  CDlgItem line;
  line.SetID(77);
  line.SetPlotIndex(78);
  line.SetText("caller's text");
  FUZZ_CHECK(!any.ReadItem(path.c_str(), id, line));
  FUZZ_CHECK(line.GetID() == 77 && line.GetPlotIndex() == 78);
  FUZZ_CHECK(line.GetText().Equals("caller's text"));
}

// Inside the index: ReadItem into a fresh line, and the reader's two views of the same line.
void CheckStreamRead(const std::string& path, const uint8_t* file, size_t size,
                     const uint8_t* header, int id, bool read, const CDlgItem& fresh);

void CheckInsideIndex(const std::string& path, const uint8_t* file, size_t size,
                      const uint8_t* header, int id) {
  CDlgFile any;
  CDlgItem fresh;
  const bool read = any.ReadItem(path.c_str(), id, fresh);
  if (!read) FUZZ_CHECK(fresh.GetID() == -1);
  CheckStreamRead(path, file, size, header, id, read, fresh);
  const bool stored = read && fresh.GetID() >= 0;

  CDlgItemReader reader;
  reader.SetFileName(path.c_str());
  std::string text = "x", sound = "x", speaker = "x", expression = "x";
  FUZZ_CHECK(reader.GetItemFields(id, text, sound, speaker, expression) == stored);
  if (!stored) {
    FUZZ_CHECK(text.empty() && sound.empty() && speaker.empty() && expression.empty());
  } else {
    FUZZ_CHECK(text == fresh.GetText().c_str() && sound == fresh.GetSound().c_str());
    FUZZ_CHECK(speaker == fresh.GetSpeaker().c_str());
    FUZZ_CHECK(expression == fresh.GetExpression().c_str());
  }
  const std::string& cleaned = reader.GetItemTextOrEmpty(id);
  FUZZ_CHECK(cleaned == (stored ? CleanedForDisplay(text) : std::string()));
}

// CDlgItem::Read on a stream at the record the index entry names reads what ReadItem read: both
// are the one record walk (ParseDlgRecord) over the same bytes, with the same refusal of a length
// beyond the file. Entries that ReadItem refuses before the record are not compared.
void CheckStreamRead(const std::string& path, const uint8_t* file, size_t size,
                     const uint8_t* header, int id, bool read, const CDlgItem& fresh) {
  const int64_t at =
      int64_t{LoadLE32(header + kDlgIndexOffsetOffset)} + int64_t{id} * kDlgIndexEntrySize;
  if (at < 0 || at + kDlgIndexEntrySize > static_cast<int64_t>(size)) return;
  const int32_t offset = LoadLE32(file + at + 4);
  if (LoadLE32(file + at) < 0 || offset < 0) return;
  std::FILE* stream = std::fopen(path.c_str(), "rb");
  FUZZ_CHECK(stream != nullptr);
  CDlgItem line;
  const int got = std::fseek(stream, offset, SEEK_SET) == 0 ? line.Read(stream) : -1;
  std::fclose(stream);
  FUZZ_CHECK((got >= 0) == read);
  if (!read) return;
  FUZZ_CHECK(line.GetID() == fresh.GetID() && line.GetPlotIndex() == fresh.GetPlotIndex());
  FUZZ_CHECK(line.GetSpeaker().Equals(fresh.GetSpeaker().c_str()));
  FUZZ_CHECK(line.GetExpression().Equals(fresh.GetExpression().c_str()));
  FUZZ_CHECK(line.GetSound().Equals(fresh.GetSound().c_str()));
  FUZZ_CHECK(line.GetText().Equals(fresh.GetText().c_str()));
}

}  // namespace

int FuzzReadItem(const uint8_t* data, size_t size) {
  fuzz::QuietDebugOutput quiet;
  std::vector<int> ids;
  size_t used = 0;
  if (size > 0) {
    const int count = data[0] % (kMaxInputIds + 1);
    used = 1;
    for (int k = 0; k < count && used + 4 <= size; ++k, used += 4) {
      ids.push_back(LoadLE32(data + used));
    }
  }
  const uint8_t* file = data + used;
  const size_t fileSize = size - used;
  const std::string path = fuzz::ScratchFile("read_item.dlg");
  fuzz::WriteScratchFile(path, file, fileSize);

  uint8_t header[kDlgHeaderSize];
  EncodeDlgHeader(NewDlgHeader(), header);
  if (fileSize > 0) std::memcpy(header, file, fileSize < sizeof header ? fileSize : sizeof header);
  const int32_t indexCount = LoadLE32(header + kDlgIndexCountOffset);
  for (int id : {-1, 0, INT_MIN}) ids.push_back(id);
  if (indexCount > 0) {
    ids.push_back(indexCount - 1);
    ids.push_back(indexCount);
  }
  for (int id : ids) {
    if (id < 0 || id >= indexCount) {
      CheckOutsideIndex(path, id);
    } else {
      CheckInsideIndex(path, file, fileSize, header, id);
    }
  }
  return 0;
}
