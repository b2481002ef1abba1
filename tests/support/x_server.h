// A private X server (Xvfb) for the tests that record the screen, and a window on it that shows a
// known sequence of colours, each change logged on the steady clock once the server has drawn it.
// Link with xcb.
#pragma once

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>
#include <xcb/xcb.h>

#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

namespace lw::test {

inline int64_t SteadyMicroseconds() {
  return std::chrono::duration_cast<std::chrono::microseconds>(
             std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

// Xvfb on a free display number, stopped with the object. Display() is empty when it did not
// start.
class XServer {
 public:
  explicit XServer(const std::string& screen = "640x480x24") {
    int fds[2];
    if (pipe(fds) != 0) return;
    pid_ = fork();
    if (pid_ == 0) {
      close(fds[0]);
      const std::string fd = std::to_string(fds[1]);
      execlp("Xvfb", "Xvfb", "-displayfd", fd.c_str(), "-screen", "0", screen.c_str(), "-nolisten",
             "tcp", "-noreset", static_cast<char*>(nullptr));
      _exit(127);
    }
    close(fds[1]);
    std::string number;
    char c;
    while (pid_ > 0 && read(fds[0], &c, 1) == 1 && c != '\n') number += c;
    close(fds[0]);
    if (!number.empty()) display_ = ":" + number;
  }
  ~XServer() {
    if (pid_ > 0) {
      kill(pid_, SIGTERM);
      waitpid(pid_, nullptr, 0);
    }
  }
  XServer(const XServer&) = delete;
  XServer& operator=(const XServer&) = delete;

  const std::string& Display() const { return display_; }

 private:
  pid_t pid_ = -1;
  std::string display_;
};

// The colour a drawn value shows: far apart from one value to the next.
inline uint32_t ValueColour(uint32_t value) {
  return ((value * 97 + 40) % 256) << 16 | ((value * 59 + 200) % 256) << 8 | ((value * 151) % 256);
}

// A window without decorations at a known place whose whole area shows one colour at a time.
class ColourWindow {
 public:
  ColourWindow(const std::string& display, int16_t x, int16_t y, uint16_t width, uint16_t height)
      : x_(x), y_(y), width_(width), height_(height) {
    connection_ = xcb_connect(display.c_str(), nullptr);
    if (xcb_connection_has_error(connection_)) return;
    xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(connection_)).data;
    window_ = xcb_generate_id(connection_);
    const uint32_t values[] = {screen->black_pixel, 1};
    xcb_create_window(connection_, XCB_COPY_FROM_PARENT, window_, screen->root, x, y, width, height,
                      0, XCB_WINDOW_CLASS_INPUT_OUTPUT, screen->root_visual,
                      XCB_CW_BACK_PIXEL | XCB_CW_OVERRIDE_REDIRECT, values);
    gc_ = xcb_generate_id(connection_);
    xcb_create_gc(connection_, gc_, window_, 0, nullptr);
    xcb_map_window(connection_, window_);
    Sync();
  }
  ~ColourWindow() {
    if (connection_) xcb_disconnect(connection_);
  }
  ColourWindow(const ColourWindow&) = delete;
  ColourWindow& operator=(const ColourWindow&) = delete;

  bool Ready() const { return connection_ && !xcb_connection_has_error(connection_); }

  struct Drawn {
    uint32_t value;
    int64_t sentUs;  // the request left
    int64_t doneUs;  // the server had drawn it
  };

  // Fills the window with the value's colour and waits until the server has done it.
  Drawn Show(uint32_t value) {
    Drawn d{value, SteadyMicroseconds(), 0};
    const uint32_t colour = ValueColour(value);
    xcb_change_gc(connection_, gc_, XCB_GC_FOREGROUND, &colour);
    const xcb_rectangle_t all{0, 0, width_, height_};
    xcb_poly_fill_rectangle(connection_, window_, gc_, 1, &all);
    Sync();
    d.doneUs = SteadyMicroseconds();
    return d;
  }

 private:
  void Sync() {
    free(xcb_get_input_focus_reply(connection_, xcb_get_input_focus(connection_), nullptr));
  }

  xcb_connection_t* connection_ = nullptr;
  xcb_window_t window_ = 0;
  xcb_gcontext_t gc_ = 0;
  int16_t x_, y_;
  uint16_t width_, height_;
};

}  // namespace lw::test
