// What the exchange writers and readers hand around. Every text here is UTF-8; the conversion from
// and to the document's code page happens once, in export_document.cpp and import_document.cpp.
#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "exchange/chunked_output.h"

namespace exchange {

enum class Format { kPo, kXliff, kCsv, kXlsx };

// One line of the document as a translator sees it.
struct ExportUnit {
  int id = -1;
  int plot = 0;            // index into ExportSet::plots
  std::string text;        // the source
  bool hasTarget = false;  // a translation was given (it may be empty)
  std::string target;
  // Context items, each "label: value" on a line of its own, joined by LF (docs/exchange.md).
  // One string rather than one per item: an export of 100 000 lines allocates a lot less.
  std::string notes;
  // What a translation round carries over from the file being updated (update.cpp); all empty in
  // a plain export.
  bool fuzzy = false;
  bool hasPrevious = false;
  std::string previous;  // the source the translation was made for (PO #| msgid)
  std::string comments;  // translator comments, LF-joined
  std::string flags;     // PO flags other than fuzzy, as written: "c-format, no-wrap"
  std::string state;     // XLIFF target state; empty: "translated"
  // XLIFF: what another tool wrote on the entry, carried over unchanged by an update (see
  // ImportUnit).
  std::string unitAttributes;
  std::string targetAttributes;
  std::string segSource;      // <seg-source>, written after <source> as the schema orders them
  std::string extraElements;  // written after the notes (1.2), before them (2.0)
  std::string altTrans;       // <alt-trans>, written last
  std::string segments;       // 2.0: <originalData>, <segment>s and <ignorable>s, written last
  std::string anchored;       // 2.0: the matches module's elements, whose refs point into segments
};

// What a PO or XLIFF file holds besides its entries, kept across an update.
struct FileExtras {
  std::string sourceLang;  // PO X-Source-Language, XLIFF source-language
  std::string targetLang;  // PO Language, XLIFF target-language
  std::string header;      // PO: the header's msgstr
  std::string headerComments;  // PO: the comment lines above the header, as written, each with LF
  std::string obsolete;    // PO: the #~ entries, as written, each followed by one empty line
  int obsoleteCount = 0;   // PO: entries among them
  int xliffVersion = 0;    // XLIFF: 1 (1.0 to 1.2) or 2 (2.0, 2.1)
  std::string xliffRootAttributes;  // XLIFF: the root's xmlns:PREFIX declarations, as written
  std::string xliffHeader;          // XLIFF 1.2: what <file><header> held (<tool>, ...)
};

struct ExportSet {
  std::string original;  // the document's file name, as PO references and XLIFF name it
  std::string gameName;
  std::string sourceLang = "und";
  std::string targetLang = "und";
  std::vector<std::string> plots;  // plot names, in document order
  std::vector<ExportUnit> units;   // plot order, then member order; each ID once
  std::string poHeader;            // PO: this header instead of the generated one
  std::string poHeaderComments;    // PO: comment lines written above the header, as they are
  std::string obsolete;            // PO: entries written after the others, as they are
  bool previousColumn = false;     // CSV: a previous_source column after developer_comments
  int xliffVersion = 1;            // XLIFF: 1 writes 1.2, 2 writes 2.0
  std::string xliffRootAttributes;  // XLIFF: written on the root as they are
  std::string xliffHeader;          // XLIFF 1.2: written in <file><header>
};

// One entry read back from a file.
struct ImportUnit {
  int id = -1;
  // PO: the other line IDs an entry without msgctxt references ("#: a.dlg:3 a.dlg:7"), in file
  // order, each once and none equal to `id`. The entry stands for each of them as for `id`.
  std::vector<int> moreIds;
  std::string source;
  std::string target;
  bool fuzzy = false;
  long line = 0;  // where the entry starts in the file, for messages
  // Read for translation rounds; the import itself looks at none of them.
  bool hasPrevious = false;
  std::string previous;  // PO #| msgid, XLIFF previous-source note, CSV previous_source
  std::string notes;     // developer context: PO #., XLIFF developer notes, CSV developer_comments
  std::string comments;  // PO "# " lines, other XLIFF notes, CSV translator_comments; LF-joined
  std::string flags;     // PO flags other than fuzzy
  std::string state;     // XLIFF target state
  // XLIFF 1.2, read only for a translation round: the unit's attributes other than id, resname and
  // xml:space (approved, memoQ's and Trados' own, ...), the target's other than state
  // (state-qualifier, ...), and the unit's children other than <source>, <target> and <note>
  // (<alt-trans>, <seg-source>, <context-group>, other namespaces' elements), each written back
  // as XML: ' name="value"' pairs, whole elements.
  // XLIFF 2.0 likewise: the unit's attributes other than id, name and xml:space (translate,
  // canResegment, other namespaces'), other namespaces' elements (the metadata, matches and
  // glossary modules, a tool's own) in extraElements, and the unit's <originalData>, <segment>
  // and <ignorable> elements as the tool split them, in segments. An update writes segments back
  // only while the entry stays exactly as it was read. The matches module's elements (anchored)
  // name segments and marks of the unit ("#s1"), so they go back only with those segments.
  std::string unitAttributes;
  std::string targetAttributes;
  std::string segSource;      // <seg-source>, written after <source> as the schema orders them
  std::string extraElements;  // written after the notes (1.2), before them (2.0)
  std::string altTrans;       // <alt-trans>, written last
  std::string segments;       // 2.0: <originalData>, <segment>s and <ignorable>s, written last
  std::string anchored;       // 2.0: the matches module's elements, whose refs point into segments
};

// Where and why a file was rejected. Line and column are 1-based (column in bytes); 0 when the
// fault belongs to no position (e.g. a repeated ID names the second entry's line).
struct ParseFailure {
  long line = 0;
  long column = 0;
  std::string message;
};

// The bytes of a whole file in each format.
std::string WritePo(const ExportSet& set);
std::string WriteXliff(const ExportSet& set);
std::string WriteCsv(const ExportSet& set);
// The same bytes handed to `sink` a piece at a time (chunked_output.h); false when the sink
// failed, and then the rest is not written.
[[nodiscard]] bool WritePo(const ExportSet& set, const ChunkSink& sink);
[[nodiscard]] bool WriteXliff(const ExportSet& set, const ChunkSink& sink);
[[nodiscard]] bool WriteCsv(const ExportSet& set, const ChunkSink& sink);
// One obsolete PO entry (#~), with its translator comments and flags, ending in LF.
std::string PoObsoleteEntry(const ImportUnit& unit);

// Takes each entry as a reader completes it, instead of the reader collecting them all (an import
// classifies and drops them one by one, so that a file of millions of entries is never held whole
// as entries). False stops the reader, which then returns false with `failure` left empty.
using UnitSink = std::function<bool(ImportUnit&)>;

// What a reader keeps of each entry: everything (a translation round), or only what an import
// looks at (ID, source, target, fuzzy flag, line), which spares the readers the context notes and
// comments (half of an exported XLIFF file). The same input is accepted or refused either way.
enum class Keep { kEverything, kTexts };

// Strict readers: false, with `failure` filled, when the input is not a well-formed file of the
// format (invalid UTF-8 included). Entries come in file order; IDs are not checked for repeats
// here. Each reader keeps no more than the input's bytes in entries.
[[nodiscard]] bool ReadPo(std::string_view data, std::vector<ImportUnit>& units,
                          ParseFailure& failure, FileExtras* extras = nullptr,
                          Keep keep = Keep::kEverything, const UnitSink* sink = nullptr);
[[nodiscard]] bool ReadXliff(std::string_view data, std::vector<ImportUnit>& units,
                             ParseFailure& failure, FileExtras* extras = nullptr,
                             Keep keep = Keep::kEverything, const UnitSink* sink = nullptr);
// The same over the `size` bytes at `data`, parsed in place when they are UTF-8 (the common case),
// which spares a copy of the file: the bytes are changed and hold no file afterwards.
[[nodiscard]] bool ReadXliffInPlace(char* data, size_t size, std::vector<ImportUnit>& units,
                                    ParseFailure& failure, FileExtras* extras = nullptr,
                                    Keep keep = Keep::kEverything, const UnitSink* sink = nullptr);
[[nodiscard]] bool ReadCsv(std::string_view data, std::vector<ImportUnit>& units,
                           ParseFailure& failure, const UnitSink* sink = nullptr);

// Rules every format shares (docs/exchange.md, "Import").
//
// Line ends: XML parsers, spreadsheets and some Python writers turn CR LF into LF (or write a raw
// CR that readers then turn into LF), so a source is compared with CR LF, a lone CR and LF taken
// as the same line break.
[[nodiscard]] bool SameText(std::string_view a, std::string_view b);
// The first CR or LF at or after `from`, npos when there is none.
[[nodiscard]] size_t FindLineBreak(std::string_view text, size_t from = 0);
// Rewrites the line breaks of `translation` (CR LF, lone CR, LF) to the form `source` uses:
//  - every break of `source` has one form: that form;
//  - `source` mixes forms: `translation` keeps its bytes when `fileSource` (the source the file
//    carried) equals `source` byte for byte, since then no tool normalised anything; otherwise
//    the k-th break of `translation` takes the form of the k-th of `source` when both have as many,
//    else the form of the first;
//  - `source` has no break: `fallback` ("\r\n", "\r", "\n"), or the bytes stay when it is empty.
void MatchLineBreaks(std::string& translation, std::string_view source,
                     std::string_view fileSource, std::string_view fallback);
// Placeholders: the characters an XLIFF inline code <x ctype="x-char-HHHH"/> stands for (C0
// controls other than TAB, LF and CR; U+FFFE, U+FFFF), and runs of backslashes counted by their
// length (a game's own escapes are a backslash and a letter; the run is the unit, so a converter
// that doubles or halves backslashes changes the count). True when `target` holds exactly as many
// of each as `source`, in any order: a translation that lost or gained one would change what the
// game does with the line.
[[nodiscard]] bool SamePlaceholders(std::string_view source, std::string_view target);

// Parses a line ID written as decimal digits only (no sign, no spaces) that fits a non-negative
// 32-bit ID.
[[nodiscard]] bool ParseId(std::string_view text, int& id);

}  // namespace exchange
