// The game-side runtime against the editor's own reader: every ID of saved documents answers as
// CDlgFile::ReadItem does, byte for byte; damaged files do not open; the C interface never
// crashes on bad arguments.
#include "parlatrix/runtime.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <climits>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "dlg_bytes.h"
#include "model/dlg_file.h"
#include "support/debug_capture.h"
#include "support/temp_dir.h"

namespace {

std::string View(const prx_text& text) {
  return std::string(text.data, text.size);
}
std::string View(const CPlainString& text) {
  return std::string(text.c_str(), static_cast<size_t>(text.GetLength()));
}

// A document of `lines` lines over a few plots, every line in a plot, IDs rising with holes of up
// to four between them; texts empty, short, multi-byte, with CR LF, and a few longer than the
// 2 KiB that ReadItem reads at once.
void FillRandomDocument(CDlgFile& doc, uint32_t seed, int lines) {
  std::mt19937 random(seed);
  doc.SetGameName(seed % 2 ? "게임" : "");
  std::vector<PlotPos> plots;
  for (int p = 0; p < 1 + static_cast<int>(seed % 6); ++p) {
    plots.push_back(doc.AddPlot(("情节 " + std::to_string(p)).c_str(), p * 1000, p * 1000 + 999));
  }
  const char* pieces[] = {"", "a", "대사", "\r\n", "line of text ", "台词", "\t"};
  int id = static_cast<int>(random() % 4);
  for (int k = 0; k < lines; ++k) {
    CDlgItem line;
    line.SetID(id);
    id += 1 + static_cast<int>(random() % 5);
    std::string text;
    const int pieceCount = random() % 50 == 0 ? 400 : static_cast<int>(random() % 12);
    for (int n = 0; n < pieceCount; ++n) text += pieces[random() % 7];
    line.SetText(text.c_str());
    line.SetSpeaker(pieces[random() % 7]);
    line.SetExpression(random() % 3 ? "" : "smile");
    line.SetSound(random() % 2 ? "voice/line.ogg" : "");
    doc.AddItem(line, plots[random() % plots.size()], nullptr);
  }
}

std::string SavedFile(CDlgFile& doc, const TempDir& dir, const std::string& name) {
  DebugCapture quiet;
  const std::string path = dir.File(name);
  EXPECT_EQ(doc.Save(path.c_str()), 1);
  return path;
}

void ExpectSameAsReadItem(const prx_file* file, const std::string& path, int32_t id) {
  CDlgFile any;
  CDlgItem expected;
  const bool read = any.ReadItem(path.c_str(), id, expected);
  prx_line line;
  const prx_status status = prx_get_line(file, id, &line);
  ASSERT_EQ(status == PRX_OK, read) << "ID " << id;
  if (!read) {
    EXPECT_EQ(status, PRX_ERROR_NOT_FOUND);
    EXPECT_EQ(line.id, -1);
    EXPECT_EQ(line.text.size, 0u);
    return;
  }
  EXPECT_EQ(line.id, expected.GetID());
  EXPECT_EQ(line.plot_index, expected.GetPlotIndex());
  EXPECT_EQ(View(line.speaker), View(expected.GetSpeaker())) << "ID " << id;
  EXPECT_EQ(View(line.expression), View(expected.GetExpression())) << "ID " << id;
  EXPECT_EQ(View(line.sound), View(expected.GetSound())) << "ID " << id;
  EXPECT_EQ(View(line.text), View(expected.GetText())) << "ID " << id;
  EXPECT_EQ(line.text.data[line.text.size], '\0');
}

TEST(RuntimeLookup, EveryIdAnswersAsReadItemOnRandomDocuments) {
  TempDir dir;
  DebugCapture quiet;
  for (uint32_t seed = 1; seed <= 4; ++seed) {
    CDlgFile doc;
    FillRandomDocument(doc, seed, 1500 + 500 * static_cast<int>(seed));
    const std::string path = SavedFile(doc, dir, "random.dlg");
    prx_file* file = nullptr;
    prx_error error;
    ASSERT_EQ(prx_open(path.c_str(), &file, &error), PRX_OK) << error.message;
    EXPECT_EQ(error.code, PRX_OK);
    const int32_t highest = prx_highest_id(file);
    EXPECT_GT(highest, 3000);
    EXPECT_EQ(prx_line_count(file), doc.GetLines().GetCount());
    for (int32_t id = -3; id <= highest + 3; ++id) ExpectSameAsReadItem(file, path, id);
    for (int32_t id : {INT_MIN, INT_MAX}) ExpectSameAsReadItem(file, path, id);
    prx_close(file);
  }
}

TEST(RuntimeLookup, PlotsGameNameAndCopiesDescribeTheDocument) {
  TempDir dir;
  CDlgFile doc;
  FillRandomDocument(doc, 5, 300);
  const std::string path = SavedFile(doc, dir, "plots.dlg");
  const std::string bytes = ReadFileBytes(path);
  prx_file* file = nullptr;
  ASSERT_EQ(prx_open_memory(bytes.data(), bytes.size(), &file, nullptr), PRX_OK);
  EXPECT_EQ(View(prx_game_name(file)), "게임");
  ASSERT_EQ(prx_plot_count(file), doc.GetPlots().GetCount());
  int32_t p = 0;
  for (PlotPos pos = doc.GetFirstPlot(); pos != nullptr; ++p) {
    const CDlgPlot& expected = doc.GetNextPlot(pos);
    prx_plot plot;
    ASSERT_EQ(prx_get_plot(file, p, &plot), PRX_OK);
    EXPECT_EQ(View(plot.name), View(expected.GetName()));
    EXPECT_EQ(plot.range_low, expected.rangeLow);
    EXPECT_EQ(plot.range_high, expected.rangeHigh);
    std::vector<int32_t> ids;
    for (auto* m = expected.members.GetHeadPosition(); m != nullptr; m = m->next) {
      ids.push_back(m->value->value.GetID());
    }
    EXPECT_EQ(std::vector<int32_t>(plot.members, plot.members + plot.member_count), ids);
  }
  prx_plot plot;
  EXPECT_EQ(prx_get_plot(file, p, &plot), PRX_ERROR_NOT_FOUND);
  EXPECT_EQ(prx_get_plot(file, -1, &plot), PRX_ERROR_NOT_FOUND);

  // Copies: the size with the zero byte is told also when the buffer is too small.
  prx_line line;
  int32_t id = 0;
  while (prx_get_line(file, id, &line) != PRX_OK || line.text.size < 4) ++id;
  std::vector<char> buffer(line.text.size + 1, 'x');
  size_t needed = 0;
  EXPECT_EQ(prx_copy_field(file, id, PRX_FIELD_TEXT, buffer.data(), 3, &needed), PRX_ERROR_BUFFER);
  EXPECT_EQ(needed, line.text.size + 1);
  EXPECT_EQ(buffer[0], 'x');
  EXPECT_EQ(prx_copy_field(file, id, PRX_FIELD_TEXT, buffer.data(), buffer.size(), &needed),
            PRX_OK);
  EXPECT_EQ(std::string(buffer.data()), View(line.text));
  EXPECT_EQ(prx_copy_field(file, id, static_cast<prx_field>(9), buffer.data(), 9, &needed),
            PRX_ERROR_ARGUMENT);
  EXPECT_EQ(prx_copy_field(file, -1, PRX_FIELD_SOUND, buffer.data(), 9, &needed),
            PRX_ERROR_NOT_FOUND);
  EXPECT_EQ(prx_copy_field(file, id, PRX_FIELD_SPEAKER, nullptr, 0, &needed), PRX_ERROR_BUFFER);
  EXPECT_EQ(needed, line.speaker.size + 1);
  prx_close(file);
}

TEST(RuntimeLookup, OlderVersionsTakeMembersFromTheRecordsPlotIndex) {
  for (int32_t version : {100, 103}) {
    dlgtest::FileSpec layout;
    layout.version = version;
    layout.plots = {{"a", 0, 10, {}}, {"b", 10, 20, {}}};
    layout.records = {
        {0, 1, "s", "e", "o", "zero"}, {4, 0, "", "", "", "four"}, {5, 1, "", "", "", "five"}};
    layout.index = {{0, 0}, {-1, 1}, {-1, 1}, {-1, 1}, {4, 1}, {5, 2}};
    const std::string bytes = dlgtest::BuildFile(layout);
    prx_file* file = nullptr;
    prx_error error;
    ASSERT_EQ(prx_open_memory(bytes.data(), bytes.size(), &file, &error), PRX_OK) << error.message;
    prx_plot plot;
    ASSERT_EQ(prx_get_plot(file, 1, &plot), PRX_OK);
    EXPECT_EQ(std::vector<int32_t>(plot.members, plot.members + plot.member_count),
              (std::vector<int32_t>{0, 5}));
    EXPECT_EQ(plot.range_low, version < 101 ? -1 : 10);
    prx_line line;
    ASSERT_EQ(prx_get_line(file, 4, &line), PRX_OK);
    EXPECT_EQ(View(line.text), "four");
    EXPECT_EQ(prx_get_line(file, 3, &line), PRX_ERROR_NOT_FOUND);
    prx_close(file);
  }
}

TEST(RuntimeOpen, DamagedAndMissingFilesFailWithCodeAndMessage) {
  TempDir dir;
  CDlgFile doc;
  FillRandomDocument(doc, 9, 12);
  const std::string good = ReadFileBytes(SavedFile(doc, dir, "good.dlg"));
  prx_file* file = reinterpret_cast<prx_file*>(&doc);  // must come back NULL
  prx_error error;
  for (size_t length = 0; length < good.size(); ++length) {
    ASSERT_EQ(prx_open_memory(good.data(), length, &file, &error), PRX_ERROR_DAMAGED) << length;
    EXPECT_EQ(file, nullptr);
    EXPECT_EQ(error.code, PRX_ERROR_DAMAGED);
    EXPECT_NE(std::string(error.message).find("damaged"), std::string::npos) << error.message;
  }
  const std::string cut = dir.File("cut.dlg");
  WriteFileBytes(cut, good.substr(0, good.size() / 2));
  EXPECT_EQ(prx_open(cut.c_str(), &file, &error), PRX_ERROR_DAMAGED);
  EXPECT_EQ(std::string(error.message).rfind(cut + ": damaged at byte ", 0), 0u) << error.message;

  // Changed bytes: a file opens exactly when nothing it relies on was hit, and then answers.
  std::mt19937 random(3);
  int opened = 0;
  for (int round = 0; round < 3000; ++round) {
    std::string bad = good;
    bad[random() % bad.size()] ^= static_cast<char>(1 + random() % 255);
    if (prx_open_memory(bad.data(), bad.size(), &file, &error) != PRX_OK) {
      EXPECT_EQ(error.code, PRX_ERROR_DAMAGED);
      continue;
    }
    ++opened;
    prx_line line;
    for (int32_t id = -1; id <= prx_highest_id(file) + 1; ++id) prx_get_line(file, id, &line);
    prx_close(file);
  }
  EXPECT_GT(opened, 100);  // changed text bytes cannot be told from text

  EXPECT_EQ(prx_open(dir.File("none.dlg").c_str(), &file, &error), PRX_ERROR_OPEN);
  EXPECT_NE(std::string(error.message).find("No such file"), std::string::npos);
  EXPECT_EQ(prx_open(dir.path().c_str(), &file, &error), PRX_ERROR_OPEN);
  EXPECT_NE(std::string(error.message).find("not a regular file"), std::string::npos);
  const std::string fifo = dir.File("fifo");
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  EXPECT_EQ(prx_open(fifo.c_str(), &file, &error), PRX_ERROR_OPEN);  // without waiting
  EXPECT_EQ(prx_open(nullptr, &file, &error), PRX_ERROR_ARGUMENT);
  EXPECT_EQ(prx_open(cut.c_str(), nullptr, nullptr), PRX_ERROR_ARGUMENT);
  EXPECT_EQ(prx_open_memory(nullptr, 5, &file, nullptr), PRX_ERROR_ARGUMENT);
  EXPECT_EQ(file, nullptr);
}

TEST(RuntimeInterface, NullHandlesVersionAndMessages) {
  prx_line line;
  prx_plot plot;
  EXPECT_EQ(prx_get_line(nullptr, 0, &line), PRX_ERROR_ARGUMENT);
  EXPECT_EQ(prx_get_plot(nullptr, 0, &plot), PRX_ERROR_ARGUMENT);
  EXPECT_EQ(prx_line_count(nullptr), 0);
  EXPECT_EQ(prx_highest_id(nullptr), -1);
  EXPECT_EQ(prx_plot_count(nullptr), 0);
  EXPECT_STREQ(prx_game_name(nullptr).data, "");
  prx_close(nullptr);
  EXPECT_EQ(prx_version(), static_cast<uint32_t>(PRX_VERSION));
  EXPECT_EQ(prx_version() >> 16, static_cast<uint32_t>(PRX_VERSION_MAJOR));
  EXPECT_STREQ(prx_version_string(), "1.1.0");
  for (int code = 0; code <= 8; ++code) {
    EXPECT_NE(prx_status_message(static_cast<prx_status>(code)), nullptr);
  }
  EXPECT_STREQ(prx_status_message(PRX_ERROR_DAMAGED), "damaged or no dialogue file");
}

TEST(RuntimeThreads, EightThreadsGetTheSameLinesAsOne) {
  TempDir dir;
  CDlgFile doc;
  FillRandomDocument(doc, 6, 2000);
  const std::string path = SavedFile(doc, dir, "threads.dlg");
  prx_file* file = nullptr;
  ASSERT_EQ(prx_open(path.c_str(), &file, nullptr), PRX_OK);
  const int32_t highest = prx_highest_id(file);
  std::vector<std::string> expected(static_cast<size_t>(highest) + 1);
  for (int32_t id = 0; id <= highest; ++id) {
    prx_line line;
    if (prx_get_line(file, id, &line) == PRX_OK)
      expected[id] = View(line.speaker) + View(line.text);
  }
  std::vector<int> mismatches(8, 0);
  std::vector<std::thread> threads;
  for (int t = 0; t < 8; ++t) {
    threads.emplace_back([&, t] {
      for (int32_t k = 0; k <= highest * 4; ++k) {
        const int32_t id = (k * (2 * t + 1)) % (highest + 1);
        prx_line line;
        const bool found = prx_get_line(file, id, &line) == PRX_OK;
        if ((found ? View(line.speaker) + View(line.text) : "") != expected[id]) ++mismatches[t];
      }
    });
  }
  for (std::thread& thread : threads) thread.join();
  EXPECT_EQ(mismatches, std::vector<int>(8, 0));
  prx_close(file);
}

}  // namespace
