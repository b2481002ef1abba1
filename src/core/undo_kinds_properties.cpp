// Undo kinds of the frame properties: the delays, one frame's properties, and the properties
// given to every frame at once.
#include <new>
#include <utility>

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

// extra: every frame's delay, in order.
bool FillDurations(UndoRecord& record, Animation& document, Frame*) {
  try {
    for (const Frame* f = FirstFrame(document); f; f = NextFrame(f)) {
      record.extra.push_back(f->delay);
    }
  } catch (const std::bad_alloc&) {
    return false;
  }
  return true;
}

uint32_t ApplyDurations(UndoRecord& record, Animation& document, bool) {
  size_t i = 0;
  for (Frame* f = FirstFrame(document); f && i < record.extra.size(); f = NextFrame(f), ++i) {
    std::swap(f->delay, record.extra[i]);
  }
  return refresh::PropertiesFrame | refresh::Preview;
}

// param: the frame index in the high half; low half 1 when the image changed too (the whole frame
// is kept), else the attributes only.
bool FillFrameProperties(UndoRecord& record, Animation& document, Frame*) {
  Frame* frame = FrameAt(document, static_cast<int>(High(record.param)));
  if (!frame) return false;
  record.frames = Low(record.param) == 1 ? CopyFrame(frame) : CopyAttributes(frame);
  return record.frames != nullptr;
}

uint32_t ApplyFrameProperties(UndoRecord& record, Animation& document, bool) {
  uint32_t index = High(record.param);
  Frame* frame = FrameAt(document, static_cast<int>(index));
  if (!frame || !record.frames) return 0;
  if (Low(record.param) == 1) {
    // The size goes with the image: a copy's pixels match its own width and height. The control
    // byte (disposal, transparency) goes with the image too.
    SwapFrameImagesAndGeometry(frame, record.frames);
    std::swap(frame->delay, record.frames->delay);
    bool interlaced = frame->Interlaced();
    SetInterlaced(frame, record.frames->Interlaced());
    SetInterlaced(record.frames, interlaced);
    std::swap(frame->nameAtom, record.frames->nameAtom);
    LendGlobalPalette(document);
  } else {
    ExchangeAttributes(frame, record.frames, true);
  }
  return refresh::ForFrame(kFrameImageAndFlags, index);
}

// param low half 1: the images changed too (a whole copy); else every frame's attributes.
bool FillGlobalProperties(UndoRecord& record, Animation& document, Frame* handedFrames) {
  if (Low(record.param) == 1) return FillDocumentCopy(record, document, handedFrames);
  record.documentCopy = CopyDocumentAttributes(document);
  return record.documentCopy != nullptr;
}

uint32_t ApplyGlobalProperties(UndoRecord& record, Animation& document, bool) {
  if (Low(record.param) == 1) {
    ExchangeDocuments(record, document);
    return refresh::Document | refresh::Encoding;
  }
  if (!record.documentCopy) return 0;
  Frame* stored = FirstFrame(*record.documentCopy);
  for (Frame* f = FirstFrame(document); f && stored; f = NextFrame(f), stored = NextFrame(stored)) {
    ExchangeAttributes(f, stored, true);
  }
  return refresh::Document;
}

constexpr UndoKindRow kRows[] = {
    {undo::EditDurations, str::UndoReeditDurations, FillDurations, ApplyDurations, false},
    {undo::FrameProperties, str::UndoFrameProperties, FillFrameProperties, ApplyFrameProperties,
     false},
    {undo::GlobalFrameProperties, str::UndoGlobalFrameProperties, FillGlobalProperties,
     ApplyGlobalProperties, false},
};

}  // namespace

std::span<const UndoKindRow> PropertyUndoKinds() { return kRows; }

}  // namespace lw
