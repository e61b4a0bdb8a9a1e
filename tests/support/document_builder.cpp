#include "support/document_builder.h"

#include <gtest/gtest.h>

#include "support/temp_dir.h"

LinePos AddTestLine(CDlgFile& document, PlotPos plot, int id, const TestLine& line) {
  CDlgItem item;
  item.SetID(id);
  item.SetSpeaker(line.speaker);
  item.SetExpression(line.expression);
  item.SetSound(line.sound);
  item.SetText(line.text);
  LinePos added = document.AddItem(item, plot, nullptr);
  EXPECT_NE(added, nullptr) << "line " << id << " \"" << line.text << "\" not added";
  return added;
}

LinePos AddTestLine(CDlgFile& document, PlotPos plot, int id, const char* text, const char* speaker,
                    const char* expression, const char* sound) {
  return AddTestLine(document, plot, id, TestLine{speaker, expression, sound, text});
}

PlotPos AddTestPlot(CDlgFile& document, const char* name, int rangeLow, int rangeHigh,
                    const std::vector<TestLine>& lines) {
  PlotPos pos = document.AddPlot(name, rangeLow, rangeHigh);
  EXPECT_NE(pos, nullptr) << "plot " << name << " not added";
  for (const TestLine& line : lines) AddTestLine(document, pos, -1, line);
  return pos;
}

void SaveTestDocument(const std::string& path, const char* gameName,
                      const std::vector<TestPlot>& plots, int multiLine) {
  CDlgFile document;
  document.SetGameName(gameName);
  document.SetColumns(1, 1, 1);
  document.SetMultiLine(multiLine);
  for (const TestPlot& plot : plots) {
    AddTestPlot(document, plot.name, plot.rangeLow, plot.rangeHigh, plot.lines);
  }
  ASSERT_EQ(document.Save(path.c_str()), 1) << path;
}

void EditSavedDocument(const std::string& path, const std::function<void(CDlgFile&)>& edit) {
  CDlgFile doc;
  ASSERT_EQ(doc.Load(path.c_str()), 1) << path;
  edit(doc);
  ASSERT_EQ(doc.Save(path.c_str()), 1) << path;
}

void SaveVersion102File(const std::string& path, const char* gameName) {
  SaveTestDocument(path, gameName, {});
  std::string bytes = ReadFileBytes(path);
  ASSERT_GE(bytes.size(), 44u);
  bytes.replace(40, 4, std::string("\x66\x00\x00\x00", 4));
  WriteFileBytes(path, bytes);
}

std::vector<int> MemberIds(const CDlgFile& document, PlotPos plot) {
  std::vector<int> ids;
  const CQHList<LinePos>& members = plot->value.members;
  for (auto* pos = members.GetHeadPosition(); pos != nullptr; pos = pos->next) {
    ids.push_back(pos->value->value.GetID());
  }
  return ids;
}

std::string DocumentDump(CDlgFile& document) {
  std::string dump = std::string("game ") + document.GetGameName().c_str() + '\n';
  for (PlotPos pos = document.GetFirstPlot(); pos != nullptr;) {
    PlotPos plot = pos;
    const CDlgPlot& value = document.GetNextPlot(pos);
    int low = 0, high = 0;
    value.GetRange(low, high);
    dump += std::string("plot ") + value.GetName().c_str() + ' ' + std::to_string(low) + ' ' +
            std::to_string(high) + ':';
    for (int id : MemberIds(document, plot)) dump += ' ' + std::to_string(id);
    dump += '\n';
  }
  for (auto* pos = document.GetLines().GetHeadPosition(); pos != nullptr; pos = pos->next) {
    const CDlgItem& line = pos->value;
    dump += "line " + std::to_string(line.GetID()) + ' ' + std::to_string(line.GetPlotIndex()) +
            " [" + line.GetSpeaker().c_str() + "][" + line.GetExpression().c_str() + "][" +
            line.GetSound().c_str() + "][" + line.GetText().c_str() + "]\n";
  }
  return dump;
}
