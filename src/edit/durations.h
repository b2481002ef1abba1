// The arithmetic of the duration editor: a table of delays, one per frame, retimed by one
// operation at a time. The table keeps fractions so that repeated operations do not lose time
// to rounding; frames get whole delays.
#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

#include "core/animation.h"

namespace lw {

// The largest delay a GIF file can hold.
constexpr uint32_t MaxDelay = 65535;

enum class DurationOperation { Set = 0, Add, Subtract, Multiply, Divide };

using DelayTable = std::vector<float>;

// The delay a frame gets from a table value: rounded half up, kept within 0..MaxDelay.
uint32_t DelayFromTableValue(float value);

// The operand typed in the value field. Set, add and subtract take a whole number (an optional
// sign and digits); multiply and divide a decimal one ("1.5" or "1,5"). False when the text is
// not such a number.
bool ParseDurationOperand(std::string_view text, DurationOperation operation, double* value);

// Applies the operation to every entry: set to v (0 when v < 0); add or subtract v (results below
// 0 become 0); multiply by |v|; divide by |v|. Results are kept within 0..MaxDelay. Dividing by 0
// changes nothing and returns false.
bool ApplyDurationOperation(DelayTable& table, DurationOperation operation, double value);

// The table from the frames' delays, in frame order; empty when memory is short.
DelayTable LoadDelayTable(const Animation& animation);
// The frames' delays, in frame order.
std::vector<uint32_t> FrameDelays(const Animation& animation);
// Writes every table value (rounded) into its frame; frames beyond the table are left alone.
void WriteDelayTable(Animation& animation, const DelayTable& table);

// The frame shown before frame k (1-based) when playing in a loop: k - 1, or the last frame for
// frame 1; equal to k for a single frame.
int PreviousFrameNumber(int k, int count);

}  // namespace lw
