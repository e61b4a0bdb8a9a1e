// Drives the next modal dialog of a given class from inside its modal loop.
#pragma once

#include <gtest/gtest.h>

#include <functional>

#include "app/test_app_context.h"
#include "toolkit/dialog.h"

// Runs `step` on the dialog of type T that opens next; whatever the step does, the dialog is
// closed afterwards, so that a failing step cannot leave a modal loop running.
template <typename T>
void OnNextDialog(std::function<void(T&)> step) {
  OnNextModal([step](QDialog* modal) {
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
