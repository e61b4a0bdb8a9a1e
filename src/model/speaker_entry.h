// SpeakerEntry: one configured speaker, its name and the ordered names of its expressions.
// Names are byte strings in the user's code page, exactly as the configuration file holds them.
#pragma once

#include <string>

#include "model/qh_list.h"

struct SpeakerEntry {
  CQHList<std::string> expressions;
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
