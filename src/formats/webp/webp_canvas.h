// Between the document's frames and WebP's whole pictures: libwebp takes and gives full canvases
// of 32-bit pixels (blue, green, red, alpha bytes, rows without padding), while a document holds
// frames placed on the screen with GIF disposals.
#pragma once

#include <cstdint>
#include <vector>

#include "core/animation.h"

namespace lw {

// Whether a pixel of a canvas is left out of a GIF frame (see IsClearAlpha).
bool ClearPixel(const uint8_t* bgra);

// What the preview shows frame after frame, drawn into a canvas whose pixels no frame covers
// stay clear (alpha 0), so that a viewer of the file shows its own background there.
class DocumentPictures {
 public:
  explicit DocumentPictures(const Animation& document);
  // False when the screen is beyond the picture budget or memory is short.
  bool Ready();
  // The picture with frame drawn, frames being given in order. The canvas stays valid until the
  // next call.
  const std::vector<uint8_t>& Draw(const Frame& frame);

 private:
  void ClearRect(int64_t x, int64_t y, int64_t w, int64_t h);
  void Blend(const Frame& frame);
  void Paint(const Frame& frame);

  uint32_t width_, height_;
  std::vector<uint8_t> canvas_, saved_;
  const Frame* previous_ = nullptr;
};

// Turns whole canvases back into frames: each new frame holds the box that changed since the
// picture before; the frame before it restores the background where pixels must become clear.
// Frames get 24-bit colour (and alpha where some pixel is not opaque) for the palette fitting of
// the open flow. The canvases may be the part of the screen at (left, top) that the pictures
// draw in.
class CanvasFrames {
 public:
  CanvasFrames(Animation& animation, uint32_t width, uint32_t height, uint32_t left = 0,
               uint32_t top = 0);
  // Takes a copy of the next canvas (width x height x 4 bytes) and the delay it shows. The frame
  // of the canvas before is made now that the pixels it must leave clear are known. Two canvases
  // are held, whatever the count. False when memory is short.
  bool Add(const std::vector<uint8_t>& canvas, uint32_t delay);
  // Makes the last frame. False when memory is short.
  bool Finish();
  // Bytes the frames made so far hold.
  uint64_t BytesKept() const { return bytes_; }

 private:
  bool MakeFrame(const std::vector<uint8_t>* next);

  Animation& animation_;
  uint32_t width_, height_, left_, top_;
  std::vector<uint8_t> shown_;    // the screen once the last frame made is disposed of
  std::vector<uint8_t> pending_;  // the canvas whose frame is still to be made
  uint32_t pendingDelay_ = 0;
  bool havePending_ = false;
  uint64_t bytes_ = 0;
};

}  // namespace lw
