// XLSX as an exchange format.
//
// Writing: xlsx_writer.cpp.
//
// Reading: libzip over the bytes in memory (a deflated part inflated by ISA-L's igzip, see
// PartReader), pugixml over the parts. Before a part is parsed:
//  - its size as the zip's directory states it is checked against kMaxXlsxPartBytes (and the
//    parts together against kMaxXlsxTotalBytes), and no more than that is ever inflated;
//  - it must be UTF-8, hold no DOCTYPE (so no entity is ever declared or loaded) and refer to no
//    entity but XML's five and character references;
//  - its tags are counted, and a part with more elements and attributes than pugixml could hold
//    in eight times the part's size is refused (a tree parser allocates per node).
// The sheet is read a slice of whole rows at a time (Workbook::StreamSheet); a slice of plain rows
// is checked and read in one pass over its bytes without a tree (PlainRows), any other through
// pugixml as above, with the same checks and results.
// The first sheet is the one workbook.xml lists first, found through its relationship; cells come
// from the shared string table (t="s"), inline strings (t="inlineStr", what our writer writes)
// or are refused as not text where a text is read. Elements go by their local name under a
// prefix bound to SpreadsheetML, transitional or Strict, or none (see Names).
#include <isa-l/crc.h>
#include <isa-l/igzip_lib.h>
#include <zip.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <cstdint>
#include <cstring>
#include <functional>
#include <memory>
#include <pugixml.hpp>

#include "exchange/recoder.h"
#include "exchange/table_columns.h"
#include "exchange/voscript.h"
#include "exchange/xlsx.h"
#include "platform/utf8.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace exchange {
namespace {

// The offsets of the bytes the checks before a parse look at ('<', '>', '=', '&'), in order,
// found 16 bytes at a time where SSE2 is there: most of a sheet's bytes are text, and a block's
// hits are taken from its mask without loading it again.
class MarkupScan {
 public:
  explicit MarkupScan(std::string_view view) : view_(view) {}

  // The first such offset at or after `from`, or the size.
  size_t Next(size_t from) {
#if defined(__SSE2__)
    if (from >= block_ && from < block_ + 16) {
      const unsigned left = mask_ & (~0u << (from - block_));
      if (left != 0) return block_ + static_cast<size_t>(__builtin_ctz(left));
      from = block_ + 16;
    }
    const __m128i lt = _mm_set1_epi8('<');
    const __m128i gt = _mm_set1_epi8('>');
    const __m128i eq = _mm_set1_epi8('=');
    const __m128i amp = _mm_set1_epi8('&');
    for (; from + 16 <= view_.size(); from += 16) {
      const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(view_.data() + from));
      const __m128i hit = _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi8(v, lt), _mm_cmpeq_epi8(v, gt)),
                                       _mm_or_si128(_mm_cmpeq_epi8(v, eq), _mm_cmpeq_epi8(v, amp)));
      const unsigned mask = static_cast<unsigned>(_mm_movemask_epi8(hit));
      if (mask != 0) {
        block_ = from;
        mask_ = mask;
        return from + static_cast<size_t>(__builtin_ctz(mask));
      }
    }
#endif
    for (; from < view_.size(); ++from) {
      const char c = view_[from];
      if (c == '<' || c == '>' || c == '=' || c == '&') return from;
    }
    return view_.size();
  }

 private:
  std::string_view view_;
  size_t block_ = std::string_view::npos - 16;  // the block `mask_` is of
  unsigned mask_ = 0;
};

bool IsHex(char c) {
  return std::isxdigit(static_cast<unsigned char>(c)) != 0;
}

int HexValue(char c) {
  return c <= '9' ? c - '0' : (c | 0x20) - 'a' + 10;
}

// Decodes `_xHHHH_` (a UTF-16 unit; a surrogate pair as two escapes). False on a lone surrogate
// or an escaped NUL.
bool DecodeSheetText(std::string_view text, std::string& out) {
  out.clear();
  out.reserve(text.size());
  size_t i = 0;
  while (i < text.size()) {
    const size_t at = text.find("_x", i);
    if (at == std::string_view::npos) break;
    out.append(text, i, at - i);
    const auto unit = [&text](size_t p, unsigned& value) {
      if (p + 7 > text.size() || text[p] != '_' || text[p + 1] != 'x' || text[p + 6] != '_')
        return false;
      value = 0;
      for (size_t k = p + 2; k < p + 6; ++k) {
        if (!IsHex(text[k])) return false;
        value = value * 16 + static_cast<unsigned>(HexValue(text[k]));
      }
      return true;
    };
    unsigned value;
    if (!unit(at, value)) {
      out.append(text, at, 2);
      i = at + 2;
      continue;
    }
    size_t next = at + 7;
    if (value >= 0xD800 && value <= 0xDBFF) {
      unsigned low;
      if (!unit(next, low) || low < 0xDC00 || low > 0xDFFF) return false;
      value = 0x10000 + ((value - 0xD800) << 10) + (low - 0xDC00);
      next += 7;
    } else if ((value >= 0xDC00 && value <= 0xDFFF) || value == 0) {
      return false;
    }
    platform::AppendUtf8(out, value);
    i = next;
  }
  out.append(text, i, std::string_view::npos);
  return true;
}

const char* CellName(int column, std::string& buffer) {
  buffer.clear();
  int n = column + 1;
  while (n > 0) {
    buffer.insert(buffer.begin(), static_cast<char>('A' + (n - 1) % 26));
    n = (n - 1) / 26;
  }
  return buffer.c_str();
}

struct ZipCloser {
  void operator()(zip_t* zip) const { zip_discard(zip); }
};
struct ZipFileCloser {
  void operator()(zip_file_t* file) const { zip_fclose(file); }
};

// One part's bytes, unpacked a piece at a time. A deflated part (method 8) is read raw from the
// archive and inflated by ISA-L's igzip, a stored one (method 0) copied, both checked as libzip
// checks what it unpacks: never more than the directory's size is produced, the stream must end
// there, and the CRC-32 of what came out must be the directory's. Any other method, and an
// encrypted part (refused for want of a password), goes through libzip's own reader.
class PartReader {
 public:
  static constexpr zip_int64_t kDamaged = -1;
  static constexpr zip_int64_t kLonger = -2;

  // False when the part cannot be opened.
  bool Open(zip_t* zip, const zip_stat_t& stat) {
    constexpr zip_uint64_t kNeeded = ZIP_STAT_INDEX | ZIP_STAT_SIZE | ZIP_STAT_COMP_SIZE |
                                     ZIP_STAT_CRC | ZIP_STAT_COMP_METHOD |
                                     ZIP_STAT_ENCRYPTION_METHOD;
    size_ = stat.size;
    raw_ = (stat.valid & kNeeded) == kNeeded && stat.encryption_method == ZIP_EM_NONE &&
           (stat.comp_method == ZIP_CM_DEFLATE || stat.comp_method == ZIP_CM_STORE);
    if (!raw_) {
      file_.reset(zip_fopen_index(zip, stat.index, 0));
      return file_ != nullptr;
    }
    file_.reset(zip_fopen_index(zip, stat.index, ZIP_FL_COMPRESSED));
    if (file_ == nullptr) return false;
    stored_ = stat.comp_method == ZIP_CM_STORE;
    packed_ = stat.comp_size;
    crc_ = stat.crc;
    if (!stored_) {
      inflate_ = std::make_unique<inflate_state>();
      isal_inflate_init(inflate_.get());
      inflate_->crc_flag = ISAL_GZIP_NO_HDR;  // state->crc: the zip CRC-32 of the output
    }
    return true;
  }

  // As zip_fread: up to `want` bytes into `out`, their count, 0 at the part's end (with every
  // check passed), or kDamaged / kLonger.
  zip_int64_t Read(char* out, size_t want) {
    if (!raw_) return zip_fread(file_.get(), out, want);
    if (done_ == size_) return Finish();
    want = static_cast<size_t>(std::min<zip_uint64_t>(want, size_ - done_));
    want = std::min<size_t>(want, UINT32_MAX);
    size_t got = 0;
    if (stored_) {
      const zip_int64_t n = zip_fread(file_.get(), out, want);
      if (n <= 0) return kDamaged;
      got = static_cast<size_t>(n);
      sum_ = crc32_gzip_refl(sum_, reinterpret_cast<unsigned char*>(out), got);
    } else {
      inflate_->next_out = reinterpret_cast<uint8_t*>(out);
      inflate_->avail_out = static_cast<uint32_t>(want);
      if (!Inflate()) return kDamaged;
      got = want - inflate_->avail_out;
      if (got == 0) return kDamaged;  // the stream ended short of the stated size
    }
    done_ += got;
    return static_cast<zip_int64_t>(got);
  }

 private:
  // Inflates into next_out/avail_out until it is full or the stream ends, reading raw bytes
  // as needed. False on a malformed stream or raw bytes that end before the stream does.
  bool Inflate() {
    while (inflate_->avail_out > 0 && inflate_->block_state != ISAL_BLOCK_FINISH) {
      // With no raw bytes left, igzip may still hold output of what it took earlier.
      if (inflate_->avail_in == 0 && packedRead_ < packed_) {
        if (in_.empty()) in_.resize(kInput);
        const zip_int64_t n = zip_fread(file_.get(), in_.data(),
                                        std::min<zip_uint64_t>(in_.size(), packed_ - packedRead_));
        if (n <= 0) return false;
        packedRead_ += static_cast<zip_uint64_t>(n);
        inflate_->next_in = in_.data();
        inflate_->avail_in = static_cast<uint32_t>(n);
      }
      const uint32_t before = inflate_->avail_out;
      const uint32_t pending = inflate_->avail_in;
      const int status = isal_inflate(inflate_.get());
      if (status != ISAL_DECOMP_OK && status != ISAL_END_INPUT) return false;
      if (inflate_->avail_out == before && inflate_->avail_in == pending &&
          inflate_->block_state != ISAL_BLOCK_FINISH) {
        return false;  // no progress: a stream that cannot go on
      }
    }
    return true;
  }

  // At the stated size: the stream must end there (one byte more is a longer part) and the
  // CRC-32 must match.
  zip_int64_t Finish() {
    if (stored_) {
      if (packed_ != size_) return packed_ > size_ ? kLonger : kDamaged;
    } else {
      uint8_t extra;
      inflate_->next_out = &extra;
      inflate_->avail_out = 1;
      if (!Inflate()) return kDamaged;
      if (inflate_->avail_out == 0) return kLonger;
      sum_ = inflate_->crc;
    }
    return sum_ == crc_ ? 0 : kDamaged;
  }

  static constexpr size_t kInput = size_t{256} << 10;
  std::unique_ptr<zip_file_t, ZipFileCloser> file_;
  std::unique_ptr<inflate_state> inflate_;
  std::vector<uint8_t> in_;
  bool raw_ = false;
  bool stored_ = false;
  zip_uint64_t size_ = 0;
  zip_uint64_t done_ = 0;
  zip_uint64_t packed_ = 0;
  zip_uint64_t packedRead_ = 0;
  uint32_t crc_ = 0;
  uint32_t sum_ = 0;
};

// The offset of the first start tag `<local` or `<prefix:local` in `bytes` (npos when there is
// none), with the length of its qualified name in `length`. Only a byte scan: what follows the
// name is for the caller to check.
size_t FindStartTag(std::string_view bytes, std::string_view local, size_t& length) {
  for (size_t at = bytes.find(local); at != std::string_view::npos;
       at = bytes.find(local, at + 1)) {
    size_t lt = at;
    while (lt > 0 && lt + 64 > at &&
           (std::isalnum(static_cast<unsigned char>(bytes[lt - 1])) != 0 || bytes[lt - 1] == '_' ||
            bytes[lt - 1] == '-' || bytes[lt - 1] == '.' || bytes[lt - 1] == ':')) {
      --lt;
    }
    if (lt == 0 || bytes[lt - 1] != '<') continue;
    if (lt != at && (bytes[at - 1] != ':' || bytes[lt] == ':')) continue;  // not a prefix
    length = at + local.size() - lt;
    return lt - 1;
  }
  return std::string_view::npos;
}

// The namespaces the reader knows, each by its transitional and its Strict name where it has
// both (Excel's "Strict Open XML Spreadsheet" writes the purl.oclc.org ones).
enum class Ns { kMain, kRelationships, kPackage };

bool IsNamespace(std::string_view uri, Ns ns) {
  switch (ns) {
    case Ns::kMain:
      return uri == "http://schemas.openxmlformats.org/spreadsheetml/2006/main" ||
             uri == "http://purl.oclc.org/ooxml/spreadsheetml/main";
    case Ns::kRelationships:
      return uri == "http://schemas.openxmlformats.org/officeDocument/2006/relationships" ||
             uri == "http://purl.oclc.org/ooxml/officeDocument/relationships";
    case Ns::kPackage:
      return uri == "http://schemas.openxmlformats.org/package/2006/relationships";
  }
  return false;
}

// How one part names its elements. Excel, LibreOffice and libxlsxwriter write them unprefixed in
// the default namespace (`<row>`); the Open XML SDK and some others bind a prefix on the root
// element (`<x:worksheet xmlns:x="...">`, `<x:row>`). An element is taken by its local name when
// it is unprefixed (the default namespace is not checked, as it never was) or when its prefix is
// bound on the root to the namespace asked for; prefixes bound deeper in a part are not seen.
class Names {
 public:
  // The prefixes the declarations of `root` bind.
  void Declare(const pugi::xml_node root) {
    prefixes_.clear();
    for (const pugi::xml_attribute attribute : root.attributes()) {
      const char* name = attribute.name();
      if (std::strncmp(name, "xmlns:", 6) == 0) prefixes_.emplace_back(name + 6, attribute.value());
    }
  }

  bool Is(const char* qualified, std::string_view local, Ns ns = Ns::kMain) const {
    const char* colon = std::strchr(qualified, ':');
    if (colon == nullptr) return local == qualified;
    return local == colon + 1 && Bound(std::string_view(qualified, colon - qualified), ns);
  }

  // The first child element of `parent` named `local` (see Is); an empty node when none is.
  pugi::xml_node Child(const pugi::xml_node parent, std::string_view local,
                       Ns ns = Ns::kMain) const {
    for (pugi::xml_node child = parent.first_child(); child; child = child.next_sibling()) {
      if (child.type() == pugi::node_element && Is(child.name(), local, ns)) return child;
    }
    return pugi::xml_node();
  }

  // The next sibling element of `node` named as it is.
  static pugi::xml_node Next(const pugi::xml_node node) {
    for (pugi::xml_node next = node.next_sibling(); next; next = next.next_sibling()) {
      if (std::strcmp(next.name(), node.name()) == 0) return next;
    }
    return pugi::xml_node();
  }

  // The relationship id of a <sheet>: its `r:id`, under whatever prefix is bound to the
  // relationships namespace (a literal `r:id` with `r` bound nowhere is taken, as before).
  const char* RelationId(const pugi::xml_node element) const {
    for (const pugi::xml_attribute attribute : element.attributes()) {
      const char* name = attribute.name();
      const char* colon = std::strchr(name, ':');
      if (colon == nullptr || std::strcmp(colon + 1, "id") != 0) continue;
      const std::string_view prefix(name, colon - name);
      if (Bound(prefix, Ns::kRelationships) || (prefix == "r" && !Declared(prefix))) {
        return attribute.value();
      }
    }
    return "";
  }

 private:
  bool Bound(std::string_view prefix, Ns ns) const {
    for (const auto& [name, uri] : prefixes_) {
      if (name == prefix) return IsNamespace(uri, ns);
    }
    return false;
  }
  bool Declared(std::string_view prefix) const {
    for (const auto& binding : prefixes_) {
      if (binding.first == prefix) return true;
    }
    return false;
  }

  std::vector<std::pair<std::string, std::string>> prefixes_;
};

// The root element of a parsed part with its prefixes declared in `names`; an empty node when
// the root is not `local` (see Names::Is).
pugi::xml_node Root(const pugi::xml_document& doc, std::string_view local, Ns ns, Names& names) {
  const pugi::xml_node root = doc.document_element();
  names.Declare(root);
  return names.Is(root.name(), local, ns) ? root : pugi::xml_node();
}

// One cell as the row logic reads it, taken from a tree or from PlainRows; the views point into
// the bytes of the slice or the tree, which outlive the call.
struct SheetCell {
  std::string_view ref;         // its `r`; empty when it has none
  std::string_view type;        // its `t`; empty when it has none
  bool hasValue = false;        // it has a <v>
  bool hasFormula = false;      // it has an <f>
  std::string_view value;       // the text of its <v>
  std::string_view inlineText;  // the text of its <is> (see ItemText)
};

// The offset of the first '<', '&', CR or NUL at or after `from` in the `size` bytes at `p`, or
// `size`: the bytes that end a run of plain text or need a closer look.
size_t TextStop(const char* p, size_t from, size_t size) {
#if defined(__SSE2__)
  const __m128i lt = _mm_set1_epi8('<');
  const __m128i amp = _mm_set1_epi8('&');
  const __m128i cr = _mm_set1_epi8('\r');
  const __m128i zero = _mm_setzero_si128();
  for (; from + 16 <= size; from += 16) {
    const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + from));
    const __m128i hit = _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi8(v, lt), _mm_cmpeq_epi8(v, amp)),
                                     _mm_or_si128(_mm_cmpeq_epi8(v, cr), _mm_cmpeq_epi8(v, zero)));
    const unsigned mask = static_cast<unsigned>(_mm_movemask_epi8(hit));
    if (mask != 0) return from + static_cast<size_t>(__builtin_ctz(mask));
  }
#endif
  for (; from < size; ++from) {
    const char c = p[from];
    if (c == '<' || c == '&' || c == '\r' || c == '\0') return from;
  }
  return size;
}

// A slice of whole rows (see Workbook::StreamSheet) read without building a tree, for the shape
// our writer, Excel, LibreOffice and openpyxl write:
//   <row ...> <c ...> [<v>TEXT</v> | <is><t ...>TEXT</t></is>] </c> ... </row> <row ...> ...
// with white space between the elements, each element named with the prefix of <sheetData>, and
// any attributes. Read returns false for anything else (another element or prefix, a formula,
// rich text, text between the elements, a comment, a character reference, an attribute value
// holding '<', '>', '&' or a control byte, a NUL, invalid UTF-8, a tag that does not close), and
// the slice goes to the tree parse as before, which accepts it or refuses it with the message and
// position it always gave. What Read accepts, the tree parse accepts too, with the same texts:
// XML's five entities decoded, CR LF and a lone CR as LF, and the first of repeated attributes.
// Read leaves the bytes as they are; Decode, once the slice is taken, decodes the texts with an
// entity or a CR in place (each only shrinks). The tags are counted as Workbook::ParseSpan
// counts them: an element per start tag, an attribute per '=' inside a tag.
// Memory: Read stops (false) once the tags counted exceed what the tree of the part may still take
// (`headroom`, in the tree's 64 bytes an element and 40 an attribute), and what it keeps is less
// than that: 16 bytes a row and 28 a cell (offsets into the slice), at most twice over as the
// vectors grow. So a hostile slice of tiny cells takes no more than its tree would have.
class PlainRows {
 public:
  struct Row {
    uint32_t ref = 0;    // its `r`: offset and size in the slice
    uint32_t first = 0;  // its cells: Cell(first) ...
    uint32_t count = 0;
    uint8_t refSize = 0;
  };

  // `prefix`: "" or the "x:" of <x:sheetData>.
  explicit PlainRows(const std::string& prefix)
      : row_(prefix + "row"),
        c_(prefix + "c"),
        v_(prefix + "v"),
        is_(prefix + "is"),
        t_(prefix + "t") {}

  bool Read(char* data, size_t size, size_t headroom) {
    rows_.clear();
    cells_.clear();
    elements_ = 0;
    attributes_ = 0;
    if (size > UINT32_MAX || ValidUtf8Prefix(std::string_view(data, size)) != size) return false;
    base_ = data;
    p_ = 0;
    size_ = size;
    headroom_ = headroom;
    while (true) {
      SkipSpace();
      if (p_ == size_) break;
      if (!ReadRow()) return false;
    }
    return true;
  }

  // After a Read that returned true: the texts with an entity or a CR decoded in place.
  void Decode() {
    for (PlainCell& cell : cells_) {
      if ((cell.flags & kDecodeValue) != 0) {
        cell.valueSize = static_cast<uint32_t>(Decode(cell.value, cell.valueSize));
      }
      if ((cell.flags & kDecodeText) != 0) {
        cell.textSize = static_cast<uint32_t>(Decode(cell.text, cell.textSize));
      }
      cell.flags &= ~(kDecodeValue | kDecodeText);
    }
  }

  const std::vector<Row>& rows() const { return rows_; }
  std::string_view RowRef(const Row& row) const {
    return std::string_view(base_ + row.ref, row.refSize);
  }
  SheetCell Cell(size_t k) const {
    const PlainCell& plain = cells_[k];
    SheetCell cell;
    cell.ref = std::string_view(base_ + plain.ref, plain.refSize);
    cell.type = std::string_view(base_ + plain.type, plain.typeSize);
    cell.hasValue = (plain.flags & kHasValue) != 0;
    cell.value = std::string_view(base_ + plain.value, plain.valueSize);
    cell.inlineText = std::string_view(base_ + plain.text, plain.textSize);
    return cell;
  }
  size_t elements() const { return elements_; }
  size_t attributes() const { return attributes_; }

 private:
  // The bytes of an attribute value that need a look: the quotes, '=' (counted), and what makes
  // the slice one for the tree: '<', '>', '&' and the control bytes.
  static constexpr std::array<bool, 256> kValueStop = [] {
    std::array<bool, 256> stop{};
    for (int b = 0; b < 0x20; ++b) stop[b] = true;
    for (const char c : {'"', '\'', '=', '<', '>', '&'}) stop[static_cast<unsigned char>(c)] = true;
    return stop;
  }();

  static bool IsSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }
  static bool IsNameStart(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_' || c == ':';
  }
  static bool IsNameByte(char c) {
    return IsNameStart(c) || (c >= '0' && c <= '9') || c == '-' || c == '.';
  }

  // The loops over bytes keep the cursor in a local: a member would be stored and reloaded on
  // every byte, since a char may alias it.
  void SkipSpace() {
    size_t p = p_;
    while (p < size_ && IsSpace(base_[p])) ++p;
    p_ = p;
  }
  // The names and entities compared are a few bytes: a loop the compiler keeps inline beats a
  // call to memcmp.
  static bool Same(const char* at, std::string_view bytes) {
    for (size_t k = 0; k < bytes.size(); ++k) {
      if (at[k] != bytes[k]) return false;
    }
    return true;
  }
  bool At(std::string_view bytes) const {
    return size_ - p_ >= bytes.size() && Same(base_ + p_, bytes);
  }

  // At `<name` followed by white space, '/' or '>': past the name, counted; false also once the
  // tags counted exceed the headroom.
  bool StartTag(const std::string& name) {
    if (size_ - p_ < name.size() + 2 || base_[p_] != '<' || !Same(base_ + p_ + 1, name)) {
      return false;
    }
    const char after = base_[p_ + 1 + name.size()];
    if (!IsSpace(after) && after != '/' && after != '>') return false;
    p_ += 1 + name.size();
    ++elements_;
    return elements_ * 64 + attributes_ * 40 <= headroom_;
  }

  // At `</name` white space `>`: past it.
  bool EndTag(const std::string& name) {
    if (size_ - p_ < name.size() + 3 || base_[p_] != '<' || base_[p_ + 1] != '/' ||
        !Same(base_ + p_ + 2, name)) {
      return false;
    }
    p_ += 2 + name.size();
    SkipSpace();
    if (p_ == size_ || base_[p_] != '>') return false;
    ++p_;
    return true;
  }

  // The attributes of a start tag, past its '>' (`empty` false) or "/>" (true); the first `r` and
  // `t` into `r` and `t` where asked for.
  bool Attributes(std::string_view* r, std::string_view* t, bool& empty) {
    bool seenR = false;
    bool seenT = false;
    while (true) {
      const size_t before = p_;
      SkipSpace();
      if (p_ == size_) return false;
      const char c = base_[p_];
      if (c == '>' || c == '/') {
        empty = c == '/';
        if (empty && (p_ + 1 == size_ || base_[p_ + 1] != '>')) return false;
        p_ += empty ? 2 : 1;
        return true;
      }
      if (p_ == before || !IsNameStart(c)) return false;  // names are parted by white space
      const size_t name = p_;
      size_t p = p_;
      const char* const bytes = base_;
      const size_t size = size_;
      while (p < size && IsNameByte(bytes[p])) ++p;
      p_ = p;
      const std::string_view attribute(base_ + name, p_ - name);
      SkipSpace();
      if (p_ == size_ || base_[p_] != '=') return false;
      ++p_;
      ++attributes_;
      SkipSpace();
      if (p_ == size_ || (base_[p_] != '"' && base_[p_] != '\'')) return false;
      const char quote = base_[p_++];
      const size_t value = p_;
      size_t equals = 0;
      for (p = p_; p < size; ++p) {
        const unsigned char b = static_cast<unsigned char>(bytes[p]);
        if (!kValueStop[b]) continue;
        if (b == static_cast<unsigned char>(quote)) break;
        if (b == '=') {
          ++equals;
        } else if (b != '"' && b != '\'') {
          return false;
        }
      }
      p_ = p;
      attributes_ += equals;
      if (p_ == size_) return false;
      const std::string_view text(base_ + value, p_ - value);
      ++p_;
      if (r != nullptr && !seenR && attribute == "r") {
        *r = text;
        seenR = true;
      } else if (t != nullptr && !seenT && attribute == "t") {
        *t = text;
        seenT = true;
      }
    }
  }

  // Text up to the '<' of `</name>`, and past that end tag. `decode` is set when the text holds
  // an entity (one of XML's five, checked here) or a CR.
  bool Text(const std::string& name, std::string_view& text, bool& decode) {
    const size_t start = p_;
    decode = false;
    while (true) {
      p_ = TextStop(base_, p_, size_);
      if (p_ == size_) return false;
      const char c = base_[p_];
      if (c == '<') break;
      if (c == '\0') return false;
      decode = true;
      if (c == '&') {
        static constexpr std::string_view kNamed[] = {"&amp;", "&lt;", "&gt;", "&quot;", "&apos;"};
        size_t length = 0;
        for (const std::string_view entity : kNamed) {
          if (At(entity)) length = entity.size();
        }
        if (length == 0) return false;  // a character reference, or an entity XML lacks
        p_ += length;
      } else {
        ++p_;  // CR
      }
    }
    text = std::string_view(base_ + start, p_ - start);
    return EndTag(name);
  }

  // The `size` bytes of text at offset `at` decoded in place (XML's five entities, CR LF and CR
  // as LF); their new size.
  size_t Decode(uint32_t at, uint32_t size) {
    char* const begin = base_ + at;
    const char* in = begin;
    const char* const end = in + size;
    char* out = begin;
    while (in < end) {
      const char c = *in;
      if (c == '\r') {
        *out++ = '\n';
        in += in + 1 < end && in[1] == '\n' ? 2 : 1;
      } else if (c != '&') {
        *out++ = *in++;
      } else if (in[1] == 'a' && in[2] == 'm') {
        *out++ = '&', in += 5;
      } else if (in[1] == 'a') {
        *out++ = '\'', in += 6;
      } else if (in[1] == 'l') {
        *out++ = '<', in += 4;
      } else if (in[1] == 'g') {
        *out++ = '>', in += 4;
      } else {
        *out++ = '"', in += 6;
      }
    }
    return static_cast<size_t>(out - begin);
  }

  // A view inside the slice as an offset; false for a reference or type longer than 255 bytes,
  // which no writer writes (the tree takes the slice).
  bool Short(std::string_view view, uint32_t& at, uint8_t& size) const {
    if (view.size() > UINT8_MAX) return false;
    at = view.data() == nullptr ? 0 : static_cast<uint32_t>(view.data() - base_);
    size = static_cast<uint8_t>(view.size());
    return true;
  }
  void Long(std::string_view view, uint32_t& at, uint32_t& size) const {
    at = view.data() == nullptr ? 0 : static_cast<uint32_t>(view.data() - base_);
    size = static_cast<uint32_t>(view.size());
  }

  bool ReadRow() {
    Row row;
    std::string_view ref;
    bool empty = false;
    if (!StartTag(row_) || !Attributes(&ref, nullptr, empty) || !Short(ref, row.ref, row.refSize)) {
      return false;
    }
    row.first = static_cast<uint32_t>(cells_.size());
    if (!empty) {
      while (true) {
        SkipSpace();
        if (EndTag(row_)) break;
        if (!ReadCell()) return false;
      }
    }
    row.count = static_cast<uint32_t>(cells_.size() - row.first);
    rows_.push_back(row);
    return true;
  }

  bool ReadCell() {
    PlainCell cell;
    std::string_view ref;
    std::string_view type;
    bool empty = false;
    if (!StartTag(c_) || !Attributes(&ref, &type, empty) || !Short(ref, cell.ref, cell.refSize) ||
        !Short(type, cell.type, cell.typeSize)) {
      return false;
    }
    bool inline_ = false;
    while (!empty) {
      SkipSpace();
      if (EndTag(c_)) break;
      bool decode = false;
      std::string_view text;
      if ((cell.flags & kHasValue) == 0 && StartTag(v_)) {
        cell.flags |= kHasValue;
        bool none = false;
        if (!Attributes(nullptr, nullptr, none)) return false;
        if (!none && !Text(v_, text, decode)) return false;
        Long(text, cell.value, cell.valueSize);
        if (decode) cell.flags |= kDecodeValue;
      } else if (!inline_ && StartTag(is_)) {
        inline_ = true;  // no second <is>
        bool none = false;
        if (!Attributes(nullptr, nullptr, none)) return false;
        if (none) continue;
        SkipSpace();
        if (EndTag(is_)) continue;  // only white space, which is no text
        if (!StartTag(t_) || !Attributes(nullptr, nullptr, none)) return false;
        if (!none && !Text(t_, text, decode)) return false;
        Long(text, cell.text, cell.textSize);
        if (decode) cell.flags |= kDecodeText;
        SkipSpace();
        if (!EndTag(is_)) return false;
      } else {
        return false;
      }
    }
    cells_.push_back(cell);
    return true;
  }

  // A cell as Read keeps it: offsets and sizes of its `r`, `t`, <v> text and <is> text in the
  // slice (28 bytes, less than the 64 the tree counts for its element).
  static constexpr uint8_t kHasValue = 1;
  static constexpr uint8_t kDecodeValue = 2;
  static constexpr uint8_t kDecodeText = 4;
  struct PlainCell {
    uint32_t ref = 0, type = 0, value = 0, valueSize = 0, text = 0, textSize = 0;
    uint8_t refSize = 0, typeSize = 0, flags = 0;
  };
  static_assert(sizeof(PlainCell) <= 32);

  std::string row_, c_, v_, is_, t_;
  char* base_ = nullptr;
  size_t p_ = 0;
  size_t size_ = 0;
  size_t headroom_ = 0;
  std::vector<Row> rows_;
  std::vector<PlainCell> cells_;
  size_t elements_ = 0;
  size_t attributes_ = 0;
};

class Workbook {
 public:
  Workbook(std::string_view data, ParseFailure& failure) : data_(data), failure_(failure) {}

  bool Open() {
    zip_error_t error;
    zip_error_init(&error);
    zip_source_t* source = zip_source_buffer_create(data_.data(), data_.size(), 0, &error);
    if (source != nullptr) {
      zip_.reset(zip_open_from_source(source, ZIP_RDONLY, &error));
      if (zip_ == nullptr) zip_source_free(source);
    }
    zip_error_fini(&error);
    if (zip_ == nullptr) return Fail("", 0, "not an XLSX workbook (not a zip archive)");
    return true;
  }

  // Looks the part `name` up and checks its unpacked size against the limits before anything is
  // unpacked; `present` false (and true returned) when it is not there.
  bool StatPart(const std::string& name, zip_stat_t& stat, bool& present) {
    zip_stat_init(&stat);
    present = zip_stat(zip_.get(), name.c_str(), 0, &stat) == 0;
    if (!present) return true;
    if ((stat.valid & ZIP_STAT_SIZE) == 0) return Fail(name, 0, "a part of unknown size");
    if (stat.size > kMaxXlsxPartBytes || total_ + stat.size > kMaxXlsxTotalBytes) {
      return Fail(name, 0,
                  "unpacks to " + std::to_string(stat.size) +
                      " bytes, more than a workbook of translations holds; not read");
    }
    return true;
  }

  // Unpacks the part `name`; `present` false (and true returned) when it is not there.
  bool Part(const std::string& name, std::string& out, bool& present) {
    out.clear();
    zip_stat_t stat;
    if (!StatPart(name, stat, present)) return false;
    if (!present) return true;
    total_ += stat.size;
    PartReader file;
    if (!file.Open(zip_.get(), stat)) return Fail(name, 0, "the part cannot be unpacked");
    out.resize(stat.size);
    zip_uint64_t got = 0;
    while (got < stat.size) {
      const zip_int64_t n = file.Read(out.data() + got, stat.size - got);
      if (n <= 0) return Fail(name, 0, "the part cannot be unpacked (damaged archive)");
      got += static_cast<zip_uint64_t>(n);
    }
    char extra;
    const zip_int64_t n = file.Read(&extra, 1);
    if (n == PartReader::kDamaged) {
      return Fail(name, 0, "the part cannot be unpacked (damaged archive)");
    }
    if (n != 0) return Fail(name, 0, "the part is longer than the archive says");
    return true;
  }

  // The checks before parsing (see the top of the file), then the parse, in place.
  bool Parse(const std::string& name, std::string& bytes, pugi::xml_document& doc) {
    Budget budget;
    budget.limit = 8 * bytes.size() + (size_t{1} << 20);
    const std::string_view view(bytes);
    return ParseSpan(name, bytes.data(), bytes.size(), doc, false, budget,
                     [view](size_t offset, long& line, long& column) {
                       LineAndColumn(view, offset, line, column);
                     });
  }

  // What pugixml may take for the tags of a part (64 bytes an element, 40 an attribute, besides
  // the text it parses in place), counted over all of it when it is parsed a slice at a time.
  struct Budget {
    size_t elements = 0;
    size_t attributes = 0;
    size_t limit = 0;
  };
  using Locate = std::function<void(size_t offset, long& line, long& column)>;

  // The checks and the parse of `size` bytes at `text` (a whole part, or with `fragment` a slice
  // of whole elements of one, which must hold no comment, CDATA section, declaration or
  // processing instruction: false with no failure for one); `locate` turns an offset into the
  // part's line and column.
  bool ParseSpan(const std::string& name, char* text, size_t size, pugi::xml_document& doc,
                 bool fragment, Budget& budget, const Locate& locate) {
    const auto failAt = [&](size_t offset, const std::string& message) {
      locate(offset, failure_.line, failure_.column);
      failure_.message = name + ": " + message;
      return false;
    };
    const std::string_view view(text, size);
    size_t start = 0;
    if (!fragment && view.compare(0, 3, "\xEF\xBB\xBF") == 0) start = 3;
    const size_t valid = ValidUtf8Prefix(view);
    if (valid != size) return failAt(valid, "invalid UTF-8");
    if (!fragment && view.compare(start, 5, "<?xml") == 0) {
      const size_t end = view.find("?>", start);
      const std::string_view decl = view.substr(start, end == std::string_view::npos ? 0 : end);
      const size_t enc = decl.find("encoding=");
      if (enc != std::string_view::npos && enc + 10 < decl.size()) {
        std::string name8(decl.substr(enc + 10, 5));
        for (char& c : name8) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        if (name8 != "UTF-8" && name8.compare(0, 4, "UTF8") != 0) {
          return failAt(start + enc, "an XML encoding other than UTF-8");
        }
      }
    }
    bool inTag = false;
    MarkupScan scan(view);
    for (size_t i = scan.Next(start); i < view.size(); i = scan.Next(i + 1)) {
      const char c = view[i];
      if (c == '<') {
        // A slice holds elements and text only (see StreamSheet); the caller reads whole a part
        // whose slice holds anything else.
        if (fragment && i + 1 < view.size() && (view[i + 1] == '!' || view[i + 1] == '?')) {
          return false;
        }
        if (i + 1 < view.size() && view[i + 1] == '!') {
          if (view.compare(i, 4, "<!--") == 0) {
            const size_t end = view.find("-->", i + 4);
            if (end == std::string_view::npos) break;  // the parser reports it
            i = end + 2;
            continue;
          }
          if (view.compare(i, 9, "<![CDATA[") == 0) {
            const size_t end = view.find("]]>", i + 9);
            if (end == std::string_view::npos) break;
            i = end + 2;
            continue;
          }
          return failAt(i, "a DOCTYPE or other declaration; not read");
        }
        if (i + 1 < view.size() && view[i + 1] != '/' && view[i + 1] != '?') ++budget.elements;
        inTag = true;
      } else if (c == '>') {
        inTag = false;
      } else if (c == '=' && inTag) {
        ++budget.attributes;
      } else if (c == '&') {
        static constexpr std::string_view kNamed[] = {"&amp;", "&lt;", "&gt;", "&quot;", "&apos;"};
        bool known = false;
        for (const std::string_view entity : kNamed) {
          if (view.substr(i, entity.size()) == entity) {
            known = true;
            break;
          }
        }
        if (!known && i + 2 < view.size() && view[i + 1] == '#') {
          size_t k = i + 2;
          const bool hex = view[k] == 'x';
          if (hex) ++k;
          const size_t digits = k;
          while (k < view.size() &&
                 (hex ? IsHex(view[k]) : std::isdigit(static_cast<unsigned char>(view[k])) != 0))
            ++k;
          known = k > digits && k < view.size() && view[k] == ';';
        }
        if (!known) return failAt(i, "an entity XML does not define; not read");
      }
    }
    if (budget.elements * 64 + budget.attributes * 40 > budget.limit) {
      return Fail(name, 0, "more tags than a part of its size can hold; not read");
    }
    const unsigned options =
        pugi::parse_default | pugi::parse_ws_pcdata_single | (fragment ? pugi::parse_fragment : 0u);
    const pugi::xml_parse_result result =
        doc.load_buffer_inplace(text + start, size - start, options, pugi::encoding_utf8);
    if (!result) {
      return failAt(start + static_cast<size_t>(result.offset),
                    std::string("malformed XML: ") + result.description());
    }
    return true;
  }

  // The sheet part `name`, read a slice of whole rows at a time so that neither the unpacked part
  // nor its tree is ever held whole: a workbook of 100 000 lines unpacks to some 80 MB, whose
  // tree would take four times that. Each slice (the bytes up to the last "</row>" read so far,
  // 4 MiB at a time) gets the checks of a whole part, is parsed as a fragment and handed to
  // `rows`, then dropped. The frame (what comes before the rows and after the last "</row>") is
  // parsed last, as a document whose <sheetData> holds what followed that "</row>" (a last
  // empty <row/>, say), and handed to `rows` too. The budget of tags is the whole part's.
  // A part this cannot slice safely, one whose frame or slices hold a comment, a CDATA section,
  // a declaration or a processing instruction (a "</row>" could hide in them) or with no plain
  // <sheetData>, and one whose slice or frame fails a check or the parse, is left to the caller
  // to read whole (false with `whole` set and no failure): what it then refuses, it refuses with
  // the same message and position as before. Only a fault `rows` finds in a cell is final.
  // A slice in the plain shape of PlainRows goes to `plainRows` instead, without a tree (not with
  // `plain` false: the tree only, for the tests and the fuzz target that compare the two).
  bool StreamSheet(const std::string& name, bool& present, bool& whole,
                   const std::function<bool(pugi::xml_node parent, const Names& names)>& rows,
                   const std::function<bool(const PlainRows& slice)>& plainRows, bool plain) {
    whole = false;
    zip_stat_t stat;
    if (!StatPart(name, stat, present)) return false;
    if (!present) return true;
    PartReader file;
    if (!file.Open(zip_.get(), stat)) return Fail(name, 0, "the part cannot be unpacked");
    Budget budget;
    budget.limit = 8 * static_cast<size_t>(stat.size) + (size_t{1} << 20);
    constexpr size_t kRead = size_t{4} << 20;
    std::string buffer;
    std::string head;  // the frame up to and with the <sheetData> start tag
    zip_uint64_t got = 0;
    bool end = false;
    const auto readMore = [&]() {
      const size_t at = buffer.size();
      const size_t want =
          static_cast<size_t>(std::min<zip_uint64_t>(kRead, stat.size > got ? stat.size - got : 1));
      buffer.resize(at + want);
      const zip_int64_t n = file.Read(buffer.data() + at, want);
      buffer.resize(at + static_cast<size_t>(n > 0 ? n : 0));
      if (n == PartReader::kLonger)
        return Fail(name, 0, "the part is longer than the archive says");
      if (n < 0) return Fail(name, 0, "the part cannot be unpacked (damaged archive)");
      got += static_cast<zip_uint64_t>(n > 0 ? n : 0);
      if (got > stat.size) return Fail(name, 0, "the part is longer than the archive says");
      if (n == 0) {
        if (got < stat.size) return Fail(name, 0, "the part cannot be unpacked (damaged archive)");
        end = true;
      }
      return true;
    };
    const auto readWhole = [&]() {
      failure_ = ParseFailure();
      whole = true;
      return false;
    };
    const Locate nowhere = [](size_t, long&, long&) {};
    const auto unsafe = [](std::string_view bytes, size_t from) {
      return bytes.find("<!", from) != std::string_view::npos ||
             bytes.find("<?", from) != std::string_view::npos;
    };
    // The frame's start: up to the end of the <sheetData> start tag, under whatever prefix.
    size_t open = std::string::npos;
    size_t openName = 0;  // the bytes of its qualified name
    while (true) {
      if (!readMore()) return false;
      open = FindStartTag(buffer, "sheetData", openName);
      if (open != std::string::npos) {
        const size_t close = buffer.find('>', open);
        const size_t next = open + 1 + openName;
        const char after = next < buffer.size() ? buffer[next] : '\0';
        if (close != std::string::npos &&
            (after == '>' || after == ' ' || after == '\t' || after == '\n' || after == '\r')) {
          if (buffer[close - 1] == '/') return readWhole();  // no rows at all: a small part
          head.assign(buffer, 0, close + 1);
          break;
        }
        if (close != std::string::npos || end) return readWhole();
      }
      if (end || buffer.size() > kRead * 4) return readWhole();
    }
    size_t declEnd = 0;
    if (head.compare(0, 3, "\xEF\xBB\xBF") == 0) declEnd = 3;
    if (head.compare(declEnd, 5, "<?xml") == 0) {
      const size_t q = head.find("?>", declEnd);
      declEnd = q == std::string::npos ? head.size() : q + 2;
    }
    if (unsafe(head, declEnd)) return readWhole();
    // The root's start tag, alone, gives the prefixes the rows are named with.
    Names names;
    {
      const size_t lt = head.find('<', declEnd);
      const size_t gt = head.find('>', lt);
      if (lt == std::string::npos || gt == std::string::npos || gt <= lt + 1 ||
          head[gt - 1] == '/') {
        return readWhole();
      }
      std::string tag = head.substr(lt, gt - lt) + "/>";
      pugi::xml_document root;
      if (!root.load_buffer_inplace(tag.data(), tag.size(), pugi::parse_default,
                                    pugi::encoding_utf8)) {
        return readWhole();
      }
      names.Declare(root.document_element());
      const std::string sheetData(head, open + 1, openName);
      if (!names.Is(root.document_element().name(), "worksheet") ||
          !names.Is(sheetData.c_str(), "sheetData")) {
        return readWhole();
      }
    }
    // "</x:row>" for the prefix "x:" of <x:sheetData>.
    const std::string prefix = head.substr(open + 1, openName - std::strlen("sheetData"));
    const std::string rowEnd = "</" + prefix + "row>";
    buffer.erase(0, head.size());
    PlainRows scan(prefix);
    // The slices of rows.
    while (true) {
      const size_t last = buffer.rfind(rowEnd);
      if (last != std::string::npos) {
        const size_t cut = last + rowEnd.size();
        const size_t used = budget.elements * 64 + budget.attributes * 40;
        const size_t headroom = budget.limit > used ? budget.limit - used : 0;
        if (plain && scan.Read(buffer.data(), cut, headroom) &&
            scan.elements() * 64 + scan.attributes() * 40 <= headroom) {
          budget.elements += scan.elements();
          budget.attributes += scan.attributes();
          scan.Decode();
          if (!plainRows(scan)) return false;
        } else {
          // Not plain, or over the budget (which ParseSpan then refuses): the tree.
          pugi::xml_document slice;
          if (!ParseSpan(name, buffer.data(), cut, slice, true, budget, nowhere)) {
            return readWhole();
          }
          if (!rows(slice, names)) return false;
        }
        buffer.erase(0, cut);
      }
      if (end) break;
      if (!readMore()) return false;
    }
    // The frame's end, parsed with its start.
    if (unsafe(buffer, 0)) return readWhole();
    head += buffer;
    buffer = std::string();
    pugi::xml_document frame;
    if (!ParseSpan(name, head.data(), head.size(), frame, false, budget, nowhere)) {
      return readWhole();
    }
    total_ += stat.size;
    const pugi::xml_node worksheet = Root(frame, "worksheet", Ns::kMain, names);
    return rows(names.Child(worksheet, "sheetData"), names);
  }

  bool Fail(const std::string& part, long line, const std::string& message) {
    failure_.line = line;
    failure_.column = line > 0 ? 1 : 0;
    failure_.message = part.empty() ? message : part + ": " + message;
    return false;
  }
  bool FailAt(const std::string& part, std::string_view bytes, size_t offset,
              const std::string& message) {
    LineAndColumn(bytes, offset, failure_.line, failure_.column);
    failure_.message = part + ": " + message;
    return false;
  }
  bool FailCell(long row, int column, const std::string& message) {
    std::string buffer;
    failure_.line = row;
    failure_.column = column + 1;
    failure_.message =
        std::string("cell ") + CellName(column, buffer) + std::to_string(row) + ": " + message;
    return false;
  }

 private:
  std::string_view data_;
  ParseFailure& failure_;
  std::unique_ptr<zip_t, ZipCloser> zip_;
  size_t total_ = 0;
};

// The target of the relationship `id` (or of the first of type ending in `type`) in a .rels part,
// as a path inside the archive; empty when there is none.
std::string RelationTarget(const pugi::xml_document& rels, const char* id, const char* type,
                           const std::string& base) {
  Names names;
  const pugi::xml_node root = Root(rels, "Relationships", Ns::kPackage, names);
  for (pugi::xml_node rel = names.Child(root, "Relationship", Ns::kPackage); rel;
       rel = Names::Next(rel)) {
    const std::string_view relType = rel.attribute("Type").value();
    const bool match = id != nullptr
                           ? std::strcmp(rel.attribute("Id").value(), id) == 0
                           : relType.size() >= std::strlen(type) &&
                                 relType.substr(relType.size() - std::strlen(type)) == type;
    if (!match) continue;
    const std::string target = rel.attribute("Target").value();
    if (target.empty()) return std::string();
    if (target[0] == '/') return target.substr(1);
    return base + target;
  }
  return std::string();
}

// The text of a string item (<si> or <is>): its <t>, or the <t> of each rich text run; phonetic
// runs (<rPh>) are readings, not text.
std::string_view ItemText(const pugi::xml_node item, const Names& names, std::string& out) {
  // Most items are one <t>: its text as the tree holds it.
  const pugi::xml_node first = item.first_child();
  if (first && !first.next_sibling() && names.Is(first.name(), "t")) return first.text().get();
  out.clear();
  for (const pugi::xml_node child : item.children()) {
    if (names.Is(child.name(), "t")) {
      out += child.text().get();
    } else if (names.Is(child.name(), "r")) {
      out += names.Child(child, "t").text().get();
    }
  }
  return out;
}

// Column index from a cell reference ("AB12" -> 27); -1 when it has no letters.
int ColumnOf(std::string_view ref) {
  int column = 0;
  size_t letters = 0;
  for (; letters < ref.size() && letters < 4 && ref[letters] >= 'A' && ref[letters] <= 'Z';
       ++letters) {
    column = column * 26 + (ref[letters] - 'A' + 1);
  }
  return letters == 0 ? -1 : column - 1;
}

long RowOf(std::string_view ref) {
  size_t k = 0;
  while (k < ref.size() && ref[k] >= 'A' && ref[k] <= 'Z') ++k;
  long row = 0;
  for (; k < ref.size() && ref[k] >= '0' && ref[k] <= '9' && row < 10000000; ++k) {
    row = row * 10 + (ref[k] - '0');
  }
  return row;
}

bool ReadFirstSheet(std::string_view data, std::vector<ImportUnit>& units, ParseFailure& failure,
                    const UnitSink* sink, bool plain) {
  units.clear();
  failure = ParseFailure();
  Workbook book(data, failure);
  if (!book.Open()) return false;
  std::string bytes;
  bool present = false;
  // The first sheet: workbook.xml lists the sheets, its relationships name their parts.
  std::string sheetPart = "xl/worksheets/sheet1.xml";
  std::string sharedPart;
  {
    pugi::xml_document workbook;
    pugi::xml_document rels;
    std::string relBytes;
    bool relPresent = false;
    if (!book.Part("xl/workbook.xml", bytes, present)) return false;
    if (!present) return book.Fail("", 0, "not an XLSX workbook (no xl/workbook.xml)");
    if (!book.Parse("xl/workbook.xml", bytes, workbook)) return false;
    if (!book.Part("xl/_rels/workbook.xml.rels", relBytes, relPresent)) return false;
    if (relPresent) {
      if (!book.Parse("xl/_rels/workbook.xml.rels", relBytes, rels)) return false;
      Names names;
      const pugi::xml_node root = Root(workbook, "workbook", Ns::kMain, names);
      const pugi::xml_node first = names.Child(names.Child(root, "sheets"), "sheet");
      const char* id = names.RelationId(first);
      if (*id != '\0') {
        const std::string target = RelationTarget(rels, id, nullptr, "xl/");
        if (!target.empty()) sheetPart = target;
      }
      sharedPart = RelationTarget(rels, nullptr, "/sharedStrings", "xl/");
    }
  }
  std::vector<std::string> shared;
  if (!sharedPart.empty()) {
    pugi::xml_document sst;
    if (!book.Part(sharedPart, bytes, present)) return false;
    if (present) {
      if (!book.Parse(sharedPart, bytes, sst)) return false;
      Names names;
      const pugi::xml_node root = Root(sst, "sst", Ns::kMain, names);
      std::string runs;
      for (pugi::xml_node si = names.Child(root, "si"); si; si = Names::Next(si)) {
        shared.emplace_back(ItemText(si, names, runs));
      }
    }
  }
  bytes = std::string();

  TableColumns columns;
  bool named = false;
  size_t count = 0;
  std::vector<std::string> fields;
  std::string runs;  // the text of a rich inline string, joined
  long rowNumber = 0;
  // Entries handed to the sink; a sheet read whole after some slices were taken hands on only
  // those after them (both reads give the same entries in the same order).
  size_t delivered = 0;
  size_t taken = 0;
  bool stopped = false;
  std::string number8;  // a NUL-terminated copy of a reference or index, for strtol and strtoul
  const auto terminated = [&number8](std::string_view text) {
    number8.assign(text);
    return number8.c_str();
  };
  // The row logic, the same for rows from a tree and from PlainRows: a row (its `r`), its cells,
  // its end.
  long number = 0;
  int column = -1;
  bool any = false;
  const auto beginRow = [&](std::string_view r) {
    number = !r.empty() ? std::strtol(terminated(r), nullptr, 10) : rowNumber + 1;
    if (number <= rowNumber) return book.FailCell(number, 0, "rows out of order");
    rowNumber = number;
    // Emptied, not replaced: a field keeps its buffer from row to row unless an entry took it.
    for (std::string& field : fields) field.clear();
    fields.resize(named ? count : 0);
    any = false;
    column = -1;
    return true;
  };
  const auto takeCell = [&](const SheetCell& cell) {
    const std::string_view ref = cell.ref;
    const int at = !ref.empty() ? ColumnOf(ref) : column + 1;
    if (at <= column || (!ref.empty() && RowOf(ref) != number)) {
      return book.FailCell(number, at < 0 ? 0 : at, "a cell out of place");
    }
    column = at;
    if (!named && static_cast<size_t>(at) >= 4096) {
      return book.FailCell(number, at, "more than 4096 columns");
    }
    if (named && static_cast<size_t>(at) >= count) return true;  // beyond the named columns
    if (!named && fields.size() <= static_cast<size_t>(at)) fields.resize(at + 1);
    const std::string_view type = cell.type;
    std::string_view raw;
    const char* kind = nullptr;  // what the cell holds when it is not text
    if (type == "s") {
      const char* v = terminated(cell.value);
      char* end = nullptr;
      const unsigned long index = std::strtoul(v, &end, 10);
      if (*v == '\0' || *end != '\0' || index >= shared.size()) {
        return book.FailCell(number, at, "a shared string that does not exist");
      }
      raw = shared[index];
    } else if (type == "inlineStr") {
      raw = cell.inlineText;
    } else if (cell.hasValue || cell.hasFormula) {
      raw = cell.value;
      kind = type == "str"     ? "a formula"
             : type == "b"     ? "a boolean"
             : type == "e"     ? "an error value"
             : type == "d"     ? "a date"
             : cell.hasFormula ? "a formula"
                               : "a number";
    }
    if (kind != nullptr && named) {
      const bool text = at == columns.source || at == columns.target;
      const bool whole = (at == columns.id || at == columns.context) && !raw.empty() &&
                         raw.find_first_not_of("0123456789") == std::string::npos;
      if (text || ((at == columns.id || at == columns.context) && !whole)) {
        return book.FailCell(number, at,
                             std::string("holds ") + kind + " (" + std::string(raw.substr(0, 40)) +
                                 "), not text; type it as text (or format the column as Text) "
                                 "and import again");
      }
    }
    std::string& field = fields[at];
    if (!DecodeSheetText(raw, field)) {
      return book.FailCell(number, at, "an escape (_xHHHH_) of a lone surrogate or a NUL");
    }
    if (!field.empty()) any = true;
    return true;
  };
  const auto endRow = [&]() {
    if (!any) return true;  // an empty row
    if (!named) {
      std::string error;
      if (!columns.Name(fields, error)) return book.FailCell(number, 0, error);
      if (!columns.complete()) {
        return book.FailCell(
            number, 0, "the header lacks source, target or an ID, context or location column");
      }
      named = true;
      count = fields.size();
      return true;
    }
    ImportUnit unit;
    unit.line = number;
    std::string error;
    if (!columns.ToUnit(fields, unit, error)) return book.FailCell(number, 0, error);
    if (sink == nullptr) {
      units.push_back(std::move(unit));
    } else if (taken++ >= delivered) {
      ++delivered;
      if (!(*sink)(unit)) {
        stopped = true;
        return false;
      }
    }
    return true;
  };
  // Rows from a tree: a slice's, the frame's, or the whole sheet's.
  const auto takeRows = [&](const pugi::xml_node parent, const Names& names) {
    for (pugi::xml_node row = names.Child(parent, "row"); row; row = Names::Next(row)) {
      if (!beginRow(row.attribute("r").value())) return false;
      for (pugi::xml_node c = names.Child(row, "c"); c; c = Names::Next(c)) {
        SheetCell cell;
        cell.ref = c.attribute("r").value();
        cell.type = c.attribute("t").value();
        if (cell.type == "s") {
          cell.value = names.Child(c, "v").text().get();
        } else if (cell.type == "inlineStr") {
          cell.inlineText = ItemText(names.Child(c, "is"), names, runs);
        } else {
          const pugi::xml_node v = names.Child(c, "v");
          cell.hasValue = v;
          cell.hasFormula = names.Child(c, "f");
          cell.value = v.text().get();
        }
        if (!takeCell(cell)) return false;
      }
      if (!endRow()) return false;
    }
    return true;
  };
  // Rows a slice in the plain shape holds.
  const auto takePlainRows = [&](const PlainRows& slice) {
    for (const PlainRows::Row& row : slice.rows()) {
      if (!beginRow(slice.RowRef(row))) return false;
      for (size_t k = row.first; k < size_t{row.first} + row.count; ++k) {
        if (!takeCell(slice.Cell(k))) return false;
      }
      if (!endRow()) return false;
    }
    return true;
  };
  // The sheet a slice of rows at a time; read whole where it cannot be sliced safely.
  bool whole = false;
  if (!book.StreamSheet(sheetPart, present, whole, takeRows, takePlainRows, plain)) {
    if (!whole) return false;
    if (stopped) return false;  // the sink's choice, no fault of the file
    units.clear();
    taken = 0;
    columns = TableColumns();
    named = false;
    count = 0;
    rowNumber = 0;
    pugi::xml_document sheet;
    if (!book.Part(sheetPart, bytes, present)) return false;
    if (!book.Parse(sheetPart, bytes, sheet)) return false;
    Names names;
    const pugi::xml_node worksheet = Root(sheet, "worksheet", Ns::kMain, names);
    if (!takeRows(names.Child(worksheet, "sheetData"), names)) return false;
  }
  if (!present) return book.Fail("", 0, "not an XLSX workbook (no " + sheetPart + ")");
  if (!named) return book.Fail("", 0, "the first sheet has no header row");
  return true;
}

}  // namespace

bool ReadXlsx(std::string_view data, std::vector<ImportUnit>& units, ParseFailure& failure,
              const UnitSink* sink, XlsxRows rows) {
  // A fault found late (a CRC-32 checked at the sheet's end) comes after slices were taken.
  const bool read = ReadFirstSheet(data, units, failure, sink, rows == XlsxRows::kPlainOrTree);
  if (!read) units.clear();
  return read;
}

}  // namespace exchange
