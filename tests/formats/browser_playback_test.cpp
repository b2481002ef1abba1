// How files play in a browser engine: Chromium decodes the animations our writers produce, and
// GIFs made byte by byte, into the same pictures for the same times as our preview shows.
#include <tuple>

#include "flow_fixture.h"
#include "formats/png/apng_format.h"
#include "formats/webp/webp_format.h"
#include "support/browser.h"
#include "support/gif_bytes.h"
#include "support/timeline.h"

namespace lw::test {
namespace {

// Chromium's pictures as Timeline gives ours: pixels that show nothing are kNothingShown (their
// colour does not matter), half-transparent ones never equal one of ours, equal pictures in a row
// are one, durations in hundredths (a duration not in hundredths shows as one more).
std::vector<Shown> BrowserTimeline(const BrowserImage& image) {
  std::vector<Shown> out;
  for (const BrowserFrame& frame : image.frames) {
    std::vector<uint32_t> pixels(frame.rgba.size() / 4);
    for (size_t i = 0; i < pixels.size(); ++i) {
      const uint8_t* p = frame.rgba.data() + 4 * i;
      const uint32_t rgb = uint32_t{p[0]} << 16 | uint32_t{p[1]} << 8 | p[2];
      pixels[i] = p[3] == 0 ? PixelFromColour(kNothingShown) : uint32_t{p[3]} << 24 | rgb;
    }
    const uint64_t delay = frame.durationUs / 10000 + (frame.durationUs % 10000 != 0);
    if (!out.empty() && out.back().pixels == pixels)
      out.back().delay += delay;
    else
      out.push_back({std::move(pixels), delay});
  }
  return out;
}

class BrowserPlayback : public FlowTest {
 protected:
  void SetUp() override {
    FlowTest::SetUp();
    LW_NEED_BROWSER();
    std::string why;
    browser_ = Browser::Shared(&why);
    if (!browser_) FAIL() << why;
  }
  Browser* browser_ = nullptr;
};

// Every animation our three writers produce plays in Chromium as the preview shows it: all
// disposals, transparency, local palettes, frames at any place, delays of zero and of many
// minutes.
TEST_F(BrowserPlayback, OurGifWebpAndApngFilesPlayAsThePreviewShowsThem) {
  std::vector<AnimationPtr> animations;
  std::vector<std::string> paths;
  for (uint32_t seed = 1; seed <= 14; ++seed) {
    AnimationPtr a = RandomAnimation(seed * 7919, seed % 2 == 0);
    int n = 0;
    for (Frame* f = FirstFrame(*a); f; f = NextFrame(f), ++n) {
      if ((seed + n) % 5 == 0) f->delay = 0;
      if ((seed + n) % 11 == 3) f->delay = 65535;
    }
    const std::string stem = Path("a" + std::to_string(seed));
    ASSERT_TRUE(SaveGifToFile(stem + ".gif", *a, {}, nullptr));
    ASSERT_TRUE(WriteWebp(stem + ".webp", stem + ".webp", *a, {.filled = true}, {}, nullptr));
    ASSERT_TRUE(WriteApng(stem + ".png", stem + ".png", *a, {}, nullptr));
    paths.insert(paths.end(), {stem + ".gif", stem + ".webp", stem + ".png"});
    animations.push_back(std::move(a));
  }
  const std::vector<BrowserImage> shown = browser_->Decode(paths);
  for (size_t i = 0; i < paths.size(); ++i) {
    SCOPED_TRACE(paths[i]);
    const Animation& a = *animations[i / 3];
    ASSERT_EQ(shown[i].error, "");
    EXPECT_EQ(shown[i].width, a.screenWidth);
    EXPECT_EQ(shown[i].height, a.screenHeight);
    EXPECT_TRUE(SameTimeline(BrowserTimeline(shown[i]), Timeline(a)));
  }
}

const std::vector<uint32_t> kFour = {0xE01010, 0x10C020, 0x2030F0, 0xF0F0E0};

// GIFs from elsewhere show in our reader as in Chromium, frame by frame and for the same time,
// and loop as often.
TEST_F(BrowserPlayback, GifsShowAsChromiumShowsThem) {
  auto pattern = [](int x, int y) { return (x + 2 * y) % 4; };
  std::vector<std::pair<std::string, std::string>> corpus;
  corpus.emplace_back("disposals",
                      GifBytes(10, 8, kFour)
                          .Loop(0)
                          .Frame(0, 0, 10, 8, {.disposal = 1}, pattern)
                          .Solid(2, 1, 4, 3, {.disposal = 2, .delay = 20}, 2)
                          .Frame(3, 3, 5, 4, {.disposal = 3, .transparent = 3}, pattern)
                          .Frame(0, 0, 6, 6, {.transparent = 0, .delay = 7}, pattern)
                          .Solid(7, 5, 3, 3, {.disposal = 2}, 1)
                          .Solid(9, 7, 1, 1, {}, 3)
                          .Done());
  corpus.emplace_back("transparent start",
                      GifBytes(8, 8, kFour, 2)
                          .Loop(3)
                          .Frame(1, 1, 5, 5, {.disposal = 2, .transparent = 0}, pattern)
                          .Solid(4, 4, 4, 4, {.disposal = 3}, 1)
                          .Frame(0, 0, 8, 8, {.transparent = 1}, pattern)
                          .Done());
  corpus.emplace_back("restore first", GifBytes(6, 6, kFour, 3)
                                           .Solid(0, 0, 6, 6, {.disposal = 3}, 0)
                                           .Solid(1, 1, 2, 2, {.disposal = 2}, 1)
                                           .Solid(2, 2, 3, 3, {}, 2)
                                           .Done());
  corpus.emplace_back("past the screen", GifBytes(6, 5, kFour)
                                             .Frame(0, 0, 6, 5, {}, pattern)
                                             .Solid(4, 3, 5, 4, {.disposal = 2}, 2)
                                             .Solid(1, 1, 2, 2, {}, 3)
                                             .Done());
  corpus.emplace_back(
      "only local tables",
      GifBytes(5, 4, {})
          .Frame(0, 0, 5, 4, {.local = kFour}, pattern)
          .Frame(1, 1, 3, 3, {.transparent = 1, .local = {0x000000, 0x111111, 0x808080}}, pattern)
          .Done());
  corpus.emplace_back("no table", GifBytes(4, 4, {})
                                      .Frame(0, 0, 4, 4, {.local = kFour}, pattern)
                                      .Solid(1, 1, 2, 2, {}, 1)
                                      .Done());
  corpus.emplace_back("indexes past the table",
                      GifBytes(4, 4, {0x20A0F0, 0xF0A020})
                          .Frame(0, 0, 4, 4, {}, pattern)
                          .Frame(1, 0, 3, 4, {.transparent = 3, .local = {0x808080, 0x101010}},
                                 [](int x, int y) { return (x + y) % 4; })
                          .Done());
  corpus.emplace_back("delays", GifBytes(4, 3, kFour)
                                    .Loop(1)
                                    .Solid(0, 0, 4, 3, {.delay = 0}, 0)
                                    .Solid(0, 0, 4, 3, {.delay = 1}, 1)
                                    .Solid(0, 0, 4, 3, {.delay = 2}, 2)
                                    .Solid(0, 0, 4, 3, {.control = false}, 3)
                                    .Solid(0, 0, 4, 3, {.delay = 65535}, 0)
                                    .Done());
  corpus.emplace_back("interlaced", GifBytes(5, 9, kFour)
                                        .Frame(0, 0, 5, 9, {.interlaced = true}, pattern)
                                        .Frame(0, 2, 3, 5, {.delay = 3, .interlaced = true},
                                               [](int x, int y) { return (x * y) % 4; })
                                        .Done());
  std::vector<std::string> paths;
  for (const auto& [name, bytes] : corpus) {
    paths.push_back(Path(name + ".gif"));
    Put(paths.back(), bytes);
  }
  const std::vector<BrowserImage> shown = browser_->Decode(paths);
  for (size_t i = 0; i < paths.size(); ++i) {
    SCOPED_TRACE(corpus[i].first);
    AnimationPtr a = ReadBack(paths[i]);
    ASSERT_TRUE(a);
    ASSERT_EQ(shown[i].error, "");
    // Our deliberate differences, and only these:
    // - a frame past the screen grows our screen so that the editor keeps every pixel, where
    //   browsers cut the frame at the screen's edge: compared within the file's screen;
    // - a frame without a control block takes the preferences' default delay, where browsers
    //   give it none.
    // Delays of 0 and 1 hundredth are decoded as stored by both; only playing them differs.
    if (corpus[i].first == "past the screen") {
      EXPECT_EQ(std::tie(a->screenWidth, a->screenHeight), std::make_tuple(9u, 7u));
      a->screenWidth = 6;
      a->screenHeight = 5;
    }
    for (Frame* f = FirstFrame(*a); f; f = NextFrame(f)) {
      if (corpus[i].first == "delays" && FrameIndex(*a, f) == 3) {
        EXPECT_EQ(f->delay, GetPref(PrefDefaultDelay));
        f->delay = 0;
      }
    }
    EXPECT_EQ(shown[i].width, a->screenWidth);
    EXPECT_EQ(shown[i].height, a->screenHeight);
    EXPECT_EQ(shown[i].repetitions, a->playCount == 0 ? -1 : static_cast<int>(a->playCount) - 1);
    EXPECT_TRUE(SameTimeline(BrowserTimeline(shown[i]), Timeline(*a)));
  }
}

}  // namespace
}  // namespace lw::test
