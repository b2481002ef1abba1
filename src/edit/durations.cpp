#include "edit/durations.h"

#include <cmath>
#include <new>

namespace lw {

uint32_t DelayFromTableValue(float value) {
  if (!(value > 0)) return 0;  // also NaN
  double rounded = std::trunc(static_cast<double>(value) + 0.5);
  if (rounded >= MaxDelay) return MaxDelay;
  return static_cast<uint32_t>(rounded);
}

bool ParseDurationOperand(std::string_view text, DurationOperation operation, double* value) {
  size_t i = 0, end = text.size();
  while (i < end && (text[i] == ' ' || text[i] == '\t')) ++i;
  while (end > i && (text[end - 1] == ' ' || text[end - 1] == '\t')) --end;
  bool negative = false;
  if (i < end && (text[i] == '-' || text[i] == '+')) negative = text[i++] == '-';
  bool decimal = operation == DurationOperation::Multiply || operation == DurationOperation::Divide;
  double result = 0, scale = 0;
  int digits = 0;
  for (; i < end; ++i) {
    char c = text[i];
    if (c >= '0' && c <= '9') {
      ++digits;
      if (scale > 0) {
        result += (c - '0') * scale;
        scale /= 10;
      } else {
        result = result * 10 + (c - '0');
      }
    } else if (decimal && (c == '.' || c == ',') && scale == 0) {
      scale = 0.1;
    } else {
      return false;
    }
  }
  if (digits == 0 || !std::isfinite(result)) return false;
  *value = negative ? -result : result;
  return true;
}

bool ApplyDurationOperation(DelayTable& table, DurationOperation operation, double value) {
  if (!std::isfinite(value)) return false;
  double factor = 1;
  if (operation == DurationOperation::Divide) {
    if (value == 0) return false;
    factor = std::fabs(1 / value);
  } else if (operation == DurationOperation::Multiply) {
    factor = std::fabs(value);
  }
  for (float& entry : table) {
    double v = entry;
    switch (operation) {
      case DurationOperation::Set: v = value; break;
      case DurationOperation::Add: v += value; break;
      case DurationOperation::Subtract: v -= value; break;
      case DurationOperation::Multiply:
      case DurationOperation::Divide: v *= factor; break;
    }
    // Kept where a GIF delay can follow, so that a later operation starts from what is shown.
    if (!(v > 0)) v = 0;
    if (v > MaxDelay) v = MaxDelay;
    entry = static_cast<float>(v);
  }
  return true;
}

DelayTable LoadDelayTable(const Animation& animation) {
  DelayTable table;
  try {
    for (const Frame* f = FirstFrame(animation); f; f = NextFrame(f))
      table.push_back(static_cast<float>(f->delay));
  } catch (const std::bad_alloc&) {
    table.clear();
  }
  return table;
}

std::vector<uint32_t> FrameDelays(const Animation& animation) {
  std::vector<uint32_t> delays;
  try {
    for (const Frame* f = FirstFrame(animation); f; f = NextFrame(f)) delays.push_back(f->delay);
  } catch (const std::bad_alloc&) {
    delays.clear();
  }
  return delays;
}

void WriteDelayTable(Animation& animation, const DelayTable& table) {
  size_t i = 0;
  for (Frame* f = FirstFrame(animation); f && i < table.size(); f = NextFrame(f), ++i)
    f->delay = DelayFromTableValue(table[i]);
}

int PreviousFrameNumber(int k, int count) { return k <= 1 ? count : k - 1; }

}  // namespace lw
