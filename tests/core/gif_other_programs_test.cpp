// Our GIFs and our preview against other programs: giflib decodes our files as we wrote them,
// gifsicle rewrites them and we read what giflib reads, ImageMagick composes what we compose.
#include <gif_lib.h>

#include <cstring>

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
  bool operator==(const GiflibFrame&) const = default;
};

void PrintTo(const GiflibFrame& f, std::ostream* out) {
  *out << ::testing::PrintToString(std::vector<int>{f.left, f.top, f.width, f.height, f.interlaced,
                                                    f.local, f.disposal, f.transparent, f.delay})
       << " colours " << ::testing::PrintToString(f.colours) << " indexes "
       << ::testing::PrintToString(f.indexes);
}

// Our frame as giflib gives it.
GiflibFrame Described(const Frame& f) {
  GiflibFrame g{f.left,
                f.top,
                static_cast<int>(f.width),
                static_cast<int>(f.height),
                f.Interlaced(),
                f.localPalette != nullptr,
                Pixels(f),
                {},
                f.Disposal(),
                f.Transparent() ? f.transparentIndex : -1,
                static_cast<int>(f.delay)};
  for (const PaletteEntry& e : f.palette->entries)
    g.colours.push_back(e.red | e.green << 8 | e.blue << 16);
  return g;
}

struct GiflibFile {
  bool ok = false;
  int width = 0, height = 0;
  int loops = -1;  // the NETSCAPE2.0 count; -1 without the block
  std::vector<GiflibFrame> frames;
};

GiflibFile Giflib(const std::string& path) {
  GiflibFile file;
  int error = 0;
  GifFileType* gif = DGifOpenFileName(path.c_str(), &error);
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
    const GifImageDesc& d = image.ImageDesc;
    findLoops(image.ExtensionBlocks, image.ExtensionBlockCount);
    GraphicsControlBlock gcb;  // without the block: disposal 0, no transparency, no delay
    DGifSavedExtensionToGCB(gif, i, &gcb);
    const ColorMapObject* map = d.ColorMap ? d.ColorMap : gif->SColorMap;
    file.frames.push_back({d.Left,
                           d.Top,
                           d.Width,
                           d.Height,
                           d.Interlace,
                           d.ColorMap != nullptr,
                           {image.RasterBits, image.RasterBits + size_t{1} * d.Width * d.Height},
                           {},
                           gcb.DisposalMode,
                           gcb.TransparentColor,
                           gcb.DelayTime});
    for (int k = 0; map && k < map->ColorCount; ++k)
      file.frames.back().colours.push_back(map->Colors[k].Red | map->Colors[k].Green << 8 |
                                           map->Colors[k].Blue << 16);
  }
  DGifCloseFile(gif, &error);
  return file;
}

// Browsers play a file with a NETSCAPE2.0 count of n n + 1 times, 0 forever; once without it.
uint32_t Plays(const GiflibFile& gif) {
  return gif.loops < 0 ? 1 : gif.loops == 0 ? 0 : static_cast<uint32_t>(gif.loops) + 1;
}

class GifAgainstGiflib : public CoreTest {};

TEST_F(GifAgainstGiflib, GiflibReadsOurFramesAsWritten) {
  TempDir dir;
  for (uint32_t seed = 1; seed <= 40; ++seed) {
    SCOPED_TRACE("seed " + std::to_string(seed));
    AnimationPtr doc = VariedAnimation(seed);
    // One frame never loops, whatever the count.
    for (Frame* f; seed % 8 == 0 && (f = FrameAt(*doc, 1)); --doc->frameCount)
      UnlinkAndFreeBlock(f);
    // A unit of a tenth of a second is written as ten hundredths.
    const uint32_t units = seed % 4 == 0 ? 10 : 100;
    GiflibFile gif =
        Giflib(dir.PutBytes("ours.gif", GifBytes(*doc, {.units = DelayUnits::From(units)})));
    ASSERT_TRUE(gif.ok);
    ASSERT_EQ(gif.frames.size(), static_cast<size_t>(doc->frameCount));
    EXPECT_EQ(Plays(gif), doc->frameCount > 1 ? doc->playCount : 1u);
    int i = 0;
    for (const Frame* f = FirstFrame(*doc); f; f = NextFrame(f), ++i) {
      GiflibFrame ours = Described(*f);
      ours.delay *= 100 / units;
      EXPECT_EQ(gif.frames[i], ours) << "frame " << i;
    }
  }
}

// gifsicle rewrites our files as other programs make them (interlaced, local tables, optimized,
// commented, relooped): we and giflib must read the same frames.
TEST_F(GifAgainstGiflib, GifsicleRewritesReadAlikeByUsAndGiflib) {
  LW_NEED_TOOL("gifsicle");
  const char* rewrites[] = {"--interlace", "--colors 7", "-O3", "--comment 'bonjour' --loopcount=3",
                            "--change-color '#000000' '#ff0000' --delay 7 --no-loopcount"};
  TempDir dir;
  int localTables = 0, interlaced = 0;
  for (uint32_t seed = 100; seed < 130; ++seed) {
    const char* options = rewrites[seed % 5];
    SCOPED_TRACE("seed " + std::to_string(seed) + ", " + options);
    AnimationPtr doc = VariedAnimation(seed);
    const std::string in = dir.PutBytes("in.gif", GifBytes(*doc));
    const std::string out = dir.Path("out.gif");
    ASSERT_EQ(RunTool("gifsicle --no-warnings " + std::string(options) + " " + Quoted(in) + " -o " +
                      Quoted(out))
                  .exitCode,
              0);
    const std::string text = Contents(out);
    const std::vector<uint8_t> bytes(text.begin(), text.end());
    GiflibFile gif = Giflib(out);
    AnimationPtr read;
    ASSERT_TRUE(gif.ok);
    ASSERT_EQ(ReadBytes(bytes, &read, nullptr, {.keepInterlace = true, .timing = {}}),
              GifReadStatus::Done);
    EXPECT_EQ(read->screenWidth, static_cast<uint32_t>(gif.width));
    EXPECT_EQ(read->screenHeight, static_cast<uint32_t>(gif.height));
    EXPECT_EQ(read->playCount, Plays(gif));
    ASSERT_EQ(read->frameCount, static_cast<int>(gif.frames.size()));
    int i = 0;
    for (const Frame* f = FirstFrame(*read); f; f = NextFrame(f), ++i) {
      EXPECT_EQ(Described(*f), gif.frames[i]) << "frame " << i;
      localTables += gif.frames[i].local;
      interlaced += gif.frames[i].interlaced;
    }
  }
  EXPECT_GT(localTables, 0) << "some frames must come with their own table";
  EXPECT_GT(interlaced, 0);
}

// `convert -coalesce` gives the whole picture after each frame: ours, pixel for pixel.
class ComposeAgainstImageMagick : public CoreTest {};

TEST_F(ComposeAgainstImageMagick, EveryFramesPictureIsTheCoalescedOne) {
  LW_NEED_TOOL("convert");
  TempDir dir;
  int disposals[4] = {};
  for (uint32_t seed = 200; seed < 224; ++seed) {
    SCOPED_TRACE("seed " + std::to_string(seed));
    AnimationPtr doc = RandomAnimation(seed, seed % 2 == 1);
    // ImageMagick starts from the background colour, we from nothing: an opaque first frame
    // covering the screen, not restored, leaves no place where the two could show.
    Frame* first = PaintedFrame(doc->screenWidth, doc->screenHeight, doc->globalPalette.get(),
                                [](uint32_t x, uint32_t y) { return (x / 3 + y) % 16; });
    SetDisposal(first, static_cast<int>(seed % 3));
    InsertBlockAfter(doc->blocks, first);
    ++doc->frameCount;
    for (const Frame* f = FirstFrame(*doc); f; f = NextFrame(f)) ++disposals[f->Disposal()];
    const std::string path = dir.PutBytes("x.gif", GifBytes(*doc));
    ToolRun run = RunTool("convert " + Quoted(path) + " -coalesce -depth 8 rgba:-");
    ASSERT_EQ(run.exitCode, 0);
    const size_t size = size_t{doc->screenWidth} * doc->screenHeight;
    ASSERT_EQ(run.output.size(), 4 * size * doc->frameCount);
    // ImageMagick clears to transparent where we show the viewer's background: both mean
    // nothing was drawn there. Equal pictures in a row are one, as in our timeline.
    const auto* rgba = reinterpret_cast<const uint8_t*>(run.output.data());
    std::vector<Shown> theirs;
    for (const Frame* f = FirstFrame(*doc); f; f = NextFrame(f)) {
      std::vector<uint32_t> picture(size);
      for (size_t i = 0; i < size; ++i, rgba += 4)
        picture[i] = rgba[3] == 0 ? PixelFromColour(kNothingShown)
                                  : PixelFromColour(rgba[0] | rgba[1] << 8 | rgba[2] << 16);
      if (theirs.empty() || theirs.back().pixels != picture) theirs.push_back({picture, 0});
      theirs.back().delay += f->delay;
    }
    EXPECT_TRUE(SameTimeline(Timeline(*doc), theirs));
  }
  for (int d = 0; d < 4; ++d) EXPECT_GT(disposals[d], 0) << "disposal " << d;
}

}  // namespace
}  // namespace lw::test
