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
#include "base/preferences.h"
#include "base/progress.h"
#include "base/string_ids.h"
#include "core/gif_reader.h"
#include "core/picture_budget.h"
#include "formats/apng/apng_chunks.h"
#include "formats/apng/apng_format.h"
#include "formats/flow_text.h"
#include "formats/png/png_format.h"
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

// False on anything a valid file cannot hold: chunks out of their order, sequence numbers that
// do not count up from 0, frames outside the canvas, frames without data.
bool ParseStream(const uint8_t* data, size_t size, Stream* s) {
  std::vector<Chunk> chunks;
  if (!apng::SplitChunks(data, size, &chunks) || chunks.empty()) return false;
  if (chunks[0].tag != Tag("IHDR") || chunks[0].length != 13) return false;
  s->header = chunks[0].data;
  s->width = Be32(s->header);
  s->height = Be32(s->header + 4);
  if (s->width == 0 || s->height == 0 || s->width > apng::kMaxChunkLength ||
      s->height > apng::kMaxChunkLength)
    return false;
  enum { BeforeImage, InImage, AfterImage } phase = BeforeImage;
  uint32_t sequence = 0;
  bool defaultIsFrame = false;  // the default image is the first frame
  for (size_t i = 1; i < chunks.size(); ++i) {
    const Chunk& c = chunks[i];
    if (c.tag == Tag("IDAT")) {
      if (phase == AfterImage) return false;
      phase = InImage;
      if (defaultIsFrame) s->frames[0].data.push_back(c);
      continue;
    }
    if (phase == InImage) phase = AfterImage;
    if (c.tag == Tag("IEND")) break;
    if (c.tag == Tag("PLTE") && phase == BeforeImage) {
      s->palette = c;
    } else if (c.tag == Tag("tRNS") && phase == BeforeImage) {
      s->transparency = c;
    } else if (c.tag == Tag("acTL")) {
      if (phase != BeforeImage || s->animated || c.length != 8 || Be32(c.data) == 0) return false;
      s->animated = true;
      s->plays = Be32(c.data + 4);
    } else if (c.tag == Tag("fcTL")) {
      FrameControl f;
      if (!s->animated || c.length != 26 || Be32(c.data) != sequence++ ||
          !ParseFrameControl(c, *s, &f))
        return false;
      if (phase == BeforeImage) {
        // The default image as a frame covers the canvas.
        if (!s->frames.empty() || f.x != 0 || f.y != 0 || f.width != s->width ||
            f.height != s->height)
          return false;
        defaultIsFrame = true;
      }
      s->frames.push_back(std::move(f));
    } else if (c.tag == Tag("fdAT")) {
      if (!s->animated || c.length < 4 || Be32(c.data) != sequence++ || phase == BeforeImage ||
          s->frames.empty() || (defaultIsFrame && s->frames.size() == 1))
        return false;
      s->frames.back().data.push_back({c.tag, c.data + 4, c.length - 4});
    }
  }
  if (phase == BeforeImage) return false;
  if (!s->animated) return true;
  if (s->frames.empty()) return false;
  for (const FrameControl& f : s->frames)
    if (f.data.empty()) return false;
  return true;
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

// One pixel over another, as the format defines OVER.
uint32_t Over(uint32_t source, uint32_t under) {
  const uint32_t a = source >> 24;
  if (a == 255 || (under >> 24) == 0) return source;
  if (a == 0) return under;
  const uint32_t u = a * 255, v = (255 - a) * (under >> 24), total = u + v;
  uint32_t out = (total / 255) << 24;
  for (int shift = 0; shift < 24; shift += 8) {
    const uint32_t c = (((source >> shift) & 255) * u + ((under >> shift) & 255) * v) / total;
    out |= c << shift;
  }
  return out;
}

struct Canvas {
  uint32_t width = 0;
  std::vector<uint32_t> pixels;
  std::vector<uint32_t> saved;

  // Lays the frame over the canvas; false when a SOURCE frame clears pixels that are not clear
  // already, which no frame of the document can do.
  bool Draw(const FrameControl& f, const std::vector<uint32_t>& rgba) {
    bool kept = true;
    if (f.dispose == DisposePrevious) saved = pixels;
    for (uint32_t y = 0; y < f.height; ++y)
      for (uint32_t x = 0; x < f.width; ++x) {
        uint32_t& to = pixels[uint64_t{f.y + y} * width + f.x + x];
        const uint32_t from = rgba[uint64_t{y} * f.width + x];
        if (f.blend == BlendSource && (from >> 24) != 255 && to != 0) kept = false;
        to = f.blend == BlendSource ? from : Over(from, to);
      }
    return kept;
  }
  void Dispose(const FrameControl& f, bool first) {
    // A first frame that restores the previous picture restores the clear canvas.
    if (f.dispose == DisposeBackground || (f.dispose == DisposePrevious && first)) {
      for (uint32_t y = 0; y < f.height; ++y)
        std::fill_n(&pixels[uint64_t{f.y + y} * width + f.x], f.width, 0u);
    } else if (f.dispose == DisposePrevious) {
      pixels.swap(saved);
    }
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

// Delays in the program's units; rounded on the running total, so that the whole animation
// lasts as long as the file says.
std::vector<uint32_t> Delays(const std::vector<FrameControl>& frames) {
  const uint32_t units = GetPref(PrefDelayUnits) ? GetPref(PrefDelayUnits) : 100;
  std::vector<uint32_t> out;
  double exact = 0;
  int64_t shown = 0;
  for (const FrameControl& f : frames) {
    exact += double(f.delayNum) * units / (f.delayDen ? f.delayDen : 100);
    const int64_t delay = std::clamp<int64_t>(std::llround(exact) - shown, 0, 65535);
    shown += delay;
    out.push_back(static_cast<uint32_t>(delay));
  }
  return out;
}

int Damaged() {
  ShowErrorId(str::PngDamaged);
  return 0;
}

uint64_t KeptBytes(uint64_t width, uint64_t height) {
  return DibBitsOffset + (RgbStride(width) + IndexStride(width)) * height;
}

int BuildDocument(const Stream& s, std::vector<AnimationPtr>& decoded, AnimationPtr* out) {
  const size_t n = decoded.size();
  const std::vector<uint32_t> delays = Delays(s.frames);
  // The file's frames can be the document's when every SOURCE frame only clears what is clear.
  Canvas canvas;
  canvas.width = s.width;
  canvas.pixels.assign(uint64_t{s.width} * s.height, 0);
  bool kept = true;
  bool indexed = true;
  for (size_t i = 0; i < n; ++i) {
    const Frame& f = *FirstFrame(*decoded[i]);
    indexed = indexed && f.rgbPlane.empty() && f.bits();
    kept = canvas.Draw(s.frames[i], Rgba(f)) && kept;
    canvas.Dispose(s.frames[i], i == 0);
  }
  if (!kept && KeptBytes(s.width, s.height) * n > GifFrameByteLimit()) {
    ShowErrorId(str::NoFrameMemory);
    return 0;
  }
  AnimationPtr doc = NewAnimation();
  if (!doc) return Damaged();
  doc->screenWidth = s.width;
  doc->screenHeight = s.height;
  doc->playCount = s.plays;
  if (kept && indexed) SetGlobalPalette(*doc, CopyPalette(FirstFrame(*decoded[0])->palette));
  if (!kept) canvas.pixels.assign(canvas.pixels.size(), 0);
  for (size_t i = 0; i < n; ++i) {
    const FrameControl& control = s.frames[i];
    Frame& from = *FirstFrame(*decoded[i]);
    // Otherwise every frame is the composed picture, cleared before the next one.
    Frame* frame = kept ? NewFrame(control.width, control.height) : NewFrame(s.width, s.height);
    if (!frame) return Damaged();
    InsertBlockAfter(LastBlock(*doc), frame);
    ++doc->frameCount;
    frame->delay = delays[i];
    if (!kept) {
      canvas.Draw(control, Rgba(from));
      FillTrueColour(frame, canvas.pixels);
      canvas.Dispose(control, i == 0);
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
        FillTrueColour(frame, Rgba(from));
      }
    }
    decoded[i].reset();
  }
  *out = std::move(doc);
  return 1;
}

}  // namespace

int ReadApngBytes(const uint8_t* data, size_t size, AnimationPtr* out, ProgressMeter* meter) {
  out->reset();
  Stream s;
  if (!ParseStream(data, size, &s)) return Damaged();
  if (!s.animated) return ReadPngBytes(data, size, out);
  if (!PictureFitsBudget(s.width, s.height, 4)) {
    ShowErrorId(str::NoFrameMemory);
    return 0;
  }
  // The frame count of a document is a 16-bit number.
  int status = 1;
  if (s.frames.size() > INT16_MAX) {
    s.frames.resize(INT16_MAX);
    status = 2;
  }
  try {
    ProgressSetRange(meter, static_cast<uint32_t>(s.frames.size()));
    std::vector<AnimationPtr> decoded;
    uint64_t bytesKept = 0;
    for (const FrameControl& f : s.frames) {
      bytesKept += KeptBytes(f.width, f.height);
      if (bytesKept > GifFrameByteLimit()) {
        ShowErrorId(str::NoFrameMemory);
        return 0;
      }
      std::vector<uint8_t> stream = FrameStream(s, f);
      AnimationPtr one;
      // The decoder has shown its message.
      if (ReadPngBytes(stream.data(), stream.size(), &one) != 1) return 0;
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
    if (BuildDocument(s, decoded, out) == 0) return 0;
  } catch (const std::bad_alloc&) {
    out->reset();
    ShowErrorId(str::NoFrameMemory);
    return 0;
  }
  return status;
}

int ReadApng(const std::string& path, WindowHandle /*owner*/, AnimationPtr* out,
             ProgressMeter* meter) {
  out->reset();
  std::string bytes;
  if (!ReadFileForReader(path, kMaxFileSize, &bytes)) return 0;
  return ReadApngBytes(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size(), out, meter);
}

bool IsAnimatedPng(const std::string& path) { return apng::HoldsAnimation(path); }

}  // namespace lw
