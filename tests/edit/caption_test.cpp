// Captions and overlays: the drawn text against other FreeType and HarfBuzz programs, and the
// layer laid on what each frame shows, on random optimized animations.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <random>

#include "base/string_ids.h"
#include "edit/caption/layer.h"
#include "edit/caption/text_layer.h"
#include "support/document.h"
#include "support/temp_dir.h"
#include "support/timeline.h"
#include "support/tools.h"

namespace lw::test {
namespace {

// A grey picture: coverage 0..255 per pixel.
struct Grey {
  int width = 0;
  int height = 0;
  std::vector<uint8_t> pixels;
  int At(int x, int y) const {
    return x < 0 || y < 0 || x >= width || y >= height ? 0 : pixels[size_t(y) * width + x];
  }
};

// A binary PGM (P5) as Pillow writes it.
Grey ReadPgm(const std::string& bytes) {
  Grey g;
  int maxval = 0;
  char magic[3] = {};
  int consumed = 0;
  if (std::sscanf(bytes.c_str(), "%2s %d %d %d%n", magic, &g.width, &g.height, &maxval,
                  &consumed) != 4 ||
      std::string(magic) != "P5")
    return {};
  const size_t start = static_cast<size_t>(consumed) + 1;
  if (bytes.size() < start + size_t(g.width) * g.height) return {};
  g.pixels.assign(bytes.begin() + static_cast<ptrdiff_t>(start),
                  bytes.begin() + static_cast<ptrdiff_t>(start + size_t(g.width) * g.height));
  return g;
}

// The layer's alpha, shifted so that (dx, dy) of the layer lands on (0, 0).
Grey LayerAlpha(const Layer& layer, int64_t dx, int64_t dy, int width, int height) {
  Grey g{width, height, std::vector<uint8_t>(size_t(width) * height)};
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) {
      const int64_t lx = x + dx, ly = y + dy;
      if (lx >= 0 && ly >= 0 && lx < layer.width && ly < layer.height)
        g.pixels[size_t(y) * width + x] =
            layer.At(static_cast<uint32_t>(lx), static_cast<uint32_t>(ly)).alpha;
    }
  return g;
}

// Averages of size x size blocks: glyphs hinted by one program and not by the other differ by
// a pixel at their edges, not in where their ink lies.
Grey Blocks(const Grey& g, int size) {
  Grey out{(g.width + size - 1) / size, (g.height + size - 1) / size, {}};
  out.pixels.resize(size_t(out.width) * out.height);
  for (int y = 0; y < out.height; ++y)
    for (int x = 0; x < out.width; ++x) {
      int sum = 0;
      for (int dy = 0; dy < size; ++dy)
        for (int dx = 0; dx < size; ++dx) sum += g.At(x * size + dx, y * size + dy);
      out.pixels[size_t(y) * out.width + x] = static_cast<uint8_t>(sum / (size * size));
    }
  return out;
}

struct Ink {
  int left = INT32_MAX, top = INT32_MAX, right = -1, bottom = -1;
};
Ink InkOf(const Grey& g, int threshold) {
  Ink ink;
  for (int y = 0; y < g.height; ++y)
    for (int x = 0; x < g.width; ++x)
      if (g.At(x, y) > threshold) {
        ink.left = std::min(ink.left, x);
        ink.top = std::min(ink.top, y);
        ink.right = std::max(ink.right, x);
        ink.bottom = std::max(ink.bottom, y);
      }
  return ink;
}

// Mean absolute coverage difference over the pixels either picture inks, in 0..255.
double MeanDifference(const Grey& a, const Grey& b) {
  double sum = 0;
  int count = 0;
  for (int y = 0; y < std::max(a.height, b.height); ++y)
    for (int x = 0; x < std::max(a.width, b.width); ++x)
      if (a.At(x, y) || b.At(x, y)) {
        sum += std::abs(a.At(x, y) - b.At(x, y));
        ++count;
      }
  return count ? sum / count : 0;
}

const char* kPython = "/usr/bin/python3";

TEST(CaptionRendering, MatchesPillowOnLatinText) {
  LW_NEED_TOOL(kPython);
  if (Output(std::string(kPython) + " -c 'import PIL.ImageFont' 2>/dev/null && echo ok") != "ok\n")
    GTEST_SKIP() << "Pillow is not installed";
  struct Case {
    const char* font;
    int size;
    const char* text;
  } cases[] = {
      {"DejaVu Sans", 16, "Bonjour à tous"},
      {"DejaVu Sans:Bold", 32, "Loopwright 2026"},
      {"DejaVu Serif", 48, "Quelle journée !"},
      {"DejaVu Sans Mono", 20, "x = f(y) + 1;"},
  };
  TempDir dir;
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.font) + " " + c.text);
    TextStyle style;
    std::string family = c.font, face;
    if (size_t colon = family.find(':'); colon != std::string::npos) {
      face = family.substr(colon + 1);
      family = family.substr(0, colon);
    }
    style.family = family;
    style.style = face;
    style.size = c.size;
    style.text = c.text;
    Layer layer;
    TextBaseline base;
    std::string detail;
    ASSERT_EQ(RenderText(style, &layer, &detail, &base), 0);
    const std::string path = FindFontFile(family, face, nullptr);
    ASSERT_FALSE(path.empty());
    const std::string script = dir.Path("draw.py");
    std::ofstream(script) << "import sys\nfrom PIL import Image, ImageDraw, ImageFont\n"
                             "font = ImageFont.truetype(sys.argv[1], int(sys.argv[2]))\n"
                             "im = Image.new('L', (int(sys.argv[4]), int(sys.argv[5])), 0)\n"
                             "ImageDraw.Draw(im).text((int(sys.argv[6]), int(sys.argv[7])), "
                             "sys.argv[3], fill=255, font=font, anchor='ls')\n"
                             "im.save(sys.stdout.buffer, 'PPM')\n";
    const int w = static_cast<int>(layer.width), h = static_cast<int>(layer.height);
    const Grey theirs = ReadPgm(
        Output(std::string(kPython) + " " + Quoted(script) + " " + Quoted(path) + " " +
               std::to_string(c.size) + " " + Quoted(c.text) + " " + std::to_string(w) + " " +
               std::to_string(h) + " " + std::to_string(base.x) + " " + std::to_string(base.y)));
    ASSERT_EQ(theirs.width, w);
    const Grey ours = LayerAlpha(layer, 0, 0, w, h);
    // The same place: the ink of both starts and ends on the same rows and columns.
    const Ink a = InkOf(ours, 96), b = InkOf(theirs, 96);
    EXPECT_EQ(a.top, b.top);
    EXPECT_EQ(a.bottom, b.bottom);
    EXPECT_EQ(a.left, b.left);
    EXPECT_NEAR(a.right, b.right, 1);
    EXPECT_LT(MeanDifference(ours, theirs), 24.0);
  }
}

// hb-view draws with HarfBuzz's own shaping: Arabic joins right to left, combining accents sit on
// their letters.
TEST(CaptionRendering, ShapesLikeHbView) {
  LW_NEED_TOOL("hb-view");
  LW_NEED_TOOL(kPython);
  TempDir dir;
  const char* texts[] = {"مرحبا بالعالم", "e\xcc\x81te\xcc\x81 a\xcc\x80 Noe\xcc\x88l"};
  for (const char* text : texts) {
    SCOPED_TRACE(text);
    TextStyle style;
    style.size = 40;
    style.text = text;
    Layer layer;
    std::string detail;
    ASSERT_EQ(RenderText(style, &layer, &detail), 0);
    const std::string path = FindFontFile("DejaVu Sans", "", nullptr);
    const std::string png = dir.Path("hb.png");
    ASSERT_EQ(RunTool("hb-view --font-size=40 --margin=0 --font-funcs=ft -O png -o " + Quoted(png) +
                      " " + Quoted(path) + " " + Quoted(text))
                  .exitCode,
              0);
    Grey theirs = ReadPgm(Output(std::string(kPython) +
                                 " -c 'import sys; from PIL import Image, ImageOps; "
                                 "ImageOps.invert(Image.open(sys.argv[1]).convert(\"L\"))"
                                 ".save(sys.stdout.buffer, \"PPM\")' " +
                                 Quoted(png)));
    ASSERT_GT(theirs.width, 0);
    // hb-view's picture is the lines' box, as the layer's.
    EXPECT_NEAR(theirs.width, layer.boxWidth, 1);
    EXPECT_NEAR(theirs.height, layer.boxHeight, 1);
    const Grey ours = LayerAlpha(layer, layer.boxLeft, layer.boxTop, theirs.width, theirs.height);
    const Ink a = InkOf(ours, 96), b = InkOf(theirs, 96);
    EXPECT_NEAR(a.left, b.left, 1);
    EXPECT_NEAR(a.right, b.right, 1);
    EXPECT_NEAR(a.top, b.top, 1);
    EXPECT_NEAR(a.bottom, b.bottom, 1);
    EXPECT_LT(MeanDifference(Blocks(ours, 3), Blocks(theirs, 3)), 24.0);
  }
}

TEST(CaptionRendering, OutlineAndShadowSurroundTheLetters) {
  TextStyle plain;
  plain.text = "Oui";
  plain.size = 40;
  plain.colour = 0xFFFFFF;
  Layer bare;
  TextBaseline bareBase;
  std::string detail;
  ASSERT_EQ(RenderText(plain, &bare, &detail, &bareBase), 0);

  TextStyle dressed = plain;
  dressed.outlineWidth = 3;
  dressed.outlineColour = 0x0000FF;  // red
  dressed.shadow = true;
  dressed.shadowX = 5;
  dressed.shadowY = 6;
  dressed.shadowColour = 0xFF0000;  // blue
  Layer layer;
  TextBaseline base;
  ASSERT_EQ(RenderText(dressed, &layer, &detail, &base), 0);

  int white = 0, red = 0, blue = 0, lost = 0;
  for (uint32_t y = 0; y < layer.height; ++y)
    for (uint32_t x = 0; x < layer.width; ++x) {
      const LayerPixel& p = layer.At(x, y);
      const int64_t bx = int64_t{x} - base.x + bareBase.x, by = int64_t{y} - base.y + bareBase.y;
      const bool letter =
          bx >= 0 && by >= 0 && bx < bare.width && by < bare.height &&
          bare.At(static_cast<uint32_t>(bx), static_cast<uint32_t>(by)).alpha == 255;
      if (p.alpha != 255) continue;
      if (p == LayerPixel{255, 255, 255, 255}) ++white;
      if (p == LayerPixel{255, 0, 0, 255}) ++red;
      if (p == LayerPixel{0, 0, 255, 255}) ++blue;
      // Inside the letters the fill shows, never the outline or the shadow.
      if (letter && !(p == LayerPixel{255, 255, 255, 255})) ++lost;
    }
  EXPECT_GT(white, 100);
  EXPECT_GT(red, 100);
  EXPECT_GT(blue, 50);
  EXPECT_EQ(lost, 0);
  // The outline reaches its width beyond the letters, and the shadow its offset beyond that.
  const Ink letters = InkOf(LayerAlpha(bare, 0, 0, bare.width, bare.height), 0);
  const Ink all = InkOf(LayerAlpha(layer, 0, 0, layer.width, layer.height), 0);
  EXPECT_NEAR((letters.right - letters.left) + 2 * 3 + 5, all.right - all.left, 2);
  EXPECT_NEAR((letters.bottom - letters.top) + 2 * 3 + 6, all.bottom - all.top, 2);
}

TEST(CaptionRendering, RefusesWhatCannotBeDrawnWithAMessage) {
  std::string detail;
  Layer layer;
  TextStyle style;
  style.text = "  \n ";
  EXPECT_EQ(RenderText(style, &layer, &detail), str::CaptionEmptyText);
  style.text = "Bonjour";
  style.family = "Police Qui N Existe Pas";
  EXPECT_EQ(RenderText(style, &layer, &detail), str::CaptionFontMissing);
  EXPECT_EQ(detail, "Police Qui N Existe Pas");
  style.family = "DejaVu Sans";
  style.size = 100000;
  EXPECT_EQ(RenderText(style, &layer, &detail), str::CaptionBadSize);
  style.size = MaxFontSize;
  style.text = std::string(200, 'W');  // some 200 000 pixels wide
  EXPECT_EQ(RenderText(style, &layer, &detail), str::CaptionTooLarge);
  style.size = 12;
  style.text = std::string("\xff\xfe\xc3", 3) + "ok";  // broken UTF-8 still draws what it can
  EXPECT_EQ(RenderText(style, &layer, &detail), 0);

  TextStyle parsed;
  EXPECT_TRUE(ParseFontName("DejaVu Serif Bold Italic:20", &parsed));
  EXPECT_EQ(parsed.family, "DejaVu Serif");
  EXPECT_EQ(parsed.style, "Bold Italic");
  EXPECT_EQ(parsed.size, 20);
  EXPECT_FALSE(ParseFontName("DejaVu Sans:0", &parsed));
  EXPECT_FALSE(ParseFontName("DejaVu Sans:12x", &parsed));
  EXPECT_FALSE(ParseFontName(":12", &parsed));
}

// ---- laying a layer on frames ------------------------------------------------------------------

// What each frame shows, one picture per frame.
std::vector<std::vector<uint32_t>> Pictures(const Animation& a) {
  std::vector<std::vector<uint32_t>> out;
  FrameViewer viewer;
  viewer.background = kNothingShown;
  if (!PrepareViewer(&viewer, &a, a.screenWidth, a.screenHeight)) return out;
  for (int n = 1; n <= a.frameCount; ++n) {
    ShowPictureUpTo(&viewer, n, false);
    PixelView view = ViewerPicture(&viewer);
    std::vector<uint32_t> pixels;
    for (int y = 0; y < view.height; ++y)
      pixels.insert(pixels.end(), view.pixels + size_t(y) * view.stride,
                    view.pixels + size_t(y) * view.stride + view.width);
    out.push_back(std::move(pixels));
  }
  return out;
}

// An opaque block of two colours: every frame must show exactly it where it lies.
Layer BlockLayer(uint32_t w, uint32_t h) {
  Layer layer;
  layer.width = w;
  layer.height = h;
  layer.boxWidth = w;
  layer.boxHeight = h;
  for (uint32_t y = 0; y < h; ++y)
    for (uint32_t x = 0; x < w; ++x)
      layer.pixels.push_back((x + y) % 3 ? LayerPixel{250, 10, 20, 255}
                                         : LayerPixel{5, 200, 90, 255});
  return layer;
}

TEST(CaptionLayer, EveryChosenFrameShowsTheLayerAndNoOtherFrameChanges) {
  int recomposed = 0;
  for (uint32_t seed = 1; seed <= 150; ++seed) {
    SCOPED_TRACE(seed);
    AnimationPtr a = RandomAnimation(seed, seed % 2 == 0);
    std::mt19937 rng(seed);
    const Layer layer = BlockLayer(1 + rng() % 10, 1 + rng() % 8);
    LayerOptions options;
    options.place.anchor = Anchor::At;
    // At least one pixel of the layer on the screen.
    options.place.x = static_cast<int64_t>(rng() % a->screenWidth) - (layer.width - 1);
    options.place.y = static_cast<int64_t>(rng() % a->screenHeight) - (layer.height - 1);
    for (int i = 0; i < a->frameCount; ++i) options.frames.push_back(rng() % 2 == 0);
    const auto before = Pictures(*a);
    LayerReport report;
    const int message = PaintLayer(*a, layer, options, &report);
    if (message == str::CaptionNoFrame) continue;
    ASSERT_EQ(message, 0);
    recomposed += report.recomposed;
    const auto after = Pictures(*a);
    ASSERT_EQ(after.size(), before.size());
    for (size_t i = 0; i < before.size(); ++i) {
      for (uint32_t y = 0; y < a->screenHeight; ++y)
        for (uint32_t x = 0; x < a->screenWidth; ++x) {
          const size_t at = size_t(y) * a->screenWidth + x;
          const int64_t lx = int64_t{x} - options.place.x, ly = int64_t{y} - options.place.y;
          const bool under = lx >= 0 && ly >= 0 && lx < layer.width && ly < layer.height;
          if (options.frames[i] && under) {
            const LayerPixel& p = layer.At(static_cast<uint32_t>(lx), static_cast<uint32_t>(ly));
            ASSERT_EQ(after[i][at], PixelFromColour(p.red | p.green << 8 | p.blue << 16))
                << "frame " << i << " at " << x << "," << y;
          } else if (before[i][at] != kNothingShown || !report.recomposed) {
            ASSERT_EQ(after[i][at], before[i][at]) << "frame " << i << " at " << x << "," << y;
          }
        }
    }
  }
  EXPECT_GT(recomposed, 10);  // the random animations reach the rebuild
}

TEST(CaptionLayer, FullColoursTakeTheNearestEntryAndSayHowMany) {
  PalettePtr full = GreyPalette(256);
  AnimationPtr a = MakeDocument(20, 10, std::move(full));
  AddSolidFrame(*a, 0, 0, 20, 10, 7);
  Layer layer = BlockLayer(4, 4);
  LayerOptions options;
  options.place.anchor = Anchor::At;
  options.place.x = 2;
  options.place.y = 3;
  LayerReport report;
  ASSERT_EQ(PaintLayer(*a, layer, options, &report), 0);
  EXPECT_EQ(report.coloursAdded, 0);
  EXPECT_EQ(report.coloursApproximated, 2);
  EXPECT_EQ(a->globalPalette->Count(), 256);
  // The red is shown by the grey nearest to it.
  const PaletteEntry shown = PixelColour(FirstFrame(*a), 3, 3);
  EXPECT_EQ(shown.red, shown.green);
  EXPECT_NE(Pixel(FirstFrame(*a), 3, 3), 7);

  // Outside the screen nothing is drawn, and the caller hears why.
  options.place.x = 500;
  EXPECT_EQ(PaintLayer(*a, layer, options, &report), str::CaptionOutside);
}

TEST(CaptionLayer, FadesGrowAndShrinkOverTheChosenFrames) {
  EXPECT_LT(FadeStrength(0, 10, 3, 3), FadeStrength(1, 10, 3, 3));
  EXPECT_LT(FadeStrength(1, 10, 3, 3), FadeStrength(2, 10, 3, 3));
  EXPECT_EQ(FadeStrength(3, 10, 3, 3), 256);
  EXPECT_EQ(FadeStrength(6, 10, 3, 3), 256);
  EXPECT_GT(FadeStrength(7, 10, 3, 3), FadeStrength(9, 10, 3, 3));
  EXPECT_GT(FadeStrength(9, 10, 3, 3), 0);

  Placement place;
  EXPECT_TRUE(ParsePlacement("-4,12", &place));
  EXPECT_EQ(place.anchor, Anchor::At);
  EXPECT_EQ(place.x, -4);
  EXPECT_FALSE(ParsePlacement("4;12", &place));
  EXPECT_FALSE(ParsePlacement("middle", &place));
  Layer layer = BlockLayer(10, 4);
  ASSERT_TRUE(ParsePlacement("bottom-right", &place));
  place.margin = 2;
  const LayerOrigin at = PlaceLayer(layer, place, 50, 30);
  EXPECT_EQ(at.x, 50 - 10 - 2);
  EXPECT_EQ(at.y, 30 - 4 - 2);
}

}  // namespace
}  // namespace lw::test
