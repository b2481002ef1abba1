// Small documents drawn in code for the window tests, and a private settings folder.
#pragma once

#include <QTemporaryDir>
#include <cstdlib>
#include <vector>

#include "base/preferences.h"
#include "core/animation.h"
#include "platform/headless_services.h"
#include "ui/services/qt_services.h"

namespace lw::uitest {

// Points the settings at a folder of their own; call before anything reads or writes them.
inline void UsePrivateSettings(QTemporaryDir& dir) {
  setenv("XDG_CONFIG_HOME", (dir.path() + "/config").toLocal8Bit().constData(), 1);
  setenv("XDG_DATA_HOME", (dir.path() + "/data").toLocal8Bit().constData(), 1);
}

// What a window test starts from: private settings, no automatic preview, no first-start
// question, quiet headless services for messages and questions, which the test scripts, and
// the Qt services for the window's notifications and the progress popups.
inline void StartWindowTests(QTemporaryDir& dir, HeadlessServices& services) {
  UsePrivateSettings(dir);
  LoadPreferences();
  SetPrefOn(Pref::NoAutoPreview, true);
  SetPrefOn(Pref::FirstStartDone, true);
  InstallQtServices();
  services.SetEcho(false);
  services.ShareWindowWith(&DesktopServices());
  SetServices(&services);
}

inline void EndWindowTests() {
  SetServices(nullptr);
  UninstallQtServices();
}

// Eight clearly different colours, then grey ramp.
inline PalettePtr TestPalette() {
  std::vector<uint8_t> rgb = {0,   0,   0, 255, 0,   0,   0,   160, 0,   0,   0,   255,
                              255, 255, 0, 0,   255, 255, 255, 0,   255, 255, 255, 255};
  for (int i = 8; i < 16; ++i) rgb.insert(rgb.end(), 3, static_cast<uint8_t>(i * 15));
  return PaletteFromTriples(16, rgb.data());
}

inline AnimationPtr MakeDocument(uint32_t width, uint32_t height, uint32_t playCount) {
  AnimationPtr a = NewAnimation();
  a->screenWidth = width;
  a->screenHeight = height;
  a->playCount = playCount;
  a->backgroundIndex = 0;
  SetGlobalPalette(*a, TestPalette());
  return a;
}

// A frame of one colour with a square of another in its middle (unless inner < 0).
inline Frame* AddFrame(Animation& a, int32_t left, int32_t top, uint32_t width, uint32_t height,
                       uint8_t fill, int inner, int disposal, uint32_t delay,
                       int transparent = -1) {
  Frame* f = NewFrame(width, height);
  f->left = left;
  f->top = top;
  f->delay = delay;
  f->palette = a.globalPalette.get();
  NewFrameDib(f);
  uint64_t stride = IndexStride(f->DibWidth());
  for (uint32_t y = 0; y < height; ++y) {
    for (uint32_t x = 0; x < width; ++x) {
      bool middle = inner >= 0 && x >= width / 4 && x < width * 3 / 4 && y >= height / 4 &&
                    y < height * 3 / 4;
      f->bits()[y * stride + x] = middle ? static_cast<uint8_t>(inner) : fill;
    }
  }
  SetDisposal(f, disposal);
  if (transparent >= 0) {
    SetTransparentIndex(f, static_cast<uint8_t>(transparent));
    SetTransparency(f, true);
  } else {
    RebuildTransparencyMask(f);
  }
  InsertBlockAfter(LastBlock(a), f);
  ++a.frameCount;
  return f;
}

// Quiet scripted services that pump events as the desktop's do: for work that runs beside the
// window while its events keep turning.
class PumpingServices : public HeadlessServices {
 public:
  void PumpEvents() override { desktop_.PumpEvents(); }

 private:
  QtServices desktop_;
};

}  // namespace lw::uitest
