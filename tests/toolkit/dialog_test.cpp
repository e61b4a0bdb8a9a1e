// The dialog class, its template geometry, its data exchange and its keyboard commands, on a small
// dialog of the test's own.
#include "toolkit/dialog.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QCursor>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <iterator>

#include "support/ui/scripted_prompts.h"
#include "toolkit/code_page.h"
#include "toolkit/data_exchange.h"
#include "toolkit/scoped_codeset.h"
#include "toolkit/wait_cursor.h"

namespace {

using namespace toolkit;

enum { kName = 1, kLow, kHigh, kCheck, kNote, kLines, kGo, kClose, kLabel, kIcon };

constexpr ControlTemplate kRows[] = {
    {kLabel, "이름 :", ControlKind::kStatic, 5, 5, 40, 8},
    {kName, nullptr, ControlKind::kEdit, 50, 5, 60, 14},
    {kLow, nullptr, ControlKind::kEdit, 5, 25, 25, 12},
    {kHigh, nullptr, ControlKind::kEdit, 35, 25, 25, 12},
    {kCheck, "멀티라인", ControlKind::kCheckBox, 5, 45, 60, 10},
    {kNote, "0000", ControlKind::kStatic, 70, 45, 22, 8},
    {kLines, nullptr, ControlKind::kMultiLineEdit, 5, 60, 100, 30},
    {kGo, "Go", ControlKind::kDefPushButton, 120, 5, 40, 14},
    {kClose, "닫기", ControlKind::kPushButton, 120, 25, 40, 14, kIsCancel},
    {kIcon, ":/icons/about.svg", ControlKind::kIcon, 120, 45, 0, 0},
};
constexpr DialogTemplate kTemplate{"Sample", 170, 100, kRows};

class SampleDialog : public CDialog {
 public:
  explicit SampleDialog(Prompts& prompts) : CDialog(kTemplate, prompts) {}

  std::string name;
  int low = 0;
  int high = 0;
  bool check = false;
  std::string note;
  std::string lines;
  int okCount = 0;
  int cancelCount = 0;
  int goCount = 0;
  int sysCommand = 0;

  void Connect() {
    connect(ControlAs<QPushButton>(kGo), &QPushButton::clicked, this, [this] { ++goCount; });
  }

 protected:
  void DoDataExchange(CDataExchange& dx) override {
    ExchangeText(dx, kName, name, 6);
    ExchangeInt(dx, kLow, low);
    ExchangeInt(dx, kHigh, high);
    ExchangeCheck(dx, kCheck, check);
    ExchangeText(dx, kNote, note);
    ExchangeLines(dx, kLines, lines);
  }
  void OnOK() override { ++okCount; }
  void OnCancel() override { ++cancelCount; }
  void OnSysCommand(int command) override { sysCommand = command; }
};

QLineEdit* Edit(const CDialog& d, int id) {
  return d.ControlAs<QLineEdit>(id);
}

void Type(QWidget* widget, const QString& text) {
  QKeyEvent press(QEvent::KeyPress, 0, Qt::NoModifier, text);
  QApplication::sendEvent(widget, &press);
}

void Press(QWidget* widget, int key) {
  QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier);
  QApplication::sendEvent(widget, &press);
}

// A sample dialog, not yet initialised, with scripted prompts.
class SampleDialogTest : public testing::Test {
 protected:
  ScriptedPrompts prompts;
  SampleDialog dialog{prompts};
};
using DataExchange = SampleDialogTest;
using DialogKeys = SampleDialogTest;
using DialogTemplate = SampleDialogTest;
using SystemMenu = SampleDialogTest;

TEST(DialogUnits, ConvertWithRoundingFromTheBaseUnits) {
  BaseUnits units{6, 13};
  // 175 * 6 / 4 = 262.5, 10 * 13 / 8 = 16.25, 60 * 6 / 4 = 90, 14 * 13 / 8 = 22.75
  EXPECT_EQ(DialogUnitsToPixels(units, 175, 10, 60, 14), QRect(263, 16, 90, 23));
  // 240 * 6 / 4 = 360, 244 * 13 / 8 = 396.5
  EXPECT_EQ(DialogSizeToPixels(units, 240, 244), QSize(360, 397));
}

TEST_F(DialogTemplate, EveryControlSitsAtItsRowAndTheDialogHasItsSize) {
  ASSERT_TRUE(dialog.InitDialog());
  const BaseUnits& units = dialog.baseUnits();
  for (const ControlTemplate& row : kRows) {
    ASSERT_NE(dialog.Control(row.id), nullptr) << row.id;
    EXPECT_EQ(dialog.Control(row.id)->geometry(), ControlRect(units, row)) << row.id;
  }
  EXPECT_EQ(dialog.Control(kIcon)->geometry().size(), QSize(32, 32));
  EXPECT_EQ(dialog.size(), DialogSizeToPixels(units, 170, 100));
  EXPECT_EQ(dialog.windowTitle(), QStringLiteral("Sample"));
}

TEST_F(DialogTemplate, TabOrderIsTheTableOrderOfFocusableControls) {
  ASSERT_TRUE(dialog.InitDialog());
  const int order[] = {kName, kLow, kHigh, kCheck, kLines, kGo, kClose};
  for (size_t i = 0; i + 1 < std::size(order); ++i) {
    QWidget* next = dialog.Control(order[i])->nextInFocusChain();
    while (next->focusPolicy() == Qt::NoFocus) next = next->nextInFocusChain();
    EXPECT_EQ(next, dialog.Control(order[i + 1])) << i;
  }
}

TEST_F(DataExchange, ShowWritesValuesAndReadTakesThemBack) {
  dialog.name = "게";
  dialog.low = -5;
  dialog.check = true;
  dialog.note = "0104";
  dialog.lines = "a\r\nb";
  ASSERT_TRUE(dialog.InitDialog());
  EXPECT_EQ(Edit(dialog, kLow)->text(), QStringLiteral("-5"));
  EXPECT_EQ(dialog.ControlAs<QLabel>(kNote)->text(), QStringLiteral("0104"));
  EXPECT_TRUE(dialog.ControlAs<QCheckBox>(kCheck)->isChecked());
  EXPECT_EQ(dialog.ControlAs<QPlainTextEdit>(kLines)->toPlainText(), QStringLiteral("a\nb"));
  Edit(dialog, kHigh)->setText(QStringLiteral(" +70 "));
  dialog.ControlAs<QCheckBox>(kCheck)->setChecked(false);
  ASSERT_TRUE(dialog.UpdateData(true));
  EXPECT_EQ(dialog.high, 70);
  EXPECT_FALSE(dialog.check);
  EXPECT_EQ(dialog.lines, "a\r\nb");
  EXPECT_TRUE(prompts.records().empty());
}

TEST_F(DataExchange, FieldWithoutIntegerPromptsSelectsItAndStopsTheRead) {
  dialog.show();
  ASSERT_TRUE(dialog.InitDialog());
  Edit(dialog, kName)->setText(QStringLiteral("ab"));
  Edit(dialog, kLow)->setText(QStringLiteral("12x"));
  Edit(dialog, kHigh)->setText(QStringLiteral("9"));
  dialog.ControlAs<QCheckBox>(kCheck)->setChecked(true);
  EXPECT_FALSE(dialog.UpdateData(true));
  ASSERT_EQ(prompts.records().size(), 1u);
  EXPECT_EQ(prompts.records()[0].text, "请键入一个整数。");
  EXPECT_EQ(prompts.records()[0].caption, "Parlatrix");
  EXPECT_EQ(dialog.name, "ab");  // read before the failed field
  EXPECT_EQ(dialog.low, 0);
  EXPECT_EQ(dialog.high, 0);  // after it: kept
  EXPECT_FALSE(dialog.check);
  EXPECT_EQ(dialog.focusWidget(), dialog.Control(kLow));
  EXPECT_EQ(Edit(dialog, kLow)->selectedText(), QStringLiteral("12x"));
}

TEST(ParseWholeNumber, Rules) {
  int value = 0;
  EXPECT_TRUE(ParseWholeNumber(" 42 ", value));
  EXPECT_EQ(value, 42);
  EXPECT_TRUE(ParseWholeNumber("-2147483648", value));
  EXPECT_EQ(value, -2147483648);
  EXPECT_TRUE(ParseWholeNumber("+7", value));
  EXPECT_EQ(value, 7);
  for (const char* bad :
       {"", "  ", "-", "1 2", "0x10", "3.0", "2147483648", "99999999999999999999"}) {
    EXPECT_FALSE(ParseWholeNumber(bad, value)) << bad;
  }
}

TEST(DataExchangeLimits, TooLongTextIsTakenWholeThenPromptedWithTheLimit) {
  ScriptedPrompts prompts;
  ScopedCodeset codeset("UTF-8");
  SampleDialog dialog(prompts);
  dialog.name = "일이삼";  // 9 bytes in UTF-8; only the program can put it there
  ASSERT_TRUE(dialog.InitDialog());
  dialog.name.clear();
  EXPECT_EQ(Edit(dialog, kName)->text(), QString::fromUtf8("일이삼"));
  Edit(dialog, kLow)->setText(QStringLiteral("3"));
  EXPECT_FALSE(dialog.UpdateData(true));
  EXPECT_EQ(dialog.name, "일이삼");
  EXPECT_EQ(dialog.low, 0);
  ASSERT_EQ(prompts.records().size(), 1u);
  EXPECT_EQ(prompts.records()[0].text, "“请填入不多于6个的字符。”");
}

TEST(DataExchangeLimits, TypingStopsAtTheByteLimitOfTheCodePage) {
  ScopedCodeset codeset("EUC-KR");
  ScriptedPrompts prompts;
  SampleDialog dialog(prompts);
  ASSERT_TRUE(dialog.InitDialog());
  QLineEdit* edit = Edit(dialog, kName);
  for (const char* s : {"가", "나", "다", "라"}) Type(edit, QString::fromUtf8(s));
  EXPECT_EQ(edit->text(), QString::fromUtf8("가나다"));  // 6 bytes in EUC-KR
  Type(edit, QStringLiteral("x"));
  EXPECT_EQ(edit->text(), QString::fromUtf8("가나다"));
  toolkit::SetSystemCodeset("UTF-8");
  edit->clear();
  for (const char* s : {"가", "나", "다"}) Type(edit, QString::fromUtf8(s));
  EXPECT_EQ(edit->text(), QString::fromUtf8("가나"));  // 6 bytes in UTF-8
}

TEST(DataExchangeLimits, PasteIsCutToTheByteLimit) {
  ScopedCodeset codeset("UTF-8");
  ScriptedPrompts prompts;
  SampleDialog dialog(prompts);
  ASSERT_TRUE(dialog.InitDialog());
  QLineEdit* edit = Edit(dialog, kName);
  edit->setText(QStringLiteral("ab"));
  edit->setCursorPosition(1);
  edit->insert(QString::fromUtf8("가나다"));
  EXPECT_EQ(edit->text(), QString::fromUtf8("a가b"));
}

TEST_F(DataExchange, OverlongTextSetByTheProgramCanBeShortened) {
  dialog.name = "abcdefgh";
  ASSERT_TRUE(dialog.InitDialog());
  QLineEdit* edit = Edit(dialog, kName);
  edit->end(false);
  Press(edit, Qt::Key_Backspace);
  EXPECT_EQ(edit->text(), QStringLiteral("abcdefg"));
  Type(edit, QStringLiteral("x"));
  EXPECT_EQ(edit->text(), QStringLiteral("abcdefg"));
}

TEST_F(DialogKeys, EnterPressesTheDefaultButtonEscapeCancels) {
  ASSERT_TRUE(dialog.InitDialog());
  dialog.Connect();
  dialog.show();
  Press(Edit(dialog, kName), Qt::Key_Return);
  EXPECT_EQ(dialog.goCount, 1);
  EXPECT_EQ(dialog.okCount, 0);
  Press(Edit(dialog, kName), Qt::Key_Escape);
  EXPECT_EQ(dialog.cancelCount, 1);
  dialog.ControlAs<QPushButton>(kClose)->click();
  EXPECT_EQ(dialog.cancelCount, 2);
}

TEST_F(DialogKeys, EnterPressesTheFocusedButton) {
  ASSERT_TRUE(dialog.InitDialog());
  dialog.show();
  dialog.Control(kClose)->setFocus();
  Press(dialog.Control(kClose), Qt::Key_Return);
  EXPECT_EQ(dialog.cancelCount, 1);
  EXPECT_EQ(dialog.goCount, 0);
}

TEST_F(DialogKeys, EnterWithoutDefaultButtonIssuesOk) {
  ASSERT_TRUE(dialog.InitDialog());
  dialog.show();
  dialog.ControlAs<QPushButton>(kGo)->setDefault(false);
  Press(Edit(dialog, kName), Qt::Key_Return);
  EXPECT_EQ(dialog.okCount, 1);
}

TEST_F(DialogKeys, MultiLineFieldKeepsEnter) {
  ASSERT_TRUE(dialog.InitDialog());
  dialog.Connect();
  dialog.show();
  auto* lines = dialog.ControlAs<QPlainTextEdit>(kLines);
  Type(lines, QStringLiteral("a"));
  Press(lines, Qt::Key_Return);
  EXPECT_EQ(lines->toPlainText(), QStringLiteral("a\n"));
  EXPECT_EQ(dialog.goCount, 0);
}

TEST_F(SystemMenu, ContextMenuOffersTheAppendedItemsAndRunsTheirCommands) {
  ASSERT_TRUE(dialog.InitDialog());
  dialog.AppendSystemMenuSeparator();
  dialog.AppendSystemMenuItem(0x10, QStringLiteral("About(&A)..."));
  QMenu* menu = dialog.CreateSystemMenu(&dialog);
  ASSERT_EQ(menu->actions().size(), 2);
  EXPECT_TRUE(menu->actions()[0]->isSeparator());
  EXPECT_EQ(menu->actions()[1]->text(), QStringLiteral("About(&A)..."));
  menu->actions()[1]->trigger();
  EXPECT_EQ(dialog.sysCommand, 0x10);
  delete menu;
}

TEST(DialogLife, EndDialogDuringInitialisationEndsDoModalAtOnce) {
  class EndsAtOnce : public CDialog {
   public:
    explicit EndsAtOnce(Prompts& p) : CDialog(kTemplate, p) {}

   protected:
    bool OnInitDialog() override {
      EndDialog(kIdCancel);
      return true;
    }
  };
  ScriptedPrompts prompts;
  EndsAtOnce dialog(prompts);
  EXPECT_EQ(dialog.DoModal(), kIdCancel);
}

}  // namespace

namespace {

TEST(WaitCursor, ShownWhileAliveAndRestoredAfter) {
  {
    toolkit::WaitCursor wait;
    ASSERT_NE(QApplication::overrideCursor(), nullptr);
    EXPECT_EQ(QApplication::overrideCursor()->shape(), Qt::WaitCursor);
  }
  EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

}  // namespace
