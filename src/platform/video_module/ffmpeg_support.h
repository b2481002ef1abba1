// What the module's files share: FFmpeg's headers and the small helpers around them.
#pragma once

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/imgutils.h>
#include <libavutil/mathematics.h>
#include <libswscale/swscale.h>
}

#include <cerrno>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/video_files.h"

namespace lw::video {

// Both sides are the same expression on this system, which is what the assertion keeps true.
static_assert(AVERROR(ENOMEM) == -ENOMEM,  // NOLINT(misc-redundant-expression)
              "the program compares with -ENOMEM");

// FFmpeg says nothing on standard error: failures come back as codes.
void QuietLibraries();

inline uint64_t IndexRowBytes(uint64_t width) { return (width + 3) & ~uint64_t{3}; }
inline uint64_t RgbRowBytes(uint64_t width) { return (3 * width + 3) & ~uint64_t{3}; }

// The module's functions behind VideoModule.
std::unique_ptr<VideoFileReader> OpenReaderFile(const std::string& path, uint64_t maxPixels,
                                                VideoOpenError* error);
std::unique_ptr<VideoFileReader> OpenReaderMemory(const uint8_t* data, size_t size,
                                                  uint64_t maxPixels, VideoOpenError* error);
bool ProbeAudioStream(const std::string& path);
std::vector<AviEncoderChoice> ListAviEncoders();
std::unique_ptr<AviFileWriter> CreateAviWriter(const std::string& path, const AviVideoSpec& layout,
                                               int* error, bool* fileFailed);
// FFmpeg's name of a clip's encoder (the program's ClipEncoderName gives the same).
const char* ClipEncoderNameOf(ClipCodec codec);
bool FindClipEncoder(ClipCodec codec);
std::unique_ptr<ClipFileWriter> CreateClipWriter(const std::string& path, const ClipShape& shape,
                                                 ClipError* error);

}  // namespace lw::video
