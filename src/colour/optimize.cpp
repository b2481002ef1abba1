// The optimizer's run: screen clipping, extension clean-up, the palette step and the frame step,
// with a cancel checked between them; and the question asked before 24-bit data is dropped.
#include "colour/optimize.h"

#include <new>

#include "base/progress.h"
#include "base/string_ids.h"
#include "base/strings.h"
#include "core/compose.h"
#include "core/gif_writer.h"

namespace lw {

// The palette step lives beside the colour engine it drives.
int OptimizePalettes(Animation& animation, const OptimizeOptions& options, ProgressMeter* progress);

namespace {

constexpr const char* kDropTitle = TableText(str::DropTrueColourTitle);
constexpr const char* kDropText = TableText(str::DropTrueColourText);

bool Cancelled(ProgressMeter* progress) { return ProgressSetPosition(progress, 0) == 0; }

}  // namespace

bool CompactPalette(const Palette& palette, uint32_t* usage, PalettePtr* compacted,
                    std::array<uint16_t, 256>* map) {
  if (!usage || !compacted || !map) return false;
  int count = std::min(palette.Count(), 256);
  int used = 0;
  for (int i = 0; i < count; ++i) used += usage[i] != 0;
  if (used == count) return false;
  PalettePtr out;
  try {
    out = std::make_unique<Palette>();
    out->entries.resize(size_t{1} << BitsForColours(std::max(used, 1)));
  } catch (const std::bad_alloc&) {
    return false;
  }
  map->fill(65535);
  uint32_t moved[256] = {};
  int n = 0;
  for (int i = 0; i < count; ++i) {
    if (!usage[i]) continue;
    out->entries[n] = palette.entries[i];
    moved[n] = usage[i];
    (*map)[i] = static_cast<uint16_t>(n++);
  }
  for (int i = 0; i < 256; ++i) usage[i] = moved[i];
  *compacted = std::move(out);
  return true;
}

void OptimizeAnimation(Animation& animation, const OptimizeOptions& options,
                       ProgressMeter* progress) {
  ClipAllFramesToScreen(animation);
  if (Cancelled(progress)) return;

  // Plain text, application and unknown extensions go; comments stay.
  if (animation.blocks) {
    Block* b = animation.blocks->next;
    while (b) {
      Block* next = b->next;
      if (b->kind == BlockKind::PlainText || b->kind == BlockKind::Application ||
          b->kind == BlockKind::OtherExtension) {
        UnlinkAndFreeBlock(b);
      }
      b = next;
    }
  }
  if (Cancelled(progress)) return;

  if (options.steps & (optimize::RemoveLocalPalettes | optimize::ReducePalettes)) {
    if (!OptimizePalettes(animation, options, progress)) return;
    if (Cancelled(progress)) return;
  }
  if (options.steps & optimize::CropFrames) {
    if (!OptimizeFrames(animation, options, progress)) return;
  }
  // Written with as few bits per code as the pixels allow, or as the palette says. Like the
  // other frame techniques, this one acts only with the cut.
  const bool smallest =
      (options.steps & optimize::CropFrames) && (options.steps & optimize::MinimalCodeSize);
  for (Frame* f = FirstFrame(animation); f; f = NextFrame(f))
    f->codeSize = smallest ? SmallestCodeSize(*f) : 0;
}

bool ConfirmDrop24BitData(WindowHandle window, Animation& animation) {
  bool any = false;
  for (const Frame* f = FirstFrame(animation); f && !any; f = NextFrame(f)) {
    any = !f->rgbPlane.empty();
  }
  if (!any) return true;
  int answer =
      Services().MessageBox(window, kDropText, kDropTitle,
                            mb::OkCancel | mb::OkContinues | mb::IconExclamation | mb::TaskModal);
  if (answer != answer::Ok) return false;
  for (Frame* f = FirstFrame(animation); f; f = NextFrame(f)) {
    // A frame that has only 24-bit data keeps it: dropping it would leave no picture.
    if (f->bits()) FreeRgbPlane(f);
  }
  return true;
}

}  // namespace lw
