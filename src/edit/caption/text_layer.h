// Captions: text shaped by HarfBuzz in a font that fontconfig finds, drawn by FreeType with
// antialiased edges, an optional outline and shadow, into a layer.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "edit/caption/layer.h"

namespace lw {

enum class TextAlign : uint8_t { Left, Center, Right };

// Largest font size, in pixels.
constexpr int MaxFontSize = 1000;
// Largest outline width and shadow offset, in pixels.
constexpr int MaxOutlineWidth = 100;
// Longest text, in bytes.
constexpr size_t MaxTextBytes = 4096;

struct TextStyle {
  std::string text;  // UTF-8; lines end at line feeds
  std::string family = "DejaVu Sans";
  std::string style;           // "Bold", "Italic", ...; empty for the regular face
  int size = 24;               // pixels per em
  uint32_t colour = 0xFFFFFF;  // 0x00BBGGRR
  uint32_t outlineColour = 0;
  int outlineWidth = 0;  // pixels; 0 none
  bool shadow = false;
  uint32_t shadowColour = 0;
  int shadowX = 2;
  int shadowY = 2;
  TextAlign align = TextAlign::Left;
};

// "Famille Style:TAILLE" (style and size optional: "DejaVu Sans:32", "DejaVu Sans Bold",
// "DejaVu Sans Bold Italic:20"); the last words that name a style are the style. False for an
// empty family or a size outside 1..MaxFontSize.
bool ParseFontName(const std::string& text, TextStyle* style);

// A colour as #RRGGBB, RRGGBB or a French or English name (blanc, noir, rouge, white, ...),
// into 0x00BBGGRR.
bool ParseColourName(const std::string& text, uint32_t* colour);

// The font file fontconfig gives for the family and style; empty when the system has no font of
// that family (a generic family such as sans-serif, serif or monospace always has one).
std::string FindFontFile(const std::string& family, const std::string& style, int* faceIndex);

// The families of the scalable fonts fontconfig knows, sorted, each once; and the styles of one
// family ("Book", "Bold", "Oblique", ...), sorted. What the lists name, FindFontFile finds.
std::vector<std::string> FontFamilies();
std::vector<std::string> FontStyles(const std::string& family);

// Where the first line's baseline starts in the layer.
struct TextBaseline {
  int64_t x = 0;
  int64_t y = 0;
};

// Draws the text. The layer's box is the lines' own: from the first line's ascender to the last
// line's descender, as wide as the widest line; the outline and shadow may reach outside it.
// Returns 0, or the id of the text that says why nothing was drawn (ShowErrorId with detail,
// the font's name, as its argument). baseline may be none.
int RenderText(const TextStyle& style, Layer* layer, std::string* detail,
               TextBaseline* baseline = nullptr);

}  // namespace lw
