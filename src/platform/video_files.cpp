#include "platform/video_files.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/imgutils.h>
#include <libavutil/mathematics.h>
#include <libswscale/swscale.h>
}

#include <algorithm>
#include <cstring>
#include <mutex>
#include <new>

namespace lw {
namespace {

// The containers a movie may come in. Playlists and other formats that open further files or
// addresses are left out: a file must never make us fetch anything.
constexpr char kVideoDemuxers[] =
    "avi,mov,mp4,m4a,3gp,3g2,mj2,matroska,webm,apng,flv,asf,mpeg,mpegts,ogg,nut,h264,hevc,"
    "m4v,mjpeg,rawvideo,dv,yuv4mpegpipe,ivf";

void QuietLibraries() {
  static std::once_flag once;
  std::call_once(once, [] { av_log_set_level(AV_LOG_QUIET); });
}

uint64_t IndexRowBytes(uint64_t width) { return (width + 3) & ~uint64_t{3}; }
uint64_t RgbRowBytes(uint64_t width) { return (3 * width + 3) & ~uint64_t{3}; }

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

}  // namespace

// ---------------------------------------------------------------------------------------------
// Reading

struct VideoFileReader::State {
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
};

VideoOpenError VideoFileReader::State::Open(const char* url, uint64_t maxPixels) {
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
  return VideoOpenError::None;
}

int VideoFileReader::State::Convert(VideoPicture* picture) {
  int64_t sample = frame->best_effort_timestamp;
  if (sample == AV_NOPTS_VALUE) sample = lastSample == INT64_MIN ? info.start : lastSample + 1;
  // Pictures come in presentation order; keep their indexes rising whatever the file says.
  if (lastSample != INT64_MIN && sample <= lastSample) sample = lastSample + 1;
  lastSample = sample;
  picture->sample = sample;

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

VideoFileReader::VideoFileReader(std::unique_ptr<State> state) : state_(std::move(state)) {}
VideoFileReader::~VideoFileReader() = default;

std::unique_ptr<VideoFileReader> VideoFileReader::OpenFile(const std::string& path,
                                                           uint64_t maxPixels,
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
  return std::unique_ptr<VideoFileReader>(new (std::nothrow) VideoFileReader(std::move(state)));
}

std::unique_ptr<VideoFileReader> VideoFileReader::OpenMemory(const uint8_t* data, size_t size,
                                                             uint64_t maxPixels,
                                                             VideoOpenError* error) {
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
  return std::unique_ptr<VideoFileReader>(new (std::nothrow) VideoFileReader(std::move(state)));
}

const VideoInfo& VideoFileReader::Info() const { return state_->info; }

int VideoFileReader::Next(VideoPicture* picture) {
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

bool HasAudioStream(const std::string& path) {
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

// ---------------------------------------------------------------------------------------------
// Writing

struct AviFileWriter::State {
  AviVideoSpec layout;
  AVFormatContext* out = nullptr;
  AVStream* video = nullptr;
  AVRational sampleBase{1, 1};  // the stream's scale / rate
  AVCodecContext* encoder = nullptr;
  SwsContext* scaler = nullptr;
  AVFrame* frame = nullptr;
  AVPacket* packet = nullptr;
  bool headerWritten = false;
  bool paletteSent = false;
  // The audio source and its next packet, held until the video reaches its time.
  AVFormatContext* audioIn = nullptr;
  int audioIndex = -1;
  AVStream* audio = nullptr;
  AVPacket* audioPacket = nullptr;
  bool audioPending = false;
  bool audioEnded = false;

  ~State() {
    if (out && out->pb) avio_closep(&out->pb);
    avformat_free_context(out);
    avcodec_free_context(&encoder);
    sws_freeContext(scaler);
    av_frame_free(&frame);
    av_packet_free(&packet);
    av_packet_free(&audioPacket);
    avformat_close_input(&audioIn);
  }

  int WriteHeader() {
    if (headerWritten) return 0;
    // Uncompressed rows go bottom row first, as in DIBs.
    AVDictionary* options = nullptr;
    av_dict_set(&options, "flipped_raw_rgb", "1", 0);
    int status = avformat_write_header(out, &options);
    av_dict_free(&options);
    if (status >= 0) headerWritten = true;
    return status < 0 ? status : 0;
  }

  // Writes the audio packets that start before the video time (sample in sampleBase); all of
  // them with a negative sample.
  int PumpAudio(int64_t sample) {
    while (audio && !audioEnded) {
      if (!audioPending) {
        int status = av_read_frame(audioIn, audioPacket);
        if (status < 0) {
          audioEnded = true;
          break;
        }
        if (audioPacket->stream_index != audioIndex) {
          av_packet_unref(audioPacket);
          continue;
        }
        audioPending = true;
      }
      const AVRational inBase = audioIn->streams[audioIndex]->time_base;
      int64_t at = audioPacket->dts != AV_NOPTS_VALUE ? audioPacket->dts : audioPacket->pts;
      if (sample >= 0 && at != AV_NOPTS_VALUE && av_compare_ts(at, inBase, sample, sampleBase) >= 0)
        break;
      av_packet_rescale_ts(audioPacket, inBase, audio->time_base);
      audioPacket->stream_index = audio->index;
      audioPacket->pos = -1;
      audioPending = false;
      int status = av_interleaved_write_frame(out, audioPacket);
      av_packet_unref(audioPacket);
      if (status < 0) return status;
    }
    return 0;
  }

  int WriteVideoPacket(AVPacket* p, AVRational from) {
    av_packet_rescale_ts(p, from, video->time_base);
    p->stream_index = video->index;
    return av_interleaved_write_frame(out, p);
  }

  int DrainEncoder() {
    for (;;) {
      int status = avcodec_receive_packet(encoder, packet);
      if (status == AVERROR(EAGAIN) || status == AVERROR_EOF) return 0;
      if (status < 0) return status;
      status = WriteVideoPacket(packet, encoder->time_base);
      av_packet_unref(packet);
      if (status < 0) return status;
    }
  }
};

AviFileWriter::AviFileWriter(std::unique_ptr<State> state) : state_(std::move(state)) {}
AviFileWriter::~AviFileWriter() = default;

int VideoOutOfMemoryCode() { return AVERROR(ENOMEM); }

std::vector<AviEncoderChoice> AviVideoEncoders() {
  std::vector<AviEncoderChoice> list;
  const AVCodecTag* const tags[] = {avformat_get_riff_video_tags(), nullptr};
  void* iterator = nullptr;
  while (const AVCodec* codec = av_codec_iterate(&iterator)) {
    if (!av_codec_is_encoder(codec) || codec->type != AVMEDIA_TYPE_VIDEO) continue;
    if (codec->capabilities & AV_CODEC_CAP_EXPERIMENTAL) continue;
    if (codec->id == AV_CODEC_ID_RAWVIDEO || !codec->pix_fmts) continue;
    unsigned int tag = 0;
    if (!av_codec_get_tag2(tags, codec->id, &tag) || tag == 0) continue;
    list.push_back({codec->name, codec->long_name ? codec->long_name : codec->name, tag});
  }
  return list;
}

std::unique_ptr<AviFileWriter> AviFileWriter::Create(const std::string& path,
                                                     const AviVideoSpec& layout, int* error,
                                                     bool* fileFailed) {
  QuietLibraries();
  if (fileFailed) *fileFailed = false;
  *error = AVERROR(ENOMEM);
  std::unique_ptr<State> s(new (std::nothrow) State);
  if (!s) return nullptr;
  s->layout = layout;
  if (layout.width == 0 || layout.height == 0 || layout.width > INT32_MAX ||
      layout.height > INT32_MAX || layout.scale == 0 || layout.rate == 0 ||
      (layout.bitCount != 8 && layout.bitCount != 24)) {
    *error = AVERROR(EINVAL);
    return nullptr;
  }
  s->sampleBase = {static_cast<int>(std::min<uint32_t>(layout.scale, INT32_MAX)),
                   static_cast<int>(std::min<uint32_t>(layout.rate, INT32_MAX))};
  int status = avformat_alloc_output_context2(&s->out, nullptr, "avi", nullptr);
  if (status < 0 || !s->out) {
    *error = status < 0 ? status : AVERROR(ENOMEM);
    return nullptr;
  }
  s->packet = av_packet_alloc();
  s->video = avformat_new_stream(s->out, nullptr);
  if (!s->packet || !s->video) return nullptr;
  AVCodecParameters* par = s->video->codecpar;
  par->codec_type = AVMEDIA_TYPE_VIDEO;
  par->width = static_cast<int>(layout.width);
  par->height = static_cast<int>(layout.height);
  s->video->time_base = s->sampleBase;
  s->video->avg_frame_rate = {s->sampleBase.den, s->sampleBase.num};

  if (layout.handler == kHandlerNone || layout.handler == kHandlerRle8) {
    const bool rle = layout.handler == kHandlerRle8;
    if (rle && layout.bitCount != 8) {
      *error = AVERROR(EINVAL);
      return nullptr;
    }
    par->codec_id = rle ? AV_CODEC_ID_MSRLE : AV_CODEC_ID_RAWVIDEO;
    par->codec_tag = rle ? 1 : 0;  // BI_RLE8, BI_RGB
    par->bits_per_coded_sample = layout.bitCount;
    par->format = layout.bitCount == 8 ? AV_PIX_FMT_PAL8 : AV_PIX_FMT_BGR24;
  } else {
    const AVCodecTag* const tags[] = {avformat_get_riff_video_tags(), nullptr};
    AVCodecID id = av_codec_get_id(tags, layout.handler);
    const AVCodec* codec = id == AV_CODEC_ID_NONE ? nullptr : avcodec_find_encoder(id);
    if (!codec || !codec->pix_fmts) {
      *error = AVERROR_ENCODER_NOT_FOUND;
      return nullptr;
    }
    s->encoder = avcodec_alloc_context3(codec);
    s->frame = av_frame_alloc();
    if (!s->encoder || !s->frame) return nullptr;
    s->encoder->width = par->width;
    s->encoder->height = par->height;
    s->encoder->time_base = s->sampleBase;
    s->encoder->framerate = s->video->avg_frame_rate;
    s->encoder->pix_fmt = codec->pix_fmts[0];
    if (layout.keyEvery > 0)
      s->encoder->gop_size = static_cast<int>(std::min(layout.keyEvery, 600u));
    // Quality 10000 is the best: scale 1..31 as the encoders' quantizer.
    uint32_t quality = std::min<uint32_t>(layout.quality, 10000);
    s->encoder->flags |= AV_CODEC_FLAG_QSCALE;
    s->encoder->global_quality =
        FF_QP2LAMBDA * static_cast<int>(1 + (10000 - quality) * 30 / 10000);
    if (s->out->oformat->flags & AVFMT_GLOBALHEADER)
      s->encoder->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    status = avcodec_open2(s->encoder, codec, nullptr);
    if (status < 0) {
      *error = status;
      return nullptr;
    }
    status = avcodec_parameters_from_context(par, s->encoder);
    if (status < 0) {
      *error = status;
      return nullptr;
    }
    par->codec_tag = 0;
    unsigned int tag = 0;
    if (av_codec_get_tag2(tags, id, &tag) && av_codec_get_id(tags, layout.handler) == id)
      par->codec_tag = layout.handler;
    s->frame->format = s->encoder->pix_fmt;
    s->frame->width = par->width;
    s->frame->height = par->height;
    status = av_frame_get_buffer(s->frame, 0);
    if (status < 0) {
      *error = status;
      return nullptr;
    }
    s->scaler = sws_getContext(par->width, par->height, AV_PIX_FMT_BGR24, par->width, par->height,
                               s->encoder->pix_fmt, SWS_POINT, nullptr, nullptr, nullptr);
    if (!s->scaler) return nullptr;
  }

  std::string url = "file:" + path;
  status = avio_open(&s->out->pb, url.c_str(), AVIO_FLAG_WRITE);
  if (status < 0) {
    *error = status;
    if (fileFailed) *fileFailed = true;
    return nullptr;
  }
  *error = 0;
  return std::unique_ptr<AviFileWriter>(new (std::nothrow) AviFileWriter(std::move(s)));
}

bool AviFileWriter::AddAudioFrom(const std::string& path) {
  State& s = *state_;
  if (s.headerWritten || s.audio) return false;
  AVDictionary* options = nullptr;
  av_dict_set(&options, "protocol_whitelist", "file", 0);
  std::string url = "file:" + path;
  int status = avformat_open_input(&s.audioIn, url.c_str(), nullptr, &options);
  av_dict_free(&options);
  if (status < 0) return false;
  if (avformat_find_stream_info(s.audioIn, nullptr) < 0) {
    avformat_close_input(&s.audioIn);
    return false;
  }
  s.audioIndex = av_find_best_stream(s.audioIn, AVMEDIA_TYPE_AUDIO, -1, -1, nullptr, 0);
  if (s.audioIndex < 0 ||
      avformat_query_codec(s.out->oformat, s.audioIn->streams[s.audioIndex]->codecpar->codec_id,
                           FF_COMPLIANCE_NORMAL) != 1) {
    avformat_close_input(&s.audioIn);
    return false;
  }
  s.audioPacket = av_packet_alloc();
  AVStream* audio = avformat_new_stream(s.out, nullptr);
  if (!s.audioPacket || !audio ||
      avcodec_parameters_copy(audio->codecpar, s.audioIn->streams[s.audioIndex]->codecpar) < 0) {
    avformat_close_input(&s.audioIn);
    return false;
  }
  audio->codecpar->codec_tag = 0;  // the AVI muxer picks the RIFF tag
  audio->time_base = s.audioIn->streams[s.audioIndex]->time_base;
  s.audio = audio;
  return true;
}

int AviFileWriter::WriteCoded(int64_t sample, const uint8_t* data, size_t size, bool keyFrame) {
  State& s = *state_;
  if (s.encoder || size > INT32_MAX - AV_INPUT_BUFFER_PADDING_SIZE) return AVERROR(EINVAL);
  int status = s.WriteHeader();
  if (status < 0) return status;
  if ((status = s.PumpAudio(sample)) < 0) return status;
  status = av_new_packet(s.packet, static_cast<int>(size));
  if (status < 0) return status;
  std::memcpy(s.packet->data, data, size);
  s.packet->pts = s.packet->dts = sample;
  s.packet->duration = 1;
  if (keyFrame) s.packet->flags |= AV_PKT_FLAG_KEY;
  if (s.layout.bitCount == 8 && !s.paletteSent) {
    uint8_t* side = av_packet_new_side_data(s.packet, AV_PKT_DATA_PALETTE, AVPALETTE_SIZE);
    if (!side) {
      av_packet_unref(s.packet);
      return AVERROR(ENOMEM);
    }
    uint32_t colours[256] = {};
    for (size_t i = 0; i < std::min<size_t>(256, s.layout.palette.size()); ++i)
      colours[i] = 0xFF000000u | (s.layout.palette[i] & 0xFFFFFF);
    std::memcpy(side, colours, AVPALETTE_SIZE);
    s.paletteSent = true;
  }
  status = s.WriteVideoPacket(s.packet, s.sampleBase);
  av_packet_unref(s.packet);
  return status < 0 ? status : 0;
}

int AviFileWriter::WriteEncoded(int64_t sample, const uint8_t* bgr) {
  State& s = *state_;
  if (!s.encoder) return AVERROR(EINVAL);
  int status = s.WriteHeader();
  if (status < 0) return status;
  if ((status = s.PumpAudio(sample)) < 0) return status;
  if ((status = av_frame_make_writable(s.frame)) < 0) return status;
  const uint8_t* planes[4] = {bgr, nullptr, nullptr, nullptr};
  int strides[4] = {static_cast<int>(RgbRowBytes(s.layout.width)), 0, 0, 0};
  sws_scale(s.scaler, planes, strides, 0, static_cast<int>(s.layout.height), s.frame->data,
            s.frame->linesize);
  s.frame->pts = sample;
  status = avcodec_send_frame(s.encoder, s.frame);
  if (status < 0) return status;
  return s.DrainEncoder();
}

int AviFileWriter::Finish() {
  State& s = *state_;
  int status = s.WriteHeader();
  if (status < 0) return status;
  if (s.encoder) {
    status = avcodec_send_frame(s.encoder, nullptr);
    if (status < 0 && status != AVERROR_EOF) return status;
    if ((status = s.DrainEncoder()) < 0) return status;
  }
  if ((status = s.PumpAudio(-1)) < 0) return status;
  status = av_write_trailer(s.out);
  int closed = avio_closep(&s.out->pb);
  return status < 0 ? status : closed < 0 ? closed : 0;
}

}  // namespace lw
