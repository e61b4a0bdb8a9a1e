#include "check.h"

#include <string_view>
#include <unordered_map>

#include "dlgfile/dlg_format.h"
#include "output.h"

namespace dlgtool {

namespace {

std::string_view View(const CPlainString& text) {
  return std::string_view(text.c_str(), static_cast<size_t>(text.GetLength()));
}

std::string Quoted(std::string_view text) {
  std::string out;
  AppendQuoted(out, text);
  return out;
}

std::string TooLong(const std::string& what, int length, const std::string& limit) {
  return what + " is " + std::to_string(length) + " bytes, over " + limit;
}

class Checker {
 public:
  Checker(const CDlgFile& doc, const SpeakerConfig* config) : doc_(doc), config_(config) {
    if (config_ == nullptr || config_->speakers == nullptr) return;
    for (auto* pos = config_->speakers->GetHeadPosition(); pos != nullptr; pos = pos->next) {
      speakers_.try_emplace(pos->value.name, &pos->value);
    }
  }

  std::vector<Finding> Run() {
    CheckDocumentFields();
    int number = 0;
    for (PlotPos pos = doc_.GetFirstPlot(); pos != nullptr; pos = pos->next, ++number) {
      CheckPlot(pos->value, number);
    }
    return std::move(findings_);
  }

 private:
  void Add(int plot, const CDlgPlot* owner, const CDlgItem* line, std::string problem) {
    Finding finding;
    finding.plot = plot;
    if (owner != nullptr) finding.plotName = owner->GetName().c_str();
    finding.hasId = line != nullptr;
    finding.id = line != nullptr ? line->GetID() : -1;
    finding.problem = std::move(problem);
    findings_.push_back(std::move(finding));
  }

  void CheckDocumentFields() {
    const CPlainString& name = doc_.GetGameName();
    if (name.GetLength() > kDlgGameNameMaxBytes) {
      Add(-1, nullptr, nullptr,
          TooLong("game name " + Quoted(View(name)), name.GetLength(),
                  "the " + std::to_string(kDlgGameNameMaxBytes) + " its field holds"));
    }
    if (config_ != nullptr && !config_->complete) {
      Add(-1, nullptr, nullptr,
          "configuration " + config_->path +
              " is incomplete (HEADCOUNT, FACECOUNT or a speaker section is missing): the editor "
              "offers none of its speakers");
    }
  }

  void CheckPlot(const CDlgPlot& plot, int number) {
    const int nameLength = plot.GetName().GetLength();
    if (nameLength > kDlgPlotNameMaxBytes) {
      Add(number, &plot, nullptr,
          TooLong("plot name", nameLength,
                  "the " + std::to_string(kDlgPlotNameMaxBytes) + " its field holds"));
    }
    auto [first, inserted] = plotNames_.try_emplace(std::string(View(plot.GetName())), number);
    if (!inserted) {
      Add(number, &plot, nullptr, "plot name repeats plot " + std::to_string(first->second));
    }
    for (auto* m = plot.members.GetHeadPosition(); m != nullptr; m = m->next) {
      CheckLine(plot, number, m->value->value);
    }
  }

  void CheckLine(const CDlgPlot& plot, int number, const CDlgItem& line) {
    auto [first, inserted] = ids_.try_emplace(line.GetID(), FirstUse{number, &plot});
    if (!inserted) {
      Add(number, &plot, &line,
          "duplicate ID, also in plot " + std::to_string(first->second.number) + " " +
              Quoted(View(first->second.plot->GetName())));
    }
    if ((plot.rangeLow >= 0 && line.GetID() < plot.rangeLow) ||
        (plot.rangeHigh >= 0 && line.GetID() >= plot.rangeHigh)) {
      Add(number, &plot, &line,
          "ID outside the plot's range " + RangeText(plot.rangeLow, plot.rangeHigh));
    }
    if (line.GetText().GetLength() > kDlgTextMaxBytes) {
      Add(number, &plot, &line,
          TooLong("text", line.GetText().GetLength(), std::to_string(kDlgTextMaxBytes)));
    }
    if (line.GetSound().GetLength() > kDlgSoundNameMaxBytes) {
      Add(number, &plot, &line,
          TooLong("sound name", line.GetSound().GetLength(),
                  "the " + std::to_string(kDlgSoundNameMaxBytes) + " the line editor accepts"));
    }
    CheckSpeaker(plot, number, line);
  }

  void CheckSpeaker(const CDlgPlot& plot, int number, const CDlgItem& line) {
    if (config_ == nullptr || line.GetSpeaker().IsEmpty()) return;
    auto found = speakers_.find(std::string(View(line.GetSpeaker())));
    if (found == speakers_.end()) {
      Add(number, &plot, &line,
          "speaker " + Quoted(View(line.GetSpeaker())) + " is not in " + config_->path);
      return;
    }
    if (line.GetExpression().IsEmpty()) return;
    const CQHList<ExpressionName>& expressions = found->second->expressions;
    for (auto* e = expressions.GetHeadPosition(); e != nullptr; e = e->next) {
      if (e->value.str() == View(line.GetExpression())) return;
    }
    Add(number, &plot, &line,
        "expression " + Quoted(View(line.GetExpression())) + " is not one of speaker " +
            Quoted(View(line.GetSpeaker())) + "'s expressions");
  }

  // The plot of the first line that carries an ID.
  struct FirstUse {
    int number;
    const CDlgPlot* plot;
  };

  const CDlgFile& doc_;
  const SpeakerConfig* config_;
  std::unordered_map<std::string, const SpeakerEntry*> speakers_;
  std::unordered_map<std::string, int> plotNames_;
  std::unordered_map<int, FirstUse> ids_;
  std::vector<Finding> findings_;
};

}  // namespace

std::vector<Finding> CheckDocument(const CDlgFile& doc, const SpeakerConfig* config) {
  return Checker(doc, config).Run();
}

std::string FormatFinding(const Finding& finding) {
  if (finding.plot < 0) return finding.problem;
  std::string out = "plot " + std::to_string(finding.plot) + " ";
  AppendQuoted(out, finding.plotName);
  if (finding.hasId) out += ", ID " + std::to_string(finding.id);
  return out + ": " + finding.problem;
}

}  // namespace dlgtool
