// "Sélectionner une couleur d'arrière-plan": the background colour index chosen in a palette grid.
#pragma once

#include "core/animation.h"

class QWidget;

namespace lw {

// The chosen index, -1 on Cancel.
int AskBackgroundIndex(QWidget* owner, const Palette& palette, int current);

}  // namespace lw
