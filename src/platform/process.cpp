#include "platform/process.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <new>

namespace lw {

namespace {

// argv as execvp takes it; false when it is empty or memory is short.
bool ArgPointers(const std::vector<std::string>& argv, std::vector<char*>* args) {
  if (argv.empty() || argv[0].empty()) return false;
  try {
    for (const std::string& a : argv) args->push_back(const_cast<char*>(a.c_str()));
    args->push_back(nullptr);
  } catch (const std::bad_alloc&) {
    return false;
  }
  return true;
}

void Reap(pid_t pid, int* status) {
  while (::waitpid(pid, status, 0) < 0 && errno == EINTR) {
  }
}

}  // namespace

bool StartDetached(const std::vector<std::string>& argv) {
  std::vector<char*> args;
  if (!ArgPointers(argv, &args)) return false;
  // The grandchild reports a failed exec through a pipe that a successful one closes.
  int status[2];
  if (::pipe2(status, O_CLOEXEC) != 0) return false;
  pid_t child = ::fork();
  if (child < 0) {
    ::close(status[0]);
    ::close(status[1]);
    return false;
  }
  if (child == 0) {
    ::setsid();
    pid_t grandchild = ::fork();
    if (grandchild == 0) {
      ::execvp(args[0], args.data());
      int error = errno;
      [[maybe_unused]] ssize_t n = ::write(status[1], &error, sizeof error);
      ::_exit(127);
    }
    ::_exit(grandchild < 0 ? 1 : 0);
  }
  ::close(status[1]);
  int childStatus = 0;
  Reap(child, &childStatus);
  int error = 0;
  ssize_t n;
  do {
    n = ::read(status[0], &error, sizeof error);
  } while (n < 0 && errno == EINTR);
  ::close(status[0]);
  return WIFEXITED(childStatus) && WEXITSTATUS(childStatus) == 0 && n == 0;
}

int StartWatched(const std::vector<std::string>& argv, int* watcher) {
  std::vector<char*> args;
  if (!ArgPointers(argv, &args)) return -1;
  int answer[2];
  if (::pipe2(answer, O_CLOEXEC) != 0) return -1;
  pid_t child = ::fork();
  if (child < 0) {
    ::close(answer[0]);
    ::close(answer[1]);
    return -1;
  }
  if (child == 0) {
    // Only async-signal-safe calls from here: the parent has threads. A session of its own, so
    // what the program starts neither dies with us nor is ever our zombie.
    ::setsid();
    unsigned char code = 127;
    pid_t program = ::fork();
    if (program == 0) {
      ::execvp(args[0], args.data());
      ::_exit(127);
    }
    if (program > 0) {
      int status = 0;
      Reap(program, &status);
      code = WIFEXITED(status) ? static_cast<unsigned char>(WEXITSTATUS(status)) : 126;
    }
    [[maybe_unused]] ssize_t n = ::write(answer[1], &code, 1);
    ::_exit(0);
  }
  ::close(answer[1]);
  *watcher = static_cast<int>(child);
  return answer[0];
}

int FinishWatched(int pipe, int watcher) {
  unsigned char code = 127;
  ssize_t n;
  do {
    n = ::read(pipe, &code, 1);
  } while (n < 0 && errno == EINTR);
  ::close(pipe);
  int status = 0;
  Reap(static_cast<pid_t>(watcher), &status);
  return code;
}

int CurrentProcessId() { return static_cast<int>(::getpid()); }

bool ProcessRunning(int pid) {
  if (pid <= 0) return false;
  return ::kill(pid, 0) == 0 || errno == EPERM;
}

}  // namespace lw
