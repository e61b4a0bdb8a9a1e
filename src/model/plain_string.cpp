#include "model/plain_string.h"

#include <cstring>
#include <new>

#include "model/text_arena.h"
#include "platform/fault_injection.h"

char CPlainString::sharedEmpty_[1] = {0};

namespace {

// A zero-filled block of size bytes, or nullptr when memory runs out (or the seam says it does).
char* NewBlock(size_t size) {
  return platform::NewZeroedArray<char>(size);
}

}  // namespace

CPlainString::CPlainString(const char* text) { Assign(text); }

CPlainString::CPlainString(const CPlainString& other) { CopyText(other); }

CPlainString& CPlainString::operator=(const CPlainString& other) {
  if (this != &other) CopyText(other);
  return *this;
}

bool CPlainString::CopyText(const CPlainString& other) {
  if (other.length_ == 0) {
    Empty();
    return true;
  }
  char* block = NewBlock(static_cast<size_t>(other.length_) + 1);
  if (block == nullptr) {
    Empty();
    return false;
  }
  std::memcpy(block, other.text_, static_cast<size_t>(other.length_));
  Adopt(block, other.length_);
  return true;
}

CPlainString& CPlainString::operator=(const char* text) {
  Assign(text);
  return *this;
}

void CPlainString::Adopt(char* block, int length) {
  if (text_ != SharedEmpty() && !borrowed_) delete[] text_;
  borrowed_ = false;
  if (block == nullptr || length == 0) {
    delete[] block;
    text_ = SharedEmpty();
    length_ = 0;
  } else {
    text_ = block;
    length_ = length;
  }
}

void CPlainString::Empty() { Adopt(nullptr, 0); }

bool CPlainString::Assign(const char* text) {
  return Assign(text, text == nullptr ? 0 : static_cast<int>(std::strlen(text)));
}

bool CPlainString::Assign(const char* text, int length) {
  if (text == nullptr || length <= 0) {
    Empty();
    return true;
  }
  const void* nul = std::memchr(text, 0, static_cast<size_t>(length));
  if (nul != nullptr) length = static_cast<int>(static_cast<const char*>(nul) - text);
  if (length == 0) {
    Empty();
    return true;
  }
  char* block = NewBlock(static_cast<size_t>(length) + 1);
  if (block == nullptr) {
    Empty();
    return false;
  }
  std::memcpy(block, text, static_cast<size_t>(length));
  Adopt(block, length);
  return true;
}

bool CPlainString::AssignIn(TextArena& arena, const char* text, int length) {
  if (text == nullptr || length <= 0) {
    Empty();
    return true;
  }
  const void* nul = std::memchr(text, 0, static_cast<size_t>(length));
  if (nul != nullptr) length = static_cast<int>(static_cast<const char*>(nul) - text);
  if (length == 0) {
    Empty();
    return true;
  }
  char* block = arena.Allocate(static_cast<size_t>(length) + 1);
  if (block == nullptr) {
    Empty();
    return false;
  }
  std::memcpy(block, text, static_cast<size_t>(length));
  block[length] = 0;
  Adopt(nullptr, 0);
  text_ = block;
  length_ = length;
  borrowed_ = true;
  return true;
}

bool CPlainString::ClaimIn(TextArena& arena, int length) {
  if (length <= 0) {
    Empty();
    return true;
  }
  char* block = arena.ClaimTail(static_cast<size_t>(length) + 1);
  Adopt(nullptr, 0);
  if (block == nullptr) return false;
  text_ = block;
  length_ = length;
  borrowed_ = true;
  return true;
}

bool CPlainString::Equals(const char* text) const {
  return std::strcmp(text_, text == nullptr ? "" : text) == 0;
}

bool CPlainString::Append(const char* text) {
  if (text == nullptr || *text == 0) return true;
  const size_t extra = std::strlen(text);
  char* block = NewBlock(static_cast<size_t>(length_) + extra + 1);
  if (block == nullptr) return false;
  std::memcpy(block, text_, static_cast<size_t>(length_));
  std::memcpy(block + length_, text, extra);
  Adopt(block, length_ + static_cast<int>(extra));
  return true;
}

int CPlainString::Replace(const char* oldText, const char* newText) {
  if (oldText == nullptr || *oldText == 0) return 0;
  if (newText == nullptr) newText = "";
  const size_t oldLen = std::strlen(oldText);
  const size_t newLen = std::strlen(newText);

  int count = 0;
  for (const char* p = std::strstr(text_, oldText); p != nullptr;
       p = std::strstr(p + oldLen, oldText)) {
    ++count;
  }
  if (count == 0) return 0;

  const size_t resultLen = static_cast<size_t>(length_) - count * oldLen + count * newLen;
  if (resultLen == 0) {
    Empty();
    return count;
  }
  char* block = NewBlock(resultLen + 1);
  if (block == nullptr) return 0;
  char* out = block;
  const char* in = text_;
  for (const char* p = std::strstr(in, oldText); p != nullptr; p = std::strstr(in, oldText)) {
    std::memcpy(out, in, static_cast<size_t>(p - in));
    out += p - in;
    std::memcpy(out, newText, newLen);
    out += newLen;
    in = p + oldLen;
  }
  std::memcpy(out, in, std::strlen(in));
  Adopt(block, static_cast<int>(resultLen));
  return count;
}
