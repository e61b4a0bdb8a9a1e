// SpeakerEntry: one configured speaker, its name and the ordered names of its expressions.
// Names are byte strings in the user's code page, exactly as the configuration file holds them.
#pragma once

#include <memory>
#include <string>
#include <utility>

#include "model/qh_list.h"

// One expression name of a speaker. The configuration names a speaker's expressions by number
// into one table of at most 100 names, and a file may list millions of such numbers: every copy
// of a name shares one immutable string, so a kept expression costs its list node and a pointer,
// never another copy of up to 255 bytes. Reads as the `const std::string&` it holds.
class ExpressionName {
 public:
  ExpressionName() = default;
  ExpressionName(const char* text) : text_(std::make_shared<const std::string>(text)) {}
  ExpressionName(std::string text) : text_(std::make_shared<const std::string>(std::move(text))) {}

  const std::string& str() const { return text_ != nullptr ? *text_ : Empty(); }
  operator const std::string&() const { return str(); }
  bool operator==(const ExpressionName& other) const { return str() == other.str(); }

 private:
  static const std::string& Empty() {
    static const std::string empty;
    return empty;
  }
  std::shared_ptr<const std::string> text_;
};

struct SpeakerEntry {
  CQHList<ExpressionName> expressions;
  std::string name;

  SpeakerEntry() = default;
  SpeakerEntry(const SpeakerEntry& other) { *this = other; }

  // Copies the name, empties this entry's expression list and appends a copy of each of the
  // source's names in order, so that exactly the source's names remain.
  SpeakerEntry& operator=(const SpeakerEntry& other) {
    if (this == &other) return *this;
    name = other.name;
    expressions.RemoveAll();
    for (auto* pos = other.expressions.GetHeadPosition(); pos != nullptr;) {
      expressions.AddTail(other.expressions.GetNext(pos));
    }
    return *this;
  }
};
