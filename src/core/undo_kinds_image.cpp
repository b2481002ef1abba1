// Undo kinds of one frame's image: pixel edits, transparency, the true-colour plane, moves and
// crops of selected frames, and the rotations and flips.
#include <new>

#include "base/string_ids.h"
#include "core/compose.h"
#include "core/turn.h"
#include "core/undo_kinds.h"

namespace lw {

using namespace undo_detail;

namespace {

constexpr uint32_t kFrameFlags = refresh::OneFrame | refresh::PropertiesFrame;
constexpr uint32_t kFrameImage = refresh::OneFrame | refresh::Encoding;
constexpr uint32_t kFrameImageAndFlags = kFrameFlags | refresh::Encoding;
constexpr uint32_t kScreenRebuilt = refresh::Document | refresh::ScreenSize | refresh::Encoding;

// The frame at param, whole.
bool FillFrameCopy(UndoRecord& record, Animation& document, Frame*) {
  Frame* frame = FrameAt(document, static_cast<int>(record.param));
  if (!frame) return false;
  record.frames = CopyFrame(frame);
  return record.frames != nullptr;
}

uint32_t ApplyFrameImage(UndoRecord& record, Animation& document, bool) {
  Frame* frame = FrameAt(document, static_cast<int>(record.param));
  if (!frame || !record.frames) return 0;
  SwapFrameImages(frame, record.frames);
  LendGlobalPalette(document);
  return refresh::ForFrame(record.kind == undo::DropTrueColour ? kFrameFlags : kFrameImage,
                           record.param);
}

// The outside editor may have changed the frame's size: the size goes with the image.
uint32_t ApplyCoEditedFrame(UndoRecord& record, Animation& document, bool) {
  Frame* frame = FrameAt(document, static_cast<int>(record.param));
  if (!frame || !record.frames) return 0;
  bool resized = frame->width != record.frames->width || frame->height != record.frames->height;
  SwapFrameImagesAndGeometry(frame, record.frames);
  LendGlobalPalette(document);
  return refresh::ForFrame(resized ? kFrameImage | refresh::Document : kFrameImage, record.param);
}

// param: the frame index in the high half; low half 0 or 1 for the flag turned on or off, 2 and
// more for a change of transparent colour, which keeps the whole frame.
bool FillTransparency(UndoRecord& record, Animation& document, Frame*) {
  if (Low(record.param) < 2) return true;
  Frame* frame = FrameAt(document, static_cast<int>(High(record.param)));
  if (!frame) return false;
  record.frames = CopyFrame(frame);
  return record.frames != nullptr;
}

uint32_t ApplyTransparency(UndoRecord& record, Animation& document, bool) {
  uint32_t index = High(record.param);
  Frame* frame = FrameAt(document, static_cast<int>(index));
  if (!frame) return 0;
  uint32_t low = Low(record.param);
  if (low >= 2) {
    if (record.frames) SwapFrameImages(frame, record.frames);
    LendGlobalPalette(document);
    return refresh::ForFrame(kFrameImageAndFlags, index);
  }
  SetTransparency(frame, low == 0);
  record.param = (index << 16) | (low ^ 1);
  return refresh::ForFrame(kFrameFlags, index);
}

uint32_t ApplyTrueColour(UndoRecord& record, Animation& document, bool redo) {
  Frame* frame = FrameAt(document, static_cast<int>(record.param));
  if (!frame) return 0;
  if (redo) {
    AddRgbPlane(frame);
  } else {
    FreeRgbPlane(frame);
  }
  return refresh::ForFrame(kFrameFlags, record.param);
}

// Every selected frame, whole, chained; extra holds their indexes.
bool FillMoveCrop(UndoRecord& record, Animation& document, Frame*) {
  Block* last = nullptr;
  int index = 0;
  for (Frame* f = FirstFrame(document); f; f = NextFrame(f), ++index) {
    if (!f->selected) continue;
    Frame* copy = CopyFrame(f);
    if (!copy) return false;
    try {
      record.extra.push_back(static_cast<uint32_t>(index));
    } catch (const std::bad_alloc&) {
      FreeBlock(copy);
      return false;
    }
    if (last) {
      LinkBlocks(last, copy);
    } else {
      record.frames = copy;
    }
    last = copy;
  }
  return true;
}

uint32_t ApplyMoveCrop(UndoRecord& record, Animation& document, bool) {
  uint32_t hints = 0;
  Frame* copy = record.frames;
  for (size_t i = 0; copy && i < record.extra.size(); ++i, copy = static_cast<Frame*>(copy->next)) {
    Frame* frame = FrameAt(document, static_cast<int>(record.extra[i]));
    if (!frame) continue;
    SwapFrameImagesAndGeometry(frame, copy);
    if (frame->width != copy->width || frame->height != copy->height) hints |= refresh::Encoding;
  }
  LendGlobalPalette(document);
  if (record.extra.size() > 1) return hints | refresh::Document;
  return refresh::ForFrame(hints | refresh::OneFrame, record.extra.empty() ? 0 : record.extra[0]);
}

// param: the rotation command in the low half, the frame index in the high half. The screen size
// is kept, since turning a frame may grow the screen.
bool FillRotateFrame(UndoRecord& record, Animation& document, Frame*) {
  record.screenSize = (document.screenWidth & 0xFFFF) | (document.screenHeight << 16);
  return true;
}

uint32_t ApplyRotateFrame(UndoRecord& record, Animation& document, bool redo) {
  int index = static_cast<int>(High(record.param));
  // The screen size is restored by the record itself.
  if (std::optional<FrameTurn> turn = TurnOfRecordedCommand(static_cast<int>(Low(record.param))))
    TurnFrame(FrameAt(document, index), redo ? *turn : InverseTurn(*turn));
  uint32_t w = Low(record.screenSize), h = High(record.screenSize);
  if (w != document.screenWidth || h != document.screenHeight) {
    record.screenSize = (document.screenWidth & 0xFFFF) | (document.screenHeight << 16);
    document.screenWidth = w;
    document.screenHeight = h;
    return refresh::ForFrame(kScreenRebuilt, index);
  }
  return refresh::ForFrame(kFrameImage, index);
}

uint32_t ApplyRotateAll(UndoRecord& record, Animation& document, bool redo) {
  if (std::optional<FrameTurn> turn = TurnOfRecordedCommand(static_cast<int>(record.param)))
    TurnAnimation(document, redo ? *turn : InverseTurn(*turn), nullptr);
  return kScreenRebuilt;
}

constexpr UndoKindRow kRows[] = {
    {undo::EditPixels, str::UndoEditPixels, FillFrameCopy, ApplyFrameImage, false},
    {undo::CoEditFrame, str::UndoCoEditFrame, FillFrameCopy, ApplyCoEditedFrame, false},
    {undo::DropTrueColour, str::UndoDropTrueColour, FillFrameCopy, ApplyFrameImage, false},
    {undo::AddTrueColour, str::UndoAddTrueColour, FillNothing, ApplyTrueColour, false},
    {undo::EditTransparency, str::UndoEditTransparency, FillTransparency, ApplyTransparency, false},
    {undo::MoveCropFrames, str::UndoMoveCrop, FillMoveCrop, ApplyMoveCrop, false},
    {undo::RotateFrame, str::UndoRotateFrame, FillRotateFrame, ApplyRotateFrame, false},
    {undo::RotateAllFrames, str::UndoRotateAllFrames, FillNothing, ApplyRotateAll, false},
};

}  // namespace

std::span<const UndoKindRow> FrameImageUndoKinds() { return kRows; }

}  // namespace lw
