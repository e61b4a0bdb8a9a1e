// The whole cycle of a translation, as a user goes through it: open the demo document, export its
// texts for translation, change one text in the exported file, import it, save under a new name,
// and read the changed line back from the saved file the way a game does. The window's buttons are
// clicked and the real Qt file dialogs and message boxes answered.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QFileDialog>
#include <QMessageBox>
#include <QPushButton>
#include <functional>

#include "app/main_dlg.h"
#include "support/temp_dir.h"
#include "support/ui/modal_dialogs.h"
#include "toolkit/qt_prompts.h"
#include "toolkit/scoped_codeset.h"

namespace {

// A step that checks the file dialog's title and chooses `path` in it.
std::function<void(QWidget*)> ChooseIn(const char* title, const std::string& path) {
  return [title, path](QWidget* modal) {
    auto* dialog = qobject_cast<QFileDialog*>(modal);
    if (dialog == nullptr) {
      ADD_FAILURE() << "expected the file dialog " << title;
      return ModalScript::Dismiss(modal);
    }
    EXPECT_EQ(dialog->windowTitle(), QString::fromUtf8(title));
    dialog->selectFile(QString::fromStdString(path));
    static_cast<QDialog*>(dialog)->accept();  // QFileDialog narrows accept() to protected
  };
}

// A step that checks the message box's text and presses `button`.
std::function<void(QWidget*)> Answer(const char* text, QMessageBox::StandardButton button) {
  return [text, button](QWidget* modal) {
    auto* box = qobject_cast<QMessageBox*>(modal);
    if (box == nullptr) {
      ADD_FAILURE() << "expected the message " << text;
      return ModalScript::Dismiss(modal);
    }
    EXPECT_EQ(box->text(), QString::fromUtf8(text));
    box->button(button)->click();
  };
}

int IdOfText(const CDlgFile& document, const char* text) {
  for (LinePos pos = document.GetLines().GetHeadPosition(); pos != nullptr;) {
    const CDlgItem& line = document.GetLines().GetNext(pos);
    if (line.GetText() == text) return line.GetID();
  }
  return -1;
}

std::string ReplaceOnce(std::string bytes, const std::string& from, const std::string& to) {
  const size_t at = bytes.find(from);
  EXPECT_NE(at, std::string::npos) << from;
  if (at != std::string::npos) bytes.replace(at, from.size(), to);
  return bytes;
}

TEST(EditCycle, ExportForTranslationChangeOneTextImportSaveAsAndReadItBack) {
  ScopedCodeset codeset("UTF-8");  // the demo's texts are UTF-8
  TempDir temp;
  ScopedCurrentDir cd(temp.path());
  const std::string demo = std::string(PARLATRIX_SOURCE_DIR) + "/examples/demo.dlg";
  const std::string demoBytes = ReadFileBytes(demo);
  const std::string exported = temp.File("demo-ko.txt");
  const std::string saved = temp.File("demo-translated.dlg");
  const char* original = "这里的茶很香。";
  const char* translated = "这里的茶真香！";

  CDlgFile document;
  CDlgItemReader reader;
  CQHList<LinePos> additions, deletions;
  toolkit::QtPrompts prompts;
  AppContext context{document, reader, additions, deletions, prompts, {}, {}};
  CMainDlg window(context);
  ASSERT_TRUE(window.InitDialog());
  window.show();
  auto click = [&window](int id) { window.ControlAs<QPushButton>(id)->click(); };

  ModalScript script;
  script.Then(ChooseIn("대화 파일 열기", demo));
  click(CMainDlg::kOpen);
  ASSERT_TRUE(script.done());
  ASSERT_EQ(window.currentPath(), demo);
  const int id = IdOfText(document, original);
  ASSERT_GE(id, 0);
  const int otherId = IdOfText(document, "어서 오세요, 별빛 여관입니다.");
  ASSERT_GE(otherId, 0);

  script.Then(ChooseIn("텍스트 파일 저장", exported));
  script.Then(Answer("是否用于翻译？如果选择是，则导出多行文本，否则导出单行文本，用于录音。",
                     QMessageBox::Yes));
  script.Then(Answer("文件导出成功！", QMessageBox::Ok));
  click(CMainDlg::kExport);
  ASSERT_TRUE(script.done());
  const std::string text = ReadFileBytes(exported);
  ASSERT_NE(text.find("*************\r\n" + std::to_string(id) + "\r\n"), std::string::npos)
      << "the line opens its plot in the translation form";
  WriteFileBytes(exported, ReplaceOnce(text, original, translated));

  script.Then(ChooseIn("텍스트 파일 열기", exported));
  script.Then(Answer("文件导入成功！", QMessageBox::Ok));
  click(CMainDlg::kImport);
  ASSERT_TRUE(script.done());
  EXPECT_TRUE(window.modified());
  EXPECT_TRUE(window.windowTitle().endsWith(QStringLiteral(" *")));

  // Typed without its extension: the dialog adds .dlg.
  script.Then(ChooseIn("대화 파일 저장", temp.File("demo-translated")));
  click(CMainDlg::kSaveAs);
  ASSERT_TRUE(script.done());
  EXPECT_EQ(window.currentPath(), saved);
  EXPECT_FALSE(window.modified());
  EXPECT_EQ(window.windowTitle(), QString::fromUtf8("대사 편집기[별빛 여관] - " + saved));

  CDlgItem line;
  ASSERT_TRUE(document.ReadItem(saved.c_str(), id, line));
  EXPECT_STREQ(line.GetText(), translated);
  ASSERT_TRUE(document.ReadItem(saved.c_str(), otherId, line));
  EXPECT_STREQ(line.GetText(), "어서 오세요, 별빛 여관입니다.");
  EXPECT_EQ(ReadFileBytes(demo), demoBytes);
  window.hide();
}

}  // namespace
