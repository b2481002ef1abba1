#include "formats/strip_import.h"

#include <string>

#include "core/undo.h"
#include "formats/format_registry.h"
#include "formats/open_flow.h"
#include "formats/strip/strip_format.h"
#include "formats/strip_flow.h"

namespace lw {

bool ImportStripCommand(DocumentSession& state) {
  if (!OpenCommand(state, std::string(), ImportFilter(ImportStripCommandId))) return false;
  if (!state.document ||
      !SplitStrip(*state.document, state.Settings().read.timing.defaultDelay, state.owner)) {
    // Nothing was changed since the open: closing asks no question.
    state.modified = false;
    CloseDocument(state);
    return false;
  }
  // A strip read from a still image must not be saved back over it as its first frame alone.
  if (!NameSurvivesInsert(state.documentPath)) state.documentPath.clear();
  state.currentFrame = -1;
  state.modified = true;
  state.NotifyTitle();
  state.NotifyDocument(refresh::Document | refresh::FrameCount | refresh::ScreenSize |
                       refresh::Encoding | refresh::Names);
  return true;
}

}  // namespace lw
