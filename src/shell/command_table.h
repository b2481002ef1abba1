// The command table: for every command id, its menu label, tooltip, enabling rule and checked
// state, plus the layouts of the menus, the main toolbar and the strip's context menus. The
// window builds its actions and menus from these rows and runs every enabled and checked state
// through CommandEnabled and CommandChecked, so no view decides an enabled state on its own.
#pragma once

#include <cstdint>
#include <span>
#include <string>

namespace lw {

// When a command can run.
enum class Enable : uint8_t {
  Always,
  Document,         // an animation is open
  Frames,           // it has at least one frame
  Current,          // there is a current frame
  TwoFrames,        // two frames or more
  Modified,         // open and modified
  Revertible,       // modified with a file to go back to
  CoEditAnimation,  // open, and the co-editor takes layered files
  LiveEditSession,  // a LiveEdit session runs
  LocalPalette,     // the current frame has a local palette
  GlobalPalette,    // the animation has a global palette
  Clipboard,        // the clipboard holds frames or an image
  PreviewOpen,
  ZoomIn,      // open and not at the largest zoom
  ZoomOut,     // open and not at the smallest zoom
  ActualSize,  // open and zoomed
  Undo,
  Redo,
  OneFrame,            // a current frame and fewer than two selected
  OneFrameTrueColour,  // the same, when 24-bit data is kept
  OneFrameLocalPalette,
};

// How a checkable command finds its checked state; param is the row's value.
enum class Check : uint8_t {
  None,  // not checkable, or its view sets it from the frame shown
  PreviewOpen,
  PropertiesBarShown,
  FrameTips,
  ZoomLevel,         // checked when the zoom level is param
  Orientation,       // checked when the strip orientation is param
  TransparencyMode,  // checked when the transparency display mode is param
  ModemSpeed,        // checked when the modem speed index is param
};

// What the rules look at, gathered by the window at each refresh.
struct DocumentFacts {
  bool document = false;
  int frameCount = 0;
  int currentFrame = -1;
  int selectedCount = 0;
  bool modified = false;
  bool hasPath = false;
  bool currentHasLocalPalette = false;
  bool globalPalette = false;
  bool clipboardHasFrames = false;
  bool previewOpen = false;
  bool canUndo = false;
  bool canRedo = false;
  bool coEditorTakesLayers = false;
  bool liveEditSession = false;
  bool keepTrueColour = false;
  bool propertiesBarShown = true;
  bool frameTips = false;
  int zoomLevel = 0;
  int orientation = 0;
  int transparencyMode = 0;
  int modemSpeed = 0;
};

struct CommandSpec {
  int id;
  int labelId;  // string id of the menu label; 0 for toolbar-only commands
  Enable rule;
  bool checkable;
  Check check;
  int param;          // value of the check rule; zoom level, orientation, mode or speed index
  int pendingHintId;  // string id saying which later version brings it; 0 when it works
};

bool CommandEnabled(Enable rule, const DocumentFacts& facts);
// Enabled and not waiting for a later version.
bool CommandAvailable(const CommandSpec& row, const DocumentFacts& facts);
bool CommandChecked(const CommandSpec& row, const DocumentFacts& facts);

std::span<const CommandSpec> CommandTable();
// The row of a command id; none for ids outside the table (recent files, ...).
const CommandSpec* FindCommand(int id);

// The menu label ("&Ouvrir..."), empty for an id without one.
std::string CommandLabel(int id);
// The tooltip: the string-table text of the command's own id, else the label without its
// accelerator marks, blanks and trailing dots; a command waiting for a later version adds why.
std::string CommandTooltip(int id);

// ---- Layouts

enum class Item : uint8_t {
  Command,  // id: a command id
  Separator,
  Submenu,  // id: string id of the title; items up to the matching End; rule greys it
  End,
  RecentFiles,  // where the recent-file entries go (File menu)
};

struct MenuItem {
  Item kind;
  int id;
  Enable rule;
};

// The menu bar: top-level menus are Submenu ... End groups.
std::span<const MenuItem> MainMenuLayout();
// The main toolbar (commands and separators).
std::span<const MenuItem> MainToolbarLayout();
// The strip's context menu over selected frames, and over empty space.
std::span<const MenuItem> FrameMenuLayout(bool anySelected);
// The text a strip menu shows for a command instead of its label (0 for the label).
int FrameMenuLabel(int command, bool anySelected);

}  // namespace lw
