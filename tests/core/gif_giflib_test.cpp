// Our GIFs decoded by giflib, the library most programs read GIFs with, and gifsicle's rewrites of
// them read by us and by giflib: what a browser shows must be what our preview shows.
#include <gif_lib.h>

#include <cstring>
#include <random>

#include "core_fixture.h"
#include "gif_pictures.h"
#include "support/temp_dir.h"
#include "support/tools.h"

namespace lw::test {
namespace {

struct GiflibFrame {
  int left = 0, top = 0, width = 0, height = 0;
  bool interlaced = false, local = false;
  std::vector<uint8_t> indexes;   // row by row, de-interlaced
  std::vector<uint32_t> colours;  // the table in effect, 0x00BBGGRR
  int disposal = 0, transparent = -1, delay = 0;
};

struct GiflibFile {
  bool ok = false;
  int width = 0, height = 0;
  int loops = -1;  // the NETSCAPE2.0 count; -1 without the block
  std::vector<GiflibFrame> frames;
};

std::vector<uint32_t> Colours(const ColorMapObject* map) {
  std::vector<uint32_t> out;
  for (int i = 0; map && i < map->ColorCount; ++i) {
    const GifColorType& c = map->Colors[i];
    out.push_back(c.Red | c.Green << 8 | c.Blue << 16);
  }
  return out;
}

GiflibFile Giflib(const std::vector<uint8_t>& bytes) {
  struct Cursor {
    const uint8_t* at;
    size_t left;
  } cursor{bytes.data(), bytes.size()};
  auto read = [](GifFileType* gif, GifByteType* out, int n) {
    auto* c = static_cast<Cursor*>(gif->UserData);
    size_t k = std::min(c->left, static_cast<size_t>(n));
    std::memcpy(out, c->at, k);
    c->at += k;
    c->left -= k;
    return static_cast<int>(k);
  };
  GiflibFile file;
  int error = 0;
  GifFileType* gif = DGifOpen(&cursor, read, &error);
  if (!gif) return file;
  file.ok = DGifSlurp(gif) == GIF_OK;
  file.width = gif->SWidth;
  file.height = gif->SHeight;
  auto findLoops = [&](const ::ExtensionBlock* blocks, int count) {
    for (int i = 0; i + 1 < count; ++i) {
      const ::ExtensionBlock& app = blocks[i];
      const ::ExtensionBlock& data = blocks[i + 1];
      if (app.Function == APPLICATION_EXT_FUNC_CODE && app.ByteCount == 11 &&
          std::memcmp(app.Bytes, "NETSCAPE2.0", 11) == 0 && data.ByteCount >= 3 &&
          data.Bytes[0] == 1)
        file.loops = data.Bytes[1] | data.Bytes[2] << 8;
    }
  };
  findLoops(gif->ExtensionBlocks, gif->ExtensionBlockCount);
  for (int i = 0; file.ok && i < gif->ImageCount; ++i) {
    const SavedImage& image = gif->SavedImages[i];
    findLoops(image.ExtensionBlocks, image.ExtensionBlockCount);
    GiflibFrame f;
    f.left = image.ImageDesc.Left;
    f.top = image.ImageDesc.Top;
    f.width = image.ImageDesc.Width;
    f.height = image.ImageDesc.Height;
    f.interlaced = image.ImageDesc.Interlace;
    f.local = image.ImageDesc.ColorMap != nullptr;
    f.colours = Colours(f.local ? image.ImageDesc.ColorMap : gif->SColorMap);
    f.indexes.assign(image.RasterBits, image.RasterBits + size_t{1} * f.width * f.height);
    GraphicsControlBlock gcb;
    if (DGifSavedExtensionToGCB(gif, i, &gcb) == GIF_OK) {
      f.disposal = gcb.DisposalMode;
      f.transparent = gcb.TransparentColor;
      f.delay = gcb.DelayTime;
    }
    file.frames.push_back(std::move(f));
  }
  DGifCloseFile(gif, &error);
  return file;
}

// The pictures a browser shows: each frame drawn over what the one before left, whose disposal
// 0 or 1 keeps the picture, 2 clears its rectangle to transparent and 3 puts back the picture
// from before it. Transparent is what our preview shows where nothing was drawn.
std::vector<Shown> BrowserTimeline(const GiflibFile& gif) {
  const uint32_t clear = PixelFromColour(kNothingShown);
  const int w = gif.width, h = gif.height;
  std::vector<uint32_t> canvas(size_t{1} * w * h, clear), saved;
  std::vector<Shown> pictures;
  for (const GiflibFrame& f : gif.frames) {
    if (f.disposal == 3) saved = canvas;
    for (int y = 0; y < f.height; ++y) {
      for (int x = 0; x < f.width; ++x) {
        const int sx = f.left + x, sy = f.top + y;
        const uint8_t index = f.indexes[size_t{1} * y * f.width + x];
        if (sx >= w || sy >= h || index == f.transparent) continue;
        canvas[size_t{1} * sy * w + sx] =
            index < f.colours.size() ? PixelFromColour(f.colours[index]) : PixelFromColour(0);
      }
    }
    pictures.push_back({canvas, static_cast<uint64_t>(f.delay)});
    if (f.disposal == 2 && f.left < w) {
      for (int y = f.top; y < std::min(h, f.top + f.height); ++y)
        std::fill_n(canvas.begin() + y * w + f.left, std::min(f.width, w - f.left), clear);
    } else if (f.disposal == 3) {
      canvas = saved;
    }
  }
  return Folded(std::move(pictures));
}

// Browsers play a file with a NETSCAPE2.0 count of n n + 1 times, 0 forever; once without it.
uint32_t Plays(const GiflibFile& gif) {
  return gif.loops < 0 ? 1 : gif.loops == 0 ? 0 : static_cast<uint32_t>(gif.loops) + 1;
}

class GifAgainstGiflib : public CoreTest {};

TEST_F(GifAgainstGiflib, OurFilesShowWhatOurPreviewShows) {
  for (uint32_t seed = 1; seed <= 40; ++seed) {
    SCOPED_TRACE("seed " + std::to_string(seed));
    AnimationPtr doc = VariedAnimation(seed);
    // One frame never loops, whatever the count.
    for (Frame* f; seed % 8 == 0 && (f = FrameAt(*doc, 1)); --doc->frameCount)
      UnlinkAndFreeBlock(f);
    // A unit of a tenth of a second is written as ten hundredths.
    const uint32_t units = seed % 4 == 0 ? 10 : 100;
    GiflibFile gif = Giflib(GifBytes(*doc, {.delayUnits = units}));
    ASSERT_TRUE(gif.ok);
    ASSERT_EQ(gif.frames.size(), static_cast<size_t>(doc->frameCount));
    EXPECT_EQ(Plays(gif), doc->frameCount > 1 ? doc->playCount : 1u);
    std::vector<Shown> ours = Timeline(*doc);
    for (Shown& s : ours) s.delay *= 100 / units;
    EXPECT_TRUE(SameTimeline(BrowserTimeline(gif), ours));
    int i = 0;
    for (const Frame* f = FirstFrame(*doc); f; f = NextFrame(f), ++i) {
      EXPECT_EQ(gif.frames[i].delay, static_cast<int>(f->delay * (100 / units))) << i;
      EXPECT_EQ(gif.frames[i].interlaced, f->Interlaced()) << i;
    }
  }
}

// gifsicle rewrites our files as other programs make them (interlaced, reduced to a few colours
// in local tables, optimized with transparency and cropped frames, commented, relooped); we and
// giflib must read the same frames, and our preview show what a browser shows.
TEST_F(GifAgainstGiflib, GifsicleRewritesReadAlikeByUsAndGiflib) {
  LW_NEED_TOOL("gifsicle");
  struct Rewrite {
    const char* options;
    bool samePictures;
  };
  const Rewrite rewrites[] = {
      {"--interlace", true},
      {"--colors 7", false},
      {"-O3", true},
      {"--comment 'bonjour' --loopcount=3", true},
      {"--change-color '#000000' '#ff0000' --delay 7 --no-loopcount", false},
  };
  TempDir dir;
  int localTables = 0, interlaced = 0;
  for (uint32_t seed = 100; seed < 130; ++seed) {
    const Rewrite& rewrite = rewrites[seed % 5];
    SCOPED_TRACE("seed " + std::to_string(seed) + ", " + rewrite.options);
    AnimationPtr doc = VariedAnimation(seed);
    const std::string in = dir.PutBytes("in.gif", GifBytes(*doc));
    ToolRun run = RunTool("gifsicle --no-warnings " + std::string(rewrite.options) + " " +
                          Quoted(in) + " -o -");
    ASSERT_EQ(run.exitCode, 0);
    const std::vector<uint8_t> bytes(run.output.begin(), run.output.end());
    GiflibFile gif = Giflib(bytes);
    AnimationPtr read;
    ASSERT_TRUE(gif.ok);
    ASSERT_EQ(ReadBytes(bytes, &read, nullptr, {.keepInterlace = true}), GifReadStatus::Done);
    EXPECT_EQ(read->screenWidth, static_cast<uint32_t>(gif.width));
    EXPECT_EQ(read->screenHeight, static_cast<uint32_t>(gif.height));
    EXPECT_EQ(read->playCount, Plays(gif));
    ASSERT_EQ(read->frameCount, static_cast<int>(gif.frames.size()));
    int i = 0;
    for (const Frame* f = FirstFrame(*read); f; f = NextFrame(f), ++i) {
      const GiflibFrame& g = gif.frames[i];
      SCOPED_TRACE("frame " + std::to_string(i));
      EXPECT_EQ(f->left, g.left);
      EXPECT_EQ(f->top, g.top);
      EXPECT_EQ(f->width, static_cast<uint32_t>(g.width));
      EXPECT_EQ(f->height, static_cast<uint32_t>(g.height));
      EXPECT_EQ(Pixels(*f), g.indexes);
      EXPECT_EQ(f->Interlaced(), g.interlaced);
      EXPECT_EQ(f->localPalette != nullptr, g.local);
      std::vector<uint32_t> colours;
      for (const PaletteEntry& e : f->palette->entries)
        colours.push_back(e.red | e.green << 8 | e.blue << 16);
      EXPECT_EQ(colours, g.colours);
      EXPECT_EQ(f->Disposal(), g.disposal);
      EXPECT_EQ(f->Transparent() ? f->transparentIndex : -1, g.transparent);
      EXPECT_EQ(f->delay, static_cast<uint32_t>(g.delay));
      localTables += g.local;
      interlaced += g.interlaced;
    }
    EXPECT_TRUE(SameTimeline(Timeline(*read), BrowserTimeline(gif)));
    if (rewrite.samePictures) {
      std::vector<Shown> before = Timeline(*doc), after = Timeline(*read);
      ASSERT_EQ(before.size(), after.size());
      for (size_t k = 0; k < before.size(); ++k)
        EXPECT_EQ(before[k].pixels, after[k].pixels) << "picture " << k;
    }
  }
  EXPECT_GT(localTables, 0) << "some frames must come with their own table";
  EXPECT_GT(interlaced, 0);
}

}  // namespace
}  // namespace lw::test
