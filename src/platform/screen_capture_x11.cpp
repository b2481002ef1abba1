// Screen pictures from an X server through XCB: MIT-SHM puts each picture straight into memory
// shared with the server (one copy less than an image reply, which matters at 50 pictures a
// second); without it (a server on another machine, a container without shared memory) plain
// GetImage requests serve, in strips so that no reply grows past a few megabytes. The pointer is
// not part of the screen's pixels: XFixes gives its picture and place.
#include <sys/ipc.h>
#include <sys/shm.h>
#include <xcb/shm.h>
#include <xcb/xcb.h>
#include <xcb/xfixes.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <new>

#include "platform/screen_capture.h"

namespace lw {
namespace {

constexpr uint64_t kStripBytes = uint64_t{4} << 20;

struct Channel {
  uint32_t mask = 0;
  int shift = 0;  // of the mask's lowest bit
  int bits = 0;
};

Channel ChannelOf(uint32_t mask) {
  Channel c;
  c.mask = mask;
  if (mask == 0) return c;
  while (!((mask >> c.shift) & 1)) ++c.shift;
  while (c.shift + c.bits < 32 && ((mask >> (c.shift + c.bits)) & 1)) ++c.bits;
  return c;
}

// The channel's value widened to 8 bits, its top bits repeated below as a full scale needs.
uint8_t Widen(const Channel& c, uint32_t pixel) {
  uint32_t v = (pixel & c.mask) >> c.shift;
  if (c.bits >= 8) return static_cast<uint8_t>(v >> (c.bits - 8));
  uint32_t out = 0;
  for (int filled = 0; filled < 8; filled += c.bits) out = (out << c.bits) | v;
  return static_cast<uint8_t>(out >> (((8 + c.bits - 1) / c.bits) * c.bits - 8));
}

class X11Capture : public ScreenCapture {
 public:
  ~X11Capture() override {
    DetachShared();
    if (connection_) xcb_disconnect(connection_);
  }

  CaptureError Open(const std::string& display, bool sharedMemory) {
    int screenNumber = 0;
    connection_ = xcb_connect(display.empty() ? nullptr : display.c_str(), &screenNumber);
    if (!connection_ || xcb_connection_has_error(connection_)) return CaptureError::NotConnected;
    const xcb_setup_t* setup = xcb_get_setup(connection_);
    xcb_screen_iterator_t it = xcb_setup_roots_iterator(setup);
    for (int i = 0; i < screenNumber && it.rem; ++i) xcb_screen_next(&it);
    if (!it.rem) return CaptureError::NotConnected;
    screen_ = it.data;
    lsbFirst_ = setup->image_byte_order == XCB_IMAGE_ORDER_LSB_FIRST;

    const xcb_visualtype_t* visual = nullptr;
    for (auto d = xcb_screen_allowed_depths_iterator(screen_); d.rem && !visual;
         xcb_depth_next(&d)) {
      if (d.data->depth != screen_->root_depth) continue;
      for (auto v = xcb_depth_visuals_iterator(d.data); v.rem; xcb_visualtype_next(&v))
        if (v.data->visual_id == screen_->root_visual) visual = v.data;
    }
    if (!visual || (visual->_class != XCB_VISUAL_CLASS_TRUE_COLOR &&
                    visual->_class != XCB_VISUAL_CLASS_DIRECT_COLOR))
      return CaptureError::UnusableScreen;
    red_ = ChannelOf(visual->red_mask);
    green_ = ChannelOf(visual->green_mask);
    blue_ = ChannelOf(visual->blue_mask);
    for (auto f = xcb_setup_pixmap_formats_iterator(setup); f.rem; xcb_format_next(&f)) {
      if (f.data->depth != screen_->root_depth) continue;
      bitsPerPixel_ = f.data->bits_per_pixel;
      scanlinePad_ = f.data->scanline_pad;
    }
    if ((bitsPerPixel_ != 16 && bitsPerPixel_ != 24 && bitsPerPixel_ != 32) || red_.bits == 0 ||
        green_.bits == 0 || blue_.bits == 0 || scanlinePad_ < 8)
      return CaptureError::UnusableScreen;
    plainLayout_ = bitsPerPixel_ == 32 && lsbFirst_ && red_.mask == 0xFF0000 &&
                   green_.mask == 0xFF00 && blue_.mask == 0xFF;

    if (sharedMemory) {
      auto version =
          xcb_shm_query_version_reply(connection_, xcb_shm_query_version(connection_), nullptr);
      shmAvailable_ = version != nullptr;
      std::free(version);
    }
    auto fixes = xcb_xfixes_query_version_reply(
        connection_, xcb_xfixes_query_version(connection_, 4, 0), nullptr);
    fixesAvailable_ = fixes != nullptr;
    std::free(fixes);
    return CaptureError::None;
  }

  uint32_t ScreenWidth() const override { return screen_->width_in_pixels; }
  uint32_t ScreenHeight() const override { return screen_->height_in_pixels; }

  CaptureError Grab(const CaptureArea& area, bool pointer, std::vector<uint8_t>* bgr) override {
    if (area.width == 0 || area.height == 0 || area.x < 0 || area.y < 0 ||
        uint64_t{static_cast<uint32_t>(area.x)} + area.width > ScreenWidth() ||
        uint64_t{static_cast<uint32_t>(area.y)} + area.height > ScreenHeight())
      return CaptureError::OutsideScreen;
    const uint64_t outStride = (3 * uint64_t{area.width} + 3) & ~uint64_t{3};
    try {
      if (bgr->size() != outStride * area.height) bgr->assign(outStride * area.height, 0);
    } catch (const std::bad_alloc&) {
      return CaptureError::NoMemory;
    }
    if (xcb_connection_has_error(connection_)) return CaptureError::NotConnected;
    CaptureError result = CaptureError::GrabFailed;
    if (shmAvailable_) {
      result = GrabShared(area, bgr->data(), outStride);
      // A server that refuses the segment (another machine's, another IPC namespace) still
      // answers plain requests.
      if (result == CaptureError::GrabFailed) {
        shmAvailable_ = false;
        DetachShared();
      }
    }
    if (!shmAvailable_) result = GrabPlain(area, bgr->data(), outStride);
    if (result == CaptureError::None && pointer && fixesAvailable_)
      DrawPointer(area, bgr->data(), outStride);
    return result;
  }

  xcb_connection_t* Connection() { return connection_; }
  xcb_window_t Root() const { return screen_->root; }

 private:
  uint64_t SourceStride(uint32_t width) const {
    const uint64_t pad = scanlinePad_;
    return (uint64_t{width} * bitsPerPixel_ + pad - 1) / pad * pad / 8;
  }

  void DetachShared() {
    if (shmAddress_) {
      if (connection_ && shmSegment_) xcb_shm_detach(connection_, shmSegment_);
      shmdt(shmAddress_);
    }
    shmAddress_ = nullptr;
    shmSegment_ = 0;
    shmBytes_ = 0;
  }

  bool AttachShared(uint64_t bytes) {
    if (shmAddress_ && shmBytes_ >= bytes) return true;
    DetachShared();
    const int id = shmget(IPC_PRIVATE, bytes, IPC_CREAT | 0600);
    if (id < 0) return false;
    void* address = shmat(id, nullptr, 0);
    if (address == reinterpret_cast<void*>(-1)) {
      shmctl(id, IPC_RMID, nullptr);
      return false;
    }
    const xcb_shm_seg_t segment = xcb_generate_id(connection_);
    xcb_generic_error_t* error =
        xcb_request_check(connection_, xcb_shm_attach_checked(connection_, segment, id, 0));
    // Marked for removal at once: the segment goes when both sides have let go of it, even when
    // this process is killed.
    shmctl(id, IPC_RMID, nullptr);
    if (error) {
      std::free(error);
      shmdt(address);
      return false;
    }
    shmAddress_ = static_cast<uint8_t*>(address);
    shmSegment_ = segment;
    shmBytes_ = bytes;
    return true;
  }

  CaptureError GrabShared(const CaptureArea& area, uint8_t* out, uint64_t outStride) {
    const uint64_t stride = SourceStride(area.width);
    if (!AttachShared(stride * area.height)) return CaptureError::GrabFailed;
    xcb_generic_error_t* error = nullptr;
    auto reply = xcb_shm_get_image_reply(
        connection_,
        xcb_shm_get_image(connection_, screen_->root, static_cast<int16_t>(area.x),
                          static_cast<int16_t>(area.y), static_cast<uint16_t>(area.width),
                          static_cast<uint16_t>(area.height), ~0u, XCB_IMAGE_FORMAT_Z_PIXMAP,
                          shmSegment_, 0),
        &error);
    std::free(error);
    if (!reply) return CaptureError::GrabFailed;
    std::free(reply);
    Convert(shmAddress_, stride, area.width, area.height, out, outStride);
    return CaptureError::None;
  }

  CaptureError GrabPlain(const CaptureArea& area, uint8_t* out, uint64_t outStride) {
    const uint64_t stride = SourceStride(area.width);
    const uint32_t rowsPerStrip =
        static_cast<uint32_t>(std::clamp<uint64_t>(kStripBytes / stride, 1, area.height));
    for (uint32_t row = 0; row < area.height; row += rowsPerStrip) {
      const uint32_t rows = std::min(rowsPerStrip, area.height - row);
      xcb_generic_error_t* error = nullptr;
      auto reply = xcb_get_image_reply(
          connection_,
          xcb_get_image(connection_, XCB_IMAGE_FORMAT_Z_PIXMAP, screen_->root,
                        static_cast<int16_t>(area.x), static_cast<int16_t>(area.y + row),
                        static_cast<uint16_t>(area.width), static_cast<uint16_t>(rows), ~0u),
          &error);
      std::free(error);
      if (!reply) return CaptureError::GrabFailed;
      const uint64_t length = static_cast<uint64_t>(xcb_get_image_data_length(reply));
      if (length < stride * rows) {
        std::free(reply);
        return CaptureError::GrabFailed;
      }
      Convert(xcb_get_image_data(reply), stride, area.width, rows, out + outStride * row,
              outStride);
      std::free(reply);
    }
    return CaptureError::None;
  }

  void Convert(const uint8_t* from, uint64_t stride, uint32_t width, uint32_t rows, uint8_t* out,
               uint64_t outStride) const {
    const int bytes = bitsPerPixel_ / 8;
    for (uint32_t y = 0; y < rows; ++y) {
      const uint8_t* s = from + stride * y;
      uint8_t* d = out + outStride * y;
      if (plainLayout_) {
        for (uint32_t x = 0; x < width; ++x, s += 4, d += 3) {
          d[0] = s[0];
          d[1] = s[1];
          d[2] = s[2];
        }
        continue;
      }
      for (uint32_t x = 0; x < width; ++x, s += bytes, d += 3) {
        uint32_t pixel = 0;
        for (int b = 0; b < bytes; ++b)
          pixel |= uint32_t{s[lsbFirst_ ? b : bytes - 1 - b]} << (8 * b);
        d[0] = Widen(blue_, pixel);
        d[1] = Widen(green_, pixel);
        d[2] = Widen(red_, pixel);
      }
    }
  }

  // The pointer's picture (premultiplied ARGB) laid over the area where its hot spot is.
  void DrawPointer(const CaptureArea& area, uint8_t* out, uint64_t outStride) {
    auto reply = xcb_xfixes_get_cursor_image_reply(
        connection_, xcb_xfixes_get_cursor_image(connection_), nullptr);
    if (!reply) return;
    const uint32_t* argb = xcb_xfixes_get_cursor_image_cursor_image(reply);
    const int length = xcb_xfixes_get_cursor_image_cursor_image_length(reply);
    const int64_t left = int64_t{reply->x} - reply->xhot - area.x;
    const int64_t top = int64_t{reply->y} - reply->yhot - area.y;
    if (argb && length >= int{reply->width} * reply->height) {
      for (int64_t cy = 0; cy < reply->height; ++cy) {
        const int64_t y = top + cy;
        if (y < 0 || y >= area.height) continue;
        for (int64_t cx = 0; cx < reply->width; ++cx) {
          const int64_t x = left + cx;
          if (x < 0 || x >= area.width) continue;
          const uint32_t p = argb[cy * reply->width + cx];
          const uint32_t alpha = p >> 24;
          if (alpha == 0) continue;
          uint8_t* d = out + outStride * static_cast<uint64_t>(y) + 3 * static_cast<uint64_t>(x);
          const uint32_t source[3] = {p & 0xFF, (p >> 8) & 0xFF, (p >> 16) & 0xFF};
          for (int c = 0; c < 3; ++c)
            d[c] = static_cast<uint8_t>(
                std::min<uint32_t>(source[c] + (d[c] * (255 - alpha) + 127) / 255, 255));
        }
      }
    }
    std::free(reply);
  }

  xcb_connection_t* connection_ = nullptr;
  xcb_screen_t* screen_ = nullptr;
  bool lsbFirst_ = true;
  Channel red_, green_, blue_;
  int bitsPerPixel_ = 0;
  int scanlinePad_ = 0;
  bool plainLayout_ = false;
  bool shmAvailable_ = false;
  bool fixesAvailable_ = false;
  uint8_t* shmAddress_ = nullptr;
  xcb_shm_seg_t shmSegment_ = 0;
  uint64_t shmBytes_ = 0;
};

std::unique_ptr<X11Capture> OpenX11(const std::string& display, CaptureError* error,
                                    bool sharedMemory) {
  std::unique_ptr<X11Capture> capture;
  try {
    capture = std::make_unique<X11Capture>();
  } catch (const std::bad_alloc&) {
    *error = CaptureError::NoMemory;
    return nullptr;
  }
  *error = capture->Open(display, sharedMemory);
  if (*error != CaptureError::None) return nullptr;
  return capture;
}

}  // namespace

std::unique_ptr<ScreenCapture> OpenX11Capture(const std::string& display, CaptureError* error,
                                              bool sharedMemory) {
  return OpenX11(display, error, sharedMemory);
}

bool WaylandSession() {
  const char* wayland = std::getenv("WAYLAND_DISPLAY");
  return wayland && *wayland;
}

std::unique_ptr<ScreenCapture> OpenScreenCapture(CaptureError* error) {
  if (WaylandSession()) {
    *error = CaptureError::Wayland;
    return nullptr;
  }
  const char* display = std::getenv("DISPLAY");
  if (!display || !*display) {
    *error = CaptureError::NoDisplay;
    return nullptr;
  }
  return OpenX11Capture(display, error);
}

std::vector<CaptureArea> X11WindowAreas(const std::string& display) {
  std::vector<CaptureArea> areas;
  CaptureError error;
  auto capture = OpenX11(display, &error, false);
  if (!capture) return areas;
  xcb_connection_t* c = capture->Connection();
  auto tree = xcb_query_tree_reply(c, xcb_query_tree(c, capture->Root()), nullptr);
  if (!tree) return areas;
  const xcb_window_t* children = xcb_query_tree_children(tree);
  const int count = xcb_query_tree_children_length(tree);
  // Both questions for every window first, then the answers: one round trip in all.
  std::vector<xcb_get_window_attributes_cookie_t> shown(static_cast<size_t>(count));
  std::vector<xcb_get_geometry_cookie_t> placed(static_cast<size_t>(count));
  for (int i = 0; i < count; ++i) {
    shown[i] = xcb_get_window_attributes(c, children[i]);
    placed[i] = xcb_get_geometry(c, children[i]);
  }
  for (int i = count - 1; i >= 0; --i) {  // the list goes from the bottom up
    auto attributes = xcb_get_window_attributes_reply(c, shown[i], nullptr);
    auto geometry = xcb_get_geometry_reply(c, placed[i], nullptr);
    const bool viewable = attributes && attributes->map_state == XCB_MAP_STATE_VIEWABLE &&
                          attributes->_class == XCB_WINDOW_CLASS_INPUT_OUTPUT;
    if (viewable && geometry) {
      const int64_t border = geometry->border_width;
      const int64_t left = std::max<int64_t>(geometry->x, 0);
      const int64_t top = std::max<int64_t>(geometry->y, 0);
      const int64_t right =
          std::min<int64_t>(geometry->x + geometry->width + 2 * border, capture->ScreenWidth());
      const int64_t bottom =
          std::min<int64_t>(geometry->y + geometry->height + 2 * border, capture->ScreenHeight());
      if (right > left && bottom > top)
        areas.push_back({static_cast<int32_t>(left), static_cast<int32_t>(top),
                         static_cast<uint32_t>(right - left), static_cast<uint32_t>(bottom - top)});
    }
    std::free(attributes);
    std::free(geometry);
  }
  std::free(tree);
  return areas;
}

namespace {

class X11GlobalKey : public GlobalKey {
 public:
  ~X11GlobalKey() override {
    if (connection_) xcb_disconnect(connection_);
  }

  bool Grab(const std::string& display, char letter) {
    int screenNumber = 0;
    connection_ = xcb_connect(display.empty() ? nullptr : display.c_str(), &screenNumber);
    if (xcb_connection_has_error(connection_)) return false;
    const xcb_setup_t* setup = xcb_get_setup(connection_);
    xcb_screen_iterator_t it = xcb_setup_roots_iterator(setup);
    for (int i = 0; i < screenNumber && it.rem; ++i) xcb_screen_next(&it);
    if (!it.rem) return false;
    const xcb_window_t root = it.data->root;
    // The key that gives the letter's keysym (Latin letters: the keysym is the lower-case
    // letter's code), from the server's keyboard map.
    const uint8_t first = setup->min_keycode, last = setup->max_keycode;
    auto map = xcb_get_keyboard_mapping_reply(
        connection_,
        xcb_get_keyboard_mapping(connection_, first, static_cast<uint8_t>(last - first + 1)),
        nullptr);
    if (!map) return false;
    const xcb_keysym_t* syms = xcb_get_keyboard_mapping_keysyms(map);
    const int length = xcb_get_keyboard_mapping_keysyms_length(map);
    const int perKey = map->keysyms_per_keycode;
    const xcb_keysym_t wanted = static_cast<xcb_keysym_t>(letter | 0x20);
    for (int i = 0; perKey > 0 && i < length && keycode_ == 0; ++i)
      if (syms[i] == wanted) keycode_ = static_cast<xcb_keycode_t>(first + i / perKey);
    std::free(map);
    if (keycode_ == 0) return false;
    const uint16_t base = XCB_MOD_MASK_CONTROL | XCB_MOD_MASK_1;
    const uint16_t lock = XCB_MOD_MASK_LOCK, numLock = XCB_MOD_MASK_2;
    for (uint16_t extra : {uint16_t{0}, lock, numLock, static_cast<uint16_t>(lock | numLock)}) {
      xcb_generic_error_t* error = xcb_request_check(
          connection_,
          xcb_grab_key_checked(connection_, 1, root, static_cast<uint16_t>(base | extra), keycode_,
                               XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC));
      if (error) {
        std::free(error);
        return false;
      }
    }
    return true;
  }

  bool Pressed() override {
    bool pressed = false;
    while (xcb_generic_event_t* event = xcb_poll_for_event(connection_)) {
      if ((event->response_type & 0x7F) == XCB_KEY_PRESS &&
          reinterpret_cast<xcb_key_press_event_t*>(event)->detail == keycode_)
        pressed = true;
      std::free(event);
    }
    return pressed;
  }

 private:
  xcb_connection_t* connection_ = nullptr;
  xcb_keycode_t keycode_ = 0;
};

}  // namespace

std::unique_ptr<GlobalKey> GrabCtrlAltKey(const std::string& display, char letter) {
  if (!((letter | 0x20) >= 'a' && (letter | 0x20) <= 'z')) return nullptr;
  std::unique_ptr<X11GlobalKey> key;
  try {
    key = std::make_unique<X11GlobalKey>();
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
  if (!key->Grab(display, letter)) return nullptr;
  return key;
}

}  // namespace lw
