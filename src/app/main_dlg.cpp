#include "app/main_dlg.h"

#include <QCheckBox>
#include <QCoreApplication>
#include <QIcon>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QLocale>
#include <QPushButton>
#include <QShortcut>
#include <QtGlobal>
#include <cstdio>
#include <iterator>
#include <memory>

#include "app/language_dlg.h"
#include "app/language_setting.h"
#include "app/strings.h"
#include "dialogs/about_box.h"
#include "dlgfile/dlg_format.h"
#include "platform/file_read.h"
#include "platform/path.h"
#include "toolkit/code_page.h"
#include "toolkit/data_exchange.h"
#include "toolkit/icons.h"
#include "toolkit/prompts.h"
#include "toolkit/qt_translations.h"
#include "toolkit/text_bytes.h"
#include "toolkit/wait_cursor.h"

using toolkit::ControlKind;
using toolkit::ControlTemplate;

namespace {

constexpr ControlTemplate kControls[] = {
    {CMainDlg::kPlotsFrame, QT_TRANSLATE_NOOP("CMainDlg", "情节"), ControlKind::kGroupBox, 5, 5,
     160, 235},
    {CMainDlg::kPlotList, nullptr, ControlKind::kListBox, 10, 15, 150, 200},
    {CMainDlg::kAddPlot, QT_TRANSLATE_NOOP("CMainDlg", "추가"), ControlKind::kPushButton, 10, 220,
     45, 15},
    {CMainDlg::kEditPlot, QT_TRANSLATE_NOOP("CMainDlg", "편집"), ControlKind::kPushButton, 60, 220,
     45, 15},
    {CMainDlg::kDeletePlot, QT_TRANSLATE_NOOP("CMainDlg", "삭제"), ControlKind::kPushButton, 110,
     220, 50, 15},
    {CMainDlg::kGameName, nullptr, ControlKind::kEdit, 175, 10, 60, 14},
    {CMainDlg::kMultiLine, QT_TRANSLATE_NOOP("CMainDlg", "멀티라인 편집"), ControlKind::kCheckBox,
     175, 30, 60, 10},
    {CMainDlg::kNew, QT_TRANSLATE_NOOP("CMainDlg", "새 파일"), ControlKind::kPushButton, 175, 50,
     60, 15},
    {CMainDlg::kOpen, QT_TRANSLATE_NOOP("CMainDlg", "파일 불러오기"), ControlKind::kPushButton, 175,
     85, 60, 15},
    {CMainDlg::kSaveAs, QT_TRANSLATE_NOOP("CMainDlg", "새 이름으로..."), ControlKind::kPushButton,
     175, 105, 60, 15},
    {CMainDlg::kSave, QT_TRANSLATE_NOOP("CMainDlg", "파일 저장하기"), ControlKind::kPushButton, 175,
     125, 60, 15},
    {CMainDlg::kExport, QT_TRANSLATE_NOOP("CMainDlg", "내보내기"), ControlKind::kPushButton, 175,
     160, 60, 15},
    {CMainDlg::kImport, QT_TRANSLATE_NOOP("CMainDlg", "가져오기"), ControlKind::kPushButton, 175,
     180, 60, 15},
    {CMainDlg::kAbout, "?", ControlKind::kPushButton, 225, 200, 10, 14},
    {CMainDlg::kExit, QT_TRANSLATE_NOOP("CMainDlg", "종료"), ControlKind::kPushButton, 175, 220, 60,
     15, toolkit::kIsCancel},
    {CMainDlg::kVersionNumber, "0000", ControlKind::kStatic, 200, 200, 22, 8},
    {CMainDlg::kVersionLabel, QT_TRANSLATE_NOOP("CMainDlg", "버전 :"), ControlKind::kStatic, 175,
     200, 25, 8},
};

constexpr toolkit::DialogTemplate kTemplate{QT_TRANSLATE_NOOP("CMainDlg", "대사 편집기"), 240, 244,
                                            kControls};

// Whether `path` names a regular file that this process can open for reading.
bool FileOpensForReading(const std::string& path) {
  std::FILE* file = platform::OpenRegularFileForReading(path.c_str());
  if (file == nullptr) return false;
  std::fclose(file);
  return true;
}

std::string FormatVersion(int version) {
  char text[16];
  std::snprintf(text, sizeof(text), "%04d", version);
  return text;
}

}  // namespace

CMainDlg::CMainDlg(AppContext& context, QWidget* parent)
    : CDialog(kTemplate, context.prompts, parent),
      context_(context),
      icon_(std::make_unique<QIcon>(toolkit::MainIcon())) {
  setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                 Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint);
}

CMainDlg::~CMainDlg() = default;

const toolkit::DialogTemplate& CMainDlg::Template() {
  return kTemplate;
}

QListWidget* CMainDlg::plotList() const {
  return ControlAs<QListWidget>(kPlotList);
}

void CMainDlg::DoDataExchange(toolkit::CDataExchange& dx) {
  toolkit::ExchangeText(dx, kGameName, gameName_, kDlgGameNameMaxBytes);
  toolkit::ExchangeCheck(dx, kMultiLine, multiLine_);
  toolkit::ExchangeText(dx, kVersionNumber, versionText_);
}

void CMainDlg::ConnectControls() {
  auto button = [this](int id) { return ControlAs<QPushButton>(id); };
  connect(button(kAddPlot), &QPushButton::clicked, this, &CMainDlg::OnAddPlot);
  connect(button(kEditPlot), &QPushButton::clicked, this, &CMainDlg::OnEditPlot);
  connect(button(kDeletePlot), &QPushButton::clicked, this, &CMainDlg::OnDeletePlot);
  connect(button(kNew), &QPushButton::clicked, this, &CMainDlg::OnNew);
  connect(button(kOpen), &QPushButton::clicked, this, &CMainDlg::OnOpen);
  connect(button(kSaveAs), &QPushButton::clicked, this, &CMainDlg::OnSaveAs);
  connect(button(kSave), &QPushButton::clicked, this, &CMainDlg::OnSave);
  connect(button(kExport), &QPushButton::clicked, this, &CMainDlg::OnExport);
  connect(button(kImport), &QPushButton::clicked, this, &CMainDlg::OnImport);
  connect(button(kAbout), &QPushButton::clicked, this, &CMainDlg::OnAbout);
  connect(plotList(), &QListWidget::itemSelectionChanged, this, &CMainDlg::OnPlotSelChange);
  connect(plotList(), &QListWidget::itemDoubleClicked, this, &CMainDlg::OnPlotDblClk);
}

bool CMainDlg::OnInitDialog() {
  CDialog::OnInitDialog();
  ConnectControls();
  AppendSystemMenuSeparator();
  AppendSystemMenuItem(kAboutCommand, strings::kAboutItem);
  AppendSystemMenuItem(kFindCommand, strings::kFindItem);
  AppendSystemMenuItem(kStatsCommand, strings::kStatsItem);
  AppendSystemMenuItem(kLanguageCommand, strings::kLanguageItem);
  auto* find = new QShortcut(QKeySequence::Find, this);
  connect(find, &QShortcut::activated, this, &CMainDlg::OnFind);
  setWindowIcon(*icon_);
  context_.document.SetColumns(1, 1, 0);
  RefreshButtons();
  dialogueFolder_ = platform::CurrentDirectory();
  textFolder_ = dialogueFolder_;
  baseCaption_ = windowTitle();
  currentPath_.clear();
  SetModified(false);
  RefreshTitle();
  if (!context_.commandLine.empty() && LoadFile(context_.commandLine)) AnnounceDamage();
  return true;
}

void CMainDlg::SetGameName(const std::string& name) {
  gameName_ = name;
  toolkit::SetWidgetBytes(Control(kGameName), name);
}

void CMainDlg::TakeFieldsQuietly() {
  if (QWidget* field = Control(kGameName)) gameName_ = toolkit::GetWidgetBytes(field);
  if (auto* box = ControlAs<QCheckBox>(kMultiLine)) multiLine_ = box->isChecked();
}

void CMainDlg::RefreshTitle() {
  TakeFieldsQuietly();
  QString title = baseCaption_ + '[' + toolkit::ToQString(gameName_) + ']';
  const bool hasPath = !currentPath_.empty();
  if (hasPath) title += QStringLiteral(" - ") + toolkit::ToQString(currentPath_);
  if (modified_) title += QStringLiteral(" *");
  setWindowTitle(title);
  Control(kVersionLabel)->setVisible(hasPath);
  Control(kVersionNumber)->setVisible(hasPath);
  if (hasPath) versionText_ = FormatVersion(versionNumber_);
  UpdateData(false);
}

void CMainDlg::RefreshButtons() {
  const bool selected = !plotList()->selectedItems().isEmpty();
  Control(kEditPlot)->setEnabled(selected);
  Control(kDeletePlot)->setEnabled(selected);
}

bool CMainDlg::LoadFile(const std::string& path) {
  if (!FileOpensForReading(path)) {
    ShowLoadError(path);
    return false;
  }
  CDlgFile& document = context_.document;
  auto wait = std::make_unique<toolkit::WaitCursor>();
  document.Clear();
  if (!document.Load(path.c_str())) {
    wait.reset();
    ShowLoadError(path);
    ShowEmptyDocument();
    return false;
  }
  currentPath_ = path;
  gameName_ = document.GetGameName().c_str();
  multiLine_ = document.GetMultiLine() != 0;
  versionNumber_ = document.GetVersion();
  UpdateData(false);
  SetModified(false);
  RefreshTitle();
  FillPlotList();
  if (plotList()->count() > 0) plotList()->setCurrentRow(0);
  RefreshButtons();
  return true;
}

void CMainDlg::ShowLoadError(const std::string& path) {
  prompts().Message(this, Tr(strings::kLoadError).arg(toolkit::ToQString(path)));
}

void CMainDlg::ShowEmptyDocument() {
  currentPath_.clear();
  gameName_ = context_.document.GetGameName().c_str();
  multiLine_ = context_.document.GetMultiLine() != 0;
  UpdateData(false);
  plotList()->clear();
  SetModified(false);
  RefreshTitle();
  RefreshButtons();
}

void CMainDlg::FillPlotList() {
  QListWidget* list = plotList();
  // One layout pass for the whole list rather than one per entry.
  list->setUpdatesEnabled(false);
  list->clear();
  CDlgFile& document = context_.document;
  for (PlotPos pos = document.GetFirstPlot(); pos != nullptr;) {
    toolkit::AddListEntry(list, document.GetNextPlot(pos).GetName().c_str());
  }
  list->setUpdatesEnabled(true);
}

void CMainDlg::OnOK() {}

void CMainDlg::OnCancel() {
  if (!UpdateData(true)) return;
  const CDlgFile& document = context_.document;
  if (multiLine_ != (document.GetMultiLine() != 0) || document.GetGameName() != gameName_.c_str()) {
    SetModified(true);
    RefreshTitle();
  }
  if (modified_ &&
      !prompts().AskYesNo(this, Tr(strings::kQuitQuestion), Tr(strings::kQuitCaption))) {
    return;
  }
  EndDialog(toolkit::kIdCancel);
}

void CMainDlg::OnSysCommand(int command) {
  if (command == kAboutCommand) RunAboutBox(std::string(), std::string());
  if (command == kFindCommand) OnFind();
  if (command == kStatsCommand) OnStats();
  if (command == kLanguageCommand) OnLanguage();
}

void CMainDlg::OnLanguage() {
  CLanguageDlg dialog(prompts(), this);
  dialog.language = toolkit::CurrentUiLanguage();
  if (dialog.DoModal() != toolkit::kIdOk) return;
  app::SaveUiLanguage(dialog.language);
  if (dialog.language == toolkit::CurrentUiLanguage()) return;
  (void)toolkit::SetUiLanguage(*QCoreApplication::instance(), dialog.language, QLocale::system());
}

void CMainDlg::OnLanguageChange() {
  baseCaption_ = TranslatedCaption();
  RefreshTitle();
}

void CMainDlg::OnAbout() {
  RunAboutBox(currentPath_, dialogueFolder_);
}

void CMainDlg::RunAboutBox(const std::string& fileName, const std::string& folder) {
  CAboutBox box(context_.reader, prompts(), this);
  box.fileName = fileName;
  box.folder = folder;
  box.DoModal();
}

void CMainDlg::OnPlotSelChange() {
  RefreshButtons();
}

void CMainDlg::OnPlotDblClk() {
  OnEditPlot();
}
