// Documents for tests, built through the model's own AddPlot/AddItem and saved by the writer.
// Qt-free: the core tests, the UI tests and the screenshot writer all build their documents here.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "model/dlg_file.h"

// A line's texts; aggregate order as the line editor shows its columns.
struct TestLine {
  const char* speaker = "";
  const char* expression = "";
  const char* sound = "";
  const char* text = "";
};

struct TestPlot {
  const char* name;
  int rangeLow;
  int rangeHigh;
  std::vector<TestLine> lines;
};

// Adds a line with these texts to `plot` (nullptr: to no plot) under ID `id`; -1 allocates an ID
// from the plot's range. Fails the running test (and returns nullptr) when the line is not added.
LinePos AddTestLine(CDlgFile& document, PlotPos plot, int id, const TestLine& line);
// The same with the texts in the order a pipeline test names them.
LinePos AddTestLine(CDlgFile& document, PlotPos plot, int id, const char* text = "",
                    const char* speaker = "", const char* expression = "", const char* sound = "");

// Adds a plot with these lines, IDs allocated from its range.
PlotPos AddTestPlot(CDlgFile& document, const char* name, int rangeLow, int rangeHigh,
                    const std::vector<TestLine>& lines);

// Builds a document of these plots (all three columns on) and saves it to `path`; fails the
// running test when the save fails.
void SaveTestDocument(const std::string& path, const char* gameName,
                      const std::vector<TestPlot>& plots, int multiLine = 0);

// Loads the file at `path`, lets `edit` change the document as the editor would, and saves it;
// fails the running test when the load or the save fails.
void EditSavedDocument(const std::string& path, const std::function<void(CDlgFile&)>& edit);

// A file of format version 102 without plots: a saved empty document with its version field
// (header bytes 40 to 43, little-endian) rewritten.
void SaveVersion102File(const std::string& path, const char* gameName);

// The IDs of a plot's members, in the plot's order.
std::vector<int> MemberIds(const CDlgFile& document, PlotPos plot);

// Everything the document holds, one line of text per plot and per line (plots with name, range
// and member IDs; lines in document order with ID, plot index and the four texts), for comparing
// a document with itself before and after.
std::string DocumentDump(CDlgFile& document);
