#include "colour/palette_edit.h"

#include <algorithm>
#include <array>
#include <new>

#include "colour/colour_engine.h"
#include "colour/palette_fit.h"
#include "core/compose.h"
#include "core/document_listener.h"
#include "core/undo.h"

namespace lw {

namespace {

uint32_t FrameHints(int index, uint32_t hints) {
  return refresh::ForFrame(hints | refresh::OneFrame, static_cast<uint32_t>(index));
}

bool SameEntries(const std::vector<PaletteEntry>& a, const std::vector<PaletteEntry>& b) {
  return a == b;
}

// Writes the colour the index shows in the palette (black beyond it) as blue, green, red.
void PaintEntry(const Palette* palette, uint8_t index, uint8_t* bgr) {
  if (palette && index < palette->Count()) {
    const PaletteEntry& e = palette->entries[index];
    bgr[0] = e.blue, bgr[1] = e.green, bgr[2] = e.red;
  } else {
    bgr[0] = bgr[1] = bgr[2] = 0;
  }
}

// Pixels the pixel editor changed keep their 24-bit data in step: the palette colour, opaque
// unless the pixel took the transparent index.
void FollowInTrueColour(Frame* frame, const std::vector<uint8_t>& oldDib) {
  DibGeometry g, old;
  if (frame->rgbPlane.empty() || !GetDibGeometry(frame->dib, &g) || !GetDibGeometry(oldDib, &old))
    return;
  if (g.width != old.width || g.height != old.height) return;
  uint64_t rgbStride = RgbStride(g.width);
  if (rgbStride * g.height > frame->rgbPlane.size()) return;
  bool alpha = frame->alphaPlane.size() >= g.stride * g.height;
  const uint8_t* now = frame->bits();
  const uint8_t* before = oldDib.data() + DibBitsOffset;
  for (uint64_t y = 0; y < g.height; ++y) {
    for (uint64_t x = 0; x < g.width; ++x) {
      uint64_t at = y * g.stride + x;
      if (now[at] == before[at]) continue;
      uint8_t* rgb = frame->rgbPlane.data() + y * rgbStride + 3 * x;
      bool clear = frame->Transparent() && now[at] == frame->transparentIndex;
      PaintEntry(clear ? nullptr : frame->palette, now[at], rgb);
      if (alpha) frame->alphaPlane[at] = clear ? 0 : 255;
    }
  }
}

// Which indexes an edit of a palette's entries from before to after shows in another colour
// (an index beyond the palette shows black).
std::array<bool, 256> RecolouredIndexes(const std::vector<PaletteEntry>& before,
                                        const std::vector<PaletteEntry>& after) {
  std::array<bool, 256> changed{};
  for (size_t i = 0; i < changed.size(); ++i) {
    const bool was = i < before.size(), is = i < after.size();
    changed[i] = was != is || (was && !(before[i] == after[i]));
  }
  return changed;
}

// Calls visit(index, bgr) for each pixel of the frame's 24-bit data whose index the edit
// recolours, clear pixels left out, until visit returns false.
template <typename Visit>
void ForRecolouredPixels(Frame& frame, const std::array<bool, 256>& changed, Visit visit) {
  DibGeometry g;
  if (frame.rgbPlane.empty() || !GetDibGeometry(frame.dib, &g)) return;
  const uint64_t rgbStride = RgbStride(g.width);
  if (rgbStride * g.height > frame.rgbPlane.size()) return;
  const uint8_t* bits = frame.bits();
  for (uint64_t y = 0; y < g.height; ++y) {
    for (uint64_t x = 0; x < g.width; ++x) {
      const uint8_t index = bits[y * g.stride + x];
      if (!changed[index] || (frame.Transparent() && index == frame.transparentIndex)) continue;
      if (!visit(index, frame.rgbPlane.data() + y * rgbStride + 3 * x)) return;
    }
  }
}

// The frames that show palette and whose 24-bit pixels the edit recolours, each with its
// colours as they are; false when memory is short.
bool KeepRecolouredFrames(Animation& document, const Palette* palette,
                          const std::array<bool, 256>& changed,
                          std::vector<undo::KeptColours>* kept) {
  try {
    uint32_t index = 0;
    for (Frame* f = FirstFrame(document); f; f = NextFrame(f), ++index) {
      if (f->palette != palette) continue;
      bool any = false;
      ForRecolouredPixels(*f, changed, [&](uint8_t, uint8_t*) { return !(any = true); });
      if (any) kept->push_back({index, f->rgbPlane});
    }
  } catch (const std::bad_alloc&) {
    return false;
  }
  return true;
}

// A palette edit is seen in the 24-bit data too, so that a 24-bit save and the colours chosen
// for a GIF show it: each recoloured pixel takes its index's new colour and keeps its alpha.
void RecolourTrueColour(Frame* frame, const std::array<bool, 256>& changed) {
  ForRecolouredPixels(*frame, changed, [frame](uint8_t index, uint8_t* bgr) {
    PaintEntry(frame->palette, index, bgr);
    return true;
  });
}

// After a new transparent index, the alpha plane of 24-bit data says what the image now shows:
// clear where the pixels take the index, and pixels that were clear and no longer are opaque
// in the palette colour they show. Partly clear pixels that stay visible keep their alpha.
void FollowTransparencyInAlpha(Frame* frame) {
  DibGeometry g;
  if (frame->alphaPlane.empty() || !GetDibGeometry(frame->dib, &g)) return;
  const uint64_t rgbStride = RgbStride(g.width);
  if (rgbStride * g.height > frame->rgbPlane.size() ||
      g.stride * g.height > frame->alphaPlane.size())
    return;
  const uint8_t* bits = frame->bits();
  for (uint64_t y = 0; y < g.height; ++y) {
    for (uint64_t x = 0; x < g.width; ++x) {
      const uint64_t at = y * g.stride + x;
      uint8_t& alpha = frame->alphaPlane[at];
      if (frame->Transparent() && bits[at] == frame->transparentIndex) {
        alpha = 0;
      } else if (alpha == 0) {
        alpha = 255;
        PaintEntry(frame->palette, bits[at], frame->rgbPlane.data() + y * rgbStride + 3 * x);
      }
    }
  }
}

}  // namespace

TransparencyChoice TransparencyChoice::OfFrame(Frame* frame) {
  TransparencyChoice choice;
  choice.frame = frame;
  choice.count = 0;
  if (frame && frame->Transparent()) {
    choice.count = 1;
    choice.indexes[0] = frame->transparentIndex;
  }
  return choice;
}

bool ApplyTransparencyChoice(Frame* frame, const TransparencyChoice& choice) {
  if (!frame || choice.count < 0) return false;
  if (choice.count == 0) {
    SetTransparency(frame, false);
    return true;
  }
  int count = std::min(choice.count, 256);
  uint8_t first = choice.indexes[0];
  if (count == 1 && frame->Transparent() && frame->transparentIndex == first) return false;
  if (count > 1) {
    std::array<bool, 256> merged{};
    for (int i = 1; i < count; ++i) merged[choice.indexes[i]] = true;
    merged[first] = false;
    DibGeometry g;
    if (GetDibGeometry(frame->dib, &g)) {
      // Row by row over the pixels only: the padding bytes stay as they are.
      for (uint64_t y = 0; y < g.height; ++y) {
        uint8_t* row = frame->bits() + y * g.stride;
        for (uint32_t x = 0; x < g.width; ++x)
          if (merged[row[x]]) row[x] = first;
      }
    }
  }
  SetTransparentIndex(frame, first);
  SetTransparency(frame, true);
  return true;
}

bool DibPixelIndex(const std::vector<uint8_t>& dib, uint32_t x, uint32_t y, uint8_t* index) {
  DibGeometry g;
  if (!GetDibGeometry(dib, &g) || x >= g.width || y >= g.height) return false;
  *index = dib[DibBitsOffset + y * g.stride + x];
  return true;
}

bool SetDibPixelIndex(std::vector<uint8_t>& dib, uint32_t x, uint32_t y, uint8_t index) {
  DibGeometry g;
  if (!GetDibGeometry(dib, &g) || x >= g.width || y >= g.height) return false;
  uint8_t& pixel = dib[DibBitsOffset + y * g.stride + x];
  if (pixel == index) return false;
  pixel = index;
  return true;
}

uint64_t FloodFillDib(std::vector<uint8_t>& dib, uint32_t x, uint32_t y, uint8_t index) {
  DibGeometry g;
  if (!GetDibGeometry(dib, &g) || x >= g.width || y >= g.height) return 0;
  uint8_t* bits = dib.data() + DibBitsOffset;
  const uint8_t target = bits[y * g.stride + x];
  if (target == index) return 0;
  // Scan lines with an explicit stack of seeds: each seed fills its whole run, and pushes one
  // seed per run of the target index in the rows above and below.
  struct Seed {
    uint32_t x, y;
  };
  std::vector<Seed> stack;
  uint64_t changed = 0;
  try {
    stack.push_back({x, y});
    while (!stack.empty()) {
      Seed s = stack.back();
      stack.pop_back();
      uint8_t* row = bits + s.y * g.stride;
      if (row[s.x] != target) continue;
      uint32_t left = s.x, right = s.x;
      while (left > 0 && row[left - 1] == target) --left;
      while (right + 1 < g.width && row[right + 1] == target) ++right;
      std::fill(row + left, row + right + 1, index);
      changed += right - left + 1;
      for (int dy : {-1, 1}) {
        if ((dy < 0 && s.y == 0) || (dy > 0 && s.y + 1 >= g.height)) continue;
        uint32_t ny = s.y + dy;
        const uint8_t* next = bits + ny * g.stride;
        bool inRun = false;
        for (uint32_t i = left; i <= right; ++i) {
          bool match = next[i] == target;
          if (match && !inRun) stack.push_back({i, ny});
          inRun = match;
        }
      }
    }
  } catch (const std::bad_alloc&) {
    // What was filled stays; the caller's copy is only a working image.
  }
  return changed;
}

uint32_t ApplyPaletteEdit(Animation& document, int frameIndex,
                          const std::vector<PaletteEntry>& entries) {
  Frame* frame = frameIndex >= 0 ? FrameAt(document, frameIndex) : nullptr;
  Palette* palette = frameIndex >= 0 ? (frame ? frame->localPalette.get() : nullptr)
                                     : document.globalPalette.get();
  if (!palette || entries.empty() || entries.size() > 256) return 0;
  if (SameEntries(palette->entries, entries)) return 0;
  const std::array<bool, 256> changed = RecolouredIndexes(palette->entries, entries);
  undo::PaletteEntries before(frameIndex >= 0 ? frameIndex : -1);
  if (!KeepRecolouredFrames(document, palette, changed, &before.colours)) return 0;
  UndoStep step(UndoStep::Discard, UndoKind::EditPalette, document, std::move(before));
  try {
    palette->entries = entries;
  } catch (const std::bad_alloc&) {
    return 0;
  }
  step.Commit();
  for (Frame* f = FirstFrame(document); f; f = NextFrame(f))
    if (f->palette == palette) RecolourTrueColour(f, changed);
  if (frame) {
    frame->descriptorFlags = static_cast<uint8_t>((frame->descriptorFlags & ~7) |
                                                  (BitsForColours(palette->Count()) - 1));
    UpdateDibColourTable(frame);
    return FrameHints(frameIndex, 0);
  }
  RefreshLogicalScreenFlags(document);
  for (Frame* f = FirstFrame(document); f; f = NextFrame(f))
    if (!f->localPalette) UpdateDibColourTable(f);
  return refresh::Document;
}

uint32_t ApplyTransparencyEdit(Animation& document, int frameIndex,
                               const TransparencyChoice& choice) {
  Frame* frame = FrameAt(document, frameIndex);
  if (!frame || choice.count < 0) return 0;
  if (choice.count == 0) return TransparencyOff(document, frameIndex);
  if (choice.count == 1 && frame->Transparent() && frame->transparentIndex == choice.indexes[0])
    return 0;
  // A new index or merged pixels: the whole frame is kept.
  UndoStep step(UndoStep::Discard, UndoKind::EditTransparency, document,
                undo::TransparencyEdit(frameIndex, undo::TransparencyEdit::NewColour));
  if (!ApplyTransparencyChoice(frame, choice)) return 0;
  FollowTransparencyInAlpha(frame);
  step.Commit();
  return FrameHints(frameIndex, refresh::PropertiesFrame | refresh::Encoding);
}

uint32_t TransparencyOff(Animation& document, int frameIndex) {
  Frame* frame = FrameAt(document, frameIndex);
  if (!frame || !frame->Transparent()) return 0;
  if (frame->alphaPlane.empty()) {
    // Undoing switches it on again.
    RecordUndo(UndoKind::EditTransparency, document,
               undo::TransparencyEdit(frameIndex, undo::TransparencyEdit::SwitchOn));
    SetTransparency(frame, false);
    return FrameHints(frameIndex, refresh::PropertiesFrame | refresh::Encoding);
  }
  // The clear pixels of the 24-bit data become opaque as the image shows them; undoing brings
  // the planes back with the flag.
  UndoStep step(UndoStep::Discard, UndoKind::EditTransparency, document,
                undo::TransparencyEdit(frameIndex, undo::TransparencyEdit::NewColour));
  SetTransparency(frame, false);
  FollowTransparencyInAlpha(frame);
  step.Commit();
  return FrameHints(frameIndex, refresh::PropertiesFrame | refresh::Encoding);
}

uint32_t ApplyPixelEdit(Animation& document, int frameIndex, const std::vector<uint8_t>& dib) {
  Frame* frame = FrameAt(document, frameIndex);
  DibGeometry now, edited;
  if (!frame || !GetDibGeometry(frame->dib, &now) || !GetDibGeometry(dib, &edited)) return 0;
  if (now.width != edited.width || now.height != edited.height) return 0;
  if (std::equal(dib.begin() + DibBitsOffset, dib.end(), frame->dib.begin() + DibBitsOffset,
                 frame->dib.end()))
    return 0;
  std::vector<uint8_t> updated;
  try {
    updated = frame->dib;  // the frame's header and colour table, the edited pixels
  } catch (const std::bad_alloc&) {
    return 0;
  }
  std::copy(dib.begin() + DibBitsOffset, dib.begin() + DibBitsOffset + now.stride * now.height,
            updated.begin() + DibBitsOffset);
  RecordUndo(UndoKind::EditPixels, document, undo::FrameImage(frameIndex));
  std::vector<uint8_t> old = std::move(frame->dib);
  SetFrameDib(frame, std::move(updated));
  FollowInTrueColour(frame, old);
  RebuildTransparencyMask(frame);
  return FrameHints(frameIndex, refresh::Encoding);
}

uint32_t RemoveLocalPaletteEdit(Animation& document, int frameIndex,
                                const PaletteFitOptions& options, WindowHandle owner) {
  Frame* frame = FrameAt(document, frameIndex);
  if (!frame || !frame->localPalette) return 0;
  std::vector<PaletteEntry> globalBefore;
  bool hadGlobal = document.globalPalette != nullptr;
  try {
    if (hadGlobal) globalBefore = document.globalPalette->entries;
  } catch (const std::bad_alloc&) {
    return 0;
  }
  UndoStep step(UndoStep::Discard, PrepareUndo(UndoKind::RemoveLocalPalette, document, frameIndex),
                document);
  if (!RemoveLocalPalette(owner, document, frame, options)) return 0;
  CommitPaletteUndo(step.Commit(), document);
  bool globalChanged = !hadGlobal || !document.globalPalette ||
                       !SameEntries(globalBefore, document.globalPalette->entries);
  if (globalChanged) return refresh::Document | refresh::Encoding;
  return FrameHints(frameIndex, refresh::PropertiesFrame | refresh::Encoding);
}

PaletteLoadOutcome TakeLoadedPalette(std::vector<PaletteEntry>& entries,
                                     const std::vector<PaletteEntry>& loaded) {
  PaletteLoadOutcome outcome;
  if (loaded.empty() || entries.empty()) return outcome;
  auto take = [&](PaletteEntry& e, const PaletteEntry& from) {
    if (e.red == from.red && e.green == from.green && e.blue == from.blue) return;
    e.red = from.red, e.green = from.green, e.blue = from.blue;
    ++outcome.changed;
  };
  if (loaded.size() <= entries.size()) {
    for (size_t i = 0; i < loaded.size(); ++i) take(entries[i], loaded[i]);
    outcome.taken = static_cast<int>(loaded.size());
    return outcome;
  }
  outcome.nearest = true;
  std::vector<bool> used(loaded.size(), false);
  for (PaletteEntry& e : entries) {
    const int nearest =
        NearestColour(loaded.data(), static_cast<int>(loaded.size()), e.red, e.green, e.blue).index;
    outcome.taken += used[nearest] ? 0 : 1;
    used[nearest] = true;
    take(e, loaded[nearest]);
  }
  return outcome;
}

}  // namespace lw
