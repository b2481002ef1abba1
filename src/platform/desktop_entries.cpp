#include "platform/desktop_entries.h"

#include <algorithm>
#include <cstdlib>
#include <map>
#include <new>

#include "platform/files.h"

namespace lw {
namespace {

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

// ---- Desktop entries ----

bool IsDesktopEntryPath(std::string_view path) {
  return path.size() > 8 && path.substr(path.size() - 8) == ".desktop";
}

// The application entries of a folder (and its subfolders, whose names join the id with '-')
// ---- External image editor ----

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

// ---- The GIF entry ----

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

bool WriteGifEntry(std::string_view name) {
  try {
    std::string entry = GifEntryPath();
    std::string command = GifCommand();
    if (entry.empty() || command.empty() || !CreateFolders(DirectoryPart(entry))) return false;
    std::string text =
        "[Desktop Entry]\n"
        "Type=Application\n"
        "Name=" +
        EscapeDesktopValue(name) +
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
