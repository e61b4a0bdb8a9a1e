// Captures the debug output channel for the lifetime of the object.
#pragma once

#include <string>
#include <vector>

#include "platform/debug_output.h"

class DebugCapture {
 public:
  DebugCapture();
  ~DebugCapture();
  DebugCapture(const DebugCapture&) = delete;
  DebugCapture& operator=(const DebugCapture&) = delete;

  const std::vector<std::string>& lines() const { return lines_; }
  void clear() { lines_.clear(); }

 private:
  std::vector<std::string> lines_;
  platform::DebugSink previous_;
};
