#include "dialogs/find_dlg.h"

#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTreeWidget>
#include <QtGlobal>
#include <iterator>

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
     40, 8},
    {CFindDlg::kText, nullptr, ControlKind::kEdit, 50, 7, 190, 14},
    {CFindDlg::kSearch, QT_TRANSLATE_NOOP("CFindDlg", "찾기"), ControlKind::kPushButton, 245, 7, 40,
     14},
    {CFindDlg::kInText, QT_TRANSLATE_NOOP("CFindDlg", "대화"), ControlKind::kCheckBox, 50, 26, 40,
     10},
    {CFindDlg::kInSpeaker, QT_TRANSLATE_NOOP("CFindDlg", "화자"), ControlKind::kCheckBox, 95, 26,
     40, 10},
    {CFindDlg::kInSound, QT_TRANSLATE_NOOP("CFindDlg", "소리"), ControlKind::kCheckBox, 140, 26, 40,
     10},
    {CFindDlg::kInId, "ID", ControlKind::kCheckBox, 185, 26, 40, 10},
    {CFindDlg::kResults, nullptr, ControlKind::kReportList, 7, 42, 278, 160},
    {CFindDlg::kCount, "", ControlKind::kStatic, 7, 209, 200, 8},
    {CFindDlg::kClose, QT_TRANSLATE_NOOP("CFindDlg", "닫기"), ControlKind::kPushButton, 245, 206,
     40, 14, toolkit::kIsCancel},
};

constexpr toolkit::DialogTemplate kTemplate{QT_TRANSLATE_NOOP("CFindDlg", "찾기"), 292, 226,
                                            kControls};

// Shown under the list after a search; %1 is the number of lines found.
constexpr char kFoundCount[] = QT_TRANSLATE_NOOP("CFindDlg", "%1개 찾음");

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
  connect(list, &QTreeWidget::itemDoubleClicked, this,
          [this](QTreeWidgetItem* item) { OnOpenResult(resultList()->indexOfTopLevelItem(item)); });
  Control(kText)->setFocus(Qt::OtherFocusReason);
  return false;
}

void CFindDlg::OnSearch() {
  if (!UpdateData(true)) return;
  toolkit::WaitCursor wait;
  SearchOptions options;
  options.fields = (inText ? kSearchText : 0u) | (inSpeaker ? kSearchSpeaker : 0u) |
                   (inSound ? kSearchSound : 0u) | (inId ? kSearchId : 0u);
  options.pairedBytes = IsPairedByteCodeset(toolkit::SystemCodePage().codeset());
  hits_ = FindLines(document_, text, options);

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
