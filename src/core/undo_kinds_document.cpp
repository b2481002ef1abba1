// Undo kinds that keep a whole copy of the document: the commands that may change anything
// (optimizing, unoptimizing, cropping, resizing, merging, the AVI fix).
#include "base/string_ids.h"
#include "core/undo_kinds.h"

namespace lw {

using namespace undo_detail;

namespace {

uint32_t ApplyWholeCopy(undo::WholeCopy& whole, Animation& document, bool) {
  return ExchangeDocuments(whole.copy, document).done ? refresh::Document : 0;
}

// Optimizing may drop frames.
uint32_t ApplyOptimizedCopy(undo::WholeCopy& whole, Animation& document, bool) {
  DocumentExchange exchange = ExchangeDocuments(whole.copy, document);
  if (!exchange.done) return 0;
  return refresh::Document | (exchange.frameCountChanged ? refresh::FrameCount : 0);
}

uint32_t ApplyResizedCopy(undo::WholeCopy& whole, Animation& document, bool) {
  return ExchangeDocuments(whole.copy, document).done ? refresh::Document | refresh::ScreenSize : 0;
}

uint32_t ApplyMergedCopy(undo::WholeCopy& whole, Animation& document, bool) {
  DocumentExchange exchange = ExchangeDocuments(whole.copy, document);
  if (!exchange.done) return 0;
  return refresh::Document | (exchange.frameCountChanged ? refresh::FrameCount : 0) |
         (exchange.screenSizeChanged ? refresh::ScreenSize : 0);
}

template <auto Apply>
constexpr UndoKindRow CopyRow(UndoKind kind, int nameId) {
  return KindRow<undo::WholeCopy, FillWholeCopy, Apply>(kind, nameId);
}

constexpr UndoKindRow kRows[] = {
    CopyRow<ApplyOptimizedCopy>(UndoKind::Optimize, str::UndoOptimize),
    CopyRow<ApplyWholeCopy>(UndoKind::Unoptimize, str::UndoUnoptimize),
    CopyRow<ApplyResizedCopy>(UndoKind::CropAnimation, str::UndoCropAnimation),
    CopyRow<ApplyResizedCopy>(UndoKind::ResizeAnimation, str::UndoResizeAnimation),
    CopyRow<ApplyMergedCopy>(UndoKind::MergeAnimations, str::UndoMergeAnimations),
    CopyRow<ApplyWholeCopy>(UndoKind::FixForAvi, str::UndoFixForAvi),
    CopyRow<ApplyWholeCopy>(UndoKind::CoEditAnimation, str::UndoCoEditAnimation),
};

}  // namespace

std::span<const UndoKindRow> DocumentUndoKinds() { return kRows; }

}  // namespace lw
