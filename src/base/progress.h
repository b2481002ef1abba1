// Progress reports and cancellation for long operations, and the coordination of background tasks.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "platform/services.h"

namespace lw {

// Mode flags of a meter.
namespace progress {
constexpr uint32_t Silent = 0x1;    // nothing shown
constexpr uint32_t OwnPopup = 0x2;  // its own popup, created at the first range or text call
constexpr uint32_t InDialog = 0x4;  // bar and text belong to the owner dialog
constexpr uint32_t NoPump = 0x8;    // do not pump events
// Reports from a background task shown on screen: answers from its task bits alone, as a silent
// meter does, never pumps, and its controls take calls from any thread.
constexpr uint32_t Background = 0x10;
constexpr uint32_t MaxRange = 1000;  // bars never get a larger range; the divisor scales down
constexpr int PumpPauseMs = 5;       // between two pumps while RunPumping waits for its work
}  // namespace progress

// Background task bits.
namespace task {
constexpr uint32_t SizeEstimate = 0x1;
constexpr uint32_t ColourCount = 0x2;
constexpr uint32_t OptimizeTrial = 0x4;
constexpr uint32_t ReducePreview = 0x8;
constexpr uint32_t All = 0xFFFFFFFFu;
}  // namespace task

// What a meter shows on screen is a ProgressView (platform/services.h): a popup the services
// open for meters with their own popup, or a dialog's controls.

// Meters with an owner but neither their own popup nor a dialog's controls report in the status
// bar: the window installs its bar here (none, the default, shows nothing). Interface thread only.
void SetStatusProgressView(ProgressView* view);

struct ProgressMeter;

// Every function accepts a null meter: it does nothing and answers continue (1).
//
// Foreground meters share one program-wide continue flag, set back to 1 when a meter is created,
// reset or closed, and cleared by ProgressCancel (Esc) or by a pump that finds one of the meter's
// task bits stop-requested. Silent meters are the ones background tasks report through, off the
// interface thread: they answer from their own task bits only and never touch the shared flag,
// so a task ending cannot swallow the user's Esc and a stop request cannot cancel the
// foreground work.
//
// Returns none when memory runs out (a null meter answers continue).
ProgressMeter* CreateProgressMeter(WindowHandle owner, uint32_t flags, uint32_t taskMask);
// A meter on a dialog's own bar and text (borrowed: the dialog keeps them alive). None without
// a dialog.
ProgressMeter* CreateProgressMeterIn(WindowHandle dialog, uint32_t flags, uint32_t taskMask,
                                     ProgressView* controls);
// Range 0..total, scaled down by powers of ten to at most 1000.
void ProgressSetRange(ProgressMeter* meter, uint32_t total);
// UTF-8; null clears.
void ProgressSetText(ProgressMeter* meter, const char* text);
// Pump, then advance one step; 1 continue, 0 cancelled.
int ProgressStep(ProgressMeter* meter);
// Pump, then move to position (in the caller's units); 1 continue, 0 cancelled.
int ProgressSetPosition(ProgressMeter* meter, uint32_t position);
uint32_t ProgressFlags(const ProgressMeter* meter);
// Runs work on a thread of its own while the calling thread shows what work reports through
// meter and keeps pumping events, every few milliseconds however slow each report is; returns
// once work has returned. Reports from other threads than the caller's are queued and shown
// by the caller; a meter with its own popup shows it before work starts. Without a meter, or
// with one that must not pump (silent, NoPump, background), work simply runs here.
void RunPumping(ProgressMeter* meter, const std::function<void()>& work);
// Replaces the mode flags; returns the previous ones.
uint32_t ProgressSetFlags(ProgressMeter* meter, uint32_t flags);
// Continue again, before a meter is reused for another run.
void ProgressResetCancel(ProgressMeter* meter);
// After a message box in the middle of the work: the popup takes the focus back.
void ProgressRefocus(ProgressMeter* meter);
// Removes the popup and restores the cursor; the meter answers continue again.
void ProgressClose(ProgressMeter* meter);
// Closes (when still open) and frees the record.
void DestroyProgressMeter(ProgressMeter* meter);

// The current divisor (1 for none), for callers that draw their own bar.
uint32_t ProgressScaleDivisor(const ProgressMeter* meter);

struct ProgressMeterDeleter {
  void operator()(ProgressMeter* meter) const { DestroyProgressMeter(meter); }
};
using ProgressMeterPtr = std::unique_ptr<ProgressMeter, ProgressMeterDeleter>;

// Esc or Cancel in a meter's popup: every foreground meter answers cancelled until a meter is
// created, reset or closed.
void ProgressCancel();
// Whether the meter's work was cancelled (what its next report would answer), without pumping
// or moving the bar. A null meter is never cancelled.
bool ProgressCancelled(const ProgressMeter* meter);

// Tests only: runs on the reporting thread at every step or position report of a foreground
// meter, just before the report answers, so that a test can hold long work at a known point
// (and so make it take time on purpose). Set it only while no foreground work runs; none to
// remove it.
void SetProgressReportHookForTests(std::function<void()> hook);

// Background tasks: two program-wide masks, running and stop-requested. Bits change one atomic
// set or clear at a time, so a task clearing its own bits never loses another's.
uint32_t TaskRunning(uint32_t mask);
uint32_t TaskStopRequested(uint32_t mask);
void SetTaskRunning(uint32_t mask, bool on);
void SetTaskStopRequest(uint32_t mask, bool on);
// Asks the running tasks of mask to stop and waits (10 ms polls) until none runs. Tasks that do
// not run are left alone: no stop request is set for them.
void StopTasks(uint32_t mask);
// Waits (10 ms polls) until no task of mask runs, with the hourglass when asked.
void WaitTasks(uint32_t mask, bool showHourglass);
// Like StopTasks from inside a dialog: 3 ms polls, pumping events in between.
void StopTasksPumping(uint32_t mask, WindowHandle dialog);

// Starts background work for one task bit on its own thread: stops a running task of the same
// bit first (pumping when pumpWhileStopping, as from a dialog), sets the running bit, and runs
// work with a silent meter watching the bit. When work returns, its meter is closed, the task's
// stop request cleared and its running bit cleared last; then done (when given) runs on the
// same thread with whether a stop was requested, so that a stopped run's result is discarded.
// Returns false (nothing started, no bit set) when bit is not a single bit or the thread or
// meter could not be made. Only the interface thread starts tasks.
using BackgroundWork = std::function<void(ProgressMeter* meter)>;
using BackgroundDone = std::function<void(bool stopped)>;
bool StartBackgroundTask(uint32_t bit, BackgroundWork work, BackgroundDone done = {},
                         bool pumpWhileStopping = false);

// Stops every background task and joins their threads (at the end of the program; also run at
// exit as a safety net).
void ShutdownBackgroundTasks();

}  // namespace lw
