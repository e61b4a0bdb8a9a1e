// Dialog templates: a dialog declares its controls as a table in dialog units and builds its
// widgets from it.
//
// Dialog units scale with the dialog font, as on the platform the layouts were drawn for: the
// horizontal base unit is the font's average character width, the vertical one its height, and
//   x_px = x * avgCharWidth / 4,   y_px = y * fontHeight / 8   (rounded to the nearest pixel).
// The same conversion gives the dialog's client size. Tab order is the order of the table.
#pragma once

#include <span>

class QFont;
class QString;
class QRect;
class QSize;
class QWidget;

namespace toolkit {

enum class ControlKind {
  kGroupBox,       // QGroupBox with the label as its title; takes no focus
  kListBox,        // QListWidget, single selection, entries in insertion order
  kPushButton,     // QPushButton
  kDefPushButton,  // QPushButton that is the dialog's default button
  kCheckBox,       // QCheckBox, automatic
  kEdit,           // QLineEdit, one line, scrolling horizontally
  kMultiLineEdit,  // QPlainTextEdit with a vertical scroll bar
  kStatic,         // QLabel, no mnemonic processing
  kIcon,           // QLabel with a 32 x 32 pixel icon (label: its resource path); w, h unused
  kReportList,     // QTreeWidget without tree decoration: columns, several rows selectable
  kComboBox,       // drop-down list (QComboBox, no edit part); entries stay in insertion order
};

// Style flags of a control.
enum ControlStyle : unsigned {
  kNoStyle = 0,
  kDisabled = 1u << 0,
  kHidden = 1u << 1,
  kReadOnly = 1u << 2,
  kIsOk = 1u << 3,      // the button issues the dialog's OK command
  kIsCancel = 1u << 4,  // the button issues the dialog's Cancel command
  // How a control follows a window that grows beyond its template size (by dx, dy pixels). A
  // dialog with any of these is resizable, from its template size up; one without is fixed.
  kMoveRight = 1u << 5,   // x + dx: keeps its distance to the right edge
  kMoveDown = 1u << 6,    // y + dy: keeps its distance to the bottom edge
  kGrowWidth = 1u << 7,   // w + dx
  kGrowHeight = 1u << 8,  // h + dy
};
inline constexpr unsigned kFollowMask = kMoveRight | kMoveDown | kGrowWidth | kGrowHeight;

struct ControlTemplate {
  int id;
  // UTF-8; nullptr or "" for none. Labels are source texts, marked for lupdate with
  // QT_TRANSLATE_NOOP(dialog class, text) and translated by the dialog where it shows them.
  const char* label;
  ControlKind kind;
  int x, y, w, h;  // dialog units
  unsigned style = kNoStyle;
};

struct DialogTemplate {
  const char* caption;  // UTF-8; a source text, as the labels
  int width, height;    // client area, dialog units
  std::span<const ControlTemplate> controls;
};

struct BaseUnits {
  int cx = 0;  // average character width, pixels
  int cy = 0;  // font height, pixels
};

// Base units of `font`: the average width of the 52 ASCII letters, rounded; the line height.
BaseUnits BaseUnitsOf(const QFont& font);

// A rectangle in dialog units converted to pixels.
QRect DialogUnitsToPixels(const BaseUnits& units, int x, int y, int w, int h);
QSize DialogSizeToPixels(const BaseUnits& units, int w, int h);

// The pixel rectangle a control of this row gets (icons are 32 x 32 pixels at x, y).
QRect ControlRect(const BaseUnits& units, const ControlTemplate& row);
// The same in a window grown by `dx`, `dy` pixels beyond its template size (see kMoveRight...).
QRect ControlRect(const BaseUnits& units, const ControlTemplate& row, int dx, int dy);

inline constexpr int kIconPixels = 32;

// Creates the widget of one row as a child of `parent`, with label, style and geometry.
QWidget* CreateControl(QWidget* parent, const BaseUnits& units, const ControlTemplate& row);

// Whether a control of this kind shows its label as a caption of its own (group box, button,
// check box, static text), which a translation replaces; an edit's label is its initial content.
bool HasCaptionLabel(ControlKind kind);
// The caption a control of such a kind shows, and setting it.
QString CaptionOf(const QWidget* widget);
void SetCaption(QWidget* widget, const QString& caption);

}  // namespace toolkit
