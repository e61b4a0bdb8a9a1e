// Saved dialogue files for UI tests, written by the program's own writer.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "model/dlg_file.h"
#include "support/temp_dir.h"

struct TestLine {
  const char* speaker;
  const char* expression;
  const char* sound;
  const char* text;
};

struct TestPlot {
  const char* name;
  int rangeLow;
  int rangeHigh;
  std::vector<TestLine> lines;
};

// Builds a document of these plots and lines (IDs from each range) and saves it to `path`.
inline void WriteDocument(const std::string& path, const char* gameName,
                          const std::vector<TestPlot>& plots, int multiLine = 0) {
  CDlgFile document;
  document.SetGameName(gameName);
  document.SetColumns(1, 1, 1);
  document.SetMultiLine(multiLine);
  for (const TestPlot& plot : plots) {
    PlotPos pos = document.AddPlot(plot.name, plot.rangeLow, plot.rangeHigh);
    for (const TestLine& line : plot.lines) {
      CDlgItem item;
      item.SetSpeaker(line.speaker);
      item.SetExpression(line.expression);
      item.SetSound(line.sound);
      item.SetText(line.text);
      ASSERT_NE(document.AddItem(item, pos, nullptr), nullptr);
    }
  }
  ASSERT_EQ(document.Save(path.c_str()), 1) << path;
}

// A file of format version 102 without plots: a saved empty document with its version field
// (header bytes 40 to 43, little-endian) rewritten.
inline void WriteVersion102File(const std::string& path, const char* gameName) {
  WriteDocument(path, gameName, {});
  std::string bytes = ReadFileBytes(path);
  ASSERT_GE(bytes.size(), 44u);
  bytes.replace(40, 4, std::string("\x66\x00\x00\x00", 4));
  WriteFileBytes(path, bytes);
}
