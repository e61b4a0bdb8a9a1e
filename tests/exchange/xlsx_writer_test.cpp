// The workbook writer and its zip writer, checked against the programs that read what they write:
// Python's zipfile and unzip for the archive, xmllint for every part, openpyxl for the cells,
// libzip (the reader we use) for the directory. Failed writes keep the old file and say why.
#include "exchange/xlsx_writer.h"

#include <gtest/gtest.h>
#include <zip.h>

#include <cerrno>
#include <cstdio>
#include <string>
#include <vector>

#include "exchange/exchange.h"
#include "exchange/xlsx.h"
#include "exchange/zip_writer.h"
#include "peer_run.h"
#include "platform/file_io.h"
#include "support/temp_dir.h"

namespace {

using exchangetest::Hex;
using exchangetest::PeerRun;
using exchangetest::RunIn;
using exchangetest::RunPython;

// Bytes that deflate poorly (a linear congruential sequence) and well (text), together 3 MiB:
// more than the writer's output buffer, so the stream goes out in many pieces.
std::string MixedBytes() {
  std::string out;
  uint32_t x = 12345;
  while (out.size() < (size_t{3} << 20)) {
    for (int i = 0; i < 4096; ++i) {
      x = x * 1103515245u + 12345u;
      out += static_cast<char>(x >> 24);
    }
    out += std::string(4096, 'a') + "대사 line\n";
  }
  return out;
}

TEST(ZipWriter, HeadersAreAsLaidOutAndPeersReadEveryEntry) {
  TempDir dir;
  const std::string path = dir.File("a.zip");
  const std::string big = MixedBytes();
  std::FILE* file = std::fopen(path.c_str(), "w+b");
  ASSERT_NE(file, nullptr);
  {
    exchange::ZipWriter zip(file);
    ASSERT_TRUE(zip.Add("a.txt", "abc"));
    ASSERT_TRUE(zip.Add("empty", ""));
    ASSERT_TRUE(zip.Open("dir/big.bin"));
    for (size_t at = 0; at < big.size(); at += 100000) {
      ASSERT_TRUE(zip.Write(std::string_view(big).substr(at, 100000)));
    }
    ASSERT_TRUE(zip.Close());
    ASSERT_TRUE(zip.Finish()) << zip.status().Text();
  }
  ASSERT_EQ(std::fclose(file), 0);
  const std::string bytes = ReadFileBytes(path);
  // The first local header: signature, version 2.0, no flags, deflate, 1980-01-01 00:00, the
  // CRC-32 of "abc" (0x352441C2), the packed size (checked below), 3 bytes, a 5-byte name.
  ASSERT_GT(bytes.size(), 35u);
  EXPECT_EQ(Hex(bytes.substr(0, 18)), "504b030414000000080000002100c2412435");
  EXPECT_EQ(Hex(bytes.substr(22, 8)), "0300000005000000");
  EXPECT_EQ(bytes.substr(30, 5), "a.txt");
  // The end record: 3 entries on this disk and in all, no comment.
  EXPECT_EQ(Hex(bytes.substr(bytes.size() - 22, 4)), "504b0506");
  EXPECT_EQ(Hex(bytes.substr(bytes.size() - 14, 4)), "03000300");

  // libzip, as our reader opens it: names, sizes, CRC and the contents.
  int error = 0;
  zip_t* archive = zip_open(path.c_str(), ZIP_RDONLY | ZIP_CHECKCONS, &error);
  ASSERT_NE(archive, nullptr) << error;
  EXPECT_EQ(zip_get_num_entries(archive, 0), 3);
  zip_stat_t stat;
  ASSERT_EQ(zip_stat(archive, "a.txt", 0, &stat), 0);
  EXPECT_EQ(stat.crc, 0x352441C2u);
  EXPECT_EQ(stat.comp_method, ZIP_CM_DEFLATE);
  EXPECT_EQ(Hex(bytes.substr(18, 4)), Hex(std::string{static_cast<char>(stat.comp_size), 0, 0, 0}));
  ASSERT_EQ(zip_stat(archive, "dir/big.bin", 0, &stat), 0);
  EXPECT_EQ(stat.size, big.size());
  EXPECT_LT(stat.comp_size, big.size());
  zip_file_t* entry = zip_fopen(archive, "dir/big.bin", 0);
  ASSERT_NE(entry, nullptr);
  std::string back(big.size() + 1, '\0');
  EXPECT_EQ(zip_fread(entry, back.data(), back.size()), static_cast<zip_int64_t>(big.size()));
  back.resize(big.size());
  EXPECT_TRUE(back == big);
  zip_fclose(entry);
  zip_close(archive);

  // Python's zipfile (what openpyxl opens workbooks with) checks every CRC; unzip -t as well.
  const PeerRun python = RunPython(dir.path(), R"(
import hashlib, sys, zipfile
z = zipfile.ZipFile(sys.argv[1])
print(z.testzip())
for info in z.infolist():
    print(info.filename, info.compress_type, info.file_size, info.date_time,
          hashlib.sha256(z.read(info)).hexdigest()[:16])
)",
                                   "a.zip");
  ASSERT_EQ(python.status, 0) << python.err;
  const PeerRun sha = RunIn(dir.path(), "printf abc | sha256sum | cut -c1-16");
  EXPECT_EQ(python.out.substr(0, python.out.find('\n')), "None");
  EXPECT_NE(python.out.find("a.txt 8 3 (1980, 1, 1, 0, 0, 0) " + sha.out), std::string::npos)
      << python.out;
  EXPECT_NE(python.out.find("empty 8 0 "), std::string::npos) << python.out;
  EXPECT_NE(python.out.find("dir/big.bin 8 " + std::to_string(big.size())), std::string::npos);
  const PeerRun unzip = RunIn(dir.path(), "unzip -t a.zip");
  EXPECT_EQ(unzip.status, 0) << unzip.out << unzip.err;
}

TEST(ZipWriter, RefusesWhatNeedsZip64AndReportsAFailedWriteWithItsErrno) {
  TempDir dir;
  // 65 535 entries fit the end record's count; the next one is refused, not counted wrong.
  std::FILE* file = std::fopen(dir.File("many.zip").c_str(), "w+b");
  ASSERT_NE(file, nullptr);
  {
    exchange::ZipWriter zip(file);
    for (int n = 0; n < 65535; ++n) ASSERT_TRUE(zip.Add(std::to_string(n), "")) << n;
    EXPECT_FALSE(zip.Open("one-too-many"));
    EXPECT_EQ(zip.status().message, "more than 65535 parts in one workbook; not written");
    EXPECT_EQ(zip.status().systemError, 0);
    EXPECT_TRUE(zip.Finish());
  }
  ASSERT_EQ(std::fclose(file), 0);
  const PeerRun count = RunPython(
      dir.path(), "import zipfile, sys\nprint(len(zipfile.ZipFile(sys.argv[1]).namelist()))",
      "many.zip");
  EXPECT_EQ(count.out, "65535\n") << count.err;

  // An entry of 4 GiB: its sizes would not fit the headers' 32 bits. Refused as it gets there.
  std::FILE* huge = std::fopen(dir.File("huge.zip").c_str(), "w+b");
  ASSERT_NE(huge, nullptr);
  {
    exchange::ZipWriter zip(huge);
    const std::string zeros(size_t{64} << 20, '\0');
    ASSERT_TRUE(zip.Open("xl/worksheets/sheet1.xml"));
    int pieces = 0;
    while (pieces < 80 && zip.Write(zeros)) ++pieces;
    EXPECT_EQ(pieces, 63);  // 63 x 64 MiB fit; the 64th reaches 4 GiB
    EXPECT_EQ(zip.status().message,
              "a part of the workbook (xl/worksheets/sheet1.xml) reaches 4 GiB; not written");
    EXPECT_EQ(zip.status().systemError, 0);
  }
  std::fclose(huge);

  // A device that is always full: the first write that reaches it is ENOSPC, with its reason.
  std::FILE* full = std::fopen("/dev/full", "wb");
  ASSERT_NE(full, nullptr);
  exchange::SheetLayout layout;
  layout.name = "s";
  layout.header = {"a"};
  platform::Status status;
  errno = 0;
  EXPECT_FALSE(exchange::WriteSheetWorkbook(
      full, layout, 3, [](size_t, std::vector<std::string_view>& cells) { cells[0] = "x"; },
      status));
  EXPECT_EQ(status.systemError, ENOSPC);
  EXPECT_EQ(errno, ENOSPC);
  EXPECT_EQ(status.Text(), "cannot write the workbook: " + status.Reason());
  std::fclose(full);
}

// The texts that break spreadsheets and XML: line ends, white space at the ends, control
// characters, XML's specials, escape look-alikes, numbers and formulas, CJK, emoji, non-
// characters, a long text and an empty one.
std::vector<std::string> HardTexts() {
  std::string longText;
  while (longText.size() < 20000) longText += "긴 대사 long line 中文 ";
  return {"first line\r\nsecond line",
          " leading space",
          "trailing space ",
          "\ttab first",
          "lone\rCR and LF\nonly",
          "ends with a break\r\n",
          "ctl \x01\x08\x0b\x0c\x1b\x1f del\x7f",
          "literal _x0041_, _x005F_, _xZZZZ_ and _x12",
          "look-alikes before escapes _x005F\x1f, _x0041\r\n, _x0041\xEF\xBF\xBE, _x0041_\x01",
          "amp & lt < gt > quot \" apos ' ]]>",
          "=1+1",
          "007",
          "1/2",
          "어서 오세요, 별빛 여관입니다.",
          "中文对白，带标点。",
          "emoji 😀👍🏽 and 🇰🇷",
          "non-characters \xEF\xBF\xBE and \xEF\xBF\xBF",
          longText,
          ""};
}

exchange::ExportSet HardSet() {
  exchange::ExportSet set;
  set.original = "game.dlg";
  int id = 10;
  for (const std::string& text : HardTexts()) {
    exchange::ExportUnit unit;
    unit.id = id++;
    unit.text = text;
    unit.hasTarget = true;
    unit.target = text.empty() ? "" : "[" + text + "]";
    unit.notes = "plot: P\nspeaker: 민준";
    set.units.push_back(std::move(unit));
  }
  return set;
}

// Every cell of the first sheet as "ROW COLUMN TYPE HEX" (escapes decoded as Excel and
// LibreOffice decode them; openpyxl 3.0 leaves them), then the sheet's look.
constexpr char kOpenpyxlCells[] = R"(
import openpyxl, re, sys
book = openpyxl.load_workbook(sys.argv[1])
sheet = book.worksheets[0]
def decode(v):
    v = re.sub('_x([0-9A-Fa-f]{4})_', lambda m: chr(int(m.group(1), 16)), v)
    return v.encode('utf-16', 'surrogatepass').decode('utf-16')
for row in sheet.iter_rows():
    for cell in row:
        if cell.value is None:
            continue
        print(cell.row, cell.column, cell.data_type, decode(cell.value).encode('utf-8').hex())
print('title', sheet.title, 'sheets', len(book.worksheets), 'freeze', sheet.freeze_panes)
print('bold', all(c.font.b for c in sheet[1]), any(c.font.b for c in sheet[2]))
print('wrap', sheet['B2'].alignment.wrap_text, sheet['B2'].alignment.vertical)
print('widths', [sheet.column_dimensions[c].width for c in 'ABCDEFGH'])
)";

TEST(XlsxWorkbook, PeersReadEveryCellAsTheTextWritten) {
  TempDir dir;
  exchange::ExportSet set = HardSet();
  const exchange::ExportSet kept = set;
  std::string error;
  ASSERT_TRUE(exchange::WriteExchangeFile(set, dir.File("w.xlsx"), exchange::Format::kXlsx, error))
      << error;

  std::string expected;
  const auto expect = [&expected](size_t row, int column, const std::string& text) {
    if (text.empty()) return;
    expected += std::to_string(row) + " " + std::to_string(column) + " s " + Hex(text) + "\n";
  };
  const char* header[] = {
      "location",          "source", "target", "ID", "fuzzy", "context", "translator_comments",
      "developer_comments"};
  for (int c = 0; c < 8; ++c) expect(1, c + 1, header[c]);
  for (size_t r = 0; r < kept.units.size(); ++r) {
    const exchange::ExportUnit& unit = kept.units[r];
    const std::string id = std::to_string(unit.id);
    const std::string cells[] = {"game.dlg:" + id, unit.text, unit.target, id,
                                 "False",          id,        "",          unit.notes};
    for (int c = 0; c < 8; ++c) expect(r + 2, c + 1, cells[c]);
  }
  const PeerRun read = RunPython(dir.path(), kOpenpyxlCells, "w.xlsx");
  ASSERT_EQ(read.status, 0) << read.err;
  const size_t look = read.out.find("title ");
  ASSERT_NE(look, std::string::npos) << read.out;
  EXPECT_EQ(read.out.substr(0, look), expected);
  EXPECT_EQ(read.out.substr(look),
            "title translation sheets 1 freeze A2\n"
            "bold True False\n"
            "wrap True top\n"
            "widths [16.7109375, 50.7109375, 50.7109375, 8.7109375, 8.7109375, 8.7109375, "
            "30.7109375, 40.7109375]\n");

  // The archive and every part: Python's zipfile, unzip -t, xmllint.
  const PeerRun zip = RunPython(
      dir.path(), "import zipfile, sys\nprint(zipfile.ZipFile(sys.argv[1]).testzip())", "w.xlsx");
  EXPECT_EQ(zip.out, "None\n") << zip.err;
  EXPECT_EQ(RunIn(dir.path(), "unzip -tq w.xlsx").status, 0);
  const PeerRun parts =
      RunIn(dir.path(),
            "mkdir parts && cd parts && unzip -q ../w.xlsx && "
            "find . -type f | sort | xargs xmllint --noout && find . -type f | sort");
  EXPECT_EQ(parts.status, 0) << parts.err;
  EXPECT_EQ(parts.out,
            "./[Content_Types].xml\n./_rels/.rels\n./docProps/app.xml\n./docProps/core.xml\n"
            "./xl/_rels/workbook.xml.rels\n./xl/styles.xml\n./xl/workbook.xml\n"
            "./xl/worksheets/sheet1.xml\n");

  // Our own reader: every source and target byte for byte.
  std::vector<exchange::ImportUnit> units;
  exchange::ParseFailure failure;
  ASSERT_TRUE(exchange::ReadXlsx(ReadFileBytes(dir.File("w.xlsx")), units, failure))
      << failure.message;
  ASSERT_EQ(units.size(), kept.units.size());
  for (size_t i = 0; i < units.size(); ++i) {
    EXPECT_EQ(units[i].id, kept.units[i].id);
    EXPECT_EQ(Hex(units[i].source), Hex(kept.units[i].text));
    EXPECT_EQ(Hex(units[i].target), Hex(kept.units[i].target));
  }
}

// Each byte that needs an escape, at every place of a 16-byte block and across two: the writer
// skips plain bytes a block at a time.
TEST(XlsxWorkbook, EveryEscapeAtEveryPlaceComesBack) {
  const char* specials[] = {
      "&",  "<",  ">",    "_x0041_",      "_x005F\x1f",   "_",           "\r", "\x01", "\x1f",
      "\t", "\n", "\x7f", "\xEF\xBF\xBE", "\xEF\xBF\xBF", "\xEF\xBC\x8C"};
  exchange::ExportSet set;
  set.original = "g.dlg";
  int id = 0;
  for (const char* special : specials) {
    for (size_t at = 0; at < 40; ++at) {
      exchange::ExportUnit unit;
      unit.id = id++;
      unit.text = std::string(at, 'a') + special + std::string(40 - at, 'b');
      unit.hasTarget = true;
      unit.target = std::string(at, 'c') + special + special;
      set.units.push_back(std::move(unit));
    }
  }
  TempDir dir;
  std::FILE* file = std::fopen(dir.File("e.xlsx").c_str(), "w+b");
  ASSERT_NE(file, nullptr);
  platform::Status status;
  ASSERT_TRUE(exchange::WriteXlsxWorkbook(set, file, status)) << status.Text();
  ASSERT_EQ(std::fclose(file), 0);
  std::vector<exchange::ImportUnit> units;
  exchange::ParseFailure failure;
  ASSERT_TRUE(exchange::ReadXlsx(ReadFileBytes(dir.File("e.xlsx")), units, failure))
      << failure.message;
  ASSERT_EQ(units.size(), set.units.size());
  for (size_t i = 0; i < units.size(); ++i) {
    EXPECT_EQ(Hex(units[i].source), Hex(set.units[i].text)) << i;
    EXPECT_EQ(Hex(units[i].target), Hex(set.units[i].target)) << i;
  }
}

TEST(XlsxWorkbook, AFailedWriteKeepsTheOldFileAndSaysWhy) {
  TempDir dir;
  const std::string path = dir.File("ko.xlsx");
  // Every write, flush, sync, close and the rename in turn, until the export goes through.
  bool written = false;
  for (int n = 1; n < 100 && !written; ++n) {
    SCOPED_TRACE(n);
    WriteFileBytes(path, "old");
    exchange::ExportSet set = HardSet();
    std::string error;
    platform::FailFileOperationAfter(n);
    written = exchange::WriteExchangeFile(set, path, exchange::Format::kXlsx, error);
    platform::ResetFileOperationFaults();
    EXPECT_EQ(FolderEntries(dir.path()), std::vector<std::string>{"ko.xlsx"});
    if (written) break;
    EXPECT_EQ(ReadFileBytes(path), "old");
    EXPECT_EQ(error.rfind(path + ": cannot write the file: ", 0), 0u) << error;
    EXPECT_NE(exchange::LastExchangeWriteErrno(), 0);
  }
  EXPECT_TRUE(written);
  EXPECT_EQ(ReadFileBytes(path).substr(0, 4), "PK\x03\x04");

  // A text over a cell's limit: refused before anything is written.
  exchange::ExportSet set = HardSet();
  set.units[3].target = std::string(32768, 'x');
  std::string error;
  WriteFileBytes(path, "old");
  EXPECT_FALSE(exchange::WriteExchangeFile(set, path, exchange::Format::kXlsx, error));
  EXPECT_EQ(error,
            "ID 13: target is 32768 characters, more than the 32767 a spreadsheet cell holds");
  EXPECT_EQ(ReadFileBytes(path), "old");
}

}  // namespace
