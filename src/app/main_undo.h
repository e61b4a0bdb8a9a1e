// The main window's undo history: every change to the document made in the window (add, delete,
// edit or rename a plot, the game name, the multi-line option, an import, a replace) is one
// QUndoCommand on the window's QUndoStack.
//
// Each command is pushed after its change is made (the window's commands show their own messages
// and may fail before anything changes), so the first redo() that QUndoStack::push calls does
// nothing. Plots and lines are addressed by place (model/document_edits.h), never by node.
#pragma once

#include <QUndoCommand>
#include <string>
#include <vector>

#include "model/document_edits.h"

class CMainDlg;

namespace app {

class DocumentCommand : public QUndoCommand {
 public:
  explicit DocumentCommand(CMainDlg& window) : window_(window) {}
  void redo() final;
  void undo() final;

 protected:
  virtual void Apply(bool undo) = 0;
  CMainDlg& window_;

 private:
  bool pushed_ = false;  // the change is in place when the command is pushed
};

// A plot added at `index` with no lines.
class AddPlotCommand : public DocumentCommand {
 public:
  AddPlotCommand(CMainDlg& window, int index, std::string name);

 protected:
  void Apply(bool undo) override;

 private:
  int index_;
  std::string name_;
};

// The plot at `index` deleted with its lines.
class DeletePlotCommand : public DocumentCommand {
 public:
  DeletePlotCommand(CMainDlg& window, int index, PlotSnapshot before);

 protected:
  void Apply(bool undo) override;

 private:
  int index_;
  PlotSnapshot before_;
};

// The plot at `index` changed in the line editor: name, range, lines.
class EditPlotCommand : public DocumentCommand {
 public:
  EditPlotCommand(CMainDlg& window, int index, PlotSnapshot before, PlotSnapshot after);

 protected:
  void Apply(bool undo) override;

 private:
  int index_;
  PlotSnapshot before_;
  PlotSnapshot after_;
};

// Texts of lines anywhere in the document (an import, a replace).
class LineEditsCommand : public DocumentCommand {
 public:
  LineEditsCommand(CMainDlg& window, std::vector<LineEdit> edits);

 protected:
  void Apply(bool undo) override;

 private:
  std::vector<LineEdit> edits_;
};

// The game name field or the multi-line box.
class WindowValueCommand : public DocumentCommand {
 public:
  WindowValueCommand(CMainDlg& window, std::string oldName, std::string newName);
  WindowValueCommand(CMainDlg& window, bool oldMultiLine, bool newMultiLine);

 protected:
  void Apply(bool undo) override;

 private:
  bool isName_;
  std::string oldName_, newName_;
  bool oldMultiLine_ = false, newMultiLine_ = false;
};

}  // namespace app
