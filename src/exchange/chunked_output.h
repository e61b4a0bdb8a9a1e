// The output of the PO, XLIFF and CSV writers, handed on a piece at a time.
//
// Written to a file, a writer's bytes go to the sink whenever an entry begins with more than
// kChunkBytes gathered, and the buffer is reused: a file of 100 000 lines passes through 1 MiB of
// memory touched once, where the whole file in one string cost a page fault per 4 KiB (a third of
// the export's time on a virtual machine) and its size again in the export's peak. Without a sink
// the whole output gathers in the buffer (the writers' string forms, for callers that want the
// bytes).
#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>

namespace exchange {

// Takes the next bytes of a file; false when they could not be written (the writer then stops
// and returns false).
using ChunkSink = std::function<bool(std::string_view bytes)>;

class ChunkedOutput {
 public:
  static constexpr size_t kChunkBytes = size_t{1} << 20;

  // `wholeSize`: what the whole output is expected to take, reserved when there is no sink.
  ChunkedOutput(const ChunkSink* sink, size_t wholeSize) : sink_(sink) {
    text.reserve(sink_ != nullptr ? kChunkBytes + kChunkBytes / 4 : wholeSize);
  }

  // Called as an entry begins: hands the gathered bytes on once they pass kChunkBytes.
  [[nodiscard]] bool EntryBegins() {
    return sink_ == nullptr || text.size() < kChunkBytes || Flush();
  }

  // Hands on what is left; the output is then complete.
  [[nodiscard]] bool Finish() { return sink_ == nullptr || text.empty() || Flush(); }

  std::string text;  // the bytes not yet handed on

 private:
  bool Flush() {
    const bool ok = (*sink_)(text);
    text.clear();
    return ok;
  }

  const ChunkSink* sink_;
};

}  // namespace exchange
