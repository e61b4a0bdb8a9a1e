// Writer of a merge result (dlg_merge_write.h): the snapshot handed to the one writer of the
// layout (src/dlgfile/dlg_layout_writer.h), which CDlgFile::Save uses as well, so the order of
// the lines, the index, the buffering, the replacement of the file and every diagnostic are
// Save's.
#include "merge/dlg_merge_write.h"

#include <cerrno>
#include <climits>
#include <cstring>
#include <string_view>

#include "dlgfile/dlg_format.h"
#include "dlgfile/dlg_layout_writer.h"

namespace {

// A text as a document stores it: up to its first zero byte.
std::string_view Stored(std::string_view text) {
  if (text.empty()) return text;
  const void* nul = std::memchr(text.data(), 0, text.size());
  return nul == nullptr
             ? text
             : text.substr(0, static_cast<size_t>(static_cast<const char*>(nul) - text.data()));
}

void StoredTexts(const MergeLine& line, std::string_view texts[4]) {
  texts[0] = Stored(line.speaker);
  texts[1] = Stored(line.expression);
  texts[2] = Stored(line.sound);
  texts[3] = Stored(line.text);
}

// The snapshot in the document order BuildDocument gives it: plots in list order, each plot's
// lines in member order, every line in exactly one plot.
class SnapshotSource final : public DlgLayoutSource {
 public:
  explicit SnapshotSource(const MergeDocument& doc) : doc_(doc) {}

  DlgLayoutHead Head() const override {
    DlgLayoutHead head;
    head.gameName = Stored(doc_.gameName);
    head.columns[0] = doc_.useSpeaker;
    head.columns[1] = doc_.useExpression;
    head.columns[2] = doc_.useSound;
    head.multiLine = doc_.multiLine;
    head.plotCount = static_cast<int64_t>(doc_.plots.size());
    for (const MergePlot& plot : doc_.plots) head.lineCount += plot.lines.size();
    head.memberCount = head.lineCount;
    return head;
  }

  int64_t ListLines(DlgLayoutLine* lines, int64_t room) const override {
    int64_t k = 0;
    int32_t number = 0;
    std::string_view texts[4];
    for (const MergePlot& plot : doc_.plots) {
      for (const MergeLine& line : plot.lines) {
        if (k == room) return k;
        StoredTexts(line, texts);
        const int64_t size = DlgRecordSize(texts);
        lines[k] = DlgLayoutLine{line.id, static_cast<int32_t>(k), number,
                                 size <= INT32_MAX ? static_cast<int32_t>(size) : -1, &line};
        ++k;
      }
      ++number;
    }
    return k;
  }

  void PutPlots(DlgPlotTableOut& out) const override {
    for (const MergePlot& plot : doc_.plots) {
      out.Entry(Stored(plot.name), plot.rangeLow, plot.rangeHigh,
                static_cast<int32_t>(plot.lines.size()));
      for (const MergeLine& line : plot.lines) out.Member(line.id);
    }
  }

  void Texts(const DlgLayoutLine& listed, std::string_view texts[4]) const override {
    const MergeLine& line = *static_cast<const MergeLine*>(listed.line);
    texts[0] = line.speaker;
    texts[1] = line.expression;
    texts[2] = line.sound;
    texts[3] = line.text;
    // The record was sized from the stored texts: when the views make the same size, none holds
    // a zero byte and the search for one is spared.
    if (DlgRecordSize(texts) != listed.size) StoredTexts(line, texts);
  }

 private:
  const MergeDocument& doc_;
};

// A line BuildDocument would give a new ID (AddItem numbers a line without one), so that the
// snapshot is not the document written: such a snapshot is built into a document first.
bool HasLineWithoutId(const MergeDocument& doc) {
  for (const MergePlot& plot : doc.plots) {
    for (const MergeLine& line : plot.lines) {
      if (line.id < 0) return true;
    }
  }
  return false;
}

// A text saveStr warns about; only the stream writer, which must stay silent, looks for them.
bool HasLongText(const MergeDocument& doc) {
  const auto isLong = [](std::string_view text) {
    return text.size() >= static_cast<size_t>(kDlgStringWarnLength) &&
           Stored(text).size() >= static_cast<size_t>(kDlgStringWarnLength);
  };
  for (const MergePlot& plot : doc.plots) {
    for (const MergeLine& line : plot.lines) {
      if (isLong(line.speaker) || isLong(line.expression) || isLong(line.sound) ||
          isLong(line.text)) {
        return true;
      }
    }
  }
  return false;
}

}  // namespace

MergedWrite WriteMergedDocument(const MergeDocument& merged, std::FILE* stream) {
  if (HasLineWithoutId(merged) || HasLongText(merged)) return MergedWrite::kNotTaken;
  switch (WriteDlgLayout(SnapshotSource(merged), stream)) {
    case DlgStreamWrite::kWritten:
      return MergedWrite::kWritten;
    case DlgStreamWrite::kNotTaken:
      return MergedWrite::kNotTaken;
    case DlgStreamWrite::kFailed:
      break;
  }
  return MergedWrite::kFailed;
}

platform::Status SaveMergedDocument(const MergeDocument& merged, const char* path) {
  if (HasLineWithoutId(merged)) {
    CDlgFile doc;
    if (!BuildDocument(merged, doc)) return platform::Status::Failure("not enough memory", ENOMEM);
    platform::Status status;
    if (doc.Save(path, status) != 1 && status.ok) status = platform::Status::Failure("cannot save");
    return status;
  }
  // No check of its own: a command's ReplaceCheckScope stays in force.
  return SaveDlgLayout(SnapshotSource(merged), path, platform::BeforeReplace());
}
