#include "formats/jpeg/jpeg_entry.h"

#include "base/string_ids.h"
#include "base/strings.h"
#include "formats/common/jpeg_codec.h"

namespace lw {
namespace {

int ReadJpegFile(const std::string& path, const ReadOptions& options, WindowHandle /*owner*/,
                 AnimationPtr* out, ProgressMeter* /*meter*/) {
  return ReadJpeg(path, options.timing, out);
}

bool WriteJpegFrame(const std::string& path, Frame* frame, uint32_t /*optionBits*/,
                    const WriteSettings& settings) {
  return WriteJpeg(path, frame, settings.jpegQuality);
}

// A JPEG picture is compressed with losses each time it is written.
bool AlwaysLoses(const std::string& /*file*/) { return true; }

}  // namespace

FormatSpec JpegFormat() {
  FileFilter filter{TableText(str::FilterJpeg), "*.jpg;*.jpe;*.jpeg"};
  FileFilter allFiles{TableText(str::FilterAllFiles), "*.*"};
  return {.id = "jpeg",
          .extensions = {"jpg", "jpe", "jpeg"},
          .reader = ReadJpegFile,
          .openFilter = filter,
          .openFilterOrder = 4,
          .saveType = savetype::Jpeg,
          .save = {"jpg", TableText(str::SaveFilterJpeg), "*.jpg;*.jpe,*.jpeg",
                   savetrait::Individual | savetrait::Strip | savetrait::ChoiceBox},
          .writeFrame = WriteJpegFrame,
          .writesTrueColour = true,
          .importCommand = 40113,
          .importFilter = {filter, allFiles},
          .importOrder = 3,
          .losesOnResave = AlwaysLoses};
}

}  // namespace lw
