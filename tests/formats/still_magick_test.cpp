// Still pictures against ImageMagick: small random pictures in every depth and colour type it
// writes for each format we read must show what its own decoding shows, and what our writers
// write it must decode as written. Skipped where convert is missing. Deliberate differences:
// - palette and grey pictures keep one transparent index: transparent where its alpha is under
//   half; 16-bit BMP channels of 1 to 6 bits compare their stored top bits only;
// - 16-bit samples: PNG keeps the high byte, PSD rounds, and theirs are brought to 8 bits so;
// - all-zero alpha bits (convert's ARGB 1-5-5-5) make an opaque picture, not a clear one;
// - JPEG decoders may differ by 2 a channel; clear pixels' colours are not compared.
#include <gmock/gmock.h>

#include <algorithm>
#include <array>
#include <cstdlib>
#include <random>
#include <sstream>

#include "core/alpha_rule.h"
#include "core/compose.h"
#include "flow_fixture.h"
#include "formats/bmp/bmp_format.h"
#include "formats/common/jpeg_codec.h"
#include "formats/common/png_codec.h"
#include "formats/ico/ico_format.h"
#include "formats/open_flow.h"
#include "formats/psd/psd_format.h"
#include "support/bytes.h"
#include "support/tools.h"

namespace lw::test {
namespace {

using Rgba = std::array<int, 4>;  // red, green, blue, alpha

struct Picture {
  int width = 0, height = 0;
  std::vector<Rgba> pixels;
};

// What a frame shows, row by row: its planes when it has them, else its palette and index.
Picture Shown(const Frame& f) {
  Picture p{static_cast<int>(f.width), static_cast<int>(f.height), {}};
  for (uint32_t y = 0; y < f.height; ++y)
    for (uint32_t x = 0; x < f.width; ++x) {
      if (!f.rgbPlane.empty()) {
        const uint8_t* c = &f.rgbPlane[y * RgbStride(f.width) + 3 * x];
        // Without an alpha plane, the transparent index leaves pixels out as in any frame.
        const bool left = f.Transparent() && Pixel(&f, x, y) == f.transparentIndex;
        int a = !f.alphaPlane.empty() ? f.alphaPlane[y * IndexStride(f.width) + x] : left ? 0 : 255;
        p.pixels.push_back({c[2], c[1], c[0], a});
        continue;
      }
      uint8_t index = Pixel(&f, x, y);
      const PaletteEntry& e = f.palette->entries.at(index);
      p.pixels.push_back(
          {e.red, e.green, e.blue, f.Transparent() && index == f.transparentIndex ? 0 : 255});
    }
  return p;
}

// ImageMagick's own decoding, taken at 16 bits and brought to 8 (the high byte, or rounded). PAM,
// since its raw rgba output mixes up the transparency of some grey pictures.
Picture Decoded(const std::string& image, bool rounded, const std::string& options = "") {
  const std::string bytes = Output("convert -define psd:alpha-unblend=false " + Quoted(image) +
                                   options + " -depth 16 pam:- 2>/dev/null");
  Picture p;
  const size_t end = bytes.find("ENDHDR\n");
  if (end == std::string::npos) return p;
  std::istringstream header(bytes.substr(0, end));
  int channels = 0;
  for (std::string word; header >> word;) {
    if (word == "WIDTH") header >> p.width;
    if (word == "HEIGHT") header >> p.height;
    if (word == "DEPTH") header >> channels;
  }
  const size_t start = end + 7;
  if (channels < 1 || channels > 4 || bytes.size() - start != 2u * channels * p.width * p.height)
    return {};
  for (size_t i = start; i < bytes.size(); i += 2 * channels) {
    auto sample = [&](int c) {
      const int v =
          static_cast<uint8_t>(bytes[i + 2 * c]) << 8 | static_cast<uint8_t>(bytes[i + 2 * c + 1]);
      return rounded ? (v + 128) / 257 : v >> 8;
    };
    const int a = channels % 2 == 0 ? sample(channels - 1) : 255;
    p.pixels.push_back(channels <= 2 ? Rgba{sample(0), sample(0), sample(0), a}
                                     : Rgba{sample(0), sample(1), sample(2), a});
  }
  return p;
}

// How ours must match theirs.
struct Rule {
  bool indexed = false;        // ours transparent exactly where theirs is under half
  int bits[4] = {8, 8, 8, 8};  // stored bits of red, green, blue, alpha
  int tolerance = 0;
  bool opaque = false;  // ours is written without transparency: their alpha is 255 everywhere
};

::testing::AssertionResult Same(const Picture& ours, Picture theirs, const Rule& rule) {
  if (ours.width != theirs.width || ours.height != theirs.height)
    return ::testing::AssertionFailure() << "size " << ours.width << "x" << ours.height << " vs "
                                         << theirs.width << "x" << theirs.height;
  bool unusedAlpha = !rule.indexed;
  for (const Rgba& t : theirs.pixels) unusedAlpha = unusedAlpha && t[3] == 0;
  for (size_t i = 0; i < ours.pixels.size(); ++i) {
    Rgba o = ours.pixels[i], t = theirs.pixels[i];
    if (rule.opaque) o[3] = 255;
    if (unusedAlpha) t[3] = 255;
    auto same = [&](int c) {
      const int shift = 8 - rule.bits[c];
      return std::abs((o[c] >> shift) - (t[c] >> shift)) <= rule.tolerance;
    };
    const bool alphaOk =
        rule.indexed ? (o[3] == 0) == IsClearAlpha(static_cast<uint8_t>(t[3])) : same(3);
    if (!alphaOk || (o[3] != 0 && !(same(0) && same(1) && same(2))))
      return ::testing::AssertionFailure()
             << "pixel " << i % ours.width << "," << i / ours.width << ": ours "
             << ::testing::PrintToString(o) << ", theirs " << ::testing::PrintToString(t);
  }
  return ::testing::AssertionSuccess();
}

// ---- Reading what ImageMagick writes ----

enum class Format { Bmp, Png, Jpeg, Psd, Ico };

// What the source picture holds; each kind drawn from a seeded generator as 16-bit RGBA.
enum class Source { Rgba, Opaque, Two, Sixteen, Many, BinaryAlpha, Grey, KeyedGrey, SoftPalette };

struct Variant {
  std::string name;
  Format format;
  Source source;
  std::string options, output;   // convert's, between the source and the output; its prefix
  std::vector<uint32_t> layout;  // what convert must have written (see Layout)
  Rule rule;
  int greyDepth = 8;                   // the levels of grey sources
  bool deep = false;                   // the source is not first brought to 8 bits
  bool topDown = false, toV4 = false;  // BMP files rewritten so
  std::string decode;                  // convert's options for its own decoding
  std::string refused;                 // the message of a file our reader refuses
};

std::vector<uint8_t> MakeSource(const Variant& v, int width, int height, std::mt19937& random) {
  auto any = [&](uint32_t n) { return static_cast<uint32_t>(random() % n); };
  std::vector<uint32_t> colours;
  for (int i = 0; i < 200; ++i) colours.push_back(any(1u << 24));
  Bytes out;
  auto put = [&](uint32_t r, uint32_t g, uint32_t b, uint32_t a) {
    out.Be16(r).Be16(g).Be16(b).Be16(a);
  };
  auto put8 = [&](uint32_t rgb, uint32_t a) {
    put((rgb >> 16) * 257, (rgb >> 8 & 255) * 257, (rgb & 255) * 257, a * 257);
  };
  const uint32_t levels = v.greyDepth >= 8 ? 256 : 1u << v.greyDepth;
  const uint32_t key = any(levels);
  const uint32_t softAlpha[6] = {0, 40, 127, 128, 200, 255};
  for (uint32_t i = 0; i < static_cast<uint32_t>(width * height); ++i) {
    switch (v.source) {
      case Source::Rgba: put(any(65536), any(65536), any(65536), any(65536)); break;
      case Source::Opaque: put(any(65536), any(65536), any(65536), 65535); break;
      // Every colour of the few at least once; ten keep a 4-bit palette, twenty an 8-bit one.
      case Source::Two: put8(colours[i < 2 ? i : any(2)], 255); break;
      case Source::Sixteen: put8(colours[i < 10 ? i : any(10)], 255); break;
      case Source::Many: put8(colours[i < 20 ? i : any(200)], 255); break;
      case Source::BinaryAlpha:
        any(10) < 3 ? put8(0x010203, 0) : put8(colours[any(12)], 255);
        break;
      case Source::SoftPalette: put8(colours[i % 6], softAlpha[i % 6]); break;
      case Source::Grey:
      case Source::KeyedGrey: {
        // The key grey is taken by clear pixels only; 16-bit opaque greys take any level.
        const bool clear = v.source == Source::KeyedGrey && any(4) == 0;
        const bool any16 = v.greyDepth == 16 && !clear && v.source == Source::Grey;
        uint32_t level = clear ? key : any(levels);
        if (level == key && !clear) level = (level + 1) % levels;
        const uint32_t grey = any16 ? any(65536) : level * 65535 / (levels - 1);
        put(grey, grey, grey, clear ? 0 : 65535);
        break;
      }
    }
  }
  return out.data();
}

uint32_t Le(const std::string& s, size_t at, int n) {
  uint32_t v = 0;
  for (int i = n - 1; i >= 0; --i) v = v << 8 | static_cast<uint8_t>(s.at(at + i));
  return v;
}
void PutLe32(std::string& s, size_t at, uint32_t v) {
  for (int i = 0; i < 4; ++i) s[at + i] = static_cast<char>(v >> (8 * i));
}

// The layout convert wrote: BMP bits and compression; PNG depth, colour type and whether it has a
// transparency chunk; PSD depth, mode and channels; ICO bits of the first image.
std::vector<uint32_t> Layout(const std::string& f, Format format) {
  auto be16 = [&](size_t at) { return Le(f, at + 1, 1) | Le(f, at, 1) << 8; };
  if (f.size() < 34 || format == Format::Jpeg) return {};
  if (format == Format::Png) return {Le(f, 24, 1), Le(f, 25, 1), f.find("tRNS") != f.npos};
  if (format == Format::Psd) return {be16(22), be16(24), be16(12)};
  if (format == Format::Ico) return {Le(f, Le(f, 18, 4) + 14, 2)};
  return Le(f, 14, 4) == 12 ? std::vector{Le(f, 24, 2), 0u}
                            : std::vector{Le(f, 28, 2), Le(f, 30, 4)};
}

// BMP rewrites: the rows stored top-down (a negative height), or the V5 header cut to V4 (the 16
// bytes of colour profile fields go).
std::string TopDown(std::string file) {
  const uint32_t offset = Le(file, 10, 4), height = Le(file, 22, 4);
  const size_t stride = (Le(file, 18, 4) * Le(file, 28, 2) + 31) / 32 * 4;
  const std::string rows = file.substr(offset, stride * height);
  for (uint32_t y = 0; y < height; ++y)
    file.replace(offset + y * stride, stride, rows.substr((height - 1 - y) * stride, stride));
  PutLe32(file, 22, 0u - height);
  return file;
}
std::string ToV4(const std::string& v5) {
  std::string v4 = v5.substr(0, 14 + 108) + v5.substr(14 + 124);
  PutLe32(v4, 2, static_cast<uint32_t>(v4.size()));
  PutLe32(v4, 10, Le(v5, 10, 4) - 16);
  PutLe32(v4, 14, 108);
  return v4;
}

std::vector<Variant> Variants() {
  std::vector<Variant> v;
  using F = Format;
  using S = Source;
  auto add = [&](std::string name, Format f, Source s, std::string options, std::string output,
                 std::vector<uint32_t> layout, std::array<int, 4> bits = {8, 8, 8, 8}) -> Variant& {
    Variant& x = v.emplace_back();
    x.name = std::move(name), x.format = f, x.source = s, x.options = std::move(options);
    x.output = std::move(output), x.layout = std::move(layout);
    std::copy(bits.begin(), bits.end(), x.rule.bits);
    return x;
  };
  // BMP: core and 40-byte headers, V5 and V4 ones, every depth, RLE8, bit fields.
  const std::string none = "-alpha off -compress none", rle = "-alpha off -compress RLE";
  for (std::string out : {"BMP2:", "BMP3:", "BMP:"}) {
    if (out != "BMP3:") add(out + " 1-bit", F::Bmp, S::Two, none, out, {1, 0});
    if (out != "BMP3:") add(out + " 4-bit", F::Bmp, S::Sixteen, none, out, {4, 0});
    if (out != "BMP:") add(out + " 8-bit", F::Bmp, S::Many, none, out, {8, 0});
    if (out != "BMP:") add(out + " 24-bit", F::Bmp, S::Opaque, none, out, {24, 0});
    if (out != "BMP2:") add(out + " RLE8", F::Bmp, S::Many, rle, out, {8, 1});
  }
  add("BMP3: 32-bit", F::Bmp, S::Rgba, "-define bmp3:alpha=true", "BMP3:", {32, 0});
  add("BMP3: 8-bit top-down", F::Bmp, S::Many, none, "BMP3:", {8, 0}).topDown = true;
  add("BMP3: 24-bit top-down", F::Bmp, S::Opaque, none, "BMP3:", {24, 0}).topDown = true;
  const std::string subtype = "-define bmp:subtype=";
  for (bool four : {false, true}) {
    const std::string header = four ? "BMP4 " : "BMP5 ";
    add(header + "32-bit", F::Bmp, S::Rgba, "", "BMP:", {32, 3}).toV4 = four;
    add(header + "5-6-5", F::Bmp, S::Opaque, "-alpha off " + subtype + "RGB565", "BMP:", {16, 3},
        {5, 6, 5, 8})
        .toV4 = four;
  }
  add("BMP5 5-5-5", F::Bmp, S::Opaque, "-alpha off " + subtype + "RGB555", "BMP:", {16, 3},
      {5, 5, 5, 8});
  add("BMP5 4-4-4-4", F::Bmp, S::Rgba, subtype + "ARGB4444", "BMP:", {16, 3}, {4, 4, 4, 4});
  add("BMP5 1-5-5-5", F::Bmp, S::Rgba, subtype + "ARGB1555", "BMP:", {16, 3}, {5, 5, 5, 1});
  // PNG: every colour type and depth, with and without transparency. No 1-bit palette: convert
  // writes 2 bits at the least; no transparent grey under 8 bits.
  const std::string palette = "-define png:color-type=3 -define png:bit-depth=";
  const std::string greyAlpha = "-colorspace gray -define png:color-type=4";
  add("PNG8", F::Png, S::Rgba, "", "PNG8:", {8, 3, 1});
  add("palette 2-bit", F::Png, S::Two, palette + "2", "PNG:", {2, 3, 0});
  add("palette 4-bit", F::Png, S::Sixteen, palette + "4", "PNG:", {4, 3, 0});
  add("palette 8-bit", F::Png, S::Many, palette + "8", "PNG:", {8, 3, 0});
  add("palette, soft alphas", F::Png, S::SoftPalette, "", "PNG:", {4, 3, 1});
  add("PNG24", F::Png, S::Opaque, "", "PNG24:", {8, 2, 0});
  add("PNG24, a transparent colour", F::Png, S::BinaryAlpha, "", "PNG24:", {8, 2, 1});
  add("PNG32", F::Png, S::Rgba, "", "PNG32:", {8, 6, 0});
  add("PNG48", F::Png, S::Opaque, "", "PNG48:", {16, 2, 0}).deep = true;
  add("PNG48, a transparent colour", F::Png, S::BinaryAlpha, "", "PNG48:", {16, 2, 1}).deep = true;
  add("PNG64", F::Png, S::Rgba, "", "PNG64:", {16, 6, 0}).deep = true;
  add("grey and alpha 8-bit", F::Png, S::Rgba, greyAlpha, "PNG:", {8, 4, 0});
  add("grey and alpha 16-bit", F::Png, S::Rgba, greyAlpha + " -define png:bit-depth=16",
      "PNG:", {16, 4, 0})
      .deep = true;
  for (uint32_t depth : {1, 2, 4, 8, 16, 108, 116}) {  // 100 + depth: with a transparent grey
    const uint32_t bits = depth % 100;
    Variant& g = add("grey " + std::to_string(depth), F::Png, depth > 100 ? S::KeyedGrey : S::Grey,
                     "-define png:color-type=0 -define png:bit-depth=" + std::to_string(bits),
                     "PNG:", {bits, 0, depth > 100});
    g.greyDepth = static_cast<int>(bits);
    g.deep = bits == 16;
  }
  // JPEG: colour of every sampling and progressive, grey, and CMYK (stored inverted, with
  // Adobe's marker, as convert and Photoshop write it), which convert shows made into sRGB.
  for (std::string options :
       {"-sampling-factor 1x1", "-sampling-factor 2x2", "-sampling-factor 2x1 -interlace Plane",
        "-colorspace gray", "-colorspace CMYK", "-colorspace CMYK -interlace Plane"}) {
    Variant& x = add("JPEG " + options, F::Jpeg, S::Opaque, options, "JPEG:", {});
    x.rule.tolerance = 2;
    if (options.find("CMYK") != std::string::npos) x.decode = " -colorspace sRGB";
  }
  // PSD: grey and RGB, with and without transparency, 8 and 16 bits, every compression.
  const char* compression[] = {"RLE", "None", "Zip"};
  for (uint32_t k = 0; k < 8; ++k) {
    const uint32_t depth = k < 4 ? 8 : 16, grey = k / 2 % 2, alpha = k % 2;
    add("PSD " + std::to_string(k), F::Psd, alpha ? S::Rgba : S::Opaque,
        std::string(grey ? "-colorspace gray " : "") + (alpha ? "" : "-alpha off ") + "-compress " +
            compression[k % 3] + " -depth " + std::to_string(depth),
        "PSD:", {depth, grey ? 1u : 3u, (grey ? 1u : 3u) + alpha})
        .deep = depth == 16;
  }
  // ICO: palettes of every depth with their mask, 32 bits with alpha.
  add("ICO 1-bit", F::Ico, S::Two, "", "ICO:", {1});
  add("ICO 4-bit with a mask", F::Ico, S::BinaryAlpha, "-colors 16", "ICO:", {4});
  add("ICO 8-bit", F::Ico, S::Many, "", "ICO:", {8});
  add("ICO 32-bit", F::Ico, S::Rgba, "", "ICO:", {32});
  return v;
}

const char* Extension(Format f) {
  const char* names[] = {"bmp", "png", "jpg", "psd", "ico"};
  return names[static_cast<int>(f)];
}

class StillMagick : public FlowTest {};
class StillMagickReader : public FlowTest, public ::testing::WithParamInterface<Format> {};

TEST_P(StillMagickReader, ShowsWhatImageMagickDecodes) {
  LW_NEED_TOOL("convert");
  std::mt19937 random(27 + static_cast<int>(GetParam()));
  for (const Variant& v : Variants()) {
    if (v.format != GetParam()) continue;
    // Odd widths: every depth pads its rows.
    const int w = 5 + static_cast<int>(random() % 6) * 2, h = 4 + static_cast<int>(random() % 5);
    SCOPED_TRACE(::testing::Message() << v.name << " (" << v.options << "), " << w << " x " << h);
    Headless().Reset();
    const std::string source = Path("source.rgba");
    const std::vector<uint8_t> samples = MakeSource(v, w, h, random);
    Put(source, std::string(samples.begin(), samples.end()));
    const std::string path = Path(std::string("made.") + Extension(v.format));
    const int colours[] = {0, 0, 2, 10, 200, 0, 0, 0, 0};  // few make convert keep a palette
    const int kept = colours[static_cast<int>(v.source)];
    const std::string command = "convert -size " + std::to_string(w) + "x" + std::to_string(h) +
                                " -depth 16 -endian MSB " + Quoted("rgba:" + source) +
                                (v.deep ? "" : " -depth 8") +
                                (kept ? " -colors " + std::to_string(kept) : "") + " " + v.options +
                                " " + Quoted(v.output + path) + " 2>/dev/null";
    ASSERT_EQ(std::system(command.c_str()), 0) << command;
    if (v.topDown) Put(path, TopDown(Contents(path)));
    if (v.toV4) Put(path, ToV4(Contents(path)));
    ASSERT_EQ(Layout(Contents(path), v.format), v.layout) << "convert wrote another layout";

    AnimationPtr a;
    const int read = ReadAnyFile(path, Flows().read, nullptr, &a, nullptr);
    EXPECT_EQ(ShownTexts(),
              v.refused.empty() ? std::vector<std::string>{} : std::vector{v.refused});
    ASSERT_EQ(read == ReadComplete, v.refused.empty());
    if (!v.refused.empty()) continue;
    ASSERT_EQ(a->frameCount, 1);
    const bool psd = v.format == Format::Psd;
    Rule rule = v.rule;
    rule.indexed = FirstFrame(*a)->rgbPlane.empty();
    EXPECT_TRUE(
        Same(Shown(*FirstFrame(*a)), Decoded(psd ? path + "[1]" : path, psd, v.decode), rule));
  }
}

INSTANTIATE_TEST_SUITE_P(Formats, StillMagickReader,
                         ::testing::Values(Format::Bmp, Format::Png, Format::Jpeg, Format::Psd,
                                           Format::Ico),
                         [](const ::testing::TestParamInfo<Format>& info) {
                           return std::string(Extension(info.param));
                         });

// ---- Our writers, read by ImageMagick ----

// A random w x h frame of the given colours (0: any count) with a transparent index; planes 1:
// with 24-bit planes, 2: with alpha too, clear in places.
Frame* RandomFrame(Animation& doc, std::mt19937& random, uint32_t w, uint32_t h, int colours,
                   int planes) {
  if (colours == 0) colours = 2 + static_cast<int>(random() % 255);
  std::vector<uint8_t> rgb;
  for (int i = 0; i < 3 * colours; ++i) rgb.push_back(static_cast<uint8_t>(random()));
  PalettePtr palette = PaletteFromTriples(colours, rgb.data());
  Frame* f =
      PaintedFrame(w, h, palette.get(), [&](uint32_t, uint32_t) { return random() % colours; });
  GiveLocalPalette(f, std::move(palette));
  SetTransparentIndex(f, static_cast<uint8_t>(random() % colours));
  SetTransparency(f, true);
  if (planes) {
    std::vector<uint8_t> colour(RgbStride(w) * h), alphas(IndexStride(w) * h);
    for (uint8_t& c : colour) c = static_cast<uint8_t>(random());
    for (uint8_t& a : alphas) a = random() % 3 == 0 ? 0 : static_cast<uint8_t>(random());
    SetRgbPlane(f, std::move(colour));
    if (planes == 2) SetAlphaPlane(f, std::move(alphas));
  }
  Append(doc, f);
  return f;
}

TEST_F(StillMagick, WhatOurWritersWriteImageMagickDecodesAsWritten) {
  LW_NEED_TOOL("convert");
  Flows().read.keepTrueColour = true;
  std::mt19937 random(9);
  for (int round = 0; round < 3; ++round) {
    const uint32_t w = 1 + random() % 19, h = 1 + random() % 9;
    SCOPED_TRACE(::testing::Message() << "round " << round << ", " << w << " x " << h);
    for (int kind = 0; kind < 3; ++kind) {  // indexes, RGB, RGBA
      SCOPED_TRACE(kind);
      AnimationPtr doc = MakeDocument(w, h);
      Frame* f = RandomFrame(*doc, random, w, h, 0, kind);
      const Picture ours = Shown(*f);
      // 8-bit and 24-bit BMPs keep no transparency.
      const Rule opaque{false, {8, 8, 8, 8}, 0, kind != 2};
      ASSERT_TRUE(WriteBmp(Path("out.bmp"), f, 0));
      EXPECT_TRUE(Same(ours, Decoded(Path("out.bmp"), false), opaque)) << "BMP";
      ASSERT_TRUE(WritePng(Path("out.png"), f));
      EXPECT_TRUE(Same(ours, Decoded(Path("out.png"), false), {})) << "PNG";
    }
    // Icons and cursors of every depth, one image each; PSD layers over its composite.
    AnimationPtr doc = MakeDocument(40, 40);
    const int colours[] = {2, 16, 256, 0};  // 1, 4 and 8 bits, then 32
    for (int i = 0; i < 4; ++i) {
      Frame* f = RandomFrame(*doc, random, w + 3 * i, h + i, colours[i], i == 3 ? 2 : 0);
      f->left = static_cast<int32_t>(random() % (41 - f->width));
      f->top = static_cast<int32_t>(random() % (41 - f->height));
    }
    for (const char* type : {"ico", "cur"}) {
      const std::string path = Path(std::string("out.") + type);
      ASSERT_TRUE(WriteIconFile(path, *doc, type == std::string("ico"), nullptr));
      for (int i = 0; i < 4; ++i)
        EXPECT_TRUE(Same(Shown(*FrameAt(*doc, i)),
                         Decoded(type + (":" + path) + "[" + std::to_string(i) + "]", false), {}))
            << type << " image " << i;
    }
    ASSERT_TRUE(WritePsd(Path("out.psd"), *doc, round % 2 == 1));  // with and without masks
    for (int i = 0; i < 4; ++i)
      EXPECT_TRUE(Same(Shown(*FrameAt(*doc, i)),
                       Decoded(Path("out.psd") + "[" + std::to_string(i + 1) + "]", true), {}))
          << "PSD layer " << i;
  }
}

// A paletted frame read from a GIF, written as PNG, shows as the program draws it: its palette,
// then for indexes its table lacks (or every index of a frame without any table) the colours
// drawn for them, and its transparent index clear wherever it sits, the palette's last entry
// included (one alpha per entry up to it).
TEST_F(StillMagick, PalettedFramesWrittenAsPngShowAsTheProgramDrawsThem) {
  LW_NEED_TOOL("convert");
  std::mt19937 random(41);
  for (int round = 0; round < 16; ++round) {
    // Rounds 0, 4, 8...: no table; 1, 5...: the transparent index is the table's last entry and
    // the highest used; the others use indexes past the table, transparent among them or not.
    const int kind = round % 4;
    const uint32_t w = 1 + random() % 23, h = 1 + random() % 7;
    const int count = kind == 0 ? 0 : 2 << random() % 8;  // what a GIF's table can hold
    const int highest =
        kind == 1 ? count - 1 : std::min(255, count + static_cast<int>(random() % 40));
    const int transparent = kind == 1   ? count - 1
                            : kind == 2 ? static_cast<int>(random() % (highest + 1))
                                        : -1;
    SCOPED_TRACE(::testing::Message() << "round " << round << ", " << count << " colours, up to "
                                      << highest << ", transparent " << transparent);
    std::vector<uint8_t> rgb;
    for (int i = 0; i < 3 * count; ++i) rgb.push_back(static_cast<uint8_t>(random()));
    AnimationPtr doc = MakeDocument(w, h, count ? PaletteFromTriples(count, rgb.data()) : nullptr);
    if (!count) SetGlobalPalette(*doc, nullptr);
    std::vector<uint8_t> pixels(size_t{w} * h);
    for (uint8_t& p : pixels) p = static_cast<uint8_t>(random() % (highest + 1));
    pixels[0] = static_cast<uint8_t>(highest);
    if (transparent >= 0) pixels[pixels.size() / 2] = static_cast<uint8_t>(transparent);
    AddFrame(*doc, 0, 0, w, h, pixels, 0, transparent);
    ASSERT_TRUE(SaveGifToFile(Path("in.gif"), *doc, {}, nullptr));
    AnimationPtr read = ReadBack(Path("in.gif"));
    ASSERT_NE(read, nullptr);
    Frame* f = FirstFrame(*read);
    ASSERT_EQ(f->palette ? f->palette->Count() : 0, count);

    PixelSurface drawn;
    ASSERT_TRUE(ResizeSurface(&drawn, static_cast<int>(w), static_cast<int>(h), 0));
    DrawFrame(*f, drawn.View(), 0, 0, 1, 1, true);
    Picture ours{static_cast<int>(w), static_cast<int>(h), {}};
    for (uint32_t pixel : drawn.pixels)
      ours.pixels.push_back({static_cast<int>(pixel >> 16 & 255),
                             static_cast<int>(pixel >> 8 & 255), static_cast<int>(pixel & 255),
                             pixel >> 24 ? 255 : 0});
    ASSERT_TRUE(WritePng(Path("out.png"), f));
    EXPECT_TRUE(Same(ours, Decoded(Path("out.png"), false), {.indexed = true}));
    // Valid too for decoders stricter than convert's: the palette holds every index used.
    const std::string png = Contents(Path("out.png"));
    const size_t plte = png.find("PLTE");
    ASSERT_NE(plte, std::string::npos);
    uint32_t entries = 0;  // the chunk's big-endian length, over 3
    for (size_t at = plte - 4; at < plte; ++at) entries = entries << 8 | Le(png, at, 1);
    EXPECT_GE(entries / 3, static_cast<uint32_t>(highest + 1));
  }
}

}  // namespace
}  // namespace lw::test
