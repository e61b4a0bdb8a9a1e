// Load of files larger than the reader's few windows of the file: what is loaded is what was
// saved, byte for byte after a second save, whether the records are reached in file order or
// jumping across the whole file, and the file's image never holds more than a few windows while
// the reads go forwards.
#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <random>
#include <string>

#include "dlgfile/dlg_file_image.h"
#include "document_checks.h"
#include "model/dlg_file.h"
#include "platform/fault_injection.h"
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

namespace {

// The image against the file's bytes at random ranges, some across window borders, in an order
// that gives windows up and reads them again; a window whose memory the seam refuses fails its
// Reach alone.
TEST(DlgFileImage, EveryReachedRangeHoldsTheFileBytesWhereverTheWindowsWere) {
  TempDir dir;
  const int64_t window = int64_t{1} << DlgFileImage::kWindowShift;
  std::string bytes(static_cast<size_t>(6 * window + 12345), '\0');
  std::mt19937 random(7);
  for (char& byte : bytes) byte = static_cast<char>(random());
  const std::string path = dir.File("image.bin");
  WriteFileBytes(path, bytes);

  DlgFileImage image;
  ASSERT_EQ(image.Open(path.c_str(), INT32_MAX), DlgFileImage::OpenResult::kOpened);
  ASSERT_EQ(image.size(), static_cast<int64_t>(bytes.size()));
  EXPECT_FALSE(image.Has(image.size() - 3, 4));
  for (int k = 0; k < 400; ++k) {
    const int64_t count = 1 + static_cast<int64_t>(random() % (k % 50 == 0 ? 3 * window : 4096));
    const int64_t offset = static_cast<int64_t>(random() % (image.size() - count + 1));
    ASSERT_TRUE(image.Reach(offset, count)) << k;
    ASSERT_EQ(std::memcmp(image.At(offset), bytes.data() + offset, static_cast<size_t>(count)), 0)
        << "range " << offset << " + " << count;
  }

  DlgFileImage fresh;
  ASSERT_EQ(fresh.Open(path.c_str(), INT32_MAX), DlgFileImage::OpenResult::kOpened);
  platform::FailAllocationAfter(1);
  EXPECT_FALSE(fresh.Reach(2 * window, 8));
  platform::ResetAllocationFaults();
  ASSERT_TRUE(fresh.Reach(2 * window, 8));
  EXPECT_EQ(std::memcmp(fresh.At(2 * window), bytes.data() + 2 * window, 8), 0);
  // Refused before anything is reserved: a folder, and a missing file.
  DlgFileImage folder;
  EXPECT_EQ(folder.Open(dir.path().c_str(), INT32_MAX), DlgFileImage::OpenResult::kCannotOpen);
  DlgFileImage missing;
  EXPECT_EQ(missing.Open(dir.File("missing").c_str(), INT32_MAX),
            DlgFileImage::OpenResult::kCannotOpen);
}

}  // namespace
