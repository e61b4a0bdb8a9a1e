// Checks and snapshots of a whole document for the fault-injection tests.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "model/dlg_file.h"

namespace dlgtest {

// Every plot member names a node of the document's lines, no line is a member twice, and every
// list's chain agrees with its count.
::testing::AssertionResult IsConsistent(const CDlgFile& doc);

// Everything a user sees of a document, in order, as one comparable text: header fields, plots
// with ranges and member lines (ID, plot index, four texts), and the lines in no plot.
std::string Describe(const CDlgFile& doc);

// A document of kLargeDocumentLines lines in three plots with texts of one or two hundred bytes,
// IDs k * kLargeDocumentIdStep so that the index has holes, and lines 5 and 7 in no plot: its save
// takes one file operation per record and some more.
inline constexpr int kLargeDocumentLines = 150;
inline constexpr int kLargeDocumentIdStep = 60;
void BuildLargeDocument(CDlgFile& doc, const std::string& flavour);

}  // namespace dlgtest
