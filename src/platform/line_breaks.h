// CR LF rules. Texts in the document and the text files the program exchanges break lines with
// CR LF (13 10), as a Windows text-mode stream writes them; Linux has no text mode, so these
// helpers do its work:
//  - text-mode reading: a CR LF pair arrives as one LF; every other byte, a lone CR included,
//    arrives unchanged (CR CR LF arrives as CR LF);
//  - text-mode writing and the widgets' way back: every LF becomes CR LF;
//  - replacing CR LF: every CR LF pair, scanning from the start, becomes another break (LF for a
//    widget, TAB or nothing for a one-line form).
#pragma once

#include <cstddef>
#include <cstdio>
#include <cstring>
#include <string>
#include <string_view>

namespace platform {

// Completes a text-mode read of `c`, the byte just taken from `file`: a CR followed by LF takes
// the LF too and gives LF. A CR followed by anything else leaves that byte in the stream.
inline int CompleteTextModeChar(std::FILE* file, int c) {
  if (c != '\r') return c;
  const int next = std::getc(file);
  if (next == '\n') return '\n';
  if (next != EOF) std::ungetc(next, file);
  return c;
}

// Reads one byte as text mode delivers it; EOF at the end.
inline int GetTextModeChar(std::FILE* file) { return CompleteTextModeChar(file, std::getc(file)); }

// Hands `bytes` to write(data, size) in runs, with `lineBreak` in place of every CR LF pair.
template <typename Write>
void ReplaceCrLf(std::string_view bytes, std::string_view lineBreak, Write&& write) {
  // Every LF right after a CR ends a pair: pairs cannot overlap, so a scan from the start pairs
  // exactly those. Looking for LFs alone lets memchr skip the bytes between them.
  size_t runStart = 0;
  for (size_t from = 0; from < bytes.size();) {
    const void* found = std::memchr(bytes.data() + from, '\n', bytes.size() - from);
    if (found == nullptr) break;
    const size_t lf = static_cast<size_t>(static_cast<const char*>(found) - bytes.data());
    if (lf > runStart && bytes[lf - 1] == '\r') {
      write(bytes.data() + runStart, lf - 1 - runStart);
      if (!lineBreak.empty()) write(lineBreak.data(), lineBreak.size());
      runStart = lf + 1;
    }
    from = lf + 1;
  }
  write(bytes.data() + runStart, bytes.size() - runStart);
}

inline std::string ReplaceCrLf(std::string_view bytes, std::string_view lineBreak) {
  std::string out;
  out.reserve(bytes.size());
  ReplaceCrLf(bytes, lineBreak, [&out](const char* data, size_t size) { out.append(data, size); });
  return out;
}

// Hands each byte of `bytes` to put(byte), with CR before every LF.
template <typename Put>
void ExpandLfToCrLf(std::string_view bytes, Put&& put) {
  for (char c : bytes) {
    if (c == '\n') put('\r');
    put(c);
  }
}

inline std::string LfToCrLf(std::string_view bytes) {
  std::string out;
  out.reserve(bytes.size() + bytes.size() / 16);
  ExpandLfToCrLf(bytes, [&out](char c) { out += c; });
  return out;
}

}  // namespace platform
