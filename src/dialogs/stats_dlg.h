// CStatsDlg: what the open document's script costs, for a producer (dlgtool stats shows the same
// counts; docs/stats.md states the rule). Two tables, per plot and per speaker (lines, words,
// characters, characters with spaces, empty texts, lines without a sound, spoken minutes), a bar
// chart of words per speaker with the minutes in its labels, and 복사, which puts both tables on
// the clipboard as tab-separated text that pastes into a spreadsheet.
//
// The counts are a snapshot: the dialog is modal, nothing changes the document while it is open.
#pragma once

#include <QString>

#include "exchange/stats.h"
#include "model/dlg_file.h"
#include "toolkit/dialog.h"

class QTreeWidget;

class CStatsDlg : public toolkit::CDialog {
  Q_OBJECT

 public:
  enum ControlId {
    kPlotLabel = 1,
    kPlots,
    kSpeakerLabel,
    kSpeakers,
    kChartArea,
    kCopy,
    kClose,
  };

  CStatsDlg(const CDlgFile& document, const std::string& codeset, toolkit::Prompts& prompts,
            QWidget* parent = nullptr);
  ~CStatsDlg() override;

  static const toolkit::DialogTemplate& Template();
  QTreeWidget* plotTable() const;
  QTreeWidget* speakerTable() const;
  QWidget* chart() const { return chart_; }

  const exchange::StatsReport& byPlot() const { return byPlot_; }
  const exchange::StatsReport& bySpeaker() const { return bySpeaker_; }
  // Both tables as tab-separated lines with their headers, what 복사 copies.
  QString TabSeparated() const;

 public slots:
  void OnCopy();

 protected:
  bool OnInitDialog() override;

 private:
  void FillTable(QTreeWidget* table, const exchange::StatsReport& report, bool plots);
  void BuildChart();

  const CDlgFile& document_;
  std::string codeset_;
  exchange::StatsReport byPlot_;
  exchange::StatsReport bySpeaker_;
  QWidget* chart_ = nullptr;
};
