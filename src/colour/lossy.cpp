#include "colour/lossy.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <new>
#include <vector>

#include "base/preferences.h"
#include "base/progress.h"
#include "base/settings.h"
#include "base/string_ids.h"
#include "base/strings.h"
#include "core/gif_writer.h"
#include "core/lzw.h"
#include "core/lzw_lossy.h"

namespace lw {

namespace {

// The code size the writer gives the frame: its palette's, or the smaller one the optimizer
// chose, but never too small for the pixels. The lossy codes must be those of that size.
int WrittenCodeSize(const Frame& frame, const uint8_t* bits, uint64_t stride) {
  const int entries = frame.palette ? std::min(frame.palette->Count(), 256) : 256;
  int size = std::max(2, BitsForColours(entries));
  if (frame.codeSize >= 2 && frame.codeSize <= 8) size = std::min<int>(size, frame.codeSize);
  uint8_t top = 0;
  for (uint32_t y = 0; y < frame.height; ++y) {
    const uint8_t* row = bits + y * stride;
    top = std::max(top, *std::max_element(row, row + frame.width));
  }
  return std::max(size, static_cast<int>(std::bit_width(unsigned{top})));
}

}  // namespace

int LossyToleranceOf(OptimizeOptions options) {
  if (!BitIn(options, Pref::OptimizeLossy)) return 0;
  const int amount = static_cast<int>(FieldIn(options, PrefField::OptimizeLossyAmount));
  if (amount == 0) return LossyDefaultTolerance;
  return std::min(amount, LossyLargestTolerance);
}

OptimizeOptions WithLossyTolerance(OptimizeOptions options, int tolerance) {
  tolerance = std::clamp(tolerance, 0, LossyLargestTolerance);
  options = WithBit(options, Pref::OptimizeLossy, tolerance > 0);
  if (tolerance > 0) options = WithField(options, PrefField::OptimizeLossyAmount, tolerance);
  return options;
}

bool LossyCompressFrame(Frame* frame, int tolerance) {
  if (!frame || tolerance <= 0 || !frame->bits() || !frame->rgbPlane.empty()) return false;
  const uint32_t w = frame->width, h = frame->height;
  if (w == 0 || h == 0 || !frame->palette) return false;
  // The rows as the DIB holds them, which may be wider than the frame.
  const uint64_t dibWidth = frame->DibWidth(), dibHeight = frame->DibHeight();
  const uint64_t stride = IndexStride(dibWidth);
  if (dibWidth < w || dibHeight < h || stride * dibHeight > frame->dib.size() - DibBitsOffset)
    return false;
  uint8_t* bits = frame->bits();

  LossyLzwInput in;
  uint8_t rgb[256 * 3] = {};
  const Palette& palette = *frame->palette;
  in.colours = std::min(palette.Count(), 256);
  for (int i = 0; i < in.colours; ++i) {
    rgb[3 * i] = palette.entries[i].red;
    rgb[3 * i + 1] = palette.entries[i].green;
    rgb[3 * i + 2] = palette.entries[i].blue;
  }
  in.rgb = rgb;
  in.transparent = frame->Transparent() ? frame->transparentIndex : -1;
  in.tolerance = std::min(tolerance, LossyMaxTolerance);
  in.codeSize = WrittenCodeSize(*frame, bits, stride);
  in.count = size_t{w} * h;

  // The pixels in the order they are coded, interlaced or not.
  std::vector<uint8_t> coded, decoded;
  try {
    coded.resize(in.count);
    decoded.resize(in.count);
  } catch (const std::bad_alloc&) {
    return false;
  }
  size_t at = 0;
  ForEachRowInOrder(h, frame->Interlaced(), [&](uint32_t y) {
    std::memcpy(coded.data() + at, bits + y * stride, w);
    at += w;
  });
  in.pixels = coded.data();
  if (LossyLzwPixels(in, decoded.data()) == 0 || decoded == coded) return false;
  at = 0;
  ForEachRowInOrder(h, frame->Interlaced(), [&](uint32_t y) {
    std::memcpy(bits + y * stride, decoded.data() + at, w);
    at += w;
  });
  TouchFrame(frame);
  return true;
}

bool LossyCompressAnimation(Animation& animation, int tolerance, ProgressMeter* progress) {
  if (tolerance <= 0) return true;
  ProgressSetRange(progress, static_cast<uint32_t>(std::max<int>(animation.frameCount, 1)));
  bool changed = false;
  bool finished = true;
  for (Frame* f = FirstFrame(animation); f; f = NextFrame(f)) {
    changed = LossyCompressFrame(f, tolerance) || changed;
    if (!ProgressStep(progress)) {
      finished = false;
      break;
    }
  }
  if (changed) animation.encodedSizeCache = -1;
  return finished;
}

TrialStatus RunOptimizeTrialWithLossy(const Animation& document, OptimizeOptions options,
                                      ProgressMeter* progress, AnimationPtr* copy, int32_t* size) {
  const int tolerance = LossyToleranceOf(options);
  TrialStatus status = RunOptimizeTrial(document, options, progress, copy, size);
  if (status != TrialStatus::Done || tolerance == 0) return status;
  *size = -1;
  ProgressSetText(progress, LoadResText(str::OptimizeLossyWorking));
  if (!LossyCompressAnimation(**copy, tolerance, progress)) return TrialStatus::Stopped;
  ProgressSetText(progress, LoadResText(str::OptimizeMeasuring));
  int32_t measured = EstimateEncodedSize(**copy, true, GetSignature(), progress);
  if (measured < 0 || !ProgressStep(progress)) return TrialStatus::Stopped;
  *size = measured;
  return TrialStatus::Done;
}

void OptimizeInPlaceWithLossy(Animation& document, OptimizeOptions options,
                              ProgressMeter* progress) {
  OptimizeInPlace(document, options, progress);
  LossyCompressAnimation(document, LossyToleranceOf(options), progress);
  document.encodedSizeCache = -1;
}

}  // namespace lw
