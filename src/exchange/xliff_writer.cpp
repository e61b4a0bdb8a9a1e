// XLIFF 1.2, valid against the strict schema (xliff-core-1.2-strict.xsd):
//
//   <xliff version="1.2" xmlns="urn:oasis:names:tc:xliff:document:1.2">
//    <file original=".dlg name" source-language= target-language= datatype="plaintext">
//     <body>
//      <group id="p1" resname="plot name">           one per plot that exports a line
//       <trans-unit id="ID" resname="ID" xml:space="preserve">
//        <source>text</source>
//        <target state="translated">translation</target>    only when one was given
//        <note from="developer">speaker: ...</note>           one per context item
//
// Text bytes that XML 1.0 cannot carry as characters are written so that a parser gives back the
// same bytes: CR as &#13; (a literal CR would be turned into LF by every parser), and each
// character that is no XML character at all (C0 controls other than TAB, LF, CR; U+FFFE, U+FFFF)
// as an empty placeholder <x id="cN" ctype="x-char-HHHH"/> with the code point in hexadecimal.
// CAT tools protect placeholders, and the reader maps them back. In attributes and notes, which
// are never read back, such characters become U+FFFD.
#include <cstdio>

#include "exchange/exchange_units.h"
#include "exchange/xml_escape.h"

namespace exchange {
namespace {

// Decodes the UTF-8 sequence at text[i] (valid by construction); its length in `len`.
unsigned int CodePoint(std::string_view text, size_t i, size_t& len) {
  const unsigned char c = static_cast<unsigned char>(text[i]);
  if (c < 0x80) {
    len = 1;
    return c;
  }
  len = c >= 0xF0 ? 4 : c >= 0xE0 ? 3 : 2;
  unsigned int cp = c & (0x7F >> len);
  for (size_t k = 1; k < len && i + k < text.size(); ++k) {
    cp = (cp << 6) | (static_cast<unsigned char>(text[i + k]) & 0x3F);
  }
  return cp;
}

bool IsXmlChar(unsigned int cp) {
  if (cp < 0x20) return cp == 0x9 || cp == 0xA || cp == 0xD;
  return cp != 0xFFFE && cp != 0xFFFF;
}

// Escapes for element content (`inText`, placeholders allowed) or for attributes and notes.
// Characters that need nothing are copied in runs; a run ends before the next one that does.
// `version2`: placeholders as XLIFF 2's <cp hex="HHHH"/>, else as 1.2's <x ctype="x-char-HHHH"/>.
void AppendXml(std::string& out, std::string_view text, bool inText, bool version2 = false) {
  int placeholder = 0;
  size_t run = 0;
  size_t i = 0;
  while (i < text.size()) {
    const unsigned char c = static_cast<unsigned char>(text[i]);
    size_t len = 1;
    unsigned int cp = c;
    if (c >= 0x80) {
      cp = CodePoint(text, i, len);
      // (cp < 0x80 only from a malformed sequence; the escape below treats it as before)
      if (IsXmlChar(cp) && cp >= 0x80) {
        i += len;
        continue;
      }
    } else if (c >= 0x20 && c != '&' && c != '<' && c != '>' && (inText || c != '"')) {
      ++i;
      continue;
    } else if (inText && (c == '\n' || c == '\t')) {
      ++i;
      continue;
    }
    out.append(text, run, i - run);
    if (!IsXmlChar(cp)) {
      if (inText) {
        char buffer[48];
        if (version2) {
          std::snprintf(buffer, sizeof(buffer), "<cp hex=\"%04X\"/>", cp);
        } else {
          std::snprintf(buffer, sizeof(buffer), "<x id=\"c%d\" ctype=\"x-char-%04X\"/>",
                        ++placeholder, cp);
        }
        out += buffer;
      } else {
        out += "\xEF\xBF\xBD";
      }
    } else {
      if (!AppendXmlEscape(out, cp, !inText)) out.append(text.substr(i, len));
    }
    i += len;
    run = i;
  }
  if (run < text.size()) out.append(text.substr(run));
}

// Calls `each(line)` for every LF-separated line of the context notes.
template <typename Each>
void ForEachNote(std::string_view notes, const Each& each) {
  size_t start = 0;
  while (start < notes.size()) {
    size_t end = notes.find('\n', start);
    if (end == std::string_view::npos) end = notes.size();
    each(notes.substr(start, end - start));
    start = end + 1;
  }
}

// Elements kept from the file being updated (already XML, one to a line), on a line of their own
// at `indent`; nothing when there are none.
void AppendKept(std::string& out, std::string_view indent, const std::string& kept) {
  if (kept.empty()) return;
  out += indent;
  out += kept;
  out += '\n';
}

size_t Estimate(const ExportSet& set) {
  size_t estimate = 1024 + set.xliffHeader.size();
  for (const ExportUnit& unit : set.units) {
    estimate += 160 + unit.text.size() + unit.target.size() + unit.notes.size() * 2 +
                unit.extraElements.size() + unit.segSource.size() + unit.altTrans.size();
  }
  return estimate;
}

// A translated target that no one has asked to look at again is approved (translate-toolkit's
// xliff2po and pomerge mark every unapproved unit fuzzy). A tool's own approved attribute, which an
// update carries over in unitAttributes, wins.
bool Approved(const ExportUnit& unit) {
  return unit.hasTarget && !unit.fuzzy && !unit.target.empty() &&
         unit.unitAttributes.find(" approved=\"") == std::string::npos;
}

bool WriteXliff12(const ExportSet& set, ChunkedOutput& output) {
  std::string& out = output.text;
  out +=
      "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
      "<xliff version=\"1.2\" xmlns=\"urn:oasis:names:tc:xliff:document:1.2\"";
  out += set.xliffRootAttributes;
  out += ">\n <file original=\"";
  AppendXml(out, set.original, false);
  out += "\" source-language=\"";
  AppendXml(out, set.sourceLang, false);
  out += "\" target-language=\"";
  AppendXml(out, set.targetLang, false);
  out += "\" datatype=\"plaintext\">\n";
  if (!set.xliffHeader.empty()) {
    out += "  <header>";
    out += set.xliffHeader;
    out += "</header>\n";
  }
  out += "  <body>\n";
  int openPlot = -1;
  for (const ExportUnit& unit : set.units) {
    if (!output.EntryBegins()) return false;
    if (unit.plot != openPlot) {
      if (openPlot >= 0) out += "   </group>\n";
      openPlot = unit.plot;
      out += "   <group id=\"p" + std::to_string(unit.plot + 1) + "\" resname=\"";
      AppendXml(out, set.plots[unit.plot], false);
      out += "\">\n";
    }
    const std::string id = std::to_string(unit.id);
    out += "    <trans-unit id=\"";
    out += id;
    out += "\" resname=\"";
    out += id;
    out += "\" xml:space=\"preserve\"";
    if (Approved(unit)) out += " approved=\"yes\"";
    out += unit.unitAttributes;
    out += ">\n     <source>";
    AppendXml(out, unit.text, true);
    out += "</source>\n";
    AppendKept(out, "     ", unit.segSource);
    if (unit.hasTarget) {
      out += "     <target state=\"";
      AppendXml(out, unit.state.empty() ? std::string_view("translated") : unit.state, false);
      out += '"';
      out += unit.targetAttributes;
      out += '>';
      AppendXml(out, unit.target, true);
      out += "</target>\n";
    }
    ForEachNote(unit.notes, [&out](std::string_view note) {
      out += "     <note from=\"developer\">";
      AppendXml(out, note, false);
      out += "</note>\n";
    });
    if (unit.fuzzy && unit.hasPrevious) {
      out += "     <note from=\"previous-source\">";
      AppendXml(out, unit.previous, false);
      out += "</note>\n";
    }
    if (!unit.comments.empty()) {
      out += "     <note from=\"translator\">";
      AppendXml(out, unit.comments, false);
      out += "</note>\n";
    }
    AppendKept(out, "     ", unit.extraElements);
    AppendKept(out, "     ", unit.altTrans);
    out += "    </trans-unit>\n";
  }
  if (openPlot >= 0) out += "   </group>\n";
  out += "  </body>\n </file>\n</xliff>\n";
  return output.Finish();
}

// The XLIFF 2 segment state of a unit: "initial" while fuzzy, else the state it was read with when
// that is one of 2.0's, else "translated".
std::string_view State2(const ExportUnit& unit) {
  if (unit.fuzzy) return "initial";
  if (unit.state == "reviewed" || unit.state == "final") return unit.state;
  return "translated";
}

// XLIFF 2.0 (core only), valid against xliff_core_2.0.xsd:
//   <xliff xmlns="urn:oasis:names:tc:xliff:document:2.0" version="2.0" srcLang= trgLang=>
//    <file id="f1" original=".dlg name">
//     <group id="p1" name="plot name">
//      <unit id="ID" name="ID" xml:space="preserve">
//       <notes><note category="developer">speaker: ...</note>...</notes>
//       <segment state="translated"><source>text</source><target>translation</target></segment>
bool WriteXliff20(const ExportSet& set, ChunkedOutput& output) {
  std::string& out = output.text;
  out +=
      "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
      "<xliff xmlns=\"urn:oasis:names:tc:xliff:document:2.0\" version=\"2.0\" srcLang=\"";
  AppendXml(out, set.sourceLang, false);
  out += "\" trgLang=\"";
  AppendXml(out, set.targetLang, false);
  out += '"';
  out += set.xliffRootAttributes;
  out += ">\n <file id=\"f1\" original=\"";
  AppendXml(out, set.original, false);
  out += "\">\n";
  int openPlot = -1;
  for (const ExportUnit& unit : set.units) {
    if (!output.EntryBegins()) return false;
    if (unit.plot != openPlot) {
      if (openPlot >= 0) out += "  </group>\n";
      openPlot = unit.plot;
      out += "  <group id=\"p" + std::to_string(unit.plot + 1) + "\" name=\"";
      AppendXml(out, set.plots[unit.plot], false);
      out += "\">\n";
    }
    const std::string id = std::to_string(unit.id);
    out += "   <unit id=\"";
    out += id;
    out += "\" name=\"";
    out += id;
    out += "\" xml:space=\"preserve\"";
    out += unit.unitAttributes;
    out += ">\n";
    AppendKept(out, "    ", unit.extraElements);
    AppendKept(out, "    ", unit.anchored);
    const bool previous = unit.fuzzy && unit.hasPrevious;
    if (!unit.notes.empty() || previous || !unit.comments.empty()) {
      out += "    <notes>\n";
      ForEachNote(unit.notes, [&out](std::string_view note) {
        out += "     <note category=\"developer\">";
        AppendXml(out, note, false);
        out += "</note>\n";
      });
      if (previous) {
        out += "     <note category=\"previous-source\">";
        AppendXml(out, unit.previous, false);
        out += "</note>\n";
      }
      if (!unit.comments.empty()) {
        out += "     <note category=\"translator\">";
        AppendXml(out, unit.comments, false);
        out += "</note>\n";
      }
      out += "    </notes>\n";
    }
    if (!unit.segments.empty()) {
      // The unit as a translator's tool split it, unchanged since it was read.
      out += "    ";
      out += unit.segments;
      out += "\n   </unit>\n";
      continue;
    }
    out += "    <segment";
    if (unit.hasTarget) {
      out += " state=\"";
      out += State2(unit);
      out += '"';
    }
    out += ">\n     <source>";
    AppendXml(out, unit.text, true, true);
    out += "</source>\n";
    if (unit.hasTarget) {
      out += "     <target>";
      AppendXml(out, unit.target, true, true);
      out += "</target>\n";
    }
    out += "    </segment>\n   </unit>\n";
  }
  if (openPlot >= 0) out += "  </group>\n";
  // A file must hold a unit or a group: a document without exported lines gives an empty group.
  if (openPlot < 0) out += "  <group id=\"p0\"/>\n";
  out += " </file>\n</xliff>\n";
  return output.Finish();
}

}  // namespace

std::string WriteXliff(const ExportSet& set) {
  ChunkedOutput output(nullptr, Estimate(set));
  (void)(set.xliffVersion == 2 ? WriteXliff20(set, output) : WriteXliff12(set, output));
  return std::move(output.text);
}

bool WriteXliff(const ExportSet& set, const ChunkSink& sink) {
  ChunkedOutput output(&sink, 0);
  return set.xliffVersion == 2 ? WriteXliff20(set, output) : WriteXliff12(set, output);
}

}  // namespace exchange
