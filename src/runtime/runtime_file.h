// The handle behind the C interface: a checked .dlg file, decoded once into tables that lookups
// only read. Nothing in it changes after Open, which is what makes lookups from many threads safe
// without locks.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "parlatrix/runtime.h"

namespace parlatrix_runtime {

class DialogueFile {
 public:
  // Takes the file's bytes (size ≤ 2 GiB), checks them and decodes them. PRX_OK, or the failure
  // with a message in `why`; the object is unusable then.
  prx_status Open(std::unique_ptr<uint8_t[]> bytes, size_t size, std::string& why);

  int32_t LineCount() const { return static_cast<int32_t>(lines_.size()); }
  int32_t HighestId() const { return static_cast<int32_t>(slotOfId_.size()) - 1; }
  int32_t PlotCount() const { return static_cast<int32_t>(plots_.size()); }
  prx_text GameName() const { return Text(gameNameAt_, gameNameLength_); }

  // Fills `line` or returns false (no line with this ID).
  bool GetLine(int32_t id, prx_line& line) const;
  bool GetPlot(int32_t index, prx_plot& plot) const;

 private:
  // One record, its texts as places in bytes_ where they were unscrambled (each followed by a
  // zero byte: the check makes sure every stored string ends in one).
  struct Line {
    int32_t id;
    int32_t plotIndex;
    uint32_t textAt[4];
    uint32_t textLength[4];
  };
  struct Plot {
    uint32_t nameAt;
    uint32_t nameLength;
    int32_t rangeLow;
    int32_t rangeHigh;
    size_t firstMember;  // into members_
    size_t memberCount;
  };

  prx_text Text(uint32_t at, uint32_t length) const;
  bool DecodeRecords(int64_t indexOffset, int32_t indexCount);
  void DecodePlots(int32_t version, int32_t plotCount);
  void GroupLinesByPlot();

  std::unique_ptr<uint8_t[]> bytes_;
  size_t size_ = 0;
  std::vector<Line> lines_;        // ascending ID
  std::vector<int32_t> slotOfId_;  // ID -> position in lines_, -1 for an unused ID
  std::vector<Plot> plots_;
  std::vector<int32_t> members_;  // the plots' member IDs, plot after plot
  uint32_t gameNameAt_ = 0;
  uint32_t gameNameLength_ = 0;
};

}  // namespace parlatrix_runtime
