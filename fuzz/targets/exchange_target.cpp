// The exchange readers (PO, XLIFF 1.2 and 2.0, CSV, XLSX) on any bytes. What must hold:
//  - the reads an import and a translation round make (texts only, entries handed over one by
//    one; with the file's extras) accept and refuse what the plain read does, with the same
//    entries and the same fault;
//  - a file the reader accepts holds valid UTF-8 texts without NUL bytes;
//  - what the reader accepted, written again by the writer of the same format and read back,
//    gives the same IDs, sources and targets in the same order (writer and reader agree on every
//    text the reader can produce);
//  - importing the bytes into a fixed small document either applies, or changes no text at all,
//    and the document stays consistent.
#include <zip.h>

#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

#include "exchange/exchange.h"
#include "exchange/recoder.h"
#include "exchange/xlsx.h"
#include "exchange/xlsx_writer.h"
#include "fuzz_support.h"
#include "fuzz_targets.h"

namespace {

using exchange::Format;
using exchange::ImportUnit;

bool Read(Format format, std::string_view data, std::vector<ImportUnit>& units,
          exchange::ParseFailure& failure) {
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
      const std::string path = fuzz::ScratchFile("exchange.xlsx");
      std::FILE* file = std::fopen(path.c_str(), "w+b");
      FUZZ_CHECK(file != nullptr);
      if (file == nullptr) return std::string();
      // A text longer than a cell holds is refused by the writer: nothing to compare then.
      platform::Status status;
      const bool written = exchange::WriteXlsxWorkbook(set, file, status);
      FUZZ_CHECK(std::fclose(file) == 0);
      if (!written) {
        FUZZ_CHECK(status.systemError == 0);  // a refusal, never a failed write
        return std::string();
      }
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
  exchange::ParseFailure failure;
  FUZZ_CHECK(Read(format, written, again, failure));
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

bool SameEntry(const ImportUnit& a, const ImportUnit& b) {
  return a.id == b.id && a.moreIds == b.moreIds && a.source == b.source && a.target == b.target &&
         a.fuzzy == b.fuzzy && a.line == b.line;
}

// The reads an import and a translation round make, beside the plain read (`units`, `accepted`,
// `failure`): the round's read with the file's extras, and the import's, which keeps only the
// texts and takes each entry as it is read (XLIFF in place) instead of collecting them. All accept
// or refuse alike, with the same entries and the same fault; a sink that stops the read makes the
// reader return false with no fault. XLSX: its rows read as the import reads them and through the
// XML tree alone.
void CheckReadsAgree(Format format, std::string_view data, bool accepted,
                     const std::vector<ImportUnit>& units, const exchange::ParseFailure& failure,
                     uint32_t hash) {
  if (format == Format::kXlsx) {
    // The rows read without a tree where they are plain (`units`) and through the tree alone.
    std::vector<ImportUnit> tree;
    exchange::ParseFailure treeFailure;
    const bool treeAccepted =
        exchange::ReadXlsx(data, tree, treeFailure, nullptr, exchange::XlsxRows::kTree);
    FUZZ_CHECK(treeAccepted == accepted);
    FUZZ_CHECK(treeFailure.message == failure.message);
    FUZZ_CHECK(treeFailure.line == failure.line);
    FUZZ_CHECK(treeFailure.column == failure.column);
    FUZZ_CHECK(tree.size() == units.size());
    for (size_t i = 0; i < units.size() && i < tree.size(); ++i) {
      FUZZ_CHECK(SameEntry(tree[i], units[i]));
    }
    return;
  }
  exchange::FileExtras extras;
  std::vector<ImportUnit> rounds;
  exchange::ParseFailure roundsFailure;
  bool roundsAccepted = false;
  if (format == Format::kPo) {
    roundsAccepted = exchange::ReadPo(data, rounds, roundsFailure, &extras);
  } else if (format == Format::kXliff) {
    roundsAccepted = exchange::ReadXliff(data, rounds, roundsFailure, &extras);
  } else {
    roundsAccepted = exchange::ReadCsv(data, rounds, roundsFailure);
  }
  FUZZ_CHECK(roundsAccepted == accepted);
  FUZZ_CHECK(rounds.size() == units.size());
  FUZZ_CHECK(roundsFailure.message == failure.message);

  std::vector<ImportUnit> streamed;
  std::vector<ImportUnit> collected;
  const exchange::UnitSink sink = [&](ImportUnit& unit) {
    streamed.push_back(unit);
    return true;
  };
  exchange::ParseFailure textsFailure;
  bool textsAccepted = false;
  if (format == Format::kPo) {
    textsAccepted =
        exchange::ReadPo(data, collected, textsFailure, nullptr, exchange::Keep::kTexts, &sink);
  } else if (format == Format::kXliff) {
    // As the import reads it: in place in a buffer of its own, each entry to the sink.
    std::string bytes(data);
    textsAccepted = exchange::ReadXliffInPlace(bytes.data(), bytes.size(), collected, textsFailure,
                                               nullptr, exchange::Keep::kTexts, &sink);
  } else {
    textsAccepted = exchange::ReadCsv(data, collected, textsFailure, &sink);
  }
  FUZZ_CHECK(collected.empty());  // a sink takes every entry
  FUZZ_CHECK(textsAccepted == accepted);
  FUZZ_CHECK(textsFailure.message == failure.message);
  FUZZ_CHECK(textsFailure.line == failure.line);
  FUZZ_CHECK(textsFailure.column == failure.column);
  if (accepted) {
    FUZZ_CHECK(streamed.size() == units.size());
    for (size_t i = 0; i < units.size() && i < streamed.size(); ++i) {
      FUZZ_CHECK(SameEntry(streamed[i], units[i]));
    }
  }

  // A sink that stops at one of the entries.
  if (!accepted || units.empty()) return;
  const size_t stopAt = hash % units.size();
  size_t taken = 0;
  const exchange::UnitSink stopping = [&](ImportUnit&) { return taken++ < stopAt; };
  exchange::ParseFailure stopFailure;
  std::vector<ImportUnit> none;
  const bool stoppedAccepted =
      format == Format::kPo
          ? exchange::ReadPo(data, none, stopFailure, nullptr, exchange::Keep::kTexts, &stopping)
      : format == Format::kXliff
          ? exchange::ReadXliff(data, none, stopFailure, nullptr, exchange::Keep::kTexts, &stopping)
          : exchange::ReadCsv(data, none, stopFailure, &stopping);
  FUZZ_CHECK(!stoppedAccepted);
  FUZZ_CHECK(stopFailure.message.empty());
  FUZZ_CHECK(taken == stopAt + 1);
}

// The parts of a workbook as the XLSX target's input names them: the input is split at each line
// "--part--" into the sheet, the shared strings, the workbook and the workbook's relationships, in
// that order; a part not given is the one a minimal workbook has.
constexpr std::string_view kPartSeparator = "\n--part--\n";
constexpr const char* kPartNames[] = {"xl/worksheets/sheet1.xml", "xl/sharedStrings.xml",
                                      "xl/workbook.xml", "xl/_rels/workbook.xml.rels"};
constexpr const char* kDefaultParts[] = {
    "<worksheet><sheetData/></worksheet>", "<sst/>",
    "<workbook xmlns:r=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships\">"
    "<sheets><sheet name=\"S\" sheetId=\"1\" r:id=\"rId1\"/></sheets></workbook>",
    "<Relationships><Relationship Id=\"rId1\" Target=\"worksheets/sheet1.xml\" "
    "Type=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships/worksheet\"/>"
    "<Relationship Id=\"rId2\" Target=\"sharedStrings.xml\" "
    "Type=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships/sharedStrings\"/>"
    "</Relationships>"};

// A stored (uncompressed) zip archive of the parts; empty when libzip fails.
std::string PackXlsxParts(std::string_view input) {
  std::vector<std::string> parts;
  for (size_t start = 0; parts.size() < 4;) {
    const size_t end = input.find(kPartSeparator, start);
    parts.emplace_back(input.substr(start, end == std::string_view::npos ? end : end - start));
    if (end == std::string_view::npos) break;
    start = end + kPartSeparator.size();
  }
  for (size_t k = parts.size(); k < 4; ++k) parts.emplace_back(kDefaultParts[k]);
  zip_error_t error;
  zip_error_init(&error);
  zip_source_t* buffer = zip_source_buffer_create(nullptr, 0, 0, &error);
  if (buffer == nullptr) return std::string();
  zip_t* archive = zip_open_from_source(buffer, ZIP_TRUNCATE, &error);
  if (archive == nullptr) {
    zip_source_free(buffer);
    return std::string();
  }
  zip_source_keep(buffer);
  for (size_t k = 0; k < 4; ++k) {
    zip_source_t* part = zip_source_buffer(archive, parts[k].data(), parts[k].size(), 0);
    const zip_int64_t index =
        part != nullptr ? zip_file_add(archive, kPartNames[k], part, ZIP_FL_ENC_UTF_8) : -1;
    if (index < 0) {
      if (part != nullptr) zip_source_free(part);
      continue;
    }
    zip_set_file_compression(archive, static_cast<zip_uint64_t>(index), ZIP_CM_STORE, 0);
  }
  std::string bytes;
  zip_stat_t stat;
  if (zip_close(archive) != 0) {
    zip_discard(archive);
  } else if (zip_source_open(buffer) == 0) {
    if (zip_source_stat(buffer, &stat) == 0 && (stat.valid & ZIP_STAT_SIZE) != 0) {
      bytes.resize(stat.size);
      if (zip_source_read(buffer, bytes.data(), stat.size) != static_cast<zip_int64_t>(stat.size)) {
        bytes.clear();
      }
    }
    zip_source_close(buffer);
  }
  zip_source_free(buffer);
  return bytes;
}

int Run(Format format, const uint8_t* data, size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  std::vector<ImportUnit> units;
  exchange::ParseFailure failure;
  const bool accepted = Read(format, bytes, units, failure);
  CheckReadsAgree(format, bytes, accepted, units, failure, fuzz::InputHash(data, size));
  if (accepted) {
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
  // A zip archive as it is; anything else names the workbook's parts, which the target packs
  // itself, so that mutations land in the XML instead of breaking the archive's checksums.
  if (size >= 2 && data[0] == 'P' && data[1] == 'K') return Run(Format::kXlsx, data, size);
  const std::string archive =
      PackXlsxParts(std::string_view(reinterpret_cast<const char*>(data), size));
  if (archive.empty()) return 0;
  return Run(Format::kXlsx, reinterpret_cast<const uint8_t*>(archive.data()), archive.size());
}
