#include <gtest/gtest.h>

#include <cstring>

#include "base/preferences.h"
#include "base/progress.h"
#include "core/animation.h"
#include "support_animation.h"

namespace lw {
namespace {

using testing_support::FrameNumbers;
using testing_support::NumberedAnimation;
using testing_support::PaintedFrame;
using testing_support::Pixel;
using testing_support::RampPalette;
using testing_support::SameAnimation;

class Model : public testing_support::ModelTest {};

uint32_t Le32(const uint8_t* p) { return p[0] | p[1] << 8 | p[2] << 16 | uint32_t(p[3]) << 24; }

TEST_F(Model, StridesAndDegenerateSizes) {
  EXPECT_EQ(IndexStride(3), 4u);
  EXPECT_EQ(RgbStride(3), 12u);
  EXPECT_EQ(MaskStride(1), 4u);
  EXPECT_EQ(MaskStride(33), 8u);
  EXPECT_EQ(IndexStride(0xFFFFFFFFu), 0x100000000u);  // no wrap

  std::unique_ptr<Frame> empty(NewFrame(0, 0));
  ASSERT_TRUE(NewFrameDib(empty.get()));
  EXPECT_EQ(empty->dib.size(), DibBitsOffset + 4);
  EXPECT_EQ(empty->DibWidth(), 1u);
  EXPECT_EQ(empty->DibHeight(), 1u);
  EXPECT_EQ(empty->bits(), empty->dib.data() + 1064);
}

TEST_F(Model, DibHeaderAndColourTableBytes) {
  PalettePtr palette = RampPalette(3);
  std::unique_ptr<Frame> frame(NewFrame(3, 2));
  frame->palette = palette.get();
  ASSERT_TRUE(NewFrameDib(frame.get()));
  const uint8_t* d = frame->dib.data();
  ASSERT_EQ(frame->dib.size(), 1064u + 4 * 2);
  EXPECT_EQ(Le32(d), 40u);
  EXPECT_EQ(Le32(d + 4), 3u);
  EXPECT_EQ(static_cast<int32_t>(Le32(d + 8)), -2);
  EXPECT_EQ(d[12] | d[13] << 8, 1);  // planes
  EXPECT_EQ(d[14] | d[15] << 8, 8);  // bits per pixel
  for (int i = 16; i < 40; ++i) EXPECT_EQ(d[i], 0) << i;
  // RGBQUADs: blue, green, red, 0; entries past the palette are 0.
  EXPECT_EQ(d[40 + 4 * 2 + 0], 6);
  EXPECT_EQ(d[40 + 4 * 2 + 1], 253);
  EXPECT_EQ(d[40 + 4 * 2 + 2], 2);
  EXPECT_EQ(d[40 + 4 * 2 + 3], 0);
  for (size_t i = 40 + 4 * 3; i < 1064 + 8; ++i) ASSERT_EQ(d[i], 0) << i;

  SetDibSize(frame.get(), 7, 5);
  EXPECT_EQ(frame->DibWidth(), 7u);
  EXPECT_EQ(static_cast<int32_t>(Le32(d + 8)), -5);
}

TEST_F(Model, HugeImagesFailCleanly) {
  std::unique_ptr<Frame> frame(NewFrame(0x7FFFFFFF, 0x7FFFFFFF));
  EXPECT_FALSE(NewFrameDib(frame.get()));
  EXPECT_TRUE(frame->dib.empty());
  frame->width = 0x80000000u;  // does not fit biWidth
  frame->height = 1;
  EXPECT_FALSE(NewFrameDib(frame.get()));
  EXPECT_TRUE(BuildDib(1u << 17, 1u << 16, nullptr).empty());  // 2^33 bytes: refused
  EXPECT_EQ(NewBlock(BlockKind::Comment, SIZE_MAX), nullptr);
}

TEST_F(Model, ControlExtensionDelayFollowsTheDelayUnit) {
  const uint8_t gce[6] = {4, 0x09, 0x2C, 0x01, 7, 0};  // delay 300
  std::unique_ptr<Frame> f(FrameFromControlExtension(gce));
  EXPECT_EQ(f->delay, 300u);
  EXPECT_EQ(f->controlFlags, 0x09);
  EXPECT_EQ(f->transparentIndex, 7);
  EXPECT_EQ(f->Disposal(), DisposalBackground);
  EXPECT_TRUE(f->Transparent());

  SetPref(PrefDelayUnits, 50);
  f.reset(FrameFromControlExtension(gce));
  EXPECT_EQ(f->delay, 150u);
  for (uint32_t bad : {0u, 101u, 1000u}) {  // outside 1..100: no division by zero
    SetPref(PrefDelayUnits, bad);
    f.reset(FrameFromControlExtension(gce));
    EXPECT_EQ(f->delay, 300u) << bad;
  }
  SetPref(PrefDefaultDelay, 42);
  f.reset(FrameFromControlExtension(nullptr));
  EXPECT_EQ(f->delay, 42u);
  EXPECT_EQ(f->controlFlags, 0);
}

TEST_F(Model, FrameLookupSkipsExtensionBlocks) {
  AnimationPtr a = NumberedAnimation(3);
  // Comments before the first frame and between the frames.
  InsertBlockAfter(a->blocks, NewBlock(BlockKind::Comment, 2));
  InsertBlockAfter(FrameAt(*a, 0), NewBlock(BlockKind::Application, 2));
  InsertBlockAfter(FrameAt(*a, 1), NewBlock(BlockKind::Comment, 2));
  EXPECT_EQ(FrameAt(*a, -1), nullptr);
  EXPECT_EQ(FrameAt(*a, 3), nullptr);
  EXPECT_EQ(FrameAt(*a, 2)->bits()[0], 3);
  EXPECT_EQ(FrameIndex(*a, FrameAt(*a, 2)), 2);
  EXPECT_EQ(FrameIndex(*a, nullptr), -1);
  EXPECT_EQ(PrevFrame(FrameAt(*a, 1)), FrameAt(*a, 0));
  EXPECT_EQ(PrevFrame(FrameAt(*a, 0)), nullptr);
  EXPECT_EQ(FrameNumbers(*a), (std::vector<int>{1, 2, 3}));

  FrameAt(*a, 1)->selected = 1;
  FrameAt(*a, 2)->selected = 1;
  EXPECT_EQ(FirstSelectedFrame(*a), FrameAt(*a, 1));
  EXPECT_EQ(NextSelectedFrame(FrameAt(*a, 1)), FrameAt(*a, 2));
  EXPECT_EQ(NextSelectedFrame(FrameAt(*a, 2)), nullptr);

  a->anchorIndex = 1;
  SetSelectedCount(*a, 0);
  EXPECT_EQ(a->anchorIndex, -1);
}

TEST_F(Model, ReverseMovesExtensionBlocksAlong) {
  AnimationPtr a = NumberedAnimation(3);
  Block* comment = NewBlock(BlockKind::Comment, 2);
  InsertBlockAfter(FrameAt(*a, 0), comment);  // 1 c 2 3
  ASSERT_TRUE(ReverseBlocks(*a));
  EXPECT_EQ(FrameNumbers(*a), (std::vector<int>{3, 2, 1}));
  EXPECT_EQ(comment->prev, FrameAt(*a, 1));  // 3 2 c 1
  EXPECT_EQ(comment->next, FrameAt(*a, 2));
  // Links hold both ways.
  for (Block* b = a->blocks; b->next; b = b->next) ASSERT_EQ(b->next->prev, b);
  EXPECT_EQ(a->blocks->prev, nullptr);

  AnimationPtr one = NumberedAnimation(1);
  InsertBlockAfter(one->blocks, NewBlock(BlockKind::Comment, 2));
  Block* first = one->blocks->next;
  EXPECT_FALSE(ReverseBlocks(*one));
  EXPECT_EQ(one->blocks->next, first);
}

TEST_F(Model, PingPongAppendsTheInnerFramesBackwards) {
  AnimationPtr a = NumberedAnimation(4);
  ASSERT_TRUE(AppendPingPong(*a));
  EXPECT_EQ(FrameNumbers(*a), (std::vector<int>{1, 2, 3, 4, 3, 2}));
  EXPECT_EQ(a->frameCount, 6);
  Frame* copy = FrameAt(*a, 4);
  EXPECT_NE(copy->dib.data(), FrameAt(*a, 2)->dib.data());
  EXPECT_EQ(copy->nameAtom, FrameAt(*a, 2)->nameAtom);
  EXPECT_EQ(copy->palette, a->globalPalette.get());
  EXPECT_EQ(NameAtomReferences(copy->nameAtom), 2);

  AnimationPtr two = NumberedAnimation(2);
  ASSERT_TRUE(AppendPingPong(*two));
  EXPECT_EQ(FrameNumbers(*two), (std::vector<int>{1, 2}));
  EXPECT_EQ(two->frameCount, 2);
}

TEST_F(Model, FrameNamesAreSharedAndCounted) {
  AnimationPtr a = NumberedAnimation(1);
  Frame* f = FirstFrame(*a);
  NameAtom first = f->nameAtom;
  EXPECT_GE(first, FirstNameAtom);
  EXPECT_EQ(NameAtomReferences(first), 1);

  EXPECT_FALSE(SetFrameName(f, "frame 1"));
  EXPECT_FALSE(SetFrameName(f, "FRAME 1"));  // names ignore case
  EXPECT_EQ(NameAtomReferences(first), 1);
  EXPECT_EQ(FrameName(f), "frame 1");

  EXPECT_TRUE(SetFrameName(f, "Été"));
  EXPECT_EQ(NameAtomReferences(first), 0);
  NameAtom ete = AddNameAtom("éTÉ");
  EXPECT_EQ(ete, f->nameAtom);
  EXPECT_EQ(NameAtomText(ete), "Été");  // the first spelling stays
  EXPECT_EQ(NameAtomReferences(ete), 2);
  ReleaseNameAtom(ete);

  std::unique_ptr<Frame> other(NewFrame(1, 1));
  CopyFrameAttributes(other.get(), f);
  EXPECT_EQ(NameAtomReferences(ete), 2);
  other.reset();  // the destructor gives its reference back
  EXPECT_EQ(NameAtomReferences(ete), 1);

  EXPECT_TRUE(SetFrameName(f, ""));
  EXPECT_EQ(f->nameAtom, 0);
  EXPECT_EQ(NameAtomReferences(ete), 0);
  EXPECT_FALSE(SetFrameName(f, ""));

  std::string longName(300, 'x');
  NameAtom cut = AddNameAtom(longName);
  EXPECT_EQ(NameAtomText(cut).size(), MaxNameLength);
  EXPECT_EQ(AddNameAtom(longName.substr(0, 280)), cut);
  ReleaseNameAtom(cut);
  ReleaseNameAtom(cut);
  EXPECT_EQ(NameAtomText(cut), "");
  EXPECT_EQ(NameAtomText(0), "");
}

TEST_F(Model, DuplicateIsADeepCopy) {
  AnimationPtr a = NumberedAnimation(2);
  a->screenFlags |= 0x08;  // sort flag kept
  Frame* second = FrameAt(*a, 1);
  SetLocalPalette(second, RampPalette(4));
  UpdateDibColourTable(second);
  SetRgbPlane(second, std::vector<uint8_t>(RgbStride(4) * 3, 9));
  SetAlphaPlane(second, std::vector<uint8_t>(IndexStride(4) * 3, 255));
  InsertBlockAfter(LastBlock(*a), NewBlock(BlockKind::Comment, 3));

  AnimationPtr copy = DuplicateAnimation(*a, nullptr);
  ASSERT_TRUE(copy);
  // Every field, block, palette, DIB and plane; each frame borrowing its own document's palette.
  ASSERT_TRUE(SameAnimation(*copy, *a));
  ASSERT_NE(copy->globalPalette.get(), a->globalPalette.get());
  Frame* c1 = FrameAt(*copy, 0);
  Frame* c2 = FrameAt(*copy, 1);
  EXPECT_NE(c2->localPalette.get(), second->localPalette.get());
  EXPECT_EQ(NameAtomReferences(c1->nameAtom), 2);

  c1->bits()[0] = 77;
  copy->globalPalette->entries[0].red = 200;
  EXPECT_EQ(FrameAt(*a, 0)->bits()[0], 1);
  EXPECT_EQ(a->globalPalette->entries[0].red, 0);
  NameAtom atom = c1->nameAtom;
  copy.reset();
  EXPECT_EQ(NameAtomReferences(atom), 1);
  EXPECT_EQ(FrameName(FrameAt(*a, 0)), "frame 1");
}

TEST_F(Model, CancelledDuplicateReturnsWhatWasCopied) {
  AnimationPtr a = NumberedAnimation(3);
  ProgressMeter* meter = CreateProgressMeter(nullptr, progress::Silent, task::ReducePreview);
  SetTaskStopRequest(task::ReducePreview, true);
  AnimationPtr partial = DuplicateAnimation(*a, meter);
  SetTaskStopRequest(task::ReducePreview, false);
  DestroyProgressMeter(meter);
  ASSERT_TRUE(partial);
  EXPECT_EQ(partial->frameCount, 1);
  EXPECT_EQ(FrameNumbers(*partial), (std::vector<int>{1}));
}

TEST_F(Model, MergeChainJoinsTheLists) {
  AnimationPtr a = NumberedAnimation(2);
  AnimationPtr b = NumberedAnimation(1);
  AnimationPtr c = NumberedAnimation(2);
  InsertBlockAfter(c->blocks, NewBlock(BlockKind::Comment, 2));
  b->nextInChain = std::move(c);
  a->nextInChain = std::move(b);
  MergeChain(*a);
  EXPECT_FALSE(a->nextInChain);
  EXPECT_EQ(a->frameCount, 5);
  EXPECT_EQ(FrameNumbers(*a), (std::vector<int>{1, 2, 1, 1, 2}));
  // The chained palettes went with their animations; the frames borrow the first one's.
  for (Frame* f = FirstFrame(*a); f; f = NextFrame(f))
    EXPECT_EQ(f->palette, a->globalPalette.get());
  for (Block* x = a->blocks; x->next; x = x->next) ASSERT_EQ(x->next->prev, x);
}

TEST_F(Model, PaletteSettersKeepThePackedBytes) {
  AnimationPtr a = NumberedAnimation(1);
  EXPECT_EQ(a->screenFlags, 0x80 | 3 << 4 | 3);  // 16 entries
  Frame* f = FirstFrame(*a);
  PalettePtr old = SetGlobalPalette(*a, RampPalette(256));
  EXPECT_EQ(a->screenFlags, 0xF7);
  EXPECT_EQ(f->palette, a->globalPalette.get());  // the borrower follows
  old = SetGlobalPalette(*a, RampPalette(2));
  EXPECT_EQ(a->screenFlags, 0x80);
  old = SetGlobalPalette(*a, nullptr);
  EXPECT_EQ(a->screenFlags, 0);
  EXPECT_EQ(f->palette, nullptr);
  old = SetGlobalPalette(*a, RampPalette(4));
  EXPECT_EQ(f->palette, a->globalPalette.get());

  f->descriptorFlags = 0x58;  // interlaced and bits 3-4 as read
  old = SetLocalPalette(f, RampPalette(5));
  EXPECT_EQ(f->descriptorFlags, 0x80 | 0x58 | 2);
  EXPECT_EQ(f->palette, f->localPalette.get());
  old = SetLocalPalette(f, nullptr);
  ASSERT_TRUE(old);
  EXPECT_EQ(old->Count(), 5);
  EXPECT_EQ(f->descriptorFlags, 0x58);
  EXPECT_EQ(f->palette, nullptr);
}

TEST_F(Model, PaletteHelpers) {
  PalettePtr p = RampPalette(10);  // entry 4 is (4, 251, 12)
  EXPECT_EQ(ExactPaletteIndex(p.get(), 4 | 251 << 8 | 12 << 16), 4);
  EXPECT_EQ(ExactPaletteIndex(p.get(), 4 | 250 << 8 | 12 << 16), -1);
  EXPECT_EQ(ExactPaletteIndex(nullptr, 0), -1);
  p->entries[7] = p->entries[4];
  EXPECT_EQ(p->NearestIndex(4, 251, 12), 4);  // lowest index on ties
  PaletteEntry out[4];
  EXPECT_EQ(p->GetPaletteEntries(8, 4, out), 2);
  EXPECT_EQ(p->GetPaletteEntries(10, 1, out), 0);
}

TEST_F(Model, FrameImageSwapsAndPlanes) {
  PalettePtr global = RampPalette(16);
  std::unique_ptr<Frame> a(PaintedFrame(2, 2, global.get(), [](uint32_t, uint32_t) { return 1; }));
  std::unique_ptr<Frame> b(PaintedFrame(3, 1, global.get(), [](uint32_t, uint32_t) { return 2; }));
  a->left = 5;
  SetInterlaced(a.get(), true);
  SetLocalPalette(b.get(), RampPalette(4));
  SwapFrameImagesAndGeometry(a.get(), b.get());
  EXPECT_EQ(a->bits()[0], 2);
  EXPECT_EQ(a->width, 3u);
  EXPECT_EQ(b->left, 5);
  EXPECT_TRUE(a->localPalette);
  EXPECT_EQ(a->palette, a->localPalette.get());
  EXPECT_EQ(b->palette, global.get());
  EXPECT_EQ(a->descriptorFlags, 0x40 | 0x80 | 1);  // the table bits moved, interlace stayed
  EXPECT_EQ(b->descriptorFlags, 0);

  SetRgbPlane(a.get(), std::vector<uint8_t>(12, 1));
  SetAlphaPlane(a.get(), std::vector<uint8_t>(4, 255));
  FreeRgbPlane(a.get());
  EXPECT_TRUE(a->alphaPlane.empty());
  SetAlphaPlane(a.get(), std::vector<uint8_t>(4, 0));  // never without a colour plane
  EXPECT_TRUE(a->alphaPlane.empty());
}

TEST_F(Model, CommentTexts) {
  std::unique_ptr<Block> comment(NewBlock(BlockKind::Comment, 0));
  ASSERT_TRUE(SetCommentText(comment.get(), "Bonjour"));
  auto& data = static_cast<ExtensionBlock*>(comment.get())->data;
  EXPECT_EQ(data, (std::vector<uint8_t>{7, 'B', 'o', 'n', 'j', 'o', 'u', 'r', 0}));
  std::string text;
  ASSERT_TRUE(CommentText(comment.get(), &text));
  EXPECT_EQ(text, "Bonjour");

  std::string longText(300, 'z');
  ASSERT_TRUE(SetCommentText(comment.get(), longText));
  EXPECT_EQ(data.size(), 1 + 255 + 1 + 45 + 1u);
  EXPECT_EQ(data[256], 45);
  ASSERT_TRUE(CommentText(comment.get(), &text));
  EXPECT_EQ(text, longText);

  data = {9, 'a', 'b'};  // a damaged length is cut to the data
  ASSERT_TRUE(CommentText(comment.get(), &text));
  EXPECT_EQ(text, "ab");
  ASSERT_TRUE(SetCommentText(comment.get(), ""));
  EXPECT_EQ(data, (std::vector<uint8_t>{0, 0}));

  std::unique_ptr<Block> app(NewBlock(BlockKind::Application, 2));
  EXPECT_FALSE(SetCommentText(app.get(), "x"));
  EXPECT_FALSE(CommentText(app.get(), &text));
}

TEST_F(Model, WholeDocumentQueries) {
  AnimationPtr a = NumberedAnimation(2);
  Frame* f0 = FrameAt(*a, 0);
  Frame* f1 = FrameAt(*a, 1);
  f0->left = -3;
  f0->top = 2;
  f1->left = 10;
  f1->top = -7;
  f0->delay = 5;
  f1->delay = 0xFFFFFFFF;
  Extent e = FramesExtent(*a);
  EXPECT_EQ(e.right, 14);
  EXPECT_EQ(e.bottom, 5);
  Bounds b = FramesBounds(*a);
  EXPECT_EQ(b.left, -3);
  EXPECT_EQ(b.top, -7);
  EXPECT_EQ(b.right, 14);
  EXPECT_EQ(b.bottom, 5);
  EXPECT_EQ(TotalDuration(*a), 5 + 0xFFFFFFFFull);

  // Hundredths to tenths and back: the length in seconds stays, to the nearest tick.
  for (auto [delay, from, to, expected] :
       std::vector<std::tuple<uint32_t, uint32_t, uint32_t, uint32_t>>{
           {5, 100, 10, 1},
           {4, 100, 10, 0},
           {25, 100, 10, 3},
           {3, 10, 100, 30},
           {7, 100, 100, 7},
           {7, 0, 100, 7} /* a broken unit counts as 100 */,
           {7, 100, 0, 7},
           {9, 25, 50, 18}}) {
    f0->delay = delay;
    SetPref(PrefDelayUnits, to);
    RescaleDelays(*a, from);
    EXPECT_EQ(f0->delay, expected) << delay << " from " << from << " to " << to;
  }
  f1->delay = 0xFFFFFFFF;
  SetPref(PrefDelayUnits, 100);
  RescaleDelays(*a, 10);
  EXPECT_EQ(f1->delay, 0xFFFFFFFFu);  // held at the largest delay

  a->screenFlags = 0x80 | 0x10 | 3;
  SetLocalPalette(f1, RampPalette(64));
  RefreshLogicalScreenFlags(*a);
  EXPECT_EQ(a->screenFlags, 0x80 | 0x50 | 3);
  a->screenFlags = 0x88 | 0x70 | 1;
  RefreshLogicalScreenFlags(*a);
  EXPECT_EQ(a->screenFlags, 0x88 | 0x70 | 1);
}

TEST_F(Model, ColourUsageCountsGlobalFramesWithoutPadding) {
  AnimationPtr a = NumberedAnimation(3, 3, 2);  // stride 4: one padding byte per row
  for (Frame* f = FirstFrame(*a); f; f = NextFrame(f)) {
    for (int y = 0; y < 2; ++y) f->bits()[y * 4 + 3] = 9;  // padding that must not count
  }
  SetLocalPalette(FrameAt(*a, 1), RampPalette(4));
  FrameAt(*a, 2)->bits()[0] = 0;
  std::array<uint32_t, 256> counts;
  counts.fill(1000);
  ASSERT_TRUE(CountColourUsage(*a, counts.data(), true));
  EXPECT_EQ(counts[1], 6u);
  EXPECT_EQ(counts[2], 0u);  // local palette
  EXPECT_EQ(counts[3], 5u);
  EXPECT_EQ(counts[0], 1u);
  EXPECT_EQ(counts[9], 0u);
  ASSERT_TRUE(CountColourUsage(*a, counts.data(), false));
  EXPECT_EQ(counts[1], 12u);

  SetTransparentIndex(FrameAt(*a, 2), 3);
  SetTransparency(FrameAt(*a, 2), true);
  CountOpaqueColourUsage(*a, counts.data(), true);
  EXPECT_EQ(counts[1], 6u);
  EXPECT_EQ(counts[3], 0u);
  EXPECT_EQ(counts[0], 1u);

  SetTaskStopRequest(task::ColourCount, true);
  counts.fill(7);
  EXPECT_FALSE(CountColourUsage(*a, counts.data(), true));
  SetTaskStopRequest(task::ColourCount, false);
  EXPECT_EQ(counts[1], 0u);  // stopped before the first frame

  SetGlobalPalette(*a, nullptr);
  counts.fill(7);
  EXPECT_TRUE(CountColourUsage(*a, counts.data(), true));
  EXPECT_EQ(counts[1], 0u);
}

}  // namespace
}  // namespace lw
