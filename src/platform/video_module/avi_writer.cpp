// Writing AVI files: pictures coded by the program (uncompressed rows, RLE8) or by one of FFmpeg's
// encoders, with an audio stream copied from another file.
#include <algorithm>
#include <cstring>
#include <new>

#include "platform/video_module/ffmpeg_support.h"

namespace lw::video {
namespace {

struct State {
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

class Writer final : public AviFileWriter {
 public:
  explicit Writer(std::unique_ptr<State> state) : state_(std::move(state)) {}
  bool AddAudioFrom(const std::string& path) override;
  int WriteCoded(int64_t sample, const uint8_t* data, size_t size, bool keyFrame) override;
  int WriteEncoded(int64_t sample, const uint8_t* bgr) override;
  int Finish() override;

 private:
  std::unique_ptr<State> state_;
};

}  // namespace

std::vector<AviEncoderChoice> ListAviEncoders() {
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

std::unique_ptr<AviFileWriter> CreateAviWriter(const std::string& path, const AviVideoSpec& layout,
                                               int* error, bool* fileFailed) {
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
  return std::unique_ptr<AviFileWriter>(new (std::nothrow) Writer(std::move(s)));
}

bool Writer::AddAudioFrom(const std::string& path) {
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

int Writer::WriteCoded(int64_t sample, const uint8_t* data, size_t size, bool keyFrame) {
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

int Writer::WriteEncoded(int64_t sample, const uint8_t* bgr) {
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

int Writer::Finish() {
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

}  // namespace lw::video
