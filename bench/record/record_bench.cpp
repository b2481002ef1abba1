// The recorder over a long run on a private X server: a 1280x720 area at 15 pictures a second
// for 60 s (or the seconds given), while another process draws on it. Prints the steps dropped,
// the recorder's CPU time, the temporary file's size and the peak memory, while recording and
// once the frames are read back.
//
//   record_bench [seconds] [moving|full]
// moving: a square crosses the area and a counter changes (what a screen recording mostly is);
// full: the whole area changes colour at every picture (the most the file can take).
#include <sys/resource.h>
#include <sys/wait.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <thread>

#include "formats/record/recorder.h"
#include "support/x_server.h"

namespace {

using lw::test::SteadyMicroseconds;

// The drawer: 30 changes a second until killed, in a process of its own so that its work is not
// counted as the recorder's.
[[noreturn]] void Draw(const std::string& display, bool full) {
  xcb_connection_t* c = xcb_connect(display.c_str(), nullptr);
  xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(c)).data;
  const xcb_window_t window = xcb_generate_id(c);
  const uint32_t values[] = {screen->white_pixel, 1};
  xcb_create_window(c, XCB_COPY_FROM_PARENT, window, screen->root, 0, 0, 1280, 720, 0,
                    XCB_WINDOW_CLASS_INPUT_OUTPUT, screen->root_visual,
                    XCB_CW_BACK_PIXEL | XCB_CW_OVERRIDE_REDIRECT, values);
  const xcb_gcontext_t gc = xcb_generate_id(c);
  xcb_create_gc(c, gc, window, 0, nullptr);
  xcb_map_window(c, window);
  for (uint32_t n = 0;; ++n) {
    const int64_t next = SteadyMicroseconds() + 33333;
    uint32_t colour = lw::test::ValueColour(n);
    if (full) {
      xcb_change_gc(c, gc, XCB_GC_FOREGROUND, &colour);
      const xcb_rectangle_t all{0, 0, 1280, 720};
      xcb_poly_fill_rectangle(c, window, gc, 1, &all);
    } else {
      const uint32_t white = 0xFFFFFF;
      const int16_t x = static_cast<int16_t>((n * 7) % 1080),
                    y = static_cast<int16_t>(200 + (n * 3) % 300);
      xcb_change_gc(c, gc, XCB_GC_FOREGROUND, &white);
      const xcb_rectangle_t old{static_cast<int16_t>(x > 7 ? x - 7 : 0),
                                static_cast<int16_t>(y > 3 ? y - 3 : 0), 210, 156};
      xcb_poly_fill_rectangle(c, window, gc, 1, &old);
      xcb_change_gc(c, gc, XCB_GC_FOREGROUND, &colour);
      const xcb_rectangle_t square{x, y, 200, 150};
      const xcb_rectangle_t counter{20, 20, static_cast<uint16_t>(10 + n % 300), 24};
      xcb_poly_fill_rectangle(c, window, gc, 1, &square);
      xcb_poly_fill_rectangle(c, window, gc, 1, &counter);
    }
    free(xcb_get_input_focus_reply(c, xcb_get_input_focus(c), nullptr));
    const int64_t wait = next - SteadyMicroseconds();
    if (wait > 0) std::this_thread::sleep_for(std::chrono::microseconds(wait));
  }
}

double CpuSeconds(const rusage& u) {
  return static_cast<double>(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
         static_cast<double>(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

}  // namespace

int main(int argc, char** argv) {
  const int seconds = argc > 1 ? std::atoi(argv[1]) : 60;
  const bool full = argc > 2 && std::strcmp(argv[2], "full") == 0;
  lw::test::XServer server("1920x1080x24");
  if (server.Display().empty()) {
    std::fprintf(stderr, "Xvfb did not start\n");
    return 1;
  }
  const pid_t drawer = fork();
  if (drawer == 0) Draw(server.Display(), full);
  std::this_thread::sleep_for(std::chrono::milliseconds(300));

  lw::CaptureError error = lw::CaptureError::None;
  lw::RecordOptions options;
  options.area = {0, 0, 1280, 720};
  options.fps = 15;
  options.durationMs = int64_t{seconds} * 1000;
  rusage before{}, recorded{}, collected{};
  getrusage(RUSAGE_SELF, &before);
  auto recorder =
      lw::Recorder::Start(lw::OpenX11Capture(server.Display(), &error), options, &error);
  if (!recorder) {
    std::fprintf(stderr, "the recorder did not start (%d)\n", static_cast<int>(error));
    kill(drawer, SIGKILL);
    return 1;
  }
  recorder->Wait();
  getrusage(RUSAGE_SELF, &recorded);
  const lw::Recorder::Progress p = recorder->Status();
  kill(drawer, SIGKILL);
  waitpid(drawer, nullptr, 0);
  lw::AnimationPtr animation;
  const int status = recorder->Collect(&animation, nullptr);
  getrusage(RUSAGE_SELF, &collected);
  std::printf("mode %s, %d s at 15 fps of 1280x720\n", full ? "full" : "moving", seconds);
  std::printf("pictures taken %u, steps due %d, dropped %u, frames kept %u\n", p.pictures,
              seconds * 15, p.dropped, p.frames);
  std::printf(
      "recording: CPU %.2f s (%.1f%% of one core), temporary file %.1f MiB, peak RSS %.1f MiB\n",
      CpuSeconds(recorded) - CpuSeconds(before),
      100.0 * (CpuSeconds(recorded) - CpuSeconds(before)) / seconds,
      static_cast<double>(p.fileBytes) / (1 << 20), static_cast<double>(recorded.ru_maxrss) / 1024);
  std::printf("read back: status %d, %d frames, CPU %.2f s, peak RSS %.1f MiB\n", status,
              animation ? animation->frameCount : 0, CpuSeconds(collected) - CpuSeconds(recorded),
              static_cast<double>(collected.ru_maxrss) / 1024);
  return 0;
}
