#include "colour/lossy.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <new>
#include <vector>

#include "base/preference_layout.h"
#include "base/progress.h"
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

int LossyToleranceOf(uint32_t options) {
  if (!BitIn(options, Pref::OptimizeLossy)) return 0;
  const int amount = static_cast<int>(FieldIn(options, PrefField::OptimizeLossyAmount));
  if (amount == 0) return LossyDefaultTolerance;
  return std::min(amount, LossyLargestTolerance);
}

uint32_t WithLossyTolerance(uint32_t options, int tolerance) {
  tolerance = std::clamp(tolerance, 0, LossyLargestTolerance);
  options = WithBit(options, Pref::OptimizeLossy, tolerance > 0);
  if (tolerance > 0) options = WithField(options, PrefField::OptimizeLossyAmount, tolerance);
  return options;
}

namespace {

// The frame's rows as its DIB holds them (the stride through *stride), when they can be coded.
uint8_t* CodableBits(Frame* frame, uint64_t* stride) {
  if (!frame || !frame->bits() || !frame->rgbPlane.empty() || !frame->palette) return nullptr;
  const uint32_t w = frame->width, h = frame->height;
  // The rows as the DIB holds them, which may be wider than the frame.
  const uint64_t dibWidth = frame->DibWidth(), dibHeight = frame->DibHeight();
  *stride = IndexStride(dibWidth);
  if (w == 0 || h == 0 || dibWidth < w || dibHeight < h ||
      *stride * dibHeight > frame->dib.size() - DibBitsOffset)
    return nullptr;
  return frame->bits();
}

// The lossy codes of pixels (rows of the frame, stride apart) decoded into out (the same
// layout): the LZW size, 0 when they were not coded (out untouched).
uint64_t LossyRows(const Frame& frame, const uint8_t* pixels, uint64_t stride, int tolerance,
                   uint8_t* out) {
  const uint32_t w = frame.width, h = frame.height;
  LossyLzwInput in;
  uint8_t rgb[256 * 3] = {};
  const Palette& palette = *frame.palette;
  in.colours = std::min(palette.Count(), 256);
  for (int i = 0; i < in.colours; ++i) {
    rgb[3 * i] = palette.entries[i].red;
    rgb[3 * i + 1] = palette.entries[i].green;
    rgb[3 * i + 2] = palette.entries[i].blue;
  }
  in.rgb = rgb;
  in.transparent = frame.Transparent() ? frame.transparentIndex : -1;
  in.tolerance = std::min(tolerance, LossyMaxTolerance);
  in.codeSize = WrittenCodeSize(frame, pixels, stride);
  in.count = size_t{w} * h;

  // The pixels in the order they are coded, interlaced or not.
  std::vector<uint8_t> coded, decoded;
  try {
    coded.resize(in.count);
    decoded.resize(in.count);
  } catch (const std::bad_alloc&) {
    return 0;
  }
  size_t at = 0;
  ForEachRowInOrder(h, frame.Interlaced(), [&](uint32_t y) {
    std::memcpy(coded.data() + at, pixels + y * stride, w);
    at += w;
  });
  in.pixels = coded.data();
  const uint64_t size = LossyLzwPixels(in, decoded.data());
  if (size == 0) return 0;
  at = 0;
  ForEachRowInOrder(h, frame.Interlaced(), [&](uint32_t y) {
    std::memcpy(out + y * stride, decoded.data() + at, w);
    at += w;
  });
  return size;
}

// Puts pixels (bytes of the frame's rows) in place of the frame's when the frame then encodes
// smaller; true when it did. The lossy codes are not always the shorter: on sharp screen
// content, and against the optimizer's own parse of the exact pixels, they can take more, and a
// lossy step must never make a file larger.
bool InstallIfSmaller(Frame* frame, uint8_t* bits, const uint8_t* pixels, size_t bytes) {
  if (std::equal(pixels, pixels + bytes, bits)) return false;
  std::vector<uint8_t> old;
  try {
    old.assign(bits, bits + bytes);
  } catch (const std::bad_alloc&) {
    return false;
  }
  const uint64_t before = EncodedFrameSize(frame);
  std::copy(pixels, pixels + bytes, bits);
  const uint64_t after = EncodedFrameSize(frame);
  if (before == 0 || (after != 0 && after < before)) {
    TouchFrame(frame);
    return true;
  }
  std::copy(old.begin(), old.end(), bits);
  return false;
}

// What the screen shows before each frame, as indexes of the global palette (-1 unknown).
struct IndexScreen {
  uint32_t width = 0, height = 0;
  std::vector<int16_t> at;
  // Calls f(pixel of the frame's rows, screen cell) for the frame's pixels on the screen.
  template <typename F>
  void Over(const Frame& frame, uint64_t stride, F f) {
    for (uint32_t y = 0; y < frame.height; ++y) {
      const int64_t sy = int64_t{frame.top} + y;
      if (sy < 0 || sy >= height) continue;
      for (uint32_t x = 0; x < frame.width; ++x) {
        const int64_t sx = int64_t{frame.left} + x;
        if (sx >= 0 && sx < width) f(y * stride + x, at[static_cast<size_t>(sy) * width + sx]);
      }
    }
  }
};

}  // namespace

bool LossyCompressFrame(Frame* frame, int tolerance) {
  uint64_t stride = 0;
  uint8_t* bits = tolerance > 0 ? CodableBits(frame, &stride) : nullptr;
  if (!bits) return false;
  std::vector<uint8_t> out;
  try {
    out.assign(bits, bits + stride * frame->height);
  } catch (const std::bad_alloc&) {
    return false;
  }
  if (LossyRows(*frame, bits, stride, tolerance, out.data()) == 0) return false;
  return InstallIfSmaller(frame, bits, out.data(), out.size());
}

bool LossyCompressOverScreen(Animation& animation, int tolerance, ProgressMeter* progress) {
  if (tolerance <= 0) return true;
  IndexScreen screen{animation.screenWidth, animation.screenHeight, {}};
  std::vector<uint8_t> plain, filled, source;
  try {
    screen.at.assign(size_t{screen.width} * screen.height, -1);
  } catch (const std::bad_alloc&) {
    return LossyCompressAnimation(animation, tolerance, progress);
  }
  ProgressSetRange(progress, static_cast<uint32_t>(std::max<int>(animation.frameCount, 1)));
  bool changed = false;
  for (Frame* f = FirstFrame(animation); f; f = NextFrame(f)) {
    uint64_t stride = 0;
    uint8_t* bits = CodableBits(f, &stride);
    const bool global = f->palette == animation.globalPalette.get() && !f->localPalette;
    const int clear = f->Transparent() ? f->transparentIndex : -1;
    if (bits) {
      try {
        plain.assign(bits, bits + stride * f->height);
        filled = plain;
        source = plain;
      } catch (const std::bad_alloc&) {
        return LossyCompressAnimation(animation, tolerance, progress);
      }
      uint64_t size = LossyRows(*f, bits, stride, tolerance, plain.data());
      uint8_t* chosen = size ? plain.data() : bits;
      bool any = false;
      if (global && clear >= 0) {
        screen.Over(*f, stride, [&](uint64_t k, int16_t shown) {
          if (filled[k] == clear && shown >= 0) filled[k] = static_cast<uint8_t>(shown), any = true;
        });
      }
      const uint64_t fillSize =
          any ? LossyRows(*f, filled.data(), stride, tolerance, filled.data()) : 0;
      if (fillSize && (size == 0 || fillSize <= size)) chosen = filled.data();
      if (chosen != bits && InstallIfSmaller(f, bits, chosen, stride * f->height)) changed = true;
    }
    // What the next frame is drawn over, as the frames showed it before this step: a clear
    // pixel drawn in must stay near what was shown there, not near what the step made of it a
    // frame earlier, or the shift would grow by the tolerance with every frame it is drawn in.
    // A restore to the previous picture leaves the screen as it was.
    const bool leaves = bits && global && f->Disposal() <= 1;
    if (f->Disposal() != 3) {
      screen.Over(*f, stride, [&](uint64_t k, int16_t& shown) {
        if (!leaves)
          shown = -1;
        else if (source[k] != clear)
          shown = source[k];
      });
    }
    if (!ProgressStep(progress)) {
      if (changed) animation.encodedSizeCache = -1;
      return false;
    }
  }
  if (changed) animation.encodedSizeCache = -1;
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

TrialStatus RunOptimizeTrialWithLossy(const Animation& document, const OptimizeOptions& options,
                                      ProgressMeter* progress, AnimationPtr* copy, int32_t* size) {
  const int tolerance = LossyToleranceOf(options.steps);
  TrialStatus status = RunOptimizeTrial(document, options, progress, copy, size);
  if (status != TrialStatus::Done || tolerance == 0) return status;
  *size = -1;
  ProgressSetText(progress, LoadResText(str::OptimizeLossyWorking));
  if (!LossyCompressOverScreen(**copy, tolerance, progress)) return TrialStatus::Stopped;
  ProgressSetText(progress, LoadResText(str::OptimizeMeasuring));
  int32_t measured = EstimateEncodedSize(**copy, true, options.signature, progress);
  if (measured < 0 || !ProgressStep(progress)) return TrialStatus::Stopped;
  *size = measured;
  return TrialStatus::Done;
}

void OptimizeInPlaceWithLossy(Animation& document, const OptimizeOptions& options,
                              ProgressMeter* progress) {
  OptimizeInPlace(document, options, progress);
  LossyCompressOverScreen(document, LossyToleranceOf(options.steps), progress);
  document.encodedSizeCache = -1;
}

}  // namespace lw
