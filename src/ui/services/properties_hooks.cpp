#include "ui/services/properties_hooks.h"

#include <algorithm>

#include "base/string_ids.h"
#include "colour/palette_edit.h"
#include "core/animation.h"
#include "ui/dialogs/background_index_dialog.h"
#include "ui/dialogs/index_choice_dialog.h"
#include "ui/dialogs/palette_edit_dialog.h"
#include "ui/dialogs/properties_sheet.h"

namespace lw {
namespace {

bool ChooseTransparency(QWidget* parent, Animation&, Frame* frame, std::vector<uint8_t>* indexes) {
  if (!frame || !frame->palette) return false;
  TransparencyChoice choice = TransparencyChoice::OfFrame(frame);
  choice.fromPropertyPage = true;
  choice.count = static_cast<int>(std::min<size_t>(indexes->size(), choice.indexes.size()));
  std::copy_n(indexes->begin(), choice.count, choice.indexes.begin());
  IndexChoiceDialog dialog(parent, str::TranspChooseTitle, *frame->palette, frame, choice);
  // OK counts even when the choice stayed as it opened: the user may have unchecked the box
  // and confirmed the frame's own index to check it again.
  if (dialog.exec() != QDialog::Accepted) return false;
  *indexes = dialog.Chosen();
  return true;
}

bool EditPalette(QWidget* parent, Animation& animation, Frame* frame) {
  if (frame) return EditLocalPalette(parent, animation, FrameIndex(animation, frame)) != 0;
  return EditGlobalPalette(parent, animation, 0) != 0;
}

int ChooseBackground(QWidget* parent, Animation& animation, int current) {
  if (!animation.globalPalette) return -1;
  return AskBackgroundIndex(parent, *animation.globalPalette, current);
}

}  // namespace

void InstallPropertiesSheetHooks() {
  PropertiesSheetHooks hooks;
  hooks.chooseTransparency = ChooseTransparency;
  hooks.editPalette = EditPalette;
  hooks.chooseBackground = ChooseBackground;
  SetPropertiesSheetHooks(hooks);
}

}  // namespace lw
