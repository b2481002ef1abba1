// What copied frames look like on the clipboard: the program's own block, which two running
// copies exchange (every selected frame with its palettes, planes and name, little-endian at
// fixed offsets), and the 8-bit packed DIB of one frame that other programs read.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "core/animation.h"

namespace lw {

// Layout of the private block.
namespace clipblock {
constexpr size_t HeaderSize = 1068;
constexpr size_t PaletteSize = 1032;
constexpr size_t FrameRecordSize = 88;
constexpr uint16_t PaletteVersion = 0x0300;
}  // namespace clipblock

// The private block of the document's selected frames, in list order; empty when memory is
// short.
std::vector<uint8_t> PrivateDataFromSelection(const Animation& animation);

// The frames of a private block as a new animation, none selected; none when the block is
// damaged, announces pictures beyond the size budget, or memory is short. The block comes from
// another process: every length is checked before it is used.
AnimationPtr AnimationFromPrivateData(const uint8_t* block, size_t size);

// The frame as a bottom-up 8-bit packed DIB: 40-byte header, the palette in effect (biClrUsed
// entries; room is kept for 256), rows bottom row first. Empty when the frame has no image or
// memory is short.
std::vector<uint8_t> FrameToPackedDib(const Frame& frame);

}  // namespace lw
