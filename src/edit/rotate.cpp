// Turning one frame of the animation, growing the screen when it no longer fits.
#include "edit/rotate.h"

#include <algorithm>

#include "base/messages.h"
#include "base/string_ids.h"

namespace lw {

bool TurnOneFrame(Animation& animation, int index, FrameTurn turn, bool growScreen,
                  bool* screenGrown) {
  if (screenGrown) *screenGrown = false;
  Frame* frame = FrameAt(animation, index);
  if (!frame) return false;
  if (!TurnFrame(frame, turn)) {
    ShowErrorId(str::NoFrameMemory);
    return false;
  }
  if (growScreen && TurnSwapsSides(turn) && frame->width != frame->height) {
    int64_t right = int64_t{frame->left} + frame->width;
    int64_t bottom = int64_t{frame->top} + frame->height;
    if (right > animation.screenWidth || bottom > animation.screenHeight) {
      animation.screenWidth =
          static_cast<uint32_t>(std::clamp<int64_t>(right, animation.screenWidth, 65535));
      animation.screenHeight =
          static_cast<uint32_t>(std::clamp<int64_t>(bottom, animation.screenHeight, 65535));
      if (screenGrown) *screenGrown = true;
    }
  }
  animation.encodedSizeCache = -1;
  return true;
}

}  // namespace lw
