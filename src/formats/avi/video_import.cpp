#include "formats/avi/video_import.h"

#include <algorithm>

#include "core/animation.h"
#include "formats/avi/avi_timing.h"

namespace lw {
namespace {

VideoPart& Preset() {
  static VideoPart part;
  return part;
}

}  // namespace

void SetVideoPartPreset(const VideoPart& part) { Preset() = part; }
VideoPart VideoPartPreset() { return Preset(); }

uint32_t VideoPartHeight(const VideoImportRequest& request, uint32_t width) {
  if (request.width == 0 || width == 0) return request.height;
  const uint64_t h = (uint64_t{width} * request.height + request.width / 2) / request.width;
  return static_cast<uint32_t>(std::clamp<uint64_t>(h, 1, 65535));
}

void VideoPartCost(const VideoImportRequest& request, const VideoPart& part, uint64_t* frames,
                   uint64_t* bytes) {
  const int64_t start = std::clamp<int64_t>(part.startMs, 0, request.lengthMs);
  int64_t length = request.lengthMs - start;
  if (part.lengthMs > 0) length = std::min(length, part.lengthMs);
  uint64_t fps = part.fpsMilli ? part.fpsMilli : request.ownFpsMilli ? request.ownFpsMilli : 25000;
  fps = std::min<uint64_t>(fps, kMaxClipRate * 1000);
  *frames = std::max<uint64_t>(
      (static_cast<uint64_t>(std::max<int64_t>(length, 0)) * fps + 999999) / 1000000, 1);
  const uint32_t w = part.width ? part.width : request.width;
  *bytes = *frames * RgbStride(w) * VideoPartHeight(request, w);
}

void TimeStillsAtRate(Animation* chain, uint32_t fpsMilli, DelayUnits delayUnits) {
  if (fpsMilli == 0) return;
  const uint64_t units = delayUnits.perSecond;
  const uint64_t rate =
      std::min<uint64_t>(fpsMilli, std::min<uint64_t>(kMaxClipRate, units) * 1000);
  auto startOf = [&](uint64_t i) { return (2 * i * units * 1000 + rate) / (2 * rate); };
  uint64_t index = 0;
  for (Animation* a = chain; a; a = a->nextInChain.get()) {
    if (a->frameCount != 1 || !FirstFrame(*a)) continue;
    FirstFrame(*a)->delay =
        static_cast<uint32_t>(std::clamp<uint64_t>(startOf(index + 1) - startOf(index), 1, 0xFFFF));
    ++index;
  }
}

}  // namespace lw
