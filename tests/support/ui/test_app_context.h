// A context of its own for each UI test: document, reader, pending lists and scripted prompts.
#pragma once

#include "app/app_context.h"
#include "support/ui/scripted_prompts.h"

struct TestAppContext {
  CDlgFile document;
  CDlgItemReader reader;
  CQHList<LinePos> pendingAdditions;
  CQHList<LinePos> pendingDeletions;
  toolkit::ScriptedPrompts prompts;
  AppContext context{document, reader, pendingAdditions, pendingDeletions, prompts, {}, {}};
};
