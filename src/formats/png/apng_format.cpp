#include "formats/png/apng_format.h"

#include "base/string_ids.h"
#include "base/strings.h"

namespace lw {
namespace {

int ReadApngFile(const std::string& path, const ReadOptions& options, WindowHandle /*owner*/,
                 AnimationPtr* out, ProgressMeter* meter) {
  return ReadApng(path, options.timing, out, meter);
}

bool WriteApngDocument(const std::string& path, const std::string& target, Animation& document,
                       SaveOptions& options, WindowHandle owner) {
  return WriteApng(path, target, document, options.settings.timing.units, owner);
}

}  // namespace

FormatSpec ApngFormat() {
  return {.id = "apng",
          .extensions = {"apng"},
          .reader = ReadApngFile,
          .openFilter = {TableText(str::FilterApng), "*.apng"},
          .openFilterOrder = 6,
          .saveType = savetype::Apng,
          .save = {"apng", TableText(str::SaveFilterApng), "*.apng", 0},
          .writeDocument = WriteApngDocument,
          .keepsNameWhenAnimated = true};
}

}  // namespace lw
