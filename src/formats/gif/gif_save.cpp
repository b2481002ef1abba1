#include "formats/gif/gif_save.h"

#include <fcntl.h>
#include <unistd.h>

#include "base/messages.h"
#include "base/progress.h"
#include "base/signature.h"
#include "base/string_ids.h"
#include "base/strings.h"
#include "core/byte_sink.h"

namespace lw {

namespace {

int CreateForWriting(const std::string& path) {
  int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
  if (fd < 0) ShowErrorId(str::CannotSaveTemporary, path.c_str());
  return fd;
}

// Whether some frame lasts longer than a GIF frame can (655.35 s), so that the writer holds it
// shorter.
bool ShortensDelays(const Animation& animation, DelayUnits units) {
  const uint64_t factor = units.HundredthsPerUnit();
  for (const Frame* f = FirstFrame(animation); f; f = NextFrame(f))
    if (f->delay * factor > 0xFFFF) return true;
  return false;
}

}  // namespace

GifWriteOptions GifWriteOptionsFor(const WriteSettings& settings) {
  GifWriteOptions options;
  options.units = settings.timing.units;
  return options;
}

bool SaveGifToFile(const std::string& path, Animation& animation, const GifWriteOptions& options,
                   WindowHandle owner, const std::string& shownName) {
  int fd = CreateForWriting(path);
  if (fd < 0) return false;
  ProgressMeter* progress = CreateProgressMeter(owner, progress::OwnPopup, 0);
  if (const char* text = LoadResText(str::WritingGif)) ProgressSetText(progress, text);
  GifWriteStatus result;
  {
    ByteSink sink(fd);
    result = WriteGif(sink, animation, progress, options);
  }
  DestroyProgressMeter(progress);
  if (::close(fd) != 0) result = GifWriteStatus::Failed;
  // A cancel is the user's choice; anything else that stops the write is said.
  if (result == GifWriteStatus::Failed)
    ShowErrorId(str::CannotWriteFile, (shownName.empty() ? path : shownName).c_str());
  if (result == GifWriteStatus::Done && ShortensDelays(animation, options.units))
    Services().MessageBox(owner, ResText(str::GifDelaysShortened), TableText(str::AskLoopwright),
                          mb::Ok | mb::IconAsterisk | mb::TaskModal);
  return result == GifWriteStatus::Done;
}

bool SaveFrameAsGif(const std::string& path, Frame* frame, const GifWriteOptions& options) {
  if (!frame) return false;
  int fd = CreateForWriting(path);
  if (fd < 0) return false;
  GifWriteStatus result;
  {
    ByteSink sink(fd);
    result = WriteFrameAsGif(sink, frame, options);
  }
  if (::close(fd) != 0) result = GifWriteStatus::Failed;
  return result == GifWriteStatus::Done;
}

bool ConfirmCropToScreen(WindowHandle owner, Animation& animation, bool cropSilently) {
  if (!cropSilently) {
    if (!FramesOutsideScreen(animation)) return true;
    // Cropping cannot be undone: anything but a clear yes keeps the document as it is.
    if (owner && AskUser(owner, str::CropBeforeSaveQuestion, str::CropBeforeSaveTitle,
                         mb::YesNo | mb::IconExclamation) != answer::Yes)
      return false;
  }
  return ClipAllFramesToScreen(animation);
}

bool ReplaceSignatureComment(Animation& document, const SaveSignature& signature) {
  if (!document.blocks) return false;
  for (Block* b = document.blocks->next; b;) {
    Block* next = b->next;
    std::string text;
    if (b->kind == BlockKind::Comment && CommentText(b, &text) &&
        IsSignatureText(text, signature.own)) {
      UnlinkAndFreeBlock(b);
    }
    b = next;
  }
  if (signature.text.empty()) return true;
  Block* comment = NewBlock(BlockKind::Comment, 0);
  if (!comment) return false;
  if (!SetCommentText(comment, signature.text)) {
    FreeBlock(comment);
    return false;
  }
  InsertBlockAfter(document.blocks, comment);
  document.encodedSizeCache = -1;
  return true;
}

}  // namespace lw
