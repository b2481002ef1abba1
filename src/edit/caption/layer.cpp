// Laying a picture over frames. The picture is blended onto the pixels each chosen frame shows;
// an optimized animation, whose frames show much by what earlier frames left on the screen, is
// first rebuilt so that each frame holds its whole picture. The blended colours then get places
// in the frame's palette: exact entries, new entries while the palette has room, else the
// nearest entries.
#include "edit/caption/layer.h"

#include <algorithm>
#include <functional>
#include <new>
#include <unordered_map>

#include "base/progress.h"
#include "base/string_ids.h"
#include "core/compose.h"
#include "core/picture_budget.h"

namespace lw {
namespace {

struct Spot {
  uint32_t x;  // on the screen
  uint32_t y;
  LayerPixel colour;  // with the layer's alpha at full strength and the opacity applied
};

uint32_t Rgb(uint32_t r, uint32_t g, uint32_t b) { return r << 16 | g << 8 | b; }

// Whether the frame alone decides what the spots show: they lie on its opaque pixels.
bool ShowsSpots(const Frame* f, const std::vector<Spot>& spots) {
  const uint8_t* bits = f->bits();
  if (!bits || !f->palette) return false;
  const int64_t w = f->DibWidth(), h = f->DibHeight();
  const uint64_t stride = IndexStride(static_cast<uint64_t>(w));
  for (const Spot& s : spots) {
    const int64_t x = int64_t{s.x} - f->left, y = int64_t{s.y} - f->top;
    if (x < 0 || y < 0 || x >= w || y >= h) return false;
    const size_t at =
        static_cast<size_t>(static_cast<uint64_t>(y) * stride + static_cast<uint64_t>(x));
    if (f->Transparent() && bits[at] == f->transparentIndex) return false;
    if (!f->alphaPlane.empty() && f->alphaPlane[at] != 255) return false;
  }
  return true;
}

// Whether the frame's rectangle holds every spot (its disposal to the background clears them).
bool CoversSpots(const Frame* f, const std::vector<Spot>& spots) {
  for (const Spot& s : spots) {
    const int64_t x = int64_t{s.x} - f->left, y = int64_t{s.y} - f->top;
    if (x < 0 || y < 0 || x >= int64_t{f->width} || y >= int64_t{f->height}) return false;
  }
  return true;
}

// Plays the animation as a viewer does, following whether the spots may still show a chosen
// frame's drawing: drawing on the frames as they are is right only when each chosen frame shows
// the spots by itself and no later frame lets the drawing show through.
bool DrawsInPlace(const std::vector<Frame*>& frames, const std::vector<bool>& chosen,
                  const std::vector<Spot>& spots) {
  bool drawn = false;  // the screen may hold a chosen frame's drawing at the spots
  for (size_t i = 0; i < frames.size(); ++i) {
    const Frame* f = frames[i];
    const bool shows = ShowsSpots(f, spots);
    if (!shows && (chosen[i] || drawn)) return false;
    const bool before = drawn;
    switch (f->Disposal()) {
      case DisposalPrevious: drawn = before; break;
      case DisposalBackground: drawn = drawn && !CoversSpots(f, spots); break;
      default: drawn = chosen[i] || (drawn && !shows); break;
    }
  }
  return true;
}

// The index that shows colour best, never the frame's transparent one.
int NearestOpaque(const Palette& palette, const Frame* f, uint32_t rgb) {
  const int r = static_cast<int>(rgb >> 16), g = static_cast<int>((rgb >> 8) & 0xFF),
            b = static_cast<int>(rgb & 0xFF);
  int best = 0;
  int64_t bestDistance = INT64_MAX;
  for (int i = 0; i < palette.Count(); ++i) {
    if (f->Transparent() && i == f->transparentIndex) continue;
    const PaletteEntry& e = palette.entries[static_cast<size_t>(i)];
    const int64_t d =
        (e.red - r) * (e.red - r) + (e.green - g) * (e.green - g) + (e.blue - b) * (e.blue - b);
    if (d < bestDistance) {
      bestDistance = d;
      best = i;
    }
  }
  return best;
}

using ColourCounts = std::unordered_map<uint32_t, uint32_t>;  // 0xRRGGBB -> pixels
using ColourIndexes = std::unordered_map<uint32_t, int>;

// Gives each colour an index of the frame's palette: its exact entry, else a new entry while the
// palette has room (the most used colours first), else the nearest entry. A grown palette is
// installed (the frames that share it follow). extraSlots entries are kept free for the caller.

// Gives the frame a palette grown for new colours: its own, or the global one, whose frames'
// colour tables follow.
void InstallPalette(Animation& animation, Frame* f, PalettePtr grown) {
  if (f->localPalette) {
    SetLocalPalette(f, std::move(grown));
    return;
  }
  SetGlobalPalette(animation, std::move(grown));
  for (Frame* other = FirstFrame(animation); other; other = NextFrame(other))
    if (other->palette == animation.globalPalette.get()) UpdateDibColourTable(other);
}
// False when memory is short (the palette is then as it was).
bool IndexColours(Animation& animation, Frame* f, const ColourCounts& counts, int extraSlots,
                  ColourIndexes* indexOf, LayerReport* report) {
  const Palette& palette = *f->palette;
  PalettePtr grown;
  try {
    for (int i = palette.Count() - 1; i >= 0; --i) {
      if (f->Transparent() && i == f->transparentIndex) continue;
      const PaletteEntry& e = palette.entries[static_cast<size_t>(i)];
      (*indexOf)[Rgb(e.red, e.green, e.blue)] = i;
    }
    std::vector<std::pair<uint32_t, uint32_t>> missing;  // count, colour
    for (const auto& [rgb, count] : counts)
      if (!indexOf->count(rgb)) missing.emplace_back(count, rgb);
    std::sort(missing.begin(), missing.end(), std::greater<>());
    const Palette* target = &palette;
    for (const auto& [count, rgb] : missing) {
      (void)count;
      // The transparent index keeps meaning transparent: it is never a colour of the drawing.
      const bool skip = f->Transparent() && target->Count() == f->transparentIndex;
      if (target->Count() + (skip ? 1 : 0) + extraSlots < 256) {
        if (!grown) {
          grown = CopyPalette(&palette);
          if (!grown) return false;
          target = grown.get();
        }
        if (skip) grown->entries.push_back(grown->entries[0]);
        grown->entries.push_back(PaletteEntry{static_cast<uint8_t>(rgb >> 16),
                                              static_cast<uint8_t>(rgb >> 8),
                                              static_cast<uint8_t>(rgb), 0});
        (*indexOf)[rgb] = grown->Count() - 1;
        ++report->coloursAdded;
      } else {
        (*indexOf)[rgb] = NearestOpaque(*target, f, rgb);
        ++report->coloursApproximated;
      }
    }
  } catch (const std::bad_alloc&) {
    return false;
  }
  if (grown) {
    InstallPalette(animation, f, std::move(grown));
  }
  return true;
}

// What a viewer has on the screen: per pixel the colour shown, or nothing.
struct Screen {
  std::vector<uint32_t> rgb;
  std::vector<uint8_t> shown;
};

// The frame becomes the whole picture the screen shows with it, with its own palette: colours
// shown from earlier frames get indexes of that palette, and what shows nothing its transparent
// index. False when memory is short.
bool RebuildFrame(Animation& animation, Frame* f, const Screen& picture, LayerReport* report) {
  const uint32_t sw = animation.screenWidth, sh = animation.screenHeight;
  const size_t area = size_t{sw} * sh;
  std::vector<uint8_t> dib = BuildDib(sw, sh, f->palette);
  if (dib.empty()) return false;
  ColourCounts counts;
  ColourIndexes indexOf;
  bool empty = false;
  try {
    for (size_t at = 0; at < area; ++at) {
      if (picture.shown[at]) {
        ++counts[picture.rgb[at]];
      } else {
        empty = true;
      }
    }
  } catch (const std::bad_alloc&) {
    return false;
  }
  // A frame that shows nothing somewhere needs a transparent index no colour uses.
  const bool needsSlot = empty && !f->Transparent();
  if (!IndexColours(animation, f, counts, needsSlot ? 1 : 0, &indexOf, report)) return false;
  int clear = f->Transparent() ? f->transparentIndex : -1;
  if (needsSlot) {
    std::vector<bool> used(256, false);
    for (const auto& [rgb, index] : indexOf)
      if (counts.count(rgb)) used[static_cast<size_t>(index)] = true;
    for (int k = 0; k < 256 && clear < 0; ++k)
      if (!used[static_cast<size_t>(k)]) clear = k;
    if (clear >= 0 && clear >= f->palette->Count()) {
      PalettePtr grown = CopyPalette(f->palette);
      if (!grown) return false;
      grown->entries.resize(static_cast<size_t>(clear) + 1);
      InstallPalette(animation, f, std::move(grown));
    }
  }
  uint8_t* out = dib.data() + DibBitsOffset;
  const uint64_t stride = IndexStride(sw);
  for (uint32_t y = 0; y < sh; ++y) {
    for (uint32_t x = 0; x < sw; ++x) {
      const size_t at = size_t{y} * sw + x;
      out[y * stride + x] =
          static_cast<uint8_t>(picture.shown[at] ? indexOf[picture.rgb[at]] : std::max(clear, 0));
    }
  }
  FreeRgbPlane(f);
  f->left = 0;
  f->top = 0;
  f->width = sw;
  f->height = sh;
  SetFrameDib(f, std::move(dib));
  // A full palette with every entry shown has no slot: those pixels show its first colour.
  if (needsSlot && clear >= 0) {
    SetTransparentIndex(f, static_cast<uint8_t>(clear));
    SetTransparency(f, true);
  }
  UpdateDibColourTable(f);
  RebuildTransparencyMask(f);
  return true;
}

// Every frame becomes the whole screen it shows. The screen is played as a viewer does, and each
// frame is rebuilt as soon as it has shown: what comes after needs only the screen. With
// transparency anywhere each frame is cleared after it shows, so that transparent pixels stay so.
// Returns 0, str::CaptionNoMemory or LayerStopped.
int Recompose(Animation& animation, const std::vector<Frame*>& frames, ProgressMeter* progress,
              LayerReport* report) {
  const uint32_t sw = animation.screenWidth, sh = animation.screenHeight;
  if (sw == 0 || sh == 0 || !PictureFitsBudget(sw, uint64_t{sh} * 4, 5))
    return str::CaptionNoMemory;
  for (const Frame* f : frames)
    if (!f->palette) return str::CaptionNoMemory;
  const size_t area = size_t{sw} * sh;
  try {
    Screen screen{std::vector<uint32_t>(area), std::vector<uint8_t>(area)}, saved;
    for (Frame* f : frames) {
      const int disposal = f->Disposal();
      const int64_t left = f->left, top = f->top;
      const int64_t right = left + int64_t{f->width}, bottom = top + int64_t{f->height};
      if (disposal == DisposalPrevious) saved = screen;
      const uint8_t* bits = f->bits();
      const int64_t w = bits ? f->DibWidth() : 0, h = bits ? f->DibHeight() : 0;
      const uint64_t stride = IndexStride(static_cast<uint64_t>(w));
      const int64_t x0 = std::max<int64_t>(0, left), y0 = std::max<int64_t>(0, top);
      const int64_t x1 = std::min<int64_t>(sw, left + w), y1 = std::min<int64_t>(sh, top + h);
      for (int64_t y = y0; y < y1; ++y) {
        for (int64_t x = x0; x < x1; ++x) {
          const uint8_t index =
              bits[static_cast<uint64_t>(y - top) * stride + static_cast<uint64_t>(x - left)];
          if (f->Transparent() && index == f->transparentIndex) continue;
          PaletteEntry e{};
          if (index < f->palette->Count()) e = f->palette->entries[index];
          const size_t at = static_cast<size_t>(y) * sw + static_cast<size_t>(x);
          screen.rgb[at] = Rgb(e.red, e.green, e.blue);
          screen.shown[at] = 1;
        }
      }
      if (!RebuildFrame(animation, f, screen, report)) return str::CaptionNoMemory;
      if (disposal == DisposalPrevious) {
        screen = saved;
      } else if (disposal == DisposalBackground) {
        const int64_t cx1 = std::min<int64_t>(sw, right), cy1 = std::min<int64_t>(sh, bottom);
        for (int64_t y = y0; y < cy1; ++y)
          for (int64_t x = x0; x < cx1; ++x)
            screen.shown[static_cast<size_t>(y) * sw + static_cast<size_t>(x)] = 0;
      }
      if (!ProgressStep(progress)) return LayerStopped;
    }
  } catch (const std::bad_alloc&) {
    return str::CaptionNoMemory;
  }
  bool anyTransparent = false;
  for (const Frame* f : frames) anyTransparent = anyTransparent || f->Transparent();
  for (Frame* f : frames) SetDisposal(f, anyTransparent ? DisposalBackground : DisposalLeave);
  return 0;
}

// Blends the spots onto the frame's pixels at strength (0..256) and gives the new colours their
// indexes. False when memory is short (the frame is then as it was).
bool DrawOnFrame(Animation& animation, Frame* f, const std::vector<Spot>& spots, int strength,
                 LayerReport* report) {
  uint8_t* bits = f->bits();
  if (!bits || !f->palette) return true;
  const Palette& palette = *f->palette;
  const int64_t w = f->DibWidth(), h = f->DibHeight();
  const uint64_t stride = IndexStride(static_cast<uint64_t>(w));
  const uint64_t rgbStride = RgbStride(static_cast<uint64_t>(w));
  const bool hasRgb = f->rgbPlane.size() >= rgbStride * static_cast<uint64_t>(h);
  const bool hasAlpha = hasRgb && f->alphaPlane.size() >= stride * static_cast<uint64_t>(h);

  struct Change {
    size_t at;
    uint32_t rgb;
  };
  std::vector<Change> changes;
  ColourCounts counts;
  try {
    for (const Spot& s : spots) {
      const int64_t x = int64_t{s.x} - f->left, y = int64_t{s.y} - f->top;
      if (x < 0 || y < 0 || x >= w || y >= h) continue;
      const uint32_t a = (uint32_t{s.colour.alpha} * static_cast<uint32_t>(strength) + 128) >> 8;
      if (a == 0) continue;
      const size_t at =
          static_cast<size_t>(static_cast<uint64_t>(y) * stride + static_cast<uint64_t>(x));
      const uint8_t index = bits[at];
      uint32_t rgb = 0;
      if (f->Transparent() && index == f->transparentIndex) {
        // Nothing shows there: the drawing's more covered half becomes opaque, the rest stays
        // transparent, as a GIF holds no partial transparency.
        if (a < 128) continue;
        rgb = Rgb(s.colour.red, s.colour.green, s.colour.blue);
      } else {
        PaletteEntry old{};
        if (index < palette.Count()) old = palette.entries[index];
        auto mix = [a](uint32_t top, uint32_t below) {
          return (top * a + below * (255 - a) + 127) / 255;
        };
        rgb = Rgb(mix(s.colour.red, old.red), mix(s.colour.green, old.green),
                  mix(s.colour.blue, old.blue));
      }
      if (hasRgb) {
        uint8_t* p = f->rgbPlane.data() + static_cast<uint64_t>(y) * rgbStride +
                     3 * static_cast<uint64_t>(x);
        const bool clear = hasAlpha && f->alphaPlane[at] == 0;
        auto mix = [a, clear](uint32_t top, uint32_t below) {
          return static_cast<uint8_t>(clear ? top : (top * a + below * (255 - a) + 127) / 255);
        };
        p[0] = mix(s.colour.blue, p[0]);
        p[1] = mix(s.colour.green, p[1]);
        p[2] = mix(s.colour.red, p[2]);
        if (hasAlpha) {
          uint8_t& alpha = f->alphaPlane[at];
          alpha = static_cast<uint8_t>(a + alpha * (255 - a) / 255);
        }
      }
      changes.push_back({at, rgb});
      ++counts[rgb];
    }
  } catch (const std::bad_alloc&) {
    return false;
  }
  if (changes.empty()) return true;

  ColourIndexes indexOf;
  if (!IndexColours(animation, f, counts, 0, &indexOf, report)) return false;
  for (const Change& c : changes) bits[c.at] = static_cast<uint8_t>(indexOf[c.rgb]);
  UpdateDibColourTable(f);
  RebuildTransparencyMask(f);
  TouchFrame(f);
  return true;
}

}  // namespace

bool ParsePlacement(const std::string& text, Placement* place) {
  struct Named {
    const char* name;
    Anchor anchor;
  };
  static constexpr Named kNames[] = {
      {"top-left", Anchor::TopLeft},
      {"top", Anchor::Top},
      {"top-right", Anchor::TopRight},
      {"left", Anchor::Left},
      {"center", Anchor::Center},
      {"right", Anchor::Right},
      {"bottom-left", Anchor::BottomLeft},
      {"bottom", Anchor::Bottom},
      {"bottom-right", Anchor::BottomRight},
  };
  for (const Named& n : kNames) {
    if (text == n.name) {
      place->anchor = n.anchor;
      return true;
    }
  }
  const size_t comma = text.find(',');
  if (comma == std::string::npos) return false;
  int64_t values[2] = {0, 0};
  const std::string parts[2] = {text.substr(0, comma), text.substr(comma + 1)};
  for (int i = 0; i < 2; ++i) {
    const std::string& p = parts[i];
    size_t at = p.size() > 1 && p[0] == '-' ? 1 : 0;
    if (at == p.size() || p.size() - at > 5) return false;
    for (; at < p.size(); ++at) {
      if (p[at] < '0' || p[at] > '9') return false;
      values[i] = values[i] * 10 + (p[at] - '0');
    }
    if (p[0] == '-') values[i] = -values[i];
    if (values[i] < -65535 || values[i] > 65535) return false;
  }
  place->anchor = Anchor::At;
  place->x = values[0];
  place->y = values[1];
  return true;
}

LayerOrigin PlaceLayer(const Layer& layer, const Placement& place, uint32_t screenWidth,
                       uint32_t screenHeight) {
  int64_t x = place.x, y = place.y;
  if (place.anchor != Anchor::At) {
    const int column = static_cast<int>(place.anchor) % 3, row = static_cast<int>(place.anchor) / 3;
    const int64_t roomX = int64_t{screenWidth} - layer.boxWidth;
    const int64_t roomY = int64_t{screenHeight} - layer.boxHeight;
    x = column == 0 ? place.margin : column == 1 ? roomX / 2 : roomX - place.margin;
    y = row == 0 ? place.margin : row == 1 ? roomY / 2 : roomY - place.margin;
  }
  return {x - layer.boxLeft, y - layer.boxTop};
}

int FadeStrength(int k, int count, int fadeIn, int fadeOut) {
  int strength = 256;
  if (fadeIn > 0 && k < fadeIn) strength = std::min(strength, 256 * (k + 1) / (fadeIn + 1));
  const int fromEnd = count - 1 - k;
  if (fadeOut > 0 && fromEnd < fadeOut)
    strength = std::min(strength, 256 * (fromEnd + 1) / (fadeOut + 1));
  return std::max(strength, 1);
}

namespace {

// The frames in order, and whether each is chosen.
void ChosenFrames(const Animation& animation, const LayerOptions& options,
                  std::vector<Frame*>* frames, std::vector<bool>* chosen) {
  for (Frame* f = FirstFrame(animation); f; f = NextFrame(f)) {
    const size_t i = frames->size();
    frames->push_back(f);
    chosen->push_back(options.frames.empty() || (i < options.frames.size() && options.frames[i]));
  }
}

// The layer's pixels that fall on the screen and show, with the opacity applied.
std::vector<Spot> LayerSpots(const Animation& animation, const Layer& layer,
                             const LayerOptions& options) {
  const LayerOrigin at =
      PlaceLayer(layer, options.place, animation.screenWidth, animation.screenHeight);
  const int opacity = std::clamp(options.opacity, 0, 100);
  std::vector<Spot> spots;
  const int64_t x0 = std::max<int64_t>(0, at.x), y0 = std::max<int64_t>(0, at.y);
  const int64_t x1 = std::min<int64_t>(animation.screenWidth, at.x + layer.width);
  const int64_t y1 = std::min<int64_t>(animation.screenHeight, at.y + layer.height);
  for (int64_t y = y0; y < y1; ++y) {
    for (int64_t x = x0; x < x1; ++x) {
      LayerPixel p = layer.At(static_cast<uint32_t>(x - at.x), static_cast<uint32_t>(y - at.y));
      p.alpha = static_cast<uint8_t>((p.alpha * opacity + 50) / 100);
      if (p.alpha != 0) spots.push_back({static_cast<uint32_t>(x), static_cast<uint32_t>(y), p});
    }
  }
  return spots;
}

}  // namespace

bool LayerDrawsInPlace(const Animation& animation, const Layer& layer,
                       const LayerOptions& options) {
  std::vector<Frame*> frames;
  std::vector<bool> chosen;
  try {
    ChosenFrames(animation, options, &frames, &chosen);
    const std::vector<Spot> spots = LayerSpots(animation, layer, options);
    return !spots.empty() && DrawsInPlace(frames, chosen, spots);
  } catch (const std::bad_alloc&) {
    return false;
  }
}

int PaintLayer(Animation& animation, const Layer& layer, const LayerOptions& options,
               LayerReport* report) {
  LayerReport local;
  if (!report) report = &local;
  *report = LayerReport{};
  std::vector<Frame*> frames;
  std::vector<bool> chosen;
  std::vector<Spot> spots;
  try {
    ChosenFrames(animation, options, &frames, &chosen);
    if (std::count(chosen.begin(), chosen.end(), true) == 0) return str::CaptionNoFrame;
    spots = LayerSpots(animation, layer, options);
  } catch (const std::bad_alloc&) {
    return str::CaptionNoMemory;
  }
  const int chosenCount = static_cast<int>(std::count(chosen.begin(), chosen.end(), true));
  if (spots.empty()) return str::CaptionOutside;

  if (!DrawsInPlace(frames, chosen, spots)) {
    const int message = Recompose(animation, frames, options.progress, report);
    if (message != 0) return message;
    report->recomposed = true;
  }
  int k = 0;
  for (size_t i = 0; i < frames.size(); ++i) {
    if (!chosen[i]) continue;
    const int strength = FadeStrength(k++, chosenCount, options.fadeIn, options.fadeOut);
    if (!DrawOnFrame(animation, frames[i], spots, strength, report)) return str::CaptionNoMemory;
    ++report->framesDrawn;
    if (!ProgressStep(options.progress)) return LayerStopped;
  }
  CountColourUsage(animation, animation.colourUsage.data(), true);
  animation.encodedSizeCache = -1;
  return 0;
}

bool LayerFromFrame(const Frame& frame, Layer* layer) {
  // A picture read with its 24-bit data and alpha may have no 8-bit pixels yet: the frame's own
  // size then gives the planes' size.
  const uint8_t* bits = frame.bits();
  const uint32_t w = bits ? frame.DibWidth() : frame.width;
  const uint32_t h = bits ? frame.DibHeight() : frame.height;
  if (w == 0 || h == 0 || w > MaxLayerSide || h > MaxLayerSide || uint64_t{w} * h > MaxLayerPixels)
    return false;
  const uint64_t stride = IndexStride(w), rgbStride = RgbStride(w);
  const bool hasRgb = frame.rgbPlane.size() >= rgbStride * h;
  const bool hasAlpha = hasRgb && frame.alphaPlane.size() >= stride * h;
  if (!hasRgb && (!bits || frame.dib.size() < DibBitsOffset + stride * h)) return false;
  try {
    Layer out;
    out.width = w;
    out.height = h;
    out.pixels.resize(size_t{w} * h);
    RgbQuad table[256] = {};
    if (bits) GetDibColours(frame.dib, 0, 256, table);
    for (uint32_t y = 0; y < h; ++y) {
      for (uint32_t x = 0; x < w; ++x) {
        LayerPixel& p = out.pixels[size_t{y} * w + x];
        const size_t at = static_cast<size_t>(y * stride + x);
        if (hasRgb) {
          const uint8_t* c = frame.rgbPlane.data() + y * rgbStride + 3 * uint64_t{x};
          p = {c[2], c[1], c[0], hasAlpha ? frame.alphaPlane[at] : uint8_t{255}};
        } else {
          const uint8_t index = bits[at];
          const RgbQuad& q = table[index];
          const bool clear = frame.Transparent() && index == frame.transparentIndex;
          p = {q.red, q.green, q.blue, clear ? uint8_t{0} : uint8_t{255}};
        }
      }
    }
    out.boxWidth = w;
    out.boxHeight = h;
    *layer = std::move(out);
  } catch (const std::bad_alloc&) {
    return false;
  }
  return true;
}

}  // namespace lw
