// Realistic dialogue scripts for the benchmarks: N lines in N/50 plots, Korean and Chinese texts
// of 20 to 200 bytes of UTF-8, about one line in six of two or three text lines joined by CR LF,
// speakers, expressions and sound names from a small cast. The same seed gives the same script.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "model/dlg_file.h"

namespace bench {

inline constexpr int kLinesPerPlot = 50;
// Each plot owns a range of this many IDs, so allocation by AddItem leaves realistic gaps.
inline constexpr int kIdsPerPlot = 100;

struct ScriptPlot {
  std::string name;
  int rangeLow;
  int rangeHigh;
};

struct ScriptLine {
  int plot;       // index into Script::plots
  CDlgItem item;  // id -1: AddItem allocates it from the plot's range
};

struct Script {
  std::vector<ScriptPlot> plots;
  std::vector<ScriptLine> lines;
};

Script GenerateScript(int lineCount, uint32_t seed);

// Builds the document by AddPlot and AddItem with allocated IDs. Line k gets ID
// (k / 50) * 100 + k % 50. The script's lines are handed to AddItem as they are (so that only
// AddItem's own copy is made) and get their ID -1 back afterwards. False when an AddItem fails.
bool BuildDocument(Script& script, CDlgFile& doc);

// A translation of every line: the same IDs with new texts of the other language.
struct Translation {
  std::vector<int> ids;
  std::vector<std::string> texts;  // CR LF between text lines, as the document stores them
};
Translation TranslateAll(const CDlgFile& doc, uint32_t seed);

// The translation form of Export, for the import benchmark.
bool WriteTranslationFile(const CDlgFile& doc, const Translation& translation,
                          const std::string& path);
// The same texts as a gettext catalogue: msgctxt the ID, msgid the original, msgstr the
// translation.
bool WritePoFile(const CDlgFile& doc, const Translation& translation, const std::string& path);

}  // namespace bench
