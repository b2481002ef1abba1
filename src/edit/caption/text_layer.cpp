// Captions drawn without a toolkit: fontconfig picks the font file, HarfBuzz turns each line
// into positioned glyphs (ligatures, marks, right-to-left runs), FreeType draws their coverage.
#include "edit/caption/text_layer.h"

#include <fontconfig/fontconfig.h>
#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_GLYPH_H
#include FT_STROKER_H
#include <hb-ft.h>
#include <hb.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <cstdlib>
#include <memory>
#include <new>
#include <string_view>

#include "base/string_ids.h"

namespace lw {
namespace {

std::string Lower(std::string_view text) {
  std::string out(text);
  for (char& c : out) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return out;
}

bool IsStyleWord(std::string_view word) {
  static constexpr std::array<std::string_view, 16> kWords = {
      "bold", "italic", "oblique",  "regular", "light", "medium",     "condensed", "book",
      "thin", "black",  "semibold", "heavy",   "roman", "extralight", "extrabold", "demibold",
  };
  const std::string lower = Lower(word);
  return std::find(kWords.begin(), kWords.end(), lower) != kWords.end();
}

// A family that fontconfig answers with whatever the system prefers.
bool IsGenericFamily(const std::string& family) {
  const std::string f = Lower(family);
  return f == "sans-serif" || f == "sans" || f == "serif" || f == "monospace" || f == "mono";
}

// 26.6 fixed point to whole pixels, rounded.
int64_t Round26(int64_t v) { return (v + 32) >> 6; }

struct FtLibrary {
  FT_Library library = nullptr;
  ~FtLibrary() {
    if (library) FT_Done_FreeType(library);
  }
};
struct FtFace {
  FT_Face face = nullptr;
  ~FtFace() {
    if (face) FT_Done_Face(face);
  }
};
struct FtStroker {
  FT_Stroker stroker = nullptr;
  ~FtStroker() {
    if (stroker) FT_Stroker_Done(stroker);
  }
};
struct HbFont {
  hb_font_t* font = nullptr;
  ~HbFont() {
    if (font) hb_font_destroy(font);
  }
};
struct HbBuffer {
  hb_buffer_t* buffer = hb_buffer_create();
  ~HbBuffer() { hb_buffer_destroy(buffer); }
};

// One glyph's coverage at its place in text coordinates (the first baseline at y 0).
struct Stamp {
  int64_t x = 0;
  int64_t y = 0;
  uint32_t width = 0;
  uint32_t height = 0;
  std::vector<uint8_t> coverage;
};

// Renders the glyph (stroked first when stroker is given) at the pen position (whole pixels).
bool StampGlyph(FT_Face face, FT_UInt glyphIndex, FT_Stroker stroker, int64_t penX, int64_t penY,
                std::vector<Stamp>* stamps) {
  if (FT_Load_Glyph(face, glyphIndex, FT_LOAD_DEFAULT | FT_LOAD_NO_BITMAP) != 0) return true;
  FT_Glyph glyph = nullptr;
  if (FT_Get_Glyph(face->glyph, &glyph) != 0) return false;
  if (stroker && glyph->format == FT_GLYPH_FORMAT_OUTLINE &&
      FT_Glyph_StrokeBorder(&glyph, stroker, 0, 1) != 0) {
    FT_Done_Glyph(glyph);
    return false;
  }
  if (FT_Glyph_To_Bitmap(&glyph, FT_RENDER_MODE_NORMAL, nullptr, 1) != 0) {
    FT_Done_Glyph(glyph);
    return false;
  }
  const auto* bitmapGlyph = reinterpret_cast<FT_BitmapGlyph>(glyph);
  const FT_Bitmap& bitmap = bitmapGlyph->bitmap;
  bool ok = true;
  if (bitmap.pixel_mode == FT_PIXEL_MODE_GRAY && bitmap.width > 0 && bitmap.rows > 0) {
    try {
      Stamp stamp;
      stamp.x = penX + bitmapGlyph->left;
      stamp.y = penY - bitmapGlyph->top;
      stamp.width = bitmap.width;
      stamp.height = bitmap.rows;
      stamp.coverage.resize(size_t{bitmap.width} * bitmap.rows);
      for (uint32_t row = 0; row < bitmap.rows; ++row) {
        const uint8_t* src = bitmap.buffer + static_cast<ptrdiff_t>(row) * bitmap.pitch;
        std::copy(src, src + bitmap.width, stamp.coverage.begin() + size_t{row} * bitmap.width);
      }
      stamps->push_back(std::move(stamp));
    } catch (const std::bad_alloc&) {
      ok = false;
    }
  }
  FT_Done_Glyph(glyph);
  return ok;
}

struct Bounds64 {
  int64_t left = INT64_MAX;
  int64_t top = INT64_MAX;
  int64_t right = INT64_MIN;
  int64_t bottom = INT64_MIN;
  void Add(int64_t x0, int64_t y0, int64_t x1, int64_t y1) {
    left = std::min(left, x0);
    top = std::min(top, y0);
    right = std::max(right, x1);
    bottom = std::max(bottom, y1);
  }
  bool Empty() const { return left >= right || top >= bottom; }
};

// Draws the stamps' coverage into a plane of the layer's size, the layer's (0, 0) at origin.
void Accumulate(const std::vector<Stamp>& stamps, int64_t originX, int64_t originY, uint32_t width,
                std::vector<uint8_t>* plane) {
  for (const Stamp& s : stamps) {
    for (uint32_t row = 0; row < s.height; ++row) {
      const size_t y = static_cast<size_t>(s.y - originY + row);
      for (uint32_t col = 0; col < s.width; ++col) {
        const size_t x = static_cast<size_t>(s.x - originX + col);
        uint8_t& out = (*plane)[y * width + x];
        out = std::max(out, s.coverage[size_t{row} * s.width + col]);
      }
    }
  }
}

// Straight-alpha "over": the colour with coverage a laid over the pixel.
void Over(LayerPixel* p, uint32_t colour, uint8_t a) {
  if (a == 0) return;
  const uint32_t r = colour & 0xFF, g = (colour >> 8) & 0xFF, b = (colour >> 16) & 0xFF;
  const uint32_t below = p->alpha * (255u - a) / 255u;
  const uint32_t out = a + below;
  p->red = static_cast<uint8_t>((r * a + p->red * below + out / 2) / out);
  p->green = static_cast<uint8_t>((g * a + p->green * below + out / 2) / out);
  p->blue = static_cast<uint8_t>((b * a + p->blue * below + out / 2) / out);
  p->alpha = static_cast<uint8_t>(out);
}

std::vector<std::string> SplitLines(const std::string& text) {
  std::vector<std::string> lines(1);
  for (char c : text) {
    if (c == '\n') {
      lines.emplace_back();
    } else if (c != '\r') {
      lines.back() += c;
    }
  }
  return lines;
}

}  // namespace

bool ParseFontName(const std::string& text, TextStyle* style) {
  std::string name = text;
  int size = style->size;
  const size_t colon = text.rfind(':');
  if (colon != std::string::npos) {
    const std::string digits = text.substr(colon + 1);
    if (digits.empty() || digits.size() > 4) return false;
    int v = 0;
    for (char c : digits) {
      if (c < '0' || c > '9') return false;
      v = v * 10 + (c - '0');
    }
    if (v < 1 || v > MaxFontSize) return false;
    size = v;
    name = text.substr(0, colon);
  }
  std::vector<std::string> words;
  size_t at = 0;
  while (at < name.size()) {
    const size_t blank = name.find(' ', at);
    const size_t end = blank == std::string::npos ? name.size() : blank;
    if (end > at) words.push_back(name.substr(at, end - at));
    at = end + 1;
  }
  size_t familyWords = words.size();
  while (familyWords > 1 && IsStyleWord(words[familyWords - 1])) --familyWords;
  if (familyWords == 0) return false;
  std::string family, styleText;
  for (size_t i = 0; i < words.size(); ++i) {
    std::string& into = i < familyWords ? family : styleText;
    if (!into.empty()) into += ' ';
    into += words[i];
  }
  style->family = family;
  style->style = styleText;
  style->size = size;
  return true;
}

bool ParseColourName(const std::string& text, uint32_t* colour) {
  struct Named {
    std::string_view name;
    uint32_t rgb;  // 0xRRGGBB
  };
  static constexpr std::array<Named, 20> kNames = {{
      {"blanc", 0xFFFFFF}, {"white", 0xFFFFFF},   {"noir", 0x000000},  {"black", 0x000000},
      {"rouge", 0xFF0000}, {"red", 0xFF0000},     {"vert", 0x00FF00},  {"green", 0x00FF00},
      {"bleu", 0x0000FF},  {"blue", 0x0000FF},    {"jaune", 0xFFFF00}, {"yellow", 0xFFFF00},
      {"gris", 0x808080},  {"grey", 0x808080},    {"gray", 0x808080},  {"orange", 0xFFA500},
      {"cyan", 0x00FFFF},  {"magenta", 0xFF00FF}, {"rose", 0xFFC0CB},  {"violet", 0x800080},
  }};
  const std::string lower = Lower(text);
  uint32_t rgb = 0;
  bool found = false;
  for (const Named& n : kNames) {
    if (n.name == lower) {
      rgb = n.rgb;
      found = true;
    }
  }
  if (!found) {
    std::string_view hex = lower;
    if (!hex.empty() && hex[0] == '#') hex.remove_prefix(1);
    if (hex.size() != 6) return false;
    for (char c : hex) {
      int digit = c >= '0' && c <= '9' ? c - '0' : c >= 'a' && c <= 'f' ? c - 'a' + 10 : -1;
      if (digit < 0) return false;
      rgb = rgb << 4 | static_cast<uint32_t>(digit);
    }
  }
  *colour = ((rgb >> 16) & 0xFF) | (rgb & 0xFF00) | ((rgb & 0xFF) << 16);
  return true;
}

// fontconfig keeps its configuration for the whole process; it lets it go at exit, so that leak
// checkers see nothing of it.
bool FontconfigReady() {
  static const bool ready = [] {
    if (!FcInit()) return false;
    std::atexit([] { FcFini(); });
    return true;
  }();
  return ready;
}

std::string FindFontFile(const std::string& family, const std::string& style, int* faceIndex) {
  if (family.empty() || !FontconfigReady()) return {};
  FcPattern* pattern = FcPatternCreate();
  if (!pattern) return {};
  FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>(family.c_str()));
  if (!style.empty())
    FcPatternAddString(pattern, FC_STYLE, reinterpret_cast<const FcChar8*>(style.c_str()));
  FcPatternAddBool(pattern, FC_SCALABLE, FcTrue);
  FcConfigSubstitute(nullptr, pattern, FcMatchPattern);
  FcDefaultSubstitute(pattern);
  FcResult result = FcResultNoMatch;
  FcPattern* match = FcFontMatch(nullptr, pattern, &result);
  FcPatternDestroy(pattern);
  if (!match) return {};
  // fontconfig always answers with some font: it must be of the family asked for.
  bool sameFamily = IsGenericFamily(family);
  FcChar8* value = nullptr;
  for (int i = 0; !sameFamily && FcPatternGetString(match, FC_FAMILY, i, &value) == FcResultMatch;
       ++i)
    sameFamily = Lower(reinterpret_cast<const char*>(value)) == Lower(family);
  std::string path;
  int index = 0;
  if (sameFamily && FcPatternGetString(match, FC_FILE, 0, &value) == FcResultMatch) {
    path = reinterpret_cast<const char*>(value);
    if (FcPatternGetInteger(match, FC_INDEX, 0, &index) != FcResultMatch) index = 0;
  }
  FcPatternDestroy(match);
  if (faceIndex) *faceIndex = index;
  return path;
}

namespace {

// The first value of one property of every scalable font that matches the family (every font
// for an empty one), sorted, each once.
std::vector<std::string> ListFonts(const std::string& family, const char* property) {
  std::vector<std::string> names;
  if (!FontconfigReady()) return names;
  FcPattern* pattern = FcPatternCreate();
  FcObjectSet* properties = FcObjectSetBuild(property, nullptr);
  FcFontSet* fonts = nullptr;
  if (pattern && properties) {
    if (!family.empty())
      FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>(family.c_str()));
    FcPatternAddBool(pattern, FC_SCALABLE, FcTrue);
    fonts = FcFontList(nullptr, pattern, properties);
  }
  try {
    for (int i = 0; fonts && i < fonts->nfont; ++i) {
      FcChar8* value = nullptr;
      if (FcPatternGetString(fonts->fonts[i], property, 0, &value) == FcResultMatch && value)
        names.emplace_back(reinterpret_cast<const char*>(value));
    }
    std::sort(names.begin(), names.end());
    names.erase(std::unique(names.begin(), names.end()), names.end());
  } catch (const std::bad_alloc&) {
    names.clear();
  }
  if (fonts) FcFontSetDestroy(fonts);
  if (properties) FcObjectSetDestroy(properties);
  if (pattern) FcPatternDestroy(pattern);
  return names;
}

}  // namespace

std::vector<std::string> FontFamilies() { return ListFonts(std::string(), FC_FAMILY); }

std::vector<std::string> FontStyles(const std::string& family) {
  if (family.empty()) return {};
  return ListFonts(family, FC_STYLE);
}

int RenderText(const TextStyle& style, Layer* layer, std::string* detail, TextBaseline* baseline) {
  if (detail) *detail = style.family;
  if (style.size < 1 || style.size > MaxFontSize || style.outlineWidth < 0 ||
      style.outlineWidth > MaxOutlineWidth || std::abs(style.shadowX) > MaxOutlineWidth ||
      std::abs(style.shadowY) > MaxOutlineWidth)
    return str::CaptionBadSize;
  if (style.text.size() > MaxTextBytes) return str::CaptionTooLarge;
  if (style.text.find_first_not_of(" \t\r\n") == std::string::npos) return str::CaptionEmptyText;

  int faceIndex = 0;
  const std::string path = FindFontFile(style.family, style.style, &faceIndex);
  if (path.empty()) return str::CaptionFontMissing;
  FtLibrary ft;
  FtFace face;
  if (FT_Init_FreeType(&ft.library) != 0) return str::CaptionNoMemory;
  if (FT_New_Face(ft.library, path.c_str(), faceIndex, &face.face) != 0 ||
      !FT_IS_SCALABLE(face.face) ||
      FT_Set_Pixel_Sizes(face.face, 0, static_cast<FT_UInt>(style.size)) != 0)
    return str::CaptionFontUnreadable;
  FtStroker stroker;
  if (style.outlineWidth > 0) {
    if (FT_Stroker_New(ft.library, &stroker.stroker) != 0) return str::CaptionNoMemory;
    FT_Stroker_Set(stroker.stroker, style.outlineWidth * 64, FT_STROKER_LINECAP_ROUND,
                   FT_STROKER_LINEJOIN_ROUND, 0);
  }
  HbFont font;
  font.font = hb_ft_font_create_referenced(face.face);
  // HarfBuzz's own unhinted advances: the line keeps its designed width at every size, and
  // the glyphs, hinted one by one, land on the nearest pixel.

  // The design's line metrics at this size, as HarfBuzz reports them (the hinted ones are
  // rounded up to whole pixels and would set the lines a pixel lower than other programs).
  const FT_Fixed yScale = face.face->size->metrics.y_scale;
  const int64_t ascender = Round26(FT_MulFix(face.face->ascender, yScale));
  const int64_t descender = Round26(FT_MulFix(face.face->descender, yScale));  // negative
  const int64_t lineHeight = std::max<int64_t>(Round26(FT_MulFix(face.face->height, yScale)), 1);

  struct Glyph {
    hb_codepoint_t index;
    int64_t x;  // 26.6, from the line's start
    int64_t y;
  };
  struct Line {
    std::vector<Glyph> glyphs;
    int64_t advance = 0;  // 26.6
  };
  std::vector<Line> lines;
  try {
    for (const std::string& text : SplitLines(style.text)) {
      HbBuffer buffer;
      hb_buffer_add_utf8(buffer.buffer, text.data(), static_cast<int>(text.size()), 0,
                         static_cast<int>(text.size()));
      hb_buffer_guess_segment_properties(buffer.buffer);
      hb_shape(font.font, buffer.buffer, nullptr, 0);
      unsigned count = 0;
      const hb_glyph_info_t* info = hb_buffer_get_glyph_infos(buffer.buffer, &count);
      const hb_glyph_position_t* pos = hb_buffer_get_glyph_positions(buffer.buffer, &count);
      Line line;
      // Right-to-left runs come out in visual order: the pen moves right all the same.
      for (unsigned i = 0; i < count; ++i) {
        line.glyphs.push_back({info[i].codepoint, line.advance + pos[i].x_offset, pos[i].y_offset});
        line.advance += pos[i].x_advance;
      }
      lines.push_back(std::move(line));
    }
  } catch (const std::bad_alloc&) {
    return str::CaptionNoMemory;
  }

  int64_t boxWidth = 0;
  for (const Line& line : lines) boxWidth = std::max(boxWidth, Round26(line.advance));
  const int64_t boxHeight =
      ascender - descender + lineHeight * static_cast<int64_t>(lines.size() - 1);
  // Each line at most MaxLayerSide wide: a size the coverage planes may hold.
  if (boxWidth > MaxLayerSide || boxHeight > MaxLayerSide) return str::CaptionTooLarge;

  std::vector<Stamp> fill, outline;
  Bounds64 ink;
  for (size_t n = 0; n < lines.size(); ++n) {
    const Line& line = lines[n];
    const int64_t width = Round26(line.advance);
    const int64_t start = style.align == TextAlign::Left     ? 0
                          : style.align == TextAlign::Center ? (boxWidth - width) / 2
                                                             : boxWidth - width;
    const int64_t baseY = ascender + lineHeight * static_cast<int64_t>(n);
    for (const Glyph& g : line.glyphs) {
      const int64_t penX = start + Round26(g.x), penY = baseY - Round26(g.y);
      if (!StampGlyph(face.face, g.index, nullptr, penX, penY, &fill)) return str::CaptionNoMemory;
      if (stroker.stroker && !StampGlyph(face.face, g.index, stroker.stroker, penX, penY, &outline))
        return str::CaptionNoMemory;
    }
  }
  for (const auto* stamps : {&fill, &outline})
    for (const Stamp& s : *stamps) ink.Add(s.x, s.y, s.x + s.width, s.y + s.height);
  if (ink.Empty()) return str::CaptionEmptyText;

  Bounds64 all = ink;
  all.Add(0, 0, boxWidth, boxHeight);
  if (style.shadow)
    all.Add(ink.left + style.shadowX, ink.top + style.shadowY, ink.right + style.shadowX,
            ink.bottom + style.shadowY);
  const int64_t w = all.right - all.left, h = all.bottom - all.top;
  if (w > MaxLayerSide || h > MaxLayerSide || static_cast<uint64_t>(w * h) > MaxLayerPixels)
    return str::CaptionTooLarge;

  try {
    const auto width = static_cast<uint32_t>(w), height = static_cast<uint32_t>(h);
    const size_t area = size_t{width} * height;
    std::vector<uint8_t> fillPlane(area), outlinePlane(area);
    Accumulate(fill, all.left, all.top, width, &fillPlane);
    Accumulate(outline, all.left, all.top, width, &outlinePlane);
    layer->width = width;
    layer->height = height;
    layer->pixels.assign(area, LayerPixel{});
    if (style.shadow) {
      for (uint32_t y = 0; y < height; ++y) {
        for (uint32_t x = 0; x < width; ++x) {
          const int64_t sx = int64_t{x} - style.shadowX, sy = int64_t{y} - style.shadowY;
          if (sx < 0 || sy < 0 || sx >= w || sy >= h) continue;
          const size_t from = static_cast<size_t>(sy * w + sx);
          Over(&layer->pixels[size_t{y} * width + x], style.shadowColour,
               std::max(fillPlane[from], outlinePlane[from]));
        }
      }
    }
    for (size_t i = 0; i < area; ++i) {
      Over(&layer->pixels[i], style.outlineColour, outlinePlane[i]);
      Over(&layer->pixels[i], style.colour, fillPlane[i]);
    }
  } catch (const std::bad_alloc&) {
    *layer = Layer{};
    return str::CaptionNoMemory;
  }
  layer->boxLeft = -all.left;
  layer->boxTop = -all.top;
  layer->boxWidth = std::max<int64_t>(boxWidth, 1);
  layer->boxHeight = std::max<int64_t>(boxHeight, 1);
  if (baseline) {
    const int64_t width0 = Round26(lines[0].advance);
    const int64_t start0 = style.align == TextAlign::Left     ? 0
                           : style.align == TextAlign::Center ? (boxWidth - width0) / 2
                                                              : boxWidth - width0;
    *baseline = {start0 - all.left, ascender - all.top};
  }
  return 0;
}

}  // namespace lw
