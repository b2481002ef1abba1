#include "shell/save_choices.h"

#include <algorithm>
#include <cstdint>
#include <new>
#include <vector>

#include "base/preferences.h"
#include "formats/avi/avi_format.h"
#include "formats/avi/video_out_format.h"
#include "formats/common/format_entry.h"
#include "formats/webp/webp_format.h"
#include "platform/settings_store.h"

namespace lw {
namespace {

PrefField CrfField(ClipCodec codec) {
  return codec == ClipCodec::Vp9 ? PrefField::WebmCrf : PrefField::Mp4Crf;
}

}  // namespace

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

int StoredClipCrf(ClipCodec codec) {
  // Stored one up, so that 0 says none was.
  const uint32_t stored = PrefFieldValue(CrfField(codec));
  if (stored == 0 || static_cast<int>(stored) - 1 > MaxClipCrf(codec)) return DefaultClipCrf(codec);
  return static_cast<int>(stored) - 1;
}

void StoreClipCrf(ClipCodec codec, int crf) {
  SetPrefField(CrfField(codec), static_cast<uint32_t>(std::clamp(crf, 0, MaxClipCrf(codec)) + 1));
}

AviCompressOptions LoadAviCompressOptions() {
  try {
    SettingsKey key;
    std::vector<uint8_t> data;
    AviCompressOptions options;
    if (OpenSettingsKey(ProgramKeyPath, &key) == SettingsStatus::Ok &&
        QuerySettingsValue(key, "AVICompress", nullptr, &data) == SettingsStatus::Ok &&
        UnpackCompressOptions(data.data(), data.size(), &options))
      return options;
  } catch (const std::bad_alloc&) {
  }
  return Rle8Options();
}

bool StoreAviCompressOptions(const AviCompressOptions& options) {
  SettingsKey key;
  if (CreateSettingsKey(ProgramKeyPath, &key) != SettingsStatus::Ok) return false;
  auto bytes = PackCompressOptions(options);
  return SetSettingsValue(key, "AVICompress", RegBinary, bytes.data(), bytes.size()) ==
         SettingsStatus::Ok;
}

std::map<int, std::any> StoredSaveChoices() {
  std::map<int, std::any> choices;
  choices[savetype::Webp] = LoadWebpSettings();
  choices[savetype::Mp4] = ClipSaveOptions{StoredClipCrf(ClipCodec::H264)};
  choices[savetype::Webm] = ClipSaveOptions{StoredClipCrf(ClipCodec::Vp9)};
  AviSettings avi;
  avi.compress = !PrefOn(Pref::NoAviCompression);
  if (avi.compress) avi.compressOptions = LoadAviCompressOptions();
  choices[savetype::Avi] = std::move(avi);
  return choices;
}

}  // namespace lw
