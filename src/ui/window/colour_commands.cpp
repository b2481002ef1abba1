#include "ui/window/colour_commands.h"

#include <QApplication>

#include "base/progress.h"
#include "colour/palette_edit.h"
#include "core/document_listener.h"
#include "shell/command_ids.h"
#include "shell/options_from_preferences.h"
#include "ui/dialogs/index_choice_dialog.h"
#include "ui/dialogs/palette_edit_dialog.h"
#include "ui/dialogs/pixel_edit_dialog.h"

namespace lw {

bool IsColourCommand(int command) {
  switch (command) {
    case cmd::ToggleTransparency:
    case cmd::ChooseTransparentColour:
    case cmd::LocalPalettePresent:
    case cmd::EditLocalPalette:
    case cmd::EditGlobalPalette:
    case cmd::EditPixels: return true;
    default: return false;
  }
}

uint32_t RunColourCommand(QWidget* owner, ShellState& state, int command) {
  if (!state.document || !IsColourCommand(command)) return 0;
  Animation& doc = *state.document;
  int index = state.currentFrame;
  Frame* frame = FrameAt(doc, index);
  if (!frame && command != cmd::EditGlobalPalette) return 0;
  // Nothing may read the document while it changes.
  StopTasks(task::SizeEstimate | task::ColourCount);
  state.StopPreview();
  uint32_t hints = 0;
  switch (command) {
    case cmd::ToggleTransparency:
      // The button was just checked: the colour is chosen first; unchecked: switched off.
      if (frame->Transparent()) {
        hints = TransparencyOff(doc, index);
      } else {
        hints = ChooseFrameTransparency(owner, doc, index);
      }
      break;
    case cmd::ChooseTransparentColour: hints = ChooseFrameTransparency(owner, doc, index); break;
    case cmd::LocalPalettePresent:
      QApplication::setOverrideCursor(Qt::WaitCursor);
      hints = RemoveLocalPaletteEdit(doc, index, PaletteFitOptionsFromPreferences(), owner);
      QApplication::restoreOverrideCursor();
      break;
    case cmd::EditLocalPalette: hints = EditLocalPalette(owner, doc, index); break;
    case cmd::EditGlobalPalette: hints = EditGlobalPalette(owner, doc, index); break;
    case cmd::EditPixels: hints = EditFramePixels(owner, doc, index); break;
  }
  if (hints == 0) {
    // A toolbar button the user clicked goes back to what the frame says.
    return refresh::PropertiesFrame;
  }
  state.modified = true;
  return hints;
}

}  // namespace lw
