// The readers' shortcuts against what they stand in for: the UTF-8 check against glibc's iconv,
// the XLIFF reader's own line count against expat's, and an import's reading of XLIFF and PO,
// which skips notes and comments, against a full read.
#include <gtest/gtest.h>
#include <iconv.h>

#include <string>
#include <vector>

#include "exchange/exchange_units.h"
#include "exchange/recoder.h"

namespace {

// How many bytes of `text` glibc converts from UTF-8 before it stops at a byte sequence it
// rejects (or at a sequence cut off by the end).
size_t IconvValidPrefix(iconv_t cd, const std::string& text) {
  iconv(cd, nullptr, nullptr, nullptr, nullptr);
  char* in = const_cast<char*>(text.data());
  size_t inLeft = text.size();
  std::vector<char> out(text.size() * 4 + 16);
  char* outPtr = out.data();
  size_t outLeft = out.size();
  iconv(cd, &in, &inLeft, &outPtr, &outLeft);
  return text.size() - inLeft;
}

TEST(ExchangeReaders, Utf8CheckStopsWhereIconvStops) {
  iconv_t cd = iconv_open("UTF-32LE", "UTF-8");
  ASSERT_NE(cd, reinterpret_cast<iconv_t>(-1));
  // Every byte value where a range of the well-formed table starts or ends, and its neighbours.
  const std::vector<int> edges = {0x00, 0x41, 0x7F, 0x80, 0x8F, 0x90, 0x9F,
                                  0xA0, 0xBF, 0xC0, 0xC1, 0xC2, 0xFF};
  std::vector<std::string> sequences;
  for (int a = 0; a < 256; ++a) {
    for (int b = 0; b < 256; ++b) sequences.push_back({static_cast<char>(a), static_cast<char>(b)});
  }
  for (int lead = 0xE0; lead <= 0xEF; ++lead) {
    for (int b : edges) {
      for (int c : edges) {
        sequences.push_back({static_cast<char>(lead), static_cast<char>(b), static_cast<char>(c)});
      }
    }
  }
  for (int lead = 0xF0; lead <= 0xF8; ++lead) {
    for (int b : edges) {
      for (int c : edges) {
        for (int d : edges) {
          sequences.push_back({static_cast<char>(lead), static_cast<char>(b), static_cast<char>(c),
                               static_cast<char>(d)});
        }
      }
    }
  }
  int checked = 0;
  for (const std::string& sequence : sequences) {
    // Alone, after ASCII and Hangul (which take the checker's two fast paths), cut short, and
    // followed by more text.
    for (const std::string& text :
         {sequence, "abcdefghij" + sequence + "z", "\xEA\xB0\x80\xEA\xB0\x80 " + sequence,
          sequence.substr(0, sequence.size() - 1), sequence + "\xEA\xB0\x80" + "0123456789"}) {
      ASSERT_EQ(exchange::ValidUtf8Prefix(text), IconvValidPrefix(cd, text))
          << testing::PrintToString(text);
      ++checked;
    }
  }
  iconv_close(cd);
  EXPECT_GT(checked, 400000);
}

TEST(ExchangeReaders, XliffImportReadsWhatAFullReadReadsWithoutTheNotes) {
  // Lines end in LF, CR LF and a lone CR, as expat counts them; the notes hold entities, a
  // placeholder and text an import has no use for.
  const std::string file =
      "<?xml version=\"1.0\"?>\r\n<xliff version=\"1.2\">\r<file><body>\n"
      "<trans-unit id=\"7\"><source>a&amp;b</source><target>c<x id=\"1\" "
      "ctype=\"x-char-0001\"/></target>\r\n"
      "<note from=\"developer\">speaker: &lt;Ann&gt;<x id=\"2\" ctype=\"x-char-001F\"/></note>"
      "<note from=\"previous-source\">was</note><note>tr</note></trans-unit>\r"
      "<trans-unit resname=\"8\" id=\"x\"><source>d\r\ne</source>\n"
      "<target state=\"needs-translation\">f</target></trans-unit>\n"
      "</body></file></xliff>\n";
  std::vector<exchange::ImportUnit> all;
  std::vector<exchange::ImportUnit> texts;
  exchange::ParseFailure failure;
  ASSERT_TRUE(exchange::ReadXliff(file, all, failure)) << failure.message;
  ASSERT_TRUE(exchange::ReadXliff(file, texts, failure, nullptr, exchange::Keep::kTexts))
      << failure.message;
  ASSERT_EQ(all.size(), 2u);
  ASSERT_EQ(texts.size(), 2u);
  EXPECT_EQ(all[0].notes, "speaker: <Ann>\x1F");
  EXPECT_EQ(all[0].previous, "was");
  EXPECT_EQ(all[0].comments, "tr");
  for (size_t k = 0; k < 2; ++k) {
    EXPECT_EQ(texts[k].id, all[k].id);
    EXPECT_EQ(texts[k].source, all[k].source);
    EXPECT_EQ(texts[k].target, all[k].target);
    EXPECT_EQ(texts[k].fuzzy, all[k].fuzzy);
    EXPECT_EQ(texts[k].line, all[k].line);
    EXPECT_TRUE(texts[k].notes.empty() && texts[k].comments.empty() && !texts[k].hasPrevious);
  }
  EXPECT_EQ(all[0].target, "c\x01");
  EXPECT_EQ(all[1].source, "d\ne");  // a literal CR LF in XML is one LF
  EXPECT_TRUE(all[1].fuzzy);
  EXPECT_EQ(all[0].line, 4);
  EXPECT_EQ(all[1].line, 6);

  // What a full read refuses inside a note, an import refuses as well, at the same place.
  const std::string refused =
      "<xliff>\r<file>\r\n<body>\n<trans-unit id=\"1\"><source>s</source>"
      "<note>a<ph id=\"1\">b</ph></note></trans-unit></body></file></xliff>";
  exchange::ParseFailure full;
  exchange::ParseFailure skipping;
  EXPECT_FALSE(exchange::ReadXliff(refused, all, full));
  EXPECT_FALSE(exchange::ReadXliff(refused, texts, skipping, nullptr, exchange::Keep::kTexts));
  EXPECT_EQ(full.message, "an inline <ph> this program cannot turn back into text");
  EXPECT_EQ(skipping.message, full.message);
  EXPECT_EQ(skipping.line, 4);
  EXPECT_EQ(skipping.column, full.column);
}

TEST(ExchangeReaders, PoImportReadsWhatAFullReadReadsWithoutTheComments) {
  const std::string file =
      "msgid \"\"\nmsgstr \"Content-Type: text/plain; charset=UTF-8\\n\"\n\n"
      "# translator\n#. speaker: Ann\n#. plot: 1\n#: d.dlg:7\n#, fuzzy, c-format\n"
      "#| msgid \"was\"\nmsgctxt \"7\"\nmsgid \"a\\tb\"\nmsgstr \"\"\n\"c\\n\"\n\"d\"\n\n"
      "#. context\r\n#: d.dlg:8\r\nmsgid \"e\"\r\nmsgstr \"f\"\r\n\n"
      "#~ msgctxt \"9\"\n#~ msgid \"old\"\n#~ msgstr \"alt\"\n";
  std::vector<exchange::ImportUnit> all;
  std::vector<exchange::ImportUnit> texts;
  exchange::ParseFailure failure;
  ASSERT_TRUE(exchange::ReadPo(file, all, failure)) << failure.message;
  ASSERT_TRUE(exchange::ReadPo(file, texts, failure, nullptr, exchange::Keep::kTexts))
      << failure.message;
  ASSERT_EQ(all.size(), 2u);
  ASSERT_EQ(texts.size(), 2u);
  EXPECT_EQ(all[0].notes, "speaker: Ann\nplot: 1");
  EXPECT_EQ(all[0].comments, "translator");
  EXPECT_EQ(all[0].previous, "was");
  for (size_t k = 0; k < 2; ++k) {
    EXPECT_EQ(texts[k].id, all[k].id);
    EXPECT_EQ(texts[k].source, all[k].source);
    EXPECT_EQ(texts[k].target, all[k].target);
    EXPECT_EQ(texts[k].fuzzy, all[k].fuzzy);
    EXPECT_EQ(texts[k].line, all[k].line);
    EXPECT_TRUE(texts[k].notes.empty() && texts[k].comments.empty());
  }
  EXPECT_EQ(all[0].target, "c\nd");
  EXPECT_EQ(all[1].id, 8);  // from the reference
  EXPECT_EQ(all[1].line, 16);  // where its first comment is

  // A malformed previous string is refused whether or not the comments are kept.
  exchange::ParseFailure full;
  exchange::ParseFailure skipping;
  const std::string refused =
      "#. note\n#| msgid \"\\q\"\nmsgctxt \"1\"\nmsgid \"a\"\nmsgstr \"b\"\n";
  EXPECT_FALSE(exchange::ReadPo(refused, all, full));
  EXPECT_FALSE(exchange::ReadPo(refused, texts, skipping, nullptr, exchange::Keep::kTexts));
  EXPECT_EQ(full.message, "unknown escape sequence");
  EXPECT_EQ(skipping.message, full.message);
  EXPECT_EQ(skipping.line, 2);
  EXPECT_EQ(skipping.column, full.column);
}

}  // namespace
