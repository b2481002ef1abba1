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
  bool taken = false;
  bool smallIndex = false;
  bool weighed = true;
};

namespace {

// A copy of what the variants and their encoding read: size, palette, transparency, interlacing;
// the pixels are not copied but taken (see Submit). Throws bad_alloc when memory is short, the
// frame then still holding its pixels.
void DetachFrame(Frame& from, Frame* to, PalettePtr* palette) {
  to->left = from.left;
  to->top = from.top;
  to->width = from.width;
  to->height = from.height;
  to->delay = from.delay;
  to->controlFlags = from.controlFlags;
  to->transparentIndex = from.transparentIndex;
  to->descriptorFlags = from.descriptorFlags;
  to->codeSize = from.codeSize;
  if (from.localPalette) {
    to->localPalette = CopyPalette(from.localPalette.get());
    if (!to->localPalette) throw std::bad_alloc();
    to->palette = to->localPalette.get();
  } else if (from.palette) {
    *palette = CopyPalette(from.palette);
    if (!*palette) throw std::bad_alloc();
    to->palette = palette->get();
  }
  to->dib = std::move(from.dib);
  from.dib.clear();
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
    if (!spare_.empty()) {
      // A mask buffer of a job already applied: its pages are in place.
      job->changed.swap(spare_.back());
      spare_.pop_back();
    }
    job->changed.assign(changed, changed + uint64_t{frame->width} * frame->height);
    DetachFrame(*frame, &job->copy, &job->palette);
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
  // No job is running now: each one has its result in, or was never started and still holds
  // its frame's pixels as they were. Either way the frame gets a whole picture back.
  for (const std::unique_ptr<Job>& job : pending_) Apply(*job);
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
  try {
    spare_.push_back(std::move(job->changed));
  } catch (const std::bad_alloc&) {
    // Not kept: the next job takes a new buffer.
  }
  pending_.pop_front();
}

void DuplicatesQueue::Apply(Job& job) {
  Frame* f = job.frame;
  Frame& c = job.copy;
  if (job.taken) {  // only ever set with done
    // The copy's picture, transparency and mask were all made on the worker.
    FreeRgbPlane(f);
    TakePicture(f, &c);
  } else {
    // Untouched: a variant replaces the copy's picture only when it is taken.
    f->dib = std::move(c.dib);
    c.dib.clear();
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
    bool taken = false;
    try {
      std::vector<uint8_t> lzw;
      taken = TryDuplicatesTransparencyData(&job->copy, job->changed.data(), job->smallIndex,
                                            job->weighed, &lzw);
      // Checked against the frame's pixels when a write uses them: they serve only once the
      // result is applied.
      KeepFrameDataFor(job->frame, &job->copy, std::move(lzw));
    } catch (const std::exception&) {
      // Nothing is kept for the write; a picture taken before stays whole with its
      // transparency, as the frame's image is changed only once a variant is complete.
    }
    {
      std::lock_guard<std::mutex> lock(mutex_);
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
