#include "platform/folder_watch.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <sys/inotify.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <new>

namespace lw {

FolderWatch::~FolderWatch() {
  if (notify_ >= 0) ::close(notify_);
  if (wake_ >= 0) ::close(wake_);
}

bool FolderWatch::Open(const std::string& folder) {
  notify_ = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
  wake_ = ::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
  if (notify_ < 0 || wake_ < 0) return false;
  const uint32_t mask =
      IN_CREATE | IN_MODIFY | IN_DELETE | IN_MOVED_FROM | IN_MOVED_TO | IN_CLOSE_WRITE | IN_ONLYDIR;
  return ::inotify_add_watch(notify_, folder.c_str(), mask) >= 0;
}

void FolderWatch::Interrupt() {
  if (wake_ < 0) return;
  uint64_t one = 1;
  [[maybe_unused]] ssize_t n = ::write(wake_, &one, sizeof one);
}

int FolderWatch::Wait(int timeoutMs, std::vector<FolderEvent>* events) {
  if (notify_ < 0 || wake_ < 0) return -1;
  pollfd fds[2] = {{notify_, POLLIN, 0}, {wake_, POLLIN, 0}};
  int ready = ::poll(fds, 2, timeoutMs);
  if (ready < 0) return errno == EINTR ? 0 : -1;
  if (fds[1].revents) return -2;
  if (ready == 0) return 0;
  if (fds[0].revents & (POLLERR | POLLNVAL)) return -1;
  alignas(inotify_event) char buffer[16384];
  ssize_t n = ::read(notify_, buffer, sizeof buffer);
  if (n < 0) return (errno == EAGAIN || errno == EINTR) ? 0 : -1;
  try {
    for (ssize_t at = 0; at + static_cast<ssize_t>(sizeof(inotify_event)) <= n;) {
      inotify_event event;
      std::memcpy(&event, buffer + at, sizeof event);
      size_t size = sizeof(inotify_event) + event.len;
      if (at + static_cast<ssize_t>(size) > n) break;
      // The watch itself is gone (folder deleted or moved): nothing more will come.
      if (event.mask & (IN_IGNORED | IN_DELETE_SELF | IN_MOVE_SELF)) return -1;
      if (event.len > 0) {
        const char* name = buffer + at + sizeof(inotify_event);
        FolderEvent e;
        e.name.assign(name, strnlen(name, event.len));
        e.done = event.mask & (IN_CLOSE_WRITE | IN_MOVED_TO);
        events->push_back(std::move(e));
      } else if (event.mask & IN_Q_OVERFLOW) {
        // Events were lost: take it as a change of every file, finished.
        events->push_back({"", true});
      }
      at += static_cast<ssize_t>(size);
    }
  } catch (const std::bad_alloc&) {
    return -1;
  }
  return 1;
}

}  // namespace lw
