// XLIFF reader over pugixml, for XLIFF 1.0 to 1.2 (<trans-unit>) and 2.0/2.1 (<unit>/<segment>).
//
// pugixml builds a tree in one pass over a copy of the file (about four times faster here than a
// streaming parser that calls back per token), but it is not a validating parser and does less
// checking than XML asks. What this reader adds, before and after the parse, so that every file it
// accepts is well-formed in the ways that matter and no file can make it allocate without bound:
//  - before: the declared encoding is UTF-8 (ISO-8859-1 and US-ASCII are converted first), the
//    bytes are valid UTF-8, no byte is a character XML forbids (NUL, C0 controls but TAB, LF,
//    CR; U+FFFE, U+FFFF), and the tree the file can give, counted from its '<', '</' and '='
//    bytes, stays within kTreeBudget times its size: 20 million nested elements are refused
//    before a single node exists;
//  - the parse keeps the DOCTYPE as a node only to refuse it (no entity is ever declared, nothing
//    external is loaded); pugixml's own entity decoding is off;
//  - after: one walk over every node decodes the five predefined entities and character
//    references in place and refuses any other entity and any reference to a character XML does
//    not allow, checks attributes (no '<', no name twice) and that the document has one root.
// The walks are loops over parent and sibling links, never recursion, so depth costs no stack.
//
// Inline codes in <source>/<target>: <x ctype="x-char-HHHH"/> (1.2) and <cp hex="HHHH"/> (2.0)
// become that character again (see xliff_writer.cpp); the text of <g>, <mrk> and <pc> is kept;
// every other inline code is refused, since dropping it would change the text.
#include <strings.h>

#include <algorithm>
#include <cctype>
#include <cstring>
#include <pugixml.hpp>

#include "exchange/exchange_units.h"
#include "exchange/recoder.h"
#include "exchange/xml_escape.h"
#include "platform/utf8.h"

namespace exchange {
namespace {

// The tree may take this many times the file's bytes (besides the file and the parser's copy of
// it), with kTreeFloor for small files; see TreeEstimate.
constexpr size_t kTreeBudget = 6;
constexpr size_t kTreeFloor = 4u << 20;
// pugixml's node and attribute records on a 64-bit build (eight and five pointers).
constexpr size_t kNodeBytes = 64;
constexpr size_t kAttributeBytes = 40;

struct Fault {
  size_t offset = 0;
  std::string message;
};

bool IsXliffNamespace(std::string_view uri) {
  constexpr std::string_view kPrefix = "urn:oasis:names:tc:xliff:document:";
  return uri.substr(0, kPrefix.size()) == kPrefix;
}

std::string_view LocalName(const char* name) {
  const char* colon = std::strrchr(name, ':');
  return colon == nullptr ? std::string_view(name) : std::string_view(colon + 1);
}

// An attribute without a prefix (XLIFF's own attributes carry none).
const char* Attribute(const pugi::xml_node& node, const char* name) {
  const pugi::xml_attribute a = node.attribute(name);
  return a ? a.value() : nullptr;
}

bool ParseHex(std::string_view hex, unsigned int& cp) {
  if (hex.size() < 4 || hex.size() > 6) return false;
  cp = 0;
  for (const char h : hex) {
    if (!std::isxdigit(static_cast<unsigned char>(h))) return false;
    cp = cp * 16 + (h <= '9' ? h - '0' : (h | 0x20) - 'a' + 10);
  }
  return cp != 0 && cp <= 0x10FFFF && (cp < 0xD800 || cp > 0xDFFF);
}

// "x-char-HHHH" -> code point; false when the ctype is not one of ours or names no character.
bool PlaceholderCodePoint(const char* ctype, unsigned int& cp) {
  if (ctype == nullptr || std::strncmp(ctype, "x-char-", 7) != 0) return false;
  return ParseHex(ctype + 7, cp);
}

bool IsXmlChar(unsigned long cp) {
  if (cp < 0x20) return cp == 0x9 || cp == 0xA || cp == 0xD;
  return (cp <= 0xD7FF) || (cp >= 0xE000 && cp <= 0xFFFD) || (cp >= 0x10000 && cp <= 0x10FFFF);
}

// ---- before the parse ------------------------------------------------------------------------

// The encoding the XML declaration names, "" when there is no declaration or no encoding in it.
std::string DeclaredEncoding(std::string_view data) {
  if (data.substr(0, 5) != "<?xml") return std::string();
  const size_t end = data.find("?>");
  const std::string_view decl = data.substr(0, std::min(end, data.size()));
  const size_t at = decl.find("encoding");
  if (at == std::string_view::npos) return std::string();
  size_t i = at + 8;
  while (i < decl.size() && (decl[i] == ' ' || decl[i] == '=' || decl[i] == '\t')) ++i;
  if (i >= decl.size() || (decl[i] != '"' && decl[i] != '\'')) return std::string();
  const size_t close = decl.find(decl[i], i + 1);
  if (close == std::string_view::npos) return std::string();
  return std::string(decl.substr(i + 1, close - i - 1));
}

bool NameIs(const std::string& name, std::initializer_list<const char*> names) {
  for (const char* n : names) {
    if (strcasecmp(name.c_str(), n) == 0) return true;
  }
  return false;
}

// The file as UTF-8 in `out` (its byte order mark removed); false with `fault` for an encoding
// this reader does not take.
bool ToUtf8Buffer(std::string_view data, std::string& out, Fault& fault) {
  if (data.substr(0, 2) == "\xFE\xFF" || data.substr(0, 2) == "\xFF\xFE") {
    fault.message = "the file is UTF-16; only UTF-8 and ISO-8859-1 are read";
    return false;
  }
  if (data.substr(0, 3) == "\xEF\xBB\xBF") data.remove_prefix(3);
  const std::string encoding = DeclaredEncoding(data);
  if (encoding.empty() || NameIs(encoding, {"UTF-8", "UTF8"})) {
    out.assign(data);
    return true;
  }
  if (NameIs(encoding, {"US-ASCII", "ASCII"})) {
    out.assign(data);
    for (size_t i = 0; i < out.size(); ++i) {
      if (static_cast<unsigned char>(out[i]) >= 0x80) {
        fault.offset = i;
        fault.message = "a byte that is not US-ASCII, which the file declares";
        return false;
      }
    }
    return true;
  }
  if (NameIs(encoding, {"ISO-8859-1", "ISO8859-1", "LATIN1", "ISO_8859-1", "L1"})) {
    // Every byte is the code point of the same number.
    out.clear();
    out.reserve(data.size() + data.size() / 4);
    for (const char c : data) platform::AppendUtf8(out, static_cast<unsigned char>(c));
    return true;
  }
  fault.message = "the file is encoded in " + encoding + "; only UTF-8 and ISO-8859-1 are read";
  return false;
}

// Refuses bytes XML forbids anywhere and estimates the tree pugixml will build: one node per
// element (a '<' not followed by '/'), one per text run (at most one before each '<'), one
// attribute record per '=' (an overcount: '=' in texts counts too).
bool ScanBytes(std::string_view text, Fault& fault) {
  const size_t valid = ValidUtf8Prefix(text);
  if (valid != text.size()) {
    fault.offset = valid;
    fault.message = "invalid UTF-8";
    return false;
  }
  const unsigned char* p = reinterpret_cast<const unsigned char*>(text.data());
  const size_t n = text.size();
  const auto slow = [&](size_t from, size_t to) {
    for (size_t k = from; k < to; ++k) {
      const unsigned char c = p[k];
      if ((c < 0x20 && c != '\t' && c != '\n' && c != '\r') ||
          (c == 0xEF && k + 2 < n && p[k + 1] == 0xBF && (p[k + 2] == 0xBE || p[k + 2] == 0xBF))) {
        fault.offset = k;
        fault.message = "a character XML does not allow";
        return false;
      }
    }
    return true;
  };
  // Simple passes the compiler vectorises: '<' and '=' counted, then per block of 64 bytes the
  // C0 controls against TAB, LF and CR and the lead byte of U+FFFE/U+FFFF; a block with more
  // controls than those three, or with that lead byte, gets a closer look.
  const size_t lt = static_cast<size_t>(std::count(p, p + n, '<'));
  const size_t equals = static_cast<size_t>(std::count(p, p + n, '='));
  size_t closing = 0;
  for (const unsigned char* at = p; (at = static_cast<const unsigned char*>(std::memchr(
                                         at, '<', static_cast<size_t>(p + n - at)))) != nullptr;) {
    ++at;
    if (at < p + n && *at == '/') ++closing;
  }
  size_t i = 0;
  for (; i + 64 <= n; i += 64) {
    unsigned int controls = 0;
    unsigned int allowed = 0;
    unsigned int ef = 0;
    for (size_t k = 0; k < 64; ++k) {
      const unsigned char c = p[i + k];
      controls += c < 0x20;
      allowed += (c == '\n') + (c == '\t') + (c == '\r');
      ef += c == 0xEF;
    }
    if ((controls != allowed || ef != 0) && !slow(i, i + 64)) return false;
  }
  if (!slow(i, n)) return false;
  const size_t nodes = (lt - closing) + lt + 1;
  const size_t tree = nodes * kNodeBytes + equals * kAttributeBytes;
  if (tree > std::max(kTreeFloor, n * kTreeBudget)) {
    fault.message = "the file holds too many tags for its size (" + std::to_string(lt) +
                    " tags in " + std::to_string(n) + " bytes); not read";
    return false;
  }
  return true;
}

// ---- after the parse -------------------------------------------------------------------------

// Decodes entity and character references of the NUL-terminated string `s` (inside the parse
// buffer) in place. False with `fault.message` set for an undeclared entity or a reference to a
// character XML does not allow.
bool DecodeInPlace(char* s, Fault& fault) {
  char* amp = std::strchr(s, '&');
  if (amp == nullptr) return true;
  char* out = amp;
  const char* in = amp;
  while (*in != '\0') {
    if (*in != '&') {
      *out++ = *in++;
      continue;
    }
    const char* semi = std::strchr(in, ';');
    const std::string_view ref =
        semi == nullptr ? std::string_view(in + 1) : std::string_view(in + 1, semi - in - 1);
    if (semi == nullptr || ref.empty() || ref.size() > 10) {
      fault.message = "a '&' that starts no reference";
      return false;
    }
    std::string decoded;
    if (ref == "amp") {
      decoded = "&";
    } else if (ref == "lt") {
      decoded = "<";
    } else if (ref == "gt") {
      decoded = ">";
    } else if (ref == "quot") {
      decoded = "\"";
    } else if (ref == "apos") {
      decoded = "'";
    } else if (ref[0] == '#') {
      const bool hex = ref.size() > 1 && ref[1] == 'x';
      const std::string_view digits = ref.substr(hex ? 2 : 1);
      unsigned long cp = 0;
      bool ok = !digits.empty();
      for (const char d : digits) {
        if (hex ? !std::isxdigit(static_cast<unsigned char>(d))
                : !std::isdigit(static_cast<unsigned char>(d))) {
          ok = false;
          break;
        }
        cp = cp * (hex ? 16 : 10) + (d <= '9' ? d - '0' : (d | 0x20) - 'a' + 10);
        if (cp > 0x10FFFF) ok = false;
      }
      if (!ok || !IsXmlChar(cp)) {
        fault.message = "a reference to a character XML does not allow";
        return false;
      }
      platform::AppendUtf8(decoded, static_cast<unsigned int>(cp));
    } else {
      fault.message = "an undeclared entity &" + std::string(ref) + ";";
      return false;
    }
    // A reference is never shorter than what it stands for ("&#128512;" is 9 bytes, U+1F600 4).
    std::memcpy(out, decoded.data(), decoded.size());
    out += decoded.size();
    in = semi + 1;
  }
  *out = '\0';
  return true;
}

class Tree {
 public:
  Tree(std::string& buffer, Fault& fault) : buffer_(buffer), fault_(fault) {}

  bool Parse() {
    constexpr unsigned int kOptions = pugi::parse_cdata | pugi::parse_ws_pcdata | pugi::parse_eol |
                                      pugi::parse_doctype | pugi::parse_declaration;
    const pugi::xml_parse_result result =
        doc_.load_buffer_inplace(buffer_.data(), buffer_.size(), kOptions, pugi::encoding_utf8);
    if (!result) {
      fault_.offset = static_cast<size_t>(std::max<ptrdiff_t>(0, result.offset));
      fault_.message = ParseMessage(result.status);
      return false;
    }
    return Check();
  }

  pugi::xml_node Root() const { return doc_.document_element(); }
  size_t Offset(const char* p) const {
    return p >= buffer_.data() && p <= buffer_.data() + buffer_.size()
               ? static_cast<size_t>(p - buffer_.data())
               : 0;
  }
  // Offset of the '<' of an element.
  size_t Offset(const pugi::xml_node& node) const {
    const size_t at = Offset(node.name());
    return at > 0 ? at - 1 : 0;
  }

  bool Fail(size_t offset, std::string message) {
    if (fault_.message.empty()) {
      fault_.offset = offset;
      fault_.message = std::move(message);
    }
    return false;
  }

 private:
  static std::string ParseMessage(pugi::xml_parse_status status) {
    switch (status) {
      case pugi::status_out_of_memory:
        return "out of memory";
      case pugi::status_unrecognized_tag:
        return "a tag that is not well-formed";
      case pugi::status_bad_pi:
        return "a malformed XML declaration or processing instruction";
      case pugi::status_bad_comment:
        return "a malformed comment";
      case pugi::status_bad_cdata:
        return "a malformed CDATA section";
      case pugi::status_bad_doctype:
        return "a DOCTYPE is not accepted";
      case pugi::status_bad_pcdata:
        return "malformed text";
      case pugi::status_bad_start_element:
        return "a malformed start tag";
      case pugi::status_bad_attribute:
        return "a malformed attribute";
      case pugi::status_bad_end_element:
        return "a malformed end tag";
      case pugi::status_end_element_mismatch:
        return "an end tag that does not match its start tag, or an element never closed";
      case pugi::status_no_document_element:
        return "no <xliff> root element";
      default:
        return "not well-formed XML";
    }
  }

  // Every node once, in document order, by links (no recursion).
  bool Check() {
    int roots = 0;
    for (pugi::xml_node top = doc_.first_child(); top; top = top.next_sibling()) {
      switch (top.type()) {
        case pugi::node_doctype:
          return Fail(Offset(top.value()) >= 10 ? Offset(top.value()) - 10 : 0,
                      "a DOCTYPE is not accepted");
        case pugi::node_element:
          if (++roots > 1) return Fail(Offset(top), "a second root element");
          break;
        case pugi::node_pcdata:
        case pugi::node_cdata:
          if (std::strspn(top.value(), " \t\r\n") != std::strlen(top.value())) {
            return Fail(Offset(top.value()), "text outside the root element");
          }
          break;
        default:
          break;
      }
    }
    pugi::xml_node root = doc_.document_element();
    if (!root) return Fail(0, "no <xliff> root element");
    pugi::xml_node node = root;
    while (node) {
      if (node.type() == pugi::node_element) {
        if (!CheckAttributes(node)) return false;
      } else if (node.type() == pugi::node_pcdata) {
        char* value = const_cast<char*>(node.value());
        if (!DecodeInPlace(value, fault_)) {
          fault_.offset = Offset(value);
          return false;
        }
      }
      // Next in document order.
      if (node.first_child()) {
        node = node.first_child();
        continue;
      }
      while (node && node != root && !node.next_sibling()) node = node.parent();
      if (!node || node == root) break;
      node = node.next_sibling();
    }
    return true;
  }

  bool CheckAttributes(const pugi::xml_node& node) {
    size_t count = 0;
    for (pugi::xml_attribute a = node.first_attribute(); a; a = a.next_attribute()) {
      char* value = const_cast<char*>(a.value());
      if (std::strchr(value, '<') != nullptr) {
        return Fail(Offset(value), "a '<' in an attribute value");
      }
      if (!DecodeInPlace(value, fault_)) {
        fault_.offset = Offset(value);
        return false;
      }
      ++count;
    }
    if (count < 2) return true;
    names_.clear();
    for (pugi::xml_attribute a = node.first_attribute(); a; a = a.next_attribute()) {
      names_.emplace_back(a.name());
    }
    std::sort(names_.begin(), names_.end());
    if (std::adjacent_find(names_.begin(), names_.end()) != names_.end()) {
      return Fail(Offset(node), "an attribute given twice");
    }
    return true;
  }

  std::string& buffer_;
  Fault& fault_;
  pugi::xml_document doc_;
  std::vector<std::string_view> names_;
};

// ---- the units ---------------------------------------------------------------------------------

class UnitReader {
 public:
  // `original`: the UTF-8 bytes as they were before the parse changed them in place.
  UnitReader(Tree& tree, std::string_view original, std::vector<ImportUnit>& units,
             FileExtras* extras, Keep keep)
      : tree_(tree), original_(original), units_(units), extras_(extras), keep_(keep) {}

  bool Run() {
    const pugi::xml_node root = tree_.Root();
    if (LocalName(root.name()) != "xliff") {
      return tree_.Fail(tree_.Offset(root), "the root element is not <xliff>");
    }
    const char* version = Attribute(root, "version");
    const std::string_view v = version == nullptr ? std::string_view() : version;
    if (v.empty() || v == "1.0" || v == "1.1" || v == "1.2") {
      version2_ = false;
    } else if (v == "2.0" || v == "2.1") {
      version2_ = true;
    } else {
      return tree_.Fail(tree_.Offset(root), "XLIFF version " + std::string(v) +
                                                " is not read (only 1.0, 1.1, 1.2, 2.0 and 2.1)");
    }
    if (extras_ != nullptr) {
      extras_->xliffVersion = version2_ ? 2 : 1;
      if (version2_) {
        if (const char* s = Attribute(root, "srcLang")) extras_->sourceLang = s;
        if (const char* t = Attribute(root, "trgLang")) extras_->targetLang = t;
      }
      for (pugi::xml_attribute a = root.first_attribute(); a; a = a.next_attribute()) {
        const std::string_view name = a.name();
        if (name.substr(0, 6) == "xmlns:") AppendAttribute(extras_->xliffRootAttributes, a);
      }
    }
    // Elements walked in document order; a unit is read whole when it is met and not entered.
    pugi::xml_node node = root.first_child();
    while (node) {
      bool enter = true;
      if (node.type() == pugi::node_element && IsXliff(node)) {
        const std::string_view name = LocalName(node.name());
        if (name == (version2_ ? "unit" : "trans-unit")) {
          if (!(version2_ ? ReadUnit2(node) : ReadUnit1(node))) return false;
          enter = false;
        } else if (name == "file" && extras_ != nullptr && !version2_) {
          if (const char* s = Attribute(node, "source-language")) extras_->sourceLang = s;
          if (const char* t = Attribute(node, "target-language")) extras_->targetLang = t;
        } else if (name == "header" && extras_ != nullptr && !version2_) {
          // The <tool>, <phase-group> and other header content a tool wrote, kept whole.
          for (pugi::xml_node c = node.first_child(); c; c = c.next_sibling()) {
            if (c.type() == pugi::node_element) Serialize(c, extras_->xliffHeader);
          }
          enter = false;
        }
      } else if (node.type() != pugi::node_element) {
        enter = false;
      }
      if (enter && node.first_child()) {
        node = node.first_child();
        continue;
      }
      while (node && node != root && !node.next_sibling()) node = node.parent();
      if (!node || node == root) break;
      node = node.next_sibling();
    }
    return true;
  }

 private:
  // An element of XLIFF's namespace: no prefix (the files we read declare XLIFF as the default
  // namespace, or none), or a prefix bound to an XLIFF namespace on the element or above it.
  bool IsXliff(const pugi::xml_node& node) const {
    const char* name = node.name();
    const char* colon = std::strchr(name, ':');
    if (colon == nullptr) {
      const char* ns = Attribute(node, "xmlns");
      return ns == nullptr || *ns == '\0' || IsXliffNamespace(ns);
    }
    const std::string decl = "xmlns:" + std::string(name, colon - name);
    for (pugi::xml_node n = node; n; n = n.parent()) {
      const pugi::xml_attribute a = n.attribute(decl.c_str());
      if (a) return IsXliffNamespace(a.value());
    }
    return false;
  }

  bool Fail(const pugi::xml_node& node, std::string message) {
    return tree_.Fail(tree_.Offset(node), std::move(message));
  }

  // The line the element starts on, counted forward from the previous call: LF, CR LF and a lone
  // CR each end a line, as XML counts them. Calls come in document order.
  long LineOf(const pugi::xml_node& node) {
    const size_t at = std::min(tree_.Offset(node), original_.size());
    if (at < countedTo_) return linesBefore_ + 1;
    // LF counted by a loop the compiler vectorises; a CR counts unless an LF follows it (the
    // bytes at `at` start an element, so a CR LF pair never straddles two calls).
    const std::string_view span = original_.substr(countedTo_, at - countedTo_);
    linesBefore_ += static_cast<long>(std::count(span.begin(), span.end(), '\n'));
    for (size_t cr = span.find('\r'); cr != std::string_view::npos; cr = span.find('\r', cr + 1)) {
      if (cr + 1 >= span.size() || span[cr + 1] != '\n') ++linesBefore_;
    }
    countedTo_ = at;
    return linesBefore_ + 1;
  }

  // The unit's line ID: `name` (2.0) or `resname` (1.2) when it is one; else translate-toolkit's
  // po-reference (po2xliff keeps our PO's "FILE:ID" there and numbers the units); else `id`.
  bool UnitId(const pugi::xml_node& unit, int& id) {
    const char* resname = Attribute(unit, version2_ ? "name" : "resname");
    if (resname != nullptr && ParseId(resname, id)) return true;
    if (!version2_) {
      bool found = false;
      for (pugi::xml_node group = unit.child("context-group"); group;
           group = group.next_sibling("context-group")) {
        const char* name = Attribute(group, "name");
        if (name == nullptr || std::strcmp(name, "po-reference") != 0) continue;
        for (pugi::xml_node c = group.child("context"); c; c = c.next_sibling("context")) {
          const char* type = Attribute(c, "context-type");
          if (type == nullptr) continue;
          const std::string text = c.text().get();
          if (std::strcmp(type, "linenumber") == 0) {
            found = ParseId(text, id) || found;
          } else if (std::strcmp(type, "sourcefile") == 0) {
            const size_t colon = text.rfind(':');
            if (colon != std::string::npos) {
              found = ParseId(std::string_view(text).substr(colon + 1), id) || found;
            }
          }
        }
      }
      if (found) return true;
    }
    const char* plain = Attribute(unit, "id");
    return plain != nullptr && ParseId(plain, id);
  }

  bool ReadUnit1(const pugi::xml_node& unit) {
    ImportUnit entry;
    entry.line = LineOf(unit);
    // translate-toolkit's po2xliff writes the PO header as a unit of its own.
    const char* restype = Attribute(unit, "restype");
    if (restype != nullptr && std::strcmp(restype, "x-gettext-domain-header") == 0) return true;
    if (!UnitId(unit, entry.id)) {
      return Fail(unit, "a <trans-unit> whose resname and id are no line ID");
    }
    bool haveSource = false;
    bool haveTarget = false;
    for (pugi::xml_node c = unit.first_child(); c; c = c.next_sibling()) {
      if (c.type() != pugi::node_element) continue;
      const std::string_view name = LocalName(c.name());
      const bool own = IsXliff(c);
      if (own && name == "trans-unit") return Fail(c, "a <trans-unit> inside a <trans-unit>");
      if (own && name == "source") {
        if (haveSource) return Fail(c, "a second <source>");
        haveSource = true;
        if (!Text(c, entry.source)) return false;
      } else if (own && name == "target") {
        if (haveTarget) return Fail(c, "a second <target>");
        haveTarget = true;
        if (!Text(c, entry.target)) return false;
        if (const char* state = Attribute(c, "state")) {
          const std::string_view s(state);
          entry.fuzzy = s == "new" || s.substr(0, 6) == "needs-";
          entry.state = state;
        }
        if (keep_ == Keep::kEverything) {
          for (pugi::xml_attribute a = c.first_attribute(); a; a = a.next_attribute()) {
            if (std::strcmp(a.name(), "state") != 0) AppendAttribute(entry.targetAttributes, a);
          }
        }
      } else if (own && name == "note") {
        std::string note;
        if (!NoteText(c, note)) return false;
        const char* from = Attribute(c, "from");
        Note(entry, from == nullptr ? "" : from, std::move(note));
      } else if (keep_ == Keep::kEverything) {
        // <alt-trans>, <seg-source>, <context-group>, other namespaces' elements: kept whole, in
        // the places the schema gives them.
        Serialize(c, own && name == "seg-source"  ? entry.segSource
                     : own && name == "alt-trans" ? entry.altTrans
                                                  : entry.extraElements);
      }
    }
    if (!haveSource) return Fail(unit, "a <trans-unit> without <source>");
    if (keep_ == Keep::kEverything) {
      for (pugi::xml_attribute a = unit.first_attribute(); a; a = a.next_attribute()) {
        const std::string_view n = a.name();
        if (n != "id" && n != "resname" && n != "xml:space") {
          AppendAttribute(entry.unitAttributes, a);
        }
      }
    }
    units_.push_back(std::move(entry));
    return true;
  }

  // XLIFF 2: a unit's segments (and the <ignorable> white space between them) make one text.
  // The unit is fuzzy when any segment with a target is in state "initial", the default, and when
  // some segments have a target and others none (a part translated is no translation). An
  // <ignorable> without a target stands in the target as its source (white space a tool kept
  // out of the segments). A target's `order` places it among the unit's parts (1 = first),
  // which must then be a permutation.
  bool ReadUnit2(const pugi::xml_node& unit) {
    ImportUnit entry;
    entry.line = LineOf(unit);
    if (!UnitId(unit, entry.id)) return Fail(unit, "a <unit> whose name and id are no line ID");
    struct Part {
      std::string target;
      bool hasTarget = false;
      bool segment = false;
      size_t order = 0;  // 1-based place in the target; 0 = its own place
    };
    std::vector<Part> parts;
    bool anyTarget = false;
    bool missingTarget = false;
    std::string state;
    for (pugi::xml_node c = unit.first_child(); c; c = c.next_sibling()) {
      if (c.type() != pugi::node_element) continue;
      const std::string_view name = LocalName(c.name());
      if (!IsXliff(c)) continue;
      if (name == "notes") {
        for (pugi::xml_node n = c.child("note"); n; n = n.next_sibling("note")) {
          std::string note;
          if (!NoteText(n, note)) return false;
          const char* category = Attribute(n, "category");
          Note(entry, category == nullptr ? "" : category, std::move(note));
        }
      } else if (name == "segment" || name == "ignorable") {
        Part& part = parts.emplace_back();
        part.segment = name == "segment";
        bool source = false;
        const size_t sourceFrom = entry.source.size();
        for (pugi::xml_node s = c.first_child(); s; s = s.next_sibling()) {
          if (s.type() != pugi::node_element || !IsXliff(s)) continue;
          const std::string_view kind = LocalName(s.name());
          if (kind == "source") {
            if (source) return Fail(s, "a second <source>");
            source = true;
            if (!Text(s, entry.source)) return false;
          } else if (kind == "target") {
            if (part.hasTarget) return Fail(s, "a second <target>");
            part.hasTarget = true;
            if (!Text(s, part.target)) return false;
            if (const char* order = Attribute(s, "order"); order != nullptr) {
              int place = 0;
              if (!ParseId(order, place) || place < 1) {
                return Fail(s, "a <target> whose order is no positive number");
              }
              part.order = static_cast<size_t>(place);
            }
          }
        }
        if (!source) return Fail(c, "a <" + std::string(name) + "> without <source>");
        if (!part.hasTarget && !part.segment) {
          part.target = entry.source.substr(sourceFrom);
        }
        if (part.segment && part.hasTarget) {
          anyTarget = true;
          const char* st = Attribute(c, "state");
          const std::string segmentState = st == nullptr ? "initial" : st;
          if (segmentState == "initial") entry.fuzzy = true;
          if (state.empty() || Rank(segmentState) < Rank(state)) state = segmentState;
        } else if (part.segment) {
          missingTarget = true;
        }
      }
    }
    if (parts.empty()) return Fail(unit, "a <unit> without <segment>");
    if (anyTarget) {
      entry.state = state;
      if (missingTarget) entry.fuzzy = true;
      std::vector<const Part*> placed(parts.size(), nullptr);
      for (size_t i = 0; i < parts.size(); ++i) {
        const size_t at = parts[i].order == 0 ? i : parts[i].order - 1;
        if (at >= parts.size() || placed[at] != nullptr) {
          return Fail(unit, "a <unit> whose targets' order is no arrangement of its parts");
        }
        placed[at] = &parts[i];
      }
      for (const Part* part : placed) entry.target += part->target;
    }
    units_.push_back(std::move(entry));
    return true;
  }

  static int Rank(const std::string& state) {
    return state == "initial" ? 0 : state == "translated" ? 1 : state == "reviewed" ? 2 : 3;
  }

  void Note(ImportUnit& entry, std::string_view who, std::string note) {
    if (keep_ != Keep::kEverything) return;
    if (who == "developer") {
      if (!entry.notes.empty()) entry.notes += '\n';
      entry.notes += note;
    } else if (who == "previous-source") {
      entry.hasPrevious = true;
      entry.previous = std::move(note);
    } else {
      if (!entry.comments.empty()) entry.comments += '\n';
      entry.comments += note;
    }
  }

  // A note is text with the same inline codes as a source; it is read (and so checked) even when
  // it is not kept.
  bool NoteText(const pugi::xml_node& note, std::string& out) { return Text(note, out); }

  // The text of a <source> or <target>, inline codes mapped back, walked by links.
  bool Text(const pugi::xml_node& element, std::string& out) {
    pugi::xml_node node = element.first_child();
    while (node) {
      bool enter = false;
      switch (node.type()) {
        case pugi::node_pcdata:
        case pugi::node_cdata:
          out += node.value();
          break;
        case pugi::node_element: {
          const std::string_view name = LocalName(node.name());
          unsigned int cp = 0;
          if (name == "g" || name == "mrk" || (version2_ && name == "pc")) {
            enter = true;
          } else if (!version2_ && name == "x" &&
                     PlaceholderCodePoint(Attribute(node, "ctype"), cp)) {
            platform::AppendUtf8(out, cp);
          } else if (version2_ && name == "cp" && Attribute(node, "hex") != nullptr &&
                     ParseHex(Attribute(node, "hex"), cp)) {
            platform::AppendUtf8(out, cp);
          } else {
            return Fail(node, "an inline <" + std::string(name) +
                                  "> this program cannot turn back into text");
          }
          break;
        }
        default:
          break;
      }
      if (enter && node.first_child()) {
        node = node.first_child();
        continue;
      }
      while (node && node != element && !node.next_sibling()) node = node.parent();
      if (!node || node == element) break;
      node = node.next_sibling();
    }
    return true;
  }

  static void AppendEscaped(std::string& out, std::string_view text, bool attribute) {
    for (const char c : text) {
      if (!AppendXmlEscape(out, static_cast<unsigned char>(c), attribute)) out += c;
    }
  }

  static void AppendAttribute(std::string& out, const pugi::xml_attribute& a) {
    out += ' ';
    out += a.name();
    out += "=\"";
    AppendEscaped(out, a.value(), true);
    out += '"';
  }

  // An element and what it holds, written back as XML (its texts decoded, so escaped again).
  static void Serialize(const pugi::xml_node& element, std::string& out) {
    pugi::xml_node node = element;
    while (node) {
      bool enter = false;
      switch (node.type()) {
        case pugi::node_element:
          out += '<';
          out += node.name();
          for (pugi::xml_attribute a = node.first_attribute(); a; a = a.next_attribute()) {
            AppendAttribute(out, a);
          }
          if (node.first_child()) {
            out += '>';
            enter = true;
          } else {
            out += "/>";
          }
          break;
        case pugi::node_pcdata:
          AppendEscaped(out, node.value(), false);
          break;
        case pugi::node_cdata:
          out += "<![CDATA[";
          out += node.value();
          out += "]]>";
          break;
        default:
          break;
      }
      if (enter) {
        node = node.first_child();
        continue;
      }
      while (node != element && !node.next_sibling()) {
        node = node.parent();
        out += "</";
        out += node.name();
        out += '>';
      }
      if (node == element) break;
      node = node.next_sibling();
    }
  }

  Tree& tree_;
  std::string_view original_;
  std::vector<ImportUnit>& units_;
  FileExtras* extras_;
  Keep keep_;
  bool version2_ = false;
  size_t countedTo_ = 0;
  long linesBefore_ = 0;
};

// 1-based line and column of `offset`; LF, CR LF and a lone CR end a line.
void Position(std::string_view text, size_t offset, long& line, long& column) {
  offset = std::min(offset, text.size());
  line = 1;
  size_t start = 0;
  for (size_t i = 0; i < offset; ++i) {
    if (text[i] == '\n' || (text[i] == '\r' && (i + 1 >= text.size() || text[i + 1] != '\n'))) {
      ++line;
      start = i + 1;
    }
  }
  column = static_cast<long>(offset - start) + 1;
}

}  // namespace

bool ReadXliff(std::string_view data, std::vector<ImportUnit>& units, ParseFailure& failure,
               FileExtras* extras, Keep keep) {
  units.clear();
  failure = ParseFailure();
  if (extras != nullptr) *extras = FileExtras();
  Fault fault;
  std::string buffer;
  // Positions are counted on the UTF-8 bytes as they were before pugixml rewrote line ends and
  // names' ends in place: the file's own bytes (its byte order mark skipped), or for a converted
  // ISO-8859-1 file a copy of the conversion.
  std::string converted;
  std::string_view original = data.substr(0, 3) == "\xEF\xBB\xBF" ? data.substr(3) : data;
  bool ok = ToUtf8Buffer(data, buffer, fault);
  if (ok && buffer.size() != original.size()) {
    converted = buffer;
    original = converted;
  }
  ok = ok && ScanBytes(buffer, fault);
  if (ok) {
    Tree tree(buffer, fault);
    ok = tree.Parse() && UnitReader(tree, original, units, extras, keep).Run();
  }
  if (ok) return true;
  units.clear();
  Position(original, fault.offset, failure.line, failure.column);
  failure.message = fault.message;
  return false;
}

}  // namespace exchange
