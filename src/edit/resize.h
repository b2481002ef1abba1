// Resizing the whole animation or the selected frames: a fast nearest-neighbour stretch that keeps
// the palettes, and a bicubic resampling that brings the frames back onto palettes afterwards.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "colour/palette_fit.h"
#include "core/animation.h"
#include "platform/services.h"

namespace lw {

struct ProgressMeter;

struct ResizeRequest {
  Animation* animation = nullptr;
  int currentIndex = 0;
  bool wholeAnimation = true;  // else the selected frames (the current one when none is)
  uint32_t oldWidth = 0;       // the logical screen, or the current frame
  uint32_t oldHeight = 0;
  uint32_t newWidth = 0;
  uint32_t newHeight = 0;
  bool keepAspect = true;
  // The palette the bicubic method's frames share: the stored choice, and whether they keep the
  // 24-bit data they were drawn with.
  PaletteFitOptions paletteFit{};
};

// The scaling rule: v becomes (to x v + from / 2) / from, signed integer division. Offsets may be
// negative; lengths are at least 1.
int64_t ScaleOffset(int64_t v, uint32_t from, uint32_t to);
uint32_t ScaleLength(uint32_t v, uint32_t from, uint32_t to);

// The linked fields of the resize dialog: the percent a new length makes, the length a percent
// makes, and the other side's length when the aspect is kept.
uint32_t ResizePercent(uint32_t oldLength, uint32_t newLength);
uint32_t ResizeLengthForPercent(uint32_t oldLength, uint32_t percent);
uint32_t ResizeKeptAspect(uint32_t oldLength, uint32_t oldOther, uint32_t newLength);

// Whether the subject holds 24-bit data, which only the bicubic method can resize.
bool ResizeNeedsBicubic(const Animation& animation, bool wholeAnimation, int currentIndex);
// The first frame that is transparent or offset and does not restore the background: bicubic
// resizing may show seams there. -1 when there is none.
int BicubicWarningFrame(const Animation& animation);

// The taps of one output coordinate: source base index, weights (scaled by 4096) of the taps at
// base - 2 ... base + 2, and which of them may be read (bit 0 = base - 2 ... bit 4 = base + 2).
struct BicubicTaps {
  int32_t base = 0;
  std::array<int32_t, 5> weight{};
  uint8_t mask = 0;
};
// The taps of every output coordinate for a source length resampled to a destination length;
// empty when memory is short.
std::vector<BicubicTaps> BicubicTapTable(uint32_t source, uint32_t destination);

// Stretches the affected frames, each output pixel taking one source pixel; offsets scaled,
// palettes and transparency kept. All or nothing: false (nothing changed) when memory is short
// or the user cancelled.
bool ResizeNearest(const ResizeRequest& request, ProgressMeter* progress);

// Resamples the affected frames to 24-bit data and fits the animation's palettes again. 1 done,
// 2 cancelled (palette question or progress), 0 failure: "Mémoire insuffisante pour l'échelle
// bicubique. Opération annulée." was shown. Anything but 1 leaves the animation unchanged.
int ResizeBicubic(const ResizeRequest& request, WindowHandle owner, ProgressMeter* progress);

// The command: progress in the status bar, the undo entry "Redimensionner animation", the
// resize, then the logical screen (the new size, or the frames' extent for selected frames) and
// the colour usage. Returns the refresh hints, 0 when nothing changed.
uint32_t ApplyResize(const ResizeRequest& request, bool bicubic, WindowHandle owner);

}  // namespace lw
