// The Save As panels' remembered choices (WebP, clips, AVI): stored as a panel's choice is taken,
// read back by the next panel, and handed to the writers for a save that no panel or flag set.
#pragma once

#include <any>
#include <map>

#include "formats/avi/avi_settings.h"
#include "formats/avi/video_out_format.h"
#include "formats/webp/webp_settings.h"
#include "platform/video_files.h"

namespace lw {

// WebP: lossless at first.
WebpSettings LoadWebpSettings();
void StoreWebpSettings(const WebpSettings& settings);

// A clip's CRF: the remembered one, else the encoder's usual default.
int StoredClipCrf(ClipCodec codec);
void StoreClipCrf(ClipCodec codec, int crf);

// AVI's compression options; the RLE8 set when none (or a damaged value) is stored.
AviCompressOptions LoadAviCompressOptions();
bool StoreAviCompressOptions(const AviCompressOptions& options);

// Each save type's remembered choice, as WriteSettings::storedChoices files them.
std::map<int, std::any> StoredSaveChoices();

}  // namespace lw
