// The optimizer's frame step: each frame is compared with what the decoder already shows, cut to
// the rectangle that changes, dropped when it changes nothing, and given transparency where the
// screen already holds its pixels.
#include "colour/screen_model.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "base/messages.h"
#include "base/progress.h"
#include "base/string_ids.h"
#include "base/strings.h"
#include "colour/optimize.h"
#include "colour/optimize_queue.h"
#include "core/compose.h"
#include "platform/memory_pages.h"

namespace lw {

namespace {

constexpr const char* kNoModelText = TableText(str::OptimizeNoModel);
constexpr const char* kNoCutText = TableText(str::OptimizeShortOfResources);
constexpr const char* kFrameStepStatus = TableText(str::OptimizingFrameImages);

// A frame whose pixel rows can be read as width x height.
bool UsableImage(const Frame* f) {
  if (!f->bits() || f->width == 0 || f->height == 0) return false;
  if (f->DibWidth() != f->width || f->DibHeight() != f->height) return false;
  return f->dib.size() - DibBitsOffset >= IndexStride(f->width) * f->height;
}

struct Box {
  uint32_t left = UINT32_MAX, top = UINT32_MAX, right = 0, bottom = 0;  // right, bottom exclusive
  bool Empty() const { return left >= right; }
};

// Cuts the frame to the box with a new image; false when memory is short (frame untouched).
bool CutFrame(Frame* f, const Box& box) {
  uint32_t w = box.right - box.left, h = box.bottom - box.top;
  std::vector<uint8_t> dib = BuildDib(w, h, f->palette);
  if (dib.empty()) return false;
  uint64_t from = IndexStride(f->width), to = IndexStride(w);
  const uint8_t* src = f->bits() + uint64_t{box.top} * from + box.left;
  uint8_t* dst = dib.data() + DibBitsOffset;
  for (uint32_t y = 0; y < h; ++y) std::memcpy(dst + y * to, src + y * from, w);
  FreeRgbPlane(f);  // the 24-bit data no longer matches the cut image
  RemoveTransparencyMask(f);
  f->dib = std::move(dib);
  f->left += static_cast<int32_t>(box.left);
  f->top += static_cast<int32_t>(box.top);
  f->width = w;
  f->height = h;
  UpdateDibColourTable(f);
  RebuildTransparencyMask(f);
  return true;
}

// One row of the comparison with the screen, made for each combination of the frame's traits so
// that the pixel loop carries no tests that are the same for the whole frame.
using RowScan = void (*)(const uint8_t* p, uint8_t* s, uint8_t* v, uint8_t* m, uint32_t w,
                         uint8_t t, uint8_t after, uint32_t* firstOut, uint32_t* lastOut,
                         int64_t* shownOut, bool* anyUnchangedOut);

template <bool transparent, bool comparable, bool leaves, bool clears>
void ScanRow(const uint8_t* p, uint8_t* s, uint8_t* v, uint8_t* m, uint32_t w, uint8_t t,
             uint8_t after, uint32_t* firstOut, uint32_t* lastOut, int64_t* shownOut,
             bool* anyUnchangedOut) {
  uint32_t first = UINT32_MAX, last = 0;
  int64_t shown = 0;
  bool anyUnchanged = false;
  for (uint32_t x = 0; x < w; ++x) {
    const uint8_t before = v[x];
    // Over anything shown, a frame whose area is cleared afterwards must keep its pixels,
    // or the clear would leave them behind.
    uint8_t c = clears && before != ScreenModel::Cleared;
    uint8_t now = before;
    if (!transparent || p[x] != t) {
      if (!comparable || before != ScreenModel::Known || s[x] != p[x]) c = 1;
      if (leaves) {
        if (comparable) {
          s[x] = p[x];
          now = ScreenModel::Known;
        } else {
          now = ScreenModel::Unknown;
        }
      }
    }
    if (clears) now = after;
    shown += (now != ScreenModel::Cleared) - (before != ScreenModel::Cleared);
    v[x] = now;
    m[x] = c;
    if (c) {
      if (first == UINT32_MAX) first = x;
      last = x;
    } else {
      anyUnchanged = true;
    }
  }
  *firstOut = first;
  *lastOut = last;
  *shownOut += shown;
  *anyUnchangedOut |= anyUnchanged;
}

template <bool transparent, bool comparable>
RowScan PickRowScan2(bool leaves, bool clears) {
  if (leaves)
    return clears ? ScanRow<transparent, comparable, true, true>
                  : ScanRow<transparent, comparable, true, false>;
  return clears ? ScanRow<transparent, comparable, false, true>
                : ScanRow<transparent, comparable, false, false>;
}

RowScan PickRowScan(bool transparent, bool comparable, bool leaves, bool clears) {
  if (transparent)
    return comparable ? PickRowScan2<true, true>(leaves, clears)
                      : PickRowScan2<true, false>(leaves, clears);
  return comparable ? PickRowScan2<false, true>(leaves, clears)
                    : PickRowScan2<false, false>(leaves, clears);
}
}  // namespace

bool ScreenModel::Allocate(uint32_t screenWidth, uint32_t screenHeight) {
  try {
    width = screenWidth;
    height = screenHeight;
    screenStride = static_cast<size_t>(IndexStride(screenWidth));
    size_t bytes = screenStride * screenHeight;
    for (std::vector<uint8_t>* plane : {&screen, &valid, &changed}) {
      plane->reserve(bytes);
      PopulatePages(plane->data(), bytes);
      plane->assign(bytes, 0);
    }
  } catch (const std::bad_alloc&) {
    *this = ScreenModel{};
    return false;
  }
  Clear();
  return true;
}

void ScreenModel::Clear() {
  std::fill(valid.begin(), valid.end(), Cleared);
  shownCount = 0;
}

int OptimizeFrames(Animation& animation, const OptimizeOptions& options, ProgressMeter* progress) {
  if (options.steps & optimize::ChooseDisposal) {
    int done = OptimizeFramesAndDisposals(animation, options, progress);
    if (done >= 0) return done;
  }
  ProgressSetText(progress, kFrameStepStatus);
  ProgressSetRange(progress, static_cast<uint32_t>(std::max<int>(animation.frameCount, 0)));
  ScreenModel model;
  uint64_t screenBytes = IndexStride(animation.screenWidth) * uint64_t{animation.screenHeight};
  if (screenBytes > MaxImageBytes ||
      !model.Allocate(animation.screenWidth, animation.screenHeight)) {
    ShowError("%s", kNoModelText);
    return 1;
  }
  const size_t ss = model.screenStride;
  uint8_t* const screen = model.screen.data();
  uint8_t* const valid = model.valid.data();

  DuplicatesQueue duplicates;
  Frame* f = FirstFrame(animation);
  while (f) {
    Frame* next = NextFrame(f);
    const int d = f->Disposal();
    // A local palette's indexes cannot be compared with the screen's: what such a frame leaves
    // is shown but unknown. Unknown disposal codes are taken the safe way: the area may be
    // cleared afterwards, and what it holds then is unknown.
    const bool comparable = f->localPalette == nullptr;
    const bool leaves = d <= 1;
    const bool clears = d == 2 || d > 3;
    const bool transparent = f->Transparent();
    const uint8_t t = f->transparentIndex;
    const uint8_t after = d == 2 ? ScreenModel::Cleared : ScreenModel::Unknown;
    const bool inside = UsableImage(f) && f->left >= 0 && f->top >= 0 &&
                        uint64_t(f->left) + f->width <= model.width &&
                        uint64_t(f->top) + f->height <= model.height;

    if (!inside) {
      // Not a picture we can reason about: whatever it covers becomes unknown.
      int64_t l = std::clamp<int64_t>(f->left, 0, model.width);
      int64_t tp = std::clamp<int64_t>(f->top, 0, model.height);
      int64_t r = std::clamp<int64_t>(int64_t{f->left} + f->width, 0, model.width);
      int64_t b = std::clamp<int64_t>(int64_t{f->top} + f->height, 0, model.height);
      for (int64_t y = tp; y < b; ++y)
        for (int64_t x = l; x < r; ++x) {
          uint8_t& v = valid[y * ss + x];
          model.shownCount += v == ScreenModel::Cleared;
          v = ScreenModel::Unknown;
        }
      if (!ProgressStep(progress)) return 0;
      f = next;
      continue;
    }

    const uint32_t x0 = static_cast<uint32_t>(f->left), y0 = static_cast<uint32_t>(f->top);
    const uint32_t w = f->width, h = f->height;
    const uint64_t fs = IndexStride(w);
    const uint8_t* bits = f->bits();

    if (model.shownCount == 0 && !transparent && comparable && leaves) {
      // The first picture on an empty screen: all of it is new, so it stays as it is.
      for (uint32_t y = 0; y < h; ++y) {
        std::memcpy(screen + (y0 + y) * ss + x0, bits + y * fs, w);
        std::memset(valid + (y0 + y) * ss + x0, ScreenModel::Known, w);
      }
      model.shownCount = uint64_t{w} * h;
      if (!ProgressStep(progress)) return 0;
      f = next;
      continue;
    }

    uint8_t* const mask = model.changed.data();  // rows of w bytes
    Box box;
    bool anyUnchanged = false;
    int64_t shown = static_cast<int64_t>(model.shownCount);
    const RowScan scan = PickRowScan(transparent, comparable, leaves, clears);
    for (uint32_t y = 0; y < h; ++y) {
      uint32_t first = UINT32_MAX, last = 0;
      scan(bits + y * fs, screen + (y0 + y) * ss + x0, valid + (y0 + y) * ss + x0,
           mask + uint64_t{y} * w, w, t, after, &first, &last, &shown, &anyUnchanged);
      if (first != UINT32_MAX) {
        box.left = std::min(box.left, first);
        box.right = std::max(box.right, last + 1);
        if (box.top == UINT32_MAX) box.top = y;
        box.bottom = y + 1;
      }
    }
    model.shownCount = static_cast<uint64_t>(shown);

    if (box.Empty()) {
      Frame* previous = PrevFrame(f);
      // The previous frame's picture stays up for the dropped frame's time only when it is not
      // taken away after its delay (restore to background or to the previous picture), and only
      // when the summed delay still fits the file's 16-bit field.
      if ((options.steps & optimize::RemoveUselessFrames) && previous &&
          previous->Disposal() != 2 && previous->Disposal() != 3 &&
          options.units.ToHundredths(uint64_t{previous->delay} + f->delay) <= 0xFFFF) {
        previous->delay += f->delay;
        if (f->selected && animation.selectedCount)
          SetSelectedCount(animation, animation.selectedCount - 1);
        UnlinkAndFreeBlock(f);
        --animation.frameCount;
        if (!ProgressStep(progress)) return 0;
        f = next;
        continue;
      }
      box = Box{0, 0, 1, 1};
    }

    bool whole = box.left == 0 && box.top == 0 && box.right == w && box.bottom == h;
    if (!whole) {
      if (!CutFrame(f, box)) {
        ShowError("%s", kNoCutText);
        duplicates.Finish();
        return 1;
      }
      // The mask follows the cut, packed into rows of the new width.
      uint32_t nw = box.right - box.left;
      for (uint32_t y = box.top; y < box.bottom; ++y)
        std::memmove(mask + uint64_t{y - box.top} * nw, mask + uint64_t{y} * w + box.left, nw);
    }
    if ((options.steps & optimize::DuplicatesToTransparency) && anyUnchanged) {
      // Measured and kept with the code size the frame is written with.
      const bool smallest = options.steps & optimize::MinimalCodeSize;
      if (smallest) f->codeSize = SmallestCodeSize(*f);
      duplicates.Submit(f, mask, smallest);
    }
    if (!ProgressStep(progress)) return 0;
    f = next;
  }
  duplicates.Finish();
  return 1;
}

}  // namespace lw
