// Reading animated PNG files. The chunks are walked here; each frame's image data is handed to
// the PNG decoder inside a small PNG stream of its own (the file's header with the frame's size,
// its palette and transparency, the frame's data as IDAT). The frames are then laid over the
// canvas as the file's dispose and blend operations say, to learn whether the document's frames
// can keep the file's boxes or must be the composed pictures.
#include <algorithm>
#include <cmath>
#include <new>
#include <vector>

#include "base/messages.h"
#include "base/progress.h"
#include "base/string_ids.h"
#include "core/gif_reader.h"
#include "core/picture_budget.h"
#include "formats/common/apng_chunks.h"
#include "formats/common/flow_text.h"
#include "formats/common/png_codec.h"
#include "formats/png/apng_format.h"
#include "platform/files.h"

namespace lw {
namespace {

using apng::Be16;
using apng::Be32;
using apng::Chunk;
using apng::Tag;

constexpr size_t kMaxFileSize = size_t{1} << 30;

enum DisposeOp : uint8_t { DisposeNone = 0, DisposeBackground = 1, DisposePrevious = 2 };
enum BlendOp : uint8_t { BlendSource = 0, BlendOver = 1 };

struct FrameControl {
  uint32_t width = 0;
  uint32_t height = 0;
  uint32_t x = 0;
  uint32_t y = 0;
  uint16_t delayNum = 0;
  uint16_t delayDen = 0;
  uint8_t dispose = DisposeNone;
  uint8_t blend = BlendSource;
  std::vector<Chunk> data;  // its IDAT chunks, or its fdAT chunks after their sequence numbers
};

struct Stream {
  uint32_t width = 0;
  uint32_t height = 0;
  const uint8_t* header = nullptr;  // the 13 bytes of IHDR
  Chunk palette;
  Chunk transparency;
  bool animated = false;
  uint32_t plays = 0;
  std::vector<FrameControl> frames;
};

bool ParseFrameControl(const Chunk& c, const Stream& s, FrameControl* f) {
  const uint8_t* d = c.data;
  f->width = Be32(d + 4);
  f->height = Be32(d + 8);
  f->x = Be32(d + 12);
  f->y = Be32(d + 16);
  f->delayNum = Be16(d + 20);
  f->delayDen = Be16(d + 22);
  f->dispose = d[24];
  f->blend = d[25];
  return f->width > 0 && f->height > 0 && uint64_t{f->x} + f->width <= s.width &&
         uint64_t{f->y} + f->height <= s.height && f->dispose <= DisposePrevious &&
         f->blend <= BlendOver;
}

enum class Parsed { Damaged, Still, Animated };

// Damaged on anything a valid file cannot hold: chunks out of their order, sequence numbers that
// do not count up from 0, frames outside the canvas, frames without data. Still where browsers
// show the default image alone: no animation control before the image data, a frame control
// before the animation control, or a frame count other than the one the file declares.
Parsed ParseStream(const uint8_t* data, size_t size, Stream* s) {
  std::vector<Chunk> chunks;
  if (!apng::SplitChunks(data, size, &chunks) || chunks.empty()) return Parsed::Damaged;
  if (chunks[0].tag != Tag("IHDR") || chunks[0].length != 13) return Parsed::Damaged;
  s->header = chunks[0].data;
  s->width = Be32(s->header);
  s->height = Be32(s->header + 4);
  if (s->width == 0 || s->height == 0 || s->width > apng::kMaxChunkLength ||
      s->height > apng::kMaxChunkLength)
    return Parsed::Damaged;
  enum { BeforeImage, InImage, AfterImage } phase = BeforeImage;
  uint32_t sequence = 0;
  uint32_t declared = 0;
  bool still = false;
  bool defaultIsFrame = false;  // the default image is the first frame
  for (size_t i = 1; i < chunks.size(); ++i) {
    const Chunk& c = chunks[i];
    if (c.tag == Tag("IDAT")) {
      if (phase == AfterImage) return Parsed::Damaged;
      phase = InImage;
      if (defaultIsFrame) s->frames[0].data.push_back(c);
      continue;
    }
    if (phase == InImage) phase = AfterImage;
    if (c.tag == Tag("IEND")) break;
    if (still) continue;
    if (c.tag == Tag("PLTE") && phase == BeforeImage) {
      s->palette = c;
    } else if (c.tag == Tag("tRNS") && phase == BeforeImage) {
      s->transparency = c;
    } else if (c.tag == Tag("acTL")) {
      if (s->animated || c.length != 8) return Parsed::Damaged;
      still = phase != BeforeImage;
      s->animated = !still;
      declared = Be32(c.data);
      s->plays = Be32(c.data + 4);
    } else if (c.tag == Tag("fcTL")) {
      FrameControl f;
      if (!s->animated) {
        still = true;
        continue;
      }
      if (c.length != 26 || Be32(c.data) != sequence++ || !ParseFrameControl(c, *s, &f))
        return Parsed::Damaged;
      if (phase == BeforeImage) {
        // The default image as a frame covers the canvas.
        if (!s->frames.empty() || f.x != 0 || f.y != 0 || f.width != s->width ||
            f.height != s->height)
          return Parsed::Damaged;
        defaultIsFrame = true;
      }
      s->frames.push_back(std::move(f));
    } else if (c.tag == Tag("fdAT") && s->animated) {
      if (c.length < 4 || Be32(c.data) != sequence++ || phase == BeforeImage || s->frames.empty() ||
          (defaultIsFrame && s->frames.size() == 1))
        return Parsed::Damaged;
      s->frames.back().data.push_back({c.tag, c.data + 4, c.length - 4});
    }
  }
  if (phase == BeforeImage) return Parsed::Damaged;
  if (still || !s->animated || s->frames.size() != declared) return Parsed::Still;
  for (const FrameControl& f : s->frames)
    if (f.data.empty()) return Parsed::Damaged;
  return Parsed::Animated;
}

// A PNG stream of one frame: the file's header with the frame's size, its palette and
// transparency, and the frame's data.
std::vector<uint8_t> FrameStream(const Stream& s, const FrameControl& f) {
  std::vector<uint8_t> out(apng::kSignature, apng::kSignature + 8);
  std::vector<uint8_t> header;
  apng::PutBe32(header, f.width);
  apng::PutBe32(header, f.height);
  header.insert(header.end(), s.header + 8, s.header + 13);
  apng::AppendChunk(out, Tag("IHDR"), header.data(), header.size());
  if (s.palette.data) apng::AppendChunk(out, Tag("PLTE"), s.palette.data, s.palette.length);
  if (s.transparency.data)
    apng::AppendChunk(out, Tag("tRNS"), s.transparency.data, s.transparency.length);
  for (const Chunk& part : f.data) apng::AppendChunk(out, Tag("IDAT"), part.data, part.length);
  apng::AppendChunk(out, Tag("IEND"), nullptr, 0);
  return out;
}

// A decoded frame's pixels as 0xAARRGGBB, 0 where clear.
std::vector<uint32_t> Rgba(const Frame& f) {
  const uint64_t w = f.width, h = f.height;
  std::vector<uint32_t> out(w * h, 0);
  if (!f.rgbPlane.empty()) {
    const bool alpha = !f.alphaPlane.empty();
    for (uint64_t y = 0; y < h; ++y)
      for (uint64_t x = 0; x < w; ++x) {
        const uint8_t* p = &f.rgbPlane[y * RgbStride(w) + 3 * x];
        const uint32_t a = alpha ? f.alphaPlane[y * IndexStride(w) + x] : 255;
        if (a) out[y * w + x] = a << 24 | uint32_t(p[2]) << 16 | uint32_t(p[1]) << 8 | p[0];
      }
    return out;
  }
  const uint8_t* bits = f.bits();
  const int count = f.palette ? f.palette->Count() : 0;
  for (uint64_t y = 0; y < h && bits; ++y)
    for (uint64_t x = 0; x < w; ++x) {
      const uint8_t index = bits[y * IndexStride(w) + x];
      if ((f.Transparent() && index == f.transparentIndex) || index >= count) continue;
      const PaletteEntry& e = f.palette->entries[index];
      out[y * w + x] = 0xFF000000u | uint32_t(e.red) << 16 | uint32_t(e.green) << 8 | e.blue;
    }
  return out;
}

// x / 255, rounded to nearest, for x up to 255 x 255 x 2.
uint32_t Div255(uint32_t x) { return ((x + 128) * 257) >> 16; }

// One pixel over another, as the format defines OVER: over an opaque pixel the colours mix in
// proportion, rounded, as browsers and FFmpeg show them.
uint32_t Over(uint32_t source, uint32_t under) {
  const uint32_t a = source >> 24, b = under >> 24;
  if (a == 255 || b == 0) return source;
  if (a == 0) return under;
  const uint32_t alpha = a + Div255((255 - a) * b);
  uint32_t out = alpha << 24;
  for (int shift = 0; shift < 24; shift += 8) {
    const uint32_t s = (source >> shift) & 255, u = (under >> shift) & 255;
    const uint32_t c = b == 255 ? Div255(a * s + (255 - a) * u)
                                : (255 * a * s + (255 - a) * b * u) / (255 * alpha);
    out |= c << shift;
  }
  return out;
}

struct Box {
  uint32_t x = 0, y = 0, width = 0, height = 0;
};

// The box every frame lies in: nothing outside it is ever drawn, so the canvas need not be
// larger.
Box FramesBox(const std::vector<FrameControl>& frames) {
  uint64_t x0 = UINT64_MAX, y0 = UINT64_MAX, x1 = 0, y1 = 0;
  for (const FrameControl& f : frames) {
    x0 = std::min<uint64_t>(x0, f.x), y0 = std::min<uint64_t>(y0, f.y);
    x1 = std::max<uint64_t>(x1, uint64_t{f.x} + f.width);
    y1 = std::max<uint64_t>(y1, uint64_t{f.y} + f.height);
  }
  if (x0 >= x1) return {};
  return {static_cast<uint32_t>(x0), static_cast<uint32_t>(y0), static_cast<uint32_t>(x1 - x0),
          static_cast<uint32_t>(y1 - y0)};
}

// The pictures the frames make, within their box. Restoring the previous picture only needs
// what the frame covered.
struct Canvas {
  Box box;
  std::vector<uint32_t> pixels;
  std::vector<uint32_t> saved;  // what the last frame disposed to the previous picture covered

  uint32_t& At(uint32_t x, uint32_t y) {
    return pixels[uint64_t{y - box.y} * box.width + (x - box.x)];
  }

  struct Drawn {
    bool kept = true;       // a SOURCE frame clears nothing that is not clear already
    bool composed = false;  // some pixel of the frame was mixed with one under it
  };
  // Lays the frame over the canvas. Where OVER mixes a partly transparent pixel with one that
  // shows, rgba takes the mixed pixel: the frame alone then shows what the file shows.
  Drawn Draw(const FrameControl& f, std::vector<uint32_t>& rgba) {
    Drawn drawn;
    if (f.dispose == DisposePrevious) saved.assign(uint64_t{f.width} * f.height, 0);
    for (uint32_t y = 0; y < f.height; ++y)
      for (uint32_t x = 0; x < f.width; ++x) {
        uint32_t& to = At(f.x + x, f.y + y);
        uint32_t& from = rgba[uint64_t{y} * f.width + x];
        if (f.dispose == DisposePrevious) saved[uint64_t{y} * f.width + x] = to;
        const uint32_t a = from >> 24;
        if (f.blend == BlendSource) {
          if (a != 255 && to != 0) drawn.kept = false;
        } else if (a != 0 && a != 255 && to != 0) {
          from = Over(from, to);
          drawn.composed = true;
        } else if (a == 0) {
          continue;
        }
        to = from;
      }
    return drawn;
  }
  void Dispose(const FrameControl& f) {
    if (f.dispose == DisposeNone) return;
    // A first frame that restores the previous picture restores the clear canvas.
    for (uint32_t y = 0; y < f.height; ++y)
      for (uint32_t x = 0; x < f.width; ++x)
        At(f.x + x, f.y + y) =
            f.dispose == DisposeBackground ? 0u : saved[uint64_t{y} * f.width + x];
  }
};

// A true-colour frame from pixels; the alpha plane only where some pixel is not opaque.
void FillTrueColour(Frame* frame, const std::vector<uint32_t>& rgba) {
  const uint64_t w = frame->width, h = frame->height;
  std::vector<uint8_t> rgb(RgbStride(w) * h, 0), alpha(IndexStride(w) * h, 0);
  bool opaque = true;
  for (uint64_t y = 0; y < h; ++y)
    for (uint64_t x = 0; x < w; ++x) {
      const uint32_t p = rgba[y * w + x];
      uint8_t* to = &rgb[y * RgbStride(w) + 3 * x];
      to[0] = static_cast<uint8_t>(p);
      to[1] = static_cast<uint8_t>(p >> 8);
      to[2] = static_cast<uint8_t>(p >> 16);
      alpha[y * IndexStride(w) + x] = static_cast<uint8_t>(p >> 24);
      opaque = opaque && (p >> 24) == 255;
    }
  SetRgbPlane(frame, std::move(rgb));
  if (!opaque) SetAlphaPlane(frame, std::move(alpha));
}

uint8_t GifDisposal(const FrameControl& f, bool first) {
  if (f.dispose == DisposeBackground || (first && f.dispose == DisposePrevious))
    return DisposalBackground;
  return f.dispose == DisposePrevious ? DisposalPrevious : DisposalLeave;
}

// Delays in the program's units, each frame's own however long (a 0 denominator means
// hundredths); rounded on the running total, so that the whole animation lasts as long as the
// file says.
std::vector<uint32_t> Delays(const std::vector<FrameControl>& frames, DelayUnits delayUnits) {
  const uint32_t units = delayUnits.perSecond;
  std::vector<uint32_t> out;
  double exact = 0;
  int64_t shown = 0;
  for (const FrameControl& f : frames) {
    exact += double(f.delayNum) * units / (f.delayDen ? f.delayDen : 100);
    const int64_t delay = std::max<int64_t>(std::llround(exact) - shown, 0);
    shown += delay;
    out.push_back(static_cast<uint32_t>(delay));
  }
  return out;
}

int Damaged() {
  ShowErrorId(str::PngDamaged);
  return 0;
}

int NoMemory() {
  ShowErrorId(str::NoFrameMemory);
  return 0;
}

// Byte counts that stay at UINT64_MAX rather than wrap: a hostile file must not make a
// huge picture look small.
uint64_t Sum(uint64_t a, uint64_t b) { return a > UINT64_MAX - b ? UINT64_MAX : a + b; }
uint64_t Times(uint64_t a, uint64_t n) { return n && a > UINT64_MAX / n ? UINT64_MAX : a * n; }

// A frame as the document keeps it: colour and alpha planes and the DIB header.
uint64_t KeptBytes(uint64_t width, uint64_t height) {
  return Sum(DibBitsOffset, Sum(PictureBytes(width, height, 3), PictureBytes(width, height, 1)));
}

// The composing canvas, a saved copy under the largest frame that restores the previous
// picture, and one frame's pixels at a time.
uint64_t ComposingBytes(const Box& box, const std::vector<FrameControl>& frames) {
  uint64_t saved = 0, pixels = 0;
  for (const FrameControl& f : frames) {
    const uint64_t bytes = PictureBytes(f.width, f.height, 4);
    pixels = std::max(pixels, bytes);
    if (f.dispose == DisposePrevious) saved = std::max(saved, bytes);
  }
  return Sum(PictureBytes(box.width, box.height, 4), Sum(saved, pixels));
}

// Builds the document from the decoded frames; false on failure (message shown). Esc sets
// *status to 2 and keeps the frames made so far.
bool BuildDocument(Stream& s, std::vector<AnimationPtr>& decoded, PictureReservation& budget,
                   DelayUnits units, ProgressMeter* meter, int* status, AnimationPtr* out) {
  const Box box = FramesBox(s.frames);
  if (!budget.Take(ComposingBytes(box, s.frames))) return NoMemory();
  // Once Esc is pressed the meter answers cancelled: only the first answer counts.
  auto cancelled = [&] {
    if (*status != 1 || ProgressStep(meter)) return false;
    *status = 2;
    return true;
  };
  Canvas canvas;
  canvas.box = box;
  canvas.pixels.assign(uint64_t{box.width} * box.height, 0);
  // The file's frames can be the document's when every SOURCE frame only clears what is clear.
  bool kept = true;
  bool indexed = true;
  for (size_t i = 0; i < decoded.size(); ++i) {
    const Frame& f = *FirstFrame(*decoded[i]);
    std::vector<uint32_t> rgba = Rgba(f);
    const Canvas::Drawn drawn = canvas.Draw(s.frames[i], rgba);
    kept = kept && drawn.kept;
    indexed = indexed && f.rgbPlane.empty() && f.bits() && !drawn.composed;
    canvas.Dispose(s.frames[i]);
    if (cancelled()) {
      decoded.resize(i + 1);
      s.frames.resize(i + 1);
    }
  }
  const size_t n = decoded.size();
  // Otherwise every frame is the picture composed in the box, cleared before the next one.
  if (!kept && !budget.Take(Times(KeptBytes(box.width, box.height), n + 1))) return NoMemory();
  const std::vector<uint32_t> delays = Delays(s.frames, units);
  AnimationPtr doc = NewAnimation();
  if (!doc) return NoMemory();
  doc->screenWidth = s.width;
  doc->screenHeight = s.height;
  doc->playCount = s.plays;
  if (kept && indexed) SetGlobalPalette(*doc, CopyPalette(FirstFrame(*decoded[0])->palette));
  canvas.pixels.assign(canvas.pixels.size(), 0);
  for (size_t i = 0; i < n; ++i) {
    const FrameControl& control = s.frames[i];
    Frame& from = *FirstFrame(*decoded[i]);
    Frame* frame = kept ? NewFrame(control.width, control.height, delays[i])
                        : NewFrame(box.width, box.height, delays[i]);
    if (!frame) return NoMemory();
    InsertBlockAfter(LastBlock(*doc), frame);
    ++doc->frameCount;
    frame->delay = delays[i];
    std::vector<uint32_t> rgba = Rgba(from);
    canvas.Draw(control, rgba);
    if (!kept) {
      frame->left = static_cast<int32_t>(box.x);
      frame->top = static_cast<int32_t>(box.y);
      FillTrueColour(frame, canvas.pixels);
      SetDisposal(frame, DisposalBackground);
    } else {
      frame->left = static_cast<int32_t>(control.x);
      frame->top = static_cast<int32_t>(control.y);
      SetDisposal(frame, GifDisposal(control, i == 0));
      if (indexed) {
        frame->palette = doc->globalPalette.get();
        SetFrameDib(frame, std::move(from.dib));
        if (from.Transparent()) {
          SetTransparentIndex(frame, from.transparentIndex);
          SetTransparency(frame, true);
        }
      } else {
        FillTrueColour(frame, rgba);
      }
    }
    canvas.Dispose(control);
    decoded[i].reset();
    if (cancelled()) break;
  }
  *out = std::move(doc);
  return true;
}

}  // namespace

int ReadApngBytes(const uint8_t* data, size_t size, const Timing& timing, AnimationPtr* out,
                  ProgressMeter* meter) {
  out->reset();
  Stream s;
  const Parsed parsed = ParseStream(data, size, &s);
  if (parsed == Parsed::Damaged) return Damaged();
  if (parsed == Parsed::Still) return ReadPngBytes(data, size, timing, out);
  // The frame count of a document is a 16-bit number.
  int status = 1;
  if (s.frames.size() > INT16_MAX) {
    s.frames.resize(INT16_MAX);
    status = 2;
  }
  try {
    // Decoding, composing, building: one step per frame each.
    ProgressSetRange(meter, static_cast<uint32_t>(3 * s.frames.size()));
    PictureReservation budget;
    std::vector<AnimationPtr> decoded;
    for (const FrameControl& f : s.frames) {
      if (!budget.Take(KeptBytes(f.width, f.height))) return NoMemory();
      std::vector<uint8_t> stream = FrameStream(s, f);
      AnimationPtr one;
      // The decoder has shown its message.
      if (ReadPngBytes(stream.data(), stream.size(), timing, &one) != 1) return 0;
      const Frame* frame = FirstFrame(*one);
      if (!frame || frame->width != f.width || frame->height != f.height) return Damaged();
      decoded.push_back(std::move(one));
      // Esc keeps the frames read so far, as a partial read.
      if (!ProgressStep(meter) && decoded.size() < s.frames.size()) {
        s.frames.resize(decoded.size());
        status = 2;
        break;
      }
    }
    if (!BuildDocument(s, decoded, budget, timing.units, meter, &status, out)) {
      out->reset();
      return 0;
    }
  } catch (const std::bad_alloc&) {
    out->reset();
    return NoMemory();
  }
  return status;
}

int ReadApng(const std::string& path, const Timing& timing, AnimationPtr* out,
             ProgressMeter* meter) {
  out->reset();
  std::string bytes;
  if (!ReadFileForReader(path, kMaxFileSize, &bytes)) return 0;
  return ReadApngBytes(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size(), timing, out,
                       meter);
}

bool IsAnimatedPng(const std::string& path) { return apng::HoldsAnimation(path); }

}  // namespace lw
