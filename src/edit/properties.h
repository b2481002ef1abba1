// The changes of the property dialogs: one frame's settings, those of the selected frames or of
// every frame, the animation's own settings, its comment blocks, and thinning out the frames.
// Each dialog reads its fields into a request, checks it with the Validate function (which asks
// the user through the platform services) and hands it to the Apply function on OK.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "colour/palette_fit.h"
#include "core/animation.h"
#include "platform/services.h"

namespace lw {

// Change bits a properties page reports to the caller.
namespace propchange {
constexpr uint32_t CurrentFrame = 4;
constexpr uint32_t SeveralFrames = 8;
constexpr uint32_t LoopOrBackground = 16;
constexpr uint32_t GlobalPalette = 32;
constexpr uint32_t ScreenSize = 64;
}  // namespace propchange

// Which frames a frame page covers.
enum class FrameScope { Current, Selected, All };

// A frame page as the user leaves it. On the selected/all pages an empty optional is an empty
// field, an indeterminate box or a list without selection: the frames keep their own value.
struct FramePropertiesRequest {
  FrameScope scope = FrameScope::Current;
  int frameIndex = -1;              // the current frame (Current scope)
  std::optional<std::string> name;  // Current scope only
  std::optional<bool> interlaced;
  std::optional<int64_t> left;
  std::optional<int64_t> top;
  std::optional<int64_t> delay;
  int disposal = -1;                // 0..3, -1 none selected
  bool dropTrueColour = false;      // the 24-bit box unchecked while the frame keeps the data
  bool removeLocalPalette = false;  // the local palette box enabled and unchecked
  std::optional<bool> transparent;  // the box; empty when indeterminate
  // The transparency choice, when its dialog was accepted: the chosen indexes, the first one
  // becoming the transparent index and the others merged into it; none = not transparent.
  bool transparencyAccepted = false;
  std::vector<uint8_t> transparentIndexes;
  // How a removed local palette's frame joins the global one.
  PaletteFitOptions paletteFit{};
};

// The frames a page covers, in order.
std::vector<Frame*> CoveredFrames(const Animation& animation, FrameScope scope, int frameIndex);

// A page filled from the covered frames: shared values are set, differing ones left empty.
FramePropertiesRequest FillFrameRequest(const Animation& animation, FrameScope scope,
                                        int frameIndex);

// Which field a failed check puts the focus on.
enum class PropertyField { None, Left, Top, Delay, Width, Height, LoopCount };

// Offsets against ±65535 and the screen (with the cropping question), then the delay.
PropertyField ValidateFrameFields(WindowHandle owner, const Animation& animation,
                                  const FramePropertiesRequest& request);

struct PropertiesResult {
  bool ok = true;        // false: the dialog stays up (a local palette could not be removed)
  uint32_t changes = 0;  // propchange:: bits
  uint32_t hints = 0;    // refresh:: bits for the window
};

// Records one undo entry and changes the covered frames; nothing when nothing differs.
PropertiesResult ApplyFrameProperties(WindowHandle owner, Animation& animation,
                                      const FramePropertiesRequest& request);

// The animation page as the user leaves it.
struct AnimationPropertiesRequest {
  bool sizeEdited = false;
  int64_t width = 0;
  int64_t height = 0;
  int64_t loopCount = 0;
  int backgroundIndex = 0;  // the pending background colour index
};

AnimationPropertiesRequest FillAnimationRequest(const Animation& animation);
// The smallest screen that holds every frame ("Dimensions auto").
void AutoScreenSize(const Animation& animation, int64_t* width, int64_t* height);
PropertyField ValidateAnimationFields(WindowHandle owner, const Animation& animation,
                                      const AnimationPropertiesRequest& request);
// Records one undo entry when anything differs.
PropertiesResult ApplyAnimationProperties(Animation& animation,
                                          const AnimationPropertiesRequest& request);

// Comment blocks, in the order of the block list.
constexpr size_t MaxCommentLength = 254;
std::vector<ExtensionBlock*> CommentBlocks(const Animation& animation);
std::string CommentAt(const Animation& animation, int index);
// Each comment edit records its own undo entry.
// A new comment that becomes entry position of the list (0..count): after the comment listed
// above it, or first of all blocks when it is the first. False when memory is short.
bool InsertComment(Animation& animation, int position, const std::string& text);
// False when nothing changed: no such comment, the same text, or memory short.
bool ReplaceComment(Animation& animation, int index, const std::string& text);
bool DeleteComment(Animation& animation, int index);

// Deleting every n-th frame: n must lie in 2..frame count.
bool ValidateReduceStep(WindowHandle owner, const Animation& animation, int64_t step);
// Frames left after deleting every step-th of count; -1 when step is out of range.
int FramesAfterReduction(int count, int64_t step);
// Where the frame at index before the reduction is afterwards; a deleted frame gives the one
// before it, which took its delay.
int FrameIndexAfterReduction(int index, int step);
// Records one undo entry, then deletes frames step, 2*step, ... (counted from 1 before the
// reduction), each deleted delay going to the frame before it. Returns the refresh hints.
uint32_t ReduceFrameCount(Animation& animation, int step);

}  // namespace lw
