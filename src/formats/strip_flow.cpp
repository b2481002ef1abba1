#include "formats/strip_flow.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cstring>
#include <new>

#include "base/messages.h"
#include "base/numbers.h"
#include "base/progress.h"
#include "base/string_ids.h"
#include "base/strings.h"
#include "core/compose.h"
#include "core/document_listener.h"
#include "core/picture_budget.h"
#include "core/undo.h"
#include "formats/common/flow_text.h"
#include "formats/format_registry.h"
#include "platform/files.h"
#include "platform/flow_dialogs.h"

namespace lw {

std::string NumberedName::Fill(int number) const {
  if (!numbered) return prefix + suffix;
  std::string digits = std::to_string(number);
  if (static_cast<int>(digits.size()) < width)
    digits.insert(0, static_cast<size_t>(width) - digits.size(), '0');
  return prefix + digits + suffix;
}

int NumberDigits(int frameCount) {
  if (frameCount < 2) return 0;
  int digits = 0;
  for (long long power = 1; power < frameCount; power *= 10) ++digits;
  return std::max(digits, 1);
}

namespace {

bool EndsWithNoCase(std::string_view text, std::string_view tail) {
  if (tail.size() > text.size()) return false;
  return std::equal(tail.begin(), tail.end(), text.end() - static_cast<long>(tail.size()),
                    [](char a, char b) {
                      return std::tolower(static_cast<unsigned char>(a)) ==
                             std::tolower(static_cast<unsigned char>(b));
                    });
}

}  // namespace

NumberedName NumberedNamePattern(std::string_view baseName, std::string_view extension,
                                 bool alwaysNumber, int digits) {
  std::string name(baseName);
  std::string dotted = "." + std::string(extension);
  // Another extension of the same format stays as typed: x.jpeg gives x1.jpeg, not x.jpeg1.jpg.
  const size_t dot = name.rfind('.');
  const FormatSpec* own = FormatForPath(name);
  if (dot != std::string::npos && own && EqualsNoCase(own->save.extension, extension))
    dotted = name.substr(dot);
  if (!EndsWithNoCase(name, dotted)) name += dotted;
  NumberedName out;
  size_t hash = name.find('#');
  if (hash != std::string::npos) {
    size_t end = name.find_first_not_of('#', hash);
    if (end == std::string::npos) end = name.size();
    out.prefix = name.substr(0, hash);
    out.width = std::max(static_cast<int>(end - hash), digits);
    out.suffix = name.substr(end);
    out.numbered = true;
  } else if (alwaysNumber) {
    out.prefix = name.substr(0, name.size() - dotted.size());
    out.width = digits;
    out.suffix = name.substr(out.prefix.size());
    out.numbered = true;
  } else {
    out.prefix = name;
  }
  return out;
}

StripSize StripSizeFor(const Animation& document, uint32_t optionBits) {
  StripSize size;
  int frames = document.frameCount;
  if (frames <= 0) return size;
  int strips = std::clamp(static_cast<int>(optionBits >> stripopt::CountShift), 1, frames);
  size.framesPerStrip = (frames + strips - 1) / strips;
  uint64_t along = static_cast<uint64_t>(size.framesPerStrip);
  uint64_t across = static_cast<uint64_t>(strips);
  auto clamped = [](uint64_t v) {
    return static_cast<uint32_t>(std::min<uint64_t>(v, UINT32_MAX));
  };
  if (optionBits & stripopt::Vertical) {
    size.width = clamped(across * document.screenWidth);
    size.height = clamped(along * document.screenHeight);
  } else {
    size.width = clamped(along * document.screenWidth);
    size.height = clamped(across * document.screenHeight);
  }
  return size;
}

// ---- Building a strip ----

namespace {

// The part of a frame that lands in its cell: frames reaching past the logical screen are cut
// at the cell's edge rather than spilling into their neighbours.
struct Placement {
  uint64_t fromX = 0, fromY = 0;  // in the frame
  uint64_t toX = 0, toY = 0;      // in the strip
  uint64_t width = 0, height = 0;
};

bool PlaceInCell(const Frame& frame, uint64_t cellX, uint64_t cellY, uint32_t cellWidth,
                 uint32_t cellHeight, Placement* out) {
  int64_t x0 = std::max<int64_t>(frame.left, 0), y0 = std::max<int64_t>(frame.top, 0);
  int64_t x1 = std::min<int64_t>(int64_t{frame.left} + frame.DibWidth(), cellWidth);
  int64_t y1 = std::min<int64_t>(int64_t{frame.top} + frame.DibHeight(), cellHeight);
  if (x1 <= x0 || y1 <= y0) return false;
  out->fromX = static_cast<uint64_t>(x0 - frame.left);
  out->fromY = static_cast<uint64_t>(y0 - frame.top);
  out->toX = cellX + static_cast<uint64_t>(x0);
  out->toY = cellY + static_cast<uint64_t>(y0);
  out->width = static_cast<uint64_t>(x1 - x0);
  out->height = static_cast<uint64_t>(y1 - y0);
  return true;
}

bool HasPixels(const Frame& frame) {
  const uint64_t stride = IndexStride(frame.DibWidth());
  return frame.bits() && stride * frame.DibHeight() <= frame.dib.size() - DibBitsOffset;
}

// Frame indexes onto the strip's palette: a frame with a palette of its own keeps its colours.
std::array<uint8_t, 256> IndexMap(const Palette* from, const Palette& to) {
  std::array<uint8_t, 256> map;
  for (int i = 0; i < 256; ++i) map[i] = static_cast<uint8_t>(i);
  if (!from || from == &to || from->entries == to.entries) return map;
  for (int i = 0; i < from->Count() && i < 256; ++i) {
    const PaletteEntry& e = from->entries[i];
    map[i] = static_cast<uint8_t>(to.NearestIndex(e.red, e.green, e.blue));
  }
  return map;
}

PaletteEntry ColourOf(const Palette* palette, uint8_t index) {
  if (!palette || index >= palette->Count()) return {};
  return palette->entries[index];
}

struct StripImage {
  uint32_t width = 0, height = 0;
  uint8_t* bits = nullptr;
  uint8_t* rgb = nullptr;  // none without 24-bit planes
  uint8_t* alpha = nullptr;
};

void CopyFrame(const Frame& frame, const Palette& stripPalette, const Placement& at,
               const StripImage& image) {
  const std::array<uint8_t, 256> map = IndexMap(frame.palette, stripPalette);
  const uint32_t width = frame.DibWidth(), height = frame.DibHeight();
  const uint64_t stride = IndexStride(width);
  const uint64_t toStride = IndexStride(image.width);
  const bool ownRgb = frame.rgbPlane.size() >= RgbStride(width) * height;
  const bool ownAlpha = ownRgb && frame.alphaPlane.size() >= stride * height;
  for (uint64_t y = 0; y < at.height; ++y) {
    const uint64_t fromRow = (at.fromY + y) * stride + at.fromX;
    const uint64_t toRow = (at.toY + y) * toStride + at.toX;
    const uint8_t* from = frame.bits() + fromRow;
    uint8_t* to = image.bits + toRow;
    for (uint64_t x = 0; x < at.width; ++x) to[x] = map[from[x]];
    if (!image.rgb) continue;
    uint8_t* rgb = image.rgb + (at.toY + y) * RgbStride(image.width) + 3 * at.toX;
    uint8_t* alpha = image.alpha + toRow;
    if (ownRgb) {
      std::memcpy(rgb, frame.rgbPlane.data() + (at.fromY + y) * RgbStride(width) + 3 * at.fromX,
                  3 * at.width);
      if (ownAlpha) std::memcpy(alpha, frame.alphaPlane.data() + fromRow, at.width);
      continue;
    }
    // An 8-bit frame among 24-bit ones: its colours through its palette, its transparent
    // pixels see-through.
    for (uint64_t x = 0; x < at.width; ++x) {
      PaletteEntry e = ColourOf(frame.palette, from[x]);
      rgb[3 * x] = e.blue;
      rgb[3 * x + 1] = e.green;
      rgb[3 * x + 2] = e.red;
      if (frame.Transparent() && from[x] == frame.transparentIndex) alpha[x] = 0;
    }
  }
}

AnimationPtr NoStrip() {
  ShowErrorId(str::StripNoMemory);
  return nullptr;
}

}  // namespace

AnimationPtr BuildStrip(const Animation& document, uint32_t optionBits, uint32_t frameDelay) {
  const StripSize size = StripSizeFor(document, optionBits);
  if (size.framesPerStrip == 0 || size.width == 0 || size.height == 0) return NoStrip();
  bool trueColour = false;
  if (!(optionBits & saveopt::StillImage)) {
    for (const Frame* f = FirstFrame(document); f; f = NextFrame(f))
      trueColour = trueColour || !f->rgbPlane.empty();
  }
  // The size is checked before anything is taken: a strip of many large frames would otherwise
  // ask for more memory than the machine has.
  if (!PictureFitsBudget(size.width, size.height, 1) ||
      (trueColour && !PictureFitsBudget(size.width, size.height, 3)))
    return NoStrip();
  try {
    AnimationPtr strip = NewAnimation();
    if (!strip) return NoStrip();
    const Frame* first = FirstFrame(document);
    const Palette* source = document.globalPalette    ? document.globalPalette.get()
                            : first && first->palette ? first->palette
                                                      : &DefaultPalette();
    PalettePtr palette = CopyPalette(source);
    if (!palette) return NoStrip();
    SetGlobalPalette(*strip, std::move(palette));
    const Palette& stripPalette = *strip->globalPalette;
    strip->screenWidth = size.width;
    strip->screenHeight = size.height;
    strip->playCount = document.playCount;
    strip->aspectByte = document.aspectByte;
    const uint8_t background =
        document.backgroundIndex < stripPalette.Count() ? document.backgroundIndex : 0;
    strip->backgroundIndex = background;

    Frame* frame = NewFrame(size.width, size.height, frameDelay);
    if (!frame) return NoStrip();
    InsertBlockAfter(strip->blocks, frame);
    strip->frameCount = 1;
    frame->palette = strip->globalPalette.get();
    std::vector<uint8_t> dib = BuildDib(size.width, size.height, frame->palette);
    if (dib.empty()) return NoStrip();
    std::fill(dib.begin() + DibBitsOffset, dib.end(), background);
    SetFrameDib(frame, std::move(dib));
    StripImage image{size.width, size.height, frame->bits()};
    if (trueColour) {
      const uint64_t rgbStride = RgbStride(size.width);
      std::vector<uint8_t> rgb(rgbStride * size.height);
      const PaletteEntry fill = ColourOf(&stripPalette, background);
      for (uint64_t y = 0; y < size.height; ++y) {
        for (uint64_t x = 0; x < size.width; ++x) {
          uint8_t* p = rgb.data() + y * rgbStride + 3 * x;
          p[0] = fill.blue;
          p[1] = fill.green;
          p[2] = fill.red;
        }
      }
      SetRgbPlane(frame, std::move(rgb));
      SetAlphaPlane(frame, std::vector<uint8_t>(IndexStride(size.width) * size.height, 255));
      image.rgb = frame->rgbPlane.data();
      image.alpha = frame->alphaPlane.data();
    }

    const bool vertical = optionBits & stripopt::Vertical;
    const uint32_t cellWidth = document.screenWidth, cellHeight = document.screenHeight;
    int cell = 0;
    for (const Frame* f = FirstFrame(document); f; f = NextFrame(f), ++cell) {
      const uint64_t along = static_cast<uint64_t>(cell % size.framesPerStrip);
      const uint64_t across = static_cast<uint64_t>(cell / size.framesPerStrip);
      const uint64_t cellX = (vertical ? across : along) * cellWidth;
      const uint64_t cellY = (vertical ? along : across) * cellHeight;
      Placement at;
      if (!HasPixels(*f) || !PlaceInCell(*f, cellX, cellY, cellWidth, cellHeight, &at)) continue;
      CopyFrame(*f, stripPalette, at, image);
    }
    RebuildTransparencyMask(frame);
    return strip;
  } catch (const std::bad_alloc&) {
    return NoStrip();
  }
}

// ---- Cutting a strip ----

int StripSplitProblem(uint32_t width, uint32_t height, const StripSplitChoice& choice) {
  if (choice.framesPerRow < 1 || width % static_cast<uint32_t>(choice.framesPerRow) != 0)
    return str::StripCannotSplitHorizontally;
  if (choice.framesPerColumn < 1 || height % static_cast<uint32_t>(choice.framesPerColumn) != 0)
    return str::StripCannotSplitVertically;
  // The frame count is a 16-bit field.
  if (int64_t{choice.framesPerRow} * choice.framesPerColumn > INT16_MAX) return str::StripNoMemory;
  return 0;
}

namespace {

// Frames not yet linked anywhere, freed unless handed over.
struct LooseFrames {
  std::vector<Frame*> frames;
  ~LooseFrames() {
    for (Frame* f : frames) FreeBlock(f);
  }
};

// The cell at (x, y) of the strip frame as a new frame on the strip's palette.
Frame* CellFrame(const Frame& strip, uint64_t x, uint64_t y, uint32_t width, uint32_t height,
                 uint32_t delay) {
  Frame* f = NewFrame(width, height, delay);
  if (!f) return nullptr;
  if (strip.localPalette) {
    PalettePtr own = CopyPalette(strip.localPalette.get());
    if (!own) {
      FreeBlock(f);
      return nullptr;
    }
    SetLocalPalette(f, std::move(own));
  } else {
    f->palette = strip.palette;
  }
  std::vector<uint8_t> dib = BuildDib(width, height, f->palette);
  if (dib.empty()) {
    FreeBlock(f);
    return nullptr;
  }
  const uint32_t stripWidth = strip.DibWidth(), stripHeight = strip.DibHeight();
  const uint64_t fromStride = IndexStride(stripWidth), toStride = IndexStride(width);
  for (uint64_t row = 0; row < height; ++row) {
    std::memcpy(dib.data() + DibBitsOffset + row * toStride,
                strip.bits() + (y + row) * fromStride + x, width);
  }
  SetFrameDib(f, std::move(dib));
  if (strip.rgbPlane.size() >= RgbStride(stripWidth) * stripHeight) {
    std::vector<uint8_t> rgb(RgbStride(width) * height);
    for (uint64_t row = 0; row < height; ++row) {
      std::memcpy(rgb.data() + row * RgbStride(width),
                  strip.rgbPlane.data() + (y + row) * RgbStride(stripWidth) + 3 * x, 3 * width);
    }
    SetRgbPlane(f, std::move(rgb));
    if (strip.alphaPlane.size() >= fromStride * stripHeight) {
      std::vector<uint8_t> alpha(toStride * height);
      for (uint64_t row = 0; row < height; ++row) {
        std::memcpy(alpha.data() + row * toStride,
                    strip.alphaPlane.data() + (y + row) * fromStride + x, width);
      }
      SetAlphaPlane(f, std::move(alpha));
    }
  }
  if (strip.Transparent()) {
    SetTransparentIndex(f, strip.transparentIndex);
    SetTransparency(f, true);
    UpdateDibColourTable(f);
  }
  return f;
}

}  // namespace

bool CutStrip(Animation& document, const StripSplitChoice& choice, uint32_t frameDelay) {
  Frame* strip = FirstFrame(document);
  if (!strip || NextFrame(strip)) {
    ShowErrorId(str::StripSingleImage);
    return false;
  }
  const uint32_t width = strip->DibWidth(), height = strip->DibHeight();
  if (int problem = StripSplitProblem(width, height, choice)) {
    ShowErrorId(problem);
    return false;
  }
  if (!HasPixels(*strip)) {
    ShowErrorId(str::StripNoMemory);
    return false;
  }
  const int across = choice.framesPerRow, down = choice.framesPerColumn;
  const uint32_t cellWidth = width / static_cast<uint32_t>(across);
  const uint32_t cellHeight = height / static_cast<uint32_t>(down);
  const int count = across * down;
  LooseFrames cut;
  try {
    cut.frames.reserve(static_cast<size_t>(count));
    for (int k = 0; k < count; ++k) {
      const int column = choice.byColumns ? k / down : k % across;
      const int row = choice.byColumns ? k % down : k / across;
      Frame* f = CellFrame(*strip, uint64_t{cellWidth} * static_cast<uint64_t>(column),
                           uint64_t{cellHeight} * static_cast<uint64_t>(row), cellWidth, cellHeight,
                           frameDelay);
      if (!f) {
        ShowErrorId(str::StripNoMemory);
        return false;
      }
      cut.frames.push_back(f);
    }
  } catch (const std::bad_alloc&) {
    ShowErrorId(str::StripNoMemory);
    return false;
  }
  // Nothing can fail from here: the document changes all at once.
  Block* at = strip->prev;
  UnlinkAndFreeBlock(strip);
  for (Frame* f : cut.frames) {
    InsertBlockAfter(at, f);
    at = f;
  }
  cut.frames.clear();
  document.frameCount = static_cast<int16_t>(count);
  document.screenWidth = cellWidth;
  document.screenHeight = cellHeight;
  SetSelectedCount(document, 0);
  document.encodedSizeCache = -1;
  CountColourUsage(document, document.colourUsage.data(), true);
  return true;
}

bool SplitStrip(Animation& document, uint32_t frameDelay, WindowHandle owner) {
  Frame* strip = FirstFrame(document);
  if (document.frameCount != 1 || !strip || NextFrame(strip)) {
    ShowErrorId(str::StripSingleImage);
    return false;
  }
  StripSplitChoice choice;
  for (;;) {
    if (!Dialogs().AskStripSplit(owner, document, &choice)) return false;
    int problem = StripSplitProblem(strip->DibWidth(), strip->DibHeight(), choice);
    if (problem == 0) break;
    ShowErrorId(problem);
  }
  return CutStrip(document, choice, frameDelay);
}

// ---- One file per frame ----

std::vector<std::string> IndividualFileNames(const std::string& baseName, const Animation& document,
                                             uint32_t optionBits, int type) {
  std::vector<std::string> names;
  const FormatSpec* format = FormatForSaveType(type);
  // The number goes into the file's name only: a '#' in a folder's name stays as it is.
  const std::string folder = DirectoryPart(baseName);
  const std::string fileName = BaseName(baseName);
  if (!format || !format->writeFrame || fileName.empty()) return names;
  const bool selectedOnly = optionBits & stripopt::SelectedOnly;
  int total = 0, selected = 0;
  for (const Frame* f = FirstFrame(document); f; f = NextFrame(f)) {
    ++total;
    if (f->selected) ++selected;
  }
  const NumberedName pattern = NumberedNamePattern(
      fileName, format->save.extension, !selectedOnly || selected > 1, NumberDigits(total));
  int number = 0;
  for (const Frame* f = FirstFrame(document); f; f = NextFrame(f)) {
    ++number;
    if (!selectedOnly || f->selected) names.push_back(folder + pattern.Fill(number));
  }
  return names;
}

namespace {

// The folder of the names as the user reads it: without its trailing '/' (but "/" itself).
std::string ShownFolder(const std::string& name) {
  std::string folder = DirectoryPart(name);
  if (folder.size() > 1) folder.pop_back();
  return folder.empty() ? std::string(".") : folder;
}

}  // namespace

std::string IndividualNamesLine(const std::vector<std::string>& names) {
  if (names.empty()) return {};
  const std::string folder = ShownFolder(names.front());
  if (names.size() == 1)
    return FormatText(TableText(str::IndividualNameIn), BaseName(names.front()).c_str(),
                      folder.c_str());
  return FormatText(TableText(str::IndividualNamesRange), BaseName(names.front()).c_str(),
                    BaseName(names.back()).c_str(), folder.c_str());
}

std::string ReplaceFilesQuestion(const std::vector<std::string>& names) {
  const std::string* taken = nullptr;
  int count = 0;
  for (const std::string& name : names) {
    if (!FileExists(name)) continue;
    if (!taken) taken = &name;
    ++count;
  }
  if (count == 0) return {};
  if (count == 1) return FormatResText(str::ReplaceExistingQuestion, *taken);
  return FormatText(TableText(str::ReplaceIndividualFiles), GroupDigits(count).c_str(),
                    ShownFolder(*taken).c_str());
}

}  // namespace lw
