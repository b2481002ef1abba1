#include "colour/refine_hq.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <new>

#include "base/progress.h"

namespace lw {

namespace {

constexpr uint32_t kTile = 64;

struct Rgb {
  uint8_t r, g, b;
};

int Error2(const Rgb& x, const uint8_t* bgr) {
  const int dr = x.r - bgr[2], dg = x.g - bgr[1], db = x.b - bgr[0];
  return dr * dr + dg * dg + db * db;
}

struct Rect {
  uint32_t left = UINT32_MAX, top = UINT32_MAX, right = 0, bottom = 0;
  bool Empty() const { return left >= right; }
  void Add(uint32_t x, uint32_t y) {
    left = std::min(left, x);
    top = std::min(top, y);
    right = std::max(right, x + 1);
    bottom = std::max(bottom, y + 1);
  }
  void Add(const Rect& o) {
    if (o.Empty()) return;
    Add(o.left, o.top);
    Add(o.right - 1, o.bottom - 1);
  }
};

bool Suitable(const std::vector<HqPicture>& pictures, const std::vector<std::vector<uint8_t>>& dibs,
              const Palette& global) {
  if (pictures.size() < 2 || dibs.size() != pictures.size() || global.Count() < 2) return false;
  const HqPicture& p0 = pictures[0];
  for (size_t k = 0; k < pictures.size(); ++k) {
    const HqPicture& p = pictures[k];
    const PixelSource& s = p.source;
    if (!s.rgbRows || s.alphaRows || s.transparentIndex >= 0 || s.width != p0.source.width ||
        s.height != p0.source.height || p.left != p0.left || p.top != p0.top)
      return false;
    if (dibs[k].size() < DibBitsOffset + IndexStride(s.width) * s.height) return false;
  }
  return p0.source.width > 0 && p0.source.height > 0;
}

class Refiner {
 public:
  Refiner(const std::vector<HqPicture>& pictures, const std::vector<std::vector<uint8_t>>& dibs,
          const Palette& global, const QualitySettings& settings)
      : pictures_(pictures),
        dibs_(dibs),
        global_(global),
        settings_(settings),
        w_(pictures[0].source.width),
        h_(pictures[0].source.height),
        slot_(static_cast<uint8_t>(global.Count() - 1)),
        tilesX_((w_ + kTile - 1) / kTile),
        tilesY_((h_ + kTile - 1) / kTile) {}

  bool Run(ProgressMeter* progress, std::vector<RefinedFrame>* out) {
    FindStill();
    Show(0);
    out->resize(pictures_.size());
    bool refinedAny = false;
    for (size_t k = 1; k < pictures_.size(); ++k) {
      if (ProgressCancelled(progress) || !Redraw(k, &(*out)[k], &refinedAny)) return false;
    }
    return refinedAny;
  }

 private:
  const uint8_t* Src(size_t k, uint32_t x, uint32_t y) const {
    const PixelSource& s = pictures_[k].source;
    return s.rgbRows + s.rgbStride * y + 3 * x;
  }
  uint8_t Index(size_t k, uint32_t x, uint32_t y) const {
    return dibs_[k][DibBitsOffset + IndexStride(w_) * y + x];
  }
  Rgb Global(uint8_t i) const {
    const PaletteEntry& e = global_.entries[i];
    return {e.red, e.green, e.blue};
  }
  size_t At(uint32_t x, uint32_t y) const { return size_t{y} * w_ + x; }
  size_t TileOf(uint32_t x, uint32_t y) const { return size_t{y / kTile} * tilesX_ + x / kTile; }

  // Still: the same source colour in every frame.
  void FindStill() {
    still_.assign(size_t{w_} * h_, 1);
    const PixelSource& s0 = pictures_[0].source;
    for (size_t k = 1; k < pictures_.size(); ++k) {
      const PixelSource& s = pictures_[k].source;
      for (uint32_t y = 0; y < h_; ++y) {
        const uint8_t* a = s0.rgbRows + s0.rgbStride * y;
        const uint8_t* b = s.rgbRows + s.rgbStride * y;
        if (std::memcmp(a, b, size_t{3} * w_) == 0) continue;
        for (uint32_t x = 0; x < w_; ++x)
          if (std::memcmp(a + 3 * x, b + 3 * x, 3) != 0) still_[At(x, y)] = 0;
      }
    }
    tileStill_.assign(size_t{tilesX_} * tilesY_, 0);
    for (uint32_t y = 0; y < h_; ++y)
      for (uint32_t x = 0; x < w_; ++x) tileStill_[TileOf(x, y)] += still_[At(x, y)];
  }

  // The first frame as mapped: what the screen shows, and each tile's error over its still part.
  void Show(size_t k) {
    shown_.resize(size_t{w_} * h_);
    tileError_.assign(size_t{tilesX_} * tilesY_, 0);
    for (uint32_t y = 0; y < h_; ++y)
      for (uint32_t x = 0; x < w_; ++x) {
        shown_[At(x, y)] = Global(Index(k, x, y));
        if (still_[At(x, y)]) tileError_[TileOf(x, y)] += Error2(shown_[At(x, y)], Src(k, x, y));
      }
  }

  // Mean squared error per pixel (three channels summed) of a tile's still part, when the tile is
  // mostly still; else 0, so that it is never chosen.
  double TileMean(size_t t) const {
    const uint32_t tx = static_cast<uint32_t>(t % tilesX_), ty = static_cast<uint32_t>(t / tilesX_);
    const uint64_t area =
        uint64_t{std::min(kTile, w_ - tx * kTile)} * std::min(kTile, h_ - ty * kTile);
    if (tileStill_[t] * 10 < area * 9) return 0;
    return static_cast<double>(tileError_[t]) / static_cast<double>(tileStill_[t]);
  }

  // The band to refine in this frame: the worst tile and the next ones in its row that are
  // worth it too, up to the level's count. Empty when no tile is worth it.
  std::vector<size_t> Band() const {
    size_t worst = SIZE_MAX;
    double worstMean = settings_.refineError;
    for (size_t t = 0; t < tileError_.size(); ++t) {
      const double m = TileMean(t);
      if (m > worstMean) {
        worstMean = m;
        worst = t;
      }
    }
    std::vector<size_t> band;
    if (worst == SIZE_MAX) return band;
    band.push_back(worst);
    for (size_t t = worst + 1; band.size() < static_cast<size_t>(settings_.refineTiles) &&
                               t % tilesX_ != 0 && TileMean(t) > settings_.refineError;
         ++t)
      band.push_back(t);
    return band;
  }

  bool Redraw(size_t k, RefinedFrame* f, bool* refinedAny) {
    // What must change anyway: the pixels whose source changed. One that did not keeps what
    // is shown, which came from the same colour (through the shared palette or a local one).
    changed_.assign(size_t{w_} * h_, 0);
    Rect box;
    for (uint32_t y = 0; y < h_; ++y)
      for (uint32_t x = 0; x < w_; ++x) {
        const size_t p = At(x, y);
        if (still_[p] || std::memcmp(Src(k, x, y), Src(k - 1, x, y), 3) == 0) continue;
        const Rgb c = Global(Index(k, x, y));
        const Rgb& s = shown_[p];
        if (c.r != s.r || c.g != s.g || c.b != s.b) {
          changed_[p] = 1;
          box.Add(x, y);
        }
      }
    const std::vector<size_t> band = Band();
    Rect area = box;
    for (size_t t : band) {
      const uint32_t tx = static_cast<uint32_t>(t % tilesX_) * kTile;
      const uint32_t ty = static_cast<uint32_t>(t / tilesX_) * kTile;
      Rect r;
      r.Add(tx, ty);
      r.Add(std::min(tx + kTile, w_) - 1, std::min(ty + kTile, h_) - 1);
      area.Add(r);
    }
    if (!band.empty() && Refine(k, band, area, f)) {
      *refinedAny = true;
      return true;
    }
    return Plain(k, box, f);
  }

  // The entries in order of decreasing use (the image follows), as a table marked sorted says;
  // returns where the last entry, the clear one, went.
  static uint8_t SortByUse(uint32_t w, uint32_t h, uint64_t stride, Palette* palette,
                           std::vector<uint8_t>* image) {
    const int n = palette->Count();
    std::array<uint32_t, 256> uses{};
    for (uint32_t y = 0; y < h; ++y)
      for (uint32_t x = 0; x < w; ++x) ++uses[(*image)[stride * y + x]];
    std::array<uint8_t, 256> order{}, place{};
    for (int i = 0; i < 256; ++i) order[i] = static_cast<uint8_t>(i);
    std::stable_sort(order.begin(), order.begin() + n,
                     [&](uint8_t a, uint8_t b) { return uses[a] > uses[b]; });
    const std::vector<PaletteEntry> entries = palette->entries;
    for (int i = 0; i < n; ++i) {
      place[order[i]] = static_cast<uint8_t>(i);
      palette->entries[i] = entries[order[i]];
    }
    for (uint32_t y = 0; y < h; ++y)
      for (uint32_t x = 0; x < w; ++x) (*image)[stride * y + x] = place[(*image)[stride * y + x]];
    return place[n - 1];
  }

  static bool MakeDib(const Rect& r, const Palette* palette, RefinedFrame* f) {
    f->left = static_cast<int32_t>(r.left);
    f->top = static_cast<int32_t>(r.top);
    f->width = r.right - r.left;
    f->height = r.bottom - r.top;
    f->dib = BuildDib(f->width, f->height, palette);
    return !f->dib.empty();
  }

  // Only the changes, on the shared palette.
  bool Plain(size_t k, Rect box, RefinedFrame* f) {
    if (box.Empty()) box.Add(0, 0);
    if (!MakeDib(box, &global_, f)) return false;
    f->clear = slot_;
    uint8_t* bits = f->dib.data() + DibBitsOffset;
    const uint64_t stride = IndexStride(f->width);
    for (uint32_t y = box.top; y < box.bottom; ++y)
      for (uint32_t x = box.left; x < box.right; ++x) {
        const size_t p = At(x, y);
        uint8_t& out = bits[stride * (y - box.top) + (x - box.left)];
        out = slot_;
        if (!changed_[p]) continue;
        out = Index(k, x, y);
        shown_[p] = Global(out);
      }
    return true;
  }

  // The band's still pixels and the changes under a palette of their own. False (nothing
  // changed) when that palette does not bring the band closer.
  bool Refine(size_t k, const std::vector<size_t>& band, const Rect& area, RefinedFrame* f) {
    const uint32_t aw = area.right - area.left, ah = area.bottom - area.top;
    std::vector<uint8_t>& in = pixels_;
    std::vector<uint8_t>& alpha = alpha_;
    const uint64_t rgbStride = RgbStride(aw), alphaStride = IndexStride(aw);
    in.assign(rgbStride * ah, 0);
    alpha.assign(alphaStride * ah, 0);
    auto inBand = [&](uint32_t x, uint32_t y) {
      return std::find(band.begin(), band.end(), TileOf(x, y)) != band.end();
    };
    int64_t before = 0;
    for (uint32_t y = area.top; y < area.bottom; ++y)
      for (uint32_t x = area.left; x < area.right; ++x) {
        const size_t p = At(x, y);
        const bool refine = still_[p] && inBand(x, y);
        if (!refine && !changed_[p]) continue;
        std::memcpy(&in[rgbStride * (y - area.top) + 3 * (x - area.left)], Src(k, x, y), 3);
        alpha[alphaStride * (y - area.top) + (x - area.left)] = 255;
        if (refine) before += Error2(shown_[p], Src(k, x, y));
      }
    HqPicture picture;
    picture.source.width = aw;
    picture.source.height = ah;
    picture.source.rgbRows = in.data();
    picture.source.rgbStride = rgbStride;
    picture.source.alphaRows = alpha.data();
    picture.source.alphaStride = alphaStride;
    QualitySettings local = settings_;
    local.colours = 256;
    local.tolerance = 0;
    HqResult result;
    if (!QuantizePictures({picture}, local, true, nullptr, &result)) return false;
    std::vector<uint8_t>& image = result.images[0];
    const uint8_t clear = SortByUse(aw, ah, alphaStride, result.palette.get(), &image);
    const Palette& palette = *result.palette;
    auto colourAt = [&](uint32_t x, uint32_t y) {
      const PaletteEntry& e =
          palette.entries[image[alphaStride * (y - area.top) + (x - area.left)]];
      return Rgb{e.red, e.green, e.blue};
    };
    int64_t after = 0;
    for (uint32_t y = area.top; y < area.bottom; ++y)
      for (uint32_t x = area.left; x < area.right; ++x)
        if (still_[At(x, y)] && inBand(x, y)) after += Error2(colourAt(x, y), Src(k, x, y));
    if (after * 4 > before * 3) {
      // Not worth it here: the band's tiles leave the running.
      for (size_t t : band) tileError_[t] = 0;
      return false;
    }
    if (!MakeDib(area, &palette, f)) return false;
    uint8_t* bits = f->dib.data() + DibBitsOffset;
    for (uint32_t y = 0; y < ah; ++y)
      std::memcpy(bits + alphaStride * y, &image[alphaStride * y], aw);
    for (uint32_t y = area.top; y < area.bottom; ++y)
      for (uint32_t x = area.left; x < area.right; ++x) {
        const size_t p = At(x, y);
        if (alpha[alphaStride * (y - area.top) + (x - area.left)] == 0) continue;
        const Rgb c = colourAt(x, y);
        if (still_[p])
          tileError_[TileOf(x, y)] += Error2(c, Src(k, x, y)) - Error2(shown_[p], Src(k, x, y));
        shown_[p] = c;
      }
    f->clear = clear;
    f->local = std::move(result.palette);
    return true;
  }

  const std::vector<HqPicture>& pictures_;
  const std::vector<std::vector<uint8_t>>& dibs_;
  const Palette& global_;
  const QualitySettings& settings_;
  const uint32_t w_, h_;
  const uint8_t slot_;
  const uint32_t tilesX_, tilesY_;
  std::vector<uint8_t> still_;
  std::vector<uint8_t> changed_;
  std::vector<Rgb> shown_;
  std::vector<uint32_t> tileStill_;
  std::vector<int64_t> tileError_;
  std::vector<uint8_t> pixels_;
  std::vector<uint8_t> alpha_;
};

}  // namespace

bool RefineStill(const std::vector<HqPicture>& pictures,
                 const std::vector<std::vector<uint8_t>>& dibs, const Palette& global,
                 const QualitySettings& settings, ProgressMeter* progress,
                 std::vector<RefinedFrame>* out) {
  out->clear();
  if (settings.refineTiles <= 0 || !Suitable(pictures, dibs, global)) return false;
  try {
    Refiner refiner(pictures, dibs, global, settings);
    if (refiner.Run(progress, out)) return true;
  } catch (const std::bad_alloc&) {
  }
  out->clear();
  return false;
}

void InstallRefined(const std::vector<Frame*>& frames, std::vector<RefinedFrame>& refined) {
  if (refined.size() != frames.size()) return;
  for (size_t k = 0; k < frames.size(); ++k) {
    Frame* f = frames[k];
    SetDisposal(f, 1);
    if (k == 0) continue;
    RefinedFrame& r = refined[k];
    FreeRgbPlane(f);  // the whole picture's data no longer fits the part drawn
    f->left += r.left;
    f->top += r.top;
    f->width = r.width;
    f->height = r.height;
    if (r.local) {
      SetLocalPalette(f, std::move(r.local));
      f->descriptorFlags |= kSortedTable;
    }
    SetFrameDib(f, std::move(r.dib));
    SetTransparentIndex(f, r.clear);
    SetTransparency(f, true);
  }
}

bool RefineFromTrueColour(Animation& animation, const QualitySettings& settings,
                          ProgressMeter* progress) {
  const Palette* global = animation.globalPalette.get();
  if (!global || settings.refineTiles <= 0) return false;
  std::vector<Frame*> frames;
  std::vector<HqPicture> pictures;
  std::vector<std::vector<uint8_t>> dibs;
  std::vector<RefinedFrame> refined;
  try {
    for (Frame* f = FirstFrame(animation); f; f = NextFrame(f)) {
      HqPicture p;
      // Only images drawn on the global palette from the very pictures kept beside them.
      if (f->localPalette || f->palette != global || f->rgbPlane.empty() || !FramePicture(f, &p) ||
          p.source.rgbRows != f->rgbPlane.data())
        return false;
      frames.push_back(f);
      pictures.push_back(p);
      dibs.push_back(f->dib);
    }
    if (!RefineStill(pictures, dibs, *global, settings, progress, &refined)) return false;
  } catch (const std::bad_alloc&) {
    return false;
  }
  InstallRefined(frames, refined);
  animation.encodedSizeCache = -1;
  return true;
}

}  // namespace lw
