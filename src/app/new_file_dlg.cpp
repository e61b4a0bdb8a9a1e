#include "app/new_file_dlg.h"

#include <QtGlobal>

#include "dlgfile/dlg_format.h"
#include "toolkit/data_exchange.h"

using toolkit::ControlKind;
using toolkit::ControlTemplate;

namespace {

constexpr ControlTemplate kControls[] = {
    {CNewFileDlg::kGameNameLabel, QT_TRANSLATE_NOOP("CNewFileDlg", "게임 이름 :"),
     ControlKind::kStatic, 5, 5, 41, 8},
    {CNewFileDlg::kGameName, nullptr, ControlKind::kEdit, 50, 5, 60, 14},
    {CNewFileDlg::kSpeaker, QT_TRANSLATE_NOOP("CNewFileDlg", "두상"), ControlKind::kCheckBox, 5, 25,
     32, 10},
    {CNewFileDlg::kExpression, QT_TRANSLATE_NOOP("CNewFileDlg", "표정"), ControlKind::kCheckBox, 5,
     45, 32, 10},
    {CNewFileDlg::kSound, QT_TRANSLATE_NOOP("CNewFileDlg", "소리 파일"), ControlKind::kCheckBox, 5,
     65, 48, 10},
    {CNewFileDlg::kOk, QT_TRANSLATE_NOOP("CNewFileDlg", "확인"), ControlKind::kDefPushButton, 60,
     40, 50, 15, toolkit::kIsOk},
    {CNewFileDlg::kCancel, QT_TRANSLATE_NOOP("CNewFileDlg", "취소"), ControlKind::kPushButton, 60,
     60, 50, 15, toolkit::kIsCancel},
};

constexpr toolkit::DialogTemplate kTemplate{QT_TRANSLATE_NOOP("CNewFileDlg", "새 파일 형식"), 118,
                                            84, kControls};

}  // namespace

CNewFileDlg::CNewFileDlg(toolkit::Prompts& prompts, QWidget* parent)
    : CDialog(kTemplate, prompts, parent) {}

CNewFileDlg::~CNewFileDlg() = default;

const toolkit::DialogTemplate& CNewFileDlg::Template() {
  return kTemplate;
}

void CNewFileDlg::DoDataExchange(toolkit::CDataExchange& dx) {
  toolkit::ExchangeCheck(dx, kExpression, expression);
  toolkit::ExchangeCheck(dx, kSpeaker, speaker);
  toolkit::ExchangeCheck(dx, kSound, sound);
  toolkit::ExchangeText(dx, kGameName, gameName, kDlgGameNameMaxBytes);
}
