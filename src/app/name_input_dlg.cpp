#include "app/name_input_dlg.h"

#include <QtGlobal>

#include "dlgfile/dlg_format.h"
#include "toolkit/data_exchange.h"

using toolkit::ControlKind;
using toolkit::ControlTemplate;

namespace {

constexpr ControlTemplate kControls[] = {
    {CNameInputDlg::kNameLabel, QT_TRANSLATE_NOOP("CNameInputDlg", "이름 입력 :"),
     ControlKind::kStatic, 5, 5, 49, 8},
    {CNameInputDlg::kName, nullptr, ControlKind::kEdit, 5, 15, 115, 14},
    {CNameInputDlg::kOk, "OK", ControlKind::kDefPushButton, 130, 5, 50, 14, toolkit::kIsOk},
    {CNameInputDlg::kCancel, "Cancel", ControlKind::kPushButton, 130, 25, 50, 14,
     toolkit::kIsCancel},
};

constexpr toolkit::DialogTemplate kTemplate{QT_TRANSLATE_NOOP("CNameInputDlg", "이름 입력"), 186,
                                            50, kControls};

}  // namespace

CNameInputDlg::CNameInputDlg(toolkit::Prompts& prompts, QWidget* parent)
    : CDialog(kTemplate, prompts, parent) {}

CNameInputDlg::~CNameInputDlg() = default;

const toolkit::DialogTemplate& CNameInputDlg::Template() {
  return kTemplate;
}

void CNameInputDlg::DoDataExchange(toolkit::CDataExchange& dx) {
  toolkit::ExchangeText(dx, kName, name, kDlgPlotNameMaxBytes);
}
