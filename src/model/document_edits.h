// Reversible changes to a document, for the editor's undo: the four text fields of lines, and
// whole plots (name, range, member lines with their IDs).
//
// A line is addressed by where it stands, not by its node: undo and redo of a plot command
// recreate that plot's lines, so node pointers do not survive them, and IDs need not be unique in
// a file read from disk. The undo history replays changes strictly in reverse and then forward
// again, so the document is in the same shape (plots in the same order, members in the same
// order) whenever a change is applied as when it was taken, and a place names the same line.
// Lines that belong to no plot (only a damaged or hand-made file has them) are addressed by ID.
#pragma once

#include <string>
#include <vector>

#include "model/dlg_file.h"

// The four texts of a line, as bytes of the document's code page.
struct LineFields {
  std::string speaker;
  std::string expression;
  std::string sound;
  std::string text;

  bool operator==(const LineFields&) const = default;
};

struct LinePlace {
  int plot = -1;    // the plot's place in the document, from 0; -1: a line in no plot
  int member = -1;  // the member's place in that plot, from 0; for a line in no plot, its ID
};

// One line's texts before and after a change.
struct LineEdit {
  LinePlace place;
  LineFields before;
  LineFields after;
};

LineFields FieldsOf(const CDlgItem& line);

// The texts of every line, in document order (plots in order, members in order, then the lines of
// no plot), to compare with after a change that may touch any line (an import).
struct FieldsSnapshot {
  std::vector<LinePlace> places;
  std::vector<LineFields> fields;
};
FieldsSnapshot TakeFieldsSnapshot(const CDlgFile& document);
// The lines whose texts differ from `before`, which must have been taken of this document with no
// line added, removed or moved since.
std::vector<LineEdit> EditsSince(const CDlgFile& document, const FieldsSnapshot& before);

// Puts back the texts `before` holds on every line that differs, in place, without building a
// list of edits first (for memory that has run out). False when a text cannot be stored.
bool RestoreFieldsSnapshot(CDlgFile& document, const FieldsSnapshot& before);

// Sets each edited line's texts to `after` (`undo`: to `before`). One pass over the document.
// False when memory runs out or a place names no line; the lines done by then keep their values.
bool ApplyLineEdits(CDlgFile& document, const std::vector<LineEdit>& edits, bool undo);

// A plot as it stands: its name, range and member lines with their IDs and texts.
struct PlotSnapshot {
  std::string name;
  int rangeLow = -1;
  int rangeHigh = -1;
  struct Member {
    int id = -1;
    int plotIndex = -1;
    LineFields fields;
  };
  std::vector<Member> members;
};
PlotSnapshot TakePlotSnapshot(const CDlgPlot& plot);
// The plot at `index` (from 0); nullptr when there is none.
PlotPos PlotAt(const CDlgFile& document, int index);
// Puts `snapshot` in the place of the plot's content: its lines leave the document, the
// snapshot's lines join it with their IDs. False when memory runs out (the plot then holds the
// lines added so far).
bool RestorePlot(CDlgFile& document, PlotPos plot, const PlotSnapshot& snapshot);
// A new plot from `snapshot` at place `index` (appended when past the end); nullptr when memory
// runs out (nothing is added then).
PlotPos InsertPlotSnapshot(CDlgFile& document, int index, const PlotSnapshot& snapshot);
