#include "core/gif_source.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <new>

#include "platform/memory_pages.h"

namespace lw {

bool GifSource::Open(const std::string& path) {
  owned_.clear();
  data_ = nullptr;
  size_ = pos_ = 0;
  int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  bool ok = true;
  try {
    struct stat st {};
    if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_size > 0) {
      owned_.reserve(static_cast<size_t>(st.st_size) + 1);
      PopulatePages(owned_.data(), owned_.capacity());
      owned_.resize(static_cast<size_t>(st.st_size) + 1);
    }
    // Read to the end rather than trusting the size: the file may change while we read it.
    size_t used = 0;
    for (;;) {
      if (owned_.size() == used) owned_.resize(used + (used < 65536 ? 65536 : used));
      ssize_t got = ::read(fd, owned_.data() + used, owned_.size() - used);
      if (got < 0 && errno == EINTR) continue;
      if (got < 0) {
        ok = false;
        break;
      }
      if (got == 0) break;
      used += static_cast<size_t>(got);
    }
    owned_.resize(used);
  } catch (const std::bad_alloc&) {
    ok = false;
  }
  ::close(fd);
  if (!ok) {
    std::vector<uint8_t>().swap(owned_);
    return false;
  }
  data_ = owned_.data();
  size_ = owned_.size();
  return true;
}

bool GifSource::Read(void* out, size_t n) {
  const uint8_t* p = Take(n);
  if (!p) return false;
  if (n) std::memcpy(out, p, n);
  return true;
}

}  // namespace lw
