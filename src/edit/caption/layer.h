// Pictures laid over the frames of an animation: a caption or an image, as straight RGBA pixels,
// placed on the screen and blended onto what each chosen frame shows.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "core/animation.h"

namespace lw {

struct ProgressMeter;

struct LayerPixel {
  uint8_t red = 0;
  uint8_t green = 0;
  uint8_t blue = 0;
  uint8_t alpha = 0;  // 0 nothing, 255 covers the frame
  bool operator==(const LayerPixel&) const = default;
};

// A picture of width x height. The box is the part that is placed (a caption's lines without
// their outline and shadow, an image's whole picture), in the layer's own pixels.
struct Layer {
  uint32_t width = 0;
  uint32_t height = 0;
  std::vector<LayerPixel> pixels;  // rows top down
  int64_t boxLeft = 0;
  int64_t boxTop = 0;
  int64_t boxWidth = 0;
  int64_t boxHeight = 0;

  const LayerPixel& At(uint32_t x, uint32_t y) const { return pixels[size_t{y} * width + x]; }
};

// The largest layer side, and area, the engine draws.
constexpr uint32_t MaxLayerSide = 16384;
constexpr uint64_t MaxLayerPixels = uint64_t{1} << 26;

// Where the box goes: one of nine places margin pixels in from the screen's sides, or its
// top-left corner at (x, y).
enum class Anchor : uint8_t {
  TopLeft,
  Top,
  TopRight,
  Left,
  Center,
  Right,
  BottomLeft,
  Bottom,
  BottomRight,
  At,
};
struct Placement {
  Anchor anchor = Anchor::Bottom;
  int64_t margin = 8;
  int64_t x = 0;  // for Anchor::At
  int64_t y = 0;
};
// "top", "bottom-right", "center", ... or "X,Y" (each -65535..65535); false otherwise.
bool ParsePlacement(const std::string& text, Placement* place);

// The screen position of the layer's pixel (0, 0).
struct LayerOrigin {
  int64_t x = 0;
  int64_t y = 0;
};
LayerOrigin PlaceLayer(const Layer& layer, const Placement& place, uint32_t screenWidth,
                       uint32_t screenHeight);

struct LayerOptions {
  Placement place;
  std::vector<bool> frames;  // one flag per frame; empty: every frame
  int fadeIn = 0;            // the first chosen frames grow to full strength over this many
  int fadeOut = 0;           // and the last ones fade out over this many
  int opacity = 100;         // percent
  ProgressMeter* progress = nullptr;  // a step per frame rebuilt, then per frame drawn
};

// What PaintLayer did, for the window to tell.
struct LayerReport {
  int framesDrawn = 0;
  int coloursAdded = 0;         // colours that joined a palette
  int coloursApproximated = 0;  // colours that found no room: the nearest entry shows them
  bool recomposed = false;      // the frames were rebuilt as whole pictures first
};

// The strength (0..256) of the layer on the k-th of count chosen frames.
int FadeStrength(int k, int count, int fadeIn, int fadeOut);

// What PaintLayer returns when the meter was stopped: the frames are then partly drawn, and the
// caller puts them back.
constexpr int LayerStopped = -1;

// Whether PaintLayer would draw on the chosen frames as they are; false when it would first
// rebuild every frame (or when nothing of the layer falls on the screen).
bool LayerDrawsInPlace(const Animation& animation, const Layer& layer, const LayerOptions& options);

// Blends the layer onto what each chosen frame shows. When a chosen frame does not show the
// covered pixels by itself (an optimized animation: a smaller frame, transparent pixels, or a
// picture that the next frame would keep showing), every frame is first rebuilt as the whole
// picture it shows. Returns 0, or the id of the text that says why nothing changed (nothing of
// the layer on the screen, no frame chosen, memory short), or LayerStopped.
int PaintLayer(Animation& animation, const Layer& layer, const LayerOptions& options,
               LayerReport* report);

// A layer of the frame's picture (its 24-bit data with its alpha when it has them, else its
// pixels with their transparency). False when the frame has no picture or it is too large.
bool LayerFromFrame(const Frame& frame, Layer* layer);

}  // namespace lw
