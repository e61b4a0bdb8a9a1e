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
#include <bit>
#include <cctype>
#include <cstdint>
#include <cstring>
#include <pugixml.hpp>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "exchange/exchange_units.h"
#include "exchange/recoder.h"
#include "exchange/xml_arena.h"
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

// Set bits of `x`. std::popcount becomes a call into libgcc on a build for the x86-64 baseline
// (no POPCNT instruction); the scan counts three words per 64 bytes.
inline size_t PopCount(uint64_t x) {
  x = x - ((x >> 1) & 0x5555555555555555ULL);
  x = (x & 0x3333333333333333ULL) + ((x >> 2) & 0x3333333333333333ULL);
  x = (x + (x >> 4)) & 0x0F0F0F0F0F0F0F0FULL;
  return static_cast<size_t>((x * 0x0101010101010101ULL) >> 56);
}

// The node record a pugixml handle stands for, compared without a call into the library (its
// comparison and truth operators are not inline). A handle is that one pointer.
static_assert(sizeof(pugi::xml_node) == sizeof(void*));
static_assert(sizeof(pugi::xml_attribute) == sizeof(void*));
inline const void* Record(const pugi::xml_node& node) {
  return std::bit_cast<const void*>(node);
}
inline const void* Record(const pugi::xml_attribute& a) {
  return std::bit_cast<const void*>(a);
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

// Where lines end in the parse buffer, one bit per byte (bit k % 64 of word k / 64): an LF, and
// a CR that no LF follows, as XML counts lines. Recorded by the byte scan before pugixml changes
// the buffer in place (it ends names and values with NUL and folds CR LF), so that positions for
// messages and entries are counted on the bytes as they were, without a second copy of the file
// (an eighth of its size instead).
class LineEnds {
 public:
  void Resize(size_t bytes) { words_.assign((bytes + 63) / 64, 0); }
  uint64_t* Words() { return words_.data(); }

  // 1-based line of `offset`; calls with growing offsets cost only the bytes between them.
  long LineAt(size_t offset) {
    offset = std::min(offset, words_.size() * 64);
    if (offset < countedTo_) {
      countedTo_ = 0;
      linesBefore_ = 0;
    }
    linesBefore_ += static_cast<long>(Count(countedTo_, offset));
    countedTo_ = offset;
    return linesBefore_ + 1;
  }

  // 1-based line and column (in bytes) of `offset`.
  void Position(size_t offset, long& line, long& column) {
    offset = std::min(offset, words_.size() * 64);
    line = LineAt(offset);
    // The last line end before `offset`; the line starts after it.
    size_t start = 0;
    for (size_t w = offset / 64 + 1; w-- > 0;) {
      uint64_t bits = w < words_.size() ? words_[w] : 0;
      if (w == offset / 64) bits &= offset % 64 == 0 ? 0 : ~0ULL >> (64 - offset % 64);
      if (bits != 0) {
        start = w * 64 + (63 - static_cast<size_t>(std::countl_zero(bits))) + 1;
        break;
      }
    }
    column = static_cast<long>(offset - start) + 1;
  }

 private:
  // Set bits in [from, to).
  size_t Count(size_t from, size_t to) const {
    size_t count = 0;
    while (from < to) {
      const size_t w = from / 64;
      const unsigned bit = from % 64;
      const size_t take = std::min<size_t>(64 - bit, to - from);
      uint64_t bits = words_[w] >> bit;
      if (take < 64) bits &= (1ULL << take) - 1;
      count += PopCount(bits);
      from += take;
    }
    return count;
  }

  std::vector<uint64_t> words_;
  size_t countedTo_ = 0;
  long linesBefore_ = 0;
};

// Where '<' and '&' stood in the parse buffer before the parse, one bit per byte as in LineEnds.
// A text node runs from its first byte to the '<' that ends it, so it holds a reference exactly
// when the first of these bytes at or after its start is an '&': the walk after the parse decodes
// only such texts instead of searching every one for an '&'.
class Marks {
 public:
  void Resize(size_t bytes) {
    stops_.assign((bytes + 63) / 64, 0);
    amps_.assign(stops_.size(), 0);
  }
  void Set(size_t word, uint64_t lt, uint64_t amp) {
    stops_[word] = lt | amp;
    amps_[word] = amp;
  }
  // The first '<' or '&' at or after `offset` is an '&'.
  bool AmpFirst(size_t offset) const {
    size_t w = offset / 64;
    if (w >= stops_.size()) return false;
    uint64_t bits = stops_[w] & (~0ULL << (offset % 64));
    while (bits == 0) {
      if (++w == stops_.size()) return false;
      bits = stops_[w];
    }
    return ((amps_[w] >> std::countr_zero(bits)) & 1) != 0;
  }

 private:
  std::vector<uint64_t> stops_;
  std::vector<uint64_t> amps_;
};

// The bytes the scan looks for in a block of 64, one bit per byte.
struct BlockMasks {
  uint64_t lt = 0, slash = 0, equals = 0, lf = 0, cr = 0, controls = 0, allowed = 0, ef = 0,
           amp = 0;
};

#if defined(__SSE2__)
inline uint64_t Mask16(__m128i eq, unsigned shift) {
  return static_cast<uint64_t>(static_cast<uint32_t>(_mm_movemask_epi8(eq))) << shift;
}
#endif

// Classifies the 64 bytes at `p`.
inline BlockMasks Classify(const unsigned char* p) {
  BlockMasks m;
#if defined(__SSE2__)
  const __m128i lt = _mm_set1_epi8('<'), slash = _mm_set1_epi8('/'), eq = _mm_set1_epi8('=');
  const __m128i lf = _mm_set1_epi8('\n'), cr = _mm_set1_epi8('\r'), tab = _mm_set1_epi8('\t');
  const __m128i c1f = _mm_set1_epi8(0x1F), ef = _mm_set1_epi8(static_cast<char>(0xEF));
  const __m128i amp = _mm_set1_epi8('&');
  for (unsigned k = 0; k < 64; k += 16) {
    const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + k));
    m.lt |= Mask16(_mm_cmpeq_epi8(v, lt), k);
    m.slash |= Mask16(_mm_cmpeq_epi8(v, slash), k);
    m.equals |= Mask16(_mm_cmpeq_epi8(v, eq), k);
    const uint64_t isLf = Mask16(_mm_cmpeq_epi8(v, lf), k);
    const uint64_t isCr = Mask16(_mm_cmpeq_epi8(v, cr), k);
    m.lf |= isLf;
    m.cr |= isCr;
    m.allowed |= isLf | isCr | Mask16(_mm_cmpeq_epi8(v, tab), k);
    m.controls |= Mask16(_mm_cmpeq_epi8(_mm_max_epu8(v, c1f), c1f), k);  // v <= 0x1F
    m.ef |= Mask16(_mm_cmpeq_epi8(v, ef), k);
    m.amp |= Mask16(_mm_cmpeq_epi8(v, amp), k);
  }
#else
  for (unsigned k = 0; k < 64; ++k) {
    const unsigned char c = p[k];
    const uint64_t bit = 1ULL << k;
    if (c == '<') m.lt |= bit;
    if (c == '/') m.slash |= bit;
    if (c == '=') m.equals |= bit;
    if (c == '\n') m.lf |= bit;
    if (c == '\r') m.cr |= bit;
    if (c == '\n' || c == '\r' || c == '\t') m.allowed |= bit;
    if (c < 0x20) m.controls |= bit;
    if (c == 0xEF) m.ef |= bit;
    if (c == '&') m.amp |= bit;
  }
#endif
  return m;
}

// Refuses bytes XML forbids anywhere, records where lines end (`lines`) and where '<' and '&'
// stand (`marks`), and estimates the tree
// pugixml will build: one node per element (a '<' not followed by '/'), one per text run (at most
// one before each '<'), one attribute record per '=' (an overcount: '=' in texts counts too).
// One pass over blocks of 64 bytes after the UTF-8 check; a block with C0 controls other than
// TAB, LF and CR, or with the lead byte of U+FFFE/U+FFFF, gets a closer look byte by byte.
bool ScanBytes(std::string_view text, LineEnds& lines, Marks& marks, Fault& fault) {
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
  lines.Resize(n);
  marks.Resize(n);
  uint64_t* words = lines.Words();
  size_t lt = 0;
  size_t equals = 0;
  size_t closing = 0;
  // Carried from the block before: its '<' in the last byte, and its LF and CR bits, whose word
  // is written once the next block tells whether an LF follows its last CR.
  bool ltAtEnd = false;
  BlockMasks previous;
  const auto finish = [&](size_t block, uint64_t nextLf) {
    words[block] = previous.lf | (previous.cr & ~((previous.lf >> 1) | (nextLf << 63)));
  };
  for (size_t i = 0; i < n; i += 64) {
    const size_t block = i / 64;
    const size_t size = std::min<size_t>(64, n - i);
    BlockMasks m;
    if (size == 64) {
      m = Classify(p + i);
    } else {
      unsigned char tail[64] = {};
      std::memcpy(tail, p + i, size);
      m = Classify(tail);
      const uint64_t in = (1ULL << size) - 1;
      m.lt &= in, m.slash &= in, m.equals &= in, m.lf &= in, m.cr &= in;
      m.controls &= in, m.allowed &= in, m.ef &= in, m.amp &= in;
    }
    if (((m.controls & ~m.allowed) | m.ef) != 0 && !slow(i, i + size)) return false;
    lt += PopCount(m.lt);
    equals += PopCount(m.equals);
    closing += PopCount(m.lt & (m.slash >> 1)) + ((ltAtEnd && (m.slash & 1) != 0) ? 1 : 0);
    marks.Set(block, m.lt, m.amp);
    ltAtEnd = (m.lt >> 63) != 0;
    if (block > 0) finish(block - 1, m.lf & 1);
    previous = m;
  }
  if (n > 0) finish((n - 1) / 64, 0);
  const size_t nodes = (lt - closing) + lt + 1;
  // The three bit maps of the scan (line ends, '<' and '&' marks), an eighth of the file each,
  // live as long as the tree and count against the same budget.
  const size_t tree = nodes * kNodeBytes + equals * kAttributeBytes + n / 8 * 3;
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
  // `text`: the UTF-8 bytes, parsed in place (pugixml keeps pointers into them).
  // `marks`: where '<' and '&' stood in `text` before the parse.
  Tree(char* text, size_t size, const Marks& marks, Fault& fault)
      : text_(text), size_(size), marks_(marks), fault_(fault) {}

  bool Parse() {
    // parse_embed_pcdata: a text that is an element's first child is kept as the element's
    // value instead of a node of its own (a third fewer nodes in a typical file). Every walk
    // below takes an element's value as the text before its first child.
    constexpr unsigned int kOptions = pugi::parse_cdata | pugi::parse_ws_pcdata | pugi::parse_eol |
                                      pugi::parse_doctype | pugi::parse_declaration |
                                      pugi::parse_embed_pcdata;
    const pugi::xml_parse_result result =
        doc_.load_buffer_inplace(text_, size_, kOptions, pugi::encoding_utf8);
    if (!result) {
      fault_.offset = static_cast<size_t>(std::max<ptrdiff_t>(0, result.offset));
      fault_.message = ParseMessage(result.status);
      return false;
    }
    return Check();
  }

  pugi::xml_node Root() const { return doc_.document_element(); }
  size_t Offset(const char* p) const {
    return p >= text_ && p <= text_ + size_ ? static_cast<size_t>(p - text_) : 0;
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
    // Every node under the root once, in document order.
    const void* const top = Record(root);
    pugi::xml_node node = root;
    while (true) {
      const pugi::xml_node_type type = node.type();
      if (type == pugi::node_element) {
        if (!CheckAttributes(node)) return false;
        char* value = const_cast<char*>(node.value());
        if (*value != '\0' && MayHoldReference(value) && !DecodeInPlace(value, fault_)) {
          fault_.offset = Offset(value);
          return false;
        }
        const pugi::xml_node child = node.first_child();
        if (Record(child) != nullptr) {
          node = child;
          continue;
        }
      } else if (type == pugi::node_pcdata) {
        char* value = const_cast<char*>(node.value());
        if (MayHoldReference(value) && !DecodeInPlace(value, fault_)) {
          fault_.offset = Offset(value);
          return false;
        }
      }
      // The next sibling of the node or of its nearest ancestor below the root.
      while (true) {
        if (Record(node) == top) return true;
        const pugi::xml_node next = node.next_sibling();
        if (Record(next) != nullptr) {
          node = next;
          break;
        }
        node = node.parent();
      }
    }
  }

  // A text in the parse buffer that may hold an '&' (see Marks); any other is searched.
  bool MayHoldReference(const char* value) const {
    if (value < text_ || value >= text_ + size_) return std::strchr(value, '&') != nullptr;
    return marks_.AmpFirst(static_cast<size_t>(value - text_));
  }

  bool CheckAttributes(const pugi::xml_node& node) {
    names_.clear();
    for (pugi::xml_attribute a = node.first_attribute(); Record(a) != nullptr;
         a = a.next_attribute()) {
      char* value = const_cast<char*>(a.value());
      // Values are short: one pass for both bytes beats a library search for each.
      bool amp = false;
      for (const char* c = value; *c != '\0'; ++c) {
        if (*c == '<') return Fail(Offset(value), "a '<' in an attribute value");
        amp = amp || *c == '&';
      }
      if (amp && !DecodeInPlace(value, fault_)) {
        fault_.offset = Offset(value);
        return false;
      }
      names_.emplace_back(a.name());
    }
    if (names_.size() < 2) return true;
    // A handful of names: compared pairwise; sorted when there are many.
    bool twice = false;
    if (names_.size() <= 8) {
      for (size_t i = 0; i < names_.size() && !twice; ++i) {
        for (size_t k = i + 1; k < names_.size() && !twice; ++k) twice = names_[i] == names_[k];
      }
    } else {
      std::sort(names_.begin(), names_.end());
      twice = std::adjacent_find(names_.begin(), names_.end()) != names_.end();
    }
    if (twice) return Fail(Offset(node), "an attribute given twice");
    return true;
  }

  char* text_;
  size_t size_;
  const Marks& marks_;
  Fault& fault_;
  pugi::xml_document doc_;
  std::vector<std::string_view> names_;
};

// ---- the units ---------------------------------------------------------------------------------

class UnitReader {
 public:
  // `lines`: where lines ended before the parse changed the bytes. With a `sink`, each entry goes
  // to it as it is read instead of into `units`.
  UnitReader(Tree& tree, LineEnds& lines, std::vector<ImportUnit>& units, FileExtras* extras,
             Keep keep, const UnitSink* sink)
      : tree_(tree), lines_(lines), units_(units), extras_(extras), keep_(keep), sink_(sink) {}

  // The sink asked to stop.
  bool stopped() const { return stopped_; }

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

  // The element's namespace is `uri`: its prefix, or the default namespace when it has none, is
  // bound to it on the element or above it.
  static bool InNamespace(const pugi::xml_node& node, const char* uri) {
    const char* name = node.name();
    const char* colon = std::strchr(name, ':');
    const std::string decl =
        colon == nullptr ? std::string("xmlns") : "xmlns:" + std::string(name, colon - name);
    for (pugi::xml_node n = node; n; n = n.parent()) {
      const pugi::xml_attribute a = n.attribute(decl.c_str());
      if (a) return std::strcmp(a.value(), uri) == 0;
    }
    return false;
  }
  static constexpr const char* kMatches = "urn:oasis:names:tc:xliff:matches:2.0";

  bool Fail(const pugi::xml_node& node, std::string message) {
    return tree_.Fail(tree_.Offset(node), std::move(message));
  }

  // The line the element starts on (calls come in document order, so each counts only the line
  // ends since the one before).
  long LineOf(const pugi::xml_node& node) { return lines_.LineAt(tree_.Offset(node)); }

  // Hands a complete entry over: to the sink, or into the list.
  bool Emit(ImportUnit& entry) {
    if (sink_ == nullptr) {
      units_.push_back(std::move(entry));
      return true;
    }
    if ((*sink_)(entry)) return true;
    stopped_ = true;
    return false;
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
        if (!Text(c, &entry.source)) return false;
      } else if (own && name == "target") {
        if (haveTarget) return Fail(c, "a second <target>");
        haveTarget = true;
        if (!Text(c, &entry.target)) return false;
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
        if (keep_ == Keep::kEverything) {
          const char* from = Attribute(c, "from");
          Note(entry, from == nullptr ? "" : from, std::move(note));
        }
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
    return Emit(entry);
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
    // The parts' targets go one after another into partTexts_; parts_ and placed_ are kept from
    // unit to unit, so a unit costs no allocation of its own for them.
    parts_.clear();
    partTexts_.clear();
    bool anyTarget = false;
    bool missingTarget = false;
    std::string_view state;  // the lowest state of a translated segment; in the tree
    const bool keep = keep_ == Keep::kEverything;
    for (pugi::xml_node c = unit.first_child(); c; c = c.next_sibling()) {
      if (c.type() != pugi::node_element) continue;
      const std::string_view name = LocalName(c.name());
      // Kept elements go back one to a line, indented as the writer indents a unit's children.
      const auto keepElement = [&c](std::string& out) {
        if (!out.empty()) out += "\n    ";
        Serialize(c, out);
      };
      if (!IsXliff(c)) {
        if (keep) keepElement(InNamespace(c, kMatches) ? entry.anchored : entry.extraElements);
        continue;
      }
      if (keep && (name == "originalData" || name == "segment" || name == "ignorable")) {
        keepElement(entry.segments);
      }
      if (name == "notes") {
        for (pugi::xml_node n = c.child("note"); n; n = n.next_sibling("note")) {
          std::string note;
          if (!NoteText(n, note)) return false;
          if (keep) {
            const char* category = Attribute(n, "category");
            Note(entry, category == nullptr ? "" : category, std::move(note));
          }
        }
      } else if (name == "segment" || name == "ignorable") {
        Part& part = parts_.emplace_back();
        part.segment = name == "segment";
        part.from = partTexts_.size();
        bool source = false;
        const size_t sourceFrom = entry.source.size();
        for (pugi::xml_node s = c.first_child(); s; s = s.next_sibling()) {
          if (s.type() != pugi::node_element || !IsXliff(s)) continue;
          const std::string_view kind = LocalName(s.name());
          if (kind == "source") {
            if (source) return Fail(s, "a second <source>");
            source = true;
            if (!Text(s, &entry.source)) return false;
          } else if (kind == "target") {
            if (part.hasTarget) return Fail(s, "a second <target>");
            part.hasTarget = true;
            if (!Text(s, &partTexts_)) return false;
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
        if (!part.hasTarget && !part.segment) partTexts_.append(entry.source, sourceFrom);
        part.size = partTexts_.size() - part.from;
        if (part.segment && part.hasTarget) {
          anyTarget = true;
          const char* st = Attribute(c, "state");
          const std::string_view segmentState = st == nullptr ? "initial" : st;
          if (segmentState == "initial") entry.fuzzy = true;
          if (state.empty() || Rank(segmentState) < Rank(state)) state = segmentState;
        } else if (part.segment) {
          missingTarget = true;
        }
      }
    }
    if (parts_.empty()) return Fail(unit, "a <unit> without <segment>");
    if (keep) {
      for (pugi::xml_attribute a = unit.first_attribute(); a; a = a.next_attribute()) {
        const std::string_view n = a.name();
        if (n != "id" && n != "name" && n != "xml:space") AppendAttribute(entry.unitAttributes, a);
      }
    }
    if (anyTarget) {
      entry.state = state;
      if (missingTarget) entry.fuzzy = true;
      placed_.assign(parts_.size(), nullptr);
      for (size_t i = 0; i < parts_.size(); ++i) {
        const size_t at = parts_[i].order == 0 ? i : parts_[i].order - 1;
        if (at >= parts_.size() || placed_[at] != nullptr) {
          return Fail(unit, "a <unit> whose targets' order is no arrangement of its parts");
        }
        placed_[at] = &parts_[i];
      }
      for (const Part* part : placed_) entry.target.append(partTexts_, part->from, part->size);
    }
    return Emit(entry);
  }

  static int Rank(std::string_view state) {
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

  // A note is text with the same inline codes as a source; it is checked even when it is not kept
  // (then nothing is built).
  bool NoteText(const pugi::xml_node& note, std::string& out) {
    return Text(note, keep_ == Keep::kEverything ? &out : nullptr);
  }

  // The text of a <source> or <target>, inline codes mapped back, walked by links; with no `out`
  // only checked.
  bool Text(const pugi::xml_node& element, std::string* out) {
    if (out != nullptr) *out += element.value();
    pugi::xml_node node = element.first_child();
    while (Record(node) != nullptr) {
      bool enter = false;
      switch (node.type()) {
        case pugi::node_pcdata:
        case pugi::node_cdata:
          if (out != nullptr) *out += node.value();
          break;
        case pugi::node_element: {
          const std::string_view name = LocalName(node.name());
          unsigned int cp = 0;
          if (name == "g" || name == "mrk" || (version2_ && name == "pc")) {
            if (out != nullptr) *out += node.value();
            enter = true;
          } else if (!version2_ && name == "x" &&
                     PlaceholderCodePoint(Attribute(node, "ctype"), cp)) {
            if (out != nullptr) platform::AppendUtf8(*out, cp);
          } else if (version2_ && name == "cp" && Attribute(node, "hex") != nullptr &&
                     ParseHex(Attribute(node, "hex"), cp)) {
            if (out != nullptr) platform::AppendUtf8(*out, cp);
          } else {
            return Fail(node, "an inline <" + std::string(name) +
                                  "> this program cannot turn back into text");
          }
          break;
        }
        default:
          break;
      }
      if (enter) {
        const pugi::xml_node child = node.first_child();
        if (Record(child) != nullptr) {
          node = child;
          continue;
        }
      }
      // The next sibling of the node or of its nearest ancestor inside `element`.
      const void* const top = Record(element);
      while (true) {
        const pugi::xml_node next = node.next_sibling();
        if (Record(next) != nullptr) {
          node = next;
          break;
        }
        node = node.parent();
        if (Record(node) == top) return true;
      }
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
          if (!node.first_child() && *node.value() == '\0') {
            out += "/>";
            break;
          }
          out += '>';
          AppendEscaped(out, node.value(), false);
          if (node.first_child()) {
            enter = true;
          } else {
            out += "</";
            out += node.name();
            out += '>';
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
  LineEnds& lines_;
  std::vector<ImportUnit>& units_;
  FileExtras* extras_;
  Keep keep_;
  const UnitSink* sink_;
  bool stopped_ = false;
  bool version2_ = false;
  // A part of an XLIFF 2 unit: a <segment> or an <ignorable>, its target at [from, from + size)
  // of partTexts_.
  struct Part {
    size_t from = 0;
    size_t size = 0;
    bool hasTarget = false;
    bool segment = false;
    size_t order = 0;  // 1-based place in the target; 0 = its own place
  };
  std::vector<Part> parts_;
  std::vector<const Part*> placed_;
  std::string partTexts_;
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

// The UTF-8 bytes to parse: the caller's buffer itself when it may be changed (`owned`) and needs
// no conversion, else `copy`. False with `fault` (offset into the bytes after any byte order mark)
// for an encoding this reader does not take.
bool ParseBytes(std::string_view data, char* owned, std::string& copy, char*& text, size_t& size,
                Fault& fault) {
  const size_t bom = data.substr(0, 3) == "\xEF\xBB\xBF" ? 3 : 0;
  if (owned != nullptr && data.substr(0, 2) != "\xFE\xFF" && data.substr(0, 2) != "\xFF\xFE") {
    const std::string encoding = DeclaredEncoding(data.substr(bom));
    if (encoding.empty() || NameIs(encoding, {"UTF-8", "UTF8"})) {
      text = owned + bom;
      size = data.size() - bom;
      return true;
    }
  }
  if (!ToUtf8Buffer(data, copy, fault)) return false;
  text = copy.data();
  size = copy.size();
  return true;
}

bool Read(std::string_view data, char* owned, std::vector<ImportUnit>& units, ParseFailure& failure,
          FileExtras* extras, Keep keep, const UnitSink* sink) {
  units.clear();
  failure = ParseFailure();
  if (extras != nullptr) *extras = FileExtras();
  Fault fault;
  std::string copy;
  char* text = nullptr;
  size_t size = 0;
  if (!ParseBytes(data, owned, copy, text, size, fault)) {
    const std::string_view bytes = data.substr(0, 3) == "\xEF\xBB\xBF" ? data.substr(3) : data;
    Position(bytes, fault.offset, failure.line, failure.column);
    failure.message = fault.message;
    return false;
  }
  // Until the parse, the bytes are as they were; from it on, positions come from `lines`.
  LineEnds lines;
  Marks marks;
  if (!ScanBytes(std::string_view(text, size), lines, marks, fault)) {
    Position(std::string_view(text, size), fault.offset, failure.line, failure.column);
    failure.message = fault.message;
    return false;
  }
  // The tree's memory (declared before the tree, which must go first).
  XmlArena arena(std::max(kTreeFloor, size * kTreeBudget));
  Tree tree(text, size, marks, fault);
  UnitReader reader(tree, lines, units, extras, keep, sink);
  if (tree.Parse() && reader.Run()) return true;
  units.clear();
  if (reader.stopped()) return false;  // the sink's choice, no fault of the file
  lines.Position(fault.offset, failure.line, failure.column);
  failure.message = fault.message;
  return false;
}

}  // namespace

bool ReadXliff(std::string_view data, std::vector<ImportUnit>& units, ParseFailure& failure,
               FileExtras* extras, Keep keep, const UnitSink* sink) {
  return Read(data, nullptr, units, failure, extras, keep, sink);
}

bool ReadXliffInPlace(char* data, size_t size, std::vector<ImportUnit>& units,
                      ParseFailure& failure, FileExtras* extras, Keep keep, const UnitSink* sink) {
  return Read(std::string_view(data, size), data, units, failure, extras, keep, sink);
}

}  // namespace exchange
