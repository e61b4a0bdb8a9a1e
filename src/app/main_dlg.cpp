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
#include <QUndoStack>
#include <QtGlobal>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <iterator>
#include <memory>
#include <utility>

#include "app/file_code_pages.h"
#include "app/language_dlg.h"
#include "app/language_setting.h"
#include "app/main_undo.h"
#include "app/strings.h"
#include "dialogs/about_box.h"
#include "dlgfile/dlg_format.h"
#include "exchange/codeset_probe.h"
#include "platform/file_read.h"
#include "platform/path.h"
#include "platform/status.h"
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

// The window opens at its template size and can grow: the plot list takes the room, the buttons
// below it keep to its bottom and the right-hand column keeps to the right edge.
constexpr unsigned kRight = toolkit::kMoveRight;
constexpr unsigned kGrow = toolkit::kGrowWidth | toolkit::kGrowHeight;

constexpr ControlTemplate kControls[] = {
    {CMainDlg::kPlotsFrame, QT_TRANSLATE_NOOP("CMainDlg", "情节"), ControlKind::kGroupBox, 5, 5,
     160, 235, kGrow},
    {CMainDlg::kPlotList, nullptr, ControlKind::kListBox, 10, 15, 150, 186, kGrow},
    {CMainDlg::kPlotFilter, nullptr, ControlKind::kEdit, 10, 203, 150, 13,
     toolkit::kMoveDown | toolkit::kGrowWidth},
    {CMainDlg::kAddPlot, QT_TRANSLATE_NOOP("CMainDlg", "추가"), ControlKind::kPushButton, 10, 220,
     45, 15, toolkit::kMoveDown},
    {CMainDlg::kEditPlot, QT_TRANSLATE_NOOP("CMainDlg", "편집"), ControlKind::kPushButton, 60, 220,
     45, 15, toolkit::kMoveDown},
    {CMainDlg::kDeletePlot, QT_TRANSLATE_NOOP("CMainDlg", "삭제"), ControlKind::kPushButton, 110,
     220, 50, 15, toolkit::kMoveDown},
    {CMainDlg::kGameName, nullptr, ControlKind::kEdit, 175, 10, 60, 14, kRight},
    {CMainDlg::kMultiLine, QT_TRANSLATE_NOOP("CMainDlg", "멀티라인 편집"), ControlKind::kCheckBox,
     175, 30, 60, 10, kRight},
    {CMainDlg::kNew, QT_TRANSLATE_NOOP("CMainDlg", "새 파일"), ControlKind::kPushButton, 175, 50,
     60, 15, kRight},
    {CMainDlg::kOpen, QT_TRANSLATE_NOOP("CMainDlg", "파일 불러오기"), ControlKind::kPushButton, 175,
     85, 60, 15, kRight},
    {CMainDlg::kSaveAs, QT_TRANSLATE_NOOP("CMainDlg", "새 이름으로..."), ControlKind::kPushButton,
     175, 105, 60, 15, kRight},
    {CMainDlg::kSave, QT_TRANSLATE_NOOP("CMainDlg", "파일 저장하기"), ControlKind::kPushButton, 175,
     125, 60, 15, kRight},
    {CMainDlg::kExport, QT_TRANSLATE_NOOP("CMainDlg", "내보내기"), ControlKind::kPushButton, 175,
     160, 60, 15, kRight},
    {CMainDlg::kImport, QT_TRANSLATE_NOOP("CMainDlg", "가져오기"), ControlKind::kPushButton, 175,
     180, 60, 15, kRight},
    {CMainDlg::kAbout, "?", ControlKind::kPushButton, 225, 200, 10, 14, kRight},
    {CMainDlg::kExit, QT_TRANSLATE_NOOP("CMainDlg", "종료"), ControlKind::kPushButton, 175, 220, 60,
     15, toolkit::kIsCancel | kRight},
    {CMainDlg::kVersionNumber, "0000", ControlKind::kStatic, 200, 200, 22, 8, kRight},
    {CMainDlg::kVersionLabel, QT_TRANSLATE_NOOP("CMainDlg", "버전 :"), ControlKind::kStatic, 175,
     200, 25, 8, kRight},
};

constexpr toolkit::DialogTemplate kTemplate{QT_TRANSLATE_NOOP("CMainDlg", "대사 편집기"), 240, 244,
                                            kControls};

// Whether `path` names a regular file that this process can open for reading; `status` says why
// not.
bool FileOpensForReading(const std::string& path, platform::Status& status) {
  errno = 0;
  std::FILE* file = platform::OpenRegularFileForReading(path.c_str());
  if (file == nullptr) {
    status = errno != 0 ? platform::Status::SystemFailure("cannot open the file")
                        : platform::Status::Failure("not a regular file");
    return false;
  }
  std::fclose(file);
  return true;
}

// EUC-KR's decoder takes the lead bytes of CP949's extension (0x81-0xA0) for C1 control
// characters, so a CP949 file reads as valid EUC-KR with its 8 822 extension syllables shown as a
// control and a letter. Where a character starts, such a byte is a CP949 lead byte: dialogue texts
// hold no C1 controls.
bool HasCp949ExtensionLead(const char* text) {
  for (auto* p = reinterpret_cast<const unsigned char*>(text); *p != 0;) {
    if (*p < 0x80) {
      ++p;
      continue;
    }
    if (*p <= 0xA0) return true;
    ++p;
    if (*p != 0) ++p;  // the trail byte of a pair
  }
  return false;
}

bool IsEucKr(std::string codeset) {
  for (char& c : codeset) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return codeset == "EUC-KR" || codeset == "EUCKR";
}

// Where a document read as EUC-KR holds CP949 extension syllables; empty when nowhere.
std::string Cp949ExtensionIn(CDlgFile& document) {
  if (HasCp949ExtensionLead(document.GetGameName().c_str())) return "the game name";
  for (PlotPos pos = document.GetFirstPlot(); pos != nullptr;) {
    if (HasCp949ExtensionLead(document.GetNextPlot(pos).GetName().c_str())) return "a plot name";
  }
  const auto& lines = document.GetLines();
  for (auto* pos = lines.GetHeadPosition(); pos != nullptr; pos = pos->next) {
    const CDlgItem& line = pos->value;
    for (const char* text : {line.GetSpeaker().c_str(), line.GetExpression().c_str(),
                             line.GetSound().c_str(), line.GetText().c_str()}) {
      if (HasCp949ExtensionLead(text)) return "ID " + std::to_string(line.GetID()) + ": a text";
    }
  }
  return std::string();
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
                 Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint |
                 Qt::WindowCloseButtonHint);
}

CMainDlg::~CMainDlg() {
  // The history goes with the window's children, after this object's own part is gone; its last
  // signals must not reach it.
  if (undoStack_ != nullptr) undoStack_->disconnect(this);
}

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
  auto* filter = ControlAs<QLineEdit>(kPlotFilter);
  filter->setPlaceholderText(Tr(strings::kPlotFilterHint));
  filter->setClearButtonEnabled(true);
  connect(filter, &QLineEdit::textChanged, this, &CMainDlg::OnPlotFilter);
  connect(ControlAs<QCheckBox>(kMultiLine), &QCheckBox::clicked, this,
          &CMainDlg::OnMultiLineClicked);
}

void CMainDlg::OnPlotFilter(const QString&) {
  ApplyPlotFilter();
  RefreshButtons();
}

void CMainDlg::ApplyPlotFilter() {
  QListWidget* list = plotList();
  const auto* field = ControlAs<QLineEdit>(kPlotFilter);
  const QString text = field != nullptr ? field->text() : QString();
  list->setUpdatesEnabled(false);
  for (int i = 0; i < list->count(); ++i) {
    QListWidgetItem* entry = list->item(i);
    const bool shown = text.isEmpty() || entry->text().contains(text, Qt::CaseInsensitive);
    if (entry->isHidden() == shown) entry->setHidden(!shown);
    if (!shown && entry->isSelected()) {
      list->clearSelection();
      list->setCurrentRow(-1);
    }
  }
  list->setUpdatesEnabled(true);
}

bool CMainDlg::OnInitDialog() {
  CDialog::OnInitDialog();
  ConnectControls();
  AppendSystemMenuSeparator();
  AppendSystemMenuItem(kAboutCommand, strings::kAboutItem);
  AppendSystemMenuItem(kFindCommand, strings::kFindItem);
  AppendSystemMenuItem(kStatsCommand, strings::kStatsItem);
  AppendSystemMenuItem(kLanguageCommand, strings::kLanguageItem);
  AppendSystemMenuItem(kOpenInCodePageCommand, strings::kOpenInCodePageItem);
  AppendSystemMenuItem(kUndoCommand, strings::kUndoItem);
  AppendSystemMenuItem(kRedoCommand, strings::kRedoItem);
  undoStack_ = new QUndoStack(this);
  // The title's `*` follows the history: an undo back to the saved state clears it.
  connect(undoStack_, &QUndoStack::cleanChanged, this, [this](bool clean) {
    SetModified(!clean);
    RefreshTitle();
  });
  // Ctrl+Z undoes; Ctrl+Shift+Z and Ctrl+Y redo (as Qt's text fields take them where one has the
  // focus). Each key once: two shortcuts of one key would cancel each other out.
  const std::pair<QKeySequence, void (CMainDlg::*)()> keys[] = {
      {QKeySequence(Qt::CTRL | Qt::Key_Z), &CMainDlg::OnUndo},
      {QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z), &CMainDlg::OnRedo},
      {QKeySequence(Qt::CTRL | Qt::Key_Y), &CMainDlg::OnRedo}};
  for (const auto& [key, slot] : keys) {
    connect(new QShortcut(key, this), &QShortcut::activated, this, slot);
  }
  auto* find = new QShortcut(QKeySequence::Find, this);
  connect(find, &QShortcut::activated, this, &CMainDlg::OnFind);
  auto* save = new QShortcut(QKeySequence::Save, this);
  connect(save, &QShortcut::activated, this, &CMainDlg::OnSave);
  setWindowIcon(*icon_);
  context_.document.SetColumns(1, 1, 0);
  RefreshButtons();
  dialogueFolder_ = platform::CurrentDirectory();
  textFolder_ = dialogueFolder_;
  baseCaption_ = windowTitle();
  currentPath_.clear();
  SetModified(false);
  RefreshTitle();
  ResetHistory();
  defaultCodeset_ = toolkit::SystemCodePage().codeset();
  if (!context_.commandLine.empty() &&
      LoadFile(context_.commandLine, context_.commandLineCodeset)) {
    if (!context_.commandLineCodeset.empty()) {
      app::RememberCodeset(currentPath_, context_.commandLineCodeset);
    }
    AnnounceDamage();
  }
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

bool CMainDlg::LoadFile(const std::string& path, const std::string& codeset) {
  platform::Status status;
  if (!FileOpensForReading(path, status)) {
    ShowLoadError(path, status);
    return false;
  }
  std::string pageOfFile = codeset.empty() ? app::RememberedCodeset(path) : codeset;
  if (pageOfFile.empty() || !toolkit::IsKnownCodeset(pageOfFile)) pageOfFile = defaultCodeset_;
  if (pageOfFile.empty()) pageOfFile = toolkit::SystemCodePage().codeset();
  CDlgFile& document = context_.document;
  auto wait = std::make_unique<toolkit::WaitCursor>();
  document.Clear();
  if (!document.Load(path.c_str(), status)) {
    wait.reset();
    ShowLoadError(path, status);
    ShowEmptyDocument();
    return false;
  }
  // The document's texts are shown and written in its code page from here on.
  toolkit::SetSystemCodeset(pageOfFile);
  currentPath_ = path;
  gameName_ = document.GetGameName().c_str();
  multiLine_ = document.GetMultiLine() != 0;
  versionNumber_ = document.GetVersion();
  UpdateData(false);
  SetModified(false);
  RefreshTitle();
  ResetHistory();
  FillPlotList();
  if (plotList()->count() > 0) plotList()->setCurrentRow(0);
  RefreshButtons();
  wait.reset();
  AnnounceCodePage(pageOfFile);
  return true;
}

void CMainDlg::AnnounceCodePage(const std::string& codeset) {
  exchange::CodesetProbe probe = exchange::ProbeCodeset(context_.document, codeset);
  if (probe.valid && IsEucKr(codeset)) {
    probe.where = Cp949ExtensionIn(context_.document);
    if (!probe.where.empty()) {
      probe.valid = false;
      probe.likely = "CP949";
    }
  }
  if (probe.valid) return;
  const QString file = toolkit::ToQString(currentPath_);
  const QString page = QString::fromStdString(codeset);
  const QString text =
      probe.likely.empty()
          ? Tr(strings::kNotInCodePage).arg(file, page)
          : Tr(strings::kNotInCodePageLikely).arg(file, page, QString::fromStdString(probe.likely));
  prompts().MessageWithDetail(this, text,
                              toolkit::ToQString(exchange::CodesetWarning(probe, codeset)));
}

void CMainDlg::ShowLoadError(const std::string& path, const platform::Status& status) {
  prompts().MessageWithDetail(this, Tr(strings::kLoadError).arg(toolkit::ToQString(path)),
                              toolkit::ToQString(status.Text()));
}

void CMainDlg::ShowEmptyDocument() {
  currentPath_.clear();
  gameName_ = context_.document.GetGameName().c_str();
  multiLine_ = context_.document.GetMultiLine() != 0;
  UpdateData(false);
  plotList()->clear();
  SetModified(false);
  RefreshTitle();
  ResetHistory();
  RefreshButtons();
}

void CMainDlg::FillPlotList() {
  QListWidget* list = plotList();
  // One layout pass for the whole list rather than one per entry.
  list->setUpdatesEnabled(false);
  list->clear();
  CDlgFile& document = context_.document;
  for (PlotPos pos = document.GetFirstPlot(); pos != nullptr;) {
    const PlotPos plot = pos;
    SetEntryPlot(toolkit::AddListEntry(list, document.GetNextPlot(pos).GetName().c_str()), plot);
  }
  list->setUpdatesEnabled(true);
  ApplyPlotFilter();
}

void CMainDlg::OnOK() {
  // Enter on a selected plot opens it, as a double-click does; elsewhere Enter does nothing.
  if (focusWidget() == plotList() && !plotList()->selectedItems().isEmpty()) OnEditPlot();
}

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
  if (command == kOpenInCodePageCommand) OnOpenInCodePage();
  if (command == kUndoCommand) OnUndo();
  if (command == kRedoCommand) OnRedo();
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
  ControlAs<QLineEdit>(kPlotFilter)->setPlaceholderText(Tr(strings::kPlotFilterHint));
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

// Undo history ------------------------------------------------------------------------------

void CMainDlg::ResetHistory() {
  if (undoStack_ != nullptr) undoStack_->clear();
  historyGameName_ = gameName_;
  historyMultiLine_ = multiLine_;
}

void CMainDlg::OnUndo() {
  // A name typed since the last step is a step of its own, undone first.
  RecordTypedGameName();
  if (undoStack_->canUndo()) undoStack_->undo();
}

void CMainDlg::OnRedo() {
  RecordTypedGameName();
  if (undoStack_->canRedo()) undoStack_->redo();
}

void CMainDlg::PushStep(QUndoCommand* step) {
  RecordTypedGameName();
  undoStack_->push(step);
}

void CMainDlg::RecordTypedGameName() {
  // Typing is not a step by itself (the field has its own undo while it has the focus, and Enter
  // there does nothing); the name becomes one when another step, an undo or a save comes.
  const QWidget* field = Control(kGameName);
  if (field == nullptr || undoStack_ == nullptr) return;
  const std::string typed = toolkit::GetWidgetBytes(field);
  if (typed == historyGameName_) return;
  const std::string before = historyGameName_;
  historyGameName_ = typed;
  undoStack_->push(new app::WindowValueCommand(*this, before, typed));
}

void CMainDlg::OnMultiLineClicked() {
  const bool now = ControlAs<QCheckBox>(kMultiLine)->isChecked();
  multiLine_ = now;
  if (now == historyMultiLine_) return;
  historyMultiLine_ = now;
  PushStep(new app::WindowValueCommand(*this, !now, now));
}

void CMainDlg::SetGameNameFromHistory(const std::string& name) {
  historyGameName_ = name;
  SetGameName(name);
  RefreshTitle();
}

void CMainDlg::SetMultiLineFromHistory(bool multiLine) {
  historyMultiLine_ = multiLine;
  multiLine_ = multiLine;
  UpdateData(false);
  RefreshTitle();
}

void CMainDlg::PushLineEdits(std::vector<LineEdit> edits) {
  if (edits.empty()) return;
  PushStep(new app::LineEditsCommand(*this, std::move(edits)));
  SetModified(!undoStack_->isClean());
  RefreshTitle();
}

int CMainDlg::PlotIndexOf(PlotPos plot) const {
  int index = 0;
  for (PlotPos pos = context_.document.GetFirstPlot(); pos != nullptr; pos = pos->next, ++index) {
    if (pos == plot) return index;
  }
  return -1;
}

void CMainDlg::ShowDocumentAgain(int selectIndex) {
  QListWidget* list = plotList();
  if (selectIndex == -2) selectIndex = list->currentRow();
  FillPlotList();
  ApplyPlotFilter();
  list->clearSelection();
  list->setCurrentRow(-1);
  if (selectIndex >= 0 && selectIndex < list->count() && !list->item(selectIndex)->isHidden()) {
    list->setCurrentRow(selectIndex);
  }
  RefreshTitle();
  RefreshButtons();
}
