#include "formats/strip/strip_format.h"

#include "base/string_ids.h"
#include "base/strings.h"

namespace lw {

FormatSpec StripFormat() {
  return {.id = "strip",
          .importCommand = ImportStripCommandId,
          .importFilter = {{TableText(str::FilterStrips), "*.gif;*.bmp"},
                           {TableText(str::FilterGifStrips), "*.gif"},
                           {TableText(str::FilterBmpStrips), "*.bmp"},
                           {TableText(str::FilterAllFilesEnglish), "*.*"}},
          .importOrder = 4,
          .importOpensOthers = true};
}

}  // namespace lw
