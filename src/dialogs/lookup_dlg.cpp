#include "dialogs/lookup_dlg.h"

#include <QPushButton>
#include <QtGlobal>

#include "toolkit/data_exchange.h"
#include "toolkit/prompts.h"

using toolkit::ControlKind;
using toolkit::ControlTemplate;

namespace {

constexpr ControlTemplate kControls[] = {
    {CLookupDlg::kIdLabel, "ID:", ControlKind::kStatic, 7, 7, 10, 8},
    {CLookupDlg::kIdField, nullptr, ControlKind::kEdit, 24, 7, 40, 14},
    {CLookupDlg::kSpeaker, nullptr, ControlKind::kEdit, 7, 27, 40, 14, toolkit::kDisabled},
    {CLookupDlg::kExpression, nullptr, ControlKind::kEdit, 50, 27, 40, 14, toolkit::kDisabled},
    {CLookupDlg::kSound, nullptr, ControlKind::kEdit, 100, 27, 80, 14, toolkit::kDisabled},
    {CLookupDlg::kText, nullptr, ControlKind::kEdit, 7, 51, 173, 14, toolkit::kDisabled},
    {CLookupDlg::kQuery, QT_TRANSLATE_NOOP("CLookupDlg", "조회"), ControlKind::kDefPushButton, 128,
     7, 20, 14},
    {CLookupDlg::kClose, QT_TRANSLATE_NOOP("CLookupDlg", "닫기"), ControlKind::kPushButton, 160, 7,
     20, 14, toolkit::kIsCancel},
};

constexpr toolkit::DialogTemplate kTemplate{"Test", 186, 72, kControls};

constexpr char kNotFound[] =
    QT_TRANSLATE_NOOP("CLookupDlg", "没有找到该ID所代表的文字，查找失败！");

}  // namespace

CLookupDlg::CLookupDlg(CDlgItemReader& reader, toolkit::Prompts& prompts, QWidget* parent)
    : CDialog(kTemplate, prompts, parent), reader_(reader) {}

CLookupDlg::~CLookupDlg() = default;

const toolkit::DialogTemplate& CLookupDlg::Template() {
  return kTemplate;
}

void CLookupDlg::DoDataExchange(toolkit::CDataExchange& dx) {
  toolkit::ExchangeInt(dx, kIdField, id);
  toolkit::ExchangeText(dx, kText, text);
  toolkit::ExchangeText(dx, kSound, sound);
  toolkit::ExchangeText(dx, kExpression, expression);
  toolkit::ExchangeText(dx, kSpeaker, speaker);
}

bool CLookupDlg::OnInitDialog() {
  CDialog::OnInitDialog();
  connect(ControlAs<QPushButton>(kQuery), &QPushButton::clicked, this, &CLookupDlg::OnQuery);
  reader_.SetFileName(fileName.c_str());
  return true;
}

void CLookupDlg::OnQuery() {
  if (!UpdateData(true)) return;
  CDlgItemReader& reader = reader_;
  const bool found = reader.GetItemFields(id, text, sound, speaker, expression);
  text = reader.GetItemTextOrEmpty(id);
  if (!found) prompts().Message(this, Tr(kNotFound));
  UpdateData(false);
}
