#include "dialogs/find_dlg.h"

#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTreeWidget>
#include <QtGlobal>
#include <algorithm>
#include <iterator>

#include "dlgfile/dlg_format.h"
#include "toolkit/code_page.h"
#include "toolkit/data_exchange.h"
#include "toolkit/prompts.h"
#include "toolkit/text_bytes.h"
#include "toolkit/wait_cursor.h"

using toolkit::ControlKind;
using toolkit::ControlTemplate;

namespace {

constexpr ControlTemplate kControls[] = {
    {CFindDlg::kTextLabel, QT_TRANSLATE_NOOP("CFindDlg", "찾을 내용 :"), ControlKind::kStatic, 7, 9,
     44, 8},
    {CFindDlg::kText, nullptr, ControlKind::kEdit, 53, 7, 187, 14},
    {CFindDlg::kSearch, QT_TRANSLATE_NOOP("CFindDlg", "찾기"), ControlKind::kPushButton, 245, 7, 58,
     14},
    {CFindDlg::kReplaceLabel, QT_TRANSLATE_NOOP("CFindDlg", "바꿀 내용 :"), ControlKind::kStatic, 7,
     26, 44, 8},
    {CFindDlg::kReplaceText, nullptr, ControlKind::kEdit, 53, 24, 187, 14},
    {CFindDlg::kReplace, QT_TRANSLATE_NOOP("CFindDlg", "바꾸기"), ControlKind::kPushButton, 245, 24,
     58, 14},
    {CFindDlg::kInText, QT_TRANSLATE_NOOP("CFindDlg", "대화"), ControlKind::kCheckBox, 50, 43, 40,
     10},
    {CFindDlg::kInSpeaker, QT_TRANSLATE_NOOP("CFindDlg", "화자"), ControlKind::kCheckBox, 95, 43,
     40, 10},
    {CFindDlg::kInSound, QT_TRANSLATE_NOOP("CFindDlg", "소리"), ControlKind::kCheckBox, 140, 43, 40,
     10},
    {CFindDlg::kInId, "ID", ControlKind::kCheckBox, 185, 43, 40, 10},
    {CFindDlg::kReplaceAll, QT_TRANSLATE_NOOP("CFindDlg", "모두 바꾸기"), ControlKind::kPushButton,
     245, 41, 58, 14},
    {CFindDlg::kResults, nullptr, ControlKind::kReportList, 7, 60, 296, 160},
    {CFindDlg::kCount, "", ControlKind::kStatic, 7, 227, 200, 8},
    {CFindDlg::kClose, QT_TRANSLATE_NOOP("CFindDlg", "닫기"), ControlKind::kPushButton, 245, 224,
     58, 14, toolkit::kIsCancel},
};

constexpr toolkit::DialogTemplate kTemplate{QT_TRANSLATE_NOOP("CFindDlg", "찾기"), 310, 244,
                                            kControls};

// Shown under the list after a search; %1 is the number of lines found.
constexpr char kFoundCount[] = QT_TRANSLATE_NOOP("CFindDlg", "%1개 찾음");
// After a replace: %1 occurrences replaced in %2 lines.
constexpr char kReplacedCount[] = QT_TRANSLATE_NOOP("CFindDlg", "%1개 바꿈 (%2줄)");
// A replace whose result would not fit (%1 the line's ID, %2 the field, %3 its limit in bytes).
constexpr char kReplaceTooLong[] =
    QT_TRANSLATE_NOOP("CFindDlg",
                      "ID %1의 %2: 바꾼 결과가 저장할 수 있는 길이(%3바이트)를 넘습니다. 아무것도 "
                      "바꾸지 않았습니다.");
constexpr char kFieldText[] = QT_TRANSLATE_NOOP("CFindDlg", "대화");
constexpr char kFieldSpeaker[] = QT_TRANSLATE_NOOP("CFindDlg", "화자");
constexpr char kFieldSound[] = QT_TRANSLATE_NOOP("CFindDlg", "소리");

// What a field may hold: a text as saveStr stores it without its warning, a sound name as the
// line editor takes it; a speaker name as a text.
constexpr ReplaceLimits kLimits{kDlgTextMaxBytes, kDlgTextMaxBytes, kDlgSoundNameMaxBytes};

struct ColumnHeader {
  const char* label;
  int width;  // pixels
};
constexpr ColumnHeader kHeaders[] = {{QT_TRANSLATE_NOOP("CFindDlg", "장면"), 110},
                                     {"ID", 60},
                                     {QT_TRANSLATE_NOOP("CFindDlg", "화자"), 80},
                                     {QT_TRANSLATE_NOOP("CFindDlg", "대화"), 1200}};

}  // namespace

CFindDlg::CFindDlg(CDlgFile& document, toolkit::Prompts& prompts, QWidget* parent)
    : CDialog(kTemplate, prompts, parent), document_(document) {}

CFindDlg::~CFindDlg() = default;

const toolkit::DialogTemplate& CFindDlg::Template() {
  return kTemplate;
}

QTreeWidget* CFindDlg::resultList() const {
  return ControlAs<QTreeWidget>(kResults);
}

void CFindDlg::DoDataExchange(toolkit::CDataExchange& dx) {
  toolkit::ExchangeText(dx, kText, text);
  toolkit::ExchangeCheck(dx, kInText, inText);
  toolkit::ExchangeCheck(dx, kInSpeaker, inSpeaker);
  toolkit::ExchangeCheck(dx, kInSound, inSound);
  toolkit::ExchangeCheck(dx, kInId, inId);
  toolkit::ExchangeText(dx, kReplaceText, replacement);
}

bool CFindDlg::OnInitDialog() {
  CDialog::OnInitDialog();
  QTreeWidget* list = resultList();
  list->setSelectionMode(QAbstractItemView::SingleSelection);
  list->setColumnCount(static_cast<int>(std::size(kHeaders)));
  for (int column = 0; column < static_cast<int>(std::size(kHeaders)); ++column) {
    list->headerItem()->setText(column, Tr(kHeaders[column].label));
    list->setColumnWidth(column, kHeaders[column].width);
  }
  connect(ControlAs<QPushButton>(kSearch), &QPushButton::clicked, this, &CFindDlg::OnSearch);
  connect(ControlAs<QPushButton>(kReplace), &QPushButton::clicked, this, &CFindDlg::OnReplace);
  connect(ControlAs<QPushButton>(kReplaceAll), &QPushButton::clicked, this,
          &CFindDlg::OnReplaceAll);
  connect(list, &QTreeWidget::itemDoubleClicked, this,
          [this](QTreeWidgetItem* item) { OnOpenResult(resultList()->indexOfTopLevelItem(item)); });
  Control(kText)->setFocus(Qt::OtherFocusReason);
  return false;
}

void CFindDlg::OnSearch() {
  if (!UpdateData(true)) return;
  toolkit::WaitCursor wait;
  hits_ = FindLines(document_, text, Options());

  QTreeWidget* list = resultList();
  QList<QTreeWidgetItem*> rows;
  rows.reserve(static_cast<qsizetype>(hits_.size()));
  for (const SearchHit& hit : hits_) {
    const CDlgItem& line = hit.line->value;
    auto* row = new QTreeWidgetItem;
    toolkit::SetCellBytes(row, 0, hit.plot->value.GetName().c_str());
    toolkit::SetCellBytes(row, 1, std::to_string(line.GetID()));
    toolkit::SetCellBytes(row, 2, line.GetSpeaker().c_str());
    toolkit::SetCellBytes(row, 3, line.GetText().c_str());
    rows.append(row);
  }
  list->clear();
  list->addTopLevelItems(rows);
  ControlAs<QLabel>(kCount)->setText(Tr(kFoundCount).arg(rows.size()));
  if (!rows.isEmpty()) {
    list->setCurrentItem(rows.first());
    list->setFocus(Qt::OtherFocusReason);
  }
}

void CFindDlg::OnOpenResult(int index) {
  if (index < 0 || index >= static_cast<int>(hits_.size())) return;
  const SearchHit& hit = hits_[static_cast<size_t>(index)];
  chosenPlotPos = hit.plot;
  chosenPlot = hit.plot->value.GetName().c_str();
  chosenRow = hit.row;
  EndDialog(toolkit::kIdOk);
}

void CFindDlg::OnOK() {
  QTreeWidget* list = resultList();
  if (focusWidget() == list && list->currentItem() != nullptr) {
    OnOpenResult(list->indexOfTopLevelItem(list->currentItem()));
    return;
  }
  OnSearch();
}

SearchOptions CFindDlg::Options() const {
  SearchOptions options;
  options.fields = (inText ? kSearchText : 0u) | (inSpeaker ? kSearchSpeaker : 0u) |
                   (inSound ? kSearchSound : 0u) | (inId ? kSearchId : 0u);
  options.pairedBytes = IsPairedByteCodeset(toolkit::SystemCodePage().codeset());
  return options;
}

bool CFindDlg::ReplaceIn(const std::vector<SearchHit>& hits) {
  replacedCount = 0;
  replacedLines = 0;
  ReplacePlan plan;
  {
    toolkit::WaitCursor wait;
    plan = PlanReplace(hits, text, replacement, Options(), kLimits);
  }
  if (plan.refusedId >= 0) {
    const char* field = plan.refusedField == "speaker" ? kFieldSpeaker
                        : plan.refusedField == "sound" ? kFieldSound
                                                       : kFieldText;
    const size_t limit = plan.refusedField == "speaker" ? kLimits.speaker
                         : plan.refusedField == "sound" ? kLimits.sound
                                                        : kLimits.text;
    prompts().Message(this,
                      Tr(kReplaceTooLong)
                          .arg(QString::number(plan.refusedId), Tr(field), QString::number(limit)));
    return false;
  }
  if (!plan.edits.empty()) {
    toolkit::WaitCursor wait;
    if (!ApplyLineEdits(document_, plan.edits, false)) {
      // Out of memory part of the way: the lines done go back, so the step is whole or nothing.
      (void)ApplyLineEdits(document_, plan.edits, true);
      return false;
    }
  }
  replacedCount = plan.occurrences;
  replacedLines = plan.edits.size();
  if (recordEdits && !plan.edits.empty()) recordEdits(std::move(plan.edits));
  return true;
}

void CFindDlg::OnReplace() {
  // A text the document's code page cannot write is refused, never stored with substitutes.
  if (!toolkit::FieldsWritable(*this, {kReplaceText}) || !UpdateData(true)) return;
  QTreeWidget* list = resultList();
  int index = list->currentItem() != nullptr ? list->indexOfTopLevelItem(list->currentItem()) : -1;
  if (index < 0 || index >= static_cast<int>(hits_.size())) {
    // Nothing found yet: the first press searches, as 찾기 does.
    OnSearch();
    return;
  }
  const SearchHit hit = hits_[static_cast<size_t>(index)];
  if (!ReplaceIn({hit})) return;
  const size_t count = replacedCount, lines = replacedLines;
  OnSearch();
  // The next result: the same place when the replaced line no longer matches.
  const bool stillFound =
      index < static_cast<int>(hits_.size()) && hits_[static_cast<size_t>(index)].line == hit.line;
  const int next = std::min(index + (stillFound ? 1 : 0), static_cast<int>(hits_.size()) - 1);
  if (next >= 0) list->setCurrentItem(list->topLevelItem(next));
  ControlAs<QLabel>(kCount)->setText(
      Tr(kReplacedCount).arg(QString::number(count), QString::number(lines)));
}

void CFindDlg::OnReplaceAll() {
  if (!toolkit::FieldsWritable(*this, {kReplaceText}) || !UpdateData(true)) return;
  std::vector<SearchHit> hits;
  {
    toolkit::WaitCursor wait;
    hits = FindLines(document_, text, Options());
  }
  if (!ReplaceIn(hits)) return;
  const size_t count = replacedCount, lines = replacedLines;
  OnSearch();
  ControlAs<QLabel>(kCount)->setText(
      Tr(kReplacedCount).arg(QString::number(count), QString::number(lines)));
}
