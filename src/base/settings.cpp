#include "base/settings.h"

#include <algorithm>
#include <new>

#include "base/preferences.h"
#include "base/signature.h"
#include "platform/desktop_entries.h"
#include "platform/files.h"
#include "platform/services.h"
#include "platform/settings_store.h"

namespace lw {
namespace {

bool OpenProgramKey(SettingsKey* key) {
  return OpenSettingsKey(ProgramKeyPath, key) == SettingsStatus::Ok;
}

// A key that could only be made in memory still takes values for this session.
bool CreateProgramKey(SettingsKey* key) {
  SettingsStatus status = CreateSettingsKey(ProgramKeyPath, key);
  return status == SettingsStatus::Ok || status == SettingsStatus::WriteFailed;
}

bool ReadString(std::string_view name, std::string* text) {
  SettingsKey key;
  return OpenProgramKey(&key) && QuerySettingsString(key, name, text) == SettingsStatus::Ok;
}

bool WriteString(std::string_view name, std::string_view text) {
  SettingsKey key;
  return CreateProgramKey(&key) && SetSettingsString(key, name, text) == SettingsStatus::Ok;
}

bool WriteBinary(std::string_view name, const uint8_t* data, size_t size) {
  SettingsKey key;
  return CreateProgramKey(&key) &&
         SetSettingsValue(key, name, RegBinary, data, size) == SettingsStatus::Ok;
}

// The text cut after max UTF-8 characters.
std::string_view CutCharacters(std::string_view text, size_t max) {
  size_t count = 0;
  for (size_t i = 0; i < text.size(); ++i) {
    if ((static_cast<unsigned char>(text[i]) & 0xC0) != 0x80 && ++count > max)
      return text.substr(0, i);
  }
  return text;
}

void PutLe16(uint8_t* p, uint32_t v) {
  p[0] = static_cast<uint8_t>(v);
  p[1] = static_cast<uint8_t>(v >> 8);
}
void PutLe32(uint8_t* p, uint32_t v) {
  PutLe16(p, v);
  PutLe16(p + 2, v >> 16);
}
uint32_t GetLe16(const uint8_t* p) { return p[0] | (p[1] << 8); }
uint32_t GetLe32(const uint8_t* p) { return GetLe16(p) | (GetLe16(p + 2) << 16); }

std::string FileValueName(int n) { return "File" + std::to_string(n); }

void NotifyRecentFiles() { Services().RecentFilesChanged(); }

// The listed paths in order, up to the first missing entry.
std::vector<std::string> ReadRecentFiles(const SettingsKey& key) {
  std::vector<std::string> files;
  for (int n = 1; n <= MaxRecentFiles; ++n) {
    std::string path;
    if (QuerySettingsString(key, FileValueName(n), &path) != SettingsStatus::Ok) break;
    files.push_back(std::move(path));
  }
  return files;
}

}  // namespace

// ---- Signature comment ----

std::string GetSignature(bool force) {
  try {
    if (!force && PrefOn(Pref::NoSignatureComment)) return {};
    SettingsKey key;
    if (!OpenProgramKey(&key)) return {};
    std::string text;
    SettingsStatus status = QuerySettingsString(key, "Sig", &text);
    if (status == SettingsStatus::NotFound) return DefaultSignature;
    if (status != SettingsStatus::Ok) return {};
    return std::string(CutCharacters(text, MaxSignatureLength));
  } catch (const std::bad_alloc&) {
    return {};
  }
}

bool SetSignature(std::string_view text) {
  return WriteString("Sig", CutCharacters(text, MaxSignatureLength));
}

bool IsSignatureComment(std::string_view text) {
  try {
    return IsSignatureText(text, GetSignature(true));
  } catch (const std::bad_alloc&) {
    return false;
  }
}

// ---- Fixed palette ----

bool SaveFixedPalette(const FixedPalette& palette) {
  uint8_t bytes[FixedPaletteBytes] = {};
  PutLe16(bytes, 0x0300);
  PutLe16(bytes + 2, palette.count);
  for (size_t i = 0; i < 256; ++i)
    for (size_t c = 0; c < 4; ++c) bytes[4 + i * 4 + c] = palette.entries[i][c];
  return WriteBinary("FixedPal", bytes, sizeof bytes);
}

bool LoadFixedPalette(FixedPalette* palette) {
  try {
    SettingsKey key;
    std::vector<uint8_t> data;
    if (!OpenProgramKey(&key) ||
        QuerySettingsValue(key, "FixedPal", nullptr, &data) != SettingsStatus::Ok)
      return false;
    if (data.size() < 4 || data.size() > FixedPaletteBytes) return false;
    size_t present = (data.size() - 4) / 4;
    size_t count = std::min<size_t>({GetLe16(&data[2]), 256, present});
    if (count == 0) return false;
    *palette = FixedPalette{};
    palette->count = static_cast<uint16_t>(count);
    for (size_t i = 0; i < count; ++i)
      for (size_t c = 0; c < 4; ++c) palette->entries[i][c] = data[4 + i * 4 + c];
    return true;
  } catch (const std::bad_alloc&) {
    return false;
  }
}

// ---- External image editor ----

bool GetCoEditor(std::string* path) {
  try {
    return ReadString("CoEdit", path);
  } catch (const std::bad_alloc&) {
    return false;
  }
}

bool SetCoEditor(std::string_view path) {
  try {
    bool stored = WriteString("CoEdit", path);
    SetPrefOn(Pref::CoEditorIsPhotoshop, CoEditorTakesLayers(path));
    return stored;
  } catch (const std::bad_alloc&) {
    return false;
  }
}

// ---- Folder of the open dialogs ----

bool GetInitDir(std::string* dir) {
  try {
    return ReadString("InitDir", dir);
  } catch (const std::bad_alloc&) {
    return false;
  }
}

bool SetInitDir(std::string_view dir) {
  try {
    return !dir.empty() && WriteString("InitDir", WithTrailingSlash(dir));
  } catch (const std::bad_alloc&) {
    return false;
  }
}

bool SetInitDirFromFile(std::string_view file) {
  try {
    return SetInitDir(DirectoryPart(file));
  } catch (const std::bad_alloc&) {
    return false;
  }
}

// ---- Folder of the palette files ----

bool GetPaletteDir(std::string* dir) {
  try {
    return ReadString("PalDir", dir) || GetInitDir(dir);
  } catch (const std::bad_alloc&) {
    return false;
  }
}

bool SetPaletteDirFromFile(std::string_view file) {
  try {
    std::string dir = DirectoryPart(file);
    return !dir.empty() && WriteString("PalDir", WithTrailingSlash(dir));
  } catch (const std::bad_alloc&) {
    return false;
  }
}

// ---- Recent files ----

bool RecentFileAdd(std::string_view path) {
  if (path.empty()) return false;
  SettingsStatus status = SettingsStatus::Ok;
  try {
    SettingsKey key;
    if (!CreateProgramKey(&key)) return false;
    SettingsBatch batch;
    std::string carry(path);
    for (int n = 1; n <= MaxRecentFiles; ++n) {
      std::string old;
      bool existed = QuerySettingsString(key, FileValueName(n), &old) == SettingsStatus::Ok;
      SetSettingsString(key, FileValueName(n), carry);
      if (!existed || old == path) break;
      carry = std::move(old);
    }
    status = batch.Commit();
  } catch (const std::bad_alloc&) {
    return false;
  }
  NotifyRecentFiles();
  return status == SettingsStatus::Ok;
}

bool RecentFileRemove(std::string_view path) {
  try {
    SettingsKey key;
    if (!OpenProgramKey(&key)) return false;
    {
      SettingsBatch batch;
      std::vector<std::string> files = ReadRecentFiles(key);
      size_t at = 0;
      while (at < files.size() && files[at] != path) ++at;
      if (at == files.size()) return false;
      for (size_t k = at; k + 1 < files.size(); ++k)
        SetSettingsString(key, FileValueName(static_cast<int>(k + 1)), files[k + 1]);
      DeleteSettingsValue(key, FileValueName(static_cast<int>(files.size())));
    }
    NotifyRecentFiles();
    return true;
  } catch (const std::bad_alloc&) {
    return false;
  }
}

bool RecentFileGet(int n, std::string* path) {
  if (n < 1 || n > MaxRecentFiles) return false;
  try {
    return ReadString(FileValueName(n), path);
  } catch (const std::bad_alloc&) {
    return false;
  }
}

void RecentFilesPrune() {
  try {
    SettingsKey key;
    if (!CreateProgramKey(&key)) return;
    SettingsBatch batch;
    int kept = 0;
    int n = 1;
    for (; n <= MaxRecentFiles; ++n) {
      std::string path;
      if (QuerySettingsString(key, FileValueName(n), &path) != SettingsStatus::Ok) break;
      DeleteSettingsValue(key, FileValueName(n));
      if (FileReadable(path)) SetSettingsString(key, FileValueName(++kept), path);
    }
    // Entries past a gap would come back into view as soon as the gap is filled.
    for (++n; n <= MaxRecentFiles; ++n) DeleteSettingsValue(key, FileValueName(n));
  } catch (const std::bad_alloc&) {
  }
}

std::vector<RecentFileMenuEntry> RecentFilesMenuEntries() {
  std::vector<RecentFileMenuEntry> entries;
  try {
    SettingsKey key;
    if (!OpenProgramKey(&key)) return entries;
    std::vector<std::string> files = ReadRecentFiles(key);
    for (size_t i = 0; i < files.size(); ++i) {
      int n = static_cast<int>(i + 1);
      RecentFileMenuEntry entry;
      // Appended piece by piece: g++ 12 warns falsely on "literal" + std::string at -O2.
      entry.label = "&";
      entry.label += std::to_string(n);
      entry.label += ": ";
      entry.label += BaseName(files[i]);
      entry.command = RecentFileCommandBase + n;
      entry.path = std::move(files[i]);
      entries.push_back(std::move(entry));
    }
  } catch (const std::bad_alloc&) {
    entries.clear();
  }
  return entries;
}

// ---- Main window placement ----

bool SaveWindowPlacement(const WindowPlacement& p) {
  uint8_t bytes[44];
  const uint32_t fields[11] = {p.length,
                               p.flags,
                               p.showCmd,
                               static_cast<uint32_t>(p.minPosition.x),
                               static_cast<uint32_t>(p.minPosition.y),
                               static_cast<uint32_t>(p.maxPosition.x),
                               static_cast<uint32_t>(p.maxPosition.y),
                               static_cast<uint32_t>(p.normalPosition.left),
                               static_cast<uint32_t>(p.normalPosition.top),
                               static_cast<uint32_t>(p.normalPosition.right),
                               static_cast<uint32_t>(p.normalPosition.bottom)};
  for (int i = 0; i < 11; ++i) PutLe32(bytes + 4 * i, fields[i]);
  try {
    return WriteBinary("Placement", bytes, sizeof bytes);
  } catch (const std::bad_alloc&) {
    return false;
  }
}

bool LoadWindowPlacement(WindowPlacement* placement) {
  try {
    SettingsKey key;
    std::vector<uint8_t> data;
    if (!OpenProgramKey(&key) ||
        QuerySettingsValue(key, "Placement", nullptr, &data) != SettingsStatus::Ok)
      return false;
    if (data.size() != 44 || GetLe32(data.data()) != 44) return false;
    auto field = [&](int i) { return GetLe32(&data[4 * i]); };
    auto sfield = [&](int i) { return static_cast<int32_t>(field(i)); };
    placement->length = field(0);
    placement->flags = field(1);
    placement->showCmd = field(2);
    placement->minPosition = {sfield(3), sfield(4)};
    placement->maxPosition = {sfield(5), sfield(6)};
    placement->normalPosition = {sfield(7), sfield(8), sfield(9), sfield(10)};
    return true;
  } catch (const std::bad_alloc&) {
    return false;
  }
}

// ---- The GIF entry ----

bool AssociateGif() { return WriteGifEntry(TableText(str::EditWithVerb)); }

}  // namespace lw
