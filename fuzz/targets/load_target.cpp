// CDlgFile::Load on any bytes. Whatever the file holds, the load succeeds, takes the header fields
// as the format places them, creates exactly the plots whose table entries are complete, places
// every line in one plot, and leaves a consistent document. Then, for half of the inputs, the same
// file is loaded again with one allocation failing (or every one from it on): the load must report
// the failure, and the document must still be consistent.
#include <algorithm>
#include <cstring>
#include <vector>

#include "dlgfile/dlg_format.h"
#include "fuzz_support.h"
#include "fuzz_targets.h"
#include "platform/fault_injection.h"

namespace {

// A document with content of its own, so that a load is seen to replace it.
void Prefill(CDlgFile& doc) {
  doc.SetColumns(7, 8, 9);
  PlotPos plot = doc.AddPlot("before", 0, 10);
  CDlgItem line;
  line.SetText("old line");
  FUZZ_CHECK(doc.AddItem(line, plot, nullptr) != nullptr);
}

// The file's bytes laid over the defaults of a new header, as the reader must take them.
struct Expected {
  int32_t version;
  int32_t multiLine;
  std::string gameName;
  int32_t columns[3] = {7, 8, 9};  // kept from the document where the file ends before them
  struct Plot {
    std::string name;
    int32_t low, high;
    std::vector<int32_t> storedIds;
  };
  std::vector<Plot> plots;
};

int32_t IntAt(const uint8_t* data, size_t size, size_t offset, int32_t fallback) {
  if (offset + 4 > size) return fallback;
  return LoadLE32(data + offset);
}

Expected ExpectedOf(const uint8_t* data, size_t size) {
  uint8_t header[kDlgHeaderSize];
  EncodeDlgHeader(NewDlgHeader(), header);
  if (size > 0) std::memcpy(header, data, std::min<size_t>(size, sizeof header));
  Expected expected;
  expected.version = LoadLE32(header + kDlgVersionOffset);
  expected.multiLine = LoadLE32(header + kDlgMultiLineOffset);
  const char* name = reinterpret_cast<const char*>(header + kDlgGameNameOffset);
  expected.gameName.assign(name, strnlen(name, kDlgGameNameSize));
  for (int k = 0; k < 3; ++k) {
    expected.columns[k] = IntAt(data, size, kDlgColumnsOffset + 4 * k, expected.columns[k]);
  }
  const int32_t plotCount = IntAt(data, size, kDlgPlotCountOffset, 0);
  const size_t fixed = static_cast<size_t>(DlgPlotEntrySize(expected.version));
  size_t offset = kDlgPlotTableOffset;
  for (int32_t i = 0; i < plotCount && offset + fixed <= size; ++i) {
    Expected::Plot plot;
    const char* plotName = reinterpret_cast<const char*>(data + offset);
    plot.name.assign(plotName, strnlen(plotName, kDlgPlotNameSize));
    const bool ranges = expected.version >= kDlgVersionRanges;
    plot.low = ranges ? LoadLE32(data + offset + kDlgPlotNameSize) : -1;
    plot.high = ranges ? LoadLE32(data + offset + kDlgPlotNameSize + 4) : -1;
    offset += fixed;
    if (expected.version >= kDlgVersionMembers) {
      const int32_t count = LoadLE32(data + offset - 4);
      for (int32_t k = 0; k < count && offset + 4 <= size; ++k, offset += 4) {
        plot.storedIds.push_back(LoadLE32(data + offset));
      }
      if (count > 0 && offset + 4 > size) offset = size + 1;  // the table ends inside the list
    }
    expected.plots.push_back(plot);
  }
  return expected;
}

void CheckLoaded(const CDlgFile& doc, const Expected& expected) {
  fuzz::CheckDocumentConsistent(doc);
  FUZZ_CHECK(doc.GetVersion() == expected.version);
  FUZZ_CHECK(doc.GetMultiLine() == expected.multiLine);
  FUZZ_CHECK(expected.gameName == doc.GetGameName().c_str());
  int columns[3];
  doc.GetColumns(columns[0], columns[1], columns[2]);
  FUZZ_CHECK(std::equal(columns, columns + 3, expected.columns));
  FUZZ_CHECK(doc.GetPlots().GetCount() == static_cast<int>(expected.plots.size()));
  int members = 0;
  int number = 0;
  for (auto* pos = doc.GetPlots().GetHeadPosition(); pos != nullptr; pos = pos->next, ++number) {
    const CDlgPlot& plot = pos->value;
    const Expected::Plot& want = expected.plots[number];
    FUZZ_CHECK(want.name == plot.GetName().c_str());
    FUZZ_CHECK(plot.rangeLow == want.low && plot.rangeHigh == want.high);
    std::vector<int32_t> stored;
    for (auto* id = plot.storedIds.GetHeadPosition(); id != nullptr; id = id->next) {
      stored.push_back(id->value);
    }
    FUZZ_CHECK(stored == want.storedIds);
    for (auto* m = plot.members.GetHeadPosition(); m != nullptr; m = m->next, ++members) {
      const CDlgItem& line = m->value->value;
      FUZZ_CHECK(line.GetID() >= 0 && line.GetPlotIndex() >= 0);
      // Old versions place a line by the plot its record names.
      if (expected.version < kDlgVersionMembers) FUZZ_CHECK(line.GetPlotIndex() == number);
    }
  }
  FUZZ_CHECK(doc.GetLines().GetCount() == members);  // every line is in a plot
}

// Loads with one allocation failing; the load must then fail and leave a consistent document:
// either as it was or emptied of plots and lines.
void LoadWithFailingAllocation(const std::string& path, long allocations, uint32_t hash) {
  fuzz::FaultSeamsReset reset;
  CDlgFile doc;
  Prefill(doc);
  const int n = 1 + static_cast<int>(hash % static_cast<uint32_t>(allocations));
  platform::FailAllocationAfter(n, (hash >> 30) != 0);
  const int result = doc.Load(path.c_str());
  const bool fired = platform::AllocationCount() >= n;
  platform::ResetAllocationFaults();
  fuzz::CheckDocumentConsistent(doc);
  if (!fired) return;
  FUZZ_CHECK(result == 0);
  const int plots = doc.GetPlots().GetCount();
  const int lines = doc.GetLines().GetCount();
  FUZZ_CHECK((plots == 0 && lines == 0) || (plots == 1 && lines == 1));
}

}  // namespace

int FuzzLoad(const uint8_t* data, size_t size) {
  fuzz::QuietDebugOutput quiet;
  fuzz::FaultSeamsReset reset;
  const std::string path = fuzz::ScratchFile("load.dlg");
  fuzz::WriteScratchFile(path, data, size);

  long allocations = 0;
  {
    CDlgFile doc;
    Prefill(doc);
    platform::ResetAllocationFaults();
    FUZZ_CHECK(doc.Load(path.c_str()) == 1);
    allocations = platform::AllocationCount();
    CheckLoaded(doc, ExpectedOf(data, size));
  }
  // Half of the inputs, as the fuzzer steers it, load again with a fault.
  const uint32_t hash = fuzz::InputHash(data, size);
  if (allocations > 0 && (hash & 1) != 0) LoadWithFailingAllocation(path, allocations, hash >> 1);
  return 0;
}
