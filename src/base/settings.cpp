#include "base/settings.h"

#include <limits.h>
#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <map>
#include <mutex>
#include <new>

#include "base/preferences.h"
#include "platform/files.h"
#include "platform/settings_store.h"

namespace lw {
namespace {

bool OpenProgramKey(SettingsKey* key) {
  return OpenSettingsKey(ProgramKeyPath, key) == SettingsStatus::Ok;
}

// A key that could only be made in memory still takes values for this session.
bool CreateProgramKey(SettingsKey* key) {
  SettingsStatus status = CreateSettingsKey(ProgramKeyPath, key);
  return status == SettingsStatus::Ok || status == SettingsStatus::WriteFailed;
}

bool ReadString(std::string_view name, std::string* text) {
  SettingsKey key;
  return OpenProgramKey(&key) && QuerySettingsString(key, name, text) == SettingsStatus::Ok;
}

bool WriteString(std::string_view name, std::string_view text) {
  SettingsKey key;
  return CreateProgramKey(&key) && SetSettingsString(key, name, text) == SettingsStatus::Ok;
}

bool WriteBinary(std::string_view name, const uint8_t* data, size_t size) {
  SettingsKey key;
  return CreateProgramKey(&key) &&
         SetSettingsValue(key, name, RegBinary, data, size) == SettingsStatus::Ok;
}

// The text cut after max UTF-8 characters.
std::string_view CutCharacters(std::string_view text, size_t max) {
  size_t count = 0;
  for (size_t i = 0; i < text.size(); ++i) {
    if ((static_cast<unsigned char>(text[i]) & 0xC0) != 0x80 && ++count > max)
      return text.substr(0, i);
  }
  return text;
}

void PutLe16(uint8_t* p, uint32_t v) {
  p[0] = static_cast<uint8_t>(v);
  p[1] = static_cast<uint8_t>(v >> 8);
}
void PutLe32(uint8_t* p, uint32_t v) {
  PutLe16(p, v);
  PutLe16(p + 2, v >> 16);
}
uint32_t GetLe16(const uint8_t* p) { return p[0] | (p[1] << 8); }
uint32_t GetLe32(const uint8_t* p) { return GetLe16(p) | (GetLe16(p + 2) << 16); }

std::string FileValueName(int n) { return "File" + std::to_string(n); }

std::mutex listenerMutex;
std::function<void()> recentListener;

void NotifyRecentFiles() {
  std::function<void()> listener;
  {
    std::lock_guard<std::mutex> lock(listenerMutex);
    listener = recentListener;
  }
  if (listener) listener();
}

// The listed paths in order, up to the first missing entry.
std::vector<std::string> ReadRecentFiles(const SettingsKey& key) {
  std::vector<std::string> files;
  for (int n = 1; n <= MaxRecentFiles; ++n) {
    std::string path;
    if (QuerySettingsString(key, FileValueName(n), &path) != SettingsStatus::Ok) break;
    files.push_back(std::move(path));
  }
  return files;
}

// ---- Desktop entries ----

std::string DataHome() {
  const char* xdg = std::getenv("XDG_DATA_HOME");
  if (xdg && xdg[0] == '/') return xdg;
  const char* home = std::getenv("HOME");
  if (home && home[0] == '/') return std::string(home) + "/.local/share";
  return {};
}

std::vector<std::string> ApplicationFolders() {
  std::vector<std::string> folders;
  std::string home = DataHome();
  if (!home.empty()) folders.push_back(home + "/applications");
  const char* dirs = std::getenv("XDG_DATA_DIRS");
  std::string_view list = (dirs && dirs[0]) ? dirs : "/usr/local/share/:/usr/share/";
  while (!list.empty()) {
    size_t colon = list.find(':');
    std::string_view dir = list.substr(0, colon);
    if (!dir.empty() && dir[0] == '/') folders.push_back(WithTrailingSlash(dir) + "applications");
    if (colon == std::string_view::npos) break;
    list.remove_prefix(colon + 1);
  }
  return folders;
}

std::string UnescapeDesktopValue(std::string_view v) {
  std::string out;
  for (size_t i = 0; i < v.size(); ++i) {
    if (v[i] == '\\' && i + 1 < v.size()) {
      char c = v[++i];
      switch (c) {
        case 's': out.push_back(' '); break;
        case 'n': out.push_back('\n'); break;
        case 't': out.push_back('\t'); break;
        case 'r': out.push_back('\r'); break;
        case '\\': out.push_back('\\'); break;
        default:
          out.push_back('\\');
          out.push_back(c);
          break;
      }
    } else {
      out.push_back(v[i]);
    }
  }
  return out;
}

// The keys of the "Desktop Entry" group, values unescaped; the first of a repeated key holds.
bool ReadDesktopEntry(const std::string& path, std::map<std::string, std::string>* keys) {
  std::string text;
  if (!ReadWholeFile(path, 1 << 20, &text)) return false;
  keys->clear();
  bool inGroup = false;
  std::string_view rest = text;
  while (!rest.empty()) {
    size_t end = rest.find('\n');
    std::string_view line = rest.substr(0, end);
    rest = end == std::string_view::npos ? std::string_view() : rest.substr(end + 1);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    if (line.empty() || line[0] == '#') continue;
    if (line[0] == '[') {
      inGroup = line == "[Desktop Entry]";
      continue;
    }
    size_t eq = line.find('=');
    if (!inGroup || eq == std::string_view::npos) continue;
    std::string_view name = line.substr(0, eq);
    std::string_view value = line.substr(eq + 1);
    while (!name.empty() && name.back() == ' ') name.remove_suffix(1);
    while (!value.empty() && value.front() == ' ') value.remove_prefix(1);
    keys->emplace(std::string(name), UnescapeDesktopValue(value));
  }
  return true;
}

// The program an Exec line starts: its first argument, unquoted.
std::string ExecProgram(std::string_view exec) {
  size_t i = 0;
  while (i < exec.size() && (exec[i] == ' ' || exec[i] == '\t')) ++i;
  std::string out;
  if (i < exec.size() && exec[i] == '"') {
    for (++i; i < exec.size() && exec[i] != '"'; ++i) {
      if (exec[i] == '\\' && i + 1 < exec.size()) ++i;
      out.push_back(exec[i]);
    }
    return out;
  }
  while (i < exec.size() && exec[i] != ' ' && exec[i] != '\t') out.push_back(exec[i++]);
  return out;
}

// The executable as an Exec argument: quoted when it holds a reserved character.
std::string ExecQuote(std::string_view path) {
  std::string plain;
  for (char c : path) {
    plain.push_back(c);
    if (c == '%') plain.push_back('%');
  }
  if (plain.find_first_of(" \t\n\"'\\><~|&;$*?#()`") == std::string::npos) return plain;
  std::string quoted = "\"";
  for (char c : plain) {
    if (c == '"' || c == '`' || c == '$' || c == '\\') quoted.push_back('\\');
    quoted.push_back(c);
  }
  quoted.push_back('"');
  return quoted;
}

std::string EscapeDesktopValue(std::string_view v) {
  std::string out;
  for (char c : v) {
    if (c == '\\')
      out += "\\\\";
    else if (c == '\n')
      out += "\\n";
    else if (c == '\r')
      out += "\\r";
    else
      out.push_back(c);
  }
  return out;
}

std::string GifCommand() {
  std::string program = GetProgramPath();
  return program.empty() ? std::string() : ExecQuote(program) + " %f";
}

// Looks for an application entry that starts a program of the given file name.
bool FindEntryName(const std::string& folder, const std::string& program, int depth, int* budget,
                   std::string* name) {
  std::vector<FolderEntry> entries;
  if (depth > 3 || !ListFolder(folder, "*", &entries)) return false;
  for (const FolderEntry& e : entries) {
    if (--*budget < 0) return false;
    std::string path = folder + "/" + e.name;
    if (e.isFolder) {
      if (FindEntryName(path, program, depth + 1, budget, name)) return true;
      continue;
    }
    if (!WildcardMatch("*.desktop", e.name)) continue;
    std::map<std::string, std::string> keys;
    if (!ReadDesktopEntry(path, &keys) || keys["Hidden"] == "true") continue;
    if (BaseName(ExecProgram(keys["Exec"])) != program) continue;
    std::string found = !keys["Name[fr]"].empty() ? keys["Name[fr]"] : keys["Name"];
    if (found.empty()) continue;
    *name = found;
    return true;
  }
  return false;
}

bool IsDesktopEntryPath(std::string_view path) {
  return path.size() > 8 && path.substr(path.size() - 8) == ".desktop";
}

// The application entries of a folder (and its subfolders, whose names join the id with '-')
// that open images.
void CollectImageEntries(const std::string& folder, const std::string& idPrefix, int depth,
                         int* budget, std::map<std::string, bool>* seen,
                         std::vector<ApplicationEntry>* found) {
  std::vector<FolderEntry> entries;
  if (depth > 3 || !ListFolder(folder, "*", &entries)) return;
  for (const FolderEntry& e : entries) {
    if (--*budget < 0) return;
    std::string path = folder + "/" + e.name;
    if (e.isFolder) {
      CollectImageEntries(path, idPrefix + e.name + "-", depth + 1, budget, seen, found);
      continue;
    }
    if (!WildcardMatch("*.desktop", e.name)) continue;
    std::string id = idPrefix + e.name;
    if (seen->count(id)) continue;
    (*seen)[id] = true;  // a hidden entry hides the same id of later folders too
    std::map<std::string, std::string> keys;
    if (!ReadDesktopEntry(path, &keys)) continue;
    if (keys["Hidden"] == "true" || keys["NoDisplay"] == "true") continue;
    if (keys["Type"] != "Application" || keys["Exec"].empty()) continue;
    if (keys["MimeType"].find("image/") == std::string::npos) continue;
    std::string name = !keys["Name[fr]"].empty() ? keys["Name[fr]"] : keys["Name"];
    if (name.empty()) continue;
    found->push_back({path, name, keys["Icon"]});
  }
}

}  // namespace

// ---- Signature comment ----

std::string GetSignature(bool force) {
  try {
    if (!force && (GetPref(PrefFlags) & NoSignatureComment)) return {};
    SettingsKey key;
    if (!OpenProgramKey(&key)) return {};
    std::string text;
    SettingsStatus status = QuerySettingsString(key, "Sig", &text);
    if (status == SettingsStatus::NotFound) return DefaultSignature;
    if (status != SettingsStatus::Ok) return {};
    return std::string(CutCharacters(text, MaxSignatureLength));
  } catch (const std::bad_alloc&) {
    return {};
  }
}

bool SetSignature(std::string_view text) {
  return WriteString("Sig", CutCharacters(text, MaxSignatureLength));
}

namespace {

// The UTF-8 text in Latin-1, as older versions wrote comments; false when a character has no
// Latin-1 form.
bool ToLatin1(std::string_view text, std::string* out) {
  out->clear();
  for (size_t i = 0; i < text.size(); ++i) {
    auto c = static_cast<unsigned char>(text[i]);
    if (c < 0x80) {
      out->push_back(static_cast<char>(c));
    } else if ((c == 0xC2 || c == 0xC3) && i + 1 < text.size() &&
               (static_cast<unsigned char>(text[i + 1]) & 0xC0) == 0x80) {
      out->push_back(
          static_cast<char>(((c & 0x03) << 6) | (static_cast<unsigned char>(text[++i]) & 0x3F)));
    } else {
      return false;
    }
  }
  return true;
}

}  // namespace

bool IsSignatureComment(std::string_view text) {
  // Older versions wrote the signature in Latin-1; it is recognised in both encodings, so that
  // a save replaces it rather than adding a second one.
  constexpr std::string_view mark = "Réalisé avec Loopwright";
  constexpr std::string_view latin1Mark =
      "R\xE9"
      "alis\xE9 avec Loopwright";
  if (text.substr(0, mark.size()) == mark || text.substr(0, latin1Mark.size()) == latin1Mark)
    return true;
  try {
    std::string current = GetSignature(true);
    if (current.empty()) return false;
    if (text == current) return true;
    std::string latin1;
    return ToLatin1(current, &latin1) && text == latin1;
  } catch (const std::bad_alloc&) {
    return false;
  }
}

// ---- Fixed palette ----

bool SaveFixedPalette(const FixedPalette& palette) {
  uint8_t bytes[FixedPaletteBytes] = {};
  PutLe16(bytes, 0x0300);
  PutLe16(bytes + 2, palette.count);
  for (size_t i = 0; i < 256; ++i)
    for (size_t c = 0; c < 4; ++c) bytes[4 + i * 4 + c] = palette.entries[i][c];
  return WriteBinary("FixedPal", bytes, sizeof bytes);
}

bool LoadFixedPalette(FixedPalette* palette) {
  try {
    SettingsKey key;
    std::vector<uint8_t> data;
    if (!OpenProgramKey(&key) ||
        QuerySettingsValue(key, "FixedPal", nullptr, &data) != SettingsStatus::Ok)
      return false;
    if (data.size() < 4 || data.size() > FixedPaletteBytes) return false;
    size_t present = (data.size() - 4) / 4;
    size_t count = std::min<size_t>({GetLe16(&data[2]), 256, present});
    if (count == 0) return false;
    *palette = FixedPalette{};
    palette->count = static_cast<uint16_t>(count);
    for (size_t i = 0; i < count; ++i)
      for (size_t c = 0; c < 4; ++c) palette->entries[i][c] = data[4 + i * 4 + c];
    return true;
  } catch (const std::bad_alloc&) {
    return false;
  }
}

// ---- External image editor ----

bool GetCoEditor(std::string* path) {
  try {
    return ReadString("CoEdit", path);
  } catch (const std::bad_alloc&) {
    return false;
  }
}

bool SetCoEditor(std::string_view path) {
  try {
    bool stored = WriteString("CoEdit", path);
    SetPrefBits(PrefFlags2, CoEditorIsPhotoshop, CoEditorTakesLayers(path));
    return stored;
  } catch (const std::bad_alloc&) {
    return false;
  }
}

std::string CoEditorProgram(std::string_view path) {
  try {
    if (!IsDesktopEntryPath(path)) return std::string(path);
    std::map<std::string, std::string> keys;
    if (!ReadDesktopEntry(std::string(path), &keys)) return {};
    return ExecProgram(keys["Exec"]);
  } catch (const std::bad_alloc&) {
    return {};
  }
}

bool CoEditorTakesLayers(std::string_view path) {
  try {
    std::string program = FoldCase(BaseName(CoEditorProgram(path)));
    std::string entry = IsDesktopEntryPath(path) ? FoldCase(BaseName(path)) : std::string();
    constexpr std::string_view photoshop = "photoshp.exe";
    if (program.size() >= photoshop.size() &&
        std::string_view(program).substr(program.size() - photoshop.size()) == photoshop)
      return true;
    // GIMP and Krita open and save layered PSD files as well.
    for (const std::string& name : {program, entry})
      if (name.find("gimp") != std::string::npos || name.find("krita") != std::string::npos)
        return true;
    return false;
  } catch (const std::bad_alloc&) {
    return false;
  }
}

std::string CoEditorDisplayName(std::string_view path) {
  try {
    if (IsDesktopEntryPath(path)) {
      std::map<std::string, std::string> keys;
      if (ReadDesktopEntry(std::string(path), &keys)) {
        std::string name = !keys["Name[fr]"].empty() ? keys["Name[fr]"] : keys["Name"];
        if (!name.empty()) return name;
      }
    }
    std::string name = BaseName(path);
    if (name.empty()) return name;
    int budget = 5000;  // entries looked at, whatever the folders hold
    for (const std::string& folder : ApplicationFolders()) {
      std::string found;
      if (FindEntryName(folder, name, 0, &budget, &found)) return found;
    }
    return name;
  } catch (const std::bad_alloc&) {
    return {};
  }
}

std::vector<std::string> CoEditorCommandLine(std::string_view editor, const std::string& file) {
  try {
    if (!IsDesktopEntryPath(editor)) return {std::string(editor), file};
    std::map<std::string, std::string> keys;
    if (!ReadDesktopEntry(std::string(editor), &keys)) return {};
    return ExpandExecLine(keys["Exec"], file, keys["Icon"],
                          !keys["Name[fr]"].empty() ? keys["Name[fr]"] : keys["Name"],
                          std::string(editor));
  } catch (const std::bad_alloc&) {
    return {};
  }
}

std::vector<std::string> ExpandExecLine(std::string_view exec, const std::string& file,
                                        const std::string& icon, const std::string& name,
                                        const std::string& entryPath) {
  // Arguments split at blanks outside double quotes; inside them \ escapes " ` $ and \.
  std::vector<std::string> words;
  std::vector<bool> quoted;
  size_t i = 0;
  while (i < exec.size()) {
    while (i < exec.size() && (exec[i] == ' ' || exec[i] == '\t')) ++i;
    if (i >= exec.size()) break;
    std::string word;
    bool anyQuote = false;
    while (i < exec.size() && exec[i] != ' ' && exec[i] != '\t') {
      if (exec[i] == '"') {
        anyQuote = true;
        for (++i; i < exec.size() && exec[i] != '"'; ++i) {
          if (exec[i] == '\\' && i + 1 < exec.size()) ++i;
          word.push_back(exec[i]);
        }
        if (i < exec.size()) ++i;  // the closing quote
      } else {
        word.push_back(exec[i++]);
      }
    }
    words.push_back(std::move(word));
    quoted.push_back(anyQuote);
  }
  std::vector<std::string> argv;
  bool fileGiven = false;
  for (size_t w = 0; w < words.size(); ++w) {
    const std::string& word = words[w];
    if (!quoted[w] && word == "%i") {
      if (!icon.empty()) argv.insert(argv.end(), {"--icon", icon});
      continue;
    }
    std::string out;
    for (size_t c = 0; c < word.size(); ++c) {
      if (word[c] != '%' || c + 1 >= word.size()) {
        out.push_back(word[c]);
        continue;
      }
      switch (char code = word[++c]) {
        case 'f':
        case 'F':
        case 'u':
        case 'U':
          // Only the first file code gets the file; a local path serves for the URL ones.
          if (!fileGiven) out += file;
          fileGiven = true;
          break;
        case 'c': out += name; break;
        case 'k': out += entryPath; break;
        case '%': out.push_back('%'); break;
        default: (void)code; break;  // deprecated or unknown codes are dropped
      }
    }
    // A word that was only a list code with nothing left gives no argument.
    if (out.empty() && !quoted[w] && word.size() == 2 && word[0] == '%') continue;
    argv.push_back(std::move(out));
  }
  if (argv.empty()) return argv;
  if (!fileGiven) argv.push_back(file);
  return argv;
}

std::vector<ApplicationEntry> ImageEditorEntries() {
  std::vector<ApplicationEntry> found;
  try {
    std::map<std::string, bool> seen;  // desktop file ids: the first folder wins
    int budget = 5000;
    for (const std::string& folder : ApplicationFolders())
      CollectImageEntries(folder, "", 0, &budget, &seen, &found);
    std::sort(found.begin(), found.end(), [](const ApplicationEntry& a, const ApplicationEntry& b) {
      return CompareNamesNoCase(a.name, b.name) < 0;
    });
  } catch (const std::bad_alloc&) {
  }
  return found;
}

// ---- Folder of the open dialogs ----

bool GetInitDir(std::string* dir) {
  try {
    return ReadString("InitDir", dir);
  } catch (const std::bad_alloc&) {
    return false;
  }
}

bool SetInitDir(std::string_view dir) {
  try {
    return !dir.empty() && WriteString("InitDir", WithTrailingSlash(dir));
  } catch (const std::bad_alloc&) {
    return false;
  }
}

bool SetInitDirFromFile(std::string_view file) {
  try {
    return SetInitDir(DirectoryPart(file));
  } catch (const std::bad_alloc&) {
    return false;
  }
}

// ---- Folder of the palette files ----

bool GetPaletteDir(std::string* dir) {
  try {
    return ReadString("PalDir", dir) || GetInitDir(dir);
  } catch (const std::bad_alloc&) {
    return false;
  }
}

bool SetPaletteDirFromFile(std::string_view file) {
  try {
    std::string dir = DirectoryPart(file);
    return !dir.empty() && WriteString("PalDir", WithTrailingSlash(dir));
  } catch (const std::bad_alloc&) {
    return false;
  }
}

// ---- Recent files ----

bool RecentFileAdd(std::string_view path) {
  if (path.empty()) return false;
  SettingsStatus status = SettingsStatus::Ok;
  try {
    SettingsKey key;
    if (!CreateProgramKey(&key)) return false;
    SettingsBatch batch;
    std::string carry(path);
    for (int n = 1; n <= MaxRecentFiles; ++n) {
      std::string old;
      bool existed = QuerySettingsString(key, FileValueName(n), &old) == SettingsStatus::Ok;
      SetSettingsString(key, FileValueName(n), carry);
      if (!existed || old == path) break;
      carry = std::move(old);
    }
    status = batch.Commit();
  } catch (const std::bad_alloc&) {
    return false;
  }
  NotifyRecentFiles();
  return status == SettingsStatus::Ok;
}

bool RecentFileRemove(std::string_view path) {
  try {
    SettingsKey key;
    if (!OpenProgramKey(&key)) return false;
    {
      SettingsBatch batch;
      std::vector<std::string> files = ReadRecentFiles(key);
      size_t at = 0;
      while (at < files.size() && files[at] != path) ++at;
      if (at == files.size()) return false;
      for (size_t k = at; k + 1 < files.size(); ++k)
        SetSettingsString(key, FileValueName(static_cast<int>(k + 1)), files[k + 1]);
      DeleteSettingsValue(key, FileValueName(static_cast<int>(files.size())));
    }
    NotifyRecentFiles();
    return true;
  } catch (const std::bad_alloc&) {
    return false;
  }
}

bool RecentFileGet(int n, std::string* path) {
  if (n < 1 || n > MaxRecentFiles) return false;
  try {
    return ReadString(FileValueName(n), path);
  } catch (const std::bad_alloc&) {
    return false;
  }
}

void RecentFilesPrune() {
  try {
    SettingsKey key;
    if (!CreateProgramKey(&key)) return;
    SettingsBatch batch;
    int kept = 0;
    int n = 1;
    for (; n <= MaxRecentFiles; ++n) {
      std::string path;
      if (QuerySettingsString(key, FileValueName(n), &path) != SettingsStatus::Ok) break;
      DeleteSettingsValue(key, FileValueName(n));
      if (FileReadable(path)) SetSettingsString(key, FileValueName(++kept), path);
    }
    // Entries past a gap would come back into view as soon as the gap is filled.
    for (++n; n <= MaxRecentFiles; ++n) DeleteSettingsValue(key, FileValueName(n));
  } catch (const std::bad_alloc&) {
  }
}

std::vector<RecentFileMenuEntry> RecentFilesMenuEntries() {
  std::vector<RecentFileMenuEntry> entries;
  try {
    SettingsKey key;
    if (!OpenProgramKey(&key)) return entries;
    std::vector<std::string> files = ReadRecentFiles(key);
    for (size_t i = 0; i < files.size(); ++i) {
      int n = static_cast<int>(i + 1);
      RecentFileMenuEntry entry;
      // Appended piece by piece: g++ 12 warns falsely on "literal" + std::string at -O2.
      entry.label = "&";
      entry.label += std::to_string(n);
      entry.label += ": ";
      entry.label += BaseName(files[i]);
      entry.command = RecentFileCommandBase + n;
      entry.path = std::move(files[i]);
      entries.push_back(std::move(entry));
    }
  } catch (const std::bad_alloc&) {
    entries.clear();
  }
  return entries;
}

void SetRecentFilesListener(std::function<void()> listener) {
  std::lock_guard<std::mutex> lock(listenerMutex);
  recentListener = std::move(listener);
}

// ---- Main window placement ----

bool SaveWindowPlacement(const WindowPlacement& p) {
  uint8_t bytes[44];
  const uint32_t fields[11] = {p.length,
                               p.flags,
                               p.showCmd,
                               static_cast<uint32_t>(p.minPosition.x),
                               static_cast<uint32_t>(p.minPosition.y),
                               static_cast<uint32_t>(p.maxPosition.x),
                               static_cast<uint32_t>(p.maxPosition.y),
                               static_cast<uint32_t>(p.normalPosition.left),
                               static_cast<uint32_t>(p.normalPosition.top),
                               static_cast<uint32_t>(p.normalPosition.right),
                               static_cast<uint32_t>(p.normalPosition.bottom)};
  for (int i = 0; i < 11; ++i) PutLe32(bytes + 4 * i, fields[i]);
  try {
    return WriteBinary("Placement", bytes, sizeof bytes);
  } catch (const std::bad_alloc&) {
    return false;
  }
}

bool LoadWindowPlacement(WindowPlacement* placement) {
  try {
    SettingsKey key;
    std::vector<uint8_t> data;
    if (!OpenProgramKey(&key) ||
        QuerySettingsValue(key, "Placement", nullptr, &data) != SettingsStatus::Ok)
      return false;
    if (data.size() != 44 || GetLe32(data.data()) != 44) return false;
    auto field = [&](int i) { return GetLe32(&data[4 * i]); };
    auto sfield = [&](int i) { return static_cast<int32_t>(field(i)); };
    placement->length = field(0);
    placement->flags = field(1);
    placement->showCmd = field(2);
    placement->minPosition = {sfield(3), sfield(4)};
    placement->maxPosition = {sfield(5), sfield(6)};
    placement->normalPosition = {sfield(7), sfield(8), sfield(9), sfield(10)};
    return true;
  } catch (const std::bad_alloc&) {
    return false;
  }
}

// ---- Program folder and the GIF entry ----

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

bool GetProgramDir(std::string* dir) {
  try {
    auto accept = [&](const std::string& candidate) {
      if (candidate.empty() || !IsFolder(candidate)) return false;
      char real[PATH_MAX];
      *dir = ::realpath(candidate.c_str(), real) ? real : candidate;
      while (dir->size() > 1 && dir->back() == '/') dir->pop_back();
      return true;
    };
    const char* env = std::getenv("LOOPWRIGHT_SHARE");
    if (env && accept(env)) return true;
    std::string program = GetProgramPath();
    if (!program.empty() && accept(DirectoryPart(program) + "../share/loopwright")) return true;
#ifdef LW_SOURCE_SHARE_DIR
    if (accept(LW_SOURCE_SHARE_DIR)) return true;
#endif
    dir->clear();
    return false;
  } catch (const std::bad_alloc&) {
    return false;
  }
}

std::string GifEntryPath() {
  try {
    std::string home = DataHome();
    return home.empty() ? std::string() : home + "/applications/loopwright-editer.desktop";
  } catch (const std::bad_alloc&) {
    return {};
  }
}

bool IsGifAssociated() {
  try {
    std::string entry = GifEntryPath();
    std::map<std::string, std::string> keys;
    if (entry.empty() || !ReadDesktopEntry(entry, &keys)) return false;
    std::string command = GifCommand();
    const std::string& exec = keys["Exec"];
    return !command.empty() && !exec.empty() && FoldCase(exec) == FoldCase(command);
  } catch (const std::bad_alloc&) {
    return false;
  }
}

bool AssociateGif() {
  try {
    std::string entry = GifEntryPath();
    std::string command = GifCommand();
    if (entry.empty() || command.empty() || !CreateFolders(DirectoryPart(entry))) return false;
    std::string text =
        "[Desktop Entry]\n"
        "Type=Application\n"
        "Name=" +
        std::string(TableText(str::EditWithVerb)) +
        "\n"
        "Exec=" +
        EscapeDesktopValue(command) +
        "\n"
        "MimeType=image/gif;\n"
        "NoDisplay=true\n"
        "Terminal=false\n";
    return ReplaceFileContents(entry, text);
  } catch (const std::bad_alloc&) {
    return false;
  }
}

bool UnassociateGif() {
  try {
    std::string entry = GifEntryPath();
    if (entry.empty()) return false;
    DeleteFile(entry);
    return !FileExists(entry);
  } catch (const std::bad_alloc&) {
    return false;
  }
}

}  // namespace lw
