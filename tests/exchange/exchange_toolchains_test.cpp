// Round trips through the toolchains translators run on our PO and CSV files: translate-toolkit's
// po2csv, csv2po, pot2po and pomerge, polib, gettext's msguniq. The document holds the texts that
// break converters (CR LF, lone CR, TAB, quotes, backslashes, control bytes gettext escapes and
// ones it does not, Korean, Chinese, emoji, a 20 000-character text, empty texts). After the
// import every line is either the translation byte for byte, or its old text with its ID reported
// on stdout and counted; no line holds anything else.
#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "model/dlg_file.h"
#include "peer_run.h"
#include "support/temp_dir.h"

namespace {

using exchangetest::Dlgtool;
using exchangetest::Hex;
using exchangetest::PeerRun;
using exchangetest::RunIn;
using exchangetest::RunPython;

struct Line {
  int id;
  std::string text;
};

std::vector<Line> Texts() {
  std::string longText;
  while (longText.size() < 20000) longText += "긴 대사 long line 中文 ";
  return {
      {1, "첫 줄\r\n둘째 줄"},
      {2, "lone\rCR"},
      {3, "tab\there \"quoted\" and \\back\\slash\\"},
      {4, "bell\a back\b vt\v ff\f esc\x1b unit\x1f del\x7f"},
      {5, "中文对白，带标点。"},
      {6, "emoji 😀👍🏽 and 🇰🇷"},
      {7, longText},
      {8, ""},
      {9, ""},
      {10, "ends with a break\r\n"},
      {11, "\\n is not a line break, \\t no tab"},
      {12, "a,b;c\td"},
      {13, "네."},
      {14, "네."},
  };
}

constexpr char kSuffix[] = "]번역中文";

std::string Translated(const std::string& text) {
  return "[" + text + kSuffix;
}

constexpr char kPolibTranslate[] = R"(
import polib, sys
po = polib.pofile(sys.argv[1])
for e in po:
    e.msgstr = '[' + e.msgid + ']번역中文'
po.save(sys.argv[2])
)";

class Toolchains : public ::testing::Test {
 protected:
  void SetUp() override {
    CDlgFile doc;
    doc.SetMultiLine(1);
    doc.SetGameName("toolchains");
    PlotPos plot = doc.AddPlot("plot", -1, -1);
    for (const Line& line : Texts()) {
      CDlgItem item;
      item.SetID(line.id);
      item.SetText(line.text.c_str());
      ASSERT_NE(doc.AddItem(item, plot, nullptr), nullptr);
    }
    ASSERT_EQ(doc.Save(dir_.File("doc.dlg").c_str()), 1);
    ASSERT_EQ(Sh("cp doc.dlg orig.dlg").status, 0);
  }

  PeerRun Sh(const std::string& command) { return RunIn(dir_.path(), command); }

  void Export(const std::string& out) {
    const PeerRun run = Sh(Dlgtool() + " export doc.dlg " + out + " --encoding UTF-8");
    ASSERT_EQ(run.status, 0) << run.err;
  }

  // Imports `in`, then checks every line: translated exactly, or unchanged and reported. Returns
  // the IDs that were applied.
  std::vector<int> ImportAndCheck(const std::string& in) {
    const PeerRun run = Sh(Dlgtool() + " import doc.dlg " + in + " --encoding UTF-8");
    EXPECT_LE(run.status, 1) << run.err << run.out;
    CDlgFile doc;
    EXPECT_EQ(doc.Load(dir_.File("doc.dlg").c_str()), 1);
    std::map<int, std::string> texts;
    for (auto p = doc.GetLines().GetHeadPosition(); p != nullptr;) {
      const CDlgItem& line = doc.GetLines().GetNext(p);
      texts[line.id] = std::string(line.text.c_str(), line.text.GetLength());
    }
    std::vector<int> applied;
    int reported = 0;
    for (const Line& line : Texts()) {
      const std::string& now = texts[line.id];
      const std::string mark = "\n" + std::to_string(line.id) + ": ";
      const bool listed = ("\n" + run.out).find(mark) != std::string::npos;
      if (now == Translated(line.text)) {
        EXPECT_FALSE(listed) << in << ": ID " << line.id << " applied and reported";
        applied.push_back(line.id);
      } else {
        EXPECT_EQ(Hex(now), Hex(line.text)) << in << ": ID " << line.id << " applied wrong";
        EXPECT_TRUE(listed) << in << ": ID " << line.id << " dropped silently\n" << run.out;
        ++reported;
      }
    }
    // The summary counts every entry.
    int a = -1, u = -1, f = -1, s = -1, n = -1;
    const size_t summary = run.out.rfind("applied: ");
    EXPECT_NE(summary, std::string::npos) << run.out << run.err;
    if (summary != std::string::npos) {
      EXPECT_EQ(std::sscanf(run.out.c_str() + summary,
                            "applied: %d, untranslated: %d, fuzzy: %d, stale: %d, unknown: %d", &a,
                            &u, &f, &s, &n),
                5);
      int p = 0;  // "placeholders: P" follows only when there are any
      const size_t extra = run.out.find(", placeholders: ", summary);
      if (extra != std::string::npos) p = std::atoi(run.out.c_str() + extra + 16);
      EXPECT_EQ(a, static_cast<int>(applied.size())) << run.out;
      EXPECT_EQ(f + s + n + p, reported) << run.out;
    }
    return applied;
  }

  TempDir dir_;
};

TEST_F(Toolchains, PolibLoadAndSave) {
  Export("doc.po");
  ASSERT_EQ(RunPython(dir_.path(), kPolibTranslate, "doc.po tr.po").status, 0);
  // polib reads \a \b \v \f as two characters each: ID 4 comes back stale, never wrong.
  EXPECT_EQ(ImportAndCheck("tr.po"),
            (std::vector<int>{1, 2, 3, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14}));
}

TEST_F(Toolchains, Po2csvDoublesBackslashesAndWeUndoIt) {
  Export("doc.po");
  ASSERT_EQ(RunPython(dir_.path(), kPolibTranslate, "doc.po tr.po").status, 0);
  const PeerRun convert = Sh("po2csv --progress=none tr.po tr.csv");
  ASSERT_EQ(convert.status, 0) << convert.err;
  ASSERT_EQ(ReadFileBytes(dir_.File("tr.csv")).substr(0, 28), "\"location\",\"source\",\"target\"");
  // Without undoing the doubling, IDs 3 and 11 would get "\\\\" for every backslash.
  const std::vector<int> applied = ImportAndCheck("tr.csv");
  EXPECT_NE(std::find(applied.begin(), applied.end(), 3), applied.end());
  EXPECT_NE(std::find(applied.begin(), applied.end(), 11), applied.end());
}

// The whole translate-toolkit round trip: po2csv doubles every backslash and csv2po keeps the
// doubling in msgstr, while the template gives back the right msgid. Such a target is reported
// as placeholders (its runs of backslashes differ from the source's), never applied.
TEST_F(Toolchains, Po2csvThenCsv2poKeepsDoubledBackslashesOut) {
  Export("doc.po");
  ASSERT_EQ(RunPython(dir_.path(), kPolibTranslate, "doc.po tr.po").status, 0);
  const PeerRun convert =
      Sh("po2csv --progress=none tr.po tr.csv && "
         "csv2po --progress=none -t doc.po tr.csv back.po");
  ASSERT_EQ(convert.status, 0) << convert.err;
  ASSERT_NE(ReadFileBytes(dir_.File("back.po")).find("\\\\back"), std::string::npos)
      << "csv2po no longer keeps the doubling; this test then checks nothing";
  const std::vector<int> applied = ImportAndCheck("back.po");
  EXPECT_EQ(std::find(applied.begin(), applied.end(), 3), applied.end());
  EXPECT_EQ(std::find(applied.begin(), applied.end(), 11), applied.end());
  EXPECT_NE(std::find(applied.begin(), applied.end(), 1), applied.end());
}

TEST_F(Toolchains, Csv2poOfOurCsv) {
  Export("doc.csv");
  const PeerRun convert = Sh("csv2po --progress=none doc.csv mid.po");
  ASSERT_EQ(convert.status, 0) << convert.err;
  ASSERT_EQ(RunPython(dir_.path(), kPolibTranslate, "mid.po tr.po").status, 0);
  ImportAndCheck("tr.po");
}

TEST_F(Toolchains, Pot2poFromOurFileAsTemplate) {
  Export("doc.po");
  ASSERT_EQ(Sh("cp doc.po doc.pot").status, 0);
  const PeerRun convert =
      Sh("pot2po --progress=none -t doc.pot doc.pot mid.po 2>&1 || "
         "pot2po --progress=none doc.pot mid.po");
  ASSERT_EQ(convert.status, 0) << convert.out << convert.err;
  ASSERT_EQ(RunPython(dir_.path(), kPolibTranslate, "mid.po tr.po").status, 0);
  ImportAndCheck("tr.po");
}

// pomerge takes the msgid from the template (gettext's escapes, read right) and the msgstr from
// polib's copy, where "\\a" stands for the BEL byte's escape polib did not decode: the source
// matches and the target holds a backslash and a letter where the source holds a control byte.
// The placeholder rule (a target that lacks a control byte its source has) keeps ID 4 out.
TEST_F(Toolchains, PomergeOfATranslatedCopy) {
  Export("doc.po");
  ASSERT_EQ(RunPython(dir_.path(), kPolibTranslate, "doc.po tr.po").status, 0);
  const PeerRun merge = Sh("pomerge --progress=none -t doc.po -i tr.po -o merged.po");
  ASSERT_EQ(merge.status, 0) << merge.err;
  const std::vector<int> applied = ImportAndCheck("merged.po");
  EXPECT_EQ(std::find(applied.begin(), applied.end(), 4), applied.end());
}

// Converters drop msgctxt (csv2po, xliff2po of a foreign XLIFF); msguniq then folds the equal
// texts of 13 and 14 into one entry whose references name both IDs. The import applies it to
// each; a line whose text changed meanwhile is reported stale and the other still gets it.
TEST_F(Toolchains, MsguniqFoldedEntriesApplyToEveryReferencedLine) {
  Export("doc.po");
  // The empty texts keep theirs: without it they would be the header.
  const PeerRun convert =
      Sh("sed -e '/^msgctxt \"[89]\"$/b' -e '/^msgctxt /d' doc.po >bare.po && "
         "msguniq --no-wrap bare.po -o uniq.po");
  ASSERT_EQ(convert.status, 0) << convert.err;
  ASSERT_NE(ReadFileBytes(dir_.File("uniq.po")).find("#: doc.dlg:13 doc.dlg:14\n"),
            std::string::npos)
      << ReadFileBytes(dir_.File("uniq.po"));
  ASSERT_EQ(RunPython(dir_.path(), kPolibTranslate, "uniq.po tr.po").status, 0);
  const std::vector<int> applied = ImportAndCheck("tr.po");
  EXPECT_NE(std::find(applied.begin(), applied.end(), 13), applied.end());
  EXPECT_NE(std::find(applied.begin(), applied.end(), 14), applied.end());

  // Line 14 rewritten since the export: 13 still gets the translation, 14 is reported stale.
  ASSERT_EQ(Sh("cp orig.dlg doc.dlg").status, 0);
  {
    CDlgFile doc;
    ASSERT_EQ(doc.Load(dir_.File("doc.dlg").c_str()), 1);
    doc.GetItem(doc.FindItem(14)).SetText("아니요.");
    ASSERT_EQ(doc.Save(dir_.File("doc.dlg").c_str()), 1);
  }
  const PeerRun run = Sh(Dlgtool() + " import doc.dlg tr.po --encoding UTF-8");
  EXPECT_EQ(run.status, 1) << run.err;
  EXPECT_NE(run.out.find("\n14: stale\n"), std::string::npos) << run.out;
  CDlgFile doc;
  ASSERT_EQ(doc.Load(dir_.File("doc.dlg").c_str()), 1);
  EXPECT_STREQ(doc.GetItem(doc.FindItem(13)).text.c_str(), "[네.]번역中文");
  EXPECT_STREQ(doc.GetItem(doc.FindItem(14)).text.c_str(), "아니요.");
}

}  // namespace

namespace {

// The same document with every text translated, for --translation.
void SaveTranslation(const std::string& path) {
  CDlgFile doc;
  doc.SetMultiLine(1);
  PlotPos plot = doc.AddPlot("plot", -1, -1);
  for (const Line& line : Texts()) {
    CDlgItem item;
    item.SetID(line.id);
    item.SetText(Translated(line.text).c_str());
    ASSERT_NE(doc.AddItem(item, plot, nullptr), nullptr);
  }
  ASSERT_EQ(doc.Save(path.c_str()), 1);
}

std::vector<int> AllIds() {
  std::vector<int> ids;
  for (const Line& line : Texts()) ids.push_back(line.id);
  return ids;
}

constexpr char kOpenpyxlTranslate[] = R"(
import openpyxl, sys
book = openpyxl.load_workbook(sys.argv[1])
sheet = book.worksheets[0]
names = [c.value for c in sheet[1]]
source, target = names.index('source') + 1, names.index('target') + 1
for row in range(2, sheet.max_row + 1):
    text = sheet.cell(row, source).value or ''
    sheet.cell(row, target).value = '[' + text + ']번역中文'
book.save(sys.argv[2])
)";

// A soffice of its own profile, so that tests running side by side do not share one.
std::string Soffice(const std::string& dir) {
  return "soffice -env:UserInstallation=file://" + dir + "/.lo-profile --headless ";
}

bool HaveSoffice() {
  return std::system("command -v soffice >/dev/null 2>&1") == 0;
}

}  // namespace

TEST_F(Toolchains, XlsxTranslatedWithOpenpyxlComesBackByteForByte) {
  Export("doc.xlsx");
  const PeerRun translate = RunPython(dir_.path(), kOpenpyxlTranslate, "doc.xlsx tr.xlsx");
  ASSERT_EQ(translate.status, 0) << translate.err;
  EXPECT_EQ(ImportAndCheck("tr.xlsx"), AllIds());
}

// Export, open and save in LibreOffice, import: every text byte for byte.
TEST_F(Toolchains, XlsxSavedByLibreOfficeComesBackByteForByte) {
  if (!HaveSoffice()) {
    GTEST_SKIP() << "LibreOffice (soffice, package libreoffice-calc-nogui) is not installed; "
                    "the XLSX round trip through it is not checked";
  }
  SaveTranslation(dir_.File("tr.dlg"));
  const PeerRun exported =
      Sh(Dlgtool() + " export doc.dlg doc.xlsx --encoding UTF-8 --translation tr.dlg");
  ASSERT_EQ(exported.status, 0) << exported.err;
  const PeerRun saved = Sh(Soffice(dir_.path()) + "--convert-to xlsx --outdir lo doc.xlsx");
  ASSERT_EQ(saved.status, 0) << saved.out << saved.err;
  ASSERT_TRUE(FileExists(dir_.File("lo/doc.xlsx"))) << saved.out << saved.err;
  // LibreOffice saves a cell's CR LF as LF; sources compare with line ends as one break and the
  // translation gets the line's own CR LF back.
  EXPECT_EQ(ImportAndCheck("lo/doc.xlsx"), AllIds());
  // The same workbook saved by LibreOffice as CSV (comma, double quote, UTF-8, every cell quoted).
  const PeerRun csv = Sh(Soffice(dir_.path()) +
                         "--convert-to 'csv:Text - txt - csv (StarCalc):44,34,76,1,,0,true,true' "
                         "--outdir lo doc.xlsx");
  ASSERT_EQ(csv.status, 0) << csv.out << csv.err;
  ASSERT_TRUE(FileExists(dir_.File("lo/doc.csv"))) << csv.out << csv.err;
  ASSERT_EQ(Sh("cp orig.dlg doc.dlg").status, 0);
  EXPECT_EQ(ImportAndCheck("lo/doc.csv"), AllIds());
}

// LibreOffice's CSV: every entry applied or reported, none applied wrong.
TEST_F(Toolchains, CsvSavedByLibreOfficeIsAppliedOrReported) {
  if (!HaveSoffice()) {
    GTEST_SKIP() << "LibreOffice (soffice, package libreoffice-calc-nogui) is not installed; "
                    "the CSV round trip through it is not checked";
  }
  SaveTranslation(dir_.File("tr.dlg"));
  const PeerRun exported =
      Sh(Dlgtool() + " export doc.dlg doc.csv --encoding UTF-8 --translation tr.dlg");
  ASSERT_EQ(exported.status, 0) << exported.err;
  // Comma, double quote, UTF-8 in and out; every cell as text.
  const PeerRun saved =
      Sh(Soffice(dir_.path()) +
         "--infilter=CSV:44,34,76,1,,0,false,false,false,false,false "
         "--convert-to 'csv:Text - txt - csv (StarCalc):44,34,76,1,,0,false,true' "
         "--outdir lo doc.csv");
  ASSERT_EQ(saved.status, 0) << saved.out << saved.err;
  ASSERT_TRUE(FileExists(dir_.File("lo/doc.csv"))) << saved.out << saved.err;
  ImportAndCheck("lo/doc.csv");
}

// A cell a spreadsheet turned into a number is refused, naming the cell, never applied as one.
TEST_F(Toolchains, XlsxNumberCellsAreRefusedNotApplied) {
  Export("doc.xlsx");
  const PeerRun edit = RunPython(dir_.path(), R"(
import openpyxl, sys
book = openpyxl.load_workbook(sys.argv[1])
sheet = book.worksheets[0]
sheet.cell(2, 3).value = 7
book.save(sys.argv[2])
)",
                                 "doc.xlsx num.xlsx");
  ASSERT_EQ(edit.status, 0) << edit.err;
  const PeerRun run = Sh(Dlgtool() + " import doc.dlg num.xlsx --encoding UTF-8");
  EXPECT_EQ(run.status, 2);
  EXPECT_NE(run.err.find("num.xlsx:2:3: cell C2: holds a number (7), not text"), std::string::npos)
      << run.err;
  EXPECT_EQ(ReadFileBytes(dir_.File("doc.dlg")), ReadFileBytes(dir_.File("orig.dlg")));
}

// Hostile workbooks: each refused with its reason, nothing applied.
TEST_F(Toolchains, XlsxReaderRefusesHostileWorkbooks) {
  Export("doc.xlsx");
  const PeerRun make = RunPython(dir_.path(), R"(
import zipfile, sys
src = zipfile.ZipFile('doc.xlsx')
parts = {n: src.read(n) for n in src.namelist()}
sheet = 'xl/worksheets/sheet1.xml'
def write(name, changes):
    with zipfile.ZipFile(name, 'w', zipfile.ZIP_DEFLATED) as z:
        for n, data in parts.items():
            z.writestr(n, changes.get(n, data))
        for n, data in changes.items():
            if n not in parts:
                z.writestr(n, data)
body = parts[sheet]
decl_end = body.index(b'?>') + 2
write('doctype.xlsx', {sheet: body[:decl_end] + b'<!DOCTYPE x [<!ENTITY e "boom">]>' + body[decl_end:]})
write('entity.xlsx', {sheet: body.replace(b'<sheetData>', b'<sheetData>&e;', 1)})
write('bomb.xlsx', {sheet: body + b' ' * (257 << 20)})
write('tags.xlsx', {sheet: body.replace(b'<sheetData>', b'<sheetData>' + b'<a/>' * 2000000, 1)})
open('notzip.xlsx', 'wb').write(b'PK\x03\x04 but nothing else')
)",
                                 "");
  ASSERT_EQ(make.status, 0) << make.err;
  const struct {
    const char* file;
    const char* reason;
  } cases[] = {
      {"doctype.xlsx", "xl/worksheets/sheet1.xml: a DOCTYPE or other declaration; not read"},
      {"entity.xlsx", "xl/worksheets/sheet1.xml: an entity XML does not define; not read"},
      {"bomb.xlsx", "xl/worksheets/sheet1.xml: unpacks to 269"},
      {"tags.xlsx", "xl/worksheets/sheet1.xml: more tags than a part of its size can hold"},
      {"notzip.xlsx", "not an XLSX workbook (not a zip archive)"},
  };
  for (const auto& c : cases) {
    const PeerRun run = Sh(Dlgtool() + " import doc.dlg " + c.file + " --encoding UTF-8");
    EXPECT_EQ(run.status, 2) << c.file;
    EXPECT_NE(run.err.find(c.reason), std::string::npos) << c.file << ": " << run.err;
  }
  EXPECT_EQ(ReadFileBytes(dir_.File("doc.dlg")), ReadFileBytes(dir_.File("orig.dlg")));
}
