// PSD files laid out here as Photoshop and other programs write them (layers in raw, PackBits and
// deflated channels, 16-bit layers in their own block, masks, indexed images), damaged files, and
// the composite our writer puts under the layers. Flat pictures of every depth and mode, and our
// layers, are checked against ImageMagick in still_magick_test.cpp.
#include <gmock/gmock.h>
#include <zlib.h>

#include <array>
#include <functional>

#include "base/string_ids.h"
#include "base/strings.h"
#include "core/picture_budget.h"
#include "flow_fixture.h"
#include "formats/psd/psd_format.h"
#include "support/bytes.h"

namespace lw::test {
namespace {

using Samples = std::vector<uint8_t>;
using ::testing::ElementsAre;
using ::testing::IsEmpty;

// PackBits: runs of two or more as repeats, single bytes as one-byte literals.
std::string PackRow(const uint8_t* row, size_t w) {
  std::string out;
  for (size_t i = 0, run = 1; i < w; i += run, run = 1) {
    while (i + run < w && run < 128 && row[i + run] == row[i]) ++run;
    out += {static_cast<char>(1 - static_cast<int>(run)), static_cast<char>(row[i])};
  }
  return out;
}

// A layer channel: compression word, then raw rows, PackBits (counts first), deflated (2) or
// deflated with each sample stored as its difference from the one before it in the row (3).
std::string ChannelData(Samples p, size_t rowBytes, int h, int compression, int sampleBytes) {
  Bytes o;
  o.Be16(compression);
  if (compression == 1) {
    std::string rows;
    for (int y = 0; y < h; ++y) {
      const std::string r = PackRow(p.data() + y * rowBytes, rowBytes);
      o.Be16(static_cast<uint32_t>(r.size()));
      rows += r;
    }
    return o.str() + rows;
  }
  if (compression == 0) return o.Raw(p).str();
  for (int y = 0; compression == 3 && y < h; ++y) {
    uint8_t* r = p.data() + y * rowBytes;
    for (size_t x = rowBytes / sampleBytes - 1; x > 0; --x) {
      if (sampleBytes == 1) {
        r[x] = static_cast<uint8_t>(r[x] - r[x - 1]);
        continue;
      }
      const int v = (r[2 * x] << 8 | r[2 * x + 1]) - (r[2 * x - 2] << 8 | r[2 * x - 1]);
      r[2 * x] = static_cast<uint8_t>(v >> 8), r[2 * x + 1] = static_cast<uint8_t>(v);
    }
  }
  std::string z(compressBound(p.size()), '\0');
  uLongf size = z.size();
  EXPECT_EQ(compress(reinterpret_cast<Bytef*>(z.data()), &size, p.data(), p.size()), Z_OK);
  return o.str() + z.substr(0, size);
}

struct HandLayer {
  int left, top, right, bottom;
  std::vector<std::pair<int, Samples>> channels;  // id and samples of the layer's (or mask's) size
  int compression = 0;
  int opacity = 255;
  std::vector<int> mask = {};  // a user mask's left, top, right, bottom (default colour 0)
  int claimedRight = 0;        // a right edge the record claims instead of the real one
};

struct HandPsd {
  int width = 8, height = 6, mode = 3, depth = 8, version = 1;
  std::string signature = "8BPS", modeData, resources, blendSignature = "8BIM";
  std::vector<Samples> composite;  // one plane per channel; black RGB when empty
  bool compositeRle = false;
  std::string compositeRows;  // PackBits counts and rows as given, instead of the planes
  std::vector<HandLayer> layers;
  bool negativeCount = false;
  int64_t firstChannelLength = -1;  // replaces the first channel's length when set
  // What Photoshop adds: blending ranges, a padded name and tagged blocks in each record, a
  // global mask and a tagged block after the layers; at 16 bits the layers go in an Lr16 block.
  bool photoshop = false;

  // A 16-bit sample v * 257 reads back as v.
  Samples Stored(const Samples& p) const {
    if (depth != 16) return p;
    Samples wide;
    for (uint8_t v : p) wide.insert(wide.end(), {v, v});
    return wide;
  }

  std::string Build() const {
    const int sampleBytes = depth == 16 ? 2 : 1;
    Bytes o;
    o.Text(signature).Be16(version).Fill(6).Be16(composite.empty() ? 3 : composite.size());
    o.Be32(height).Be32(width).Be16(depth).Be16(mode);
    o.Be32(modeData.size()).Text(modeData).Be32(resources.size()).Text(resources);
    Bytes info;
    std::string data;
    const int count = static_cast<int>(layers.size());
    info.Be16(negativeCount ? -count : count);
    for (const HandLayer& l : layers) {
      info.Be32(l.top).Be32(l.left).Be32(l.bottom).Be32(l.claimedRight ? l.claimedRight : l.right);
      info.Be16(l.channels.size());
      for (const auto& [id, samples] : l.channels) {
        const bool isMask = id == -2;
        const int w = isMask ? l.mask[2] - l.mask[0] : l.right - l.left;
        const int h = isMask ? l.mask[3] - l.mask[1] : l.bottom - l.top;
        const std::string c =
            ChannelData(Stored(samples), w * sampleBytes, h, l.compression, sampleBytes);
        const bool first = data.empty() && firstChannelLength >= 0;
        info.Be16(id).Be32(first ? static_cast<uint32_t>(firstChannelLength) : c.size());
        data += c;
      }
      info.Text(blendSignature).Text("norm").U8(l.opacity).Fill(3);
      Bytes extra;
      if (!l.mask.empty())
        extra.Be32(20).Be32(l.mask[1]).Be32(l.mask[0]).Be32(l.mask[3]).Be32(l.mask[2]).Fill(4);
      else
        extra.Be32(0);
      if (photoshop) {
        extra.Be32(40);  // grey and four channels, source and destination ranges
        for (int i = 0; i < 10; ++i) extra.Be32(0x0000FFFF);
        extra.Text(std::string("\x07Layer 1", 8)).Text("8BIMluni").Be32(4 + 2 * 7).Be32(7);
        for (char ch : std::string("Layer 1")) extra.Be16(ch);
      } else {
        extra.Be32(0).Text(std::string("\x01L\0\0", 4));
      }
      info.Be32(extra.size()).Raw(extra);
    }
    info.Text(data);
    if (info.size() % 2) info.U8(0);
    Bytes section;
    const bool lr16 = photoshop && depth == 16;
    if (!layers.empty()) {
      section.Be32(lr16 ? 0 : info.size());
      if (!lr16) section.Raw(info);
      if (photoshop)
        section.Be32(14).Fill(14).Text("8BIMFMsk").Be32(12).Fill(12, 1);
      else
        section.Be32(0);
      if (lr16) section.Text("8BIMLr16").Be32(info.size()).Raw(info);
    }
    o.Be32(section.size()).Raw(section).Be16(compositeRle ? 1 : 0);
    if (!compositeRows.empty()) return o.Text(compositeRows).str();
    std::vector<Samples> planes = composite;
    if (planes.empty()) planes.assign(3, Samples(width * height, 0));
    const size_t rowBytes = width * sampleBytes;
    std::string rows;
    for (const Samples& p : planes) {
      const Samples s = Stored(p);
      for (int y = 0; y < height && compositeRle; ++y) {
        const std::string r = PackRow(s.data() + y * rowBytes, rowBytes);
        o.Be16(r.size());
        rows += r;
      }
      if (!compositeRle) o.Raw(s);
    }
    return o.Text(rows).str();
  }
};

Samples Filled(int w, int h, uint8_t v) { return Samples(w * h, v); }
Samples Ramp(int w, int h, int start) {
  Samples p;
  for (int i = 0; i < w * h; ++i) p.push_back(static_cast<uint8_t>(start + 7 * i));
  return p;
}

// What a frame shows at a canvas position as 0xAARRGGBB (0 where clear or outside it).
uint32_t At(const Frame& f, int x, int y) {
  x -= f.left, y -= f.top;
  if (x < 0 || y < 0 || x >= static_cast<int>(f.width) || y >= static_cast<int>(f.height)) return 0;
  const int64_t c = ShownColour(f, x, y);
  const uint32_t a = f.alphaPlane.empty() ? 255 : f.alphaPlane[y * IndexStride(f.width) + x];
  return c < 0 ? 0 : a << 24 | static_cast<uint32_t>(c);
}

using Rects = std::vector<std::array<int, 4>>;  // left, top, width, height of each frame
Rects RectsOf(const Animation& a) {
  Rects rects;
  for (Frame* f = FirstFrame(a); f; f = NextFrame(f))
    rects.push_back({f->left, f->top, static_cast<int>(f->width), static_cast<int>(f->height)});
  return rects;
}

class PsdTest : public FlowTest {
 protected:
  // Reads as a window would, answering the layer question with options (0: none asked).
  int Read(const std::string& bytes, AnimationPtr* out, uint32_t options = 0, bool live = false) {
    Put(Path("hand.psd"), bytes);
    if (options != 0) Headless().QueuePsdLayersAnswer(options);
    int owner = 0;
    return ReadPsd(Path("hand.psd"), {}, &owner, out, live, nullptr);
  }
};

std::string Resource(int id, const std::string& name, const std::string& data) {
  Bytes o;
  o.Text("8BIM").Be16(id).U8(name.size()).Text(name).Fill(name.size() % 2 ? 0 : 1);
  return o.Be32(data.size()).Text(data).Fill(data.size() % 2).str();
}

TEST_F(PsdTest, CompositeImages) {
  // Indexed: the palette and the transparent index of its resource, past a block with an odd
  // name and odd data; layers of indexed files are not read, whatever they hold.
  HandPsd psd;
  psd.mode = 2;
  for (int i = 0; i < 3 * 256; ++i)
    psd.modeData.push_back(static_cast<char>(i % 256 * (i / 256 + 1)));
  psd.resources = Resource(1005, "abc", "xyz") + Resource(1047, "", std::string("\0\x05", 2));
  psd.composite = {Ramp(8, 6, 0)};
  psd.compositeRle = true;
  psd.layers = {{0, 0, 1, 1, {{0, Samples{1}}}}};
  psd.firstChannelLength = 999999;
  AnimationPtr read;
  ASSERT_EQ(Read(psd.Build(), &read), 1);
  const Frame& f = *FirstFrame(*read);
  EXPECT_EQ(std::tie(f.transparentIndex, read->globalPalette->entries[3]),
            std::tuple(5, PaletteEntry{3, 6, 9, 0}));
  EXPECT_TRUE(f.Transparent());
  EXPECT_EQ(Pixel(&f, 1, 0), 7);
  // A resource block without its signature is reported and passed over.
  psd.resources = "XXXX" + std::string(8, '\0');
  ASSERT_EQ(Read(psd.Build(), &read), 1);
  EXPECT_FALSE(FirstFrame(*read)->Transparent());
  EXPECT_THAT(ShownTexts(), ElementsAre("Error reading PSD Resource Data. Ignore it."));
  // PackBits runs and literal stretches longer than the row stop at its end.
  HandPsd runs;
  runs.width = 2, runs.height = 1, runs.compositeRle = true;
  runs.compositeRows = Bytes().Be16(2).Be16(4).Be16(2).str() + "\x81\x07\x7F\x01\x02\x03\xFF\x09";
  ASSERT_EQ(Read(runs.Build(), &read), 1);
  EXPECT_EQ(std::tuple(At(*FirstFrame(*read), 0, 0), At(*FirstFrame(*read), 1, 0)),
            std::tuple(0xFF070109u, 0xFF070209u));
}

// Background 8 x 6 of (10, 20, 30); a red layer B at (2, 1) of 3 x 2 with two holes (PackBits);
// a blue layer C at (-2, 3) of 4 x 3, opaque but at half opacity, half off the canvas.
HandLayer Background() {
  return {0, 0, 8, 6, {{0, Filled(8, 6, 10)}, {1, Filled(8, 6, 20)}, {2, Filled(8, 6, 30)}}};
}
HandLayer LayerB(bool transparent = true, bool masked = false) {
  HandLayer l{2, 1, 5, 3, {{0, Filled(3, 2, 200)}, {1, Filled(3, 2, 0)}, {2, Filled(3, 2, 0)}}, 1};
  if (transparent) l.channels.insert(l.channels.begin(), {-1, Samples{255, 0, 255, 255, 255, 0}});
  // A user mask over the left two columns: shown, shown, 100 and shown; 0 beyond it.
  if (masked) {
    l.mask = {2, 1, 4, 3};
    l.channels.push_back({-2, Samples{255, 255, 100, 255}});
  }
  return l;
}
HandLayer LayerC() {
  return {
      -2,
      3,
      2,
      6,
      {{0, Filled(4, 3, 0)}, {1, Filled(4, 3, 0)}, {2, Filled(4, 3, 250)}, {-1, Filled(4, 3, 255)}},
      0,
      128};
}

TEST_F(PsdTest, LayersBecomeFramesAsTheChoiceSays) {
  const uint32_t bg = 0xFF0A141E, red = 0xFFC80000, black = 0xFF000000, halfBlue = 0x800000FA;
  const uint32_t blueOverBg = 0xFF04098C;  // 250 at alpha 128 over the background
  struct Probe {
    int frame, x, y;
    uint32_t colour;
  };
  const struct {
    const char* name;
    std::vector<HandLayer> layers;
    uint32_t options;
    bool liveEdit;
    Rects rects;
    std::vector<Probe> probes;
  } cases[] = {
      {"separate, transparency kept: each layer where the canvas shows it",
       {LayerB(), LayerC()},
       0x2402,
       false,
       {{0, 1, 5, 5}, {0, 1, 5, 5}},
       {{0, 2, 1, red},
        {0, 3, 1, 0},
        {0, 0, 1, 0},
        {1, 0, 3, halfBlue},
        {1, 1, 5, halfBlue},
        {1, 2, 3, 0}}},
      {"separate without transparency: black around the layer",
       {LayerB(), LayerC()},
       0x402,
       false,
       {{0, 1, 5, 5}, {0, 1, 5, 5}},
       {{0, 0, 1, black}, {0, 3, 1, red}, {1, 0, 3, 0xFF0000FA}}},
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
       {{0, 2, 1, red}, {0, 7, 5, 0}, {1, 1, 5, halfBlue}, {1, 7, 0, 0}}},
      {"co-editing, a layer without transparency: opaque where the layers reach",
       {LayerB(false), LayerC()},
       0,
       true,
       {{0, 0, 8, 6}, {0, 0, 8, 6}},
       {{0, 3, 1, red}, {0, 0, 5, black}, {0, 7, 5, 0}, {0, 0, 0, 0}}},
      {"one layer, alone on the canvas, its user mask taking from its transparency",
       {LayerB(true, true)},
       0,
       false,
       {{0, 0, 8, 6}},
       {{0, 2, 1, red}, {0, 3, 2, red}, {0, 2, 2, 0x64C80000}, {0, 4, 1, 0}, {0, 3, 1, 0}}},
  };
  for (int depth : {8, 16})
    for (int compression : {-1, 2, 3})
      for (const auto& c : cases) {
        SCOPED_TRACE(::testing::Message()
                     << c.name << ", " << depth << " bits, compression " << compression);
        HandPsd psd;
        psd.depth = depth;
        psd.layers = c.layers;
        for (HandLayer& l : psd.layers)
          l.compression = compression < 0 ? l.compression : compression;
        psd.negativeCount = c.layers.size() == 2;  // the count's sign does not matter
        AnimationPtr read;
        ASSERT_EQ(Read(psd.Build(), &read, c.options, c.liveEdit), 1);
        EXPECT_EQ(RectsOf(*read), c.rects);
        for (const Probe& p : c.probes)
          EXPECT_EQ(At(*FrameAt(*read, p.frame), p.x, p.y), p.colour)
              << std::hex << "frame " << p.frame << " at " << p.x << "," << p.y;
      }
  EXPECT_EQ(Headless().PendingAnswers(), 0u);
  // A cancelled question reads nothing, silently.
  HandPsd psd;
  psd.layers = {LayerB(), LayerC()};
  AnimationPtr read;
  Headless().QueuePsdLayersAnswer(0);
  EXPECT_EQ(Read(psd.Build(), &read), 0);
  EXPECT_EQ(read, nullptr);
  EXPECT_THAT(ShownTexts(), IsEmpty());
}

// One transparent layer as Photoshop lays it out: negative count, the transparency channel first,
// PackBits everywhere, blending ranges, tagged blocks, a global mask, and a composite of four
// PackBits channels; at 16 bits, the layers in their own tagged block.
TEST_F(PsdTest, PhotoshopLayoutOfOneTransparentLayer) {
  const Samples a = Ramp(5, 4, 3), r = Ramp(5, 4, 40), b = Ramp(5, 4, 9);
  for (int depth : {8, 16}) {
    SCOPED_TRACE(depth);
    HandPsd psd;
    psd.depth = depth;
    psd.layers = {{1, 1, 6, 5, {{-1, a}, {0, r}, {1, Filled(5, 4, 77)}, {2, b}}, 1}};
    psd.negativeCount = psd.photoshop = psd.compositeRle = true;
    psd.resources = Resource(1005, "", std::string(16, '\0'));
    psd.composite = {Ramp(8, 6, 1), Ramp(8, 6, 2), Ramp(8, 6, 3), Ramp(8, 6, 4)};
    AnimationPtr read;
    ASSERT_EQ(Read(psd.Build(), &read), 1);
    EXPECT_THAT(ShownTexts(), IsEmpty());
    ASSERT_EQ(RectsOf(*read), (Rects{{0, 0, 8, 6}}));
    for (int i = 0; i < 20; ++i)
      ASSERT_EQ(At(*FirstFrame(*read), 1 + i % 5, 1 + i / 5),
                a[i] ? uint32_t(a[i] << 24 | r[i] << 16 | 77 << 8 | b[i]) : 0u)
          << i;
  }
}

TEST_F(PsdTest, DamagedFilesGiveTheirMessageAndNoDocument) {
  const std::string notPsd = TableText(str::PsdNotValid), damaged = TableText(str::PsdDamaged);
  const struct {
    const char* name;
    std::function<void(HandPsd&)> change;
    size_t keep;  // bytes kept of the file (0: all, past the end: all but that many)
    std::string message;
  } cases[] = {
      {"signature", [](HandPsd& p) { p.signature = "8BPX"; }, 0, notPsd},
      {"version 2", [](HandPsd& p) { p.version = 2; }, 0, notPsd},
      {"too short for a signature", nullptr, 3, notPsd},
      {"CMYK", [](HandPsd& p) { p.mode = 4; }, 0, TableText(str::PsdColourModeUnsupported)},
      {"header cut", nullptr, 20, damaged},
      {"RGB with colour data", [](HandPsd& p) { p.modeData = "xx"; }, 0, damaged},
      {"indexed without 768 bytes", [](HandPsd& p) { p.mode = 2; }, 0, damaged},
      {"no width", [](HandPsd& p) { p.width = 0; }, 0, damaged},
      {"negative layer size", [](HandPsd& p) { std::swap(p.layers[0].top, p.layers[0].bottom); }, 0,
       damaged},
      {"blend signature", [](HandPsd& p) { p.blendSignature = "MIB8"; }, 0, damaged},
      {"channel past the file", [](HandPsd& p) { p.firstChannelLength = 0x7FFFFFF0; }, 0, damaged},
      {"channel shorter than its rows", [](HandPsd& p) { p.firstChannelLength = 4; }, 0, damaged},
      {"deflated channel cut short",
       [](HandPsd& p) { p.layers[0].compression = 3, p.firstChannelLength = 5; }, 0, damaged},
      {"layer data cut", nullptr, size_t(-180), damaged},
      {"PackBits rows claiming more than the file",
       [](HandPsd& p) { p.layers.clear(), p.compositeRle = true; }, size_t(-20), damaged},
      {"huge canvas with little data",
       [](HandPsd& p) {
         p.layers.clear(), p.width = p.height = 30000, p.composite.assign(3, Samples(10));
       },
       0, damaged},
      {"huge layer with little data",
       [](HandPsd& p) { p.layers[0].claimedRight = p.layers[0].left + 2000000000; }, 0, damaged},
      {"layers only of empty rectangles onto the composite",
       [](HandPsd& p) {
         for (HandLayer& l : p.layers) l.right = l.left, l.channels.clear();
       },
       0, damaged},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Headless().Reset();
    HandPsd psd;
    psd.layers = {LayerB(), LayerC()};
    if (c.change) c.change(psd);
    std::string bytes = psd.Build();
    if (c.keep) bytes.resize(c.keep < bytes.size() ? c.keep : bytes.size() + c.keep);
    AnimationPtr read;
    EXPECT_EQ(Read(bytes, &read, 514), 0);
    EXPECT_EQ(read, nullptr);
    EXPECT_THAT(ShownTexts(), ElementsAre(c.message));
  }
  // Within a tight budget, a canvas the file holds is refused for memory, not read.
  SetPictureBudgetBytes(1000);
  HandPsd big;
  big.width = big.height = 100;
  big.composite = {Filled(100, 100, 1), Filled(100, 100, 2), Filled(100, 100, 3)};
  Headless().Reset();
  AnimationPtr read;
  EXPECT_EQ(Read(big.Build(), &read), 0);
  SetPictureBudgetBytes(0);
  EXPECT_THAT(ShownTexts(), ElementsAre(TableText(str::PsdNoMemoryForImage)));
}

// Under the layers our writer puts the composite: every frame drawn in order, whatever its
// disposal (an opaque screen, an offset frame with a hole, a true-colour corner with alpha).
TEST_F(PsdTest, TheWrittenCompositeIsEveryFrameDrawnInOrder) {
  AnimationPtr doc = MakeDocument(7, 5);
  AddDrawnFrame(*doc, 0, 0, 7, 5, [](uint32_t x, uint32_t y) { return (x + 7 * y) % 16; });
  AddFrame(*doc, 2, 1, 3, 2, {1, 3, 2, 3, 4, 5}, DisposalBackground, 3);
  Frame* corner = AddSolidFrame(*doc, 5, 3, 2, 2, 0);
  SetRgbPlane(corner, {10, 20, 30, 40, 50, 60, 0, 0, 70, 80, 90, 100, 110, 120, 0, 0});
  SetAlphaPlane(corner, {255, 0, 0, 0, 0, 255, 0, 0});
  for (bool masks : {false, true}) {
    ASSERT_TRUE(WritePsd(Path("three.psd"), *doc, masks));
    ReadOptions options;
    options.psdLayers = psdopt::Composite | psdopt::KeepTransparency;
    AnimationPtr read;
    ASSERT_EQ(ReadPsd(Path("three.psd"), options, nullptr, &read, false, nullptr), 1);
    for (int i = 0; i < 35; ++i) {
      uint32_t want = 0;
      for (int n = 0; n < 3; ++n)
        if (uint32_t shown = At(*FrameAt(*doc, n), i % 7, i / 7)) want = shown;
      ASSERT_EQ(At(*FirstFrame(*read), i % 7, i / 7), want) << masks << ", pixel " << i;
    }
  }
}

}  // namespace
}  // namespace lw::test
