#include "base/progress.h"

#include <algorithm>
#include <atomic>
#include <bit>
#include <chrono>
#include <mutex>
#include <new>
#include <system_error>
#include <thread>
#include <utility>

namespace lw {
namespace {

std::atomic<uint32_t> running{0};
std::atomic<uint32_t> stopRequested{0};
std::atomic<int> continueFlag{1};

ProgressPopupFactory& PopupFactory() {
  static ProgressPopupFactory factory;
  return factory;
}

ProgressView* statusView = nullptr;

void Sleep(int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

}  // namespace

struct ProgressMeter {
  WindowHandle owner = nullptr;
  uint32_t flags = 0;
  uint32_t taskMask = 0;
  uint32_t divisor = 1;
  int range = 100;                   // what a bar starts with before any range call
  ProgressView* controls = nullptr;  // the dialog's, borrowed
  ProgressView* status = nullptr;    // the status bar's, borrowed
  std::unique_ptr<ProgressView> popup;
  bool busyCursor = false;
  bool closed = false;
  bool stopped = false;  // silent meters only: their task was asked to stop

  bool Silent() const { return flags & progress::Silent; }
  // Answers from its own task bits and leaves the shared continue flag alone.
  bool Detached() const { return flags & (progress::Silent | progress::Background); }
  ProgressView* View() const { return popup ? popup.get() : controls ? controls : status; }
};

namespace {

ProgressMeter* NewMeter(WindowHandle owner, uint32_t flags, uint32_t taskMask,
                        ProgressView* controls) {
  ProgressMeter* meter = new (std::nothrow) ProgressMeter;
  if (!meter) return nullptr;
  meter->owner = owner;
  meter->flags = flags;
  meter->taskMask = taskMask;
  meter->controls = controls;
  if (owner && !controls && !(flags & (progress::Silent | progress::OwnPopup)))
    meter->status = statusView;
  if (!meter->Detached()) continueFlag = 1;
  return meter;
}

void EnsurePopup(ProgressMeter* meter) {
  meter->closed = false;
  if (meter->Silent() || !(meter->flags & progress::OwnPopup) || meter->popup) return;
  const ProgressPopupFactory& factory = PopupFactory();
  if (!factory) return;
  try {
    meter->popup = factory(meter->owner);
  } catch (...) {
    // No popup: the work goes on with a meter that only answers.
    meter->popup.reset();
  }
  if (meter->popup && !meter->busyCursor) {
    Services().SetBusyCursor(true);
    meter->busyCursor = true;
  }
}

void Pump(ProgressMeter* meter) {
  if (TaskStopRequested(meter->taskMask)) {
    if (meter->Detached())
      meter->stopped = true;
    else
      continueFlag = 0;
    return;
  }
  if (meter->flags & (progress::Silent | progress::NoPump | progress::Background)) return;
  Services().PumpEvents();
}

int Answer(const ProgressMeter* meter) {
  if (meter->Detached()) return meter->stopped ? 0 : 1;
  return continueFlag.load();
}

}  // namespace

void SetProgressPopupFactory(ProgressPopupFactory factory) { PopupFactory() = std::move(factory); }

void SetStatusProgressView(ProgressView* view) { statusView = view; }

ProgressMeter* CreateProgressMeter(WindowHandle owner, uint32_t flags, uint32_t taskMask) {
  return NewMeter(owner, flags, taskMask, nullptr);
}

ProgressMeter* CreateProgressMeterIn(WindowHandle dialog, uint32_t flags, uint32_t taskMask,
                                     ProgressView* controls) {
  if (!dialog) return nullptr;
  return NewMeter(dialog, flags, taskMask, controls);
}

void ProgressSetRange(ProgressMeter* meter, uint32_t total) {
  if (!meter || meter->Silent()) return;
  EnsurePopup(meter);
  meter->divisor = 1;
  while (total > progress::MaxRange) {
    meter->divisor *= 10;
    total /= 10;
  }
  meter->range = static_cast<int>(total);
  if (ProgressView* view = meter->View()) view->SetRange(meter->range);
}

void ProgressSetText(ProgressMeter* meter, const char* text) {
  if (!meter || meter->Silent()) return;
  EnsurePopup(meter);
  if (ProgressView* view = meter->View()) {
    try {
      view->SetText(text ? std::string(text) : std::string());
    } catch (const std::bad_alloc&) {
      // The text line keeps its old text.
    }
  }
}

int ProgressStep(ProgressMeter* meter) {
  if (!meter) return 1;
  Pump(meter);
  int answer = Answer(meter);
  if (answer && !meter->Silent())
    if (ProgressView* view = meter->View()) view->Step();
  return answer;
}

int ProgressSetPosition(ProgressMeter* meter, uint32_t position) {
  if (!meter) return 1;
  Pump(meter);
  int answer = Answer(meter);
  if (answer && !meter->Silent()) {
    if (ProgressView* view = meter->View()) {
      uint32_t scaled = position / meter->divisor;
      view->SetPosition(static_cast<int>(std::min<uint32_t>(scaled, meter->range)));
    }
  }
  return answer;
}

uint32_t ProgressFlags(const ProgressMeter* meter) { return meter ? meter->flags : 0; }

uint32_t ProgressSetFlags(ProgressMeter* meter, uint32_t flags) {
  if (!meter) return 0;
  uint32_t previous = meter->flags;
  meter->flags = flags;
  return previous;
}

uint32_t ProgressScaleDivisor(const ProgressMeter* meter) { return meter ? meter->divisor : 1; }

void ProgressResetCancel(ProgressMeter* meter) {
  if (!meter) return;
  meter->stopped = false;
  if (!meter->Detached()) continueFlag = 1;
}

void ProgressRefocus(ProgressMeter* meter) {
  if (!meter || !meter->popup) return;
  if (!meter->busyCursor) {
    Services().SetBusyCursor(true);
    meter->busyCursor = true;
  }
  meter->popup->Refocus();
}

void ProgressClose(ProgressMeter* meter) {
  if (!meter) return;
  if (meter->busyCursor) {
    Services().SetBusyCursor(false);
    meter->busyCursor = false;
  }
  meter->popup.reset();
  if (meter->status && !meter->closed) meter->status->Finished();
  meter->stopped = false;
  meter->closed = true;
  if (!meter->Detached()) continueFlag = 1;
}

void DestroyProgressMeter(ProgressMeter* meter) {
  if (!meter) return;
  if (!meter->closed) ProgressClose(meter);
  delete meter;
}

void ProgressCancel() { continueFlag = 0; }

uint32_t TaskRunning(uint32_t mask) { return running.load() & mask; }

uint32_t TaskStopRequested(uint32_t mask) { return stopRequested.load() & mask; }

void SetTaskRunning(uint32_t mask, bool on) {
  if (on)
    running.fetch_or(mask);
  else
    running.fetch_and(~mask);
}

void SetTaskStopRequest(uint32_t mask, bool on) {
  if (on)
    stopRequested.fetch_or(mask);
  else
    stopRequested.fetch_and(~mask);
}

namespace {

// A task may clear its stop request just before a late request lands and then end: clear what
// is left once the task has gone, or its next run would stop at its first report.
void ClearStaleStops(uint32_t mask) { SetTaskStopRequest(mask & ~TaskRunning(mask), false); }

}  // namespace

void StopTasks(uint32_t mask) {
  uint32_t busy = TaskRunning(mask);
  if (!busy) return;
  SetTaskStopRequest(busy, true);
  while (TaskRunning(busy)) Sleep(10);
  ClearStaleStops(busy);
}

void WaitTasks(uint32_t mask, bool showHourglass) {
  if (!TaskRunning(mask)) return;
  if (showHourglass) Services().SetBusyCursor(true);
  while (TaskRunning(mask)) Sleep(10);
  if (showHourglass) Services().SetBusyCursor(false);
}

void StopTasksPumping(uint32_t mask, WindowHandle) {
  uint32_t busy = TaskRunning(mask);
  if (!busy) return;
  SetTaskStopRequest(busy, true);
  while (TaskRunning(busy)) {
    Sleep(3);
    Services().PumpEvents();
  }
  ClearStaleStops(busy);
}

namespace {

// One thread slot per task bit; a finished thread is joined when its bit starts again or at
// the end, so no thread outlives the program's statics.
struct TaskThreads {
  std::mutex mutex;
  std::thread slots[32];

  ~TaskThreads() { JoinAll(); }

  // Only the bits started here: a bit someone set by hand is not ours to wait for.
  void JoinAll() {
    std::lock_guard<std::mutex> lock(mutex);
    uint32_t started = 0;
    for (int i = 0; i < 32; ++i)
      if (slots[i].joinable()) started |= 1u << i;
    StopTasks(started);
    for (std::thread& t : slots)
      if (t.joinable()) t.join();
  }
};

TaskThreads& Threads() {
  static TaskThreads threads;
  return threads;
}

void RunTask(uint32_t bit, ProgressMeter* meter, const BackgroundWork& work,
             const BackgroundDone& done) {
  try {
    work(meter);
  } catch (...) {
    // Nothing may leave the thread; a failed run is a run without a result.
  }
  DestroyProgressMeter(meter);
  bool stopped = (stopRequested.fetch_and(~bit) & bit) != 0;
  SetTaskRunning(bit, false);
  if (done) {
    try {
      done(stopped);
    } catch (...) {
    }
  }
}

}  // namespace

bool StartBackgroundTask(uint32_t bit, BackgroundWork work, BackgroundDone done,
                         bool pumpWhileStopping) {
  if (!std::has_single_bit(bit) || !work) return false;
  if (TaskRunning(bit)) {
    if (pumpWhileStopping)
      StopTasksPumping(bit, nullptr);
    else
      StopTasks(bit);
  }
  TaskThreads& threads = Threads();
  std::lock_guard<std::mutex> lock(threads.mutex);
  std::thread& slot = threads.slots[std::countr_zero(bit)];
  // Its running bit is clear, so at most the done callback is left to run.
  if (slot.joinable()) slot.join();

  ProgressMeter* meter = CreateProgressMeter(nullptr, progress::Silent, bit);
  if (!meter) return false;
  SetTaskStopRequest(bit, false);
  SetTaskRunning(bit, true);
  try {
    slot = std::thread(RunTask, bit, meter, std::move(work), std::move(done));
  } catch (...) {
    SetTaskRunning(bit, false);
    DestroyProgressMeter(meter);
    return false;
  }
  return true;
}

void ShutdownBackgroundTasks() { Threads().JoinAll(); }

}  // namespace lw
