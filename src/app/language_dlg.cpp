#include "app/language_dlg.h"

#include <QListWidget>
#include <QtGlobal>

using toolkit::ControlKind;
using toolkit::ControlTemplate;
using toolkit::UiLanguage;

namespace {

constexpr ControlTemplate kControls[] = {
    {CLanguageDlg::kLabel, QT_TRANSLATE_NOOP("CLanguageDlg", "표시 언어 :"), ControlKind::kStatic,
     5, 5, 115, 8},
    {CLanguageDlg::kList, nullptr, ControlKind::kListBox, 5, 15, 115, 30},
    {CLanguageDlg::kOk, QT_TRANSLATE_NOOP("CLanguageDlg", "확인"), ControlKind::kDefPushButton, 130,
     5, 50, 14, toolkit::kIsOk},
    {CLanguageDlg::kCancel, QT_TRANSLATE_NOOP("CLanguageDlg", "취소"), ControlKind::kPushButton,
     130, 25, 50, 14, toolkit::kIsCancel},
};

constexpr toolkit::DialogTemplate kTemplate{QT_TRANSLATE_NOOP("CLanguageDlg", "언어 · Language"),
                                            186, 50, kControls};

constexpr UiLanguage kListed[] = {UiLanguage::kEnglish, UiLanguage::kOriginal};

}  // namespace

CLanguageDlg::CLanguageDlg(toolkit::Prompts& prompts, QWidget* parent)
    : CDialog(kTemplate, prompts, parent) {}

CLanguageDlg::~CLanguageDlg() = default;

const toolkit::DialogTemplate& CLanguageDlg::Template() {
  return kTemplate;
}

QString CLanguageDlg::LanguageName(UiLanguage language) {
  return language == UiLanguage::kEnglish ? QStringLiteral("English")
                                          : QString::fromUtf8("한국어 · 中文 (original)");
}

QListWidget* CLanguageDlg::languageList() const {
  return ControlAs<QListWidget>(kList);
}

bool CLanguageDlg::OnInitDialog() {
  CDialog::OnInitDialog();
  QListWidget* list = languageList();
  for (UiLanguage listed : kListed) {
    list->addItem(LanguageName(listed));
    if (listed == language) list->setCurrentRow(list->count() - 1);
  }
  connect(list, &QListWidget::itemDoubleClicked, this, [this] { OnOK(); });
  list->setFocus(Qt::OtherFocusReason);
  return false;
}

void CLanguageDlg::OnOK() {
  const int row = languageList()->currentRow();
  if (row >= 0 && row < static_cast<int>(std::size(kListed))) language = kListed[row];
  EndDialog(toolkit::kIdOk);
}
