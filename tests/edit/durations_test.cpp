#include "edit/durations.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <tuple>

#include "support/document.h"

namespace lw {
namespace {

// Random chains of operations against a plain model in doubles: the table keeps fractions (so
// multiplying back gives the exact delay), stays within 0..65535, and rounds half up.
TEST(Durations, RandomOperationChainsFollowThePlainArithmetic) {
  std::mt19937 rng(12);
  for (int round = 0; round < 200; ++round) {
    DelayTable table;
    std::vector<double> model;
    for (int i = 0; i < 4; ++i) {
      table.push_back(static_cast<float>(rng() % 500));
      model.push_back(table.back());
    }
    for (int step = 0; step < 6; ++step) {
      const auto op = static_cast<DurationOperation>(rng() % 5);
      double v = static_cast<int>(rng() % 200) - 50;
      if (op >= DurationOperation::Multiply) v = v / 8;
      const bool done = ApplyDurationOperation(table, op, v);
      ASSERT_EQ(done, !(op == DurationOperation::Divide && v == 0));
      for (double& m : model) {
        switch (op) {
          case DurationOperation::Set: m = std::max(v, 0.0); break;
          case DurationOperation::Add: m = std::max(m + v, 0.0); break;
          case DurationOperation::Subtract: m = std::max(m - v, 0.0); break;
          case DurationOperation::Multiply: m *= std::abs(v); break;
          case DurationOperation::Divide: m = v == 0 ? m : m / std::abs(v); break;
        }
        m = std::min(m, 65535.0);
      }
      for (size_t i = 0; i < table.size(); ++i) {
        ASSERT_NEAR(table[i], model[i], 1e-3 * (1 + model[i])) << "round " << round;
        const double rounded = std::floor(model[i] + 0.5);
        if (std::abs(model[i] + 0.5 - rounded) > 1e-2) {  // clear of the half
          ASSERT_EQ(DelayFromTableValue(table[i]), rounded) << "round " << round;
        }
      }
    }
  }
  EXPECT_EQ(std::make_tuple(DelayFromTableValue(-3.f), DelayFromTableValue(65535.4f), DelayFromTableValue(2.5f)),
            std::make_tuple(0u, 65535u, 3u));
}

// Whole numbers for setting, adding and subtracting; decimals, with a point or a comma, for
// multiplying and dividing.
TEST(Durations, OperandIsWholeOrDecimalByOperation) {
  const std::tuple<const char*, DurationOperation, bool, double> cases[] = {
      {" 25 ", DurationOperation::Add, true, 25},       {"-3", DurationOperation::Set, true, -3},
      {"0,25", DurationOperation::Divide, true, 0.25},  {"1.5", DurationOperation::Multiply, true, 1.5},
      {"1.5", DurationOperation::Set, false, 0},        {"12a", DurationOperation::Set, false, 0},
      {"-", DurationOperation::Set, false, 0},          {"", DurationOperation::Set, false, 0},
      {"1.2.3", DurationOperation::Multiply, false, 0}};
  for (auto [text, op, ok, expected] : cases) {
    double v = 0;
    EXPECT_EQ(ParseDurationOperand(text, op, &v), ok) << text;
    EXPECT_DOUBLE_EQ(v, expected) << text;
  }
}

TEST(Durations, TableRoundTripsThroughFramesAndPreviousWraps) {
  AnimationPtr a = test::MakeDocument(4, 4);
  for (uint32_t d : {7u, 0u, 300u}) test::AddSolidFrame(*a, 0, 0, 4, 4, 1)->delay = d;
  DelayTable t = LoadDelayTable(*a);
  EXPECT_EQ(t, (DelayTable{7, 0, 300}));
  t[1] = 12.5f;
  WriteDelayTable(*a, t);
  EXPECT_EQ(FrameDelays(*a), (std::vector<uint32_t>{7, 13, 300}));
  WriteDelayTable(*a, DelayTable(1, 1.f));  // a short table leaves the later frames alone
  EXPECT_EQ(FrameDelays(*a), (std::vector<uint32_t>{1, 13, 300}));
  EXPECT_EQ(PreviousFrameNumber(1, 3), 3);
  EXPECT_EQ(PreviousFrameNumber(3, 3), 2);
  EXPECT_EQ(PreviousFrameNumber(1, 1), 1);
}

}  // namespace
}  // namespace lw
