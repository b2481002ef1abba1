// Reads a GIF, resizes the whole animation to a percentage with the bicubic method (palettes
// fitted again afterwards, as the command does) and writes the result, timing each step.
//
//   resize_bench IN.gif OUT.gif [percent]   -> one line: read, resize, write and total ms
#include <fcntl.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "base/preferences.h"
#include "core/byte_sink.h"
#include "core/gif_reader.h"
#include "core/gif_source.h"
#include "core/gif_writer.h"
#include "edit/resize.h"

namespace {

double Since(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
      .count();
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: %s IN.gif OUT.gif [percent]\n", argv[0]);
    return 2;
  }
  const uint32_t percent = argc > 3 ? static_cast<uint32_t>(std::atoi(argv[3])) : 50;
  lw::LoadPreferences();
  lw::SetPref(lw::PrefUndoLevels, 0);  // the command's undo copy is not what is measured

  auto start = std::chrono::steady_clock::now();
  lw::GifSource source;
  lw::AnimationPtr animation;
  if (!source.Open(argv[1]) || !lw::IsGifFile(source) ||
      lw::ReadGif(source, nullptr, &animation) != lw::GifReadStatus::Done || !animation) {
    std::fprintf(stderr, "cannot read %s\n", argv[1]);
    return 1;
  }
  const double readMs = Since(start);

  start = std::chrono::steady_clock::now();
  lw::ResizeRequest request;
  request.animation = animation.get();
  request.oldWidth = animation->screenWidth;
  request.oldHeight = animation->screenHeight;
  request.newWidth = lw::ResizeLengthForPercent(request.oldWidth, percent);
  request.newHeight = lw::ResizeLengthForPercent(request.oldHeight, percent);
  if (lw::ResizeBicubic(request, nullptr, nullptr) != 1) return 1;
  animation->screenWidth = request.newWidth;
  animation->screenHeight = request.newHeight;
  const double resizeMs = Since(start);

  start = std::chrono::steady_clock::now();
  int fd = open(argv[2], O_WRONLY | O_CREAT | O_TRUNC, 0644);
  if (fd < 0) return 1;
  {
    lw::ByteSink sink(fd);
    if (lw::WriteGif(sink, *animation, nullptr) != lw::GifWriteStatus::Done) return 1;
  }
  close(fd);
  const double writeMs = Since(start);
  std::printf(
      "%d frames %ux%u -> %ux%u  read %.0f ms  resize %.0f ms  write %.0f ms  total %.0f ms\n",
      animation->frameCount, request.oldWidth, request.oldHeight, request.newWidth,
      request.newHeight, readMs, resizeMs, writeMs, readMs + resizeMs + writeMs);
  return 0;
}
