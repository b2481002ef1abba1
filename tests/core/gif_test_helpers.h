// Documents drawn in code for the GIF reader and writer tests, and services that record what the
// engine shows.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "base/messages.h"
#include "base/preferences.h"
#include "base/progress.h"
#include "base/strings.h"
#include "core/animation.h"
#include "core/byte_sink.h"
#include "core/gif_reader.h"
#include "core/gif_writer.h"
#include "platform/headless_services.h"
#include "support_animation.h"

namespace lw::test {

using testing_support::AddComment;
using testing_support::Pixels;
using testing_support::SameAnimation;

// Records messages; cancels the foreground progress at the given pump.
class GifTestServices : public HeadlessServices {
 public:
  int cancelAtPump = 0;
  int pumps = 0;
  void PumpEvents() override {
    if (++pumps == cancelAtPump) ProgressCancel();
  }
  // The progress popups the desktop would open; none unless a test makes them.
  std::function<std::unique_ptr<ProgressView>(WindowHandle)> popups;
  std::unique_ptr<ProgressView> OpenProgressPopup(WindowHandle owner) override {
    return popups ? popups(owner) : nullptr;
  }
  std::vector<std::string> Texts() const {
    std::vector<std::string> texts;
    for (const auto& m : Messages()) texts.push_back(m.text);
    return texts;
  }
};

class GifTest : public ::testing::Test {
 protected:
  void SetUp() override {
    services_.SetEcho(false);
    SetServices(&services_);
    SetPref(PrefFlags, 0);
    SetPref(PrefDelayUnits, 100);
  }
  void TearDown() override {
    SetServices(nullptr);
    SetPref(PrefFlags, 0);
  }
  std::vector<std::string> Texts() const { return services_.Texts(); }
  static std::vector<std::string> Ids(std::initializer_list<int> ids) {
    std::vector<std::string> texts;
    for (int id : ids) texts.push_back(ResText(id));
    return texts;
  }
  GifTestServices services_;
};

inline PalettePtr Ramp(int count, int seed = 0) {
  std::vector<uint8_t> rgb(3 * count);
  for (int i = 0; i < 3 * count; ++i) rgb[i] = static_cast<uint8_t>(i * 37 + seed);
  return PaletteFromTriples(count, rgb.data());
}

// A frame with pixels f(x, y) (kept below the palette size) against the given palette.
template <typename F>
Frame* DrawnFrame(Animation& a, uint32_t w, uint32_t h, PalettePtr local, F f) {
  Frame* frame = NewFrame(w, h);
  if (local) SetLocalPalette(frame, std::move(local));
  if (!frame->localPalette) frame->palette = a.globalPalette.get();
  EXPECT_TRUE(NewFrameDib(frame));
  int n = frame->palette ? frame->palette->Count() : 256;
  uint64_t stride = IndexStride(w);
  for (uint32_t y = 0; y < h; ++y)
    for (uint32_t x = 0; x < w; ++x)
      frame->bits()[y * stride + x] = static_cast<uint8_t>(f(x, y) % n);
  return frame;
}

inline void Append(Animation& a, Block* block) {
  InsertBlockAfter(LastBlock(a), block);
  if (block->IsFrame()) ++a.frameCount;
}

inline Block* Extension(BlockKind kind, std::vector<uint8_t> data) {
  auto* b = static_cast<ExtensionBlock*>(NewBlock(kind, 0));
  b->data = std::move(data);
  return b;
}

inline AnimationPtr Screen(uint32_t w, uint32_t h, int colours, uint32_t playCount = 0) {
  AnimationPtr a = NewAnimation();
  a->screenWidth = w;
  a->screenHeight = h;
  a->playCount = playCount;
  if (colours) SetGlobalPalette(*a, Ramp(colours));
  return a;
}

inline std::vector<uint8_t> Write(Animation& a, const GifWriteOptions& options = {}) {
  std::vector<uint8_t> out;
  ByteSink sink(&out);
  EXPECT_EQ(WriteGif(sink, a, nullptr, options), GifWriteStatus::Done);
  return out;
}

// Reads as the open command does: the messages the reader gives back are shown, in order.
inline GifReadStatus Read(const std::vector<uint8_t>& bytes, AnimationPtr* out,
                          ProgressMeter* progress = nullptr, const GifReadOptions& options = {}) {
  std::vector<int> messages;
  GifReadStatus status =
      ReadGifMemory(bytes.data(), bytes.size(), progress, out, options, &messages);
  for (int id : messages) ShowErrorId(id);
  return status;
}

}  // namespace lw::test
