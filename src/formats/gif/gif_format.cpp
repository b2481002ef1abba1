#include "formats/gif/gif_format.h"

#include <vector>

#include "base/messages.h"
#include "base/string_ids.h"
#include "base/strings.h"
#include "core/gif_reader.h"
#include "core/gif_source.h"
#include "core/gif_writer.h"
#include "formats/gif/gif_save.h"

namespace lw {
namespace {

// The only reader that checks a signature: a GIF is recognised by its first bytes as well as
// by its name.
int ReadGifFile(const std::string& path, const ReadOptions& read, WindowHandle /*owner*/,
                AnimationPtr* out, ProgressMeter* meter) {
  GifSource source;
  if (!source.Open(path)) {
    ShowErrorId(str::CannotOpenFile, path.c_str());
    return static_cast<int>(GifReadStatus::Failed);
  }
  if (!IsGifFile(source)) {
    ShowErrorId(str::NotAGifFile, path.c_str());
    return static_cast<int>(GifReadStatus::Failed);
  }
  GifReadOptions options;
  options.keepInterlace = read.keepInterlace;
  options.timing = read.timing;
  std::vector<int> messages;
  GifReadStatus status = ReadGif(source, meter, out, options, &messages);
  for (int id : messages) ShowErrorId(id);
  return static_cast<int>(status);
}

// The animation, with the program's signature comment put in first (the document keeps it).
bool WriteGifDocument(const std::string& path, const std::string& target, Animation& document,
                      SaveOptions& options, WindowHandle owner) {
  ReplaceSignatureComment(document, options.settings.signature);
  return SaveGifToFile(path, document, GifWriteOptionsFor(options.settings), owner, target);
}

bool WriteGifFrame(const std::string& path, Frame* frame, uint32_t /*optionBits*/,
                   const WriteSettings& settings) {
  return SaveFrameAsGif(path, frame, GifWriteOptionsFor(settings));
}

}  // namespace

FormatSpec GifFormat() {
  FormatSpec gif;
  gif.id = "gif";
  gif.extensions = {"gif"};
  gif.reader = ReadGifFile;
  gif.openFilter = {TableText(str::FilterGif), "*.gif"};
  gif.openFilterOrder = 1;
  gif.saveType = savetype::Gif;
  gif.save = {
      "gif", TableText(str::SaveFilterGif), "*.gif",
      savetrait::Animation | savetrait::Individual | savetrait::Strip | savetrait::ChoiceBox};
  gif.writeDocument = WriteGifDocument;
  gif.writeFrame = WriteGifFrame;
  gif.keepsNameWhenAnimated = true;
  return gif;
}

}  // namespace lw
