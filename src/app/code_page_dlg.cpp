#include "app/code_page_dlg.h"

#include <QCoreApplication>

#include "toolkit/code_page.h"
#include "toolkit/data_exchange.h"
#include "toolkit/prompts.h"

using toolkit::ControlKind;
using toolkit::ControlTemplate;

namespace {

constexpr ControlTemplate kControls[] = {
    {CCodePageDlg::kLabel,
     QT_TRANSLATE_NOOP("CCodePageDlg", "코드 페이지 (CP949, GBK, UTF-8...) :"),
     ControlKind::kStatic, 5, 5, 120, 8},
    {CCodePageDlg::kCodeset, nullptr, ControlKind::kEdit, 5, 15, 115, 14},
    {CCodePageDlg::kOk, "OK", ControlKind::kDefPushButton, 130, 5, 50, 14, toolkit::kIsOk},
    {CCodePageDlg::kCancel, "Cancel", ControlKind::kPushButton, 130, 25, 50, 14,
     toolkit::kIsCancel},
};

constexpr toolkit::DialogTemplate kTemplate{QT_TRANSLATE_NOOP("CCodePageDlg", "코드 페이지"), 186,
                                            50, kControls};

// %1: the name typed.
constexpr char kUnknownCodeset[] = QT_TRANSLATE_NOOP("CCodePageDlg", "未知的代码页(%1)！");

}  // namespace

CCodePageDlg::CCodePageDlg(toolkit::Prompts& prompts, QWidget* parent)
    : CDialog(kTemplate, prompts, parent) {}

CCodePageDlg::~CCodePageDlg() = default;

const toolkit::DialogTemplate& CCodePageDlg::Template() {
  return kTemplate;
}

void CCodePageDlg::DoDataExchange(toolkit::CDataExchange& dx) {
  toolkit::ExchangeText(dx, kCodeset, codeset);
}

void CCodePageDlg::OnOK() {
  if (!UpdateData(true)) return;
  if (!toolkit::IsKnownCodeset(codeset)) {
    prompts().Message(this, tr(kUnknownCodeset).arg(QString::fromStdString(codeset)));
    Control(kCodeset)->setFocus(Qt::OtherFocusReason);
    return;
  }
  EndDialog(toolkit::kIdOk);
}
