// The property dialogs' changes, apart from their widgets.
#include "edit/properties.h"

#include <algorithm>
#include <array>
#include <cstdlib>
#include <new>

#include "base/messages.h"
#include "base/string_ids.h"
#include "colour/palette_fit.h"
#include "core/document_listener.h"
#include "core/undo.h"

namespace lw {

namespace {

constexpr int64_t kMaxOffset = 65535;
constexpr int64_t kMaxDelay = 65535;
constexpr int64_t kMaxScreen = 65535;
constexpr int64_t kMaxLoops = 65536;

void Warn(WindowHandle owner, int text, int title) {
  AskUser(owner, text, title, mb::Ok | mb::IconExclamation);
}

bool Confirm(WindowHandle owner, int text, int title) {
  return AskUser(owner, text, title, mb::YesNo | mb::IconQuestion) == answer::Yes;
}

// A value shared by every frame, else none.
template <typename Get>
auto Shared(const std::vector<Frame*>& frames, Get get) -> std::optional<decltype(get(frames[0]))> {
  if (frames.empty()) return std::nullopt;
  auto first = get(frames[0]);
  for (const Frame* f : frames) {
    if (get(f) != first) return std::nullopt;
  }
  return first;
}

// The chosen indexes on a frame: the first becomes the transparent index and the pixels of the
// others take it; none switches transparency off.
void ApplyChosenTransparency(Frame* frame, const std::vector<uint8_t>& indexes) {
  if (indexes.empty()) {
    SetTransparency(frame, false);
    return;
  }
  if (indexes.size() > 1 && frame->bits()) {
    std::array<bool, 256> merged{};
    for (size_t i = 1; i < indexes.size(); ++i) merged[indexes[i]] = true;
    merged[indexes[0]] = false;
    uint64_t stride = IndexStride(frame->DibWidth());
    uint64_t rows = frame->DibHeight();
    uint8_t* bits = frame->bits();
    if (frame->dib.size() >= DibBitsOffset + stride * rows) {
      for (uint64_t i = 0; i < stride * rows; ++i) {
        if (merged[bits[i]]) bits[i] = indexes[0];
      }
    }
  }
  SetTransparentIndex(frame, indexes[0]);
  SetTransparency(frame, true);
}

bool SamePalette(const Palette* a, const Palette* b) {
  if (!a || !b) return a == b;
  return a->entries == b->entries;
}

// Whether applying the chosen indexes would change the frame: a choice confirmed as it was is
// no change.
bool ChoiceChanges(const Frame* f, const std::vector<uint8_t>& indexes) {
  if (indexes.empty()) return f->Transparent();
  if (!f->Transparent() || f->transparentIndex != indexes[0]) return true;
  for (size_t i = 1; i < indexes.size(); ++i)
    if (indexes[i] != indexes[0]) return true;
  return false;
}

struct FrameChange {
  bool any = false;
  bool image = false;
};

FrameChange ChangeOn(const Frame* f, const FramePropertiesRequest& r) {
  FrameChange c;
  bool removesPalette = r.removeLocalPalette && f->localPalette;
  bool dropsTrueColour = r.dropTrueColour && !f->rgbPlane.empty();
  bool choice =
      r.transparencyAccepted && r.transparent.has_value() && ChoiceChanges(f, r.transparentIndexes);
  c.image = removesPalette || dropsTrueColour || choice;
  c.any = c.image || (r.name && *r.name != FrameName(f)) ||
          (r.interlaced && *r.interlaced != f->Interlaced()) || (r.left && *r.left != f->left) ||
          (r.top && *r.top != f->top) || (r.disposal >= 0 && r.disposal != f->Disposal()) ||
          (r.delay && *r.delay != f->delay) ||
          (r.transparent && !*r.transparent && f->Transparent());
  return c;
}

// The fields that need no memory, in the order the page lists them.
void SetFields(Frame* f, const FramePropertiesRequest& r) {
  if (r.name) SetFrameName(f, *r.name);
  if (r.interlaced) SetInterlaced(f, *r.interlaced);
  if (r.left) f->left = static_cast<int32_t>(*r.left);
  if (r.top) f->top = static_cast<int32_t>(*r.top);
  if (r.disposal >= 0) SetDisposal(f, r.disposal);
  if (r.delay) f->delay = static_cast<uint32_t>(*r.delay);
}

void SetTransparencyField(Frame* f, const FramePropertiesRequest& r) {
  if (!r.transparent) return;
  if (r.transparencyAccepted) {
    ApplyChosenTransparency(f, r.transparentIndexes);
  } else if (!*r.transparent && f->Transparent()) {
    SetTransparency(f, false);
  }
}

bool RemovePalette(WindowHandle owner, Animation& animation, Frame* f,
                   const PaletteFitOptions& options) {
  Services().SetBusyCursor(true);
  bool ok = RemoveLocalPalette(owner, animation, f, options);
  Services().SetBusyCursor(false);
  return ok;
}

PropertiesResult ApplyToCurrentFrame(WindowHandle owner, Animation& animation,
                                     const FramePropertiesRequest& r) {
  PropertiesResult result;
  Frame* f = FrameAt(animation, r.frameIndex);
  if (!f) return result;
  FrameChange change = ChangeOn(f, r);
  if (!change.any) return result;
  uint32_t index = static_cast<uint32_t>(r.frameIndex);
  UndoStep step(UndoStep::Discard, UndoKind::FrameProperties, animation,
                undo::FrameAttributes(r.frameIndex, change.image));
  bool paletteRemoved = false;
  if (r.removeLocalPalette && f->localPalette) {
    // Fitting the frame may change the global palette, which a frame's entry cannot restore:
    // then the entry becomes a copy of the whole document as it was.
    AnimationPtr before = step.Record() ? DuplicateAnimation(animation, nullptr) : nullptr;
    if (!RemovePalette(owner, animation, f, r.paletteFit)) {
      result.ok = false;
      return result;
    }
    if (before && !SamePalette(before->globalPalette.get(), animation.globalPalette.get())) {
      step.Withdraw();
      RecordUndo(UndoKind::GlobalFrameProperties, animation,
                 undo::AllFrameAttributes{true, std::move(before)});
    }
    paletteRemoved = true;
  }
  step.Commit();
  bool renamed = r.name && *r.name != FrameName(f);
  SetFields(f, r);
  if (r.dropTrueColour && !f->rgbPlane.empty()) FreeRgbPlane(f);
  SetTransparencyField(f, r);
  result.changes = propchange::CurrentFrame;
  result.hints =
      refresh::ForFrame(refresh::OneFrame | refresh::PropertiesFrame | refresh::Preview, index);
  if (change.image) result.hints |= refresh::Encoding;
  if (renamed) result.hints |= refresh::Names;
  // The global palette may have grown to take the frame's colours.
  if (paletteRemoved) result.hints = refresh::Document | refresh::Encoding | refresh::Preview;
  return result;
}

PropertiesResult ApplyToFrames(WindowHandle owner, Animation& animation,
                               const FramePropertiesRequest& r) {
  PropertiesResult result;
  std::vector<Frame*> frames = CoveredFrames(animation, r.scope, r.frameIndex);
  FrameChange change;
  for (const Frame* f : frames) {
    FrameChange c = ChangeOn(f, r);
    change.any |= c.any;
    change.image |= c.image;
  }
  if (!change.any) return result;
  UndoStep step(UndoStep::Restore, UndoKind::GlobalFrameProperties, animation,
                undo::AllFrameAttributes{change.image, nullptr});
  bool busy = false;
  for (Frame* f : frames) {
    if (r.removeLocalPalette && f->localPalette) {
      if (!busy) Services().SetBusyCursor(busy = true);
      if (!RemoveLocalPalette(owner, animation, f, r.paletteFit)) {
        Services().SetBusyCursor(false);
        // The frames changed so far go back with the entry: no change is left unrecorded.
        result.ok = false;
        result.hints = step.Record() ? refresh::Document | refresh::Encoding : 0;
        return result;
      }
    }
    SetTransparencyField(f, r);
    SetFields(f, r);
  }
  if (busy) Services().SetBusyCursor(false);
  step.Commit();
  result.changes = propchange::SeveralFrames;
  result.hints = refresh::Document | refresh::Preview | (change.image ? refresh::Encoding : 0);
  return result;
}

}  // namespace

std::vector<Frame*> CoveredFrames(const Animation& animation, FrameScope scope, int frameIndex) {
  std::vector<Frame*> frames;
  if (scope == FrameScope::Current) {
    if (Frame* f = FrameAt(animation, frameIndex)) frames.push_back(f);
    return frames;
  }
  for (Frame* f = FirstFrame(animation); f; f = NextFrame(f)) {
    if (scope == FrameScope::All || f->selected) frames.push_back(f);
  }
  return frames;
}

FramePropertiesRequest FillFrameRequest(const Animation& animation, FrameScope scope,
                                        int frameIndex) {
  FramePropertiesRequest r;
  r.scope = scope;
  r.frameIndex = frameIndex;
  std::vector<Frame*> frames = CoveredFrames(animation, scope, frameIndex);
  if (frames.empty()) return r;
  if (scope == FrameScope::Current) r.name = FrameName(frames[0]);
  r.interlaced = Shared(frames, [](const Frame* f) { return f->Interlaced(); });
  r.transparent = Shared(frames, [](const Frame* f) { return f->Transparent(); });
  auto left = Shared(frames, [](const Frame* f) { return int64_t{f->left}; });
  auto top = Shared(frames, [](const Frame* f) { return int64_t{f->top}; });
  auto delay = Shared(frames, [](const Frame* f) { return int64_t{f->delay}; });
  r.left = left;
  r.top = top;
  r.delay = delay;
  r.disposal = Shared(frames, [](const Frame* f) { return f->Disposal(); }).value_or(-1);
  if (r.disposal > 3) r.disposal = -1;
  return r;
}

PropertyField ValidateFrameFields(WindowHandle owner, const Animation& animation,
                                  const FramePropertiesRequest& r) {
  struct Offset {
    std::optional<int64_t> value;
    int64_t screen;
    PropertyField field;
  };
  const Offset offsets[] = {{r.left, animation.screenWidth, PropertyField::Left},
                            {r.top, animation.screenHeight, PropertyField::Top}};
  for (const Offset& o : offsets) {
    int64_t v = o.value.value_or(0);
    if (v < -kMaxOffset || v > kMaxOffset) {
      Warn(owner, str::PropOffsetRange, str::PropOffsetRangeTitle);
      return o.field;
    }
    if (std::abs(v) > o.screen &&
        !Confirm(owner, str::PropOffsetCrops, str::PropOffsetCropsTitle)) {
      return o.field;
    }
  }
  int64_t delay = r.delay.value_or(0);
  if (delay < 0 || delay > kMaxDelay) {
    Warn(owner, str::PropDelayRange, str::PropDelayRangeTitle);
    return PropertyField::Delay;
  }
  return PropertyField::None;
}

PropertiesResult ApplyFrameProperties(WindowHandle owner, Animation& animation,
                                      const FramePropertiesRequest& request) {
  try {
    return request.scope == FrameScope::Current ? ApplyToCurrentFrame(owner, animation, request)
                                                : ApplyToFrames(owner, animation, request);
  } catch (const std::bad_alloc&) {
    return PropertiesResult{false, 0, 0};
  }
}

AnimationPropertiesRequest FillAnimationRequest(const Animation& animation) {
  AnimationPropertiesRequest r;
  r.width = animation.screenWidth;
  r.height = animation.screenHeight;
  r.loopCount = animation.playCount;
  r.backgroundIndex = animation.backgroundIndex;
  return r;
}

void AutoScreenSize(const Animation& animation, int64_t* width, int64_t* height) {
  int64_t w = 0, h = 0;
  for (const Frame* f = FirstFrame(animation); f; f = NextFrame(f)) {
    w = std::max<int64_t>(w, int64_t{f->left} + f->width);
    h = std::max<int64_t>(h, int64_t{f->top} + f->height);
  }
  *width = w;
  *height = h;
}

PropertyField ValidateAnimationFields(WindowHandle owner, const Animation& animation,
                                      const AnimationPropertiesRequest& r) {
  if (r.sizeEdited) {
    int64_t extentWidth = 0, extentHeight = 0;
    AutoScreenSize(animation, &extentWidth, &extentHeight);
    if (r.width < 0 || r.width > kMaxScreen) {
      Warn(owner, str::PropWidthRange, str::PropWidthRangeTitle);
      return PropertyField::Width;
    }
    if (r.width < extentWidth && !Confirm(owner, str::PropWidthCuts, str::PropSizeCutsTitle)) {
      return PropertyField::Width;
    }
    if (r.height < 0 || r.height > kMaxScreen) {
      Warn(owner, str::PropHeightRange, str::PropHeightRangeTitle);
      return PropertyField::Height;
    }
    if (r.height < extentHeight && !Confirm(owner, str::PropHeightCuts, str::PropSizeCutsTitle)) {
      return PropertyField::Height;
    }
  }
  if (r.loopCount < 0 || r.loopCount > kMaxLoops) {
    Warn(owner, str::PropLoopRange, str::PropLoopRangeTitle);
    return PropertyField::LoopCount;
  }
  return PropertyField::None;
}

PropertiesResult ApplyAnimationProperties(Animation& animation,
                                          const AnimationPropertiesRequest& r) {
  PropertiesResult result;
  const bool loops =
      r.loopCount >= 0 && r.loopCount <= kMaxLoops && r.loopCount != animation.playCount;
  const bool size = r.sizeEdited && r.width >= 0 && r.width <= kMaxScreen && r.height >= 0 &&
                    r.height <= kMaxScreen &&
                    (r.width != animation.screenWidth || r.height != animation.screenHeight);
  const bool background = r.backgroundIndex >= 0 && r.backgroundIndex <= 255 &&
                          r.backgroundIndex != animation.backgroundIndex;
  if (!loops && !size && !background) return result;
  RecordUndo(UndoKind::AnimationProperties, animation);
  if (loops) {
    animation.playCount = static_cast<uint32_t>(r.loopCount);
    result.changes |= propchange::LoopOrBackground;
  }
  if (size) {
    animation.screenWidth = static_cast<uint32_t>(r.width);
    animation.screenHeight = static_cast<uint32_t>(r.height);
    result.changes |= propchange::ScreenSize;
  }
  if (background) {
    animation.backgroundIndex = static_cast<uint8_t>(r.backgroundIndex);
    result.changes |= propchange::LoopOrBackground;
  }
  if (result.changes & propchange::ScreenSize) {
    result.hints = refresh::Document | refresh::ScreenSize | refresh::Encoding;
  } else {
    result.hints = refresh::PropertiesFrame | refresh::Encoding;
  }
  return result;
}

std::vector<ExtensionBlock*> CommentBlocks(const Animation& animation) {
  std::vector<ExtensionBlock*> comments;
  for (Block* b = animation.blocks ? animation.blocks->next : nullptr; b; b = b->next) {
    if (b->kind == BlockKind::Comment) comments.push_back(static_cast<ExtensionBlock*>(b));
  }
  return comments;
}

std::string CommentAt(const Animation& animation, int index) {
  std::vector<ExtensionBlock*> comments = CommentBlocks(animation);
  std::string text;
  if (index >= 0 && index < static_cast<int>(comments.size())) CommentText(comments[index], &text);
  return text;
}

bool InsertComment(Animation& animation, int position, const std::string& text) {
  if (!animation.blocks) return false;
  std::vector<ExtensionBlock*> comments = CommentBlocks(animation);
  position = std::clamp(position, 0, static_cast<int>(comments.size()));
  Block* block = NewBlock(BlockKind::Comment, 0);
  if (!block) return false;
  if (!SetCommentText(block, text)) {
    FreeBlock(block);
    return false;
  }
  RecordUndo(UndoKind::EditComments, animation);
  InsertBlockAfter(position == 0 ? static_cast<Block*>(animation.blocks) : comments[position - 1],
                   block);
  return true;
}

bool ReplaceComment(Animation& animation, int index, const std::string& text) {
  std::vector<ExtensionBlock*> comments = CommentBlocks(animation);
  if (index < 0 || index >= static_cast<int>(comments.size())) return false;
  std::string old;
  CommentText(comments[index], &old);
  if (old == text) return false;
  // The new text is made aside, so that a failure leaves neither the comment nor the history
  // changed.
  ExtensionBlock edited(BlockKind::Comment);
  if (!SetCommentText(&edited, text)) return false;
  RecordUndo(UndoKind::EditComments, animation);
  comments[index]->data.swap(edited.data);
  return true;
}

bool DeleteComment(Animation& animation, int index) {
  std::vector<ExtensionBlock*> comments = CommentBlocks(animation);
  if (index < 0 || index >= static_cast<int>(comments.size())) return false;
  RecordUndo(UndoKind::EditComments, animation);
  UnlinkAndFreeBlock(comments[index]);
  return true;
}

int FramesAfterReduction(int count, int64_t step) {
  if (step < 2 || step > count) return -1;
  return count - static_cast<int>(count / step);
}

int FrameIndexAfterReduction(int index, int step) {
  if (index < 0 || step < 2) return index;
  // Frames step-1, 2*step-1, ... go; a frame that went is replaced by the one before it, which
  // took its delay and is never one that went too.
  if ((index + 1) % step == 0) --index;
  return index - (index + 1) / step;
}

bool ValidateReduceStep(WindowHandle owner, const Animation& animation, int64_t step) {
  if (FramesAfterReduction(animation.frameCount, step) >= 0) return true;
  Warn(owner, str::ReduceCountRange, str::ReduceCountRangeTitle);
  return false;
}

uint32_t ReduceFrameCount(Animation& animation, int step) {
  int count = animation.frameCount;
  if (FramesAfterReduction(count, step) < 0) return 0;
  RecordUndo(UndoKind::ReduceFrameCount, animation);
  for (int i = step - 1; i < count; i += step - 1, --count) {
    Frame* gone = FrameAt(animation, i);
    Frame* before = FrameAt(animation, i - 1);
    if (!gone || !before) break;
    // A GIF delay is 16 bits: the sum stops at the largest one rather than wrapping.
    before->delay = static_cast<uint32_t>(std::min<uint64_t>(uint64_t{before->delay} + gone->delay,
                                                             static_cast<uint64_t>(kMaxDelay)));
    UnlinkAndFreeBlock(gone);
    --animation.frameCount;
  }
  uint32_t selected = 0;
  for (const Frame* f = FirstFrame(animation); f; f = NextFrame(f)) selected += f->selected ? 1 : 0;
  SetSelectedCount(animation, selected);
  if (animation.anchorIndex >= animation.frameCount) animation.anchorIndex = -1;
  return refresh::Document | refresh::FrameCount | refresh::Encoding | refresh::Names |
         refresh::Preview;
}

}  // namespace lw
