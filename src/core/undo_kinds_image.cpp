// Undo kinds of frame images: pixel edits, transparency, the true-colour plane, moves and crops
// of selected frames, the rotations and flips, and texts and pictures laid over frames.
#include <new>
#include <optional>
#include <utility>
#include <vector>

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

// The frame at index, whole.
bool FillFrameImage(undo::FrameImage& image, Animation& document) {
  Frame* frame = FrameAt(document, image.index);
  if (!frame) return false;
  image.frame = CopyFrame(frame);
  return image.frame != nullptr;
}

Frame* SwapImage(undo::FrameImage& image, Animation& document) {
  Frame* frame = FrameAt(document, image.index);
  if (!frame || !image.frame) return nullptr;
  SwapFrameImages(frame, image.frame.get());
  LendGlobalPalette(document);
  return frame;
}

uint32_t ApplyFrameImage(undo::FrameImage& image, Animation& document, bool) {
  if (!SwapImage(image, document)) return 0;
  return refresh::ForFrame(kFrameImage, image.index);
}

// Only the true-colour plane went: the pixels the strip shows stay.
uint32_t ApplyDroppedTrueColour(undo::FrameImage& image, Animation& document, bool) {
  if (!SwapImage(image, document)) return 0;
  return refresh::ForFrame(kFrameFlags, image.index);
}

// The outside editor may have changed the frame's size: the size goes with the image.
uint32_t ApplyCoEditedFrame(undo::FrameImage& image, Animation& document, bool) {
  Frame* frame = FrameAt(document, image.index);
  Frame* stored = image.frame.get();
  if (!frame || !stored) return 0;
  bool resized = frame->width != stored->width || frame->height != stored->height;
  SwapFrameImagesAndGeometry(frame, stored);
  LendGlobalPalette(document);
  return refresh::ForFrame(resized ? kFrameImage | refresh::Document : kFrameImage, image.index);
}

// A new transparent colour keeps the whole frame; the flag alone keeps nothing.
bool FillTransparency(undo::TransparencyEdit& edit, Animation& document) {
  if (edit.change != undo::TransparencyEdit::NewColour) return true;
  Frame* frame = FrameAt(document, edit.index);
  if (!frame) return false;
  edit.frame = CopyFrame(frame);
  return edit.frame != nullptr;
}

uint32_t ApplyTransparency(undo::TransparencyEdit& edit, Animation& document, bool) {
  Frame* frame = FrameAt(document, edit.index);
  if (!frame) return 0;
  using Edit = undo::TransparencyEdit;
  if (edit.change == Edit::NewColour) {
    if (edit.frame) SwapFrameImages(frame, edit.frame.get());
    LendGlobalPalette(document);
    return refresh::ForFrame(kFrameImageAndFlags, edit.index);
  }
  bool on = edit.change == Edit::SwitchOn;
  SetTransparency(frame, on);
  edit.change = on ? Edit::SwitchOff : Edit::SwitchOn;
  return refresh::ForFrame(kFrameFlags, edit.index);
}

uint32_t ApplyTrueColour(undo::TrueColourPlane& plane, Animation& document, bool redo) {
  Frame* frame = FrameAt(document, plane.index);
  if (!frame) return 0;
  if (redo) {
    AddRgbPlane(frame);
  } else {
    FreeRgbPlane(frame);
  }
  return refresh::ForFrame(kFrameFlags, plane.index);
}

// Every selected frame, whole, with its index.
bool FillMoveCrop(undo::SelectedFrames& selected, Animation& document) {
  Frame* last = nullptr;
  int index = 0;
  for (Frame* f = FirstFrame(document); f; f = NextFrame(f), ++index) {
    if (!f->selected) continue;
    undo::FrameChain copy = CopyFrame(f);
    if (!copy) return false;
    try {
      selected.indexes.push_back(static_cast<uint32_t>(index));
    } catch (const std::bad_alloc&) {
      return false;
    }
    AppendToChain(selected.frames, &last, copy.release());
  }
  return true;
}

uint32_t ApplyMoveCrop(undo::SelectedFrames& selected, Animation& document, bool) {
  uint32_t hints = 0;
  const std::vector<uint32_t>& indexes = selected.indexes;
  Frame* copy = selected.frames.get();
  for (size_t i = 0; copy && i < indexes.size(); ++i, copy = static_cast<Frame*>(copy->next)) {
    Frame* frame = FrameAt(document, static_cast<int>(indexes[i]));
    if (!frame) continue;
    SwapFrameImagesAndGeometry(frame, copy);
    if (frame->width != copy->width || frame->height != copy->height) hints |= refresh::Encoding;
  }
  LendGlobalPalette(document);
  if (indexes.size() > 1) return hints | refresh::Document;
  return refresh::ForFrame(hints | refresh::OneFrame, indexes.empty() ? 0 : indexes[0]);
}

// The screen size is kept, since turning a frame may grow the screen.
bool FillRotateFrame(undo::TurnedFrame& turned, Animation& document) {
  turned.screenWidth = document.screenWidth;
  turned.screenHeight = document.screenHeight;
  return true;
}

uint32_t ApplyRotateFrame(undo::TurnedFrame& turned, Animation& document, bool redo) {
  // The screen size is restored by the record itself.
  if (std::optional<FrameTurn> turn = TurnOfRecordedCommand(turned.command))
    TurnFrame(FrameAt(document, turned.index), redo ? *turn : InverseTurn(*turn));
  if (turned.screenWidth != document.screenWidth || turned.screenHeight != document.screenHeight) {
    std::swap(turned.screenWidth, document.screenWidth);
    std::swap(turned.screenHeight, document.screenHeight);
    return refresh::ForFrame(kScreenRebuilt, turned.index);
  }
  return refresh::ForFrame(kFrameImage, turned.index);
}

uint32_t ApplyRotateAll(undo::TurnedAnimation& turned, Animation& document, bool redo) {
  if (std::optional<FrameTurn> turn = TurnOfRecordedCommand(turned.command))
    TurnAnimation(document, redo ? *turn : InverseTurn(*turn), nullptr);
  return kScreenRebuilt;
}

// The frames drawn on and the global palette; or the whole document, when the frames get rebuilt.
bool FillLaidLayer(undo::LaidLayer& laid, Animation& document) {
  if (laid.rebuilt) {
    if (!laid.copy) laid.copy = CopyDocument(document);
    return laid.copy != nullptr;
  }
  Frame* last = nullptr;
  for (uint32_t index : laid.indexes) {
    undo::FrameChain copy = CopyFrame(FrameAt(document, static_cast<int>(index)));
    if (!copy) return false;
    AppendToChain(laid.frames, &last, copy.release());
  }
  if (document.globalPalette) {
    laid.globalPalette = CopyPalette(document.globalPalette.get());
    if (!laid.globalPalette) return false;
  }
  laid.screenFlags = document.screenFlags;
  return true;
}

uint32_t ApplyLaidLayer(undo::LaidLayer& laid, Animation& document, bool) {
  if (laid.rebuilt) {
    return ExchangeDocuments(laid.copy, document).done ? refresh::Document | refresh::Encoding : 0;
  }
  Frame* copy = laid.frames.get();
  for (size_t i = 0; copy && i < laid.indexes.size(); ++i, copy = NextFrame(copy))
    SwapFrameImages(FrameAt(document, static_cast<int>(laid.indexes[i])), copy);
  // The palette objects change places: the frames that borrow the global one follow it.
  const uint8_t flags = document.screenFlags;
  laid.globalPalette = SetGlobalPalette(document, std::move(laid.globalPalette));
  document.screenFlags = std::exchange(laid.screenFlags, flags);
  for (Frame* f = FirstFrame(document); f; f = NextFrame(f))
    if (!f->localPalette) UpdateDibColourTable(f);
  CountColourUsage(document, document.colourUsage.data(), true);
  document.encodedSizeCache = -1;
  return refresh::Document | refresh::Encoding;
}

constexpr UndoKindRow kRows[] = {
    KindRow<undo::FrameImage, FillFrameImage, ApplyFrameImage>(UndoKind::EditPixels,
                                                               str::UndoEditPixels),
    KindRow<undo::FrameImage, FillFrameImage, ApplyCoEditedFrame>(UndoKind::CoEditFrame,
                                                                  str::UndoCoEditFrame),
    KindRow<undo::FrameImage, FillFrameImage, ApplyDroppedTrueColour>(UndoKind::DropTrueColour,
                                                                      str::UndoDropTrueColour),
    KindRow<undo::TrueColourPlane, FillNothing<undo::TrueColourPlane>, ApplyTrueColour>(
        UndoKind::AddTrueColour, str::UndoAddTrueColour),
    KindRow<undo::TransparencyEdit, FillTransparency, ApplyTransparency>(UndoKind::EditTransparency,
                                                                         str::UndoEditTransparency),
    KindRow<undo::SelectedFrames, FillMoveCrop, ApplyMoveCrop>(UndoKind::MoveCropFrames,
                                                               str::UndoMoveCrop),
    KindRow<undo::TurnedFrame, FillRotateFrame, ApplyRotateFrame>(UndoKind::RotateFrame,
                                                                  str::UndoRotateFrame),
    KindRow<undo::TurnedAnimation, FillNothing<undo::TurnedAnimation>, ApplyRotateAll>(
        UndoKind::RotateAllFrames, str::UndoRotateAllFrames),
    KindRow<undo::LaidLayer, FillLaidLayer, ApplyLaidLayer>(UndoKind::AddLayer, str::UndoAddLayer),
};

}  // namespace

std::span<const UndoKindRow> FrameImageUndoKinds() { return kRows; }

}  // namespace lw
