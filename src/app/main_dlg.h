// CMainDlg: the main window. Lists the plots of the open document and carries the file and plot
// commands; its title shows the game name, the current file and the modified mark.
//
// Values and controls are two copies (see toolkit/data_exchange.h). Bound: the game name (at most
// kDlgGameNameMaxBytes), the multi-line flag and the version text. The controls are read before a
// save, at the start of Edit plot and of the close request; they are written when the window opens,
// by New, by a successful load and at the end of every RefreshTitle, which first takes the game
// name and the multi-line flag from their controls unchecked, so that nothing typed is lost.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "app/app_context.h"
#include "toolkit/dialog.h"

class QIcon;
class QListWidget;

namespace toolkit {
struct FileDialogRequest;
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
  };
  // The context-menu command that opens the about box without file details.
  static constexpr int kAboutCommand = 0x10;
  // The context-menu command that opens the find dialog (also Ctrl+F).
  static constexpr int kFindCommand = 0x20;
  // The context-menu command that opens the statistics of the open document.
  static constexpr int kStatsCommand = 0x30;
  // The context-menu command that chooses the interface language.
  static constexpr int kLanguageCommand = 0x40;

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
  [[nodiscard]] bool LoadFile(const std::string& path);

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
  void OnPlotDblClk();
  void OnAbout();
  // Find (Ctrl+F): the find dialog; a result opened there opens the line editor on its row.
  void OnFind();
  // The Language dialog; a new choice is remembered and shown at once in every open window.
  void OnLanguage();
  void OnStats();

 public:
  // Adds a plot of this name (no ID range) to the document and appends its entry to the list;
  // the entry's index, or -1 when the name is taken (after its message) or memory runs out.
  int AddPlotByName(const std::string& name);
  // Deletes the first plot named as the entry at `index`, with all its lines, and the entry.
  void DeletePlotAt(int index);

 protected:
  void DoDataExchange(toolkit::CDataExchange& dx) override;
  bool OnInitDialog() override;
  // Enter in a field that does not take it: the main window never closes through OK.
  void OnOK() override;
  // The close request (Exit, Escape, the close box).
  void OnCancel() override;
  void OnSysCommand(int command) override;
  // The title's base caption in the new language.
  void OnLanguageChange() override;

 private:
  void ConnectControls();
  void ShowLoadError(const std::string& path);
  // The window after a load failed once the document had been emptied: no file, nothing listed.
  void ShowEmptyDocument();
  void FillPlotList();
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

  AppContext& context_;
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
};
