// Composes full-screen pictures frame by frame, applying each frame's disposal before the next.
#include "core/frame_player.h"

#include <algorithm>
#include <new>

#include "core/compose.h"

namespace lw {
namespace {

void FreePictures(FramePlayer* player) {
  player->canvas.reset();
  player->saved.reset();
  player->clear = {};
  player->savedClear = {};
}

// Sets the clear marks of the screen rectangle (clipped to the screen) to value.
void MarkRect(FramePlayer* player, int64_t x, int64_t y, int64_t w, int64_t h, uint8_t value) {
  const int64_t width = player->canvas->width, height = player->canvas->height;
  const int64_t left = std::max<int64_t>(x, 0), right = std::min(x + w, width);
  for (int64_t r = std::max<int64_t>(y, 0); r < std::min(y + h, height); ++r)
    if (right > left) std::fill_n(player->clear.data() + r * width + left, right - left, value);
}

// The pixels the frame draws (all but its transparent ones) are no longer clear.
void MarkDrawn(FramePlayer* player, const Frame* frame) {
  DibGeometry g;
  if (!GetDibGeometry(frame->dib, &g)) return;
  const int64_t width = player->canvas->width, height = player->canvas->height;
  const uint8_t* bits = frame->dib.data() + DibBitsOffset;
  for (int64_t r = 0; r < static_cast<int64_t>(g.height); ++r) {
    const int64_t y = frame->top + r;
    if (y < 0 || y >= height) continue;
    for (int64_t c = 0; c < static_cast<int64_t>(g.width); ++c) {
      const int64_t x = frame->left + c;
      if (x < 0 || x >= width) continue;
      if (!frame->Transparent() || bits[r * g.stride + c] != frame->transparentIndex)
        player->clear[static_cast<size_t>(y * width + x)] = 0;
    }
  }
}

Frame* Fail(FramePlayer* player) {
  FreePictures(player);
  player->failed = true;
  return nullptr;
}

// Draws frame over the canvas and gives the canvas the frame's colours and timing.
bool Compose(FramePlayer* player, const Frame* frame, int index) {
  Frame* canvas = player->canvas.get();
  if (frame->Disposal() == DisposalPrevious) {
    player->saved.reset(static_cast<Frame*>(DuplicateBlock(canvas, canvas->palette)));
    if (!player->saved) return false;
    try {
      player->savedClear = player->clear;
    } catch (const std::bad_alloc&) {
      return false;
    }
  }
  BlitIndexed(canvas->dib, frame->left, frame->top, frame->width, frame->height, frame->dib, 0, 0,
              frame->transparentIndex, frame->Transparent());
  MarkDrawn(player, frame);
  canvas->palette = frame->palette;
  canvas->transparentIndex = frame->transparentIndex;
  canvas->controlFlags =
      static_cast<uint8_t>((canvas->controlFlags & ~1) | (frame->controlFlags & 1));
  canvas->delay = frame->delay;
  SetDisposal(canvas, frame->Disposal());
  if (canvas->palette) {
    UpdateDibColourTable(canvas);
  } else {
    SetDibColourTable(canvas->dib, &DefaultPalette());
  }
  player->current = frame;
  player->index = index;
  return true;
}

}  // namespace

FramePlayerPtr NewFramePlayer(const Animation& animation) {
  try {
    auto player = std::make_unique<FramePlayer>();
    player->animation = &animation;
    return player;
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
}

void FreeFramePlayer(FramePlayerPtr player) { player.reset(); }

Frame* FirstPicture(FramePlayer* player) {
  if (!player || !player->animation) return nullptr;
  FreePictures(player);
  player->current = nullptr;
  player->index = -1;
  player->failed = false;
  const Animation& animation = *player->animation;
  const Frame* first = FirstFrame(animation);
  if (!first) return nullptr;
  player->canvas.reset(NewFrame(animation.screenWidth, animation.screenHeight, 0));
  if (!player->canvas) return Fail(player);
  const Palette* palette =
      animation.globalPalette ? animation.globalPalette.get() : &DefaultPalette();
  player->canvas->dib = BuildDib(animation.screenWidth, animation.screenHeight, palette);
  if (player->canvas->dib.empty()) return Fail(player);
  FillDibPixels(player->canvas->dib,
                first->Transparent() ? first->transparentIndex : animation.backgroundIndex);
  try {
    player->clear.assign(size_t{animation.screenWidth} * animation.screenHeight,
                         first->Transparent() ? 1 : 0);
  } catch (const std::bad_alloc&) {
    return Fail(player);
  }
  if (!Compose(player, first, 0)) return Fail(player);
  return player->canvas.get();
}

Frame* NextPicture(FramePlayer* player) {
  if (!player || !player->canvas || !player->current) return nullptr;
  const Frame* current = player->current;
  const Frame* next = NextFrame(current);
  if (!next) {
    FreePictures(player);
    return nullptr;
  }
  switch (current->Disposal()) {
    case DisposalPrevious: {
      if (!player->saved) return Fail(player);
      std::unique_ptr<Frame> restored(
          static_cast<Frame*>(DuplicateBlock(player->saved.get(), player->saved->palette)));
      if (!restored) return Fail(player);
      player->canvas = std::move(restored);
      std::copy(player->savedClear.begin(), player->savedClear.end(), player->clear.begin());
      break;
    }
    case DisposalBackground:
      FillIndexRect(
          player->canvas->dib, current->left, current->top, current->width, current->height,
          next->Transparent() ? next->transparentIndex : player->animation->backgroundIndex);
      MarkRect(player, current->left, current->top, current->width, current->height,
               next->Transparent() ? 1 : 0);
      break;
    default: break;
  }
  if (!Compose(player, next, player->index + 1)) return Fail(player);
  return player->canvas.get();
}

int PlayedDelayMilliseconds(uint32_t delay, DelayUnits units) {
  // Whole milliseconds per unit, as the player has always stepped.
  uint64_t ms = static_cast<uint64_t>(delay) * (1000 / units.perSecond);
  if (ms == 0) return 1;
  return static_cast<int>(std::min<uint64_t>(ms, 0x7FFFFFFF));
}

}  // namespace lw
