// The game-side runtime (parlatrix/runtime.h) on any bytes. Open checks the header, plot table
// and index, each record is checked at its first lookup: a file the structural check finds intact
// opens and answers every line; an opened file answers every ID of its index either as the
// editor's record parser reads the record that the index entry names, byte for byte, or, for a
// record the structural check finds damaged, with PRX_ERROR_DAMAGED; a file that opens and answers
// every line carries no damage but what lies between records and member lists; its plots are the
// plot table's.
#include <climits>
#include <string>

#include "dlgfile/dlg_format.h"
#include "dlgfile/dlg_record.h"
#include "dlgfile/dlg_verify.h"
#include "fuzz_support.h"
#include "fuzz_targets.h"
#include "parlatrix/runtime.h"

namespace {

bool Same(const prx_text& text, const CPlainString& expected) {
  return text.data != nullptr && text.data[text.size] == '\0' &&
         std::string(text.data, text.size) ==
             std::string(expected.c_str(), static_cast<size_t>(expected.GetLength()));
}

// The line of entry `id` as the editor reads it: ReadItem's record parser at the entry's offset.
bool EditorLine(const uint8_t* data, size_t size, const DlgVerifyResult& check, int32_t id,
                CDlgItem& line) {
  const uint8_t* entry = data + check.indexOffset + int64_t{kDlgIndexEntrySize} * id;
  if (LoadLE32(entry) < 0) return false;
  const int32_t at = LoadLE32(entry + 4);
  return ParseDlgRecord(data + at, size - static_cast<size_t>(at), line) ==
         DlgRecordResult::kAccepted;
}

// Damage that only a cross-check of records against the member lists finds: lookups answer.
bool OnlyCrossCheckDamage(const DlgVerifyResult& check) {
  if (check.truncated_findings) return false;
  for (const DlgFinding& finding : check.findings) {
    if (finding.damage && finding.message.find(", but plot ") == std::string::npos) return false;
  }
  return true;
}

void CheckLookups(const uint8_t* data, size_t size, const DlgVerifyResult& check,
                  const prx_file* file) {
  FUZZ_CHECK(prx_highest_id(file) == check.indexCount - 1);
  int32_t records = 0;
  bool anyDamaged = false;
  for (int32_t id = 0; id < check.indexCount; ++id) {
    const bool hole = LoadLE32(data + check.indexOffset + int64_t{kDlgIndexEntrySize} * id) < 0;
    records += hole ? 0 : 1;
    CDlgItem expected;
    const bool stored = EditorLine(data, size, check, id, expected);
    prx_line line;
    const prx_status status = prx_get_line(file, id, &line);
    FUZZ_CHECK(status == PRX_OK || status == PRX_ERROR_NOT_FOUND || status == PRX_ERROR_DAMAGED);
    FUZZ_CHECK((status == PRX_ERROR_NOT_FOUND) == hole);
    if (status == PRX_ERROR_DAMAGED) {
      FUZZ_CHECK(check.Damaged() && line.id == -1 && line.text.size == 0);
      anyDamaged = true;
      continue;
    }
    if (status != PRX_OK) continue;
    FUZZ_CHECK(stored);
    FUZZ_CHECK(line.id == expected.GetID() && line.plot_index == expected.GetPlotIndex());
    FUZZ_CHECK(Same(line.speaker, expected.GetSpeaker()));
    FUZZ_CHECK(Same(line.expression, expected.GetExpression()));
    FUZZ_CHECK(Same(line.sound, expected.GetSound()));
    FUZZ_CHECK(Same(line.text, expected.GetText()));
    char small[4];
    size_t needed = 0;
    const prx_status copied =
        prx_copy_field(file, id, PRX_FIELD_TEXT, small, sizeof small, &needed);
    FUZZ_CHECK(needed == line.text.size + 1);
    FUZZ_CHECK(copied == (needed <= sizeof small ? PRX_OK : PRX_ERROR_BUFFER));
  }
  FUZZ_CHECK(prx_line_count(file) == records);
  if (check.Damaged() && !anyDamaged) FUZZ_CHECK(OnlyCrossCheckDamage(check));
  const prx_encoding encoding = prx_text_encoding(file);
  FUZZ_CHECK(encoding == PRX_ENCODING_UTF8 || encoding == PRX_ENCODING_UNKNOWN_LEGACY);
  for (int32_t id : {-1, INT_MIN, INT_MAX, check.indexCount}) {
    prx_line line;
    FUZZ_CHECK(prx_get_line(file, id, &line) == PRX_ERROR_NOT_FOUND && line.id == -1);
  }
}

void CheckPlots(const prx_file* file, const DlgVerifyResult& check) {
  FUZZ_CHECK(prx_plot_count(file) == check.plotCount);
  for (int32_t p = 0; p < check.plotCount; ++p) {
    prx_plot plot;
    FUZZ_CHECK(prx_get_plot(file, p, &plot) == PRX_OK);
    FUZZ_CHECK(plot.name.size < kDlgPlotNameSize && plot.name.data[plot.name.size] == '\0');
    for (size_t m = 0; m < plot.member_count; ++m) {
      prx_line line;
      // Before version 104 a plot's members are the lines whose records name it.
      if (check.version < kDlgVersionMembers) {
        FUZZ_CHECK(prx_get_line(file, plot.members[m], &line) == PRX_OK);
        FUZZ_CHECK(line.plot_index == p);
      }
    }
  }
  prx_plot none;
  FUZZ_CHECK(prx_get_plot(file, check.plotCount, &none) == PRX_ERROR_NOT_FOUND);
}

}  // namespace

int FuzzRuntime(const uint8_t* data, size_t size) {
  // Every finding kept (their number is bounded by the size), so that their kinds can be told.
  const DlgVerifyResult check = VerifyDlgBytes(data, size, size + 16);
  prx_file* file = nullptr;
  prx_error error;
  const prx_status opened = prx_open_memory_ex(data, size, PRX_OPEN_NO_COPY, &file, &error);
  if (!check.Damaged()) FUZZ_CHECK(opened == PRX_OK);
  if (opened != PRX_OK) {
    FUZZ_CHECK(check.Damaged());
    FUZZ_CHECK(opened == PRX_ERROR_DAMAGED && file == nullptr && error.code == opened);
    FUZZ_CHECK(error.message[0] != '\0');
    return 0;
  }
  CheckLookups(data, size, check, file);
  CheckPlots(file, check);
  prx_close(file);
  return 0;
}
