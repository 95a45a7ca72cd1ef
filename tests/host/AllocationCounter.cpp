#include "AllocationCounter.h"

#include <algorithm>
#include <cstdlib>
#include <new>

namespace {

// Per thread, so that allocations of other threads (a host's UI thread, the
// test framework) never reach a count taken around an audio call.
thread_local bool counting = false;
thread_local long allocations = 0;

#ifndef KELO_SANITIZED
void* allocate(std::size_t size) {
  if (counting) ++allocations;
  return std::malloc(size == 0 ? 1 : size);
}

void* allocateAligned(std::size_t size, std::align_val_t alignment) {
  if (counting) ++allocations;
  const auto align = std::max(static_cast<std::size_t>(alignment), sizeof(void*));
  void* memory = nullptr;
  if (posix_memalign(&memory, align, size == 0 ? 1 : size) != 0) return nullptr;
  return memory;
}
#endif

}  // namespace

namespace kelo::testhost {

AllocationCounter::AllocationCounter() {
  allocations = 0;
  counting = true;
}

AllocationCounter::~AllocationCounter() {
  counting = false;
}

long AllocationCounter::count() const {
  return allocations;
}

void AllocationCounter::reset() {
  allocations = 0;
}

}  // namespace kelo::testhost

#ifdef KELO_SANITIZED

// A sanitizer's runtime owns operator new and malloc; it reports every
// allocation, the module's included, to a hook instead.
#include <sanitizer/allocator_interface.h>

namespace {

void onAllocation(const volatile void*, std::size_t) {
  if (counting) ++allocations;
}

void onRelease(const volatile void*) {}

const int hooksInstalled = __sanitizer_install_malloc_and_free_hooks(onAllocation, onRelease);

}  // namespace

#else

// The replacements must stay visible to the loaded module, whatever the
// project's default symbol visibility.
#define KELO_REPLACEMENT __attribute__((visibility("default")))

KELO_REPLACEMENT void* operator new(std::size_t size) {
  if (void* memory = allocate(size)) return memory;
  throw std::bad_alloc();
}

KELO_REPLACEMENT void* operator new[](std::size_t size) {
  if (void* memory = allocate(size)) return memory;
  throw std::bad_alloc();
}

KELO_REPLACEMENT void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
  return allocate(size);
}

KELO_REPLACEMENT void* operator new[](std::size_t size, const std::nothrow_t&) noexcept {
  return allocate(size);
}

KELO_REPLACEMENT void* operator new(std::size_t size, std::align_val_t alignment) {
  if (void* memory = allocateAligned(size, alignment)) return memory;
  throw std::bad_alloc();
}

KELO_REPLACEMENT void* operator new[](std::size_t size, std::align_val_t alignment) {
  if (void* memory = allocateAligned(size, alignment)) return memory;
  throw std::bad_alloc();
}

KELO_REPLACEMENT void* operator new(std::size_t size, std::align_val_t alignment, const std::nothrow_t&) noexcept {
  return allocateAligned(size, alignment);
}

KELO_REPLACEMENT void* operator new[](std::size_t size, std::align_val_t alignment, const std::nothrow_t&) noexcept {
  return allocateAligned(size, alignment);
}

KELO_REPLACEMENT void operator delete(void* memory) noexcept {
  std::free(memory);
}
KELO_REPLACEMENT void operator delete[](void* memory) noexcept {
  std::free(memory);
}
KELO_REPLACEMENT void operator delete(void* memory, std::size_t) noexcept {
  std::free(memory);
}
KELO_REPLACEMENT void operator delete[](void* memory, std::size_t) noexcept {
  std::free(memory);
}
KELO_REPLACEMENT void operator delete(void* memory, const std::nothrow_t&) noexcept {
  std::free(memory);
}
KELO_REPLACEMENT void operator delete[](void* memory, const std::nothrow_t&) noexcept {
  std::free(memory);
}
KELO_REPLACEMENT void operator delete(void* memory, std::align_val_t) noexcept {
  std::free(memory);
}
KELO_REPLACEMENT void operator delete[](void* memory, std::align_val_t) noexcept {
  std::free(memory);
}
KELO_REPLACEMENT void operator delete(void* memory, std::size_t, std::align_val_t) noexcept {
  std::free(memory);
}
KELO_REPLACEMENT void operator delete[](void* memory, std::size_t, std::align_val_t) noexcept {
  std::free(memory);
}
KELO_REPLACEMENT void operator delete(void* memory, std::align_val_t, const std::nothrow_t&) noexcept {
  std::free(memory);
}
KELO_REPLACEMENT void operator delete[](void* memory, std::align_val_t, const std::nothrow_t&) noexcept {
  std::free(memory);
}

#endif
