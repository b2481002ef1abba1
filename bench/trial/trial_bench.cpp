// A trial of the optimize dialog on 600 frames of 640 x 480, and the time a running trial takes
// to stop once asked (what a click on an option waits for before the next trial starts).
#include <benchmark/benchmark.h>

#include <chrono>
#include <thread>

#include "base/progress.h"
#include "colour/optimize_trial.h"

namespace lw {
namespace {

constexpr uint32_t kWidth = 640, kHeight = 480, kFrames = 600;

// A busy background that stays and a band that moves: every optimizer step has work.
const Animation& Large() {
  static AnimationPtr a = [] {
    AnimationPtr doc = NewAnimation();
    doc->screenWidth = kWidth;
    doc->screenHeight = kHeight;
    std::vector<uint8_t> rgb(16 * 3);
    for (int i = 0; i < 48; ++i) rgb[i] = static_cast<uint8_t>(i * 5);
    SetGlobalPalette(*doc, PaletteFromTriples(16, rgb.data()));
    for (uint32_t i = 0; i < kFrames; ++i) {
      Frame* f = NewFrame(kWidth, kHeight, 10);
      f->palette = doc->globalPalette.get();
      f->delay = 4;
      NewFrameDib(f);
      uint64_t stride = IndexStride(f->DibWidth());
      for (uint32_t y = 0; y < kHeight; ++y)
        for (uint32_t x = 0; x < kWidth; ++x)
          f->bits()[y * stride + x] =
              static_cast<uint8_t>(y / 16 == i % 30 ? 15 : (x * x + y * 7 + x * y) % 13);
      RebuildTransparencyMask(f);
      InsertBlockAfter(LastBlock(*doc), f);
      ++doc->frameCount;
    }
    return doc;
  }();
  return *a;
}

void BM_Trial(benchmark::State& state) {
  const Animation& doc = Large();
  AnimationPtr copy;
  int32_t size = -1;
  for (auto _ : state)
    RunOptimizeTrial(doc, OptimizeOptions(optimize::Defaults), nullptr, &copy, &size);
  state.counters["bytes"] = size;
}
BENCHMARK(BM_Trial)->Unit(benchmark::kMillisecond)->Iterations(3);

// Stopped at a different moment each time: while copying, optimizing or measuring.
void BM_StopRunningTrial(benchmark::State& state) {
  const Animation& doc = Large();
  AnimationPtr copy;
  int delay = 0;
  for (auto _ : state) {
    state.PauseTiming();
    int32_t size;
    StartBackgroundTask(task::OptimizeTrial, [&](ProgressMeter* meter) {
      RunOptimizeTrial(doc, OptimizeOptions(optimize::Defaults), meter, &copy, &size);
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(delay));
    delay = (delay + 137) % 1500;
    state.ResumeTiming();
    StopTasks(task::OptimizeTrial);
  }
  ShutdownBackgroundTasks();
}
BENCHMARK(BM_StopRunningTrial)->Unit(benchmark::kMillisecond)->Iterations(12)->UseRealTime();

}  // namespace
}  // namespace lw

BENCHMARK_MAIN();
