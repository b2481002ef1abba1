// The frame step that also chooses disposals. The original animation is played on a model screen
// picture by picture; each rewritten frame starts from the screen the previous rewritten frame
// leaves after its disposal, chosen among leave, restore to background and restore to previous
// for the smallest next frame, and draws only what differs from the picture to show.
//
// A first pass decides every frame's area, disposal and time without touching the animation, so
// a case it cannot handle exactly falls back to the plain frame step; a second pass plays the
// original again and rewrites the frames.
#include <algorithm>
#include <bit>
#include <cstring>
#include <new>
#include <vector>

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

constexpr const char* kFrameStepStatus = TableText(str::OptimizingFrameImages);
constexpr const char* kNoCutText = TableText(str::OptimizeShortOfResources);

// A screen pixel: a global palette index, or nothing drawn (never drawn, or restored to the
// background).
constexpr uint16_t kCleared = 256;

enum Choice { kLeave = 0, kBackground = 1, kPrevious = 2 };

struct Rect {
  uint32_t left = 0, top = 0, right = 0, bottom = 0;  // right, bottom exclusive
  bool Empty() const { return left >= right || top >= bottom; }
  uint64_t Area() const { return Empty() ? 0 : uint64_t{right - left} * (bottom - top); }
  uint32_t Width() const { return right - left; }
  uint32_t Height() const { return bottom - top; }
};

Rect Union(const Rect& a, const Rect& b) {
  if (a.Empty()) return b;
  if (b.Empty()) return a;
  return {std::min(a.left, b.left), std::min(a.top, b.top), std::max(a.right, b.right),
          std::max(a.bottom, b.bottom)};
}

// Bounding box of marked pixels, gathered row by row.
struct BoxOf {
  uint32_t left = UINT32_MAX, top = UINT32_MAX, right = 0, bottom = 0;
  void Row(uint32_t y, uint32_t first, uint32_t last) {  // last inclusive
    left = std::min(left, first);
    right = std::max(right, last + 1);
    if (top == UINT32_MAX) top = y;
    bottom = y + 1;
  }
  Rect Get() const { return top == UINT32_MAX ? Rect{} : Rect{left, top, right, bottom}; }
};

// Per row: first and last marked column.
struct Span {
  uint32_t first = UINT32_MAX, last = 0;
  void Mark(uint32_t x) {
    if (first == UINT32_MAX) first = x;
    last = x;
  }
  void Flush(BoxOf* box, uint32_t y) const {
    if (first != UINT32_MAX) box->Row(y, first, last);
  }
};

// Whether a row of the screen holds an empty pixel in [from, to).
bool HasEmpty(const uint16_t* row, uint32_t from, uint32_t to) {
  uint32_t any = 0;
  for (uint32_t x = from; x < to; ++x) any |= row[x] == kCleared;
  return any != 0;
}

// The first and last x of [from, to) where rows a and b differ, compared four pixels at a time.
Span Differ(const uint16_t* a, const uint16_t* b, uint32_t from, uint32_t to) {
  Span span;
  uint32_t x = from;
  for (; x + 4 <= to; x += 4) {
    uint64_t u, v;
    std::memcpy(&u, a + x, 8);
    std::memcpy(&v, b + x, 8);
    if (u != v) break;
  }
  while (x < to && a[x] == b[x]) ++x;
  if (x >= to) return span;
  span.first = x;
  uint32_t r = to;
  for (; r >= x + 4; r -= 4) {
    uint64_t u, v;
    std::memcpy(&u, a + r - 4, 8);
    std::memcpy(&v, b + r - 4, 8);
    if (u != v) break;
  }
  while (a[r - 1] == b[r - 1]) --r;  // stops at x at the latest
  span.last = r - 1;
  return span;
}

// The first and last x of [from, to) where the row shows something.
Span Filled(const uint16_t* row, uint32_t from, uint32_t to) {
  Span span;
  uint32_t x = from;
  while (x < to && row[x] == kCleared) ++x;
  if (x >= to) return span;
  span.first = x;
  uint32_t r = to;
  while (row[r - 1] == kCleared) --r;
  span.last = r - 1;
  return span;
}

// The spans of two ranges of a row, the first left of the second.
Span Join(const Span& left, const Span& right) {
  if (left.first == UINT32_MAX) return right;
  if (right.first == UINT32_MAX) return left;
  Span span;
  span.first = left.first;
  span.last = right.last;
  return span;
}

// One row of a rewritten frame from the screen it shows (cur) over the one below (shown): the
// pixels, empty ones as t, and the mask of those that differ. Returns whether some pixel repeats
// the screen below. The rows do not overlap, which lets the loop run on whole vectors.
bool RewriteRow(const uint16_t* __restrict cur, const uint16_t* __restrict shown,
                uint8_t* __restrict out, uint8_t* __restrict mask, uint32_t w, uint8_t t) {
  uint8_t repeats = 0;
  for (uint32_t x = 0; x < w; ++x) {
    const uint16_t c = cur[x];
    out[x] = c == kCleared ? t : static_cast<uint8_t>(c);
    const uint8_t differs = shown[x] != c;
    mask[x] = differs;
    repeats |= differs ^ 1;
  }
  return repeats != 0;
}

// An original frame as the model plays it.
struct Source {
  Rect rect;
  int disposal = 0;
  bool transparent = false;
  uint8_t t = 0;
  uint32_t delay = 0;
};

// What becomes of a frame.
struct Plan {
  Rect rect;
  int disposal = 0;
  uint32_t delay = 0;
  bool drop = false;
};

bool UsableImage(const Frame* f) {
  if (!f->bits() || f->width == 0 || f->height == 0) return false;
  if (f->DibWidth() != f->width || f->DibHeight() != f->height) return false;
  return f->dib.size() - DibBitsOffset >= IndexStride(f->width) * f->height;
}

// The model screens, one uint16_t per pixel: the original's picture now (cur) and one frame
// before (prev), the screen before the rewritten frame being made (shown), and what the original
// restores after a restore-to-previous frame (saved, only for animations that have one).
struct Screens {
  uint32_t width = 0, height = 0;
  std::vector<uint16_t> cur, prev, shown, saved;

  bool Allocate(uint32_t w, uint32_t h, bool restores) {
    try {
      width = w;
      height = h;
      size_t n = size_t{w} * h;
      for (std::vector<uint16_t>* plane : {&cur, &prev, &shown, &saved}) {
        if (plane == &saved && !restores) continue;
        plane->reserve(n);
        PopulatePages(plane->data(), n * sizeof(uint16_t));
        plane->assign(n, kCleared);
      }
    } catch (const std::bad_alloc&) {
      return false;
    }
    return true;
  }
  void Reset() {
    std::fill(cur.begin(), cur.end(), kCleared);
    std::fill(prev.begin(), prev.end(), kCleared);
    std::fill(shown.begin(), shown.end(), kCleared);
  }
  uint16_t* Row(std::vector<uint16_t>& plane, uint32_t y) {
    return plane.data() + size_t{y} * width;
  }

  void Copy(std::vector<uint16_t>& to, std::vector<uint16_t>& from, const Rect& r) {
    for (uint32_t y = r.top; y < r.bottom; ++y)
      std::memcpy(Row(to, y) + r.left, Row(from, y) + r.left, r.Width() * sizeof(uint16_t));
  }
  void Fill(std::vector<uint16_t>& to, const Rect& r) {
    for (uint32_t y = r.top; y < r.bottom; ++y)
      std::fill_n(Row(to, y) + r.left, r.Width(), kCleared);
  }

  // Plays original frame f over cur, after the previous original frame's disposal; returns the
  // area where cur may now differ from prev.
  Rect Play(const Frame* f, const Source& s, const Source* before) {
    Rect touched = s.rect;
    if (before && before->disposal == 2) {
      Fill(cur, before->rect);
      touched = Union(touched, before->rect);
    } else if (before && before->disposal == 3) {
      Copy(cur, saved, before->rect);
      touched = Union(touched, before->rect);
    }
    if (s.disposal == 3) Copy(saved, cur, s.rect);
    const uint64_t stride = IndexStride(f->width);
    for (uint32_t y = 0; y < f->height; ++y) {
      const uint8_t* p = f->bits() + y * stride;
      uint16_t* c = Row(cur, s.rect.top + y) + s.rect.left;
      if (s.transparent) {
        // A store on every pixel, so that the loop runs on whole vectors.
        for (uint32_t x = 0; x < f->width; ++x) c[x] = p[x] != s.t ? p[x] : c[x];
      } else {
        for (uint32_t x = 0; x < f->width; ++x) c[x] = p[x];
      }
    }
    return touched;
  }

  // The screen after the rewritten frame over r is taken away as choice says.
  void Dispose(const Rect& r, Choice choice) {
    if (choice == kLeave) Copy(shown, prev, r);
    if (choice == kBackground) Fill(shown, r);
  }
};

// The frame's own pixel buffer made over into a w x h picture (header and colour table still to be
// set), when it is large enough and not far too large: it saves a fresh allocation, whose pages
// cost more to touch than the copy. Empty (the frame's buffer untouched) otherwise.
std::vector<uint8_t> ReuseDib(std::vector<uint8_t>* old, uint32_t w, uint32_t h) {
  const uint64_t size = DibBitsOffset + IndexStride(w) * h;
  if (old->size() < DibBitsOffset || size > old->capacity() || 2 * size < old->capacity())
    return {};
  std::vector<uint8_t> dib = std::move(*old);
  old->clear();
  dib.resize(size);
  std::fill_n(dib.data(), DibHeaderSize, uint8_t{0});
  uint8_t* p = dib.data();
  auto le32 = [](uint8_t* at, uint32_t v) {
    for (int i = 0; i < 4; ++i) at[i] = static_cast<uint8_t>(v >> (8 * i));
  };
  le32(p, DibHeaderSize);
  le32(p + 4, w);
  le32(p + 8, static_cast<uint32_t>(-static_cast<int32_t>(h)));
  p[12] = 1;  // planes
  p[14] = 8;  // bits per pixel
  return dib;
}

Choice ChoiceOf(int disposal) {
  if (disposal == 2) return kBackground;
  if (disposal == 3) return kPrevious;
  return kLeave;
}

int CodeOf(Choice c, int original) {
  if (c == kBackground) return 2;
  if (c == kPrevious) return 3;
  return original <= 1 ? original : 1;
}

// Whether every frame is one the model can follow index by index.
bool Handled(const Animation& a) {
  if (!a.globalPalette || a.globalPalette->Count() < 1 || !FirstFrame(a)) return false;
  if (a.screenWidth == 0 || a.screenHeight == 0) return false;
  if (uint64_t{a.screenWidth} * a.screenHeight * sizeof(uint16_t) * 4 > MaxImageBytes) return false;
  for (const Frame* f = FirstFrame(a); f; f = NextFrame(f)) {
    if (f->localPalette || !UsableImage(f) || f->Disposal() > 3 || !f->rgbPlane.empty() ||
        !f->alphaPlane.empty())
      return false;
    if (f->left < 0 || f->top < 0 || uint64_t(f->left) + f->width > a.screenWidth ||
        uint64_t(f->top) + f->height > a.screenHeight)
      return false;
  }
  return true;
}

class Step {
 public:
  Step(Animation& a, const OptimizeOptions& options, ProgressMeter* progress)
      : a_(a), options_(options), progress_(progress) {}

  // -1: not handled (nothing changed); 0 cancelled; 1 done.
  int Run() {
    if (!Handled(a_)) return -1;
    entries_ = std::min(a_.globalPalette->Count(), 256);
    try {
      for (const Frame* f = FirstFrame(a_); f; f = NextFrame(f)) {
        Source s;
        s.rect = {uint32_t(f->left), uint32_t(f->top), uint32_t(f->left) + f->width,
                  uint32_t(f->top) + f->height};
        s.disposal = f->Disposal();
        s.transparent = f->Transparent();
        s.t = f->transparentIndex;
        s.delay = f->delay;
        sources_.push_back(s);
      }
      plans_.resize(sources_.size());
    } catch (const std::bad_alloc&) {
      return -1;
    }
    bool restores = false;
    for (const Source& s : sources_) restores |= s.disposal == 3;
    if (!screens_.Allocate(a_.screenWidth, a_.screenHeight, restores)) return -1;
    ProgressSetText(progress_, kFrameStepStatus);
    ProgressSetRange(progress_, static_cast<uint32_t>(2 * sources_.size()));
    int decided = Decide();
    if (decided <= 0) return decided;
    return Build();
  }

 private:
  // The kept pixels of a frame over r (those where shown and cur differ): which indexes they
  // use, and whether r holds a pixel that must stay empty.
  void Needs(const Rect& r, bool* used, bool* cleared) {
    // Every pixel marks a slot without a branch: its index when kept, the spare slot 257 when
    // it repeats the screen (an empty kept pixel marks 256, which is not an index). Runs of
    // four pixels that repeat the screen are passed over at once.
    bool marks[258] = {};
    *cleared = false;
    for (uint32_t y = r.top; y < r.bottom; ++y) {
      const uint16_t* c = screens_.Row(screens_.cur, y);
      const uint16_t* s = screens_.Row(screens_.shown, y);
      *cleared |= HasEmpty(c, r.left, r.right);
      uint32_t x = r.left;
      for (; x + 4 <= r.right; x += 4) {
        uint64_t u, v;
        std::memcpy(&u, c + x, 8);
        std::memcpy(&v, s + x, 8);
        if (u == v) continue;
        for (uint32_t k = x; k < x + 4; ++k) marks[s[k] != c[k] ? c[k] : 257] = true;
      }
      for (; x < r.right; ++x) marks[s[x] != c[x] ? c[x] : 257] = true;
    }
    std::copy_n(marks, 256, used);
  }

  bool AllUsed(const bool* used) const {
    for (int i = 0; i < entries_; ++i)
      if (!used[i]) return false;
    return true;
  }

  // The first rewritten frame: everything drawn is new.
  bool DecideFrame(size_t k, const Rect& box) {
    const Source& s = sources_[k];
    Rect r = box.Empty() ? Rect{s.rect.left, s.rect.top, s.rect.left + 1, s.rect.top + 1} : box;
    bool used[256], cleared;
    Needs(r, used, &cleared);
    noIndex_ = AllUsed(used);
    if (noIndex_ && cleared) return false;  // an empty pixel could not be shown
    plans_[k] = {r, s.disposal, s.delay, false};
    return true;
  }

  int Decide() {
    const Frame* f = FirstFrame(a_);
    size_t kept = 0;
    for (size_t k = 0; k < sources_.size(); ++k, f = NextFrame(f)) {
      const Source& s = sources_[k];
      const Source* before = k ? &sources_[k - 1] : nullptr;
      const Rect touched = screens_.Play(f, s, before);
      if (k == 0) {
        BoxOf box;
        for (uint32_t y = touched.top; y < touched.bottom; ++y) {
          Span span;
          const uint16_t* c = screens_.Row(screens_.cur, y);
          for (uint32_t x = touched.left; x < touched.right; ++x)
            if (c[x] != kCleared) span.Mark(x);
          span.Flush(&box, y);
        }
        if (!DecideFrame(0, box.Get())) return -1;
      } else if (!DecideNext(k, kept, touched)) {
        return -1;
      }
      if (!plans_[k].drop) kept = k;
      screens_.Copy(screens_.prev, screens_.cur, touched);
      if (!ProgressStep(progress_)) return 0;
    }
    // The last frame leaves the screen as the original's last frame does.
    plans_[kept].disposal = sources_.back().disposal;
    return 1;
  }

  // Frame k against the screens the kept frame j's disposal choices would leave.
  bool DecideNext(size_t k, size_t j, const Rect& touched) {
    Screens& m = screens_;
    const Source& s = sources_[k];
    const Source& before = sources_[k - 1];
    Plan& pj = plans_[j];

    // Pixels the original empties now must lie inside frame j, for its disposal to empty them.
    Rect e = pj.rect;
    if (before.disposal >= 2) {
      BoxOf emptied;
      for (uint32_t y = before.rect.top; y < before.rect.bottom; ++y) {
        Span span;
        const uint16_t* p = m.Row(m.prev, y);
        const uint16_t* c = m.Row(m.cur, y);
        for (uint32_t x = before.rect.left; x < before.rect.right; ++x)
          if (c[x] == kCleared && p[x] != kCleared) span.Mark(x);
        span.Flush(&emptied, y);
      }
      Rect grown = Union(e, emptied.Get());
      bool emptyInside = false;
      if (noIndex_ && grown.Area() != e.Area()) {
        for (uint32_t y = grown.top; y < grown.bottom && !emptyInside; ++y) {
          const uint16_t* p = m.Row(m.prev, y);
          for (uint32_t x = grown.left; x < grown.right; ++x)
            if (p[x] == kCleared) emptyInside = true;
        }
      }
      if (!emptyInside) e = grown;
    }

    // Needed pixels: outside e the screen is prev whatever the choice; inside, each choice.
    const Rect w = Union(touched, e);
    BoxOf outside, inside[3];
    bool outsideBad = false, bad[3] = {false, false, false};
    for (uint32_t y = w.top; y < w.bottom; ++y) {
      const uint16_t* p = m.Row(m.prev, y);
      const uint16_t* c = m.Row(m.cur, y);
      const uint16_t* sh = m.Row(m.shown, y);
      // Boxes need only the ends of each row's spans, found from both sides; only a row that
      // holds an empty pixel can rule a choice out, and only such a row is walked through.
      const bool anyEmpty = HasEmpty(c, w.left, w.right);
      Span out;
      if (y >= e.top && y < e.bottom) {
        out = Join(Differ(p, c, w.left, e.left), Differ(p, c, e.right, w.right));
        Differ(p, c, e.left, e.right).Flush(&inside[kLeave], y);
        Filled(c, e.left, e.right).Flush(&inside[kBackground], y);
        Differ(sh, c, e.left, e.right).Flush(&inside[kPrevious], y);
        if (anyEmpty) {
          for (uint32_t x = w.left; x < w.right; ++x) {
            if (c[x] != kCleared) continue;
            if (x < e.left || x >= e.right) {
              outsideBad |= p[x] != kCleared;
            } else {
              bad[kLeave] |= p[x] != kCleared;
              bad[kPrevious] |= sh[x] != kCleared;
            }
          }
        }
      } else {
        out = Differ(p, c, w.left, w.right);
        if (anyEmpty) {
          for (uint32_t x = w.left; x < w.right; ++x)
            outsideBad |= c[x] == kCleared && p[x] != kCleared;
        }
      }
      out.Flush(&outside, y);
    }

    const Rect common = outside.Get();
    Rect boxes[3];
    for (int i = 0; i < 3; ++i) boxes[i] = Union(common, inside[i].Get());

    // Nothing changes on screen: the frame goes and its time goes to the kept frame.
    if (!outsideBad && !bad[kLeave] && boxes[kLeave].Empty() &&
        (options_.steps & optimize::RemoveUselessFrames) &&
        options_.units.ToHundredths(uint64_t{pj.delay} + s.delay) <= 0xFFFF) {
      pj.delay += s.delay;
      plans_[k].drop = true;
      return true;
    }
    if (outsideBad) return false;

    const Choice order[4] = {ChoiceOf(sources_[j].disposal), kLeave, kBackground, kPrevious};
    int best = -1;
    for (Choice c : order) {
      if (bad[c]) continue;
      if (best < 0 || boxes[c].Area() < boxes[best].Area()) best = c;
    }
    if (best < 0) return false;
    const Choice choice = static_cast<Choice>(best);
    pj.rect = e;
    pj.disposal = CodeOf(choice, sources_[j].disposal);
    m.Dispose(e, choice);
    return DecideFrame(k, boxes[choice]);
  }

  // Plays the original again and rewrites the frames as planned. A cancel here leaves frames
  // planned for screens that later frames no longer give; only trial copies are ever cancelled,
  // and a cancelled trial's copy is thrown away.
  int Build() {
    screens_.Reset();
    Frame* f = FirstFrame(a_);
    size_t kept = SIZE_MAX;
    std::vector<uint8_t> mask;
    const bool smallest = options_.steps & optimize::MinimalCodeSize;
    DuplicatesQueue duplicates;  // on a cancel, frames without a result stay as cut
    for (size_t k = 0; k < sources_.size(); ++k) {
      Frame* next = NextFrame(f);
      const Source& s = sources_[k];
      const Rect touched = screens_.Play(f, s, k ? &sources_[k - 1] : nullptr);
      const Plan& plan = plans_[k];
      if (plan.drop) {
        if (f->selected && a_.selectedCount) SetSelectedCount(a_, a_.selectedCount - 1);
        UnlinkAndFreeBlock(f);
        --a_.frameCount;
      } else {
        if (kept != SIZE_MAX) screens_.Dispose(plans_[kept].rect, ChoiceOf(plans_[kept].disposal));
        if (!Rewrite(f, s, plan, &mask, smallest, &duplicates)) {
          duplicates.Finish();
          ShowError("%s", kNoCutText);
          return 1;
        }
        kept = k;
      }
      screens_.Copy(screens_.prev, screens_.cur, touched);
      if (!ProgressStep(progress_)) return 0;
      f = next;
    }
    duplicates.Finish();
    return 1;
  }

  // Frame f becomes what the screen shows over the plan's area: pixels that differ from the
  // screen below are kept (mask 1), others repeat it, empty ones are transparent.
  bool Rewrite(Frame* f, const Source& s, const Plan& plan, std::vector<uint8_t>* mask,
               bool smallest, DuplicatesQueue* duplicates) {
    const Rect& r = plan.rect;
    const uint32_t w = r.Width(), h = r.Height();
    bool used[256], cleared;
    Needs(r, used, &cleared);
    int top = 0;
    for (int i = 0; i < 256; ++i)
      if (used[i]) top = i;
    const int smallBits =
        smallest ? std::max(2, static_cast<int>(std::bit_width(unsigned(top)))) : 0;
    int t = -1;
    if (cleared) {
      t = ChooseTransparentIndex(used, entries_, s.transparent ? s.t : -1, smallBits);
      if (t < 0) return true;  // ruled out while deciding
    }
    try {
      mask->resize(size_t{w} * h);  // every byte is written below
    } catch (const std::bad_alloc&) {
      return false;
    }
    const uint64_t stride = IndexStride(w);
    std::vector<uint8_t> dib = ReuseDib(&f->dib, w, h);
    if (dib.empty()) dib = BuildDib(w, h, f->palette);
    if (dib.empty()) return false;
    bool anyRepeat = false;
    for (uint32_t y = 0; y < h; ++y) {
      uint8_t* out = dib.data() + DibBitsOffset + y * stride;
      anyRepeat |= RewriteRow(screens_.Row(screens_.cur, r.top + y) + r.left,
                              screens_.Row(screens_.shown, r.top + y) + r.left, out,
                              mask->data() + size_t{y} * w, w, static_cast<uint8_t>(t));
      std::fill(out + w, out + stride, uint8_t{0});
    }
    FreeRgbPlane(f);
    RemoveTransparencyMask(f);
    f->dib = std::move(dib);
    f->left = static_cast<int32_t>(r.left);
    f->top = static_cast<int32_t>(r.top);
    f->width = w;
    f->height = h;
    f->delay = plan.delay;
    SetDisposal(f, plan.disposal);
    UpdateDibColourTable(f);
    SetTransparency(f, false);
    if (t >= 0) {
      SetTransparentIndex(f, static_cast<uint8_t>(t));
      SetTransparency(f, true);
    }
    if (smallest) f->codeSize = SmallestCodeSize(*f);
    // The code size the transparent index needs is set again once the results are in.
    if ((options_.steps & optimize::DuplicatesToTransparency) && anyRepeat)
      duplicates->Submit(f, mask->data(), smallest, false);
    return true;
  }

  Animation& a_;
  const OptimizeOptions options_;
  ProgressMeter* const progress_;
  std::vector<Source> sources_;
  std::vector<Plan> plans_;
  Screens screens_;
  int entries_ = 0;
  bool noIndex_ = false;  // the last kept frame's pixels use every index: no transparent one
};

}  // namespace

int OptimizeFramesAndDisposals(Animation& animation, const OptimizeOptions& options,
                               ProgressMeter* progress) {
  Step step(animation, options, progress);
  return step.Run();
}

}  // namespace lw
