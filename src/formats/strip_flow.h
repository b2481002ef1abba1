// Strips and one file per frame: the "Bande" and "Image(s) individuelle(s)" save choices, and
// the cutting of an opened strip image into frames.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "core/animation.h"
#include "platform/flow_dialogs.h"

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
// per strip and the image size. Strips are clamped to 1..frame count; a size past 32 bits
// comes back as UINT32_MAX (no picture that large is ever made).
struct StripSize {
  int framesPerStrip = 0;
  uint32_t width = 0;
  uint32_t height = 0;
};
StripSize StripSizeFor(const Animation& document, uint32_t optionBits);

// optionBits of a strip choice.
namespace stripopt {
constexpr uint32_t SelectedOnly = 64;  // individual files of the selected frames only
constexpr uint32_t Vertical = 0x100;
constexpr int CountShift = 16;
}  // namespace stripopt

// A new animation holding one frame: every frame of the document in its cell of the logical
// screen's size, cell after cell along each strip, on the background index. With some 24-bit
// frame (and no still-image bit 4 in optionBits) the strip also gets 24-bit and alpha planes.
// None on failure, 40159 shown (also for a strip too large to make). The frame takes frameDelay.
AnimationPtr BuildStrip(const Animation& document, uint32_t optionBits, uint32_t frameDelay);

// The refusal of a cut for a width x height image: 0 when the counts divide it, else the text
// to show (40164 across, 40165 down; 40159 for more frames than a document holds).
int StripSplitProblem(uint32_t width, uint32_t height, const StripSplitChoice& choice);

// Replaces the document's single frame by its cells, in the chosen order; the logical screen
// becomes the cell size. False (document unchanged, message shown) on a refused choice or
// when memory is short. Each cell's frame takes frameDelay.
bool CutStrip(Animation& document, const StripSplitChoice& choice, uint32_t frameDelay);

// Asks how to cut the document's single frame (the strip import dialog, again after a refused
// choice) and cuts it. False when the document does not hold exactly one frame (40166), on
// cancel or on failure.
bool SplitStrip(Animation& document, uint32_t frameDelay, WindowHandle owner);

// The files an individual-files save writes, in order, each with baseName's folder part. Empty
// when it writes none (no frame, no file name, a type without a frame writer).
std::vector<std::string> IndividualFileNames(const std::string& baseName, const Animation& document,
                                             uint32_t optionBits, int type);
// The names as the Save As panel shows them: "clip01.jpg … clip30.jpg dans /chemin".
std::string IndividualNamesLine(const std::vector<std::string>& names);
// The question asked before such a save writes over files already there, naming the one file or
// how many; empty when none is there.
std::string ReplaceFilesQuestion(const std::vector<std::string>& names);

}  // namespace lw
