// Strips and one file per frame: the "Bande" and "Image(s) individuelle(s)" save choices, and
// the cutting of an opened strip image into frames.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "core/animation.h"

namespace lw {

// The name of each file of an individual-files save. The user's text is kept apart from the
// number (never used as a printf format, so a '%' in a name stays a '%').
struct NumberedName {
  std::string prefix;
  int width = 0;  // minimum number of digits
  std::string suffix;
  bool numbered = false;  // false: every file gets prefix + suffix as they are

  std::string Fill(int number) const;
};

// The smallest d with 10^d at least frameCount (0 below 2 frames): 9 and 10 frames give 1,
// 11 give 2.
int NumberDigits(int frameCount);

// baseName with "." and extension appended unless it already ends so (no regard to case); a run
// of '#' gives the number's place and width (raised to digits), otherwise the number goes just
// before the extension when alwaysNumber is set.
NumberedName NumberedNamePattern(std::string_view baseName, std::string_view extension,
                                 bool alwaysNumber, int digits);

// The strip of optionBits (strips in the high 16 bits, 0x100 vertical) for a document: frames
// per strip and the image size. Strips are clamped to 1..frame count.
struct StripSize {
  int framesPerStrip = 0;
  uint32_t width = 0;
  uint32_t height = 0;
};
StripSize StripSizeFor(const Animation& document, uint32_t optionBits);

// optionBits of a strip choice.
namespace stripopt {
constexpr uint32_t Vertical = 0x100;
constexpr int CountShift = 16;
}  // namespace stripopt

}  // namespace lw
