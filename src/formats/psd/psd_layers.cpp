// The layers of a PSD file as frames: records first, then each layer's channels, placed,
// masked, made grey where they are, flattened as the options say and cut to the canvas.
#include <zlib.h>

#include <algorithm>
#include <cstring>
#include <new>
#include <utility>
#include <vector>

#include "base/messages.h"
#include "base/progress.h"
#include "base/string_ids.h"
#include "base/strings.h"
#include "formats/psd/psd_format.h"
#include "formats/psd/psd_internal.h"

namespace lw::psd {
namespace {

constexpr int ModeGrey = 1;

struct Rect {
  int64_t left = 0;
  int64_t top = 0;
  int64_t right = 0;
  int64_t bottom = 0;

  int64_t Width() const { return right - left; }
  int64_t Height() const { return bottom - top; }
  bool Empty() const { return right <= left || bottom <= top; }
  bool Contains(const Rect& r) const {
    return r.left >= left && r.top >= top && r.right <= right && r.bottom <= bottom;
  }
  bool operator==(const Rect&) const = default;
};

Rect Intersect(const Rect& a, const Rect& b) {
  return {std::max(a.left, b.left), std::max(a.top, b.top), std::min(a.right, b.right),
          std::min(a.bottom, b.bottom)};
}

struct Channel {
  int16_t id = 0;
  uint32_t length = 0;
  uint64_t offset = 0;  // of its compression word in the file
};

struct Layer {
  Rect rect;
  std::vector<Channel> channels;
  uint8_t opacity = 255;
  bool masked = false;  // a user mask that is enabled
  Rect mask;
  uint8_t maskDefault = 0;
};

// A frame being made, in canvas coordinates.
struct Picture {
  Rect rect;
  std::vector<uint8_t> rgb;    // blue, green, red rows of RgbStride
  std::vector<uint8_t> alpha;  // rows of IndexStride; empty: opaque

  uint64_t RgbRow() const { return RgbStride(rect.Width()); }
  uint64_t AlphaRow() const { return IndexStride(rect.Width()); }
  uint8_t* Rgb(int64_t x, int64_t y) {
    return rgb.data() + (y - rect.top) * RgbRow() + 3 * (x - rect.left);
  }
  const uint8_t* Rgb(int64_t x, int64_t y) const {
    return rgb.data() + (y - rect.top) * RgbRow() + 3 * (x - rect.left);
  }
  uint8_t& Alpha(int64_t x, int64_t y) {
    return alpha[(y - rect.top) * AlphaRow() + (x - rect.left)];
  }
  uint8_t Alpha(int64_t x, int64_t y) const {
    return alpha.empty() ? 255 : alpha[(y - rect.top) * AlphaRow() + (x - rect.left)];
  }
};

// One byte of a plane per pixel of rect, step bytes apart.
struct Plane {
  uint8_t* data;
  uint64_t stride;
  int step;
  Rect rect;
};

struct Scratch {
  RowBuffers rows;
  std::vector<uint16_t> counts;
  std::vector<uint8_t> inflated;
  int sampleBytes = 1;
};

constexpr uint16_t Zip = 2;
constexpr uint16_t ZipPredicted = 3;  // each sample stored as its difference from the one before
// Deflate's largest ratio: no stream makes more than this many bytes from one.
constexpr uint64_t MaxInflation = 1032;

// Fills out[0, size) from the zlib stream in the next `length` bytes of the file; false when the
// stream is damaged or ends first.
bool Inflate(PsdFile& in, uint64_t length, uint8_t* out, uint64_t size) {
  z_stream z{};
  if (inflateInit(&z) != Z_OK) return false;
  uint8_t chunk[16384];
  uint64_t produced = 0;
  int status = Z_OK;
  while (produced < size && status == Z_OK) {
    if (z.avail_in == 0) {
      const uint64_t n = std::min<uint64_t>(length, sizeof chunk);
      if (n == 0 || !in.Read(chunk, n)) break;
      length -= n;
      z.next_in = chunk;
      z.avail_in = static_cast<uInt>(n);
    }
    z.next_out = out + produced;
    z.avail_out = static_cast<uInt>(std::min<uint64_t>(size - produced, UINT32_MAX));
    const uInt before = z.avail_out;
    status = inflate(&z, Z_NO_FLUSH);
    produced += before - z.avail_out;
  }
  inflateEnd(&z);
  return produced == size;
}

// The rows of inflated channel data, prediction undone, each to 8 bits. put receives each row.
template <typename Put>
void ZipRows(uint8_t* data, bool predicted, uint32_t width, uint32_t height, int sampleBytes,
             RowBuffers& b, Put put) {
  const uint64_t bytes = uint64_t{width} * sampleBytes;
  b.row.resize(width);
  for (uint32_t y = 0; y < height; ++y) {
    uint8_t* r = data + bytes * y;
    if (sampleBytes == 1) {
      if (predicted)
        for (uint32_t x = 1; x < width; ++x) r[x] = static_cast<uint8_t>(r[x] + r[x - 1]);
      put(y, r);
      continue;
    }
    uint16_t previous = 0;
    for (uint32_t x = 0; x < width; ++x) {
      uint16_t v = static_cast<uint16_t>(r[2 * x] << 8 | r[2 * x + 1]);
      if (predicted) v = previous = static_cast<uint16_t>(v + previous);
      b.row[x] = EightBits(v);
    }
    put(y, b.row.data());
  }
}

Outcome ReadRecord(PsdFile& in, Layer* layer) {
  int32_t top, left, bottom, right;
  uint16_t channelCount;
  if (!in.I32(&top) || !in.I32(&left) || !in.I32(&bottom) || !in.I32(&right) ||
      !in.U16(&channelCount) || bottom < top || right < left)
    return Outcome::DataError;
  layer->rect = {left, top, right, bottom};
  if (uint64_t{channelCount} * 6 > in.Remaining()) return Outcome::DataError;
  layer->channels.resize(channelCount);
  for (Channel& c : layer->channels)
    if (!in.I16(&c.id) || !in.U32(&c.length)) return Outcome::DataError;
  char signature[4];
  uint8_t opacity;
  uint32_t extraLength;
  if (!in.Read(signature, 4) || std::memcmp(signature, "8BIM", 4) != 0 || !in.Skip(4) ||
      !in.U8(&opacity) || !in.Skip(3) || !in.U32(&extraLength) || extraLength > in.Remaining())
    return Outcome::DataError;
  layer->opacity = opacity;
  const uint64_t extraEnd = in.Pos() + extraLength;
  uint32_t maskLength = 0;
  if (extraLength >= 4 && !in.U32(&maskLength)) return Outcome::DataError;
  // Longer mask records start the same way; their further fields are not needed.
  if (maskLength >= 20 && maskLength <= extraLength - 4) {
    int32_t mt, ml, mb, mr;
    uint8_t colour, flags;
    if (!in.I32(&mt) || !in.I32(&ml) || !in.I32(&mb) || !in.I32(&mr) || !in.U8(&colour) ||
        !in.U8(&flags))
      return Outcome::DataError;
    Rect mask{ml, mt, mr, mb};
    if (flags & 1) mask = {ml + left, mt + top, mr + left, mb + top};
    layer->masked = !(flags & 2) && !mask.Empty();
    layer->mask = mask;
    layer->maskDefault = colour;
  }
  return in.Seek(extraEnd) ? Outcome::Done : Outcome::DataError;
}

// Reads a channel whose rows cover source into the part of plane that they overlap.
Outcome ReadChannel(PsdFile& in, const Channel& channel, const Rect& source, const Plane& plane,
                    Scratch& s) {
  const uint64_t w = source.Width(), h = source.Height(), rowBytes = w * s.sampleBytes;
  if (w == 0 || h == 0) return Outcome::Done;
  uint16_t compression;
  if (!in.Seek(channel.offset) || channel.length < 2 || !in.U16(&compression))
    return Outcome::DataError;
  const uint64_t available = channel.length - 2;
  const bool zip = compression == Zip || compression == ZipPredicted;
  const bool packed = compression != 0 && !zip;
  if (h > UINT32_MAX || w > UINT32_MAX) return Outcome::DataError;
  const Rect visible = Intersect(source, plane.rect);
  auto place = [&](uint32_t y, const uint8_t* row) {
    int64_t cy = source.top + y;
    if (visible.Empty() || cy < visible.top || cy >= visible.bottom) return;
    uint8_t* to = plane.data + (cy - plane.rect.top) * plane.stride;
    for (int64_t cx = visible.left; cx < visible.right; ++cx)
      to[(cx - plane.rect.left) * plane.step] = row[cx - source.left];
  };
  if (zip) {
    if (rowBytes > available * MaxInflation / h) return Outcome::DataError;
    if (!PictureFitsBudget(rowBytes, h, 1)) return Outcome::NoMemoryForImage;
    s.inflated.resize(rowBytes * h);
    if (!Inflate(in, available, s.inflated.data(), s.inflated.size())) return Outcome::DataError;
    ZipRows(s.inflated.data(), compression == ZipPredicted, static_cast<uint32_t>(w),
            static_cast<uint32_t>(h), s.sampleBytes, s.rows, place);
    return Outcome::Done;
  }
  if (packed) {
    if (2 * h > available || !ReadCounts(in, h, &s.counts)) return Outcome::DataError;
    uint64_t total = 0;
    for (uint16_t c : s.counts) total += c;
    if (total > available - 2 * h) return Outcome::DataError;
  } else if (rowBytes * h > available) {
    return Outcome::DataError;
  }
  if (!PictureFitsBudget(rowBytes, 1, 2)) return Outcome::NoMemoryForImage;
  bool read = ReadRows(in, packed, s.counts.data(), static_cast<uint32_t>(w),
                       static_cast<uint32_t>(h), s.sampleBytes, s.rows, place);
  return read ? Outcome::Done : Outcome::DataError;
}

// Whether a channel's length can hold rows covering rect, so that no picture is made for data
// the file does not have.
bool ChannelHolds(PsdFile& in, const Channel& channel, const Rect& rect, int sampleBytes) {
  const uint64_t w = rect.Width() * sampleBytes, h = rect.Height();
  if (rect.Empty()) return true;
  uint16_t compression;
  if (channel.length < 2 || !in.Seek(channel.offset) || !in.U16(&compression)) return false;
  const uint64_t available = channel.length - 2;
  if (compression == 0) return w <= available / h;
  if (compression == Zip || compression == ZipPredicted) return w <= available * MaxInflation / h;
  return 2 * h <= available && MinPackedRow(w) <= (available - 2 * h) / h;
}

bool NewPicture(const Rect& rect, bool alpha, Budget& budget, Picture* p) {
  const uint64_t w = rect.Width(), h = rect.Height();
  if (!budget.Take(w, h, 3)) return false;
  p->rect = rect;
  p->rgb.assign(RgbStride(w) * h, 0);
  p->alpha.clear();
  if (alpha) {
    if (!budget.Take(w, h, 1)) return false;
    p->alpha.assign(IndexStride(w) * h, 0);
  }
  return true;
}

bool AddAlpha(Picture& p, Budget& budget, uint8_t value) {
  if (!p.alpha.empty()) return true;
  if (!budget.Take(p.rect.Width(), p.rect.Height(), 1)) return false;
  p.alpha.assign(p.AlphaRow() * p.rect.Height(), value);
  return true;
}

// a drawn over b where they overlap: a's colours mixed with b's by a's transparency, which
// then grows by b's when transparency is kept. An opaque a hides b.
void Flatten(Picture& a, const Picture& b, bool keepTransparency) {
  if (a.alpha.empty()) return;
  const Rect o = Intersect(a.rect, b.rect);
  for (int64_t y = o.top; y < o.bottom; ++y)
    for (int64_t x = o.left; x < o.right; ++x) {
      uint8_t* pa = a.Rgb(x, y);
      const uint8_t* pb = b.Rgb(x, y);
      const int alpha = a.Alpha(x, y);
      for (int c = 0; c < 3; ++c)
        pa[c] = static_cast<uint8_t>(std::min(255, (pa[c] * alpha + pb[c] * (255 - alpha)) / 255));
      if (keepTransparency)
        a.Alpha(x, y) = static_cast<uint8_t>(std::min(255, alpha + b.Alpha(x, y)));
    }
}

// The running composite takes the layer as it now shows, over their overlap.
void CopyOnto(Picture& composite, const Picture& layer) {
  const Rect o = Intersect(composite.rect, layer.rect);
  for (int64_t y = o.top; y < o.bottom; ++y)
    for (int64_t x = o.left; x < o.right; ++x) {
      std::memcpy(composite.Rgb(x, y), layer.Rgb(x, y), 3);
      if (!composite.alpha.empty()) composite.Alpha(x, y) = layer.Alpha(x, y);
    }
}

bool AllOpaque(const Picture& p) {
  for (int64_t y = p.rect.top; y < p.rect.bottom; ++y)
    for (int64_t x = p.rect.left; x < p.rect.right; ++x)
      if (p.Alpha(x, y) != 255) return false;
  return true;
}

// p remade over rect: its pixels where they overlap, transparent elsewhere.
bool Place(Picture& p, const Rect& rect, Budget& budget) {
  Picture q;
  if (!NewPicture(rect, !p.alpha.empty() || !p.rect.Contains(rect), budget, &q)) return false;
  const Rect o = Intersect(p.rect, rect);
  for (int64_t y = o.top; y < o.bottom; ++y)
    for (int64_t x = o.left; x < o.right; ++x) {
      std::memcpy(q.Rgb(x, y), p.Rgb(x, y), 3);
      if (!q.alpha.empty()) q.Alpha(x, y) = std::as_const(p).Alpha(x, y);
    }
  p = std::move(q);
  return true;
}

// The layer's channels into p: colours, transparency (with the layer's opacity) and mask.
Outcome FillPicture(PsdFile& in, const Layer& layer, int mode, Budget& budget, Scratch& s,
                    Picture& p) {
  std::vector<uint8_t> mask;
  for (const Channel& c : layer.channels) {
    Outcome read = Outcome::Done;
    if (c.id >= 0 && c.id <= 2) {
      read = ReadChannel(in, c, layer.rect, {p.rgb.data() + 2 - c.id, p.RgbRow(), 3, p.rect}, s);
    } else if (c.id == -1) {
      if (!AddAlpha(p, budget, 0)) return Outcome::NoMemoryForMask;
      read = ReadChannel(in, c, layer.rect, {p.alpha.data(), p.AlphaRow(), 1, p.rect}, s);
      if (layer.opacity != 255)
        for (uint8_t& a : p.alpha) a = static_cast<uint8_t>(a * layer.opacity / 255);
    } else if (c.id == -2 && layer.masked && p.rect.Contains(layer.mask)) {
      if (!ChannelHolds(in, c, layer.mask, s.sampleBytes)) return Outcome::DataError;
      if (!budget.Take(layer.mask.Width(), layer.mask.Height(), 1)) return Outcome::NoMemoryForMask;
      mask.assign(IndexStride(layer.mask.Width()) * layer.mask.Height(), 0);
      read = ReadChannel(in, c, layer.mask,
                         {mask.data(), IndexStride(layer.mask.Width()), 1, layer.mask}, s);
    }
    if (read != Outcome::Done) return read;
  }
  if (!mask.empty()) {
    // Outside its rectangle the mask holds its default colour.
    if (!AddAlpha(p, budget, 255)) return Outcome::NoMemoryForMask;
    const Rect o = Intersect(layer.rect, p.rect);
    const uint64_t stride = IndexStride(layer.mask.Width());
    for (int64_t y = o.top; y < o.bottom; ++y)
      for (int64_t x = o.left; x < o.right; ++x) {
        bool inside = x >= layer.mask.left && x < layer.mask.right && y >= layer.mask.top &&
                      y < layer.mask.bottom;
        int m = inside ? mask[(y - layer.mask.top) * stride + (x - layer.mask.left)]
                       : layer.maskDefault;
        p.Alpha(x, y) = static_cast<uint8_t>(p.Alpha(x, y) * m / 255);
      }
  }
  if (mode == ModeGrey || layer.channels.size() <= 2) {
    for (int64_t y = p.rect.top; y < p.rect.bottom; ++y)
      for (int64_t x = p.rect.left; x < p.rect.right; ++x) {
        uint8_t* px = p.Rgb(x, y);
        px[0] = px[1] = px[2];
      }
  }
  return Outcome::Done;
}

}  // namespace

Outcome ReadLayers(PsdFile& in, const LayerRead& read, ProgressMeter* meter, AnimationPtr* out) {
  const uint32_t options = read.options;
  const bool keepTransparency = options & psdopt::KeepTransparency;
  const bool ontoComposite = options & psdopt::OntoComposite;
  const bool ontoBackground = options & psdopt::OntoBackground;
  if (read.count > 32767) return Outcome::DataError;  // more frames than a document holds

  ProgressSetText(meter, TableText(str::ReadingLayerInfo));
  ProgressSetRange(meter, read.count);
  std::vector<Layer> layers;
  if (!in.Seek(read.start)) return Outcome::DataError;
  for (int i = 0; i < read.count; ++i) {
    Layer layer;
    if (Outcome o = ReadRecord(in, &layer); o != Outcome::Done) return o;
    layers.push_back(std::move(layer));
    if (!ProgressStep(meter)) return Outcome::Cancelled;
  }
  // The channels follow the records, layer by layer, in record order.
  uint64_t offset = in.Pos();
  for (Layer& layer : layers)
    for (Channel& c : layer.channels) {
      c.offset = offset;
      offset += c.length;
      if (offset > in.Size()) return Outcome::DataError;
    }

  // A layer with pixels must bring them: every colour or transparency channel long enough.
  for (const Layer& layer : layers) {
    if (layer.rect.Empty()) continue;
    int pixelChannels = 0;
    for (const Channel& c : layer.channels) {
      if (c.id < -1 || c.id > 2) continue;
      if (!ChannelHolds(in, c, layer.rect, read.sampleBytes)) return Outcome::DataError;
      ++pixelChannels;
    }
    if (pixelChannels == 0) return Outcome::DataError;
  }

  // Frames need no more than the part of the layers that the canvas shows.
  const Rect canvas{0, 0, read.width, read.height};
  Rect area{INT64_MAX, INT64_MAX, INT64_MIN, INT64_MIN};
  for (const Layer& layer : layers) {
    if (layer.rect.Empty()) continue;
    area = {std::min(area.left, layer.rect.left), std::min(area.top, layer.rect.top),
            std::max(area.right, layer.rect.right), std::max(area.bottom, layer.rect.bottom)};
  }
  area = Intersect(area, canvas);
  if (area.Empty()) area = {0, 0, 1, 1};

  Budget budget;
  Picture composite;
  if (ontoComposite && !NewPicture(area, keepTransparency, budget, &composite))
    return Outcome::NoMemoryForComposite;

  ProgressSetText(meter, TableText(str::ReadingLayerData));
  ProgressSetRange(meter, read.count);
  Scratch scratch;
  scratch.sampleBytes = read.sampleBytes;
  std::vector<Picture> pictures;
  for (const Layer& layer : layers) {
    if (!(ontoComposite && layer.rect.Empty())) {
      Picture p;
      if (!NewPicture(ontoComposite ? layer.rect : area, false, budget, &p))
        return Outcome::NoMemoryForImage;
      if (Outcome o = FillPicture(in, layer, read.mode, budget, scratch, p); o != Outcome::Done)
        return o;
      if (ontoBackground && !pictures.empty()) Flatten(p, pictures.front(), keepTransparency);
      if (ontoComposite) {
        Flatten(p, composite, keepTransparency);
        CopyOnto(composite, p);
      }
      if (!keepTransparency || AllOpaque(p)) p.alpha = {};
      pictures.push_back(std::move(p));
    }
    if (!ProgressStep(meter)) return Outcome::Cancelled;
  }
  if (ontoBackground && !(options & psdopt::KeepBackground) && !pictures.empty())
    pictures.erase(pictures.begin());
  if (pictures.empty()) return Outcome::DataError;

  AnimationPtr animation = NewAnimation();
  if (!animation) return Outcome::NoMemoryForImage;
  animation->screenWidth = read.width;
  animation->screenHeight = read.height;
  animation->playCount = read.timing.defaultLoopCount;
  for (Picture& p : pictures) {
    Rect keep = options & psdopt::FullCanvas ? canvas : Intersect(p.rect, canvas);
    if (keep.Empty()) keep = {0, 0, 1, 1};  // off the canvas: one transparent pixel
    if (keep != p.rect && !Place(p, keep, budget)) return Outcome::NoMemoryForImage;
    Frame* frame = NewFrame(static_cast<uint32_t>(keep.Width()),
                            static_cast<uint32_t>(keep.Height()), read.timing.defaultDelay);
    if (!frame) return Outcome::NoMemoryForImage;
    frame->left = static_cast<int32_t>(keep.left);
    frame->top = static_cast<int32_t>(keep.top);
    InsertBlockAfter(LastBlock(*animation), frame);
    ++animation->frameCount;
    SetRgbPlane(frame, std::move(p.rgb));
    if (!p.alpha.empty()) SetAlphaPlane(frame, std::move(p.alpha));
  }
  *out = std::move(animation);
  return Outcome::Done;
}

void ShowOutcome(Outcome outcome) {
  switch (outcome) {
    case Outcome::Done:
    case Outcome::Cancelled: return;
    case Outcome::NotPsd: ShowErrorId(str::PsdNotValid); return;
    case Outcome::UnsupportedMode: ShowErrorId(str::PsdColourModeUnsupported); return;
    case Outcome::DataError: ShowErrorId(str::PsdDamaged); return;
    case Outcome::NoMemoryForImage: ShowErrorId(str::PsdNoMemoryForImage); return;
    case Outcome::NoMemoryForComposite: ShowErrorId(str::PsdNoMemoryForComposite); return;
    case Outcome::NoMemoryForMask: ShowErrorId(str::PsdNoMemoryForMask); return;
  }
}

}  // namespace lw::psd
