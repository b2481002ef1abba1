#include "base/progress.h"

#include <algorithm>
#include <atomic>
#include <bit>
#include <chrono>
#include <condition_variable>
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

ProgressView* statusView = nullptr;

std::function<void()>& ReportHook() {
  static std::function<void()> hook;
  return hook;
}

void Sleep(int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

}  // namespace

namespace {

// What work on a thread of its own reported since the pumping thread last looked.
struct Pending {
  bool popup = false;  // a range or text call: the popup is wanted
  bool range = false;
  int rangeTotal = 0;
  int position = -1;  // -1: none since the last range
  int steps = 0;      // steps since the last range or position
  bool text = false;
  std::string textValue;
  bool refocus = false;
};

struct Relay {
  std::thread::id home;  // the thread that shows and pumps
  std::mutex mutex;
  Pending pending;
};

}  // namespace

struct ProgressMeter {
  WindowHandle owner = nullptr;
  std::atomic<uint32_t> flags{0};  // the work may change them while the pumping thread reads
  uint32_t taskMask = 0;
  uint32_t divisor = 1;
  int range = 100;                   // what a bar starts with before any range call
  ProgressView* controls = nullptr;  // the dialog's, borrowed
  ProgressView* status = nullptr;    // the status bar's, borrowed
  std::unique_ptr<ProgressView> popup;
  bool busyCursor = false;
  bool closed = false;
  std::atomic<bool> stopped{false};  // silent meters only: their task was asked to stop
  // Set while RunPumping runs the work elsewhere: calls from other threads than home are
  // queued here instead of touching the view.
  Relay* relay = nullptr;

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
  try {
    meter->popup = Services().OpenProgressPopup(meter->owner);
  } catch (...) {
    // No popup: the work goes on with a meter that only answers.
    meter->popup.reset();
  }
  if (meter->popup && !meter->busyCursor) {
    Services().SetBusyCursor(true);
    meter->busyCursor = true;
  }
}

// The relay when the calling thread is not the one that shows the meter.
Relay* RelayOf(const ProgressMeter* meter) {
  Relay* relay = meter->relay;
  return relay && relay->home != std::this_thread::get_id() ? relay : nullptr;
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
  if (RelayOf(meter)) return;  // the home thread is pumping already
  Services().PumpEvents();
}

int Answer(const ProgressMeter* meter) {
  if (meter->Detached()) return meter->stopped ? 0 : 1;
  return continueFlag.load();
}

// A report of foreground work: the test hook, if any, then the answer.
int Report(ProgressMeter* meter) {
  Pump(meter);
  if (!meter->Detached()) {
    if (const std::function<void()>& hook = ReportHook()) hook();
  }
  return Answer(meter);
}

}  // namespace

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
  if (!RelayOf(meter)) EnsurePopup(meter);
  meter->divisor = 1;
  while (total > progress::MaxRange) {
    meter->divisor *= 10;
    total /= 10;
  }
  meter->range = static_cast<int>(total);
  if (Relay* relay = RelayOf(meter)) {
    std::lock_guard<std::mutex> lock(relay->mutex);
    Pending& p = relay->pending;
    p.popup = p.range = true;
    p.rangeTotal = meter->range;
    p.position = -1;
    p.steps = 0;
    return;
  }
  if (ProgressView* view = meter->View()) view->SetRange(meter->range);
}

void ProgressSetText(ProgressMeter* meter, const char* text) {
  if (!meter || meter->Silent()) return;
  if (Relay* relay = RelayOf(meter)) {
    std::lock_guard<std::mutex> lock(relay->mutex);
    try {
      relay->pending.textValue = text ? std::string(text) : std::string();
      relay->pending.popup = relay->pending.text = true;
    } catch (const std::bad_alloc&) {
    }
    return;
  }
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
  int answer = Report(meter);
  if (!answer || meter->Silent()) return answer;
  if (Relay* relay = RelayOf(meter)) {
    std::lock_guard<std::mutex> lock(relay->mutex);
    ++relay->pending.steps;
  } else if (ProgressView* view = meter->View()) {
    view->Step();
  }
  return answer;
}

int ProgressSetPosition(ProgressMeter* meter, uint32_t position) {
  if (!meter) return 1;
  int answer = Report(meter);
  if (!answer || meter->Silent()) return answer;
  int scaled = static_cast<int>(std::min<uint32_t>(position / meter->divisor, meter->range));
  if (Relay* relay = RelayOf(meter)) {
    std::lock_guard<std::mutex> lock(relay->mutex);
    relay->pending.position = scaled;
    relay->pending.steps = 0;
  } else if (ProgressView* view = meter->View()) {
    view->SetPosition(scaled);
  }
  return answer;
}

uint32_t ProgressFlags(const ProgressMeter* meter) { return meter ? meter->flags.load() : 0u; }

uint32_t ProgressSetFlags(ProgressMeter* meter, uint32_t flags) {
  if (!meter) return 0;
  return meter->flags.exchange(flags);
}

uint32_t ProgressScaleDivisor(const ProgressMeter* meter) { return meter ? meter->divisor : 1; }

void ProgressResetCancel(ProgressMeter* meter) {
  if (!meter) return;
  meter->stopped = false;
  if (!meter->Detached()) continueFlag = 1;
}

void ProgressRefocus(ProgressMeter* meter) {
  if (!meter) return;
  if (Relay* relay = RelayOf(meter)) {
    std::lock_guard<std::mutex> lock(relay->mutex);
    relay->pending.refocus = true;
    return;
  }
  if (!meter->popup) return;
  if (!meter->busyCursor) {
    Services().SetBusyCursor(true);
    meter->busyCursor = true;
  }
  meter->popup->Refocus();
}

void ProgressClose(ProgressMeter* meter) {
  // Only the thread that shows the meter removes its popup.
  if (!meter || RelayOf(meter)) return;
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

namespace {

// Shows on the home thread what the work reported since the last look.
void ShowPending(ProgressMeter* meter, Relay& relay) {
  Pending p;
  {
    std::lock_guard<std::mutex> lock(relay.mutex);
    std::swap(p, relay.pending);
  }
  if (p.popup) EnsurePopup(meter);
  if (ProgressView* view = meter->View()) {
    if (p.range) view->SetRange(p.rangeTotal);
    if (p.position >= 0) view->SetPosition(p.position);
    for (int i = 0; i < std::min<int>(p.steps, progress::MaxRange + 1); ++i) view->Step();
    if (p.text) view->SetText(p.textValue);
  }
  if (p.refocus) ProgressRefocus(meter);
}

}  // namespace

void RunPumping(ProgressMeter* meter, const std::function<void()>& work) {
  if (!meter || meter->relay ||
      (meter->flags & (progress::Silent | progress::NoPump | progress::Background))) {
    work();
    return;
  }
  // The popup comes before the work starts: it keeps input away from the window from the
  // first pump on, and it is on screen at once.
  if (meter->flags & progress::OwnPopup) EnsurePopup(meter);
  Relay relay;
  relay.home = std::this_thread::get_id();
  meter->relay = &relay;
  // The pause between pumps ends as soon as the work does, so short work costs no pause.
  std::mutex doneMutex;
  std::condition_variable doneSignal;
  bool done = false;
  std::thread worker;
  try {
    worker = std::thread([&] {
      try {
        work();
      } catch (...) {
        // Nothing may leave the thread; the work's own results say what was done.
      }
      std::lock_guard<std::mutex> lock(doneMutex);
      done = true;
      doneSignal.notify_one();
    });
  } catch (...) {
    meter->relay = nullptr;
    work();
    return;
  }
  for (;;) {
    ShowPending(meter, relay);
    Services().PumpEvents();
    std::unique_lock<std::mutex> lock(doneMutex);
    if (doneSignal.wait_for(lock, std::chrono::milliseconds(progress::PumpPauseMs),
                            [&] { return done; }))
      break;
  }
  worker.join();
  meter->relay = nullptr;
  ShowPending(meter, relay);
}

void ProgressCancel() { continueFlag = 0; }

bool ProgressCancelled(const ProgressMeter* meter) { return meter && !Answer(meter); }

void SetProgressReportHookForTests(std::function<void()> hook) { ReportHook() = std::move(hook); }

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
