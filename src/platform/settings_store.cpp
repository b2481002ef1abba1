#include "platform/settings_store.h"

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <map>
#include <new>

#include "platform/files.h"

namespace lw {
namespace {

constexpr std::string_view Header = "Windows Registry Editor Version 5.00";
constexpr std::string_view RootName = "HKEY_CURRENT_USER";
constexpr size_t MaxFileSize = 16u << 20;

struct Value {
  std::string name;
  uint32_t type = 0;
  std::vector<uint8_t> data;
};

struct Key {
  std::string path;  // as first created
  std::vector<Value> values;
};

using KeyMap = std::map<std::string, Key>;  // by folded path: parents sort before children

// What the file looked like when last read or written, to notice another instance's writes.
struct FileStamp {
  bool present = false;
  dev_t device = 0;
  ino_t inode = 0;
  off_t size = 0;
  int64_t seconds = 0;
  int64_t nanoseconds = 0;
  bool operator==(const FileStamp&) const = default;
};

FileStamp StampOf(const std::string& file) {
  FileStamp stamp;
  struct stat st {};
  if (file.empty() || ::stat(file.c_str(), &st) != 0) return stamp;
  stamp.present = true;
  stamp.device = st.st_dev;
  stamp.inode = st.st_ino;
  stamp.size = st.st_size;
  stamp.seconds = st.st_mtim.tv_sec;
  stamp.nanoseconds = st.st_mtim.tv_nsec;
  return stamp;
}

struct Store {
  std::recursive_mutex mutex;
  bool loaded = false;
  bool writable = true;  // false while an unreadable or damaged file must be left alone
  std::string file;
  KeyMap keys;
  int batchDepth = 0;
  bool dirty = false;
  bool damaged = false;
  std::string damagedFile;
  std::string asideFile;
  bool unsaved = false;  // memory holds changes the file lacks
  FileStamp seen;
  bool crashBeforeRename = false;
};

Store& TheStore() {
  static Store store;
  return store;
}

bool IsSpace(char c) { return c == ' ' || c == '\t'; }

std::string_view TrimLeft(std::string_view s) {
  while (!s.empty() && IsSpace(s.front())) s.remove_prefix(1);
  return s;
}

std::string_view TrimRight(std::string_view s) {
  while (!s.empty() && (IsSpace(s.back()) || s.back() == '\r')) s.remove_suffix(1);
  return s;
}

bool HasControl(std::string_view s) {
  for (char c : s)
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) return true;
  return false;
}

// Splits and checks a key path; the parts joined by '\' in *normal.
bool NormalizePath(std::string_view path, std::string* normal) {
  normal->clear();
  if (path.empty() || HasControl(path)) return false;
  size_t start = 0;
  for (;;) {
    size_t end = path.find('\\', start);
    std::string_view part = path.substr(start, end == std::string_view::npos ? end : end - start);
    if (part.empty()) return false;
    if (!normal->empty()) normal->push_back('\\');
    normal->append(part);
    if (end == std::string_view::npos) return true;
    start = end + 1;
  }
}

Value* FindValue(Key& key, std::string_view name) {
  std::string folded = FoldCase(name);
  for (Value& v : key.values)
    if (FoldCase(v.name) == folded) return &v;
  return nullptr;
}

// Adds the key and its missing parents; true when something was added.
bool AddKey(KeyMap& keys, const std::string& normal) {
  bool added = false;
  for (size_t pos = 0;;) {
    pos = normal.find('\\', pos);
    std::string part = normal.substr(0, pos);
    auto [it, inserted] = keys.try_emplace(FoldCase(part));
    if (inserted) {
      it->second.path = part;
      added = true;
    }
    if (pos == std::string::npos) return added;
    ++pos;
  }
}

void RemoveKey(KeyMap& keys, const std::string& normal) {
  std::string folded = FoldCase(normal);
  std::string prefix = folded + "\\";
  for (auto it = keys.lower_bound(folded); it != keys.end();) {
    if (it->first == folded || it->first.compare(0, prefix.size(), prefix) == 0)
      it = keys.erase(it);
    else if (it->first > prefix && it->first.compare(0, prefix.size(), prefix) != 0)
      break;
    else
      ++it;
  }
}

// ---- Text form ----

void AppendQuoted(std::string* out, std::string_view text) {
  out->push_back('"');
  for (char c : text) {
    if (c == '\\' || c == '"') out->push_back('\\');
    out->push_back(c);
  }
  out->push_back('"');
}

void AppendHex(std::string* out, std::string_view prefix, const std::vector<uint8_t>& data) {
  static const char digits[] = "0123456789abcdef";
  size_t lineStart = out->rfind('\n') + 1;
  out->append(prefix);
  for (size_t i = 0; i < data.size(); ++i) {
    out->push_back(digits[data[i] >> 4]);
    out->push_back(digits[data[i] & 15]);
    if (i + 1 < data.size()) {
      out->push_back(',');
      if (out->size() - lineStart > 76) {  // wrapped as regedit does
        out->append("\\\n  ");
        lineStart = out->size() - 2;
      }
    }
  }
}

// A REG_SZ that the quoted form carries exactly: one terminating zero and no line breaks.
bool QuotedFormFits(const Value& v) {
  if (v.data.empty() || v.data.back() != 0) return false;
  for (size_t i = 0; i + 1 < v.data.size(); ++i)
    if (v.data[i] == 0 || v.data[i] == '\n' || v.data[i] == '\r') return false;
  return true;
}

std::string Serialize(const KeyMap& keys) {
  std::string out;
  out.append(Header);
  out.append("\n");
  for (const auto& [folded, key] : keys) {
    out.append("\n[");
    out.append(RootName);
    out.push_back('\\');
    out.append(key.path);
    out.append("]\n");
    for (const Value& v : key.values) {
      if (v.name.empty())
        out.push_back('@');
      else
        AppendQuoted(&out, v.name);
      out.push_back('=');
      if (v.type == RegSz && QuotedFormFits(v)) {
        AppendQuoted(&out, std::string_view(reinterpret_cast<const char*>(v.data.data()),
                                            v.data.size() - 1));
      } else if (v.type == RegDword && v.data.size() == 4) {
        char text[16];
        uint32_t x = v.data[0] | (v.data[1] << 8) | (v.data[2] << 16) |
                     (static_cast<uint32_t>(v.data[3]) << 24);
        std::snprintf(text, sizeof text, "dword:%08x", x);
        out.append(text);
      } else if (v.type == RegBinary) {
        AppendHex(&out, "hex:", v.data);
      } else {
        char prefix[24];
        std::snprintf(prefix, sizeof prefix, "hex(%x):", v.type);
        AppendHex(&out, prefix, v.data);
      }
      out.push_back('\n');
    }
  }
  return out;
}

// Reads a quoted string at the start of s; *rest is what follows the closing quote.
bool ParseQuoted(std::string_view s, std::string* text, std::string_view* rest) {
  if (s.empty() || s[0] != '"') return false;
  text->clear();
  for (size_t i = 1; i < s.size(); ++i) {
    char c = s[i];
    if (c == '"') {
      *rest = s.substr(i + 1);
      return true;
    }
    if (c == '\\') {
      if (++i >= s.size() || (s[i] != '\\' && s[i] != '"')) return false;
      c = s[i];
    }
    text->push_back(c);
  }
  return false;
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

bool ParseHexNumber(std::string_view s, size_t maxDigits, uint32_t* value) {
  if (s.empty() || s.size() > maxDigits) return false;
  *value = 0;
  for (char c : s) {
    int d = HexDigit(c);
    if (d < 0) return false;
    *value = (*value << 4) | static_cast<uint32_t>(d);
  }
  return true;
}

bool ParseHexBytes(std::string_view s, std::vector<uint8_t>* data) {
  data->clear();
  s = TrimRight(TrimLeft(s));
  if (s.empty()) return true;
  for (;;) {
    size_t comma = s.find(',');
    std::string_view item = TrimRight(TrimLeft(s.substr(0, comma)));
    uint32_t byte = 0;
    if (item.empty() && comma == std::string_view::npos) return true;  // trailing comma
    if (!ParseHexNumber(item, 2, &byte)) return false;
    data->push_back(static_cast<uint8_t>(byte));
    if (comma == std::string_view::npos) return true;
    s = s.substr(comma + 1);
  }
}

class Parser {
 public:
  explicit Parser(std::string_view text) : text_(text) {}

  bool Run(KeyMap* keys) {
    if (text_.substr(0, 3) == "\xEF\xBB\xBF") text_.remove_prefix(3);
    bool headerSeen = false;
    std::string_view line;
    while (NextLine(&line)) {
      if (line.empty() || line[0] == ';') continue;
      if (!headerSeen) {
        if (line != Header && line != "REGEDIT4") return false;
        headerSeen = true;
        continue;
      }
      if (line[0] == '[') {
        if (!Section(line, keys)) return false;
      } else if (line[0] == '"' || line[0] == '@') {
        if (!current_ || !ValueLine(line)) return false;
      } else {
        return false;
      }
    }
    return true;  // a file with nothing in it reads as empty
  }

 private:
  bool NextLine(std::string_view* line) {
    if (pos_ >= text_.size()) return false;
    size_t end = text_.find('\n', pos_);
    if (end == std::string_view::npos) end = text_.size();
    *line = TrimRight(TrimLeft(text_.substr(pos_, end - pos_)));
    pos_ = end + 1;
    return true;
  }

  bool Section(std::string_view line, KeyMap* keys) {
    if (line.back() != ']') return false;
    std::string_view inner = line.substr(1, line.size() - 2);
    bool remove = !inner.empty() && inner[0] == '-';
    if (remove) inner.remove_prefix(1);
    size_t slash = inner.find('\\');
    std::string_view root = inner.substr(0, slash);
    if (root != RootName && root != "HKCU") return false;
    if (slash == std::string_view::npos) return false;  // values on the root itself: not ours
    std::string normal;
    if (!NormalizePath(inner.substr(slash + 1), &normal)) return false;
    current_ = nullptr;
    if (remove) {
      RemoveKey(*keys, normal);
      return true;
    }
    AddKey(*keys, normal);
    current_ = &(*keys)[FoldCase(normal)];
    return true;
  }

  bool ValueLine(std::string_view line) {
    Value v;
    std::string_view rest;
    if (line[0] == '@') {
      rest = line.substr(1);
    } else if (!ParseQuoted(line, &v.name, &rest) || HasControl(v.name)) {
      return false;
    }
    rest = TrimLeft(rest);
    if (rest.empty() || rest[0] != '=') return false;
    rest = TrimLeft(rest.substr(1));
    if (rest == "-") {
      auto& values = current_->values;
      for (auto it = values.begin(); it != values.end(); ++it)
        if (FoldCase(it->name) == FoldCase(v.name)) {
          values.erase(it);
          break;
        }
      return true;
    }
    if (!rest.empty() && rest[0] == '"') {
      std::string text;
      std::string_view after;
      if (!ParseQuoted(rest, &text, &after) || !TrimLeft(after).empty()) return false;
      v.type = RegSz;
      v.data.assign(text.begin(), text.end());
      v.data.push_back(0);
    } else if (rest.substr(0, 6) == "dword:") {
      uint32_t x = 0;
      if (!ParseHexNumber(rest.substr(6), 8, &x)) return false;
      v.type = RegDword;
      v.data = {static_cast<uint8_t>(x), static_cast<uint8_t>(x >> 8),
                static_cast<uint8_t>(x >> 16), static_cast<uint8_t>(x >> 24)};
    } else if (rest.substr(0, 3) == "hex") {
      rest.remove_prefix(3);
      v.type = RegBinary;
      if (!rest.empty() && rest[0] == '(') {
        size_t close = rest.find(')');
        if (close == std::string_view::npos ||
            !ParseHexNumber(rest.substr(1, close - 1), 8, &v.type))
          return false;
        rest.remove_prefix(close + 1);
      }
      if (rest.empty() || rest[0] != ':') return false;
      std::string list(rest.substr(1));
      // Long lists go on over lines that end with '\'.
      while (!list.empty() && list.back() == '\\') {
        list.pop_back();
        std::string_view next;
        if (!NextLine(&next)) return false;
        list.append(next);
      }
      if (!ParseHexBytes(list, &v.data)) return false;
    } else {
      return false;
    }
    if (Value* old = FindValue(*current_, v.name))
      *old = std::move(v);
    else
      current_->values.push_back(std::move(v));
    return true;
  }

  std::string_view text_;
  size_t pos_ = 0;
  Key* current_ = nullptr;
};

std::string ConfigHome() {
  const char* xdg = std::getenv("XDG_CONFIG_HOME");
  if (xdg && xdg[0] == '/') return xdg;
  const char* home = std::getenv("HOME");
  if (home && home[0] == '/') return std::string(home) + "/.config";
  struct passwd pw {};
  struct passwd* found = nullptr;
  char buffer[4096];
  if (::getpwuid_r(::getuid(), &pw, buffer, sizeof buffer, &found) == 0 && found && pw.pw_dir &&
      pw.pw_dir[0] == '/')
    return std::string(pw.pw_dir) + "/.config";
  return {};
}

// Moves a damaged file out of the way under a name that exists nowhere yet.
std::string SetAside(const std::string& file) {
  std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  char stamp[32];
  std::strftime(stamp, sizeof stamp, "%Y%m%d-%H%M%S", &local);
  std::string base = file + ".damaged-" + stamp;
  for (int n = 0; n < 1000; ++n) {
    std::string name = n == 0 ? base : base + "-" + std::to_string(n);
    if (RenameFileNoReplace(file, name)) return name;
    if (errno != EEXIST) return {};
  }
  return {};
}

void Load(Store& s) {
  s.loaded = true;
  s.writable = true;
  s.keys.clear();
  std::string config = ConfigHome();
  s.file = config.empty() ? std::string() : config + "/loopwright/settings.reg";
  if (s.file.empty()) {
    s.writable = false;
    return;
  }
  s.seen = StampOf(s.file);
  struct stat st {};
  if (::stat(s.file.c_str(), &st) != 0) {
    if (errno != ENOENT) s.writable = false;  // cannot tell: never write over it
    return;
  }
  std::string text;
  bool tooLarge = S_ISREG(st.st_mode) && static_cast<uint64_t>(st.st_size) > MaxFileSize;
  if (!tooLarge && !ReadWholeFile(s.file, MaxFileSize, &text)) {
    s.writable = false;  // there but unreadable: leave it be
    return;
  }
  KeyMap keys;
  if (!tooLarge && Parser(text).Run(&keys)) {
    s.keys = std::move(keys);
    return;
  }
  s.damaged = true;
  s.damagedFile = s.file;
  s.asideFile = SetAside(s.file);
  if (s.asideFile.empty()) s.writable = false;
}

// Another instance of the program may have written the file since: take its values, as the
// registry would show them. Changes of ours not yet on disk win.
void Refresh(Store& s) {
  if (!s.writable || s.unsaved || s.batchDepth > 0) return;
  FileStamp now = StampOf(s.file);
  if (now == s.seen) return;
  s.seen = now;
  std::string text;
  KeyMap keys;
  if (now.present && ReadWholeFile(s.file, MaxFileSize, &text) && Parser(text).Run(&keys))
    s.keys = std::move(keys);
}

Store& Loaded() {
  Store& s = TheStore();
  bool loading = !s.loaded;
  try {
    if (loading)
      Load(s);
    else
      Refresh(s);
  } catch (const std::bad_alloc&) {
    // Half a file read must never be written back over the whole one.
    if (loading) s.writable = false;
  }
  return s;
}

SettingsStatus Persist(Store& s) {
  s.unsaved = true;
  if (!s.writable) return SettingsStatus::WriteFailed;
  std::string text = Serialize(s.keys);
  if (!CreateFolders(DirectoryPart(s.file))) return SettingsStatus::WriteFailed;
  if (s.crashBeforeRename) {
    std::string temp;
    int fd = OpenTempFile(DirectoryPart(s.file), BaseName(s.file) + ".tmp-", &temp);
    if (fd >= 0) {
      ssize_t ignored = ::write(fd, text.data(), text.size() / 2);
      (void)ignored;
      ::close(fd);
    }
    s.unsaved = true;
    return SettingsStatus::WriteFailed;
  }
  if (!ReplaceFileContents(s.file, text)) {
    s.unsaved = true;
    return SettingsStatus::WriteFailed;
  }
  s.unsaved = false;
  s.seen = StampOf(s.file);
  return SettingsStatus::Ok;
}

// After a change in memory: write now, or at the end of the batch.
SettingsStatus Changed(Store& s) {
  if (s.batchDepth > 0) {
    s.dirty = true;
    return SettingsStatus::Ok;
  }
  return Persist(s);
}

Key* FindKey(Store& s, std::string_view path) {
  std::string normal;
  if (!NormalizePath(path, &normal)) return nullptr;
  auto it = s.keys.find(FoldCase(normal));
  return it == s.keys.end() ? nullptr : &it->second;
}

template <typename F>
SettingsStatus Guarded(F&& f) {
  try {
    std::lock_guard<std::recursive_mutex> lock(TheStore().mutex);
    return f(Loaded());
  } catch (const std::bad_alloc&) {
    return SettingsStatus::NoMemory;
  }
}

}  // namespace

SettingsStatus OpenSettingsKey(std::string_view path, SettingsKey* key) {
  return Guarded([&](Store& s) {
    std::string normal;
    if (!NormalizePath(path, &normal)) return SettingsStatus::BadName;
    Key* k = FindKey(s, normal);
    if (!k) return SettingsStatus::NotFound;
    key->path = k->path;
    return SettingsStatus::Ok;
  });
}

SettingsStatus CreateSettingsKey(std::string_view path, SettingsKey* key, bool* created) {
  if (created) *created = false;
  return Guarded([&](Store& s) {
    std::string normal;
    if (!NormalizePath(path, &normal)) return SettingsStatus::BadName;
    bool added = AddKey(s.keys, normal);
    key->path = FindKey(s, normal)->path;
    if (created) *created = added;
    return added ? Changed(s) : SettingsStatus::Ok;
  });
}

bool SettingsKeyExists(std::string_view path) {
  SettingsKey key;
  return OpenSettingsKey(path, &key) == SettingsStatus::Ok;
}

SettingsStatus DeleteSettingsKey(std::string_view path) {
  return Guarded([&](Store& s) {
    std::string normal;
    if (!NormalizePath(path, &normal)) return SettingsStatus::BadName;
    if (!FindKey(s, normal)) return SettingsStatus::NotFound;
    RemoveKey(s.keys, normal);
    return Changed(s);
  });
}

SettingsStatus QuerySettingsValue(const SettingsKey& key, std::string_view name, uint32_t* type,
                                  std::vector<uint8_t>* data) {
  return Guarded([&](Store& s) {
    Key* k = FindKey(s, key.path);
    Value* v = k ? FindValue(*k, name) : nullptr;
    if (!v) return SettingsStatus::NotFound;
    if (type) *type = v->type;
    if (data) *data = v->data;
    return SettingsStatus::Ok;
  });
}

SettingsStatus SetSettingsValue(const SettingsKey& key, std::string_view name, uint32_t type,
                                const void* data, size_t size) {
  return Guarded([&](Store& s) {
    if (HasControl(name)) return SettingsStatus::BadName;
    Key* k = FindKey(s, key.path);
    if (!k) return SettingsStatus::NotFound;
    const uint8_t* bytes = static_cast<const uint8_t*>(data);
    std::vector<uint8_t> copy(bytes, bytes + (bytes ? size : 0));
    if (Value* v = FindValue(*k, name)) {
      if (v->type == type && v->data == copy) return SettingsStatus::Ok;
      v->type = type;
      v->data = std::move(copy);
    } else {
      k->values.push_back(Value{std::string(name), type, std::move(copy)});
    }
    return Changed(s);
  });
}

SettingsStatus DeleteSettingsValue(const SettingsKey& key, std::string_view name) {
  return Guarded([&](Store& s) {
    Key* k = FindKey(s, key.path);
    if (!k) return SettingsStatus::NotFound;
    std::string folded = FoldCase(name);
    for (auto it = k->values.begin(); it != k->values.end(); ++it) {
      if (FoldCase(it->name) == folded) {
        k->values.erase(it);
        return Changed(s);
      }
    }
    return SettingsStatus::NotFound;
  });
}

SettingsStatus QuerySettingsString(const SettingsKey& key, std::string_view name,
                                   std::string* text) {
  std::vector<uint8_t> data;
  SettingsStatus status = QuerySettingsValue(key, name, nullptr, &data);
  if (status != SettingsStatus::Ok) return status;
  try {
    size_t n = 0;
    while (n < data.size() && data[n] != 0) ++n;
    text->assign(reinterpret_cast<const char*>(data.data()), n);
  } catch (const std::bad_alloc&) {
    return SettingsStatus::NoMemory;
  }
  return SettingsStatus::Ok;
}

SettingsStatus SetSettingsString(const SettingsKey& key, std::string_view name,
                                 std::string_view text) {
  try {
    std::string data(text);
    return SetSettingsValue(key, name, RegSz, data.c_str(), data.size() + 1);
  } catch (const std::bad_alloc&) {
    return SettingsStatus::NoMemory;
  }
}

SettingsStatus SetSettingsDword(const SettingsKey& key, std::string_view name, uint32_t value) {
  uint8_t bytes[4] = {static_cast<uint8_t>(value), static_cast<uint8_t>(value >> 8),
                      static_cast<uint8_t>(value >> 16), static_cast<uint8_t>(value >> 24)};
  return SetSettingsValue(key, name, RegDword, bytes, sizeof bytes);
}

SettingsBatch::SettingsBatch() : lock_(TheStore().mutex) { ++TheStore().batchDepth; }

SettingsBatch::~SettingsBatch() { Commit(); }

SettingsStatus SettingsBatch::Commit() {
  if (!open_) return SettingsStatus::Ok;
  open_ = false;
  Store& s = TheStore();
  SettingsStatus status = SettingsStatus::Ok;
  if (--s.batchDepth == 0 && s.dirty) {
    s.dirty = false;
    try {
      status = Persist(s);
    } catch (const std::bad_alloc&) {
      status = SettingsStatus::NoMemory;
    }
  }
  lock_.unlock();
  return status;
}

std::string SettingsFilePath() {
  try {
    std::lock_guard<std::recursive_mutex> lock(TheStore().mutex);
    return Loaded().file;
  } catch (const std::bad_alloc&) {
    return {};
  }
}

bool TakeSettingsDamage(std::string* file, std::string* setAsideAs) {
  std::lock_guard<std::recursive_mutex> lock(TheStore().mutex);
  Store& s = Loaded();
  if (!s.damaged) return false;
  s.damaged = false;
  try {
    if (file) *file = s.damagedFile;
    if (setAsideAs) *setAsideAs = s.asideFile;
  } catch (const std::bad_alloc&) {
  }
  return true;
}

void ResetSettingsStore() {
  Store& s = TheStore();
  std::lock_guard<std::recursive_mutex> lock(s.mutex);
  s.loaded = false;
  s.writable = true;
  s.file.clear();
  s.keys.clear();
  s.dirty = false;
  s.unsaved = false;
  s.seen = FileStamp{};
  s.damaged = false;
  s.damagedFile.clear();
  s.asideFile.clear();
  s.crashBeforeRename = false;
}

void SetSettingsCrashBeforeRename(bool crash) {
  std::lock_guard<std::recursive_mutex> lock(TheStore().mutex);
  TheStore().crashBeforeRename = crash;
}

}  // namespace lw
