#include "colour/optimize_queue.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <utility>

#include "colour/optimize.h"
#include "core/gif_writer.h"

namespace lw {

struct DuplicatesQueue::Job {
  Frame* frame = nullptr;  // the real frame: touched on the calling thread only
  Frame copy;              // what the worker tries the variants on
  PalettePtr palette;      // the copy's global palette
  std::vector<uint8_t> changed;
  bool done = false;  // guarded by the queue's mutex
  bool ok = false;
  bool taken = false;
  bool smallIndex = false;
  bool weighed = true;
};

namespace {

// A copy of what the variants and their encoding read: pixels, size, palette, transparency,
// interlacing. Throws bad_alloc when memory is short.
void DetachFrame(const Frame& from, Frame* to, PalettePtr* palette) {
  to->left = from.left;
  to->top = from.top;
  to->width = from.width;
  to->height = from.height;
  to->delay = from.delay;
  to->controlFlags = from.controlFlags;
  to->transparentIndex = from.transparentIndex;
  to->descriptorFlags = from.descriptorFlags;
  to->codeSize = from.codeSize;
  to->dib = from.dib;
  if (from.localPalette) {
    to->localPalette = CopyPalette(from.localPalette.get());
    if (!to->localPalette) throw std::bad_alloc();
    to->palette = to->localPalette.get();
  } else if (from.palette) {
    *palette = CopyPalette(from.palette);
    if (!*palette) throw std::bad_alloc();
    to->palette = palette->get();
  }
}

}  // namespace

// Past a few threads the frame step itself is the limit; more would only hold more copies.
DuplicatesQueue::DuplicatesQueue()
    : threads_(std::min(GifEncoderThreads(), 8)), window_(2 * static_cast<size_t>(threads_) + 2) {}

DuplicatesQueue::~DuplicatesQueue() { Discard(); }

void DuplicatesQueue::Submit(Frame* frame, const uint8_t* changed, bool smallIndex, bool weighed) {
  if (!frame || !changed) return;
  // A small frame costs less to try here than to hand over and wait for.
  constexpr uint64_t kHandOverPixels = 16384;
  const bool small = uint64_t{frame->width} * frame->height < kHandOverPixels;
  if (threads_ > 1 && workers_.empty() && !small) StartWorkers();
  if (workers_.empty() || small) {
    TryDuplicatesTransparency(frame, changed, smallIndex, weighed);
    return;
  }
  auto job = std::make_unique<Job>();
  try {
    job->frame = frame;
    job->smallIndex = smallIndex;
    job->weighed = weighed;
    DetachFrame(*frame, &job->copy, &job->palette);
    job->changed.assign(changed, changed + uint64_t{frame->width} * frame->height);
  } catch (const std::bad_alloc&) {
    // No room for the copy: this frame is tried here and now.
    TryDuplicatesTransparency(frame, changed, smallIndex, weighed);
    return;
  }
  while (!pending_.empty() && pending_.size() >= window_) ApplyFront(true);
  {
    std::lock_guard<std::mutex> lock(mutex_);
    todo_.push_back(job.get());
  }
  pending_.push_back(std::move(job));
  work_.notify_one();
  // Results already in are applied now, keeping the frames in order.
  while (!pending_.empty()) {
    size_t before = pending_.size();
    ApplyFront(false);
    if (pending_.size() == before) break;
  }
}

void DuplicatesQueue::Finish() {
  while (!pending_.empty()) ApplyFront(true);
}

void DuplicatesQueue::Discard() {
  StopWorkers();
  pending_.clear();
}

void DuplicatesQueue::ApplyFront(bool wait) {
  Job* job = pending_.front().get();
  {
    std::unique_lock<std::mutex> lock(mutex_);
    if (!job->done) {
      if (!wait) return;
      done_.wait(lock, [&] { return job->done; });
    }
  }
  Apply(*job);
  pending_.pop_front();
}

void DuplicatesQueue::Apply(Job& job) {
  if (!job.ok) return;
  Frame* f = job.frame;
  const Frame& c = job.copy;
  if (f->width != c.width || f->height != c.height || f->dib.size() != c.dib.size()) return;
  if (job.taken) {
    if (f->dib.size() > DibBitsOffset)
      std::memcpy(f->bits(), c.bits(), f->dib.size() - DibBitsOffset);
    FreeRgbPlane(f);
    SetTransparency(f, false);
    SetTransparentIndex(f, c.transparentIndex);
    SetTransparency(f, true);
  }
}

void DuplicatesQueue::Work() {
  for (;;) {
    Job* job;
    {
      std::unique_lock<std::mutex> lock(mutex_);
      work_.wait(lock, [&] { return stopped_ || !todo_.empty(); });
      if (stopped_) return;
      job = todo_.front();
      todo_.pop_front();
    }
    bool ok = true, taken = false;
    try {
      std::vector<uint8_t> lzw;
      taken = TryDuplicatesTransparencyData(&job->copy, job->changed.data(), job->smallIndex,
                                            job->weighed, &lzw);
      // Checked against the frame's pixels when a write uses them: they serve only once the
      // result is applied.
      KeepFrameDataFor(job->frame, &job->copy, std::move(lzw));
    } catch (const std::exception&) {
      ok = false;  // the frame keeps its image
    }
    {
      std::lock_guard<std::mutex> lock(mutex_);
      job->ok = ok;
      job->taken = taken;
      job->done = true;
    }
    done_.notify_all();
  }
}

void DuplicatesQueue::StartWorkers() {
  try {
    for (int i = 0; i < threads_; ++i) workers_.emplace_back([this] { Work(); });
  } catch (const std::exception&) {
    StopWorkers();
    threads_ = 1;  // no threads to be had: frames are tried on the caller
  }
}

void DuplicatesQueue::StopWorkers() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stopped_ = true;
    todo_.clear();
  }
  work_.notify_all();
  for (std::thread& t : workers_) t.join();
  workers_.clear();
  std::lock_guard<std::mutex> lock(mutex_);
  stopped_ = false;
}

}  // namespace lw
