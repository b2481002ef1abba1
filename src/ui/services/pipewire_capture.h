// Pictures of a PipeWire video stream, such as the one a desktop portal shares, through
// GStreamer: pipewiresrc fd=N path=NODE ! videoconvert ! video/x-raw,format=BGRx ! appsink. The
// sink keeps only the newest picture, which each Grab crops to the area asked for: the screen
// sends a picture when it changes, so the last one stands until the next.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <utility>

#include "platform/screen_capture.h"

namespace lw {

enum class PipeWireFailure { None, NoElement, NoPicture };

enum class FirstPicture { Came, NotYet, Failed };

struct PipeWireSource {
  int fd = -1;        // a connection to PipeWire (the capture uses a copy of its own)
  uint32_t node = 0;  // the stream's node on it
};

class PipeWireCapture : public ScreenCapture {
 public:
  explicit PipeWireCapture(const PipeWireSource& source);
  ~PipeWireCapture() override;

  // What runs once the stream is stopped, when the capture goes (and then goes with it).
  void SetOnClose(std::function<void()> onClose) { onClose_ = std::move(onClose); }

  // Starts the stream. NoElement when GStreamer or its PipeWire element is missing.
  PipeWireFailure Start();
  // Waits up to waitMs for the first picture, whose size is the screen's from then on. Failed
  // once the stream failed or ended.
  FirstPicture WaitFirstPicture(int waitMs);

  // Ends the stream: Grab fails from then on. For the sharing ended elsewhere (pipewiresrc
  // itself says nothing when the stream's source goes away).
  void End();

  uint32_t ScreenWidth() const override;
  uint32_t ScreenHeight() const override;
  // The newest picture, cropped; a part of the area outside it is black. pointer: the portal
  // drew it in or not, as it was asked when the sharing started. GrabFailed once the stream
  // failed or ended (the user stopped sharing).
  CaptureError Grab(const CaptureArea& area, bool pointer, std::vector<uint8_t>* bgr) override;

 private:
  struct Stream;
  // Takes the newest sample into the stream's latest one, waiting up to waitMs when there is
  // none yet. False once the stream failed or ended.
  bool Refresh(int waitMs);

  PipeWireSource source_;  // its fd is the capture's own copy
  std::function<void()> onClose_;
  std::unique_ptr<Stream> stream_;
  std::mutex mutex_;
  uint32_t width_ = 0;
  uint32_t height_ = 0;
};

}  // namespace lw
