// The rotate and mirror commands and the replay of their undo entries.
#include "shell/geometry_commands.h"

#include <algorithm>

#include "base/progress.h"
#include "core/document_listener.h"
#include "core/undo.h"
#include "shell/command_ids.h"

namespace lw {

// The undo records keep the command id, and core replays them by it.
static_assert(cmd::FrameRotate90Cw == turncmd::FirstFrameTurn &&
              cmd::FrameFlipVertical - cmd::FrameRotate90Cw ==
                  static_cast<int>(FrameTurn::MirrorTopBottom));
static_assert(cmd::AnimationRotate90Cw == turncmd::FirstAnimationTurn);

std::optional<FrameTurn> TurnOfCommand(int command) {
  if (TurnsWholeAnimation(command)) command -= cmd::AnimationRotateOffset;
  switch (command) {
    case cmd::FrameRotate90Cw: return FrameTurn::Clockwise;
    case cmd::FrameRotate180: return FrameTurn::HalfTurn;
    case cmd::FrameRotate90Ccw: return FrameTurn::CounterClockwise;
    case cmd::FrameFlipHorizontal: return FrameTurn::MirrorLeftRight;
    case cmd::FrameFlipVertical: return FrameTurn::MirrorTopBottom;
    default: return std::nullopt;
  }
}

bool TurnsWholeAnimation(int command) {
  return command >= cmd::AnimationRotate90Cw && command <= cmd::AnimationFlipVertical;
}

uint32_t RunRotationCommand(Animation& animation, int command, int frameIndex, WindowHandle owner) {
  std::optional<FrameTurn> turn = TurnOfCommand(command);
  if (!turn) return 0;
  if (TurnsWholeAnimation(command)) {
    if (!FirstFrame(animation)) return 0;
    UndoStep step(UndoStep::Discard, UndoKind::RotateAllFrames, animation,
                  undo::TurnedAnimation{command});
    ProgressMeterPtr progress(CreateProgressMeter(owner, 0, 0));
    if (!TurnAnimation(animation, *turn, progress.get())) return 0;
    step.Commit();
    return refresh::Document | refresh::ScreenSize | refresh::Encoding;
  }
  if (frameIndex < 0 || frameIndex > 0xFFFF || !FrameAt(animation, frameIndex)) return 0;
  UndoStep step(UndoStep::Discard, UndoKind::RotateFrame, animation,
                undo::TurnedFrame(frameIndex, command));
  bool screenGrown = false;
  if (!TurnOneFrame(animation, frameIndex, *turn, true, &screenGrown)) return 0;
  step.Commit();
  const uint32_t index = static_cast<uint32_t>(frameIndex);
  // A grown screen lays the whole strip out again.
  if (screenGrown) {
    return refresh::ForFrame(refresh::Document | refresh::ScreenSize | refresh::Encoding, index);
  }
  return refresh::ForFrame(refresh::OneFrame | refresh::Encoding, index);
}

}  // namespace lw
