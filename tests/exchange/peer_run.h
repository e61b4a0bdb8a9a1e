// Runs the peer tools of the exchange tests (gettext, xmllint, Python with polib, lxml and csv,
// translate-toolkit) and dlgtool as processes, the way a translator's pipeline does.
#pragma once

#include <string>

namespace exchangetest {

struct PeerRun {
  int status = -1;
  std::string out;
  std::string err;
};

// Runs `command` through /bin/sh in `dir`; stdout and stderr are collected.
PeerRun RunIn(const std::string& dir, const std::string& command);

// Runs /usr/bin/python3 on `script` (a program text) with `args` in `dir`.
PeerRun RunPython(const std::string& dir, const std::string& script, const std::string& args);

// The built dlgtool, quoted for the shell.
std::string Dlgtool();

// Lower-case hexadecimal of the bytes.
std::string Hex(const std::string& bytes);

}  // namespace exchangetest
