#include "screenshots/line_editor.h"

#include <QComboBox>
#include <cstdio>

#include "editor/line_edit_dlg.h"
#include "screenshots/screenshots.h"
#include "support/document_builder.h"
#include "support/temp_dir.h"
#include "support/ui/test_app_context.h"
#include "toolkit/icons.h"

namespace {

// Speakers and expressions as examples/Parlatrix.ini and examples/en/Parlatrix.ini list them.
const std::vector<TestLine> kEnglishLines = {
    {"Seoyeon", "Normal", "s0101.wav", "The tea here smells wonderful."},
    {"Minjun", "Smile", "m0101.wav", "It is my grandmother's recipe."},
    {"Seoyeon", "Sad", "", "I have not been home for a long time."},
    {"Minjun", "Normal", "m0102.wav", "Rest well here tonight."},
    {"Seoyeon", "Smile", "s0102.wav", "Thank you, see you tomorrow!"},
};
constexpr char kEnglishPlot[] = "Chapter 2 The Tea House";
constexpr char kPlot[] = "第二章 茶馆";

const std::vector<TestLine> kLines = {
    {"서연", "기본", "s0101.wav", "这里的茶很香。"},
    {"민준", "웃음", "m0101.wav", "할머니께서 남겨 주신 비법이에요."},
    {"서연", "슬픔", "", "我已经很久没有回家了。"},
    {"민준", "기본", "m0102.wav", "오늘 밤은 여기서 푹 쉬어 가세요."},
    {"서연", "웃음", "s0102.wav", "谢谢你，明天见！"},
};

bool BuildDocument(CDlgFile& document, bool english) {
  document.SetGameName(english ? "Starlight Inn" : "별빛 여관");
  document.SetColumns(1, 1, 1);
  const std::vector<TestLine>& lines = english ? kEnglishLines : kLines;
  PlotPos plot = AddTestPlot(document, english ? kEnglishPlot : kPlot, 100, 200, lines);
  return plot != nullptr && plot->value.members.GetCount() == static_cast<int>(lines.size());
}

}  // namespace

bool WriteLineEditorScreenshot(const std::string& dir, bool english) {
  // The editor reads Parlatrix.ini from the current directory.
  ScopedCurrentDir examples(ExamplesFolder(english));
  TestAppContext app;
  if (!BuildDocument(app.document, english)) return false;
  CLineEditDlg editor(app.context.LineEditing());
  editor.setWindowIcon(toolkit::MainIcon());
  editor.plotName = english ? kEnglishPlot : kPlot;
  editor.multiLine = true;
  if (!editor.InitDialog() || editor.speakerList()->count() == 0) {
    std::fprintf(stderr, "screenshots: the line editor found no plot or no speakers\n");
    return false;
  }
  editor.SelectRow(editor.FirstSelectedRow(), false);
  editor.SelectRow(1, true);
  return SaveScreenshot(&editor, dir, "line-editor.png");
}
