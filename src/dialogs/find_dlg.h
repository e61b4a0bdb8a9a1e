// CFindDlg: finds lines over all plots of the open document. The user types a text, picks the
// fields to search (texts, speakers, sound names, IDs) and presses 찾기; the result list shows
// plot, ID, speaker and text of every line found, in document order. Enter on a result, or a
// double-click, ends the dialog with kIdOk and `chosenPlot`/`chosenRow` naming it; the opener then
// opens the line editor there.
//
// Matching is that of search/line_search.h: bytes of the document's code page, ASCII letters in
// either case. The results are a snapshot, taken again after each replace.
//
// Replace: 바꾸기 replaces the found text by the text of the second field in the chosen fields
// (text, speaker, sound; never an ID) of the selected result's line, then selects the next result;
// 모두 바꾸기 does it in every line found. Each is one step: `recordEdits`, when set, receives
// what changed (the main window's undo history). A result longer than its field may hold is
// refused, naming the line's ID, and nothing is replaced.
#pragma once

#include <functional>
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
    kReplaceLabel,
    kReplaceText,
    kReplace,
    kReplaceAll,
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
  std::string replacement;  // the replace field

  // Receives the edits of each replace, already made to the document. May be empty.
  std::function<void(std::vector<LineEdit>)> recordEdits;
  // Occurrences and lines the last replace changed.
  size_t replacedCount = 0;
  size_t replacedLines = 0;

  // The result the user opened: the plot (and its name) and the line's place in it. Valid after
  // kIdOk.
  PlotPos chosenPlotPos = nullptr;
  std::string chosenPlot;
  int chosenRow = -1;

  const std::vector<SearchHit>& hits() const { return hits_; }

 public slots:
  void OnSearch();
  void OnReplace();
  void OnReplaceAll();
  // Opens the result at `index` of the list; nothing for an index outside it.
  void OnOpenResult(int index);

 protected:
  void DoDataExchange(toolkit::CDataExchange& dx) override;
  bool OnInitDialog() override;
  // Enter: opens the current result while the result list has the focus, otherwise searches.
  void OnOK() override;

 private:
  SearchOptions Options() const;
  // Replaces in the lines of `hits`; false (after its message) when nothing could be replaced.
  bool ReplaceIn(const std::vector<SearchHit>& hits);

  CDlgFile& document_;
  std::vector<SearchHit> hits_;
};
