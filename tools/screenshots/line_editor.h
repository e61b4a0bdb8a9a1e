// The README's picture of the line editor (make screenshots).
#pragma once

#include <string>

// Writes dir/line-editor.png: the line editor on a plot of Korean and Chinese lines, with the
// speakers of examples/Parlatrix.ini (`english`: English lines, examples/en/Parlatrix.ini). False
// when it could not be made.
bool WriteLineEditorScreenshot(const std::string& dir, bool english);
