// The animation record, its block list and the operations on whole lists.
#include "core/animation.h"

#include <algorithm>
#include <new>

#include "base/progress.h"
#include "core/model_internal.h"

namespace lw {

Animation::~Animation() {
  Block* block = blocks;
  while (block) block = FreeBlock(block);
  blocks = nullptr;
  // A long load chain is freed in a loop rather than by recursion.
  std::unique_ptr<Animation> chain = std::move(nextInChain);
  while (chain) chain = std::move(chain->nextInChain);
}

// ---------------------------------------------------------------------------------------------
// Construction and destruction

Block* NewBlock(BlockKind kind, size_t dataSize) {
  try {
    switch (kind) {
      case BlockKind::Frame: return new Frame;
      case BlockKind::ListHead: return new ListHead;
      case BlockKind::PlainText:
      case BlockKind::Comment:
      case BlockKind::Application:
      case BlockKind::OtherExtension: {
        auto block = std::make_unique<ExtensionBlock>(kind);
        block->data.resize(dataSize);
        return block.release();
      }
    }
  } catch (const std::bad_alloc&) {
  } catch (const std::length_error&) {
  }
  return nullptr;
}

AnimationPtr NewAnimation() {
  try {
    auto animation = std::make_unique<Animation>();
    animation->blocks = new ListHead;
    return animation;
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
}

Frame* NewFrame(uint32_t width, uint32_t height, uint32_t delay) {
  auto* frame = static_cast<Frame*>(NewBlock(BlockKind::Frame, 0));
  if (!frame) return nullptr;
  frame->width = width;
  frame->height = height;
  frame->delay = delay;
  return frame;
}

AnimationPtr NewBlankAnimation(uint32_t width, uint32_t height, const Timing& timing) {
  AnimationPtr animation = NewAnimation();
  if (!animation) return nullptr;
  Frame* frame = NewFrame(width, height, timing.defaultDelay);
  if (!frame) return nullptr;
  animation->screenWidth = width;
  animation->screenHeight = height;
  animation->playCount = timing.defaultLoopCount;
  animation->frameCount = 1;
  InsertBlockAfter(animation->blocks, frame);
  return animation;
}

Frame* FrameFromControlExtension(const uint8_t* gce, const Timing& timing) {
  auto* frame = static_cast<Frame*>(NewBlock(BlockKind::Frame, 0));
  if (!frame) return nullptr;
  if (!gce) {
    frame->delay = timing.defaultDelay;
    return frame;
  }
  uint64_t hundredths = static_cast<uint32_t>(gce[2] | (gce[3] << 8));
  frame->delay = static_cast<uint32_t>(hundredths / timing.units.HundredthsPerUnit());
  frame->controlFlags = gce[1];
  frame->transparentIndex = gce[4];
  return frame;
}

Block* FreeBlock(Block* block) {
  if (!block) return nullptr;
  Block* next = block->next;
  delete block;
  return next;
}

void FreeAnimation(Animation* animation) { delete animation; }

Block* DuplicateBlock(const Block* block, Palette* paletteForGlobalFrames) {
  if (!block) return nullptr;
  try {
    if (auto* from = dynamic_cast<const Frame*>(block)) {
      auto frame = std::make_unique<Frame>();
      frame->selected = from->selected;
      frame->savedIndex = from->savedIndex;
      frame->left = from->left;
      frame->top = from->top;
      frame->width = from->width;
      frame->height = from->height;
      frame->hotspotX = from->hotspotX;
      frame->hotspotY = from->hotspotY;
      AddNameReference(from->nameAtom);
      frame->nameAtom = from->nameAtom;
      frame->delay = from->delay;
      frame->controlFlags = from->controlFlags;
      frame->transparentIndex = from->transparentIndex;
      frame->descriptorFlags = from->descriptorFlags;
      frame->codeSize = from->codeSize;
      if (from->localPalette) {
        frame->localPalette = CopyPalette(from->localPalette.get());
        if (!frame->localPalette) return nullptr;
        frame->palette = frame->localPalette.get();
      } else {
        frame->palette = paletteForGlobalFrames;
      }
      model::PixelLayout layout;
      if (model::DibLayout(from, &layout)) {
        frame->dib = BuildDib(layout.width, layout.height, frame->palette);
        if (frame->dib.empty()) return nullptr;
        std::copy_n(from->bits(), layout.stride * layout.height, frame->bits());
      }
      frame->rgbPlane = from->rgbPlane;
      if (!frame->rgbPlane.empty()) frame->alphaPlane = from->alphaPlane;
      RebuildTransparencyMask(frame.get());
      if (frame->Transparent() && !frame->dib.empty() && frame->transparencyMask.empty()) {
        return nullptr;
      }
      return frame.release();
    }
    if (auto* from = dynamic_cast<const ExtensionBlock*>(block)) {
      auto copy = std::make_unique<ExtensionBlock>(from->kind);
      copy->data = from->data;
      copy->label = from->label;
      return copy.release();
    }
    if (block->kind == BlockKind::ListHead) return new ListHead;
  } catch (const std::bad_alloc&) {
  }
  return nullptr;
}

AnimationPtr CloneAnimationHeader(const Animation& animation) {
  try {
    auto clone = std::make_unique<Animation>();
    clone->screenWidth = animation.screenWidth;
    clone->screenHeight = animation.screenHeight;
    clone->playCount = animation.playCount;
    clone->frameCount = 0;
    clone->anchorIndex = animation.anchorIndex;
    clone->selectedCount = animation.selectedCount;
    clone->screenFlags = 0;
    clone->backgroundIndex = animation.backgroundIndex;
    clone->aspectByte = animation.aspectByte;
    clone->encodedSizeCache = animation.encodedSizeCache;
    clone->colourUsage = animation.colourUsage;
    clone->blocks = new ListHead;
    return clone;
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
}

AnimationPtr DuplicateAnimation(const Animation& animation, ProgressMeter* progress) {
  AnimationPtr copy = CloneAnimationHeader(animation);
  if (!copy) return nullptr;
  ProgressSetRange(progress, animation.frameCount > 0 ? animation.frameCount : 0);
  if (animation.globalPalette) {
    copy->globalPalette = CopyPalette(animation.globalPalette.get());
    if (!copy->globalPalette) return nullptr;
  }
  // The copy is written back as the original was, colour resolution and sort bits included.
  copy->screenFlags = animation.screenFlags;
  Block* last = copy->blocks;
  for (Block* block = animation.blocks ? animation.blocks->next : nullptr; block;
       block = block->next) {
    Block* duplicate = DuplicateBlock(block, copy->globalPalette.get());
    if (!duplicate) return nullptr;
    InsertBlockAfter(last, duplicate);
    last = duplicate;
    if (duplicate->IsFrame()) ++copy->frameCount;
    if (!ProgressStep(progress)) break;
  }
  return copy;
}

void SwapAnimations(Animation& a, Animation& b) {
  if (&a == &b) return;
  std::swap(a.screenWidth, b.screenWidth);
  std::swap(a.screenHeight, b.screenHeight);
  std::swap(a.playCount, b.playCount);
  std::swap(a.frameCount, b.frameCount);
  std::swap(a.blocks, b.blocks);
  std::swap(a.anchorIndex, b.anchorIndex);
  std::swap(a.selectedCount, b.selectedCount);
  std::swap(a.globalPalette, b.globalPalette);
  std::swap(a.screenFlags, b.screenFlags);
  std::swap(a.backgroundIndex, b.backgroundIndex);
  std::swap(a.aspectByte, b.aspectByte);
  std::swap(a.encodedSizeCache, b.encodedSizeCache);
  std::swap(a.colourUsage, b.colourUsage);
  std::swap(a.nextInChain, b.nextInChain);
}

// ---------------------------------------------------------------------------------------------
// List operations

void LinkBlocks(Block* a, Block* b) {
  if (a) a->next = b;
  if (b) b->prev = a;
}

void InsertBlockAfter(Block* a, Block* b) {
  if (!a || !b) return;
  LinkBlocks(b, a->next);
  LinkBlocks(a, b);
}

void UnlinkAndFreeBlock(Block* block) {
  if (!block) return;
  if (block->prev) {
    LinkBlocks(block->prev, block->next);
  } else if (block->next) {
    block->next->prev = nullptr;
  }
  block->next = nullptr;
  FreeBlock(block);
}

Frame* NextFrame(const Block* block) {
  for (Block* b = block ? block->next : nullptr; b; b = b->next) {
    if (b->IsFrame()) return static_cast<Frame*>(b);
  }
  return nullptr;
}

Frame* PrevFrame(const Block* block) {
  for (Block* b = block ? block->prev : nullptr; b; b = b->prev) {
    if (b->IsFrame()) return static_cast<Frame*>(b);
  }
  return nullptr;
}

Frame* FirstFrame(const Animation& animation) { return NextFrame(animation.blocks); }

Block* LastBlock(const Animation& animation) {
  Block* block = animation.blocks;
  while (block && block->next) block = block->next;
  return block;
}

Frame* FrameAt(const Animation& animation, int index) {
  if (index < 0) return nullptr;
  for (Frame* f = FirstFrame(animation); f; f = NextFrame(f)) {
    if (index-- == 0) return f;
  }
  return nullptr;
}

int FrameIndex(const Animation& animation, const Frame* frame) {
  int index = 0;
  for (Frame* f = FirstFrame(animation); f; f = NextFrame(f), ++index) {
    if (f == frame) return index;
  }
  return -1;
}

Frame* FirstSelectedFrame(const Animation& animation) {
  Frame* f = FirstFrame(animation);
  return f && f->selected ? f : NextSelectedFrame(f);
}

Frame* NextSelectedFrame(const Frame* frame) {
  for (Frame* f = NextFrame(frame); f; f = NextFrame(f)) {
    if (f->selected) return f;
  }
  return nullptr;
}

bool ReverseBlocks(Animation& animation) {
  if (animation.frameCount < 2 || !animation.blocks) return false;
  Block* head = animation.blocks;
  Block* reversed = nullptr;  // built back to front
  Block* block = head->next;
  while (block) {
    Block* next = block->next;
    block->next = reversed;
    if (reversed) reversed->prev = block;
    reversed = block;
    block = next;
  }
  LinkBlocks(head, reversed);
  return true;
}

bool AppendPingPong(Animation& animation) {
  int count = 0;
  for (Frame* f = FirstFrame(animation); f; f = NextFrame(f)) ++count;
  if (count < 3) return true;                   // nothing to add
  if (2 * count - 2 > INT16_MAX) return false;  // the frame count would not fit
  // Copies go into a chain of their own first, so that a failure leaves the document untouched.
  ListHead copies;
  Block* last = &copies;
  Block* tail = LastBlock(animation);
  // From the second-to-last frame back to the second.
  Frame* source = PrevFrame(FrameAt(animation, count - 1));
  Frame* first = FirstFrame(animation);
  for (Frame* f = source; f && f != first; f = PrevFrame(f)) {
    Block* copy = DuplicateBlock(f, animation.globalPalette.get());
    if (!copy) {
      Block* b = copies.next;
      while (b) b = FreeBlock(b);
      return false;
    }
    InsertBlockAfter(last, copy);
    last = copy;
  }
  LinkBlocks(tail, copies.next);
  copies.next = nullptr;
  animation.frameCount = static_cast<int16_t>(animation.frameCount + (count - 2));
  return true;
}

void MergeChain(Animation& animation) {
  std::unique_ptr<Animation> chain = std::move(animation.nextInChain);
  while (chain) {
    Block* first = chain->blocks ? chain->blocks->next : nullptr;
    if (first) {
      // The chained animation's palette goes with it: its borrowers take the first one's.
      for (Block* b = first; b; b = b->next) {
        if (!b->IsFrame()) continue;
        auto* frame = static_cast<Frame*>(b);
        if (!frame->localPalette && frame->palette == chain->globalPalette.get() &&
            frame->palette) {
          frame->palette = animation.globalPalette.get();
        }
      }
      chain->blocks->next = nullptr;
      LinkBlocks(LastBlock(animation), first);
    }
    int total = animation.frameCount + std::max<int>(chain->frameCount, 0);
    animation.frameCount = static_cast<int16_t>(std::min(total, int{INT16_MAX}));
    chain = std::move(chain->nextInChain);
  }
}

// ---------------------------------------------------------------------------------------------
// Setters

PalettePtr SetGlobalPalette(Animation& animation, PalettePtr palette) {
  PalettePtr old = std::move(animation.globalPalette);
  if (palette) {
    uint8_t b = static_cast<uint8_t>(BitsForColours(palette->Count()) - 1);
    animation.screenFlags = static_cast<uint8_t>(0x80 | (b << 4) | b);
  } else {
    animation.screenFlags = 0;
  }
  animation.globalPalette = std::move(palette);
  for (Frame* f = FirstFrame(animation); f; f = NextFrame(f)) {
    if (f->localPalette || f->palette != old.get()) continue;
    f->palette = animation.globalPalette.get();
    TouchFrame(f);
  }
  return old;
}

void SetSelectedCount(Animation& animation, uint32_t count) {
  animation.selectedCount = count;
  if (count == 0) animation.anchorIndex = -1;
}

}  // namespace lw
