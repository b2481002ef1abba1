#include "base/progress.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "base/messages.h"
#include "platform/headless_services.h"

namespace lw {
namespace {

using namespace std::chrono_literals;

// Records what a meter asks of its bar and text line.
struct FakeView : ProgressView {
  std::vector<std::string>* log;
  bool* destroyed = nullptr;
  int range = -1, position = -1;
  std::string text;
  explicit FakeView(std::vector<std::string>* l) : log(l) {}
  ~FakeView() override {
    if (destroyed) *destroyed = true;
  }
  void SetRange(int total) override {
    range = total;
    position = 0;
    log->push_back("range " + std::to_string(total));
  }
  void SetPosition(int p) override {
    position = p;
    log->push_back("pos " + std::to_string(p));
  }
  void Step() override {
    ++position;
    log->push_back("step");
  }
  void SetText(const std::string& t) override {
    text = t;
    log->push_back("text " + t);
  }
  void Refocus() override { log->push_back("refocus"); }
  void Finished() override { log->push_back("finished"); }
};

struct TestServices : HeadlessServices {
  int pumps = 0;
  int busy = 0;
  std::function<void()> onPump;
  void PumpEvents() override {
    ++pumps;
    if (onPump) onPump();
  }
  void SetBusyCursor(bool on) override { busy += on ? 1 : -1; }
  // The popups the desktop would open; none until a test makes them.
  std::function<std::unique_ptr<ProgressView>(WindowHandle)> popups;
  std::unique_ptr<ProgressView> OpenProgressPopup(WindowHandle owner) override {
    return popups ? popups(owner) : nullptr;
  }
};

class ProgressTest : public ::testing::Test {
 protected:
  void SetUp() override {
    services.SetEcho(false);
    SetServices(&services);
  }
  void TearDown() override {
    ShutdownBackgroundTasks();
    SetServices(nullptr);
    SetTaskRunning(task::All, false);
    SetTaskStopRequest(task::All, false);
    DestroyProgressMeter(CreateProgressMeter(nullptr, 0, 0));  // continue again
  }
  void InstallFactory() {
    services.popups = [this](WindowHandle owner) -> std::unique_ptr<ProgressView> {
      ++popupsMade;
      lastOwner = owner;
      auto view = std::make_unique<FakeView>(&log);
      view->destroyed = &popupDestroyed;
      return view;
    };
  }
  TestServices services;
  std::vector<std::string> log;
  int popupsMade = 0;
  WindowHandle lastOwner = nullptr;
  bool popupDestroyed = false;
  int dialog = 0;  // stands for a dialog window
};

TEST_F(ProgressTest, LargeTotalsAreScaledByPowersOfTen) {
  FakeView bar(&log);
  ProgressMeterPtr meter(CreateProgressMeterIn(&dialog, progress::InDialog, 0, &bar));
  struct Case {
    uint32_t total, divisor;
    int range;
  };
  for (Case c : {Case{1000, 1, 1000}, Case{1001, 10, 100}, Case{123456, 1000, 123}, Case{0, 1, 0},
                 Case{0xFFFFFFFFu, 10000000, 429}}) {
    ProgressSetRange(meter.get(), c.total);
    EXPECT_EQ(ProgressScaleDivisor(meter.get()), c.divisor) << c.total;
    EXPECT_EQ(bar.range, c.range) << c.total;
  }
  ProgressSetRange(meter.get(), 123456);
  EXPECT_EQ(ProgressSetPosition(meter.get(), 61728), 1);
  EXPECT_EQ(bar.position, 61);
  ProgressSetPosition(meter.get(), 999999);  // past the end stays at the end
  EXPECT_EQ(bar.position, 123);
  // A smaller total afterwards starts from divisor 1 again.
  ProgressSetRange(meter.get(), 50);
  EXPECT_EQ(ProgressScaleDivisor(meter.get()), 1u);
  EXPECT_EQ(ProgressStep(meter.get()), 1);
  EXPECT_EQ(bar.position, 1);
  EXPECT_EQ(services.pumps, 3);
}

TEST_F(ProgressTest, MissingMeterAcceptsEverythingAndContinues) {
  ProgressCancel();  // not even a cancel reaches a missing meter
  ProgressSetRange(nullptr, 10);
  ProgressSetText(nullptr, "x");
  EXPECT_EQ(ProgressStep(nullptr), 1);
  EXPECT_EQ(ProgressSetPosition(nullptr, 5), 1);
  EXPECT_EQ(ProgressFlags(nullptr), 0u);
  EXPECT_EQ(ProgressSetFlags(nullptr, 3), 0u);
  ProgressResetCancel(nullptr);
  ProgressRefocus(nullptr);
  ProgressClose(nullptr);
  DestroyProgressMeter(nullptr);
  FakeView bar(&log);
  EXPECT_EQ(CreateProgressMeterIn(nullptr, progress::InDialog, 0, &bar), nullptr);
}

TEST_F(ProgressTest, OwnPopupComesWithTheFirstRangeOrTextAndGoesAtClose) {
  InstallFactory();
  int owner = 0;
  ProgressMeterPtr meter(CreateProgressMeter(&owner, progress::OwnPopup, 0));
  EXPECT_EQ(popupsMade, 0);
  ProgressSetText(meter.get(), "Lecture...");
  ProgressSetRange(meter.get(), 4);
  ProgressStep(meter.get());
  ProgressSetText(meter.get(), nullptr);
  EXPECT_EQ(popupsMade, 1);
  EXPECT_EQ(lastOwner, &owner);
  EXPECT_EQ(services.busy, 1);
  EXPECT_EQ(log, (std::vector<std::string>{"text Lecture...", "range 4", "step", "text "}));
  ProgressRefocus(meter.get());
  EXPECT_EQ(services.busy, 1);  // the hourglass is not stacked
  ProgressClose(meter.get());
  EXPECT_TRUE(popupDestroyed);
  EXPECT_EQ(services.busy, 0);
  meter.reset();
  EXPECT_EQ(services.busy, 0);
}

TEST_F(ProgressTest, WithoutFactoryOrWhenSilentNoPopupIsMade) {
  ProgressMeterPtr plain(CreateProgressMeter(nullptr, progress::OwnPopup, 0));
  ProgressSetRange(plain.get(), 10);
  EXPECT_EQ(ProgressStep(plain.get()), 1);
  EXPECT_EQ(services.busy, 0);

  InstallFactory();
  ProgressMeterPtr silent(CreateProgressMeter(nullptr, progress::Silent | progress::OwnPopup, 0));
  ProgressSetRange(silent.get(), 10);
  ProgressSetText(silent.get(), "x");
  EXPECT_EQ(ProgressStep(silent.get()), 1);
  EXPECT_EQ(ProgressSetPosition(silent.get(), 3), 1);
  EXPECT_EQ(popupsMade, 0);
  EXPECT_TRUE(log.empty());
  EXPECT_EQ(services.pumps, 1);  // only the plain meter pumped
}

// Only plain meters of a window report in the status bar; a popup, a dialog's controls, a
// silent meter or a meter without owner leave it alone.
TEST_F(ProgressTest, PlainMetersOfAWindowReportInTheStatusBar) {
  std::vector<std::string> statusLog;
  FakeView status(&statusLog);
  SetStatusProgressView(&status);
  InstallFactory();
  int owner = 0;
  std::vector<std::string> controlsLog;
  FakeView controls(&controlsLog);
  struct Case {
    const char* name;
    std::function<ProgressMeter*()> make;
    bool inStatus;
  } cases[] = {
      {"plain", [&] { return CreateProgressMeter(&owner, 0, 0); }, true},
      {"no pump", [&] { return CreateProgressMeter(&owner, progress::NoPump, 0); }, true},
      {"no owner", [&] { return CreateProgressMeter(nullptr, 0, 0); }, false},
      {"popup", [&] { return CreateProgressMeter(&owner, progress::OwnPopup, 0); }, false},
      {"silent", [&] { return CreateProgressMeter(&owner, progress::Silent, 1); }, false},
      {"dialog", [&] { return CreateProgressMeterIn(&owner, progress::InDialog, 0, &controls); },
       false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    statusLog.clear();
    ProgressMeter* meter = c.make();
    ProgressSetText(meter, "Redimensioner");
    ProgressSetRange(meter, 2);
    ProgressStep(meter);
    ProgressClose(meter);
    DestroyProgressMeter(meter);  // already closed: no second notice
    std::vector<std::string> expected;
    if (c.inStatus) expected = {"text Redimensioner", "range 2", "step", "finished"};
    EXPECT_EQ(statusLog, expected);
  }
  SetStatusProgressView(nullptr);
}

TEST_F(ProgressTest, SilentMeterAnswersFromItsOwnTaskBitOnly) {
  ProgressMeterPtr worker(CreateProgressMeter(nullptr, progress::Silent, task::SizeEstimate));
  ProgressMeterPtr foreground(CreateProgressMeter(nullptr, 0, 0));
  SetTaskStopRequest(task::ColourCount, true);
  EXPECT_EQ(ProgressStep(worker.get()), 1);
  SetTaskStopRequest(task::SizeEstimate, true);
  EXPECT_EQ(ProgressStep(worker.get()), 0);
  EXPECT_EQ(ProgressSetPosition(worker.get(), 1), 0);
  // The stop of a background task does not cancel the work in front of the user ...
  EXPECT_EQ(ProgressStep(foreground.get()), 1);
  // ... and the user's Esc neither stops a background task nor is undone by its end.
  SetTaskStopRequest(task::All, false);
  ProgressMeterPtr worker2(CreateProgressMeter(nullptr, progress::Silent, task::ColourCount));
  ProgressCancel();
  EXPECT_EQ(ProgressStep(worker2.get()), 1);
  worker2.reset();
  EXPECT_EQ(ProgressStep(foreground.get()), 0);
  EXPECT_EQ(services.pumps, 2);
}

// Work run beside the pumping thread: the popup is up before it starts, events keep turning
// while one of its steps takes long, and what it reports reaches the view on the pumping
// thread in order; Esc during the work cancels it; meters that must not pump run it in place.
TEST_F(ProgressTest, RunPumpingShowsReportsAndPumpsWhileWorkRunsElsewhere) {
  InstallFactory();
  int owner = 0;
  const std::thread::id home = std::this_thread::get_id();
  struct Case {
    const char* name;
    uint32_t flags;
    bool cancelAtPump;
    bool elsewhere;  // the work ran on another thread
    std::vector<std::string> shown;
  } cases[] = {
      {"popup", progress::OwnPopup, false, true, {"range 100", "pos 3", "step", "text Lecture"}},
      {"cancelled", progress::OwnPopup, true, true, {"range 100", "text Lecture"}},
      {"no pump",
       progress::OwnPopup | progress::NoPump,
       false,
       false,
       {"range 100", "pos 3", "step", "text Lecture"}},
      {"silent", progress::Silent, false, false, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    log.clear();
    services.pumps = 0;
    std::atomic<int> pumps{0};
    services.onPump = [&] {
      ++pumps;
      if (c.cancelAtPump) ProgressCancel();
    };
    ProgressMeterPtr meter(CreateProgressMeter(&owner, c.flags, 0));
    std::thread::id ranOn;
    int answers = 0;
    bool popupBeforeWork = false;
    RunPumping(meter.get(), [&] {
      ranOn = std::this_thread::get_id();
      popupBeforeWork = popupsMade > 0;
      ProgressSetRange(meter.get(), 100);
      // One long step without any report: the other thread keeps pumping meanwhile.
      if (c.elsewhere) {
        auto until = std::chrono::steady_clock::now() + 2s;
        while (pumps < 5 && std::chrono::steady_clock::now() < until)
          std::this_thread::sleep_for(1ms);
      }
      answers += ProgressSetPosition(meter.get(), 3);
      answers += ProgressStep(meter.get());
      ProgressSetText(meter.get(), "Lecture");
    });
    EXPECT_EQ(ranOn != home, c.elsewhere);
    if (c.elsewhere) {
      EXPECT_TRUE(popupBeforeWork);
      EXPECT_GE(pumps.load(), 5);
    }
    EXPECT_EQ(answers, c.cancelAtPump ? 0 : 2);
    EXPECT_EQ(log, c.shown);
    meter.reset();
    popupsMade = 0;
  }
  services.onPump = nullptr;
}

TEST_F(ProgressTest, CancelLastsUntilResetOrCloseAndTheNextMeterContinues) {
  FakeView bar(&log);
  ProgressMeterPtr meter(CreateProgressMeterIn(&dialog, progress::InDialog, 0, &bar));
  ProgressSetRange(meter.get(), 10);
  EXPECT_EQ(ProgressStep(meter.get()), 1);
  services.onPump = [] { ProgressCancel(); };  // Esc arrives while pumping
  EXPECT_EQ(ProgressStep(meter.get()), 0);
  services.onPump = nullptr;
  EXPECT_EQ(ProgressStep(meter.get()), 0);
  EXPECT_EQ(ProgressSetPosition(meter.get(), 9), 0);
  EXPECT_EQ(bar.position, 1);  // a cancelled report does not move the bar
  ProgressResetCancel(meter.get());
  EXPECT_EQ(ProgressStep(meter.get()), 1);

  ProgressCancel();
  ProgressClose(meter.get());
  EXPECT_EQ(ProgressStep(meter.get()), 1);
  ProgressCancel();
  meter.reset();
  ProgressMeterPtr next(CreateProgressMeter(nullptr, progress::OwnPopup, 0));
  EXPECT_EQ(ProgressStep(next.get()), 1);
}

TEST_F(ProgressTest, NoPumpFlagStillSeesStopRequests) {
  ProgressMeterPtr meter(
      CreateProgressMeter(&dialog, progress::InDialog | progress::NoPump, task::ReducePreview));
  EXPECT_EQ(ProgressStep(meter.get()), 1);
  EXPECT_EQ(services.pumps, 0);
  EXPECT_EQ(ProgressSetFlags(meter.get(), progress::InDialog),
            progress::InDialog | progress::NoPump);
  EXPECT_EQ(ProgressStep(meter.get()), 1);
  EXPECT_EQ(services.pumps, 1);
  SetTaskStopRequest(task::ReducePreview, true);
  EXPECT_EQ(ProgressStep(meter.get()), 0);
  SetTaskStopRequest(task::ReducePreview, false);
  EXPECT_EQ(ProgressStep(meter.get()), 0);  // until reset
  ProgressResetCancel(meter.get());
  EXPECT_EQ(ProgressStep(meter.get()), 1);
}

TEST_F(ProgressTest, StoppingAnIdleTaskReturnsAtOnceWithoutARequest) {
  // Another task runs and never ends: waiting on it by mistake would hang here.
  SetTaskRunning(task::ColourCount, true);
  StopTasks(task::SizeEstimate);
  WaitTasks(task::SizeEstimate, true);
  StopTasksPumping(task::SizeEstimate, nullptr);
  EXPECT_EQ(TaskStopRequested(task::All), 0u);
  EXPECT_EQ(services.busy, 0);
  EXPECT_EQ(services.pumps, 0);
  EXPECT_EQ(TaskRunning(task::All), task::ColourCount);
}

TEST_F(ProgressTest, MasksChangeBitByBitAcrossThreads) {
  std::vector<std::thread> threads;
  for (uint32_t t = 0; t < 8; ++t)
    threads.emplace_back([t] {
      for (int i = 0; i < 2000; ++i) {
        SetTaskRunning(1u << t, true);
        SetTaskRunning(1u << t, false);
      }
      SetTaskRunning(1u << t, true);
    });
  for (auto& t : threads) t.join();
  EXPECT_EQ(TaskRunning(task::All), 0xFFu);
}

// A background meter that shows its progress: it draws like a dialog's meter but answers from
// its task bits alone, never pumps, and neither takes nor gives the foreground's cancel.
TEST_F(ProgressTest, BackgroundMeterShowsButAnswersFromItsTask) {
  int dialog = 0;
  FakeView view(&log);
  ProgressMeterPtr foreground(CreateProgressMeter(nullptr, 0, 0));
  ProgressMeterPtr meter(CreateProgressMeterIn(&dialog, progress::Background | progress::InDialog,
                                               task::OptimizeTrial, &view));
  ProgressSetRange(meter.get(), 5000);
  ProgressSetText(meter.get(), "Copie");
  EXPECT_EQ(ProgressStep(meter.get()), 1);
  EXPECT_EQ(ProgressSetPosition(meter.get(), 3000), 1);
  EXPECT_EQ(log, (std::vector<std::string>{"range 500", "text Copie", "step", "pos 300"}));
  EXPECT_EQ(services.pumps, 0);

  ProgressCancel();  // Esc elsewhere
  EXPECT_EQ(ProgressStep(meter.get()), 1);
  ProgressResetCancel(foreground.get());

  SetTaskStopRequest(task::OptimizeTrial, true);
  EXPECT_EQ(ProgressStep(meter.get()), 0);
  EXPECT_EQ(ProgressStep(foreground.get()), 1);  // the stop is not the foreground's
  EXPECT_EQ(log.size(), 5u);                     // nothing drawn once stopped
  meter.reset();
  EXPECT_EQ(ProgressStep(foreground.get()), 1);
}

// A task that clears its stop request a moment before a late request lands must not leave
// that request behind for its next run.
TEST_F(ProgressTest, StopTasksLeavesNoStopRequestBehind) {
  SetTaskRunning(task::OptimizeTrial, true);
  std::thread sloppy([] {
    while (!TaskStopRequested(task::OptimizeTrial)) std::this_thread::sleep_for(1ms);
    SetTaskRunning(task::OptimizeTrial, false);
  });
  StopTasks(task::OptimizeTrial);
  sloppy.join();
  EXPECT_EQ(TaskStopRequested(task::All), 0u);
}

TEST_F(ProgressTest, BackgroundTaskIsStoppedThroughItsMeter) {
  std::atomic<int> steps{0}, dones{0};
  std::atomic<bool> sawStop{false}, reportedStop{false};
  ASSERT_TRUE(StartBackgroundTask(
      task::SizeEstimate,
      [&](ProgressMeter* meter) {
        ProgressSetRange(meter, 1000000);
        while (ProgressStep(meter)) {
          ++steps;
          std::this_thread::sleep_for(1ms);
        }
        sawStop = TaskStopRequested(task::SizeEstimate) != 0;
      },
      [&](bool stopped) {
        reportedStop = stopped;
        ++dones;
      }));
  EXPECT_TRUE(TaskRunning(task::SizeEstimate));
  while (steps < 3) std::this_thread::sleep_for(1ms);
  StopTasks(task::SizeEstimate);
  EXPECT_EQ(TaskRunning(task::All), 0u);
  EXPECT_EQ(TaskStopRequested(task::All), 0u);
  ShutdownBackgroundTasks();  // joins, so done has run
  EXPECT_TRUE(sawStop);
  EXPECT_TRUE(reportedStop);
  EXPECT_EQ(dones, 1);
  EXPECT_EQ(popupsMade, 0);
}

TEST_F(ProgressTest, BackgroundTaskRestartStopsTheRunningOneFirst) {
  std::atomic<int> runs{0}, stoppedRuns{0};
  std::atomic<bool> started{false};
  auto forever = [&](ProgressMeter* meter) {
    ++runs;
    started = true;
    while (ProgressStep(meter)) std::this_thread::sleep_for(1ms);
  };
  auto count = [&](bool stopped) { stoppedRuns += stopped; };
  ASSERT_TRUE(StartBackgroundTask(task::OptimizeTrial, forever, count));
  while (!started) std::this_thread::sleep_for(1ms);
  ASSERT_TRUE(StartBackgroundTask(task::OptimizeTrial, forever, count, true));
  EXPECT_TRUE(TaskRunning(task::OptimizeTrial));
  EXPECT_EQ(TaskStopRequested(task::OptimizeTrial), 0u);  // the new run starts clean
  StopTasks(task::OptimizeTrial);
  ShutdownBackgroundTasks();
  EXPECT_EQ(runs, 2);
  EXPECT_EQ(stoppedRuns, 2);

  // A run that ends by itself, awaited with WaitTasks.
  std::atomic<bool> finished{false};
  ASSERT_TRUE(StartBackgroundTask(
      task::ColourCount,
      [&](ProgressMeter*) {
        std::this_thread::sleep_for(20ms);
        finished = true;
      },
      [&](bool stopped) { stoppedRuns += stopped; }));
  WaitTasks(task::ColourCount, true);
  EXPECT_TRUE(finished);
  EXPECT_EQ(services.busy, 0);
  ShutdownBackgroundTasks();
  EXPECT_EQ(stoppedRuns, 2);

  EXPECT_FALSE(StartBackgroundTask(task::SizeEstimate | task::ColourCount, forever));
  EXPECT_FALSE(StartBackgroundTask(0, forever));
  EXPECT_EQ(TaskRunning(task::All), 0u);
}

// Error boxes and questions, seen through the headless services.
TEST_F(ProgressTest, ShowErrorFormatsUnderTheErrorCaption) {
  ShowError("Impossible de sauvegarder '%s' (%d).", "anim.gif", 3);
  ShowError(nullptr);
  std::string accents;
  for (int i = 0; i < 1500; ++i) accents += "é";
  ShowError("%s", accents.c_str());
  auto shown = services.Messages();
  ASSERT_EQ(shown.size(), 3u);
  EXPECT_EQ(shown[0].caption, "Erreur");
  EXPECT_EQ(shown[0].text, "Impossible de sauvegarder 'anim.gif' (3).");
  EXPECT_EQ(shown[0].style, mb::Ok | mb::IconExclamation | mb::TaskModal);
  EXPECT_EQ(shown[0].answer, answer::Ok);
  EXPECT_EQ(shown[1].text, "");
  EXPECT_EQ(shown[2].text.size(), 2048u);  // 1024 characters, none cut in half
}

TEST_F(ProgressTest, AskUserTakesScriptedAnswersThenTheDefaultButton) {
  services.QueueAnswer(answer::No);
  services.QueueAnswer(answer::Cancel);
  ShowError("between");  // an OK box does not use up the script
  EXPECT_EQ(AskUser(nullptr, 40325, 40325, mb::YesNo | mb::IconExclamation), answer::No);
  EXPECT_EQ(AskUser(nullptr, 40325, 40325, mb::OkCancel | mb::IconExclamation), answer::Cancel);
  EXPECT_EQ(AskUser(nullptr, 40325, 40325, 52), answer::Yes);
  EXPECT_EQ(AskUser(nullptr, 40325, 40325, 49 | mb::DefButton2), answer::Cancel);
  EXPECT_EQ(AskUser(nullptr, 1, 2, 48), answer::Ok);
  auto shown = services.Messages();
  ASSERT_EQ(shown.size(), 6u);
  EXPECT_EQ(shown[1].style, 52 | mb::TaskModal);
  EXPECT_EQ(shown[1].text, "Erreur");
  EXPECT_EQ(shown[5].text, "");  // ids without text
  EXPECT_EQ(shown[5].caption, "");
  EXPECT_EQ(services.PendingAnswers(), 0u);
}

}  // namespace
}  // namespace lw
