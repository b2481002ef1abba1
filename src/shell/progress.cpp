#include "shell/progress.h"

#include <atomic>
#include <chrono>
#include <thread>

namespace lw {

// Background task masks and a meter that only answers; the full meter comes next.
namespace {
std::atomic<uint32_t> running{0};
std::atomic<uint32_t> stopRequested{0};
std::atomic<int> continueFlag{1};
}  // namespace

struct ProgressMeter {
  uint32_t flags = 0;
  uint32_t taskMask = 0;
};

ProgressMeter* CreateProgressMeter(WindowHandle, uint32_t flags, uint32_t taskMask) {
  continueFlag = 1;
  return new ProgressMeter{flags, taskMask};
}
ProgressMeter* CreateProgressMeterIn(WindowHandle, uint32_t flags, uint32_t taskMask, ProgressView*) {
  continueFlag = 1;
  return new ProgressMeter{flags, taskMask};
}
void ProgressSetRange(ProgressMeter*, uint32_t) {}
void ProgressSetText(ProgressMeter*, const char*) {}
int ProgressStep(ProgressMeter* meter) {
  if (!meter) return 1;
  if (stopRequested & meter->taskMask) continueFlag = 0;
  return continueFlag;
}
int ProgressSetPosition(ProgressMeter* meter, uint32_t) { return ProgressStep(meter); }
uint32_t ProgressFlags(const ProgressMeter* meter) { return meter ? meter->flags : 0; }
uint32_t ProgressSetFlags(ProgressMeter* meter, uint32_t flags) {
  if (!meter) return 0;
  uint32_t old = meter->flags;
  meter->flags = flags;
  return old;
}
void ProgressResetCancel(ProgressMeter*) { continueFlag = 1; }
void ProgressRefocus(ProgressMeter*) {}
void ProgressClose(ProgressMeter*) { continueFlag = 1; }
void DestroyProgressMeter(ProgressMeter* meter) {
  if (meter) ProgressClose(meter);
  delete meter;
}
void ProgressCancel() { continueFlag = 0; }

uint32_t TaskRunning(uint32_t mask) { return running & mask; }
uint32_t TaskStopRequested(uint32_t mask) { return stopRequested & mask; }
void SetTaskRunning(uint32_t mask, bool on) {
  if (on) running |= mask; else running &= ~mask;
}
void SetTaskStopRequest(uint32_t mask, bool on) {
  if (on) stopRequested |= mask; else stopRequested &= ~mask;
}
void StopTasks(uint32_t mask) {
  uint32_t r = TaskRunning(mask);
  if (!r) return;
  SetTaskStopRequest(r, true);
  while (TaskRunning(mask)) std::this_thread::sleep_for(std::chrono::milliseconds(10));
}
void WaitTasks(uint32_t mask, bool) {
  while (TaskRunning(mask)) std::this_thread::sleep_for(std::chrono::milliseconds(10));
}
void StopTasksPumping(uint32_t mask, WindowHandle) { StopTasks(mask); }

}  // namespace lw
