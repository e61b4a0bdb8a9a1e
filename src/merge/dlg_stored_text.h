// The stored text form: a dialogue file as the text git keeps in the repository when
// `dlgtool git-install --store-text` set up the clean/smudge filter (docs/git.md). It is the
// textconv layout with every value it needs to give the file back byte for byte, and nothing
// derived (counts, offsets, the index):
//
//   # dialogue file stored as text by dlgtool's git filter; not a .dlg file without it.
//   # To get the .dlg: dlgtool git-install --store-text, then git checkout -- FILE (docs/git.md)
//   version 104
//   game "Demo"
//   columns speaker 1, expression 0, sound 0
//   multi-line 0
//
//   plot "Intro"
//   range [0, 10)
//   ID TAB speaker TAB expression TAB sound TAB text
//   -- TAB ------- TAB ---------- TAB ----- TAB ----
//   0 TAB Ann TAB TAB TAB Hi
//
// Ranges are the stored numbers, a negative one (no bound) included. Names and texts go through
// the one escaper, byte by byte (EscapeBytes::kSingle: every backslash doubled, whatever the code
// page), so that the parser needs no code page to undo it.
//
// The form holds what a MergeDocument holds: a file of version 104 that passes the structural
// check and whose bytes SaveMergedDocument writes again from its snapshot. Whether a file is
// such a file is decided by writing it back and comparing (dlgtool git-filter), never assumed.
#pragma once

#include <string>
#include <string_view>

#include "merge/dlg_merge.h"
#include "platform/status.h"

// The first bytes of every stored text; what tells it from a .dlg file (which starts "DLGTEXT").
inline constexpr std::string_view kStoredTextMagic =
    "# dialogue file stored as text by dlgtool's git filter";

[[nodiscard]] bool IsStoredText(std::string_view bytes);

std::string RenderStoredText(const MergeDocument& doc);

// Parses `text` into `doc`, whose names and texts then view `text` itself (a value without an
// escape) or `storage` (an unescaped one): both must outlive `doc`.
// A failure names the line ("line 12: ...") and what is wrong with it.
[[nodiscard]] platform::Status ParseStoredText(std::string_view text, MergeDocument& doc,
                                               std::string& storage);
