// The in-memory animation being edited: logical screen, palettes, and the list of frames and
// extension blocks in file order.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace lw {

struct ProgressMeter;

// ---------------------------------------------------------------------------------------------
// Palettes

struct PaletteEntry {
  uint8_t red = 0;
  uint8_t green = 0;
  uint8_t blue = 0;
  uint8_t flags = 0;
  bool operator==(const PaletteEntry&) const = default;
};

// A colour table of 1 to 256 entries.
class Palette {
 public:
  std::vector<PaletteEntry> entries;

  int Count() const { return static_cast<int>(entries.size()); }
  // Copies up to count entries from start into out; returns how many were copied.
  int GetPaletteEntries(int start, int count, PaletteEntry* out) const;
  // The index whose colour is nearest (squared RGB distance, the lowest index on ties).
  int NearestIndex(uint8_t red, uint8_t green, uint8_t blue) const;
};

using PalettePtr = std::unique_ptr<Palette>;

// A palette of count entries from packed R, G, B triples, flags 0; none when count is not 1..256
// or memory is short.
PalettePtr PaletteFromTriples(int count, const uint8_t* rgb);
// Same entries (up to 256) in a new palette; none for none.
PalettePtr CopyPalette(const Palette* palette);
// The nearest index when its red, green and blue equal the colour's exactly, else -1 (also for
// no palette). colour is 0x00BBGGRR.
int ExactPaletteIndex(const Palette* palette, uint32_t colour);

// Bits (1..8) that n colours need.
int BitsForColours(int n);

// ---------------------------------------------------------------------------------------------
// Frame names: shared, reference-counted texts. 0 is no name.

using NameAtom = uint16_t;

// Takes one reference to the name of text (adding it when new); 0 for an empty text or when the
// table is full.
NameAtom AddNameAtom(const std::string& text);
// One more reference to an existing name.
void AddNameReference(NameAtom atom);
// Drops one reference; the name goes when none is left.
void ReleaseNameAtom(NameAtom atom);
// The text of a name (empty for 0 or an unknown atom), cut to 259 bytes as names are read.
std::string NameAtomText(NameAtom atom);
// References held on a name (0 when unknown); for checks.
int NameAtomReferences(NameAtom atom);

// ---------------------------------------------------------------------------------------------
// Blocks

enum class BlockKind : uint8_t {
  Frame = 0x2C,        // ','
  ListHead = 0x2A,     // '*'
  PlainText = 0x01,
  Comment = 0xFE,
  Application = 0xFF,
};

enum DisposalMethod : uint8_t {
  DisposalNone = 0,
  DisposalLeave = 1,
  DisposalBackground = 2,
  DisposalPrevious = 3,
};

struct Block {
  BlockKind kind;
  Block* next = nullptr;
  Block* prev = nullptr;

  explicit Block(BlockKind k) : kind(k) {}
  virtual ~Block() = default;
  Block(const Block&) = delete;
  Block& operator=(const Block&) = delete;

  bool IsFrame() const { return kind == BlockKind::Frame; }
};

struct ListHead : Block {
  ListHead() : Block(BlockKind::ListHead) {}
};

// A comment, application or plain-text extension: its data exactly as GIF data sub-blocks
// (length byte 1..255 and that many bytes, repeated, closed by a 0 length byte).
struct ExtensionBlock : Block {
  std::vector<uint8_t> data;
  explicit ExtensionBlock(BlockKind k) : Block(k) {}
};

// Size of the DIB header and colour table in front of the pixel rows.
constexpr size_t DibHeaderSize = 40;
constexpr size_t DibColourTableSize = 256 * 4;
constexpr size_t DibBitsOffset = DibHeaderSize + DibColourTableSize;  // 1064

// Row strides.
inline uint32_t IndexStride(uint32_t width) { return (width + 3) & ~3u; }
inline uint32_t RgbStride(uint32_t width) { return (3 * width + 3) & ~3u; }
inline uint32_t MaskStride(uint32_t width) { return ((width + 31) / 32) * 4; }

struct Frame : Block {
  uint32_t selected = 0;
  uint32_t savedIndex = 0;
  int32_t left = 0;
  int32_t top = 0;
  uint32_t width = 0;
  uint32_t height = 0;
  int32_t hotspotX = -1;
  int32_t hotspotY = -1;
  NameAtom nameAtom = 0;
  Palette* palette = nullptr;  // in effect: localPalette when there is one, else the global one
  PalettePtr localPalette;
  uint32_t delay = 0;
  uint8_t controlFlags = 0;     // bits 2-4 disposal, bit 1 user input, bit 0 transparency
  uint8_t transparentIndex = 0;
  uint8_t descriptorFlags = 0;  // bit 7 local table, bit 6 interlaced, bit 5 sort, bits 0-2 size
  // 1-bit top-down mask, rows of MaskStride(width) bytes, most significant bit first; a set bit
  // (white) where the pixel is transparent. Empty when none.
  std::vector<uint8_t> transparencyMask;
  // 8-bit DIB: 40-byte header, 256 RGBQUADs, rows of IndexStride(width). Empty when none.
  std::vector<uint8_t> dib;
  // Blue, green, red rows of RgbStride(width); empty when none.
  std::vector<uint8_t> rgbPlane;
  // One byte per pixel (0 transparent, 255 opaque), rows of IndexStride(width); only beside rgbPlane.
  std::vector<uint8_t> alphaPlane;
  // rgbPlane blended over a background colour with alphaPlane; a display cache.
  std::vector<uint8_t> blendedPlane;

  Frame() : Block(BlockKind::Frame) {}
  ~Frame() override;

  // The pixel rows inside dib (none without a DIB).
  uint8_t* bits() { return dib.empty() ? nullptr : dib.data() + DibBitsOffset; }
  const uint8_t* bits() const { return dib.empty() ? nullptr : dib.data() + DibBitsOffset; }
  // Width and height of the DIB as its header says (at least 1 each).
  uint32_t DibWidth() const;
  uint32_t DibHeight() const;

  bool Transparent() const { return controlFlags & 1; }
  int Disposal() const { return (controlFlags >> 2) & 7; }
  bool Interlaced() const { return descriptorFlags & 0x40; }
};

// ---------------------------------------------------------------------------------------------
// The animation

struct Animation {
  uint32_t screenWidth = 0;
  uint32_t screenHeight = 0;
  uint32_t playCount = 0;
  int16_t frameCount = 0;
  ListHead* blocks = nullptr;  // owned, with every block linked after it
  int32_t anchorIndex = -1;
  uint32_t selectedCount = 0;
  PalettePtr globalPalette;
  uint8_t screenFlags = 0;
  uint8_t backgroundIndex = 0;
  uint8_t aspectByte = 0;
  int32_t encodedSizeCache = -1;
  std::array<uint32_t, 256> colourUsage{};
  std::unique_ptr<Animation> nextInChain;

  Animation() = default;
  ~Animation();
  Animation(const Animation&) = delete;
  Animation& operator=(const Animation&) = delete;
};

using AnimationPtr = std::unique_ptr<Animation>;

// Construction and destruction. Every constructor returns none when memory is short, having
// freed what it took.
Block* NewBlock(BlockKind kind, size_t dataSize);
AnimationPtr NewAnimation();
Frame* NewFrame(uint32_t width, uint32_t height);
AnimationPtr NewBlankAnimation(uint32_t width, uint32_t height);
// gce: the 6 bytes of a graphic control extension body, or none.
Frame* FrameFromControlExtension(const uint8_t* gce);
// Frees the block and returns its old next.
Block* FreeBlock(Block* block);
void FreeAnimation(Animation* animation);
Block* DuplicateBlock(const Block* block, Palette* paletteForGlobalFrames);
AnimationPtr CloneAnimationHeader(const Animation& animation);
AnimationPtr DuplicateAnimation(const Animation& animation, ProgressMeter* progress);
void SwapAnimations(Animation& a, Animation& b);
// Builds (or rebuilds) the frame's 8-bit DIB for its size from the palette in effect; pixels 0.
bool NewFrameDib(Frame* frame);
// Copies the palette in effect into the DIB's colour table.
void UpdateDibColourTable(Frame* frame);
void CopyFrameAttributes(Frame* to, const Frame* from);
void SwapFrameImages(Frame* a, Frame* b);
void SwapFrameImagesAndGeometry(Frame* a, Frame* b);

// List operations.
void LinkBlocks(Block* a, Block* b);
void InsertBlockAfter(Block* a, Block* b);
void UnlinkAndFreeBlock(Block* block);
Frame* NextFrame(const Block* block);
Frame* PrevFrame(const Block* block);
Frame* FirstFrame(const Animation& animation);
Block* LastBlock(const Animation& animation);
Frame* FrameAt(const Animation& animation, int index);
int FrameIndex(const Animation& animation, const Frame* frame);  // -1 when not in the list
Frame* FirstSelectedFrame(const Animation& animation);
Frame* NextSelectedFrame(const Frame* frame);
bool ReverseBlocks(Animation& animation);   // false when nothing changed
bool AppendPingPong(Animation& animation);  // false when memory ran short
void MergeChain(Animation& animation);

// Setters with side effects.
// Stores the palette and sets screenFlags from its size (0 for none); returns the previous one,
// which the caller deletes or keeps.
PalettePtr SetGlobalPalette(Animation& animation, PalettePtr palette);
// Returns the previous local palette (the caller drops it). With none, palette is left for the
// caller to point at the global one.
PalettePtr SetLocalPalette(Frame* frame, PalettePtr palette);
void SetTransparency(Frame* frame, bool on);
void SetTransparentIndex(Frame* frame, uint8_t index);
void SetFrameDib(Frame* frame, std::vector<uint8_t> dib);
void SetDisposal(Frame* frame, int disposal);
void SetInterlaced(Frame* frame, bool on);
bool SetFrameName(Frame* frame, const std::string& text);  // true when the name changed
std::string FrameName(const Frame* frame);
bool SetCommentText(Block* block, const std::string& text);
// The comment's text (the bytes after its first length byte); false for other kinds.
bool CommentText(const Block* block, std::string* text);
void SetDibSize(Frame* frame, uint32_t width, int32_t height);
void SetRgbPlane(Frame* frame, std::vector<uint8_t> plane);
void SetAlphaPlane(Frame* frame, std::vector<uint8_t> plane);
void FreeRgbPlane(Frame* frame);

// Transparency mask and display colour.
void SetTransparentDisplayColour(Frame* frame, bool forDisplay);
bool BuildTransparencyMask(const Frame* frame, std::vector<uint8_t>* mask);
void RebuildTransparencyMask(Frame* frame);
void RemoveTransparencyMask(Frame* frame);
// The colour (0x00BBGGRR) that shows transparent pixels in the frame strip, for a frame.
uint32_t TransparencyDisplayColour(const Frame* frame);
// The system's button-face colour (0x00BBGGRR) that the interface reports; the engine's default
// is a light grey.
void SetButtonFaceColour(uint32_t colour);
uint32_t ButtonFaceColour();

// Queries.
struct Extent {
  int64_t right = 0;
  int64_t bottom = 0;
};
struct Bounds {
  int64_t left = 0;
  int64_t top = 0;
  int64_t right = 0;
  int64_t bottom = 0;
};
Extent FramesExtent(const Animation& animation);
Bounds FramesBounds(const Animation& animation);
uint64_t TotalDuration(const Animation& animation);

// Whole-document operations.
void RescaleDelays(Animation& animation, uint32_t oldUnit);
void RefreshLogicalScreenFlags(Animation& animation);
void ApplyAutoTransparency(Animation& animation);
void SingleFrameRestoresBackground(Animation& animation);
// Returns false when the colour-count stop request cut the count short.
bool CountColourUsage(Animation& animation, uint32_t* counts, bool clear);
void CountOpaqueColourUsage(const Animation& animation, uint32_t* counts, bool clear);
void CountFrameColours(const Frame* frame, uint32_t* counts, bool clear);
void CropFrame(Frame* frame, int32_t x0, int32_t y0, int32_t w, int32_t h);
void ClipFrameToScreen(Frame* frame, uint32_t screenWidth, uint32_t screenHeight);

}  // namespace lw
