// Pixels that repeat what is already on screen become transparent when that encodes smaller:
// all of them, only the runs where a transparent span breaks fewer LZW strings, or each one as
// the LZW strings around it go best.
#include <algorithm>
#include <bit>
#include <cstring>
#include <memory>
#include <new>
#include <vector>

#include "colour/optimize.h"
#include "colour/optimize_queue.h"
#include "core/gif_writer.h"
#include "core/lzw.h"

namespace lw {

namespace {

// Room for n bytes in a buffer kept for the next frames, dropping what it held when it has to
// grow: it grows by half again at least, so that frames that grow a little at a time do not each
// take fresh pages.
void Reserve(std::vector<uint8_t>* buffer, size_t n) {
  if (buffer->capacity() >= n) return;
  const size_t room = std::max(n, buffer->capacity() / 2 * 3);
  buffer->clear();
  buffer->reserve(room);
}

// The record size of the frame with other pixel rows in place of its own; their LZW data in *lzw.
uint64_t SizeWith(Frame* f, std::vector<uint8_t>& dib, std::vector<uint8_t>* lzw) {
  f->dib.swap(dib);
  uint64_t size = EncodeFrameRecord(f, lzw);
  f->dib.swap(dib);
  return size;
}

// Every unchanged pixel becomes t; returns how many pixels took a new value.
uint64_t AllDuplicates(uint8_t* bits, uint64_t stride, uint32_t w, uint32_t h,
                       const uint8_t* changed, uint8_t t) {
  uint64_t n = 0;
  for (uint32_t y = 0; y < h; ++y) {
    uint8_t* p = bits + y * stride;
    const uint8_t* m = changed + uint64_t{y} * w;
    for (uint32_t x = 0; x < w; ++x) {
      if (!m[x] && p[x] != t) {
        p[x] = t;
        ++n;
      }
    }
  }
  return n;
}

// Only runs of unchanged pixels that interrupt the colour flow become t: a run that continues
// the colour on its left is replaced from where that colour ends, and a run of one colour that
// starts fresh is kept, since it encodes as well as a transparent one.
uint64_t DuplicateRuns(uint8_t* bits, uint64_t stride, uint32_t w, uint32_t h,
                       const uint8_t* changed, uint8_t t) {
  uint64_t n = 0;
  for (uint32_t y = 0; y < h; ++y) {
    uint8_t* p = bits + y * stride;
    const uint8_t* m = changed + uint64_t{y} * w;
    uint32_t x = 0;
    while (x < w) {
      if (m[x]) {
        ++x;
        continue;
      }
      uint32_t a = x, b = x;
      while (b < w && !m[b]) ++b;
      x = b + 1;
      if (b - a == 1) continue;
      uint32_t start = a;
      if (a > 0 && p[a - 1] == p[a]) {
        uint8_t c = p[a];
        while (start < b && p[start] == c) ++start;
        if (start >= b) continue;
      } else {
        uint32_t k = a + 1;
        while (k < b && p[k] == p[a]) ++k;
        if (k == b) continue;
      }
      for (uint32_t k = start; k < b; ++k) {
        if (p[k] != t) {
          p[k] = t;
          ++n;
        }
      }
    }
  }
  return n;
}

// Chooses, for every pixel the screen already shows, between its own colour and t so that each
// LZW string runs as far as the dictionary built so far allows: at each string start it looks
// ahead along both choices (within a budget) and keeps the longest match. Ties go to t inside
// long stretches of free pixels, whose transparent runs later strings can follow, and to the
// pixel's own colour in short gaps. The encoder's parse of the result follows the same strings,
// so its dictionary grows the way the choices assumed.
class FlexibleParse {
 public:
  // What may become of each pixel: kept as it is (kFixed), or free to be t, preferably where it
  // starts a long stretch of free pixels, whose transparent runs later strings can follow; in a
  // short gap between kept pixels the gap's own colours break fewer strings.
  static constexpr uint8_t kFixed = 0, kShortGap = 1, kLongGap = 2;
  static constexpr uint32_t kLongRun = 8;

  // px (n pixels in encoding order) is changed in place where fixed is not kFixed. Returns the
  // bytes of LZW codes it makes of the result (sub-blocks aside); with codes, the codes themselves
  // are packed there too. They are the encoder's, except where the encoder's table has lost the
  // entry of key 0 (pixel 0 after string 0) and the parse still follows it.
  uint64_t Run(uint8_t* px, const uint8_t* fixed, size_t n, int codeSize, uint8_t t,
               std::vector<uint8_t>* codes) {
    px_ = px;
    fixed_ = fixed;
    n_ = n;
    t_ = t;
    clear_ = 1 << codeSize;
    const int firstWidth = codeSize + 1;
    int width = firstWidth, top = (1 << width) - 1;
    uint64_t bits = 0;
    packed_ = codes;
    if (packed_) {
      packed_->clear();
      // About what the frame's data will need, so that it grows only rarely.
      Reserve(packed_, n / 2 + 64);
    }
    acc_ = 0;
    accBits_ = 0;
    Put(clear_, width, &bits);  // the data starts with a clear code
    Reset();
    size_t at = 0;
    int code = -1;  // the string before, whose entry the next root completes
    while (at < n) {
      const uint8_t o = px_[at];
      bestLen_ = 0;
      int root = o;
      if (fixed_[at] != kFixed && o != t_) {
        // The preferred choice is tried first and kept on a tie.
        const uint8_t first = PreferT(at) ? t_ : o, second = first == t_ ? o : t_;
        root = first;
        TryRoot(at, code, first);
        const size_t withFirst = bestLen_;
        std::memcpy(kept_, best_, withFirst);
        const int keptCode = bestCode_;
        TryRoot(at, code, second);
        if (bestLen_ > withFirst) {
          root = second;
        } else {
          bestLen_ = withFirst;
          bestCode_ = keptCode;
          std::memcpy(best_, kept_, withFirst);
        }
      } else {
        TryRoot(at, code, o);
      }
      if (code >= 0) Add(code, static_cast<uint8_t>(root));
      std::memcpy(px_ + at, best_, bestLen_);
      at += bestLen_;
      code = bestCode_;
      Put(code, width, &bits);  // the string's code, with the width the encoder has then
      if (nextFree_ >= kCodes && at < n) {
        // The encoder clears its table here, unless the data ends: the next string starts afresh.
        Put(clear_, width, &bits);
        width = firstWidth;
        top = (1 << width) - 1;
        Reset();
        code = -1;
      } else if (nextFree_ > top) {
        ++width;
        top = width == 12 ? kCodes : (1 << width) - 1;
      }
    }
    Put(clear_ + 1, width, &bits);  // the end code
    if (packed_) {
      for (; accBits_ > 0; accBits_ -= 8, acc_ >>= 8)
        packed_->push_back(static_cast<uint8_t>(acc_));
    }
    return (bits + 7) / 8;
  }

 private:
  static constexpr int kCodes = 4096;
  static constexpr int kSlotBits = 13;
  static constexpr uint32_t kSlotMask = (1u << kSlotBits) - 1;
  static constexpr int kBudget = 16;  // forks followed both ways, per root
  static constexpr uint16_t kNone = 0xFFFF;

  void Put(int code, int width, uint64_t* bits) {
    *bits += width;
    if (!packed_) return;
    acc_ |= static_cast<uint64_t>(code) << accBits_;
    accBits_ += width;
    while (accBits_ >= 8) {
      packed_->push_back(static_cast<uint8_t>(acc_));
      acc_ >>= 8;
      accBits_ -= 8;
    }
  }

  void Reset() {
    std::memset(slots_, 0, sizeof slots_);
    std::fill_n(lastPixel_, kCodes, kNone);
    std::fill_n(children_, kCodes, 0);
    nextFree_ = clear_ + 2;
  }
  bool PreferT(size_t at) const { return fixed_[at] == kLongGap; }
  static uint32_t Key(int code, uint8_t p) { return (static_cast<uint32_t>(code) << 8) | p; }
  static uint32_t Home(uint32_t key) { return (key * 0x9E3779B1u) >> (32 - kSlotBits); }

  // The code for string code + p, or -1. Slots hold key << 12 | code (codes are never 0).
  int Find(int code, uint8_t p) const {
    if (lastPixel_[code] == p) return lastCode_[code];
    // Most strings are extended one way only: the hash is asked only about the others.
    if (children_[code] <= 1) return -1;
    const uint32_t key = Key(code, p);
    for (uint32_t h = Home(key);; h = (h + 1) & kSlotMask) {
      const uint32_t s = slots_[h];
      if (s == 0) return -1;
      if ((s >> 12) == key) return static_cast<int>(s & 0xFFF);
    }
  }
  // Adds the next code for code + p; returns its slot.
  uint32_t Add(int code, uint8_t p) {
    const uint32_t key = Key(code, p);
    uint32_t h = Home(key);
    while (slots_[h] != 0) h = (h + 1) & kSlotMask;
    slots_[h] = (key << 12) | static_cast<uint32_t>(nextFree_);
    lastPixel_[code] = p;
    lastCode_[code] = static_cast<uint16_t>(nextFree_);
    ++children_[code];
    lastPixel_[nextFree_] = kNone;
    children_[nextFree_] = 0;
    ++nextFree_;
    return h;
  }

  // The longest string from root r at position at, with the entry the root completes in the
  // table meanwhile (the encoder adds it before it reads on).
  void TryRoot(size_t at, int code, uint8_t r) {
    const bool add = code >= 0;
    uint16_t pixelBefore = 0, codeBefore = 0;
    uint32_t slot = 0;
    if (add) {
      pixelBefore = lastPixel_[code];
      codeBefore = lastCode_[code];
      slot = Add(code, r);
    }
    budget_ = kBudget;
    path_[0] = r;
    Search(at + 1, r, 1);
    if (add) {
      // The last entry added sits at the end of its probe chain: taking it out restores the
      // table exactly.
      slots_[slot] = 0;
      --nextFree_;
      lastPixel_[code] = pixelBefore;
      lastCode_[code] = codeBefore;
      --children_[code];
    }
  }

  void Search(size_t at, int code, size_t len) {
    // Along one choice only, no recursion is needed.
    while (at < n_) {
      const uint8_t o = px_[at];
      const bool free = fixed_[at] != kFixed && o != t_;
      const int viaT = free ? Find(code, t_) : -1;
      const int viaO = Find(code, o);
      if (viaT < 0 && viaO < 0) break;
      const bool preferT = viaT >= 0 && (viaO < 0 || PreferT(at));
      if (viaT >= 0 && viaO >= 0 && budget_ > 0) {
        --budget_;
        path_[len] = preferT ? t_ : o;
        Search(at + 1, preferT ? viaT : viaO, len + 1);
        if (budget_ <= 0) return;
        path_[len] = preferT ? o : t_;
        Search(at + 1, preferT ? viaO : viaT, len + 1);
        return;
      }
      path_[len++] = preferT ? t_ : o;
      code = preferT ? viaT : viaO;
      ++at;
    }
    if (len > bestLen_) {
      bestLen_ = len;
      bestCode_ = code;
      std::memcpy(best_, path_, len);
    }
  }

  std::vector<uint8_t>* packed_ = nullptr;
  uint64_t acc_ = 0;
  int accBits_ = 0;
  uint8_t* px_ = nullptr;
  const uint8_t* fixed_ = nullptr;
  size_t n_ = 0;
  uint8_t t_ = 0;
  int clear_ = 0;
  int nextFree_ = 0;
  int budget_ = 0;
  size_t bestLen_ = 0;
  int bestCode_ = -1;
  uint32_t slots_[1u << kSlotBits];
  uint16_t lastPixel_[kCodes];  // the child each code was last extended by, or kNone
  uint16_t lastCode_[kCodes];
  uint16_t children_[kCodes];  // how many strings extend each code
  // A string is at most one pixel longer than the number of codes.
  uint8_t path_[kCodes + 1];
  uint8_t best_[kCodes + 1];
  uint8_t kept_[kCodes + 1];
};

}  // namespace

uint64_t FlexibleDuplicates(uint8_t* bits, uint64_t stride, uint32_t w, uint32_t h,
                            const uint8_t* changed, uint8_t t, int codeSize, bool interlaced,
                            uint64_t* dataBytes, std::vector<uint8_t>* data) {
  const size_t n = size_t{w} * h;
  // Kept per thread: freed and taken again for every frame, their pages would come back to the
  // system and fault in anew each time.
  thread_local std::vector<uint8_t> seq, fixed, codes;
  seq.resize(n);  // every byte is written below
  fixed.resize(n);
  std::vector<uint32_t> rows;
  rows.reserve(h);
  ForEachRowInOrder(h, interlaced, [&](uint32_t r) { rows.push_back(r); });
  for (size_t i = 0; i < rows.size(); ++i)
    std::memcpy(seq.data() + i * w, bits + rows[i] * stride, w);
  // Free pixels marked by the length of the free stretch they start (across rows, as the
  // encoder reads them).
  uint32_t run = 0;
  if (!changed) std::memset(fixed.data(), FlexibleParse::kFixed, n);
  for (size_t i = changed ? rows.size() : 0; i-- > 0;) {
    const uint8_t* m = changed + uint64_t{rows[i]} * w;
    uint8_t* out = fixed.data() + i * w;
    for (uint32_t x = w; x-- > 0;) {
      run = m[x] ? 0 : run + 1;
      out[x] = m[x]                             ? FlexibleParse::kFixed
               : run >= FlexibleParse::kLongRun ? FlexibleParse::kLongGap
                                                : FlexibleParse::kShortGap;
    }
  }
  // Its tables are set up by Run; one per thread, kept, as frames come by the thousand.
  thread_local std::unique_ptr<FlexibleParse> parse;
  if (!parse) parse.reset(new FlexibleParse);
  const uint64_t codeBytes =
      parse->Run(seq.data(), fixed.data(), n, codeSize, t, data ? &codes : nullptr);
  // The code size byte, a length byte per sub-block of 254, and the terminator.
  if (dataBytes) *dataBytes = 1 + codeBytes + (codeBytes + 253) / 254 + 1;
  if (data) {
    data->clear();
    if (!codes.empty()) {
      data->reserve(codes.size() + codes.size() / 254 + 3);
      data->push_back(static_cast<uint8_t>(codeSize));
      for (size_t at = 0; at < codes.size(); at += 254) {
        const size_t len = std::min<size_t>(254, codes.size() - at);
        data->push_back(static_cast<uint8_t>(len));
        data->insert(data->end(), codes.begin() + static_cast<std::ptrdiff_t>(at),
                     codes.begin() + static_cast<std::ptrdiff_t>(at + len));
      }
      data->push_back(0);
    }
  }
  uint64_t count = 0;
  for (size_t i = 0; i < rows.size(); ++i) {
    uint8_t* row = bits + rows[i] * stride;
    const uint8_t* from = seq.data() + i * w;
    for (uint32_t x = 0; x < w; ++x) count += row[x] != from[x];
    std::memcpy(row, from, w);
  }
  return count;
}

int ChooseTransparentIndex(const bool* used, int entries, int preferred, int smallBits) {
  entries = std::clamp(entries, 0, 256);
  if (preferred >= 0 && preferred < entries && !used[preferred] &&
      (smallBits == 0 || preferred < (1 << smallBits)))
    return preferred;
  if (smallBits > 0) {
    for (int i = std::min(entries, 1 << smallBits) - 1; i >= 0; --i)
      if (!used[i]) return i;
  }
  for (int i = entries - 1; i >= 0; --i)
    if (!used[i]) return i;
  return -1;
}

uint8_t SmallestCodeSize(const Frame& f) {
  const uint8_t* bits = f.bits();
  if (!bits || !f.width || !f.height || f.DibWidth() < f.width || f.DibHeight() < f.height)
    return 0;
  const uint64_t stride = IndexStride(f.DibWidth());
  if (f.dib.size() - DibBitsOffset < stride * f.height) return 0;
  uint8_t top = 0;
  for (uint32_t y = 0; y < f.height; ++y) {
    const uint8_t* row = bits + y * stride;
    top = std::max(top, *std::max_element(row, row + f.width));
  }
  return static_cast<uint8_t>(std::max(2, static_cast<int>(std::bit_width(unsigned{top}))));
}

// The code size the writer takes for the frame's pixels as they are.
static int PlainCodeSize(const Frame& f) {
  int size = std::max(2, BitsForColours(f.palette ? std::min(f.palette->Count(), 256) : 256));
  if (f.codeSize >= 2 && f.codeSize <= 8) size = std::min<int>(size, f.codeSize);
  const uint64_t stride = IndexStride(f.width);
  if (!PixelsFitCodeSize(f.bits(), stride, f.width, f.height, size)) return -1;  // raised there
  return size;
}

// With lzw, the LZW data of the image the frame ends with goes there instead of being kept.
static bool TryDuplicates(Frame* f, const uint8_t* changed, bool smallIndex, bool weighed,
                          std::vector<uint8_t>* lzw) {
  if (!f || !changed || !f->bits()) return false;
  const uint32_t w = f->width, h = f->height;
  if (f->DibWidth() != w || f->DibHeight() != h) return false;
  const uint64_t stride = IndexStride(w);
  if (f->dib.size() - DibBitsOffset < stride * h) return false;

  int t = -1;
  if (f->Transparent()) {
    t = f->transparentIndex;
  } else {
    bool used[256] = {};
    const uint8_t* bits = f->bits();
    // Unconditional stores (unchanged pixels go to a spare slot) keep the loop free of
    // read-modify-write chains.
    bool marks[257] = {};
    for (uint32_t y = 0; y < h; ++y) {
      const uint8_t* p = bits + y * stride;
      const uint8_t* m = changed + uint64_t{y} * w;
      for (uint32_t x = 0; x < w; ++x) marks[m[x] ? p[x] : 256] = true;
    }
    std::memcpy(used, marks, sizeof used);
    int entries = f->palette ? std::min(f->palette->Count(), 256) : 256;
    int smallBits = 0;
    if (smallIndex) {
      int top = 0;
      for (int i = 0; i < 256; ++i)
        if (used[i]) top = i;
      smallBits = std::max(2, static_cast<int>(std::bit_width(unsigned(top))));
    }
    t = ChooseTransparentIndex(used, entries, -1, smallBits);
    if (t < 0) return false;
  }
  const uint8_t T = static_cast<uint8_t>(t);
  // The code size the frame is written with, which sets when the encoder's table fills.
  int codeSize = std::max(2, BitsForColours(f->palette ? std::min(f->palette->Count(), 256) : 256));
  if (f->codeSize >= 2 && f->codeSize <= 8) codeSize = std::min<int>(codeSize, f->codeSize);
  codeSize = std::max<int>(codeSize, std::bit_width(unsigned{T}));

  bool taken = false;
  if (!weighed) {
    // The flexible choice, sized by the parse itself without an encoding. Where most pixels
    // are free it only has to beat all of them transparent, and surely beats the frame as it
    // is; where few are, transparency has little to win and is not tried; in between, it must
    // beat the frame as it is, whose encoding then serves the write.
    uint64_t free = 0;
    const uint64_t all = uint64_t{w} * h;
    for (uint64_t i = 0; i < all; ++i) free += changed[i] == 0;
    if (8 * free < all) return false;
    try {
      // The variants are tried in buffers kept per thread, and the winner is copied over the
      // frame's own: its pages are already there, where a buffer handed over for good would
      // leave its thread to find fresh ones for the next frame.
      thread_local std::vector<uint8_t> flexible, allOf;
      Reserve(&flexible, f->dib.size());
      flexible.assign(f->dib.begin(), f->dib.end());
      std::vector<uint8_t> allData, plainData, flexibleData;
      uint64_t flexibleSize = UINT64_MAX, allSize = UINT64_MAX, plainSize = UINT64_MAX;
      const bool anyFlexible =
          FlexibleDuplicates(flexible.data() + DibBitsOffset, stride, w, h, changed, T, codeSize,
                             f->Interlaced(), &flexibleSize, &flexibleData) != 0;
      if (!anyFlexible) flexibleSize = UINT64_MAX;
      // Encoding costs less than the parse, and the winner's data serves the write. All of
      // them transparent wins only where most pixels are free; elsewhere the frame as it is
      // is the one to beat.
      const bool mostlyFree = 2 * free >= all;
      if (mostlyFree) {
        Reserve(&allOf, f->dib.size());
        allOf.assign(f->dib.begin(), f->dib.end());
      }
      if (mostlyFree && AllDuplicates(allOf.data() + DibBitsOffset, stride, w, h, changed, T) > 0 &&
          SizeWith(f, allOf, &allData) != 0 && !allData.empty())
        allSize = allData.size();
      if (!mostlyFree && !anyFlexible && !flexibleData.empty() && PlainCodeSize(*f) == codeSize) {
        // Nothing changed: the parse's codes encode the frame as it is.
        plainData.swap(flexibleData);
        plainSize = plainData.size();
      } else if (!mostlyFree && EncodeFrameRecord(f, &plainData) != 0 && !plainData.empty()) {
        plainSize = plainData.size();
      }
      std::vector<uint8_t>* keep = &plainData;
      if (flexibleSize < allSize && flexibleSize < plainSize) {
        std::memcpy(f->dib.data(), flexible.data(), f->dib.size());
        keep = &flexibleData;  // the parse's own codes, written as they are
        taken = true;
      } else if (allSize < plainSize) {
        std::memcpy(f->dib.data(), allOf.data(), f->dib.size());
        keep = &allData;
        taken = true;
      }
      if (keep && lzw)
        lzw->swap(*keep);
      else if (keep)
        KeepFrameData(f, std::move(*keep));
    } catch (const std::bad_alloc&) {
      return false;  // the frame keeps what it has: nothing was written over yet
    }
  } else {
    std::vector<uint8_t> bestData, data;
    uint64_t best = EncodeFrameRecord(f, &bestData);
    if (best == 0) return false;
    try {
      const std::vector<uint8_t> original = f->dib;
      std::vector<uint8_t> variant;
      auto weigh = [&](uint64_t changedPixels) {
        if (changedPixels == 0) return;
        uint64_t size = SizeWith(f, variant, &data);
        if (size != 0 && size < best) {
          f->dib.swap(variant);
          bestData.swap(data);
          best = size;
          taken = true;
        }
      };
      variant = original;
      weigh(AllDuplicates(variant.data() + DibBitsOffset, stride, w, h, changed, T));
      variant = original;
      weigh(DuplicateRuns(variant.data() + DibBitsOffset, stride, w, h, changed, T));
      variant = original;
      weigh(FlexibleDuplicates(variant.data() + DibBitsOffset, stride, w, h, changed, T, codeSize,
                               f->Interlaced(), nullptr));
    } catch (const std::bad_alloc&) {
      // No room for a trial copy: the frame keeps the best image so far.
    }
    if (lzw)
      lzw->swap(bestData);
    else
      KeepFrameData(f, std::move(bestData));
  }
  if (!taken) return false;
  FreeRgbPlane(f);
  SetTransparency(f, false);
  SetTransparentIndex(f, T);
  SetTransparency(f, true);
  return true;
}

bool TryDuplicatesTransparency(Frame* f, const uint8_t* changed, bool smallIndex, bool weighed) {
  return TryDuplicates(f, changed, smallIndex, weighed, nullptr);
}

bool TryDuplicatesTransparencyData(Frame* f, const uint8_t* changed, bool smallIndex, bool weighed,
                                   std::vector<uint8_t>* lzw) {
  if (lzw) lzw->clear();
  return TryDuplicates(f, changed, smallIndex, weighed, lzw);
}

}  // namespace lw
