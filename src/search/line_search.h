// Finding lines: which members of which plots hold a search text in the chosen fields.
//
// Matching is on the document's bytes (its code page), not on decoded characters. ASCII letters
// match either case; every other byte matches only itself. In a double-byte code page (GBK,
// Big5, Shift_JIS: a byte from 0x81 up leads a two-byte character whose second byte may be
// ASCII) a match begins only at a character boundary and the second byte of a pair is never case
// folded, so "a" does not find a character whose second byte happens to be 'A'.
#pragma once

#include <string_view>
#include <vector>

#include "model/dlg_file.h"
#include "model/document_edits.h"

enum SearchField : unsigned {
  kSearchText = 1u << 0,
  kSearchSpeaker = 1u << 1,
  kSearchSound = 1u << 2,
  kSearchId = 1u << 3,  // the ID in decimal
};

struct SearchOptions {
  unsigned fields = kSearchText;
  bool pairedBytes = false;  // the code page is double-byte with ASCII second bytes
};

struct SearchHit {
  PlotPos plot;
  int plotIndex;  // the plot's place in the document, from 0
  LinePos line;
  int row;  // the member's place in its plot, from 0 (the line editor's row)
};

// Every member of every plot with `needle` in one of the fields, in document order (plots in
// order, members in each plot's order). An empty needle or no field finds nothing.
std::vector<SearchHit> FindLines(const CDlgFile& document, std::string_view needle,
                                 const SearchOptions& options);

// Whether `haystack` contains `needle` by the rules above.
bool ContainsBytes(std::string_view haystack, std::string_view needle, bool pairedBytes);

// Whether a code page name (as iconv knows it) is a double-byte code page whose second bytes
// include ASCII: GBK, GB18030, Big5 (also Big5-HKSCS), Shift_JIS, CP932/936/949/950, UHC/CP949.
bool IsPairedByteCodeset(std::string_view codeset);

// Replaces every occurrence of `needle` in `text` by `replacement`, left to right, by the rules
// above (a match begins at a character boundary; found text is not searched again). The number
// of occurrences replaced.
size_t ReplaceBytes(std::string& text, std::string_view needle, std::string_view replacement,
                    bool pairedBytes);

// The most bytes a field may hold once replaced: a result longer than that cannot be stored.
struct ReplaceLimits {
  size_t text = 0;
  size_t speaker = 0;
  size_t sound = 0;
};

struct ReplacePlan {
  std::vector<LineEdit> edits;  // one per line whose texts change, in document order
  size_t occurrences = 0;
  // A line whose result would not fit its field (its ID and the field: "text", "speaker",
  // "sound"); the plan then holds no edit, since a replace is done whole or not at all.
  int refusedId = -1;
  std::string refusedField;
};

// What replacing `needle` by `replacement` in the chosen fields of `options` (text, speaker,
// sound: an ID is never replaced) of the lines `hits` name would change.
ReplacePlan PlanReplace(const std::vector<SearchHit>& hits, std::string_view needle,
                        std::string_view replacement, const SearchOptions& options,
                        const ReplaceLimits& limits);
