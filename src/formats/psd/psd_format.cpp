#include "formats/psd/psd_format.h"

#include "base/messages.h"
#include "base/preferences.h"
#include "base/string_ids.h"
#include "base/strings.h"

namespace lw {
namespace {

// Remembered bits of PrefFlags and the options each stands for.
constexpr uint32_t FlagLayers = 0x200;
constexpr uint32_t FlagOntoComposite = 0x400;
constexpr uint32_t FlagKeepBackground = 0x800;
constexpr uint32_t FlagSeparate = 0x04000000;
constexpr uint32_t FlagKeepTransparency = 0x08000000;
constexpr uint32_t FlagFullCanvas = 0x80000000;

int ReadPsdFile(const std::string& path, WindowHandle owner, AnimationPtr* out,
                ProgressMeter* meter) {
  return ReadPsd(path, owner, out, false, meter);
}

bool WritePsdDocument(const std::string& path, const std::string& target, Animation& document,
                      SaveOptions& /*options*/, WindowHandle /*owner*/) {
  if (WritePsd(path, document)) return true;
  ShowErrorId(str::CannotWriteFile, target.c_str());
  return false;
}

}  // namespace

uint32_t PsdOptionsFromFlags(uint32_t prefFlags) {
  uint32_t keep = prefFlags & FlagKeepTransparency ? psdopt::KeepTransparency : 0;
  if (!(prefFlags & FlagLayers)) return psdopt::Composite | keep;
  uint32_t options = psdopt::Layers | keep;
  if (prefFlags & FlagOntoComposite) {
    options |= psdopt::OntoComposite;
  } else if (prefFlags & FlagSeparate) {
    options |= psdopt::Separate;
  } else {
    options |= psdopt::OntoBackground;
  }
  if (prefFlags & FlagKeepBackground) options |= psdopt::KeepBackground;
  if (prefFlags & FlagFullCanvas) options |= psdopt::FullCanvas;
  return options;
}

uint32_t PsdFlagsWithOptions(uint32_t prefFlags, uint32_t options) {
  prefFlags &= ~PsdLayerFlagsMask;
  if (options & psdopt::KeepTransparency) prefFlags |= FlagKeepTransparency;
  if (!(options & psdopt::Layers)) return prefFlags;
  prefFlags |= FlagLayers;
  if (options & psdopt::OntoComposite) prefFlags |= FlagOntoComposite;
  if (options & psdopt::Separate) prefFlags |= FlagSeparate;
  if (options & psdopt::KeepBackground) prefFlags |= FlagKeepBackground;
  if (options & psdopt::FullCanvas) prefFlags |= FlagFullCanvas;
  return prefFlags;
}

void StorePsdLayerChoice(uint32_t options) {
  SetPref(PrefFlags, PsdFlagsWithOptions(GetPref(PrefFlags), options));
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
