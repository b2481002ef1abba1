#include "formats/webp/webp_settings.h"

#include <algorithm>

#include "base/preferences.h"

namespace lw {

WebpSettings LoadWebpSettings() {
  WebpSettings settings;
  settings.lossy = PrefOn(Pref::WebpLossy);
  settings.quality =
      static_cast<int>(std::min<uint32_t>(PrefFieldValue(PrefField::WebpQuality), 100));
  return settings;
}

void StoreWebpSettings(const WebpSettings& settings) {
  SetPrefOn(Pref::WebpLossy, settings.lossy);
  SetPrefField(PrefField::WebpQuality, static_cast<uint32_t>(std::clamp(settings.quality, 0, 100)));
}

}  // namespace lw
