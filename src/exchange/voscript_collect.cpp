// The voice-over script's rows, taken from the document in plot order and converted to UTF-8.
#include <cctype>
#include <unordered_map>

#include "exchange/recoder.h"
#include "exchange/voscript.h"

namespace exchange {
namespace {

std::string_view View(const CPlainString& text) {
  return std::string_view(text.c_str(), static_cast<size_t>(text.GetLength()));
}

class RowBuilder {
 public:
  RowBuilder(const Recoder& recoder, std::string& error) : recoder_(recoder), error_(error) {}

  bool Convert(const CPlainString& bytes, std::string& out, const std::string& what) {
    if (recoder_.ToUtf8(View(bytes), out)) return true;
    error_ = what + " is not valid " + recoder_.codeset() + " text";
    return false;
  }

  bool Line(const CDlgItem& line, const CDlgItem* previous, const std::string& plot,
            ScriptRow& row) {
    const std::string where = "ID " + std::to_string(line.id) + ": ";
    row.id = line.id;
    row.plot = plot;
    if (!Convert(line.sound, row.sound, where + "sound") ||
        !Convert(line.speaker, row.speaker, where + "speaker") ||
        !Convert(line.expression, row.direction, where + "expression") ||
        !Convert(line.text, row.text, where + "text")) {
      return false;
    }
    if (previous == nullptr) return true;
    // The cue is the whole previous line: a studio reads it aloud, so nothing is shortened.
    const std::string before = "ID " + std::to_string(previous->id) + ": ";
    std::string speaker;
    if (!Convert(previous->speaker, speaker, before + "speaker") ||
        !Convert(previous->text, row.previous, before + "text")) {
      return false;
    }
    if (!speaker.empty()) row.previous = speaker + ": " + row.previous;
    return true;
  }

 private:
  const Recoder& recoder_;
  std::string& error_;
};

}  // namespace

bool ScriptFormatFromPath(const std::string& path, ScriptFormat& format) {
  const size_t dot = path.find_last_of("./");
  if (dot == std::string::npos || path[dot] != '.') return false;
  std::string extension = path.substr(dot + 1);
  for (char& c : extension) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  if (extension == "xlsx") {
    format = ScriptFormat::kXlsx;
  } else if (extension == "csv") {
    format = ScriptFormat::kCsv;
  } else {
    return false;
  }
  return true;
}

bool PlotNameMatches(const CPlainString& name, const std::string& wanted, const Recoder& recoder) {
  if (View(name) == wanted) return true;
  std::string utf8;
  return recoder.ToUtf8(View(name), utf8) && utf8 == wanted;
}

bool CollectScript(CDlgFile& doc, const ScriptOptions& options, ScriptSet& set,
                   std::string& error) {
  Recoder recoder(options.codeset);
  if (!recoder.ok()) {
    error = "unknown encoding " + recoder.codeset();
    return false;
  }
  RowBuilder build(recoder, error);
  set = ScriptSet();
  if (!build.Convert(doc.GetGameName(), set.title, "the game name")) return false;
  set.rows.reserve(doc.GetLines().GetCount());

  std::unordered_map<int, LinePos> seen;
  bool plotFound = false;
  int number = 0;
  for (PlotPos p = doc.GetFirstPlot(); p != nullptr; ++number) {
    CDlgPlot& plot = doc.GetNextPlot(p);
    if (!options.plot.empty() && !PlotNameMatches(plot.name, options.plot, recoder)) continue;
    plotFound = true;
    std::string plotName;
    if (!build.Convert(plot.name, plotName, "the name of plot " + std::to_string(number))) {
      return false;
    }
    const CDlgItem* previous = nullptr;
    for (auto m = plot.members.GetHeadPosition(); m != nullptr;) {
      const LinePos pos = plot.members.GetNext(m);
      const CDlgItem& line = doc.GetItem(pos);
      const auto [it, added] = seen.emplace(line.id, pos);
      if (!added && it->second != pos) {
        error = "ID " + std::to_string(line.id) + " is used by more than one line";
        return false;
      }
      if (added) {
        ScriptRow row;
        if (!build.Line(line, previous, plotName, row)) return false;
        set.rows.push_back(std::move(row));
      }
      previous = &line;
    }
  }
  if (!plotFound && !options.plot.empty()) {
    error = "no plot is named \"" + options.plot + "\"";
    return false;
  }
  return true;
}

}  // namespace exchange
