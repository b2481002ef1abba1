// Undo kinds that keep a whole copy of the document: the commands that may change anything
// (optimizing, unoptimizing, cropping, resizing, merging, the AVI fix).
#include "base/string_ids.h"
#include "core/undo_kinds.h"

namespace lw {

using namespace undo_detail;

namespace {

uint32_t ApplyWholeCopy(UndoRecord& record, Animation& document, bool) {
  return ExchangeDocuments(record, document).done ? refresh::Document : 0;
}

// Optimizing may drop frames.
uint32_t ApplyOptimizedCopy(UndoRecord& record, Animation& document, bool) {
  DocumentExchange exchange = ExchangeDocuments(record, document);
  if (!exchange.done) return 0;
  return refresh::Document | (exchange.frameCountChanged ? refresh::FrameCount : 0);
}

uint32_t ApplyResizedCopy(UndoRecord& record, Animation& document, bool) {
  return ExchangeDocuments(record, document).done ? refresh::Document | refresh::ScreenSize : 0;
}

uint32_t ApplyMergedCopy(UndoRecord& record, Animation& document, bool) {
  DocumentExchange exchange = ExchangeDocuments(record, document);
  if (!exchange.done) return 0;
  return refresh::Document | (exchange.frameCountChanged ? refresh::FrameCount : 0) |
         (exchange.screenSizeChanged ? refresh::ScreenSize : 0);
}

constexpr UndoKindRow kRows[] = {
    {undo::Optimize, str::UndoOptimize, FillDocumentCopy, ApplyOptimizedCopy, false},
    {undo::Unoptimize, str::UndoUnoptimize, FillDocumentCopy, ApplyWholeCopy, false},
    {undo::CropAnimation, str::UndoCropAnimation, FillDocumentCopy, ApplyResizedCopy, false},
    {undo::ResizeAnimation, str::UndoResizeAnimation, FillDocumentCopy, ApplyResizedCopy, false},
    {undo::MergeAnimations, str::UndoMergeAnimations, FillDocumentCopy, ApplyMergedCopy, false},
    {undo::FixForAvi, str::UndoFixForAvi, FillDocumentCopy, ApplyWholeCopy, false},
    {undo::CoEditAnimation, str::UndoCoEditAnimation, FillDocumentCopy, ApplyWholeCopy, false},
};

}  // namespace

std::span<const UndoKindRow> DocumentUndoKinds() { return kRows; }

}  // namespace lw
