#include "colour/quantize_hq.h"

#include <gtest/gtest.h>

#include <limits>
#include <map>
#include <random>

#include "colour/palette_fit.h"
#include "support/document.h"

namespace lw {
namespace {

using namespace test;

// A 24-bit picture drawn here, colours as 0xRRGGBB.
struct Drawn {
  uint32_t w, h;
  std::vector<uint8_t> rgb;
  template <typename F>
  Drawn(uint32_t width, uint32_t height, F colour) : w(width), h(height), rgb(RgbStride(w) * h) {
    for (uint32_t y = 0; y < h; ++y)
      for (uint32_t x = 0; x < w; ++x) {
        uint32_t c = colour(x, y);
        uint8_t* p = &rgb[y * RgbStride(w) + 3 * x];
        p[0] = c & 255, p[1] = (c >> 8) & 255, p[2] = (c >> 16) & 255;
      }
  }
  uint32_t At(uint32_t x, uint32_t y) const {
    const uint8_t* p = &rgb[y * RgbStride(w) + 3 * x];
    return p[2] << 16 | p[1] << 8 | p[0];
  }
  HqPicture Picture() const {
    HqPicture p;
    p.source.width = w, p.source.height = h, p.source.rgbRows = rgb.data();
    p.source.rgbStride = RgbStride(w);
    return p;
  }
};

// Smooth gradients with grain: many colours, as a photograph has.
uint32_t Photo(uint32_t seed, uint32_t x, uint32_t y) {
  std::mt19937 noise(seed * 100003 + y * 1009 + x);
  auto channel = [&](uint32_t k) {
    int v = static_cast<int>((x * (3 + seed + k) + y * (5 + 2 * k)) % 256) + int(noise() % 9) - 4;
    return static_cast<uint32_t>(std::clamp(v, 0, 255));
  };
  return channel(0) << 16 | channel(1) << 8 | channel(2);
}

HqResult Quantized(const std::vector<HqPicture>& pictures, int colours, int dither, bool slot) {
  HqResult r;
  EXPECT_TRUE(QuantizePictures(pictures, {colours, dither, 4}, slot, nullptr, &r));
  return r;
}

uint32_t Shown(const HqResult& r, const Drawn& d, size_t k, uint32_t x, uint32_t y) {
  const PaletteEntry& e = r.palette->entries.at(r.images[k][y * IndexStride(d.w) + x]);
  return e.red << 16 | e.green << 8 | e.blue;
}

// Summed squared error of the mapping: what more colours must never make worse.
double Error(const HqResult& r, const Drawn& d) {
  double sum = 0;
  for (uint32_t y = 0; y < d.h; ++y)
    for (uint32_t x = 0; x < d.w; ++x) {
      uint32_t a = d.At(x, y), b = Shown(r, d, 0, x, y);
      sum += Distance2(PointOf(a >> 16, (a >> 8) & 255, a & 255),
                       PointOf(b >> 16, (b >> 8) & 255, b & 255));
    }
  return sum;
}

// Over random pictures: never more colours than asked, none on the reserved slot; pictures with
// few colours come out exact even dithered; more colours never give a larger error.
TEST(HighQualityColours, SizeExactnessAndErrorOverRandomPictures) {
  for (uint32_t seed = 0; seed < 4; ++seed) {
    SCOPED_TRACE(seed);
    const Drawn photo(40, 24, [seed](uint32_t x, uint32_t y) { return Photo(seed, x, y); });
    for (int n : {2, 16, 256}) {
      for (bool slot : {false, true}) {
        HqResult r = Quantized({photo.Picture()}, n, seed % 2 ? 70 : 0, slot);
        ASSERT_LE(r.palette->Count(), n);
        for (uint8_t index : r.images[0]) ASSERT_TRUE(!slot || index != r.palette->Count() - 1);
      }
    }
    std::mt19937 random(seed);
    std::vector<uint32_t> colours(1 + random() % 60);
    for (uint32_t& c : colours) c = random() & 0xFFFFFF;
    const Drawn few(
        40, 24, [&](uint32_t x, uint32_t y) { return colours[(x * 7 + y * y) % colours.size()]; });
    HqResult exact = Quantized({few.Picture()}, static_cast<int>(colours.size()) + 1, 100, true);
    for (uint32_t y = 0; y < few.h; ++y)
      for (uint32_t x = 0; x < few.w; ++x) ASSERT_EQ(Shown(exact, few, 0, x, y), few.At(x, y));
    double previous = std::numeric_limits<double>::max();
    for (int n : {3, 4, 8, 9, 40, 41, 256}) {
      double e = Error(Quantized({photo.Picture()}, n, 0, false), photo);
      EXPECT_LE(e, previous * 1.000001) << n << " colours";
      previous = e;
    }
  }
}

// A screen: a page and a gutter of one colour each, text in a few colours whose edges are
// smoothed into the page (some hundreds of colours in all, each edge shade close to the next).
// The palette of the top level, and of the default one, must do at least as well as the plain
// popularity palette (the 256 most common colours, each pixel on its nearest): cut from six-bit
// cells, it gave the page and the shades near it one mean that none of them has, and every pixel
// of the page showed it; cut to the default level's 181 colours, every shade left out showed.
TEST(HighQualityColours, ScreenColoursKeepThePopularOnesExactly) {
  std::mt19937 random(11);
  const uint32_t inks[] = {0xcfd3dc, 0x6b7080, 0xf0c040, 0x8fbcbb, 0xd08770};
  const uint32_t page = 0x1e1f24, gutter = 0x26282f;
  const auto blend = [](uint32_t a, uint32_t b, uint32_t k) {  // k/32 of b over a
    uint32_t out = 0;
    for (int s = 0; s < 24; s += 8)
      out |= (((a >> s & 255) * (32 - k) + (b >> s & 255) * k + 16) / 32) << s;
    return out;
  };
  std::vector<uint32_t> marks(160 * 90);
  for (uint32_t& m : marks) m = random() % 5 ? 0 : 1 + random() % 31;
  const Drawn screen(160, 90, [&](uint32_t x, uint32_t y) {
    const uint32_t ground = x < 20 ? gutter : page;
    const uint32_t k = marks[y * 160 + x];
    return k == 0 ? ground : blend(ground, inks[(x / 9 + y / 13) % 5], k);
  });
  std::map<uint32_t, uint64_t> seen;
  for (uint32_t y = 0; y < screen.h; ++y)
    for (uint32_t x = 0; x < screen.w; ++x) ++seen[screen.At(x, y)];
  ASSERT_GT(seen.size(), 256u);
  std::vector<std::pair<uint64_t, uint32_t>> popular;
  for (auto [c, n] : seen) popular.push_back({n, c});
  std::sort(popular.rbegin(), popular.rend());
  popular.resize(256);
  double reference = 0;
  for (auto [c, n] : seen) {
    float best = std::numeric_limits<float>::max();
    for (auto [m, p] : popular)
      best = std::min(best, Distance2(PointOf(c >> 16, c >> 8 & 255, c & 255),
                                      PointOf(p >> 16, p >> 8 & 255, p & 255)));
    reference += best * static_cast<double>(n);
  }
  for (int level : {MaxQuality, DefaultQuality}) {
    SCOPED_TRACE(level);
    HqResult r;
    ASSERT_TRUE(QuantizePictures({screen.Picture()}, QualityFor(level), false, nullptr, &r));
    EXPECT_LE(Error(r, screen), reference);
    for (uint32_t y = 0; y < screen.h; ++y) {
      for (uint32_t x = 0; x < screen.w; ++x) {
        if (screen.At(x, y) == page || screen.At(x, y) == gutter) {
          ASSERT_EQ(Shown(r, screen, 0, x, y), screen.At(x, y));
        }
      }
    }
  }
}

// A still area keeps its indexes frame after frame however much the diffused error of the
// moving band above and left of it changes. Large enough for the worker threads to share it.
TEST(HighQualityColours, StillAreasDoNotShimmer) {
  std::vector<Drawn> frames;
  for (uint32_t f = 0; f < 8; ++f) {
    frames.emplace_back(256, 128, [f](uint32_t x, uint32_t y) {
      return x >= 64 && y >= 32 ? Photo(99, x, y) : Photo(f, x + f * 13, y);
    });
  }
  std::vector<HqPicture> pictures;
  for (const Drawn& d : frames) pictures.push_back(d.Picture());
  HqResult r = Quantized(pictures, 24, 100, false);
  int moved = 0;
  for (size_t k = 1; k < frames.size(); ++k)
    for (uint32_t y = 32; y < 128; ++y)
      for (uint32_t x = 64; x < 256; ++x)
        moved += r.images[k][y * IndexStride(256) + x] != r.images[0][y * IndexStride(256) + x];
  EXPECT_EQ(moved, 0);
}

// Colours drifting each frame, all in the palette: with a tolerance every pixel shows a colour
// within it of its own source (kept ones do not drift), and some keep the previous frame's.
TEST(HighQualityColours, ToleranceBoundsEveryPixelOverDriftingClips) {
  for (uint32_t seed = 0; seed < 3; ++seed) {
    std::mt19937 random(seed);
    std::vector<uint32_t> ramp{static_cast<uint32_t>(random() & 0xFFFFFF)};
    while (ramp.size() < 200) ramp.push_back((ramp.back() + (random() & 0x030303)) & 0xFFFFFF);
    std::vector<Drawn> frames;
    for (uint32_t f = 0; f < 8; ++f)
      frames.emplace_back(256, 128,
                          [&](uint32_t x, uint32_t y) { return ramp[(x + y + f) % 200]; });
    std::vector<HqPicture> pictures;
    for (const Drawn& d : frames) pictures.push_back(d.Picture());
    const int tolerance = 6 + static_cast<int>(seed) * 5;
    HqResult r;
    ASSERT_TRUE(QuantizePictures(pictures, {256, 0, 4, tolerance}, false, nullptr, &r));
    int kept = 0;
    auto point = [](uint32_t c) { return PointOf(c >> 16, c >> 8 & 255, c & 255); };
    for (size_t k = 0; k < frames.size(); ++k)
      for (uint32_t y = 0; y < 128; ++y)
        for (uint32_t x = 0; x < 256; ++x) {
          const uint32_t a = frames[k].At(x, y), b = Shown(r, frames[k], k, x, y);
          kept += a != b;
          ASSERT_LE(Distance2(point(a), point(b)), tolerance * tolerance);
        }
    EXPECT_GT(kept, 0);
  }
}

// Undithered, every opaque pixel takes an entry as near as any (clear ones the slot), however
// the frames share rows with the one before: same colours, same colours but another alpha, or
// the one frame without an alpha plane; and shared rows count as often as they are shown.
TEST(HighQualityColours, UnditheredPixelsTakeANearestEntryWhateverTheRowsShare) {
  constexpr uint32_t W = 256, H = 128;
  std::mt19937 random(7);
  std::vector<std::vector<uint8_t>> rgb(8), alpha(8);
  std::vector<HqPicture> pictures(8);
  for (uint32_t k = 0; k < 8; ++k) {
    rgb[k].resize(RgbStride(W) * H);
    alpha[k].assign(IndexStride(W) * H, 255);
    for (uint32_t y = 0; y < H; ++y) {
      uint8_t* row = &rgb[k][y * RgbStride(W)];
      if (k > 0 && (y + k) % 3 == 0) {
        std::copy_n(&rgb[k - 1][y * RgbStride(W)], 3 * W, row);
        std::copy_n(&alpha[k - 1][y * IndexStride(W)], W, &alpha[k][y * IndexStride(W)]);
        if (k % 2) alpha[k][y * IndexStride(W) + y] ^= 255;
      } else {
        for (uint32_t i = 0; i < 3 * W; ++i) row[i] = static_cast<uint8_t>(random());
        if (y % 5 == 0) alpha[k][y * IndexStride(W) + random() % W] = 0;
      }
    }
    pictures[k].source = {.width = W,
                          .height = H,
                          .rgbRows = rgb[k].data(),
                          .rgbStride = RgbStride(W),
                          .alphaRows = alpha[k].data(),
                          .alphaStride = IndexStride(W)};
  }
  pictures[5].source.alphaRows = nullptr;
  HqResult r = Quantized(pictures, 64, 0, true);
  const auto& entries = r.palette->entries;
  const int slot = static_cast<int>(entries.size()) - 1;
  auto distance = [&](const uint8_t* p, int i) {
    return Distance2(PointOf(p[2], p[1], p[0]),
                     PointOf(entries[i].red, entries[i].green, entries[i].blue));
  };
  for (uint32_t k = 0; k < 8; ++k)
    for (uint32_t y = 0; y < H; ++y)
      for (uint32_t x = 0; x < W; ++x) {
        const uint8_t* p = &rgb[k][y * RgbStride(W) + 3 * x];
        const int chosen = r.images[k][y * IndexStride(W) + x];
        if (pictures[k].source.alphaRows && alpha[k][y * IndexStride(W) + x] == 0) {
          ASSERT_EQ(chosen, slot) << k << " " << x << "," << y;
          continue;
        }
        float best = std::numeric_limits<float>::max();
        for (int i = 0; i < slot; ++i) best = std::min(best, distance(p, i));
        ASSERT_EQ(distance(p, chosen), best) << k << " " << x << "," << y;
      }
  // Moved apart, no frame shares a row with another: the same palette and images all the same.
  for (uint32_t k = 0; k < 8; ++k) pictures[k].left = static_cast<int32_t>(k);
  HqResult apart = Quantized(pictures, 64, 0, true);
  EXPECT_EQ(apart.palette->entries, entries);
  EXPECT_EQ(apart.images, r.images);
}

// The import's choice: frames of 24-bit data and frames with local palettes end on one global
// palette, exactly when their colours fit.
TEST(HighQualityColours, FittingGivesOneExactPalette) {
  AnimationPtr a = NewAnimation();
  Frame* rgb = TrueColourFrame(3, 1, {0x102030, 0xFFFFFF, 0x405060});
  Append(*a, rgb);
  Frame* local = PaintedFrame(2, 1, nullptr, [](uint32_t x, uint32_t) { return x; });
  SetLocalPalette(local, GreyPalette(4));
  Append(*a, local);
  ASSERT_EQ(FitPalettes(nullptr, a.get(), HighQualityMergeWord(90), {}, nullptr, nullptr), 1);
  EXPECT_EQ(
      std::make_tuple(ShownColour(*rgb, 0, 0), ShownColour(*rgb, 2, 0), ShownColour(*local, 1, 0)),
      std::make_tuple(0x102030, 0x405060, int64_t{GreyPalette(4)->entries[1].red * 0x010101}));
  EXPECT_EQ(std::make_tuple(local->localPalette.get(), local->palette, rgb->palette),
            std::make_tuple(nullptr, a->globalPalette.get(), a->globalPalette.get()));
}

}  // namespace
}  // namespace lw
