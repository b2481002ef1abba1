#include "shell/layer_commands.h"

#include <new>
#include <vector>

#include "base/messages.h"
#include "base/progress.h"
#include "base/string_ids.h"
#include "base/strings.h"
#include "core/undo.h"
#include "formats/open_flow.h"
#include "shell/options_from_preferences.h"
#include "shell/status_text.h"

namespace lw {

int LayOverCommand(Animation& document, const Layer& layer, LayerOptions options,
                   WindowHandle owner, LayerReport* report, uint32_t* hints) {
  LayerReport local;
  if (!report) report = &local;
  *report = LayerReport{};
  if (hints) *hints = 0;
  undo::LaidLayer laid;
  int chosen = 0;
  try {
    for (int i = 0; i < document.frameCount; ++i) {
      if (options.frames.empty() ||
          (static_cast<size_t>(i) < options.frames.size() && options.frames[i])) {
        laid.indexes.push_back(static_cast<uint32_t>(i));
        ++chosen;
      }
    }
  } catch (const std::bad_alloc&) {
    return str::CaptionNoMemory;
  }
  if (chosen == 0) return str::CaptionNoFrame;
  laid.rebuilt = !LayerDrawsInPlace(document, layer, options);

  ProgressMeterPtr progress(CreateProgressMeter(owner, 0, 0));
  ProgressSetText(progress.get(), LoadResText(str::LayerProgress));
  ProgressSetRange(progress.get(),
                   static_cast<uint32_t>(chosen + (laid.rebuilt ? document.frameCount : 0)));
  options.progress = progress.get();

  // Whatever stops the drawing half way, the frames come back: through the undo step, or, when
  // the history keeps none (undo off, memory short), by drawing on a copy.
  UndoStep step(UndoStep::Restore, UndoKind::AddLayer, document, std::move(laid));
  AnimationPtr copy;
  if (!step.Record()) {
    copy = DuplicateAnimation(document, nullptr);
    if (!copy) return str::CaptionNoMemory;
  }
  const int message = PaintLayer(copy ? *copy : document, layer, options, report);
  progress.reset();
  if (message != 0) return message;
  if (copy) SwapAnimations(document, *copy);
  step.Commit();
  if (hints) *hints = refresh::Document | refresh::Encoding;
  return 0;
}

bool ReadOverlayPicture(const std::string& path, WindowHandle owner, Layer* layer) {
  AnimationPtr picture;
  if (ReadAnyFile(path, ReadOptionsFromPreferences(), owner, &picture, nullptr) == 0 || !picture)
    return false;
  const Frame* first = FirstFrame(*picture);
  if (!first || !LayerFromFrame(*first, layer)) {
    ShowErrorId(str::OverlayNoImage, path.c_str());
    return false;
  }
  return true;
}

std::string LayerReportNote(const LayerReport& report) {
  std::string note;
  if (report.coloursApproximated > 0) {
    std::string format = ResText(str::CaptionApproximated);
    const size_t at = format.find("%d");
    if (at != std::string::npos) format.replace(at, 2, FormatThousands(report.coloursApproximated));
    note = format;
  }
  if (report.recomposed) {
    if (!note.empty()) note += '\n';
    note += ResText(str::CaptionRecomposed);
  }
  return note;
}

}  // namespace lw
