#include "core/lzw_lossy.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <new>
#include <vector>

namespace lw {

namespace {

constexpr int kHashSize = 5003;
constexpr int kMaxCode = 4096;
constexpr uint16_t kNone = 0xFFFF;

// The exact encoder's dictionary, entry for entry: a trie to walk strings with, and beside it
// the exact encoder's own hash table, kept only for its one quirk. The entry for key 0 (pixel 0
// after code 0) is lost there when a later entry lands on its slot; the trie must lose it too,
// or the exact encoder would not find the strings chosen here.
struct Dictionary {
  uint32_t slots[kHashSize];  // key << 12 | code, 0 when empty
  uint16_t firstChild[kMaxCode];
  uint16_t nextSibling[kMaxCode];
  uint16_t parent[kMaxCode];
  uint8_t pixel[kMaxCode];
  int nextFree = 0;

  void Reset(int clearCode) {
    std::memset(slots, 0, sizeof slots);
    for (int c = 0; c < clearCode; ++c) {
      firstChild[c] = kNone;
      pixel[c] = static_cast<uint8_t>(c);
    }
    nextFree = clearCode + 2;
  }

  void Unlink(int code) {
    uint16_t* link = &firstChild[parent[code]];
    while (*link != kNone && *link != code) link = &nextSibling[*link];
    if (*link == code) *link = nextSibling[code];
  }

  // prefix's string followed by p, as the next free code, in the slot the exact encoder uses.
  void Add(int prefix, int p) {
    const uint32_t key = (static_cast<uint32_t>(p) << 12) + static_cast<uint32_t>(prefix);
    int h = (p << 4) ^ prefix;
    if (slots[h] != 0) {
      const int d = h == 0 ? 1 : kHashSize - h;
      do {
        h -= d;
        if (h < 0) h += kHashSize;
      } while (slots[h] >= 4096);
    }
    if (slots[h] != 0) Unlink(static_cast<int>(slots[h] & 0xFFF));
    const int code = nextFree++;
    slots[h] = key << 12 | static_cast<uint32_t>(code);
    pixel[code] = static_cast<uint8_t>(p);
    parent[code] = static_cast<uint16_t>(prefix);
    firstChild[code] = kNone;
    nextSibling[code] = firstChild[prefix];
    firstChild[prefix] = static_cast<uint16_t>(code);
  }
};

// A string tried during the search. The entry still to be made (the last code's string and
// the first pixel of this one) is tried too: the exact encoder has it when it walks this string.
// carried: the colour error so far along the string (red, green, blue), which the next pixels
// must make up for.
struct Step {
  int code;
  uint32_t length;
  uint64_t error;
  bool newEntry;
  int16_t carried[3];
};

// Whether q may stand for source pixel s after the pixels before it in the string left the
// error carried: the pixel's own error, with all or half of the carried one added, must stay
// within the tolerance. A shift that repeats along a string so adds up and is refused after a
// few pixels, while lone pixels may still take the whole tolerance: on a flat area or a gradient
// a constant shift shows far more (and costs far more in squared error) than scattered ones.
// The error then carried is this pixel's and three quarters of the one before.
bool CarriedNear(const uint8_t* rgbS, const uint8_t* rgbQ, const int16_t* carried, uint32_t limit30,
                 uint32_t* cost30, int16_t* next) {
  int whole[3], half[3];
  for (int c = 0; c < 3; ++c) {
    const int own = rgbS[c] - rgbQ[c];
    whole[c] = own + carried[c];
    half[c] = own + carried[c] / 2;
    next[c] = static_cast<int16_t>(std::clamp(own + carried[c] * 3 / 4, -1024, 1024));
  }
  const auto weighed = [](const int* e) {
    return static_cast<uint32_t>(2 * e[0] * e[0] + 4 * e[1] * e[1] + 3 * e[2] * e[2]);
  };
  *cost30 = std::min(weighed(whole), weighed(half));
  return *cost30 <= limit30;
}

struct Work {
  Dictionary dict;
  std::vector<uint8_t> near;       // near[s * clear + q]: q may stand for source pixel s
  std::vector<uint32_t> distance;  // distance[s * clear + q], 30 times the distance
  std::vector<Step> stack;
};

void BuildTables(const LossyLzwInput& in, int clear, Work* w) {
  w->near.assign(static_cast<size_t>(clear) * clear, 0);
  w->distance.assign(static_cast<size_t>(clear) * clear, 0);
  for (int s = 0; s < clear; ++s) {
    for (int q = 0; q < clear; ++q) {
      bool ok = s == q;
      uint32_t d = 0;
      const bool coloured = s < in.colours && q < in.colours && s != in.transparent &&
                            q != in.transparent && in.tolerance > 0;
      if (!ok && coloured) {
        d = LossyDistance30(in.rgb + 3 * s, in.rgb + 3 * q);
        ok = d <= static_cast<uint32_t>(in.tolerance) * 30;
      }
      if (!ok) continue;
      w->near[static_cast<size_t>(s) * clear + q] = 1;
      w->distance[static_cast<size_t>(s) * clear + q] = d;
    }
  }
}

}  // namespace

uint64_t LossyLzwPixels(const LossyLzwInput& in, uint8_t* out) {
  if (!in.pixels || !out || in.count == 0 || in.codeSize < 2 || in.codeSize > 8) return 0;
  if (in.colours < 0 || in.colours > 256 || (in.colours > 0 && !in.rgb)) return 0;
  if (in.tolerance < 0 || in.tolerance > LossyMaxTolerance) return 0;
  const int clear = 1 << in.codeSize;
  for (size_t i = 0; i < in.count; ++i)
    if (in.pixels[i] >= clear) return 0;

  std::unique_ptr<Work> work;
  try {
    work = std::make_unique<Work>();
    BuildTables(in, clear, work.get());
    work->stack.reserve(2 * kMaxCode);
  } catch (const std::bad_alloc&) {
    return 0;
  }
  Dictionary& dict = work->dict;
  const uint8_t* const src = in.pixels;
  const uint8_t* const near = work->near.data();
  const uint32_t* const distance = work->distance.data();
  const uint32_t limit30 = static_cast<uint32_t>(in.tolerance) * 30;
  std::vector<Step>& stack = work->stack;

  // Code widths as the exact encoder grows and resets them, for the size.
  const int initBits = in.codeSize + 1;
  int n = initBits;
  int maxCode = (1 << n) - 1;
  bool clearFlag = false;
  uint64_t bits = 0;
  auto emit = [&] {
    bits += static_cast<uint64_t>(n);
    if (clearFlag) {
      n = initBits;
      maxCode = (1 << n) - 1;
      clearFlag = false;
    } else if (dict.nextFree > maxCode) {
      ++n;
      maxCode = n == 12 ? kMaxCode : (1 << n) - 1;
    }
  };

  dict.Reset(clear);
  emit();                // the clear code
  bool pending = false;  // the entry for the last code waits for this string's first pixel
  int lastCode = 0;
  size_t pos = 0;
  while (pos < in.count) {
    // Every string starts with its source pixel itself, as gifsicle's do: the error stays lower
    // for the same tolerance, and the search is a quarter as long.
    const int root = src[pos];
    const size_t left = in.count - pos;
    Step best{root, 1, 0, false, {0, 0, 0}};
    stack.clear();
    stack.push_back(best);
    // A step to pixel q for source pixel s: exact, or near with the error carried so far.
    const auto tryStep = [&](const Step& at, int s, int q, int code, bool newEntry) {
      const size_t k = static_cast<size_t>(s) * clear + q;
      if (!near[k]) return;
      Step next{code, at.length + 1, at.error, newEntry, {0, 0, 0}};
      if (s == q || distance[k] == 0) {
        for (int c = 0; c < 3; ++c) next.carried[c] = static_cast<int16_t>(at.carried[c] * 3 / 4);
      } else {
        uint32_t cost = 0;
        if (!CarriedNear(in.rgb + 3 * s, in.rgb + 3 * q, at.carried, limit30, &cost, next.carried))
          return;
        next.error += cost;
      }
      stack.push_back(next);
    };
    while (!stack.empty()) {
      const Step at = stack.back();
      stack.pop_back();
      if (at.length > best.length || (at.length == best.length && at.error < best.error)) best = at;
      if (at.newEntry || at.length >= left) continue;
      const int s = src[pos + at.length];
      for (uint16_t c = dict.firstChild[at.code]; c != kNone; c = dict.nextSibling[c])
        tryStep(at, s, dict.pixel[c], c, false);
      if (pending && at.code == lastCode) tryStep(at, s, root, dict.nextFree, true);
    }

    // The chosen string's pixels, from its last one back.
    uint8_t* dst = out + pos;
    uint32_t k = best.length;
    int code = best.code;
    if (best.newEntry) {
      dst[--k] = static_cast<uint8_t>(root);
      code = lastCode;
    }
    while (k > 0) {
      dst[--k] = dict.pixel[code];
      code = dict.parent[code];
    }
    if (pending) dict.Add(lastCode, dst[0]);
    const int chosen = best.newEntry ? dict.nextFree - 1 : best.code;
    emit();
    pos += best.length;
    pending = false;
    if (pos < in.count) {
      if (dict.nextFree < kMaxCode) {
        pending = true;
        lastCode = chosen;
      } else {
        dict.Reset(clear);
        clearFlag = true;
        emit();
      }
    }
  }
  emit();  // the end code
  const uint64_t bytes = (bits + 7) / 8;
  return 1 + bytes + (bytes + 253) / 254 + 1;
}

}  // namespace lw
