// CPlainString: the document model's heap string of bytes.
//
// Invariant: the string refers either to the one shared static empty text (a single NUL byte that
// is never freed), or to a heap block of exactly length + 1 bytes that this string alone owns, or
// (`borrowed_`) to length + 1 bytes in a document's TextArena, which the string never frees: they
// go when the arena is released. A text is never empty. Every operation that changes a borrowed
// text builds a heap block of its own, so a document's arena texts are only ever handed out by
// AssignIn or ClaimIn and moved by Swap; copies are heap texts and outlive any arena. Bytes pass
// through unchanged whatever their code page; lengths and comparisons are in bytes.
//
// Every operation that takes a text accepts one that points into this string's own block
// (s.Assign(s.c_str() + 2), s.Append(s.c_str())): the new block is built before the old is freed.
// When a block cannot be allocated the operation fails and reports false: Assign leaves the
// string empty, Append and Replace leave the text as it was.
#pragma once

class TextArena;

class CPlainString {
 public:
  CPlainString() = default;
  CPlainString(const char* text);  // NOLINT(google-explicit-constructor): texts convert freely
  CPlainString(const CPlainString& other);
  CPlainString& operator=(const CPlainString& other);
  CPlainString& operator=(const char* text);
  ~CPlainString() {
    if (text_ != SharedEmpty() && !borrowed_) delete[] text_;
  }

  // Replaces the text by a copy of `text` (nullptr counts as empty). False when out of memory.
  bool Assign(const char* text);
  // Replaces the text by the first `length` bytes of `text`, which need not be NUL-terminated
  // (the copy ends at the first NUL among them, as a C string would).
  bool Assign(const char* text, int length);
  // As Assign(text, length), but the copy is put in `arena`: it lives until the arena is released,
  // so the string must be in (or be swapped into) the document that owns the arena, or be gone
  // before then.
  bool AssignIn(TextArena& arena, const char* text, int length);
  // As AssignIn, for a text that the caller has already written, NUL-terminated, at the start of
  // the arena's tail (TextArena::Tail): the string claims those length + 1 bytes in place. An
  // empty text claims nothing.
  bool ClaimIn(TextArena& arena, int length);
  void Empty();
  // Exchanges the texts of two strings. Never allocates, so a text can be replaced by one built
  // beforehand in a step that cannot fail.
  void Swap(CPlainString& other) noexcept {
    char* text = text_;
    const int length = length_;
    const bool borrowed = borrowed_;
    text_ = other.text_;
    length_ = other.length_;
    borrowed_ = other.borrowed_;
    other.text_ = text;
    other.length_ = length;
    other.borrowed_ = borrowed;
  }

  bool IsEmpty() const { return text_ == SharedEmpty(); }
  int GetLength() const { return length_; }
  const char* c_str() const { return text_; }
  operator const char*() const { return text_; }  // NOLINT(google-explicit-constructor)

  bool Equals(const char* text) const;
  bool operator==(const char* text) const { return Equals(text); }
  bool operator!=(const char* text) const { return !Equals(text); }

  // Appends `text`. False when out of memory (the text is then unchanged).
  bool Append(const char* text);

  // Replaces every non-overlapping occurrence of `oldText`, scanning from the start, by `newText`.
  // Returns the number of replacements; 0 when oldText is empty or absent, or when out of memory
  // (the text is then unchanged).
  int Replace(const char* oldText, const char* newText);

  // The one shared empty text. Its address identifies an empty string.
  static char* SharedEmpty() { return sharedEmpty_; }

 private:
  // Takes ownership of a heap block of length + 1 bytes (or of nothing, for length 0).
  void Adopt(char* block, int length);
  // Assign from another string, whose length is known and which holds no NUL byte.
  bool CopyText(const CPlainString& other);

  static char sharedEmpty_[1];

  char* text_ = SharedEmpty();
  int length_ = 0;
  bool borrowed_ = false;  // text_ lies in a TextArena; fills padding, the string stays 16 bytes
};
