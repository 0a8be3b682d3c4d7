#include "alloc_counter.h"

#include <cstddef>
#include <cstdlib>
#include <new>

namespace {

enum Form : unsigned { scalar_form = 0x5ca1a7u, array_form = 0xa77a1u, released = 0xdeadu };

// A 16-byte header keeps the user block aligned for any fundamental type on
// both i386 and x86-64.
struct alignas(16) Header {
  unsigned form;
};

bool counting = false;
long fail_at = 0;
alloc::Counts counts = {0, 0};
long live_blocks = 0;
long bad_releases = 0;

void *take(std::size_t n, Form form) {
  if (counting) {
    ++(form == array_form ? counts.arrays : counts.scalars);
    // From the chosen allocation on the store stays exhausted, as it would
    // be in a real shortage.
    if (fail_at > 0 && counts.arrays + counts.scalars >= fail_at) {
      throw std::bad_alloc();
    }
  }
  Header *h = static_cast<Header *>(std::malloc(sizeof(Header) + (n == 0 ? 1 : n)));
  if (h == nullptr) {
    throw std::bad_alloc();
  }
  h->form = form;
  ++live_blocks;
  return h + 1;
}

void give(void *p, Form form) {
  if (p == nullptr) {
    return;
  }
  Header *h = static_cast<Header *>(p) - 1;
  if (h->form != form) {
    ++bad_releases;
  }
  h->form = released;
  --live_blocks;
  std::free(h);
}

} // namespace

namespace alloc {

long live() { return live_blocks; }
long mismatched() { return bad_releases; }

void start(long n) {
  counts = Counts{0, 0};
  fail_at = n;
  counting = true;
}

Counts stop() {
  counting = false;
  fail_at = 0;
  return counts;
}

} // namespace alloc

void *operator new(std::size_t n) { return take(n, scalar_form); }
void *operator new[](std::size_t n) { return take(n, array_form); }
void *operator new(std::size_t n, const std::nothrow_t &) noexcept {
  try {
    return take(n, scalar_form);
  } catch (...) {
    return nullptr;
  }
}
void *operator new[](std::size_t n, const std::nothrow_t &) noexcept {
  try {
    return take(n, array_form);
  } catch (...) {
    return nullptr;
  }
}
void operator delete(void *p) noexcept { give(p, scalar_form); }
void operator delete[](void *p) noexcept { give(p, array_form); }
void operator delete(void *p, std::size_t) noexcept { give(p, scalar_form); }
void operator delete[](void *p, std::size_t) noexcept { give(p, array_form); }
void operator delete(void *p, const std::nothrow_t &) noexcept { give(p, scalar_form); }
void operator delete[](void *p, const std::nothrow_t &) noexcept { give(p, array_form); }
