// Which source pixel the fast resize takes, checked against ImageMagick's point-filter resize,
// which takes the pixel under the centre of each output pixel's cell as our stretch does. (Its
// -sample leans the other way when a centre falls exactly on the border of two pixels.)
#include <gtest/gtest.h>

#include <random>
#include <sstream>

#include "edit/resize.h"
#include "support/document.h"
#include "support/services.h"
#include "support/temp_dir.h"
#include "support/tools.h"

namespace lw::test {
namespace {

std::string Pgm(uint32_t w, uint32_t h, const std::vector<uint8_t>& grey) {
  std::ostringstream out;
  out << "P5\n" << w << " " << h << "\n255\n";
  out.write(reinterpret_cast<const char*>(grey.data()), static_cast<std::streamsize>(grey.size()));
  return out.str();
}

// Frames of random indexes shrunk (and some grown) to random sizes: every output pixel is the one
// ImageMagick picks (taking the cell's first or last pixel, or the left one of two at a tie, is
// caught).
TEST(ResizeSample, NearestTakesThePixelUnderTheCellCentreAsImageMagickDoes) {
  LW_NEED_TOOL("convert");
  ServicesScope scope;
  TempDir dir;
  std::mt19937 rng(41);
  for (int round = 0; round < 24; ++round) {
    const uint32_t w0 = 2 + rng() % 40, h0 = 2 + rng() % 30;
    const bool grow = round % 4 == 3;
    const uint32_t w1 = grow ? w0 + 1 + rng() % 20 : 1 + rng() % (w0 - 1);
    const uint32_t h1 = grow ? h0 + rng() % 20 : 1 + rng() % h0;
    SCOPED_TRACE(testing::Message() << w0 << "x" << h0 << " to " << w1 << "x" << h1);
    std::vector<uint8_t> px(size_t{w0} * h0);
    for (uint8_t& v : px) v = static_cast<uint8_t>(rng());
    AnimationPtr a = MakeDocument(w0, h0, GreyPalette(256));
    AddFrame(*a, 0, 0, w0, h0, px);
    ResizeRequest r{a.get(), 0, true, w0, h0, w1, h1, false};
    ASSERT_TRUE(ResizeNearest(r, nullptr));

    const std::string in = dir.Put("in.pgm", Pgm(w0, h0, px)), out = dir.Path("out.pgm");
    ASSERT_EQ(RunTool("convert " + Quoted(in) + " -filter point -resize " + std::to_string(w1) +
                      "x" + std::to_string(h1) + "! -depth 8 " + Quoted("pgm:" + out))
                  .exitCode,
              0);
    const std::string sampled = Contents(out);
    ASSERT_EQ(sampled, Pgm(w1, h1, Pixels(*FirstFrame(*a))));
  }
}

}  // namespace
}  // namespace lw::test
