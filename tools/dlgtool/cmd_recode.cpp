// dlgtool recode: every name and text of a dialogue file from one code page to another (legacy
// CP949 or GBK files to UTF-8 and back). All of it is converted in memory first; a byte sequence
// invalid in the source code page, a character the target cannot hold, or a game or plot name
// that outgrows its fixed field stops the command before anything is written.
#include "commands.h"
#include "dlgfile/dlg_format.h"
#include "document_io.h"
#include "exchange/recoder.h"
#include "output.h"
#include "write_rules.h"

namespace dlgtool {
namespace {

class Converter {
 public:
  Converter(const std::string& from, const std::string& to) : from_(from), to_(to) {}
  bool ok() const { return from_.ok() && to_.ok(); }

  // Converts `field` in place; false with a message naming `where` when it cannot be.
  bool Field(CPlainString& field, const std::string& where) {
    if (field.IsEmpty()) return true;
    if (!from_.ToUtf8(std::string_view(field.c_str(), field.GetLength()), utf8_)) {
      Message("%s is not valid %s text; nothing written", where.c_str(), from_.codeset().c_str());
      return false;
    }
    if (!to_.FromValidUtf8(utf8_, bytes_)) {
      Message("%s cannot be written in %s; nothing written", where.c_str(), to_.codeset().c_str());
      return false;
    }
    // Every text of the file ends at its first NUL byte (UTF-16 and UTF-32 put one into nearly
    // every character): such a target would cut the texts, and the file could not come back.
    if (bytes_.find('\0') != std::string::npos) {
      Message("%s would contain a NUL byte in %s, which a dialogue file cannot hold; choose a "
              "code page without NUL bytes (UTF-8, CP949, GBK); nothing written",
              where.c_str(), to_.codeset().c_str());
      return false;
    }
    if (!field.Assign(bytes_.c_str(), static_cast<int>(bytes_.size()))) {
      Message("out of memory");
      return false;
    }
    return true;
  }

 private:
  exchange::Recoder from_;
  exchange::Recoder to_;
  std::string utf8_;
  std::string bytes_;
};

bool FitsField(const CPlainString& name, int max, const std::string& what) {
  if (name.GetLength() <= max) return true;
  Message("%s takes %d bytes after recoding, more than its field's %d; nothing written",
          what.c_str(), name.GetLength(), max);
  return false;
}

bool ConvertAll(CDlgFile& doc, Converter& convert) {
  CPlainString game = doc.GetGameName();
  if (!convert.Field(game, "the game name") || !FitsField(game, kDlgGameNameMaxBytes, "the game name")) {
    return false;
  }
  doc.SetGameName(game.c_str());
  int index = 0;
  for (PlotPos p = doc.GetFirstPlot(); p != nullptr;) {
    CDlgPlot& plot = doc.GetNextPlot(p);
    const std::string what = "the name of plot " + std::to_string(++index);
    if (!convert.Field(plot.name, what) || !FitsField(plot.name, kDlgPlotNameMaxBytes, what)) {
      return false;
    }
  }
  for (LinePos p = doc.GetLines().GetHeadPosition(); p != nullptr;) {
    const LinePos here = p;
    doc.GetLines().GetNext(p);
    CDlgItem& line = doc.GetItem(here);
    const std::string id = "ID " + std::to_string(line.id);
    if (!convert.Field(line.text, id + ": text") || !convert.Field(line.speaker, id + ": speaker") ||
        !convert.Field(line.expression, id + ": expression") ||
        !convert.Field(line.sound, id + ": sound")) {
      return false;
    }
  }
  return true;
}

}  // namespace

int RunRecode(const std::string& file, const std::string& from, const std::string& to,
              const std::string& given) {
  Converter convert(from, to);
  if (!convert.ok()) {
    Message("unknown encoding %s or %s", from.c_str(), to.c_str());
    return kExitFailure;
  }
  const std::string output = OutputOrInPlace(file, given);
  CDlgFile doc;
  DlgHeader header;
  // In place: locked for the whole read-modify-write, a damaged file refused, and the file
  // checked for changes right before it is replaced.
  platform::FileLock lock;
  if (output.empty() ? !LoadForInPlaceWrite(file.c_str(), doc, header, lock)
                     : !LoadDocument(file.c_str(), doc, header) ||
                           RefuseDamagedInput(file, "the recoded file")) {
    return kExitFailure;
  }
  if (!ConvertAll(doc, convert)) return kExitFailure;
  if (output.empty() ? !SaveInPlace(file.c_str(), doc) : !SaveAs(output.c_str(), doc)) {
    return kExitFailure;
  }
  return kExitSuccess;
}

}  // namespace dlgtool
