// Runs a test under another code page than the locale's, and goes back at the end.
#pragma once

#include <string>

#include "toolkit/code_page.h"

class ScopedCodeset {
 public:
  explicit ScopedCodeset(const std::string& codeset) { toolkit::SetSystemCodeset(codeset); }
  ~ScopedCodeset() { toolkit::SetSystemCodeset(""); }
  ScopedCodeset(const ScopedCodeset&) = delete;
  ScopedCodeset& operator=(const ScopedCodeset&) = delete;
};
