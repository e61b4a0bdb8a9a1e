// dlgtool check: problems in a dialogue file that a team wants to hear about before shipping.
#include <cstdio>

#include "check.h"
#include "commands.h"
#include "document_io.h"
#include "interchange/speaker_config.h"
#include "output.h"
#include "platform/file_read.h"
#include "structure_notes.h"

namespace dlgtool {

namespace {

// Regular files only: `--ini /dev/zero` would otherwise be read without end.
bool CanRead(const std::string& path) {
  std::FILE* file = platform::OpenRegularFileForReading(path.c_str());
  if (file == nullptr) return false;
  std::fclose(file);
  return true;
}

}  // namespace

int RunCheck(const std::string& file, const std::string& ini) {
  CQHList<SpeakerEntry> speakers;
  SpeakerConfig config;
  if (!ini.empty()) {
    if (!CanRead(ini)) {
      Message("%s: cannot open the configuration: %s", ini.c_str(), Reason());
      return kExitFailure;
    }
    QuietDiagnostics quiet;  // an incomplete configuration is reported as a finding
    config.path = ini;
    config.speakers = &speakers;
    config.complete = LoadSpeakerConfigFrom(ini.c_str(), speakers);
  }
  CDlgFile doc;
  DlgHeader header;
  if (!LoadDocument(file.c_str(), doc, header)) return kExitFailure;

  // The bytes first, as a game reading by ID sees them: a cut or damaged file can load cleanly.
  const size_t damage = PrintStructureFindings(file);
  const std::vector<Finding> findings = CheckDocument(doc, ini.empty() ? nullptr : &config);
  std::string out;
  for (const Finding& finding : findings) out += file + ": " + FormatFinding(finding) + "\n";
  PrintResult(out);
  const size_t total = damage + findings.size();
  if (total == 0) return kExitSuccess;
  Message("%s: %zu problem%s", file.c_str(), total, total == 1 ? "" : "s");
  return kExitFinding;
}

}  // namespace dlgtool
