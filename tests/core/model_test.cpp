// The document model: block lists, names, copies, comments, delays, crops, transparency, counts.
#include <array>
#include <random>

#include "base/progress.h"
#include "core/gif_writer.h"
#include "core/pixel_counts.h"
#include "core_fixture.h"

namespace lw::test {
namespace {

class Model : public CoreTest {};

// Pixels whose mask bit is not what their index says (-1: a mask of the wrong size).
int MaskErrors(const Frame& f) {
  if (!f.Transparent()) return f.transparencyMask.empty() ? 0 : -1;
  const uint32_t w = f.DibWidth(), h = f.DibHeight();
  if (f.transparencyMask.size() != MaskStride(w) * h) return -1;
  int errors = 0;
  for (uint32_t i = 0; i < w * h; ++i)
    errors += bool(f.transparencyMask[i / w * MaskStride(w) + i % w / 8] & (0x80 >> (i % w % 8))) !=
              (Pixel(&f, i % w, i / w) == f.transparentIndex);
  return errors;
}

// Links hold both ways and the frame count matches the list.
void ExpectSoundList(const Animation& a) {
  int frames = 0;
  for (Block* b = a.blocks; b->next; b = b->next) {
    ASSERT_EQ(b->next->prev, b);
    frames += b->next->IsFrame();
  }
  EXPECT_EQ(frames, a.frameCount);
}

TEST_F(Model, HugeImagesFailCleanly) {
  EXPECT_EQ(IndexStride(0xFFFFFFFFu), 0x100000000u);  // no wrap
  std::unique_ptr<Frame> frame(NewFrame(0x7FFFFFFF, 0x7FFFFFFF, 10));
  EXPECT_TRUE(!NewFrameDib(frame.get()) && frame->dib.empty());
  frame->width = 0x80000000u, frame->height = 1;  // does not fit biWidth
  EXPECT_FALSE(NewFrameDib(frame.get()));
  EXPECT_TRUE(BuildDib(1u << 17, 1u << 16, nullptr).empty());  // 2^33 bytes: refused
  EXPECT_EQ(NewBlock(BlockKind::Comment, SIZE_MAX), nullptr);
}

// Reversal, ping-pong and merging work on frames and carry the other blocks along.
TEST_F(Model, FrameListsAmongOtherBlocks) {
  AnimationPtr a = NumberedAnimation(3);
  InsertBlockAfter(a->blocks, NewBlock(BlockKind::Comment, 2));
  Block* comment = NewBlock(BlockKind::Comment, 2);
  InsertBlockAfter(FrameAt(*a, 0), comment);  // c 1 c 2 3
  Frame *f0 = FrameAt(*a, 0), *f1 = FrameAt(*a, 1);
  EXPECT_EQ(FrameAt(*a, 3), nullptr);

  ASSERT_TRUE(ReverseBlocks(*a));
  EXPECT_EQ(FrameNumbers(*a), (std::vector<int>{3, 2, 1}));
  EXPECT_EQ(comment->prev, f1);  // c 3 2 c 1
  EXPECT_EQ(comment->next, f0);
  ExpectSoundList(*a);
  AnimationPtr one = NumberedAnimation(1);
  EXPECT_FALSE(ReverseBlocks(*one));

  AnimationPtr four = NumberedAnimation(4);
  ASSERT_TRUE(AppendPingPong(*four));
  EXPECT_EQ(FrameNumbers(*four), (std::vector<int>{1, 2, 3, 4, 3, 2}));
  Frame* copy = FrameAt(*four, 4);
  EXPECT_NE(copy->dib.data(), FrameAt(*four, 2)->dib.data());
  EXPECT_EQ(copy->nameAtom, FrameAt(*four, 2)->nameAtom);
  ExpectSoundList(*four);
  AnimationPtr two = NumberedAnimation(2);
  ASSERT_TRUE(AppendPingPong(*two));
  EXPECT_EQ(FrameNumbers(*two), (std::vector<int>{1, 2})) << "nothing inside to add";
  // Chained documents joined: the frames borrow the first one's palette.
  AnimationPtr b = NumberedAnimation(1);
  b->nextInChain = std::move(a);
  two->nextInChain = std::move(b);
  MergeChain(*two);
  EXPECT_FALSE(two->nextInChain);
  EXPECT_EQ(FrameNumbers(*two), (std::vector<int>{1, 2, 1, 3, 2, 1}));
  ExpectSoundList(*two);
}

TEST_F(Model, FrameNamesAreSharedAndCounted) {
  AnimationPtr a = NumberedAnimation(1);
  Frame* f = FirstFrame(*a);
  EXPECT_FALSE(SetFrameName(f, "FRAME 1"));  // names ignore case
  EXPECT_TRUE(SetFrameName(f, "Été"));
  NameAtom ete = AddNameAtom("éTÉ");
  EXPECT_EQ(ete, f->nameAtom);
  EXPECT_EQ(NameAtomText(ete), "Été");  // the first spelling stays
  ReleaseNameAtom(ete);
  std::unique_ptr<Frame> other(NewFrame(1, 1, 10));
  CopyFrameAttributes(other.get(), f);
  other.reset();  // the destructor gives its reference back
  EXPECT_EQ(NameAtomReferences(ete), 1);
  EXPECT_TRUE(SetFrameName(f, ""));
  EXPECT_EQ(NameAtomReferences(ete), 0);

  // Long names are cut; a name cut to the same text is the same name.
  NameAtom cut = AddNameAtom(std::string(300, 'x'));
  EXPECT_EQ(NameAtomText(cut).size(), MaxNameLength);
  EXPECT_EQ(AddNameAtom(std::string(280, 'x')), cut);
  ReleaseNameAtom(cut), ReleaseNameAtom(cut);
  EXPECT_EQ(NameAtomText(cut), "");
}

TEST_F(Model, DuplicatesAreDeepAndStopWhenAsked) {
  AnimationPtr a = NumberedAnimation(3);
  a->screenFlags |= 0x08;
  Frame* second = FrameAt(*a, 1);
  GiveLocalPalette(second, RampPalette(4));
  SetRgbPlane(second, std::vector<uint8_t>(RgbStride(4) * 3, 9));
  SetAlphaPlane(second, std::vector<uint8_t>(IndexStride(4) * 3, 255));
  AddComment(*a, "fin");
  AnimationPtr copy = DuplicateAnimation(*a, nullptr);
  ASSERT_TRUE(copy);
  // Every field, block, palette, DIB and plane; each frame borrowing its own document's palette.
  ASSERT_TRUE(SameAnimation(*copy, *a));
  FirstFrame(*copy)->bits()[0] = 77;
  copy->globalPalette->entries[0].red = FrameAt(*copy, 1)->localPalette->entries[0].red = 200;
  EXPECT_TRUE(FirstFrame(*a)->bits()[0] == 1 && a->globalPalette->entries[0].red == 0 &&
              second->localPalette->entries[0].red == 0);
  copy.reset();
  EXPECT_EQ(NameAtomReferences(FirstFrame(*a)->nameAtom), 1);

  ProgressMeter* meter = CreateProgressMeter(nullptr, progress::Silent, task::ReducePreview);
  SetTaskStopRequest(task::ReducePreview, true);
  AnimationPtr partial = DuplicateAnimation(*a, meter);
  SetTaskStopRequest(task::ReducePreview, false);
  DestroyProgressMeter(meter);
  ASSERT_TRUE(partial);
  EXPECT_EQ(FrameNumbers(*partial), (std::vector<int>{1})) << "what was copied";
}

// Comments hold any length in sub-blocks of at most 255 bytes and read back the same.
TEST_F(Model, CommentTexts) {
  std::unique_ptr<Block> comment(NewBlock(BlockKind::Comment, 0));
  auto& data = static_cast<ExtensionBlock*>(comment.get())->data;
  std::string text;
  for (size_t n : {0u, 1u, 254u, 255u, 256u, 300u, 1000u}) {
    std::string written(n, 'z');
    for (size_t i = 0; i < n; i += 7) written[i] = static_cast<char>(0xC3);
    ASSERT_TRUE(SetCommentText(comment.get(), written));
    EXPECT_TRUE(CommentText(comment.get(), &text) && text == written) << n;
  }
  data = {9, 'a', 'b'};  // a damaged length is cut to the data
  EXPECT_TRUE(CommentText(comment.get(), &text) && text == "ab");
  std::unique_ptr<Block> app(NewBlock(BlockKind::Application, 2));
  EXPECT_FALSE(SetCommentText(app.get(), "x"));
  EXPECT_FALSE(CommentText(app.get(), &text));
}

TEST_F(Model, ExtentsDurationsAndRescaledDelays) {
  AnimationPtr a = NumberedAnimation(2);
  Frame* f0 = FrameAt(*a, 0);
  Frame* f1 = FrameAt(*a, 1);
  f0->left = -3, f0->top = 2, f1->left = 10, f1->top = -7;
  f0->delay = 5;
  f1->delay = 0xFFFFFFFF;
  Bounds b = FramesBounds(*a);
  EXPECT_EQ((std::vector<int64_t>{b.left, b.top, b.right, b.bottom, FramesExtent(*a).right,
                                  FramesExtent(*a).bottom}),
            (std::vector<int64_t>{-3, -7, 14, 5, 14, 5}));
  EXPECT_EQ(TotalDuration(*a), 5 + 0xFFFFFFFFull);
  // The length in seconds stays, to the nearest tick; a broken unit counts as hundredths.
  for (auto [delay, from, to, expected] : std::vector<std::array<uint32_t, 4>>{{5, 100, 10, 1},
                                                                               {4, 100, 10, 0},
                                                                               {25, 100, 10, 3},
                                                                               {3, 10, 100, 30},
                                                                               {7, 0, 100, 7},
                                                                               {7, 100, 0, 7},
                                                                               {9, 25, 50, 18}}) {
    f0->delay = delay;
    RescaleDelays(*a, DelayUnits::From(from), DelayUnits::From(to));
    EXPECT_EQ(f0->delay, expected) << delay << " from " << from << " to " << to;
  }
  f1->delay = 0xFFFFFFFF;
  RescaleDelays(*a, DelayUnits::From(10), DelayUnits::From(100));
  EXPECT_EQ(f1->delay, 0xFFFFFFFFu);  // held at the largest delay
}

TEST_F(Model, ColourUsageCountsGlobalFramesWithoutPadding) {
  AnimationPtr a = NumberedAnimation(3, 3, 2);  // stride 4: one padding byte per row
  for (Frame* f = FirstFrame(*a); f; f = NextFrame(f))
    for (int y = 0; y < 2; ++y) f->bits()[y * 4 + 3] = 9;  // padding that must not count
  SetLocalPalette(FrameAt(*a, 1), RampPalette(4));
  FrameAt(*a, 2)->bits()[0] = 0;
  std::array<uint32_t, 256> counts;
  counts.fill(1000);
  ASSERT_TRUE(CountColourUsage(*a, counts.data(), true));
  EXPECT_EQ((std::vector<uint32_t>{counts[0], counts[1], counts[2], counts[3], counts[9]}),
            (std::vector<uint32_t>{1, 6, 0, 5, 0}));
  ASSERT_TRUE(CountColourUsage(*a, counts.data(), false));
  EXPECT_EQ(counts[1], 12u) << "added to what was there";
  SetTransparentIndex(FrameAt(*a, 2), 3);
  SetTransparency(FrameAt(*a, 2), true);
  CountOpaqueColourUsage(*a, counts.data(), true);
  EXPECT_EQ((std::vector<uint32_t>{counts[0], counts[3]}), (std::vector<uint32_t>{1, 0}));
  SetTaskStopRequest(task::ColourCount, true);
  EXPECT_FALSE(CountColourUsage(*a, counts.data(), true));
  SetTaskStopRequest(task::ColourCount, false);
  EXPECT_EQ(counts[1], 0u) << "stopped before the first frame";
}

class Crop : public CoreTest {};

// Random frames (pixel (x + 16 y) & 0xFF; planes blue x, green y, alpha x + y) cropped to random
// areas or clipped to random screens, against the area worked out pixel by pixel.
TEST_F(Crop, KeptAreasPlanesAndMasks) {
  PalettePtr palette = RampPalette(256);
  std::mt19937 rng(3);
  auto any = [&](int lo, int hi) { return lo + static_cast<int>(rng() % (hi - lo + 1)); };
  for (int trial = 0; trial < 300; ++trial) {
    const uint32_t w = any(1, 20), h = any(1, 12);
    std::unique_ptr<Frame> f(PaintedFrame(
        w, h, palette.get(), [](uint32_t x, uint32_t y) { return (x + 16 * y) & 0xFF; }));
    f->left = any(-10, 10);
    f->top = any(-10, 10);
    const bool planes = trial % 2, transparent = trial % 3 == 0;
    if (planes) {
      std::vector<uint8_t> rgb(RgbStride(w) * h), alpha(IndexStride(w) * h);
      for (uint32_t y = 0; y < h; ++y)
        for (uint32_t x = 0; x < w; ++x) {
          rgb[y * RgbStride(w) + 3 * x] = x, rgb[y * RgbStride(w) + 3 * x + 1] = y;
          alpha[y * IndexStride(w) + x] = x + y;
        }
      SetRgbPlane(f.get(), rgb);
      SetAlphaPlane(f.get(), alpha);
    }
    const uint8_t index = static_cast<uint8_t>(any(0, 60));
    if (transparent) {
      SetTransparentIndex(f.get(), index);
      SetTransparency(f.get(), true);
    }
    int x0, y0, cw, ch;
    const int32_t left = f->left, top = f->top;
    if (trial % 4 == 0) {
      const int sw = any(1, 25), sh = any(1, 15);
      x0 = -left, y0 = -top, cw = sw, ch = sh;
      ClipFrameToScreen(f.get(), sw, sh);
    } else {
      x0 = any(-5, 25), y0 = any(-5, 15), cw = any(-1, 25), ch = any(-1, 15);
      CropFrame(f.get(), x0, y0, cw, ch);
    }
    SCOPED_TRACE(::testing::Message() << "trial " << trial << ": " << w << "x" << h << " to " << x0
                                      << "," << y0 << " " << cw << "x" << ch);
    const int kx = std::max(0, x0), ky = std::max(0, y0);
    const int kw = std::min<int>(w, x0 + cw) - kx, kh = std::min<int>(h, y0 + ch) - ky;
    if (kw <= 0 || kh <= 0) {
      EXPECT_TRUE(!f->left && !f->top && f->rgbPlane.empty() && f->alphaPlane.empty());
      ASSERT_EQ(Pixels(*f), (std::vector<uint8_t>{transparent ? index : uint8_t{0}}));
      EXPECT_TRUE(f->Transparent() && f->transparentIndex == Pixels(*f)[0] && !MaskErrors(*f));
      continue;
    }
    EXPECT_EQ((std::vector<int>{f->left, f->top}), (std::vector<int>{left + kx, top + ky}));
    const uint32_t uw = kw, uh = kh;
    ASSERT_EQ((std::vector<uint32_t>{f->width, f->height, f->DibWidth(), f->DibHeight()}),
              (std::vector<uint32_t>{uw, uh, uw, uh}));
    EXPECT_EQ(MaskErrors(*f), 0);
    for (int y = 0; y < kh; ++y)
      for (int x = 0; x < kw; ++x) {
        ASSERT_EQ(Pixel(f.get(), x, y), (x + kx + 16 * (y + ky)) & 0xFF) << x << "," << y;
        if (!planes) continue;
        ASSERT_EQ(f->rgbPlane[y * RgbStride(kw) + 3 * x], x + kx);
        ASSERT_EQ(f->rgbPlane[y * RgbStride(kw) + 3 * x + 1], y + ky);
        ASSERT_EQ(f->alphaPlane[y * IndexStride(kw) + x], x + kx + y + ky);
      }
  }
}

class Transparency : public CoreTest {
 protected:
  // 10 x 2: pixel = x % 4, so index 3 sits at columns 3 and 7 of both rows.
  PalettePtr palette = RampPalette(16);
  std::unique_ptr<Frame> frame{
      PaintedFrame(10, 2, palette.get(), [](uint32_t x, uint32_t) { return x % 4; })};
};

TEST_F(Transparency, MaskFollowsFlagIndexAndPixels) {
  SetTransparentIndex(frame.get(), 3);
  EXPECT_TRUE(frame->transparencyMask.empty()) << "flag still off";
  SetTransparency(frame.get(), true);
  EXPECT_EQ(MaskErrors(*frame), 0);
  EXPECT_EQ(frame->transparencyMask[0], 0x11);  // columns 3 and 7, most significant bit first
  SetTransparentIndex(frame.get(), 1);
  EXPECT_EQ(MaskErrors(*frame), 0);
  std::vector<uint8_t> dib = frame->dib;
  dib[DibBitsOffset + 2] = 1;
  SetFrameDib(frame.get(), dib);
  EXPECT_EQ(MaskErrors(*frame), 0);
  SetTransparency(frame.get(), false);
  SetFrameDib(frame.get(), dib);
  EXPECT_TRUE(frame->transparencyMask.empty());
  SetTransparency(frame.get(), true);
  SetFrameDib(frame.get(), {});  // no pixels, no mask
  EXPECT_TRUE(frame->transparencyMask.empty());
}

// The strip shows transparent pixels as the window chose: the image's colour entry for the
// transparent index takes the chosen colour, the frame's own, or the window's background.
TEST_F(Transparency, DisplayColourFollowsTheWindowsChoice) {
  SetTransparentIndex(frame.get(), 3);
  SetTransparency(frame.get(), true);
  auto shown = [&] {
    UpdateDibColourTable(frame.get());
    const uint8_t* quad = frame->dib.data() + DibHeaderSize + 4 * 3;
    return uint32_t{quad[2]} | uint32_t{quad[1]} << 8 | uint32_t{quad[0]} << 16;
  };
  const PaletteEntry& e = palette->entries[3];
  const uint32_t own = e.red | e.green << 8 | e.blue << 16;
  SetTransparencyDisplay({TransparencyDisplay::Custom, 0xFF123456});
  EXPECT_EQ(shown(), 0x123456u);
  EXPECT_EQ(TransparencyDisplayColour(frame.get()), 0x123456u);
  SetTransparencyDisplay({TransparencyDisplay::FrameColour, 0x123456});
  EXPECT_EQ(shown(), own);
  SetTransparencyDisplay({TransparencyDisplay::WindowBackground, 0x123456});
  EXPECT_EQ(shown(), ButtonFaceColour());
  SetTransparencyDisplay({7, 0x123456});  // an unknown mode: the background
  EXPECT_EQ(shown(), ButtonFaceColour());
  SetTransparencyDisplay({});
}

TEST_F(Transparency, AutomaticTransparencyAndSingleFrameDisposal) {
  AnimationPtr a = NumberedAnimation(3);
  Frame *f0 = FrameAt(*a, 0), *f1 = FrameAt(*a, 1), *f2 = FrameAt(*a, 2);
  SetRgbPlane(f2, std::vector<uint8_t>(RgbStride(4) * 3, 0));
  SetTransparentIndex(f1, 9);
  SetTransparency(f1, true);
  const PaletteEntry& e = a->globalPalette->entries[5];
  ApplyAutoTransparency(*a, 0x123456);  // not in the palette: nothing
  EXPECT_FALSE(f0->Transparent());
  ApplyAutoTransparency(*a, e.red | e.green << 8 | e.blue << 16);
  EXPECT_TRUE(f0->Transparent() && f0->transparentIndex == 5 && !f0->transparencyMask.empty());
  EXPECT_EQ(f1->transparentIndex, 9);  // already transparent
  EXPECT_FALSE(f2->Transparent());     // has true colour

  SingleFrameRestoresBackground(*a);
  EXPECT_EQ(f0->Disposal(), DisposalNone) << "only for one frame";
  AnimationPtr one = NumberedAnimation(1);
  FirstFrame(*one)->controlFlags = 0xE1;  // kept bits stay
  SingleFrameRestoresBackground(*one);
  EXPECT_EQ(FirstFrame(*one)->controlFlags, 0xE1 | DisposalBackground << 2);
}

// Widths around the word sizes the counting and masking loops work in.
TEST(PixelCounts, CountsAndMasksMatchAPixelByPixelWalk) {
  std::mt19937 rng(7);
  for (uint32_t width : {1u, 3u, 7u, 8u, 9u, 15u, 16u, 17u, 31u, 33u, 64u, 71u}) {
    AnimationPtr a = MakeDocument(width, 5);
    std::vector<uint8_t> px(width * 5);
    for (uint8_t& p : px) p = rng() % 3 ? static_cast<uint8_t>(rng() % 6) : 2;
    Frame* f = AddFrame(*a, 0, 0, width, 5, px, 0, 2, 10);
    std::array<uint32_t, 256> all{}, opaque{}, want{};
    for (uint8_t p : px) ++want[p];
    CountFrameColours(f, all.data(), true);
    CountOpaqueFrameColours(f, opaque.data(), true);
    EXPECT_EQ(all, want) << width;
    want[2] = 0;
    EXPECT_EQ(opaque, want) << width;

    EXPECT_EQ(MaskErrors(*f), 0) << width;
  }
}

// A big animation is counted on several threads: the counters are those of one.
TEST(PixelCounts, ABigAnimationCountsTheSameOnAnyThreadCount) {
  AnimationPtr a = MakeDocument(400, 300);
  std::mt19937 rng(3);
  uint64_t opaque = 0;
  for (int i = 0; i < 12; ++i) {
    std::vector<uint8_t> px(400 * 300, static_cast<uint8_t>(i));
    for (size_t k = 0; k < px.size(); k += 1 + rng() % 50) px[k] = static_cast<uint8_t>(rng());
    for (uint8_t p : px) opaque += i % 2 == 0 || p != 5;
    AddFrame(*a, 0, 0, 400, 300, px, 0, i % 2 ? 5 : -1, 10);
  }
  for (bool opaqueOnly : {false, true}) {
    std::array<uint32_t, 256> counts[3];
    for (int n = 0; n < 3; ++n) {
      SetGifEncoderThreads(n * 2 + 1);
      counts[n].fill(1);
      EXPECT_TRUE(CountGlobalFramesColours(*a, counts[n].data(), opaqueOnly, 0));
    }
    SetGifEncoderThreads(0);
    EXPECT_EQ(counts[0], counts[1]);
    EXPECT_EQ(counts[0], counts[2]);
    uint64_t total = 0;
    for (uint32_t n : counts[0]) total += n;
    EXPECT_EQ(total, (opaqueOnly ? opaque : 12u * 400 * 300) + 256) << opaqueOnly;
  }
}

}  // namespace
}  // namespace lw::test
