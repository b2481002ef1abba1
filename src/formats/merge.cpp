#include "formats/merge.h"

#include <algorithm>
#include <climits>
#include <new>

#include "base/messages.h"
#include "base/progress.h"
#include "base/string_ids.h"
#include "base/strings.h"
#include "colour/palette_fit.h"
#include "core/compose.h"
#include "core/document_listener.h"
#include "core/frame_player.h"
#include "core/picture_budget.h"
#include "core/undo.h"
#include "formats/common/flow_text.h"
#include "formats/open_flow.h"
#include "platform/flow_dialogs.h"

namespace lw {
namespace {

constexpr int MaxOffset = 32000;
constexpr int64_t MaxScreenSide = 65535;  // the GIF screen fields are 16-bit

enum BuildResult { BuildFailed = 0, BuildDone = 1, BuildCancelled = 2, BuildOverBudget = 3 };

// One animation playing: its current picture (none once it ran out without looping).
struct Side {
  FramePlayerPtr player;
  Frame* picture = nullptr;
  bool loop = false;
  uint64_t start = 0;

  bool Advance() {
    picture = NextPicture(player.get());
    if (!picture && player->failed) return false;
    if (!picture && loop) {
      picture = FirstPicture(player.get());
      if (!picture && player->failed) return false;
    }
    return true;
  }
  const Frame* Source() const { return picture ? player->current : nullptr; }
};

// Draws what the side shows at (x, y) of the merged picture (width pixels a row), and marks
// those pixels drawn in clear.
void Draw(std::vector<uint8_t>& dib, std::vector<uint8_t>& clear, uint32_t width, const Side& side,
          int64_t x, int64_t y) {
  const Frame* picture = side.picture;
  if (!picture) return;
  DibGeometry to, from;
  if (!GetDibGeometry(dib, &to) || !GetDibGeometry(picture->dib, &from)) return;
  const std::vector<uint8_t>& shown = side.player->clear;
  for (int64_t r = 0; r < static_cast<int64_t>(from.height); ++r) {
    const int64_t ty = y + r;
    if (ty < 0 || ty >= static_cast<int64_t>(to.height)) continue;
    const uint8_t* in = picture->dib.data() + DibBitsOffset + r * from.stride;
    uint8_t* out = dib.data() + DibBitsOffset + ty * to.stride;
    for (int64_t c = 0; c < static_cast<int64_t>(from.width); ++c) {
      const int64_t tx = x + c;
      if (tx < 0 || tx >= static_cast<int64_t>(to.width)) continue;
      if (shown[static_cast<size_t>(r * from.width + c)]) continue;
      out[tx] = in[c];
      clear[static_cast<size_t>(ty * width + tx)] = 0;
    }
  }
}

// A merged picture's clear pixels take its transparent index, which no drawn pixel may hold: an
// index a side drew as a colour is swapped for one no drawn pixel uses, or, with none left, the
// clear pixels take the background and the frame is opaque.
void KeepClearPixelsApart(Frame* frame, const std::vector<uint8_t>& clear, uint8_t background) {
  if (!frame->Transparent()) return;
  DibGeometry g;
  if (!GetDibGeometry(frame->dib, &g)) return;
  uint8_t* bits = frame->dib.data() + DibBitsOffset;
  bool drawn[256] = {};
  for (uint32_t y = 0; y < g.height; ++y)
    for (uint32_t x = 0; x < g.width; ++x)
      if (!clear[size_t{y} * g.width + x]) drawn[bits[y * g.stride + x]] = true;
  if (!drawn[frame->transparentIndex]) return;
  const int entries = frame->palette ? std::min(frame->palette->Count(), 256) : 256;
  int spare = -1;
  for (int i = entries - 1; i >= 0 && spare < 0; --i)
    if (!drawn[i]) spare = i;
  const uint8_t fill = spare >= 0 ? static_cast<uint8_t>(spare) : background;
  for (uint32_t y = 0; y < g.height; ++y)
    for (uint32_t x = 0; x < g.width; ++x)
      if (clear[size_t{y} * g.width + x]) bits[y * g.stride + x] = fill;
  if (spare >= 0) {
    SetTransparentIndex(frame, fill);
  } else {
    SetTransparency(frame, false);
  }
}

int Build(Animation& a, const Animation& b, const MergeOptions& options, ProgressMeter* meter) {
  MergeLayout layout = ComputeMergeLayout(a, b, options.offsetX, options.offsetY);
  if (layout.width > MaxScreenSide || layout.height > MaxScreenSide) return BuildFailed;
  const uint32_t width = static_cast<uint32_t>(layout.width);
  const uint32_t height = static_cast<uint32_t>(layout.height);

  bool byDuration = options.byDuration;
  const uint64_t durationA = TotalDuration(a), durationB = TotalDuration(b);
  uint64_t steps = 0;
  if (byDuration) {
    steps = std::max(durationA, durationB);
    // Without any delay there is no time to follow: the frames are taken one by one.
    if (steps == 0) byDuration = false;
  }
  if (!byDuration) {
    steps = static_cast<uint64_t>(std::max<int>(std::max<int>(a.frameCount, b.frameCount), 0));
  }
  if (steps == 0) return BuildFailed;

  Side sideA, sideB;
  sideA.player = NewFramePlayer(a);
  sideB.player = NewFramePlayer(b);
  if (!sideA.player || !sideB.player) return BuildFailed;
  // A side whose frames take no time would loop forever without the clock moving.
  sideA.loop = options.loopShorter && (!byDuration || durationA > 0);
  sideB.loop = options.loopShorter && (!byDuration || durationB > 0);
  sideA.picture = FirstPicture(sideA.player.get());
  sideB.picture = FirstPicture(sideB.player.get());
  if (sideA.player->failed || sideB.player->failed) return BuildFailed;

  AnimationPtr merged = NewAnimation();
  if (!merged) return BuildFailed;
  Block* tail = merged->blocks;
  Palette* palette = a.globalPalette.get();

  ProgressSetText(meter, TableText(str::Blending));
  ProgressSetRange(meter, static_cast<uint32_t>(std::min<uint64_t>(steps, UINT32_MAX)));
  // Every output frame is a full screen: short delays over a long time, or a large screen,
  // make more of them than memory holds. They are counted against the picture budget.
  const uint64_t frameBytes = DibBitsOffset + IndexStride(width) * height;
  const uint64_t budget = PictureBudgetBytes();
  uint64_t bytesMade = 0;
  uint64_t elapsed = 0;
  int count = 0;
  for (;;) {
    if (count == INT16_MAX) return BuildFailed;
    if (frameBytes > budget || bytesMade > budget - frameBytes) return BuildOverBudget;
    bytesMade += frameBytes;
    ++count;
    const Frame* pictureA = sideA.picture;
    uint8_t fill =
        pictureA && pictureA->Transparent() ? pictureA->transparentIndex : a.backgroundIndex;
    std::vector<uint8_t> dib = BuildDib(width, height, palette);
    if (dib.empty()) return BuildFailed;
    FillDibPixels(dib, fill);
    std::vector<uint8_t> clear(size_t{width} * height, pictureA && pictureA->Transparent() ? 1 : 0);
    Draw(dib, clear, width, sideA, layout.ax, layout.ay);
    Draw(dib, clear, width, sideB, layout.bx, layout.by);

    Frame* frame = NewFrame(width, height, options.frameDelay);
    if (!frame) return BuildFailed;
    InsertBlockAfter(tail, frame);
    tail = frame;
    frame->palette = palette;
    SetFrameDib(frame, std::move(dib));
    const Frame* look = pictureA ? pictureA : sideB.picture;
    const Frame* source = pictureA ? sideA.Source() : sideB.Source();
    if (look) {
      SetInterlaced(frame, source && source->Interlaced());
      SetDisposal(frame, look->Disposal());
      SetTransparentIndex(frame, look->transparentIndex);
      SetTransparency(frame, look->Transparent());
      KeepClearPixelsApart(frame, clear, a.backgroundIndex);
    }
    SetFrameName(frame, FormatResNumber(str::MergedFrameName, count));

    uint64_t position = 0;
    if (byDuration) {
      uint64_t endA = sideA.start + (sideA.picture ? sideA.picture->delay : steps);
      uint64_t endB = sideB.start + (sideB.picture ? sideB.picture->delay : steps);
      uint64_t end = std::min({endA, endB, steps});
      frame->delay = static_cast<uint32_t>(end - elapsed);
      elapsed = end;
      if (endA == elapsed) {
        if (!sideA.Advance()) return BuildFailed;
        sideA.start = endA;
      }
      if (endB == elapsed) {
        if (!sideB.Advance()) return BuildFailed;
        sideB.start = endB;
      }
      position = elapsed;
    } else {
      frame->delay = look ? look->delay : 0;
      if (!sideA.Advance() || !sideB.Advance()) return BuildFailed;
      position = static_cast<uint64_t>(count);
    }
    if (!ProgressSetPosition(meter,
                             static_cast<uint32_t>(std::min<uint64_t>(position, UINT32_MAX)))) {
      return BuildCancelled;
    }
    if (position >= steps) break;
  }

  // Replace a's frames; its extension blocks from the first frame on follow the merged frames,
  // those before its first frame stay where they are.
  Frame* firstFrame = FirstFrame(a);
  Block* anchor = firstFrame ? firstFrame->prev : LastBlock(a);
  Block* keptFirst = nullptr;
  Block* keptLast = nullptr;
  if (firstFrame) {
    anchor->next = nullptr;
    Block* block = firstFrame;
    while (block) {
      Block* next = block->next;
      block->next = block->prev = nullptr;
      if (block->IsFrame()) {
        FreeBlock(block);
        --a.frameCount;
      } else {
        if (keptLast) {
          LinkBlocks(keptLast, block);
        } else {
          keptFirst = block;
        }
        keptLast = block;
      }
      block = next;
    }
  }
  Block* mergedFirst = merged->blocks->next;
  merged->blocks->next = nullptr;
  LinkBlocks(anchor, mergedFirst);
  LinkBlocks(tail, keptFirst);
  a.frameCount = static_cast<int16_t>(count);
  a.screenWidth = width;
  a.screenHeight = height;
  SetSelectedCount(a, 0);
  a.encodedSizeCache = -1;
  CountColourUsage(a, a.colourUsage.data(), true);
  return BuildDone;
}

int BuildCatching(Animation& a, const Animation& b, const MergeOptions& options,
                  ProgressMeter* meter) {
  try {
    return Build(a, b, options, meter);
  } catch (const std::bad_alloc&) {
    return BuildFailed;
  }
}

}  // namespace

MergeLayout ComputeMergeLayout(const Animation& a, const Animation& b, int offsetX, int offsetY) {
  MergeLayout layout;
  const int64_t x = offsetX, y = offsetY;
  const int64_t aw = a.screenWidth, ah = a.screenHeight, bw = b.screenWidth, bh = b.screenHeight;
  layout.width = std::max(aw, x + bw) + std::max<int64_t>(-x, 0);
  layout.height = std::max(ah, y + bh) + std::max<int64_t>(-y, 0);
  layout.ax = std::max<int64_t>(-x, 0);
  layout.ay = std::max<int64_t>(-y, 0);
  layout.bx = layout.ax + x;
  layout.by = layout.ay + y;
  return layout;
}

bool BuildMergedAnimation(Animation& a, const Animation& b, const MergeOptions& options,
                          ProgressMeter* meter) {
  return BuildCatching(a, b, options, meter) == BuildDone;
}

int MergeAnimations(DocumentSession& state, const std::string& path) {
  if (!state.document || path.empty()) return 0;
  Animation& a = *state.document;
  WindowHandle owner = state.owner;
  state.StopPreview();
  ProgressMeterPtr meter(CreateProgressMeter(owner, progress::OwnPopup, 0));
  const FlowSettings settings = state.Settings();
  AnimationPtr b;
  if (ReadAnyFile(path, settings.read, owner, &b, meter.get()) == ReadFailed || !b) return 0;

  // The document as it was: the undo entry, and what a cancel puts back (fitting may already
  // have changed its palette).
  AnimationPtr before = DuplicateAnimation(a, nullptr);
  if (!before) {
    ShowErrorId(str::OutOfMemory);
    return 0;
  }
  auto restore = [&] {
    b.reset();
    SwapAnimations(a, *before);
  };
  uint32_t word = settings.paletteFit.storedWord;
  if (PaletteMergeMethod(word) == merge::LocalEach) {
    word = (word & ~merge::MethodMask) | merge::Adaptive;
  }
  word = (word & ~merge::Ask) | merge::TakeLocals;
  if (FitPalettes(&a, b.get(), word, settings.paletteFit, owner, meter.get()) != 1) {
    restore();
    return 0;
  }

  MergeOptions options;
  options.byDuration = settings.mergeByDuration;
  options.loopShorter = settings.mergeLoopShorter;
  bool accepted = false;
  try {
    accepted = Dialogs().AskMergeOptions(owner, a, *b, &options);
  } catch (const std::bad_alloc&) {
    accepted = false;
  }
  if (!accepted) {
    restore();
    return 0;
  }
  if (state.settings) state.settings->KeepMergeChoice(options.byDuration, options.loopShorter);
  options.offsetX = std::clamp(options.offsetX, -MaxOffset, MaxOffset);
  options.offsetY = std::clamp(options.offsetY, -MaxOffset, MaxOffset);
  options.frameDelay = settings.read.timing.defaultDelay;

  ProgressResetCancel(meter.get());
  int result = BuildCatching(a, *b, options, meter.get());
  if (result != BuildDone) {
    restore();
    if (result == BuildFailed) ShowErrorId(str::OutOfMemory);
    if (result == BuildOverBudget) ShowErrorId(str::NoFrameMemory);
    return 0;
  }
  b.reset();
  RecordUndo(UndoKind::MergeAnimations, a, undo::WholeCopy{std::move(before)});
  state.modified = true;
  state.NotifyTitle();
  state.NotifyDocument(refresh::Document | refresh::FrameCount | refresh::ScreenSize |
                       refresh::Encoding | refresh::Names);
  return 2;
}

}  // namespace lw
