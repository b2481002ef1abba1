#include "formats/avi/video_out_format.h"

#include <algorithm>
#include <cerrno>
#include <new>
#include <vector>

#include "base/messages.h"
#include "base/progress.h"
#include "base/string_ids.h"
#include "base/strings.h"
#include "core/compose.h"
#include "core/frame_viewer.h"
#include "core/picture_budget.h"
#include "formats/avi/avi_format.h"
#include "formats/common/flow_text.h"
#include "formats/common/format_entry.h"

namespace lw {
namespace {

// The background colour (0x00BBGGRR) transparent pixels and disposals show.
uint32_t BackgroundColour(const Animation& document) {
  const Palette* global = document.globalPalette.get();
  if (!global || document.backgroundIndex >= global->Count()) return 0;
  const PaletteEntry& e = global->entries[document.backgroundIndex];
  return uint32_t{e.blue} << 16 | uint32_t{e.green} << 8 | e.red;
}

// The message of a clip that could not be finished.
void ShowClipError(int status, const std::string& target) {
  // FFmpeg's codes are the negated system errors: a file system that refused the bytes gets
  // the write failure every other writer shows.
  switch (-status) {
    case ENOSPC:
    case EDQUOT:
    case EFBIG:
    case EIO:
    case EROFS:
    case EPIPE: ShowErrorId(str::CannotWriteFile, target.c_str()); break;
    default: ShowErrorId(str::VideoEncodeError, status, target.c_str());
  }
}

// A clip's pictures are compressed with losses each time it is written.
bool AlwaysLoses(const std::string& /*file*/) { return true; }

// The CRF the Save As panel chose, else the remembered one, else the encoder's default.
int ChosenCrf(const SaveOptions& options, int saveType, ClipCodec codec) {
  const ClipSaveOptions* chosen = options.FormatOptions<ClipSaveOptions>();
  if (chosen && chosen->crf >= 0) return chosen->crf;
  const ClipSaveOptions* stored = options.settings.StoredChoice<ClipSaveOptions>(saveType);
  if (stored && stored->crf >= 0 && stored->crf <= MaxClipCrf(codec)) return stored->crf;
  return DefaultClipCrf(codec);
}

int ReadClip(const std::string& path, const ReadOptions& options, WindowHandle owner,
             AnimationPtr* out, ProgressMeter* meter) {
  return ReadAvi(path, options.timing, owner, out, meter);
}

bool WriteMp4Document(const std::string& path, const std::string& target, Animation& document,
                      SaveOptions& options, WindowHandle owner) {
  const int crf = ChosenCrf(options, savetype::Mp4, ClipCodec::H264);
  return WriteClip(path, target, document, ClipCodec::H264, crf, options.settings.timing.units,
                   owner);
}

bool WriteWebmDocument(const std::string& path, const std::string& target, Animation& document,
                       SaveOptions& options, WindowHandle owner) {
  const int crf = ChosenCrf(options, savetype::Webm, ClipCodec::Vp9);
  return WriteClip(path, target, document, ClipCodec::Vp9, crf, options.settings.timing.units,
                   owner);
}

}  // namespace

int MaxClipCrf(ClipCodec codec) { return codec == ClipCodec::Vp9 ? 63 : 51; }
int DefaultClipCrf(ClipCodec codec) { return codec == ClipCodec::Vp9 ? 31 : 23; }

bool WriteClip(const std::string& path, const std::string& target, const Animation& document,
               ClipCodec codec, int crf, DelayUnits delayUnits, WindowHandle owner) {
  if (!FirstFrame(document)) return false;
  if (!VideoModuleReady()) {
    ShowVideoModuleProblem();
    return false;
  }
  if (!HasClipEncoder(codec)) {
    ShowErrorId(str::VideoEncoderMissing, ClipEncoderName(codec), target.c_str());
    return false;
  }
  const uint32_t w = document.screenWidth, h = document.screenHeight;
  // 4:2:0 pictures have even sides: the extra column or row takes the background.
  const uint32_t evenW = w + (w & 1), evenH = h + (h & 1);
  if (w == 0 || h == 0 || !PictureFitsBudget(evenW, evenH, 4)) {
    ShowErrorId(str::NoResourcesForPreview);
    return false;
  }
  ClipError error = ClipError::None;
  auto writer = ClipFileWriter::Create(path, {codec, evenW, evenH, crf, 100}, &error);
  if (!writer) {
    if (error == ClipError::NoEncoder)
      ShowErrorId(str::VideoEncoderMissing, ClipEncoderName(codec), target.c_str());
    else
      ShowErrorId(str::CannotWriteFile, target.c_str());
    return false;
  }
  FrameViewer viewer;
  viewer.background = BackgroundColour(document);
  if (!PrepareViewer(&viewer, &document, w, h)) return false;
  std::vector<uint32_t> picture;
  try {
    picture.assign(size_t{evenW} * evenH, PixelFromColour(viewer.background));
  } catch (const std::bad_alloc&) {
    ShowErrorId(str::NoResourcesForPreview);
    return false;
  }

  ProgressMeterPtr meter(CreateProgressMeter(owner, progress::OwnPopup, 0));
  ProgressSetText(meter.get(), TableText(str::ExportingVideo));
  ProgressSetRange(meter.get(), static_cast<uint32_t>(std::max<int>(document.frameCount, 1)));
  // Times in hundredths of a second from the summed delays, so that rounding never drifts; a
  // picture lasts at least one hundredth.
  const uint64_t units = delayUnits.perSecond;
  uint64_t delays = 0;
  int64_t start = 0;
  int n = 0;
  int status = 0;
  for (const Frame* f = FirstFrame(document); f; f = NextFrame(f)) {
    ++n;
    ShowPictureUpTo(&viewer, n, n == 1);
    const PixelView shown = ViewerPicture(&viewer);
    for (int y = 0; y < shown.height; ++y)
      std::copy_n(shown.pixels + static_cast<size_t>(shown.stride) * y, shown.width,
                  picture.data() + size_t{evenW} * y);
    if ((status = writer->Write(start, picture.data(), static_cast<int>(evenW))) != 0) break;
    delays += f->delay;
    start = std::max<int64_t>(start + 1, static_cast<int64_t>(delays * 100 / units));
    if (!ProgressSetPosition(meter.get(), static_cast<uint32_t>(n))) {
      ProgressClose(meter.get());
      return false;
    }
  }
  if (status == 0) status = writer->Finish(start);
  ProgressClose(meter.get());
  if (status != 0) {
    ShowClipError(status, target);
    return false;
  }
  return true;
}

FormatSpec Mp4Format() {
  return {.id = "mp4",
          .extensions = {"mp4"},
          .reader = ReadClip,
          .saveType = savetype::Mp4,
          .save = {"mp4", TableText(str::SaveFilterMp4), "*.mp4", savetrait::ExtraPanel},
          .writeDocument = WriteMp4Document,
          .keepsNameWhenAnimated = true,
          .optionsPanel = 312,  // the clip quality panel
          .losesOnResave = AlwaysLoses};
}

FormatSpec WebmFormat() {
  return {.id = "webm",
          .extensions = {"webm"},
          .reader = ReadClip,
          .saveType = savetype::Webm,
          .save = {"webm", TableText(str::SaveFilterWebm), "*.webm", savetrait::ExtraPanel},
          .writeDocument = WriteWebmDocument,
          .keepsNameWhenAnimated = true,
          .optionsPanel = 312,  // the clip quality panel
          .losesOnResave = AlwaysLoses};
}

}  // namespace lw
