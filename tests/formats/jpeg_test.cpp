// Damaged and oversized JPEG files are refused with their messages; frames are written at the
// stored quality. Reading every sampling is checked against ImageMagick in still_magick_test.cpp.
#include <gmock/gmock.h>

// jpeglib.h needs FILE and size_t declared before it.
#include <jpeglib.h>

#include <cstdio>

#include "flow_fixture.h"
#include "formats/common/jpeg_codec.h"

namespace lw::test {
namespace {

class JpegTest : public FlowTest {
 protected:
  // Writes a 32 x 32 frame of noise in its 24-bit plane and returns the file.
  std::string NoiseFile(int quality = 75) {
    AnimationPtr doc = MakeDocument(32, 32);
    Frame* f = AddSolidFrame(*doc, 0, 0, 32, 32, 1);
    EXPECT_FALSE(WriteJpeg(Path("none.jpg"), f, 75));  // no 24-bit data: nothing to write
    std::vector<uint8_t> rgb(RgbStride(32) * 32);
    for (size_t i = 0; i < rgb.size(); ++i) rgb[i] = static_cast<uint8_t>((i * 37) ^ (i >> 3));
    SetRgbPlane(f, std::move(rgb));
    EXPECT_TRUE(WriteJpeg(Path("noise.jpg"), f, quality));
    return Contents(Path("noise.jpg"));
  }
};

TEST_F(JpegTest, DamagedFilesAreRefused) {
  const std::string good = NoiseFile();
  EXPECT_THAT(ShownTexts(), ::testing::ElementsAre("no 24 bit data here"));  // the failed write
  std::string huge = good;
  const size_t sof = huge.find("\xFF\xC0");
  ASSERT_NE(sof, std::string::npos);
  huge[sof + 5] = huge[sof + 7] = '\xFF';  // height and width far beyond any budget
  const std::string damaged = "Erreur survenue lors de la décompression JPEG.";
  const std::pair<std::string, std::string> cases[] = {
      {good.substr(0, 40), damaged},
      {"not a JPEG at all", damaged},
      {huge, "Mémoire insuffisante pour lire les données d'image JPEG."},
  };
  for (const auto& [data, message] : cases) {
    SCOPED_TRACE(message);
    Headless().Reset();
    Put(Path("bad.jpg"), data);
    AnimationPtr a;
    EXPECT_EQ(ReadJpeg(Path("bad.jpg"), {}, &a), 0);
    EXPECT_EQ(a, nullptr);
    EXPECT_THAT(ShownTexts(), ::testing::ElementsAre(message));
  }
}

// Grey and CMYK files are read (checked against ImageMagick in still_magick_test.cpp); a colour
// space with no colours to make, here two components, keeps its message.
TEST_F(JpegTest, FilesWithoutColoursKeepTheirMessage) {
  FILE* file = std::fopen(Path("two.jpg").c_str(), "wb");
  ASSERT_NE(file, nullptr);
  jpeg_compress_struct c;
  jpeg_error_mgr error;
  c.err = jpeg_std_error(&error);
  jpeg_create_compress(&c);
  jpeg_stdio_dest(&c, file);
  c.image_width = c.image_height = 8;
  c.input_components = 2;
  c.in_color_space = JCS_UNKNOWN;
  jpeg_set_defaults(&c);
  jpeg_start_compress(&c, TRUE);
  JSAMPLE samples[16] = {};
  JSAMPROW row = samples;
  while (c.next_scanline < c.image_height) jpeg_write_scanlines(&c, &row, 1);
  jpeg_finish_compress(&c);
  jpeg_destroy_compress(&c);
  std::fclose(file);
  AnimationPtr a;
  EXPECT_EQ(ReadJpeg(Path("two.jpg"), {}, &a), 0);
  EXPECT_EQ(a, nullptr);
  EXPECT_THAT(ShownTexts(),
              ::testing::ElementsAre(
                  "Ne peut lire les fichiers JPEGs qui n'utilisent pas le format de "
                  "couleur RGB. Convertir en format RGB à l'aide d'un éditeur d'image."));
}

// Quality 50, the default 75, then 95: each file larger than the last.
TEST_F(JpegTest, WritesAtTheQualityAsked) {
  std::vector<size_t> sizes;
  for (int quality : {50, 75, 95}) sizes.push_back(NoiseFile(quality).size());
  EXPECT_LT(sizes[0], sizes[1]);
  EXPECT_LT(sizes[1], sizes[2]);
}

}  // namespace
}  // namespace lw::test
