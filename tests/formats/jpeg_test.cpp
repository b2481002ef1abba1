// JPEG files written here with libjpeg (colour, progressive, grey, CMYK) read into 24-bit data;
// frames written at the stored quality; damaged files refused with the JPEG messages.
#include <gmock/gmock.h>
#include <jpeglib.h>

#include <cstdio>
#include <cstdlib>

#include "flow_fixture.h"
#include "formats/jpeg/jpeg_format.h"

namespace lw::test {
namespace {

using ::testing::ElementsAre;

// A w x h JPEG of one flat colour (components as given, in the colour space's order).
void WriteTestJpeg(const std::string& path, J_COLOR_SPACE space, std::vector<uint8_t> colour,
                   bool progressive, uint32_t w = 16, uint32_t h = 8) {
  FILE* f = std::fopen(path.c_str(), "wb");
  ASSERT_NE(f, nullptr);
  jpeg_compress_struct cinfo;
  jpeg_error_mgr err;
  cinfo.err = jpeg_std_error(&err);
  jpeg_create_compress(&cinfo);
  jpeg_stdio_dest(&cinfo, f);
  cinfo.image_width = w;
  cinfo.image_height = h;
  cinfo.input_components = static_cast<int>(colour.size());
  cinfo.in_color_space = space;
  jpeg_set_defaults(&cinfo);
  jpeg_set_quality(&cinfo, 95, TRUE);
  if (progressive) jpeg_simple_progression(&cinfo);
  jpeg_start_compress(&cinfo, TRUE);
  std::vector<uint8_t> row;
  for (uint32_t x = 0; x < w; ++x) row.insert(row.end(), colour.begin(), colour.end());
  while (cinfo.next_scanline < h) {
    JSAMPROW r = row.data();
    jpeg_write_scanlines(&cinfo, &r, 1);
  }
  jpeg_finish_compress(&cinfo);
  jpeg_destroy_compress(&cinfo);
  std::fclose(f);
}

class JpegTest : public FlowTest {};

TEST_F(JpegTest, ColourJpegsReadAsBlueGreenRed) {
  for (bool progressive : {false, true}) {
    SCOPED_TRACE(progressive);
    std::string path = Path("photo.jpg");
    WriteTestJpeg(path, JCS_RGB, {200, 100, 30}, progressive, 17, 9);
    AnimationPtr a;
    ASSERT_EQ(ReadJpeg(path, &a), 1);
    Frame* f = FirstFrame(*a);
    EXPECT_EQ(std::tie(f->width, f->height), std::make_tuple(17u, 9u));
    ASSERT_EQ(f->rgbPlane.size(), RgbStride(17) * 9);
    EXPECT_TRUE(f->dib.empty());
    const uint8_t* last = &f->rgbPlane[RgbStride(17) * 8 + 3 * 16];
    for (const uint8_t* p : {static_cast<const uint8_t*>(f->rgbPlane.data()), last}) {
      EXPECT_NEAR(p[0], 30, 3);
      EXPECT_NEAR(p[1], 100, 3);
      EXPECT_NEAR(p[2], 200, 3);
    }
  }
  EXPECT_THAT(ShownTexts(), ElementsAre());
}

TEST_F(JpegTest, RefusedAndDamagedFiles) {
  const std::string notRgb =
      "Ne peut lire les fichiers JPEGs qui n'utilisent pas le format de couleur RGB. Convertir "
      "en format RGB à l'aide d'un éditeur d'image.";
  const std::string damaged = "Erreur survenue lors de la décompression JPEG.";
  WriteTestJpeg(Path("grey.jpg"), JCS_GRAYSCALE, {90}, false);
  WriteTestJpeg(Path("cmyk.jpg"), JCS_CMYK, {1, 2, 3, 4}, false);
  WriteTestJpeg(Path("good.jpg"), JCS_RGB, {1, 2, 3}, true, 64, 64);
  std::string good = Contents(Path("good.jpg"));
  Put(Path("cut.jpg"), good.substr(0, 40));
  Put(Path("text.jpg"), "not a JPEG at all");
  std::string huge = good;
  size_t sof = huge.find("\xFF\xC2");
  ASSERT_NE(sof, std::string::npos);
  huge[sof + 5] = '\xFF';  // height and width far beyond any budget
  huge[sof + 7] = '\xFF';
  Put(Path("huge.jpg"), huge);
  const std::pair<const char*, std::string> cases[] = {
      {"grey.jpg", notRgb},
      {"cmyk.jpg", notRgb},
      {"cut.jpg", damaged},
      {"text.jpg", damaged},
      {"huge.jpg", "Mémoire insuffisante pour lire les données d'image JPEG."},
  };
  for (const auto& [name, message] : cases) {
    SCOPED_TRACE(name);
    Headless().Reset();
    AnimationPtr a;
    EXPECT_EQ(ReadJpeg(Path(name), &a), 0);
    EXPECT_EQ(a, nullptr);
    EXPECT_THAT(ShownTexts(), ElementsAre(message));
  }
}

TEST_F(JpegTest, WritesAtTheStoredQuality) {
  AnimationPtr doc = MakeDocument(32, 32);
  Frame* f = AddFrame(*doc, 0, 0, 32, 32, std::vector<uint8_t>(32 * 32, 1), DisposalLeave, -1, 10);
  EXPECT_FALSE(WriteJpeg(Path("none.jpg"), f));
  EXPECT_THAT(ShownTexts(), ElementsAre("no 24 bit data here"));

  std::vector<uint8_t> rgb(RgbStride(32) * 32);
  for (size_t i = 0; i < rgb.size(); ++i) rgb[i] = static_cast<uint8_t>((i * 37) ^ (i >> 3));
  SetRgbPlane(f, rgb);
  std::vector<size_t> sizes;
  for (uint32_t step : {1u, 0u, 10u}) {
    SetPref(PrefSaveOptions, step << 8);
    ASSERT_TRUE(WriteJpeg(Path("q.jpg"), f));
    sizes.push_back(Contents(Path("q.jpg")).size());
    AnimationPtr back;
    ASSERT_EQ(ReadJpeg(Path("q.jpg"), &back), 1);
    EXPECT_EQ(FirstFrame(*back)->width, 32u);
  }
  // Quality 50, the default 75, then 95: each file larger than the last.
  EXPECT_LT(sizes[0], sizes[1]);
  EXPECT_LT(sizes[1], sizes[2]);
  EXPECT_FALSE(WriteJpeg(Path("no/such/folder.jpg"), f));
}

}  // namespace
}  // namespace lw::test
