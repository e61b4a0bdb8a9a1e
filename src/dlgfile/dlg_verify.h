// Structural check of the bytes of a whole .dlg file, as a game reading lines by ID relies on them
// (docs/dlg-format.md): header fields against the file's size, a complete plot table, every index
// entry in range and pointing where the format says, every record decodable and carrying its
// entry's ID, the records size word, and the plots' member lists against the records.
//
// The check reads nothing outside [data, data + size), allocates only in proportion to `size`
// (never from a count it has not checked against the size first) and takes time linear in `size`.
// It understands versions 100 to 104; older versions have no ranges (100), no index count of
// their own (below 102: the line count field serves) and no member lists (below 104).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// One problem found. Fields that do not apply are -1.
struct DlgFinding {
  int64_t offset;  // byte offset of the field at fault (or of the end of the file)
  int32_t entry;   // index entry number
  int32_t id;      // line ID concerned
  std::string message;
  // True for damage: bytes that the writer never produces and that make a reader by ID or a
  // loader return wrong or no data. False for what the writer does produce from an unusual
  // document (a line in no plot, one ID listed twice); such a file reads correctly.
  bool damage = true;
};

struct DlgVerifyResult {
  int32_t version = -1;
  int32_t lineCount = -1;
  int32_t indexCount = -1;  // the index's entry count as the version defines it
  int32_t plotCount = -1;
  std::vector<DlgFinding> findings;  // in file order within each pass, at most maxFindings
  bool truncated_findings = false;   // more were found than `findings` holds
  // Counted over all findings, including those beyond maxFindings.
  int64_t damageCount = 0;
  int64_t noticeCount = 0;
  // Where the index starts (the end of the plot table) and where the records end (the records
  // size word); -1 when the check stopped before it knew.
  int64_t indexOffset = -1;
  int64_t recordsEnd = -1;

  bool Damaged() const { return damageCount > 0; }
};

[[nodiscard]] DlgVerifyResult VerifyDlgBytes(const uint8_t* data, size_t size,
                                             size_t maxFindings = 1000);
