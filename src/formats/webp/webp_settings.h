// The choices a WebP save carries: lossless, or lossy at a quality, remembered between saves.
#pragma once

namespace lw {

struct WebpSettings {
  // Set by the Save As panel; a save without it takes the stored choice (LoadWebpSettings).
  bool filled = false;
  bool lossy = false;
  int quality = 75;  // 0..100, for lossy pictures
};

// The stored choice (lossless at first).
WebpSettings LoadWebpSettings();
void StoreWebpSettings(const WebpSettings& settings);

}  // namespace lw
