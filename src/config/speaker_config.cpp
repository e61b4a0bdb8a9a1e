#include "config/speaker_config.h"

#include <cstdio>
#include <string>

#include "config/ini_file.h"

namespace {

// Longest name kept: a NAME or FACE value is cut to 255 bytes.
constexpr int kNameBuffer = 256;

// Reads the first min(count, 100) FACE names of the table. A FACECOUNT above the table's size
// reads only as many names as it holds; the end of the file leaves the remaining names empty.
// The speakers' expressions share these names (see ExpressionName): what the loader keeps grows
// by a list node per FACE line, whatever the length of the name it refers to.
void ReadExpressionTable(CIniFile& ini, int count, ExpressionName* table) {
  for (int i = 0; i < count && i < kExpressionSlots; ++i) {
    char name[kNameBuffer];
    if (!ini.ReadLine("FACE", name, sizeof(name))) return;
    table[i] = ExpressionName(std::string(name));
  }
}

// Reads NAME, COUNT and the speaker's FACE indices into a new entry at the end of `entries`.
// A NAME missing at the end of the file gives an empty name, a missing COUNT no expressions; an
// index outside the table adds an empty expression name. False when out of memory.
bool ReadSpeaker(CIniFile& ini, const ExpressionName* table, CQHList<SpeakerEntry>& entries) {
  char name[kNameBuffer];
  if (!ini.ReadLine("NAME", name, sizeof(name))) name[0] = 0;
  int count = 0;
  if (!ini.ReadInt("COUNT", count)) count = 0;

  auto* node = entries.AddTail();
  if (node == nullptr) return false;
  SpeakerEntry& speaker = node->value;
  speaker.name = name;
  // A COUNT of any size ends at the end of the file: the first FACE that cannot be read stops it.
  for (int j = 0; j < count; ++j) {
    int index = -1;
    if (!ini.ReadInt("FACE", index)) break;
    const bool inTable = index >= 0 && index < kExpressionSlots;
    if (speaker.expressions.AddTail(inTable ? table[index] : ExpressionName()) == nullptr) {
      return false;
    }
  }
  return true;
}

}  // namespace

bool LoadSpeakerConfig(CQHList<SpeakerEntry>& entries) {
  return LoadSpeakerConfigFrom(kSpeakerConfigName, entries);
}

bool LoadSpeakerConfigFrom(const char* path, CQHList<SpeakerEntry>& entries) {
  ExpressionName table[kExpressionSlots];
  CIniFile ini;
  if (!ini.OpenFileRead(path)) return false;
  // The two section headers only move the reader forward; the keys are what counts.
  (void)ini.ReadSection("PARLATRIX");
  int headCount = 0;
  if (!ini.ReadInt("HEADCOUNT", headCount)) return false;
  (void)ini.ReadSection("FACE");
  int faceCount = 0;
  if (!ini.ReadInt("FACECOUNT", faceCount)) return false;
  ReadExpressionTable(ini, faceCount, table);

  // A HEADCOUNT of any size ends at the end of the file: the first missing section stops it.
  for (int s = 0; s < headCount; ++s) {
    char section[32];
    std::snprintf(section, sizeof(section), "FACE%03d", s);
    if (!ini.ReadSection(section)) return false;
    if (!ReadSpeaker(ini, table, entries)) return false;
  }
  return true;
}
