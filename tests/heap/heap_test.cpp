// The heap set-up, on glibc's own heap: this program is built without the sanitizers, whose
// allocator would stand in its place. Exit 0: holds; 77: nothing to check on this system.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "platform/memory_pages.h"

namespace {

constexpr int kSkip = 77;

// The mapping of /proc/self/smaps that holds address at: its first line, and whether the kernel
// says it may take huge pages (-1: it does not say).
bool FindMapping(uintptr_t at, std::string* name, int* eligible) {
  std::ifstream smaps("/proc/self/smaps");
  std::string line;
  bool inside = false;
  *eligible = -1;
  while (std::getline(smaps, line)) {
    unsigned long from = 0, to = 0;
    if (std::sscanf(line.c_str(), "%lx-%lx ", &from, &to) == 2 && line.find(':') > line.find(' ')) {
      if (inside) return true;
      inside = at >= from && at < to;
      if (inside) *name = line;
    } else if (inside && line.rfind("THPeligible:", 0) == 0) {
      *eligible = std::atoi(line.c_str() + 12);
    }
  }
  return inside;
}

}  // namespace

int main() {
  std::ifstream mode("/sys/kernel/mm/transparent_hugepage/enabled");
  std::string modes;
  std::getline(mode, modes);
  if (modes.empty() || modes.find("[never]") != std::string::npos) {
    std::puts("transparent huge pages are off here: nothing to check");
    return kSkip;
  }
  lw::PrepareHeapForPictures();
  // Pictures as the reader takes them, of a size the heap otherwise leaves to mappings of their
  // own; the second after the first was given back, which must not have cut the marked stretch
  // (grown again, the heap would be plain pages there); the third after the free memory went
  // back to the system, as when the window closes a document, and larger than what was freed,
  // so that it takes fresh space.
  for (int round = 0; round < 3; ++round) {
    if (round == 2) lw::ReturnFreeHeapMemory();
    std::vector<uint8_t> picture(uint64_t{round < 2 ? 12u : 24u} << 20,
                                 static_cast<uint8_t>(round));
    std::string name;
    int eligible = -1;
    if (!FindMapping(reinterpret_cast<uintptr_t>(picture.data()) + picture.size() / 2, &name,
                     &eligible)) {
      std::puts("a picture is in no mapping");
      return 1;
    }
    if (eligible < 0) {
      std::puts("the kernel does not say which mappings may take huge pages");
      return kSkip;
    }
    if (name.find("[heap]") == std::string::npos || eligible != 1) {
      std::printf("picture %d lies in %s, huge pages %d: not the marked heap\n", round + 1,
                  name.c_str(), eligible);
      return 1;
    }
  }
  return 0;
}
