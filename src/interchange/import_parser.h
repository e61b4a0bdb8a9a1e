// ImportParser: turns the lines of a translation-form text file into import entries.
//
// Lines are classified in this order: exactly 13 asterisks is a separator (ignored); a line of
// ASCII digits only is an ID line (ends the entry in progress, starts the next); anything else,
// the empty line included, is a text line of the entry in progress. Text lines before the first ID
// line belong to no entry and are dropped. An entry's text is its text lines joined by CR LF;
// nothing is put before a line while the text is still empty, so leading empty lines vanish. When
// an entry is completed, one trailing line break (the empty line that export writes after every
// text) is removed: a final LF, and then a CR before it.
//
// Each entry is matched to its line with FindItem when it is completed; the document is not
// changed by parsing. In a document whose multiLine is 0 a matched entry's text loses every TAB,
// every CR LF pair and every LF, so its lines are joined directly. Unmatched entries keep their
// text as gathered, for the import log.
#pragma once

#include <cstddef>

#include "model/dlg_file.h"
#include "model/plain_string.h"

namespace interchange {

struct ImportEntry {
  int id = -1;
  // The ID line as written, kept only when its value does not fit an int; such an entry never
  // matches a line.
  CPlainString oversizeId;
  CPlainString text;
  LinePos target = nullptr;  // the line that gets the text; nullptr: the entry goes to the log
};

// The entries of one import, in file order. One block holds them all and grows by doubling;
// growing moves the texts by Swap, never copying one, so a script of 100 000 entries costs a few
// dozen allocations besides the texts themselves.
class ImportEntries {
 public:
  ImportEntries() = default;
  ~ImportEntries() { delete[] entries_; }
  ImportEntries(const ImportEntries&) = delete;
  ImportEntries& operator=(const ImportEntries&) = delete;

  // A fresh entry at the end; nullptr when out of memory (the entries are then unchanged).
  [[nodiscard]] ImportEntry* Add();
  size_t Count() const { return count_; }
  ImportEntry& operator[](size_t k) { return entries_[k]; }

 private:
  ImportEntry* entries_ = nullptr;
  size_t count_ = 0;
  size_t capacity_ = 0;
};

// Growable byte buffer for the text of the entry in progress. Appending is amortised constant
// time, so an entry of many lines costs linear time. Its length always fits an int.
class GatheredText {
 public:
  GatheredText() = default;
  ~GatheredText() { delete[] bytes_; }
  GatheredText(const GatheredText&) = delete;
  GatheredText& operator=(const GatheredText&) = delete;

  // False when out of memory or when the text would outgrow an int; the text is then unchanged.
  [[nodiscard]] bool Append(const char* data, size_t length);
  void Clear() { length_ = 0; }
  bool IsEmpty() const { return length_ == 0; }
  const char* Data() const { return bytes_; }
  int Length() const { return static_cast<int>(length_); }

  // Removes a final LF and then a CR right before it.
  void DropTrailingBreak();
  // Removes every TAB, then every CR LF pair, then every LF (in one pass).
  void JoinLines();

 private:
  char* bytes_ = nullptr;
  size_t length_ = 0;
  size_t capacity_ = 0;
};

class ImportParser {
 public:
  ImportParser(const CDlgFile& document, ImportEntries& entries)
      : document_(document), entries_(entries) {}

  // One line of the file, without its line end. Its text ends at its first NUL byte, if any.
  // False when out of memory.
  [[nodiscard]] bool TakeLine(const char* line, size_t length);
  // Completes the entry in progress at the end of the file. False when out of memory.
  [[nodiscard]] bool Finish();

 private:
  [[nodiscard]] bool StartEntry(const char* digits, size_t length);
  [[nodiscard]] bool CompleteEntry();

  const CDlgFile& document_;
  ImportEntries& entries_;
  bool inEntry_ = false;
  int id_ = -1;
  CPlainString oversizeId_;
  GatheredText text_;
};

}  // namespace interchange
