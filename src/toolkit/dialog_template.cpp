#include "toolkit/dialog_template.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFontMetrics>
#include <QGroupBox>
#include <QHeaderView>
#include <QIcon>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPixmap>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRect>
#include <QTreeWidget>

#include "toolkit/icons.h"

namespace toolkit {
namespace {

// a * b / c rounded half away from zero, for the non-negative values of dialog layouts.
int MulDiv(int a, int b, int c) {
  long long product = static_cast<long long>(a) * b;
  return static_cast<int>(product >= 0 ? (product + c / 2) / c : (product - c / 2) / c);
}

QString Label(const ControlTemplate& row) {
  return row.label == nullptr ? QString() : QString::fromUtf8(row.label);
}

QWidget* CreateWidget(QWidget* parent, const ControlTemplate& row) {
  switch (row.kind) {
    case ControlKind::kGroupBox: {
      auto* box = new QGroupBox(Label(row), parent);
      box->setFocusPolicy(Qt::NoFocus);
      return box;
    }
    case ControlKind::kListBox: {
      auto* list = new QListWidget(parent);
      list->setSelectionMode(QAbstractItemView::SingleSelection);
      list->setSortingEnabled(false);
      return list;
    }
    case ControlKind::kPushButton:
    case ControlKind::kDefPushButton: {
      auto* button = new QPushButton(Label(row), parent);
      // Qt's auto-default would make the first button the default when the dialog is shown; the
      // dialog handles Enter itself (see CDialog::keyPressEvent).
      button->setAutoDefault(false);
      button->setDefault(row.kind == ControlKind::kDefPushButton);
      return button;
    }
    case ControlKind::kCheckBox:
      return new QCheckBox(Label(row), parent);
    case ControlKind::kEdit: {
      auto* edit = new QLineEdit(Label(row), parent);
      edit->setReadOnly((row.style & kReadOnly) != 0);
      return edit;
    }
    case ControlKind::kMultiLineEdit: {
      auto* edit = new QPlainTextEdit(Label(row), parent);
      edit->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
      edit->setReadOnly((row.style & kReadOnly) != 0);
      return edit;
    }
    case ControlKind::kStatic: {
      auto* label = new QLabel(Label(row), parent);
      label->setTextFormat(Qt::PlainText);
      label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
      return label;
    }
    case ControlKind::kIcon: {
      auto* label = new QLabel(parent);
      if (row.label != nullptr && row.label[0] != '\0') {
        label->setPixmap(ResourceIcon(row.label).pixmap(kIconPixels, kIconPixels));
      }
      return label;
    }
    case ControlKind::kReportList: {
      auto* tree = new QTreeWidget(parent);
      tree->setRootIsDecorated(false);
      tree->setItemsExpandable(false);
      tree->setUniformRowHeights(true);
      tree->setSelectionMode(QAbstractItemView::ExtendedSelection);
      tree->setSelectionBehavior(QAbstractItemView::SelectRows);
      tree->setColumnCount(0);
      tree->header()->setStretchLastSection(false);
      return tree;
    }
    case ControlKind::kComboBox: {
      // A drop-down list: what it shows is always one of its entries. Typing selects the first
      // entry beginning with the letters typed.
      auto* combo = new QComboBox(parent);
      combo->setEditable(false);
      return combo;
    }
  }
  return new QWidget(parent);
}

}  // namespace

BaseUnits BaseUnitsOf(const QFont& font) {
  QFontMetrics metrics(font);
  int letters = metrics.horizontalAdvance(
      QStringLiteral("abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ"));
  return BaseUnits{(letters / 26 + 1) / 2, metrics.height()};
}

QRect DialogUnitsToPixels(const BaseUnits& units, int x, int y, int w, int h) {
  return QRect(MulDiv(x, units.cx, 4), MulDiv(y, units.cy, 8), MulDiv(w, units.cx, 4),
               MulDiv(h, units.cy, 8));
}

QSize DialogSizeToPixels(const BaseUnits& units, int w, int h) {
  return QSize(MulDiv(w, units.cx, 4), MulDiv(h, units.cy, 8));
}

QRect ControlRect(const BaseUnits& units, const ControlTemplate& row) {
  QRect rect = DialogUnitsToPixels(units, row.x, row.y, row.w, row.h);
  if (row.kind == ControlKind::kIcon) rect.setSize(QSize(kIconPixels, kIconPixels));
  return rect;
}

QRect ControlRect(const BaseUnits& units, const ControlTemplate& row, int dx, int dy) {
  QRect rect = ControlRect(units, row);
  if ((row.style & kMoveRight) != 0) rect.translate(dx, 0);
  if ((row.style & kMoveDown) != 0) rect.translate(0, dy);
  if ((row.style & kGrowWidth) != 0) rect.setWidth(rect.width() + dx);
  if ((row.style & kGrowHeight) != 0) rect.setHeight(rect.height() + dy);
  return rect;
}

QWidget* CreateControl(QWidget* parent, const BaseUnits& units, const ControlTemplate& row) {
  QWidget* widget = CreateWidget(parent, row);
  widget->setGeometry(ControlRect(units, row));
  widget->setEnabled((row.style & kDisabled) == 0);
  if ((row.style & kHidden) != 0) widget->hide();
  return widget;
}

bool HasCaptionLabel(ControlKind kind) {
  switch (kind) {
    case ControlKind::kGroupBox:
    case ControlKind::kPushButton:
    case ControlKind::kDefPushButton:
    case ControlKind::kCheckBox:
    case ControlKind::kStatic:
      return true;
    default:
      return false;
  }
}

QString CaptionOf(const QWidget* widget) {
  if (const auto* box = qobject_cast<const QGroupBox*>(widget)) return box->title();
  if (const auto* button = qobject_cast<const QAbstractButton*>(widget)) return button->text();
  if (const auto* label = qobject_cast<const QLabel*>(widget)) return label->text();
  return QString();
}

void SetCaption(QWidget* widget, const QString& caption) {
  if (auto* box = qobject_cast<QGroupBox*>(widget)) {
    box->setTitle(caption);
  } else if (auto* button = qobject_cast<QAbstractButton*>(widget)) {
    button->setText(caption);
  } else if (auto* label = qobject_cast<QLabel*>(widget)) {
    label->setText(caption);
  }
}

}  // namespace toolkit
