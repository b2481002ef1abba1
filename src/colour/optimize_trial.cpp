#include "colour/optimize_trial.h"

#include <cstdio>
#include <new>

#include "base/numbers.h"
#include "base/progress.h"
#include "base/string_ids.h"
#include "base/strings.h"
#include "core/gif_writer.h"
#include "core/undo.h"

namespace lw {

namespace {

// Options that belong to the local-palette box.
constexpr uint32_t kLocalPaletteChoices =
    optimize::RemoveLocalPalettes | optimize::MapToGlobalPalette | optimize::BuildMetaPalette;

bool HasSinglePixelFrame(const Animation& animation) {
  for (Frame* f = FirstFrame(animation); f; f = NextFrame(f))
    if (f->width == 1 && f->height == 1) return true;
  return false;
}

}  // namespace

TrialStatus RunOptimizeTrial(const Animation& document, const OptimizeOptions& options,
                             ProgressMeter* progress, AnimationPtr* copy, int32_t* size) {
  *size = -1;
  ProgressSetText(progress, LoadResText(str::OptimizeCopying));
  copy->reset();
  try {
    *copy = DuplicateAnimation(document, progress);
  } catch (const std::bad_alloc&) {
    copy->reset();
  }
  if (!*copy) return TrialStatus::NoMemory;
  // A copy cut short by a stop is not the document.
  if (!ProgressStep(progress)) return TrialStatus::Stopped;
  OptimizeAnimation(**copy, options, progress);
  if (!ProgressStep(progress)) return TrialStatus::Stopped;
  ProgressSetText(progress, LoadResText(str::OptimizeMeasuring));
  int32_t measured = EstimateEncodedSize(**copy, true, options.signature, progress);
  if (measured < 0 || !ProgressStep(progress)) return TrialStatus::Stopped;
  *size = measured;
  return TrialStatus::Done;
}

uint32_t TrialOptions(uint32_t controls, bool localPalettesEnabled) {
  uint32_t options = StoredOptions(controls);
  if (!localPalettesEnabled) options &= ~kLocalPaletteChoices;
  return options;
}

uint32_t StoredOptions(uint32_t controls) { return controls & ~optimize::NotADialogOption; }

bool UselessFramesToggleNeedsTrial(bool checked, const Animation& document,
                                   const Animation& result) {
  if (checked) return HasSinglePixelFrame(result);
  return result.frameCount < document.frameCount;
}

std::string SizeFieldText(int64_t size, const std::string& separator) {
  if (size < 0) return {};
  if (size == 0) return ResText(str::OptimizeSizeNone);
  std::string format = ResText(str::OptimizeSizeBytes);
  std::string number = GroupDigits(size, separator);
  size_t at = format.find("%s");
  if (at != std::string::npos) format.replace(at, 2, number);
  return format;
}

void SavingTexts(int64_t before, int64_t after, const std::string& separator, std::string* saving,
                 std::string* percent) {
  saving->clear();
  percent->clear();
  if (before < 0 || after < 0 || after > before) return;
  *saving = SizeFieldText(before - after, separator);
  // An empty document saves nothing: no percentage of nothing.
  if (before == 0) return;
  *percent =
      "(" +
      DecimalText(static_cast<double>(before - after) * 100.0 / static_cast<double>(before), 1) +
      "%)";
}

bool KeepOptimizeTrial(Animation& document, AnimationPtr copy, int32_t copySize,
                       const SaveSignature& signature) {
  if (!copy || copySize < 0) return false;
  int32_t before = EstimateEncodedSize(document, false, signature, nullptr);
  if (before == copySize) return false;
  // The optimized copy becomes the document; the old content is the undo step.
  SwapAnimations(document, *copy);
  RecordUndo(UndoKind::Optimize, document, undo::WholeCopy{std::move(copy)});
  document.encodedSizeCache = copySize;
  return true;
}

void OptimizeInPlace(Animation& document, const OptimizeOptions& options, ProgressMeter* progress) {
  OptimizeAnimation(document, options, progress);
  document.encodedSizeCache = -1;
}

}  // namespace lw
