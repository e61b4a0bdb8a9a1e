// Three-way merge of dialogue documents by line ID and plot name, for teams that share .dlg files
// through version control. docs/git.md gives the rules a writer sees.
//
// The merge works on snapshots (MergeDocument): the values of a loaded CDlgFile, in plot order and
// member order, as views of its texts, so that taking a snapshot copies no text. A snapshot, and a
// merge result made from snapshots, is valid while the documents (or other strings) it views live.
// A line is identified by its ID across the whole document, a plot by its name. Every field is
// merged on its own: a change on one side is taken, the same change on both sides is taken once,
// different changes are a conflict that keeps ours. Nothing of either side is dropped silently:
//  - a line deleted on one side and changed on the other is kept in its changed form;
//  - two new lines with one ID (two writers took the next free ID of a plot) both stay: theirs
//    moves to the next ID of its plot's range that none of the three versions uses;
//  - a plot deleted on one side stays while the result still has lines in it or the other side
//    changed its range.
// Each of these is reported as a MergeConflict.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "model/dlg_file.h"
#include "platform/status.h"

struct MergeLine {
  int32_t id = -1;
  std::string_view speaker;
  std::string_view expression;
  std::string_view sound;
  std::string_view text;

  // Field by field, texts by their bytes: what a round trip through a text form must keep.
  bool operator==(const MergeLine&) const = default;
};

struct MergePlot {
  std::string_view name;
  int32_t rangeLow = -1;
  int32_t rangeHigh = -1;
  std::vector<MergeLine> lines;  // member order

  bool operator==(const MergePlot&) const = default;
};

struct MergeDocument {
  std::string_view gameName;
  int32_t useSpeaker = 0;
  int32_t useExpression = 0;
  int32_t useSound = 0;
  int32_t multiLine = 0;
  std::vector<MergePlot> plots;  // plot-list order

  bool operator==(const MergeDocument&) const = default;
};

// One conflict, its three versions rendered for a reader (texts quoted, with CR, LF, TAB,
// backslash and other control bytes escaped; "(none)" for a version that lacks the item).
struct MergeConflict {
  std::string subject;  // what conflicts: `line 17 in plot "Intro": text`
  std::string base;
  std::string ours;
  std::string theirs;
  std::string outcome;  // what the result holds
};

// A line renumbered by a merge: the line one side had under `from` is `to` in the result.
struct MergeMove {
  int32_t from = -1;
  int32_t to = -1;
};

struct MergeResult {
  MergeDocument merged;
  std::vector<MergeConflict> conflicts;
  // Theirs' new lines this merge moved to another ID (two new lines with one ID, or a line one
  // side replaced under an ID the other side changed). Recorded so that a later merge of the same
  // lineage recognises them (docs/git.md, "Moved lines").
  std::vector<MergeMove> renumbered;
  // Lines an earlier merge had moved and this one followed: a side's changes to `from` were
  // applied to the line at `to`.
  std::vector<MergeMove> followed;
};

// Takes the document's plots and their member lines (views of its texts). A failure, with the
// reason as its message, when one ID is listed twice or two plots share a name: the merge could
// not tell them apart.
[[nodiscard]] platform::Status SnapshotDocument(const CDlgFile& doc, MergeDocument& out);

// Fills an empty document from a snapshot (plots, members in order, IDs kept). False when memory
// runs out.
[[nodiscard]] bool BuildDocument(const MergeDocument& snapshot, CDlgFile& doc);

// `earlier` lists moves that earlier merges of this file recorded (MergeResult::renumbered). A move
// is followed when one side holds the moved line under `to` and another line under `from`, while
// the base and the other side still call it `from`: the base's line is recognised either by equal
// fields, or, for a recorded move, by a similar text (the moved line was edited since). Then the
// other side's changes to `from` go to `to`, instead of landing on the line now under `from`.
MergeResult MergeDocuments(const MergeDocument& base, const MergeDocument& ours,
                           const MergeDocument& theirs, const std::vector<MergeMove>& earlier = {});

// True when `after` reads as a different line from `before` rather than an edit of it: the texts
// differ and share fewer than half of the byte pairs of the shorter one. An empty `before`
// (a placeholder being filled in) and texts of under two bytes never count as different.
bool DifferentText(std::string_view before, std::string_view after);

// `"text"` with the escapes above; what conflicts show (platform/text_escape.h).
std::string QuoteMergeText(std::string_view text);
