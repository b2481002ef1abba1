// The high-quality colour method: one palette for a whole clip, built from every picture's
// colours weighted by how often they are seen, cut by variance and refined by k-means, then
// every picture mapped onto it with an error diffusion that stays put where the picture does
// not change from one frame to the next. Distances are taken in the gamma-encoded RGB cube the
// pictures are stored and viewed in: against OKLab it measured some 0.8 dB closer to the
// source for 3 to 7 % fewer bytes on photograph-like clips.
#pragma once

#include <cstdint>
#include <vector>

#include "colour/colour_engine.h"
#include "core/animation.h"

namespace lw {

struct ProgressMeter;

// One knob from the smallest file (1) to the most faithful picture (100).
constexpr int MinQuality = 1;
constexpr int MaxQuality = 100;
constexpr int DefaultQuality = 90;

// What a quality level stands for.
struct QualitySettings {
  int colours = 256;     // palette entries, a transparent slot included when one is needed
  int dither = 0;        // error diffusion, 0 none .. 100 full
  int refinePasses = 4;  // k-means passes after the variance cut
  // A pixel at the same place as in the previous picture keeps that picture's colour when the
  // squared RGB distance to its source grows by at most tolerance² over the nearest colour's:
  // most of a slowly moving picture is then not sent again, and no error piles up.
  int tolerance = 0;
  int lossy = 0;  // the lossy LZW amount a level's save uses (0 exact), see colour/lossy.h
  // Tiles of a still background re-sent per frame under a palette of their own (0 never), while
  // their mean squared error (channels summed) is above refineError; see colour/refine_hq.h.
  int refineTiles = 0;
  double refineError = 16;
  // The frames keep the 24-bit data their new images were made from, whatever keepRgbPlanes
  // says: a batch run rebuilds from it when a later level is asked for.
  bool keepTrueColour = false;
  // The user's choice that frames mapped from 24-bit data keep it.
  bool keepRgbPlanes = false;
  // The entries when the pictures hold at most a few thousand distinct colours (a screen, a
  // drawing): there each colour left out shows on whole flat areas, and more entries cost the
  // flat areas almost nothing. Never fewer than colours.
  int screenColours = 0;
};
// Levels outside 1..100 are brought within.
QualitySettings QualityFor(int quality);
// The diffusion a user's "dither" box asks for, at least; unasked, the level's own choice.
constexpr int AskedDither = 60;
QualitySettings WithDitherAsked(QualitySettings settings, bool asked);

// A colour as the method computes with it: red, green and blue, 0..255, in fractions.
struct ColourPoint {
  float r = 0, g = 0, b = 0;
};
ColourPoint PointOf(uint8_t red, uint8_t green, uint8_t blue);
float Distance2(const ColourPoint& x, const ColourPoint& y);

// A picture to take colours from and to map: its pixels (24-bit rows, or indexes through their
// palette) and where it stands on the screen, so that a picture at the same place as the one
// before it can keep that one's choices where nothing changed.
struct HqPicture {
  PixelSource source;
  int32_t left = 0;
  int32_t top = 0;
};

struct HqResult {
  PalettePtr palette;  // at most settings.colours entries; with a slot, the last one (black)
  // One image per picture, rows of IndexStride(width); clear pixels take the slot.
  std::vector<std::vector<uint8_t>> images;
};

// The palette for all the pictures at once and each picture mapped onto it. reserveSlot keeps
// the last entry for transparent pixels (no opaque pixel takes it). Pictures with no more
// distinct colours than the palette holds keep them exactly. False when memory ran short or
// progress answered cancelled (*out is then empty).
bool QuantizePictures(const std::vector<HqPicture>& pictures, const QualitySettings& settings,
                      bool reserveSlot, ProgressMeter* progress, HqResult* out);

// The picture a frame shows for the method: its 24-bit data when it has data of its own size,
// else its indexed image through its palette. False for a frame with neither.
bool FramePicture(const Frame* frame, HqPicture* picture);

// Every frame given moved onto one new palette made by the method from all of them: images
// rebuilt, local palettes dropped, transparent pixels on the last entry (reserved when a frame
// needs it), 24-bit data kept only as KeepTrueColor says. The caller installs the palette as the
// global one (the frames already point at it). The status is 1 done, 2 cancelled by progress,
// 0 memory ran short; the frames are as they were unless it is 1.
int QuantizeFrames(const std::vector<Frame*>& frames, const QualitySettings& settings,
                   ProgressMeter* progress, PalettePtr* palette);

// The reduce-colours dialog's high-quality choice: every frame (local palettes included) onto
// one new global palette built by this method at the quality given (dither asks for diffusion,
// WithDitherAsked), taken from the frames' 24-bit data where they still have it. Local palettes go,
// the transparent frames share the last entry. False when memory ran short (message shown) or the
// progress answered cancelled: the animation is then as it was. keepTrueColour and
// keepRgbPlanes as in QualitySettings.
bool ReduceColoursHq(Animation& animation, int quality, bool dither, ProgressMeter* progress,
                     bool keepTrueColour, bool keepRgbPlanes);

}  // namespace lw
