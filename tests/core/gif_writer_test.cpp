// The writer's own promises: sizes it refuses, counting without writing, the size estimate,
// worker threads, cancel and kept frame data. What the bytes mean is checked by giflib
// (gif_giflib_test.cpp).
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <random>

#include "base/progress.h"
#include "core_fixture.h"
#include "gif_pictures.h"

namespace lw::test {
namespace {

class GifWriter : public CoreTest {};

TEST_F(GifWriter, RowsFollowTheDibAndSizesMustFitTheFields) {
  // A DIB wider and taller than the frame says (an image put back into a cropped frame).
  AnimationPtr a = MakeDocument(9, 3, nullptr, 1);
  Frame* f = AddDrawnFrame(*a, 0, 0, 9, 3, [](uint32_t x, uint32_t y) { return x + 3 * y; });
  f->width = 3;
  f->height = 2;
  AnimationPtr b;
  ASSERT_EQ(ReadBytes(GifBytes(*a), &b), GifReadStatus::Done);
  EXPECT_EQ(Pixels(*FirstFrame(*b)), (std::vector<uint8_t>{0, 1, 2, 3, 4, 5}));
  std::vector<uint8_t> out;
  ByteSink sink(&out);
  f->width = 10;  // past the DIB
  EXPECT_EQ(WriteGif(sink, *a, nullptr), GifWriteStatus::Failed);
  EXPECT_EQ(EncodedFrameSize(f), 0u);
  f->width = 3;
  a->screenWidth = 65536;  // would wrap to 0
  EXPECT_EQ(WriteGif(sink, *a, nullptr), GifWriteStatus::Failed);
}

TEST_F(GifWriter, CountingMatchesTheFileAndAFullDiskFails) {
  AnimationPtr a = VariedAnimation(3);
  ByteSink counter;
  ASSERT_EQ(WriteGif(counter, *a, nullptr), GifWriteStatus::Done);
  EXPECT_EQ(counter.Count(), GifBytes(*a).size());
  int full = ::open("/dev/full", O_WRONLY);
  if (full >= 0) {
    ByteSink sink(full);
    EXPECT_EQ(WriteGif(sink, *a, nullptr), GifWriteStatus::Failed);
    ::close(full);
  }
}

TEST_F(GifWriter, EstimateCountsTheSignatureTheSaveWillPutIn) {
  AnimationPtr a = MakeDocument(8, 8, RampPalette(4), 1);
  AddComment(*a, "Réalisé avec Loopwright 3.1");
  AddDrawnFrame(*a, 0, 0, 8, 8, [](uint32_t x, uint32_t) { return x % 4; });
  ByteSink counter;
  WriteGif(counter, *a, nullptr);
  // The old signature (4 bytes of framing and 29 of UTF-8) gives way to the new one.
  int64_t plain = static_cast<int64_t>(counter.Count()) - (4 + 29);
  EXPECT_EQ(EstimateEncodedSize(*a, true, "Fait ici", nullptr), plain + 4 + 8);
  EXPECT_EQ(EstimateEncodedSize(*a, false, "", nullptr), plain + 4 + 8) << "cached";
  EXPECT_EQ(EstimateEncodedSize(*a, true, "", nullptr), plain);

  services_.cancelAtPump = 1;
  ProgressMeter* meter = CreateProgressMeter(nullptr, 0, 0);
  EXPECT_EQ(EstimateEncodedSize(*a, true, "", meter), -1);
  DestroyProgressMeter(meter);
}

// Frames encoded on worker threads give the bytes of one thread, whatever the number of
// workers; a cancel stops the workers and writes a beginning of those bytes.
TEST_F(GifWriter, WorkerThreadsWriteTheBytesOfOneThread) {
  std::mt19937 random(7);
  for (int round = 0; round < 3; ++round) {
    SCOPED_TRACE(round);
    // Large enough for the workers to take part.
    const uint32_t w = 300 + random() % 200, h = 200 + random() % 100;
    AnimationPtr a = MakeDocument(w, h, RampPalette(2 << (random() % 8)));
    const int colours = a->globalPalette->Count();
    for (int i = 0, frames = 5 + random() % 8; i < frames; ++i) {
      const uint32_t seed = random(), fw = w / 2 + random() % (w / 2),
                     fh = h / 2 + random() % (h / 2);
      Frame* f = AddDrawnFrame(*a, 0, 0, fw, fh, [&](uint32_t x, uint32_t y) {
        return ((x / (1 + seed % 5)) * 7 + y * (seed % 3) + seed) % colours;
      });
      SetInterlaced(f, seed & 1);
      if (i % 5 == 2) AddComment(*a, "entre deux");
    }
    std::vector<uint8_t> bytes[3];
    const int threads[3] = {1, 2, 5};
    for (int t = 0; t < 3; ++t) {
      SetGifEncoderThreads(threads[t]);
      ByteSink sink(&bytes[t]);
      ASSERT_EQ(WriteGif(sink, *a, nullptr), GifWriteStatus::Done);
    }
    EXPECT_EQ(bytes[1], bytes[0]);
    EXPECT_EQ(bytes[2], bytes[0]);

    services_.pumps = 0;
    services_.cancelAtPump = 2;
    ProgressMeter* meter = CreateProgressMeter(nullptr, 0, 0);
    std::vector<uint8_t> cancelled;
    {
      ByteSink sink(&cancelled);
      EXPECT_EQ(WriteGif(sink, *a, meter), GifWriteStatus::Cancelled);
    }
    DestroyProgressMeter(meter);
    services_.cancelAtPump = 0;
    ASSERT_LT(cancelled.size(), bytes[0].size());
    EXPECT_TRUE(std::equal(cancelled.begin(), cancelled.end(), bytes[0].begin()));
  }
  SetGifEncoderThreads(0);
}

TEST_F(GifWriter, KeptFrameDataServesOnlyWhileThePixelsMatch) {
  AnimationPtr a = MakeDocument(40, 30);
  for (int i = 0; i < 2; ++i)
    AddDrawnFrame(*a, 0, 0, 40, 30, [i](uint32_t x, uint32_t y) { return (x * y + i) & 15; });
  const std::vector<uint8_t> plain = GifBytes(*a);
  // Kept data made from the present pixels writes the same bytes as encoding them.
  for (Frame* f = FirstFrame(*a); f; f = NextFrame(f)) {
    std::vector<uint8_t> lzw;
    EXPECT_EQ(EncodeFrameRecord(f, &lzw), EncodedFrameSize(f));
    KeepFrameData(f, std::move(lzw));
  }
  EXPECT_EQ(GifBytes(*a), plain);

  // A pixel changed after the data was kept: the frame is encoded again, never the stale bytes.
  Frame* first = FirstFrame(*a);
  std::vector<uint8_t> lzw;
  EncodeFrameRecord(first, &lzw);
  KeepFrameData(first, std::move(lzw));
  first->bits()[5] ^= 1;
  const std::vector<uint8_t> changed = GifBytes(*a);
  EXPECT_NE(changed, plain);
  AnimationPtr b;
  ASSERT_EQ(ReadBytes(changed, &b), GifReadStatus::Done);
  EXPECT_EQ(Pixels(*FirstFrame(*b)), Pixels(*first));
}

}  // namespace
}  // namespace lw::test
