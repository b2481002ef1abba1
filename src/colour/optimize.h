// The optimizer: makes the saved GIF smaller without changing what the animation shows.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "core/animation.h"
#include "platform/services.h"

namespace lw {

struct ProgressMeter;

// Bits of the optimize options (the PrefOptimize word).
namespace optimize {
constexpr uint32_t CropFrames = 0x2;
constexpr uint32_t DuplicatesToTransparency = 0x4;
constexpr uint32_t RemoveLocalPalettes = 0x8;
constexpr uint32_t MapToGlobalPalette = 0x10;
constexpr uint32_t ReducePalettes = 0x20;
constexpr uint32_t RemoveUselessFrames = 0x40;
constexpr uint32_t BuildMetaPalette = 0x400;
constexpr uint32_t NotADialogOption = 0x800;  // always stored cleared
constexpr uint32_t Defaults = 1134;
}  // namespace optimize

using OptimizeOptions = uint32_t;

// Runs the optimizer's steps on animation in place. A cancel through progress stops it between
// steps or frames, leaving the work done so far. The caller marks the encoded size unknown when
// it runs on the document.
void OptimizeAnimation(Animation& animation, OptimizeOptions options, ProgressMeter* progress);

// Before an operation that only knows 8-bit frames: when some frame keeps 24-bit colour data,
// asks whether it may go. True (the data dropped) to continue; false when the user declines.
bool ConfirmDrop24BitData(WindowHandle window, Animation& animation);

// The used entries of palette (counter non-zero) moved to the front in index order: the new
// palette has 2^BitsForColours(used) entries (black past the used ones), map[old] = new index or
// 65535 for an unused entry, and the counters move with their entries. False (nothing built,
// counters untouched) when every entry is used; also false when memory is short.
bool CompactPalette(const Palette& palette, uint32_t* usage, PalettePtr* compacted,
                    std::array<uint16_t, 256>* map);

// The frame step alone: cuts frames to what changes on screen, drops useless frames and tries
// transparency for duplicated pixels, as the options say. Returns 0 when cancelled.
int OptimizeFrames(Animation& animation, OptimizeOptions options, ProgressMeter* progress);

// Tries the two transparency variants on a frame already cut to its changed box; changed holds
// one byte per pixel of the frame (rows of `width` bytes), 1 where the pixel must stay. Takes the
// variant that encodes smallest. True when the frame changed.
bool TryDuplicatesTransparency(Frame* frame, const uint8_t* changed);

}  // namespace lw
