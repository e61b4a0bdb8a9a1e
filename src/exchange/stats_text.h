// The texts of a document as the statistics count them: converted from the document's code page
// to UTF-8 once per text, into one reused buffer.
#pragma once

#include <functional>
#include <string>
#include <string_view>

#include "exchange/recoder.h"
#include "exchange/word_count.h"
#include "model/dlg_file.h"

namespace exchange {

class StatsText {
 public:
  explicit StatsText(const std::string& codeset);
  [[nodiscard]] bool ok() const;

  // The text in UTF-8, valid false (and the bytes as they are) when the code page rejects it.
  // The view lives until the next call.
  std::string_view Utf8(const CPlainString& text, bool& valid);
  // A name for output, always valid UTF-8 (rejected bytes become U+FFFD).
  std::string Name(const CPlainString& text);
  TextCounts Count(const CDlgItem& line, bool& valid);

 private:
  Recoder recoder_;
  std::string buffer_;
};

// Every line of `doc`: each plot's members in plot order, then the lines in no plot (plot nullptr).
void ForEachLine(const CDlgFile& doc,
                 const std::function<void(const CDlgPlot* plot, const CDlgItem& line)>& visit);

}  // namespace exchange
