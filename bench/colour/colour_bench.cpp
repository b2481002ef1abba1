// Times palette fitting (the optimal-palette method) of true-colour test pictures drawn here, and
// measures the PSNR of the result against the picture. Writes the pictures as PPM files so that
// scripts/bench-colour can run ImageMagick on the same pixels.
//
//   colour_bench OUTDIR   -> OUTDIR/<picture>.ppm, and one line per run on standard output:
//   <picture> <colours> <dither 0|1> <milliseconds> <psnr dB>
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "colour/palette_fit.h"
#include "core/animation.h"

namespace {

struct Picture {
  std::string name;
  uint32_t width, height;
  std::vector<uint8_t> rgb;  // red, green, blue, packed
};

uint8_t Clamp(double v) { return static_cast<uint8_t>(v < 0 ? 0 : v > 255 ? 255 : v); }

// Smooth two-dimensional colour gradients with a little grain, like a photograph of the sky.
Picture Gradient() {
  Picture p{"gradient", 640, 480, {}};
  uint32_t seed = 1;
  for (uint32_t y = 0; y < p.height; ++y) {
    for (uint32_t x = 0; x < p.width; ++x) {
      seed = seed * 1664525 + 1013904223;
      double grain = ((seed >> 24) & 15) - 7.5;
      double u = double(x) / p.width, v = double(y) / p.height;
      p.rgb.push_back(Clamp(255 * u + grain));
      p.rgb.push_back(Clamp(200 * v + 40 * u + grain));
      p.rgb.push_back(Clamp(255 * (1 - u * v) + grain));
    }
  }
  return p;
}

// Overlapping soft shapes and textures: many colours, as in a photographed scene.
Picture Photo() {
  Picture p{"photo", 640, 480, {}};
  for (uint32_t y = 0; y < p.height; ++y) {
    for (uint32_t x = 0; x < p.width; ++x) {
      double fx = x / 40.0, fy = y / 40.0;
      double a = std::sin(fx) * std::cos(fy * 1.3), b = std::sin(fx * 0.37 + fy * 0.71);
      double r = std::hypot(x - 320.0, y - 200.0);
      p.rgb.push_back(Clamp(128 + 90 * a + 30 * std::sin(r / 9)));
      p.rgb.push_back(Clamp(110 + 70 * b + 40 * std::cos(r / 23)));
      p.rgb.push_back(Clamp(90 + 60 * a * b + 60 * std::sin(fx * fy / 9)));
    }
  }
  return p;
}

// Flat graphics: a few solid colours in bands, disks and boxes with anti-aliased edges.
Picture Flat() {
  Picture p{"flat", 640, 480, {}};
  const uint8_t colours[6][3] = {{250, 250, 245}, {220, 40, 40}, {30, 90, 200},
                                 {250, 200, 30},  {20, 20, 20},  {60, 170, 80}};
  for (uint32_t y = 0; y < p.height; ++y) {
    for (uint32_t x = 0; x < p.width; ++x) {
      double c[3];
      for (int k = 0; k < 3; ++k) c[k] = colours[(y / 60) % 2 ? 0 : 5][k];
      for (int d = 0; d < 4; ++d) {
        double cx = 120 + 140 * d, cy = 150 + 60 * (d % 2), radius = 70 + 10 * d;
        double edge = std::clamp(radius - std::hypot(x - cx, y - cy), 0.0, 1.0);
        for (int k = 0; k < 3; ++k) c[k] = c[k] * (1 - edge) + colours[1 + d][k] * edge;
      }
      if (x > 60 && x < 580 && y > 360 && y < 420) {
        for (int k = 0; k < 3; ++k) c[k] = colours[4][k];
      }
      for (int k = 0; k < 3; ++k) p.rgb.push_back(Clamp(c[k]));
    }
  }
  return p;
}

bool WritePpm(const Picture& p, const std::string& path) {
  FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) return false;
  std::fprintf(f, "P6\n%u %u\n255\n", p.width, p.height);
  bool ok = std::fwrite(p.rgb.data(), 1, p.rgb.size(), f) == p.rgb.size();
  return std::fclose(f) == 0 && ok;
}

lw::AnimationPtr AsAnimation(const Picture& p) {
  lw::AnimationPtr a = lw::NewAnimation();
  a->screenWidth = p.width;
  a->screenHeight = p.height;
  lw::Frame* f = lw::NewFrame(p.width, p.height, 10);
  std::vector<uint8_t> plane(lw::RgbStride(p.width) * p.height);
  for (uint32_t y = 0; y < p.height; ++y) {
    for (uint32_t x = 0; x < p.width; ++x) {
      const uint8_t* s = &p.rgb[(size_t{y} * p.width + x) * 3];
      uint8_t* d = &plane[y * lw::RgbStride(p.width) + 3 * x];
      d[0] = s[2], d[1] = s[1], d[2] = s[0];
    }
  }
  lw::SetRgbPlane(f, std::move(plane));
  lw::LinkBlocks(a->blocks, f);
  a->frameCount = 1;
  return a;
}

double Psnr(const Picture& p, const lw::Frame* f) {
  double sum = 0;
  for (uint32_t y = 0; y < p.height; ++y) {
    for (uint32_t x = 0; x < p.width; ++x) {
      const uint8_t* s = &p.rgb[(size_t{y} * p.width + x) * 3];
      const lw::PaletteEntry& e = f->palette->entries[f->bits()[y * lw::IndexStride(p.width) + x]];
      double dr = s[0] - e.red, dg = s[1] - e.green, db = s[2] - e.blue;
      sum += dr * dr + dg * dg + db * db;
    }
  }
  double mse = sum / (3.0 * p.width * p.height);
  return mse == 0 ? 99 : 10 * std::log10(255.0 * 255.0 / mse);
}

}  // namespace

int main(int argc, char** argv) {
  std::string out = argc > 1 ? argv[1] : ".";
  for (const Picture& p : {Gradient(), Photo(), Flat()}) {
    if (!WritePpm(p, out + "/" + p.name + ".ppm")) {
      std::fprintf(stderr, "cannot write %s/%s.ppm\n", out.c_str(), p.name.c_str());
      return 1;
    }
    for (int exponent : {8, 6, 4}) {
      for (bool dither : {false, true}) {
        double best = 1e30, psnr = 0;
        for (int run = 0; run < 3; ++run) {
          lw::AnimationPtr a = AsAnimation(p);
          uint32_t word = lw::merge::Adaptive | (dither ? lw::merge::Dither : 0) |
                          (uint32_t(exponent) << 16) | (uint32_t(exponent) << 20);
          auto start = std::chrono::steady_clock::now();
          int result = lw::FitPalettes(nullptr, a.get(), word, nullptr, nullptr);
          double ms =
              std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
                  .count();
          if (result != 1) return 1;
          best = std::min(best, ms);
          psnr = Psnr(p, lw::FirstFrame(*a));
        }
        std::printf("%s %d %d %.2f %.2f\n", p.name.c_str(), 1 << exponent, dither ? 1 : 0, best,
                    psnr);
      }
    }
  }
  return 0;
}
