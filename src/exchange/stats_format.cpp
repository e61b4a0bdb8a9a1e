// The statistics as text: an aligned table for the terminal, CSV, JSON, Markdown and one
// self-contained HTML page (table and bar chart) for producers who do not run the editor.
#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "exchange/csv_field.h"
#include "exchange/json_string.h"
#include "exchange/recoder.h"
#include "exchange/stats.h"

namespace exchange {
namespace {

struct Grid {
  std::vector<std::string> header;
  std::vector<bool> numeric;  // per column: right-aligned, unquoted
  std::vector<std::vector<std::string>> rows;
};

std::string Number(double value) {
  char buffer[32];
  std::snprintf(buffer, sizeof buffer, "%.2f", value);
  return buffer;
}

// Terminal columns a UTF-8 text takes: East Asian wide characters take two.
size_t DisplayWidth(std::string_view utf8) {
  size_t width = 0;
  for (size_t i = 0; i < utf8.size();) {
    const unsigned char b = static_cast<unsigned char>(utf8[i]);
    char32_t c = b;
    size_t length = 1;
    if (b >= 0xF0 && i + 3 < utf8.size()) {
      length = 4;
      c = ((b & 0x07) << 18) | ((utf8[i + 1] & 0x3F) << 12) | ((utf8[i + 2] & 0x3F) << 6) |
          (utf8[i + 3] & 0x3F);
    } else if (b >= 0xE0 && i + 2 < utf8.size()) {
      length = 3;
      c = ((b & 0x0F) << 12) | ((utf8[i + 1] & 0x3F) << 6) | (utf8[i + 2] & 0x3F);
    } else if (b >= 0xC0 && i + 1 < utf8.size()) {
      length = 2;
      c = ((b & 0x1F) << 6) | (utf8[i + 1] & 0x3F);
    }
    i += length;
    const bool wide = (c >= 0x1100 && c <= 0x115F) || (c >= 0x2E80 && c <= 0xA4CF) ||
                      (c >= 0xAC00 && c <= 0xD7A3) || (c >= 0xF900 && c <= 0xFAFF) ||
                      (c >= 0xFE30 && c <= 0xFE4F) || (c >= 0xFF00 && c <= 0xFF60) ||
                      (c >= 0xFFE0 && c <= 0xFFE6) || (c >= 0x1F300 && c <= 0x1FAFF) ||
                      (c >= 0x20000 && c <= 0x3FFFD);
    width += wide ? 2 : 1;
  }
  return width;
}

// Names may hold TABs and line breaks; one row stays one line.
std::string OneLine(const std::string& text) {
  std::string out;
  for (const char c : text) out += (c == '\t' || c == '\r' || c == '\n') ? ' ' : c;
  return out;
}

std::string Table(const Grid& grid) {
  std::vector<size_t> widths(grid.header.size(), 0);
  auto measure = [&](const std::vector<std::string>& row) {
    for (size_t c = 0; c < row.size(); ++c) widths[c] = std::max(widths[c], DisplayWidth(OneLine(row[c])));
  };
  measure(grid.header);
  for (const auto& row : grid.rows) measure(row);
  std::string out;
  auto emit = [&](const std::vector<std::string>& row) {
    std::string line;
    for (size_t c = 0; c < row.size(); ++c) {
      const std::string cell = OneLine(row[c]);
      const std::string pad(widths[c] - DisplayWidth(cell), ' ');
      if (c > 0) line += "  ";
      line += grid.numeric[c] ? pad + cell : cell + pad;
    }
    while (!line.empty() && line.back() == ' ') line.pop_back();
    out += line + "\n";
  };
  emit(grid.header);
  for (const auto& row : grid.rows) emit(row);
  return out;
}

// Numbers bare; names quoted as the exchange CSV quotes them, a name that a spreadsheet would run
// as a formula with a leading apostrophe.
std::string Csv(const Grid& grid) {
  std::string out;
  auto emit = [&](const std::vector<std::string>& row, bool header) {
    for (size_t c = 0; c < row.size(); ++c) {
      if (c > 0) out += ',';
      if (!header && grid.numeric[c]) {
        out += row[c];
      } else {
        AppendCsvTextCell(out, row[c]);
      }
    }
    out += "\r\n";
  };
  emit(grid.header, true);
  for (const auto& row : grid.rows) emit(row, false);
  return out;
}

std::string MarkdownCell(const std::string& text) {
  std::string out;
  for (const char c : OneLine(text)) {
    if (c == '|' || c == '\\' || c == '`' || c == '<') out += '\\';
    out += c;
  }
  return out;
}

std::string Markdown(const Grid& grid) {
  std::string out = "|";
  for (const auto& cell : grid.header) out += " " + MarkdownCell(cell) + " |";
  out += "\n|";
  for (size_t c = 0; c < grid.header.size(); ++c) out += grid.numeric[c] ? " ---: |" : " --- |";
  out += "\n";
  for (const auto& row : grid.rows) {
    out += "|";
    for (const auto& cell : row) out += " " + MarkdownCell(cell) + " |";
    out += "\n";
  }
  return out;
}

std::string HtmlText(const std::string& text) {
  std::string out;
  for (const char c : text) {
    switch (c) {
      case '&': out += "&amp;"; break;
      case '<': out += "&lt;"; break;
      case '>': out += "&gt;"; break;
      case '"': out += "&quot;"; break;
      default: out += c;
    }
  }
  return out;
}

std::string HtmlTable(const Grid& grid) {
  std::string out = "<table>\n<thead><tr>";
  for (const auto& cell : grid.header) out += "<th>" + HtmlText(cell) + "</th>";
  out += "</tr></thead>\n<tbody>\n";
  for (const auto& row : grid.rows) {
    out += "<tr>";
    for (size_t c = 0; c < row.size(); ++c) {
      out += grid.numeric[c] ? "<td class=\"n\">" : "<td>";
      out += HtmlText(row[c]) + "</td>";
    }
    out += "</tr>\n";
  }
  return out + "</tbody>\n</table>\n";
}

// Horizontal bars of words per speaker, with the spoken minutes beside each bar, as inline SVG
// (no script, no outside file: the page opens anywhere).
std::string HtmlChart(const std::vector<StatsRow>& speakers) {
  if (speakers.empty()) return std::string();
  long long most = 1;
  for (const StatsRow& row : speakers) most = std::max(most, row.counts.words);
  const int rowHeight = 22;
  const int labelWidth = 180;
  const int barWidth = 480;
  const int height = rowHeight * static_cast<int>(speakers.size()) + 10;
  std::string out = "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" +
                    std::to_string(labelWidth + barWidth + 200) + "\" height=\"" +
                    std::to_string(height) + "\" role=\"img\" aria-label=\"words per speaker\">\n";
  int y = 5;
  for (const StatsRow& row : speakers) {
    const int width = static_cast<int>(barWidth * row.counts.words / most);
    const std::string name = row.speaker.empty() ? "(no speaker)" : row.speaker;
    out += "<text x=\"" + std::to_string(labelWidth - 6) + "\" y=\"" + std::to_string(y + 15) +
           "\" text-anchor=\"end\">" + HtmlText(OneLine(name)) + "</text>";
    out += "<rect x=\"" + std::to_string(labelWidth) + "\" y=\"" + std::to_string(y + 3) +
           "\" width=\"" + std::to_string(width) + "\" height=\"16\" fill=\"#4a7ab5\"/>";
    out += "<text x=\"" + std::to_string(labelWidth + width + 6) + "\" y=\"" +
           std::to_string(y + 15) + "\">" + std::to_string(row.counts.words) + " words, " +
           Number(row.minutes) + " min</text>\n";
    y += rowHeight;
  }
  return out + "</svg>\n";
}

std::string HtmlPage(const std::string& title, const std::string& body) {
  return "<!DOCTYPE html>\n<html>\n<head>\n<meta charset=\"utf-8\">\n<title>" + HtmlText(title) +
         "</title>\n<style>\nbody { font-family: sans-serif; margin: 2em; }\n"
         "table { border-collapse: collapse; margin-bottom: 2em; }\n"
         "th, td { border: 1px solid #bbb; padding: 0.2em 0.6em; }\n"
         "th { background: #eee; } td.n { text-align: right; }\n"
         "svg text { font-size: 13px; }\n</style>\n</head>\n<body>\n<h1>" +
         HtmlText(title) + "</h1>\n" + body + "</body>\n</html>\n";
}

std::string RowJson(const StatsRow& row, bool plot, bool speaker) {
  std::string out = "{";
  if (plot) out += "\"plot\": " + JsonString(row.plot) + ", ";
  if (speaker) out += "\"speaker\": " + JsonString(row.speaker) + ", ";
  out += "\"lines\": " + std::to_string(row.lines) +
         ", \"words\": " + std::to_string(row.counts.words) +
         ", \"characters\": " + std::to_string(row.counts.characters) +
         ", \"characters_with_spaces\": " + std::to_string(row.counts.charactersWithSpaces) +
         ", \"empty\": " + std::to_string(row.empty) +
         ", \"no_sound\": " + std::to_string(row.noSound) + ", \"minutes\": " + Number(row.minutes) +
         "}";
  return out;
}

std::vector<std::string> CountCells(const StatsRow& row) {
  return {std::to_string(row.lines),         std::to_string(row.counts.words),
          std::to_string(row.counts.characters), std::to_string(row.counts.charactersWithSpaces),
          std::to_string(row.empty),         std::to_string(row.noSound),
          Number(row.minutes)};
}

Grid StatsGrid(const StatsReport& report) {
  const bool plot = report.by == StatsGrouping::kPlot || report.by == StatsGrouping::kPlotSpeaker;
  const bool speaker =
      report.by == StatsGrouping::kSpeaker || report.by == StatsGrouping::kPlotSpeaker;
  Grid grid;
  if (plot) grid.header.push_back("plot");
  if (speaker) grid.header.push_back("speaker");
  const size_t names = grid.header.size();
  for (const char* column : {"lines", "words", "characters", "characters_with_spaces", "empty",
                             "no_sound", "minutes"}) {
    grid.header.push_back(column);
  }
  grid.numeric.assign(grid.header.size(), true);
  for (size_t c = 0; c < names; ++c) grid.numeric[c] = false;
  auto add = [&](const StatsRow& row, bool isTotal) {
    std::vector<std::string> cells;
    if (plot) cells.push_back(isTotal ? "total" : row.plot);
    if (speaker) cells.push_back(isTotal ? (plot ? "" : "total") : row.speaker);
    for (std::string& cell : CountCells(row)) cells.push_back(std::move(cell));
    grid.rows.push_back(std::move(cells));
  };
  for (const StatsRow& row : report.groups) add(row, false);
  add(report.total, true);
  return grid;
}

}  // namespace

std::string FormatStats(const StatsReport& report, StatsFormat format) {
  const bool plot = report.by == StatsGrouping::kPlot || report.by == StatsGrouping::kPlotSpeaker;
  const bool speaker =
      report.by == StatsGrouping::kSpeaker || report.by == StatsGrouping::kPlotSpeaker;
  switch (format) {
    case StatsFormat::kJson: {
      std::string out = "{\"total\": " + RowJson(report.total, false, false) + ", \"groups\": [";
      for (size_t i = 0; i < report.groups.size(); ++i) {
        if (i > 0) out += ", ";
        out += RowJson(report.groups[i], plot, speaker);
      }
      return out + "]}\n";
    }
    case StatsFormat::kCsv:
      return Csv(StatsGrid(report));
    case StatsFormat::kMarkdown:
      return Markdown(StatsGrid(report));
    case StatsFormat::kHtml:
      return HtmlPage("Script statistics", HtmlTable(StatsGrid(report)) +
                                               "<h2>Words per speaker</h2>\n" +
                                               HtmlChart(report.speakers));
    case StatsFormat::kTable:
      break;
  }
  return Table(StatsGrid(report));
}

std::string FormatSince(const SinceReport& report, StatsFormat format) {
  if (format == StatsFormat::kJson) {
    auto columns = [&](const SinceRow& row) {
      std::string out;
      for (size_t c = 0; c < report.columnNames.size(); ++c) {
        const SinceCounts& counts = row.columns[c];
        out += ", " + JsonString(report.columnNames[c]) +
               ": {\"lines\": " + std::to_string(counts.lines) +
               ", \"words\": " + std::to_string(counts.counts.words) +
               ", \"characters\": " + std::to_string(counts.counts.characters) + "}";
      }
      return out;
    };
    std::string out = "{\"total\": {" + columns(report.total).substr(2) + "}, \"plots\": [";
    for (size_t i = 0; i < report.plots.size(); ++i) {
      if (i > 0) out += ", ";
      out += "{\"plot\": " + JsonString(report.plots[i].plot) + columns(report.plots[i]) + "}";
    }
    return out + "]}\n";
  }
  Grid grid;
  grid.header.push_back("plot");
  for (const std::string& name : report.columnNames) {
    for (const char* what : {"lines", "words", "characters"}) {
      grid.header.push_back(name + " " + what);
    }
  }
  grid.numeric.assign(grid.header.size(), true);
  grid.numeric[0] = false;
  auto add = [&](const SinceRow& row, const std::string& name) {
    std::vector<std::string> cells{name};
    for (const SinceCounts& counts : row.columns) {
      cells.push_back(std::to_string(counts.lines));
      cells.push_back(std::to_string(counts.counts.words));
      cells.push_back(std::to_string(counts.counts.characters));
    }
    grid.rows.push_back(std::move(cells));
  };
  for (const SinceRow& row : report.plots) add(row, row.plot);
  add(report.total, "total");
  switch (format) {
    case StatsFormat::kCsv:
      return Csv(grid);
    case StatsFormat::kMarkdown:
      return Markdown(grid);
    case StatsFormat::kHtml:
      return HtmlPage("Translation analysis", HtmlTable(grid));
    default:
      return Table(grid);
  }
}

}  // namespace exchange
