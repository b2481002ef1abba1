// Unoptimize: the frames are played onto a screen-sized canvas and each takes a copy of it.
#include "colour/unoptimize.h"

#include <cstring>

#include "base/messages.h"
#include "base/progress.h"
#include "base/string_ids.h"
#include "base/strings.h"
#include "core/compose.h"
#include "core/undo.h"

namespace lw {

namespace {

constexpr const char* kLocalPalettesText = TableText(str::UnoptimizeLocalPalettesText);
constexpr const char* kLocalPalettesTitle = TableText(str::UnoptimizeLocalPalettesTitle);
constexpr const char* kNoCanvasText = TableText(str::UnoptimizeNoCanvasMemory);
constexpr const char* kNoFrameText = TableText(str::UnoptimizeNoFrameMemory);
constexpr const char* kStatus = TableText(str::Unoptimizing);

// The frame's opaque pixels over the picture, clipped to it.
void DrawOnto(std::vector<uint8_t>& picture, const Frame* f) {
  if (!f->bits()) return;
  BlitIndexed(picture, f->left, f->top, f->DibWidth(), f->DibHeight(), f->dib, 0, 0,
              f->transparentIndex, f->Transparent());
}

}  // namespace

bool UnoptimizeAnimation(WindowHandle owner, Animation& animation) {
  for (const Frame* f = FirstFrame(animation); f; f = NextFrame(f)) {
    if (f->localPalette) {
      Services().MessageBox(owner, kLocalPalettesText, kLocalPalettesTitle,
                            mb::Ok | mb::IconExclamation | mb::TaskModal);
      return false;
    }
  }
  if (!FirstFrame(animation)) return false;

  const uint32_t sw = animation.screenWidth, sh = animation.screenHeight;
  Palette* global = animation.globalPalette.get();
  std::vector<uint8_t> canvas = BuildDib(sw, sh, global);
  if (canvas.empty()) {
    ShowError("%s", kNoCanvasText);
    return false;
  }
  FillDibPixels(canvas, animation.backgroundIndex);

  ProgressMeterPtr progress(CreateProgressMeter(owner, 0, 0));
  ProgressSetText(progress.get(), kStatus);
  ProgressSetRange(progress.get(), static_cast<uint32_t>(std::max<int>(animation.frameCount, 0)));

  UndoStep step(UndoStep::Discard, UndoKind::Unoptimize, animation);

  int rebuilt = 0;
  bool outOfMemory = false;
  const size_t pixelBytes = canvas.size() - DibBitsOffset;
  for (Frame* f = FirstFrame(animation); f; f = NextFrame(f)) {
    const int32_t x = f->left, y = f->top;
    const uint32_t w = f->width, h = f->height;
    const int d = f->Disposal();
    if (d != DisposalPrevious) DrawOnto(canvas, f);
    std::vector<uint8_t> picture = BuildDib(sw, sh, global);
    if (picture.empty()) {
      outOfMemory = true;
      break;
    }
    std::memcpy(picture.data() + DibBitsOffset, canvas.data() + DibBitsOffset, pixelBytes);
    // Restore to previous: the canvas keeps what was there before, which is what comes back.
    if (d == DisposalPrevious) DrawOnto(picture, f);

    SetTransparency(f, false);
    FreeRgbPlane(f);
    f->left = 0;
    f->top = 0;
    f->width = sw;
    f->height = sh;
    f->palette = global;
    SetFrameDib(f, std::move(picture));
    UpdateDibColourTable(f);
    if (d == DisposalBackground) FillIndexRect(canvas, x, y, w, h, animation.backgroundIndex);
    SetDisposal(f, DisposalLeave);
    ++rebuilt;
    ProgressStep(progress.get());
  }
  progress.reset();
  canvas = {};
  if (outOfMemory) ShowError("%s", kNoFrameText);

  if (rebuilt == 0) return false;
  step.Commit();
  CountColourUsage(animation, animation.colourUsage.data(), true);
  animation.encodedSizeCache = -1;
  return true;
}

}  // namespace lw
