// A small SWF movie builder: bitmaps shown as filled rectangles, each placed on the stage at an
// SWF frame for a number of frames and possibly removed afterwards, written as an uncompressed
// version 4 file.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace lw {

namespace swftag {
constexpr int End = 0;
constexpr int ShowFrame = 1;
constexpr int RemoveObject = 5;
constexpr int DefineBitsLossless = 20;
constexpr int DefineBitsJpeg2 = 21;
constexpr int PlaceObject2 = 26;
constexpr int DefineShape3 = 32;
constexpr int DefineBitsLossless2 = 36;
}  // namespace swftag

// A bitmap's defining tag: its code and its body after the character id.
struct SwfBitmap {
  int tagCode = swftag::DefineBitsLossless;
  std::vector<uint8_t> body;
};

// A rectangle in twips (1/20 pixel).
struct SwfRect {
  int32_t xMin = 0;
  int32_t yMin = 0;
  int32_t xMax = 0;
  int32_t yMax = 0;
};

class SwfMovie {
 public:
  // Adds a shape filled with bitmap (unscaled, its top left corner at the rectangle's) at the
  // current SWF frame, shown for duration frames (at least 1) above every shape added before;
  // with remove it leaves the stage when they are over. The current frame moves past them.
  // False when the movie cannot hold one more shape (character ids and depths are 16-bit).
  bool AddBitmapShape(const SwfRect& rect, SwfBitmap bitmap, uint32_t duration, bool remove);

  // SWF frames so far.
  uint64_t FrameCount() const { return frames_; }

  // The whole file: a stage of width x height pixels, frameRate in 8.8 fixed point. Empty when
  // the frame count or the file length do not fit their fields, or memory is short.
  std::vector<uint8_t> Build(uint32_t width, uint32_t height, uint16_t frameRate) const;

 private:
  struct Shape {
    SwfRect rect;
    SwfBitmap bitmap;
    uint64_t start = 0;
    uint64_t end = 0;  // first frame without it
    bool remove = false;
  };
  std::vector<Shape> shapes_;
  uint64_t frames_ = 0;
};

// Writes data to path; false when it cannot.
bool WriteBytes(const std::string& path, const std::vector<uint8_t>& data);

}  // namespace lw
