#include "colour/optimize_queue.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>

#include "base/progress.h"
#include "colour/optimize.h"
#include "core/gif_reader.h"
#include "core/gif_writer.h"
#include "support/document.h"
#include "support/timeline.h"

namespace lw {
namespace {

using namespace test;

constexpr uint32_t kFrameOptions =
    optimize::CropFrames | optimize::DuplicatesToTransparency | optimize::RemoveUselessFrames;

struct EncoderThreads {
  explicit EncoderThreads(int n) { SetGifEncoderThreads(n); }
  ~EncoderThreads() { SetGifEncoderThreads(0); }
};

std::vector<uint8_t> Written(Animation& a) {
  std::vector<uint8_t> bytes;
  ByteSink sink(&bytes);
  EXPECT_EQ(WriteGif(sink, a, nullptr), GifWriteStatus::Done);
  return bytes;
}

// Large enough for the writer's pool: a striped screen with a sprite crossing it, some frames
// transparent overlays.
AnimationPtr WideSprite() {
  AnimationPtr a = MakeDocument(320, 200);
  for (int i = 0; i < 10; ++i) {
    AddDrawnFrame(
        *a, 0, 0, 320, 200,
        [&](uint32_t x, uint32_t y) -> uint8_t {
          if (x >= 20u + 25 * i && x < 60u + 25 * i && y >= 40 && y < 90) return 9 + (x ^ y) % 5;
          return static_cast<uint8_t>((y / 8 + (i > 5 ? x / 50 : 0)) % 3);
        },
        i % 3, i % 4 == 3 ? 0 : -1);
  }
  return a;
}

// The optimizer's result written with worker threads and on one thread: the same bytes, and the
// same again when written a second time, with nothing kept from the optimizer's encodes.
TEST(OptimizeQueue, WorkerThreadsWriteTheBytesOfOneThread) {
  for (uint32_t seed = 0; seed <= 20; ++seed) {
    for (uint32_t options : {kFrameOptions, uint32_t{optimize::Defaults}}) {
      std::vector<uint8_t> bytes[2];
      for (int threads : {1, 3}) {
        EncoderThreads use(threads);
        AnimationPtr a = seed == 0 ? WideSprite() : RandomAnimation(seed, seed % 3 == 0);
        OptimizeAnimation(*a, OptimizeOptions(options), nullptr);
        std::vector<uint8_t> first = Written(*a);
        ASSERT_EQ(first, Written(*a)) << "seed " << seed << " threads " << threads;
        bytes[threads > 1] = std::move(first);
      }
      EXPECT_EQ(bytes[0], bytes[1]) << "seed " << seed << " options " << options;
    }
  }
}

// Asks the trial's task to stop at a given progress step.
struct StopAtStep : ProgressView {
  int left;
  explicit StopAtStep(int steps) : left(steps) {}
  void SetRange(int) override {}
  void SetPosition(int) override {}
  void Step() override {
    if (--left == 0) SetTaskStopRequest(task::OptimizeTrial, true);
  }
  void SetText(const std::string&) override {}
};

TEST(OptimizeQueue, CancelInTheFrameStepLeavesAWholeAnimation) {
  EncoderThreads use(2);
  for (int steps = 1; steps <= 12; ++steps) {
    AnimationPtr a = WideSprite();
    auto before = Timeline(*a);
    StopAtStep view(steps);
    int owner = 0;
    ProgressMeterPtr meter(CreateProgressMeterIn(&owner, progress::Background | progress::InDialog,
                                                 task::OptimizeTrial, &view));
    OptimizeFrames(*a, OptimizeOptions(kFrameOptions), meter.get());
    SetTaskStopRequest(task::OptimizeTrial, false);
    EXPECT_TRUE(SameTimeline(before, Timeline(*a))) << "stopped at step " << steps;
    AnimationPtr back;
    std::vector<uint8_t> bytes = Written(*a);
    ASSERT_EQ(ReadGifMemory(bytes.data(), bytes.size(), nullptr, &back), GifReadStatus::Done)
        << steps;
    EXPECT_TRUE(SameTimeline(before, Timeline(*back))) << "written after step " << steps;
  }
}

// The flexible choice makes only free pixels transparent, and its codes are what the optimizer
// weighs and the save writes: a wrong code width, table clear, sub-block cut or row order there
// would show other pixels or pick the larger variant.
TEST(OptimizeQueue, FlexibleChoiceTouchesOnlyFreePixelsAndItsCodesShowThem) {
  std::mt19937 rng(3);
  // Rounds 204 and 225 are frames where the encoder's table loses key 0 and the codes part.
  for (int round = 0; round < 230; ++round) {
    const uint32_t w = 1 + rng() % 200, h = 1 + rng() % 150, noise = 1 + rng() % 8;
    const uint32_t keep = 1 + rng() % 4;
    // Strings of pixel 0 make the entry the encoder's table may lose (key 0).
    const uint8_t low = round % 3 == 0 ? 0 : 1;
    AnimationPtr a = MakeDocument(w, h);
    Frame* f = AddDrawnFrame(*a, 0, 0, w, h, [&](uint32_t x, uint32_t y) {
      return static_cast<uint8_t>(low + (rng() % noise ? (x / 5 + y / 3) % 6 : rng() % 14));
    });
    if (rng() % 2) f->descriptorFlags |= 0x40;  // interlaced
    std::vector<uint8_t> changed(size_t{w} * h);
    for (uint8_t& c : changed) c = rng() % keep == 0;
    const std::vector<uint8_t> before = f->dib;
    const uint64_t stride = IndexStride(w);
    uint64_t predicted = 0;
    std::vector<uint8_t> data;
    FlexibleDuplicates(f->bits(), stride, w, h, changed.data(), 15, 4, f->Interlaced(), &predicted,
                       &data);
    for (uint32_t y = 0; y < h; ++y)
      for (uint32_t x = 0; x < w; ++x) {
        uint8_t now = f->bits()[y * stride + x], was = before[DibBitsOffset + y * stride + x];
        ASSERT_TRUE(now == was || (now == 15 && !changed[size_t{y} * w + x])) << round;
      }
    ASSERT_EQ(predicted, data.size()) << round;
    const auto shown = Timeline(*a);
    KeepFrameData(f, std::vector<uint8_t>(data));
    const std::vector<uint8_t> bytes = Written(*a);
    ASSERT_NE(std::search(bytes.begin(), bytes.end(), data.begin(), data.end()), bytes.end())
        << "the parse's codes were not the ones written, round " << round;
    AnimationPtr back;
    ASSERT_EQ(ReadGifMemory(bytes.data(), bytes.size(), nullptr, &back), GifReadStatus::Done);
    EXPECT_TRUE(SameTimeline(shown, Timeline(*back))) << "round " << round;
  }
}

}  // namespace
}  // namespace lw
