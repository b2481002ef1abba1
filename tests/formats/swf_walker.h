// A reader of SWF files written apart from the writer: the header, every tag with its length
// checked against the file, the bitmaps inflated with zlib, the shapes' outlines and the
// display list frame by frame.
#pragma once

#include <zlib.h>

#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace lw::test {

struct SwfTagRead {
  int code = -1;
  std::vector<uint8_t> body;
};

struct SwfFileRead {
  int version = 0;
  uint32_t length = 0;
  int rectBits = 0;
  int32_t xMin = 0, xMax = 0, yMin = 0, yMax = 0;
  uint16_t frameRate = 0;
  uint16_t frameCount = 0;
  std::vector<SwfTagRead> tags;
};

class BitReader {
 public:
  BitReader(const std::vector<uint8_t>& data, size_t start) : data_(data), byte_(start) {}
  bool ok() const { return ok_; }
  size_t BytePos() const { return byte_ + (bit_ ? 1 : 0); }
  uint32_t U(int n) {
    uint32_t v = 0;
    for (int i = 0; i < n; ++i) {
      if (byte_ >= data_.size()) {
        ok_ = false;
        return 0;
      }
      v = (v << 1) | ((data_[byte_] >> (7 - bit_)) & 1);
      if (++bit_ == 8) {
        bit_ = 0;
        ++byte_;
      }
    }
    return v;
  }
  int32_t S(int n) {
    if (n == 0) return 0;
    uint32_t v = U(n);
    if (n < 32 && (v >> (n - 1)) & 1) v |= ~uint32_t{0} << n;
    return static_cast<int32_t>(v);
  }
  void Align() {
    if (bit_) {
      bit_ = 0;
      ++byte_;
    }
  }
  uint32_t Bytes(int n) {  // little-endian, byte aligned
    Align();
    uint32_t v = 0;
    for (int i = 0; i < n; ++i) v |= U(8) << (8 * i);
    return v;
  }

 private:
  const std::vector<uint8_t>& data_;
  size_t byte_;
  int bit_ = 0;
  bool ok_ = true;
};

// Empty fault when the file reads whole: "FWS", the length field matching the size, every tag
// inside the file, End as the last tag and nothing after it.
inline std::string WalkSwf(const std::vector<uint8_t>& file, SwfFileRead* out) {
  if (file.size() < 8 || file[0] != 'F' || file[1] != 'W' || file[2] != 'S') return "signature";
  BitReader r(file, 3);
  out->version = static_cast<int>(r.Bytes(1));
  out->length = r.Bytes(4);
  if (out->length != file.size()) return "length field";
  out->rectBits = static_cast<int>(r.U(5));
  out->xMin = r.S(out->rectBits);
  out->xMax = r.S(out->rectBits);
  out->yMin = r.S(out->rectBits);
  out->yMax = r.S(out->rectBits);
  out->frameRate = static_cast<uint16_t>(r.Bytes(2));
  out->frameCount = static_cast<uint16_t>(r.Bytes(2));
  if (!r.ok()) return "short header";
  size_t pos = r.BytePos();
  while (true) {
    if (pos + 2 > file.size()) return "tag header past the end";
    uint32_t head = file[pos] | file[pos + 1] << 8;
    pos += 2;
    SwfTagRead tag;
    tag.code = static_cast<int>(head >> 6);
    uint64_t length = head & 63;
    if (length == 63) {
      if (pos + 4 > file.size()) return "long length past the end";
      length = file[pos] | file[pos + 1] << 8 | file[pos + 2] << 16 | uint64_t{file[pos + 3]} << 24;
      pos += 4;
    }
    if (length > file.size() - pos) return "tag body past the end";
    tag.body.assign(file.begin() + static_cast<long>(pos),
                    file.begin() + static_cast<long>(pos + length));
    pos += length;
    out->tags.push_back(std::move(tag));
    if (out->tags.back().code == 0) break;
  }
  if (pos != file.size()) return "bytes after End";
  return "";
}

// A lossless bitmap inflated to one 0xAARRGGBB value per pixel (colour maps looked up; the
// 32-bit form kept as stored, premultiplied).
struct BitmapRead {
  uint16_t id = 0;
  int format = 0;
  uint32_t width = 0, height = 0;
  std::vector<uint32_t> argb;
};

inline std::string ReadLossless(const SwfTagRead& tag, BitmapRead* out) {
  const std::vector<uint8_t>& b = tag.body;
  if (b.size() < 7) return "short bitmap";
  const bool alpha = tag.code == 36;
  out->id = static_cast<uint16_t>(b[0] | b[1] << 8);
  out->format = b[2];
  out->width = b[3] | b[4] << 8;
  out->height = b[5] | b[6] << 8;
  size_t at = 7;
  uint32_t colours = 0;
  if (out->format == 3) colours = b[at++] + 1u;
  const uint32_t entry = alpha ? 4 : 3;
  const uint64_t stride = out->format == 3 ? (out->width + 3) & ~3u : out->width * 4ull;
  uLongf size = static_cast<uLongf>(colours * entry + stride * out->height);
  std::vector<uint8_t> raw(size + 1);
  uLongf got = static_cast<uLongf>(raw.size());
  if (uncompress(raw.data(), &got, b.data() + at, static_cast<uLong>(b.size() - at)) != Z_OK)
    return "zlib";
  if (got != size) return "inflated size " + std::to_string(got) + " for " + std::to_string(size);
  out->argb.clear();
  for (uint32_t y = 0; y < out->height; ++y) {
    for (uint32_t x = 0; x < out->width; ++x) {
      const uint8_t* p;
      if (out->format == 3) {
        uint32_t index = raw[colours * entry + stride * y + x];
        if (index >= colours) return "index past the colour map";
        p = &raw[index * entry];
        uint32_t a = alpha ? p[3] : 255;
        out->argb.push_back(a << 24 | p[0] << 16 | p[1] << 8 | p[2]);
      } else {
        p = &raw[stride * y + 4 * x];
        out->argb.push_back(uint32_t{p[0]} << 24 | p[1] << 16 | p[2] << 8 | p[3]);
      }
    }
  }
  return "";
}

// A DefineShape3 of one bitmap fill: its bounds, fill, matrix and the corners its edges visit.
struct ShapeRead {
  uint16_t id = 0;
  int32_t xMin = 0, xMax = 0, yMin = 0, yMax = 0;
  int fillType = 0;
  uint16_t bitmapId = 0;
  int32_t scaleX = 0, scaleY = 0, translateX = 0, translateY = 0;
  std::vector<std::pair<int32_t, int32_t>> path;  // the move, then each edge's end
};

inline std::string ReadShape(const SwfTagRead& tag, ShapeRead* out) {
  BitReader r(tag.body, 0);
  out->id = static_cast<uint16_t>(r.Bytes(2));
  int n = static_cast<int>(r.U(5));
  out->xMin = r.S(n);
  out->xMax = r.S(n);
  out->yMin = r.S(n);
  out->yMax = r.S(n);
  if (r.Bytes(1) != 1) return "fill style count";
  out->fillType = static_cast<int>(r.Bytes(1));
  out->bitmapId = static_cast<uint16_t>(r.Bytes(2));
  r.Align();
  if (r.U(1)) {
    int bits = static_cast<int>(r.U(5));
    out->scaleX = r.S(bits);
    out->scaleY = r.S(bits);
  }
  if (r.U(1)) return "rotation";
  int bits = static_cast<int>(r.U(5));
  out->translateX = r.S(bits);
  out->translateY = r.S(bits);
  if (r.Bytes(1) != 0) return "line styles";
  int fillBits = static_cast<int>(r.Bytes(1) >> 4);
  int32_t x = 0, y = 0;
  while (r.ok()) {
    if (r.U(1) == 0) {
      uint32_t flags = r.U(5);
      if (flags == 0) break;
      if (flags & 0x10) return "new styles";
      if (flags & 1) {
        int moveBits = static_cast<int>(r.U(5));
        x = r.S(moveBits);
        y = r.S(moveBits);
        out->path.push_back({x, y});
      }
      if (flags & 2) r.U(fillBits);
      if (flags & 4) {
        if (r.U(fillBits) != 1) return "fill style 1";
      }
      if (flags & 8) return "line style";
    } else {
      if (r.U(1) == 0) return "curve";
      int edgeBits = static_cast<int>(r.U(4)) + 2;
      if (r.U(1)) {
        x += r.S(edgeBits);
        y += r.S(edgeBits);
      } else if (r.U(1)) {
        y += r.S(edgeBits);
      } else {
        x += r.S(edgeBits);
      }
      out->path.push_back({x, y});
    }
  }
  return r.ok() ? "" : "shape past its tag";
}

// The display list's changes, one text per SWF frame: "+shape@depth" and "-shape@depth" in tag
// order. A place must name a shape defined before, on an empty depth; a removal an occupied one.
inline std::vector<std::string> DisplayChanges(const SwfFileRead& file, std::string* fault) {
  std::vector<std::string> frames(1);
  std::map<int, int> shapes;  // shape id -> bitmap id
  std::map<int, bool> defined;
  std::map<int, int> stage;  // depth -> shape
  for (const SwfTagRead& tag : file.tags) {
    const auto u16 = [&](size_t at) { return tag.body.at(at) | tag.body.at(at + 1) << 8; };
    std::string& now = frames.back();
    switch (tag.code) {
      case 20:
      case 21:
      case 36: defined[u16(0)] = true; break;
      case 32: {
        ShapeRead shape;
        std::string error = ReadShape(tag, &shape);
        if (!error.empty()) *fault += error + "; ";
        if (!defined[shape.bitmapId]) *fault += "shape before its bitmap; ";
        shapes[shape.id] = shape.bitmapId;
        break;
      }
      case 26: {
        int depth = u16(1), shape = u16(3);
        if (tag.body.at(0) != 0x06) *fault += "place flags; ";
        if (!shapes.count(shape)) *fault += "place before the shape; ";
        if (stage.count(depth)) *fault += "depth taken; ";
        stage[depth] = shape;
        now += (now.empty() ? "+" : " +") + std::to_string(shape) + "@" + std::to_string(depth);
        break;
      }
      case 5: {
        int shape = u16(0), depth = u16(2);
        if (!stage.count(depth) || stage[depth] != shape) *fault += "removal of nothing; ";
        stage.erase(depth);
        now += (now.empty() ? "-" : " -") + std::to_string(shape) + "@" + std::to_string(depth);
        break;
      }
      case 1: frames.emplace_back(); break;
      case 0: break;
      default: *fault += "unexpected tag " + std::to_string(tag.code) + "; ";
    }
  }
  if (!frames.back().empty()) *fault += "changes after the last frame; ";
  frames.pop_back();
  return frames;
}

}  // namespace lw::test
