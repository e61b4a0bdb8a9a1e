// Load of files larger than the reader's few windows of the file: what is loaded is what was
// saved, byte for byte after a second save, whether the records are reached in file order or
// jumping across the whole file, and the file's image never holds more than a few windows while
// the reads go forwards.
#include <gtest/gtest.h>

#include <string>

#include "dlgfile/dlg_file_image.h"
#include "document_checks.h"
#include "model/dlg_file.h"
#include "platform/page_buffer.h"
#include "support/debug_capture.h"
#include "support/temp_dir.h"

namespace {

constexpr int kLines = 24000;  // about 6 MiB of records

// kLines lines of one plot, added in the order ID = k * step mod kLines, with texts of 150 to 250
// bytes and, at ID 100, one text of 2.5 MiB that spans windows.
void BuildDocument(CDlgFile& doc, int step) {
  PlotPos plot = doc.AddPlot("큰 장면", -1, -1);
  for (int k = 0; k < kLines; ++k) {
    const int id = static_cast<int>(static_cast<long long>(k) * step % kLines);
    CDlgItem line;
    line.SetID(id);
    line.SetSpeaker(id % 3 == 0 ? "" : "화자");
    std::string text = "대사 " + std::to_string(id) + " ";
    text += std::string(static_cast<size_t>(150 + id % 100), static_cast<char>('a' + id % 26));
    if (id == 100) text.append(5 << 19, 'w');
    line.SetText(text.c_str());
    ASSERT_NE(doc.AddItem(line, plot, nullptr), nullptr);
  }
}

TEST(DlgLoadWindows, BigFilesLoadWhatWasSavedInFileOrderAndJumpingAbout) {
  TempDir dir;
  DebugCapture capture;  // the long text's warning at each save
  for (int step : {1, 7919}) {  // records reached in file order; a jump of about a third each
    SCOPED_TRACE(step);
    CDlgFile built;
    BuildDocument(built, step);
    const std::string first = dir.File("first.dlg");
    ASSERT_EQ(built.Save(first.c_str()), 1);
    const std::string bytes = ReadFileBytes(first);
    ASSERT_GT(bytes.size(), size_t{8} << 20);

    CDlgFile loaded;
    platform::PageBuffer::ResetPeakResidentBytes();
    ASSERT_EQ(loaded.Load(first.c_str()), 1);
    const size_t imagePeak = platform::PageBuffer::PeakResidentBytes();
    EXPECT_TRUE(dlgtest::IsConsistent(loaded));
    EXPECT_EQ(dlgtest::Describe(loaded), dlgtest::Describe(built));
    const std::string second = dir.File("second.dlg");
    ASSERT_EQ(loaded.Save(second.c_str()), 1);
    EXPECT_EQ(ReadFileBytes(second), bytes);

    const size_t window = size_t{1} << DlgFileImage::kWindowShift;
    if (step == 1) {
      // The kept windows, the windows the long text spans, and the window of the index.
      EXPECT_LE(imagePeak, (DlgFileImage::kKeptWindows + 4) * window);
    } else {
      // Reading windows again and again stops at twice the file: then the image stays whole.
      EXPECT_LE(imagePeak, bytes.size() + window);
    }
  }
}

}  // namespace
