// The WebP panel of the Save As dialog: lossless, or lossy at a quality from 0 to 100.
#pragma once

#include "ui/save/save_panel.h"

namespace lw {

SavePanel* MakeWebpPanel(const SavePanelContext& context, QWidget* parent);

}  // namespace lw
