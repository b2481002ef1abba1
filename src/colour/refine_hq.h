// Past one palette for a whole clip: where a picture stays still under a moving part, the later
// frames re-send the still areas the shared palette fits worst, each under a local palette made
// for that area, so that over the clip the still background comes close to its source.
#pragma once

#include <cstdint>
#include <vector>

#include "colour/quantize_hq.h"
#include "core/animation.h"

namespace lw {

// What one frame becomes: the part of the screen it draws, its image (a DIB), the palette the
// image uses when it is not the shared one, and the index that leaves the screen as it was.
struct RefinedFrame {
  int32_t left = 0;
  int32_t top = 0;
  uint32_t width = 0;
  uint32_t height = 0;
  std::vector<uint8_t> dib;
  PalettePtr local;
  uint8_t clear = 0;
};

// For pictures of one size at one place, opaque, 24-bit, mapped onto global (dibs, one each,
// with global's last entry free for transparency): every frame after the
// first redrawn as a change over the one before it, some of them refining a band of the still
// area. False, with *out empty, when the pictures are not such, when no area is worth it
// (settings.refineTiles 0, a moving or already close picture), when memory ran short or when
// progress answered cancelled.
bool RefineStill(const std::vector<HqPicture>& pictures,
                 const std::vector<std::vector<uint8_t>>& dibs, const Palette& global,
                 const QualitySettings& settings, ProgressMeter* progress,
                 std::vector<RefinedFrame>* out);

// A local table's sort flag: its entries go by decreasing use. The tables made here carry it, and
// a batch run that made them keeps them from the optimizer's folding, which would lose the fit.
constexpr uint8_t kSortedTable = 0x20;

// The frames (the pictures' own, the first one included) take what RefineStill made: frames
// after the first are drawn over what the one before leaves.
void InstallRefined(const std::vector<Frame*>& frames, std::vector<RefinedFrame>& refined);

// The refinement of a palette built with settings.keepTrueColour, which leaves it out so that the
// frames keep their whole 24-bit pictures: made when the GIF is to be written, from those
// pictures and the images made from them on the global palette. The frames after the first lose
// their 24-bit data, as RefineStill's frames always did. False when the frames are not such (an
// edit since), when nothing was worth it, when memory ran short or progress answered cancelled:
// the animation is then as it was.
bool RefineFromTrueColour(Animation& animation, const QualitySettings& settings,
                          ProgressMeter* progress);

}  // namespace lw
