#include "model/dlg_file.h"

#include <climits>

#include "model/line_id_index.h"
#include "platform/debug_output.h"

namespace {

// A copied text whose block could not be allocated comes out empty, so equal lengths mean that
// every text of the copy is whole.
bool SameTexts(const CDlgItem& copy, const CDlgItem& source) {
  return copy.speaker.GetLength() == source.speaker.GetLength() &&
         copy.expression.GetLength() == source.expression.GetLength() &&
         copy.sound.GetLength() == source.sound.GetLength() &&
         copy.text.GetLength() == source.text.GetLength();
}

}  // namespace

void CDlgItem::Reset() {
  id = -1;
  plotIndex = -1;
  speaker.Empty();
  expression.Empty();
  sound.Empty();
  text.Empty();
}

CDlgFile::CDlgFile() : idIndex(new LineIdIndex) {}

CDlgFile::~CDlgFile() {
  Clear();
  delete idIndex;
}

void CDlgFile::RemoveLine(LinePos line) {
  const bool inSync = idIndex->InSync(lines);
  if (inSync) idIndex->Removing(line);
  lines.RemoveAt(line);
  if (inSync) idIndex->Removed(lines);
}

void CDlgFile::RemoveContent() {
  plots.RemoveAll();
  lines.RemoveAll();
  texts.Release();
}

void CDlgFile::Clear() {
  RemoveContent();
  gameName.Empty();
  nextId = 0;
  useSpeaker = 0;
  useExpression = 0;
  useSound = 0;
  loadedFile = platform::FileIdentity();
}

void CDlgFile::SetColumns(int speaker, int expression, int sound) {
  useSpeaker = speaker;
  useExpression = expression;
  useSound = sound;
}

void CDlgFile::GetColumns(int& speaker, int& expression, int& sound) const {
  speaker = useSpeaker;
  expression = useExpression;
  sound = useSound;
}

PlotPos CDlgFile::FindPlot(const char* name) const {
  for (PlotPos pos = plots.GetHeadPosition(); pos != nullptr; pos = pos->next) {
    if (pos->value.name.Equals(name)) return pos;
  }
  return nullptr;
}

PlotPos CDlgFile::AddPlot(const char* name, int rangeLow, int rangeHigh) {
  return InsertPlot(nullptr, name, rangeLow, rangeHigh);
}

PlotPos CDlgFile::InsertPlot(PlotPos before, const char* name, int rangeLow, int rangeHigh) {
  PlotPos pos = plots.InsertEmptyBefore(before);
  if (pos == nullptr) return nullptr;
  CDlgPlot& plot = pos->value;
  if (!plot.name.Assign(name)) {
    plots.RemoveAt(pos);
    return nullptr;
  }
  plot.SetRange(rangeLow, rangeHigh);
  return pos;
}

int CDlgFile::DeletePlot(PlotPos plot) {
  if (plot == nullptr) return 0;
  CQHList<LinePos>& members = plot->value.members;
  for (auto* member = members.GetHeadPosition(); member != nullptr;) {
    RemoveLine(members.GetNext(member));
  }
  plots.RemoveAt(plot);
  return 1;
}

LinePos CDlgFile::FindItem(int id) const { return idIndex->Find(lines, id); }

bool CDlgFile::AllocateId(int low, int high, int& id) {
  int n = nextId;
  if (low >= 0 && n < low) {
    n = low;
  } else if (high >= 0 && n >= high) {
    n = low >= 0 ? low : 0;
  }
  nextId = n;
  // The counter only moves upwards from here; IDs below it that a deletion freed are not reused
  // until the counter wraps. The scan fails as soon as it reaches the end of the range.
  while (FindItem(n) != nullptr) {
    if (n == INT_MAX) {  // no representable ID is left above the counter
      platform::DebugOutput("CDlgFile::AddItem() Error (0) : ID is out of range<%d %d>!\n", low,
                            high);
      return false;
    }
    ++n;
    ++nextId;
    if (high >= 0 && n >= high) {
      platform::DebugOutput("CDlgFile::AddItem() Error (0) : ID is out of range<%d %d>!\n", low,
                            high);
      return false;
    }
  }
  id = n;
  nextId = n == INT_MAX ? INT_MAX : n + 1;
  return true;
}

LinePos CDlgFile::AddItem(CDlgItem& line, PlotPos plot, LinePos after) {
  if (line.id < 0) {
    int low = -1;
    int high = -1;
    if (plot != nullptr) plot->value.GetRange(low, high);
    int id = -1;
    if (!AllocateId(low, high, id)) return nullptr;
    line.id = id;
  }

  const bool inSync = idIndex->InSync(lines);
  LinePos pos = lines.AddTail(line);
  if (pos == nullptr) return nullptr;
  if (inSync) idIndex->Appended(lines, pos);
  if (!SameTexts(pos->value, line)) {
    RemoveLine(pos);
    return nullptr;
  }
  if (plot == nullptr) return pos;

  // The new line joins the plot right after the member naming `after`, or at the end when no
  // member names it. If the member cannot be stored the line is taken out again, so that no line
  // is left in the document without its plot.
  CQHList<LinePos>& members = plot->value.members;
  auto* anchor = members.GetHeadPosition();
  if (after != nullptr) {
    while (anchor != nullptr && anchor->value != after) anchor = anchor->next;
  } else {
    anchor = nullptr;
  }
  auto* member = anchor != nullptr ? members.InsertAfter(anchor, pos) : members.AddTail(pos);
  if (member == nullptr) {
    RemoveLine(pos);
    return nullptr;
  }
  return pos;
}

LinePos CDlgFile::AddLoadedItem(CDlgItem& line, PlotPos plot) {
  // The same two guarded allocations as AddItem of a line with an ID, in the same order.
  const bool inSync = idIndex->InSync(lines);
  LinePos pos = lines.AddTail();
  if (pos == nullptr) return nullptr;
  CDlgItem& stored = pos->value;
  stored.id = line.id;
  stored.plotIndex = line.plotIndex;
  if (inSync) idIndex->Appended(lines, pos);
  if (plot->value.members.AddTail(pos) == nullptr) {
    RemoveLine(pos);
    return nullptr;
  }
  stored.speaker.Swap(line.speaker);
  stored.expression.Swap(line.expression);
  stored.sound.Swap(line.sound);
  stored.text.Swap(line.text);
  return pos;
}

void CDlgFile::DeleteItem(LinePos line, PlotPos plot) {
  if (plot != nullptr) {
    CQHList<LinePos>& members = plot->value.members;
    for (auto* member = members.GetHeadPosition(); member != nullptr; member = member->next) {
      if (member->value == line) {
        members.RemoveAt(member);
        break;
      }
    }
  }
  RemoveLine(line);
}
