// Texts of a legacy code page in the line editor: what the document's code page holds is stored
// in its bytes; what it cannot hold is refused, naming the characters, never written as '?'.
#include <gtest/gtest.h>

#include <QPlainTextEdit>

#include "editor/line_editor_fixture.h"
#include "toolkit/scoped_codeset.h"

namespace {

// "가똠": 가 is in every Korean code page, 똠 only in CP949's extension (not in EUC-KR).
constexpr char kCp949Text[] = "\xb0\xa1\x8c\x63";

class CodePageEditing : public LineEditorTest {
 protected:
  CLineEditDlg& OpenOn(const char* text) {
    AddTestPlot(app_.document, "p", 0, 10, {{"", "", "", text}});
    return Open("p");
  }
};

TEST_F(CodePageEditing, AnExtensionSyllableTypedInACp949DocumentIsStoredInCp949) {
  ScopedCodeset cp949("CP949");
  CLineEditDlg& dialog = OpenOn(kCp949Text);
  EXPECT_EQ(dialog.textField()->toPlainText(), Utf8("가똠"));
  SetTextField("가똠뷁");
  Click(CLineEditDlg::kModify);
  EXPECT_TRUE(app_.prompts.records().empty());
  EXPECT_STREQ(Line(0).GetText().c_str(), "\xb0\xa1\x8c\x63\x94\xee");
  Click(CLineEditDlg::kAdd);
  EXPECT_TRUE(app_.prompts.records().empty());
  EXPECT_EQ(app_.document.GetLines().GetCount(), 2);
}

TEST_F(CodePageEditing, UnderEucKrAnExtensionSyllableIsRefusedNotCorrupted) {
  ScopedCodeset eucKr("EUC-KR");
  CLineEditDlg& dialog = OpenOn(kCp949Text);
  // EUC-KR shows the extension's lead byte as a control character and its trail as a letter;
  // both write back as the same bytes, so an edit around them loses nothing.
  dialog.textField()->setPlainText(dialog.textField()->toPlainText() + QStringLiteral("!"));
  Click(CLineEditDlg::kModify);
  EXPECT_TRUE(app_.prompts.records().empty());
  EXPECT_STREQ(Line(0).GetText().c_str(), "\xb0\xa1\x8c\x63!");

  // A syllable EUC-KR lacks, typed: named, and neither Modify nor Add stores anything.
  SetTextField("똠과 뷁");
  Click(CLineEditDlg::kModify);
  Click(CLineEditDlg::kAdd);
  EXPECT_EQ(app_.prompts.Texts(),
            (std::vector<std::string>(2, "以下文字无法以文件的代码页(EUC-KR)保存：똠뷁")));
  EXPECT_STREQ(Line(0).GetText().c_str(), "\xb0\xa1\x8c\x63!");
  EXPECT_EQ(app_.document.GetLines().GetCount(), 1);
  EXPECT_EQ(dialog.focusWidget(), dialog.textField());
}

TEST_F(CodePageEditing, AnEditedTextWithBytesThatCouldNotBeShownIsRefused) {
  ScopedCodeset eucKr("EUC-KR");
  // 0xFF 0xFE is no character of EUC-KR: shown as replacement marks.
  CLineEditDlg& dialog = OpenOn("\xb0\xa1\xff\xfe");
  Click(CLineEditDlg::kModify);  // untouched: the bytes come back as they were
  EXPECT_TRUE(app_.prompts.records().empty());
  EXPECT_STREQ(Line(0).GetText().c_str(), "\xb0\xa1\xff\xfe");
  dialog.textField()->setPlainText(dialog.textField()->toPlainText() + QStringLiteral("!"));
  Click(CLineEditDlg::kModify);
  EXPECT_EQ(app_.prompts.Texts(),
            std::vector<std::string>{"以下文字无法以文件的代码页(EUC-KR)保存：\xEF\xBF\xBD"});
  EXPECT_STREQ(Line(0).GetText().c_str(), "\xb0\xa1\xff\xfe");
}

TEST_F(CodePageEditing, ANameTheCodePageCannotHoldIsRefusedAtOk) {
  ScopedCodeset eucKr("EUC-KR");
  CLineEditDlg& dialog = OpenOn("");
  SetField(CLineEditDlg::kName, "똠");
  Click(CLineEditDlg::kOk);
  EXPECT_EQ(app_.prompts.Texts(),
            std::vector<std::string>(2, "以下文字无法以文件的代码页(EUC-KR)保存：똠"));
  EXPECT_TRUE(dialog.isVisible() || dialog.result() != toolkit::kIdOk);
  EXPECT_STREQ(app_.document.GetPlot(dialog.plot()).GetName().c_str(), "p");
}

}  // namespace
