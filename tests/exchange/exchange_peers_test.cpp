// The exchange files checked by tools no one here wrote, and round trips through them: export
// with dlgtool, translate every entry with a peer, import with dlgtool, and every text must be
// the translation byte for byte.
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
  const char* text;
  const char* speaker;
};

// Texts that break naive writers: CR LF inside and at either end, quotes, TAB, backslash, commas,
// spaces at both ends, control bytes, Korean and Chinese, and an empty text.
const std::vector<Line> kFirstPlot = {
    {10, "첫 줄\r\n둘째 줄", "민준"},    {11, "He said \"hi\"\tand \\left, right", "서연"},
    {12, "  spaces at both ends  ", ""}, {13, "ctl\x01 esc\x1b unit\x1f del\x7f end", "민준"},
    {14, "中文对白，带标点。", "小明"},  {15, "", ""},
    {16, "ends with a break\r\n", ""},
};
const std::vector<Line> kSecondPlot = {
    {20, "\r\nstarts with a break", "서연"},
    {21, "a\"b,c\r\n\"d\"\r\n\r\n", ""},
};

constexpr char kSuffix[] = "]번역中文";

std::string Translated(const std::string& text) {
  return "[" + text + kSuffix;
}

// Fills each entry's translation with "[" + source + "]번역中文".
constexpr char kPolibTranslate[] = R"(
import polib, sys
po = polib.pofile(sys.argv[1])
for e in po:
    e.msgstr = '[' + e.msgid + ']번역中文'
po.save(sys.argv[2])
)";

constexpr char kLxmlTranslate[] = R"(
import copy, sys
from lxml import etree
NS = '{urn:oasis:names:tc:xliff:document:1.2}'
tree = etree.parse(sys.argv[1])
for unit in tree.iter(NS + 'trans-unit'):
    source = unit.find(NS + 'source')
    target = copy.deepcopy(source)
    target.tag = NS + 'target'
    target.set('state', 'translated')
    target.text = '[' + (source.text or '')
    if len(target):
        target[-1].tail = (target[-1].tail or '') + ']번역中文'
    else:
        target.text += ']번역中文'
    source.addnext(target)
tree.write(sys.argv[2], xml_declaration=True, encoding='UTF-8')
)";

// The same with Python's ElementTree, which writes a CR of a text raw: every reader, ours too,
// then reads it as LF (XML end-of-line handling), so CR LF comes back as LF. And for XLIFF 2.0,
// a target after each segment's source.
constexpr char kElementTreeTranslate[] = R"(
import copy, sys
import xml.etree.ElementTree as ET
version2 = len(sys.argv) > 3
NS = 'urn:oasis:names:tc:xliff:document:' + ('2.0' if version2 else '1.2')
ET.register_namespace('', NS)
tree = ET.parse(sys.argv[1])
for unit in tree.iter('{%s}%s' % (NS, 'segment' if version2 else 'trans-unit')):
    source = unit.find('{%s}source' % NS)
    target = copy.deepcopy(source)
    target.tag = '{%s}target' % NS
    target.text = '[' + (source.text or '')
    if len(target):
        target[-1].tail = (target[-1].tail or '') + ']번역中文'
    else:
        target.text += ']번역中文'
    unit.insert(list(unit).index(source) + 1, target)
    unit.set('state', 'translated')
tree.write(sys.argv[2], xml_declaration=True, encoding='UTF-8')
)";

constexpr char kCsvTranslate[] = R"(
import csv, sys
with open(sys.argv[1], newline='', encoding='utf-8-sig') as f:
    rows = list(csv.DictReader(f, strict=True))
for row in rows:
    row['target'] = '[' + row['source'] + ']번역中文'
with open(sys.argv[2], 'w', newline='', encoding='utf-8-sig') as f:
    out = csv.DictWriter(f, fieldnames=list(rows[0].keys()))
    out.writeheader()
    out.writerows(rows)
)";

class ExchangePeers : public ::testing::Test {
 protected:
  void SetUp() override {
    CDlgFile doc;
    doc.SetMultiLine(1);
    doc.SetGameName("별빛 여관");
    AddPlot(doc, "1장 \"첫\" 만남", kFirstPlot);
    AddPlot(doc, "2장", kSecondPlot);
    ASSERT_EQ(doc.Save(dir_.File("doc.dlg").c_str()), 1);
  }

  static void AddPlot(CDlgFile& doc, const char* name, const std::vector<Line>& lines) {
    PlotPos plot = doc.AddPlot(name, -1, -1);
    for (const Line& line : lines) {
      CDlgItem item;
      item.SetID(line.id);
      item.SetText(line.text);
      item.SetSpeaker(line.speaker);
      ASSERT_NE(doc.AddItem(item, plot, nullptr), nullptr);
    }
  }

  static std::vector<Line> AllLines() {
    std::vector<Line> all = kFirstPlot;
    all.insert(all.end(), kSecondPlot.begin(), kSecondPlot.end());
    return all;
  }

  PeerRun Sh(const std::string& command) { return RunIn(dir_.path(), command); }

  void Export(const std::string& out, const std::string& extra = "") {
    const PeerRun run = Sh(Dlgtool() + " export doc.dlg " + out + " --encoding UTF-8 " + extra);
    ASSERT_EQ(run.status, 0) << run.err;
  }

  // Imports `in` into doc.dlg and returns the texts by ID.
  std::map<int, std::string> ImportTexts(const std::string& in, PeerRun* report = nullptr) {
    const PeerRun run = Sh(Dlgtool() + " import doc.dlg " + in + " --encoding UTF-8");
    if (report != nullptr) *report = run;
    CDlgFile doc;
    std::map<int, std::string> texts;
    if (doc.Load(dir_.File("doc.dlg").c_str()) != 1) return texts;
    for (auto p = doc.GetLines().GetHeadPosition(); p != nullptr;) {
      const CDlgItem& line = doc.GetLines().GetNext(p);
      texts[line.id] = line.text.c_str();
    }
    return texts;
  }

  void ExpectAllTranslated(const std::map<int, std::string>& texts, int except = -1) {
    for (const Line& line : AllLines()) {
      if (line.id == except) continue;
      ASSERT_EQ(texts.count(line.id), 1u) << line.id;
      EXPECT_EQ(Hex(texts.at(line.id)), Hex(Translated(line.text))) << "ID " << line.id;
    }
  }

  TempDir dir_;
};

TEST_F(ExchangePeers, GettextAcceptsThePoAndRewritesItUnchanged) {
  Export("doc.po");
  const PeerRun check = Sh("msgfmt --check -o /dev/null doc.po");
  EXPECT_EQ(check.status, 0) << check.err;
  const PeerRun cat = Sh("msgcat --no-wrap doc.po");
  ASSERT_EQ(cat.status, 0) << cat.err;
  EXPECT_EQ(cat.out, ReadFileBytes(dir_.File("doc.po")));

  // With translations filled in from a translated document, gettext still agrees.
  ASSERT_EQ(Sh("cp doc.dlg tr.dlg").status, 0);
  Export("full.po", "--translation tr.dlg --target-lang zh-CN");
  EXPECT_EQ(Sh("msgfmt --check -o /dev/null full.po").status, 0);
  EXPECT_EQ(Sh("msgcat --no-wrap full.po").out, ReadFileBytes(dir_.File("full.po")));
}

TEST_F(ExchangePeers, PolibReadsEveryEntryWithContextAndComments) {
  Export("doc.po");
  const PeerRun run = RunPython(dir_.path(), R"(
import polib, sys
for e in polib.pofile(sys.argv[1]):
    refs = ' '.join(f + ':' + l for f, l in e.occurrences)
    print(e.msgctxt, e.msgid.encode('utf-8').hex(), refs, '|'.join(e.comment.split('\n')))
)",
                                "doc.po");
  ASSERT_EQ(run.status, 0) << run.err;
  std::string expected;
  for (const Line& line : AllLines()) {
    expected += std::to_string(line.id) + " " + Hex(line.text) +
                " doc.dlg:" + std::to_string(line.id) + " ";
    // Each line carries its plot, its speaker if any, and (after the first) the previous line.
    std::string comments = line.id < 20 ? "plot: 1장 \"첫\" 만남" : "plot: 2장";
    if (*line.speaker != '\0') comments += std::string("|speaker: ") + line.speaker;
    if (line.id == 11) comments += "|previous: 민준: 첫 줄↵둘째 줄";
    if (line.id == 21) comments += "|previous: 서연: ↵starts with a break";
    if (line.id != 10 && line.id != 11 && line.id != 16 && line.id != 20 && line.id != 21) {
      comments += "|previous: ";
    }
    expected += comments + "\n";
  }
  // The previous-line comments of the middle lines are checked by their start only.
  std::string got;
  size_t start = 0;
  while (start < run.out.size()) {
    size_t end = run.out.find('\n', start);
    std::string row = run.out.substr(start, end - start);
    const size_t previous = row.find("|previous: ");
    const int id = std::stoi(row);
    if (previous != std::string::npos && id != 11 && id != 21) row.resize(previous + 11);
    got += row + "\n";
    start = end + 1;
  }
  EXPECT_EQ(got, expected);
}

TEST_F(ExchangePeers, XmllintValidatesTheXliffAgainstTheStrictSchema) {
  ASSERT_EQ(Sh("cp doc.dlg tr.dlg").status, 0);
  Export("doc.xlf");
  Export("full.xliff", "--translation tr.dlg --source-lang ko --target-lang zh-CN");
  const std::string schema =
      std::string(PARLATRIX_SOURCE_DIR) + "/tests/data/xliff-core-1.2-strict.xsd";
  for (const char* file : {"doc.xlf", "full.xliff"}) {
    const PeerRun run = Sh("xmllint --nonet --noout --schema '" + schema + "' " + file);
    EXPECT_EQ(run.status, 0) << file << "\n" << run.err;
  }
  const std::string xliff = ReadFileBytes(dir_.File("full.xliff"));
  EXPECT_NE(xliff.find("source-language=\"ko\" target-language=\"zh-CN\""), std::string::npos);
  EXPECT_NE(xliff.find("<trans-unit id=\"13\" resname=\"13\" xml:space=\"preserve\" "
                       "approved=\"yes\">"),
            std::string::npos);
  EXPECT_NE(xliff.find("<source>ctl<x id=\"c1\" ctype=\"x-char-0001\"/> esc<x id=\"c2\" "
                       "ctype=\"x-char-001B\"/> unit<x id=\"c3\" ctype=\"x-char-001F\"/>"),
            std::string::npos);
  EXPECT_NE(xliff.find("<source>첫 줄&#13;\n둘째 줄</source>"), std::string::npos);
}

TEST_F(ExchangePeers, XmllintValidatesXliff20AgainstTheCoreSchema) {
  ASSERT_EQ(Sh("cp doc.dlg tr.dlg").status, 0);
  Export("doc.xlf", "--xliff-version 2.0");
  Export("full.xliff", "--translation tr.dlg --source-lang ko --target-lang zh-CN "
                       "--xliff-version 2.0");
  const std::string schema = std::string(PARLATRIX_SOURCE_DIR) + "/tests/data/xliff_core_2.0.xsd";
  for (const char* file : {"doc.xlf", "full.xliff"}) {
    const PeerRun run = Sh("xmllint --nonet --noout --schema '" + schema + "' " + file);
    EXPECT_EQ(run.status, 0) << file << "\n" << run.err;
  }
  const std::string xliff = ReadFileBytes(dir_.File("full.xliff"));
  EXPECT_NE(xliff.find("version=\"2.0\" srcLang=\"ko\" trgLang=\"zh-CN\""), std::string::npos);
  EXPECT_NE(xliff.find("<source>ctl<cp hex=\"0001\"/> esc<cp hex=\"001B\"/> unit<cp "
                       "hex=\"001F\"/>"),
            std::string::npos);
  // A round: the speaker of line 10 changes; the updated file is still valid and asks for a review.
  CDlgFile doc;
  ASSERT_EQ(doc.Load(dir_.File("doc.dlg").c_str()), 1);
  doc.GetItem(doc.FindItem(10)).SetSpeaker("서연");
  ASSERT_EQ(doc.Save(dir_.File("doc.dlg").c_str()), 1);
  ASSERT_EQ(Sh(Dlgtool() + " export doc.dlg full.xliff --update --encoding UTF-8").status, 0);
  const PeerRun run = Sh("xmllint --nonet --noout --schema '" + schema + "' full.xliff");
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_NE(ReadFileBytes(dir_.File("full.xliff")).find("<segment state=\"initial\">"),
            std::string::npos);
}

TEST_F(ExchangePeers, PythonCsvReadsEveryRecordStrictly) {
  Export("doc.csv");
  const std::string csv = ReadFileBytes(dir_.File("doc.csv"));
  EXPECT_EQ(csv.substr(0, 3), "\xEF\xBB\xBF");
  EXPECT_EQ(csv.substr(csv.size() - 2), "\r\n");
  const PeerRun run = RunPython(dir_.path(), R"(
import csv, sys
with open(sys.argv[1], newline='', encoding='utf-8-sig') as f:
    rows = list(csv.reader(f, strict=True))
print(','.join(rows[0]))
for r in rows[1:]:
    print(len(r), r[0], r[3], r[5], r[1].encode('utf-8').hex())
)",
                                "doc.csv");
  ASSERT_EQ(run.status, 0) << run.err;
  std::string expected =
      "location,source,target,ID,fuzzy,context,translator_comments,developer_comments\n";
  for (const Line& line : AllLines()) {
    const std::string id = std::to_string(line.id);
    expected += "8 doc.dlg:" + id + " " + id + " " + id + " " + Hex(line.text) + "\n";
  }
  EXPECT_EQ(run.out, expected);
}

TEST_F(ExchangePeers, PoTranslatedWithPolibComesBackByteForByte) {
  Export("doc.po");
  ASSERT_EQ(RunPython(dir_.path(), kPolibTranslate, "doc.po tr.po").status, 0);
  PeerRun run;
  ExpectAllTranslated(ImportTexts("tr.po", &run));
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out, "applied: 9, untranslated: 0, fuzzy: 0, stale: 0, unknown: 0\n");
}

TEST_F(ExchangePeers, XliffTranslatedWithLxmlComesBackByteForByte) {
  Export("doc.xlf");
  const PeerRun translate = RunPython(dir_.path(), kLxmlTranslate, "doc.xlf tr.xlf");
  ASSERT_EQ(translate.status, 0) << translate.err;
  PeerRun run;
  ExpectAllTranslated(ImportTexts("tr.xlf", &run));
  EXPECT_EQ(run.status, 0) << run.err;
}

// ElementTree turns every CR LF of the file into LF (it writes the CR raw); the texts still come
// back byte for byte, their line breaks in the form the document's texts use.
TEST_F(ExchangePeers, XliffTranslatedWithElementTreeComesBackWithTheDocumentsLineBreaks) {
  Export("doc.xlf");
  PeerRun translate = RunPython(dir_.path(), kElementTreeTranslate, "doc.xlf tr.xlf");
  ASSERT_EQ(translate.status, 0) << translate.err;
  ASSERT_NE(ReadFileBytes(dir_.File("tr.xlf")).find("첫 줄\r\n둘째 줄"), std::string::npos);
  ASSERT_EQ(Sh("cp doc.dlg orig.dlg").status, 0);
  PeerRun run;
  ExpectAllTranslated(ImportTexts("tr.xlf", &run));
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out, "applied: 9, untranslated: 0, fuzzy: 0, stale: 0, unknown: 0\n");

  // XLIFF 2.0 through ElementTree and lxml alike.
  ASSERT_EQ(Sh("cp orig.dlg doc.dlg").status, 0);
  Export("doc2.xlf", "--xliff-version 2.0");
  translate = RunPython(dir_.path(), kElementTreeTranslate, "doc2.xlf tr2.xlf 2");
  ASSERT_EQ(translate.status, 0) << translate.err;
  ExpectAllTranslated(ImportTexts("tr2.xlf", &run));
  EXPECT_EQ(run.status, 0) << run.err;
}

TEST_F(ExchangePeers, CsvTranslatedWithPythonCsvComesBackByteForByte) {
  Export("doc.csv");
  ASSERT_EQ(RunPython(dir_.path(), kCsvTranslate, "doc.csv tr.csv").status, 0);
  PeerRun run;
  ExpectAllTranslated(ImportTexts("tr.csv", &run));
  EXPECT_EQ(run.status, 0) << run.err;
}

// Our PO through po2xliff and back through xliff2po (which drop msgctxt, keeping the reference),
// and our XLIFF through xliff2po (whose reference is the resname); both import by ID. xliff2po
// drops inline placeholders (its own loss), so the entry with control bytes comes back stale and
// is reported instead of being applied without them.
TEST_F(ExchangePeers, TranslateToolkitConvertersRoundTripWhatWeWrite) {
  Export("doc.po");
  Export("doc.xlf");
  ASSERT_EQ(Sh("cp doc.dlg orig.dlg").status, 0);
  ASSERT_EQ(
      Sh("po2xliff --progress=none doc.po mid.xlf && xliff2po --progress=none mid.xlf back.po")
          .status,
      0);
  ASSERT_EQ(RunPython(dir_.path(), kPolibTranslate, "back.po tr.po").status, 0);
  PeerRun run;
  ExpectAllTranslated(ImportTexts("tr.po", &run));
  EXPECT_EQ(run.status, 0) << run.err;

  // Our XLIFF through xliff2po: the resname becomes the reference that names the ID.
  ASSERT_EQ(Sh("xliff2po --progress=none doc.xlf fromxlf.po").status, 0);
  ASSERT_EQ(RunPython(dir_.path(), kPolibTranslate, "fromxlf.po tr2.po").status, 0);
  ASSERT_EQ(Sh("cp orig.dlg doc.dlg").status, 0);
  PeerRun second;
  const std::map<int, std::string> texts = ImportTexts("tr2.po", &second);
  for (const Line& line : AllLines()) {
    const std::string expected = line.id == 13 ? line.text : Translated(line.text);
    EXPECT_EQ(Hex(texts.at(line.id)), Hex(expected)) << "ID " << line.id;
  }
  EXPECT_EQ(second.status, 1) << second.err;
  EXPECT_EQ(second.out, "13: stale\napplied: 8, untranslated: 0, fuzzy: 0, stale: 1, unknown: 0\n");
}

// po2xliff numbers its units (2, 3, 4...) and keeps our PO's reference FILE:ID in a po-reference
// context group: the XLIFF imports by that ID, never by the sequence number (which would name
// other lines of this document). Its header unit is no entry.
TEST_F(ExchangePeers, Po2xliffOutputImportsByOurId) {
  Export("doc.po");
  ASSERT_EQ(RunPython(dir_.path(), kPolibTranslate, "doc.po tr.po").status, 0);
  const PeerRun convert = Sh("po2xliff --progress=none tr.po tr.xlf");
  ASSERT_EQ(convert.status, 0) << convert.err;
  ASSERT_NE(ReadFileBytes(dir_.File("tr.xlf")).find("context-type=\"linenumber\">10<"),
            std::string::npos);
  // po2xliff drops control bytes (its own loss): line 13 is reported, not applied without them.
  PeerRun run;
  const std::map<int, std::string> texts = ImportTexts("tr.xlf", &run);
  ExpectAllTranslated(texts, 13);
  EXPECT_EQ(texts.at(13), kFirstPlot[3].text);
  EXPECT_EQ(run.status, 1) << run.err;
  EXPECT_EQ(run.out, "13: stale\napplied: 8, untranslated: 0, fuzzy: 0, stale: 1, unknown: 0\n");
}

// Translated targets are approved, so xliff2po makes none of them fuzzy; a unit an update flagged
// for a new speaker is in a state Weblate counts as needing edit, and xliff2po makes it fuzzy.
TEST_F(ExchangePeers, Xliff2poTakesApprovedTargetsAsFinished) {
  ASSERT_EQ(Sh("cp doc.dlg tr.dlg").status, 0);
  Export("full.xlf", "--translation tr.dlg");
  CDlgFile doc;
  ASSERT_EQ(doc.Load(dir_.File("doc.dlg").c_str()), 1);
  doc.GetItem(doc.FindItem(11)).SetSpeaker("민준");
  ASSERT_EQ(doc.Save(dir_.File("doc.dlg").c_str()), 1);
  ASSERT_EQ(Sh(Dlgtool() + " export doc.dlg full.xlf --update --encoding UTF-8").status, 0);
  const std::string xliff = ReadFileBytes(dir_.File("full.xlf"));
  EXPECT_NE(xliff.find("<target state=\"needs-adaptation\">"), std::string::npos);
  ASSERT_EQ(Sh("xliff2po --progress=none full.xlf out.po").status, 0);
  const PeerRun fuzzy = RunPython(dir_.path(), R"(
import polib, sys
print(sorted(e.msgctxt or e.occurrences[-1][0] for e in polib.pofile(sys.argv[1]) if e.fuzzy))
)",
                                  "out.po");
  ASSERT_EQ(fuzzy.status, 0) << fuzzy.err;
  EXPECT_EQ(fuzzy.out, "['11']\n");
}

}  // namespace
