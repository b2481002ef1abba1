#include "formats/psd/psd_format.h"

#include "base/messages.h"
#include "base/preference_layout.h"
#include "base/string_ids.h"
#include "base/strings.h"

namespace lw {
namespace {

int ReadPsdFile(const std::string& path, const ReadOptions& options, WindowHandle owner,
                AnimationPtr* out, ProgressMeter* meter) {
  return ReadPsd(path, options, owner, out, false, meter);
}

bool WritePsdDocument(const std::string& path, const std::string& target, Animation& document,
                      SaveOptions& options, WindowHandle /*owner*/) {
  if (WritePsd(path, document, options.settings.psdLayerMasks)) return true;
  ShowErrorId(str::CannotWriteFile, target.c_str());
  return false;
}

}  // namespace

uint32_t PsdOptionsFromFlags(uint32_t prefFlags) {
  uint32_t keep = BitIn(prefFlags, Pref::PsdKeepTransparency) ? psdopt::KeepTransparency : 0;
  if (!BitIn(prefFlags, Pref::PsdLayers)) return psdopt::Composite | keep;
  uint32_t options = psdopt::Layers | keep;
  if (BitIn(prefFlags, Pref::PsdOntoComposite)) {
    options |= psdopt::OntoComposite;
  } else if (BitIn(prefFlags, Pref::PsdSeparate)) {
    options |= psdopt::Separate;
  } else {
    options |= psdopt::OntoBackground;
  }
  if (BitIn(prefFlags, Pref::PsdKeepBackground)) options |= psdopt::KeepBackground;
  if (BitIn(prefFlags, Pref::PsdFullCanvas)) options |= psdopt::FullCanvas;
  return options;
}

uint32_t PsdFlagsWithOptions(uint32_t prefFlags, uint32_t options) {
  const bool layers = options & psdopt::Layers;
  prefFlags = WithBit(prefFlags, Pref::PsdKeepTransparency, options & psdopt::KeepTransparency);
  prefFlags = WithBit(prefFlags, Pref::PsdLayers, layers);
  prefFlags =
      WithBit(prefFlags, Pref::PsdOntoComposite, layers && (options & psdopt::OntoComposite));
  prefFlags = WithBit(prefFlags, Pref::PsdSeparate, layers && (options & psdopt::Separate));
  prefFlags =
      WithBit(prefFlags, Pref::PsdKeepBackground, layers && (options & psdopt::KeepBackground));
  prefFlags = WithBit(prefFlags, Pref::PsdFullCanvas, layers && (options & psdopt::FullCanvas));
  return prefFlags;
}

FormatSpec PsdFormat() {
  FileFilter filter{TableText(str::FilterPsd), "*.psd"};
  FileFilter allFiles{TableText(str::FilterAllFiles), "*.*"};
  return {.id = "psd",
          .extensions = {"psd"},
          .reader = ReadPsdFile,
          .openFilter = filter,
          .openFilterOrder = 5,
          .saveType = savetype::Psd,
          .save = {"psd", TableText(str::SaveFilterPsd), "*.psd", 0},
          .writeDocument = WritePsdDocument,
          .keepsNameWhenAnimated = true,
          .importCommand = 40112,
          .importFilter = {filter, allFiles},
          .importOrder = 5};
}

}  // namespace lw
