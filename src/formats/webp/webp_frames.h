// Lossless animated WebP made frame by frame from whole canvases, each frame encoded by libwebp
// and placed by us: unlike libwebp's animation encoder, a frame may also be stored without
// blending, whole, which is often smaller than the same box with holes where nothing changed.
#pragma once

#include <webp/encode.h>
#include <webp/mux.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace lw {

// What the encoding of a file hands back.
enum class Encoded { Done, Failed, NoMemory, Cancelled };

class LosslessFrames {
 public:
  // config: libwebp's settings for each picture (lossless).
  LosslessFrames(uint32_t width, uint32_t height, const WebPConfig& config);
  ~LosslessFrames();
  LosslessFrames(const LosslessFrames&) = delete;
  LosslessFrames& operator=(const LosslessFrames&) = delete;

  // Takes the next canvas (width x height pixels of blue, green, red, alpha bytes), shown from
  // `at` milliseconds; a canvas that shows the same picture as the one before lengthens it.
  Encoded Add(const std::vector<uint8_t>& canvas, int at);
  // The file, the last picture shown until `end` milliseconds.
  Encoded Finish(int end, int loopCount, std::string* bytes);

  struct Box {
    uint32_t x = 0, y = 0, w = 0, h = 0;
    uint64_t Area() const { return uint64_t{w} * h; }
  };

 private:
  struct Pending;
  Encoded AddFirst(int at);
  Encoded Encode(const Box& box, const std::vector<uint32_t>& below, bool tryBlend, Pending* out);
  Encoded PushPending(int until, bool disposeToBackground);

  uint32_t width_, height_;
  WebPConfig config_;
  std::vector<uint32_t> shown_, current_, scratch_;
  std::unique_ptr<Pending> pending_;
  Box pendingBox_;
  int pendingAt_ = 0;
  WebPMux* mux_ = nullptr;
  // One of two ways to store pictures, both tried now and then: the frames between tries grow
  // while the way chosen keeps winning.
  class Choice {
   public:
    explicit Choice(bool second) : second_(second) {}
    bool Trial() const { return until_ == 0; }
    bool Second() const { return second_; }
    void Skip() { until_ -= until_ > 0; }
    // The sizes the two ways gave.
    void Tried(size_t first, size_t second);

   private:
    static constexpr uint32_t kLongestGap = 15;
    bool second_;
    uint32_t until_ = 0, gap_ = 0;
  };
  // Whole or blended (libwebp's way), by the share of the box's pixels that stay: under 1/2,
  // 3/4, 15/16, and above.
  Choice blend_[4] = {Choice(true), Choice(true), Choice(true), Choice(true)};
  Choice effort_{false};  // for small pictures: the effort asked for or a lower one
};

}  // namespace lw
