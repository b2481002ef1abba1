// Writing animated PNG files from the document, so that they show what the preview shows: each
// frame as the preview draws it (cut to the screen), OVER where it leaves pixels as they were,
// GIF disposals as the format's own, the first frame composed over the clear canvas because
// the format wants the first image whole. Colours go as indexes when one palette holds them all:
// the document's global palette when every frame is drawn from it, else the colours found.
#include <algorithm>
#include <array>
#include <bitset>
#include <cstdio>
#include <memory>
#include <new>
#include <unordered_map>
#include <vector>

#include "base/messages.h"
#include "base/progress.h"
#include "base/string_ids.h"
#include "base/strings.h"
#include "core/compose.h"
#include "core/picture_budget.h"
#include "formats/common/apng_chunks.h"
#include "formats/common/png_codec.h"
#include "formats/png/apng_format.h"

namespace lw {
namespace {

using apng::Tag;

struct Box {
  uint32_t x = 0;
  uint32_t y = 0;
  uint32_t width = 0;
  uint32_t height = 0;
};

// What the preview draws of a frame inside the screen: its box there, and its pixels as
// 0xAARRGGBB, 0 where the picture is left as it was. False when memory is short.
bool ShownPixels(const Frame& f, uint32_t screenWidth, uint32_t screenHeight, Box* box,
                 std::vector<uint32_t>* pixels) {
  const int64_t x0 = std::max<int64_t>(f.left, 0), y0 = std::max<int64_t>(f.top, 0);
  const int64_t x1 = std::min<int64_t>(int64_t{f.left} + f.width, screenWidth);
  const int64_t y1 = std::min<int64_t>(int64_t{f.top} + f.height, screenHeight);
  *box = {};
  pixels->clear();
  if (x0 >= x1 || y0 >= y1) return true;
  *box = {static_cast<uint32_t>(x0), static_cast<uint32_t>(y0), static_cast<uint32_t>(x1 - x0),
          static_cast<uint32_t>(y1 - y0)};
  if (!PictureFitsBudget(box->width, box->height, 4)) return false;
  pixels->assign(uint64_t{box->width} * box->height, 0);
  // The colour and alpha planes are drawn as the preview blends them; a frame read but not yet
  // given its 8-bit image is taken at its own size.
  DibGeometry g;
  const bool dib = GetDibGeometry(f.dib, &g);
  if (!dib) g = {f.width, f.height, IndexStride(f.width)};
  const bool rgb = RgbStride(g.width) * g.height <= f.rgbPlane.size() && !f.rgbPlane.empty();
  const bool alpha = rgb && IndexStride(g.width) * g.height <= f.alphaPlane.size();
  if (dib && !alpha) {
    PixelView view{pixels->data(), static_cast<int>(box->width), static_cast<int>(box->height),
                   static_cast<int>(box->width)};
    DrawFrame(f, view, -x0, -y0, 1, 1, true);
    return true;
  }
  if (!rgb) return true;
  const int64_t w = std::min<int64_t>(f.width, g.width), h = std::min<int64_t>(f.height, g.height);
  for (int64_t y = y0; y < y1; ++y) {
    const int64_t sy = y - f.top;
    if (sy >= h) break;
    for (int64_t x = x0; x < x1; ++x) {
      const int64_t sx = x - f.left;
      if (sx >= w) break;
      const uint8_t* p = &f.rgbPlane[sy * RgbStride(g.width) + 3 * sx];
      const uint32_t a = alpha ? f.alphaPlane[sy * IndexStride(g.width) + sx] : 255;
      if (a) {
        (*pixels)[(y - y0) * box->width + (x - x0)] =
            a << 24 | uint32_t(p[2]) << 16 | uint32_t(p[1]) << 8 | p[0];
      }
    }
  }
  return true;
}

// The frame's index at a screen position inside its box.
uint8_t IndexAt(const Frame& f, uint32_t x, uint32_t y) {
  return f.bits()[(y - f.top) * IndexStride(f.DibWidth()) + (x - f.left)];
}

// Whether the frame's pixels are its DIB's indexes into the global palette.
bool DrawnFromGlobal(const Frame& f, const Palette* global) {
  return global && f.palette == global && !f.localPalette && f.rgbPlane.empty() && f.bits() &&
         f.DibWidth() == f.width && f.DibHeight() == f.height;
}

enum class Colours { Global, Found, TrueColour };

struct Plan {
  Colours colours = Colours::TrueColour;
  bool clear = false;    // some written pixel is clear
  bool partial = false;  // some written pixel is partly transparent
  int clearIndex = -1;
  std::vector<uint32_t> palette;  // 0xAARRGGBB
  std::unordered_map<uint32_t, uint8_t> indexOf;
  std::array<uint8_t, 256> globalIndex{};  // the written index of each global one
};

// The frame as written: the first one composed over the whole clear canvas, one outside the
// screen as a clear pixel.
void WrittenFrame(bool first, uint32_t screenWidth, uint32_t screenHeight, Box* box,
                  std::vector<uint32_t>* pixels) {
  if (first && (box->width != screenWidth || box->height != screenHeight)) {
    std::vector<uint32_t> whole(uint64_t{screenWidth} * screenHeight, 0);
    for (uint32_t y = 0; y < box->height; ++y)
      std::copy_n(pixels->data() + uint64_t{y} * box->width, box->width,
                  whole.data() + uint64_t{box->y + y} * screenWidth + box->x);
    *pixels = std::move(whole);
    *box = {0, 0, screenWidth, screenHeight};
  } else if (box->width == 0) {
    *box = {0, 0, 1, 1};
    pixels->assign(1, 0);
  }
}

struct Writer {
  FILE* file = nullptr;
  uint32_t sequence = 0;
  bool ok = true;

  void Put(uint32_t tag, const std::vector<uint8_t>& data) {
    std::vector<uint8_t> chunk;
    apng::AppendChunk(chunk, tag, data.data(), data.size());
    ok = ok && std::fwrite(chunk.data(), 1, chunk.size(), file) == chunk.size();
  }
};

// The frame's rows as the plan writes them, encoded; its image data is the IDAT payload.
bool EncodeFrame(const Plan& plan, const Frame& f, const Box& box,
                 const std::vector<uint32_t>& pixels, std::vector<uint8_t>* data) {
  PngImage image;
  image.width = box.width;
  image.height = box.height;
  std::vector<uint8_t> rows, rgb;
  if (plan.colours == Colours::TrueColour) {
    const int samples = plan.clear || plan.partial ? 4 : 3;
    image.colourType = samples == 4 ? PngImage::Rgba : PngImage::Rgb;
    image.rowBytes = samples * uint64_t{box.width};
    rows.resize(image.rowBytes * box.height);
    for (size_t i = 0; i < pixels.size(); ++i) {
      uint8_t* to = &rows[i * samples];
      to[0] = static_cast<uint8_t>(pixels[i]);
      to[1] = static_cast<uint8_t>(pixels[i] >> 8);
      to[2] = static_cast<uint8_t>(pixels[i] >> 16);
      if (samples == 4) to[3] = static_cast<uint8_t>(pixels[i] >> 24);
    }
  } else {
    image.colourType = PngImage::Indexed;
    image.rowBytes = box.width;
    rows.resize(pixels.size());
    const bool global = plan.colours == Colours::Global;
    for (uint32_t y = 0; y < box.height; ++y)
      for (uint32_t x = 0; x < box.width; ++x) {
        const size_t i = uint64_t{y} * box.width + x;
        if (pixels[i] == 0) {
          rows[i] = static_cast<uint8_t>(plan.clearIndex);
        } else if (global) {
          rows[i] = plan.globalIndex[IndexAt(f, box.x + x, box.y + y)];
        } else {
          rows[i] = plan.indexOf.at(pixels[i]);
        }
      }
    for (uint32_t c : plan.palette) {
      rgb.push_back(static_cast<uint8_t>(c >> 16));
      rgb.push_back(static_cast<uint8_t>(c >> 8));
      rgb.push_back(static_cast<uint8_t>(c));
    }
    image.paletteRgb = rgb.data();
    image.paletteCount = static_cast<int>(plan.palette.size());
  }
  image.rows = rows.data();
  std::vector<uint8_t> png;
  std::vector<apng::Chunk> chunks;
  if (!EncodePngBytes(image, &png) || !apng::SplitChunks(png.data(), png.size(), &chunks))
    return false;
  data->clear();
  for (const apng::Chunk& c : chunks)
    if (c.tag == Tag("IDAT")) data->insert(data->end(), c.data, c.data + c.length);
  return true;
}

enum class Pass { Done, Failed, Cancelled };

// Looks at every frame as it will be written and chooses how colours go.
Pass MakePlan(const Animation& document, const std::vector<const Frame*>& frames,
              ProgressMeter* meter, Plan* plan) {
  const Palette* global = document.globalPalette.get();
  bool fromGlobal = global != nullptr;
  std::bitset<256> drawn;
  std::unordered_map<uint32_t, uint8_t> found;
  Box box;
  std::vector<uint32_t> pixels;
  for (size_t i = 0; i < frames.size(); ++i) {
    const Frame& f = *frames[i];
    if (!ShownPixels(f, document.screenWidth, document.screenHeight, &box, &pixels))
      return Pass::Failed;
    const bool own = box.width != 0 && DrawnFromGlobal(f, global);
    fromGlobal = fromGlobal && (box.width == 0 || own);
    WrittenFrame(i == 0, document.screenWidth, document.screenHeight, &box, &pixels);
    for (uint32_t y = 0; y < box.height; ++y)
      for (uint32_t x = 0; x < box.width; ++x) {
        const uint32_t p = pixels[uint64_t{y} * box.width + x];
        const uint32_t a = p >> 24;
        plan->clear = plan->clear || a == 0;
        plan->partial = plan->partial || (a != 0 && a != 255);
        if (a != 0 && found.size() <= 256) found.emplace(p, 0);
        if (a == 0 || !fromGlobal) continue;
        const uint8_t index = IndexAt(f, box.x + x, box.y + y);
        drawn.set(index);
        if (index >= global->Count()) {
          fromGlobal = false;
          continue;
        }
        const PaletteEntry& e = global->entries[index];
        fromGlobal = (p & 0xFFFFFF) == (uint32_t(e.red) << 16 | uint32_t(e.green) << 8 | e.blue);
      }
    if (!ProgressStep(meter)) return Pass::Cancelled;
  }
  if (fromGlobal) {
    const int count = global->Count();
    // A clear pixel takes an index no frame draws with, or one more entry.
    int clearIndex = -1;
    const Frame& first = *frames[0];
    if (plan->clear) {
      if (first.Transparent() && first.transparentIndex < count && !drawn[first.transparentIndex])
        clearIndex = first.transparentIndex;
      for (int i = 0; i < count && clearIndex < 0; ++i)
        if (!drawn[i]) clearIndex = i;
      if (clearIndex < 0 && count < 256) clearIndex = count;
    }
    if (!plan->clear || clearIndex >= 0) {
      plan->colours = Colours::Global;
      for (const PaletteEntry& e : global->entries)
        plan->palette.push_back(0xFF000000u | uint32_t(e.red) << 16 | uint32_t(e.green) << 8 |
                                e.blue);
      for (int i = 0; i < 256; ++i) plan->globalIndex[i] = static_cast<uint8_t>(i);
      if (clearIndex >= 0) {
        // The clear entry goes first, where decoders that clear a frame's box with index 0
        // (Pillow) expect it, and the alpha table is one byte.
        if (clearIndex == count) plan->palette.push_back(0);
        plan->palette[clearIndex] = plan->palette[0];
        plan->palette[0] = 0;
        plan->globalIndex[0] = static_cast<uint8_t>(clearIndex);
        plan->clearIndex = 0;
      }
      return Pass::Done;
    }
  }
  if (found.size() + (plan->clear ? 1 : 0) <= 256) {
    plan->colours = Colours::Found;
    if (plan->clear) plan->palette.push_back(0);
    for (const auto& [colour, index] : found) plan->palette.push_back(colour);
    // Entries that are not opaque first, so that the alpha table stays short.
    std::sort(plan->palette.begin(), plan->palette.end(), [](uint32_t a, uint32_t b) {
      return std::make_pair(a >> 24 == 255, a) < std::make_pair(b >> 24 == 255, b);
    });
    for (size_t i = 0; i < plan->palette.size(); ++i)
      plan->indexOf[plan->palette[i]] = static_cast<uint8_t>(i);
    plan->clearIndex = plan->clear ? 0 : -1;
  }
  return Pass::Done;
}

uint8_t DisposeOp(const Frame& f) {
  switch (f.Disposal()) {
    case DisposalBackground: return 1;
    case DisposalPrevious: return 2;
    default: return 0;
  }
}

// A delay of delay / units seconds as the frame control's two 16-bit numbers: a delay too long
// for them in the program's units goes in the finest coarser ones that hold it (up to 65535 s).
void DelayFraction(uint32_t delay, uint32_t units, uint16_t* num, uint16_t* den) {
  if (delay <= 65535) {
    *num = static_cast<uint16_t>(delay), *den = static_cast<uint16_t>(units);
    return;
  }
  const uint64_t coarser = std::max<uint64_t>(uint64_t{units} * 65535 / delay, 1);
  *num = static_cast<uint16_t>(
      std::min<uint64_t>((uint64_t{delay} * coarser + units / 2) / units, 65535));
  *den = static_cast<uint16_t>(coarser);
}

Pass WriteFrames(Writer& out, const Animation& document, const std::vector<const Frame*>& frames,
                 const Plan& plan, DelayUnits delayUnits, ProgressMeter* meter) {
  const uint32_t units = delayUnits.perSecond;
  Box box;
  std::vector<uint32_t> pixels;
  std::vector<uint8_t> data, control;
  for (size_t i = 0; i < frames.size(); ++i) {
    const Frame& f = *frames[i];
    if (!ShownPixels(f, document.screenWidth, document.screenHeight, &box, &pixels))
      return Pass::Failed;
    const bool outside = box.width == 0;
    WrittenFrame(i == 0, document.screenWidth, document.screenHeight, &box, &pixels);
    if (!EncodeFrame(plan, f, box, pixels, &data)) return Pass::Failed;
    // OVER only where the frame leaves pixels as they were; the first frame lies on a clear
    // canvas. A frame outside the screen changes nothing, whatever its disposal.
    const bool over = i > 0 && std::any_of(pixels.begin(), pixels.end(),
                                           [](uint32_t p) { return p >> 24 != 255; });
    control.clear();
    apng::PutBe32(control, out.sequence++);
    apng::PutBe32(control, box.width);
    apng::PutBe32(control, box.height);
    apng::PutBe32(control, box.x);
    apng::PutBe32(control, box.y);
    uint16_t num = 0, den = 0;
    DelayFraction(f.delay, units, &num, &den);
    apng::PutBe16(control, num);
    apng::PutBe16(control, den);
    control.push_back(outside ? 0 : DisposeOp(f));
    control.push_back(over ? 1 : 0);
    out.Put(Tag("fcTL"), control);
    if (i == 0) {
      out.Put(Tag("IDAT"), data);
    } else {
      control.clear();
      apng::PutBe32(control, out.sequence++);
      control.insert(control.end(), data.begin(), data.end());
      out.Put(Tag("fdAT"), control);
    }
    if (!out.ok) return Pass::Failed;
    if (!ProgressStep(meter)) return Pass::Cancelled;
  }
  return Pass::Done;
}

}  // namespace

bool WriteApng(const std::string& path, const std::string& target, const Animation& document,
               DelayUnits units, WindowHandle owner) {
  const std::string& shown = target.empty() ? path : target;
  std::vector<const Frame*> frames;
  for (const Frame* f = FirstFrame(document); f; f = NextFrame(f)) frames.push_back(f);
  const uint32_t width = document.screenWidth, height = document.screenHeight;
  if (frames.empty() || width == 0 || height == 0 || width > apng::kMaxChunkLength ||
      height > apng::kMaxChunkLength) {
    ShowErrorId(str::CannotWriteFile, shown.c_str());
    return false;
  }
  if (!PictureFitsBudget(width, height, 4)) {
    ShowErrorId(str::NoFrameMemory);
    return false;
  }
  ProgressMeterPtr meter(CreateProgressMeter(owner, progress::OwnPopup, 0));
  ProgressSetText(meter.get(), LoadResText(str::WritingApng));
  ProgressSetRange(meter.get(), static_cast<uint32_t>(2 * frames.size()));
  std::unique_ptr<FILE, int (*)(FILE*)> file(nullptr, std::fclose);
  Pass pass = Pass::Failed;
  try {
    Plan plan;
    pass = MakePlan(document, frames, meter.get(), &plan);
    if (pass == Pass::Done) file.reset(std::fopen(path.c_str(), "wb"));
    if (file) {
      Writer out{file.get()};
      out.ok = std::fwrite(apng::kSignature, 1, 8, file.get()) == 8;
      std::vector<uint8_t> header;
      apng::PutBe32(header, width);
      apng::PutBe32(header, height);
      const uint8_t colourType = plan.colours != Colours::TrueColour ? 3
                                 : plan.clear || plan.partial        ? 6
                                                                     : 2;
      header.insert(header.end(), {8, colourType, 0, 0, 0});
      out.Put(Tag("IHDR"), header);
      std::vector<uint8_t> animation;
      apng::PutBe32(animation, static_cast<uint32_t>(frames.size()));
      apng::PutBe32(animation, document.playCount);
      out.Put(Tag("acTL"), animation);
      if (colourType == 3) {
        std::vector<uint8_t> rgb, alpha;
        for (uint32_t c : plan.palette) {
          rgb.insert(rgb.end(), {uint8_t(c >> 16), uint8_t(c >> 8), uint8_t(c)});
          alpha.push_back(static_cast<uint8_t>(c >> 24));
        }
        // The alpha table stops after its last entry that is not opaque.
        while (!alpha.empty() && alpha.back() == 255) alpha.pop_back();
        out.Put(Tag("PLTE"), rgb);
        if (!alpha.empty()) out.Put(Tag("tRNS"), alpha);
      }
      pass = WriteFrames(out, document, frames, plan, units, meter.get());
      out.Put(Tag("IEND"), {});
      if (pass == Pass::Done && (!out.ok || std::fclose(file.release()) != 0)) pass = Pass::Failed;
    }
  } catch (const std::bad_alloc&) {
    pass = Pass::Failed;
  }
  ProgressClose(meter.get());
  if (pass == Pass::Failed) ShowErrorId(str::CannotWriteFile, shown.c_str());
  return pass == Pass::Done;
}

}  // namespace lw
