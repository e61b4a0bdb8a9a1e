// CDlgItemReader: fetches single lines of a saved .dlg file by ID, as a game does, without loading
// the document. Every call reads the file again; nothing is cached between calls.
#pragma once

#include <string>

#include "model/dlg_file.h"
#include "model/plain_string.h"
#include "platform/status.h"

class CDlgItemReader {
 public:
  void SetFileName(const char* path) { fileName.Assign(path); }
  const CPlainString& GetFileName() const { return fileName; }

  // Clears the line buffer, reads line `id` into it and returns it. After a failure the buffer
  // is still cleared: ID -1 and every text empty.
  CDlgItem& FetchItem(int id);

  // The line's text cleaned for one display field: one trailing CR or LF removed, then every CR,
  // so that CR LF line breaks become single LFs. False (and `text` empty) when there is no line.
  bool GetItemText(int id, std::string& text);
  // The four texts as stored. False when there is no line (all four are then empty).
  bool GetItemFields(int id, std::string& text, std::string& sound, std::string& speaker,
                     std::string& expression);
  // What GetItemText gives, or an empty text when it fails; kept until the next call.
  const std::string& GetItemTextOrEmpty(int id);
  // Why the last fetch failed when a read of the file failed (a bad sector, the file gone); ok
  // when it succeeded or there was simply no such line.
  const platform::Status& LastReadStatus() const { return readStatus; }

 private:
  CPlainString fileName;
  CDlgFile document;  // never loaded; only the receiver of ReadItem
  CDlgItem line;
  std::string resultText;
  platform::Status readStatus;
};
