// The dialogue document: CDlgItem (one line), CDlgPlot (one story scene), CDlgFile (the document).
//
// Invariants the whole program relies on:
//  - every member of a plot names a node of the document's `lines`;
//  - IDs allocated by AddItem are unique and not negative; a line that arrives with an ID (from a
//    file) keeps it untested. The .dlg index depends on uniqueness: entry N is the line with ID N;
//  - a line is normally a member of exactly one plot. Deleting a plot deletes its member lines.
//
// The members that read and write files live in the layers that own those formats:
// Save/Load/ReadItem and CDlgItem::Read/Write in src/dlgfile/, Export/Import in src/interchange/.
#pragma once

#include <cstdint>
#include <cstdio>

#include "model/plain_string.h"
#include "model/qh_list.h"
#include "model/text_arena.h"
#include "platform/file_io.h"
#include "platform/status.h"

class LineIdIndex;

class CDlgItem {
 public:
  // Fresh line: no ID, never saved, all texts empty.
  void Reset();

  void SetID(int value) { id = value; }
  int GetID() const { return id; }
  void SetPlotIndex(int value) { plotIndex = value; }
  int GetPlotIndex() const { return plotIndex; }
  void SetSpeaker(const char* value) { speaker.Assign(value); }
  const CPlainString& GetSpeaker() const { return speaker; }
  void SetExpression(const char* value) { expression.Assign(value); }
  const CPlainString& GetExpression() const { return expression; }
  void SetSound(const char* value) { sound.Assign(value); }
  const CPlainString& GetSound() const { return sound; }
  void SetText(const char* value) { text.Assign(value); }
  const CPlainString& GetText() const { return text; }

  // Record size on disk: the 4-byte body length plus the body (see docs/dlg-format.md).
  int GetWriteSize() const;
  // Writes the record; bytes written, or -1 when the record cannot be built or written.
  int Write(std::FILE* file) const;
  // Reads one record at the file's position; bytes taken, or -1 when the record is rejected.
  int Read(std::FILE* file);

  int id = -1;
  int plotIndex = -1;
  CPlainString speaker;
  CPlainString expression;
  CPlainString sound;
  CPlainString text;
};

using LinePos = CQHList<CDlgItem>::Node*;

class CDlgPlot {
 public:
  void SetName(const char* value) { name.Assign(value); }
  const CPlainString& GetName() const { return name; }
  void SetRange(int low, int high) {
    rangeLow = low;
    rangeHigh = high;
  }
  void GetRange(int& low, int& high) const {
    low = rangeLow;
    high = rangeHigh;
  }

  CQHList<LinePos> members;      // the plot's lines, in the order the plot shows them
  CPlainString name;
  int rangeLow = -1;             // first ID of the range; negative: no lower bound
  int rangeHigh = -1;            // end of the range, exclusive; negative: no upper bound
  CQHList<int32_t>
      storedIds;  // member IDs as listed in a version 104 file; only the reader uses them
};

using PlotPos = CQHList<CDlgPlot>::Node*;

class CDlgFile {
 public:
  CDlgFile();
  CDlgFile(const CDlgFile&) = delete;
  CDlgFile& operator=(const CDlgFile&) = delete;
  ~CDlgFile();

  // Removes every plot and line, empties the game name, resets the ID counter and the three column
  // options. The multi-line option and the format version keep their values.
  void Clear();

  // Storage for the texts of this document's lines that Load and Import put in place (through
  // CPlainString::AssignIn, then Swap). It is released whenever every line is removed (Clear, Load,
  // destruction), so a text from it must never be swapped into a string that outlives the lines.
  TextArena& GetTextArena() { return texts; }

  void SetGameName(const char* name) { gameName.Assign(name); }
  const CPlainString& GetGameName() const { return gameName; }
  void SetColumns(int speaker, int expression, int sound);
  void GetColumns(int& speaker, int& expression, int& sound) const;
  void SetMultiLine(int value) { multiLine = value; }
  int GetMultiLine() const { return multiLine; }
  int GetVersion() const { return version; }
  int GetNextId() const { return nextId; }

  PlotPos GetFirstPlot() const { return plots.GetHeadPosition(); }
  CDlgPlot& GetNextPlot(PlotPos& position) { return plots.GetNext(position); }
  CDlgPlot& GetPlot(PlotPos position) { return plots.GetAt(position); }
  CDlgItem& GetItem(LinePos position) { return lines.GetAt(position); }
  const CQHList<CDlgItem>& GetLines() const { return lines; }
  const CQHList<CDlgPlot>& GetPlots() const { return plots; }

  // First plot, in list order, whose name equals `name` byte for byte; nullptr if none.
  PlotPos FindPlot(const char* name) const;
  // Appends a plot without members. Does not refuse a duplicate name. nullptr when out of memory.
  PlotPos AddPlot(const char* name, int rangeLow, int rangeHigh);
  // The same plot inserted right before `before` (appended when it is nullptr).
  PlotPos InsertPlot(PlotPos before, const char* name, int rangeLow, int rangeHigh);
  // Deletes the plot and every line it names. 0 when `plot` is nullptr.
  int DeletePlot(PlotPos plot);

  // First line, in document order, whose ID equals `id`; nullptr if none. Constant time: an index
  // kept beside `lines` answers exactly as a scan from the head would. A line's ID is not meant to
  // change while it is in the document (nothing in the program does it); if it does, the index
  // notices when it meets that line and rebuilds itself.
  LinePos FindItem(int id) const;
  // Adds a copy of `line` (allocating an ID into line.id first when it has none) at the end of the
  // document, and into `plot` after the member naming `after` (or at the end). nullptr when the
  // range has no free ID or memory runs out; nothing is added then.
  LinePos AddItem(CDlgItem& line, PlotPos plot, LinePos after);
  // The reader's AddItem for a line that carries its ID: a new line at the end of the document and
  // of `plot` takes over the texts of `line` (which are left empty) instead of copying them.
  // nullptr when memory runs out; nothing is added then and `line` keeps its texts.
  LinePos AddLoadedItem(CDlgItem& line, PlotPos plot);
  // Removes the line from `plot` (if given) and from the document.
  void DeleteItem(LinePos line, PlotPos plot);

  // .dlg file (src/dlgfile/).
  [[nodiscard]] int Save(const char* path);
  [[nodiscard]] int Load(const char* path);
  [[nodiscard]] bool ReadItem(const char* path, int id, CDlgItem& line);
  // The same; when it fails because a read failed (not because there is no such line), `status`
  // holds the system's reason; otherwise it stays ok.
  [[nodiscard]] bool ReadItem(const char* path, int id, CDlgItem& line, platform::Status& status);
  // The same, handing back why it failed (ok when it did not); the debug output is unchanged.
  [[nodiscard]] int Save(const char* path, platform::Status& status);
  [[nodiscard]] int Load(const char* path, platform::Status& status);
  // Save with a check right before the new file replaces the old one (see
  // platform::ReplaceFile); dlgfile/dlg_save_over.h builds the save over a loaded file on it.
  [[nodiscard]] int Save(const char* path, const platform::BeforeReplace& beforeReplace);
  [[nodiscard]] int Save(const char* path, const platform::BeforeReplace& beforeReplace,
                         platform::Status& status);

  // The file the last successful Load read or Save wrote, as it was then (exists false before
  // either). Export never writes onto it; a save over it checks that it has not changed since.
  const platform::FileIdentity& LoadedFile() const { return loadedFile; }

  // Text interchange (src/interchange/).
  [[nodiscard]] bool Export(const char* path, bool singleLine);
  [[nodiscard]] bool Import(const char* path);
  // The same, handing back why it failed (ok when it did not); the debug output is unchanged.
  [[nodiscard]] bool Export(const char* path, bool singleLine, platform::Status& status);
  [[nodiscard]] bool Import(const char* path, platform::Status& status);

 private:
  // Allocates a free ID of [low, high) into `id` following the shared counter; false when the
  // range is exhausted (reported on the debug output).
  bool AllocateId(int low, int high, int& id);

  // Unlinks and destroys one line, keeping the ID index current.
  void RemoveLine(LinePos line);

  // Removes every plot and line and frees the text storage behind them.
  void RemoveContent();

  TextArena texts;  // declared before `lines` so that it outlives them
  CQHList<CDlgItem> lines;
  CPlainString gameName;
  int nextId = 0;
  int useSpeaker = 0;
  int useExpression = 0;
  int useSound = 0;
  int multiLine = 0;
  CQHList<CDlgPlot> plots;
  int version = 0;
  platform::FileIdentity loadedFile;
  LineIdIndex* idIndex;  // cache over `lines`; owned
};
