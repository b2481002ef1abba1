// "Paramètres personnalisés (Avancé)": the video encoders FFmpeg offers for AVI, with the quality
// and the key-frame interval.
#pragma once

#include "formats/avi/avi_settings.h"

class QWidget;

namespace lw {

// Shows the choice starting from *options; true (and *options set) on OK.
bool ChooseAviCompressor(QWidget* owner, AviCompressOptions* options);

}  // namespace lw
