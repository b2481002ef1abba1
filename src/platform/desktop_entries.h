// The desktop's application entries (".desktop" files): the image editors they offer, the
// command that starts one, and the entry that offers this program for GIF files.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace lw {

// ---- Desktop entries ----

// True for a path ending in ".desktop".
bool IsDesktopEntryPath(std::string_view path);

// The applications of the desktop's entries that open images, sorted by name.
struct ApplicationEntry {
  std::string path;  // the .desktop file
  std::string name;
  std::string icon;  // the entry's Icon value
};
std::vector<ApplicationEntry> ImageEditorEntries();

// ---- External image editor ----

// An editor is a program's path, or the path of the desktop entry (".desktop") that starts it.
// The name to show for an editor: its desktop entry's name when one starts it, else its file name.
std::string CoEditorDisplayName(std::string_view path);
// The program an editor runs (a desktop entry's Exec program; empty when unreadable).
std::string CoEditorProgram(std::string_view path);
// Photoshop, GIMP and Krita open and save layered PSD files.
bool CoEditorTakesLayers(std::string_view path);
// The command that opens file in the editor: the program and the file, or the desktop entry's
// Exec line with its field codes filled in (the file appended when the line takes none).
// Empty when the entry cannot be read.
std::vector<std::string> CoEditorCommandLine(std::string_view editor, const std::string& file);
// An Exec line's arguments, with %f %F %u %U (the file), %i, %c, %k and %% filled in.
std::vector<std::string> ExpandExecLine(std::string_view exec, const std::string& file,
                                        const std::string& icon, const std::string& name,
                                        const std::string& entryPath);

// ---- The GIF entry ----

// The user's desktop entry that offers this program for GIF files beside the default
// application, which stays as the user chose it.
std::string GifEntryPath();
// True when the entry exists and starts this very executable.
bool IsGifAssociated();
// Writes the entry, shown under name.
bool WriteGifEntry(std::string_view name);
bool UnassociateGif();

}  // namespace lw
