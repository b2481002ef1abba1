// Pixels of frames: the 8-bit primitives on frame DIBs, the drawing of one frame into a 32-bit
// picture at a zoom, and the display cache of true-colour frames. Nothing here knows a toolkit:
// the windows only paint the pictures made here.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "core/animation.h"

namespace lw {

// ---------------------------------------------------------------------------------------------
// 8-bit primitives. A DIB is the model's layout: 40-byte header, 256 RGBQUADs, rows padded to 4;
// heights are taken as absolute values. A buffer shorter than its header says is left alone.

struct RgbQuad {
  uint8_t blue = 0;
  uint8_t green = 0;
  uint8_t red = 0;
  uint8_t reserved = 0;
  bool operator==(const RgbQuad&) const = default;
};

// Width, height and stride that a DIB's header gives; false when the buffer cannot hold them.
struct DibGeometry {
  uint32_t width = 0;
  uint32_t height = 0;
  uint64_t stride = 0;
};
bool GetDibGeometry(const std::vector<uint8_t>& dib, DibGeometry* geometry);

// Every byte of the pixel rows, padding included, becomes index.
void FillDibPixels(std::vector<uint8_t>& dib, uint8_t index);
// The part of the rectangle inside the DIB becomes index.
void FillIndexRect(std::vector<uint8_t>& dib, int64_t x, int64_t y, int64_t w, int64_t h,
                   uint8_t index);
// Copies the w x h area of source at (sourceX, sourceY) to (x, y), clipped to both DIBs; with
// useKey, source pixels equal to key are skipped. source and destination may be the same DIB only
// when the areas do not overlap.
void BlitIndexed(std::vector<uint8_t>& destination, int64_t x, int64_t y, int64_t w, int64_t h,
                 const std::vector<uint8_t>& source, int64_t sourceX, int64_t sourceY, uint8_t key,
                 bool useKey);

// Colour-table entries; both return how many entries were written or read.
int SetDibColours(std::vector<uint8_t>& dib, int first, int count, const RgbQuad* colours);
int GetDibColours(const std::vector<uint8_t>& dib, int first, int count, RgbQuad* colours);
// The colour table from a palette (up to 256 entries; the rest black).
void SetDibColourTable(std::vector<uint8_t>& dib, const Palette* palette);

// An 8-bit DIB whose colour table is the palette, for pictures that are to be mapped onto it
// (MapRgbToPaletteDib); empty when memory is short.
std::vector<uint8_t> NewPaletteDibSection(uint32_t width, uint32_t height, const Palette* palette);
// Maps 24-bit rows (blue, green, red, rows of RgbStride(width)) onto the nearest palette entries
// of a DIB of the same size; false when the sizes do not fit.
bool MapRgbToPaletteDib(std::vector<uint8_t>& dib, const Palette& palette,
                        const std::vector<uint8_t>& rgb);

// Gives the frame a 24-bit plane built from its 8-bit pixels through the palette in effect
// (transparent pixels black, as the model keeps them). False when memory is short or the frame
// has no pixels.
bool AddRgbPlane(Frame* frame);

// A new block of the same size and contents; false when memory is short.
bool DuplicateMemory(const std::vector<uint8_t>& block, std::vector<uint8_t>* copy);

// The system's default palette (20 colours), for pictures of documents without a global palette.
const Palette& DefaultPalette();

// ---------------------------------------------------------------------------------------------
// Drawing into a 32-bit picture

// A view of 32-bit pixels 0xFFRRGGBB (a Format_RGB32 image can wrap them), stride in pixels.
struct PixelView {
  uint32_t* pixels = nullptr;
  int width = 0;
  int height = 0;
  int stride = 0;
};

// An owned 32-bit picture.
struct PixelSurface {
  int width = 0;
  int height = 0;
  std::vector<uint32_t> pixels;

  PixelView View() { return {pixels.data(), width, height, width}; }
  // The top rows only.
  PixelView Rows(int first, int count);
};

// Makes a surface of that size filled with colour; false when memory is short.
bool ResizeSurface(PixelSurface* surface, int width, int height, uint32_t pixel);

// 0x00BBGGRR (as the model stores colours) to a 32-bit pixel and back.
inline uint32_t PixelFromColour(uint32_t colour) {
  return 0xFF000000u | ((colour & 0xFF) << 16) | (colour & 0xFF00) | ((colour >> 16) & 0xFF);
}
inline uint32_t ColourFromPixel(uint32_t pixel) {
  return ((pixel >> 16) & 0xFF) | (pixel & 0xFF00) | ((pixel & 0xFF) << 16);
}

struct DrawRect {
  int64_t x = 0;
  int64_t y = 0;
  int64_t width = 0;
  int64_t height = 0;
  bool operator==(const DrawRect&) const = default;
};

// Where a frame lands at a zoom of numerator/denominator (integer arithmetic, as the strip and the
// preview place thumbnails). A zero denominator is taken as 1.
DrawRect FrameDestination(const Frame& frame, int64_t originX, int64_t originY, int numerator,
                          int denominator);
// A length at a zoom.
int64_t ZoomLength(int64_t length, int numerator, int denominator);

// Draws the frame at its own position, scaled by numerator/denominator (nearest pixel), clipped to
// the view. A frame with an rgbPlane is drawn from it; others through their DIB's colour table.
// With transparent and a mask, the pixels the mask marks leave the picture as it was.
void DrawFrame(const Frame& frame, PixelView view, int64_t originX, int64_t originY, int numerator,
               int denominator, bool transparent);
// DrawFrame for the views: a frame with an alphaPlane is shown blended over
// backdrop (0x00BBGGRR) through a plane made for this drawing; the frame is left as it is.
void DrawFrameOver(const Frame& frame, PixelView view, int64_t originX, int64_t originY,
                   int numerator, int denominator, bool transparent, uint32_t backdrop);
// The backdrop of frames with an alphaPlane for a transparency display setting: its custom
// colour, else light grey.
uint32_t AlphaBackdrop(uint32_t transparencyDisplay);

// Blends the frame's rgbPlane into the view with its alphaPlane:
// out = (source x a + destination x (255 - a)) / 255 per channel. False when the frame has no
// usable planes (nothing drawn).
bool BlendFrame(const Frame& frame, PixelView view);

// ---------------------------------------------------------------------------------------------
// The strip's display cache of true-colour frames

// Rounding of colour channels to the display's depth: 0 none, 12 sixteen levels, any other depth
// thirty-two levels.
void BuildRoundingTable(int displayBits, uint8_t table[256]);

// rgbPlane blended over background (0x00BBGGRR) with alphaPlane, into out: source channels
// first go through the rounding table when displayBits is not 0; a frame without alphaPlane is
// only rounded. Left empty without an rgbPlane, or with neither alpha nor rounding. False when
// memory is short.
bool BlendedPlaneOf(const Frame& frame, uint32_t background, int displayBits,
                    std::vector<uint8_t>* out);

}  // namespace lw
