#include "base/progress.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "support/services.h"

namespace lw {
namespace {

using namespace std::chrono_literals;

// Records what a meter asks of its bar and text line.
struct FakeView : ProgressView {
  std::vector<std::string>* log;
  explicit FakeView(std::vector<std::string>* l) : log(l) {}
  void SetRange(int total) override { log->push_back("range " + std::to_string(total)); }
  void SetPosition(int p) override { log->push_back("pos " + std::to_string(p)); }
  void Step() override { log->push_back("step"); }
  void SetText(const std::string& t) override { log->push_back("text " + t); }
  void Finished() override { log->push_back("finished"); }
};

class ProgressTest : public ::testing::Test {
 protected:
  void SetUp() override {
    services.popups = [this](WindowHandle on) -> std::unique_ptr<ProgressView> {
      ++popupsMade;
      EXPECT_EQ(on, &owner);
      return std::make_unique<FakeView>(&log);
    };
  }
  void TearDown() override {
    ShutdownBackgroundTasks();
    SetTaskRunning(task::All, false);
    SetTaskStopRequest(task::All, false);
    DestroyProgressMeter(CreateProgressMeter(nullptr, 0, 0));  // continue again
  }
  test::ServicesScope scope;
  test::ScriptedServices& services = scope.services;
  std::vector<std::string> log;
  int popupsMade = 0;
  int owner = 0;  // stands for a window or dialog
};

TEST_F(ProgressTest, LargeTotalsAreScaledByPowersOfTen) {
  FakeView bar(&log);
  ProgressMeterPtr meter(CreateProgressMeterIn(&owner, progress::InDialog, 0, &bar));
  for (auto [total, divisor] :
       {std::pair{1000u, 1u}, {1001u, 10u}, {123456u, 1000u}, {0u, 1u}, {0xFFFFFFFFu, 10000000u}}) {
    ProgressSetRange(meter.get(), total);
    EXPECT_EQ(ProgressScaleDivisor(meter.get()), divisor) << total;
  }
  log.clear();
  ProgressSetRange(meter.get(), 123456);
  ProgressSetPosition(meter.get(), 61728);
  ProgressSetPosition(meter.get(), 999999);  // past the end stays at the end
  ProgressSetRange(meter.get(), 50);         // a smaller total starts from divisor 1 again
  ProgressSetPosition(meter.get(), 49);
  EXPECT_EQ(log,
            (std::vector<std::string>{"range 123", "pos 61", "pos 123", "range 50", "pos 49"}));
}

// Esc cancels the foreground meters until reset or close; background and silent meters answer
// from their own task bits only, so neither takes the other's stop.
TEST_F(ProgressTest, CancelAndStopRequestsReachOnlyTheirMeters) {
  FakeView bar(&log);
  ProgressMeterPtr fg(CreateProgressMeterIn(&owner, progress::InDialog, 0, &bar));
  ProgressSetRange(fg.get(), 10);
  ProgressStep(fg.get());
  services.onPump = [] { ProgressCancel(); };  // Esc arrives while pumping
  EXPECT_EQ(ProgressStep(fg.get()), 0);
  services.onPump = nullptr;
  EXPECT_EQ(ProgressSetPosition(fg.get(), 9), 0);
  EXPECT_EQ(log, (std::vector<std::string>{"range 10", "step"}))
      << "cancelled reports draw nothing";
  ProgressCancel();
  ProgressClose(fg.get());
  EXPECT_EQ(ProgressStep(fg.get()), 1) << "closing ends the cancel";

  std::vector<std::string> shown;
  FakeView view(&shown);
  ProgressMeterPtr worker(CreateProgressMeter(nullptr, progress::Silent, task::SizeEstimate));
  ProgressMeterPtr background(CreateProgressMeterIn(
      &owner, progress::Background | progress::InDialog, task::OptimizeTrial, &view));
  ProgressMeterPtr noPump(CreateProgressMeter(&owner, progress::NoPump, task::ReducePreview));
  ProgressCancel();  // Esc
  EXPECT_EQ(ProgressStep(worker.get()), 1);
  EXPECT_EQ(ProgressStep(background.get()), 1);
  ProgressResetCancel(fg.get());
  SetTaskStopRequest(task::SizeEstimate | task::OptimizeTrial | task::ReducePreview, true);
  EXPECT_EQ(ProgressStep(worker.get()), 0);
  EXPECT_EQ(ProgressStep(background.get()), 0);
  EXPECT_EQ(ProgressStep(fg.get()), 1) << "the stops are not the foreground's";
  EXPECT_EQ(ProgressStep(noPump.get()), 0) << "no pump, still sees its stop";
  SetTaskStopRequest(task::All, false);
  EXPECT_EQ(ProgressStep(noPump.get()), 0) << "until reset";
  ProgressResetCancel(noPump.get());
  worker.reset();
  background.reset();
  EXPECT_EQ(ProgressStep(fg.get()), 1) << "a task's end causes no cancel";
  EXPECT_EQ(shown, (std::vector<std::string>{"step"}));
}

// Work run beside the pumping thread: the popup is up before it starts, events keep turning
// while one of its steps takes long, and its reports reach the view in order; Esc during the
// work cancels it; meters that must not pump run it in place.
TEST_F(ProgressTest, RunPumpingShowsReportsAndPumpsWhileWorkRunsElsewhere) {
  const std::thread::id home = std::this_thread::get_id();
  const std::vector<std::string> all = {"range 100", "pos 3", "step", "text Lecture"};
  const struct Case {
    uint32_t flags;
    bool cancel, elsewhere;
    std::vector<std::string> shown;
  } cases[] = {{progress::OwnPopup, false, true, all},
               {progress::OwnPopup, true, true, {"range 100", "text Lecture"}},
               {progress::OwnPopup | progress::NoPump, false, false, all},
               {progress::Silent, false, false, {}}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.flags + c.cancel);
    log.clear();
    popupsMade = 0;
    std::atomic<int> pumps{0};
    services.onPump = [&] {
      ++pumps;
      if (c.cancel) ProgressCancel();
    };
    ProgressMeterPtr meter(CreateProgressMeter(&owner, c.flags, 0));
    std::thread::id ranOn;
    int answers = 0, popupFirst = 0;
    RunPumping(meter.get(), [&] {
      ranOn = std::this_thread::get_id();
      popupFirst = popupsMade;
      ProgressSetRange(meter.get(), 100);
      // One long step without any report: the other thread keeps pumping meanwhile.
      while (c.elsewhere && pumps < 5) std::this_thread::sleep_for(1ms);
      answers += ProgressSetPosition(meter.get(), 3);
      answers += ProgressStep(meter.get());
      ProgressSetText(meter.get(), "Lecture");
    });
    EXPECT_EQ(ranOn != home, c.elsewhere);
    EXPECT_EQ(popupFirst, int{c.elsewhere});
    EXPECT_EQ(answers, c.cancel ? 0 : 2);
    EXPECT_EQ(log, c.shown);
  }
  services.onPump = nullptr;
}

TEST_F(ProgressTest, BackgroundTasksStopAndRestartCleanly) {
  std::atomic<int> runs{0}, stopped{0};
  std::atomic<bool> started{false}, sawStop{false};
  auto forever = [&](ProgressMeter* meter) {
    ++runs;
    started = true;
    ProgressSetRange(meter, 1000000);
    while (ProgressStep(meter)) std::this_thread::sleep_for(1ms);
    sawStop = sawStop || TaskStopRequested(task::OptimizeTrial) != 0;
  };
  auto count = [&](bool stop) { stopped += stop; };
  ASSERT_TRUE(StartBackgroundTask(task::OptimizeTrial, forever, count));
  while (!started) std::this_thread::sleep_for(1ms);
  ASSERT_TRUE(StartBackgroundTask(task::OptimizeTrial, forever, count, true));
  EXPECT_EQ(TaskStopRequested(task::OptimizeTrial), 0u) << "the new run starts clean";
  StopTasks(task::OptimizeTrial);
  EXPECT_EQ(TaskRunning(task::All) | TaskStopRequested(task::All), 0u);
  ShutdownBackgroundTasks();  // joins, so done has run
  EXPECT_TRUE(sawStop);
  EXPECT_EQ(runs, 2);
  EXPECT_EQ(stopped, 2);

  std::atomic<bool> finished{false};
  ASSERT_TRUE(StartBackgroundTask(
      task::ColourCount, [&](ProgressMeter*) { finished = true; }, count));
  WaitTasks(task::ColourCount, true);
  ShutdownBackgroundTasks();
  EXPECT_TRUE(finished);
  EXPECT_EQ(stopped, 2) << "a run that ended by itself was not stopped";
  EXPECT_FALSE(StartBackgroundTask(task::SizeEstimate | task::ColourCount, forever));
  EXPECT_FALSE(StartBackgroundTask(0, forever));
  // Another task runs and never ends: waiting on it by mistake would hang here.
  SetTaskRunning(task::ColourCount, true);
  StopTasks(task::SizeEstimate);
  WaitTasks(task::SizeEstimate, true);
  StopTasksPumping(task::SizeEstimate, nullptr);
  EXPECT_EQ(TaskStopRequested(task::All), 0u);

  // A task that clears its running bit a moment before a late request lands must not leave
  // that request behind for its next run.
  SetTaskRunning(task::OptimizeTrial, true);
  std::thread sloppy([] {
    while (!TaskStopRequested(task::OptimizeTrial)) std::this_thread::sleep_for(1ms);
    SetTaskRunning(task::OptimizeTrial, false);
  });
  StopTasks(task::OptimizeTrial);
  sloppy.join();
  EXPECT_EQ(TaskStopRequested(task::All), 0u);
}

}  // namespace
}  // namespace lw
