#include "edit/durations.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <tuple>

#include "support/document.h"

namespace lw {
namespace {

// Random chains of operations on the frames' delays against a plain model in doubles: the table
// keeps fractions, stays within 0..65535, and rounds half up when written back to the frames.
TEST(Durations, RandomOperationChainsFollowThePlainArithmetic) {
  std::mt19937 rng(12);
  for (int round = 0; round < 200; ++round) {
    AnimationPtr a = test::MakeDocument(4, 4);
    std::vector<double> model;
    for (int i = 0; i < 4; ++i) {
      model.push_back(rng() % 500);
      test::AddSolidFrame(*a, 0, 0, 4, 4, 1)->delay = static_cast<uint32_t>(model.back());
    }
    DelayTable table = LoadDelayTable(*a);
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
    std::vector<uint32_t> written;
    for (float v : table) written.push_back(DelayFromTableValue(v));
    WriteDelayTable(*a, table);
    ASSERT_EQ(FrameDelays(*a), written);
  }
  EXPECT_EQ(std::make_tuple(DelayFromTableValue(-3.f), DelayFromTableValue(65535.4f),
                            DelayFromTableValue(2.5f)),
            std::make_tuple(0u, 65535u, 3u));
  EXPECT_EQ(std::make_tuple(PreviousFrameNumber(1, 3), PreviousFrameNumber(3, 3),
                            PreviousFrameNumber(1, 1)),
            std::make_tuple(3, 2, 1));
}

// Whole numbers for setting, adding and subtracting; decimals, with a point or a comma, for
// multiplying and dividing.
TEST(Durations, OperandIsWholeOrDecimalByOperation) {
  const std::tuple<const char*, DurationOperation, bool, double> cases[] = {
      {" 25 ", DurationOperation::Add, true, 25},
      {"-3", DurationOperation::Set, true, -3},
      {"0,25", DurationOperation::Divide, true, 0.25},
      {"1.5", DurationOperation::Multiply, true, 1.5},
      {"1.5", DurationOperation::Set, false, 0},
      {"12a", DurationOperation::Set, false, 0},
      {"-", DurationOperation::Set, false, 0},
      {"", DurationOperation::Set, false, 0},
      {"1.2.3", DurationOperation::Multiply, false, 0}};
  for (auto [text, op, ok, expected] : cases) {
    double v = 0;
    EXPECT_EQ(ParseDurationOperand(text, op, &v), ok) << text;
    EXPECT_DOUBLE_EQ(v, expected) << text;
  }
}

}  // namespace
}  // namespace lw
