// The part of a clip that is read: where it starts, how long it lasts, the frame rate and the
// width of its frames. The window asks for it in the clip import dialog; the batch mode sets it
// with its flags for the clips that follow.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "core/delay_units.h"

namespace lw {

struct Animation;

struct VideoPart {
  int64_t startMs = 0;
  int64_t lengthMs = 0;   // 0: to the clip's end
  uint32_t fpsMilli = 0;  // frames a second x 1000; 0: the clip's own, up to 50
  uint32_t width = 0;     // 0: the clip's own; the height keeps the proportions
  bool operator==(const VideoPart&) const = default;
};

// The part the next clips are read with, before the import dialog shows it.
void SetVideoPartPreset(const VideoPart& part);
VideoPart VideoPartPreset();

// What the import dialog shows, and the part it fills.
struct VideoImportRequest {
  std::string path;
  uint32_t width = 0;  // the clip's own size
  uint32_t height = 0;
  int64_t lengthMs = 0;
  uint32_t ownFpsMilli = 0;  // 0 when the file does not say
  uint64_t budgetBytes = 0;  // what all the pictures of the program may take
  // The picture shown at a time of the clip, at most maxSide pixels on its longer side, in rows
  // of (3 x width + 3) & ~3 bytes, blue, green, red, top row first. False when none can be read.
  std::function<bool(int64_t ms, uint32_t maxSide, std::vector<uint8_t>* bgr, uint32_t* width,
                     uint32_t* height)>
      pictureAt;
  VideoPart part;  // preset; the choice on OK
};

// The height that keeps the clip's proportions at width (at least 1).
uint32_t VideoPartHeight(const VideoImportRequest& request, uint32_t width);

// About how many frames the part gives and the bytes their pictures take.
void VideoPartCost(const VideoImportRequest& request, const VideoPart& part, uint64_t* frames,
                   uint64_t* bytes);

// Times the still images of a chain (its one-frame animations) at fpsMilli frames a second x 1000
// (at most the fastest a clip is read at), each start rounded on the running total: 20 gives 5
// hundredths each, 30 gives 3, 3, 4, in units of a hundredth. Nothing changes for 0.
void TimeStillsAtRate(Animation* chain, uint32_t fpsMilli, DelayUnits units);

}  // namespace lw
