// Writing an Animation as GIF89a, sizing it without writing, and fitting frames to the screen.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "core/animation.h"
#include "core/byte_sink.h"

namespace lw {

struct ProgressMeter;

enum class GifWriteStatus { Failed = 0, Done = 1, Cancelled = 2 };

struct GifWriteOptions {
  // What one unit of a frame's delay is worth. The file always holds hundredths. Sizes do not
  // depend on it.
  DelayUnits units;
};

// Writes the whole stream; the progress (may be none) steps once per frame. A screen or frame
// whose size does not fit the 16-bit fields, or a frame without the pixels its size needs, is
// refused with Failed before any of its bytes are written. Pixel values past the
// palette's code size are written with a code size that holds them.
// Frames are encoded ahead on worker threads and written in order, so the bytes are those of one
// thread.
GifWriteStatus WriteGif(ByteSink& sink, Animation& animation, ProgressMeter* progress,
                        const GifWriteOptions& options = {});

// The worker threads WriteGif encodes with: 0 (the default) as many as cores, at least 2; 1
// encodes on the writing thread alone.
void SetGifEncoderThreads(int threads);
// The thread count that setting gives; the optimizer's encodes use it too.
int GifEncoderThreads();

// One frame record: control extension, descriptor, local table, LZW data.
bool WriteFrameRecord(ByteSink& sink, const Frame& frame, const GifWriteOptions& options = {});

// The frame alone as a one-frame GIF on a screen of its size, its palette in effect as global
// table.
GifWriteStatus WriteFrameAsGif(ByteSink& sink, Frame* frame, const GifWriteOptions& options);

// The signature comment a save puts in, and the user's own signature text, which the save also
// takes for one of its signatures and replaces.
struct SaveSignature {
  std::string text;  // empty: none is written
  std::string own;   // empty: only the standard signature is recognised
};

// The encoded size of the file the save writes, whose signature comments are replaced by
// signature.text; the cache unless forced. -1 when cancelled.
int32_t EstimateEncodedSize(Animation& animation, bool force, const SaveSignature& signature,
                            ProgressMeter* progress);

// Bytes of one frame record; 0 when it cannot be encoded.
uint64_t EncodedFrameSize(const Frame* frame);

// The record size as EncodedFrameSize gives it, with the frame's LZW data itself in *lzw (left
// empty when memory is short). The optimizer measures its variants with it.
uint64_t EncodeFrameRecord(const Frame* frame, std::vector<uint8_t>* lzw);

// Keeps lzw, LZW data of the frame's present pixels (from EncodeFrameRecord, or the optimizer's
// own parse of them, which may be a little shorter), so that the next write does not encode the
// frame again. The kept bytes serve only while the frame's pixels, size, code size and row order
// are what they were; any write of a whole document forgets them.
void KeepFrameData(const Frame* frame, std::vector<uint8_t>&& lzw);
// The same for LZW data made from encoded, a copy of the frame (on any thread): the kept bytes
// serve once the frame's own pixels are those of the copy, and never before.
void KeepFrameDataFor(const Frame* frame, const Frame* encoded, std::vector<uint8_t>&& lzw);

// True when some frame reaches past the logical screen (or starts left of or above it).
bool FramesOutsideScreen(const Animation& animation);

// Clips every frame to the logical screen.
bool ClipAllFramesToScreen(Animation& animation);

}  // namespace lw
