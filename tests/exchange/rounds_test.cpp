// Translation rounds: dlgtool export --update against GNU msgmerge --previous, three rounds of
// translate / change / update in every format, and status and --fallback as a pipeline sees them.
#include <gtest/gtest.h>

#include <map>
#include <set>
#include <tuple>

#include "exchange/exchange_units.h"
#include "model/dlg_file.h"
#include "peer_run.h"
#include "support/temp_dir.h"

namespace {

using exchangetest::Dlgtool;
using exchangetest::PeerRun;
using exchange::Format;

struct Line {
  int id;
  const char* speaker;
  const char* text;
};

void SaveDocument(const std::string& path, const std::vector<Line>& lines) {
  CDlgFile doc;
  PlotPos plot = doc.AddPlot("1장", -1, -1);
  for (const Line& l : lines) {
    CDlgItem line;
    line.SetID(l.id);
    line.SetSpeaker(l.speaker);
    line.SetText(l.text);
    ASSERT_NE(doc.AddItem(line, plot, nullptr), nullptr);
  }
  ASSERT_EQ(doc.Save(path.c_str()), 1);
}

PeerRun Tool(const TempDir& dir, const std::string& args) {
  return exchangetest::RunIn(dir.path(), Dlgtool() + " " + args + " --encoding UTF-8");
}

// One line per entry, obsolete ones included: ID|translated|fuzzy|previous msgid|obsolete|msgstr.
constexpr char kPolibDump[] = R"(
import polib, sys
for e in polib.pofile(sys.argv[1]):
    print('|'.join([e.msgctxt or '', 'T' if e.msgstr else '-', 'F' if 'fuzzy' in e.flags else '-',
                    e.previous_msgid or '', 'O' if e.obsolete else '-', e.msgstr]))
)";

std::set<std::string> Entries(const TempDir& dir, const std::string& po) {
  const PeerRun run = exchangetest::RunPython(dir.path(), kPolibDump, po);
  EXPECT_EQ(run.status, 0) << run.err;
  std::set<std::string> out;
  size_t start = 0;
  while (start < run.out.size()) {
    const size_t end = run.out.find('\n', start);
    out.insert(run.out.substr(start, end - start));
    start = end + 1;
  }
  return out;
}

TEST(TranslationUpdate, AgreesWithMsgmergeWhereIdAndTextAgree) {
  TempDir dir;
  SaveDocument(dir.File("v1.dlg"), {{1, "민준", "Hello there, friend."},
                                    {2, "", "The inn is full tonight."},
                                    {3, "", "Go away."},
                                    {4, "", "Never translated."},
                                    {5, "", "Rewritten completely"},
                                    {7, "", "Stays the same."}});
  SaveDocument(dir.File("tr.dlg"), {{1, "", "Bonjour, ami."},
                                    {2, "", "L'auberge est pleine."},
                                    {3, "", "Va-t'en."},
                                    {5, "", "Réécrit"},
                                    {7, "", "Reste pareil."}});
  SaveDocument(dir.File("v2.dlg"), {{1, "서연", "Hello there, friend."},
                                    {2, "", "The inn is full tonight!"},
                                    {5, "", "Something else entirely now"},
                                    {6, "", "Go away."},
                                    {7, "", "Stays the same."},
                                    {8, "", "A brand new line."}});
  ASSERT_EQ(Tool(dir, "export v1.dlg old.po --translation tr.dlg").status, 0);
  ASSERT_EQ(Tool(dir, "export v2.dlg new.pot --format po").status, 0);
  ASSERT_EQ(exchangetest::RunIn(dir.path(), "cp old.po ours.po").status, 0);
  const PeerRun update = Tool(dir, "export v2.dlg ours.po --update");
  ASSERT_EQ(update.status, 0) << update.err;
  EXPECT_EQ(update.out, "unchanged: 1, changed: 2, review: 1, added: 2, obsolete: 1\n");
  const PeerRun merge = exchangetest::RunIn(
      dir.path(), "msgmerge --previous --no-wrap -q old.po new.pot -o theirs.po");
  ASSERT_EQ(merge.status, 0) << merge.err;
  EXPECT_EQ(exchangetest::RunIn(dir.path(), "msgfmt --check -o /dev/null ours.po").status, 0);

  const std::set<std::string> ours = Entries(dir, "ours.po");
  const std::set<std::string> theirs = Entries(dir, "theirs.po");
  // Same ID, same or edited text: both tools agree, previous msgid included.
  for (const char* both : {"7|T|-||-|Reste pareil.",
                           "2|T|F|The inn is full tonight.|-|L'auberge est pleine.",
                           "8|-|-||-|"}) {
    EXPECT_EQ(ours.count(both), 1u) << both;
    EXPECT_EQ(theirs.count(both), 1u) << both;
  }
  // The speaker changed under an unchanged text: msgmerge cannot see it; the line must be
  // reviewed (a voice and a register depend on who speaks).
  EXPECT_EQ(theirs.count("1|T|-||-|Bonjour, ami."), 1u);
  EXPECT_EQ(ours.count("1|T|F||-|Bonjour, ami."), 1u);
  // Line 5 was rewritten beyond msgmerge's similarity threshold: msgmerge throws the translation
  // into an obsolete entry; the ID says it is the same line, so ours keeps it for the translator.
  EXPECT_EQ(theirs.count("5|-|-||-|"), 1u);
  EXPECT_EQ(theirs.count("5|T|-||O|Réécrit"), 1u);
  EXPECT_EQ(ours.count("5|T|F|Rewritten completely|-|Réécrit"), 1u);
  // Line 3 was deleted and line 6 is new with the same text: msgmerge gives line 6 line 3's
  // translation; ours keeps line 3's as obsolete and leaves the new line untranslated.
  EXPECT_EQ(theirs.count("6|T|F|Go away.|-|Va-t'en."), 1u);
  EXPECT_EQ(ours.count("6|-|-||-|"), 1u);
  EXPECT_EQ(ours.count("3|T|-||O|Va-t'en."), 1u);
  // An untranslated line that is gone leaves nothing behind in either.
  for (const std::string& entry : ours) EXPECT_NE(entry.substr(0, 2), "4|") << entry;
  for (const std::string& entry : theirs) EXPECT_NE(entry.substr(0, 2), "4|") << entry;
  EXPECT_EQ(ours.size(), 7u);

  const std::string bytes = ReadFileBytes(dir.File("ours.po"));
  EXPECT_NE(bytes.find("#. review: speaker changed: 민준 -> 서연\n"), std::string::npos);
  // A second update of an unchanged document changes no byte.
  ASSERT_EQ(Tool(dir, "export v2.dlg ours.po --update").status, 0);
  EXPECT_EQ(ReadFileBytes(dir.File("ours.po")), bytes);
}

// The translator's side, done with our own reader and writer: every entry of the file gets a
// translation made from `prefix` and the source, and loses its fuzzy mark.
void Translate(const std::string& path, Format format, const std::string& prefix,
               const std::string& comment) {
  const std::string data = ReadFileBytes(path);
  std::vector<exchange::ImportUnit> read;
  exchange::ParseFailure failure;
  exchange::FileExtras extras;
  const bool ok = format == Format::kPo      ? exchange::ReadPo(data, read, failure, &extras)
                  : format == Format::kXliff ? exchange::ReadXliff(data, read, failure, &extras)
                                             : exchange::ReadCsv(data, read, failure);
  ASSERT_TRUE(ok) << failure.message;
  exchange::ExportSet set;
  set.original = "game.dlg";
  set.plots.push_back("1장");
  set.obsolete = extras.obsolete;
  for (exchange::ImportUnit& in : read) {
    exchange::ExportUnit unit;
    unit.id = in.id;
    unit.text = in.source;
    unit.notes = in.notes;
    unit.hasTarget = true;
    unit.target = prefix + in.source;
    unit.comments = in.comments.empty() ? comment : in.comments;
    set.units.push_back(unit);
  }
  WriteFileBytes(path, format == Format::kPo      ? exchange::WritePo(set)
                       : format == Format::kXliff ? exchange::WriteXliff(set)
                                                  : exchange::WriteCsv(set));
}

TEST(TranslationUpdate, ThreeRoundsKeepEveryFinishedTranslationInEveryFormat) {
  for (const auto& [format, name] : std::vector<std::pair<Format, std::string>>{
           {Format::kPo, "ko.po"}, {Format::kXliff, "ko.xlf"}, {Format::kCsv, "ko.csv"}}) {
    SCOPED_TRACE(name);
    TempDir dir;
    SaveDocument(dir.File("game.dlg"), {{1, "민준", "One"},
                                        {2, "민준", "Two\r\nlines"},
                                        {3, "서연", "Three"},
                                        {4, "서연", "Four"}});
    // Round 1: export and translate everything, with a translator comment on each entry.
    ASSERT_EQ(Tool(dir, "export game.dlg " + name).status, 0);
    Translate(dir.File(name), format, "R1:", "checked by 지원");

    // The writers change line 2, delete line 3, add line 9 and give line 4 another speaker.
    SaveDocument(dir.File("game.dlg"), {{1, "민준", "One"},
                                        {2, "민준", "Two\r\nlines, edited"},
                                        {4, "민준", "Four"},
                                        {9, "서연", "Nine"}});
    const PeerRun update = Tool(dir, "export game.dlg " + name + " --update");
    ASSERT_EQ(update.status, 0) << update.err;
    EXPECT_EQ(update.out, "unchanged: 1, changed: 1, review: 1, added: 1, obsolete: 1\n");
    // What the file cannot keep is named, never dropped silently.
    EXPECT_EQ(update.err.find("ID 3: no longer in game.dlg") != std::string::npos,
              format != Format::kPo)
        << update.err;
    PeerRun status = Tool(dir, "status game.dlg " + name);
    EXPECT_EQ(status.status, 1);
    EXPECT_EQ(status.out,
              "1장: translated 1, fuzzy 2, stale 0, untranslated 1\n"
              "total: translated 1, fuzzy 2, stale 0, untranslated 1, obsolete " +
                  std::string(format == Format::kPo ? "1" : "0") + "\n");

    const std::string data = ReadFileBytes(dir.File(name));
    std::vector<exchange::ImportUnit> read;
    exchange::ParseFailure failure;
    exchange::FileExtras extras;
    ASSERT_TRUE(format == Format::kPo      ? exchange::ReadPo(data, read, failure, &extras)
                : format == Format::kXliff ? exchange::ReadXliff(data, read, failure, &extras)
                                           : exchange::ReadCsv(data, read, failure));
    std::map<int, exchange::ImportUnit> byId;
    for (exchange::ImportUnit& unit : read) byId[unit.id] = unit;
    ASSERT_EQ(byId.size(), 4u);
    EXPECT_EQ(byId[1].target, "R1:One");
    EXPECT_FALSE(byId[1].fuzzy);
    EXPECT_EQ(byId[1].comments, "checked by 지원");
    EXPECT_EQ(byId[2].target, "R1:Two\r\nlines");
    EXPECT_TRUE(byId[2].fuzzy);
    EXPECT_TRUE(byId[2].hasPrevious);
    EXPECT_EQ(byId[2].previous, "Two\r\nlines");
    EXPECT_EQ(byId[2].comments, "checked by 지원");
    EXPECT_TRUE(byId[4].fuzzy);
    EXPECT_EQ(byId[4].target, "R1:Four");
    EXPECT_TRUE(byId[9].target.empty());
    if (format == Format::kPo) {
      EXPECT_EQ(extras.obsoleteCount, 1);
      EXPECT_NE(extras.obsolete.find("#~ msgstr \"R1:Three\""), std::string::npos);
    }

    // Round 2 translated; the import applies every line and the status is complete.
    Translate(dir.File(name), format, "R2:", "");
    status = Tool(dir, "status game.dlg " + name + " --json");
    EXPECT_EQ(status.status, 0) << status.out;
    EXPECT_NE(status.out.find("\"complete\": true"), std::string::npos) << status.out;
    const PeerRun import = Tool(dir, "import game.dlg " + name + " -o out.dlg");
    EXPECT_EQ(import.status, 0) << import.err;
    CDlgFile doc;
    ASSERT_EQ(doc.Load(dir.File("out.dlg").c_str()), 1);
    EXPECT_STREQ(doc.GetItem(doc.FindItem(2)).text.c_str(), "R2:Two\r\nlines, edited");
    EXPECT_STREQ(doc.GetItem(doc.FindItem(9)).text.c_str(), "R2:Nine");
    // PO keeps the deleted line's translation through the next update too.
    if (format == Format::kPo) {
      ASSERT_EQ(Tool(dir, "export game.dlg " + name + " --update").status, 0);
      EXPECT_NE(ReadFileBytes(dir.File(name)).find("#~ msgstr \"R1:Three\""), std::string::npos);
    }
  }
}

TEST(TranslationUpdate, StatusStaleAndFallbackAsAPipelineSeesThem) {
  TempDir dir;
  SaveDocument(dir.File("game.dlg"), {{1, "", "One"}, {2, "", "Two"}, {3, "", "Three"}});
  WriteFileBytes(dir.File("ko.csv"),
                 "ID,source,target,fuzzy\r\n1,One,하나,False\r\n2,Old two,둘,False\r\n"
                 "3,Three,,False\r\n7,Gone,칠,False\r\n");
  PeerRun status = Tool(dir, "status game.dlg ko.csv --json");
  EXPECT_EQ(status.status, 1);
  EXPECT_EQ(status.out,
            "{\"plots\": [{\"name\": \"1장\", \"translated\": 1, \"fuzzy\": 0, \"stale\": 1, "
            "\"untranslated\": 1}], \"total\": {\"translated\": 1, \"fuzzy\": 0, \"stale\": 1, "
            "\"untranslated\": 1, \"obsolete\": 1}, \"complete\": false}\n");
  // The default keeps the source text of lines left untranslated, and lists them.
  PeerRun import = Tool(dir, "import game.dlg ko.csv -o kept.dlg");
  EXPECT_EQ(import.status, 1);
  EXPECT_NE(import.err.find("source kept (no current translation): 2: 2 3\n"), std::string::npos)
      << import.err;
  import = Tool(dir, "import game.dlg ko.csv -o empty.dlg --fallback empty");
  EXPECT_NE(import.err.find("emptied (no current translation): 2: 2 3\n"), std::string::npos);
  CDlgFile doc;
  ASSERT_EQ(doc.Load(dir.File("empty.dlg").c_str()), 1);
  EXPECT_STREQ(doc.GetItem(doc.FindItem(1)).text.c_str(), "하나");
  EXPECT_STREQ(doc.GetItem(doc.FindItem(2)).text.c_str(), "");
  EXPECT_EQ(Tool(dir, "import game.dlg ko.csv -o x.dlg --fallback none").status, 2);
  // Faults leave the file as it was: a repeated ID, a plain text file.
  WriteFileBytes(dir.File("dup.csv"), "ID,source,target\r\n1,One,a\r\n1,One,b\r\n");
  const PeerRun dup = Tool(dir, "export game.dlg dup.csv --update");
  EXPECT_EQ(dup.status, 2);
  EXPECT_NE(dup.err.find("dup.csv:3: ID 1 appears more than once; nothing written"),
            std::string::npos)
      << dup.err;
  EXPECT_EQ(ReadFileBytes(dir.File("dup.csv")), "ID,source,target\r\n1,One,a\r\n1,One,b\r\n");
  EXPECT_EQ(Tool(dir, "export game.dlg missing.po --update").status, 2);
  EXPECT_EQ(Tool(dir, "export game.dlg plain.txt --update").status, 2);
}

}  // namespace

namespace {

// The translator credits above the header stay through an update, as msgmerge keeps them.
TEST(TranslationUpdate, KeepsThePoHeadersCommentBlockAsMsgmergeDoes) {
  TempDir dir;
  SaveDocument(dir.File("game.dlg"), {{1, "민준", "안녕"}, {2, "", "잘 가"}});
  ASSERT_EQ(Tool(dir, "export game.dlg ko.po").status, 0);
  const std::string credits =
      "# Korean translation of the game.\n# Copyright (C) 2026 The Studio\n"
      "# Minjun Kim <mk@example.org>, 2026.\n#\n";
  WriteFileBytes(dir.File("ko.po"), credits + ReadFileBytes(dir.File("ko.po")));
  SaveDocument(dir.File("game.dlg"), {{1, "민준", "안녕하세요"}, {3, "", "새 줄"}});
  ASSERT_EQ(Tool(dir, "export game.dlg new.po").status, 0);
  ASSERT_EQ(exchangetest::RunIn(dir.path(), "msgmerge --previous -q -o merged.po ko.po new.po")
                .status,
            0);
  ASSERT_EQ(Tool(dir, "export game.dlg ko.po --update").status, 0);
  EXPECT_EQ(ReadFileBytes(dir.File("merged.po")).substr(0, credits.size()), credits);
  EXPECT_EQ(ReadFileBytes(dir.File("ko.po")).substr(0, credits.size() + 9), credits + "msgid \"\"\n");
  // And a second update changes nothing.
  const std::string once = ReadFileBytes(dir.File("ko.po"));
  ASSERT_EQ(Tool(dir, "export game.dlg ko.po --update").status, 0);
  EXPECT_EQ(ReadFileBytes(dir.File("ko.po")), once);
}

// An XLIFF 1.2 file as CAT tools leave it: a <tool> in the header, memoQ's and Trados' namespaces
// and attributes, XLIFF's approved, state-qualifier, <seg-source> and <alt-trans>. An update keeps
// all of it on the entry it does not change (1), drops it from the entry whose source changed
// (2), and keeps it but the approval on the entry whose speaker changed (3).
TEST(TranslationUpdate, XliffUpdateKeepsWhatOtherToolsWroteOnUnchangedEntries) {
  TempDir dir;
  SaveDocument(dir.File("game.dlg"),
               {{1, "민준", "안녕"}, {2, "서연", "새 문장"}, {3, "민준", "그래"}});
  const std::string unit =
      "<trans-unit id=\"%ID%\" resname=\"%ID%\" approved=\"yes\" mq:status=\"ManuallyConfirmed\" "
      "sdl:locked=\"false\"><source>%SRC%</source>"
      "<seg-source><mrk mtype=\"seg\" mid=\"1\">%SRC%</mrk></seg-source>"
      "<target state=\"translated\" state-qualifier=\"exact-match\">T%ID%</target>"
      "<note from=\"developer\">speaker: %WHO%</note>"
      "<sdl:seg-defs><sdl:seg id=\"1\" conf=\"Translated\"/></sdl:seg-defs>"
      "<alt-trans match-quality=\"100\"><target>tm &amp; &lt;old&gt;</target></alt-trans>"
      "</trans-unit>";
  std::string units;
  for (const auto& [id, source, who] : std::vector<std::tuple<int, std::string, std::string>>{
           {1, "안녕", "민준"}, {2, "옛 문장", "서연"}, {3, "그래", "서연"}}) {
    std::string u = unit;
    for (const auto& [key, value] : std::vector<std::pair<std::string, std::string>>{
             {"%ID%", std::to_string(id)}, {"%SRC%", source}, {"%WHO%", who}}) {
      for (size_t at = u.find(key); at != std::string::npos; at = u.find(key)) {
        u.replace(at, key.size(), value);
      }
    }
    units += u;
  }
  WriteFileBytes(
      dir.File("ko.xlf"),
      "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<xliff version=\"1.2\" "
      "xmlns=\"urn:oasis:names:tc:xliff:document:1.2\" xmlns:mq=\"MQXliff\" "
      "xmlns:sdl=\"http://sdl.com/FileTypes/SdlXliff/1.0\"><file original=\"game.dlg\" "
      "source-language=\"ko\" target-language=\"en\" datatype=\"plaintext\"><header><tool "
      "tool-id=\"mq\" tool-name=\"memoQ\" tool-version=\"9.12\"/></header><body>" +
          units + "</body></file></xliff>");
  const PeerRun run = Tool(dir, "export game.dlg ko.xlf --update");
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out, "unchanged: 1, changed: 1, review: 1, added: 0, obsolete: 0\n");

  // lxml reads the result; each unit's attributes and children, by ID.
  const PeerRun dump = exchangetest::RunPython(dir.path(), R"(
import sys
from lxml import etree
tree = etree.parse(sys.argv[1])
root = tree.getroot()
print(sorted(root.nsmap.items(), key=lambda kv: kv[0] or ''))
print([etree.QName(t).localname + ':' + t.get('tool-name') for t in root.iter('{*}tool')])
for u in root.iter('{*}trans-unit'):
    attrs = sorted(etree.QName(k).localname + '=' + v for k, v in u.attrib.items())
    kids = [etree.QName(c).localname for c in u]
    t = u.find('{*}target')
    print(u.get('id'), attrs, kids, sorted(t.attrib.items()), t.text)
print(root.find('.//{*}alt-trans/{*}target').text)
)",
                                                 "ko.xlf");
  ASSERT_EQ(dump.status, 0) << dump.err;
  EXPECT_EQ(dump.out,
            "[(None, 'urn:oasis:names:tc:xliff:document:1.2'), ('mq', 'MQXliff'), ('sdl', "
            "'http://sdl.com/FileTypes/SdlXliff/1.0')]\n"
            "['tool:memoQ']\n"
            "1 ['approved=yes', 'id=1', 'locked=false', 'resname=1', 'space=preserve', "
            "'status=ManuallyConfirmed'] ['source', 'seg-source', 'target', 'note', 'note', "
            "'seg-defs', 'alt-trans'] [('state', 'translated'), ('state-qualifier', "
            "'exact-match')] T1\n"
            "2 ['id=2', 'resname=2', 'space=preserve'] ['source', 'target', 'note', 'note', "
            "'note', 'note'] [('state', 'needs-translation')] T2\n"
            "3 ['id=3', 'locked=false', 'resname=3', 'space=preserve', "
            "'status=ManuallyConfirmed'] ['source', 'seg-source', 'target', 'note', 'note', "
            "'note', 'note', 'seg-defs', 'alt-trans'] [('state', 'needs-adaptation'), "
            "('state-qualifier', 'exact-match')] T3\n"
            "tm & <old>\n");
  // A second update changes no byte.
  const std::string bytes = ReadFileBytes(dir.File("ko.xlf"));
  ASSERT_EQ(Tool(dir, "export game.dlg ko.xlf --update").status, 0);
  EXPECT_EQ(ReadFileBytes(dir.File("ko.xlf")), bytes);
}

// The same for XLIFF 2.0 as a CAT tool returns it: the metadata and matches modules, a tool's
// own attribute, and a unit split into segments (ids, states, a subState) with an <ignorable>
// between them. The unchanged unit (1) goes back as the tool split it, with its matches; the file
// stays valid against the core schema; the unit whose source changed (2) becomes one fuzzy
// segment; the one whose speaker changed (3) keeps its metadata and asks for review in one
// segment, without the matches whose refs named the segment it had.
TEST(TranslationUpdate, Xliff2UpdateKeepsModulesAndSegmentsOfUnchangedUnits) {
  TempDir dir;
  SaveDocument(
      dir.File("game.dlg"),
      {{1, "민준", "방이 있나요? 하룻밤만요."}, {2, "서연", "새 문장"}, {3, "민준", "그래"}});
  const std::string split =
      "<segment id=\"s1\" state=\"final\" subState=\"tool:ok\"><source>방이 있나요?</source>"
      "<target>Any room?</target></segment>\n    <ignorable><source> </source></ignorable>\n"
      "    <segment id=\"s2\" state=\"reviewed\"><source>하룻밤만요.</source>"
      "<target>Just one night.</target></segment>";
  const std::string modules =
      "<mda:metadata><mda:metaGroup category=\"tool\"><mda:meta type=\"tm\">98 &amp; "
      "up</mda:meta></mda:metaGroup></mda:metadata>";
  const std::string matches =
      "<mtc:matches xmlns:mtc=\"urn:oasis:names:tc:xliff:matches:2.0\"><mtc:match ref=\"#s1\" "
      "similarity=\"90\"><source>방이 있나요</source><target>A room?</target></mtc:match>"
      "</mtc:matches>";
  const auto unit = [&](int id, const std::string& who, const std::string& segments) {
    const std::string n = std::to_string(id);
    return "   <unit id=\"" + n + "\" name=\"" + n +
           "\" xml:space=\"preserve\" tool:by=\"anna\">\n" + "    " + modules +
           (id == 2 ? "" : "\n    " + matches) +
           "\n    <notes>\n     <note category=\"developer\">speaker: " + who +
           "</note>\n    </notes>\n    " + segments + "\n   </unit>\n";
  };
  WriteFileBytes(
      dir.File("ko.xlf"),
      "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
      "<xliff xmlns=\"urn:oasis:names:tc:xliff:document:2.0\" version=\"2.0\" srcLang=\"ko\" "
      "trgLang=\"en\" xmlns:mda=\"urn:oasis:names:tc:xliff:metadata:2.0\" "
      "xmlns:tool=\"urn:x-cat-tool\">\n <file id=\"f1\" original=\"game.dlg\">\n" +
          unit(1, "민준", split) +
          unit(2, "서연",
               "<segment state=\"translated\"><source>옛 문장</source><target>Old "
               "one</target></segment>") +
          unit(3, "서연",
               "<segment id=\"s1\" state=\"final\"><source>그래</source><target>Right</target>"
               "</segment>") +
          " </file>\n</xliff>\n");
  const std::string schema = std::string(PARLATRIX_SOURCE_DIR) + "/tests/data/xliff_core_2.0.xsd";
  const auto valid = [&] {
    return exchangetest::RunIn(dir.path(),
                               "xmllint --nonet --noout --schema '" + schema + "' ko.xlf");
  };
  ASSERT_EQ(valid().status, 0) << valid().err;
  const PeerRun run = Tool(dir, "export game.dlg ko.xlf --update");
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out, "unchanged: 1, changed: 1, review: 1, added: 0, obsolete: 0\n");
  EXPECT_EQ(valid().status, 0) << valid().err;
  const std::string bytes = ReadFileBytes(dir.File("ko.xlf"));
  EXPECT_NE(bytes.find("\n    " + split + "\n   </unit>"), std::string::npos) << bytes;
  EXPECT_NE(bytes.find("\n    " + matches + "\n"), std::string::npos) << bytes;

  const PeerRun dump = exchangetest::RunPython(dir.path(), R"(
import sys
from lxml import etree
for u in etree.parse(sys.argv[1]).getroot().iter('{*}unit'):
    attrs = sorted(etree.QName(k).localname + '=' + v for k, v in u.attrib.items())
    segs = [(s.get('state'), ''.join(s.find('{*}target').itertext()))
            for s in u.iter('{*}segment')]
    print(u.get('id'), attrs, [etree.QName(c).localname for c in u], segs)
)",
                                               "ko.xlf");
  ASSERT_EQ(dump.status, 0) << dump.err;
  EXPECT_EQ(dump.out,
            "1 ['by=anna', 'id=1', 'name=1', 'space=preserve'] ['metadata', 'matches', 'notes', "
            "'segment', 'ignorable', 'segment'] [('final', 'Any room?'), ('reviewed', 'Just one "
            "night.')]\n"
            "2 ['id=2', 'name=2', 'space=preserve'] ['notes', 'segment'] [('initial', 'Old "
            "one')]\n"
            "3 ['by=anna', 'id=3', 'name=3', 'space=preserve'] ['metadata', 'notes', 'segment'] "
            "[('initial', 'Right')]\n");
  // The split unit still comes back whole, and a second update changes no byte.
  const PeerRun import = Tool(dir, "import game.dlg ko.xlf -o out.dlg");
  EXPECT_NE(import.out.find("applied: 1, "), std::string::npos) << import.out << import.err;
  CDlgFile out;
  ASSERT_EQ(out.Load(dir.File("out.dlg").c_str()), 1);
  EXPECT_STREQ(out.GetItem(out.FindItem(1)).GetText(), "Any room? Just one night.");
  ASSERT_EQ(Tool(dir, "export game.dlg ko.xlf --update").status, 0);
  EXPECT_EQ(ReadFileBytes(dir.File("ko.xlf")), bytes);
}

}  // namespace
