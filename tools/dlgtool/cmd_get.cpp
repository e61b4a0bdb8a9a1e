// dlgtool get: single lines by ID through the file's index, as a game reads them.
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <string>

#include "commands.h"
#include "dlgfile/dlg_item_reader.h"
#include "document_io.h"
#include "output.h"

namespace dlgtool {

namespace {

// A whole decimal number that fits an int, with an optional sign.
bool ParseId(const std::string& text, int& id) {
  if (text.empty()) return false;
  const size_t digits = text[0] == '-' || text[0] == '+' ? 1 : 0;
  if (digits == text.size()) return false;
  for (size_t k = digits; k < text.size(); ++k) {
    if (text[k] < '0' || text[k] > '9') return false;
  }
  errno = 0;
  const long long value = std::strtoll(text.c_str(), nullptr, 10);
  if (errno != 0 || value < INT_MIN || value > INT_MAX) return false;
  id = static_cast<int>(value);
  return true;
}

// `id TAB speaker TAB expression TAB sound TAB text`, each text escaped (output.h).
std::string FieldsLine(int id, const std::string& text, const std::string& sound,
                       const std::string& speaker, const std::string& expression) {
  std::string out = std::to_string(id);
  for (const std::string* field : {&speaker, &expression, &sound, &text}) {
    out += '\t';
    AppendEscaped(out, *field);
  }
  return out + "\n";
}

}  // namespace

int RunGet(const std::string& file, const std::vector<std::string>& ids, bool textOnly) {
  std::vector<int> numbers;
  for (const std::string& text : ids) {
    int id = 0;
    if (!ParseId(text, id)) {
      Message("not a line ID: %s", text.c_str());
      return kExitFailure;
    }
    numbers.push_back(id);
  }
  DlgHeader header;
  if (!ReadHeader(file.c_str(), header)) {
    Message("%s: cannot open the dialogue file: %s", file.c_str(), Reason());
    return kExitFailure;
  }
  CDlgItemReader reader;
  reader.SetFileName(file.c_str());
  int status = kExitSuccess;
  for (int id : numbers) {
    std::string text, sound, speaker, expression;
    bool found = false;
    {
      QuietDiagnostics quiet;  // the reason is in the debug line, shown with --verbose
      found = textOnly ? reader.GetItemText(id, text)
                       : reader.GetItemFields(id, text, sound, speaker, expression);
    }
    if (!found && !reader.LastReadStatus().ok) {
      // A read that failed is no missing line: the file could not be read.
      Message("%s: cannot read the dialogue file: %s", file.c_str(),
              reader.LastReadStatus().Reason().c_str());
      return kExitFailure;
    }
    if (!found) {
      Message("%s: no line with ID %d", file.c_str(), id);
      status = kExitFinding;
      continue;
    }
    PrintResult(textOnly ? text + "\n" : FieldsLine(id, text, sound, speaker, expression));
  }
  return status;
}

}  // namespace dlgtool
