// What the registry, the flows and every format share: the entry a format gives the registry
// (its reader, writers, save type and texts), the save dialog's option bits, and the options a
// save carries.
#pragma once

#include <any>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "core/animation.h"
#include "core/delay_units.h"
#include "core/gif_writer.h"
#include "platform/flow_dialogs.h"
#include "platform/services.h"

namespace lw {

// Read statuses: 0 failure (message shown, no animation), 1 complete, anything else partial.
constexpr int ReadFailed = 0;
constexpr int ReadComplete = 1;
constexpr int ReadPartial = 2;

// A save type is a number (1, 2, ...) that the stored Save As choice and the batch mode's -T keep,
// so it never changes once given. Each format declares its own in `lw::savetype`, in its folder's
// header, beside the function that makes its entry; 0 is never offered. A new format takes the
// next free number; the registry's tests refuse two formats with one number or a gap.

// Which choices the Save As dialog offers for a type.
namespace savetrait {
constexpr uint32_t Animation = 1;  // only with more than one frame
constexpr uint32_t Individual = 2;
constexpr uint32_t Strip = 4;  // only with more than one frame
constexpr uint32_t ChoiceBox = 16;
constexpr uint32_t ExtraPanel = 32;
}  // namespace savetrait

// Bits computed from the document when the Save As dialog opens.
namespace doctrait {
constexpr uint32_t SeveralFrames = 1;
constexpr uint32_t Selection = 2;
constexpr uint32_t TrueColour = 4;
constexpr uint32_t LocalPalette = 8;
constexpr uint32_t Transparency = 16;
constexpr uint32_t OffScreen = 32;  // some frame does not cover the screen exactly
}  // namespace doctrait

// SaveOptions::optionBits.
namespace saveopt {
constexpr uint32_t Plain = 1;
constexpr uint32_t AnimationChosen = 2;
constexpr uint32_t StillImage = 4;
constexpr uint32_t FromTrueColour = 8;
constexpr uint32_t Strip = 16;
constexpr uint32_t Individual = 32;
}  // namespace saveopt

struct SaveTypeInfo {
  const char* extension;
  const char* label;    // the save dialog's filter label
  const char* pattern;  // its pattern
  uint32_t traits;      // savetrait bits (SaveTypeTraits)
};

// Bits of the document that decide what the Save As dialog offers.
uint32_t DocumentTraits(const Animation& animation);

// What writing takes from the user's settings.
struct WriteSettings {
  // The delay units the writers turn delays into the file's own time with, and the delay of a
  // frame a save makes (an image strip).
  Timing timing;
  SaveSignature signature;     // the comment a GIF save puts first
  int jpegQuality = 75;        // 50..95
  bool psdLayerMasks = false;  // PSD layers keep their transparency also as a user mask
  uint32_t aviFixedRate = 0;   // AVI frames a second; 0: as the delays give them
  // The remembered choice of each save type that keeps one, as that format's own options type
  // (WebpSettings, ClipSaveOptions, AviSettings), filed under the save type: what its writer
  // takes when no panel or flag chose. None for a type: the format's defaults.
  std::map<int, std::any> storedChoices;

  // The stored choice of a save type, or none (none kept, or of another type than T).
  template <typename T>
  const T* StoredChoice(int saveType) const {
    const auto found = storedChoices.find(saveType);
    return found == storedChoices.end() ? nullptr : std::any_cast<T>(&found->second);
  }
};

// What travels from the save dialogs to the writers. A format's own settings travel in
// formatOptions.
struct SaveOptions {
  uint32_t optionBits = saveopt::Plain;
  uint32_t previousBits = 0;  // bits of the last Save As, to preselect the choice box
  Animation* document = nullptr;
  // The base name of an individual-files save (the dialog's file name, '#' for the number): a
  // relative name is taken in the target's folder; empty: the target's name.
  std::string baseName;
  // The options of the chosen type's own panel or batch flags, as that format's own type
  // (AviSettings, WebpSettings, CursorSaveOptions, ...); empty: the format's stored choice. The
  // flows carry it without knowing its fields.
  std::any formatOptions;
  // The user's settings the writers take; the flows fill them in before a save.
  WriteSettings settings;

  // The format's options, or none when no panel set them (or they are another format's).
  template <typename T>
  const T* FormatOptions() const {
    return std::any_cast<T>(&formatOptions);
  }
  // The format's options to be filled in, made from their defaults when not set yet.
  template <typename T>
  T& EditFormatOptions() {
    if (!std::any_cast<T>(&formatOptions)) formatOptions = T{};
    return *std::any_cast<T>(&formatOptions);
  }
};

struct ProgressMeter;

// What reading a file takes from the user's settings.
struct ReadOptions {
  // The delay units, and a new frame's delay and a new document's play count where the file
  // holds none.
  Timing timing;
  bool keepInterlace = false;   // GIF frames keep their interlacing
  bool keepTrueColour = false;  // frames given a palette from 24-bit data keep that data
  // The remembered PSD layer choice (psdopt:: bits), taken without a window and offered with one.
  uint32_t psdLayers = 0x1;
  // The colour (0x00BBGGRR) every frame takes as transparent once read; none: as the file says.
  std::optional<uint32_t> autoTransparentColour;
};

// Reads path into *out: 0 failure (message shown, *out none), 1 complete, anything else partial
// (*out holds what was read). ReadAnyFile has checked that the file can be opened.
using FormatReader = int (*)(const std::string& path, const ReadOptions& options,
                             WindowHandle owner, AnimationPtr* out, ProgressMeter* meter);
// Writes the whole document to path (a temporary file beside the target). False on failure or
// cancel, its message shown.
// Messages name target, the file the user chose, rather than the temporary path.
using DocumentWriter = bool (*)(const std::string& path, const std::string& target,
                                Animation& document, SaveOptions& options, WindowHandle owner);
// Writes one frame as a still image to path (saveopt bits in optionBits).
using FrameWriter = bool (*)(const std::string& path, Frame* frame, uint32_t optionBits,
                             const WriteSettings& settings);

struct FormatSpec {
  const char* id = "";  // short name, also the folder's: "gif", "bmp", ...

  // Reading: the extensions (without '.', compared without regard to case) that pick the
  // reader, in the order the "every format" filter lists them. A format listed here without a
  // reader is refused like an unknown one.
  std::vector<std::string> extensions{};
  FormatReader reader = nullptr;
  // Its entry in the open dialogs' list ("Fichiers GIF (*.gif)"); empty label: not listed.
  FileFilter openFilter{};
  int openFilterOrder = 0;  // place in that list

  // Saving: the save type (savetype::, 0: cannot be saved; one number a format) with its extension,
  // filter and savetrait bits, the writer of a whole document and the writer of one frame.
  int saveType = 0;
  SaveTypeInfo save{"", "", "", 0};
  DocumentWriter writeDocument = nullptr;
  FrameWriter writeFrame = nullptr;
  bool writesTrueColour = false;  // frames go to the writer as 24-bit data
  // The name of a document read from such a file stays when frames are inserted.
  bool keepsNameWhenAnimated = false;

  // The "Importer de" command that opens this format alone (0: none), its filter list, and its
  // place in the menu.
  int importCommand = 0;
  std::vector<FileFilter> importFilter{};
  int importOrder = 0;
  // The import command opens files that other formats read (a strip: a GIF or BMP image).
  bool importOpensOthers = false;

  // The Save As panel this type adds (0: none yet).
  int optionsPanel = 0;
  // The text of the choice box's "Animation" entry for this type (0: that text).
  int animationChoiceText = 0;

  // Whether saving over this file compresses its pictures once more (a clip, a JPEG picture, a
  // WebP picture compressed with losses): with a window the user is asked first. None: never.
  bool (*losesOnResave)(const std::string& file) = nullptr;
  // The tail of a second temporary file the writer puts beside the save's own, named after it
  // (".aviXXXXXX.tmp.avi" + "1.avi"), so that the one of a killed save is cleaned up with it.
  const char* stageSuffix = nullptr;

  bool CanRead() const { return reader != nullptr; }
  bool CanWrite() const { return writeDocument != nullptr || writeFrame != nullptr; }
};

}  // namespace lw
