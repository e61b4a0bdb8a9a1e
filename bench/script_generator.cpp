#include "script_generator.h"

#include <cstdio>
#include <random>

namespace bench {

namespace {

struct CastMember {
  const char* name;
  const char* expressions[3];
};

constexpr CastMember kCast[] = {
    {"민준", {"기본", "웃음", "놀람"}}, {"서연", {"기본", "슬픔", "웃음"}},
    {"지호", {"기본", "화남", "놀람"}}, {"李明", {"平静", "微笑", "惊讶"}},
    {"王芳", {"平静", "难过", "生气"}}, {"여관 주인", {"기본", "웃음", "피곤"}},
};
constexpr int kCastSize = sizeof(kCast) / sizeof(kCast[0]);

void AppendUtf8(std::string& out, uint32_t codePoint) {
  // Every code point used here lies in the BMP above U+0800: three bytes.
  out += static_cast<char>(0xE0 | (codePoint >> 12));
  out += static_cast<char>(0x80 | ((codePoint >> 6) & 0x3F));
  out += static_cast<char>(0x80 | (codePoint & 0x3F));
}

// Words of two to five syllables (Hangul) or characters (common CJK ideographs) separated by
// spaces, ending in punctuation, between minBytes and maxBytes long. With `lines` > 1 the text is
// cut into that many lines at word boundaries, joined by CR LF; it never begins or ends with one.
std::string MakeText(std::mt19937& rng, bool korean, int lines) {
  std::uniform_int_distribution<int> lengthPick(20, 200);
  std::uniform_int_distribution<uint32_t> hangul(0xAC00, 0xD7A3);
  std::uniform_int_distribution<uint32_t> hanzi(0x4E00, 0x62FF);
  std::uniform_int_distribution<int> wordLength(2, 5);
  const size_t target = static_cast<size_t>(lengthPick(rng));
  std::string text;
  std::vector<size_t> wordEnds;
  // The last word must still fit with its final punctuation (one byte).
  while (text.size() + 3 + 1 + 1 <= target) {
    if (!text.empty()) text += ' ';
    const int syllables = wordLength(rng);
    for (int k = 0; k < syllables && text.size() + 3 + 1 <= target; ++k) {
      AppendUtf8(text, korean ? hangul(rng) : hanzi(rng));
    }
    wordEnds.push_back(text.size());
  }
  while (text.size() + 1 < target) text += '.';
  text += korean ? '.' : '!';
  // Breaks replace the space after a word, so the byte length stays within the bounds.
  for (int cut = 1; cut < lines && wordEnds.size() > 2; ++cut) {
    const size_t at = wordEnds[cut * wordEnds.size() / lines - 1];
    if (at < text.size() && text[at] == ' ') text.replace(at, 1, "\r\n");
  }
  return text;
}

int PickLines(std::mt19937& rng) {
  const int roll = std::uniform_int_distribution<int>(0, 11)(rng);
  return roll == 0 ? 3 : roll == 1 ? 2 : 1;
}

}  // namespace

Script GenerateScript(int lineCount, uint32_t seed) {
  std::mt19937 rng(seed);
  Script script;
  const int plotCount = (lineCount + kLinesPerPlot - 1) / kLinesPerPlot;
  for (int p = 0; p < plotCount; ++p) {
    char name[64];
    std::snprintf(name, sizeof name, p % 2 == 0 ? "제%d장 여관의 밤" : "第%d章 茶馆", p + 1);
    script.plots.push_back({name, p * kIdsPerPlot, p * kIdsPerPlot + kIdsPerPlot});
  }
  script.lines.reserve(static_cast<size_t>(lineCount));
  for (int k = 0; k < lineCount; ++k) {
    const int plot = k / kLinesPerPlot;
    const CastMember& speaker = kCast[std::uniform_int_distribution<int>(0, kCastSize - 1)(rng)];
    ScriptLine line;
    line.plot = plot;
    line.item.SetSpeaker(speaker.name);
    line.item.SetExpression(speaker.expressions[std::uniform_int_distribution<int>(0, 2)(rng)]);
    char sound[32];
    std::snprintf(sound, sizeof sound, "voice/%06d.ogg", k);
    line.item.SetSound(sound);
    line.item.SetText(MakeText(rng, plot % 2 == 0, PickLines(rng)).c_str());
    script.lines.push_back(std::move(line));
  }
  return script;
}

bool BuildDocument(Script& script, CDlgFile& doc) {
  std::vector<PlotPos> plots;
  plots.reserve(script.plots.size());
  for (const ScriptPlot& plot : script.plots) {
    plots.push_back(doc.AddPlot(plot.name.c_str(), plot.rangeLow, plot.rangeHigh));
  }
  for (ScriptLine& line : script.lines) {
    const bool added = doc.AddItem(line.item, plots[static_cast<size_t>(line.plot)], nullptr);
    line.item.SetID(-1);
    if (!added) return false;
  }
  return true;
}

Translation TranslateAll(const CDlgFile& doc, uint32_t seed) {
  std::mt19937 rng(seed);
  Translation translation;
  int plot = 0;
  for (auto* p = doc.GetPlots().GetHeadPosition(); p != nullptr; p = p->next, ++plot) {
    for (auto* m = p->value.members.GetHeadPosition(); m != nullptr; m = m->next) {
      translation.ids.push_back(m->value->value.GetID());
      translation.texts.push_back(MakeText(rng, plot % 2 != 0, PickLines(rng)));
    }
  }
  return translation;
}

namespace {

bool WriteAll(const std::string& path, const std::string& bytes) {
  std::FILE* file = std::fopen(path.c_str(), "wb");
  if (file == nullptr) return false;
  const bool written = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
  return std::fclose(file) == 0 && written;
}

// A PO string: quotes, with CR and LF as \r and \n and backslashes and quotes escaped.
void AppendPoString(std::string& out, const char* text) {
  out += '"';
  for (const char* c = text; *c != 0; ++c) {
    if (*c == '\r') {
      out += "\\r";
    } else if (*c == '\n') {
      out += "\\n";
    } else {
      if (*c == '"' || *c == '\\') out += '\\';
      out += *c;
    }
  }
  out += "\"\n";
}

}  // namespace

bool WriteTranslationFile(const CDlgFile& doc, const Translation& translation,
                          const std::string& path) {
  std::string bytes;
  size_t k = 0;
  for (auto* p = doc.GetPlots().GetHeadPosition(); p != nullptr; p = p->next) {
    bytes += "*************\r\n";
    for (int m = 0; m < p->value.members.GetCount(); ++m, ++k) {
      bytes += std::to_string(translation.ids[k]) + "\r\n" + translation.texts[k] + "\r\n\r\n";
    }
  }
  return WriteAll(path, bytes);
}

bool WritePoFile(const CDlgFile& doc, const Translation& translation, const std::string& path) {
  std::string bytes = "msgid \"\"\nmsgstr \"Content-Type: text/plain; charset=UTF-8\\n\"\n\n";
  size_t k = 0;
  for (auto* p = doc.GetPlots().GetHeadPosition(); p != nullptr; p = p->next) {
    for (auto* m = p->value.members.GetHeadPosition(); m != nullptr; m = m->next, ++k) {
      bytes += "msgctxt \"" + std::to_string(translation.ids[k]) + "\"\nmsgid ";
      AppendPoString(bytes, m->value->value.GetText().c_str());
      bytes += "msgstr ";
      AppendPoString(bytes, translation.texts[k].c_str());
      bytes += '\n';
    }
  }
  return WriteAll(path, bytes);
}

}  // namespace bench
