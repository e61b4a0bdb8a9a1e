// Load, Save, Import and Export hand back why they failed: the layer's message, the system's error
// and the line of the input, while the described debug line of the same failure stays as it was.
#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <string>

#include "interchange/text_import.h"
#include "model/dlg_file.h"
#include "platform/fault_injection.h"
#include "platform/file_io.h"
#include "support/debug_capture.h"
#include "support/document_builder.h"
#include "support/temp_dir.h"

namespace {

void ExpectFailure(const platform::Status& status, const std::string& message, int systemError) {
  EXPECT_FALSE(status.ok);
  EXPECT_EQ(status.message, message);
  EXPECT_EQ(status.systemError, systemError) << status.Text();
}

class FailureStatus : public ::testing::Test {
 protected:
  FailureStatus() {
    PlotPos plot = doc_.AddPlot("Intro", 0, 10);
    AddTestLine(doc_, plot, 0, "zero");
    AddTestLine(doc_, plot, 1, "one");
  }
  ~FailureStatus() override {
    platform::ResetAllocationFaults();
    platform::FileOperationFaults().Reset();
  }

  TempDir dir_;
  CDlgFile doc_;
  DebugCapture capture_;
};

TEST_F(FailureStatus, LoadNamesTheMissingFileAndTheMemoryThatRanOut) {
  const std::string missing = dir_.File("absent.dlg");
  platform::Status status;
  CDlgFile doc;
  EXPECT_EQ(doc.Load(missing.c_str(), status), 0);
  ExpectFailure(status, "cannot open the file", ENOENT);
  ASSERT_EQ(capture_.lines().size(), 1u);
  EXPECT_EQ(capture_.lines()[0],
            "CDlgFile::Load() Error (0) : Open file failed(" + missing + ")!\n");

  const std::string path = dir_.File("game.dlg");
  ASSERT_EQ(doc_.Save(path.c_str()), 1);
  platform::FailAllocationAfter(1, true);
  EXPECT_EQ(doc.Load(path.c_str(), status), 0);
  platform::ResetAllocationFaults();
  ExpectFailure(status, "not enough memory", ENOMEM);
  EXPECT_EQ(status.Text(), "not enough memory: " + std::string(std::strerror(ENOMEM)));

  EXPECT_EQ(doc.Load(path.c_str(), status), 1);
  EXPECT_TRUE(status.ok);  // a success clears what an earlier failure left
}

TEST_F(FailureStatus, SaveNamesTheStepAndTheSystemsReason) {
  platform::Status status;
  // A folder that is a file: the temporary file cannot be created.
  WriteFileBytes(dir_.File("file"), "x");
  const std::string inFile = dir_.File("file/game.dlg");
  EXPECT_EQ(doc_.Save(inFile.c_str(), status), 0);
  ExpectFailure(status, "cannot create the file", ENOTDIR);
  ASSERT_FALSE(capture_.lines().empty());
  EXPECT_EQ(capture_.lines().back(),
            "CDlgFile::Save() Error (2) : Create save file failed(" + inFile + ").\n");

  // Every write from the first on fails as a failing disk fails it.
  const std::string path = dir_.File("game.dlg");
  for (int n = 1; n < 12; ++n) {
    platform::FileOperationFaults().FailAfter(n, true);
    const int saved = doc_.Save(path.c_str(), status);
    platform::FileOperationFaults().Reset();
    if (saved != 0) continue;
    EXPECT_EQ(status.systemError, EIO) << n;
    EXPECT_TRUE(status.message == "cannot create the file" ||
                status.message == "cannot write the file")
        << n << ": " << status.message;
  }
  EXPECT_EQ(doc_.Save(path.c_str(), status), 1);
  EXPECT_TRUE(status.ok);
}

TEST_F(FailureStatus, ExportRefusesADialogueFileWithoutASystemError) {
  const std::string path = dir_.File("game.dlg");
  ASSERT_EQ(doc_.Save(path.c_str()), 1);
  platform::Status status;
  EXPECT_FALSE(doc_.Export(path.c_str(), false, status));
  ExpectFailure(status, "it is a dialogue file; not replaced by an export", 0);
  EXPECT_FALSE(doc_.Export(dir_.File("no/such/out.txt").c_str(), false, status));
  ExpectFailure(status, "cannot create the file", ENOENT);
  EXPECT_TRUE(doc_.Export(dir_.File("out.txt").c_str(), false, status));
  EXPECT_TRUE(status.ok);
}

TEST_F(FailureStatus, ImportNamesTheRefusalTheMissingFileAndTheLog) {
  ScopedCurrentDir cwd(dir_.path());
  platform::Status status;
  ImportCounts counts;
  WriteFileBytes(dir_.File("utf16.txt"), std::string("\xFF\xFE"
                                                     "1\0\n\0",
                                                     6));
  EXPECT_FALSE(ImportText(doc_, dir_.File("utf16.txt").c_str(), counts, status));
  ExpectFailure(status, "it is UTF-16 text; save it as UTF-8", 0);

  EXPECT_FALSE(doc_.Import(dir_.File("absent.txt").c_str(), status));
  ExpectFailure(status, "cannot open the file", ENOENT);

  // An ID no line has goes to the log, which cannot be written into a missing folder.
  WriteFileBytes(dir_.File("in.txt"), "7\r\nseven\r\n\r\n");
  const std::string log = dir_.File("no/such/Parlatrix.log");
  EXPECT_FALSE(ImportText(doc_, dir_.File("in.txt").c_str(), counts, status, log.c_str()));
  ExpectFailure(status, kImportLogFailure, ENOENT);

  // Memory that runs out while the file is read names the line it stopped at.
  WriteFileBytes(dir_.File("in.txt"), "0\r\nnew zero\r\n\r\n1\r\nnew one\r\n\r\n");
  bool named = false;
  for (int n = 1; n < 40 && !named; ++n) {
    platform::FailAllocationAfter(n);
    const bool imported = doc_.Import(dir_.File("in.txt").c_str(), status);
    platform::ResetAllocationFaults();
    if (imported || status.message != "not enough memory") continue;
    EXPECT_EQ(status.systemError, ENOMEM);
    named = status.line > 0;
  }
  EXPECT_TRUE(named);
  EXPECT_TRUE(doc_.Import(dir_.File("in.txt").c_str(), status));
  EXPECT_TRUE(status.ok);
}

}  // namespace
