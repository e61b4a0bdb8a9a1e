// The configuration loader on any bytes, in the plain form and in the scrambled form. Whatever the
// file holds, the loader ends, keeps every name within 255 bytes, and a content loads the same
// speakers from either form whenever it can be stored in both.
#include <cstring>
#include <string>
#include <vector>

#include "fuzz_support.h"
#include "fuzz_targets.h"
#include "config/ini_file.h"
#include "config/ini_scramble.h"
#include "config/speaker_config.h"

namespace {

constexpr size_t kMaxName = 255;

struct Loaded {
  bool complete = false;
  std::vector<std::string> names;
  std::vector<std::vector<std::string>> expressions;

  bool operator==(const Loaded& other) const {
    return complete == other.complete && names == other.names && expressions == other.expressions;
  }
};

Loaded LoadFile(const std::string& path, const std::string& bytes) {
  fuzz::WriteScratchFile(path, reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
  CQHList<SpeakerEntry> entries;
  Loaded loaded;
  loaded.complete = LoadSpeakerConfigFrom(path.c_str(), entries);
  for (auto* pos = entries.GetHeadPosition(); pos != nullptr; pos = pos->next) {
    const SpeakerEntry& speaker = pos->value;
    FUZZ_CHECK(speaker.name.size() <= kMaxName);
    loaded.names.push_back(speaker.name);
    loaded.expressions.emplace_back();
    for (auto* e = speaker.expressions.GetHeadPosition(); e != nullptr; e = e->next) {
      FUZZ_CHECK(e->value.str().size() <= kMaxName);
      loaded.expressions.back().push_back(e->value);
    }
  }
  return loaded;
}

// The scrambled form of `content` byte for byte, without the CR LF folding of ScrambleIniText.
std::string RawScrambled(const std::string& content) {
  std::string scrambled(1, static_cast<char>(kIniScrambleMarker));
  for (char c : content) scrambled.push_back(static_cast<char>(c ^ kIniScrambleKey));
  return scrambled;
}

// What the plain reader sees of a text: each CR that stands right before an LF is dropped.
std::string WithoutCrBeforeLf(const std::string& text) {
  std::string out;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') continue;
    out.push_back(text[i]);
  }
  return out;
}

}  // namespace

int FuzzConfig(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  fuzz::QuietDebugOutput quiet;
  const std::string content(reinterpret_cast<const char*>(data + 1), size - 1);
  const std::string plainPath = fuzz::ScratchFile("plain.ini");
  const std::string scrambledPath = fuzz::ScratchFile("scrambled.ini");

  if ((data[0] & 1) != 0) {
    LoadFile(scrambledPath, RawScrambled(content));
    return 0;
  }
  const Loaded plain = LoadFile(plainPath, content);
  std::string scrambled, error;
  if (!ScrambleIniText(content, scrambled, error)) return 0;
  FUZZ_CHECK(FileIsScrambled(plainPath.c_str()) == 0);
  const Loaded fromScrambled = LoadFile(scrambledPath, scrambled);
  FUZZ_CHECK(FileIsScrambled(scrambledPath.c_str()) == 1);
  FUZZ_CHECK(fromScrambled == plain);
  std::string unscrambled;
  FUZZ_CHECK(UnscrambleIniText(scrambled, unscrambled, error));
  FUZZ_CHECK(unscrambled == WithoutCrBeforeLf(content));
  return 0;
}
