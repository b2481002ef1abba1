// Decoding throughput of our PNG and JPEG readers against QImageReader on the same files, which
// Qt writes from pictures drawn here (a smooth photo-like picture and a flat-colour drawing).
// Prints each run, then our time over Qt's for every file.
#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <QDir>
#include <QImage>
#include <QImageReader>
#include <QTemporaryDir>
#include <cmath>
#include <cstdio>
#include <map>
#include <string>

#include "base/preferences.h"
#include "formats/common/jpeg_codec.h"
#include "formats/common/png_codec.h"
#include "platform/headless_services.h"

namespace {

struct Sample {
  std::string name;
  std::string path;
  int pixels;
};
std::vector<Sample> samples;

QImage Photo(int w, int h, bool alpha) {
  QImage image(w, h, alpha ? QImage::Format_ARGB32 : QImage::Format_RGB32);
  for (int y = 0; y < h; ++y) {
    auto* row = reinterpret_cast<QRgb*>(image.scanLine(y));
    for (int x = 0; x < w; ++x) {
      int r = static_cast<int>(127 + 120 * std::sin(x * 0.013 + y * 0.007));
      int g = static_cast<int>(127 + 120 * std::sin(x * 0.021 - y * 0.011 + 1));
      int b = (x * 7 + y * 3 + ((x * 31 + y * 17) % 13)) & 255;
      int a = alpha ? (x + y) & 255 : 255;
      row[x] = qRgba(r, g, b, a);
    }
  }
  return image;
}

QImage Drawing(int w, int h) {
  QImage image(w, h, QImage::Format_Indexed8);
  image.setColorCount(16);
  for (int i = 0; i < 16; ++i) image.setColor(i, qRgb(i * 16, 255 - i * 16, (i * 80) & 255));
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) image.scanLine(y)[x] = static_cast<uchar>((x / 40 + y / 30) % 16);
  return image;
}

void Ours(benchmark::State& state, const Sample* s, bool png) {
  for (auto _ : state) {
    lw::AnimationPtr a;
    int status = png ? lw::ReadPng(s->path, &a) : lw::ReadJpeg(s->path, &a);
    if (status == 0) state.SkipWithError("read failed");
    benchmark::DoNotOptimize(a.get());
  }
  state.SetItemsProcessed(state.iterations() * s->pixels);
}

void QtReader(benchmark::State& state, const Sample* s) {
  for (auto _ : state) {
    QImageReader reader(QString::fromStdString(s->path));
    QImage image = reader.read();
    if (image.isNull()) state.SkipWithError("read failed");
    benchmark::DoNotOptimize(image.constBits());
  }
  state.SetItemsProcessed(state.iterations() * s->pixels);
}

// Keeps the console output and the real and CPU times per iteration of every run (on a busy
// machine the CPU times compare better).
class RatioReporter : public benchmark::ConsoleReporter {
 public:
  std::map<std::string, std::pair<double, double>> times;
  void ReportRuns(const std::vector<Run>& runs) override {
    for (const Run& r : runs)
      times[r.benchmark_name()] = {r.GetAdjustedRealTime(), r.GetAdjustedCPUTime()};
    ConsoleReporter::ReportRuns(runs);
  }
};

}  // namespace

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  lw::LoadPreferences();
  lw::DefaultHeadlessServices().SetEcho(false);
  QTemporaryDir dir;
  struct Made {
    const char* name;
    QImage image;
    const char* format;
    int quality;
  };
  const Made made[] = {
      {"photo.png", Photo(1024, 768, false), "PNG", -1},
      {"photo_alpha.png", Photo(1024, 768, true), "PNG", -1},
      {"drawing8.png", Drawing(1024, 768), "PNG", -1},
      {"photo_q85.jpg", Photo(1024, 768, false), "JPG", 85},
      {"photo_q95.jpg", Photo(2048, 1536, false), "JPG", 95},
  };
  for (const Made& m : made) {
    QString path = dir.filePath(m.name);
    if (!m.image.save(path, m.format, m.quality)) return 1;
    samples.push_back({m.name, path.toStdString(), m.image.width() * m.image.height()});
  }
  for (const Sample& s : samples) {
    bool png = s.name.ends_with(".png");
    benchmark::RegisterBenchmark(("ours/" + s.name).c_str(), [&s, png](benchmark::State& st) {
      Ours(st, &s, png);
    })->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark(("qt/" + s.name).c_str(), [&s](benchmark::State& st) {
      QtReader(st, &s);
    })->Unit(benchmark::kMillisecond);
  }
  benchmark::Initialize(&argc, argv);
  RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  std::printf("\n%-18s %10s %10s %8s %12s %12s %8s\n", "file", "ours ms", "Qt ms", "ours/Qt",
              "ours cpu ms", "Qt cpu ms", "ours/Qt");
  for (const Sample& s : samples) {
    auto [ours, oursCpu] = reporter.times["ours/" + s.name];
    auto [qt, qtCpu] = reporter.times["qt/" + s.name];
    if (qt > 0 && qtCpu > 0)
      std::printf("%-18s %10.2f %10.2f %8.2f %12.2f %12.2f %8.2f\n", s.name.c_str(), ours, qt,
                  ours / qt, oursCpu, qtCpu, oursCpu / qtCpu);
  }
  benchmark::Shutdown();
  return 0;
}
