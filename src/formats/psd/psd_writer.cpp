// Writing a document as a layered PSD: one raw RGBA layer per frame at its offset, then a
// composite of every frame drawn in order, with its transparency as the fourth channel.
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <new>
#include <string>
#include <vector>

#include "base/string_ids.h"
#include "base/strings.h"
#include "core/picture_budget.h"
#include "formats/psd/psd_format.h"

namespace lw {
namespace {

// Big-endian output through one buffer; remembers whether anything failed.
class Output {
 public:
  explicit Output(FILE* file) : file_(file) { buffer_.reserve(Capacity); }
  ~Output() { Flush(); }

  void Bytes(const void* data, size_t count) {
    const auto* p = static_cast<const uint8_t*>(data);
    while (count > 0) {
      size_t n = std::min(count, Capacity - buffer_.size());
      buffer_.insert(buffer_.end(), p, p + n);
      p += n;
      count -= n;
      if (buffer_.size() == Capacity) Flush();
    }
  }
  void U8(uint8_t v) { Bytes(&v, 1); }
  void U16(uint16_t v) {
    uint8_t b[2] = {static_cast<uint8_t>(v >> 8), static_cast<uint8_t>(v)};
    Bytes(b, 2);
  }
  void U32(uint32_t v) {
    uint8_t b[4] = {static_cast<uint8_t>(v >> 24), static_cast<uint8_t>(v >> 16),
                    static_cast<uint8_t>(v >> 8), static_cast<uint8_t>(v)};
    Bytes(b, 4);
  }
  void Zeros(size_t count) {
    static const uint8_t zeros[16] = {};
    while (count > 0) {
      size_t n = std::min(count, sizeof zeros);
      Bytes(zeros, n);
      count -= n;
    }
  }
  bool Flush() {
    if (!buffer_.empty() && std::fwrite(buffer_.data(), 1, buffer_.size(), file_) != buffer_.size())
      failed_ = true;
    buffer_.clear();
    return !failed_;
  }
  bool Failed() const { return failed_; }

 private:
  static constexpr size_t Capacity = 1 << 16;
  FILE* file_;
  std::vector<uint8_t> buffer_;
  bool failed_ = false;
};

// A frame's pixels as red, green, blue and transparency, one row at a time.
void FrameRow(const Frame& f, uint32_t y, uint8_t* rgba) {
  const uint64_t w = f.width, h = f.height;
  std::memset(rgba, 0, 4 * w);
  const bool hasRgb = f.rgbPlane.size() >= RgbStride(w) * h;
  const bool hasAlpha = hasRgb && f.alphaPlane.size() >= IndexStride(w) * h;
  const uint8_t* bits = f.bits();
  const uint32_t dibWidth = f.DibWidth(), dibHeight = f.DibHeight();
  const bool hasDib =
      bits && y < dibHeight && f.dib.size() >= DibBitsOffset + IndexStride(dibWidth) * dibHeight;
  const uint8_t* indexes = hasDib ? bits + IndexStride(dibWidth) * y : nullptr;
  const uint32_t indexCount = hasDib ? std::min<uint32_t>(f.width, dibWidth) : 0;
  for (uint32_t x = 0; x < w; ++x) {
    uint8_t* out = rgba + 4 * x;
    if (hasRgb) {
      const uint8_t* bgr = &f.rgbPlane[RgbStride(w) * y + 3 * x];
      out[0] = bgr[2];
      out[1] = bgr[1];
      out[2] = bgr[0];
    } else if (x < indexCount && f.palette && indexes[x] < f.palette->Count()) {
      const PaletteEntry& e = f.palette->entries[indexes[x]];
      out[0] = e.red;
      out[1] = e.green;
      out[2] = e.blue;
    }
    if (hasAlpha) {
      out[3] = f.alphaPlane[IndexStride(w) * y + x];
    } else if (f.Transparent() && x < indexCount) {
      out[3] = indexes[x] == f.transparentIndex ? 0 : 255;
    } else {
      out[3] = f.Transparent() && !hasRgb ? 0 : 255;
    }
  }
}

bool HasTransparency(const Frame& f) {
  return f.Transparent() ||
         (!f.alphaPlane.empty() && f.rgbPlane.size() >= RgbStride(f.width) * f.height);
}

struct LayerPlan {
  const Frame* frame;
  bool mask;  // a user mask channel besides the transparency channel
  std::string name;
  uint32_t extraLength;
  int Channels() const { return mask ? 5 : 4; }
};

// The layer name as a length byte and its characters, padded to a multiple of 4.
uint32_t NameLength(const std::string& name) { return (1 + name.size() + 3) & ~size_t{3}; }

void WriteName(Output& out, const std::string& name) {
  out.U8(static_cast<uint8_t>(name.size()));
  out.Bytes(name.data(), name.size());
  out.Zeros(NameLength(name) - 1 - name.size());
}

// Every frame drawn in order at its offset over a transparent screen.
bool BuildComposite(const Animation& document, std::vector<uint8_t>* canvas) {
  const uint64_t w = document.screenWidth, h = document.screenHeight;
  if (!PictureFitsBudget(w, h, 4)) return false;
  canvas->assign(4 * w * h, 0);
  std::vector<uint8_t> row;
  for (const Frame* f = FirstFrame(document); f; f = NextFrame(f)) {
    row.resize(4 * uint64_t{f->width});
    for (uint32_t y = 0; y < f->height; ++y) {
      int64_t cy = int64_t{f->top} + y;
      if (cy < 0 || cy >= static_cast<int64_t>(h)) continue;
      FrameRow(*f, y, row.data());
      for (uint32_t x = 0; x < f->width; ++x) {
        int64_t cx = int64_t{f->left} + x;
        if (cx < 0 || cx >= static_cast<int64_t>(w)) continue;
        const uint8_t* src = &row[4 * x];
        uint8_t* dst = &(*canvas)[4 * (cy * w + cx)];
        const int a = src[3], keep = 255 - a;
        for (int c = 0; c < 3; ++c)
          dst[c] = static_cast<uint8_t>((src[c] * a + dst[c] * keep) / 255);
        dst[3] = static_cast<uint8_t>(a + dst[3] * keep / 255);
      }
    }
  }
  return true;
}

}  // namespace

bool WritePsd(const std::string& path, const Animation& document, bool layerMasks) {
  const bool masks = layerMasks;
  std::vector<LayerPlan> layers;
  uint64_t layerInfoLength = 2;
  const char* nameFormat = TableText(str::PsdLayerName);
  for (const Frame* f = FirstFrame(document); f; f = NextFrame(f)) {
    LayerPlan plan{f, masks && HasTransparency(*f), "", 0};
    char name[64];
    std::snprintf(name, sizeof name, nameFormat, static_cast<int>(layers.size() + 1));
    plan.name = name;
    plan.extraLength = (plan.mask ? 24 : 4) + 4 + NameLength(plan.name);
    const uint64_t channelLength = uint64_t{f->width} * f->height + 2;
    if (channelLength > UINT32_MAX) return false;
    layerInfoLength += 16 + 2 + 6 * plan.Channels() + 16 + plan.extraLength;
    layerInfoLength += plan.Channels() * channelLength;
    layers.push_back(std::move(plan));
  }
  if (layers.empty() || layers.size() > 32767) return false;
  const bool pad = layerInfoLength % 2 != 0;
  layerInfoLength += pad ? 1 : 0;
  const uint64_t sectionLength = 4 + layerInfoLength + 4;
  if (sectionLength > UINT32_MAX) return false;

  std::vector<uint8_t> canvas;
  try {
    if (!BuildComposite(document, &canvas)) return false;
  } catch (const std::bad_alloc&) {
    return false;
  }

  FILE* file = std::fopen(path.c_str(), "wb");
  if (!file) return false;
  bool written = false;
  {
    Output out(file);
    out.Bytes("8BPS", 4);
    out.U16(1);
    out.Zeros(6);
    out.U16(4);
    out.U32(document.screenHeight);
    out.U32(document.screenWidth);
    out.U16(8);
    out.U16(3);
    out.U32(0);  // colour mode data
    out.U32(0);  // image resources

    out.U32(static_cast<uint32_t>(sectionLength));
    out.U32(static_cast<uint32_t>(layerInfoLength));
    // Negative: the composite's fourth channel is its transparency.
    out.U16(static_cast<uint16_t>(-static_cast<int16_t>(layers.size())));
    for (const LayerPlan& l : layers) {
      const Frame& f = *l.frame;
      const uint32_t top = static_cast<uint32_t>(f.top), left = static_cast<uint32_t>(f.left);
      const uint32_t bottom = static_cast<uint32_t>(int64_t{f.top} + f.height);
      const uint32_t right = static_cast<uint32_t>(int64_t{f.left} + f.width);
      out.U32(top);
      out.U32(left);
      out.U32(bottom);
      out.U32(right);
      out.U16(static_cast<uint16_t>(l.Channels()));
      const uint32_t channelLength = f.width * f.height + 2;
      for (int16_t id : {0, 1, 2, -1, -2}) {
        if (id == -2 && !l.mask) break;
        out.U16(static_cast<uint16_t>(id));
        out.U32(channelLength);
      }
      out.Bytes("8BIMnorm", 8);
      out.U8(255);   // opacity
      out.Zeros(3);  // clipping, flags, filler
      out.U32(l.extraLength);
      if (l.mask) {
        out.U32(20);
        out.U32(top);
        out.U32(left);
        out.U32(bottom);
        out.U32(right);
        out.Zeros(4);  // default colour, flags, padding
      } else {
        out.U32(0);
      }
      out.U32(0);  // blending ranges
      WriteName(out, l.name);
    }
    std::vector<uint8_t> row, plane;
    for (const LayerPlan& l : layers) {
      const Frame& f = *l.frame;
      row.resize(4 * uint64_t{f.width});
      plane.resize(f.width);
      for (int channel = 0; channel < l.Channels(); ++channel) {
        out.U16(0);
        for (uint32_t y = 0; y < f.height; ++y) {
          FrameRow(f, y, row.data());
          // The mask hides what is fully transparent; partial transparency stays in channel -1.
          for (uint32_t x = 0; x < f.width; ++x)
            plane[x] = channel < 4 ? row[4 * x + channel] : row[4 * x + 3] == 0 ? 0 : 255;
          out.Bytes(plane.data(), plane.size());
        }
      }
    }
    if (pad) out.U8(0);
    out.U32(0);  // global layer mask

    const uint64_t w = document.screenWidth, h = document.screenHeight;
    plane.resize(w);
    out.U16(0);
    for (int channel = 0; channel < 4; ++channel)
      for (uint64_t y = 0; y < h; ++y) {
        for (uint64_t x = 0; x < w; ++x) plane[x] = canvas[4 * (y * w + x) + channel];
        out.Bytes(plane.data(), plane.size());
      }
    written = out.Flush();
  }
  return std::fclose(file) == 0 && written;
}

}  // namespace lw
