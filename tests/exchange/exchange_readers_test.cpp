// The readers' shortcuts against what they stand in for: the UTF-8 check against glibc's iconv,
// and an import's reading of XLIFF and PO (notes and comments skipped, XLIFF lines counted by the
// reader itself) against a full read.
#include <gtest/gtest.h>
#include <iconv.h>

#include <string>
#include <vector>

#include "exchange/exchange_units.h"
#include "exchange/recoder.h"

namespace {

using exchange::ImportUnit;
using exchange::Keep;
using exchange::ParseFailure;

TEST(ExchangeReaders, Utf8CheckStopsWhereIconvStops) {
  iconv_t cd = iconv_open("UTF-32LE", "UTF-8");
  ASSERT_NE(cd, reinterpret_cast<iconv_t>(-1));
  // Every lead byte, each followed by the bytes where a range of well-formed sequences starts or
  // ends; alone, cut short, and after ASCII or Hangul (the check's two fast paths).
  const std::vector<int> edges = {0x00, 0x41, 0x7F, 0x80, 0x8F, 0x90, 0x9F, 0xA0, 0xBF, 0xC0, 0xFF};
  std::vector<char> out(64);
  for (int lead = 0; lead < 256; ++lead) {
    for (int b : edges) {
      for (int c : edges) {
        for (int d : edges) {
          const std::string s = {static_cast<char>(lead), static_cast<char>(b),
                                 static_cast<char>(c), static_cast<char>(d)};
          for (const std::string& text : {s.substr(0, 1), s.substr(0, 3), "abcdefghij" + s,
                                          "\xEA\xB0\x80 " + s + "0123456789"}) {
            iconv(cd, nullptr, nullptr, nullptr, nullptr);
            char* in = const_cast<char*>(text.data());
            size_t inLeft = text.size();
            char* outPtr = out.data();
            size_t outLeft = out.size();
            iconv(cd, &in, &inLeft, &outPtr, &outLeft);
            ASSERT_EQ(exchange::ValidUtf8Prefix(text), text.size() - inLeft)
                << testing::PrintToString(text);
          }
        }
      }
    }
  }
  iconv_close(cd);
}

// What an import reads equals a full read but for the context, for accepted and refused files.
void ExpectImportReadsTheSame(const std::string& file, bool po, size_t entries) {
  const auto read = [&](std::vector<ImportUnit>& units, ParseFailure& failure, Keep keep) {
    return po ? exchange::ReadPo(file, units, failure, nullptr, keep)
              : exchange::ReadXliff(file, units, failure, nullptr, keep);
  };
  std::vector<ImportUnit> all, texts;
  ParseFailure full, skipping;
  const bool accepted = read(all, full, Keep::kEverything);
  EXPECT_EQ(read(texts, skipping, Keep::kTexts), accepted) << file;
  EXPECT_EQ(accepted ? all.size() : 0, entries) << full.message;
  EXPECT_EQ(skipping.message, full.message);
  EXPECT_EQ(skipping.line, full.line);
  EXPECT_EQ(skipping.column, full.column);
  ASSERT_EQ(texts.size(), all.size());
  for (size_t k = 0; k < all.size(); ++k) {
    EXPECT_FALSE(all[k].notes.empty() && all[k].comments.empty()) << "context " << k;
    EXPECT_EQ(texts[k].id, all[k].id);
    EXPECT_EQ(texts[k].source, all[k].source);
    EXPECT_EQ(texts[k].target, all[k].target);
    EXPECT_EQ(texts[k].fuzzy, all[k].fuzzy);
    EXPECT_EQ(texts[k].line, all[k].line);
    EXPECT_TRUE(texts[k].notes.empty() && texts[k].comments.empty());
  }
}

TEST(ExchangeReaders, ImportReadsWhatAFullReadReadsWithoutTheContext) {
  // Lines end in LF, CR LF and a lone CR, each one line as expat counts them.
  const std::string xliff =
      "<?xml version=\"1.0\"?>\r\n<xliff version=\"1.2\">\r<file><body>\n"
      "<trans-unit id=\"7\"><source>a&amp;b</source><target>c<x id=\"1\" "
      "ctype=\"x-char-0001\"/></target>\r\n<note>&lt;Ann&gt;<x id=\"2\" ctype=\"x-char-001F\"/>"
      "</note><note from=\"previous-source\">was</note></trans-unit>\r"
      "<trans-unit resname=\"8\" id=\"x\"><source>d\r\ne</source>\n<note>n</note>"
      "<target state=\"needs-translation\">f</target></trans-unit>\n</body></file></xliff>\n";
  ExpectImportReadsTheSame(xliff, false, 2);
  std::vector<ImportUnit> units;
  ParseFailure failure;
  ASSERT_TRUE(exchange::ReadXliff(xliff, units, failure, nullptr, Keep::kTexts));
  EXPECT_EQ(units[0].line, 4);
  EXPECT_EQ(units[1].line, 6);
  EXPECT_EQ(units[1].source, "d\ne");
  ExpectImportReadsTheSame(
      "<xliff>\r<file>\r\n<body>\n<trans-unit id=\"1\"><source>s</source>"
      "<note>a<ph id=\"1\">b</ph></note></trans-unit></body></file></xliff>",
      false, 0);

  const std::string po =
      "# translator\n#. speaker: Ann\n#: d.dlg:7\n#, fuzzy, c-format\n#| msgid \"was\"\n"
      "msgctxt \"7\"\nmsgid \"a\\tb\"\nmsgstr \"\"\n\"c\\n\"\n\"d\"\n\n"
      "#. context\r\n#: d.dlg:8\r\nmsgid \"e\"\r\nmsgstr \"f\"\r\n\n#~ msgid \"old\"\n";
  ExpectImportReadsTheSame(po, true, 2);
  ExpectImportReadsTheSame("#. note\n#| msgid \"\\q\"\nmsgctxt \"1\"\nmsgid \"a\"\nmsgstr \"\"\n",
                           true, 0);
}

}  // namespace
