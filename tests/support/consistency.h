// What every edit must leave true of a document, whatever it did: the block list linked both
// ways and counted, each frame drawn against a palette that holds its indexes in a DIB of its
// size, and the selection counted with its anchor on a frame.
#pragma once

#include <gtest/gtest.h>

#include <sstream>

#include "core/animation.h"

namespace lw::test {

inline ::testing::AssertionResult Consistent(const Animation& a) {
  std::ostringstream out;
  if (!a.blocks) return ::testing::AssertionFailure() << "no block list";
  int frames = 0;
  uint32_t selected = 0;
  for (const Block* b = a.blocks; b; b = b->next) {
    if (b->next && b->next->prev != b)
      out << "block after " << frames << " frames: bad back link\n";
    if (!b->IsFrame()) continue;
    const Frame& f = static_cast<const Frame&>(*b);
    const int i = frames++;
    selected += f.selected ? 1 : 0;
    const Palette* own = f.localPalette ? f.localPalette.get() : a.globalPalette.get();
    if (!f.palette || f.palette != own) {
      out << "frame " << i << ": not drawn against its own palette\n";
      continue;
    }
    if (f.DibWidth() != f.width || f.DibHeight() != f.height ||
        f.dib.size() < DibBitsOffset + IndexStride(f.width) * f.height) {
      out << "frame " << i << ": DIB is not " << f.width << " x " << f.height << "\n";
      continue;
    }
    if (f.Transparent() != !f.transparencyMask.empty())
      out << "frame " << i << ": transparency mask without the flag, or the flag without it\n";
    for (uint32_t y = 0; y < f.height; ++y)
      for (uint32_t x = 0; x < f.width; ++x)
        if (f.bits()[y * IndexStride(f.width) + x] >= f.palette->Count()) {
          out << "frame " << i << ": index outside the palette at " << x << "," << y << "\n";
          x = f.width, y = f.height;
        }
  }
  if (frames != a.frameCount)
    out << "frameCount " << a.frameCount << " for " << frames << " frames\n";
  if (selected != a.selectedCount)
    out << "selectedCount " << a.selectedCount << " for " << selected << " selected\n";
  if (selected > 0 && (a.anchorIndex < 0 || a.anchorIndex >= frames))
    out << "anchor " << a.anchorIndex << " off the frames\n";
  if (out.str().empty()) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << out.str();
}

}  // namespace lw::test
