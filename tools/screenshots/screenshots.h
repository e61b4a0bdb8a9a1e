// The README's screenshots, written by parlatrix-screenshots (make screenshots). Each picture is a
// dialog on the offscreen platform under a plain caption bar drawn here, as that platform has no
// window manager to draw one.
#pragma once

#include <string>

class QWidget;

// Writes every screenshot into `dir`; 0 on success, 1 when one could not be made. `english`: the
// English demo document (examples/en/), for the pictures of the English interface.
int WriteScreenshots(const std::string& dir, bool english);

// One picture of `window`, shown, with its icon and title above it, saved as dir/name.
bool SaveScreenshot(QWidget* window, const std::string& dir, const char* name);

// The new-file dialog and the export question, taken from the running commands.
bool WriteFileCommandScreenshots(const std::string& dir);

// The demo folder (with demo.dlg and Parlatrix.ini) of the language.
std::string ExamplesFolder(bool english);
