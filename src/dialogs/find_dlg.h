// CFindDlg: finds lines over all plots of the open document. The user types a text, picks the
// fields to search (texts, speakers, sound names, IDs) and presses 찾기; the result list shows
// plot, ID, speaker and text of every line found, in document order. Enter on a result, or a
// double-click, ends the dialog with kIdOk and `chosenPlot`/`chosenRow` naming it; the opener then
// opens the line editor there.
//
// Matching is that of search/line_search.h: bytes of the document's code page, ASCII letters in
// either case. The results are a snapshot: the dialog is modal, nothing changes the document
// while it is open.
#pragma once

#include <string>
#include <vector>

#include "model/dlg_file.h"
#include "search/line_search.h"
#include "toolkit/dialog.h"

class QTreeWidget;

class CFindDlg : public toolkit::CDialog {
  Q_OBJECT

 public:
  enum ControlId {
    kTextLabel = 1,
    kText,
    kInText,
    kInSpeaker,
    kInSound,
    kInId,
    kSearch,
    kResults,
    kCount,
    kClose,
  };

  CFindDlg(CDlgFile& document, toolkit::Prompts& prompts, QWidget* parent = nullptr);
  ~CFindDlg() override;

  static const toolkit::DialogTemplate& Template();
  QTreeWidget* resultList() const;

  // Values, in the order of the dialog's controls.
  std::string text;
  bool inText = true;
  bool inSpeaker = false;
  bool inSound = false;
  bool inId = false;

  // The result the user opened: the plot (and its name) and the line's place in it. Valid after
  // kIdOk.
  PlotPos chosenPlotPos = nullptr;
  std::string chosenPlot;
  int chosenRow = -1;

  const std::vector<SearchHit>& hits() const { return hits_; }

 public slots:
  void OnSearch();
  // Opens the result at `index` of the list; nothing for an index outside it.
  void OnOpenResult(int index);

 protected:
  void DoDataExchange(toolkit::CDataExchange& dx) override;
  bool OnInitDialog() override;
  // Enter: opens the current result while the result list has the focus, otherwise searches.
  void OnOK() override;

 private:
  CDlgFile& document_;
  std::vector<SearchHit> hits_;
};
