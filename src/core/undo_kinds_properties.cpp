// Undo kinds of the properties: the delays, one frame's properties, the properties given to
// every frame at once, and the animation's own settings and comments.
#include <cstdint>
#include <new>
#include <utility>
#include <vector>

#include "base/string_ids.h"
#include "core/compose.h"
#include "core/undo_kinds.h"

namespace lw {

using namespace undo_detail;

namespace {

constexpr uint32_t kFrameImageAndFlags =
    refresh::OneFrame | refresh::PropertiesFrame | refresh::Encoding;

// Delay, interlace flag, disposal, name and position; the transparency flag when asked.
void ExchangeAttributes(Frame* frame, Frame* stored, bool transparency) {
  std::swap(frame->delay, stored->delay);
  bool interlaced = frame->Interlaced();
  SetInterlaced(frame, stored->Interlaced());
  SetInterlaced(stored, interlaced);
  int disposal = frame->Disposal();
  SetDisposal(frame, stored->Disposal());
  SetDisposal(stored, disposal);
  std::swap(frame->nameAtom, stored->nameAtom);
  std::swap(frame->left, stored->left);
  std::swap(frame->top, stored->top);
  if (transparency) {
    bool on = frame->Transparent();
    SetTransparency(frame, stored->Transparent());
    stored->controlFlags = static_cast<uint8_t>((stored->controlFlags & ~1) | (on ? 1 : 0));
  }
}

bool FillDurations(undo::Delays& delays, Animation& document) {
  try {
    for (const Frame* f = FirstFrame(document); f; f = NextFrame(f)) {
      delays.delays.push_back(f->delay);
    }
  } catch (const std::bad_alloc&) {
    return false;
  }
  return true;
}

uint32_t ApplyDurations(undo::Delays& delays, Animation& document, bool) {
  size_t i = 0;
  for (Frame* f = FirstFrame(document); f && i < delays.delays.size(); f = NextFrame(f), ++i) {
    std::swap(f->delay, delays.delays[i]);
  }
  return refresh::PropertiesFrame | refresh::Preview;
}

bool FillFrameProperties(undo::FrameAttributes& attributes, Animation& document) {
  Frame* frame = FrameAt(document, attributes.index);
  if (!frame) return false;
  attributes.frame = attributes.imageChanged ? CopyFrame(frame) : CopyAttributes(frame);
  return attributes.frame != nullptr;
}

uint32_t ApplyFrameProperties(undo::FrameAttributes& attributes, Animation& document, bool) {
  Frame* frame = FrameAt(document, attributes.index);
  Frame* stored = attributes.frame.get();
  if (!frame || !stored) return 0;
  if (attributes.imageChanged) {
    // The size goes with the image: a copy's pixels match its own width and height. The control
    // byte (disposal, transparency) goes with the image too.
    SwapFrameImagesAndGeometry(frame, stored);
    std::swap(frame->delay, stored->delay);
    bool interlaced = frame->Interlaced();
    SetInterlaced(frame, stored->Interlaced());
    SetInterlaced(stored, interlaced);
    std::swap(frame->nameAtom, stored->nameAtom);
    LendGlobalPalette(document);
  } else {
    ExchangeAttributes(frame, stored, true);
  }
  return refresh::ForFrame(kFrameImageAndFlags, static_cast<uint32_t>(attributes.index));
}

bool FillGlobalProperties(undo::AllFrameAttributes& attributes, Animation& document) {
  if (attributes.imagesChanged) {
    if (!attributes.copy) attributes.copy = CopyDocument(document);
  } else {
    attributes.copy = CopyDocumentAttributes(document);
  }
  return attributes.copy != nullptr;
}

uint32_t ApplyGlobalProperties(undo::AllFrameAttributes& attributes, Animation& document, bool) {
  if (attributes.imagesChanged) {
    ExchangeDocuments(attributes.copy, document);
    return refresh::Document | refresh::Encoding;
  }
  if (!attributes.copy) return 0;
  Frame* stored = FirstFrame(*attributes.copy);
  for (Frame* f = FirstFrame(document); f && stored; f = NextFrame(f), stored = NextFrame(stored)) {
    ExchangeAttributes(f, stored, true);
  }
  return refresh::Document;
}

// The place of each comment block: how many other blocks (frames and extensions) come before it.
std::vector<uint32_t> CommentPlaces(const Animation& document) {
  std::vector<uint32_t> places;
  uint32_t others = 0;
  for (Block* b = document.blocks ? document.blocks->next : nullptr; b; b = b->next) {
    if (b->kind == BlockKind::Comment) {
      places.push_back(others);
    } else {
      ++others;
    }
  }
  return places;
}

// The loop count, screen size and background index, and the comment blocks with their places.
bool FillAnimationSettings(undo::AnimationSettings& settings, Animation& document) {
  try {
    settings.commentPlaces = CommentPlaces(document);
  } catch (const std::bad_alloc&) {
    return false;
  }
  settings.header = CopyDocumentSettings(document);
  return settings.header != nullptr;
}

uint32_t ApplyAnimationSettings(undo::AnimationSettings& settings, Animation& document, bool) {
  Animation* stored = settings.header.get();
  if (!stored || !stored->blocks || !document.blocks) return 0;
  std::vector<uint32_t> places;
  std::vector<Block*> taken;
  try {
    places = CommentPlaces(document);
    taken.reserve(places.size());
  } catch (const std::bad_alloc&) {
    return 0;
  }
  bool screen =
      stored->screenWidth != document.screenWidth || stored->screenHeight != document.screenHeight;
  std::swap(document.playCount, stored->playCount);
  std::swap(document.screenWidth, stored->screenWidth);
  std::swap(document.screenHeight, stored->screenHeight);
  std::swap(document.backgroundIndex, stored->backgroundIndex);

  // The document's comments come out, in order...
  for (Block* b = document.blocks->next; b;) {
    Block* next = b->next;
    if (b->kind == BlockKind::Comment) {
      LinkBlocks(b->prev, b->next);
      b->next = b->prev = nullptr;
      taken.push_back(b);
    }
    b = next;
  }
  // ... the stored ones go back at their places (past the end when the list is shorter) ...
  Block* at = document.blocks;
  uint32_t passed = 0;
  size_t i = 0;
  for (Block* c = stored->blocks->next; c; ++i) {
    Block* next = c->next;
    uint32_t place = i < settings.commentPlaces.size() ? settings.commentPlaces[i] : UINT32_MAX;
    while (passed < place && at->next) {
      at = at->next;
      ++passed;
    }
    c->next = c->prev = nullptr;
    InsertBlockAfter(at, c);
    at = c;
    c = next;
  }
  // ... and the document's take their place in the record.
  stored->blocks->next = nullptr;
  Block* last = stored->blocks;
  for (Block* b : taken) {
    InsertBlockAfter(last, b);
    last = b;
  }
  settings.commentPlaces.swap(places);
  document.encodedSizeCache = -1;
  return refresh::Document | refresh::Encoding | (screen ? refresh::ScreenSize : 0);
}

constexpr UndoKindRow kRows[] = {
    KindRow<undo::Delays, FillDurations, ApplyDurations>(UndoKind::EditDurations,
                                                         str::UndoReeditDurations),
    KindRow<undo::FrameAttributes, FillFrameProperties, ApplyFrameProperties>(
        UndoKind::FrameProperties, str::UndoFrameProperties),
    KindRow<undo::AllFrameAttributes, FillGlobalProperties, ApplyGlobalProperties>(
        UndoKind::GlobalFrameProperties, str::UndoGlobalFrameProperties),
    KindRow<undo::AnimationSettings, FillAnimationSettings, ApplyAnimationSettings>(
        UndoKind::AnimationProperties, str::UndoAnimationProperties),
    KindRow<undo::AnimationSettings, FillAnimationSettings, ApplyAnimationSettings>(
        UndoKind::EditComments, str::UndoEditComments),
};

}  // namespace

std::span<const UndoKindRow> PropertyUndoKinds() { return kRows; }

}  // namespace lw
