// The stored text form of git's filter (merge/dlg_stored_text.h). The input is read twice:
//
//  1. As a document: options and ranges from its bytes (negative ranges included), names and
//     texts cut from it as raw byte strings (every byte value, CR LF, TABs, backslashes, bytes of
//     double-byte code pages). Rendered and parsed again, it must come back equal, and render to
//     the same text; the text must hold no zero byte and, per line, no control byte but TAB.
//  2. As a stored text: whatever the parser accepts must render to a text that parses to an
//     equal document. A repeated ID or plot name is refused.
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

#include "fuzz_support.h"
#include "fuzz_targets.h"
#include "merge/dlg_merge.h"
#include "merge/dlg_stored_text.h"

namespace {

class Slices {
 public:
  Slices(const uint8_t* data, size_t size) : data_(data), size_(size) {}
  uint8_t Byte() {
    if (at_ >= size_) return 0;
    return data_[at_++];
  }
  int32_t Int() {
    uint32_t value = 0;
    for (int k = 0; k < 4; ++k) value = value << 8 | Byte();
    return static_cast<int32_t>(value);
  }
  // A byte string of up to 31 bytes (the first byte says how long), viewing the input.
  std::string_view Text() {
    const size_t length = Byte() % 32;
    const size_t take = at_ + length <= size_ ? length : size_ - at_;
    const std::string_view text(reinterpret_cast<const char*>(data_) + at_, take);
    at_ += take;
    return text;
  }
  bool Done() const { return at_ >= size_; }

 private:
  const uint8_t* data_;
  size_t size_;
  size_t at_ = 0;
};

// IDs and plot names are unique, as in every document the writer writes (the parser refuses
// repeats; the last check of the target covers that side).
MergeDocument MakeDocument(Slices& in) {
  MergeDocument doc;
  std::unordered_set<int32_t> ids;
  std::unordered_set<std::string_view> names;
  doc.gameName = in.Text();
  doc.useSpeaker = in.Byte() % 3 - 1;
  doc.useExpression = in.Byte() & 1;
  doc.useSound = in.Byte() == 7 ? in.Int() : 1;
  doc.multiLine = in.Byte() & 1;
  for (int plots = in.Byte() % 5; plots > 0 && !in.Done(); --plots) {
    const std::string_view name = in.Text();
    if (!names.insert(name).second) continue;
    MergePlot& plot = doc.plots.emplace_back();
    plot.name = name;
    plot.rangeLow = in.Byte() & 1 ? in.Int() : -1;
    plot.rangeHigh = in.Byte() & 1 ? in.Int() : 100;
    for (int lines = in.Byte() % 6; lines > 0 && !in.Done(); --lines) {
      MergeLine line;
      line.id = in.Byte() & 1 ? in.Int() : in.Byte();
      line.speaker = in.Text();
      line.expression = in.Text();
      line.sound = in.Text();
      line.text = in.Text();
      if (ids.insert(line.id).second) plot.lines.push_back(line);
    }
  }
  return doc;
}

void CheckTextShape(const std::string& text) {
  for (const char c : text) {
    const unsigned char byte = static_cast<unsigned char>(c);
    FUZZ_CHECK(byte >= 0x20 || c == '\t' || c == '\n');
    FUZZ_CHECK(byte != 0x7F);
  }
  FUZZ_CHECK(!text.empty() && text.back() == '\n');
}

}  // namespace

int FuzzStoredText(const uint8_t* data, size_t size) {
  Slices in(data, size);
  const MergeDocument doc = MakeDocument(in);
  const std::string text = RenderStoredText(doc);
  CheckTextShape(text);
  MergeDocument back;
  std::string storage;
  FUZZ_CHECK(ParseStoredText(text, back, storage).ok);
  FUZZ_CHECK((doc == back));
  FUZZ_CHECK(RenderStoredText(back) == text);

  const std::string_view raw(reinterpret_cast<const char*>(data), size);
  MergeDocument parsed;
  std::string parsedStorage;
  if (ParseStoredText(raw, parsed, parsedStorage).ok) {
    const std::string again = RenderStoredText(parsed);
    MergeDocument reparsed;
    std::string reparsedStorage;
    FUZZ_CHECK(ParseStoredText(again, reparsed, reparsedStorage).ok);
    FUZZ_CHECK((parsed == reparsed));
  }
  return 0;
}
