#include "formats/swf/swf_movie.h"

#include <algorithm>
#include <cstdio>
#include <limits>
#include <new>

namespace lw {
namespace {

constexpr size_t kMaxShapes = 32767;  // two character ids each, below 65535
constexpr uint64_t kMaxFrames = 0xFFFF;
constexpr int32_t kMaxEdge = 65535;  // a straight edge holds at most 17 signed bits

class Bytes {
 public:
  explicit Bytes(std::vector<uint8_t>& out) : out_(out) {}
  void U8(uint32_t v) { out_.push_back(static_cast<uint8_t>(v)); }
  void U16(uint32_t v) {
    U8(v & 0xFF);
    U8((v >> 8) & 0xFF);
  }
  void U32(uint32_t v) {
    U16(v & 0xFFFF);
    U16(v >> 16);
  }
  void Append(const std::vector<uint8_t>& data) {
    out_.insert(out_.end(), data.begin(), data.end());
  }

  // Bit fields, most significant bit first; Align pads the last byte with zeros.
  void Bits(uint32_t value, int count) {
    for (int i = count - 1; i >= 0; --i) {
      acc_ = static_cast<uint8_t>((acc_ << 1) | ((value >> i) & 1));
      if (++used_ == 8) {
        U8(acc_);
        acc_ = 0;
        used_ = 0;
      }
    }
  }
  void SignedBits(int32_t value, int count) { Bits(static_cast<uint32_t>(value), count); }
  void Align() {
    if (used_ > 0) Bits(0, 8 - used_);
  }

 private:
  std::vector<uint8_t>& out_;
  uint8_t acc_ = 0;
  int used_ = 0;
};

// Bits a signed field needs to hold value.
int SignedWidth(int32_t value) {
  uint32_t magnitude = value < 0 ? ~static_cast<uint32_t>(value) : static_cast<uint32_t>(value);
  int bits = 1;
  while (magnitude) {
    ++bits;
    magnitude >>= 1;
  }
  return bits;
}

void Rect(Bytes& out, const SwfRect& rect, int minBits) {
  int bits = minBits;
  for (int32_t v : {rect.xMin, rect.xMax, rect.yMin, rect.yMax})
    bits = std::max(bits, SignedWidth(v));
  out.Bits(static_cast<uint32_t>(bits), 5);
  out.SignedBits(rect.xMin, bits);
  out.SignedBits(rect.xMax, bits);
  out.SignedBits(rect.yMin, bits);
  out.SignedBits(rect.yMax, bits);
  out.Align();
}

// A matrix of uniform scale (16.16 fixed point, 0 for none) and a translation.
void Matrix(Bytes& out, int32_t scale, int32_t tx, int32_t ty) {
  out.Bits(scale != 0, 1);
  if (scale != 0) {
    int bits = SignedWidth(scale);
    out.Bits(static_cast<uint32_t>(bits), 5);
    out.SignedBits(scale, bits);
    out.SignedBits(scale, bits);
  }
  out.Bits(0, 1);  // no rotation
  int bits = (tx == 0 && ty == 0) ? 0 : std::max(SignedWidth(tx), SignedWidth(ty));
  out.Bits(static_cast<uint32_t>(bits), 5);
  if (bits) {
    out.SignedBits(tx, bits);
    out.SignedBits(ty, bits);
  }
  out.Align();
}

void TagHeader(Bytes& out, int code, size_t length) {
  if (length < 63) {
    out.U16(static_cast<uint32_t>(code << 6) | static_cast<uint32_t>(length));
  } else {
    out.U16(static_cast<uint32_t>(code << 6) | 63);
    out.U32(static_cast<uint32_t>(length));
  }
}

// One straight edge along an axis, split where it is longer than an edge record holds.
void Edge(Bytes& out, int32_t delta, bool vertical) {
  while (delta != 0) {
    int32_t part = std::clamp(delta, -kMaxEdge, kMaxEdge);
    delta -= part;
    int bits = std::max(2, SignedWidth(part));
    out.Bits(1, 1);  // edge record
    out.Bits(1, 1);  // straight
    out.Bits(static_cast<uint32_t>(bits - 2), 4);
    out.Bits(0, 1);  // along one axis
    out.Bits(vertical, 1);
    out.SignedBits(part, bits);
  }
}

// The rectangle filled with bitmap bitmapId, one bitmap pixel to 20 twips from its corner.
std::vector<uint8_t> ShapeBody(uint16_t shapeId, uint16_t bitmapId, const SwfRect& rect) {
  std::vector<uint8_t> body;
  Bytes out(body);
  out.U16(shapeId);
  Rect(out, rect, 1);
  out.U8(1);     // one fill style
  out.U8(0x41);  // clipped bitmap
  out.U16(bitmapId);
  Matrix(out, 20 << 16, rect.xMin, rect.yMin);
  out.U8(0);     // no line style
  out.U8(0x10);  // one fill bit, no line bits
  // Move to the corner with fill style 1, then go round clockwise: the inside is on the right.
  out.Bits(0, 1);
  out.Bits(0b00101, 5);
  int moveBits = std::max(SignedWidth(rect.xMin), SignedWidth(rect.yMin));
  out.Bits(static_cast<uint32_t>(moveBits), 5);
  out.SignedBits(rect.xMin, moveBits);
  out.SignedBits(rect.yMin, moveBits);
  out.Bits(1, 1);
  int32_t width = rect.xMax - rect.xMin;
  int32_t height = rect.yMax - rect.yMin;
  Edge(out, width, false);
  Edge(out, height, true);
  Edge(out, -width, false);
  Edge(out, -height, true);
  out.Bits(0, 6);  // end of shape
  out.Align();
  return body;
}

void Tag(Bytes& out, int code, const std::vector<uint8_t>& body) {
  TagHeader(out, code, body.size());
  out.Append(body);
}

}  // namespace

bool SwfMovie::AddBitmapShape(const SwfRect& rect, SwfBitmap bitmap, uint32_t duration,
                              bool remove) {
  if (shapes_.size() >= kMaxShapes) return false;
  duration = std::max<uint32_t>(duration, 1);
  try {
    shapes_.push_back({rect, std::move(bitmap), frames_, frames_ + duration, remove});
  } catch (const std::bad_alloc&) {
    return false;
  }
  frames_ += duration;
  return true;
}

std::vector<uint8_t> SwfMovie::Build(uint32_t width, uint32_t height, uint16_t frameRate) const {
  if (frames_ > kMaxFrames) return {};
  std::vector<uint8_t> file;
  try {
    Bytes out(file);
    out.U8('F');
    out.U8('W');
    out.U8('S');
    out.U8(4);
    out.U32(0);  // the length, once known
    SwfRect stage{0, 0, static_cast<int32_t>(std::min<uint64_t>(uint64_t{width} * 20, INT32_MAX)),
                  static_cast<int32_t>(std::min<uint64_t>(uint64_t{height} * 20, INT32_MAX))};
    Rect(out, stage, 15);
    out.U16(frameRate);
    out.U16(static_cast<uint32_t>(frames_));
    // Shapes start in order and each ends where the next starts, so one pass over them serves
    // both the places and the removals.
    size_t toPlace = 0;
    size_t toRemove = 0;
    for (uint64_t frame = 0; frame < frames_; ++frame) {
      for (; toRemove < shapes_.size() && shapes_[toRemove].end <= frame; ++toRemove) {
        const Shape& shape = shapes_[toRemove];
        if (!shape.remove || shape.end != frame) continue;
        uint16_t depth = static_cast<uint16_t>(toRemove + 1);
        std::vector<uint8_t> body;
        Bytes b(body);
        b.U16(static_cast<uint32_t>(2 * toRemove + 2));
        b.U16(depth);
        Tag(out, swftag::RemoveObject, body);
      }
      for (; toPlace < shapes_.size() && shapes_[toPlace].start == frame; ++toPlace) {
        const Shape& shape = shapes_[toPlace];
        uint16_t bitmapId = static_cast<uint16_t>(2 * toPlace + 1);
        uint16_t shapeId = static_cast<uint16_t>(2 * toPlace + 2);
        uint16_t depth = static_cast<uint16_t>(toPlace + 1);
        if (shape.bitmap.body.size() > UINT32_MAX - 2) return {};
        TagHeader(out, shape.bitmap.tagCode, shape.bitmap.body.size() + 2);
        out.U16(bitmapId);
        out.Append(shape.bitmap.body);
        Tag(out, swftag::DefineShape3, ShapeBody(shapeId, bitmapId, shape.rect));
        std::vector<uint8_t> place;
        Bytes p(place);
        p.U8(0x06);  // has a character and a matrix
        p.U16(depth);
        p.U16(shapeId);
        Matrix(p, 0, 0, 0);
        Tag(out, swftag::PlaceObject2, place);
      }
      TagHeader(out, swftag::ShowFrame, 0);
    }
    TagHeader(out, swftag::End, 0);
    if (file.size() > UINT32_MAX) return {};
    uint32_t length = static_cast<uint32_t>(file.size());
    for (int i = 0; i < 4; ++i) file[4 + i] = static_cast<uint8_t>(length >> (8 * i));
  } catch (const std::bad_alloc&) {
    return {};
  }
  return file;
}

bool WriteBytes(const std::string& path, const std::vector<uint8_t>& data) {
  FILE* file = std::fopen(path.c_str(), "wb");
  if (!file) return false;
  bool written = std::fwrite(data.data(), 1, data.size(), file) == data.size();
  return std::fclose(file) == 0 && written;
}

}  // namespace lw
