// Widget texts that stand for byte strings of the document.
//
// A text shown through these helpers remembers the bytes it came from. Reading it back returns
// those very bytes while the widget still shows what was put there, so bytes that the code page
// cannot decode (shown as U+FFFD) survive a show-and-read cycle; once the user has edited the text,
// the edited text is encoded afresh.
//
// Supported widgets: QLineEdit, QLabel, QPlainTextEdit, QAbstractButton, QGroupBox. Items of list,
// tree and combo widgets carry their bytes in the data role kBytesRole.
#pragma once

#include <Qt>
#include <string>

class QComboBox;
class QListWidget;
class QListWidgetItem;
class QString;
class QTreeWidgetItem;
class QVariant;
class QWidget;

namespace toolkit {

inline constexpr int kBytesRole = Qt::UserRole + 0x5042;  // 'PB'

void SetWidgetBytes(QWidget* widget, const std::string& bytes);
std::string GetWidgetBytes(const QWidget* widget);

// For multi-line texts: CR LF pairs in the bytes are line breaks in the widget and back.
void SetWidgetLines(QWidget* widget, const std::string& bytes);
std::string GetWidgetLines(const QWidget* widget);

// The characters of the widget's text that the code page cannot write (see
// CodePage::Unencodable); empty while the widget still shows the bytes it was given, which are
// handed back unchanged.
QString UnwritableIn(const QWidget* widget);

// The widget's plain text as it shows it (QLineEdit, QLabel, QPlainTextEdit, buttons, group boxes).
QString WidgetText(const QWidget* widget);

// List box entries that stand for byte strings (plot names).
QListWidgetItem* AddListEntry(QListWidget* list, const std::string& bytes);
void SetListEntryBytes(QListWidgetItem* item, const std::string& bytes);
std::string ListEntryBytes(const QListWidgetItem* item);

// Cells of a report list.
void SetCellBytes(QTreeWidgetItem* item, int column, const std::string& bytes);
std::string CellBytes(const QTreeWidgetItem* item, int column);

// Entries of a drop-down list.
void AddComboEntry(QComboBox* combo, const std::string& bytes);
std::string ComboEntryBytes(const QComboBox* combo, int index);

// Index of the first entry, in list order, that begins with `prefix`, letters compared without
// regard to case; -1 when none does or `prefix` is empty.
int FindComboPrefix(const QComboBox* combo, const std::string& prefix);

}  // namespace toolkit
