// A step of an undo history (QUndoStack) made of two functions. The change is made by the
// command before the step is pushed (commands show their own messages and may stop before
// changing anything), so the redo that QUndoStack::push calls at once does nothing.
#pragma once

#include <QUndoCommand>
#include <functional>
#include <utility>

namespace toolkit {

class UndoStep : public QUndoCommand {
 public:
  UndoStep(std::function<void()> undo, std::function<void()> redo)
      : undo_(std::move(undo)), redo_(std::move(redo)) {}

  void undo() override { undo_(); }
  void redo() override {
    if (!pushed_) {
      pushed_ = true;
      return;
    }
    redo_();
  }

 private:
  std::function<void()> undo_;
  std::function<void()> redo_;
  bool pushed_ = false;
};

}  // namespace toolkit
