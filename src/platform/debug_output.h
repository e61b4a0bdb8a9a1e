// The debug output channel: where the file, list and configuration classes report their failures.
//
// Each diagnostic is formatted printf-style into one text and handed, whole, to the current sink.
// The text is passed on exactly as formatted: some diagnostics end in "\n", some do not, and tests
// compare them byte for byte. The default sink writes the text to stderr (adding a line break only
// on the terminal when the text has none, so that lines do not run together there).
#pragma once

#include <functional>
#include <string>

namespace platform {

using DebugSink = std::function<void(const std::string& line)>;

// Formats one diagnostic and hands it to the sink.
void DebugOutput(const char* format, ...) __attribute__((format(printf, 1, 2)));

// Replaces the sink and returns the previous one; an empty function restores the stderr sink.
DebugSink SetDebugSink(DebugSink sink);

}  // namespace platform
