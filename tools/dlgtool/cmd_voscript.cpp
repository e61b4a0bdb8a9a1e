// dlgtool voscript: the voice-over script of a dialogue file, as XLSX or CSV, with the sound checks
// when a folder of sound files is given. Findings of the sound checks go to stderr and make the
// exit status 1; the script is written all the same, since a studio records from it while the
// missing files are being made.
#include <clocale>

#include "commands.h"
#include "document_io.h"
#include "exchange/voscript.h"
#include "output.h"
#include "sound_check.h"
#include "write_rules.h"

namespace dlgtool {

int RunVoscript(const std::string& file, const std::string& out, const VoscriptOptions& options) {
  exchange::ScriptFormat format;
  if (!exchange::ScriptFormatFromPath(out, format)) {
    Message("%s: the script is written as .xlsx or .csv only", out.c_str());
    return kExitFailure;
  }
  std::setlocale(LC_CTYPE, "");  // the document's code page is the locale's, as in the editor
  SoundFolder folder;
  std::string error;
  if (!options.sounds.empty() && !ListSoundFolder(options.sounds, folder, error)) {
    Message("%s", error.c_str());
    return kExitFailure;
  }
  CDlgFile doc;
  DlgHeader header;
  if (!LoadDocument(file.c_str(), doc, header)) return kExitFailure;
  if (RefuseTarget(out, TargetKind::kOther, {file}, "a script") ||
      RefuseDamagedInput(file, "the script")) {
    return kExitFailure;
  }
  exchange::ScriptOptions scriptOptions;
  scriptOptions.codeset = options.encoding;
  scriptOptions.plot = options.plot;
  exchange::ScriptSet set;
  if (!exchange::CollectScript(doc, scriptOptions, set, error) ||
      !exchange::WriteScriptFile(set, out, format, error)) {
    Message("%s; nothing written", error.c_str());
    return kExitFailure;
  }
  if (options.sounds.empty()) return kExitSuccess;
  const std::vector<Finding> findings = CheckSounds(doc, folder, options.plot, options.encoding);
  for (const Finding& finding : findings) {
    Message("%s: %s", file.c_str(), FormatFinding(finding).c_str());
  }
  return findings.empty() ? kExitSuccess : kExitFinding;
}

}  // namespace dlgtool
