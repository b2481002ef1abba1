#include "platform/memory_pages.h"

#if defined(__linux__) && defined(__GLIBC__)
#include <malloc.h>
#endif

#include <atomic>
#include <cstdlib>

namespace lw {

namespace {

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
constexpr bool kOwnHeap = false;  // the sanitizer's allocator replaces glibc's
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer)
constexpr bool kOwnHeap = false;
#else
constexpr bool kOwnHeap = true;
#endif
#else
constexpr bool kOwnHeap = true;
#endif

#if defined(__linux__) && defined(__GLIBC__)
constexpr uintptr_t kHugePage = uintptr_t{2} << 20;
constexpr int kReserve = 512 << 20;
constexpr int kOwnMapping = 32 << 20;  // glibc's own ceiling for its adaptive threshold
constexpr int kDefaultTopPad = 128 << 10;

std::atomic<bool> prepared{false};

// Grows the heap by the reserve and marks it for huge pages.
void MarkHeapStretch() {
  // A block the heap's top cannot hold makes it grow by the block and the pad together: it is
  // taken as large as a heap block may be, so that no free piece left between pictures holds it.
  const uintptr_t before = reinterpret_cast<uintptr_t>(sbrk(0));
  mallopt(M_TOP_PAD, kReserve);
  // Volatile, or the compiler drops a block that is freed unused.
  void* volatile probe = std::malloc(kOwnMapping - kHugePage);
  mallopt(M_TOP_PAD, kDefaultTopPad);
  const uintptr_t after = reinterpret_cast<uintptr_t>(sbrk(0));
  // Without room for the program break to grow, the heap took a mapping elsewhere (or nothing):
  // nothing to mark.
  const uintptr_t from = (before + kHugePage - 1) & ~(kHugePage - 1);
  const uintptr_t to = after & ~(kHugePage - 1);
  if (after > before && to > from)
    madvise(reinterpret_cast<void*>(from), to - from, MADV_HUGEPAGE);
  std::free(probe);
}
#endif

}  // namespace

void PrepareHeapForPictures() {
#if defined(__linux__) && defined(__GLIBC__)
  if (!kOwnHeap) return;
  // Blocks under kOwnMapping come from the heap; the heap gives its top back only once more than
  // the reserve lies free there (with the probe below and what the top held before it), so the
  // marked stretch is not cut and grown again unmarked.
  mallopt(M_MMAP_THRESHOLD, kOwnMapping);
  mallopt(M_TRIM_THRESHOLD, kReserve + 2 * kOwnMapping);
  // One heap for every thread: the worker threads' pictures come from the marked stretch too,
  // and one thread's freed buffers serve another's.
  mallopt(M_ARENA_MAX, 1);
  MarkHeapStretch();
  prepared = true;
#endif
}

void ReturnFreeHeapMemory() {
#if defined(__linux__) && defined(__GLIBC__)
  malloc_trim(0);
  // The top went back with the rest: the next pictures get a marked stretch again.
  if (prepared) MarkHeapStretch();
#endif
}

}  // namespace lw
