// The long flags of the batch mode. Each edit calls the engine function the window's dialog or
// command calls on OK, so a script and a click change the document the same way.
#include <algorithm>
#include <cstdio>

#include "base/messages.h"
#include "base/string_ids.h"
#include "base/strings.h"
#include "colour/lossy.h"
#include "colour/optimize.h"
#include "colour/optimize_trial.h"
#include "colour/quantize_hq.h"
#include "colour/reduce_trial.h"
#include "colour/refine_hq.h"
#include "core/picture_budget.h"
#include "edit/caption/layer.h"
#include "edit/caption/text_layer.h"
#include "edit/crop_move.h"
#include "edit/properties.h"
#include "edit/resize.h"
#include "formats/avi/video_import.h"
#include "formats/format_registry.h"
#include "formats/open_flow.h"
#include "formats/save_flow.h"
#include "shell/batch.h"
#include "shell/batch_internal.h"
#include "shell/command_ids.h"
#include "shell/document_commands.h"
#include "shell/frame_edit.h"
#include "shell/geometry_commands.h"
#include "shell/layer_commands.h"
#include "shell/options_from_preferences.h"

namespace lw::batch {
namespace {

using Flag = const std::string&;
using Value = const std::string&;

// A bad argument stops the batch: what follows would work on the wrong document.
void BadValue(Run& run, Flag flag, Value value) {
  ShowErrorId(str::BatchBadValue, flag.c_str(), value.c_str());
  run.stop = true;
}

std::string SizeText(uint64_t width, uint64_t height) {
  return std::to_string(width) + "x" + std::to_string(height);
}

Animation& Document(Run& run) { return *run.state.document; }

// The frames of a list become the selection, the first of them current. False (message shown,
// batch stopped) for a list that does not fit the document.
bool SelectFrames(Run& run, Flag flag, Value list) {
  Animation& doc = Document(run);
  std::vector<bool> chosen;
  if (!ParseFrameList(list, doc.frameCount, &chosen)) {
    ShowErrorId(str::BatchBadFrameList, flag.c_str(), list.c_str(),
                static_cast<int>(doc.frameCount));
    run.stop = true;
    return false;
  }
  SelectFrame(doc, -1, selmode::Only);
  for (size_t i = 0; i < chosen.size(); ++i)
    if (chosen[i]) SelectFrame(doc, static_cast<int>(i), selmode::Toggle);
  run.state.currentFrame = FrameIndex(doc, FirstSelectedFrame(doc));
  return true;
}

void SelectAllFrames(Run& run) {
  Animation& doc = Document(run);
  SelectFrame(doc, 0, selmode::Only);
  SelectFrame(doc, doc.frameCount - 1, selmode::Extend);
  run.state.currentFrame = doc.frameCount > 0 ? 0 : -1;
}

// The resize dialog's OK for the whole animation.
void ResizeTo(Run& run, Flag flag, uint32_t width, uint32_t height) {
  Animation& doc = Document(run);
  ResizeRequest request;
  request.animation = &doc;
  request.wholeAnimation = true;
  request.oldWidth = doc.screenWidth;
  request.oldHeight = doc.screenHeight;
  request.newWidth = width;
  request.newHeight = height;
  request.paletteFit = PaletteFitOptionsFromPreferences();
  // Only resampling scales 24-bit colour, as in the dialog.
  const bool bicubic = run.bicubic || ResizeNeedsBicubic(doc, true, 0);
  // Every frame may grow to the new screen: all of them together must fit the picture budget.
  const uint64_t frames = std::max<int>(doc.frameCount, 1);
  if (width > 65535 || height > 65535 ||
      !PictureFitsBudget(width, height * frames, bicubic ? 4 : 1)) {
    ShowErrorId(str::BatchTooLarge, flag.c_str(), SizeText(width, height).c_str());
    run.stop = true;
    return;
  }
  if (ApplyResize(request, bicubic, nullptr) != 0) run.state.modified = true;
}

void Resize(Run& run, Flag flag, Value value) {
  uint32_t w = 0, h = 0;
  if (!ParseResizeSize(value, &w, &h)) return BadValue(run, flag, value);
  const Animation& doc = Document(run);
  if (w == 0) w = ResizeKeptAspect(doc.screenHeight, doc.screenWidth, h);
  if (h == 0) h = ResizeKeptAspect(doc.screenWidth, doc.screenHeight, w);
  ResizeTo(run, flag, w, h);
}

void ResizeMethod(Run& run, Flag flag, Value value) {
  if (value != "nearest" && value != "bicubic") return BadValue(run, flag, value);
  run.bicubic = value == "bicubic";
}

void Scale(Run& run, Flag flag, Value value) {
  int64_t percent = 0;
  if (!ParseWholeNumber(value, 1, 100000, &percent)) return BadValue(run, flag, value);
  const Animation& doc = Document(run);
  const auto p = static_cast<uint32_t>(percent);
  // As the dialog's fields, never below one pixel.
  ResizeTo(run, flag, std::max(1u, ResizeLengthForPercent(doc.screenWidth, p)),
           std::max(1u, ResizeLengthForPercent(doc.screenHeight, p)));
}

// The Animation menu's rotations.
void Turn(Run& run, int command) {
  if (RunRotationCommand(Document(run), command, -1, nullptr) != 0) run.state.modified = true;
}

void Rotate(Run& run, Flag flag, Value value) {
  if (value == "90") return Turn(run, cmd::AnimationRotate90Cw);
  if (value == "180") return Turn(run, cmd::AnimationRotate180);
  if (value == "270") return Turn(run, cmd::AnimationRotate90Ccw);
  BadValue(run, flag, value);
}

void Flip(Run& run, Flag flag, Value value) {
  if (value == "h") return Turn(run, cmd::AnimationFlipHorizontal);
  if (value == "v") return Turn(run, cmd::AnimationFlipVertical);
  BadValue(run, flag, value);
}

// "Rogner animation": the rectangle must lie on the screen, as the dialog keeps it.
void Crop(Run& run, Flag flag, Value value) {
  int64_t r[4];
  if (!ParseCropRectangle(value, r)) return BadValue(run, flag, value);
  Animation& doc = Document(run);
  if (r[0] + r[2] > doc.screenWidth || r[1] + r[3] > doc.screenHeight) {
    ShowErrorId(str::BatchCropOutside, value.c_str(),
                SizeText(doc.screenWidth, doc.screenHeight).c_str());
    run.stop = true;
    return;
  }
  if (CropAnimation(doc, ScreenRect{r[0], r[1], r[0] + r[2], r[1] + r[3]}) != 0)
    run.state.modified = true;
}

// "Réduire Couleurs": a reduced copy that becomes the document, after the same preparation as
// the window's (24-bit data may go).
void Colors(Run& run, Flag flag, Value value) {
  int64_t n = 0;
  if (!ParseWholeNumber(value, 2, 256, &n)) return BadValue(run, flag, value);
  DropTrueColour(run);  // unasked: the window would ask first
  if (!PrepareOptimize(run.state)) return;
  AnimationPtr copy;
  if (!MakeReducedCopy(Document(run), static_cast<int>(n), run.dither, nullptr, nullptr, &copy)) {
    ShowErrorId(str::ReduceNoMemory);
    return;
  }
  if (KeepReducedCopy(Document(run), std::move(copy))) AfterOptimize(run.state);
}

void Dither(Run& run, Flag, Value) { run.dither = true; }

}  // namespace

int ReadLevel(const Run& run, const Animation* chain) {
  if (run.quality > 0) return run.quality;
  for (const Animation* a = chain; a; a = a->nextInChain.get())
    for (const Frame* f = FirstFrame(*a); f; f = NextFrame(f))
      if (!f->rgbPlane.empty()) return TrueColourReadQuality;
  return 0;
}

uint32_t KeepingLevelTables(const Run& run, uint32_t options) {
  if (run.level == 0 || !run.state.document) return options;
  for (const Frame* f = FirstFrame(*run.state.document); f; f = NextFrame(f))
    if (f->localPalette && (f->descriptorFlags & kSortedTable))
      return options & ~optimize::RemoveLocalPalettes;
  return options;
}

void AfterQualityLevel(Run& run, int level) {
  run.level = level;
  run.levelLossy = QualityFor(level).lossy;
}

void RefineKeptPictures(Run& run) {
  if (run.level <= 0 || !run.state.document) return;
  if (RefineFromTrueColour(Document(run), WithDitherAsked(QualityFor(run.level), false), nullptr))
    run.state.modified = true;
}

void DropTrueColour(Run& run) {
  if (!run.state.document) return;
  RefineKeptPictures(run);
  for (Frame* f = FirstFrame(Document(run)); f; f = NextFrame(f))
    if (f->bits()) FreeRgbPlane(f);  // a frame with nothing else keeps it
}

namespace {

// The inputs that follow get one palette by the high-quality method at this level; an
// animation already open is rebuilt at it now, from the 24-bit data its frames still hold (as
// if the level had come before the inputs), else from the pictures they show.
void Quality(Run& run, Flag flag, Value value) {
  int64_t q = 0;
  if (!ParseWholeNumber(value, MinQuality, MaxQuality, &q)) return BadValue(run, flag, value);
  run.quality = static_cast<int>(q);
  if (!run.state.document) return;
  // In place: a script keeps no undo step, and a copy of a clip is much memory.
  if (!ReduceColoursHq(Document(run), run.quality, false, nullptr, true, false)) return;
  AfterOptimize(run.state);
  AfterQualityLevel(run, run.quality);
}

// The properties bar's delay, on the listed frames or all of them.
void Delay(Run& run, Flag flag, Value value) {
  std::string amount = value, list;
  size_t colon = value.find(':');
  if (colon != std::string::npos) {
    amount = value.substr(0, colon);
    list = value.substr(colon + 1);
  }
  int64_t delay = 0;
  if (!ParseWholeNumber(amount, 0, 65535, &delay)) return BadValue(run, flag, value);
  if (colon == std::string::npos) {
    SelectAllFrames(run);
  } else if (!SelectFrames(run, flag, list)) {
    return;
  }
  SetDelayCommand(run.state, static_cast<uint32_t>(delay));
}

void Loop(Run& run, Flag flag, Value value) {
  int64_t count = 0;
  if (value == "forever") {
    count = 0;
  } else if (value == "none") {
    count = 1;
  } else if (!ParseWholeNumber(value, 0, 65536, &count)) {
    return BadValue(run, flag, value);
  }
  SetLoopCountCommand(run.state, static_cast<uint32_t>(count));
}

void Delete(Run& run, Flag flag, Value value) {
  if (!SelectFrames(run, flag, value)) return;
  if (Document(run).selectedCount >= static_cast<uint32_t>(Document(run).frameCount)) {
    ShowErrorId(str::BatchDeleteAll);
    run.stop = true;
    return;
  }
  DeleteFramesCommand(run.state);
}

void Reverse(Run& run, Flag, Value) {
  SelectAllFrames(run);
  ReverseOrderCommand(run.state);
}

void PingPong(Run& run, Flag, Value) { PingPongCommand(run.state); }

void Unoptimize(Run& run, Flag, Value) {
  DropTrueColour(run);
  UnoptimizeCommand(run.state);
}

// "Commentaires GIF": a new comment after the others.
void Comment(Run& run, Flag, Value value) {
  if (value.size() > MaxCommentLength) {
    ShowErrorId(str::BatchCommentTooLong);
    run.stop = true;
    return;
  }
  Animation& doc = Document(run);
  const int count = static_cast<int>(CommentBlocks(doc).size());
  if (!InsertComment(doc, count, value)) {
    ShowErrorId(str::OutOfMemory);
    return;
  }
  doc.encodedSizeCache = -1;
  run.state.modified = true;
}

// "Optimiser l'animation" with its options named; without a list, those it first offers.
void Optimize(Run& run, Flag flag, Value value) {
  uint32_t options = optimize::Defaults;
  if (!value.empty() && !ParseOptimizeOptions(value, &options)) return BadValue(run, flag, value);
  DropTrueColour(run);  // unasked: the window would ask first
  if (!PrepareOptimize(run.state)) return;
  Animation& doc = Document(run);
  bool anyLocal = false;
  for (Frame* f = FirstFrame(doc); f; f = NextFrame(f)) anyLocal = anyLocal || f->localPalette;
  if (value.empty()) options = KeepingLevelTables(run, options);
  OptimizeInPlace(doc, OptimizeOptionsFromPreferences(TrialOptions(options, anyLocal)), nullptr);
  AfterOptimize(run.state);
}

// The lossy step, taken when the next GIF is written: after the optimizer, whose clear pixels
// it draws through, wherever the flag stands. Taken before -z it would leave the optimizer no
// unchanged pixel to clear, and the file would grow.
void Lossy(Run& run, Flag flag, Value value) {
  int64_t tolerance = 0;
  if (!ParseWholeNumber(value, 0, LossyLargestTolerance, &tolerance))
    return BadValue(run, flag, value);
  run.lossyAsked = static_cast<int>(tolerance);  // replaces the level's amount
}

void Info(Run& run, Flag, Value) {
  std::fputs(DescribeAnimation(Document(run), run.name).c_str(), stdout);
}

void Type(Run& run, Flag flag, Value value) {
  if (value == "auto") {
    run.outputType = 0;
    return;
  }
  for (int type = 1; type <= SaveTypeCount(); ++type) {
    if (FormatForSaveType(type) && value == SaveTypeEntry(type).extension) {
      run.outputType = type;
      return;
    }
  }
  BadValue(run, flag, value);
}

void Frames(Run& run, Flag flag, Value value) {
  if (!ParseFramesChoice(value, &run.frames)) BadValue(run, flag, value);
}

// lossless, or the quality (0 to 100) of lossy pictures.
void Webp(Run& run, Flag flag, Value value) {
  int64_t quality = 0;
  if (value == "lossless")
    run.webp = {.filled = true};
  else if (ParseWholeNumber(value, 0, 100, &quality))
    run.webp = {.filled = true, .lossy = true, .quality = static_cast<int>(quality)};
  else
    BadValue(run, flag, value);
}

// Settings for the clips read next: the rate (which also times image sequences), where the
// part starts and how long it lasts.
void Fps(Run& run, Flag flag, Value value) {
  VideoPart part = VideoPartPreset();
  if (!ParseFrameRate(value, &part.fpsMilli)) return BadValue(run, flag, value);
  SetVideoPartPreset(part);
}
void Start(Run& run, Flag flag, Value value) {
  VideoPart part = VideoPartPreset();
  if (!ParseClipTime(value, &part.startMs)) return BadValue(run, flag, value);
  SetVideoPartPreset(part);
}
void Duration(Run& run, Flag flag, Value value) {
  VideoPart part = VideoPartPreset();
  if (!ParseClipTime(value, &part.lengthMs) || part.lengthMs == 0)
    return BadValue(run, flag, value);
  SetVideoPartPreset(part);
}

// Captions and overlays: the settings flags shape the --text and --overlay that follow.
void Font(Run& run, Flag flag, Value value) {
  TextStyle style = run.textStyle;
  if (!ParseFontName(value, &style)) return BadValue(run, flag, value);
  run.textStyle = style;
}

void TextColour(Run& run, Flag flag, Value value) {
  if (!ParseColourName(value, &run.textStyle.colour)) BadValue(run, flag, value);
}

// COULEUR:LARGEUR
void Outline(Run& run, Flag flag, Value value) {
  const size_t colon = value.rfind(':');
  int64_t width = 0;
  uint32_t colour = 0;
  if (colon == std::string::npos || !ParseColourName(value.substr(0, colon), &colour) ||
      !ParseWholeNumber(value.substr(colon + 1), 0, MaxOutlineWidth, &width))
    return BadValue(run, flag, value);
  run.textStyle.outlineColour = colour;
  run.textStyle.outlineWidth = static_cast<int>(width);
}

// X,Y[:COULEUR], or "none".
void Shadow(Run& run, Flag flag, Value value) {
  if (value == "none") {
    run.textStyle.shadow = false;
    return;
  }
  std::string offsets = value;
  uint32_t colour = 0;
  const size_t colon = value.find(':');
  if (colon != std::string::npos) {
    offsets = value.substr(0, colon);
    if (!ParseColourName(value.substr(colon + 1), &colour)) return BadValue(run, flag, value);
  }
  const size_t comma = offsets.find(',');
  int64_t x = 0, y = 0;
  if (comma == std::string::npos ||
      !ParseWholeNumber(offsets.substr(0, comma), -MaxOutlineWidth, MaxOutlineWidth, &x) ||
      !ParseWholeNumber(offsets.substr(comma + 1), -MaxOutlineWidth, MaxOutlineWidth, &y))
    return BadValue(run, flag, value);
  run.textStyle.shadow = true;
  run.textStyle.shadowX = static_cast<int>(x);
  run.textStyle.shadowY = static_cast<int>(y);
  run.textStyle.shadowColour = colour;
}

void Align(Run& run, Flag flag, Value value) {
  if (value == "left") return void(run.textStyle.align = TextAlign::Left);
  if (value == "center") return void(run.textStyle.align = TextAlign::Center);
  if (value == "right") return void(run.textStyle.align = TextAlign::Right);
  BadValue(run, flag, value);
}

void Place(Run& run, Flag flag, Value value) {
  if (!ParsePlacement(value, &run.place)) BadValue(run, flag, value);
}

void Margin(Run& run, Flag flag, Value value) {
  int64_t margin = 0;
  if (!ParseWholeNumber(value, 0, 65535, &margin)) return BadValue(run, flag, value);
  run.place.margin = margin;
}

// A frame list, checked against the document when a text or image is laid; "all" every frame.
void LayerFrames(Run& run, Flag flag, Value value) {
  if (value.empty()) return BadValue(run, flag, value);
  run.layerFrames = value == "all" ? std::string() : value;
}

void Fade(Run& run, Flag flag, Value value) {
  int64_t frames = 0;
  if (!ParseWholeNumber(value, 0, 32767, &frames)) return BadValue(run, flag, value);
  run.fade = static_cast<int>(frames);
}

void Opacity(Run& run, Flag flag, Value value) {
  int64_t percent = 0;
  if (!ParseWholeNumber(value, 0, 100, &percent)) return BadValue(run, flag, value);
  run.opacity = static_cast<int>(percent);
}

// The layer on the frames --text-frames names; a failure stops the batch, as the outputs that
// follow would lack it.
void LayOver(Run& run, Flag flag, const Layer& layer) {
  Animation& doc = Document(run);
  LayerOptions options;
  options.place = run.place;
  options.fadeIn = run.fade;
  options.fadeOut = run.fade;
  options.opacity = run.opacity;
  if (!run.layerFrames.empty() &&
      !ParseFrameList(run.layerFrames, doc.frameCount, &options.frames)) {
    ShowErrorId(str::BatchBadFrameList, flag.c_str(), run.layerFrames.c_str(),
                static_cast<int>(doc.frameCount));
    run.stop = true;
    return;
  }
  LayerReport report;
  if (const int message = PaintLayer(doc, layer, options, &report); message != 0) {
    ShowErrorId(message);
    run.stop = true;
    return;
  }
  run.state.modified = true;
}

void Text(Run& run, Flag flag, Value value) {
  TextStyle style = run.textStyle;
  // A script writes a line break as \n.
  for (size_t at = 0; at < value.size(); ++at) {
    if (value[at] == '\\' && at + 1 < value.size() && value[at + 1] == 'n') {
      style.text += '\n';
      ++at;
    } else {
      style.text += value[at];
    }
  }
  Layer layer;
  std::string detail;
  if (const int message = RenderText(style, &layer, &detail); message != 0) {
    ShowErrorId(message, detail.c_str());
    run.stop = true;
    return;
  }
  LayOver(run, flag, layer);
}

// The first frame of any file the program reads.
void Overlay(Run& run, Flag flag, Value value) {
  Layer layer;
  if (!ReadOverlayPicture(value, nullptr, &layer)) {
    run.stop = true;
    return;
  }
  LayOver(run, flag, layer);
}

void Help(Run&, Flag, Value) { std::fputs(BatchHelpText().c_str(), stdout); }

void Version(Run&, Flag, Value) { std::printf("%s\n", TableText(str::BatchVersion)); }

constexpr Argument None = Argument::None;
constexpr Argument Required = Argument::Required;

const LongFlag kLongFlags[] = {
    {"--resize", "LxH", Required, str::BatchHelpResize, true, Resize},
    {"--resize-method", "nearest|bicubic", Required, str::BatchHelpResizeMethod, false,
     ResizeMethod},
    {"--scale", "POURCENT", Required, str::BatchHelpScale, true, Scale},
    {"--rotate", "90|180|270", Required, str::BatchHelpRotate, true, Rotate},
    {"--flip", "h|v", Required, str::BatchHelpFlip, true, Flip},
    {"--crop", "X,Y,L,H", Required, str::BatchHelpCrop, true, Crop},
    {"--colors", "N", Required, str::BatchHelpColors, true, Colors},
    {"--dither", "", None, str::BatchHelpDither, false, Dither},
    {"--quality", "N", Required, str::BatchHelpQuality, false, Quality},
    {"--delay", "N[:CADRES]", Required, str::BatchHelpDelay, true, Delay},
    {"--loop", "N|forever|none", Required, str::BatchHelpLoop, true, Loop},
    {"--delete", "CADRES", Required, str::BatchHelpDelete, true, Delete},
    {"--reverse", "", None, str::BatchHelpReverse, true, Reverse},
    {"--ping-pong", "", None, str::BatchHelpPingPong, true, PingPong},
    {"--unoptimize", "", None, str::BatchHelpUnoptimize, true, Unoptimize},
    {"--comment", "TEXTE", Required, str::BatchHelpComment, true, Comment},
    {"--optimize", "OPTIONS", Argument::Optional, str::BatchHelpOptimize, true, Optimize},
    {"--info", "", None, str::BatchHelpInfo, true, Info},
    {"--type", "TYPE", Required, str::BatchHelpType, false, Type},
    {"--frames", "MODE", Required, str::BatchHelpFrames, false, Frames},
    {"--help", "", None, str::BatchHelpHelp, false, Help},
    {"--version", "", None, str::BatchHelpVersion, false, Version},
    {"--webp", "lossless|QUALITE", Required, str::BatchHelpWebp, false, Webp},
    {"--lossy", "N", Required, str::BatchHelpLossy, false, Lossy},
    {"--fps", "N", Required, str::BatchHelpFps, false, Fps},
    {"--start", "T", Required, str::BatchHelpStart, false, Start},
    {"--duration", "T", Required, str::BatchHelpDuration, false, Duration},
    {"--font", "\"FAMILLE STYLE:TAILLE\"", Required, str::BatchHelpFont, false, Font},
    {"--text-colour", "COULEUR", Required, str::BatchHelpTextColour, false, TextColour},
    {"--outline", "COULEUR:LARGEUR", Required, str::BatchHelpOutline, false, Outline},
    {"--shadow", "X,Y[:COULEUR]|none", Required, str::BatchHelpShadow, false, Shadow},
    {"--align", "left|center|right", Required, str::BatchHelpAlign, false, Align},
    {"--place", "POSITION|X,Y", Required, str::BatchHelpPlace, false, Place},
    {"--margin", "N", Required, str::BatchHelpMargin, false, Margin},
    {"--text-frames", "CADRES|all", Required, str::BatchHelpTextFrames, false, LayerFrames},
    {"--fade", "N", Required, str::BatchHelpFade, false, Fade},
    {"--opacity", "POURCENT", Required, str::BatchHelpOpacity, false, Opacity},
    {"--text", "TEXTE", Required, str::BatchHelpText, true, Text},
    {"--overlay", "IMAGE", Required, str::BatchHelpOverlay, true, Overlay},
};

}  // namespace

const LongFlag* LongFlags(size_t* count) {
  *count = sizeof kLongFlags / sizeof kLongFlags[0];
  return kLongFlags;
}

}  // namespace lw::batch
