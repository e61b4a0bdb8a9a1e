// Word and character counts of texts, by the rule translation and voice budgets use
// (docs/stats.md states it with examples):
//  - a word is a maximal run of letters, marks, digits and connector punctuation; one apostrophe
//    (' or U+2019) or hyphen (- U+2010 U+2011) between two such characters joins them, so "don't"
//    and "well-known" are one word each, "a--b" two;
//  - every Han ideograph, Hiragana and Katakana character is a word of its own (Chinese and
//    Japanese have no spaces between words); Hangul runs count like Latin words;
//  - characters are code points other than white space and control characters (CR, LF, TAB);
//    characters with spaces also count white space, still not control characters.
// The classes come from a table generated from the Unicode database (word_classes.inc).
#pragma once

#include <cstdint>
#include <string_view>

namespace exchange {

enum class CharClass : uint8_t {
  kOther = 0,        // punctuation, symbols: separate words, count as characters
  kWord = 1,         // letters, marks, numbers, connector punctuation
  kIdeographic = 2,  // Han, Hiragana, Katakana: one word each
  kSpace = 3,        // white space other than control characters
  kControl = 4,      // Cc: CR, LF, TAB and the other C0 and C1 controls
};

[[nodiscard]] CharClass ClassOf(char32_t codePoint);

struct TextCounts {
  long long words = 0;        // ideographic characters included
  long long ideographic = 0;  // the words that are single Han, Hiragana or Katakana characters
  long long characters = 0;
  long long charactersWithSpaces = 0;

  TextCounts& operator+=(const TextCounts& other) {
    words += other.words;
    ideographic += other.ideographic;
    characters += other.characters;
    charactersWithSpaces += other.charactersWithSpaces;
    return *this;
  }
};

// Adds the counts of one UTF-8 text. A byte that starts no valid sequence counts as one character
// of class kOther (as U+FFFD would), so a damaged text is still counted, never skipped.
void CountUtf8(std::string_view utf8, TextCounts& counts);

// How long a text is for a length limit: Unicode code points of the whole text (every character,
// white space and line breaks included), bytes in the document's code page, or UTF-16 code units
// (the text boxes of many engines count those; a character beyond U+FFFF takes two).
enum class LengthUnit { kCharacters, kBytes, kUtf16 };

// `utf8` is the text in UTF-8, `codePageBytes` its length in the document's code page.
[[nodiscard]] long long TextLength(std::string_view utf8, size_t codePageBytes, LengthUnit unit);

}  // namespace exchange
