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

// Speakers and expressions as examples/Parlatrix.ini lists them.
const std::vector<TestLine> kLines = {
    {"서연", "기본", "s0101.wav", "这里的茶很香。"},
    {"민준", "웃음", "m0101.wav", "할머니께서 남겨 주신 비법이에요."},
    {"서연", "슬픔", "", "我已经很久没有回家了。"},
    {"민준", "기본", "m0102.wav", "오늘 밤은 여기서 푹 쉬어 가세요."},
    {"서연", "웃음", "s0102.wav", "谢谢你，明天见！"},
};

bool BuildDocument(CDlgFile& document) {
  document.SetGameName("별빛 여관");
  document.SetColumns(1, 1, 1);
  PlotPos plot = AddTestPlot(document, "第二章 茶馆", 100, 200, kLines);
  return plot != nullptr && plot->value.members.GetCount() == static_cast<int>(kLines.size());
}

}  // namespace

bool WriteLineEditorScreenshot(const std::string& dir) {
  // The editor reads Parlatrix.ini from the current directory.
  ScopedCurrentDir examples(std::string(PARLATRIX_SOURCE_DIR) + "/examples");
  TestAppContext app;
  if (!BuildDocument(app.document)) return false;
  CLineEditDlg editor(app.context.LineEditing());
  editor.setWindowIcon(toolkit::MainIcon());
  editor.plotName = "第二章 茶馆";
  editor.multiLine = true;
  if (!editor.InitDialog() || editor.speakerList()->count() == 0) {
    std::fprintf(stderr, "screenshots: the line editor found no plot or no speakers\n");
    return false;
  }
  editor.SelectRow(editor.FirstSelectedRow(), false);
  editor.SelectRow(1, true);
  return SaveScreenshot(&editor, dir, "line-editor.png");
}
