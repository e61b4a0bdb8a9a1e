#include "peer_run.h"

#include <sys/wait.h>

#include <cstdlib>

#include "support/temp_dir.h"

namespace exchangetest {

PeerRun RunIn(const std::string& dir, const std::string& command) {
  PeerRun run;
  const std::string out = dir + "/.peer-out";
  const std::string err = dir + "/.peer-err";
  const std::string line = "cd '" + dir + "' && (" + command + ") >'" + out + "' 2>'" + err + "'";
  const int status = std::system(line.c_str());
  if (status != -1 && WIFEXITED(status)) run.status = WEXITSTATUS(status);
  run.out = ReadFileBytes(out);
  run.err = ReadFileBytes(err);
  return run;
}

PeerRun RunPython(const std::string& dir, const std::string& script, const std::string& args) {
  WriteFileBytes(dir + "/.peer-script.py", script);
  return RunIn(dir, "/usr/bin/python3 .peer-script.py " + args);
}

std::string Dlgtool() {
  return std::string("'") + DLGTOOL_PATH + "'";
}

std::string Hex(const std::string& bytes) {
  static const char digits[] = "0123456789abcdef";
  std::string out;
  for (const unsigned char c : bytes) {
    out += digits[c >> 4];
    out += digits[c & 15];
  }
  return out;
}

}  // namespace exchangetest
