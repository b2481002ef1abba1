// GIF decoding and encoding throughput, ours against giflib, on the same generated animations.
// Before timing, checks that both decoders give the same pixels, that giflib reads our files to the
// same pixels, and that our encoder's bytes equal those of a plain, unoptimised encoder written
// from the same rules.
#include <benchmark/benchmark.h>
#include <gif_lib.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "core/byte_sink.h"
#include "core/gif_reader.h"
#include "core/gif_writer.h"
#include "core/lzw.h"
#include "platform/services.h"
#include "reference_lzw.h"

namespace {

constexpr int kFrames = 200;
constexpr int kWidth = 320;
constexpr int kHeight = 240;
constexpr double kMegapixels = double(kFrames) * kWidth * kHeight / 1e6;

class QuietServices : public lw::PlatformServices {
 public:
  int MessageBox(lw::WindowHandle, const std::string& text, const std::string&, int) override {
    std::fprintf(stderr, "message: %s\n", text.c_str());
    return lw::answer::Ok;
  }
  bool Interactive() const override { return false; }
};

// 200 frames mixing gradients, noise and flat areas, the picture moving from frame to frame.
lw::AnimationPtr MakeAnimation(bool interlaced) {
  lw::AnimationPtr a = lw::NewAnimation();
  a->screenWidth = kWidth;
  a->screenHeight = kHeight;
  a->playCount = 0;
  std::vector<uint8_t> rgb(768);
  for (int i = 0; i < 768; ++i) rgb[i] = static_cast<uint8_t>(i * 7 + (i / 3) * 13);
  lw::SetGlobalPalette(*a, lw::PaletteFromTriples(256, rgb.data()));
  uint32_t seed = 12345;
  lw::Block* last = a->blocks;
  for (int n = 0; n < kFrames; ++n) {
    lw::Frame* f = lw::NewFrame(kWidth, kHeight, 10);
    f->palette = a->globalPalette.get();
    f->delay = 4;
    lw::NewFrameDib(f);
    if (interlaced) lw::SetInterlaced(f, true);
    uint64_t stride = lw::IndexStride(kWidth);
    for (int y = 0; y < kHeight; ++y) {
      uint8_t* row = f->bits() + y * stride;
      for (int x = 0; x < kWidth; ++x) {
        int band = ((y + n) / 40) % 3;
        uint8_t v;
        if (band == 0) {
          v = static_cast<uint8_t>((x + 2 * y + 3 * n) / 3);  // gradient
        } else if (band == 1 && x > 100 + n % 50 && x < 220) {
          seed = seed * 1103515245u + 12345u;
          v = static_cast<uint8_t>(seed >> 24);  // noise
        } else {
          v = static_cast<uint8_t>((x / 64 + n / 20) * 17);  // flat areas
        }
        row[x] = v;
      }
    }
    lw::InsertBlockAfter(last, f);
    last = f;
    ++a->frameCount;
  }
  return a;
}

std::vector<uint8_t> OurEncode(lw::Animation& a) {
  std::vector<uint8_t> out;
  out.reserve(1 << 22);
  lw::ByteSink sink(&out);
  lw::WriteGif(sink, a, nullptr);
  return out;
}

// ---- giflib ----

struct MemoryIn {
  const std::vector<uint8_t>* data;
  size_t pos = 0;
};

int ReadMemory(GifFileType* gif, GifByteType* buf, int n) {
  auto* in = static_cast<MemoryIn*>(gif->UserData);
  size_t left = in->data->size() - in->pos;
  size_t take = std::min<size_t>(left, static_cast<size_t>(n));
  std::memcpy(buf, in->data->data() + in->pos, take);
  in->pos += take;
  return static_cast<int>(take);
}

int WriteMemory(GifFileType* gif, const GifByteType* buf, int n) {
  auto* out = static_cast<std::vector<uint8_t>*>(gif->UserData);
  out->insert(out->end(), buf, buf + n);
  return n;
}

// Decodes every frame; returns the frames' pixels (or nothing on failure).
std::vector<std::vector<uint8_t>> GiflibDecode(const std::vector<uint8_t>& file) {
  MemoryIn in{&file};
  int error = 0;
  GifFileType* gif = DGifOpen(&in, ReadMemory, &error);
  std::vector<std::vector<uint8_t>> frames;
  if (!gif) return frames;
  if (DGifSlurp(gif) == GIF_OK) {
    for (int i = 0; i < gif->ImageCount; ++i) {
      const SavedImage& s = gif->SavedImages[i];
      frames.emplace_back(s.RasterBits, s.RasterBits + s.ImageDesc.Width * s.ImageDesc.Height);
    }
  }
  DGifCloseFile(gif, &error);
  return frames;
}

std::vector<uint8_t> GiflibEncode(const lw::Animation& a) {
  std::vector<uint8_t> out;
  out.reserve(1 << 22);
  int error = 0;
  GifFileType* gif = EGifOpen(&out, WriteMemory, &error);
  GifColorType colours[256];
  for (int i = 0; i < 256; ++i)
    colours[i] = {a.globalPalette->entries[i].red, a.globalPalette->entries[i].green,
                  a.globalPalette->entries[i].blue};
  ColorMapObject* map = GifMakeMapObject(256, colours);
  EGifSetGifVersion(gif, true);
  EGifPutScreenDesc(gif, kWidth, kHeight, 8, 0, map);
  GifByteType loop[3] = {1, 0, 0};
  EGifPutExtensionLeader(gif, APPLICATION_EXT_FUNC_CODE);
  EGifPutExtensionBlock(gif, 11, "NETSCAPE2.0");
  EGifPutExtensionBlock(gif, 3, loop);
  EGifPutExtensionTrailer(gif);
  for (lw::Frame* f = lw::FirstFrame(a); f; f = lw::NextFrame(f)) {
    GifByteType gce[4] = {f->controlFlags, static_cast<GifByteType>(f->delay), 0,
                          f->transparentIndex};
    EGifPutExtension(gif, GRAPHICS_EXT_FUNC_CODE, 4, gce);
    EGifPutImageDesc(gif, 0, 0, kWidth, kHeight, f->Interlaced(), nullptr);
    uint64_t stride = lw::IndexStride(kWidth);
    auto put = [&](uint32_t r) { EGifPutLine(gif, f->bits() + r * stride, kWidth); };
    lw::ForEachRowInOrder(kHeight, f->Interlaced(), put);
  }
  EGifCloseFile(gif, &error);
  GifFreeMapObject(map);
  return out;
}

bool Verify(lw::Animation& a, const std::vector<uint8_t>& ours, const char* what) {
  bool ok = true;
  auto theirs = GiflibDecode(ours);
  lw::AnimationPtr back;
  if (lw::ReadGifMemory(ours.data(), ours.size(), nullptr, &back) != lw::GifReadStatus::Done ||
      static_cast<int>(theirs.size()) != a.frameCount) {
    std::fprintf(stderr, "%s: cannot read back\n", what);
    return false;
  }
  uint64_t stride = lw::IndexStride(kWidth);
  int i = 0;
  size_t at = 0;
  for (lw::Frame *f = lw::FirstFrame(a), *g = lw::FirstFrame(*back); f;
       f = lw::NextFrame(f), g = lw::NextFrame(g), ++i) {
    std::vector<uint8_t> px, mine;
    lw::ForEachRowInOrder(kHeight, f->Interlaced(), [&](uint32_t r) {
      px.insert(px.end(), f->bits() + r * stride, f->bits() + r * stride + kWidth);
    });
    for (int r = 0; r < kHeight; ++r)
      mine.insert(mine.end(), g->bits() + r * stride, g->bits() + r * stride + kWidth);
    std::vector<uint8_t> rows;
    for (int r = 0; r < kHeight; ++r)
      rows.insert(rows.end(), f->bits() + r * stride, f->bits() + r * stride + kWidth);
    if (mine != rows || theirs[i] != rows) {
      std::fprintf(stderr, "%s: frame %d pixels differ\n", what, i);
      ok = false;
    }
    // Our bytes against the plain encoder: find this frame's data after its descriptor.
    std::vector<uint8_t> expected = lw::test::ReferenceLzw(px, 8);
    auto pos = std::search(ours.begin() + at, ours.end(), expected.begin(), expected.end());
    if (pos == ours.end()) {
      std::fprintf(stderr, "%s: frame %d bytes differ from the plain encoder\n", what, i);
      ok = false;
    } else {
      at = pos - ours.begin() + expected.size();
    }
  }
  return ok;
}

struct Inputs {
  lw::AnimationPtr animation[2];
  std::vector<uint8_t> file[2];
};

Inputs& Data() {
  static Inputs inputs = [] {
    Inputs in;
    for (int i = 0; i < 2; ++i) {
      in.animation[i] = MakeAnimation(i == 1);
      in.file[i] = OurEncode(*in.animation[i]);
    }
    return in;
  }();
  return inputs;
}

void SetRate(benchmark::State& state) {
  state.counters["MP/s"] =
      benchmark::Counter(kMegapixels, benchmark::Counter::kIsIterationInvariantRate);
}

void BM_DecodeOurs(benchmark::State& state) {
  const auto& file = Data().file[state.range(0)];
  for (auto _ : state) {
    lw::AnimationPtr a;
    benchmark::DoNotOptimize(lw::ReadGifMemory(file.data(), file.size(), nullptr, &a));
  }
  SetRate(state);
}

void BM_DecodeGiflib(benchmark::State& state) {
  const auto& file = Data().file[state.range(0)];
  for (auto _ : state) benchmark::DoNotOptimize(GiflibDecode(file));
  SetRate(state);
}

void BM_EncodeOurs(benchmark::State& state) {
  lw::Animation& a = *Data().animation[state.range(0)];
  for (auto _ : state) benchmark::DoNotOptimize(OurEncode(a));
  SetRate(state);
}

void BM_EncodeGiflib(benchmark::State& state) {
  lw::Animation& a = *Data().animation[state.range(0)];
  for (auto _ : state) benchmark::DoNotOptimize(GiflibEncode(a));
  SetRate(state);
}

// Our reader and writer hand rows to worker threads, giflib runs on the calling thread: the
// rates and ratios come from wall time, and the CPU column counts every thread of the process.
#define LW_GIF_BENCHMARK(name)  \
  BENCHMARK(name)               \
      ->ArgName("interlaced")   \
      ->Arg(0)                  \
      ->Arg(1)                  \
      ->UseRealTime()           \
      ->MeasureProcessCPUTime() \
      ->Unit(benchmark::kMillisecond)
LW_GIF_BENCHMARK(BM_DecodeOurs);
LW_GIF_BENCHMARK(BM_DecodeGiflib);
LW_GIF_BENCHMARK(BM_EncodeOurs);
LW_GIF_BENCHMARK(BM_EncodeGiflib);

// Prints the runs as usual, then ours against giflib: rates and ratio by wall time, with the
// CPU time of every thread beside it.
class RatioReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    ConsoleReporter::ReportRuns(runs);
    for (const Run& run : runs) {
      if (run.run_type != Run::RT_Iteration || run.error_occurred) continue;
      auto it = run.counters.find("MP/s");
      if (it == run.counters.end() || run.iterations == 0) continue;
      const double n = static_cast<double>(run.iterations);
      std::string name = run.benchmark_name();
      name = name.substr(0, name.find("/process_time"));  // the timing options' suffix
      figures_[name] = {it->second.value, 1e3 * run.real_accumulated_time / n,
                        1e3 * run.cpu_accumulated_time / n};
    }
  }
  void Summary() const {
    std::printf("\n%-18s %10s %10s %12s %10s %10s %12s %8s\n", "", "ours MP/s", "wall ms",
                "CPU ms (all)", "giflib", "wall ms", "CPU ms", "wall");
    for (const char* op : {"Decode", "Encode"}) {
      for (int i = 0; i < 2; ++i) {
        std::string suffix = std::string("/interlaced:") + (i ? "1" : "0");
        auto ours = figures_.find("BM_" + std::string(op) + "Ours" + suffix);
        auto theirs = figures_.find("BM_" + std::string(op) + "Giflib" + suffix);
        if (ours == figures_.end() || theirs == figures_.end()) continue;
        const Figures& a = ours->second;
        const Figures& b = theirs->second;
        std::printf("%-18s %10.1f %10.2f %12.2f %10.1f %10.2f %12.2f %7.2fx\n",
                    (std::string(op) + (i ? " interlaced" : " plain")).c_str(), a.rate, a.wallMs,
                    a.cpuMs, b.rate, b.wallMs, b.cpuMs, a.rate / b.rate);
      }
    }
  }

 private:
  struct Figures {
    double rate, wallMs, cpuMs;  // megapixels a second of wall time; per iteration
  };
  std::map<std::string, Figures> figures_;
};

}  // namespace

int main(int argc, char** argv) {
  static QuietServices quiet;
  lw::SetServices(&quiet);
  benchmark::Initialize(&argc, argv);
  Inputs& in = Data();
  bool ok = true;
  for (int i = 0; i < 2; ++i)
    ok &= Verify(*in.animation[i], in.file[i], i ? "interlaced" : "plain");
  std::printf("checks: %s (%d frames of %dx%d, files of %zu and %zu bytes)\n",
              ok ? "identical pixels, our exact bytes" : "FAILED", kFrames, kWidth, kHeight,
              in.file[0].size(), in.file[1].size());
  RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  reporter.Summary();
  benchmark::Shutdown();
  return ok ? 0 : 1;
}
