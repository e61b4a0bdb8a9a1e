#include "app/new_file_dlg.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPushButton>

#include "support/ui/test_app_context.h"
#include "toolkit/scoped_codeset.h"
#include "toolkit/text_bytes.h"

namespace {

QString Utf8(const char* text) {
  return QString::fromUtf8(text);
}

class NewFileDlgTest : public testing::Test {
 protected:
  CNewFileDlg& Open() {
    dialog_ = std::make_unique<CNewFileDlg>(app_.prompts);
    EXPECT_TRUE(dialog_->InitDialog());
    return *dialog_;
  }
  QCheckBox* Box(int id) const { return dialog_->ControlAs<QCheckBox>(id); }
  QLineEdit* NameField() const { return dialog_->ControlAs<QLineEdit>(CNewFileDlg::kGameName); }

  TestAppContext app_;
  std::unique_ptr<CNewFileDlg> dialog_;
};

TEST_F(NewFileDlgTest, CaptionLabelsAndLayoutAreExact) {
  CNewFileDlg& dialog = Open();
  EXPECT_EQ(dialog.windowTitle(), Utf8("새 파일 형식"));
  const std::pair<int, const char*> labels[] = {
      {CNewFileDlg::kGameNameLabel, "게임 이름 :"},
      {CNewFileDlg::kSpeaker, "두상"},
      {CNewFileDlg::kExpression, "표정"},
      {CNewFileDlg::kSound, "소리 파일"},
      {CNewFileDlg::kOk, "확인"},
      {CNewFileDlg::kCancel, "취소"},
  };
  for (const auto& [id, label] : labels) {
    EXPECT_EQ(toolkit::WidgetText(dialog.Control(id)), Utf8(label)) << label;
  }
  const toolkit::DialogTemplate& t = CNewFileDlg::Template();
  ASSERT_EQ(t.controls.size(), 7u);
  for (const toolkit::ControlTemplate& row : t.controls) {
    EXPECT_EQ(dialog.Control(row.id)->geometry(), toolkit::ControlRect(dialog.baseUnits(), row))
        << row.id;
  }
  const toolkit::BaseUnits& u = dialog.baseUnits();
  EXPECT_EQ(dialog.Control(CNewFileDlg::kGameName)->geometry(),
            toolkit::DialogUnitsToPixels(u, 50, 5, 60, 14));
  EXPECT_EQ(dialog.Control(CNewFileDlg::kSound)->geometry(),
            toolkit::DialogUnitsToPixels(u, 5, 65, 48, 10));
  EXPECT_EQ(dialog.size(), toolkit::DialogSizeToPixels(u, 118, 84));
  EXPECT_TRUE(dialog.ControlAs<QPushButton>(CNewFileDlg::kOk)->isDefault());
  EXPECT_FALSE(dialog.ControlAs<QPushButton>(CNewFileDlg::kCancel)->isDefault());
}

TEST_F(NewFileDlgTest, StartsWithEveryOptionOffAndNoName) {
  CNewFileDlg& dialog = Open();
  EXPECT_FALSE(dialog.expression);
  EXPECT_FALSE(dialog.speaker);
  EXPECT_FALSE(dialog.sound);
  EXPECT_EQ(dialog.gameName, "");
  EXPECT_FALSE(Box(CNewFileDlg::kSpeaker)->isChecked());
  EXPECT_FALSE(Box(CNewFileDlg::kExpression)->isChecked());
  EXPECT_FALSE(Box(CNewFileDlg::kSound)->isChecked());
}

TEST_F(NewFileDlgTest, EachValueIsBoundToItsOwnControl) {
  dialog_ = std::make_unique<CNewFileDlg>(app_.prompts);
  dialog_->speaker = true;
  dialog_->gameName = "이름";
  ASSERT_TRUE(dialog_->InitDialog());
  EXPECT_TRUE(Box(CNewFileDlg::kSpeaker)->isChecked());
  EXPECT_FALSE(Box(CNewFileDlg::kExpression)->isChecked());
  EXPECT_EQ(NameField()->text(), Utf8("이름"));
  Box(CNewFileDlg::kSpeaker)->setChecked(false);
  Box(CNewFileDlg::kExpression)->setChecked(true);
  Box(CNewFileDlg::kSound)->setChecked(true);
  NameField()->setText(QStringLiteral("Quest"));
  ASSERT_TRUE(dialog_->UpdateData(true));
  EXPECT_FALSE(dialog_->speaker);
  EXPECT_TRUE(dialog_->expression);
  EXPECT_TRUE(dialog_->sound);
  EXPECT_EQ(dialog_->gameName, "Quest");
}

TEST_F(NewFileDlgTest, GameNameFieldTakesAtMost31BytesLikeTheMainWindows) {
  ScopedCodeset codeset("UTF-8");
  Open();
  for (int i = 0; i < 12; ++i) {
    QKeyEvent key(QEvent::KeyPress, 0, Qt::NoModifier, Utf8("가"));
    QApplication::sendEvent(NameField(), &key);
  }
  QKeyEvent key(QEvent::KeyPress, 0, Qt::NoModifier, QStringLiteral("z"));
  QApplication::sendEvent(NameField(), &key);
  ASSERT_TRUE(dialog_->UpdateData(true));
  EXPECT_EQ(dialog_->gameName, "가가가가가가가가가가z");  // 10 x 3 + 1 bytes in UTF-8
}

TEST_F(NewFileDlgTest, OkWithALongerNameShowsTheLengthPromptAndStaysOpen) {
  dialog_ = std::make_unique<CNewFileDlg>(app_.prompts);
  dialog_->gameName = std::string(32, 'n');  // only the program can put it there
  ASSERT_TRUE(dialog_->InitDialog());
  CNewFileDlg& dialog = *dialog_;
  dialog.show();
  dialog.ControlAs<QPushButton>(CNewFileDlg::kOk)->click();
  EXPECT_EQ(app_.prompts.Texts(), std::vector<std::string>{"“请填入不多于31个的字符。”"});
  EXPECT_TRUE(dialog.isVisible());
  NameField()->setText(QString(31, QChar('n')));
  dialog.ControlAs<QPushButton>(CNewFileDlg::kOk)->click();
  EXPECT_FALSE(dialog.isVisible());
  EXPECT_EQ(dialog.result(), toolkit::kIdOk);
  EXPECT_EQ(dialog.gameName, std::string(31, 'n'));
}

TEST_F(NewFileDlgTest, CancelEndsWithCancel) {
  CNewFileDlg& dialog = Open();
  dialog.show();
  dialog.ControlAs<QPushButton>(CNewFileDlg::kCancel)->click();
  EXPECT_FALSE(dialog.isVisible());
  EXPECT_EQ(dialog.result(), toolkit::kIdCancel);
  EXPECT_TRUE(app_.prompts.records().empty());
}

}  // namespace
