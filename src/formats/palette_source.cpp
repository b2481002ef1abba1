#include "formats/palette_source.h"

#include "base/messages.h"
#include "base/string_ids.h"
#include "colour/pal_file.h"
#include "formats/common/flow_text.h"
#include "formats/open_flow.h"
#include "platform/files.h"

namespace lw {

PalettePtr ReadPaletteSource(const std::string& path, const ReadOptions& options,
                             WindowHandle owner) {
  if (EqualsNoCase(LastChars(path, 4), ".pal")) return ReadPalFile(path);
  AnimationPtr read;
  if (ReadAnyFile(path, options, owner, &read, nullptr) == ReadFailed || !read) return nullptr;
  const Palette* palette = read->globalPalette.get();
  if (!palette) {
    const Frame* first = FirstFrame(*read);
    if (first) palette = first->localPalette.get();
  }
  PalettePtr copy = palette && palette->Count() > 0 ? CopyPalette(palette) : nullptr;
  if (!copy) ShowErrorId(str::PalLoadNoPalette, BaseName(path).c_str());
  return copy;
}

}  // namespace lw
