// The one record walk (src/runtime/prx_dlg.h) as the core uses it: CDlgItem::Read reading records
// from a stream, the lenient walk keeping what a damaged body does not reach, and the strict walk
// failing at the first flaw exactly when its reporting form finds one.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "dlg_bytes.h"
#include "dlgfile/dlg_record.h"
#include "model/dlg_file.h"
#include "runtime/prx_dlg.h"
#include "support/temp_dir.h"

namespace {

using dlgtest::Le32;
using dlgtest::LineSpec;
using dlgtest::Record;
using dlgtest::ScrambledInt;

const uint8_t* Bytes(const std::string& s) {
  return reinterpret_cast<const uint8_t*>(s.data());
}

std::FILE* StreamOf(TempDir& dir, const std::string& bytes) {
  const std::string path = dir.File("records.bin");
  std::FILE* out = std::fopen(path.c_str(), "wb");
  EXPECT_NE(out, nullptr);
  std::fwrite(bytes.data(), 1, bytes.size(), out);
  std::fclose(out);
  return std::fopen(path.c_str(), "rb");
}

TEST(CDlgItemRead, ReadsConsecutiveRecordsAsTheLoaderParsesThem) {
  TempDir dir;
  const std::string first = Record({3, 1, "Mina", "smile", "3.wav", "first\r\nline"});
  const std::string second = Record({9, 0, "", "", "", "second"});
  std::FILE* in = StreamOf(dir, first + second);
  ASSERT_NE(in, nullptr);
  CDlgItem line;
  EXPECT_EQ(line.Read(in), static_cast<int>(first.size()));
  EXPECT_EQ(line.GetID(), 3);
  EXPECT_EQ(line.GetPlotIndex(), 1);
  EXPECT_STREQ(line.GetSpeaker().c_str(), "Mina");
  EXPECT_STREQ(line.GetExpression().c_str(), "smile");
  EXPECT_STREQ(line.GetSound().c_str(), "3.wav");
  EXPECT_STREQ(line.GetText().c_str(), "first\r\nline");
  CDlgItem again;
  EXPECT_EQ(again.Read(in), static_cast<int>(second.size()));
  CDlgItem parsed;
  ASSERT_EQ(ParseDlgRecord(Bytes(second), second.size(), parsed), DlgRecordResult::kAccepted);
  EXPECT_EQ(again.GetID(), parsed.GetID());
  EXPECT_STREQ(again.GetText().c_str(), parsed.GetText().c_str());
  EXPECT_EQ(again.Read(in), -1);  // the end of the stream
  std::fclose(in);
}

TEST(CDlgItemRead, RefusesALengthBeyondTheFileOrNegativeAndLeavesTheLine) {
  TempDir dir;
  const std::string record = Record({3, 1, "Mina", "", "", "text"});
  for (const std::string& bytes :
       {record.substr(0, record.size() - 1), Le32(-1) + record.substr(4)}) {
    std::FILE* in = StreamOf(dir, bytes);
    ASSERT_NE(in, nullptr);
    CDlgItem line;
    line.SetID(77);
    EXPECT_EQ(line.Read(in), -1);
    EXPECT_EQ(line.GetID(), 77);
    std::fclose(in);
  }
}

// Body: field count, then the given fields, then the trailing length.
std::string RecordOf(const std::string& fields, int32_t count) {
  const std::string body = ScrambledInt(count) + fields;
  const int32_t length = static_cast<int32_t>(body.size()) + 4;
  return Le32(length) + body + ScrambledInt(length);
}

TEST(LenientRecordWalk, KeepsFieldsTheBodyDoesNotReachAndTheLastOfARepeatedTag) {
  // The text's length word claims more than the body holds: the text stays as it was.
  const std::string cut = RecordOf(ScrambledInt(100) + ScrambledInt(5) + ScrambledInt(101) +
                                       ScrambledInt(0) + ScrambledInt(105) + ScrambledInt(900),
                                   3);
  CDlgItem line;
  line.SetText("kept");
  ASSERT_EQ(ParseDlgRecord(Bytes(cut), cut.size(), line), DlgRecordResult::kAccepted);
  EXPECT_EQ(line.GetID(), 5);
  EXPECT_STREQ(line.GetText().c_str(), "kept");

  const std::string twice = RecordOf(ScrambledInt(102) + dlgtest::EncodedString("first") +
                                         ScrambledInt(102) + dlgtest::EncodedString("second"),
                                     2);
  CDlgItem other;
  ASSERT_EQ(ParseDlgRecord(Bytes(twice), twice.size(), other), DlgRecordResult::kAccepted);
  EXPECT_STREQ(other.GetSpeaker().c_str(), "second");
  EXPECT_EQ(other.GetID(), -1);  // no ID field: the line keeps its own

  for (int32_t count : {-1, 8}) {
    const std::string bad = RecordOf("", count);
    EXPECT_EQ(ParseDlgRecord(Bytes(bad), bad.size(), other), DlgRecordResult::kRejected) << count;
  }
}

struct Flaw {
  int code;
  int32_t at;
};

void Collect(void* context, int flaw, int32_t at, int64_t, int64_t) {
  static_cast<std::vector<Flaw>*>(context)->push_back(Flaw{flaw, at});
}

// Every byte of a written record changed in a few ways: the runtime's strict walk (no report,
// stopping at the first flaw) accepts exactly the records in which the structural check's walk
// (reporting every flaw) finds none, and then reads the fields the lenient walk reads.
TEST(StrictRecordWalk, StopsAtAFlawExactlyWhenTheReportingWalkFindsOne) {
  const std::string written = Record({12, 2, "Joon", "frown", "12.wav", "text of the line"});
  int accepted = 0;
  for (size_t i = 0; i < written.size(); ++i) {
    for (int change : {0x00, 0x01, 0x80, 0xFF}) {
      std::string bytes = written;
      bytes[i] = static_cast<char>(static_cast<uint8_t>(bytes[i]) ^ change);
      for (size_t available : {bytes.size(), bytes.size() - 1, bytes.size() + 8}) {
        std::string padded = bytes + std::string(8, '\0');
        prx__record quiet, reported, lenient;
        std::vector<Flaw> flaws;
        const int ok = prx__walk_record(Bytes(padded), available, 1, 12, &quiet, nullptr, nullptr);
        const int clean =
            prx__walk_record(Bytes(padded), available, 1, 12, &reported, &Collect, &flaws);
        ASSERT_EQ(ok, clean) << i << " " << change << " " << available;
        ASSERT_EQ(clean != 0, flaws.empty()) << i << " " << change << " " << available;
        for (const Flaw& flaw : flaws) {
          EXPECT_GE(flaw.at, 0);
          EXPECT_LT(static_cast<size_t>(flaw.at), available);
        }
        if (!ok) continue;
        ++accepted;
        ASSERT_TRUE(prx__walk_record(Bytes(padded), available, 0, -1, &lenient, nullptr, nullptr));
        EXPECT_EQ(lenient.id, quiet.id);
        EXPECT_EQ(lenient.plot_index, quiet.plot_index);
        for (int t = 0; t < 4; ++t) {
          EXPECT_EQ(lenient.text_at[t], quiet.text_at[t]);
          EXPECT_EQ(lenient.text_n[t], quiet.text_n[t]);
        }
      }
    }
  }
  // The unchanged record (change 0) at every available size but the short one, and changes to
  // text bytes other than the zero bytes.
  EXPECT_GT(accepted, 2);
}

}  // namespace
