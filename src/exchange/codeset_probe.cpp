#include "exchange/codeset_probe.h"

#include <strings.h>

#include "exchange/recoder.h"

namespace exchange {
namespace {

std::string_view View(const CPlainString& text) {
  return std::string_view(text.c_str(), static_cast<size_t>(text.GetLength()));
}

// The first field `recoder` rejects, as a message's subject; empty when it takes them all.
std::string FirstInvalid(const CDlgFile& doc, const Recoder& recoder) {
  std::string scratch;
  const auto bad = [&](const CPlainString& text) { return !recoder.ToUtf8(View(text), scratch); };
  if (bad(doc.GetGameName())) return "the game name";
  int number = 0;
  for (PlotPos p = doc.GetFirstPlot(); p != nullptr; p = p->next, ++number) {
    if (bad(p->value.name)) return "the name of plot " + std::to_string(number);
  }
  for (auto* pos = doc.GetLines().GetHeadPosition(); pos != nullptr; pos = pos->next) {
    const CDlgItem& line = pos->value;
    const struct {
      const char* label;
      const CPlainString& field;
    } fields[] = {{"speaker", line.speaker},
                  {"expression", line.expression},
                  {"sound", line.sound},
                  {"text", line.text}};
    for (const auto& field : fields) {
      if (bad(field.field)) return "ID " + std::to_string(line.id) + ": " + field.label;
    }
  }
  return std::string();
}

}  // namespace

CodesetProbe ProbeCodeset(const CDlgFile& doc, const std::string& codeset) {
  CodesetProbe probe;
  const Recoder current(codeset);
  if (!current.ok()) return probe;
  probe.where = FirstInvalid(doc, current);
  probe.valid = probe.where.empty();
  if (probe.valid) return probe;
  for (const char* candidate : kProbedCodesets) {
    if (strcasecmp(candidate, current.codeset().c_str()) == 0) continue;
    const Recoder other(candidate);
    if (other.ok() && FirstInvalid(doc, other).empty()) {
      probe.likely = candidate;
      break;
    }
  }
  return probe;
}

std::string CodesetWarning(const CodesetProbe& probe, const std::string& codeset) {
  const std::string name = codeset.empty() ? LocaleCodeset() : codeset;
  std::string out = probe.where + " is not valid " + name + " text; ";
  if (!probe.likely.empty()) {
    return out + "the names and texts decode as " + probe.likely + " (--encoding " + probe.likely +
           ")";
  }
  out += "none of ";
  for (size_t k = 0; k < std::size(kProbedCodesets); ++k) {
    if (k > 0) out += k + 1 == std::size(kProbedCodesets) ? " and " : ", ";
    out += kProbedCodesets[k];
  }
  return out + " decodes all of them";
}

}  // namespace exchange
