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
void AppendXml(std::string& out, std::string_view text, bool inText) {
  int placeholder = 0;
  size_t run = 0;
  size_t i = 0;
  while (i < text.size()) {
    const unsigned char c = static_cast<unsigned char>(text[i]);
    size_t len = 1;
    unsigned int cp = c;
    if (c >= 0x80) {
      cp = CodePoint(text, i, len);
      // (cp < 0x80 only from a malformed sequence; the switch below treats it as before)
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
        std::snprintf(buffer, sizeof(buffer), "<x id=\"c%d\" ctype=\"x-char-%04X\"/>",
                      ++placeholder, cp);
        out += buffer;
      } else {
        out += "\xEF\xBF\xBD";
      }
    } else {
      switch (cp) {
        case '&':
          out += "&amp;";
          break;
        case '<':
          out += "&lt;";
          break;
        case '>':
          out += "&gt;";
          break;
        case '"':
          out += inText ? "\"" : "&quot;";
          break;
        case '\r':
          out += "&#13;";
          break;
        case '\n':
          out += inText ? "\n" : "&#10;";
          break;
        case '\t':
          out += inText ? "\t" : "&#9;";
          break;
        default:
          out.append(text.substr(i, len));
      }
    }
    i += len;
    run = i;
  }
  if (run < text.size()) out.append(text.substr(run));
}

}  // namespace

std::string WriteXliff(const ExportSet& set) {
  std::string out;
  size_t estimate = 1024;
  for (const ExportUnit& unit : set.units) {
    estimate += 160 + unit.text.size() + unit.target.size() + unit.notes.size() * 2;
  }
  out.reserve(estimate);
  out +=
      "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
      "<xliff version=\"1.2\" xmlns=\"urn:oasis:names:tc:xliff:document:1.2\">\n"
      " <file original=\"";
  AppendXml(out, set.original, false);
  out += "\" source-language=\"";
  AppendXml(out, set.sourceLang, false);
  out += "\" target-language=\"";
  AppendXml(out, set.targetLang, false);
  out += "\" datatype=\"plaintext\">\n  <body>\n";
  int openPlot = -1;
  for (const ExportUnit& unit : set.units) {
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
    out += "\" xml:space=\"preserve\">\n";
    out += "     <source>";
    AppendXml(out, unit.text, true);
    out += "</source>\n";
    if (unit.hasTarget) {
      out += "     <target state=\"";
      AppendXml(out, unit.state.empty() ? std::string_view("translated") : unit.state, false);
      out += "\">";
      AppendXml(out, unit.target, true);
      out += "</target>\n";
    }
    const std::string_view notes(unit.notes);
    size_t start = 0;
    while (start < notes.size()) {
      size_t end = notes.find('\n', start);
      if (end == std::string_view::npos) end = notes.size();
      out += "     <note from=\"developer\">";
      AppendXml(out, notes.substr(start, end - start), false);
      out += "</note>\n";
      start = end + 1;
    }
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
    out += "    </trans-unit>\n";
  }
  if (openPlot >= 0) out += "   </group>\n";
  out += "  </body>\n </file>\n</xliff>\n";
  return out;
}

}  // namespace exchange
