#include "formats/webp/webp_compose.h"

#include <webp/decode.h>

#include <algorithm>
#include <cstring>
#include <new>

namespace lw {
namespace {

// A pixel that is not wholly opaque laid over the one below, without premultiplied alpha and
// with the integer steps libwebp takes, so that pictures come out exactly as its decoder's.
void Blend(uint8_t* pixel, const uint8_t* below) {
  const uint32_t a = pixel[3];
  if (a == 0) {
    std::memcpy(pixel, below, 4);
    return;
  }
  const uint32_t belowShare = (below[3] * (256 - a)) >> 8;
  const uint32_t alpha = a + belowShare;
  const uint32_t scale = (1u << 24) / alpha;
  for (int c = 0; c < 3; ++c)
    pixel[c] = static_cast<uint8_t>(((pixel[c] * a + below[c] * belowShare) * scale) >> 24);
  pixel[3] = static_cast<uint8_t>(alpha);
}

}  // namespace

WebpComposer::WebpComposer(const WebPDemuxer* demux)
    : demux_(demux),
      canvasWidth_(WebPDemuxGetI(demux, WEBP_FF_CANVAS_WIDTH)),
      canvasHeight_(WebPDemuxGetI(demux, WEBP_FF_CANVAS_HEIGHT)) {
  uint64_t x0 = UINT64_MAX, y0 = UINT64_MAX, x1 = 0, y1 = 0;
  WebPIterator it;
  if (WebPDemuxGetFrame(demux, 1, &it)) {
    do {
      ++count_;
      x0 = std::min<uint64_t>(x0, static_cast<uint64_t>(it.x_offset));
      y0 = std::min<uint64_t>(y0, static_cast<uint64_t>(it.y_offset));
      x1 = std::max<uint64_t>(x1, static_cast<uint64_t>(it.x_offset) + it.width);
      y1 = std::max<uint64_t>(y1, static_cast<uint64_t>(it.y_offset) + it.height);
    } while (WebPDemuxNextFrame(&it));
    WebPDemuxReleaseIterator(&it);
  }
  // The demuxer has checked that every frame lies on the canvas.
  if (count_ == 0 || x0 >= x1 || y0 >= y1 || x1 > canvasWidth_ || y1 > canvasHeight_) {
    count_ = 0;
    return;
  }
  left_ = static_cast<uint32_t>(x0), top_ = static_cast<uint32_t>(y0);
  width_ = static_cast<uint32_t>(x1 - x0), height_ = static_cast<uint32_t>(y1 - y0);
}

bool WebpComposer::Start() {
  try {
    shown_.assign(PictureBytes(), 0);
    disposed_.assign(PictureBytes(), 0);
  } catch (const std::bad_alloc&) {
    shown_.clear();
    disposed_.clear();
    return false;
  }
  return true;
}

bool WebpComposer::Next(int64_t* end) {
  WebPIterator it;
  if (shown_.empty() || !HasMore() || !WebPDemuxGetFrame(demux_, static_cast<int>(next_), &it))
    return false;
  const Placed now{static_cast<uint32_t>(it.x_offset) - left_,
                   static_cast<uint32_t>(it.y_offset) - top_, static_cast<uint32_t>(it.width),
                   static_cast<uint32_t>(it.height),
                   it.dispose_method == WEBP_MUX_DISPOSE_BACKGROUND};
  auto whole = [&](uint32_t w, uint32_t h) { return w == canvasWidth_ && h == canvasHeight_; };
  // A key frame starts from a clear canvas: the first, one that covers everything without
  // letting anything show through, or one after a key frame or a whole frame that cleared its
  // box.
  const bool key =
      next_ == 1 ||
      ((!it.has_alpha || it.blend_method == WEBP_MUX_NO_BLEND) && whole(now.w, now.h)) ||
      (previous_.disposeToBackground && (whole(previous_.w, previous_.h) || previousKey_));
  if (key)
    std::fill(shown_.begin(), shown_.end(), 0);
  else
    shown_ = disposed_;

  const size_t stride = size_t{4} * width_;
  WebPDecoderConfig config;
  bool decoded = WebPInitDecoderConfig(&config) != 0;
  if (decoded) {
    config.output.colorspace = MODE_BGRA;
    config.output.is_external_memory = 1;
    config.output.u.RGBA.rgba = shown_.data() + stride * now.y + size_t{4} * now.x;
    config.output.u.RGBA.stride = static_cast<int>(stride);
    config.output.u.RGBA.size = stride * (now.h - 1) + size_t{4} * now.w;
    decoded = WebPDecode(it.fragment.bytes, it.fragment.size, &config) == VP8_STATUS_OK;
    WebPFreeDecBuffer(&config.output);
  }
  const bool blend = it.blend_method == WEBP_MUX_BLEND;
  const int duration = it.duration;
  WebPDemuxReleaseIterator(&it);
  if (!decoded) return false;

  // Pixels that are not opaque are laid over the picture before, except inside a box that
  // picture cleared, which is clear already.
  if (blend && !key) {
    const Placed& p = previous_;
    for (uint32_t y = now.y; y < now.y + now.h; ++y) {
      const bool rowInCleared = p.disposeToBackground && y >= p.y && y < p.y + p.h;
      for (uint32_t x = now.x; x < now.x + now.w; ++x) {
        if (rowInCleared && x >= p.x && x < p.x + p.w) continue;
        uint8_t* pixel = shown_.data() + stride * y + size_t{4} * x;
        if (pixel[3] != 255) Blend(pixel, disposed_.data() + stride * y + size_t{4} * x);
      }
    }
  }
  disposed_ = shown_;
  if (now.disposeToBackground)
    for (uint32_t y = now.y; y < now.y + now.h; ++y)
      std::memset(disposed_.data() + stride * y + size_t{4} * now.x, 0, size_t{4} * now.w);
  previous_ = now;
  previousKey_ = key;
  end_ += duration;
  *end = end_;
  ++next_;
  return true;
}

}  // namespace lw
