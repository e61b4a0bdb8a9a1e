// CDlgFile::Import of any text into a fixed small document, compared with a model of the import
// written from the format's rules: which texts the lines get, and what the log holds. Import may
// change nothing but texts. With bit 1 of the first byte, the import runs once more with one
// allocation failing; it must then fail and leave every text as it was.
#include <climits>
#include <string>
#include <vector>

#include "fuzz_support.h"
#include "fuzz_targets.h"
#include "interchange/text_import.h"
#include "platform/fault_injection.h"

namespace {

constexpr char kStaleLog[] = "stale log\r\n";

struct LineState {
  int id, plotIndex;
  std::string speaker, expression, sound, text;
};

// Plot A (IDs 0 to 3), plot B (100 and a second line of ID 3), and line 7 in no plot.
void BuildDocument(CDlgFile& doc, int multiLine) {
  doc.SetMultiLine(multiLine);
  PlotPos a = doc.AddPlot("A", 0, 10);
  PlotPos b = doc.AddPlot("B", 100, 110);
  const struct {
    int id;
    PlotPos plot;
    const char* text;
  } lines[] = {{0, a, "zero"},      {1, a, "one\r\nline"},  {2, a, ""},           {3, a, "three"},
               {100, b, "hundred"}, {3, b, "second three"}, {7, nullptr, "seven"}};
  for (const auto& entry : lines) {
    CDlgItem line;
    line.SetID(entry.id);
    line.SetPlotIndex(entry.plot == a ? 0 : entry.plot == b ? 1 : 5);
    line.SetSpeaker("speaker");
    line.SetExpression("face");
    line.SetSound("v.wav");
    line.SetText(entry.text);
    FUZZ_CHECK(doc.AddItem(line, entry.plot, nullptr) != nullptr);
  }
}

std::vector<LineState> Snapshot(const CDlgFile& doc) {
  std::vector<LineState> state;
  for (auto* pos = doc.GetLines().GetHeadPosition(); pos != nullptr; pos = pos->next) {
    const CDlgItem& line = pos->value;
    state.push_back({line.GetID(), line.GetPlotIndex(), line.GetSpeaker().c_str(),
                     line.GetExpression().c_str(), line.GetSound().c_str(),
                     line.GetText().c_str()});
  }
  return state;
}

std::string Without(const std::string& text, const std::string& piece) {
  std::string out;
  for (size_t i = 0; i < text.size();) {
    if (text.compare(i, piece.size(), piece) == 0) {
      i += piece.size();
    } else {
      out.push_back(text[i++]);
    }
  }
  return out;
}

// A text as a text-mode stream stores it: every LF as CR LF.
std::string AsTextMode(const std::string& text) {
  std::string out;
  for (char c : text) {
    if (c == '\n') out.push_back('\r');
    out.push_back(c);
  }
  return out;
}

// The import as the translation form defines it, applied to a snapshot of the document: the
// texts the lines get and the bytes of the log.
class ImportModel {
 public:
  ImportModel(std::vector<LineState>& lines, int multiLine)
      : lines_(lines), multiLine_(multiLine) {}

  // False when the import refuses the file (a UTF-16 byte-order mark): nothing changes then, and
  // the previous log stays.
  bool Run(std::string content) {
    if (content.size() >= 2 && ((content[0] == '\xFF' && content[1] == '\xFE') ||
                                (content[0] == '\xFE' && content[1] == '\xFF'))) {
      log_ = kStaleLog;
      return false;
    }
    // A UTF-8 byte-order mark is no part of the first line.
    if (content.compare(0, 3, "\xEF\xBB\xBF") == 0) content.erase(0, 3);
    std::vector<std::string> fileLines;
    size_t start = 0;
    for (size_t lf; (lf = content.find('\n', start)) != std::string::npos; start = lf + 1) {
      std::string line = content.substr(start, lf - start);
      if (!line.empty() && line.back() == '\r') line.pop_back();
      fileLines.push_back(line);
    }
    fileLines.push_back(content.substr(start));
    if (fileLines.back().empty()) fileLines.pop_back();  // the end of the file, not a text
    for (std::string& line : fileLines) Take(line.substr(0, line.find('\0')));
    if (inEntry_) Complete();
    return true;
  }

  const std::string& log() const { return log_; }

 private:
  void Take(const std::string& line) {
    if (line == "*************") return;
    if (!line.empty() && line.find_first_not_of("0123456789") == std::string::npos) {
      if (inEntry_) Complete();
      inEntry_ = true;
      digits_ = line;
      text_.clear();
      return;
    }
    if (!inEntry_) return;
    if (!text_.empty()) text_ += "\r\n";
    text_ += line;
  }

  void Complete() {
    inEntry_ = false;
    if (!text_.empty() && text_.back() == '\n') {
      text_.pop_back();
      if (!text_.empty() && text_.back() == '\r') text_.pop_back();
    }
    const size_t nonZero = digits_.find_first_not_of('0');
    const std::string value = nonZero == std::string::npos ? "0" : digits_.substr(nonZero);
    const bool fits = value.size() < 10 || (value.size() == 10 && value <= "2147483647");
    LineState* target = nullptr;
    for (LineState& line : lines_) {
      if (fits && line.id == std::stoi(value)) {
        target = &line;
        break;
      }
    }
    if (target == nullptr) {
      const std::string id = fits ? std::to_string(std::stoi(value)) : digits_;
      log_ += AsTextMode(id + "\n " + text_ + "\n");
      return;
    }
    std::string text = text_;
    if (multiLine_ == 0) text = Without(Without(Without(text, "\t"), "\r\n"), "\n");
    target->text = text;
  }

  std::vector<LineState>& lines_;
  int multiLine_;
  bool inEntry_ = false;
  std::string digits_;
  std::string text_;
  std::string log_;
};

void WriteStaleLog() {
  fuzz::WriteScratchFile(fuzz::ScratchFile(kImportLogName),
                         reinterpret_cast<const uint8_t*>(kStaleLog), sizeof kStaleLog - 1);
}

// Imports once more with one allocation failing: the import fails and changes nothing.
void ImportWithFailingAllocation(int multiLine, long allocations, uint32_t hash) {
  fuzz::FaultSeamsReset reset;
  CDlgFile doc;
  BuildDocument(doc, multiLine);
  const std::vector<LineState> before = Snapshot(doc);
  WriteStaleLog();
  const int n = 1 + static_cast<int>(hash % static_cast<uint32_t>(allocations));
  platform::FailAllocationAfter(n, (hash >> 31) != 0);
  const bool imported = doc.Import("in.txt");
  const bool fired = platform::AllocationCount() >= n;
  platform::ResetAllocationFaults();
  fuzz::CheckDocumentConsistent(doc);
  if (!fired) return;
  // The last allocation of an import that writes its log is the log's stream buffer, whose
  // failure the stream survives (it falls back to its own buffer): that import goes through.
  if (imported && n == allocations) return;
  FUZZ_CHECK(!imported);
  const std::vector<LineState> after = Snapshot(doc);
  for (size_t k = 0; k < after.size(); ++k) FUZZ_CHECK(after[k].text == before[k].text);
}

}  // namespace

int FuzzImport(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  fuzz::QuietDebugOutput quiet;
  fuzz::FaultSeamsReset reset;
  fuzz::InScratchDir cwd;
  const int multiLine = data[0] & 1;
  const std::string content(reinterpret_cast<const char*>(data + 1), size - 1);
  fuzz::WriteScratchFile(fuzz::ScratchFile("in.txt"), data + 1, size - 1);
  WriteStaleLog();

  CDlgFile doc;
  BuildDocument(doc, multiLine);
  std::vector<LineState> expected = Snapshot(doc);
  ImportModel model(expected, multiLine);
  const bool accepted = model.Run(content);

  platform::ResetAllocationFaults();
  FUZZ_CHECK(doc.Import("in.txt") == accepted);
  const long allocations = platform::AllocationCount();
  fuzz::CheckDocumentConsistent(doc);
  const std::vector<LineState> after = Snapshot(doc);
  FUZZ_CHECK(after.size() == expected.size());
  for (size_t k = 0; k < after.size(); ++k) {
    const LineState& got = after[k];
    const LineState& want = expected[k];
    FUZZ_CHECK(got.id == want.id && got.plotIndex == want.plotIndex);
    FUZZ_CHECK(got.speaker == want.speaker && got.expression == want.expression);
    FUZZ_CHECK(got.sound == want.sound);
    FUZZ_CHECK(got.text == want.text);
  }
  FUZZ_CHECK(fuzz::ReadScratchFile(fuzz::ScratchFile(kImportLogName)) == model.log());

  if ((data[0] & 2) != 0 && allocations > 0) {
    ImportWithFailingAllocation(multiLine, allocations, fuzz::InputHash(data, size));
  }
  return 0;
}
