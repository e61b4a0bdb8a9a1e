#include <gtest/gtest.h>

#include <string>

#include "model/dlg_file.h"
#include "platform/file_io.h"
#include "support/debug_capture.h"
#include "support/document_builder.h"
#include "support/temp_dir.h"

namespace {

std::string ExportBytes(CDlgFile& doc, bool singleLine) {
  TempDir dir;
  const std::string path = dir.File("out.txt");
  EXPECT_TRUE(doc.Export(path.c_str(), singleLine));
  return ReadFileBytes(path);
}

// The plot of the worked example: line 12 with two text lines, line 13 with one.
void AddWorkedExample(CDlgFile& doc) {
  PlotPos plot = doc.AddPlot("p", -1, -1);
  AddTestLine(doc, plot, 12, "first\r\nsecond");
  AddTestLine(doc, plot, 13, "one");
}

TEST(TextExportTranslation, TwoLineAndOneLineTextsWithSeparatorAndEmptyLines) {
  CDlgFile doc;
  AddWorkedExample(doc);
  EXPECT_EQ(ExportBytes(doc, false),
            "*************\r\n12\r\nfirst\r\nsecond\r\n\r\n13\r\none\r\n\r\n");
}

TEST(TextExportRecording, OneLinePerIdWithTabsForBreaks) {
  CDlgFile doc;
  AddWorkedExample(doc);
  EXPECT_EQ(ExportBytes(doc, true), "12\tfirst\tsecond\r\n13\tone\r\n");
}

// Translation form: the ID line, the text's lines, one empty line. Recording form: ID, TAB, the
// text with a TAB for each break.
TEST(TextExport, EmptyTextInBothForms) {
  CDlgFile doc;
  AddTestLine(doc, doc.AddPlot("p", -1, -1), 5, "");
  EXPECT_EQ(ExportBytes(doc, false), "*************\r\n5\r\n\r\n\r\n");
  EXPECT_EQ(ExportBytes(doc, true), "5\t\r\n");
}

TEST(TextExport, EmptyLineInsideTextSurvivesInBothForms) {
  CDlgFile doc;
  AddTestLine(doc, doc.AddPlot("p", -1, -1), 7, "a\r\n\r\nb");
  EXPECT_EQ(ExportBytes(doc, false), "*************\r\n7\r\na\r\n\r\nb\r\n\r\n");
  EXPECT_EQ(ExportBytes(doc, true), "7\ta\t\tb\r\n");
}

TEST(TextExport, EmptyPlotsAndDocuments) {
  CDlgFile doc;
  EXPECT_EQ(ExportBytes(doc, false), "");  // zero bytes, and the export succeeds
  EXPECT_EQ(ExportBytes(doc, true), "");
  doc.AddPlot("empty", -1, -1);
  EXPECT_EQ(ExportBytes(doc, true), "");  // recording form: nothing for an empty plot
  AddTestLine(doc, doc.AddPlot("p", -1, -1), 1, "x");
  // Translation form: an empty plot gives only its separator.
  EXPECT_EQ(ExportBytes(doc, false), "*************\r\n*************\r\n1\r\nx\r\n\r\n");
}

TEST(TextExport, LoneCrIsKeptAndLoneLfBecomesCrLf) {
  CDlgFile doc;
  AddTestLine(doc, doc.AddPlot("p", -1, -1), 3, "a\rb\nc");
  EXPECT_EQ(ExportBytes(doc, true), "3\ta\rb\r\nc\r\n");
}

TEST(TextExport, PlotsInDocumentOrderAndLinesInPlotOrderOnlyMembersWritten) {
  CDlgFile doc;
  PlotPos first = doc.AddPlot("a", -1, -1);
  PlotPos second = doc.AddPlot("b", -1, -1);
  AddTestLine(doc, second, 20, "b20");
  AddTestLine(doc, first, 10, "a10");
  CDlgItem stray;
  stray.SetID(99);
  stray.SetText("no plot");
  ASSERT_NE(doc.AddItem(stray, nullptr, nullptr), nullptr);
  CDlgItem inserted;
  inserted.SetID(5);
  inserted.SetText("a5");
  ASSERT_NE(doc.AddItem(inserted, first, nullptr), nullptr);
  EXPECT_EQ(ExportBytes(doc, true), "10\ta10\r\n5\ta5\r\n20\tb20\r\n");
}

TEST(TextExport, MultibyteTextsPassUnchanged) {
  CDlgFile doc;
  PlotPos plot = doc.AddPlot("p", -1, -1);
  AddTestLine(doc, plot, 1, "\xEC\x95\x88\xEB\x85\x95");  // UTF-8 Korean
  AddTestLine(doc, plot, 2, "\xBE\xC8\xB3\xE7");          // CP949 Korean
  AddTestLine(doc, plot, 3, "\xC4\xE3\x81\x40");          // GBK, trail byte 0x40
  EXPECT_EQ(ExportBytes(doc, true),
            "1\t\xEC\x95\x88\xEB\x85\x95\r\n2\t\xBE\xC8\xB3\xE7\r\n3\t\xC4\xE3\x81\x40\r\n");
}

TEST(TextExport, ReplacesAnExistingFile) {
  TempDir dir;
  const std::string path = dir.File("out.txt");
  WriteFileBytes(path, "old content that is longer than the export");
  CDlgFile doc;
  AddTestLine(doc, doc.AddPlot("p", -1, -1), 1, "x");
  ASSERT_TRUE(doc.Export(path.c_str(), true));
  EXPECT_EQ(ReadFileBytes(path), "1\tx\r\n");
}

TEST(TextExport, UncreatableFileIsReportedAndFails) {
  TempDir dir;
  const std::string path = dir.File("missing/out.txt");
  CDlgFile doc;
  DebugCapture capture;
  EXPECT_FALSE(doc.Export(path.c_str(), false));
  ASSERT_EQ(capture.lines().size(), 1u);
  EXPECT_EQ(capture.lines()[0],
            "CDlgFile::Export() Error (0) : Create export file failed(" + path + ").\n");
}

TEST(TextExport, WriteFailureIsReportedNotPassedOffAsSuccess) {
  TempDir dir;
  const std::string path = dir.File("out.txt");
  WriteFileBytes(path, "previous");
  CDlgFile doc;
  AddTestLine(doc, doc.AddPlot("p", -1, -1), 1, "x");
  DebugCapture capture;
  // Every file operation after creating the temporary file fails, as on a full disk.
  platform::FailFileOperationAfter(2, true);
  EXPECT_FALSE(doc.Export(path.c_str(), false));
  platform::ResetFileOperationFaults();
  ASSERT_EQ(capture.lines().size(), 1u);
  EXPECT_EQ(capture.lines()[0], "CDlgFile::Export() Error (1) : Write export file failed(" + path +
                                    ").\n");
  EXPECT_EQ(ReadFileBytes(path), "previous");
  // A device is no export target at all: refused before anything is written.
  if (FileExists("/dev/full")) EXPECT_FALSE(doc.Export("/dev/full", false));
}

}  // namespace
