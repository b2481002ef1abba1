// The preview's compositor against ImageMagick's: `convert -coalesce` gives the whole picture
// after each frame, which must be our picture after that frame, pixel for pixel.
#include "core_fixture.h"
#include "gif_pictures.h"
#include "support/temp_dir.h"
#include "support/tools.h"

namespace lw::test {
namespace {

class ComposeAgainstImageMagick : public CoreTest {};

TEST_F(ComposeAgainstImageMagick, EveryFramesPictureIsTheCoalescedOne) {
  LW_NEED_TOOL("convert");
  TempDir dir;
  int disposals[4] = {};
  for (uint32_t seed = 200; seed < 224; ++seed) {
    SCOPED_TRACE("seed " + std::to_string(seed));
    AnimationPtr doc = RandomAnimation(seed, seed % 2 == 1);
    // ImageMagick starts from the file's background colour (opaque while the first frame has
    // no transparent colour), browsers and our preview from nothing: a first frame covering
    // the screen, opaque and not restored, leaves no place where the two could show.
    Frame* first = PaintedFrame(doc->screenWidth, doc->screenHeight, doc->globalPalette.get(),
                                [](uint32_t x, uint32_t y) { return (x / 3 + y) % 16; });
    SetDisposal(first, static_cast<int>(seed % 3));
    InsertBlockAfter(doc->blocks, first);
    ++doc->frameCount;
    for (const Frame* f = FirstFrame(*doc); f; f = NextFrame(f)) ++disposals[f->Disposal()];
    const std::string path = dir.PutBytes("x.gif", GifBytes(*doc));
    ToolRun run = RunTool("convert " + Quoted(path) + " -coalesce -depth 8 rgba:-");
    ASSERT_EQ(run.exitCode, 0);
    const std::vector<Shown> ours = FramePictures(*doc);
    const size_t size = size_t{doc->screenWidth} * doc->screenHeight;
    ASSERT_EQ(run.output.size(), 4 * size * ours.size());
    // ImageMagick clears to transparent where we show the viewer's background: both mean
    // nothing was drawn there.
    const auto* rgba = reinterpret_cast<const uint8_t*>(run.output.data());
    for (size_t n = 0; n < ours.size(); ++n) {
      std::vector<uint32_t> theirs(size);
      for (size_t i = 0; i < size; ++i, rgba += 4)
        theirs[i] = rgba[3] == 0 ? PixelFromColour(kNothingShown)
                                 : PixelFromColour(rgba[0] | rgba[1] << 8 | rgba[2] << 16);
      size_t k = 0;
      while (k < size && theirs[k] == ours[n].pixels[k]) ++k;
      EXPECT_EQ(k, size) << "frame " << n << " differs at (" << k % doc->screenWidth << ", "
                         << k / doc->screenWidth << ")";
    }
  }
  for (int d = 0; d < 4; ++d) EXPECT_GT(disposals[d], 0) << "disposal " << d;
}

}  // namespace
}  // namespace lw::test
