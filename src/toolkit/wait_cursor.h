// The platform's wait cursor for the lifetime of the object.
#pragma once

namespace toolkit {

class WaitCursor {
 public:
  WaitCursor();
  ~WaitCursor();
  WaitCursor(const WaitCursor&) = delete;
  WaitCursor& operator=(const WaitCursor&) = delete;
};

}  // namespace toolkit
