// A context of its own for each UI test: document, reader, pending lists and scripted prompts.
#pragma once

#include <QApplication>
#include <QDialog>
#include <QTimer>
#include <functional>

#include "app/app_context.h"
#include "toolkit/scripted_prompts.h"

struct TestAppContext {
  CDlgFile document;
  CDlgItemReader reader;
  CQHList<LinePos> pendingAdditions;
  CQHList<LinePos> pendingDeletions;
  toolkit::ScriptedPrompts prompts;
  AppContext context{document, reader, pendingAdditions, pendingDeletions, prompts, {}};
};

// Runs `step` on the modal dialog that is open when the event loop next runs (a nested exec()).
inline void OnNextModal(std::function<void(QDialog*)> step) {
  QTimer::singleShot(0, [step] {
    auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
    step(dialog);
  });
}
