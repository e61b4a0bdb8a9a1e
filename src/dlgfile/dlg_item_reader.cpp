#include "dlgfile/dlg_item_reader.h"

CDlgItem& CDlgItemReader::FetchItem(int id) {
  line.Reset();
  // A rejected record may have filled some fields before it failed, and a damaged record may
  // carry texts but no ID of 0 or more; either way there is no line, and nothing of it is shown.
  if (!document.ReadItem(fileName.c_str(), id, line, readStatus) || line.GetID() < 0) {
    line.Reset();
  }
  return line;
}

bool CDlgItemReader::GetItemText(int id, std::string& text) {
  FetchItem(id);
  CPlainString cleaned(line.GetText());
  if (line.GetID() < 0) {
    text.clear();
    return false;
  }
  const int length = cleaned.GetLength();
  if (length > 0 && (cleaned.c_str()[length - 1] == '\n' || cleaned.c_str()[length - 1] == '\r')) {
    cleaned.Assign(cleaned.c_str(), length - 1);
  }
  cleaned.Replace("\r", "");
  text = cleaned.c_str();
  return true;
}

bool CDlgItemReader::GetItemFields(int id, std::string& text, std::string& sound,
                                   std::string& speaker, std::string& expression) {
  FetchItem(id);
  text = line.GetText().c_str();
  sound = line.GetSound().c_str();
  speaker = line.GetSpeaker().c_str();
  expression = line.GetExpression().c_str();
  return line.GetID() >= 0;
}

const std::string& CDlgItemReader::GetItemTextOrEmpty(int id) {
  if (!GetItemText(id, resultText)) resultText.clear();
  return resultText;
}
