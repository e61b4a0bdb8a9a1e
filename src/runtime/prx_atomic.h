/* The few atomic operations the runtime's lazily filled tables need: a 32-bit load with acquire
 * order, a store with release order and a compare-and-swap. GCC and Clang (any language mode,
 * C99 included) through their atomic builtins, MSVC through its interlocked intrinsics, any other
 * C11 compiler through <stdatomic.h>. */
#ifndef PARLATRIX_PRX_ATOMIC_H
#define PARLATRIX_PRX_ATOMIC_H

#include <stdint.h>

#if defined(__GNUC__) || defined(__clang__)

typedef int32_t prx__atomic32;
static inline int32_t prx__load_acquire(const prx__atomic32* at) {
  return __atomic_load_n(at, __ATOMIC_ACQUIRE);
}
static inline void prx__store_release(prx__atomic32* at, int32_t value) {
  __atomic_store_n(at, value, __ATOMIC_RELEASE);
}
static inline int prx__compare_swap(prx__atomic32* at, int32_t expected, int32_t desired) {
  return __atomic_compare_exchange_n(at, &expected, desired, 0, __ATOMIC_ACQ_REL, __ATOMIC_ACQUIRE);
}

#elif defined(_MSC_VER)

#include <intrin.h>
typedef volatile long prx__atomic32;
static inline int32_t prx__load_acquire(const prx__atomic32* at) {
#if defined(_M_IX86) || defined(_M_X64)
  const long value = *at; /* x86 loads are acquire loads; the barrier keeps the compiler's order */
  _ReadWriteBarrier();
  return (int32_t)value;
#else
  return (int32_t)_InterlockedOr((volatile long*)at, 0);
#endif
}
static inline void prx__store_release(prx__atomic32* at, int32_t value) {
  _InterlockedExchange(at, (long)value);
}
static inline int prx__compare_swap(prx__atomic32* at, int32_t expected, int32_t desired) {
  return _InterlockedCompareExchange(at, (long)desired, (long)expected) == (long)expected;
}

#elif defined(__STDC_VERSION__) && __STDC_VERSION__ >= 201112L && !defined(__STDC_NO_ATOMICS__)

#include <stdatomic.h>
typedef _Atomic int32_t prx__atomic32;
static inline int32_t prx__load_acquire(const prx__atomic32* at) {
  return atomic_load_explicit((prx__atomic32*)at, memory_order_acquire);
}
static inline void prx__store_release(prx__atomic32* at, int32_t value) {
  atomic_store_explicit(at, value, memory_order_release);
}
static inline int prx__compare_swap(prx__atomic32* at, int32_t expected, int32_t desired) {
  return atomic_compare_exchange_strong_explicit(at, &expected, desired, memory_order_acq_rel,
                                                 memory_order_acquire);
}

#else
#error "parlatrix runtime: no atomic operations for this compiler (C11 <stdatomic.h> needed)"
#endif

#endif /* PARLATRIX_PRX_ATOMIC_H */
