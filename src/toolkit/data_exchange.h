// Data exchange between a dialog's values and its controls.
//
// A dialog's DoDataExchange calls one Exchange* function per bound control, in the order the
// fields are read. When reading (saving), the first field that fails its check shows the toolkit's
// standard prompt, gets the focus with its text selected, and marks the exchange failed; every
// later Exchange* call of that exchange then does nothing, so the values behind the failed field
// keep what they held.
//
// Texts are byte strings of the code page; limits count bytes of the code page.
#pragma once

#include <QtGlobal>
#include <initializer_list>
#include <string>

class QString;
class QWidget;

namespace toolkit {

class CDialog;

// The standard prompts, exactly as users of the original texts see them; shown translated in the
// context "CDataExchange".
inline constexpr char kIntegerPrompt[] = QT_TRANSLATE_NOOP("CDataExchange", "请键入一个整数。");
// %1: the limit
inline constexpr char kLengthPrompt[] =
    QT_TRANSLATE_NOOP("CDataExchange", "“请填入不多于%1个的字符。”");
// A text holding characters the document's code page cannot write: refused rather than saved
// with substitutes. %1: those characters, %2: the code page.
inline constexpr char kUnwritablePrompt[] =
    QT_TRANSLATE_NOOP("CDataExchange", "以下文字无法以文件的代码页(%2)保存：%1");

class CDataExchange {
 public:
  CDataExchange(CDialog& dialog, bool saveAndValidate)
      : dialog_(dialog), saveAndValidate_(saveAndValidate) {}

  bool saving() const { return saveAndValidate_; }
  bool failed() const { return failed_; }
  CDialog& dialog() const { return dialog_; }

  // Shows `prompt`, puts the focus into `control` with its text selected, and fails the exchange.
  void Fail(QWidget* control, const QString& prompt);

 private:
  CDialog& dialog_;
  bool saveAndValidate_;
  bool failed_ = false;
};

// Text fields only: reading takes nothing into `value` and fails with kUnwritablePrompt while the
// field holds characters the code page cannot write (ExchangeText and ExchangeLines check this).
// Whether the listed fields can all be written; if not, the first that cannot gets the prompt and
// the focus, as a failed read does. For commands that must not go on with older values.
[[nodiscard]] bool FieldsWritable(CDialog& dialog, std::initializer_list<int> ids);

// One-line text field, static text, or button label. Without a limit (maxBytes < 0) any text.
// With a limit, showing also limits typing to maxBytes bytes, and reading takes the whole text into
// `value` and then fails with kLengthPrompt if it is longer.
void ExchangeText(CDataExchange& dx, int id, std::string& value, int maxBytes = -1);

// Multi-line text field: CR LF in `value` is a line break in the field.
void ExchangeLines(CDataExchange& dx, int id, std::string& value, int maxBytes = -1);

// Integer field: a decimal whole number, optionally signed, blanks allowed around it, within the
// range of a signed 32-bit integer. Anything else (an empty field too) fails with kIntegerPrompt
// and leaves `value` unchanged.
void ExchangeInt(CDataExchange& dx, int id, int& value);

// Check box.
void ExchangeCheck(CDataExchange& dx, int id, bool& value);

// The integer a field's text holds, by the rule of ExchangeInt; false if it holds none.
[[nodiscard]] bool ParseWholeNumber(const std::string& text, int& value);

// Limits typing in a QLineEdit to `maxBytes` bytes of the code page (no limit when negative).
void LimitTextBytes(QWidget* control, int maxBytes);

}  // namespace toolkit
