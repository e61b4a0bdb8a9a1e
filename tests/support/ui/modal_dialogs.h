// Driving nested modal dialogs (QDialog::exec() inside a command) from a test.
//
// OnNextDialog<T>: one step for the single dialog of class T a command opens next, run from a
// zero-delay timer inside its modal loop. ModalScript: dialogs that open one after another inside
// one command (a file dialog, then a question, then a message), one step per dialog, in order.
//
// Each step runs while its dialog is on screen and must close it. A dialog that opens when no step
// is left fails the test and is closed, so that a test fails instead of hanging in a modal loop.
#pragma once

#include <gtest/gtest.h>

#include <QApplication>
#include <QDialog>
#include <QPointer>
#include <QTimer>
#include <deque>
#include <functional>

#include "toolkit/dialog.h"

class ModalScript {
 public:
  ModalScript() {
    QObject::connect(&timer_, &QTimer::timeout, [this] { Tick(); });
    timer_.start(0);
  }
  ModalScript(const ModalScript&) = delete;
  ModalScript& operator=(const ModalScript&) = delete;

  void Then(std::function<void(QWidget*)> step) { steps_.push_back(std::move(step)); }
  bool done() const { return steps_.empty(); }

  // Closes a dialog that a step did not expect.
  static void Dismiss(QWidget* modal) {
    if (auto* dialog = qobject_cast<QDialog*>(modal)) {
      dialog->reject();
    } else {
      modal->close();
    }
  }

 private:
  void Tick() {
    QWidget* modal = QApplication::activeModalWidget();
    // A dialog already handled may still be the active one until its modal loop has returned.
    if (modal == nullptr || !modal->isVisible() || modal == handled_) return;
    handled_ = modal;
    if (steps_.empty()) {
      ADD_FAILURE() << "unexpected dialog: " << modal->windowTitle().toStdString();
      Dismiss(modal);
      return;
    }
    std::function<void(QWidget*)> step = std::move(steps_.front());
    steps_.pop_front();
    step(modal);
  }

  QTimer timer_;
  QPointer<QWidget> handled_;
  std::deque<std::function<void(QWidget*)>> steps_;
};

namespace modal_detail {

// Runs `step` on the modal dialog that is open when the event loop next runs (a nested exec()).
inline void OnNextModal(std::function<void(QDialog*)> step) {
  QTimer::singleShot(0, [step] {
    auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
    step(dialog);
  });
}

}  // namespace modal_detail

// Runs `step` on the dialog of type T that opens next; whatever the step does, the dialog is
// closed afterwards, so that a failing step cannot leave a modal loop running.
template <typename T>
void OnNextDialog(std::function<void(T&)> step) {
  modal_detail::OnNextModal([step](QDialog* modal) {
    struct Closer {
      QDialog* dialog;
      ~Closer() {
        if (dialog != nullptr && dialog->isVisible()) dialog->done(toolkit::kIdCancel);
      }
    } closer{modal};
    auto* dialog = qobject_cast<T*>(modal);
    if (dialog == nullptr) {
      ADD_FAILURE() << "the expected dialog did not open";
      return;
    }
    step(*dialog);
  });
}
