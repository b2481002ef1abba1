// The heap set-up under a limit on the process's memory (ulimit -v, ulimit -d): a mapping that
// fits in the room the limit leaves must still fit after it, as a library or a thread's stack
// loaded later needs. Built without the sanitizers, whose own reservations no limit allows.
// Exit 0: holds.
#include <sys/mman.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "platform/memory_pages.h"

namespace {

constexpr uint64_t kMiB = uint64_t{1} << 20;

uint64_t StatusBytes(const char* field) {
  std::ifstream status("/proc/self/status");
  for (std::string line; std::getline(status, line);)
    if (line.rfind(field, 0) == 0) return std::stoull(line.substr(std::strlen(field))) << 10;
  return 0;
}

// In a child of its own: limits resource to what the process uses now and 640 MiB more, sets
// the heap up, then maps 384 MiB and writes pictures. 0 when all of it works.
int UnderLimit(int resource, const char* field) {
  const pid_t child = fork();
  if (child < 0) return 1;
  if (child > 0) {
    int status = 0;
    waitpid(child, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 1;
  }
  rlimit limit{};
  getrlimit(resource, &limit);
  limit.rlim_cur = StatusBytes(field) + 640 * kMiB;
  if (setrlimit(resource, &limit) != 0) _exit(0);  // nothing to check
  lw::PrepareHeapForPictures();
  void* later = mmap(nullptr, 384 * kMiB, PROT_READ | PROT_WRITE,
                     MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
  if (later == MAP_FAILED) {
    std::fprintf(stderr, "%s 384 MiB no longer fit after the set-up (%llu MiB in use)\n", field,
                 static_cast<unsigned long long>(StatusBytes(field) / kMiB));
    _exit(1);
  }
  munmap(later, 384 * kMiB);
  // Pictures as a job takes them, more than any reserve, and given back.
  for (int round = 0; round < 2; ++round) {
    std::vector<std::vector<uint8_t>> pictures;
    for (int i = 0; i < 20; ++i) pictures.emplace_back(12 * kMiB, static_cast<uint8_t>(i));
    pictures.clear();
    lw::ReturnFreeHeapMemory();
  }
  _exit(0);
}

}  // namespace

int main() {
  int failed = UnderLimit(RLIMIT_AS, "VmSize:");
  failed |= UnderLimit(RLIMIT_DATA, "VmData:");
  return failed;
}
