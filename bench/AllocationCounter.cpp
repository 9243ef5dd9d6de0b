// The benchmark exe's own global operator new and delete: they count every
// allocation so a section can show how many a measured path makes.
#include <cstdlib>
#include <new>

#include "bench/Sections.h"

namespace lumek::bench {
std::atomic<uint64_t> Allocations{0};
}

namespace {
void* CountedAllocation(std::size_t size) {
  lumek::bench::Allocations.fetch_add(1, std::memory_order_relaxed);
  return std::malloc(size ? size : 1);
}
}  // namespace

void* operator new(std::size_t size) {
  if (void* memory = CountedAllocation(size)) return memory;
  throw std::bad_alloc();
}
void* operator new[](std::size_t size) {
  if (void* memory = CountedAllocation(size)) return memory;
  throw std::bad_alloc();
}
void* operator new(std::size_t size, const std::nothrow_t&) noexcept { return CountedAllocation(size); }
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept { return CountedAllocation(size); }
void operator delete(void* memory) noexcept { std::free(memory); }
void operator delete[](void* memory) noexcept { std::free(memory); }
void operator delete(void* memory, std::size_t) noexcept { std::free(memory); }
void operator delete[](void* memory, std::size_t) noexcept { std::free(memory); }
void operator delete(void* memory, const std::nothrow_t&) noexcept { std::free(memory); }
void operator delete[](void* memory, const std::nothrow_t&) noexcept { std::free(memory); }
