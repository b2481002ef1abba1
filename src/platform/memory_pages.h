// Getting the pages of a large new buffer from the system in one request.
#pragma once

#include <cstdint>

#ifdef __linux__
#include <sys/mman.h>
#include <unistd.h>
#endif

namespace lw {

// Sets the heap up for an editor's pictures, once, first thing in main (before other threads
// start). Pictures are many large buffers, each written soon after it is taken; on the default
// heap every 4 KiB page of them faults in on its own the first time it is written, and each fault
// costs microseconds (many more under virtualization). So the heap is grown once by a stretch of
// address space marked for transparent huge pages (2 MiB, one fault each), pictures up to 32 MiB
// come from it rather than from mappings of their own, and what is freed stays for the next
// pictures instead of going back to the system and faulting in again. Only address space is
// reserved: memory is taken as it is written. A no-op where the heap is not glibc's (sanitizer
// builds, other systems), and where the system refuses the space. Under a limit on the process's
// memory (ulimit -v, -d) it keeps room for what a job maps later (libraries, threads' stacks)
// and takes only part of the rest, or nothing when too little is left.
void PrepareHeapForPictures();
// Gives the free stretch back to the system and keeps the heap as glibc sets it up from then
// on, for a request the stretch may have left without room (a library to load); false when
// there was none to give.
bool ReleaseHeapReserve();
// Gives the system back the memory the heap holds free (once a document is closed), then, when
// the heap was set up for pictures, marks a new stretch for the next ones.
void ReturnFreeHeapMemory();

// Touching the pages of a fresh buffer one by one costs a fault each, which adds up over the
// frames of a long animation; this asks for them all at once, before the buffer is first
// written. Only a hint: where it is refused, the pages come on first touch as before.
inline void PopulatePages(void* data, uint64_t size) {
#ifdef __linux__
  constexpr uint64_t kWorthIt = uint64_t{16} << 10;
  constexpr int kPopulateWrite = 23;  // MADV_POPULATE_WRITE, Linux 5.14 on
  if (!data || size < kWorthIt) return;
  static const uintptr_t page = [] {
    const long bytes = sysconf(_SC_PAGESIZE);
    return bytes > 0 ? static_cast<uintptr_t>(bytes) : uintptr_t{4096};
  }();
  const uintptr_t from = (reinterpret_cast<uintptr_t>(data) + page - 1) & ~(page - 1);
  const uintptr_t to = (reinterpret_cast<uintptr_t>(data) + size) & ~(page - 1);
  if (to > from) madvise(reinterpret_cast<void*>(from), to - from, kPopulateWrite);
#else
  (void)data;
  (void)size;
#endif
}

}  // namespace lw
