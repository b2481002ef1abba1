// Recording the screen: the delays made from the capture times, the temporary file of pictures,
// and whole recordings of a window that shows a known sequence on a private X server.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>

#include "base/string_ids.h"
#include "core/animation.h"
#include "formats/record/recorder.h"
#include "formats/record/recording_file.h"
#include "support/services.h"
#include "support/temp_dir.h"
#include "support/tools.h"
#include "support/x_server.h"

namespace lw {
namespace {

// Over random capture times (late, early, bunched up) and every kind of delay units: no delay is
// under 0.02 s, and each frame starts where its capture time falls, rounded, unless the frames
// before it had to be lengthened, which the ones after catch up; the whole lasts the recording's
// length. Catches rounding frame by frame (the total drifts), a missing floor, and a floor that
// is never caught up.
TEST(RecordedDelays, FollowTheCaptureTimesOnTheRunningTotal) {
  std::mt19937 random(41);
  for (uint32_t perSecond : {100u, 50u, 30u, 10u, 1u}) {
    const DelayUnits units{perSecond};
    const int64_t shortest = std::max<int64_t>((perSecond * 20 + 999) / 1000, 1);
    for (int round = 0; round < 200; ++round) {
      std::vector<int64_t> starts;
      int64_t t = 0;
      const int count = 1 + static_cast<int>(random() % 40);
      for (int k = 0; k < count; ++k) {
        starts.push_back(t);
        // Mostly one step of 20 to 100 ms with jitter, sometimes a bunch or a long still.
        const int kind = static_cast<int>(random() % 10);
        t += kind == 0   ? random() % 15000
             : kind == 1 ? 2000000 + random() % 9000000
                         : 20000 + random() % 80000;
      }
      const int64_t end = t;
      const std::vector<uint64_t> delays = RecordedDelays(starts, end, units);
      ASSERT_EQ(delays.size(), starts.size());
      auto rounded = [&](int64_t us) { return (us * perSecond + 500000) / 1000000; };
      int64_t at = 0;
      for (size_t k = 0; k < delays.size(); ++k) {
        EXPECT_GE(static_cast<int64_t>(delays[k]), shortest);
        // A frame starts at its rounded time, or later only where the floor pushed it.
        if (k > 0) {
          EXPECT_GE(at, rounded(starts[k]));
          if (at > rounded(starts[k])) {
            EXPECT_EQ(static_cast<int64_t>(delays[k - 1]), shortest);
          }
        }
        at += static_cast<int64_t>(delays[k]);
      }
      EXPECT_GE(at, rounded(end));
      if (at > rounded(end)) {
        EXPECT_EQ(static_cast<int64_t>(delays.back()), shortest);
      }
      // Where no two pictures came closer than the shortest delay, nothing was pushed: the
      // whole lasts exactly the recording, rounded.
      bool bunched = false;
      for (size_t k = 1; k < starts.size(); ++k)
        bunched = bunched || (starts[k] - starts[k - 1]) * perSecond < (shortest + 1) * 1000000;
      if (!bunched && (end - starts.back()) * perSecond >= (shortest + 1) * 1000000) {
        EXPECT_EQ(at, rounded(end));
      }
    }
  }
}

std::vector<uint8_t> RandomPicture(std::mt19937& random, uint32_t width, uint32_t height) {
  std::vector<uint8_t> p(RgbStride(width) * height, 0);
  for (uint32_t y = 0; y < height; ++y)
    for (uint32_t x = 0; x < 3 * width; ++x) p[RgbStride(width) * y + x] = random() & 0xFF;
  return p;
}

// Pictures changed in random rectangles (a corner pixel, a row, nothing) come back whole and in
// order, repeats merged; a file that reaches its limit keeps everything before the picture that
// did not fit. Catches an off-by-one in the changed rectangle (a last row or column lost), a
// repeat kept twice, and a half-written record read back.
TEST(RecordingFile, GivesBackEveryPictureKeptAndStopsCleanlyWhenFull) {
  std::mt19937 random(7);
  test::TempDir dir;
  for (int round = 0; round < 20; ++round) {
    const uint32_t width = 1 + random() % 37, height = 1 + random() % 23;
    RecordingFile file(width, height);
    const uint64_t limit = round % 4 == 3 ? 2000 + random() % 4000 : 0;
    ASSERT_TRUE(file.Create(dir.Root().string(), limit));
    std::vector<std::vector<uint8_t>> kept;
    std::vector<int64_t> times;
    std::vector<uint8_t> picture = RandomPicture(random, width, height);
    bool full = false;
    for (int k = 0; k < 40 && !full; ++k) {
      if (k > 0) {
        const int change = static_cast<int>(random() % 5);
        if (change == 0) {
          // the same picture again
        } else if (change == 1) {  // one pixel, often at an edge
          const uint32_t x = random() % 2 ? width - 1 : random() % width;
          const uint32_t y = random() % 2 ? height - 1 : random() % height;
          picture[RgbStride(width) * y + 3 * x + random() % 3] ^= 0x80;
        } else {
          const uint32_t x0 = random() % width, y0 = random() % height;
          const uint32_t x1 = x0 + random() % (width - x0), y1 = y0 + random() % (height - y0);
          for (uint32_t y = y0; y <= y1; ++y)
            for (uint32_t x = x0; x <= x1; ++x) picture[RgbStride(width) * y + 3 * x] ^= 0x41;
        }
      }
      const bool same = !kept.empty() && picture == kept.back();
      switch (file.Add(picture, 1000 * k)) {
        case RecordingFile::Added::Kept:
          EXPECT_FALSE(same);
          kept.push_back(picture);
          times.push_back(1000 * k);
          break;
        case RecordingFile::Added::Same: EXPECT_TRUE(same); break;
        case RecordingFile::Added::WriteFailed:
          EXPECT_NE(limit, 0u);
          full = true;
          break;
      }
    }
    if (full) {
      EXPECT_EQ(file.Add(picture, 99999), RecordingFile::Added::WriteFailed);
    }
    EXPECT_EQ(file.Count(), kept.size());
    ASSERT_TRUE(file.Rewind());
    std::vector<uint8_t> back;
    int64_t time = 0;
    for (size_t k = 0; k < kept.size(); ++k) {
      ASSERT_EQ(file.Next(&back, &time), 1) << k;
      EXPECT_EQ(back, kept[k]) << "picture " << k << " of round " << round;
      EXPECT_EQ(time, times[k]);
    }
    EXPECT_EQ(file.Next(&back, &time), 0);
  }
}

// The colour at the middle of a frame's picture, as the drawer's 0xRRGGBB.
uint32_t MiddleColour(const Frame& frame) {
  const uint8_t* p =
      frame.rgbPlane.data() + RgbStride(frame.width) * (frame.height / 2) + 3 * (frame.width / 2);
  return uint32_t{p[2]} << 16 | uint32_t{p[1]} << 8 | p[0];
}

struct Shown {
  uint32_t value;
  int64_t atUs;  // animation time, from the recording's start
};

// A window shows values 1..N, each for a time the drawer chooses; the recording of its rectangle
// must show them in order, each frame taken while its value was up (within one capture step) and
// starting when it was drawn (within one step and the rounding), one frame per value (repeats
// merged), and last as long as asked within 20 ms. The drawer's times are its own log, so a slow
// machine only moves what is compared with them.
TEST(Recorder, RecordsWhatAWindowShowsWhenItShowsIt) {
  LW_NEED_TOOL("Xvfb");
  test::XServer server;
  ASSERT_FALSE(server.Display().empty());
  test::ColourWindow window(server.Display(), 40, 30, 160, 120);
  ASSERT_TRUE(window.Ready());
  window.Show(0);

  CaptureError error = CaptureError::None;
  for (bool shared : {true, false}) {
    auto capture = OpenX11Capture(server.Display(), &error, shared);
    ASSERT_TRUE(capture) << static_cast<int>(error);
    RecordOptions options;
    options.area = {40, 30, 160, 120};
    options.fps = 20;
    options.durationMs = 1500;
    const int64_t step = 1000000 / options.fps;
    auto recorder = Recorder::Start(std::move(capture), options, &error);
    ASSERT_TRUE(recorder);
    std::vector<test::ColourWindow::Drawn> log;
    log.push_back({0, recorder->StartedAtUs(), recorder->StartedAtUs()});
    // Values held for 130 to 330 ms, so that each lasts over two capture steps.
    const int64_t holds[] = {200000, 130000, 330000, 150000, 250000};
    int64_t next = recorder->StartedAtUs() + 100000;
    for (uint32_t v = 1; v <= 5; ++v) {
      std::this_thread::sleep_until(
          std::chrono::steady_clock::time_point(std::chrono::microseconds(next)));
      log.push_back(window.Show(v));
      next = log.back().doneUs + holds[v - 1];
    }
    recorder->Wait();
    AnimationPtr animation;
    ASSERT_EQ(recorder->Collect(&animation, nullptr), 1);
    ASSERT_TRUE(animation);
    EXPECT_EQ(animation->screenWidth, 160u);

    const int64_t started = recorder->StartedAtUs();
    const std::vector<int64_t>& times = recorder->PictureTimes();
    ASSERT_EQ(static_cast<size_t>(animation->frameCount), times.size());
    int64_t at = 0;  // in hundredths
    size_t k = 0, lastValue = 0;
    for (const Frame* f = FirstFrame(*animation); f; f = NextFrame(f), ++k) {
      const uint32_t colour = MiddleColour(*f);
      size_t v = 0;
      while (v < log.size() && test::ValueColour(log[v].value) != colour) ++v;
      ASSERT_LT(v, log.size()) << "frame " << k << " shows no drawn colour";
      EXPECT_EQ(v, k == 0 ? 0 : lastValue + 1) << "frame " << k << ": a value lost or repeated";
      lastValue = v;
      // Taken while the value was up: after its request left (less one step, for the grab
      // sent before it and served after), before the next one was drawn (plus one step).
      const int64_t taken = started + times[k];
      if (v > 0) {
        EXPECT_GE(taken, log[v].sentUs - step) << "frame " << k;
      }
      if (v + 1 < log.size()) {
        EXPECT_LE(taken, log[v + 1].doneUs + step) << "frame " << k;
      }
      // And it starts on the animation's time where it was taken.
      EXPECT_NEAR(static_cast<double>(at * 10000), static_cast<double>(times[k]), 10000.0);
      at += f->delay;
    }
    EXPECT_EQ(lastValue, log.size() - 1) << "the last value never made it";
    EXPECT_NEAR(at * 10, 1500, 20) << "the frames last as long as the recording";
    window.Show(0);
  }
}

// A recording whose temporary file fills up stops there with its message and keeps the pictures
// it wrote. Catches a full disk taken as the end of the recording without a word, and one that
// throws away what was captured.
TEST(Recorder, KeepsWhatWasCapturedWhenTheDiskFills) {
  LW_NEED_TOOL("Xvfb");
  test::XServer server;
  ASSERT_FALSE(server.Display().empty());
  test::ColourWindow window(server.Display(), 0, 0, 64, 64);
  ASSERT_TRUE(window.Ready());
  test::ServicesScope scope;
  CaptureError error = CaptureError::None;
  RecordOptions options;
  options.area = {0, 0, 64, 64};
  options.fps = 50;
  options.tempLimitBytes = 4 * (32 + 64 * 64 * 3) + 100;  // room for four whole pictures
  auto recorder = Recorder::Start(OpenX11Capture(server.Display(), &error), options, &error);
  ASSERT_TRUE(recorder);
  for (uint32_t v = 1; recorder->Status().end == RecordEnd::Running; ++v) {
    window.Show(v);
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    ASSERT_LT(v, 1000u) << "the recording never filled its file";
  }
  EXPECT_EQ(recorder->Status().end, RecordEnd::DiskFull);
  AnimationPtr animation;
  EXPECT_EQ(recorder->Collect(&animation, nullptr), 2);
  ASSERT_TRUE(animation);
  EXPECT_EQ(animation->frameCount, 4);
  EXPECT_EQ(scope.services.Texts(), test::TextsOf({str::RecordDiskFull}));
}

// Pausing leaves the paused time out of the recording: what happens during a pause is not
// recorded, and the frames last as long as the recording ran.
TEST(Recorder, LeavesPausesOut) {
  LW_NEED_TOOL("Xvfb");
  test::XServer server;
  ASSERT_FALSE(server.Display().empty());
  test::ColourWindow window(server.Display(), 0, 0, 32, 32);
  ASSERT_TRUE(window.Ready());
  window.Show(1);
  CaptureError error = CaptureError::None;
  RecordOptions options;
  options.area = {0, 0, 32, 32};
  options.fps = 25;
  options.durationMs = 600;
  auto recorder = Recorder::Start(OpenX11Capture(server.Display(), &error), options, &error);
  ASSERT_TRUE(recorder);
  std::this_thread::sleep_for(std::chrono::milliseconds(200));
  recorder->SetPaused(true);
  const int64_t pausedAt = recorder->Status().elapsedUs;
  window.Show(2);  // never recorded
  std::this_thread::sleep_for(std::chrono::milliseconds(400));
  EXPECT_EQ(recorder->Status().elapsedUs, pausedAt);
  window.Show(3);
  recorder->SetPaused(false);
  recorder->Wait();
  AnimationPtr animation;
  ASSERT_EQ(recorder->Collect(&animation, nullptr), 1);
  ASSERT_EQ(animation->frameCount, 2);
  EXPECT_EQ(MiddleColour(*FirstFrame(*animation)), test::ValueColour(1));
  EXPECT_EQ(MiddleColour(*NextFrame(FirstFrame(*animation))), test::ValueColour(3));
  uint64_t total = 0;
  for (const Frame* f = FirstFrame(*animation); f; f = NextFrame(f)) total += f->delay;
  EXPECT_EQ(total, 60u);
}

}  // namespace
}  // namespace lw
