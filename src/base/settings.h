// The named settings beside the preference words (signature, fixed palette, co-editor, open
// folder, recent files, window placement) and the "Editer avec Loopwright" entry for GIF files.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "base/string_ids.h"
#include "base/strings.h"

namespace lw {

// ---- Signature comment ----

constexpr size_t MaxSignatureLength = 255;  // characters
inline constexpr const char* DefaultSignature = TableText(str::DefaultSignature);

// The signature text, empty when there is none. Without force, empty when NoSignatureComment
// is set.
std::string GetSignature(bool force = false);
// Stores the text, cut to MaxSignatureLength characters.
bool SetSignature(std::string_view text);
// True for a comment that the program wrote as its signature.
bool IsSignatureComment(std::string_view text);

// ---- Fixed palette ----

struct FixedPalette {
  uint16_t count = 0;                                 // 1..256 entries used
  std::array<std::array<uint8_t, 4>, 256> entries{};  // red, green, blue, flags
};
constexpr size_t FixedPaletteBytes = 1028;

bool SaveFixedPalette(const FixedPalette& palette);
// False when none is stored or what is stored holds no entry.
bool LoadFixedPalette(FixedPalette* palette);

// ---- External image editor ----

// The editor is a program's path, or the path of the desktop entry (".desktop") that starts it.
bool GetCoEditor(std::string* path);
// Stores the editor and notes in PrefFlags2 whether it takes layered PSD files.
bool SetCoEditor(std::string_view path);
// The name, program and command of an editor are in platform/desktop_entries.h.

// ---- Folder of the open dialogs ----

bool GetInitDir(std::string* dir);
// Stores a folder, with a trailing '/'.
bool SetInitDir(std::string_view dir);
// Stores the folder of a chosen file.
bool SetInitDirFromFile(std::string_view file);

// ---- Folder of the palette files ----

// The folder the palette editor last loaded from or exported to, else the open dialogs' folder.
bool GetPaletteDir(std::string* dir);
// Stores the folder of a chosen palette file.
bool SetPaletteDirFromFile(std::string_view file);

// ---- Recent files ----

constexpr int MaxRecentFiles = 7;
constexpr int RecentFileCommandBase = 40149;  // entry n has command 40149 + n

// Puts the path first, moving it up when listed and dropping the oldest past seven.
bool RecentFileAdd(std::string_view path);
// Takes the path out of the list; true when it was listed.
bool RecentFileRemove(std::string_view path);
// Entry n (1..7).
bool RecentFileGet(int n, std::string* path);
// At start-up: keeps only the entries whose files can still be read, without gaps; creates the
// program's key.
void RecentFilesPrune();

struct RecentFileMenuEntry {
  std::string label;  // "&1: name.gif"
  int command = 0;
  std::string path;
};
// The services hear of every change to the list (RecentFilesChanged), so that the menu can be
// rebuilt.
std::vector<RecentFileMenuEntry> RecentFilesMenuEntries();

// ---- Main window placement (the 44-byte layout of the Windows version) ----

struct WindowPlacement {
  struct Point {
    int32_t x = 0, y = 0;
  };
  struct Rect {
    int32_t left = 0, top = 0, right = 0, bottom = 0;
  };
  uint32_t length = 44;
  uint32_t flags = 0;
  uint32_t showCmd = 1;  // 1 normal, 2 minimised, 3 maximised
  Point minPosition;
  Point maxPosition;
  Rect normalPosition;
};
constexpr uint32_t ShowMaximized = 3;

bool SaveWindowPlacement(const WindowPlacement& placement);
// False unless a complete placement is stored.
bool LoadWindowPlacement(WindowPlacement* placement);

// ---- The GIF entry ----

// Writes the desktop entry that offers "Editer avec Loopwright" for GIF files (the default
// application stays as the user chose it); GifEntryPath, IsGifAssociated and UnassociateGif
// are in platform/desktop_entries.h.
bool AssociateGif();

}  // namespace lw
