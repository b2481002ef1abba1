// Every registered format that can both write and read gets the same document back: written
// through WriteAsType, read through ReadAnyFile, compared frame by frame and pixel by pixel.
#include <gmock/gmock.h>

#include <cstdlib>
#include <string_view>

#include "flow_fixture.h"
#include "formats/format_registry.h"
#include "formats/open_flow.h"
#include "formats/psd/psd_format.h"
#include "formats/save_flow.h"

namespace lw::test {
namespace {

std::vector<const FormatSpec*> RoundTripFormats() {
  std::vector<const FormatSpec*> list;
  for (const FormatSpec& f : Formats()) {
    // An AVI stream holds the pictures a viewer sees at its own time step, not the frames:
    // avi_test.cpp checks it; MP4 and WebM clips, lossy and made even, video_out_test.cpp; WebP
    // stores composed pictures, webp_test.cpp.
    const std::string_view id = f.id;
    if (id == "avi" || id == "mp4" || id == "webm" || id == "webp") continue;
    if (f.CanRead() && f.CanWrite() && f.saveType != 0) list.push_back(&f);
  }
  return list;
}

// Three frames that use what a frame can hold: the global palette over the whole screen, a
// transparent offset frame with a local palette, an odd size and another disposal; the delays
// differ. A format that writes still images only gets the first frame alone.
// An icon file refuses two images of one size, so there the last frame is a line shorter.
AnimationPtr DrawnDocument(bool wholeDocument, bool distinctSizes) {
  AnimationPtr a = MakeDocument(7, 5);
  std::vector<uint8_t> ramp;
  for (int y = 0; y < 5; ++y)
    for (int x = 0; x < 7; ++x) ramp.push_back(static_cast<uint8_t>((x + 2 * y) % 16));
  AddFrame(*a, 0, 0, 7, 5, ramp, DisposalLeave, -1, 10);
  if (!wholeDocument) return a;

  std::vector<uint8_t> pixels = {0, 1, 2, 3, 3, 2, 1, 0, 1, 1, 3, 3};
  Frame* second = AddFrame(*a, 2, 1, 4, 3, pixels, DisposalBackground, 3, 25);
  const uint8_t rgb[] = {200, 10, 10, 10, 200, 10, 10, 10, 200, 0, 0, 0};
  SetLocalPalette(second, PaletteFromTriples(4, rgb));
  UpdateDibColourTable(second);
  AddSolidFrame(*a, 0, 0, 7, distinctSizes ? 4 : 5, 9)->delay = 0;
  return a;
}

// Largest difference per channel a lossy format may bring: a small picture of hard colour edges
// is the worst case for JPEG at the default quality.
int Tolerance(const FormatSpec& format) { return format.id == std::string_view("jpeg") ? 40 : 0; }

// Layered formats keep each frame's picture but not its place, timing or palette: read with
// these PrefFlags bits, every frame comes back as large as the screen, transparent around the
// picture written.
uint32_t LayerReadFlags(const FormatSpec& format) {
  return format.id == std::string_view("psd") ? 0x8C000200 : 0;
}

// The colour a frame shows at a screen position, -1 off the frame.
int64_t OnScreen(const Frame& f, int64_t x, int64_t y) {
  x -= f.left, y -= f.top;
  if (x < 0 || y < 0 || x >= f.width || y >= f.height) return -1;
  return ShownColour(f, static_cast<uint32_t>(x), static_cast<uint32_t>(y));
}

// What a format cannot hold: icons keep no offsets, disposal or palette kind (every image has
// its own colour table), and ICO and CUR no delays either; animated PNG has one palette for all
// frames and one way to leave a frame in place.
struct Losses {
  bool placement, timing, sameSizes, gifKinds;
};
Losses LossesOf(const FormatSpec& format) {
  const std::string_view id = format.id;
  const bool icon = id == "ico" || id == "cur";
  return {icon || id == "ani", icon, icon, id == "png" || id == "apng"};
}

bool Near(int64_t a, int64_t b, int tolerance) {
  if (a < 0 || b < 0 || tolerance == 0) return a == b;
  for (int shift = 0; shift < 24; shift += 8)
    if (std::abs(((a >> shift) & 255) - ((b >> shift) & 255)) > tolerance) return false;
  return true;
}

class FormatRoundTrip : public FlowTest, public ::testing::WithParamInterface<const FormatSpec*> {};

TEST_P(FormatRoundTrip, WhatIsWrittenReadsBackTheSame) {
  const FormatSpec& format = *GetParam();
  const bool wholeDocument = format.writeDocument != nullptr;
  const Losses losses = LossesOf(format);
  AnimationPtr written = DrawnDocument(wholeDocument, losses.sameSizes);
  std::string path = Path(std::string("drawn.") + format.save.extension);
  SaveOptions options;
  options.optionBits =
      format.save.traits & savetrait::Animation ? saveopt::AnimationChosen : saveopt::Plain;
  ASSERT_TRUE(WriteAsType(path, *written, options, format.saveType, nullptr));
  EXPECT_EQ(SaveTypeFromName(path), format.saveType);

  const uint32_t layerFlags = LayerReadFlags(format);
  if (layerFlags) Flows().read.psdLayers = PsdOptionsFromFlags(layerFlags);
  AnimationPtr read;
  ASSERT_EQ(ReadAnyFile(path, Flows().read, nullptr, &read, nullptr), ReadComplete);
  EXPECT_THAT(ShownTexts(), ::testing::IsEmpty());
  EXPECT_EQ(std::tie(read->screenWidth, read->screenHeight),
            std::tie(written->screenWidth, written->screenHeight));
  ASSERT_EQ(read->frameCount, written->frameCount);
  for (int i = 0; i < written->frameCount; ++i) {
    SCOPED_TRACE("frame " + std::to_string(i));
    const Frame& w = *FrameAt(*written, i);
    const Frame& r = *FrameAt(*read, i);
    if (layerFlags) {
      for (uint32_t y = 0; y < written->screenHeight; ++y)
        for (uint32_t x = 0; x < written->screenWidth; ++x)
          ASSERT_EQ(OnScreen(r, x, y), OnScreen(w, x, y)) << x << "," << y;
      continue;
    }
    EXPECT_EQ(std::tie(r.width, r.height), std::tie(w.width, w.height));
    if (!losses.placement) {
      EXPECT_EQ(std::tie(r.left, r.top), std::tie(w.left, w.top));
    }
    if (wholeDocument && !losses.timing) {
      EXPECT_EQ(r.delay, w.delay);
    }
    if (wholeDocument && !losses.placement) {
      auto kind = [&](int d) { return losses.gifKinds && d == DisposalNone ? DisposalLeave : d; };
      EXPECT_EQ(kind(r.Disposal()), kind(w.Disposal()));
      if (!losses.gifKinds) {
        EXPECT_EQ(r.localPalette != nullptr, w.localPalette != nullptr);
      }
    }
    for (uint32_t y = 0; y < w.height; ++y)
      for (uint32_t x = 0; x < w.width; ++x)
        ASSERT_PRED3(Near, ShownColour(r, x, y), ShownColour(w, x, y), Tolerance(format))
            << x << "," << y;
  }
}

INSTANTIATE_TEST_SUITE_P(Registered, FormatRoundTrip, ::testing::ValuesIn(RoundTripFormats()),
                         [](const ::testing::TestParamInfo<const FormatSpec*>& info) {
                           return std::string(info.param->id);
                         });

}  // namespace
}  // namespace lw::test
