// A browser engine as the reference for how GIF, WebP and APNG files play: Chromium, started once
// per test program and driven over its debugging pipe, decodes every frame through the page's
// ImageDecoder (whole composed pictures, with their durations). Nothing goes over a network.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "support/tools.h"

namespace lw::test {

struct BrowserFrame {
  std::vector<uint8_t> rgba;  // width x height, straight (not premultiplied) alpha
  uint64_t durationUs = 0;
};

struct BrowserImage {
  std::string error;  // empty when Chromium decoded the file
  uint32_t width = 0;
  uint32_t height = 0;
  int repetitions = 0;  // the decoder's repetitionCount (-1 for ever)
  std::vector<BrowserFrame> frames = {};
};

// The Chromium program on this machine: the headless shell, else the full browser.
std::string BrowserProgram();

// Skips the test without Chromium, or fails it under CI.
#define LW_NEED_BROWSER() LW_NEED_TOOL(::lw::test::BrowserProgram())

class Browser {
 public:
  // The one browser of this test program, started on first use; null (with the reason in
  // *why) when it cannot start.
  static Browser* Shared(std::string* why);

  ~Browser();
  Browser(const Browser&) = delete;
  Browser& operator=(const Browser&) = delete;

  // Decodes every file (by its extension: gif, webp, png) in one round trip.
  std::vector<BrowserImage> Decode(const std::vector<std::string>& paths);

 private:
  Browser() = default;
  bool Start(std::string* why);
  // Sends one command and waits for its answer (the whole JSON message); "" on failure or when
  // nothing came for waitMs.
  std::string Call(const std::string& method, const std::string& params, int waitMs = 60000);

  int pid_ = -1;
  int toBrowser_ = -1;
  int fromBrowser_ = -1;
  int nextId_ = 0;
  std::string session_;
  std::string pending_;  // bytes read past the last message
  std::string folder_;   // user data and the blank page, removed at the end
};

}  // namespace lw::test
