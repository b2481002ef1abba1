// PSD files: documents written and read back under each layer choice, files written here by hand
// (raw, PackBits and deflated channels, indexed images, masks, Photoshop's layout), and damaged
// files. Flat pictures of every depth and mode are checked against ImageMagick.
#include <gmock/gmock.h>
#include <zlib.h>

#include <functional>
#include <string>
#include <vector>

#include "base/string_ids.h"
#include "base/strings.h"
#include "flow_fixture.h"
#include "formats/psd/psd_format.h"
#include "support/bytes.h"

namespace lw::test {
namespace {

// ---- Writing PSD files by hand ----

using Pixels = std::vector<uint8_t>;

// PackBits: runs of two or more as repeats, the rest as literals.
std::string PackRow(const uint8_t* row, size_t w) {
  std::string out;
  size_t i = 0;
  while (i < w) {
    size_t run = 1;
    while (i + run < w && run < 128 && row[i + run] == row[i]) ++run;
    if (run >= 2) {
      out.push_back(static_cast<char>(1 - static_cast<int>(run)));
      out.push_back(static_cast<char>(row[i]));
      i += run;
      continue;
    }
    size_t start = i++;
    while (i < w && i - start < 128 && !(i + 1 < w && row[i] == row[i + 1])) ++i;
    out.push_back(static_cast<char>(i - start - 1));
    out.append(reinterpret_cast<const char*>(row + start), i - start);
  }
  return out;
}

// Deflated rows (zlib), with each sample stored as its difference from the one before it in the
// row when predicted; w counts bytes, samples are sampleBytes wide.
std::string ZipData(Pixels p, int w, int h, bool predicted, int sampleBytes) {
  if (predicted) {
    for (int y = 0; y < h; ++y) {
      uint8_t* r = p.data() + y * w;
      if (sampleBytes == 1) {
        for (int x = w - 1; x > 0; --x) r[x] = static_cast<uint8_t>(r[x] - r[x - 1]);
        continue;
      }
      for (int x = w / 2 - 1; x > 0; --x) {
        int v = (r[2 * x] << 8 | r[2 * x + 1]) - (r[2 * x - 2] << 8 | r[2 * x - 1]);
        r[2 * x] = static_cast<uint8_t>(v >> 8 & 255);
        r[2 * x + 1] = static_cast<uint8_t>(v & 255);
      }
    }
  }
  std::string z(compressBound(p.size()), '\0');
  uLongf size = z.size();
  EXPECT_EQ(compress(reinterpret_cast<Bytef*>(z.data()), &size, p.data(), p.size()), Z_OK);
  z.resize(size);
  return z;
}

// Rows of one channel with their compression word; PackBits counts first. zip: 2 deflated, 3
// deflated with prediction.
std::string ChannelData(const Pixels& p, int w, int h, bool rle, int zip = 0, int sampleBytes = 1) {
  Bytes o;
  if (zip) {
    o.Be16(zip);
    return o.str() + ZipData(p, w, h, zip == 3, sampleBytes);
  }
  o.Be16(rle ? 1 : 0);
  if (!rle) {
    o.Text(std::string(p.begin(), p.end()));
    return o.str();
  }
  std::string rows;
  for (int y = 0; y < h; ++y) {
    std::string r = PackRow(p.data() + y * w, w);
    o.Be16(static_cast<int>(r.size()));
    rows += r;
  }
  return o.str() + rows;
}

struct HandLayer {
  int left, top, right, bottom;
  std::vector<std::pair<int, Pixels>> channels;  // id and pixels of the layer's (or mask's) size
  bool rle = false;
  int zip = 0;  // 2 or 3: deflated channels, instead of raw or PackBits
  int opacity = 255;
  bool mask = false;               // a user mask at maskRect, default colour 0
  int maskRect[4] = {0, 0, 0, 0};  // left, top, right, bottom
  int claimedRight = 0;            // a right edge the record claims instead of the real one
};

struct HandPsd {
  int width = 8, height = 6, mode = 3, depth = 8, version = 1;
  std::string signature = "8BPS";
  std::string modeData;
  std::string resources;
  std::vector<Pixels> composite;  // one plane per channel
  bool compositeRle = false;
  std::vector<HandLayer> layers;
  bool negativeCount = false;
  std::string blendSignature = "8BIM";
  int64_t firstChannelLength = -1;  // replaces the first channel's length when set
  // What Photoshop adds: blending ranges, a padded name, tagged blocks after it and after the
  // layer information, and a global mask record.
  bool photoshopExtras = false;
  bool layersInLr16 = false;  // where Photoshop puts the layers of 16-bit files

  // Samples as the depth stores them: a 16-bit sample v * 257 reads back as v.
  Pixels Stored(const Pixels& p) const {
    if (depth != 16) return p;
    Pixels wide;
    for (uint8_t v : p) wide.insert(wide.end(), {v, v});
    return wide;
  }
  int SampleBytes() const { return depth == 16 ? 2 : 1; }

  std::string Build() const {
    Bytes o;
    o.Text(signature);
    o.Be16(version);
    o.Text(std::string(6, '\0'));
    o.Be16(composite.empty() ? 3 : static_cast<int>(composite.size()));
    o.Be32(height);
    o.Be32(width);
    o.Be16(depth);
    o.Be16(mode);
    o.Be32(static_cast<int64_t>(modeData.size()));
    o.Text(modeData);
    o.Be32(static_cast<int64_t>(resources.size()));
    o.Text(resources);
    Bytes info;
    if (!layers.empty()) {
      int count = static_cast<int>(layers.size());
      info.Be16(negativeCount ? -count : count);
      std::string data;
      bool first = true;
      for (const HandLayer& l : layers) {
        info.Be32(l.top);
        info.Be32(l.left);
        info.Be32(l.bottom);
        info.Be32(l.claimedRight ? l.claimedRight : l.right);
        info.Be16(static_cast<int>(l.channels.size()));
        for (const auto& [id, pixels] : l.channels) {
          bool isMask = id == -2;
          int w = isMask ? l.maskRect[2] - l.maskRect[0] : l.right - l.left;
          int h = isMask ? l.maskRect[3] - l.maskRect[1] : l.bottom - l.top;
          std::string c =
              ChannelData(Stored(pixels), w * SampleBytes(), h, l.rle, l.zip, SampleBytes());
          info.Be16(id);
          info.Be32(first && firstChannelLength >= 0 ? firstChannelLength
                                                    : static_cast<int64_t>(c.size()));
          first = false;
          data += c;
        }
        info.Text(blendSignature);
        info.Text("norm");
        info.U8(l.opacity);
        info.Text(std::string(3, '\0'));
        Bytes extra;
        if (l.mask) {
          extra.Be32(20);
          extra.Be32(l.maskRect[1]);
          extra.Be32(l.maskRect[0]);
          extra.Be32(l.maskRect[3]);
          extra.Be32(l.maskRect[2]);
          extra.Text(std::string(4, '\0'));
        } else {
          extra.Be32(0);
        }
        if (photoshopExtras) {
          extra.Be32(40);  // grey and four channels, source and destination ranges
          for (int i = 0; i < 10; ++i) extra.Be32(0x0000FFFF);
          extra.Text(std::string("\x07Layer 1", 8));
          extra.Text("8BIMluni");
          extra.Be32(4 + 2 * 7);
          extra.Be32(7);
          for (char ch : std::string("Layer 1")) extra.Be16(ch);
        } else {
          extra.Be32(0);  // blending ranges
          extra.Text(std::string("\x01L\0\0", 4));
        }
        info.Be32(static_cast<int64_t>(extra.size()));
        info.Text(extra.str());
      }
      info.Text(data);
      if (info.size() % 2) info.U8(0);
    }
    Bytes section;
    if (!layers.empty()) {
      section.Be32(layersInLr16 ? 0 : static_cast<int64_t>(info.size()));
      if (!layersInLr16) section.Text(info.str());
      if (photoshopExtras) {
        section.Be32(14);  // global mask: colour space, colours, opacity, kind, filler
        section.Text(std::string(14, '\0'));
        section.Text("8BIMFMsk");
        section.Be32(12);
        section.Text(std::string(12, '\1'));
      } else {
        section.Be32(0);
      }
      if (layersInLr16) {
        section.Text("8BIMLr16");
        section.Be32(static_cast<int64_t>(info.size()));
        section.Text(info.str());
      }
    }
    o.Be32(static_cast<int64_t>(section.size()));
    o.Text(section.str());
    std::vector<Pixels> planes = composite;
    if (planes.empty()) planes.assign(3, Pixels(static_cast<size_t>(width) * height, 0));
    for (Pixels& p : planes) p = Stored(p);
    const int rowBytes = width * SampleBytes();
    o.Be16(compositeRle ? 1 : 0);
    if (!compositeRle) {
      for (const Pixels& p : planes) o.Text(std::string(p.begin(), p.end()));
    } else {
      std::string rows;
      for (const Pixels& p : planes)
        for (int y = 0; y < height; ++y) {
          std::string r = PackRow(p.data() + y * rowBytes, rowBytes);
          o.Be16(static_cast<int>(r.size()));
          rows += r;
        }
      o.Text(rows);
    }
    return o.str();
  }
};

Pixels Filled(int w, int h, uint8_t v) { return Pixels(static_cast<size_t>(w) * h, v); }
Pixels Ramp(int w, int h, int start) {
  Pixels p;
  for (int i = 0; i < w * h; ++i) p.push_back(static_cast<uint8_t>(start + 7 * i));
  return p;
}

// Red, green, blue, alpha of a frame at a canvas position (0 alpha outside the frame).
struct Rgba {
  int r, g, b, a;
  bool operator==(const Rgba&) const = default;
};
std::ostream& operator<<(std::ostream& os, const Rgba& c) {
  return os << "(" << c.r << "," << c.g << "," << c.b << "," << c.a << ")";
}

Rgba At(const Frame& f, int x, int y) {
  x -= f.left;
  y -= f.top;
  if (x < 0 || y < 0 || x >= static_cast<int>(f.width) || y >= static_cast<int>(f.height))
    return {0, 0, 0, 0};
  if (!f.rgbPlane.empty()) {
    const uint8_t* p = &f.rgbPlane[y * RgbStride(f.width) + 3 * x];
    int a = f.alphaPlane.empty() ? 255 : f.alphaPlane[y * IndexStride(f.width) + x];
    return a == 0 ? Rgba{0, 0, 0, 0} : Rgba{p[2], p[1], p[0], a};
  }
  uint8_t index = Pixel(&f, x, y);
  if (f.Transparent() && index == f.transparentIndex) return {0, 0, 0, 0};
  const PaletteEntry& e = f.palette->entries[index];
  return {e.red, e.green, e.blue, 255};
}

struct FrameRect {
  int left, top, width, height;
  bool operator==(const FrameRect&) const = default;
};
std::ostream& operator<<(std::ostream& os, const FrameRect& r) {
  return os << r.left << "," << r.top << " " << r.width << "x" << r.height;
}

std::vector<FrameRect> Rects(const Animation& a) {
  std::vector<FrameRect> rects;
  for (Frame* f = FirstFrame(a); f; f = NextFrame(f))
    rects.push_back({f->left, f->top, static_cast<int>(f->width), static_cast<int>(f->height)});
  return rects;
}

class PsdTest : public FlowTest {
 protected:
  // Reads as a window would, answering the layer question with options (0: none asked).
  int Read(const std::string& bytes, AnimationPtr* out, uint32_t options = 0,
           bool liveEdit = false) {
    std::string path = Path("hand.psd");
    Put(path, bytes);
    if (options != 0) Headless().QueuePsdLayersAnswer(options);
    int dummyOwner = 0;
    return ReadPsd(path, &dummyOwner, out, liveEdit, nullptr);
  }
};

// Resources: a named block first (odd name, odd data), then the transparent index.
std::string Resource(int id, const std::string& name, const std::string& data) {
  Bytes o;
  o.Text("8BIM");
  o.Be16(id);
  o.U8(static_cast<int>(name.size()));
  o.Text(name);
  if (name.size() % 2 == 0) o.U8(0);
  o.Be32(static_cast<int64_t>(data.size()));
  o.Text(data);
  if (data.size() % 2) o.U8(0);
  return o.str();
}

TEST_F(PsdTest, IndexedImagesTakeTheirPaletteAndTransparentIndex) {
  HandPsd psd;
  psd.mode = 2;
  for (int plane = 0; plane < 3; ++plane)
    for (int i = 0; i < 256; ++i) psd.modeData.push_back(static_cast<char>(i * (plane + 1)));
  psd.resources = Resource(1005, "abc", "xyz") + Resource(1047, "", std::string("\0\x05", 2));
  psd.composite = {Ramp(8, 6, 0)};
  psd.compositeRle = true;
  // Layers of indexed files are not read, whatever they hold.
  psd.layers = {{0, 0, 1, 1, {{0, Pixels{1}}}}};
  psd.firstChannelLength = 999999;
  AnimationPtr read;
  ASSERT_EQ(Read(psd.Build(), &read), 1);
  const Frame& f = *FirstFrame(*read);
  EXPECT_TRUE(f.Transparent());
  EXPECT_EQ(f.transparentIndex, 5);
  ASSERT_EQ(read->globalPalette->Count(), 256);
  EXPECT_EQ(read->globalPalette->entries[3], (PaletteEntry{3, 6, 9, 0}));
  EXPECT_EQ(Pixel(&f, 1, 0), 7);

  // A resource block without its signature is reported and passed over.
  psd.resources = "XXXX" + std::string(8, '\0');
  ASSERT_EQ(Read(psd.Build(), &read), 1);
  EXPECT_FALSE(FirstFrame(*read)->Transparent());
  EXPECT_THAT(ShownTexts(), ::testing::ElementsAre("Error reading PSD Resource Data. Ignore it."));
}

// ---- Layers ----

// Background 8 x 6 of (10, 20, 30); a red layer B at (2, 1) of 3 x 2 with two holes (PackBits);
// a blue layer C at (-2, 3) of 4 x 3, opaque but at half opacity, half off the canvas.
HandLayer Background() {
  return {0, 0, 8, 6, {{0, Filled(8, 6, 10)}, {1, Filled(8, 6, 20)}, {2, Filled(8, 6, 30)}}};
}
HandLayer LayerB() {
  HandLayer l{2,
              1,
              5,
              3,
              {{-1, Pixels{255, 0, 255, 255, 255, 0}},
               {0, Filled(3, 2, 200)},
               {1, Filled(3, 2, 0)},
               {2, Filled(3, 2, 0)}}};
  l.rle = true;
  return l;
}
HandLayer LayerC() {
  HandLayer l{-2,
              3,
              2,
              6,
              {{0, Filled(4, 3, 0)},
               {1, Filled(4, 3, 0)},
               {2, Filled(4, 3, 250)},
               {-1, Filled(4, 3, 255)}}};
  l.opacity = 128;
  return l;
}

HandLayer OpaqueB() {
  HandLayer l = LayerB();
  l.channels.erase(l.channels.begin());
  return l;
}

struct Probe {
  int frame, x, y;
  Rgba colour;
};

TEST_F(PsdTest, LayersBecomeFramesAsTheChoiceSays) {
  const Rgba bg{10, 20, 30, 255}, red{200, 0, 0, 255}, none{0, 0, 0, 0};
  const Rgba halfBlue{0, 0, 250, 128};
  const Rgba blueOverBg{4, 9, 140, 255};  // 250 at alpha 128 over the background
  struct Case {
    const char* name;
    std::vector<HandLayer> layers;
    uint32_t options;
    bool liveEdit;
    std::vector<FrameRect> rects;
    std::vector<Probe> probes;
  };
  const Case cases[] = {
      {"separate, transparency kept: each layer where the canvas shows it",
       {LayerB(), LayerC()},
       0x2402,
       false,
       {{0, 1, 5, 5}, {0, 1, 5, 5}},
       {{0, 2, 1, red},
        {0, 3, 1, none},
        {0, 0, 1, none},
        {1, 0, 3, halfBlue},
        {1, 1, 5, halfBlue},
        {1, 2, 3, none}}},
      {"separate without transparency: black around the layer",
       {LayerB(), LayerC()},
       0x402,
       false,
       {{0, 1, 5, 5}, {0, 1, 5, 5}},
       {{0, 0, 1, {0, 0, 0, 255}}, {0, 3, 1, {200, 0, 0, 255}}, {1, 0, 3, {0, 0, 250, 255}}}},
      {"onto the background, kept",
       {Background(), LayerB(), LayerC()},
       4354,
       false,
       {{0, 0, 8, 6}, {0, 0, 8, 6}, {0, 0, 8, 6}},
       {{0, 3, 1, bg},
        {1, 2, 1, red},
        {1, 3, 1, bg},
        {1, 7, 5, bg},
        {2, 1, 4, blueOverBg},
        {2, 2, 1, bg}}},
      {"onto the background, dropped",
       {Background(), LayerB(), LayerC()},
       258,
       false,
       {{0, 0, 8, 6}, {0, 0, 8, 6}},
       {{0, 2, 1, red}, {1, 1, 4, blueOverBg}}},
      {"onto the composite",
       {Background(), LayerB(), LayerC()},
       514,
       false,
       {{0, 0, 8, 6}, {2, 1, 3, 2}, {0, 3, 2, 3}},
       {{1, 2, 1, red}, {1, 3, 1, bg}, {2, 1, 4, blueOverBg}}},
      {"co-editing: full canvas, transparent around",
       {LayerB(), LayerC()},
       0,
       true,
       {{0, 0, 8, 6}, {0, 0, 8, 6}},
       {{0, 2, 1, red}, {0, 7, 5, none}, {1, 1, 5, halfBlue}, {1, 7, 0, none}}},
      {"co-editing, a layer without transparency: opaque where the layers reach",
       {OpaqueB(), LayerC()},
       0,
       true,
       {{0, 0, 8, 6}, {0, 0, 8, 6}},
       {{0, 3, 1, {200, 0, 0, 255}}, {0, 0, 5, {0, 0, 0, 255}}, {0, 7, 5, none}, {0, 0, 0, none}}},
  };
  for (int depth : {8, 16})
    for (int zip : {0, 2, 3})
      for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.name) + ", " + std::to_string(depth) + " bits, zip " +
                     std::to_string(zip));
        HandPsd psd;
        psd.depth = depth;
        psd.layers = c.layers;
        for (HandLayer& l : psd.layers) l.zip = zip;
        psd.negativeCount = c.layers.size() == 2;  // the count's sign does not matter
        AnimationPtr read;
        ASSERT_EQ(Read(psd.Build(), &read, c.options, c.liveEdit), 1);
        EXPECT_EQ(Rects(*read), c.rects);
        for (const Probe& p : c.probes)
          EXPECT_EQ(At(*FrameAt(*read, p.frame), p.x, p.y), p.colour)
              << "frame " << p.frame << " at " << p.x << "," << p.y;
      }
  EXPECT_THAT(ShownTexts(), ::testing::IsEmpty());
  EXPECT_EQ(Headless().PendingAnswers(), 0u);
}

TEST_F(PsdTest, OneLayerAndMaskedLayers) {
  // One layer is read alone, full canvas; its user mask (left half shown, right half at the
  // default 0) takes away from its transparency.
  HandLayer l = LayerB();
  l.mask = true;
  l.maskRect[0] = 2, l.maskRect[1] = 1, l.maskRect[2] = 4, l.maskRect[3] = 3;
  l.channels.push_back({-2, Pixels{255, 255, 100, 255}});
  HandPsd psd;
  psd.layers = {l};
  AnimationPtr read;
  ASSERT_EQ(Read(psd.Build(), &read), 1);
  ASSERT_EQ(Rects(*read), (std::vector<FrameRect>{{0, 0, 8, 6}}));
  const Frame& f = *FirstFrame(*read);
  EXPECT_EQ(At(f, 2, 1), (Rgba{200, 0, 0, 255}));
  EXPECT_EQ(At(f, 3, 2), (Rgba{200, 0, 0, 255}));
  EXPECT_EQ(At(f, 2, 2).a, 100);
  EXPECT_EQ(At(f, 4, 1).a, 0);  // outside the mask
  EXPECT_EQ(At(f, 3, 1).a, 0);  // a hole of the layer
}

// One transparent layer as Photoshop lays it out: negative count, the transparency channel first,
// PackBits everywhere, blending ranges, tagged blocks, a global mask, and a composite of four
// PackBits channels; at 16 bits, the layers in their own tagged block.
TEST_F(PsdTest, PhotoshopLayoutOfOneTransparentLayer) {
  for (int depth : {8, 16}) {
    SCOPED_TRACE(depth);
    HandLayer l{
        1,
        1,
        6,
        5,
        {{-1, Ramp(5, 4, 3)}, {0, Ramp(5, 4, 40)}, {1, Filled(5, 4, 77)}, {2, Ramp(5, 4, 9)}}};
    l.rle = true;
    HandPsd psd;
    psd.depth = depth;
    psd.layers = {l};
    psd.negativeCount = true;
    psd.photoshopExtras = true;
    psd.layersInLr16 = depth == 16;
    psd.resources = Resource(1005, "", std::string(16, '\0'));
    psd.composite = {Ramp(8, 6, 1), Ramp(8, 6, 2), Ramp(8, 6, 3), Ramp(8, 6, 4)};
    psd.compositeRle = true;
    AnimationPtr read;
    ASSERT_EQ(Read(psd.Build(), &read), 1);
    EXPECT_THAT(ShownTexts(), ::testing::IsEmpty());
    ASSERT_EQ(Rects(*read), (std::vector<FrameRect>{{0, 0, 8, 6}}));
    const Frame& f = *FirstFrame(*read);
    const Pixels a = Ramp(5, 4, 3), r = Ramp(5, 4, 40), b = Ramp(5, 4, 9);
    for (int y = 0; y < 4; ++y)
      for (int x = 0; x < 5; ++x) {
        const int i = y * 5 + x;
        Rgba want = a[i] ? Rgba{r[i], 77, b[i], a[i]} : Rgba{0, 0, 0, 0};
        ASSERT_EQ(At(f, 1 + x, 1 + y), want) << x << "," << y;
      }
    EXPECT_EQ(At(f, 0, 0).a, 0);
    EXPECT_EQ(At(f, 7, 5).a, 0);
  }
}

TEST_F(PsdTest, TheLayerChoiceComesFromTheSettingsWithoutAWindowAndIsRemembered) {
  uint32_t layerBits = 0;
  for (Pref bit : {Pref::PsdLayers, Pref::PsdOntoComposite, Pref::PsdKeepBackground,
                   Pref::PsdSeparate, Pref::PsdKeepTransparency, Pref::PsdFullCanvas})
    layerBits |= MaskOf(bit);
  HandPsd psd;
  psd.layers = {Background(), LayerB(), LayerC()};
  std::string path = Path("three.psd");
  Put(path, psd.Build());
  struct Case {
    uint32_t chosen;
    int frames;
  };
  for (Case c : {Case{1, 1}, Case{258, 2}, Case{4354, 3}, Case{514, 3}, Case{1026 | 0x2000, 3}}) {
    SCOPED_TRACE(c.chosen);
    StorePsdLayerChoice(c.chosen);
    EXPECT_EQ(GetPref(PrefFlags) & ~layerBits, 0x00800000u) << "the other bits stay";
    EXPECT_EQ(PsdOptionsFromFlags(GetPref(PrefFlags)), c.chosen);
    AnimationPtr read;
    ASSERT_EQ(ReadPsd(path, nullptr, &read, false, nullptr), 1);
    EXPECT_EQ(read->frameCount, c.frames);
  }
  // The stored bits the settings file may hold, one by one.
  EXPECT_EQ(PsdOptionsFromFlags(0x200 | 0x80000000u), 258u | 0x4000);
  EXPECT_EQ(PsdOptionsFromFlags(0x08000000), 0x2001u);
  // A cancelled question reads nothing and says nothing.
  AnimationPtr read;
  EXPECT_EQ(Read(psd.Build(), &read, 0x0), 1);  // no script: the stored choice
  Headless().QueuePsdLayersAnswer(0);
  int owner = 0;
  EXPECT_EQ(ReadPsd(path, &owner, &read, false, nullptr), 0);
  EXPECT_EQ(read, nullptr);
  EXPECT_THAT(ShownTexts(), ::testing::IsEmpty());
}

// ---- Damaged files ----

TEST_F(PsdTest, DamagedFilesGiveTheirMessageAndNoDocument) {
  const std::string notPsd = TableText(str::PsdNotValid);
  const std::string mode = TableText(str::PsdColourModeUnsupported);
  const std::string damaged = TableText(str::PsdDamaged);
  const std::string noMemory = TableText(str::PsdNoMemoryForImage);
  HandPsd good;
  good.layers = {LayerB(), LayerC()};
  struct Case {
    const char* name;
    std::function<void(HandPsd&)> change;
    std::function<void(std::string&)> cut;
    std::string message;
  };
  const Case cases[] = {
      {"signature", [](HandPsd& p) { p.signature = "8BPX"; }, nullptr, notPsd},
      {"version 2", [](HandPsd& p) { p.version = 2; }, nullptr, notPsd},
      {"too short for a signature", nullptr, [](std::string& s) { s.resize(3); }, notPsd},
      {"CMYK", [](HandPsd& p) { p.mode = 4; }, nullptr, mode},
      {"header cut", nullptr, [](std::string& s) { s.resize(20); }, damaged},
      {"RGB with colour data", [](HandPsd& p) { p.modeData = "xx"; }, nullptr, damaged},
      {"indexed without 768 bytes", [](HandPsd& p) { p.mode = 2; }, nullptr, damaged},
      {"no width", [](HandPsd& p) { p.width = 0; }, nullptr, damaged},
      {"negative layer size", [](HandPsd& p) { std::swap(p.layers[0].top, p.layers[0].bottom); },
       nullptr, damaged},
      {"blend signature", [](HandPsd& p) { p.blendSignature = "MIB8"; }, nullptr, damaged},
      {"channel past the file", [](HandPsd& p) { p.firstChannelLength = 0x7FFFFFF0; }, nullptr,
       damaged},
      {"channel shorter than its rows", [](HandPsd& p) { p.firstChannelLength = 4; }, nullptr,
       damaged},
      {"deflated channel cut short",
       [](HandPsd& p) {
         for (HandLayer& l : p.layers) l.zip = 3;
         p.firstChannelLength = 5;
       },
       nullptr, damaged},
      {"layer data cut", nullptr, [](std::string& s) { s.resize(s.size() - 180); }, damaged},
      {"PackBits rows claiming more than the file",
       [](HandPsd& p) {
         p.layers.clear();
         p.compositeRle = true;
       },
       [](std::string& s) { s.resize(s.size() - 20); }, damaged},
      {"huge canvas with little data",
       [](HandPsd& p) {
         p.layers.clear();
         p.width = p.height = 30000;
         p.composite = {Pixels(10), Pixels(10), Pixels(10)};
       },
       nullptr, damaged},
      {"huge layer with little data",
       [](HandPsd& p) { p.layers[0].claimedRight = p.layers[0].left + 2000000000; }, nullptr,
       damaged},
      {"layers only of empty rectangles onto the composite",
       [](HandPsd& p) {
         for (HandLayer& l : p.layers) {
           l.right = l.left;
           l.channels.clear();
         }
       },
       nullptr, damaged},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Headless().Reset();
    HandPsd psd = good;
    if (c.change) c.change(psd);
    std::string bytes = psd.Build();
    if (c.cut) c.cut(bytes);
    AnimationPtr read;
    EXPECT_EQ(Read(bytes, &read, 514), 0);
    EXPECT_EQ(read, nullptr);
    EXPECT_THAT(ShownTexts(), ::testing::ElementsAre(c.message));
  }
  // Within a tight budget, a canvas the file holds is refused for memory, not read.
  SetGifFrameByteLimit(1000);
  HandPsd big;
  big.width = big.height = 100;
  big.composite = {Filled(100, 100, 1), Filled(100, 100, 2), Filled(100, 100, 3)};
  Headless().Reset();
  AnimationPtr read;
  EXPECT_EQ(Read(big.Build(), &read), 0);
  SetGifFrameByteLimit(0);
  EXPECT_THAT(ShownTexts(), ::testing::ElementsAre(noMemory));
}

// ---- Round trip ----

// Three frames: opaque indexes over the screen, an offset frame with a transparent index, and
// an offset true-colour frame with partial transparency in the corner.
AnimationPtr ThreeFrames() {
  AnimationPtr a = MakeDocument(7, 5);
  std::vector<uint8_t> ramp;
  for (int i = 0; i < 35; ++i) ramp.push_back(static_cast<uint8_t>(i % 16));
  AddFrame(*a, 0, 0, 7, 5, ramp);
  AddFrame(*a, 2, 1, 3, 2, {1, 3, 2, 3, 4, 5}, DisposalBackground, 3);
  Frame* f = AddSolidFrame(*a, 5, 3, 2, 2, 0);
  SetRgbPlane(f, {10, 20, 30, 40, 50, 60, 0, 0, 70, 80, 90, 100, 110, 120, 0, 0});
  SetAlphaPlane(f, {255, 128, 0, 0, 0, 255, 0, 0});
  return a;
}

TEST_F(PsdTest, DocumentsReadBackLayerForLayer) {
  AnimationPtr written = ThreeFrames();
  for (bool masks : {false, true}) {
    SCOPED_TRACE(masks ? "with layer masks" : "without layer masks");
    SetPref(PrefFlags2, masks ? 1 : 0);
    std::string path = Path("three.psd");
    ASSERT_TRUE(WritePsd(path, *written));
    for (uint32_t options : {0x2402u, 0x6402u}) {
      AnimationPtr read;
      int owner = 0;
      Headless().QueuePsdLayersAnswer(options);
      ASSERT_EQ(ReadPsd(path, &owner, &read, false, nullptr), 1);
      ASSERT_EQ(read->frameCount, 3);
      for (int i = 0; i < 3; ++i) {
        const Frame& w = *FrameAt(*written, i);
        const Frame& r = *FrameAt(*read, i);
        for (int y = 0; y < 5; ++y)
          for (int x = 0; x < 7; ++x) {
            ASSERT_EQ(At(r, x, y), At(w, x, y)) << "frame " << i << " at " << x << "," << y;
          }
      }
    }
    // The composite is every frame drawn in order.
    AnimationPtr composite;
    StorePsdLayerChoice(psdopt::Composite | psdopt::KeepTransparency);
    ASSERT_EQ(ReadPsd(path, nullptr, &composite, false, nullptr), 1);
    const Frame& c = *FirstFrame(*composite);
    EXPECT_EQ(At(c, 3, 1), At(*FrameAt(*written, 0), 3, 1));  // under the hole
    EXPECT_EQ(At(c, 2, 1), At(*FrameAt(*written, 1), 2, 1));
    EXPECT_EQ(At(c, 5, 3), At(*FrameAt(*written, 2), 5, 3));
  }
  EXPECT_THAT(ShownTexts(), ::testing::IsEmpty());
}

}  // namespace
}  // namespace lw::test
