// CMainDlg: the main window. Lists the plots of the open document and carries the file and plot
// commands; its title shows the game name, the current file and the modified mark.
//
// Values and controls are two copies (see toolkit/data_exchange.h). Bound: the game name (at most
// kDlgGameNameMaxBytes), the multi-line flag and the version text. The controls are read before a
// save, at the start of Edit plot and of the close request; they are written when the window opens,
// by New, by a successful load and at the end of every RefreshTitle, which first takes the game
// name and the multi-line flag from their controls unchecked, so that nothing typed is lost.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/app_context.h"
#include "model/document_edits.h"
#include "toolkit/dialog.h"

class QIcon;
class QUndoCommand;
class QUndoStack;
class QListWidget;
class QListWidgetItem;

namespace toolkit {
struct FileDialogRequest;
}
namespace platform {
struct Status;
}

class CMainDlg : public toolkit::CDialog {
  Q_OBJECT

 public:
  enum ControlId {
    kPlotsFrame = 1,
    kPlotList,
    kAddPlot,
    kEditPlot,
    kDeletePlot,
    kGameName,
    kMultiLine,
    kNew,
    kOpen,
    kSaveAs,
    kSave,
    kExport,
    kImport,
    kAbout,
    kExit,
    kVersionNumber,
    kVersionLabel,
    kPlotFilter,  // shows only the plots whose name holds the typed text (not a described control)
  };
  // The context-menu command that opens the about box without file details.
  static constexpr int kAboutCommand = 0x10;
  // The context-menu command that opens the find dialog (also Ctrl+F).
  static constexpr int kFindCommand = 0x20;
  // The context-menu command that opens the statistics of the open document.
  static constexpr int kStatsCommand = 0x30;
  // The context-menu command that chooses the interface language.
  static constexpr int kLanguageCommand = 0x40;
  // The context-menu command that opens a file in a code page the user names.
  static constexpr int kOpenInCodePageCommand = 0x50;
  // The context-menu commands that undo and redo the last change (also Ctrl+Z, Ctrl+Shift+Z and
  // Ctrl+Y).
  static constexpr int kUndoCommand = 0x60;
  static constexpr int kRedoCommand = 0x70;

  explicit CMainDlg(AppContext& context, QWidget* parent = nullptr);
  ~CMainDlg() override;

  static const toolkit::DialogTemplate& Template();

  // Stores the modified flag; callers follow it with RefreshTitle.
  void SetModified(bool flag) { modified_ = flag; }
  // Rebuilds the title and the version display, then writes the controls.
  void RefreshTitle();
  // Edit and Delete are enabled exactly while the plot list has a selected entry.
  void RefreshButtons();
  // Loads `path` into the document and the window; on success `path` becomes the current path.
  // A file that cannot be opened leaves the document and the window as they were (current path
  // included) after its message, so a following Save cannot write an empty document over a file.
  // The texts are read (and later written) in `codeset`; empty: the code page remembered for the
  // file, else the one in force when the window opened. Names or texts not valid in it are
  // announced, with the code page they likely are in.
  [[nodiscard]] bool LoadFile(const std::string& path, const std::string& codeset = {});

  QListWidget* plotList() const;
  AppContext& context() const { return context_; }

  // The window's values (see the private fields below).
  const std::string& gameName() const { return gameName_; }
  bool multiLine() const { return multiLine_; }
  bool modified() const { return modified_; }
  const QString& baseCaption() const { return baseCaption_; }
  const std::string& currentPath() const { return currentPath_; }
  const std::string& dialogueFolder() const { return dialogueFolder_; }
  const std::string& importPath() const { return importPath_; }
  const std::string& exportPath() const { return exportPath_; }
  const std::string& textFolder() const { return textFolder_; }
  int versionNumber() const { return versionNumber_; }
  // The values a command starts from, for tests that set them up.
  // Also shows it in its field, which the next refresh reads back.
  void SetGameName(const std::string& name);
  void SetDialogueFolder(const std::string& folder) { dialogueFolder_ = folder; }
  void SetTextFolder(const std::string& folder) { textFolder_ = folder; }
  void SetImportPath(const std::string& path) { importPath_ = path; }
  void SetExportPath(const std::string& path) { exportPath_ = path; }

  // The routines the file commands share. Each shows its own messages; true on success.
  // Writes the document to the current path after reading the controls into it.
  [[nodiscard]] bool SaveFile();
  // After a file was loaded (File>Open or the command line): when it is damaged, says so once
  // and marks it, so that the first save over it keeps the original.
  void AnnounceDamage();
  // Before the first save over a damaged file: keeps the original as NAME.damaged.
  [[nodiscard]] bool KeepDamagedOriginal();
  // Merges the texts of the import path into the document's lines.
  [[nodiscard]] bool ImportText();
  // Out of memory: the history cleared, the modified mark as it was.
  void ClearHistoryKeepingModified();
  // Runs `show` (a message, the title); memory running out there leaves the command's outcome.
  void ShowOutOfMemoryTolerant(const std::function<void()>& show);
  // Writes the texts to the export path, in the form the user picks.
  [[nodiscard]] bool ExportText();

 public slots:
  // File commands.
  void OnNew();
  void OnOpen();
  void OnSave();
  void OnSaveAs();
  void OnImport();
  void OnExport();
  // Plot commands.
  void OnAddPlot();
  void OnEditPlot();
  void OnDeletePlot();
  void OnPlotSelChange();
  // Hides the entries whose name does not hold `text` (letters in either case); a hidden entry
  // loses its selection.
  void OnPlotFilter(const QString& text);
  void OnPlotDblClk();
  void OnAbout();
  // Find (Ctrl+F): the find dialog; a result opened there opens the line editor on its row.
  void OnFind();
  // The Language dialog; a new choice is remembered and shown at once in every open window.
  void OnLanguage();
  void OnStats();
  // Asks for a code page, then a file, and opens the file in that code page (remembered for it).
  void OnOpenInCodePage();
  void OnUndo();
  void OnRedo();
  // A click on the multi-line box: one step in the history.
  void OnMultiLineClicked();

 public:
  // Adds a plot of this name (no ID range) to the document and appends its entry to the list;
  // the entry's index, or -1 when the name is taken (after its message) or memory runs out.
  int AddPlotByName(const std::string& name);
  // Deletes the plot of the entry at `index`, with all its lines, and the entry.
  void DeletePlotAt(int index);
  // The plot the entry at `index` shows; nullptr for an index outside the list.
  PlotPos EntryPlot(int index) const;
  // The undo history of the document. Saving marks its clean state: the title's `*` follows it.
  QUndoStack* undoStack() const { return undoStack_; }
  // Pushes a step whose change is made (a name typed since the last step goes first).
  void PushStep(QUndoCommand* step);
  // Records `edits`, already made to the document's lines, as one step (an import, a replace).
  void PushLineEdits(std::vector<LineEdit> edits);
  // After an undo or redo: the plot list again from the document, the entry at `selectIndex`
  // selected (-1: none, -2: the selection kept), the fields, the title and the buttons.
  void ShowDocumentAgain(int selectIndex);
  // The game name and the multi-line option as an undo or redo sets them.
  void SetGameNameFromHistory(const std::string& name);
  void SetMultiLineFromHistory(bool multiLine);
  // Data role of a plot list entry that holds its plot.
  static constexpr int kPlotRole = Qt::UserRole + 1;

 protected:
  void DoDataExchange(toolkit::CDataExchange& dx) override;
  bool OnInitDialog() override;
  // Enter in a field that does not take it: the main window never closes through OK. On the plot
  // list with an entry selected it runs Edit.
  void OnOK() override;
  // The close request (Exit, Escape, the close box).
  void OnCancel() override;
  void OnSysCommand(int command) override;
  // The title's base caption in the new language.
  void OnLanguageChange() override;

 private:
  void ConnectControls();
  void ShowLoadError(const std::string& path, const platform::Status& status);
  // Before New and Open: the close request's question when there are unsaved changes (a game
  // name or multi-line box changed in its field counts). False: the user keeps the document.
  bool ConfirmDiscard();
  // After a load: says so when the document's names or texts are not valid in `codeset`.
  void AnnounceCodePage(const std::string& codeset);
  // The window after a load failed once the document had been emptied: no file, nothing listed.
  void ShowEmptyDocument();
  void FillPlotList();
  // Applies the plot filter field's text to every entry.
  void ApplyPlotFilter();
  static void SetEntryPlot(QListWidgetItem* entry, PlotPos plot);
  void RunAboutBox(const std::string& fileName, const std::string& folder);
  // The line editor on the list entry at `index`, with `selectRow` selected (-1: the last row).
  void EditPlotAt(int index, int selectRow);
  // Where the line editor looks for the speaker configuration, in order.
  std::vector<std::string> SpeakerConfigPaths() const;
  // Takes the game name and the multi-line flag from their controls without checking them, so
  // that a refresh of the controls shows what the user typed rather than an older value.
  void TakeFieldsQuietly();
  // Shows the file dialog of `request`; on a choice `chosen` takes the file's path and `folder` its
  // folder, where the command's next dialog starts. False when the dialog was cancelled.
  bool ChooseFileIn(const toolkit::FileDialogRequest& request, std::string& folder,
                    std::string& chosen);

  // A document newly loaded or created: no history, clean.
  void ResetHistory();
  // A game name typed since the last step, as a step of its own.
  void RecordTypedGameName();
  // The plot's place in the document, from 0; -1 when it is not there.
  int PlotIndexOf(PlotPos plot) const;

  AppContext& context_;
  QUndoStack* undoStack_ = nullptr;  // a child of the window
  // The game name and multi-line option as the history last recorded them.
  std::string historyGameName_;
  bool historyMultiLine_ = false;
  std::unique_ptr<QIcon> icon_;  // the window's own icon, distinct from the about box's
  // Values, in the order of the window's description.
  std::string gameName_;
  bool multiLine_ = false;
  std::string versionText_;
  bool modified_ = false;
  QString baseCaption_;
  std::string currentPath_;     // the file Save writes and the title shows; empty: none
  std::string damagedPath_;     // a damaged file opened and not yet saved over; empty: none
  std::string dialogueFolder_;  // where the Open and Save As dialogs start
  std::string importPath_;
  std::string exportPath_;
  std::string textFolder_;  // where the Import and Export dialogs start
  int versionNumber_ = 0;
  std::string defaultCodeset_;  // the code page in force when the window opened (New returns to it)
};
