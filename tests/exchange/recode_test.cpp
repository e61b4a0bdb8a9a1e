// dlgtool recode: legacy code pages to UTF-8 and back without changing a byte, and nothing written
// when a text does not convert.
#include <gtest/gtest.h>

#include "exchange/recoder.h"
#include "model/dlg_file.h"
#include "peer_run.h"
#include "support/temp_dir.h"

namespace {

std::string Cp949(const std::string& utf8) {
  exchange::Recoder recoder("CP949");
  std::string out;
  EXPECT_TRUE(recoder.FromUtf8(utf8, out));
  return out;
}

void SaveKorean(const std::string& path, const std::string& text) {
  CDlgFile doc;
  doc.SetGameName(Cp949("별빛 여관").c_str());
  PlotPos plot = doc.AddPlot(Cp949("1장 첫 만남").c_str(), -1, -1);
  CDlgItem line;
  line.SetID(12);
  line.SetSpeaker(Cp949("민준").c_str());
  line.SetExpression(Cp949("기본").c_str());
  line.SetSound("m0012.wav");
  line.SetText(text.c_str());
  ASSERT_NE(doc.AddItem(line, plot, nullptr), nullptr);
  ASSERT_EQ(doc.Save(path.c_str()), 1);
}

TEST(DlgtoolRecode, Cp949ToUtf8AndBackIsByteIdenticalAndBadInputWritesNothing) {
  TempDir dir;
  SaveKorean(dir.File("ko.dlg"), Cp949("어서 오세요.\r\n방이 있나요?"));
  const std::string original = ReadFileBytes(dir.File("ko.dlg"));
  const auto run = [&dir](const std::string& args) {
    return exchangetest::RunIn(dir.path(), exchangetest::Dlgtool() + " recode " + args);
  };
  exchangetest::PeerRun result = run("ko.dlg --from CP949 --to UTF-8 -o utf8.dlg");
  ASSERT_EQ(result.status, 0) << result.err;
  CDlgFile doc;
  ASSERT_EQ(doc.Load(dir.File("utf8.dlg").c_str()), 1);
  EXPECT_STREQ(doc.GetGameName().c_str(), "별빛 여관");
  PlotPos plot = doc.GetFirstPlot();
  ASSERT_NE(plot, nullptr);
  EXPECT_STREQ(doc.GetNextPlot(plot).name.c_str(), "1장 첫 만남");
  const CDlgItem& line = doc.GetItem(doc.FindItem(12));
  EXPECT_STREQ(line.text.c_str(), "어서 오세요.\r\n방이 있나요?");
  EXPECT_STREQ(line.speaker.c_str(), "민준");
  EXPECT_STREQ(line.expression.c_str(), "기본");
  result = run("utf8.dlg --from UTF-8 --to CP949");
  ASSERT_EQ(result.status, 0) << result.err;
  EXPECT_EQ(ReadFileBytes(dir.File("utf8.dlg")), original);

  // 0x80 is no lead byte in CP949: the line is named and neither file is touched.
  SaveKorean(dir.File("bad.dlg"), Cp949("좋아요") + "\x80");
  const std::string bad = ReadFileBytes(dir.File("bad.dlg"));
  result = run("bad.dlg --from CP949 --to UTF-8");
  EXPECT_EQ(result.status, 2);
  EXPECT_NE(result.err.find("ID 12: text is not valid CP949 text; nothing written"),
            std::string::npos)
      << result.err;
  EXPECT_EQ(ReadFileBytes(dir.File("bad.dlg")), bad);
  result = run("bad.dlg --from CP949 --to UTF-8 -o none.dlg");
  EXPECT_EQ(result.status, 2);
  EXPECT_EQ(exchangetest::RunIn(dir.path(), "test -e none.dlg").status, 1);
  // A game name that outgrows its 31-byte field in UTF-8 (10 Hangul: 20 bytes, then 30 + ...).
  CDlgFile wide;
  ASSERT_EQ(wide.Load(dir.File("ko.dlg").c_str()), 1);
  wide.SetGameName(Cp949("별빛 여관 별빛 여관 별빛").c_str());
  ASSERT_EQ(wide.Save(dir.File("wide.dlg").c_str()), 1);
  result = run("wide.dlg --from CP949 --to UTF-8 -o w.dlg");
  EXPECT_EQ(result.status, 2);
  EXPECT_NE(result.err.find("the game name takes 34 bytes after recoding"), std::string::npos)
      << result.err;
}

}  // namespace
