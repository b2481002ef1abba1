#include "ui/services/page_opener.h"

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QSocketNotifier>
#include <cerrno>

namespace lw {

namespace {

// xdg-open gives up within seconds when no browser is known; an answer after this long is the
// exit of a browser it ran in the foreground.
constexpr qint64 kAnswerMs = 30000;

void WaitFor(pid_t pid) {
  int status = 0;
  while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
}

}  // namespace

bool OpenPageInBrowser(const std::string& path, std::function<void()> failed) {
  const char* argv[] = {"xdg-open", path.c_str(), nullptr};
  // A watcher process runs xdg-open, waits for it and writes its exit code into the pipe; it
  // is a session of its own, so the browser neither dies with us nor is ever our zombie.
  int answer[2];
  if (::pipe2(answer, O_CLOEXEC) != 0) return false;
  pid_t watcher = ::fork();
  if (watcher < 0) {
    ::close(answer[0]);
    ::close(answer[1]);
    return false;
  }
  if (watcher == 0) {
    // Only async-signal-safe calls from here: the parent has threads.
    ::setsid();
    unsigned char code = 127;
    pid_t opener = ::fork();
    if (opener == 0) {
      ::execvp(argv[0], const_cast<char* const*>(argv));
      ::_exit(127);
    }
    if (opener > 0) {
      int status = 0;
      while (::waitpid(opener, &status, 0) < 0 && errno == EINTR) {
      }
      code = WIFEXITED(status) ? static_cast<unsigned char>(WEXITSTATUS(status)) : 126;
    }
    [[maybe_unused]] ssize_t n = ::write(answer[1], &code, 1);
    ::_exit(0);
  }
  ::close(answer[1]);
  QElapsedTimer since;
  since.start();
  auto* notifier =
      new QSocketNotifier(answer[0], QSocketNotifier::Read, QCoreApplication::instance());
  QObject::connect(notifier, &QSocketNotifier::activated, notifier,
                   [notifier, watcher, since, failed = std::move(failed)] {
                     notifier->setEnabled(false);
                     const int fd = static_cast<int>(notifier->socket());
                     unsigned char code = 127;  // a watcher gone without a word failed too
                     ssize_t n;
                     do {
                       n = ::read(fd, &code, 1);
                     } while (n < 0 && errno == EINTR);
                     ::close(fd);
                     WaitFor(watcher);
                     notifier->deleteLater();
                     if (code != 0 && since.elapsed() < kAnswerMs && failed) failed();
                   });
  return true;
}

}  // namespace lw
