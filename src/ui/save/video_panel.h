// The Save As panel of MP4 and WebM clips: the encoder's quality (CRF), and what a clip does not
// keep of the animation.
#pragma once

#include "ui/save/save_panel.h"

namespace lw {

SavePanel* MakeVideoPanel(const SavePanelContext& context, QWidget* parent);

}  // namespace lw
