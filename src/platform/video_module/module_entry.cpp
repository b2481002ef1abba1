// The module's one exported symbol: the object the program calls through.
#include <mutex>

#include "platform/video_module.h"
#include "platform/video_module/ffmpeg_support.h"

namespace lw::video {

void QuietLibraries() {
  static std::once_flag once;
  std::call_once(once, [] { av_log_set_level(AV_LOG_QUIET); });
}

namespace {

class FfmpegModule final : public VideoModule {
 public:
  std::unique_ptr<VideoFileReader> OpenFile(const std::string& path, uint64_t maxPixels,
                                            VideoOpenError* error) override {
    return OpenReaderFile(path, maxPixels, error);
  }
  std::unique_ptr<VideoFileReader> OpenMemory(const uint8_t* data, size_t size, uint64_t maxPixels,
                                              VideoOpenError* error) override {
    return OpenReaderMemory(data, size, maxPixels, error);
  }
  bool HasAudioStream(const std::string& path) override { return ProbeAudioStream(path); }
  std::vector<AviEncoderChoice> AviVideoEncoders() override { return ListAviEncoders(); }
  std::unique_ptr<AviFileWriter> CreateAvi(const std::string& path, const AviVideoSpec& layout,
                                           int* error, bool* fileFailed) override {
    return CreateAviWriter(path, layout, error, fileFailed);
  }
  bool HasClipEncoder(ClipCodec codec) override { return FindClipEncoder(codec); }
  std::unique_ptr<ClipFileWriter> CreateClip(const std::string& path, const ClipShape& shape,
                                             ClipError* error) override {
    return CreateClipWriter(path, shape, error);
  }
};

}  // namespace
}  // namespace lw::video

extern "C" __attribute__((visibility("default"))) lw::VideoModule* LoopwrightVideoModule(
    uint32_t version) {
  static lw::video::FfmpegModule module;
  return version == lw::kVideoModuleVersion ? &module : nullptr;
}
