#include "core/gif_writer.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <bit>
#include <condition_variable>
#include <cstring>
#include <memory>
#include <mutex>
#include <new>
#include <string>
#include <thread>
#include <unordered_map>
#include <vector>

#include "base/progress.h"
#include "base/signature.h"
#include "base/string_ids.h"
#include "base/strings.h"
#include "core/lzw.h"
#include "core/model_internal.h"

namespace lw {

namespace {

bool WriteColourTable(ByteSink& sink, const Palette& palette) {
  int count = std::min(palette.Count(), 256);
  int padded = 1 << BitsForColours(count);
  uint8_t table[256 * 3] = {};
  for (int i = 0; i < count; ++i) {
    table[3 * i] = palette.entries[i].red;
    table[3 * i + 1] = palette.entries[i].green;
    table[3 * i + 2] = palette.entries[i].blue;
  }
  return sink.Write(table, static_cast<size_t>(3 * padded));
}

// The packed byte as the table written makes it: a flag that promised a table that is not
// there (or the wrong size) would break the file.
uint8_t TableFlags(uint8_t flags, const Palette* table) {
  if (!table) return flags & 0x80 ? static_cast<uint8_t>(flags & 0x78) : flags;
  uint8_t code = static_cast<uint8_t>(BitsForColours(std::min(table->Count(), 256)) - 1);
  return static_cast<uint8_t>((flags & 0x78) | 0x80 | code);
}

bool WriteExtensionBlock(ByteSink& sink, const ExtensionBlock& block) {
  uint8_t head[2] = {0x21, block.label};
  if (!sink.Write(head, 2)) return false;
  const auto& data = block.data;
  size_t at = 0;
  while (at < data.size() && data[at] != 0 && at + 1 + data[at] <= data.size()) {
    if (!sink.Write(data.data() + at, 1 + data[at])) return false;
    at += 1 + data[at];
  }
  return sink.WriteByte(0);
}

// Bytes that a stored extension block takes in the file.
uint64_t ExtensionBlockSize(const ExtensionBlock& block) {
  ByteSink counter;
  WriteExtensionBlock(counter, block);
  return counter.Count();
}

// Bytes of a comment block holding text, cut into sub-blocks as the model stores it.
uint64_t CommentBlockSize(std::string_view text) {
  uint64_t n = text.size();
  if (n == 0) return 4;
  return 3 + n + (n + 254) / 255;
}

}  // namespace

namespace {

// LZW data the optimizer already made for a frame, kept for the next save so that it is not
// encoded twice. The bytes stand for the pixels, their size, the code size and the row order;
// all are checked before the kept bytes stand in for an encoding, the pixels through a 128-bit
// fingerprint rather than a second copy of every image.
struct KeptData {
  uint32_t width = 0;
  uint32_t height = 0;
  int codeSize = 0;
  bool interlaced = false;
  uint64_t rowBytes = 0;
  std::array<uint64_t, 2> print{};  // of the image rows as they were encoded
  std::vector<uint8_t> lzw;
};

constexpr uint64_t kKeptLimit = uint64_t{128} << 20;

// Two independent multiply-rotate lanes over the rows, eight bytes at a time.
std::array<uint64_t, 2> Fingerprint(const uint8_t* bytes, uint64_t size) {
  uint64_t a = 0x9E3779B97F4A7C15ULL ^ size, b = 0xC2B2AE3D27D4EB4FULL + size;
  uint64_t at = 0;
  for (; at + 8 <= size; at += 8) {
    uint64_t w;
    std::memcpy(&w, bytes + at, 8);
    a = std::rotl((a ^ w) * 0xFF51AFD7ED558CCDULL, 29);
    b = std::rotl((b + w) * 0xC4CEB9FE1A85EC53ULL, 31) ^ w;
  }
  uint64_t tail = 0;
  std::memcpy(&tail, bytes + at, static_cast<size_t>(size - at));
  a = (a ^ tail) * 0xFF51AFD7ED558CCDULL;
  b = (b + tail) * 0xC4CEB9FE1A85EC53ULL;
  a ^= a >> 33;
  b ^= b >> 29;
  return {a * 0x9E3779B97F4A7C15ULL, b * 0xFF51AFD7ED558CCDULL};
}

std::mutex gKeptLock;
std::unordered_map<const Frame*, KeptData> gKept;
uint64_t gKeptBytes = 0;

void ForgetKeptLocked() {
  gKept.clear();
  gKeptBytes = 0;
}

// How a frame's pixels are encoded: rows of the DIB's own stride (a DIB may be wider than the
// frame), and the code size of its palette, or a larger one when pixel values lie beyond what
// that size holds: such files exist, decoders show those pixels, and they must survive a save.
struct FrameRows {
  const uint8_t* bits = nullptr;
  uint64_t stride = 0;
  int codeSize = 2;
};

bool GetFrameRows(const Frame& frame, FrameRows* rows) {
  if (frame.width > 0xFFFF || frame.height > 0xFFFF) return false;
  const int entries = frame.palette ? std::min(frame.palette->Count(), 256) : 256;
  rows->codeSize = std::max(2, BitsForColours(entries));
  // The optimizer may have found that the pixels need fewer bits than the palette.
  if (frame.codeSize >= 2 && frame.codeSize <= 8)
    rows->codeSize = std::min<int>(rows->codeSize, frame.codeSize);
  rows->bits = frame.bits();
  rows->stride = IndexStride(frame.width);
  if (!frame.width || !frame.height) return true;
  model::PixelLayout layout;
  if (!model::DibLayout(&frame, &layout) || layout.width < frame.width ||
      layout.height < frame.height)
    return false;
  rows->stride = layout.stride;
  if (!PixelsFitCodeSize(rows->bits, rows->stride, frame.width, frame.height, rows->codeSize)) {
    uint8_t top = 0;
    for (uint32_t y = 0; y < frame.height; ++y) {
      const uint8_t* row = rows->bits + y * rows->stride;
      top = std::max(top, *std::max_element(row, row + frame.width));
    }
    rows->codeSize = std::max(rows->codeSize, static_cast<int>(std::bit_width(unsigned{top})));
  }
  return true;
}

// The checks and header of a frame record (control extension, descriptor, local table); how the
// rows are encoded and their byte count come back for the LZW data.
bool WriteFrameHead(ByteSink& sink, const Frame& frame, const GifWriteOptions& options,
                    FrameRows* rows, uint64_t* rowBytes) {
  if (!GetFrameRows(frame, rows)) return false;

  // Each delay on its own: a longer one is cut to the longest a GIF holds, not wrapped.
  uint32_t delay =
      static_cast<uint32_t>(std::min<uint64_t>(options.units.ToHundredths(frame.delay), 0xFFFF));
  uint8_t gce[8] = {0x21,
                    0xF9,
                    0x04,
                    frame.controlFlags,
                    static_cast<uint8_t>(delay),
                    static_cast<uint8_t>(delay >> 8),
                    frame.transparentIndex,
                    0x00};
  const Palette* local = frame.localPalette.get();
  uint8_t flags = TableFlags(frame.descriptorFlags, local);
  uint8_t desc[10] = {0x2C,
                      static_cast<uint8_t>(frame.left),
                      static_cast<uint8_t>(frame.left >> 8),
                      static_cast<uint8_t>(frame.top),
                      static_cast<uint8_t>(frame.top >> 8),
                      static_cast<uint8_t>(frame.width),
                      static_cast<uint8_t>(frame.width >> 8),
                      static_cast<uint8_t>(frame.height),
                      static_cast<uint8_t>(frame.height >> 8),
                      flags};
  if (!sink.Write(gce, sizeof gce) || !sink.Write(desc, sizeof desc)) return false;
  if (local && !WriteColourTable(sink, *local)) return false;
  *rowBytes = frame.width && frame.height ? rows->stride * frame.height : 0;
  return true;
}

bool EncodeFrameData(ByteSink& sink, const Frame& frame, const FrameRows& rows) {
  return LzwEncode(sink, rows.codeSize, rows.bits, static_cast<size_t>(rows.stride), frame.width,
                   frame.height, frame.Interlaced());
}

// The kept data of the frame when it still matches its pixels; called with gKeptLock held.
const KeptData* MatchingKeptLocked(const Frame& frame, int codeSize, uint64_t rowBytes) {
  auto it = gKept.find(&frame);
  if (it == gKept.end()) return nullptr;
  const KeptData& k = it->second;
  bool same = k.width == frame.width && k.height == frame.height && k.codeSize == codeSize &&
              k.interlaced == frame.Interlaced() && k.rowBytes == rowBytes &&
              (rowBytes == 0 || k.print == Fingerprint(frame.bits(), rowBytes));
  return same ? &k : nullptr;
}

// Writes the kept LZW data of the frame when it still matches; false when it must be encoded.
bool WriteKeptData(ByteSink& sink, const Frame& frame, int codeSize, uint64_t rowBytes, bool* ok) {
  std::lock_guard<std::mutex> lock(gKeptLock);
  const KeptData* k = MatchingKeptLocked(frame, codeSize, rowBytes);
  if (!k) return false;
  *ok = sink.Write(k->lzw.data(), k->lzw.size());
  return true;
}

// A copy of the kept LZW data of the frame when it still matches; false when it must be encoded.
bool CopyKeptData(const Frame& frame, const FrameRows& rows, std::vector<uint8_t>* data) {
  const uint64_t rowBytes = frame.width && frame.height ? rows.stride * frame.height : 0;
  std::lock_guard<std::mutex> lock(gKeptLock);
  const KeptData* k = MatchingKeptLocked(frame, rows.codeSize, rowBytes);
  if (!k) return false;
  data->assign(k->lzw.begin(), k->lzw.end());
  return true;
}

bool WriteFrameRecordImpl(ByteSink& sink, const Frame& frame, const GifWriteOptions& options,
                          bool useKept) {
  FrameRows rows;
  uint64_t rowBytes = 0;
  if (!WriteFrameHead(sink, frame, options, &rows, &rowBytes)) return false;
  bool ok = false;
  if (useKept && WriteKeptData(sink, frame, rows.codeSize, rowBytes, &ok)) return ok;
  return EncodeFrameData(sink, frame, rows);
}

std::atomic<int> gEncoderThreads{0};

// Encodes the LZW data of frames ahead of the writer on a few threads. The writer takes them in
// list order; workers stay at most a window ahead of it, so memory holds a few frames' data.
class FrameEncodePool {
 public:
  FrameEncodePool(std::vector<const Frame*> frames, int threads)
      : frames_(std::move(frames)), slots_(frames_.size()), window_(4 * threads) {
    try {
      for (int i = 0; i < threads; ++i) workers_.emplace_back([this] { Work(); });
    } catch (const std::exception&) {  // no thread: the frames left are encoded by the writer
      Stop();
    }
  }
  ~FrameEncodePool() { Stop(); }

  // The data of frame n; false when a worker could not make it (the writer encodes it then).
  bool Take(size_t n, std::vector<uint8_t>* data) {
    std::unique_lock<std::mutex> lock(mutex_);
    if (n >= slots_.size()) return false;
    taken_ = n + 1;
    room_.notify_all();
    ready_.wait(lock, [&] { return slots_[n].done || (stopped_ && !slots_[n].busy); });
    if (!slots_[n].done || !slots_[n].ok) return false;
    data->swap(slots_[n].data);
    return true;
  }

 private:
  struct Slot {
    bool busy = false, done = false, ok = false;
    std::vector<uint8_t> data;
  };

  void Work() {
    for (;;) {
      size_t n;
      {
        std::unique_lock<std::mutex> lock(mutex_);
        room_.wait(lock,
                   [&] { return stopped_ || next_ >= frames_.size() || next_ < taken_ + window_; });
        if (stopped_ || next_ >= frames_.size()) return;
        n = next_++;
        slots_[n].busy = true;
      }
      std::vector<uint8_t> data;
      bool ok = false;
      try {
        FrameRows rows;
        if (GetFrameRows(*frames_[n], &rows)) {
          ok = CopyKeptData(*frames_[n], rows, &data);
          if (!ok) {
            ByteSink sink(&data);
            ok = EncodeFrameData(sink, *frames_[n], rows) && sink.Flush();
          }
        }
      } catch (const std::exception&) {
        ok = false;
      }
      std::lock_guard<std::mutex> lock(mutex_);
      slots_[n].data = std::move(data);
      slots_[n].ok = ok;
      slots_[n].done = true;
      slots_[n].busy = false;
      ready_.notify_all();
    }
  }

  void Stop() {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      stopped_ = true;
    }
    room_.notify_all();
    ready_.notify_all();
    for (std::thread& t : workers_) t.join();
    workers_.clear();
  }

  std::vector<const Frame*> frames_;
  std::vector<Slot> slots_;
  size_t window_;
  size_t next_ = 0, taken_ = 0;
  bool stopped_ = false;
  std::mutex mutex_;
  std::condition_variable ready_, room_;
  std::vector<std::thread> workers_;
};

// The pool for an animation's frames, or none when one thread does as well: few or small frames.
std::unique_ptr<FrameEncodePool> PoolFor(const Animation& animation,
                                         std::vector<const Frame*>* frames) {
  const int threads = GifEncoderThreads();
  if (threads < 2 || animation.frameCount < 2) return nullptr;
  uint64_t pixels = 0;
  for (const Frame* f = FirstFrame(animation); f; f = NextFrame(f)) {
    frames->push_back(f);
    pixels += uint64_t{f->width} * f->height;
  }
  // Small frames cost less to encode than to hand over: many of them still make a small job.
  if (pixels < (uint64_t{1} << 16) || pixels < uint64_t{4096} * frames->size()) return nullptr;
  return std::make_unique<FrameEncodePool>(*frames, threads);
}

// A frame record whose LZW data may come from the pool.
bool WritePooledFrame(ByteSink& sink, const Frame& frame, const GifWriteOptions& options,
                      FrameEncodePool* pool, size_t n) {
  if (!pool) return WriteFrameRecordImpl(sink, frame, options, true);
  FrameRows rows;
  uint64_t rowBytes = 0;
  if (!WriteFrameHead(sink, frame, options, &rows, &rowBytes)) return false;
  bool ok = false;
  std::vector<uint8_t> data;
  if (pool->Take(n, &data)) return sink.Write(data.data(), data.size());
  if (WriteKeptData(sink, frame, rows.codeSize, rowBytes, &ok)) return ok;
  return EncodeFrameData(sink, frame, rows);
}

}  // namespace

void SetGifEncoderThreads(int threads) { gEncoderThreads.store(std::max(0, threads)); }

int GifEncoderThreads() {
  int wanted = gEncoderThreads.load();
  if (wanted > 0) return wanted;
  return std::max(2, static_cast<int>(std::thread::hardware_concurrency()));
}

bool WriteFrameRecord(ByteSink& sink, const Frame& frame, const GifWriteOptions& options) {
  return WriteFrameRecordImpl(sink, frame, options, false);
}

uint64_t EncodeFrameRecord(const Frame* frame, std::vector<uint8_t>* lzw) {
  if (!frame || !lzw) return 0;
  lzw->clear();
  ByteSink head;
  FrameRows rows;
  uint64_t rowBytes = 0;
  if (!WriteFrameHead(head, *frame, GifWriteOptions{}, &rows, &rowBytes)) return 0;
  {
    ByteSink data(lzw);
    if (EncodeFrameData(data, *frame, rows)) return head.Count() + lzw->size();
  }
  lzw->clear();
  ByteSink counter;
  return EncodeFrameData(counter, *frame, rows) ? head.Count() + counter.Count() : 0;
}

void KeepFrameData(const Frame* frame, std::vector<uint8_t>&& lzw) {
  KeepFrameDataFor(frame, frame, std::move(lzw));
}

void KeepFrameDataFor(const Frame* frame, const Frame* encoded, std::vector<uint8_t>&& lzw) {
  if (!frame || !encoded || lzw.empty()) return;
  FrameRows rows;
  const bool usable = GetFrameRows(*encoded, &rows);
  const uint64_t rowBytes =
      rows.bits && encoded->width && encoded->height ? rows.stride * encoded->height : 0;
  const std::array<uint64_t, 2> print =
      usable && rowBytes ? Fingerprint(encoded->bits(), rowBytes) : std::array<uint64_t, 2>{};
  std::lock_guard<std::mutex> lock(gKeptLock);
  auto old = gKept.find(frame);
  if (old != gKept.end()) {
    gKeptBytes -= old->second.lzw.size();
    gKept.erase(old);
  }
  // Data made with another code size than the writer's would be written under the wrong one.
  if (!usable || lzw.front() != rows.codeSize || gKeptBytes + lzw.size() > kKeptLimit) return;
  try {
    KeptData k;
    k.width = encoded->width;
    k.height = encoded->height;
    k.codeSize = rows.codeSize;
    k.interlaced = encoded->Interlaced();
    k.rowBytes = rowBytes;
    k.print = print;
    k.lzw = std::move(lzw);
    gKeptBytes += k.lzw.size();
    gKept[frame] = std::move(k);
  } catch (const std::bad_alloc&) {
    ForgetKeptLocked();
  }
}

GifWriteStatus WriteGif(ByteSink& sink, Animation& animation, ProgressMeter* progress,
                        const GifWriteOptions& options) {
  ProgressSetRange(progress, static_cast<uint32_t>(std::max<int>(animation.frameCount, 0)));
  // A wrapped 16-bit size would describe another picture.
  if (animation.screenWidth > 0xFFFF || animation.screenHeight > 0xFFFF)
    return GifWriteStatus::Failed;
  if (!sink.Write("GIF89a", 6)) return GifWriteStatus::Failed;
  RefreshLogicalScreenFlags(animation);
  const Palette* global = animation.globalPalette.get();
  uint8_t screen[7] = {static_cast<uint8_t>(animation.screenWidth),
                       static_cast<uint8_t>(animation.screenWidth >> 8),
                       static_cast<uint8_t>(animation.screenHeight),
                       static_cast<uint8_t>(animation.screenHeight >> 8),
                       TableFlags(animation.screenFlags, global),
                       animation.backgroundIndex,
                       animation.aspectByte};
  if (!sink.Write(screen, sizeof screen)) return GifWriteStatus::Failed;
  if (global && !WriteColourTable(sink, *global)) return GifWriteStatus::Failed;

  if (animation.playCount != 1 && animation.frameCount > 1) {
    // The block counts repeats in 16 bits: more plays than it holds play as many as it does.
    uint32_t count = animation.playCount == 0 ? 0 : std::min(animation.playCount - 1, 0xFFFFu);
    uint8_t loop[19] = {0x21,
                        0xFF,
                        0x0B,
                        'N',
                        'E',
                        'T',
                        'S',
                        'C',
                        'A',
                        'P',
                        'E',
                        '2',
                        '.',
                        '0',
                        0x03,
                        0x01,
                        static_cast<uint8_t>(count),
                        static_cast<uint8_t>(count >> 8),
                        0x00};
    if (!sink.Write(loop, sizeof loop)) return GifWriteStatus::Failed;
  }

  std::vector<const Frame*> frames;
  std::unique_ptr<FrameEncodePool> pool = PoolFor(animation, &frames);
  size_t frameNumber = 0;
  for (Block* b = animation.blocks ? animation.blocks->next : nullptr; b; b = b->next) {
    switch (b->kind) {
      case BlockKind::PlainText:
      case BlockKind::Comment:
      case BlockKind::Application:
      case BlockKind::OtherExtension:
        if (!WriteExtensionBlock(sink, static_cast<const ExtensionBlock&>(*b)))
          return GifWriteStatus::Failed;
        break;
      case BlockKind::Frame:
        if (!WritePooledFrame(sink, static_cast<const Frame&>(*b), options, pool.get(),
                              frameNumber++))
          return GifWriteStatus::Failed;
        if (!ProgressStep(progress)) return GifWriteStatus::Cancelled;
        break;
      default: break;
    }
  }
  {
    // What was kept is written now; later edits would only make it stale.
    std::lock_guard<std::mutex> lock(gKeptLock);
    ForgetKeptLocked();
  }
  if (!sink.WriteByte(0x3B) || !sink.Flush()) return GifWriteStatus::Failed;
  return GifWriteStatus::Done;
}

GifWriteStatus WriteFrameAsGif(ByteSink& sink, Frame* frame, const GifWriteOptions& options) {
  if (!frame) return GifWriteStatus::Failed;
  AnimationPtr temp = NewAnimation();
  GifWriteStatus result = GifWriteStatus::Failed;
  if (temp) {
    temp->screenWidth = frame->width;
    temp->screenHeight = frame->height;
    temp->playCount = 1;
    temp->frameCount = 1;
    if (frame->palette) {
      uint8_t code =
          static_cast<uint8_t>(BitsForColours(std::min(frame->palette->Count(), 256)) - 1);
      temp->screenFlags = static_cast<uint8_t>(0x80 | (code << 4) | code);
    }
    // Borrow the palette and the frame for the write; both go back untouched.
    temp->globalPalette.reset(frame->palette);
    Block* prev = frame->prev;
    Block* next = frame->next;
    temp->blocks->next = frame;
    frame->next = nullptr;
    result = WriteGif(sink, *temp, nullptr, options);
    temp->blocks->next = nullptr;
    frame->prev = prev;
    frame->next = next;
    (void)temp->globalPalette.release();
  }
  return result;
}

int32_t EstimateEncodedSize(Animation& animation, bool force, const SaveSignature& signature,
                            ProgressMeter* progress) {
  if (animation.encodedSizeCache != -1 && !force) return animation.encodedSizeCache;
  animation.encodedSizeCache = -1;
  ByteSink counter;
  if (WriteGif(counter, animation, progress) != GifWriteStatus::Done)
    return animation.encodedSizeCache;
  int64_t size = static_cast<int64_t>(counter.Count());
  // The save replaces every signature comment with the current signature.
  for (Block* b = animation.blocks ? animation.blocks->next : nullptr; b; b = b->next) {
    std::string text;
    if (b->kind == BlockKind::Comment && CommentText(b, &text) &&
        IsSignatureText(text, signature.own))
      size -= static_cast<int64_t>(ExtensionBlockSize(static_cast<const ExtensionBlock&>(*b)));
  }
  if (!signature.text.empty()) size += static_cast<int64_t>(CommentBlockSize(signature.text));
  animation.encodedSizeCache = static_cast<int32_t>(std::clamp<int64_t>(size, 0, INT32_MAX));
  return animation.encodedSizeCache;
}

uint64_t EncodedFrameSize(const Frame* frame) {
  if (!frame) return 0;
  ByteSink counter;
  return WriteFrameRecord(counter, *frame) ? counter.Count() : 0;
}

bool FramesOutsideScreen(const Animation& animation) {
  for (Frame* f = FirstFrame(animation); f; f = NextFrame(f)) {
    if (f->left < 0 || f->top < 0 || int64_t{f->left} + f->width > int64_t{animation.screenWidth} ||
        int64_t{f->top} + f->height > int64_t{animation.screenHeight})
      return true;
  }
  return false;
}

bool ClipAllFramesToScreen(Animation& animation) {
  for (Frame* f = FirstFrame(animation); f; f = NextFrame(f)) {
    int32_t left = f->left, top = f->top;
    uint32_t width = f->width, height = f->height;
    ClipFrameToScreen(f, animation.screenWidth, animation.screenHeight);
    if (f->left != left || f->top != top || f->width != width || f->height != height)
      animation.encodedSizeCache = -1;
  }
  return true;
}

}  // namespace lw
