// What each kind of undo record keeps. A record's payload is one of the types below, chosen by its
// kind; a command that records hands in the fields it knows (an index, the frames it removed, a
// copy it made) and the kind's fill takes the rest from the document. Applying the record
// exchanges what it keeps with the document's state, so one payload serves undo and redo.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <type_traits>
#include <utility>
#include <variant>
#include <vector>

#include "core/animation.h"

namespace lw {

// Record kinds. The numbers are those the Edit menu's names are filed under (UndoKindName) and
// that anything stored or logged refers to: they never change, and the gaps stay free.
enum class UndoKind : uint32_t {
  None = 0,  // no record
  MoveFrame = 1,
  DeleteFrame = 2,
  InsertFrames = 3,
  Optimize = 4,
  Unoptimize = 5,
  ReducePalette = 6,
  MoveCropFrames = 9,
  CropAnimation = 10,
  RotateFrame = 11,
  RotateAllFrames = 12,
  EditTransparency = 13,
  EditPalette = 15,
  RemoveLocalPalette = 16,
  ReverseAnimation = 17,
  ReduceFrameCount = 19,
  ResizeAnimation = 20,
  Paste = 21,
  Nop = 22,
  DeleteFrames = 23,
  EditDurations = 24,
  MoveFrames = 25,
  MergeAnimations = 26,
  PingPong = 27,
  EditPixels = 28,
  CoEditFrame = 29,
  DropTrueColour = 30,
  FrameProperties = 31,
  GlobalFrameProperties = 33,
  FixForAvi = 34,
  AddTrueColour = 35,
  CoEditAnimation = 36,
  AnimationProperties = 37,  // loop count, screen size, background index
  EditComments = 38,         // the comment blocks
  AddLayer = 39,             // a text or a picture laid over frames
};
constexpr uint32_t kMaxUndoKind = 39;

namespace undo {

// Frames out of any document, linked by next, freed together.
struct FrameChainFree {
  void operator()(Frame* first) const;
};
using FrameChain = std::unique_ptr<Frame, FrameChainFree>;

// One frame dragged elsewhere (MoveFrame).
struct FrameMove {
  int from = 0;    // its index before the move
  int before = 0;  // the index it was dropped before, counted before the move
};

// Several frames dragged together; they land as one run (MoveFrames).
struct FramesMove {
  int first = 0;                        // the run's first index after the move
  std::vector<uint32_t> formerIndexes;  // where each was, ascending
};

// Frames deleted or cut, kept while they are out of the document (DeleteFrame, DeleteFrames).
// The command hands in the chain it cut out, each frame with its savedIndex, ascending.
struct RemovedFrames {
  RemovedFrames() = default;
  explicit RemovedFrames(FrameChain cut) : frames(std::move(cut)) {}
  FrameChain frames;              // none while they are back in the document
  std::vector<uint32_t> indexes;  // each one's index before the deletion, ascending
};

// Frames inserted or pasted (InsertFrames, Paste), prepared with a whole copy and shrunk when
// committed: the copy stays only when the global palette or the screen size changed with them.
struct InsertedFrames {
  int first = 0;      // the first inserted frame's index
  int count = 0;      // how many were inserted
  AnimationPtr copy;  // the document before, or none
  FrameChain frames;  // the inserted frames while they are undone
};

// The whole document before a command that may change anything.
struct WholeCopy {
  AnimationPtr copy;  // the command may hand in the old document it kept
};

// One frame before its image changed (EditPixels, CoEditFrame, DropTrueColour).
struct FrameImage {
  FrameImage() = default;
  explicit FrameImage(int frameIndex) : index(frameIndex) {}
  int index = 0;
  FrameChain frame;  // the whole frame
};

// A true-colour plane built for one frame: undo frees it, redo builds it again (AddTrueColour).
struct TrueColourPlane {
  int index = 0;
};

// One frame's transparency (EditTransparency): the flag alone, or a new transparent colour.
struct TransparencyEdit {
  enum Change { SwitchOn, SwitchOff, NewColour };
  TransparencyEdit() = default;
  TransparencyEdit(int frameIndex, Change next) : index(frameIndex), change(next) {}
  int index = 0;
  Change change = SwitchOn;  // what applying does; a flag record alternates at each application
  FrameChain frame;          // NewColour: the whole frame
};

// The selected frames before they were moved or cropped (MoveCropFrames).
struct SelectedFrames {
  std::vector<uint32_t> indexes;  // ascending
  FrameChain frames;              // a whole copy of each, in the same order
};

// One frame turned or flipped (RotateFrame); turning may grow the screen.
struct TurnedFrame {
  TurnedFrame() = default;
  TurnedFrame(int frameIndex, int rotation) : index(frameIndex), command(rotation) {}
  int index = 0;
  int command = 0;  // the rotation command
  uint32_t screenWidth = 0;
  uint32_t screenHeight = 0;
};

// Every frame turned or flipped (RotateAllFrames).
struct TurnedAnimation {
  int command = 0;  // the rotation command
};

// A frame's 24-bit colours before a palette edit made them follow it.
struct KeptColours {
  uint32_t frame = 0;
  std::vector<uint8_t> rgb;  // the frame's whole rgbPlane
};

// A palette's entries before an edit (EditPalette), with the 24-bit colours of the frames whose
// true-colour pixels followed the edit (handed in by the command).
struct PaletteEntries {
  PaletteEntries() = default;
  explicit PaletteEntries(int frameIndex) : frame(frameIndex) {}
  int frame = -1;  // the frame whose local palette was edited; -1 for the global palette
  std::vector<PaletteEntry> entries;
  std::vector<KeptColours> colours;
};

// A local palette removed (RemoveLocalPalette), prepared with a whole copy and shrunk when
// committed: the copy stays only when the global palette changed too.
struct LocalPaletteRemoval {
  int index = 0;
  AnimationPtr copy;  // the document before, or none
  FrameChain frame;   // else the frame before
};

// Every frame's delay, in order (EditDurations).
struct Delays {
  std::vector<uint32_t> delays;
};

// One frame's properties (FrameProperties).
struct FrameAttributes {
  FrameAttributes() = default;
  FrameAttributes(int frameIndex, bool image) : index(frameIndex), imageChanged(image) {}
  int index = 0;
  bool imageChanged = false;  // the whole frame is kept; else delay, flags, name and position
  FrameChain frame;
};

// The properties given to every frame at once (GlobalFrameProperties).
struct AllFrameAttributes {
  bool imagesChanged = false;  // a whole copy; else the header and every frame's attributes
  AnimationPtr copy;
};

// Loop count, screen size, background index and the comment blocks (AnimationProperties,
// EditComments): comments are few and short, and the settings are four numbers.
struct AnimationSettings {
  AnimationPtr header;                  // the header and copies of the comment blocks
  std::vector<uint32_t> commentPlaces;  // how many other blocks come before each comment
};

// Text or a picture laid over frames (AddLayer). Drawing changes the frames drawn on and may grow
// their palettes, the global one included; when the frames are first rebuilt as whole pictures
// every frame changes, and the whole document is kept instead.
struct LaidLayer {
  bool rebuilt = false;           // handed in: the frames get rebuilt first
  std::vector<uint32_t> indexes;  // handed in: the frames drawn on, ascending
  FrameChain frames;              // a whole copy of each, in the same order
  PalettePtr globalPalette;       // the global palette before (none when there was none)
  uint8_t screenFlags = 0;        // with its size code
  AnimationPtr copy;              // when rebuilt: the whole document before
};

}  // namespace undo

// A record's payload; std::monostate is a record that keeps nothing (ReverseAnimation, Nop), and
// what a command hands in when it has nothing to give.
using UndoPayload =
    std::variant<std::monostate, undo::FrameMove, undo::FramesMove, undo::RemovedFrames,
                 undo::InsertedFrames, undo::WholeCopy, undo::FrameImage, undo::TrueColourPlane,
                 undo::TransparencyEdit, undo::SelectedFrames, undo::TurnedFrame,
                 undo::TurnedAnimation, undo::PaletteEntries, undo::LocalPaletteRemoval,
                 undo::Delays, undo::FrameAttributes, undo::AllFrameAttributes,
                 undo::AnimationSettings, undo::LaidLayer>;

// The place of a payload type in UndoPayload.
template <typename T, typename Variant = UndoPayload>
struct PayloadIndex;
template <typename T, typename... Types>
struct PayloadIndex<T, std::variant<Types...>> {
  static constexpr size_t value = [] {
    constexpr bool same[] = {std::is_same_v<T, Types>...};
    for (size_t i = 0; i < sizeof...(Types); ++i)
      if (same[i]) return i;
    return sizeof...(Types);
  }();
  static_assert(value < sizeof...(Types), "not a payload of UndoPayload");
};

}  // namespace lw
