#include "platform/memory_pages.h"

#if defined(__linux__) && defined(__GLIBC__)
#include <malloc.h>
#endif

#include <sys/resource.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>

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
constexpr int kDefaultTrim = 128 << 10;
constexpr int kProbe = kOwnMapping - kHugePage;  // see MarkHeapStretch

std::atomic<bool> prepared{false};
std::atomic<int> reserve{kReserve};

// A field of /proc/self/status in bytes ("VmSize:", in kB there); 0 when it cannot be read.
uint64_t StatusBytes(const char* field) {
  FILE* status = std::fopen("/proc/self/status", "re");
  if (!status) return 0;
  char line[256];
  unsigned long long kib = 0;
  const size_t length = std::strlen(field);
  while (std::fgets(line, sizeof line, status)) {
    if (std::strncmp(line, field, length) == 0) {
      std::sscanf(line + length, "%llu", &kib);
      break;
    }
  }
  std::fclose(status);
  return uint64_t{kib} << 10;
}

// What the heap may keep for pictures. Under a limit on the address space (ulimit -v) or on the
// data (ulimit -d), room stays for what a job maps beside its pictures (FFmpeg's libraries and
// its threads' stacks take about 200 MiB), and the stretch, the probe below included, takes at
// most half of what is left beyond that; without a limit, the whole reserve.
int ReserveUnderLimits() {
  constexpr uint64_t kRoomKept = uint64_t{256} << 20;
  uint64_t room = UINT64_MAX;
  const struct {
    int resource;
    const char* field;
  } limits[] = {{RLIMIT_AS, "VmSize:"}, {RLIMIT_DATA, "VmData:"}};
  for (const auto& l : limits) {
    rlimit limit{};
    if (getrlimit(l.resource, &limit) != 0 || limit.rlim_cur == RLIM_INFINITY) continue;
    const uint64_t used = StatusBytes(l.field);
    room = std::min<uint64_t>(room, limit.rlim_cur > used ? limit.rlim_cur - used : 0);
  }
  if (room == UINT64_MAX) return kReserve;
  const uint64_t stretch = room > kRoomKept ? (room - kRoomKept) / 2 : 0;
  if (stretch < kProbe + kOwnMapping) return 0;
  return static_cast<int>(std::min<uint64_t>(stretch - kProbe, kReserve) & ~(kHugePage - 1));
}

// Grows the heap by the reserve and marks it for huge pages.
void MarkHeapStretch() {
  // A block the heap's top cannot hold makes it grow by the block and the pad together: it is
  // taken as large as a heap block may be, so that no free piece left between pictures holds it.
  const uintptr_t before = reinterpret_cast<uintptr_t>(sbrk(0));
  mallopt(M_TOP_PAD, reserve);
  // Volatile, or the compiler drops a block that is freed unused.
  void* volatile probe = std::malloc(kProbe);
  mallopt(M_TOP_PAD, kDefaultTopPad);
  const uintptr_t after = reinterpret_cast<uintptr_t>(sbrk(0));
  // Without room for the program break to grow, the heap took a mapping elsewhere (or nothing):
  // nothing to mark.
  const uintptr_t from = (before + kHugePage - 1) & ~(kHugePage - 1);
  const uintptr_t to = after & ~(kHugePage - 1);
  if (after > before && to > from) madvise(reinterpret_cast<void*>(from), to - from, MADV_HUGEPAGE);
  std::free(probe);
}
#endif

}  // namespace

void PrepareHeapForPictures() {
#if defined(__linux__) && defined(__GLIBC__)
  if (!kOwnHeap) return;
  reserve = ReserveUnderLimits();
  // Too tight a limit for a stretch worth marking: the heap stays as glibc sets it up.
  if (reserve == 0) return;
  // Blocks under kOwnMapping come from the heap; the heap gives its top back only once more than
  // the reserve lies free there (with the probe below and what the top held before it), so the
  // marked stretch is not cut and grown again unmarked.
  mallopt(M_MMAP_THRESHOLD, kOwnMapping);
  mallopt(M_TRIM_THRESHOLD, reserve + 2 * kOwnMapping);
  // One heap for every thread: the worker threads' pictures come from the marked stretch too,
  // and one thread's freed buffers serve another's.
  mallopt(M_ARENA_MAX, 1);
  MarkHeapStretch();
  prepared = true;
#endif
}

bool ReleaseHeapReserve() {
#if defined(__linux__) && defined(__GLIBC__)
  if (!prepared.exchange(false)) return false;
  mallopt(M_TRIM_THRESHOLD, kDefaultTrim);
  malloc_trim(0);
  return true;
#else
  return false;
#endif
}

void ReturnFreeHeapMemory() {
#if defined(__linux__) && defined(__GLIBC__)
  malloc_trim(0);
  // The top went back with the rest: the next pictures get a marked stretch again, as large as
  // the limits now allow (libraries may have come since).
  if (prepared) {
    reserve = ReserveUnderLimits();
    if (reserve > 0) MarkHeapStretch();
  }
#endif
}

}  // namespace lw
