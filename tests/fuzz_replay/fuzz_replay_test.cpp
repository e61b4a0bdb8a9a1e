// Replays every committed fuzz corpus file through the same entry points the fuzzers call, so the
// ordinary suite (and its sanitizer build) keeps every input the fuzzers ever found interesting.
// A broken property aborts the test process with the failed check on stderr.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "fuzz_support.h"
#include "fuzz_targets.h"
#include "support/temp_dir.h"

namespace {

using Target = int (*)(const uint8_t*, size_t);

std::vector<std::string> CorpusFiles(const std::string& target) {
  std::vector<std::string> files;
  const std::filesystem::path dir =
      std::filesystem::path(PARLATRIX_SOURCE_DIR) / "fuzz" / "corpus" / target;
  for (const auto& entry : std::filesystem::directory_iterator(dir)) {
    if (entry.is_regular_file()) files.push_back(entry.path().string());
  }
  std::sort(files.begin(), files.end());
  return files;
}

// The targets' files go to a temporary folder of the test.
class ScopedScratchDir {
 public:
  ScopedScratchDir() { fuzz::SetScratchDir(dir_.path()); }
  ~ScopedScratchDir() { fuzz::SetScratchDir(""); }

 private:
  TempDir dir_;
};

// Runs every file of the target's corpus; the number of files run.
size_t Replay(const std::string& target, Target run) {
  ScopedScratchDir scratch;
  const std::vector<std::string> files = CorpusFiles(target);
  for (const std::string& file : files) {
    SCOPED_TRACE(file);
    const std::string bytes = ReadFileBytes(file);
    EXPECT_EQ(run(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()), 0);
  }
  return files.size();
}

TEST(FuzzCorpusReplay, LoadCorpus) {
  EXPECT_GT(Replay("load", FuzzLoad), 0u);
}

TEST(FuzzCorpusReplay, ReadItemCorpus) {
  EXPECT_GT(Replay("read_item", FuzzReadItem), 0u);
}

TEST(FuzzCorpusReplay, ImportCorpus) {
  EXPECT_GT(Replay("import", FuzzImport), 0u);
}

TEST(FuzzCorpusReplay, ConfigCorpus) {
  EXPECT_GT(Replay("config", FuzzConfig), 0u);
}

TEST(FuzzCorpusReplay, RoundTripCorpus) {
  EXPECT_GT(Replay("roundtrip", FuzzRoundTrip), 0u);
}

TEST(FuzzCorpusReplay, RuntimeCorpus) {
  EXPECT_GT(Replay("runtime", FuzzRuntime), 0u);
  EXPECT_EQ(FuzzRuntime(nullptr, 0), 0);
}

TEST(FuzzCorpusReplay, MergeCorpus) {
  EXPECT_GT(Replay("merge", FuzzMerge), 0u);
}

TEST(FuzzCorpusReplay, StoredTextCorpus) {
  EXPECT_GT(Replay("stored_text", FuzzStoredText), 0u);
  // The merge's and the round trip's inputs make documents of every shape, too.
  EXPECT_GT(Replay("merge", FuzzStoredText), 0u);
  EXPECT_GT(Replay("roundtrip", FuzzStoredText), 0u);
  // And seeded random inputs: bytes, and stored texts with bytes flipped and lines cut.
  std::mt19937 random(27);
  const std::string seedFile =
      (std::filesystem::path(PARLATRIX_SOURCE_DIR) / "fuzz/corpus/stored_text/seed_demo_text")
          .string();
  const std::string text = ReadFileBytes(seedFile);
  ASSERT_FALSE(text.empty());
  for (int round = 0; round < 3000; ++round) {
    std::string input;
    if (round % 2 == 0) {
      input.resize(random() % 400);
      for (char& c : input) c = static_cast<char>(random());
    } else {
      input = text.substr(0, random() % (text.size() + 1));
      for (int flips = random() % 4; flips > 0 && !input.empty(); --flips) {
        input[random() % input.size()] = static_cast<char>(random());
      }
    }
    EXPECT_EQ(FuzzStoredText(reinterpret_cast<const uint8_t*>(input.data()), input.size()), 0);
  }
}

TEST(FuzzCorpusReplay, ExchangeReaderCorpora) {
  EXPECT_GT(Replay("po", FuzzPo), 0u);
  EXPECT_GT(Replay("xliff", FuzzXliff), 0u);
  EXPECT_GT(Replay("xliff2", FuzzXliff2), 0u);
  EXPECT_GT(Replay("csv", FuzzCsv), 0u);
  EXPECT_GT(Replay("xlsx", FuzzXlsx), 0u);
}

// Inputs that no corpus file starts from: nothing at all, and one byte of each kind.
TEST(FuzzCorpusReplay, EmptyAndOneByteInputs) {
  ScopedScratchDir scratch;
  const Target targets[] = {FuzzLoad,      FuzzReadItem, FuzzImport,     FuzzConfig,
                            FuzzRoundTrip, FuzzMerge,    FuzzStoredText, FuzzPo,
                            FuzzXliff,     FuzzCsv,      FuzzXlsx};
  for (Target run : targets) {
    EXPECT_EQ(run(nullptr, 0), 0);
    for (int byte = 0; byte < 256; byte += 51) {
      const uint8_t one = static_cast<uint8_t>(byte);
      EXPECT_EQ(run(&one, 1), 0);
    }
  }
}

}  // namespace
