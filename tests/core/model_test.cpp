// The document model: block lists, names, copies, comments, delays and colour counts.
#include <array>

#include "base/progress.h"
#include "core_fixture.h"

namespace lw::test {
namespace {

class Model : public CoreTest {};

TEST_F(Model, HugeImagesFailCleanly) {
  EXPECT_EQ(IndexStride(0xFFFFFFFFu), 0x100000000u);  // no wrap
  std::unique_ptr<Frame> frame(NewFrame(0x7FFFFFFF, 0x7FFFFFFF));
  EXPECT_FALSE(NewFrameDib(frame.get()));
  EXPECT_TRUE(frame->dib.empty());
  frame->width = 0x80000000u;  // does not fit biWidth
  frame->height = 1;
  EXPECT_FALSE(NewFrameDib(frame.get()));
  EXPECT_TRUE(BuildDib(1u << 17, 1u << 16, nullptr).empty());  // 2^33 bytes: refused
  EXPECT_EQ(NewBlock(BlockKind::Comment, SIZE_MAX), nullptr);
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
}  // namespace lw::test
