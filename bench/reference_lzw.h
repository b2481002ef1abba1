// The GIF LZW encoder written as plainly as its rules read, to check the real one's bytes
// against.
#pragma once

#include <algorithm>
#include <cstdint>
#include <vector>

namespace lw::test {

// The encoder written as plainly as its rules read: signed keys with -1 for an empty slot, a
// double-hashed probe that stops on any key that is not positive (so a slot holding key 0 stops
// it and takes the next entry), and 254-byte sub-blocks. Counts the key-0 entries it overwrote.
inline std::vector<uint8_t> ReferenceLzw(const std::vector<uint8_t>& px, int c,
                                         int* keyZeroLost = nullptr) {
  std::vector<uint8_t> out = {static_cast<uint8_t>(c)}, packet;
  std::vector<int32_t> keys(5003, -1);
  std::vector<int> codes(5003, 0);
  const int init = c + 1, clear = 1 << c;
  int n = init, maxCode = (1 << n) - 1, next = clear + 2;
  bool clearFlag = false;
  uint32_t acc = 0;
  int bits = 0;
  auto flushPacket = [&] {
    out.push_back(static_cast<uint8_t>(packet.size()));
    out.insert(out.end(), packet.begin(), packet.end());
    packet.clear();
  };
  auto emit = [&](int code) {
    acc |= static_cast<uint32_t>(code) << bits;
    for (bits += n; bits >= 8; bits -= 8, acc >>= 8) {
      packet.push_back(static_cast<uint8_t>(acc));
      if (packet.size() == 254) flushPacket();
    }
    if (clearFlag) {
      n = init;
      maxCode = (1 << n) - 1;
      clearFlag = false;
    } else if (next > maxCode) {
      ++n;
      maxCode = n == 12 ? 4096 : (1 << n) - 1;
    }
  };
  int e = px[0];
  emit(clear);
  for (size_t i = 1; i < px.size(); ++i) {
    const int p = px[i];
    const int32_t k = (p << 12) + e;
    int h = (p << 4) ^ e;
    if (keys[h] == k) {
      e = codes[h];
      continue;
    }
    bool found = false;
    if (keys[h] != -1) {
      const int d = h == 0 ? 1 : 5003 - h;
      do {
        h -= d;
        if (h < 0) h += 5003;
        found = keys[h] == k;
      } while (!found && keys[h] > 0);
    }
    if (found) {
      e = codes[h];
      continue;
    }
    emit(e);
    e = p;
    if (next < 4096) {
      if (keys[h] == 0 && keyZeroLost) ++*keyZeroLost;
      keys[h] = k;
      codes[h] = next++;
    } else {
      std::fill(keys.begin(), keys.end(), -1);
      next = clear + 2;
      clearFlag = true;
      emit(clear);
    }
  }
  emit(e);
  emit(clear + 1);
  if (bits > 0) packet.push_back(static_cast<uint8_t>(acc));
  if (!packet.empty()) flushPacket();
  out.push_back(0);
  return out;
}

}  // namespace lw::test
