// The transparency variants of the optimizer's frames, encoded on worker threads while the
// frame step goes on with the next frames:
//
//   DuplicatesQueue q;
//   q.Submit(frame, mask);  // for each frame, in order
//   q.Finish();             // every result applied
//
// Each frame is tried on a detached copy that takes the frame's pixels with it, so the frame's
// other fields may change meanwhile (its delay, its disposal); the result (image, transparency,
// the LZW data kept for the next write) is applied on the calling thread, in submission order,
// by later Submits and by Finish. With one encoder thread (SetGifEncoderThreads(1)) every Submit
// runs at once on the caller.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "core/animation.h"

namespace lw {

// TryDuplicatesTransparency, with the LZW data of the image the frame ends with left in *lzw
// (empty when nothing was encoded) instead of being kept for the next write.
bool TryDuplicatesTransparencyData(Frame* frame, const uint8_t* changed, bool smallIndex,
                                   bool weighed, std::vector<uint8_t>* lzw);

// Chooses each free pixel (changed 0) of the width x height rows of stride bytes between its own
// colour and t, so that the LZW strings around it run furthest, for a frame written with
// codeSize (rows in interlace order when asked). Returns how many pixels took t, and in
// *dataBytes (may be none) the size of the LZW data made of the result. Without changed, nothing
// changes: only the size is measured. With data, that LZW data itself (code size byte,
// sub-blocks, terminator) goes there, ready to be written for the frame: it is the encoder's
// own, or a little shorter where the encoder's table has lost an entry. Throws bad_alloc when
// memory is short.
uint64_t FlexibleDuplicates(uint8_t* bits, uint64_t stride, uint32_t w, uint32_t h,
                            const uint8_t* changed, uint8_t t, int codeSize, bool interlaced,
                            uint64_t* dataBytes, std::vector<uint8_t>* data = nullptr);

class DuplicatesQueue {
 public:
  DuplicatesQueue();
  // Results already in are applied; frames whose turn has not come get their image back as it
  // was.
  ~DuplicatesQueue();
  DuplicatesQueue(const DuplicatesQueue&) = delete;
  DuplicatesQueue& operator=(const DuplicatesQueue&) = delete;

  // Tries transparency for the frame's unchanged pixels as TryDuplicatesTransparency does;
  // changed (rows of the frame's width) is copied. Until its result is applied (Finish, or the
  // queue's end for a cancel) the frame's pixels are away with the copy: it must stay alive,
  // keep its size and have its pixels neither read nor written.
  void Submit(Frame* frame, const uint8_t* changed, bool smallIndex = false, bool weighed = true);
  // Waits for and applies every result still to come.
  void Finish();
  // Stops the work when the run is cancelled: results already in are applied, the other frames
  // get their image back as it was.
  void Discard();

 private:
  struct Job;
  void ApplyFront(bool wait);
  void Apply(Job& job);
  void Work();
  void StartWorkers();
  void StopWorkers();

  int threads_;
  size_t window_;
  std::deque<std::unique_ptr<Job>> pending_;  // submission order; only the caller touches it
  std::deque<Job*> todo_;                     // not started yet; guarded by mutex_
  std::vector<std::vector<uint8_t>> spare_;   // mask buffers of applied jobs, for the next ones
  bool stopped_ = false;
  std::mutex mutex_;
  std::condition_variable work_, done_;
  std::vector<std::thread> workers_;
};

}  // namespace lw
