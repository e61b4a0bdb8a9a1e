// Memory for pugixml's tree of one parse.
//
// pugixml takes its node pages (32 KiB) from malloc, whose heap hands them back to the system
// when the document goes and faults them in again, 4 KiB at a time, for the next one: some
// 190 MB of faults for the tree of an XLIFF file of 100 000 lines, at some 14 us a fault on a
// virtual machine. While an XmlArena lives, the pugixml allocations of its thread come from one
// block of address space reserved for the parse, given memory in huge pages as it fills, handed
// out in order and released whole when the arena goes. A request past the block's size, or for
// which no memory can be had there, goes to malloc as before; so do all of them in a build with
// a sanitizer, which must see pugixml's memory to check it.
//
// Invariant: every document parsed under an arena is destroyed before the arena (declare the
// arena first); pugixml then frees nothing into it after it is gone.
#pragma once

#include <cstddef>

#include "platform/page_buffer.h"

namespace exchange {

class XmlArena {
 public:
  // `limit`: the most the tree may take (the reader's tree budget); address space only.
  explicit XmlArena(size_t limit);
  ~XmlArena();
  XmlArena(const XmlArena&) = delete;
  XmlArena& operator=(const XmlArena&) = delete;

  // pugixml's allocation functions (installed by the first arena).
  static void* Allocate(size_t size);
  static void Deallocate(void* block);

 private:
  void* Take(size_t size);
  bool Holds(const void* block) const;

  platform::PageBuffer pages_;
  size_t used_ = 0;
  size_t populated_ = 0;
  XmlArena* outer_ = nullptr;  // the arena this one stands in for on its thread, if any
};

}  // namespace exchange
