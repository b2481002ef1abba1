// Recording the screen into an animation. A thread of its own takes a picture of the area at
// each step of the chosen rate, on the steady clock, and writes it to a temporary file
// (RecordingFile), so memory stays flat however long it runs; on stop the pictures become frames
// whose delays come from the times they were taken. The frames keep their 24-bit pictures: their
// colours are chosen later, at the quality the save asks for, as for a clip.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "core/animation.h"
#include "core/delay_units.h"
#include "formats/record/recording_file.h"
#include "platform/screen_capture.h"

namespace lw {

struct ProgressMeter;

constexpr uint32_t kMaxRecordRate = 50;

struct RecordOptions {
  CaptureArea area;
  uint32_t fps = 15;  // 1 to kMaxRecordRate
  bool pointer = false;
  int64_t durationMs = 0;       // 0: until Stop
  Timing timing;                // the delay units of the frames made, and the new animation's plays
  std::string tempFolder;       // empty: the system's temporary folder
  uint64_t tempLimitBytes = 0;  // the most the temporary file may take (0: what the disk has)
  uint64_t budgetBytes = 0;     // the most the frames may take once read back (0: the budget)
};

// Why a recording ended.
enum class RecordEnd { Running, Duration, Stopped, DiskFull, CaptureFailed, Full };

// Where the pictures start on the document's time: each start rounded on the running total (so the
// frames last as long as the recording did, whatever the units), none lasting less than 0.02 s
// (a later start is pushed back and the ones after catch up). startsUs ascending, from the
// recording's start; the last picture lasts until endUs. Delays in the units given, possibly
// above what one GIF frame holds.
std::vector<uint64_t> RecordedDelays(const std::vector<int64_t>& startsUs, int64_t endUs,
                                     DelayUnits units);

// Shows why the screen cannot be recorded. area and the screen's size are for OutsideScreen.
void ShowCaptureError(CaptureError error, const CaptureArea& area = {}, uint32_t screenWidth = 0,
                      uint32_t screenHeight = 0);

class Recorder {
 public:
  struct Progress {
    int64_t elapsedUs = 0;   // recording time, pauses left out
    uint32_t pictures = 0;   // pictures taken
    uint32_t frames = 0;     // pictures kept (the others repeated the one before)
    uint32_t dropped = 0;    // steps the thread was too late for
    uint64_t fileBytes = 0;  // what the temporary file holds
    bool paused = false;
    RecordEnd end = RecordEnd::Running;
  };

  // Starts recording at once. None when the area cannot be taken (the capture's reason in
  // *captureError) or the temporary file cannot be made (*captureError None).
  static std::unique_ptr<Recorder> Start(std::unique_ptr<ScreenCapture> capture,
                                         const RecordOptions& options, CaptureError* captureError);
  ~Recorder();
  Recorder(const Recorder&) = delete;
  Recorder& operator=(const Recorder&) = delete;

  void SetPaused(bool paused);
  // Ends the recording (the thread is joined before it returns).
  void Stop();
  // Waits until the recording ends by itself (its duration, a full disk...) or Stop.
  void Wait();
  Progress Status() const;
  // The steady clock's time of the recording's start, in microseconds of its epoch (for the
  // tests' comparison with what was drawn).
  int64_t StartedAtUs() const { return startUs_; }

  // After the end: the frames, read back within the picture budget, as a new animation in *out.
  // Shows the message of an end other than Duration or Stopped and of a read-back that could
  // not keep everything. Returns 1 complete, 2 partial (what was kept is in *out), 0 nothing.
  int Collect(AnimationPtr* out, ProgressMeter* meter);
  // The times the kept pictures were taken (microseconds from the start), once collected.
  const std::vector<int64_t>& PictureTimes() const { return times_; }

 private:
  Recorder(std::unique_ptr<ScreenCapture> capture, const RecordOptions& options);
  void Run();
  int64_t NowUs() const;

  std::unique_ptr<ScreenCapture> capture_;
  RecordOptions options_;
  RecordingFile file_;
  uint64_t frameBytes_ = 0;
  int64_t startUs_ = 0;
  std::thread thread_;

  mutable std::mutex mutex_;
  std::condition_variable wake_;
  bool stopAsked_ = false;
  bool paused_ = false;
  bool finished_ = false;
  int64_t pausedUs_ = 0;        // time spent paused, before the current pause
  int64_t pauseStartedUs_ = 0;  // when the current pause started
  uint64_t pauses_ = 0;         // pauses asked so far
  int64_t endUs_ = 0;           // recording time at the end
  std::atomic<int64_t> elapsedUs_{0};
  std::atomic<uint32_t> pictures_{0};
  std::atomic<uint32_t> frames_{0};
  std::atomic<uint32_t> dropped_{0};
  std::atomic<uint64_t> fileBytes_{0};
  std::atomic<RecordEnd> end_{RecordEnd::Running};
  std::vector<int64_t> times_;
};

}  // namespace lw
