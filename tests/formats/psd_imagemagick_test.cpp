// PSD files written by ImageMagick (layers with and without transparency, grey and RGB, PackBits,
// raw and deflated, 8 and 16 bits per sample) read here and decoded by ImageMagick itself: the two
// must agree pixel for pixel, the composite and every layer.
//
// Deliberate differences, the only ones the comparison allows for:
// - a layer reaching past the canvas is cut to it here; only its part on the canvas is compared;
// - a layer whose transparency is 255 everywhere is kept here without an alpha plane, which
//   shows the same pixels (alpha 255);
// - frames of several layers span the layers' union, and a layer without transparency is black
//   there outside its own rectangle: only each layer's own rectangle is compared;
// - 16-bit samples are rounded to the nearest 8-bit level, where ImageMagick's 8-bit output
//   truncates: its decoding is taken at 16 bits and rounded the same way;
// - a composite's colours are taken as stored under its transparency. ImageMagick un-blends them
//   from white by default, as Photoshop mats its composites, though its own writer stores them
//   unmatted: it is asked not to (psd:alpha-unblend=false).
#include <gmock/gmock.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "flow_fixture.h"
#include "formats/psd/psd_format.h"
#include "support/tools.h"

namespace lw::test {
namespace {

struct Rgba {
  int r, g, b, a;
  bool operator==(const Rgba&) const = default;
};
std::ostream& operator<<(std::ostream& os, const Rgba& c) {
  return os << "(" << c.r << "," << c.g << "," << c.b << "," << c.a << ")";
}

// A picture placed on the canvas.
struct Placed {
  int left = 0, top = 0, width = 0, height = 0;
  std::vector<Rgba> pixels;  // rows of width
  Rgba At(int x, int y) const { return pixels[(y - top) * width + (x - left)]; }
};

// One image given to convert: samples of 8 or 16 bits, with or without transparency.
struct Drawn {
  int left = 0, top = 0, width = 0, height = 0;
  bool alpha = false;
  std::vector<uint16_t> samples;  // r, g, b(, a) per pixel
};

Drawn Draw(std::mt19937& rng, int left, int top, int width, int height, bool alpha, int depth) {
  Drawn d{left, top, width, height, alpha, {}};
  const int maxSample = depth == 16 ? 65535 : 255;
  const int channels = alpha ? 4 : 3;
  auto sample = [&] { return static_cast<uint16_t>(rng() % (maxSample + 1)); };
  for (int y = 0; y < height; ++y) {
    // Noise rows make PackBits literals, flat rows its repeats.
    const bool flat = rng() % 2;
    std::vector<uint16_t> run(channels);
    for (int x = 0; x < width; ++x) {
      if (!flat || x == 0 || rng() % 9 == 0)
        for (uint16_t& s : run) s = sample();
      if (alpha && !flat) {
        const int kind = static_cast<int>(rng() % 4);  // clear, opaque, or anything between
        if (kind == 0) run[3] = 0;
        if (kind == 1) run[3] = static_cast<uint16_t>(maxSample);
      }
      d.samples.insert(d.samples.end(), run.begin(), run.end());
    }
  }
  return d;
}

class PsdImageMagickTest : public FlowTest {
 protected:
  void SetUp() override {
    FlowTest::SetUp();
    if (!HasTool("convert") || !HasTool("identify")) GTEST_SKIP() << "ImageMagick is not installed";
  }

  // The arguments that hand one drawn image to convert, after writing its raw samples.
  std::string Input(const Drawn& d, int depth, const std::string& name) {
    std::string bytes;
    for (uint16_t s : d.samples) {
      if (depth == 16) bytes.push_back(static_cast<char>(s >> 8));
      bytes.push_back(static_cast<char>(s & 255));
    }
    const std::string path = Path(name);
    Put(path, bytes);
    std::ostringstream args;
    args << " -page " << std::showpos << d.left << d.top << std::noshowpos << " -size " << d.width
         << "x" << d.height << " -depth " << depth << " -endian MSB "
         << (d.alpha ? "rgba:" : "rgb:") << path;
    return args.str();
  }

  // ImageMagick's own decoding of image k of the file (0 the composite, then the layers), at 16
  // bits, rounded to 8. PAM output, since its raw rgba output mixes up the transparency of some
  // grey pictures.
  Placed Decoded(const std::string& psd, int k) {
    Placed p;
    const std::string image = "'" + psd + "[" + std::to_string(k) + "]'";
    const std::string geometry = Path("geometry.txt"), pam = Path("pixels.pam");
    EXPECT_EQ(std::system(("identify -format '%w %h %X %Y' " + image + " > " + geometry).c_str()),
              0);
    std::istringstream(Contents(geometry)) >> p.width >> p.height >> p.left >> p.top;
    EXPECT_EQ(
        std::system(
            ("convert -define psd:alpha-unblend=false " + image + " -depth 16 pam:" + pam).c_str()),
        0);
    const std::string bytes = Contents(pam);
    const size_t end = bytes.find("ENDHDR\n");
    std::istringstream header(bytes.substr(0, end));
    int channels = 0;
    for (std::string word; header >> word;)
      if (word == "DEPTH") header >> channels;
    EXPECT_GE(channels, 1);
    EXPECT_LE(channels, 4);
    const size_t start = end + 7;
    EXPECT_EQ(bytes.size() - start, 2u * channels * p.width * p.height);
    if (channels < 1 || bytes.size() - start != 2u * channels * p.width * p.height) return p;
    for (size_t i = start; i < bytes.size(); i += 2 * channels) {
      auto sample = [&](int c) {
        const size_t at = i + 2 * c;
        const int v = static_cast<uint8_t>(bytes[at]) << 8 | static_cast<uint8_t>(bytes[at + 1]);
        return (v + 128) / 257;
      };
      const bool grey = channels <= 2, alpha = channels % 2 == 0;
      const int a = alpha ? sample(channels - 1) : 255;
      p.pixels.push_back(grey ? Rgba{sample(0), sample(0), sample(0), a}
                              : Rgba{sample(0), sample(1), sample(2), a});
    }
    return p;
  }

  int ImageCount(const std::string& psd) {
    const std::string list = Path("count.txt");
    EXPECT_EQ(std::system(("identify -format 'x' '" + psd + "' > " + list).c_str()), 0);
    return static_cast<int>(Contents(list).size());
  }
};

// A frame's pixel at a canvas position, colour kept under any transparency.
Rgba FramePixel(const Frame& f, int x, int y) {
  x -= f.left;
  y -= f.top;
  const uint8_t* p = &f.rgbPlane[y * RgbStride(f.width) + 3 * x];
  int a = f.alphaPlane.empty() ? 255 : f.alphaPlane[y * IndexStride(f.width) + x];
  return {p[2], p[1], p[0], a};
}

TEST_F(PsdImageMagickTest, FilesWrittenByImageMagickReadAsItDecodesThem) {
  for (uint32_t seed = 1; seed <= 16; ++seed) {
    std::mt19937 rng(seed);
    const int depth = seed % 2 ? 8 : 16;
    const char* const compressions[] = {"RLE", "None", "Zip"};
    const char* compression = compressions[seed / 2 % 3];
    const bool grey = seed % 6 == 5;
    const int width = 1 + static_cast<int>(rng() % 20), height = 1 + static_cast<int>(rng() % 14);
    const int layers = 1 + static_cast<int>(rng() % 3);
    // One image alone is both the composite and the only layer; with more, the first is the
    // composite and the others the layers.
    const bool alone = layers == 1 && rng() % 2;
    std::ostringstream what;
    what << "seed " << seed << ": " << depth << " bits, " << compression << ", "
         << (grey ? "grey" : "RGB") << ", " << width << "x" << height << ", " << layers
         << " layer(s)" << (alone ? " alone" : "");
    SCOPED_TRACE(what.str());

    std::string command = "convert";
    command += Input(Draw(rng, 0, 0, width, height, rng() % 2, depth), depth, "composite.raw");
    for (int i = alone ? 1 : 0; i < layers; ++i) {
      const int w = 1 + static_cast<int>(rng() % (width + 4));
      const int h = 1 + static_cast<int>(rng() % (height + 4));
      const int left = static_cast<int>(rng() % (width + 4)) - w / 2 - 1;
      const int top = static_cast<int>(rng() % (height + 4)) - h / 2 - 1;
      command += Input(Draw(rng, left, top, w, h, rng() % 3 != 0, depth), depth,
                       "layer" + std::to_string(i) + ".raw");
    }
    const std::string psd = Path("made.psd");
    command += std::string(grey ? " -colorspace Gray" : "") + " -compress " + compression +
               " -depth " + std::to_string(depth) + " " + psd;
    ASSERT_EQ(std::system(command.c_str()), 0) << command;
    ASSERT_EQ(ImageCount(psd), layers + 1);

    // Every layer as a frame where the canvas shows it.
    AnimationPtr read;
    int owner = 0;
    if (layers > 1)
      Headless().QueuePsdLayersAnswer(psdopt::Layers | psdopt::Separate | psdopt::KeepTransparency);
    ASSERT_EQ(ReadPsd(psd, &owner, &read, false, nullptr), 1);
    EXPECT_THAT(ShownTexts(), ::testing::IsEmpty());
    ASSERT_EQ(read->frameCount, layers);
    std::vector<Placed> decoded;
    // Every frame spans the layers' union on the canvas (a single layer: the whole canvas).
    int left = width, top = height, right = 0, bottom = 0;
    for (int i = 0; i < layers; ++i) {
      decoded.push_back(Decoded(psd, i + 1));
      const Placed& d = decoded.back();
      left = std::min(left, d.left);
      top = std::min(top, d.top);
      right = std::max(right, d.left + d.width);
      bottom = std::max(bottom, d.top + d.height);
    }
    if (layers == 1) left = top = 0, right = width, bottom = height;
    left = std::max(left, 0), top = std::max(top, 0);
    right = std::min(right, width), bottom = std::min(bottom, height);
    for (int i = 0; i < layers; ++i) {
      SCOPED_TRACE("layer " + std::to_string(i + 1));
      const Placed& layer = decoded[i];
      const Frame& f = *FrameAt(*read, i);
      ASSERT_FALSE(f.rgbPlane.empty());
      if (right > left && bottom > top) {
        EXPECT_EQ(f.left, left);
        EXPECT_EQ(f.top, top);
        EXPECT_EQ(f.width, static_cast<uint32_t>(right - left));
        EXPECT_EQ(f.height, static_cast<uint32_t>(bottom - top));
      }
      for (int y = std::max(layer.top, 0); y < std::min(layer.top + layer.height, height); ++y)
        for (int x = std::max(layer.left, 0); x < std::min(layer.left + layer.width, width); ++x)
          ASSERT_EQ(FramePixel(f, x, y), layer.At(x, y)) << "at " << x << "," << y;
    }

    // The composite, when the reader offers it (files of several layers).
    if (layers == 1) continue;
    Headless().QueuePsdLayersAnswer(psdopt::Composite | psdopt::KeepTransparency);
    ASSERT_EQ(ReadPsd(psd, &owner, &read, false, nullptr), 1);
    ASSERT_EQ(read->frameCount, 1);
    const Placed composite = Decoded(psd, 0);
    ASSERT_EQ(composite.width, width);
    const Frame& f = *FirstFrame(*read);
    for (int y = 0; y < height; ++y)
      for (int x = 0; x < width; ++x)
        ASSERT_EQ(FramePixel(f, x, y), composite.At(x, y)) << "composite at " << x << "," << y;
  }
}

}  // namespace
}  // namespace lw::test
