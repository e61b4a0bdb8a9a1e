#include "interchange/import_parser.h"

#include <climits>
#include <cstring>
#include <new>

#include "interchange/text_import.h"
#include "platform/fault_injection.h"

namespace interchange {
namespace {

constexpr char kSeparator[] = "*************";
constexpr size_t kSeparatorLength = sizeof(kSeparator) - 1;

bool AllDigits(const char* bytes, size_t length) {
  if (length == 0) return false;
  for (size_t i = 0; i < length; ++i) {
    if (bytes[i] < '0' || bytes[i] > '9') return false;
  }
  return true;
}

// The value of a line of ASCII digits, or false when it does not fit an int.
bool ParseId(const char* digits, size_t length, int& id) {
  long long value = 0;
  for (size_t i = 0; i < length; ++i) {
    value = value * 10 + (digits[i] - '0');
    if (value > INT_MAX) return false;
  }
  id = static_cast<int>(value);
  return true;
}

}  // namespace

bool GatheredText::Append(const char* data, size_t length) {
  if (length == 0) return true;
  // Room for the text and a CR LF more must stay within an int, the limit of CPlainString.
  if (length > static_cast<size_t>(INT_MAX) - 2 - length_) return false;
  if (length_ + length > capacity_) {
    size_t grown = capacity_ < 64 ? 64 : capacity_ * 2;
    if (grown < length_ + length) grown = length_ + length;
    char* bigger = platform::NewArray<char>(grown);
    if (bigger == nullptr) return false;
    if (length_ > 0) std::memcpy(bigger, bytes_, length_);
    delete[] bytes_;
    bytes_ = bigger;
    capacity_ = grown;
  }
  std::memcpy(bytes_ + length_, data, length);
  length_ += length;
  return true;
}

void GatheredText::DropTrailingBreak() {
  if (length_ == 0 || bytes_[length_ - 1] != '\n') return;
  --length_;
  if (length_ > 0 && bytes_[length_ - 1] == '\r') --length_;
}

void GatheredText::JoinLines() {
  // Removing the TABs first may join a CR and an LF into a pair. So a CR goes exactly when the
  // next byte that is not a TAB is an LF; every TAB and every LF goes.
  size_t kept = 0;
  for (size_t i = 0; i < length_; ++i) {
    const char byte = bytes_[i];
    if (byte == '\t' || byte == '\n') continue;
    if (byte == '\r') {
      size_t next = i + 1;
      while (next < length_ && bytes_[next] == '\t') ++next;
      if (next < length_ && bytes_[next] == '\n') continue;
    }
    bytes_[kept++] = byte;
  }
  length_ = kept;
}

ImportEntry* ImportEntries::Add() {
  if (count_ == capacity_) {
    const size_t grown = capacity_ == 0 ? 256 : capacity_ * 2;
    ImportEntry* bigger = platform::NewArray<ImportEntry>(grown);
    if (bigger == nullptr) return nullptr;
    for (size_t k = 0; k < count_; ++k) {
      bigger[k].id = entries_[k].id;
      bigger[k].target = entries_[k].target;
      bigger[k].oversizeId.Swap(entries_[k].oversizeId);
      bigger[k].text.Swap(entries_[k].text);
    }
    delete[] entries_;
    entries_ = bigger;
    capacity_ = grown;
  }
  return &entries_[count_++];
}

bool ImportParser::TakeLine(const char* line, size_t length) {
  // The text of a line is a C string: a NUL byte read from the file ends it.
  const void* nul = std::memchr(line, 0, length);
  if (nul != nullptr) length = static_cast<size_t>(static_cast<const char*>(nul) - line);

  if (length == kSeparatorLength && std::memcmp(line, kSeparator, length) == 0) return true;
  if (AllDigits(line, length)) {
    if (inEntry_ && !CompleteEntry()) return false;
    return StartEntry(line, length);
  }
  if (!inEntry_) return true;
  if (!text_.IsEmpty() && !text_.Append("\r\n", 2)) return false;
  return text_.Append(line, length);
}

bool ImportParser::Finish() {
  return !inEntry_ || CompleteEntry();
}

bool ImportParser::StartEntry(const char* digits, size_t length) {
  inEntry_ = true;
  text_.Clear();
  oversizeId_.Empty();
  if (ParseId(digits, length, id_)) return true;
  id_ = -1;
  return oversizeId_.Assign(digits, static_cast<int>(length < INT_MAX ? length : INT_MAX));
}

bool ImportParser::CompleteEntry() {
  text_.DropTrailingBreak();
  ImportEntry* added = entries_.Add();
  if (added == nullptr) return false;
  ImportEntry& entry = *added;
  entry.id = id_;
  if (id_ >= 0) {
    entry.target = document_.FindItem(id_);
  } else {
    entry.oversizeId = oversizeId_;
    if (entry.oversizeId.IsEmpty()) return false;
  }
  if (entry.target != nullptr && document_.GetMultiLine() == 0) text_.JoinLines();
  if (!entry.text.Assign(text_.Data(), text_.Length())) return false;
  inEntry_ = false;
  text_.Clear();
  return true;
}

}  // namespace interchange
