// A replaced global operator new / new[] for tests that count or break the
// free store. The replacement is linked into the test program; on Linux the
// shared library's own calls bind to it as well, so every allocation the
// library makes passes through here.
//
// Each block carries a small header naming the form that made it, so that a
// block released with the wrong form (delete for new[] or the reverse) is
// caught and counted rather than going unnoticed.
#ifndef TOVRA_TESTS_ALLOC_COUNTER_H
#define TOVRA_TESTS_ALLOC_COUNTER_H

namespace alloc {

struct Counts {
  long arrays;  // new[] calls since the last reset
  long scalars; // plain new calls since the last reset
};

// Blocks allocated and not yet released, over the whole program.
long live();
// Releases whose form did not match the allocation, over the whole program.
long mismatched();

// Starts counting from zero. When fail_at > 0, the fail_at-th allocation from
// now (of either form) and every later one throw std::bad_alloc, until
// stop().
void start(long fail_at = 0);
Counts stop();

// Makes an object's storage escape, so that the compiler may not drop a
// new[] and delete[] pair that nothing else observes (C++14 lets it).
template <class T> inline void keep(const T &x) { __asm__ __volatile__("" : : "g"(&x) : "memory"); }

} // namespace alloc

#endif
