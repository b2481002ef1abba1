// What the video module (video_module/, FFmpeg inside) gives the program: one object of virtual
// functions, got through one C entry point when the module is loaded. Nothing of FFmpeg appears
// here, so the program itself never needs FFmpeg's headers or libraries.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/video_files.h"

namespace lw {

// Raised whenever this interface or the types it passes change: a module of another build is
// refused rather than misread.
constexpr uint32_t kVideoModuleVersion = 2;
// The module's file, and its entry point: extern "C" VideoModule* LoopwrightVideoModule(version),
// none for a version it does not speak.
constexpr char kVideoModuleFile[] = "libloopwright-video.so";
constexpr char kVideoModuleEntry[] = "LoopwrightVideoModule";

class VideoModule {
 public:
  virtual std::unique_ptr<VideoFileReader> OpenFile(const std::string& path, uint64_t maxPixels,
                                                    VideoOpenError* error) = 0;
  virtual std::unique_ptr<VideoFileReader> OpenMemory(const uint8_t* data, size_t size,
                                                      uint64_t maxPixels,
                                                      VideoOpenError* error) = 0;
  virtual bool HasAudioStream(const std::string& path) = 0;
  virtual std::vector<AviEncoderChoice> AviVideoEncoders() = 0;
  virtual std::unique_ptr<AviFileWriter> CreateAvi(const std::string& path,
                                                   const AviVideoSpec& layout, int* error,
                                                   bool* fileFailed) = 0;
  virtual bool HasClipEncoder(ClipCodec codec) = 0;
  virtual std::unique_ptr<ClipFileWriter> CreateClip(const std::string& path,
                                                     const ClipShape& shape, ClipError* error) = 0;

 protected:
  ~VideoModule() = default;  // the module's own object, never deleted
};

using VideoModuleEntryPoint = VideoModule* (*)(uint32_t version);

}  // namespace lw
