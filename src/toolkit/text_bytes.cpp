#include "toolkit/text_bytes.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QTreeWidgetItem>
#include <QValidator>

#include "platform/line_breaks.h"
#include "toolkit/code_page.h"

namespace toolkit {
namespace {

// Dynamic properties that pair the shown text with the bytes it was decoded from.
constexpr char kBytesProperty[] = "parlatrixBytes";
constexpr char kShownProperty[] = "parlatrixShown";

void SetWidgetText(QWidget* widget, const QString& text) {
  if (auto* edit = qobject_cast<QLineEdit*>(widget)) {
    // A typing limit applies to the user, not to the program: a text set here stays whole.
    const QValidator* validator = edit->validator();
    edit->setValidator(nullptr);
    edit->setText(text);
    edit->setValidator(validator);
  } else if (auto* label = qobject_cast<QLabel*>(widget)) {
    label->setText(text);
  } else if (auto* plain = qobject_cast<QPlainTextEdit*>(widget)) {
    plain->setPlainText(text);
  } else if (auto* button = qobject_cast<QAbstractButton*>(widget)) {
    button->setText(text);
  } else if (auto* group = qobject_cast<QGroupBox*>(widget)) {
    group->setTitle(text);
  }
}

void Remember(QWidget* widget, const std::string& bytes) {
  widget->setProperty(kBytesProperty,
                      QByteArray(bytes.data(), static_cast<qsizetype>(bytes.size())));
  widget->setProperty(kShownProperty, WidgetText(widget));
}

// The remembered bytes if the widget still shows what they were shown as.
bool Recall(const QWidget* widget, std::string& bytes) {
  QVariant shown = widget->property(kShownProperty);
  if (!shown.isValid() || shown.toString() != WidgetText(widget)) return false;
  QByteArray stored = widget->property(kBytesProperty).toByteArray();
  bytes.assign(stored.constData(), stored.size());
  return true;
}

std::string ToLines(std::string bytes) {
  return platform::ReplaceCrLf(bytes, "\n");
}

std::string FromLines(const std::string& bytes) {
  return platform::LfToCrLf(bytes);
}

std::string ItemBytes(const QVariant& stored, const QString& shown) {
  if (stored.isValid()) {
    QByteArray bytes = stored.toByteArray();
    std::string result(bytes.constData(), bytes.size());
    if (ToQString(result) == shown) return result;
  }
  return FromQString(shown);
}

QByteArray AsByteArray(const std::string& bytes) {
  return QByteArray(bytes.data(), static_cast<qsizetype>(bytes.size()));
}

}  // namespace

QString WidgetText(const QWidget* widget) {
  if (auto* edit = qobject_cast<const QLineEdit*>(widget)) return edit->text();
  if (auto* label = qobject_cast<const QLabel*>(widget)) return label->text();
  if (auto* plain = qobject_cast<const QPlainTextEdit*>(widget)) return plain->toPlainText();
  if (auto* button = qobject_cast<const QAbstractButton*>(widget)) return button->text();
  if (auto* group = qobject_cast<const QGroupBox*>(widget)) return group->title();
  return QString();
}

void SetWidgetBytes(QWidget* widget, const std::string& bytes) {
  SetWidgetText(widget, ToQString(bytes));
  Remember(widget, bytes);
}

std::string GetWidgetBytes(const QWidget* widget) {
  std::string bytes;
  if (Recall(widget, bytes)) return bytes;
  return FromQString(WidgetText(widget));
}

QString UnwritableIn(const QWidget* widget) {
  std::string bytes;
  if (widget == nullptr || Recall(widget, bytes)) return QString();
  return Unencodable(WidgetText(widget));
}

void SetWidgetLines(QWidget* widget, const std::string& bytes) {
  SetWidgetText(widget, ToQString(ToLines(bytes)));
  Remember(widget, bytes);
}

std::string GetWidgetLines(const QWidget* widget) {
  std::string bytes;
  if (Recall(widget, bytes)) return bytes;
  return FromLines(FromQString(WidgetText(widget)));
}

QListWidgetItem* AddListEntry(QListWidget* list, const std::string& bytes) {
  auto* item = new QListWidgetItem(list);
  SetListEntryBytes(item, bytes);
  return item;
}

void SetListEntryBytes(QListWidgetItem* item, const std::string& bytes) {
  item->setText(ToQString(bytes));
  item->setData(kBytesRole, AsByteArray(bytes));
}

std::string ListEntryBytes(const QListWidgetItem* item) {
  return ItemBytes(item->data(kBytesRole), item->text());
}

void SetCellBytes(QTreeWidgetItem* item, int column, const std::string& bytes) {
  item->setText(column, ToQString(bytes));
  item->setData(column, kBytesRole, AsByteArray(bytes));
}

std::string CellBytes(const QTreeWidgetItem* item, int column) {
  return ItemBytes(item->data(column, kBytesRole), item->text(column));
}

void AddComboEntry(QComboBox* combo, const std::string& bytes) {
  combo->addItem(ToQString(bytes));
  combo->setItemData(combo->count() - 1, AsByteArray(bytes), kBytesRole);
}

std::string ComboEntryBytes(const QComboBox* combo, int index) {
  if (index < 0 || index >= combo->count()) return std::string();
  return ItemBytes(combo->itemData(index, kBytesRole), combo->itemText(index));
}

int FindComboPrefix(const QComboBox* combo, const std::string& prefix) {
  if (prefix.empty()) return -1;
  const QString wanted = ToQString(prefix);
  for (int i = 0; i < combo->count(); ++i) {
    if (combo->itemText(i).startsWith(wanted, Qt::CaseInsensitive)) return i;
  }
  return -1;
}

}  // namespace toolkit
