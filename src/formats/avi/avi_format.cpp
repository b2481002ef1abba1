#include "formats/avi/avi_format.h"

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <new>
#include <vector>

#include "base/messages.h"
#include "base/progress.h"
#include "base/string_ids.h"
#include "base/strings.h"
#include "core/picture_budget.h"
#include "formats/avi/avi_timing.h"
#include "formats/avi/video_import.h"
#include "formats/common/flow_text.h"
#include "formats/common/format_entry.h"
#include "platform/files.h"
#include "platform/flow_dialogs.h"
#include "platform/video_files.h"

namespace lw {
namespace {

// Decoders may make no picture larger than the largest the budget could ever admit.
constexpr uint64_t kMaxDecodedPixels = uint64_t{1} << 30;

std::string Formatted(const char* format, ...) {
  va_list args;
  va_start(args, format);
  char buffer[1024];
  std::vsnprintf(buffer, sizeof buffer, format, args);
  va_end(args);
  return buffer;
}

// ---- Reading ----

// OverBudget: the frames kept so far (in *out) reached the picture budget. PastEnd: the part
// asked starts where the clip has already ended.
enum class ReadEnd { Complete, Stopped, ReadError, NoMemory, OverBudget, PastEnd };

// The clock of a stream, for the part asked.
ClipClock ClockOf(const VideoInfo& info, const VideoPart& part, DelayUnits units) {
  ClipClock clock;
  clock.scale = info.scale;
  clock.rate = info.rate;
  clock.start = info.start;
  clock.end = info.end;
  clock.ownRateNum = info.frameRateNum;
  clock.ownRateDen = info.frameRateDen;
  clock.partStartMs = part.startMs;
  clock.partLengthMs = part.lengthMs;
  clock.fpsMilli = part.fpsMilli;
  clock.units = units.perSecond;
  return clock;
}

// The frames of a stream, one picture at a time, within the picture budget every picture of the
// program shares (minutes of a large movie would take more memory than there is).
class FrameSink {
 public:
  FrameSink(const VideoInfo& info, Animation& animation)
      : info_(info),
        animation_(animation),
        frameBytes_(info.palettised ? DibBitsOffset + IndexStride(info.width) * info.height
                                    : RgbStride(info.width) * info.height),
        budget_(PictureBudgetBytes()) {}

  // Complete when the picture became a frame.
  ReadEnd Add(VideoPicture& picture, uint32_t delay) {
    if (animation_.frameCount == INT16_MAX) return ReadEnd::Stopped;  // a 16-bit count
    if (frameBytes_ > budget_ || bytesKept_ > budget_ - frameBytes_)
      return animation_.frameCount == 0 ? ReadEnd::NoMemory : ReadEnd::OverBudget;
    bytesKept_ += frameBytes_;
    Frame* frame = NewFrame(info_.width, info_.height, delay);
    if (!frame) return ReadEnd::NoMemory;
    InsertBlockAfter(LastBlock(animation_), frame);
    ++animation_.frameCount;
    frame->delay = delay;
    if (!info_.palettised) {
      SetRgbPlane(frame, std::move(picture.pixels));
      return ReadEnd::Complete;
    }
    uint8_t triples[3 * 256];
    for (int i = 0; i < 256; ++i) {
      triples[3 * i] = static_cast<uint8_t>(picture.palette[i] >> 16);
      triples[3 * i + 1] = static_cast<uint8_t>(picture.palette[i] >> 8);
      triples[3 * i + 2] = static_cast<uint8_t>(picture.palette[i]);
    }
    if (!animation_.globalPalette) {
      PalettePtr global = PaletteFromTriples(256, triples);
      if (!global) return ReadEnd::NoMemory;
      SetGlobalPalette(animation_, std::move(global));
    }
    frame->palette = animation_.globalPalette.get();
    PalettePtr own = PaletteFromTriples(256, triples);
    if (!own) return ReadEnd::NoMemory;
    if (own->entries != animation_.globalPalette->entries) {
      SetLocalPalette(frame, std::move(own));
      frame->descriptorFlags |= 0x80 | 7;
    }
    std::vector<uint8_t> dib = BuildDib(info_.width, info_.height, frame->palette);
    if (dib.empty()) return ReadEnd::NoMemory;
    std::memcpy(dib.data() + DibBitsOffset, picture.pixels.data(),
                std::min(picture.pixels.size(), dib.size() - DibBitsOffset));
    SetFrameDib(frame, std::move(dib));
    return ReadEnd::Complete;
  }

 private:
  const VideoInfo& info_;
  Animation& animation_;
  const uint64_t frameBytes_;
  const uint64_t budget_;
  uint64_t bytesKept_ = 0;
};

// The frames of the part of the stream the clock covers into a new animation. Messages are left
// to the caller.
ReadEnd ReadFrames(VideoFileReader& reader, const ClipClock& clock, uint32_t playCount,
                   ProgressMeter* meter, AnimationPtr* out) {
  const VideoInfo& info = reader.Info();
  AnimationPtr animation = NewAnimation();
  if (!animation) return ReadEnd::NoMemory;
  const int64_t range = info.end > info.start ? info.end - info.start : 1;
  ProgressSetRange(meter, static_cast<uint32_t>(std::min<int64_t>(range, UINT32_MAX)));

  FrameSink sink(info, *animation);
  FrameTimeline timeline(clock.MinDelay());
  VideoPicture held, incoming;
  bool holding = false;
  int64_t lastSample = INT64_MIN, lastStep = 1, lastDuration = 0, after = INT64_MIN;
  ReadEnd end = ReadEnd::Complete;
  for (;;) {
    const int got = reader.Next(&incoming);
    if (got == -2) return ReadEnd::NoMemory;
    if (got < 0) return ReadEnd::ReadError;
    if (got == 0) break;
    if (lastSample != INT64_MIN) lastStep = std::max<int64_t>(incoming.sample - lastSample, 1);
    lastSample = incoming.sample;
    lastDuration = incoming.duration;
    const int64_t at = clock.StartOf(incoming.sample);
    if (at < 0) {  // past the part's end
      after = incoming.sample;
      break;
    }
    const FrameTimeline::Take take = timeline.Add(at);
    if (take == FrameTimeline::Take::NewFrame) {
      end = sink.Add(held, timeline.Delay());
      if (end != ReadEnd::Complete) {
        holding = false;
        break;
      }
    }
    if (take != FrameTimeline::Take::Skip) {
      std::swap(held, incoming);
      holding = true;
    }
    if (!ProgressSetPosition(meter, static_cast<uint32_t>(std::clamp<int64_t>(
                                        lastSample - info.start, 0, UINT32_MAX)))) {
      end = ReadEnd::Stopped;
      break;
    }
  }
  if (end == ReadEnd::NoMemory) return end;
  // The last picture lasts until the stream's end (or the part's), else as long as the file
  // says, else as long as the one before; stopped, one step.
  if (holding && after == INT64_MIN)
    after = end != ReadEnd::Complete ? lastSample + lastStep
            : info.end > lastSample  ? info.end
                                     : lastSample + (lastDuration > 0 ? lastDuration : lastStep);
  // Every picture was over before the part starts (or a seek there found none): the last one
  // would otherwise stand for a part of the clip that does not exist.
  if (end == ReadEnd::Complete && clock.partStartMs > 0 && animation->frameCount == 0 &&
      (!holding || after <= clock.PartStartSample()))
    return ReadEnd::PastEnd;
  if (holding) {
    if (timeline.Finish(clock.EndOf(after))) {
      const ReadEnd last = sink.Add(held, timeline.Delay());
      if (last == ReadEnd::NoMemory) return last;
      if (end == ReadEnd::Complete) end = last;
    }
  }
  if (animation->frameCount == 0) return ReadEnd::ReadError;
  animation->screenWidth = info.width;
  animation->screenHeight = info.height;
  animation->playCount = playCount;
  *out = std::move(animation);
  return end;
}

// The picture a clip shows at ms, fitted within maxSide, for the import dialog.
bool PictureAt(const std::string& path, int64_t ms, uint32_t maxSide, std::vector<uint8_t>* bgr,
               uint32_t* width, uint32_t* height) {
  VideoOpenError error;
  auto reader = VideoFileReader::OpenFile(path, kMaxDecodedPixels, &error);
  if (!reader) return false;
  const VideoInfo& info = reader->Info();
  const uint32_t side = std::max(info.width, info.height);
  const uint64_t fit = std::clamp<uint64_t>(maxSide, 1, side);
  const uint32_t w = static_cast<uint32_t>(std::max<uint64_t>(info.width * fit / side, 1));
  const uint32_t h = static_cast<uint32_t>(std::max<uint64_t>(info.height * fit / side, 1));
  if (!reader->SetPictureSize(w, h)) return false;
  const int64_t target =
      info.start +
      (info.scale > 0 ? std::max<int64_t>(ms, 0) * info.rate / (info.scale * 1000) : 0);
  if (target > info.start) reader->Seek(target);
  VideoPicture picture, shown;
  bool any = false;
  while (reader->Next(&picture) == 1) {
    if (any && picture.sample > target) break;
    std::swap(shown, picture);
    any = true;
  }
  if (!any) return false;
  *bgr = std::move(shown.pixels);
  *width = w;
  *height = h;
  return true;
}

// "2,5" for 2500 ms: the seconds as the batch flags and the dialog take them.
void ShowStartPastEnd(int64_t startMs, const std::string& path) {
  std::string seconds = std::to_string(startMs / 1000);
  if (startMs % 1000 != 0) {
    std::string fraction = std::to_string(1000 + startMs % 1000).substr(1);
    while (fraction.back() == '0') fraction.pop_back();
    seconds += ',' + fraction;
  }
  ShowErrorId(str::ClipStartPastEnd, seconds.c_str(), path.c_str());
}

int ReadAviFile(const std::string& path, const ReadOptions& options, WindowHandle owner,
                AnimationPtr* out, ProgressMeter* meter) {
  return ReadAvi(path, options.timing, owner, out, meter);
}

// ---- Writing ----

// The pictures of a document as the AVI stream holds them.
class PictureSource {
 public:
  PictureSource(const Animation& document, bool trueColour, bool composite)
      : document_(document),
        w_(document.screenWidth),
        h_(document.screenHeight),
        trueColour_(trueColour || composite),
        composite_(composite) {}

  uint64_t Stride() const { return trueColour_ ? RgbStride(w_) : IndexStride(w_); }
  bool TrueColour() const { return trueColour_; }

  // The frame's picture, top row first. False when memory is short or the frame does not hold
  // the screen's pixels.
  bool Picture(const Frame* frame, std::vector<uint8_t>* rows) {
    try {
      if (composite_) return Composite(frame, rows);
      if (frame->width != w_ || frame->height != h_) return false;
      rows->assign(Stride() * h_, 0);
      if (trueColour_ && frame->rgbPlane.size() >= RgbStride(w_) * h_) {
        std::memcpy(rows->data(), frame->rgbPlane.data(), RgbStride(w_) * h_);
        return true;
      }
      const uint8_t* bits = frame->bits();
      if (!bits || frame->dib.size() < DibBitsOffset + IndexStride(w_) * h_) return false;
      if (!trueColour_) {
        std::memcpy(rows->data(), bits, IndexStride(w_) * h_);
        return true;
      }
      const Palette* palette = frame->palette;
      for (uint32_t y = 0; y < h_; ++y)
        for (uint32_t x = 0; x < w_; ++x)
          PutColour(palette, bits[IndexStride(w_) * y + x], rows->data() + Stride() * y + 3 * x);
      return true;
    } catch (const std::bad_alloc&) {
      return false;
    }
  }

 private:
  static void PutColour(const Palette* palette, uint8_t index, uint8_t* bgr) {
    if (!palette || index >= palette->Count()) return;
    const PaletteEntry& e = palette->entries[index];
    bgr[0] = e.blue;
    bgr[1] = e.green;
    bgr[2] = e.red;
  }

  void FillRect(std::vector<uint8_t>& canvas, int64_t x0, int64_t y0, int64_t x1, int64_t y1) {
    x0 = std::max<int64_t>(x0, 0), y0 = std::max<int64_t>(y0, 0);
    x1 = std::min<int64_t>(x1, w_), y1 = std::min<int64_t>(y1, h_);
    for (int64_t y = y0; y < y1; ++y)
      for (int64_t x = x0; x < x1; ++x)
        std::memcpy(canvas.data() + Stride() * y + 3 * x, background_, 3);
  }

  // What a viewer shows while the frame is up: the frames before it with their disposals, and
  // this one over them.
  bool Composite(const Frame* frame, std::vector<uint8_t>* rows) {
    if (canvas_.empty()) {
      canvas_.assign(Stride() * h_, 0);
      const Palette* global = document_.globalPalette.get();
      if (global && document_.backgroundIndex < global->Count()) {
        const PaletteEntry& e = global->entries[document_.backgroundIndex];
        background_[0] = e.blue, background_[1] = e.green, background_[2] = e.red;
      }
      FillRect(canvas_, 0, 0, w_, h_);
    }
    if (previous_) {  // the disposal of the frame before
      const Frame* p = previous_;
      if (p->Disposal() == DisposalBackground)
        FillRect(canvas_, p->left, p->top, int64_t{p->left} + p->width,
                 int64_t{p->top} + p->height);
      else if (p->Disposal() == DisposalPrevious && !saved_.empty())
        canvas_ = saved_;
    }
    if (frame->Disposal() == DisposalPrevious) saved_ = canvas_;
    const uint8_t* bits = frame->bits();
    const bool hasBits =
        bits && frame->dib.size() >= DibBitsOffset + IndexStride(frame->width) * frame->height;
    const bool hasRgb = frame->rgbPlane.size() >= RgbStride(frame->width) * frame->height;
    for (uint32_t y = 0; y < frame->height; ++y) {
      int64_t sy = int64_t{frame->top} + y;
      if (sy < 0 || sy >= h_) continue;
      for (uint32_t x = 0; x < frame->width; ++x) {
        int64_t sx = int64_t{frame->left} + x;
        if (sx < 0 || sx >= w_) continue;
        uint8_t* to = canvas_.data() + Stride() * sy + 3 * sx;
        if (hasBits) {
          uint8_t index = bits[IndexStride(frame->width) * y + x];
          if (frame->Transparent() && index == frame->transparentIndex) continue;
          PutColour(frame->palette, index, to);
        } else if (hasRgb) {
          std::memcpy(to, frame->rgbPlane.data() + RgbStride(frame->width) * y + 3 * x, 3);
        }
      }
    }
    previous_ = frame;
    *rows = canvas_;
    return true;
  }

  const Animation& document_;
  uint32_t w_, h_;
  bool trueColour_;
  bool composite_;
  std::vector<uint8_t> canvas_, saved_;
  uint8_t background_[3] = {0, 0, 0};
  const Frame* previous_ = nullptr;
};

void FlipRows(const uint8_t* from, uint8_t* to, uint64_t stride, uint32_t height) {
  for (uint32_t y = 0; y < height; ++y)
    std::memcpy(to + stride * (height - 1 - y), from + stride * y, stride);
}

// The uncompressed stream into stage. False on failure (message shown) or Esc.
bool WriteStage(const std::string& stage, const std::string& target, const Animation& document,
                const AviSettings& settings, const WriteSettings& write, bool composite,
                ProgressMeter* meter) {
  std::vector<uint32_t> delays;
  for (const Frame* f = FirstFrame(document); f; f = NextFrame(f)) delays.push_back(f->delay);
  if (delays.empty()) return false;
  const AviTiming timing =
      ComputeAviTiming(delays, write.aviFixedRate, write.timing.units.perSecond);

  PictureSource source(document, settings.trueColour, composite);
  AviVideoSpec layout;
  layout.width = document.screenWidth;
  layout.height = document.screenHeight;
  layout.handler = kHandlerNone;
  layout.bitCount = source.TrueColour() ? 24 : 8;
  layout.scale = timing.scale;
  layout.rate = timing.rate;
  if (!source.TrueColour()) {
    if (!document.globalPalette) {
      ShowErrorId(str::AviFormatProblem);
      return false;
    }
    for (const PaletteEntry& e : document.globalPalette->entries)
      layout.palette.push_back(uint32_t{e.red} << 16 | uint32_t{e.green} << 8 | e.blue);
  }
  if (!PictureFitsBudget(layout.width, layout.height, 3)) {
    ShowErrorId(str::AviFormatProblem);
    return false;
  }
  int error = 0;
  bool fileFailed = false;
  auto writer = AviFileWriter::Create(stage, layout, &error, &fileFailed);
  if (!writer) {
    if (fileFailed)
      ShowErrorId(str::AviCannotOpen, target.c_str(), static_cast<unsigned>(error));
    else if (error == VideoOutOfMemoryCode() || error == 0)
      ShowErrorId(str::AviCannotCreate, target.c_str());
    else
      ShowErrorId(str::AviFormatProblem);
    return false;
  }

  ProgressSetText(meter, TableText(str::PreparingAviExport));
  ProgressSetRange(
      meter, static_cast<uint32_t>(std::min<uint64_t>(timing.length * timing.step, UINT32_MAX)));
  std::vector<uint8_t> rows, flipped;
  size_t index = 0;
  for (const Frame* f = FirstFrame(document); f; f = NextFrame(f), ++index) {
    if (!source.Picture(f, &rows)) {
      ShowErrorId(str::AviNoMemoryForVideoData);
      return false;
    }
    flipped.resize(rows.size());
    FlipRows(rows.data(), flipped.data(), source.Stride(), layout.height);
    int status = writer->WriteCoded(timing.samples[index], flipped.data(), flipped.size(), true);
    if (status == 0 && !NextFrame(f) && timing.repeatSample >= 0)
      status = writer->WriteCoded(timing.repeatSample, flipped.data(), flipped.size(), true);
    if (status != 0) {
      ShowErrorId(str::AviFrameSendError, static_cast<unsigned>(status));
      return false;
    }
    uint64_t done = timing.elapsed[index] + std::max(f->delay, timing.step);
    if (!ProgressSetPosition(meter, static_cast<uint32_t>(std::min<uint64_t>(done, UINT32_MAX))))
      return false;
  }
  int status = writer->Finish();
  if (status != 0) {
    ShowErrorId(str::AviFrameSendError, static_cast<unsigned>(status));
    return false;
  }
  return true;
}

enum class Compressed { Done, Failed, Aborted, NoAudio };

// Codes the stage's pictures with the chosen compressor into path, with the audio track.
Compressed CompressStage(const std::string& stage, const std::string& path,
                         const AviSettings& settings, ProgressMeter* meter, int* error) {
  *error = 0;
  VideoOpenError openError;
  auto reader = VideoFileReader::OpenFile(stage, kMaxDecodedPixels, &openError);
  if (!reader) return Compressed::Failed;
  const VideoInfo& info = reader->Info();
  AviVideoSpec layout;
  layout.width = info.width;
  layout.height = info.height;
  layout.bitCount = info.palettised ? 8 : 24;
  layout.scale = static_cast<uint32_t>(info.scale);
  layout.rate = static_cast<uint32_t>(info.rate);
  layout.handler = settings.compress ? settings.compressOptions.handler : kHandlerNone;
  // RLE8 codes 8-bit pictures only.
  if (layout.handler == kHandlerRle8 && !info.palettised) layout.handler = kHandlerVideo1;
  layout.quality = settings.compressOptions.quality;
  layout.keyEvery = settings.compressOptions.keyFrameEvery;
  const bool coded = layout.handler == kHandlerNone || layout.handler == kHandlerRle8;

  VideoPicture picture;
  int got = reader->Next(&picture);
  if (got <= 0) return Compressed::Failed;
  if (info.palettised)
    for (uint32_t c : picture.palette) layout.palette.push_back(c);
  auto writer = AviFileWriter::Create(path, layout, error, nullptr);
  if (!writer) return Compressed::Failed;
  if (settings.withAudio && !writer->AddAudioFrom(settings.audioPath)) return Compressed::NoAudio;

  ProgressSetText(meter, TableText(str::ExportingAvi));
  ProgressSetRange(meter, 100);
  const uint64_t stride = info.palettised ? IndexStride(info.width) : RgbStride(info.width);
  const int64_t span = std::max<int64_t>(info.end - info.start, 1);
  std::vector<uint8_t> rows, bgr;
  try {
    while (got > 0) {
      if (coded) {
        rows.resize(picture.pixels.size());
        FlipRows(picture.pixels.data(), rows.data(), stride, info.height);
        if (layout.handler == kHandlerRle8) rows = EncodeRle8(rows.data(), info.width, info.height);
        *error = writer->WriteCoded(picture.sample, rows.data(), rows.size(), true);
      } else if (info.palettised) {
        bgr.assign(RgbStride(info.width) * info.height, 0);
        for (uint32_t y = 0; y < info.height; ++y)
          for (uint32_t x = 0; x < info.width; ++x) {
            uint32_t c = picture.palette[picture.pixels[stride * y + x]];
            uint8_t* to = bgr.data() + RgbStride(info.width) * y + 3 * x;
            to[0] = static_cast<uint8_t>(c), to[1] = static_cast<uint8_t>(c >> 8);
            to[2] = static_cast<uint8_t>(c >> 16);
          }
        *error = writer->WriteEncoded(picture.sample, bgr.data());
      } else {
        *error = writer->WriteEncoded(picture.sample, picture.pixels.data());
      }
      if (*error != 0) return Compressed::Failed;
      int64_t percent = (picture.sample - info.start + 1) * 100 / span;
      if (!ProgressSetPosition(meter, static_cast<uint32_t>(std::clamp<int64_t>(percent, 0, 100))))
        return Compressed::Aborted;
      got = reader->Next(&picture);
    }
  } catch (const std::bad_alloc&) {
    *error = VideoOutOfMemoryCode();
    return Compressed::Failed;
  }
  if (got < 0) return Compressed::Failed;
  *error = writer->Finish();
  return *error == 0 ? Compressed::Done : Compressed::Failed;
}

bool WriteAviDocument(const std::string& path, const std::string& target, Animation& document,
                      SaveOptions& options, WindowHandle owner) {
  const AviSettings* chosen = options.FormatOptions<AviSettings>();
  return WriteAvi(path, target, document, chosen ? *chosen : AviSettings{}, options.settings,
                  owner);
}

}  // namespace

int ReadAvi(const std::string& path, const Timing& timing, WindowHandle owner, AnimationPtr* out,
            ProgressMeter* meter) {
  out->reset();
  VideoOpenError error;
  auto reader = VideoFileReader::OpenFile(path, kMaxDecodedPixels, &error);
  switch (error) {
    case VideoOpenError::None: break;
    case VideoOpenError::NoVideo: ShowErrorId(str::AviNoVideoStream, path.c_str()); return 0;
    case VideoOpenError::BadFormat: ShowErrorId(str::AviBadStreamFormat); return 0;
    case VideoOpenError::NoDecoder: ShowErrorId(str::AviNoDecompressor); return 0;
    case VideoOpenError::NoModule: ShowVideoModuleProblem(); return 0;
  }
  if (!reader) {
    ShowErrorId(str::AviNoMemoryForMovie);
    return 0;
  }
  const VideoInfo& info = reader->Info();
  if (!PictureFitsBudget(info.width, info.height, 3)) {
    ShowErrorId(str::AviNoMemoryForMovie);
    return 0;
  }
  VideoImportRequest request;
  request.path = path;
  request.width = info.width;
  request.height = info.height;
  if (info.end > info.start && info.rate > 0)
    request.lengthMs = static_cast<int64_t>(static_cast<__int128>(info.end - info.start) *
                                            info.scale * 1000 / info.rate);
  if (info.frameRateNum > 0 && info.frameRateDen > 0)
    request.ownFpsMilli = static_cast<uint32_t>(
        std::min<int64_t>(info.frameRateNum * 1000 / info.frameRateDen, UINT32_MAX));
  request.budgetBytes = PictureBudgetBytes();
  request.pictureAt = [path](int64_t ms, uint32_t maxSide, std::vector<uint8_t>* bgr,
                             uint32_t* width, uint32_t* height) {
    return PictureAt(path, ms, maxSide, bgr, width, height);
  };
  request.part = VideoPartPreset();
  if (!Dialogs().AskVideoImport(owner, &request)) {
    // Like Esc: a run of files stops here without a question.
    if (meter) ProgressCancel();
    return 0;
  }
  const VideoPart& part = request.part;
  if (request.lengthMs > 0 && part.startMs >= request.lengthMs) {
    ShowStartPastEnd(part.startMs, path);
    return 0;
  }
  if (part.width != 0 && part.width != info.width)
    reader->SetPictureSize(part.width, VideoPartHeight(request, part.width));
  const ClipClock clock = ClockOf(info, part, timing.units);
  if (part.startMs > 0) reader->Seek(clock.PartStartSample());
  const uint32_t flags = ProgressFlags(meter);
  ProgressSetFlags(meter, flags & ~progress::NoPump);
  ProgressSetText(meter, TableText(str::ReadingAvi));
  ReadEnd end = ReadFrames(*reader, clock, timing.defaultLoopCount, meter, out);
  ProgressSetFlags(meter, flags);
  switch (end) {
    case ReadEnd::Complete: return 1;
    case ReadEnd::Stopped: return *out ? 2 : 0;
    case ReadEnd::OverBudget:
      // Like Esc: the frames that fitted are kept, as a partial read.
      ShowErrorId(str::AviNoMemoryForVideoData);
      return *out ? 2 : 0;
    case ReadEnd::ReadError: ShowErrorId(str::AviVideoReadError); break;
    case ReadEnd::NoMemory: ShowErrorId(str::AviNoMemoryForVideoData); break;
    case ReadEnd::PastEnd: ShowStartPastEnd(part.startMs, path); break;
  }
  out->reset();
  return 0;
}

int ReadAviMemory(const uint8_t* data, size_t size, const Timing& timing, AnimationPtr* out) {
  out->reset();
  VideoOpenError error;
  auto reader = VideoFileReader::OpenMemory(data, size, kMaxDecodedPixels, &error);
  if (!reader || !PictureFitsBudget(reader->Info().width, reader->Info().height, 3)) return 0;
  ReadEnd end = ReadFrames(*reader, ClockOf(reader->Info(), VideoPart(), timing.units),
                           timing.defaultLoopCount, nullptr, out);
  if (end == ReadEnd::Complete || end == ReadEnd::Stopped || end == ReadEnd::OverBudget)
    return *out ? 1 : 0;
  out->reset();
  return 0;
}

bool WriteAvi(const std::string& path, const std::string& target, const Animation& document,
              AviSettings settings, const WriteSettings& write, WindowHandle owner) {
  if (!FirstFrame(document)) return false;
  if (!VideoModuleReady()) {
    ShowVideoModuleProblem();
    return false;
  }
  if (!settings.filled)
    AviSettingsForSave(document, write.StoredChoice<AviSettings>(savetype::Avi), &settings);
  // Frames an AVI stream cannot show as they are go as the pictures a viewer sees.
  const bool composite = DocumentTraits(document) &
                         (doctrait::LocalPalette | doctrait::Transparency | doctrait::OffScreen);
  ProgressMeterPtr meter(CreateProgressMeter(owner, progress::OwnPopup, 0));
  const std::string stage = path + "1.avi";
  if (!WriteStage(stage, target, document, settings, write, composite, meter.get())) {
    DeleteFile(stage);
    return false;
  }
  if (!settings.withAudio && !settings.compress) {
    DeleteFile(path);
    bool renamed = RenameFile(stage, path);
    if (!renamed) DeleteFile(stage);
    return renamed;
  }
  int error = 0;
  Compressed result = CompressStage(stage, path, settings, meter.get(), &error);
  bool written = result == Compressed::Done;
  if (result == Compressed::NoAudio) {
    DeleteFile(path);
    ShowErrorId(str::AviNoAudioWhileInterleaving);
  } else if (result == Compressed::Aborted) {
    DeleteFile(path);
  } else if (result == Compressed::Failed) {
    DeleteFile(path);
    std::string detail = error == VideoOutOfMemoryCode()
                             ? std::string(TableText(str::OutOfMemory))
                             : Formatted(TableText(str::ErrorCode), static_cast<unsigned>(error));
    std::string question = Formatted(TableText(str::AviCompressorFailed), detail.c_str());
    int answer = Services().MessageBox(owner, question, TableText(str::CompressionError),
                                       mb::YesNo | mb::IconExclamation | mb::TaskModal);
    if (answer == answer::Yes && RenameFile(stage, path)) written = true;
  }
  ProgressClose(meter.get());
  DeleteFile(stage);
  return written;
}

FormatSpec AviFormat() {
  FileFilter filter{TableText(str::FilterAvi), "*.avi"};
  return {.id = "avi",
          .extensions = {"avi"},
          .reader = ReadAviFile,
          .openFilter = filter,
          .openFilterOrder = 2,
          .saveType = savetype::Avi,
          .save = {"avi", TableText(str::SaveFilterAvi), "*.avi", savetrait::ExtraPanel},
          .writeDocument = WriteAviDocument,
          .keepsNameWhenAnimated = true,
          .importCommand = 40109,
          .importFilter = {filter, {TableText(str::FilterAllFiles), "*.*"}},
          .importOrder = 1,
          .optionsPanel = 283,
          .stageSuffix = "1.avi"};
}

FormatSpec VideoFormat() {
  return {.id = "video",
          // MP4, WebM and animated PNG are read by their own formats, which also write them.
          // (Not .ts: Qt's translation files have that name too; FormatForFile looks inside.)
          .extensions = {"m4v",  "mov", "mkv", "flv", "wmv", "asf", "mpg", "mpeg", "vob", "mts",
                         "m2ts", "ogv", "3gp", "3g2", "mj2", "ivf", "y4m", "nut",  "dv",  "mjpeg"},
          .reader = ReadAviFile,
          .openFilter = {TableText(str::FilterVideos), "*.mp4;*.m4v;*.mov;*.mkv;*.webm;*.apng"},
          .openFilterOrder = 2,
          .importCommand = 40380,  // "Vidéo...": every movie FFmpeg reads
          .importFilter = {{TableText(str::FilterAllVideos),
                            "*.mp4;*.m4v;*.mov;*.mkv;*.webm;*.avi;*.flv;*.wmv;*.asf;*.mpg;*.mpeg;"
                            "*.vob;*.ts;*.mts;*.m2ts;*.ogv;*.3gp;*.3g2;*.mj2;*.ivf;*.y4m;*.nut;"
                            "*.dv;*.mjpeg"},
                           {TableText(str::FilterAllFiles), "*.*"}},
          .importOrder = 10};
}

}  // namespace lw
