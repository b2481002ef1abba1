// Writing MP4 (H.264) and WebM (VP9) clips through FFmpeg's libx264 and libvpx-vp9 encoders.
// Pictures keep their own durations: each is held back until the next one (or the end) says how
// long it shows, and that duration goes with its packet, so the last picture keeps its time too.
// The encoder counts pictures (0, 1, 2...) and the packets get their real times as they come
// out: H.264 decodes some pictures before they show, and x264 derives those decoding times from
// the gaps between the first pictures, which with irregular delays put pictures seconds before
// the clip's start, where players drop them.
#include <algorithm>
#include <map>
#include <new>
#include <vector>

extern "C" {
#include <libavutil/opt.h>
}

#include "platform/video_module/ffmpeg_support.h"

namespace lw::video {
namespace {

const AVCodec* ClipEncoder(ClipCodec codec) {
  return avcodec_find_encoder_by_name(ClipEncoderNameOf(codec));
}

class ClipWriter final : public ClipFileWriter {
 public:
  ~ClipWriter() override {
    if (out_ && out_->pb) avio_closep(&out_->pb);
    avformat_free_context(out_);
    avcodec_free_context(&encoder_);
    sws_freeContext(scaler_);
    av_frame_free(&frame_);
    av_packet_free(&packet_);
  }

  ClipError Open(const std::string& path, const ClipShape& shape);
  int Write(int64_t start, const uint32_t* pixels, int stride) override;
  int Finish(int64_t end) override;

 private:
  int SendPending(int64_t until);
  int Drain();
  // A picture number's start in ticks; numbers before the first (decoding times of the pictures
  // shown later) are one tick apart before it, so every time stays in order.
  int64_t RealTime(int64_t number) const {
    if (number == AV_NOPTS_VALUE || starts_.empty()) return number;
    if (number < 0) return starts_.front() + number;
    const size_t i = static_cast<size_t>(number);
    return i < starts_.size()
               ? starts_[i]
               : starts_.back() + (number - static_cast<int64_t>(starts_.size()) + 1);
  }

  ClipShape shape_;
  AVFormatContext* out_ = nullptr;
  AVStream* stream_ = nullptr;
  AVCodecContext* encoder_ = nullptr;
  SwsContext* scaler_ = nullptr;
  AVFrame* frame_ = nullptr;  // the picture held back until its duration is known
  AVPacket* packet_ = nullptr;
  bool pending_ = false;
  std::vector<int64_t> starts_;           // each picture's real start, by picture number
  std::map<int64_t, int64_t> durations_;  // by picture number, until the packet comes out
};

ClipError ClipWriter::Open(const std::string& path, const ClipShape& shape) {
  shape_ = shape;
  if (shape.width == 0 || shape.height == 0 || shape.width % 2 || shape.height % 2 ||
      shape.width > 16384 || shape.height > 16384 || shape.ticksPerSecond <= 0)
    return ClipError::Failed;
  const AVCodec* codec = ClipEncoder(shape.codec);
  if (!codec) return ClipError::NoEncoder;
  const char* container = shape.codec == ClipCodec::Vp9 ? "webm" : "mp4";
  // The muxer is told the file's name: moving the MP4 index to the front reopens it.
  const std::string url = "file:" + path;
  if (avformat_alloc_output_context2(&out_, nullptr, container, url.c_str()) < 0 || !out_)
    return ClipError::Failed;
  // The same animation gives the same file: WebM would otherwise draw its segment and track
  // identifiers at random on each save.
  if (shape.codec == ClipCodec::Vp9) out_->flags |= AVFMT_FLAG_BITEXACT;
  encoder_ = avcodec_alloc_context3(codec);
  frame_ = av_frame_alloc();
  packet_ = av_packet_alloc();
  stream_ = avformat_new_stream(out_, nullptr);
  if (!encoder_ || !frame_ || !packet_ || !stream_) return ClipError::Failed;

  encoder_->width = static_cast<int>(shape.width);
  encoder_->height = static_cast<int>(shape.height);
  encoder_->pix_fmt = AV_PIX_FMT_YUV420P;
  encoder_->time_base = {1, shape.ticksPerSecond};
  encoder_->sample_aspect_ratio = {1, 1};
  // What the scaler makes from RGB: BT.601 in the limited range; said so in the stream.
  encoder_->colorspace = AVCOL_SPC_SMPTE170M;
  encoder_->color_primaries = AVCOL_PRI_SMPTE170M;
  encoder_->color_trc = AVCOL_TRC_SMPTE170M;
  encoder_->color_range = AVCOL_RANGE_MPEG;
  const int maxCrf = shape.codec == ClipCodec::Vp9 ? 63 : 51;
  const std::string crf = std::to_string(std::clamp(shape.crf, 0, maxCrf));
  av_opt_set(encoder_->priv_data, "crf", crf.c_str(), 0);
  if (shape.codec == ClipCodec::Vp9) {
    encoder_->bit_rate = 0;  // constant quality: the CRF alone decides
    av_opt_set(encoder_->priv_data, "deadline", "good", 0);
    av_opt_set(encoder_->priv_data, "cpu-used", "2", 0);
    av_opt_set(encoder_->priv_data, "row-mt", "1", 0);
  }
  if (out_->oformat->flags & AVFMT_GLOBALHEADER) encoder_->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
  if (avcodec_open2(encoder_, codec, nullptr) < 0) return ClipError::Failed;
  if (avcodec_parameters_from_context(stream_->codecpar, encoder_) < 0) return ClipError::Failed;
  stream_->time_base = encoder_->time_base;

  frame_->format = encoder_->pix_fmt;
  frame_->width = encoder_->width;
  frame_->height = encoder_->height;
  if (av_frame_get_buffer(frame_, 0) < 0) return ClipError::Failed;
  scaler_ =
      sws_getContext(encoder_->width, encoder_->height, AV_PIX_FMT_BGR0, encoder_->width,
                     encoder_->height, encoder_->pix_fmt, SWS_BICUBIC, nullptr, nullptr, nullptr);
  if (!scaler_) return ClipError::Failed;

  if (avio_open(&out_->pb, url.c_str(), AVIO_FLAG_WRITE) < 0) return ClipError::CannotCreate;
  AVDictionary* options = nullptr;
  // The index first, so that a browser plays the clip while it loads.
  if (shape.codec == ClipCodec::H264) av_dict_set(&options, "movflags", "+faststart", 0);
  int status = avformat_write_header(out_, &options);
  av_dict_free(&options);
  return status < 0 ? ClipError::Failed : ClipError::None;
}

int ClipWriter::Drain() {
  for (;;) {
    int status = avcodec_receive_packet(encoder_, packet_);
    if (status == AVERROR(EAGAIN) || status == AVERROR_EOF) return 0;
    if (status < 0) return status;
    auto found = durations_.find(packet_->pts);
    if (found != durations_.end()) {
      packet_->duration = found->second;
      durations_.erase(found);
    }
    packet_->pts = RealTime(packet_->pts);
    packet_->dts = RealTime(packet_->dts);
    av_packet_rescale_ts(packet_, encoder_->time_base, stream_->time_base);
    packet_->stream_index = stream_->index;
    status = av_interleaved_write_frame(out_, packet_);
    av_packet_unref(packet_);
    if (status < 0) return status;
  }
}

int ClipWriter::SendPending(int64_t until) {
  if (!pending_) return 0;
  pending_ = false;
  try {
    durations_[frame_->pts] = until - starts_.back();
  } catch (const std::bad_alloc&) {
    return AVERROR(ENOMEM);
  }
  int status = avcodec_send_frame(encoder_, frame_);
  if (status < 0) return status;
  return Drain();
}

int ClipWriter::Write(int64_t start, const uint32_t* pixels, int stride) {
  if (!pixels || stride < encoder_->width || (!starts_.empty() && start <= starts_.back()))
    return AVERROR(EINVAL);
  int status = SendPending(start);
  if (status < 0) return status;
  // The encoder may still hold the last buffer: this gives the frame a free one.
  if ((status = av_frame_make_writable(frame_)) < 0) return status;
  const uint8_t* planes[4] = {reinterpret_cast<const uint8_t*>(pixels), nullptr, nullptr, nullptr};
  const int strides[4] = {stride * 4, 0, 0, 0};
  sws_scale(scaler_, planes, strides, 0, encoder_->height, frame_->data, frame_->linesize);
  try {
    starts_.push_back(start);
  } catch (const std::bad_alloc&) {
    return AVERROR(ENOMEM);
  }
  frame_->pts = static_cast<int64_t>(starts_.size()) - 1;
  pending_ = true;
  return 0;
}

int ClipWriter::Finish(int64_t end) {
  int status = SendPending(pending_ ? std::max(end, starts_.back() + 1) : 0);
  if (status < 0) return status;
  status = avcodec_send_frame(encoder_, nullptr);
  if (status < 0 && status != AVERROR_EOF) return status;
  if ((status = Drain()) < 0) return status;
  status = av_write_trailer(out_);
  const int closed = avio_closep(&out_->pb);
  return status < 0 ? status : closed;
}

}  // namespace

const char* ClipEncoderNameOf(ClipCodec codec) {
  return codec == ClipCodec::Vp9 ? "libvpx-vp9" : "libx264";
}

bool FindClipEncoder(ClipCodec codec) { return ClipEncoder(codec) != nullptr; }

std::unique_ptr<ClipFileWriter> CreateClipWriter(const std::string& path, const ClipShape& shape,
                                                 ClipError* error) {
  QuietLibraries();
  std::unique_ptr<ClipWriter> writer(new (std::nothrow) ClipWriter);
  if (!writer) {
    *error = ClipError::Failed;
    return nullptr;
  }
  *error = writer->Open(path, shape);
  if (*error != ClipError::None) return nullptr;
  return writer;
}

}  // namespace lw::video
