#include "dialogs/about_box.h"

#include <QPushButton>
#include <QtGlobal>

#include "dialogs/lookup_dlg.h"
#include "platform/path.h"
#include "toolkit/file_filter.h"
#include "toolkit/icons.h"
#include "toolkit/prompts.h"

using toolkit::ControlKind;
using toolkit::ControlTemplate;

namespace {

constexpr ControlTemplate kControls[] = {
    {CAboutBox::kIcon, toolkit::kAboutIconPath, ControlKind::kIcon, 11, 17, 0, 0},
    {CAboutBox::kVersion, QT_TRANSLATE_NOOP("CAboutBox", "Parlatrix 1.0 版"), ControlKind::kStatic,
     40, 10, 119, 8},
    {CAboutBox::kOwner, QT_TRANSLATE_NOOP("CAboutBox", "Parlatrix 개발자"), ControlKind::kStatic,
     40, 25, 119, 8},
    {CAboutBox::kDate, QT_TRANSLATE_NOOP("CAboutBox", "게임 대사 편집기 · Linux"),
     ControlKind::kStatic, 40, 39, 118, 8},
    {CAboutBox::kHistory1, QT_TRANSLATE_NOOP("CAboutBox", "V0011  2001年7月4日"),
     ControlKind::kStatic, 5, 60, 118, 8},
    {CAboutBox::kHistory2, QT_TRANSLATE_NOOP("CAboutBox", "V0012  2001年10月26日"),
     ControlKind::kStatic, 5, 70, 118, 8},
    {CAboutBox::kTest, "Test", ControlKind::kDefPushButton, 178, 7, 50, 14},
    {CAboutBox::kOk, "OK", ControlKind::kPushButton, 178, 33, 50, 14, toolkit::kIsOk},
};

constexpr toolkit::DialogTemplate kTemplate{QT_TRANSLATE_NOOP("CAboutBox", "关于 对话编辑器"), 236,
                                            86, kControls};

constexpr char kOpenTitle[] = QT_TRANSLATE_NOOP("CAboutBox", "대화 파일 열기");

}  // namespace

CAboutBox::CAboutBox(CDlgItemReader& reader, toolkit::Prompts& prompts, QWidget* parent)
    : CDialog(kTemplate, prompts, parent), reader_(reader) {}

CAboutBox::~CAboutBox() = default;

const toolkit::DialogTemplate& CAboutBox::Template() {
  return kTemplate;
}

bool CAboutBox::OnInitDialog() {
  CDialog::OnInitDialog();
  connect(ControlAs<QPushButton>(kTest), &QPushButton::clicked, this, &CAboutBox::OnTest);
  return true;
}

void CAboutBox::OnTest() {
  const toolkit::FileDialogRequest request = toolkit::OpenRequest(
      Tr(kOpenTitle).toStdString(), toolkit::kDialogFilesFilter, "dlg", fileName, folder);
  std::string path;
  if (!prompts().ChooseFile(this, request, path)) return;
  folder = platform::FolderOf(path);
  CLookupDlg lookup(reader_, prompts(), this);
  lookup.fileName = path;
  lookup.DoModal();
}
