// dlgtool check: problems in a dialogue file that a team wants to hear about before shipping.
#include <clocale>
#include <cstdio>

#include "check.h"
#include "commands.h"
#include "document_io.h"
#include "exchange/codeset_probe.h"
#include "exchange/recoder.h"
#include "length_check.h"
#include "config/speaker_config.h"
#include "output.h"
#include "parlatrix/runtime.h"
#include "platform/file_read.h"
#include "sound_check.h"
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

int RunCheck(const std::string& file, const CheckOptions& options) {
  LengthLimit lengthLimit;
  if (!options.maxLength.empty() && !ParseLengthLimit(options.maxLength, lengthLimit)) {
    Message("--max-length %s: expected N or N:characters, N:bytes, N:utf16 (N at least 1)",
            options.maxLength.c_str());
    return kExitFailure;
  }
  CQHList<SpeakerEntry> speakers;
  SpeakerConfig config;
  if (!options.ini.empty()) {
    if (!CanRead(options.ini)) {
      Message("%s: cannot open the configuration: %s", options.ini.c_str(), Reason());
      return kExitFailure;
    }
    QuietDiagnostics quiet;  // an incomplete configuration is reported as a finding
    config.path = options.ini;
    config.speakers = &speakers;
    config.complete = LoadSpeakerConfigFrom(options.ini.c_str(), speakers);
  }
  SoundFolder folder;
  std::string error;
  if (!options.sounds.empty() && !ListSoundFolder(options.sounds, folder, error)) {
    Message("%s", error.c_str());
    return kExitFailure;
  }
  std::setlocale(LC_CTYPE, "");  // the document's code page is the locale's, as in the editor
  if (const exchange::Recoder recoder(options.encoding); !recoder.ok()) {
    Message("unknown encoding %s", recoder.codeset().c_str());
    return kExitFailure;
  }
  CDlgFile doc;
  DlgHeader header;
  if (!LoadDocument(file.c_str(), doc, header)) return kExitFailure;

  // The bytes first, as a game reading by ID sees them: a cut or damaged file can load cleanly.
  const size_t damage = PrintStructureFindings(file);
  std::vector<Finding> findings;
  // Texts the editor would show with replacement marks and every export would refuse.
  const exchange::CodesetProbe probe = exchange::ProbeCodeset(doc, options.encoding);
  if (!probe.valid) {
    findings.emplace_back();
    findings.back().problem = exchange::CodesetWarning(probe, options.encoding);
  }
  // What a game gets from the runtime: UTF-8 only when every name and text is.
  if (options.requireUtf8) {
    prx_file* game = nullptr;
    if (prx_open(file.c_str(), &game, nullptr) == PRX_OK &&
        prx_text_encoding(game) != PRX_ENCODING_UTF8) {
      findings.emplace_back();
      findings.back().problem =
          "names or texts are not valid UTF-8 (--require-utf8); dlgtool recode converts the file";
    }
    prx_close(game);  // a file the runtime cannot open is reported by the structural check above
  }
  for (Finding& finding : CheckDocument(doc, options.ini.empty() ? nullptr : &config)) {
    findings.push_back(std::move(finding));
  }
  if (!options.maxLength.empty()) {
    for (Finding& finding : CheckLengths(doc, lengthLimit, options.encoding)) {
      findings.push_back(std::move(finding));
    }
  }
  if (!options.sounds.empty()) {
    for (Finding& finding : CheckSounds(doc, folder, std::string(), options.encoding)) {
      findings.push_back(std::move(finding));
    }
  }
  std::string out;
  for (const Finding& finding : findings) out += file + ": " + FormatFinding(finding) + "\n";
  PrintResult(out);
  const size_t total = damage + findings.size();
  if (total == 0) return kExitSuccess;
  Message("%s: %zu problem%s", file.c_str(), total, total == 1 ? "" : "s");
  return kExitFinding;
}

}  // namespace dlgtool
