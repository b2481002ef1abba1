#include "colour/ui/properties_hooks.h"

#include <algorithm>

#include "colour/palette_edit.h"
#include "colour/ui/background_index_dialog.h"
#include "colour/ui/index_choice_dialog.h"
#include "colour/ui/palette_edit_dialog.h"
#include "colour/ui/properties_sheet.h"
#include "core/animation.h"

namespace lw {
namespace {

bool ChooseTransparency(QWidget* parent, Animation&, Frame* frame, std::vector<uint8_t>* indexes) {
  TransparencyChoice choice = TransparencyChoice::OfFrame(frame);
  choice.fromPropertyPage = true;
  choice.count = static_cast<int>(std::min<size_t>(indexes->size(), choice.indexes.size()));
  std::copy_n(indexes->begin(), choice.count, choice.indexes.begin());
  if (!AskTransparencyChoice(parent, &choice) || choice.count < 0) return false;
  indexes->assign(choice.indexes.begin(), choice.indexes.begin() + choice.count);
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
