// A seam for the editor's out-of-memory paths, in the test binary parlatrix_ui_oom_tests only:
// failing_new.cpp replaces the global operator new of that binary. Disarmed it allocates as the
// library's does; armed, the nth call to operator new from then on fails once, as memory running
// out would: the throwing forms throw std::bad_alloc, the nothrow forms return nullptr. Every
// allocation of C++ code in the process counts, the product's and the library's alike (Qt's
// containers allocate with malloc and do not count).
#pragma once

namespace oomtest {

// The nth call to operator new from now fails (1 = the next one); n <= 0 disarms.
void ArmFailingNew(long n);
// Disarms; returns how many calls were counted since arming.
long DisarmFailingNew();

}  // namespace oomtest
