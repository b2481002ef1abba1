// One image of an icon or cursor: a DIB whose lower half of rows is the AND mask (or, as the
// 256 x 256 icons of today's desktops hold it, a whole PNG file), made into a frame and back.
// Shared by the ICO/CUR and ANI formats.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "core/animation.h"
#include "formats/common/format_entry.h"
#include "platform/services.h"

namespace lw {

// Little-endian fields.
inline uint16_t IconLe16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | p[1] << 8); }
inline uint32_t IconLe32(const uint8_t* p) {
  return p[0] | p[1] << 8 | p[2] << 16 | uint32_t{p[3]} << 24;
}
void PutIconLe16(std::vector<uint8_t>* out, uint32_t v);
void PutIconLe32(std::vector<uint8_t>* out, uint32_t v);

// Sizes of the file header and of one directory entry.
constexpr size_t IconHeaderSize = 6;
constexpr size_t IconEntrySize = 16;

// A one-frame animation from the image bytes: the frame has a local palette (true-colour images
// get one made for them), transparency from the AND mask or the alpha, and restores to the
// background. height is the image's own height; a DIB header that says twice as much carries
// the mask. None when the image cannot be read (any message already shown).
AnimationPtr FrameFromIconImage(const uint8_t* image, size_t size, uint32_t height,
                                const ReadOptions& options, WindowHandle owner);

// The header's height halved, as the directory's image heights go; 0 when there is no DIB
// header (a PNG image knows its own size).
uint32_t IconImageHeight(const uint8_t* image, size_t size);

// Moves the frame of a one-frame animation to the end of another (its local palette with it).
void AppendIconFrame(Animation& to, Animation& from);

// The depth a frame is written at: 32 with 24-bit data and alpha, 24 with 24-bit data alone,
// 1 or 4 when its colours fit the black-and-white or the 16-colour standard table, else 8.
int IconDepth(const Frame& frame);
// The bytes of the image at that depth (header, colour table, XOR rows, AND mask rows).
uint64_t IconImageSize(int depth, uint64_t width, uint64_t height);
// Appends the image of the frame at depth to out; false when the frame lacks the data that
// depth needs or memory is short.
bool AppendIconImage(const Frame& frame, int depth, std::vector<uint8_t>* out);

// The options of a cursor save (CUR, ANI): the hot spot chosen in the Save As panel.
struct CursorSaveOptions {
  int32_t hotspotX = -1;  // -1: the first frame's stays
  int32_t hotspotY = -1;
};

// The hot spot chosen when saving a cursor becomes the first frame's (-1: left as it is).
void ApplyHotSpotChoice(Animation& document, const SaveOptions& options);

}  // namespace lw
