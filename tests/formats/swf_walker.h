// A reader of SWF files written apart from the writer: the header, every tag with its length
// checked against the file, the lossless bitmaps inflated, the shapes' outlines and the display
// list frame by frame.
#pragma once

#include <zlib.h>

#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace lw::test {

struct SwfTag {
  int code = -1;
  std::vector<uint8_t> body;
};

struct SwfFile {
  int version = 0;
  std::vector<int32_t> stage;  // x min, x max, y min, y max in twips
  uint16_t frameRate = 0, frameCount = 0;
  std::vector<SwfTag> tags;
};

// Bit fields most significant bit first; Le reads byte-aligned little-endian numbers. Reading
// past the end gives zeros and leaves ok() false.
class BitReader {
 public:
  BitReader(const std::vector<uint8_t>& data, size_t start) : data_(data), pos_(start * 8) {}
  bool ok() const { return pos_ <= data_.size() * 8; }
  size_t BytePos() const { return (pos_ + 7) / 8; }
  uint32_t U(int n) {
    uint32_t v = 0;
    for (int i = 0; i < n; ++i, ++pos_)
      v = (v << 1) | (pos_ / 8 < data_.size() ? (data_[pos_ / 8] >> (7 - pos_ % 8)) & 1 : 0);
    return v;
  }
  int32_t S(int n) {
    uint32_t v = U(n);
    if (n > 0 && n < 32 && (v >> (n - 1)) & 1) v |= ~uint32_t{0} << n;
    return static_cast<int32_t>(v);
  }
  uint32_t Le(int bytes) {
    pos_ = BytePos() * 8;
    uint32_t v = 0;
    for (int i = 0; i < bytes; ++i) v |= U(8) << (8 * i);
    return v;
  }
  std::vector<int32_t> Rect() {
    const int n = static_cast<int>(U(5));
    return {S(n), S(n), S(n), S(n)};
  }

 private:
  const std::vector<uint8_t>& data_;
  size_t pos_;
};

// Empty when the file reads whole: "FWS", the length field matching the size, every tag inside
// the file, as many frames shown as the header counts, End last and nothing after it.
inline std::string WalkSwf(const std::vector<uint8_t>& file, SwfFile* out) {
  if (file.size() < 8 || file[0] != 'F' || file[1] != 'W' || file[2] != 'S') return "signature";
  BitReader r(file, 3);
  out->version = static_cast<int>(r.Le(1));
  if (r.Le(4) != file.size()) return "length field";
  out->stage = r.Rect();
  out->frameRate = static_cast<uint16_t>(r.Le(2));
  out->frameCount = static_cast<uint16_t>(r.Le(2));
  if (!r.ok()) return "short header";
  size_t pos = r.BytePos();
  int shown = 0;
  while (out->tags.empty() || out->tags.back().code != 0) {
    BitReader head(file, pos);
    const uint32_t word = head.Le(2);
    uint64_t length = word & 63;
    if (length == 63) length = head.Le(4);
    pos = head.BytePos();
    if (!head.ok() || length > file.size() - pos) return "tag past the end";
    out->tags.push_back(
        {static_cast<int>(word >> 6),
         {file.begin() + static_cast<long>(pos), file.begin() + static_cast<long>(pos + length)}});
    pos += length;
    shown += out->tags.back().code == 1;
  }
  if (shown != out->frameCount) return "frame count " + std::to_string(shown);
  return pos == file.size() ? "" : "bytes after End";
}

// A lossless bitmap as one 0xAARRGGBB value per pixel (colour maps looked up; the 32-bit form as
// stored, premultiplied).
struct SwfBitmap {
  int format = 0;
  uint32_t width = 0, height = 0;
  std::vector<uint32_t> argb;
};

inline std::string ReadLossless(const SwfTag& tag, SwfBitmap* out) {
  BitReader r(tag.body, 2);
  out->format = static_cast<int>(r.Le(1));
  out->width = r.Le(2), out->height = r.Le(2);
  const bool mapped = out->format == 3;
  const uint32_t colours = mapped ? r.Le(1) + 1 : 0, entry = tag.code == 36 ? 4 : 3;
  const size_t at = r.BytePos();
  const uint64_t stride = mapped ? (out->width + 3) & ~3u : out->width * 4ull;
  const uLongf size = static_cast<uLongf>(colours * entry + stride * out->height);
  std::vector<uint8_t> raw(size + 1);
  uLongf got = static_cast<uLongf>(raw.size());
  if (!r.ok() || uncompress(raw.data(), &got, tag.body.data() + at, tag.body.size() - at) != Z_OK ||
      got != size)
    return "bitmap data";
  for (uint64_t y = 0; y < out->height; ++y)
    for (uint64_t x = 0; x < out->width; ++x) {
      const uint32_t index = mapped ? raw[colours * entry + stride * y + x] : 0;
      if (mapped && index >= colours) return "index past the colour map";
      const uint8_t* p = mapped ? &raw[index * entry] : &raw[stride * y + 4 * x];
      out->argb.push_back(!mapped
                              ? uint32_t{p[0]} << 24 | p[1] << 16 | p[2] << 8 | p[3]
                              : (entry == 4 ? p[3] : 255u) << 24 | p[0] << 16 | p[1] << 8 | p[2]);
    }
  return "";
}

// A DefineShape3 of one clipped bitmap fill, unrotated: its bounds, bitmap, scale and
// translation, and the points its straight edges visit.
struct SwfShape {
  uint16_t id = 0, bitmapId = 0;
  std::vector<int32_t> bounds, matrix;  // matrix: scale x and y (16.16), translation x and y
  std::vector<std::pair<int32_t, int32_t>> path;  // the move, then each edge's end
};

inline std::string ReadShape(const SwfTag& tag, SwfShape* out) {
  BitReader r(tag.body, 0);
  out->id = static_cast<uint16_t>(r.Le(2));
  out->bounds = r.Rect();
  if (r.Le(1) != 1 || r.Le(1) != 0x41) return "one clipped bitmap fill";
  out->bitmapId = static_cast<uint16_t>(r.Le(2));
  for (int part = 0; part < 3; ++part) {  // scale, rotation, translation
    if (part < 2 && !r.U(1)) continue;
    if (part == 1) return "rotation";
    const int n = static_cast<int>(r.U(5));
    out->matrix.push_back(r.S(n)), out->matrix.push_back(r.S(n));
  }
  if (r.Le(1) != 0 || r.Le(1) != 0x10) return "line styles or style bits";
  int32_t x = 0, y = 0;
  while (r.ok()) {
    if (r.U(1) == 0) {  // style change: only a move and fill style 1 are expected
      const uint32_t flags = r.U(5);
      if (flags == 0) break;
      const int bits = static_cast<int>(r.U(5));
      x = r.S(bits), y = r.S(bits);
      if (flags != 0b00101 || r.U(1) != 1) return "style change";
    } else {
      if (r.U(1) == 0) return "curve";
      const int bits = static_cast<int>(r.U(4)) + 2;
      if (r.U(1)) return "general line";
      const bool vertical = r.U(1);
      (vertical ? y : x) += r.S(bits);
    }
    out->path.push_back({x, y});
  }
  return r.ok() ? "" : "shape past its tag";
}

// The display list's changes, one text per frame: " +shape@depth" and " -shape@depth" in tag
// order. A place must name a shape defined before, on an empty depth; a removal an occupied one.
inline std::vector<std::string> DisplayChanges(const SwfFile& file, std::string* fault) {
  std::vector<std::string> frames(1);
  std::map<int, bool> defined;
  std::map<int, int> stage;  // depth -> shape
  for (const SwfTag& tag : file.tags) {
    BitReader r(tag.body, 0);
    SwfShape shape;
    if (tag.code == 20 || tag.code == 21 || tag.code == 36) {
      defined[static_cast<int>(r.Le(2))] = true;
    } else if (tag.code == 32) {
      *fault += ReadShape(tag, &shape);
      if (!defined[shape.bitmapId]) *fault += "shape before its bitmap; ";
      defined[shape.id] = true;
    } else if (tag.code == 26 || tag.code == 5) {  // place, remove
      const bool place = tag.code == 26;
      if (place && r.Le(1) != 0x06) *fault += "place flags; ";
      int depth = static_cast<int>(r.Le(2)), id = static_cast<int>(r.Le(2));
      if (!place) std::swap(depth, id);
      if (place ? !defined[id] || stage.count(depth) : stage[depth] != id) *fault += "bad change; ";
      place ? void(stage[depth] = id) : void(stage.erase(depth));
      frames.back() += (place ? " +" : " -") + std::to_string(id) + "@" + std::to_string(depth);
    } else if (tag.code == 1) {
      frames.emplace_back();
    } else if (tag.code != 0) {
      *fault += "unexpected tag " + std::to_string(tag.code) + "; ";
    }
  }
  if (!frames.back().empty()) *fault += "changes after the last frame; ";
  frames.pop_back();
  return frames;
}

}  // namespace lw::test
