#include "formats/swf/swf_format.h"

#include <zlib.h>

#include <algorithm>
#include <new>
#include <numeric>

#include "base/messages.h"
#include "base/progress.h"
#include "base/string_ids.h"
#include "base/strings.h"
#include "formats/common/jpeg_codec.h"
#include "platform/files.h"

namespace lw {
namespace {

constexpr uint32_t kMaxBitmapSide = 0xFFFF;
constexpr size_t kMaxJpegBytes = size_t{1} << 31;

void PutU16(std::vector<uint8_t>& out, uint32_t v) {
  out.push_back(static_cast<uint8_t>(v));
  out.push_back(static_cast<uint8_t>(v >> 8));
}

// Format byte, width, height and, for a colour map, its size less one, then the zlib stream.
bool LosslessBody(uint8_t format, uint32_t width, uint32_t height, int tableSize,
                  const std::vector<uint8_t>& raw, std::vector<uint8_t>* body) {
  uLongf packed = compressBound(raw.size());
  body->clear();
  body->reserve(6 + packed);
  body->push_back(format);
  PutU16(*body, width);
  PutU16(*body, height);
  if (format == 3) body->push_back(static_cast<uint8_t>(tableSize - 1));
  size_t head = body->size();
  body->resize(head + packed);
  if (compress2(body->data() + head, &packed, raw.data(), raw.size(), Z_DEFAULT_COMPRESSION) !=
      Z_OK)
    return false;
  body->resize(head + packed);
  return true;
}

// 32-bit pixels, alpha first, colours premultiplied by it.
bool TrueColourWithAlpha(const Frame& frame, std::vector<uint8_t>* body) {
  const uint32_t w = frame.width, h = frame.height;
  const uint64_t rgbStride = RgbStride(w), alphaStride = IndexStride(w);
  if (frame.rgbPlane.size() < rgbStride * h || frame.alphaPlane.size() < alphaStride * h)
    return false;
  std::vector<uint8_t> raw(uint64_t{w} * h * 4);
  uint8_t* out = raw.data();
  for (uint32_t y = 0; y < h; ++y) {
    const uint8_t* bgr = frame.rgbPlane.data() + rgbStride * y;
    const uint8_t* alpha = frame.alphaPlane.data() + alphaStride * y;
    for (uint32_t x = 0; x < w; ++x, out += 4, bgr += 3) {
      uint32_t a = alpha[x];
      out[0] = static_cast<uint8_t>(a);
      out[1] = static_cast<uint8_t>(bgr[2] * a / 255);
      out[2] = static_cast<uint8_t>(bgr[1] * a / 255);
      out[3] = static_cast<uint8_t>(bgr[0] * a / 255);
    }
  }
  return LosslessBody(5, w, h, 0, raw, body);
}

// The frame through the JPEG writer: the file's bytes are the tag's data.
bool TrueColourAsJpeg(const Frame& frame, const std::string& scratchFolder, int jpegQuality,
                      std::vector<uint8_t>* body) {
  std::string scratch = CreateTempFile(scratchFolder, ".swf-jpeg");
  if (scratch.empty()) return false;
  std::string data;
  bool ok = WriteJpeg(scratch, const_cast<Frame*>(&frame), jpegQuality) &&
            ReadWholeFile(scratch, kMaxJpegBytes, &data);
  DeleteFile(scratch);
  if (!ok) return false;
  body->assign(data.begin(), data.end());
  return true;
}

// Colour-mapped rows padded to four bytes; a transparent frame gets an alpha table (its
// transparent entry clear) and a border of transparent pixels.
bool PaletteFrame(const Frame& frame, SwfFrameBitmap* out) {
  const uint32_t w = frame.width, h = frame.height;
  const uint64_t stride = IndexStride(w);
  const uint8_t* bits = frame.bits();
  if (!bits || frame.dib.size() - DibBitsOffset < stride * h) return false;
  const bool transparent = frame.Transparent();
  const uint32_t border = transparent ? 1 : 0;
  const uint32_t outW = w + 2 * border, outH = h + 2 * border;
  if (outW > kMaxBitmapSide || outH > kMaxBitmapSide) return false;
  const uint64_t outStride = IndexStride(outW);
  const Palette* palette = frame.palette;
  const int colours = palette ? std::min(palette->Count(), 256) : 0;

  // Rows first, so that the table covers every index the pixels use.
  const uint8_t fill = transparent ? frame.transparentIndex : 0;
  std::vector<uint8_t> rows(outStride * outH, 0);
  int tableSize = std::max(colours, 1);
  if (transparent) tableSize = std::max(tableSize, fill + 1);
  for (uint32_t y = 0; y < outH; ++y) {
    uint8_t* row = rows.data() + outStride * y;
    std::fill(row, row + outW, fill);
    if (y < border || y >= h + border) continue;
    const uint8_t* in = bits + stride * (y - border);
    std::copy(in, in + w, row + border);
    tableSize = std::max(tableSize, *std::max_element(in, in + w) + 1);
  }
  const int entryBytes = transparent ? 4 : 3;
  std::vector<uint8_t> raw;
  raw.reserve(tableSize * entryBytes + rows.size());
  for (int i = 0; i < tableSize; ++i) {
    PaletteEntry e = i < colours ? palette->entries[i] : PaletteEntry{};
    if (transparent && i == frame.transparentIndex) {
      raw.insert(raw.end(), {0, 0, 0, 0});
      continue;
    }
    raw.insert(raw.end(), {e.red, e.green, e.blue});
    if (transparent) raw.push_back(255);
  }
  raw.insert(raw.end(), rows.begin(), rows.end());
  out->bitmap.tagCode = transparent ? swftag::DefineBitsLossless2 : swftag::DefineBitsLossless;
  out->left = int64_t{frame.left} - border;
  out->top = int64_t{frame.top} - border;
  out->width = outW;
  out->height = outH;
  out->bordered = transparent;
  return LosslessBody(3, outW, outH, tableSize, raw, &out->bitmap.body);
}

uint32_t Gcd(uint32_t a, uint32_t b) { return std::gcd(a, b); }

bool WriteSwfDocument(const std::string& path, const std::string& target, Animation& document,
                      SaveOptions& options, WindowHandle owner) {
  return WriteSwf(path, target, document, options.settings, owner);
}

}  // namespace

SwfTiming SwfTimingFor(const Animation& animation, uint32_t delayUnits) {
  uint32_t step = 0;
  for (Frame* f = FirstFrame(animation); f; f = NextFrame(f)) {
    step = Gcd(step, std::max<uint32_t>(f->delay, 1));
  }
  SwfTiming timing;
  timing.step = std::max<uint32_t>(step, 1);
  uint32_t whole = delayUnits / timing.step;
  if (whole > 0) {
    timing.frameRate = static_cast<uint16_t>(std::min<uint32_t>(whole, 255) << 8);
  } else {
    // Slower than a frame a second: the fraction byte carries it.
    uint64_t fraction = uint64_t{delayUnits} * 256 / timing.step;
    timing.frameRate = static_cast<uint16_t>(std::clamp<uint64_t>(fraction, 1, 255));
  }
  return timing;
}

uint32_t SwfFrameDuration(uint32_t delay, uint32_t step) {
  if (step == 0) step = 1;
  return std::max(delay, step) / step;
}

bool BuildSwfFrameBitmap(const Frame& frame, const std::string& scratchFolder, int jpegQuality,
                         SwfFrameBitmap* out) {
  *out = SwfFrameBitmap{};
  if (frame.width == 0 || frame.height == 0 || frame.width > kMaxBitmapSide ||
      frame.height > kMaxBitmapSide)
    return false;
  try {
    if (!frame.rgbPlane.empty()) {
      out->left = frame.left;
      out->top = frame.top;
      out->width = frame.width;
      out->height = frame.height;
      if (!frame.alphaPlane.empty()) {
        out->bitmap.tagCode = swftag::DefineBitsLossless2;
        return TrueColourWithAlpha(frame, &out->bitmap.body);
      }
      out->bitmap.tagCode = swftag::DefineBitsJpeg2;
      return TrueColourAsJpeg(frame, scratchFolder, jpegQuality, &out->bitmap.body);
    }
    return PaletteFrame(frame, out);
  } catch (const std::bad_alloc&) {
    return false;
  }
}

bool WriteSwf(const std::string& path, const std::string& target, const Animation& document,
              const WriteSettings& settings, WindowHandle owner) {
  const std::string& shown = target.empty() ? path : target;
  ProgressMeterPtr meter(CreateProgressMeter(owner, progress::OwnPopup, 0));
  ProgressSetText(meter.get(), LoadResText(str::BuildingFlashFile));
  ProgressSetRange(meter.get(), static_cast<uint32_t>(std::max<int>(document.frameCount, 0)));
  const SwfTiming timing = SwfTimingFor(document, settings.timing.units.perSecond);
  const std::string scratchFolder = DirectoryPart(path);

  SwfMovie movie;
  bool bordered = false;
  for (Frame* frame = FirstFrame(document); frame; frame = NextFrame(frame)) {
    SwfFrameBitmap bitmap;
    if (!BuildSwfFrameBitmap(*frame, scratchFolder, settings.jpegQuality, &bitmap)) {
      ShowErrorId(str::CannotWriteFile, shown.c_str());
      return false;
    }
    const int64_t right = bitmap.left + bitmap.width, bottom = bitmap.top + bitmap.height;
    constexpr int64_t kLimit = INT32_MAX / 20;
    if (bitmap.left < -kLimit || bitmap.top < -kLimit || right > kLimit || bottom > kLimit) {
      ShowErrorId(str::CannotWriteFile, shown.c_str());
      return false;
    }
    bordered = bordered || bitmap.bordered;
    SwfRect rect{static_cast<int32_t>(bitmap.left * 20), static_cast<int32_t>(bitmap.top * 20),
                 static_cast<int32_t>(right * 20), static_cast<int32_t>(bottom * 20)};
    int disposal = frame->Disposal();
    bool remove =
        NextFrame(frame) && (disposal == DisposalBackground || disposal == DisposalPrevious);
    if (!movie.AddBitmapShape(rect, std::move(bitmap.bitmap),
                              SwfFrameDuration(frame->delay, timing.step), remove)) {
      ShowErrorId(str::CannotWriteFile, shown.c_str());
      return false;
    }
    if (!ProgressStep(meter.get())) return false;
  }
  if (movie.FrameCount() > 0xFFFF) {
    ShowErrorId(str::SwfTooManyFrames);
    return false;
  }
  const uint32_t grow = bordered ? 1 : 0;
  std::vector<uint8_t> file =
      movie.Build(document.screenWidth + grow, document.screenHeight + grow, timing.frameRate);
  if (file.empty() || !WriteBytes(path, file)) {
    ShowErrorId(str::CannotWriteFile, shown.c_str());
    return false;
  }
  return true;
}

FormatSpec SwfFormat() {
  return {.id = "swf",
          .saveType = savetype::Swf,
          .save = {"swf", TableText(str::SaveFilterSwf), "*.swf", 0},
          .writeDocument = WriteSwfDocument};
}

}  // namespace lw
