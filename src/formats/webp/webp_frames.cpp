#include "formats/webp/webp_frames.h"

#include <algorithm>
#include <cstdint>
#include <new>

namespace lw {
namespace {

// A frame lasts less than 2^24 milliseconds; a longer picture is held by frames that change
// nothing.
constexpr int kMaxDuration = (1 << 24) - 1;

// Pictures up to this many pixels are cheap enough to encode twice.
constexpr uint64_t kSmallArea = 64 * 64;

uint32_t Alpha(uint32_t argb) { return argb >> 24; }

// Two pixels look the same when they are equal or both fully transparent.
bool Same(uint32_t a, uint32_t b) { return a == b || (Alpha(a) == 0 && Alpha(b) == 0); }

using Box = LosslessFrames::Box;

// The box, within `area`, of the pixels where below(x, y) and now differ.
template <typename Below>
Box ChangedBox(const std::vector<uint32_t>& now, uint32_t width, const Box& area, Below below) {
  uint32_t x0 = UINT32_MAX, x1 = 0, y0 = UINT32_MAX, y1 = 0;
  for (uint32_t y = area.y; y < area.y + area.h; ++y) {
    const uint32_t* row = now.data() + uint64_t{width} * y;
    uint32_t first = area.x, last = area.x + area.w;
    while (first < last && Same(below(first, y), row[first])) ++first;
    if (first == last) continue;
    while (Same(below(last - 1, y), row[last - 1])) --last;
    x0 = std::min(x0, first), x1 = std::max(x1, last);
    y0 = std::min(y0, y), y1 = y + 1;
  }
  if (x0 >= x1) return {};
  return {x0, y0, x1 - x0, y1 - y0};
}

// Frames start at even offsets.
Box Even(Box box) {
  box.w += box.x & 1, box.h += box.y & 1;
  box.x &= ~1u, box.y &= ~1u;
  return box;
}

Box Union(const Box& a, const Box& b) {
  if (a.Area() == 0) return b;
  if (b.Area() == 0) return a;
  const uint32_t x = std::min(a.x, b.x), y = std::min(a.y, b.y);
  return {x, y, std::max(a.x + a.w, b.x + b.w) - x, std::max(a.y + a.h, b.y + b.h) - y};
}

// One picture encoded by libwebp; `pixels` may be changed where they are fully transparent.
Encoded EncodePicture(std::vector<uint32_t>& pixels, const Box& box, const WebPConfig& config,
                      WebPMemoryWriter* out) {
  WebPPicture picture;
  if (!WebPPictureInit(&picture)) return Encoded::Failed;
  picture.use_argb = 1;
  picture.width = static_cast<int>(box.w);
  picture.height = static_cast<int>(box.h);
  picture.argb = pixels.data();
  picture.argb_stride = static_cast<int>(box.w);
  picture.writer = WebPMemoryWrite;
  picture.custom_ptr = out;
  if (WebPEncode(&config, &picture)) return Encoded::Done;
  WebPMemoryWriterClear(out);
  return picture.error_code == VP8_ENC_ERROR_OUT_OF_MEMORY ? Encoded::NoMemory : Encoded::Failed;
}

}  // namespace

void LosslessFrames::Choice::Tried(size_t first, size_t second) {
  const bool secondWins = second < first;
  const size_t won = std::min(first, second), lost = std::max(first, second);
  const size_t held = second_ ? second : first;  // what the choice held would have cost
  // Tried again soon only when the choice held cost noticeably more; a clear winner is left
  // alone for long.
  if (lost > won + won / 2)
    gap_ = kLongestGap;
  else if (held - won <= won / 50)
    gap_ = std::min(2 * gap_ + 1, kLongestGap);
  else
    gap_ = 0;
  second_ = secondWins;
  until_ = gap_;
}

// An encoded frame waiting for its duration and its disposal, known once the next one comes.
struct LosslessFrames::Pending {
  Pending() { WebPMemoryWriterInit(&bytes); }
  ~Pending() { WebPMemoryWriterClear(&bytes); }
  WebPMemoryWriter bytes;
  bool blend = false;
};

LosslessFrames::LosslessFrames(uint32_t width, uint32_t height, const WebPConfig& config)
    : width_(width), height_(height), config_(config) {
  config_.lossless = 1;
}

LosslessFrames::~LosslessFrames() { WebPMuxDelete(mux_); }

Encoded LosslessFrames::Add(const std::vector<uint8_t>& canvas, int at) {
  const uint64_t count = uint64_t{width_} * height_;
  if (canvas.size() != 4 * count) return Encoded::Failed;
  try {
    current_.resize(count);
    if (shown_.empty()) shown_.assign(count, 0);
  } catch (const std::bad_alloc&) {
    return Encoded::NoMemory;
  }
  const uint8_t* p = canvas.data();
  for (uint32_t& pixel : current_) {
    pixel = uint32_t{p[0]} | uint32_t{p[1]} << 8 | uint32_t{p[2]} << 16 | uint32_t{p[3]} << 24;
    p += 4;
  }
  if (!mux_) {
    mux_ = WebPMuxNew();
    if (!mux_) return Encoded::NoMemory;
    return AddFirst(at);
  }

  const Box whole{0, 0, width_, height_};
  const Box changed = ChangedBox(current_, width_, whole,
                                 [&](uint32_t x, uint32_t y) { return shown_[y * width_ + x]; });
  if (changed.Area() == 0) return Encoded::Done;  // the picture before lasts longer
  Box box = Even(changed);
  // The frame before may instead clear its box when it goes, which can leave less to draw;
  // not when its time is split, as the frames that carry the rest clear nothing.
  bool disposeToBackground = false;
  const Box gone = pendingBox_;
  if (static_cast<int64_t>(at) - pendingAt_ <= kMaxDuration) {
    const Box cleared =
        Even(ChangedBox(current_, width_, Union(changed, gone), [&](uint32_t x, uint32_t y) {
          bool inGone = x >= gone.x && x < gone.x + gone.w && y >= gone.y && y < gone.y + gone.h;
          return inGone ? 0u : shown_[y * width_ + x];
        }));
    if (cleared.Area() > 0 && cleared.Area() < box.Area()) {
      disposeToBackground = true;
      box = cleared;
      for (uint32_t y = gone.y; y < gone.y + gone.h; ++y)
        std::fill_n(shown_.begin() + y * width_ + gone.x, gone.w, 0u);
    }
  }
  auto next = std::make_unique<Pending>();
  Encoded result = Encode(box, shown_, true, next.get());
  if (result != Encoded::Done) return result;
  result = PushPending(at, disposeToBackground);
  if (result != Encoded::Done) return result;
  pending_ = std::move(next);
  pendingBox_ = box;
  pendingAt_ = at;
  std::swap(shown_, current_);
  return Encoded::Done;
}

// The first frame covers what is not transparent, drawn over a transparent canvas.
Encoded LosslessFrames::AddFirst(int at) {
  const Box whole{0, 0, width_, height_};
  Box box = ChangedBox(current_, width_, whole, [](uint32_t, uint32_t) { return 0u; });
  if (box.Area() == 0) box = {0, 0, 1, 1};
  box = Even(box);
  auto first = std::make_unique<Pending>();
  Encoded result = Encode(box, shown_, false, first.get());
  if (result != Encoded::Done) return result;
  pending_ = std::move(first);
  pendingBox_ = box;
  pendingAt_ = at;
  std::swap(shown_, current_);
  return Encoded::Done;
}

// The box of the current canvas as one frame over `below`: either whole, or blended with the
// pixels that do not change left transparent, whichever is smaller. Trying both costs a second
// encoding, so a choice that keeps winning is tried again less and less often. A small picture is
// also tried at libwebp's lower effort (quality 25), whose plainer coding often suits it better.
Encoded LosslessFrames::Encode(const Box& box, const std::vector<uint32_t>& below, bool tryBlend,
                               Pending* out) {
  try {
    scratch_.resize(box.Area());
  } catch (const std::bad_alloc&) {
    return Encoded::NoMemory;
  }
  // Blending can only keep a pixel or lay an opaque one.
  bool blendable = tryBlend;
  uint64_t kept = 0;
  for (uint32_t y = 0; y < box.h; ++y) {
    const uint64_t at = uint64_t{box.y + y} * width_ + box.x;
    for (uint32_t x = 0; x < box.w; ++x) {
      const uint32_t now = current_[at + x];
      scratch_[uint64_t{y} * box.w + x] = now;
      if (Same(below[at + x], now))
        ++kept;
      else if (Alpha(now) != 255)
        blendable = false;
    }
  }
  blendable = blendable && kept > 0;
  // Boxes that keep much and boxes that keep little go different ways: each share of pixels
  // kept has its own choice.
  const uint64_t area = box.Area();
  Choice& blendChoice = blend_[kept < area / 2         ? 0
                               : kept < area / 4 * 3   ? 1
                               : kept < area / 16 * 15 ? 2
                                                       : 3];
  const bool small = area <= kSmallArea;
  const bool blendTrial = blendable && blendChoice.Trial(), effortTrial = small && effort_.Trial();
  if (blendable && !blendTrial) blendChoice.Skip();
  if (small && !effortTrial) effort_.Skip();

  WebPConfig plainer = config_;
  plainer.quality = std::min(plainer.quality, 25.f);
  size_t sizes[2][2] = {{SIZE_MAX, SIZE_MAX}, {SIZE_MAX, SIZE_MAX}};  // [blended][plainer]
  WebPMemoryWriter candidate;
  WebPMemoryWriterInit(&candidate);
  const bool ways[2] = {!blendable || blendTrial || !blendChoice.Second(),
                        blendable && (blendTrial || blendChoice.Second())};  // whole, blended
  const bool efforts[2] = {!small || effortTrial || !effort_.Second(),
                           small && (effortTrial || effort_.Second())};  // asked, lower
  for (int blend = 0; blend < 2; ++blend) {
    if (!ways[blend]) continue;
    if (blend) {
      for (uint32_t y = 0; y < box.h; ++y) {
        const uint64_t at = uint64_t{box.y + y} * width_ + box.x;
        for (uint32_t x = 0; x < box.w; ++x)
          if (Same(below[at + x], current_[at + x])) scratch_[uint64_t{y} * box.w + x] = 0;
      }
    }
    for (int lower = 0; lower < 2; ++lower) {
      if (!efforts[lower]) continue;
      Encoded result = EncodePicture(scratch_, box, lower ? plainer : config_, &candidate);
      if (result != Encoded::Done) {
        WebPMemoryWriterClear(&candidate);
        return result;
      }
      sizes[blend][lower] = candidate.size;
      if (out->bytes.size == 0 || candidate.size < out->bytes.size) {
        std::swap(out->bytes, candidate);
        out->blend = blend;
      }
      WebPMemoryWriterClear(&candidate);
      WebPMemoryWriterInit(&candidate);
    }
  }
  if (blendTrial)
    blendChoice.Tried(std::min(sizes[0][0], sizes[0][1]), std::min(sizes[1][0], sizes[1][1]));
  if (effortTrial)
    effort_.Tried(std::min(sizes[0][0], sizes[1][0]), std::min(sizes[0][1], sizes[1][1]));
  return Encoded::Done;
}

Encoded LosslessFrames::PushPending(int until, bool disposeToBackground) {
  if (!pending_) return Encoded::Done;
  WebPMuxFrameInfo info{};
  info.id = WEBP_CHUNK_ANMF;
  info.bitstream = {pending_->bytes.mem, pending_->bytes.size};
  info.x_offset = static_cast<int>(pendingBox_.x);
  info.y_offset = static_cast<int>(pendingBox_.y);
  info.blend_method = pending_->blend ? WEBP_MUX_BLEND : WEBP_MUX_NO_BLEND;
  int64_t left = static_cast<int64_t>(until) - pendingAt_;
  info.duration = static_cast<int>(std::min<int64_t>(left, kMaxDuration));
  info.dispose_method = disposeToBackground ? WEBP_MUX_DISPOSE_BACKGROUND : WEBP_MUX_DISPOSE_NONE;
  if (WebPMuxPushFrame(mux_, &info, 1) != WEBP_MUX_OK) return Encoded::NoMemory;
  left -= info.duration;
  pending_.reset();
  if (left <= 0) return Encoded::Done;
  // The rest of a long picture: one blended transparent pixel, which changes nothing.
  std::vector<uint32_t> nothing(1, 0);
  WebPMemoryWriter bytes;
  WebPMemoryWriterInit(&bytes);
  Encoded result = EncodePicture(nothing, {0, 0, 1, 1}, config_, &bytes);
  if (result != Encoded::Done) return result;
  info = {};
  info.id = WEBP_CHUNK_ANMF;
  info.bitstream = {bytes.mem, bytes.size};
  info.blend_method = WEBP_MUX_BLEND;
  info.dispose_method = WEBP_MUX_DISPOSE_NONE;
  for (; left > 0 && result == Encoded::Done; left -= info.duration) {
    info.duration = static_cast<int>(std::min<int64_t>(left, kMaxDuration));
    if (WebPMuxPushFrame(mux_, &info, 1) != WEBP_MUX_OK) result = Encoded::NoMemory;
  }
  WebPMemoryWriterClear(&bytes);
  return result;
}

Encoded LosslessFrames::Finish(int end, int loopCount, std::string* bytes) {
  if (!mux_) return Encoded::Failed;
  Encoded result = PushPending(end, false);
  if (result != Encoded::Done) return result;
  WebPMuxAnimParams params{0xffffffff, loopCount};
  WebPData data;
  WebPDataInit(&data);
  if (WebPMuxSetCanvasSize(mux_, static_cast<int>(width_), static_cast<int>(height_)) !=
          WEBP_MUX_OK ||
      WebPMuxSetAnimationParams(mux_, &params) != WEBP_MUX_OK ||
      WebPMuxAssemble(mux_, &data) != WEBP_MUX_OK) {
    WebPDataClear(&data);
    return Encoded::Failed;
  }
  try {
    bytes->assign(reinterpret_cast<const char*>(data.bytes), data.size);
  } catch (const std::bad_alloc&) {
    result = Encoded::NoMemory;
  }
  WebPDataClear(&data);
  return result;
}

}  // namespace lw
