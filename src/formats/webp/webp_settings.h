// The choices a WebP save carries: lossless, or lossy at a quality, remembered between saves.
#pragma once

namespace lw {

struct WebpSettings {
  // Set by the Save As panel or the batch mode's flag; a save without it takes the remembered
  // choice (WriteSettings::StoredChoice), lossless without one.
  bool filled = false;
  bool lossy = false;
  int quality = 75;  // 0..100, for lossy pictures
};

}  // namespace lw
