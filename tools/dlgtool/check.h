// The problems `dlgtool check` reports: what a team wants to hear about before a game ships.
//
// Per line, in plot order and member order: an ID that an earlier line already has (the writer
// keeps only the first), an ID outside its plot's range, a text longer than 4095 bytes (the
// format's warning threshold), a sound name longer than the 250 bytes the line editor accepts,
// and, with a configuration, a speaker it does not list or an expression its speaker does not
// have. Per plot: a name longer than the 63 bytes of its file field, a name that an earlier plot
// already has. For the document: a game name longer than the 31 bytes of its field.
#pragma once

#include <string>
#include <vector>

#include "model/dlg_file.h"
#include "model/qh_list.h"
#include "model/speaker_entry.h"

namespace dlgtool {

struct Finding {
  int plot = -1;  // plot number in list order; -1 for the document or the configuration
  std::string plotName;
  bool hasId = false;
  int id = -1;
  std::string problem;
};

// The speakers of a Parlatrix.ini; `complete` is false when its load stopped early, in which
// case the editor offers none of them.
struct SpeakerConfig {
  std::string path;
  const CQHList<SpeakerEntry>* speakers = nullptr;
  bool complete = true;
};

// Every finding, in document order. `config` may be nullptr: speakers and expressions are then
// not checked.
std::vector<Finding> CheckDocument(const CDlgFile& doc, const SpeakerConfig* config);

// `plot 2 "Name", ID 17: problem`, `plot 2 "Name": problem` or `problem`.
std::string FormatFinding(const Finding& finding);

}  // namespace dlgtool
