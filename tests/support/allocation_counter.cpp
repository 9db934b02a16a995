#include "support/allocation_counter.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <dlfcn.h>
#endif

#include <atomic>
#include <cstdlib>
#include <new>

namespace testalloc {
namespace {

std::atomic<bool> g_counting{false};
std::atomic<long> g_allocations{0};

}  // namespace

void StartCounting() {
  g_allocations = 0;
  g_counting = true;
}

void StopCounting() { g_counting = false; }

long Counted() { return g_allocations.load(); }

}  // namespace testalloc

#ifdef BRIMMEL_COUNT_ALLOCATIONS
namespace {

// True when the caller lives in this executable: this file is linked in statically, so its own
// address names the executable's image.
#ifdef _WIN32
bool CalledFromHere(const void* caller) {
  HMODULE module = nullptr;
  return GetModuleHandleExW(
             GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
             static_cast<LPCWSTR>(caller), &module) &&
         module == GetModuleHandleW(nullptr);
}
#else
bool CalledFromHere(const void* caller) {
  static const void* const self = [] {
    Dl_info info{};
    dladdr(reinterpret_cast<const void*>(&CalledFromHere), &info);
    return info.dli_fbase;
  }();
  Dl_info info{};
  return dladdr(caller, &info) != 0 && info.dli_fbase == self;
}
#endif

// Through a pointer the compiler cannot see past, so it does not pair this free with new.
void (*volatile g_release)(void*) = std::free;

}  // namespace

void* operator new(std::size_t size) {
  if (testalloc::g_counting.load(std::memory_order_relaxed) && CalledFromHere(__builtin_return_address(0)))
    testalloc::g_allocations.fetch_add(1, std::memory_order_relaxed);
  if (void* p = std::malloc(size ? size : 1)) return p;
  throw std::bad_alloc();
}
void operator delete(void* p) noexcept { g_release(p); }
void operator delete(void* p, std::size_t) noexcept { g_release(p); }
#endif
