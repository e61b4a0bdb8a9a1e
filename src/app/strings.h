// The main window's texts: its messages, questions and file dialog titles, byte for byte as the
// program shows them. Labels stay in each dialog's control table. The line editor and the tools
// keep their few texts beside their code: they sit below the app and cannot include it.
#pragma once

#include <QtGlobal>

namespace strings {

// The window itself.
inline constexpr char kAboutItem[] = QT_TRANSLATE_NOOP("CMainDlg", "Parlatrix 정보(&A)...");
// The item beside it that opens the find dialog (also Ctrl+F).
inline constexpr char kFindItem[] = QT_TRANSLATE_NOOP("CMainDlg", "찾기(&F)...");
// The item that opens the statistics (words, characters, spoken minutes) of the open document.
inline constexpr char kStatsItem[] = QT_TRANSLATE_NOOP("CMainDlg", "통계(&S)...");
// The item beside them that chooses the interface language; it names itself in English too, so
// that a user who reads neither Korean nor Chinese finds it.
inline constexpr char kLanguageItem[] = QT_TRANSLATE_NOOP("CMainDlg", "언어 · Language(&L)...");
inline constexpr char kLoadError[] = QT_TRANSLATE_NOOP("CMainDlg", "(%1) 대화 파일 읽기 오류!");
inline constexpr char kQuitQuestion[] = QT_TRANSLATE_NOOP("CMainDlg", "内容被修改了，退出吗？");
inline constexpr char kQuitCaption[] = QT_TRANSLATE_NOOP("CMainDlg", "警告");
// The item that opens a file in a code page the user names (remembered for the file).
inline constexpr char kOpenInCodePageItem[] =
    QT_TRANSLATE_NOOP("CMainDlg", "코드 페이지로 열기(&E)...");
// After a load whose names or texts are not valid in the code page they were read in (%1 the file,
// %2 that code page, %3 the code page they decode in). The detail under it says where.
inline constexpr char kNotInCodePageLikely[] =
    QT_TRANSLATE_NOOP("CMainDlg",
                      "文件(%1)中的文字不是代码页%2的有效文字，可能是%3编码。请用“코드 페이지로 "
                      "열기”选择%3重新打开。");
inline constexpr char kNotInCodePage[] =
    QT_TRANSLATE_NOOP("CMainDlg", "文件(%1)中的文字不是代码页%2的有效文字。");

// The items that undo and redo the last change to the document.
inline constexpr char kUndoItem[] = QT_TRANSLATE_NOOP("CMainDlg", "실행 취소(&U)");
inline constexpr char kRedoItem[] = QT_TRANSLATE_NOOP("CMainDlg", "다시 실행(&R)");

// File commands.
inline constexpr char kNewGameName[] = QT_TRANSLATE_NOOP("CMainDlg", "새 게임");
inline constexpr char kOpenTitle[] = QT_TRANSLATE_NOOP("CMainDlg", "대화 파일 열기");
inline constexpr char kSaveAsTitle[] = QT_TRANSLATE_NOOP("CMainDlg", "대화 파일 저장");
inline constexpr char kImportTitle[] = QT_TRANSLATE_NOOP("CMainDlg", "텍스트 파일 열기");
inline constexpr char kExportTitle[] = QT_TRANSLATE_NOOP("CMainDlg", "텍스트 파일 저장");
inline constexpr char kDialogueExt[] = "dlg";
inline constexpr char kTextExt[] = "txt";
inline constexpr char kSaveError[] = QT_TRANSLATE_NOOP("CMainDlg", "(%1) 대화 파일 저장 오류!");
// After opening a damaged file (%1 the file, %2 what could not be read, %3 the kept original).
inline constexpr char kDamagedOpened[] =
    QT_TRANSLATE_NOOP("CMainDlg",
                      "文件(%1)已损坏，以下内容无法读取：\n%"
                      "2\n保存时只写入已读取的内容；第一次保存前，原文件将保留为 %3。");
// Before a save over a file that another program changed since it was read.
inline constexpr char kChangedOnDisk[] =
    QT_TRANSLATE_NOOP("CMainDlg", "文件(%1)在读取后已被其他程序修改，是否覆盖？");
inline constexpr char kDamagedSuffix[] = ".damaged";
// After a save that found the backup of an interrupted earlier save (%1 the file, %2 the backup).
inline constexpr char kSaveBackupKept[] = QT_TRANSLATE_NOOP(
    "CMainDlg", "上次保存文件(%1)时被中断，保存前的原内容保留在 %2，请检查后自行删除。");
inline constexpr char kImportIntoEmpty[] =
    QT_TRANSLATE_NOOP("CMainDlg", "数据不能导入到空文件中！");
inline constexpr char kImported[] = QT_TRANSLATE_NOOP("CMainDlg", "文件导入成功！");
inline constexpr char kImportError[] = QT_TRANSLATE_NOOP("CMainDlg", "导入文本文件错误(%1)!");
inline constexpr char kExportQuestion[] = QT_TRANSLATE_NOOP(
    "CMainDlg", "是否用于翻译？如果选择是，则导出多行文本，否则导出单行文本，用于录音。");
inline constexpr char kExportCaption[] = QT_TRANSLATE_NOOP("CMainDlg", "导出");
inline constexpr char kExported[] = QT_TRANSLATE_NOOP("CMainDlg", "文件导出成功！");
inline constexpr char kExportError[] = QT_TRANSLATE_NOOP("CMainDlg", "导出文本文件错误(%1)!");

// The placeholder of the filter field under the plot list.
inline constexpr char kPlotFilterHint[] = QT_TRANSLATE_NOOP("CMainDlg", "필터: 장면 이름에서 찾기");

// Plot commands.
inline constexpr char kDuplicatePlot[] =
    QT_TRANSLATE_NOOP("CMainDlg", "情节名字重复(%1)！添加情节失败！");
// Before Delete plot (%1 the plot's name, %2 its number of lines).
inline constexpr char kDeletePlotQuestion[] =
    QT_TRANSLATE_NOOP("CMainDlg", "确定要删除情节(%1)及其全部%2行对话吗？");

}  // namespace strings
