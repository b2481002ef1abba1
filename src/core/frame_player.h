// Full-screen pictures of an animation, one frame after the other, with the GIF disposal rules
// applied (used when animations are merged).
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "core/animation.h"

namespace lw {

struct FramePlayer {
  const Animation* animation = nullptr;  // not owned; must outlive the pictures
  // The composed picture, logical screen size, with the last frame's palette, timing and
  // transparent index; it has no transparency mask, the index being no guide (see clear).
  std::unique_ptr<Frame> canvas;
  std::unique_ptr<Frame> saved;  // the picture to restore for disposal 3
  // Which pixels of the canvas no frame shows (1), row by row over the screen: the canvas's own
  // transparent index cannot tell, as an earlier frame may have drawn that index as a colour.
  std::vector<uint8_t> clear;
  std::vector<uint8_t> savedClear;  // with saved
  const Frame* current = nullptr;   // the source frame last composed
  int index = -1;                   // its 0-based index, -1 before the first
  bool failed = false;              // memory ran short: the pictures stopped early
};

using FramePlayerPtr = std::unique_ptr<FramePlayer>;

// None when memory is short. The player frees its canvas and saved picture with itself.
FramePlayerPtr NewFramePlayer(const Animation& animation);

// How long a frame of this delay shows when played, in milliseconds; never 0, so that a run of
// zero delays still moves on.
int PlayedDelayMilliseconds(uint32_t delay, DelayUnits units);
void FreeFramePlayer(FramePlayerPtr player);

// The canvas holding frame 0, or none (no frame, or memory short: then failed is set). May be
// called again to restart.
Frame* FirstPicture(FramePlayer* player);
// The canvas holding the next frame, or none at the end (canvas and saved freed) or when memory
// ran short (failed set). The canvas belongs to the player and the next call overwrites it; its
// palette is the source frame's, so the animation must stay alive while it is used.
Frame* NextPicture(FramePlayer* player);

}  // namespace lw
