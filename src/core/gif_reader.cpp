#include "core/gif_reader.h"

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <deque>
#include <memory>
#include <mutex>
#include <new>
#include <thread>
#include <vector>

#include "base/progress.h"
#include "base/string_ids.h"
#include "base/strings.h"
#include "core/lzw.h"
#include "core/picture_budget.h"

namespace lw {

namespace {

constexpr int kMsgNoLocalPalette = str::NoLocalPalette;
constexpr int kMsgNoFrameMemory = str::NoFrameMemory;
constexpr int kMsgDamaged = str::GifDamaged;
constexpr int kMsgPartial = str::PartialRead;
constexpr int kMsgUnreadable = str::CannotReadFile;
constexpr int kMsgFrameName = str::FrameNameFormat;
constexpr int kMsgReading = str::ReadingGif;

// Largest code size whose clear and end codes still fit the 4096-entry tables with room to spare.
constexpr int kMaxMinCodeSize = 11;

// The composited screen is drawn in 32-bit pixels.
constexpr int kScreenBytesPerPixel = 4;

// Pixel bytes taken by the frames of the read under way: a small file can describe a great many
// large frames, and they all have to fit in memory together.
thread_local uint64_t bytesRead = 0;

inline uint32_t Le16(const uint8_t* p) { return p[0] | (p[1] << 8); }

// Puts the rows decoded one after the other (width bytes each, in the order they were stored)
// at their places in the DIB (stride bytes each), in place.
bool PlaceRows(uint8_t* bits, uint64_t width, uint32_t height, uint64_t stride, bool interlaced) {
  if (width == 0 || height == 0) return true;
  if (stride != width) {
    for (uint32_t j = height; j-- > 0;) {
      std::memmove(bits + j * stride, bits + j * width, width);
      std::memset(bits + j * stride + width, 0, stride - width);
    }
  }
  if (!interlaced || height < 2) return true;
  // Row j of the stream belongs at row target[j]; follow the permutation's cycles.
  std::vector<uint32_t> source;
  std::vector<uint8_t> tmp;
  try {
    source.resize(height);
    tmp.resize(stride);
  } catch (const std::bad_alloc&) {
    return false;
  }
  uint32_t j = 0;
  ForEachRowInOrder(height, true, [&](uint32_t r) { source[r] = j++; });
  for (uint32_t start = 0; start < height; ++start) {
    if (source[start] == start || source[start] == UINT32_MAX) continue;
    std::memcpy(tmp.data(), bits + start * stride, stride);
    uint32_t at = start;
    for (;;) {
      uint32_t from = source[at];
      source[at] = UINT32_MAX;
      if (from == start) {
        std::memcpy(bits + at * stride, tmp.data(), stride);
        break;
      }
      std::memcpy(bits + at * stride, bits + uint64_t{from} * stride, stride);
      at = from;
    }
  }
  return true;
}

}  // namespace

bool IsGifFile(GifSource& file) {
  uint8_t sig[6];
  if (!file.Read(sig, 6)) return false;
  return std::memcmp(sig, "GIF8", 4) == 0 && (sig[4] == '9' || sig[4] == '7') && sig[5] == 'a';
}

bool ReadExtension(Animation& animation, GifSource& file, int label, Block** block) {
  *block = nullptr;
  int len = file.ReadByte();
  if (len < 0) return false;
  if (len == 0) return true;
  const uint8_t* first = file.Take(static_cast<size_t>(len));
  if (!first) return false;

  const bool known = label == 0x01 || label == 0xFE || label == 0xFF;
  std::unique_ptr<Block> made(
      NewBlock(known ? static_cast<BlockKind>(label) : BlockKind::OtherExtension, 0));
  if (!made) return false;
  auto* ext = static_cast<ExtensionBlock*>(made.get());
  ext->label = static_cast<uint8_t>(label);
  try {
    ext->data.reserve(static_cast<size_t>(len) + 2);
    ext->data.push_back(static_cast<uint8_t>(len));
    ext->data.insert(ext->data.end(), first, first + len);

    if (label == 0xFF && len == 11 && std::memcmp(first, "NETSCAPE2.0", 11) == 0) {
      int len2 = file.ReadByte();
      if (len2 < 0) return false;
      const uint8_t* second = file.Take(static_cast<size_t>(len2));
      if (!second) return false;
      if (len2 == 3) {
        uint32_t count = Le16(second + 1);
        // Encoders may add sub-blocks behind the loop count (a buffering hint): they are read
        // up to the terminator and not kept, since the writer makes its own loop block.
        for (;;) {
          int n = file.ReadByte();
          if (n < 0) return false;
          if (n == 0) break;
          if (!file.Take(static_cast<size_t>(n))) return false;
        }
        animation.playCount = count == 0 ? 0 : count + 1;
        return true;
      }
      ext->data.push_back(static_cast<uint8_t>(len2));
      if (len2 == 0) {
        // The terminator came already; reading on would swallow the next blocks.
        *block = made.release();
        return true;
      }
      ext->data.insert(ext->data.end(), second, second + len2);
    }

    for (;;) {
      int n = file.ReadByte();
      if (n < 0) return false;
      ext->data.push_back(static_cast<uint8_t>(n));
      if (n == 0) break;
      const uint8_t* p = file.Take(static_cast<size_t>(n));
      if (!p) return false;
      ext->data.insert(ext->data.end(), p, p + n);
    }
  } catch (const std::bad_alloc&) {
    return false;
  }
  *block = made.release();
  return true;
}

namespace {

// ReadImage without its messages, so that it can run off the reading thread: 0, or the id of the
// message that says why it failed. used is the pixel bytes of the frames read before; *bytes
// gets this frame's.
int ReadImageQuiet(Palette* global, Frame* frame, GifSource& file, LzwDecoder& decoder,
                   uint64_t used, uint64_t* bytes) {
  uint8_t d[9];
  if (!file.Read(d, sizeof d)) return kMsgDamaged;
  frame->left = static_cast<int32_t>(Le16(d));
  frame->top = static_cast<int32_t>(Le16(d + 2));
  frame->width = Le16(d + 4);
  frame->height = Le16(d + 6);
  frame->descriptorFlags = d[8];

  if (d[8] & 0x80) {
    int n = 2 << (d[8] & 7);
    const uint8_t* triples = file.Take(static_cast<size_t>(3 * n));
    if (!triples) return kMsgDamaged;
    PalettePtr local = PaletteFromTriples(n, triples);
    if (!local) return kMsgNoLocalPalette;
    frame->localPalette = std::move(local);
    frame->palette = frame->localPalette.get();
  } else {
    frame->palette = global;
  }

  const uint64_t width = frame->width, height = frame->height;
  const uint64_t stride = IndexStride(std::max<uint64_t>(width, 1));
  *bytes = stride * std::max<uint64_t>(height, 1);
  std::vector<uint8_t> dib;
  if (*bytes <= PictureBudgetBytes() && used <= PictureBudgetBytes() - *bytes)
    dib = BuildDib(frame->width, frame->height, frame->palette);
  if (dib.empty()) return kMsgNoFrameMemory;

  int codeSize = file.ReadByte();
  if (codeSize < 0 || codeSize > kMaxMinCodeSize) return kMsgDamaged;
  decoder.Reset(&file, codeSize);

  uint8_t* bits = dib.data() + DibBitsOffset;
  const size_t count = static_cast<size_t>(width * height);
  int status = 0;
  size_t filled = decoder.Fill(bits, count, &status);
  if (filled == count) {
    // Normally the end code: this skips what is left up to the terminator.
    decoder.Next();
  } else if (status == LzwEndOfData) {
    std::memset(bits + filled, 0, count - filled);
  } else {
    return kMsgDamaged;
  }
  if (!PlaceRows(bits, width, frame->height, stride, frame->Interlaced())) return kMsgNoFrameMemory;
  SetFrameDib(frame, std::move(dib));
  return 0;
}

}  // namespace

int ReadImage(Animation& animation, Frame* frame, GifSource& file, LzwDecoder& decoder) {
  uint64_t bytes = 0;
  int message =
      ReadImageQuiet(animation.globalPalette.get(), frame, file, decoder, bytesRead, &bytes);
  if (message == 0) bytesRead += bytes;
  return message;
}

namespace {

// The messages of a read that stopped: one for a damaged or cut file, what the user got (part
// of the animation, or nothing because the file is damaged); a palette or memory failure is
// named before what was kept. cause 0: none to name.
void NoteReadFailure(int cause, int framesRead, std::vector<int>* messages) {
  if (!messages) return;
  if (cause == kMsgDamaged) {
    messages->push_back(framesRead == 0 ? kMsgDamaged : kMsgPartial);
    return;
  }
  if (cause != 0) messages->push_back(cause);
  messages->push_back(framesRead == 0 ? kMsgUnreadable : kMsgPartial);
}

}  // namespace

namespace {

constexpr size_t kNoOffset = SIZE_MAX;

std::atomic<int> decoderThreads{0};

// Files smaller than this read on one thread when the count is automatic: starting threads
// would cost more than they save.
constexpr size_t kThreadedFileSize = size_t{256} << 10;

// An image found by skipping ahead of the block loop, and what reading it gave. The frame is
// made from the control extension at gceOffset (none: kNoOffset) and the image whose 0x2C byte
// is at imageOffset, with `used` bytes of earlier frames: the same bytes and budget give the
// same frame as the block loop would read.
struct AheadImage {
  size_t imageOffset = 0;
  size_t gceOffset = kNoOffset;
  uint8_t gce[6] = {};
  uint64_t used = 0;
  size_t skippedTo = 0;  // where skipping went on, behind the data's terminator

  bool started = false, done = false;
  int message = -1;  // 0 once read
  uint64_t bytes = 0;
  size_t end = 0;  // where the read of the data stopped
  std::unique_ptr<Frame> frame;
};

// Skips data sub-blocks up to and with the zero length; false when the file ends first.
bool SkipSubBlocks(GifSource& file) {
  for (;;) {
    int n = file.ReadByte();
    if (n < 0) return false;
    if (n == 0) return true;
    if (!file.Take(static_cast<size_t>(n))) return false;
  }
}

// Reads the images of a file on worker threads while the block loop, on the calling thread,
// walks the blocks in order and takes each frame when it reaches it. A scout on the calling
// thread finds the images ahead by skipping sub-blocks, at most a window of frames ahead; a
// frame is only taken when it was read from the very bytes and budget the block loop has, so
// damaged files give what a read on one thread gives (the block loop reads anything else
// itself).
class ImagesAhead {
 public:
  ImagesAhead(const GifSource& file, Palette* global, const Timing& timing, int threads)
      : data_(file.Data()),
        size_(file.Size()),
        global_(global),
        timing_(timing),
        window_(4 * size_t(threads)) {
    for (int i = 0; i < threads; ++i) {
      try {
        workers_.emplace_back([this] { Work(); });
      } catch (const std::exception&) {
        break;  // the block loop reads what no worker takes
      }
    }
  }

  ~ImagesAhead() {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      stopped_ = true;
      queue_.clear();
    }
    wake_.notify_all();
    for (std::thread& t : workers_) t.join();
  }

  // Starts skipping ahead from offset, the frames before having taken `used` bytes.
  void Restart(size_t offset, uint64_t used) {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      queue_.clear();
    }
    scoutAt_ = offset;
    scoutUsed_ = used;
    scoutGce_ = kNoOffset;
    scouting_ = true;
    Scout();
  }

  // The frame of the image at imageOffset with the control extension at gceOffset when it was
  // read ahead from the same bytes with the same budget; it may be read on this thread. *end is
  // where its data stopped, *bytes its pixel bytes.
  std::unique_ptr<Frame> Take(size_t imageOffset, size_t gceOffset, uint64_t used,
                              LzwDecoder& decoder, size_t* end, uint64_t* bytes) {
    std::shared_ptr<AheadImage> image;
    bool mine = false;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      if (queue_.empty()) return nullptr;
      image = queue_.front();
      queue_.pop_front();
      if (image->imageOffset != imageOffset || image->gceOffset != gceOffset ||
          image->used != used) {
        queue_.clear();
        scouting_ = false;
        return nullptr;
      }
      if (!image->started) image->started = mine = true;
    }
    if (mine) {
      Read(*image, decoder);
    } else {
      std::unique_lock<std::mutex> lock(mutex_);
      finished_.wait(lock, [&] { return image->done; });
    }
    if (image->message != 0) return nullptr;
    *end = image->end;
    *bytes = image->bytes;
    lastSkippedTo_ = image->skippedTo;
    return std::move(image->frame);
  }

  // After the block loop read an image: goes on from where skipping went on when the data
  // ended there, else starts again from offset.
  void Continue(size_t offset, uint64_t used, bool taken) {
    if (!taken || lastSkippedTo_ != offset) {
      Restart(offset, used);
      return;
    }
    Scout();
  }

 private:
  // Finds images until the window is full or the blocks stop looking like a GIF's.
  void Scout() {
    GifSource file(data_, size_);
    file.Seek(scoutAt_);
    for (;;) {
      {
        std::lock_guard<std::mutex> lock(mutex_);
        if (!scouting_ || queue_.size() >= window_) break;
      }
      try {
        auto image = std::make_shared<AheadImage>();
        if (!FindImage(file, image.get())) {
          scouting_ = false;
          break;
        }
        std::lock_guard<std::mutex> lock(mutex_);
        queue_.push_back(std::move(image));
      } catch (const std::bad_alloc&) {
        scouting_ = false;
        break;
      }
      wake_.notify_one();
    }
    scoutAt_ = file.Offset();
  }

  bool FindImage(GifSource& file, AheadImage* image) {
    for (;;) {
      switch (file.ReadByte()) {
        case 0x00: continue;
        case 0x21: {
          int label = file.ReadByte();
          if (label < 0) return false;
          if (label == 0xF9) {
            scoutGce_ = file.Offset();
            if (!file.Read(scoutGceBytes_, sizeof scoutGceBytes_)) return false;
          } else if (!SkipSubBlocks(file)) {
            return false;
          }
          continue;
        }
        case 0x2C: {
          image->imageOffset = file.Offset() - 1;
          const uint8_t* d = file.Take(9);
          if (!d) return false;
          if ((d[8] & 0x80) && !file.Take(static_cast<size_t>(3 * (2 << (d[8] & 7))))) return false;
          const uint64_t bytes =
              IndexStride(std::max<uint64_t>(Le16(d + 4), 1)) * std::max<uint64_t>(Le16(d + 6), 1);
          if (bytes > PictureBudgetBytes() || scoutUsed_ > PictureBudgetBytes() - bytes)
            return false;
          int codeSize = file.ReadByte();
          if (codeSize < 0 || codeSize > kMaxMinCodeSize) return false;
          image->gceOffset = scoutGce_;
          if (scoutGce_ != kNoOffset) std::memcpy(image->gce, scoutGceBytes_, 6);
          image->used = scoutUsed_;
          scoutGce_ = kNoOffset;
          scoutUsed_ += bytes;
          // A cut file still gives its image a try; nothing follows it.
          if (!SkipSubBlocks(file)) scouting_ = false;
          image->skippedTo = file.Offset();
          return true;
        }
        default: return false;  // the trailer, the end of the file or damage
      }
    }
  }

  void Read(AheadImage& image, LzwDecoder& decoder) {
    std::unique_ptr<Frame> frame(
        FrameFromControlExtension(image.gceOffset == kNoOffset ? nullptr : image.gce, timing_));
    int message = -1;
    uint64_t bytes = 0;
    GifSource file(data_, size_);
    file.Seek(image.imageOffset + 1);
    if (frame) message = ReadImageQuiet(global_, frame.get(), file, decoder, image.used, &bytes);
    std::lock_guard<std::mutex> lock(mutex_);
    image.frame = std::move(frame);
    image.message = message;
    image.bytes = bytes;
    image.end = file.Offset();
    image.done = true;
    finished_.notify_all();
  }

  void Work() {
    std::unique_ptr<LzwDecoder> decoder;
    try {
      decoder = std::make_unique<LzwDecoder>();
    } catch (const std::bad_alloc&) {
      return;  // the block loop reads the frames itself
    }
    for (;;) {
      std::shared_ptr<AheadImage> image;
      {
        std::unique_lock<std::mutex> lock(mutex_);
        wake_.wait(lock, [&] {
          if (stopped_) return true;
          for (const auto& i : queue_)
            if (!i->started) return true;
          return false;
        });
        if (stopped_) return;
        for (const auto& i : queue_) {
          if (!i->started) {
            image = i;
            break;
          }
        }
        image->started = true;
      }
      Read(*image, *decoder);
    }
  }

  const uint8_t* data_;
  size_t size_;
  Palette* global_;
  const Timing timing_;
  size_t window_;

  // The scout, on the calling thread.
  size_t scoutAt_ = 0;
  uint64_t scoutUsed_ = 0;
  size_t scoutGce_ = kNoOffset;
  uint8_t scoutGceBytes_[6] = {};
  size_t lastSkippedTo_ = kNoOffset;

  std::mutex mutex_;
  std::condition_variable wake_, finished_;
  std::deque<std::shared_ptr<AheadImage>> queue_;
  bool scouting_ = false;
  bool stopped_ = false;
  std::vector<std::thread> workers_;
};

int DecoderThreadsFor(size_t fileSize) {
  int wanted = decoderThreads.load();
  if (wanted > 0) return wanted;
  if (fileSize < kThreadedFileSize) return 1;
  return std::max(2, static_cast<int>(std::thread::hardware_concurrency()));
}

}  // namespace

void SetGifDecoderThreads(int threads) { decoderThreads.store(std::max(0, threads)); }

GifReadStatus ReadGifBlocks(Animation& animation, GifSource& file, const Timing& timing,
                            ProgressMeter* progress, std::vector<int>* messages) {
  // Full: the frame count reached its ceiling; the open flow says so.
  enum class End { Running, Complete, Error, Failed, Full };
  ProgressSetRange(progress, static_cast<uint32_t>(std::min<size_t>(file.Size(), UINT32_MAX)));
  Block* last = animation.blocks;
  std::unique_ptr<Frame> pending;
  std::unique_ptr<LzwDecoder> decoder;
  try {
    decoder = std::make_unique<LzwDecoder>();
  } catch (const std::bad_alloc&) {
    return GifReadStatus::Failed;
  }
  const int threads = DecoderThreadsFor(file.Size() - file.Offset());
  std::unique_ptr<ImagesAhead> ahead;
  if (threads > 1) {
    try {
      ahead = std::make_unique<ImagesAhead>(file, animation.globalPalette.get(), timing, threads);
      ahead->Restart(file.Offset(), bytesRead);
    } catch (const std::exception&) {
      ahead.reset();
    }
  }
  size_t pendingOffset = kNoOffset;  // where the pending control extension's bytes are
  auto link = [&](Block* block) {
    InsertBlockAfter(last, block);
    last = block;
  };

  End end = End::Running;
  bool cancelled = false;
  while (end == End::Running) {
    int b = file.ReadByte();
    bool linked = false;
    switch (b) {
      case 0x00: continue;
      case 0x21: {
        int label = file.ReadByte();
        if (label >= 0 && label != 0xF9) {
          // Labels other than the four known ones are kept as read: decoders skip them.
          Block* block = nullptr;
          if (!ReadExtension(animation, file, label, &block)) {
            end = End::Error;
          } else if (block) {
            link(block);
            linked = true;
          }
        } else if (label == 0xF9) {
          uint8_t gce[6];
          pendingOffset = file.Offset();
          if (!file.Read(gce, sizeof gce)) {
            end = End::Error;
            break;
          }
          pending.reset(FrameFromControlExtension(gce, timing));
          if (!pending) end = End::Failed;
        } else {
          end = End::Error;  // end of file
        }
        break;
      }
      case 0x2C: {
        if (animation.frameCount == INT16_MAX) {
          // The frame count is a 16-bit number; keep what fits.
          end = End::Full;
          break;
        }
        const size_t imageOffset = file.Offset() - 1;
        const size_t gceOffset = pending ? pendingOffset : kNoOffset;
        std::unique_ptr<Frame> frame(pending ? pending.release()
                                             : FrameFromControlExtension(nullptr, timing));
        if (!frame) {
          end = End::Failed;
          break;
        }
        size_t dataEnd = 0;
        uint64_t bytes = 0;
        std::unique_ptr<Frame> read;
        if (ahead)
          read = ahead->Take(imageOffset, gceOffset, bytesRead, *decoder, &dataEnd, &bytes);
        if (read) {
          frame = std::move(read);
          file.Seek(dataEnd);
          bytesRead += bytes;
        } else if (int cause = ReadImage(animation, frame.get(), file, *decoder)) {
          frame.reset();
          NoteReadFailure(cause, animation.frameCount, messages);
          return animation.frameCount == 0 ? GifReadStatus::Failed : GifReadStatus::Partial;
        }
        if (ahead) ahead->Continue(file.Offset(), bytesRead, read != nullptr);
        ++animation.frameCount;
        link(frame.release());
        linked = true;
        break;
      }
      case 0x3B: end = End::Complete; break;
      default:  // end of file or a byte that starts no block
        end = End::Error;
        break;
    }
    if (linked && end == End::Running &&
        !ProgressSetPosition(progress,
                             static_cast<uint32_t>(std::min<size_t>(file.Offset(), UINT32_MAX)))) {
      cancelled = true;
      break;
    }
  }

  pending.reset();
  if (end == End::Full) return GifReadStatus::Partial;
  if (end == End::Error || end == End::Failed) {
    NoteReadFailure(end == End::Error ? kMsgDamaged : 0, animation.frameCount, messages);
    return animation.frameCount == 0 ? GifReadStatus::Failed : GifReadStatus::Partial;
  }
  return cancelled ? GifReadStatus::Partial : GifReadStatus::Done;
}

GifReadStatus ReadGif(GifSource& file, ProgressMeter* progress, AnimationPtr* out,
                      const GifReadOptions& options, std::vector<int>* messages) {
  out->reset();
  uint32_t oldFlags = ProgressFlags(progress);
  ProgressSetFlags(progress, oldFlags & ~progress::NoPump);
  if (const char* text = LoadResText(kMsgReading)) ProgressSetText(progress, text);
  struct RestoreFlags {
    ProgressMeter* meter;
    uint32_t flags;
    ~RestoreFlags() { ProgressSetFlags(meter, flags); }
  } restore{progress, oldFlags};

  bytesRead = 0;
  AnimationPtr animation = NewAnimation();
  if (!animation) return GifReadStatus::Failed;
  uint8_t screen[7];
  if (!file.Read(screen, sizeof screen)) {
    NoteReadFailure(kMsgDamaged, 0, messages);
    return GifReadStatus::Failed;
  }
  animation->screenWidth = Le16(screen);
  animation->screenHeight = Le16(screen + 2);
  animation->playCount = 1;
  animation->frameCount = 0;
  animation->screenFlags = screen[4];
  animation->aspectByte = screen[6];
  animation->colourUsage.fill(0);
  if (screen[4] & 0x80) {
    int code = screen[4] & 7;
    int n = 2 << code;
    if (((screen[4] >> 4) & 7) < code)
      animation->screenFlags = static_cast<uint8_t>((screen[4] & 0x8F) | (code << 4));
    animation->backgroundIndex = screen[5] < n ? screen[5] : 0;
    const uint8_t* triples = file.Take(static_cast<size_t>(3 * n));
    if (!triples) {
      NoteReadFailure(kMsgDamaged, 0, messages);
      return GifReadStatus::Failed;
    }
    animation->globalPalette = PaletteFromTriples(n, triples);
    if (!animation->globalPalette) return GifReadStatus::Failed;
  } else {
    animation->backgroundIndex = 0;
  }

  GifReadStatus status = ReadGifBlocks(*animation, file, options.timing, progress, messages);
  if (status == GifReadStatus::Failed) return GifReadStatus::Failed;

  bool clearedInterlace = false;
  if (!options.keepInterlace) {
    for (Frame* f = FirstFrame(*animation); f; f = NextFrame(f)) {
      if (f->Interlaced()) {
        f->descriptorFlags &= static_cast<uint8_t>(~0x40);
        clearedInterlace = true;
      }
    }
  }
  if (status == GifReadStatus::Done) {
    if (!clearedInterlace && file.Size() <= INT32_MAX)
      animation->encodedSizeCache = static_cast<int32_t>(file.Size());
    // The screen grows to hold every frame, but never past what its 16-bit fields store nor
    // past a picture that memory can hold: a tiny frame far out would otherwise make every
    // view of the screen huge. Frames it cannot hold stay where they are, as those left of it.
    Extent extent = FramesExtent(*animation);
    int64_t width =
        std::min<int64_t>(std::max<int64_t>(animation->screenWidth, extent.right), 0xFFFF);
    int64_t height =
        std::min<int64_t>(std::max<int64_t>(animation->screenHeight, extent.bottom), 0xFFFF);
    if (PictureFitsBudget(static_cast<uint64_t>(width), static_cast<uint64_t>(height),
                          kScreenBytesPerPixel)) {
      animation->screenWidth =
          static_cast<uint32_t>(std::max<int64_t>(width, animation->screenWidth));
      animation->screenHeight =
          static_cast<uint32_t>(std::max<int64_t>(height, animation->screenHeight));
    }
  }
  *out = std::move(animation);
  return status;
}

GifReadStatus ReadGifMemory(const uint8_t* data, size_t size, ProgressMeter* progress,
                            AnimationPtr* out, const GifReadOptions& options,
                            std::vector<int>* messages) {
  out->reset();
  GifSource file(data, size);
  if (!IsGifFile(file)) return GifReadStatus::Failed;
  return ReadGif(file, progress, out, options, messages);
}

void NameFramesFromFile(Animation& animation, const std::string& path) {
  size_t slash = path.find_last_of('/');
  std::string base = slash == std::string::npos ? path : path.substr(slash + 1);
  const char* format = LoadResText(kMsgFrameName);
  std::string pattern = format ? format : "%s - cadre %d";
  int index = 0;
  for (Frame* f = FirstFrame(animation); f; f = NextFrame(f)) {
    ++index;
    if (f->nameAtom) continue;
    if (animation.frameCount == 1) {
      SetFrameName(f, base);
    } else {
      char name[MaxNameLength + 1];
      std::snprintf(name, sizeof name, pattern.c_str(), base.c_str(), index);
      SetFrameName(f, name);
    }
  }
}

}  // namespace lw
