// Reading GIF87a and GIF89a files into an Animation, keeping extension blocks where they stand.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "core/animation.h"
#include "core/gif_source.h"

namespace lw {

struct ProgressMeter;
class LzwDecoder;

// Read results.
constexpr int GifReadFailed = 0;
constexpr int GifReadComplete = 1;
constexpr int GifReadPartial = 2;

// Reads the first 6 bytes; true for "GIF87a" and "GIF89a".
bool IsGifFile(GifSource& file);

// Reads the rest of the file (the position just behind the header) into *out. Returns
// GifReadFailed (messages shown, *out none), GifReadComplete, or GifReadPartial (the frames read
// before damage or a cancel).
int ReadGif(GifSource& file, ProgressMeter* progress, AnimationPtr* out);

// The block loop behind the screen descriptor and global table.
int ReadGifBlocks(Animation& animation, GifSource& file, ProgressMeter* progress);

// One extension other than a control extension, after its label: comment, application, plain
// text or an unknown label (kept as OtherExtension). *block gets the kept block (none for an
// empty extension or the loop block, whose count goes to playCount).
bool ReadExtension(Animation& animation, GifSource& file, int label, Block** block);

// The image descriptor, local table and pixels of one frame. 0, or the id of the message that
// says why it failed (40181, 40182 or 40183), not shown: the caller shows it with the outcome.
int ReadImage(Animation& animation, Frame* frame, GifSource& file, LzwDecoder& decoder);

// Checks the signature and reads; GifReadFailed without a message when the signature is wrong.
int ReadGifMemory(const uint8_t* data, size_t size, ProgressMeter* progress, AnimationPtr* out);

// Names every unnamed frame after the file: its base name for a one-frame document, else
// "<base name> - cadre <n>".
void NameFramesFromFile(Animation& animation, const std::string& path);

// The threads that decode a file's images while its blocks are read in order: 0 (the default)
// as many as cores, at least 2, for files large enough to gain; 1 decodes on the reading thread
// alone. The frames, messages and progress are those of one thread.
void SetGifDecoderThreads(int threads);

// A frame whose pixel rows would take the frames read so far past this many bytes is refused as
// too large for memory (string 40182). The default is half of the physical memory, at most 4 GiB.
void SetGifFrameByteLimit(uint64_t bytes);
uint64_t GifFrameByteLimit();

}  // namespace lw
