#include "roundtrip_builder.h"

#include <string>

#include "fuzz_support.h"

namespace fuzz {
namespace {

constexpr int kIdLimit = 4096;
constexpr int kRangeStep = 16;
constexpr uint8_t kNoBound = 255;
constexpr uint16_t kAllocate = 0xFFFF;

class ByteSource {
 public:
  ByteSource(const uint8_t* data, size_t size) : data_(data), size_(size) {}

  bool Empty() const { return at_ >= size_; }
  uint8_t Byte() { return at_ < size_ ? data_[at_++] : 0; }
  uint16_t Word() {
    const uint16_t low = Byte();
    return static_cast<uint16_t>(low | Byte() << 8);
  }
  std::string String() {
    size_t length = Byte();
    if (length == 255) length = Word();
    if (length > size_ - at_) length = size_ - at_;
    std::string text(reinterpret_cast<const char*>(data_ + at_), length);
    at_ += length;
    return text;
  }
  int Bound() {
    const uint8_t value = Byte();
    return value == kNoBound ? -1 : value * kRangeStep;
  }

 private:
  const uint8_t* data_;
  size_t size_;
  size_t at_ = 0;
};

template <typename T>
typename CQHList<T>::Node* NthNode(const CQHList<T>& list, int choice) {
  if (list.GetCount() == 0) return nullptr;
  auto* node = list.GetHeadPosition();
  for (int k = choice % list.GetCount(); k > 0; --k) node = node->next;
  return node;
}

PlotPos PlotOf(const CDlgFile& doc, LinePos line) {
  for (PlotPos plot = doc.GetPlots().GetHeadPosition(); plot != nullptr; plot = plot->next) {
    for (auto* m = plot->value.members.GetHeadPosition(); m != nullptr; m = m->next) {
      if (m->value == line) return plot;
    }
  }
  return nullptr;
}

void AddLine(ByteSource& in, CDlgFile& doc, bool inPlot) {
  PlotPos plot = inPlot ? NthNode(doc.GetPlots(), in.Byte()) : nullptr;
  if (inPlot && plot == nullptr) return;
  CDlgItem line;
  const uint16_t id = in.Word();
  if (id != kAllocate && doc.FindItem(id % kIdLimit) == nullptr) line.SetID(id % kIdLimit);
  LinePos after = nullptr;
  if (plot != nullptr) {
    auto* member = NthNode(plot->value.members, in.Byte());
    if (member != nullptr) after = member->value;
  }
  line.SetSpeaker(in.String().c_str());
  line.SetExpression(in.String().c_str());
  line.SetSound(in.String().c_str());
  line.SetText(in.String().c_str());
  // An allocation fails only when the plot's range is used up.
  doc.AddItem(line, plot, after);
}

void ChangeLine(ByteSource& in, CDlgFile& doc) {
  LinePos pos = NthNode(doc.GetLines(), in.Byte());
  const uint8_t field = in.Byte();
  const std::string value = in.String();
  if (pos == nullptr) return;
  CDlgItem& line = doc.GetItem(pos);
  switch (field % 4) {
    case 0:
      line.SetSpeaker(value.c_str());
      break;
    case 1:
      line.SetExpression(value.c_str());
      break;
    case 2:
      line.SetSound(value.c_str());
      break;
    default:
      line.SetText(value.c_str());
      break;
  }
}

}  // namespace

BuildResult BuildDocument(const uint8_t* data, size_t size, CDlgFile& doc) {
  ByteSource in(data, size);
  doc.SetGameName(in.String().c_str());
  const int speaker = in.Byte() & 1, expression = in.Byte() & 1, sound = in.Byte() & 1;
  doc.SetColumns(speaker, expression, sound);
  doc.SetMultiLine(in.Byte() & 1);
  while (!in.Empty()) {
    switch (in.Byte() % 6) {
      case 0: {
        const std::string name = in.String();
        const int low = in.Bound();
        FUZZ_CHECK(doc.AddPlot(name.c_str(), low, in.Bound()) != nullptr);
        break;
      }
      case 1:
        AddLine(in, doc, true);
        break;
      case 2:
        AddLine(in, doc, false);
        break;
      case 3:
        ChangeLine(in, doc);
        break;
      case 4: {
        LinePos line = NthNode(doc.GetLines(), in.Byte());
        if (line != nullptr) doc.DeleteItem(line, PlotOf(doc, line));
        break;
      }
      default:
        doc.DeletePlot(NthNode(doc.GetPlots(), in.Byte()));
        break;
    }
  }
  BuildResult result;
  int members = 0;
  for (PlotPos plot = doc.GetPlots().GetHeadPosition(); plot != nullptr; plot = plot->next) {
    members += plot->value.members.GetCount();
  }
  result.orphans = members != doc.GetLines().GetCount();
  for (LinePos pos = doc.GetLines().GetHeadPosition(); pos != nullptr; pos = pos->next) {
    if (pos->value.GetID() > result.highestId) result.highestId = pos->value.GetID();
  }
  return result;
}

}  // namespace fuzz
