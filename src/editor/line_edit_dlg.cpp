// CLineEditDlg: the window, its columns, row building, loading a row into the fields, the
// speaker and expression lists, Clear and the text field's keys. The commands are in
// line_edit_commands.cpp.
#include "editor/line_edit_dlg.h"

#include <QComboBox>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPalette>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QResizeEvent>
#include <QShortcut>
#include <QSignalBlocker>
#include <QTreeWidget>
#include <QUndoStack>
#include <QtGlobal>
#include <algorithm>
#include <cstdio>
#include <memory>
#include <new>
#include <utility>

#include "config/speaker_config.h"
#include "dlgfile/dlg_format.h"
#include "platform/fault_injection.h"
#include "platform/file_read.h"
#include "toolkit/code_page.h"
#include "toolkit/data_exchange.h"
#include "toolkit/prompts.h"
#include "toolkit/text_bytes.h"
#include "toolkit/wait_cursor.h"

using toolkit::ControlKind;
using toolkit::ControlTemplate;

namespace {

// The window opens at its template size and can grow: the row list takes the room, the input
// fields keep to the bottom and widen, the buttons on the right keep to the right edge. The range
// fields are wide enough for any ID (2147483647) and the name field gives them the room.
constexpr unsigned kDown = toolkit::kMoveDown;
constexpr unsigned kDownRight = toolkit::kMoveDown | toolkit::kMoveRight;
constexpr unsigned kDownWiden = toolkit::kMoveDown | toolkit::kGrowWidth;

constexpr ControlTemplate kControls[] = {
    {CLineEditDlg::kRowList, nullptr, ControlKind::kReportList, 5, 5, 350, 140,
     toolkit::kGrowWidth | toolkit::kGrowHeight},
    {CLineEditDlg::kFilter, nullptr, ControlKind::kEdit, 5, 147, 350, 12,
     toolkit::kMoveDown | toolkit::kGrowWidth},
    {CLineEditDlg::kFrame, "", ControlKind::kGroupBox, 5, 160, 350, 70, kDownWiden},
    {CLineEditDlg::kText, nullptr, ControlKind::kMultiLineEdit, 10, 170, 340, 40, kDownWiden},
    {CLineEditDlg::kSpeakerList, nullptr, ControlKind::kComboBox, 10, 215, 50, 12, kDown},
    {CLineEditDlg::kExpressionList, nullptr, ControlKind::kComboBox, 65, 215, 50, 12, kDown},
    {CLineEditDlg::kSound, nullptr, ControlKind::kEdit, 160, 215, 165, 12, kDownWiden},
    {CLineEditDlg::kClear, "Clear", ControlKind::kPushButton, 330, 215, 20, 12, kDownRight},
    {CLineEditDlg::kAdd, QT_TRANSLATE_NOOP("CLineEditDlg", "추가"), ControlKind::kPushButton, 5,
     235, 30, 14, kDown},
    {CLineEditDlg::kModify, QT_TRANSLATE_NOOP("CLineEditDlg", "수정"), ControlKind::kPushButton, 40,
     235, 30, 14, kDown},
    {CLineEditDlg::kDelete, QT_TRANSLATE_NOOP("CLineEditDlg", "삭제"), ControlKind::kPushButton, 75,
     235, 30, 14, kDown},
    {CLineEditDlg::kName, nullptr, ControlKind::kEdit, 110, 235, 55, 14, kDown},
    {CLineEditDlg::kRangeLow, nullptr, ControlKind::kEdit, 168, 235, 48, 12, kDown},
    {CLineEditDlg::kRangeHigh, nullptr, ControlKind::kEdit, 219, 235, 48, 12, kDown},
    {CLineEditDlg::kOk, QT_TRANSLATE_NOOP("CLineEditDlg", "확인"), ControlKind::kPushButton, 270,
     235, 40, 14, kDownRight},
    {CLineEditDlg::kCancel, QT_TRANSLATE_NOOP("CLineEditDlg", "취소"), ControlKind::kPushButton,
     315, 235, 40, 14, toolkit::kIsCancel | kDownRight},
};

constexpr toolkit::DialogTemplate kTemplate{QT_TRANSLATE_NOOP("CLineEditDlg", "대화 편집"), 360,
                                            254, kControls};

constexpr char kPlotNotFound[] = QT_TRANSLATE_NOOP("CLineEditDlg", "该段情节没有找到(%1)！");
// The text field's length: Unicode characters of the text as it will be stored, a line break
// counted as the two characters CR LF (as check --max-length counts).
constexpr char kTextLengthFormat[] = QT_TRANSLATE_NOOP("CLineEditDlg", "%1자");

// The context-menu items of the session's history.
constexpr char kUndoItem[] = QT_TRANSLATE_NOOP("CLineEditDlg", "실행 취소(&U)");
constexpr char kRedoItem[] = QT_TRANSLATE_NOOP("CLineEditDlg", "다시 실행(&R)");

// The row filter's placeholder.
constexpr char kFilterHint[] =
    QT_TRANSLATE_NOOP("CLineEditDlg", "필터: ID, 화자, 표정, 소리, 대화에서 찾기");

// A row that sorts its ID column as a number and every other column as text.
class RowItem : public QTreeWidgetItem {
 public:
  bool operator<(const QTreeWidgetItem& other) const override {
    const int column = treeWidget() != nullptr ? treeWidget()->sortColumn() : 0;
    if (column == 0) {
      return data(0, CLineEditDlg::kRowIdRole).toInt() <
             other.data(0, CLineEditDlg::kRowIdRole).toInt();
    }
    return text(column).compare(other.text(column), Qt::CaseInsensitive) < 0;
  }
};

struct ColumnHeader {
  const char* label;
  int width;  // pixels
};
constexpr ColumnHeader kIdHeader{"ID", 80};
constexpr ColumnHeader kSpeakerHeader{QT_TRANSLATE_NOOP("CLineEditDlg", "화자"), 80};
constexpr ColumnHeader kExpressionHeader{QT_TRANSLATE_NOOP("CLineEditDlg", "표정"), 80};
constexpr ColumnHeader kSoundHeader{QT_TRANSLATE_NOOP("CLineEditDlg", "소리"), 100};
constexpr ColumnHeader kTextHeader{QT_TRANSLATE_NOOP("CLineEditDlg", "대화"), 1600};

}  // namespace

CLineEditDlg::CLineEditDlg(const LineEditSession& session, QWidget* parent)
    : CDialog(kTemplate, session.prompts, parent), session_(session) {
  setWindowFlags(windowFlags() | Qt::WindowMaximizeButtonHint | Qt::WindowMinimizeButtonHint);
}

CLineEditDlg::~CLineEditDlg() {
  // A dialog destroyed without OK or Cancel must not leave its pending lines behind.
  if (plot_ != nullptr) CancelPending();
}

const toolkit::DialogTemplate& CLineEditDlg::Template() {
  return kTemplate;
}

QTreeWidget* CLineEditDlg::rowList() const {
  return ControlAs<QTreeWidget>(kRowList);
}

QComboBox* CLineEditDlg::speakerList() const {
  return ControlAs<QComboBox>(kSpeakerList);
}

QComboBox* CLineEditDlg::expressionList() const {
  return ControlAs<QComboBox>(kExpressionList);
}

QString CLineEditDlg::textLengthText() const {
  const QString typed = textField()->toPlainText();
  const qsizetype length = typed.toUcs4().size() + typed.count(QLatin1Char('\n'));
  return Tr(kTextLengthFormat).arg(length);
}

QPlainTextEdit* CLineEditDlg::textField() const {
  return ControlAs<QPlainTextEdit>(kText);
}

void CLineEditDlg::DoDataExchange(toolkit::CDataExchange& dx) {
  toolkit::ExchangeText(dx, kName, plotName, kDlgPlotNameMaxBytes);
  toolkit::ExchangeLines(dx, kText, text);
  toolkit::ExchangeText(dx, kSound, sound, kDlgSoundNameMaxBytes);
  toolkit::ExchangeInt(dx, kRangeLow, rangeLow);
  toolkit::ExchangeInt(dx, kRangeHigh, rangeHigh);
}

bool CLineEditDlg::OnInitDialog() {
  CDialog::OnInitDialog();
  // The selection stays as visible while another control has the focus.
  QTreeWidget* list = rowList();
  list->setSelectionBehavior(QAbstractItemView::SelectRows);
  QPalette palette = list->palette();
  for (QPalette::ColorRole role : {QPalette::Highlight, QPalette::HighlightedText}) {
    palette.setColor(QPalette::Inactive, role, palette.color(QPalette::Active, role));
  }
  list->setPalette(palette);

  plot_ = plotPos != nullptr ? plotPos : session_.document.FindPlot(plotName.c_str());
  if (plot_ == nullptr) {
    prompts().Message(this, Tr(kPlotNotFound).arg(toolkit::ToQString(plotName)));
    EndDialog(toolkit::kIdCancel);
    return false;
  }
  // Tab moves on to the next control, as everywhere else; Ctrl+Tab types a tab (eventFilter).
  textField()->setTabChangesFocus(true);
  textField()->installEventFilter(this);
  InsertColumns();
  ConnectControls();
  // The length display stands beside the described controls, in the free space between the
  // expression list and the sound field, not in their table.
  textLength_ = new QLabel(this);
  textLength_->setGeometry(toolkit::DialogUnitsToPixels(baseUnits(), 120, 217, 38, 8));
  connect(textField(), &QPlainTextEdit::textChanged, this,
          [this] { textLength_->setText(textLengthText()); });
  textLength_->setText(textLengthText());
  undoStack_ = new QUndoStack(this);
  AppendSystemMenuSeparator();
  AppendSystemMenuItem(kUndoCommand, kUndoItem);
  AppendSystemMenuItem(kRedoCommand, kRedoItem);
  // Ctrl+Z undoes; Ctrl+Shift+Z and Ctrl+Y redo (as Qt's text fields take them where one has the
  // focus). Each key once: two shortcuts of one key would cancel each other out.
  const std::pair<QKeySequence, void (CLineEditDlg::*)()> keys[] = {
      {QKeySequence(Qt::CTRL | Qt::Key_Z), &CLineEditDlg::OnUndo},
      {QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z), &CLineEditDlg::OnRedo},
      {QKeySequence(Qt::CTRL | Qt::Key_Y), &CLineEditDlg::OnRedo}};
  for (const auto& [key, slot] : keys) {
    connect(new QShortcut(key, this), &QShortcut::activated, this, slot);
  }
  LoadSpeakers();
  BuildRows();
  if (selectRow >= 0 && selectRow < rowList()->topLevelItemCount()) {
    SelectRow(FirstSelectedRow(), false);
    SelectRow(selectRow, true);
  }
  UpdateData(false);
  textField()->setFocus(Qt::OtherFocusReason);
  return false;
}

void CLineEditDlg::ConnectControls() {
  auto button = [this](int id) { return ControlAs<QPushButton>(id); };
  connect(button(kAdd), &QPushButton::clicked, this, &CLineEditDlg::OnAdd);
  connect(button(kModify), &QPushButton::clicked, this, &CLineEditDlg::OnModify);
  connect(button(kDelete), &QPushButton::clicked, this, &CLineEditDlg::OnDelete);
  connect(button(kOk), &QPushButton::clicked, this, &CLineEditDlg::OnConfirm);
  connect(button(kClear), &QPushButton::clicked, this, &CLineEditDlg::OnClear);
  connect(rowList(), &QTreeWidget::itemSelectionChanged, this, &CLineEditDlg::OnRowStateChanged);
  // Only a choice of the user's counts: the program's own selections do not re-read the fields.
  connect(speakerList(), &QComboBox::activated, this, &CLineEditDlg::OnSpeakerChosen);
  rowList()->header()->setSectionsClickable(true);
  connect(rowList()->header(), &QHeaderView::sectionClicked, this, &CLineEditDlg::OnSortColumn);
  auto* filter = ControlAs<QLineEdit>(kFilter);
  filter->setPlaceholderText(Tr(kFilterHint));
  filter->setClearButtonEnabled(true);
  connect(filter, &QLineEdit::textChanged, this, &CLineEditDlg::OnFilter);
}

void CLineEditDlg::OnSortColumn(int column) {
  QTreeWidget* list = rowList();
  if (column != sortColumn_) {
    sortColumn_ = column;
    sortDescending_ = false;
  } else if (!sortDescending_) {
    sortDescending_ = true;
  } else {
    sortColumn_ = -1;
  }
  toolkit::WaitCursor wait;
  if (sortColumn_ < 0) {
    list->header()->setSortIndicatorShown(false);
    RestorePlotOrder();
  } else {
    // Sorted once: rows added later go where Add puts them, as without sorting.
    list->header()->setSortIndicatorShown(true);
    list->sortItems(sortColumn_, sortDescending_ ? Qt::DescendingOrder : Qt::AscendingOrder);
    ApplyFilter();
  }
  const int first = FirstSelectedRow();
  if (first >= 0) list->scrollToItem(list->topLevelItem(first));
}

void CLineEditDlg::RestorePlotOrder() {
  QTreeWidget* list = rowList();
  QSignalBlocker quiet(list);
  // An item out of the list has no selected or hidden state: both are put back after.
  const QList<QTreeWidgetItem*> selected = list->selectedItems();
  const QList<QTreeWidgetItem*> all = list->invisibleRootItem()->takeChildren();
  std::unordered_map<int, std::vector<QTreeWidgetItem*>> byId;
  for (QTreeWidgetItem* row : all) byId[row->data(0, kRowIdRole).toInt()].push_back(row);
  QList<QTreeWidgetItem*> ordered;
  ordered.reserve(all.size());
  CDlgPlot& plot = session_.document.GetPlot(plot_);
  for (auto* member = plot.members.GetHeadPosition(); member != nullptr;) {
    const int id = session_.document.GetItem(plot.members.GetNext(member)).GetID();
    auto found = byId.find(id);
    if (found == byId.end() || found->second.empty()) continue;
    ordered.append(found->second.front());
    found->second.erase(found->second.begin());
  }
  // Rows whose lines are not members (none should be) keep their place at the end.
  for (auto& [id, rows] : byId) {
    for (QTreeWidgetItem* row : rows) ordered.append(row);
  }
  list->addTopLevelItems(ordered);
  for (QTreeWidgetItem* row : selected) row->setSelected(true);
  ApplyFilter();
}

bool CLineEditDlg::RowShown(int row) const {
  const QTreeWidgetItem* item = rowList()->topLevelItem(row);
  return item != nullptr && !item->isHidden();
}

void CLineEditDlg::OnFilter(const QString&) {
  toolkit::WaitCursor wait;
  ApplyFilter();
  OnRowStateChanged();
}

void CLineEditDlg::ApplyFilter() {
  QTreeWidget* list = rowList();
  const auto* field = ControlAs<QLineEdit>(kFilter);
  const QString text = field != nullptr ? field->text() : QString();
  {
    QSignalBlocker quiet(list);
    list->setUpdatesEnabled(false);
    const int columns = list->columnCount();
    for (int i = 0; i < list->topLevelItemCount(); ++i) {
      QTreeWidgetItem* row = list->topLevelItem(i);
      bool shown = text.isEmpty();
      for (int column = 0; !shown && column < columns; ++column) {
        shown = row->text(column).contains(text, Qt::CaseInsensitive);
      }
      if (row->isHidden() != !shown) row->setHidden(!shown);
      if (!shown && row->isSelected()) row->setSelected(false);
    }
    list->setUpdatesEnabled(true);
  }
}

void CLineEditDlg::InsertColumns() {
  int speaker = 0, expression = 0, sound = 0;
  session_.document.GetColumns(speaker, expression, sound);
  useSpeaker_ = speaker != 0;
  useExpression_ = expression != 0;
  useSound_ = sound != 0;
  columns_ = LineColumns::For(useSpeaker_, useExpression_, useSound_);

  QTreeWidget* list = rowList();
  list->setColumnCount(columns_.count);
  const std::pair<int, ColumnHeader> headers[] = {
      {0, kIdHeader},
      {columns_.speaker, kSpeakerHeader},
      {columns_.expression, kExpressionHeader},
      {columns_.sound, kSoundHeader},
      {columns_.text, kTextHeader},
  };
  for (const auto& [column, header] : headers) {
    if (column < 0) continue;
    list->headerItem()->setText(column, Tr(header.label));
    list->headerItem()->setTextAlignment(column, Qt::AlignLeft | Qt::AlignVCenter);
    list->setColumnWidth(column, header.width);
  }
  if (!useSpeaker_) speakerList()->hide();
  if (!useExpression_) expressionList()->hide();
  if (!useSound_) Control(kSound)->hide();
}

void CLineEditDlg::LoadSpeakers() {
  std::vector<std::string> paths = session_.configPaths;
  if (paths.empty()) paths.push_back(kSpeakerConfigName);
  const std::string* found = nullptr;
  for (const std::string& path : paths) {
    if (std::FILE* file = platform::OpenRegularFileForReading(path.c_str())) {
      std::fclose(file);
      found = &path;
      break;
    }
  }
  // A load that stops early leaves the speaker list untouched, and so empty.
  if (found == nullptr || !LoadSpeakerConfigFrom(found->c_str(), speakerEntries_)) return;
  QComboBox* list = speakerList();
  list->clear();
  for (auto* pos = speakerEntries_.GetHeadPosition(); pos != nullptr;) {
    toolkit::AddComboEntry(list, speakerEntries_.GetNext(pos).name);
  }
  list->setCurrentIndex(-1);
}

void CLineEditDlg::BuildRows() {
  toolkit::WaitCursor wait;
  CDlgFile& document = session_.document;
  CDlgPlot& plot = document.GetPlot(plot_);
  memberById_.clear();
  QList<QTreeWidgetItem*> rows;
  for (auto* member = plot.members.GetHeadPosition(); member != nullptr;) {
    LinePos line = plot.members.GetNext(member);
    const CDlgItem& item = document.GetItem(line);
    memberById_.emplace(item.GetID(), line);
    // A row that cannot be built is left out; its line stays in the document untouched.
    if (QTreeWidgetItem* row = NewRow(item)) rows.append(row);
  }
  QTreeWidget* list = rowList();
  {
    // Row by row, each new row would select itself in place of the one before; only the last
    // one's selection is seen, and it is made below with the signals on.
    QSignalBlocker quiet(list);
    list->clear();
    list->addTopLevelItems(rows);
  }
  if (!rows.isEmpty()) SelectRow(static_cast<int>(rows.size()) - 1, true);
  plot.GetRange(rangeLow, rangeHigh);
  openRangeLow_ = rangeLow;
  openRangeHigh_ = rangeHigh;
  changed = false;
}

QTreeWidgetItem* CLineEditDlg::NewRow(const CDlgItem& line) const {
  // One guarded allocation for the row and one for each cell's text.
  std::unique_ptr<QTreeWidgetItem> row(platform::NewObject<RowItem>());
  if (row == nullptr) return nullptr;
  const std::string id = std::to_string(line.GetID());
  const std::pair<int, const char*> cells[] = {
      {0, id.c_str()},
      {columns_.speaker, line.GetSpeaker().c_str()},
      {columns_.expression, line.GetExpression().c_str()},
      {columns_.sound, line.GetSound().c_str()},
      {columns_.text, line.GetText().c_str()},
  };
  for (const auto& [column, bytes] : cells) {
    if (column < 0) continue;
    if (platform::AllocationShouldFail()) return nullptr;
    toolkit::SetCellBytes(row.get(), column, bytes);
  }
  row->setData(0, kRowIdRole, line.GetID());
  return row.release();
}

bool CLineEditDlg::AddRow(const CDlgItem& line) {
  QTreeWidgetItem* row = NewRow(line);
  if (row == nullptr) return false;
  QTreeWidget* list = rowList();
  const int first = FirstSelectedRow();
  list->insertTopLevelItem(first >= 0 ? first + 1 : list->topLevelItemCount(), row);
  SelectRow(FirstSelectedRow(), false);
  SelectRow(list->indexOfTopLevelItem(row), true);
  return true;
}

void CLineEditDlg::SetCell(QTreeWidgetItem* row, int column, const std::string& bytes) {
  if (column >= 0) toolkit::SetCellBytes(row, column, bytes);
}

void CLineEditDlg::SelectRow(int index, bool select) {
  QTreeWidgetItem* row = rowList()->topLevelItem(index);
  if (row == nullptr) return;
  row->setSelected(select);
  if (select) rowList()->scrollToItem(row);
}

int CLineEditDlg::FirstSelectedRow() const {
  int first = -1;
  for (const QModelIndex& index : rowList()->selectionModel()->selectedRows()) {
    if ((first < 0 || index.row() < first) && RowShown(index.row())) first = index.row();
  }
  return first;
}

int CLineEditDlg::SelectedRowCount() const {
  int count = 0;
  for (const QModelIndex& index : rowList()->selectionModel()->selectedRows()) {
    if (RowShown(index.row())) ++count;
  }
  return count;
}

int CLineEditDlg::RowId(int row) const {
  const QTreeWidgetItem* item = rowList()->topLevelItem(row);
  if (item == nullptr) return -1;
  const QVariant id = item->data(0, kRowIdRole);
  return id.isValid() ? id.toInt() : -1;
}

LinePos CLineEditDlg::RowLine(int row) const {
  return MemberWithId(RowId(row));
}

LinePos CLineEditDlg::MemberWithId(int id) const {
  // Among the plot's members rather than the whole document: a damaged file can give two plots a
  // line of the same ID, and deleting the other plot's line would leave it a dangling member.
  // Members leave the plot only when the editor closes, so the map stays true while it is open.
  if (id < 0 || plot_ == nullptr) return nullptr;
  const auto found = memberById_.find(id);
  return found != memberById_.end() ? found->second : nullptr;
}

void CLineEditDlg::OnRowStateChanged() {
  const int row = FirstSelectedRow();
  Control(kModify)->setEnabled(row >= 0);
  Control(kDelete)->setEnabled(row >= 0);
  if (row < 0) return;

  std::string lineSpeaker, lineExpression, lineSound, lineText;
  if (LinePos pos = RowLine(row)) {
    const CDlgItem& line = session_.document.GetItem(pos);
    lineSpeaker = line.GetSpeaker().c_str();
    lineExpression = line.GetExpression().c_str();
    lineSound = line.GetSound().c_str();
    lineText = line.GetText().c_str();
  }
  if (useSpeaker_) {
    if (SelectByPrefix(speakerList(), lineSpeaker)) {
      RefillExpressions(speakerList()->currentIndex());
    } else {
      rememberedSpeaker = lineSpeaker;
    }
  }
  if (useExpression_) (void)SelectByPrefix(expressionList(), lineExpression);
  if (useSound_) sound = lineSound;
  text = lineText;
  UpdateData(false);
}

bool CLineEditDlg::SelectByPrefix(QComboBox* list, const std::string& name) {
  const int index = toolkit::FindComboPrefix(list, name);
  list->setCurrentIndex(index);
  return index >= 0;
}

void CLineEditDlg::OnSpeakerChosen(int) {
  (void)UpdateData(true);
  const int index = speakerList()->currentIndex();
  if (index < 0) return;
  RefillExpressions(index);
  UpdateData(false);
}

void CLineEditDlg::RefillExpressions(int index) {
  if (index < 0) return;
  const std::string name = toolkit::ComboEntryBytes(speakerList(), index);
  QComboBox* list = expressionList();
  list->clear();
  for (auto* pos = speakerEntries_.GetHeadPosition(); pos != nullptr;) {
    const SpeakerEntry& entry = speakerEntries_.GetNext(pos);
    if (entry.name != name) continue;
    for (auto* e = entry.expressions.GetHeadPosition(); e != nullptr;) {
      toolkit::AddComboEntry(list, entry.expressions.GetNext(e));
    }
    list->setCurrentIndex(list->count() > 0 ? 0 : -1);
    return;
  }
}

void CLineEditDlg::OnClear() {
  text.clear();
  if (useSpeaker_) speakerList()->setCurrentIndex(-1);
  if (useExpression_) expressionList()->setCurrentIndex(-1);
  sound.clear();
  UpdateData(false);
  textField()->setFocus(Qt::OtherFocusReason);
}

void CLineEditDlg::OnOK() {}

void CLineEditDlg::resizeEvent(QResizeEvent* event) {
  CDialog::resizeEvent(event);
  if (textLength_ == nullptr) return;
  const QSize base = toolkit::DialogSizeToPixels(baseUnits(), kTemplate.width, kTemplate.height);
  textLength_->setGeometry(toolkit::DialogUnitsToPixels(baseUnits(), 120, 217, 38, 8)
                               .translated(0, std::max(0, height() - base.height())));
}

bool CLineEditDlg::eventFilter(QObject* watched, QEvent* event) {
  if (watched == textField() && event->type() == QEvent::KeyPress) {
    auto* key = static_cast<QKeyEvent*>(event);
    if (key->key() == Qt::Key_Tab && key->modifiers() == Qt::ControlModifier) {
      textField()->insertPlainText(QStringLiteral("\t"));
      return true;
    }
  }
  return CDialog::eventFilter(watched, event);
}

void CLineEditDlg::keyPressEvent(QKeyEvent* event) {
  // Keys the text field leaves unhandled (Escape among them) reach the dialog; while the field has
  // the focus they end here, so that they neither close the dialog nor press a button.
  if (focusWidget() == textField()) {
    event->accept();
    return;
  }
  CDialog::keyPressEvent(event);
}
