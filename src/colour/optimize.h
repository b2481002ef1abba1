// The optimizer: makes the saved GIF smaller without changing what the animation shows.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "colour/palette_fit.h"
#include "core/animation.h"
#include "core/gif_writer.h"
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
// Each frame's disposal chosen so that the next frame can be cut smaller.
constexpr uint32_t ChooseDisposal = 0x1000;
// Each frame's LZW code size as small as its pixels allow.
constexpr uint32_t MinimalCodeSize = 0x2000;
constexpr uint32_t Defaults = 1134 | ChooseDisposal | MinimalCodeSize;
}  // namespace optimize

// What the optimizer runs with: the steps chosen and the settings their results depend on.
struct OptimizeOptions {
  OptimizeOptions() = default;
  explicit OptimizeOptions(uint32_t chosen) : steps(chosen) {}

  uint32_t steps = optimize::Defaults;  // the optimize:: bits, as the stored word holds them
  // The document's delay units: two frames become one only while the file's delay field holds
  // the sum of their delays.
  DelayUnits units;
  // What the trials measure the saved file with.
  SaveSignature signature;
  // How local palettes fold into one: the stored choice's dithering and colour counts, the
  // fixed palette, whether 24-bit data stays.
  PaletteFitOptions paletteFit;
};

// Runs the optimizer's steps on animation in place. A cancel through progress stops it between
// steps or frames, leaving the work done so far. The caller marks the encoded size unknown when
// it runs on the document.
void OptimizeAnimation(Animation& animation, const OptimizeOptions& options,
                       ProgressMeter* progress);

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
int OptimizeFrames(Animation& animation, const OptimizeOptions& options, ProgressMeter* progress);

// Tries the transparency variants on a frame already cut to its changed box; changed holds
// one byte per pixel of the frame (rows of `width` bytes), 1 where the pixel must stay. Takes the
// variant that encodes smallest. True when the frame changed. With smallIndex, a new transparent
// index is taken below the code size the changed pixels need when one is free there. Unweighed,
// only the variant that follows the encoder's strings is made, and taken without encoding.
bool TryDuplicatesTransparency(Frame* frame, const uint8_t* changed, bool smallIndex = false,
                               bool weighed = true);

// The frame step that also chooses each frame's disposal: frames are rewritten so that each one
// draws only what differs from the screen the previous one leaves. Returns -1, with nothing
// changed, when the animation is not one it handles (the plain frame step then runs); 0 when
// cancelled; 1 when done.
int OptimizeFramesAndDisposals(Animation& animation, const OptimizeOptions& options,
                               ProgressMeter* progress);

// The smallest LZW code size for the frame's pixels (2..8); 0 without an image.
uint8_t SmallestCodeSize(const Frame& frame);

// The transparent index for a frame whose kept pixels use the indexes marked in used: the
// preferred one when free, else the highest free one below 2^smallBits (when smallBits is not 0),
// else the highest free one below entries; -1 when none is free.
int ChooseTransparentIndex(const bool* used, int entries, int preferred, int smallBits);

}  // namespace lw
