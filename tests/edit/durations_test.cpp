#include "edit/durations.h"

#include <gtest/gtest.h>

namespace lw {
namespace {

std::vector<uint32_t> Rounded(const DelayTable& table) {
  std::vector<uint32_t> out;
  for (float v : table) out.push_back(DelayFromTableValue(v));
  return out;
}

TEST(Durations, AddSubtractAndSetClampAtZero) {
  DelayTable t{10, 20, 30};
  ASSERT_TRUE(ApplyDurationOperation(t, DurationOperation::Add, 5));
  EXPECT_EQ(Rounded(t), (std::vector<uint32_t>{15, 25, 35}));
  ASSERT_TRUE(ApplyDurationOperation(t, DurationOperation::Subtract, 25));
  EXPECT_EQ(Rounded(t), (std::vector<uint32_t>{0, 0, 10}));
  DelayTable u{10, 20, 30};
  ApplyDurationOperation(u, DurationOperation::Subtract, 25);
  EXPECT_EQ(Rounded(u), (std::vector<uint32_t>{0, 0, 5}));
  ApplyDurationOperation(u, DurationOperation::Set, -7);
  EXPECT_EQ(Rounded(u), (std::vector<uint32_t>{0, 0, 0}));
  ApplyDurationOperation(u, DurationOperation::Set, 12);
  EXPECT_EQ(Rounded(u), (std::vector<uint32_t>{12, 12, 12}));
  // Adding a negative number subtracts, still stopping at 0.
  ApplyDurationOperation(u, DurationOperation::Add, -20);
  EXPECT_EQ(Rounded(u), (std::vector<uint32_t>{0, 0, 0}));
}

TEST(Durations, MultiplyKeepsFractionsAndRoundsHalfUp) {
  DelayTable t{10, 15};
  ASSERT_TRUE(ApplyDurationOperation(t, DurationOperation::Multiply, 1.5));
  EXPECT_EQ(Rounded(t), (std::vector<uint32_t>{15, 23}));
  // The table keeps 22.5: multiplying back by 2 gives 45, not 46.
  ApplyDurationOperation(t, DurationOperation::Multiply, -2);  // the sign is ignored
  EXPECT_EQ(Rounded(t), (std::vector<uint32_t>{30, 45}));
  ApplyDurationOperation(t, DurationOperation::Divide, -4);
  EXPECT_EQ(Rounded(t), (std::vector<uint32_t>{8, 11}));  // 7.5 and 11.25
}

TEST(Durations, ResultsStayWithinWhatAGifHolds) {
  DelayTable t{60000, 100};
  ApplyDurationOperation(t, DurationOperation::Multiply, 1000);
  EXPECT_EQ(Rounded(t), (std::vector<uint32_t>{65535, 65535}));
  ApplyDurationOperation(t, DurationOperation::Add, 1e12);
  EXPECT_EQ(Rounded(t), (std::vector<uint32_t>{65535, 65535}));
  // Dividing by 0 is refused rather than turning every delay into infinity.
  DelayTable u{10, 20};
  EXPECT_FALSE(ApplyDurationOperation(u, DurationOperation::Divide, 0));
  EXPECT_EQ(Rounded(u), (std::vector<uint32_t>{10, 20}));
  EXPECT_EQ(DelayFromTableValue(-3.f), 0u);
  EXPECT_EQ(DelayFromTableValue(65535.4f), 65535u);
  EXPECT_EQ(DelayFromTableValue(2.49f), 2u);
  EXPECT_EQ(DelayFromTableValue(2.5f), 3u);
}

TEST(Durations, OperandIsWholeOrDecimalByOperation) {
  double v = 0;
  EXPECT_TRUE(ParseDurationOperand(" 25 ", DurationOperation::Add, &v));
  EXPECT_EQ(v, 25);
  EXPECT_TRUE(ParseDurationOperand("-3", DurationOperation::Set, &v));
  EXPECT_EQ(v, -3);
  EXPECT_FALSE(ParseDurationOperand("1.5", DurationOperation::Add, &v));
  EXPECT_TRUE(ParseDurationOperand("1.5", DurationOperation::Multiply, &v));
  EXPECT_DOUBLE_EQ(v, 1.5);
  EXPECT_TRUE(ParseDurationOperand("0,25", DurationOperation::Divide, &v));
  EXPECT_DOUBLE_EQ(v, 0.25);
  EXPECT_FALSE(ParseDurationOperand("", DurationOperation::Set, &v));
  EXPECT_FALSE(ParseDurationOperand("-", DurationOperation::Set, &v));
  EXPECT_FALSE(ParseDurationOperand("1.2.3", DurationOperation::Multiply, &v));
  EXPECT_FALSE(ParseDurationOperand("12a", DurationOperation::Set, &v));
}

TEST(Durations, TableRoundTripsThroughFramesAndPreviousWraps) {
  AnimationPtr a = NewAnimation();
  ASSERT_TRUE(a);
  for (uint32_t d : {7u, 0u, 300u}) {
    Frame* f = NewFrame(4, 4);
    ASSERT_TRUE(f);
    f->delay = d;
    InsertBlockAfter(LastBlock(*a), f);
    ++a->frameCount;
  }
  DelayTable t = LoadDelayTable(*a);
  ASSERT_EQ(t.size(), 3u);
  size_t base = 0;
  EXPECT_EQ(t[base + 2], 300.f);
  t[base + 1] = 12.5f;
  WriteDelayTable(*a, t);
  std::vector<uint32_t> delays = FrameDelays(*a);
  EXPECT_EQ(delays[base + 1], 13u);
  // A short table leaves the later frames alone.
  WriteDelayTable(*a, DelayTable(base + 1, 1.f));
  EXPECT_EQ(FrameDelays(*a)[base + 2], 300u);
  EXPECT_EQ(PreviousFrameNumber(1, 3), 3);
  EXPECT_EQ(PreviousFrameNumber(3, 3), 2);
  EXPECT_EQ(PreviousFrameNumber(1, 1), 1);
}

}  // namespace
}  // namespace lw
