// Reading GIF87a and GIF89a files into an Animation, keeping extension blocks where they stand.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "core/animation.h"
#include "core/gif_source.h"

namespace lw {

struct ProgressMeter;
class LzwDecoder;

enum class GifReadStatus { Failed = 0, Done = 1, Partial = 2 };

struct GifReadOptions {
  // Interlaced frames stay interlaced; otherwise their flag is dropped as they are read (the
  // pixels are the same), so that they are written progressive.
  bool keepInterlace = false;
  // The delays' units, and the delay of a frame without a control extension.
  Timing timing;
};

// Reads the first 6 bytes; true for "GIF87a" and "GIF89a".
bool IsGifFile(GifSource& file);

// Reads the rest of the file (the position just behind the header) into *out. Returns Failed
// (*out none), Done, or Partial (the frames read before damage or a cancel). The messages that
// say why a read stopped (one or two string ids, in the order to show them) go to *messages
// when given; nothing is shown here.
GifReadStatus ReadGif(GifSource& file, ProgressMeter* progress, AnimationPtr* out,
                      const GifReadOptions& options = {}, std::vector<int>* messages = nullptr);

// The block loop behind the screen descriptor and global table.
GifReadStatus ReadGifBlocks(Animation& animation, GifSource& file, const Timing& timing,
                            ProgressMeter* progress, std::vector<int>* messages);

// One extension other than a control extension, after its label: comment, application, plain
// text or an unknown label (kept as OtherExtension). *block gets the kept block (none for an
// empty extension or the loop block, whose count goes to playCount).
bool ReadExtension(Animation& animation, GifSource& file, int label, Block** block);

// The image descriptor, local table and pixels of one frame. 0, or the id of the message that
// says why it failed (40181, 40182 or 40183).
int ReadImage(Animation& animation, Frame* frame, GifSource& file, LzwDecoder& decoder);

// Checks the signature and reads; Failed without a message when the signature is wrong.
GifReadStatus ReadGifMemory(const uint8_t* data, size_t size, ProgressMeter* progress,
                            AnimationPtr* out, const GifReadOptions& options = {},
                            std::vector<int>* messages = nullptr);

// Names every unnamed frame after the file: its base name for a one-frame document, else
// "<base name> - cadre <n>".
void NameFramesFromFile(Animation& animation, const std::string& path);

// The threads that decode a file's images while its blocks are read in order: 0 (the default)
// as many as cores, at least 2, for files large enough to gain; 1 decodes on the reading thread
// alone. The frames, messages and progress are those of one thread.
void SetGifDecoderThreads(int threads);

}  // namespace lw
