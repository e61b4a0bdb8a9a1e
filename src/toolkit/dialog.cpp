#include "toolkit/dialog.h"

#include <QContextMenuEvent>
#include <QCoreApplication>
#include <QEvent>
#include <QKeyEvent>
#include <QMenu>
#include <QPushButton>
#include <QResizeEvent>
#include <algorithm>

#include "toolkit/data_exchange.h"

namespace toolkit {

CDialog::CDialog(const DialogTemplate& dialogTemplate, Prompts& prompts, QWidget* parent)
    : QDialog(parent), template_(dialogTemplate), prompts_(prompts) {
  shownCaption_ = QString::fromUtf8(template_.caption);
  setWindowTitle(shownCaption_);
}

CDialog::~CDialog() = default;

void CDialog::BuildControls() {
  if (built_) return;
  built_ = true;
  units_ = BaseUnitsOf(font());
  const QSize size = DialogSizeToPixels(units_, template_.width, template_.height);
  bool follows = false;
  for (const ControlTemplate& row : template_.controls) follows |= (row.style & kFollowMask) != 0;
  if (follows) {
    // Opens at its template size, which is also the smallest: the layout was drawn for it.
    setMinimumSize(size);
    resize(size);
    setSizeGripEnabled(true);
  } else {
    setFixedSize(size);
  }
  QWidget* previous = nullptr;
  for (const ControlTemplate& row : template_.controls) {
    QWidget* widget = CreateControl(this, units_, row);
    controls_[row.id] = widget;
    if (HasCaptionLabel(row.kind) && row.label != nullptr && row.label[0] != '\0') {
      shownLabels_[row.id] = Tr(row.label);
      SetCaption(widget, shownLabels_[row.id]);
    }
    // Children created after their window was shown stay hidden unless shown themselves.
    if (isVisible() && (row.style & kHidden) == 0) widget->show();
    if (auto* button = qobject_cast<QPushButton*>(widget)) {
      if ((row.style & kIsOk) != 0) connect(button, &QPushButton::clicked, this, &CDialog::OnOK);
      if ((row.style & kIsCancel) != 0) {
        connect(button, &QPushButton::clicked, this, &CDialog::OnCancel);
      }
    }
    if (widget->focusPolicy() == Qt::NoFocus) continue;
    if (previous != nullptr) setTabOrder(previous, widget);
    previous = widget;
  }
  Retranslate();
}

QString CDialog::Tr(const char* source) const {
  if (source == nullptr || source[0] == '\0') return QString();
  const QString text = QString::fromUtf8(source);
  for (const QMetaObject* meta = metaObject(); meta != nullptr; meta = meta->superClass()) {
    QString translated = QCoreApplication::translate(meta->className(), source);
    if (translated != text) return translated;
  }
  return text;
}

void CDialog::Retranslate() {
  if (windowTitle() == shownCaption_) {
    shownCaption_ = TranslatedCaption();
    setWindowTitle(shownCaption_);
  }
  for (const ControlTemplate& row : template_.controls) {
    auto shown = shownLabels_.find(row.id);
    if (shown == shownLabels_.end()) continue;
    QWidget* widget = controls_[row.id];
    if (CaptionOf(widget) != shown->second) continue;
    shown->second = Tr(row.label);
    SetCaption(widget, shown->second);
  }
}

void CDialog::changeEvent(QEvent* event) {
  if (event->type() == QEvent::LanguageChange && built_) {
    Retranslate();
    if (initialized_) OnLanguageChange();
  }
  QDialog::changeEvent(event);
}

void CDialog::OnLanguageChange() {}

bool CDialog::InitDialog() {
  BuildControls();
  if (!initialized_) {
    initialized_ = true;
    if (OnInitDialog()) SetDefaultFocus();
  }
  return !ended_;
}

void CDialog::SetDefaultFocus() {
  for (const ControlTemplate& row : template_.controls) {
    QWidget* widget = controls_[row.id];
    if (widget->focusPolicy() != Qt::NoFocus && widget->isEnabled() && !widget->isHidden()) {
      widget->setFocus(Qt::OtherFocusReason);
      return;
    }
  }
}

int CDialog::DoModal() {
  if (!InitDialog()) return result();
  return exec();
}

void CDialog::EndDialog(int result) {
  ended_ = true;
  done(result);
}

bool CDialog::UpdateData(bool saveAndValidate) {
  BuildControls();
  CDataExchange dx(*this, saveAndValidate);
  DoDataExchange(dx);
  return !dx.failed();
}

QWidget* CDialog::Control(int id) const {
  auto it = controls_.find(id);
  return it == controls_.end() ? nullptr : it->second;
}

void CDialog::AppendSystemMenuSeparator() {
  menu_.push_back({0, QString()});
}

void CDialog::AppendSystemMenuItem(int command, const QString& label) {
  menu_.push_back({command, label});
}

void CDialog::AppendSystemMenuItem(int command, const char* source) {
  menu_.push_back({command, QString::fromUtf8(source), source});
}

QMenu* CDialog::CreateSystemMenu(QWidget* parent) {
  auto* menu = new QMenu(parent);
  for (const MenuItem& item : menu_) {
    if (item.command == 0) {
      menu->addSeparator();
      continue;
    }
    int command = item.command;
    const QString label = item.source != nullptr ? Tr(item.source) : item.label;
    connect(menu->addAction(label), &QAction::triggered, this,
            [this, command] { OnSysCommand(command); });
  }
  return menu;
}

void CDialog::DoDataExchange(CDataExchange&) {}

bool CDialog::OnInitDialog() {
  UpdateData(false);
  return true;
}

void CDialog::OnOK() {
  if (UpdateData(true)) EndDialog(kIdOk);
}

void CDialog::OnCancel() {
  EndDialog(kIdCancel);
}

void CDialog::OnSysCommand(int) {}

void CDialog::accept() {
  OnOK();
}

void CDialog::reject() {
  OnCancel();
}

void CDialog::keyPressEvent(QKeyEvent* event) {
  const bool plain = event->modifiers() == Qt::NoModifier ||
                     (event->modifiers() == Qt::KeypadModifier && event->key() == Qt::Key_Enter);
  if (plain && (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter)) {
    PressEnter();
    return;
  }
  QDialog::keyPressEvent(event);
}

void CDialog::PressEnter() {
  auto* focused = qobject_cast<QPushButton*>(focusWidget());
  if (focused != nullptr && focused->window() == this) {
    if (focused->isEnabled()) focused->click();
    return;
  }
  for (QPushButton* button : findChildren<QPushButton*>()) {
    if (button->window() == this && button->isDefault() && !button->isHidden()) {
      if (button->isEnabled()) button->click();
      return;
    }
  }
  OnOK();
}

void CDialog::resizeEvent(QResizeEvent* event) {
  QDialog::resizeEvent(event);
  if (!built_) return;
  const QSize base = DialogSizeToPixels(units_, template_.width, template_.height);
  const int dx = std::max(0, width() - base.width());
  const int dy = std::max(0, height() - base.height());
  for (const ControlTemplate& row : template_.controls) {
    if ((row.style & kFollowMask) == 0) continue;
    if (QWidget* widget = Control(row.id)) widget->setGeometry(ControlRect(units_, row, dx, dy));
  }
}

void CDialog::contextMenuEvent(QContextMenuEvent* event) {
  if (menu_.empty()) {
    QDialog::contextMenuEvent(event);
    return;
  }
  QMenu* menu = CreateSystemMenu(this);
  menu->exec(event->globalPos());
  delete menu;
}

}  // namespace toolkit
