// The configuration loader: speakers and their expressions from Parlatrix.ini.
//
// A complete file holds, in this order: [PARLATRIX] with HEADCOUNT; [FACE] with FACECOUNT and
// one FACE=<name> line per expression name (the table, indices 0 to 99); then for each speaker s
// from 0 a section [FACE%03d] with NAME, COUNT and COUNT lines FACE=<index into the table>.
// docs/config-format.md has the details and an example.
#pragma once

#include "model/qh_list.h"
#include "model/speaker_entry.h"

// The configuration file, looked up in the current directory when the loader runs.
inline constexpr char kSpeakerConfigName[] = "Parlatrix.ini";

// Size of the expression-name table.
inline constexpr int kExpressionSlots = 100;

// Reads Parlatrix.ini from the current directory and appends one entry per speaker to `entries`.
// True when the load ran to its end: every speaker section was found. Only then should a speaker
// list be filled from the entries. When it stops early the speakers read so far stay in `entries`.
// A missing file, HEADCOUNT or FACECOUNT loads nothing.
[[nodiscard]] bool LoadSpeakerConfig(CQHList<SpeakerEntry>& entries);

// The same from a file named by `path`.
[[nodiscard]] bool LoadSpeakerConfigFrom(const char* path, CQHList<SpeakerEntry>& entries);
