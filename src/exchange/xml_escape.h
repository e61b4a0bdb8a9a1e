// The one escaping of the XML the XLIFF reader and writer produce: & < > always, CR always (a
// parser would turn a bare one into LF), and in attribute values also " LF and TAB (a parser
// would normalise bare ones to spaces).
#pragma once

#include <string>

namespace exchange {

// Appends the escape of `c` and returns true when `c` needs one (in an attribute value, or in
// text); false, with nothing appended, when `c` stands for itself.
inline bool AppendXmlEscape(std::string& out, unsigned int c, bool attribute) {
  struct Escape {
    unsigned int c;
    bool attributeOnly;
    const char* text;
  };
  static constexpr Escape kEscapes[] = {
      {'&', false, "&amp;"}, {'<', false, "&lt;"},  {'>', false, "&gt;"}, {'\r', false, "&#13;"},
      {'"', true, "&quot;"}, {'\n', true, "&#10;"}, {'\t', true, "&#9;"}};
  if (c > '>') return false;  // the usual case: every escaped character lies below
  for (const Escape& escape : kEscapes) {
    if (escape.c != c) continue;
    if (escape.attributeOnly && !attribute) return false;
    out += escape.text;
    return true;
  }
  return false;
}

}  // namespace exchange
