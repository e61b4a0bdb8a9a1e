#include "exchange/xml_arena.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <pugixml.hpp>

namespace exchange {
namespace {

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
constexpr bool kSanitized = true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer) || \
    __has_feature(memory_sanitizer)
constexpr bool kSanitized = true;
#else
constexpr bool kSanitized = false;
#endif
#else
constexpr bool kSanitized = false;
#endif

// Memory is given to the block this much at a time (two huge pages), so that a small tree costs
// little and a large one few calls.
constexpr size_t kStep = size_t{4} << 20;
// What malloc guarantees, and what pugixml's pages and strings need.
constexpr size_t kAlign = alignof(std::max_align_t);

thread_local XmlArena* current = nullptr;

}  // namespace

XmlArena::XmlArena(size_t limit) {
  if (kSanitized) return;
  static const bool installed = [] {
    pugi::set_memory_management_functions(&XmlArena::Allocate, &XmlArena::Deallocate);
    return true;
  }();
  (void)installed;
  if (!pages_.Reserve(limit)) return;  // then malloc serves the parse
  platform::PreferHugePages(pages_.data(), pages_.size());
  outer_ = current;
  current = this;
}

XmlArena::~XmlArena() {
  if (current == this) current = outer_;
}

bool XmlArena::Holds(const void* block) const {
  const auto* p = static_cast<const uint8_t*>(block);
  return pages_.data() != nullptr && p >= pages_.data() && p < pages_.data() + pages_.size();
}

void* XmlArena::Take(size_t size) {
  const size_t rounded = (size + kAlign - 1) / kAlign * kAlign;
  if (rounded < size || rounded > pages_.size() - used_) return nullptr;
  if (used_ + rounded > populated_) {
    const size_t want = std::min(pages_.size(), std::max(used_ + rounded, populated_ + kStep));
    if (!pages_.Populate(populated_, want - populated_)) return nullptr;
    populated_ = want;
  }
  void* block = pages_.data() + used_;
  used_ += rounded;
  return block;
}

void* XmlArena::Allocate(size_t size) {
  if (current != nullptr) {
    if (void* block = current->Take(size)) return block;
  }
  return std::malloc(size);
}

void XmlArena::Deallocate(void* block) {
  // A block of a live arena is released with it; anything else came from malloc.
  for (const XmlArena* arena = current; arena != nullptr; arena = arena->outer_) {
    if (arena->Holds(block)) return;
  }
  std::free(block);
}

}  // namespace exchange
