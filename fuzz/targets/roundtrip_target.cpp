// Save, load, compare. A document built from the input is saved; loading the file gives back every
// plot (name cut to 63 bytes, range, member order) and every member line with its ID and texts,
// the game name cut to 31 bytes and the options; lines, in a plot or not, read back through
// ReadItem, and IDs without a line fail there. When every line is in a plot, saving the
// loaded document gives the same bytes.
//
// Then the save is repeated over the file with one file operation, or one allocation, failing (or
// every one from it on): the file keeps its bytes and no temporary file is left beside it.
#include <dirent.h>

#include <string>
#include <vector>

#include "dlgfile/dlg_format.h"
#include "fuzz_support.h"
#include "fuzz_targets.h"
#include "platform/fault_injection.h"
#include "platform/file_io.h"
#include "roundtrip_builder.h"

namespace {

bool SameTexts(const CDlgItem& a, const CDlgItem& b) {
  return a.GetSpeaker().Equals(b.GetSpeaker()) && a.GetExpression().Equals(b.GetExpression()) &&
         a.GetSound().Equals(b.GetSound()) && a.GetText().Equals(b.GetText());
}

std::string Cut(const CPlainString& text, int limit) {
  return std::string(text.c_str(), text.GetLength() < limit ? text.GetLength() : limit);
}

void CompareLoaded(const CDlgFile& saved, const CDlgFile& loaded) {
  FUZZ_CHECK(loaded.GetVersion() == kDlgVersion && saved.GetVersion() == kDlgVersion);
  FUZZ_CHECK(Cut(saved.GetGameName(), kDlgGameNameMaxBytes) == loaded.GetGameName().c_str());
  int a[3], b[3];
  saved.GetColumns(a[0], a[1], a[2]);
  loaded.GetColumns(b[0], b[1], b[2]);
  FUZZ_CHECK(a[0] == b[0] && a[1] == b[1] && a[2] == b[2]);
  FUZZ_CHECK(saved.GetMultiLine() == loaded.GetMultiLine());
  FUZZ_CHECK(saved.GetPlots().GetCount() == loaded.GetPlots().GetCount());
  int number = 0;
  auto* other = loaded.GetPlots().GetHeadPosition();
  for (auto* pos = saved.GetPlots().GetHeadPosition(); pos != nullptr;
       pos = pos->next, other = other->next, ++number) {
    const CDlgPlot& plot = pos->value;
    const CDlgPlot& back = other->value;
    FUZZ_CHECK(Cut(plot.GetName(), kDlgPlotNameMaxBytes) == back.GetName().c_str());
    FUZZ_CHECK(plot.rangeLow == back.rangeLow && plot.rangeHigh == back.rangeHigh);
    FUZZ_CHECK(plot.members.GetCount() == back.members.GetCount());
    FUZZ_CHECK(plot.members.GetCount() == back.storedIds.GetCount());
    auto* backMember = back.members.GetHeadPosition();
    auto* storedId = back.storedIds.GetHeadPosition();
    for (auto* m = plot.members.GetHeadPosition(); m != nullptr;
         m = m->next, backMember = backMember->next, storedId = storedId->next) {
      const CDlgItem& line = m->value->value;
      const CDlgItem& read = backMember->value->value;
      FUZZ_CHECK(line.GetID() == read.GetID() && storedId->value == line.GetID());
      FUZZ_CHECK(line.GetPlotIndex() == number && read.GetPlotIndex() == number);
      FUZZ_CHECK(SameTexts(line, read));
    }
  }
}

// The first lines read back by their IDs (each read opens the file, so a few dozen are enough);
// the IDs right beside them and past the highest, when no line has them, fail.
void CheckRandomAccess(const std::string& path, const CDlgFile& doc, int highestId) {
  constexpr int kLinesRead = 24;
  CDlgFile any;
  int count = 0;
  for (auto* pos = doc.GetLines().GetHeadPosition(); pos != nullptr && count < kLinesRead;
       pos = pos->next, ++count) {
    const CDlgItem& line = pos->value;
    CDlgItem read;
    FUZZ_CHECK(any.ReadItem(path.c_str(), line.GetID(), read));
    FUZZ_CHECK(read.GetID() == line.GetID() && read.GetPlotIndex() == line.GetPlotIndex());
    FUZZ_CHECK(SameTexts(line, read));
    for (int id : {line.GetID() - 1, line.GetID() + 1}) {
      if (id >= 0 && doc.FindItem(id) == nullptr) FUZZ_CHECK(!any.ReadItem(path.c_str(), id, read));
    }
  }
  CDlgItem read;
  FUZZ_CHECK(!any.ReadItem(path.c_str(), highestId + 1, read));
}

std::vector<std::string> ScratchEntries() {
  std::vector<std::string> names;
  DIR* dir = opendir(fuzz::ScratchDir().c_str());
  FUZZ_CHECK(dir != nullptr);
  while (dirent* entry = readdir(dir)) {
    const std::string name = entry->d_name;
    if (name != "." && name != "..") names.push_back(name);
  }
  closedir(dir);
  return names;
}

// Saves over the file once more with one operation failing. The document and so the bytes are
// the same, whether the save gets through or not; a failed save leaves the old file and nothing
// else.
void SaveWithFault(CDlgFile& doc, const std::string& path, const std::string& bytes,
                   bool allocation, long operations, uint32_t hash) {
  fuzz::FaultSeamsReset reset;
  const size_t entries = ScratchEntries().size();
  if (operations <= 0) return;
  const int n = 1 + static_cast<int>((hash >> 2) % static_cast<uint32_t>(operations));
  const bool sticky = (hash & 2) != 0;
  if (allocation) {
    platform::FailAllocationAfter(n, sticky);
  } else {
    platform::FailFileOperationAfter(n, sticky);
  }
  const int result = doc.Save(path.c_str());
  platform::ResetAllocationFaults();
  platform::ResetFileOperationFaults();
  FUZZ_CHECK(fuzz::ReadScratchFile(path) == bytes);
  FUZZ_CHECK(ScratchEntries().size() == entries);
  // Only the stream buffer may be refused without failing the save (the stream falls back to
  // its own); every file operation counts.
  if (!allocation) FUZZ_CHECK(result == 0 || (n >= operations - 1));
  fuzz::CheckDocumentConsistent(doc);
}

}  // namespace

int FuzzRoundTrip(const uint8_t* data, size_t size) {
  fuzz::QuietDebugOutput quiet;
  fuzz::FaultSeamsReset reset;
  CDlgFile doc;
  const fuzz::BuildResult built = fuzz::BuildDocument(data, size, doc);
  fuzz::CheckDocumentConsistent(doc);

  const std::string path = fuzz::ScratchFile("roundtrip.dlg");
  platform::ResetAllocationFaults();
  platform::ResetFileOperationFaults();
  FUZZ_CHECK(doc.Save(path.c_str()) == 1);
  const long allocations = platform::AllocationCount();
  const long operations = platform::FileOperationCount();
  const std::string bytes = fuzz::ReadScratchFile(path);

  CDlgFile loaded;
  FUZZ_CHECK(loaded.Load(path.c_str()) == 1);
  fuzz::CheckDocumentConsistent(loaded);
  CompareLoaded(doc, loaded);
  CheckRandomAccess(path, doc, built.highestId);
  if (!built.orphans) {
    const std::string again = fuzz::ScratchFile("again.dlg");
    FUZZ_CHECK(loaded.Save(again.c_str()) == 1);
    FUZZ_CHECK(fuzz::ReadScratchFile(again) == bytes);
  }

  const uint32_t hash = fuzz::InputHash(data, size);
  const bool allocation = (hash & 1) != 0;
  SaveWithFault(doc, path, bytes, allocation, allocation ? allocations : operations, hash);
  return 0;
}
