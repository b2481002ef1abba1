#include "shell/options_from_preferences.h"

#include <new>

#include "base/preferences.h"
#include "base/settings.h"
#include "core/undo.h"
#include "formats/psd/psd_format.h"
#include "platform/files.h"
#include "shell/save_choices.h"

namespace lw {

DelayUnits DelayUnitsFromPreferences() { return DelayUnits::From(GetPref(PrefDelayUnits)); }

Timing TimingFromPreferences() {
  Timing timing;
  timing.units = DelayUnitsFromPreferences();
  timing.defaultDelay = GetPref(PrefDefaultDelay);
  timing.defaultLoopCount = GetPref(PrefDefaultLoopCount);
  return timing;
}

std::optional<uint32_t> AutoTransparentColourFromPreferences() {
  if (!PrefOn(Pref::LoadTransparentColour)) return std::nullopt;
  return GetPref(PrefLoadTransparentColor);
}

TransparencyDisplay TransparencyDisplayFromPreferences() {
  const uint32_t word = GetPref(PrefTransparencyDisplay);
  return {FieldIn(word, PrefField::TransparencyMode), FieldIn(word, PrefField::TransparencyColour)};
}

void ApplyEnginePreferences() {
  SetUndoLimit(GetPref(PrefUndoLevels));
  SetTransparencyDisplay(TransparencyDisplayFromPreferences());
}

SaveSignature SaveSignatureFromPreferences() { return {GetSignature(), GetSignature(true)}; }

std::vector<PaletteEntry> LoadFixedPaletteEntries() {
  FixedPalette stored;
  std::vector<PaletteEntry> entries;
  if (!LoadFixedPalette(&stored) || stored.count == 0 || stored.count > 256) return entries;
  for (int i = 0; i < stored.count; ++i) {
    const auto& e = stored.entries[i];
    entries.push_back({e[0], e[1], e[2], e[3]});
  }
  return entries;
}

PalettePtr FixedPaletteFromPreferences() {
  try {
    std::vector<PaletteEntry> entries = LoadFixedPaletteEntries();
    if (entries.empty()) return nullptr;
    auto palette = std::make_unique<Palette>();
    palette->entries = std::move(entries);
    return palette;
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
}

bool StoreFixedPaletteEntries(const std::vector<PaletteEntry>& entries) {
  if (entries.empty() || entries.size() > 256) return false;
  FixedPalette stored;
  stored.count = static_cast<uint16_t>(entries.size());
  for (size_t i = 0; i < entries.size(); ++i) {
    const PaletteEntry& e = entries[i];
    stored.entries[i] = {e.red, e.green, e.blue, e.flags};
  }
  return SaveFixedPalette(stored);
}

bool KeepTrueColourFromPreferences() { return PrefOn(Pref::KeepTrueColor); }

PaletteFitOptions PaletteFitOptionsFromPreferences() {
  PaletteFitOptions options;
  options.storedWord = GetPref(PrefPaletteMerge);
  options.keepTrueColour = KeepTrueColourFromPreferences();
  options.fixedPalette = FixedPaletteFromPreferences;
  return options;
}

ReadOptions ReadOptionsFromPreferences() {
  ReadOptions options;
  options.timing = TimingFromPreferences();
  options.keepInterlace = PrefOn(Pref::AllowInterlace);
  options.keepTrueColour = KeepTrueColourFromPreferences();
  options.psdLayers = PsdOptionsFromFlags(GetPref(PrefFlags));
  options.autoTransparentColour = AutoTransparentColourFromPreferences();
  return options;
}

WriteSettings WriteSettingsFromPreferences() {
  WriteSettings settings;
  settings.timing = TimingFromPreferences();
  settings.signature = SaveSignatureFromPreferences();
  settings.jpegQuality = JpegQuality();
  settings.psdLayerMasks = PrefOn(Pref::ExportLayerMasks);
  settings.aviFixedRate = PrefOn(Pref::AviFixedRate) ? GetPref(PrefAviFrameRate) : 0;
  settings.storedChoices = StoredSaveChoices();
  return settings;
}

void StorePsdLayerChoice(uint32_t options) {
  SetPref(PrefFlags, PsdFlagsWithOptions(GetPref(PrefFlags), options));
}

std::string CoEditorFromPreferences() {
  std::string editor;
  if (!GetCoEditor(&editor)) editor.clear();
  return editor;
}

FlowSettings FlowSettingsFromPreferences() {
  FlowSettings settings;
  settings.read = ReadOptionsFromPreferences();
  settings.paletteFit = PaletteFitOptionsFromPreferences();
  settings.oversizeInsert = GetPref(PrefOversizeInsert);
  settings.autoPreview = !PrefOn(Pref::NoAutoPreview);
  settings.mergeByDuration = PrefOn(Pref::MergeByDuration);
  settings.mergeLoopShorter = PrefOn(Pref::MergeLoopShorter);
  settings.coEditor = CoEditorFromPreferences();
  settings.write = WriteSettingsFromPreferences();
  settings.cropSilently = PrefOn(Pref::CropSilently);
  settings.saveAsType = static_cast<int>(PrefFieldValue(PrefField::SaveType));
  settings.saveAsBits = PrefFieldValue(PrefField::SaveOptionBits);
  if (!GetInitDir(&settings.fileFolder)) settings.fileFolder.clear();
  return settings;
}

namespace {

class StoredFlowSettings final : public FlowSettingsSource {
 public:
  FlowSettings Current() const override { return FlowSettingsFromPreferences(); }
  void KeepMergeChoice(bool byDuration, bool loopShorter) override {
    SetPrefOn(Pref::MergeByDuration, byDuration);
    SetPrefOn(Pref::MergeLoopShorter, loopShorter);
  }
  void KeepSaveAsChoice(int type, uint32_t optionBits) override {
    // One write, and the JPEG step that shares the word stays.
    const uint32_t word =
        WithField(GetPref(PrefSaveOptions), PrefField::SaveType, static_cast<uint32_t>(type));
    SetPref(PrefSaveOptions, WithField(word, PrefField::SaveOptionBits, optionBits));
  }
  void KeepFolderOf(const std::string& file) override { SetInitDirFromFile(file); }
  void KeepRecentFile(const std::string& path) override { RecentFileAdd(path); }
  void DropRecentFile(const std::string& path) override { RecentFileRemove(path); }
};

}  // namespace

FlowSettingsSource& PreferenceFlowSettings() {
  static StoredFlowSettings source;
  return source;
}

std::string InitialOpenFolder() {
  std::string dir;
  if (GetInitDir(&dir) && !dir.empty()) return dir;
  std::string samples = ShareFile("exemples");
  return IsFolder(samples) ? WithTrailingSlash(samples) : std::string();
}

OptimizeOptions OptimizeOptionsFromPreferences(uint32_t steps) {
  OptimizeOptions options(steps);
  options.units = DelayUnitsFromPreferences();
  options.signature = SaveSignatureFromPreferences();
  options.paletteFit = PaletteFitOptionsFromPreferences();
  return options;
}

}  // namespace lw
