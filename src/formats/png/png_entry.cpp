#include "formats/png/png_entry.h"

#include "base/messages.h"
#include "base/string_ids.h"
#include "base/strings.h"
#include "formats/common/png_codec.h"
#include "formats/png/apng_format.h"

namespace lw {
namespace {

int ReadPngFile(const std::string& path, const ReadOptions& options, WindowHandle /*owner*/,
                AnimationPtr* out, ProgressMeter* meter) {
  if (IsAnimatedPng(path)) return ReadApng(path, options.timing, out, meter);
  return ReadPng(path, options.timing, out);
}

bool WritePngFrame(const std::string& path, Frame* frame, uint32_t /*optionBits*/,
                   const WriteSettings& /*settings*/) {
  return WritePng(path, frame);
}

// The first frame as a still image, as PNG saves always were, unless the animation was chosen;
// a plain save over an animated PNG keeps it animated, so that opening and saving one loses
// nothing.
bool WritePngDocument(const std::string& path, const std::string& target, Animation& document,
                      SaveOptions& options, WindowHandle owner) {
  const bool animation = (options.optionBits & saveopt::AnimationChosen) ||
                         ((options.optionBits & saveopt::Plain) && IsAnimatedPng(target));
  if (document.frameCount > 1 && animation)
    return WriteApng(path, target, document, options.settings.timing.units, owner);
  Frame* first = FirstFrame(document);
  if (first && WritePng(path, first)) return true;
  ShowErrorId(str::CannotWriteFile, target.c_str());
  return false;
}

}  // namespace

FormatSpec PngFormat() {
  FileFilter filter{TableText(str::FilterPng), "*.png"};
  FileFilter allFiles{TableText(str::FilterAllFiles), "*.*"};
  return {.id = "png",
          .extensions = {"png"},
          .reader = ReadPngFile,
          .openFilter = filter,
          .openFilterOrder = 6,
          .saveType = savetype::Png,
          .save = {"png", TableText(str::SaveFilterPng), "*.png",
                   savetrait::Animation | savetrait::Individual | savetrait::Strip |
                       savetrait::ChoiceBox},
          .writeDocument = WritePngDocument,
          .writeFrame = WritePngFrame,
          .importCommand = 40342,
          .importFilter = {filter, allFiles},
          .importOrder = 6,
          .animationChoiceText = str::ApngChoice};
}

}  // namespace lw
