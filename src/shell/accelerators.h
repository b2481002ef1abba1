// The main window's keyboard accelerators: key, modifiers, command.
#pragma once

#include "shell/command_ids.h"

namespace lw {

namespace keymod {
constexpr unsigned None = 0;
constexpr unsigned Ctrl = 1;
constexpr unsigned Shift = 2;
}  // namespace keymod

struct Accelerator {
  const char* key;     // portable key name ("A", "1", "Del", "F1"), as key sequences spell them
  unsigned modifiers;  // keymod bits
  int command;         // lw::cmd id
};

// Ctrl+letter works with or without Shift, so Ctrl+Shift+S saves and Ctrl+Shift+A is Save As;
// the digits and Z are bound without Shift only, which leaves Ctrl+Shift+Z to Redo.
inline constexpr Accelerator kAccelerators[] = {
    {"A", keymod::Ctrl, cmd::FileSaveAs},
    {"A", keymod::Ctrl | keymod::Shift, cmd::FileSaveAs},
    {"C", keymod::Ctrl, cmd::Copy},
    {"C", keymod::Ctrl | keymod::Shift, cmd::Copy},
    {"F", keymod::Ctrl, cmd::FrameProperties},
    {"F", keymod::Ctrl | keymod::Shift, cmd::FrameProperties},
    {"G", keymod::Ctrl, cmd::GlobalFrameProperties},
    {"G", keymod::Ctrl | keymod::Shift, cmd::GlobalFrameProperties},
    {"I", keymod::Ctrl, cmd::InsertFrames},
    // Ctrl+L lays a legend (text), Ctrl+M a picture (image) over the selected frames.
    {"L", keymod::Ctrl, cmd::FrameAddText},
    {"L", keymod::Ctrl | keymod::Shift, cmd::FrameAddText},
    {"M", keymod::Ctrl, cmd::FrameAddImage},
    {"M", keymod::Ctrl | keymod::Shift, cmd::FrameAddImage},
    {"I", keymod::Ctrl | keymod::Shift, cmd::InsertFrames},
    {"N", keymod::Ctrl, cmd::NewAnimation},
    {"N", keymod::Ctrl | keymod::Shift, cmd::NewAnimation},
    {"O", keymod::Ctrl, cmd::FileOpen},
    {"O", keymod::Ctrl | keymod::Shift, cmd::FileOpen},
    {"P", keymod::Ctrl, cmd::Preview},
    {"P", keymod::Ctrl | keymod::Shift, cmd::Preview},
    {"R", keymod::Ctrl, cmd::ReduceColours},
    {"R", keymod::Ctrl | keymod::Shift, cmd::ReduceColours},
    {"S", keymod::Ctrl, cmd::FileSave},
    {"S", keymod::Ctrl | keymod::Shift, cmd::FileSave},
    {"T", keymod::Ctrl, cmd::Optimize},
    {"T", keymod::Ctrl | keymod::Shift, cmd::Optimize},
    {"V", keymod::Ctrl, cmd::Paste},
    {"V", keymod::Ctrl | keymod::Shift, cmd::Paste},
    {"X", keymod::Ctrl, cmd::Cut},
    {"X", keymod::Ctrl | keymod::Shift, cmd::Cut},
    {"Del", keymod::None, cmd::Delete},
    {"F1", keymod::None, cmd::HelpContents},
    {"1", keymod::Ctrl, cmd::ZoomIn},
    {"2", keymod::Ctrl, cmd::ZoomOut},
    {"Z", keymod::Ctrl, cmd::Undo},
    {"Z", keymod::Ctrl | keymod::Shift, cmd::Redo},
    // As on every Linux desktop: Ctrl+Y redoes, as the menu text says, and Ctrl+Q quits.
    {"Y", keymod::Ctrl, cmd::Redo},
    {"Q", keymod::Ctrl, cmd::Exit},
};

}  // namespace lw
