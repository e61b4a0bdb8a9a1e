#include "toolkit/data_exchange.h"

#include <QCheckBox>
#include <QCoreApplication>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QValidator>
#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <limits>

#include "toolkit/code_page.h"
#include "toolkit/dialog.h"
#include "toolkit/prompts.h"
#include "toolkit/text_bytes.h"

namespace toolkit {
namespace {

// Keeps typing and pasting within a limit in bytes. Of an edit that would pass the limit, only the
// inserted characters that fit are kept (a paste is cut short); if none fits, the edit is refused.
// An edit that shortens a text already over the limit (set by the program) passes, so that such a
// text can be corrected.
class ByteLimitValidator : public QValidator {
 public:
  ByteLimitValidator(QLineEdit* edit, int maxBytes)
      : QValidator(edit), previous_(edit->text()), max_(maxBytes) {
    connect(edit, &QLineEdit::textChanged, this, [this](const QString& text) { previous_ = text; });
  }
  int maxBytes() const { return max_; }

  State validate(QString& input, int& pos) const override {
    const int bytes = ByteLength(input);
    if (bytes <= max_ || bytes < ByteLength(previous_)) return Acceptable;
    // The edit replaced previous_[prefix, previous_.size() - suffix) by input[prefix, end).
    qsizetype prefix = 0;
    const qsizetype shorter = std::min(input.size(), previous_.size());
    while (prefix < shorter && input[prefix] == previous_[prefix]) ++prefix;
    qsizetype suffix = 0;
    while (suffix < shorter - prefix &&
           input[input.size() - 1 - suffix] == previous_[previous_.size() - 1 - suffix]) {
      ++suffix;
    }
    qsizetype end = input.size() - suffix;
    while (end > prefix && ByteLength(input) > max_) {
      const bool pair =
          end - 2 >= prefix && input[end - 1].isLowSurrogate() && input[end - 2].isHighSurrogate();
      const qsizetype n = pair ? 2 : 1;
      input.remove(end - n, n);
      end -= n;
    }
    if (end == prefix) {
      input = previous_;
      pos = static_cast<int>(std::min(prefix, previous_.size()));
    } else {
      pos = static_cast<int>(end);
    }
    return Acceptable;
  }

 private:
  QString previous_;
  int max_;
};

bool IsBlank(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f';
}

void CheckLength(CDataExchange& dx, QWidget* control, const std::string& value, int maxBytes) {
  if (maxBytes >= 0 && static_cast<int>(value.size()) > maxBytes) {
    dx.Fail(control, QCoreApplication::translate("CDataExchange", kLengthPrompt).arg(maxBytes));
  }
}

QString UnwritablePrompt(const QString& characters) {
  return QCoreApplication::translate("CDataExchange", kUnwritablePrompt)
      .arg(characters, QString::fromStdString(SystemCodePage().codeset()));
}

// Fails the exchange when the field holds characters the code page cannot write.
bool CheckWritable(CDataExchange& dx, QWidget* control) {
  const QString unwritable = UnwritableIn(control);
  if (unwritable.isEmpty()) return true;
  dx.Fail(control, UnwritablePrompt(unwritable));
  return false;
}

}  // namespace

bool FieldsWritable(CDialog& dialog, std::initializer_list<int> ids) {
  for (int id : ids) {
    QWidget* control = dialog.Control(id);
    if (control == nullptr || control->isHidden()) continue;
    CDataExchange dx(dialog, true);
    if (!CheckWritable(dx, control)) return false;
  }
  return true;
}

void CDataExchange::Fail(QWidget* control, const QString& prompt) {
  failed_ = true;
  dialog_.prompts().Message(&dialog_, prompt);
  if (control == nullptr) return;
  control->setFocus(Qt::OtherFocusReason);
  if (auto* edit = qobject_cast<QLineEdit*>(control)) edit->selectAll();
  if (auto* plain = qobject_cast<QPlainTextEdit*>(control)) plain->selectAll();
}

void ExchangeText(CDataExchange& dx, int id, std::string& value, int maxBytes) {
  QWidget* control = dx.dialog().Control(id);
  if (dx.failed() || control == nullptr) return;
  if (!dx.saving()) {
    LimitTextBytes(control, maxBytes);
    SetWidgetBytes(control, value);
    return;
  }
  if (!CheckWritable(dx, control)) return;
  value = GetWidgetBytes(control);
  CheckLength(dx, control, value, maxBytes);
}

void ExchangeLines(CDataExchange& dx, int id, std::string& value, int maxBytes) {
  QWidget* control = dx.dialog().Control(id);
  if (dx.failed() || control == nullptr) return;
  if (!dx.saving()) {
    SetWidgetLines(control, value);
    return;
  }
  if (!CheckWritable(dx, control)) return;
  value = GetWidgetLines(control);
  CheckLength(dx, control, value, maxBytes);
}

void ExchangeInt(CDataExchange& dx, int id, int& value) {
  QWidget* control = dx.dialog().Control(id);
  if (dx.failed() || control == nullptr) return;
  if (!dx.saving()) {
    SetWidgetBytes(control, std::to_string(value));
    return;
  }
  int parsed = 0;
  if (!ParseWholeNumber(GetWidgetBytes(control), parsed)) {
    dx.Fail(control, QCoreApplication::translate("CDataExchange", kIntegerPrompt));
    return;
  }
  value = parsed;
}

void ExchangeCheck(CDataExchange& dx, int id, bool& value) {
  auto* box = qobject_cast<QCheckBox*>(dx.dialog().Control(id));
  if (dx.failed() || box == nullptr) return;
  if (dx.saving()) {
    value = box->isChecked();
  } else {
    box->setChecked(value);
  }
}

bool ParseWholeNumber(const std::string& text, int& value) {
  size_t begin = 0;
  size_t end = text.size();
  while (begin < end && IsBlank(text[begin])) ++begin;
  while (end > begin && IsBlank(text[end - 1])) --end;
  std::string digits = text.substr(begin, end - begin);
  size_t first = (!digits.empty() && (digits[0] == '+' || digits[0] == '-')) ? 1 : 0;
  if (first == digits.size()) return false;
  for (size_t i = first; i < digits.size(); ++i) {
    if (digits[i] < '0' || digits[i] > '9') return false;
  }
  errno = 0;
  long long parsed = std::strtoll(digits.c_str(), nullptr, 10);
  if (errno == ERANGE || parsed < std::numeric_limits<int>::min() ||
      parsed > std::numeric_limits<int>::max()) {
    return false;
  }
  value = static_cast<int>(parsed);
  return true;
}

void LimitTextBytes(QWidget* control, int maxBytes) {
  auto* edit = qobject_cast<QLineEdit*>(control);
  if (edit == nullptr) return;
  auto* current = dynamic_cast<const ByteLimitValidator*>(edit->validator());
  if (current != nullptr && current->maxBytes() == maxBytes) return;
  if (current == nullptr && maxBytes < 0) return;
  edit->setValidator(maxBytes < 0 ? nullptr : new ByteLimitValidator(edit, maxBytes));
  delete current;
}

}  // namespace toolkit
