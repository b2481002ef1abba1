// The video file services: reading the video stream of a movie (any codec the installed FFmpeg
// decodes) picture by picture with its timing, writing AVI files (coded pictures as they are, or
// pictures coded by one of FFmpeg's encoders) with an audio stream copied from another file, and
// writing MP4 (H.264) and WebM (VP9) clips. FFmpeg lives in a module of its own
// (video_module/), loaded on the first use of any of these: a job that never touches a video
// never loads FFmpeg's libraries. When the module cannot be loaded, everything here fails with
// VideoModuleMissing set, and the callers say so.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace lw {

constexpr uint32_t FourCC(char a, char b, char c, char d) {
  return uint32_t(uint8_t(a)) | uint32_t(uint8_t(b)) << 8 | uint32_t(uint8_t(c)) << 16 |
         uint32_t(uint8_t(d)) << 24;
}

// ---- The module ----

// Loads the module when it is not yet loaded; false when it cannot be (VideoModuleProblem says
// why).
bool VideoModuleReady();
// Why the module could not be loaded (the file looked for and the loader's reason); empty when
// it is loaded or was never asked for.
std::string VideoModuleProblem();
// Whether the module could not be loaded for lack of memory (a limit on the process's memory,
// ulimit -v), where it is otherwise sound: the user must free memory, not reinstall.
bool VideoModuleShortOfMemory();
// Whether this process has loaded it.
bool VideoModuleLoaded();

// ---- Reading ----

enum class VideoOpenError { None, NoVideo, BadFormat, NoDecoder, NoModule };

struct VideoInfo {
  uint32_t width = 0;
  uint32_t height = 0;
  bool palettised = false;  // 8-bit pictures on a palette; otherwise 24-bit
  // One sample lasts scale / rate seconds; pictures are placed at sample indexes.
  int64_t scale = 1;
  int64_t rate = 1;
  int64_t start = 0;
  int64_t end = 0;  // first sample after the stream (start when unknown)
  // The stream's average rate, frames per second as a fraction; 0/0 when it does not say.
  int64_t frameRateNum = 0;
  int64_t frameRateDen = 0;
};

// A decoded picture, top row first: palettised rows of (width + 3) & ~3 index bytes, otherwise
// rows of (3 * width + 3) & ~3 bytes in blue, green, red order.
struct VideoPicture {
  int64_t sample = 0;
  int64_t duration = 0;  // samples the file says it lasts; 0 when it does not say
  std::vector<uint8_t> pixels;
  std::array<uint32_t, 256> palette{};  // 0x00RRGGBB, palettised streams only
};

class VideoFileReader {
 public:
  virtual ~VideoFileReader() = default;
  VideoFileReader(const VideoFileReader&) = delete;
  VideoFileReader& operator=(const VideoFileReader&) = delete;

  // Opens the first video stream of a file, or of a file held in memory (kept by the caller
  // while the reader lives). maxPixels bounds the pictures any decoder may make. None on failure,
  // with the reason in *error.
  static std::unique_ptr<VideoFileReader> OpenFile(const std::string& path, uint64_t maxPixels,
                                                   VideoOpenError* error);
  static std::unique_ptr<VideoFileReader> OpenMemory(const uint8_t* data, size_t size,
                                                     uint64_t maxPixels, VideoOpenError* error);

  virtual const VideoInfo& Info() const = 0;
  // The next picture in presentation order: 1 one read, 0 end of the stream, -1 read error (the
  // file is damaged), -2 memory ran short.
  virtual int Next(VideoPicture* picture) = 0;
  // Goes back or ahead so that the next pictures start at the key picture at or before sample
  // (the caller skips those before the time it wants). False when the file cannot seek, the
  // reader then going on where it was.
  virtual bool Seek(int64_t sample) = 0;
  // Pictures from now on scaled to width x height, in 24 bits (palettised streams included);
  // Info() says the new size. False for a size out of range.
  virtual bool SetPictureSize(uint32_t width, uint32_t height) = 0;

 protected:
  VideoFileReader() = default;
};

// Whether the file has an audio stream that can be read.
bool HasAudioStream(const std::string& path);

// ---- Writing AVI ----

// The AVI video handlers written without an encoder of FFmpeg's: the caller codes their pictures.
constexpr uint32_t kHandlerNone = 0;  // uncompressed DIB rows, bottom row first
constexpr uint32_t kHandlerRle8 = FourCC('m', 'r', 'l', 'e');
constexpr uint32_t kHandlerVideo1 = FourCC('m', 's', 'v', 'c');

struct AviVideoSpec {
  uint32_t width = 0;
  uint32_t height = 0;
  uint32_t handler = kHandlerNone;  // kHandlerNone, kHandlerRle8 or an encoder's FOURCC
  int bitCount = 8;                 // 8 (with palette) or 24: what the pictures given hold
  std::vector<uint32_t> palette;    // 0x00RRGGBB, 8 bits only
  uint32_t scale = 1;               // one sample lasts scale / rate seconds
  uint32_t rate = 1;
  uint32_t quality = 10000;  // 0..10000, for encoders
  uint32_t keyEvery = 0;     // key frame interval for encoders (0: the encoder's own)
};

// An encoder FFmpeg offers for AVI video: its name, description and FOURCC.
struct AviEncoderChoice {
  std::string name;
  std::string description;
  uint32_t fourcc = 0;
};
std::vector<AviEncoderChoice> AviVideoEncoders();

class AviFileWriter {
 public:
  virtual ~AviFileWriter() = default;
  AviFileWriter(const AviFileWriter&) = delete;
  AviFileWriter& operator=(const AviFileWriter&) = delete;

  // Creates path with one video stream; none on failure with a negative error code in *error,
  // and *fileFailed (when given) true when the file itself could not be created.
  static std::unique_ptr<AviFileWriter> Create(const std::string& path, const AviVideoSpec& layout,
                                               int* error, bool* fileFailed);

  // Adds the first audio stream of a file, copied as it is. Before the first picture. False when
  // the file has none that AVI can hold.
  virtual bool AddAudioFrom(const std::string& path) = 0;

  // A picture already coded for the handler (kHandlerNone or kHandlerRle8) at a sample index.
  // 0 or a negative error code.
  virtual int WriteCoded(int64_t sample, const uint8_t* data, size_t size, bool keyFrame) = 0;
  // A picture to code with FFmpeg's encoder: rows of (3 * width + 3) & ~3 bytes, blue, green,
  // red, top row first.
  virtual int WriteEncoded(int64_t sample, const uint8_t* bgr) = 0;
  // Flushes the encoder and the audio and closes the file: 0 or a negative error code.
  virtual int Finish() = 0;

 protected:
  AviFileWriter() = default;
};

// AVERROR(ENOMEM) as the writers report it.
int VideoOutOfMemoryCode();

// ---- Writing MP4 and WebM clips ----

enum class ClipCodec { H264, Vp9 };  // in MP4 and in WebM

// FFmpeg's name of the encoder a clip needs ("libx264", "libvpx-vp9").
const char* ClipEncoderName(ClipCodec codec);
// Whether the installed FFmpeg has that encoder (false without the module).
bool HasClipEncoder(ClipCodec codec);

struct ClipShape {
  ClipCodec codec = ClipCodec::H264;
  uint32_t width = 0;  // both even: the pictures are 4:2:0
  uint32_t height = 0;
  int crf = 23;              // the encoder's constant rate factor: lower is better
  int ticksPerSecond = 100;  // the unit of the pictures' times
};

enum class ClipError { None, NoModule, NoEncoder, CannotCreate, Failed };

class ClipFileWriter {
 public:
  virtual ~ClipFileWriter() = default;
  ClipFileWriter(const ClipFileWriter&) = delete;
  ClipFileWriter& operator=(const ClipFileWriter&) = delete;

  // Creates path (the container from the codec); none on failure, with the reason in *error.
  static std::unique_ptr<ClipFileWriter> Create(const std::string& path, const ClipShape& shape,
                                                ClipError* error);

  // A picture shown from start (in ticks, rising) until the next one's start: 32-bit pixels
  // 0xAARRGGBB (alpha ignored) of the clip's size, stride in pixels. 0 or a negative error code.
  virtual int Write(int64_t start, const uint32_t* pixels, int stride) = 0;
  // Flushes the encoder and closes the file; the last picture lasts until end. 0 or a negative
  // error code.
  virtual int Finish(int64_t end) = 0;

 protected:
  ClipFileWriter() = default;
};

}  // namespace lw
