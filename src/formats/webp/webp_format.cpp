#include "formats/webp/webp_format.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <webp/decode.h>
#include <webp/demux.h>
#include <webp/encode.h>
#include <webp/mux.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <limits>
#include <memory>
#include <new>
#include <vector>

#include "base/messages.h"
#include "base/progress.h"
#include "base/string_ids.h"
#include "base/strings.h"
#include "core/picture_budget.h"
#include "formats/common/format_entry.h"
#include "formats/webp/webp_canvas.h"
#include "formats/webp/webp_compose.h"
#include "formats/webp/webp_frames.h"
#include "platform/files.h"

namespace lw {
namespace {

struct DemuxDeleter {
  void operator()(WebPDemuxer* d) const { WebPDemuxDelete(d); }
};
struct AnimDecoderDeleter {
  void operator()(WebPAnimDecoder* d) const { WebPAnimDecoderDelete(d); }
};
struct AnimEncoderDeleter {
  void operator()(WebPAnimEncoder* e) const { WebPAnimEncoderDelete(e); }
};

// Milliseconds to delay units, rounded at each frame's end so that the total stays right.
uint64_t UnitsAt(uint64_t milliseconds, uint32_t units) {
  return (milliseconds * units + 500) / 1000;
}

// ---- Reading ----

// Colour and alpha planes of a decoded still picture.
bool FillStill(const std::vector<uint8_t>& bgra, uint32_t width, uint32_t height, Frame* frame) {
  std::vector<uint8_t> rgb, alpha;
  try {
    rgb.assign(RgbStride(width) * height, 0);
    alpha.assign(IndexStride(width) * height, 0);
  } catch (const std::bad_alloc&) {
    return false;
  }
  bool opaque = true;
  for (uint64_t y = 0; y < height; ++y)
    for (uint64_t x = 0; x < width; ++x) {
      const uint8_t* p = &bgra[4 * (y * width + x)];
      std::memcpy(&rgb[RgbStride(width) * y + 3 * x], p, 3);
      alpha[IndexStride(width) * y + x] = p[3];
      opaque = opaque && p[3] == 255;
    }
  SetRgbPlane(frame, std::move(rgb));
  if (!opaque) SetAlphaPlane(frame, std::move(alpha));
  return true;
}

int ReadStill(const uint8_t* data, size_t size, const Timing& timing, AnimationPtr* out) {
  WebPBitstreamFeatures features;
  if (WebPGetFeatures(data, size, &features) != VP8_STATUS_OK || features.width <= 0 ||
      features.height <= 0) {
    ShowErrorId(str::WebpDamaged);
    return ReadFailed;
  }
  const auto width = static_cast<uint32_t>(features.width);
  const auto height = static_cast<uint32_t>(features.height);
  if (!PictureFitsBudget(width, height, 4)) {
    ShowErrorId(str::WebpTooLarge);
    return ReadFailed;
  }
  std::vector<uint8_t> bgra;
  try {
    bgra.resize(uint64_t{4} * width * height);
  } catch (const std::bad_alloc&) {
    ShowErrorId(str::WebpTooLarge);
    return ReadFailed;
  }
  if (!WebPDecodeBGRAInto(data, size, bgra.data(), bgra.size(), static_cast<int>(4 * width))) {
    ShowErrorId(str::WebpDamaged);
    return ReadFailed;
  }
  AnimationPtr animation = NewBlankAnimation(width, height, timing);
  if (!animation || !FillStill(bgra, width, height, FirstFrame(*animation))) {
    ShowErrorId(str::NoFrameMemory);
    return ReadFailed;
  }
  *out = std::move(animation);
  return ReadComplete;
}

int ReadAnimated(const WebPDemuxer* demux, uint32_t width, uint32_t height, DelayUnits delayUnits,
                 ProgressMeter* meter, AnimationPtr* out) {
  WebpComposer composer(demux);
  if (composer.FrameCount() == 0) {
    ShowErrorId(str::WebpDamaged);
    return ReadFailed;
  }
  // Counted before anything is made: the composer's two pictures, the two the frames are made
  // from, and room for the next frame; the frames made then take their share as they come.
  PictureReservation budget;
  const uint64_t box = composer.PictureBytes();
  const uint64_t frameRoom = DibBitsOffset + PictureBytes(composer.Width(), composer.Height(), 3) +
                             PictureBytes(composer.Width(), composer.Height(), 1);
  if (!budget.Take(4 * box + frameRoom) || !composer.Start()) {
    ShowErrorId(str::WebpTooLarge);
    return ReadFailed;
  }
  AnimationPtr animation = NewAnimation();
  if (!animation) {
    ShowErrorId(str::NoFrameMemory);
    return ReadFailed;
  }
  animation->screenWidth = width;
  animation->screenHeight = height;
  // Both count the plays, 0 for ever.
  animation->playCount = WebPDemuxGetI(demux, WEBP_FF_LOOP_COUNT);
  CanvasFrames frames(*animation, composer.Width(), composer.Height(), composer.Left(),
                      composer.Top());
  ProgressSetRange(meter, composer.FrameCount());

  const uint32_t units = delayUnits.perSecond;
  uint64_t shownUntil = 0;  // in delay units
  uint64_t counted = 0;     // bytes of the frames made that the budget holds
  uint32_t count = 0;
  int status = ReadComplete;
  int message = 0;
  while (composer.HasMore()) {
    // The frame count is a 16-bit number.
    if (count == INT16_MAX) {
      status = ReadPartial;
      break;
    }
    int64_t timestamp = 0;
    if (!composer.Next(&timestamp)) {
      status = ReadPartial;
      message = str::WebpDamaged;
      break;
    }
    const uint64_t until = UnitsAt(static_cast<uint64_t>(std::max<int64_t>(timestamp, 0)), units);
    const auto delay = static_cast<uint32_t>(
        std::min<uint64_t>(until > shownUntil ? until - shownUntil : 0, UINT32_MAX));
    shownUntil = std::max(until, shownUntil);
    if (!frames.Add(composer.Picture(), delay)) {
      status = ReadPartial;
      message = str::NoFrameMemory;
      break;
    }
    // The frame just made used the room kept for it; the next one needs that room again.
    if (!budget.Take(frames.BytesKept() - counted)) {
      status = ReadPartial;
      message = str::WebpTooLarge;
      break;
    }
    counted = frames.BytesKept();
    ++count;
    if (!ProgressSetPosition(meter, count)) {
      status = ReadPartial;
      break;
    }
  }
  if (!frames.Finish() && !message) message = str::NoFrameMemory;
  if (message) ShowErrorId(message);
  if (animation->frameCount == 0) return ReadFailed;
  *out = std::move(animation);
  return status;
}

int ReadWebpFile(const std::string& path, const ReadOptions& options, WindowHandle /*owner*/,
                 AnimationPtr* out, ProgressMeter* meter) {
  return ReadWebp(path, options.timing, out, meter);
}

// ---- Writing ----

Encoded EncodeStill(const std::vector<uint8_t>& canvas, uint32_t width, uint32_t height,
                    const WebPConfig& config, std::string* bytes) {
  WebPPicture picture;
  if (!WebPPictureInit(&picture)) return Encoded::Failed;
  picture.use_argb = 1;
  picture.width = static_cast<int>(width);
  picture.height = static_cast<int>(height);
  WebPMemoryWriter writer;
  WebPMemoryWriterInit(&writer);
  picture.writer = WebPMemoryWrite;
  picture.custom_ptr = &writer;
  Encoded result = Encoded::Failed;
  if (!WebPPictureImportBGRA(&picture, canvas.data(), static_cast<int>(4 * width))) {
    result = Encoded::NoMemory;
  } else if (WebPEncode(&config, &picture)) {
    try {
      bytes->assign(reinterpret_cast<const char*>(writer.mem), writer.size);
      result = Encoded::Done;
    } catch (const std::bad_alloc&) {
      result = Encoded::NoMemory;
    }
  } else if (picture.error_code == VP8_ENC_ERROR_OUT_OF_MEMORY) {
    result = Encoded::NoMemory;
  }
  WebPPictureFree(&picture);
  WebPMemoryWriterClear(&writer);
  return result;
}

// Gives every picture the preview shows, whole, with the millisecond it starts at, to add(canvas,
// at), then the end of the last one to finish(end).
template <typename Add, typename Finish>
Encoded EncodeFrames(const Animation& document, DocumentPictures& pictures, DelayUnits delayUnits,
                     ProgressMeter* meter, Add add, Finish finish) {
  const uint32_t units = delayUnits.perSecond;
  constexpr auto kLast = static_cast<uint64_t>(std::numeric_limits<int>::max());
  uint64_t elapsed = 0;  // in delay units
  uint32_t done = 0;
  Encoded result = Encoded::Done;
  for (const Frame* f = FirstFrame(document); f && result == Encoded::Done; f = NextFrame(f)) {
    const uint64_t at = (elapsed * 1000 + units / 2) / units;
    elapsed += f->delay;
    if (at > kLast)
      result = Encoded::Failed;
    else
      result = add(pictures.Draw(*f), static_cast<int>(at));
    if (result == Encoded::Done && !ProgressSetPosition(meter, ++done)) result = Encoded::Cancelled;
  }
  if (result != Encoded::Done) return result;
  const uint64_t end = (elapsed * 1000 + units / 2) / units;
  return end > kLast ? Encoded::Failed : finish(static_cast<int>(end));
}

int LoopCount(const Animation& document) {
  return static_cast<int>(std::min<uint32_t>(document.playCount, 65535));
}

// Lossless frames are placed by us (see LosslessFrames).
Encoded EncodeLossless(const Animation& document, DocumentPictures& pictures,
                       const WebPConfig& config, DelayUnits units, ProgressMeter* meter,
                       std::string* bytes) {
  LosslessFrames frames(document.screenWidth, document.screenHeight, config);
  return EncodeFrames(
      document, pictures, units, meter,
      [&](const std::vector<uint8_t>& canvas, int at) { return frames.Add(canvas, at); },
      [&](int end) { return frames.Finish(end, LoopCount(document), bytes); });
}

// Lossy pictures go to libwebp's animation encoder, which finds the boxes that change (within
// the loss allowed) and how to dispose of them itself.
Encoded EncodeLossy(const Animation& document, DocumentPictures& pictures, const WebPConfig& config,
                    DelayUnits units, ProgressMeter* meter, std::string* bytes) {
  const uint32_t width = document.screenWidth, height = document.screenHeight;
  WebPAnimEncoderOptions options;
  if (!WebPAnimEncoderOptionsInit(&options)) return Encoded::Failed;
  options.anim_params.loop_count = LoopCount(document);
  std::unique_ptr<WebPAnimEncoder, AnimEncoderDeleter> encoder(
      WebPAnimEncoderNew(static_cast<int>(width), static_cast<int>(height), &options));
  if (!encoder) return Encoded::NoMemory;
  WebPPicture picture;
  if (!WebPPictureInit(&picture)) return Encoded::Failed;
  picture.use_argb = 1;
  picture.width = static_cast<int>(width);
  picture.height = static_cast<int>(height);
  // A frame lasts less than 2^24 milliseconds: a longer picture is given again as often as it
  // takes, and the encoder stores the repeats as frames that change nothing.
  constexpr int kLongest = (1 << 24) - 1;
  int last = -1;  // when the picture given last starts
  auto reach = [&](int at) {
    for (; last >= 0 && at - last > kLongest; last += kLongest)
      if (!WebPAnimEncoderAdd(encoder.get(), &picture, last + kLongest, &config)) return false;
    return true;
  };
  auto failure = [&] {
    return picture.error_code == VP8_ENC_ERROR_OUT_OF_MEMORY ? Encoded::NoMemory : Encoded::Failed;
  };
  Encoded result = EncodeFrames(
      document, pictures, units, meter,
      [&](const std::vector<uint8_t>& canvas, int at) {
        if (!reach(at)) return failure();
        if (!WebPPictureImportBGRA(&picture, canvas.data(), static_cast<int>(4 * width)))
          return Encoded::NoMemory;
        if (!WebPAnimEncoderAdd(encoder.get(), &picture, at, &config)) return failure();
        last = at;
        return Encoded::Done;
      },
      [&](int end) {
        WebPData data;
        WebPDataInit(&data);
        Encoded assembled = Encoded::Failed;
        if (reach(end) && WebPAnimEncoderAdd(encoder.get(), nullptr, end, nullptr) &&
            WebPAnimEncoderAssemble(encoder.get(), &data)) {
          try {
            bytes->assign(reinterpret_cast<const char*>(data.bytes), data.size);
            assembled = Encoded::Done;
          } catch (const std::bad_alloc&) {
            assembled = Encoded::NoMemory;
          }
        }
        WebPDataClear(&data);
        return assembled;
      });
  WebPPictureFree(&picture);
  return result;
}

bool WriteBytes(const std::string& path, const std::string& bytes) {
  FILE* file = std::fopen(path.c_str(), "wb");
  if (!file) return false;
  bool written = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
  return std::fclose(file) == 0 && written;
}

// Whether a WebP file holds a picture compressed with losses: a "VP8 " chunk at the top or in
// an animation frame.
bool WebpFileIsLossy(const std::string& path) {
  int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) return false;
  struct stat st {};
  uint8_t head[12];
  bool lossy = false;
  if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && ::pread(fd, head, 12, 0) == 12 &&
      std::memcmp(head, "RIFF", 4) == 0 && std::memcmp(head + 8, "WEBP", 4) == 0) {
    auto le32 = [](const uint8_t* p) {
      return uint64_t{p[0]} | uint64_t{p[1]} << 8 | uint64_t{p[2]} << 16 | uint64_t{p[3]} << 24;
    };
    const uint64_t end = std::min<uint64_t>(static_cast<uint64_t>(st.st_size), 8 + le32(head + 4));
    uint64_t pos = 12, frameEnd = 0;  // frameEnd: the end of the animation frame being read
    uint8_t chunk[8];
    while (!lossy && pos + 8 <= end && ::pread(fd, chunk, 8, static_cast<off_t>(pos)) == 8) {
      const uint64_t size = le32(chunk + 4);
      lossy = std::memcmp(chunk, "VP8 ", 4) == 0;
      if (std::memcmp(chunk, "ANMF", 4) == 0 && size >= 16) {
        frameEnd = pos + 8 + size;
        pos += 8 + 16;  // the frame's own chunks follow its 16-byte header
        continue;
      }
      pos += 8 + size + (size & 1);
      if (frameEnd != 0 && pos >= frameEnd) pos = frameEnd + (frameEnd & 1), frameEnd = 0;
    }
  }
  ::close(fd);
  return lossy;
}

bool WriteWebpDocument(const std::string& path, const std::string& target, Animation& document,
                       SaveOptions& options, WindowHandle owner) {
  const WebpSettings* chosen = options.FormatOptions<WebpSettings>();
  const WebpSettings* stored = options.settings.StoredChoice<WebpSettings>(savetype::Webp);
  const WebpSettings settings = chosen && chosen->filled ? *chosen
                                : stored                 ? *stored
                                                         : WebpSettings{};
  return WriteWebp(path, target, document, settings, options.settings.timing.units, owner);
}

}  // namespace

int ReadWebp(const std::string& path, const Timing& timing, AnimationPtr* out,
             ProgressMeter* meter) {
  out->reset();
  // The file is read whole: no picture the budget admits comes from a larger one.
  std::string bytes;
  const int64_t size = RegularFileSize(path);
  if (size > 0 && static_cast<uint64_t>(size) > std::max<uint64_t>(PictureBudgetBytes(), 1 << 20)) {
    ShowErrorId(str::WebpTooLarge);
    return ReadFailed;
  }
  if (!ReadWholeFile(path, static_cast<size_t>(std::max<int64_t>(size, 0)), &bytes)) {
    ShowErrorId(str::WebpDamaged);
    return ReadFailed;
  }
  return ReadWebpBytes(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size(), timing, out,
                       meter);
}

int ReadWebpBytes(const uint8_t* data, size_t size, const Timing& timing, AnimationPtr* out,
                  ProgressMeter* meter) {
  out->reset();
  WebPData webp{data, size};
  std::unique_ptr<WebPDemuxer, DemuxDeleter> demux(data && size ? WebPDemux(&webp) : nullptr);
  if (!demux) {
    ShowErrorId(str::WebpDamaged);
    return ReadFailed;
  }
  const uint32_t width = WebPDemuxGetI(demux.get(), WEBP_FF_CANVAS_WIDTH);
  const uint32_t height = WebPDemuxGetI(demux.get(), WEBP_FF_CANVAS_HEIGHT);
  const uint32_t flags = WebPDemuxGetI(demux.get(), WEBP_FF_FORMAT_FLAGS);
  if (width == 0 || height == 0) {
    ShowErrorId(str::WebpDamaged);
    return ReadFailed;
  }
  // Before anything is decoded (ReadStill checks its picture, the animation its frames' box): a
  // small file may announce a canvas of gigabytes.
  if (!(flags & ANIMATION_FLAG)) return ReadStill(data, size, timing, out);
  return ReadAnimated(demux.get(), width, height, timing.units, meter, out);
}

bool WriteWebp(const std::string& path, const std::string& target, const Animation& document,
               const WebpSettings& settings, DelayUnits units, WindowHandle owner) {
  const Frame* first = FirstFrame(document);
  if (!first) return false;
  const uint32_t width = document.screenWidth, height = document.screenHeight;
  if (width > WEBP_MAX_DIMENSION || height > WEBP_MAX_DIMENSION) {
    ShowErrorId(str::WebpScreenTooLarge);
    return false;
  }
  DocumentPictures pictures(document);
  if (!pictures.Ready()) {
    ShowErrorId(str::NoFrameMemory);
    return false;
  }
  WebPConfig config;
  if (!WebPConfigInit(&config)) return false;
  // gif2webp's effort for lossless pictures (quality 75, method 4).
  config.lossless = settings.lossy ? 0 : 1;
  config.quality = settings.lossy ? static_cast<float>(std::clamp(settings.quality, 0, 100)) : 75;
  config.method = 4;

  ProgressMeterPtr meter(CreateProgressMeter(owner, progress::OwnPopup, 0));
  ProgressSetText(meter.get(), TableText(str::WebpWriting));
  ProgressSetRange(meter.get(), static_cast<uint32_t>(std::max<int16_t>(document.frameCount, 1)));
  std::string bytes;
  Encoded result = Encoded::Failed;
  RunPumping(meter.get(), [&] {
    if (!NextFrame(first))
      result = EncodeStill(pictures.Draw(*first), width, height, config, &bytes);
    else
      result = (config.lossless ? EncodeLossless : EncodeLossy)(document, pictures, config, units,
                                                                meter.get(), &bytes);
  });
  ProgressClose(meter.get());
  switch (result) {
    case Encoded::Done: break;
    case Encoded::Cancelled: return false;
    case Encoded::NoMemory: ShowErrorId(str::NoFrameMemory); return false;
    case Encoded::Failed: ShowErrorId(str::WebpEncodeFailed); return false;
  }
  if (!WriteBytes(path, bytes)) {
    DeleteFile(path);
    ShowErrorId(str::CannotWriteFile, target.c_str());
    return false;
  }
  return true;
}

FormatSpec WebpFormat() {
  FileFilter filter{TableText(str::FilterWebp), "*.webp"};
  return {.id = "webp",
          .extensions = {"webp"},
          .reader = ReadWebpFile,
          .openFilter = filter,
          .openFilterOrder = 9,
          .saveType = savetype::Webp,
          .save = {"webp", TableText(str::SaveFilterWebp), "*.webp", savetrait::ExtraPanel},
          .writeDocument = WriteWebpDocument,
          .keepsNameWhenAnimated = true,
          .optionsPanel = 313,  // lossless or lossy
          .losesOnResave = WebpFileIsLossy};
}

}  // namespace lw
