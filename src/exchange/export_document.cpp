// Export: the document's plots and lines, in document order, to ExportSet, then to bytes and to
// the file through the safe replace routine.
#include <cerrno>
#include <cstring>
#include <type_traits>
#include <unordered_map>

#include "exchange/exchange.h"
#include "exchange/recoder.h"
#include "exchange/xlsx_writer.h"
#include "platform/file_io.h"
#include "platform/page_buffer.h"

namespace exchange {
namespace {

// Context shown to translators must fit one comment line: CR LF becomes U+21B5, any other
// control byte a space. Only the shown context is changed; texts themselves are never touched.
std::string OneLine(std::string_view utf8) {
  std::string out;
  out.reserve(utf8.size());
  size_t run = 0;  // start of the bytes not yet copied, none of them a control byte
  for (size_t i = 0; i < utf8.size(); ++i) {
    const unsigned char c = static_cast<unsigned char>(utf8[i]);
    if (c >= 0x20 && c != 0x7F) continue;
    out.append(utf8, run, i - run);
    if (c == '\r' && i + 1 < utf8.size() && utf8[i + 1] == '\n') {
      out += "\xE2\x86\xB5";
      ++i;
    } else {
      out += ' ';
    }
    run = i + 1;
  }
  out.append(utf8, run, utf8.size() - run);
  return out;
}

// The first kPreviousChars characters of a one-line context, with "…" when cut.
constexpr size_t kPreviousChars = 40;
std::string Shorten(const std::string& utf8) {
  size_t chars = 0;
  for (size_t i = 0; i < utf8.size(); ++i) {
    if ((static_cast<unsigned char>(utf8[i]) & 0xC0) == 0x80) continue;
    if (chars++ == kPreviousChars) return utf8.substr(0, i) + "\xE2\x80\xA6";
  }
  return utf8;
}

void AddNote(std::string& notes, const char* label, const std::string& value) {
  if (!notes.empty()) notes += '\n';
  notes += label;
  notes += ": ";
  notes += value;
}

class Collector {
 public:
  Collector(const Recoder& recoder, std::string& error) : recoder_(recoder), error_(error) {}

  // `what` is built only when the conversion fails; a string or a callable giving one.
  template <typename What>
  bool Convert(const CPlainString& bytes, std::string& out, const What& what) {
    if (recoder_.ToUtf8(std::string_view(bytes.c_str(), bytes.GetLength()), out)) return true;
    if constexpr (std::is_invocable_v<What>) {
      error_ = what() + " is not valid " + recoder_.codeset() + " text";
    } else {
      error_ = std::string(what) + " is not valid " + recoder_.codeset() + " text";
    }
    return false;
  }

  // `plotShown` is the plot's name as OneLine shows it; `previousText` the previous line's text in
  // UTF-8 when it was just converted for its own unit, else null.
  bool Notes(const CDlgItem& line, const CDlgItem* previous, const std::string& plotShown,
             const std::string* previousText, ExportUnit& unit) {
    AddNote(unit.notes, "plot", plotShown);
    const struct {
      const char* label;
      const CPlainString& field;
    } fields[] = {
        {"speaker", line.speaker}, {"expression", line.expression}, {"sound", line.sound}};
    for (const auto& field : fields) {
      if (field.field.IsEmpty()) continue;
      if (!Convert(field.field, value_,
                   [&] { return "ID " + std::to_string(line.id) + ": " + field.label; })) {
        return false;
      }
      AddNote(unit.notes, field.label, OneLine(value_));
    }
    // An empty previous line without a speaker would give an empty note; it is left out.
    if (previous != nullptr && !(previous->speaker.IsEmpty() && previous->text.IsEmpty())) {
      std::string speaker;
      std::string text;
      const auto prevWhere = [previous] { return "ID " + std::to_string(previous->id); };
      if (!Convert(previous->speaker, speaker, [&] { return prevWhere() + ": speaker"; }) ||
          (previousText == nullptr &&
           !Convert(previous->text, text, [&] { return prevWhere() + ": text"; }))) {
        return false;
      }
      std::string shown = Shorten(OneLine(previousText != nullptr ? *previousText : text));
      if (!speaker.empty()) shown = OneLine(speaker) + ": " + shown;
      AddNote(unit.notes, "previous", shown);
    }
    return true;
  }

 private:
  const Recoder& recoder_;
  std::string& error_;
  std::string value_;  // reused for each field, so that a line allocates only what it keeps
};

std::string BaseName(const std::string& path) {
  const size_t slash = path.find_last_of('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

}  // namespace

bool CollectUnits(CDlgFile& doc, const ExportOptions& options, ExportSet& set, std::string& error) {
  Recoder recoder(options.codeset);
  if (!recoder.ok()) {
    error = "unknown encoding " + recoder.codeset();
    return false;
  }
  Collector collect(recoder, error);
  set = ExportSet();
  set.original =
      options.original.empty() ? std::string("document.dlg") : BaseName(options.original);
  set.sourceLang = options.sourceLang.empty() ? "und" : options.sourceLang;
  set.targetLang = options.targetLang.empty() ? "und" : options.targetLang;
  set.xliffVersion = options.xliffVersion == 2 ? 2 : 1;
  if (!collect.Convert(doc.GetGameName(), set.gameName, "the game name")) return false;
  set.units.reserve(doc.GetLines().GetCount());
  // Some 450 bytes an entry, touched once each: in huge pages where the system has them.
  platform::PreferHugePages(set.units.data(), set.units.capacity() * sizeof(ExportUnit));

  std::unordered_map<int, LinePos> seen;
  seen.reserve(doc.GetLines().GetCount());
  for (PlotPos p = doc.GetFirstPlot(); p != nullptr;) {
    CDlgPlot& plot = doc.GetNextPlot(p);
    std::string plotName;
    if (!collect.Convert(plot.name, plotName,
                         "the name of plot " + std::to_string(set.plots.size() + 1))) {
      return false;
    }
    set.plots.push_back(plotName);
    const std::string plotShown = OneLine(plotName);
    const CDlgItem* previous = nullptr;
    bool previousExported = false;  // `previous` is the line of set.units.back()
    for (auto m = plot.members.GetHeadPosition(); m != nullptr;) {
      const LinePos pos = plot.members.GetNext(m);
      const CDlgItem& line = doc.GetItem(pos);
      const auto where = [&line] { return "ID " + std::to_string(line.id); };
      if (line.id < 0) {
        error = "plot " + plotName + " holds a line without an ID";
        return false;
      }
      const auto [it, added] = seen.emplace(line.id, pos);
      if (!added) {
        if (it->second != pos) {
          error = where() + " is used by more than one line";
          return false;
        }
        previous = &line;
        previousExported = false;
        continue;  // a line listed by two plots is exported once, where it first appears
      }
      ExportUnit unit;
      unit.id = line.id;
      unit.plot = static_cast<int>(set.plots.size()) - 1;
      if (!collect.Convert(line.text, unit.text, [&] { return where() + ": text"; })) return false;
      if (options.translation != nullptr) {
        const LinePos t = options.translation->FindItem(line.id);
        if (t != nullptr) {
          unit.hasTarget = true;
          const CDlgItem& translated = options.translation->GetLines().GetAt(t);
          if (!collect.Convert(translated.text, unit.target,
                               [&] { return where() + ": translation"; })) {
            return false;
          }
        }
      }
      const std::string* previousText = previousExported ? &set.units.back().text : nullptr;
      if (!collect.Notes(line, previous, plotShown, previousText, unit)) return false;
      set.units.push_back(std::move(unit));
      previous = &line;
      previousExported = true;
    }
  }
  return true;
}

bool ExportDocument(CDlgFile& doc, const std::string& path, Format format,
                    const ExportOptions& options, std::string& error) {
  ExportSet set;
  if (!CollectUnits(doc, options, set, error)) return false;
  return WriteExchangeFile(set, path, format, error);
}

namespace {
// errno of the last failed write of this thread's export, for the Status overloads.
thread_local int lastWriteErrno = 0;
}  // namespace

bool ExportDocument(CDlgFile& doc, const std::string& path, Format format,
                    const ExportOptions& options, platform::Status& status) {
  std::string error;
  lastWriteErrno = 0;
  if (ExportDocument(doc, path, format, options, error)) {
    status = platform::Status::Ok();
    return true;
  }
  status = platform::Status::Failure(error, lastWriteErrno);
  return false;
}

int LastExchangeWriteErrno() {
  return lastWriteErrno;
}

bool WriteExchangeFile(ExportSet& set, const std::string& path, Format format,
                       std::string& error) {
  if (format == Format::kXlsx) {
    // The workbook is packed straight into the temporary file of the atomic replace, its sheet a
    // chunk at a time: the file's bytes are never held whole.
    platform::Status status;
    const platform::ReplaceResult result = platform::ReplaceFile(
        path.c_str(),
        [&set, &status](std::FILE* file) { return WriteXlsxWorkbook(set, file, status); });
    set = ExportSet();
    if (result == platform::ReplaceResult::kReplaced) return true;
    if (!status.ok && status.systemError == 0) {
      error = status.message;  // a refusal: a text over a cell, too many rows, a part of 4 GiB
      return false;
    }
    lastWriteErrno = status.systemError != 0 ? status.systemError : errno;
    error = path + ": cannot write the file: " + std::strerror(lastWriteErrno);
    return false;
  }
  // The bytes go to the temporary file a chunk at a time as the writer makes them.
  const platform::ReplaceResult result =
      platform::ReplaceFile(path.c_str(), [&set, format](std::FILE* file) {
        const ChunkSink sink = [file](std::string_view bytes) {
          return platform::WriteBytes(file, bytes.data(), bytes.size());
        };
        switch (format) {
          case Format::kPo:
            return WritePo(set, sink);
          case Format::kXliff:
            return WriteXliff(set, sink);
          case Format::kCsv:
            return WriteCsv(set, sink);
          case Format::kXlsx:
            break;  // written above
        }
        return false;
      });
  set = ExportSet();
  if (result != platform::ReplaceResult::kReplaced) {
    lastWriteErrno = errno;
    error = path + ": cannot write the file: " + std::strerror(errno);
    return false;
  }
  return true;
}

}  // namespace exchange
