// Saving a document: CDlgFile::Save hands the document to the one writer of the layout
// (dlg_layout_writer.h); CDlgItem::Write writes one record. The format, byte by byte, with a
// worked example, is described in docs/dlg-format.md.
#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstring>
#include <memory>
#include <new>

#include "dlgfile/dlg_format.h"
#include "dlgfile/dlg_layout_writer.h"
#include "model/dlg_file.h"
#include "platform/debug_output.h"
#include "platform/fault_injection.h"
#include "platform/file_io.h"

namespace {

// Numbers the plots from 0 in list order and stamps each member line with its plot's number.
void RefreshPlotIndexes(CDlgFile& doc) {
  int number = 0;
  for (auto* plot = doc.GetPlots().GetHeadPosition(); plot != nullptr; plot = plot->next) {
    for (auto* m = plot->value.members.GetHeadPosition(); m != nullptr; m = m->next) {
      doc.GetItem(m->value).SetPlotIndex(number);
    }
    ++number;
  }
}

std::string_view View(const CPlainString& text) {
  return std::string_view(text.c_str(), static_cast<size_t>(text.GetLength()));
}

// A document as the one writer of the layout reads it (dlg_layout_writer.h).
class DocumentSource final : public DlgLayoutSource {
 public:
  explicit DocumentSource(const CDlgFile& doc) : doc_(doc) {}

  DlgLayoutHead Head() const override {
    DlgLayoutHead head;
    head.gameName = View(doc_.GetGameName());
    int columns[3] = {0, 0, 0};
    doc_.GetColumns(columns[0], columns[1], columns[2]);
    for (int k = 0; k < 3; ++k) head.columns[k] = columns[k];
    head.multiLine = doc_.GetMultiLine();
    head.plotCount = doc_.GetPlots().GetCount();
    for (auto* plot = doc_.GetPlots().GetHeadPosition(); plot != nullptr; plot = plot->next) {
      head.memberCount += plot->value.members.GetCount();
    }
    head.lineCount = doc_.GetLines().GetCount();
    return head;
  }

  int64_t ListLines(DlgLayoutLine* lines, int64_t room) const override {
    int64_t k = 0;
    for (auto* pos = doc_.GetLines().GetHeadPosition(); pos != nullptr && k < room;
         pos = pos->next, ++k) {
      // The size is taken here, in document order, where the lines lie close together in
      // memory; the writer goes in ID order and touches each line once more only to write it.
      const CDlgItem& line = pos->value;
      lines[k] = DlgLayoutLine{line.GetID(), static_cast<int32_t>(k), line.GetPlotIndex(),
                               line.GetWriteSize(), &line};
    }
    return k;
  }

  void PutPlots(DlgPlotTableOut& out) const override {
    for (auto* pos = doc_.GetPlots().GetHeadPosition(); pos != nullptr; pos = pos->next) {
      const CDlgPlot& plot = pos->value;
      out.Entry(View(plot.GetName()), plot.rangeLow, plot.rangeHigh, plot.members.GetCount());
      for (auto* m = plot.members.GetHeadPosition(); m != nullptr; m = m->next) {
        out.Member(m->value->value.GetID());  // a member names a node of the lines
      }
    }
  }

  void Texts(const DlgLayoutLine& line, std::string_view texts[4]) const override {
    const CDlgItem& item = *static_cast<const CDlgItem*>(line.line);
    texts[0] = View(item.GetSpeaker());
    texts[1] = View(item.GetExpression());
    texts[2] = View(item.GetSound());
    texts[3] = View(item.GetText());
  }

 private:
  const CDlgFile& doc_;
};

// The whole record of `size` bytes (GetWriteSize): the plain body length, then the body.
void EncodeRecord(const CDlgItem& line, uint8_t* record, int size) {
  EncodeDlgRecord(record, size, line.GetID(), line.GetPlotIndex(), line.GetSpeaker(),
                  line.GetExpression(), line.GetSound(), line.GetText());
}

}  // namespace

int CDlgItem::GetWriteSize() const {
  const int64_t size = 4 + kDlgBodyFixedSize + static_cast<int64_t>(speaker.GetLength()) + 1 +
                       expression.GetLength() + 1 + sound.GetLength() + 1 + text.GetLength() + 1;
  return size <= INT32_MAX ? static_cast<int>(size) : -1;
}

int CDlgItem::Write(std::FILE* file) const {
  const int size = GetWriteSize();
  if (size < 0) return -1;
  std::unique_ptr<uint8_t[]> record(platform::NewArray<uint8_t>(size));
  if (record == nullptr) return -1;
  EncodeRecord(*this, record.get(), size);
  return platform::WriteBytes(file, record.get(), static_cast<size_t>(size)) ? size : -1;
}

int CDlgFile::Save(const char* path) {
  platform::Status status;
  return Save(path, platform::BeforeReplace(), status);
}

int CDlgFile::Save(const char* path, platform::Status& status) {
  return Save(path, platform::BeforeReplace(), status);
}

int CDlgFile::Save(const char* path, const platform::BeforeReplace& beforeReplace) {
  platform::Status status;
  return Save(path, beforeReplace, status);
}

// The one writer of the layout reports every failure twice: the described debug line, and
// `status` in this layer's words (the file is the caller's to name), errno set to its reason.
int CDlgFile::Save(const char* path, const platform::BeforeReplace& beforeReplace,
                   platform::Status& status) {
  RefreshPlotIndexes(*this);
  status = SaveDlgLayout(DocumentSource(*this), path, beforeReplace);
  if (!status) return 0;
  version = kDlgVersion;
  // The next save over this file compares against what this one left there.
  loadedFile = platform::IdentifyFileForReading(path);
  return 1;
}
