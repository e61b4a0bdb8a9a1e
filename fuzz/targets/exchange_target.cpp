// The exchange readers (PO, XLIFF 1.2 and 2.0, CSV) on any bytes. What must hold:
//  - a file the reader accepts holds valid UTF-8 texts without NUL bytes;
//  - what the reader accepted, written again by the writer of the same format and read back,
//    gives the same IDs, sources and targets in the same order (writer and reader agree on every
//    text the reader can produce);
//  - importing the bytes into a fixed small document either applies, or changes no text at all,
//    and the document stays consistent.
#include <string>
#include <string_view>
#include <vector>

#include "exchange/exchange.h"
#include "exchange/recoder.h"
#include "exchange/xlsx.h"
#include "fuzz_support.h"
#include "fuzz_targets.h"

namespace {

using exchange::Format;
using exchange::ImportUnit;

bool Read(Format format, std::string_view data, std::vector<ImportUnit>& units) {
  exchange::ParseFailure failure;
  switch (format) {
    case Format::kPo:
      return exchange::ReadPo(data, units, failure);
    case Format::kXliff:
      return exchange::ReadXliff(data, units, failure);
    case Format::kCsv:
      return exchange::ReadCsv(data, units, failure);
    case Format::kXlsx:
      return exchange::ReadXlsx(data, units, failure);
  }
  return false;
}

// The XLIFF version the writer uses in CheckWriterAgrees (the reader takes either).
int writeVersion = 1;

std::string Write(Format format, exchange::ExportSet& set) {
  set.xliffVersion = writeVersion;
  switch (format) {
    case Format::kPo:
      return exchange::WritePo(set);
    case Format::kXliff:
      return exchange::WriteXliff(set);
    case Format::kCsv:
      return exchange::WriteCsv(set);
    case Format::kXlsx: {
      std::string error;
      const std::string path = fuzz::ScratchFile("exchange.xlsx");
      // A text longer than a cell holds is refused by the writer: nothing to compare then.
      if (!exchange::WriteXlsxWorkbook(set, path, error)) return std::string();
      return fuzz::ReadScratchFile(path);
    }
  }
  return std::string();
}

bool CleanText(const std::string& text) {
  return text.find('\0') == std::string::npos && exchange::ValidUtf8Prefix(text) == text.size();
}

void CheckWriterAgrees(Format format, const std::vector<ImportUnit>& units) {
  exchange::ExportSet set;
  set.original = "f.dlg";
  set.plots.push_back("P");
  for (const ImportUnit& unit : units) {
    exchange::ExportUnit out;
    out.id = unit.id;
    out.text = unit.source;
    out.hasTarget = true;
    out.target = unit.target;
    out.notes = "plot: P";
    set.units.push_back(std::move(out));
  }
  std::vector<ImportUnit> again;
  const std::string written = Write(format, set);
  if (format == Format::kXlsx && written.empty()) return;
  FUZZ_CHECK(Read(format, written, again));
  FUZZ_CHECK(again.size() == units.size());
  for (size_t i = 0; i < units.size() && i < again.size(); ++i) {
    FUZZ_CHECK(again[i].id == units[i].id);
    FUZZ_CHECK(again[i].source == units[i].source);
    FUZZ_CHECK(again[i].target == units[i].target);
  }
}

void CheckImport(Format format, std::string_view data) {
  CDlgFile doc;
  PlotPos plot = doc.AddPlot("P", -1, -1);
  const char* texts[] = {"zero", "one\r\nline", "", "삼"};
  for (int id = 0; id < 4; ++id) {
    CDlgItem line;
    line.SetID(id);
    line.SetText(texts[id]);
    FUZZ_CHECK(doc.AddItem(line, plot, nullptr) != nullptr);
  }
  exchange::ImportReport report;
  const bool applied = exchange::ImportBytes(doc, data, "in", format, "UTF-8", report);
  fuzz::CheckDocumentConsistent(doc);
  if (!applied) {
    for (int id = 0; id < 4; ++id) {
      FUZZ_CHECK(doc.GetItem(doc.FindItem(id)).text == texts[id]);
    }
    FUZZ_CHECK(!report.error.empty());
  }
}

int Run(Format format, const uint8_t* data, size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  std::vector<ImportUnit> units;
  if (Read(format, bytes, units)) {
    for (const ImportUnit& unit : units) {
      FUZZ_CHECK(unit.id >= 0);
      FUZZ_CHECK(CleanText(unit.source));
      FUZZ_CHECK(CleanText(unit.target));
    }
    CheckWriterAgrees(format, units);
  }
  CheckImport(format, bytes);
  return 0;
}

}  // namespace

int FuzzPo(const uint8_t* data, size_t size) {
  return Run(Format::kPo, data, size);
}
int FuzzXliff(const uint8_t* data, size_t size) {
  writeVersion = 1;
  return Run(Format::kXliff, data, size);
}
int FuzzXliff2(const uint8_t* data, size_t size) {
  writeVersion = 2;
  const int result = Run(Format::kXliff, data, size);
  writeVersion = 1;
  return result;
}
int FuzzCsv(const uint8_t* data, size_t size) {
  return Run(Format::kCsv, data, size);
}
int FuzzXlsx(const uint8_t* data, size_t size) {
  return Run(Format::kXlsx, data, size);
}
