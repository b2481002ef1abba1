#include "ui/services/pipewire_capture.h"

#include <fcntl.h>
#include <gst/app/gstappsink.h>
#include <gst/gst.h>
#include <gst/video/video.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <string>

#include "core/animation.h"

namespace lw {
namespace {

bool GStreamerReady() {
  static const bool ready = gst_init_check(nullptr, nullptr, nullptr);
  return ready;
}

}  // namespace

struct PipeWireCapture::Stream {
  GstElement* pipeline = nullptr;
  GstElement* sink = nullptr;  // a reference of its own
  GstBus* bus = nullptr;
  GstSample* latest = nullptr;
  bool failed = false;

  Stream() = default;
  Stream(const Stream&) = delete;
  Stream& operator=(const Stream&) = delete;
  ~Stream() {
    if (latest) gst_sample_unref(latest);
    if (pipeline) gst_element_set_state(pipeline, GST_STATE_NULL);
    if (bus) gst_object_unref(bus);
    if (sink) gst_object_unref(sink);
    if (pipeline) gst_object_unref(pipeline);
  }
};

PipeWireCapture::PipeWireCapture(const PipeWireSource& source) : source_(source) {
  source_.fd = source.fd >= 0 ? fcntl(source.fd, F_DUPFD_CLOEXEC, 3) : -1;
}

PipeWireCapture::~PipeWireCapture() {
  stream_.reset();
  if (source_.fd >= 0) close(source_.fd);
  if (onClose_) onClose_();
}

PipeWireFailure PipeWireCapture::Start() {
  std::lock_guard<std::mutex> lock(mutex_);
  if (!GStreamerReady()) return PipeWireFailure::NoElement;
  GstElement* source = gst_element_factory_make("pipewiresrc", nullptr);
  GstElement* convert = gst_element_factory_make("videoconvert", nullptr);
  GstElement* filter = gst_element_factory_make("capsfilter", nullptr);
  GstElement* sink = gst_element_factory_make("appsink", nullptr);
  if (!source || !convert || !filter || !sink) {
    for (GstElement* e : {source, convert, filter, sink})
      if (e) gst_object_unref(gst_object_ref_sink(e));
    return PipeWireFailure::NoElement;
  }
  stream_ = std::make_unique<Stream>();
  if (source_.fd < 0) {
    for (GstElement* e : {source, convert, filter, sink}) gst_object_unref(gst_object_ref_sink(e));
    stream_->failed = true;
    return PipeWireFailure::NoPicture;
  }
  const std::string path = std::to_string(source_.node);
  // A copy of each picture: the one kept would otherwise hold a buffer of the desktop's own.
  g_object_set(source, "fd", source_.fd, "path", path.c_str(), "always-copy", TRUE, nullptr);
  GstCaps* caps = gst_caps_new_simple("video/x-raw", "format", G_TYPE_STRING, "BGRx", nullptr);
  g_object_set(filter, "caps", caps, nullptr);
  gst_caps_unref(caps);
  g_object_set(sink, "max-buffers", 1u, "drop", TRUE, "sync", FALSE, "emit-signals", FALSE,
               nullptr);
  stream_->pipeline = gst_pipeline_new("loopwright-screen");
  stream_->sink = GST_ELEMENT(gst_object_ref(sink));
  gst_bin_add_many(GST_BIN(stream_->pipeline), source, convert, filter, sink, nullptr);
  stream_->bus = gst_element_get_bus(stream_->pipeline);
  if (!gst_element_link_many(source, convert, filter, sink, nullptr) ||
      gst_element_set_state(stream_->pipeline, GST_STATE_PLAYING) == GST_STATE_CHANGE_FAILURE)
    stream_->failed = true;
  return stream_->failed ? PipeWireFailure::NoPicture : PipeWireFailure::None;
}

bool PipeWireCapture::Refresh(int waitMs) {
  if (!stream_ || stream_->failed) return false;
  while (GstMessage* message = gst_bus_pop_filtered(
             stream_->bus, static_cast<GstMessageType>(GST_MESSAGE_ERROR | GST_MESSAGE_EOS))) {
    stream_->failed = true;
    gst_message_unref(message);
  }
  if (stream_->failed) return false;
  const GstClockTime wait = stream_->latest ? 0 : static_cast<GstClockTime>(waitMs) * GST_MSECOND;
  if (GstSample* sample = gst_app_sink_try_pull_sample(GST_APP_SINK(stream_->sink), wait)) {
    if (stream_->latest) gst_sample_unref(stream_->latest);
    stream_->latest = sample;
  } else if (gst_app_sink_is_eos(GST_APP_SINK(stream_->sink))) {
    stream_->failed = true;
    return false;
  }
  return stream_->latest != nullptr;
}

FirstPicture PipeWireCapture::WaitFirstPicture(int waitMs) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (!Refresh(waitMs))
    return !stream_ || stream_->failed ? FirstPicture::Failed : FirstPicture::NotYet;
  GstVideoInfo info;
  GstCaps* caps = gst_sample_get_caps(stream_->latest);
  if (!caps || !gst_video_info_from_caps(&info, caps) || GST_VIDEO_INFO_WIDTH(&info) <= 0 ||
      GST_VIDEO_INFO_HEIGHT(&info) <= 0)
    return FirstPicture::Failed;
  width_ = static_cast<uint32_t>(GST_VIDEO_INFO_WIDTH(&info));
  height_ = static_cast<uint32_t>(GST_VIDEO_INFO_HEIGHT(&info));
  return FirstPicture::Came;
}

void PipeWireCapture::End() {
  std::lock_guard<std::mutex> lock(mutex_);
  if (stream_) stream_->failed = true;
}

uint32_t PipeWireCapture::ScreenWidth() const { return width_; }
uint32_t PipeWireCapture::ScreenHeight() const { return height_; }

CaptureError PipeWireCapture::Grab(const CaptureArea& area, bool /*pointer*/,
                                   std::vector<uint8_t>* bgr) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (!Refresh(1000)) return CaptureError::GrabFailed;
  GstVideoInfo info;
  GstCaps* caps = gst_sample_get_caps(stream_->latest);
  GstBuffer* buffer = gst_sample_get_buffer(stream_->latest);
  if (!caps || !buffer || !gst_video_info_from_caps(&info, caps) ||
      GST_VIDEO_INFO_FORMAT(&info) != GST_VIDEO_FORMAT_BGRx)
    return CaptureError::GrabFailed;
  GstVideoFrame frame;
  if (!gst_video_frame_map(&frame, &info, buffer, GST_MAP_READ)) return CaptureError::GrabFailed;
  const auto* pixels = static_cast<const uint8_t*>(GST_VIDEO_FRAME_PLANE_DATA(&frame, 0));
  const int64_t stride = GST_VIDEO_FRAME_PLANE_STRIDE(&frame, 0);
  const int64_t frameWidth = GST_VIDEO_FRAME_WIDTH(&frame);
  const int64_t frameHeight = GST_VIDEO_FRAME_HEIGHT(&frame);

  const size_t row = RgbStride(area.width);
  // Black where the area goes past the picture (a window shrunk since); otherwise every byte the
  // rows show is written below, so the buffer is only sized.
  const bool inside = area.x >= 0 && area.y >= 0 && area.x + int64_t{area.width} <= frameWidth &&
                      area.y + int64_t{area.height} <= frameHeight;
  if (inside)
    bgr->resize(row * area.height);
  else
    bgr->assign(row * area.height, 0);
  const int64_t left = std::max<int64_t>(area.x, 0);
  const int64_t right = std::min<int64_t>(int64_t{area.x} + area.width, frameWidth);
  for (uint32_t y = 0; y < area.height && left < right; ++y) {
    const int64_t sy = int64_t{area.y} + y;
    if (sy < 0 || sy >= frameHeight) continue;
    const uint8_t* from = pixels + sy * stride + left * 4;
    uint8_t* to = bgr->data() + y * row + (left - area.x) * 3;
    for (int64_t x = left; x < right; ++x, from += 4, to += 3) std::memcpy(to, from, 3);
  }
  gst_video_frame_unmap(&frame);
  return CaptureError::None;
}

}  // namespace lw
