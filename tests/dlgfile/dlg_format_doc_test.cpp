// The worked example in docs/dlg-format.md must stay what the writer produces.
#include <gtest/gtest.h>

#include <cctype>
#include <sstream>
#include <string>

#include "model/dlg_file.h"
#include "support/temp_dir.h"

namespace {

// The bytes of the hex dump that follows the worked-example marker: in each line, the hex pairs
// between the 8-digit offset and the `|` column.
std::string DocumentedDump() {
  const std::string doc = ReadFileBytes(std::string(PARLATRIX_SOURCE_DIR) + "/docs/dlg-format.md");
  const size_t marker = doc.find("<!-- worked-example-dump");
  const size_t start = doc.find("```text\n", marker);
  const size_t end = doc.find("```", start + 8);
  if (marker == std::string::npos || start == std::string::npos || end == std::string::npos) {
    return "";
  }
  std::istringstream lines(doc.substr(start + 8, end - start - 8));
  std::string bytes;
  for (std::string line; std::getline(lines, line);) {
    const std::string hex = line.substr(10, line.find('|') - 10);
    std::istringstream pairs(hex);
    for (std::string pair; pairs >> pair;) {
      bytes += static_cast<char>(std::stoi(pair, nullptr, 16));
    }
  }
  return bytes;
}

TEST(DlgFormatDocument, WorkedExampleDumpIsWhatTheWriterWrites) {
  CDlgFile doc;
  doc.SetGameName("Demo");
  doc.SetColumns(1, 0, 0);
  PlotPos plot = doc.AddPlot("intro", 0, 100);
  CDlgItem first;
  first.SetID(0);
  first.SetSpeaker("Ann");
  first.SetText("Hi");
  doc.AddItem(first, plot, nullptr);
  CDlgItem second;
  second.SetID(2);
  second.SetSpeaker("Bo");
  second.SetText("Yo");
  doc.AddItem(second, plot, nullptr);
  TempDir dir;
  ASSERT_EQ(doc.Save(dir.File("example.dlg").c_str()), 1);

  const std::string documented = DocumentedDump();
  EXPECT_EQ(documented.size(), 397u);
  EXPECT_EQ(documented, ReadFileBytes(dir.File("example.dlg")));
}

}  // namespace
