// XLIFF reader over expat. Reads the <source> and <target> that are direct children of each
// <trans-unit> (those inside <alt-trans> are suggestions, not the translation), in any XLIFF
// version's namespace, so that translate-toolkit's 1.1 files are read as well.
//
// Safety: any DOCTYPE stops the parse, so no entity can be declared, nothing external is loaded
// and no entity expansion can blow up; expat checks well-formedness and UTF-8.
//
// Inline codes in <source>/<target>: <x ctype="x-char-HHHH"/> becomes that character again (see
// xliff_writer.cpp); the text of <g> and <mrk> is kept; every other inline code is refused, since
// dropping it would change the text.
#include <expat.h>

#include <algorithm>
#include <cctype>
#include <cstring>

#include "exchange/exchange_units.h"

namespace exchange {
namespace {

constexpr char kNamespaceSeparator = '\x01';

std::string_view LocalName(const XML_Char* name) {
  const char* sep = std::strrchr(name, kNamespaceSeparator);
  return sep == nullptr ? std::string_view(name) : std::string_view(sep + 1);
}

const char* Attribute(const XML_Char** atts, std::string_view local) {
  for (int i = 0; atts[i] != nullptr; i += 2) {
    if (LocalName(atts[i]) == local && std::strchr(atts[i], kNamespaceSeparator) == nullptr) {
      return atts[i + 1];
    }
  }
  return nullptr;
}

void AppendUtf8(std::string& out, unsigned int cp) {
  if (cp < 0x80) {
    out += static_cast<char>(cp);
  } else if (cp < 0x800) {
    out += static_cast<char>(0xC0 | (cp >> 6));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else if (cp < 0x10000) {
    out += static_cast<char>(0xE0 | (cp >> 12));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (cp >> 18));
    out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  }
}

// "x-char-HHHH" -> code point; false when the ctype is not one of ours or names no character.
bool PlaceholderCodePoint(const char* ctype, unsigned int& cp) {
  if (ctype == nullptr || std::strncmp(ctype, "x-char-", 7) != 0) return false;
  const char* hex = ctype + 7;
  const size_t n = std::strlen(hex);
  if (n < 4 || n > 6) return false;
  cp = 0;
  for (size_t i = 0; i < n; ++i) {
    const char h = hex[i];
    if (!std::isxdigit(static_cast<unsigned char>(h))) return false;
    cp = cp * 16 + (h <= '9' ? h - '0' : (h | 0x20) - 'a' + 10);
  }
  return cp != 0 && cp <= 0x10FFFF && (cp < 0xD800 || cp > 0xDFFF);
}

class XliffParser {
 public:
  XliffParser(std::vector<ImportUnit>& units, ParseFailure& failure, FileExtras* extras, Keep keep)
      : units_(units), failure_(failure), extras_(extras), keep_(keep) {
    parser_ = XML_ParserCreateNS("UTF-8", kNamespaceSeparator);
  }
  ~XliffParser() {
    if (parser_ != nullptr) XML_ParserFree(parser_);
  }

  bool Run(std::string_view data) {
    if (parser_ == nullptr) {
      failure_.message = "out of memory";
      return false;
    }
    XML_SetUserData(parser_, this);
    XML_SetElementHandler(parser_, &XliffParser::OnStart, &XliffParser::OnEnd);
    XML_SetCharacterDataHandler(parser_, &XliffParser::OnText);
    XML_SetStartDoctypeDeclHandler(parser_, &XliffParser::OnDoctype);
    XML_SetParamEntityParsing(parser_, XML_PARAM_ENTITY_PARSING_NEVER);
    data_ = data;
    constexpr size_t kChunk = 1 << 24;
    size_t offset = 0;
    do {
      const size_t n = std::min(kChunk, data.size() - offset);
      const bool last = offset + n == data.size();
      if (XML_Parse(parser_, data.data() + offset, static_cast<int>(n), last) != XML_STATUS_OK) {
        if (failure_.message.empty()) {
          Fail(XML_ErrorString(XML_GetErrorCode(parser_)));
        }
        return false;
      }
      offset += n;
    } while (offset < data.size());
    if (!sawRoot_) {
      failure_.line = 1;
      failure_.column = 1;
      failure_.message = "no <xliff> root element";
      return false;
    }
    return true;
  }

 private:
  static void OnDoctype(void* self, const XML_Char*, const XML_Char*, const XML_Char*, int) {
    static_cast<XliffParser*>(self)->Stop("a DOCTYPE is not accepted");
  }

  static void OnStart(void* self, const XML_Char* name, const XML_Char** atts) {
    static_cast<XliffParser*>(self)->Start(LocalName(name), atts);
  }
  static void OnEnd(void* self, const XML_Char* name) {
    static_cast<XliffParser*>(self)->End(LocalName(name));
  }
  static void OnText(void* self, const XML_Char* text, int length) {
    XliffParser* p = static_cast<XliffParser*>(self);
    if (p->collect_ != nullptr) p->collect_->append(text, static_cast<size_t>(length));
  }

  void Start(std::string_view name, const XML_Char** atts) {
    ++depth_;
    if (depth_ == 1) {
      if (name != "xliff") return Stop("the root element is not <xliff>");
      sawRoot_ = true;
      // A version whose units this reader does not know would read as a file without entries:
      // XLIFF 2 keeps its texts in <unit>/<segment>, not <trans-unit>.
      const char* version = Attribute(atts, "version");
      const std::string_view v = version == nullptr ? std::string_view() : version;
      if (!(v.empty() || v == "1.0" || v == "1.1" || v == "1.2")) {
        return Stop("XLIFF version " + std::string(v) + " is not read (only 1.0, 1.1 and 1.2)");
      }
      return;
    }
    if (textDepth_ != 0) return Inline(name, atts);
    if (name == "file" && extras_ != nullptr) {
      const char* source = Attribute(atts, "source-language");
      const char* target = Attribute(atts, "target-language");
      if (source != nullptr) extras_->sourceLang = source;
      if (target != nullptr) extras_->targetLang = target;
    }
    if (name == "trans-unit") {
      if (unitDepth_ != 0) return Stop("a <trans-unit> inside a <trans-unit>");
      unitDepth_ = depth_;
      unit_ = ImportUnit();
      unit_.line = LineOfCurrentEvent();
      haveSource_ = false;
      haveTarget_ = false;
      const char* resname = Attribute(atts, "resname");
      const char* id = Attribute(atts, "id");
      if (!(resname != nullptr && ParseId(resname, unit_.id)) &&
          !(id != nullptr && ParseId(id, unit_.id))) {
        return Stop("a <trans-unit> whose resname and id are no line ID");
      }
      return;
    }
    if (unitDepth_ != 0 && depth_ == unitDepth_ + 1) {
      if (name == "source") {
        if (haveSource_) return Stop("a second <source>");
        haveSource_ = true;
        collect_ = &unit_.source;
        textDepth_ = depth_;
      } else if (name == "target") {
        if (haveTarget_) return Stop("a second <target>");
        haveTarget_ = true;
        collect_ = &unit_.target;
        textDepth_ = depth_;
        const char* state = Attribute(atts, "state");
        if (state != nullptr) {
          const std::string_view s(state);
          unit_.fuzzy = s == "new" || s.substr(0, 6) == "needs-";
          unit_.state = state;
        }
      } else if (name == "note") {
        // Notes are plain text; an element inside one is refused like an unknown inline code.
        const char* from = Attribute(atts, "from");
        const std::string_view who = from == nullptr ? std::string_view() : from;
        noteKind_ = who == "developer" ? NoteKind::kDeveloper
                    : who == "previous-source" ? NoteKind::kPrevious
                                               : NoteKind::kOther;
        note_.clear();
        // An import never looks at notes: their text is not even gathered.
        collect_ = keep_ == Keep::kEverything ? &note_ : nullptr;
        textDepth_ = depth_;
      }
    }
  }

  void Inline(std::string_view name, const XML_Char** atts) {
    if (name == "g" || name == "mrk") return;
    unsigned int cp;
    if (name == "x" && PlaceholderCodePoint(Attribute(atts, "ctype"), cp)) {
      if (collect_ != nullptr) AppendUtf8(*collect_, cp);
      return;
    }
    Stop("an inline <" + std::string(name) + "> this program cannot turn back into text");
  }

  void End(std::string_view name) {
    if (textDepth_ != 0 && depth_ == textDepth_) {
      if (collect_ == &note_) KeepNote();
      collect_ = nullptr;
      textDepth_ = 0;
    }
    if (unitDepth_ != 0 && depth_ == unitDepth_) {
      unitDepth_ = 0;
      if (!haveSource_) return Stop("a <trans-unit> without <source>");
      units_.push_back(std::move(unit_));
    }
    --depth_;
  }

  void KeepNote() {
    switch (noteKind_) {
      case NoteKind::kDeveloper:
        if (!unit_.notes.empty()) unit_.notes += '\n';
        unit_.notes += note_;
        break;
      case NoteKind::kPrevious:
        unit_.hasPrevious = true;
        unit_.previous.swap(note_);
        break;
      case NoteKind::kOther:
        if (!unit_.comments.empty()) unit_.comments += '\n';
        unit_.comments += note_;
        break;
    }
  }

  // The line expat would report for the current event, counted forward from the previous call
  // over the bytes in between, which is much cheaper than expat's own position tracking. As in
  // expat, LF, CR LF and a lone CR each end a line. Events start at '<', so a CR LF pair never
  // straddles two calls.
  long LineOfCurrentEvent() {
    const XML_Index at = XML_GetCurrentByteIndex(parser_);
    if (at < 0 || static_cast<size_t>(at) < countedTo_ || static_cast<size_t>(at) > data_.size()) {
      return static_cast<long>(XML_GetCurrentLineNumber(parser_));
    }
    const std::string_view span = data_.substr(countedTo_, static_cast<size_t>(at) - countedTo_);
    linesBefore_ += static_cast<long>(std::count(span.begin(), span.end(), '\n'));
    for (size_t cr = span.find('\r'); cr != std::string_view::npos; cr = span.find('\r', cr + 1)) {
      if (countedTo_ + cr + 1 >= data_.size() || data_[countedTo_ + cr + 1] != '\n') {
        ++linesBefore_;
      }
    }
    countedTo_ = static_cast<size_t>(at);
    return linesBefore_ + 1;
  }

  void Fail(const std::string& message) {
    failure_.line = static_cast<long>(XML_GetCurrentLineNumber(parser_));
    failure_.column = static_cast<long>(XML_GetCurrentColumnNumber(parser_)) + 1;
    failure_.message = message;
  }

  void Stop(const std::string& message) {
    if (!failure_.message.empty()) return;
    Fail(message);
    XML_StopParser(parser_, XML_FALSE);
  }

  XML_Parser parser_ = nullptr;
  std::vector<ImportUnit>& units_;
  ParseFailure& failure_;
  int depth_ = 0;
  int unitDepth_ = 0;
  int textDepth_ = 0;  // depth of the open <source>, <target> or <note>; 0 outside them
  bool sawRoot_ = false;
  bool haveSource_ = false;
  bool haveTarget_ = false;
  ImportUnit unit_;
  std::string* collect_ = nullptr;  // where that element's text goes; null: nowhere
  FileExtras* extras_;
  Keep keep_;
  std::string_view data_;
  size_t countedTo_ = 0;  // lines before this offset of data_ are in linesBefore_
  long linesBefore_ = 0;
  enum class NoteKind { kDeveloper, kPrevious, kOther };
  NoteKind noteKind_ = NoteKind::kOther;
  std::string note_;
};

}  // namespace

bool ReadXliff(std::string_view data, std::vector<ImportUnit>& units, ParseFailure& failure,
               FileExtras* extras, Keep keep) {
  units.clear();
  failure = ParseFailure();
  if (extras != nullptr) *extras = FileExtras();
  XliffParser parser(units, failure, extras, keep);
  return parser.Run(data);
}

}  // namespace exchange
