// Where the frames of an exported AVI go: the stream's time step, scale and rate, and the sample
// each frame is written at.
#pragma once

#include <cstdint>
#include <vector>

namespace lw {

struct AviTiming {
  uint32_t step = 1;  // delay units one sample lasts
  uint32_t scale = 1;
  uint32_t rate = 1;
  uint64_t length = 0;  // samples
  // The sample of each frame, then the sample where the last frame is written once more so that
  // it lasts its whole delay (-1 when it ends within the last frame's own sample).
  std::vector<int64_t> samples;
  int64_t repeatSample = -1;
  std::vector<uint64_t> elapsed;  // delay units before each frame
};

// fixedRate: frames per second x 10000 (0: the frame delays decide); delayUnits: units per second.
AviTiming ComputeAviTiming(const std::vector<uint32_t>& delays, uint32_t fixedRate,
                           uint32_t delayUnits);

// Where the pictures of a clip fall on the document's time, in delay units from the start of
// the part read. Each picture's start is rounded on the running total, never picture by picture,
// so the frames last as long as the clip. At the clip's own rate every picture starts where the
// stream places it; at a chosen rate, or for a clip faster than kMaxClipRate, the frames are the
// pictures shown at each step of that rate. No frame lasts less than 1/kMaxClipRate second.
constexpr uint32_t kMaxClipRate = 50;

struct ClipClock {
  // The stream's time: one sample lasts scale / rate seconds, pictures from sample start.
  int64_t scale = 1;
  int64_t rate = 1;
  int64_t start = 0;
  int64_t end = 0;  // first sample after the stream; start or below when unknown
  // The clip's own frame rate (0/0 unknown).
  int64_t ownRateNum = 0;
  int64_t ownRateDen = 0;
  // The part read: from partStartMs for partLengthMs (0: to the end), at fpsMilli frames a
  // second x 1000 (0: the clip's own).
  int64_t partStartMs = 0;
  int64_t partLengthMs = 0;
  uint32_t fpsMilli = 0;
  uint32_t units = 100;  // delay units a second

  // The rate the frames are taken at (frames a second x 1000), 0 when they keep the clip's
  // own times.
  uint32_t StepRateMilli() const;
  // The shortest delay a frame gets.
  uint32_t MinDelay() const;
  // The first sample of the part, to seek to.
  int64_t PartStartSample() const;
  // Where a picture at sample starts: 0 up to the part's start; -1 when it starts at or after
  // the part's end (nothing from it on is shown).
  int64_t StartOf(int64_t sample) const;
  // Where the last frame ends, given the sample after the last picture read (the stream's end
  // or the next picture's when it is later).
  int64_t EndOf(int64_t sampleAfterLast) const;
};

// Turns the starts of the pictures into the frames kept and their delays, one picture at a time.
class FrameTimeline {
 public:
  explicit FrameTimeline(uint32_t minDelay) : minDelay_(minDelay) {}
  enum class Take {
    NewFrame,  // the picture held so far became a frame of Delay() units; this one is held next
    Replace,   // this picture replaces the one held: it is the one shown at the same time
    Skip,      // this picture is too close after the held one: the held one stays up longer
  };
  Take Add(int64_t start);
  // The delay of the frame that NewFrame (or Finish) gave.
  uint32_t Delay() const { return delay_; }
  // The delay of the picture held, ending at end; false when nothing is held or it would not be
  // shown before the end.
  bool Finish(int64_t end);

 private:
  uint32_t minDelay_;
  bool holding_ = false;
  bool gave_ = false;  // a frame was given
  int64_t held_ = 0;
  uint32_t delay_ = 0;
};

// Codes 8-bit rows (bottom row first, rows of (width + 3) & ~3 bytes) as one RLE8 key frame:
// runs, absolute stretches, end of line and end of bitmap.
std::vector<uint8_t> EncodeRle8(const uint8_t* rows, uint32_t width, uint32_t height);

}  // namespace lw
