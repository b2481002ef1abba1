// The pictures of an animated WebP file, composed as libwebp's animation decoder composes them
// (its blending arithmetic, disposal and key frames) but only within the box the frames cover:
// a small file may announce a canvas of gigabytes and draw a few pixels.
#pragma once

#include <webp/demux.h>

#include <cstdint>
#include <vector>

namespace lw {

class WebpComposer {
 public:
  // The demuxer stays the caller's and must outlive the composer.
  explicit WebpComposer(const WebPDemuxer* demux);

  uint32_t FrameCount() const { return count_; }
  // The box every frame lies in, in canvas pixels.
  uint32_t Left() const { return left_; }
  uint32_t Top() const { return top_; }
  uint32_t Width() const { return width_; }
  uint32_t Height() const { return height_; }
  // Bytes of one picture of the box (blue, green, red, alpha per pixel, rows without padding).
  uint64_t PictureBytes() const { return uint64_t{4} * width_ * height_; }

  // Makes the two pictures it composes with (the one shown and the one the next frame starts
  // from); false when memory is short.
  bool Start();
  bool HasMore() const { return next_ <= count_; }
  // Composes the next frame; *end gets the millisecond its picture ends. False when the frame
  // cannot be decoded.
  bool Next(int64_t* end);
  // The picture composed last, PictureBytes() long.
  const std::vector<uint8_t>& Picture() const { return shown_; }

 private:
  struct Placed {
    uint32_t x = 0, y = 0, w = 0, h = 0;
    bool disposeToBackground = false;
  };

  const WebPDemuxer* demux_;
  uint32_t canvasWidth_, canvasHeight_;
  uint32_t count_ = 0;
  uint32_t left_ = 0, top_ = 0, width_ = 0, height_ = 0;
  std::vector<uint8_t> shown_, disposed_;
  uint32_t next_ = 1;
  int64_t end_ = 0;
  Placed previous_;
  bool previousKey_ = false;
};

}  // namespace lw
