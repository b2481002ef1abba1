// The writer's own promises and what the reader keeps of a file so that writing it back gives the
// same bytes. What the bytes mean is checked by other programs (gif_other_programs_test.cpp).
#include <fcntl.h>
#include <unistd.h>

#include <random>

#include "base/progress.h"
#include "core_fixture.h"
#include "gif_pictures.h"

namespace lw::test {
namespace {

class GifWriter : public CoreTest {};

TEST_F(GifWriter, RowsFollowTheDibAndSizesMustFitTheFields) {
  // A DIB wider and taller than the frame says (an image put back into a cropped frame).
  AnimationPtr a = MakeDocument(9, 3, nullptr, 1), b;
  Frame* f = AddDrawnFrame(*a, 0, 0, 9, 3, [](uint32_t x, uint32_t y) { return x + 3 * y; });
  f->width = 3, f->height = 2;
  ASSERT_EQ(ReadBytes(GifBytes(*a), &b), GifReadStatus::Done);
  EXPECT_EQ(Pixels(*FirstFrame(*b)), (std::vector<uint8_t>{0, 1, 2, 3, 4, 5}));
  ByteSink sink;
  f->width = 10;  // past the DIB
  EXPECT_EQ(WriteGif(sink, *a, nullptr), GifWriteStatus::Failed);
  EXPECT_EQ(EncodedFrameSize(f), 0u);
  f->width = 3;
  a->screenWidth = 65536;  // would wrap to 0
  EXPECT_EQ(WriteGif(sink, *a, nullptr), GifWriteStatus::Failed);
}

// Counting writes nothing but gives the file's size; a full disk fails the write.
TEST_F(GifWriter, CountingEstimatesAndAFullDisk) {
  AnimationPtr v = VariedAnimation(3);
  ByteSink count;
  ASSERT_EQ(WriteGif(count, *v, nullptr), GifWriteStatus::Done);
  EXPECT_EQ(count.Count(), GifBytes(*v).size());
  if (int full = ::open("/dev/full", O_WRONLY); full >= 0) {
    ByteSink sink(full);
    EXPECT_EQ(WriteGif(sink, *v, nullptr), GifWriteStatus::Failed);
    ::close(full);
  }

  AnimationPtr a = MakeDocument(8, 8, RampPalette(4), 1);
  AddComment(*a, "Réalisé avec Loopwright 3.1");
  AddDrawnFrame(*a, 0, 0, 8, 8, [](uint32_t x, uint32_t) { return x % 4; });
  ByteSink counter;
  WriteGif(counter, *a, nullptr);
  // The old signature (4 bytes of framing and 29 of UTF-8) gives way to the new one.
  int64_t plain = static_cast<int64_t>(counter.Count()) - (4 + 29);
  EXPECT_EQ(EstimateEncodedSize(*a, true, {.text = "Fait ici", .own = {}}, nullptr), plain + 4 + 8);
  EXPECT_EQ(EstimateEncodedSize(*a, false, {}, nullptr), plain + 4 + 8) << "cached";
  EXPECT_EQ(EstimateEncodedSize(*a, true, {}, nullptr), plain);
  // The user's own text is replaced too, but only the text the options name.
  AnimationPtr own = MakeDocument(8, 8, RampPalette(4), 1);
  AddComment(*own, "Créé ici");
  AddDrawnFrame(*own, 0, 0, 8, 8, [](uint32_t x, uint32_t) { return x % 4; });
  const int64_t kept = EstimateEncodedSize(*own, true, {}, nullptr);
  EXPECT_EQ(EstimateEncodedSize(*own, true, {.text = {}, .own = "Créé ailleurs"}, nullptr), kept);
  EXPECT_EQ(EstimateEncodedSize(*own, true, {.text = {}, .own = "Créé ici"}, nullptr),
            kept - (4 + 10));

  services_.cancelAtPump = 1;
  ProgressMeter* meter = CreateProgressMeter(nullptr, 0, 0);
  EXPECT_EQ(EstimateEncodedSize(*a, true, {}, meter), -1);
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
      const uint32_t seed = random();
      SetInterlaced(AddDrawnFrame(*a, 0, 0, w / 2 + seed % (w / 2), h / 2 + seed % (h / 2),
                                  [&](uint32_t x, uint32_t y) {
                                    return ((x / (1 + seed % 5)) * 7 + y * (seed % 3) + seed) %
                                           colours;
                                  }),
                    seed & 1);
      if (i % 5 == 2) AddComment(*a, "entre deux");
    }
    SetGifEncoderThreads(1);
    const std::vector<uint8_t> one = GifBytes(*a);
    for (int threads : {2, 5}) {
      SetGifEncoderThreads(threads);
      EXPECT_EQ(GifBytes(*a), one) << threads;
    }

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
    ASSERT_LT(cancelled.size(), one.size());
    EXPECT_TRUE(std::equal(cancelled.begin(), cancelled.end(), one.begin()));
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

class GifRoundTrip : public CoreTest {};

// Random documents with every kind of block read back to the same document, and written again to
// the same bytes; interlacing is kept only when asked.
TEST_F(GifRoundTrip, ReadingWhatWasWrittenGivesTheSameDocumentAndBytes) {
  for (uint32_t seed = 1; seed <= 12; ++seed) {
    SCOPED_TRACE(seed);
    AnimationPtr a = VariedAnimation(seed);
    a->aspectByte = 49;
    FirstFrame(*a)->controlFlags |= 0x02;  // the user-input bit
    AddExtension(*a, BlockKind::Application,
                 {11, 'X', 'M', 'P', ' ', 'D', 'a', 't', 'a', 'X', 'M', 'P', 3, 1, 2, 3, 1, 9, 0});
    AddExtension(*a, BlockKind::PlainText,
                 {12, 0, 0, 0, 0, 8, 0, 8, 0, 8, 8, 1, 0, 4, 't', 'e', 'x', 't', 0});
    AddSolidFrame(*a, 1, 1, 1, 1, 1);
    const std::vector<uint8_t> bytes = GifBytes(*a);
    AnimationPtr b;
    ASSERT_EQ(ReadBytes(bytes, &b, nullptr, {.keepInterlace = true, .timing = {}}),
              GifReadStatus::Done);
    EXPECT_TRUE(SameAnimation(*a, *b));
    EXPECT_EQ(b->encodedSizeCache, static_cast<int32_t>(bytes.size()));
    EXPECT_EQ(GifBytes(*b), bytes);
    ASSERT_EQ(ReadBytes(bytes, &b), GifReadStatus::Done);  // progressive: not the file's size
    EXPECT_EQ(b->encodedSizeCache, -1);
    for (Frame *f = FirstFrame(*a), *g = FirstFrame(*b); f; f = NextFrame(f), g = NextFrame(g))
      EXPECT_TRUE(!g->Interlaced() && Pixels(*f) == Pixels(*g));
  }
  EXPECT_TRUE(Texts().empty());
}

}  // namespace
}  // namespace lw::test
