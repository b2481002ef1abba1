// ImageMagick writes small random pictures as BMP (core, info, V4 and V5 headers, every depth,
// RLE8, bit fields with and without alpha) and as PNG (every colour type and depth, with and
// without transparent colours); the readers must see the pixels ImageMagick itself decodes from
// the same file. Skipped where convert is missing.
//
// Deliberate differences, checked as such rather than hidden behind a tolerance:
// - Palette and grey images get an 8-bit image with one transparent index: a pixel is
//   transparent exactly when ImageMagick's alpha is under half (IsClearAlpha), and otherwise
//   has the palette's colour at full opacity.
// - 16-bit BMP pixels: channels of 1 to 6 bits (colour and alpha) are expanded by the program's
//   own tables, ImageMagick's differ, so the stored value (the top bits of each side's 8-bit
//   value) is compared.
// - 16-bit PNG samples keep their high byte: ImageMagick decodes to 16 bits and its high byte is
//   compared.
// - Alpha bits that are all zero make an opaque picture (writers that do not fill them, as
//   convert's own ARGB 1-5-5-5 does), where ImageMagick reads it fully transparent.
// - The colour of a fully transparent pixel is whatever the file holds and is not compared.
#include <gmock/gmock.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstdlib>
#include <deque>
#include <random>

#include "core/alpha_rule.h"
#include "flow_fixture.h"
#include "formats/bmp/bmp_format.h"
#include "formats/png/png_format.h"
#include "support/tools.h"

namespace lw::test {
namespace {

using Bytes = std::vector<uint8_t>;

bool HasConvert() { return HasTool("convert"); }

uint32_t Le32(const std::string& s, size_t at) {
  return static_cast<uint8_t>(s[at]) | static_cast<uint8_t>(s[at + 1]) << 8 |
         static_cast<uint8_t>(s[at + 2]) << 16 | uint32_t{static_cast<uint8_t>(s[at + 3])} << 24;
}

// What the source picture holds; every kind is drawn from a seeded generator.
enum class Source {
  Rgba,         // any 16-bit colour, any alpha
  Opaque,       // any 16-bit colour
  Two,          // two opaque 8-bit colours
  Sixteen,      // sixteen
  Ten,          // ten (convert keeps a 4-bit palette for them, not always for sixteen)
  Many,         // two hundred
  BinaryAlpha,  // opaque colours and clear pixels of one colour
  Grey,         // opaque greys on the levels of a grey depth (any 16-bit grey for 16)
  KeyedGrey,    // the same, and clear pixels of one grey of those levels that no other takes
  SoftPalette,  // six colours with alphas from 0 to 255 around one half
};

struct Variant {
  const char* name;
  Source source;
  std::string options;  // between the source and the output of convert
  std::string output;   // convert's output prefix and extension
  // The layout convert must have written: BMP header size, bits, compression; PNG colour type,
  // depth and whether a tRNS chunk is present.
  uint32_t kind, depth, extra;
  int greyDepth = 8;                // the levels of grey sources
  bool toV4 = false;                // the V5 file cut down to a V4 header
  int fieldBits[4] = {8, 8, 8, 8};  // red, green, blue, alpha of 16-bit BMP pixels
};

// Few colours make convert keep a palette.
std::string Colours(Source source) {
  switch (source) {
    case Source::Two: return "-colors 2 ";
    case Source::Sixteen: return "-colors 16 ";
    case Source::Ten: return "-colors 10 ";
    case Source::Many: return "-colors 200 ";
    default: return "";
  }
}

// 16-bit big-endian RGBA samples, width x height.
Bytes MakeSource(const Variant& v, uint32_t width, uint32_t height, unsigned seed) {
  std::mt19937 random(seed);
  auto any = [&](uint32_t n) { return static_cast<uint32_t>(random() % n); };
  std::vector<uint32_t> colours;
  for (int i = 0; i < 200; ++i) colours.push_back(any(1u << 24));
  Bytes out;
  auto put = [&](uint32_t r, uint32_t g, uint32_t b, uint32_t a) {
    for (uint32_t s : {r, g, b, a}) out.insert(out.end(), {uint8_t(s >> 8), uint8_t(s)});
  };
  auto put8 = [&](uint32_t rgb, uint32_t alpha) {
    put((rgb >> 16) * 257, (rgb >> 8 & 255) * 257, (rgb & 255) * 257, alpha * 257);
  };
  const uint32_t levels = v.greyDepth >= 8 ? 256 : 1u << v.greyDepth;
  const uint32_t key = v.source == Source::KeyedGrey ? any(levels) : levels;
  const uint32_t softAlpha[6] = {0, 40, 127, 128, 200, 255};
  for (uint32_t i = 0; i < width * height; ++i) {
    switch (v.source) {
      case Source::Rgba: put(any(65536), any(65536), any(65536), any(65536)); break;
      case Source::Opaque: put(any(65536), any(65536), any(65536), 65535); break;
      case Source::Two: put8(colours[any(2)], 255); break;
      case Source::Sixteen: put8(colours[any(16)], 255); break;
      case Source::Ten: put8(colours[any(10)], 255); break;
      case Source::Many: put8(colours[any(200)], 255); break;
      case Source::BinaryAlpha:
        if (any(10) < 3)
          put8(0x010203, 0);
        else
          put8(colours[any(200)], 255);
        break;
      case Source::SoftPalette: {
        uint32_t k = any(6);
        put8(colours[k], softAlpha[k]);
        break;
      }
      case Source::Grey:
      case Source::KeyedGrey: {
        if (v.greyDepth == 16 && v.source == Source::Grey) {
          uint32_t grey = any(65536);
          put(grey, grey, grey, 65535);
          break;
        }
        uint32_t level = any(levels);
        bool clear = v.source == Source::KeyedGrey && any(4) == 0;
        if (level == key && !clear) level = (level + 1) % levels;
        if (clear) level = key;
        uint32_t grey = level * 65535 / (levels - 1);
        put(grey, grey, grey, clear ? 0 : 65535);
        break;
      }
    }
  }
  return out;
}

// The V5 file with its header cut to V4: the 16 bytes of colour profile fields go.
std::string ToV4(const std::string& v5) {
  std::string v4 = v5.substr(0, 14 + 108) + v5.substr(14 + 124);
  for (int i = 0; i < 4; ++i) {
    v4[2 + i] = static_cast<char>(v4.size() >> (8 * i));
    v4[10 + i] = static_cast<char>((Le32(v5, 10) - 16) >> (8 * i));
    v4[14 + i] = static_cast<char>(108 >> (8 * i));
  }
  return v4;
}

struct Rgba {
  uint8_t r, g, b, a;
};

std::vector<Rgba> OurPixels(const Frame& f) {
  std::vector<Rgba> out;
  for (uint32_t y = 0; y < f.height; ++y) {
    for (uint32_t x = 0; x < f.width; ++x) {
      if (!f.rgbPlane.empty()) {
        const uint8_t* p = &f.rgbPlane[y * RgbStride(f.width) + 3 * x];
        uint8_t a = f.alphaPlane.empty() ? 255 : f.alphaPlane[y * IndexStride(f.width) + x];
        out.push_back({p[2], p[1], p[0], a});
        continue;
      }
      uint8_t index = Pixel(&f, x, y);
      const PaletteEntry& e = f.palette->entries.at(index);
      out.push_back({e.red, e.green, e.blue,
                     uint8_t(f.Transparent() && index == f.transparentIndex ? 0 : 255)});
    }
  }
  return out;
}

// ImageMagick's own decoding: the high byte of each 16-bit sample.
std::vector<Rgba> TheirPixels(const std::string& path) {
  std::string raw = Output("convert '" + path + "' -depth 16 -endian MSB rgba:-");
  std::vector<Rgba> out;
  for (size_t i = 0; i + 8 <= raw.size(); i += 8)
    out.push_back({uint8_t(raw[i]), uint8_t(raw[i + 2]), uint8_t(raw[i + 4]), uint8_t(raw[i + 6])});
  return out;
}

// A 16-bit V5 file with bit fields of the given widths.
Variant Fields(const char* name, Source source, const char* options, std::array<int, 4> bits) {
  Variant v{name, source, options, "BMP:%s.bmp", 124, 16, 3};
  std::copy(bits.begin(), bits.end(), v.fieldBits);
  return v;
}

std::vector<Variant> Variants() {
  const std::string none = "-alpha off -compress none";
  std::vector<Variant> v = {
      // Core headers.
      {"BMP2 1-bit", Source::Two, none, "BMP2:%s.bmp", 12, 1, 0},
      {"BMP2 4-bit", Source::Sixteen, none, "BMP2:%s.bmp", 12, 4, 0},
      {"BMP2 8-bit", Source::Many, none, "BMP2:%s.bmp", 12, 8, 0},
      {"BMP2 24-bit", Source::Opaque, none, "BMP2:%s.bmp", 12, 24, 0},
      // 40-byte headers.
      {"BMP3 1-bit", Source::Two, none, "BMP3:%s.bmp", 40, 1, 0},
      {"BMP3 4-bit", Source::Sixteen, none, "BMP3:%s.bmp", 40, 4, 0},
      {"BMP3 8-bit", Source::Many, none, "BMP3:%s.bmp", 40, 8, 0},
      {"BMP3 RLE8", Source::Many, "-alpha off -compress RLE", "BMP3:%s.bmp", 40, 8, 1},
      {"BMP3 RLE8 of 16 colours", Source::Sixteen, "-alpha off -compress RLE", "BMP3:%s.bmp", 40, 8,
       1},
      {"BMP3 24-bit", Source::Opaque, none, "BMP3:%s.bmp", 40, 24, 0},
      {"BMP3 32-bit", Source::Rgba, "-define bmp3:alpha=true", "BMP3:%s.bmp", 40, 32, 0},
      // No 16-bit 40-byte headers: convert announces bit fields there but writes no masks.
  };
  // V5 headers, and the same files as V4.
  const Variant v5[] = {
      {"1-bit", Source::Two, none, "BMP:%s.bmp", 124, 1, 0},
      {"4-bit", Source::Sixteen, none, "BMP:%s.bmp", 124, 4, 0},
      {"8-bit", Source::Many, none, "BMP:%s.bmp", 124, 8, 0},
      {"RLE8", Source::Many, "-alpha off -compress RLE", "BMP:%s.bmp", 124, 8, 1},
      {"24-bit", Source::Opaque, none, "BMP:%s.bmp", 124, 24, 0},
      {"32-bit", Source::Rgba, "", "BMP:%s.bmp", 124, 32, 3},
      Fields("5-6-5", Source::Opaque, "-alpha off -define bmp:subtype=RGB565", {5, 6, 5, 8}),
      Fields("5-5-5", Source::Opaque, "-alpha off -define bmp:subtype=RGB555", {5, 5, 5, 8}),
      Fields("ARGB 4-4-4-4", Source::Rgba, "-define bmp:subtype=ARGB4444", {4, 4, 4, 4}),
      Fields("ARGB 1-5-5-5", Source::Rgba, "-define bmp:subtype=ARGB1555", {5, 5, 5, 1}),
  };
  static std::deque<std::string> names;  // the variants point at them
  for (bool four : {false, true}) {
    for (Variant x : v5) {
      names.push_back(std::string(four ? "BMP4 " : "BMP5 ") + x.name);
      x.name = names.back().c_str();
      x.toV4 = four;
      if (four) x.kind = 108;
      v.push_back(x);
    }
  }
  const std::string palette = "-define png:color-type=3 -define png:bit-depth=";
  const std::string grey = "-define png:color-type=0 -define png:bit-depth=";
  const Variant png[] = {
      {"PNG8", Source::Rgba, "", "PNG8:%s.png", 3, 8, 1},
      // No 1-bit palette: convert writes 2 bits at the least.
      {"palette 2-bit", Source::Two, palette + "2", "PNG:%s.png", 3, 2, 0},
      {"palette 4-bit", Source::Ten, palette + "4", "PNG:%s.png", 3, 4, 0},
      {"palette 8-bit", Source::Many, palette + "8", "PNG:%s.png", 3, 8, 0},
      {"palette with soft alphas", Source::SoftPalette, "", "PNG:%s.png", 3, 4, 1},
      {"PNG24", Source::Opaque, "", "PNG24:%s.png", 2, 8, 0},
      {"PNG24 with a transparent colour", Source::BinaryAlpha, "", "PNG24:%s.png", 2, 8, 1},
      {"PNG32", Source::Rgba, "", "PNG32:%s.png", 6, 8, 0},
      {"PNG48", Source::Opaque, "", "PNG48:%s.png", 2, 16, 0},
      {"PNG48 with a transparent colour", Source::BinaryAlpha, "", "PNG48:%s.png", 2, 16, 1},
      {"PNG64", Source::Rgba, "", "PNG64:%s.png", 6, 16, 0},
      {"grey and alpha 8-bit", Source::Rgba, "-colorspace gray -depth 8 -define png:color-type=4",
       "PNG:%s.png", 4, 8, 0},
      {"grey and alpha 16-bit", Source::Rgba,
       "-colorspace gray -define png:color-type=4 -define png:bit-depth=16", "PNG:%s.png", 4, 16,
       0},
  };
  v.insert(v.end(), std::begin(png), std::end(png));
  for (int depth : {1, 2, 4, 8, 16}) {
    for (bool keyed : {false, true}) {
      if (keyed && depth < 8) continue;  // convert writes no transparent grey below 8 bits
      names.push_back("grey " + std::to_string(depth) + "-bit" +
                      (keyed ? " with a transparent grey" : ""));
      Variant g{names.back().c_str(),
                keyed ? Source::KeyedGrey : Source::Grey,
                grey + std::to_string(depth),
                "PNG:%s.png",
                0,
                uint32_t(depth),
                keyed ? 1u : 0u};
      g.greyDepth = depth;
      v.push_back(g);
    }
  }
  return v;
}

// The layout convert wrote, in the variant's terms.
std::vector<uint32_t> Layout(const std::string& file, bool bmp) {
  if (file.size() < 34) return {};
  if (bmp) {
    uint32_t header = Le32(file, 14);
    if (header == 12) return {12, uint32_t(uint8_t(file[24]) | uint8_t(file[25]) << 8), 0};
    return {header, uint32_t(uint8_t(file[28]) | uint8_t(file[29]) << 8), Le32(file, 30)};
  }
  bool trns = file.find("tRNS") != std::string::npos;
  return {uint8_t(file[25]), uint8_t(file[24]), trns ? 1u : 0u};
}

class StillToolsTest : public FlowTest {};

TEST_F(StillToolsTest, ReadersSeeWhatImageMagickDecodes) {
  if (!HasConvert()) GTEST_SKIP() << "ImageMagick is not installed";
  const uint32_t sizes[][2] = {{7, 5}};  // odd: every depth pads its rows
  unsigned seed = 1;
  for (const Variant& v : Variants()) {
    for (const auto& size : sizes) {
      const uint32_t w = size[0], h = size[1];
      SCOPED_TRACE(testing::Message() << v.name << ", " << w << " x " << h);
      Headless().Reset();
      std::string source = Path("source.rgba");
      Bytes pixels = MakeSource(v, w, h, seed++);
      Put(source, std::string(pixels.begin(), pixels.end()));
      const bool bmp = v.output.find(".bmp") != std::string::npos;
      std::string path = Path(bmp ? "made.bmp" : "made.png");
      std::string target = v.output.substr(0, v.output.find(':') + 1) + path;
      // Sources of 8-bit colours, and every BMP, are made 8-bit first: convert would otherwise
      // keep 16 bits and write true colour.
      const bool deep =
          !bmp && (v.depth == 16 || v.source == Source::Rgba || v.source == Source::Opaque);
      std::string command = "convert -size " + std::to_string(w) + "x" + std::to_string(h) +
                            " -depth 16 -endian MSB 'rgba:" + source + "' " +
                            (deep ? "" : "-depth 8 ") + Colours(v.source) + v.options + " '" +
                            target + "' 2>/dev/null";
      ASSERT_EQ(std::system(command.c_str()), 0) << command;
      if (v.toV4) Put(path, ToV4(Contents(path)));
      ASSERT_EQ(Layout(Contents(path), bmp), (std::vector<uint32_t>{v.kind, v.depth, v.extra}))
          << "convert wrote another layout: " << command;

      AnimationPtr a;
      ASSERT_EQ(bmp ? ReadBmp(path, &a) : ReadPng(path, &a), 1);
      EXPECT_THAT(ShownTexts(), ::testing::ElementsAre());
      const Frame& f = *FirstFrame(*a);
      ASSERT_EQ(f.width, w);
      ASSERT_EQ(f.height, h);
      const bool indexed = f.rgbPlane.empty();
      std::vector<Rgba> ours = OurPixels(f), theirs = TheirPixels(path);
      ASSERT_EQ(ours.size(), theirs.size());
      bool unusedAlpha = !indexed && f.alphaPlane.empty();
      for (const Rgba& t : theirs) unusedAlpha = unusedAlpha && t.a == 0;
      if (unusedAlpha) {
        for (Rgba& t : theirs) t.a = 255;
      }
      for (size_t i = 0; i < ours.size(); ++i) {
        SCOPED_TRACE(testing::Message() << "pixel " << i % w << ", " << i / w);
        const Rgba& o = ours[i];
        const Rgba& t = theirs[i];
        const uint8_t mine[4] = {o.r, o.g, o.b, o.a}, image[4] = {t.r, t.g, t.b, t.a};
        auto same = [&](int c) {
          const int shift = 8 - v.fieldBits[c];
          return (mine[c] >> shift) == (image[c] >> shift);
        };
        if (indexed)
          ASSERT_EQ(o.a == 0, IsClearAlpha(t.a)) << "alpha " << int(t.a);
        else
          ASSERT_TRUE(same(3)) << "alpha " << int(o.a) << " and " << int(t.a);
        if (o.a == 0) continue;
        for (int c = 0; c < 3; ++c)
          ASSERT_TRUE(same(c)) << "channel " << c << ": " << int(mine[c]) << " and "
                               << int(image[c]);
      }
    }
  }
}

}  // namespace
}  // namespace lw::test
