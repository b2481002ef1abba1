// What every still-image reader's fuzz target does: writes the input to a file (the readers
// read files), reads it, and requires whatever was read to write back out and read again at
// the same size. Messages are dropped; the picture budget keeps each run short.
#pragma once

#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "core/animation.h"
#include "core/delay_units.h"
#include "core/picture_budget.h"
#include "quiet_services.h"

namespace lw::fuzz {

inline void SetUpOnce() {
  static const bool ready = [] {
    InstallQuietServices();
    SetPictureBudgetBytes(uint64_t{4} << 20);
    return true;
  }();
  (void)ready;
}

using StillReader = int (*)(const std::string& path, const Timing& timing, AnimationPtr* out);

// write: writes frame to path, true on success. extension names the temporary files.
template <typename Write>
int RoundTrip(const uint8_t* data, size_t size, const char* extension, StillReader read,
              Write write) {
  SetUpOnce();
  static const std::string base = "/tmp/lw-fuzz-" + std::to_string(::getpid()) + "-";
  const std::string in = base + "in." + extension, out = base + "out." + extension;
  FILE* f = std::fopen(in.c_str(), "wb");
  if (!f) return 0;
  std::fwrite(data, 1, size, f);
  std::fclose(f);

  AnimationPtr doc;
  int status = read(in, Timing{}, &doc);
  if ((status == 0) != (doc == nullptr)) std::abort();
  if (!doc) return 0;
  Frame* frame = FirstFrame(*doc);
  if (!write(out, frame)) std::abort();
  AnimationPtr again;
  if (read(out, Timing{}, &again) != 1) std::abort();
  Frame* back = FirstFrame(*again);
  if (back->width != frame->width || back->height != frame->height) std::abort();
  return 0;
}

}  // namespace lw::fuzz
