#include "colour/reduce_trial.h"

#include <algorithm>
#include <cstdio>
#include <new>

#include "base/numbers.h"
#include "base/preference_layout.h"
#include "base/progress.h"
#include "base/string_ids.h"
#include "base/strings.h"
#include "colour/quantize_hq.h"
#include "core/undo.h"

namespace lw {

namespace {

std::string WithNumber(int textId, const std::string& number) {
  std::string format = ResText(textId);
  size_t at = format.find("%s");
  if (at != std::string::npos) format.replace(at, 2, number);
  return format;
}

}  // namespace

int LargestPaletteSize(const Animation& animation) {
  int m = animation.globalPalette ? animation.globalPalette->Count() : 0;
  for (Frame* f = FirstFrame(animation); f; f = NextFrame(f))
    if (f->localPalette) m = std::max(m, f->localPalette->Count());
  return m;
}

int InitialReduceCount(int m) {
  return ClampReduceCount(1 << (BitsForColours(std::clamp(m, 1, 256)) - 1));
}

int ClampReduceCount(int n) { return std::clamp(n, 2, 256); }

uint32_t ReduceSetting(int n, bool dither, bool highQuality, int quality) {
  uint32_t word = WithField(0, PrefField::ReduceCount, static_cast<uint32_t>(ClampReduceCount(n)));
  word = WithBit(word, Pref::ReduceDither, dither);
  word = WithBit(word, Pref::ReduceHighQuality, highQuality);
  if (quality > 0)
    word = WithField(word, PrefField::ReduceQuality,
                     static_cast<uint32_t>(std::clamp(quality, MinQuality, MaxQuality)));
  return word;
}

namespace {

// A fresh copy of document changed by reduce; none when memory was short or progress answered
// cancelled.
template <typename F>
bool ReducedCopy(const Animation& document, ProgressMeter* progress, AnimationPtr* copy,
                 F&& reduce) {
  ProgressSetText(progress, LoadResText(str::ReduceCopying));
  // Never two copies at once: the old one goes first.
  copy->reset();
  try {
    *copy = DuplicateAnimation(document, progress);
  } catch (const std::bad_alloc&) {
    copy->reset();
  }
  // A copy cut short by a cancel is not the document's: it goes.
  if (*copy && !ProgressCancelled(progress) && !reduce(**copy)) copy->reset();
  if (*copy && ProgressCancelled(progress)) copy->reset();
  if (!*copy) return false;
  (*copy)->encodedSizeCache = -1;
  return true;
}

}  // namespace

bool MakeReducedCopy(const Animation& document, int n, bool dither, const LockedColours* locked,
                     ProgressMeter* progress, AnimationPtr* copy) {
  return ReducedCopy(document, progress, copy, [&](Animation& a) {
    ReduceColours(a, ClampReduceCount(n), dither, locked, progress);
    return true;
  });
}

bool MakeReducedCopyHq(const Animation& document, int quality, bool dither, bool keepTrueColour,
                       ProgressMeter* progress, AnimationPtr* copy) {
  return ReducedCopy(document, progress, copy, [&](Animation& a) {
    return ReduceColoursHq(a, quality, dither, progress, false, keepTrueColour);
  });
}

std::string ReduceVolumeText(int64_t size, const std::string& separator) {
  if (size < 0) return {};
  return WithNumber(str::ReduceVolume, GroupDigits(size, separator));
}

std::string ReduceSavingText(int64_t before, int64_t after, const std::string& separator) {
  if (before < 0 || after < 0) return {};
  int64_t saving = before - after;
  if (saving < 1) return ResText(str::ReduceSavingNone);
  std::string text = WithNumber(str::ReduceSaving, GroupDigits(saving, separator));
  // The percentage with a decimal comma, whatever the C library's locale.
  size_t at = text.find("%.1f%%");
  if (at != std::string::npos)
    text.replace(
        at, 6,
        DecimalText(static_cast<double>(saving) * 100.0 / static_cast<double>(before), 1) + "%");
  return text;
}

bool KeepReducedCopy(Animation& document, AnimationPtr copy) {
  if (!copy) return false;
  SwapAnimations(document, *copy);
  RecordUndo(UndoKind::ReducePalette, document, undo::WholeCopy{std::move(copy)});
  document.encodedSizeCache = -1;
  return true;
}

}  // namespace lw
