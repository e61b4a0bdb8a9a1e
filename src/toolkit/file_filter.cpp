#include "toolkit/file_filter.h"

#include <QString>
#include <QStringList>

namespace toolkit {
namespace {

QString QtPatterns(const std::string& patterns) {
  QStringList out;
  for (const QString& p : QString::fromUtf8(patterns).split(';', Qt::SkipEmptyParts)) {
    QString pattern = p.trimmed();
    out << (pattern == QStringLiteral("*.*") ? QStringLiteral("*") : pattern);
  }
  return out.join(' ');
}

QString DescriptionWithoutPatterns(const std::string& description) {
  QString text = QString::fromUtf8(description).trimmed();
  if (text.endsWith(')')) {
    qsizetype open = text.lastIndexOf('(');
    if (open > 0) text = text.left(open).trimmed();
  }
  return text;
}

}  // namespace

std::vector<FilterPair> ParseFilter(const std::string& notation) {
  std::vector<FilterPair> pairs;
  size_t pos = 0;
  while (pos < notation.size()) {
    size_t bar = notation.find('|', pos);
    if (bar == std::string::npos || bar == pos) break;
    size_t next = notation.find('|', bar + 1);
    if (next == std::string::npos || next == bar + 1) break;
    pairs.push_back({notation.substr(pos, bar - pos), notation.substr(bar + 1, next - bar - 1)});
    pos = next + 1;
  }
  return pairs;
}

QStringList ToQtNameFilters(const std::string& notation) {
  QStringList filters;
  for (const FilterPair& pair : ParseFilter(notation)) {
    filters << QStringLiteral("%1 (%2)").arg(DescriptionWithoutPatterns(pair.description),
                                             QtPatterns(pair.patterns));
  }
  return filters;
}

}  // namespace toolkit
