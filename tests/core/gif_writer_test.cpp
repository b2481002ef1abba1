#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <random>

#include "base/settings.h"
#include "gif_test_helpers.h"

namespace lw::test {
namespace {

class GifWriter : public GifTest {};

TEST_F(GifWriter, KnownBytesOfAOnePixelDocument) {
  AnimationPtr a = Screen(1, 1, 2, 1);
  Frame* f = DrawnFrame(*a, 1, 1, nullptr, [](uint32_t, uint32_t) { return 0; });
  f->delay = 10;
  Append(*a, f);
  std::vector<uint8_t> expected = {
      'G',  'I',  'F',  '8',  '9',  'a', 1,   0,   1,   0,
      0x80, 0,    0,    0,    37,   74,  111, 148, 185,        // table
      0x21, 0xF9, 0x04, 0x00, 10,   0,   0,   0,               // control
      0x2C, 0,    0,    0,    0,    1,   0,   1,   0,   0x00,  // descriptor
      0x02, 0x02, 0x44, 0x01, 0x00,                            // data
      0x3B};
  EXPECT_EQ(Write(*a), expected);
  // The delay is written in hundredths whatever the unit.
  EXPECT_EQ(Write(*a, {.delayUnits = 10})[23], 100);
}

TEST_F(GifWriter, TablesArePaddedAndLoopBlocksFollowTheRules) {
  AnimationPtr a = Screen(2, 2, 5, 0);
  Append(*a, DrawnFrame(*a, 2, 2, Ramp(3), [](uint32_t x, uint32_t) { return x; }));
  Append(*a, DrawnFrame(*a, 2, 2, nullptr, [](uint32_t x, uint32_t) { return x; }));
  auto bytes = Write(*a);
  EXPECT_EQ(bytes[10], 0x80 | (2 << 4) | 2);
  EXPECT_EQ(std::vector<uint8_t>(bytes.begin() + 13 + 15, bytes.begin() + 13 + 24),
            std::vector<uint8_t>(9, 0));
  const uint8_t loop[] = {0x21, 0xFF, 0x0B, 'N', 'E', 'T', 'S', 'C',
                          'A',  'P',  'E',  '2', '.', '0', 3,   1};
  EXPECT_TRUE(std::equal(loop, loop + 16, bytes.begin() + 37));
  EXPECT_EQ(bytes[37 + 16], 0);
  size_t frame1 = 37 + 19;
  EXPECT_EQ(bytes[frame1 + 8 + 9], 0x81) << "local table flag and size code";
  EXPECT_EQ(bytes[frame1 + 8 + 10 + 12], 2) << "code size never below 2";

  a->playCount = 3;
  EXPECT_EQ(Write(*a)[37 + 16], 2);
  a->playCount = 1;
  EXPECT_EQ(Write(*a)[37], 0x21) << "next comes the first frame's control extension";
  EXPECT_EQ(Write(*a)[38], 0xF9);
  a->playCount = 0;
  UnlinkAndFreeBlock(FirstFrame(*a));
  a->frameCount = 1;
  EXPECT_EQ(Write(*a)[38], 0xF9) << "one frame never loops";
}

TEST_F(GifWriter, PixelsPastThePaletteGetACodeSizeThatHoldsThem) {
  const size_t codeSizeAt =
      13 + 6 + 8 + 10;  // header, screen, two-colour table, control, descriptor
  for (auto [value, codeSize] :
       std::vector<std::pair<uint8_t, int>>{{3, 2}, {4, 3}, {7, 3}, {8, 4}, {255, 8}}) {
    AnimationPtr a = Screen(3, 1, 2, 1);
    Frame* f = DrawnFrame(*a, 3, 1, nullptr, [](uint32_t x, uint32_t) { return x & 1; });
    Append(*a, f);
    f->bits()[2] = value;
    auto bytes = Write(*a);
    ASSERT_GT(bytes.size(), codeSizeAt);
    EXPECT_EQ(bytes[codeSizeAt], codeSize) << int{value};
    EXPECT_EQ(EncodedFrameSize(f) + 13 + 6 + 1, bytes.size());
    AnimationPtr b;
    ASSERT_EQ(Read(bytes, &b), GifReadStatus::Done);
    EXPECT_EQ(Pixels(*FirstFrame(*b)), (std::vector<uint8_t>{0, 1, value}));
  }
}

TEST_F(GifWriter, RowsFollowTheDibAndSizesMustFitTheFields) {
  // A DIB wider and taller than the frame says (an image put back into a cropped frame).
  AnimationPtr a = Screen(9, 3, 16, 1);
  Frame* f = DrawnFrame(*a, 9, 3, nullptr, [](uint32_t x, uint32_t y) { return x + 3 * y; });
  Append(*a, f);
  f->width = 3;
  f->height = 2;
  AnimationPtr b;
  ASSERT_EQ(Read(Write(*a), &b), GifReadStatus::Done);
  EXPECT_EQ(Pixels(*FirstFrame(*b)), (std::vector<uint8_t>{0, 1, 2, 3, 4, 5}));
  f->width = 10;  // past the DIB
  std::vector<uint8_t> out;
  ByteSink sink(&out);
  EXPECT_EQ(WriteGif(sink, *a, nullptr), GifWriteStatus::Failed);
  EXPECT_EQ(EncodedFrameSize(f), 0u);
  f->width = 3;
  a->screenWidth = 65536;  // would wrap to 0
  EXPECT_EQ(WriteGif(sink, *a, nullptr), GifWriteStatus::Failed);
}

TEST_F(GifWriter, CountingMatchesTheFileAndFramesAddUp) {
  AnimationPtr a = Screen(50, 40, 16, 0);
  AddComment(*a, "bonjour");
  for (int i = 0; i < 3; ++i)
    Append(*a, DrawnFrame(*a, 50 - i, 40, nullptr,
                          [i](uint32_t x, uint32_t y) { return (x ^ y) + i; }));
  ByteSink counter;
  ASSERT_EQ(WriteGif(counter, *a, nullptr), GifWriteStatus::Done);
  EXPECT_EQ(counter.Count(), Write(*a).size());
  uint64_t frames = 0;
  for (Frame* f = FirstFrame(*a); f; f = NextFrame(f)) frames += EncodedFrameSize(f);
  EXPECT_EQ(counter.Count(), 6 + 7 + 48 + 19 + 11 + frames + 1);

  int full = ::open("/dev/full", O_WRONLY);
  if (full >= 0) {
    ByteSink sink(full);
    EXPECT_EQ(WriteGif(sink, *a, nullptr), GifWriteStatus::Failed);
    ::close(full);
  }
}

TEST_F(GifWriter, EstimateCountsTheSignatureTheSaveWillPutIn) {
  AnimationPtr a = Screen(8, 8, 4, 1);
  AddComment(*a, "Réalisé avec Loopwright 3.1");
  Append(*a, DrawnFrame(*a, 8, 8, nullptr, [](uint32_t x, uint32_t) { return x; }));
  ByteSink counter;
  WriteGif(counter, *a, nullptr);
  int64_t plain = static_cast<int64_t>(counter.Count()) - (4 + 29);  // 29 UTF-8 bytes
  EXPECT_EQ(EstimateEncodedSize(*a, true, "Fait ici", nullptr), plain + 4 + 8);
  EXPECT_EQ(EstimateEncodedSize(*a, false, "", nullptr), plain + 4 + 8) << "cached";
  EXPECT_EQ(EstimateEncodedSize(*a, true, "", nullptr), plain);

  services_.cancelAtPump = 1;
  ProgressMeter* meter = CreateProgressMeter(nullptr, 0, 0);
  EXPECT_EQ(EstimateEncodedSize(*a, true, "", meter), -1);
  DestroyProgressMeter(meter);
}

TEST_F(GifWriter, CancelStopsAfterAFrame) {
  AnimationPtr a = Screen(4, 4, 2, 0);
  for (int i = 0; i < 3; ++i)
    Append(*a, DrawnFrame(*a, 4, 4, nullptr, [](uint32_t x, uint32_t) { return x; }));
  services_.cancelAtPump = 2;
  ProgressMeter* meter = CreateProgressMeter(nullptr, 0, 0);
  std::vector<uint8_t> out;
  ByteSink sink(&out);
  EXPECT_EQ(WriteGif(sink, *a, meter), GifWriteStatus::Cancelled);
  DestroyProgressMeter(meter);
  EXPECT_EQ(out.size(), 6 + 7 + 6 + 19 + 2 * EncodedFrameSize(FirstFrame(*a)));
}

// Frames encoded on worker threads give the bytes of one thread, whatever the number of
// workers; a cancel stops the workers and writes what one thread would have written.
TEST_F(GifWriter, WorkerThreadsWriteTheBytesOfOneThread) {
  std::mt19937 random(7);
  for (int round = 0; round < 4; ++round) {
    SCOPED_TRACE(round);
    // Large enough for the workers to take part.
    const uint32_t w = 300 + random() % 200, h = 200 + random() % 100;
    AnimationPtr a = Screen(w, h, 2 << (random() % 8), 0);
    const int frames = 5 + static_cast<int>(random() % 10);
    for (int i = 0; i < frames; ++i) {
      const uint32_t seed = random(), fw = w / 2 + random() % (w / 2),
                     fh = h / 2 + random() % (h / 2);
      Frame* f = DrawnFrame(*a, fw, fh, nullptr, [seed](uint32_t x, uint32_t y) {
        return static_cast<uint8_t>(((x / (1 + seed % 5)) * 7 + y * (seed % 3) + seed) & 0xFF);
      });
      if (seed & 1) f->descriptorFlags |= 0x40;
      Append(*a, f);
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
    ASSERT_LE(cancelled.size(), bytes[0].size());
    EXPECT_TRUE(std::equal(cancelled.begin(), cancelled.end(), bytes[0].begin()));
  }
  SetGifEncoderThreads(0);
}

TEST_F(GifWriter, KeptFrameDataServesOnlyWhileThePixelsMatch) {
  AnimationPtr a = Screen(40, 30, 16, 0);
  for (int i = 0; i < 2; ++i)
    Append(*a, DrawnFrame(*a, 40, 30, nullptr,
                          [i](uint32_t x, uint32_t y) { return (x * y + i) & 15; }));
  std::vector<uint8_t> plain, kept, changed, changedPlain;
  {
    ByteSink sink(&plain);
    ASSERT_EQ(WriteGif(sink, *a, nullptr), GifWriteStatus::Done);
  }
  // Kept data made from the present pixels writes the same bytes as encoding them.
  for (Frame* f = FirstFrame(*a); f; f = NextFrame(f)) {
    std::vector<uint8_t> lzw;
    EXPECT_EQ(EncodeFrameRecord(f, &lzw), EncodedFrameSize(f));
    KeepFrameData(f, std::move(lzw));
  }
  {
    ByteSink sink(&kept);
    ASSERT_EQ(WriteGif(sink, *a, nullptr), GifWriteStatus::Done);
  }
  EXPECT_EQ(kept, plain);

  // A pixel changed after the data was kept: the frame is encoded again, never the stale bytes.
  Frame* first = FirstFrame(*a);
  std::vector<uint8_t> lzw;
  EncodeFrameRecord(first, &lzw);
  KeepFrameData(first, std::move(lzw));
  first->bits()[5] ^= 1;
  {
    ByteSink sink(&changed);
    ASSERT_EQ(WriteGif(sink, *a, nullptr), GifWriteStatus::Done);
  }
  {
    ByteSink sink(&changedPlain);
    ASSERT_EQ(WriteGif(sink, *a, nullptr), GifWriteStatus::Done);
  }
  EXPECT_EQ(changed, changedPlain);
  EXPECT_NE(changed, plain);
}

}  // namespace
}  // namespace lw::test
