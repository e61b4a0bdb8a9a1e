// The windows at scale, on the offscreen platform: the line editor on one plot of 1k, 5k and 20k
// lines (open, each single command, a selection change, deleting half the rows then OK), the main
// window with 10 000 plots (load, Add plot, Delete plot), and Find over 100 000 lines.
//
// Each figure is the time of the command's handler as a click runs it, without painting (the
// windows are not shown); the document is rebuilt outside the timed part where a command changes
// it for good.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QItemSelectionModel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTreeWidget>
#include <QUndoStack>
#include <memory>
#include <string>

#include "app/app_context.h"
#include "app/main_dlg.h"
#include "dialogs/find_dlg.h"
#include "dlgfile/dlg_item_reader.h"
#include "editor/line_edit_dlg.h"
#include "search/line_search.h"
#include "toolkit/prompts.h"

namespace {

// Answers every prompt at once: Yes to questions, no file to file dialogs.
class SilentPrompts : public toolkit::Prompts {
 protected:
  void ShowMessage(QWidget*, const QString&, const QString&, const QString&) override {}
  bool ShowQuestion(QWidget*, const QString&, const QString&) override { return true; }
  bool ShowFileDialog(QWidget*, const toolkit::FileDialogRequest&, std::string&) override {
    return false;
  }
};

// One plot "scene" of `lines` lines with IDs 0.. and texts of some 40 bytes, in a document of
// its own, and the objects a window works on.
struct Workspace {
  CDlgFile document;
  CDlgItemReader reader;
  CQHList<LinePos> additions, deletions;
  SilentPrompts prompts;
  AppContext context{document, reader, additions, deletions, prompts, {}, {}};

  explicit Workspace(int lines) {
    document.SetColumns(1, 1, 1);
    PlotPos plot = document.AddPlot("scene", 0, lines + 1000000);
    for (int i = 0; i < lines; ++i) {
      CDlgItem line;
      line.SetSpeaker(i % 3 == 0 ? "Tom" : "Minsu");
      line.SetExpression("smile");
      line.SetSound(i % 7 == 0 ? "voice.wav" : "");
      const std::string text = "Line " + std::to_string(i) + " of the scene, said with care.";
      line.SetText(text.c_str());
      document.AddItem(line, plot, nullptr);
    }
  }
  std::unique_ptr<CLineEditDlg> OpenEditor() {
    auto editor = std::make_unique<CLineEditDlg>(context.LineEditing());
    editor->plotName = "scene";
    editor->InitDialog();
    return editor;
  }
};

void Click(CLineEditDlg& editor, int id) {
  editor.ControlAs<QPushButton>(id)->click();
}

void SelectOnly(CLineEditDlg& editor, int first, int last) {
  QTreeWidget* list = editor.rowList();
  const QItemSelection range(list->model()->index(first, 0),
                             list->model()->index(last, list->columnCount() - 1));
  list->selectionModel()->select(range, QItemSelectionModel::ClearAndSelect);
}

void EditorSizes(benchmark::internal::Benchmark* b) {
  b->Arg(1000)->Arg(5000)->Arg(20000)->Unit(benchmark::kMillisecond)->Complexity();
}

void BM_EditorOpen(benchmark::State& state) {
  Workspace space(static_cast<int>(state.range(0)));
  for (auto _ : state) {
    auto editor = space.OpenEditor();
    state.PauseTiming();
    editor.reset();
    state.ResumeTiming();
  }
  state.SetComplexityN(state.range(0));
}
BENCHMARK(BM_EditorOpen)->Apply(EditorSizes);

// Add with the middle row selected: the new row goes after it.
void BM_EditorAdd(benchmark::State& state) {
  const int n = static_cast<int>(state.range(0));
  Workspace space(n);
  auto editor = space.OpenEditor();
  editor->textField()->setPlainText(QStringLiteral("added"));
  for (auto _ : state) {
    state.PauseTiming();
    SelectOnly(*editor, n / 2, n / 2);
    state.ResumeTiming();
    Click(*editor, CLineEditDlg::kAdd);
  }
  state.SetComplexityN(state.range(0));
}
BENCHMARK(BM_EditorAdd)->Apply(EditorSizes);

void BM_EditorModify(benchmark::State& state) {
  const int n = static_cast<int>(state.range(0));
  Workspace space(n);
  auto editor = space.OpenEditor();
  SelectOnly(*editor, n / 2, n / 2);
  editor->textField()->setPlainText(QStringLiteral("modified"));
  for (auto _ : state) Click(*editor, CLineEditDlg::kModify);
  state.SetComplexityN(state.range(0));
}
BENCHMARK(BM_EditorModify)->Apply(EditorSizes);

// A click on another row: the row's line is loaded into the fields.
void BM_EditorSelect(benchmark::State& state) {
  const int n = static_cast<int>(state.range(0));
  Workspace space(n);
  auto editor = space.OpenEditor();
  int row = 0;
  for (auto _ : state) {
    SelectOnly(*editor, row, row);
    row = (row + 997) % n;
  }
  state.SetComplexityN(state.range(0));
}
BENCHMARK(BM_EditorSelect)->Apply(EditorSizes);

void BM_EditorDeleteOne(benchmark::State& state) {
  const int n = static_cast<int>(state.range(0));
  Workspace space(n);
  auto editor = space.OpenEditor();
  for (auto _ : state) {
    state.PauseTiming();
    SelectOnly(*editor, n / 4, n / 4);
    state.ResumeTiming();
    Click(*editor, CLineEditDlg::kDelete);
  }
  state.SetComplexityN(state.range(0));
}
BENCHMARK(BM_EditorDeleteOne)->Apply(EditorSizes)->Iterations(100);

// Delete of the middle n/2 rows (one selected range; 10 000 rows at 20k), then OK, which applies
// the deletions.
void BM_EditorDeleteHalfThenOk(benchmark::State& state) {
  const int n = static_cast<int>(state.range(0));
  for (auto _ : state) {
    state.PauseTiming();
    auto space = std::make_unique<Workspace>(n);
    auto editor = space->OpenEditor();
    SelectOnly(*editor, n / 4, n / 4 + n / 2 - 1);
    state.ResumeTiming();
    Click(*editor, CLineEditDlg::kDelete);
    Click(*editor, CLineEditDlg::kOk);
    state.PauseTiming();
    if (space->document.GetLines().GetCount() != n - n / 2) state.SkipWithError("not deleted");
    editor.reset();
    space.reset();
    state.ResumeTiming();
  }
  state.SetComplexityN(state.range(0));
}
BENCHMARK(BM_EditorDeleteHalfThenOk)->Apply(EditorSizes)->Iterations(5);

// Cancel after an Add, a Modify and a Delete: everything is put back.
void BM_EditorCancel(benchmark::State& state) {
  const int n = static_cast<int>(state.range(0));
  Workspace space(n);
  for (auto _ : state) {
    state.PauseTiming();
    auto editor = space.OpenEditor();
    SelectOnly(*editor, n / 2, n / 2);
    editor->textField()->setPlainText(QStringLiteral("changed"));
    Click(*editor, CLineEditDlg::kModify);
    Click(*editor, CLineEditDlg::kAdd);
    Click(*editor, CLineEditDlg::kDelete);
    state.ResumeTiming();
    Click(*editor, CLineEditDlg::kCancel);
    state.PauseTiming();
    editor.reset();
    state.ResumeTiming();
  }
  state.SetComplexityN(state.range(0));
}
BENCHMARK(BM_EditorCancel)->Apply(EditorSizes)->Iterations(10);

// A header click that sorts the rows by their text, then the click that brings back the plot's
// order; and the filter narrowing all rows to every tenth one, then cleared.
void BM_EditorSortByTextAndBack(benchmark::State& state) {
  const int n = static_cast<int>(state.range(0));
  Workspace space(n);
  auto editor = space.OpenEditor();
  const int text = editor->columns().text;
  for (auto _ : state) {
    editor->OnSortColumn(text);  // ascending
    editor->OnSortColumn(text);  // descending
    editor->OnSortColumn(text);  // the plot's order
  }
  state.SetComplexityN(state.range(0));
}
BENCHMARK(BM_EditorSortByTextAndBack)->Apply(EditorSizes);

void BM_EditorFilterAndClear(benchmark::State& state) {
  const int n = static_cast<int>(state.range(0));
  Workspace space(n);
  auto editor = space.OpenEditor();
  auto* filter = editor->ControlAs<QLineEdit>(CLineEditDlg::kFilter);
  for (auto _ : state) {
    filter->setText(QStringLiteral("0 of the"));
    filter->clear();
  }
  state.SetComplexityN(state.range(0));
}
BENCHMARK(BM_EditorFilterAndClear)->Apply(EditorSizes);

// The main window on a document of 10 000 plots of two lines each, saved to /dev/shm.
struct PlotsFile {
  std::string path = "/dev/shm/parlatrix-bench-plots.dlg";
  PlotsFile() {
    CDlgFile document;
    document.SetColumns(1, 1, 0);
    for (int p = 0; p < 10000; ++p) {
      const std::string name = "plot " + std::to_string(p);
      PlotPos plot = document.AddPlot(name.c_str(), -1, -1);
      for (int i = 0; i < 2; ++i) {
        CDlgItem line;
        line.SetText("text");
        document.AddItem(line, plot, nullptr);
      }
    }
    (void)document.Save(path.c_str());
  }
  ~PlotsFile() { std::remove(path.c_str()); }
};

void BM_MainWindowLoad10000Plots(benchmark::State& state) {
  PlotsFile file;
  Workspace space(0);
  CMainDlg window(space.context);
  window.InitDialog();
  for (auto _ : state) {
    if (!window.LoadFile(file.path)) state.SkipWithError("load failed");
  }
}
BENCHMARK(BM_MainWindowLoad10000Plots)->Unit(benchmark::kMillisecond);

void BM_MainWindowAddThenDeletePlotOf10000(benchmark::State& state) {
  PlotsFile file;
  Workspace space(0);
  CMainDlg window(space.context);
  window.InitDialog();
  (void)window.LoadFile(file.path);
  for (auto _ : state) {
    const int index = window.AddPlotByName("added plot");
    window.DeletePlotAt(index);
  }
}
BENCHMARK(BM_MainWindowAddThenDeletePlotOf10000)->Unit(benchmark::kMillisecond);

// The plot filter over the 10 000 plots (narrowed to "plot 1..." and cleared).
void BM_MainWindowFilter10000Plots(benchmark::State& state) {
  PlotsFile file;
  Workspace space(0);
  CMainDlg window(space.context);
  window.InitDialog();
  (void)window.LoadFile(file.path);
  auto* filter = window.ControlAs<QLineEdit>(CMainDlg::kPlotFilter);
  for (auto _ : state) {
    filter->setText(QStringLiteral("plot 1"));
    filter->clear();
  }
}
BENCHMARK(BM_MainWindowFilter10000Plots)->Unit(benchmark::kMillisecond);

void BM_FindLines(benchmark::State& state) {
  const int n = static_cast<int>(state.range(0));
  // Spread over 100 plots, as a long script would be.
  CDlgFile document;
  document.SetColumns(1, 1, 1);
  for (int p = 0; p < 100; ++p) {
    PlotPos plot = document.AddPlot(("plot " + std::to_string(p)).c_str(), -1, -1);
    for (int i = 0; i < n / 100; ++i) {
      CDlgItem line;
      line.SetSpeaker("Minsu");
      line.SetSound("voice.wav");
      const std::string text = "Line " + std::to_string(i) + " of the scene, said with care.";
      line.SetText(text.c_str());
      document.AddItem(line, plot, nullptr);
    }
  }
  SearchOptions options;
  options.fields = kSearchText | kSearchSpeaker | kSearchSound | kSearchId;
  size_t hits = 0;
  for (auto _ : state) hits = FindLines(document, "CARE.", options).size();
  state.counters["hits"] = static_cast<double>(hits);
  state.SetComplexityN(state.range(0));
}
BENCHMARK(BM_FindLines)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond)->Complexity();

// Undo of a Delete of 10 000 rows of a 20 000-row plot in the line editor: the rows come back.
void BM_EditorUndoDeleteOf10000Rows(benchmark::State& state) {
  Workspace space(20000);
  auto editor = space.OpenEditor();
  for (auto _ : state) {
    state.PauseTiming();
    SelectOnly(*editor, 5000, 14999);
    Click(*editor, CLineEditDlg::kDelete);
    if (editor->rowList()->topLevelItemCount() != 10000) state.SkipWithError("not deleted");
    state.ResumeTiming();
    editor->OnUndo();
    state.PauseTiming();
    if (editor->rowList()->topLevelItemCount() != 20000) state.SkipWithError("not undone");
    state.ResumeTiming();
  }
}
BENCHMARK(BM_EditorUndoDeleteOf10000Rows)->Unit(benchmark::kMillisecond)->Iterations(5);

// Undo of Delete plot of a plot of 10 000 lines in the main window: the plot and its lines back.
void BM_MainWindowUndoDeletePlotOf10000Lines(benchmark::State& state) {
  Workspace space(10000);
  CMainDlg window(space.context);
  window.InitDialog();
  window.ShowDocumentAgain(-1);
  for (auto _ : state) {
    state.PauseTiming();
    window.DeletePlotAt(0);
    state.ResumeTiming();
    window.OnUndo();
    state.PauseTiming();
    if (space.document.GetLines().GetCount() != 10000) state.SkipWithError("not undone");
    state.ResumeTiming();
  }
}
BENCHMARK(BM_MainWindowUndoDeletePlotOf10000Lines)->Unit(benchmark::kMillisecond);

// The main window and its find dialog over 100 000 lines, set to replace "care" (in every line)
// by "love", each replace recorded in the window's history.
struct ReplaceBench {
  Workspace space{100000};
  CMainDlg window{space.context};
  CFindDlg find{space.document, space.prompts, &window};

  ReplaceBench() {
    window.InitDialog();
    find.recordEdits = [this](std::vector<LineEdit> edits) {
      window.PushLineEdits(std::move(edits));
    };
    find.InitDialog();
    Set("care", "love");
  }
  void Set(const QString& needle, const QString& replacement) {
    find.ControlAs<QLineEdit>(CFindDlg::kText)->setText(needle);
    find.ControlAs<QLineEdit>(CFindDlg::kReplaceText)->setText(replacement);
  }
};

// Replace all over 100 000 lines through the find dialog, as its button runs it: the search, the
// replace, the step recorded.
void BM_ReplaceAll100000Lines(benchmark::State& state) {
  ReplaceBench bench;
  bool forward = true;
  for (auto _ : state) {
    bench.find.OnReplaceAll();
    state.PauseTiming();
    if (bench.find.replacedLines != 100000) state.SkipWithError("not replaced");
    // Back the other way for the next round.
    forward = !forward;
    bench.Set(forward ? QStringLiteral("care") : QStringLiteral("love"),
              forward ? QStringLiteral("love") : QStringLiteral("care"));
    state.ResumeTiming();
  }
}
BENCHMARK(BM_ReplaceAll100000Lines)->Unit(benchmark::kMillisecond)->Iterations(4);

// The undo of that step.
void BM_UndoReplaceAll100000Lines(benchmark::State& state) {
  ReplaceBench bench;
  bench.find.OnReplaceAll();
  for (auto _ : state) {
    bench.window.OnUndo();
    state.PauseTiming();
    bench.window.OnRedo();
    state.ResumeTiming();
  }
}
BENCHMARK(BM_UndoReplaceAll100000Lines)->Unit(benchmark::kMillisecond)->Iterations(4);

}  // namespace

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
