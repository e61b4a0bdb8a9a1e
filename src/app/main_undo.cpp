#include "app/main_undo.h"

#include "app/main_dlg.h"
#include "platform/debug_output.h"

namespace app {

namespace {

void Report(bool done, const char* what) {
  // Only memory can run out here; the window then shows what the document holds.
  if (!done) platform::DebugOutput("CMainDlg::Undo() Error (0) : %s failed!\n", what);
}

}  // namespace

void DocumentCommand::redo() {
  if (!pushed_) {
    pushed_ = true;
    return;
  }
  Apply(false);
}

void DocumentCommand::undo() {
  Apply(true);
}

AddPlotCommand::AddPlotCommand(CMainDlg& window, int index, std::string name)
    : DocumentCommand(window), index_(index), name_(std::move(name)) {}

void AddPlotCommand::Apply(bool undo) {
  CDlgFile& document = window_.context().document;
  if (undo) {
    (void)document.DeletePlot(PlotAt(document, index_));
    window_.ShowDocumentAgain(-1);
    return;
  }
  Report(document.InsertPlot(PlotAt(document, index_), name_.c_str(), -1, -1) != nullptr,
         "Add plot");
  window_.ShowDocumentAgain(index_);
}

DeletePlotCommand::DeletePlotCommand(CMainDlg& window, int index, PlotSnapshot before)
    : DocumentCommand(window), index_(index), before_(std::move(before)) {}

void DeletePlotCommand::Apply(bool undo) {
  CDlgFile& document = window_.context().document;
  if (undo) {
    Report(InsertPlotSnapshot(document, index_, before_) != nullptr, "Delete plot");
    window_.ShowDocumentAgain(index_);
    return;
  }
  (void)document.DeletePlot(PlotAt(document, index_));
  window_.ShowDocumentAgain(-1);
}

EditPlotCommand::EditPlotCommand(CMainDlg& window, int index, PlotSnapshot before,
                                 PlotSnapshot after)
    : DocumentCommand(window),
      index_(index),
      before_(std::move(before)),
      after_(std::move(after)) {}

void EditPlotCommand::Apply(bool undo) {
  CDlgFile& document = window_.context().document;
  const PlotPos plot = PlotAt(document, index_);
  if (plot != nullptr) Report(RestorePlot(document, plot, undo ? before_ : after_), "Edit plot");
  window_.ShowDocumentAgain(index_);
}

LineEditsCommand::LineEditsCommand(CMainDlg& window, std::vector<LineEdit> edits)
    : DocumentCommand(window), edits_(std::move(edits)) {}

void LineEditsCommand::Apply(bool undo) {
  Report(ApplyLineEdits(window_.context().document, edits_, undo), "Line texts");
  window_.ShowDocumentAgain(-2);
}

WindowValueCommand::WindowValueCommand(CMainDlg& window, std::string oldName, std::string newName)
    : DocumentCommand(window),
      isName_(true),
      oldName_(std::move(oldName)),
      newName_(std::move(newName)) {}

WindowValueCommand::WindowValueCommand(CMainDlg& window, bool oldMultiLine, bool newMultiLine)
    : DocumentCommand(window),
      isName_(false),
      oldMultiLine_(oldMultiLine),
      newMultiLine_(newMultiLine) {}

void WindowValueCommand::Apply(bool undo) {
  if (isName_) {
    window_.SetGameNameFromHistory(undo ? oldName_ : newName_);
  } else {
    window_.SetMultiLineFromHistory(undo ? oldMultiLine_ : newMultiLine_);
  }
}

}  // namespace app
