// Conversion of Parlatrix.ini between its plain and scrambled forms (docs/config-format.md).
//
// Scrambling turns the content that the plain reader sees into the scrambled form that reads the
// same: CR LF pairs become LF (the scrambled form is read in binary, where a CR would stay in
// every value), then the marker 0x80 is written and every content byte XOR the key. Unscrambling
// gives back the content, up to a stored 0xFF, with LF line ends.
#pragma once

#include <string>

// False, with a reason in `error`, when the plain text cannot be scrambled faithfully: it starts
// with 0x80 (the reader already takes it as scrambled), or holds a NUL byte (it would be stored
// as 0xFF, the end of the file), or holds 0xFF (the plain reader stops there).
[[nodiscard]] bool ScrambleIniText(const std::string& plain, std::string& scrambled,
                                   std::string& error);

// False, with a reason in `error`, when the text does not start with the marker 0x80.
[[nodiscard]] bool UnscrambleIniText(const std::string& scrambled, std::string& plain,
                                     std::string& error);
