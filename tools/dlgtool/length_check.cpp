#include "length_check.h"

#include <charconv>

#include "exchange/recoder.h"

namespace dlgtool {

bool ParseLengthLimit(const std::string& text, LengthLimit& limit) {
  const size_t colon = text.find(':');
  const std::string number = text.substr(0, colon);
  const char* end = number.data() + number.size();
  auto [stop, error] = std::from_chars(number.data(), end, limit.limit);
  if (number.empty() || error != std::errc() || stop != end || limit.limit < 1) return false;
  const std::string unit = colon == std::string::npos ? "characters" : text.substr(colon + 1);
  if (unit == "characters") {
    limit.unit = exchange::LengthUnit::kCharacters;
  } else if (unit == "bytes") {
    limit.unit = exchange::LengthUnit::kBytes;
  } else if (unit == "utf16") {
    limit.unit = exchange::LengthUnit::kUtf16;
  } else {
    return false;
  }
  return true;
}

std::vector<Finding> CheckLengths(const CDlgFile& doc, const LengthLimit& limit,
                                  const std::string& encoding) {
  static const char* const kUnitNames[] = {"characters", "bytes", "UTF-16 units"};
  const exchange::Recoder recoder(encoding);
  std::vector<Finding> findings;
  std::string utf8;
  int number = 0;
  for (PlotPos pos = doc.GetFirstPlot(); pos != nullptr; pos = pos->next, ++number) {
    const CDlgPlot& plot = pos->value;
    for (auto* member = plot.members.GetHeadPosition(); member != nullptr;
         member = member->next) {
      const CDlgItem& line = member->value->value;
      const std::string_view bytes(line.GetText().c_str(), line.GetText().GetLength());
      std::string_view text = bytes;
      if (!recoder.identity() && recoder.ToUtf8(bytes, utf8)) text = utf8;
      const long long length = exchange::TextLength(text, bytes.size(), limit.unit);
      if (length <= limit.limit) continue;
      Finding finding;
      finding.plot = number;
      finding.plotName = plot.GetName().c_str();
      finding.hasId = true;
      finding.id = line.GetID();
      finding.problem = "text is " + std::to_string(length) + " " +
                        kUnitNames[static_cast<int>(limit.unit)] + " long, over the limit of " +
                        std::to_string(limit.limit);
      findings.push_back(std::move(finding));
    }
  }
  return findings;
}

}  // namespace dlgtool
