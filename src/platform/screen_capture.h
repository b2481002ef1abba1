// Pictures of the screen, for recording it: a rectangle of the whole screen taken at a time, with
// or without the pointer drawn in. On X11 the pictures come from the X server itself (shared
// memory when the server offers it, else plain image requests). A Wayland desktop is not asked
// here, even when it runs an X server for older programs: that server's screen shows only those
// programs, the others being black there.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace lw {

struct CaptureArea {
  int32_t x = 0;
  int32_t y = 0;
  uint32_t width = 0;
  uint32_t height = 0;
  bool operator==(const CaptureArea&) const = default;
};

enum class CaptureError {
  None,
  NoDisplay,       // neither X11 nor Wayland is named in the environment
  Wayland,         // a Wayland session: only the desktop's portal shares its screen
  NotConnected,    // the X server named could not be reached
  UnusableScreen,  // a screen whose pixels are not true colour of 15 to 32 bits
  OutsideScreen,   // the area is empty or not wholly on the screen
  GrabFailed,      // the server refused the picture
  NoMemory,
};

class ScreenCapture {
 public:
  virtual ~ScreenCapture() = default;
  ScreenCapture() = default;
  ScreenCapture(const ScreenCapture&) = delete;
  ScreenCapture& operator=(const ScreenCapture&) = delete;

  virtual uint32_t ScreenWidth() const = 0;
  virtual uint32_t ScreenHeight() const = 0;
  // Takes the area's picture into *bgr: rows of (3 x width + 3) & ~3 bytes, blue, green, red, top
  // row first (the buffer is reused when it has the size already). pointer: the pointer's
  // picture is drawn over it where it is.
  virtual CaptureError Grab(const CaptureArea& area, bool pointer, std::vector<uint8_t>* bgr) = 0;
};

// Opens the X server named by display (empty: $DISPLAY). None on failure, the reason in *error.
// sharedMemory false: plain image requests only, as over a network.
std::unique_ptr<ScreenCapture> OpenX11Capture(const std::string& display, CaptureError* error,
                                              bool sharedMemory = true);

// The capture this session offers: the X server of $DISPLAY, else the reason there is none
// (a WaylandSession: Wayland).
std::unique_ptr<ScreenCapture> OpenScreenCapture(CaptureError* error);

// A Wayland session: $WAYLAND_DISPLAY names its display, whatever $DISPLAY says (the X server a
// Wayland desktop runs shows only the programs that use X11). The screen is then shared through
// the desktop, not taken here.
bool WaylandSession();

// The areas of the top-level windows shown on the X server's screen (their frames when a window
// manager framed them), topmost first, each clipped to the screen; empty when the server cannot
// be asked.
std::vector<CaptureArea> X11WindowAreas(const std::string& display);

// A key combination taken from the whole X server, whichever window has the focus.
class GlobalKey {
 public:
  virtual ~GlobalKey() = default;
  // Whether it was pressed since the last call (never blocks).
  virtual bool Pressed() = 0;
};

// Ctrl+Alt+letter (a to z) on the X server named by display, with or without Num Lock and Caps
// Lock. None when the server cannot be reached or another program holds the combination.
std::unique_ptr<GlobalKey> GrabCtrlAltKey(const std::string& display, char letter);

}  // namespace lw
