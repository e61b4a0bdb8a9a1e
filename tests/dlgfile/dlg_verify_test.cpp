// The structural check of whole .dlg files: what the writer produces passes, every cut and every
// change of a byte that a reader relies on is found, at the field that holds it.
#include "dlgfile/dlg_verify.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "dlg_bytes.h"
#include "model/dlg_file.h"
#include "support/debug_capture.h"
#include "support/temp_dir.h"

namespace {

DlgVerifyResult Verify(const std::string& bytes) {
  return VerifyDlgBytes(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
}

std::string Describe(const DlgVerifyResult& result) {
  std::string text;
  for (const DlgFinding& f : result.findings) {
    text += std::to_string(f.offset) + ": " + f.message + (f.damage ? "" : " (notice)") + "\n";
  }
  return text;
}

std::string SaveBytes(CDlgFile& doc) {
  TempDir dir;
  DebugCapture quiet;
  EXPECT_EQ(doc.Save(dir.File("v.dlg").c_str()), 1);
  return ReadFileBytes(dir.File("v.dlg"));
}

// A document of `lines` lines with unique IDs spread over plots, leaving holes between IDs, every
// line in a plot; texts of random length, including empty and multi-byte ones.
std::string RandomSavedFile(uint32_t seed, int lines) {
  std::mt19937 random(seed);
  CDlgFile doc;
  doc.SetGameName("verify");
  std::vector<PlotPos> plots;
  const int plotCount = 1 + static_cast<int>(random() % 5);
  for (int p = 0; p < plotCount; ++p)
    plots.push_back(doc.AddPlot(("p" + std::to_string(p)).c_str(), -1, -1));
  int id = static_cast<int>(random() % 3);
  const char* pieces[] = {"", "a", "말", "\r\n", "text ", "台词"};
  for (int k = 0; k < lines; ++k) {
    CDlgItem line;
    line.SetID(id);
    id += 1 + static_cast<int>(random() % 3);
    std::string text;
    for (int n = static_cast<int>(random() % 8); n > 0; --n) text += pieces[random() % 6];
    line.SetText(text.c_str());
    line.SetSpeaker(pieces[random() % 6]);
    line.SetSound(random() % 2 ? "s.wav" : "");
    doc.AddItem(line, plots[random() % plots.size()], nullptr);
  }
  return SaveBytes(doc);
}

// A 4-byte field or a text of a record as the writer lays it out.
struct Span {
  size_t start, size;
  bool text;  // text bytes before the terminating zero: no check can tell a change there
};

int32_t Unscrambled(const std::string& file, size_t at) {
  return dlgtest::ReadLe32(dlgtest::Scramble(file.substr(at, 4)), 0);
}

std::vector<Span> RecordSpans(const std::string& file, size_t at) {
  std::vector<Span> spans = {{at, 4, false}, {at + 4, 4, false}};
  size_t cursor = at + 8;
  for (int field = 0; field < 6; ++field) {
    spans.push_back({cursor, 4, false});
    spans.push_back({cursor + 4, 4, false});
    const int32_t value = Unscrambled(file, cursor + 4);
    cursor += 8;
    if (field >= 2) {
      if (value > 1) spans.push_back({cursor, static_cast<size_t>(value - 1), true});
      spans.push_back({cursor + value - 1, 1, false});
      cursor += value;
    }
  }
  spans.push_back({cursor, 4, false});
  return spans;
}

TEST(DlgVerify, FilesOfTheWriterPassWithoutFindings) {
  for (uint32_t seed = 1; seed <= 20; ++seed) {
    const std::string bytes = RandomSavedFile(seed, static_cast<int>(seed * 37 % 400));
    const DlgVerifyResult result = Verify(bytes);
    EXPECT_TRUE(result.findings.empty()) << "seed " << seed << "\n" << Describe(result);
    EXPECT_EQ(result.version, 104);
    EXPECT_EQ(result.damageCount + result.noticeCount, 0);
  }
  CDlgFile empty;
  const DlgVerifyResult result = Verify(SaveBytes(empty));
  EXPECT_TRUE(result.findings.empty()) << Describe(result);
  EXPECT_EQ(result.indexCount, 0);
  EXPECT_EQ(result.indexOffset, 148);
}

TEST(DlgVerify, OlderVersionsAreCheckedByTheirOwnLayout) {
  for (int32_t version : {100, 101, 102, 103}) {
    dlgtest::FileSpec layout;
    layout.version = version;
    layout.plots = {{"a", 0, 10, {}}, {"b", 10, 20, {}}};
    layout.records = {{0, 0, "s", "e", "o", "zero"}, {3, 1, "", "", "", "three"}};
    layout.index = {{0, 0}, {-1, 1}, {-1, 1}, {3, 1}};
    const DlgVerifyResult good = Verify(dlgtest::BuildFile(layout));
    EXPECT_FALSE(good.Damaged()) << version << "\n" << Describe(good);
    EXPECT_EQ(good.indexCount, 4);
    EXPECT_EQ(good.indexOffset, 148 + 2 * (version < 101 ? 64 : 72));

    // The index offset field is unused before version 104: 0 there, as the writers of those
    // versions left it, is no finding; another value that misses the index is a notice.
    std::string bytes = dlgtest::BuildFile(layout);
    bytes.replace(80, 4, dlgtest::Le32(0));
    const DlgVerifyResult unused = Verify(bytes);
    EXPECT_TRUE(unused.findings.empty()) << version << "\n" << Describe(unused);
    bytes.replace(80, 4, dlgtest::Le32(12));
    const DlgVerifyResult misleading = Verify(bytes);
    EXPECT_FALSE(misleading.Damaged()) << version;
    ASSERT_EQ(misleading.findings.size(), 1u) << version << "\n" << Describe(misleading);
    EXPECT_EQ(misleading.findings[0].offset, 80);

    // Before version 104 a line goes to the plot its record names: one naming none is lost.
    layout.records[1].plotIndex = 2;
    const DlgVerifyResult lost = Verify(dlgtest::BuildFile(layout));
    ASSERT_TRUE(lost.Damaged()) << version;
    EXPECT_EQ(lost.findings[0].id, 3);
  }
}

TEST(DlgVerify, EveryPrefixOfASavedFileFails) {
  const std::string good = RandomSavedFile(7, 60);
  for (size_t length = 0; length < good.size(); ++length) {
    const DlgVerifyResult result = Verify(good.substr(0, length));
    EXPECT_TRUE(result.Damaged()) << "prefix of " << length << " bytes";
  }
  EXPECT_TRUE(VerifyDlgBytes(nullptr, 0).Damaged());
}

TEST(DlgVerify, ChangedIndexBytesAreFoundAtTheirField) {
  const std::string good = RandomSavedFile(11, 80);
  const DlgVerifyResult clean = Verify(good);
  ASSERT_TRUE(clean.findings.empty());
  const size_t start = static_cast<size_t>(clean.indexOffset);
  const size_t end = start + 8 * static_cast<size_t>(clean.indexCount);
  for (size_t at = start; at < end; ++at) {
    for (uint8_t flip : {0x01, 0x80}) {
      std::string bad = good;
      bad[at] = static_cast<char>(bad[at] ^ flip);
      const DlgVerifyResult result = Verify(bad);
      ASSERT_TRUE(result.Damaged()) << "byte " << at;
      EXPECT_EQ(result.findings[0].offset, static_cast<int64_t>(at - (at - start) % 4))
          << "byte " << at << "\n"
          << Describe(result);
      EXPECT_EQ(result.findings[0].entry, static_cast<int32_t>((at - start) / 8));
    }
  }
}

TEST(DlgVerify, ChangedRecordBytesAreFoundInTheirRecordAndTextsAreLeftAlone) {
  const std::string good = RandomSavedFile(5, 40);
  const DlgVerifyResult clean = Verify(good);
  ASSERT_TRUE(clean.findings.empty());
  int checked = 0;
  for (int32_t k = 0; k < clean.indexCount; ++k) {
    const size_t entry = static_cast<size_t>(clean.indexOffset) + 8 * k;
    if (dlgtest::ReadLe32(good, entry) < 0) continue;
    const size_t record = static_cast<size_t>(dlgtest::ReadLe32(good, entry + 4));
    const size_t recordEnd = record + 4 + static_cast<size_t>(dlgtest::ReadLe32(good, record));
    for (const Span& span : RecordSpans(good, record)) {
      for (size_t at = span.start; at < span.start + span.size; ++at) {
        std::string bad = good;
        bad[at] = static_cast<char>(bad[at] ^ 0x21);
        const DlgVerifyResult result = Verify(bad);
        if (span.text) {
          EXPECT_FALSE(result.Damaged()) << "text byte " << at << "\n" << Describe(result);
          continue;
        }
        ++checked;
        ASSERT_TRUE(result.Damaged()) << "byte " << at << " of ID " << k;
        EXPECT_GE(result.findings[0].offset, static_cast<int64_t>(record)) << "byte " << at;
        EXPECT_LT(result.findings[0].offset, static_cast<int64_t>(recordEnd))
            << "byte " << at << "\n"
            << Describe(result);
      }
    }
  }
  EXPECT_GT(checked, 40 * 60);
}

TEST(DlgVerify, HeaderPlotTableAndTrailerDamageIsNamed) {
  const std::string good = RandomSavedFile(3, 30);
  const DlgVerifyResult clean = Verify(good);
  struct Change {
    size_t at;
    int32_t value;
    int64_t expectedOffset;  // -1: the damage shows further on
  };
  const size_t firstMember = 148 + 72;  // plot 0's member count, then its IDs
  const Change changes[] = {
      {40, 99, 40},                         // version
      {80, 1000, 80},                       // index offset
      {88, clean.indexCount + 1, -1},       // index count: the records no longer line up
      {144, 100000, -1},                    // plot count: the table runs into the index
      {firstMember, 1 << 20, firstMember},  // member count beyond the file
      {good.size() - 4, 12, static_cast<int64_t>(good.size() - 4)},  // records size
  };
  for (const Change& change : changes) {
    std::string bad = good;
    bad.replace(change.at, 4, dlgtest::Le32(change.value));
    const DlgVerifyResult result = Verify(bad);
    ASSERT_TRUE(result.Damaged()) << change.at;
    bool named = change.expectedOffset < 0;
    for (const DlgFinding& f : result.findings) named = named || f.offset == change.expectedOffset;
    EXPECT_TRUE(named) << change.at << "\n" << Describe(result);
  }
}

TEST(DlgVerify, UnusualDocumentsGiveNoticesAndListingsWithoutRecordsGiveDamage) {
  CDlgFile doc;
  PlotPos a = doc.AddPlot("a", -1, -1);
  PlotPos b = doc.AddPlot("b", -1, -1);
  CDlgItem line;
  line.SetID(0);
  doc.AddItem(line, a, nullptr);
  line.SetID(0);
  doc.AddItem(line, b, nullptr);  // a duplicate ID: one record, listed by both plots
  line.SetID(1);
  doc.AddItem(line, nullptr, nullptr);  // a line in no plot
  const DlgVerifyResult notices = Verify(SaveBytes(doc));
  EXPECT_FALSE(notices.Damaged()) << Describe(notices);
  ASSERT_EQ(notices.noticeCount, 2) << Describe(notices);
  EXPECT_EQ(notices.findings[0].message, "ID 0 is listed under plots 0 and 1");
  EXPECT_EQ(notices.findings[1].message, "record of ID 1 is in no plot");

  dlgtest::FileSpec layout;
  layout.plots = {{"a", -1, -1, {0, 1}}};
  layout.records = {{0, 0, "", "", "", "x"}, {2, 0, "", "", "", "y"}};
  layout.index = {{0, 0}, {-1, 1}, {2, 1}};
  const DlgVerifyResult hole = Verify(dlgtest::BuildFile(layout));
  ASSERT_EQ(hole.damageCount, 1) << Describe(hole);  // the plot lists hole 1
  EXPECT_EQ(hole.noticeCount, 1);                    // and record 2 is in no plot
  EXPECT_EQ(hole.findings[0].message, "plot 0 lists ID 1, which has no record");
  EXPECT_EQ(hole.findings[0].offset, 148 + 76 + 4);

  const DlgVerifyResult few = VerifyDlgBytes(nullptr, 0, 0);
  EXPECT_TRUE(few.findings.empty());
  EXPECT_TRUE(few.truncated_findings);
  EXPECT_EQ(few.damageCount, 1);
}

}  // namespace
