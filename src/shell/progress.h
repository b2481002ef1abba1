// Progress reports and cancellation for long operations, and the coordination of background tasks.
#pragma once

#include <cstdint>
#include <string>

#include "platform/services.h"

namespace lw {

// Mode flags of a meter.
namespace progress {
constexpr uint32_t Silent = 0x1;     // nothing shown
constexpr uint32_t OwnPopup = 0x2;   // its own popup, created at the first range or text call
constexpr uint32_t InDialog = 0x4;   // bar and text belong to the owner dialog
constexpr uint32_t NoPump = 0x8;     // do not pump events
}  // namespace progress

// Background task bits.
namespace task {
constexpr uint32_t SizeEstimate = 0x1;
constexpr uint32_t ColourCount = 0x2;
constexpr uint32_t OptimizeTrial = 0x4;
constexpr uint32_t ReducePreview = 0x8;
}  // namespace task

// What a meter shows on screen; the interface supplies it (a popup, or a dialog's controls).
class ProgressView {
 public:
  virtual ~ProgressView() = default;
  virtual void SetRange(int total) = 0;
  virtual void SetPosition(int position) = 0;
  virtual void Step() = 0;
  virtual void SetText(const std::string& text) = 0;  // empty clears
  virtual void Refocus() {}
};

struct ProgressMeter;

// Every function accepts a null meter: it does nothing and answers continue (1).
ProgressMeter* CreateProgressMeter(WindowHandle owner, uint32_t flags, uint32_t taskMask);
ProgressMeter* CreateProgressMeterIn(WindowHandle dialog, uint32_t flags, uint32_t taskMask,
                                     ProgressView* controls);
void ProgressSetRange(ProgressMeter* meter, uint32_t total);
void ProgressSetText(ProgressMeter* meter, const char* text);
int ProgressStep(ProgressMeter* meter);
int ProgressSetPosition(ProgressMeter* meter, uint32_t position);
uint32_t ProgressFlags(const ProgressMeter* meter);
uint32_t ProgressSetFlags(ProgressMeter* meter, uint32_t flags);
void ProgressResetCancel(ProgressMeter* meter);
void ProgressRefocus(ProgressMeter* meter);
void ProgressClose(ProgressMeter* meter);
// Closes (when still open) and frees the record.
void DestroyProgressMeter(ProgressMeter* meter);

// Esc or Cancel in a meter's popup.
void ProgressCancel();

// Background tasks: two program-wide masks, running and stop-requested.
uint32_t TaskRunning(uint32_t mask);
uint32_t TaskStopRequested(uint32_t mask);
void SetTaskRunning(uint32_t mask, bool on);
void SetTaskStopRequest(uint32_t mask, bool on);
void StopTasks(uint32_t mask);
void WaitTasks(uint32_t mask, bool showHourglass);
void StopTasksPumping(uint32_t mask, WindowHandle dialog);

}  // namespace lw
