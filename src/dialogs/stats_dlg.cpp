#include "dialogs/stats_dlg.h"

#include <QApplication>
#include <QClipboard>
#include <QHeaderView>
#include <QPushButton>
#include <QStringList>
#include <QTreeWidget>
#include <QtCharts/QBarCategoryAxis>
#include <QtCharts/QBarSet>
#include <QtCharts/QChart>
#include <QtCharts/QChartView>
#include <QtCharts/QHorizontalBarSeries>
#include <QtCharts/QValueAxis>
#include <QtGlobal>
#include <iterator>

#include "toolkit/prompts.h"
#include "toolkit/wait_cursor.h"

using toolkit::ControlKind;
using toolkit::ControlTemplate;

namespace {

constexpr ControlTemplate kControls[] = {
    {CStatsDlg::kPlotLabel, QT_TRANSLATE_NOOP("CStatsDlg", "장면별"), ControlKind::kStatic, 7, 7,
     120, 8},
    {CStatsDlg::kPlots, nullptr, ControlKind::kReportList, 7, 17, 400, 100},
    {CStatsDlg::kSpeakerLabel, QT_TRANSLATE_NOOP("CStatsDlg", "화자별"), ControlKind::kStatic, 7,
     123, 120, 8},
    {CStatsDlg::kSpeakers, nullptr, ControlKind::kReportList, 7, 133, 200, 100},
    {CStatsDlg::kChartArea, "", ControlKind::kStatic, 212, 133, 195, 100},
    {CStatsDlg::kCopy, QT_TRANSLATE_NOOP("CStatsDlg", "복사"), ControlKind::kPushButton, 313, 240,
     45, 14},
    {CStatsDlg::kClose, QT_TRANSLATE_NOOP("CStatsDlg", "닫기"), ControlKind::kPushButton, 362, 240,
     45, 14, toolkit::kIsCancel},
};

constexpr toolkit::DialogTemplate kTemplate{QT_TRANSLATE_NOOP("CStatsDlg", "통계"), 414, 261,
                                            kControls};

// Column headers after the name column: the counts of docs/stats.md, in its order.
constexpr const char* kCountHeaders[] = {
    QT_TRANSLATE_NOOP("CStatsDlg", "대사 수"), QT_TRANSLATE_NOOP("CStatsDlg", "단어"),
    QT_TRANSLATE_NOOP("CStatsDlg", "글자"),    QT_TRANSLATE_NOOP("CStatsDlg", "공백 포함"),
    QT_TRANSLATE_NOOP("CStatsDlg", "빈 대사"), QT_TRANSLATE_NOOP("CStatsDlg", "소리 없음"),
    QT_TRANSLATE_NOOP("CStatsDlg", "분")};
constexpr char kPlotHeader[] = QT_TRANSLATE_NOOP("CStatsDlg", "장면");
constexpr char kSpeakerHeader[] = QT_TRANSLATE_NOOP("CStatsDlg", "화자");
constexpr char kTotalRow[] = QT_TRANSLATE_NOOP("CStatsDlg", "합계");
constexpr char kChartTitle[] = QT_TRANSLATE_NOOP("CStatsDlg", "화자별 단어 수");

QStringList CountCells(const exchange::StatsRow& row) {
  return {QString::number(row.lines),
          QString::number(row.counts.words),
          QString::number(row.counts.characters),
          QString::number(row.counts.charactersWithSpaces),
          QString::number(row.empty),
          QString::number(row.noSound),
          QString::number(row.minutes, 'f', 2)};
}

}  // namespace

CStatsDlg::CStatsDlg(const CDlgFile& document, const std::string& codeset,
                     toolkit::Prompts& prompts, QWidget* parent)
    : CDialog(kTemplate, prompts, parent), document_(document), codeset_(codeset) {}

CStatsDlg::~CStatsDlg() = default;

const toolkit::DialogTemplate& CStatsDlg::Template() {
  return kTemplate;
}

QTreeWidget* CStatsDlg::plotTable() const {
  return ControlAs<QTreeWidget>(kPlots);
}

QTreeWidget* CStatsDlg::speakerTable() const {
  return ControlAs<QTreeWidget>(kSpeakers);
}

bool CStatsDlg::OnInitDialog() {
  CDialog::OnInitDialog();
  {
    toolkit::WaitCursor wait;
    exchange::StatsOptions options;
    options.codeset = codeset_;
    platform::Status status;
    options.by = exchange::StatsGrouping::kPlot;
    if (!exchange::CollectStats(document_, options, byPlot_, status)) byPlot_ = {};
    options.by = exchange::StatsGrouping::kSpeaker;
    if (!exchange::CollectStats(document_, options, bySpeaker_, status)) bySpeaker_ = {};
  }
  FillTable(plotTable(), byPlot_, true);
  FillTable(speakerTable(), bySpeaker_, false);
  BuildChart();
  connect(ControlAs<QPushButton>(kCopy), &QPushButton::clicked, this, &CStatsDlg::OnCopy);
  return true;
}

void CStatsDlg::FillTable(QTreeWidget* table, const exchange::StatsReport& report, bool plots) {
  QStringList headers{Tr(plots ? kPlotHeader : kSpeakerHeader)};
  for (const char* header : kCountHeaders) headers << Tr(header);
  table->setColumnCount(static_cast<int>(headers.size()));
  table->setHeaderLabels(headers);
  table->setSelectionMode(QAbstractItemView::ExtendedSelection);
  table->setSortingEnabled(false);
  QList<QTreeWidgetItem*> rows;
  auto add = [&](const exchange::StatsRow& row, const QString& name) {
    auto* item = new QTreeWidgetItem(QStringList{name} + CountCells(row));
    for (int column = 1; column < item->columnCount(); ++column) {
      item->setTextAlignment(column, Qt::AlignRight | Qt::AlignVCenter);
    }
    rows.append(item);
  };
  for (const exchange::StatsRow& row : report.groups) {
    add(row, QString::fromUtf8(plots ? row.plot : row.speaker));
  }
  add(report.total, Tr(kTotalRow));
  table->addTopLevelItems(rows);
  table->header()->resizeSections(QHeaderView::ResizeToContents);
}

void CStatsDlg::BuildChart() {
  auto* words = new QBarSet(Tr(kCountHeaders[1]));
  QStringList names;
  long long most = 1;
  for (const exchange::StatsRow& row : bySpeaker_.groups) {
    *words << static_cast<double>(row.counts.words);
    names << QString::fromUtf8(row.speaker) +
                 QStringLiteral(" (%1 %2)").arg(row.minutes, 0, 'f', 1).arg(Tr(kCountHeaders[6]));
    most = std::max(most, row.counts.words);
  }
  auto* series = new QHorizontalBarSeries;
  series->append(words);
  auto* chart = new QChart;
  chart->addSeries(series);
  chart->setTitle(Tr(kChartTitle));
  chart->legend()->hide();
  auto* categories = new QBarCategoryAxis;
  categories->append(names);
  chart->addAxis(categories, Qt::AlignLeft);
  series->attachAxis(categories);
  auto* values = new QValueAxis;
  values->setRange(0, static_cast<double>(most));
  values->setLabelFormat(QStringLiteral("%d"));
  chart->addAxis(values, Qt::AlignBottom);
  series->attachAxis(values);
  // The chart takes the place of its static placeholder in the template.
  QWidget* area = Control(kChartArea);
  auto* view = new QChartView(chart, this);
  view->setRenderHint(QPainter::Antialiasing);
  view->setGeometry(area->geometry());
  area->hide();
  view->show();
  chart_ = view;
}

QString CStatsDlg::TabSeparated() const {
  QString out;
  for (const QTreeWidget* table : {plotTable(), speakerTable()}) {
    QStringList cells;
    for (int column = 0; column < table->columnCount(); ++column) {
      cells << table->headerItem()->text(column);
    }
    out += cells.join(QLatin1Char('\t')) + QLatin1Char('\n');
    for (int row = 0; row < table->topLevelItemCount(); ++row) {
      cells.clear();
      const QTreeWidgetItem* item = table->topLevelItem(row);
      for (int column = 0; column < table->columnCount(); ++column) {
        // A name holding a TAB or a line break would split the pasted row.
        QString cell = item->text(column);
        cell.replace(QLatin1Char('\t'), QLatin1Char(' '))
            .replace(QLatin1Char('\n'), QLatin1Char(' '));
        cell.remove(QLatin1Char('\r'));
        cells << cell;
      }
      out += cells.join(QLatin1Char('\t')) + QLatin1Char('\n');
    }
    out += QLatin1Char('\n');
  }
  return out;
}

void CStatsDlg::OnCopy() {
  QApplication::clipboard()->setText(TabSeparated());
}
