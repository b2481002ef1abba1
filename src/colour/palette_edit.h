// Changing colours by index: the entries of a palette, the transparent indexes of a frame, and
// single pixels. The dialogs work on copies; what they return is applied here, with its undo
// entry, so that the same change runs without a window.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "colour/palette_fit.h"
#include "core/animation.h"
#include "platform/services.h"

namespace lw {

// What the palette editor is opened on, and what it gives back.
struct PaletteEditRequest {
  const Palette* palette = nullptr;  // the palette to edit
  const uint32_t* usage = nullptr;   // 256 usage counters, or none
  std::vector<PaletteEntry> result;  // the edited entries, filled when OK changed something
  const Frame* image = nullptr;      // the frame shown beside the palette, or none
  int transparentIndex = -1;         // of that frame, -1 when none
};

// A palette loaded into edited entries, which keep their number (a frame's pixels are indexes
// into them). A loaded palette of more colours gives each entry the loaded colour nearest to
// its own, so that the pixels keep their colours as far as it allows; one of as many or fewer
// colours replaces the first entries in order, and the others keep theirs.
struct PaletteLoadOutcome {
  bool nearest = false;  // each entry took its nearest loaded colour
  int taken = 0;         // loaded colours now in the entries (distinct ones when nearest)
  int changed = 0;       // entries whose colour changed
};
PaletteLoadOutcome TakeLoadedPalette(std::vector<PaletteEntry>& entries,
                                     const std::vector<PaletteEntry>& loaded);

// The transparent indexes chosen for a frame (also the locked colours of a colour reduction).
struct TransparencyChoice {
  Frame* frame = nullptr;
  bool fromPropertyPage = false;
  int count = -1;                      // -1 untouched, 0 no transparency
  std::array<uint8_t, 256> indexes{};  // in the order they were chosen

  // The choice a frame holds now: its transparent index, or none.
  static TransparencyChoice OfFrame(Frame* frame);
};

// Applies a choice: with several indexes, pixels of the later ones become the first, which is
// then the transparent index. True when the frame changed (or transparency was switched off).
bool ApplyTransparencyChoice(Frame* frame, const TransparencyChoice& choice);

// What the pixel editor is opened on, and what it gives back.
struct PixelEditRequest {
  const Frame* frame = nullptr;
  int colourIndex = 0;          // the current colour; the last one used on return
  std::vector<uint8_t> edited;  // the edited DIB when OK changed something, else empty
};

// ---- The working image of the pixel editor: a copy of the frame's DIB ----

// x, y inside the DIB's pixels.
bool DibPixelIndex(const std::vector<uint8_t>& dib, uint32_t x, uint32_t y, uint8_t* index);
// True when the pixel changed.
bool SetDibPixelIndex(std::vector<uint8_t>& dib, uint32_t x, uint32_t y, uint8_t index);
// The 4-connected region of pixels of the clicked pixel's index takes index. Returns how many
// pixels changed (0 when the index is already the pixel's, outside, or memory is short).
uint64_t FloodFillDib(std::vector<uint8_t>& dib, uint32_t x, uint32_t y, uint8_t index);

// ---- Document edits: each records its undo entry and returns the refresh hints (0 when
// nothing changed). The caller stops the background work first and marks the document modified.

// New entries for a frame's local palette (frameIndex >= 0) or the global palette (-1): the
// frame's colour table, or that of every frame without a local palette, follows.
uint32_t ApplyPaletteEdit(Animation& document, int frameIndex,
                          const std::vector<PaletteEntry>& entries);
// The transparency dialog's choice for one frame.
uint32_t ApplyTransparencyEdit(Animation& document, int frameIndex,
                               const TransparencyChoice& choice);
// Switches the frame's transparency off.
uint32_t TransparencyOff(Animation& document, int frameIndex);
// The pixel editor's image replaces the frame's pixels (its 24-bit data follows them).
uint32_t ApplyPixelEdit(Animation& document, int frameIndex, const std::vector<uint8_t>& dib);
// The frame moves onto the global palette. 0 on failure (the frame is as it was).
uint32_t RemoveLocalPaletteEdit(Animation& document, int frameIndex,
                                const PaletteFitOptions& options, WindowHandle owner);

}  // namespace lw
