// Reading the video stream of a movie picture by picture, through FFmpeg's demuxers and decoders.
#include <algorithm>
#include <cstring>
#include <new>

#include "platform/video_module/ffmpeg_support.h"

namespace lw::video {
namespace {

// The containers a movie may come in. Playlists and other formats that open further files or
// addresses are left out: a file must never make us fetch anything.
constexpr char kVideoDemuxers[] =
    "avi,mov,mp4,m4a,3gp,3g2,mj2,matroska,webm,apng,flv,asf,mpeg,mpegts,ogg,nut,h264,hevc,"
    "m4v,mjpeg,rawvideo,dv,yuv4mpegpipe,ivf";

// A file held in memory, read through FFmpeg's I/O callbacks.
struct MemoryFile {
  const uint8_t* data = nullptr;
  size_t size = 0;
  size_t at = 0;
};

int ReadMemory(void* opaque, uint8_t* buffer, int wanted) {
  auto* file = static_cast<MemoryFile*>(opaque);
  size_t left = file->size - file->at;
  size_t count = std::min(left, static_cast<size_t>(std::max(wanted, 0)));
  if (count == 0) return AVERROR_EOF;
  std::memcpy(buffer, file->data + file->at, count);
  file->at += count;
  return static_cast<int>(count);
}

int64_t SeekMemory(void* opaque, int64_t offset, int whence) {
  auto* file = static_cast<MemoryFile*>(opaque);
  whence &= ~AVSEEK_FORCE;
  if (whence == AVSEEK_SIZE) return static_cast<int64_t>(file->size);
  int64_t base = whence == SEEK_CUR   ? static_cast<int64_t>(file->at)
                 : whence == SEEK_END ? static_cast<int64_t>(file->size)
                                      : 0;
  if (whence != SEEK_SET && whence != SEEK_CUR && whence != SEEK_END) return -1;
  if (offset > INT64_MAX - base) return -1;
  int64_t to = base + offset;
  if (to < 0 || to > static_cast<int64_t>(file->size)) return -1;
  file->at = static_cast<size_t>(to);
  return to;
}

struct State {
  MemoryFile memory;
  AVIOContext* io = nullptr;
  AVFormatContext* format = nullptr;
  AVCodecContext* codec = nullptr;
  SwsContext* scaler = nullptr;
  AVPacket* packet = nullptr;
  AVFrame* frame = nullptr;
  int stream = -1;
  VideoInfo info;
  bool draining = false;
  int64_t lastSample = INT64_MIN;
  uint64_t maxPixels = 0;

  ~State() {
    sws_freeContext(scaler);
    av_frame_free(&frame);
    av_packet_free(&packet);
    avcodec_free_context(&codec);
    avformat_close_input(&format);
    if (io) av_freep(&io->buffer);
    avio_context_free(&io);
  }

  VideoOpenError Open(const char* url, uint64_t maxPixels);
  int Convert(VideoPicture* picture);
  bool Seek(int64_t sample);
  bool Resize(uint32_t width, uint32_t height);
};

VideoOpenError State::Open(const char* url, uint64_t maxPixels) {
  if (!format) return VideoOpenError::NoVideo;
  format->format_whitelist = av_strdup(kVideoDemuxers);
  AVDictionary* options = nullptr;
  av_dict_set(&options, "protocol_whitelist", io ? "" : "file", 0);
  int status = avformat_open_input(&format, url, nullptr, &options);
  av_dict_free(&options);
  if (status < 0) return VideoOpenError::NoVideo;  // avformat_open_input freed the context
  if (avformat_find_stream_info(format, nullptr) < 0) return VideoOpenError::BadFormat;
  const AVCodec* decoder = nullptr;
  stream = av_find_best_stream(format, AVMEDIA_TYPE_VIDEO, -1, -1, &decoder, 0);
  if (stream == AVERROR_DECODER_NOT_FOUND) return VideoOpenError::NoDecoder;
  if (stream < 0) return VideoOpenError::NoVideo;
  AVStream* st = format->streams[stream];
  const AVCodecParameters* par = st->codecpar;
  if (par->width <= 0 || par->height <= 0 || st->time_base.num <= 0 || st->time_base.den <= 0)
    return VideoOpenError::BadFormat;
  if (uint64_t{static_cast<uint32_t>(par->width)} * static_cast<uint32_t>(par->height) > maxPixels)
    return VideoOpenError::BadFormat;
  codec = avcodec_alloc_context3(decoder);
  packet = av_packet_alloc();
  frame = av_frame_alloc();
  if (!codec || !packet || !frame) return VideoOpenError::NoDecoder;
  if (avcodec_parameters_to_context(codec, par) < 0) return VideoOpenError::BadFormat;
  codec->pkt_timebase = st->time_base;
  codec->max_pixels = static_cast<int64_t>(std::min<uint64_t>(maxPixels, INT64_MAX));
  if (avcodec_open2(codec, decoder, nullptr) < 0) return VideoOpenError::NoDecoder;

  info.width = static_cast<uint32_t>(par->width);
  info.height = static_cast<uint32_t>(par->height);
  info.palettised = codec->pix_fmt == AV_PIX_FMT_PAL8;
  info.scale = st->time_base.num;
  info.rate = st->time_base.den;
  info.start = st->start_time != AV_NOPTS_VALUE ? st->start_time : 0;
  if (st->duration != AV_NOPTS_VALUE && st->duration > 0 && st->duration < INT64_MAX - info.start)
    info.end = info.start + st->duration;
  else if (format->duration != AV_NOPTS_VALUE && format->duration > 0)
    info.end = info.start + av_rescale_q(format->duration, AV_TIME_BASE_Q, st->time_base);
  else
    info.end = info.start;
  AVRational fps = st->avg_frame_rate.num > 0 && st->avg_frame_rate.den > 0 ? st->avg_frame_rate
                                                                            : st->r_frame_rate;
  if (fps.num > 0 && fps.den > 0) info.frameRateNum = fps.num, info.frameRateDen = fps.den;
  this->maxPixels = maxPixels;
  return VideoOpenError::None;
}

bool State::Seek(int64_t sample) {
  if (av_seek_frame(format, stream, sample, AVSEEK_FLAG_BACKWARD) < 0) return false;
  avcodec_flush_buffers(codec);
  draining = false;
  lastSample = INT64_MIN;
  return true;
}

bool State::Resize(uint32_t width, uint32_t height) {
  if (width == 0 || height == 0 || width > 65535 || height > 65535 ||
      uint64_t{width} * height > maxPixels)
    return false;
  info.width = width;
  info.height = height;
  info.palettised = false;  // the scaler gives 24 bits whatever it is given
  return true;
}

int State::Convert(VideoPicture* picture) {
  int64_t sample = frame->best_effort_timestamp;
  if (sample == AV_NOPTS_VALUE) sample = lastSample == INT64_MIN ? info.start : lastSample + 1;
  // Pictures come in presentation order; keep their indexes rising whatever the file says.
  if (lastSample != INT64_MIN && sample <= lastSample) sample = lastSample + 1;
  lastSample = sample;
  picture->sample = sample;
#if LIBAVUTIL_VERSION_MAJOR >= 58
  picture->duration = std::max<int64_t>(frame->duration, 0);
#else
  picture->duration = std::max<int64_t>(frame->pkt_duration, 0);
#endif

  const uint32_t w = info.width, h = info.height;
  try {
    if (info.palettised) {
      if (frame->format != AV_PIX_FMT_PAL8 || !frame->data[0] || !frame->data[1]) return -1;
      const uint64_t stride = IndexRowBytes(w);
      picture->pixels.assign(stride * h, 0);
      const uint32_t copyW = std::min<uint32_t>(w, static_cast<uint32_t>(frame->width));
      const uint32_t copyH = std::min<uint32_t>(h, static_cast<uint32_t>(frame->height));
      for (uint32_t y = 0; y < copyH; ++y)
        std::memcpy(picture->pixels.data() + stride * y,
                    frame->data[0] + static_cast<ptrdiff_t>(frame->linesize[0]) * y, copyW);
      const uint32_t* colours = reinterpret_cast<const uint32_t*>(frame->data[1]);
      for (int i = 0; i < 256; ++i) picture->palette[i] = colours[i] & 0xFFFFFF;
      return 1;
    }
    if (frame->width <= 0 || frame->height <= 0) return -1;
    scaler = sws_getCachedContext(scaler, frame->width, frame->height,
                                  static_cast<AVPixelFormat>(frame->format), static_cast<int>(w),
                                  static_cast<int>(h), AV_PIX_FMT_BGR24, SWS_BICUBIC, nullptr,
                                  nullptr, nullptr);
    if (!scaler) return -1;
    const uint64_t stride = RgbRowBytes(w);
    // Room past the last row: the scaler may write whole vectors.
    picture->pixels.reserve(stride * h + 64);
    picture->pixels.assign(stride * h, 0);
    uint8_t* planes[4] = {picture->pixels.data(), nullptr, nullptr, nullptr};
    int strides[4] = {static_cast<int>(stride), 0, 0, 0};
    if (sws_scale(scaler, frame->data, frame->linesize, 0, frame->height, planes, strides) <= 0)
      return -1;
    return 1;
  } catch (const std::bad_alloc&) {
    return -2;
  }
}

class Reader final : public VideoFileReader {
 public:
  explicit Reader(std::unique_ptr<State> state) : state_(std::move(state)) {}
  const VideoInfo& Info() const override { return state_->info; }
  int Next(VideoPicture* picture) override;
  bool Seek(int64_t sample) override { return state_->Seek(sample); }
  bool SetPictureSize(uint32_t width, uint32_t height) override {
    return state_->Resize(width, height);
  }

 private:
  std::unique_ptr<State> state_;
};

int Reader::Next(VideoPicture* picture) {
  State& s = *state_;
  for (;;) {
    int status = avcodec_receive_frame(s.codec, s.frame);
    if (status == 0) {
      int converted = s.Convert(picture);
      av_frame_unref(s.frame);
      return converted;
    }
    if (status == AVERROR_EOF) return 0;
    if (status == AVERROR(ENOMEM)) return -2;
    if (status != AVERROR(EAGAIN)) return -1;
    if (s.draining) return 0;
    status = av_read_frame(s.format, s.packet);
    if (status == AVERROR(ENOMEM)) return -2;
    if (status < 0) {
      // End of the file, or damage past which nothing can be read: what was decoded stays.
      s.draining = true;
      if (avcodec_send_packet(s.codec, nullptr) < 0) return 0;
      continue;
    }
    // Empty samples (dropped frames) carry no picture: the previous one lasts longer.
    if (s.packet->stream_index == s.stream && s.packet->size > 0) {
      status = avcodec_send_packet(s.codec, s.packet);
      if (status == AVERROR(ENOMEM)) {
        av_packet_unref(s.packet);
        return -2;
      }
      // A damaged picture is skipped; its time goes to the one before.
    }
    av_packet_unref(s.packet);
  }
}

}  // namespace

std::unique_ptr<VideoFileReader> OpenReaderFile(const std::string& path, uint64_t maxPixels,
                                                VideoOpenError* error) {
  QuietLibraries();
  std::unique_ptr<State> state(new (std::nothrow) State);
  if (!state) {
    *error = VideoOpenError::NoVideo;
    return nullptr;
  }
  state->format = avformat_alloc_context();
  // "file:" keeps a name with a ':' from being taken for a protocol.
  std::string url = "file:" + path;
  *error = state->Open(url.c_str(), maxPixels);
  if (*error != VideoOpenError::None) return nullptr;
  return std::unique_ptr<VideoFileReader>(new (std::nothrow) Reader(std::move(state)));
}

std::unique_ptr<VideoFileReader> OpenReaderMemory(const uint8_t* data, size_t size,
                                                  uint64_t maxPixels, VideoOpenError* error) {
  QuietLibraries();
  std::unique_ptr<State> state(new (std::nothrow) State);
  *error = VideoOpenError::NoVideo;
  if (!state) return nullptr;
  state->memory = {data, size, 0};
  constexpr int kBufferSize = 4096;
  auto* buffer = static_cast<uint8_t*>(av_malloc(kBufferSize));
  if (!buffer) return nullptr;
  state->io =
      avio_alloc_context(buffer, kBufferSize, 0, &state->memory, ReadMemory, nullptr, SeekMemory);
  if (!state->io) {
    av_free(buffer);
    return nullptr;
  }
  state->format = avformat_alloc_context();
  if (state->format) {
    state->format->pb = state->io;
    state->format->flags |= AVFMT_FLAG_CUSTOM_IO;
  }
  *error = state->Open("", maxPixels);
  if (*error != VideoOpenError::None) return nullptr;
  return std::unique_ptr<VideoFileReader>(new (std::nothrow) Reader(std::move(state)));
}

bool ProbeAudioStream(const std::string& path) {
  QuietLibraries();
  AVFormatContext* format = nullptr;
  AVDictionary* options = nullptr;
  av_dict_set(&options, "protocol_whitelist", "file", 0);
  std::string url = "file:" + path;
  int status = avformat_open_input(&format, url.c_str(), nullptr, &options);
  av_dict_free(&options);
  if (status < 0) return false;
  bool found = avformat_find_stream_info(format, nullptr) >= 0 &&
               av_find_best_stream(format, AVMEDIA_TYPE_AUDIO, -1, -1, nullptr, 0) >= 0;
  avformat_close_input(&format);
  return found;
}

}  // namespace lw::video
