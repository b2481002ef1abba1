#include "formats/record/recorder.h"

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <new>

#include "base/messages.h"
#include "base/progress.h"
#include "base/string_ids.h"
#include "core/picture_budget.h"

namespace lw {
namespace {

int64_t SteadyUs() {
  return std::chrono::duration_cast<std::chrono::microseconds>(
             std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

std::chrono::steady_clock::time_point SteadyAt(int64_t us) {
  return std::chrono::steady_clock::time_point(
      std::chrono::duration_cast<std::chrono::steady_clock::duration>(
          std::chrono::microseconds(us)));
}

// One GIF frame holds a 16-bit delay.
constexpr uint64_t kLongestDelay = 0xFFFF;

}  // namespace

std::vector<uint64_t> RecordedDelays(const std::vector<int64_t>& startsUs, int64_t endUs,
                                     DelayUnits units) {
  std::vector<uint64_t> delays;
  if (startsUs.empty()) return delays;
  const int64_t perSecond = units.perSecond;
  const int64_t shortest = std::max<int64_t>((perSecond * 20 + 999) / 1000, 1);
  auto at = [&](int64_t us) { return (std::max<int64_t>(us, 0) * perSecond + 500000) / 1000000; };
  delays.reserve(startsUs.size());
  int64_t previous = 0;  // the animation starts with its first picture
  for (size_t k = 1; k < startsUs.size(); ++k) {
    const int64_t start = std::max(at(startsUs[k]), previous + shortest);
    delays.push_back(static_cast<uint64_t>(start - previous));
    previous = start;
  }
  delays.push_back(static_cast<uint64_t>(std::max(at(endUs), previous + shortest) - previous));
  return delays;
}

void ShowCaptureError(CaptureError error, const CaptureArea& area, uint32_t screenWidth,
                      uint32_t screenHeight) {
  switch (error) {
    case CaptureError::None: break;
    case CaptureError::NoDisplay: ShowErrorId(str::RecordNoDisplay); break;
    case CaptureError::Wayland: ShowErrorId(str::RecordWayland); break;
    case CaptureError::NotConnected: {
      const char* display = std::getenv("DISPLAY");
      ShowErrorId(str::RecordNotConnected, display ? display : "");
      break;
    }
    case CaptureError::UnusableScreen: ShowErrorId(str::RecordUnusableScreen); break;
    case CaptureError::OutsideScreen:
      ShowErrorId(str::RecordOutsideScreen, area.width, area.height, area.x, area.y, screenWidth,
                  screenHeight);
      break;
    case CaptureError::GrabFailed: ShowErrorId(str::RecordGrabFailed); break;
    case CaptureError::NoMemory: ShowErrorId(str::OutOfMemory); break;
  }
}

Recorder::Recorder(std::unique_ptr<ScreenCapture> capture, const RecordOptions& options)
    : capture_(std::move(capture)),
      options_(options),
      file_(options.area.width, options.area.height) {}

Recorder::~Recorder() { Stop(); }

std::unique_ptr<Recorder> Recorder::Start(std::unique_ptr<ScreenCapture> capture,
                                          const RecordOptions& options,
                                          CaptureError* captureError) {
  *captureError = CaptureError::None;
  if (!capture) return nullptr;
  const CaptureArea& area = options.area;
  if (area.width == 0 || area.height == 0 || area.x < 0 || area.y < 0 ||
      uint64_t{static_cast<uint32_t>(area.x)} + area.width > capture->ScreenWidth() ||
      uint64_t{static_cast<uint32_t>(area.y)} + area.height > capture->ScreenHeight()) {
    *captureError = CaptureError::OutsideScreen;
    return nullptr;
  }
  if (!PictureFitsBudget(area.width, area.height, 3)) {
    *captureError = CaptureError::NoMemory;
    return nullptr;
  }
  std::unique_ptr<Recorder> recorder;
  try {
    recorder.reset(new Recorder(std::move(capture), options));
  } catch (const std::bad_alloc&) {
    *captureError = CaptureError::NoMemory;
    return nullptr;
  }
  RecordOptions& own = recorder->options_;
  own.fps = std::clamp<uint32_t>(own.fps, 1, kMaxRecordRate);
  own.durationMs = std::max<int64_t>(own.durationMs, 0);
  if (own.budgetBytes == 0) own.budgetBytes = PictureBudgetBytes();
  recorder->frameBytes_ = RgbStride(area.width) * area.height;
  if (!recorder->file_.Create(own.tempFolder, own.tempLimitBytes)) return nullptr;
  recorder->startUs_ = SteadyUs();
  try {
    recorder->thread_ = std::thread([r = recorder.get()] { r->Run(); });
  } catch (const std::exception&) {
    return nullptr;
  }
  return recorder;
}

int64_t Recorder::NowUs() const { return SteadyUs(); }

void Recorder::Run() {
  const int64_t fps = options_.fps;
  const int64_t durationUs = options_.durationMs * 1000;
  auto due = [fps](uint64_t step) { return static_cast<int64_t>(step * 1000000 / fps); };
  std::vector<uint8_t> picture;
  uint64_t step = 0;
  RecordEnd end = RecordEnd::Stopped;
  int64_t endUs = 0;
  std::unique_lock<std::mutex> lock(mutex_);
  for (;;) {
    // Until the step's time, in recording time (pauses left out).
    int64_t now = 0;
    for (;;) {
      if (stopAsked_) break;
      if (paused_) {
        wake_.wait(lock);
        continue;
      }
      now = NowUs() - startUs_ - pausedUs_;
      if (now >= due(step) || (durationUs > 0 && now >= durationUs)) break;
      int64_t until = due(step);
      if (durationUs > 0) until = std::min(until, durationUs);
      wake_.wait_until(lock, SteadyAt(startUs_ + pausedUs_ + until));
    }
    if (stopAsked_) {
      end = RecordEnd::Stopped;
      endUs = (paused_ ? pauseStartedUs_ : NowUs()) - startUs_ - pausedUs_;
      break;
    }
    if (durationUs > 0 && now >= durationUs) {
      end = RecordEnd::Duration;
      endUs = durationUs;
      break;
    }
    const uint64_t pausesBefore = pauses_;
    lock.unlock();
    const CaptureError grabbed = capture_->Grab(options_.area, options_.pointer, &picture);
    // A pause asked while the picture was being taken may already show in it: the step is
    // taken again when the recording goes on.
    lock.lock();
    if (pauses_ != pausesBefore && grabbed == CaptureError::None) continue;
    lock.unlock();
    RecordEnd failed = RecordEnd::Running;
    if (grabbed != CaptureError::None) {
      failed = RecordEnd::CaptureFailed;
    } else if (file_.Count() >= INT16_MAX ||
               (file_.Count() + uint64_t{1}) * frameBytes_ > options_.budgetBytes) {
      failed = RecordEnd::Full;
    } else {
      const RecordingFile::Added added = file_.Add(picture, now);
      if (added == RecordingFile::Added::WriteFailed) failed = RecordEnd::DiskFull;
      if (added == RecordingFile::Added::Kept) frames_.fetch_add(1);
      fileBytes_ = file_.Bytes();
    }
    lock.lock();
    if (failed != RecordEnd::Running) {
      end = failed;
      endUs = std::max(now, NowUs() - startUs_ - pausedUs_);
      break;
    }
    pictures_.fetch_add(1);
    // Steps whose time passed while this one was taken are lost: the picture stays up longer.
    const int64_t after = NowUs() - startUs_ - pausedUs_;
    ++step;
    while (due(step + 1) <= after && (durationUs == 0 || due(step) < durationUs)) {
      ++step;
      dropped_.fetch_add(1);
    }
  }
  if (durationUs > 0) endUs = std::min(endUs, durationUs);
  endUs_ = std::max<int64_t>(endUs, 0);
  end_ = end;
  finished_ = true;
  wake_.notify_all();
}

void Recorder::SetPaused(bool paused) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (paused == paused_ || finished_) return;
  if (paused) {
    pauseStartedUs_ = NowUs();
    ++pauses_;
  } else {
    pausedUs_ += NowUs() - pauseStartedUs_;
  }
  paused_ = paused;
  wake_.notify_all();
}

void Recorder::Stop() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stopAsked_ = true;
    wake_.notify_all();
  }
  if (thread_.joinable()) thread_.join();
}

void Recorder::Wait() {
  {
    std::unique_lock<std::mutex> lock(mutex_);
    wake_.wait(lock, [this] { return finished_; });
  }
  if (thread_.joinable()) thread_.join();
}

Recorder::Progress Recorder::Status() const {
  Progress p;
  std::lock_guard<std::mutex> lock(mutex_);
  if (finished_) {
    p.elapsedUs = endUs_;
  } else {
    p.elapsedUs = (paused_ ? pauseStartedUs_ : NowUs()) - startUs_ - pausedUs_;
    if (options_.durationMs > 0) p.elapsedUs = std::min(p.elapsedUs, options_.durationMs * 1000);
  }
  p.elapsedUs = std::max<int64_t>(p.elapsedUs, 0);
  p.pictures = pictures_.load();
  p.frames = frames_.load();
  p.dropped = dropped_.load();
  p.fileBytes = fileBytes_.load();
  p.paused = paused_;
  p.end = end_.load();
  return p;
}

int Recorder::Collect(AnimationPtr* out, ProgressMeter* meter) {
  out->reset();
  Stop();
  const RecordEnd end = end_.load();
  switch (end) {
    case RecordEnd::DiskFull: ShowErrorId(str::RecordDiskFull); break;
    case RecordEnd::CaptureFailed: ShowErrorId(str::RecordCaptureFailed); break;
    case RecordEnd::Full: ShowErrorId(str::RecordTooLarge); break;
    default: break;
  }
  int status = end == RecordEnd::Duration || end == RecordEnd::Stopped ? 1 : 2;
  if (file_.Count() == 0) {
    if (status == 1) ShowErrorId(str::RecordNothingTaken);
    return 0;
  }
  AnimationPtr animation = NewAnimation();
  if (!animation) {
    ShowErrorId(str::OutOfMemory);
    return 0;
  }
  // The times first: the delays of each picture depend on the next one's.
  std::vector<uint8_t> picture;
  int64_t time = 0;
  times_.clear();
  bool readable = file_.Rewind();
  try {
    times_.reserve(file_.Count());
    for (int got; readable && (got = file_.Next(&picture, &time)) != 0;) {
      if (got < 0) readable = false;
      times_.push_back(time);
    }
  } catch (const std::bad_alloc&) {
    ShowErrorId(str::OutOfMemory);
    return 0;
  }
  if (!readable) {
    ShowErrorId(str::RecordUnreadable);
    return 0;
  }
  const std::vector<uint64_t> delays = RecordedDelays(times_, endUs_, options_.timing.units);
  const uint32_t width = options_.area.width, height = options_.area.height;
  ProgressSetRange(meter, file_.Count());
  uint64_t kept = 0;
  file_.Rewind();
  for (size_t k = 0; k < delays.size(); ++k) {
    if (file_.Next(&picture, &time) != 1) {
      ShowErrorId(str::RecordUnreadable);
      status = 2;
      break;
    }
    // A picture that stays longer than one frame can tell goes in as several.
    bool stopped = false;
    for (uint64_t left = delays[k]; left > 0 && !stopped;) {
      const uint64_t delay = std::min(left, kLongestDelay);
      left -= delay;
      if (animation->frameCount == INT16_MAX || kept + frameBytes_ > options_.budgetBytes) {
        ShowErrorId(str::RecordTooLarge);
        stopped = true;
        break;
      }
      Frame* frame = NewFrame(width, height, static_cast<uint32_t>(delay));
      if (!frame) {
        ShowErrorId(str::OutOfMemory);
        stopped = true;
        break;
      }
      try {
        SetRgbPlane(frame, picture);  // the next record is drawn over it
      } catch (const std::bad_alloc&) {
        FreeBlock(frame);
        ShowErrorId(str::OutOfMemory);
        stopped = true;
        break;
      }
      InsertBlockAfter(LastBlock(*animation), frame);
      ++animation->frameCount;
      kept += frameBytes_;
    }
    if (stopped) {
      status = 2;
      break;
    }
    if (!ProgressSetPosition(meter, static_cast<uint32_t>(k + 1))) {
      status = 2;
      break;
    }
  }
  if (animation->frameCount == 0) return 0;
  animation->screenWidth = width;
  animation->screenHeight = height;
  animation->playCount = options_.timing.defaultLoopCount;
  *out = std::move(animation);
  return status;
}

}  // namespace lw
