// Writes the fuzzer's starting files: animations drawn here, written by the program's own writer,
// plus a few cut and bent copies. Usage: gif_fuzz_seeds <folder>
#include <cstdio>
#include <string>
#include <vector>

#include "core/byte_sink.h"
#include "core/gif_writer.h"

namespace {

lw::PalettePtr Ramp(int count, int seed) {
  std::vector<uint8_t> rgb(3 * count);
  for (int i = 0; i < 3 * count; ++i) rgb[i] = static_cast<uint8_t>(i * 29 + seed);
  return lw::PaletteFromTriples(count, rgb.data());
}

lw::Frame* Drawn(lw::Animation& a, uint32_t w, uint32_t h, int localColours, int style) {
  lw::Frame* f = lw::NewFrame(w, h, 10);
  if (localColours)
    lw::SetLocalPalette(f, Ramp(localColours, style));
  else
    f->palette = a.globalPalette.get();
  lw::NewFrameDib(f);
  int n = f->palette ? f->palette->Count() : 256;
  uint64_t stride = lw::IndexStride(w);
  uint32_t seed = 7u + style;
  for (uint32_t y = 0; y < h; ++y)
    for (uint32_t x = 0; x < w; ++x) {
      seed = seed * 1103515245u + 12345u;
      uint32_t v = style % 3 == 0 ? x / 4 + y / 4 : style % 3 == 1 ? (seed >> 16) : (x > w / 2);
      f->bits()[y * stride + x] = static_cast<uint8_t>(v % n);
    }
  return f;
}

void Add(lw::Animation& a, lw::Block* b) {
  lw::InsertBlockAfter(lw::LastBlock(a), b);
  if (b->IsFrame()) ++a.frameCount;
}

void Save(const std::string& dir, const std::string& name, const std::vector<uint8_t>& bytes) {
  std::FILE* f = std::fopen((dir + "/" + name).c_str(), "wb");
  if (!f) return;
  std::fwrite(bytes.data(), 1, bytes.size(), f);
  std::fclose(f);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) return 2;
  std::string dir = argv[1];
  for (int variant = 0; variant < 6; ++variant) {
    lw::AnimationPtr a = lw::NewAnimation();
    a->screenWidth = 24 + variant;
    a->screenHeight = 16;
    a->playCount = variant % 3;
    if (variant != 5)
      lw::SetGlobalPalette(*a, Ramp(variant == 0 ? 2 : 16 << (variant % 3), variant));
    lw::Block* comment = lw::NewBlock(lw::BlockKind::Comment, 0);
    lw::SetCommentText(comment, "graine");
    Add(*a, comment);
    for (int i = 0; i < 3; ++i) {
      lw::Frame* f = Drawn(*a, 8 + 7 * i, 5 + 5 * i,
                           (variant == 5 || (i == 1 && variant > 2)) ? 4 << i : 0, variant + i);
      f->left = i * 3;
      f->delay = 5 * i;
      lw::SetDisposal(f, i);
      if (variant % 2) lw::SetInterlaced(f, true);
      if (i == 2) {
        lw::SetTransparentIndex(f, 1);
        lw::SetTransparency(f, true);
      }
      Add(*a, f);
    }
    std::vector<uint8_t> out;
    lw::ByteSink sink(&out);
    if (lw::WriteGif(sink, *a, nullptr) != lw::GifWriteStatus::Done) return 1;
    Save(dir, "seed" + std::to_string(variant) + ".gif", out);
    std::vector<uint8_t> cut(out.begin(), out.begin() + out.size() * 2 / 3);
    Save(dir, "cut" + std::to_string(variant) + ".gif", cut);
    out[out.size() / 2] ^= 0x5A;
    Save(dir, "bent" + std::to_string(variant) + ".gif", out);
  }
  return 0;
}
