#include "platform/files.h"

#include <dirent.h>
#include <fcntl.h>
#include <limits.h>
#include <pthread.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <new>

namespace lw {
namespace {

bool WriteAll(int fd, const char* data, size_t size) {
  while (size > 0) {
    ssize_t n = ::write(fd, data, size);
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    data += n;
    size -= static_cast<size_t>(n);
  }
  return true;
}

// Copies what is left of in to out.
bool CopyAll(int in, int out) {
  char buffer[65536];
  for (;;) {
    ssize_t n = ::read(in, buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return n == 0;
    if (!WriteAll(out, buffer, static_cast<size_t>(n))) return false;
  }
}

// Makes a rename inside folder durable; a failure here loses nothing already renamed.
void SyncFolder(const std::string& folder) {
  int fd = ::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return;
  ::fsync(fd);
  ::close(fd);
}

std::string TempPrefixFor(const std::string& target) { return BaseName(target) + ".tmp-"; }

std::string FolderOrDot(const std::string& path) {
  std::string dir = DirectoryPart(path);
  return dir.empty() ? std::string("./") : dir;
}

// Copies from to a temporary file beside to, then renames it over to.
bool CopyOver(const std::string& from, const std::string& to) {
  int in = ::open(from.c_str(), O_RDONLY | O_CLOEXEC);
  if (in < 0) return false;
  struct stat st {};
  if (::fstat(in, &st) != 0 || !S_ISREG(st.st_mode)) {
    ::close(in);
    return false;
  }
  std::string temp;
  int out = OpenTempFile(FolderOrDot(to), TempPrefixFor(to), &temp);
  if (out < 0) {
    ::close(in);
    return false;
  }
  bool ok = CopyAll(in, out);
  ::close(in);
  ok = ok && ::fchmod(out, st.st_mode & 07777) == 0 && ::fsync(out) == 0;
  ok = (::close(out) == 0) && ok;
  if (ok && ::rename(temp.c_str(), to.c_str()) == 0) {
    SyncFolder(FolderOrDot(to));
    return true;
  }
  ::unlink(temp.c_str());
  return false;
}

// A stray byte of broken UTF-8 stands for itself, above every code point.
constexpr uint32_t StrayByte = 0x110000;

uint32_t NextChar(std::string_view s, size_t* i) {
  unsigned char c = static_cast<unsigned char>(s[*i]);
  size_t need = 0;
  uint32_t cp = 0;
  uint32_t min = 0;
  if (c < 0x80) {
    ++*i;
    return c;
  } else if (c >= 0xC2 && c <= 0xDF) {
    need = 1, cp = c & 0x1F, min = 0x80;
  } else if (c >= 0xE0 && c <= 0xEF) {
    need = 2, cp = c & 0x0F, min = 0x800;
  } else if (c >= 0xF0 && c <= 0xF4) {
    need = 3, cp = c & 0x07, min = 0x10000;
  } else {
    ++*i;
    return StrayByte + c;
  }
  if (*i + need >= s.size()) {
    ++*i;
    return StrayByte + c;
  }
  for (size_t k = 1; k <= need; ++k) {
    unsigned char cc = static_cast<unsigned char>(s[*i + k]);
    if ((cc & 0xC0) != 0x80) {
      ++*i;
      return StrayByte + c;
    }
    cp = (cp << 6) | (cc & 0x3F);
  }
  if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
    ++*i;
    return StrayByte + c;
  }
  *i += need + 1;
  return cp;
}

uint32_t FoldChar(uint32_t cp) {
  if (cp >= 'A' && cp <= 'Z') return cp + 32;
  if (cp >= 0xC0 && cp <= 0xDE && cp != 0xD7) return cp + 32;
  if (cp >= 0x100 && cp <= 0x137) return cp | 1;
  if (cp >= 0x139 && cp <= 0x148) return (cp & 1) ? cp + 1 : cp;
  if (cp >= 0x14A && cp <= 0x177) return cp | 1;
  if (cp == 0x178) return 0xFF;
  if (cp >= 0x179 && cp <= 0x17E) return (cp & 1) ? cp + 1 : cp;
  return cp;
}

std::vector<uint32_t> FoldedChars(std::string_view s) {
  std::vector<uint32_t> out;
  out.reserve(s.size());
  for (size_t i = 0; i < s.size();) out.push_back(FoldChar(NextChar(s, &i)));
  return out;
}

void AppendUtf8(std::string* out, uint32_t cp) {
  if (cp >= StrayByte) {
    out->push_back(static_cast<char>(cp - StrayByte));
  } else if (cp < 0x80) {
    out->push_back(static_cast<char>(cp));
  } else if (cp < 0x800) {
    out->push_back(static_cast<char>(0xC0 | (cp >> 6)));
    out->push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  } else if (cp < 0x10000) {
    out->push_back(static_cast<char>(0xE0 | (cp >> 12)));
    out->push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
    out->push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  } else {
    out->push_back(static_cast<char>(0xF0 | (cp >> 18)));
    out->push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
    out->push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
    out->push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  }
}

}  // namespace

int OpenTempFile(const std::string& folder, const std::string& prefix, std::string* path,
                 const std::string& suffix) {
  try {
    std::string name = WithTrailingSlash(folder.empty() ? std::string(".") : folder);
    name += prefix;
    name += "XXXXXX";
    name += suffix;
    int fd = ::mkostemps(name.data(), static_cast<int>(suffix.size()), O_CLOEXEC);
    if (fd < 0) return -1;
    if (path) *path = name;
    return fd;
  } catch (const std::bad_alloc&) {
    return -1;
  }
}

std::string CreateTempFile(const std::string& folder, const std::string& prefix) {
  std::string path;
  int fd = OpenTempFile(folder, prefix, &path);
  if (fd < 0) return {};
  ::close(fd);
  return path;
}

bool LockOpenFile(int fd) { return fd >= 0 && ::flock(fd, LOCK_EX | LOCK_NB) == 0; }

bool OwnFileUnlocked(const std::string& path) {
  int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK);
  if (fd < 0) return false;
  struct stat st {};
  bool unlocked = ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_uid == ::geteuid() &&
                  ::flock(fd, LOCK_EX | LOCK_NB) == 0;
  ::close(fd);  // also lets go of the lock taken here
  return unlocked;
}

int64_t RegularFileSize(const std::string& path) {
  struct stat st {};
  if (::lstat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return -1;
  return static_cast<int64_t>(st.st_size);
}

std::string CreatePrivateTempFolder(const std::string& prefix) {
  try {
    std::string name = SystemTempFolder() + prefix + "XXXXXX";
    if (!::mkdtemp(name.data())) return {};
    return name;
  } catch (const std::bad_alloc&) {
    return {};
  }
}

bool RenameFile(const std::string& from, const std::string& to) {
  if (::rename(from.c_str(), to.c_str()) == 0) {
    SyncFolder(FolderOrDot(to));
    return true;
  }
  if (errno != EXDEV) return false;
  try {
    if (!CopyOver(from, to)) return false;
  } catch (const std::bad_alloc&) {
    return false;
  }
  ::unlink(from.c_str());
  return true;
}

bool RenameFileNoReplace(const std::string& from, const std::string& to) {
  if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) return true;
  if (errno != EINVAL && errno != ENOSYS) return false;
  // File systems without the flag: a hard link fails when the name exists.
  if (::link(from.c_str(), to.c_str()) != 0) return false;
  ::unlink(from.c_str());
  return true;
}

bool ReplaceFileContents(const std::string& path, std::string_view data) {
  try {
    std::string temp;
    int fd = OpenTempFile(FolderOrDot(path), TempPrefixFor(path), &temp);
    if (fd < 0) return false;
    struct stat st {};
    bool ok = WriteAll(fd, data.data(), data.size());
    if (ok && ::stat(path.c_str(), &st) == 0) ::fchmod(fd, st.st_mode & 07777);
    ok = ok && ::fsync(fd) == 0;
    ok = (::close(fd) == 0) && ok;
    if (ok && ::rename(temp.c_str(), path.c_str()) == 0) {
      SyncFolder(FolderOrDot(path));
      return true;
    }
    ::unlink(temp.c_str());
    return false;
  } catch (const std::bad_alloc&) {
    return false;
  }
}

bool ReadWholeFile(const std::string& path, size_t maxSize, std::string* data) {
  int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) return false;
  struct stat st {};
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) ||
      static_cast<uint64_t>(st.st_size) > maxSize) {
    ::close(fd);
    return false;
  }
  bool ok = true;
  try {
    data->clear();
    data->reserve(static_cast<size_t>(st.st_size));
    char buffer[65536];
    for (;;) {
      ssize_t n = ::read(fd, buffer, sizeof buffer);
      if (n < 0 && errno == EINTR) continue;
      if (n < 0) ok = false;
      if (n <= 0) break;
      if (data->size() + static_cast<size_t>(n) > maxSize) {
        ok = false;
        break;
      }
      data->append(buffer, static_cast<size_t>(n));
    }
  } catch (const std::bad_alloc&) {
    ok = false;
  }
  ::close(fd);
  return ok;
}

bool FlushFileToDisk(const std::string& path) {
  int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  bool ok = ::fsync(fd) == 0;
  return (::close(fd) == 0) && ok;
}

std::string FollowLinks(const std::string& path) {
  try {
    std::string current = path;
    for (int step = 0; step < 40; ++step) {
      struct stat st {};
      if (::lstat(current.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return current;
      std::string target(4096, '\0');
      ssize_t n = ::readlink(current.c_str(), target.data(), target.size());
      if (n <= 0 || static_cast<size_t>(n) >= target.size()) return path;
      target.resize(static_cast<size_t>(n));
      current = target[0] == '/' ? target : DirectoryPart(current) + target;
    }
    return path;
  } catch (const std::bad_alloc&) {
    return path;
  }
}

bool DeleteFile(const std::string& path) { return ::unlink(path.c_str()) == 0; }

bool DeleteFolderTree(const std::string& path) {
  try {
    std::error_code error;
    std::filesystem::remove_all(path, error);
    return !error;
  } catch (const std::bad_alloc&) {
    return false;
  }
}

bool CreateFolders(const std::string& path) {
  if (path.empty()) return false;
  try {
    for (size_t pos = 1;; ++pos) {
      pos = path.find('/', pos);
      std::string part = path.substr(0, pos);
      if (!part.empty() && ::mkdir(part.c_str(), 0700) != 0 && errno != EEXIST) return false;
      if (pos == std::string::npos) break;
    }
  } catch (const std::bad_alloc&) {
    return false;
  }
  return IsFolder(path);
}

bool FileExists(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0;
}

PathKind KindOfPath(const std::string& path) {
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0) return PathKind::None;
  if (S_ISREG(st.st_mode)) return PathKind::Regular;
  if (S_ISDIR(st.st_mode)) return PathKind::Folder;
  if (S_ISFIFO(st.st_mode) || S_ISCHR(st.st_mode)) return PathKind::Stream;
  return PathKind::Special;
}

bool CopyIntoStream(const std::string& from, const std::string& to) {
  int in = ::open(from.c_str(), O_RDONLY | O_CLOEXEC);
  if (in < 0) return false;
  // A pipe's writer waits here for its reader, as a shell's redirection does.
  int out = ::open(to.c_str(), O_WRONLY | O_CLOEXEC | O_NOCTTY);
  if (out < 0) {
    ::close(in);
    return false;
  }
  // A reader that goes away gives a failed write here, not the end of the program.
  sigset_t pipeSignal, before;
  sigemptyset(&pipeSignal);
  sigaddset(&pipeSignal, SIGPIPE);
  pthread_sigmask(SIG_BLOCK, &pipeSignal, &before);
  bool ok = CopyAll(in, out);
  ::close(in);
  ok = (::close(out) == 0) && ok;
  const timespec now{0, 0};
  while (sigtimedwait(&pipeSignal, nullptr, &now) == SIGPIPE) {
  }
  pthread_sigmask(SIG_SETMASK, &before, nullptr);
  return ok;
}

std::string SystemTempFolder() {
  const char* tmp = std::getenv("TMPDIR");
  return WithTrailingSlash((tmp && tmp[0] == '/') ? tmp : "/tmp");
}

bool IsFolder(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool FileReadable(const std::string& path) {
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return false;
  // Non-blocking so that a name swapped for a pipe cannot hang us.
  int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) return false;
  ::close(fd);
  return true;
}

std::string BaseName(std::string_view path) {
  size_t slash = path.rfind('/');
  return std::string(slash == std::string_view::npos ? path : path.substr(slash + 1));
}

std::string DirectoryPart(std::string_view path) {
  size_t slash = path.rfind('/');
  return slash == std::string_view::npos ? std::string() : std::string(path.substr(0, slash + 1));
}

std::string WithTrailingSlash(std::string_view path) {
  std::string out(path);
  if (!out.empty() && out.back() != '/') out.push_back('/');
  return out;
}

bool WildcardMatch(std::string_view pattern, std::string_view name) {
  try {
    std::vector<uint32_t> p = FoldedChars(pattern);
    std::vector<uint32_t> s = FoldedChars(name);
    // Greedy with one backtrack point: the last '*' seen. Linear memory, no recursion.
    size_t pi = 0, si = 0, starP = std::string::npos, starS = 0;
    while (si < s.size()) {
      if (pi < p.size() && p[pi] == '*') {
        starP = pi++;
        starS = si;
      } else if (pi < p.size() && (p[pi] == '?' || p[pi] == s[si])) {
        ++pi, ++si;
      } else if (starP != std::string::npos) {
        pi = starP + 1;
        si = ++starS;
      } else {
        return false;
      }
    }
    while (pi < p.size() && p[pi] == '*') ++pi;
    return pi == p.size();
  } catch (const std::bad_alloc&) {
    return false;
  }
}

int CompareNamesNoCase(std::string_view a, std::string_view b) {
  size_t i = 0, j = 0;
  while (i < a.size() && j < b.size()) {
    uint32_t ca = FoldChar(NextChar(a, &i));
    uint32_t cb = FoldChar(NextChar(b, &j));
    if (ca != cb) return ca < cb ? -1 : 1;
  }
  if (i < a.size()) return 1;
  if (j < b.size()) return -1;
  return 0;
}

std::string FoldCase(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size();) AppendUtf8(&out, FoldChar(NextChar(text, &i)));
  return out;
}

bool ListFolder(const std::string& folder, std::string_view pattern,
                std::vector<FolderEntry>* entries) {
  entries->clear();
  DIR* dir = ::opendir(folder.empty() ? "." : folder.c_str());
  if (!dir) return false;
  bool ok = true;
  try {
    while (dirent* e = ::readdir(dir)) {
      std::string_view name = e->d_name;
      if (name == "." || name == "..") continue;
      if (!WildcardMatch(pattern, name)) continue;
      FolderEntry entry;
      entry.name = std::string(name);
      if (e->d_type == DT_UNKNOWN || e->d_type == DT_LNK) {
        struct stat st {};
        entry.isFolder = ::fstatat(::dirfd(dir), e->d_name, &st, 0) == 0 && S_ISDIR(st.st_mode);
      } else {
        entry.isFolder = e->d_type == DT_DIR;
      }
      entries->push_back(std::move(entry));
    }
    std::sort(entries->begin(), entries->end(), [](const FolderEntry& x, const FolderEntry& y) {
      int c = CompareNamesNoCase(x.name, y.name);
      return c != 0 ? c < 0 : x.name < y.name;
    });
  } catch (const std::bad_alloc&) {
    entries->clear();
    ok = false;
  }
  ::closedir(dir);
  return ok;
}

// ---- The program's own files ----

std::string GetProgramPath() {
  char buffer[PATH_MAX + 1];
  ssize_t n = ::readlink("/proc/self/exe", buffer, PATH_MAX);
  if (n <= 0) return {};
  try {
    return std::string(buffer, static_cast<size_t>(n));
  } catch (const std::bad_alloc&) {
    return {};
  }
}

std::string ShareFile(std::string_view relative) {
  try {
    std::vector<std::string> folders;
    const char* env = std::getenv("LOOPWRIGHT_SHARE");
    if (env && env[0]) folders.emplace_back(env);
    std::string program = GetProgramPath();
    if (!program.empty()) folders.push_back(DirectoryPart(program) + "../share/loopwright");
#ifdef LW_SOURCE_SHARE_DIR
    folders.emplace_back(LW_SOURCE_SHARE_DIR);
#endif
    // Each file on its own: a folder missing one file does not hide the next folder's copy.
    for (const std::string& folder : folders) {
      std::string path = WithTrailingSlash(folder) + std::string(relative);
      if (!FileExists(path)) continue;
      char real[PATH_MAX];
      return ::realpath(path.c_str(), real) ? std::string(real) : path;
    }
  } catch (const std::bad_alloc&) {
  }
  return {};
}

}  // namespace lw
