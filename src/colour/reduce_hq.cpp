// The high-quality method applied to frames: the pictures they show, one palette for them all,
// and their new images installed.
#include <algorithm>
#include <atomic>
#include <bit>
#include <new>
#include <system_error>
#include <thread>

#include "base/messages.h"
#include "base/progress.h"
#include "base/string_ids.h"
#include "base/strings.h"
#include "colour/colour_internal.h"
#include "colour/quantize_hq.h"
#include "colour/refine_hq.h"
#include "core/gif_writer.h"

namespace lw {

bool FramePicture(const Frame* frame, HqPicture* picture) {
  if (!frame || !picture) return false;
  *picture = HqPicture{};
  picture->left = frame->left;
  picture->top = frame->top;
  colour::IndexLayout layout;
  const bool indexed = colour::FrameIndexLayout(frame, &layout) && frame->palette;
  // 24-bit data says more than the image made from it, but a transparent image without an
  // alpha plane only says which pixels are clear through its index.
  PixelSource rgb;
  if (TrueColourSource(frame, &rgb) && (!indexed || rgb.alphaRows || !frame->Transparent()) &&
      (!indexed || (layout.width == rgb.width && layout.height == rgb.height))) {
    picture->source = rgb;
    return true;
  }
  if (!indexed) return false;
  picture->source = colour::IndexedSource(frame, layout);
  return true;
}

int QuantizeFrames(const std::vector<Frame*>& frames, const QualitySettings& settings,
                   ProgressMeter* progress, PalettePtr* palette) {
  std::vector<Frame*> used;
  std::vector<HqPicture> pictures;
  std::vector<std::vector<uint8_t>> dibs;
  HqResult result;
  std::vector<RefinedFrame> refined;
  bool reserve = false;
  try {
    for (Frame* f : frames) {
      HqPicture p;
      if (!FramePicture(f, &p)) continue;
      used.push_back(f);
      pictures.push_back(p);
      reserve = reserve || p.source.alphaRows || p.source.transparentIndex >= 0;
    }
    // A palette without a free entry leaves the optimizer no transparent index for what stays
    // as it was on screen: with several frames the slot is kept anyway, past the level's colours
    // while the written table has room for it, else in place of the last one.
    QualitySettings levelSettings = settings;
    if (!reserve && used.size() > 1) {
      reserve = true;
      const auto withSlot = [](int entries) {
        const auto n = static_cast<unsigned>(std::clamp(entries, 2, 256));
        return static_cast<int>(std::min(n + 1, std::bit_ceil(n)));
      };
      levelSettings.colours = withSlot(settings.colours);
      levelSettings.screenColours = withSlot(settings.screenColours);
    }
    if (!QuantizePictures(pictures, levelSettings, reserve, progress, &result))
      return ProgressCancelled(progress) ? 2 : 0;
    // Every new image is made before any frame changes, so a shortage changes nothing. They
    // are made on every core: filling that much new memory is no small part of the work.
    dibs.resize(used.size());
    std::atomic<size_t> next{0};
    std::atomic<bool> shortOfMemory{false};
    auto build = [&] {
      for (size_t k = next++; k < used.size() && !shortOfMemory; k = next++) {
        const PixelSource& s = pictures[k].source;
        dibs[k] = BuildDib(s.width, s.height, result.palette.get());
        if (dibs[k].empty()) {
          shortOfMemory = true;
          break;
        }
        std::copy(result.images[k].begin(), result.images[k].end(),
                  dibs[k].begin() + DibBitsOffset);
        result.images[k] = {};
      }
    };
    std::vector<std::thread> helpers;
    try {
      for (int i = 1; i < std::min(GifEncoderThreads(), 4) && used.size() > 1; ++i)
        helpers.emplace_back(build);
    } catch (const std::system_error&) {
      // The threads that started share the work.
    } catch (const std::bad_alloc&) {
    }
    build();
    for (std::thread& t : helpers) t.join();
    if (shortOfMemory) return 0;
    // Frames that keep their 24-bit pictures are refined when their GIF is written
    // (RefineFromTrueColour): the refinement cuts them to what changed.
    if (!settings.keepTrueColour &&
        !RefineStill(pictures, dibs, *result.palette, settings, progress, &refined) &&
        ProgressCancelled(progress))
      return 2;
  } catch (const std::bad_alloc&) {
    return 0;
  }
  Palette* installed = result.palette.get();
  const uint8_t slot = static_cast<uint8_t>(installed->Count() - 1);
  for (size_t k = 0; k < used.size(); ++k) {
    Frame* f = used[k];
    const PixelSource& s = pictures[k].source;
    const bool clear = s.alphaRows || s.transparentIndex >= 0;
    const bool fromRgb = s.rgbRows != nullptr;
    if (f->localPalette) SetLocalPalette(f, nullptr);
    f->palette = installed;
    if (!clear && f->Transparent()) SetTransparency(f, false);
    SetFrameDib(f, std::move(dibs[k]));
    if (clear) {
      SetTransparentIndex(f, slot);
      SetTransparency(f, true);
    }
    // Data the new image was not made from no longer matches it.
    if (!fromRgb || !(settings.keepTrueColour || settings.keepRgbPlanes)) FreeRgbPlane(f);
  }
  InstallRefined(used, refined);
  // Frames without an image still need a palette to point at.
  for (Frame* f : frames) {
    if (!f->localPalette && f->palette != installed && f->dib.empty()) f->palette = installed;
  }
  *palette = std::move(result.palette);
  return 1;
}

bool ReduceColoursHq(Animation& animation, int quality, bool dither, ProgressMeter* progress,
                     bool keepTrueColour, bool keepRgbPlanes) {
  std::vector<Frame*> frames;
  PaletteEntry background{};
  try {
    for (Frame* f = FirstFrame(animation); f; f = NextFrame(f)) frames.push_back(f);
  } catch (const std::bad_alloc&) {
    ShowError("%s", TableText(str::NoMemoryForPalettes));
    return false;
  }
  if (animation.globalPalette && animation.backgroundIndex < animation.globalPalette->Count())
    background = animation.globalPalette->entries[animation.backgroundIndex];
  ProgressSetText(progress, TableText(str::AnalysingColours));
  PalettePtr palette;
  QualitySettings settings = WithDitherAsked(QualityFor(quality), dither);
  settings.keepTrueColour = keepTrueColour;
  settings.keepRgbPlanes = keepRgbPlanes;
  int status = QuantizeFrames(frames, settings, progress, &palette);
  if (status != 1) {
    if (status == 0) ShowError("%s", TableText(str::NoMemoryForPalettes));
    return false;
  }
  animation.backgroundIndex = static_cast<uint8_t>(
      palette->NearestIndex(background.red, background.green, background.blue));
  SetGlobalPalette(animation, std::move(palette));
  CountColourUsage(animation, animation.colourUsage.data(), true);
  animation.encodedSizeCache = -1;
  return true;
}

}  // namespace lw
